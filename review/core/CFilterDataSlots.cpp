#include "review/core/CFilterDataSlots.h"

namespace {

void DeleteRecord(CET_FilterData*& record) {
  if (record) {
    record->Delete();
    record = nullptr;
  }
}

}  // namespace

CFilterDataSlots::CFilterDataSlots() : CSemaphore(1, 1) {}

CFilterDataSlots::~CFilterDataSlots() { Clear(); }

CET_FilterData* CFilterDataSlots::GetSlot(int slot) {
  CSingleLock lock(this, TRUE);
  const CET_FilterData* record = PeekLocked(slot);
  return record ? record->Clone() : nullptr;
}

BOOL CFilterDataSlots::IsModified(int slot) {
  if (slot == kAsShot || !IsSlotNumber(slot)) {
    return FALSE;
  }
  CSingleLock lock(this, TRUE);
  const CET_FilterData* asShot = m_pSlot[0];
  const CET_FilterData* record = m_pSlot[slot - 1];
  return asShot && record && !record->IsEqual(asShot, 0);
}

void CFilterDataSlots::Clear() {
  CSingleLock lock(this, TRUE);
  for (CET_FilterData*& record : m_pSlot) {
    DeleteRecord(record);
  }
}

void CFilterDataSlots::StoreLocked(int slot, const CET_FilterData* record) {
  if (!IsSlotNumber(slot)) {
    return;
  }
  CET_FilterData*& target = m_pSlot[slot - 1];
  if (!record) {
    DeleteRecord(target);
  } else if (target == record) {
    return;
  } else if (target) {
    target->CopyFrom(record);
  } else {
    target = record->Clone();
  }
}
