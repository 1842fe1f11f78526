#include "movie/TMOwnerWindow.h"

#include <mutex>

namespace tkrmovie {
namespace {

std::mutex g_SinkLock;
OwnerPostSink g_Sink;

} // namespace

void PostToOwner(CWnd* owner, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!owner)
        return;
    OwnerPostSink sink;
    {
        std::lock_guard<std::mutex> lock(g_SinkLock);
        sink = g_Sink;
    }
    // Without a sink the post has nowhere to go yet: with the window layer
    // linked, the default is that layer's PostMessageW to the owner's handle.
    if (sink)
        sink(owner, message, wParam, lParam);
}

void SetOwnerPostSink(OwnerPostSink sink)
{
    std::lock_guard<std::mutex> lock(g_SinkLock);
    g_Sink = std::move(sink);
}

} // namespace tkrmovie
