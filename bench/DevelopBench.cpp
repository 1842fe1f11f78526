// A whole development (stages 1 to 4 through engine requests, default
// settings, full size, 24-bit sRGB out) of the synthetic camera's 2304 x 1536
// shots at ISO 100 and ISO 800 and of its 4704 x 3136 ISO 100 shot, each on
// 1, 2, 4 and 6 cores and on all the process may use (the argument: the most
// threads the band runner puts on a call, 0 for all). The files are made once
// per run.
//
// The time is that of the four stages: the raw and dark frames are decoded
// from the file before timing, as a manager holds them decoded while it
// develops again. "load_ms" is the time of loading both frames from the file
// through the raw loader, taken in the same iterations, and "with_load_ms" the
// development's time with it.
//
// Each benchmark checks its first development against the shot's ground
// truth (the 18 % grey patch neutral), then reports the time of each stage
// ("stage1_ms" .. "stage4_ms", stage 4 with its tone table), "x_goal" (the
// whole development over the goal: 1.0 s for 2304 x 1536, 3 s for
// 4704 x 3136), "x_copy" (over one plain copy of the working image's bytes,
// timed alternately), "speedup" and "stage4_speedup" (the time on one core,
// from the same run, over this one, of the whole development and of stage 4)
// and "peak_bytes_per_pixel": the most memory held at once per sensor pixel
// over two developments one after the other on one engine, each image made
// when its stage needs it and freed once its last reader is done, as the
// image managers hold them (the frames loaded again for the second; the
// engine's kept work memory of the first counts during the second).
// "all_held_peak_bytes_per_pixel" is the same for one development that holds
// every image from the start, as the timed developments do. Every allocation
// of the program is counted (CountedAllocations.h).
#include "support/SyntheticDevelopment.h"

#include "CountedAllocations.h"
#include "engine/core/RunRowBands.h"
#include "fileio/loaders/FDataRetrieverRequest.h"
#include "fileio/loaders/FILoader.h"
#include "foundation/FIStorageClass.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace testsupport;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

struct MadeShot {
    SyntheticRaw shot;
    TempDir dir;
    FString url;
};

const MadeShot& Shot(SyntheticShot which, SyntheticSize size)
{
    static std::map<std::pair<SyntheticShot, SyntheticSize>, std::unique_ptr<MadeShot>> shots;
    std::unique_ptr<MadeShot>& made = shots[{which, size}];
    if (!made) {
        InitStorageClasses();
        SyntheticOptions options;
        options.shot = which;
        options.size = size;
        options.previews = false;
        made = std::make_unique<MadeShot>();
        made->shot = MakeSyntheticRaw(options);
        const auto path = made->dir.Path() / "shot.kvr";
        made->shot.file.WriteTo(path);
        made->url = UrlOfPath(path);
    }
    return *made;
}

// The 18 % grey patch of the output is neutral.
bool GreyIsNeutral(const SyntheticDevelopment& d, const SyntheticTruth& truth)
{
    const ColorTriple lab = d.MeanLab(truth.patches[2].rect);
    return std::fabs(lab[1]) <= 3.0 && std::fabs(lab[2]) <= 3.0 && std::fabs(lab[0] - truth.patches[2].lab[0]) < 8.0;
}

// One queued load of a frame of the file into the pixmap, as the data
// retriever asks for it (the file holds the raw frame, then the dark frame).
bool LoadFrame(FILoader& loader, const FString& url, int32_t index, FPixmap* pixmap)
{
    FDataRetrieverRequest request;
    request.m_sURL = url;
    request.m_iKind = LOADER_REQUEST_LOAD_IMAGE;
    request.SetIndexWord(index);
    request.SetPixmap(pixmap);
    loader.Request(&request);
    while (request.IsPending())
        loader.Idle();
    return request.GetStatus() == LOADER_STATUS_DONE;
}

// Each benchmark's time on one core, for the speed-up of the others.
struct OneCore {
    double whole = 0;
    double stage4 = 0;
};
std::map<std::string, OneCore>& OneCoreTimes()
{
    static std::map<std::string, OneCore> times;
    return times;
}

void Develop(benchmark::State& state, const char* name, SyntheticShot which, SyntheticSize size, double goalSeconds)
{
    const uint32_t cores = uint32_t(state.range(0));
    SetRowBandThreadLimit(cores);
    const MadeShot& made = Shot(which, size);
    const SyntheticRaw& shot = made.shot;
    const double sensorPixels = double(shot.truth.storedColumns) * shot.truth.storedRows;

    int64_t peakBytes = 0;
    {
        const PeakAllocation peak;
        DevelopFrame lean;
        lean.freeInputsOnceRead = true;
        SyntheticDevelopment development(shot, {}, {}, lean);
        const bool first = development.DevelopAll() == kIPStatusDone;
        development.RestoreFrames();
        if (!first || development.DevelopAll() != kIPStatusDone || !GreyIsNeutral(development, shot.truth)) {
            state.SkipWithError(("the lean development failed or is not neutral: " + development.lastError).c_str());
            SetRowBandThreadLimit(0);
            return;
        }
        peakBytes = peak.Bytes();
    }
    const PeakAllocation heldPeak;
    auto development = std::make_unique<SyntheticDevelopment>(shot);
    if (development->DevelopAll() != kIPStatusDone || !GreyIsNeutral(*development, shot.truth)) {
        state.SkipWithError(("the development failed or is not neutral: " + development->lastError).c_str());
        SetRowBandThreadLimit(0);
        return;
    }
    const int64_t heldPeakBytes = heldPeak.Bytes();

    SyntheticDevelopment& d = *development;
    FILoader* loader = CreatePDXbLoader();
    std::vector<FPixelClass48SRGB> copy(d.working.pixels.size());
    double stages[4] = {0, 0, 0, 0}, whole = 0, plain = 0, load = 0;
    for (auto _ : state) {
        Clock::time_point start = Clock::now();
        if (!LoadFrame(*loader, made.url, 0, d.raw.get()) || !LoadFrame(*loader, made.url, 1, d.dark.get()))
            state.SkipWithError("a frame cannot be loaded");
        load += Seconds(start);
        int32_t (SyntheticDevelopment::*const run[4])() = {&SyntheticDevelopment::Stage1, &SyntheticDevelopment::Stage2,
                                                          &SyntheticDevelopment::Stage3, &SyntheticDevelopment::Stage4};
        double total = 0;
        for (int s = 0; s < 4; ++s) {
            start = Clock::now();
            if ((d.*run[s])() != kIPStatusDone)
                state.SkipWithError("a stage failed");
            const double seconds = Seconds(start);
            stages[s] += seconds;
            total += seconds;
        }
        state.SetIterationTime(total);
        whole += total;
        start = Clock::now();
        std::memcpy(copy.data(), d.working.pixels.data(), copy.size() * sizeof(copy[0]));
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
        plain += Seconds(start);
    }
    loader->Release();
    SetRowBandThreadLimit(0);
    const double n = double(state.iterations());
    for (int s = 0; s < 4; ++s)
        state.counters["stage" + std::to_string(s + 1) + "_ms"] = 1000.0 * stages[s] / n;
    state.counters["load_ms"] = 1000.0 * load / n;
    state.counters["with_load_ms"] = 1000.0 * (load + whole) / n;
    state.counters["x_goal"] = whole / n / goalSeconds;
    state.counters["x_copy"] = plain > 0 ? whole / plain : 0.0;
    state.counters["peak_bytes_per_pixel"] = double(peakBytes) / sensorPixels;
    state.counters["all_held_peak_bytes_per_pixel"] = double(heldPeakBytes) / sensorPixels;
    state.counters["megapixels"] = sensorPixels / 1e6;
    if (cores == 1) {
        OneCoreTimes()[name] = {whole / n, stages[3] / n};
    } else if (const auto found = OneCoreTimes().find(name); found != OneCoreTimes().end()) {
        state.counters["speedup"] = found->second.whole / (whole / n);
        state.counters["stage4_speedup"] = found->second.stage4 / (stages[3] / n);
    }
}

void BM_Develop_2304x1536_Iso100(benchmark::State& state)
{
    Develop(state, "2304x1536_Iso100", SyntheticShot::DaylightIso100, SyntheticSize::Medium, 1.0);
}
void BM_Develop_2304x1536_Iso800(benchmark::State& state)
{
    Develop(state, "2304x1536_Iso800", SyntheticShot::DaylightIso800Auto, SyntheticSize::Medium, 1.0);
}
void BM_Develop_4704x3136_Iso100(benchmark::State& state)
{
    Develop(state, "4704x3136_Iso100", SyntheticShot::DaylightIso100, SyntheticSize::Large, 3.0);
}

// 1, 2, 4 and 6 cores as far as the process has them, then all (0).
void CoreCounts(benchmark::internal::Benchmark* benchmark)
{
    benchmark->ArgName("cores");
    const uint32_t all = RowBandThreadLimit();
    for (const uint32_t cores : {1u, 2u, 4u, 6u})
        if (cores < all)
            benchmark->Arg(cores);
    benchmark->Arg(0);
}

BENCHMARK(BM_Develop_2304x1536_Iso100)->Apply(CoreCounts)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_Develop_2304x1536_Iso800)->Apply(CoreCounts)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_Develop_4704x3136_Iso100)->Apply(CoreCounts)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(6.0);

} // namespace
