#include "shell/app/CSplashWnd.h"

#include "platform/win/WinGdi.h"

namespace {

CSplashWnd* g_pSplashWnd = nullptr;
BOOL g_bShowSplashWnd = FALSE;

constexpr int kWidth = 480;
constexpr int kHeight = 450;
// The program's pictures: the scene, the maker's mark, the emblem and the name.
constexpr std::array<UINT, 4> kBitmapIds{272, 273, 274, 275};
constexpr int kSummaryTextId = 6101;
constexpr int kCopyrightTextId = 6102;
// Presses on a window's frame (the window system's numbers; the layer sends
// none, its windows have no frame of their own).
constexpr UINT kNonClientLeftDown = 0x00A1;
constexpr UINT kNonClientRightDown = 0x00A4;
constexpr UINT kNonClientMiddleDown = 0x00A7;

} // namespace

void DrawBitmapAt(CDC* dc, CBitmap& bitmap, int x, int y)
{
    BITMAP info{};
    if (!bitmap.GetSafeHandle() || !bitmap.GetBitmap(&info))
        return;
    CDC memory;
    if (!memory.CreateCompatibleDC(dc))
        return;
    CBitmap* old = memory.SelectObject(&bitmap);
    dc->BitBlt(x, y, info.bmWidth, info.bmHeight, &memory, 0, 0, SRCCOPY);
    memory.SelectObject(old);
}

BEGIN_MESSAGE_MAP(CSplashWnd, CWnd)
ON_WM_CREATE()
ON_WM_PAINT()
ON_WM_TIMER()
END_MESSAGE_MAP()

CSplashWnd::CSplashWnd() = default;

CSplashWnd::~CSplashWnd()
{
    if (g_pSplashWnd == this)
        g_pSplashWnd = nullptr;
}

void CSplashWnd::EnableSplashScreen(BOOL enable)
{
    g_bShowSplashWnd = enable;
}

CSplashWnd* CSplashWnd::GetSplashWnd()
{
    return g_pSplashWnd;
}

void CSplashWnd::ShowSplashScreen(CWnd* parent)
{
    if (!g_bShowSplashWnd || g_pSplashWnd)
        return;
    g_pSplashWnd = new CSplashWnd;
    if (!g_pSplashWnd->Create(parent)) {
        delete g_pSplashWnd;
        g_pSplashWnd = nullptr;
        return;
    }
    g_pSplashWnd->UpdateWindow();
}

BOOL CSplashWnd::PreTranslateAppMessage(MSG* msg)
{
    if (!g_pSplashWnd || !msg)
        return FALSE;
    switch (msg->message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case kNonClientLeftDown:
    case kNonClientRightDown:
    case kNonClientMiddleDown:
        g_pSplashWnd->HideSplashScreen();
        return TRUE;
    default:
        return FALSE;
    }
}

BOOL CSplashWnd::Create(CWnd* parent)
{
    for (size_t i = 0; i < m_Bitmaps.size(); ++i)
        m_Bitmaps[i].LoadBitmap(kBitmapIds[i]);
    m_Captions[1].SetStringId(kSummaryTextId, DT_WORDBREAK);
    m_Captions[1].SetTextColor(RGB(0, 0, 0));
    m_Captions[2].SetStringId(kCopyrightTextId, DT_WORDBREAK);
    m_Captions[2].SetTextColor(RGB(0, 0, 0));
    return CreateEx(0, u"LumitraSplash", u"", WS_POPUP | WS_VISIBLE, CRect(0, 0, kWidth, kHeight), parent, 0);
}

void CSplashWnd::HideSplashScreen()
{
    CWnd* mainWindow = AfxGetMainWnd();
    DestroyWindow(); // deletes this object
    if (mainWindow && mainWindow->GetSafeHwnd())
        mainWindow->UpdateWindow();
}

void CSplashWnd::PostNcDestroy()
{
    delete this;
}

int CSplashWnd::OnCreate(LPCREATESTRUCT create)
{
    if (CWnd::OnCreate(create) == -1)
        return -1;
    CenterWindow();
    SetTimer(kCloseTimer, kShowMs);
    return 0;
}

void CSplashWnd::OnPaint()
{
    CPaintDC dc(this);
    CRect client;
    GetClientRect(&client);
    dc.FillSolidRect(&client, RGB(255, 255, 255));
    DrawBitmapAt(&dc, m_Bitmaps[1], 5, 5);
    DrawBitmapAt(&dc, m_Bitmaps[0], 5, 50);
    DrawBitmapAt(&dc, m_Bitmaps[3], 30, 250);
    DrawBitmapAt(&dc, m_Bitmaps[2], 420, 250);
    m_Captions[0].Draw(&dc, CRect(310, 15, 470, 30));
    m_Captions[1].Draw(&dc, CRect(35, 300, 350, 360));
    m_Captions[2].Draw(&dc, CRect(10, 355, 440, 475));
}

void CSplashWnd::OnTimer(UINT_PTR)
{
    HideSplashScreen();
}
