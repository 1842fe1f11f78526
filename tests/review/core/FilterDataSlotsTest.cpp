// The four settings slots of a review window: clones handed out, the
// "modified" test against the as-shot slot, storing and clearing.

#include "review/core/CFilterDataSlots.h"
#include "shell/facade/CKVR_FilterData.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

std::unique_ptr<CKVR_FilterData> RawRecord(int exposure) {
  auto record = std::make_unique<CKVR_FilterData>();
  record->m_nExposure = exposure;
  return record;
}

void Store(CFilterDataSlots& slots, int slot, const CET_FilterData* record) {
  CSingleLock lock(&slots, TRUE);
  slots.StoreLocked(slot, record);
}

TEST(FilterDataSlots, NewSlotsAreEmptyAndNothingIsModified) {
  CFilterDataSlots slots;
  for (int slot = 0; slot <= 5; ++slot) {
    EXPECT_EQ(slots.GetSlot(slot), nullptr) << slot;
    EXPECT_FALSE(slots.IsModified(slot)) << slot;
  }
}

TEST(FilterDataSlots, GetSlotHandsOutSeparateClonesOfTheRecordsKind) {
  CFilterDataSlots slots;
  auto record = RawRecord(40);
  record->m_nWhiteBalance = 3;
  Store(slots, 3, record.get());
  Store(slots, 5, record.get());  // no such slot: ignored

  std::unique_ptr<CET_FilterData> first(slots.GetSlot(3));
  ASSERT_NE(first, nullptr);
  auto* raw = dynamic_cast<CKVR_FilterData*>(first.get());
  ASSERT_NE(raw, nullptr) << "a raw record stays a raw record";
  EXPECT_EQ(raw->m_nWhiteBalance, 3);
  raw->m_nExposure = -10;
  first.reset();

  std::unique_ptr<CET_FilterData> second(slots.GetSlot(3));
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->m_nExposure, 40) << "changing or deleting a clone leaves the slot alone";
  EXPECT_NE(second.get(), slots.PeekLocked(3));
  EXPECT_EQ(slots.GetSlot(0), nullptr);
  EXPECT_EQ(slots.GetSlot(5), nullptr);
}

TEST(FilterDataSlots, ModifiedComparesAdjustmentsWithAsShotOnly) {
  struct Case {
    const char* change;
    void (*apply)(CKVR_FilterData&);
    bool modified;
  };
  const Case cases[] = {
      {"nothing", [](CKVR_FilterData&) {}, false},
      {"name", [](CKVR_FilterData& r) { r.m_strName = u"Portrait"; }, false},
      {"white balance", [](CKVR_FilterData& r) { r.m_nWhiteBalance = 2; }, false},
      {"colour mode", [](CKVR_FilterData& r) { r.m_nColorMode = 1; }, false},
      {"noise", [](CKVR_FilterData& r) { r.m_nChromaNoise = 4; r.m_nLumaNoise = 0; r.m_nNoiseReduction = 1; }, false},
      {"exposure", [](CKVR_FilterData& r) { r.m_nExposure = 10; }, true},
      {"fill light", [](CKVR_FilterData& r) { r.m_nFillLight = 20; }, true},
      {"cyan", [](CKVR_FilterData& r) { r.m_nCyan = 3; }, true},
      {"auto flag", [](CKVR_FilterData& r) { r.m_nAuto = 1; }, true},
  };
  for (const Case& c : cases) {
    CFilterDataSlots slots;
    CKVR_FilterData asShot;
    CKVR_FilterData other;
    c.apply(other);
    Store(slots, 2, &other);
    EXPECT_FALSE(slots.IsModified(2)) << c.change << ": slot 1 still empty";
    Store(slots, 1, &asShot);
    for (int slot = 2; slot <= 4; ++slot) {
      Store(slots, slot, &other);
      EXPECT_EQ(slots.IsModified(slot), c.modified ? TRUE : FALSE) << c.change << ", slot " << slot;
    }
    EXPECT_FALSE(slots.IsModified(1)) << c.change;
  }
}

TEST(FilterDataSlots, StoringCopiesIntoAFilledSlotAndNullEmptiesIt) {
  CFilterDataSlots slots;
  Store(slots, 1, RawRecord(10).get());
  CSingleLock lock(&slots, TRUE);
  CET_FilterData* kept = slots.PeekLocked(1);
  slots.StoreLocked(1, RawRecord(20).get());
  EXPECT_EQ(slots.PeekLocked(1), kept) << "a filled slot keeps its record and takes the values";
  EXPECT_EQ(kept->m_nExposure, 20);
  slots.StoreLocked(1, kept);  // itself: nothing happens
  EXPECT_EQ(slots.PeekLocked(1)->m_nExposure, 20);
  slots.StoreLocked(1, nullptr);
  EXPECT_EQ(slots.PeekLocked(1), nullptr);
}

TEST(FilterDataSlots, ClearEmptiesEverySlot) {
  CFilterDataSlots slots;
  for (int slot = 1; slot <= 4; ++slot) {
    Store(slots, slot, RawRecord(slot).get());
  }
  slots.Clear();
  for (int slot = 1; slot <= 4; ++slot) {
    EXPECT_EQ(slots.GetSlot(slot), nullptr) << slot;
  }
}

}  // namespace
