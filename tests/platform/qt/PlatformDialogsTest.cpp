// Dialogs from template tables, headless: templates refused when they name a
// control twice or place one outside, modal runs that return EndDialog's
// code and disable and re-enable their owner exactly (nested runs and runs
// ended by an exception included), the dialog keys, the colour request that
// erases a dialog, modeless dialogs, focus order, and the pre-translate
// chain (the application first, then the windows, then accelerators; a
// hosted edit's keys pass it before Qt sees them).

#include "TestDialogs.h"
#include "platform/core/Core.h"
#include "platform/core/UiServices.h"
#include "platform/testing/Headless.h"

#include <stdexcept>

namespace pt = platform::testing;

namespace {

constexpr UINT kTemplate = 500;
constexpr int kName = 1001, kNumber = 1002, kList = 1003, kHidden = 1004, kDisabled = 1005, kLabel = IDC_STATIC;

void RegisterTestTemplate() {
  ASSERT_TRUE(platform::RegisterDialogTemplate(
      Dialog(kTemplate, {200, 100},
             {Item(kLabel, u"Label", 0, {4, 4, 60, 12}),
              Item(kName, WC_EDIT, WS_TABSTOP | ES_AUTOHSCROLL, {64, 4, 196, 16}, u"first"),
              Item(kLabel, u"Label", 0, {4, 20, 60, 28}),
              Item(kNumber, WC_EDIT, WS_TABSTOP, {64, 20, 196, 32}),
              Item(kHidden, WC_EDIT, WS_TABSTOP, {64, 36, 196, 48}),
              Item(kDisabled, WC_EDIT, WS_TABSTOP | WS_DISABLED, {64, 52, 196, 64}),
              Item(kList, WC_LISTBOX, WS_TABSTOP | WS_BORDER, {4, 36, 60, 96}),
              Item(IDOK, u"TestButton", WS_TABSTOP, {80, 80, 130, 94}, u"OK"),
              Item(IDCANCEL, u"TestButton", WS_TABSTOP, {140, 80, 190, 94}, u"Cancel")})));
}

// A dialog that binds its buttons, records what it saw and may throw.
class TestDialog : public CDialog {
public:
  explicit TestDialog(CWnd* parent, UINT id = kTemplate) : CDialog(id, parent) {}
  std::vector<std::string> events;
  bool throwOnNumber = false;
  bool hideField = true;
  COLORREF erase = CLR_INVALID; // the CTLCOLOR_DLG answer's colour, or the default
  TestButton ok, cancel;

protected:
  void DoDataExchange(CDataExchange* dx) override {
    DDX_Control(dx, IDOK, ok);
    DDX_Control(dx, IDCANCEL, cancel);
  }
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    events.push_back("init");
    if (hideField) GetDlgItem(kHidden)->ShowWindow(SW_HIDE);
    return TRUE;
  }
  void OnOK() override {
    events.push_back("ok");
    CDialog::OnOK();
  }
  void OnCancel() override {
    events.push_back("cancel");
    CDialog::OnCancel();
  }
  afx_msg void OnNumberChanged() {
    if (throwOnNumber) throw std::runtime_error("a handler failed");
  }
  afx_msg HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT kind) {
    if (kind == CTLCOLOR_DLG && erase != CLR_INVALID) {
      m_brush.DeleteObject();
      m_brush.CreateSolidBrush(erase);
      return m_brush;
    }
    return CDialog::OnCtlColor(dc, wnd, kind);
  }
  DECLARE_MESSAGE_MAP()

private:
  CBrush m_brush;
};
BEGIN_MESSAGE_MAP(TestDialog, CDialog)
  ON_CONTROL(EN_CHANGE, kNumber, OnNumberChanged)
  ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

class PlatformDialogs : public ::testing::Test {
protected:
  void SetUp() override {
    pt::Init();
    RegisterTestTemplate();
    ASSERT_TRUE(owner.Make());
    pt::Pump();
  }
  void TearDown() override { EXPECT_EQ(pt::PendingModalScripts(), 0u) << "every script ran"; }
  Owner owner;
};

} // namespace

TEST_F(PlatformDialogs, TemplatesThatCannotBeBuiltAreRefused) {
  struct Case {
    const char* what;
    DialogTemplate dialog;
    const char* reason;
  };
  const Case cases[] = {
      {"an id named twice",
       Dialog(900, {100, 50}, {Item(7, WC_EDIT, 0, {0, 0, 10, 10}), Item(7, WC_LISTBOX, 0, {20, 0, 30, 10})}),
       "id named twice"},
      {"a control beyond the right edge", Dialog(901, {100, 50}, {Item(7, WC_EDIT, 0, {90, 0, 101, 10})}),
       "outside the dialog"},
      {"a control above the top", Dialog(902, {100, 50}, {Item(7, WC_EDIT, 0, {0, -1, 10, 10})}), "outside the dialog"},
      {"an inverted rectangle", Dialog(903, {100, 50}, {Item(7, WC_EDIT, 0, {20, 0, 10, 10})}), "inverted"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(platform::RegisterDialogTemplate(c.dialog, &error)) << c.what;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.what << ": " << error;
    EXPECT_EQ(platform::FindDialogTemplate(c.dialog.id), nullptr) << c.what;
  }
  EXPECT_TRUE(platform::RegisterDialogTemplate(
      Dialog(904, {100, 50}, {Item(IDC_STATIC, u"Label", 0, {0, 0, 10, 10}), Item(IDC_STATIC, u"Label", 0, {0, 20, 10, 30})})))
      << "labels share IDC_STATIC";
  TestDialog missing(&owner, 999);
  EXPECT_EQ(missing.DoModal(), -1) << "no template";
  EXPECT_TRUE(owner.IsWindowEnabled());
}

TEST_F(PlatformDialogs, ControlsArePlacedInFixedDialogUnitsWithTheDialogsFont) {
  TestDialog dialog(&owner);
  RECT edit{}, client{};
  HFONT font = nullptr;
  pt::OnNextModal([&](HWND hwnd) {
    GetClientRect(hwnd, &client);
    HWND name = GetDlgItem(hwnd, kName);
    GetWindowRect(name, &edit);
    ScreenToClient(hwnd, reinterpret_cast<POINT*>(&edit.left));
    ScreenToClient(hwnd, reinterpret_cast<POINT*>(&edit.right));
    font = reinterpret_cast<HFONT>(SendMessageW(name, WM_GETFONT, 0, 0));
    EndDialog(hwnd, IDOK);
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(client, (RECT{0, 0, 300, 163})) << "200 x 100 units: 6/4 and 13/8 pixels each";
  EXPECT_EQ(edit, (RECT{96, 7, 294, 26}));
  EXPECT_NE(font, nullptr) << "the template's font, 8 points";
  EXPECT_EQ(dialog.events, std::vector<std::string>{"init"});
  EXPECT_EQ(dialog.m_hWnd, nullptr) << "destroyed before DoModal returned";
}

TEST_F(PlatformDialogs, AModalRunReturnsTheEndDialogCodeAndDisablesOnlyItsOwner) {
  Owner other;
  ASSERT_TRUE(other.Make({800, 100, 900, 200}));
  CEdit ownersChild;
  ASSERT_TRUE(ownersChild.Create(WS_VISIBLE, CRect(5, 5, 100, 25), &owner, 7));
  TestDialog dialog(&owner);
  bool ownerEnabledInside = true, otherEnabledInside = false, childEnabledInside = false;
  bool ownersChildEnabledInside = false, activeInside = false;
  pt::OnNextModal([&](HWND hwnd) {
    ownerEnabledInside = owner.IsWindowEnabled();
    otherEnabledInside = other.IsWindowEnabled();
    childEnabledInside = IsWindowEnabled(GetDlgItem(hwnd, kName)) && IsWindowEnabled(dialog.ok);
    ownersChildEnabledInside = ownersChild.IsWindowEnabled();
    activeInside = GetActiveWindow() == hwnd;
    EndDialog(hwnd, 42);
  });
  EXPECT_EQ(dialog.DoModal(), 42);
  EXPECT_FALSE(ownerEnabledInside);
  EXPECT_TRUE(otherEnabledInside) << "the framework disables only the owner";
  EXPECT_TRUE(childEnabledInside);
  EXPECT_TRUE(ownersChildEnabledInside) << "a child asks only its own state, not its disabled owner's";
  EXPECT_TRUE(activeInside);
  EXPECT_TRUE(owner.IsWindowEnabled());
  EXPECT_EQ(CWnd::GetActiveWindow(), &owner) << "the owner is active again";
}

TEST_F(PlatformDialogs, EnterAndEscapeEndTheRunThroughOkAndCancel) {
  struct Case {
    const char* what;
    std::function<void(HWND, TestDialog&)> act;
    int result;
    std::vector<std::string> events;
  };
  const Case cases[] = {
      {"Enter in an edit: IDOK", [](HWND, TestDialog&) { pt::SystemKey(VK_RETURN); }, IDOK, {"init", "ok"}},
      {"Escape: IDCANCEL", [](HWND, TestDialog&) { pt::SystemKey(VK_ESCAPE); }, IDCANCEL, {"init", "cancel"}},
      {"the close box: IDCANCEL", [](HWND hwnd, TestDialog&) { PostMessageW(hwnd, WM_CLOSE, 0, 0); }, IDCANCEL,
       {"init", "cancel"}},
      {"Enter with Cancel as the default button",
       [](HWND, TestDialog& d) {
         d.ok.isDefault = false;
         d.cancel.isDefault = true;
         pt::SystemKey(VK_RETURN);
       },
       IDCANCEL, {"init", "cancel"}},
      {"a click of the OK button",
       [](HWND, TestDialog& d) { pt::Click(d.ok, {5, 5}); }, IDOK, {"init", "ok"}},
  };
  for (const Case& c : cases) {
    TestDialog dialog(&owner);
    pt::OnNextModal([&](HWND hwnd) { c.act(hwnd, dialog); });
    EXPECT_EQ(dialog.DoModal(), c.result) << c.what;
    EXPECT_EQ(dialog.events, c.events) << c.what;
  }
  // A disabled default button takes no Enter.
  TestDialog dialog(&owner);
  pt::OnNextModal([&](HWND hwnd) {
    dialog.ok.EnableWindow(FALSE);
    pt::SystemKey(VK_RETURN);
    EXPECT_EQ(dialog.events, std::vector<std::string>{"init"});
    EndDialog(hwnd, 7);
  });
  EXPECT_EQ(dialog.DoModal(), 7);
}

TEST_F(PlatformDialogs, TabMovesTheFocusInTemplateOrderPastHiddenAndDisabledControls) {
  TestDialog dialog(&owner);
  std::vector<int> visited;
  pt::OnNextModal([&](HWND hwnd) {
    for (int i = 0; i < 6; ++i) {
      visited.push_back(GetDlgCtrlID(GetFocus()));
      pt::SystemKey(VK_TAB);
    }
    pt::InputFrame shift = pt::Input().Current();
    shift.shift = true;
    pt::Input().SetCurrent(shift);
    pt::SystemKey(VK_TAB);
    visited.push_back(GetDlgCtrlID(GetFocus()));
    shift.shift = false;
    pt::Input().SetCurrent(shift);
    EndDialog(hwnd, IDOK);
  });
  dialog.DoModal();
  EXPECT_EQ(visited, (std::vector<int>{kName, kNumber, kList, IDOK, IDCANCEL, kName, kName})) << "Shift+Tab goes back";
}

TEST_F(PlatformDialogs, TheDialogIsErasedWithTheBrushItsColourRequestGives) {
  struct Case {
    COLORREF answer;
    COLORREF shown;
  };
  for (const Case c : {Case{RGB(89, 89, 89), RGB(89, 89, 89)}, Case{CLR_INVALID, RGB(240, 240, 240)}}) {
    TestDialog dialog(&owner);
    dialog.erase = c.answer;
    COLORREF pixel = 0;
    pt::OnNextModal([&](HWND hwnd) {
      pt::Pump();
      pixel = pt::PixelAt(pt::GrabClient(hwnd), 290, 5);
      EndDialog(hwnd, IDOK);
    });
    dialog.DoModal();
    EXPECT_EQ(pixel, c.shown) << "CTLCOLOR_DLG";
  }
}

TEST_F(PlatformDialogs, NestedRunsDisableNothingNewAndRestoreEverything) {
  TestDialog outer(&owner);
  bool ownerInside = true, outerInside = true;
  pt::OnNextModal([&](HWND) {
    TestDialog inner(&outer);
    pt::OnNextModal([&](HWND hwnd) {
      ownerInside = owner.IsWindowEnabled();
      outerInside = outer.IsWindowEnabled();
      EndDialog(hwnd, IDCANCEL);
    });
    EXPECT_EQ(inner.DoModal(), IDCANCEL);
    EXPECT_FALSE(owner.IsWindowEnabled()) << "the outer run still holds its owner";
    EXPECT_TRUE(outer.IsWindowEnabled()) << "the inner run gave its owner back";
    outer.EndDialog(IDOK);
  });
  EXPECT_EQ(outer.DoModal(), IDOK);
  EXPECT_FALSE(ownerInside);
  EXPECT_FALSE(outerInside);
  EXPECT_TRUE(owner.IsWindowEnabled());
}

TEST_F(PlatformDialogs, ARunEndedByAnExceptionStillRestoresItsOwners) {
  TestDialog outer(&owner);
  TestDialog inner(&outer);
  inner.throwOnNumber = true;
  pt::OnNextModal([&](HWND) {
    pt::OnNextModal([&](HWND hwnd) { SetDlgItemTextW(hwnd, kNumber, u"12"); });
    inner.DoModal();
  });
  EXPECT_THROW(outer.DoModal(), std::runtime_error);
  EXPECT_TRUE(owner.IsWindowEnabled());
  EXPECT_EQ(inner.m_hWnd, nullptr);
  EXPECT_EQ(outer.m_hWnd, nullptr);
  // The handler's exception also arrives when it is thrown inside the window
  // system's own dispatch (a key the hosted edit passed on).
  TestDialog again(&owner);
  again.throwOnNumber = true;
  pt::OnNextModal([&](HWND hwnd) {
    SetFocus(GetDlgItem(hwnd, kNumber));
    pt::SystemType(u"7");
  });
  EXPECT_THROW(again.DoModal(), std::runtime_error);
  EXPECT_TRUE(owner.IsWindowEnabled());
}

TEST_F(PlatformDialogs, AModelessDialogShowsAndHidesWithoutALoop) {
  DialogTemplate t = Dialog(kTemplate + 1, {100, 40}, {Item(kName, WC_EDIT, WS_TABSTOP, {4, 4, 96, 16})});
  t.style |= WS_VISIBLE;
  ASSERT_TRUE(platform::RegisterDialogTemplate(t));
  CDialog palette;
  ASSERT_TRUE(palette.Create(kTemplate + 1, &owner));
  pt::Pump();
  EXPECT_TRUE(palette.IsWindowVisible());
  EXPECT_TRUE(owner.IsWindowEnabled());
  EXPECT_EQ(palette.GetOwner(), &owner);
  palette.EndDialog(IDOK);
  EXPECT_FALSE(palette.IsWindowVisible());
  EXPECT_TRUE(IsWindow(palette.m_hWnd));
}

namespace {

// The application's first look: a splash eats every click.
class SplashApp : public CWinApp {
public:
  bool splash = true;
  std::vector<UINT> seen;
  BOOL PreTranslateMessage(MSG* msg) override {
    seen.push_back(msg->message);
    if (splash && msg->message == WM_LBUTTONDOWN) return TRUE;
    return CWinApp::PreTranslateMessage(msg);
  }
};

// A window that keeps Enter for itself, as the rename edit does.
class EnterEater : public CWnd {
public:
  int enters = 0;
  BOOL PreTranslateMessage(MSG* msg) override {
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN) {
      ++enters;
      return TRUE;
    }
    return FALSE;
  }
};

class Clicked : public CWnd {
public:
  int clicks = 0;

protected:
  afx_msg void OnLButtonDown(UINT, CPoint) { ++clicks; }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(Clicked, CWnd)
  ON_WM_LBUTTONDOWN()
END_MESSAGE_MAP()

} // namespace

TEST_F(PlatformDialogs, ThePreTranslateChainSeesKeysAndClicksFirst) {
  SplashApp app;
  Clicked target;
  ASSERT_TRUE(target.Create(u"Clicked", u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 50, 50), &owner, 1));
  pt::Click(target, {5, 5});
  EXPECT_EQ(target.clicks, 0) << "the splash ate the click";
  app.splash = false;
  pt::Click(target, {5, 5});
  EXPECT_EQ(target.clicks, 1);

  // A hosted edit: Enter reaches the window chain before Qt sees it.
  EnterEater host;
  ASSERT_TRUE(host.CreateEx(0, u"Host", u"", WS_POPUP | WS_VISIBLE, CRect(0, 0, 200, 100), nullptr, 0));
  CEdit edit;
  ASSERT_TRUE(edit.Create(WS_VISIBLE | ES_MULTILINE | ES_WANTRETURN, CRect(0, 0, 200, 60), &host, 9));
  edit.SetFocus();
  pt::SystemType(u"ab");
  pt::SystemKey(VK_RETURN);
  EXPECT_EQ(host.enters, 1);
  EXPECT_EQ(edit.GetWindowText(), u"ab") << "no line break: the key never reached the entry";
  EXPECT_NE(std::find(app.seen.begin(), app.seen.end(), static_cast<UINT>(WM_KEYDOWN)), app.seen.end())
      << "the application saw it first";
}

namespace {

// Ends a dialog when its posted message comes up.
class Ender : public Owner {
public:
  CDialog* dialog = nullptr;

protected:
  afx_msg LRESULT OnEnd(WPARAM code, LPARAM) {
    if (dialog) dialog->EndDialog(static_cast<int>(code));
    return 0;
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(Ender, Owner)
  ON_MESSAGE(WM_APP + 9, OnEnd)
END_MESSAGE_MAP()

} // namespace

TEST_F(PlatformDialogs, WithoutAScriptTheRunIsTheLayersOwnLoop) {
  platform::core::SetModalDriver(nullptr);
  Ender ender;
  ASSERT_TRUE(ender.Make({0, 0, 50, 50}));
  TestDialog dialog(&owner);
  ender.dialog = &dialog;
  ender.PostMessage(WM_APP + 9, 55);
  EXPECT_EQ(dialog.DoModal(), 55) << "the loop served the queue and ended with the dialog";
  EXPECT_TRUE(owner.IsWindowEnabled());
  pt::Init(); // puts the test drivers back
}

// The session ends: each step cancels the innermost modal dialog (as Esc
// does), then the main window is asked to close; once it has gone every loop
// ends.
TEST_F(PlatformDialogs, WhenTheSessionEndsModalDialogsAreCancelledThenTheMainWindowClosed) {
  CWinApp app(u"Session");
  app.m_pMainWnd = &owner;
  TestDialog outer(&owner);
  TestDialog inner(&owner);
  INT_PTR innerResult = 0;
  pt::OnNextModal([&](HWND) {
    pt::OnNextModal([&](HWND) { EXPECT_TRUE(platform::core::ContinueEndingSession()); });
    innerResult = inner.DoModal();
    EXPECT_TRUE(IsWindow(owner.m_hWnd)) << "the main window waits for the dialogs";
    EXPECT_TRUE(platform::core::ContinueEndingSession());
  });
  EXPECT_EQ(outer.DoModal(), IDCANCEL);
  EXPECT_EQ(innerResult, IDCANCEL);
  EXPECT_EQ(inner.events, (std::vector<std::string>{"init", "cancel"}));
  EXPECT_EQ(outer.events, (std::vector<std::string>{"init", "cancel"}));

  EXPECT_TRUE(platform::core::ContinueEndingSession());
  pt::Pump();
  EXPECT_FALSE(IsWindow(owner.m_hWnd)) << "closed as its close command does";
  app.m_pMainWnd = nullptr;
  EXPECT_FALSE(platform::core::ContinueEndingSession());
  EXPECT_TRUE(platform::core::QuitPending()) << "without a main window the loops end";
  platform::core::ClearQuit();
}
