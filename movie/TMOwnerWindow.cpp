#include "movie/TMOwnerWindow.h"

#include "platform/afx/AfxWin.h"

#include <mutex>

namespace tkrmovie {
namespace {

std::mutex g_SinkLock;
OwnerPostSink g_Sink;

// The installed sink, if any.
OwnerPostSink CurrentSink()
{
    std::lock_guard<std::mutex> lock(g_SinkLock);
    return g_Sink;
}

} // namespace

void PostToOwner(CWnd* owner, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!owner)
        return;
    if (const OwnerPostSink sink = CurrentSink()) {
        sink(owner, message, wParam, lParam);
        return;
    }
    if (HWND window = owner->GetSafeHwnd())
        ::PostMessageW(window, message, wParam, lParam);
}

void PostToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!window)
        return;
    if (const OwnerPostSink sink = CurrentSink()) {
        sink(window, message, wParam, lParam);
        return;
    }
    ::PostMessageW(window, message, wParam, lParam);
}

void SetOwnerPostSink(OwnerPostSink sink)
{
    std::lock_guard<std::mutex> lock(g_SinkLock);
    g_Sink = std::move(sink);
}

} // namespace tkrmovie
