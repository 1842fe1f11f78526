// Hostile EXIF blocks: the parser must stay inside the bytes it is handed,
// stop on cycles and never throw for malformed data.
#include "fileio/metadata/Exif.h"
#include "fileio/codecs/TiffIO.h"
#include "foundation/FException.h"
#include "foundation/FPropTree.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte picks the byte order and how the block is handed over:
    // as JPEG APP1 data (IFD at 14, offsets from 6), as the tail of a TIFF file
    // (IFD at 0, offsets from the file start 8 bytes before), or bare.
    const uint8_t mode = data[0];
    const bool bBigEndian = (mode & 1) != 0;
    static const struct {
        size_t ifd;
        int64_t base;
    } kLayouts[] = {{14, 6}, {0, -8}, {0, 0}};
    const auto& layout = kLayouts[(mode >> 1) % 3];
    const uint8_t* block = data + 1;
    const size_t length = size - 1;

    FPropTree tree(nullptr, "fuzz");
    try {
        ParseExif(block, length, layout.ifd, layout.base, bBigEndian, tree);
    } catch (const FException&) {
    }

    // Relocation walks the same structures of blocks it is handed.
    std::vector<uint8_t> copy(block, block + length);
    RelocateExifBlock(copy.data(), copy.size(), 0x1000);
    return 0;
}
