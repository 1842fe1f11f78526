#pragma once
// Worker threads of the core.
//
// A thread runs a function with one argument; its owner polls IsDone (or waits
// on an event the function sets), reads GetResult and deletes the object. No
// thread is ever killed: deleting the object of a thread that still runs prints
// a warning to stderr and waits for the thread to end.

#include <cstdint>
#include <memory>
#include <thread>

class FIThread {
public:
    using ThreadFunction = int (*)(void* argument);

    enum : int {
        PRIORITY_LOWEST = 0,
        PRIORITY_BELOW_NORMAL = 1,
        PRIORITY_NORMAL = 2, // also for any value outside 0..4
        PRIORITY_ABOVE_NORMAL = 3,
        PRIORITY_HIGHEST = 4,
    };

    virtual bool IsDone() = 0;
    virtual int GetResult() = 0;
    virtual void SetPriority(int priority) = 0;
    virtual int GetPriority() = 0;
    virtual ~FIThread() = default;

    // A new thread, already running when the call returns; null when the object
    // cannot be allocated.
    static FIThread* Create(ThreadFunction function, void* argument, int priority);
    // Deletes the object (waiting for its thread) and clears the pointer.
    static void Delete(FIThread*& thread);
};

class FWinThread : public FIThread {
public:
    // GetResult until the function has returned.
    static constexpr int RESULT_RUNNING = static_cast<int>(0xABCDEFABu);
    // GetResult of a function that ended by an exception, or of a thread the
    // system refused to start (which reports done at once).
    static constexpr int RESULT_EXCEPTION = static_cast<int>(0xDEADBEEFu);

    FWinThread(ThreadFunction function, void* argument, int priority);
    FWinThread(const FWinThread&) = delete;
    FWinThread& operator=(const FWinThread&) = delete;
    ~FWinThread() override;

    bool IsDone() override;
    int GetResult() override;
    // Stores the value and applies the matching nice value to the thread, best
    // effort: a refusal (raising needs privileges) is only a diagnostic.
    void SetPriority(int priority) override;
    int GetPriority() override;

    // Nice value relative to the process's for a priority value.
    static int NiceOffsetForPriority(int priority);

private:
    // What the thread shares with its object; the thread keeps it alive, so a
    // thread whose object is gone never touches freed memory.
    struct State;
    std::shared_ptr<State> m_pState;
    std::thread m_Thread;
};

// Suspends the calling thread for seconds x 1000 milliseconds, truncated.
void SleepSeconds(double seconds);
