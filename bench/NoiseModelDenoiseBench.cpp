// The high-ISO noise reduction of a full-size 2304 x 1536 working image with
// noise like an ISO 800 picture, run in the engine's row bands
// (kRowBandCount, as the engine runs it) and in one band in the same
// benchmark: "one_band_ms" is the one-band time, "x_one_band" the banded time
// over it. "peak_bytes_per_pixel" is the
// most memory the reduction holds at once (its work images and buffers),
// counted through the allocator, per full-resolution pixel. The results of
// both runs are checked once to be equal and to have less chroma noise.

#include "CountedAllocations.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "engine/noise/NoiseModelDenoise.h"
#include "foundation/FPixmap.h"

namespace {

constexpr int32_t kColumns = 2304;
constexpr int32_t kRows = 1536;
constexpr float kSignalGain = 16.0f; // ISO 800 over the sensor's scale

// Colour patches, grey steps and black/white edges, with signal-dependent
// noise in each channel (variance 25 + v on the image's scale).
std::vector<FPixelClass48SRGB> MakeNoisyPicture()
{
    static const FPixelClass48SRGB kColours[6] = {{1200, 1200, 1200}, {1800, 900, 700}, {600, 900, 1600},
                                                  {400, 400, 400},    {150, 150, 150},  {3500, 3500, 3500}};
    std::vector<FPixelClass48SRGB> pixels(static_cast<size_t>(kColumns) * kRows);
    std::mt19937 random(800);
    std::normal_distribution<float> normal(0.0f, 1.0f);
    for (int32_t y = 0; y < kRows; ++y)
        for (int32_t x = 0; x < kColumns; ++x) {
            const FPixelClass48SRGB c = kColours[(x / 96 + 3 * (y / 128)) % 6];
            auto noisy = [&](int16_t v) {
                return static_cast<int16_t>(std::lround(v + std::sqrt(25.0f + v) * normal(random)));
            };
            pixels[static_cast<size_t>(y) * kColumns + x] = FPixelClass48SRGB{noisy(c.r), noisy(c.g), noisy(c.b)};
        }
    return pixels;
}

NewDenoiseSettings Iso800Settings()
{
    NewDenoiseSettings settings;
    settings.iDownSampleFactor = 2;
    const float model[6] = {25, 25, 25, 1, 1, 1};
    std::copy(model, model + 6, settings.afColorNoiseModel);
    settings.afIntensityNoiseModel[0] = 2.0f;
    settings.afIntensityNoiseModel[1] = 0.02f;
    settings.iResidualAnisoDiffIters = 1;
    return settings;
}

struct Run {
    std::vector<FPixelClass48SRGB> pixels;
    double seconds = 0.0;
    int64_t peakBytes = 0;
};

void Reduce(Run& run, const std::vector<FPixelClass48SRGB>& picture, uint32_t bands)
{
    run.pixels = picture;
    FPixmapTemplate<FPixelClass48SRGB> image(run.pixels.data(), kColumns, kRows, 0);
    const NewDenoiseSettings settings = Iso800Settings();
    ColorMatrix3x3 matrix = ColorMatrix3x3::Identity();
    const double strengths[3] = {12, 12, 12};
    const float gains[3] = {1.0f, 1.0f, 1.0f};
    const PeakAllocation peak;
    const auto start = std::chrono::steady_clock::now();
    NoiseModelDenoise(&image, &settings, &matrix, strengths, kSignalGain, 1.0f, gains, false, 0, 0, 0, {}, bands);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.peakBytes = peak.Bytes();
}

// The spread of R - G inside the first patch.
double ChromaNoise(const std::vector<FPixelClass48SRGB>& pixels)
{
    double sum = 0, squares = 0;
    int n = 0;
    for (int32_t y = 8; y < 120; ++y)
        for (int32_t x = 8; x < 88; ++x, ++n) {
            const FPixelClass48SRGB p = pixels[static_cast<size_t>(y) * kColumns + x];
            const double d = double(p.r) - p.g;
            sum += d;
            squares += d * d;
        }
    return std::sqrt(squares / n - (sum / n) * (sum / n));
}

void BM_NoiseModelDenoise2304x1536(benchmark::State& state)
{
    static const std::vector<FPixelClass48SRGB> picture = MakeNoisyPicture();
    Run banded, one;
    double bandedSeconds = 0.0, oneSeconds = 0.0;
    int64_t peak = 0;
    bool checked = false;
    for (auto _ : state) {
        Reduce(banded, picture, kRowBandCount);
        Reduce(one, picture, 1);
        state.SetIterationTime(banded.seconds);
        bandedSeconds += banded.seconds;
        oneSeconds += one.seconds;
        peak = std::max({peak, banded.peakBytes, one.peakBytes});
        if (!checked) {
            checked = true;
            if (std::memcmp(banded.pixels.data(), one.pixels.data(), banded.pixels.size() * sizeof(FPixelClass48SRGB)))
                state.SkipWithError("the bands and one band differ");
            if (!(ChromaNoise(banded.pixels) * 2 < ChromaNoise(picture)))
                state.SkipWithError("chroma noise not halved");
        }
    }
    const double iterations = static_cast<double>(state.iterations());
    state.counters["one_band_ms"] = benchmark::Counter(1000.0 * oneSeconds / iterations);
    state.counters["x_one_band"] = benchmark::Counter(oneSeconds > 0.0 ? bandedSeconds / oneSeconds : 0.0);
    state.counters["peak_bytes_per_pixel"] =
        benchmark::Counter(static_cast<double>(peak) / (static_cast<double>(kColumns) * kRows));
}
BENCHMARK(BM_NoiseModelDenoise2304x1536)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
