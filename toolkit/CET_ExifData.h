#pragma once
// A file's EXIF and TIFF tags as a list of property items {id, length, type,
// value}: the items of IFD0 and of the EXIF IFD of a JPEG or TIFF file (or of
// a PNG file's eXIf chunk), with the maker note of the maker's cameras read
// into items of its own. The picture decoder fills it, the picture encoders
// write its items back, and the browser reads files with ReadFile.
//
// Values read here are in the machine's (little-endian) order: SHORT, LONG and
// SLONG values, and each of the two LONGs of a RATIONAL or SRATIONAL, are
// converted from the file's order; BYTE, ASCII and UNDEFINED bytes are copied
// as they are. Maker-note item values stay in the maker note's own order.

#include "foundation/FString.h"
#include "platform/win/WinTypes.h"

#include <cstdint>
#include <memory>
#include <vector>

using PROPID = std::uint32_t;

// The imaging library's item layout: value points at length bytes.
struct PropertyItem {
  PROPID id = 0;
  ULONG length = 0;
  WORD type = 0;
  void* value = nullptr;
};

// Tags the toolkit looks at.
enum : PROPID {
  kExifTagOrientation = 0x0112,
  kExifTagExifIfd = 34665,      // 0x8769
  kExifTagExifVersion = 0x9000,
  kExifTagMakerNote = 37500,    // 0x927C
  kExifTagIccProfile = 0x8773,
  kMakerNoteTagMarkFlag = 0x002F,
};

class CET_ExifData {
public:
  CET_ExifData() = default;
  CET_ExifData(const CET_ExifData& other);
  CET_ExifData& operator=(const CET_ExifData& other);
  virtual ~CET_ExifData() = default;

  // Clears, then copies the block of count items followed by their values,
  // moving every value pointer to the copy. A block whose items do not lie
  // inside it, or whose values do not lie behind the items, is not taken (the
  // record stays empty).
  virtual void SetItems(std::uint32_t totalSize, std::uint32_t count, const PropertyItem* block);
  // Drops every item and the maker-note items.
  virtual void Clear();

  void SetImageSize(int width, int height) {
    m_nImageWidth = width;
    m_nImageHeight = height;
  }
  int GetImageWidth() const { return m_nImageWidth; }
  int GetImageHeight() const { return m_nImageHeight; }

  std::uint32_t GetCount() const { return m_nCount; }
  std::uint32_t GetTotalSize() const { return m_nTotalSize; }
  // The item block (count items, then their values), null when empty.
  const PropertyItem* GetItems() const;
  const PropertyItem* GetItem(unsigned index) const;
  // The first item of the block with that id; maker-note items are not searched.
  const PropertyItem* FindItem(PROPID tag) const;

  std::uint32_t GetMakerNoteCount() const { return static_cast<std::uint32_t>(m_MakerNoteItems.size()); }
  const PropertyItem* GetMakerNoteItem(unsigned index) const;
  const PropertyItem* FindMakerNoteItem(PROPID tag) const;

  static int GetTypeSize(int type);
  // One BYTE, SHORT or LONG (SLONG) value into machine order; other types copy nothing.
  static void ReadValue(bool bigEndian, const BYTE* source, int type, void* destination);

  // The items of the file at the native path: 1 when items were read, else 0
  // (a missing path, a folder, an AVI file, fewer than 32 bytes, no EXIF, or
  // offsets and counts pointing outside the file).
  int ReadFile(const FString& path);
  // The items of a JPEG or TIFF file's bytes: 1 when items were read, else 0.
  int ParseBuffer(const BYTE* data, std::uint64_t length);

private:
  void ReadMakerNote(bool bigEndian, std::uint64_t makerNoteOffset);
  BYTE* Block() const { return m_pBlock.get(); }

  std::uint32_t m_nTotalSize = 0;
  std::uint32_t m_nCount = 0;
  std::unique_ptr<BYTE[]> m_pBlock;
  std::vector<PropertyItem> m_MakerNoteItems;
  int m_nImageWidth = 0;
  int m_nImageHeight = 0;
};
