// Dragging a cropped picture inside its cell: only along the axis on which it
// overflows, never past its own edges, and nothing for a resting pointer.

#include "output/print/PrintPan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

bool Same(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

constexpr RECT kPortraitCell{0, 0, 100, 200};
constexpr RECT kNoCrop{};

struct PanCase {
  const char* what;
  RECT cell;
  RECT crop;
  int width, height;
  bool autoRotate;
  double dx, dy;
  RECT expected;
};

TEST(PrintPan, MovesTheCropAlongTheOverflowingAxisWithinThePicture) {
  // A 400 x 200 picture in a 100 x 200 cell: its centred crop is (150, 0)-(250, 200).
  const PanCase cases[] = {
      {"a drag to the right shows more of the left", kPortraitCell, kNoCrop, 400, 200, false, 30.0, 0.0,
       {120, 0, 220, 200}},
      {"a vertical drag moves nothing across", kPortraitCell, kNoCrop, 400, 200, false, 0.0, 25.0, kNoCrop},
      {"only the overflowing axis", kPortraitCell, kNoCrop, 400, 200, false, -20.0, 40.0, {170, 0, 270, 200}},
      {"far right stops at the left edge", kPortraitCell, kNoCrop, 400, 200, false, 5000.0, 0.0, {0, 0, 100, 200}},
      {"far left stops at the right edge", kPortraitCell, {10, 0, 110, 200}, 400, 200, false, -1e9, 0.0,
       {300, 0, 400, 200}},
      {"a resting pointer", kPortraitCell, {10, 0, 110, 200}, 400, 200, false, 0.005, -0.005, {10, 0, 110, 200}},
      {"rows count from the bottom: a drag down moves the crop up", {0, 0, 200, 100}, kNoCrop, 200, 400, false,
       0.0, 30.0, {0, 180, 200, 280}},
      {"turned to fit, the same picture fills the cell", kPortraitCell, kNoCrop, 400, 200, true, 30.0, 0.0,
       kNoCrop},
      {"turned, then it overflows along the other axis", {0, 0, 100, 150}, kNoCrop, 400, 200, true, 0.0, 10.0,
       {0, 60, 200, 360}},
      {"no picture", kPortraitCell, kNoCrop, 0, 200, false, 30.0, 0.0, kNoCrop},
      {"no cell", RECT{5, 5, 5, 5}, kNoCrop, 400, 200, false, 30.0, 0.0, kNoCrop},
      {"not a number", kPortraitCell, kNoCrop, 400, 200, false, std::numeric_limits<double>::quiet_NaN(), 0.0,
       kNoCrop},
  };
  for (const PanCase& c : cases) {
    const RECT got = PanCrop(c.cell, c.crop, c.width, c.height, c.autoRotate, c.dx, c.dy);
    EXPECT_TRUE(Same(got, c.expected)) << c.what << ": (" << got.left << ", " << got.top << ")-(" << got.right
                                       << ", " << got.bottom << ")";
  }
}

TEST(PrintPan, AStepByStepDragKeepsTheCropsSize) {
  RECT crop{};
  for (int step = 0; step < 50; ++step) {
    crop = PanCrop(kPortraitCell, crop, 400, 200, false, 7.5, 0.0);
    ASSERT_EQ(crop.right - crop.left, 100) << step;
    ASSERT_GE(crop.left, 0) << step;
  }
  EXPECT_EQ(crop.left, 0);
}

} // namespace
