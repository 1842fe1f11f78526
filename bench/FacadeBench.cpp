// The development facade beside the manager pool it drives, on the synthetic
// camera's 2304 x 1536 file (with its embedded previews), in the same run.
//
// FullSize: KVR_DevelopFileToDIB of the whole picture at 24 bits (open a
// handle, read the properties, develop, turn the rows into a bottom-up
// bitmap, close) beside one develop request of the same settings sent to the
// pool directly. Preview360: the display preview asked at 360 x 360 (mode 1)
// beside the same preview request. Both sides start every iteration from an
// empty image cache, so each decodes and develops the file in full, and they
// take turns going first; "x_pool" is the facade's time over the pool's
// (goal: at most 1.05).
//
// Thumbnail: thumbnails (mode 4, 94 x 94 from the embedded preview) of
// different files in a row, each from an empty cache, in files per second.
//
// Every side's picture is checked once against the other's.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/TransformColor.h"
#include "foundation/FCache.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FPath.h"
#include "foundation/FPixmap.h"
#include "managers/FIPMImage.h"
#include "managers/FIPManagerPool.h"
#include "shell/facade/KVR_DevelopToDIB.h"
#include "shell/facade/KVR_EngineLock.h"
#include "support/BuildTree.h"
#include "support/SyntheticCamera.h"
#include "support/TestSupport.h"
#include "toolkit/CET_Dib.h"
#include "shell/facade/FacadeTestSupport.h"

namespace {

using namespace testsupport;
using Clock = std::chrono::steady_clock;

constexpr int kThumbnailFiles = 8;

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "FacadeBench: %s\n", what);
    std::abort();
}

double Seconds(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Setup {
    Setup()
    {
        InitStorageClasses();
        SetColorProfileProgramPath(BuildTreeProgramPath());
        GetGlobalCache()->SetSizeLimit(kFacadeCacheLimit);
        SyntheticOptions options;
        options.size = SyntheticSize::Medium;
        shot = MakeSyntheticRaw(options);
        for (int i = 0; i < kThumbnailFiles; ++i) {
            const auto file = dir.Path() / ("shot" + std::to_string(i) + ".kvr");
            shot.file.WriteTo(file);
            paths.push_back(PathFromNative(file.string()));
        }
    }

    TempDir dir;
    SyntheticRaw shot;
    std::vector<FString> paths;
};

Setup& TheSetup()
{
    static Setup setup;
    return setup;
}

// The bitmap's pixels against the pixmap's, bottom-up and (at 24 bits) B, G, R.
bool SamePicture(const BYTE* bits, const BITMAPINFOHEADER& header, const FPixmap& pixmap)
{
    if (header.biWidth != pixmap.m_iColumns || header.biHeight != pixmap.m_iRows)
        return false;
    const int bytesPerPixel = header.biBitCount / 8;
    const int64_t stored = DibRowBytes(header.biWidth, header.biBitCount);
    for (int y = 0; y < pixmap.m_iRows; ++y) {
        const uint8_t* expected = pixmap.GetRow(y);
        const BYTE* row = bits + (pixmap.m_iRows - 1 - y) * stored;
        for (int x = 0; x < pixmap.m_iColumns; ++x) {
            for (int c = 0; c < bytesPerPixel; ++c) {
                const int source = bytesPerPixel == 3 ? 2 - c : c;
                if (row[x * bytesPerPixel + c] != expected[x * bytesPerPixel + source])
                    return false;
            }
        }
    }
    return true;
}

// The facade's develop of mode beside the pool's request. Each starts from an
// empty cache; which goes first alternates, because the first development
// after the cache was emptied pays more than the second (memory the process
// takes back from the system).
void FacadeBesidePool(benchmark::State& state, int mode, int32_t kind, int32_t width, int32_t height, int32_t format)
{
    Setup& setup = TheSetup();
    double facadeSeconds = 0, poolSeconds = 0;
    int iterations = 0;
    bool checked = false;
    for (auto _ : state) {
        BITMAPINFOHEADER header;
        BYTE* bits = nullptr;
        double facade = 0, pool = 0;
        const auto runFacade = [&] {
            EmptyTheCache();
            const auto start = Clock::now();
            KVREngineLockScope lock;
            bits = KVR_DevelopFileToDIB(setup.paths[0].GetText(), &header, mode, 1, nullptr, nullptr, nullptr,
                                        nullptr);
            facade = Seconds(start);
        };
        auto request = PoolRequest(setup.paths[0], kind, width, height, format);
        const auto runPool = [&] {
            EmptyTheCache();
            const auto start = Clock::now();
            KVREngineLockScope lock;
            if (RunOnPool(*request) != kIPStatusDone || !request->m_pResultImage)
                Fail("the pool's request failed");
            pool = Seconds(start);
        };
        if (iterations % 2 == 0) {
            runFacade();
            runPool();
        } else {
            runPool();
            runFacade();
        }
        if (!bits)
            Fail("the facade's develop failed");
        if (!checked) {
            if (!SamePicture(bits, header, *request->m_pResultImage->GetPixmap()))
                Fail("the facade's picture differs from the pool's");
            checked = true;
        }
        DeleteDibBits(bits);
        facadeSeconds += facade;
        poolSeconds += pool;
        ++iterations;
        state.SetIterationTime(facade);
    }
    state.counters["facade_ms"] = 1000 * facadeSeconds / iterations;
    state.counters["pool_ms"] = 1000 * poolSeconds / iterations;
    state.counters["x_pool"] = facadeSeconds / poolSeconds;
}

void FullSize(benchmark::State& state)
{
    const SyntheticTruth& truth = TheSetup().shot.truth;
    FacadeBesidePool(state, kDevelopFull24, kIPRequestDevelop, int32_t(truth.outputColumns),
                     int32_t(truth.outputRows), kRGB24);
}
BENCHMARK(FullSize)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void Preview360(benchmark::State& state)
{
    FacadeBesidePool(state, kDevelopPreview360, kIPRequestPreview, 360, 360, kDisplay);
}
BENCHMARK(Preview360)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void Thumbnail(benchmark::State& state)
{
    Setup& setup = TheSetup();
    int next = 0;
    bool checked = false;
    for (auto _ : state) {
        if (next == 0)
            EmptyTheCache();
        const auto start = Clock::now();
        std::unique_ptr<CET_Dib> thumbnail;
        {
            KVREngineLockScope lock;
            thumbnail.reset(KVR_DevelopFileToBitmap(setup.paths[size_t(next)].GetText(), kDevelopPreview94, 1,
                                                    nullptr, nullptr, nullptr, nullptr));
        }
        state.SetIterationTime(Seconds(start));
        if (!thumbnail)
            Fail("no thumbnail");
        if (!checked) {
            if (thumbnail->GetBitCount() != 32 || thumbnail->GetWidth() != 94)
                Fail("the thumbnail is not a 94-pixel display picture");
            checked = true;
        }
        next = (next + 1) % kThumbnailFiles;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(Thumbnail)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(4 * kThumbnailFiles);

} // namespace
