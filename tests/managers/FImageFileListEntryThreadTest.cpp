// The browsed-file entry on raw files read and written through the manager
// pool, with its loader threads running: marks written into files, locked
// files and a file the loaders cannot read.

#include "managers/FImageFileListEntry.h"

#include "managers/FIPManagerPool.h"
#include "ManagerTestFiles.h"
#include "support/ImageFileTest.h"

#include <sys/stat.h>

#include <filesystem>

using namespace testsupport;

namespace {

class FImageFileListEntryThreadTest : public PdxbFileTest {
protected:
    FString WriteRaw(const std::string& name)
    {
        RawFileLayout layout;
        layout.idSeed = uint8_t(0x60 + m_iFiles++);
        layout.properties.push_back({u"SH_DESC", u"s"});
        layout.properties.push_back({u"SHUTTER", u"0.004"});
        return Write(BuildManagerRawFile(layout), name);
    }

    Bytes BytesOf(const std::string& name) const
    {
        const std::string text = ReadFileBytes(PathOf(name));
        return Bytes(text.begin(), text.end());
    }

    std::filesystem::perms PermissionsOf(const std::string& name) const
    {
        return std::filesystem::status(PathOf(name)).permissions();
    }

    void Lock(const std::string& name) const { ASSERT_EQ(chmod(PathOf(name).c_str(), 0444), 0); }

    FIPManager* m_pPool = GetIPManagerPool();
    int m_iFiles = 0;
};

TEST_F(FImageFileListEntryThreadTest, AMarkGoesIntoTheFileAndIsReadBack)
{
    const FString url = WriteRaw("mark.kvr");
    FImageFileListEntry entry;
    entry.SetURL(url);
    ASSERT_TRUE(entry.GetProps(m_pPool));
    EXPECT_TRUE(entry.IsProcessable());
    EXPECT_FALSE(entry.IsMarked());
    EXPECT_EQ(Utf8FromWide(entry.GetShutter()), "1/250");
    EXPECT_EQ(Utf8FromWide(entry.GetCameraModel()), "KT5R");

    ASSERT_TRUE(entry.MarkImage(m_pPool, true));
    FImageFileListEntry again;
    again.SetURL(url);
    ASSERT_TRUE(again.GetProps(m_pPool));
    EXPECT_TRUE(again.IsMarked());

    ASSERT_TRUE(entry.MarkImage(m_pPool, false));
    ASSERT_TRUE(again.GetProps(m_pPool));
    EXPECT_FALSE(again.IsMarked());
}

TEST_F(FImageFileListEntryThreadTest, ALockedFileIsNeverChangedBehindItsLock)
{
    // Locked after it was read: the entry does not lift a lock it does not
    // know of, and the write is refused (also for root).
    const FString url = WriteRaw("locked.kvr");
    FImageFileListEntry entry;
    entry.SetURL(url);
    ASSERT_TRUE(entry.GetProps(m_pPool));
    Lock("locked.kvr");
    const Bytes before = BytesOf("locked.kvr");
    EXPECT_FALSE(entry.MarkImage(m_pPool, true));
    EXPECT_FALSE(entry.IsMarked());
    EXPECT_EQ(BytesOf("locked.kvr"), before);
    EXPECT_EQ(PermissionsOf("locked.kvr") & std::filesystem::perms::owner_write, std::filesystem::perms::none);

    // Locked through the program: the entry knows, lifts its own lock for the
    // write and sets it again, so the file ends locked and marked.
    FImageFileListEntry known;
    known.SetURL(url);
    ASSERT_TRUE(known.GetProps(m_pPool));
    EXPECT_TRUE(known.IsLocked());
    EXPECT_TRUE(known.MarkImage(m_pPool, true));
    EXPECT_TRUE(known.IsLocked());
    EXPECT_EQ(PermissionsOf("locked.kvr") & std::filesystem::perms::owner_write, std::filesystem::perms::none);
    FImageFileListEntry reread;
    reread.SetURL(url);
    ASSERT_TRUE(reread.GetProps(m_pPool));
    EXPECT_TRUE(reread.IsMarked());
    EXPECT_TRUE(reread.IsLocked());
}

TEST_F(FImageFileListEntryThreadTest, AFileTheLoadersCannotReadGivesAnEntryWithNothingStored)
{
    WriteFileBytes(PathOf("garbage.kvr"), "not a raw file at all");
    FImageFileListEntry entry;
    entry.SetURL(UrlOf("garbage.kvr"));
    ASSERT_TRUE(entry.GetProps(m_pPool));
    EXPECT_FALSE(entry.IsProcessable());
    EXPECT_EQ(Utf8FromWide(entry.GetShutter()), " ");
    EXPECT_DOUBLE_EQ(entry.GetSharpness(), kAdjustmentNotStored);
    EXPECT_EQ(entry.GetColorSpace(), -1);
}

} // namespace
