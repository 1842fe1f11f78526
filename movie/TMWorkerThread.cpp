#include "movie/TMWorkerThread.h"

#include <system_error>

namespace tkrmovie {

bool TMWorkerThread::Start(TMWorkerThread*& thread, std::function<void()> work)
{
    // Held before the thread starts: the work may mark it done at once.
    thread = new TMWorkerThread;
    try {
        thread->m_Thread = std::thread(std::move(work));
    } catch (const std::system_error&) {
        delete thread;
        thread = nullptr;
        return false;
    }
    return true;
}

bool TMWorkerThread::Running(TMWorkerThread*& thread)
{
    if (!thread)
        return false;
    if (!thread->m_Done.load())
        return true;
    Finish(thread);
    return false;
}

void TMWorkerThread::Finish(TMWorkerThread*& thread)
{
    if (!thread)
        return;
    if (thread->m_Thread.joinable())
        thread->m_Thread.join();
    delete thread;
    thread = nullptr;
}

} // namespace tkrmovie
