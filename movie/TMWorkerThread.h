#pragma once
// A thread of the library's own (a grab, an encode job): it stays with its
// object until it has been waited for, and marks itself done when nothing is
// left for it but to post its messages and end, so a finished job never
// counts as running.

#include <atomic>
#include <functional>
#include <thread>

namespace tkrmovie {

class TMWorkerThread {
public:
    // A new thread running work held in thread; false (and no thread) when
    // the system refuses one.
    static bool Start(TMWorkerThread*& thread, std::function<void()> work);
    // False when no thread runs; a done one is waited for and freed.
    static bool Running(TMWorkerThread*& thread);
    // Waits for the thread and frees it.
    static void Finish(TMWorkerThread*& thread);

    void MarkDone() { m_Done.store(true); }

private:
    std::thread m_Thread;
    std::atomic<bool> m_Done{false};
};

} // namespace tkrmovie
