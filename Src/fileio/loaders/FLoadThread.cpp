#include "fileio/loaders/FLoadThread.h"

#include "fileio/loaders/FDataRetrieverRequest.h"
#include "foundation/FAssert.h"
#include "foundation/FThread.h"

#include <thread>

FLoadThread::FLoadThread(const char* loaderName, Handler handler)
    : m_sLoaderName(loaderName), m_Handler(std::move(handler))
{
    m_pThread = FIThread::Create(&FLoadThread::ThreadProc, this, FIThread::PRIORITY_NORMAL);
}

FLoadThread::~FLoadThread()
{
    m_bQuit.store(true, std::memory_order_release);
    // A request whose final status is not out yet is still owned by a caller
    // that is here, in this destructor, so it is alive.
    if (!m_bQueuedFinished.load(std::memory_order_acquire))
        if (FDataRetrieverRequest* queued = m_pQueuedRequest.load(std::memory_order_acquire))
            queued->Cancel();
    m_RequestEvent.Set();

    if (m_pThread) {
        int polls = 0;
        while (!m_pThread->IsDone()) {
            if (m_bExited.load(std::memory_order_acquire)) {
                // Past its last use of this object: only the thread's own
                // ending remains, which takes moments.
                std::this_thread::yield();
                continue;
            }
            if (polls++ == kExitPolls) {
                DebugPrintf("%s::~%s: load thread failed to exit!\n", m_sLoaderName.c_str(), m_sLoaderName.c_str());
                break;
            }
            m_DoneEvent.Wait(kExitPollMilliseconds);
        }
        // Waits for the thread: the decoders stop between rows once cancelled,
        // and the events and the handler must outlive it.
        FIThread::Delete(m_pThread);
    }
}

bool FLoadThread::IsThreadRunning() const
{
    return m_pThread && !m_bExited.load(std::memory_order_acquire) && !m_pThread->IsDone();
}

bool FLoadThread::IsRunning(const FDataRetrieverRequest& request) const
{
    return m_pQueuedRequest.load(std::memory_order_acquire) == &request &&
           !m_bQueuedFinished.load(std::memory_order_acquire);
}

void FLoadThread::Idle()
{
    if (m_pQueuedRequest.load(std::memory_order_acquire))
        m_DoneEvent.Wait(kIdleMilliseconds);
}

void FLoadThread::RunNow(FDataRetrieverRequest& request)
{
    PublishOutcome(request, m_Handler(request));
}

void FLoadThread::QueueRequest(FDataRetrieverRequest& request)
{
    if (!IsThreadRunning()) {
        RunNow(request);
        return;
    }
    if (m_pQueuedRequest.load(std::memory_order_acquire)) {
        if (!m_bQueuedFinished.load(std::memory_order_acquire)) {
            PublishOutcome(request, FLoaderOutcome::Error(LOADER_ERROR_BUSY, m_sLoaderName.c_str()));
            return;
        }
        // Finished; the thread is about to clear the slot and signal.
        m_DoneEvent.Wait(FSYNC_INFINITE);
    }

    request.SetError(LOADER_ERROR_NONE);
    request.SetStatus(LOADER_STATUS_PENDING);
    m_bQueuedFinished.store(false, std::memory_order_release);
    m_DoneEvent.Reset();
    m_pQueuedRequest.store(&request, std::memory_order_release);
    m_RequestEvent.Set();
    Idle();
}

void FLoadThread::RunQueuedRequest(FDataRetrieverRequest& request)
{
    FLoaderOutcome outcome;
    try {
        outcome = m_Handler(request);
    } catch (...) {
        outcome = FLoaderOutcome::Error(LOADER_ERROR_EXCEPTION, (m_sLoaderName + ": unknown exception").c_str());
    }
    m_bQueuedFinished.store(true, std::memory_order_release);
    // The last touch of the request: its owner may free it as soon as it sees
    // the status.
    PublishOutcome(request, outcome);
    m_pQueuedRequest.store(nullptr, std::memory_order_release);
    m_DoneEvent.Set();
}

int FLoadThread::ThreadProc(void* argument)
{
    FLoadThread& self = *static_cast<FLoadThread*>(argument);
    while (!self.m_bQuit.load(std::memory_order_acquire)) {
        self.m_RequestEvent.Wait(FSYNC_INFINITE);
        if (FDataRetrieverRequest* request = self.m_pQueuedRequest.load(std::memory_order_acquire))
            self.RunQueuedRequest(*request);
    }
    self.m_bExited.store(true, std::memory_order_release);
    // Wakes a destructor that is polling.
    self.m_DoneEvent.Set();
    return 0;
}
