#include "toolkit/CET_Calc.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

std::int64_t RectWidth(const RECT& r) { return std::int64_t{r.right} - r.left; }
std::int64_t RectHeight(const RECT& r) { return std::int64_t{r.bottom} - r.top; }

// Truncation toward zero into a coordinate; what is not a number gives 0 and
// what lies beyond the coordinate range is held at its edge.
LONG TruncateToCoordinate(double v) {
  if (!std::isfinite(v)) {
    return 0;
  }
  constexpr double lo = std::numeric_limits<LONG>::min();
  constexpr double hi = std::numeric_limits<LONG>::max();
  return static_cast<LONG>(v < lo ? lo : (v > hi ? hi : v));
}

LONG Clamp(std::int64_t v) {
  return static_cast<LONG>(std::clamp<std::int64_t>(v, std::numeric_limits<LONG>::min(),
                                                    std::numeric_limits<LONG>::max()));
}

} // namespace

RECT CET_Calc::FitRectInRect(RECT frame, RECT content) {
  const double fw = static_cast<double>(RectWidth(frame));
  const double fh = static_cast<double>(RectHeight(frame));
  const double cw = static_cast<double>(RectWidth(content));
  const double ch = static_cast<double>(RectHeight(content));
  const bool emptyFrame = fw == 0 || fh == 0;
  const double fx = emptyFrame ? 1 : cw / fw;
  const double fy = emptyFrame ? 1 : ch / fh;
  RECT result = frame;
  if (fy > fx) {
    const std::int64_t newWidth = TruncateToCoordinate(cw / fy);
    result.left = Clamp(frame.left + (RectWidth(frame) - newWidth) / 2);
    result.right = Clamp(std::int64_t{result.left} + newWidth);
  } else {
    // An empty content (fx 0) has no proportions: it becomes an empty line.
    const std::int64_t newHeight = fx == 0 ? 0 : TruncateToCoordinate(ch / fx);
    result.top = Clamp(frame.top + (RectHeight(frame) - newHeight) / 2);
    result.bottom = Clamp(std::int64_t{result.top} + newHeight);
  }
  return result;
}

RECT CET_Calc::GetAspectCropRect(RECT frame, RECT picture, int* cutKind) {
  const double fw = static_cast<double>(RectWidth(frame));
  const double fh = static_cast<double>(RectHeight(frame));
  const std::int64_t pw = RectWidth(picture);
  const std::int64_t ph = RectHeight(picture);
  RECT result{0, 0, Clamp(pw), Clamp(ph)};
  int kind = 0;
  // A frame without area has no proportions to crop to.
  if (fw != 0 && fh != 0) {
    const double a = fh / fw;
    const double rx = pw / fw;
    const double ry = ph / fh;
    if (ry > rx) {
      const std::int64_t h = TruncateToCoordinate(a * pw);
      const std::int64_t d = ph - h;
      result = RECT{0, Clamp(d / 2), Clamp(pw), Clamp(d / 2 + h)};
      kind = 1;
    } else if (ry < rx) {
      const std::int64_t w = TruncateToCoordinate(ph / a);
      const std::int64_t d = pw - w;
      result = RECT{Clamp(d / 2), 0, Clamp(d / 2 + w), Clamp(ph)};
      kind = 2;
    }
  }
  if (cutKind) {
    *cutKind = kind;
  }
  return result;
}

bool CET_Calc::IsSameOrientation(RECT a, RECT b) {
  const auto orientation = [](const RECT& r) {
    const std::int64_t w = RectWidth(r);
    const std::int64_t h = RectHeight(r);
    return w > h ? 1 : (w < h ? -1 : 0);
  };
  return orientation(a) * orientation(b) >= 0;
}

RECT CET_Calc::ScaleRect(int left, int top, int right, int bottom, double scale) {
  const auto scaled = [scale](int v) { return TruncateToCoordinate(v * scale + 0.4999999); };
  return RECT{scaled(left), scaled(top), scaled(right), scaled(bottom)};
}

int CET_Calc::RoundToInt(double value) {
  const double magnitude = static_cast<double>(TruncateToCoordinate(std::fabs(value) + 0.5));
  return static_cast<int>(value < 0 ? -magnitude : magnitude);
}
