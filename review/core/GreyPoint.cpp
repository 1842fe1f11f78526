#include "review/core/GreyPoint.h"

#include "foundation/FColorAdjust.h"
#include "review/core/CFilterDataSlots.h"
#include "shell/facade/CKVR_FilterData.h"
#include "shell/facade/KVR_FileSettings.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kBoxHalf = 4;
constexpr int kBoxSize = 8;
constexpr double kTiny = 1e-6;
constexpr double kWeakestGainShare = 1.0 / 20.0;

// Gains the compensation can carry: finite, positive, none below a twentieth
// of the largest.
bool AreUsableGains(const FDoubleTriple& gains) {
  const double largest = std::max({gains.r, gains.g, gains.b});
  for (double gain : {gains.r, gains.g, gains.b}) {
    if (!std::isfinite(gain) || gain <= largest * kWeakestGainShare) {
      return false;
    }
  }
  return largest > 0.0;
}

BOOL RawGreyPointGains(const GreyPointClick& click, FDoubleTriple& gains) {
  FDoubleTriple measured(1.0, 1.0, 1.0);
  if (!KVR_GetNeutralAtPoint(click.path.GetText(), static_cast<int>(click.point.x), static_cast<int>(click.point.y),
                             &measured) ||
      !AreUsableGains(measured)) {
    return FALSE;
  }
  gains = measured;
  return TRUE;
}

}  // namespace

BOOL GreyPointGainsFromBox(const CET_Dib* picture, const FDoublePoint& point, const FDoubleRect& visible,
                           FDoubleTriple& gains) {
  if (!picture || !picture->IsValid()) {
    return FALSE;
  }
  int left = static_cast<int>(point.x) - kBoxHalf;
  int top = static_cast<int>(point.y) - kBoxHalf;
  int right = left + kBoxSize;
  int bottom = top + kBoxSize;
  left = std::max(left, TruncateToInt(visible.left));
  top = std::max(top, TruncateToInt(visible.top));
  right = std::min(right, TruncateToInt(visible.right));
  bottom = std::min(bottom, TruncateToInt(visible.bottom));

  double sumR = 0.0, sumG = 0.0, sumB = 0.0;
  for (int y = top; y < bottom; ++y) {
    for (int x = left; x < right; ++x) {
      const int colour = picture->GetPixel(x, y);
      if (colour < 0) {
        continue;  // outside the picture
      }
      sumR += GetRValue(colour);
      sumG += GetGValue(colour);
      sumB += GetBValue(colour);
    }
  }
  const double v = 0.3 * sumR + 0.55 * sumG + 0.15 * sumB;
  if (std::fabs(v) <= kTiny) {
    return FALSE;
  }
  for (double sum : {sumR, sumG, sumB}) {
    if (std::fabs(sum / v) <= kTiny) {
      return FALSE;
    }
  }
  const FDoubleTriple measured(v / sumR, v / sumG, v / sumB);
  if (!AreUsableGains(measured)) {
    return FALSE;
  }
  gains = measured;
  return TRUE;
}

std::unique_ptr<CET_FilterData> PickGreyPointSettings(const GreyPointClick& click, CFilterDataSlots& slots,
                                                      int currentSlot, const FString& name) {
  if (!click.visible.Contains(click.point)) {
    return nullptr;
  }
  FDoubleTriple gains(1.0, 1.0, 1.0);
  const BOOL valid =
      click.raw ? RawGreyPointGains(click, gains) : GreyPointGainsFromBox(click.shown, click.point, click.visible, gains);
  if (!valid) {
    return nullptr;
  }
  std::unique_ptr<CET_FilterData> settings(slots.GetSlot(currentSlot));
  if (!settings) {
    settings.reset(click.raw ? new CKVR_FilterData() : new CET_FilterData());
  }
  ColorGainToCMY(gains.r, gains.g, gains.b, settings->m_nCyan, settings->m_nMagenta, settings->m_nYellow);
  settings->m_strName = name;
  return settings;
}
