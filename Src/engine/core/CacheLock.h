#pragma once
// The lock of the engine's process-wide caches. It waits as long as the holder
// needs: building a colour transform or a table can take well over 100 ms on a
// busy machine, and a short time limit then failed healthy developments of
// other engines with error 14. A thread that already holds the mutex gets the
// exception with the cache's own message at once instead of a deadlock.
#include "foundation/FException.h"
#include "foundation/FSync.h"

class FCacheLock {
public:
    FCacheLock(FMutex& mutex, const char* failureMessage) : m_Mutex(mutex)
    {
        if (!m_Mutex.Lock(FSYNC_INFINITE))
            throw FExceptionPixelProc2(failureMessage);
    }
    ~FCacheLock() { m_Mutex.Unlock(); }
    FCacheLock(const FCacheLock&) = delete;
    FCacheLock& operator=(const FCacheLock&) = delete;

private:
    FMutex& m_Mutex;
};
