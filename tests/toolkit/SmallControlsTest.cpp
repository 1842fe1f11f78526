// The radio bars, the progress bar, the group boxes and the move-only
// rectangle tracker: their clicks and notifications, what they show, and a
// look at them together.

#include "platform/testing/Headless.h"
#include "toolkit/CGroupeBoxBase.h"
#include "toolkit/CProgressBarBase.h"
#include "toolkit/CRadioBarBase.h"
#include "toolkit/CRectTrackerBase.h"

#include "ToolkitTestWindows.h"

#include <gtest/gtest.h>

namespace pt = platform::testing;

namespace {

constexpr COLORREF kMark = RGB(255, 200, 80);

bool ShowsColour(const pt::PixelImage& shot, const CRect& area, COLORREF colour) {
  for (int y = area.top; y < area.bottom; ++y) {
    for (int x = area.left; x < area.right; ++x) {
      if (pt::PixelAt(shot, x, y) == colour) return true;
    }
  }
  return false;
}

// A window that keeps the rectangles a tracker reports, read during the send.
class RectListener : public CWnd {
public:
  std::vector<CRect> rects;

protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_APP_VISIBLE_RECT) {
      rects.push_back(*reinterpret_cast<const RECT*>(wParam));
      return 0;
    }
    return CWnd::WindowProc(message, wParam, lParam);
  }
};

class SmallControls : public ::testing::Test {
protected:
  void SetUp() override {
    pt::Init();
    font = table.AddFont(MakeLogFont(-12, FW_BOLD));
    table.Add(30, u"Shooting information", font, RGB(255, 255, 255));
    table.Add(31, u"12 files", font, RGB(255, 255, 160));
    ASSERT_TRUE(parent.CreateAt(CRect(20, 20, 340, 260), RGB(89, 89, 89)));
  }
  std::vector<std::pair<WPARAM, LPARAM>> RadioNotes() const {
    std::vector<std::pair<WPARAM, LPARAM>> notes;
    for (const auto& [message, params] : parent.messages) {
      if (message == WM_APP_RADIOBAR_CLICKED) notes.push_back(params);
    }
    return notes;
  }
  MapTextTable table;
  CFont* font = nullptr;
  PlainParent parent;
};

} // namespace

TEST_F(SmallControls, RadioBarsChooseOnAReleaseOverThePressedButton) {
  CRadioBarBase bar;
  ASSERT_TRUE(bar.Create(nullptr, u"", WS_VISIBLE, CRect(10, 10, 155, 24), &parent, 3));
  EXPECT_EQ(bar.GetCurSel(), 0);
  EXPECT_EQ(bar.HitTest(70, 5), 1);
  EXPECT_EQ(bar.HitTest(40, 5), -1);
  pt::Click(bar, {70, 5});
  EXPECT_EQ(bar.GetCurSel(), 1);
  EXPECT_EQ(RadioNotes(), (std::vector<std::pair<WPARAM, LPARAM>>{{3, 1}}));
  // The chosen button again, a press released elsewhere, a press between buttons: nothing.
  pt::Click(bar, {70, 5});
  pt::MouseDown(bar, {135, 5});
  pt::MouseUp(bar, {5, 5});
  pt::Click(bar, {40, 5});
  EXPECT_EQ(bar.GetCurSel(), 1);
  EXPECT_EQ(RadioNotes().size(), 1u);
  // The mark sits on the chosen button; none when nothing is chosen.
  pt::Pump();
  EXPECT_TRUE(ShowsColour(pt::GrabClient(bar), CRect(65, 1, 79, 13), kMark));
  EXPECT_FALSE(ShowsColour(pt::GrabClient(bar), CRect(0, 1, 14, 13), kMark));
  bar.SetCurSel(-1);
  EXPECT_FALSE(ShowsColour(pt::GrabClient(bar), CRect(0, 0, 145, 14), kMark));
  // Setting a choice tells nobody.
  bar.SetCurSel(2);
  EXPECT_EQ(RadioNotes().size(), 1u);

  CRadioBar5 five;
  ASSERT_TRUE(five.Create(nullptr, u"", WS_VISIBLE, CRect(10, 30, 155, 44), &parent, 4));
  EXPECT_EQ(five.HitTest(105, 5), 3);
  pt::Click(five, {105, 5});
  EXPECT_EQ(five.GetCurSel(), 3);
  EXPECT_EQ(RadioNotes().back(), (std::pair<WPARAM, LPARAM>{4, 3}));
  five.SetCurSel(7);
  EXPECT_FALSE(ShowsColour(pt::GrabClient(five), CRect(0, 0, 145, 14), kMark));
}

TEST_F(SmallControls, TheProgressBarShowsItsImageLeftOfTheProgressAndWhiteRightOfIt) {
  CProgressBarBase bar;
  ASSERT_TRUE(bar.Create(nullptr, u"", WS_VISIBLE, CRect(10, 60, 114, 78), &parent, 5));
  bar.SetRange32(0, 100);
  EXPECT_EQ(bar.SetPos(50), 0);
  pt::Pump();
  const auto shot = pt::GrabClient(bar);
  EXPECT_EQ(bar.FilledWidth(104), 50);
  for (int x = 2; x < 52; ++x) EXPECT_NE(pt::PixelAt(shot, x, 8), RGB(255, 255, 255)) << x;
  for (int x = 52; x < 102; ++x) EXPECT_EQ(pt::PixelAt(shot, x, 8), RGB(255, 255, 255)) << x;
  EXPECT_NE(pt::PixelAt(shot, 0, 8), RGB(255, 255, 255)) << "the frame";
  // Positions are clamped; ranges go from the smaller value to the larger.
  EXPECT_EQ(bar.SetPos(150), 50);
  EXPECT_EQ(bar.GetPos(), 100);
  bar.SetRange32(100, 0);
  int low = 0, high = 0;
  bar.GetRange(low, high);
  EXPECT_EQ(low, 0);
  EXPECT_EQ(high, 100);
  bar.SetRange(-5, -300);
  bar.GetRange(low, high);
  EXPECT_EQ(low, -300);
  EXPECT_EQ(bar.GetPos(), -5);
  // An empty range shows no progress.
  bar.SetRange32(7, 7);
  EXPECT_EQ(bar.FilledWidth(104), 0);
  bar.RedrawWindow();
  EXPECT_EQ(pt::PixelAt(pt::GrabClient(bar), 3, 8), RGB(255, 255, 255));
}

TEST_F(SmallControls, GroupBoxesFrameTheirRegionAndPlaceTheirCaptions) {
  CGroupeBoxBase square, round;
  ASSERT_TRUE(square.Create(u"text", WS_VISIBLE, CRect(10, 90, 150, 120), &parent, 6));
  ASSERT_TRUE(round.Create(u"", WS_VISIBLE, CRect(160, 90, 300, 120), &parent, 7));
  EXPECT_EQ(square.GetWindowText(), u"");
  square.SetRoundCorners(0);
  round.SetRoundCorners(3);
  square.SetColors(RGB(0, 0, 0), RGB(255, 255, 255));
  round.SetColors(RGB(0, 0, 0), RGB(107, 115, 165));
  round.SetStringId(30, DT_VCENTER | DT_SINGLELINE, TRUE);
  pt::Pump();
  const auto plain = pt::GrabClient(square), rounded = pt::GrabClient(round);
  EXPECT_EQ(pt::PixelAt(plain, 0, 0), RGB(0, 0, 0)) << "square corner framed";
  EXPECT_EQ(pt::PixelAt(plain, 139, 29), RGB(0, 0, 0));
  EXPECT_EQ(pt::PixelAt(plain, 5, 5), RGB(255, 255, 255));
  EXPECT_EQ(pt::PixelAt(rounded, 0, 0), RGB(89, 89, 89)) << "round corner cut";
  EXPECT_EQ(pt::PixelAt(rounded, 1, 0), RGB(0, 0, 0));
  EXPECT_EQ(pt::PixelAt(rounded, 0, 1), RGB(0, 0, 0));
  EXPECT_EQ(pt::PixelAt(rounded, 139, 5), RGB(0, 0, 0)) << "the rounded region reaches the right edge";
  // The rounded region leaves out its last row, as the original system's does.
  EXPECT_EQ(pt::PixelAt(rounded, 70, 29), RGB(89, 89, 89));
  EXPECT_EQ(pt::PixelAt(rounded, 70, 28), RGB(0, 0, 0));
  RECT box;
  round.GetRegion().GetRgnBox(&box);
  EXPECT_EQ(box, (RECT{0, 0, 140, 29}));
  // Only the top corners round: the bottom ones are square.
  round.SetRoundCorners(1);
  round.RedrawWindow();
  EXPECT_EQ(pt::PixelAt(pt::GrabClient(round), 0, 29), RGB(0, 0, 0));
  EXPECT_EQ(pt::PixelAt(pt::GrabClient(round), 0, 0), RGB(89, 89, 89));

  CGroupeBox_DoubleStr two;
  ASSERT_TRUE(two.Create(u"", WS_VISIBLE, CRect(10, 130, 300, 150), &parent, 8));
  two.SetStringId(30, DT_CENTER | DT_VCENTER | DT_SINGLELINE, FALSE);
  two.SetSecondStringId(31, DT_VCENTER | DT_SINGLELINE, TRUE);
  EXPECT_EQ(two.GetFormat() & (DT_CENTER | DT_RIGHT), 0u) << "the first caption is left-aligned";
  EXPECT_EQ(two.GetSecondCaption().GetFormat(), UINT{DT_RIGHT | DT_VCENTER | DT_SINGLELINE});
  two.SetFormat(DT_RIGHT | DT_SINGLELINE);
  EXPECT_EQ(two.GetFormat(), UINT{DT_SINGLELINE});
  two.SetFormat(DT_VCENTER | DT_SINGLELINE);
  two.RedrawWindow();
  const auto both = pt::GrabClient(two);
  EXPECT_TRUE(ShowsColour(both, CRect(5, 0, 145, 20), RGB(255, 255, 255)));
  EXPECT_TRUE(ShowsColour(both, CRect(220, 0, 285, 20), RGB(255, 255, 160)));
  EXPECT_FALSE(ShowsColour(both, CRect(145, 0, 200, 20), RGB(255, 255, 160)));
}

TEST_F(SmallControls, TheTrackerOnlyMovesAndReportsEachRectangle) {
  RectListener listener;
  ASSERT_TRUE(listener.CreateEx(0, u"Listener", u"", WS_POPUP, CRect(0, 0, 10, 10), nullptr, 0));
  CRectTrackerBase tracker;
  tracker.m_rect.SetRect(10, 10, 40, 30);
  tracker.SetTrackRect(10, 10, 40, 30);
  tracker.SetNotifyWnd(&listener);
  EXPECT_EQ(tracker.GetHandleMask(), 0u);
  EXPECT_EQ(tracker.HitTest(CPoint(11, 11)), CRectTracker::hitMiddle) << "no handles";
  // A proposed resize snaps back; a move is taken.
  CRect resized(10, 10, 60, 30);
  tracker.AdjustRect(CRectTracker::hitRight, resized);
  EXPECT_EQ(resized, CRect(10, 10, 40, 30));
  CRect moved(15, 12, 45, 32);
  tracker.AdjustRect(CRectTracker::hitMiddle, moved);
  EXPECT_EQ(tracker.GetTrackRect(), CRect(15, 12, 45, 32));
  // Dragging keeps the size and tells the listener at every step.
  tracker.m_rect = tracker.GetTrackRect();
  parent.PostMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(25, 20));
  parent.PostMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(35, 30));
  parent.PostMessage(WM_LBUTTONUP, 0, MAKELPARAM(35, 30));
  EXPECT_TRUE(tracker.Track(&parent, CPoint(20, 20)));
  EXPECT_EQ(tracker.m_rect, CRect(30, 22, 60, 42));
  EXPECT_EQ(listener.rects, (std::vector<CRect>{CRect(20, 12, 50, 32), CRect(30, 22, 60, 42)}));
  // The four-way cursor over it, and only for the client area.
  POINT over{40, 30};
  parent.ClientToScreen(&over);
  SetCursorPos(over.x, over.y);
  EXPECT_TRUE(tracker.SetCursor(&parent, HTCLIENT));
  EXPECT_EQ(pt::ShownStandardCursor(parent), 32646);
  EXPECT_FALSE(tracker.SetCursor(&parent, HTNOWHERE));
  POINT away{200, 200};
  parent.ClientToScreen(&away);
  SetCursorPos(away.x, away.y);
  EXPECT_FALSE(tracker.SetCursor(&parent, HTCLIENT));
}

TEST_F(SmallControls, AllTogetherReadAsOneToolkit) {
  CRadioBarBase bar;
  CRadioBar5 five;
  CProgressBarBase progress;
  CGroupeBoxBase top;
  CGroupeBox_DoubleStr bottom;
  ASSERT_TRUE(top.Create(u"", WS_VISIBLE, CRect(10, 10, 310, 32), &parent, 1));
  top.SetRoundCorners(1);
  top.SetColors(RGB(0, 0, 0), RGB(107, 115, 165));
  top.SetStringId(30, DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_MODIFYSTRING, FALSE);
  ASSERT_TRUE(bar.Create(nullptr, u"", WS_VISIBLE, CRect(20, 50, 165, 64), &parent, 2));
  bar.SetCurSel(1);
  ASSERT_TRUE(five.Create(nullptr, u"", WS_VISIBLE, CRect(20, 80, 165, 94), &parent, 3));
  five.SetCurSel(4);
  ASSERT_TRUE(progress.Create(nullptr, u"", WS_VISIBLE, CRect(20, 110, 300, 128), &parent, 4));
  progress.SetPos(40);
  ASSERT_TRUE(bottom.Create(u"", WS_VISIBLE, CRect(10, 150, 310, 172), &parent, 5));
  bottom.SetRoundCorners(2);
  bottom.SetColors(RGB(0, 0, 0), RGB(100, 99, 99));
  bottom.SetStringId(30, DT_VCENTER | DT_SINGLELINE, FALSE);
  bottom.SetSecondStringId(31, DT_VCENTER | DT_SINGLELINE, FALSE);
  pt::Pump();
  pt::SavePng(pt::GrabClient(parent), "small-controls.png");
  EXPECT_TRUE(ShowsColour(pt::GrabClient(five), CRect(131, 1, 145, 13), kMark));
}
