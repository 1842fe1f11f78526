#pragma once
// Narrow texts of the facade (descriptors, property values, error texts) are
// UTF-8, the system's narrow code page; a text that does not convert keeps
// what survives the core's 7-bit and byte-widening rules instead of vanishing.

#include "foundation/FString.h"
#include "foundation/FUnicode.h"

#include <string>

inline std::string KVR_NarrowText(const FString& text)
{
    std::optional<std::string> utf8 = Utf16ToUtf8(text.View());
    return utf8 ? std::move(*utf8) : std::string(text.GetAscii());
}

inline FString KVR_WideText(const char* text)
{
    if (!text)
        return FString();
    std::optional<std::u16string> utf16 = Utf8ToUtf16(text);
    return utf16 ? FString(std::u16string_view(*utf16)) : FString(text);
}
