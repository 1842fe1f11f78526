#include "engine/core/RowBandEdges.h"

#include "foundation/FAssert.h"

#include <algorithm>
#include <cstring>

RowBandEdges::RowBandEdges(const FPixmap& image, uint32_t margin, uint32_t bandCount) : m_Image(image)
{
    if (image.GetRows() <= 0 || margin == 0)
        return;
    m_iRowBytes = static_cast<size_t>(image.m_iColumns) * static_cast<size_t>(FPixelTypeBytes(image.GetPixelType()));
    const int64_t lastImageRow = image.GetRows() - 1;
    m_Slots.assign(static_cast<size_t>(image.GetRows()), -1);
    int32_t copies = 0;
    const auto mark = [&](int64_t y) {
        if (m_Slots[static_cast<size_t>(y)] < 0)
            m_Slots[static_cast<size_t>(y)] = copies++;
    };
    for (const RowBandRange& band : RowBandsOf(static_cast<uint32_t>(image.GetRows()), bandCount)) {
        for (int64_t y = std::max<int64_t>(0, int64_t(band.iFirstRow) - margin); y < band.iFirstRow; ++y)
            mark(y);
        for (int64_t y = int64_t(band.iLastRow) + 1;
             y <= std::min<int64_t>(lastImageRow, int64_t(band.iLastRow) + margin); ++y)
            mark(y);
    }
    // One block for every copy, each written once before any band reads it.
    m_pCopies.reset(new uint8_t[static_cast<size_t>(copies) * m_iRowBytes]);
    for (int32_t y = 0; y <= lastImageRow; ++y)
        if (const int32_t slot = m_Slots[static_cast<size_t>(y)]; slot >= 0)
            std::memcpy(m_pCopies.get() + static_cast<size_t>(slot) * m_iRowBytes, image.GetRow(y), m_iRowBytes);
}

const uint8_t* RowBandEdges::Row(int32_t y, uint32_t firstRow, uint32_t lastRow) const
{
    if (y >= 0 && static_cast<uint32_t>(y) >= firstRow && static_cast<uint32_t>(y) <= lastRow)
        return m_Image.GetRow(y);
    FASSERT(y >= 0 && static_cast<size_t>(y) < m_Slots.size() && m_Slots[static_cast<size_t>(y)] >= 0);
    return m_pCopies.get() + static_cast<size_t>(m_Slots[static_cast<size_t>(y)]) * m_iRowBytes;
}
