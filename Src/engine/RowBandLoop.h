#pragma once
// The band runner with a callable in place of a callback and its contexts:
// kernels keep their per-band state (ring buffers, partial sums) in a lambda
// that receives one band's inclusive row range.
#include "engine/RunRowBands.h"

#include <cstdint>
#include <type_traits>

// Calls bandFunction(firstRow, lastRow) once per band, on the band threads,
// and returns when every band has finished (rethrowing the first exception).
template <class BandFunction>
void RunInRowBands(uint32_t totalRows, BandFunction&& bandFunction, uint32_t bandCount = kRowBandCount)
{
    using Function = std::remove_reference_t<BandFunction>;
    RunRowBands(
        [](RowBandJob* job) {
            (*static_cast<Function*>(job->pContextA))(job->iFirstRow, job->iLastRow);
            return 0;
        },
        const_cast<std::remove_const_t<Function>*>(&bandFunction), nullptr, totalRows, nullptr, bandCount);
}
