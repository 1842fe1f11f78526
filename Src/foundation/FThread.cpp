#include "foundation/FThread.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <new>
#include <system_error>

#include "foundation/FAssert.h"

namespace {

// Nice value of the process (its main thread), read once: priorities are
// relative to it, not to the thread that happens to create a worker.
int ProcessNice()
{
    static const int nice = [] {
        errno = 0;
        const int value = getpriority(PRIO_PROCESS, static_cast<id_t>(getpid()));
        return errno == 0 ? value : 0;
    }();
    return nice;
}

int NiceForPriority(int priority)
{
    return std::clamp(ProcessNice() + FWinThread::NiceOffsetForPriority(priority), -20, 19);
}

} // namespace

struct FWinThread::State {
    ThreadFunction function = nullptr;
    void* argument = nullptr;
    std::atomic<int> result{RESULT_RUNNING};
    std::atomic<bool> done{false};
    std::atomic<int> priority{PRIORITY_NORMAL};

    // The kernel id is valid only while the thread runs its function; it is set
    // and cleared under this lock, so a priority is never applied to an id the
    // kernel may have handed to another thread.
    std::mutex idLock;
    pid_t threadId = 0;
    int wantedNice = 0;

    void ApplyNiceLocked()
    {
        if (threadId != 0 && setpriority(PRIO_PROCESS, static_cast<id_t>(threadId), wantedNice) != 0)
            DebugPrintf("%s failed", "FWinThread::SetPriority:SetThreadPriority");
    }

    void Run()
    {
        {
            std::lock_guard<std::mutex> guard(idLock);
            threadId = gettid();
            ApplyNiceLocked();
        }
        int value = RESULT_EXCEPTION;
        try {
            if (function)
                value = function(argument);
        } catch (...) {
            value = RESULT_EXCEPTION;
        }
        {
            std::lock_guard<std::mutex> guard(idLock);
            threadId = 0;
        }
        result.store(value, std::memory_order_release);
        // Last: an owner that sees done also sees the result.
        done.store(true, std::memory_order_release);
    }
};

int FWinThread::NiceOffsetForPriority(int priority)
{
    switch (priority) {
    case PRIORITY_LOWEST: return 4;
    case PRIORITY_BELOW_NORMAL: return 2;
    case PRIORITY_ABOVE_NORMAL: return -2;
    case PRIORITY_HIGHEST: return -4;
    default: return 0;
    }
}

FWinThread::FWinThread(ThreadFunction function, void* argument, int priority) : m_pState(std::make_shared<State>())
{
    m_pState->function = function;
    m_pState->argument = argument;
    m_pState->priority.store(priority);
    m_pState->wantedNice = NiceForPriority(priority); // applied by the thread before it calls the function
    try {
        m_Thread = std::thread([state = m_pState] { state->Run(); });
    } catch (const std::system_error&) {
        DebugPrintf("%s failed", "FWinThread:CreateThread()");
        // Reported as ended, so an owner waiting for it does not wait for ever.
        m_pState->result.store(RESULT_EXCEPTION, std::memory_order_release);
        m_pState->done.store(true, std::memory_order_release);
    }
}

FWinThread::~FWinThread()
{
    if (!m_Thread.joinable())
        return;
    if (m_Thread.get_id() == std::this_thread::get_id()) {
        // The function deletes its own thread object: it owns its state and ends on its own.
        m_Thread.detach();
        return;
    }
    if (!m_pState->done.load(std::memory_order_acquire)) {
        // The thread is never killed (that would leave locks held and the heap torn): wait for it.
        std::fputs("WARNING: Forcibly terminating thread in FWinThread destructor\n", stderr);
        std::fflush(stderr);
    }
    m_Thread.join();
}

bool FWinThread::IsDone()
{
    return m_pState->done.load(std::memory_order_acquire);
}

int FWinThread::GetResult()
{
    return m_pState->result.load(std::memory_order_acquire);
}

void FWinThread::SetPriority(int priority)
{
    m_pState->priority.store(priority);
    std::lock_guard<std::mutex> guard(m_pState->idLock);
    m_pState->wantedNice = NiceForPriority(priority);
    m_pState->ApplyNiceLocked();
}

int FWinThread::GetPriority()
{
    return m_pState->priority.load();
}

FIThread* FIThread::Create(ThreadFunction function, void* argument, int priority)
{
    try {
        return new FWinThread(function, argument, priority);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void FIThread::Delete(FIThread*& thread)
{
    delete thread;
    thread = nullptr;
}

void SleepSeconds(double seconds)
{
    const double milliseconds = seconds * 1000.0;
    if (!(milliseconds >= 1.0))
        return;
    const double capped = std::min(milliseconds, 4294967294.0);
    std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int64_t>(capped)));
}
