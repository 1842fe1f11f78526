// TIFF files: decoded with libtiff (8-bit RGB strips row by row, every other
// layout through the library's RGBA reader); written uncompressed by the
// toolkit itself, so that the EXIF items go into IFD0 and an EXIF IFD exactly
// as they are.
#include "toolkit/PictureCodecs.h"

#include "toolkit/ExifItemBlock.h"

#include "fileio/codecs/TiffIO.h"
#include "foundation/FIFile.h"

#include <algorithm>
#include <memory>

namespace {

struct TiffCloser {
  void operator()(TIFF* tif) const { TiffCloseFile(tif); }
};
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

BYTE OverWhite(int premultiplied, int alpha) { return static_cast<BYTE>(std::min(255, premultiplied + 255 - alpha)); }

bool IsPlainRgb8(TIFF* tif) {
  std::uint16_t bits = 0, samples = 0, planar = 0, photometric = 0, format = SAMPLEFORMAT_UINT;
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &format);
  const bool hasPhotometric = TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric) == 1;
  return !TIFFIsTiled(tif) && bits == 8 && samples == 3 && planar == PLANARCONFIG_CONTIG &&
         format == SAMPLEFORMAT_UINT && hasPhotometric && photometric == PHOTOMETRIC_RGB;
}

bool ReadPlainRgb8(TIFF* tif, DecodedPicture& picture) {
  const tmsize_t rowBytes = TIFFScanlineSize(tif);
  if (rowBytes < tmsize_t{picture.width} * 3) {
    return false;
  }
  std::vector<BYTE> row(static_cast<std::size_t>(rowBytes));
  for (int y = 0; y < picture.height; ++y) {
    if (TIFFReadScanline(tif, row.data(), static_cast<std::uint32_t>(y), 0) < 0) {
      return false;
    }
    const BYTE* in = row.data();
    BYTE* out = picture.Row(y);
    for (int x = 0; x < picture.width; ++x, in += 3, out += 4) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
      out[3] = 0xFF;
    }
  }
  return true;
}

// The library's RGBA reader, asked for the stored rows in reverse order so that
// its raster is the bottom-up picture itself.
bool ReadThroughRgba(TIFF* tif, DecodedPicture& picture) {
  char message[1024] = {};
  if (!TIFFRGBAImageOK(tif, message)) {
    return false;
  }
  TIFFRGBAImage image{};
  if (!TIFFRGBAImageBegin(&image, tif, 0, message)) {
    return false;
  }
  static constexpr std::uint16_t kStoredReversed[9] = {
      ORIENTATION_BOTLEFT,  ORIENTATION_BOTLEFT, ORIENTATION_BOTRIGHT, ORIENTATION_TOPRIGHT, ORIENTATION_TOPLEFT,
      ORIENTATION_BOTLEFT, ORIENTATION_BOTRIGHT, ORIENTATION_TOPRIGHT, ORIENTATION_TOPLEFT};
  image.req_orientation = kStoredReversed[image.orientation <= 8 ? image.orientation : 0];
  auto* raster = reinterpret_cast<std::uint32_t*>(picture.bits.get());
  const bool ok = TIFFRGBAImageGet(&image, raster, static_cast<std::uint32_t>(picture.width),
                                   static_cast<std::uint32_t>(picture.height)) != 0;
  TIFFRGBAImageEnd(&image);
  if (!ok) {
    return false;
  }
  // Raster bytes are red, green, blue, alpha with the colour premultiplied.
  BYTE* p = picture.bits.get();
  for (std::uint64_t i = 0; i < std::uint64_t(picture.width) * picture.height; ++i, p += 4) {
    const int red = p[0], alpha = p[3];
    p[0] = OverWhite(p[2], alpha);
    p[1] = OverWhite(p[1], alpha);
    p[2] = OverWhite(red, alpha);
    p[3] = 0xFF;
  }
  return true;
}

constexpr std::uint16_t kTagNewSubfileType = 0x00FE;
constexpr std::uint32_t kStripTargetBytes = 64 * 1024;

} // namespace

DecodedPicture DecodeTiff(const FString& url, std::vector<std::uint8_t>* iccProfile) {
  TiffPtr tif(TiffOpenFile(url, "r"));
  if (!tif) {
    return {};
  }
  std::uint32_t width = 0, height = 0;
  if (!TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width) || !TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height)) {
    return {};
  }
  DecodedPicture picture = AllocatePicture(width, height);
  if (!picture) {
    return picture;
  }
  if (iccProfile) {
    std::uint32_t length = 0;
    void* profile = nullptr;
    if (TIFFGetField(tif.get(), TIFFTAG_ICCPROFILE, &length, &profile) && profile) {
      const auto* bytes = static_cast<const std::uint8_t*>(profile);
      iccProfile->assign(bytes, bytes + length);
    }
  }
  const bool ok = IsPlainRgb8(tif.get()) ? ReadPlainRgb8(tif.get(), picture) : ReadThroughRgba(tif.get(), picture);
  return ok ? std::move(picture) : DecodedPicture{};
}

bool EncodeTiff(FIFile* file, const EncoderPicture& picture, const EncoderExtras& extras) {
  if (!file || picture.width <= 0 || picture.height <= 0 || (picture.bytesPerPixel != 3 && picture.bytesPerPixel != 4)) {
    return false;
  }
  const std::uint64_t rowBytes = std::uint64_t(picture.width) * 3;
  const std::uint32_t rowsPerStrip =
      static_cast<std::uint32_t>(std::clamp<std::uint64_t>(kStripTargetBytes / rowBytes, 1, picture.height));
  const std::uint32_t strips = (static_cast<std::uint32_t>(picture.height) + rowsPerStrip - 1) / rowsPerStrip;

  ExifBlockEntries entries;
  if (extras.exif) {
    entries = *extras.exif;
  }
  std::vector<ExifBlockEntry>& ifd0 = entries.ifd0;
  PutExifEntry(ifd0, ExifLongEntry(kTagNewSubfileType, {0}));
  PutExifEntry(ifd0, ExifLongEntry(TIFFTAG_IMAGEWIDTH, {static_cast<std::uint32_t>(picture.width)}));
  PutExifEntry(ifd0, ExifLongEntry(TIFFTAG_IMAGELENGTH, {static_cast<std::uint32_t>(picture.height)}));
  PutExifEntry(ifd0, ExifShortEntry(TIFFTAG_BITSPERSAMPLE, {8, 8, 8}));
  PutExifEntry(ifd0, ExifShortEntry(TIFFTAG_COMPRESSION, {COMPRESSION_NONE}));
  PutExifEntry(ifd0, ExifShortEntry(TIFFTAG_PHOTOMETRIC, {PHOTOMETRIC_RGB}));
  PutExifEntry(ifd0, ExifShortEntry(TIFFTAG_SAMPLESPERPIXEL, {3}));
  PutExifEntry(ifd0, ExifLongEntry(TIFFTAG_ROWSPERSTRIP, {rowsPerStrip}));
  PutExifEntry(ifd0, ExifShortEntry(TIFFTAG_PLANARCONFIG, {PLANARCONFIG_CONTIG}));
  // The resolution a baseline reader expects, unless the items bring their own.
  auto has = [&](std::uint16_t tag) {
    return std::any_of(ifd0.begin(), ifd0.end(), [tag](const ExifBlockEntry& e) { return e.tag == tag; });
  };
  if (!has(TIFFTAG_XRESOLUTION) || !has(TIFFTAG_YRESOLUTION)) {
    PutExifEntry(ifd0, ExifRationalEntry(TIFFTAG_XRESOLUTION, 72, 1));
    PutExifEntry(ifd0, ExifRationalEntry(TIFFTAG_YRESOLUTION, 72, 1));
    PutExifEntry(ifd0, ExifShortEntry(TIFFTAG_RESOLUTIONUNIT, {RESUNIT_INCH}));
  }
  if (!extras.iccProfile.empty()) {
    PutExifEntry(ifd0, ExifUndefinedEntry(TIFFTAG_ICCPROFILE, extras.iccProfile));
  }
  std::vector<std::uint32_t> counts(strips), offsets(strips, 0);
  for (std::uint32_t s = 0; s < strips; ++s) {
    const std::uint32_t rows = std::min<std::uint32_t>(rowsPerStrip, static_cast<std::uint32_t>(picture.height) - s * rowsPerStrip);
    counts[s] = static_cast<std::uint32_t>(rows * rowBytes);
  }
  PutExifEntry(ifd0, ExifLongEntry(TIFFTAG_STRIPBYTECOUNTS, counts));
  // The pixel data follows the block, whose size the offsets do not change.
  PutExifEntry(ifd0, ExifLongEntry(TIFFTAG_STRIPOFFSETS, offsets));
  const std::uint64_t blockBytes = BuildExifTiffBlock(entries).size();
  if (blockBytes == 0 || blockBytes + rowBytes * picture.height > 0xFFFFFFFFull) {
    return false;
  }
  for (std::uint32_t s = 0; s < strips; ++s) {
    offsets[s] = static_cast<std::uint32_t>(blockBytes + std::uint64_t(s) * rowsPerStrip * rowBytes);
  }
  PutExifEntry(ifd0, ExifLongEntry(TIFFTAG_STRIPOFFSETS, offsets));
  const std::vector<std::uint8_t> block = BuildExifTiffBlock(entries);
  if (!file->Write(block.data(), static_cast<std::int64_t>(block.size()))) {
    return false;
  }
  std::vector<BYTE> rgb(static_cast<std::size_t>(rowBytes) * rowsPerStrip);
  for (int y = 0; y < picture.height;) {
    const int rows = std::min<int>(static_cast<int>(rowsPerStrip), picture.height - y);
    BYTE* out = rgb.data();
    for (int r = 0; r < rows; ++r) {
      const BYTE* in = picture.Row(y + r);
      for (int x = 0; x < picture.width; ++x, in += picture.bytesPerPixel, out += 3) {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
      }
    }
    if (!file->Write(rgb.data(), static_cast<std::int64_t>(out - rgb.data()))) {
      return false;
    }
    y += rows;
  }
  return true;
}
