#include "engine/core/RowBandHalos.h"

#include "foundation/FAssert.h"

#include <algorithm>
#include <cstring>

RowBandHalos::RowBandHalos(const FPixmap& image, uint32_t above, uint32_t below, uint32_t bandCount)
    : m_Image(image), m_iAbove(above), m_iBelow(below),
      m_iRowBytes(static_cast<size_t>(std::max(image.m_iColumns, 0)) *
                  static_cast<size_t>(FPixelTypeBytes(image.GetPixelType()))),
      m_Bands(RowBandsOf(static_cast<uint32_t>(std::max(image.GetRows(), 0)), bandCount))
{
    if (m_Bands.empty())
        return;
    // Every band has room for the whole reach, whether the image has the rows or not.
    m_Copies = LargeWorkMemory(m_Bands.size() * (above + below) * m_iRowBytes);
    const int64_t rows = image.GetRows();
    RunInRowBands(static_cast<uint32_t>(rows), [&](uint32_t firstRow, uint32_t lastRow) {
        for (int64_t y = int64_t(firstRow) - above; y <= int64_t(lastRow) + below; ++y)
            if (y >= 0 && y < rows && (y < firstRow || y > lastRow))
                std::memcpy(Row(static_cast<int32_t>(y), firstRow, lastRow), image.GetRow(static_cast<int32_t>(y)),
                            m_iRowBytes);
    }, bandCount);
}

size_t RowBandHalos::BandStart(uint32_t firstRow) const
{
    const auto band = std::lower_bound(m_Bands.begin(), m_Bands.end(), firstRow,
                                       [](const RowBandRange& b, uint32_t row) { return b.iFirstRow < row; });
    FASSERT(band != m_Bands.end() && band->iFirstRow == firstRow);
    return static_cast<size_t>(band - m_Bands.begin()) * (m_iAbove + m_iBelow) * m_iRowBytes;
}

uint8_t* RowBandHalos::Row(int32_t y, uint32_t firstRow, uint32_t lastRow) const
{
    if (y >= 0 && static_cast<uint32_t>(y) >= firstRow && static_cast<uint32_t>(y) <= lastRow)
        return m_Image.GetRow(y);
    const int64_t above = int64_t(firstRow) - y, below = int64_t(y) - lastRow;
    FASSERT(y >= 0 && y < m_Image.GetRows() && ((above > 0 && above <= m_iAbove) || (below > 0 && below <= m_iBelow)));
    // Row firstRow - 1 is the first copy, then upwards; the rows below follow.
    const size_t slot = above > 0 ? size_t(above - 1) : size_t(m_iAbove) + size_t(below - 1);
    return static_cast<uint8_t*>(m_Copies.Data()) + BandStart(firstRow) + slot * m_iRowBytes;
}
