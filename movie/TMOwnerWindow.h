#pragma once
// Where the library meets the window layer: every message of the library to
// a caller's window goes through PostToOwner. Until the library links the
// window layer, a post reaches the sink a test installs, or nobody.

#include "movie/TKRMovieDefs.h"

#include <functional>

namespace tkrmovie {

using OwnerPostSink = std::function<void(CWnd* owner, UINT message, WPARAM wParam, LPARAM lParam)>;

// Posts the message to the owner's window; a null owner gets nothing. Any
// thread may post.
void PostToOwner(CWnd* owner, UINT message, WPARAM wParam, LPARAM lParam);

// Sends later posts to the sink; an empty sink restores the default.
void SetOwnerPostSink(OwnerPostSink sink);

} // namespace tkrmovie
