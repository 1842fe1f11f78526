// The slide show's picture window on an X server with Mesa: the first
// picture shows at once, a second one runs 20 steps of 50 ms of its effect
// and the parent hears of the end once; frames of the effects read back at
// chosen steps (the first frame, the middle and the last exact to their
// geometry), black frames for an unknown effect, and the mark icon only
// outside a transition.

#include "output/slideshow/CSlideShowWnd.h"
#include "platform/testing/Display.h"
#include "shell/app/AppMessages.h"
#include "support/DibBuilder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace pt = platform::testing;

namespace {

constexpr int kWidth = 200;
constexpr int kHeight = 100;
constexpr COLORREF kOld = RGB(255, 0, 0);
constexpr COLORREF kNew = RGB(0, 0, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

// A picture of one colour, with the window's proportions unless told.
std::unique_ptr<CET_Dib> Solid(COLORREF colour, int width = kWidth, int height = kHeight) {
  return testsupport::MakeBottomUpDib(width, height, [colour](int, int) { return colour; });
}

bool Near(COLORREF a, COLORREF b, int tolerance = 4) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
         std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

// Counts what its picture window tells it.
class SlideParent : public CWnd {
public:
  int nextPictures = 0;

protected:
  afx_msg LRESULT OnSlideNext(WPARAM, LPARAM) {
    ++nextPictures;
    return 0;
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(SlideParent, CWnd)
ON_MESSAGE(WM_APP_SLIDE_NEXT, OnSlideNext)
END_MESSAGE_MAP()

class SlideShowWndGl : public ::testing::Test {
protected:
  void SetUp() override {
    if (const std::string why = pt::StartOnDisplay(true); !why.empty()) GTEST_SKIP() << why;
    ASSERT_TRUE(parent.CreateEx(0, u"Top", u"Slides", WS_POPUP, RECT{0, 0, kWidth, kHeight}, nullptr, 0));
    ASSERT_TRUE(slides.Create(u"SlideShowWnd", u"", WS_CHILD | WS_VISIBLE, RECT{0, 0, kWidth, kHeight}, &parent,
                              0xFFFF));
    ASSERT_TRUE(slides.HasContext());
    parent.ShowWindow(SW_SHOW);
    pt::Pump();
  }

  // The frame after the old and the new picture and that many 50 ms steps.
  pt::PixelImage Frame(int effect, int steps, const std::string& png) {
    slides.SetEffect(effect);
    EXPECT_TRUE(slides.SetPicture(oldPicture.get()));
    EXPECT_FALSE(slides.IsInTransition()) << "the first picture shows at once";
    EXPECT_TRUE(slides.SetPicture(newPicture.get()));
    EXPECT_TRUE(slides.IsInTransition());
    slides.Invalidate();
    pt::Pump();
    if (steps > 0) pt::AdvanceTime(50 * steps);
    pt::Pump();
    const pt::PixelImage shot = pt::GrabClient(slides);
    pt::SavePng(shot, png);
    return shot;
  }

  SlideParent parent;
  CSlideShowWnd slides;
  std::unique_ptr<CET_Dib> oldPicture = Solid(kOld);
  std::unique_ptr<CET_Dib> newPicture = Solid(kNew);
  CET_Dib emptyPicture;
};

TEST_F(SlideShowWndGl, ATransitionRunsTwentyStepsAndTellsTheParentOnce) {
  const pt::PixelImage first = Frame(4, 0, "slide-diamond-0.png");
  EXPECT_EQ(pt::PixelAt(first, kWidth / 2, kHeight / 2), kOld) << "a paint before the first tick: p = 0";
  pt::AdvanceTime(50 * 19);
  EXPECT_EQ(slides.GetStep(), 19);
  pt::AdvanceTime(50);
  pt::Pump();
  EXPECT_EQ(slides.GetStep(), 20);
  const pt::PixelImage last = pt::GrabClient(slides);
  pt::SavePng(last, "slide-diamond-20.png");
  EXPECT_EQ(pt::PixelAt(last, kWidth / 2, kHeight / 2), kNew);
  EXPECT_EQ(pt::PixelAt(last, 2, 2), kOld) << "outside |x| + |y| <= 1.5 the old picture stays";
  EXPECT_EQ(pt::PixelAt(last, kWidth - 3, kHeight - 3), kOld);
  EXPECT_EQ(pt::PixelAt(last, kWidth / 2, 2), kNew);
  EXPECT_EQ(parent.nextPictures, 0);

  pt::AdvanceTime(50);
  pt::Pump();
  EXPECT_FALSE(slides.IsInTransition());
  EXPECT_EQ(parent.nextPictures, 1);
  const pt::PixelImage after = pt::GrabClient(slides);
  EXPECT_EQ(pt::PixelAt(after, 2, 2), kNew) << "then the new picture plainly";
  pt::AdvanceTime(500);
  EXPECT_EQ(parent.nextPictures, 1) << "the step timer is gone";
  EXPECT_EQ(wglGetCurrentContext(), nullptr) << "no context stays current between messages";
}

TEST_F(SlideShowWndGl, CrossFadeHalfWayIsHalfTheOldAndAQuarterOfTheNew) {
  const pt::PixelImage shot = Frame(1, 10, "slide-fade-10.png");
  EXPECT_TRUE(Near(pt::PixelAt(shot, kWidth / 2, kHeight / 2), RGB(128, 0, 64)))
      << std::hex << pt::PixelAt(shot, kWidth / 2, kHeight / 2);
}

TEST_F(SlideShowWndGl, ZoomHalfWayCoversTheCentredHalf) {
  const pt::PixelImage shot = Frame(0, 10, "slide-zoom-10.png");
  EXPECT_EQ(pt::PixelAt(shot, kWidth / 2, kHeight / 2), kNew);
  EXPECT_EQ(pt::PixelAt(shot, kWidth / 4 + 3, kHeight / 4 + 3), kNew);
  EXPECT_EQ(pt::PixelAt(shot, kWidth / 4 - 3, kHeight / 2), kOld);
  EXPECT_EQ(pt::PixelAt(shot, kWidth / 2, kHeight / 4 - 3), kOld);
}

TEST_F(SlideShowWndGl, RollAndFoldShowBothPictures) {
  const pt::PixelImage roll = Frame(2, 10, "slide-roll-10.png");
  EXPECT_EQ(pt::PixelAt(roll, 5, kHeight / 2), kNew) << "left of the roll";
  EXPECT_EQ(pt::PixelAt(roll, kWidth - 5, kHeight / 2), kOld) << "right of the cut";
}

TEST_F(SlideShowWndGl, TheFoldOpensTheTopLeftCorner) {
  const pt::PixelImage fold = Frame(3, 10, "slide-fold-10.png");
  EXPECT_EQ(pt::PixelAt(fold, 3, 3), kNew) << "the corner folded away";
  EXPECT_EQ(pt::PixelAt(fold, kWidth - 5, kHeight - 5), kOld);
}

TEST_F(SlideShowWndGl, AnUnknownEffectShowsBlackFrames) {
  const pt::PixelImage shot = Frame(-1, 10, "slide-none-10.png");
  EXPECT_EQ(pt::PixelAt(shot, kWidth / 2, kHeight / 2), kBlack);
  pt::AdvanceTime(50 * 11);
  pt::Pump();
  EXPECT_EQ(pt::PixelAt(pt::GrabClient(slides), kWidth / 2, kHeight / 2), kNew);
  EXPECT_EQ(parent.nextPictures, 1);
}

TEST_F(SlideShowWndGl, ThePictureIsFittedWithBlackBars) {
  const std::unique_ptr<CET_Dib> square = Solid(kNew, 50, 50);
  slides.SetEffect(1);
  ASSERT_TRUE(slides.SetPicture(square.get()));
  slides.Invalidate();
  pt::Pump();
  const pt::PixelImage shot = pt::GrabClient(slides);
  pt::SavePng(shot, "slide-fitted.png");
  EXPECT_EQ(pt::PixelAt(shot, kWidth / 2, kHeight / 2), kNew);
  EXPECT_EQ(pt::PixelAt(shot, 10, kHeight / 2), kBlack);
  EXPECT_EQ(pt::PixelAt(shot, kWidth - 10, kHeight / 2), kBlack);
  EXPECT_FALSE(slides.SetPicture(nullptr));
  EXPECT_FALSE(slides.SetPicture(&emptyPicture));
}

TEST_F(SlideShowWndGl, TheMarkShowsOnlyOutsideATransition) {
  // The icon's place: 32 x 32 at the top centre, 10 pixels down.
  const auto iconDiffers = [&](const pt::PixelImage& shot, COLORREF picture) {
    for (int y = 10; y < 42; ++y) {
      for (int x = kWidth / 2 - 16; x < kWidth / 2 + 16; ++x) {
        if (pt::PixelAt(shot, x, y) != picture) return true;
      }
    }
    return false;
  };
  slides.SetEffect(1);
  ASSERT_TRUE(slides.SetPicture(oldPicture.get()));
  slides.SetMarked(1);
  slides.Invalidate();
  pt::Pump();
  const pt::PixelImage marked = pt::GrabClient(slides);
  pt::SavePng(marked, "slide-marked.png");
  EXPECT_TRUE(iconDiffers(marked, kOld));
  ASSERT_TRUE(slides.SetPicture(newPicture.get()));
  pt::AdvanceTime(50 * 20);
  pt::Pump();
  EXPECT_FALSE(iconDiffers(pt::GrabClient(slides), pt::PixelAt(pt::GrabClient(slides), 5, 5)))
      << "no icon during the transition";
  slides.SetMarked(0);
  pt::AdvanceTime(50);
  pt::Pump();
  EXPECT_FALSE(iconDiffers(pt::GrabClient(slides), kNew)) << "the new picture's mark";
}

} // namespace
