// Feeds arbitrary bytes to the raw-container reader as a file and asks it for
// everything: header fields, properties, image information and images,
// camfile information and data. Any FException is a clean refusal; anything
// else (a crash, a sanitizer report, a hang, a runaway allocation) is a bug.
#include "FuzzScratchFile.h"
#include "fileio/container/PdxbImageIO.h"
#include "foundation/FException.h"
#include "foundation/FPixmap.h"
#include "foundation/FPropTree.h"
#include "foundation/FString.h"

#include <cstdint>
#include <vector>

namespace {

// Buffers above this are not worth allocating for one input.
constexpr uint64_t kMaxBuffer = 16u << 20;

void TryImage(FPdxbImageReader& reader, int index)
{
    uint32_t columns, rows, kind;
    int32_t type;
    reader.GetImageInfo(index, columns, rows, type, kind);
    const int32_t bytesPerPixel = FPixelTypeBytes(type);
    if (bytesPerPixel == 0 || uint64_t(columns) * rows * bytesPerPixel > kMaxBuffer)
        return;
    int32_t headerSize, rowBytes;
    GetFPixmapSizes(type, int32_t(columns), int32_t(rows), headerSize, rowBytes);
    std::vector<uint8_t> pixels(size_t(rowBytes) * rows + 1);
    alignas(std::max_align_t) uint8_t header[256];
    if (size_t(headerSize) > sizeof header)
        return;
    FPixmap* pixmap = MapFPixmapHeader(header, type, int32_t(columns), int32_t(rows), rowBytes, pixels.data());
    try {
        reader.GetImage(index, pixmap, nullptr, nullptr);
    } catch (...) {
        pixmap->~FPixmap();
        throw;
    }
    pixmap->~FPixmap();
}

void TryCamfile(FPdxbImageReader& reader, int index)
{
    uint32_t size;
    int32_t kind;
    reader.GetCamfileInfo(index, size, kind);
    if (size > kMaxBuffer)
        return;
    std::vector<uint8_t> buffer(size);
    double progress = 0;
    reader.ReadCamfile(index, buffer.data(), size, &progress, nullptr);
}

// Each step runs on its own, so a refusal of one section does not hide the rest.
template <class F>
void Step(F&& step)
{
    try {
        step();
    } catch (const FException&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const FuzzScratchFile scratch("pdxb-fuzz");
    const FString& url = scratch.Write(data, size);
    try {
        FPdxbImageReader reader(url);
        reader.GetMarkBits();
        reader.GetRotation();
        reader.GetWhiteBalance();
        reader.GetColorMode();
        for (int i = 0; i < reader.GetExtDataCount(); ++i) {
            reader.GetExtDataType(i);
            reader.GetExtDataValue(i);
        }
        Step([&] {
            FPropTree node(nullptr, "props");
            reader.GetProperties(&node);
        });
        int images = 0, camfiles = 0;
        Step([&] { images = reader.GetImageCount(); });
        Step([&] { camfiles = reader.GetCamfileCount(); });
        for (int i = 0; i < images; ++i)
            Step([&] { TryImage(reader, i); });
        for (int i = 0; i < camfiles; ++i)
            Step([&] { TryCamfile(reader, i); });
    } catch (const FException&) {
    }
    return 0;
}
