#pragma once
// The picture the decoders deliver and the geometry they apply to it: 32-bit
// pixels (blue, green, red, 0xFF), rows bottom-up as in the toolkit's picture
// record (32-bit rows need no padding), in a block made with NewDibBits so that
// a record can take it over. Allocation refuses pictures above a size limit
// before any memory is taken, so a header claiming billions of pixels costs
// nothing.

#include "toolkit/CET_Dib.h"

#include <cstdint>
#include <memory>

struct DibBitsDeleter {
  void operator()(BYTE* bits) const { DeleteDibBits(bits); }
};
using DibBitsPtr = std::unique_ptr<BYTE[], DibBitsDeleter>;

struct DecodedPicture {
  int width = 0;
  int height = 0;
  DibBitsPtr bits;

  explicit operator bool() const { return bits != nullptr; }
  std::uint64_t ByteSize() const { return std::uint64_t(width) * std::uint64_t(height) * 4; }
  // Row y counted from the top of the picture.
  BYTE* Row(int y) { return bits.get() + std::uint64_t(height - 1 - y) * std::uint64_t(width) * 4; }
  const BYTE* Row(int y) const { return bits.get() + std::uint64_t(height - 1 - y) * std::uint64_t(width) * 4; }
};

// The most bytes a decoded picture may take (1 GiB unless set; tests and the
// fuzz targets lower it).
std::uint64_t GetMaxPictureBytes();
void SetMaxPictureBytes(std::uint64_t bytes);

// A picture of that size with uninitialised pixels; empty when the size is not
// positive or the picture would pass the limit.
DecodedPicture AllocatePicture(std::int64_t width, std::int64_t height);

// The picture resampled to exactly width x height: an area average where it
// shrinks, linear interpolation where it grows. Empty when the size is refused.
DecodedPicture ResamplePicture(const DecodedPicture& source, int width, int height);
// The picture resampled to exactly width x height by bilinear interpolation
// between the four nearest pixels, the imaging library's default mode: cheaper
// than ResamplePicture and as good while it shrinks by less than a half.
DecodedPicture ResamplePictureBilinear(const DecodedPicture& source, int width, int height);

// The imaging library's rotate-and-flip steps, as seen on the screen:
// 0 none, 1 a quarter clockwise, 2 a half, 3 a quarter counter-clockwise,
// 4 mirrored left to right, 5 a quarter clockwise then mirrored, 6 a half then
// mirrored (upside down), 7 a quarter counter-clockwise then mirrored.
DecodedPicture RotateFlipPicture(const DecodedPicture& source, int rotateFlipType);
bool RotateFlipExchangesSize(int rotateFlipType);

// EXIF orientation (1 to 8) to the step that makes the picture upright; 0 for
// a missing or invalid orientation.
int RotateFlipTypeOfOrientation(int orientation);
