#pragma once
// The red channel of the sensor is softer than green and blue, and slightly
// shifted: stage 2 sharpens it with an unsharp mask whose blur can be shifted
// horizontally by weighting the left and right neighbours. Q14 weights.
#include "foundation/FPixmap.h"

#include <cstdint>

// Five rows of W horizontally filtered red values, slot 0 the oldest; every
// call fills slot 4 and rotates (each slot takes the next one's array).
struct RedSharpenWindow {
    int32_t* apRows[5];
};

// Feeds in into the window and, when out is given (the row two behind),
// sharpens its red component in columns 1 .. W-2 with strength a (negative
// strengths sharpen nothing). Both weights 0 mean 2048 on the left and 0 on
// the right. Driven like the 5-row chroma kernel: input row min(y, H-1) for
// y = 0 .. H+1, output row y-2 from y = 2, and at y = 2 slot 2 is first
// copied into slots 0 and 1.
void SharpenRedRow(const FPixelClass48SRGB* in, FPixelClass48SRGB* out, int32_t a, RedSharpenWindow& window,
                   int32_t W, int32_t leftWeight, int32_t rightWeight);

// SharpenRedRow driven over every row of a 48-bit signed RGB image as above,
// in bands, with its result: each band fills its window from the two rows
// above it and reads the two below, from copies taken before any row changes.
void SharpenRedImage(FPixmap* image, int32_t a, int32_t leftWeight, int32_t rightWeight, uint32_t bandCount);
