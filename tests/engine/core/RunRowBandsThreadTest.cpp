#include "engine/core/RunRowBands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

namespace {

struct BandLog {
    std::mutex mutex;
    std::vector<std::pair<uint32_t, uint32_t>> bands;
    std::atomic<int> calls{0};
};

int RecordBand(RowBandJob* job)
{
    auto* log = static_cast<BandLog*>(job->pContextA);
    std::lock_guard<std::mutex> lock(log->mutex);
    log->bands.emplace_back(job->iFirstRow, job->iLastRow);
    ++log->calls;
    return 0;
}

std::vector<std::pair<uint32_t, uint32_t>> SortedBands(uint32_t rows, uint32_t bandCount)
{
    BandLog log;
    RunRowBands(RecordBand, &log, nullptr, rows, nullptr, bandCount);
    std::sort(log.bands.begin(), log.bands.end());
    return log.bands;
}

} // namespace

TEST(RunRowBandsThreadTest, SplitsRowsIntoEqualBandsWithTheRemainderLast)
{
    using Bands = std::vector<std::pair<uint32_t, uint32_t>>;
    struct Case {
        uint32_t rows;
        uint32_t bandCount;
        Bands expected;
    };
    const Case cases[] = {
        {100, 8, {{0, 11}, {12, 23}, {24, 35}, {36, 47}, {48, 59}, {60, 71}, {72, 83}, {84, 99}}},
        {8, 8, {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}, {7, 7}}},
        {5, 8, {{0, 4}}}, // fewer rows than bands: one band
        {10, 0, {{0, 9}}},
        {0, 8, {}},
    };
    // The runner reports nothing on stderr.
    testing::internal::CaptureStderr();
    for (const Case& c : cases) {
        EXPECT_EQ(SortedBands(c.rows, c.bandCount), c.expected) << c.rows << " rows in " << c.bandCount;
        Bands split;
        for (const RowBandRange& band : SplitIntoRowBands(c.rows, c.bandCount))
            split.emplace_back(band.iFirstRow, band.iLastRow);
        EXPECT_EQ(split, c.expected) << c.rows << " rows in " << c.bandCount;
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(RunRowBandsThreadTest, PassesTheThreeContextsToEveryBand)
{
    int a = 0, b = 0, c = 0;
    struct Seen {
        std::atomic<int> good{0};
        void* a;
        void* b;
        void* c;
    } seen{{0}, &a, &b, &c};
    RunRowBands(
        [](RowBandJob* job) {
            auto* s = static_cast<Seen*>(job->pContextC);
            if (job->pContextA == s->a && job->pContextB == s->b)
                ++s->good;
            return 0;
        },
        &a, &b, 64, &seen, 8);
    EXPECT_EQ(seen.good, 8);
}

TEST(RunRowBandsThreadTest, EveryBandFinishesBeforeAThrowingBandsExceptionIsRethrown)
{
    struct Work {
        std::atomic<int> finished{0};
    } work;
    auto callback = [](RowBandJob* job) -> int {
        auto* w = static_cast<Work*>(job->pContextA);
        if (job->iFirstRow == 12)
            throw std::runtime_error("band failed");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ++w->finished;
        return 0;
    };
    EXPECT_THROW(RunRowBands(callback, &work, nullptr, 100, nullptr, 8), std::runtime_error);
    EXPECT_EQ(work.finished, 7);
}

namespace {

// Rows visited by the innermost of nested calls: each band of a call with
// depth left runs a call of its own (16 rows in 8 bands).
struct Nest {
    std::atomic<int> rows{0};
};

int VisitNested(RowBandJob* job)
{
    auto* nest = static_cast<Nest*>(job->pContextA);
    const int depth = *static_cast<const int*>(job->pContextB);
    if (depth == 0) {
        nest->rows += int(job->iLastRow - job->iFirstRow + 1);
        return 0;
    }
    int below = depth - 1;
    RunRowBands(VisitNested, nest, &below, 16, nullptr, 8);
    return 0;
}

} // namespace

// Bands that run bands, three deep, from several threads at once and under
// several thread limits: each call finishes although its caller is itself a
// band that another call waits for.
TEST(RunRowBandsThreadTest, CallsMadeFromInsideBandsComplete)
{
    for (const uint32_t limit : {0u, 1u, 2u, 3u}) {
        SetRowBandThreadLimit(limit);
        std::vector<Nest> nests(4);
        std::vector<std::thread> callers;
        for (Nest& nest : nests)
            callers.emplace_back([&nest] {
                int depth = 2;
                RunRowBands(VisitNested, &nest, &depth, 16, nullptr, 8);
            });
        for (std::thread& caller : callers)
            caller.join();
        for (const Nest& nest : nests)
            EXPECT_EQ(nest.rows, 16 * 8 * 8) << "limit " << limit;
    }
    SetRowBandThreadLimit(0);
}

TEST(RunRowBandsThreadTest, ALimitOfOneThreadRunsEveryBandOnTheCaller)
{
    struct Seen {
        std::thread::id caller = std::this_thread::get_id();
        std::atomic<int> elsewhere{0};
    } seen;
    SetRowBandThreadLimit(1);
    EXPECT_EQ(RowBandThreadLimit(), 1u);
    RunRowBands(
        [](RowBandJob* job) {
            auto* s = static_cast<Seen*>(job->pContextA);
            if (std::this_thread::get_id() != s->caller)
                ++s->elsewhere;
            return 0;
        },
        &seen, nullptr, 64, nullptr, 8);
    SetRowBandThreadLimit(0);
    EXPECT_EQ(seen.elsewhere, 0);
    EXPECT_GE(RowBandThreadLimit(), 1u);
}
