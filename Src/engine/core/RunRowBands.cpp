#include "engine/core/RunRowBands.h"

#include "engine/core/LargeWorkMemory.h"

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

uint32_t UsableCores()
{
    static const uint32_t cores = [] {
        cpu_set_t set;
        CPU_ZERO(&set);
        if (sched_getaffinity(0, sizeof(set), &set) == 0 && CPU_COUNT(&set) > 0)
            return static_cast<uint32_t>(CPU_COUNT(&set));
        return std::max(1u, std::thread::hardware_concurrency());
    }();
    return cores;
}

std::atomic<uint32_t> g_ThreadLimit{0};

// The most workers one call is offered to.
constexpr uint32_t kMostHelpers = 64;

uint32_t BandCountOf(uint32_t totalRows, uint32_t bandCount)
{
    return bandCount == 0 || totalRows < bandCount ? 1 : bandCount;
}

RowBandRange BandOf(uint32_t totalRows, uint32_t bands, uint32_t band)
{
    const uint32_t height = totalRows / bands;
    return {band * height, band + 1 == bands ? totalRows - 1 : (band + 1) * height - 1};
}

// One RunRowBands call. Its bands are claimed in order, by the caller and by
// the workers it was handed to. A worker that took the call checks out when it
// claims no more bands, and the caller waits for every band and every such
// worker, so the call outlives everyone who touches it.
class BandCall {
public:
    BandCall(RowBandCallback callback, void* contextA, void* contextB, uint32_t totalRows, void* contextC,
             uint32_t bands)
        : m_iBands(bands), m_iRows(totalRows)
    {
        m_Job.pfnCallback = callback;
        m_Job.pContextA = contextA;
        m_Job.pContextB = contextB;
        m_Job.pContextC = contextC;
    }

    // Runs bands as long as any is left to claim, with the caller's work memory.
    void RunBands()
    {
        const WorkMemoryStore::Scope workMemory(m_pWorkMemory);
        for (uint32_t band = Claim(); band < m_iBands; band = Claim()) {
            std::exception_ptr failure;
            RowBandJob job = m_Job;
            const RowBandRange range = BandOf(m_iRows, m_iBands, band);
            job.iFirstRow = range.iFirstRow;
            job.iLastRow = range.iLastRow;
            try {
                job.pfnCallback(&job);
            } catch (...) {
                failure = std::current_exception();
            }
            Finished(band, failure);
        }
    }

    // A worker that took the call has run its last band: its last touch of the call.
    void CheckOut()
    {
        std::lock_guard<std::mutex> hold(m_DoneLock);
        ++m_iCheckedOut;
        if (AllDone())
            m_AllDone.notify_one();
    }

    // Returns when every band has finished and the `takers` workers that took the call have checked out.
    void WaitForAll(uint32_t takers)
    {
        m_iTakers = takers;
        // Taken even when all is done: the last thread lets go of the lock last.
        std::unique_lock<std::mutex> hold(m_DoneLock);
        m_AllDone.wait(hold, [&] { return AllDone(); });
    }

    void RethrowFailure() const
    {
        if (m_Failure)
            std::rethrow_exception(m_Failure);
    }

private:
    // The next unclaimed band; m_iBands or more when none is left.
    uint32_t Claim() { return m_iNext.fetch_add(1, std::memory_order_relaxed); }

    bool AllDone() const
    {
        return m_iFinished.load(std::memory_order_acquire) == m_iBands &&
               m_iCheckedOut.load(std::memory_order_acquire) == m_iTakers.load(std::memory_order_relaxed);
    }

    void Finished(uint32_t band, std::exception_ptr& failure)
    {
        // Notified under the lock: the caller may end the call as soon as it can take the lock.
        std::lock_guard<std::mutex> hold(m_DoneLock);
        if (failure && band < m_iFailedBand) {
            m_iFailedBand = band;
            m_Failure = std::move(failure);
        }
        m_iFinished.fetch_add(1, std::memory_order_release);
        if (AllDone())
            m_AllDone.notify_one();
    }

    RowBandJob m_Job;
    WorkMemoryStore* const m_pWorkMemory = WorkMemoryStore::OfThisThread();
    const uint32_t m_iBands;
    const uint32_t m_iRows;
    std::atomic<uint32_t> m_iNext{0};
    std::mutex m_DoneLock;
    std::condition_variable m_AllDone;
    // Written under m_DoneLock (m_iTakers by the caller before it waits, UINT32_MAX until then).
    std::atomic<uint32_t> m_iFinished{0};
    std::atomic<uint32_t> m_iCheckedOut{0};
    std::atomic<uint32_t> m_iTakers{UINT32_MAX};
    uint32_t m_iFailedBand = UINT32_MAX;
    std::exception_ptr m_Failure;
};

// The band workers. They run at the process's own priority and live as long
// as the process: the pool is never destroyed, so a call made while the
// process ends still finds it. Each worker has a slot in which a caller
// offers it a call; a worker without a call sleeps on its slot and costs no
// processor time. A caller offers its call only to workers that run no bands,
// and takes back at its end the offers not yet taken, so it never waits for a
// worker still waking up: it has meanwhile run the bands itself.
class BandPool {
public:
    static BandPool& Instance()
    {
        static BandPool* const pool = new BandPool(UsableCores() - 1);
        return *pool;
    }

    uint32_t Workers() const { return m_iWorkers; }

    // Offers the call to at most `helpers` idle workers; returns how many, their numbers in `offeredTo`.
    uint32_t Offer(BandCall& call, uint32_t helpers, uint32_t* offeredTo)
    {
        uint32_t offered = 0;
        const uint32_t start = m_iNextWorker.fetch_add(1, std::memory_order_relaxed);
        for (uint32_t i = 0; i < m_iWorkers && offered < helpers; ++i) {
            const uint32_t number = (start + i) % m_iWorkers;
            Worker& worker = m_pWorkers[number];
            BandCall* none = nullptr;
            if (worker.busy.load() || !worker.offered.compare_exchange_strong(none, &call))
                continue;
            offeredTo[offered++] = number;
            if (worker.sleeping.load()) {
                // Under the lock, so the wake-up cannot fall between the worker's test and its sleep.
                { std::lock_guard<std::mutex> hold(worker.lock); }
                worker.wake.notify_one();
            }
        }
        return offered;
    }

    // Takes back the offers no worker has taken; returns how many were taken.
    uint32_t Withdraw(BandCall& call, const uint32_t* offeredTo, uint32_t offered)
    {
        uint32_t taken = 0;
        for (uint32_t i = 0; i < offered; ++i) {
            BandCall* expected = &call;
            if (!m_pWorkers[offeredTo[i]].offered.compare_exchange_strong(expected, nullptr))
                ++taken;
        }
        return taken;
    }

private:
    struct Worker {
        std::atomic<BandCall*> offered{nullptr};
        std::atomic<bool> busy{false};
        std::atomic<bool> sleeping{false};
        std::mutex lock;
        std::condition_variable wake;
    };

    explicit BandPool(uint32_t workers) : m_pWorkers(new Worker[std::max(workers, 1u)])
    {
        for (uint32_t i = 0; i < workers; ++i) {
            try {
                std::thread(&BandPool::Work, std::ref(m_pWorkers[i])).detach();
                ++m_iWorkers;
            } catch (const std::system_error&) {
                break; // the threads started so far serve the calls
            }
        }
    }

    static BandCall* NextCall(Worker& worker)
    {
        if (worker.offered.load() == nullptr) {
            std::unique_lock<std::mutex> hold(worker.lock);
            worker.sleeping = true;
            worker.wake.wait(hold, [&] { return worker.offered.load() != nullptr; });
            worker.sleeping = false;
        }
        worker.busy = true;
        // Null when the caller took its offer back meanwhile.
        return worker.offered.exchange(nullptr);
    }

    static void Work(Worker& worker)
    {
        for (;;) {
            BandCall* call = NextCall(worker);
            if (call)
                call->RunBands();
            // Idle before it checks out: the caller may make its next call at once.
            worker.busy = false;
            if (call)
                call->CheckOut();
        }
    }

    std::unique_ptr<Worker[]> m_pWorkers;
    uint32_t m_iWorkers = 0;
    std::atomic<uint32_t> m_iNextWorker{0};
};

} // namespace

std::vector<RowBandRange> SplitIntoRowBands(uint32_t totalRows, uint32_t bandCount)
{
    if (totalRows == 0)
        return {};
    const uint32_t bands = BandCountOf(totalRows, bandCount);
    std::vector<RowBandRange> ranges(bands);
    for (uint32_t i = 0; i < bands; ++i)
        ranges[i] = BandOf(totalRows, bands, i);
    return ranges;
}

void RunRowBands(RowBandCallback callback, void* contextA, void* contextB, uint32_t totalRows, void* contextC,
                 uint32_t bandCount)
{
    if (totalRows == 0)
        return;
    const uint32_t bands = BandCountOf(totalRows, bandCount);
    const uint32_t threads = std::min(bands, RowBandThreadLimit());
    BandCall call(callback, contextA, contextB, totalRows, contextC, bands);
    BandPool* pool = threads > 1 ? &BandPool::Instance() : nullptr;
    uint32_t offeredTo[kMostHelpers];
    const uint32_t offered = pool ? pool->Offer(call, std::min(threads - 1, kMostHelpers), offeredTo) : 0;
    call.RunBands();
    call.WaitForAll(offered > 0 ? pool->Withdraw(call, offeredTo, offered) : 0);
    call.RethrowFailure();
}

void SetRowBandThreadLimit(uint32_t threads) { g_ThreadLimit = threads; }

uint32_t RowBandThreadLimit()
{
    const uint32_t limit = g_ThreadLimit.load();
    return limit == 0 ? UsableCores() : std::min(limit, UsableCores());
}
