#pragma once
// How the toolkit's lists and combo box draw an item's text: a single line
// from a copy with room for 16 more characters, so a format that shortens
// the text (an ellipsis with DT_MODIFYSTRING) never changes the item. The
// one place these controls hand text to the DC.

#include "platform/afx/AfxDC.h"

#include <string>

// DT_VCENTER, DT_SINGLELINE, DT_END_ELLIPSIS, DT_MODIFYSTRING.
constexpr UINT kItemTextFormat = 0x18024;

void DrawItemText(CDC* dc, const std::u16string& text, RECT rect, UINT format = kItemTextFormat);
