#pragma once
// The files a browser folder holds, written by our own builders: camera JPEGs
// with an EXIF thumbnail (and a capture time when given), raw files of the
// synthetic camera with or without embedded previews, and the broken kinds
// (a raw file with nothing to show, a truncated JPEG, an unreadable movie).

#include "support/ExifBytes.h"
#include "support/PictureFileBuilder.h"
#include "support/SyntheticCamera.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <optional>
#include <string>

namespace testsupport {

// A JPEG of width x height whose EXIF block holds a thumbnail of thumbWidth x
// thumbHeight; dateTime ("YYYY:MM:DD HH:MM:SS") becomes its DateTimeOriginal.
inline PictureBytes CameraJpeg(int width, int height, int thumbWidth = 160, int thumbHeight = 120,
                               const std::optional<std::string>& dateTime = std::nullopt, int quality = 90) {
  ExifFields fields;
  fields.orientation = 1;
  fields.markFlag = 0;
  fields.thumbnail = QuarterJpeg(thumbWidth, thumbHeight);
  if (dateTime) fields.exifExtra.push_back(ExifBytes(false).Ascii(0x9003, *dateTime));
  return QuarterJpeg(width, height, &fields, quality);
}

inline void WriteBytes(const std::filesystem::path& path, const PictureBytes& bytes) {
  WriteFileBytes(path, std::string(bytes.begin(), bytes.end()));
}

// A raw container with the maker's magic and nothing a reader can use.
inline std::string EmptyRawBytes() {
  std::string bytes = "PDXb";
  bytes.append(60, '\x5a');
  return bytes;
}

// The first bytes of a JPEG: it ends inside its headers.
inline PictureBytes TruncatedJpeg() {
  PictureBytes bytes = QuarterJpeg(64, 48);
  bytes.resize(std::min<std::size_t>(bytes.size(), 120));
  return bytes;
}

// A RIFF "AVI " header and nothing behind it.
inline std::string BrokenAviBytes() { return std::string("RIFF\x10\x00\x00\x00" "AVI LIST", 16); }

} // namespace testsupport
