#pragma once
// The four variants of the adjustment settings one review window switches
// between: 1 as shot (the settings stored in the file), 2 the automatic
// adjustment, 3 the custom settings, 4 the user setting. The user-interface
// thread and the window's develop worker both read and fill them, so the
// object is its own lock: a semaphore of count 1, taken with an infinite wait.
//
// The lock is not re-entrant. GetSlot, IsModified and Clear take it
// themselves; code that changes slots directly takes the object
// (CSingleLock lock(&slots, TRUE)), reads or replaces m_pSlot and lets go
// before it notifies a window or starts a worker. Records in the slots are
// owned here and never shared: readers get clones.

#include "platform/afx/AfxMt.h"
#include "toolkit/CET_FilterData.h"

class CFilterDataSlots : public CSemaphore {
public:
  static constexpr int kAsShot = 1;
  static constexpr int kAuto = 2;
  static constexpr int kCustom = 3;
  static constexpr int kUser = 4;
  static constexpr int kCount = 4;

  CFilterDataSlots();
  ~CFilterDataSlots();
  CFilterDataSlots(const CFilterDataSlots&) = delete;
  CFilterDataSlots& operator=(const CFilterDataSlots&) = delete;

  static bool IsSlotNumber(int slot) { return slot >= kAsShot && slot <= kCount; }

  // A new clone of the record in the slot (the caller deletes it), or null
  // when the slot is empty or the number is not 1 to 4.
  CET_FilterData* GetSlot(int slot);
  // Slot 2, 3 or 4 holds a record that differs from slot 1's in its
  // adjustments (names, white balance, colour mode and noise reduction are
  // not compared). FALSE while either is empty, and always for slot 1.
  BOOL IsModified(int slot);
  // Deletes the four records, slot 1 first.
  void Clear();

  // Only for a holder of the lock. Copies the record into the slot's own
  // record, or stores a clone of it when the slot is empty; null empties the
  // slot. Numbers outside 1 to 4 change nothing.
  void StoreLocked(int slot, const CET_FilterData* record);
  // Only for a holder of the lock: the slot's record (or null); stays owned here.
  CET_FilterData* PeekLocked(int slot) const { return IsSlotNumber(slot) ? m_pSlot[slot - 1] : nullptr; }

  // Slots 1 to 4 at indexes 0 to 3.
  CET_FilterData* m_pSlot[kCount] = {};
};
