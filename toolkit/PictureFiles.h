#pragma once
// Decoding and encoding the picture files the browser shows: JPEG, TIFF, PNG,
// GIF and BMP (raw files of the system's own format get their pictures from
// the development facade). Paths are native paths. Every function reports
// failure only by its result (null or 0) and throws nothing; blocks and
// records it returns belong to the caller.
//
// Decoded pictures are 32-bit (blue, green, red, 0xFF) and bottom-up (a
// positive height), turned upright by the file's EXIF orientation; transparent
// parts of PNG and GIF pictures come out white. BMP files are read by the
// toolkit's own reader, which keeps their row order and ignores orientation
// and the mode.

#include "toolkit/CET_Dib.h"

#include "foundation/FString.h"
#include "platform/win/WinTypes.h"

class CET_ExifData;
class CET_GDIPlus;

// Decoder modes.
enum : int {
  PICT_MODE_FULL = 0,
  PICT_MODE_THUMBNAIL = 1, // the file's EXIF thumbnail, else 160 pixels on the long side
  PICT_MODE_SCALED = 2,    // exactly targetWidth x targetHeight (the caller keeps the proportions)
  PICT_MODE_THUMBNAIL2 = 4,
};

struct CET_PictLoadRequest {
  FString path;
  // Out: the picture's header (44 bytes are written).
  BITMAPINFO* header = nullptr;
  int mode = PICT_MODE_FULL;
  // Out, when given: the file's EXIF items and the oriented picture size.
  CET_ExifData* exif = nullptr;
  // Out, when given: the size after the EXIF orientation, before any scaling.
  SIZE* orientedSize = nullptr;
  int targetWidth = 0;
  int targetHeight = 0;
};

// The new pixel block (from NewDibBits) or null: for a missing path, a folder,
// a raw file, a file no decoder reads, or a picture above the decoders' size
// limit (see SetMaxPictureBytes).
BYTE* LoadPictBits(const CET_PictLoadRequest& request);
// The same as a new record holding the block and a 44-byte header, or null.
CET_Dib* LoadPictFile(const FString& path, int mode, CET_ExifData* exif, SIZE* orientedSize, int targetWidth,
                      int targetHeight);

// Saves a 24- or 32-bit picture: fileType 0 JPEG (quality 0 to 100), 1 and 2
// uncompressed 24-bit TIFF, 3 PNG, 4 BMP, 5 GIF; any other type saves nothing.
// The EXIF items are those of exifSourcePath when it is given and readable,
// else of exif; all but the maker note are written where the format carries
// them (JPEG, TIFF, PNG), with the orientation set to 1, since the pixels are
// written upright, and the pixel dimensions set to the picture's. The ICC
// profile is the file at profilePath when it can be read, else the items' own.
// 1 when saved; 0 leaves no file behind and an existing file unchanged.
int SaveDibAsImageFile(const FString& path, const BITMAPINFO* header, const BYTE* bits, int fileType,
                       const CET_GDIPlus* gdiPlus, ULONG quality, const FString& profilePath,
                       const CET_ExifData* exif, const FString& exifSourcePath);

// Turns a JPEG, TIFF, PNG or GIF file by a rotate-and-flip step (1 a quarter
// clockwise, 3 counter-clockwise; see RotateFlipPicture) into the destination,
// whose extension picks the encoder (JPEG with the quality, TIFF, PNG, BMP,
// GIF). The file's EXIF items (but the maker note) and ICC profile go along;
// when the file has items but no EXIF version, the items of exif that it lacks
// are added. 1 when saved, else 0 (and nothing written).
int RotateImageFile(const FString& sourcePath, const FString& destinationPath, int rotateFlipType,
                    const CET_GDIPlus* gdiPlus, const CET_ExifData* exif, ULONG quality);
