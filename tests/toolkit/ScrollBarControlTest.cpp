// The toolkit's scroll bar: its thumb from the target's scroll data, the
// repeat of arrows with its pause off the arrow, the thumb drag under
// capture (only SB_THUMBTRACK), an edit target in lines, the corner box, and
// its look (rendered to PNG).

#include "ToolkitTestWindows.h"
#include "platform/testing/Headless.h"
#include "toolkit/CScrollBarBase.h"

#include <gtest/gtest.h>

namespace pt = platform::testing;

namespace {

struct Request {
  UINT message;
  UINT code;
  UINT position;
  bool operator==(const Request&) const = default;
};

// A window with vertical and horizontal scroll data that obeys the requests.
class ScrollTarget : public CWnd {
public:
  std::vector<Request> requests;
  void SetData(int bar, int minimum, int maximum, UINT page, int position) {
    SCROLLINFO info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMin = minimum;
    info.nMax = maximum;
    info.nPage = page;
    info.nPos = position;
    SetScrollInfo(bar, &info, FALSE);
  }

protected:
  void Obey(int bar, UINT message, UINT code, UINT position) {
    requests.push_back({message, code, position});
    SCROLLINFO info;
    GetScrollInfo(bar, &info, SIF_ALL);
    int pos = info.nPos;
    switch (code) {
    case SB_LINEUP: pos -= 1; break;
    case SB_LINEDOWN: pos += 1; break;
    case SB_PAGEUP: pos -= static_cast<int>(info.nPage); break;
    case SB_PAGEDOWN: pos += static_cast<int>(info.nPage); break;
    case SB_THUMBTRACK: pos = static_cast<int>(position); break;
    default: break;
    }
    info.fMask = SIF_POS;
    info.nPos = pos;
    SetScrollInfo(bar, &info, FALSE);
  }
  afx_msg void OnVScroll(UINT code, UINT pos, CScrollBar*) { Obey(SB_VERT, WM_VSCROLL, code, pos); }
  afx_msg void OnHScroll(UINT code, UINT pos, CScrollBar*) { Obey(SB_HORZ, WM_HSCROLL, code, pos); }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(ScrollTarget, CWnd)
  ON_WM_VSCROLL()
  ON_WM_HSCROLL()
END_MESSAGE_MAP()

// What the scroll bar asks of an edit: its formatting rectangle, first
// visible line and line count, in the font it was given.
class LinesEdit : public CEdit {
public:
  int first = 0;
  int lines = 40;
  std::vector<Request> requests;

protected:
  afx_msg LRESULT OnGetRect(WPARAM, LPARAM rect) {
    *reinterpret_cast<RECT*>(rect) = {0, 0, 100, 60};
    return 0;
  }
  afx_msg LRESULT OnFirstVisible(WPARAM, LPARAM) { return first; }
  afx_msg LRESULT OnLineCount(WPARAM, LPARAM) { return lines; }
  afx_msg void OnVScroll(UINT code, UINT pos, CScrollBar*) {
    requests.push_back({WM_VSCROLL, code, pos});
    if (code == SB_THUMBTRACK) first = static_cast<int>(pos);
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(LinesEdit, CEdit)
  ON_MESSAGE(EM_GETRECT, OnGetRect)
  ON_MESSAGE(EM_GETFIRSTVISIBLELINE, OnFirstVisible)
  ON_MESSAGE(EM_GETLINECOUNT, OnLineCount)
  ON_WM_VSCROLL()
END_MESSAGE_MAP()

class ScrollBarControl : public ::testing::Test {
protected:
  void SetUp() override {
    pt::Init();
    pt::Input().SetCurrent({POINT{0, 0}});
    ASSERT_TRUE(parent.CreateAt(CRect(100, 100, 400, 300)));
    ASSERT_TRUE(target.Create(u"", u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 150, 113), &parent, 1));
    target.SetData(SB_VERT, 0, 99, 10, 0);
    target.SetData(SB_HORZ, 0, 49, 25, 10);
  }
  void MakeBar(CScrollBarBase& bar, int type, const RECT& rect, CWnd* to) {
    bar.SetBarType(type);
    bar.SetTargetWnd(to);
    ASSERT_TRUE(bar.Create(u"", u"", WS_CHILD | WS_VISIBLE, rect, &parent, 10 + type));
    pt::Pump();
  }
  void Press(CWnd& wnd, POINT client, std::vector<pt::InputFrame> frames) {
    pt::ScriptInput(std::move(frames));
    wnd.PostMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(client.x, client.y));
    pt::Pump();
  }
  NotifiedParent parent;
  ScrollTarget target;
  CScrollBarBase vertical, horizontal, corner;
};

TEST_F(ScrollBarControl, TheThumbMirrorsTheTargetsScrollData) {
  MakeBar(vertical, 0, CRect(150, 0, 164, 113), &target);
  // Track 13..100 (87 pixels) over 100 positions; page 10.
  EXPECT_EQ(vertical.GetThumbRect(), CRect(1, 13, 13, 22));
  target.SetData(SB_VERT, 0, 99, 10, 50);
  vertical.UpdateFromTarget();
  EXPECT_EQ(vertical.GetThumbRect(), CRect(1, 13 + 44, 13, 13 + 44 + 9)) << "trunc(50 x 0.87 + 0.5)";
  // Nothing to scroll: a page of 0, or a page as large as the range, fills the track.
  target.SetData(SB_VERT, 0, 99, 0, 0);
  vertical.UpdateFromTarget();
  EXPECT_EQ(vertical.GetThumbRect(), CRect(1, 13, 13, 100));
  target.SetData(SB_VERT, 0, 99, 100, 0);
  vertical.UpdateFromTarget();
  EXPECT_EQ(vertical.GetThumbRect(), CRect(1, 13, 13, 100));
  // No target: the whole track too.
  vertical.SetTargetWnd(nullptr);
  vertical.UpdateFromTarget();
  EXPECT_EQ(vertical.GetThumbRect(), CRect(1, 13, 13, 100));
  MakeBar(horizontal, 1, CRect(0, 113, 150, 127), &target);
  EXPECT_EQ(horizontal.GetThumbRect(), CRect(13 + 25, 1, 13 + 25 + 62, 13)) << "124 pixels over 50: trunc(24.8 + 0.5), trunc(62 + 0.5)";
}

TEST_F(ScrollBarControl, AHeldArrowRepeatsAfterHalfASecondAndPausesOffTheArrow) {
  MakeBar(vertical, 0, CRect(150, 0, 164, 113), &target);
  const POINT down{6, 105}, off{6, 60};
  Press(vertical, down,
        {HeldAt(vertical, down), HeldAt(vertical, off), HeldAt(vertical, down), HeldAt(vertical, down, false)});
  EXPECT_EQ(target.requests.size(), 1u) << "one request at once";
  pt::AdvanceTime(499);
  EXPECT_EQ(target.requests.size(), 1u);
  pt::AdvanceTime(1);
  EXPECT_EQ(target.requests.size(), 2u) << "the next after 500 ms";
  pt::AdvanceTime(100);
  EXPECT_EQ(target.requests.size(), 2u) << "off the arrow: paused";
  pt::AdvanceTime(100);
  EXPECT_EQ(target.requests.size(), 3u) << "back on it: resumed, 100 ms apart";
  pt::AdvanceTime(100); // the button is up: tracking ends
  pt::AdvanceTime(1000);
  EXPECT_EQ(target.requests, (std::vector<Request>(3, Request{WM_VSCROLL, SB_LINEDOWN, 0})));
  EXPECT_FALSE(vertical.IsDraggingThumb());
}

TEST_F(ScrollBarControl, PagesFromTheTrack) {
  MakeBar(vertical, 0, CRect(150, 0, 164, 113), &target);
  Press(vertical, {6, 80}, {});
  vertical.PostMessage(WM_LBUTTONUP);
  pt::Pump();
  EXPECT_EQ(target.requests, (std::vector<Request>{Request{WM_VSCROLL, SB_PAGEDOWN, 0}}));
  EXPECT_EQ(target.GetScrollPos(SB_VERT), 10);
}

TEST_F(ScrollBarControl, ADraggedThumbSendsOnlyThumbTrackUnderCapture) {
  MakeBar(vertical, 0, CRect(150, 0, 164, 113), &target);
  Press(vertical, {6, 15}, {});
  EXPECT_TRUE(vertical.IsDraggingThumb());
  EXPECT_EQ(CWnd::GetCapture(), &vertical);
  // Moves arrive in the bar's client coordinates, also far outside it.
  vertical.PostMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(6, 15 + 20));
  vertical.PostMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-200, 15 + 300));
  vertical.PostMessage(WM_LBUTTONUP, 0, MAKELPARAM(-200, 15 + 300));
  pt::Pump();
  const std::vector<Request> expected{{WM_VSCROLL, SB_THUMBTRACK, 23}, {WM_VSCROLL, SB_THUMBTRACK, 99}};
  EXPECT_EQ(target.requests, expected)
      << "0 + trunc(20 x 100/87 + 0.5), then clamped; no SB_THUMBPOSITION, no SB_ENDSCROLL";
  EXPECT_EQ(CWnd::GetCapture(), nullptr);
  EXPECT_FALSE(vertical.IsDraggingThumb());
}

TEST_F(ScrollBarControl, AnEditTargetScrollsInWholeLines) {
  LinesEdit edit;
  ASSERT_TRUE(edit.Create(u"", u"", WS_CHILD | WS_VISIBLE | WS_VSCROLL, CRect(0, 0, 100, 113), &parent, 2));
  LOGFONTW lf{};
  lf.lfHeight = -12;
  CFont font;
  font.CreateFontIndirect(&lf);
  edit.SetFont(font, FALSE);
  TEXTMETRICW metrics{};
  {
    CClientDC dc(&edit);
    const HGDIOBJ old = dc.SelectObject(font.m_hObject);
    dc.GetTextMetrics(&metrics);
    dc.SelectObject(old);
  }
  ASSERT_GT(metrics.tmHeight, 0);
  const int page = 60 / metrics.tmHeight;
  MakeBar(vertical, 0, CRect(150, 0, 164, 113), &edit);
  // 41 lines (0..40) over 87 pixels.
  const int length = static_cast<int>(87.0 / 41 * page + 0.5);
  EXPECT_EQ(vertical.GetThumbRect(), CRect(1, 13, 13, 13 + length));
  Press(vertical, {6, 14}, {});
  vertical.PostMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(6, 14 + 30));
  vertical.PostMessage(WM_LBUTTONUP);
  pt::Pump();
  const int line = static_cast<int>(30 * 41.0 / 87 + 0.5);
  EXPECT_EQ(edit.requests, (std::vector<Request>{{WM_VSCROLL, SB_THUMBTRACK, static_cast<UINT>(line)}}));
  EXPECT_EQ(edit.first, line);
  const int offset = static_cast<int>(line * 87.0 / 41 + 0.5);
  EXPECT_EQ(vertical.GetThumbRect().top, 13 + offset) << "the thumb follows the edit's first line";
}

TEST_F(ScrollBarControl, ADragOfATargetWithoutPageDoesNothing) {
  target.SetData(SB_VERT, 0, 99, 0, 0);
  MakeBar(vertical, 0, CRect(150, 0, 164, 113), &target);
  Press(vertical, {6, 50}, {});
  vertical.PostMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(6, 90));
  vertical.PostMessage(WM_LBUTTONUP);
  pt::Pump();
  EXPECT_TRUE(target.requests.empty());
}

TEST_F(ScrollBarControl, TheCornerBoxIgnoresTheMouseAndTheLook) {
  MakeBar(vertical, 0, CRect(150, 0, 164, 113), &target);
  MakeBar(horizontal, 1, CRect(0, 113, 150, 127), &target);
  MakeBar(corner, 2, CRect(150, 113, 164, 127), &target);
  Press(corner, {7, 7}, {});
  corner.PostMessage(WM_LBUTTONUP);
  pt::Pump();
  EXPECT_TRUE(target.requests.empty());
  EXPECT_EQ(CWnd::GetCapture(), nullptr);
  pt::Input().SetCurrent(HeldAt(vertical, {6, 105})); // the down arrow drawn pressed
  vertical.RedrawWindow();
  pt::Pump();
  const auto shot = pt::GrabClient(parent.m_hWnd);
  pt::SavePng(shot, "ScrollBar.png");
  EXPECT_EQ(pt::PixelAt(shot, 157, 120), RGB(204, 204, 204)) << "the corner box's light grey";
  EXPECT_EQ(pt::PixelAt(shot, 150, 113), RGB(0, 0, 0)) << "and its black frame";
  const CRect thumb = horizontal.GetThumbRect();
  EXPECT_EQ(pt::PixelAt(shot, thumb.left + 5, 113 + thumb.top + 5), RGB(153, 153, 153));
  EXPECT_EQ(pt::PixelAt(shot, thumb.left, 113 + thumb.top), RGB(236, 236, 236)) << "the thumb's light edge";
  EXPECT_EQ(pt::PixelAt(shot, thumb.right, 113 + thumb.top + 5), RGB(0, 0, 0)) << "the line right of it";
}

} // namespace
