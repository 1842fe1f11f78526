#pragma once
// The window system's remaining drawing calls: blends, colour-keyed blits,
// single pixels, polylines, reading a bitmap's pixels back, 3-D edges, and
// cursors. Qt-free. Included by WinGdi.h.

#include "platform/win/WinGdi.h"

struct BLENDFUNCTION {
  BYTE BlendOp = 0;
  BYTE BlendFlags = 0;
  BYTE SourceConstantAlpha = 255;
  BYTE AlphaFormat = 0;
};
constexpr BYTE AC_SRC_OVER = 0x00;
constexpr BYTE AC_SRC_ALPHA = 0x01;

// Stretches the source over the destination blended with a constant alpha
// (AC_SRC_OVER without AC_SRC_ALPHA: the source's own alpha is not used).
BOOL AlphaBlend(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, int sw, int sh,
                BLENDFUNCTION blend);
// Stretches the source over the destination leaving out its pixels of the
// transparent colour.
BOOL TransparentBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, int sw, int sh,
                    UINT transparent);
COLORREF GetPixel(HDC dc, int x, int y); // CLR_INVALID outside the DC's area
COLORREF SetPixel(HDC dc, int x, int y, COLORREF colour);
// Lines through the points with the DC's pen; the last point is left out.
BOOL Polyline(HDC dc, const POINT* points, int count);
// Reads rows of a bitmap (not selected into any DC) as a 24- or 32-bit
// picture of the header's row order; the number of rows copied.
int GetDIBits(HDC dc, HBITMAP bitmap, UINT start, UINT lines, LPVOID bits, BITMAPINFO* info, UINT usage);

// 3-D edges.
constexpr UINT BDR_RAISEDOUTER = 0x0001;
constexpr UINT BDR_SUNKENOUTER = 0x0002;
constexpr UINT BDR_RAISEDINNER = 0x0004;
constexpr UINT BDR_SUNKENINNER = 0x0008;
constexpr UINT EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER;
constexpr UINT EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER;
constexpr UINT EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER;
constexpr UINT EDGE_BUMP = BDR_RAISEDOUTER | BDR_SUNKENINNER;
constexpr UINT BF_LEFT = 0x0001;
constexpr UINT BF_TOP = 0x0002;
constexpr UINT BF_RIGHT = 0x0004;
constexpr UINT BF_BOTTOM = 0x0008;
constexpr UINT BF_RECT = BF_LEFT | BF_TOP | BF_RIGHT | BF_BOTTOM;
constexpr UINT BF_ADJUST = 0x2000;
// Two-pixel edges in the classic greys; with BF_ADJUST rect shrinks to the inside.
BOOL DrawEdge(HDC dc, LPRECT rect, UINT edge, UINT flags);

// Cursors. The standard ones are the window system's shapes; a resource id
// loads cursors/<id>.png of the program's data folder (hot spot at its centre).
#define IDC_ARROW MAKEINTRESOURCEW(32512)
#define IDC_IBEAM MAKEINTRESOURCEW(32513)
#define IDC_WAIT MAKEINTRESOURCEW(32514)
#define IDC_CROSS MAKEINTRESOURCEW(32515)
#define IDC_UPARROW MAKEINTRESOURCEW(32516)
#define IDC_SIZENWSE MAKEINTRESOURCEW(32642)
#define IDC_SIZENESW MAKEINTRESOURCEW(32643)
#define IDC_SIZEWE MAKEINTRESOURCEW(32644)
#define IDC_SIZENS MAKEINTRESOURCEW(32645)
#define IDC_SIZEALL MAKEINTRESOURCEW(32646)
#define IDC_NO MAKEINTRESOURCEW(32648)
#define IDC_HAND MAKEINTRESOURCEW(32649)
#define IDC_APPSTARTING MAKEINTRESOURCEW(32650)
// instance null: a standard cursor; otherwise a resource cursor by id. The
// same cursor is answered every time (cursors are shared, never destroyed).
HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name);
#define LoadCursor LoadCursorW
// The standard cursor id of a cursor (32512...), 0 for a resource cursor or none.
int StandardCursorId(HCURSOR cursor);
