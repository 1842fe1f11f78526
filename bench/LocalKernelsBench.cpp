// The stage-2 local kernels on a full-size working image: the FIR noise
// reduction and the three chroma blurs, each run in one band and in the
// engine's bands (kRowBandCount) in the same iteration (counter "speedup" =
// one band's time over the banded time), beside a plain pass that reads and
// writes every pixel once ("x_plain" = the banded time over the plain
// pass's). The first iteration checks that both band counts give the same
// pixels.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <vector>

#include "engine/chroma/ChromaBlur.h"
#include "engine/core/GlobalLUTs.h"
#include "engine/noise/FIRNoiseReduction.h"
#include "foundation/FPixmap.h"

namespace {

// The working image of the camera's full-size pictures.
constexpr int32_t kColumns = 2304;
constexpr int32_t kRows = 1536;

using Pixel = FPixelClass48SRGB;

struct WorkingBuffer {
    explicit WorkingBuffer(uint32_t seed, int32_t spread)
        : pixels(static_cast<size_t>(kColumns) * kRows), pixmap(pixels.data(), kColumns, kRows, 0)
    {
        // A smooth scene with noise, so every kernel has edges and flat areas to work on.
        uint32_t state = seed;
        for (int32_t y = 0; y < kRows; ++y)
            for (int32_t x = 0; x < kColumns; ++x) {
                state = state * 1664525u + 1013904223u;
                const int32_t base = 1500 + ((x / 256 + y / 192) % 4) * 1500;
                auto noisy = [&](int shift) {
                    return static_cast<int16_t>(base + static_cast<int32_t>((state >> shift) & 0xFF) * spread / 128 - spread);
                };
                pixels[static_cast<size_t>(y) * kColumns + x] = Pixel{noisy(0), noisy(8), noisy(16)};
            }
    }
    std::vector<Pixel> pixels;
    FPixmapTemplate<Pixel> pixmap;
};

struct Images {
    Images() : source(7, 200), reference(9, 50), work(1, 0), workReference(1, 0), area(FIRWorkAreaBytes(kColumns, kRows)) {}
    void Restore()
    {
        work.pixels = source.pixels;
        workReference.pixels = reference.pixels;
    }
    WorkingBuffer source, reference, work, workReference;
    std::vector<uint8_t> area;
};

Images& SharedImages()
{
    static Images images;
    return images;
}

using Kernel = std::function<void(Images&, uint32_t bands)>;

double SecondsOf(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Reads and writes every pixel of the working image once.
void PlainPass(Images& images)
{
    for (Pixel& p : images.work.pixels)
        p = Pixel{static_cast<int16_t>(p.r ^ 1), static_cast<int16_t>(p.g ^ 1), static_cast<int16_t>(p.b ^ 1)};
}

void RunKernelBenchmark(benchmark::State& state, const Kernel& kernel)
{
    Images& images = SharedImages();
    double one = 0.0, banded = 0.0, plain = 0.0;
    bool checked = false;
    for (auto _ : state) {
        images.Restore();
        one += SecondsOf([&] { kernel(images, 1); });
        std::vector<Pixel> singleBand;
        if (!checked)
            singleBand = images.work.pixels;
        images.Restore();
        const double seconds = SecondsOf([&] { kernel(images, kRowBandCount); });
        banded += seconds;
        state.SetIterationTime(seconds);
        if (!checked) {
            checked = true;
            if (std::memcmp(singleBand.data(), images.work.pixels.data(), singleBand.size() * sizeof(Pixel)) != 0) {
                state.SkipWithError("the bands differ from one band");
                return;
            }
        }
        plain += SecondsOf([&] { PlainPass(images); });
        benchmark::DoNotOptimize(images.work.pixels.data());
        benchmark::ClobberMemory();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["one_band_ms"] = benchmark::Counter(1000.0 * one / n);
    state.counters["plain_ms"] = benchmark::Counter(1000.0 * plain / n);
    state.counters["speedup"] = benchmark::Counter(banded > 0.0 ? one / banded : 0.0);
    state.counters["x_plain"] = benchmark::Counter(plain > 0.0 ? banded / plain : 0.0);
}

const FLUT16RGB& StageTable()
{
    return GetChromaWeightLUT(FDoubleTriple(1200.0, 1200.0, 1200.0), FDoubleTriple(0.8, 0.8, 0.8));
}

void BM_FIRNoiseReduction(benchmark::State& state)
{
    RunKernelBenchmark(state, [](Images& images, uint32_t bands) {
        FIRNoiseReduction(&images.work.pixmap, &images.workReference.pixmap, 0.0011f, 0.0019f, 0.019f, 1.0f, 0.55f,
                          5.0f, 7.0f, 0.7f, 1, 1.0f, 1.0f, images.area.data(), images.area.size(), bands);
    });
}
BENCHMARK(BM_FIRNoiseReduction)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// The noise reduction of a small picture (a screen preview), where the tables
// that depend on the level count N = 36000 / b alone weigh most: a call at the
// level count of the call before ("same_level_ms", the tables kept) beside a
// call at a level count not met for a while ("new_level_ms", the tables made
// again); "x_same" is the second's time over the first's. Both run in one
// band, so that the figures are the work's and not the band threads' waits.
void BM_FIRNoiseReductionSmallPicture(benchmark::State& state)
{
    constexpr int32_t kSmallColumns = 320, kSmallRows = 240;
    std::vector<Pixel> source(static_cast<size_t>(kSmallColumns) * kSmallRows);
    uint32_t seed = 5;
    for (size_t i = 0; i < source.size(); ++i) {
        seed = seed * 1664525u + 1013904223u;
        const int16_t base = static_cast<int16_t>(2000 + (i % kSmallColumns) * 8 + ((seed >> 8) & 0x7F));
        source[i] = Pixel{base, static_cast<int16_t>(base + 100), static_cast<int16_t>(base - 100)};
    }
    std::vector<Pixel> work, reference;
    std::vector<uint8_t> area(FIRWorkAreaBytes(kSmallColumns, kSmallRows));
    const auto run = [&](float b) {
        work = source;
        reference = source;
        FPixmapTemplate<Pixel> a(work.data(), kSmallColumns, kSmallRows, 0);
        FPixmapTemplate<Pixel> r(reference.data(), kSmallColumns, kSmallRows, 0);
        return SecondsOf([&] {
            FIRNoiseReduction(&a, &r, 0.0011f, 0.0019f, 0.019f, 1.0f, 0.55f, 5.0f, 7.0f, 0.7f, 1, 1.0f, b,
                              area.data(), area.size(), 1);
        });
    };
    double same = 0.0, fresh = 0.0;
    int call = 0;
    for (auto _ : state) {
        // Eight level counts in turn: more than are kept, so each is made again.
        const float newLevel = 2.0f + 0.25f * static_cast<float>(call % 8);
        const double seconds = run(newLevel);
        fresh += seconds;
        const std::vector<Pixel> madeAgain = work;
        same += run(newLevel);
        state.SetIterationTime(seconds);
        if (call++ == 0 && std::memcmp(madeAgain.data(), work.data(), work.size() * sizeof(Pixel)) != 0) {
            state.SkipWithError("the kept tables give other pixels than new ones");
            return;
        }
        benchmark::DoNotOptimize(work.data());
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["new_level_ms"] = benchmark::Counter(1000.0 * fresh / n);
    state.counters["same_level_ms"] = benchmark::Counter(1000.0 * same / n);
    state.counters["x_same"] = benchmark::Counter(same > 0.0 ? fresh / same : 0.0);
}
BENCHMARK(BM_FIRNoiseReductionSmallPicture)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(40);

void BM_ChromaBlur3(benchmark::State& state)
{
    RunKernelBenchmark(state, [](Images& images, uint32_t bands) {
        ChromaBlurImage3(&images.work.pixmap, FDoubleTriple(), 0, StageTable(), 3, nullptr, bands);
    });
}
BENCHMARK(BM_ChromaBlur3)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_ChromaBlur5(benchmark::State& state)
{
    RunKernelBenchmark(state, [](Images& images, uint32_t bands) {
        ChromaBlurImage5(&images.work.pixmap, FDoubleTriple(), 120, StageTable(), 3, nullptr, bands);
    });
}
BENCHMARK(BM_ChromaBlur5)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_ChromaBlurLarge(benchmark::State& state)
{
    RunKernelBenchmark(state, [](Images& images, uint32_t bands) {
        ChromaBlurLargeImage(&images.work.pixmap, 5.0, 5.0, 5.0, FDoubleTriple(), 120, StageTable(), 3, nullptr, bands);
    });
}
BENCHMARK(BM_ChromaBlurLarge)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
