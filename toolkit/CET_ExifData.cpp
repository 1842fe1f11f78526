#include "toolkit/CET_ExifData.h"

#include "toolkit/ExifTiffWalk.h"
#include "toolkit/PictureFileBytes.h"
#include "toolkit/PictureFileTypes.h"

#include <algorithm>
#include <bit>
#include <cstring>

static_assert(std::endian::native == std::endian::little, "item values are stored little-endian");

namespace {

constexpr std::uint8_t kMakerNoteSignature[8] = {'T', 'A', 'L', 'V', 'O', 0, 0, 0};
constexpr std::uint64_t kMakerNoteHeaderBytes = 12;
constexpr int kMinFileBytes = 32;
// The EXIF block of a JPEG file lies in its first 64 KiB; a TIFF file's
// directories may lie anywhere, and then the whole file is read.
constexpr std::uint64_t kFirstReadBytes = 256 * 1024;

// Honest directories do not overlap, so their values together stay within the
// data; hostile ones could make every entry claim all of it.
bool ValuesFit(std::uint64_t values, std::uint64_t length) { return values <= 2 * length + 4096; }

void SwapElements(BYTE* value, std::uint64_t length, int elementSize) {
  for (std::uint64_t i = 0; i + elementSize <= length; i += elementSize) {
    std::reverse(value + i, value + i + elementSize);
  }
}

// Converts a value copied from a big-endian file into machine order.
void ToMachineOrder(BYTE* value, std::uint64_t length, int type) {
  switch (type) {
  case 3:
    SwapElements(value, length, 2);
    break;
  case 4:
  case 9:
  case 5:
  case 10:
    SwapElements(value, length, 4);
    break;
  default:
    break;
  }
}

const ExifIfdEntryRef* FindEntry(const std::vector<ExifIfdEntryRef>& entries, std::uint16_t tag) {
  for (const ExifIfdEntryRef& entry : entries) {
    if (entry.tag == tag) {
      return &entry;
    }
  }
  return nullptr;
}

} // namespace

CET_ExifData::CET_ExifData(const CET_ExifData& other) { *this = other; }

CET_ExifData& CET_ExifData::operator=(const CET_ExifData& other) {
  if (this == &other) {
    return *this;
  }
  SetItems(other.m_nTotalSize, other.m_nCount, other.GetItems());
  // Maker-note values point into the block: move them to the copy.
  for (PropertyItem item : other.m_MakerNoteItems) {
    if (item.value) {
      item.value = Block() + (static_cast<BYTE*>(item.value) - other.Block());
    }
    m_MakerNoteItems.push_back(item);
  }
  m_nImageWidth = other.m_nImageWidth;
  m_nImageHeight = other.m_nImageHeight;
  return *this;
}

void CET_ExifData::Clear() {
  m_MakerNoteItems.clear();
  m_pBlock.reset();
  m_nCount = 0;
  m_nTotalSize = 0;
}

void CET_ExifData::SetItems(std::uint32_t totalSize, std::uint32_t count, const PropertyItem* block) {
  Clear();
  const std::uint64_t itemBytes = std::uint64_t{count} * sizeof(PropertyItem);
  if (!block || count == 0 || itemBytes > totalSize) {
    return;
  }
  const auto oldStart = reinterpret_cast<std::uintptr_t>(block);
  for (std::uint32_t i = 0; i < count; ++i) {
    const PropertyItem& item = block[i];
    if (item.length == 0) {
      continue;
    }
    const auto value = reinterpret_cast<std::uintptr_t>(item.value);
    if (value < oldStart + itemBytes || value - oldStart > totalSize || item.length > totalSize - (value - oldStart)) {
      return;
    }
  }
  m_pBlock.reset(new BYTE[totalSize]);
  std::memcpy(Block(), block, totalSize);
  auto* items = reinterpret_cast<PropertyItem*>(Block());
  for (std::uint32_t i = 0; i < count; ++i) {
    items[i].value = items[i].length == 0 ? nullptr
                                          : Block() + (reinterpret_cast<std::uintptr_t>(block[i].value) - oldStart);
  }
  m_nCount = count;
  m_nTotalSize = totalSize;
}

const PropertyItem* CET_ExifData::GetItems() const { return reinterpret_cast<const PropertyItem*>(Block()); }

const PropertyItem* CET_ExifData::GetItem(unsigned index) const {
  return index < m_nCount ? GetItems() + index : nullptr;
}

const PropertyItem* CET_ExifData::FindItem(PROPID tag) const {
  for (std::uint32_t i = 0; i < m_nCount; ++i) {
    if (GetItems()[i].id == tag) {
      return GetItems() + i;
    }
  }
  return nullptr;
}

const PropertyItem* CET_ExifData::GetMakerNoteItem(unsigned index) const {
  return index < m_MakerNoteItems.size() ? &m_MakerNoteItems[index] : nullptr;
}

const PropertyItem* CET_ExifData::FindMakerNoteItem(PROPID tag) const {
  for (const PropertyItem& item : m_MakerNoteItems) {
    if (item.id == tag) {
      return &item;
    }
  }
  return nullptr;
}

int CET_ExifData::GetTypeSize(int type) { return GetExifTypeSize(type); }

void CET_ExifData::ReadValue(bool bigEndian, const BYTE* source, int type, void* destination) {
  if (!source || !destination) {
    return;
  }
  switch (type) {
  case 1:
    *static_cast<BYTE*>(destination) = *source;
    break;
  case 3: {
    const std::uint16_t v = bigEndian ? std::uint16_t(source[0] << 8 | source[1]) : std::uint16_t(source[1] << 8 | source[0]);
    std::memcpy(destination, &v, 2);
    break;
  }
  case 4:
  case 9: {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
      v = v << 8 | source[bigEndian ? i : 3 - i];
    }
    std::memcpy(destination, &v, 4);
    break;
  }
  default:
    break;
  }
}

int CET_ExifData::ParseBuffer(const BYTE* data, std::uint64_t length) {
  Clear();
  ExifTiffHeader header;
  if (!FindExifTiffHeader(data, length, header)) {
    return 0;
  }
  FExifBlockReader reader(data, length, static_cast<std::int64_t>(header.position), header.bigEndian);
  std::vector<ExifIfdEntryRef> ifd0, exifIfd;
  if (ReadExifIfd(reader, header.ifd0, ifd0) != ExifIfdStatus::Read) {
    return 0;
  }
  const ExifIfdEntryRef* makerNote = nullptr;
  if (const ExifIfdEntryRef* pointer = FindEntry(ifd0, kExifTagExifIfd)) {
    const std::uint32_t offset = reader.U32(pointer->fieldPosition);
    if (header.position + offset < length) {
      const ExifIfdStatus status = ReadExifIfd(reader, offset, exifIfd);
      if (status == ExifIfdStatus::Outside) {
        return 0;
      }
      makerNote = FindEntry(exifIfd, static_cast<std::uint16_t>(kExifTagMakerNote));
    }
  }

  std::uint64_t valueBytes = 0;
  for (const auto* entries : {&ifd0, &exifIfd}) {
    for (const ExifIfdEntryRef& entry : *entries) {
      valueBytes += entry.length;
    }
  }
  const std::uint32_t count = static_cast<std::uint32_t>(ifd0.size() + exifIfd.size());
  const std::uint64_t total = std::uint64_t{count} * sizeof(PropertyItem) + valueBytes;
  if (!ValuesFit(valueBytes, length) || total > UINT32_MAX) {
    return 0;
  }
  m_pBlock.reset(new BYTE[total]);
  auto* items = reinterpret_cast<PropertyItem*>(Block());
  BYTE* cursor = Block() + std::uint64_t{count} * sizeof(PropertyItem);
  std::uint32_t index = 0;
  for (const auto* entries : {&ifd0, &exifIfd}) {
    for (const ExifIfdEntryRef& entry : *entries) {
      PropertyItem& item = items[index++];
      item = PropertyItem{};
      item.id = entry.tag;
      item.type = entry.type;
      item.length = static_cast<ULONG>(entry.length);
      if (entry.length > 0) {
        std::memcpy(cursor, data + entry.valuePosition, entry.length);
        if (header.bigEndian) {
          ToMachineOrder(cursor, entry.length, entry.type);
        }
        item.value = cursor;
        cursor += entry.length;
      }
    }
  }
  m_nCount = count;
  m_nTotalSize = static_cast<std::uint32_t>(total);
  if (makerNote && makerNote->length > 4) {
    ReadMakerNote(header.bigEndian, makerNote->valuePosition - header.position);
  }
  return 1;
}

void CET_ExifData::ReadMakerNote(bool bigEndian, std::uint64_t makerNoteOffset) {
  const PropertyItem* note = FindItem(kExifTagMakerNote);
  if (!note || !note->value || note->length < kMakerNoteHeaderBytes ||
      std::memcmp(note->value, kMakerNoteSignature, sizeof kMakerNoteSignature) != 0) {
    return;
  }
  const BYTE* bytes = static_cast<const BYTE*>(note->value);
  const std::uint64_t length = note->length;
  // The note's own byte order: the word at byte 8 is below 256 in it.
  std::uint16_t probe = 0;
  ReadValue(bigEndian, bytes + 8, 3, &probe);
  if (probe >= 256) {
    bigEndian = !bigEndian;
    ReadValue(bigEndian, bytes + 8, 3, &probe);
    if (probe >= 256) {
      return;
    }
  }
  std::uint16_t entries = 0;
  ReadValue(bigEndian, bytes + 10, 3, &entries);
  std::uint64_t position = kMakerNoteHeaderBytes;
  for (unsigned i = 0; i < entries && position + 12 < length; ++i, position += 12) {
    const BYTE* p = bytes + position;
    std::uint16_t tag = 0, type = 0;
    std::uint32_t valueCount = 0, offset = 0;
    ReadValue(bigEndian, p, 3, &tag);
    ReadValue(bigEndian, p + 2, 3, &type);
    ReadValue(bigEndian, p + 4, 4, &valueCount);
    const std::uint64_t valueLength = std::uint64_t{valueCount} * static_cast<std::uint64_t>(GetTypeSize(type));
    PropertyItem item;
    item.id = tag;
    item.type = type;
    item.length = static_cast<ULONG>(valueLength);
    if (valueLength > 4) {
      // Offsets count from the TIFF header; values outside the note are dropped.
      ReadValue(bigEndian, p + 8, 4, &offset);
      if (offset < makerNoteOffset || !FByteReader::Fits(length, offset - makerNoteOffset, valueLength)) {
        continue;
      }
      item.value = const_cast<BYTE*>(bytes + (offset - makerNoteOffset));
    } else {
      item.value = const_cast<BYTE*>(p + 8);
    }
    m_MakerNoteItems.push_back(item);
  }
}

namespace {

std::uint16_t BigEndian16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] << 8 | p[1]); }

// How many bytes from its start a JPEG file's EXIF needs: up to the end of its
// APP1 "Exif" segment, found by reading the segments' headers alone; 0 when
// the segments end (picture data, a broken marker) before one.
std::uint64_t JpegExifExtent(PictureFileReader& file) {
  std::uint64_t position = 2;
  std::uint8_t head[10];
  while (position + 4 <= file.Size()) {
    const std::uint64_t count = std::min<std::uint64_t>(sizeof head, file.Size() - position);
    if (!file.Read(position, count, head) || head[0] != 0xFF) {
      return 0;
    }
    const std::uint8_t marker = head[1];
    if (marker == 0xDA || marker == 0xD9) {
      return 0;
    }
    const std::uint16_t length = BigEndian16(head + 2);
    if (length < 2) {
      return 0;
    }
    const std::uint64_t end = position + 2 + length;
    if (marker == 0xE1 && count == sizeof head && std::memcmp(head + 4, "Exif\0\0", 6) == 0) {
      return std::min(end, file.Size());
    }
    position = end;
  }
  return 0;
}

} // namespace

int CET_ExifData::ReadFile(const FString& path) {
  Clear();
  if (GetFileType(path) == ETFILETYPE_AVI) {
    return 0;
  }
  PictureFileReader file(path);
  if (!file.IsOpen() || file.Size() < kMinFileBytes) {
    return 0;
  }
  std::uint8_t start[2] = {};
  if (!file.Read(0, sizeof start, start)) {
    return 0;
  }
  // A JPEG's EXIF lies in one segment near its start: only that much is read.
  // A TIFF's directories may lie anywhere: its first bytes, then all of it.
  const bool jpeg = start[0] == 0xFF && start[1] == 0xD8;
  std::uint64_t first = std::min<std::uint64_t>(file.Size(), kFirstReadBytes);
  if (jpeg) {
    first = JpegExifExtent(file);
    if (first == 0) {
      return 0;
    }
  }
  std::vector<std::uint8_t> bytes;
  if (!file.Read(0, first, bytes)) {
    return 0;
  }
  if (ParseBuffer(bytes.data(), bytes.size())) {
    return 1;
  }
  if (jpeg || bytes.size() == file.Size()) {
    return 0;
  }
  if (!file.Read(0, file.Size(), bytes)) {
    return 0;
  }
  return ParseBuffer(bytes.data(), bytes.size());
}
