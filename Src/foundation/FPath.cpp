#include "foundation/FPath.h"

#include <cstdint>

#include "foundation/FUnicode.h"

namespace {

constexpr char16_t kEscapedByteBase = 0xDC00; // + byte (0x80..0xFF)

bool IsEscapedByte(char16_t unit) { return unit >= 0xDC80 && unit <= 0xDCFF; }
bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Length of the UTF-8 sequence a lead byte announces; 0 for a byte that cannot lead.
size_t SequenceLength(uint8_t lead)
{
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

std::u16string_view TrimTrailingSeparators(std::u16string_view text)
{
    while (text.size() > 1 && text.back() == kPathSeparator)
        text.remove_suffix(1);
    return text;
}

} // namespace

FString PathFromNative(std::string_view bytes)
{
    if (auto whole = Utf8ToUtf16(bytes))
        return FString(std::u16string_view(*whole));
    std::u16string out;
    size_t at = 0;
    while (at < bytes.size()) {
        const uint8_t lead = static_cast<uint8_t>(bytes[at]);
        const size_t length = SequenceLength(lead);
        if (length != 0 && at + length <= bytes.size()) {
            if (auto piece = Utf8ToUtf16(bytes.substr(at, length))) {
                out += *piece;
                at += length;
                continue;
            }
        }
        // Not valid UTF-8: keep the byte itself, recoverable by PathToNative.
        out += lead < 0x80 ? static_cast<char16_t>(lead) : static_cast<char16_t>(kEscapedByteBase + lead);
        ++at;
    }
    return FString(std::u16string_view(out));
}

bool PathToNative(const FString& path, std::string& bytes)
{
    bytes.clear();
    const std::u16string_view text = path.View();
    size_t runStart = 0;
    auto flushRun = [&](size_t end) {
        if (end == runStart)
            return true;
        auto piece = Utf16ToUtf8(text.substr(runStart, end - runStart));
        if (!piece)
            return false;
        bytes += *piece;
        return true;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit == 0)
            return false;
        const bool pairedLow = IsLowSurrogate(unit) && i > 0 && IsHighSurrogate(text[i - 1]);
        if (IsEscapedByte(unit) && !pairedLow) {
            if (!flushRun(i))
                return false;
            bytes += static_cast<char>(unit - kEscapedByteBase);
            runStart = i + 1;
        }
    }
    return flushRun(text.size());
}

bool PathIsAbsolute(const FString& path)
{
    return path.GetLength() > 0 && path.View().front() == kPathSeparator;
}

bool PathEndsWithSeparator(const FString& path)
{
    return path.GetLength() > 0 && path.View().back() == kPathSeparator;
}

FString PathJoin(const FString& folder, const FString& name)
{
    if (folder.GetLength() == 0)
        return name;
    std::u16string joined(folder.View());
    std::u16string_view rest = name.View();
    while (!rest.empty() && rest.front() == kPathSeparator)
        rest.remove_prefix(1);
    if (joined.back() != kPathSeparator)
        joined += kPathSeparator;
    joined += rest;
    return FString(std::u16string_view(joined));
}

FString PathParent(const FString& path)
{
    const std::u16string_view text = TrimTrailingSeparators(path.View());
    if (text == u"/")
        return FString();
    const size_t slash = text.rfind(kPathSeparator);
    if (slash == std::u16string_view::npos)
        return FString();
    std::u16string_view parent = text.substr(0, slash);
    parent = TrimTrailingSeparators(parent);
    if (parent.empty() || parent == u"/")
        return FString(u"/");
    return FString(parent);
}

FString PathFileName(const FString& path)
{
    const std::u16string_view text = TrimTrailingSeparators(path.View());
    if (text == u"/")
        return FString();
    const size_t slash = text.rfind(kPathSeparator);
    return FString(slash == std::u16string_view::npos ? text : text.substr(slash + 1));
}

FString PathExtension(const FString& path)
{
    const FString name = PathFileName(path);
    const std::u16string_view text = name.View();
    const size_t dot = text.rfind(u'.');
    if (dot == std::u16string_view::npos || dot == 0)
        return FString();
    return FString(text.substr(dot + 1));
}

void PathSplit(const FString& path, FArray<FString>& parts)
{
    parts.RemoveAll();
    const std::u16string_view text = path.View();
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(kPathSeparator, start);
        if (end == std::u16string_view::npos)
            end = text.size();
        const std::u16string_view part = text.substr(start, end - start);
        if (!part.empty() && part != u".")
            parts.Append(FString(part));
        start = end + 1;
    }
}

FString PathNormalize(const FString& path)
{
    if (path.GetLength() == 0)
        return FString();
    FArray<FString> parts;
    PathSplit(path, parts);
    std::u16string out;
    if (PathIsAbsolute(path))
        out += kPathSeparator;
    for (int i = 0; i < parts.GetCount(); ++i) {
        if (i > 0)
            out += kPathSeparator;
        out += parts[i].View();
    }
    if (out.empty())
        return FString(u".");
    return FString(std::u16string_view(out));
}

bool PathEquals(const FString& a, const FString& b)
{
    return PathNormalize(a) == PathNormalize(b);
}

bool PathIsInside(const FString& path, const FString& folder)
{
    const FString p = PathNormalize(path);
    const FString f = PathNormalize(folder);
    if (p == f)
        return true;
    const std::u16string_view pv = p.View();
    std::u16string prefix(f.View());
    if (prefix.empty())
        return false;
    if (prefix.back() != kPathSeparator)
        prefix += kPathSeparator;
    return pv.substr(0, prefix.size()) == prefix;
}

bool PathIsEntryName(const FString& name)
{
    const std::u16string_view text = name.View();
    return !text.empty() && text.find(kPathSeparator) == std::u16string_view::npos &&
           text.find(char16_t(0)) == std::u16string_view::npos;
}
