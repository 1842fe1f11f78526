#pragma once
// The process-wide manager: up to a fixed number of per-image workers behind
// the FIPManager interface. A request goes to the first idle worker, to a new
// worker while there are fewer than the maximum, or else waits in a queue that
// is served strictly first in, first out. The pool has no lock: its users
// serialise every call (the application's engine lock).
#include "managers/FIPManager.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

class FIPManagerPool final : public FIPManager {
public:
    using WorkerFactory = std::function<FIPManager*()>;

    // Workers come from the factory (CreateIPManager2 for the process's pool).
    explicit FIPManagerPool(WorkerFactory factory = CreateIPManager2);
    FIPManagerPool(const FIPManagerPool&) = delete;
    FIPManagerPool& operator=(const FIPManagerPool&) = delete;
    // Destroys every worker, then fails each request still queued with
    // kIPErrorBusy.
    ~FIPManagerPool() override;

    bool IsBusy() override { return false; }
    // Ends every queued request whose caller has cancelled it (cancel flag
    // set, or status no longer pending) as cancelled, without running it;
    // then gives the first busy worker from the cursor one slice, hands queued
    // requests to the idle workers met on the way, and moves the cursor on.
    void Idle() override;
    void Request(IPManagerData* request) override;

    size_t GetWorkerCount() const { return m_Workers.size(); }
    size_t GetQueuedCount() const { return m_Queue.size(); }

private:
    void priHandOver(FIPManager& worker, IPManagerData& request);
    void priEndCancelledRequests();

    WorkerFactory m_Factory;
    std::vector<std::unique_ptr<FIPManager>> m_Workers;
    size_t m_Cursor = 0;
    std::deque<IPManagerData*> m_Queue;
};

// The maximum number of workers a process starts with.
constexpr unsigned kDefaultIPManagerPoolSize = 4;

// The process-wide pool, made (empty) on the first call.
FIPManagerPool* GetIPManagerPool();
// The maximum number of workers (kDefaultIPManagerPoolSize at start). 0
// destroys the pool and leaves none to make until a size is set again; the
// next GetIPManagerPool makes a new one.
void SetIPManagerPoolSize(unsigned count);
unsigned GetIPManagerPoolSize();
