// Frames, views, splitters and trackers on the Qt back end, headless: the
// menu bar's pop-ups show what the update handlers decided, accelerators
// arrive through the window system's keys, the window system's resizes and
// minimising pass WM_SIZING and WM_SYSCOMMAND first, WM_WINDOWPOSCHANGING
// may change the stacking, a splitter's bar moves within its limits and the
// panes follow it, a tracker follows scripted input, and form views come
// from templates.

#include "TestDialogs.h"
#include "platform/afx/AfxCtrls.h"
#include "platform/afx/AfxExt.h"
#include "platform/testing/Headless.h"

namespace pt = platform::testing;

namespace {

constexpr UINT kMenu = 128;
constexpr UINT kCopy = 57634, kMark = 32806, kRaw = 32837, kDelete = 32808;

void RegisterResources() {
  platform::RegisterMenuTemplate(
      kMenu, {{0, u"&Edit", 0, {{kCopy, u"&Copy\tCtrl+C", 0, {}}, {kMark, u"Mark\tCtrl+M", 0, {}}, {}, {kDelete, u"Delete\tDel", 0, {}}}},
              {0, u"&View", 0, {{kRaw, u"Raw only", 0, {}}}}});
  platform::RegisterAcceleratorTable(kMenu, {{FVIRTKEY | FCONTROL, 'C', kCopy},
                                             {FVIRTKEY | FCONTROL, 'M', kMark},
                                             {FVIRTKEY, VK_DELETE, kDelete}});
}

class Frame : public CFrameWnd {
public:
  std::vector<UINT> commands;
  std::vector<UINT> sysCommands;
  std::vector<UINT> sizes;
  bool selection = false;
  bool marked = false;
  bool refuseMinimise = false;

protected:
  afx_msg void OnCopy() { commands.push_back(kCopy); }
  afx_msg void OnMark() { commands.push_back(kMark); }
  afx_msg void OnDelete() { commands.push_back(kDelete); }
  afx_msg void OnUpdateCopy(CCmdUI* ui) { ui->Enable(selection); }
  afx_msg void OnUpdateMark(CCmdUI* ui) {
    ui->Enable(selection);
    ui->SetText(marked ? u"Unmark\tCtrl+M" : u"Mark\tCtrl+M");
  }
  afx_msg void OnUpdateRaw(CCmdUI* ui) { ui->SetCheck(1); }
  // At least 920 x 600, on the side being dragged.
  afx_msg void OnSizing(UINT side, LPRECT rect) {
    CFrameWnd::OnSizing(side, rect);
    const bool left = side == WMSZ_LEFT || side == WMSZ_TOPLEFT || side == WMSZ_BOTTOMLEFT;
    if (rect->right - rect->left < 920) {
      if (left) rect->left = rect->right - 920;
      else rect->right = rect->left + 920;
    }
  }
  afx_msg void OnSysCommand(UINT id, LPARAM lParam) {
    sysCommands.push_back(id & 0xFFF0);
    if (refuseMinimise && (id & 0xFFF0) == SC_MINIMIZE) return;
    CFrameWnd::OnSysCommand(id, lParam);
  }
  afx_msg void OnSize(UINT type, int cx, int cy) {
    sizes.push_back(type);
    CFrameWnd::OnSize(type, cx, cy);
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(Frame, CFrameWnd)
  ON_COMMAND(kCopy, OnCopy)
  ON_COMMAND(kMark, OnMark)
  ON_COMMAND(kDelete, OnDelete)
  ON_UPDATE_COMMAND_UI(kCopy, OnUpdateCopy)
  ON_UPDATE_COMMAND_UI(kMark, OnUpdateMark)
  ON_UPDATE_COMMAND_UI(kRaw, OnUpdateRaw)
  ON_WM_SIZING()
  ON_WM_SYSCOMMAND()
  ON_WM_SIZE()
END_MESSAGE_MAP()

class PlatformFrames : public ::testing::Test {
protected:
  void SetUp() override {
    pt::Init();
    RegisterResources();
    frame = new Frame;
    ASSERT_TRUE(frame->LoadFrame(kMenu, WS_OVERLAPPEDWINDOW));
    frame->MoveWindow(100, 100, 1000, 700);
    frame->ShowWindow(SW_SHOW);
    pt::Pump();
  }
  void TearDown() override {
    if (frame && IsWindow(frame->m_hWnd)) frame->DestroyWindow();
  }
  Frame* frame = nullptr;
};

const pt::ShownMenuItem* ItemOf(const pt::ShownMenu& menu, UINT id) {
  for (const pt::ShownMenuItem& item : menu) {
    if (item.id == id) return &item;
  }
  return nullptr;
}

} // namespace

TEST_F(PlatformFrames, TheMenuBarsPopupsShowWhatTheUpdateHandlersDecided) {
  CRect client;
  frame->GetClientRect(client);
  EXPECT_EQ(client.Height(), 700 - 2 - 20) << "the bar's band lies above the client area";
  frame->marked = true;
  pt::ShownMenu edit = pt::OpenMenuBarPopup(*frame, 0);
  ASSERT_EQ(edit.size(), 4u);
  ASSERT_NE(ItemOf(edit, kCopy), nullptr);
  EXPECT_EQ(ItemOf(edit, kCopy)->state & MF_GRAYED, MF_GRAYED) << "nothing selected";
  EXPECT_EQ(ItemOf(edit, kMark)->text, u"Unmark\tCtrl+M") << "the caption the handler set; the keys are only shown";
  EXPECT_EQ(edit[2].state, MF_SEPARATOR);
  EXPECT_EQ(ItemOf(pt::OpenMenuBarPopup(*frame, 1), kRaw)->state & MF_CHECKED, MF_CHECKED);

  frame->selection = true;
  edit = pt::OpenMenuBarPopup(*frame, 0, kCopy);
  EXPECT_EQ(ItemOf(edit, kCopy)->state & MF_GRAYED, 0u);
  EXPECT_EQ(frame->commands, std::vector<UINT>{kCopy}) << "the chosen item's command";
  frame->selection = false;
  pt::OpenMenuBarPopup(*frame, 0, kMark);
  EXPECT_EQ(frame->commands, std::vector<UINT>{kCopy}) << "a disabled item cannot be chosen";
}

TEST_F(PlatformFrames, AcceleratorsComeThroughTheKeysAfterTheWindowsHadTheirTurn) {
  frame->SetFocus();
  frame->selection = true;
  pt::SystemKeyWith('C', true, false, false);
  pt::SystemKeyWith(VK_DELETE, false, false, false);
  EXPECT_EQ(frame->commands, (std::vector<UINT>{kCopy, kDelete}));
  frame->selection = false;
  pt::SystemKeyWith('M', true, false, false);
  EXPECT_EQ(frame->commands.size(), 2u) << "the update disabled the command: its key does nothing";
  pt::SystemKeyWith('C', false, false, false);
  EXPECT_EQ(frame->commands.size(), 2u) << "no Ctrl, no accelerator";
}

TEST_F(PlatformFrames, AResizeByThePersonPassesWmSizingWithTheDraggedEdge) {
  // The left edge dragged to the right, leaving 600 pixels: the handler keeps 920.
  pt::SystemResize(*frame, {500, 100, 1100, 800});
  CRect window;
  frame->GetWindowRect(window);
  EXPECT_EQ(window, CRect(180, 100, 1100, 800)) << "the right edge stays, the left moves back";
  pt::SystemResize(*frame, {180, 100, 900, 800});
  frame->GetWindowRect(window);
  EXPECT_EQ(window, CRect(180, 100, 1100, 800)) << "dragging the right edge keeps the left";
  pt::SystemResize(*frame, {180, 100, 1300, 900});
  frame->GetWindowRect(window);
  EXPECT_EQ(window, CRect(180, 100, 1300, 900));
}

TEST_F(PlatformFrames, MinimisingByTheWindowSystemAsksWmSysCommandFirst) {
  frame->refuseMinimise = true;
  pt::SystemShowState(*frame, SW_SHOWMINIMIZED);
  EXPECT_EQ(frame->sysCommands, std::vector<UINT>{SC_MINIMIZE});
  EXPECT_FALSE(frame->IsIconic()) << "the handler kept the default from running";
  frame->refuseMinimise = false;
  frame->sizes.clear();
  pt::SystemShowState(*frame, SW_SHOWMINIMIZED);
  EXPECT_TRUE(frame->IsIconic());
  EXPECT_EQ(frame->sizes, std::vector<UINT>{SIZE_MINIMIZED});
  pt::SystemShowState(*frame, SW_SHOWNORMAL);
  EXPECT_FALSE(frame->IsIconic());
  EXPECT_EQ(frame->sysCommands.back(), SC_RESTORE);
  EXPECT_EQ(frame->sizes.back(), static_cast<UINT>(SIZE_RESTORED));

  frame->ShowWindow(SW_MAXIMIZE);
  EXPECT_TRUE(frame->IsZoomed());
  WINDOWPLACEMENT placement;
  ASSERT_TRUE(frame->GetWindowPlacement(&placement));
  EXPECT_EQ(placement.rcNormalPosition, (RECT{100, 100, 1100, 800})) << "the rectangle to restore";
  CRect window;
  frame->GetWindowRect(window);
  EXPECT_EQ(window, CRect(0, 0, GetSystemMetrics(SM_CXMAXIMIZED), GetSystemMetrics(SM_CYMAXIMIZED)));
  frame->ShowWindow(SW_RESTORE);
  frame->GetWindowRect(window);
  EXPECT_EQ(window, CRect(100, 100, 1100, 800));
}

namespace {

// A frame that stays directly below a palette whenever it comes up.
class Follower : public CWnd {
public:
  HWND below = nullptr;

protected:
  afx_msg void OnWindowPosChanging(WINDOWPOS* pos) {
    CWnd::OnWindowPosChanging(pos);
    if (below && !(pos->flags & SWP_NOZORDER)) pos->hwndInsertAfter = below;
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(Follower, CWnd)
  ON_WM_WINDOWPOSCHANGING()
END_MESSAGE_MAP()

} // namespace

TEST_F(PlatformFrames, WmWindowPosChangingMayChangeWhereTheWindowGoesInTheStack) {
  Owner palette;
  ASSERT_TRUE(palette.Make({10, 10, 60, 60}));
  Follower follower;
  ASSERT_TRUE(follower.CreateEx(0, u"Follower", u"", WS_POPUP | WS_VISIBLE, CRect(0, 0, 50, 50), nullptr, 0));
  follower.below = palette;
  follower.SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE); // to the top
  const std::vector<HWND> stack = platform::core::TopLevelWindows();
  const auto at = [&](HWND h) { return std::find(stack.begin(), stack.end(), h) - stack.begin(); };
  EXPECT_EQ(at(follower.m_hWnd), at(palette.m_hWnd) + 1) << "directly below the palette, not on top";
}

namespace {

class Pane : public CView {
  DECLARE_DYNCREATE(Pane)
};
IMPLEMENT_DYNCREATE(Pane, CView)

// Keeps the left pane at least 250 and the right at least 500 wide.
class Splitter : public CSplitterWnd {
public:
  CRect limit;

protected:
  void StartTracking(int hitTest) override {
    CSplitterWnd::StartTracking(hitTest);
    m_rectLimit.left += 250;
    m_rectLimit.right -= 500;
    limit = m_rectLimit;
  }
};

} // namespace

TEST_F(PlatformFrames, ASplittersBarMovesWithinItsLimitsAndThePanesFollow) {
  Splitter splitter;
  ASSERT_TRUE(splitter.CreateStatic(frame, 1, 2));
  ASSERT_TRUE(splitter.CreateView(0, 0, RUNTIME_CLASS(Pane), CSize(300, 100), nullptr));
  ASSERT_TRUE(splitter.CreateView(0, 1, RUNTIME_CLASS(Pane), CSize(100, 100), nullptr));
  frame->RecalcLayout();
  splitter.RecalcLayout();
  pt::Pump();
  CRect client, left, right;
  splitter.GetClientRect(client);
  EXPECT_EQ(client.Width(), 998);
  auto panes = [&] {
    splitter.GetPane(0, 0)->GetWindowRect(left);
    splitter.GetPane(0, 1)->GetWindowRect(right);
    splitter.ScreenToClient(left);
    splitter.ScreenToClient(right);
  };
  panes();
  EXPECT_EQ(left, CRect(2, 2, 302, client.bottom - 2)) << "the ideal width inside its border";
  EXPECT_EQ(right.left, 302 + 2 + 7 + 2) << "a border, the bar, a border";
  EXPECT_EQ(right.right, client.right - 2) << "the last column takes the rest";

  // Drag the bar far left: it stops at the narrowed limit; the panes follow live.
  pt::MouseDown(splitter, {306, 50});
  EXPECT_EQ(splitter.limit.left, 250);
  EXPECT_EQ(splitter.limit.right, client.right - 500);
  pt::MouseMove(splitter, {100, 50}, true);
  panes();
  EXPECT_EQ(left.right, 250 - 2) << "the bar's left edge at the limit";
  pt::MouseMove(splitter, {900, 50}, true);
  pt::MouseUp(splitter, {900, 50});
  panes();
  EXPECT_EQ(right.Width() + 2 * 2, 500) << "the right pane with its borders keeps 500 pixels";
  int current = 0, minimum = 0;
  splitter.GetColumnInfo(0, current, minimum);
  EXPECT_EQ(current, left.Width());
}

namespace {

// A script frame with the left button held at a window's client point.
pt::InputFrame HeldAtFor(const CWnd& wnd, POINT client) {
  wnd.ClientToScreen(&client);
  pt::InputFrame frame;
  frame.cursor = client;
  frame.left = true;
  return frame;
}

// Moves but never resizes, as the toolkit's tracker does.
class MoveOnly : public CRectTracker {
public:
  CRect size;
  int changes = 0;
  MoveOnly() : CRectTracker(CRect(50, 50, 100, 80), solidLine) { size = m_rect; }
  void AdjustRect(int handle, LPRECT rect) override {
    if (rect->right - rect->left == size.Width() && rect->bottom - rect->top == size.Height()) {
      size = *rect;
    } else {
      *rect = size;
    }
    CRectTracker::AdjustRect(handle, rect);
  }
  void OnChangedRect(const CRect&) override { ++changes; }
  UINT GetHandleMask() const override { return 0; }
};

} // namespace

TEST_F(PlatformFrames, ATrackerFollowsTheMouseUntilTheButtonIsReleased) {
  Owner window;
  ASSERT_TRUE(window.Make({0, 0, 300, 300}));
  MoveOnly tracker;
  EXPECT_EQ(tracker.HitTest(CPoint(60, 60)), CRectTracker::hitMiddle);
  EXPECT_EQ(tracker.HitTest(CPoint(10, 10)), CRectTracker::hitNothing);
  std::vector<pt::InputFrame> frames;
  for (int dx : {5, 10, 20}) frames.push_back(HeldAtFor(window, {60 + dx, 60 + dx}));
  pt::ScriptInput(frames);
  EXPECT_TRUE(tracker.Track(&window, CPoint(60, 60)));
  EXPECT_EQ(tracker.m_rect, CRect(70, 70, 120, 100)) << "moved by the last held point, size kept";
  EXPECT_GE(tracker.changes, 1) << "every change is told (moves may arrive coalesced)";
  EXPECT_EQ(CWnd::GetCapture(), nullptr);

  // Esc cancels: the rectangle is what it was.
  window.PostMessage(WM_KEYDOWN, VK_ESCAPE);
  pt::ScriptInput({HeldAtFor(window, {90, 90}), HeldAtFor(window, {95, 95})});
  EXPECT_FALSE(tracker.Track(&window, CPoint(80, 80)));
  EXPECT_EQ(tracker.m_rect, CRect(70, 70, 120, 100));
}

namespace {

constexpr UINT kForm = 7;

class Form : public CFormView {
  DECLARE_DYNCREATE(Form)
public:
  Form() : CFormView(kForm) {}
  CListBox list;
  bool laidOut = false;

protected:
  void DoDataExchange(CDataExchange* dx) override { DDX_Control(dx, 1001, list); }
  afx_msg HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT kind) {
    if (kind == CTLCOLOR_DLG) {
      if (!m_brush.m_hObject) m_brush.CreateSolidBrush(RGB(89, 89, 89));
      return m_brush;
    }
    return CFormView::OnCtlColor(dc, wnd, kind);
  }
  DECLARE_MESSAGE_MAP()

private:
  CBrush m_brush;
};
IMPLEMENT_DYNCREATE(Form, CFormView)
BEGIN_MESSAGE_MAP(Form, CFormView)
  ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

} // namespace

TEST_F(PlatformFrames, AFormViewComesFromItsTemplateAndErasesThroughItsColourRequest) {
  DialogTemplate t = Dialog(kForm, {183, 242},
                            {Item(1001, WC_LISTBOX, WS_TABSTOP | WS_BORDER, {5, 5, 100, 60}),
                             Item(1002, WC_EDIT, WS_TABSTOP, {5, 70, 100, 82})});
  t.style = WS_CHILD;
  ASSERT_TRUE(platform::RegisterDialogTemplate(t));
  CCreateContext context;
  context.m_pNewViewClass = RUNTIME_CLASS(Form);
  CWnd* made = frame->CreateView(&context);
  ASSERT_NE(made, nullptr);
  auto* form = dynamic_cast<Form*>(made);
  ASSERT_NE(form, nullptr);
  frame->RecalcLayout();
  frame->InitialUpdateFrame(nullptr, TRUE);
  pt::Pump();
  EXPECT_NE(form->list.m_hWnd, nullptr) << "bound by the first update";
  CRect client;
  form->GetClientRect(client);
  CRect frameClient;
  frame->GetClientRect(frameClient);
  EXPECT_EQ(client.Size(), frameClient.Size()) << "the view fills the frame; it never scrolls";
  EXPECT_EQ(pt::PixelAt(pt::GrabClient(*form), 400, 400), RGB(89, 89, 89));
  form->list.SetFocus();
  pt::SystemKey(VK_TAB);
  EXPECT_EQ(GetDlgCtrlID(GetFocus()), 1002) << "Tab among the view's controls";
}
