#pragma once
// Where the library's messages leave it: every message of the library to a
// caller's window goes through PostToOwner (a window object) or PostToWindow
// (a window handle), which post through the window layer. A test installs a
// sink that takes the posts instead.

#include "movie/TKRMovieDefs.h"

#include <functional>

namespace tkrmovie {

// The target is the window object of PostToOwner or the handle of
// PostToWindow; a sink never follows it.
using OwnerPostSink = std::function<void(const void* target, UINT message, WPARAM wParam, LPARAM lParam)>;

// Posts the message to the owner's window; a null owner, or one without a
// window, gets nothing. Any thread may post.
void PostToOwner(CWnd* owner, UINT message, WPARAM wParam, LPARAM lParam);
// The same for a window handle; null gets nothing.
void PostToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Sends later posts to the sink; an empty sink restores the window layer.
void SetOwnerPostSink(OwnerPostSink sink);

} // namespace tkrmovie
