#pragma once
// The two in-place changes of a JPEG or TIFF file's EXIF block: the
// orientation turned by a quarter (the picture turns without re-encoding) and
// the mark flag inside the maker's maker note. Each rewrites only the 2 or 4
// bytes of its value, and only after it recognised every structure on the way
// to it; a locked (read-only) file is never written, also by root.

#include "foundation/FString.h"

#include <cstdint>

// Where a value lies in a file's bytes, in which byte order, and what it holds.
struct ExifValueSpot {
  std::uint64_t position = 0;
  bool bigEndian = false;
  std::uint32_t value = 0;
};

// The orientation of IFD0: the first entry 0x0112, which must be one SHORT.
bool LocateOrientationValue(const std::uint8_t* data, std::uint64_t length, ExifValueSpot& spot);
// The mark flag: entry 0x002F (one LONG) of the maker note that the EXIF IFD's
// entry 0x927C points to, read in the TIFF header's byte order.
bool LocateMarkFlagValue(const std::uint8_t* data, std::uint64_t length, ExifValueSpot& spot);

// The orientation after a quarter turn; 0 for a value outside 1..8.
int TurnedOrientation(int orientation, bool clockwise);

// 1 when the orientation of the file at the native path was rewritten, else 0
// (the file is then untouched).
int RotateJpegByExif(const FString& path, bool clockwise);
// 1 when the mark flag was written (1 marked, 0 not), else 0 (file untouched).
int SetJpegMarkFlag(const FString& path, bool marked);
