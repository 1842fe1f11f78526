#pragma once
// The two floating palettes as the review windows reach them: the
// adjustment palette and the information palette, one of each for the program.

#include "platform/afx/AfxWin.h"

class IAdjustPaletteFrame;

namespace ReviewPalettes {

// The open adjustment palette, or null.
CWnd* AdjustPalette();
// Opens the adjustment palette (made when needed); null when it cannot be made.
CWnd* OpenAdjustPalette();
void CloseAdjustPalette();
void SetAdjustPaletteGrayPointMode(BOOL on);
// The palette stops following a review window that goes.
void ForgetFrame(IAdjustPaletteFrame* frame);

// Whether the program has an information palette at all; the open one.
BOOL HasInfoPalette();
CWnd* InfoPalette();
CWnd* OpenInfoPalette();
void CloseInfoPalette();

} // namespace ReviewPalettes
