#pragma once
// The one place where UTF-16 and UTF-8 are converted into each other. Every
// other component converts through these functions, so malformed input is
// refused the same way everywhere: an empty optional, never a guess.

#include <optional>
#include <string>
#include <string_view>

// Refuses lone or misordered surrogates.
std::optional<std::string> Utf16ToUtf8(std::u16string_view text);
// Refuses overlong forms, encoded surrogates, values above U+10FFFF, stray
// continuation bytes and truncated sequences.
std::optional<std::u16string> Utf8ToUtf16(std::string_view text);
// For texts the C library hands out as wchar_t (32-bit on Linux). Refuses
// surrogate code points and values above U+10FFFF.
std::optional<std::u16string> Utf32ToUtf16(std::u32string_view text);
