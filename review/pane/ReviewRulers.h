#pragma once
// The review pane's rulers: a 20-pixel band along the top and one along the
// left edge of the client area, ticks in picture pixels from the picture's
// origin (a long one with its number every fifth), and a red mark at the
// cursor in each band.

#include "foundation/FValueTypes.h"
#include "platform/afx/AfxDC.h"

constexpr int kRulerBand = 20;

// Picture pixels between two ticks at a zoom.
int RulerTickStep(double zoom);

struct RulerLook {
  CFont* font = nullptr;         // the top band's numbers
  CFont* verticalFont = nullptr; // the left band's, turned by -90 degrees
  bool ticksHidden = false;
};

// Draws both bands over client: origin is the client position of picture
// point (0, 0); cursor (may be null) the client position of the mouse.
void DrawRulers(CDC* dc, const CRect& client, FDoublePoint origin, double zoom, const RulerLook& look,
                const CPoint* cursor);
