#pragma once
// The thumbnail window's own messages (WM_USER + n), apart so that the
// program's list of messages (shell/app/AppMessages.h) and the window's header
// share one definition.

#include "platform/win/WinUser.h"

// The loader thread to its window, sent: redraw the item's cell. wParam: the
// item whose picture was set, lParam 1; wParam 0 and lParam 0: the loader has
// finished.
constexpr UINT WM_THUMB_ITEMLOADED = WM_USER + 500;
// The in-place rename edit to its window, posted: take its text and hide it.
constexpr UINT WM_THUMB_RENAMEEND = WM_USER + 600;
