#pragma once
// The data the program puts on the clipboard and reads back from it, as the
// bytes of each format:
// - the file list: a DROPFILES header of 20 bytes (names at offset 20, drop
//   point 0, 0, not in the non-client area, wide names), then every path in
//   UTF-16 with its terminating 0 and one more 0 at the end;
// - "Preferred DropEffect": one 32-bit little-endian value, 1 copy or 2 move;
// - Unicode text: UTF-16 with its terminating 0, lines ending with CR LF.
// Blocks read back may come from other programs and are checked throughout.

#include "foundation/FArray.h"
#include "foundation/FString.h"
#include "platform/win/WinTypes.h"

#include <cstddef>
#include <string_view>
#include <vector>

// The formats, as the clipboard layer is asked for them.
enum class AppClipboardFormat { kFileList, kPreferredDropEffect, kUnicodeText };

inline constexpr DWORD kDropEffectCopy = 1;
inline constexpr DWORD kDropEffectMove = 2;

std::vector<BYTE> MakeClipboardFileList(const FArray<FString>& paths);
// Appends the block's paths (wide or, when the header says so, narrow UTF-8
// names). False, nothing appended, for a block too short for its header,
// names that lie outside it or are not terminated, or an empty list.
bool ReadClipboardFileList(const BYTE* block, size_t size, FArray<FString>& paths);

std::vector<BYTE> MakeClipboardDropEffect(DWORD effect);
// False for a block shorter than 4 bytes.
bool ReadClipboardDropEffect(const BYTE* block, size_t size, DWORD& effect);

// Every line feed not preceded by a carriage return gets one.
std::vector<BYTE> MakeClipboardText(std::u16string_view text);

// BuildMultiString: the strings one after another, each followed by a 0
// character, and one more 0 at the end (the filter lists of file dialogs).
// Writes into buffer when it is not null (at most size characters, the last
// written one always 0); returns the characters the whole list needs, its
// final 0 included.
int BuildMultiString(char16_t* buffer, int size, const FArray<FString>& strings);
