#include "engine/RunRowBands.h"

#include "foundation/FThread.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// Counts the bands whose callback has returned, so the caller sleeps until the
// last one ends instead of spinning.
struct BandCompletion {
    std::mutex lock;
    std::condition_variable allDone;
    size_t finished = 0;
};

// What one band's thread shares with the caller. The thread only writes its
// own slot; the caller reads it after the thread has signalled completion.
struct BandSlot {
    RowBandJob job;
    std::exception_ptr failure;
    BandCompletion* completion = nullptr;
};

void RunBand(BandSlot& slot)
{
    try {
        slot.job.pfnCallback(&slot.job);
    } catch (...) {
        slot.failure = std::current_exception();
    }
}

int RowBandWorker(void* argument)
{
    BandSlot& slot = *static_cast<BandSlot*>(argument);
    RunBand(slot);
    // Notified under the lock: the caller may destroy the completion as soon as it can take the lock.
    std::lock_guard<std::mutex> guard(slot.completion->lock);
    ++slot.completion->finished;
    slot.completion->allDone.notify_one();
    return 0;
}

// Band threads, given back only when each has ended: a thread object deleted
// while its thread still runs reports a forced stop.
void WaitAndDelete(std::vector<FIThread*>& threads, BandCompletion& completion, size_t running)
{
    {
        std::unique_lock<std::mutex> guard(completion.lock);
        completion.allDone.wait(guard, [&] { return completion.finished == running; });
    }
    for (FIThread*& thread : threads) {
        if (!thread)
            continue;
        // Only the few instructions after the worker's signal remain.
        while (!thread->IsDone())
            std::this_thread::yield();
        FIThread::Delete(thread);
    }
}

std::vector<BandSlot> SplitIntoBands(RowBandCallback callback, void* contextA, void* contextB, uint32_t totalRows,
                                     void* contextC, uint32_t bandCount)
{
    if (bandCount == 0 || totalRows < bandCount)
        bandCount = 1;
    const uint32_t height = totalRows / bandCount;
    std::vector<BandSlot> bands(bandCount);
    for (uint32_t i = 0; i < bandCount; ++i) {
        RowBandJob& job = bands[i].job;
        job.pfnCallback = callback;
        job.pContextA = contextA;
        job.pContextB = contextB;
        job.pContextC = contextC;
        job.iFirstRow = i * height;
        job.iLastRow = i + 1 == bandCount ? totalRows - 1 : (i + 1) * height - 1;
    }
    return bands;
}

} // namespace

void RunRowBands(RowBandCallback callback, void* contextA, void* contextB, uint32_t totalRows, void* contextC,
                 uint32_t bandCount)
{
    if (totalRows == 0)
        return;
    std::vector<BandSlot> bands = SplitIntoBands(callback, contextA, contextB, totalRows, contextC, bandCount);
    if (bands.size() == 1) {
        RunBand(bands[0]);
    } else {
        BandCompletion completion;
        std::vector<FIThread*> threads(bands.size(), nullptr);
        size_t running = 0;
        for (size_t i = 0; i < bands.size(); ++i) {
            bands[i].completion = &completion;
            threads[i] = FIThread::Create(RowBandWorker, &bands[i], FIThread::PRIORITY_HIGHEST);
            // A thread the system refused reports done with the failure result at once, without running.
            if (threads[i] && threads[i]->GetResult() != FWinThread::RESULT_EXCEPTION)
                ++running;
            else
                RunBand(bands[i]);
        }
        WaitAndDelete(threads, completion, running);
    }
    for (const BandSlot& band : bands)
        if (band.failure)
            std::rethrow_exception(band.failure);
}
