#pragma once
// The application's text table as the toolkit reads it: by numeric id, a
// text, a font of the application's font table (or none) and a 24-bit colour.
// The application installs its tables at start-up; until then, and for an id
// the table does not hold, a lookup changes nothing and answers FALSE.

#include "platform/win/WinTypes.h"

#include <string>

class CFont;

class ITextTable {
public:
  virtual ~ITextTable() = default;
  // Found: text and colour are replaced, the font only when the entry names
  // a font the font table holds. Not found: nothing changes.
  virtual BOOL GetString(int id, std::u16string& text, CFont*& font, COLORREF& colour) = 0;
};

void SetTextTable(ITextTable* table);
BOOL GetTextTableString(int id, std::u16string& text, CFont*& font, COLORREF& colour);
