// Message maps, reflection, the pre-translate chain, re-entrant sends,
// windows destroyed in their own handlers and stale handles (no Qt).

#include "RecordingWindow.h"

#include <gtest/gtest.h>

using platform::core::StandaloneHost;

namespace {

constexpr UINT BN_CLICKED = 0;
constexpr UINT NOTIFY_CODE = 0x1234;

// A control that toggles on its own reflected click; the _EX form lets the
// parent see the click as well when `passOn` is set.
class Toggle : public RecordingWindow {
public:
  int toggles = 0;
  int notified = 0;
  bool passOn = false;

protected:
  afx_msg BOOL OnClicked() {
    ++toggles;
    return passOn ? FALSE : TRUE;
  }
  afx_msg void OnNotifyReflect(NMHDR*, LRESULT* result) {
    ++notified;
    *result = 5;
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(Toggle, RecordingWindow)
  ON_CONTROL_REFLECT_EX(BN_CLICKED, OnClicked)
  ON_NOTIFY_REFLECT(NOTIFY_CODE, OnNotifyReflect)
END_MESSAGE_MAP()

class Parent : public RecordingWindow {
public:
  std::vector<int> commands;
  int sizes = 0;
  int paints = 0;
  LRESULT privateAnswer = 0;

protected:
  afx_msg void OnButton() { commands.push_back(7); }
  afx_msg void OnOther() { commands.push_back(8); }
  afx_msg void OnSize(UINT type, int cx, int cy) {
    ++sizes;
    CWnd::OnSize(type, cx, cy);
  }
  afx_msg LRESULT OnPrivate(WPARAM wParam, LPARAM lParam) { return privateAnswer + static_cast<LRESULT>(wParam + lParam); }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(Parent, RecordingWindow)
  ON_COMMAND(7, OnButton)
  ON_CONTROL(BN_CLICKED, 8, OnOther)
  ON_WM_SIZE()
  ON_MESSAGE(WM_APP + 3, OnPrivate)
END_MESSAGE_MAP()

// A derived class overrides one handler; its base map still serves the rest.
class DerivedParent : public Parent {
public:
  int derivedPaints = 0;

protected:
  afx_msg void OnPaint() {
    ++derivedPaints;
    CWnd::OnPaint();
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(DerivedParent, Parent)
  ON_WM_PAINT()
END_MESSAGE_MAP()

class PlatformDispatch : public ::testing::Test {
protected:
  StandaloneHost host;
};

TEST_F(PlatformDispatch, MapsChainToTheirBaseClassesAndPassValues) {
  DerivedParent parent;
  ASSERT_TRUE(parent.CreateTop());
  EXPECT_EQ(parent.sizes, 1) << "creation sends WM_SIZE through the base class's map";
  parent.privateAnswer = 100;
  EXPECT_EQ(parent.SendMessage(WM_APP + 3, 2, 3), 105);
  host.Pump();
  EXPECT_EQ(parent.derivedPaints, 1);
  parent.MoveWindow(0, 0, 300, 120);
  EXPECT_EQ(parent.sizes, 2);
}

TEST_F(PlatformDispatch, NotificationsReachTheChildFirstAndTheParentAsItsMapSays) {
  Parent parent;
  ASSERT_TRUE(parent.CreateTop());
  Toggle button, plain;
  ASSERT_TRUE(button.CreateChild(&parent, 7));
  ASSERT_TRUE(plain.CreateChild(&parent, 8));

  const auto click = [&](CWnd& control) {
    parent.SendMessage(WM_COMMAND, MAKEWPARAM(control.GetDlgCtrlID(), BN_CLICKED),
                       reinterpret_cast<LPARAM>(control.m_hWnd));
  };
  click(button);
  EXPECT_EQ(button.toggles, 1);
  EXPECT_TRUE(parent.commands.empty()) << "the child took the click";
  button.passOn = true;
  click(button);
  EXPECT_EQ(button.toggles, 2);
  EXPECT_EQ(parent.commands, std::vector<int>{7}) << "the _EX handler passed the click on";
  plain.passOn = true;
  click(plain);
  EXPECT_EQ(parent.commands, (std::vector<int>{7, 8}));
  // A command without a control (menu, accelerator) goes straight to the map.
  parent.SendMessage(WM_COMMAND, MAKEWPARAM(7, 0), 0);
  EXPECT_EQ(parent.commands, (std::vector<int>{7, 8, 7}));

  NMHDR header{button.m_hWnd, 7, NOTIFY_CODE};
  EXPECT_EQ(parent.SendMessage(WM_NOTIFY, 7, reinterpret_cast<LPARAM>(&header)), 5);
  EXPECT_EQ(button.notified, 1);
}

class Eater : public RecordingWindow {
public:
  std::vector<HWND>* order = nullptr;
  UINT eats = 0;
  BOOL PreTranslateMessage(MSG* msg) override {
    order->push_back(m_hWnd);
    return msg->message == eats;
  }
};

class App : public CWinApp {
public:
  std::vector<HWND>* order = nullptr;
  BOOL PreTranslateMessage(MSG* msg) override {
    order->push_back(nullptr);
    if (msg->message == WM_LBUTTONDOWN) return TRUE; // a splash eating clicks
    return CWinApp::PreTranslateMessage(msg);
  }
};

TEST_F(PlatformDispatch, PumpedMessagesPassTheApplicationThenTheWindowChain) {
  std::vector<HWND> order;
  Eater top, middle, leaf;
  top.order = middle.order = leaf.order = &order;
  ASSERT_TRUE(top.CreateTop());
  ASSERT_TRUE(middle.CreateChild(&top, 1));
  ASSERT_TRUE(leaf.CreateChild(&middle, 2));
  middle.eats = WM_KEYDOWN;
  host.Pump();
  leaf.log.clear();
  {
    App app;
    app.order = &order;
    leaf.PostMessage(WM_KEYDOWN, VK_RETURN);
    leaf.PostMessage(WM_KEYUP, VK_RETURN);
    leaf.PostMessage(WM_LBUTTONDOWN);
    host.Pump();
  }
  EXPECT_EQ(order, (std::vector<HWND>{nullptr, leaf.m_hWnd, middle.m_hWnd,                 // eaten by middle
                                      nullptr, leaf.m_hWnd, middle.m_hWnd, top.m_hWnd, // passed through
                                      nullptr}));                                      // eaten by the app
  EXPECT_EQ(leaf.Messages(WM_KEYDOWN, WM_LBUTTONDOWN), std::vector<UINT>{WM_KEYUP});
  // A sent message bypasses the chain.
  order.clear();
  leaf.SendMessage(WM_KEYDOWN, VK_RETURN);
  EXPECT_TRUE(order.empty());
}

TEST_F(PlatformDispatch, SameThreadSendsReenterAndEchoesArriveBeforeTheSendReturns) {
  RecordingWindow palette, view;
  ASSERT_TRUE(palette.CreateTop());
  ASSERT_TRUE(view.CreateTop());
  std::vector<int> trace;
  palette.hooks[WM_APP + 1] = [&](WPARAM, LPARAM) {
    trace.push_back(1);
    view.SendMessage(WM_APP + 2);
    trace.push_back(4);
    return LRESULT{0};
  };
  view.hooks[WM_APP + 2] = [&](WPARAM, LPARAM) {
    trace.push_back(2);
    palette.SendMessage(WM_APP + 3); // the echo
    return LRESULT{0};
  };
  palette.hooks[WM_APP + 3] = [&](WPARAM, LPARAM) {
    trace.push_back(3);
    return LRESULT{0};
  };
  palette.SendMessage(WM_APP + 1);
  EXPECT_EQ(trace, (std::vector<int>{1, 2, 3, 4}));
}

// A palette that owns itself: it deletes itself once its window is gone.
class SelfDeleting : public RecordingWindow {
public:
  static inline int deleted = 0;
  ~SelfDeleting() override { ++deleted; }
  void PostNcDestroy() override { delete this; }
};

TEST_F(PlatformDispatch, AWindowDestroyedInItsOwnHandlerIsClean) {
  auto* palette = new SelfDeleting;
  ASSERT_TRUE(palette->CreateTop());
  RecordingWindow child;
  ASSERT_TRUE(child.CreateChild(palette, 3));
  const HWND hwnd = palette->m_hWnd;
  palette->hooks[WM_APP + 1] = [palette](WPARAM, LPARAM) {
    palette->DestroyWindow(); // deletes the object too
    return LRESULT{9};
  };
  palette->PostMessage(WM_APP + 1);
  palette->PostMessage(WM_APP + 2); // queued behind: dropped
  host.Pump();
  EXPECT_EQ(SelfDeleting::deleted, 1);
  EXPECT_FALSE(IsWindow(hwnd));
  EXPECT_EQ(child.m_hWnd, nullptr) << "children go with their parent";

  RecordingWindow closing;
  ASSERT_TRUE(closing.CreateTop());
  closing.hooks[WM_LBUTTONDOWN] = [&](WPARAM, LPARAM) {
    closing.SendMessage(WM_CLOSE); // the default destroys the window
    return LRESULT{0};
  };
  closing.SendMessage(WM_LBUTTONDOWN);
  EXPECT_EQ(closing.m_hWnd, nullptr);
}

TEST_F(PlatformDispatch, StaleHandlesNeverReachANewerWindow) {
  RecordingWindow first;
  ASSERT_TRUE(first.CreateTop());
  const HWND stale = first.m_hWnd;
  first.DestroyWindow();
  RecordingWindow second; // may take the same slot
  ASSERT_TRUE(second.CreateTop());
  EXPECT_NE(second.m_hWnd, stale);
  EXPECT_FALSE(IsWindow(stale));
  EXPECT_EQ(::SendMessage(stale, WM_APP, 0, 0), 0);
  EXPECT_EQ(CWnd::FromHandle(stale), nullptr);
  EXPECT_EQ(CWnd::FromHandle(second.m_hWnd), &second);
}

class Refusing : public RecordingWindow {
protected:
  afx_msg int OnCreate(LPCREATESTRUCT) { return -1; }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(Refusing, RecordingWindow)
  ON_WM_CREATE()
END_MESSAGE_MAP()

TEST_F(PlatformDispatch, CreationFailsWhenWmCreateAnswersMinusOne) {
  Refusing window;
  EXPECT_FALSE(window.CreateTop());
  EXPECT_EQ(window.m_hWnd, nullptr);
  EXPECT_EQ(window.Count(WM_CREATE), 0u) << "not recorded: WM_CREATE is creation chatter";
}

TEST(PlatformRegisteredMessages, OneNumberPerNameFromTheRegisteredRange) {
  const UINT a = RegisterWindowMessageW(u"TM_DIRECTXNOTIFY_MESSAGE");
  const UINT b = RegisterWindowMessageW(u"TM_DIRECTXMUSICNOTIFY_MESSAGE");
  EXPECT_GE(a, 0xC000u);
  EXPECT_NE(a, b);
  EXPECT_EQ(RegisterWindowMessageW(u"tm_directxnotify_message"), a) << "names compare without case";
  EXPECT_EQ(RegisterWindowMessageW(u""), 0u);
}

} // namespace
