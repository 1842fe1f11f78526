#pragma once
// A quick estimate of an image's mean colour from a regular grid of its
// pixels, in R, G, B order on the scale of its pixel type.
#include "foundation/FPixmap.h"
#include "foundation/FValueTypes.h"

#include <cstdint>

// The means over rows and columns start, start + step, ... (start = step / 2;
// a step of 0 or less is 1); (0, 0, 0) when no pixel lies on the grid. Pixel
// types 7, 8, 10 (read on the 11-bit scale), 15, 16 and 17. Throws
// FExceptionPixelProc2 "SubsampledColorAverage: Unknown pixel type" for any
// other type, and "SubsampledAverage: input pixmap ptr is not specified type"
// when there is no pixmap or its header is not of its type's class.
FDoubleTriple& SubsampledColorAverage(FDoubleTriple& out, const FPixmap* pixmap, int32_t step);

// SubsampledColorAverage with step 4, each mean multiplied by its channel's
// factor.
FDoubleTriple& ScaledColorAverage(FDoubleTriple& out, const FPixmap* pixmap, const FDoubleTriple& factors);
