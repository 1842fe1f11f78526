// Files written under a temporary name and put in place only when finished.

#include "fileio/codecs/FTemporaryOutputFile.h"

#include "foundation/FIStorageClass.h"
#include "support/ImageFileTest.h"

#include <sys/stat.h>

#include <filesystem>

using namespace testsupport;

namespace {

class FTemporaryOutputFileTest : public ImageFileTest {
protected:
    std::vector<std::string> FolderNames() const
    {
        std::vector<std::string> names;
        for (const auto& item : std::filesystem::directory_iterator(m_Dir.Path()))
            names.push_back(item.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    // Writes text through the storage layer into the temporary file.
    static void Fill(const FTemporaryOutputFile& file, const std::string& text)
    {
        FFilePtr out(OpenFileByURL(file.GetURL(), FIFile::OPEN_WRITE));
        ASSERT_TRUE(out);
        ASSERT_TRUE(out->Write(text.data(), int64_t(text.size())));
    }

    static mode_t ModeOf(const std::filesystem::path& path)
    {
        struct stat info {};
        EXPECT_EQ(stat(path.c_str(), &info), 0);
        return info.st_mode & 07777;
    }
};

TEST_F(FTemporaryOutputFileTest, AFinishedFileReplacesTheOldOneAndTakesItsPermissions)
{
    WriteFileBytes(PathOf("picture.tif"), "old");
    ASSERT_EQ(chmod(PathOf("picture.tif").c_str(), 0640), 0);
    {
        FTemporaryOutputFile file(UrlOf("picture.tif"));
        Fill(file, "new");
        // Hidden beside the final name until committed.
        const std::vector<std::string> names = FolderNames();
        ASSERT_EQ(names.size(), 2u);
        EXPECT_EQ(names[0].rfind(".picture.tif.", 0), 0u) << names[0];
        EXPECT_EQ(ReadFileBytes(PathOf("picture.tif")), "old");
        file.Commit();
        EXPECT_TRUE(file.IsCommitted());
    }
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"picture.tif"});
    EXPECT_EQ(ReadFileBytes(PathOf("picture.tif")), "new");
    EXPECT_EQ(ModeOf(PathOf("picture.tif")), mode_t(0640));
}

TEST_F(FTemporaryOutputFileTest, AnUnfinishedFileLeavesNothingAndKeepsTheOldOne)
{
    WriteFileBytes(PathOf("kept.jpg"), "old");
    {
        FTemporaryOutputFile file(UrlOf("kept.jpg"));
        Fill(file, "half");
    }
    EXPECT_EQ(FolderNames(), std::vector<std::string>{"kept.jpg"});
    EXPECT_EQ(ReadFileBytes(PathOf("kept.jpg")), "old");

    // A writer that gave up removed its file: nothing is put in place.
    FTemporaryOutputFile removed(UrlOf("kept.jpg"));
    std::filesystem::remove(PathOf(FolderNames()[0]));
    EXPECT_THROW(removed.Commit(), FExceptionFileWrite);
    EXPECT_EQ(ReadFileBytes(PathOf("kept.jpg")), "old");
}

TEST_F(FTemporaryOutputFileTest, LockedFilesFoldersAndMissingFoldersAreRefused)
{
    WriteFileBytes(PathOf("locked.tif"), "locked");
    ASSERT_EQ(chmod(PathOf("locked.tif").c_str(), 0444), 0);
    std::filesystem::create_directory(PathOf("folder"));
    for (const char* name : {"locked.tif", "folder", "missing/new.tif"}) {
        SCOPED_TRACE(name);
        EXPECT_THROW(FTemporaryOutputFile{UrlOf(name)}, FExceptionFileOpen);
    }
    EXPECT_EQ(FolderNames(), (std::vector<std::string>{"folder", "locked.tif"}));

    // Locked while the file was being written: the old one stays.
    WriteFileBytes(PathOf("late.tif"), "old");
    FTemporaryOutputFile late(UrlOf("late.tif"));
    Fill(late, "new");
    ASSERT_EQ(chmod(PathOf("late.tif").c_str(), 0444), 0);
    EXPECT_THROW(late.Commit(), FExceptionFileWrite);
    EXPECT_EQ(ReadFileBytes(PathOf("late.tif")), "old");
}

} // namespace
