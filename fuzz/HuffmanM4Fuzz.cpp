// HuffmanM4 decoders on hostile input: images (first byte even) into a pixmap
// of the header's size, camfiles (first byte odd) into a buffer of a chosen
// length with a chosen data length. See FuzzSeedData.h for the layout.
#include "fileio/container/HuffmanM4.h"
#include "foundation/FException.h"
#include "foundation/FPixmap.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 5)
        return 0;
    try {
        if (data[0] % 2 == 0) {
            PdxbImageHeader h{};
            h.m_iPixelFormat = PDXB_PIXEL_HUFFMAN_M4;
            h.m_iColumns = 1 + data[1] % 64;
            h.m_iRows = 1 + data[2] % 64;
            std::vector<int16_t> pixels(size_t(h.m_iColumns) * h.m_iRows * 3);
            FPixmapTemplate<FPixelClass48SRGB> pixmap(pixels.data(), int32_t(h.m_iColumns), int32_t(h.m_iRows), 0);
            ReadImageHuffmanM4(h, data + 3, size - 3, &pixmap, nullptr, nullptr);
        } else {
            PdxbCamfileHeader h{};
            h.m_iCamfileType = PDXB_CAMFILE_CAMB_HUFFMAN_M4;
            h.m_iDataLength = uint32_t(data[3] | data[4] << 8);
            std::vector<uint8_t> buffer(size_t(data[1] | data[2] << 8));
            ReadCamfileHuffmanM4(h, data + 5, size - 5, buffer.data(), uint32_t(buffer.size()), nullptr, nullptr);
        }
    } catch (const FException&) {
    }
    return 0;
}
