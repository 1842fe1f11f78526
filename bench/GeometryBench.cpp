// Stage 3 of a 20-megapixel working image, down to a 1000 x 666 screen
// picture (the filtered path) and at full size (the copying path), and the
// display resize of a screen-sized preview (bilinear shrink and the in-place
// enlargement). Each is timed beside a plain memory pass that writes its
// output bytes, alternately in the same run; "x_memory" is the work's time
// over the pass's. Each result is checked once before timing.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/core/GlobalLUTs.h"
#include "engine/geometry/ResizeDisplayPixmap.h"
#include "engine/stages/Stage3.h"
#include "fileio/container/CambData.h"
#include "foundation/FPixmap.h"
#include "support/CamdataWriter.h"

namespace {

// 5472 x 3648: a 20-megapixel picture.
constexpr int32_t kColumns = 5472;
constexpr int32_t kRows = 3648;

uint32_t NextRandom(uint32_t& state) { return state = state * 1664525u + 1013904223u; }

template <class PixelClass>
struct OwnedPixmap {
    OwnedPixmap(int32_t columns, int32_t rows)
        : bytes(size_t(columns) * size_t(rows) * sizeof(PixelClass)), pixmap(bytes.data(), columns, rows, 0)
    {
    }
    std::vector<uint8_t> bytes;
    FPixmapTemplate<PixelClass> pixmap;
};

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "GeometryBench: wrong result: %s\n", what);
    std::abort();
}

// ---------------------------------------------------------------------------
// Stage 3

struct Stage3Images {
    Stage3Images()
        : working(kColumns, kRows), retinex(kColumns, kRows), temp(16, 16)
    {
        // Working values of a real picture's range, not constant, so no
        // shortcut on flat data applies.
        uint32_t state = 12345;
        for (int32_t y = 0; y < kRows; ++y) {
            FPixelClass48SRGB* row = working.pixmap.GetRow(y);
            int16_t* grey = reinterpret_cast<int16_t*>(retinex.pixmap.GetRow(y));
            for (int32_t x = 0; x < kColumns; ++x) {
                const uint32_t r = NextRandom(state);
                row[x] = FPixelClass48SRGB{int16_t(r % 12000), int16_t((r >> 8) % 12000), int16_t((r >> 16) % 12000)};
                grey[x] = int16_t((r >> 4) % 20000 - 10000);
            }
        }
        testsupport::CamdataWriter writer;
        writer.AddText("CAMMODEL", "Bench body");
        camdataBytes = writer.BuildRun();
        camdata = std::make_unique<FCamdata>(camdataBytes.data(), camdataBytes.size());
    }
    OwnedPixmap<FPixelClass48SRGB> working;
    OwnedPixmap<FPixelClass16SMono> retinex;
    OwnedPixmap<FPixelClass48SRGB> temp;
    std::vector<uint8_t> camdataBytes;
    std::unique_ptr<FCamdata> camdata;
};

Stage3Images& SharedStage3Images()
{
    static Stage3Images images;
    return images;
}

struct Stage3Run {
    Stage3Run(Stage3Images& images, int32_t outColumns, int32_t outRows)
        : color(outColumns, outRows), lightness(outColumns, outRows), retinex(outColumns, outRows),
          memoryPass(color.bytes.size() + lightness.bytes.size() + retinex.bytes.size())
    {
        request.m_pStage2Image = &images.working.pixmap;
        request.m_pStage2ImageRtnx = &images.retinex.pixmap;
        request.m_pCambData = images.camdata.get();
        request.m_pTempData = &images.temp.pixmap;
        request.m_pOutImage = &color.pixmap;
        request.m_pOutImageL = &lightness.pixmap;
        request.m_pOutImageRtnx = &retinex.pixmap;
        request.m_iImageWidth = kColumns;
        request.m_iImageHeight = kRows;
        request.m_iOutWidth = outColumns;
        request.m_iOutHeight = outRows;
        request.m_rcCrop = FIntRect(0, 0, outColumns, outRows);
        request.m_dISO = 100;
    }
    OwnedPixmap<FPixelClass48SRGB> color;
    OwnedPixmap<FPixelClass16SMono> lightness;
    OwnedPixmap<FPixelClass16SMono> retinex;
    std::vector<uint8_t> memoryPass;
    FIPERequestStage3 request;
};

double Mean(const FPixmap& image)
{
    double sum = 0.0;
    for (int32_t y = 0; y < image.m_iRows; ++y)
        for (int32_t x = 0; x < image.m_iColumns; ++x)
            sum += reinterpret_cast<const int16_t*>(image.GetRow(y))[x];
    return sum / (double(image.m_iColumns) * image.m_iRows);
}

// Full size copies: each output pixel is the cube-root code of its source;
// scaled, the filter keeps the Retinex image's mean (its range is 20000).
void CheckStage3(Stage3Images& images, Stage3Run& run)
{
    DevelopStage3(run.request);
    const FLUT16& cube = GetCubeRootLUT();
    if (run.color.pixmap.m_iColumns == kColumns) {
        for (int32_t i = 0; i < 1000; ++i) {
            const int32_t x = (i * 7919) % kColumns, y = (i * 104729) % kRows;
            if (run.color.pixmap.GetRow(y)[x].r != cube[images.working.pixmap.GetRow(y)[x].r])
                Fail("stage 3 copy");
        }
        return;
    }
    if (std::abs(Mean(run.retinex.pixmap) - Mean(images.retinex.pixmap)) > 20.0)
        Fail("stage 3 scaled mean");
}

template <class Work, class Pass>
void TimeBesideMemoryPass(benchmark::State& state, Work&& work, Pass&& pass, size_t bytes)
{
    double workSeconds = 0.0, passSeconds = 0.0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        work();
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
        workSeconds += seconds;
        start = std::chrono::steady_clock::now();
        pass();
        benchmark::ClobberMemory();
        passSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(bytes));
    state.counters["memory_ms"] = benchmark::Counter(1000.0 * passSeconds / static_cast<double>(state.iterations()));
    state.counters["x_memory"] = benchmark::Counter(passSeconds > 0.0 ? workSeconds / passSeconds : 0.0);
}

void RunStage3(benchmark::State& state, int32_t outColumns, int32_t outRows)
{
    Stage3Images& images = SharedStage3Images();
    Stage3Run run(images, outColumns, outRows);
    CheckStage3(images, run);
    uint8_t fill = 0;
    TimeBesideMemoryPass(
        state, [&] { DevelopStage3(run.request); },
        [&] {
            std::memset(run.memoryPass.data(), ++fill, run.memoryPass.size());
            benchmark::DoNotOptimize(run.memoryPass.data());
        },
        run.memoryPass.size());
}

void BM_Stage3_20MP_To1000x666(benchmark::State& state) { RunStage3(state, 1000, 666); }
BENCHMARK(BM_Stage3_20MP_To1000x666)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_Stage3_20MP_FullSize(benchmark::State& state) { RunStage3(state, kColumns, kRows); }
BENCHMARK(BM_Stage3_20MP_FullSize)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

// ---------------------------------------------------------------------------
// Display resize of a screen-sized preview to the screen preview's size

void RunDisplayResize(benchmark::State& state, int32_t fromColumns, int32_t fromRows)
{
    constexpr int32_t kScreenColumns = 1920, kScreenRows = 1280;
    OwnedPixmap<FPixelClass32BGRA> source(fromColumns, fromRows);
    OwnedPixmap<FPixelClass32BGRA> target(kScreenColumns, kScreenRows);
    std::vector<uint8_t> memoryPass(target.bytes.size());
    uint32_t seed = 777;
    for (uint8_t& byte : source.bytes)
        byte = static_cast<uint8_t>(NextRandom(seed) >> 24);
    const FIntRect fromRect(0, 0, fromColumns, fromRows), toRect(0, 0, kScreenColumns, kScreenRows);
    const auto resize = [&] { ResizeDisplayPixmap(&target.pixmap, &toRect, &source.pixmap, &fromRect); };

    // Shrinking: the first pixel is the bilinear blend at fraction 0; growing:
    // the last pixel is the last source pixel.
    resize();
    const FPixelClass32BGRA& first = source.pixmap.GetRow(0)[0];
    const FPixelClass32BGRA& last = source.pixmap.GetRow(fromRows - 1)[fromColumns - 1];
    const FPixelClass32BGRA& out = fromColumns > kScreenColumns ? target.pixmap.GetRow(0)[0]
                                                                : target.pixmap.GetRow(kScreenRows - 1)[kScreenColumns - 1];
    const auto shrunk = [](uint8_t v) { return ((v * 32767) >> 15) * 32767 >> 15; };
    if (fromColumns > kScreenColumns ? out.g != shrunk(first.g) : std::memcmp(&out, &last, 4) != 0)
        Fail("display resize");

    uint8_t fill = 0;
    TimeBesideMemoryPass(
        state, resize,
        [&] {
            std::memset(memoryPass.data(), ++fill, memoryPass.size());
            benchmark::DoNotOptimize(memoryPass.data());
        },
        target.bytes.size());
}

void BM_DisplayResize_2400x1600_To1920x1280(benchmark::State& state) { RunDisplayResize(state, 2400, 1600); }
BENCHMARK(BM_DisplayResize_2400x1600_To1920x1280)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);

void BM_DisplayResize_1440x960_To1920x1280(benchmark::State& state) { RunDisplayResize(state, 1440, 960); }
BENCHMARK(BM_DisplayResize_1440x960_To1920x1280)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);

} // namespace
