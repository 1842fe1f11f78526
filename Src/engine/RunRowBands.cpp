#include "engine/RunRowBands.h"

#include "foundation/FThread.h"

#include <exception>
#include <memory>
#include <vector>

namespace {

// What one band's thread shares with the caller. The thread only writes its
// own slot; the caller reads it after the thread has ended.
struct BandSlot {
    RowBandJob job;
    bool started = false;
    std::exception_ptr failure;
};

void RunBand(BandSlot& slot)
{
    slot.started = true;
    try {
        slot.job.pfnCallback(&slot.job);
    } catch (...) {
        slot.failure = std::current_exception();
    }
}

int RowBandWorker(void* argument)
{
    RunBand(*static_cast<BandSlot*>(argument));
    return 0;
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
        std::vector<FIThread*> threads(bands.size(), nullptr);
        for (size_t i = 0; i < bands.size(); ++i)
            threads[i] = FIThread::Create(RowBandWorker, &bands[i], FIThread::PRIORITY_HIGHEST);
        // Deleting a thread object waits for its thread to end.
        for (FIThread*& thread : threads)
            if (thread)
                FIThread::Delete(thread);
        for (BandSlot& band : bands)
            if (!band.started)
                RunBand(band);
    }
    for (const BandSlot& band : bands)
        if (band.failure)
            std::rethrow_exception(band.failure);
}
