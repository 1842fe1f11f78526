#include "engine/stages/Stage2NoiseSettings.h"

#include "support/EngineDriver.h"

#include <gtest/gtest.h>

namespace {

using namespace testsupport;

TEST(Stage2NoiseSettingsTest, StrengthMapPassesThroughOneAtTheMiddle)
{
    EXPECT_DOUBLE_EQ(NoiseStrengthFactor(0.0, 4.0, 0.02), 4.0);
    EXPECT_DOUBLE_EQ(NoiseStrengthFactor(0.5, 4.0, 0.02), 1.0);
    EXPECT_DOUBLE_EQ(NoiseStrengthFactor(0.75, 4.0, 0.02), 0.51);
    EXPECT_DOUBLE_EQ(NoiseStrengthFactor(1.0, 4.0, 0.02), 0.02);
    EXPECT_DOUBLE_EQ(NoiseStrengthFactor(1.2, 0.5, 2.0), 2.0);
    EXPECT_DOUBLE_EQ(NoiseStrengthFactor(-0.1, 0.5, 2.0), 0.5);
}

TEST(Stage2NoiseSettingsTest, DefaultsFollowTheWhiteBalanceAndTheIso)
{
    CamdataWriter writer;
    writer.AddFloats("SensorISO", {1}, {100}); // nothing the settings read
    const ParsedCamdata none(writer);
    const struct {
        bool tungsten;
        float iso;
        int32_t factor, iterations;
        float scaleNM;
    } cases[] = {
        {true, 400, 4, 1, 0.75f}, {false, 400, 2, 0, 0.25f}, {false, 401, 4, 1, 1.0f},
        {false, 800, 4, 1, 0.75f}, {true, 800, 4, 1, 1.0f},  {false, 100, 2, 0, 1.0f},
    };
    for (const auto& c : cases) {
        NewDenoiseSettings s;
        GetNewDenoiseSettings(s, none.get(), c.tungsten, c.iso);
        EXPECT_EQ(s.iDownSampleFactor, c.factor) << c.iso;
        EXPECT_EQ(s.iResidualAnisoDiffIters, c.iterations) << c.iso;
        EXPECT_FLOAT_EQ(s.fResidualAnisoDiffScaleNM, c.scaleNM) << c.iso;
        EXPECT_EQ(s.iWindowSize, 11);
    }
}

TEST(Stage2NoiseSettingsTest, CompletionScalesTheModelAndAppliesTheStrengths)
{
    CamdataWriter writer;
    writer.AddFloats("ColorNoiseModel", {9}, {4, 4, 4, 0.01f, 0.01f, 0.01f, 7, 8, 9});
    writer.AddFloats("IntensityNoiseModel", {3}, {10, 0.1f, 0});
    const ParsedCamdata camdata(writer);
    NoiseModelInputs in;
    in.dClampedGainRatio = 2.0;
    in.multipliers = FDoubleTriple(2.0, 1.0, 1.5);
    in.dChromaNoise = 1.0;
    in.dLumaNoise = 0.5;
    NewDenoiseSettings s;
    CompleteNoiseModelSettings(s, camdata.get(), in);
    EXPECT_FLOAT_EQ(s.afColorNoiseModel[0], 4 * 4 * 4.0f);
    EXPECT_FLOAT_EQ(s.afColorNoiseModel[1], 4 * 4.0f);
    EXPECT_FLOAT_EQ(s.afColorNoiseModel[3], 0.01f * 2 * 2);
    EXPECT_FLOAT_EQ(s.afColorNoiseModel[8], 9.0f);
    EXPECT_FLOAT_EQ(s.fNoiseScaling, 0.5f * 0.02f);
    EXPECT_EQ(s.iDownSampleFactor, 4);
    EXPECT_FLOAT_EQ(s.afIntensityNoiseModel[0], 10.0f);

    in.bTungstenWB = true; // the multipliers stay out of the model
    NewDenoiseSettings t;
    CompleteNoiseModelSettings(t, camdata.get(), in);
    EXPECT_FLOAT_EQ(t.afColorNoiseModel[0], 4 * 4.0f);
}

TEST(Stage2NoiseSettingsTest, FirParametersByClassAndIso)
{
    CamdataWriter writer;
    writer.AddFloats("FIR_ProportionLocalMeanRef", {1}, {0.5f});
    const ParsedCamdata camdata(writer);
    FIRParameters p = GetFIRParameters(camdata.get(), 3, 800);
    EXPECT_FLOAT_EQ(p.fProportionLocalMeanRef, 0.00093f);
    EXPECT_FLOAT_EQ(p.fProportionLocalMeanEdgeRef, 0.000846f);
    EXPECT_FLOAT_EQ(p.fProportionLocalMeanImgWithEdgeRef, 0.012682f);
    EXPECT_FLOAT_EQ(p.fLocality, 1.5f);
    p = GetFIRParameters(camdata.get(), 9, 3200);
    EXPECT_FLOAT_EQ(p.fProportionLocalMeanRef, 0.5f);
    EXPECT_FLOAT_EQ(p.fProportionLocalMeanImgWithEdgeRef, 0.015f);
    EXPECT_FLOAT_EQ(p.fLocality, 3.0f);
    EXPECT_FLOAT_EQ(p.fScaleFactorEdgeRef, 5.0f);
    EXPECT_FLOAT_EQ(p.fSigmoidOffset, 0.55f);
    EXPECT_EQ(p.iIterations, 1);
}

} // namespace
