// The toolkit's own BMP reader over arbitrary bytes: every header, offset,
// colour table and row must be checked against the file before use.
#include "toolkit/DecodedPicture.h"
#include "toolkit/PictureCodecs.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Pictures beyond this are refused like larger ones, only sooner.
    SetMaxPictureBytes(16u << 20);
    BITMAPINFO header{};
    DibBitsPtr bits;
    if (DecodeBmp(data, size, header, bits)) {
        // The block holds exactly the picture the header describes.
        const int64_t rows = header.bmiHeader.biHeight < 0 ? -int64_t{header.bmiHeader.biHeight} : header.bmiHeader.biHeight;
        if (uint64_t(header.bmiHeader.biWidth) * uint64_t(rows) * 4 != header.bmiHeader.biSizeImage)
            __builtin_trap();
        volatile BYTE last = bits[header.bmiHeader.biSizeImage - 1];
        (void)last;
    }
    return 0;
}
