#pragma once
// What the program's dialogs share in laying themselves out: their templates
// are drawn in pixels (each dialog places its controls in pixels again when
// it opens), and the client area is sized without moving the window.

#include "platform/afx/AfxWin.h"
#include "platform/win/WinDialogs.h"

#include <vector>

namespace dialogs {

// A control of a template at a rectangle in pixels (left, top, right, bottom).
DialogItemTemplate PixelItem(int id, const char16_t* className, DWORD style, RECT pixels);
// Registers the template with a client area of the size in pixels; controls
// are kept within it when their pixels round to dialog units.
void RegisterPixelTemplate(UINT id, SIZE clientPixels, std::vector<DialogItemTemplate> items);

// Sizes the window so that its client area is cx x cy, without moving it or
// changing the z-order.
void SetClientSize(CWnd& window, int cx, int cy);
// Moves a child to a client rectangle (left, top, right, bottom).
void Place(CWnd& control, RECT rect);

// The text of an id of the text table; empty when the table lacks it.
std::u16string TableText(int textId);

} // namespace dialogs
