// The layer's own controls, headless: the list box (search with wrap-around,
// scroll data in items, hit tests, notifications, owner drawing), the list
// view in report form (cells, rows, scrolling, grid lines, owner drawing that
// measures again on WM_WINDOWPOSCHANGED), the edit hosted on Qt's text
// entries (limit, selection, notifications, colours, clipboard, lines), and
// owner-drawn buttons whose reflected click still reaches the parent.

#include "TestDialogs.h"
#include "platform/afx/AfxCtrls.h"
#include "platform/win/WinClipboard.h"
#include "platform/testing/Headless.h"

namespace pt = platform::testing;

namespace {

// A parent that owner-draws its lists and answers colour requests.
class Canvas : public Owner {
public:
  int rowHeight = 18;
  int measures = 0;
  std::vector<DRAWITEMSTRUCT> drawn;
  std::vector<HWND> drawnOn; // the window of each draw request's DC
  COLORREF editBackground = CLR_INVALID;

protected:
  afx_msg void OnMeasureItem(int, LPMEASUREITEMSTRUCT mis) {
    ++measures;
    mis->itemHeight = static_cast<UINT>(rowHeight);
  }
  afx_msg void OnDrawItem(int, LPDRAWITEMSTRUCT dis) {
    drawn.push_back(*dis);
    drawnOn.push_back(WindowFromDC(dis->hDC));
    CDC* dc = CDC::FromHandle(dis->hDC);
    dc->FillSolidRect(&dis->rcItem, (dis->itemState & ODS_SELECTED) ? RGB(0, 0, 128) : RGB(255, 255, 255));
  }
  afx_msg HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT kind) {
    if ((kind == CTLCOLOR_EDIT || kind == CTLCOLOR_STATIC) && editBackground != CLR_INVALID) {
      dc->SetBkMode(OPAQUE);
      dc->SetBkColor(editBackground);
      dc->SetTextColor(RGB(0, 0, 255));
      m_brush.DeleteObject();
      m_brush.CreateSolidBrush(editBackground);
      return m_brush;
    }
    return CWnd::OnCtlColor(dc, wnd, kind);
  }
  DECLARE_MESSAGE_MAP()

private:
  CBrush m_brush;
};
BEGIN_MESSAGE_MAP(Canvas, Owner)
  ON_WM_MEASUREITEM()
  ON_WM_DRAWITEM()
  ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

// A button that handles its own click and lets the parent have it as well.
class CountingButton : public TestButton {
public:
  int ownClicks = 0;

protected:
  afx_msg BOOL OnClicked() {
    ++ownClicks;
    return FALSE; // the parent gets it too
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CountingButton, TestButton)
  ON_CONTROL_REFLECT_EX(BN_CLICKED, OnClicked)
END_MESSAGE_MAP()

class PlatformListControls : public ::testing::Test {
protected:
  void SetUp() override {
    pt::Init();
    ASSERT_TRUE(canvas.Make({100, 100, 700, 500}));
    pt::Pump();
  }
  Canvas canvas;
};

std::u16string TextOf(CListBox& list, int i) {
  std::u16string text;
  list.GetText(i, text);
  return text;
}

} // namespace

TEST_F(PlatformListControls, AListBoxFindsPrefixesWithoutCaseFromTheItemAfterTheStartRoundToIt) {
  CListBox list;
  ASSERT_TRUE(list.Create(WS_VISIBLE | LBS_NOTIFY, CRect(0, 0, 100, 100), &canvas, 1));
  for (const char16_t* s : {u"Apple", u"banana", u"apricot", u"Cherry"}) list.AddString(s);
  struct Case {
    int start;
    const char16_t* text;
    int found;
  };
  for (const Case& c : {Case{-1, u"ap", 0}, Case{0, u"AP", 2}, Case{2, u"ap", 0}, Case{3, u"cher", 3},
                        Case{1, u"x", LB_ERR}, Case{-1, u"", 0}, Case{9, u"b", 1}}) {
    EXPECT_EQ(list.FindString(c.start, c.text), c.found) << "start " << c.start;
  }
  EXPECT_EQ(list.FindStringExact(-1, u"BANANA"), 1);
  EXPECT_EQ(list.FindStringExact(-1, u"ban"), LB_ERR);
}

TEST_F(PlatformListControls, AListBoxKeepsItemsDataSelectionAndScrollDataInItems) {
  CListBox list;
  ASSERT_TRUE(list.Create(WS_VISIBLE | LBS_NOTIFY | LBS_SORT, CRect(0, 0, 100, 60), &canvas, 7));
  for (const char16_t* s : {u"delta", u"Alpha", u"charlie", u"bravo", u"echo", u"foxtrot"}) list.AddString(s);
  EXPECT_EQ(TextOf(list, 0), u"Alpha") << "sorted without regard to case";
  EXPECT_EQ(TextOf(list, 3), u"delta");
  list.SetItemData(2, 42);
  EXPECT_EQ(list.GetItemData(2), 42u);
  EXPECT_EQ(list.GetCurSel(), LB_ERR);
  const int h = list.GetItemHeight(0);
  ASSERT_GT(h, 0);

  SCROLLINFO info;
  ASSERT_TRUE(list.GetScrollInfo(SB_VERT, &info));
  EXPECT_EQ(info.nMin, 0);
  EXPECT_EQ(info.nMax, 5);
  EXPECT_EQ(info.nPage, static_cast<UINT>(60 / h)) << "the items that fit whole";

  // A click selects and tells the parent; nothing new, nothing told.
  pt::Click(list, {5, h + 2});
  EXPECT_EQ(list.GetCurSel(), 1);
  pt::Click(list, {5, h + 3});
  EXPECT_EQ(std::count(canvas.commands.begin(), canvas.commands.end(), Command{7, LBN_SELCHANGE}), 1);
  list.SendMessage(WM_LBUTTONDBLCLK, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(canvas.commands.back(), (Command{7, LBN_DBLCLK}));

  // Hit tests: the high word marks a point on no item.
  BOOL outside = FALSE;
  EXPECT_EQ(list.ItemFromPoint(CPoint(5, 2 * h + 1), outside), 2u);
  EXPECT_FALSE(outside);
  list.ItemFromPoint(CPoint(5, 200), outside);
  EXPECT_TRUE(outside);

  list.SendMessage(WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 2));
  EXPECT_EQ(list.GetTopIndex(), 2);
  list.SendMessage(WM_VSCROLL, SB_BOTTOM);
  EXPECT_EQ(list.GetTopIndex(), 6 - 60 / h);
  list.SetCurSel(0);
  EXPECT_EQ(list.GetTopIndex(), 0) << "the selection is brought into view";
  EXPECT_EQ(list.DeleteString(0), 5);
  EXPECT_EQ(list.GetCurSel(), LB_ERR) << "the selected item went";
  list.ResetContent();
  ASSERT_TRUE(list.GetScrollInfo(SB_VERT, &info));
  EXPECT_LT(info.nMax - info.nMin, static_cast<int>(info.nPage)) << "an empty list fits";
}

TEST_F(PlatformListControls, AnOwnerDrawnListBoxMeasuresOnceAndHasItsItemsDrawnByItsParent) {
  canvas.rowHeight = 22;
  CListBox list;
  ASSERT_TRUE(list.Create(WS_VISIBLE | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS, CRect(0, 0, 100, 50), &canvas, 3));
  EXPECT_EQ(canvas.measures, 1);
  EXPECT_EQ(list.GetItemHeight(0), 22);
  for (const char16_t* s : {u"one", u"two", u"three"}) list.AddString(s);
  list.SetCurSel(1);
  canvas.drawn.clear();
  canvas.drawnOn.clear();
  pt::Pump();
  ASSERT_EQ(canvas.drawn.size(), 3u) << "the visible items, the last one partly";
  EXPECT_EQ(canvas.drawn[1].itemState & ODS_SELECTED, ODS_SELECTED);
  EXPECT_EQ(canvas.drawn[1].rcItem, (RECT{0, 22, 100, 44}));
  EXPECT_EQ(canvas.drawn[1].hwndItem, list.m_hWnd);
  EXPECT_EQ(canvas.drawnOn[1], list.m_hWnd) << "the list box's own DC";
  const pt::PixelImage shot = pt::GrabClient(list);
  EXPECT_EQ(pt::PixelAt(shot, 50, 30), RGB(0, 0, 128));
  EXPECT_EQ(pt::PixelAt(shot, 50, 10), RGB(255, 255, 255));
}

TEST_F(PlatformListControls, AListViewKeepsRowsOfCellsAndScrollsRowsWholeAndColumnsInPixels) {
  CListCtrl list;
  ASSERT_TRUE(list.Create(WS_VISIBLE | LVS_REPORT | LVS_NOCOLUMNHEADER, CRect(0, 0, 200, 100), &canvas, 4));
  list.InsertColumn(0, u"Old", LVCFMT_LEFT, 170);
  list.InsertColumn(1, u"New", LVCFMT_LEFT, 170);
  for (int i = 0; i < 10; ++i) {
    const std::u16string name = u"file" + std::u16string(1, static_cast<char16_t>(u'0' + i));
    EXPECT_EQ(list.InsertItem(i, name.c_str()), i);
    list.SetItemText(i, 1, (name + u".jpg").c_str());
  }
  list.SetItemData(3, 33);
  EXPECT_EQ(list.GetItemCount(), 10);
  EXPECT_EQ(list.GetItemText(4, 1), u"file4.jpg");
  EXPECT_EQ(list.GetItemData(3), 33u);
  EXPECT_EQ(list.GetHeaderCtrl()->GetItemCount(), 2);

  CRect row0, row1;
  list.GetItemRect(0, row0, LVIR_BOUNDS);
  list.GetItemRect(1, row1, LVIR_BOUNDS);
  EXPECT_EQ(row0.top, 0) << "no header";
  EXPECT_EQ(row0.Width(), 340);
  const int h = row0.Height();
  EXPECT_EQ(row1.top, h);

  SCROLLINFO v, horizontal;
  ASSERT_TRUE(list.GetScrollInfo(SB_VERT, &v));
  EXPECT_EQ(v.nMax, 9);
  EXPECT_EQ(v.nPage, static_cast<UINT>(100 / h));
  list.Scroll(CSize(0, 3 * h + h / 2));
  EXPECT_EQ(list.GetTopIndex(), 3) << "whole rows";
  ASSERT_TRUE(list.GetScrollInfo(SB_HORZ, &horizontal));
  EXPECT_EQ(horizontal.nMax, 339);
  EXPECT_EQ(horizontal.nPage, 200u);
  list.Scroll(CSize(500, 0));
  ASSERT_TRUE(list.GetScrollInfo(SB_HORZ, &horizontal));
  EXPECT_EQ(horizontal.nPos, 140) << "up to maximum - page + 1";

  // A click selects a row and tells the parent.
  list.Scroll(CSize(-500, -1000));
  pt::Click(list, {10, h + 2});
  EXPECT_EQ(list.GetNextItem(-1, LVNI_SELECTED), 1);
  EXPECT_NE(std::count(canvas.notifications.begin(), canvas.notifications.end(), LVN_ITEMCHANGED), 0);
  EXPECT_EQ(canvas.notifications.back(), NM_CLICK);
}

TEST_F(PlatformListControls, AListViewDrawsGridLinesAndItsHeader) {
  CListCtrl list;
  ASSERT_TRUE(list.Create(WS_VISIBLE | LVS_REPORT, CRect(0, 0, 200, 100), &canvas, 4));
  list.SetExtendedStyle(LVS_EX_GRIDLINES);
  list.InsertColumn(0, u"Name", LVCFMT_LEFT, 80);
  list.InsertItem(0, u"a");
  list.InsertItem(1, u"b");
  pt::Pump();
  CRect row0;
  list.GetItemRect(0, row0, LVIR_BOUNDS);
  EXPECT_EQ(row0.top, 20) << "below the header";
  const pt::PixelImage shot = pt::GrabClient(list);
  EXPECT_EQ(pt::PixelAt(shot, 40, row0.bottom - 1), RGB(240, 240, 240)) << "a grid line under the row";
  EXPECT_EQ(pt::PixelAt(shot, 79, row0.top + 3), RGB(240, 240, 240)) << "and at the column's edge";
  EXPECT_EQ(pt::PixelAt(shot, 150, 5), RGB(240, 240, 240)) << "the header's face";
}

TEST_F(PlatformListControls, AnOwnerDrawnListViewMeasuresAgainOnEveryPositionChange) {
  CListCtrl list;
  ASSERT_TRUE(list.Create(WS_VISIBLE | LVS_REPORT | LVS_NOCOLUMNHEADER, CRect(0, 0, 200, 100), &canvas, 5));
  list.InsertColumn(0, u"", LVCFMT_LEFT, 200);
  list.InsertItem(0, u"row");
  EXPECT_EQ(canvas.measures, 0) << "not owner-drawn yet";
  // Made owner-drawn after creation, as a subclass does when it attaches.
  list.ModifyStyle(0, LVS_OWNERDRAWFIXED);
  canvas.rowHeight = 17;
  list.SetWindowPos(nullptr, 0, 0, 200, 100, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_EQ(canvas.measures, 1);
  CRect row;
  list.GetItemRect(0, row, LVIR_BOUNDS);
  EXPECT_EQ(row.Height(), 17);
  canvas.rowHeight = 25;
  WINDOWPOS pos{list.m_hWnd, nullptr, 0, 0, 200, 100, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER};
  list.SendMessage(WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
  list.GetItemRect(0, row, LVIR_BOUNDS);
  EXPECT_EQ(row.Height(), 25) << "a new font's height without recreating the list";
  canvas.drawn.clear();
  pt::Pump();
  ASSERT_FALSE(canvas.drawn.empty());
  EXPECT_EQ(canvas.drawn[0].CtlType, ODT_LISTVIEW);
  EXPECT_EQ(canvas.drawn[0].rcItem, (RECT{0, 0, 200, 25}));
}

TEST_F(PlatformListControls, AnEditKeepsItsLimitSelectionAndTellsItsParent) {
  CEdit edit;
  ASSERT_TRUE(edit.Create(WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, CRect(10, 10, 200, 32), &canvas, 9));
  edit.LimitText(5);
  edit.SetFocus();
  canvas.commands.clear();
  pt::SystemType(u"abcdefgh");
  EXPECT_EQ(edit.GetWindowText(), u"abcde");
  EXPECT_EQ(std::count(canvas.commands.begin(), canvas.commands.end(), Command{9, EN_CHANGE}), 5);
  edit.SetWindowText(u"hello world");
  EXPECT_EQ(canvas.commands.back(), (Command{9, EN_CHANGE})) << "setting the text changes it too";
  edit.SetSel(0, -1);
  int start = 0, end = 0;
  edit.GetSel(start, end);
  EXPECT_EQ(start, 0);
  EXPECT_EQ(end, 11);
  edit.SetSel(6, 11);
  edit.ReplaceSel(u"there");
  EXPECT_EQ(edit.GetWindowText(), u"hello there");
  EXPECT_EQ(edit.SendMessage(WM_GETDLGCODE) & DLGC_HASSETSEL, DLGC_HASSETSEL);

  CWnd other;
  ASSERT_TRUE(other.Create(u"Other", u"", WS_CHILD | WS_VISIBLE, CRect(0, 100, 10, 110), &canvas, 10));
  other.SetFocus();
  EXPECT_EQ(canvas.commands.back(), (Command{9, EN_KILLFOCUS}));
}

TEST_F(PlatformListControls, AnEditIsColouredByItsParentsAnswer) {
  canvas.editBackground = RGB(255, 255, 255);
  CEdit edit;
  ASSERT_TRUE(edit.Create(WS_VISIBLE | ES_MULTILINE | ES_READONLY, CRect(10, 10, 200, 80), &canvas, 9));
  edit.SetWindowText(u"");
  pt::Pump();
  EXPECT_EQ(pt::PixelAt(pt::GrabClient(edit), 100, 40), RGB(255, 255, 255)) << "white, as the parent asked";
  canvas.editBackground = RGB(200, 0, 0);
  edit.Invalidate();
  pt::Pump();
  EXPECT_EQ(pt::PixelAt(pt::GrabClient(edit), 100, 40), RGB(200, 0, 0));
}

TEST_F(PlatformListControls, AMultiLineEditCountsLinesScrollsAndCopiesWithLineBreaks) {
  CEdit edit;
  ASSERT_TRUE(edit.Create(WS_VISIBLE | ES_MULTILINE | ES_READONLY | WS_VSCROLL, CRect(10, 10, 200, 80), &canvas, 9));
  std::u16string text;
  for (int i = 0; i < 20; ++i) text += u"line " + std::u16string(1, static_cast<char16_t>(u'a' + i)) + u"\r\n";
  edit.SetWindowText(text.c_str());
  pt::Pump();
  EXPECT_EQ(edit.GetWindowText(), text) << "lines end with CR LF";
  EXPECT_EQ(edit.GetLineCount(), 21);
  EXPECT_EQ(edit.GetFirstVisibleLine(), 0);
  edit.LineScroll(5);
  EXPECT_EQ(edit.GetFirstVisibleLine(), 5);
  SCROLLINFO info;
  ASSERT_TRUE(edit.GetScrollInfo(SB_VERT, &info));
  EXPECT_EQ(info.nPos, 5);
  EXPECT_EQ(info.nMax, 20);
  edit.SendMessage(WM_VSCROLL, SB_LINEUP);
  EXPECT_EQ(edit.GetFirstVisibleLine(), 4);
  CRect format;
  edit.GetRect(format);
  EXPECT_GT(format.Height(), 40);

  // The whole text, its line breaks as CR LF, goes to the clipboard.
  edit.SetSel(0, -1, TRUE);
  edit.Copy();
  ASSERT_TRUE(OpenClipboard(nullptr));
  const HGLOBAL copied = GetClipboardData(CF_UNICODETEXT);
  ASSERT_NE(copied, nullptr);
  EXPECT_EQ(std::u16string(static_cast<const char16_t*>(GlobalLock(copied))), text);
  GlobalUnlock(copied);
  CloseClipboard();
}

TEST_F(PlatformListControls, APressedOwnerDrawnButtonIsSelectedAndItsReflectedClickReachesTheParent) {
  CountingButton button;
  ASSERT_TRUE(button.Create(u"TestButton", u"", WS_CHILD | WS_VISIBLE, CRect(10, 10, 90, 33), &canvas, 1));
  pt::Pump();
  button.drawnStates.clear();
  pt::MouseDown(button, {5, 5});
  ASSERT_FALSE(button.drawnStates.empty());
  EXPECT_EQ(button.drawnStates.back() & ODS_SELECTED, ODS_SELECTED);
  pt::MouseUp(button, {5, 5});
  EXPECT_EQ(button.drawnStates.back() & ODS_SELECTED, 0u);
  EXPECT_EQ(button.ownClicks, 1);
  EXPECT_EQ(canvas.commands, (std::vector<Command>{{1, BN_CLICKED}}));
  pt::MouseDown(button, {5, 5});
  pt::MouseUp(button, {200, 5});
  EXPECT_EQ(button.ownClicks, 1) << "released outside: no click";
}
