#include "toolkit/ItemText.h"

void DrawItemText(CDC* dc, const std::u16string& text, RECT rect, UINT format) {
  if (!dc) return;
  std::u16string copy(text);
  copy.resize(text.size() + 16, u'\0');
  dc->DrawText(copy.data(), -1, &rect, format);
}
