// Where the review view's controls stand: the text buttons' widths from their
// captions, the rows that move for raw files, and a layout that never inverts
// a rectangle however small the window.

#include "review/frame/ReviewViewLayout.h"

#include "support/RectPrinting.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace ReviewView;

CRect PlaceOf(const std::vector<ReviewViewPlace>& places, int id) {
  const auto found = std::find_if(places.begin(), places.end(), [id](const ReviewViewPlace& p) { return p.id == id; });
  return found == places.end() ? CRect() : found->rect;
}

TEST(ReviewViewLayout, TextButtonsTakeTheirCaptionPlusAMarginWithinTheirLimits) {
  struct Case {
    int caption;
    int save, fit, palette;
  } cases[] = {{50, 150, 120, 150}, {120, 150, 140, 150}, {180, 200, 167, 200}, {400, 230, 167, 420}};
  for (const Case& c : cases) {
    const ReviewTextButtonWidths widths = ReviewTextButtonWidthsFor(c.caption, c.caption, c.caption);
    EXPECT_EQ(widths.save, c.save) << c.caption;
    EXPECT_EQ(widths.fit, c.fit) << c.caption;
    EXPECT_EQ(widths.palette, c.palette) << c.caption;
  }
}

TEST(ReviewViewLayout, ARawFilesSettingsRowStands16PixelsHigherAndThePaneFillsTheRest) {
  const ReviewTextButtonWidths widths;
  const auto raw = ReviewViewLayout(1200, 800, true, widths);
  const auto other = ReviewViewLayout(1200, 800, false, widths);
  EXPECT_EQ(PlaceOf(raw, kSlotBar), CRect(535, 2, 680, 16));
  EXPECT_EQ(PlaceOf(other, kSlotBar), CRect(535, 18, 680, 32));
  EXPECT_EQ(PlaceOf(raw, kSlotLabels[2]).top, 17);
  EXPECT_EQ(PlaceOf(other, kSlotLabels[2]).top, 33);
  EXPECT_EQ(PlaceOf(raw, static_cast<int>(kPaneId)), CRect(10, 100, 1190, 790));
  EXPECT_EQ(PlaceOf(raw, kAdjustPalette), CRect(1040, 5, 1190, 28)) << "10 pixels from the right edge";
  EXPECT_EQ(PlaceOf(raw, kLockIndicator), CRect(1174, 80, 1190, 96));
  EXPECT_EQ(PlaceOf(raw, kSave), CRect(43, 5, 193, 28)) << "centred between 3 and 233";
}

TEST(ReviewViewLayout, NoRectangleIsInvertedAndTheTemplateIsAccepted) {
  for (const CSize size : {CSize(0, 0), CSize(100, 50), CSize(920, 600), CSize(3000, 2000)}) {
    for (const ReviewViewPlace& place : ReviewViewLayout(size.cx, size.cy, true, ReviewTextButtonWidths{})) {
      EXPECT_GE(place.rect.Width(), 0) << place.id << " at " << size.cx << "x" << size.cy;
      EXPECT_GE(place.rect.Height(), 0) << place.id << " at " << size.cx << "x" << size.cy;
    }
  }
  std::string error;
  EXPECT_TRUE(platform::RegisterDialogTemplate(ReviewViewTemplate(), &error)) << error;
}

} // namespace
