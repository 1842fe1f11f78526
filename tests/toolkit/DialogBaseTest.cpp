// The toolkit's dialog, form-view and splitter bases: a modal dialog
// disables exactly the top windows that were enabled and enables exactly
// those again in the same order (nested dialogs and runs ended by an
// exception included), dialogs and form views erase grey, form views lay
// their controls out after every resize, splitter bars and borders are grey.

#include "ToolkitTestWindows.h"
#include "platform/testing/Headless.h"
#include "toolkit/CDialogBase.h"
#include "toolkit/CFormViewBase.h"
#include "toolkit/CSplitterWndBase.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace pt = platform::testing;

namespace {

constexpr UINT kTemplate = 600;
constexpr COLORREF kGrey = RGB(89, 89, 89);

std::vector<std::string> g_enables; // "name+" or "name-" as windows are enabled and disabled

// A top window of the program (main frame, review window, palette).
class TopWindow : public CWnd {
public:
  explicit TopWindow(std::string n) : name(std::move(n)) {}
  std::string name;
  BOOL Make(int x) { return CreateEx(0, u"Top", u"", WS_POPUP | WS_VISIBLE, CRect(x, 10, x + 100, 110), nullptr, 0); }

protected:
  afx_msg void OnEnable(BOOL enable) { g_enables.push_back(name + (enable ? "+" : "-")); }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(TopWindow, CWnd)
  ON_WM_ENABLE()
END_MESSAGE_MAP()

class Collector : public ITopWindowCollector {
public:
  std::vector<CWnd*> windows;
  void CollectTopWindows(std::vector<CWnd*>& out) override { out.insert(out.end(), windows.begin(), windows.end()); }
};

class Throwing : public CDialogBase {
public:
  using CDialogBase::CDialogBase;

protected:
  afx_msg void OnBoom() { throw std::runtime_error("a handler failed"); }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(Throwing, CDialogBase)
  ON_COMMAND(77, OnBoom)
END_MESSAGE_MAP()

class DialogBase : public ::testing::Test {
protected:
  void SetUp() override {
    pt::Init();
    DialogTemplate t;
    t.id = kTemplate;
    t.size = {120, 60};
    DialogItemTemplate edit;
    edit.id = 1001;
    edit.className = WC_EDIT;
    edit.style = WS_VISIBLE | WS_TABSTOP;
    edit.rect = {10, 10, 110, 24};
    t.items.push_back(edit);
    ASSERT_TRUE(platform::RegisterDialogTemplate(t));
    for (auto [window, x] : {std::pair{&main, 0}, {&review1, 200}, {&review2, 400}, {&palette, 600}}) {
      ASSERT_TRUE(window->Make(x));
    }
    collector.windows = {&main, &review1, &review2, &palette};
    SetTopWindowCollector(&collector);
    app.m_pMainWnd = &main;
    pt::Pump();
    g_enables.clear();
  }
  void TearDown() override {
    SetTopWindowCollector(nullptr);
    app.m_pMainWnd = nullptr;
    EXPECT_EQ(pt::PendingModalScripts(), 0u);
  }
  bool AllEnabled() {
    return main.IsWindowEnabled() && review1.IsWindowEnabled() && review2.IsWindowEnabled() && palette.IsWindowEnabled();
  }
  CWinApp app;
  TopWindow main{"main"}, review1{"review1"}, review2{"review2"}, palette{"palette"};
  Collector collector;
};

} // namespace

TEST_F(DialogBase, AModalDialogDisablesTheEnabledTopWindowsAndEnablesExactlyThoseInOrder) {
  review2.EnableWindow(FALSE); // behind another dialog already
  g_enables.clear();
  CDialogBase dialog(kTemplate, &main);
  std::vector<CWnd*> disabled;
  pt::OnNextModal([&](HWND hwnd) {
    disabled = dialog.DisabledWindows();
    EXPECT_FALSE(main.IsWindowEnabled());
    EXPECT_FALSE(palette.IsWindowEnabled());
    EndDialog(hwnd, IDOK);
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(disabled, (std::vector<CWnd*>{&main, &review1, &palette}));
  EXPECT_EQ(g_enables, (std::vector<std::string>{"main-", "review1-", "palette-", "main+", "review1+", "palette+"}));
  EXPECT_FALSE(review2.IsWindowEnabled()) << "left to whoever disabled it";
  EXPECT_TRUE(dialog.DisabledWindows().empty());
}

TEST_F(DialogBase, ASecondDialogFromTheFirstDisablesNothingNewAndTheFirstRestoresThemAll) {
  CDialogBase outer(kTemplate, &main);
  pt::OnNextModal([&](HWND) {
    CDialogBase inner(kTemplate, &outer);
    pt::OnNextModal([&](HWND hwnd) {
      EXPECT_TRUE(inner.DisabledWindows().empty());
      EndDialog(hwnd, IDCANCEL);
    });
    EXPECT_EQ(inner.DoModal(), IDCANCEL);
    EXPECT_FALSE(main.IsWindowEnabled()) << "the inner dialog enabled nothing";
    EXPECT_FALSE(palette.IsWindowEnabled());
    outer.EndDialog(IDOK);
  });
  EXPECT_EQ(outer.DoModal(), IDOK);
  EXPECT_TRUE(AllEnabled());
}

TEST_F(DialogBase, ADialogEndedByAnExceptionStillEnablesWhatItDisabled) {
  CDialogBase outer(kTemplate, &main);
  Throwing inner(kTemplate, &outer);
  pt::OnNextModal([&](HWND) {
    pt::OnNextModal([&](HWND hwnd) { PostMessageW(hwnd, WM_COMMAND, 77, 0); });
    inner.DoModal();
  });
  EXPECT_THROW(outer.DoModal(), std::runtime_error);
  EXPECT_TRUE(AllEnabled());
  EXPECT_EQ(outer.m_hWnd, nullptr);
  EXPECT_EQ(inner.m_hWnd, nullptr);
}

TEST_F(DialogBase, WithoutAMainWindowOnlyTheFrameworkDisablesTheParent) {
  app.m_pMainWnd = nullptr;
  CDialogBase dialog(kTemplate, &review1);
  pt::OnNextModal([&](HWND hwnd) {
    EXPECT_TRUE(dialog.DisabledWindows().empty());
    EXPECT_FALSE(review1.IsWindowEnabled()) << "its parent";
    EXPECT_TRUE(main.IsWindowEnabled());
    EXPECT_TRUE(palette.IsWindowEnabled());
    EndDialog(hwnd, IDOK);
  });
  dialog.DoModal();
  EXPECT_TRUE(AllEnabled());
}

TEST_F(DialogBase, ADialogErasesGreyAndLeavesTheControlsColoursToTheSystem) {
  CDialogBase dialog(kTemplate, &main);
  COLORREF background = 0, edit = 0;
  pt::OnNextModal([&](HWND hwnd) {
    pt::Pump();
    const pt::PixelImage shot = pt::GrabClient(hwnd);
    background = pt::PixelAt(shot, 170, 80);
    edit = pt::PixelAt(shot, 100, 24);
    EndDialog(hwnd, IDOK);
  });
  dialog.DoModal();
  EXPECT_EQ(background, kGrey);
  EXPECT_EQ(edit, RGB(255, 255, 255)) << "the edit keeps the system's white";
}

namespace {

class Form : public CFormViewBase {
public:
  Form() : CFormViewBase(kTemplate + 1) {}
  int layouts = 0;
  int draws = 0;
  CRect laidOut;
  void LayoutControls() override {
    ++layouts;
    GetClientRect(laidOut);
  }
  void DrawContent(CDC* dc) override {
    ++draws;
    dc->FillSolidRect(CRect(0, 0, 10, 10), RGB(255, 0, 0));
  }

protected:
  void PostNcDestroy() override {}
};

} // namespace

TEST_F(DialogBase, AFormViewLaysOutAfterEveryResizeAndPaintsItsContentOnGrey) {
  DialogTemplate t;
  t.id = kTemplate + 1;
  t.style = WS_CHILD;
  t.size = {100, 100};
  ASSERT_TRUE(platform::RegisterDialogTemplate(t));
  Form form;
  ASSERT_TRUE(form.Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, CRect(0, 0, 90, 90), &main, AFX_IDW_PANE_FIRST));
  form.layouts = 0;
  form.MoveWindow(0, 0, 80, 70);
  EXPECT_EQ(form.layouts, 1);
  EXPECT_EQ(form.laidOut, CRect(0, 0, 80, 70)) << "after the framework's own size handling";
  pt::Pump();
  EXPECT_GT(form.draws, 0);
  const pt::PixelImage shot = pt::GrabClient(form);
  EXPECT_EQ(pt::PixelAt(shot, 5, 5), RGB(255, 0, 0));
  EXPECT_EQ(pt::PixelAt(shot, 50, 50), kGrey);
}

namespace {

class Pane : public CView {
  DECLARE_DYNCREATE(Pane)
protected:
  void OnDraw(CDC* dc) override {
    CRect r;
    GetClientRect(r);
    dc->FillSolidRect(r, RGB(255, 255, 255));
  }
};
IMPLEMENT_DYNCREATE(Pane, CView)

} // namespace

TEST_F(DialogBase, ASplittersBarIsGreyAndItsPaneBordersAFourPixelGreyOutline) {
  main.MoveWindow(0, 0, 300, 200);
  CSplitterWndBase splitter;
  ASSERT_TRUE(splitter.CreateStatic(&main, 1, 2));
  ASSERT_TRUE(splitter.CreateView(0, 0, RUNTIME_CLASS(Pane), CSize(100, 100), nullptr));
  ASSERT_TRUE(splitter.CreateView(0, 1, RUNTIME_CLASS(Pane), CSize(100, 100), nullptr));
  splitter.RecalcLayout();
  pt::Pump();
  const pt::PixelImage shot = pt::GrabClient(splitter);
  pt::SavePng(shot, "SplitterBase.png");
  EXPECT_EQ(pt::PixelAt(shot, 107, 100), kGrey) << "the bar";
  EXPECT_EQ(pt::PixelAt(shot, 0, 100), kGrey) << "the left pane's border";
  EXPECT_EQ(pt::PixelAt(shot, 50, 1), kGrey);
  EXPECT_EQ(pt::PixelAt(shot, 50, 100), RGB(255, 255, 255)) << "the pane itself";
}
