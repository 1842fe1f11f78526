// A whole development (stages 1 to 4 through engine requests, default
// settings, full size, 24-bit sRGB out) of the synthetic camera's 2304 x 1536
// shots at ISO 100 and ISO 800 and of its 4704 x 3136 ISO 100 shot. The files
// are made once per run. Each benchmark checks its first development against
// the shot's ground truth (the 18 % grey patch neutral), then reports the time
// of each stage ("stage1_ms" .. "stage4_ms", stage 4 with its tone table),
// "x_goal" (the whole development over the goal: 1.0 s for 2304 x 1536, 3 s
// for 4704 x 3136), "x_copy" (over one plain copy of the working image's
// bytes, timed alternately) and "peak_bytes_per_pixel": the most memory held
// at once during the first development per sensor pixel, the frames, the
// stage images and the output included. Every allocation of the program goes
// through the counting operators of CountedAllocations.h.
#include "support/SyntheticDevelopment.h"

#include "CountedAllocations.h"

#include <benchmark/benchmark.h>


#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

namespace {

using namespace testsupport;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

const SyntheticRaw& Shot(SyntheticShot shot, SyntheticSize size)
{
    static std::map<std::pair<SyntheticShot, SyntheticSize>, std::unique_ptr<SyntheticRaw>> shots;
    std::unique_ptr<SyntheticRaw>& made = shots[{shot, size}];
    if (!made) {
        SyntheticOptions options;
        options.shot = shot;
        options.size = size;
        options.previews = false;
        made = std::make_unique<SyntheticRaw>(MakeSyntheticRaw(options));
    }
    return *made;
}

// The 18 % grey patch of the output is neutral.
bool GreyIsNeutral(const SyntheticDevelopment& d, const SyntheticTruth& truth)
{
    const ColorTriple lab = d.MeanLab(truth.patches[2].rect);
    return std::fabs(lab[1]) <= 3.0 && std::fabs(lab[2]) <= 3.0 && std::fabs(lab[0] - truth.patches[2].lab[0]) < 8.0;
}

void Develop(benchmark::State& state, SyntheticShot which, SyntheticSize size, double goalSeconds)
{
    const SyntheticRaw& shot = Shot(which, size);
    const double sensorPixels = double(shot.truth.storedColumns) * shot.truth.storedRows;

    const PeakAllocation peak;
    auto development = std::make_unique<SyntheticDevelopment>(shot);
    if (development->DevelopAll() != kIPStatusDone || !GreyIsNeutral(*development, shot.truth)) {
        state.SkipWithError(("the development failed or is not neutral: " + development->lastError).c_str());
        return;
    }
    const int64_t peakBytes = peak.Bytes();

    SyntheticDevelopment& d = *development;
    std::vector<FPixelClass48SRGB> copy(d.working.pixels.size());
    double stages[4] = {0, 0, 0, 0}, whole = 0, plain = 0;
    for (auto _ : state) {
        int32_t (SyntheticDevelopment::*const run[4])() = {&SyntheticDevelopment::Stage1, &SyntheticDevelopment::Stage2,
                                                          &SyntheticDevelopment::Stage3, &SyntheticDevelopment::Stage4};
        double total = 0;
        for (int s = 0; s < 4; ++s) {
            const Clock::time_point start = Clock::now();
            if ((d.*run[s])() != kIPStatusDone)
                state.SkipWithError("a stage failed");
            const double seconds = Seconds(start);
            stages[s] += seconds;
            total += seconds;
        }
        state.SetIterationTime(total);
        whole += total;
        const Clock::time_point start = Clock::now();
        std::memcpy(copy.data(), d.working.pixels.data(), copy.size() * sizeof(copy[0]));
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
        plain += Seconds(start);
    }
    const double n = double(state.iterations());
    for (int s = 0; s < 4; ++s)
        state.counters["stage" + std::to_string(s + 1) + "_ms"] = 1000.0 * stages[s] / n;
    state.counters["x_goal"] = whole / n / goalSeconds;
    state.counters["x_copy"] = plain > 0 ? whole / plain : 0.0;
    state.counters["peak_bytes_per_pixel"] = double(peakBytes) / sensorPixels;
    state.counters["megapixels"] = sensorPixels / 1e6;
}

void BM_Develop_2304x1536_Iso100(benchmark::State& state)
{
    Develop(state, SyntheticShot::DaylightIso100, SyntheticSize::Medium, 1.0);
}
void BM_Develop_2304x1536_Iso800(benchmark::State& state)
{
    Develop(state, SyntheticShot::DaylightIso800Auto, SyntheticSize::Medium, 1.0);
}
void BM_Develop_4704x3136_Iso100(benchmark::State& state)
{
    Develop(state, SyntheticShot::DaylightIso100, SyntheticSize::Large, 3.0);
}

BENCHMARK(BM_Develop_2304x1536_Iso100)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_Develop_2304x1536_Iso800)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(3.0);
BENCHMARK(BM_Develop_4704x3136_Iso100)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(6.0);

} // namespace
