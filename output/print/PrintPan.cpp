#include "output/print/PrintPan.h"

#include "toolkit/CET_Calc.h"

#include <algorithm>
#include <cmath>

namespace {

bool IsEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

int Truncate(double value) { return static_cast<int>(std::trunc(value)); }

} // namespace

RECT PanCrop(RECT cell, RECT crop, int pictureWidth, int pictureHeight, bool autoRotate, double dx, double dy) {
  if (!std::isfinite(dx) || !std::isfinite(dy) || (std::fabs(dx) < 0.01 && std::fabs(dy) < 0.01)) return crop;
  if (pictureWidth <= 0 || pictureHeight <= 0 || IsEmpty(cell)) return crop;
  RECT picture{0, 0, pictureWidth, pictureHeight};
  if (autoRotate && !CET_Calc::IsSameOrientation(picture, cell)) picture = RECT{0, 0, pictureHeight, pictureWidth};
  int cutKind = 0;
  const RECT full = CET_Calc::GetAspectCropRect(cell, picture, &cutKind);
  if (cutKind == 1) dx = 0;
  if (cutKind == 2) dy = 0;
  const RECT old = IsEmpty(crop) ? full : crop;
  // A drag of more than the picture is as far as the picture goes.
  const double limit = static_cast<double>(picture.right) + picture.bottom;
  dx = std::clamp(dx, -limit, limit);
  dy = std::clamp(dy, -limit, limit);
  RECT moved{Truncate(old.left - dx), Truncate(old.top + dy), Truncate(old.right - dx), Truncate(old.bottom + dy)};
  const int fullWidth = full.right - full.left, fullHeight = full.bottom - full.top;
  if (moved.left < 0) {
    moved.left = 0;
    moved.right = fullWidth;
  }
  if (moved.top < 0) {
    moved.top = 0;
    moved.bottom = fullHeight;
  }
  if (moved.right > picture.right) {
    moved.left = picture.right - fullWidth;
    moved.right = picture.right;
  }
  if (moved.bottom > picture.bottom) {
    moved.top = picture.bottom - fullHeight;
    moved.bottom = picture.bottom;
  }
  const bool same = moved.left == old.left && moved.top == old.top && moved.right == old.right &&
                    moved.bottom == old.bottom;
  return same ? crop : moved;
}
