#include "managers/FIPManagerPool.h"

#include "foundation/FAssert.h"
#include "managers/IPManagerData.h"

namespace {

unsigned g_uMaxWorkers = kDefaultIPManagerPoolSize;
FIPManagerPool* g_pPool = nullptr;

} // namespace

FIPManagerPool::FIPManagerPool(WorkerFactory factory) : m_Factory(std::move(factory)) {}

FIPManagerPool::~FIPManagerPool()
{
    m_Workers.clear();
    for (IPManagerData* request : m_Queue) {
        DebugPrintf("FIPManagerPool destroy: request 0x%p never handled.\n", static_cast<void*>(request));
        request->m_Result.Fail(kIPErrorBusy);
    }
    m_Queue.clear();
}

void FIPManagerPool::priHandOver(FIPManager& worker, IPManagerData& request)
{
    request.m_pHandlingManager = &worker;
    worker.Request(&request);
}

void FIPManagerPool::Request(IPManagerData* request)
{
    if (!request)
        return;
    request->m_Result.Begin(kIPStatusNew);
    for (const auto& worker : m_Workers) {
        if (!worker->IsBusy()) {
            priHandOver(*worker, *request);
            return;
        }
    }
    if (m_Workers.size() < g_uMaxWorkers) {
        if (FIPManager* created = m_Factory()) {
            m_Workers.emplace_back(created);
            priHandOver(*created, *request);
            return;
        }
        if (m_Workers.empty()) {
            request->m_Result.Fail(kIPErrorOutOfMemory, "FIPManagerPool: no worker could be made.");
            return;
        }
    }
    m_Queue.push_back(request);
    request->m_Result.Begin(kIPStatusPending);
}

void FIPManagerPool::priEndCancelledRequests()
{
    // A queued record whose caller has cancelled it (the flag, or a status
    // that is no longer pending) ends here without running, and the queue
    // forgets it: the pool never touches a record after it ended it.
    std::erase_if(m_Queue, [](IPManagerData* request) {
        IPRequestResult& result = request->m_Result;
        if (result.IsPending() && !result.m_bCancel)
            return false;
        result.Finish(kIPStatusCancelled);
        return true;
    });
}

void FIPManagerPool::Idle()
{
    priEndCancelledRequests();
    if (m_Workers.empty())
        return;
    bool servedBusyWorker = false;
    while (m_Cursor < m_Workers.size() && !servedBusyWorker) {
        FIPManager& worker = *m_Workers[m_Cursor];
        if (worker.IsBusy()) {
            worker.Idle();
            servedBusyWorker = true;
        }
        if (!m_Queue.empty() && !worker.IsBusy()) {
            IPManagerData* next = m_Queue.front();
            m_Queue.pop_front();
            priHandOver(worker, *next);
        }
        ++m_Cursor;
    }
    if (m_Cursor >= m_Workers.size())
        m_Cursor = 0;
}

FIPManagerPool* GetIPManagerPool()
{
    if (!g_pPool)
        g_pPool = new FIPManagerPool;
    return g_pPool;
}

void SetIPManagerPoolSize(unsigned count)
{
    g_uMaxWorkers = count;
    if (count == 0) {
        delete g_pPool;
        g_pPool = nullptr;
    }
}

unsigned GetIPManagerPoolSize()
{
    return g_uMaxWorkers;
}
