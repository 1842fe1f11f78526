#include "toolkit/ExifItemBlock.h"

#include "toolkit/ExifTiffWalk.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::uint16_t kTagExifIfd = 0x8769;

// Tags that describe the layout of the file they came from, point to other
// directories, or are carried apart from the items.
bool BelongsToOldFile(std::uint32_t tag) {
  switch (tag) {
  case 0x00FE: case 0x00FF: case 0x0100: case 0x0101: case 0x0102: case 0x0103: case 0x0106: case 0x0107:
  case 0x0108: case 0x0109: case 0x010A: case 0x0111: case 0x0115: case 0x0116: case 0x0117: case 0x0118:
  case 0x0119: case 0x011C: case 0x0122: case 0x0123: case 0x0124: case 0x0125: case 0x0140: case 0x0142:
  case 0x0143: case 0x0144: case 0x0145: case 0x014A: case 0x0152: case 0x0153: case 0x0154: case 0x0155:
  case 0x0200: case 0x0201: case 0x0202: case 0x0211: case 0x0212: case 0x0214:
  case 0x8769: case 0x8825: case 0xA005: // directory pointers
  case 0x8773:                           // ICC profile
  case 0x927C:                           // maker note
    return true;
  default:
    // The imaging library's own thumbnail and frame tags.
    return tag >= 0x5000 && tag < 0x6000;
  }
}

bool IsExifIfdTag(std::uint32_t tag) {
  switch (tag) {
  case 0x8298: case 0x83BB: case 0x8649: case 0x8769: case 0x8773: case 0x8825:
    return false;
  default:
    return tag >= 0x8000;
  }
}

void PutLE(std::vector<std::uint8_t>& out, std::size_t position, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) {
    out[position + i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

std::uint64_t ValueArea(const std::vector<ExifBlockEntry>& list) {
  std::uint64_t bytes = 0;
  for (const ExifBlockEntry& entry : list) {
    if (entry.value.size() > 4) {
      bytes += (entry.value.size() + 1) & ~std::uint64_t{1};
    }
  }
  return bytes;
}

std::uint64_t IfdBytes(const std::vector<ExifBlockEntry>& list) { return 2 + 12 * list.size() + 4; }

// Writes one IFD at position with its values from valuePosition; returns the
// position after the values.
std::size_t WriteIfd(std::vector<std::uint8_t>& out, std::size_t position, const std::vector<ExifBlockEntry>& list,
                     std::size_t valuePosition) {
  PutLE(out, position, static_cast<std::uint32_t>(list.size()), 2);
  std::size_t entry = position + 2;
  for (const ExifBlockEntry& e : list) {
    PutLE(out, entry, e.tag, 2);
    PutLE(out, entry + 2, e.type, 2);
    PutLE(out, entry + 4, e.count, 4);
    if (e.value.size() > 4) {
      PutLE(out, entry + 8, static_cast<std::uint32_t>(valuePosition), 4);
      std::memcpy(&out[valuePosition], e.value.data(), e.value.size());
      valuePosition += (e.value.size() + 1) & ~std::size_t{1};
    } else if (!e.value.empty()) {
      std::memcpy(&out[entry + 8], e.value.data(), e.value.size());
    }
    entry += 12;
  }
  PutLE(out, entry, 0, 4); // no next IFD
  return valuePosition;
}

} // namespace

void PutExifEntry(std::vector<ExifBlockEntry>& list, ExifBlockEntry entry) {
  auto at = std::lower_bound(list.begin(), list.end(), entry.tag,
                             [](const ExifBlockEntry& e, std::uint16_t tag) { return e.tag < tag; });
  if (at != list.end() && at->tag == entry.tag) {
    *at = std::move(entry);
  } else {
    list.insert(at, std::move(entry));
  }
}

ExifBlockEntries ExifEntriesOfItems(const CET_ExifData& items) {
  ExifBlockEntries entries;
  for (std::uint32_t i = 0; i < items.GetCount(); ++i) {
    const PropertyItem* item = items.GetItem(i);
    const int size = GetExifTypeSize(item->type);
    if (item->id > 0xFFFF || BelongsToOldFile(item->id) || size == 0 || item->length % size != 0 ||
        (item->length > 0 && !item->value)) {
      continue;
    }
    ExifBlockEntry entry;
    entry.tag = static_cast<std::uint16_t>(item->id);
    entry.type = item->type;
    entry.count = item->length / static_cast<std::uint32_t>(size);
    const auto* bytes = static_cast<const std::uint8_t*>(item->value);
    entry.value.assign(bytes, bytes + item->length);
    PutExifEntry(IsExifIfdTag(item->id) ? entries.exif : entries.ifd0, std::move(entry));
  }
  return entries;
}

void SetExifShort(ExifBlockEntries& entries, std::uint16_t tag, std::uint16_t value) {
  PutExifEntry(IsExifIfdTag(tag) ? entries.exif : entries.ifd0, ExifShortEntry(tag, {value}));
}

void SetExifPixelDimensions(ExifBlockEntries& entries, int width, int height) {
  for (ExifBlockEntry& entry : entries.exif) {
    if (entry.tag == 0xA002 || entry.tag == 0xA003) {
      const auto value = static_cast<std::uint32_t>(entry.tag == 0xA002 ? width : height);
      entry = value <= 0xFFFF && entry.type == 3 ? ExifShortEntry(entry.tag, {static_cast<std::uint16_t>(value)})
                                                 : ExifLongEntry(entry.tag, {value});
    }
  }
}

std::vector<std::uint8_t> BuildExifTiffBlock(const ExifBlockEntries& entries) {
  std::vector<ExifBlockEntry> ifd0 = entries.ifd0;
  const bool withExif = !entries.exif.empty();
  if (withExif) {
    PutExifEntry(ifd0, ExifLongEntry(kTagExifIfd, {0}));
  }
  if (ifd0.empty()) {
    return {};
  }
  const std::uint64_t ifd0Values = 8 + IfdBytes(ifd0);
  const std::uint64_t exifPosition = ifd0Values + ValueArea(ifd0);
  const std::uint64_t total = exifPosition + (withExif ? IfdBytes(entries.exif) + ValueArea(entries.exif) : 0);
  if (total > 0xFFFFFFFFull) {
    return {};
  }
  if (withExif) {
    PutExifEntry(ifd0, ExifLongEntry(kTagExifIfd, {static_cast<std::uint32_t>(exifPosition)}));
  }
  std::vector<std::uint8_t> out(static_cast<std::size_t>(total), 0);
  out[0] = 'I';
  out[1] = 'I';
  PutLE(out, 2, 42, 2);
  PutLE(out, 4, 8, 4);
  WriteIfd(out, 8, ifd0, static_cast<std::size_t>(ifd0Values));
  if (withExif) {
    WriteIfd(out, static_cast<std::size_t>(exifPosition), entries.exif,
             static_cast<std::size_t>(exifPosition + IfdBytes(entries.exif)));
  }
  return out;
}

std::vector<std::uint8_t> BuildExifTiffBlockWithin(ExifBlockEntries entries, std::size_t maxBytes) {
  for (;;) {
    std::vector<std::uint8_t> block = BuildExifTiffBlock(entries);
    if (block.size() <= maxBytes) {
      return block;
    }
    // Drop the entry with the largest value, wherever it is.
    std::vector<ExifBlockEntry>* from = nullptr;
    std::size_t index = 0, largest = 0;
    for (auto* list : {&entries.ifd0, &entries.exif}) {
      for (std::size_t i = 0; i < list->size(); ++i) {
        if ((*list)[i].value.size() >= largest) {
          largest = (*list)[i].value.size();
          from = list;
          index = i;
        }
      }
    }
    if (!from) {
      return {};
    }
    from->erase(from->begin() + static_cast<std::ptrdiff_t>(index));
  }
}

ExifBlockEntry ExifLongEntry(std::uint16_t tag, const std::vector<std::uint32_t>& values) {
  ExifBlockEntry entry{tag, 4, static_cast<std::uint32_t>(values.size()), std::vector<std::uint8_t>(4 * values.size())};
  for (std::size_t i = 0; i < values.size(); ++i) {
    PutLE(entry.value, 4 * i, values[i], 4);
  }
  return entry;
}

ExifBlockEntry ExifShortEntry(std::uint16_t tag, const std::vector<std::uint16_t>& values) {
  ExifBlockEntry entry{tag, 3, static_cast<std::uint32_t>(values.size()), std::vector<std::uint8_t>(2 * values.size())};
  for (std::size_t i = 0; i < values.size(); ++i) {
    PutLE(entry.value, 2 * i, values[i], 2);
  }
  return entry;
}

ExifBlockEntry ExifRationalEntry(std::uint16_t tag, std::uint32_t numerator, std::uint32_t denominator) {
  ExifBlockEntry entry = ExifLongEntry(tag, {numerator, denominator});
  entry.type = 5;
  entry.count = 1;
  return entry;
}

ExifBlockEntry ExifUndefinedEntry(std::uint16_t tag, const std::vector<std::uint8_t>& bytes) {
  return ExifBlockEntry{tag, 7, static_cast<std::uint32_t>(bytes.size()), bytes};
}
