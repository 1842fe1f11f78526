#include "review/controls/TopDownDib.h"

HBITMAP CreateTopDownDib(HDC dc, int width, int height, WORD bitCount, void** bits) {
  *bits = nullptr;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = bitCount;
  info.bmiHeader.biCompression = BI_RGB;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, bits, nullptr, 0);
  if (bitmap && !*bits) {
    DeleteObject(bitmap);
    return nullptr;
  }
  if (!bitmap) *bits = nullptr;
  return bitmap;
}
