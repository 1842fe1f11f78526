// The facade on the synthetic camera's raw files through the process-wide
// manager pool: a handle's life, progress and cancellation of a real
// development, settings written into a file and read back, every picture
// mode, and a full-size picture equal to the managers' own development.

#include "shell/facade/KVR_DevelopToDIB.h"

#include "engine/colour/TransformColor.h"
#include "foundation/FCache.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FPath.h"
#include "foundation/FPixmap.h"
#include "managers/FIPMImage.h"
#include "managers/FIPManagerPool.h"
#include "shell/facade/CKVR_Data_FileList.h"
#include "shell/facade/CKVR_FilterData.h"
#include "shell/facade/KVRPropsReader.h"
#include "shell/facade/KVR_EngineLock.h"
#include "shell/facade/KVR_Manager.h"
#include "support/BuildTree.h"
#include "support/SyntheticCamera.h"
#include "support/TempFileTest.h"
#include "support/TestSupport.h"
#include "toolkit/CET_Dib.h"
#include "FacadeFileTestSupport.h"
#include "FacadeTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

class SyntheticCameraTest : public SyntheticShotTest {
protected:
    static void SetUpTestSuite()
    {
        SetUpShot();
    }
    static void TearDownTestSuite()
    {
        SyntheticShotTest::TearDownTestSuite();
        SetIPManagerPoolSize(0);
        SetIPManagerPoolSize(4);
    }
    void SetUp() override
    {
        EmptyTheCache();
        m_Path = WriteShot("shot.kvr");
    }

    FString WriteShot(const std::string& name) const
    {
        s_Shot->file.WriteTo(PathOf(name));
        return PathFromNative(PathOf(name).string());
    }

    std::unique_ptr<CKVR_ImageHandle, void (*)(CKVR_ImageHandle*)> Open(const FString& path) const
    {
        return {KVR_OpenHandle(path.GetText()), KVR_CloseHandle};
    }

    static std::string Property(const CKVR_ImageHandle* handle, const char* name)
    {
        char value[256] = {};
        return KVR_GetProperty(handle, name, value, sizeof value) ? value : "<none>";
    }

    std::unique_ptr<IPManagerData> DirectRequest(int32_t kind, int32_t width, int32_t height, int32_t format) const
    {
        return PoolRequest(m_Path, kind, width, height, format);
    }

    FString m_Path;
    KVREngineLockScope m_EngineLock; // every test uses the pool as the user interface does
};


struct ProgressLog {
    std::vector<int> percentages;
    bool cancel = false;
    static int Callback(int percentage, void* user)
    {
        auto* log = static_cast<ProgressLog*>(user);
        log->percentages.push_back(percentage);
        return log->cancel ? 0 : 1;
    }
};

} // namespace

TEST_F(SyntheticCameraTest, AHandleGoesThroughItsStates)
{
    CKVR_ImageHandle* handle = KVR_CreateHandle(m_Path.GetText());
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(handle->GetState(), kHandleNew);
    EXPECT_EQ(KVR_GetImageWidth(handle), 0);

    ASSERT_EQ(KVR_ReadProperties(handle), 1) << KVR_GetLastError(handle);
    EXPECT_EQ(handle->GetState(), kHandlePropertiesRead);
    EXPECT_EQ(KVR_GetImageWidth(handle), int(Truth().outputColumns));
    EXPECT_EQ(KVR_GetImageHeight(handle), int(Truth().outputRows));
    EXPECT_EQ(Property(handle, "CAMMODEL"), "TALVO KT9");
    EXPECT_EQ(Property(handle, "WB_DESC"), Truth().whiteBalance);
    const std::vector<std::string>& pairs = handle->GetPropertyPairs();
    EXPECT_NE(std::find(pairs.begin(), pairs.end(), "ISO"), pairs.end());

    ASSERT_EQ(KVR_Process(handle, 94, 94), 1) << KVR_GetLastError(handle);
    EXPECT_EQ(handle->GetState(), kHandleProcessed);
    EXPECT_EQ(KVR_GetOutputPixelFormat(handle), 2);
    EXPECT_EQ(KVR_ProcessWithProgress(handle, nullptr, nullptr), 0) << "a processed handle is read again first";

    KVR_ReloadProperties(handle);
    EXPECT_EQ(handle->GetState(), kHandlePropertiesRead);
    KVR_SetOutputFormat(handle, 0);
    ASSERT_EQ(KVR_ProcessWithProgress(handle, nullptr, nullptr), 1) << KVR_GetLastError(handle);
    EXPECT_EQ(handle->GetState(), kHandleProcessed);
    EXPECT_EQ(KVR_GetOutputPixelFormat(handle), 1);
    EXPECT_EQ(KVR_GetOutputWidth(handle), int(Truth().outputColumns));
    EXPECT_EQ(KVR_GetOutputRowBytes(handle), int(Truth().outputColumns) * 3);
    KVR_DestroyHandle(handle);
}

TEST_F(SyntheticCameraTest, ADevelopmentReportsProgressAndStopsWhenTheCallbackSaysSo)
{
    auto handle = Open(m_Path);
    ASSERT_NE(handle, nullptr);
    ProgressLog log;
    KVRProgressContext context{handle.get(), ProgressLog::Callback, &log};
    ASSERT_EQ(KVR_ProcessWithProgress(handle.get(), KVR_ProgressTrampoline, &context), 1);
    EXPECT_TRUE(std::is_sorted(log.percentages.begin(), log.percentages.end()));
    if (!log.percentages.empty()) {
        EXPECT_GT(log.percentages.front(), 0);
        EXPECT_LE(log.percentages.back(), 100);
    }

    // Again from the start, cancelled at the first report.
    EmptyTheCache();
    auto cancelled = Open(m_Path);
    ASSERT_NE(cancelled, nullptr);
    KVR_SetExposure(cancelled.get(), 0.3);
    ProgressLog stop;
    stop.cancel = true;
    KVRProgressContext stopContext{cancelled.get(), ProgressLog::Callback, &stop};
    EXPECT_EQ(KVR_ProcessWithProgress(cancelled.get(), KVR_ProgressTrampoline, &stopContext), 0);
    // The managers stop at their next step; reports may come until then.
    ASSERT_FALSE(stop.percentages.empty());
    EXPECT_STREQ(KVR_GetLastError(cancelled.get()), "Load cancelled.");
    EXPECT_EQ(cancelled->GetState(), kHandleFailed);

    // The pool serves the next development as if nothing had happened.
    auto next = Open(m_Path);
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(KVR_Process(next.get(), 360, 360), 1) << KVR_GetLastError(next.get());
}

TEST_F(SyntheticCameraTest, WrittenSettingsAreTheOnlyChangeAndReadBack)
{
    auto handle = Open(m_Path);
    ASSERT_NE(handle, nullptr);
    const std::vector<std::string> before = handle->GetPropertyPairs();
    KVR_SetExposure(handle.get(), 0.5);
    KVR_SetColorAdjust(handle.get(), 1.0, 0.5, 1.0);
    KVR_SetWhiteBalance(handle.get(), "Shade");
    KVR_SetChromaNoise(handle.get(), 0.75);
    ASSERT_EQ(KVR_WriteProperties(handle.get()), 1) << KVR_GetLastError(handle.get());
    EXPECT_EQ(handle->GetState(), kHandlePropertiesRead);
    EXPECT_EQ(Property(handle.get(), "rpExposureCompensation"), "0.5000") << "read again after the write";
    handle.reset();

    auto reopened = Open(m_Path);
    ASSERT_NE(reopened, nullptr);
    EXPECT_EQ(Property(reopened.get(), "rpExposureCompensation"), "0.5000");
    EXPECT_EQ(Property(reopened.get(), "rpColorAdjust"), "30M");
    EXPECT_EQ(Property(reopened.get(), "WB_DESC"), "Shade");
    EXPECT_EQ(Property(reopened.get(), "rpChromaNoise"), "0.7500");
    EXPECT_EQ(Property(reopened.get(), "rpContrast"), "<none>") << "a value not set is not written";
    const std::vector<std::string>& after = reopened->GetPropertyPairs();
    for (size_t i = 0; i + 1 < before.size(); i += 2) {
        if (before[i] == "WB_DESC")
            continue;
        const auto at = std::find(after.begin(), after.end(), before[i]);
        ASSERT_NE(at, after.end()) << before[i];
        EXPECT_EQ(*(at + 1), before[i + 1]) << before[i];
    }
}

TEST_F(SyntheticCameraTest, ALockedFileIsNotWritten)
{
    const FString locked = WriteShot("locked.kvr");
    std::filesystem::permissions(PathOf("locked.kvr"), std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    const std::string bytesBefore = ReadFileBytes(PathOf("locked.kvr"));
    auto handle = Open(locked);
    ASSERT_NE(handle, nullptr);
    KVR_SetExposure(handle.get(), 1.0);
    EXPECT_EQ(KVR_WriteProperties(handle.get()), 0);
    EXPECT_EQ(std::string(KVR_GetLastError(handle.get())).rfind("Unable to set image properties: ", 0), 0u)
        << KVR_GetLastError(handle.get());
    EXPECT_EQ(handle->GetState(), kHandlePropertiesRead);
    EXPECT_EQ(ReadFileBytes(PathOf("locked.kvr")), bytesBefore);
}

TEST_F(SyntheticCameraTest, EachPictureModeHasItsSizeAndPixelFormat)
{
    const int columns = int(Truth().outputColumns), rows = int(Truth().outputRows);
    struct Case {
        int mode;
        unsigned divisor;
        int previewSide; // 0: a full development
        int bitCount;
        int width, height;
    };
    const Case cases[] = {
        {kDevelopPreview360, 1, 360, 32, 0, 0}, {kDevelopPreview600, 1, 600, 32, 0, 0},
        {kDevelopPreview94, 1, 94, 32, 0, 0},   {kDevelopFull48, 1, 0, 48, columns, rows},
        {kDevelopFull24, 1, 0, 24, columns, rows}, {kDevelopFull24, 2, 0, 24, columns / 2, rows / 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("mode " + std::to_string(c.mode) + " divisor " + std::to_string(c.divisor));
        int width = c.width, height = c.height;
        if (c.previewSide) {
            // The size the preview manager gives for the request.
            auto direct = DirectRequest(kIPRequestPreview, c.previewSide, c.previewSide, kDisplay);
            ASSERT_EQ(RunOnPool(*direct), kIPStatusDone);
            width = direct->m_pResultImage->GetPixmap()->m_iColumns;
            height = direct->m_pResultImage->GetPixmap()->m_iRows;
        }
        int size[2] = {};
        std::unique_ptr<CET_Dib> picture(
            KVR_DevelopFileToBitmap(m_Path.GetText(), c.mode, c.divisor, nullptr, nullptr, nullptr, nullptr, size));
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(picture->GetBitCount(), c.bitCount);
        EXPECT_EQ(picture->GetWidth(), width);
        EXPECT_EQ(picture->GetHeight(), height);
        EXPECT_EQ(picture->size, uint32_t(DibRowBytes(width, c.bitCount) * height));
        EXPECT_EQ(size[0], columns);
        EXPECT_EQ(size[1], rows);
    }
}

TEST_F(SyntheticCameraTest, AFullSizePictureEqualsTheManagersOwnDevelopment)
{
    CKVR_FilterData settings;
    settings.m_nExposure = 40;
    settings.m_nContrast = 25;
    settings.m_nSaturation = -10;
    settings.m_nCyan = 10;
    BITMAPINFOHEADER header;
    const DibBits dib(KVR_DevelopFileToDIB(m_Path.GetText(), &header, kDevelopFull24, 1, &settings, nullptr, nullptr,
                                           nullptr, nullptr));
    ASSERT_NE(dib.bits, nullptr);

    EmptyTheCache();
    const int columns = int(Truth().outputColumns), rows = int(Truth().outputRows);
    auto direct = DirectRequest(kIPRequestDevelop, columns, rows, kRGB24);
    KVR_ApplyFilterDataToRequest(direct.get(), &settings);
    ASSERT_EQ(RunOnPool(*direct), kIPStatusDone);
    const FPixmap& pixmap = *direct->m_pResultImage->GetPixmap();
    ASSERT_EQ(header.biWidth, pixmap.m_iColumns);
    ASSERT_EQ(header.biHeight, pixmap.m_iRows);

    const int64_t stored = DibRowBytes(columns, 24);
    int worst = 0;
    for (int y = 0; y < rows; ++y) {
        const uint8_t* expected = pixmap.GetRow(y);
        const uint8_t* row = dib.bits + (rows - 1 - y) * stored;
        for (int x = 0; x < columns; ++x)
            for (int c = 0; c < 3; ++c)
                worst = std::max(worst, std::abs(int(row[3 * x + 2 - c]) - int(expected[3 * x + c])));
        for (int64_t i = int64_t(columns) * 3; i < stored; ++i)
            EXPECT_EQ(row[i], 0);
    }
    EXPECT_LE(worst, 1);
}

TEST_F(SyntheticCameraTest, TheCamerasListsAreReadWithoutThePool)
{
    struct Case {
        KVRPropsReader* (*create)(const char16_t*);
        const FPropPair* (*first)(const KVRPropsReader*);
        const FPropPair* (*next)(const KVRPropsReader*, const FPropPair*, char*);
        const char* expected;
    };
    const Case cases[] = {
        {KVR_CreateIlluminantList, KVR_GetFirstIlluminant, KVR_GetNextIlluminant, "Daylight"},
        {KVR_CreateColorModeList, KVR_GetFirstColorMode, KVR_GetNextColorMode, "Standard"},
    };
    WriteFileBytes(PathOf("text.kvr"), "no raw file");
    const FString text = PathFromNative(PathOf("text.kvr").string());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        std::unique_ptr<KVRPropsReader> reader(c.create(m_Path.GetText()));
        ASSERT_NE(reader, nullptr);
        std::vector<std::string> names;
        char descriptor[kKVRDescriptorSize];
        for (const FPropPair* pair = c.first(reader.get()); pair;)
            pair = c.next(reader.get(), pair, descriptor), names.emplace_back(descriptor);
        EXPECT_NE(std::find(names.begin(), names.end(), c.expected), names.end());

        std::unique_ptr<KVRPropsReader> none(c.create(text.GetText()));
        ASSERT_NE(none, nullptr);
        EXPECT_EQ(c.first(none.get()), nullptr);
    }
}
