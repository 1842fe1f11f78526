// The toolkit's list view, list box, edit and combo box with their sibling
// bars: the list box shows its bar only while its items do not fit, the list
// view's thumbs scroll whole items and pixels within their limits, the combo
// box's drop-down selects by hovering, reports a click as CBN_SELCHANGE and
// closes on a click outside or when another window becomes active, and
// opens above the box where the screen ends below it. One dialog with every
// control kind is rendered to a picture.

#include "../platform/qt/TestDialogs.h"
#include "ToolkitTestWindows.h"
#include "platform/testing/Headless.h"
#include "toolkit/CComboBoxBase.h"
#include "toolkit/CDialogBase.h"
#include "toolkit/CEditBase.h"
#include "toolkit/CListCtrlBase.h"

namespace pt = platform::testing;

namespace {

class ListComboControls : public ::testing::Test {
protected:
  void SetUp() override {
    pt::Init();
    ASSERT_TRUE(parent.Make({100, 100, 700, 500}));
    pt::Pump();
  }
  Owner parent;
  // The combo box's text in dark blue, readable on its white box.
  SmallTextTable texts{RGB(20, 20, 120)};
};

CRect WindowIn(const CWnd& wnd, const CWnd& parent) {
  CRect r;
  wnd.GetWindowRect(r);
  parent.ScreenToClient(r);
  return r;
}

std::u16string Name(int i) { return u"item " + std::u16string(1, static_cast<char16_t>(u'a' + i)); }

} // namespace

TEST_F(ListComboControls, AListBoxShowsItsBarOnlyWhileItsItemsDoNotFit) {
  CListBoxBase list;
  ASSERT_TRUE(list.Create(WS_VISIBLE | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT,
                          CRect(10, 10, 110, 10 + 3 * 13 + 5), &parent, 5));
  ASSERT_EQ(list.GetItemHeight(0), 13);
  for (int i = 0; i < 3; ++i) list.AddString(Name(i).c_str());
  EXPECT_FALSE(list.IsScrollBarShown());
  EXPECT_FALSE(list.VerticalBar().IsWindowVisible());
  EXPECT_EQ(WindowIn(list, parent).Width(), 100);

  list.AddString(Name(3).c_str());
  EXPECT_TRUE(list.IsScrollBarShown()) << "the fourth item overflows";
  EXPECT_TRUE(list.VerticalBar().IsWindowVisible());
  EXPECT_EQ(WindowIn(list, parent), CRect(10, 10, 96, 54)) << "14 pixels narrower";
  EXPECT_EQ(WindowIn(list.VerticalBar(), parent), CRect(96, 10, 110, 54)) << "the bar where the list ended";

  list.ResetContent();
  EXPECT_FALSE(list.IsScrollBarShown());
  EXPECT_EQ(WindowIn(list, parent).Width(), 100) << "the list takes its width back";
  list.SendMessage(WM_LBUTTONDBLCLK, 0, MAKELPARAM(5, 5));
  EXPECT_TRUE(parent.commands.empty()) << "a double click does nothing";
}

TEST_F(ListComboControls, AListViewsThumbsScrollWholeItemsAndPixelsWithinTheirLimits) {
  CListCtrlBase list;
  ASSERT_TRUE(list.Create(WS_VISIBLE | LVS_REPORT | LVS_NOCOLUMNHEADER, CRect(10, 10, 210, 110), &parent, 6));
  list.InsertColumn(0, u"a", LVCFMT_LEFT, 170);
  list.InsertColumn(1, u"b", LVCFMT_LEFT, 170);
  for (int i = 0; i < 30; ++i) list.InsertItem(i, Name(i % 26).c_str());
  EXPECT_EQ(WindowIn(list.VerticalBar(), parent), CRect(210, 10, 224, 110));
  EXPECT_EQ(WindowIn(list.HorizontalBar(), parent), CRect(10, 110, 210, 124));
  SCROLLINFO info;
  list.GetScrollInfo(SB_VERT, &info);
  const int page = static_cast<int>(info.nPage);
  list.SendMessage(WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 7));
  EXPECT_EQ(list.GetTopIndex(), 7);
  list.SendMessage(WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 29 - page + 2));
  EXPECT_EQ(list.GetTopIndex(), 7) << "past maximum - page + 1: ignored";
  list.SendMessage(WM_VSCROLL, MAKEWPARAM(SB_THUMBTRACK, 29 - page + 1));
  EXPECT_EQ(list.GetTopIndex(), 30 - page);

  list.SendMessage(WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 40));
  list.GetScrollInfo(SB_HORZ, &info);
  EXPECT_EQ(info.nPos, 40) << "pixels";
  list.SendMessage(WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, info.nMax - static_cast<int>(info.nPage) + 1));
  list.GetScrollInfo(SB_HORZ, &info);
  EXPECT_EQ(info.nPos, 40) << "beyond maximum - page: ignored";
}

TEST_F(ListComboControls, AnEditsBarScrollsItInLines) {
  CEditBase edit;
  ASSERT_TRUE(edit.Create(WS_VISIBLE | ES_MULTILINE | ES_READONLY, CRect(10, 10, 200, 80), &parent, 7));
  std::u16string text;
  for (int i = 0; i < 30; ++i) text += Name(i % 26) + u"\r\n";
  edit.SetWindowText(text.c_str());
  EXPECT_EQ(WindowIn(edit.VerticalBar(), parent), CRect(200, 10, 214, 80));
  edit.SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);
  EXPECT_EQ(edit.GetFirstVisibleLine(), 4) << "a line from the bar request, three from the wheel itself";
  const int thumb = edit.VerticalBar().GetThumbRect().top;
  edit.SendMessage(WM_VSCROLL, SB_LINEDOWN);
  EXPECT_GT(edit.VerticalBar().GetThumbRect().top, thumb) << "the bar follows";
}

namespace {

class Combo : public ::testing::Test {
protected:
  void SetUp() override {
    pt::Init();
    ASSERT_TRUE(parent.Make({100, 100, 700, 500}));
    ASSERT_TRUE(combo.Create(u"ComboBox", u"", WS_CHILD | WS_VISIBLE, CRect(20, 20, 220, 38), &parent, 1186));
    combo.SetTextStyleById(102);
    for (int i = 0; i < 5; ++i) combo.AddString(Name(i).c_str());
    combo.SetDropDownCount(3);
    pt::Pump();
  }
  void TearDown() override { combo.ShowDropDown(FALSE); }
  CListBoxBase& List() { return combo.DropDown().m_list; }
  SmallTextTable texts;
  Owner parent;
  CComboBoxBase combo;
};

} // namespace

TEST_F(Combo, AClickOpensTheDropDownBelowTheBoxOnTop) {
  ASSERT_NE(combo.DropDown().m_hWnd, nullptr);
  pt::Click(combo, {10, 5});
  ASSERT_TRUE(combo.IsDroppedDown());
  CRect box, drop;
  combo.GetWindowRect(box);
  combo.DropDown().GetWindowRect(drop);
  const int item = List().GetItemHeight(0);
  EXPECT_EQ(drop, CRect(box.left, box.bottom, box.right, box.bottom + 3 * item + 2))
      << "as wide as the box, three items and the list's border high";
  EXPECT_EQ(GetWindowExStyle(combo.DropDown()) & WS_EX_TOPMOST, static_cast<LONG>(WS_EX_TOPMOST));
  EXPECT_EQ(CWnd::GetCapture(), &List()) << "the list box holds the mouse while it drops down";
  EXPECT_TRUE(List().IsScrollBarShown()) << "five items in three rows";
}

TEST_F(Combo, HoveringSelectsWholeItemsAndAClickTakesTheSelection) {
  pt::Click(combo, {10, 5});
  const int item = List().GetItemHeight(0);
  pt::MouseMove(List(), {10, item + 2});
  EXPECT_EQ(List().GetCurSel(), 1);
  // Half of a fourth row shows: hovering over it takes nothing.
  CRect drop;
  combo.DropDown().GetWindowRect(drop);
  combo.DropDown().SetWindowPos(nullptr, 0, 0, drop.Width(), drop.Height() + item / 2, SWP_NOMOVE | SWP_NOZORDER);
  CRect client;
  List().GetClientRect(client);
  ASSERT_GT(client.bottom, 3 * item + 2);
  ASSERT_LT(client.bottom, 4 * item);
  pt::MouseMove(List(), {10, 3 * item + 2});
  EXPECT_EQ(List().GetCurSel(), 1) << "an item only partly shown is not taken";
  pt::MouseMove(List(), {10, 2 * item + 2});
  EXPECT_EQ(List().GetCurSel(), 2);
  pt::Click(combo, {10, 5});
  pt::Click(combo, {10, 5});
  ASSERT_TRUE(combo.IsDroppedDown());
  pt::MouseMove(List(), {10, item + 2});
  pt::Click(List(), {10, item + 2});
  EXPECT_FALSE(combo.IsDroppedDown());
  EXPECT_EQ(combo.GetText(), Name(1));
  EXPECT_EQ(parent.commands, (std::vector<Command>{{1186, CBN_SELCHANGE}}));
}

TEST_F(Combo, AClickOutsideOnlyCloses) {
  pt::Click(combo, {10, 5});
  pt::MouseMove(List(), {10, 2});
  CPoint outside(400, 300);
  parent.ClientToScreen(&outside);
  List().ScreenToClient(&outside);
  pt::Click(List(), outside);
  EXPECT_FALSE(combo.IsDroppedDown());
  EXPECT_TRUE(combo.GetText().empty());
  EXPECT_TRUE(parent.commands.empty());
  EXPECT_EQ(CWnd::GetCapture(), nullptr);
}

TEST_F(Combo, AnotherActiveWindowClosesTheDropDown) {
  pt::Click(combo, {10, 5});
  pt::AdvanceTime(300);
  EXPECT_TRUE(combo.IsDroppedDown()) << "the drop-down itself is active";
  Owner other;
  ASSERT_TRUE(other.Make({800, 100, 900, 200}));
  ::SetActiveWindow(other);
  pt::AdvanceTime(100);
  EXPECT_FALSE(combo.IsDroppedDown());
}

TEST_F(Combo, NearTheScreensBottomTheDropDownOpensAboveTheBox) {
  const int screen = GetSystemMetrics(SM_CYSCREEN);
  parent.MoveWindow(100, screen - 60, 600, 60);
  pt::Click(combo, {10, 5});
  CRect box, drop;
  combo.GetWindowRect(box);
  combo.DropDown().GetWindowRect(drop);
  EXPECT_EQ(drop.bottom, box.top) << "above the box";
  EXPECT_GE(drop.top, 0);
  combo.ShowDropDown(FALSE);
  parent.MoveWindow(GetSystemMetrics(SM_CXSCREEN) - 100, 100, 600, 300);
  pt::Click(combo, {10, 5});
  combo.DropDown().GetWindowRect(drop);
  EXPECT_EQ(drop.right, GetSystemMetrics(SM_CXSCREEN)) << "kept on the screen";
}

TEST_F(Combo, TheSelectionTextAndTheDisabledLook) {
  EXPECT_EQ(combo.SetCurSel(2), 2);
  EXPECT_EQ(combo.GetText(), Name(2));
  EXPECT_EQ(combo.SetCurSel(-1), LB_ERR);
  EXPECT_TRUE(combo.GetText().empty()) << "-1 empties the text";
  EXPECT_EQ(combo.SetCurSel(9), LB_ERR);
  EXPECT_TRUE(combo.GetText().empty());
  EXPECT_EQ(combo.FindString(-1, u"ITEM C"), 2);
  combo.SetItemData(1, 11);
  EXPECT_EQ(combo.GetItemData(1), 11u);

  combo.SetText(u"WWWWWWWWWW");
  combo.EnableAndRedraw(FALSE);
  pt::Pump();
  const pt::PixelImage shot = pt::GrabClient(combo);
  pt::SavePng(shot, "ComboDisabled.png");
  int grey = 0;
  for (int x = 2; x < 150; ++x) grey += pt::PixelAt(shot, x, 9) == RGB(178, 178, 178);
  EXPECT_GT(grey, 0) << "the text in RGB(178, 178, 178)";
  EXPECT_EQ(pt::PixelAt(shot, 185, 1), RGB(150, 150, 150)) << "the disabled button, icon 217";

  combo.SetTextColorById(102);
  combo.RedrawWindow();
  pt::Pump();
  const pt::PixelImage recoloured = pt::GrabClient(combo);
  int yellow = 0;
  for (int x = 2; x < 150; ++x) yellow += pt::PixelAt(recoloured, x, 9) == texts.colour;
  EXPECT_GT(yellow, 0) << "the disabled text in the entry's colour";
}

namespace {

constexpr UINT kEveryKind = 650;

class EveryKind : public CDialogBase {
public:
  EveryKind(CWnd* parent) : CDialogBase(kEveryKind, parent) {}
  CListCtrlBase list;
  CListBoxBase box;
  CEditBase notes;
  CComboBoxBase combo;
  TestButton ok;

protected:
  void DoDataExchange(CDataExchange* dx) override {
    DDX_Control(dx, 1179, list);
    DDX_Control(dx, 1059, box);
    DDX_Control(dx, 1083, notes);
    DDX_Control(dx, 1186, combo);
    DDX_Control(dx, IDOK, ok);
  }
  BOOL OnInitDialog() override {
    CDialogBase::OnInitDialog();
    list.SetExtendedStyle(LVS_EX_GRIDLINES);
    list.InsertColumn(0, u"Old name", LVCFMT_LEFT, 110);
    list.InsertColumn(1, u"New name", LVCFMT_LEFT, 110);
    for (int i = 0; i < 8; ++i) {
      list.InsertItem(i, (u"IMG_000" + std::u16string(1, static_cast<char16_t>(u'1' + i)) + u".kvr").c_str());
      list.SetItemText(i, 1, (u"Trip_" + std::u16string(1, static_cast<char16_t>(u'1' + i)) + u".kvr").c_str());
    }
    for (int i = 0; i < 9; ++i) box.AddString(Name(i).c_str());
    box.SetCurSel(2);
    notes.SetWindowText(u"Multi-line notes\r\nwith a second line\r\nand a third");
    SetDlgItemText(1084, u"single line");
    combo.SetTextStyleById(102);
    combo.AddString(u"Daylight");
    combo.AddString(u"Cloudy");
    combo.SetCurSel(0);
    return TRUE;
  }
  afx_msg void OnDrawItem(int id, LPDRAWITEMSTRUCT dis) {
    if (id != IDOK) return CDialogBase::OnDrawItem(id, dis);
    CDC* dc = CDC::FromHandle(dis->hDC);
    dc->FillSolidRect(&dis->rcItem, RGB(120, 120, 120));
    dc->SetBkMode(TRANSPARENT);
    dc->SetTextColor(RGB(255, 255, 255));
    CRect r = dis->rcItem;
    dc->DrawText(u"OK", r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(EveryKind, CDialogBase)
  ON_WM_DRAWITEM()
END_MESSAGE_MAP()

DialogItemTemplate At(int id, const char16_t* className, DWORD style, RECT rect) {
  DialogItemTemplate item;
  item.id = id;
  item.className = className;
  item.style = style | WS_VISIBLE | WS_TABSTOP;
  item.rect = rect;
  return item;
}

} // namespace

TEST_F(ListComboControls, ADialogWithEveryControlKindLooksRight) {
  DialogTemplate t;
  t.id = kEveryKind;
  t.size = {260, 180};
  t.caption = u"Every control";
  t.items = {At(1179, WC_LISTVIEW, LVS_REPORT | LVS_ALIGNLEFT, {8, 8, 160, 90}),
             At(1059, WC_LISTBOX, LBS_NOTIFY | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT,
                {180, 8, 240, 70}),
             At(1083, WC_EDIT, ES_MULTILINE | ES_READONLY, {8, 104, 160, 140}),
             At(1084, WC_EDIT, ES_AUTOHSCROLL, {180, 84, 250, 96}),
             At(1186, u"ComboBox", 0, {180, 104, 250, 115}),
             At(IDOK, u"TestButton", 0, {190, 150, 250, 166})};
  ASSERT_TRUE(platform::RegisterDialogTemplate(t));
  EveryKind dialog(&parent);
  pt::OnNextModal([&](HWND hwnd) {
    pt::Pump();
    const std::string path = pt::SavePng(pt::GrabClient(hwnd), "EveryControlKind.png");
    std::printf("rendered %s\n", path.c_str());
    // Tab visits the controls in the template's order.
    std::vector<int> order;
    for (int i = 0; i < 6; ++i) {
      order.push_back(GetDlgCtrlID(GetFocus()));
      pt::SystemKey(VK_TAB);
    }
    EXPECT_EQ(order, (std::vector<int>{1179, 1059, 1083, 1084, 1186, IDOK}));
    EndDialog(hwnd, IDOK);
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
}
