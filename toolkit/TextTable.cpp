#include "toolkit/TextTable.h"

namespace {
ITextTable* g_table = nullptr;
}

void SetTextTable(ITextTable* table) { g_table = table; }

BOOL GetTextTableString(int id, std::u16string& text, CFont*& font, COLORREF& colour) {
  return g_table ? g_table->GetString(id, text, font, colour) : FALSE;
}
