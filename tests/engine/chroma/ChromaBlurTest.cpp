#include "engine/chroma/ChromaBlur.h"

#include "engine/core/GlobalLUTs.h"
#include "support/WorkingImage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using testsupport::MakeUniformWorkingImage;
using testsupport::MakeWorkingImage;
using testsupport::TestPixmap;
using testsupport::WorkingImage;

namespace {

using Pixel = FPixelClass48SRGB;

const FLUT16RGB& StageTable()
{
    return GetChromaWeightLUT(FDoubleTriple(1200.0, 1200.0, 1200.0), FDoubleTriple(0.8, 0.8, 0.8));
}

// Differences pass unchanged up to +-255, so targets can be read off the result.
const FLUT16RGB& IdentityTable()
{
    static const FLUT16RGB table = [] {
        FLUT16RGB t(512);
        for (int32_t d = -256; d < 256; ++d) {
            const uint32_t i = static_cast<uint32_t>(d) & t.m_iMask;
            t.m_pRed[i] = t.m_pGreen[i] = t.m_pBlue[i] = static_cast<int16_t>(d);
        }
        return t;
    }();
    return table;
}

WorkingImage NoisyImage(int32_t W, int32_t H, uint32_t seed)
{
    return MakeWorkingImage(W, H, [&](int32_t x, int32_t y) {
        uint32_t s = seed ^ (static_cast<uint32_t>(x) * 73856093u) ^ (static_cast<uint32_t>(y) * 19349663u);
        auto next = [&] {
            s = s * 1664525u + 1013904223u;
            return static_cast<int16_t>(int32_t(s >> 20) * 2 - 600); // -600 .. 7590
        };
        return Pixel{next(), next(), next()};
    });
}

// The driving every stage-2 window pass follows, done by hand on the row kernel.
template <int Reach, class Window, class Kernel>
void DriveByHand(WorkingImage& image, Kernel kernel)
{
    const int32_t W = image->m_iColumns;
    const int32_t H = image->GetRows();
    constexpr int kSlots = 2 * Reach + 1;
    std::vector<Pixel> buffers(static_cast<size_t>(W) * kSlots, Pixel{0, 0, 0});
    Window window;
    for (int i = 0; i < kSlots; ++i)
        window.apRows[i] = buffers.data() + i * W;
    for (int32_t y = 0; y < H + Reach; ++y) {
        if (y == Reach)
            for (int i = 0; i < Reach; ++i)
                std::memcpy(window.apRows[i], window.apRows[Reach], sizeof(Pixel) * W);
        kernel(image.Get()->GetRow(std::min(y, H - 1)), y >= Reach ? image.Get()->GetRow(y - Reach) : nullptr,
               window, W);
    }
}

std::vector<uint8_t> AllBytes(const WorkingImage& image) { return image.Bytes(image->m_iColumns, image->GetRows()); }

} // namespace

TEST(ChromaBlurTest, UniformAreaIsUnchangedByTheThreeByThreeKernel)
{
    for (const Pixel colour : {Pixel{0, 0, 0}, Pixel{1000, 2000, 3000}, Pixel{30000, 100, 4096}}) {
        auto image = MakeUniformWorkingImage(13, 7, colour.r, colour.g, colour.b);
        const auto before = AllBytes(image);
        EXPECT_TRUE(ChromaBlurImage3(image.get(), FDoubleTriple(), 0, StageTable(), 3, nullptr));
        EXPECT_EQ(AllBytes(image), before) << colour.r << " " << colour.g << " " << colour.b;
    }
}

TEST(ChromaBlurTest, WhiteDisplayPixmapComesBackAs254WithOpaqueAlpha)
{
    TestPixmap<FPixelClass32BGRA> display(9, 6, 0, 255);
    ChromaBlurDisplayPixmap(display.get(), 1200, 1200, 1200, 12);
    for (int32_t y = 0; y < 6; ++y)
        for (int32_t x = 0; x < 9; ++x) {
            const auto& p = display.At(x, y);
            ASSERT_EQ((std::vector<int>{p.b, p.g, p.r, p.a}), (std::vector<int>{254, 254, 254, 255})) << x << "," << y;
        }
}

TEST(ChromaBlurTest, DisplayPixmapAlphaBecomesOpaqueAndOtherTypesAreLeftAlone)
{
    TestPixmap<FPixelClass32BGRA> display(5, 3, 0, 0);
    ChromaBlurDisplayPixmap(display.get(), 1200, 1200, 1200, 12);
    for (int32_t x = 0; x < 5; ++x)
        EXPECT_EQ(display.At(x, 2).a, 255);

    auto working = NoisyImage(5, 3, 7);
    const auto before = AllBytes(working);
    ChromaBlurDisplayPixmap(working.get(), 1200, 1200, 1200, 12);
    ChromaBlurDisplayPixmap(nullptr, 1200, 1200, 1200, 12);
    EXPECT_EQ(AllBytes(working), before);
}

TEST(ChromaBlurTest, NegativeBrightnessTargetsZeroAndTheDifferenceIsClamped)
{
    // S + c < 0: targets 0, differences +300 clamped to 255 each, common part 765 >> 3.
    auto image = MakeUniformWorkingImage(6, 6, -300, -300, -300);
    EXPECT_TRUE(ChromaBlurImage5(image.get(), FDoubleTriple(), 10, IdentityTable(), 3, nullptr));
    for (int32_t y = 0; y < 6; ++y)
        for (int32_t x = 0; x < 6; ++x)
            ASSERT_EQ(image.At(x, y).g, -300 + 255 - 95);
}

TEST(ChromaBlurTest, ZeroBrightnessOffsetActsAsOneOnBlack)
{
    auto five = MakeUniformWorkingImage(8, 8, 0, 0, 0);
    auto large = MakeUniformWorkingImage(8, 8, 0, 0, 0);
    const auto before = AllBytes(five);
    EXPECT_TRUE(ChromaBlurImage5(five.get(), FDoubleTriple(), 0, IdentityTable(), 3, nullptr));
    EXPECT_TRUE(ChromaBlurLargeImage(large.get(), 5.0, 5.0, 5.0, FDoubleTriple(), 0, IdentityTable(), 3, nullptr));
    EXPECT_EQ(AllBytes(five), before);
    EXPECT_EQ(AllBytes(large), before);
}

TEST(ChromaBlurTest, WindowPassesEqualTheHandDrivenKernelInAnyNumberOfBands)
{
    const FLUT16RGB& table = StageTable();
    const struct { int32_t W, H; } sizes[] = {{37, 29}, {5, 8}, {3, 17}, {1, 1}};
    for (const auto size : sizes) {
        auto expected3 = NoisyImage(size.W, size.H, 11);
        DriveByHand<1, ChromaBlurWindow3>(expected3, [&](const Pixel* in, Pixel* out, ChromaBlurWindow3& w, int32_t W) {
            ChromaBlurRow3(in, out, FDoubleTriple(), 0, w, W, table, 3);
        });
        auto expected5 = NoisyImage(size.W, size.H, 11);
        DriveByHand<2, ChromaBlurWindow5>(expected5, [&](const Pixel* in, Pixel* out, ChromaBlurWindow5& w, int32_t W) {
            ChromaBlurRow5(in, out, FDoubleTriple(), 120, w, W, table, 3);
        });
        for (const uint32_t bands : {1u, 3u, 8u}) {
            auto image3 = NoisyImage(size.W, size.H, 11);
            auto image5 = NoisyImage(size.W, size.H, 11);
            EXPECT_TRUE(ChromaBlurImage3(image3.get(), FDoubleTriple(), 0, table, 3, nullptr, bands));
            EXPECT_TRUE(ChromaBlurImage5(image5.get(), FDoubleTriple(), 120, table, 3, nullptr, bands));
            EXPECT_EQ(AllBytes(image3), AllBytes(expected3)) << size.W << "x" << size.H << " in " << bands;
            EXPECT_EQ(AllBytes(image5), AllBytes(expected5)) << size.W << "x" << size.H << " in " << bands;
        }
    }
    EXPECT_NE(AllBytes(NoisyImage(37, 29, 11)), [&] {
        auto image = NoisyImage(37, 29, 11);
        ChromaBlurImage5(image.get(), FDoubleTriple(), 120, table, 3, nullptr);
        return AllBytes(image);
    }()) << "the fixture is blurred at all";
}

TEST(ChromaBlurTest, LargeKernelEqualsTheRowByRowCallsInAnyNumberOfBands)
{
    const FLUT16RGB& table = StageTable();
    for (const auto& size : {std::pair{37, 29}, std::pair{6, 3}, std::pair{1, 9}}) {
        const auto [W, H] = size;
        auto expected = NoisyImage(W, H, 5);
        std::vector<Pixel> blocks(ChromaBlurBlockCount(W, H));
        const ChromaBlurBlocks geometry{blocks.data(), (W + 3) / 4, (H + 3) / 4};
        ChromaBlurBlockSums(*expected.get(), 5.0, geometry);
        std::vector<Pixel> state(2 * W, Pixel{0, 0, 0});
        for (int32_t y = 0; y < H; ++y)
            ChromaBlurLargeRow(expected.Get()->GetRow(y), y, 5.0, 5.0, FDoubleTriple(), 120, geometry, state.data(), W,
                               table, 3);
        for (const uint32_t bands : {1u, 8u}) {
            auto image = NoisyImage(W, H, 5);
            EXPECT_TRUE(ChromaBlurLargeImage(image.get(), 5.0, 5.0, 5.0, FDoubleTriple(), 120, table, 3, nullptr, bands));
            EXPECT_EQ(AllBytes(image), AllBytes(expected)) << W << "x" << H << " in " << bands;
        }
    }
}

TEST(ChromaBlurTest, LargeBlockSumsRepeatTheLastColumnAndRowAndSmoothUpwards)
{
    // 5 x 5 of ones: the second block column and row repeat column 4 and row 4,
    // so every block sums 16; f = 141, l = 115 for x = 5 and a 4-pixel step.
    auto image = MakeUniformWorkingImage(5, 5, 1, 1, 1);
    std::vector<Pixel> blocks(ChromaBlurBlockCount(5, 5));
    ChromaBlurBlockSums(*image.get(), 5.0, ChromaBlurBlocks{blocks.data(), 2, 2});
    const int16_t bottom = (141 * 16) >> 8;
    const int16_t top = (141 * 16 + 115 * bottom) >> 8;
    EXPECT_EQ(blocks[2].r, bottom);
    EXPECT_EQ(blocks[3].g, bottom);
    EXPECT_EQ(blocks[0].b, top);
    EXPECT_EQ(blocks[1].r, top);
}

TEST(ChromaBlurTest, LoneColouredPixelMovesTowardsItsSurroundingsColour)
{
    const FLUT16RGB& table = StageTable();
    auto run = [&](int kernel, WorkingImage& image) {
        switch (kernel) {
        case 3: return ChromaBlurImage3(image.get(), FDoubleTriple(), 0, table, 3, nullptr);
        case 5: return ChromaBlurImage5(image.get(), FDoubleTriple(), 120, table, 3, nullptr);
        default: return ChromaBlurLargeImage(image.get(), 5.0, 5.0, 5.0, FDoubleTriple(), 120, table, 3, nullptr);
        }
    };
    for (const int kernel : {3, 5, 0}) {
        auto image = MakeWorkingImage(24, 24, [](int32_t x, int32_t y) {
            return x == 12 && y == 12 ? Pixel{2300, 2000, 1800} : Pixel{2000, 2000, 2000};
        });
        ASSERT_TRUE(run(kernel, image));
        const Pixel p = image.At(12, 12);
        EXPECT_LT(p.r - p.b, 500) << kernel;
        EXPECT_GT(p.r - p.b, 0) << kernel; // small differences are only damped
    }
}

TEST(ChromaBlurTest, CancelStopsEveryPassBeforeItChangesARow)
{
    const std::atomic<char> cancel{1};
    for (const uint32_t bands : {1u, 8u}) {
        auto image = NoisyImage(20, 20, 3);
        const auto before = AllBytes(image);
        EXPECT_FALSE(ChromaBlurImage3(image.get(), FDoubleTriple(), 0, StageTable(), 3, &cancel, bands));
        EXPECT_FALSE(ChromaBlurImage5(image.get(), FDoubleTriple(), 120, StageTable(), 3, &cancel, bands));
        EXPECT_FALSE(ChromaBlurLargeImage(image.get(), 5, 5, 5, FDoubleTriple(), 120, StageTable(), 3, &cancel, bands));
        EXPECT_EQ(AllBytes(image), before);
    }
}
