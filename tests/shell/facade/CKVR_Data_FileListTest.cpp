// The white-balance and colour-mode choices of a file: the items, the list
// and the cache of lists with its filler.

#include "shell/facade/CKVR_Data_FileList.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::unique_ptr<CKVR_WBData> Item(const char* name, const char* descriptor)
{
    auto item = std::make_unique<CKVR_WBData>();
    item->m_strName = name;
    KVR_CopyDescriptor(item->m_szDesc, descriptor);
    return item;
}

} // namespace

TEST(CKVR_Data_FileListTest, DescriptorsAreCutToTheirSizeAndKeepTrailingSpaces)
{
    CKVR_CMData item;
    KVR_CopyDescriptor(item.m_szDesc, "Vivid ");
    EXPECT_STREQ(item.m_szDesc, "Vivid ");
    const std::string longText(200, 'x');
    std::memset(item.m_szDesc, 'y', sizeof item.m_szDesc);
    KVR_CopyDescriptor(item.m_szDesc, longText.c_str());
    EXPECT_EQ(std::strlen(item.m_szDesc), kKVRDescriptorSize - 1);
    KVR_CopyDescriptor(item.m_szDesc, nullptr);
    EXPECT_EQ(std::string(item.m_szDesc, sizeof item.m_szDesc), std::string(kKVRDescriptorSize, '\0'));
    item.m_strName = u"name";
    item.Clear();
    EXPECT_EQ(item.m_strName.GetLength(), 0);
}

TEST(CKVR_Data_FileListTest, ItemsAreReachedByIndexAndCopiedWithThePath)
{
    CKVR_Data_FileList<CKVR_WBData> list;
    list.m_strPath = u"/photos/a.kvr";
    list.Add(Item("Sunlight", "Sunlight"));
    list.Add(Item("Shade", "Shade"));
    EXPECT_EQ(list.GetCount(), 2);
    EXPECT_STREQ(list.GetAt(1)->m_szDesc, "Shade");
    EXPECT_EQ(list.GetAt(-1), nullptr);
    EXPECT_EQ(list.GetAt(2), nullptr);

    CKVR_Data_FileList<CKVR_WBData> copy;
    copy.CopyFrom(&list);
    EXPECT_EQ(copy.m_strPath, u"/photos/a.kvr");
    ASSERT_EQ(copy.GetCount(), 2);
    EXPECT_NE(copy.GetAt(0), list.GetAt(0)) << "items are copied, not shared";
    EXPECT_STREQ(copy.GetAt(0)->m_szDesc, "Sunlight");

    copy.CopyFrom(nullptr);
    EXPECT_EQ(copy.GetCount(), 0);
    EXPECT_EQ(copy.m_strPath.GetLength(), 0);
}

TEST(CKVR_Data_FileListTest, TheCacheMakesAListOncePerExactPathEvenWhenFillingFails)
{
    std::vector<std::string> filled;
    CKVR_Data_FileListArray<CKVR_CMData> cache([&filled](const FString& path, CKVR_Data_FileList<CKVR_CMData>& list) {
        filled.emplace_back(path.GetAscii());
        if (path == u"/photos/a.kvr") {
            auto item = std::make_unique<CKVR_CMData>();
            KVR_CopyDescriptor(item->m_szDesc, "Standard");
            list.Add(std::move(item));
        }
    });
    auto* a = cache.FindOrAdd(u"/photos/a.kvr");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->GetCount(), 1);
    EXPECT_EQ(cache.FindOrAdd(u"/photos//a.kvr"), a) << "the same file by another spelling";

    auto* missing = cache.FindOrAdd(u"/photos/missing.kvr");
    EXPECT_EQ(missing->GetCount(), 0);
    EXPECT_EQ(missing->m_strPath, u"/photos/missing.kvr");
    EXPECT_EQ(cache.FindOrAdd(u"/photos/missing.kvr"), missing);

    int index = -1;
    EXPECT_EQ(cache.FindByPath(u"/photos/missing.kvr", &index), missing);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(cache.FindByPath(u"/photos/A.kvr"), nullptr) << "paths differing in case are other files";
    EXPECT_EQ(filled, (std::vector<std::string>{"/photos/a.kvr", "/photos/missing.kvr"}));

    cache.DeleteAll();
    EXPECT_EQ(cache.GetCount(), 0);
}
