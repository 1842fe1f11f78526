#include "engine/core/RowBandEdges.h"

#include "foundation/FAssert.h"

#include <algorithm>

RowBandEdges::RowBandEdges(const FPixmap& image, uint32_t margin, uint32_t bandCount) : m_Image(image)
{
    if (image.GetRows() <= 0 || margin == 0)
        return;
    const size_t rowBytes =
        static_cast<size_t>(image.m_iColumns) * static_cast<size_t>(FPixelTypeBytes(image.GetPixelType()));
    const int64_t lastImageRow = image.GetRows() - 1;
    auto copy = [&](int64_t y) {
        const uint8_t* row = image.GetRow(static_cast<int32_t>(y));
        m_Copies.try_emplace(static_cast<int32_t>(y), row, row + rowBytes);
    };
    for (const RowBandRange& band : RowBandsOf(static_cast<uint32_t>(image.GetRows()), bandCount)) {
        for (int64_t y = std::max<int64_t>(0, int64_t(band.iFirstRow) - margin); y < band.iFirstRow; ++y)
            copy(y);
        for (int64_t y = int64_t(band.iLastRow) + 1;
             y <= std::min<int64_t>(lastImageRow, int64_t(band.iLastRow) + margin); ++y)
            copy(y);
    }
}

const uint8_t* RowBandEdges::Row(int32_t y, uint32_t firstRow, uint32_t lastRow) const
{
    if (y >= 0 && static_cast<uint32_t>(y) >= firstRow && static_cast<uint32_t>(y) <= lastRow)
        return m_Image.GetRow(y);
    const auto found = m_Copies.find(y);
    FASSERT(found != m_Copies.end());
    return found->second.data();
}
