#include "toolkit/ExifInPlaceWriters.h"

#include "toolkit/CET_ExifData.h"
#include "toolkit/ExifTiffWalk.h"
#include "toolkit/PictureFileBytes.h"

#include <cstring>
#include <optional>
#include <vector>

namespace {

constexpr unsigned kMaxIfdEntries = 256;
constexpr std::uint64_t kMinFileBytes = 32;
constexpr std::uint8_t kMakerNoteSignature[8] = {'T', 'A', 'L', 'V', 'O', 0, 0, 0};

// The first entry of the IFD with the tag (and, when given, type and count),
// read only as far as needed; none when the IFD is refused or leaves the data.
std::optional<FExifEntry> FirstEntry(FExifBlockReader& reader, std::uint64_t ifdOffset, std::uint16_t tag,
                                     int type = -1, std::int64_t count = -1) {
  const auto countPosition = reader.PositionOf(static_cast<std::int64_t>(ifdOffset), 2);
  if (!countPosition) {
    return std::nullopt;
  }
  const unsigned entries = reader.U16(*countPosition);
  if (entries > kMaxIfdEntries) {
    return std::nullopt;
  }
  for (unsigned i = 0; i < entries; ++i) {
    const std::size_t position = *countPosition + 2 + 12 * i;
    if (!reader.Fits(static_cast<std::int64_t>(position), 12)) {
      return std::nullopt;
    }
    const FExifEntry entry = reader.Entry(position);
    if (entry.tag == tag && (type < 0 || entry.type == type) && (count < 0 || entry.count == count)) {
      return entry;
    }
  }
  return std::nullopt;
}

// Reads the whole file, finds the value and writes its new bytes in place.
template <class Locate, class NewValue>
int RewriteValue(const FString& path, Locate locate, NewValue newValue, int valueBytes) {
  PictureFileReader file(path, true);
  std::vector<std::uint8_t> bytes;
  if (!file.IsOpen() || file.Size() < kMinFileBytes || !file.Read(0, file.Size(), bytes)) {
    return 0;
  }
  ExifValueSpot spot;
  if (!locate(bytes.data(), bytes.size(), spot)) {
    return 0;
  }
  const std::optional<std::uint32_t> value = newValue(spot.value);
  if (!value) {
    return 0;
  }
  std::uint8_t out[4];
  for (int i = 0; i < valueBytes; ++i) {
    const int shift = 8 * (spot.bigEndian ? valueBytes - 1 - i : i);
    out[i] = static_cast<std::uint8_t>(*value >> shift);
  }
  return file.WriteAt(spot.position, out, static_cast<std::uint64_t>(valueBytes)) ? 1 : 0;
}

} // namespace

bool LocateOrientationValue(const std::uint8_t* data, std::uint64_t length, ExifValueSpot& spot) {
  ExifTiffHeader header;
  if (!FindExifTiffHeader(data, length, header)) {
    return false;
  }
  FExifBlockReader reader(data, length, static_cast<std::int64_t>(header.position), header.bigEndian);
  const auto entry = FirstEntry(reader, header.ifd0, static_cast<std::uint16_t>(kExifTagOrientation));
  if (!entry || entry->type != 3 || entry->count != 1) {
    return false;
  }
  spot.position = entry->fieldPosition;
  spot.bigEndian = header.bigEndian;
  spot.value = reader.U16(entry->fieldPosition);
  return true;
}

bool LocateMarkFlagValue(const std::uint8_t* data, std::uint64_t length, ExifValueSpot& spot) {
  ExifTiffHeader header;
  if (!FindExifTiffHeader(data, length, header)) {
    return false;
  }
  FExifBlockReader reader(data, length, static_cast<std::int64_t>(header.position), header.bigEndian);
  const auto pointer = FirstEntry(reader, header.ifd0, static_cast<std::uint16_t>(kExifTagExifIfd), 4, 1);
  if (!pointer) {
    return false;
  }
  const auto makerNote = FirstEntry(reader, pointer->valueField, static_cast<std::uint16_t>(kExifTagMakerNote));
  if (!makerNote) {
    return false;
  }
  const auto note = reader.PositionOf(makerNote->valueField, 12);
  if (!note || std::memcmp(data + *note, kMakerNoteSignature, sizeof kMakerNoteSignature) != 0) {
    return false;
  }
  const unsigned entries = reader.U16(*note + 10);
  for (unsigned i = 0; i < entries; ++i) {
    const std::size_t position = *note + 12 + 12 * i;
    if (!reader.Fits(static_cast<std::int64_t>(position), 12)) {
      return false;
    }
    const FExifEntry entry = reader.Entry(position);
    if (entry.tag == kMakerNoteTagMarkFlag && entry.type == 4 && entry.count == 1) {
      spot.position = entry.fieldPosition;
      spot.bigEndian = header.bigEndian;
      spot.value = entry.valueField;
      return true;
    }
  }
  return false;
}

int TurnedOrientation(int orientation, bool clockwise) {
  static constexpr int kClockwise[9] = {0, 6, 7, 8, 5, 2, 3, 4, 1};
  static constexpr int kCounterClockwise[9] = {0, 8, 5, 6, 7, 4, 1, 2, 3};
  if (orientation < 1 || orientation > 8) {
    return 0;
  }
  return clockwise ? kClockwise[orientation] : kCounterClockwise[orientation];
}

int RotateJpegByExif(const FString& path, bool clockwise) {
  return RewriteValue(
      path, LocateOrientationValue,
      [clockwise](std::uint32_t old) -> std::optional<std::uint32_t> {
        const int turned = TurnedOrientation(static_cast<int>(old), clockwise);
        return turned == 0 ? std::nullopt : std::optional<std::uint32_t>(static_cast<std::uint32_t>(turned));
      },
      2);
}

int SetJpegMarkFlag(const FString& path, bool marked) {
  return RewriteValue(
      path, LocateMarkFlagValue, [marked](std::uint32_t) { return std::optional<std::uint32_t>(marked ? 1u : 0u); },
      4);
}
