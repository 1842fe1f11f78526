// The noise reduction called from several threads at once, at more level
// counts than it keeps tables for: every call gives the pixels a call on its
// own gives, whether its tables were made for it, kept from an earlier call or
// dropped by another thread meanwhile.
#include "engine/noise/FIRNoiseReduction.h"

#include "support/WorkingImage.h"

#include <gtest/gtest.h>

#include <random>
#include <thread>
#include <vector>

using testsupport::MakeWorkingImage;
using testsupport::WorkingImage;

namespace {

using Pixel = FPixelClass48SRGB;

constexpr int32_t kW = 48;
constexpr int32_t kH = 32;
// b of 1 .. 6: six level counts (24000 down to 6000).
constexpr int kLevels = 6;

WorkingImage Noisy(uint32_t seed, int spread)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> noise(-spread, spread);
    return MakeWorkingImage(kW, kH, [&](int32_t x, int32_t) {
        const int16_t base = x < kW / 2 ? 1800 : 5200;
        return Pixel{static_cast<int16_t>(base + noise(random)), static_cast<int16_t>(base + 300 + noise(random)),
                     static_cast<int16_t>(base - 200 + noise(random))};
    });
}

std::vector<uint8_t> Reduced(int level)
{
    WorkingImage A = Noisy(11, 300), B = Noisy(12, 60);
    FIRNoiseReduction(A.get(), B.get(), 0.0011f, 0.0019f, 0.019f, 1.0f, 0.55f, 5.0f, 7.0f, 0.7f, 1, 1.0f,
                      static_cast<float>(level + 1), nullptr, 0, 2);
    return A.bytes;
}

} // namespace

TEST(FIRNoiseReductionThreadTest, ConcurrentCallsAtManyLevelCountsGiveTheirOwnPixels)
{
    std::vector<std::vector<uint8_t>> alone;
    for (int level = 0; level < kLevels; ++level)
        alone.push_back(Reduced(level));
    EXPECT_NE(alone[0], alone[kLevels - 1]) << "the level count matters";

    constexpr int kThreads = 3;
    std::vector<std::vector<std::vector<uint8_t>>> results(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t, &results] {
            for (int i = 0; i < 2 * kLevels; ++i)
                results[size_t(t)].push_back(Reduced((i + 2 * t) % kLevels));
        });
    for (std::thread& thread : threads)
        thread.join();
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < 2 * kLevels; ++i)
            EXPECT_EQ(results[size_t(t)][size_t(i)], alone[size_t((i + 2 * t) % kLevels)]) << t << " " << i;
}
