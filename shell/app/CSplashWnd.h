#pragma once
// The splash window shown while the browser opens: the program's pictures and
// two captions on white, centred over the main frame, for two seconds or until
// the user presses a key or a mouse button. At most one exists; it deletes
// itself when it is destroyed.

#include "platform/afx/AfxDC.h"
#include "platform/afx/AfxWin.h"
#include "toolkit/CStringItemDrawer.h"

#include <array>

class CSplashWnd : public CWnd {
public:
    // Whether the splash window may be shown (start-up: the command line's splash flag).
    static void EnableSplashScreen(BOOL enable);
    // Creates and shows the splash window unless it is not allowed or one exists.
    static void ShowSplashScreen(CWnd* parent);
    // Every message of the user-interface thread comes here first: while the
    // splash window exists a key or mouse-button press hides it and is
    // consumed (TRUE).
    static BOOL PreTranslateAppMessage(MSG* msg);
    // The splash window, or null.
    static CSplashWnd* GetSplashWnd();

    static constexpr UINT_PTR kCloseTimer = 1;
    static constexpr UINT kShowMs = 2000;

protected:
    CSplashWnd();
    ~CSplashWnd() override;
    BOOL Create(CWnd* parent);
    void HideSplashScreen();
    void PostNcDestroy() override;

    afx_msg int OnCreate(LPCREATESTRUCT create);
    afx_msg void OnPaint();
    afx_msg void OnTimer(UINT_PTR id);
    DECLARE_MESSAGE_MAP()

    std::array<CBitmap, 4> m_Bitmaps; // resources 272 to 275
    std::array<CStringItemDrawer, 3> m_Captions;
};

// Draws the picture of a bitmap at its own size with its top-left corner at (x, y).
void DrawBitmapAt(CDC* dc, CBitmap& bitmap, int x, int y);
