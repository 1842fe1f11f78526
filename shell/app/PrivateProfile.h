#pragma once
// The settings file's format: sections ("[Name]") of "Key=Value" lines, with
// the semantics the program's settings code relies on:
// - section and key names are compared without regard to ASCII case; the
//   first section of a name and the first key of a name within it count;
// - a value is read without the blanks around it, and without one pair of
//   quotes around it; a missing key gives the caller's default, and a value is
//   cut to the caller's buffer size less one;
// - writing a key changes its line in place, or appends it to its section,
//   or appends the section to the file; every other line (comments, keys
//   the program does not know) stays as it was;
// - a structure is stored as its bytes in upper-case hexadecimal followed by
//   a checksum byte (the sum of the bytes modulo 256); reading it fails when
//   the key is missing, the length differs, a digit is not hexadecimal or the
//   checksum is wrong.
//
// The file is UTF-8. Every text survives a write and a read: a value that
// starts or ends with a blank or a quote is written inside quotes, names the
// file system cannot decode keep their bytes (see FPath.h), and a line break
// in a value, which would end its line, is left out when it is written.

#include "foundation/FString.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CPrivateProfile {
public:
    // The buffer size of the original interface: values keep at most 8191 units.
    static constexpr size_t kDefaultValueSize = 8192;
    // Settings files larger than this are not read (a real one holds a few
    // kilobytes).
    static constexpr size_t kMaxFileSize = 1u << 20;

    // Replaces the profile by the text of a file's bytes. Never fails: lines
    // that are neither a section nor a key are kept as they are.
    void Parse(std::string_view bytes);
    std::string Serialize() const;

    FString GetString(std::string_view section, std::string_view key, const FString& defaultValue,
                      size_t bufferSize = kDefaultValueSize) const;
    void WriteString(std::string_view section, std::string_view key, const FString& value);

    // False, and out unchanged, when the key is missing or its text is damaged.
    bool GetStruct(std::string_view section, std::string_view key, void* out, size_t size) const;
    void WriteStruct(std::string_view section, std::string_view key, const void* data, size_t size);

    bool HasKey(std::string_view section, std::string_view key) const;

private:
    enum class LineKind : uint8_t { kOther, kSection, kKey };
    // One line as read or written, without its line end. For a section the
    // name lies between nameBegin and nameEnd; for a key too, and its value
    // starts at valueStart.
    struct Line {
        std::string text;
        uint32_t nameBegin = 0;
        uint32_t nameEnd = 0;
        uint32_t valueStart = 0;
        LineKind kind = LineKind::kOther;

        std::string_view Name() const { return std::string_view(text).substr(nameBegin, nameEnd - nameBegin); }
    };
    static Line ClassifyLine(std::string text);

    // Index of the section's header line, or npos.
    size_t FindSection(std::string_view section) const;
    // Index of the key's line in the section starting at header, or npos.
    size_t FindKey(size_t header, std::string_view key) const;
    // Index past the last key or other line of the section (before the next header).
    size_t SectionEnd(size_t header) const;
    std::string RawValue(std::string_view section, std::string_view key, bool& found) const;
    void WriteRaw(std::string_view section, std::string_view key, const std::string& value);

    std::vector<Line> m_Lines;
};
