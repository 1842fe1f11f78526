#include "foundation/FStopwatch.h"

#include <gtest/gtest.h>

namespace {

TEST(FStopwatchTest, IntervalIsZeroUntilStopped)
{
    FStopwatch watch;
    watch.Start();
    EXPECT_EQ(watch.GetIntervalSeconds(), 0.0);
    watch.Stop();
    EXPECT_GE(watch.GetIntervalSeconds(), 0.0);
    // A new interval forgets the old one until it is stopped.
    watch.Start();
    EXPECT_EQ(watch.GetIntervalSeconds(), 0.0);
}

TEST(FStopwatchTest, ElapsedTimeNeverGoesBackAndRunsOnAfterStop)
{
    FStopwatch watch;
    watch.Start();
    double previous = 0.0;
    for (int i = 0; i < 1000; ++i) {
        const double elapsed = watch.GetElapsedSeconds();
        ASSERT_GE(elapsed, previous);
        previous = elapsed;
    }
    watch.Stop();
    const double interval = watch.GetIntervalSeconds();
    EXPECT_GE(interval, 0.0);
    EXPECT_GE(watch.GetElapsedSeconds(), interval);
    EXPECT_EQ(watch.GetIntervalSeconds(), interval);
}

TEST(FStopwatchTest, TicksAreFine)
{
    EXPECT_GT(GetSecondsPerTick(), 0.0);
    EXPECT_LE(GetSecondsPerTick(), 1e-6);
}

} // namespace
