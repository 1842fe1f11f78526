// Windows on the Qt back end, headless: geometry, state, input translation,
// capture, cursors, polling loops ended by scripted input, the paint model
// with retained surfaces, and calls from worker threads.

#include "../core/RecordingWindow.h"
#include "platform/afx/AfxDC.h"
#include "platform/testing/Headless.h"

#include <gtest/gtest.h>

#include <thread>

namespace pt = platform::testing;

namespace {

// Paints its client area in one colour, counting paints and erases.
class Painted : public RecordingWindow {
public:
  COLORREF colour = RGB(10, 20, 30);
  BOOL erased = FALSE;

protected:
  afx_msg void OnPaint() {
    CPaintDC dc(this);
    erased = dc.m_ps.fErase;
    CRect client;
    GetClientRect(client);
    dc.FillSolidRect(client, colour);
  }
  afx_msg BOOL OnEraseBkgnd(CDC*) { return TRUE; }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(Painted, RecordingWindow)
  ON_WM_PAINT()
  ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

class PlatformWindows : public ::testing::Test {
protected:
  void SetUp() override {
    pt::Init();
    ASSERT_TRUE(top.CreateEx(0, u"Top", u"", WS_POPUP | WS_VISIBLE, CRect(100, 50, 500, 350), nullptr, 0));
    pt::Pump();
    top.log.clear();
  }
  Painted top;
};

TEST_F(PlatformWindows, GeometryInClientAndScreenCoordinatesWithBorders) {
  Painted child;
  ASSERT_TRUE(child.CreateEx(WS_EX_CLIENTEDGE, u"Child", u"", WS_CHILD | WS_VISIBLE | WS_BORDER, CRect(10, 20, 110, 70),
                             &top, 5));
  CRect window, client;
  child.GetWindowRect(window);
  child.GetClientRect(client);
  EXPECT_EQ(window, CRect(110, 70, 210, 120));
  EXPECT_EQ(client, CRect(0, 0, 94, 44)) << "a one-pixel border and a two-pixel client edge on each side";
  CPoint p(0, 0);
  child.ClientToScreen(&p);
  EXPECT_EQ(p, CPoint(113, 73));
  EXPECT_EQ(WindowFromPoint({150, 100}), child.m_hWnd);
  EXPECT_EQ(WindowFromPoint({105, 55}), top.m_hWnd);
  EXPECT_EQ(GetDlgItem(top.m_hWnd, 5), child.m_hWnd);
  EXPECT_EQ(GetSystemMetrics(SM_CXMAXIMIZED), 1920);
  child.log.clear();
  child.MoveWindow(0, 0, 200, 60);
  EXPECT_EQ(child.Messages(WM_SIZE, WM_SIZE), std::vector<UINT>{}) << "creation chatter is not recorded";
  child.GetClientRect(client);
  EXPECT_EQ(client, CRect(0, 0, 194, 54));
}

TEST_F(PlatformWindows, TheLayerKeepsItsOwnEnabledBitAndStacking) {
  RecordingWindow child;
  ASSERT_TRUE(child.CreateChild(&top, 1));
  top.EnableWindow(FALSE);
  EXPECT_FALSE(top.IsWindowEnabled());
  EXPECT_TRUE(child.IsWindowEnabled()) << "a child of a disabled window stays enabled for IsWindowEnabled";
  EXPECT_EQ(child.GetStyle() & WS_DISABLED, 0u);
  // Input to a window under a disabled one goes nowhere.
  pt::SystemMouse(pt::MouseAction::Press, {105, 55});
  pt::SystemMouse(pt::MouseAction::Release, {105, 55});
  EXPECT_EQ(child.Count(WM_LBUTTONDOWN), 0u);
  top.EnableWindow(TRUE);

  Painted second;
  ASSERT_TRUE(second.CreateEx(0, u"Second", u"", WS_POPUP | WS_VISIBLE, CRect(300, 200, 400, 300), nullptr, 0));
  EXPECT_EQ(WindowFromPoint({350, 250}), second.m_hWnd);
  top.SetWindowPos(reinterpret_cast<CWnd*>(HWND_TOP), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(WindowFromPoint({350, 250}), top.m_hWnd);
  EXPECT_EQ(GetActiveWindow(), top.m_hWnd);
  second.SetWindowPos(reinterpret_cast<CWnd*>(HWND_TOPMOST), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  top.SetWindowPos(reinterpret_cast<CWnd*>(HWND_TOP), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EXPECT_EQ(WindowFromPoint({350, 250}), second.m_hWnd) << "a topmost window stays above";
}

TEST_F(PlatformWindows, SystemInputBecomesMessagesInClientCoordinates) {
  RecordingWindow child;
  ASSERT_TRUE(child.CreateChild(&top, 1, CRect(10, 10, 110, 60)));
  pt::Pump();
  child.log.clear();
  pt::SystemMouse(pt::MouseAction::Move, {130, 75});
  pt::SystemMouse(pt::MouseAction::Press, {130, 75});
  pt::SystemMouse(pt::MouseAction::Release, {130, 75});
  pt::SystemMouse(pt::MouseAction::DoubleClick, {130, 75});
  EXPECT_GE(child.Count(WM_SETCURSOR), 1u) << "a move asks the window under the pointer for its cursor";
  std::vector<UINT> got;
  for (const Received& r : child.log) {
    if (r.message == WM_SETCURSOR || (r.message == WM_MOUSEMOVE && !got.empty() && got.back() == WM_MOUSEMOVE)) continue;
    got.push_back(r.message);
  }
  // Every window takes double clicks: the second press of a pair is one.
  EXPECT_EQ(got, (std::vector<UINT>{WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDOWN, WM_LBUTTONUP,
                                    WM_LBUTTONDBLCLK, WM_LBUTTONUP}));
  const auto down = std::find_if(child.log.begin(), child.log.end(),
                                 [](const Received& r) { return r.message == WM_LBUTTONDOWN; });
  ASSERT_NE(down, child.log.end());
  EXPECT_EQ(GET_X_LPARAM(down->lParam), 20);
  EXPECT_EQ(GET_Y_LPARAM(down->lParam), 15);
  EXPECT_EQ(down->wParam & MK_LBUTTON, MK_LBUTTON);
}

TEST_F(PlatformWindows, CaptureRoutesMovesOutsideTheWindowInItsClientCoordinates) {
  RecordingWindow bar, other;
  ASSERT_TRUE(bar.CreateChild(&top, 1, CRect(10, 10, 30, 110)));
  ASSERT_TRUE(other.CreateChild(&top, 2, CRect(200, 10, 300, 110)));
  pt::Pump();
  bar.SetCapture();
  EXPECT_EQ(CWnd::GetCapture(), &bar);
  pt::SystemMouse(pt::MouseAction::Move, {350, 100}); // over `other`
  pt::SystemMouse(pt::MouseAction::Move, {50, 20});   // outside every window
  ASSERT_EQ(bar.Count(WM_MOUSEMOVE), 2u);
  EXPECT_EQ(other.Count(WM_MOUSEMOVE), 0u);
  const Received& last = bar.log.back();
  EXPECT_EQ(GET_X_LPARAM(last.lParam), 50 - 110);
  EXPECT_EQ(GET_Y_LPARAM(last.lParam), 20 - 60);
  EXPECT_EQ(bar.Count(WM_SETCURSOR), 0u) << "no cursor questions while captured";
  ReleaseCapture();
  EXPECT_EQ(bar.Count(WM_CAPTURECHANGED), 1u);
  pt::SystemMouse(pt::MouseAction::Move, {360, 100});
  EXPECT_EQ(other.Count(WM_MOUSEMOVE), 1u);
}

TEST_F(PlatformWindows, CursorQuestionsAndAHiddenCursor) {
  int asked = 0;
  top.hooks[WM_SETCURSOR] = [&](WPARAM, LPARAM lp) {
    ++asked;
    EXPECT_EQ(LOWORD(static_cast<std::uintptr_t>(lp)), HTCLIENT);
    SetCursor(nullptr);
    return LRESULT{TRUE};
  };
  pt::Input().SetCurrent({POINT{150, 60}});
  SetCursorPos(150, 60); // in place: no move, yet the window is asked again
  EXPECT_EQ(asked, 1);
  EXPECT_FALSE(pt::CursorVisible(top.m_hWnd));
  SetCursorPos(160, 60);
  EXPECT_EQ(asked, 1);
}

TEST_F(PlatformWindows, ScriptedInputEndsEveryPollingLoop) {
  // A drag loop that pumps, one that never does: both end when the script does.
  pt::ScriptInput({{POINT{110, 60}, true}, {POINT{120, 60}, true}, {POINT{130, 95}, true}});
  std::vector<POINT> seen;
  while (GetAsyncKeyState(VK_LBUTTON) & 0x8000) {
    POINT p;
    GetCursorPos(&p);
    seen.push_back(p);
    MSG msg;
    while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&msg);
  }
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[2], (POINT{130, 95}));
  int spins = 0;
  pt::ScriptInput({{POINT{0, 0}, true}});
  while (GetAsyncKeyState(VK_LBUTTON) < 0) ++spins;
  EXPECT_EQ(spins, 1);
  EXPECT_FALSE(GetAsyncKeyState(VK_LBUTTON) & 0x8000) << "an exhausted script answers: all buttons up";
}

TEST_F(PlatformWindows, InvalidationsAccumulateAndTheRedrawTriplePaintsOnceAtOnce) {
  top.InvalidateRect(CRect(0, 0, 10, 10), FALSE);
  top.InvalidateRect(CRect(50, 50, 60, 60), TRUE);
  CRect update;
  EXPECT_TRUE(GetUpdateRect(top.m_hWnd, update, FALSE));
  EXPECT_EQ(update, CRect(0, 0, 60, 60));
  EXPECT_EQ(top.Count(WM_PAINT), 0u) << "nothing is painted until asked";
  top.colour = RGB(200, 0, 0);
  top.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  EXPECT_EQ(top.Messages(WM_PAINT, WM_ERASEBKGND), (std::vector<UINT>{WM_PAINT, WM_ERASEBKGND}));
  EXPECT_EQ(top.erased, FALSE) << "the erase handler said it erased";
  EXPECT_FALSE(GetUpdateRect(top.m_hWnd, nullptr, FALSE));
  pt::Pump();
  EXPECT_EQ(top.Count(WM_PAINT), 1u);
  EXPECT_EQ(pt::PixelAt(pt::GrabClient(top.m_hWnd), 200, 100), RGB(200, 0, 0));
}

TEST_F(PlatformWindows, BeginPaintClipsToTheUpdateRegionAndDcDrawingStays) {
  top.colour = RGB(0, 0, 255);
  top.RedrawWindow();
  top.colour = RGB(0, 255, 0);
  top.InvalidateRect(CRect(10, 10, 20, 20), FALSE);
  top.UpdateWindow();
  auto shot = pt::GrabClient(top.m_hWnd);
  EXPECT_EQ(pt::PixelAt(shot, 15, 15), RGB(0, 255, 0));
  EXPECT_EQ(pt::PixelAt(shot, 25, 15), RGB(0, 0, 255)) << "painting outside the update region is clipped";
  {
    CClientDC dc(&top);
    dc.FillSolidRect(CRect(100, 100, 150, 150), RGB(255, 255, 0));
  }
  pt::Pump();
  shot = pt::GrabClient(top.m_hWnd);
  EXPECT_EQ(pt::PixelAt(shot, 120, 120), RGB(255, 255, 0)) << "drawing outside painting stays on the surface";
}

TEST_F(PlatformWindows, AChildsDcReadBackShowsItsParentUnderUndrawnPixels) {
  top.colour = RGB(0, 0, 255);
  top.RedrawWindow();
  RecordingWindow child; // draws nothing of its own
  ASSERT_TRUE(child.CreateChild(&top, 1, CRect(20, 20, 60, 60)));
  pt::Pump();
  {
    CClientDC dc(&child);
    dc.FillSolidRect(CRect(0, 0, 10, 10), RGB(255, 0, 0));
    CDC memory;
    ASSERT_TRUE(memory.CreateCompatibleDC(&dc));
    CBitmap bitmap;
    ASSERT_TRUE(bitmap.CreateCompatibleBitmap(&dc, 40, 40));
    CBitmap* old = memory.SelectObject(&bitmap);
    memory.BitBlt(0, 0, 40, 40, &dc, 0, 0, SRCCOPY);
    memory.SelectObject(old);
    BITMAP info;
    bitmap.GetBitmap(&info);
    const auto* pixels = static_cast<const std::uint32_t*>(info.bmBits);
    EXPECT_EQ(pixels[5 * 40 + 5] & 0xFFFFFF, 0xFF0000u) << "the child's own pixel (BGRX)";
    EXPECT_EQ(pixels[30 * 40 + 30] & 0xFFFFFF, 0x0000FFu) << "the parent's blue shows through";
  }
}

TEST_F(PlatformWindows, WorkersMayOnlyCallTheMarshalledFew) {
  BOOL moved = TRUE, invalidated = FALSE;
  HDC dc = reinterpret_cast<HDC>(1);
  std::thread worker([&] {
    moved = ::MoveWindow(top.m_hWnd, 0, 0, 10, 10, TRUE);
    dc = ::GetDC(top.m_hWnd);
    invalidated = ::InvalidateRect(top.m_hWnd, nullptr, TRUE);
  });
  while (invalidated == FALSE) {
    MSG msg;
    PeekMessage(&msg, top.m_hWnd, WM_NULL, WM_NULL, PM_NOREMOVE); // serves the marshalled call
    std::this_thread::yield();
  }
  worker.join();
  EXPECT_EQ(moved, FALSE);
  EXPECT_EQ(dc, nullptr);
  CRect window;
  top.GetWindowRect(window);
  EXPECT_EQ(window, CRect(100, 50, 500, 350)) << "the worker never touched the window";
  EXPECT_TRUE(GetUpdateRect(top.m_hWnd, nullptr, FALSE));
}

TEST_F(PlatformWindows, KeysAndTheWheelGoToTheFocusWindow) {
  RecordingWindow edit;
  ASSERT_TRUE(edit.CreateChild(&top, 3));
  edit.SetFocus();
  pt::Pump();
  EXPECT_EQ(::GetFocus(), edit.m_hWnd);
  pt::SystemKey(VK_RETURN);
  pt::SystemKey(VK_OEM_4);
  pt::SystemKey(VK_NEXT);
  EXPECT_EQ(edit.Messages(WM_KEYDOWN, WM_KEYUP),
            (std::vector<UINT>{WM_KEYDOWN, WM_KEYUP, WM_KEYDOWN, WM_KEYUP, WM_KEYDOWN, WM_KEYUP}));
  std::vector<WPARAM> keys;
  for (const Received& r : edit.log) {
    if (r.message == WM_KEYDOWN) keys.push_back(r.wParam);
  }
  EXPECT_EQ(keys, (std::vector<WPARAM>{VK_RETURN, VK_OEM_4, VK_NEXT}));

  // The wheel: to the focus window, 120 a notch, the point in screen
  // coordinates; unhandled, it travels up to the parent.
  pt::SystemWheel({300, 300}, -120);
  ASSERT_EQ(edit.Count(WM_MOUSEWHEEL), 1u);
  const Received& wheel = edit.log.back();
  EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(wheel.wParam), -120);
  EXPECT_EQ(GET_X_LPARAM(wheel.lParam), 300);
  EXPECT_EQ(top.Count(WM_MOUSEWHEEL), 1u);
}

} // namespace
