#pragma once
// The band runner with a callable in place of a callback and its contexts:
// kernels keep their per-band state (ring buffers, partial sums) in a lambda
// that receives one band's inclusive row range.
#include "engine/RunRowBands.h"

#include <cstdint>
#include <type_traits>

// While one lives, every RunInRowBands call made on the thread that created
// it uses its band count instead of the caller's. Tests use it to show that a
// kernel's banded result equals its one-band result.
class ScopedRowBandCount {
public:
    explicit ScopedRowBandCount(uint32_t bandCount) : m_iPrevious(Override()) { Override() = bandCount; }
    ~ScopedRowBandCount() { Override() = m_iPrevious; }
    ScopedRowBandCount(const ScopedRowBandCount&) = delete;
    ScopedRowBandCount& operator=(const ScopedRowBandCount&) = delete;

    // 0 when no override is active on this thread.
    static uint32_t& Override()
    {
        thread_local uint32_t bandCount = 0;
        return bandCount;
    }

private:
    uint32_t m_iPrevious;
};

// The band count for a loop over this many pixels: work too small to pay for
// starting the band threads runs as one band (the result is the same).
inline uint32_t RowBandCountFor(uint64_t pixels)
{
    return pixels < (uint64_t{1} << 16) ? 1 : kRowBandCount;
}

// Calls bandFunction(firstRow, lastRow) once per band, on the band threads,
// and returns when every band has finished (rethrowing the first exception).
template <class BandFunction>
void RunInRowBands(uint32_t totalRows, BandFunction&& bandFunction, uint32_t bandCount = kRowBandCount)
{
    using Function = std::remove_reference_t<BandFunction>;
    if (ScopedRowBandCount::Override() != 0)
        bandCount = ScopedRowBandCount::Override();
    RunRowBands(
        [](RowBandJob* job) {
            (*static_cast<Function*>(job->pContextA))(job->iFirstRow, job->iLastRow);
            return 0;
        },
        const_cast<std::remove_const_t<Function>*>(&bandFunction), nullptr, totalRows, nullptr, bandCount);
}
