#include "engine/core/FIPEngine2.h"

#include "foundation/FAssert.h"
#include "foundation/FException.h"
#include "foundation/FThread.h"
#include "foundation/FWideText.h"

#include <new>
#include <thread>

namespace {

constexpr const char* kEngineName = "FIPEngine2";
constexpr uint32_t kLastRequestType = kIPERequestRotate;

// Runs handler(typed record) when the record is of the class its type id
// names; a record that claims another class's id is not supported.
template <class Record, class Handler>
bool RunTyped(FIPERequest* request, Handler&& handler)
{
    auto* typed = dynamic_cast<Record*>(request);
    if (!typed)
        return false;
    handler(typed);
    return true;
}

} // namespace

FIIPEngine2* CreateIPEngine2()
{
    try {
        return new FIPEngine2;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

FIPEngine2::FIPEngine2()
{
    m_pThread = FIThread::Create(&FIPEngine2::priThreadProc, this, FIThread::PRIORITY_NORMAL);
}

FIPEngine2::~FIPEngine2()
{
    m_bQuit.store(true, std::memory_order_release);
    // The owner is here, so a record still running is alive: its owner only
    // deletes it after its final status, which clears the flag first.
    if (m_bHandlerRunning.load(std::memory_order_acquire))
        if (FIPERequest* active = m_pActiveRequest.load(std::memory_order_acquire))
            active->Cancel();
    m_RequestEvent.Set();

    if (!m_pThread)
        return;
    int polls = 0;
    while (!m_pThread->IsDone()) {
        if (m_bThreadExited.load(std::memory_order_acquire)) {
            // Past its last use of this object: only the thread's own ending
            // remains, which takes moments.
            std::this_thread::yield();
            continue;
        }
        if (polls++ == kExitPolls) {
            DebugPrintf("FIPEngine2::~FIPEngine2: processing thread failed to exit!\n");
            break;
        }
        m_DoneEvent.Wait(kExitPollMilliseconds);
    }
    // Waits for the thread however long its handler takes: the events and
    // this object must outlive it.
    FIThread::Delete(m_pThread);
}

void FIPEngine2::Request(FIPERequest* request)
{
    Idle();
    if (!request)
        return;
    if (static_cast<uint32_t>(request->GetType()) > kLastRequestType) {
        request->Fail(kIPErrorUnsupportedRequest, "FIPEngine2: Unsupported request.");
        return;
    }
    priQueueRequest(request);
}

void FIPEngine2::Idle()
{
    if (m_pActiveRequest.load(std::memory_order_acquire))
        m_DoneEvent.Wait(kIdleMilliseconds);
}

void FIPEngine2::priQueueRequest(FIPERequest* request)
{
    if (FIPERequest* active = m_pActiveRequest.load(std::memory_order_acquire)) {
        if (m_bHandlerRunning.load(std::memory_order_acquire)) {
            // The running record itself, sent again, is left alone: failing
            // it now would write it from two threads.
            if (request != active)
                request->Fail(kIPErrorBusy, kEngineName);
            return;
        }
        // Its handler has ended it; the thread is about to release it. The
        // pointer is the test, not the signal: a signal may be left over from
        // the record before, and taking over the slot before the thread has
        // cleared it would lose the new record.
        while (m_pActiveRequest.load(std::memory_order_acquire))
            m_DoneEvent.Wait(kIdleMilliseconds);
    }
    if (!m_pThread || m_pThread->IsDone()) {
        // A thread the system refused to start: the record would wait for ever.
        request->Fail(kIPErrorException, "FIPEngine2: processing thread is not running");
        return;
    }

    m_bHandlerRunning.store(true, std::memory_order_release);
    request->priAccept(&m_bHandlerRunning);
    m_pActiveRequest.store(request, std::memory_order_release);
    m_DoneEvent.Reset();
    m_RequestEvent.Set();
    Idle();
}

int FIPEngine2::priThreadProc(void* argument)
{
    FIPEngine2& engine = *static_cast<FIPEngine2*>(argument);
    for (;;) {
        // The quit flag is read before the record: the owner accepts its last
        // record before it sets the flag, so a thread that sees the flag also
        // sees that record and ends it (cancelled) instead of leaving it
        // pending for ever.
        const bool quitting = engine.m_bQuit.load(std::memory_order_acquire);
        if (FIPERequest* request = engine.m_pActiveRequest.load(std::memory_order_acquire)) {
            engine.priHandleRequest(request);
            // Cleared before the signal, so a caller woken by it finds the engine free.
            engine.m_pActiveRequest.store(nullptr, std::memory_order_release);
            engine.m_DoneEvent.Set();
            continue;
        }
        if (quitting)
            break;
        if (engine.m_WorkMemory.KeptBytes() == 0)
            engine.m_RequestEvent.Wait(FSYNC_INFINITE);
        else if (!engine.m_RequestEvent.Wait(kKeepWorkMemoryMilliseconds))
            engine.m_WorkMemory.ReleaseKept();
    }
    engine.m_bThreadExited.store(true, std::memory_order_release);
    // Wakes a destructor that is polling.
    engine.m_DoneEvent.Set();
    return 0;
}

void FIPEngine2::priHandleRequest(FIPERequest* request)
{
    int32_t errorCode = kIPErrorException;
    FString errorText = "FIPEngine2: request ended without a status";
    const WorkMemoryStore::Scope workMemory(m_WorkMemory);
    try {
        if (m_TestHandler)
            m_TestHandler(*request);
        else
            priDispatch(request);
    } catch (const FException& e) {
        DebugPrintf("FIPEngine2::priHandleRequest caught unhandled FException(%s, %s)\n", e.GetDescription(),
                    e.GetMessage());
        errorText = ExceptionWideText(kEngineName, e);
    } catch (const std::bad_alloc&) {
        DebugPrintf("FIPEngine2::priHandleRequest caught unhandled bad_alloc exception\n");
        errorCode = kIPErrorOutOfMemory;
        errorText = kEngineName;
    } catch (...) {
        DebugPrintf("FIPEngine2::priHandleRequest caught unhandled unknown exception\n");
        errorText = "FIPEngine2: unknown exception";
    }
    // A handler that ended the record may be followed by its owner deleting
    // it: only a record still running is touched here.
    if (m_bHandlerRunning.load(std::memory_order_acquire))
        request->Fail(errorCode, errorText);
}

void FIPEngine2::priDispatch(FIPERequest* request)
{
    bool handled = false;
    switch (request->GetType()) {
    case kIPERequestStage1:
        handled = RunTyped<FIPERequestStage1>(request, [this](auto* r) { priProcessStage1(r); });
        break;
    case kIPERequestStage2:
        handled = RunTyped<FIPERequestStage2>(request, [this](auto* r) { priProcessStage2(r); });
        break;
    case kIPERequestStage3:
        handled = RunTyped<FIPERequestStage3>(request, [this](auto* r) { priProcessStage3(r); });
        break;
    case kIPERequestStage4:
        handled = RunTyped<FIPERequestStage4>(request, [this](auto* r) { priProcessStage4(r); });
        break;
    case kIPERequestGenerateToneLUT:
        handled = RunTyped<FIPERequestGenerateToneLUT>(request, [this](auto* r) { priProcessGenerateToneLUT(r); });
        break;
    case kIPERequestCropSizeRotate:
        handled = RunTyped<FIPERequestCropSizeRotate>(request, [this](auto* r) { priProcessCropSizeRotate(r); });
        break;
    case kIPERequestRotate:
        handled = RunTyped<FIPERequestRotate>(request, [this](auto* r) { priProcessRotate(r); });
        break;
    default:
        break;
    }
    if (!handled)
        request->Fail(kIPErrorUnsupportedRequest, "FIPEngine2: Request not supported.");
}
