// The drawing half of CET_Calc: it needs device contexts, so it lives in the
// toolkit's windowed library; the rectangle helpers stay free of windows.

#include "platform/afx/AfxDC.h"
#include "toolkit/CET_Calc.h"
#include "toolkit/CET_Dib.h"
#include "toolkit/CET_PictCalc.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr int kBandRows = 240;

int Abs(int v) { return v < 0 ? -v : v; }

} // namespace

void CET_Calc::DrawDibToDC(CDC* dc, BITMAPINFO* header, BYTE* bits, RECT target, bool fitWhole, bool turn,
                           bool inBands) {
  if (!dc || !header || !bits) return;
  BITMAPINFOHEADER& h = header->bmiHeader;
  const BITMAPINFOHEADER saved = h;
  BYTE* pixels = bits;
  BYTE* turned = nullptr;
  if (turn) {
    turned = CET_PictCalc::RotateDibBits90(bits, h.biWidth, Abs(h.biHeight), h.biBitCount);
    if (!turned) return;
    pixels = turned;
    // Width and height exchange; the row order (the height's sign) stays.
    h.biWidth = Abs(saved.biHeight);
    h.biHeight = saved.biHeight < 0 ? -saved.biWidth : saved.biWidth;
  }
  const RECT picture{0, 0, h.biWidth, Abs(h.biHeight)};
  RECT source = picture;
  RECT destination = target;
  if (fitWhole) {
    destination = FitRectInRect(target, picture);
  } else {
    source = GetAspectCropRect(target, picture, nullptr);
  }
  if (inBands) {
    StretchDibInBands(dc, destination, header, pixels, source);
  } else {
    ::StretchDIBits(dc->m_hDC, destination.left, destination.top, destination.right - destination.left,
                    destination.bottom - destination.top, source.left, source.top, source.right - source.left,
                    source.bottom - source.top, pixels, header, DIB_RGB_COLORS, SRCCOPY);
  }
  GdiFlush();
  h = saved;
  DeleteDibBits(turned);
}

void CET_Calc::StretchDibInBands(CDC* dc, RECT target, BITMAPINFO* header, BYTE* bits, RECT source) {
  if (!dc || !header || !bits) return;
  BITMAPINFOHEADER& h = header->bmiHeader;
  const RECT picture{0, 0, h.biWidth, Abs(h.biHeight)};
  if (source.right <= source.left || source.bottom <= source.top) source = picture;
  // Bands are read from the caller's memory: never beyond the picture.
  IntersectRect(&source, &source, &picture);
  if (IsRectEmpty(&source)) return;
  const int srcWidth = source.right - source.left;
  const int srcHeight = source.bottom - source.top;
  const int dstWidth = target.right - target.left;
  const int dstHeight = target.bottom - target.top;
  if (h.biHeight < 0) {
    // Bands count from the bottom row in memory; a top-down picture draws whole.
    ::StretchDIBits(dc->m_hDC, target.left, target.top, dstWidth, dstHeight, source.left, source.top, srcWidth,
                    srcHeight, bits, header, DIB_RGB_COLORS, SRCCOPY);
    GdiFlush();
    return;
  }
  const BITMAPINFOHEADER saved = h;
  const std::int64_t rowBytes = DibRowBytes(h.biWidth, h.biBitCount);
  const int bands = srcHeight / kBandRows + (srcHeight % kBandRows ? 1 : 0);
  const bool sameHeight = dstHeight == srcHeight;
  const bool doubled = std::abs(srcHeight - dstHeight / 2.0) <= 2 && std::abs(srcWidth - dstWidth / 2.0) <= 2;
  const int step = static_cast<int>(dstHeight / (srcHeight / static_cast<double>(kBandRows)));
  for (int i = 0; i < bands; ++i) {
    const int rows = std::min(kBandRows, srcHeight - kBandRows * i);
    int bottom, top;
    if (sameHeight) {
      bottom = target.bottom - kBandRows * i;
      top = bottom - rows;
    } else if (doubled) {
      bottom = target.bottom - 2 * kBandRows * i;
      top = bottom - 2 * rows;
    } else {
      bottom = target.bottom - step * i;
      top = i == bands - 1 ? target.top : bottom - step;
    }
    h.biHeight = rows;
    h.biSizeImage = static_cast<DWORD>(rows * rowBytes);
    ::StretchDIBits(dc->m_hDC, target.left, top, dstWidth, bottom - top, source.left, 0, srcWidth, rows,
                    bits + (static_cast<std::int64_t>(kBandRows) * i + source.top) * rowBytes, header, DIB_RGB_COLORS,
                    SRCCOPY);
    GdiFlush();
  }
  h = saved;
}

void CET_Calc::PaintThroughMemoryDC(CDC* dc, RECT area, PaintMemoryDCCallback callback, void* user1, void* user2,
                                    CDC* background) {
  if (!dc) return;
  CDC memory;
  if (!memory.CreateCompatibleDC(dc)) return;
  CRect grown(area);
  grown.InflateRect(1, 1);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = grown.Width();
  info.bmiHeader.biHeight = -grown.Height();
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc->m_hDC, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) return;
  const HGDIOBJ old = memory.SelectObject(bitmap);
  // The memory DC is addressed in the target's coordinates: its origin moves
  // to the grown area's corner, so the callback draws where it would on dc.
  memory.SetViewportOrg(-grown.left, -grown.top);
  if (background) {
    memory.BitBlt(grown.left, grown.top, grown.Width(), grown.Height(), background, 0, 0, SRCCOPY);
  } else {
    memory.BitBlt(grown.left, grown.top, grown.Width(), grown.Height(), dc, grown.left, grown.top, SRCCOPY);
  }
  if (callback) callback(&memory, grown, user1, user2);
  dc->BitBlt(grown.left, grown.top, grown.Width(), grown.Height(), &memory, grown.left, grown.top, SRCCOPY);
  memory.SelectObject(old);
  DeleteObject(bitmap);
}
