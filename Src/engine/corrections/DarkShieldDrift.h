#pragma once
// The dark level of the working image in a masked (dark-shield) rectangle and
// its linear trend across the columns. Stage 2 measures the top and the bottom
// shield and takes the two results as the offset ramps of the first and the
// last image row.
#include "foundation/FPixmap.h"
#include "foundation/FValueTypes.h"

#include <array>

// Total slopes across an image row for R, G, B (the change over W columns),
// then the mean levels R, G, B: the ramp record of the row correction.
using FDriftRecord = std::array<double, 6>;
// The record of the top rectangle, then that of the bottom rectangle.
using FDriftPair = std::array<double, 12>;

// Fills the record from the rectangle (right and bottom exclusive); an empty
// rectangle gives six zeros. Throws FExceptionPixelProc2 with "CalculateDrift:
// input image is NULL", "CalculateDrift: Input image has NULL buffer", or
// "Calculate drift: DarkShield out of range" for a rectangle that reaches
// outside the image (top >= H and bottom > H included).
FDriftRecord& CalculateDrift(FDriftRecord& out, const FPixmapTemplate<FPixelClass48SRGB>* image, const FIntRect& rect);

FDriftPair& CalculateDriftPair(FDriftPair& out, const FPixmapTemplate<FPixelClass48SRGB>* image, const FIntRect& top,
                               const FIntRect& bottom);
