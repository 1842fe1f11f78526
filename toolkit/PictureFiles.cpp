#include "toolkit/PictureFiles.h"

#include "toolkit/CET_ExifData.h"
#include "toolkit/CET_GDIPlus.h"
#include "toolkit/DecodedPicture.h"
#include "toolkit/ExifItemBlock.h"
#include "toolkit/ExifTiffWalk.h"
#include "toolkit/PictureCodecs.h"
#include "toolkit/PictureFileBytes.h"
#include "toolkit/PictureFileTypes.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

namespace {

// A JPEG's EXIF block (and with it its thumbnail) lies in its first 64 KiB:
// thumbnails are read from the file's head alone.
constexpr std::uint64_t kJpegHeadBytes = 128 * 1024;
constexpr std::uint64_t kSniffBytes = 16;
constexpr std::uint64_t kMaxProfileBytes = 16u << 20;
constexpr double kThumbnailLongSide = 160;

enum class Content { Unknown, Jpeg, Tiff, Png, Gif, Bmp };

Content Sniff(const std::uint8_t* d, std::size_t n) {
  if (n >= 3 && d[0] == 0xFF && d[1] == 0xD8 && d[2] == 0xFF) {
    return Content::Jpeg;
  }
  if (n >= 4 && ((d[0] == 'I' && d[1] == 'I' && d[2] == 42 && d[3] == 0) || (d[0] == 'M' && d[1] == 'M' && d[2] == 0 && d[3] == 42))) {
    return Content::Tiff;
  }
  if (n >= 8 && std::memcmp(d, "\x89PNG\r\n\x1A\n", 8) == 0) {
    return Content::Png;
  }
  if (n >= 4 && std::memcmp(d, "GIF8", 4) == 0) {
    return Content::Gif;
  }
  if (n >= 2 && d[0] == 'B' && d[1] == 'M') {
    return Content::Bmp;
  }
  return Content::Unknown;
}

// The bytes of an open file, read as far as they are needed (into a block
// that is not cleared first: a picture file is read once and whole).
class FileBytes {
public:
  explicit FileBytes(PictureFileReader& reader) : m_Reader(reader) {}
  bool Head(std::uint64_t count) { return ReadFirst(std::min(count, m_Reader.Size())); }
  bool All() { return IsWhole() || ReadFirst(m_Reader.Size()); }
  bool IsWhole() const { return m_Size == m_Reader.Size(); }
  const std::uint8_t* Data() const { return m_Bytes.get(); }
  std::size_t Size() const { return m_Size; }

private:
  bool ReadFirst(std::uint64_t count) {
    if (count > std::numeric_limits<std::size_t>::max()) {
      return false;
    }
    std::unique_ptr<std::uint8_t[]> bytes(new (std::nothrow) std::uint8_t[std::max<std::uint64_t>(count, 1)]);
    // What was read already is not read again.
    const std::uint64_t held = std::min<std::uint64_t>(m_Size, count);
    if (!bytes) {
      return false;
    }
    std::copy_n(m_Bytes.get(), held, bytes.get());
    if (!m_Reader.Read(held, count - held, bytes.get() + held)) {
      return false;
    }
    m_Bytes = std::move(bytes);
    m_Size = static_cast<std::size_t>(count);
    return true;
  }

  PictureFileReader& m_Reader;
  std::unique_ptr<std::uint8_t[]> m_Bytes;
  std::size_t m_Size = 0;
};

int OrientationOf(const CET_ExifData& items) {
  const PropertyItem* item = items.FindItem(kExifTagOrientation);
  if (!item || item->type != 3 || item->length < 2 || !item->value) {
    return 1;
  }
  std::uint16_t value = 0;
  std::memcpy(&value, item->value, 2);
  return value;
}

// A picture in a file's row order as the bottom-up picture of the decoders.
DecodedPicture BottomUp(const BITMAPINFO& header, DibBitsPtr bits) {
  DecodedPicture picture;
  picture.width = header.bmiHeader.biWidth;
  picture.height = std::abs(header.bmiHeader.biHeight);
  picture.bits = std::move(bits);
  if (header.bmiHeader.biHeight < 0) {
    const std::size_t row = std::size_t(picture.width) * 4;
    std::vector<BYTE> swap(row);
    for (int y = 0; y < picture.height / 2; ++y) {
      BYTE* a = picture.bits.get() + row * std::size_t(y);
      BYTE* b = picture.bits.get() + row * std::size_t(picture.height - 1 - y);
      std::memcpy(swap.data(), a, row);
      std::memcpy(a, b, row);
      std::memcpy(b, swap.data(), row);
    }
  }
  return picture;
}

void FillHeader(BITMAPINFO* header, int width, int height) {
  *header = BITMAPINFO{};
  BITMAPINFOHEADER& h = header->bmiHeader;
  h.biSize = sizeof(BITMAPINFOHEADER);
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = 32;
  h.biCompression = BI_RGB;
  h.biSizeImage = static_cast<DWORD>(std::uint64_t(width) * std::uint64_t(height) * 4);
}

BYTE* Deliver(DecodedPicture picture, BITMAPINFO* header) {
  if (!picture) {
    return nullptr;
  }
  FillHeader(header, picture.width, picture.height);
  return picture.bits.release();
}

BYTE* LoadBmp(FileBytes& bytes, BITMAPINFO* header) {
  BITMAPINFO info;
  DibBitsPtr bits;
  if (!bytes.All() || !DecodeBmp(bytes.Data(), bytes.Size(), info, bits)) {
    return nullptr;
  }
  *header = info;
  return bits.release();
}

// The size the file's stored picture is decoded to, before it is turned; 0 x 0
// for full size. False for a request that asks for no picture.
bool StoredTarget(int mode, int storedWidth, int storedHeight, bool exchange, int targetWidth, int targetHeight,
                  int& width, int& height) {
  width = height = 0;
  if (mode == PICT_MODE_THUMBNAIL || mode == PICT_MODE_THUMBNAIL2) {
    const double factor = kThumbnailLongSide / std::max(storedWidth, storedHeight);
    width = std::max(1, static_cast<int>(storedWidth * factor + 0.4999999));
    height = std::max(1, static_cast<int>(storedHeight * factor + 0.4999999));
  } else if (mode == PICT_MODE_SCALED) {
    if (targetWidth <= 0 || targetHeight <= 0) {
      return false;
    }
    width = exchange ? targetHeight : targetWidth;
    height = exchange ? targetWidth : targetHeight;
  }
  return true;
}

// The file's items, read by the toolkit's own reader from the bytes that hold them.
void ParseItems(Content content, FileBytes& bytes, const FString& path, CET_ExifData& items) {
  switch (content) {
  case Content::Jpeg:
    if (!items.ParseBuffer(bytes.Data(), bytes.Size()) && !bytes.IsWhole() && bytes.All()) {
      items.ParseBuffer(bytes.Data(), bytes.Size());
    }
    break;
  case Content::Tiff:
    items.ReadFile(path);
    break;
  case Content::Png: {
    std::size_t position = 0, length = 0;
    if (FindPngExif(bytes.Data(), bytes.Size(), position, length)) {
      items.ParseBuffer(bytes.Data() + position, length);
    }
    break;
  }
  default:
    break;
  }
}

// The whole stored picture of a file that is not a JPEG.
DecodedPicture DecodeWhole(Content content, FileBytes& bytes, const FString& path) {
  switch (content) {
  case Content::Tiff: {
    FString url;
    return PictureFileURL(path, url) ? DecodeTiff(url) : DecodedPicture{};
  }
  case Content::Png:
    return DecodePng(bytes.Data(), bytes.Size());
  case Content::Gif:
    return DecodeGif(bytes.Data(), bytes.Size());
  case Content::Bmp: {
    BITMAPINFO header;
    DibBitsPtr bits;
    return DecodeBmp(bytes.Data(), bytes.Size(), header, bits) ? BottomUp(header, std::move(bits)) : DecodedPicture{};
  }
  default:
    return {};
  }
}

DecodedPicture Turned(DecodedPicture picture, int rotateFlipType) {
  return rotateFlipType == 0 || !picture ? std::move(picture) : RotateFlipPicture(picture, rotateFlipType);
}

DecodedPicture Resampled(DecodedPicture picture, int width, int height) {
  if (!picture || width <= 0 || (picture.width == width && picture.height == height)) {
    return picture;
  }
  return ResamplePicture(picture, width, height);
}

BYTE* LoadThroughCodecs(const CET_PictLoadRequest& request, FileBytes& bytes, Content content) {
  const bool thumbnail = request.mode == PICT_MODE_THUMBNAIL || request.mode == PICT_MODE_THUMBNAIL2;
  const bool jpeg = content == Content::Jpeg;
  if (jpeg ? !bytes.Head(kJpegHeadBytes) : (content != Content::Tiff && !bytes.All())) {
    return nullptr;
  }

  // The stored size: a JPEG's from its frame header, the others' from the picture.
  int storedWidth = 0, storedHeight = 0;
  DecodedPicture whole;
  if (jpeg) {
    if (!ReadJpegSize(bytes.Data(), bytes.Size(), storedWidth, storedHeight) &&
        !(bytes.All() && ReadJpegSize(bytes.Data(), bytes.Size(), storedWidth, storedHeight))) {
      return nullptr;
    }
  } else {
    whole = DecodeWhole(content, bytes, request.path);
    if (!whole) {
      return nullptr;
    }
    storedWidth = whole.width;
    storedHeight = whole.height;
  }

  CET_ExifData items;
  ParseItems(content, bytes, request.path, items);
  const int rotateFlip = RotateFlipTypeOfOrientation(OrientationOf(items));
  const bool exchange = RotateFlipExchangesSize(rotateFlip);
  const int orientedWidth = exchange ? storedHeight : storedWidth;
  const int orientedHeight = exchange ? storedWidth : storedHeight;
  if (request.orientedSize) {
    request.orientedSize->cx = orientedWidth;
    request.orientedSize->cy = orientedHeight;
  }
  if (request.exif) {
    *request.exif = items;
    request.exif->SetImageSize(orientedWidth, orientedHeight);
  }

  if (thumbnail && jpeg) {
    std::uint64_t position = 0, length = 0;
    if (FindExifThumbnail(bytes.Data(), bytes.Size(), position, length)) {
      DecodedPicture embedded = DecodeJpeg(bytes.Data() + position, static_cast<std::size_t>(length));
      if (embedded) {
        return Deliver(Turned(std::move(embedded), rotateFlip), request.header);
      }
    }
  }
  int width = 0, height = 0;
  if (!StoredTarget(request.mode, storedWidth, storedHeight, exchange, request.targetWidth, request.targetHeight,
                    width, height)) {
    return nullptr;
  }
  if (jpeg) {
    if (!bytes.All()) {
      return nullptr;
    }
    whole = DecodeJpeg(bytes.Data(), bytes.Size(), width, height);
  }
  return Deliver(Turned(Resampled(std::move(whole), width, height), rotateFlip), request.header);
}

} // namespace

BYTE* LoadPictBits(const CET_PictLoadRequest& request) {
  if (!request.header) {
    return nullptr;
  }
  const emETFILETYPE type = GetFileType(request.path);
  if (type == ETFILETYPE_KVR) {
    return nullptr;
  }
  PictureFileReader reader(request.path);
  if (!reader.IsOpen()) {
    return nullptr;
  }
  FileBytes bytes(reader);
  if (type == ETFILETYPE_BMP) {
    return LoadBmp(bytes, request.header);
  }
  if (!bytes.Head(kSniffBytes)) {
    return nullptr;
  }
  const Content content = Sniff(bytes.Data(), bytes.Size());
  return content == Content::Unknown ? nullptr : LoadThroughCodecs(request, bytes, content);
}

CET_Dib* LoadPictFile(const FString& path, int mode, CET_ExifData* exif, SIZE* orientedSize, int targetWidth,
                      int targetHeight) {
  BITMAPINFO header{};
  CET_PictLoadRequest request;
  request.path = path;
  request.header = &header;
  request.mode = mode;
  request.exif = exif;
  request.orientedSize = orientedSize;
  request.targetWidth = targetWidth;
  request.targetHeight = targetHeight;
  BYTE* bits = LoadPictBits(request);
  if (!bits) {
    return nullptr;
  }
  auto* picture = new CET_Dib;
  picture->header = NewDibHeader();
  std::memcpy(picture->header, &header, sizeof header);
  picture->bits = bits;
  picture->size = header.bmiHeader.biSizeImage;
  return picture;
}

namespace {

// A 24- or 32-bit picture of a header the encoders can take.
bool EncoderPictureOf(const BITMAPINFO* header, const BYTE* bits, EncoderPicture& picture) {
  if (!header || !bits) {
    return false;
  }
  const BITMAPINFOHEADER& h = header->bmiHeader;
  if ((h.biBitCount != 24 && h.biBitCount != 32) || h.biCompression != BI_RGB || h.biWidth <= 0 ||
      h.biHeight == 0 || h.biHeight == std::numeric_limits<LONG>::min()) {
    return false;
  }
  picture.width = h.biWidth;
  picture.height = std::abs(h.biHeight);
  picture.bytesPerPixel = h.biBitCount / 8;
  picture.bits = bits;
  picture.topDown = h.biHeight < 0;
  // A header that claims more rows than its image size holds is refused.
  const std::uint64_t needed = std::uint64_t(picture.Stride()) * std::uint64_t(picture.height);
  return h.biSizeImage == 0 || h.biSizeImage >= needed;
}

EncoderPicture EncoderPictureOf(const DecodedPicture& decoded) {
  EncoderPicture picture;
  picture.width = decoded.width;
  picture.height = decoded.height;
  picture.bytesPerPixel = 4;
  picture.bits = decoded.bits.get();
  return picture;
}

const char16_t* EncoderNameOfType(int fileType) {
  switch (fileType) {
  case ETFILETYPE_JPEG: return u"JPEG";
  case ETFILETYPE_TIFF:
  case ETFILETYPE_TIFF48: return u"TIFF";
  case ETFILETYPE_PNG: return u"PNG";
  case ETFILETYPE_BMP: return u"BMP";
  case ETFILETYPE_GIF: return u"GIF";
  default: return nullptr;
  }
}

bool Encode(const CET_ImageCodecInfo& encoder, FIFile* file, const EncoderPicture& picture, const EncoderExtras& extras) {
  switch (encoder.Clsid) {
  case ImageEncoderId::Jpeg: return EncodeJpeg(file, picture, extras);
  case ImageEncoderId::Tiff: return EncodeTiff(file, picture, extras);
  case ImageEncoderId::Png: return EncodePng(file, picture, extras);
  case ImageEncoderId::Bmp: return EncodeBmp(file, picture);
  case ImageEncoderId::Gif: return EncodeGif(file, picture);
  }
  return false;
}

int WritePictureFile(const FString& path, const CET_ImageCodecInfo& encoder, const EncoderPicture& picture,
                     const EncoderExtras& extras) {
  PictureFileWriter writer(path);
  return writer.IsOpen() && Encode(encoder, writer.File(), picture, extras) && writer.Commit() ? 1 : 0;
}

std::vector<std::uint8_t> ItemProfile(const CET_ExifData& items) {
  const PropertyItem* item = items.FindItem(kExifTagIccProfile);
  if (!item || !item->value || item->length == 0) {
    return {};
  }
  const auto* bytes = static_cast<const std::uint8_t*>(item->value);
  return std::vector<std::uint8_t>(bytes, bytes + item->length);
}

} // namespace

int SaveDibAsImageFile(const FString& path, const BITMAPINFO* header, const BYTE* bits, int fileType,
                       const CET_GDIPlus* gdiPlus, ULONG quality, const FString& profilePath,
                       const CET_ExifData* exif, const FString& exifSourcePath) {
  const char16_t* encoderName = EncoderNameOfType(fileType);
  const CET_ImageCodecInfo* encoder = gdiPlus && encoderName ? gdiPlus->GetEncoderClsid(encoderName) : nullptr;
  EncoderPicture picture;
  if (!encoder || !EncoderPictureOf(header, bits, picture)) {
    return 0;
  }
  CET_ExifData sourceItems;
  const CET_ExifData* items = exif;
  if (exifSourcePath.GetLength() > 0 && sourceItems.ReadFile(exifSourcePath)) {
    items = &sourceItems;
  }
  EncoderExtras extras;
  extras.jpegQuality = static_cast<int>(std::min<ULONG>(quality, 100));
  ExifBlockEntries entries;
  if (items) {
    entries = ExifEntriesOfItems(*items);
    if (items->FindItem(kExifTagOrientation)) {
      SetExifShort(entries, static_cast<std::uint16_t>(kExifTagOrientation), 1);
    }
    SetExifPixelDimensions(entries, picture.width, picture.height);
    extras.exif = &entries;
    extras.iccProfile = ItemProfile(*items);
  }
  std::vector<std::uint8_t> profile;
  if (profilePath.GetLength() > 0 && ReadWholeFile(profilePath, profile, kMaxProfileBytes) && !profile.empty()) {
    extras.iccProfile = std::move(profile);
  }
  return WritePictureFile(path, *encoder, picture, extras);
}

int RotateImageFile(const FString& sourcePath, const FString& destinationPath, int rotateFlipType,
                    const CET_GDIPlus* gdiPlus, const CET_ExifData* exif, ULONG quality) {
  const emETFILETYPE sourceType = GetFileType(sourcePath);
  if (sourceType != ETFILETYPE_JPEG && sourceType != ETFILETYPE_TIFF && sourceType != ETFILETYPE_PNG &&
      sourceType != ETFILETYPE_GIF) {
    return 0;
  }
  const char16_t* encoderName = EncoderNameOfType(GetFileType(destinationPath));
  const CET_ImageCodecInfo* encoder = gdiPlus && encoderName ? gdiPlus->GetEncoderClsid(encoderName) : nullptr;
  if (!encoder || rotateFlipType < 0 || rotateFlipType > 7) {
    return 0;
  }
  PictureFileReader reader(sourcePath);
  FileBytes bytes(reader);
  if (!reader.IsOpen() || !bytes.All()) {
    return 0;
  }
  const Content content = Sniff(bytes.Data(), bytes.Size());
  EncoderExtras extras;
  DecodedPicture picture;
  switch (content) {
  case Content::Jpeg: picture = DecodeJpeg(bytes.Data(), bytes.Size(), 0, 0, &extras.iccProfile); break;
  case Content::Png: picture = DecodePng(bytes.Data(), bytes.Size(), &extras.iccProfile); break;
  case Content::Tiff: {
    FString url;
    picture = PictureFileURL(sourcePath, url) ? DecodeTiff(url, &extras.iccProfile) : DecodedPicture{};
    break;
  }
  default: picture = DecodeWhole(content, bytes, sourcePath); break;
  }
  picture = Turned(std::move(picture), rotateFlipType);
  if (!picture) {
    return 0;
  }
  CET_ExifData items;
  ParseItems(content, bytes, sourcePath, items);
  ExifBlockEntries entries = ExifEntriesOfItems(items);
  if (exif && items.GetCount() > 0 && !items.FindItem(kExifTagExifVersion)) {
    const ExifBlockEntries added = ExifEntriesOfItems(*exif);
    for (const auto& [from, to] : {std::pair{&added.ifd0, &entries.ifd0}, std::pair{&added.exif, &entries.exif}}) {
      for (const ExifBlockEntry& entry : *from) {
        if (!items.FindItem(entry.tag)) {
          PutExifEntry(*to, entry);
        }
      }
    }
  }
  SetExifPixelDimensions(entries, picture.width, picture.height);
  extras.exif = &entries;
  extras.jpegQuality = static_cast<int>(std::min<ULONG>(quality, 100));
  return WritePictureFile(destinationPath, *encoder, EncoderPictureOf(picture), extras);
}
