// Settings kept in a raw file's header, on the synthetic camera's files
// through the manager pool: rotation arithmetic, locked files, adjustments
// and noise written and read back, the white-balance and colour-mode lists
// with the program's own choices, writes only when something changes, and the
// neutral gains at a point.

#include "shell/facade/KVR_FileSettings.h"

#include "engine/colour/TransformColor.h"
#include "foundation/FPath.h"
#include "shell/facade/CKVR_FilterData.h"
#include "support/BuildTree.h"
#include "support/SyntheticCamera.h"
#include "support/TempFileTest.h"
#include "support/TestSupport.h"
#include "FacadeFileTestSupport.h"
#include "FacadeTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

class FileSettingsTest : public SyntheticShotTest {
protected:
    static void SetUpTestSuite()
    {
        SetUpShot();
    }
    static void TearDownTestSuite()
    {
        SyntheticShotTest::TearDownTestSuite();
    }
    void SetUp() override
    {
        EmptyTheCache();
        m_Path = Write("shot.kvr", s_Shot->file.bytes);
    }
    void TearDown() override { EXPECT_TRUE(EngineLockIsFree()); }

    FString Write(const std::string& name, const PdxbBytes& bytes) const
    {
        WriteFileBytes(PathOf(name), std::string(bytes.begin(), bytes.end()));
        return PathFromNative(PathOf(name).string());
    }
    // The camera's file with its header rotation set to a stored word (a file
    // of its own: the managers know a file by its path and identifier).
    FString WriteWithRotation(uint32_t stored) const
    {
        PdxbFile file = s_Shot->file;
        PatchU32(file.bytes, PdxbHeaderLayout(PeekU32(file.bytes, 4)).rotation, stored);
        return Write("turned-" + std::to_string(stored) + ".kvr", file.bytes);
    }
    // The camera's file without the capture property of that key (renamed).
    FString WriteWithout(const std::u16string& key, const std::string& name) const
    {
        PdxbFile file = s_Shot->file;
        const std::string keyBytes(reinterpret_cast<const char*>(key.data()), key.size() * 2);
        const size_t at = std::string(file.bytes.begin(), file.bytes.end()).find(keyBytes);
        EXPECT_NE(at, std::string::npos);
        file.bytes[at + keyBytes.size() - 2] = 'X';
        return Write(name, file.bytes);
    }
    std::string Property(const char* name) const { return FileProperty(m_Path, name); }
    static void MakeReadOnly(const FString& path)
    {
        std::string native;
        PathToNative(path, native);
        std::filesystem::permissions(native, std::filesystem::perms::owner_write | std::filesystem::perms::group_write |
                                                 std::filesystem::perms::others_write,
                                     std::filesystem::perm_options::remove);
    }
    static bool IsReadOnly(const FString& path)
    {
        std::string native;
        PathToNative(path, native);
        return (std::filesystem::status(native).permissions() & std::filesystem::perms::owner_write) ==
               std::filesystem::perms::none;
    }
    template <class T>
    static std::vector<std::string> Descriptors(const CKVR_Data_FileList<T>& list)
    {
        std::vector<std::string> descriptors;
        for (int i = 0; i < list.GetCount(); ++i)
            descriptors.emplace_back(list.GetAt(i)->m_szDesc);
        return descriptors;
    }
    template <class T>
    static std::string NameOf(const CKVR_Data_FileList<T>& list, const char* descriptor)
    {
        for (int i = 0; i < list.GetCount(); ++i)
            if (std::string(list.GetAt(i)->m_szDesc) == descriptor)
                return list.GetAt(i)->m_strName.GetAscii();
        return "<none>";
    }
    template <class T>
    static int IndexOf(const CKVR_Data_FileList<T>& list, const char* descriptor)
    {
        const std::vector<std::string> all = Descriptors(list);
        const auto at = std::find(all.begin(), all.end(), descriptor);
        return at == all.end() ? -1 : int(at - all.begin());
    }

    RecordingApplicationState m_State;
    FString m_Path;
};


} // namespace

TEST_F(FileSettingsTest, ARotationTurnsAQuarterAndStaysWithinAFullTurn)
{
    struct Case {
        uint32_t stored;
        int direction;
        const char* written;
    };
    const Case cases[] = {
        {270, 1, "0"},   {270, 0, "180"}, {0, 1, "90"},   {0, 0, "270"},
        {450, 1, "180"}, {uint32_t(-90), 1, "0"}, {uint32_t(-90), 0, "180"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(int32_t(c.stored)) + (c.direction ? " clockwise" : " counter-clockwise"));
        EmptyTheCache();
        const FString path = WriteWithRotation(c.stored);
        EXPECT_EQ(KVR_RotateFile(path.GetText(), c.direction), 1);
        EXPECT_EQ(FileProperty(path, "ROTATION"), c.written);
    }
}

TEST_F(FileSettingsTest, ALockedFileIsTurnedAndStaysLocked)
{
    MakeReadOnly(m_Path);
    EXPECT_EQ(KVR_RotateFile(m_Path.GetText(), 1), 1);
    EXPECT_EQ(Property("ROTATION"), "90");
    EXPECT_TRUE(IsReadOnly(m_Path));

    // A locked file that is no raw file is left as it was, still locked.
    WriteFileBytes(PathOf("text.kvr"), "no raw file");
    const FString text = PathFromNative(PathOf("text.kvr").string());
    MakeReadOnly(text);
    EXPECT_EQ(KVR_RotateFile(text.GetText(), 1), 0);
    EXPECT_TRUE(IsReadOnly(text));
    EXPECT_EQ(ReadFileBytes(PathOf("text.kvr")), "no raw file");

    EXPECT_EQ(KVR_RotateFile(PathFromNative(PathOf("missing.kvr").string()).GetText(), 1), 0);
    EXPECT_EQ(KVR_RotateFile(PathFromNative(m_Dir.Path().string()).GetText(), 1), 0);
    EXPECT_EQ(KVR_RotateFile(nullptr, 1), 0);
}

TEST_F(FileSettingsTest, MarkBitsAreReadFromTheFile)
{
    int bits = -1;
    EXPECT_EQ(KVR_GetFileMarkBits(m_Path.GetText(), &bits), 1);
    EXPECT_EQ(bits, 0);
    {
        KVREngineLockScope lock;
        CKVR_ImageHandle* handle = KVR_OpenHandle(m_Path.GetText());
        KVR_SetProperty(handle, "MARKBITS", "5");
        ASSERT_EQ(KVR_WriteProperties(handle), 1);
        EXPECT_EQ(KVR_GetMarkBits(handle, &bits), 1);
        EXPECT_EQ(bits, 5);
        KVR_CloseHandle(handle);
    }
    EXPECT_EQ(KVR_GetFileMarkBits(PathFromNative(PathOf("missing.kvr").string()).GetText(), &bits), 0);
    EXPECT_EQ(KVR_GetMarkBits(nullptr, &bits), 0);
}

TEST_F(FileSettingsTest, AdjustmentsAreWrittenAndReadBackAsStored)
{
    CKVR_FilterData written;
    written.m_nExposure = 150;
    written.m_nContrast = 29;
    written.m_nShadow = kKVRUnsetValue; // the file keeps what it has (nothing)
    written.m_nFillLight = -5;
    written.m_nCyan = 10;
    written.m_nMagenta = 5;
    ASSERT_EQ(KVR_WriteFileFilterData(m_Path.GetText(), &written), 1);
    EXPECT_EQ(Property("rpExposureCompensation"), "1.5000");
    EXPECT_EQ(Property("rpContrast"), "0.2900");
    EXPECT_EQ(Property("rpShadow"), "<none>");
    EXPECT_EQ(Property("rpFillFlash"), "-0.0500");
    EXPECT_EQ(Property("rpColorAdjust"), "10C+5M");

    KVREngineLockScope lock;
    CKVR_ImageHandle* handle = KVR_OpenHandle(m_Path.GetText());
    CKVR_FilterData read;
    read.m_nWhiteBalance = 3;
    read.m_nChromaNoise = 2;
    EXPECT_EQ(KVR_GetFilterData(handle, &read, 0, 0, nullptr, nullptr), 0) << "the shadow is missing";
    EXPECT_EQ(read.m_nExposure, 150);
    EXPECT_EQ(read.m_nContrast, 29) << "read back rounded, not truncated";
    EXPECT_EQ(read.m_nShadow, 0);
    EXPECT_EQ(read.m_nFillLight, -5);
    EXPECT_EQ(read.m_nCyan, 10);
    EXPECT_EQ(read.m_nMagenta, 5);
    EXPECT_EQ(read.m_nAuto, 0);
    EXPECT_EQ(read.m_nWhiteBalance, 3) << "white balance, colour mode and noise stay";
    EXPECT_EQ(read.m_nChromaNoise, 2);

    KVR_SetProperty(handle, "rpShadow", "0.1500");
    ASSERT_EQ(KVR_WriteProperties(handle), 1);
    EXPECT_EQ(KVR_GetFilterData(handle, &read, 0, 0, nullptr, nullptr), 1);
    EXPECT_EQ(read.m_nShadow, 15);
    KVR_CloseHandle(handle);
    EXPECT_EQ(KVR_GetFilterData(nullptr, &read, 0, 0, nullptr, nullptr), 0);
}

TEST_F(FileSettingsTest, AFileWithoutColourCompensationReadsZeroAndSaysSo)
{
    KVREngineLockScope lock;
    CKVR_ImageHandle* handle = KVR_OpenHandle(m_Path.GetText());
    for (const char* key : {"rpExposureCompensation", "rpContrast", "rpShadow", "rpHighlight", "rpSaturation",
                            "rpSharpness", "rpFillFlash"})
        KVR_SetProperty(handle, key, "0.2500");
    ASSERT_EQ(KVR_WriteProperties(handle), 1);
    CKVR_FilterData read;
    read.m_nCyan = 7;
    EXPECT_EQ(KVR_GetFilterData(handle, &read, 0, 0, nullptr, nullptr), 0);
    EXPECT_EQ(read.m_nSharpness, 25);
    EXPECT_EQ(read.m_nCyan, 0);
    KVR_CloseHandle(handle);
}

TEST_F(FileSettingsTest, AFailedWriteIsNotReportedAsDone)
{
    MakeReadOnly(m_Path);
    const std::string before = ReadFileBytes(PathOf("shot.kvr"));
    CKVR_FilterData settings;
    settings.m_nExposure = 50;
    settings.m_nChromaNoise = 3;
    EXPECT_EQ(KVR_WriteFileFilterData(m_Path.GetText(), &settings), 0);
    EXPECT_EQ(KVR_WriteFileNoiseReduction(m_Path.GetText(), &settings), 0);
    EXPECT_TRUE(m_State.removed.empty()) << "nothing changed, nothing to forget";
    EXPECT_EQ(ReadFileBytes(PathOf("shot.kvr")), before);
}

TEST_F(FileSettingsTest, TheAutomaticValuesComeFromARun)
{
    KVREngineLockScope lock;
    CKVR_ImageHandle* handle = KVR_OpenHandle(m_Path.GetText());
    CKVR_FilterData settings;
    EXPECT_EQ(KVR_GetFilterData(handle, &settings, 1, 0, nullptr, nullptr), 0) << "nothing has run yet";
    KVR_SetOutputSize(handle, 120, 90);
    KVR_SetCrop(handle, 0, 0, 120, 90);
    settings.m_nSharpness = 40;
    ASSERT_EQ(KVR_GetFilterData(handle, &settings, 1, 1, nullptr, nullptr), 1) << KVR_GetLastError(handle);
    EXPECT_EQ(settings.m_nAuto, 1);
    EXPECT_EQ(settings.m_nSharpness, 0);
    double exposure = 0;
    ASSERT_EQ(KVR_GetAutoExposure(handle, &exposure), 1);
    EXPECT_EQ(settings.m_nExposure, TruncateToInt(exposure * 100));
    KVR_CloseHandle(handle);
}

TEST_F(FileSettingsTest, NoiseStepsAreWrittenInQuarters)
{
    CKVR_FilterData settings;
    settings.m_nChromaNoise = 3;
    settings.m_nLumaNoise = 1;
    ASSERT_EQ(KVR_WriteFileNoiseReduction(m_Path.GetText(), &settings), 1);
    EXPECT_EQ(Property("rpChromaNoise"), "0.7500");
    EXPECT_EQ(Property("rpLumaNoise"), "0.2500");
    ASSERT_EQ(m_State.removed.size(), 1u) << "the file's cached shooting information is dropped";
    EXPECT_EQ(m_State.removed[0], m_Path);

    settings.m_nChromaNoise = -1; // not known: the file keeps its value
    settings.m_nLumaNoise = 0;
    ASSERT_EQ(KVR_WriteFileNoiseReduction(m_Path.GetText(), &settings), 1);
    EXPECT_EQ(Property("rpChromaNoise"), "0.7500");
    EXPECT_EQ(Property("rpLumaNoise"), "0.0000");
}

TEST_F(FileSettingsTest, ListsGetTheProgramsOwnChoicesAndDisplayNames)
{
    CKVR_Data_FileList<CKVR_WBData> whiteBalances;
    ASSERT_EQ(KVR_FillWhiteBalanceList(m_Path.GetText(), &whiteBalances), 1);
    EXPECT_EQ(whiteBalances.m_strPath, m_Path);
    std::vector<std::string> wb = Descriptors(whiteBalances);
    ASSERT_GE(wb.size(), 3u);
    EXPECT_EQ(std::count(wb.begin(), wb.end(), "Auto"), 1) << "the camera's own Auto is not added twice";
    EXPECT_EQ(std::vector<std::string>(wb.end() - 2, wb.end()), (std::vector<std::string>{"Monochrome", "Original"}));
    EXPECT_EQ(NameOf(whiteBalances, "Daylight"), "#107");
    EXPECT_EQ(NameOf(whiteBalances, "Shade"), "#108");
    EXPECT_EQ(NameOf(whiteBalances, "Custom"), "#132");
    EXPECT_EQ(NameOf(whiteBalances, "Monochrome"), "#116");
    EXPECT_EQ(NameOf(whiteBalances, "Original"), "#117");

    CKVR_Data_FileList<CKVR_CMData> colourModes;
    ASSERT_EQ(KVR_FillColorModeList(m_Path.GetText(), &colourModes), 1);
    EXPECT_EQ(Descriptors(colourModes), (std::vector<std::string>{"Standard", "Original"}));
    EXPECT_EQ(NameOf(colourModes, "Standard"), "#122");

    // A file without camera lists: no colour modes at all, the program's own white balances.
    WriteFileBytes(PathOf("text.kvr"), "no raw file");
    const FString text = PathFromNative(PathOf("text.kvr").string());
    EXPECT_EQ(KVR_FillColorModeList(text.GetText(), &colourModes), 1);
    EXPECT_EQ(colourModes.GetCount(), 0);
    EXPECT_EQ(KVR_FillWhiteBalanceList(text.GetText(), &whiteBalances), 1);
    EXPECT_EQ(Descriptors(whiteBalances), (std::vector<std::string>{"Auto", "Monochrome", "Original"}));
    EXPECT_EQ(NameOf(whiteBalances, "Auto"), "#115");

    const FString missing = PathFromNative(PathOf("missing.kvr").string());
    EXPECT_EQ(KVR_FillWhiteBalanceList(missing.GetText(), &whiteBalances), 0);
    EXPECT_EQ(whiteBalances.m_strPath, missing) << "the path is set also when filling fails";
    EXPECT_EQ(whiteBalances.GetCount(), 0);
    EXPECT_EQ(KVR_FillColorModeList(PathFromNative(m_Dir.Path().string()).GetText(), &colourModes), 0);

    // Without the application's text table a choice is shown by its descriptor.
    KVR_SetApplicationState(nullptr);
    ASSERT_EQ(KVR_FillColorModeList(m_Path.GetText(), &colourModes), 1);
    EXPECT_EQ(NameOf(colourModes, "Original"), "Original");
    KVR_SetApplicationState(&m_State);
}

TEST_F(FileSettingsTest, TheFilesChoicesAreFoundInItsLists)
{
    CKVR_Data_FileList<CKVR_WBData> whiteBalances;
    CKVR_Data_FileList<CKVR_CMData> colourModes;
    KVR_FillWhiteBalanceList(m_Path.GetText(), &whiteBalances);
    KVR_FillColorModeList(m_Path.GetText(), &colourModes);
    CKVR_FilterData shade;
    shade.m_nWhiteBalance = IndexOf(whiteBalances, "Shade");
    ASSERT_EQ(KVR_ApplyWhiteBalanceToFile(m_Path.GetText(), &shade), 1);

    {
        KVREngineLockScope lock;
        CKVR_ImageHandle* handle = KVR_OpenHandle(m_Path.GetText());
        EXPECT_EQ(KVR_FindWhiteBalanceIndex(handle, &whiteBalances, 0), IndexOf(whiteBalances, "Shade"));
        EXPECT_EQ(KVR_FindWhiteBalanceIndex(handle, &whiteBalances, 1), IndexOf(whiteBalances, "Daylight"));
        EXPECT_EQ(KVR_FindColorModeIndex(handle, &colourModes, 0), IndexOf(colourModes, "Standard"));
        EXPECT_EQ(KVR_FindColorModeIndex(handle, nullptr, 0), -1);
        KVR_CloseHandle(handle);
    }
    EXPECT_EQ(KVR_GetFileWhiteBalanceIndex(m_Path.GetText(), &whiteBalances, 0), IndexOf(whiteBalances, "Shade"));
    EXPECT_EQ(KVR_GetFileWhiteBalanceIndex(m_Path.GetText(), nullptr, 0), -1);
    EXPECT_EQ(KVR_GetFileWhiteBalanceIndex(PathFromNative(PathOf("missing.kvr").string()).GetText(), &whiteBalances,
                                           0),
              -1);
}

TEST_F(FileSettingsTest, AWhiteBalanceIsWrittenOnlyWhenItChanges)
{
    CKVR_Data_FileList<CKVR_WBData> list;
    KVR_FillWhiteBalanceList(m_Path.GetText(), &list);
    struct Step {
        const char* chosen;
        int result;
        const char* stored;
    };
    const Step steps[] = {
        {"Daylight", 0, "Daylight"}, // what the camera chose already
        {"Shade", 1, "Shade"},
        {"Shade", 0, "Shade"},
        {"Original", 1, "Daylight"},
        {"Original", 0, "Daylight"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.chosen);
        CKVR_FilterData settings;
        settings.m_nWhiteBalance = IndexOf(list, step.chosen);
        EXPECT_EQ(KVR_ApplyWhiteBalanceToFile(m_Path.GetText(), &settings), step.result);
        EXPECT_EQ(Property("WB_DESC"), step.stored);
    }
    CKVR_FilterData outside;
    outside.m_nWhiteBalance = list.GetCount();
    EXPECT_EQ(KVR_ApplyWhiteBalanceToFile(m_Path.GetText(), &outside), 0);

    // A file whose camera named no white balance has none to go back to.
    const FString unnamed = WriteWithout(u"WB_DESC", "unnamed.kvr");
    CKVR_FilterData original;
    original.m_nWhiteBalance = IndexOf(list, "Original");
    EXPECT_EQ(KVR_ApplyWhiteBalanceToFile(unnamed.GetText(), &original), 0);
    EXPECT_EQ(FileProperty(unnamed, "WB_DESC"), "<none>");
}

TEST_F(FileSettingsTest, TheOriginalColourModeIsTheCamerasOrStandard)
{
    // The camera's file names "Standard": choosing it or "Original" changes nothing.
    CKVR_FilterData settings;
    for (const int index : {0, 1}) {
        settings.m_nColorMode = index;
        EXPECT_EQ(KVR_ApplyColorModeToFile(m_Path.GetText(), &settings), 0);
    }
    EXPECT_TRUE(m_State.removed.empty());

    // A file whose camera named no colour mode: "Original" writes "Standard".
    const FString unnamed = WriteWithout(u"CM_DESC", "unnamed.kvr");
    ASSERT_EQ(FileProperty(unnamed, "CM_DESC"), "<none>");
    settings.m_nColorMode = 1;
    EXPECT_EQ(KVR_ApplyColorModeToFile(unnamed.GetText(), &settings), 1);
    EXPECT_EQ(FileProperty(unnamed, "CM_DESC"), "Standard");
    ASSERT_EQ(m_State.removed.size(), 1u);
    EXPECT_EQ(m_State.removed[0], unnamed);
    EXPECT_EQ(KVR_ApplyColorModeToFile(unnamed.GetText(), &settings), 0) << "now it is Standard";

    settings.m_nColorMode = 2;
    EXPECT_EQ(KVR_ApplyColorModeToFile(m_Path.GetText(), &settings), 0) << "no such list entry";
}

TEST_F(FileSettingsTest, TheNeutralAtAPointMakesItGrey)
{
    const ChartPatch& grey = s_Shot->truth.patches[3]; // a neutral patch
    const int x = (grey.rect.left + grey.rect.right) / 2, y = (grey.rect.top + grey.rect.bottom) / 2;
    FDoubleTriple gains(-1.0, -1.0, -1.0);
    ASSERT_EQ(KVR_GetNeutralAtPoint(m_Path.GetText(), x, y, &gains), 1);
    for (const double gain : {gains.r, gains.g, gains.b}) {
        EXPECT_TRUE(std::isfinite(gain));
        EXPECT_GT(gain, 0.0);
    }

    WriteFileBytes(PathOf("text.kvr"), "no raw file");
    FDoubleTriple untouched(-1.0, -1.0, -1.0);
    EXPECT_EQ(KVR_GetNeutralAtPoint(PathFromNative(PathOf("text.kvr").string()).GetText(), x, y, &untouched), 0);
    EXPECT_EQ(untouched.r, -1.0);
}
