#pragma once
// A browser folder for the benchmarks, made once per run in a temporary
// folder: raw files of the synthetic camera with embedded previews and
// camera-sized JPEGs (6000 x 4000) with EXIF thumbnails (hard links to one
// file of each kind), with where each file's embedded thumbnail lies; and
// libjpeg-turbo decoding such a thumbnail on its own, the benchmarks' plain
// reference.

#include "shell/facade/KVR_EmbeddedImages.h"

#include "engine/colour/TransformColor.h"
#include "foundation/FIStorageClass.h"
#include "support/BrowserFolder.h"
#include "support/BuildTree.h"
#include "support/ImageFileTest.h"
#include "support/JpegEncoder.h"

#include <jpeglib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace benchfolder {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// The sizes of the two kinds' thumbnails, as decoded.
constexpr int kRawThumbnailWidth = 221;
constexpr int kRawThumbnailHeight = 147;
constexpr int kJpegThumbnailWidth = 160;
constexpr int kJpegThumbnailHeight = 120;

[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "benchmark: %s\n", what);
  std::abort();
}

// Where a file's embedded thumbnail lies (or the whole file, for a JPEG
// without one), and the scale its quick picture is decoded at.
struct Thumbnail {
  fs::path path;
  long offset = 0;
  long length = 0;
  unsigned scaleDenominator = 1;
};

// "KVR_1000.kvr" ... and "IMG_1000.JPG" ..., filesOfEachKind of each, in the
// folder "folder" of a temporary folder; thumbnails in that order, taking
// turns between the kinds. With rawPrefix "IMG_" the two kinds take turns in
// the folder's name order too.
struct ThumbnailFolder {
  testsupport::TempDir dir;
  fs::path folder;
  std::vector<Thumbnail> thumbnails;

  explicit ThumbnailFolder(int filesOfEachKind, const std::string& rawPrefix = "KVR_") {
    constexpr int kCameraWidth = 6000;
    constexpr int kCameraHeight = 4000;
    InitStorageClasses();
    SetColorProfileProgramPath(testsupport::BuildTreeProgramPath());
    folder = dir.Path() / "folder";
    fs::create_directory(folder);

    const testsupport::SyntheticRaw raw = testsupport::MakeSyntheticRaw();
    const fs::path rawFile = dir.Path() / "camera.kvr";
    raw.file.WriteTo(rawFile);
    int offset = 0;
    int length = 0;
    FILE* file = std::fopen(rawFile.c_str(), "rb");
    if (!file || KVR_FindEmbeddedImage(file, kEmbeddedThumbnail, &offset, &length) != kEmbeddedSmallJpeg) {
      Fail("the raw file has no small embedded JPEG");
    }
    std::fclose(file);
    // The section's picture bytes follow its 28-byte header.
    const Thumbnail rawThumbnail{rawFile, offset + 28, length - 28};
    const std::string rawBytes = testsupport::ReadFileBytes(rawFile);
    if (size_t(offset) + 30 > rawBytes.size() || uint8_t(rawBytes[size_t(offset) + 28]) != 0xFF ||
        uint8_t(rawBytes[size_t(offset) + 29]) != 0xD8) {
      Fail("the small JPEG does not start behind its section header");
    }

    testsupport::JpegEncodeOptions options;
    options.quality = 90;
    const Bytes plain = testsupport::EncodeJpeg(testsupport::PhotoLikeRgb(kCameraWidth, kCameraHeight), kCameraWidth,
                                                kCameraHeight, 3, options);
    testsupport::ExifFields fields;
    fields.orientation = 1;
    fields.markFlag = 0;
    fields.thumbnail = testsupport::QuarterJpeg(kJpegThumbnailWidth, kJpegThumbnailHeight);
    const Bytes camera = testsupport::InsertSegment(
        plain, 0xE1, testsupport::ExifApp1Data(testsupport::BuildExifStructure(fields)));
    const fs::path jpegFile = dir.Path() / "camera.jpg";
    testsupport::WriteBytes(jpegFile, camera);
    const auto at = std::search(camera.begin(), camera.end(), fields.thumbnail.begin(), fields.thumbnail.end());
    if (at == camera.end()) Fail("the thumbnail is not in the JPEG");
    const Thumbnail jpegThumbnail{jpegFile, long(at - camera.begin()), long(fields.thumbnail.size())};

    for (int i = 0; i < filesOfEachKind; ++i) {
      const std::string number = std::to_string(1000 + i);
      fs::create_hard_link(rawFile, folder / (rawPrefix + number + ".kvr"));
      fs::create_hard_link(jpegFile, folder / ("IMG_" + number + ".JPG"));
      thumbnails.push_back({folder / (rawPrefix + number + ".kvr"), rawThumbnail.offset, rawThumbnail.length});
      thumbnails.push_back({folder / ("IMG_" + number + ".JPG"), jpegThumbnail.offset, jpegThumbnail.length});
    }
  }

  // The thumbnail of a file of the folder (null: not one of them).
  const Thumbnail* Find(const fs::path& path) const {
    for (const Thumbnail& thumbnail : thumbnails) {
      if (thumbnail.path == path) return &thumbnail;
    }
    return nullptr;
  }
};

// "IMG_00000.JPG" ... : files small JPEGs of 640 x 480 without an EXIF
// thumbnail, as a phone or a web download gives them (links to a few files),
// in the folder "folder" of a temporary folder. Their quick pictures are the
// files decoded at a quarter (160 x 120).
struct SmallJpegFolder {
  testsupport::TempDir dir;
  fs::path folder;
  std::vector<Thumbnail> thumbnails;

  explicit SmallJpegFolder(int files) {
    constexpr int kWidth = 640;
    constexpr int kHeight = 480;
    constexpr int kSources = 8;
    InitStorageClasses();
    SetColorProfileProgramPath(testsupport::BuildTreeProgramPath());
    folder = dir.Path() / "folder";
    fs::create_directory(folder);
    std::vector<fs::path> sources;
    const Bytes pixels = testsupport::PhotoLikeRgb(kWidth, kHeight);
    for (int k = 0; k < kSources; ++k) {
      testsupport::JpegEncodeOptions options;
      options.quality = 60 + 4 * k;
      const fs::path source = dir.Path() / ("small" + std::to_string(k) + ".jpg");
      testsupport::WriteBytes(source, testsupport::EncodeJpeg(pixels, kWidth, kHeight, 3, options));
      sources.push_back(source);
    }
    for (int i = 0; i < files; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "IMG_%05d.JPG", i);
      fs::create_hard_link(sources[size_t(i % kSources)], folder / name);
      thumbnails.push_back({folder / name, 0, long(fs::file_size(folder / name)), 4});
    }
  }
};

// libjpeg-turbo on its own: the thumbnail's bytes read from the file and
// decoded at its scale into 24-bit rows; the pixel count.
inline size_t PlainDecode(const Thumbnail& thumbnail, Bytes& rows) {
  Bytes bytes(size_t(thumbnail.length));
  FILE* file = std::fopen(thumbnail.path.c_str(), "rb");
  if (!file) return 0;
  std::fseek(file, thumbnail.offset, SEEK_SET);
  const size_t read = std::fread(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
  if (read != bytes.size()) return 0;
  jpeg_decompress_struct info{};
  jpeg_error_mgr error{};
  info.err = jpeg_std_error(&error);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, bytes.data(), bytes.size());
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_EXT_BGR;
  info.scale_num = 1;
  info.scale_denom = thumbnail.scaleDenominator;
  jpeg_start_decompress(&info);
  const size_t stride = (size_t(info.output_width) * 3 + 3) / 4 * 4;
  rows.resize(stride * info.output_height);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = rows.data() + stride * info.output_scanline;
    jpeg_read_scanlines(&info, &row, 1);
  }
  const size_t pixels = size_t(info.output_width) * info.output_height;
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return pixels;
}

} // namespace benchfolder
