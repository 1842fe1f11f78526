#pragma once
// Builds the JPEG files with EXIF blocks that the toolkit's picture and EXIF
// tests read: a picture of four coloured quarters (so every turn shows), and
// the TIFF structure of its APP1 segment byte by byte, in either byte order,
// with an orientation, a thumbnail in IFD1 and the maker's maker note with its
// mark flag.

#include "support/ExifBytes.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace testsupport {

using PictureBytes = std::vector<uint8_t>;

// RGB rows, top first: top left red, top right green, bottom left blue,
// bottom right white.
PictureBytes QuarterPicture(int width, int height);
// The quarter colour (0xRRGGBB) at a point of the stored picture.
uint32_t QuarterColour(int width, int height, int x, int y);

struct ExifFields {
  bool bigEndian = false;
  std::optional<uint16_t> orientation;
  PictureBytes thumbnail;           // a JPEG for IFD1; empty: none
  std::optional<uint32_t> markFlag; // the maker note with its mark-flag entry
  bool makerNoteSwapped = false;    // the maker note in the other byte order
  std::vector<ExifRawEntry> ifd0Extra;
  std::vector<ExifRawEntry> exifExtra;
};

// The TIFF structure (header at offset 0): IFD0 with Make "TALVO", the
// orientation, XResolution 72/1 and the EXIF IFD pointer; the EXIF IFD with
// ExposureTime 1/30, ISOSpeedRatings 200, ExifVersion "0230" and the maker
// note; IFD1 with the thumbnail.
PictureBytes BuildExifStructure(const ExifFields& layout);
// "Exif", two zeros, then the structure: the data of an APP1 segment.
PictureBytes ExifApp1Data(const PictureBytes& structure);
// The JPEG with a segment (marker 0xE0 + n) inserted right after its start.
PictureBytes InsertSegment(const PictureBytes& jpeg, uint8_t marker, const PictureBytes& data);
// A baseline JPEG of the quarter picture, with the EXIF block when given.
PictureBytes QuarterJpeg(int width, int height, const ExifFields* layout = nullptr, int quality = 90);

struct BmpLayout {
  int width = 3, height = 2, bitCount = 8;
  uint32_t headerSize = 40, compression = 0, colours = 0;
  std::vector<uint32_t> masks; // written right behind the 40-byte header
};
// A BMP file: 8-bit pixels (x + y) index a table of grey levels i * 10, other
// depths hold the bytes x * 10 + y; row padding 0xAB.
PictureBytes MakeBmp(const BmpLayout& layout);

} // namespace testsupport
