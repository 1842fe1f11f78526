// BMP files, read and written by the toolkit itself. The reader takes the
// info-header versions 3 to 5 (40, 108 and 124 bytes and anything longer) with
// 8, 24 and 32 bits per pixel, uncompressed, or 32 bits with the standard
// colour masks; every size and offset is checked against the file first.
#include "toolkit/PictureCodecs.h"

#include "foundation/FByteReader.h"
#include "foundation/FException.h"
#include "foundation/FIFile.h"

#include <cstring>
#include <limits>

namespace {

constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::uint32_t kInfoHeaderBytes = 40;
constexpr std::uint32_t kMaskRed = 0x00FF0000, kMaskGreen = 0x0000FF00, kMaskBlue = 0x000000FF;

struct BmpOverrun {};
[[noreturn]] void ThrowOverrun(const char*) { throw BmpOverrun{}; }

struct BmpLayout {
  std::uint32_t pixelOffset = 0;
  std::uint32_t headerSize = 0;
  BITMAPINFOHEADER info;
};

// 32-bit pixels that need no masks, or masks that name the usual byte order.
bool AcceptedCompression(const std::uint8_t* data, std::size_t size, const BmpLayout& layout) {
  if (layout.info.biCompression == BI_RGB) {
    return true;
  }
  if (layout.info.biCompression != BI_BITFIELDS || layout.info.biBitCount != 32) {
    return false;
  }
  // Version-3 headers keep the masks behind them, later versions inside.
  FByteReader masks(data, size, ThrowOverrun);
  masks.Seek(kFileHeaderBytes + kInfoHeaderBytes);
  return masks.U32LE() == kMaskRed && masks.U32LE() == kMaskGreen && masks.U32LE() == kMaskBlue;
}

bool ConvertRows(const std::uint8_t* data, std::size_t size, const BmpLayout& layout, BYTE* out) {
  const std::int64_t width = layout.info.biWidth;
  const std::int64_t rows = layout.info.biHeight < 0 ? -std::int64_t{layout.info.biHeight} : layout.info.biHeight;
  const int bitCount = layout.info.biBitCount;
  const std::int64_t stride = DibRowBytes(width, bitCount);
  FByteReader file(data, size, ThrowOverrun);
  FByteReader pixels = file.Sub(layout.pixelOffset, static_cast<std::uint64_t>(stride * rows));
  if (bitCount == 32) {
    std::memcpy(out, pixels.Data(), static_cast<std::size_t>(stride * rows));
    return true;
  }
  if (bitCount == 24) {
    for (std::int64_t y = 0; y < rows; ++y) {
      const std::uint8_t* in = pixels.Data() + y * stride;
      for (std::int64_t x = 0; x < width; ++x, in += 3, out += 4) {
        out[0] = in[0];
        out[1] = in[1];
        out[2] = in[2];
      }
    }
    return true;
  }
  // 8 bits: indices into the colour table behind the info header.
  const std::uint32_t entries = layout.info.biClrUsed == 0 ? 256 : layout.info.biClrUsed;
  if (entries > 256) {
    return false;
  }
  const std::uint8_t* table = file.Sub(kFileHeaderBytes + layout.headerSize, 4ull * entries).Data();
  for (std::int64_t y = 0; y < rows; ++y) {
    const std::uint8_t* in = pixels.Data() + y * stride;
    for (std::int64_t x = 0; x < width; ++x, out += 4) {
      const std::uint32_t index = in[x];
      if (index >= entries) {
        return false;
      }
      std::memcpy(out, table + 4 * index, 4);
    }
  }
  return true;
}

} // namespace

bool DecodeBmp(const std::uint8_t* data, std::size_t size, BITMAPINFO& header, DibBitsPtr& bits) {
  try {
    FByteReader file(data, size, ThrowOverrun);
    if (file.U8() != 'B' || file.U8() != 'M') {
      return false;
    }
    BmpLayout layout;
    file.Seek(10);
    layout.pixelOffset = file.U32LE();
    layout.headerSize = file.U32LE();
    if (layout.headerSize < kInfoHeaderBytes || !FByteReader::Fits(size, kFileHeaderBytes, layout.headerSize)) {
      return false;
    }
    file.Seek(kFileHeaderBytes);
    file.Read(&layout.info, sizeof layout.info);
    const BITMAPINFOHEADER& info = layout.info;
    if (info.biWidth <= 0 || info.biHeight == 0 || info.biHeight == std::numeric_limits<LONG>::min()) {
      return false;
    }
    const std::int64_t rows = info.biHeight < 0 ? -std::int64_t{info.biHeight} : info.biHeight;
    DecodedPicture picture = AllocatePicture(info.biWidth, rows);
    if (!picture) {
      return false;
    }
    // White, and the fourth byte 0xFF: pictures of other depths stay so.
    std::memset(picture.bits.get(), 0xFF, picture.ByteSize());
    const bool known = info.biBitCount == 8 || info.biBitCount == 24 || info.biBitCount == 32;
    if (known && (!AcceptedCompression(data, size, layout) || !ConvertRows(data, size, layout, picture.bits.get()))) {
      return false;
    }
    header = BITMAPINFO{};
    const std::size_t headerBytes = std::min<std::size_t>(sizeof header, size - kFileHeaderBytes);
    std::memcpy(&header, data + kFileHeaderBytes, headerBytes);
    // What the record describes now: a plain 32-bit picture with a 40-byte header.
    header.bmiHeader.biSize = kInfoHeaderBytes;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    header.bmiHeader.biSizeImage = static_cast<DWORD>(picture.ByteSize());
    header.bmiHeader.biClrUsed = 0;
    header.bmiHeader.biClrImportant = 0;
    bits = std::move(picture.bits);
    return true;
  } catch (const BmpOverrun&) {
    return false;
  }
}

bool EncodeBmp(FIFile* file, const EncoderPicture& picture) {
  if (!file || picture.width <= 0 || picture.height <= 0 || (picture.bytesPerPixel != 3 && picture.bytesPerPixel != 4)) {
    return false;
  }
  const std::int64_t stride = picture.Stride();
  const std::uint64_t imageBytes = std::uint64_t(stride) * std::uint64_t(picture.height);
  const std::uint64_t offset = kFileHeaderBytes + kInfoHeaderBytes;
  if (offset + imageBytes > std::numeric_limits<DWORD>::max()) {
    return false;
  }
  std::uint8_t head[kFileHeaderBytes + kInfoHeaderBytes] = {};
  auto put = [&head](std::size_t at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
      head[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
  };
  head[0] = 'B';
  head[1] = 'M';
  put(2, static_cast<std::uint32_t>(offset + imageBytes), 4);
  put(10, static_cast<std::uint32_t>(offset), 4);
  put(14, kInfoHeaderBytes, 4);
  put(18, static_cast<std::uint32_t>(picture.width), 4);
  put(22, static_cast<std::uint32_t>(picture.height), 4); // bottom-up
  put(26, 1, 2);
  put(28, static_cast<std::uint32_t>(picture.bytesPerPixel * 8), 2);
  put(34, static_cast<std::uint32_t>(imageBytes), 4);
  put(38, 2835, 4); // 72 dots per inch
  put(42, 2835, 4);
  if (!file->Write(head, sizeof head)) {
    return false;
  }
  for (int y = picture.height - 1; y >= 0; --y) {
    if (!file->Write(picture.Row(y), stride)) {
      return false;
    }
  }
  return true;
}
