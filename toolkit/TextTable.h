#pragma once
// The application's text table as the toolkit reads it. Every caption of the
// toolkit's controls comes from it by numeric id, never from a window text:
// an id names a text, optionally a font of the application's font table and
// a 24-bit colour. The application installs its tables at start-up (its text
// and font table files); tests install a small table of their own. Until a
// table is installed, and for an id the table does not hold, a lookup
// changes nothing and answers FALSE.
//
//   class AppTextTable : public ITextTable {
//     std::optional<TextTableEntry> Find(int id) const override { ... }
//   };
//   SetTextTable(&appTable);                 // the table must outlive every lookup
//
// The table is read on the GUI thread and by drawing on other threads: Find
// must be safe to call from any thread (a table that does not change after
// it is installed is).

#include "platform/win/WinTypes.h"

#include <optional>
#include <string>

class CFont;

// What an id of the text table brings.
struct TextTableEntry {
  std::u16string text;
  // A font of the application's font table, owned by the application; null
  // when the entry names no font (font id 0) or one the font table lacks.
  CFont* font = nullptr;
  // The entry's colour (0x00BBGGRR); absent leaves the caller's colour.
  std::optional<COLORREF> colour;
};

class ITextTable {
public:
  virtual ~ITextTable() = default;
  // The entry of an id; none when the table holds no such id.
  virtual std::optional<TextTableEntry> Find(int id) const = 0;
};

// Installs the table (null: none). Any thread.
void SetTextTable(const ITextTable* table);
const ITextTable* GetTextTable();

// The application's lookup (CLumitraApp::GetString) over the installed table:
// when the id is found, the text is replaced, the colour when the entry has
// one, the font only when the entry names one; TRUE. When it is not found,
// nothing changes; FALSE.
BOOL GetTextTableString(int id, std::u16string& text, CFont*& font, COLORREF& colour);
// The text of an id alone; empty when the table holds no such id.
std::u16string GetTextTableText(int id);
