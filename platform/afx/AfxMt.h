#pragma once
// The framework's synchronisation objects the user interface uses: a counting
// semaphore and a lock that takes it. Qt-free.

#include "platform/win/WinBase.h"

#include <condition_variable>
#include <mutex>

class CSemaphore {
public:
  explicit CSemaphore(LONG initialCount = 1, LONG maxCount = 1) : m_count(initialCount), m_max(maxCount) {}
  // Waits up to the time given (INFINITE: for ever); TRUE when taken.
  BOOL Lock(DWORD timeoutMs = INFINITE);
  BOOL Unlock(LONG count = 1);

private:
  std::mutex m_mutex;
  std::condition_variable m_cv;
  LONG m_count;
  LONG m_max;
};

class CSingleLock {
public:
  explicit CSingleLock(CSemaphore* object, BOOL initialLock = FALSE) : m_object(object) {
    if (initialLock) Lock();
  }
  ~CSingleLock() { Unlock(); }
  CSingleLock(const CSingleLock&) = delete;
  CSingleLock& operator=(const CSingleLock&) = delete;
  BOOL Lock(DWORD timeoutMs = INFINITE);
  // Releases only what this lock holds.
  BOOL Unlock();
  BOOL IsLocked() const { return m_locked; }

private:
  CSemaphore* m_object;
  BOOL m_locked = FALSE;
};
