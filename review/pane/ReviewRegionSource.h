#pragma once
// What the review image pane asks of its owner for the loupe: the picture of
// a window of picture pixels at full resolution. The review form view answers
// it; the pane finds it as its parent window.

#include "toolkit/CET_Dib.h"

class IReviewRegionSource {
public:
  virtual ~IReviewRegionSource() = default;
  // The pixels left <= x < right, top <= y < bottom of the picture at full
  // resolution, and in colour the colour of pixel (x, y); a new picture the
  // caller deletes, or null when nothing can be rendered now (the engine is
  // busy, no picture).
  virtual CET_Dib* RenderRegion(int left, int top, int right, int bottom, int x, int y, COLORREF* colour) = 0;
};
