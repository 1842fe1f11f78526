// The picture loader over arbitrary files of every type it reads: JPEG (with
// its EXIF thumbnail and orientation), TIFF, PNG, GIF and BMP, in every mode.
// A null result is a clean refusal; a crash, a sanitizer report, a hang or a
// runaway allocation is a bug.
#include "FuzzScratchFile.h"
#include "toolkit/CET_ExifData.h"
#include "toolkit/DecodedPicture.h"
#include "toolkit/PictureFiles.h"

#include "foundation/FPath.h"

#include <cstddef>
#include <cstdint>
#include <memory>

// Input: one byte choosing the file's extension (bits 0-2) and the mode
// (bits 3-4), then the file.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    SetMaxPictureBytes(16u << 20);
    static const char* const kExtensions[] = {".jpg", ".tif", ".png", ".gif", ".bmp", ".dat", ".jpg", ".png"};
    static const int kModes[] = {PICT_MODE_FULL, PICT_MODE_THUMBNAIL, PICT_MODE_SCALED, PICT_MODE_THUMBNAIL2};
    static std::unique_ptr<FuzzScratchFile> files[8];
    const int kind = data[0] & 7;
    if (!files[kind])
        files[kind] = std::make_unique<FuzzScratchFile>("picture-fuzz", kExtensions[kind]);
    files[kind]->Write(data + 1, size - 1);

    CET_ExifData exif;
    SIZE oriented{};
    const int mode = kModes[(data[0] >> 3) & 3];
    std::unique_ptr<CET_Dib> picture(
        LoadPictFile(PathFromNative(files[kind]->Path()), mode, &exif, &oriented, 37, 23));
    if (picture) {
        const uint64_t bytes = uint64_t(picture->GetWidth()) * uint64_t(picture->GetHeight()) *
                               uint64_t(picture->GetBitCount() / 8);
        if (picture->GetBitCount() != 32 || bytes != picture->size || bytes == 0)
            __builtin_trap();
        volatile BYTE last = picture->bits[picture->size - 1];
        (void)last;
    }
    return 0;
}
