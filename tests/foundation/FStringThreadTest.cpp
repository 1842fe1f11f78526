#include "foundation/FString.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

// Formatting must not share scratch storage between threads.
TEST(FStringThread, ConcurrentFormattingKeepsEachResult)
{
    constexpr int kThreads = 4;
    constexpr int kRounds = 2000;
    std::vector<int> mismatches(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &mismatches] {
            for (int i = 0; i < kRounds; ++i) {
                FString wide;
                wide.Format("%d:%d:%.2f", t, i, i / 4.0);
                const FNarrowString narrow("%d/%d", t, i);
                const std::string expectedWide =
                    std::to_string(t) + ":" + std::to_string(i) + ":" + std::to_string(i / 4) + "." +
                    (i % 4 == 0 ? "00" : i % 4 == 1 ? "25" : i % 4 == 2 ? "50" : "75");
                const std::string expectedNarrow = std::to_string(t) + "/" + std::to_string(i);
                if (expectedWide != wide.GetAscii() || expectedNarrow != narrow.GetText())
                    ++mismatches[t];
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(mismatches[t], 0) << "thread " << t;
}

} // namespace
