// Feeds arbitrary bytes to the TIFF and JPEG readers as a file and asks each
// for its size, its properties and the image at full size and reduced. Any
// FException is a clean refusal; anything else (a crash, a sanitizer report, a
// hang, a runaway allocation) is a bug.
#include "FuzzScratchFile.h"
#include "fileio/codecs/FJPEGImageReader.h"
#include "fileio/codecs/FTiffImageReader.h"
#include "foundation/FException.h"
#include "foundation/FPixmap.h"
#include "foundation/FPropTree.h"
#include "foundation/FString.h"

#include <cstdint>
#include <vector>

namespace {

// Pictures above this are not worth allocating for one input.
constexpr uint64_t kMaxPixmapBytes = 16u << 20;

// A pixmap of the reader's own type, or none when the picture is too large.
template <class Reader>
void ReadAt(Reader& reader, int32_t scale, int32_t destinationType)
{
    reader.SetScale(scale);
    uint32_t columns = 0;
    uint32_t rows = 0;
    int32_t type = 0;
    reader.GetDimensions(columns, rows, type);
    const int32_t pixelType = destinationType != 0 ? destinationType : (type != 0 ? type : FPixmap::PIXEL_24_RGB);
    const uint64_t bytes = uint64_t(columns) * rows * uint64_t(FPixelTypeBytes(pixelType));
    if (bytes > kMaxPixmapBytes || columns > 1u << 20)
        return;
    std::vector<uint8_t> pixels(bytes);
    int32_t headerSize = 0;
    int32_t rowBytes = 0;
    GetFPixmapSizes(pixelType, int32_t(columns), int32_t(rows), headerSize, rowBytes);
    rowBytes = int32_t(columns) * FPixelTypeBytes(pixelType);
    std::vector<uint8_t> header(size_t(headerSize) + 16);
    FPixmap* pixmap = MapFPixmapHeader(header.data(), pixelType, int32_t(columns), int32_t(rows), rowBytes,
                                       pixels.data());
    try {
        reader.ReadImage(pixmap);
    } catch (const FException&) {
    }
    pixmap->~FPixmap();
}

template <class Reader>
void Exercise(const FString& url, int32_t scale, int32_t destinationType)
{
    try {
        Reader reader(url);
        FPropTree tree(nullptr, "fuzz");
        reader.GetProperties(&tree);
        ReadAt(reader, scale, destinationType);
    } catch (const FException&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const FuzzScratchFile scratch("image-fuzz");
    const FString& url = scratch.Write(data, size);
    // The first byte chooses the reduction and the destination type, so that
    // the converters and the reduction see the decoded rows too.
    const int32_t scale = size > 0 ? data[0] & 3 : 0;
    const int32_t destination = size > 1 ? (data[1] % 18) : 0;
    Exercise<FTiffImageReader>(url, scale, destination);
    Exercise<FJPEGImageReader>(url, scale, destination);
    return 0;
}
