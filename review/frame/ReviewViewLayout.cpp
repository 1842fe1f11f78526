#include "review/frame/ReviewViewLayout.h"

#include "shell/dialogs/DialogLayout.h"

#include "platform/afx/AfxButton.h"

#include <algorithm>

using namespace ReviewView;

namespace {

constexpr int kTextButtonMargin = 20;
constexpr SIZE kTemplatePixels{920, 600};

// A rectangle from its left, top, width and height, never inverted.
CRect Box(int left, int top, int width, int height) {
  return CRect(left, top, left + std::max(0, width), top + std::max(0, height));
}
CRect Span(int left, int top, int right, int bottom) {
  return CRect(left, top, std::max(left, right), std::max(top, bottom));
}
// A button of the width centred between two x positions.
CRect Centred(int from, int to, int top, int width, int height) {
  return Box(from + (to - from - width) / 2, top, width, height);
}

} // namespace

ReviewTextButtonWidths ReviewTextButtonWidthsFor(int saveCaption, int fitCaption, int paletteCaption) {
  ReviewTextButtonWidths widths;
  widths.save = std::clamp(saveCaption + kTextButtonMargin, 150, 230);
  widths.fit = std::clamp(fitCaption + kTextButtonMargin, 120, 167);
  widths.palette = std::max(paletteCaption + kTextButtonMargin, 150);
  return widths;
}

std::vector<ReviewViewPlace> ReviewViewLayout(int w, int h, bool raw, const ReviewTextButtonWidths& widths) {
  const int slotRow = raw ? 2 : 18;
  const int labelRow = raw ? 17 : 33;
  const int paletteLeft = w - 10 - widths.palette;
  return {
      {kSave, Centred(3, 233, 5, widths.save, 23)},
      {kSeparators[0], Box(236, 0, 1, 32)},
      {kFit, Centred(240, 407, 5, widths.fit, 23)},
      {kZoomOut, Box(411, 5, 16, 23)},
      {kZoomLabel, Box(427, 5, 50, 21)},
      {kZoomIn, Box(477, 5, 16, 23)},
      {kPrevious, Box(3, 37, 16, 23)},
      {kPositionLabel, Box(19, 37, 100, 21)},
      {kNext, Box(119, 37, 16, 23)},
      {kSeparators[1], Box(143, 32, 1, 32)},
      {kInfoPalette, Box(150, 37, 23, 23)},
      {kSeparators[2], Box(180, 32, 1, 32)},
      {kRotateLeft, Box(192, 37, 25, 23)},
      {kRotateRight, Box(217, 37, 25, 23)},
      {kPrint, Box(252, 37, 23, 23)},
      {kMark, Box(282, 37, 23, 23)},
      {kLock, Box(312, 37, 23, 23)},
      {kDelete, Box(342, 37, 23, 23)},
      {kSeparators[6], Box(0, 32, 375, 1)},
      {kSeparators[3], Box(375, 32, 1, 32)},
      {kLoupe, Box(384, 37, 23, 23)},
      {kLoupeSmaller, Box(411, 37, 16, 23)},
      {kLoupeLabel, Box(427, 37, 50, 21)},
      {kLoupeLarger, Box(477, 37, 16, 23)},
      {kSeparators[4], Box(495, 0, 1, 64)},
      {kWriteSettings, Box(500, 5, 31, 30)},
      {kSavePicture, Box(500, 15, 31, 30)},
      {kSlotBar, Box(535, slotRow, 145, 14)},
      {kSlotLabels[0], Box(535, labelRow, 50, 10)},
      {kSlotLabels[1], Span(588, labelRow, 632, labelRow + 10)},
      {kSlotLabels[2], Span(632, labelRow, 689, labelRow + 26)},
      {kPresetList, Box(507, 44, 170, 18)},
      {kSeparators[5], Box(692, 0, 1, 64)},
      // The line runs on to the client's right edge.
      {kSeparators[7], Span(692, 32, w, 33)},
      {kAdjustPalette, Box(paletteLeft, 5, widths.palette, 23)},
      {kProgress, Span(paletteLeft, 39, w - 10, 57)},
      {kSeparators[8], Box(0, 64, w, 1)},
      {kInfoLine, Span(10, 70, w - 50, 90)},
      {kMarkIndicator, Box(w - 46, 80, 16, 16)},
      {kLockIndicator, Box(w - 26, 80, 16, 16)},
      {static_cast<int>(kPaneId), Span(10, 100, w - 10, h - 10)},
  };
}

DialogTemplate ReviewViewTemplate() {
  DialogTemplate t;
  t.id = kTemplate;
  t.style = WS_CHILD;
  t.size = {(kTemplatePixels.cx * 4 + 5) / 6, (kTemplatePixels.cy * 8 + 12) / 13}; // as PixelItem converts
  std::vector<DialogItemTemplate> items;
  for (const ReviewViewPlace& place : ReviewViewLayout(kTemplatePixels.cx, kTemplatePixels.cy, true, {})) {
    if (place.id == static_cast<int>(kPaneId)) continue; // the view makes the pane itself
    const int id = place.id;
    const bool button = (id >= 1003 && id <= 1009) || (id >= 1039 && id <= 1042) || (id >= 1047 && id <= 1057);
    const char16_t* className = button ? u"Button"
                                : id == kSlotBar    ? u"RadioBar"
                                : id == kPresetList ? u"ComboBox"
                                                    : u"Static";
    const DWORD style = WS_VISIBLE | (button ? WS_TABSTOP | BS_OWNERDRAW : 0);
    items.push_back(dialogs::PixelItem(id, className, style, place.rect));
  }
  items.push_back(dialogs::PixelItem(kUnused, u"Static", 0, RECT{0, 0, 0, 0}));
  for (DialogItemTemplate& item : items) {
    item.rect.right = std::min(item.rect.right, t.size.cx);
    item.rect.bottom = std::min(item.rect.bottom, t.size.cy);
  }
  t.items = std::move(items);
  return t;
}
