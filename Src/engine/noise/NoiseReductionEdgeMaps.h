#pragma once
// The edge maps that steer the noise reduction's edge-aware smoothing: 1 lets
// the smoothing pass a pixel, 0 stops it. One measures the colour gradient in
// units of the camera's noise model, the other the luminance gradient. Border
// pixels are never written (the work images start at 0 there: a full edge).
#include "engine/noise/NoiseModelBilateral.h"
#include "engine/noise/NoiseReductionImage.h"

#include <cstdint>

// 1 - tanh(s G) for rows firstRow to lastRow, limited to 1 .. H - 2, columns
// 1 .. W - 2; G the root mean square of the central differences divided by the
// predicted variance. An edge scale s that is negative or no number counts as
// 0 (no edges), so the map stays within 0 .. 1.
void NoiseModelEdgeMapRows(FloatMonoPixmap& destination, const FloatRGBPixmap& source, float edgeScale,
                           const ColorNoiseModel& noiseModel, int32_t firstRow, int32_t lastRow);

// 2 / (1 + e^M) with M the larger squared luminance difference to the two
// horizontal or the two vertical neighbours, luminance wR R + wG G + wB B.
void LuminanceEdgeMap(FloatMonoPixmap& destination, const FloatRGBPixmap& source, float wR, float wG, float wB);

// edgeMap := E2 (edgeMap + 1 - E2) per pixel, E2 the luminance edge map: 0
// where either is 0 on the border, the colour map where the luminance is flat.
void CombineEdgeMaps(FloatMonoPixmap& edgeMap, const FloatMonoPixmap& luminanceEdgeMap);

// Both in one, rows firstRow to lastRow of edgeMap, with no luminance edge
// map held: edgeMap := CombineEdgeMaps(edgeMap, LuminanceEdgeMap(source))
// with a zero-filled luminance map. Bands may run it on their own rows.
void CombineLuminanceEdgeMapRows(FloatMonoPixmap& edgeMap, const FloatRGBPixmap& source, float wR, float wG,
                                 float wB, int32_t firstRow, int32_t lastRow);
