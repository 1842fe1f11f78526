#pragma once
// The codecs behind the picture-file functions, one source file per format:
// JPEG on libjpeg(-turbo), TIFF on libtiff, PNG on libpng, GIF on giflib, and
// BMP of our own. Decoders deliver DecodedPicture (32-bit, bottom-up, alpha
// composited over white) in the order the file stores its rows: orientation
// is the caller's business. They treat their input as hostile: sizes are
// checked against the picture limit before anything is allocated, and any
// malformed or truncated data gives an empty picture. Encoders write through
// an open file and report whether every byte went out.

#include "toolkit/DecodedPicture.h"

#include "foundation/FString.h"

#include <cstdint>
#include <vector>

class FIFile;
struct ExifBlockEntries;

// A picture handed to an encoder: rows of 3 (blue, green, red) or 4 (blue,
// green, red, unused) bytes, padded to 4 bytes, bottom-up unless topDown.
struct EncoderPicture {
  int width = 0;
  int height = 0;
  int bytesPerPixel = 0;
  const BYTE* bits = nullptr;
  bool topDown = false;

  std::int64_t Stride() const { return DibRowBytes(width, bytesPerPixel * 8); }
  // Row y counted from the top of the picture.
  const BYTE* Row(int y) const {
    const int memoryRow = topDown ? y : height - 1 - y;
    return bits + memoryRow * Stride();
  }
};

// What an encoder writes besides the pixels, where its format carries it.
struct EncoderExtras {
  const ExifBlockEntries* exif = nullptr; // null: no EXIF items
  std::vector<std::uint8_t> iccProfile;   // empty: none
  int jpegQuality = 75;
};

// ---- JPEG
// The stored size from the frame header; false when the data holds none.
bool ReadJpegSize(const std::uint8_t* data, std::size_t size, int& width, int& height);
// Decoded at the smallest of the codec's scales 1, 1/2, 1/4 and 1/8 that keeps
// at least minWidth x minHeight (0 x 0: full size). A stream cut short fails.
DecodedPicture DecodeJpeg(const std::uint8_t* data, std::size_t size, int minWidth = 0, int minHeight = 0,
                          std::vector<std::uint8_t>* iccProfile = nullptr);
// Baseline JPEG with the quality (0 to 100) and the accurate transform; the
// EXIF items as an "Exif" APP1 segment right after the start, the profile in
// APP2 segments.
bool EncodeJpeg(FIFile* file, const EncoderPicture& picture, const EncoderExtras& extras);

// ---- TIFF
DecodedPicture DecodeTiff(const FString& url, std::vector<std::uint8_t>* iccProfile = nullptr);
// Uncompressed 8-bit RGB in strips; the EXIF items in IFD0 and an EXIF IFD,
// the profile as tag 34675.
bool EncodeTiff(FIFile* file, const EncoderPicture& picture, const EncoderExtras& extras);

// ---- PNG
DecodedPicture DecodePng(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>* iccProfile = nullptr);
// The TIFF structure of the eXIf chunk; false when there is none.
bool FindPngExif(const std::uint8_t* data, std::size_t size, std::size_t& position, std::size_t& length);
// 8-bit RGB; the EXIF items in an eXIf chunk, the profile in an iCCP chunk.
bool EncodePng(FIFile* file, const EncoderPicture& picture, const EncoderExtras& extras);

// ---- GIF
// The first frame on the logical screen; transparent and uncovered pixels white.
DecodedPicture DecodeGif(const std::uint8_t* data, std::size_t size);
// One frame of at most 256 colours: the picture's own colours when it has that
// few, else a median-cut palette.
bool EncodeGif(FIFile* file, const EncoderPicture& picture);

// ---- BMP
// The BMP reader: always 32-bit, rows in the file's order (the height keeps its
// sign). header receives the file's 40-byte info header and the 4 bytes behind
// it, with 32 bits per pixel, no compression and the new image size. Depths
// other than 8, 24 and 32 bits give a white picture of the right size.
bool DecodeBmp(const std::uint8_t* data, std::size_t size, BITMAPINFO& header, DibBitsPtr& bits);
// A bottom-up BMP file of the picture's own depth (24 or 32 bits).
bool EncodeBmp(FIFile* file, const EncoderPicture& picture);
