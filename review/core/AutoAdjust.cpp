#include "review/core/AutoAdjust.h"

#include "engine/core/GlobalLUTs.h"
#include "foundation/FColorAdjust.h"
#include "foundation/FException.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace {

// Percentiles of the luma distribution, the levels they should reach (on the
// cube-root bin scale), and the weights of the gain and of the three tone
// corrections.
constexpr std::array<double, 7> kPercentile = {0.005, 0.02, 0.1, 0.5, 0.9, 0.98, 0.995};
constexpr std::array<double, 7> kTarget = {60, 75, 95, 150, 205, 235, 255};
constexpr std::array<double, 7> kGainWeight = {0, 16, 16, 8, 4, 2, 1};
constexpr std::array<double, 7> kContrastWeight = {0, -1, -1, 0, 1, 1, 0};
constexpr std::array<double, 7> kShadowWeight = {6, -1, -1, 0, 1, 1, 0};
constexpr std::array<double, 7> kHighlightWeight = {0, 1, 1, 0, -1, -1, 6};
// A slight warm bias of the colour balance.
const FDoubleTriple kChannelWeight(0.96, 1.0, 1.04);

constexpr int kSampleStep = 4;
constexpr int kFirstSampleRow = 19;
constexpr int kFirstSampleColumn = 13;
constexpr int kByteScale = 6;
constexpr std::int64_t kColorScaleNumerator = 536870911;  // 2^29 - 1: a channel's maximum lands in step 31
constexpr int kColorScaleShift = 24;
constexpr int kCubeRootBinWidth = 16;  // the luma bins are cube-root entries / 16
constexpr double kBorder = 0.1;

std::valarray<double> ToValarray(const std::array<double, 7>& values) {
  return std::valarray<double>(values.data(), values.size());
}

double WeightedSum(const std::array<double, 7>& weights, const std::valarray<double>& values) {
  double sum = 0.0;
  for (std::size_t i = 0; i < weights.size(); ++i) {
    sum += weights[i] * values[i];
  }
  return sum;
}

// One channel of four neighbouring pixels: their average of byte x 6.
int AverageOfFour(const BYTE* pixel, int bytesPerPixel, int channel) {
  int sum = 0;
  for (int k = 0; k < 4; ++k) {
    sum += pixel[k * bytesPerPixel + channel] * kByteScale;
  }
  return sum / 4;
}

int ColorStep(int value, std::int64_t scale) {
  const std::int64_t step = (std::int64_t{std::max(value, 0)} * scale) >> kColorScaleShift;
  return static_cast<int>(std::min<std::int64_t>(step, kAutoColorSteps - 1));
}

std::size_t ColorIndex(int red, int green, int blue) {
  return static_cast<std::size_t>(blue) * kAutoColorSteps * kAutoColorSteps + static_cast<std::size_t>(green) * kAutoColorSteps +
         static_cast<std::size_t>(red);
}

// Adds to every bin with all indexes below 31 the bin one step up along one
// channel. Ascending order: every bin adds its neighbour's value from before
// this pass.
void SmoothAlong(std::vector<std::uint32_t>& histogram, int dr, int dg, int db) {
  for (int b = 0; b < kAutoColorSteps - 1; ++b) {
    for (int g = 0; g < kAutoColorSteps - 1; ++g) {
      for (int r = 0; r < kAutoColorSteps - 1; ++r) {
        histogram[ColorIndex(r, g, b)] += histogram[ColorIndex(r + dr, g + dg, b + db)];
      }
    }
  }
}

// Builds the luma and colour histograms of the sample inside a 10 % border.
struct Histograms {
  std::vector<std::uint32_t> luma;
  std::vector<std::uint32_t> color;
};

Histograms CountSample(const AutoAdjustSample& sample, const FIntTriple& maxima, const FLUT16& cubeRoot) {
  Histograms h;
  h.luma.assign(static_cast<std::size_t>(cubeRoot[0xEFFF] / kCubeRootBinWidth) + 1, 0);
  h.color.assign(static_cast<std::size_t>(kAutoColorSteps) * kAutoColorSteps * kAutoColorSteps, 0);
  const std::int64_t scaleR = kColorScaleNumerator / maxima.r;
  const std::int64_t scaleG = kColorScaleNumerator / maxima.g;
  const std::int64_t scaleB = kColorScaleNumerator / maxima.b;
  const int rowMargin = static_cast<int>(sample.rows * kBorder);
  const int columnMargin = static_cast<int>(sample.columns * kBorder);
  for (int j = rowMargin; j < sample.rows - rowMargin; ++j) {
    for (int i = columnMargin; i < sample.columns - columnMargin; ++i) {
      const FPixelClass48SRGB& p = sample.At(i, j);
      const double luma = AutoAdjustLuma(FDoubleTriple(p.r, p.g, p.b));
      const int bin = cubeRoot[static_cast<std::int32_t>(std::floor(luma))] / kCubeRootBinWidth;
      ++h.luma[static_cast<std::size_t>(std::clamp<int>(bin, 0, static_cast<int>(h.luma.size()) - 1))];
      ++h.color[ColorIndex(ColorStep(p.r, scaleR), ColorStep(p.g, scaleG), ColorStep(p.b, scaleB))];
    }
  }
  return h;
}

}  // namespace

void AutoAdjustValues::Reset() {
  exposure = shadow = contrast = highlight = saturation = fillLight = reserved = 0.0;
  gains = FDoubleTriple(1.0, 1.0, 1.0);
  mode = 2;
}

double ClampRoundTenth(double value, double low, double high) {
  if (std::isnan(value)) {
    return 0.0;
  }
  return std::floor(std::clamp(value, low, high) * 10.0 + 0.5) / 10.0;
}

double AutoAdjustLuma(const FDoubleTriple& rgb) { return 0.3 * rgb.r + 0.5 * rgb.g + 0.2 * rgb.b; }

std::valarray<double> LookupLUT16(const FLUT16& table, const std::valarray<double>& values) {
  std::valarray<double> result(values.size());
  for (std::size_t i = 0; i < values.size(); ++i) {
    result[i] = table[TruncateToInt(std::round(values[i]))];
  }
  return result;
}

BOOL SampleDibForAutoAdjust(AutoAdjustSample& sample, FIntTriple& maxima, const CET_Dib* picture) {
  if (!picture || !picture->IsValid() || !picture->header) {
    return FALSE;
  }
  const int width = picture->GetWidth();
  const int height = picture->GetHeight();
  const int bitCount = picture->GetBitCount();
  if (width < kAutoAdjustMinWidth || height < kAutoAdjustMinHeight || (bitCount != 24 && bitCount != 32)) {
    return FALSE;
  }
  const std::int64_t rowBytes = DibRowBytes(width, bitCount);
  if (rowBytes * height > std::int64_t{picture->size}) {
    return FALSE;
  }
  const bool bottomUp = picture->header->bmiHeader.biHeight > 0;
  const int bytesPerPixel = bitCount / 8;

  AutoAdjustSample result;
  result.columns = ((width - kAutoAdjustMinWidth) >> 2) + 1;
  result.rows = ((height - kAutoAdjustMinHeight) >> 2) + 1;
  result.pixels.resize(static_cast<std::size_t>(result.columns) * result.rows);
  FIntTriple largest(1);
  for (int j = 0; j < result.rows; ++j) {
    const int y = kFirstSampleRow + kSampleStep * j;
    const BYTE* row = picture->bits + (bottomUp ? height - 1 - y : y) * rowBytes;
    for (int i = 0; i < result.columns; ++i) {
      const BYTE* pixel = row + std::int64_t{kFirstSampleColumn + kSampleStep * i} * bytesPerPixel;
      const FIntTriple rgb(AverageOfFour(pixel, bytesPerPixel, 2), AverageOfFour(pixel, bytesPerPixel, 1),
                           AverageOfFour(pixel, bytesPerPixel, 0));
      result.pixels[static_cast<std::size_t>(j) * result.columns + i] = rgb;
      largest = FIntTriple(std::max(largest.r, rgb.r), std::max(largest.g, rgb.g), std::max(largest.b, rgb.b));
    }
  }
  sample = std::move(result);
  maxima = largest;
  return TRUE;
}

void CalculateAutoTone(const std::vector<double>& cumulative, const FLUT16& cubeRoot, const FLUT16& inverseCubeRoot,
                       double& exposure, double& contrast, double& shadow, double& highlight) {
  const std::size_t last = cumulative.empty() ? 0 : cumulative.size() - 1;
  std::valarray<double> positions(kPercentile.size());
  std::size_t bin = 0;
  for (std::size_t i = 0; i < kPercentile.size(); ++i) {
    while (bin < last && cumulative[bin] < kPercentile[i]) {
      ++bin;
    }
    positions[i] = static_cast<double>(bin);
  }
  const std::valarray<double> target = ToValarray(kTarget);
  const std::valarray<double> linearTarget = LookupLUT16(inverseCubeRoot, 16.0 * target);
  const std::valarray<double> linearLevel = LookupLUT16(inverseCubeRoot, 16.0 * positions);

  const double gainLimit = std::pow(4.0, 1.0 / 0.7);
  double gain = WeightedSum(kGainWeight, linearTarget) / WeightedSum(kGainWeight, linearLevel);
  if (!(gain >= 0.0 && gain <= gainLimit)) {  // NaN and infinity included
    gain = gainLimit;
  }
  gain = std::pow(gain, 0.7);

  const std::valarray<double> reached = LookupLUT16(cubeRoot, gain * linearLevel) / 16.0;
  const std::valarray<double> missing = target - reached;
  exposure = ClampRoundTenth(std::log2(gain), -1.5, 1.5);
  contrast = ClampRoundTenth(0.005 * WeightedSum(kContrastWeight, missing), -1.5, 1.5);
  shadow = ClampRoundTenth(0.004 * WeightedSum(kShadowWeight, missing), -1.5, 1.5);
  highlight = ClampRoundTenth(0.003 * WeightedSum(kHighlightWeight, missing), -1.5, 1.5);
}

void CalculateAutoColorBalance(std::vector<std::uint32_t>& histogram, const FIntTriple& maxima, FDoubleTriple& gains,
                               double& saturation) {
  SmoothAlong(histogram, 1, 0, 0);
  SmoothAlong(histogram, 0, 1, 0);
  SmoothAlong(histogram, 0, 0, 1);

  // Sparse colours count little against dominant ones: a bin's weight grows
  // with the eighth root of its count.
  double weightSum = 0.0;
  FDoubleTriple colorSum(0.0), chromaSum(0.0), chromaSquareSum(0.0);
  for (int b = 0; b < kAutoColorSteps; ++b) {
    for (int g = 0; g < kAutoColorSteps; ++g) {
      for (int r = 0; r < kAutoColorSteps; ++r) {
        const std::uint32_t count = histogram[ColorIndex(r, g, b)];
        if (count == 0) {
          continue;
        }
        const FDoubleTriple c(r + 1, g + 1, b + 1);
        const double w = std::pow(count + 1.0, 0.125) - 1.0;
        const FDoubleTriple n = c / (c.r + c.g + c.b + 1.0);
        weightSum += w;
        colorSum += c * w;
        chromaSum += n * w;
        chromaSquareSum += (n * n) * w;
      }
    }
  }
  if (weightSum <= 0.0) {
    gains = FDoubleTriple(1.0, 1.0, 1.0);
    saturation = 0.0;
    return;
  }

  const FDoubleTriple mean = colorSum / weightSum;
  FDoubleTriple m = (mean / 32.0) * FDoubleTriple(maxima) + 100.0;
  m *= kChannelWeight;
  m /= std::min({m.r, m.g, m.b});
  const FIntTriple cmy = ColorAdjustGainsToCMY(1.0 / std::sqrt(m.r), 1.0 / std::sqrt(m.g), 1.0 / std::sqrt(m.b));
  gains = CMYToColorAdjustGains(cmy.r, cmy.g, cmy.b);

  const FDoubleTriple meanN = chromaSum / weightSum;
  const FDoubleTriple meanNN = chromaSquareSum / weightSum;
  // Rounding can leave a uniform picture's variance a hair below zero.
  const FDoubleTriple variance = meanNN - meanN * meanN;
  const double spread =
      std::sqrt(std::max(variance.r, 0.0) + std::max(variance.g, 0.0) + std::max(variance.b, 0.0));
  const double grey = spread > 0.0 ? std::exp(-0.09 / spread) : 0.0;
  saturation = ClampRoundTenth((1.0 - 2.0 * grey) * 0.7, -1.0, 1.0);
}

void CalculateDibAutoAdjust(CET_FilterData* settings, const CET_Dib* picture) {
  AutoAdjustSample sample;
  FIntTriple maxima(1);
  if (!settings || !SampleDibForAutoAdjust(sample, maxima, picture)) {
    return;
  }
  const FLUT16* cubeRoot = nullptr;
  const FLUT16* inverseCubeRoot = nullptr;
  try {
    cubeRoot = &GetCubeRootLUT();
    inverseCubeRoot = &GetInverseCubeRootLUT();
  } catch (const FException&) {
    return;  // the tables' lock was not to be had: no automatic values this time
  }

  Histograms h = CountSample(sample, maxima, *cubeRoot);
  std::vector<double> cumulative(h.luma.size());
  double running = 0.0;
  for (std::size_t i = 0; i < h.luma.size(); ++i) {
    running += h.luma[i];
    cumulative[i] = running;
  }
  if (running <= 0.0) {
    return;
  }
  for (double& c : cumulative) {
    c /= running;
  }

  AutoAdjustValues values;
  CalculateAutoTone(cumulative, *cubeRoot, *inverseCubeRoot, values.exposure, values.contrast, values.shadow,
                    values.highlight);
  CalculateAutoColorBalance(h.color, maxima, values.gains, values.saturation);

  const auto halved = [](double value) { return AdjustmentFromEngine(value / 2.0); };
  settings->m_nExposure = halved(values.exposure);
  settings->m_nContrast = halved(values.contrast);
  settings->m_nShadow = halved(values.shadow);
  settings->m_nHighlight = halved(values.highlight);
  settings->m_nSaturation = halved(values.saturation);
  settings->m_nSharpness = 0;
  const FIntTriple cmy = ColorAdjustGainsToCMY(values.gains);
  settings->m_nCyan = cmy.r;
  settings->m_nMagenta = cmy.g;
  settings->m_nYellow = cmy.b;
}
