#pragma once
// A 24-bit picture record stored bottom-up (the usual DIB layout), its pixels
// given top row first by a function of (x, y) returning 0x00BBGGRR.

#include "toolkit/CET_Dib.h"

#include <memory>
#include <vector>

namespace testsupport {

template <typename Colour>
std::unique_ptr<CET_Dib> MakeBottomUpDib(int width, int height, Colour colourAt) {
  BITMAPINFO header{};
  header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  header.bmiHeader.biWidth = width;
  header.bmiHeader.biHeight = height;
  header.bmiHeader.biPlanes = 1;
  header.bmiHeader.biBitCount = 24;
  const int row = (width * 3 + 3) / 4 * 4;
  std::vector<BYTE> bits(static_cast<size_t>(row) * height, 0);
  for (int y = 0; y < height; ++y) {
    BYTE* line = &bits[static_cast<size_t>(height - 1 - y) * row];
    for (int x = 0; x < width; ++x) {
      const COLORREF c = colourAt(x, y);
      line[x * 3] = GetBValue(c);
      line[x * 3 + 1] = GetGValue(c);
      line[x * 3 + 2] = GetRValue(c);
    }
  }
  header.bmiHeader.biSizeImage = static_cast<DWORD>(bits.size());
  auto dib = std::make_unique<CET_Dib>();
  dib->Set(&header, bits.data(), static_cast<DWORD>(bits.size()));
  return dib;
}

} // namespace testsupport
