#include "shell/app/PrivateProfile.h"

#include "foundation/FPath.h"
#include "shell/app/AppFiles.h"

#include <algorithm>

namespace {

constexpr std::string_view kBlanks = " \t";

bool EqualsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

std::string_view Trim(std::string_view text)
{
    const size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

bool IsQuote(char c) { return c == '"' || c == '\''; }

// The file's bytes of a value: undecodable names keep their bytes; units that
// name no byte (a zero, a surrogate of no byte) and line breaks are left out.
std::string ValueBytes(const FString& value)
{
    std::u16string kept;
    for (const char16_t unit : value.View()) {
        if (unit == u'\r' || unit == u'\n' || unit == 0)
            continue;
        kept += unit;
    }
    std::string bytes;
    if (PathToNative(FString(std::u16string_view(kept)), bytes))
        return bytes;
    // A surrogate that does not stand for a byte: convert unit by unit.
    bytes.clear();
    for (const char16_t unit : kept) {
        std::string one;
        if (PathToNative(FString(std::u16string_view(&unit, 1)), one))
            bytes += one;
    }
    return bytes;
}

char HexDigit(unsigned value) { return "0123456789ABCDEF"[value & 0xF]; }

} // namespace

CPrivateProfile::Line CPrivateProfile::ClassifyLine(std::string text)
{
    Line line;
    line.text = std::move(text);
    const std::string_view view(line.text);
    const size_t first = view.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return line;
    if (view[first] == '[') {
        const size_t close = view.find(']', first + 1);
        if (close != std::string_view::npos) {
            line.kind = LineKind::kSection;
            line.nameBegin = static_cast<uint32_t>(first + 1);
            line.nameEnd = static_cast<uint32_t>(close);
        }
        return line;
    }
    if (view[first] == ';')
        return line;
    const size_t equals = view.find('=');
    if (equals == std::string_view::npos)
        return line;
    const std::string_view name = Trim(view.substr(0, equals));
    if (name.empty())
        return line;
    line.kind = LineKind::kKey;
    line.nameBegin = static_cast<uint32_t>(name.data() - view.data());
    line.nameEnd = static_cast<uint32_t>(line.nameBegin + name.size());
    line.valueStart = static_cast<uint32_t>(equals + 1);
    return line;
}

void CPrivateProfile::Parse(std::string_view bytes)
{
    m_Lines.clear();
    while (!bytes.empty()) {
        const size_t end = std::min(bytes.find('\n'), bytes.size());
        std::string_view text = bytes.substr(0, end);
        while (!text.empty() && text.back() == '\r')
            text.remove_suffix(1);
        m_Lines.push_back(ClassifyLine(std::string(text)));
        bytes.remove_prefix(std::min(end + 1, bytes.size()));
    }
}

std::string CPrivateProfile::Serialize() const
{
    std::string bytes;
    for (const Line& line : m_Lines) {
        bytes += line.text;
        bytes += '\n';
    }
    return bytes;
}

size_t CPrivateProfile::FindSection(std::string_view section) const
{
    for (size_t i = 0; i < m_Lines.size(); ++i)
        if (m_Lines[i].kind == LineKind::kSection && EqualsNoCase(m_Lines[i].Name(), section))
            return i;
    return std::string::npos;
}

size_t CPrivateProfile::SectionEnd(size_t header) const
{
    size_t end = header + 1;
    while (end < m_Lines.size() && m_Lines[end].kind != LineKind::kSection)
        ++end;
    return end;
}

size_t CPrivateProfile::FindKey(size_t header, std::string_view key) const
{
    const size_t end = SectionEnd(header);
    for (size_t i = header + 1; i < end; ++i)
        if (m_Lines[i].kind == LineKind::kKey && EqualsNoCase(m_Lines[i].Name(), key))
            return i;
    return std::string::npos;
}

std::string CPrivateProfile::RawValue(std::string_view section, std::string_view key, bool& found) const
{
    found = false;
    const size_t header = FindSection(section);
    if (header == std::string::npos)
        return {};
    const size_t at = FindKey(header, key);
    if (at == std::string::npos)
        return {};
    found = true;
    std::string_view value = Trim(std::string_view(m_Lines[at].text).substr(m_Lines[at].valueStart));
    if (value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

bool CPrivateProfile::HasKey(std::string_view section, std::string_view key) const
{
    bool found = false;
    RawValue(section, key, found);
    return found;
}

FString CPrivateProfile::GetString(std::string_view section, std::string_view key, const FString& defaultValue,
                                   size_t bufferSize) const
{
    bool found = false;
    const std::string raw = RawValue(section, key, found);
    FString value = found ? PathFromNative(raw) : defaultValue;
    const size_t keep = bufferSize > 0 ? bufferSize - 1 : 0;
    if (static_cast<size_t>(value.GetLength()) > keep)
        value = FString(value.View().substr(0, keep));
    return value;
}

void CPrivateProfile::WriteRaw(std::string_view section, std::string_view key, const std::string& value)
{
    const std::string text = std::string(key) + "=" + value;
    size_t header = FindSection(section);
    if (header == std::string::npos) {
        m_Lines.push_back(ClassifyLine("[" + std::string(section) + "]"));
        m_Lines.push_back(ClassifyLine(text));
        return;
    }
    const size_t at = FindKey(header, key);
    if (at != std::string::npos) {
        // The key keeps the spelling the file gave it.
        m_Lines[at] = ClassifyLine(std::string(m_Lines[at].Name()) + "=" + value);
        return;
    }
    // After the section's last key, so that blank lines before the next
    // section stay where they are.
    size_t insert = SectionEnd(header);
    while (insert > header + 1 && m_Lines[insert - 1].kind == LineKind::kOther &&
           Trim(m_Lines[insert - 1].text).empty())
        --insert;
    m_Lines.insert(m_Lines.begin() + static_cast<std::ptrdiff_t>(insert), ClassifyLine(text));
}

void CPrivateProfile::WriteString(std::string_view section, std::string_view key, const FString& value)
{
    std::string bytes = ValueBytes(value);
    const bool quote = !bytes.empty() && (kBlanks.find(bytes.front()) != std::string_view::npos ||
                                          kBlanks.find(bytes.back()) != std::string_view::npos ||
                                          IsQuote(bytes.front()) || IsQuote(bytes.back()));
    WriteRaw(section, key, quote ? "\"" + bytes + "\"" : bytes);
}

bool CPrivateProfile::GetStruct(std::string_view section, std::string_view key, void* out, size_t size) const
{
    bool found = false;
    const std::string text = RawValue(section, key, found);
    if (!found || text.size() != 2 * (size + 1))
        return false;
    std::string bytes(size + 1, '\0');
    for (size_t i = 0; i <= size; ++i) {
        const int high = HexDigitValue(static_cast<unsigned char>(text[2 * i]));
        const int low = HexDigitValue(static_cast<unsigned char>(text[2 * i + 1]));
        if (high < 0 || low < 0)
            return false;
        bytes[i] = static_cast<char>(high << 4 | low);
    }
    unsigned sum = 0;
    for (size_t i = 0; i < size; ++i)
        sum += static_cast<unsigned char>(bytes[i]);
    if ((sum & 0xFF) != static_cast<unsigned char>(bytes[size]))
        return false;
    std::copy_n(bytes.data(), size, static_cast<char*>(out));
    return true;
}

void CPrivateProfile::WriteStruct(std::string_view section, std::string_view key, const void* data, size_t size)
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    std::string text;
    text.reserve(2 * (size + 1));
    unsigned sum = 0;
    for (size_t i = 0; i < size; ++i) {
        text += HexDigit(bytes[i] >> 4);
        text += HexDigit(bytes[i]);
        sum += bytes[i];
    }
    text += HexDigit((sum & 0xFF) >> 4);
    text += HexDigit(sum);
    WriteRaw(section, key, text);
}
