// The development handle against a scripted manager: which states accept
// which calls, what each step asks of the manager, the texts of its failures,
// progress and cancellation, and what it writes back into a file.

#include "shell/facade/KVR_Manager.h"

#include "shell/facade/CKVR_Data_FileList.h"

#include "ScriptedManager.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

constexpr const char* kInvalidState = "Invalid state for call.";

class HandleTest : public ::testing::Test {
protected:
    std::unique_ptr<CKVR_ImageHandle> NewHandle()
    {
        return std::make_unique<CKVR_ImageHandle>(FString("/photos/a.kvr"), &m_Manager);
    }

    std::unique_ptr<CKVR_ImageHandle> ReadHandle()
    {
        auto handle = NewHandle();
        EXPECT_EQ(KVR_ReadProperties(handle.get()), 1) << KVR_GetLastError(handle.get());
        return handle;
    }

    // A handle in the state: properties read, then as the state asks.
    std::unique_ptr<CKVR_ImageHandle> HandleIn(KVRHandleState state)
    {
        if (state == kHandleNew)
            return NewHandle();
        if (state == kHandleFailed) {
            m_Manager.failKind = kIPRequestProperties;
            auto handle = NewHandle();
            KVR_ReadProperties(handle.get());
            m_Manager.failKind = kIPRequestNone;
            return handle;
        }
        auto handle = ReadHandle();
        if (state == kHandleProcessing)
            KVR_Cancel(handle.get());
        if (state == kHandleProcessed)
            KVR_Process(handle.get(), 94, 94);
        EXPECT_EQ(handle->GetState(), state);
        return handle;
    }

    std::string PropertyOf(const CKVR_ImageHandle* handle, const char* name)
    {
        char value[256] = {};
        return KVR_GetProperty(handle, name, value, sizeof value) ? value : "<none>";
    }

    static std::string FileValue(const ScriptedManager& manager, const std::string& key)
    {
        for (const auto& [k, v] : manager.properties)
            if (k == key)
                return v;
        return "<none>";
    }

    ScriptedManager m_Manager;
};

// Records the percentages a callback receives and when.
struct ProgressLog {
    std::vector<int> percentages;
    std::vector<std::chrono::steady_clock::time_point> times;
    int cancelAt = -1; // returning 0 from this percentage on

    static int Callback(int percentage, void* user)
    {
        auto* log = static_cast<ProgressLog*>(user);
        log->percentages.push_back(percentage);
        log->times.push_back(std::chrono::steady_clock::now());
        return log->cancelAt >= 0 && percentage >= log->cancelAt ? 0 : 1;
    }
};

} // namespace

TEST_F(HandleTest, EachStepRunsOnlyInTheStatesThatAcceptIt)
{
    struct Operation {
        const char* name;
        std::function<int(CKVR_ImageHandle*)> call;
        // The result in kHandleNew, PropertiesRead, Processing, Processed, Failed; -1 = refused.
        int results[5];
    };
    char row[4 * 94 * 94] = {};
    const Operation operations[] = {
        {"ReadProperties", [](CKVR_ImageHandle* h) { return KVR_ReadProperties(h); }, {1, -1, -1, -1, -1}},
        {"ReloadProperties", [](CKVR_ImageHandle* h) { return h->ReloadProperties(); }, {1, 1, -1, 1, -1}},
        {"Process", [](CKVR_ImageHandle* h) { return KVR_Process(h, 94, 94); }, {-1, 1, -1, -1, -1}},
        {"ProcessWithProgress", [](CKVR_ImageHandle* h) { return KVR_ProcessWithProgress(h, nullptr, nullptr); },
         {-1, 1, -1, -1, -1}},
        {"ApplyFileSettings", [](CKVR_ImageHandle* h) { return KVR_ApplyFileSettings(h); }, {-1, 1, -1, -1, -1}},
        {"GetOutputRowBytes", [](CKVR_ImageHandle* h) { return KVR_GetOutputRowBytes(h) > 0 ? 1 : 0; },
         {-1, -1, -1, 1, -1}},
        {"GetOutputRow", [&row](CKVR_ImageHandle* h) { return KVR_GetOutputRow(h, 0, row); }, {-1, -1, -1, 1, -1}},
    };
    const KVRHandleState states[] = {kHandleNew, kHandlePropertiesRead, kHandleProcessing, kHandleProcessed,
                                     kHandleFailed};
    for (const Operation& operation : operations) {
        for (int s = 0; s < 5; ++s) {
            SCOPED_TRACE(std::string(operation.name) + " in state " + std::to_string(states[s]));
            auto handle = HandleIn(states[s]);
            const size_t requestsBefore = m_Manager.seen.size();
            const int result = operation.call(handle.get());
            if (operation.results[s] < 0) {
                EXPECT_EQ(result, 0);
                EXPECT_STREQ(KVR_GetLastError(handle.get()), kInvalidState);
                EXPECT_EQ(handle->GetState(), states[s]);
                EXPECT_EQ(m_Manager.seen.size(), requestsBefore) << "a refused call reached the manager";
            } else {
                EXPECT_EQ(result, operation.results[s]);
                EXPECT_STRNE(KVR_GetLastError(handle.get()), kInvalidState);
            }
        }
    }
}

TEST_F(HandleTest, AccessorsOutsideTheirStatesAnswerWithoutAText)
{
    for (const KVRHandleState state : {kHandleNew, kHandleProcessing, kHandleFailed}) {
        SCOPED_TRACE(state);
        auto handle = HandleIn(state);
        const std::string before = KVR_GetLastError(handle.get());
        double chroma = 9, luma = 9;
        char value[8] = "x";
        EXPECT_EQ(KVR_GetImageWidth(handle.get()), 0);
        EXPECT_EQ(KVR_GetImageHeight(handle.get()), 0);
        EXPECT_EQ(KVR_GetNoiseReduction(handle.get(), &chroma, &luma), -1);
        EXPECT_EQ(KVR_GetProperty(handle.get(), "ISO", value, sizeof value), 0);
        EXPECT_EQ(KVR_SetProperty(handle.get(), "ISO", "100"), 0);
        EXPECT_EQ(KVR_GetOutputPixelFormat(handle.get()), 0);
        EXPECT_EQ(KVR_GetLastError(handle.get()), before);
        EXPECT_EQ(chroma, 9);
        EXPECT_STREQ(value, "x");
    }
}

TEST_F(HandleTest, WritingInAWrongStateSendsNothingToTheFileAndReadsThePropertiesAgain)
{
    auto processed = HandleIn(kHandleProcessed);
    KVR_SetExposure(processed.get(), 1.0);
    EXPECT_EQ(KVR_WriteProperties(processed.get()), 0);
    EXPECT_STREQ(KVR_GetLastError(processed.get()), kInvalidState);
    EXPECT_EQ(m_Manager.Count(kIPRequestModifyProperties), 0);
    EXPECT_EQ(processed->GetState(), kHandlePropertiesRead);

    auto failed = HandleIn(kHandleFailed);
    EXPECT_EQ(KVR_WriteProperties(failed.get()), 0);
    EXPECT_EQ(failed->GetState(), kHandleFailed);
    EXPECT_EQ(m_Manager.Count(kIPRequestModifyProperties), 0);
}

TEST_F(HandleTest, FailuresCarryTheirTexts)
{
    struct Case {
        const char* name;
        std::function<void(ScriptedManager&)> script;
        std::function<int(CKVR_ImageHandle*)> step;
        const char* text;
        KVRHandleState state;
    };
    const auto read = [](CKVR_ImageHandle* h) { return KVR_ReadProperties(h); };
    const auto readThen = [](std::function<int(CKVR_ImageHandle*)> step) {
        return [step](CKVR_ImageHandle* h) { return KVR_ReadProperties(h) ? step(h) : -1; };
    };
    const Case cases[] = {
        {"properties", [](ScriptedManager& m) { m.failKind = kIPRequestProperties; }, read,
         "Unable to get image properties: scripted failure", kHandleFailed},
        {"no width", [](ScriptedManager& m) { m.properties = {{"COLS", "0"}, {"ROWS", "2000"}}; }, read,
         "Image size properties are no good: (0, 2000)", kHandleFailed},
        {"no height", [](ScriptedManager& m) { m.properties = {{"COLS", "4000"}}; }, read,
         "Image size properties are no good: (4000, 0)", kHandleFailed},
        {"preview", [](ScriptedManager& m) { m.failKind = kIPRequestPreview; },
         readThen([](CKVR_ImageHandle* h) { return KVR_Process(h, 94, 94); }),
         "Unable to process image: scripted failure", kHandleFailed},
        {"develop", [](ScriptedManager& m) { m.failKind = kIPRequestDevelop; },
         readThen([](CKVR_ImageHandle* h) { return KVR_ProcessWithProgress(h, nullptr, nullptr); }),
         "Unable to process image: scripted failure", kHandleFailed},
        {"automatic pass", [](ScriptedManager& m) { m.failKind = kIPRequestAutoAdjust; },
         readThen([](CKVR_ImageHandle* h) {
             KVR_EnableAutoAdjust(h);
             return KVR_ProcessWithProgress(h, nullptr, nullptr);
         }),
         "Unable to process image: scripted failure", kHandleFailed},
        {"no picture", [](ScriptedManager& m) { m.noPicture = true; },
         readThen([](CKVR_ImageHandle* h) { return KVR_ProcessWithProgress(h, nullptr, nullptr); }),
         "Unable to process image: no result picture.", kHandleFailed},
        {"modify", [](ScriptedManager& m) { m.failKind = kIPRequestModifyProperties; },
         readThen([](CKVR_ImageHandle* h) { return KVR_WriteProperties(h); }),
         "Unable to set image properties: scripted failure", kHandlePropertiesRead},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedManager manager;
        c.script(manager);
        CKVR_ImageHandle handle(FString("/photos/a.kvr"), &manager);
        EXPECT_EQ(c.step(&handle), 0);
        EXPECT_STREQ(KVR_GetLastError(&handle), c.text);
        EXPECT_EQ(handle.GetState(), c.state);
    }
}

TEST_F(HandleTest, ReadingPropertiesKeepsTheSizeAndEveryPairAndSetsTheWholeCrop)
{
    m_Manager.properties = {{"COLS", "4000"}, {"ROWS", "3000"}, {"CAMMODEL", "K\xC3\xA9"}, {"ISO", "100"}};
    auto handle = ReadHandle();
    EXPECT_EQ(KVR_GetImageWidth(handle.get()), 4000);
    EXPECT_EQ(KVR_GetImageHeight(handle.get()), 3000);
    EXPECT_EQ(KVR_GetOutputWidth(handle.get()), 4000);
    EXPECT_EQ(KVR_GetOutputHeight(handle.get()), 3000);
    const std::vector<std::string> pairs{"COLS", "4000", "ROWS", "3000", "CAMMODEL", "K?", "ISO", "100"};
    EXPECT_EQ(handle->GetPropertyPairs(), pairs);
}

TEST_F(HandleTest, PropertyValuesAreCopiedAsBoundedSevenBitText)
{
    m_Manager.properties = {{"COLS", "8"}, {"ROWS", "8"}, {"LONG", "abcdef"}, {"NAME", "\xC3\xA9t\x7F"}};
    auto handle = ReadHandle();
    char small[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(KVR_GetProperty(handle.get(), "LONG", small, sizeof small), 1);
    EXPECT_STREQ(small, "abc");
    EXPECT_EQ(PropertyOf(handle.get(), "NAME"), "?t?");
    EXPECT_EQ(KVR_GetProperty(handle.get(), "MISSING", small, sizeof small), 0);

    EXPECT_EQ(KVR_SetProperty(handle.get(), "LONG", "z"), 1);
    EXPECT_EQ(KVR_SetProperty(handle.get(), "NEW", "n"), 1);
    EXPECT_EQ(PropertyOf(handle.get(), "LONG"), "z");
    EXPECT_EQ(PropertyOf(handle.get(), "NEW"), "n");
}

TEST_F(HandleTest, ThePreviewAsksForTheDisplayPictureAtTheSizeAndTakesTheSizeItGot)
{
    m_Manager.previewSize = FIntSize(94, 70);
    auto handle = ReadHandle();
    KVR_SetColorSpace(handle.get(), 4);
    ASSERT_EQ(KVR_Process(handle.get(), 94, 65536 + 94), 1); // the height is taken as 16 bits
    const SeenRequest& asked = m_Manager.Last();
    EXPECT_EQ(asked.kind, kIPRequestPreview);
    EXPECT_EQ(asked.outputSize.width, 94);
    EXPECT_EQ(asked.outputSize.height, 94);
    EXPECT_EQ(asked.crop.right, 94);
    EXPECT_EQ(asked.crop.bottom, 94);
    EXPECT_EQ(asked.outputFormat, kDisplay);
    EXPECT_EQ(asked.colorSpace, 2);
    EXPECT_EQ(KVR_GetOutputWidth(handle.get()), 94);
    EXPECT_EQ(KVR_GetOutputHeight(handle.get()), 70);
    EXPECT_EQ(KVR_GetOutputPixelFormat(handle.get()), 2);
    EXPECT_EQ(KVR_GetOutputRowBytes(handle.get()), 94 * 4);
}

TEST_F(HandleTest, TheDevelopmentAsksWithTheValuesSetAndTheFilesNoiseStrengths)
{
    m_Manager.properties = {{"COLS", "400"}, {"ROWS", "300"}, {"rpChromaNoise", "0.75"}, {"CM_DESC", "Vivid "}};
    struct Case {
        const char* name;
        std::function<void(CKVR_ImageHandle*)> set;
        std::function<void(const SeenRequest&)> check;
    };
    const Case cases[] = {
        {"defaults", [](CKVR_ImageHandle*) {},
         [](const SeenRequest& r) {
             EXPECT_EQ(r.outputSize.width, 400);
             EXPECT_EQ(r.crop.bottom, 300);
             EXPECT_EQ(r.outputFormat, kRGB48);
             EXPECT_EQ(r.colorSpace, 2);
             EXPECT_EQ(r.exposure, 0.0);
             EXPECT_EQ(r.colorAdjust.r, 1.0);
             EXPECT_EQ(r.customNeutral.g, -1.0);
             EXPECT_EQ(r.whiteBalance, "");
             EXPECT_EQ(r.chromaNoise, 0.75);
             EXPECT_EQ(r.lumaNoise, 0.5);
         }},
        {"values",
         [](CKVR_ImageHandle* h) {
             KVR_SetExposure(h, 1.5);
             KVR_SetShadow(h, -0.25);
             KVR_SetContrast(h, 0.5);
             KVR_SetHighlight(h, 0.125);
             KVR_SetSaturation(h, -1);
             KVR_SetSharpness(h, 2);
             KVR_SetFillLight(h, 0.75);
             KVR_SetColorAdjust(h, 0.5, 1, 0.25);
             KVR_SetColorSpace(h, 11);
             KVR_SetWhiteBalance(h, "Shade");
             KVR_SetColorMode(h, "Neutral");
             KVR_SetChromaNoise(h, 1.25);
             KVR_SetOutputFormat(h, 0);
         },
         [](const SeenRequest& r) {
             EXPECT_EQ(r.exposure, 1.5);
             EXPECT_EQ(r.shadow, -0.25);
             EXPECT_EQ(r.contrast, 0.5);
             EXPECT_EQ(r.highlight, 0.125);
             EXPECT_EQ(r.saturation, -1);
             EXPECT_EQ(r.sharpness, 2);
             EXPECT_EQ(r.fillLight, 0.75);
             EXPECT_EQ(r.colorAdjust.b, 0.25);
             EXPECT_EQ(r.colorSpace, 11);
             EXPECT_EQ(r.whiteBalance, "Shade");
             EXPECT_EQ(r.outputFormat, kRGB24);
             EXPECT_EQ(r.chromaNoise, 0.75) << "the file's strength, not the one to write";
         }},
        {"crop",
         [](CKVR_ImageHandle* h) {
             KVR_SetOutputSize(h, 100, 65536 + 75);
             KVR_SetCrop(h, 10, 20, 30, 40);
         },
         [](const SeenRequest& r) {
             EXPECT_EQ(r.outputSize.width, 100);
             EXPECT_EQ(r.outputSize.height, 75);
             EXPECT_EQ(Sides(r.crop), Sides(FIntRect(10, 20, 40, 60)));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto handle = ReadHandle();
        c.set(handle.get());
        ASSERT_EQ(KVR_ProcessWithProgress(handle.get(), nullptr, nullptr), 1) << KVR_GetLastError(handle.get());
        EXPECT_EQ(m_Manager.Last().kind, kIPRequestDevelop);
        c.check(m_Manager.Last());
        EXPECT_EQ(handle->GetState(), kHandleProcessed);
    }
}

TEST_F(HandleTest, TheOutputFormatShowsInThePixelFormat)
{
    struct Case {
        int flag; // -1: left at its default
        int format;
    };
    for (const Case c : {Case{-1, 3}, Case{0, 1}, Case{1, 3}}) {
        auto handle = ReadHandle();
        KVR_SetOutputSize(handle.get(), 8, 6);
        KVR_SetCrop(handle.get(), 0, 0, 8, 6);
        if (c.flag >= 0)
            KVR_SetOutputFormat(handle.get(), c.flag);
        ASSERT_EQ(KVR_ProcessWithProgress(handle.get(), nullptr, nullptr), 1);
        EXPECT_EQ(KVR_GetOutputPixelFormat(handle.get()), c.format);
        EXPECT_EQ(KVR_GetOutputWidth(handle.get()), 8);
        EXPECT_EQ(KVR_GetOutputHeight(handle.get()), 6);
        std::vector<uint8_t> row(size_t(KVR_GetOutputRowBytes(handle.get())));
        EXPECT_EQ(KVR_GetOutputRow(handle.get(), 5, row.data()), 1);
        EXPECT_EQ(KVR_GetOutputRow(handle.get(), 6, row.data()), 0) << "a row outside the picture";
        EXPECT_EQ(KVR_GetOutputRow(handle.get(), -1, row.data()), 0);
    }
}

TEST_F(HandleTest, ProgressComesOnChangedPercentagesAtMostEveryTenthOfASecond)
{
    m_Manager.pause = std::chrono::milliseconds(110);
    m_Manager.developProgress = {0.05, 0.059, 0.30, 1.0};
    auto handle = ReadHandle();
    ProgressLog log;
    ASSERT_EQ(KVR_ProcessWithProgress(handle.get(), ProgressLog::Callback, &log), 1);
    EXPECT_EQ(log.percentages, (std::vector<int>{5, 30, 100}));

    // Fast progress: no two reports closer than 0.1 s.
    m_Manager.pause = std::chrono::milliseconds(15);
    m_Manager.developProgress.clear();
    for (int i = 1; i <= 40; ++i)
        m_Manager.developProgress.push_back(i / 40.0);
    auto fast = ReadHandle();
    ProgressLog fastLog;
    ASSERT_EQ(KVR_ProcessWithProgress(fast.get(), ProgressLog::Callback, &fastLog), 1);
    ASSERT_FALSE(fastLog.times.empty());
    // Fewer reports than steps; how many depends on how fast the machine runs them.
    EXPECT_LT(fastLog.times.size(), m_Manager.developProgress.size());
    for (size_t i = 1; i < fastLog.times.size(); ++i)
        EXPECT_GE(fastLog.times[i] - fastLog.times[i - 1], std::chrono::milliseconds(100));
}

TEST_F(HandleTest, TheDevelopPassReportsAfterTheAutomaticPassesLastPercentage)
{
    m_Manager.pause = std::chrono::milliseconds(110);
    m_Manager.autoProgress = {0.37};
    m_Manager.developProgress = {0.05};
    auto handle = ReadHandle();
    KVR_EnableAutoAdjust(handle.get());
    ProgressLog log;
    ASSERT_EQ(KVR_ProcessWithProgress(handle.get(), ProgressLog::Callback, &log), 1);
    EXPECT_EQ(log.percentages, (std::vector<int>{37, 42}));
}

TEST_F(HandleTest, AProgressCallbackCancelsThroughTheTrampoline)
{
    struct Case {
        bool automatic;
        const char* text;
    };
    for (const Case c : {Case{false, "Load cancelled."}, Case{true, "AutoAdjust cancelled."}}) {
        SCOPED_TRACE(c.text);
        m_Manager.pause = std::chrono::milliseconds(110);
        m_Manager.autoProgress = {0.2, 0.4, 0.6};
        m_Manager.developProgress = {0.2, 0.4, 0.6};
        auto handle = ReadHandle();
        if (c.automatic)
            KVR_EnableAutoAdjust(handle.get());
        ProgressLog log;
        log.cancelAt = 40;
        KVRProgressContext context{handle.get(), ProgressLog::Callback, &log};
        const int developsBefore = m_Manager.Count(kIPRequestDevelop);
        EXPECT_EQ(KVR_ProcessWithProgress(handle.get(), KVR_ProgressTrampoline, &context), 0);
        EXPECT_STREQ(KVR_GetLastError(handle.get()), c.text);
        EXPECT_EQ(handle->GetState(), kHandleFailed);
        EXPECT_EQ(log.percentages.back(), 40);
        EXPECT_EQ(m_Manager.Count(kIPRequestDevelop) - developsBefore, c.automatic ? 0 : 1);
    }
}

TEST_F(HandleTest, ACancelledHandleDevelopsNoMore)
{
    auto handle = ReadHandle();
    KVR_Cancel(handle.get());
    EXPECT_EQ(KVR_ProcessWithProgress(handle.get(), nullptr, nullptr), 0);
    EXPECT_STREQ(KVR_GetLastError(handle.get()), kInvalidState);
    EXPECT_EQ(m_Manager.Count(kIPRequestDevelop), 0);
}

TEST_F(HandleTest, AutomaticValuesAreTheComputedOnesAndOnlyAfterAnAutomaticDevelopment)
{
    auto handle = ReadHandle();
    double value = 9;
    EXPECT_EQ(KVR_GetAutoExposure(handle.get(), &value), 0);
    EXPECT_EQ(value, 9);
    KVR_SetSharpness(handle.get(), 0.5);
    KVR_EnableAutoAdjust(handle.get());
    EXPECT_EQ(KVR_GetAutoExposure(handle.get(), &value), 0) << "not developed yet";
    ASSERT_EQ(KVR_ProcessWithProgress(handle.get(), nullptr, nullptr), 1);

    const SeenRequest& develop = m_Manager.Last();
    EXPECT_EQ(develop.exposure, 0.25) << "the develop pass uses the computed values";
    EXPECT_EQ(develop.sharpness, 0.5) << "sharpness is not computed";
    const std::pair<int (*)(const CKVR_ImageHandle*, double*), double> getters[] = {
        {KVR_GetAutoExposure, 0.25},   {KVR_GetAutoShadow, -0.5},       {KVR_GetAutoContrast, 0.125},
        {KVR_GetAutoHighlight, 0.75},  {KVR_GetAutoSaturation, 0.0625}, {KVR_GetAutoFillLight, 0.5},
    };
    for (const auto& [getter, expected] : getters) {
        ASSERT_EQ(getter(handle.get(), &value), 1);
        EXPECT_EQ(value, expected);
    }
    double r = 0, g = 0, b = 0;
    ASSERT_EQ(KVR_GetAutoColorAdjust(handle.get(), &r, &g, &b), 1);
    EXPECT_EQ(b, 0.5);
}

TEST_F(HandleTest, WritingSetsOnlyTheValuesSetInTheirOrderAndReadsTheFileAgain)
{
    m_Manager.properties = {{"COLS", "4000"}, {"ROWS", "3000"}, {"rpContrast", "0.1000"}, {"WB_DESC", "Daylight"}};
    auto handle = ReadHandle();
    KVR_SetLumaNoise(handle.get(), 0.25);
    KVR_SetWhiteBalance(handle.get(), "Shade");
    KVR_SetColorAdjust(handle.get(), 0.5, 1.0, 1.0);
    KVR_SetContrast(handle.get(), -0.25);
    KVR_SetExposure(handle.get(), 1.5);
    ASSERT_EQ(KVR_WriteProperties(handle.get()), 1) << KVR_GetLastError(handle.get());

    const std::vector<std::pair<std::string, std::string>> written{
        {"COLS", "4000"},
        {"ROWS", "3000"},
        {"rpContrast", "-0.2500"},
        {"WB_DESC", "Shade"},
        {"rpExposureCompensation", "1.5000"},
        {"rpColorAdjust", "30C"},
        {"rpLumaNoise", "0.2500"},
    };
    EXPECT_EQ(m_Manager.seen[1].kind, kIPRequestModifyProperties);
    EXPECT_EQ(m_Manager.seen[1].properties, written);
    ASSERT_EQ(m_Manager.seen.size(), 3u);
    EXPECT_EQ(m_Manager.Last().kind, kIPRequestProperties);
    EXPECT_EQ(handle->GetState(), kHandlePropertiesRead);
    EXPECT_EQ(PropertyOf(handle.get(), "rpExposureCompensation"), "1.5000");
}

TEST_F(HandleTest, WritingWithNothingSetStillSendsTheListAndReads)
{
    auto handle = ReadHandle();
    ASSERT_EQ(KVR_WriteProperties(handle.get()), 1);
    ASSERT_EQ(m_Manager.seen.size(), 3u);
    const std::vector<std::pair<std::string, std::string>> unchanged{{"COLS", "400"}, {"ROWS", "300"}, {"ISO", "800"}};
    EXPECT_EQ(m_Manager.seen[1].properties, unchanged);
    EXPECT_EQ(m_Manager.seen[2].kind, kIPRequestProperties);
}

TEST_F(HandleTest, TheFilesStoredSettingsBecomeTheValuesSet)
{
    m_Manager.properties = {{"COLS", "40"},          {"ROWS", "30"},
                            {"rpExposureCompensation", "0.1500"},
                            {"rpFillFlash", "-0.5000"}, {"rpColorAdjust", "30C"},
                            {"WB_DESC", "Shade"},       {"CM_DESC", "Vivid "},
                            {"rpChromaNoise", "1.2500"}};
    auto handle = ReadHandle();
    ASSERT_EQ(KVR_ApplyFileSettings(handle.get()), 1);
    ASSERT_EQ(KVR_ProcessWithProgress(handle.get(), nullptr, nullptr), 1);
    const SeenRequest& develop = m_Manager.Last();
    EXPECT_EQ(develop.exposure, 0.15);
    EXPECT_EQ(develop.fillLight, -0.5);
    EXPECT_EQ(develop.contrast, 0.0);
    EXPECT_NEAR(develop.colorAdjust.r, 0.501187, 1e-6);
    EXPECT_EQ(develop.whiteBalance, "Shade");

    // Set values are written back as they were read.
    KVR_ReloadProperties(handle.get());
    ASSERT_EQ(KVR_ApplyFileSettings(handle.get()), 1);
    ASSERT_EQ(KVR_WriteProperties(handle.get()), 1);
    EXPECT_EQ(FileValue(m_Manager, "rpExposureCompensation"), "0.1500");
    EXPECT_EQ(FileValue(m_Manager, "rpColorAdjust"), "30C");
    EXPECT_EQ(FileValue(m_Manager, "CM_DESC"), "Vivid ");
    EXPECT_EQ(FileValue(m_Manager, "rpChromaNoise"), "1.2500");
    EXPECT_EQ(FileValue(m_Manager, "rpContrast"), "<none>");
}

TEST_F(HandleTest, NoiseReductionIsAvailableFromIso400)
{
    struct Case {
        std::vector<std::pair<std::string, std::string>> extra;
        int result;
        double chroma, luma;
    };
    const Case cases[] = {
        {{}, 0, 9, 9},
        {{{"ISO", "200"}}, 0, 9, 9},
        {{{"ISO", "400"}}, 1, 0.5, 0.5},
        {{{"ISO", "800"}, {"rpChromaNoise", "0.75"}, {"rpLumaNoise", "1.25"}}, 1, 0.75, 1.25},
    };
    for (const Case& c : cases) {
        m_Manager.properties = {{"COLS", "40"}, {"ROWS", "30"}};
        m_Manager.properties.insert(m_Manager.properties.end(), c.extra.begin(), c.extra.end());
        auto handle = ReadHandle();
        double chroma = 9, luma = 9;
        EXPECT_EQ(KVR_GetNoiseReduction(handle.get(), &chroma, &luma), c.result);
        EXPECT_EQ(chroma, c.chroma);
        EXPECT_EQ(luma, c.luma);
    }
}

TEST(FlatInterfaceTest, ANullHandleGivesTheDocumentedResults)
{
    char out[kKVRDescriptorSize] = "x";
    double value = 9;
    EXPECT_EQ(KVR_ReadProperties(nullptr), 0);
    EXPECT_EQ(KVR_WriteProperties(nullptr), 0);
    EXPECT_EQ(KVR_ApplyFileSettings(nullptr), 0);
    EXPECT_EQ(KVR_Process(nullptr, 94, 94), 0);
    EXPECT_EQ(KVR_ProcessWithProgress(nullptr, nullptr, nullptr), 0);
    EXPECT_STREQ(KVR_GetLastError(nullptr), "");
    EXPECT_EQ(KVR_GetImageWidth(nullptr), 0);
    EXPECT_EQ(KVR_GetOutputHeight(nullptr), 0);
    EXPECT_EQ(KVR_GetOutputRowBytes(nullptr), 0);
    EXPECT_EQ(KVR_GetOutputRow(nullptr, 0, out), 0);
    EXPECT_EQ(KVR_GetOutputPixelFormat(nullptr), 0);
    EXPECT_EQ(KVR_SetOutputSize(nullptr, 1, 1), 0);
    EXPECT_EQ(KVR_SetCrop(nullptr, 0, 0, 1, 1), 0);
    EXPECT_EQ(KVR_SetColorAdjust(nullptr, 1, 1, 1), 0);
    EXPECT_EQ(KVR_GetAutoExposure(nullptr, &value), 0);
    EXPECT_EQ(KVR_GetProperty(nullptr, "ISO", out, sizeof out), 0);
    EXPECT_EQ(KVR_SetProperty(nullptr, "ISO", "1"), 0);
    EXPECT_EQ(KVR_GetNoiseReduction(nullptr, &value, &value), -1);
    EXPECT_EQ(KVR_GetFirstColorMode(nullptr), nullptr);
    EXPECT_EQ(KVR_GetNextIlluminant(nullptr, nullptr, out), nullptr);
    EXPECT_STREQ(out, "");
    EXPECT_EQ(KVR_CreateHandle(nullptr), nullptr);
    KVR_ReloadProperties(nullptr);
    KVR_Cancel(nullptr);
    KVR_SetExposure(nullptr, 1);
    KVR_EnableAutoAdjust(nullptr);
    KVR_DestroyHandle(nullptr);
    EXPECT_EQ(value, 9);
}
