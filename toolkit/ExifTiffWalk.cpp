#include "toolkit/ExifTiffWalk.h"

#include <cstring>

namespace {

constexpr unsigned kMaxIfdEntries = 256;
constexpr std::uint16_t kTagThumbnailOffset = 0x0201;
constexpr std::uint16_t kTagThumbnailLength = 0x0202;

std::uint16_t BigEndian16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] << 8 | p[1]); }

// Where the TIFF header of a JPEG's EXIF segment starts; 0 when not found.
std::uint64_t JpegTiffHeaderPosition(const std::uint8_t* data, std::uint64_t length) {
  std::uint64_t position = 2;
  while (position + 10 < length) {
    const std::uint8_t* p = data + position;
    if (p[0] == 0xFF && p[1] == 0xE1 && std::memcmp(p + 4, "Exif\0\0", 6) == 0) {
      return position + 10 + 10 > length ? 0 : position + 10;
    }
    position += 2 + BigEndian16(p + 2);
  }
  return 0;
}

} // namespace

bool FindExifTiffHeader(const std::uint8_t* data, std::uint64_t length, ExifTiffHeader& header) {
  if (!data) {
    return false;
  }
  const bool jpeg = length >= 2 && data[0] == 0xFF && data[1] == 0xD8;
  const std::uint64_t position = jpeg ? JpegTiffHeaderPosition(data, length) : 0;
  if (!FByteReader::Fits(length, position, 8)) {
    return false;
  }
  const std::uint8_t* p = data + position;
  if (p[0] == 'I' && p[1] == 'I') {
    header.bigEndian = false;
  } else if (p[0] == 'M' && p[1] == 'M') {
    header.bigEndian = true;
  } else {
    return false;
  }
  FExifBlockReader reader(data, length, static_cast<std::int64_t>(position), header.bigEndian);
  if (reader.U16(position + 2) != 42) {
    return false;
  }
  header.position = position;
  header.ifd0 = reader.U32(position + 4);
  return true;
}

int GetExifTypeSize(int type) {
  switch (type) {
  case 1:
  case 2:
  case 7:
    return 1;
  case 3:
    return 2;
  case 4:
  case 9:
    return 4;
  case 5:
  case 10:
    return 8;
  default:
    return 0;
  }
}

ExifIfdStatus ReadExifIfd(FExifBlockReader& reader, std::uint64_t ifdOffset, std::vector<ExifIfdEntryRef>& entries) {
  entries.clear();
  const auto countPosition = reader.PositionOf(static_cast<std::int64_t>(ifdOffset), 2);
  if (ifdOffset > reader.Length() || !countPosition) {
    return ExifIfdStatus::Outside;
  }
  const unsigned count = reader.U16(*countPosition);
  if (count == 0 || count > kMaxIfdEntries) {
    return ExifIfdStatus::Refused;
  }
  if (!reader.Fits(static_cast<std::int64_t>(*countPosition + 2), 12ull * count)) {
    return ExifIfdStatus::Outside;
  }
  for (unsigned i = 0; i < count; ++i) {
    const FExifEntry raw = reader.Entry(*countPosition + 2 + 12 * i);
    ExifIfdEntryRef entry;
    entry.tag = raw.tag;
    entry.type = raw.type;
    entry.count = raw.count;
    entry.length = std::uint64_t{raw.count} * static_cast<std::uint64_t>(GetExifTypeSize(raw.type));
    entry.fieldPosition = raw.fieldPosition;
    entry.valuePosition = raw.fieldPosition;
    if (entry.length > 4) {
      const auto value = reader.PositionOf(raw.valueField, entry.length);
      if (!value) {
        return ExifIfdStatus::Outside;
      }
      entry.valuePosition = *value;
    }
    entries.push_back(entry);
  }
  return ExifIfdStatus::Read;
}

bool FindExifThumbnail(const std::uint8_t* data, std::uint64_t length, std::uint64_t& position,
                       std::uint64_t& thumbnailLength) {
  ExifTiffHeader header;
  if (!FindExifTiffHeader(data, length, header)) {
    return false;
  }
  FExifBlockReader reader(data, length, static_cast<std::int64_t>(header.position), header.bigEndian);
  const auto ifd0 = reader.PositionOf(header.ifd0, 2);
  if (!ifd0) {
    return false;
  }
  // The next-IFD field follows IFD0's entries.
  const std::uint64_t nextField = *ifd0 + 2 + 12ull * reader.U16(*ifd0);
  if (!reader.Fits(static_cast<std::int64_t>(nextField), 4)) {
    return false;
  }
  const std::uint32_t ifd1 = reader.U32(nextField);
  std::vector<ExifIfdEntryRef> entries;
  if (ifd1 == 0 || ReadExifIfd(reader, ifd1, entries) != ExifIfdStatus::Read) {
    return false;
  }
  std::int64_t offset = -1, size = -1;
  for (const ExifIfdEntryRef& entry : entries) {
    if ((entry.tag == kTagThumbnailOffset || entry.tag == kTagThumbnailLength) && entry.count == 1 &&
        (entry.type == 4 || entry.type == 3)) {
      const std::uint32_t value = entry.type == 4 ? reader.U32(entry.valuePosition) : reader.U16(entry.valuePosition);
      (entry.tag == kTagThumbnailOffset ? offset : size) = value;
    }
  }
  if (offset < 0 || size <= 0) {
    return false;
  }
  const auto found = reader.PositionOf(offset, static_cast<std::uint64_t>(size));
  if (!found) {
    return false;
  }
  position = *found;
  thumbnailLength = static_cast<std::uint64_t>(size);
  return true;
}
