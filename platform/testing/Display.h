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

// The X server's pixels of a screen rectangle (what Qt presented).
PixelImage GrabScreen(const RECT& screen);

} // namespace platform::testing
