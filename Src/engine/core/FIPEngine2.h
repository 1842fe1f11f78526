#pragma once
// The processing engine: the one object through which an image manager gets
// pixel work done. Each engine owns one processing thread and runs at most one
// request record at a time on it. The caller never blocks for the length of
// the work: it hands a record over with Request and then polls the record's
// status, calling Idle between polls. Results, progress, errors and the cancel
// flag all travel in the record (see FIPERequest.h for who may touch what
// while it runs). Every exception a handler raises is caught on the
// processing thread and becomes an error status in the record.
#include "engine/core/FIPERequest.h"
#include "engine/core/LargeWorkMemory.h"
#include "foundation/FSync.h"

#include <atomic>
#include <cstdint>
#include <functional>

class FIThread;

class FIIPEngine2 {
public:
    // Waits for the processing thread to end; a record still running is asked
    // to stop first.
    virtual ~FIIPEngine2() = default;
    // Hands a record to the engine; returns within about 200 ms whatever the
    // work, the record's status then 1 (accepted, or already finished) or 4
    // (refused). Never throws.
    virtual void Request(FIPERequest* request) = 0;
    // Waits at most 100 ms for the running record; returns at once when none runs.
    virtual void Idle() = 0;
};

// A new engine with its processing thread running; null when it cannot be
// allocated.
FIIPEngine2* CreateIPEngine2();

// Deletes the object through its virtual destructor and clears the pointer.
template <class T>
void SafeDelete(T*& object)
{
    delete object;
    object = nullptr;
}

// The handlers are private members defined, one each, by the files of their
// stages. A handler runs on the processing thread and:
//   - writes its outputs and the resume block, then ends the record as its
//     last action with Finish(kIPStatusDone), Finish(kIPStatusCancelled) or
//     Fail(code, text), and touches the record no more;
//   - may report progress with SetProgress and poll IsCancelled (or hand
//     GetCancelFlag to its kernels);
//   - may throw instead: FException gives error 14, std::bad_alloc 13, any
//     other exception 14 (a handler that returns without ending the record
//     gets error 14 too).
// A handler waits for every thread it starts before it ends the record.
class FIPEngine2 final : public FIIPEngine2 {
public:
    static constexpr uint32_t kIdleMilliseconds = 100;
    // How long the work memory of the last requests is kept once the engine
    // has nothing to do: the next development of a picture usually follows
    // within moments (a changed setting, the next picture of a batch).
    static constexpr uint32_t kKeepWorkMemoryMilliseconds = 3000;
    // How long the destructor polls before it reports a thread that does not
    // end (it goes on waiting: the thread is never killed).
    static constexpr int kExitPolls = 50;
    static constexpr uint32_t kExitPollMilliseconds = 100;

    // Throws FExceptionSyncObject when an event cannot be created.
    FIPEngine2();
    FIPEngine2(const FIPEngine2&) = delete;
    FIPEngine2& operator=(const FIPEngine2&) = delete;
    ~FIPEngine2() override;

    void Request(FIPERequest* request) override;
    void Idle() override;

private:
    friend class FIPEngine2TestAccess;

    static int priThreadProc(void* engine);
    void priQueueRequest(FIPERequest* request);
    void priHandleRequest(FIPERequest* request);
    void priDispatch(FIPERequest* request);

    void priProcessStage1(FIPERequestStage1* request);
    void priProcessStage2(FIPERequestStage2* request);
    void priProcessStage3(FIPERequestStage3* request);
    void priProcessStage4(FIPERequestStage4* request);
    void priProcessGenerateToneLUT(FIPERequestGenerateToneLUT* request);
    void priProcessCropSizeRotate(FIPERequestCropSizeRotate* request);
    void priProcessRotate(FIPERequestRotate* request);

    FIThread* m_pThread = nullptr;
    // Set when a record has been handed over, and to wake the thread for quitting.
    FEvent m_RequestEvent;
    // Set by the processing thread each time it has released a record.
    FEvent m_DoneEvent;
    // The record being handled or about to be; null when the thread is free.
    // Not owned.
    std::atomic<FIPERequest*> m_pActiveRequest{nullptr};
    // From acceptance until the active record's final status is published:
    // while it is set the record is alive and a new request is refused as busy.
    std::atomic<bool> m_bHandlerRunning{false};
    std::atomic<bool> m_bQuit{false};
    std::atomic<bool> m_bThreadExited{false};
    // The handlers' large work blocks, kept from one request to the next.
    WorkMemoryStore m_WorkMemory;
    // Tests only: when set, runs in place of the handler of every type.
    std::function<void(FIPERequest&)> m_TestHandler;
};
