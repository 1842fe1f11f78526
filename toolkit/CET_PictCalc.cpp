#include "toolkit/CET_PictCalc.h"

#include "toolkit/CET_Dib.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// Pictures whose rows or blocks would not fit the header's 32-bit fields are
// refused rather than wrapped.
constexpr std::int64_t kMaxDibBytes = std::numeric_limits<std::int32_t>::max();

bool IsPictureShape(std::int64_t width, std::int64_t height, int bitsPerPixel) {
  if (width <= 0 || height <= 0 || bitsPerPixel < 8 || bitsPerPixel % 8 != 0 || bitsPerPixel > 64) {
    return false;
  }
  return DibRowBytes(width, bitsPerPixel) * height <= kMaxDibBytes;
}

BYTE* NewZeroedBits(std::int64_t size) {
  BYTE* bits = NewDibBits(static_cast<std::size_t>(size));
  std::memset(bits, 0, static_cast<std::size_t>(size));
  return bits;
}

// Sine and cosine, exact for multiples of a quarter turn so that those turns
// map every pixel exactly.
void TurnTerms(double degrees, double& s, double& c) {
  const double quarters = degrees / 90.0;
  if (std::isfinite(quarters) && quarters == std::floor(quarters)) {
    const long long q = static_cast<long long>(std::fmod(quarters, 4.0) + 4.0) % 4;
    static constexpr double kSin[4] = {0, 1, 0, -1};
    static constexpr double kCos[4] = {1, 0, -1, 0};
    s = kSin[q];
    c = kCos[q];
    return;
  }
  const double theta = degrees * 3.1415926535 / 180.0;
  s = std::sin(theta);
  c = std::cos(theta);
}

// Truncation toward zero of a finite value known to lie well inside int64.
std::int64_t Trunc(double v) { return static_cast<std::int64_t>(v); }

} // namespace

BYTE* CET_PictCalc::RotateDibBits90(const BYTE* bits, int width, int height, int bitsPerPixel) {
  if (!bits || !IsPictureShape(width, height, bitsPerPixel) || !IsPictureShape(height, width, bitsPerPixel)) {
    return nullptr;
  }
  const int bpp = bitsPerPixel / 8;
  const std::int64_t srcRow = DibRowBytes(width, bitsPerPixel);
  const std::int64_t dstRow = DibRowBytes(height, bitsPerPixel);
  BYTE* out = NewZeroedBits(dstRow * width);
  // Destination row r, column c is source row height-1-c, column r.
  for (std::int64_t r = 0; r < width; ++r) {
    BYTE* d = out + r * dstRow;
    for (std::int64_t c = 0; c < height; ++c) {
      std::memcpy(d + c * bpp, bits + (height - 1 - c) * srcRow + r * bpp, bpp);
    }
  }
  return out;
}

BYTE* CET_PictCalc::RotateDibBits180(const BYTE* bits, int width, int height, int bitsPerPixel) {
  if (!bits || !IsPictureShape(width, height, bitsPerPixel)) {
    return nullptr;
  }
  const int bpp = bitsPerPixel / 8;
  const std::int64_t row = DibRowBytes(width, bitsPerPixel);
  BYTE* out = NewZeroedBits(row * height);
  for (std::int64_t r = 0; r < height; ++r) {
    const BYTE* s = bits + (height - 1 - r) * row;
    BYTE* d = out + r * row;
    for (std::int64_t c = 0; c < width; ++c) {
      std::memcpy(d + c * bpp, s + (width - 1 - c) * bpp, bpp);
    }
  }
  return out;
}

BYTE* CET_PictCalc::RotateDibBitsByAngle(double degrees, const BYTE* background, const BITMAPINFO* header,
                                         const BYTE* bits, BITMAPINFO* newHeader) {
  if (!header || !bits || !newHeader || !std::isfinite(degrees)) {
    return nullptr;
  }
  const BITMAPINFOHEADER& h = header->bmiHeader;
  const int bitCount = h.biBitCount;
  const std::int64_t w = h.biWidth;
  const std::int64_t ht = h.biHeight == INT32_MIN ? 0 : std::abs(h.biHeight);
  if (!IsPictureShape(w, ht, bitCount)) {
    return nullptr;
  }
  double s = 0;
  double c = 0;
  TurnTerms(degrees, s, c);
  const double realWidth = std::fabs(w * c) + std::fabs(ht * s);
  const double realHeight = std::fabs(w * s) + std::fabs(ht * c);
  const std::int64_t newWidth = Trunc(realWidth);
  const std::int64_t newHeight = Trunc(realHeight);
  if (!IsPictureShape(newWidth, newHeight, bitCount)) {
    return nullptr;
  }
  const std::int64_t cx = Trunc((w - 1 - realWidth * c + realHeight * s) / 2);
  const std::int64_t cy = Trunc((ht - 1 - realWidth * s - realHeight * c) / 2);

  const int bpp = bitCount / 8;
  const std::int64_t srcRow = DibRowBytes(w, bitCount);
  const std::int64_t dstRow = DibRowBytes(newWidth, bitCount);
  static const BYTE kBlack[8] = {};
  const BYTE* fill = background ? background : kBlack;
  BYTE* out = NewZeroedBits(dstRow * newHeight);
  for (std::int64_t y = 0; y < newHeight; ++y) {
    BYTE* d = out + y * dstRow;
    for (std::int64_t x = 0; x < newWidth; ++x) {
      const std::int64_t sx = Trunc(cx + x * c - y * s);
      const std::int64_t sy = Trunc(cy + x * s + y * c);
      const bool inside = sx >= 0 && sy >= 0 && sx < w && sy < ht;
      std::memcpy(d + x * bpp, inside ? bits + sy * srcRow + sx * bpp : fill, bpp);
    }
  }

  std::memcpy(newHeader, header, sizeof(BITMAPINFO));
  newHeader->bmiHeader.biWidth = static_cast<LONG>(newWidth);
  newHeader->bmiHeader.biHeight = static_cast<LONG>(h.biHeight < 0 ? -newHeight : newHeight);
  newHeader->bmiHeader.biSizeImage = static_cast<DWORD>(dstRow * newHeight);
  return out;
}

CET_Dib* CET_PictCalc::CropDib(const CET_Dib* picture, RECT area) {
  if (!picture || !picture->IsValid() || !picture->header) {
    return nullptr;
  }
  const BITMAPINFOHEADER& h = picture->header->bmiHeader;
  const std::int64_t w = picture->GetWidth();
  const std::int64_t ht = picture->GetHeight();
  const int bitCount = h.biBitCount;
  if (!IsPictureShape(w, ht, bitCount)) {
    return nullptr;
  }
  const std::int64_t srcRow = DibRowBytes(w, bitCount);
  // A record whose block is shorter than its header says gives nothing.
  if (srcRow * ht > std::int64_t{picture->size}) {
    return nullptr;
  }
  const std::int64_t left = std::max<std::int64_t>(area.left, 0);
  const std::int64_t top = std::max<std::int64_t>(area.top, 0);
  std::int64_t right = std::min<std::int64_t>(area.right, w);
  const std::int64_t bottom = std::min<std::int64_t>(area.bottom, ht);
  if (right <= left || bottom <= top) {
    return nullptr;
  }
  // Rows of a width that is a multiple of 4 pixels need no padding; widen to
  // one where the picture has the pixels for it.
  if (bitCount != 32) {
    const std::int64_t remainder = (right - left) % 4;
    if (remainder != 0 && right + (4 - remainder) < w) {
      right += 4 - remainder;
    }
  }
  const std::int64_t width = right - left;
  const std::int64_t height = bottom - top;
  const int bpp = bitCount / 8;
  const std::int64_t dstRow = DibRowBytes(width, bitCount);

  auto* crop = new CET_Dib;
  crop->header = NewDibHeader();
  std::memcpy(&crop->header->bmiHeader, &h, sizeof(BITMAPINFOHEADER));
  crop->header->bmiHeader.biWidth = static_cast<LONG>(width);
  crop->header->bmiHeader.biHeight = static_cast<LONG>(-height);
  crop->size = static_cast<DWORD>(dstRow * height);
  crop->header->bmiHeader.biSizeImage = crop->size;
  crop->bits = NewZeroedBits(crop->size);
  for (std::int64_t i = top; i < bottom; ++i) {
    const std::int64_t srcMemoryRow = h.biHeight <= 0 ? i : ht - 1 - i;
    std::memcpy(crop->bits + (i - top) * dstRow, picture->bits + srcMemoryRow * srcRow + left * bpp, width * bpp);
  }
  return crop;
}
