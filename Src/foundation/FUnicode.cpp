#include "foundation/FUnicode.h"

#include <cstdint>

namespace {

bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }
bool IsContinuation(uint8_t byte) { return (byte & 0xC0) == 0x80; }

void AppendUtf8(char32_t code, std::string& out)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

void AppendUtf16(char32_t code, std::u16string& out)
{
    if (code < 0x10000) {
        out += static_cast<char16_t>(code);
    } else {
        code -= 0x10000;
        out += static_cast<char16_t>(0xD800 | (code >> 10));
        out += static_cast<char16_t>(0xDC00 | (code & 0x3FF));
    }
}

// Decodes one sequence starting at text[pos]; returns false for any malformed form.
bool DecodeUtf8(std::string_view text, size_t& pos, char32_t& code)
{
    const uint8_t lead = static_cast<uint8_t>(text[pos]);
    size_t extra = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        code = lead;
        ++pos;
        return true;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1;
        code = lead & 0x1F;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2;
        code = lead & 0x0F;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3;
        code = lead & 0x07;
        minimum = 0x10000;
    } else {
        return false; // continuation byte, 0xC0/0xC1 overlongs, or beyond U+10FFFF
    }
    if (text.size() - pos - 1 < extra)
        return false;
    for (size_t i = 1; i <= extra; ++i) {
        const uint8_t byte = static_cast<uint8_t>(text[pos + i]);
        if (!IsContinuation(byte))
            return false;
        code = (code << 6) | (byte & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || IsHighSurrogate(code) || IsLowSurrogate(code))
        return false;
    pos += extra + 1;
    return true;
}

} // namespace

std::optional<std::string> Utf16ToUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t code = text[i];
        if (IsLowSurrogate(code))
            return std::nullopt;
        if (IsHighSurrogate(code)) {
            if (i + 1 >= text.size() || !IsLowSurrogate(text[i + 1]))
                return std::nullopt;
            code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        AppendUtf8(code, out);
    }
    return out;
}

std::optional<std::u16string> Utf8ToUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        char32_t code = 0;
        if (!DecodeUtf8(text, pos, code))
            return std::nullopt;
        AppendUtf16(code, out);
    }
    return out;
}

std::optional<std::u16string> Utf32ToUtf16(std::u32string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (const char32_t code : text) {
        if (code > 0x10FFFF || IsHighSurrogate(code) || IsLowSurrogate(code))
            return std::nullopt;
        AppendUtf16(code, out);
    }
    return out;
}
