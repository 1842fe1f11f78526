#pragma once
// The DIB sections the palettes' controls render into: top-down rows, 24 or
// 32 bits per pixel, without compression.

#include "platform/win/WinGdi.h"

// Null when the section cannot be made (bits then null too).
HBITMAP CreateTopDownDib(HDC dc, int width, int height, WORD bitCount, void** bits);
