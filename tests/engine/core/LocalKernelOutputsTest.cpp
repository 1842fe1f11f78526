// The exact outputs of the FIR noise reduction and the chroma blurs on fixed
// noisy scenes, as fingerprints of every output byte. The kernels are tuned
// for speed; any change of a single value in any band count fails here.
#include "engine/chroma/ChromaBlur.h"
#include "engine/core/GlobalLUTs.h"
#include "engine/noise/FIRNoiseReduction.h"
#include "support/WorkingImage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <vector>

using testsupport::MakeWorkingImage;
using testsupport::WorkingImage;

namespace {

using Pixel = FPixelClass48SRGB;

// Width and height not multiples of 4 or of the band count.
constexpr int32_t kW = 203;
constexpr int32_t kH = 157;

uint64_t Fingerprint(const std::vector<uint8_t>& bytes)
{
    uint64_t hash = 14695981039346656037ull;
    for (const uint8_t b : bytes)
        hash = (hash ^ b) * 1099511628211ull;
    return hash;
}

// Four flat patches with an edge between them, noise of the given spread and
// a few values outside the working range.
WorkingImage NoisyScene(uint32_t seed, int32_t spread)
{
    uint32_t state = seed;
    return MakeWorkingImage(kW, kH, [&](int32_t x, int32_t y) {
        const int32_t base = 1200 + ((x / 50 + y / 40) % 4) * 1700;
        auto noisy = [&] {
            state = state * 1664525u + 1013904223u;
            const int32_t v = base + static_cast<int32_t>(state >> 20) % (2 * spread + 1) - spread;
            return static_cast<int16_t>((state >> 8) % 997 == 0 ? -v : ((state >> 8) % 991 == 0 ? 30000 : v));
        };
        const int16_t r = noisy(), g = noisy(), b = noisy();
        return Pixel{r, g, b};
    });
}

std::string Hex(uint64_t v)
{
    char text[24];
    std::snprintf(text, sizeof(text), "%016llx", static_cast<unsigned long long>(v));
    return text;
}

} // namespace

TEST(LocalKernelOutputsTest, FIRNoiseReductionOutputsAreUnchangedInAnyBandCount)
{
    const struct {
        float proportionRef, proportionEdgeRef, proportionImage, gain, b;
        const char* image;
        const char* reference;
    } cases[] = {
        {0.0011f, 0.0019f, 0.019f, 1.0f, 1.0f, "f9fa24a218dc1f0c", "5cbafc5af48dbeb3"},
        {0.02f, 0.0f, 0.005f, 9.0f, 2.5f, "17414f00d275e266", "98b368d9367f7bcf"},
    };
    for (const auto& c : cases) {
        for (const uint32_t bands : {1u, 3u, 8u}) {
            auto A = NoisyScene(11, 300), B = NoisyScene(12, 80);
            std::vector<float> area(FIRWorkAreaBytes(kW, kH) / sizeof(float));
            FIRNoiseReduction(A.get(), B.get(), c.proportionRef, c.proportionEdgeRef, c.proportionImage, 1.0f, 0.55f,
                              5.0f, 7.0f, 0.7f, 1, c.gain, c.b, area.data(), area.size() * sizeof(float), bands);
            EXPECT_EQ(Hex(Fingerprint(A.bytes)), c.image) << c.b << " bands " << bands;
            EXPECT_EQ(Hex(Fingerprint(B.bytes)), c.reference) << c.b << " bands " << bands;
        }
    }
}

TEST(LocalKernelOutputsTest, ChromaBlurOutputsAreUnchangedInAnyBandCount)
{
    const FLUT16RGB& table = GetChromaWeightLUT(FDoubleTriple(1200.0, 1200.0, 1200.0), FDoubleTriple(0.8, 0.8, 0.8));
    const struct {
        const char* name;
        bool (*pass)(FPixmap*, const FLUT16RGB&, uint32_t);
        const char* expected;
    } cases[] = {
        {"3x3", [](FPixmap* image, const FLUT16RGB& t, uint32_t bands) {
             return ChromaBlurImage3(image, FDoubleTriple(), 0, t, 3, nullptr, bands);
         }, "a7159326a9defa35"},
        {"5x5", [](FPixmap* image, const FLUT16RGB& t, uint32_t bands) {
             return ChromaBlurImage5(image, FDoubleTriple(), 120, t, 3, nullptr, bands);
         }, "fcf02bc84635ff31"},
        {"large", [](FPixmap* image, const FLUT16RGB& t, uint32_t bands) {
             return ChromaBlurLargeImage(image, 5.0, 5.0, 7.0, FDoubleTriple(), 120, t, 3, nullptr, bands);
         }, "9a6d15154f5a9609"},
    };
    for (const auto& c : cases)
        for (const uint32_t bands : {1u, 3u, 8u}) {
            auto image = NoisyScene(21, 600);
            ASSERT_TRUE(c.pass(image.get(), table, bands));
            EXPECT_EQ(Hex(Fingerprint(image.bytes)), c.expected) << c.name << " bands " << bands;
        }
}
