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
std::string StartOnDisplay(bool needOpenGl);

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
void DeleteRootProperty(const char* name);

} // namespace platform::testing
