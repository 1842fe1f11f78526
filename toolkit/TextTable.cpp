#include "toolkit/TextTable.h"

#include <atomic>

namespace {
std::atomic<const ITextTable*> g_table{nullptr};
}

void SetTextTable(const ITextTable* table) { g_table.store(table); }

const ITextTable* GetTextTable() { return g_table.load(); }

BOOL GetTextTableString(int id, std::u16string& text, CFont*& font, COLORREF& colour) {
  const ITextTable* table = g_table.load();
  if (!table) return FALSE;
  std::optional<TextTableEntry> entry = table->Find(id);
  if (!entry) return FALSE;
  text = std::move(entry->text);
  if (entry->colour) colour = *entry->colour & 0xFFFFFF;
  if (entry->font) font = entry->font;
  return TRUE;
}

std::u16string GetTextTableText(int id) {
  const ITextTable* table = g_table.load();
  std::optional<TextTableEntry> entry = table ? table->Find(id) : std::nullopt;
  return entry ? std::move(entry->text) : std::u16string();
}
