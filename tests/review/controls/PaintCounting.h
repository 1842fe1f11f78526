#pragma once
// A window class of the test that counts the paints its window receives.

#include "platform/afx/AfxWin.h"

template <class Window>
class PaintCounting : public Window {
public:
  int paints = 0;

protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_PAINT) ++paints;
    return Window::WindowProc(message, wParam, lParam);
  }
};
