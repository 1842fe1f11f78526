// Whole developments of the synthetic camera's shots, stages 1 to 4 through
// engine requests with default settings into sRGB, judged against the shots'
// ground truth.
#include "support/SyntheticDevelopment.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>

namespace {

using namespace testsupport;

constexpr double kPi = 3.14159265358979323846;

// One development per shot (and per noise setting), made once for the suite.
class WholeDevelopmentTest : public ::testing::Test {
protected:
    struct Developed {
        std::unique_ptr<SyntheticRaw> shot;
        std::unique_ptr<SyntheticDevelopment> development;
    };

    // off: the camera's noise model scaled to nothing, so that neither noise
    // reduction finds noise to remove.
    static const Developed& Develop(SyntheticShot which, bool noiseReductionOff = false)
    {
        static std::map<std::pair<SyntheticShot, bool>, Developed> developed;
        Developed& d = developed[{which, noiseReductionOff}];
        if (!d.development) {
            SyntheticOptions options;
            options.shot = which;
            d.shot = std::make_unique<SyntheticRaw>(MakeSyntheticRaw(options));
            std::vector<uint8_t> camdata;
            if (noiseReductionOff) {
                std::vector<CalibrationEntry> entries = SyntheticCalibration(options);
                for (CalibrationEntry& e : entries)
                    if (e.name == "ColorNoiseModel" || e.name == "IntensityNoiseModel" || e.name == "ColorDQCamRGB")
                        for (double& v : e.values)
                            v *= 1e-4;
                camdata = BuildCalibration(entries);
            }
            d.development = std::make_unique<SyntheticDevelopment>(*d.shot, DevelopSettings{}, camdata);
            EXPECT_EQ(d.development->DevelopAll(), kIPStatusDone) << d.development->lastError;
        }
        return d;
    }

    static double HueDegrees(const ColorTriple& lab) { return std::atan2(lab[2], lab[1]) * 180.0 / kPi; }

    static double HueDifference(const ColorTriple& a, const ColorTriple& b)
    {
        double d = std::fabs(HueDegrees(a) - HueDegrees(b));
        return d > 180.0 ? 360.0 - d : d;
    }

    // Standard deviation of the green codes over a patch (inset by 4).
    static double GreenNoise(const SyntheticDevelopment& d, const FIntRect& r)
    {
        double sum = 0, squares = 0;
        int n = 0;
        for (int32_t y = r.top + 4; y < r.bottom - 4; ++y)
            for (int32_t x = r.left + 4; x < r.right - 4; ++x, ++n) {
                const double g = d.Rgb(x, y).g;
                sum += g;
                squares += g * g;
            }
        return std::sqrt(squares / n - (sum / n) * (sum / n));
    }

    static void ExpectNeutrals(SyntheticShot which, double limit)
    {
        const Developed& d = Develop(which);
        double lightness = -1.0;
        for (const ChartPatch& p : d.shot->truth.patches) {
            if (!p.neutral)
                continue;
            const ColorTriple lab = d.development->MeanLab(p.rect);
            EXPECT_LE(std::fabs(lab[1]), limit) << p.name;
            EXPECT_LE(std::fabs(lab[2]), limit) << p.name;
            EXPECT_GT(lab[0], lightness) << p.name;
            lightness = lab[0];
        }
    }
};

TEST_F(WholeDevelopmentTest, DaylightNeutralsStayNeutralAndRiseWithReflectance)
{
    ExpectNeutrals(SyntheticShot::DaylightIso100, 2.0);
}

TEST_F(WholeDevelopmentTest, DaylightColoursKeepTheirHue)
{
    const Developed& d = Develop(SyntheticShot::DaylightIso100);
    for (const ChartPatch& p : d.shot->truth.patches) {
        if (!p.neutral) {
            EXPECT_LE(HueDifference(d.development->MeanLab(p.rect), p.lab), 10.0) << p.name;
        }
    }
}

TEST_F(WholeDevelopmentTest, TungstenAndAutomaticWhiteBalanceKeepNeutrals)
{
    ExpectNeutrals(SyntheticShot::TungstenIso100, 3.0);
    ExpectNeutrals(SyntheticShot::DaylightIso800Auto, 3.0);
}

// A frame of fill colour, or rows and columns left unfiltered or black at the
// picture's edge, shows as a border line unlike the line next to it.
TEST_F(WholeDevelopmentTest, NoBorderDiffersFromItsNeighbours)
{
    for (SyntheticShot which : {SyntheticShot::DaylightIso100, SyntheticShot::DaylightIso800Auto}) {
        const SyntheticDevelopment& d = *Develop(which).development;
        const int32_t W = d.output.get()->m_iColumns, H = d.output.get()->m_iRows;
        const auto at = [&](int32_t x, int32_t y) { return d.Rgb(x, y); };
        // Mean absolute difference of line k and line k + 1 inwards from a side.
        const auto step = [&](int side, int32_t k) {
            const int32_t length = side < 2 ? W : H;
            double sum = 0;
            for (int32_t i = 0; i < length; ++i) {
                FPixelClass24RGB a, b;
                switch (side) {
                case 0: a = at(i, k), b = at(i, k + 1); break;
                case 1: a = at(i, H - 1 - k), b = at(i, H - 2 - k); break;
                case 2: a = at(k, i), b = at(k + 1, i); break;
                default: a = at(W - 1 - k, i), b = at(W - 2 - k, i); break;
                }
                sum += std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b);
            }
            return sum / (3.0 * length);
        };
        for (int side = 0; side < 4; ++side)
            EXPECT_LE(step(side, 0), 2.0 * step(side, 1) + 2.0) << "shot " << int(which) << " side " << side;
    }
}

TEST_F(WholeDevelopmentTest, HighIsoFlatPatchIsAtLeastTwiceAsSmoothAsWithoutNoiseReduction)
{
    const Developed& on = Develop(SyntheticShot::DaylightIso800Auto);
    const Developed& off = Develop(SyntheticShot::DaylightIso800Auto, true);
    const FIntRect grey = on.shot->truth.patches[2].rect; // 18 %
    EXPECT_LE(2.0 * GreenNoise(*on.development, grey), GreenNoise(*off.development, grey));
}

// Every image a development makes, pinned by a fingerprint of its bytes: the
// stages are tuned for speed and run on the band threads, and no such work may
// change a single value of any of them.
TEST_F(WholeDevelopmentTest, EveryStageImageIsPinned)
{
    const struct {
        SyntheticShot shot;
        uint64_t expected;
    } cases[] = {
        {SyntheticShot::DaylightIso100, 2146916134153292043ull},
        {SyntheticShot::DaylightIso800Auto, 306981517984674958ull},
        {SyntheticShot::TungstenIso100, 3470440480173491811ull},
    };
    for (const auto& c : cases) {
        const SyntheticDevelopment& d = *Develop(c.shot).development;
        uint64_t hash = 14695981039346656037ull;
        const auto add = [&](const auto& pixels) {
            const auto* bytes = reinterpret_cast<const uint8_t*>(pixels.data());
            for (size_t i = 0; i < pixels.size() * sizeof(pixels[0]); ++i)
                hash = (hash ^ bytes[i]) * 1099511628211ull;
        };
        add(d.working.pixels);
        add(d.preMatrix.pixels);
        add(d.retinex.pixels);
        add(d.colour3.pixels);
        add(d.lightness3.pixels);
        add(d.retinex3.pixels);
        add(d.RgbPixels());
        EXPECT_EQ(hash, c.expected) << "shot " << int(c.shot);
    }
}

} // namespace
