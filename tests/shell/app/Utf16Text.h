#pragma once
// The bytes of UTF-16 little-endian text files, as the application's text
// tables and preset files hold them.

#include "shell/app/AppFiles.h"

#include <string>
#include <string_view>

namespace testsupport {

inline std::string Utf16(std::u16string_view text)
{
    std::string bytes;
    AppendUtf16(bytes, text);
    return bytes;
}

// The same after the byte-order mark FF FE.
inline std::string Utf16File(std::u16string_view text) { return "\xFF\xFE" + Utf16(text); }

} // namespace testsupport
