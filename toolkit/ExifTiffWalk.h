#pragma once
// Walking the TIFF structure that holds the EXIF items of JPEG and TIFF files:
// the TIFF header (inside a JPEG's "Exif" APP1 segment, or at the start of a
// TIFF file), the IFDs and the thumbnail of IFD1. Shared by the item reader,
// the in-place writers and the picture decoder. Every position is checked
// against the bytes handed over (through the core's FExifBlockReader), so
// hostile data can only make a walk fail.

#include "fileio/metadata/Exif.h"

#include <cstdint>
#include <vector>

struct ExifTiffHeader {
  std::uint64_t position = 0; // of the byte-order mark in the data
  bool bigEndian = false;
  std::uint32_t ifd0 = 0;     // IFD0's offset from the header
};

// A JPEG's first APP1 segment that holds "Exif" and two zero bytes gives the
// header behind them; any other data is taken as a TIFF file with the header at
// offset 0. False when the header there has no valid byte order or no 42.
bool FindExifTiffHeader(const std::uint8_t* data, std::uint64_t length, ExifTiffHeader& header);

// Size of one value of an IFD entry type: 1 BYTE, ASCII and UNDEFINED, 2 SHORT,
// 4 LONG and SLONG, 8 RATIONAL and SRATIONAL; 0 for any other type.
int GetExifTypeSize(int type);

struct ExifIfdEntryRef {
  std::uint16_t tag = 0;
  std::uint16_t type = 0;
  std::uint32_t count = 0;
  std::uint64_t length = 0;     // type size x count
  std::size_t fieldPosition = 0; // the entry's last four bytes in the data
  std::size_t valuePosition = 0; // the value in the data (the field for up to 4 bytes)
};

enum class ExifIfdStatus {
  Read,     // the entries were read
  Refused,  // more than 256 entries, or none
  Outside,  // the directory or a value lies outside the data
};

// Reads the IFD at ifdOffset (from the header). Values longer than 4 bytes
// must lie inside the data too.
ExifIfdStatus ReadExifIfd(FExifBlockReader& reader, std::uint64_t ifdOffset, std::vector<ExifIfdEntryRef>& entries);

// The JPEG thumbnail that IFD1 of the TIFF structure points to (tags 0x0201
// and 0x0202): its position and length in the data. False when there is none
// or it does not lie inside the data.
bool FindExifThumbnail(const std::uint8_t* data, std::uint64_t length, std::uint64_t& position,
                       std::uint64_t& thumbnailLength);
