// The stage-2 machine on the synthetic camera's shots: the steps each ISO
// path runs, the temp-buffer check, cancelling and resuming at every step
// boundary, and development of every defective form of the camera data.
#include "engine/stages/Stage2.h"

#include "support/SyntheticDevelopment.h"
#include "support/TempFileTest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <vector>

namespace {

using namespace testsupport;

// A shot after stage 1, kept for the suite; every run develops a copy.
struct Stage1Shot {
    std::unique_ptr<SyntheticRaw> shot;
    std::unique_ptr<SyntheticDevelopment> development;
    std::vector<FPixelClass48SRGB> stage1;
};

const Stage1Shot& ShotAfterStage1(SyntheticShot which)
{
    static std::map<SyntheticShot, Stage1Shot> shots;
    Stage1Shot& s = shots[which];
    if (!s.development) {
        SyntheticOptions options;
        options.shot = which;
        options.previews = false;
        s.shot = std::make_unique<SyntheticRaw>(MakeSyntheticRaw(options));
        s.development = std::make_unique<SyntheticDevelopment>(*s.shot);
        EXPECT_EQ(s.development->Stage1(), kIPStatusDone);
        s.stage1 = s.development->working.pixels;
    }
    return s;
}

bool SamePixels(const std::vector<FPixelClass48SRGB>& a, const std::vector<FPixelClass48SRGB>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(a[0])) == 0;
}

// What a stage-2 run leaves: the images and the automatic values.
struct Stage2Result {
    std::vector<FPixelClass48SRGB> working;
    std::vector<FPixelClass16SMono> retinex;
    double values[9] = {};

    bool operator==(const Stage2Result& o) const
    {
        return working.size() == o.working.size() &&
               std::memcmp(working.data(), o.working.data(), working.size() * sizeof(working[0])) == 0 &&
               retinex.size() == o.retinex.size() &&
               std::memcmp(retinex.data(), o.retinex.data(), retinex.size() * sizeof(retinex[0])) == 0 &&
               std::equal(std::begin(values), std::end(values), std::begin(o.values));
    }
};

// Restores the stage-1 image and makes a request over it.
void Prepare(const Stage1Shot& s, FIPERequestStage2& request)
{
    s.development->working.pixels = s.stage1;
    std::fill(s.development->retinex.pixels.begin(), s.development->retinex.pixels.end(), FPixelClass16SMono{0});
    s.development->FillStage2(request);
}

class Stage2Test : public ::testing::Test {
protected:
    static Stage2Result ResultOf(const Stage1Shot& s, const FIPERequestStage2& r)
    {
        Stage2Result result;
        result.working = s.development->working.pixels;
        result.retinex = s.development->retinex.pixels;
        const double values[9] = {r.m_dAutoExposure, r.m_dAutoShadow,     r.m_dAutoContrast,
                                  r.m_dAutoHighlight, r.m_dAutoSaturation, r.m_dFillLight,
                                  r.m_adAutoColorGain.r, r.m_adAutoColorGain.g, r.m_adAutoColorGain.b};
        std::copy(std::begin(values), std::end(values), result.values);
        return result;
    }

    // The step indexes whose heads a run passes, in order.
    static std::vector<int> ExecutedSteps(const Stage1Shot& s)
    {
        FIPERequestStage2 request;
        Prepare(s, request);
        std::vector<int> steps;
        DevelopStage2(request, [&](int step, FIPERequestStage2&) { steps.push_back(step); });
        EXPECT_EQ(request.GetStatus(), kIPStatusDone);
        return steps;
    }
};

TEST_F(Stage2Test, EachIsoPathRunsItsSteps)
{
    EXPECT_EQ(ExecutedSteps(ShotAfterStage1(SyntheticShot::DaylightIso100)),
              (std::vector<int>{0, 1, 2, 3, 4, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17}));
    EXPECT_EQ(ExecutedSteps(ShotAfterStage1(SyntheticShot::DaylightIso800Auto)),
              (std::vector<int>{0, 1, 2, 3, 4, 6, 15, 16, 17}));
}

class Stage2DumpTest : public TempFileTest {};

TEST_F(Stage2DumpTest, DumpsAreNamedAfterThePathAndTheStep)
{
    const struct {
        SyntheticShot shot;
        std::vector<std::string> names;
    } cases[] = {
        {SyntheticShot::DaylightIso100,
         {"Linearized", "CorrectionProcess", "ReplaceBadPixels", "SharpenRed", "NeutralizeHighlight", "Despeckle1",
          "ChromaBlurSmall", "ChromaBlur1", "ColorTransform"}},
        {SyntheticShot::DaylightIso800Auto,
         {"Linearized", "CorrectionProcess", "ReplaceBadPixels", "SharpenRed", "NeutralizeHighlight", "Despeckle1",
          "NewDenoise"}},
    };
    for (const auto& c : cases) {
        const std::filesystem::path folder = m_Dir.Path() / ShotName(c.shot);
        std::filesystem::create_directories(folder);
        const Stage1Shot& s = ShotAfterStage1(c.shot);
        FIPERequestStage2 request;
        Prepare(s, request);
        request.m_bDump = true;
        request.m_sDumpPath = UrlOfPath(folder / "shot.kvr");
        DevelopStage2(request);
        ASSERT_EQ(request.GetStatus(), kIPStatusDone);
        std::vector<std::string> written;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            written.push_back(entry.path().filename().string());
        std::vector<std::string> expected;
        for (const std::string& name : c.names)
            expected.push_back("shot-" + name + ".tif");
        std::sort(written.begin(), written.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(written, expected) << ShotName(c.shot);
    }
    EXPECT_EQ(Utf8FromWide(Stage2DumpName("ColorTransform", FString("/a/b.kvr"))), "/a/b-ColorTransform.tif");
    EXPECT_EQ(Stage2DumpName("DoNotDump", FString("/a/b.kvr")).GetLength(), 0);
}

TEST_F(Stage2Test, TempBufferOneRowShortFailsBeforeAnyPixelIsTouched)
{
    const Stage1Shot& s = ShotAfterStage1(SyntheticShot::DaylightIso100);
    const int32_t W = s.development->working.get()->m_iColumns, H = s.development->working.get()->m_iRows;
    OwnedPixmap<FPixelClass48SRGB> shortTemp(W, int32_t(Stage2TempRows(W, H)) - 1);
    FIPERequestStage2 request;
    Prepare(s, request);
    request.m_pTempData = shortTemp.get();
    request.m_ResumeState.m_aWords[0] = FIPEResumeState::kTagStage2;
    request.m_ResumeState.m_aWords[1] = 9;
    request.m_ResumeState.m_aWords[6] = 1234;
    const FIPEResumeState before = request.m_ResumeState;
    ASSERT_EQ(RunEngineRequest(request), kIPStatusError);
    EXPECT_EQ(request.m_iErrorCode, kIPErrorBadParameter);
    EXPECT_EQ(Utf8FromWide(request.m_sErrorText), "FIPEngine2::priProcessStage2 temporary buffer is the wrong size");
    EXPECT_EQ(std::memcmp(&before, &request.m_ResumeState, sizeof before), 0);
    EXPECT_TRUE(SamePixels(s.development->working.pixels, s.stage1));
}

TEST_F(Stage2Test, CancelBeforeStartKeepsTheStep)
{
    const Stage1Shot& s = ShotAfterStage1(SyntheticShot::DaylightIso100);
    FIPERequestStage2 request;
    Prepare(s, request);
    request.Cancel();
    ASSERT_EQ(RunEngineRequest(request), kIPStatusCancelled);
    EXPECT_EQ(request.m_ResumeState.m_aWords[0], FIPEResumeState::kTagStage2);
    EXPECT_EQ(request.m_ResumeState.m_aWords[1], 0u);
    EXPECT_TRUE(SamePixels(s.development->working.pixels, s.stage1));
}

// A run cancelled at a step's head and resumed with a new request over the
// same images (as a manager does with the cache entry) ends exactly as a run
// that was never stopped.
TEST_F(Stage2Test, CancelAtEveryStepBoundaryAndResumeGivesTheSamePicture)
{
    for (SyntheticShot which : {SyntheticShot::DaylightIso100, SyntheticShot::DaylightIso800Auto}) {
        const Stage1Shot& s = ShotAfterStage1(which);
        FIPERequestStage2 whole;
        Prepare(s, whole);
        DevelopStage2(whole);
        ASSERT_EQ(whole.GetStatus(), kIPStatusDone);
        const Stage2Result reference = ResultOf(s, whole);

        for (int boundary : ExecutedSteps(s)) {
            FIPERequestStage2 first;
            Prepare(s, first);
            DevelopStage2(first, [&](int step, FIPERequestStage2& r) {
                if (step == boundary)
                    r.Cancel();
            });
            ASSERT_EQ(first.GetStatus(), kIPStatusCancelled) << boundary;
            EXPECT_EQ(first.m_ResumeState.m_aWords[1], uint32_t(boundary));

            FIPERequestStage2 second;
            s.development->FillStage2(second);
            second.m_ResumeState = first.m_ResumeState;
            ASSERT_EQ(RunEngineRequest(second), kIPStatusDone) << boundary;
            EXPECT_TRUE(ResultOf(s, second) == reference) << ShotName(which) << " cancelled at step " << boundary;
        }
    }
}

// What a development gives with one camera-data entry defective: a picture
// that is not black, red or one fill colour, or an error of the engine.
TEST(Stage2DefectTest, EveryDefectiveEntryDevelopsOrFailsCleanly)
{
    const std::vector<std::string> highIsoEntries = {"ColorNoiseModel", "IntensityNoiseModel", "DownSampleFactor",
                                                      "ColorDQCamRGB", "AutoRGBNeutral"};
    for (const std::string& entry : RequiredCalibrationEntries()) {
        const bool highIso = std::find(highIsoEntries.begin(), highIsoEntries.end(), entry) != highIsoEntries.end();
        for (CalibrationDefect defect : {CalibrationDefect::Missing, CalibrationDefect::Zero,
                                         CalibrationDefect::Malformed}) {
            SyntheticOptions options;
            options.shot = highIso ? SyntheticShot::DaylightIso800Auto : SyntheticShot::DaylightIso100;
            options.defectEntry = entry;
            options.defect = defect;
            options.previews = false;
            options.plainCamfile = true;
            const SyntheticRaw shot = MakeSyntheticRaw(options);
            SyntheticDevelopment d(shot);
            const std::string what = entry + " defect " + std::to_string(int(defect));
            const int32_t status = d.DevelopAll();
            if (status != kIPStatusDone) {
                EXPECT_EQ(status, kIPStatusError) << what;
                EXPECT_NE(d.lastError.rfind("14 ", 0), std::string::npos) << what << ": " << d.lastError;
                continue;
            }
            const std::vector<FPixelClass24RGB> out = d.RgbPixels();
            double sum = 0;
            size_t red = 0, same = 0;
            for (const FPixelClass24RGB& p : out) {
                sum += p.r + p.g + p.b;
                red += p.r > p.g + 64 && p.r > p.b + 64;
                same += p.r == out[0].r && p.g == out[0].g && p.b == out[0].b;
            }
            EXPECT_GT(sum / (3.0 * double(out.size())), 8.0) << what << ": black";
            EXPECT_LT(red, out.size() / 2) << what << ": red";
            EXPECT_LT(same, out.size() * 9 / 10) << what << ": one fill colour";
        }
    }
}

TEST(Stage2HelpersTest, BadPixelThresholdFollowsTheExposureTime)
{
    EXPECT_EQ(BadPixelThreshold(1.0, 128, 30, 2.0, 10.0), 128);
    EXPECT_EQ(BadPixelThreshold(6.0, 128, 30, 2.0, 10.0), 79);
    EXPECT_EQ(BadPixelThreshold(12.0, 128, 30, 2.0, 10.0), 30);
    EXPECT_EQ(BadPixelThreshold(12.0, 128, 30, 5.0, 5.0), 128);
}

TEST(Stage2HelpersTest, TempBufferHoldsItsRowsAndRefusesAWiderPicture)
{
    OwnedPixmap<FPixelClass48SRGB> temp(480, int32_t(Stage2TempRows(480, 360)));
    EXPECT_EQ(temp.get()->m_iRows, 25);
    EXPECT_TRUE(Stage2TempBufferFits(temp.get(), 480, 360));
    EXPECT_FALSE(Stage2TempBufferFits(temp.get(), 481, 360));
}

TEST(Stage2HelpersTest, ProgressRisesFromNoneBeforeTheFirstStepToAllAfterTheLast)
{
    EXPECT_DOUBLE_EQ(Stage2Progress(-1), 0.0);
    EXPECT_DOUBLE_EQ(Stage2Progress(17), 1.0);
    for (int s = 0; s < kStage2StepCount; ++s)
        EXPECT_LE(Stage2Progress(s - 1), Stage2Progress(s));
}

TEST(Stage2HelpersTest, DefaultDarkShieldColumnsAreOneRangeNearEachEdge)
{
    int32_t columns[4];
    DefaultDarkShieldColumns(2304, columns);
    EXPECT_EQ(std::vector<int32_t>(columns, columns + 4), (std::vector<int32_t>{6, 14, 2292, 2300}));
}

} // namespace
