#pragma once
// The picture record every part of the user interface hands around: a
// device-independent bitmap (a 44-byte BITMAPINFO block and rows padded to
// 4 bytes) that owns both of its blocks.

#include "platform/win/WinTypes.h"

#include <cstddef>
#include <utility>

// The one allocation routine behind a record's blocks. Code that stores blocks
// into a record's fields directly must make them with these, because
// `CET_Dib::Free` gives them back with the matching release.
BITMAPINFO* NewDibHeader();                 // 44 bytes, zeroed
BYTE* NewDibBits(std::size_t size);         // uninitialised
void DeleteDibHeader(BITMAPINFO* header);
void DeleteDibBits(BYTE* bits);

class CET_Dib {
public:
  CET_Dib() = default;
  ~CET_Dib() { Free(); }
  // The blocks are owned: a copy would free them twice. Use CopyFrom.
  CET_Dib(const CET_Dib&) = delete;
  CET_Dib& operator=(const CET_Dib&) = delete;
  // Moving hands the blocks over and leaves the source empty.
  CET_Dib(CET_Dib&& other) noexcept : header(other.header), bits(other.bits), size(other.size) {
    other.header = nullptr;
    other.bits = nullptr;
    other.size = 0;
  }
  CET_Dib& operator=(CET_Dib&& other) noexcept {
    if (this != &other) {
      Free();
      header = std::exchange(other.header, nullptr);
      bits = std::exchange(other.bits, nullptr);
      size = std::exchange(other.size, 0);
    }
    return *this;
  }

  void Free();
  bool IsValid() const { return bits != nullptr; }
  int GetWidth() const;
  int GetHeight() const;
  int GetBitCount() const;
  // 0x00BBGGRR of the pixel at (x, y), y counted from the top of the picture;
  // -1 when the record is not valid or the pixel lies outside it.
  int GetPixel(int x, int y) const;
  // Always copies: 44 header bytes when header is given, size bytes of bits
  // when bits is given.
  void Set(const BITMAPINFO* header, const BYTE* bits, DWORD size);
  void CopyFrom(const CET_Dib* other);

  BITMAPINFO* header = nullptr;
  BYTE* bits = nullptr;
  DWORD size = 0;
};
