#pragma once
// Text output of the window system's drawing interface beyond the first
// step's single lines: the full DrawText format set, text output at a point,
// extents with fitting, text alignment. Qt-free. Included by WinGdi.h.

#include "platform/win/WinGdi.h"

using LPINT = int*;

// DrawText formats (the ones WinGdi.h does not name).
constexpr UINT DT_EXPANDTABS = 0x00000040;
constexpr UINT DT_EXTERNALLEADING = 0x00000200;
constexpr UINT DT_INTERNAL = 0x00001000;
constexpr UINT DT_EDITCONTROL = 0x00002000;
// Replaces the middle of a path with "..." so that the part from its last
// separator ("/" or "\") on, the file name, stays whole.
constexpr UINT DT_PATH_ELLIPSIS = 0x00004000;
// Cuts a line that does not fit and ends it with "...".
constexpr UINT DT_END_ELLIPSIS = 0x00008000;
// With an ellipsis: the text as drawn is written back into the caller's
// buffer, which must hold the text's length plus 4 characters.
constexpr UINT DT_MODIFYSTRING = 0x00010000;
constexpr UINT DT_RTLREADING = 0x00020000;
constexpr UINT DT_WORD_ELLIPSIS = 0x00040000;
constexpr UINT DT_NOFULLWIDTHCHARBREAK = 0x00080000;
// "&x" draws x underlined, "&&" one "&" (unless DT_NOPREFIX); these two draw
// the text without the underlines, or only the underlines.
constexpr UINT DT_HIDEPREFIX = 0x00100000;
constexpr UINT DT_PREFIXONLY = 0x00200000;

// Text alignment of TextOut and ExtTextOut: where the reference point lies.
constexpr UINT TA_NOUPDATECP = 0;
constexpr UINT TA_UPDATECP = 1;
constexpr UINT TA_LEFT = 0;
constexpr UINT TA_RIGHT = 2;
constexpr UINT TA_CENTER = 6;
constexpr UINT TA_TOP = 0;
constexpr UINT TA_BOTTOM = 8;
constexpr UINT TA_BASELINE = 24;
constexpr UINT GDI_ERROR = 0xFFFFFFFF;

// ExtTextOut options.
constexpr UINT ETO_OPAQUE = 0x0002;
constexpr UINT ETO_CLIPPED = 0x0004;

// a * b / c rounded to the nearest integer (halves away from zero) in 64
// bits; -1 when c is 0 or the result does not fit in 32 bits.
int MulDiv(int a, int b, int c);

// A line of text at a point: the reference point is where the text's
// alignment (SetTextAlign) puts it; a font's escapement (tenths of a degree,
// counter-clockwise) turns the line about that point.
BOOL TextOutW(HDC dc, int x, int y, LPCWSTR text, int count);
// As TextOut; ETO_OPAQUE fills rect with the background colour first,
// ETO_CLIPPED keeps the text inside rect. Per-character advances are not
// taken (dx must be null).
BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count, const INT* dx);
UINT SetTextAlign(HDC dc, UINT align);
UINT GetTextAlign(HDC dc);
// The extent of the text; fit receives how many characters fit in maxExtent
// (when fit is given) and dx each character's end position (when given).
BOOL GetTextExtentExPointW(HDC dc, LPCWSTR text, int count, int maxExtent, LPINT fit, LPINT dx, SIZE* size);
// The face the DC's font resolves to; the length copied (without the terminator).
int GetTextFaceW(HDC dc, int count, LPWSTR face);
#define TextOut TextOutW
#define ExtTextOut ExtTextOutW
#define GetTextExtentExPoint GetTextExtentExPointW
#define GetTextFace GetTextFaceW
