// Hostile EXIF blocks for the toolkit's item reader and the in-place writers'
// locators: every offset, count and maker-note entry must stay inside the
// bytes. Items that were read are written back and read again.
#include "toolkit/CET_ExifData.h"
#include "toolkit/ExifInPlaceWriters.h"
#include "toolkit/ExifItemBlock.h"
#include "toolkit/ExifTiffWalk.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// Touches every byte of every item, so a value pointer outside its block shows.
unsigned Checksum(const CET_ExifData& exif)
{
    unsigned sum = 0;
    for (unsigned i = 0; i < exif.GetCount(); ++i) {
        const PropertyItem* item = exif.GetItem(i);
        for (ULONG k = 0; k < item->length; ++k)
            sum += static_cast<const uint8_t*>(item->value)[k];
    }
    for (unsigned i = 0; i < exif.GetMakerNoteCount(); ++i) {
        const PropertyItem* item = exif.GetMakerNoteItem(i);
        for (ULONG k = 0; k < item->length; ++k)
            sum += static_cast<const uint8_t*>(item->value)[k];
    }
    return sum;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A copy of exactly the input, so that any read past it is caught.
    const std::vector<uint8_t> bytes(data, data + size);
    CET_ExifData exif;
    if (exif.ParseBuffer(bytes.data(), bytes.size())) {
        const CET_ExifData copy(exif);
        if (Checksum(copy) != Checksum(exif))
            __builtin_trap();
        const std::vector<uint8_t> written = BuildExifTiffBlock(ExifEntriesOfItems(exif));
        CET_ExifData again;
        again.ParseBuffer(written.data(), written.size());
    }
    ExifValueSpot spot;
    if (LocateOrientationValue(bytes.data(), bytes.size(), spot) && spot.position + 2 > size)
        __builtin_trap();
    if (LocateMarkFlagValue(bytes.data(), bytes.size(), spot) && spot.position + 4 > size)
        __builtin_trap();
    uint64_t position = 0, length = 0;
    if (FindExifThumbnail(bytes.data(), bytes.size(), position, length) && position + length > size)
        __builtin_trap();
    return 0;
}
