#include "foundation/FSync.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>

#include "foundation/FAssert.h"
#include "foundation/FException.h"

namespace {

// Waits on cv under lock until ready() holds or the time runs out; false only
// on time-out.
template <typename Ready>
bool WaitFor(std::condition_variable& cv, std::unique_lock<std::mutex>& lock, uint32_t milliseconds, Ready ready)
{
    if (milliseconds == FSYNC_INFINITE) {
        cv.wait(lock, ready);
        return true;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    return cv.wait_until(lock, deadline, ready);
}

// A lock that knows its holder and counts its re-entries, like the system
// mutexes and critical sections the core was designed around.
class OwnedLock {
public:
    // Takes the lock for the calling thread. A holder gets through again when
    // reentry is allowed (one more Release needed) and is refused otherwise.
    bool Acquire(uint32_t milliseconds, bool allowReentry)
    {
        std::unique_lock<std::mutex> guard(m_Lock);
        const std::thread::id caller = std::this_thread::get_id();
        if (m_Depth > 0 && m_Owner == caller) {
            if (!allowReentry)
                return false;
            ++m_Depth;
            return true;
        }
        if (!WaitFor(m_Freed, guard, milliseconds, [this] { return m_Depth == 0; }))
            return false;
        m_Owner = caller;
        m_Depth = 1;
        return true;
    }

    // False, changing nothing, when the calling thread does not hold the lock.
    bool Release()
    {
        std::unique_lock<std::mutex> guard(m_Lock);
        if (m_Depth == 0 || m_Owner != std::this_thread::get_id())
            return false;
        if (--m_Depth > 0)
            return true;
        m_Owner = std::thread::id();
        // Notified under the lock: a waiter that takes the lock may destroy it at once.
        m_Freed.notify_one();
        return true;
    }

private:
    std::mutex m_Lock;
    std::condition_variable m_Freed;
    std::thread::id m_Owner;
    uint32_t m_Depth = 0;
};

template <typename T>
std::unique_ptr<T> MakeSyncState(const char* failureText)
{
    T* state = new (std::nothrow) T;
    if (!state)
        throw FExceptionSyncObject(failureText);
    return std::unique_ptr<T>(state);
}

} // namespace

struct FMutex::State : OwnedLock {};

FMutex::FMutex() : m_pState(MakeSyncState<State>("Can't create handle for FMutex")) {}

FMutex::~FMutex() = default;

bool FMutex::Wait(uint32_t milliseconds)
{
    return m_pState->Acquire(milliseconds, true);
}

bool FMutex::Lock(uint32_t milliseconds)
{
    return m_pState->Acquire(milliseconds, false);
}

bool FMutex::Unlock()
{
    return m_pState->Release();
}

struct FEvent::State {
    std::mutex lock;
    std::condition_variable signalled;
    bool isSet = false;
};

FEvent::FEvent() : m_pState(MakeSyncState<State>("Can't create handle for FEvent")) {}

FEvent::~FEvent() = default;

void FEvent::Set()
{
    // Notified under the lock: the waiter may destroy the event as soon as it
    // returns, and the setter must not touch it after that.
    std::lock_guard<std::mutex> guard(m_pState->lock);
    m_pState->isSet = true;
    m_pState->signalled.notify_one();
}

void FEvent::Reset()
{
    std::lock_guard<std::mutex> guard(m_pState->lock);
    m_pState->isSet = false;
}

bool FEvent::Wait(uint32_t milliseconds)
{
    std::unique_lock<std::mutex> guard(m_pState->lock);
    if (!WaitFor(m_pState->signalled, guard, milliseconds, [this] { return m_pState->isSet; }))
        return false;
    // Auto-reset: the waiter that takes the signal clears it.
    m_pState->isSet = false;
    return true;
}

struct FCriticalSection::State : OwnedLock {};

FCriticalSection::FCriticalSection() : m_pState(std::make_unique<State>()) {}

FCriticalSection::~FCriticalSection() = default;

void FCriticalSection::Enter()
{
    m_pState->Acquire(FSYNC_INFINITE, true);
}

void FCriticalSection::Leave()
{
    if (!m_pState->Release())
        DebugPrintf("FCriticalSection::Leave: the calling thread does not hold the section\n");
}
