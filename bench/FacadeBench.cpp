// The development facade beside the manager pool it drives, on the synthetic
// camera's 2304 x 1536 file (with its embedded previews), in the same run.
//
// FullSize: KVR_DevelopFileToDIB of the whole picture at 24 bits (open a
// handle, read the properties, develop, turn the rows into a bottom-up
// bitmap, close) beside one develop request of the same settings sent to the
// pool directly. Preview360: the display preview asked at 360 x 360 (mode 1)
// beside the same preview request. Each side starts from a new pool and an
// empty image cache, so each decodes and develops the file in full, and they
// take turns going first; "x_pool" is the facade's time over the pool's
// (goal: at most 1.05).
//
// Thumbnail: thumbnails (mode 4, 94 x 94 from the embedded preview) of eight
// different files in turn, none of them cached, in files per second.
//
// The facade's and the pool's pictures are compared once.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/colour/TransformColor.h"
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

// The facade's develop of mode beside the pool's request. Each side starts
// from a new pool and an empty cache and gives back what it got at once, so
// neither leaves memory or results the other could use; which goes first
// alternates. The pictures are compared once, before the timed runs (a
// picture still held changes how fast the next development gets its memory).
void FacadeBesidePool(benchmark::State& state, int mode, int32_t kind, int32_t width, int32_t height, int32_t format)
{
    Setup& setup = TheSetup();
    const auto developWithFacade = [&](BITMAPINFOHEADER& header) {
        KVREngineLockScope lock;
        BYTE* bits = KVR_DevelopFileToDIB(setup.paths[0].GetText(), &header, mode, 1, nullptr, nullptr, nullptr,
                                          nullptr, nullptr);
        if (!bits)
            Fail("the facade's develop failed");
        return bits;
    };
    const auto developOnPool = [&] {
        auto request = PoolRequest(setup.paths[0], kind, width, height, format);
        KVREngineLockScope lock;
        if (RunOnPool(*request) != kIPStatusDone || !request->m_pResultImage)
            Fail("the pool's request failed");
        return request;
    };
    {
        BITMAPINFOHEADER header;
        StartWithNewPool();
        const DibBits bits(developWithFacade(header));
        StartWithNewPool();
        if (!SamePicture(bits.bits, header, *developOnPool()->m_pResultImage->GetPixmap()))
            Fail("the facade's picture differs from the pool's");
    }

    double facadeSeconds = 0, poolSeconds = 0;
    int iterations = 0;
    for (auto _ : state) {
        double facade = 0, pool = 0;
        const auto timeFacade = [&] {
            StartWithNewPool();
            const auto start = Clock::now();
            BITMAPINFOHEADER header;
            DeleteDibBits(developWithFacade(header));
            facade = Seconds(start);
        };
        const auto timePool = [&] {
            StartWithNewPool();
            const auto start = Clock::now();
            developOnPool();
            pool = Seconds(start);
        };
        if (iterations % 2 == 0) {
            timeFacade();
            timePool();
        } else {
            timePool();
            timeFacade();
        }
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
            EmptyTheCache(); // each file's thumbnail is made from the file again
        const auto start = Clock::now();
        std::unique_ptr<CET_Dib> thumbnail;
        {
            KVREngineLockScope lock;
            thumbnail.reset(KVR_DevelopFileToBitmap(setup.paths[size_t(next)].GetText(), kDevelopPreview94, 1,
                                                    nullptr, nullptr, nullptr, nullptr, nullptr));
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
