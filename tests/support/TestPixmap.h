#pragma once
// A pixmap over its own memory for decoder tests: every byte starts as a
// marker value, so a test sees whatever a decoder left unwritten.

#include "foundation/FPixmap.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace testsupport {

template <class PixelClass>
class TestPixmap {
public:
    static constexpr uint8_t kMarker = 0xA5;

    // extraBytes: padding at the end of every row, to catch stride mistakes.
    TestPixmap(int32_t columns, int32_t rows, int32_t extraBytes = 0)
        : m_iRowBytes(columns * int32_t(sizeof(PixelClass)) + extraBytes),
          m_Bytes(size_t(m_iRowBytes) * size_t(rows), kMarker),
          m_Pixmap(m_Bytes.data(), columns, rows, m_iRowBytes)
    {
    }

    FPixmapTemplate<PixelClass>* Get() { return &m_Pixmap; }
    const PixelClass& At(int32_t x, int32_t y) const { return *m_Pixmap.GetPixel(x, y); }
    // The image bytes of the given size, rows after one another, padding left out.
    std::vector<uint8_t> Bytes(int32_t columns, int32_t rows) const
    {
        std::vector<uint8_t> out;
        for (int32_t y = 0; y < rows; ++y) {
            const uint8_t* row = m_Bytes.data() + size_t(y) * size_t(m_iRowBytes);
            out.insert(out.end(), row, row + size_t(columns) * sizeof(PixelClass));
        }
        return out;
    }
    std::vector<uint8_t>& Raw() { return m_Bytes; }

private:
    int32_t m_iRowBytes;
    std::vector<uint8_t> m_Bytes;
    FPixmapTemplate<PixelClass> m_Pixmap;
};

} // namespace testsupport
