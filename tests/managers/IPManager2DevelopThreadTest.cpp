// Developing the synthetic camera's raw files through the managers: pool,
// workers, real loaders and the engine's stages (stage 2 is the tests' own
// where a test must stop it at a row, see DevelopTestEngine.h).

#include "managers/FIPManagerPool.h"

#include "foundation/FCache.h"
#include "foundation/FSync.h"
#include "managers/FIPMImage.h"
#include "managers/IPMCacheEntry.h"
#include "managers/IPManager2.h"
#include "managers/IPManagerLabels.h"
#include "DevelopTestEngine.h"
#include "support/BuildTree.h"
#include "support/SyntheticDevelopment.h"
#include "ManagerTestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <thread>

using namespace testsupport;

namespace {

constexpr uint32_t kCacheLimit = 0x20800000;

class DevelopTest : public PdxbFileTest {
protected:
    static void SetUpTestSuite()
    {
        PdxbFileTest::SetUpTestSuite();
        SetColorProfileProgramPath(BuildTreeProgramPath());
    }
    void SetUp() override
    {
        // Every test starts from an empty cache.
        GetGlobalCache()->SetSizeLimit(0);
        GetGlobalCache()->SetSizeLimit(kCacheLimit);
    }
    void TearDown() override
    {
        m_pPool.reset();
        GetGlobalCache()->SetSizeLimit(kCacheLimit);
    }

    FString WriteShot(const SyntheticOptions& options, const std::string& name = "shot.kvr")
    {
        m_Shot = MakeSyntheticRaw(options);
        return Write(m_Shot.file, name);
    }

    FString WriteDaylightShot()
    {
        SyntheticOptions options;
        options.previews = false;
        return WriteShot(options);
    }

    FIPManagerPool& Pool()
    {
        if (!m_pPool)
            m_pPool = std::make_unique<FIPManagerPool>(
                [this] { return new IPManager2(new CountingEngine(m_Counts, m_pHold, m_Stage2Observer)); });
        return *m_pPool;
    }

    // A whole-picture develop at the file's own size to 48-bit RGB.
    std::unique_ptr<IPManagerData> DevelopRequest(const FString& url)
    {
        auto request = std::make_unique<IPManagerData>();
        request->SetURL(url);
        request->m_eKind = kIPRequestDevelop;
        const int32_t w = int32_t(m_Shot.truth.outputColumns), h = int32_t(m_Shot.truth.outputRows);
        request->m_OutputSize.Set(w, h);
        request->m_Crop.Set(0, 0, w, h);
        request->m_eOutputFormat = kRGB48;
        request->m_ColorAdjust = FDoubleTriple(1.0, 1.0, 1.0);
        return request;
    }

    std::unique_ptr<FPropTree> PropertiesOf(const FString& url)
    {
        IPManagerData request;
        request.SetURL(url);
        request.m_eKind = kIPRequestProperties;
        EXPECT_EQ(RunRequest(Pool(), request), kIPStatusDone) << ResultText(request);
        auto tree = std::make_unique<FPropTree>(nullptr, "copy");
        tree->CopyPairs(request.m_pImageProps);
        return tree;
    }

    // The development the request should give, made without the managers
    // (with the tests' stage 2 when the managers' engines use it).
    std::vector<uint8_t> Expected(const FString& url, const IPManagerData& settings)
    {
        EngineCounts counts;
        Stage2Hold noHold;
        CountingEngine engine(counts, m_pHold ? &noHold : nullptr);
        return DevelopDirectly(engine, m_Shot, *PropertiesOf(url), settings);
    }

    static std::vector<uint8_t> ResultOf(const IPManagerData& request)
    {
        if (!request.m_pResultImage)
            return {};
        return PixelBytes(*request.m_pResultImage->GetPixmap(), BytesPerPixel(request.m_eOutputFormat));
    }

    // Every entry of the cache can be found and no one holds it.
    static void ExpectNothingHeld()
    {
        const FArray<FString> labels = GetGlobalCache()->GetLabels();
        for (int i = 0; i < labels.GetCount(); ++i) {
            if (labels[i].GetLength() == 0)
                continue;
            FICacheObject* entry = FindCacheEntry(labels[i]);
            ASSERT_NE(entry, nullptr) << Utf8FromWide(labels[i]);
            EXPECT_EQ(entry->GetLockCount(), 1) << Utf8FromWide(labels[i]);
            entry->Unlock();
        }
    }

    SyntheticRaw m_Shot;
    EngineCounts m_Counts;
    Stage2Hold* m_pHold = nullptr;
    Stage2StepObserver m_Stage2Observer; // set before the pool is made
    std::unique_ptr<FIPManagerPool> m_pPool;
};

} // namespace

TEST(DevelopSettingsTest, TheOutputIsFittedToThePictureAsDisplayed)
{
    struct Case {
        FIntSize requested;
        int32_t columns, rows, rotation;
        FIntSize fitted;
    };
    const Case cases[] = {
        {{1000, 1000}, 1500, 1000, 0, {1000, 666}},
        {{1000, 667}, 1500, 1000, 0, {1000, 667}}, // one pixel is not worth it
        {{1000, 666}, 1500, 1000, 180, {1000, 666}},
        {{2000, 1000}, 1500, 1000, 0, {1500, 1000}},
        {{1000, 1000}, 1500, 1000, 90, {666, 1000}},
        {{666, 1000}, 1500, 1000, 270, {666, 1000}},
    };
    for (const Case& c : cases) {
        FIntSize fitted;
        ASSERT_TRUE(FitOutputSize(c.requested, c.columns, c.rows, c.rotation, fitted));
        EXPECT_EQ(fitted.width, c.fitted.width) << c.requested.width << "x" << c.requested.height;
        EXPECT_EQ(fitted.height, c.fitted.height) << c.requested.width << "x" << c.requested.height;
    }
    FIntSize fitted;
    EXPECT_FALSE(FitOutputSize({1000, 1000}, 0, 1000, 0, fitted));

    FIntRect clamped;
    EXPECT_TRUE(ClampCropToOutput({10, 20, 5000, 5000}, {1000, 666}, clamped));
    EXPECT_EQ(clamped.right, 1000);
    EXPECT_EQ(clamped.bottom, 666);
    EXPECT_FALSE(ClampCropToOutput({1000, 0, 1200, 666}, {1000, 666}, clamped));
    EXPECT_FALSE(ClampCropToOutput({0, 0, 0, 666}, {1000, 666}, clamped));
}

TEST(DevelopSettingsTest, ModelToneOffsetsFollowModelFirmwareAndColourMode)
{
    struct Case {
        const char* model;
        const char* firmware;
        const char* colorMode;
        bool offsets;
    };
    const Case cases[] = {
        {"Talvo KT6M", "1.1.0.0", "Standard", false}, {"Talvo kt6m", "1.2.0.0", "Standard", true},
        {"Talvo KT6M", "2.0.0.0", "Neutral", false},  {"HV25", "", "Standard", true},
        {"Talvo KT5R", "", "neutral film", false},    {"Talvo KT9", "9.9.9.9", "Standard", false},
    };
    for (const Case& c : cases) {
        FPropTree props(nullptr, "props");
        props.AddPair("CAMMODEL", c.model);
        props.AddPair("FIRMVERS", c.firmware);
        props.AddPair("CM_DESC", c.colorMode);
        EXPECT_EQ(UsesModelToneOffsets(props), c.offsets) << c.model << " " << c.firmware << " " << c.colorMode;
    }
}

// The result image keeps its cache entry locked for its whole life: emptying
// the cache leaves its pixels where they are.
TEST_F(DevelopTest, AResultImageKeepsItsPixelsWhenTheCacheIsEmptied)
{
    const FString url = WriteDaylightShot();
    auto request = DevelopRequest(url);
    ASSERT_EQ(RunRequest(Pool(), *request), kIPStatusDone) << ResultText(*request);
    const std::vector<uint8_t> developed = ResultOf(*request);
    GetGlobalCache()->SetSizeLimit(0);
    GetGlobalCache()->SetSizeLimit(kCacheLimit);
    EXPECT_EQ(ResultOf(*request), developed);
}

TEST_F(DevelopTest, ADevelopThroughThePoolEqualsTheStagesRunDirectlyAndIsThenServedFromTheCache)
{
    const FString url = WriteDaylightShot();
    auto request = DevelopRequest(url);
    ASSERT_EQ(RunRequest(Pool(), *request), kIPStatusDone) << ResultText(*request);
    const std::vector<uint8_t> developed = ResultOf(*request);
    EXPECT_EQ(developed, Expected(url, *request));
    EXPECT_DOUBLE_EQ(request->m_Result.m_dProgress, 1.0);
    for (int32_t type : {kIPERequestStage1, kIPERequestStage2, kIPERequestStage3, kIPERequestGenerateToneLUT,
                         kIPERequestStage4})
        EXPECT_EQ(m_Counts.Of(type), 1) << "request type " << type;

    m_Counts.Reset();
    auto again = DevelopRequest(url);
    ASSERT_EQ(RunRequest(Pool(), *again), kIPStatusDone) << ResultText(*again);
    EXPECT_EQ(m_Counts.Total(), 0);
    EXPECT_EQ(ResultOf(*again), developed);
    request.reset();
    again.reset();
    ExpectNothingHeld();
}

TEST_F(DevelopTest, ASecondRequestRerunsOnlyWhatItsChangedSettingShapes)
{
    const FString url = WriteDaylightShot();
    auto first = DevelopRequest(url);
    ASSERT_EQ(RunRequest(Pool(), *first), kIPStatusDone) << ResultText(*first);

    struct Case {
        const char* name;
        void (*change)(IPManagerData&);
        std::vector<int32_t> rerun;
    };
    const Case cases[] = {
        {"sharpness", [](IPManagerData& r) { r.m_dSharpness = 0.5; }, {kIPERequestStage4}},
        {"exposure", [](IPManagerData& r) { r.m_dExposure = 0.7; }, {kIPERequestGenerateToneLUT, kIPERequestStage4}},
        {"contrast", [](IPManagerData& r) { r.m_dContrast = -0.4; }, {kIPERequestGenerateToneLUT, kIPERequestStage4}},
        {"fill light", [](IPManagerData& r) { r.m_dFillLight = 0.3; }, {kIPERequestStage4}},
        {"saturation", [](IPManagerData& r) { r.m_dSaturation = 0.2; }, {kIPERequestStage4}},
        {"colour space", [](IPManagerData& r) { r.m_iColorSpace = 3; }, {kIPERequestStage4}},
        // Stage 2 took the stage-1 picture over, so stage 1 runs again.
        {"chroma noise",
         [](IPManagerData& r) { r.m_dChromaNoise = 0.25; },
         {kIPERequestStage1, kIPERequestStage2, kIPERequestStage3, kIPERequestStage4}},
    };
    for (const Case& c : cases) {
        m_Counts.Reset();
        auto changed = DevelopRequest(url);
        c.change(*changed);
        ASSERT_EQ(RunRequest(Pool(), *changed), kIPStatusDone) << c.name << ": " << ResultText(*changed);
        for (int32_t type = kIPERequestStage1; type <= kIPERequestGenerateToneLUT; ++type) {
            const bool rerun = std::find(c.rerun.begin(), c.rerun.end(), type) != c.rerun.end();
            EXPECT_EQ(m_Counts.Of(type), rerun ? 1 : 0) << c.name << ", request type " << type;
        }
        EXPECT_EQ(ResultOf(*changed), Expected(url, *changed)) << c.name;
    }
}

// The pre-matrix reference is stage 2's input alone: once stage 2 has
// succeeded it is forgotten (the cache gives it up first), and a later
// request finds stage 2 done without it.
TEST_F(DevelopTest, AFinishedStage2ForgetsItsReferenceAndIsFoundWithoutIt)
{
    const FString url = WriteDaylightShot();
    auto first = DevelopRequest(url);
    ASSERT_EQ(RunRequest(Pool(), *first), kIPStatusDone) << ResultText(*first);
    const auto props = PropertiesOf(url);
    const FIPManagerLabels labels = BuildIPManagerLabels(*first, *props, FString(Value(*props, "UNIQUEID").c_str()));
    EXPECT_EQ(FindCacheEntry(labels.m_sStage2OutRefKV), nullptr);
    FICacheObject* stage2 = FindCacheEntry(labels.m_sStage2Out);
    ASSERT_NE(stage2, nullptr);
    stage2->Unlock();

    m_Counts.Reset();
    auto cropped = DevelopRequest(url);
    cropped->m_Crop.Set(16, 8, cropped->m_Crop.right - 16, cropped->m_Crop.bottom - 8);
    ASSERT_EQ(RunRequest(Pool(), *cropped), kIPStatusDone) << ResultText(*cropped);
    EXPECT_EQ(m_Counts.Of(kIPERequestStage2), 0);
    EXPECT_EQ(m_Counts.Of(kIPERequestStage3), 1);
    EXPECT_EQ(ResultOf(*cropped), Expected(url, *cropped));
}

TEST_F(DevelopTest, ARequestCancelledDuringStage2ResumesWhereItStoppedAndGivesTheSamePicture)
{
    Stage2Hold hold;
    hold.holdAtRow = 100;
    m_pHold = &hold;
    const FString url = WriteDaylightShot();
    const int32_t rows = int32_t(m_Shot.truth.storedRows);

    auto request = DevelopRequest(url);
    Pool().Request(request.get());
    for (int polls = 0; !hold.reached && request->m_Result.IsPending() && polls < 100000; ++polls)
        Pool().Idle();
    ASSERT_TRUE(hold.reached.load()) << ResultText(*request);
    request->m_Result.m_eStatus = kIPStatusCancelled; // the caller gives up at once
    Pool().Idle();
    EXPECT_EQ(request->m_Result.m_eStatus, kIPStatusCancelled);
    EXPECT_EQ(request->m_pResultImage, nullptr);

    // The stage-2 entry is collected: not done, its resume block saved, its
    // mutex free, no one holding it.
    IPManagerData labelsOf;
    labelsOf.CopyRequestFrom(*request);
    const auto props = PropertiesOf(url);
    const FIPManagerLabels labels = BuildIPManagerLabels(labelsOf, *props, FString(Value(*props, "UNIQUEID").c_str()));
    FICacheObject* stage2 = FindCacheEntry(labels.m_sStage2Out);
    ASSERT_NE(stage2, nullptr);
    FPixmapEntryHeader& header = *PixmapEntryHeader(stage2);
    EXPECT_FALSE(IsEntryDone(header.m_bDone));
    EXPECT_EQ(header.m_ResumeState.m_aWords[FIPEResumeState::kWordTag], FIPEResumeState::kTagStage2);
    EXPECT_EQ(header.m_ResumeState.m_aWords[FIPEResumeState::kWordPosition], 100u);
    EXPECT_EQ(stage2->GetLockCount(), 1);
    ASSERT_TRUE(header.m_pMutex->Lock(0));
    header.m_pMutex->Unlock();
    stage2->Unlock();
    ExpectNothingHeld();

    // Asked again, stage 2 goes on from the row it stopped at.
    hold.released = true;
    m_Counts.Reset();
    auto again = DevelopRequest(url);
    ASSERT_EQ(RunRequest(Pool(), *again), kIPStatusDone) << ResultText(*again);
    EXPECT_EQ(hold.firstRow.load(), 100);
    EXPECT_EQ(hold.rowsDone.load(), rows);
    EXPECT_EQ(m_Counts.Of(kIPERequestStage1), 0);
    EXPECT_EQ(m_Counts.Of(kIPERequestStage2), 1);
    EXPECT_EQ(ResultOf(*again), Expected(url, *again));
}

TEST_F(DevelopTest, TheEnginesStage2CancelledByTheCallerResumesAtItsStepAndGivesTheUncancelledPicture)
{
    // The engine's stage 2 waits at the head of a step in its second half until
    // the caller has given up, so the cancel lands mid-stage on any machine.
    struct Watch {
        std::atomic<int> heldStep{-1};
        std::atomic<bool> progressed{false};
        std::atomic<bool> secondRun{false};
        std::atomic<int> resumedAt{-1};
    };
    auto watch = std::make_shared<Watch>();
    m_Stage2Observer = [watch](int step, FIPERequestStage2& request) {
        if (watch->secondRun) {
            int none = -1;
            watch->resumedAt.compare_exchange_strong(none, step);
            return;
        }
        if (step < 8 || watch->heldStep != -1)
            return;
        watch->progressed = request.GetProgress() > 0.0;
        watch->heldStep = step;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!request.IsCancelled() && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    const FString url = WriteDaylightShot();

    auto request = DevelopRequest(url);
    Pool().Request(request.get());
    for (int polls = 0; watch->heldStep == -1 && request->m_Result.IsPending() && polls < 100000; ++polls)
        Pool().Idle();
    ASSERT_NE(watch->heldStep.load(), -1) << ResultText(*request);
    EXPECT_TRUE(watch->progressed.load());
    EXPECT_EQ(m_Counts.Of(kIPERequestStage2), 1);
    request->m_Result.m_eStatus = kIPStatusCancelled; // the caller gives up at once
    Pool().Idle();
    EXPECT_EQ(request->m_Result.m_eStatus, kIPStatusCancelled);
    EXPECT_EQ(request->m_pResultImage, nullptr);

    // The stage-2 entry keeps the step the stage stopped at.
    IPManagerData labelsOf;
    labelsOf.CopyRequestFrom(*request);
    const auto props = PropertiesOf(url);
    const FIPManagerLabels labels = BuildIPManagerLabels(labelsOf, *props, FString(Value(*props, "UNIQUEID").c_str()));
    FICacheObject* stage2 = FindCacheEntry(labels.m_sStage2Out);
    ASSERT_NE(stage2, nullptr);
    const FPixmapEntryHeader& header = *PixmapEntryHeader(stage2);
    EXPECT_FALSE(IsEntryDone(header.m_bDone));
    EXPECT_EQ(header.m_ResumeState.m_aWords[FIPEResumeState::kWordTag], FIPEResumeState::kTagStage2);
    EXPECT_EQ(header.m_ResumeState.m_aWords[FIPEResumeState::kWordStep], uint32_t(watch->heldStep.load()));
    stage2->Unlock();
    ExpectNothingHeld();

    // Asked again, stage 2 goes on from that step on the stage-1 picture it
    // had half developed, and ends where an uncancelled develop ends.
    watch->secondRun = true;
    m_Counts.Reset();
    auto again = DevelopRequest(url);
    ASSERT_EQ(RunRequest(Pool(), *again), kIPStatusDone) << ResultText(*again);
    EXPECT_EQ(m_Counts.Of(kIPERequestStage1), 0);
    EXPECT_EQ(m_Counts.Of(kIPERequestStage2), 1);
    EXPECT_EQ(watch->resumedAt.load(), watch->heldStep.load());
    EXPECT_EQ(ResultOf(*again), Expected(url, *again));
}

TEST_F(DevelopTest, TheCancelFlagLetsARunningStageFinishAndEndsTheRequestAtTheNextStep)
{
    Stage2Hold hold;
    hold.holdAtRow = 50;
    m_pHold = &hold;
    const FString url = WriteDaylightShot();
    auto request = DevelopRequest(url);
    Pool().Request(request.get());
    for (int polls = 0; !hold.reached && request->m_Result.IsPending() && polls < 100000; ++polls)
        Pool().Idle();
    ASSERT_TRUE(hold.reached.load());
    request->m_Result.m_bCancel = true;
    hold.released = true;
    for (int polls = 0; request->m_Result.IsPending() && polls < 100000; ++polls)
        Pool().Idle();
    EXPECT_EQ(request->m_Result.m_eStatus, kIPStatusCancelled);
    EXPECT_EQ(m_Counts.Of(kIPERequestStage3), 0);

    // Stage 2 was cached whole: the next request starts after it.
    m_Counts.Reset();
    auto again = DevelopRequest(url);
    ASSERT_EQ(RunRequest(Pool(), *again), kIPStatusDone) << ResultText(*again);
    EXPECT_EQ(m_Counts.Of(kIPERequestStage1), 0);
    EXPECT_EQ(m_Counts.Of(kIPERequestStage2), 0);
    EXPECT_EQ(m_Counts.Of(kIPERequestStage3), 1);
    EXPECT_EQ(ResultOf(*again), Expected(url, *again));
}

TEST_F(DevelopTest, TwoRequestsForOnePictureInOnePoolShareEveryStage)
{
    const FString url = WriteDaylightShot();
    auto first = DevelopRequest(url);
    auto second = DevelopRequest(url);
    Pool().Request(first.get());
    Pool().Request(second.get());
    EXPECT_EQ(Pool().GetWorkerCount(), 2u);
    for (int polls = 0; (first->m_Result.IsPending() || second->m_Result.IsPending()) && polls < 100000; ++polls)
        Pool().Idle();
    ASSERT_EQ(first->m_Result.m_eStatus, kIPStatusDone) << ResultText(*first);
    ASSERT_EQ(second->m_Result.m_eStatus, kIPStatusDone) << ResultText(*second);
    for (int32_t type : {kIPERequestStage1, kIPERequestStage2, kIPERequestStage3, kIPERequestGenerateToneLUT,
                         kIPERequestStage4})
        EXPECT_EQ(m_Counts.Of(type), 1) << "request type " << type;
    const std::vector<uint8_t> expected = Expected(url, *first);
    EXPECT_EQ(ResultOf(*first), expected);
    EXPECT_EQ(ResultOf(*second), expected);
}

TEST_F(DevelopTest, TwoWorkersOfTwoThreadsDevelopingOnePictureShareTheWorkAndBothGetIt)
{
    const FString url = WriteDaylightShot();
    auto first = DevelopRequest(url);
    auto second = DevelopRequest(url);
    auto develop = [this](IPManagerData* request) {
        IPManager2 worker(new CountingEngine(m_Counts, nullptr));
        // A worker waiting for the other returns from Idle at once: polled
        // by time, not by count.
        worker.Request(request);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (request->m_Result.IsPending() && std::chrono::steady_clock::now() < end) {
            worker.Idle();
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    };
    std::thread one(develop, first.get()), two(develop, second.get());
    one.join();
    two.join();
    ASSERT_EQ(first->m_Result.m_eStatus, kIPStatusDone) << ResultText(*first);
    ASSERT_EQ(second->m_Result.m_eStatus, kIPStatusDone) << ResultText(*second);
    // Whoever comes second waits for the other's stages.
    EXPECT_EQ(m_Counts.Of(kIPERequestStage1), 1);
    EXPECT_EQ(m_Counts.Of(kIPERequestStage2), 1);
    const std::vector<uint8_t> expected = Expected(url, *first);
    EXPECT_EQ(ResultOf(*first), expected);
    EXPECT_EQ(ResultOf(*second), expected);
    first.reset();
    second.reset();
    ExpectNothingHeld();
}

// Four workers of the pool and two engines of their own develop at once, all
// sharing the band workers (and under ThreadSanitizer, which sees every band):
// each picture is the one its settings give when developed alone.
TEST_F(DevelopTest, FourWorkersAndTwoEnginesDevelopingAtOnceEachGiveTheirOwnPicture)
{
    const FString url = WriteDaylightShot();
    std::vector<std::unique_ptr<IPManagerData>> requests;
    for (int i = 0; i < 4; ++i) {
        requests.push_back(DevelopRequest(url));
        requests.back()->m_dChromaNoise = 0.2 + 0.2 * i; // a stage 2 of its own each
    }
    std::vector<std::unique_ptr<SyntheticDevelopment>> engines;
    for (int i = 0; i < 2; ++i)
        engines.push_back(std::make_unique<SyntheticDevelopment>(m_Shot));
    for (const auto& request : requests)
        Pool().Request(request.get());
    EXPECT_EQ(Pool().GetWorkerCount(), 4u);
    std::vector<std::thread> developing;
    for (const auto& engine : engines)
        developing.emplace_back([&engine] { EXPECT_EQ(engine->DevelopAll(), kIPStatusDone) << engine->lastError; });
    const auto pending = [&] {
        return std::any_of(requests.begin(), requests.end(), [](const auto& r) { return r->m_Result.IsPending(); });
    };
    for (int polls = 0; pending() && polls < 1000000; ++polls)
        Pool().Idle();
    for (std::thread& thread : developing)
        thread.join();

    for (const auto& request : requests) {
        ASSERT_EQ(request->m_Result.m_eStatus, kIPStatusDone) << ResultText(*request);
        EXPECT_EQ(ResultOf(*request), Expected(url, *request)) << "chroma noise " << request->m_dChromaNoise;
    }
    SyntheticDevelopment alone(m_Shot);
    ASSERT_EQ(alone.DevelopAll(), kIPStatusDone) << alone.lastError;
    const auto bytes = [](const SyntheticDevelopment& d) { return d.OutputBytes(); };
    for (const auto& engine : engines)
        EXPECT_EQ(bytes(*engine), bytes(alone));
}

TEST_F(DevelopTest, AFittedAndACroppedPictureAreTheRightPartsAtTheRightSize)
{
    const FString url = WriteDaylightShot(); // 448 x 340
    auto fitted = DevelopRequest(url);
    fitted->m_OutputSize.Set(1000, 1000);
    fitted->m_Crop.Set(0, 0, 1000, 1000);
    fitted->m_eOutputFormat = kRGB24;
    IPManagerData asAsked; // the request writes the fitted geometry back
    asAsked.CopyRequestFrom(*fitted);
    ASSERT_EQ(RunRequest(Pool(), *fitted), kIPStatusDone) << ResultText(*fitted);
    EXPECT_EQ(fitted->m_OutputSize.height, 758);
    EXPECT_EQ(fitted->m_Crop.bottom, 758);
    FPixmap& picture = *fitted->m_pResultImage->GetPixmap();
    EXPECT_EQ(picture.m_iColumns, 1000);
    EXPECT_EQ(picture.m_iRows, 758);
    EXPECT_EQ(picture.GetPixelType(), FPixmap::PIXEL_24_RGB);
    EXPECT_EQ(ResultOf(*fitted), Expected(url, asAsked));

    auto cropped = DevelopRequest(url);
    cropped->m_OutputSize.Set(1000, 758);
    cropped->m_Crop.Set(100, 50, 400, 300);
    cropped->m_eOutputFormat = kDisplay;
    asAsked.CopyRequestFrom(*cropped);
    ASSERT_EQ(RunRequest(Pool(), *cropped), kIPStatusDone) << ResultText(*cropped);
    EXPECT_EQ(cropped->m_pResultImage->GetPixmap()->m_iColumns, 300);
    EXPECT_EQ(cropped->m_pResultImage->GetPixmap()->m_iRows, 250);
    EXPECT_EQ(ResultOf(*cropped), Expected(url, asAsked));

    // The cached picture comes back with the fitted geometry too.
    auto again = DevelopRequest(url);
    again->m_OutputSize.Set(1000, 1000);
    again->m_Crop.Set(0, 0, 1000, 1000);
    again->m_eOutputFormat = kRGB24;
    ASSERT_EQ(RunRequest(Pool(), *again), kIPStatusDone) << ResultText(*again);
    EXPECT_EQ(again->m_OutputSize.height, 758);

    auto outside = DevelopRequest(url);
    outside->m_OutputSize.Set(1000, 1000);
    outside->m_Crop.Set(1000, 0, 1100, 100); // the fitted width is 1000
    EXPECT_EQ(RunRequest(Pool(), *outside), kIPStatusError);
    EXPECT_EQ(outside->m_Result.m_eError, kIPErrorBadParameter);
    EXPECT_EQ(ResultText(*outside), "IPManager2::priStage3Process: Cropping rectangle out of bounds.");
}

TEST_F(DevelopTest, BadRequestsAreRefusedBeforeAnyWork)
{
    const FString url = WriteDaylightShot();
    struct Case {
        const char* name;
        void (*spoil)(IPManagerData&);
    };
    const Case cases[] = {
        {"zero width", [](IPManagerData& r) { r.m_OutputSize.width = 0; }},
        {"negative height", [](IPManagerData& r) { r.m_OutputSize.height = -5; }},
        {"empty crop", [](IPManagerData& r) { r.m_Crop.right = r.m_Crop.left; }},
        {"inverted crop", [](IPManagerData& r) { r.m_Crop.Set(0, 300, 100, 200); }},
        {"negative crop", [](IPManagerData& r) { r.m_Crop.left = -1; }},
        {"no output format", [](IPManagerData& r) { r.m_eOutputFormat = kOutputFormatNone; }},
        {"unknown output format", [](IPManagerData& r) { r.m_eOutputFormat = 4; }},
        {"unknown colour space", [](IPManagerData& r) { r.m_iColorSpace = 5; }},
    };
    for (const Case& c : cases) {
        auto request = DevelopRequest(url);
        c.spoil(*request);
        Pool().Request(request.get());
        EXPECT_EQ(request->m_Result.m_eStatus, kIPStatusError) << c.name;
        EXPECT_EQ(request->m_Result.m_eError, kIPErrorBadParameter) << c.name;
    }
    EXPECT_EQ(m_Counts.Total(), 0);
    EXPECT_TRUE(GetGlobalCache()->GetLabels().GetCount() == 0);

    // The tone curve divides by the colour-adjust gains: refused before it.
    auto noGain = DevelopRequest(url);
    noGain->m_ColorAdjust = FDoubleTriple(1.0, 0.0, 1.0);
    EXPECT_EQ(RunRequest(Pool(), *noGain), kIPStatusError);
    EXPECT_EQ(noGain->m_Result.m_eError, kIPErrorBadParameter);
    EXPECT_EQ(m_Counts.Of(kIPERequestGenerateToneLUT), 0);
}

TEST_F(DevelopTest, FramesTheFileLacksAreNamed)
{
    // A raw frame without a dark frame.
    PdxbHeaderSpec header;
    header.columns = 24;
    header.rows = 16;
    PdxbBuilder builder(header);
    builder.AddProperties(PdxbPropertySpec{});
    builder.AddImage(ManagerRgbImage(1, 24, 16, 11));
    IPManagerData request;
    request.SetURL(Write(builder.Build(), "nodark.kvr"));
    request.m_eKind = kIPRequestDevelop;
    request.m_OutputSize.Set(24, 16);
    request.m_Crop.Set(0, 0, 24, 16);
    request.m_eOutputFormat = kDisplay;
    request.m_ColorAdjust = FDoubleTriple(1.0, 1.0, 1.0);
    EXPECT_EQ(RunRequest(Pool(), request), kIPStatusError);
    EXPECT_EQ(request.m_Result.m_eError, kIPErrorNotInFile);
    EXPECT_EQ(ResultText(request), "Image does not contain: dark subtracted frame dark frame ");
    EXPECT_EQ(m_Counts.Total(), 0);
}

TEST_F(DevelopTest, ADarkSubtractedFrameIsStage1sOutputWithoutAnEngineRun)
{
    SyntheticOptions options;
    options.previews = false;
    options.darkSubtracted = true;
    const FString url = WriteShot(options);
    auto request = DevelopRequest(url);
    ASSERT_EQ(RunRequest(Pool(), *request), kIPStatusDone) << ResultText(*request);
    EXPECT_EQ(m_Counts.Of(kIPERequestStage1), 0);
    EXPECT_EQ(m_Counts.Of(kIPERequestStage2), 1);
    EXPECT_EQ(m_Counts.Of(kIPERequestStage4), 1);
}

TEST_F(DevelopTest, TooLittleCacheFailsWithOutOfMemoryAndLeavesTheCacheUsable)
{
    const FString url = WriteDaylightShot();
    const uint64_t frameBytes = uint64_t(m_Shot.truth.storedColumns) * m_Shot.truth.storedRows * 6;
    // Room for the two frames and the camera data, not for stage 1 too.
    GetGlobalCache()->SetSizeLimit(uint32_t(frameBytes * 2 + frameBytes / 2));
    auto request = DevelopRequest(url);
    EXPECT_EQ(RunRequest(Pool(), *request), kIPStatusError);
    EXPECT_EQ(request->m_Result.m_eError, kIPErrorOutOfMemory) << ResultText(*request);
    EXPECT_EQ(m_Counts.Total(), 0);
    ExpectNothingHeld();

    GetGlobalCache()->SetSizeLimit(kCacheLimit);
    auto again = DevelopRequest(url);
    ASSERT_EQ(RunRequest(Pool(), *again), kIPStatusDone) << ResultText(*again);
    EXPECT_EQ(ResultOf(*again), Expected(url, *again));
    again.reset();
    ExpectNothingHeld();
}
