#include "shell/app/TextTables.h"

#include "foundation/FCLocale.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr size_t kNotFound = std::u16string_view::npos;

size_t TabFrom(std::u16string_view line, size_t from)
{
    return from > line.size() ? kNotFound : line.find(u'\t', from);
}

// The decimal digits at the start of the field (none: 0), kept within int.
int LeadingNumber(std::u16string_view field)
{
    int value = 0;
    for (const char16_t c : field) {
        if (c < u'0' || c > u'9')
            break;
        value = value > 99999999 ? value : value * 10 + (c - u'0');
    }
    return value;
}

COLORREF LeadingHex(std::u16string_view field)
{
    COLORREF value = 0;
    for (const char16_t c : field) {
        const int digit = HexDigitValue(c);
        if (digit < 0)
            break;
        value = value << 4 | static_cast<COLORREF>(digit);
    }
    return value;
}

void ReplaceAll(std::u16string& text, std::u16string_view from, char16_t to)
{
    for (size_t at = text.find(from); at != std::u16string::npos; at = text.find(from, at + 1))
        text.replace(at, from.size(), 1, to);
}

// The program's own entries for the ids it cannot do without.
const CStringItem* BuiltInItem(int id)
{
    static const std::vector<CStringItem> items = [] {
        const COLORREF white = RGB(255, 255, 255);
        std::vector<CStringItem> list;
        for (const auto& [entryId, text] : std::initializer_list<std::pair<int, const char16_t*>>{
                 {104, u"Default"},
                 {105, u"Custom"},
                 {999, u"Lumitra4"},
                 {9000, u"Lumitra4"},
                 {9001, u"OK"},
                 {9002, u"Cancel"},
                 {9003, u"Yes"},
                 {9004, u"No"},
                 {9005, u"The file already exists. Do you want to replace it?"},
                 {9006, u""},
                 {9007, u"Yes to All"},
                 {9008, u""},
             })
            list.push_back(CStringItem{entryId, 0, white, text});
        return list;
    }();
    for (const CStringItem& item : items)
        if (item.m_nId == id)
            return &item;
    return nullptr;
}

} // namespace

std::optional<CStringItem> ParseStringTableLine(std::u16string_view line)
{
    if (TabFrom(line, 0) != 5 || TabFrom(line, 6) != 10 || TabFrom(line, 11) != 17)
        return std::nullopt;
    CStringItem item;
    item.m_nId = LeadingNumber(line.substr(0, 5));
    item.m_nFontId = LeadingNumber(line.substr(6, 4));
    item.m_Color = LeadingHex(line.substr(11, 6));
    item.m_strText = std::u16string(line.substr(18));
    ReplaceAll(item.m_strText, u"\\t", u'\t');
    ReplaceAll(item.m_strText, u"\\n", u'\n');
    return item;
}

std::optional<CFontDescription> ParseFontTableLine(std::u16string_view line)
{
    if (TabFrom(line, 0) != 4)
        return std::nullopt;
    const size_t faceTab = TabFrom(line, 5);
    if (faceTab == kNotFound)
        return std::nullopt;
    CFontDescription description;
    description.m_nFontId = LeadingNumber(line.substr(0, 4));
    const std::u16string_view style = line.substr(5, faceTab - 5);
    const bool negative = !style.empty() && style[0] == u'-';
    const int height = LeadingNumber(style.substr(negative ? 1 : 0));
    const bool bold = style.find(u'b') != kNotFound || style.find(u'B') != kNotFound;

    LOGFONTW& font = description.m_LogFont;
    font.lfHeight = negative ? -height : height;
    font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = ANTIALIASED_QUALITY;
    const std::u16string_view face = line.substr(faceTab + 1, LF_FACESIZE - 1);
    std::copy(face.begin(), face.end(), font.lfFaceName);
    return description;
}

bool ReadTextTableFile(const FString& path, std::string& bytes)
{
    return ReadAppFile(path, bytes, kMaxTextTableFileSize) == AppFileRead::kRead && bytes.size() >= 2;
}

void CStringTable::Load(std::string_view fileBytes)
{
    Free();
    ForEachUtf16Line(fileBytes, [this](std::u16string_view line) {
        if (std::optional<CStringItem> item = ParseStringTableLine(line))
            m_Items.push_back(std::make_unique<CStringItem>(std::move(*item)));
        return true;
    });
    int largest = -1;
    for (const auto& item : m_Items)
        largest = std::max(largest, item->m_nId);
    m_First.assign(static_cast<size_t>(largest + 1), nullptr);
    for (const auto& item : m_Items)
        if (!m_First[static_cast<size_t>(item->m_nId)])
            m_First[static_cast<size_t>(item->m_nId)] = item.get();
}

bool CStringTable::LoadFile(const FString& path)
{
    std::string bytes;
    if (!ReadTextTableFile(path, bytes))
        return false;
    Load(bytes);
    return true;
}

void CStringTable::Free()
{
    m_First.clear();
    m_Items.clear();
}

const CStringItem* CStringTable::FindInTable(int id) const
{
    return id >= 0 && static_cast<size_t>(id) < m_First.size() ? m_First[static_cast<size_t>(id)] : nullptr;
}

const CStringItem* CStringTable::Find(int id) const
{
    const CStringItem* item = FindInTable(id);
    return item ? item : BuiltInItem(id);
}

// ---- Formats

namespace {

struct Conversion {
    std::string printfFormat; // "%", flags, width, precision and the conversion, narrow
    TextArgKind kind;
};

// Splits the format into literal text and conversions; false for a
// conversion the program never passes.
bool SplitFormat(std::u16string_view format, std::vector<std::u16string>& literals, std::vector<Conversion>& conversions)
{
    literals.assign(1, std::u16string());
    conversions.clear();
    for (size_t at = 0; at < format.size(); ++at) {
        if (format[at] != u'%') {
            literals.back() += format[at];
            continue;
        }
        if (at + 1 < format.size() && format[at + 1] == u'%') {
            literals.back() += u'%';
            ++at;
            continue;
        }
        std::string printfFormat = "%";
        size_t next = at + 1;
        // Takes the characters of the set; false when there are more than limit.
        const auto take = [&](std::u16string_view allowed, size_t limit) {
            size_t taken = 0;
            for (; next < format.size() && allowed.find(format[next]) != kNotFound; ++taken)
                printfFormat += static_cast<char>(format[next++]);
            return taken <= limit;
        };
        // A width or precision beyond three digits is no caption's.
        if (!take(u"-+ #0", 5) || !take(u"0123456789", 3))
            return false;
        if (next < format.size() && format[next] == u'.') {
            printfFormat += '.';
            ++next;
            if (!take(u"0123456789", 3))
                return false;
        }
        if (next < format.size() && format[next] == u'l')
            ++next; // "%ld" and "%lf" pass the same values here
        if (next >= format.size())
            return false;
        const char16_t c = format[next];
        TextArgKind kind;
        if (std::u16string_view(u"diuxXoc").find(c) != kNotFound)
            kind = TextArgKind::kInt;
        else if (std::u16string_view(u"fFeEgGaA").find(c) != kNotFound)
            kind = TextArgKind::kDouble;
        else
            return false;
        printfFormat += static_cast<char>(c);
        conversions.push_back({printfFormat, kind});
        literals.emplace_back();
        at = next;
    }
    return true;
}

} // namespace

bool TextFormatMatches(std::u16string_view format, std::initializer_list<TextArgKind> kinds)
{
    std::vector<std::u16string> literals;
    std::vector<Conversion> conversions;
    if (!SplitFormat(format, literals, conversions) || conversions.size() != kinds.size())
        return false;
    size_t i = 0;
    for (const TextArgKind kind : kinds)
        if (conversions[i++].kind != kind)
            return false;
    return true;
}

std::optional<std::u16string> FormatTableText(std::u16string_view format, std::initializer_list<TextArg> args)
{
    std::vector<std::u16string> literals;
    std::vector<Conversion> conversions;
    if (!SplitFormat(format, literals, conversions) || conversions.size() > args.size())
        return std::nullopt;
    FScopedCLocale cLocale;
    std::u16string text = literals[0];
    size_t i = 0;
    for (const TextArg& arg : args) {
        if (i == conversions.size())
            break; // values the text does not show, as printf ignores them
        const Conversion& conversion = conversions[i];
        if (conversion.kind != arg.kind)
            return std::nullopt;
        char buffer[512];
        const int length = arg.kind == TextArgKind::kInt
                               ? std::snprintf(buffer, sizeof buffer, conversion.printfFormat.c_str(), arg.i)
                               : std::snprintf(buffer, sizeof buffer, conversion.printfFormat.c_str(), arg.d);
        if (length < 0)
            return std::nullopt;
        for (const char* c = buffer; *c; ++c)
            text += static_cast<char16_t>(static_cast<unsigned char>(*c));
        text += literals[++i];
    }
    return text;
}
