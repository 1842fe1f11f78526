#pragma once
// How the application reads and writes its own files (the settings file, the
// preset files, the text and font tables, the licence text and the desktop's
// file-type entries). These files are read and written directly, not through
// the storage classes: the settings and presets are written at shut-down,
// after the core has released its storage classes.
//
// A file is read whole, up to a size limit that no genuine file comes near, so
// a hostile or runaway file cannot exhaust memory. A file is written under a
// temporary name in its own folder, flushed to disk and renamed over the old
// one: a crash or a full disk leaves the old file or the new one, never a part.

#include "foundation/FString.h"

#include <cstddef>
#include <string>
#include <string_view>

enum class AppFileRead {
    kRead,       // the bytes are in the buffer
    kMissing,    // no such file
    kUnreadable, // a folder, a device, too large, or the system refused
};

// Reads the whole regular file at the native path into bytes (emptied first).
AppFileRead ReadAppFile(const FString& path, std::string& bytes, size_t sizeLimit);

// Puts bytes in place of the file at the native path, atomically. False, and
// the old file unchanged, when the folder is missing, the old file is locked
// (no owner write permission: also refused to root), is not a regular file,
// or anything fails on the way. A new file keeps the old one's permissions.
bool WriteAppFileAtomically(const FString& path, std::string_view bytes);

// UTF-16 little-endian text files (text and font tables, preset files, the
// licence text): an optional byte-order mark FF FE or FE FF is skipped (the
// units are taken as little-endian either way), lines end with a line feed,
// and one carriage return before it is dropped. A last odd byte is ignored.
// Calls onLine for every line, the last one also when it has no line feed;
// an empty text gives no line. onLine returns false to stop.
template <class OnLine>
void ForEachUtf16Line(std::string_view bytes, OnLine&& onLine);

// The bytes of text as UTF-16 little-endian units.
void AppendUtf16(std::string& bytes, std::u16string_view text);

// A new file of a unique name "<prefix>XXXXXX<suffix>" in the folder, made
// exclusively (no other file is ever overwritten through it) and holding the
// bytes; its path, or empty (and no file) when it could not be made or written.
FString WriteUniqueAppFile(const FString& folder, const char* prefix, const char* suffix, std::string_view bytes);

// The value of a hexadecimal digit in either case, -1 for another character.
constexpr int HexDigitValue(char32_t c)
{
    return c >= U'0' && c <= U'9' ? static_cast<int>(c - U'0')
           : c >= U'a' && c <= U'f' ? static_cast<int>(c - U'a' + 10)
           : c >= U'A' && c <= U'F' ? static_cast<int>(c - U'A' + 10)
                                    : -1;
}

// ---- Implementation

namespace appfiles_detail {
inline char16_t UnitAt(std::string_view bytes, size_t at)
{
    return static_cast<char16_t>(static_cast<unsigned char>(bytes[at]) |
                                 (static_cast<unsigned char>(bytes[at + 1]) << 8));
}
} // namespace appfiles_detail

template <class OnLine>
void ForEachUtf16Line(std::string_view bytes, OnLine&& onLine)
{
    using appfiles_detail::UnitAt;
    size_t at = 0;
    if (bytes.size() >= 2) {
        const char16_t first = UnitAt(bytes, 0);
        if (first == 0xFEFF || first == 0xFFFE)
            at = 2;
    }
    const size_t end = bytes.size() & ~size_t{1};
    std::u16string line;
    while (at < end) {
        const char16_t unit = UnitAt(bytes, at);
        at += 2;
        if (unit != u'\n') {
            line += unit;
            continue;
        }
        if (!line.empty() && line.back() == u'\r')
            line.pop_back();
        if (!onLine(std::u16string_view(line)))
            return;
        line.clear();
    }
    if (!line.empty()) {
        if (line.back() == u'\r')
            line.pop_back();
        onLine(std::u16string_view(line));
    }
}
