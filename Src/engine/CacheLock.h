#pragma once
// The lock of the engine's process-wide caches: a short wait on the cache's
// mutex, then an exception with the cache's own message, because a cache held
// that long means a caller hangs while holding it.
#include "foundation/FException.h"
#include "foundation/FSync.h"

#include <cstdint>

class FCacheLock {
public:
    static constexpr uint32_t kTimeoutMs = 100;

    FCacheLock(FMutex& mutex, const char* failureMessage) : m_Mutex(mutex)
    {
        if (!m_Mutex.Lock(kTimeoutMs))
            throw FExceptionPixelProc2(failureMessage);
    }
    ~FCacheLock() { m_Mutex.Unlock(); }
    FCacheLock(const FCacheLock&) = delete;
    FCacheLock& operator=(const FCacheLock&) = delete;

private:
    FMutex& m_Mutex;
};
