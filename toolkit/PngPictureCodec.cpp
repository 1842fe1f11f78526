// PNG files on libpng: decoded from memory through the library's simplified
// reader (every colour type and depth to 8-bit blue, green, red, alpha, then
// alpha over white), encoded with its write interface. The eXIf and iCCP
// chunks are found by a bounded walk over the chunks.
#include "toolkit/PictureCodecs.h"

#include "toolkit/ExifItemBlock.h"

#include "foundation/FByteReader.h"
#include "foundation/FException.h"
#include "foundation/FIFile.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::size_t kMaxProfileBytes = 16u << 20;

// The data of the first chunk of the type; false when there is none or the
// chunk list leaves the bytes.
bool FindChunk(const std::uint8_t* data, std::size_t size, const char (&type)[5], std::size_t& position,
               std::size_t& length) {
  if (!data || size < sizeof kSignature || std::memcmp(data, kSignature, sizeof kSignature) != 0) {
    return false;
  }
  std::size_t at = sizeof kSignature;
  while (FByteReader::Fits(size, at, 12)) {
    const std::uint32_t chunkLength = std::uint32_t(data[at]) << 24 | std::uint32_t(data[at + 1]) << 16 |
                                      std::uint32_t(data[at + 2]) << 8 | data[at + 3];
    if (!FByteReader::Fits(size, at + 8, std::uint64_t{chunkLength} + 4)) {
      return false;
    }
    if (std::memcmp(data + at + 4, type, 4) == 0) {
      position = at + 8;
      length = chunkLength;
      return true;
    }
    if (std::memcmp(data + at + 4, "IEND", 4) == 0) {
      return false;
    }
    at += 12 + std::size_t{chunkLength};
  }
  return false;
}

// iCCP: a name of 1 to 79 characters, its zero, the method 0, then the
// zlib-compressed profile.
bool ReadIccChunk(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& profile) {
  std::size_t position = 0, length = 0;
  if (!FindChunk(data, size, "iCCP", position, length)) {
    return false;
  }
  const std::uint8_t* chunk = data + position;
  const void* zero = std::memchr(chunk, 0, std::min<std::size_t>(length, 80));
  if (!zero) {
    return false;
  }
  const std::size_t compressedAt = static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - chunk) + 2;
  if (compressedAt > length || chunk[compressedAt - 1] != 0) {
    return false;
  }
  // The profile's own header tells its length; it is inflated in one go.
  std::vector<std::uint8_t> head(4);
  uLongf headLength = 4;
  if (uncompress(head.data(), &headLength, chunk + compressedAt, static_cast<uLong>(length - compressedAt)) != Z_BUF_ERROR &&
      headLength != 4) {
    return false;
  }
  const std::uint32_t declared = std::uint32_t(head[0]) << 24 | std::uint32_t(head[1]) << 16 |
                                 std::uint32_t(head[2]) << 8 | head[3];
  if (declared < 128 || declared > kMaxProfileBytes) {
    return false;
  }
  profile.resize(declared);
  uLongf out = declared;
  if (uncompress(profile.data(), &out, chunk + compressedAt, static_cast<uLong>(length - compressedAt)) != Z_OK ||
      out != declared) {
    profile.clear();
    return false;
  }
  return true;
}

[[noreturn]] void ThrowPngError(png_structp, png_const_charp message) { throw FExceptionIO(message); }
void IgnorePngWarning(png_structp, png_const_charp) {}

void WriteToFile(png_structp png, png_bytep bytes, png_size_t count) {
  auto* file = static_cast<FIFile*>(png_get_io_ptr(png));
  if (!file->Write(bytes, static_cast<std::int64_t>(count))) {
    png_error(png, "write failed");
  }
}
void FlushFile(png_structp) {}

// The write structures, freed on every path out.
class PngWriter {
public:
  PngWriter() {
    m_Png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, ThrowPngError, IgnorePngWarning);
    m_Info = m_Png ? png_create_info_struct(m_Png) : nullptr;
  }
  ~PngWriter() { png_destroy_write_struct(&m_Png, &m_Info); }
  PngWriter(const PngWriter&) = delete;
  PngWriter& operator=(const PngWriter&) = delete;

  bool IsReady() const { return m_Png && m_Info; }
  png_structp m_Png = nullptr;
  png_infop m_Info = nullptr;
};

} // namespace

bool FindPngExif(const std::uint8_t* data, std::size_t size, std::size_t& position, std::size_t& length) {
  if (!FindChunk(data, size, "eXIf", position, length)) {
    return false;
  }
  // Some writers keep the APP1 identifier in front of the structure.
  if (length >= 6 && std::memcmp(data + position, "Exif\0\0", 6) == 0) {
    position += 6;
    length -= 6;
  }
  return true;
}

DecodedPicture DecodePng(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>* iccProfile) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!data || !png_image_begin_read_from_memory(&image, data, size)) {
    png_image_free(&image);
    return {};
  }
  DecodedPicture picture = AllocatePicture(image.width, image.height);
  if (!picture) {
    png_image_free(&image);
    return picture;
  }
  const bool alpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
  image.format = PNG_FORMAT_BGRA;
  // A negative stride asks for the bottom row first: the picture's own order.
  if (!png_image_finish_read(&image, nullptr, picture.bits.get(), -static_cast<png_int_32>(picture.width) * 4, nullptr)) {
    png_image_free(&image);
    return {};
  }
  if (alpha) {
    BYTE* p = picture.bits.get();
    for (std::uint64_t i = 0; i < std::uint64_t(picture.width) * picture.height; ++i, p += 4) {
      const int a = p[3];
      if (a != 255) {
        for (int k = 0; k < 3; ++k) {
          p[k] = static_cast<BYTE>((p[k] * a + 255 * (255 - a) + 127) / 255);
        }
        p[3] = 0xFF;
      }
    }
  }
  if (iccProfile) {
    ReadIccChunk(data, size, *iccProfile);
  }
  return picture;
}

bool EncodePng(FIFile* file, const EncoderPicture& picture, const EncoderExtras& extras) {
  if (!file || picture.width <= 0 || picture.height <= 0 || (picture.bytesPerPixel != 3 && picture.bytesPerPixel != 4)) {
    return false;
  }
  PngWriter writer;
  if (!writer.IsReady()) {
    return false;
  }
  try {
    png_structp png = writer.m_Png;
    png_infop info = writer.m_Info;
    png_set_write_fn(png, file, WriteToFile, FlushFile);
    png_set_IHDR(png, info, static_cast<png_uint_32>(picture.width), static_cast<png_uint_32>(picture.height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // A profile the library does not accept is left out, not the picture.
    png_set_benign_errors(png, 1);
    if (!extras.iccProfile.empty()) {
      png_set_iCCP(png, info, "ICC profile", PNG_COMPRESSION_TYPE_BASE, extras.iccProfile.data(),
                   static_cast<png_uint_32>(extras.iccProfile.size()));
    }
    std::vector<std::uint8_t> exif;
    if (extras.exif) {
      exif = BuildExifTiffBlock(*extras.exif);
      if (!exif.empty()) {
        png_set_eXIf_1(png, info, static_cast<png_uint_32>(exif.size()), exif.data());
      }
    }
    png_write_info(png, info);
    png_set_bgr(png);
    if (picture.bytesPerPixel == 4) {
      png_set_filler(png, 0, PNG_FILLER_AFTER);
    }
    for (int y = 0; y < picture.height; ++y) {
      png_write_row(png, const_cast<png_bytep>(picture.Row(y)));
    }
    // Without the info: libpng would write the eXIf chunk a second time.
    png_write_end(png, nullptr);
    return true;
  } catch (const FException&) {
    return false;
  }
}
