// The browser's thumbnail items: clones keep their class, the file size and a
// deep copy of the shooting information; lists delete them as theirs.

#include "shell/facade/CTLM_ThumbnailData.h"

#include "support/BuildTree.h"
#include "support/PictureFileBuilder.h"
#include "support/TempFileTest.h"
#include "support/TestSupport.h"
#include "toolkit/CET_ThumbnailData.h"

#include "engine/colour/TransformColor.h"

#include <gtest/gtest.h>

#include <memory>

using namespace testsupport;

namespace {

class BrowsedItemTest : public TempFileTest {
protected:
    static void SetUpTestSuite()
    {
        TempFileTest::SetUpTestSuite();
        SetColorProfileProgramPath(BuildTreeProgramPath());
    }
    FString WriteMarkedJpeg(const std::string& name) const
    {
        ExifFields fields;
        fields.markFlag = 1u;
        const auto bytes = QuarterJpeg(32, 24, &fields);
        WriteFileBytes(PathOf(name), std::string(bytes.begin(), bytes.end()));
        return WideFromUtf8(PathOf(name).string());
    }
};

} // namespace

TEST_F(BrowsedItemTest, CloneKeepsClassSizeAndADeepRecord)
{
    const FString path = WriteMarkedJpeg("photo.jpg");
    CTLM_ThumbnailData item;
    item.m_Path = path;
    item.m_FileSize = 0x1'0000'0002ull;
    const std::unique_ptr<CTLM_Exif> record = CTLM_Exif::Create(path);
    ASSERT_TRUE(record->HasEntry());
    item.m_Exif.CopyFrom(record.get());
    ASSERT_TRUE(item.IsMarked());

    CET_ThumbnailData* clone = item.Clone();
    auto* browsed = dynamic_cast<CTLM_ThumbnailData*>(clone);
    ASSERT_NE(browsed, nullptr);
    EXPECT_EQ(browsed->m_FileSize, item.m_FileSize);
    EXPECT_EQ(browsed->m_Exif.GetPath(), path);
    EXPECT_TRUE(browsed->IsMarked());
    EXPECT_FALSE(browsed->IsLocked());
    // Deep: changing the copy leaves the original.
    browsed->m_Exif.SetMarkedFlag(false);
    EXPECT_TRUE(item.IsMarked());

    // Reset empties the record and keeps the size; a list deletes its items
    // through their own Delete.
    browsed->Reset();
    EXPECT_FALSE(browsed->m_Exif.HasEntry());
    EXPECT_EQ(browsed->m_FileSize, item.m_FileSize);
    CET_ThumbnailDataManager list;
    list.Add(clone);
    CET_ThumbnailDataManager copies;
    copies.CopyFrom(&list);
    EXPECT_NE(dynamic_cast<CTLM_ThumbnailData*>(copies.GetAt(0)), nullptr);
}
