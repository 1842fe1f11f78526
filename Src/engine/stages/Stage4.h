#pragma once
// Stage 4, the last development step: the user's tone curve, Retinex gain and
// saturation applied to the stage-3 images, converted from the working colour
// space into the output colour space and pixel type.
#include "engine/colour/ColorMatrix3x3.h"

#include <cstdint>

// The saturation matrix for s: 1 + s/3 on the diagonal, -s/6 elsewhere, so
// every row sums to 1 and grey stays grey (s = 0 is the identity).
ColorMatrix3x3 MakeSaturationMatrix(double saturation);

// The working space of the stage-2 output: ROMM (11) when stage 2 says so,
// else sRGB (2).
int32_t Stage4WorkingSpace(bool rommWorkingSpace);
