#pragma once
// The last colour-denoising steps on the noise reduction's small image: dark
// pixels are pulled toward grey, then a two-sided first-order recursive filter
// smooths along rows and columns with a feedback k x weight per pixel, so the
// smoothing spreads over flat areas and stops at edges (weight 0).
#include "engine/core/RunRowBands.h"
#include "engine/noise/NoiseReductionImage.h"

#include <cstdint>

// Per pixel with largest component m: below low the pixel becomes grey at m,
// above high it keeps its colour, in between it is blended linearly. Limits
// with high not above low leave the colours unchanged (the source is copied).
// destination and source may be the same image.
void DarkNeutralize(FloatRGBPixmap& destination, const FloatRGBPixmap& source, int32_t high, int32_t low);
void DarkNeutralize(FloatRGBPixmap& destination, const FloatRGBPixmap& source, int32_t high, int32_t low,
                    uint32_t bandCount);

// Filters every row of source along its length and writes the result
// transposed (row y, position x to row x, column y of destination, which is
// H x W); weightsOut, when given, receives the weights transposed likewise.
// The feedback into position m is k x weights(m); k is taken within 0 .. 1
// (no number counts as 0), so the filter stays a weighted mean.
// The rows are independent: they run in bands (kRowBandCount, or bandCount
// where given), and the result does not depend on it; nor elsewhere here.
void EdgeAwareSmoothRows(FloatRGBPixmap& destination, const FloatRGBPixmap& source, FloatMonoPixmap* weightsOut,
                         const FloatMonoPixmap& weights, float k);
void EdgeAwareSmoothRows(FloatRGBPixmap& destination, const FloatRGBPixmap& source, FloatMonoPixmap* weightsOut,
                         const FloatMonoPixmap& weights, float k, uint32_t bandCount);

// iterations x (a row pass and a column pass); destination and source may be
// the same image, each iteration then filtering the previous one's result.
// No iterations (or a negative count) leave the destination unchanged.
void EdgeAwareSmooth(FloatRGBPixmap& destination, const FloatRGBPixmap& source, const FloatMonoPixmap& weights,
                     float k, int32_t iterations);
void EdgeAwareSmooth(FloatRGBPixmap& destination, const FloatRGBPixmap& source, const FloatMonoPixmap& weights,
                     float k, int32_t iterations, uint32_t bandCount);
