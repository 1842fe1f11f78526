#include "engine/colour/ToneLUT.h"

#include "engine/core/FIPEngine2.h"
#include "engine/core/GlobalLUTs.h"
#include "support/EngineDriver.h"
#include "support/TestSupport.h"
#include "support/ThrownMessage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using testsupport::RunEngineRequest;
using testsupport::ThrownMessage;

namespace {

constexpr uint32_t kSize = 65536;

// Three consecutive tables, the layout of the tone request.
struct ToneTables {
    std::vector<int16_t> data = std::vector<int16_t>(3 * kSize, int16_t(0x5A5A));
    FLUT16RGB lut{data.data(), data.data() + kSize, data.data() + 2 * kSize, kSize};
};

struct ToneSettings {
    double exposure = 0, shadow = 0, contrast = 0, highlight = 0;
    double gainR = 1, gainG = 1, gainB = 1;
    bool lowISO = false, modelOffsets = false;
};

std::vector<int16_t> Generate(const ToneSettings& s)
{
    ToneTables tables;
    GenerateFinalToneCurve(s.exposure, s.shadow, s.contrast, s.highlight, s.gainR, s.gainG, s.gainB,
                           GetInverseCubeRootLUT(), &tables.lut, s.lowISO, s.modelOffsets);
    return tables.data;
}

uint16_t Code(const std::vector<int16_t>& table, int32_t index) { return uint16_t(table[size_t(index)]); }

std::vector<int16_t> Gamma(int32_t colorSpace, int32_t bits = 16)
{
    std::vector<int16_t> data(kSize, int16_t(0x5A5A));
    FLUT16 lut(data.data(), kSize);
    MakeGammaLUT(lut, colorSpace, bits);
    return data;
}

} // namespace

TEST(ToneLUTTest, CurveConstantsPerColourSpace)
{
    struct Case {
        int32_t id;
        double offset, slope, toeEnd, toeOffset, toeSlope;
    };
    for (const Case& c : {Case{2, 0.052133, 12.923, 0.005626, 0.016218, 9},
                          Case{3, 0, 1, 0.004195, 0.045311, 9},
                          Case{10, 0, 1, 0.004195, 0.045311, 9},
                          Case{11, 0, 1, 0.001899, 0.013675, 9},
                          Case{8, 0, 1, 0.001899, 0.013675, 9},
                          Case{0, 0, 1, 0, 0, 1}}) {
        SCOPED_TRACE(c.id);
        FTransferCurve curve;
        curve.InitForColorSpace(c.id);
        EXPECT_NEAR(curve.dOffset, c.offset, 5e-7);
        EXPECT_NEAR(curve.dSlope, c.slope, 5e-4);
        EXPECT_NEAR(curve.dToeEnd, c.toeEnd, 5e-7);
        EXPECT_NEAR(curve.dToeOffset, c.toeOffset, 5e-7);
        EXPECT_EQ(curve.dToeSlope, c.toeSlope);
        for (double v : {0.0, 0.001, 0.00304, 0.01, 0.18, 1.0})
            EXPECT_NEAR(curve.Decode(curve.Encode(v)), v, 1e-12) << v;
    }
    FTransferCurve curve;
    EXPECT_EQ(ThrownMessage([&] { curve.InitForColorSpace(12); }), "Unknown Color Space");
    EXPECT_EQ(ThrownMessage([&] { curve.InitForColorSpace(-1); }), "Unknown Color Space");
}

TEST(ToneLUTTest, DefaultSettingsGiveTheReferenceShapeAndToneValues)
{
    const ToneCurveShape shape = MakeToneCurveShape(0, 0, 0, 0, 1, 1, 1, false, false);
    EXPECT_DOUBLE_EQ(shape.dContrastExponent, 1.289375);
    EXPECT_DOUBLE_EQ(shape.dHighlight, 0.5);
    EXPECT_NEAR(shape.dMidScale, 1.6425, 5e-5);
    EXPECT_EQ(shape.dBlack, 0.0);
    EXPECT_NEAR(shape.dToeOffset, 0.027766, 5e-7);
    EXPECT_NEAR(shape.dToeEnd, 0.023545, 5e-7);
    EXPECT_NEAR(shape.dToeSlope, 3.83432, 5e-6);
    EXPECT_EQ(shape.adGain.r, 1.0);

    FTransferCurve sRGB;
    sRGB.InitForColorSpace(2);
    const auto tone = [&](double x) {
        return ToneMapValue(x, 1, shape.dBlack, shape.dContrastExponent, shape.dHighlight, shape.dToeEnd,
                            shape.dToeSlope, shape.dToeOffset, shape.dMidScale, 0.005, sRGB);
    };
    EXPECT_NEAR(tone(0.18), 0.16528, 5e-6);
    EXPECT_NEAR(tone(1.0), 0.82555, 5e-6);
    EXPECT_NEAR(tone(0.0), 0.00067, 5e-6);
    EXPECT_EQ(std::trunc(tone(0.18) * 4096 + 0.5), 677);
    EXPECT_EQ(std::trunc(tone(1.0) * 4096 + 0.5), 3381);
    // The toe line meets the knee curve at the toe end.
    const double f = shape.dToeEnd + 0.005;
    EXPECT_NEAR(ToneMapValue(f - 1e-9, 1, 0, shape.dContrastExponent, shape.dHighlight, shape.dToeEnd, shape.dToeSlope,
                             shape.dToeOffset, shape.dMidScale, 0.005, sRGB),
                tone(f), 1e-7);
}

TEST(ToneLUTTest, ToneTableLayoutInterpolationAndFlags)
{
    const std::vector<int16_t> table = Generate({});
    for (int c = 0; c < 3; ++c) {
        const int16_t* t = table.data() + c * kSize;
        for (uint32_t i = 1; i <= 8160; ++i)
            ASSERT_GE(t[i], t[i - 1]) << i;
        for (uint32_t i = 8161; i < 32768; ++i)
            ASSERT_EQ(t[i], t[8160]) << i;
        for (uint32_t i = 32768; i < kSize; ++i)
            ASSERT_EQ(t[i], 0) << i;
        // Entries between samples lie on the straight line between them.
        EXPECT_NEAR(t[4096 + 16], (t[4096] + t[4096 + 32]) / 2.0, 1.0);
        EXPECT_LE(t[8160], 16384);
    }
    // Gains only count relative to each other.
    EXPECT_EQ(Generate({.gainR = 2, .gainG = 2, .gainB = 2}), table);
    EXPECT_NE(Generate({.gainR = 2}), table);
    // Low ISO raises the highlight term by 0.8; the model's offsets replace that.
    EXPECT_EQ(Generate({.lowISO = true}), Generate({.highlight = 0.8}));
    const std::vector<int16_t> model = Generate({.modelOffsets = true});
    EXPECT_EQ(Generate({.lowISO = true, .modelOffsets = true}), model);
    EXPECT_EQ(Generate({.exposure = 0.6, .shadow = -0.2, .contrast = 0.4, .highlight = 0.2}), model);
    // A contrast that removes the toe: below the flare everything is 0.
    const ToneCurveShape steep = MakeToneCurveShape(0, 0, 3.5, 0, 1, 1, 1, false, false);
    EXPECT_EQ(steep.dToeEnd, 0.0);
    const std::vector<int16_t> hard = Generate({.contrast = 3.5});
    const FLUT16& inverse = GetInverseCubeRootLUT();
    for (int32_t n = 0; inverse[n] / 4096.0 < 0.005; ++n)
        ASSERT_EQ(hard[size_t(n)], 0) << n;
    EXPECT_GT(hard[2048], 0);

    ToneTables small;
    small.lut.m_iSize = 1000;
    EXPECT_NE(ThrownMessage([&] {
                  GenerateFinalToneCurve(0, 0, 0, 0, 1, 1, 1, GetInverseCubeRootLUT(), &small.lut, false, false);
              }).find("OutToneLUT->GetSize() >= 65536"),
              std::string::npos);
}

TEST(ToneLUTTest, GammaTableToeShoulderAndNegativeInputs)
{
    const std::vector<int16_t> romm = Gamma(11);
    EXPECT_EQ(Code(romm, 0), 896); // 0.013675 x 65535, the toe line at 0
    for (int32_t i = 1; i < 32768; ++i)
        ASSERT_GE(Code(romm, i), Code(romm, i - 1)) << i;
    EXPECT_EQ(Code(romm, 32767), 65535);
    EXPECT_NEAR(Code(romm, 737), 65535 * std::pow(737 / 4096.0, 1 / 1.8), 4.0); // 18 % grey, on a chord
    // Just below 0 the toe line continues down to 0.
    EXPECT_EQ(Code(romm, 65535), std::lround((0.013675 - 9 / 4096.0) * 65535));
    for (int32_t j = 65535; j > 32768; --j)
        ASSERT_LE(Code(romm, j - 1), Code(romm, j)) << j;
    EXPECT_EQ(Code(romm, 65536 - 7), 0); // -7/4096 x 9 is past the toe's 0
    EXPECT_EQ(Code(romm, 32768), 0);

    // The identity below the shoulder; nothing for negative inputs.
    const std::vector<int16_t> linear = Gamma(0);
    for (int32_t i : {0, 1, 8, 100, 819, 1600})
        EXPECT_EQ(Code(linear, i), std::lround(i / 4096.0 * 65535)) << i;
    EXPECT_LT(Code(linear, 4096), 65535); // the shoulder bends 1.0 below the top
    EXPECT_EQ(Code(linear, 65535), 0);

    EXPECT_EQ(Code(Gamma(2), 0), 1063);
    EXPECT_EQ(Code(Gamma(11, 8), 0), 3); // 0.013675 x 255
    EXPECT_EQ(Code(Gamma(11, 8), 32767), 255);
    EXPECT_EQ(ThrownMessage([] { Gamma(12); }), "Unknown Color Space");
    EXPECT_EQ(ThrownMessage([] { Gamma(11, 17); }), "MakeGammaLUT: output bits must be 1 to 16.");
}

TEST(ToneLUTTest, ToneRequestFillsTheTablesFromItsSettings)
{
    std::vector<int16_t> tables(3 * kSize, 0);
    FIPERequestGenerateToneLUT request;
    request.m_dExposure = 0.5;
    request.m_dContrast = 0.3;
    request.m_dContrastCompensation = 0.2;
    request.m_dHighlight = -0.4;
    request.m_adColorGain = FDoubleTriple(1.1, 1.0, 0.9);
    request.m_dISO = 50;
    request.m_pToneLUT = tables.data();
    ASSERT_EQ(RunEngineRequest(request), kIPStatusDone);
    EXPECT_EQ(tables, Generate({.exposure = 0.5, .contrast = 0.5, .highlight = -0.4, .gainR = 1.1, .gainB = 0.9,
                                .lowISO = true}));

    FIPERequestGenerateToneLUT noTable;
    ASSERT_EQ(RunEngineRequest(noTable), kIPStatusError);
    EXPECT_EQ(noTable.m_iErrorCode, kIPErrorException);
    EXPECT_NE(testsupport::Utf8FromWide(noTable.m_sErrorText).find("pReq->m_pToneLUT != NULL"), std::string::npos);
}
