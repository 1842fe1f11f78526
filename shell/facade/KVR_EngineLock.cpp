#include "shell/facade/KVR_EngineLock.h"

#include "foundation/FAssert.h"

#include <algorithm>
#include <vector>

namespace {

// The locks the calling thread holds, once per time taken.
thread_local std::vector<const KVROrderedLock*> t_HeldLocks;

bool WaitWouldBreakOrder(const KVROrderedLock& wanted)
{
    return std::any_of(t_HeldLocks.begin(), t_HeldLocks.end(), [&wanted](const KVROrderedLock* held) {
        return held != &wanted && held->GetRank() > wanted.GetRank();
    });
}

} // namespace

bool KVROrderedLock::Lock(uint32_t milliseconds)
{
    if (milliseconds != 0 && !IsHeldByCallingThread() && WaitWouldBreakOrder(*this)) {
        DebugPrintf("KVROrderedLock: a wait for a lock of rank %d under a lock of a higher rank is refused.\n",
                    static_cast<int>(m_eRank));
        return false;
    }
    if (!m_Mutex.Wait(milliseconds))
        return false;
    t_HeldLocks.push_back(this);
    return true;
}

bool KVROrderedLock::Unlock()
{
    if (!m_Mutex.Unlock())
        return false;
    t_HeldLocks.erase(std::find(t_HeldLocks.rbegin(), t_HeldLocks.rend(), this).base() - 1);
    return true;
}

bool KVROrderedLock::IsHeldByCallingThread() const
{
    return std::find(t_HeldLocks.begin(), t_HeldLocks.end(), this) != t_HeldLocks.end();
}

KVROrderedLock& GetEngineLock()
{
    static KVROrderedLock lock(kLockRankEngine);
    return lock;
}

bool LockEngine(uint32_t milliseconds)
{
    return GetEngineLock().Lock(milliseconds);
}

void UnlockEngine()
{
    GetEngineLock().Unlock();
}
