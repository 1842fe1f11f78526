#pragma once
// Narrow text of a code page to UTF-16 and back, for the names the development
// facade reads from and writes to raw files. The system's "ANSI" code page is
// UTF-8 (code pages 0 to 3 and 65001); other code pages (932 Shift-JIS, 1252,
// ...) are converted with iconv. Invalid text is never guessed at.

#include "platform/win/WinTypes.h"

// A new zero-terminated UTF-16 text (new[], the caller deletes it with
// delete[]); null for null text, an unknown code page or text that is not
// valid in it.
char16_t* MultiByteToWideAlloc(const char* text, UINT codePage);

// A new zero-terminated narrow text (malloc, the caller frees it) of the first
// charCount UTF-16 units (little-endian bytes; up to the first zero unit). A
// leading byte-order mark counts among the units and is skipped; the mark
// FE FF means the units are big-endian. Text that cannot be converted gives an
// empty text; null only when memory runs out.
char* Utf16ToMultiByte(int charCount, const BYTE* utf16, UINT codePage);
