#include "review/frame/ReviewPalettes.h"

#include "review/palettes/CAdjustPalette.h"
#include "review/palettes/CInfoPalette.h"

namespace ReviewPalettes {

CWnd* AdjustPalette() { return CAdjustPalette::GetInstance(); }
CWnd* OpenAdjustPalette() { return CAdjustPalette::Open(); }
void CloseAdjustPalette() { CAdjustPalette::Close(); }

void SetAdjustPaletteGrayPointMode(BOOL on) {
  if (CAdjustPalette* palette = CAdjustPalette::GetInstance()) palette->SetGrayPointMode(on ? 1 : 0);
}

void ForgetFrame(IAdjustPaletteFrame* frame) { CAdjustPalette::ForgetFrame(frame); }

BOOL HasInfoPalette() { return TRUE; }
CWnd* InfoPalette() { return CInfoPalette::GetInstance(); }
CWnd* OpenInfoPalette() { return CInfoPalette::Open(); }
void CloseInfoPalette() { CInfoPalette::Close(); }

} // namespace ReviewPalettes
