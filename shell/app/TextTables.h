#pragma once
// The text table ("String.txt") and the font table ("Font.txt") of the
// program folder: every caption, label, title and message of the user
// interface, with the font and colour it is drawn in, by numeric id.
// Translating or restyling the program means editing these two files.
//
// Both are UTF-16 little-endian text (AppFiles.h: ForEachUtf16Line). A line is
// an entry only when its columns are exactly where they belong; every other
// line (comments, headings, empty lines, other widths) is ignored, so a file
// in an 8-bit encoding yields no entries.
//
// Text line, positions counted from 0:
//   0-4 id, 5 TAB, 6-9 font id, 10 TAB, 11-16 colour, 17 TAB, 18- text
// The ids are the digits at the start of their field (none: 0); the colour is
// six hexadecimal digits read as one number and used as a COLORREF, so they
// read blue, green, red; in the text, backslash-t becomes a TAB and then
// backslash-n a line feed.
//
// Font line:
//   0-3 font id, 4 TAB, then up to the next TAB the height and style (the
//   decimal number it begins with is the LOGFONT height; a letter b in either
//   case makes it bold), then the face name (its first 31 characters).
// A font line without that second TAB is ignored.

#include "foundation/FString.h"
#include "platform/win/WinGdi.h"
#include "shell/app/AppFiles.h"

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Text and font tables larger than this are not read.
inline constexpr size_t kMaxTextTableFileSize = 16u << 20;

struct CStringItem {
    int m_nId = 0;
    int m_nFontId = 0; // 0: no font of its own
    COLORREF m_Color = 0;
    std::u16string m_strText;
};

struct CFontDescription {
    int m_nFontId = 0;
    LOGFONTW m_LogFont{};
};

std::optional<CStringItem> ParseStringTableLine(std::u16string_view line);
// The font as the table describes it: width, escapement and orientation 0,
// weight 700 when bold else 400, not italic, underlined or struck out,
// DEFAULT_CHARSET, default precisions, anti-aliased quality, pitch and family 0.
std::optional<CFontDescription> ParseFontTableLine(std::u16string_view line);

// The text table: entries in file order; the first entry of an id wins.
// Read-only once loaded, so lookups from any thread take no lock.
class CStringTable {
public:
    // Empties the table and appends an entry for every valid line.
    void Load(std::string_view fileBytes);
    // FALSE, the table as it was, when the file cannot be read or holds fewer
    // than 2 bytes.
    bool LoadFile(const FString& path);
    void Free();

    int GetCount() const { return static_cast<int>(m_Items.size()); }
    // The first entry with the id, else the program's own entry for the few
    // ids it cannot do without (the message box's texts and buttons, the
    // main window's title, the names of the custom settings), so that the
    // program still works with a missing or damaged table; null for the rest.
    const CStringItem* Find(int id) const;
    // The same without the program's own entries.
    const CStringItem* FindInTable(int id) const;

private:
    std::vector<std::unique_ptr<CStringItem>> m_Items;
    // The first entry of each id, indexed by the id (ids have at most five digits).
    std::vector<const CStringItem*> m_First;
};

// Reads the font table's lines: onFont for every valid line, in file order.
// False when the file cannot be read or holds fewer than 2 bytes.
template <class OnFont>
bool ForEachFontTableLine(std::string_view fileBytes, OnFont&& onFont);
bool ReadTextTableFile(const FString& path, std::string& bytes);

// ---- Texts of the table used as formats

// The table's texts are the user's to edit, so one that is used as a printf
// format is checked against the values the program passes before it is used.
// A value of a format is an int (conversions d, i, u, x, X, o, c) or a double
// (f, F, e, E, g, G, a, A); flags, width and precision are allowed but no "*",
// no length modifier other than l, and no other conversion ("%%" stands for
// itself).
enum class TextArgKind { kInt, kDouble };

struct TextArg {
    TextArg(int value) : kind(TextArgKind::kInt), i(value) {}
    TextArg(double value) : kind(TextArgKind::kDouble), d(value) {}
    TextArgKind kind;
    int i = 0;
    double d = 0;
};

// True when the format's conversions are exactly the kinds given, in order.
bool TextFormatMatches(std::u16string_view format, std::initializer_list<TextArgKind> kinds);
// The formatted text, or nothing when the format's conversions do not match
// the first values in kind and order; values beyond its conversions are not
// shown (as printf ignores them).
std::optional<std::u16string> FormatTableText(std::u16string_view format, std::initializer_list<TextArg> args);

// ---- Implementation

template <class OnFont>
bool ForEachFontTableLine(std::string_view fileBytes, OnFont&& onFont)
{
    if (fileBytes.size() < 2)
        return false;
    ForEachUtf16Line(fileBytes, [&onFont](std::u16string_view line) {
        if (std::optional<CFontDescription> font = ParseFontTableLine(line))
            onFont(*font);
        return true;
    });
    return true;
}
