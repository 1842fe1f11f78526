#pragma once
// The scale changes of the noise reduction: the working image or a float image
// decimated 2:1 or 4:1 into a float image, and a float image interpolated back
// 1:2 or 1:4. The phases match (a 2:1 output pixel i sits at input 2i + 0.5, a
// 1:2 output pixel j at j / 2 - 0.25; 4i + 1.5 and (j - 1.5) / 4 for 4), so a
// decimation followed by the matching interpolation does not move the picture.
// Kernels that reach outside the image repeat its edge samples.
//
// Destinations are allocated by the caller. A decimation writes
// (W >> s) x (H >> s) pixels; an interpolation writes kW x kH pixels and, where
// its destination is larger (a full-size image whose size is no multiple of
// the factor), repeats its last column and row to the destination's edges, so
// no strip is left unwritten. Nothing is written beyond the destination.
#include "engine/core/RunRowBands.h"
#include "engine/noise/NoiseReductionImage.h"

#include <array>
#include <cstdint>
#include <vector>

// 1:1, each sample converted to float.
void ConvertFrom48S(FloatRGBPixmap& destination, const WorkingPixmap& source, uint32_t bandCount = kRowBandCount);
// 1:1 copy.
void CopyRGBFloat(FloatRGBPixmap& destination, const FloatRGBPixmap& source);

// The decimations run in bands of output rows (kRowBandCount, or bandCount
// where given); the result does not depend on it.
// 2:1 with the kernel (1, 3, 3, 1) / 8 in both directions.
void DownSample2From48S(FloatRGBPixmap& destination, const WorkingPixmap& source, uint32_t bandCount = kRowBandCount);
void DownSample2(FloatRGBPixmap& destination, const FloatRGBPixmap& source, uint32_t bandCount = kRowBandCount);

// 4:1 with an eight-tap triangle whose taps are rounded to four decimals (their
// sum is 1.0004, so a flat image gains 1.0004^2).
void DownSample4From48S(FloatRGBPixmap& destination, const WorkingPixmap& source, uint32_t bandCount = kRowBandCount);
void DownSample4(FloatRGBPixmap& destination, const FloatRGBPixmap& source, uint32_t bandCount = kRowBandCount);

// Separable linear interpolation 1:2 and 1:4.
void UpSample2(FloatRGBPixmap& destination, const FloatRGBPixmap& source);
void UpSample4(FloatRGBPixmap& destination, const FloatRGBPixmap& source);

// The rows of the interpolation by factor (1, 2 or 4; 1 copies, any other
// value counts as 4) of a non-empty source into a columns x rows destination,
// each made when asked for, in any order: a row equals that row of UpSample2
// or UpSample4 (or, for 1, of the copy with its last column and row
// repeated), so a caller can consume the upsampled image row by row without
// holding it. One object per thread.
class UpsampledRows {
public:
    UpsampledRows(const FloatRGBPixmap& source, int32_t factor, int32_t columns, int32_t rows);
    // Row y of 0 .. rows - 1: columns pixels, valid until the next call.
    const FPixelClassFlt32RGB* Row(int32_t y);

    // Two horizontally interpolated source rows, reused alternately.
    struct Lines {
        std::vector<FPixelClassFlt32RGB> pixels;
        std::array<int32_t, 2> rowInLine;
        int32_t columns;
    };

private:
    const FloatRGBPixmap& m_Source;
    int32_t m_iFactor;
    int32_t m_iOutColumns;
    int32_t m_iOutRows;
    Lines m_Lines;
    std::vector<FPixelClassFlt32RGB> m_Blended;
};
