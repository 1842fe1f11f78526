#include "output/ThreadProgressState.h"

void ThreadProgressState::Reset() {
  CSingleLock lock(&m_Lock, TRUE);
  m_nProgress = 0;
  m_bCancel = FALSE;
}

BOOL ThreadProgressState::Accept(int percent) {
  CSingleLock lock(&m_Lock, TRUE);
  if (m_bCancel) return FALSE;
  m_nProgress = percent;
  return TRUE;
}

int ThreadProgressState::GetProgress() const {
  CSingleLock lock(&m_Lock, TRUE);
  return m_nProgress;
}

void ThreadProgressState::SetCancel(BOOL cancel) {
  CSingleLock lock(&m_Lock, TRUE);
  m_bCancel = cancel;
}

BOOL ThreadProgressState::IsCancelled() const {
  CSingleLock lock(&m_Lock, TRUE);
  return m_bCancel;
}
