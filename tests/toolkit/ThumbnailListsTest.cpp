#include "toolkit/CET_ThumbnailData.h"

#include "support/DibBuilder.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

CET_Dib* MakePicture(int width, int height, BYTE value) {
  return testsupport::MakeBottomUpDib(width, height, [value](int, int) { return RGB(value, value, value); }).release();
}

CET_ThumbnailData* MakeItem(const char16_t* name, int type = 0) {
  auto* item = new CET_ThumbnailData;
  item->m_Path = FString(u"/pictures/");
  item->m_Path += name;
  item->m_FileName = FString(name);
  item->m_FileType = type;
  item->m_Attributes = 0x80;
  return item;
}

std::vector<std::u16string> Names(const CET_ThumbnailDataManager& list) {
  std::vector<std::u16string> names;
  for (int i = 0; i < list.GetCount(); ++i) names.emplace_back(list.GetAt(i)->m_FileName.GetText());
  return names;
}

// Counts deletions, to see which list deletes what.
struct CountedItem : CET_ThumbnailData {
  explicit CountedItem(int* deleted) : m_deleted(deleted) {}
  ~CountedItem() override { ++*m_deleted; }
  int* m_deleted;
};

} // namespace

TEST(ThumbnailItem, NewItemAndResetKeepTypeAndSelection) {
  CET_ThumbnailData item;
  EXPECT_EQ(item.m_Attributes, -1);
  EXPECT_EQ(item.m_pDib, nullptr);
  EXPECT_EQ(item.m_bSelected, 0);
  item.m_FileType = 6;
  item.m_bSelected = 1;
  item.m_bFinalPicture = 1;
  item.m_Width = 300;
  item.m_Height = 200;
  item.m_Path = FString(u"/a/b.kvr");
  item.SetPicture(MakePicture(4, 3, 9));
  item.Reset();
  EXPECT_EQ(item.m_pDib, nullptr);
  EXPECT_EQ(item.m_bFinalPicture, 0);
  EXPECT_EQ(item.m_Attributes, -1);
  EXPECT_EQ(item.m_Path.GetLength(), 0);
  int w = -1, h = -1;
  item.GetImageSize(&w, &h);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 0);
  EXPECT_EQ(item.m_FileType, 6);
  EXPECT_EQ(item.m_bSelected, 1);
}

TEST(ThumbnailItem, CopyFromIsDeepAndDropsTheOldPicture) {
  CET_ThumbnailData source;
  source.m_FileName = FString(u"a.jpg");
  source.SetPicture(MakePicture(4, 3, 7));
  source.m_Width = 4000;
  CET_ThumbnailData target;
  target.CopyFrom(&source);
  ASSERT_NE(target.m_pDib, nullptr);
  EXPECT_NE(target.m_pDib, source.m_pDib);
  EXPECT_NE(target.m_pDib->bits, source.m_pDib->bits);
  EXPECT_EQ(target.m_pDib->GetPixel(1, 1), source.m_pDib->GetPixel(1, 1));
  EXPECT_EQ(target.m_Width, 4000);

  CET_ThumbnailData without;
  target.CopyFrom(&without);
  EXPECT_EQ(target.m_pDib, nullptr);

  std::unique_ptr<CET_ThumbnailData> clone(source.Clone());
  EXPECT_EQ(std::u16string(clone->m_FileName.GetText()), u"a.jpg");
  ASSERT_NE(clone->m_pDib, nullptr);
  EXPECT_NE(clone->m_pDib, source.m_pDib);
}

TEST(ThumbnailList, GetAtOutsideTheListIsNull) {
  CET_ThumbnailDataManager list;
  EXPECT_EQ(list.GetAt(0), nullptr);
  list.Add(MakeItem(u"a.jpg"));
  EXPECT_EQ(list.GetAt(-1), nullptr);
  EXPECT_EQ(list.GetAt(1), nullptr);
  EXPECT_NE(list.GetAt(0), nullptr);
}

TEST(ThumbnailList, OwnershipOfRemoveAssignAndCopy) {
  int deleted = 0;
  {
    CET_ThumbnailDataManager owner;
    for (int i = 0; i < 3; ++i) owner.Add(new CountedItem(&deleted));
    owner.Add(nullptr); // readers skip NULL entries

    CET_ThumbnailDataManager shared;
    EXPECT_EQ(shared.AssignFrom(&owner), 4);
    EXPECT_EQ(shared.GetAt(0), owner.GetAt(0));
    shared.RemoveAll(FALSE); // as the loaders do before destroying it
    EXPECT_EQ(deleted, 0);

    CET_ThumbnailDataManager copies;
    copies.Add(new CountedItem(&deleted));
    EXPECT_EQ(copies.CopyFrom(&owner), 4);
    EXPECT_EQ(deleted, 1); // the receiver's old item
    EXPECT_NE(copies.GetAt(0), owner.GetAt(0));
    EXPECT_EQ(copies.GetAt(3), nullptr);

    std::unique_ptr<CET_ThumbnailData> first(owner.GetAt(0));
    owner.RemoveAt(0, FALSE);
    EXPECT_EQ(deleted, 1);
    first.reset();
    owner.RemoveAt(0, TRUE);
    EXPECT_EQ(deleted, 3);
    owner.RemoveAt(7, TRUE); // out of range: nothing
    EXPECT_EQ(owner.GetCount(), 2);
  }
  // The owner's last item; the copies are plain items.
  EXPECT_EQ(deleted, 4);
}

TEST(ThumbnailList, SortsByNameIgnoringCase) {
  struct Case {
    BOOL ascending;
    std::vector<std::u16string> expected;
  };
  for (const Case& c : {Case{FALSE, {u"b.jpg", u"a.kvr", u"A.jpg"}}, Case{TRUE, {u"A.jpg", u"a.kvr", u"b.jpg"}}}) {
    CET_ThumbnailDataManager list;
    list.Add(MakeItem(u"A.jpg"));
    list.Add(MakeItem(u"b.jpg"));
    list.Add(MakeItem(u"a.kvr"));
    list.Sort(0, c.ascending, nullptr);
    EXPECT_EQ(Names(list), c.expected) << "ascending " << c.ascending;
  }
  CET_ThumbnailDataManager empty;
  empty.Sort(0, TRUE, nullptr);
  EXPECT_EQ(empty.GetCount(), 0);
}

TEST(ThumbnailList, SortWithAComparisonOfTheCaller) {
  CET_ThumbnailDataManager list;
  list.Add(MakeItem(u"x.jpg", 6));
  list.Add(MakeItem(u"y.jpg", 0));
  list.Add(MakeItem(u"z.jpg", 4));
  list.Sort(7, TRUE, [](const void* a, const void* b) {
    EXPECT_EQ(g_ThumbnailSortKey, 7);
    const auto* l = *static_cast<CET_ThumbnailData* const*>(a);
    const auto* r = *static_cast<CET_ThumbnailData* const*>(b);
    return l->m_FileType - r->m_FileType;
  });
  EXPECT_EQ(Names(list), (std::vector<std::u16string>{u"y.jpg", u"z.jpg", u"x.jpg"}));
}
