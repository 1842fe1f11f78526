// Developing the synthetic camera's 2304 x 1536 file through the manager pool.
//
// PoolFullSize: the whole picture at full size through the pool, timed
// alternately beside the same development run directly on one engine over the
// frames in memory. Both sides do the same work with the same settings: every
// stage from stage 1 on (each iteration asks for other noise and tone
// settings, never asked for before in the program's run, so the pool's cache
// holds no result; the decoded frames stay cached, as the direct side starts
// from decoded frames too), and both copy the picture's pixels out at the end.
// The direct side's engine and images are made before timing. "x_direct" is
// the pool's time over the direct run's (goal: at most 1.1).
//
// RedevelopAfterToneChange: a 1000 x 666 picture asked for again with another
// exposure, stages 1 to 3 cached: the tone table and stage 4 run (goal: at
// most 50 ms on 8 cores).
//
// CachedStage2Requests: the review window's requests with stage 2 cached:
// stages 3 and 4 run for the whole picture at full size, for a 256 x 256
// loupe at full size (moved every iteration) and for the whole picture fitted
// to about 1000 x 666 (its width changed every iteration). "ns_per_pixel" is
// the time per pixel asked for and "x_full_size" that over the full-size
// request's, measured in the same run (goal: about 1, the cost in proportion
// to the pixels asked for).
//
// Each result is checked once against the direct run.

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <vector>

#include "engine/colour/TransformColor.h"
#include "foundation/FCache.h"
#include "foundation/FIStorageClass.h"
#include "managers/FIPMImage.h"
#include "managers/FIPManagerPool.h"
#include "managers/IPManager2.h"
#include "managers/DevelopTestEngine.h"
#include "support/BuildTree.h"
#include "support/TestSupport.h"

namespace {

using namespace testsupport;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kCacheLimit = 0x20800000;

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "ManagerDevelopBench: %s\n", what);
    std::abort();
}

// A number for settings never asked for before in this run: repetitions of a
// benchmark go on counting, so none finds the last one's result in the cache.
int NextSettingsNumber()
{
    static std::atomic<int> next{0};
    return next++;
}

struct Setup {
    Setup()
    {
        InitStorageClasses();
        SetColorProfileProgramPath(BuildTreeProgramPath());
        GetGlobalCache()->SetSizeLimit(kCacheLimit);
        SyntheticOptions options;
        options.size = SyntheticSize::Medium;
        options.previews = false;
        shot = MakeSyntheticRaw(options);
        const auto path = dir.Path() / "medium.kvr";
        shot.file.WriteTo(path);
        url = UrlOfPath(path);
        pool = std::make_unique<FIPManagerPool>([this] { return new IPManager2(new CountingEngine(counts, nullptr)); });
        IPManagerData request;
        request.SetURL(url);
        request.m_eKind = kIPRequestProperties;
        if (Run(request) != kIPStatusDone)
            Fail("the file's properties cannot be read");
        props = std::make_unique<FPropTree>(nullptr, "props");
        props->CopyPairs(request.m_pImageProps);
    }

    int32_t Run(IPManagerData& request)
    {
        pool->Request(&request);
        while (request.m_Result.IsPending())
            pool->Idle();
        return request.m_Result.m_eStatus;
    }

    std::unique_ptr<IPManagerData> Request(int32_t width, int32_t height) const
    {
        auto request = std::make_unique<IPManagerData>();
        request->SetURL(url);
        request->m_eKind = kIPRequestDevelop;
        request->m_OutputSize.Set(width, height);
        request->m_Crop.Set(0, 0, width, height);
        request->m_eOutputFormat = kRGB24;
        request->m_ColorAdjust = FDoubleTriple(1.0, 1.0, 1.0);
        return request;
    }

    TempDir dir;
    SyntheticRaw shot;
    FString url;
    EngineCounts counts;
    std::unique_ptr<FIPManagerPool> pool;
    std::unique_ptr<FPropTree> props;
};

Setup& TheSetup()
{
    static Setup setup;
    return setup;
}

// The direct side: one engine and every image, the frames in memory among
// them, made once, before timing.
struct Direct {
    Direct(Setup& setup, const IPManagerData& settings) : development(setup.shot, *setup.props, settings) {}
    EngineCounts counts;
    CountingEngine engine{counts, nullptr};
    DirectDevelopment development;

    std::vector<uint8_t> Run(const IPManagerData& settings) { return development.Run(engine, settings); }
};

std::vector<uint8_t> ResultOf(const IPManagerData& request)
{
    return PixelBytes(*request.m_pResultImage->GetPixmap(), BytesPerPixel(request.m_eOutputFormat));
}

double Milliseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

void PoolFullSize(benchmark::State& state)
{
    Setup& setup = TheSetup();
    const int32_t w = int32_t(setup.shot.truth.outputColumns), h = int32_t(setup.shot.truth.outputRows);
    Direct direct(setup, *setup.Request(w, h));
    // The decoded frames go into the cache before timing.
    if (setup.Run(*setup.Request(w, h)) != kIPStatusDone)
        Fail("the pool's first develop failed");
    int iterations = 0;
    double poolMs = 0, directMs = 0;
    bool checked = false;
    for (auto _ : state) {
        // New settings for every stage from stage 2 on; stage 1's picture
        // went into the last stage 2, so it runs again too.
        const int number = NextSettingsNumber();
        auto request = setup.Request(w, h);
        request->m_dChromaNoise = 0.4 + 0.0001 * number;
        request->m_dExposure = 0.001 * number;
        ++iterations;
        const auto start = Clock::now();
        if (setup.Run(*request) != kIPStatusDone)
            Fail("the pool's develop failed");
        const std::vector<uint8_t> pooled = ResultOf(*request);
        const auto middle = Clock::now();
        const std::vector<uint8_t> directly = direct.Run(*request);
        const auto end = Clock::now();

        poolMs += Milliseconds(middle - start);
        directMs += Milliseconds(end - middle);
        state.SetIterationTime(std::chrono::duration<double>(middle - start).count());
        if (!checked) {
            if (pooled != directly)
                Fail("the pool's picture differs from the direct run's");
            checked = true;
        }
    }
    state.counters["pool_ms"] = poolMs / iterations;
    state.counters["direct_ms"] = directMs / iterations;
    state.counters["x_direct"] = poolMs / directMs;
}
BENCHMARK(PoolFullSize)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

void RedevelopAfterToneChange(benchmark::State& state)
{
    Setup& setup = TheSetup();
    auto first = setup.Request(1000, 666);
    if (setup.Run(*first) != kIPStatusDone)
        Fail("the first develop failed");
    Direct direct(setup, *first);
    bool checked = false;
    for (auto _ : state) {
        auto request = setup.Request(1000, 666);
        request->m_dExposure = 0.05 + 0.001 * NextSettingsNumber();
        IPManagerData asked;
        asked.CopyRequestFrom(*request);
        setup.counts.Reset();
        const auto start = Clock::now();
        if (setup.Run(*request) != kIPStatusDone)
            Fail("the second develop failed");
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        if (setup.counts.Of(kIPERequestStage3) != 0 || setup.counts.Of(kIPERequestStage4) != 1)
            Fail("stages 1 to 3 were not taken from the cache");
        if (!checked) {
            if (ResultOf(*request) != direct.Run(asked))
                Fail("the re-developed picture differs from the direct run's");
            checked = true;
        }
    }
}
BENCHMARK(RedevelopAfterToneChange)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

enum CachedRequest { kFullSize, kLoupe, kFitted };

// A request whose stage 3 has not run before (its geometry is new), on the
// full-size development's stage 2.
std::unique_ptr<IPManagerData> CachedStage2Request(const Setup& setup, CachedRequest kind, int number)
{
    const int32_t w = int32_t(setup.shot.truth.outputColumns), h = int32_t(setup.shot.truth.outputRows);
    std::unique_ptr<IPManagerData> request = setup.Request(w, h);
    if (kind == kFullSize) {
        request->m_Crop.Set(0, 0, w, h - 1 - number % 64);
    } else if (kind == kLoupe) {
        const int32_t x = 300 + (number * 37) % (w - 900), y = 200 + (number * 53) % (h - 600);
        request->m_Crop.Set(x, y, x + 256, y + 256);
    } else {
        const int32_t width = 1000 - number % 64, height = int32_t(int64_t(width) * h / w);
        request->m_OutputSize.Set(width, height);
        request->m_Crop.Set(0, 0, width, height);
    }
    return request;
}

std::map<int, double>& NanosecondsPerPixel()
{
    static std::map<int, double> times;
    return times;
}

void CachedStage2Requests(benchmark::State& state)
{
    Setup& setup = TheSetup();
    const auto kind = CachedRequest(state.range(0));
    const int32_t w = int32_t(setup.shot.truth.outputColumns), h = int32_t(setup.shot.truth.outputRows);
    if (setup.Run(*setup.Request(w, h)) != kIPStatusDone)
        Fail("the full-size develop failed");
    bool checked = false;
    double seconds = 0, pixels = 0;
    for (auto _ : state) {
        auto request = CachedStage2Request(setup, kind, NextSettingsNumber());
        IPManagerData asked;
        asked.CopyRequestFrom(*request);
        setup.counts.Reset();
        const auto start = Clock::now();
        if (setup.Run(*request) != kIPStatusDone)
            Fail("the cached-stage-2 develop failed");
        const double taken = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(taken);
        seconds += taken;
        pixels += double(request->m_Crop.Width()) * double(request->m_Crop.Height());
        if (setup.counts.Of(kIPERequestStage2) != 0 || setup.counts.Of(kIPERequestStage3) != 1)
            Fail("stage 2 was not taken from the cache, or stage 3 did not run");
        if (!checked) {
            Direct direct(setup, asked);
            if (ResultOf(*request) != direct.Run(asked))
                Fail("the picture differs from the direct run's");
            checked = true;
        }
    }
    const double perPixel = 1e9 * seconds / pixels;
    state.counters["ns_per_pixel"] = perPixel;
    NanosecondsPerPixel()[int(kind)] = perPixel;
    if (kind != kFullSize && NanosecondsPerPixel().count(kFullSize))
        state.counters["x_full_size"] = perPixel / NanosecondsPerPixel()[kFullSize];
}
BENCHMARK(CachedStage2Requests)
    ->ArgName("full_loupe_fitted")
    ->Arg(kFullSize)
    ->Arg(kLoupe)
    ->Arg(kFitted)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

} // namespace
