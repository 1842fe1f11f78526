#pragma once
// Headless tests of windows (Qt-free header). Init() starts the application
// once per test program: the offscreen platform with one 1920 x 1080 screen
// at 96 dpi and device-pixel ratio 1, the pinned DejaVu fonts, the virtual
// clock, and a scripted input source in place of the pointer.
//
//   TEST(MyControl, ...) {
//     platform::testing::Init();
//     CMyCtrl ctrl; ctrl.Create(...);
//     platform::testing::Pump();                       // posts, sends, paints
//     platform::testing::Click(ctrl, {10, 5});          // a press and release
//     platform::testing::AdvanceTime(1000);             // due timers, in order
//     auto shot = platform::testing::GrabClient(ctrl);  // the composed surfaces
//   }

#include "platform/core/Core.h"

#include <string>
#include <vector>

namespace platform::testing {

using core::InputFrame;
using core::PixelImage;

void Init();
// Runs until the posted and sent queues are empty and no window waits for
// its paint.
void Pump();
// Moves the virtual clock to each due timer in turn, pumping its tick and
// what follows, then to the end of the span.
void AdvanceTime(std::int64_t ms);

// The scripted input source (GetAsyncKeyState, GetCursorPos).
core::ScriptedInput& Input();
// Frames consumed one per button query made outside painting; when they run
// out every button reads up.
void ScriptInput(std::vector<InputFrame> frames);

// Mouse messages through the layer's pump, with the input state to match
// (points in the window's client coordinates).
void MouseDown(HWND hwnd, POINT client);
void MouseUp(HWND hwnd, POINT client);
void MouseMove(HWND hwnd, POINT client, bool leftDown = false);
void Click(HWND hwnd, POINT client);

// Mouse input as the window system delivers it (through Qt's event routing),
// at a screen point: to test translation and capture.
enum class MouseAction { Press, Release, Move, DoubleClick };
void SystemMouse(MouseAction action, POINT screen);
// A key pressed and released as the window system delivers it (to the focus
// window's top-level window), and a wheel turn over a screen point.
void SystemKey(int virtualKey);
void SystemWheel(POINT screen, int delta);

// The window's client area as the layer composes it: its ancestors'
// surfaces under undrawn pixels, its own, then its visible descendants'.
PixelImage GrabClient(HWND hwnd);
// 0x00BBGGRR of a pixel of a grab.
COLORREF PixelAt(const PixelImage& image, int x, int y);
// Writes a grab as PNG into the test output folder (made if missing); the path.
std::string SavePng(const PixelImage& image, const std::string& name);
std::string OutputFolder();
// Whether the window's host shows a cursor (SetCursor(NULL) hides it).
bool CursorVisible(HWND hwnd);

// What the headless setting resolved to, for guard tests: the screen and the
// font family a LOGFONTW lands on.
struct ScreenSetting {
  int width = 0;
  int height = 0;
  double logicalDpi = 0;
  double devicePixelRatio = 0;
};
ScreenSetting Screen();
std::string ResolvedFamily(const LOGFONTW& font);

} // namespace platform::testing
