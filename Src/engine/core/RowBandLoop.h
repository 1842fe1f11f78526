#pragma once
// The band runner with a callable in place of a callback and its contexts:
// kernels keep their per-band state (ring buffers, partial sums) in a lambda
// that receives one band's inclusive row range.
#include "engine/core/RunRowBands.h"

#include <cstdint>
#include <type_traits>
#include <vector>

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
// handing bands to other threads runs as one band (the result is the same).
inline uint32_t RowBandCountFor(uint64_t pixels)
{
    return pixels < (uint64_t{1} << 16) ? 1 : kRowBandCount;
}

// The same for an image of columns x rows pixels.
inline uint32_t RowBandCountFor(int32_t columns, int32_t rows)
{
    return columns <= 0 || rows <= 0 ? 1 : RowBandCountFor(uint64_t(columns) * uint64_t(rows));
}

// The band count RunInRowBands uses in place of bandCount on this thread.
inline uint32_t ImposedRowBandCount(uint32_t bandCount)
{
    return ScopedRowBandCount::Override() != 0 ? ScopedRowBandCount::Override() : bandCount;
}

// The bands RunInRowBands runs for totalRows rows and bandCount bands.
inline std::vector<RowBandRange> RowBandsOf(uint32_t totalRows, uint32_t bandCount = kRowBandCount)
{
    return SplitIntoRowBands(totalRows, ImposedRowBandCount(bandCount));
}

// Calls bandFunction(firstRow, lastRow) once per band, on the band threads,
// and returns when every band has finished (rethrowing the first exception).
template <class BandFunction>
void RunInRowBands(uint32_t totalRows, BandFunction&& bandFunction, uint32_t bandCount = kRowBandCount)
{
    using Function = std::remove_reference_t<BandFunction>;
    bandCount = ImposedRowBandCount(bandCount);
    RunRowBands(
        [](RowBandJob* job) {
            (*static_cast<Function*>(job->pContextA))(job->iFirstRow, job->iLastRow);
            return 0;
        },
        const_cast<std::remove_const_t<Function>*>(&bandFunction), nullptr, totalRows, nullptr, bandCount);
}
