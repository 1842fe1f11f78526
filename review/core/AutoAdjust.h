#pragma once
// The automatic adjustment of still pictures (JPEG, TIFF and the like): tone
// values and a colour compensation computed from a sparse sample of the
// picture. Raw files get theirs from the development facade instead.

#include "foundation/FPixmap.h"
#include "foundation/FValueTypes.h"
#include "toolkit/CET_Dib.h"
#include "toolkit/CET_FilterData.h"

#include <cstdint>
#include <valarray>
#include <vector>

// The analysis' result, in the engine's units.
struct AutoAdjustValues {
  AutoAdjustValues() { Reset(); }
  // Every value 0, gains (1, 1, 1), mode 2.
  void Reset();

  double exposure;
  double shadow;
  double contrast;
  double highlight;
  double saturation;
  double fillLight;  // not computed here
  double reserved;   // not computed here
  FDoubleTriple gains;
  int mode;
};

// One row in four of the picture, four neighbouring pixels averaged into one
// sample, each channel byte times 6 (full scale 1530). Owns its pixels.
struct AutoAdjustSample {
  std::vector<FPixelClass48SRGB> pixels;
  int columns = 0;
  int rows = 0;

  FPixmapTemplate<FPixelClass48SRGB> Pixmap() {
    return FPixmapTemplate<FPixelClass48SRGB>(pixels.data(), columns, rows, 0);
  }
  const FPixelClass48SRGB& At(int column, int row) const {
    return pixels[static_cast<std::size_t>(row) * columns + column];
  }
};

// Pictures smaller than this give no sample.
inline constexpr int kAutoAdjustMinWidth = 31;
inline constexpr int kAutoAdjustMinHeight = 39;
// The colour cube: 32 steps a channel, index blue x 1024 + green x 32 + red.
inline constexpr int kAutoColorSteps = 32;

// Samples a 24- or 32-bit picture of either row order. FALSE (sample and
// maxima untouched) for an empty, too small or other-depth picture or one
// whose block is shorter than its header says. maxima: the largest sample
// value of each channel, at least 1.
BOOL SampleDibForAutoAdjust(AutoAdjustSample& sample, FIntTriple& maxima, const CET_Dib* picture);

// Writes exposure, contrast, shadow, highlight and saturation (x 100, halved),
// sharpness 0 and the colour compensation into settings. Leaves the record
// unchanged when the picture gives no sample or the engine's tables are not
// to be had.
void CalculateDibAutoAdjust(CET_FilterData* settings, const CET_Dib* picture);

// cumulative: the luma histogram's running sums divided by its total (0 to 1).
void CalculateAutoTone(const std::vector<double>& cumulative, const FLUT16& cubeRoot, const FLUT16& inverseCubeRoot,
                       double& exposure, double& contrast, double& shadow, double& highlight);
// histogram: the colour cube (smoothed in place); maxima as sampled.
void CalculateAutoColorBalance(std::vector<std::uint32_t>& histogram, const FIntTriple& maxima, FDoubleTriple& gains,
                               double& saturation);

// value limited to [low, high], then rounded to tenths; NaN gives 0.
double ClampRoundTenth(double value, double low, double high);
double AutoAdjustLuma(const FDoubleTriple& rgb);
// Each value rounded to the nearest int (halves away from zero) and replaced by
// the table's entry there (the index masked to the table's size).
std::valarray<double> LookupLUT16(const FLUT16& table, const std::valarray<double>& values);
