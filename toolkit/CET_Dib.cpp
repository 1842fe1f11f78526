#include "toolkit/CET_Dib.h"

#include "foundation/FMemoryAllocator.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

BITMAPINFO* NewDibHeader() { return new BITMAPINFO{}; }
// Fresh memory costs a page fault per page at its first use, which for a
// developed picture of tens of megabytes takes longer than filling it. The
// whole 2 MiB pages inside a large block are therefore offered to the system
// for huge pages (only advice: a refusal leaves ordinary pages). The block
// stays an ordinary array, given back with delete[].
BYTE* NewDibBits(std::size_t size) {
  BYTE* bits = new BYTE[size];
  AdviseHugePages(bits, size);
  return bits;
}
void DeleteDibHeader(BITMAPINFO* header) { delete header; }
void DeleteDibBits(BYTE* bits) { delete[] bits; }

void CET_Dib::Free() {
  DeleteDibHeader(header);
  DeleteDibBits(bits);
  header = nullptr;
  bits = nullptr;
  size = 0;
}

int CET_Dib::GetWidth() const { return IsValid() && header ? header->bmiHeader.biWidth : 0; }

int CET_Dib::GetHeight() const {
  if (!IsValid() || !header) {
    return 0;
  }
  // The magnitude of INT32_MIN does not fit: such a header describes no picture.
  const LONG h = header->bmiHeader.biHeight;
  return h == INT32_MIN ? 0 : std::abs(h);
}

int CET_Dib::GetBitCount() const { return IsValid() && header ? header->bmiHeader.biBitCount : 0; }

int CET_Dib::GetPixel(int x, int y) const {
  const int width = GetWidth();
  const int height = GetHeight();
  const int bytesPerPixel = GetBitCount() / 8;
  if (x < 0 || y < 0 || x >= width || y >= height || bytesPerPixel < 3) {
    return -1;
  }
  const std::int64_t row = header->bmiHeader.biHeight > 0 ? height - 1 - y : y;
  const std::int64_t offset = row * DibRowBytes(width, GetBitCount()) + std::int64_t{x} * bytesPerPixel;
  // A record whose header claims more than its block holds reads nothing.
  if (offset + 3 > std::int64_t{size}) {
    return -1;
  }
  const BYTE* p = bits + offset;
  return static_cast<int>(RGB(p[2], p[1], p[0]));
}

void CET_Dib::Set(const BITMAPINFO* newHeader, const BYTE* newBits, DWORD newSize) {
  // Copies are made before the old blocks go, so a record may be set from its
  // own blocks.
  std::unique_ptr<BITMAPINFO> headerCopy;
  if (newHeader) {
    headerCopy.reset(NewDibHeader());
    std::memcpy(headerCopy.get(), newHeader, sizeof(BITMAPINFO));
  }
  std::unique_ptr<BYTE[]> bitsCopy;
  if (newBits) {
    bitsCopy.reset(NewDibBits(newSize));
    std::memcpy(bitsCopy.get(), newBits, newSize);
  }
  Free();
  header = headerCopy.release();
  bits = bitsCopy.release();
  size = newSize;
}

void CET_Dib::CopyFrom(const CET_Dib* other) {
  if (other) {
    Set(other->header, other->bits, other->size);
  }
}
