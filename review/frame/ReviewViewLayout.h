#pragma once
// The review view's form (template 102): the ids of its controls and where
// they stand for a client size. Two tool rows along the top (save, zoom,
// previous and next, file commands, loupe), the settings choice beside them,
// the adjustment palette's button and the progress bar at the top right, the
// shooting-information line with the mark and lock indicators below, and the
// picture pane filling the rest. A raw file raises the radio bar's row by 16
// pixels, shows the write-settings button and the preset list; other files
// show the save button instead.

#include "platform/afx/AfxTypes.h"
#include "platform/win/WinDialogs.h"

#include <vector>

namespace ReviewView {
constexpr UINT kTemplate = 102;
constexpr int kSave = 1039;
constexpr int kFit = 1040;
constexpr int kZoomOut = 1041;
constexpr int kZoomLabel = 1062;
constexpr int kZoomIn = 1042;
constexpr int kPrevious = 1051;
constexpr int kPositionLabel = 1061;
constexpr int kNext = 1052;
constexpr int kInfoPalette = 1003;
constexpr int kRotateLeft = 1005;
constexpr int kRotateRight = 1006;
constexpr int kPrint = 1054;
constexpr int kMark = 1055;
constexpr int kLock = 1056;
constexpr int kDelete = 1057;
constexpr int kLoupe = 1047;
constexpr int kLoupeSmaller = 1048;
constexpr int kLoupeLabel = 1063;
constexpr int kLoupeLarger = 1049;
constexpr int kWriteSettings = 1008;
constexpr int kSavePicture = 1009;
constexpr int kSlotBar = 1017;
constexpr int kSlotLabels[3] = {1013, 1014, 1015};
constexpr int kPresetList = 1016;
constexpr int kAdjustPalette = 1004;
constexpr int kProgress = 1044;
constexpr int kInfoLine = 1045;
constexpr int kMarkIndicator = 1087;
constexpr int kLockIndicator = 1086;
constexpr int kUnused = 1074;
// The separators: thin black group boxes.
constexpr int kSeparators[9] = {1065, 1066, 1067, 1068, 1069, 1070, 1071, 1072, 1073};
constexpr UINT kPaneId = 39320;
} // namespace ReviewView

struct ReviewViewPlace {
  int id;     // a control of the form, or the pane (ReviewView::kPaneId)
  CRect rect; // client coordinates
};

// The widths of the three text buttons, measured from their captions.
struct ReviewTextButtonWidths {
  int save = 150;
  int fit = 120;
  int palette = 150;
};
// The widths the text buttons get for captions of these widths (in pixels):
// the caption plus 20, save within 150-230, fit within 120-167, the palette
// button at least 150.
ReviewTextButtonWidths ReviewTextButtonWidthsFor(int saveCaption, int fitCaption, int paletteCaption);

// Every control's place, and the pane's outer rectangle (bars included). No
// rectangle is ever inverted: a client too small for a control leaves it empty.
std::vector<ReviewViewPlace> ReviewViewLayout(int width, int height, bool raw, const ReviewTextButtonWidths& widths);

// The form's template, its controls at their places for a raw file.
DialogTemplate ReviewViewTemplate();
