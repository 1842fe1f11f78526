// Menus, accelerators and command update without a window system: the menu
// tree's edits by position and by command, frames with a menu from the
// resource tables, update handlers before pop-ups and accelerators, command
// routing through the active view, and pop-up menus through a driver.

#include "RecordingWindow.h"
#include "platform/afx/AfxFrame.h"
#include "platform/core/UiServices.h"

#include <gtest/gtest.h>

using platform::core::StandaloneHost;

namespace {

constexpr UINT kMenu = 700;
constexpr UINT kOpen = 32779, kCopy = 57634, kMark = 32806, kFilter = 32837, kNoHandler = 32900, kHidden = 32950;

void RegisterFrameResources() {
  platform::RegisterMenuTemplate(kMenu, {{0, u"&File", 0, {{kOpen, u"&Open\tCtrl+O"}, {}, {kNoHandler, u"Nothing"}}},
                                         {0, u"&Edit", 0, {{kCopy, u"&Copy\tCtrl+C"}, {kMark, u"Mark"}}},
                                         {0, u"&View", 0, {{kFilter, u"Raw only"}}}});
  platform::RegisterAcceleratorTable(kMenu, {{FVIRTKEY | FCONTROL, 'O', kOpen},
                                             {FVIRTKEY | FCONTROL, 'C', kCopy},
                                             {FVIRTKEY | FCONTROL, VK_INSERT, kCopy},
                                             {FVIRTKEY | FSHIFT, VK_DELETE, kHidden}});
  platform::RegisterStringResource(kMenu, u"Browser");
}

// A frame whose commands and update rules the tests set.
class Frame : public CFrameWnd {
public:
  std::vector<UINT> commands;
  bool copyEnabled = true;
  bool marked = false;
  bool filter = false;
  int updates = 0;

protected:
  afx_msg void OnOpen() { commands.push_back(kOpen); }
  afx_msg void OnCopy() { commands.push_back(kCopy); }
  afx_msg void OnMark() { commands.push_back(kMark); }
  afx_msg void OnHidden() { commands.push_back(kHidden); }
  afx_msg void OnUpdateCopy(CCmdUI* ui) {
    ++updates;
    ui->Enable(copyEnabled);
  }
  afx_msg void OnUpdateMark(CCmdUI* ui) { ui->SetText(marked ? u"Unmark" : u"Mark"); }
  afx_msg void OnUpdateFilter(CCmdUI* ui) {
    ui->Enable(TRUE);
    ui->SetCheck(filter ? 1 : 0);
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(Frame, CFrameWnd)
  ON_COMMAND(kOpen, OnOpen)
  ON_COMMAND(kCopy, OnCopy)
  ON_COMMAND(kMark, OnMark)
  ON_COMMAND(kHidden, OnHidden)
  ON_UPDATE_COMMAND_UI(kCopy, OnUpdateCopy)
  ON_UPDATE_COMMAND_UI(kMark, OnUpdateMark)
  ON_UPDATE_COMMAND_UI(kFilter, OnUpdateFilter)
END_MESSAGE_MAP()

// A view that takes one command before its frame does.
class View : public CView {
public:
  std::vector<UINT> commands;

protected:
  afx_msg void OnOpen() { commands.push_back(kOpen); }
  void PostNcDestroy() override {} // a member of the test, not on the heap
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(View, CView)
  ON_COMMAND(kOpen, OnOpen)
END_MESSAGE_MAP()

class ChooseDriver : public platform::core::IMenuDriver {
public:
  UINT choice = 0;
  std::vector<UINT> shownStates;
  UINT Track(HMENU menu, UINT, POINT, HWND) override {
    shownStates.clear();
    for (int i = 0; i < GetMenuItemCount(menu); ++i) shownStates.push_back(GetMenuState(menu, i, MF_BYPOSITION));
    return choice;
  }
};

MSG Key(HWND hwnd, int vk) {
  MSG msg;
  msg.hwnd = hwnd;
  msg.message = WM_KEYDOWN;
  msg.wParam = static_cast<WPARAM>(vk);
  return msg;
}

// Holds the modifier keys of the layer's input state for a key.
class Keys : public platform::core::ScriptedInput {
public:
  Keys() { platform::core::SetInputSource(this); }
  ~Keys() override { platform::core::SetInputSource(nullptr); }
  void Hold(bool control, bool shift) {
    platform::core::InputFrame f;
    f.control = control;
    f.shift = shift;
    SetCurrent(f);
  }
};

class PlatformMenus : public ::testing::Test {
protected:
  void SetUp() override {
    RegisterFrameResources();
    frame = new Frame;
    ASSERT_TRUE(frame->LoadFrame(kMenu, WS_OVERLAPPEDWINDOW));
    frame->ShowWindow(SW_SHOW);
  }
  void TearDown() override {
    if (IsWindow(frameHwnd())) frame->DestroyWindow(); // deletes the frame
  }
  HWND frameHwnd() const { return frame ? frame->m_hWnd : nullptr; }
  HMENU Popup(int i) const { return GetSubMenu(GetMenu(*frame), i); }

  StandaloneHost host;
  Keys keys;
  Frame* frame = nullptr;
};

} // namespace

TEST(PlatformMenuTree, ItemsAreNamedByPositionOrByCommandThroughSubmenus) {
  StandaloneHost host;
  const HMENU bar = CreateMenu();
  const HMENU file = CreatePopupMenu();
  AppendMenuW(file, MF_STRING, 10, u"Ten");
  AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(file, MF_STRING, 12, u"Twelve");
  ASSERT_TRUE(AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), u"File"));
  EXPECT_TRUE(InsertMenuW(bar, 12, MF_BYCOMMAND, 11, u"Eleven")) << "before command 12, found in the submenu";
  EXPECT_EQ(GetMenuItemCount(file), 4);
  EXPECT_EQ(GetMenuItemID(file, 2), 11u);
  EXPECT_EQ(GetMenuItemID(file, 1), 0u) << "a separator";
  EXPECT_EQ(GetMenuItemID(bar, 0), 0xFFFFFFFFu) << "a submenu";
  EXPECT_EQ(GetSubMenu(bar, 0), file);

  EXPECT_EQ(EnableMenuItem(bar, 12, MF_BYCOMMAND | MF_GRAYED), MF_ENABLED);
  EXPECT_EQ(EnableMenuItem(bar, 12, MF_BYCOMMAND | MF_ENABLED), MF_GRAYED) << "the previous state";
  EXPECT_EQ(CheckMenuItem(file, 0, MF_BYPOSITION | MF_CHECKED), MF_UNCHECKED);
  EXPECT_EQ(GetMenuState(bar, 10, MF_BYCOMMAND) & MF_CHECKED, MF_CHECKED);
  EXPECT_EQ(EnableMenuItem(bar, 99, MF_BYCOMMAND), 0xFFFFFFFFu) << "no such item";

  EXPECT_TRUE(ModifyMenuW(bar, 0, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(file), u"&Datei"));
  EXPECT_TRUE(ModifyMenuW(bar, 11, MF_BYCOMMAND | MF_STRING, 11, u"Elf\tCtrl+E"));
  WCHAR text[32];
  EXPECT_EQ(GetMenuStringW(bar, 0, text, 32, MF_BYPOSITION), 6);
  EXPECT_EQ(std::u16string(text), u"&Datei");
  GetMenuStringW(file, 11, text, 32, MF_BYCOMMAND);
  EXPECT_EQ(std::u16string(text), u"Elf\tCtrl+E");

  EXPECT_TRUE(SetMenuDefaultItem(file, 12, FALSE));
  EXPECT_EQ(GetMenuDefaultItem(file, FALSE, 0), 12u);
  EXPECT_EQ(GetMenuDefaultItem(file, TRUE, 0), 3u);
  EXPECT_TRUE(DeleteMenu(bar, 11, MF_BYCOMMAND));
  EXPECT_EQ(GetMenuItemCount(file), 3);
  EXPECT_TRUE(DestroyMenu(bar));
  EXPECT_FALSE(IsMenu(file)) << "its submenus go with it";
}

TEST_F(PlatformMenus, AFrameHasItsMenuBarAndTitleFromTheResourceTables) {
  ASSERT_NE(GetMenu(*frame), nullptr);
  EXPECT_EQ(frame->GetWindowText(), u"Browser");
  CRect window, client;
  frame->GetWindowRect(window);
  frame->GetClientRect(client);
  EXPECT_EQ(client.Height(), window.Height() - 2 - 20) << "a one-pixel border and the 20-pixel bar above the client";
  EXPECT_EQ(GetMenuItemCount(GetMenu(*frame)), 3);
}

TEST_F(PlatformMenus, UpdateHandlersRunBeforeAPopupShows) {
  frame->copyEnabled = false;
  frame->marked = true;
  frame->filter = true;
  frame->SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(Popup(1)), 1);
  frame->SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(Popup(0)), 0);
  frame->SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(Popup(2)), 2);
  EXPECT_EQ(GetMenuState(Popup(1), kCopy, MF_BYCOMMAND) & MF_GRAYED, MF_GRAYED);
  WCHAR text[32];
  GetMenuStringW(Popup(1), kMark, text, 32, MF_BYCOMMAND);
  EXPECT_EQ(std::u16string(text), u"Unmark");
  EXPECT_EQ(GetMenuState(Popup(2), kFilter, MF_BYCOMMAND) & MF_CHECKED, MF_CHECKED);
  EXPECT_EQ(GetMenuState(Popup(0), kOpen, MF_BYCOMMAND) & MF_GRAYED, 0u) << "a command handler enables it";
  EXPECT_EQ(GetMenuState(Popup(0), kNoHandler, MF_BYCOMMAND) & MF_GRAYED, MF_GRAYED) << "no handler: disabled";
}

TEST_F(PlatformMenus, AcceleratorsRunTheUpdateFirstAndADisabledCommandsKeyDoesNothing) {
  MSG ctrlC = Key(frameHwnd(), 'C');
  keys.Hold(true, false);
  EXPECT_TRUE(frame->PreTranslateMessage(&ctrlC));
  EXPECT_EQ(frame->commands, std::vector<UINT>{kCopy});
  EXPECT_EQ(frame->updates, 1) << "the update handler ran before the command";

  frame->copyEnabled = false;
  MSG ctrlInsert = Key(frameHwnd(), VK_INSERT);
  EXPECT_TRUE(frame->PreTranslateMessage(&ctrlInsert)) << "the key is an accelerator";
  EXPECT_EQ(frame->commands, std::vector<UINT>{kCopy}) << "but its command is disabled";

  keys.Hold(false, false);
  MSG plainC = Key(frameHwnd(), 'C');
  EXPECT_FALSE(frame->PreTranslateMessage(&plainC)) << "modifiers must match";
  keys.Hold(false, true);
  MSG shiftDelete = Key(frameHwnd(), VK_DELETE);
  EXPECT_TRUE(frame->PreTranslateMessage(&shiftDelete));
  EXPECT_EQ(frame->commands.back(), kHidden) << "a command outside the menu is sent as it is";

  keys.Hold(true, false);
  frame->EnableWindow(FALSE);
  MSG again = Key(frameHwnd(), 'O');
  EXPECT_FALSE(frame->PreTranslateMessage(&again)) << "a disabled frame translates nothing";
}

TEST_F(PlatformMenus, CommandsReachTheActiveViewFirst) {
  View view;
  ASSERT_TRUE(view.Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, CRect(0, 0, 10, 10), frame, AFX_IDW_PANE_FIRST));
  frame->SetActiveView(&view);
  frame->SendMessage(WM_COMMAND, kOpen);
  frame->SendMessage(WM_COMMAND, kCopy);
  EXPECT_EQ(view.commands, std::vector<UINT>{kOpen});
  EXPECT_EQ(frame->commands, std::vector<UINT>{kCopy});
  CRect client, pane;
  frame->GetClientRect(client);
  frame->RecalcLayout();
  view.GetClientRect(pane);
  EXPECT_EQ(pane.Size(), client.Size()) << "the first pane fills the frame";
  frame->SetActiveView(nullptr);
}

TEST_F(PlatformMenus, APopupReturnsOrPostsTheChosenCommand) {
  ChooseDriver driver;
  platform::core::SetMenuDriver(&driver);
  CMenu popup;
  ASSERT_TRUE(popup.CreatePopupMenu());
  popup.AppendMenu(MF_STRING, kCopy, u"Copy");
  popup.AppendMenu(MF_STRING | MF_GRAYED, kMark, u"Mark");
  popup.SetDefaultItem(kCopy);

  driver.choice = kCopy;
  EXPECT_EQ(popup.TrackPopupMenu(TPM_RIGHTBUTTON | TPM_RETURNCMD, 5, 5, frame), static_cast<BOOL>(kCopy));
  EXPECT_TRUE(frame->commands.empty()) << "returned, not sent";
  EXPECT_EQ(driver.shownStates, (std::vector<UINT>{MF_DEFAULT, MF_GRAYED}));

  EXPECT_TRUE(popup.TrackPopupMenu(TPM_RIGHTBUTTON, 5, 5, frame));
  EXPECT_TRUE(frame->commands.empty()) << "the command runs after the pop-up returned";
  host.Pump();
  EXPECT_EQ(frame->commands, std::vector<UINT>{kCopy});

  driver.choice = kMark;
  EXPECT_EQ(popup.TrackPopupMenu(TPM_RETURNCMD, 5, 5, frame), 0) << "a disabled item cannot be chosen";
  platform::core::SetMenuDriver(nullptr);
}

TEST_F(PlatformMenus, TheMainFramesEndEndsTheProgram) {
  CWinApp app;
  app.m_pMainWnd = frame;
  frame->PostMessage(WM_CLOSE);
  host.Pump();
  frame = nullptr; // it deleted itself
  int code = -1;
  EXPECT_TRUE(platform::core::QuitPending(&code));
  EXPECT_EQ(code, 0);
  EXPECT_EQ(app.m_pMainWnd, nullptr);
  platform::core::ClearQuit();
}
