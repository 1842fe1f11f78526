#pragma once
// The pictures a raw file carries besides its sensor data: a large JPEG
// preview, often a small 221 x 147 JPEG thumbnail, and in some files an
// uncompressed RGB thumbnail. Showing one costs a fraction of a development,
// so the browser, the slide show, the batch save and the review window show
// them first (or only).
//
// They are found through the container's own directory (version 2 and 3
// layouts, nested directories), decoded to bitmaps and the large JPEG is
// extracted into a file of its own. Nothing here uses the image managers or
// needs the engine lock, and nothing is shared: any thread may call these at
// any time. The container is hostile input: every offset, count and length is
// checked against the file before it is used, and whatever does not fit makes
// the picture (or, for a broken directory, every picture) "none".
//
// Bitmaps made here are 24-bit (blue, green, red) with a 40-byte header, in
// blocks from NewDibBits (toolkit/CET_Dib.h) that the caller owns. A decoded
// picture loses the columns beyond a multiple of 4 (at most three at the
// right edge), so its rows have no fill bytes; it is stored bottom-up (its
// block may be longer than the rows). The RGB
// thumbnail without a turn keeps its width and is stored top-down (a negative
// height), rows padded to 4 bytes.

#include "platform/win/WinTypes.h"
#include "toolkit/DecodedPicture.h"

#include <cstdint>
#include <cstdio>
#include <functional>

class CET_Dib;
class CET_ExifData;

// The picture asked for.
enum KVREmbeddedKind : int {
    kEmbeddedThumbnail = 0,      // the small JPEG, else the RGB thumbnail
    kEmbeddedPreview = 1,        // the large JPEG, scaled to 360 on its long side
    kEmbeddedPreviewFullSize = 2, // the large JPEG at its own size
};

// What was found (results of KVR_FindEmbeddedImage).
enum KVREmbeddedType : int {
    kEmbeddedNone = 0,
    kEmbeddedLargeJpeg = 1,
    kEmbeddedSmallJpeg = 2,
    kEmbeddedRgb = 3,
};

// Error codes of KVR_ExtractEmbeddedJpeg.
enum KVRExtractError : int {
    kExtractDone = 0,
    kExtractNoJpeg = 2,      // the file carries no large JPEG
    kExtractReadFailed = 3,  // the raw file does not open or could not be read
    kExtractWriteFailed = 4, // the output could not be created or written
};

// One picture section of the container.
struct KVREmbeddedPicture {
    int type = kEmbeddedNone;
    std::uint64_t sectionOffset = 0, sectionLength = 0; // the whole section, header included
    std::uint64_t dataOffset = 0, dataLength = 0;       // the JPEG stream or the RGB rows
    std::uint32_t columns = 0, rows = 0, rowBytes = 0;

    explicit operator bool() const { return type != kEmbeddedNone; }
};

// Every picture a container holds (the last section of each class), and the
// header's rotation and picture size.
struct KVREmbeddedPictures {
    KVREmbeddedPicture largeJpeg, smallJpeg, rgb;
    int rotation = 0;                        // degrees, 0..359
    std::uint32_t columns = 0, rows = 0;     // the turned picture's size (COLS and ROWS)

    // The picture of the kind: for the thumbnail the small JPEG, else the RGB
    // picture; for the previews the large JPEG; none for any other kind.
    const KVREmbeddedPicture& Choose(int kind) const;
};

// Reads exactly length bytes at offset into buffer; false when they are not there.
using KVRByteSource = std::function<bool(std::uint64_t offset, void* buffer, std::size_t length)>;

// The container's pictures from its bytes (fileSize of them).
KVREmbeddedPictures KVRFindEmbeddedPictures(const KVRByteSource& source, std::uint64_t fileSize);

// In an open file (binary): the picture of the kind, its section's offset and
// length (when it fits an int) and its type; kEmbeddedNone when there is none.
int KVR_FindEmbeddedImage(FILE* file, int kind, int* offset, int* length);

// The picture of the kind as rows, its header in header. The small JPEG and
// the RGB picture are turned by rotation (the file's ROTATION: 90, 180, 270
// clockwise; any other value none) and give info an image size and size a
// pair of 0 x 0. The large JPEG is turned by the file's own rotation (a
// preview stored already turned stays as it is); size and info (when given)
// get its turned size before any scaling, and info its EXIF items. Null when
// the file holds no such picture or it cannot be read.
BYTE* KVR_LoadEmbeddedImageToDIB(const char16_t* nativePath, BITMAPINFOHEADER* header, int kind, CET_ExifData* info,
                                 int* size, int rotation);
// The same as a new picture record (a 44-byte header block, the rows and their size).
CET_Dib* KVR_LoadEmbeddedImageToBitmap(const char16_t* nativePath, int kind, CET_ExifData* info, int* size,
                                       int rotation);
// Copies the large JPEG into a new file at the output path, which appears only
// when complete. 1 on success, else 0 with the reason in error (when given).
int KVR_ExtractEmbeddedJpeg(const char16_t* rawPath, const char16_t* outputPath, int* error);

// The steps of the loads.
// A JPEG at its own size, turned by rotation.
BYTE* LoadEmbeddedJpegImage(const KVRByteSource& source, BITMAPINFOHEADER* header, const KVREmbeddedPicture& picture,
                            int rotation);
// The RGB rows: as they are without a turn (top-down), else turned.
BYTE* LoadEmbeddedRGBImage(const KVRByteSource& source, BITMAPINFOHEADER* header, const KVREmbeddedPicture& picture,
                           int rotation);
// The large JPEG turned by the file's rotation, scaled to 360 on its long side
// when scaleTo360 is set.
BYTE* DecodeEmbeddedJpegToDIB(const KVRByteSource& source, BITMAPINFOHEADER* header,
                              const KVREmbeddedPictures& pictures, bool scaleTo360, CET_ExifData* info, int* size);
// A decoded picture as 24-bit bottom-up rows without the columns beyond a
// multiple of 4, made in the picture's own block, which the rows take over;
// null when none are left.
BYTE* CopyBitmapDataToDIB(DecodedPicture picture, BITMAPINFOHEADER* header);
