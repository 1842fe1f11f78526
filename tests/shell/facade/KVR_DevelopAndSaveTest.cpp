// Develop-and-save jobs: the request a job becomes, jobs refused before
// anything opens, the two progress halves around an automatic pass,
// cancellation and failure in either pass (no file, the engine lock free),
// "as shot" with the file's settings, and saved files that other programs read
// with their EXIF items, thumbnail and colour profile.

#include "shell/facade/KVR_DevelopAndSave.h"

#include "engine/colour/TransformColor.h"
#include "foundation/FColorAdjust.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FPath.h"
#include "managers/FIPManagerPool.h"
#include "managers/IPManagerData.h"
#include "shell/facade/CKVR_FilterData.h"
#include "shell/facade/CSaveJob.h"
#include "support/BuildTree.h"
#include "support/SyntheticCamera.h"
#include "support/TempFileTest.h"
#include "support/TestSupport.h"
#include "FacadeFileTestSupport.h"
#include "FacadeTestSupport.h"
#include "ScriptedManager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

struct ProgressLog {
    std::vector<int> percentages;
    int cancelAt = -1; // the report (counted from 0) that returns 0
    static int Callback(int percentage, void* user)
    {
        auto* log = static_cast<ProgressLog*>(user);
        log->percentages.push_back(percentage);
        return int(log->percentages.size()) - 1 == log->cancelAt ? 0 : 1;
    }
};

// The output of a command line and its exit status.
struct CommandResult {
    int status = -1;
    std::string output;
};

CommandResult RunCommand(const std::string& command)
{
    CommandResult result;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return result;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        result.output.append(buffer, n);
    result.status = pclose(pipe);
    return result;
}

class DevelopAndSaveTest : public SyntheticShotTest {
protected:
    static void SetUpTestSuite()
    {
        SyntheticOptions options;
        options.shot = SyntheticShot::DaylightIso800Auto;
        SetUpShot(options);
    }
    static void TearDownTestSuite()
    {
        SyntheticShotTest::TearDownTestSuite();
    }
    void SetUp() override
    {
        EmptyTheCache();
        s_Shot->file.WriteTo(PathOf("shot.kvr"));
        m_Job.m_nSettingMode = 1;
        m_Job.m_aInputs = {Native("shot.kvr")};
        m_Job.m_aOutputs = {Native("shot.jpg")};
    }

    FString Native(const std::string& name) const { return PathFromNative(PathOf(name).string()); }
    // The folder holds no file but the raw file (no output, no temporary file).
    bool OnlyTheRawFileIsLeft() const
    {
        for (const auto& entry : std::filesystem::directory_iterator(m_Dir.Path()))
            if (entry.path().filename() != "shot.kvr")
                return false;
        return true;
    }

    RecordingApplicationState m_State;
    CSaveJob m_Job;
};


} // namespace

TEST_F(DevelopAndSaveTest, TheRequestCarriesTheJobsChoices)
{
    struct Case {
        const char* name;
        int settingMode, sizeMode, colorSpace, fileType;
        int width, height; // of the image
        int32_t settingCode, fileTypeCode, format, quality, colorSpaceCode;
        FIntSize output;
    };
    const Case cases[] = {
        {"JPEG in sRGB", 1, 0, 0, 0, 4000, 3000, kIPSettingModeRawFile, 2, kRGB24, 7, 2, {4000, 3000}},
        {"24-bit TIFF, half size", 2, 1, 1, 1, 4000, 3000, kIPSettingModeAutomatic, 1, kRGB24, 24, 4, {2000, 1500}},
        {"48-bit TIFF, half an odd size", 3, 1, 2, 2, 4001, 3001, kIPSettingModeCustom, 1, kRGB48, 48, 3,
         {2000, 1500}},
        {"double size", 4, 2, 3, 0, 4001, 3001, kIPSettingModeCustom, 2, kRGB24, 7, 8, {8002, 6002}},
        {"ROMM", 1, 0, 4, 2, 100, 50, kIPSettingModeRawFile, 1, kRGB48, 48, 11, {100, 50}},
    };
    CKVR_FilterData settings;
    settings.m_strName = u"Warm";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_Job.m_nSettingMode = c.settingMode;
        m_Job.m_nSizeMode = c.sizeMode;
        m_Job.m_nColorSpace = c.colorSpace;
        m_Job.m_nFileType = c.fileType;
        m_Job.m_nJpegQuality = 7;
        IPManagerData request;
        KVR_FillSaveRequest(request, m_Job, c.settingMode >= 3 ? &settings : nullptr, c.width, c.height);
        EXPECT_EQ(request.m_eKind, kIPRequestSave);
        EXPECT_EQ(request.m_sURL, UrlOfPath(PathOf("shot.kvr")));
        EXPECT_EQ(request.m_sOutputPath, UrlOfPath(PathOf("shot.jpg")));
        EXPECT_EQ(request.m_iSettingMode, c.settingCode);
        EXPECT_EQ(request.m_sSettingName, FString(c.settingMode >= 3 ? u"Warm" : u""));
        EXPECT_EQ(request.m_iFileType, c.fileTypeCode);
        EXPECT_EQ(request.m_eOutputFormat, c.format);
        EXPECT_EQ(request.m_iQuality, c.quality);
        EXPECT_EQ(request.m_iColorSpace, c.colorSpaceCode);
        EXPECT_EQ(request.m_OutputSize.width, c.output.width);
        EXPECT_EQ(request.m_OutputSize.height, c.output.height);
        EXPECT_EQ(Sides(request.m_Crop), (std::array<int, 4>{0, 0, c.output.width, c.output.height}));
        EXPECT_TRUE(request.m_bAccurateDCT);
        EXPECT_EQ(request.m_Version.minor, 1);
        EXPECT_EQ(request.m_Version.revision, 7);
        EXPECT_EQ(request.m_sSoftwareName, FString(u"TALVO Lumitra"));
    }
}

TEST_F(DevelopAndSaveTest, TheRequestTakesTheKnownSettings)
{
    CKVR_FilterData settings;
    settings.m_nExposure = 150;
    settings.m_nContrast = kKVRUnsetValue;
    settings.m_nFillLight = -25;
    settings.m_nMagenta = 30;
    settings.m_nChromaNoise = 3;
    settings.m_nLumaNoise = -1; // not known: the request's own strength
    IPManagerData request;
    request.m_dContrast = 0.125;
    KVR_FillSaveRequest(request, m_Job, &settings, 400, 300);
    EXPECT_DOUBLE_EQ(request.m_dExposure, 1.5);
    EXPECT_DOUBLE_EQ(request.m_dContrast, 0.125);
    EXPECT_DOUBLE_EQ(request.m_dFillLight, -0.25);
    EXPECT_DOUBLE_EQ(request.m_ColorAdjust.g, CMYToColorAdjustGains(0, 30, 0).g);
    EXPECT_DOUBLE_EQ(request.m_dChromaNoise, 0.75);
    EXPECT_DOUBLE_EQ(request.m_dLumaNoise, 0.5);
}

TEST_F(DevelopAndSaveTest, AJobThatCannotBeSavedIsRefusedBeforeAnythingOpens)
{
    WriteFileBytes(PathOf("text.kvr"), "no raw file");
    struct Case {
        const char* name;
        void (*change)(CSaveJob&);
        int result;
    };
    const Case cases[] = {
        {"size mode 3", [](CSaveJob& j) { j.m_nSizeMode = 3; }, kSaveFailed},
        {"size mode -1", [](CSaveJob& j) { j.m_nSizeMode = -1; }, kSaveFailed},
        {"a named setting without settings", [](CSaveJob& j) { j.m_nSettingMode = 3; }, kSaveFailed},
        {"a user setting without settings", [](CSaveJob& j) { j.m_nSettingMode = 4; }, kSaveFailed},
        {"setting mode 0", [](CSaveJob& j) { j.m_nSettingMode = 0; }, kSaveFailed},
        {"colour space 5", [](CSaveJob& j) { j.m_nColorSpace = 5; }, kSaveFailed},
        {"file type 3", [](CSaveJob& j) { j.m_nFileType = 3; }, kSaveFailed},
        {"no output", [](CSaveJob& j) { j.m_aOutputs.clear(); }, kSaveFailed},
        {"a missing input", [](CSaveJob& j) { j.m_aInputs = {FString(u"/no/such/file.kvr")}; }, kSaveInputNotRaw},
        {"a folder", [](CSaveJob& j) { j.m_aInputs = {PathParent(j.m_aInputs[0])}; }, kSaveInputNotRaw},
        {"no raw file", [](CSaveJob& j) { j.m_aInputs = {PathJoin(PathParent(j.m_aInputs[0]), u"text.kvr")}; },
         kSaveInputNotRaw},
    };
    ScriptedManager worker;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CSaveJob job;
        job.m_nSettingMode = m_Job.m_nSettingMode;
        job.m_aInputs = m_Job.m_aInputs;
        job.m_aOutputs = m_Job.m_aOutputs;
        c.change(job);
        ProgressLog log;
        EXPECT_EQ(KVR_DevelopAndSaveOn(&worker, &job, ProgressLog::Callback, &log, nullptr), c.result);
        EXPECT_TRUE(log.percentages.empty());
        EXPECT_TRUE(worker.seen.empty());
        EXPECT_TRUE(EngineLockIsFree());
    }
    EXPECT_EQ(KVR_DevelopAndSave(nullptr, nullptr, nullptr, nullptr), kSaveFailed);
}

TEST_F(DevelopAndSaveTest, AnAutomaticPassReportsTheFirstHalfAndFeedsTheSave)
{
    ScriptedManager worker;
    worker.pause = std::chrono::milliseconds(110);
    worker.autoProgress = {0.2, 0.6, 1.0};
    worker.developProgress = {0.1, 0.5, 0.9, 1.0};
    m_Job.m_nSettingMode = 2;
    ProgressLog log;
    CKVR_FilterData computed;
    ASSERT_EQ(KVR_DevelopAndSaveOn(&worker, &m_Job, ProgressLog::Callback, &log, &computed), kSaveDone);

    ASSERT_EQ(worker.seen.size(), 2u);
    EXPECT_EQ(worker.seen[0].kind, kIPRequestAutoAdjust);
    EXPECT_EQ(worker.seen[1].kind, kIPRequestSave);
    EXPECT_DOUBLE_EQ(worker.seen[1].exposure, worker.autoExposure) << "the save develops with the computed values";
    EXPECT_DOUBLE_EQ(worker.seen[1].colorAdjust.b, 0.5);

    ASSERT_FALSE(log.percentages.empty());
    EXPECT_TRUE(std::is_sorted(log.percentages.begin(), log.percentages.end()));
    const auto second = std::find_if(log.percentages.begin(), log.percentages.end(), [](int p) { return p > 50; });
    EXPECT_NE(log.percentages.begin(), second) << "the automatic pass reports first";
    EXPECT_NE(second, log.percentages.end()) << "the save reports above 50";
    EXPECT_LE(log.percentages.back(), 100);

    EXPECT_EQ(AutoFieldsOf(computed), kScriptedAutoFields);
    EXPECT_TRUE(EngineLockIsFree());
}

TEST_F(DevelopAndSaveTest, CancellingOrFailingEitherPassEndsTheJob)
{
    struct Case {
        const char* name;
        int settingMode;
        int cancelAt;     // report that cancels, -1 none
        int32_t failKind; // request kind that fails
        int result;
        std::vector<int32_t> kinds; // requests the worker saw
    };
    const Case cases[] = {
        {"cancel in the automatic pass", 2, 0, kIPRequestNone, kSaveCancelled, {kIPRequestAutoAdjust}},
        {"cancel in the save after an automatic pass", 2, 2, kIPRequestNone, kSaveCancelled,
         {kIPRequestAutoAdjust, kIPRequestSave}},
        {"cancel in the save", 1, 0, kIPRequestNone, kSaveCancelled, {kIPRequestSave}},
        {"a failed automatic pass", 2, -1, kIPRequestAutoAdjust, kSaveFailed, {kIPRequestAutoAdjust}},
        {"a failed save", 1, -1, kIPRequestSave, kSaveFailed, {kIPRequestSave}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedManager worker;
        worker.pause = std::chrono::milliseconds(110);
        worker.autoProgress = {0.3, 0.6};
        worker.developProgress = {0.3, 0.6, 0.9};
        worker.failKind = c.failKind;
        m_Job.m_nSettingMode = c.settingMode;
        ProgressLog log;
        log.cancelAt = c.cancelAt;
        EXPECT_EQ(KVR_DevelopAndSaveOn(&worker, &m_Job, ProgressLog::Callback, &log, nullptr), c.result);
        std::vector<int32_t> kinds;
        for (const SeenRequest& seen : worker.seen)
            kinds.push_back(seen.kind);
        EXPECT_EQ(kinds, c.kinds);
        EXPECT_TRUE(EngineLockIsFree());
    }
}

TEST_F(DevelopAndSaveTest, SettingsComeFromTheFileOrTheRecordWithTheFilesNoise)
{
    {
        KVREngineLockScope lock;
        CKVR_ImageHandle* handle = KVR_OpenHandle(Native("shot.kvr").GetText());
        ASSERT_NE(handle, nullptr);
        KVR_SetExposure(handle, 0.5);
        KVR_SetChromaNoise(handle, 0.6); // quarter steps: 2, that is 0.5
        KVR_SetLumaNoise(handle, 0.75);
        ASSERT_EQ(KVR_WriteProperties(handle), 1);
        KVR_CloseHandle(handle);
    }
    CKVR_FilterData preset;
    preset.m_strName = u"Bright";
    preset.m_nExposure = 100;
    struct Case {
        const char* name;
        int settingMode;
        const CKVR_FilterData* settings;
        double exposure, chroma, luma;
    };
    const Case cases[] = {
        {"as shot", 1, nullptr, 0.5, 0.5, 0.75},
        {"a named setting", 3, &preset, 1.0, 0.5, 0.75},
        {"automatic with a record: the record's noise", 2, &preset, 1.0, 0.5, 0.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedManager worker;
        m_Job.m_nSettingMode = c.settingMode;
        m_Job.FreeSettings();
        if (c.settings)
            m_Job.m_pSettings = static_cast<CKVR_FilterData*>(c.settings->Clone());
        ASSERT_EQ(KVR_DevelopAndSaveOn(&worker, &m_Job, nullptr, nullptr, nullptr), kSaveDone);
        ASSERT_EQ(worker.seen.size(), 1u);
        EXPECT_DOUBLE_EQ(worker.seen[0].exposure, c.exposure);
        EXPECT_DOUBLE_EQ(worker.seen[0].chromaNoise, c.chroma);
        EXPECT_DOUBLE_EQ(worker.seen[0].lumaNoise, c.luma);
        EXPECT_EQ(worker.seen[0].outputSize.width, int(Truth().outputColumns));
    }
    EXPECT_EQ(preset.m_nChromaNoise, -1) << "the job's record is never changed";
}

TEST_F(DevelopAndSaveTest, SavedFilesAreReadableByOtherPrograms)
{
    struct Case {
        const char* name;
        const char* file;
        int fileType;
        const char* tool;
        std::vector<std::string> toolSays;
        bool profile; // a JPEG in sRGB carries none
    };
    const Case cases[] = {
        {"JPEG", "shot.jpg", 0, "djpeg -outfile /dev/null", {}, false},
        {"48-bit TIFF", "shot.tif", 2, "tiffinfo", {"Bits/Sample: 16", "ICC Profile: <present>"}, true},
    };
    // Pillow: the size, the EXIF camera, exposure and ISO, the thumbnail (the
    // JPEG's in IFD1, the TIFF's as an image resource) and the colour profile.
    const std::string script = R"PY(
import sys
from PIL import Image
im = Image.open(sys.argv[1])
im.load()
exif = im.getexif()
ifd = exif.get_ifd(0x8769)
if sys.argv[1].endswith('.jpg'):
    thumbnail = exif.get_ifd(-1).get(0x0201) is not None
else:
    resources = exif.get(34377, b'')
    thumbnail = b'8BIM\x04\x0c' in resources or b'8BIM\x04\x09' in resources
print('size', im.size[0], im.size[1])
print('model', exif.get(0x0110))
print('exposure %.6f' % float(ifd.get(0x829A, 0)))
print('iso', ifd.get(0x8827))
print('thumbnail', thumbnail)
print('profile', len(im.info.get('icc_profile') or b'') > 0)
)PY";
    WriteFileBytes(PathOf("check.py"), script);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_Job.m_nFileType = c.fileType;
        m_Job.m_aOutputs = {Native(c.file)};
        ProgressLog log;
        ASSERT_EQ(KVR_DevelopAndSave(&m_Job, ProgressLog::Callback, &log, nullptr), kSaveDone);
        EXPECT_TRUE(EngineLockIsFree());
        EXPECT_TRUE(std::is_sorted(log.percentages.begin(), log.percentages.end()));
        EXPECT_TRUE(log.percentages.empty() || log.percentages.back() <= 100);

        const std::string path = PathOf(c.file).string();
        const CommandResult tool = RunCommand(std::string(c.tool) + " '" + path + "'");
        EXPECT_EQ(tool.status, 0) << tool.output;
        for (const std::string& text : c.toolSays)
            EXPECT_NE(tool.output.find(text), std::string::npos) << text << " in\n" << tool.output;

        const CommandResult pillow = RunCommand("/usr/bin/python3 '" + PathOf("check.py").string() + "' '" + path + "'");
        ASSERT_EQ(pillow.status, 0) << pillow.output;
        const std::string& said = pillow.output;
        EXPECT_NE(said.find("size " + std::to_string(Truth().outputColumns) + " " +
                            std::to_string(Truth().outputRows)),
                  std::string::npos)
            << said;
        char exposure[64];
        std::snprintf(exposure, sizeof exposure, "exposure %.6f", Truth().exposureSeconds);
        EXPECT_NE(said.find("model TALVO KT9"), std::string::npos) << said;
        EXPECT_NE(said.find(exposure), std::string::npos) << said;
        EXPECT_NE(said.find("iso 800"), std::string::npos) << said;
        EXPECT_NE(said.find("thumbnail True"), std::string::npos) << said;
        EXPECT_NE(said.find(c.profile ? "profile True" : "profile False"), std::string::npos) << said;
    }
}

TEST_F(DevelopAndSaveTest, ACancelledSaveLeavesNoFile)
{
    struct Case {
        const char* name;
        int settingMode;
        int fileType;
    };
    const Case cases[] = {
        {"cancelled in the automatic pass", 2, 0},
        {"cancelled in the save", 1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EmptyTheCache();
        m_Job.m_nSettingMode = c.settingMode;
        m_Job.m_nFileType = c.fileType;
        ProgressLog log;
        log.cancelAt = 0;
        EXPECT_EQ(KVR_DevelopAndSave(&m_Job, ProgressLog::Callback, &log, nullptr), kSaveCancelled);
        ASSERT_FALSE(log.percentages.empty());
        EXPECT_LE(log.percentages.front(), c.settingMode == 2 ? 50 : 100);
        EXPECT_TRUE(OnlyTheRawFileIsLeft());
        EXPECT_TRUE(EngineLockIsFree());
    }
}
