#pragma once
// The load thread every loader owns, with its request and done events and the
// one queued request. The loader's request handler runs either in the caller's
// thread (RunNow) or on this thread (QueueRequest); its outcome is published
// into the request with the status written last.

#include "fileio/LoaderRequestHandling.h"
#include "foundation/FSync.h"

#include <atomic>
#include <functional>
#include <string>

class FIThread;
class FDataRetrieverRequest;

class FLoadThread {
public:
    // Does the work of one request and reports how it ended; never throws.
    using Handler = std::function<FLoaderOutcome(FDataRetrieverRequest&)>;

    // Polls of a stopping thread, and the pause before each.
    static constexpr int kExitPolls = 45;
    static constexpr uint32_t kExitPollMilliseconds = 109;
    static constexpr uint32_t kIdleMilliseconds = 100;

    // Starts the thread at normal priority. loaderName is the loader's class
    // name, used in the busy text and the exit warning.
    FLoadThread(const char* loaderName, Handler handler);
    FLoadThread(const FLoadThread&) = delete;
    FLoadThread& operator=(const FLoadThread&) = delete;
    // Asks the thread to quit and the queued request, if still running, to
    // cancel; polls the thread kExitPolls times and warns when it still runs,
    // then waits for it regardless: the thread never outlives what it uses.
    ~FLoadThread();

    // When a request is queued, waits at most kIdleMilliseconds for it.
    void Idle();
    // Handles the request in the calling thread.
    void RunNow(FDataRetrieverRequest& request);
    // Hands the request to the load thread. A request still running makes the
    // new one fail as busy (status 4, error 1, the loader's name); one that has
    // just finished is waited for. Ends with Idle, so a short load may be done
    // on return. Without a running load thread the request runs now instead of
    // waiting for ever.
    void QueueRequest(FDataRetrieverRequest& request);

private:
    static int ThreadProc(void* argument);
    void RunQueuedRequest(FDataRetrieverRequest& request);
    bool IsThreadRunning() const;

    std::string m_sLoaderName;
    Handler m_Handler;
    FIThread* m_pThread = nullptr;
    FEvent m_RequestEvent;
    FEvent m_DoneEvent;
    std::atomic<FDataRetrieverRequest*> m_pQueuedRequest{nullptr};
    // Set before the queued request's final status is published, so the
    // caller's side can tell "still running" without reading a record that
    // its owner may already have freed.
    std::atomic<bool> m_bQueuedFinished{true};
    std::atomic<bool> m_bQuit{false};
    std::atomic<bool> m_bExited{false};
};
