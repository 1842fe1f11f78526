#pragma once
// Tests on a real X server (xvfb-run, the labels "gl" and "smoke"; CTest
// runs them on the xcb platform with Mesa's software OpenGL). Qt-free header.

#include "platform/testing/Headless.h"

namespace platform::testing {

// Init() on the X server: the software GL driver is loaded first and kept
// loaded, so that leak checks at exit still see its stacks, and the input
// state is the X server's own (GetAsyncKeyState and GetCursorPos ask the
// server) instead of a script.
void InitOnDisplay();
// InitOnDisplay() when the X server is there (and offers OpenGL, when asked):
// an empty text, else why the test cannot run, for GTEST_SKIP. A program run
// by hand gets CTest's settings (the xcb platform, Mesa's software OpenGL).
//
//   if (const std::string why = pt::StartOnDisplay(true); !why.empty()) GTEST_SKIP() << why;
//
// With LUMITRA_WINDOW_MANAGER set (CTest's second run of the display tests:
// "openbox") that window manager is started on the display first and ended
// with the test program; a test that cannot have it fails.
std::string StartOnDisplay(bool needOpenGl);
// Whether the tests run under a window manager.
bool WindowManagerRunning();

// The X server's pixels of a screen rectangle (what Qt presented).
PixelImage GrabScreen(const RECT& screen);
// Waits (pumping) until the top-level window is shown on the server.
bool WaitUntilExposed(HWND top);

// The X server changed behind Qt's back, through a connection of the test's
// own: the pointer moved, the left button pressed or let go (XTEST), a
// property of the root window set or removed.
void MovePointerOnServer(POINT screen);
void SetLeftButtonOnServer(bool down);
void SetRootProperty(const char* name, const std::vector<std::uint8_t>& bytes);
// A key pressed and let go on the server (XTEST), by its key symbol (Latin-1
// letters are their own). It goes where the server sends keys: the window
// that has the keyboard, or without one the window under the pointer. Any
// thread (a connection of the call's own).
void PressKeyOnServer(std::uint32_t keySymbol);
// How many colours the server shows in a screen rectangle. Any thread.
int ColoursOnServer(const RECT& screen);
// Where the server shows a top-level window: its outermost window (the
// window manager's frame, else the window itself), and the origin of the
// window's own X window (its widget: border, menu band and client area).
RECT FrameOnServer(HWND top);
POINT WidgetOriginOnServer(HWND top);
void DeleteRootProperty(const char* name);

} // namespace platform::testing
