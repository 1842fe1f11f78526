// Image row decoders of the raw container on hostile input: Huffman rows
// (formats 6 and 11), the Huffman decoder itself fed in chunks, and the
// fixed-row formats. The first byte picks the mode; see FuzzSeedData.h.
#include "fileio/container/Huffman.h"
#include "fileio/container/PdxbImageDecoding.h"
#include "foundation/FException.h"
#include "foundation/FPixmap.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

// A pixmap of the format's decoded type and size (both kept small), or none.
bool DecodeImage(bool variable, uint32_t format, uint32_t columns, uint32_t rows, uint32_t rowSize,
                 const uint8_t* data, size_t size)
{
    PdxbImageHeader h{};
    h.m_iPixelFormat = format;
    h.m_iColumns = columns;
    h.m_iRows = rows;
    h.m_iRowSize = rowSize;
    uint64_t c, r;
    PdxbDecodedImageSize(h, c, r);
    const int32_t type = PdxbPixelTypeForFormat(format);
    if (type == 0)
        return false;
    // Room for copied rows, kept to whole words as every pixmap layout does.
    const int32_t rowBytes = (int32_t(c) * FPixelTypeBytes(type) + int32_t(rowSize) + 3) & ~3;
    std::vector<uint8_t> memory(size_t(rowBytes) * size_t(r) + 1);
    FPixmap* pixmap = nullptr;
    alignas(FPixmapTemplate<FPixelClass48RGB>) unsigned char header[256];
    pixmap = MapFPixmapHeader(header, type, int32_t(c), int32_t(r), rowBytes, memory.data());
    bool done = false;
    try {
        done = variable ? ReadImageVariableLineLength(h, data, size, pixmap, nullptr, nullptr)
                        : ReadImageFixedLineLength(h, data, size, pixmap, nullptr, nullptr);
    } catch (const FException&) {
    }
    pixmap->~FPixmap();
    return done;
}

void DecodeChunks(const uint8_t* in, size_t size)
{
    if (size < 5)
        return;
    const int width = 2 + in[1] % 15;
    const size_t chunk = 1 + in[2];
    const uint32_t count = uint32_t(in[3] | in[4] << 8) % 1025;
    in += 5;
    size -= 5;
    if (size < size_t(count) * 4)
        return;
    std::vector<uint32_t> words(count);
    for (uint32_t i = 0; i < count; ++i)
        words[i] = uint32_t(in[4 * i]) | uint32_t(in[4 * i + 1]) << 8 | uint32_t(in[4 * i + 2]) << 16 |
                   uint32_t(in[4 * i + 3]) << 24;
    in += size_t(count) * 4;
    size -= size_t(count) * 4;
    try {
        FHuffman huffman(width);
        huffman.DecodeReset();
        huffman.SetTable(words.data(), count);
        std::vector<uint16_t> symbols(4096);
        size_t offset = 0, done = 0;
        while (offset < size && done < symbols.size()) {
            const uint32_t length = uint32_t(std::min(chunk, size - offset));
            uint32_t position = 0, decoded = 0;
            huffman.Decode(in + offset, length, position, symbols.data() + done, uint32_t(symbols.size() - done),
                           decoded);
            done += decoded;
            offset += position;
            if (decoded == 0 && position == 0)
                break;
        }
        uint32_t position = 0, decoded = 0;
        huffman.Decode(nullptr, 0, position, symbols.data() + done, uint32_t(symbols.size() - done), decoded);
        huffman.DecodeFlush();
    } catch (const FException&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 6)
        return 0;
    switch (data[0] % 3) {
    case 0:
        DecodeImage(true, data[1] % 2 ? 11 : 6, 1 + data[2] % 64, 1 + data[3] % 64, 0, data + 4, size - 4);
        break;
    case 1:
        DecodeChunks(data, size);
        break;
    default:
        DecodeImage(false, data[1] % 32, 1 + data[2] % 64, 1 + data[3] % 64, uint32_t(data[4] | data[5] << 8),
                    data + 6, size - 6);
        break;
    }
    return 0;
}
