#pragma once
// The camera maker's note inside the EXIF block (tag 37500): the development
// settings that have no EXIF tag of their own, as 25 ASCII entries. The reader
// repairs two faults seen in files from the wild: a note written in the other
// byte order, and value offsets that are consistently shifted.

#include "fileio/metadata/Exif.h"

// Identifier, version, 25 entries, next-IFD field, then a 512-byte value area.
constexpr uint32_t kMakerNoteBytes = 828;
constexpr uint32_t kMakerNoteIfdOffset = 10;
constexpr uint32_t kMakerNoteValueAreaOffset = 316;
constexpr uint32_t kMakerNoteValueAreaBytes = 512;

// Writes the maker note at position; its value offsets count from the start of
// the writer's buffer. Texts that would overflow the value area are cut.
void BuildMakerNote(FExifBlockWriter& writer, uint32_t position, const FPropTree& tree);

// Reads the maker-note IFD at ifdPosition of the reader's bytes, in the
// reader's byte order unless the entry count shows the other one. Returns true
// when every entry was read.
bool ParseMakerNote(const FExifBlockReader& reader, size_t ifdPosition, FPropTree& tree);
