// Renames that keep locks: one file and a batch through temporary names, with
// a failing first step (names and locks as before), a failing second step
// (the old names back), a new name that is another file's old one, and a new
// name taken by a file outside the batch (never replaced).

#include "shell/fileops/LockedRename.h"

#include "FileOpsTestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

using namespace testsupport;

namespace {

class LockedRenameTest : public FileOpsFolderTest {
protected:
    std::string Content(const std::string& name) const
    {
        std::ifstream in(PathOf(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::vector<FString> Paths(const std::vector<std::string>& names) const
    {
        std::vector<FString> paths;
        for (const std::string& name : names)
            paths.push_back(Path(name));
        return paths;
    }
    size_t Entries() const
    {
        return size_t(std::distance(std::filesystem::directory_iterator(m_Dir.Path()), {}));
    }

    RecordCache m_Cache;
};

TEST_F(LockedRenameTest, ABatchMaySwapNamesAndKeepsTheLocksOnTheNewNames)
{
    const FString a = Jpeg("a.jpg", true), b = Jpeg("b.jpg", false);
    Protect(a, true);
    const std::string aBytes = Content("a.jpg");
    ASSERT_TRUE(RenameInTwoPhases(m_Cache, Paths({"a.jpg", "b.jpg"}), Paths({"b.jpg", "a.jpg"}), FString(u"120000")));
    EXPECT_EQ(Content("b.jpg"), aBytes);
    EXPECT_TRUE(IsProtected(Path("b.jpg")));
    EXPECT_FALSE(IsProtected(Path("a.jpg")));
    EXPECT_TRUE(m_Cache.CachedLocked(Path("b.jpg")));
    EXPECT_EQ(Entries(), 2u);
}

TEST_F(LockedRenameTest, AFailingFirstStepLeavesNamesAndLocksAsTheyWere)
{
    Jpeg("a.jpg", true);
    Jpeg("b.jpg", true);
    Protect(Path("a.jpg"), true);
    Protect(Path("b.jpg"), true);
    // The third file vanished before its turn: the first step fails there.
    EXPECT_FALSE(RenameInTwoPhases(m_Cache, Paths({"a.jpg", "b.jpg", "c.jpg"}), Paths({"x1.jpg", "x2.jpg", "x3.jpg"}),
                                   FString(u"120000")));
    EXPECT_TRUE(Exists("a.jpg") && Exists("b.jpg"));
    EXPECT_TRUE(IsProtected(Path("a.jpg")) && IsProtected(Path("b.jpg")));
    EXPECT_TRUE(m_Cache.CachedLocked(Path("a.jpg")) && m_Cache.CachedLocked(Path("b.jpg")));
    EXPECT_EQ(Entries(), 2u);
}

TEST_F(LockedRenameTest, ATakenNewNameFailsTheSecondStepAndBringsTheOldNamesBack)
{
    Jpeg("a.jpg", true);
    Jpeg("b.jpg", true);
    Protect(Path("a.jpg"), true);
    const std::string outsider = "not in the batch";
    WriteFileBytes(PathOf("y.jpg"), outsider);
    EXPECT_FALSE(RenameInTwoPhases(m_Cache, Paths({"a.jpg", "b.jpg"}), Paths({"x.jpg", "y.jpg"}), FString(u"1")));
    EXPECT_EQ(Content("y.jpg"), outsider);
    EXPECT_TRUE(Exists("a.jpg") && Exists("b.jpg") && !Exists("x.jpg"));
    EXPECT_TRUE(IsProtected(Path("a.jpg")));
    EXPECT_EQ(Entries(), 3u);
}

TEST_F(LockedRenameTest, TemporaryNamesSkipNamesThatExist)
{
    Jpeg("a.jpg", true);
    WriteFileBytes(PathOf("990"), "taken");
    ASSERT_TRUE(RenameInTwoPhases(m_Cache, Paths({"a.jpg"}), Paths({"b.jpg"}), FString(u"99")));
    EXPECT_EQ(Content("990"), "taken");
    EXPECT_TRUE(Exists("b.jpg"));
}

TEST_F(LockedRenameTest, OneFileKeepsItsLockWhetherOrNotTheRenameWorks)
{
    const FString a = Jpeg("a.jpg", true);
    Protect(a, true);
    Jpeg("taken.jpg", false);
    EXPECT_FALSE(RenameOneKeepingLock(m_Cache, a, Path("taken.jpg")));
    EXPECT_TRUE(IsProtected(a));
    EXPECT_FALSE(IsProtected(Path("taken.jpg")));
    ASSERT_TRUE(RenameOneKeepingLock(m_Cache, a, Path("new.jpg")));
    EXPECT_TRUE(IsProtected(Path("new.jpg")));
    EXPECT_FALSE(m_Cache.IsCached(a));
    EXPECT_TRUE(m_Cache.CachedLocked(Path("new.jpg")));
}

TEST(TemporaryNameStampTest, SixDigits)
{
    const FString stamp = TemporaryNameStamp();
    ASSERT_EQ(stamp.GetLength(), 6);
    for (const char16_t c : stamp.View())
        EXPECT_TRUE(c >= u'0' && c <= u'9');
}

} // namespace
