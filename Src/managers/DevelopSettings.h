#pragma once
// What the output stages derive from a develop request and the picture's
// capture properties: the output size fitted to the picture's shape, the
// crop inside it, and the two model-dependent inputs of the tone table.
#include "foundation/FValueTypes.h"

class FCamdata;
class FPropTree;

// The output size fitted to the shape of the picture as displayed (columns x
// rows of the file, swapped for a quarter turn): the side that would stretch
// the picture shrinks, but only when it shrinks by more than one pixel.
// False when the picture has no size.
bool FitOutputSize(const FIntSize& requested, int32_t columns, int32_t rows, int32_t rotation, FIntSize& fitted);

// The crop clamped to the fitted size; false when it lies outside it or
// nothing of it is left.
bool ClampCropToOutput(const FIntRect& crop, const FIntSize& fitted, FIntRect& clamped);

// Whether the tone table takes the model's tone offsets: cameras "KT6M" from
// firmware 1.2 on, "HV25" and "KT5R", never in a "NEUTRAL" colour mode.
bool UsesModelToneOffsets(const FPropTree& captureProps);

// The contrast compensation of the picture's colour mode ("CM_DESC") from the
// camera data's list "ColorModeContrastCompensations"; 0 without one.
double ColorModeContrastCompensation(const FCamdata* camdata, const FPropTree& captureProps);
