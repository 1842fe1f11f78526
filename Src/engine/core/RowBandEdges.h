#pragma once
// Kernels whose window reaches rows above and below their band would read rows
// that a neighbouring band is rewriting at the same time. They read those rows
// from copies taken before any band starts instead, so that a run in bands
// gives exactly the result of one band.
#include "engine/core/RowBandLoop.h"
#include "foundation/FPixmap.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class RowBandEdges {
public:
    // Copies the margin rows above and below every band that RunInRowBands
    // makes of the image's rows with bandCount bands (rows outside the image
    // are not copied).
    RowBandEdges(const FPixmap& image, uint32_t margin, uint32_t bandCount);

    // Row y as the band firstRow..lastRow reads it: its own rows from the
    // image, the others (at most margin rows away) from the copies.
    const uint8_t* Row(int32_t y, uint32_t firstRow, uint32_t lastRow) const;

private:
    const FPixmap& m_Image;
    size_t m_iRowBytes = 0;
    // For each image row, its copy's place in m_pCopies; -1 when not copied.
    std::vector<int32_t> m_Slots;
    std::unique_ptr<uint8_t[]> m_pCopies;
};

// Calls bandFunction(firstRow, lastRow, edges) once per band of the image's
// rows after the edge rows have been copied.
template <class BandFunction>
void RunInRowBandsWithEdges(const FPixmap& image, uint32_t margin, uint32_t bandCount, BandFunction&& bandFunction)
{
    const RowBandEdges edges(image, margin, bandCount);
    RunInRowBands(
        static_cast<uint32_t>(image.GetRows()),
        [&](uint32_t firstRow, uint32_t lastRow) { bandFunction(firstRow, lastRow, edges); }, bandCount);
}
