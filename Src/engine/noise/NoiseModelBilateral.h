#pragma once
// The colour-denoising filter of the noise reduction: each pixel of the small
// float image becomes the mean of a square window around it, every neighbour
// weighted by exp(-s D), D its squared colour difference from the centre in
// units of the variance the camera's noise model predicts for the centre.
// Neighbours with D of 16 or more get no weight; there is no spatial fall-off.
#include "engine/noise/NoiseReductionImage.h"

#include <array>
#include <cstdint>

// The weights exp(-s i / 100) for D = i / 100 quantised down. One per call of
// the noise reduction: several engines may reduce noise at the same time.
struct RangeWeightTable {
    static constexpr int32_t kEntries = 1600;
    float fLimit = 16.0f;
    float fScale = 100.0f;
    std::array<float, kEntries> afWeight{};
};

// s is the noise scaling; a negative one or no number counts as 0 (every
// accepted neighbour weighs 1), so a weight never exceeds 1.
void FillRangeWeightTable(RangeWeightTable& table, float noiseScaling);

// The weight of squared distance d: 0 at or beyond the limit (and for no number).
inline float RangeWeight(const RangeWeightTable& table, float d)
{
    if (!(d < table.fLimit))
        return 0.0f;
    const int32_t index = static_cast<int32_t>(d * table.fScale);
    return table.afWeight[static_cast<size_t>(index < RangeWeightTable::kEntries ? index
                                                                                 : RangeWeightTable::kEntries - 1)];
}

// The variance of component c at value v is a_c + b_c |v|: noiseModel holds
// a_R, a_G, a_B, b_R, b_G, b_B.
struct ColorNoiseModel {
    float a[3];
    float b[3];
};

// Filters rows firstRow to lastRow (inclusive) of source into the same rows of
// destination, every column; the window is windowSize wide (2r + 1, taken as 1
// to 127), every other sample in a quincunx when subSampleKernel is set.
// Window positions outside the image repeat the edge pixels. A variance that
// is not positive counts as a tiny one: only equal colours are then averaged.
void BilateralFilterRows(FloatRGBPixmap& destination, const FloatRGBPixmap& source, int32_t windowSize,
                         const ColorNoiseModel& noiseModel, bool subSampleKernel, const RangeWeightTable& table,
                         int32_t firstRow, int32_t lastRow);
