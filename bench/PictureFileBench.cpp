// Reading ordinary picture files through the toolkit, beside the libraries
// called directly on the same file in the same run (timed alternately inside
// one benchmark, their order swapped every iteration; "x_reference" is the
// toolkit's time over the library's):
// - LoadPictFile of a 24-megapixel JPEG at full size and in thumbnail mode
//   (no embedded thumbnail: the codec's 1/8 decoding, then 160 pixels), beside
//   libjpeg-turbo reading the file and decoding it at the same scale into the
//   same 32-bit rows;
// - a 24-megapixel PNG beside libpng's row reader (its fastest plain use: the
//   rows read straight into their place, turned to blue-green-red-filler by
//   libpng), and an uncompressed 24-megapixel TIFF beside libtiff's scanline
//   reader and a plain loop turning each row into the same 32-bit bottom-up row;
// every library side reads the file and writes its rows into blocks allocated
// as the toolkit's are (NewDibBits);
// - FilterDib on a 24-megapixel 24-bit picture (tone, levels, saturation and
//   colour compensation) beside a plain pass copying the picture through one
//   table ("x_plain");
// - the thumbnail mode over a folder of 500 camera-sized JPEGs that carry EXIF
//   thumbnails, in files per second on one core (the files are links to one
//   file of 6000 x 4000, so the folder costs no disk space).
// Each benchmark checks its result once, in its first iteration.

#include <benchmark/benchmark.h>

#include "toolkit/CET_Dib.h"
#include "toolkit/CET_FilterData.h"
#include "toolkit/CET_GDIPlus.h"
#include "toolkit/CET_ImageFilter.h"
#include "toolkit/PictureFiles.h"

#include "foundation/FIStorageClass.h"
#include "foundation/FPath.h"
#include "support/ImageFileTest.h"
#include "support/PictureFileBuilder.h"
#include "support/TestSupport.h"

#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

#include <algorithm>
#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;
constexpr int kFolderFiles = 500;

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

Bytes ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const fs::path& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// The files, made once per program.
struct Files {
  testsupport::TempDir dir;
  fs::path jpeg, png, tiff, folder;
  CET_Dib picture24; // the same picture as a 24-bit record

  Files() {
    InitStorageClasses();
    const Bytes rgb = testsupport::PhotoLikeRgb(kWidth, kHeight);
    testsupport::JpegEncodeOptions options;
    options.quality = 90;
    jpeg = dir.Path() / "big.jpg";
    WriteAll(jpeg, testsupport::EncodeJpeg(rgb, kWidth, kHeight, 3, options));

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = kWidth;
    image.height = kHeight;
    image.format = PNG_FORMAT_RGB;
    png = dir.Path() / "big.png";
    png_image_write_to_file(&image, png.c_str(), 0, rgb.data(), 0, nullptr);

    BITMAPINFO header{};
    header.bmiHeader.biSize = 40;
    header.bmiHeader.biWidth = kWidth;
    header.bmiHeader.biHeight = -kHeight;
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 24;
    header.bmiHeader.biSizeImage = DWORD(rgb.size());
    Bytes bgr(rgb.size());
    for (size_t i = 0; i < rgb.size(); i += 3) {
      bgr[i] = rgb[i + 2], bgr[i + 1] = rgb[i + 1], bgr[i + 2] = rgb[i];
    }
    picture24.Set(&header, bgr.data(), DWORD(bgr.size()));
    tiff = dir.Path() / "big.tif";
    const CET_GDIPlus codecs;
    if (!SaveDibAsImageFile(PathFromNative(tiff.string()), &header, bgr.data(), 1, &codecs, 0, FString(), nullptr,
                            FString())) {
      throw std::runtime_error("TIFF not written");
    }

    // A camera's JPEG: the picture with an EXIF block holding a 160 x 120 thumbnail.
    testsupport::ExifFields fields;
    fields.orientation = 6;
    fields.markFlag = 0;
    fields.thumbnail = testsupport::QuarterJpeg(160, 120);
    const fs::path camera = dir.Path() / "camera.jpg";
    WriteAll(camera, testsupport::InsertSegment(ReadAll(jpeg), 0xE1,
                                                testsupport::ExifApp1Data(testsupport::BuildExifStructure(fields))));
    folder = dir.Path() / "folder";
    fs::create_directory(folder);
    for (int i = 0; i < kFolderFiles; ++i) {
      fs::create_hard_link(camera, folder / ("IMG_" + std::to_string(1000 + i) + ".JPG"));
    }
  }
};

const Files& TheFiles() {
  static const Files files;
  return files;
}

// A block of bytes allocated as the toolkit allocates a picture's rows
// (NewDibBits: not cleared, offered for huge pages), given back alike.
struct Block {
  struct Free {
    void operator()(uint8_t* bytes) const { DeleteDibBits(bytes); }
  };
  std::unique_ptr<uint8_t[], Free> bytes;
  size_t size = 0;
  explicit Block(size_t n = 0) : bytes(n ? NewDibBits(n) : nullptr), size(n) {}
};

// The file read whole into a block, as the toolkit reads a picture file.
Block ReadBlock(const fs::path& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return Block();
  std::fseek(file, 0, SEEK_END);
  Block block(size_t(std::ftell(file)));
  std::fseek(file, 0, SEEK_SET);
  if (std::fread(block.bytes.get(), 1, block.size, file) != block.size) block = Block();
  std::fclose(file);
  return block;
}

// libjpeg-turbo on its own: the file read whole, decoded at 1/denominator into
// 32-bit rows of a new block.
Block DecodeDirectly(const fs::path& path, unsigned denominator, int& width, int& height) {
  const Block file = ReadBlock(path);
  jpeg_decompress_struct info{};
  jpeg_error_mgr error{};
  info.err = jpeg_std_error(&error);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, file.bytes.get(), file.size);
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_EXT_BGRX;
  info.dct_method = JDCT_ISLOW;
  info.scale_num = 1;
  info.scale_denom = denominator;
  jpeg_start_decompress(&info);
  width = int(info.output_width);
  height = int(info.output_height);
  Block rows(size_t(width) * height * 4);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = rows.bytes.get() + size_t(info.output_scanline) * width * 4;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return rows;
}

// libpng's row reader: each row read into its place in a new block as
// blue, green, red and a filler byte.
Block PngDirectly(const fs::path& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return Block();
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  Block rows;
  if (setjmp(png_jmpbuf(png)) == 0) {
    png_init_io(png, file);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_bgr(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_read_update_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    rows = Block(size_t(width) * height * 4);
    std::vector<png_bytep> pointers(height);
    for (png_uint_32 y = 0; y < height; ++y) pointers[y] = rows.bytes.get() + size_t(y) * width * 4;
    png_read_image(png, pointers.data());
    png_read_end(png, nullptr);
  }
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(file);
  return rows;
}

// libtiff's scanline reader on an uncompressed 24-bit file, each row turned
// by a plain loop into a 32-bit bottom-up row (blue, green, red, filler) of a
// new block.
Block TiffDirectly(const fs::path& path) {
  TIFF* tif = TIFFOpen(path.c_str(), "r");
  if (!tif) return Block();
  uint32_t width = 0, height = 0;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
  Block rows(size_t(width) * height * 4);
  Block line(size_t(TIFFScanlineSize(tif)));
  for (uint32_t y = 0; y < height; ++y) {
    if (TIFFReadScanline(tif, line.bytes.get(), y, 0) < 0) break;
    const uint8_t* in = line.bytes.get();
    uint8_t* out = rows.bytes.get() + size_t(height - 1 - y) * width * 4;
    for (uint32_t x = 0; x < width; ++x, in += 3, out += 4) {
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
      out[3] = 0xFF;
    }
  }
  TIFFClose(tif);
  return rows;
}

// Runs the toolkit's work and the reference's in turn, swapping their order
// every iteration so that neither always meets the other's caches; the
// iteration's time is the toolkit's. The counter is the toolkit's time over
// the reference's. check sees the first iteration's results.
template <class Ours, class Reference, class Check>
void Alternate(benchmark::State& state, const char* counter, Ours ours, Reference reference, Check check) {
  double oursSeconds = 0, referenceSeconds = 0;
  bool first = true;
  for (auto _ : state) {
    const bool oursFirst = state.iterations() % 2 == 0;
    decltype(ours()) oursResult{};
    decltype(reference()) referenceResult{};
    double oursTime = 0;
    for (int turn = 0; turn < 2; ++turn) {
      const Clock::time_point start = Clock::now();
      if ((turn == 0) == oursFirst) {
        oursResult = ours();
        oursTime = Seconds(start);
      } else {
        referenceResult = reference();
        referenceSeconds += Seconds(start);
      }
    }
    oursSeconds += oursTime;
    state.SetIterationTime(oursTime);
    if (first) {
      check(oursResult, referenceResult);
      first = false;
    }
  }
  state.counters[counter] = oursSeconds / referenceSeconds;
}

std::unique_ptr<CET_Dib> Load(const fs::path& path, int mode) {
  return std::unique_ptr<CET_Dib>(LoadPictFile(PathFromNative(path.string()), mode, nullptr, nullptr, 0, 0));
}

// The record's rows (bottom-up) equal the reference's (top-down) where compared.
void CheckRows(const CET_Dib& dib, const uint8_t* reference, int width, int height, benchmark::State& state) {
  if (!dib.IsValid() || dib.GetWidth() != width || dib.GetHeight() != height) {
    state.SkipWithError("wrong size");
    return;
  }
  for (int y = 0; y < height; y += 97) {
    const uint8_t* ours = dib.bits + size_t(height - 1 - y) * width * 4;
    const uint8_t* theirs = reference + size_t(y) * width * 4;
    for (int x = 0; x < width; ++x) {
      if (std::memcmp(ours + 4 * x, theirs + 4 * x, 3) != 0) {
        state.SkipWithError("pixels differ from the library's");
        return;
      }
    }
  }
}

void BM_JpegFullSize24MP(benchmark::State& state) {
  const Files& files = TheFiles();
  Alternate(
      state, "x_reference", [&] { return Load(files.jpeg, PICT_MODE_FULL); },
      [&] {
        int width = 0, height = 0;
        return DecodeDirectly(files.jpeg, 1, width, height);
      },
      [&](const std::unique_ptr<CET_Dib>& dib, const Block& rows) { CheckRows(*dib, rows.bytes.get(), kWidth, kHeight, state); });
}

void BM_JpegThumbnail24MP(benchmark::State& state) {
  const Files& files = TheFiles();
  Alternate(
      state, "x_reference", [&] { return Load(files.jpeg, PICT_MODE_THUMBNAIL); },
      [&] {
        int width = 0, height = 0;
        return DecodeDirectly(files.jpeg, 8, width, height);
      },
      [&](const std::unique_ptr<CET_Dib>& dib, const Block&) {
        if (!dib || dib->GetWidth() != 160 || dib->GetHeight() != 107) {
          state.SkipWithError("not a 160 x 107 thumbnail");
        }
      });
}

void BM_Png24MP(benchmark::State& state) {
  const Files& files = TheFiles();
  Alternate(
      state, "x_reference", [&] { return Load(files.png, PICT_MODE_FULL); }, [&] { return PngDirectly(files.png); },
      [&](const std::unique_ptr<CET_Dib>& dib, const Block& rows) { CheckRows(*dib, rows.bytes.get(), kWidth, kHeight, state); });
}

void BM_Tiff24MP(benchmark::State& state) {
  const Files& files = TheFiles();
  Alternate(
      state, "x_reference", [&] { return Load(files.tiff, PICT_MODE_FULL); }, [&] { return TiffDirectly(files.tiff); },
      [&](const std::unique_ptr<CET_Dib>& dib, const Block& rows) {
        // Both are bottom-up rows of blue, green, red and a filler.
        for (size_t i = 0; dib && i + 4 <= rows.size; i += 4 * 997) {
          if (std::memcmp(dib->bits + i, rows.bytes.get() + i, 3) != 0) {
            state.SkipWithError("pixels differ from the library's");
            return;
          }
        }
      });
}

// The plain pass: the picture copied through one table.
void PlainPass(const CET_Dib& picture, CET_Dib& out, const uint8_t (&table)[256]) {
  out.Set(picture.header, nullptr, 0);
  out.bits = NewDibBits(picture.size);
  out.size = picture.size;
  for (DWORD i = 0; i < picture.size; ++i) {
    out.bits[i] = table[picture.bits[i]];
  }
}

void BM_FilterDib24MP(benchmark::State& state) {
  const Files& files = TheFiles();
  CET_ImageFilter::BuildFilterTables();
  CET_FilterData settings;
  settings.m_nExposure = 50;
  settings.m_nContrast = 20;
  settings.m_nHighlight = -30;
  settings.m_nShadow = 20;
  settings.m_nSaturation = 30;
  settings.m_nCyan = 5;
  uint8_t table[256];
  for (int i = 0; i < 256; ++i) {
    table[i] = uint8_t(255 - i);
  }
  Alternate(
      state, "x_plain",
      [&] { return std::unique_ptr<CET_Dib>(CET_ImageFilter::FilterDib(&files.picture24, &settings, nullptr, nullptr)); },
      [&] {
        auto copy = std::make_unique<CET_Dib>();
        PlainPass(files.picture24, *copy, table);
        return copy;
      },
      [&](const std::unique_ptr<CET_Dib>& filtered, const std::unique_ptr<CET_Dib>&) {
        if (!filtered || filtered->size != files.picture24.size) {
          state.SkipWithError("no filtered picture");
        }
      });
}

void BM_FolderThumbnails500(benchmark::State& state) {
  const Files& files = TheFiles();
  std::vector<FString> paths;
  for (const auto& entry : fs::directory_iterator(files.folder)) {
    paths.push_back(PathFromNative(entry.path().string()));
  }
  bool checked = false;
  double seconds = 0;
  for (auto _ : state) {
    const Clock::time_point start = Clock::now();
    for (const FString& path : paths) {
      std::unique_ptr<CET_Dib> thumbnail(LoadPictFile(path, PICT_MODE_THUMBNAIL, nullptr, nullptr, 0, 0));
      if (!checked) {
        // The embedded 160 x 120 thumbnail, turned by orientation 6.
        if (!thumbnail || thumbnail->GetWidth() != 120 || thumbnail->GetHeight() != 160) {
          state.SkipWithError("not the embedded thumbnail");
        }
        checked = true;
      }
    }
    seconds += Seconds(start);
  }
  state.counters["files_per_second"] = double(paths.size()) * double(state.iterations()) / seconds;
}

} // namespace

BENCHMARK(BM_JpegFullSize24MP)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(6);
BENCHMARK(BM_JpegThumbnail24MP)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(20);
BENCHMARK(BM_Png24MP)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(4);
BENCHMARK(BM_Tiff24MP)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(6);
BENCHMARK(BM_FilterDib24MP)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(6);
BENCHMARK(BM_FolderThumbnails500)->Unit(benchmark::kMillisecond)->Iterations(5);
