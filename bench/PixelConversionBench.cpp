// The display conversion of a full-size working image: every loaded picture is
// turned into the 32-bit display type before it is shown, so this runs once per
// picture opened. Measured beside a plain copy of the same source bytes in the
// same run; the "x_memcpy" counter is the conversion's time over the copy's,
// both timed alternately inside the conversion benchmark.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "foundation/FPixmap.h"
#include "foundation/PixelConversion.h"

namespace {

// 5472 x 3656: a 20-megapixel picture.
constexpr int32_t kColumns = 5472;
constexpr int32_t kRows = 3656;

struct Images {
    Images()
        : working(static_cast<size_t>(kColumns) * kRows * sizeof(FPixelClass48SRGB)),
          display(static_cast<size_t>(kColumns) * kRows * sizeof(FPixelClass32BGRA)),
          copy(working.size()),
          workingPixmap(working.data(), kColumns, kRows, 0),
          displayPixmap(display.data(), kColumns, kRows, 0)
    {
        // Signed working values over the whole range, so no shortcut on constant data applies.
        uint32_t state = 12345;
        for (int32_t y = 0; y < kRows; ++y) {
            FPixelClass48SRGB* row = workingPixmap.GetRow(y);
            for (int32_t x = 0; x < kColumns; ++x) {
                state = state * 1664525u + 1013904223u;
                row[x] = {static_cast<int16_t>(state >> 16), static_cast<int16_t>(state >> 8),
                          static_cast<int16_t>(state)};
            }
        }
        std::memset(display.data(), 0, display.size());
        std::memset(copy.data(), 0, copy.size());
    }
    std::vector<uint8_t> working, display, copy;
    FPixmapTemplate<FPixelClass48SRGB> workingPixmap;
    FPixmap_Display displayPixmap;
};

Images& SharedImages()
{
    static Images images;
    return images;
}

double SecondsOf(void (*work)(Images&), Images& images)
{
    const auto start = std::chrono::steady_clock::now();
    work(images);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void ConvertToDisplay(Images& images) { ConvertColorPixmap(&images.workingPixmap, &images.displayPixmap); }

void CopySourceBytes(Images& images) { std::memcpy(images.copy.data(), images.working.data(), images.working.size()); }

void BM_DisplayConversion20MP(benchmark::State& state)
{
    Images& images = SharedImages();
    double conversion = 0.0, copy = 0.0;
    for (auto _ : state) {
        const double seconds = SecondsOf(ConvertToDisplay, images);
        state.SetIterationTime(seconds);
        conversion += seconds;
        copy += SecondsOf(CopySourceBytes, images);
        benchmark::DoNotOptimize(images.display.data());
        benchmark::DoNotOptimize(images.copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(images.working.size()));
    state.counters["memcpy_ms"] = benchmark::Counter(1000.0 * copy / static_cast<double>(state.iterations()));
    state.counters["x_memcpy"] = benchmark::Counter(copy > 0.0 ? conversion / copy : 0.0);
}
BENCHMARK(BM_DisplayConversion20MP)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_MemcpySameBytes20MP(benchmark::State& state)
{
    Images& images = SharedImages();
    for (auto _ : state) {
        CopySourceBytes(images);
        benchmark::DoNotOptimize(images.copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(images.working.size()));
}
BENCHMARK(BM_MemcpySameBytes20MP)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
