#pragma once
// Pixmaps over memory of their own for the tests. TestPixmap<PixelClass> is
// made by its constructor, every byte the fill (a marker by default, so a test
// sees whatever a decoder left unwritten), and gives typed access to pixels.
// TestPixmap<> has its pixel type chosen at run time and comes from MakePixmap.

#include "foundation/FPixmap.h"

#include <cstdint>
#include <memory>
#include <type_traits>
#include <vector>

namespace testsupport {

template <class PixelClass = void>
class TestPixmap {
public:
    static constexpr uint8_t kMarker = 0xA5;

    TestPixmap() = default;

    // extraBytes: padding at the end of every row, to catch stride mistakes.
    TestPixmap(int32_t columns, int32_t rows, int32_t extraBytes = 0, uint8_t fill = kMarker)
        requires(!std::is_void_v<PixelClass>)
        : bytes(size_t(columns * int32_t(sizeof(PixelClass)) + extraBytes) * size_t(rows), fill),
          pixmap(std::make_unique<FPixmapTemplate<PixelClass>>(bytes.data(), columns, rows,
                                                               columns * int32_t(sizeof(PixelClass)) + extraBytes))
    {
    }

    FPixmap* get() const { return pixmap.get(); }
    FPixmap* operator->() const { return pixmap.get(); }
    FPixmapTemplate<PixelClass>* Get() const requires(!std::is_void_v<PixelClass>)
    {
        return static_cast<FPixmapTemplate<PixelClass>*>(pixmap.get());
    }
    const auto& At(int32_t x, int32_t y) const requires(!std::is_void_v<PixelClass>)
    {
        return *Get()->GetPixel(x, y);
    }

    // Row y, all its columns.
    std::vector<uint8_t> Row(int32_t y) const { return RowStart(y, pixmap->m_iColumns); }
    // The first columns pixels of the first rows rows, one after another,
    // padding left out.
    std::vector<uint8_t> Bytes(int32_t columns, int32_t rows) const
    {
        std::vector<uint8_t> out;
        for (int32_t y = 0; y < rows; ++y) {
            const std::vector<uint8_t> row = RowStart(y, columns);
            out.insert(out.end(), row.begin(), row.end());
        }
        return out;
    }

    std::vector<uint8_t> bytes;
    std::unique_ptr<FPixmap> pixmap;

private:
    std::vector<uint8_t> RowStart(int32_t y, int32_t columns) const
    {
        const uint8_t* row = pixmap->GetRow(y);
        return std::vector<uint8_t>(row, row + size_t(columns) * size_t(FPixelTypeBytes(pixmap->GetPixelType())));
    }
};

// A header of the type's class over the given pixels.
std::unique_ptr<FPixmap> NewPixmapHeader(int32_t pixelType, void* data, int32_t columns, int32_t rows,
                                         int32_t rowBytes);
// Row bytes 0 means columns x bytes per pixel. The pixels are random bytes of
// the seed; grey 12-bit samples stay below 4096.
TestPixmap<> MakePixmap(int32_t pixelType, int32_t columns, int32_t rows, uint32_t seed = 1, int32_t rowBytes = 0);

} // namespace testsupport
