// The track bar and the spin: layout and hit tests, presses, the timed
// repeat with its acceleration, the drag loop with its snap-back, the value
// text, and their look (rendered to PNG).

#include "ToolkitTestWindows.h"
#include "platform/testing/Headless.h"
#include "toolkit/CSpinBase.h"
#include "toolkit/CTrackBarBase.h"

#include <gtest/gtest.h>

namespace pt = platform::testing;

namespace {

constexpr int kTrackId = 1001;
constexpr int kSpinId = 1002;

class TrackBarSpin : public ::testing::Test {
protected:
  void SetUp() override {
    pt::Init();
    ASSERT_TRUE(parent.CreateAt(CRect(100, 100, 300, 180)));
    pt::Input().SetCurrent({POINT{0, 0}});
  }
  void MakeTrackBar(BOOL stepButtons = TRUE) {
    track.SetStepButtons(stepButtons);
    ASSERT_TRUE(track.Create(u"", u"", WS_CHILD | WS_VISIBLE, CRect(10, 10, 181, 30), &parent, kTrackId));
    pt::Pump();
  }
  // A press through the pump while a script of frames drives the polling.
  void PressWithScript(CWnd& wnd, POINT client, std::vector<pt::InputFrame> frames) {
    pt::ScriptInput(std::move(frames));
    wnd.PostMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(client.x, client.y));
    pt::Pump();
  }
  Notification Track(int position, int part, int count) {
    return {WM_APP_TRACKBAR_CHANGED, kTrackId, {position, part, count}};
  }
  Notification Spin(int value, int part, int count) { return {WM_APP_SPIN_CHANGED, kSpinId, {value, part, count}}; }

  SmallTextTable table;
  NotifiedParent parent;
  CTrackBarBase track;
  CSpinBase spin;
};

TEST_F(TrackBarSpin, LayoutThumbAndHitTest) {
  MakeTrackBar();
  EXPECT_EQ(track.GetBarRect(), CRect(16, 0, 155, 20));
  EXPECT_EQ(track.GetThumbRect(), CRect(72, 0, 99, 20)) << "16 + trunc(20/40 x (139 - 27))";
  track.SetRange(0, 3, FALSE);
  track.SetPos(1);
  EXPECT_EQ(track.GetThumbRect().left, 16 + 37) << "trunc(1/3 x 112)";
  const struct {
    CPoint point;
    int part;
  } cases[] = {{{3, 10}, 0},   {{160, 10}, 1}, {{60, 10}, 2},  {{20, 10}, 3},  {{120, 10}, 4},
               {{20, 4}, -1},  {{20, 5}, 3},   {{20, 12}, 3},  {{20, 13}, -1}, {{200, 10}, -1}};
  for (const auto& c : cases) EXPECT_EQ(track.HitTest(c.point), c.part) << c.point.x << "," << c.point.y;
}

TEST_F(TrackBarSpin, WithoutStepButtonsTheBarStartsAtZero) {
  MakeTrackBar(FALSE);
  EXPECT_EQ(track.GetBarRect(), CRect(0, 0, 139, 20));
  EXPECT_EQ(track.HitTest({3, 10}), 3);
}

TEST_F(TrackBarSpin, HoldingAStepButtonRepeatsAfterASecondThenByTensClamped) {
  MakeTrackBar();
  track.SetRange(0, 30, FALSE);
  track.SetPos(0);
  const POINT right{160, 10};
  PressWithScript(track, right, std::vector<pt::InputFrame>(14, HeldAt(track, right)));
  EXPECT_EQ(parent.notes, std::vector<Notification>{Track(1, 1, 0)});
  pt::AdvanceTime(999);
  EXPECT_EQ(parent.notes.size(), 1u) << "the first repeat comes a second after the press";
  pt::AdvanceTime(1 + 11 * 100);
  std::vector<Notification> expected{Track(1, 1, 0)};
  for (int count = 1; count <= 9; ++count) expected.push_back(Track(1 + count, 1, count));
  expected.push_back(Track(20, 1, 10));
  expected.push_back(Track(30, 1, 11));
  expected.push_back(Track(30, 1, 12)); // clamped at the maximum, told again
  EXPECT_EQ(parent.notes, expected);
  // Released outside the control: the next tick ends the repeat, silently.
  pt::Input().SetCurrent(HeldAt(track, {500, 500}, false));
  pt::AdvanceTime(100);
  EXPECT_EQ(parent.notes.size(), expected.size());
  pt::AdvanceTime(1000);
  EXPECT_EQ(parent.notes.size(), expected.size()) << "no timer left";
}

TEST_F(TrackBarSpin, AStepAtTheEndOfTheRangeRepeatsWithNoPart) {
  MakeTrackBar();
  track.SetPos(20);
  const POINT right{160, 10};
  PressWithScript(track, right, {HeldAt(track, right), HeldAt(track, right)});
  EXPECT_TRUE(parent.notes.empty()) << "nothing moved";
  pt::AdvanceTime(1100);
  EXPECT_EQ(parent.notes, (std::vector<Notification>{Track(20, -1, 0), Track(20, -1, 0)}));
}

TEST_F(TrackBarSpin, APressOnTheBarPagesByTen) {
  MakeTrackBar();
  track.SetPos(-15);
  const POINT rightOfThumb{150, 10};
  PressWithScript(track, rightOfThumb, {});
  track.PostMessage(WM_LBUTTONUP);
  pt::Pump();
  EXPECT_EQ(parent.notes, std::vector<Notification>{Track(-5, 4, 0)});
  EXPECT_EQ(track.GetPos(), -5);
}

TEST_F(TrackBarSpin, DraggingFarFromTheBarSnapsBackAndReturningResumes) {
  MakeTrackBar();
  track.SetPos(0);
  const CPoint press = track.GetThumbRect().CenterPoint();
  // The bar moves 112 pixels over 40 values: 28 pixels are 10 values.
  PressWithScript(track, press,
                  {HeldAt(track, press + CPoint(28, 0)), HeldAt(track, press + CPoint(28, 33)),
                   HeldAt(track, press + CPoint(28, -33)), HeldAt(track, press + CPoint(28, 32)),
                   HeldAt(track, press + CPoint(-300, 0))});
  EXPECT_EQ(parent.notes, (std::vector<Notification>{Track(10, -1, 0), Track(0, -1, 0), Track(10, -1, 0),
                                                     Track(-20, -1, 0)}));
  EXPECT_EQ(pt::Input().Remaining(), 0u) << "the loop ran until the script let the button go";
}

TEST_F(TrackBarSpin, TheValueText) {
  MakeTrackBar();
  track.SetPos(15);
  EXPECT_EQ(track.FormatValue(), u"1.5");
  track.SetValueFormat(u"%d", FALSE, 1);
  EXPECT_EQ(track.FormatValue(), u"15");
  track.SetValueFormat(u"", TRUE, 0.1);
  EXPECT_EQ(track.FormatValue(), u"");
  track.SetValueFormat(u"%s", TRUE, 0.1); // never reaches printf
  EXPECT_EQ(track.FormatValue(), u"");
  track.SetValueFormat(u"%+.2f %%", TRUE, 0.1);
  EXPECT_EQ(track.FormatValue(), u"+1.50 %");
}

TEST_F(TrackBarSpin, SpinPressesReleasesAndRepeat) {
  ASSERT_TRUE(spin.Create(u"", u"", WS_CHILD | WS_VISIBLE, CRect(10, 40, 70, 57), &parent, kSpinId));
  spin.SetTextStyleById(102);
  spin.SetRange(0, 100, FALSE);
  spin.SetPos(0);
  const POINT dec{5, 8}, inc{50, 8};
  // At the minimum: the press and its release tell the unchanged value with no part.
  PressWithScript(spin, dec, {});
  spin.PostMessage(WM_LBUTTONUP);
  pt::Pump();
  EXPECT_EQ(parent.notes, (std::vector<Notification>{Spin(0, -1, 0), Spin(0, -1, 0)}));
  parent.notes.clear();
  // A held increment: 500 ms, then one a tick of 10 ms, no acceleration.
  PressWithScript(spin, inc, std::vector<pt::InputFrame>(3, HeldAt(spin, inc)));
  pt::AdvanceTime(520);
  spin.PostMessage(WM_LBUTTONUP);
  pt::Pump();
  EXPECT_EQ(parent.notes, (std::vector<Notification>{Spin(1, 1, 0), Spin(2, 1, 1), Spin(3, 1, 2), Spin(4, 1, 3),
                                                     Spin(4, 3, 0)}));
  parent.notes.clear();
  // A release over the spin with no press on it.
  spin.PostMessage(WM_LBUTTONUP);
  pt::Pump();
  EXPECT_EQ(parent.notes, std::vector<Notification>{Spin(4, -1, 0)});
}

TEST_F(TrackBarSpin, TheirLook) {
  MakeTrackBar();
  track.SetPos(15);
  ASSERT_TRUE(spin.Create(u"", u"", WS_CHILD | WS_VISIBLE, CRect(10, 40, 70, 57), &parent, kSpinId));
  spin.SetTextStyleById(102);
  spin.SetPos(42);
  // The right step button drawn pressed: the pointer on it, the button down.
  pt::Input().SetCurrent(HeldAt(track, {160, 10}));
  track.RedrawWindow();
  pt::Pump();
  const auto shot = pt::GrabClient(parent.m_hWnd);
  pt::SavePng(shot, "TrackBarSpin.png");
  EXPECT_EQ(pt::PixelAt(shot, 5, 5), RGB(89, 89, 89)) << "the toolkit's grey";
  EXPECT_EQ(pt::PixelAt(shot, 10 + 20, 40 + 2), RGB(74, 74, 74)) << "the spin's value field";
  EXPECT_EQ(pt::PixelAt(shot, 10 + 20, 40 + 0), RGB(23, 23, 23)) << "its top edge";
  // White text on the thumb: some pixels of the thumb are near white.
  int whiteish = 0;
  const CRect thumb = track.GetThumbRect();
  for (int y = 10 + thumb.top; y < 10 + thumb.bottom; ++y) {
    for (int x = 10 + thumb.left; x < 10 + thumb.right; ++x) whiteish += GetGValue(pt::PixelAt(shot, x, y)) > 230;
  }
  EXPECT_GT(whiteish, 10);
}

} // namespace
