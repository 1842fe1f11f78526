#include "shell/browser/ThumbViewLayout.h"

#include "shell/browser/CThumbFormView.h"

#include <algorithm>

using namespace ThumbView;

namespace {

constexpr SIZE kTemplateSize{183, 242}; // dialog units
// The grid leaves room at its right for its scroll bar (14 pixels) and a margin.
constexpr int kGridRightGap = 19;

// A rectangle that is never inverted: a side past its opposite stops there.
CRect Place(int left, int top, int right, int bottom) {
  return CRect(left, top, std::max(left, right), std::max(top, bottom));
}

} // namespace

std::vector<ThumbViewPlace> ThumbViewLayout(int w, int h, int textButtonWidth) {
  return {
      {kSeparators[0], Place(10, 0, 11, 61)},
      {kInfoPalette, Place(14, 19, 37, 42)},
      {kSeparators[1], Place(40, 0, 41, 61)},
      {kRotateLeft, Place(48, 19, 73, 42)},
      {kRotateRight, Place(73, 19, 98, 42)},
      {kSlideShow, Place(104, 19, 127, 42)},
      {kPrint, Place(135, 19, 158, 42)},
      {kMark, Place(166, 19, 189, 42)},
      {kLock, Place(197, 19, 220, 42)},
      {kDelete, Place(228, 19, 251, 42)},
      {kSeparators[2], Place(255, 0, 256, 61)},
      {kOpen, Place(w - 5 - textButtonWidth, 5, w - 5, 28)},
      {kOpenNew, Place(w - 5 - textButtonWidth, 33, w - 5, 56)},
      {kShootingBox, Place(0, 61, w - 5, 81)},
      {static_cast<int>(kGridId), Place(2, 81, w - kGridRightGap, h - 56)},
      {kSelectionBox, Place(2, h - 56, w - 5, h - 36)},
      {kSmaller, Place(10, h - 31, 41, h - 1)},
      {kSizeSlider, Place(51, h - 26, 190, h - 6)},
      {kLarger, Place(200, h - 31, 231, h - 1)},
      {kInfoViewButton, Place(241, h - 31, 272, h - 1)},
  };
}

DialogTemplate ThumbViewTemplate() {
  DialogTemplate t;
  t.id = kTemplate;
  t.style = WS_CHILD;
  t.size = kTemplateSize;
  const SIZE pixels = platform::DialogUnitsToPixels(kTemplateSize);
  for (const ThumbViewPlace& place : ThumbViewLayout(pixels.cx, pixels.cy, 150)) {
    if (place.id == static_cast<int>(kGridId)) continue; // the view makes the grid itself
    DialogItemTemplate item;
    item.id = place.id;
    const bool box = place.id == kShootingBox || place.id == kSelectionBox || place.id == kSeparators[0] ||
                     place.id == kSeparators[1] || place.id == kSeparators[2];
    item.className = box ? u"Static" : place.id == kSizeSlider ? u"TrackBar" : u"Button";
    item.style = WS_VISIBLE | (box ? 0 : WS_TABSTOP);
    // Pixels to dialog units (2/3 across, 8/13 down), kept inside the template.
    const auto across = [](LONG x) { return std::clamp<LONG>(x * 2 / 3, 0, kTemplateSize.cx); };
    const auto down = [](LONG y) { return std::clamp<LONG>(y * 8 / 13, 0, kTemplateSize.cy); };
    item.rect = {across(place.rect.left), down(place.rect.top), across(place.rect.right), down(place.rect.bottom)};
    t.items.push_back(item);
  }
  return t;
}
