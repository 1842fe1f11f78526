#pragma once
// Writing property items back into files: the little-endian TIFF structure
// (header, IFD0 and the EXIF IFD) that a JPEG's "Exif" APP1 segment and a PNG
// file's eXIf chunk hold, and that IFD0 of a TIFF file starts with. Item values
// are in machine order (as CET_ExifData keeps them), which is the structure's.

#include "toolkit/CET_ExifData.h"

#include <cstdint>
#include <vector>

// One entry to write: value bytes in little-endian order, length = type size x count.
struct ExifBlockEntry {
  std::uint16_t tag = 0;
  std::uint16_t type = 0;
  std::uint32_t count = 0;
  std::vector<std::uint8_t> value;
};

// Entries of IFD0 and of the EXIF IFD, each kept in ascending tag order.
struct ExifBlockEntries {
  std::vector<ExifBlockEntry> ifd0;
  std::vector<ExifBlockEntry> exif;
};

// The entries for the items of a record, with the adjustments a new file
// needs: the maker note is left out (its offsets belong to its old file), and
// so are the pointers to other directories, the tags that describe another
// file's layout (strips, tiles, sample layout, thumbnail) and the ICC profile
// (each format carries it in its own way). Items of unknown types, and items
// whose length does not fit their type, are left out. Each item goes to IFD0
// or the EXIF IFD by its tag.
ExifBlockEntries ExifEntriesOfItems(const CET_ExifData& items);
// Sets a SHORT entry (adding it to IFD0 or replacing it).
void SetExifShort(ExifBlockEntries& entries, std::uint16_t tag, std::uint16_t value);
// Brings the EXIF IFD's pixel dimensions, when present, to the written size.
void SetExifPixelDimensions(ExifBlockEntries& entries, int width, int height);

// The TIFF structure: "II", 42, IFD0 at 8, then IFD0's values, the EXIF IFD
// (pointed to by an entry 34665 in IFD0 when there are EXIF entries) and its
// values. Offsets count from the structure's start; values start on even
// offsets. Empty when IFD0 would have no entry.
std::vector<std::uint8_t> BuildExifTiffBlock(const ExifBlockEntries& entries);

// As BuildExifTiffBlock, dropping the largest entries until the block is at
// most maxBytes long.
std::vector<std::uint8_t> BuildExifTiffBlockWithin(ExifBlockEntries entries, std::size_t maxBytes);

// A LONG, SHORT, RATIONAL or UNDEFINED entry made from numbers.
ExifBlockEntry ExifLongEntry(std::uint16_t tag, const std::vector<std::uint32_t>& values);
ExifBlockEntry ExifShortEntry(std::uint16_t tag, const std::vector<std::uint16_t>& values);
ExifBlockEntry ExifRationalEntry(std::uint16_t tag, std::uint32_t numerator, std::uint32_t denominator);
ExifBlockEntry ExifUndefinedEntry(std::uint16_t tag, const std::vector<std::uint8_t>& bytes);
// Adds the entry to the list, replacing an entry of the same tag, in tag order.
void PutExifEntry(std::vector<ExifBlockEntry>& list, ExifBlockEntry entry);
