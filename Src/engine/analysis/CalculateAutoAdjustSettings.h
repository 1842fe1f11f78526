#pragma once
// Proposed starting settings for a picture, read from a 1:16 sample of the
// working image: the tone values from percentiles of a luma histogram on the
// cube-root scale, the colour gains and the saturation from a 32 x 32 x 32
// colour histogram.
#include "foundation/FPixmap.h"
#include "foundation/FValueTypes.h"

#include <cstdint>
#include <vector>

// Bins of the colour histogram: cell (r, g, b) is entry r + 32 g + 1024 b.
inline constexpr int kAutoAdjustColorCells = 32 * 32 * 32;

// The sample: one source row in four, four-pixel horizontal means, with the
// largest value of each channel (at least 1).
struct FAutoAdjustSample {
    int32_t iColumns = 0;
    int32_t iRows = 0;
    std::vector<FPixelClass48SRGB> pixels; // row-major, unfilled pixels 0
    FIntTriple maxima{1, 1, 1};
};

// image: an FPixmap::PIXEL_48S_RGB pixmap; anything else throws
// FExceptionPixelProc2. Tone values are multiples of 0.1 in -1.5 .. 1.5, the
// saturation a multiple of 0.1 in -0.7 .. 0.7, the gains red, green, blue with
// the largest exactly 1. A picture too small to sample (under 32 x 40 pixels)
// gives tone values 0, saturation 0 and gains 1. A fill light that is not a
// finite number counts as 0.
void CalculateAutoAdjustSettings(const FPixmap* image, const FLUT16& cubeRoot, const FLUT16& inverseCubeRoot,
                                 double fillLight, double& exposure, double& contrast, double& shadow,
                                 double& highlight, double& saturation, double colorGains[3]);

// The sample of the image; empty (0 x 0) when the image is under 32 x 40.
FAutoAdjustSample AutoAdjustSubsample(const FPixmap& image);

// Each x becomes table[x rounded half away from zero], read as signed 16 bits.
std::vector<double> ApplyLUTToVector(const std::vector<double>& values, const FLUT16& table);

// cumulativeLuma: the normalised cumulative luma histogram (last entry 1).
void AutoAdjustTone(const std::vector<double>& cumulativeLuma, const FLUT16& cubeRoot, const FLUT16& inverseCubeRoot,
                    double fillLight, double& exposure, double& contrast, double& shadow, double& highlight);

// histogram: kAutoAdjustColorCells counts, smoothed in place.
void AutoAdjustColor(std::vector<uint32_t>& histogram, const FIntTriple& maxima, double colorGains[3],
                     double& saturation);
