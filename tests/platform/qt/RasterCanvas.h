#pragma once
// A memory DC over a DIB section, for tests that read back what drawing did.

#include "platform/afx/AfxDC.h"
#include "platform/testing/Headless.h"

#include <string>

// A memory DC over a DIB section of the given row order.
struct Canvas {
  CDC dc;
  HBITMAP bitmap = nullptr;
  HGDIOBJ old = nullptr;
  BYTE* bits = nullptr;
  int width, height, bitCount;
  bool bottomUp;
  Canvas(int w, int h, bool bottomUp_ = false, int bitCount_ = 32)
      : width(w), height(h), bitCount(bitCount_), bottomUp(bottomUp_) {
    dc.CreateCompatibleDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = bottomUp ? h : -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = static_cast<WORD>(bitCount);
    void* p = nullptr;
    bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &p, nullptr, 0);
    bits = static_cast<BYTE*>(p);
    old = dc.SelectObject(bitmap);
    FillAll(RGB(1, 2, 3));
  }
  ~Canvas() {
    dc.SelectObject(old);
    DeleteObject(bitmap);
  }
  void FillAll(COLORREF c) { dc.FillSolidRect(0, 0, width, height, c); }
  BYTE* At(int x, int y) {
    const int row = bottomUp ? height - 1 - y : y;
    return bits + DibRowBytes(width, bitCount) * row + x * (bitCount / 8);
  }
  COLORREF Pixel(int x, int y) {
    const BYTE* p = At(x, y);
    return RGB(p[2], p[1], p[0]);
  }
};

// A row of the canvas as text: the given character where the pixel is the
// colour, '.' elsewhere.
inline std::string Row(Canvas& c, int y, COLORREF colour, char mark = '#') {
  std::string row;
  for (int x = 0; x < c.width; ++x) row += c.Pixel(x, y) == colour ? mark : '.';
  return row;
}

// The canvas as a picture for SavePng.
inline platform::testing::PixelImage Shot(Canvas& c) {
  platform::testing::PixelImage shot;
  shot.width = c.width;
  shot.height = c.height;
  for (int y = 0; y < c.height; ++y) {
    for (int x = 0; x < c.width; ++x) {
      const COLORREF p = c.Pixel(x, y);
      shot.argb.push_back(0xFF000000u | (GetRValue(p) << 16) | (GetGValue(p) << 8) | GetBValue(p));
    }
  }
  return shot;
}
