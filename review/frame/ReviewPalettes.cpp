#include "review/frame/ReviewPalettes.h"

#include "review/palettes/CAdjustPalette.h"

namespace ReviewPalettes {

CWnd* AdjustPalette() { return CAdjustPalette::GetInstance(); }
CWnd* OpenAdjustPalette() { return CAdjustPalette::Open(); }
void CloseAdjustPalette() { CAdjustPalette::Close(); }

void SetAdjustPaletteGrayPointMode(BOOL on) {
  if (CAdjustPalette* palette = CAdjustPalette::GetInstance()) palette->SetGrayPointMode(on ? 1 : 0);
}

void ForgetFrame(IAdjustPaletteFrame* frame) { CAdjustPalette::ForgetFrame(frame); }

// The information palette joins the program here.
BOOL HasInfoPalette() { return FALSE; }
CWnd* InfoPalette() { return nullptr; }
CWnd* OpenInfoPalette() { return nullptr; }
void CloseInfoPalette() {}

} // namespace ReviewPalettes
