#include "toolkit/OffscreenPaint.h"

void PaintOffscreen(CDC* dc, const CRect& area, const std::function<void(CDC*)>& draw) {
  CDC memory;
  if (!dc || !memory.CreateCompatibleDC(dc)) return;
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
  memory.SetViewportOrg(-grown.left, -grown.top);
  memory.SetStretchBltMode(COLORONCOLOR);
  draw(&memory);
  dc->BitBlt(area.left, area.top, area.Width(), area.Height(), &memory, area.left, area.top, SRCCOPY);
  memory.SelectObject(old);
  DeleteObject(bitmap);
}
