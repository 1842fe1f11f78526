#include "engine/RowBandEdges.h"

#include "foundation/FAssert.h"

#include <algorithm>
#include <mutex>

RowBandEdges::RowBandEdges(const FPixmap& image, uint32_t margin, uint32_t bandCount) : m_Image(image)
{
    if (image.GetRows() <= 0 || margin == 0)
        return;
    const size_t rowBytes =
        static_cast<size_t>(image.m_iColumns) * static_cast<size_t>(FPixelTypeBytes(image.GetPixelType()));
    const int64_t lastImageRow = image.GetRows() - 1;
    std::mutex copiesLock;
    auto copy = [&](int64_t y) {
        const uint8_t* row = image.GetRow(static_cast<int32_t>(y));
        std::vector<uint8_t> bytes(row, row + rowBytes);
        const std::lock_guard<std::mutex> hold(copiesLock);
        m_Copies.try_emplace(static_cast<int32_t>(y), std::move(bytes));
    };
    // Only reads: no band writes while the copies are taken.
    RunInRowBands(
        static_cast<uint32_t>(image.GetRows()),
        [&](uint32_t firstRow, uint32_t lastRow) {
            for (int64_t y = std::max<int64_t>(0, int64_t(firstRow) - margin); y < firstRow; ++y)
                copy(y);
            for (int64_t y = int64_t(lastRow) + 1; y <= std::min<int64_t>(lastImageRow, int64_t(lastRow) + margin);
                 ++y)
                copy(y);
        },
        bandCount);
}

const uint8_t* RowBandEdges::Row(int32_t y, uint32_t firstRow, uint32_t lastRow) const
{
    if (y >= 0 && static_cast<uint32_t>(y) >= firstRow && static_cast<uint32_t>(y) <= lastRow)
        return m_Image.GetRow(y);
    const auto found = m_Copies.find(y);
    FASSERT(found != m_Copies.end());
    return found->second.data();
}
