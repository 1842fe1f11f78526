// Hostile raw containers for the embedded-picture finder: whatever the
// directory, entries and sections claim, every picture found must lie inside
// the input, and decoding, turning and scaling what was found must stay
// inside it and within the picture limit.
#include "foundation/FByteReader.h"
#include "shell/facade/KVR_EmbeddedImages.h"
#include "toolkit/CET_Dib.h"
#include "toolkit/CET_ExifData.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void RequireInside(const KVREmbeddedPicture& picture, size_t size)
{
    if (picture && (!FByteReader::Fits(size, picture.sectionOffset, picture.sectionLength) ||
                    !FByteReader::Fits(size, picture.dataOffset, picture.dataLength)))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool limited = (SetMaxPictureBytes(std::uint64_t{16} << 20), true);
    (void)limited;
    const KVRByteSource source = [data, size](std::uint64_t offset, void* buffer, std::size_t length) {
        if (!FByteReader::Fits(size, offset, length))
            return false;
        if (length > 0)
            std::memcpy(buffer, data + offset, length);
        return true;
    };
    const KVREmbeddedPictures pictures = KVRFindEmbeddedPictures(source, size);
    RequireInside(pictures.largeJpeg, size);
    RequireInside(pictures.smallJpeg, size);
    RequireInside(pictures.rgb, size);

    const int rotation = size > 0 ? data[size - 1] % 4 * 90 : 0;
    BITMAPINFOHEADER header{};
    DeleteDibBits(LoadEmbeddedJpegImage(source, &header, pictures.smallJpeg, rotation));
    DeleteDibBits(LoadEmbeddedRGBImage(source, &header, pictures.rgb, rotation));
    CET_ExifData info;
    int pictureSize[2] = {};
    DeleteDibBits(DecodeEmbeddedJpegToDIB(source, &header, pictures, true, &info, pictureSize));
    return 0;
}
