// The native button and static: presses under capture, BN_CLICKED, check
// states, owner drawing through WM_DRAWITEM; cursors and resource pictures;
// the rectangle tracker's hit test and tracking loop.

#include "platform/afx/AfxButton.h"
#include "platform/afx/AfxTracker.h"
#include "platform/testing/Headless.h"

#include <gtest/gtest.h>

namespace pt = platform::testing;

namespace {

// A top-level window that keeps the commands its children send.
class CommandParent : public CWnd {
public:
  std::vector<std::pair<int, int>> commands; // (id, code)
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override {
    if (lParam) commands.emplace_back(LOWORD(wParam), HIWORD(wParam));
    return CWnd::OnCommand(wParam, lParam);
  }
};

class DrawnButton : public CButton {
public:
  std::vector<UINT> states;
  void DrawItem(LPDRAWITEMSTRUCT item) override {
    EXPECT_EQ(item->CtlType, ODT_BUTTON);
    EXPECT_EQ(item->hwndItem, m_hWnd);
    states.push_back(item->itemState);
    CDC::FromHandle(item->hDC)->FillSolidRect(&item->rcItem,
                                              (item->itemState & ODS_SELECTED) ? RGB(255, 0, 0) : RGB(0, 0, 255));
  }
};

class DrawnStatic : public CStatic {
public:
  int drawn = 0;
  void DrawItem(LPDRAWITEMSTRUCT item) override {
    EXPECT_EQ(item->CtlType, ODT_STATIC);
    ++drawn;
  }
};

class PlatformControls : public ::testing::Test {
protected:
  void SetUp() override {
    pt::Init();
    ASSERT_TRUE(parent.CreateEx(0, u"Parent", u"", WS_POPUP | WS_VISIBLE, CRect(100, 100, 300, 200), nullptr, 0));
  }
  CommandParent parent;
};

} // namespace

TEST_F(PlatformControls, AnOwnerDrawnButtonIsSelectedWhilePressedAndClicksItsParent) {
  DrawnButton button;
  ASSERT_TRUE(button.Create(u"", WS_VISIBLE | BS_OWNERDRAW, CRect(10, 10, 60, 30), &parent, 7));
  pt::Pump();
  ASSERT_FALSE(button.states.empty());
  EXPECT_EQ(button.states.back() & ODS_SELECTED, 0u);
  pt::MouseDown(button, {5, 5});
  EXPECT_NE(button.states.back() & ODS_SELECTED, 0u);
  EXPECT_EQ(pt::PixelAt(pt::GrabClient(button), 3, 3), RGB(255, 0, 0));
  EXPECT_NE(button.GetState() & BST_PUSHED, 0u);
  pt::MouseUp(button, {5, 5});
  EXPECT_EQ(button.states.back() & ODS_SELECTED, 0u);
  EXPECT_EQ(parent.commands, (std::vector<std::pair<int, int>>{{7, BN_CLICKED}}));
  // Released outside: no click; moving out while held shows it released.
  parent.commands.clear();
  pt::MouseDown(button, {5, 5});
  pt::MouseMove(button, {80, 5}, true);
  EXPECT_EQ(button.states.back() & ODS_SELECTED, 0u);
  pt::MouseUp(button, {80, 5});
  EXPECT_TRUE(parent.commands.empty());
  // Disabled: drawn so, and deaf to the mouse.
  button.EnableWindow(FALSE);
  pt::Pump();
  EXPECT_NE(button.states.back() & ODS_DISABLED, 0u);
  pt::Click(button, {5, 5});
  EXPECT_TRUE(parent.commands.empty());
}

TEST_F(PlatformControls, CheckBoxesKeepTheirStateAndStaticsNotify) {
  CButton check;
  ASSERT_TRUE(check.Create(u"Option", WS_VISIBLE | BS_AUTOCHECKBOX, CRect(10, 40, 120, 60), &parent, 8));
  pt::Click(check, {4, 4});
  EXPECT_EQ(check.GetCheck(), BST_CHECKED);
  check.SendMessage(BM_CLICK);
  EXPECT_EQ(check.GetCheck(), BST_UNCHECKED);
  EXPECT_EQ(parent.commands, (std::vector<std::pair<int, int>>{{8, BN_CLICKED}, {8, BN_CLICKED}}));
  check.SetCheck(BST_CHECKED);
  EXPECT_EQ(check.GetCheck(), BST_CHECKED);

  DrawnStatic owner;
  ASSERT_TRUE(owner.Create(u"", WS_VISIBLE | SS_OWNERDRAW | SS_NOTIFY, CRect(10, 70, 60, 90), &parent, 9));
  pt::Pump();
  EXPECT_GE(owner.drawn, 1);
  parent.commands.clear();
  pt::Click(owner, {3, 3});
  EXPECT_EQ(parent.commands, (std::vector<std::pair<int, int>>{{9, STN_CLICKED}}));
  // A plain static shows its text on the dialog face.
  CStatic text;
  ASSERT_TRUE(text.Create(u"Label", WS_VISIBLE | SS_LEFT, CRect(70, 70, 150, 90), &parent));
  pt::Pump();
  const auto shot = pt::GrabClient(text);
  int dark = 0;
  for (int x = 0; x < 40; ++x) dark += GetRValue(pt::PixelAt(shot, x, 6)) < 120;
  EXPECT_GT(dark, 0);
}

TEST_F(PlatformControls, CursorsAndResourcePictures) {
  const HCURSOR sizeAll = LoadCursorW(nullptr, IDC_SIZEALL);
  ASSERT_TRUE(sizeAll);
  EXPECT_EQ(LoadCursorW(nullptr, IDC_SIZEALL), sizeAll);
  EXPECT_EQ(StandardCursorId(sizeAll), 32646);
  EXPECT_FALSE(LoadCursorW(nullptr, MAKEINTRESOURCEW(17)));
  POINT inside{150, 150};
  SetCursorPos(inside.x, inside.y);
  SetCursor(sizeAll);
  EXPECT_EQ(pt::ShownStandardCursor(parent), 32646);
  SetCursor(LoadCursorW(nullptr, IDC_ARROW));
  EXPECT_EQ(pt::ShownStandardCursor(parent), 32512);
  // Ids without a picture give nothing, and nothing draws from nothing.
  EXPECT_FALSE(LoadImageW(nullptr, MAKEINTRESOURCEW(9999), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
  EXPECT_FALSE(LoadBitmapW(nullptr, MAKEINTRESOURCEW(9999)));
  EXPECT_FALSE(LoadCursorW(reinterpret_cast<HINSTANCE>(1), MAKEINTRESOURCEW(9999)));
  CClientDC dc(&parent);
  EXPECT_FALSE(dc.DrawIcon(0, 0, nullptr, 16, 16));
  // A resource icon at the size asked.
  const HICON icon =
      static_cast<HICON>(static_cast<void*>(LoadImageW(nullptr, MAKEINTRESOURCEW(239), IMAGE_ICON, 30, 30, 0)));
  ASSERT_TRUE(icon);
  EXPECT_TRUE(dc.DrawIcon(0, 0, icon, 30, 30));
  EXPECT_TRUE(DestroyIcon(icon));
  EXPECT_FALSE(DestroyIcon(icon));
}

TEST_F(PlatformControls, TheTrackerMovesUnderTheMouseAndEscapeCancels) {
  CRectTracker tracker(CRect(10, 10, 40, 40), CRectTracker::solidLine);
  EXPECT_EQ(tracker.HitTest(CPoint(20, 20)), CRectTracker::hitMiddle);
  EXPECT_EQ(tracker.HitTest(CPoint(45, 20)), CRectTracker::hitNothing);
  EXPECT_EQ(tracker.HitTest(CPoint(11, 11)), CRectTracker::hitTopLeft);
  // Moves and the release, queued before the loop starts.
  parent.PostMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(30, 25));
  parent.PostMessage(WM_LBUTTONUP, 0, MAKELPARAM(35, 28));
  EXPECT_TRUE(tracker.Track(&parent, CPoint(20, 20)));
  EXPECT_EQ(tracker.m_rect, CRect(25, 18, 55, 48));
  EXPECT_FALSE(CWnd::GetCapture());
  // Escape puts it back.
  parent.PostMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(60, 60));
  parent.PostMessage(WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_FALSE(tracker.Track(&parent, CPoint(30, 30)));
  EXPECT_EQ(tracker.m_rect, CRect(25, 18, 55, 48));
  // Nothing queued and the button up: the drag ends where the cursor is.
  POINT cursor{50, 25};
  parent.ClientToScreen(&cursor);
  pt::InputFrame up;
  up.cursor = cursor;
  pt::Input().SetCurrent(up);
  EXPECT_TRUE(tracker.Track(&parent, CPoint(40, 25)));
  EXPECT_EQ(tracker.m_rect, CRect(35, 18, 65, 48));
  // A press on a side handle moves that side only.
  EXPECT_EQ(tracker.HitTest(CPoint(36, 32)), CRectTracker::hitLeft);
  // The cursor over the tracker.
  SetCursorPos(cursor.x, cursor.y);
  EXPECT_TRUE(tracker.SetCursor(&parent, HTCLIENT));
  EXPECT_EQ(pt::ShownStandardCursor(parent), 32646);
  EXPECT_FALSE(tracker.SetCursor(&parent, HTNOWHERE));
}
