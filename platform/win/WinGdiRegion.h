#pragma once
// Regions and clipping of the window system's drawing interface. Qt-free.
// Included by WinGdi.h. A region is a set of pixels kept as rectangles; right
// and bottom edges are exclusive, as everywhere.

#include "platform/win/WinGdi.h"

constexpr DWORD OBJ_REGION = 8;

// Region kinds (results of CombineRgn, GetRgnBox, clip calls).
constexpr int RGN_ERROR = 0;
constexpr int NULLREGION = 1;
constexpr int SIMPLEREGION = 2;
constexpr int COMPLEXREGION = 3;

// CombineRgn modes.
constexpr int RGN_AND = 1;
constexpr int RGN_OR = 2;
constexpr int RGN_XOR = 3;
constexpr int RGN_DIFF = 4;
constexpr int RGN_COPY = 5;

HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRectRgnIndirect(const RECT* rect);
// A rectangle with corners rounded by quarters of an ellipse of the given
// size. As on the original system, the region leaves out the rectangle's
// last column and row (callers add one where they want the full width).
HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight);
int CombineRgn(HRGN destination, HRGN a, HRGN b, int mode);
int OffsetRgn(HRGN region, int dx, int dy);
int GetRgnBox(HRGN region, LPRECT box);
BOOL PtInRegion(HRGN region, int x, int y);
BOOL RectInRegion(HRGN region, const RECT* rect);
BOOL EqualRgn(HRGN a, HRGN b);
BOOL SetRectRgn(HRGN region, int left, int top, int right, int bottom);

// Drawing regions (logical coordinates).
BOOL FillRgn(HDC dc, HRGN region, HBRUSH brush);
// Paints the pixels of the region within width pixels horizontally or height
// pixels vertically of its outside.
BOOL FrameRgn(HDC dc, HRGN region, HBRUSH brush, int width, int height);
// Fills with the DC's brush.
BOOL PaintRgn(HDC dc, HRGN region);

// Clipping. The DC's clip region is in device coordinates (SelectClipRgn
// takes the region as it stands; the rectangle calls take logical
// coordinates). Drawing is limited to it and, in a paint, to the update region.
int SelectClipRgn(HDC dc, HRGN region); // null: no clip region
int ExtSelectClipRgn(HDC dc, HRGN region, int mode);
int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);
int ExcludeClipRect(HDC dc, int left, int top, int right, int bottom);
int OffsetClipRgn(HDC dc, int dx, int dy);
// 1 and a copy of the clip region, 0 when the DC has none, -1 on error.
int GetClipRgn(HDC dc, HRGN region);
BOOL PtVisible(HDC dc, int x, int y);
BOOL RectVisible(HDC dc, const RECT* rect);

// Window regions (window coordinates): the window shows and draws only the
// region's pixels; what lies outside shows the windows beneath. The window
// takes the region (the handle is freed); null removes it. Non-zero on success.
int SetWindowRgn(HWND hwnd, HRGN region, BOOL redraw);
// The kind of a copy of the window's region written into `region`;
// RGN_ERROR when the window has none.
int GetWindowRgn(HWND hwnd, HRGN region);
