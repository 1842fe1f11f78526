// The settings slots shared by the user-interface thread and a develop worker:
// a writer replacing and clearing records while readers take clones and ask
// whether a slot is modified. Every clone must be a whole record.

#include "review/core/CFilterDataSlots.h"
#include "shell/facade/CKVR_FilterData.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

namespace {

TEST(FilterDataSlotsThreads, ReadersSeeWholeRecordsWhileAWriterReplacesThem) {
  CFilterDataSlots slots;
  std::atomic<bool> done{false};
  std::atomic<int> seen{0};
  std::thread writer([&] {
    // Until the readers have met enough records, however the threads are scheduled.
    for (int round = 0; seen < 2000 && round < 50'000'000; ++round) {
      CKVR_FilterData record;
      record.m_nExposure = round;
      record.m_nContrast = -round;  // readers check the pair
      {
        CSingleLock lock(&slots, TRUE);
        slots.StoreLocked(1 + round % 4, &record);
      }
      if (round % 97 == 0) slots.Clear();
    }
    done = true;
  });
  auto read = [&] {
    while (!done) {
      for (int slot = 1; slot <= 4; ++slot) {
        std::unique_ptr<CET_FilterData> clone(slots.GetSlot(slot));
        if (clone) {
          EXPECT_EQ(clone->m_nContrast, -clone->m_nExposure);
          ++seen;
        }
        slots.IsModified(slot);
      }
    }
  };
  std::thread reader(read);
  read();
  writer.join();
  reader.join();
  EXPECT_GE(seen, 2000);
}

}  // namespace
