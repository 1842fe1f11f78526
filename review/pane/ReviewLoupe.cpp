#include "review/pane/ReviewLoupe.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace {

constexpr int kLabelWidth = 78;
constexpr int kLabelHeight = 20;
constexpr int kLabelInset = 3;
constexpr int kCentreFrame = 7;

std::u16string ThreeDigits(int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%03d", value);
  return std::u16string(text, text + std::char_traits<char>::length(text));
}

} // namespace

int LoupeSide(int sizeCode) {
  switch (sizeCode) {
  case 1: return 240;
  case 2: return 320;
  default: return 160;
  }
}

int ValidLoupeMagnification(int magnification) {
  return magnification >= 1 && magnification <= 8 ? magnification : 1;
}

LoupeLayout LayOutLoupe(CPoint centre, CPoint pixel, int pictureWidth, int pictureHeight, int side,
                        int magnification) {
  const int m = ValidLoupeMagnification(magnification);
  const int half = side / 2;
  const int reach = half / m;
  LoupeLayout layout;
  layout.square = CRect(centre.x - half, centre.y - half, centre.x - half + side, centre.y - half + side);
  layout.source = CRect(pixel.x - reach, pixel.y - reach, pixel.x + reach, pixel.y + reach);
  layout.destination = CRect(centre.x - reach * m, centre.y - reach * m, centre.x + reach * m, centre.y + reach * m);
  // Cut at the picture's edges, the square by the same amount magnified.
  if (layout.source.left < 0) {
    layout.destination.left -= layout.source.left * m;
    layout.source.left = 0;
  }
  if (layout.source.top < 0) {
    layout.destination.top -= layout.source.top * m;
    layout.source.top = 0;
  }
  if (layout.source.right > pictureWidth) {
    layout.destination.right -= (layout.source.right - pictureWidth) * m;
    layout.source.right = pictureWidth;
  }
  if (layout.source.bottom > pictureHeight) {
    layout.destination.bottom -= (layout.source.bottom - pictureHeight) * m;
    layout.source.bottom = pictureHeight;
  }
  return layout;
}

CRect LoupeLabelRect(const LoupeLayout& layout, const CRect& pictureArea) {
  const CRect& drawn = layout.destination;
  const int left = pictureArea.right > layout.square.right ? drawn.right - kLabelInset - kLabelWidth
                                                           : drawn.left + kLabelInset;
  const int top = pictureArea.bottom > layout.square.bottom ? drawn.bottom - kLabelInset - kLabelHeight
                                                            : drawn.top + kLabelInset;
  return CRect(left, top, left + kLabelWidth, top + kLabelHeight);
}

void DrawLoupe(CDC* dc, const LoupeLayout& layout, const CRect& pictureArea, const CET_Dib& region,
               COLORREF colour, CFont* font) {
  if (!dc || !region.IsValid() || !region.header) return;
  dc->FillSolidRect(layout.square, RGB(0, 0, 0));
  const CRect& to = layout.destination;
  if (to.Width() > 0 && to.Height() > 0) {
    BITMAPINFO header = *region.header;
    ::StretchDIBits(dc->m_hDC, to.left, to.top, to.Width(), to.Height(), 0, 0, region.GetWidth(),
                    region.GetHeight(), region.bits, &header, DIB_RGB_COLORS, SRCCOPY);
  }

  const int red = GetRValue(colour);
  const int green = GetGValue(colour);
  const int blue = GetBValue(colour);
  const CRect& square = layout.square;
  const int frameLeft = square.left + square.Width() / 2 - kCentreFrame / 2;
  const int frameTop = square.top + square.Height() / 2 - kCentreFrame / 2;
  // White shows on a dark pixel, black on a light one.
  CBrush frame;
  frame.CreateSolidBrush((red + green + blue) / 3 < 128 ? RGB(255, 255, 255) : RGB(0, 0, 0));
  dc->FrameRect(CRect(frameLeft, frameTop, frameLeft + kCentreFrame, frameTop + kCentreFrame), &frame);

  CRect label = LoupeLabelRect(layout, pictureArea);
  CFont* oldFont = font ? dc->SelectObject(font) : nullptr;
  const int oldBk = dc->SetBkMode(TRANSPARENT);
  const COLORREF oldText = dc->GetTextColor();
  struct Value {
    int value;
    UINT align;
    COLORREF colour;
  };
  for (const Value& v : {Value{red, DT_LEFT, RGB(255, 50, 50)}, Value{green, DT_CENTER, RGB(0, 230, 0)},
                         Value{blue, DT_RIGHT, RGB(100, 100, 255)}}) {
    const std::u16string text = ThreeDigits(v.value);
    const UINT format = v.align | DT_SINGLELINE | DT_VCENTER;
    CRect shadow(label);
    shadow.OffsetRect(1, 1);
    dc->SetTextColor(RGB(0, 0, 0));
    dc->DrawText(text, shadow, format);
    dc->SetTextColor(v.colour);
    dc->DrawText(text, label, format);
  }
  dc->SetTextColor(oldText);
  dc->SetBkMode(oldBk);
  if (oldFont) dc->SelectObject(oldFont);

  CGdiObject* oldBrush = dc->SelectStockObject(NULL_BRUSH);
  dc->Rectangle(square);
  if (oldBrush) dc->SelectObject(oldBrush->m_hObject);
}
