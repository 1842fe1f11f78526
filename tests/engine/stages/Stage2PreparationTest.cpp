#include "engine/stages/Stage2Preparation.h"

#include "engine/colour/ColorSpaces.h"
#include "foundation/FPropTree.h"
#include "support/EngineDriver.h"
#include "support/WorkingImage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>

namespace {

using namespace testsupport;

// The preparation of a 64 x 48 grey image with the given camera data and
// capture properties.
class Stage2PreparationTest : public ::testing::Test {
protected:
    Stage2Preparation Prepare(const CamdataWriter& writer, const std::map<std::string, std::string>& properties = {},
                              double iso = 100.0)
    {
        m_pCamdata = std::make_unique<ParsedCamdata>(writer);
        m_Props.Clear();
        for (const auto& [key, value] : properties)
            m_Props.AddPair(key.c_str(), value.c_str());
        // A model of no special handling (an unknown one is handled as class 1).
        if (properties.count("CAMMODEL") == 0)
            m_Props.AddPair("CAMMODEL", "TALVO KT9");
        FIPERequestStage2 request;
        request.m_pStage1Image = m_Image.Get();
        request.m_pCambData = m_pCamdata->get();
        request.m_pCaptureProps = &m_Props;
        request.m_dISO = iso;
        FIPEResumeState resume;
        return PrepareStage2(request, true, true, resume);
    }

    WorkingImage m_Image = MakeUniformWorkingImage(64, 48, 300, 600, 400);
    std::unique_ptr<ParsedCamdata> m_pCamdata;
    FPropTree m_Props{nullptr, "Properties"};
};

const std::vector<float> kCamToXYZ = {0.55f, 0.3f, 0.1f, 0.25f, 0.7f, 0.05f, 0.02f, 0.1f, 0.9f};

TEST_F(Stage2PreparationTest, GainRatiosFollowTheIsoEntries)
{
    const struct {
        float captureIso, sensorIso;
        uint32_t bulbFrames;
        double r, rc, rr;
        bool highIso;
    } cases[] = {
        {0, 0, 0, 1, 1, 1, false},
        {300, 100, 0, 3, 2, 1.5, false},
        {300, 100, 4, 3, 3, 1, false},
        {800, 100, 0, 8, 2, 4, true},
    };
    for (const auto& c : cases) {
        CamdataWriter writer;
        writer.AddFloats("CaptureISO", {1}, {c.captureIso});
        writer.AddFloats("SensorISO", {1}, {c.sensorIso});
        writer.AddUInt32s("BulbFrameCount", {1}, {c.bulbFrames});
        const Stage2Preparation p = Prepare(writer);
        EXPECT_DOUBLE_EQ(p.dGainRatio, c.r) << c.captureIso;
        EXPECT_DOUBLE_EQ(p.dClampedGainRatio, c.rc) << c.captureIso;
        EXPECT_DOUBLE_EQ(p.dResidualGain, c.rr) << c.captureIso;
        EXPECT_EQ(p.bHighISO, c.highIso) << c.captureIso;
    }
}

TEST_F(Stage2PreparationTest, BrightnessValueOfTheExposure)
{
    CamdataWriter writer;
    writer.AddFloats("SensorISO", {1}, {100});
    Stage2Preparation p = Prepare(writer, {{"APERTURE", "5.6"}, {"EXPTIME", "8000"}, {"EXPCOMP", "0"}});
    EXPECT_NEAR(p.dBv, 3.322 * std::log10(5.6 * 5.6 / 0.008) - 5.0, 1e-9);
    EXPECT_FALSE(p.bLowLight);
    p = Prepare(writer, {{"APERTURE", "5.6"}});
    EXPECT_FALSE(std::isfinite(p.dBv));
    EXPECT_FALSE(p.bLowLight);
}

// The plain matrix path: the neutral RGBNeutral becomes the multipliers and
// is folded into the matrix, so the matrix times the multiplied camera white
// is the camera matrix times the camera white.
TEST_F(Stage2PreparationTest, PlainMatrixPathFoldsTheNeutralIntoTheMatrix)
{
    CamdataWriter writer;
    writer.AddFloats("CamToXYZ", {3, 3}, kCamToXYZ);
    writer.AddFloats("RGBNeutral", {3}, {0.5f, 1.0f, 0.8f});
    const Stage2Preparation p = Prepare(writer);
    EXPECT_FALSE(p.bIlluminantTables);
    EXPECT_FALSE(p.bMonochrome);
    EXPECT_NEAR(p.multipliers.r, 2.0, 1e-6);
    EXPECT_NEAR(p.multipliers.g, 1.0, 1e-6);
    EXPECT_NEAR(p.multipliers.b, 1.25, 1e-6);
    EXPECT_EQ(p.gains.r, 1.0);
    for (int row = 0; row < 3; ++row) {
        EXPECT_NEAR(p.mColor(row, 0), kCamToXYZ[size_t(3 * row)] * 0.5, 1e-6);
        EXPECT_NEAR(p.mColor(row, 2), kCamToXYZ[size_t(3 * row + 2)] * 0.8, 1e-6);
    }
}

TEST_F(Stage2PreparationTest, WithoutAnyNeutralTheCameraWhiteOfTheMatrixIsUsed)
{
    CamdataWriter writer;
    writer.AddFloats("CamToXYZ", {3, 3}, kCamToXYZ);
    const Stage2Preparation p = Prepare(writer);
    ColorMatrix3x3 m;
    std::copy(kCamToXYZ.begin(), kCamToXYZ.end(), m.m);
    const FDoubleTriple neutral = ReferenceNeutral(m);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(p.multipliers[i], 1.0 / neutral[i], 1e-6); // kept as floats for resumption
}

TEST_F(Stage2PreparationTest, SingularMatrixDevelopsMonochrome)
{
    CamdataWriter writer;
    writer.AddFloats("CamToXYZ", {3, 3}, {0.3f, 0.3f, 0.3f, 0.3f, 0.3f, 0.3f, 0.3f, 0.3f, 0.3f});
    EXPECT_TRUE(Prepare(writer).bMonochrome);
    CamdataWriter none; // no matrix at all: the camera values are taken as sRGB, not as black
    none.AddFloats("SensorISO", {1}, {100});
    EXPECT_FALSE(Prepare(none).bMonochrome);
}

TEST_F(Stage2PreparationTest, DaylightWithoutCorrectionRetriesSunlight)
{
    CamdataWriter writer;
    writer.AddInt32s("CCMatrix_Flag", {1}, {1});
    writer.AddProperties("WhiteBalanceColorCorrections", {{"Sunlight", "SunCC"}});
    writer.AddProperties("WhiteBalanceGains", {{"Sunlight", "SunGain"}});
    writer.AddFloats("SunCC", {3, 3}, {1, 0, 0, 0, 1, 0, 0, 0, 1});
    writer.AddFloats("SunGain", {3}, {0.5f, 1, 0.7f});
    const Stage2Preparation p = Prepare(writer, {{"WB_DESC", "daylight"}});
    EXPECT_TRUE(p.bPerIlluminantWB);
    EXPECT_EQ(p.sWhiteBalance, "Sunlight");
    EXPECT_DOUBLE_EQ(p.dMatrixBoost, 1.3);
}

// Class 5 with BVTHRESH 0 searches from Fluorescent on below Bv 4, although
// the Sunlight tables equal the automatic ones.
TEST_F(Stage2PreparationTest, IlluminantSearchStartsAtFluorescentInDimLightForClassFive)
{
    CamdataWriter writer;
    writer.AddInt32s("CCMatrix_Flag", {1}, {1});
    writer.AddProperties("WhiteBalanceColorCorrections", {{"Auto", "AutoCCMatrix"}});
    writer.AddProperties("WhiteBalanceGains", {{"Auto", "AutoWBGain"}});
    writer.AddFloats("BVTHRESH", {1}, {0});
    const std::vector<float> cc = {1, 0.1f, 0, 0, 1, 0, 0, 0.1f, 1};
    const char* names[] = {"Auto", "Sunlight", "Shade", "Overcast", "Incandescent", "Fluorescent", "Flash"};
    for (int i = 0; i < 7; ++i) {
        std::vector<float> m = cc;
        m[1] += i == 0 || i == 1 ? 0.0f : 0.05f * float(i);
        writer.AddFloats(std::string(names[i]) + "CCMatrix", {3, 3}, m);
        writer.AddFloats(std::string(names[i]) + "WBGain", {3}, {0.5f, 1, 0.7f});
    }
    const std::map<std::string, std::string> bright = {
        {"CAMMODEL", "TALVO KT5"}, {"WB_DESC", "Auto"}, {"APERTURE", "8"}, {"EXPTIME", "2000"}};
    std::map<std::string, std::string> dim = bright;
    dim["EXPTIME"] = "500000";
    EXPECT_EQ(Prepare(writer, bright).iIlluminantIndex, 0);
    const Stage2Preparation p = Prepare(writer, dim);
    EXPECT_EQ(p.iIlluminantIndex, 4);
    EXPECT_NEAR(p.shadingCompensation.r, 1.00494, 1e-9); // Fluorescent's default
}

} // namespace
