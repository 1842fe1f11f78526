#include "engine/stages/Stage2Calibration.h"

#include "support/EngineDriver.h"

#include <gtest/gtest.h>

namespace {

using testsupport::CamdataWriter;
using testsupport::ParsedCamdata;

TEST(Stage2CalibrationTest, TheFirstModelWordInTheTextDecidesTheClass)
{
    const struct {
        const char* model;
        int cameraClass;
    } cases[] = {
        {"TALVO KT5R", 7}, {"TALVO KT5", 5},  {"talvo kt6m", 8}, {"TALVO KT6", 6}, {"HV7 HV24", 4},
        {"TALVO HV20", 3}, {"TALVO HV4", 1},  {"HV25", 10},      {"TALVO KT9", 9}, {"QM44", 2},
        {"", 1},           {"Other 123", 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CameraClassFromModel(FString(c.model)), c.cameraClass) << c.model;
}

TEST(Stage2CalibrationTest, PrefixedEntriesComeFirstAndFallBackToThePlainOnes)
{
    CamdataWriter writer;
    writer.AddProperties("KT5_WhiteBalanceGains", {{"Daylight", "KT5_SunlightWBGain"}});
    writer.AddProperties("WhiteBalanceGains", {{"Daylight", "SunlightWBGain"}});
    writer.AddProperties("WhiteBalanceColorCorrections", {{"Daylight", "SunlightCCMatrix"}});
    writer.AddFloats("KT5_SunlightCCMatrix", {3, 3}, {0, 1, 0, 0, 1, 0, 0, 0, 1});
    writer.AddFloats("KT5_SunlightWBGain", {3}, {9, 9, 9});
    writer.AddFloats("SunlightCCMatrix", {3, 3}, {2, 0, 0, 0, 2, 0, 0, 0, 2});
    writer.AddFloats("SunlightWBGain", {3}, {0.5f, 1, 0.75f});
    writer.AddFloats("KT5_ShadeCCMatrix", {3, 3}, {3, 0, 0, 0, 3, 0, 0, 0, 3});
    writer.AddFloats("KT5_ShadeWBGain", {3}, {0.4f, 1, 0.9f});
    writer.AddInt32s("FlagInt", {1}, {1});
    writer.AddUInt32s("FlagUInt", {1}, {1});
    writer.AddFloats("FlagFloat", {1}, {1.7f});
    writer.AddInt16s("FlagShort", {1}, {1});
    const ParsedCamdata camdata(writer);

    EXPECT_EQ(Stage2ListValue(ReadPrefixedStage2List(camdata.get(), "WhiteBalanceGains"), "daylight"),
              "KT5_SunlightWBGain");
    EXPECT_EQ(Stage2ListValue(ReadPrefixedStage2List(camdata.get(), "WhiteBalanceColorCorrections"), "Daylight"),
              "SunlightCCMatrix");
    EXPECT_TRUE(ReadPrefixedStage2List(camdata.get(), "WhiteBalanceIlluminants").empty());

    ColorMatrix3x3 m;
    FDoubleTriple g;
    // The prefixed matrix starts with 0: the plain matrix and the plain gain.
    ReadPrefixedMatrixAndGain(camdata.get(), "SunlightCCMatrix", "SunlightWBGain", m, g);
    EXPECT_EQ(m(0, 0), 2.0);
    EXPECT_EQ(g.r, 0.5);
    ReadPrefixedMatrixAndGain(camdata.get(), "ShadeCCMatrix", "ShadeWBGain", m, g);
    EXPECT_EQ(m(0, 0), 3.0);
    EXPECT_FLOAT_EQ(float(g.r), 0.4f);

    int64_t flag = 0;
    EXPECT_TRUE(ReadStage2FlexibleInt(camdata.get(), "FlagInt", flag) && flag == 1);
    EXPECT_TRUE(ReadStage2FlexibleInt(camdata.get(), "FlagUInt", flag) && flag == 1);
    EXPECT_TRUE(ReadStage2FlexibleInt(camdata.get(), "FlagFloat", flag) && flag == 1);
    EXPECT_FALSE(ReadStage2FlexibleInt(camdata.get(), "FlagShort", flag));
    EXPECT_FALSE(ReadStage2FlexibleInt(camdata.get(), "Missing", flag));
}

} // namespace
