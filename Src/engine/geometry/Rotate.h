#pragma once
// Turning a display image by the angle stored with its file. Each source pixel
// is copied, unfiltered, to the one output position its 16.16 fixed-point turn
// lands on, so a quarter turn is an exact permutation of the pixels.
#include "foundation/FPixmap.h"

// Turns input by angleDegrees (clockwise for positive angles) into output,
// whose size the caller chose (normally the turned bounds). Output types:
// PIXEL_24_RGB, PIXEL_32_ARGB, PIXEL_32_BGRA and PIXEL_48_RGB; any other
// throws FExceptionPpUnknownPixelType. The input must be a pixmap of the
// output's class, else std::bad_cast. Nothing is written before a check fails.
// Pixels that fall outside the output are dropped; output pixels no input
// pixel reaches keep what they held.
void Rotate(const FPixmap* input, FPixmap* output, double angleDegrees);
