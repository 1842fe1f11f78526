// The browser's thumbnail loader and the user-interface thread take the
// profile of the same pictures at once: each picture gets one temporary
// profile, and both threads are given its path.
#include "shell/app/CTempProfileList.h"

#include "foundation/FIStorageClass.h"
#include "shell/app/AppFolders.h"
#include "shell/app/CAppSettings.h"
#include "support/TestSupport.h"
#include "ProfileItems.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

using testsupport::Utf8FromWide;

TEST(CTempProfileListThreadTest, TwoThreadsTakeTheSameProfiles)
{
    InitStorageClasses();
    testsupport::TempDir dir;
    testsupport::ScopedEnv config("XDG_CONFIG_HOME", dir.Str());
    const CET_ExifData items = testsupport::ProfileItems("embedded profile", -1);
    const CET_ExifData raw = testsupport::ProfileItems("", 0xFFFF);
    CAppSettings settings;
    CTempProfileList list;
    constexpr int kPictures = 40;

    std::vector<FString> seen[2];
    const auto run = [&](int thread) {
        for (int i = 0; i < kPictures; ++i) {
            const FString jpeg(std::u16string(u"/pictures/") + static_cast<char16_t>(u'A' + i) + u".jpg");
            seen[thread].push_back(list.GetImageProfilePath(jpeg, &items, nullptr, settings));
            int code = 0;
            list.GetImageProfilePath(FString(u"/pictures/raw.kvr"), &raw, &code, settings);
            list.FindTempProfile(jpeg);
            if (thread == 1) {
                CAppSettingsLock lock(settings);
                settings.m_nKVRColorSpace = i % 5;
            }
        }
    };
    std::thread other(run, 1);
    run(0);
    other.join();

    EXPECT_EQ(seen[0], seen[1]);
    EXPECT_EQ(list.GetCount(), kPictures + 1);
    const std::filesystem::path folder(Utf8FromWide(GetAppFolder(kAppFolderTempProfiles)));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), kPictures);
    list.DeleteTempProfiles();
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 0);
}

} // namespace
