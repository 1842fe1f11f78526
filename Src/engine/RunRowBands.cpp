#include "engine/RunRowBands.h"

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <chrono>
#include <exception>
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
// the workers that join it. A claimed band keeps the call alive until it is
// reported finished, so a thread claims its next band before it reports the
// one it ran, and touches the call no more once it claims none.
class BandCall {
public:
    BandCall(RowBandCallback callback, void* contextA, void* contextB, uint32_t totalRows, void* contextC,
             uint32_t bands, uint32_t helpers)
        : m_iHelpersWanted(helpers), m_iBands(bands), m_iRows(totalRows)
    {
        m_Job.pfnCallback = callback;
        m_Job.pContextA = contextA;
        m_Job.pContextB = contextB;
        m_Job.pContextC = contextC;
    }

    uint32_t Bands() const { return m_iBands; }
    // The next unclaimed band; Bands() or more when none is left.
    uint32_t Claim() { return m_iNext.fetch_add(1, std::memory_order_relaxed); }

    // Runs the claimed band `band` and the further bands this thread claims.
    void RunClaimedBands(uint32_t band)
    {
        const uint32_t bands = m_iBands;
        while (band < bands) {
            std::exception_ptr failure;
            RowBandJob job = m_Job;
            const RowBandRange range = BandOf(m_iRows, bands, band);
            job.iFirstRow = range.iFirstRow;
            job.iLastRow = range.iLastRow;
            try {
                job.pfnCallback(&job);
            } catch (...) {
                failure = std::current_exception();
            }
            const uint32_t next = Claim();
            Finished(band, failure);
            band = next;
        }
    }

    void WaitForAll()
    {
        std::unique_lock<std::mutex> hold(m_DoneLock);
        m_AllDone.wait(hold, [&] { return m_iFinished == m_iBands; });
    }

    void RethrowFailure() const
    {
        if (m_Failure)
            std::rethrow_exception(m_Failure);
    }

    // Workers that may still join, and the next call in the pool's queue;
    // both under the pool's lock.
    uint32_t m_iHelpersWanted;
    BandCall* m_pNext = nullptr;

private:
    void Finished(uint32_t band, std::exception_ptr& failure)
    {
        // Notified under the lock: the caller may end the call as soon as it can take the lock.
        std::lock_guard<std::mutex> hold(m_DoneLock);
        if (failure && band < m_iFailedBand) {
            m_iFailedBand = band;
            m_Failure = std::move(failure);
        }
        if (++m_iFinished == m_iBands)
            m_AllDone.notify_one();
    }

    RowBandJob m_Job;
    const uint32_t m_iBands;
    const uint32_t m_iRows;
    std::atomic<uint32_t> m_iNext{0};
    std::mutex m_DoneLock;
    std::condition_variable m_AllDone;
    uint32_t m_iFinished = 0;
    uint32_t m_iFailedBand = UINT32_MAX;
    std::exception_ptr m_Failure;
};

// The band workers. They run at the process's own priority and live as long
// as the process: the pool is never destroyed, so a call made while the
// process ends still finds it. A worker that runs out of bands watches for
// the next call for a short while before it sleeps, since the kernels make
// their calls one after the other; a call wakes one sleeping worker, and each
// worker that joins a call wakes the next while the call wants more.
class BandPool {
public:
    static BandPool& Instance()
    {
        static BandPool* const pool = new BandPool(UsableCores() - 1);
        return *pool;
    }

    uint32_t Workers() const { return m_iWorkers; }

    // Lets up to call.m_iHelpersWanted workers join the call.
    void Offer(BandCall& call)
    {
        bool wake = false;
        {
            std::lock_guard<std::mutex> hold(m_Lock);
            call.m_pNext = nullptr;
            *m_ppLast = &call;
            m_ppLast = &call.m_pNext;
            m_iQueued.fetch_add(1, std::memory_order_release);
            wake = m_iSleeping > 0;
        }
        if (wake)
            m_Work.notify_one();
    }

    // Takes the call off the queue, where it stays until its last band is
    // claimed or enough workers have joined.
    void Withdraw(BandCall& call)
    {
        std::lock_guard<std::mutex> hold(m_Lock);
        for (BandCall** link = &m_pFirst; *link; link = &(*link)->m_pNext)
            if (*link == &call) {
                Unlink(link);
                return;
            }
    }

private:
    // How long a worker watches for the next call before it sleeps.
    static constexpr std::chrono::microseconds kWatch{50};

    explicit BandPool(uint32_t workers)
    {
        for (uint32_t i = 0; i < workers; ++i) {
            try {
                std::thread(&BandPool::Work, this).detach();
                ++m_iWorkers;
            } catch (const std::system_error&) {
                break; // the threads started so far serve the calls
            }
        }
    }

    // The caller holds the lock.
    void Unlink(BandCall** link)
    {
        BandCall* call = *link;
        *link = call->m_pNext;
        if (m_ppLast == &call->m_pNext)
            m_ppLast = link;
        m_iQueued.fetch_sub(1, std::memory_order_relaxed);
    }

    void WatchForCalls() const
    {
        const auto until = std::chrono::steady_clock::now() + kWatch;
        while (m_iQueued.load(std::memory_order_acquire) == 0 && std::chrono::steady_clock::now() < until) {
#if defined(__x86_64__) || defined(__i386__)
            __builtin_ia32_pause();
#endif
        }
    }

    void Work()
    {
        for (;;) {
            WatchForCalls();
            BandCall* call = nullptr;
            uint32_t band = 0;
            bool wakeAnother = false;
            {
                std::unique_lock<std::mutex> hold(m_Lock);
                while (!m_pFirst) {
                    ++m_iSleeping;
                    m_Work.wait(hold);
                    --m_iSleeping;
                }
                call = m_pFirst;
                // The first claim is made under the lock: the call cannot end while it is queued.
                band = call->Claim();
                const bool claimed = band < call->Bands();
                if (!claimed || --call->m_iHelpersWanted == 0)
                    Unlink(&m_pFirst);
                if (!claimed)
                    continue;
                wakeAnother = m_pFirst && m_iSleeping > 0;
            }
            if (wakeAnother)
                m_Work.notify_one();
            call->RunClaimedBands(band);
        }
    }

    std::mutex m_Lock;
    std::condition_variable m_Work;
    BandCall* m_pFirst = nullptr;      // calls with bands to claim, oldest first
    BandCall** m_ppLast = &m_pFirst;
    std::atomic<uint32_t> m_iQueued{0}; // calls in the queue, watched without the lock
    uint32_t m_iSleeping = 0;
    uint32_t m_iWorkers = 0;
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
    BandPool* pool = threads > 1 ? &BandPool::Instance() : nullptr;
    const uint32_t helpers = pool ? std::min(threads - 1, pool->Workers()) : 0;
    BandCall call(callback, contextA, contextB, totalRows, contextC, bands, helpers);
    if (helpers > 0)
        pool->Offer(call);
    call.RunClaimedBands(call.Claim());
    if (helpers > 0)
        pool->Withdraw(call);
    call.WaitForAll();
    call.RethrowFailure();
}

void SetRowBandThreadLimit(uint32_t threads) { g_ThreadLimit = threads; }

uint32_t RowBandThreadLimit()
{
    const uint32_t limit = g_ThreadLimit.load();
    return limit == 0 ? UsableCores() : std::min(limit, UsableCores());
}
