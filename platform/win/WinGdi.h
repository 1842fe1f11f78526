#pragma once
// Device contexts and drawing objects (GDI) under the names the user
// interface is written with. Qt-free. Conventions kept from the original
// interface: right and bottom edges are exclusive, LineTo leaves its end
// point out, a new DC is OPAQUE with a white background, black text, a
// one-pixel black pen and a white brush, COLORREF is 0x00BBGGRR, and SRCCOPY
// overwrites. Only MM_TEXT exists: one logical unit is one device pixel.

#include "platform/win/WinBase.h"
#include "platform/win/WinUser.h"

struct HDC__;
using HDC = HDC__*;
// Drawing objects share one handle space; the typed handles convert to
// HGDIOBJ implicitly and back with a cast, as in the original interface.
struct HGDIOBJ__ {};
using HGDIOBJ = HGDIOBJ__*;
struct HBRUSH__ : HGDIOBJ__ {};
using HBRUSH = HBRUSH__*;
struct HPEN__ : HGDIOBJ__ {};
using HPEN = HPEN__*;
struct HBITMAP__ : HGDIOBJ__ {};
using HBITMAP = HBITMAP__*;
struct HFONT__ : HGDIOBJ__ {};
using HFONT = HFONT__*;
struct HRGN__ : HGDIOBJ__ {};
using HRGN = HRGN__*;
struct HICON__;
using HICON = HICON__*;
using HCURSOR = HICON;

constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;
constexpr int MM_TEXT = 1;
constexpr int BLACKONWHITE = 1;
constexpr int WHITEONBLACK = 2;
constexpr int COLORONCOLOR = 3;
constexpr int HALFTONE = 4;
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;

// Stock objects.
constexpr int WHITE_BRUSH = 0;
constexpr int LTGRAY_BRUSH = 1;
constexpr int GRAY_BRUSH = 2;
constexpr int DKGRAY_BRUSH = 3;
constexpr int BLACK_BRUSH = 4;
constexpr int NULL_BRUSH = 5;
constexpr int HOLLOW_BRUSH = NULL_BRUSH;
constexpr int WHITE_PEN = 6;
constexpr int BLACK_PEN = 7;
constexpr int NULL_PEN = 8;
constexpr int DEFAULT_GUI_FONT = 17;

// Pen styles.
constexpr int PS_SOLID = 0;
constexpr int PS_DOT = 2;
constexpr int PS_NULL = 5;

// Device capabilities.
constexpr int HORZRES = 8;
constexpr int VERTRES = 10;
constexpr int BITSPIXEL = 12;
constexpr int LOGPIXELSX = 88;
constexpr int LOGPIXELSY = 90;
constexpr int TECHNOLOGY = 2;
constexpr int HORZSIZE = 4; // millimetres
constexpr int VERTSIZE = 6;
constexpr int PLANES = 14;
constexpr int NUMCOLORS = 24;
constexpr int PHYSICALWIDTH = 110;
constexpr int PHYSICALHEIGHT = 111;
constexpr int PHYSICALOFFSETX = 112;
constexpr int PHYSICALOFFSETY = 113;
constexpr int DT_RASDISPLAY = 1;
constexpr int DT_RASPRINTER = 2;

// Object kinds of GetObjectType.
constexpr DWORD OBJ_PEN = 1;
constexpr DWORD OBJ_BRUSH = 2;
constexpr DWORD OBJ_DC = 3;
constexpr DWORD OBJ_FONT = 6;
constexpr DWORD OBJ_BITMAP = 7;
constexpr DWORD OBJ_MEMDC = 10;

// Icons and bitmaps from the program's resources (PNG files by id).
constexpr UINT IMAGE_BITMAP = 0;
constexpr UINT IMAGE_ICON = 1;
constexpr UINT IMAGE_CURSOR = 2;
constexpr UINT LR_DEFAULTCOLOR = 0x0000;
constexpr UINT DI_NORMAL = 0x0003;
inline LPCWSTR MAKEINTRESOURCEW(int id) {
  return reinterpret_cast<LPCWSTR>(static_cast<std::uintptr_t>(static_cast<WORD>(id)));
}
#define MAKEINTRESOURCE MAKEINTRESOURCEW

// DrawText formats.
constexpr UINT DT_TOP = 0x0000;
constexpr UINT DT_LEFT = 0x0000;
constexpr UINT DT_CENTER = 0x0001;
constexpr UINT DT_RIGHT = 0x0002;
constexpr UINT DT_VCENTER = 0x0004;
constexpr UINT DT_BOTTOM = 0x0008;
constexpr UINT DT_WORDBREAK = 0x0010;
constexpr UINT DT_SINGLELINE = 0x0020;
constexpr UINT DT_NOCLIP = 0x0100;
constexpr UINT DT_CALCRECT = 0x0400;
constexpr UINT DT_NOPREFIX = 0x0800;

struct PAINTSTRUCT {
  HDC hdc = nullptr;
  BOOL fErase = FALSE;
  RECT rcPaint;
  BOOL fRestore = FALSE;
  BOOL fIncUpdate = FALSE;
  BYTE rgbReserved[32] = {};
};
using LPPAINTSTRUCT = PAINTSTRUCT*;

struct LOGBRUSH {
  UINT lbStyle = 0;
  COLORREF lbColor = 0;
  UINT_PTR lbHatch = 0;
};

constexpr int LF_FACESIZE = 32;
// 92 bytes, as stored in settings files.
struct LOGFONTW {
  LONG lfHeight = 0; // < 0: character (em) height; > 0: cell height
  LONG lfWidth = 0;
  LONG lfEscapement = 0;
  LONG lfOrientation = 0;
  LONG lfWeight = 0;
  BYTE lfItalic = 0;
  BYTE lfUnderline = 0;
  BYTE lfStrikeOut = 0;
  BYTE lfCharSet = 0;
  BYTE lfOutPrecision = 0;
  BYTE lfClipPrecision = 0;
  BYTE lfQuality = 0;
  BYTE lfPitchAndFamily = 0;
  WCHAR lfFaceName[LF_FACESIZE] = {};
};
static_assert(sizeof(LOGFONTW) == 92);
using LOGFONT = LOGFONTW;
constexpr LONG FW_NORMAL = 400;
constexpr LONG FW_BOLD = 700;
constexpr BYTE DEFAULT_CHARSET = 1;
constexpr BYTE NONANTIALIASED_QUALITY = 3;
constexpr BYTE ANTIALIASED_QUALITY = 4;

struct TEXTMETRICW {
  LONG tmHeight = 0; // ascent + descent
  LONG tmAscent = 0;
  LONG tmDescent = 0;
  LONG tmInternalLeading = 0;
  LONG tmExternalLeading = 0;
  LONG tmAveCharWidth = 0;
  LONG tmMaxCharWidth = 0;
  LONG tmWeight = 0;
};
using TEXTMETRIC = TEXTMETRICW;

struct BITMAP {
  LONG bmType = 0;
  LONG bmWidth = 0;
  LONG bmHeight = 0;
  LONG bmWidthBytes = 0;
  WORD bmPlanes = 0;
  WORD bmBitsPixel = 0;
  LPVOID bmBits = nullptr;
};

// Device contexts.
HDC GetDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC dc);
HDC BeginPaint(HWND hwnd, LPPAINTSTRUCT paint);
BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint);
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
HWND WindowFromDC(HDC dc);
int SaveDC(HDC dc);
BOOL RestoreDC(HDC dc, int savedState);
int GetDeviceCaps(HDC dc, int index);

// DC state.
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
HGDIOBJ GetCurrentObject(HDC dc, UINT kind);
int SetBkMode(HDC dc, int mode);
int GetBkMode(HDC dc);
COLORREF SetBkColor(HDC dc, COLORREF colour);
COLORREF GetBkColor(HDC dc);
COLORREF SetTextColor(HDC dc, COLORREF colour);
COLORREF GetTextColor(HDC dc);
int SetStretchBltMode(HDC dc, int mode);
int GetStretchBltMode(HDC dc);
int SetMapMode(HDC dc, int mode);
int GetMapMode(HDC dc);
// Moves the device point that logical (0, 0) lands on (offset only).
BOOL SetViewportOrgEx(HDC dc, int x, int y, LPPOINT previous);
BOOL GetViewportOrgEx(HDC dc, LPPOINT origin);
int GetClipBox(HDC dc, LPRECT rect);

// Objects. A selected object is freed only once it is no longer selected.
HGDIOBJ GetStockObject(int index);
BOOL DeleteObject(HGDIOBJ object);
DWORD GetObjectType(HGDIOBJ object);
int GetObjectW(HGDIOBJ object, int size, LPVOID buffer);
HBRUSH CreateSolidBrush(COLORREF colour);
HPEN CreatePen(int style, int width, COLORREF colour);
HFONT CreateFontIndirectW(const LOGFONTW* font);
#define CreateFontIndirect CreateFontIndirectW
#define GetObject GetObjectW
// A DIB section: 24 or 32 bits, bottom-up (positive height) or top-down;
// *bits receives the pixel memory, which drawing and the caller share.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset);
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
BOOL GdiFlush();

// Drawing.
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);
int FrameRect(HDC dc, const RECT* rect, HBRUSH brush);
BOOL MoveToEx(HDC dc, int x, int y, LPPOINT previous);
BOOL LineTo(HDC dc, int x, int y);
BOOL Rectangle(HDC dc, int left, int top, int right, int bottom);
BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, DWORD rop);
BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, int sw, int sh,
                DWORD rop);
// The source origin follows the picture's row order: for a bottom-up picture
// (sx, sy) counts from its lower-left corner, for a top-down one from its
// upper-left; the picture lands upright either way. Only 24- and 32-bit
// pictures draw; others fail with 0. Negative destination extents mirror.
int StretchDIBits(HDC dc, int x, int y, int width, int height, int sx, int sy, int sw, int sh, const void* bits,
                  const BITMAPINFO* info, UINT usage, DWORD rop);

// Text. DrawText lays out single lines, lines broken at line feeds, or
// word-broken lines, with ellipses and "&" prefixes (WinGdiText.h); the
// height of the text is its result.
int DrawTextW(HDC dc, LPCWSTR text, int count, LPRECT rect, UINT format);
BOOL GetTextMetricsW(HDC dc, TEXTMETRICW* metrics);
BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, SIZE* size);
#define DrawText DrawTextW
#define GetTextMetrics GetTextMetricsW
#define GetTextExtentPoint32 GetTextExtentPoint32W

// Icons, bitmaps and cursors from the program's resources.
HANDLE LoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int cx, int cy, UINT flags);
#define LoadImage LoadImageW
HBITMAP LoadBitmapW(HINSTANCE instance, LPCWSTR name);
#define LoadBitmap LoadBitmapW
BOOL DrawIconEx(HDC dc, int x, int y, HICON icon, int cx, int cy, UINT step, HBRUSH flicker, UINT flags);
BOOL DestroyIcon(HICON icon);
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();

#include "platform/win/WinGdiDraw.h"
#include "platform/win/WinGdiRegion.h"
#include "platform/win/WinGdiText.h"
#include "platform/win/WinIcm.h"
