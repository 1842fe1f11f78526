#include "output/print/PrintPan.h"

#include "toolkit/CET_Calc.h"

#include <algorithm>
#include <cmath>

namespace {

bool IsEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

int Truncate(double value) { return static_cast<int>(std::trunc(value)); }

} // namespace

RECT KeepCropInPicture(RECT crop, int width, int height, RECT picture) {
  if (crop.left < 0) {
    crop.left = 0;
    crop.right = width;
  }
  if (crop.top < 0) {
    crop.top = 0;
    crop.bottom = height;
  }
  if (crop.right > picture.right) {
    crop.left = picture.right - width;
    crop.right = picture.right;
  }
  if (crop.bottom > picture.bottom) {
    crop.top = picture.bottom - height;
    crop.bottom = picture.bottom;
  }
  return crop;
}

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
  moved = KeepCropInPicture(moved, full.right - full.left, full.bottom - full.top, picture);
  const bool same = moved.left == old.left && moved.top == old.top && moved.right == old.right &&
                    moved.bottom == old.bottom;
  return same ? crop : moved;
}
