#pragma once
// What both print option dialogs share: the position lists (each entry's
// code kept as its item data) and the font button, which runs the
// platform's font dialog on a print font whose lfHeight is a size in tenths
// of a point.

#include "toolkit/CComboBoxBase.h"

#include "platform/afx/AfxWin.h"

#include <utility>
#include <vector>

namespace printoptions {

// Fills the list with (text id, code) entries, all of them shown at once.
void FillPositions(CComboBoxBase& combo, const std::vector<std::pair<int, int>>& entries);
// Selects the first entry of that code; entry 0 when none has it.
void SelectPosition(CComboBoxBase& combo, int code);
// The selected entry's code; the first entry's when none is selected.
int SelectedPosition(const CComboBoxBase& combo);

// Runs the font dialog (owner `owner`) on font and colour; on OK they become
// the choice, the size in tenths of a point again. With fixedSize only face,
// style, effects and colour can change: the size stays font.lfHeight / 10
// points. False, nothing changed, on cancel.
bool ChoosePrintFont(CWnd* owner, LOGFONTW& font, COLORREF& colour, bool fixedSize);

// The background of the option dialogs' controls.
inline constexpr COLORREF kOptionBackground = RGB(100, 98, 99);

} // namespace printoptions
