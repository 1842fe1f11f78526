// The layer on a real X server (xvfb-run, and again under a window manager):
// what the server shows of a window tree equals the layer's own composite of
// its surfaces; a window's rectangle is its frame on the screen and its
// client area lies where the layer says; keys reach a dialog that opened and
// its controls are drawn; polling loops see the server's pointer and buttons
// without pumping; the monitor profile comes from the root window's
// _ICC_PROFILE.

#include "platform/afx/AfxDC.h"
#include "platform/afx/AfxDialog.h"
#include "platform/afx/AfxWin.h"
#include "platform/core/UiServices.h"
#include "platform/win/WinDialogs.h"
#include "platform/qt/X11.h"
#include "platform/testing/Display.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <utility>

namespace pt = platform::testing;

namespace {

class PlatformX11 : public ::testing::Test {
protected:
  void SetUp() override {
    if (const std::string why = pt::StartOnDisplay(false); !why.empty()) GTEST_SKIP() << why;
  }
};

TEST_F(PlatformX11, TheServerShowsWhatTheLayerComposed) {
  CWnd top, pane, framed;
  ASSERT_TRUE(top.CreateEx(0, u"Top", u"", WS_POPUP | WS_VISIBLE, RECT{200, 150, 520, 390}, nullptr, 0));
  ASSERT_TRUE(pane.Create(u"Pane", u"", WS_CHILD | WS_VISIBLE, RECT{10, 10, 150, 120}, &top, 1));
  ASSERT_TRUE(framed.CreateEx(WS_EX_CLIENTEDGE, u"Framed", u"", WS_CHILD | WS_VISIBLE | WS_BORDER,
                              RECT{160, 20, 300, 200}, &top, 2));
  ASSERT_TRUE(pt::WaitUntilExposed(top));
  {
    CClientDC dc(&top);
    dc.FillSolidRect(0, 0, 320, 240, RGB(89, 89, 89));
    RECT caption{10, 200, 310, 230};
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(RGB(255, 255, 255));
    dc.DrawText(u"Lumitra4 on the X server", &caption, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
  }
  {
    CClientDC dc(&pane); // its lower half stays undrawn: the parent shows there
    dc.FillSolidRect(0, 0, 140, 55, RGB(200, 40, 30));
  }
  {
    CClientDC dc(&framed);
    dc.FillSolidRect(0, 0, 200, 200, RGB(30, 160, 220));
    dc.FillSolidRect(20, 20, 40, 40, RGB(255, 255, 0));
  }
  pt::Pump();
  pt::WaitUntilExposed(top);

  const pt::PixelImage composed = pt::GrabClient(top);
  const pt::PixelImage shown = pt::GrabScreen(RECT{200, 150, 520, 390});
  pt::SavePng(composed, "x11-composed.png");
  pt::SavePng(shown, "x11-shown.png");
  ASSERT_EQ(shown.width, composed.width);
  ASSERT_EQ(shown.height, composed.height);
  int differing = 0;
  for (int y = 0; y < shown.height; ++y) {
    for (int x = 0; x < shown.width; ++x) differing += pt::PixelAt(shown, x, y) != pt::PixelAt(composed, x, y);
  }
  EXPECT_EQ(differing, 0);
  EXPECT_EQ(pt::PixelAt(shown, 20, 100), RGB(89, 89, 89)) << "the parent under the pane's undrawn pixels";
  EXPECT_EQ(pt::PixelAt(shown, 160, 20), RGB(0, 0, 0)) << "the framed window's border";
}

TEST_F(PlatformX11, AWindowsRectangleIsItsFrameOnTheScreenAndItsClientAreaLiesInside) {
  CWnd frame;
  ASSERT_TRUE(frame.CreateEx(0, u"Frame", u"Framed", WS_OVERLAPPEDWINDOW, RECT{0, 0, 600, 400}, nullptr, 0));
  frame.ShowWindow(SW_SHOWNORMAL);
  ASSERT_TRUE(pt::WaitUntilExposed(frame));
  for (int i = 0; i < 50 && pt::FrameOnServer(frame) != (RECT{0, 0, 600, 400}); ++i) {
    pt::Pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  // The saved place of a window is its frame's: at 0, 0 the title bar is on
  // the screen, not above it.
  EXPECT_EQ(pt::FrameOnServer(frame), (RECT{0, 0, 600, 400}));
  RECT window{};
  frame.GetWindowRect(&window);
  EXPECT_EQ(window, (RECT{0, 0, 600, 400}));
  WINDOWPLACEMENT placement{};
  ASSERT_TRUE(frame.GetWindowPlacement(&placement));
  EXPECT_EQ(placement.rcNormalPosition, (RECT{0, 0, 600, 400}));

  // The client area is where the server shows the window's own contents,
  // inside the layer's one-pixel border.
  POINT client{0, 0};
  frame.ClientToScreen(&client);
  const POINT widget = pt::WidgetOriginOnServer(frame);
  EXPECT_EQ(client, (POINT{widget.x + 1, widget.y + 1}));
  RECT area{};
  frame.GetClientRect(&area);
  if (pt::WindowManagerRunning()) {
    EXPECT_GT(widget.y, 0) << "below the title bar";
    EXPECT_LT(area.bottom, 398);
  } else {
    EXPECT_EQ(widget, (POINT{0, 0}));
    EXPECT_EQ(area, (RECT{0, 0, 598, 398}));
  }
  frame.DestroyWindow();
}

// A dialog with a line of text and an entry; the keys end it as the dialog
// keys do.
constexpr UINT kKeysDialog = 9301;

class KeysDialog : public CDialog {
public:
  explicit KeysDialog(CWnd* owner) : CDialog(kKeysDialog, owner) {
    DialogTemplate t;
    t.id = kKeysDialog;
    t.size = {160, 60};
    t.caption = u"Keys";
    DialogItemTemplate text;
    text.id = 100;
    text.className = u"Static";
    text.style = WS_VISIBLE;
    text.rect = {10, 10, 150, 22};
    text.text = u"Return or Escape";
    DialogItemTemplate entry;
    entry.id = 101;
    entry.className = u"Edit";
    entry.style = WS_VISIBLE | WS_TABSTOP | WS_BORDER;
    entry.rect = {10, 30, 150, 44};
    t.items = {text, entry};
    platform::RegisterDialogTemplate(t);
  }
  std::atomic<bool> shown{false};
  std::atomic<HWND> hwnd{nullptr};
  std::atomic<LONG> left{0}, top{0}, right{0}, bottom{0};

  // A key that never arrived: the test ends the dialog itself.
  static constexpr UINT kGiveUp = WM_APP + 7;
  static constexpr int kNoKey = -7;

protected:
  afx_msg LRESULT OnGiveUp(WPARAM, LPARAM) {
    EndDialog(kNoKey);
    return 0;
  }
  DECLARE_MESSAGE_MAP()

  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    hwnd = m_hWnd;
    RECT r{};
    GetWindowRect(&r);
    left = r.left, top = r.top, right = r.right, bottom = r.bottom;
    shown = true;
    return TRUE;
  }
};

BEGIN_MESSAGE_MAP(KeysDialog, CDialog)
  ON_MESSAGE(KeysDialog::kGiveUp, OnGiveUp)
END_MESSAGE_MAP()

constexpr std::uint32_t kReturnKey = 0xff0d;
constexpr std::uint32_t kEscapeKey = 0xff1b;

TEST_F(PlatformX11, KeysReachADialogThatOpenedWhereverThePointerIsAndItsControlsAreDrawn) {
  platform::core::SetModalDriver(nullptr); // the layer's own modal loop, not a script
  CWnd owner;
  ASSERT_TRUE(owner.CreateEx(0, u"Owner", u"Owner", WS_OVERLAPPEDWINDOW, RECT{100, 100, 800, 600}, nullptr, 0));
  owner.ShowWindow(SW_SHOWNORMAL);
  ASSERT_TRUE(pt::WaitUntilExposed(owner));
  for (const auto& [key, answer] : {std::pair{kEscapeKey, IDCANCEL}, std::pair{kReturnKey, IDOK}}) {
    // The pointer rests on the owner, away from where the dialog opens:
    // without a window manager the keys would follow it.
    pt::MovePointerOnServer({130, 560});
    KeysDialog dialog(&owner);
    int colours = 0;
    std::atomic<bool> ended{false};
    // A person looks at the dialog once it is up, then presses the key.
    std::thread person([&, key = key] {
      for (int i = 0; i < 500 && !dialog.shown; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      std::this_thread::sleep_for(std::chrono::milliseconds(800));
      colours = pt::ColoursOnServer(RECT{dialog.left, dialog.top, dialog.right, dialog.bottom});
      pt::PressKeyOnServer(key);
      for (int i = 0; i < 500 && !ended; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      if (!ended) PostMessageW(dialog.hwnd, KeysDialog::kGiveUp, 0, 0);
    });
    const INT_PTR result = dialog.DoModal();
    ended = true;
    person.join();
    EXPECT_EQ(result, answer) << "the key reached the dialog";
    EXPECT_GT(colours, 2) << "the dialog's face, its text and its entry";
  }
  owner.DestroyWindow();
}

TEST_F(PlatformX11, PollingLoopsSeeTheServersPointerAndButtonsWithoutPumping) {
  pt::MovePointerOnServer({300, 200});
  POINT p{};
  ASSERT_TRUE(GetCursorPos(&p));
  EXPECT_EQ(p, (POINT{300, 200}));
  EXPECT_EQ(GetAsyncKeyState(VK_LBUTTON), 0);
  pt::SetLeftButtonOnServer(true);
  EXPECT_NE(GetAsyncKeyState(VK_LBUTTON) & 0x8000, 0) << "pressed, though no event was processed";
  pt::MovePointerOnServer({310, 212});
  ASSERT_TRUE(GetCursorPos(&p));
  EXPECT_EQ(p, (POINT{310, 212}));
  pt::SetLeftButtonOnServer(false);
  EXPECT_EQ(GetAsyncKeyState(VK_LBUTTON), 0);

  ASSERT_TRUE(SetCursorPos(40, 50));
  ASSERT_TRUE(GetCursorPos(&p));
  EXPECT_EQ(p, (POINT{40, 50}));
  pt::Pump();
}

TEST_F(PlatformX11, TheMonitorProfileComesFromTheRootWindow) {
  pt::DeleteRootProperty("_ICC_PROFILE");
  EXPECT_FALSE(platform::qt::MonitorProfileFromX11().has_value());
  const std::vector<std::uint8_t> profile = {0, 0, 2, 0x30, 'l', 'c', 'm', 's', 1, 2, 3};
  pt::SetRootProperty("_ICC_PROFILE", profile);
  EXPECT_EQ(platform::qt::MonitorProfileFromX11(), profile);
  pt::SetRootProperty("_ICC_PROFILE", {});
  EXPECT_FALSE(platform::qt::MonitorProfileFromX11().has_value()) << "an empty property is no profile";
  pt::DeleteRootProperty("_ICC_PROFILE");
}

} // namespace
