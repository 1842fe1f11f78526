#pragma once
// What the application's small windows share: texts of the text table, the
// client area's size, and controls placed at client coordinates.

#include "platform/afx/AfxWin.h"
#include "platform/win/WinDialogs.h"

#include <string>
#include <vector>

// The text of an id; empty when the table has none.
std::u16string AppText(int id);
// Sizes the window so that its client area is cx x cy, where it stands.
void SetClientAreaSize(CWnd* window, int cx, int cy);
// Moves the dialog's control to the rectangle (left, top, right, bottom).
void MoveDlgControl(CWnd* dialog, int id, const RECT& rect);
// Registers a dialog template once: every control is placed later, so the
// template only names them (client size in dialog units).
void RegisterAppDialogTemplate(UINT id, SIZE size, std::vector<DialogItemTemplate> items);
