#include "movie/TMVideoWindow.h"

#include "movie/TMPlayGraph.h"

#include "platform/afx/AfxDC.h"
#include "platform/afx/AfxWin.h"

namespace tkrmovie {

// One window that shows the video window's current frame, stretched over its
// client area.
class TMVideoSurface : public CWnd {
public:
    explicit TMVideoSurface(TMVideoWindow& video) : m_Video(video) {}

    // Posted by Deliver: a new frame waits.
    static constexpr UINT kFrameWaiting = WM_USER + 1;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        // The message drain: the caller's window handles input over the video.
        const bool input = (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
                           (message >= WM_KEYDOWN && message <= WM_SYSKEYUP);
        if (input && m_Video.Drain()) {
            ::PostMessageW(m_Video.Drain(), message, wParam, lParam);
            return 0;
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }

    afx_msg void OnPaint()
    {
        CPaintDC dc(this);
        CRect client;
        GetClientRect(&client);
        const std::shared_ptr<const TMFrame> frame = m_Video.Current();
        if (!frame || !frame->bits) {
            dc.FillSolidRect(&client, RGB(0, 0, 0));
            return;
        }
        BITMAPINFO info{};
        info.bmiHeader = frame->header;
        ::StretchDIBits(dc, 0, 0, client.Width(), client.Height(), 0, 0, frame->header.biWidth,
                        frame->header.biHeight, frame->bits.get(), &info, DIB_RGB_COLORS, SRCCOPY);
    }
    afx_msg BOOL OnEraseBkgnd(CDC*) { return TRUE; } // every pixel is painted
    afx_msg BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message)
    {
        if (!m_Video.CursorHidden())
            return CWnd::OnSetCursor(wnd, hitTest, message);
        ::SetCursor(nullptr);
        return TRUE;
    }
    afx_msg LRESULT OnFrameWaiting(WPARAM, LPARAM)
    {
        if (std::shared_ptr<const TMFrame> frame = m_Video.TakeDelivered())
            m_Video.ShowCurrent(std::move(frame));
        return 0;
    }
    DECLARE_MESSAGE_MAP()

private:
    TMVideoWindow& m_Video;
};

BEGIN_MESSAGE_MAP(TMVideoSurface, CWnd)
    ON_WM_PAINT()
    ON_WM_ERASEBKGND()
    ON_WM_SETCURSOR()
    ON_MESSAGE(TMVideoSurface::kFrameWaiting, OnFrameWaiting)
END_MESSAGE_MAP()

TMVideoWindow::TMVideoWindow(TMPlayGraph& graph) : m_Graph(graph) {}

TMVideoWindow::~TMVideoWindow() = default;

void TMVideoWindow::AddRef() { m_Graph.AddRef(); }

void TMVideoWindow::Release() { m_Graph.Release(); }

HWND TMVideoWindow::Window() const { return m_pWindow ? m_pWindow->GetSafeHwnd() : nullptr; }

LONG TMVideoWindow::SetOwner(HWND owner)
{
    CWnd* parent = CWnd::FromHandle(owner);
    if (!parent)
        return kNeedOwner;
    if (m_pWindow && ::GetParent(Window()) == owner)
        return 0;
    auto window = std::make_unique<TMVideoSurface>(*this);
    if (!window->CreateEx(0, u"TMVideoWindow", u"", static_cast<DWORD>(m_Style) & ~WS_VISIBLE, m_Position, parent,
                          0))
        return kNeedOwner;
    m_pWindow = std::move(window);
    std::lock_guard<std::mutex> lock(m_DeliveryLock);
    m_DeliverTo = Window();
    m_bWakePosted = m_pDelivered && ::PostMessageW(m_DeliverTo, TMVideoSurface::kFrameWaiting, 0, 0);
    return 0;
}

LONG TMVideoWindow::SetWindowPosition(int left, int top, int width, int height)
{
    m_Position = RECT{left, top, left + width, top + height};
    if (Window())
        m_pWindow->MoveWindow(left, top, width, height);
    return 0;
}

LONG TMVideoWindow::GetWindowPosition(LONG* left, LONG* top, LONG* width, LONG* height) const
{
    *left = m_Position.left;
    *top = m_Position.top;
    *width = m_Position.right - m_Position.left;
    *height = m_Position.bottom - m_Position.top;
    return 0;
}

LONG TMVideoWindow::SetWindowStyle(LONG style)
{
    // The window stays a child of its owner; only the sibling clipping and
    // visibility bits can change.
    m_Style = (style & (WS_CLIPSIBLINGS | WS_CLIPCHILDREN)) | WS_CHILD;
    return 0;
}

LONG TMVideoWindow::SetMessageDrain(HWND drain)
{
    m_Drain = drain;
    return 0;
}

LONG TMVideoWindow::GetVisible(LONG* visible) const
{
    if (!Window())
        return kNeedOwner;
    *visible = m_pWindow->IsWindowVisible() ? OATRUE : OAFALSE;
    return 0;
}

LONG TMVideoWindow::SetVisible(LONG visible)
{
    if (!Window())
        return kNeedOwner;
    m_pWindow->ShowWindow(visible ? SW_SHOWNA : SW_HIDE);
    return 0;
}

LONG TMVideoWindow::SetWindowForeground(LONG focus)
{
    if (!Window())
        return kNeedOwner;
    ::SetWindowPos(Window(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    if (focus == OATRUE)
        m_pWindow->SetFocus();
    return 0;
}

LONG TMVideoWindow::SetWindowState(int showCommand)
{
    if (!Window())
        return kNeedOwner;
    m_pWindow->ShowWindow(showCommand);
    return 0;
}

LONG TMVideoWindow::GetFullScreenMode(LONG* mode) const
{
    *mode = m_pFullScreen ? OATRUE : OAFALSE;
    return 0;
}

LONG TMVideoWindow::SetFullScreenMode(LONG mode)
{
    if (!mode) {
        m_pFullScreen.reset();
        return 0;
    }
    if (m_pFullScreen)
        return 0;
    auto window = std::make_unique<TMVideoSurface>(*this);
    const RECT screen{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    if (!window->CreateEx(WS_EX_TOPMOST, u"TMVideoWindow", u"", WS_POPUP | WS_VISIBLE, screen, nullptr, 0))
        return kNeedOwner;
    m_pFullScreen = std::move(window);
    return 0;
}

LONG TMVideoWindow::HideCursor(LONG hide)
{
    m_CursorHidden = hide != OAFALSE;
    return 0;
}

LONG TMVideoWindow::NotifyOwnerMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!Window())
        return kNeedOwner;
    m_pWindow->SendMessage(message, wParam, lParam);
    return 0;
}

bool TMVideoWindow::Deliver(std::shared_ptr<const TMFrame> frame)
{
    std::lock_guard<std::mutex> lock(m_DeliveryLock);
    const bool replaced = m_pDelivered != nullptr;
    m_pDelivered = std::move(frame);
    // One wake at a time: the GUI thread takes the newest frame when it
    // comes to it.
    if (!m_bWakePosted && m_DeliverTo)
        m_bWakePosted = ::PostMessageW(m_DeliverTo, TMVideoSurface::kFrameWaiting, 0, 0) != FALSE;
    return !replaced;
}

std::shared_ptr<const TMFrame> TMVideoWindow::TakeDelivered()
{
    std::lock_guard<std::mutex> lock(m_DeliveryLock);
    m_bWakePosted = false;
    return std::move(m_pDelivered);
}

void TMVideoWindow::ShowCurrent(std::shared_ptr<const TMFrame> frame)
{
    m_Current = std::move(frame);
    for (TMVideoSurface* window : {m_pWindow.get(), m_pFullScreen.get()})
        if (window && window->GetSafeHwnd())
            window->RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

} // namespace tkrmovie
