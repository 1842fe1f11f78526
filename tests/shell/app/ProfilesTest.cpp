// Which colour profile describes a picture: the program's standard profiles,
// profiles embedded in pictures written once to temporary "$$$" files, and the
// raw files' colour-space preference.
#include "shell/app/CTempProfileList.h"

#include "foundation/FIStorageClass.h"
#include "foundation/FPath.h"
#include "shell/app/AppFolders.h"
#include "shell/app/CAppSettings.h"
#include "support/BuildTree.h"
#include "support/TestSupport.h"
#include "ProfileItems.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using testsupport::ProfileItems;
using testsupport::ReadFileBytes;
using testsupport::ScopedEnv;
using testsupport::TempDir;
using testsupport::Utf8FromWide;

class ProfilesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitStorageClasses(); }
    ProfilesTest() : m_Config("XDG_CONFIG_HOME", m_Dir.Str())
    {
        SetAppProgramPath(testsupport::BuildTreeProgramPath());
    }
    ~ProfilesTest() override { SetAppProgramPath(FString()); }

    std::string ProfileName(const FString& path) const { return Utf8FromWide(PathFileName(path)); }
    void Prefer(int colorSpace)
    {
        CAppSettingsLock lock(m_Settings);
        m_Settings.m_nKVRColorSpace = colorSpace;
    }
    size_t TemporaryFiles() const
    {
        const FString folder = GetAppFolder(kAppFolderTempProfiles);
        const std::filesystem::path path(Utf8FromWide(folder));
        return std::filesystem::exists(path) ? static_cast<size_t>(std::distance(std::filesystem::directory_iterator(path), {}))
                                             : 0;
    }

    TempDir m_Dir;
    ScopedEnv m_Config;
    CAppSettings m_Settings;
    CTempProfileList m_List;
};

TEST_F(ProfilesTest, StandardProfilesByColourSpaceCode)
{
    const struct {
        int code;
        const char* file;
    } cases[] = {{2, "sRGB.icc"}, {3, "AdobeRGB1998.icc"}, {4, "AppleRGB.icc"}, {8, "ColorMatchRGB.icc"},
                 {11, "ProPhotoRGB.icc"}};
    for (const auto& c : cases) {
        const FString path = GetColorSpaceProfilePath(c.code);
        EXPECT_EQ(ProfileName(path), c.file);
        EXPECT_TRUE(std::filesystem::is_regular_file(Utf8FromWide(path))) << c.file; // the build made it
    }
    for (const int code : {0, 1, 5, 12, 13})
        EXPECT_EQ(GetColorSpaceProfilePath(code), FString()) << code;
}

TEST_F(ProfilesTest, AnEmbeddedProfileIsWrittenOnce)
{
    const CET_ExifData items = ProfileItems("fake ICC bytes", -1);
    const FString jpeg(u"/pictures/a.jpg");
    int code = 77;
    const FString first = m_List.GetImageProfilePath(jpeg, &items, &code, m_Settings);
    EXPECT_EQ(ProfileName(first).substr(0, 3), "$$$");
    EXPECT_EQ(PathParent(first), GetAppFolder(kAppFolderTempProfiles));
    EXPECT_EQ(ReadFileBytes(Utf8FromWide(first)), "fake ICC bytes");
    EXPECT_EQ(code, 77); // only raw files report a code
    EXPECT_EQ(m_List.GetImageProfilePath(jpeg, &items, nullptr, m_Settings), first);
    EXPECT_EQ(m_List.GetImageProfilePath(jpeg, nullptr, nullptr, m_Settings), first);
    EXPECT_EQ(m_List.FindTempProfile(jpeg), first);
    EXPECT_EQ(TemporaryFiles(), 1u);

    // Without an embedded profile there is none, and nothing is remembered.
    const CET_ExifData plain = ProfileItems("", 1);
    EXPECT_EQ(m_List.GetImageProfilePath(FString(u"/pictures/b.tif"), &plain, nullptr, m_Settings), FString());
    EXPECT_EQ(m_List.GetCount(), 1);

    m_List.DeleteTempProfiles();
    EXPECT_EQ(m_List.GetCount(), 0);
    EXPECT_FALSE(std::filesystem::exists(Utf8FromWide(first)));
    EXPECT_EQ(m_List.FindTempProfile(jpeg), FString());
}

TEST_F(ProfilesTest, RawFilesFollowThePreference)
{
    const CET_ExifData adobe = ProfileItems("", 0xFFFF);
    const CET_ExifData srgb = ProfileItems("", 1);
    struct Case {
        const char16_t* path;
        const CET_ExifData* items;
        int preference;
        const char* profile;
        int code;
    } cases[] = {
        {u"/r/adobe.kvr", &adobe, 0, "AdobeRGB1998.icc", 2},
        {u"/r/adobe.kvr", &adobe, 2, "AppleRGB.icc", 4},
        {u"/r/adobe.kvr", nullptr, 0, "AdobeRGB1998.icc", 2}, // remembered
        {u"/r/srgb.kvr", &srgb, 0, "sRGB.icc", 2},
        {u"/r/srgb.kvr", &srgb, 1, "sRGB.icc", 2},
        {u"/r/srgb.kvr", &srgb, 3, "AdobeRGB1998.icc", 3},
        {u"/r/srgb.kvr", &srgb, 4, "ProPhotoRGB.icc", 11},
        {u"/r/srgb.kvr", &srgb, 9, "sRGB.icc", 2},
        {u"/r/no-items.kvr", nullptr, 0, "sRGB.icc", 2},
    };
    for (const Case& c : cases) {
        Prefer(c.preference);
        int code = -1;
        const FString profile = m_List.GetImageProfilePath(FString(c.path), c.items, &code, m_Settings);
        EXPECT_EQ(ProfileName(profile), c.profile) << Utf8FromWide(FString(c.path)) << " " << c.preference;
        EXPECT_EQ(code, c.code) << Utf8FromWide(FString(c.path)) << " " << c.preference;
    }
    EXPECT_EQ(m_List.GetCount(), 2); // no entry for a raw file without items

    // An embedded profile wins over the ColorSpace tag with the preference 0.
    Prefer(0);
    const CET_ExifData embedded = ProfileItems("raw ICC", 1);
    const FString own = m_List.GetImageProfilePath(FString(u"/r/own.kvr"), &embedded, nullptr, m_Settings);
    EXPECT_EQ(ReadFileBytes(Utf8FromWide(own)), "raw ICC");
    m_List.DeleteTempProfiles();
    EXPECT_FALSE(std::filesystem::exists(Utf8FromWide(own)));
    EXPECT_TRUE(std::filesystem::exists(Utf8FromWide(GetColorSpaceProfilePath(3)))); // standard ones stay
}

TEST_F(ProfilesTest, NoTemporaryFileWithoutAPerUserFolder)
{
    testsupport::WriteFileBytes(m_Dir.Path() / "file", "x");
    ScopedEnv broken("XDG_CONFIG_HOME", (m_Dir.Path() / "file").string());
    const CET_ExifData items = ProfileItems("ICC", -1);
    EXPECT_EQ(m_List.GetImageProfilePath(FString(u"/p/a.jpg"), &items, nullptr, m_Settings), FString());
    EXPECT_EQ(m_List.GetCount(), 0);
}

} // namespace
