// The framework's semaphore and lock.

#include "platform/afx/AfxMt.h"

#include <chrono>

BOOL CSemaphore::Lock(DWORD timeoutMs) {
  std::unique_lock lock(m_mutex);
  auto available = [&] { return m_count > 0; };
  if (timeoutMs == INFINITE) {
    m_cv.wait(lock, available);
  } else if (!m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), available)) {
    return FALSE;
  }
  --m_count;
  return TRUE;
}

BOOL CSemaphore::Unlock(LONG count) {
  {
    std::lock_guard lock(m_mutex);
    if (count <= 0 || m_count + count > m_max) return FALSE;
    m_count += count;
  }
  m_cv.notify_all();
  return TRUE;
}

BOOL CSingleLock::Lock(DWORD timeoutMs) {
  if (m_locked || !m_object) return m_locked;
  m_locked = m_object->Lock(timeoutMs);
  return m_locked;
}

BOOL CSingleLock::Unlock() {
  if (!m_locked) return FALSE;
  m_locked = FALSE;
  return m_object->Unlock();
}
