#include "support/PictureFileBuilder.h"

#include "support/JpegEncoder.h"

#include <algorithm>

namespace testsupport {

namespace {

constexpr uint16_t kTagExifPointer = 0x8769;
constexpr uint16_t kTagMakerNote = 0x927C;

size_t FieldOf(size_t ifd, size_t index) { return ifd + 2 + 12 * index + 8; }

PictureBytes MakerNote(const ExifFields& layout, uint32_t ownOffset) {
  ExifBytes note(layout.bigEndian != layout.makerNoteSwapped, 0);
  note.Append({'T', 'A', 'L', 'V', 'O', 0, 0, 0});
  note.Append(note.U16s({1, 2}));
  // Entry 1: the mark flag; entry 2: a text whose offset counts from the TIFF header.
  const std::string model = "KT6M-TEST";
  const uint32_t textOffset = ownOffset + 12 + 2 * 12 + 4;
  note.Append(note.U16s({0x002F, 4}));
  note.Append(note.U32s({1, *layout.markFlag}));
  note.Append(note.U16s({0x0010, 2}));
  note.Append(note.U32s({static_cast<uint32_t>(model.size() + 1), textOffset}));
  note.Append(note.U32s({0}));
  note.Append(PictureBytes(model.begin(), model.end()));
  note.Append({0});
  return note.Bytes();
}

} // namespace

PictureBytes QuarterPicture(int width, int height) {
  PictureBytes rgb;
  rgb.reserve(size_t(width) * size_t(height) * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint32_t c = QuarterColour(width, height, x, y);
      rgb.push_back(uint8_t(c >> 16));
      rgb.push_back(uint8_t(c >> 8));
      rgb.push_back(uint8_t(c));
    }
  }
  return rgb;
}

uint32_t QuarterColour(int width, int height, int x, int y) {
  const bool right = 2 * x >= width, bottom = 2 * y >= height;
  return bottom ? (right ? 0xFFFFFF : 0x0000FF) : (right ? 0x00FF00 : 0xFF0000);
}

PictureBytes BuildExifStructure(const ExifFields& layout) {
  ExifBytes b(layout.bigEndian, 0);
  b.Append(layout.bigEndian ? PictureBytes{'M', 'M'} : PictureBytes{'I', 'I'});
  b.Append(b.U16s({42}));
  b.Append(b.U32s({8}));

  std::vector<ExifRawEntry> ifd0 = {b.Ascii(0x010F, "TALVO")};
  if (layout.orientation) {
    ifd0.push_back(b.Short(0x0112, *layout.orientation));
  }
  ifd0.push_back(b.Rational(0x011A, 72, 1));
  const size_t pointerIndex = ifd0.size();
  ifd0.push_back(b.Long(kTagExifPointer, 0));
  ifd0.insert(ifd0.end(), layout.ifd0Extra.begin(), layout.ifd0Extra.end());
  const size_t ifd0At = b.AppendIfd(ifd0);

  std::vector<ExifRawEntry> exif = {b.Rational(0x829A, 1, 30), b.Short(0x8827, 200),
                                    b.Undefined(0x9000, {'0', '2', '3', '0'})};
  size_t makerIndex = 0;
  PictureBytes note;
  if (layout.markFlag) {
    note = MakerNote(layout, 0);
    makerIndex = exif.size();
    ExifRawEntry entry = b.Undefined(kTagMakerNote, note);
    entry.offset = 0;
    exif.push_back(entry);
  }
  exif.insert(exif.end(), layout.exifExtra.begin(), layout.exifExtra.end());
  b.PadTo((b.Size() + 1) & ~size_t{1});
  const size_t exifAt = b.AppendIfd(exif);
  b.PutU32(FieldOf(ifd0At, pointerIndex), static_cast<uint32_t>(exifAt));
  if (layout.markFlag) {
    const uint32_t noteAt = static_cast<uint32_t>(b.Size());
    b.Append(MakerNote(layout, noteAt));
    b.PutU32(FieldOf(exifAt, makerIndex), noteAt);
  }
  if (!layout.thumbnail.empty()) {
    b.PadTo((b.Size() + 1) & ~size_t{1});
    const size_t ifd1At = b.AppendIfd({b.Long(0x0201, 0), b.Long(0x0202, static_cast<uint32_t>(layout.thumbnail.size()))});
    b.PutU32(ifd0At + 2 + 12 * ifd0.size(), static_cast<uint32_t>(ifd1At));
    b.PutU32(FieldOf(ifd1At, 0), static_cast<uint32_t>(b.Size()));
    b.Append(layout.thumbnail);
  }
  return b.Bytes();
}

PictureBytes ExifApp1Data(const PictureBytes& structure) {
  static const uint8_t kIdentifier[6] = {'E', 'x', 'i', 'f', 0, 0};
  PictureBytes data(sizeof kIdentifier + structure.size());
  std::copy(std::begin(kIdentifier), std::end(kIdentifier), data.begin());
  std::copy(structure.begin(), structure.end(), data.begin() + sizeof kIdentifier);
  return data;
}

PictureBytes InsertSegment(const PictureBytes& jpeg, uint8_t marker, const PictureBytes& data) {
  const size_t length = data.size() + 2;
  PictureBytes out(jpeg.size() + 2 + length);
  const uint8_t head[4] = {0xFF, marker, uint8_t(length >> 8), uint8_t(length)};
  auto at = std::copy(jpeg.begin(), jpeg.begin() + 2, out.begin());
  at = std::copy(std::begin(head), std::end(head), at);
  at = std::copy(data.begin(), data.end(), at);
  std::copy(jpeg.begin() + 2, jpeg.end(), at);
  return out;
}

PictureBytes QuarterJpeg(int width, int height, const ExifFields* layout, int quality) {
  JpegEncodeOptions options;
  options.quality = quality;
  const PictureBytes jpeg = EncodeJpeg(QuarterPicture(width, height), width, height, 3, options);
  return layout ? InsertSegment(jpeg, 0xE1, ExifApp1Data(BuildExifStructure(*layout))) : jpeg;
}

PictureBytes MakeBmp(const BmpLayout& s) {
  PictureBytes f(14 + s.headerSize, 0);
  auto put = [&f](size_t at, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) {
      f[at + i] = uint8_t(v >> (8 * i));
    }
  };
  f[0] = 'B';
  f[1] = 'M';
  put(14, s.headerSize, 4);
  put(18, uint32_t(s.width), 4);
  put(22, uint32_t(s.height), 4);
  put(26, 1, 2);
  put(28, uint32_t(s.bitCount), 2);
  put(30, s.compression, 4);
  put(46, s.colours, 4);
  for (size_t i = 0; i < s.masks.size(); ++i) {
    f.resize(std::max(f.size(), 14 + 40 + 4 * (i + 1)));
    put(14 + 40 + 4 * i, s.masks[i], 4);
  }
  if (s.bitCount == 8) {
    const uint32_t entries = s.colours ? s.colours : 256;
    for (uint32_t i = 0; i < entries; ++i) {
      f.insert(f.end(), {uint8_t(i * 10), uint8_t(i * 10), uint8_t(i * 10), 0});
    }
  }
  put(10, uint32_t(f.size()), 4);
  const int rows = s.height < 0 ? -s.height : s.height;
  const int bytesPerPixel = s.bitCount >= 8 ? s.bitCount / 8 : 1;
  const int stride = ((s.width * s.bitCount + 31) / 32) * 4;
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < stride; ++x) {
      const int pixel = x / bytesPerPixel;
      f.push_back(pixel >= s.width ? 0xAB : s.bitCount == 8 ? uint8_t(pixel + y) : uint8_t(pixel * 10 + y));
    }
  }
  put(2, uint32_t(f.size()), 4);
  return f;
}

} // namespace testsupport
