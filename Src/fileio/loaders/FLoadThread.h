#pragma once
// The load thread every loader owns, with its request and done events and the
// one queued request. The loader's request handler runs either in the caller's
// thread (RunNow) or on this thread (QueueRequest); its outcome is published
// into the request with the status written last.

#include "fileio/loaders/FILoader.h"
#include "fileio/loaders/LoaderRequestHandling.h"
#include "foundation/FSync.h"

#include <atomic>
#include <functional>
#include <string>
#include <utility>

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
    // Whether this very record is queued and its load still runs.
    bool IsRunning(const FDataRetrieverRequest& request) const;

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

// What every loader does alike: it owns a load thread, Release deletes it, Idle
// waits on its thread, and Request waits first, then routes the request by
// its kind (Route, the loader's own table).
template <class Interface>
class FThreadedLoader : public Interface {
public:
    FThreadedLoader(const FThreadedLoader&) = delete;
    FThreadedLoader& operator=(const FThreadedLoader&) = delete;

    void Release() override { delete this; }
    void Idle() override { m_LoadThread.Idle(); }
    void Request(FDataRetrieverRequest* request) override
    {
        Idle();
        // A record sent again while its load still runs is left to finish:
        // answering it now would write it from two threads.
        if (request && !m_LoadThread.IsRunning(*request))
            Route(*request);
    }

protected:
    FThreadedLoader(const char* loaderName, FLoadThread::Handler handler)
        : m_LoadThread(loaderName, std::move(handler))
    {
    }

    // Answers the request at once, runs it now or queues it, by its kind.
    virtual void Route(FDataRetrieverRequest& request) = 0;

    // Kind 1: pixels load on the load thread; a description alone is answered
    // in the caller's thread.
    void RunOrQueueImage(FDataRetrieverRequest& request)
    {
        if (request.GetPixmap())
            m_LoadThread.QueueRequest(request);
        else
            m_LoadThread.RunNow(request);
    }

    // Status 4, error 2 with the loader's refusal text.
    static void Refuse(FDataRetrieverRequest& request, const char* text)
    {
        PublishOutcome(request, FLoaderOutcome::Error(LOADER_ERROR_BAD_REQUEST, text));
    }

    FLoadThread m_LoadThread;
};
