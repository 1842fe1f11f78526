#pragma once
// Bringing a display image (PIXEL_32_BGRA) to the size of the screen preview:
// a rectangle of one display pixmap is copied into a rectangle of another and
// scaled when their sizes differ. All integer, in Q15: rows or pixels picked
// when one axis shrinks, bilinear when both shrink, a 4-tap windowed-sinc
// filter when an axis grows. Enlargements work in place, from the far end.
#include "foundation/FPixmap.h"
#include "foundation/FValueTypes.h"

#include <array>
#include <cstdint>

// Copies sourceRect of source into destinationRect of destination, scaling as
// needed. The rectangles (right and bottom exclusive) are clipped to their
// pixmaps on copies, each clipped side moving the other rectangle's side in
// proportion. Does nothing when a pixmap or rectangle is missing, a pixmap is
// not PIXEL_32_BGRA or has no pixels, or clipping leaves nothing.
void ResizeDisplayPixmap(FPixmap* destination, const FIntRect* destinationRect, const FPixmap* source,
                         const FIntRect* sourceRect);

// The clipping of ResizeDisplayPixmap: false when nothing is left to copy.
bool ClipResizeRects(FIntRect& destinationRect, const FPixmap& destination, FIntRect& sourceRect,
                     const FPixmap& source);

// 128 phases of 4 Q15 weights for the taps two before, one before, at and one
// after the current pixel; phase k is k/128 of a pixel back from the current
// pixel. Phase 0 is (0, 0, 32768, 0); each phase sums to exactly 32768; phase
// 128 - k is phase k reversed.
using FDisplayResizeWeights = std::array<std::array<int32_t, 4>, 128>;
const FDisplayResizeWeights& DisplayResizeWeights();
