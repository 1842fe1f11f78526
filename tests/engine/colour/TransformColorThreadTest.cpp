#include "engine/colour/TransformColor.h"

#include "engine/colour/ColorSpaces.h"
#include "support/BuildTree.h"
#include "support/TestPixmap.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using testsupport::TestPixmap;

// Several engines convert at once: the first of them builds the transform
// under the cache's lock, all of them use it outside the lock.
TEST(TransformColorThreadTest, ConcurrentConversionsShareOneTransformAndAgree)
{
    SetColorProfileProgramPath(testsupport::BuildTreeProgramPath());
    constexpr int32_t kW = 64, kH = 48;
    constexpr uint32_t kSize = 65536;
    TestPixmap<FPixelClass48SRGB> color(kW, kH);
    TestPixmap<FPixelClass16SMono> lightness(kW, kH);
    TestPixmap<FPixelClass16SMono> retinex(kW, kH);
    for (int32_t y = 0; y < kH; ++y)
        for (int32_t x = 0; x < kW; ++x) {
            *color.Get()->GetPixel(x, y) = FPixelClass48SRGB{int16_t(100 * x), int16_t(150 * y), int16_t(50 * (x + y))};
            lightness.Get()->GetPixel(x, y)->v = int16_t(x - y);
            retinex.Get()->GetPixel(x, y)->v = int16_t(x);
        }
    std::vector<int16_t> identity(kSize), gains(kSize, 300);
    for (uint32_t i = 0; i < kSize; ++i)
        identity[i] = int16_t(i * 2);
    const FLUT16RGB tone(identity.data(), identity.data(), identity.data(), kSize);
    const FLUT16 gamma(identity.data(), kSize), gain(gains.data(), kSize);

    const auto convert = [&](TestPixmap<FPixelClass48RGB>& out) {
        FPixelProc2::ProcessToOutput(color.get(), lightness.get(), retinex.get(), 0.5, tone, gain,
                                     ColorMatrix3x3::Identity(), gamma, kColorSpaceProPhoto, kColorSpaceAdobeRGB,
                                     out.get());
    };
    const size_t created = FGlobalTransformClass::Instance().TransformsCreated();
    std::vector<TestPixmap<FPixelClass48RGB>> outputs;
    for (int i = 0; i < 6; ++i)
        outputs.emplace_back(kW, kH);
    std::vector<std::thread> threads;
    for (auto& out : outputs)
        threads.emplace_back([&] { convert(out); });
    for (auto& thread : threads)
        thread.join();

    EXPECT_EQ(FGlobalTransformClass::Instance().TransformsCreated(), created + 1);
    TestPixmap<FPixelClass48RGB> reference(kW, kH);
    convert(reference);
    for (const auto& out : outputs)
        EXPECT_EQ(out.bytes, reference.bytes);
}
