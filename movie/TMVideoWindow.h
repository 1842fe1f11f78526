#pragma once
// The video window of a playback graph: a child window of the caller's window
// (made when the caller names its owner) that shows the frames the graph's
// playback thread hands over, and, in full-screen mode, a top-most window
// over the whole screen that shows the same frames. Windows live on the GUI
// thread: every call here but Deliver is made there. Deliver is the playback
// thread's: it leaves the newest frame and wakes the GUI thread, which draws
// it; a frame replaced before it was drawn counts as dropped.
//
// Results are those of the platform's video window: 0 done, kNeedOwner when
// there is no window to act on.

#include "movie/TMMovieFile.h"
#include "movie/TKRMovieDefs.h"

#include <memory>
#include <mutex>

namespace tkrmovie {

class TMPlayGraph;
class TMVideoSurface;

// Answered for a video window that has no window yet (no owner was named).
constexpr LONG kNeedOwner = static_cast<LONG>(0x80040202);
// Boolean values of the platform's automation interfaces.
constexpr LONG OATRUE = -1;
constexpr LONG OAFALSE = 0;

class TMVideoWindow {
public:
    explicit TMVideoWindow(TMPlayGraph& graph);
    ~TMVideoWindow();
    TMVideoWindow(const TMVideoWindow&) = delete;
    TMVideoWindow& operator=(const TMVideoWindow&) = delete;
    // A reference to the graph the window belongs to.
    void AddRef();
    void Release();

    // Makes a hidden child window of the owner at the stored position (one
    // owner at a time; a new owner gets a new window). Fails where no window
    // can be made (no owner, or not the GUI thread).
    LONG SetOwner(HWND owner);
    LONG SetWindowPosition(int left, int top, int width, int height);
    LONG GetWindowPosition(LONG* left, LONG* top, LONG* width, LONG* height) const;
    LONG SetWindowStyle(LONG style);
    // Mouse and key messages of the video window are posted to the drain.
    LONG SetMessageDrain(HWND drain);
    LONG GetVisible(LONG* visible) const;
    LONG SetVisible(LONG visible);
    LONG SetWindowForeground(LONG focus);
    LONG SetWindowState(int showCommand);
    LONG GetFullScreenMode(LONG* mode) const;
    LONG SetFullScreenMode(LONG mode);
    LONG HideCursor(LONG hide);
    LONG NotifyOwnerMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // Any thread: the newest frame to show. False when it replaced a frame
    // that was never drawn.
    bool Deliver(std::shared_ptr<const TMFrame> frame);

    // For the windows: the frame to draw now, and the drain and cursor state.
    std::shared_ptr<const TMFrame> TakeDelivered();
    std::shared_ptr<const TMFrame> Current() const { return m_Current; }
    HWND Drain() const { return m_Drain; }
    bool CursorHidden() const { return m_CursorHidden; }
    // Draws the current frame in both windows.
    void ShowCurrent(std::shared_ptr<const TMFrame> frame);

private:
    HWND Window() const;

    TMPlayGraph& m_Graph;
    std::unique_ptr<TMVideoSurface> m_pWindow;
    std::unique_ptr<TMVideoSurface> m_pFullScreen;
    RECT m_Position{};
    LONG m_Style = WS_CHILD | WS_CLIPSIBLINGS;
    HWND m_Drain = nullptr;
    bool m_CursorHidden = false;
    std::shared_ptr<const TMFrame> m_Current;

    // The hand-over from the playback thread.
    mutable std::mutex m_DeliveryLock;
    std::shared_ptr<const TMFrame> m_pDelivered;
    HWND m_DeliverTo = nullptr;
    bool m_bWakePosted = false;
};

} // namespace tkrmovie
