#pragma once
// Row kernels that carry state from row to row (ring buffers of marks or of
// filtered rows) run in bands by replaying, at the top of each band, the rows
// just above it: the band works through a few rows of its neighbour's and a
// few below its own as the one-band run would, but on private copies of them,
// and writes only its own rows. The copies are taken for every band before any
// band changes a row, so each band sees the rows as the one-band run saw them.
#include "engine/core/LargeWorkMemory.h"
#include "engine/core/RowBandLoop.h"
#include "foundation/FPixmap.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class RowBandHalos {
public:
    // Copies, for each band that RunInRowBands makes of the image's rows with
    // bandCount bands, up to `above` rows above it and `below` rows below it
    // (rows outside the image are not copied). The copies are made in bands.
    RowBandHalos(const FPixmap& image, uint32_t above, uint32_t below, uint32_t bandCount);

    // Row y as the band firstRow..lastRow works on it: its own rows in the
    // image, the others (within reach) its private copies, which it may change.
    uint8_t* Row(int32_t y, uint32_t firstRow, uint32_t lastRow) const;

private:
    // Where a band's copies begin in the block.
    size_t BandStart(uint32_t firstRow) const;

    const FPixmap& m_Image;
    uint32_t m_iAbove;
    uint32_t m_iBelow;
    size_t m_iRowBytes;
    std::vector<RowBandRange> m_Bands;
    LargeWorkMemory m_Copies;
};
