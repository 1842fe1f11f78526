// The band runner's pool: what a call costs beside the same bands run on the
// calling thread alone, and what the pool costs while it has nothing to do.
//
// "BM_Call": calls of 24 bands, each band a fixed piece of arithmetic
// (`band_us` on one thread), made one right after the other on 1, 2, 4 and 6
// threads and on all (`cores:0`); `x_one_thread` is the call's time over the
// same call on the caller alone, taken in the same iterations, and
// `overhead_us` the call's time beyond a perfect split of that time over the
// threads. The first call checks that every band ran once.
//
// "BM_IdleCost": the same calls with a pause of 2 ms after each, as when the
// engine's steps do work of their own between calls; `idle_cpu_per_s` is the
// processor time the whole process spends during the pauses per second of
// pause (0 when the workers sleep, up to the worker count when they poll),
// and `wake_us` the call's time beyond a call made straight after another.
#include "engine/core/RunRowBands.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t kBands = 24;
constexpr uint32_t kRows = kBands * 64;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double ProcessCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// A band's work: a chain of dependent multiplications per row, so the time
// does not depend on the memory system. Counts the rows it saw.
struct Work {
    std::atomic<uint32_t> rows{0};
    std::atomic<uint64_t> sink{0};
};

int BandWork(RowBandJob* job)
{
    auto* work = static_cast<Work*>(job->pContextA);
    uint64_t value = job->iFirstRow + 1;
    for (uint32_t row = job->iFirstRow; row <= job->iLastRow; ++row)
        for (int i = 0; i < 400; ++i)
            value = value * 6364136223846793005ull + 1442695040888963407ull;
    work->sink.fetch_add(value, std::memory_order_relaxed);
    work->rows.fetch_add(job->iLastRow - job->iFirstRow + 1, std::memory_order_relaxed);
    return 0;
}

double TimedCall(Work& work)
{
    const Clock::time_point start = Clock::now();
    RunRowBands(BandWork, &work, nullptr, kRows, nullptr, kBands);
    return Seconds(start);
}

// The call on the caller alone.
double OneThreadCall(Work& work, uint32_t cores)
{
    SetRowBandThreadLimit(1);
    const double seconds = TimedCall(work);
    SetRowBandThreadLimit(cores);
    return seconds;
}

uint32_t Threads(uint32_t cores) { return cores == 0 ? RowBandThreadLimit() : std::min(cores, RowBandThreadLimit()); }

void BM_Call(benchmark::State& state)
{
    const uint32_t cores = uint32_t(state.range(0));
    SetRowBandThreadLimit(cores);
    Work work;
    TimedCall(work);
    if (work.rows != kRows) {
        state.SkipWithError("a band did not run exactly once");
        SetRowBandThreadLimit(0);
        return;
    }
    double pooled = 0, alone = 0;
    for (auto _ : state) {
        const double seconds = TimedCall(work);
        state.SetIterationTime(seconds);
        pooled += seconds;
        alone += OneThreadCall(work, cores);
    }
    const double threads = Threads(cores), n = double(state.iterations());
    state.counters["band_us"] = 1e6 * alone / n / kBands;
    state.counters["x_one_thread"] = pooled / alone;
    state.counters["overhead_us"] = 1e6 * (pooled - alone / threads) / n;
    state.counters["threads"] = threads;
    SetRowBandThreadLimit(0);
}

void BM_IdleCost(benchmark::State& state)
{
    const uint32_t cores = uint32_t(state.range(0));
    SetRowBandThreadLimit(cores);
    Work work;
    constexpr auto kPause = std::chrono::milliseconds(2);
    double afterPause = 0, backToBack = 0, pausedCpu = 0, paused = 0;
    for (auto _ : state) {
        backToBack += TimedCall(work);
        const double cpu = ProcessCpuSeconds();
        const Clock::time_point start = Clock::now();
        std::this_thread::sleep_for(kPause);
        paused += Seconds(start);
        pausedCpu += ProcessCpuSeconds() - cpu;
        const double seconds = TimedCall(work);
        state.SetIterationTime(seconds);
        afterPause += seconds;
    }
    const double n = double(state.iterations());
    state.counters["idle_cpu_per_s"] = pausedCpu / paused;
    state.counters["wake_us"] = 1e6 * (afterPause - backToBack) / n;
    state.counters["x_back_to_back"] = afterPause / backToBack;
    state.counters["threads"] = Threads(cores);
    SetRowBandThreadLimit(0);
}

void CoreCounts(benchmark::internal::Benchmark* benchmark)
{
    benchmark->ArgName("cores");
    const uint32_t all = RowBandThreadLimit();
    for (const uint32_t cores : {1u, 2u, 4u, 6u})
        if (cores < all)
            benchmark->Arg(cores);
    benchmark->Arg(0);
}

BENCHMARK(BM_Call)->Apply(CoreCounts)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(0.5);
BENCHMARK(BM_IdleCost)->Apply(CoreCounts)->UseManualTime()->Unit(benchmark::kMicrosecond)->MinTime(0.5);

} // namespace
