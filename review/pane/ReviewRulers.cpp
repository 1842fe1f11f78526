#include "review/pane/ReviewRulers.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

constexpr COLORREF kBandColour = RGB(225, 225, 225);
constexpr int kBaseLine = 15;
constexpr int kLongTickTop = 2;
constexpr int kShortTickTop = 10;

std::u16string Number(long long value) {
  char text[32];
  std::snprintf(text, sizeof text, "%lld", value);
  return std::u16string(text, text + std::char_traits<char>::length(text));
}

// The ticks of one band: calls tick(position, count) for each tick from the
// origin while it lies inside [first, end).
template <typename Tick>
void ForEachTick(double origin, double spacing, int first, int end, Tick tick) {
  if (!(spacing > 0) || !std::isfinite(origin)) return;
  // Ticks left of the band are skipped without walking to them.
  long long count = origin >= first ? 0 : static_cast<long long>(std::ceil((first - origin) / spacing));
  for (;; ++count) {
    const double position = origin + static_cast<double>(count) * spacing;
    if (position >= end) break;
    if (position >= first) tick(static_cast<int>(std::floor(position)), count);
  }
}

} // namespace

int RulerTickStep(double zoom) {
  if (zoom > 1.99) return 10;
  if (zoom > 0.99) return 20;
  if (zoom < 0.24) return 80;
  return 40;
}

void DrawRulers(CDC* dc, const CRect& client, FDoublePoint origin, double zoom, const RulerLook& look,
                const CPoint* cursor) {
  if (!dc) return;
  const int step = RulerTickStep(zoom);
  const double spacing = step * zoom;
  CPen black(PS_SOLID, 1, RGB(0, 0, 0));
  CPen* oldPen = dc->SelectObject(&black);
  const COLORREF oldText = dc->SetTextColor(RGB(0, 0, 0));
  const int oldBk = dc->SetBkMode(TRANSPARENT);

  // Top band.
  dc->FillSolidRect(CRect(client.left, client.top, client.right, client.top + kRulerBand), kBandColour);
  dc->MoveTo(client.left + kRulerBand, client.top + kBaseLine);
  dc->LineTo(client.right, client.top + kBaseLine);
  CFont* oldFont = look.font ? dc->SelectObject(look.font) : nullptr;
  const UINT oldAlign = dc->SetTextAlign(TA_LEFT | TA_TOP);
  if (!look.ticksHidden) {
    ForEachTick(origin.x, spacing, client.left + kRulerBand, client.right, [&](int x, long long count) {
      const bool longTick = count % 5 == 0;
      dc->MoveTo(x, client.top + (longTick ? kLongTickTop : kShortTickTop));
      dc->LineTo(x, client.top + kBaseLine);
      if (longTick) dc->TextOut(x + 2, client.top + 2, Number(count * step));
    });
  }

  // Left band: the numbers run upwards, their baseline 2 pixels right of it.
  dc->FillSolidRect(CRect(client.left, client.top, client.left + kRulerBand, client.bottom), kBandColour);
  dc->MoveTo(client.left + kBaseLine, client.top + kRulerBand);
  dc->LineTo(client.left + kBaseLine, client.bottom);
  if (look.verticalFont) dc->SelectObject(look.verticalFont);
  dc->SetTextAlign(TA_LEFT | TA_BOTTOM);
  if (!look.ticksHidden) {
    ForEachTick(origin.y, spacing, client.top + kRulerBand, client.bottom, [&](int y, long long count) {
      const bool longTick = count % 5 == 0;
      dc->MoveTo(client.left + (longTick ? kLongTickTop : kShortTickTop), y);
      dc->LineTo(client.left + kBaseLine, y);
      if (longTick) dc->TextOut(client.left + 2, y + 2, Number(count * step));
    });
  }
  dc->SetTextAlign(oldAlign);
  if (oldFont) dc->SelectObject(oldFont);

  // The corner and the lines between the bands and the picture.
  dc->FillSolidRect(CRect(client.left, client.top, client.left + kRulerBand, client.top + kRulerBand), kBandColour);
  dc->MoveTo(client.left, client.top + kRulerBand);
  dc->LineTo(client.right, client.top + kRulerBand);
  dc->MoveTo(client.left + kRulerBand, client.top);
  dc->LineTo(client.left + kRulerBand, client.bottom);

  if (cursor && client.PtInRect(*cursor)) {
    CPen red(PS_SOLID, 1, RGB(255, 0, 0));
    dc->SelectObject(&red);
    if (cursor->x >= client.left + kRulerBand) {
      dc->MoveTo(cursor->x, client.top);
      dc->LineTo(cursor->x, client.top + kRulerBand);
    }
    if (cursor->y >= client.top + kRulerBand) {
      dc->MoveTo(client.left, cursor->y);
      dc->LineTo(client.left + kRulerBand, cursor->y);
    }
    dc->SelectObject(&black);
  }
  dc->SelectObject(oldPen);
  dc->SetBkMode(oldBk);
  dc->SetTextColor(oldText);
}
