#pragma once
// The engine lock: the image managers and their pool have no lock of their
// own, so every use of them and of the development facade by the user
// interface's threads runs while holding this one lock.
//
// The application's locks are taken in one order (KVRLockRank): the
// shooting-information lock may be held while the engine lock is taken, and
// the engine lock while a white-balance or colour-mode list lock is taken,
// never the reverse. A lock knows its holder: the holder's own second Lock
// gets through at once (one more Unlock is then owed), so a function that
// takes the engine lock can be called by code that already holds it; a
// waiting Lock that would break the order is refused at once instead of
// risking a deadlock.

#include "foundation/FSync.h"

#include <cstdint>

// Wait for ever.
inline constexpr uint32_t kKVRWaitForever = FSYNC_INFINITE;

// A thread may wait for a lock only while every other lock it holds has a
// lower or equal rank.
enum KVRLockRank : int {
    kLockRankShootingInfo = 1,
    kLockRankEngine = 2,
    kLockRankAdjustmentLists = 3,
};

class KVROrderedLock {
public:
    explicit KVROrderedLock(KVRLockRank rank) : m_eRank(rank) {}
    KVROrderedLock(const KVROrderedLock&) = delete;
    KVROrderedLock& operator=(const KVROrderedLock&) = delete;

    // Waits up to milliseconds (kKVRWaitForever: for ever; 0: one try); true
    // when taken. False at once when the calling thread holds a lock of a
    // higher rank and would have to wait.
    bool Lock(uint32_t milliseconds);
    // False, changing nothing, when the calling thread does not hold it.
    bool Unlock();
    bool IsHeldByCallingThread() const;
    KVRLockRank GetRank() const { return m_eRank; }

private:
    FMutex m_Mutex;
    KVRLockRank m_eRank;
};

// The process's engine lock.
KVROrderedLock& GetEngineLock();
// The application's entry points to it (CLumitraApp::LockEngine, UnlockEngine).
bool LockEngine(uint32_t milliseconds);
void UnlockEngine();

// Holds the engine lock for a scope, and releases it on every way out.
class KVREngineLockScope {
public:
    explicit KVREngineLockScope(uint32_t milliseconds = kKVRWaitForever) : m_bLocked(LockEngine(milliseconds)) {}
    KVREngineLockScope(const KVREngineLockScope&) = delete;
    KVREngineLockScope& operator=(const KVREngineLockScope&) = delete;
    ~KVREngineLockScope()
    {
        if (m_bLocked)
            UnlockEngine();
    }
    // False when a try found the lock taken (or the order forbade the wait).
    bool IsLocked() const { return m_bLocked; }

private:
    bool m_bLocked;
};
