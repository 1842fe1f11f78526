// The grey-point pick: the 8 x 8 box of a still picture cut to the visible
// rectangle, the cases that change nothing, the settings it makes, and a raw
// file the facade cannot measure.

#include "review/core/GreyPoint.h"

#include "review/core/CFilterDataSlots.h"
#include "shell/facade/CKVR_FilterData.h"
#include "tests/support/DibBuilder.h"

#include <gtest/gtest.h>

namespace {

using testsupport::MakeBottomUpDib;

const FDoubleRect kWhole(0, 0, 40, 40);

TEST(GreyPointBox, NeutralPatchGivesUnitGainsAndColouredPatchesItsInverse) {
  auto grey = MakeBottomUpDib(40, 40, [](int, int) { return RGB(128, 128, 128); });
  FDoubleTriple gains(0, 0, 0);
  ASSERT_TRUE(GreyPointGainsFromBox(grey.get(), FDoublePoint(20, 20), kWhole, gains));
  EXPECT_DOUBLE_EQ(gains.r, 1.0);
  EXPECT_DOUBLE_EQ(gains.b, 1.0);

  auto warm = MakeBottomUpDib(40, 40, [](int, int) { return RGB(200, 160, 120); });
  ASSERT_TRUE(GreyPointGainsFromBox(warm.get(), FDoublePoint(20, 20), kWhole, gains));
  EXPECT_LT(gains.r, gains.g);
  EXPECT_LT(gains.g, gains.b);
}

TEST(GreyPointBox, PicksThatWouldChangeNothingAreRefused) {
  struct Case {
    const char* what;
    COLORREF colour;
  };
  const Case cases[] = {{"black", RGB(0, 0, 0)}, {"pure red", RGB(255, 0, 0)}, {"strong red", RGB(255, 10, 10)}};
  for (const Case& c : cases) {
    auto picture = MakeBottomUpDib(40, 40, [&](int, int) { return c.colour; });
    FDoubleTriple gains(7, 7, 7);
    EXPECT_FALSE(GreyPointGainsFromBox(picture.get(), FDoublePoint(20, 20), kWhole, gains)) << c.what;
    EXPECT_EQ(gains.r, 7) << c.what;
  }
  FDoubleTriple gains(7, 7, 7);
  EXPECT_FALSE(GreyPointGainsFromBox(nullptr, FDoublePoint(20, 20), kWhole, gains)) << "no shown picture";
}

TEST(GreyPointBox, TheBoxShrinksToTheVisibleRectangleOnEverySide) {
  // Grey inside 10..30, red outside: a box reaching out of the visible
  // rectangle (10, 10)-(30, 30) would see the red.
  auto picture = MakeBottomUpDib(40, 40, [](int x, int y) {
    return (x >= 10 && x < 30 && y >= 10 && y < 30) ? RGB(100, 100, 100) : RGB(250, 0, 0);
  });
  const FDoubleRect visible(10.7, 10.2, 30.9, 30.5);  // edges truncated: 10, 10, 30, 30
  for (const FDoublePoint& click : {FDoublePoint(11, 20), FDoublePoint(29, 20), FDoublePoint(20, 11),
                                    FDoublePoint(20, 29.9), FDoublePoint(10.5, 10.5)}) {
    FDoubleTriple gains(0, 0, 0);
    ASSERT_TRUE(GreyPointGainsFromBox(picture.get(), click, visible, gains)) << click.x << "," << click.y;
    EXPECT_DOUBLE_EQ(gains.r, 1.0) << click.x << "," << click.y;
    EXPECT_DOUBLE_EQ(gains.g, 1.0);
  }
}

TEST(GreyPointPick, MakesNamedCustomSettingsFromTheCurrentSlot) {
  auto picture = MakeBottomUpDib(40, 40, [](int, int) { return RGB(200, 160, 120); });
  CFilterDataSlots slots;
  CET_FilterData current;
  current.m_nExposure = 25;
  {
    CSingleLock lock(&slots, TRUE);
    slots.StoreLocked(3, &current);
  }
  GreyPointClick click;
  click.shown = picture.get();
  click.point = FDoublePoint(20, 20);
  click.visible = kWhole;

  auto settings = PickGreyPointSettings(click, slots, 3, FString(u"Grey point"));
  ASSERT_NE(settings, nullptr);
  EXPECT_EQ(settings->m_nExposure, 25) << "the other adjustments are kept";
  EXPECT_GT(settings->m_nCyan, settings->m_nMagenta);
  EXPECT_EQ(settings->m_nYellow, 0);
  EXPECT_EQ(settings->m_strName, FString(u"Grey point"));
  EXPECT_EQ(slots.PeekLocked(3)->m_nCyan, 0) << "the slot itself is left to the frame";

  auto fromEmpty = PickGreyPointSettings(click, slots, 2, FString(u"Grey point"));
  ASSERT_NE(fromEmpty, nullptr);
  EXPECT_EQ(fromEmpty->m_nExposure, 0) << "an empty slot gives a reset record";
  EXPECT_EQ(dynamic_cast<CKVR_FilterData*>(fromEmpty.get()), nullptr) << "a still picture's kind";

  click.point = FDoublePoint(45, 20);
  EXPECT_EQ(PickGreyPointSettings(click, slots, 3, FString(u"Grey point")), nullptr) << "outside the visible part";
}

TEST(GreyPointPick, ARawFileTheFacadeCannotMeasureChangesNothing) {
  CFilterDataSlots slots;
  GreyPointClick click;
  click.path = FString(u"/nonexistent/folder/picture.kvr");
  click.raw = true;
  click.point = FDoublePoint(20, 20);
  click.visible = kWhole;
  EXPECT_EQ(PickGreyPointSettings(click, slots, 3, FString(u"Grey point")), nullptr);
}

}  // namespace
