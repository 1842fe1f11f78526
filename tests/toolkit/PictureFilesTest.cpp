#include "toolkit/CET_ExifData.h"
#include "toolkit/CET_GDIPlus.h"
#include "toolkit/DecodedPicture.h"
#include "toolkit/PictureFiles.h"

#include "foundation/FPath.h"
#include "support/BuildTree.h"
#include "support/ImageFileTest.h"
#include "support/PictureFileBuilder.h"

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

namespace {

using namespace testsupport;
namespace fs = std::filesystem;

// 0xRRGGBB of a record's pixel (x, y from the top).
uint32_t Colour(const CET_Dib& dib, int x, int y) {
  const int c = dib.GetPixel(x, y);
  return c < 0 ? 0xFFFFFFFFu : uint32_t(GetRValue(COLORREF(c))) << 16 | uint32_t(GetGValue(COLORREF(c))) << 8 | GetBValue(COLORREF(c));
}

bool Near(uint32_t a, uint32_t b, int tolerance = 24) {
  for (int shift : {0, 8, 16}) {
    if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > tolerance) {
      return false;
    }
  }
  return true;
}

// The colours near the four corners, clockwise from the top left.
std::array<uint32_t, 4> Corners(const CET_Dib& dib) {
  const int w = dib.GetWidth(), h = dib.GetHeight();
  const int l = w / 8, r = w - 1 - w / 8, t = h / 8, b = h - 1 - h / 8;
  return {Colour(dib, l, t), Colour(dib, r, t), Colour(dib, r, b), Colour(dib, l, b)};
}

constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF;

void ExpectCorners(const CET_Dib& dib, std::array<uint32_t, 4> expected, const std::string& what) {
  const auto corners = Corners(dib);
  for (int i = 0; i < 4; ++i) {
    EXPECT_TRUE(Near(corners[i], expected[i])) << what << " corner " << i << ": " << std::hex << corners[i];
  }
}

std::string ProfilePath(const char* name) {
  return (fs::path(Utf8FromWide(BuildTreeProgramPath())).parent_path() / "resources" / "icc" / name).string();
}

class PictureFilesTest : public ImageFileTest {
protected:
  FString Native(const std::string& name) const { return PathFromNative(PathOf(name).string()); }
  FString Put(const std::string& name, const PictureBytes& bytes) {
    WriteBytes(name, bytes);
    return Native(name);
  }
  std::unique_ptr<CET_Dib> Load(const std::string& name, int mode = 0, CET_ExifData* exif = nullptr,
                                SIZE* size = nullptr, int tw = 0, int th = 0) {
    return std::unique_ptr<CET_Dib>(LoadPictFile(Native(name), mode, exif, size, tw, th));
  }
  size_t FilesInFolder() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(m_Dir.Path()), fs::directory_iterator()));
  }

  CET_GDIPlus m_Codecs;
};

// ---- Decoding

TEST_F(PictureFilesTest, NothingForFoldersMissingFilesRawFilesAndStrangers) {
  EXPECT_FALSE(Load("missing.jpg"));
  fs::create_directory(PathOf("folder.jpg"));
  EXPECT_FALSE(Load("folder.jpg"));
  Put("raw.kvr", QuarterJpeg(16, 16));
  EXPECT_FALSE(Load("raw.kvr"));
  Put("text.jpg", PictureBytes{'h', 'e', 'l', 'l', 'o'});
  EXPECT_FALSE(Load("text.jpg"));
  BITMAPINFO header{};
  CET_PictLoadRequest request;
  request.path = Put("ok.jpg", QuarterJpeg(16, 16));
  EXPECT_EQ(LoadPictBits(request), nullptr); // no header to fill
  request.header = &header;
  std::unique_ptr<BYTE, void (*)(BYTE*)> bits(LoadPictBits(request), DeleteDibBits);
  EXPECT_TRUE(bits);
  EXPECT_EQ(header.bmiHeader.biBitCount, 32);
  EXPECT_EQ(header.bmiHeader.biHeight, 16); // bottom-up
}

TEST_F(PictureFilesTest, EveryOrientationLoadsUpright) {
  // Where the stored quarters (top left red, top right green, bottom left blue)
  // show after the file's orientation is applied.
  const std::array<uint32_t, 4> expected[9] = {
      {},
      {kRed, kGreen, kWhite, kBlue}, {kGreen, kRed, kBlue, kWhite}, {kWhite, kBlue, kRed, kGreen},
      {kBlue, kWhite, kGreen, kRed}, {kRed, kBlue, kWhite, kGreen}, {kBlue, kRed, kGreen, kWhite},
      {kWhite, kGreen, kRed, kBlue}, {kGreen, kWhite, kBlue, kRed},
  };
  for (int orientation = 1; orientation <= 8; ++orientation) {
    ExifFields layout;
    layout.orientation = uint16_t(orientation);
    layout.bigEndian = orientation % 2 == 0;
    Put("o.jpg", QuarterJpeg(64, 32, &layout, 95));
    SIZE size{};
    const auto dib = Load("o.jpg", PICT_MODE_FULL, nullptr, &size);
    ASSERT_TRUE(dib) << orientation;
    const bool exchanged = orientation >= 5;
    EXPECT_EQ(dib->GetWidth(), exchanged ? 32 : 64);
    EXPECT_EQ(size.cx, dib->GetWidth());
    EXPECT_EQ(size.cy, dib->GetHeight());
    ExpectCorners(*dib, expected[orientation], "orientation " + std::to_string(orientation));
  }
}

TEST_F(PictureFilesTest, OrientationSixLoadsUprightAtEveryModesSize) {
  ExifFields layout;
  layout.orientation = 6;
  Put("big.jpg", QuarterJpeg(4000, 3000, &layout, 80));
  const std::array<uint32_t, 4> upright = {kBlue, kRed, kGreen, kWhite};
  const struct {
    int mode, tw, th, width, height;
  } cases[] = {{PICT_MODE_THUMBNAIL, 0, 0, 120, 160}, {PICT_MODE_THUMBNAIL2, 0, 0, 120, 160},
               {PICT_MODE_SCALED, 300, 400, 300, 400}, {PICT_MODE_SCALED, 270, 360, 270, 360},
               {PICT_MODE_FULL, 0, 0, 3000, 4000}};
  for (const auto& c : cases) {
    SIZE size{};
    CET_ExifData exif;
    const auto dib = Load("big.jpg", c.mode, &exif, &size, c.tw, c.th);
    ASSERT_TRUE(dib) << c.mode;
    EXPECT_EQ(dib->GetWidth(), c.width) << c.mode;
    EXPECT_EQ(dib->GetHeight(), c.height) << c.mode;
    EXPECT_EQ(dib->size, DWORD(c.width * c.height * 4));
    EXPECT_EQ(size.cx, 3000);
    EXPECT_EQ(size.cy, 4000);
    EXPECT_EQ(exif.GetImageWidth(), 3000);
    EXPECT_TRUE(exif.FindItem(0x9000));
    ExpectCorners(*dib, upright, "mode " + std::to_string(c.mode));
  }
  EXPECT_FALSE(Load("big.jpg", PICT_MODE_SCALED, nullptr, nullptr, 0, 10));
}

TEST_F(PictureFilesTest, ThumbnailModeTakesTheEmbeddedThumbnailTurned) {
  ExifFields layout;
  layout.orientation = 8;
  layout.thumbnail = QuarterJpeg(40, 30);
  Put("thumb.jpg", QuarterJpeg(400, 300, &layout));
  SIZE size{};
  const auto dib = Load("thumb.jpg", PICT_MODE_THUMBNAIL, nullptr, &size);
  ASSERT_TRUE(dib);
  EXPECT_EQ(dib->GetWidth(), 30);
  EXPECT_EQ(dib->GetHeight(), 40);
  EXPECT_EQ(size.cx, 300);
  ExpectCorners(*dib, {kGreen, kWhite, kBlue, kRed}, "thumbnail");
  // A broken thumbnail falls back to scaling the picture.
  layout.thumbnail = PictureBytes{0xFF, 0xD8, 0xFF, 0xD9, 1, 2, 3};
  Put("broken.jpg", QuarterJpeg(400, 300, &layout));
  const auto scaled = Load("broken.jpg", PICT_MODE_THUMBNAIL);
  ASSERT_TRUE(scaled);
  EXPECT_EQ(scaled->GetHeight(), 160);
}

TEST_F(PictureFilesTest, CutJpegStreamsAreRefused) {
  const PictureBytes jpeg = QuarterJpeg(64, 64);
  Put("cut.jpg", PictureBytes(jpeg.begin(), jpeg.begin() + static_cast<long>(jpeg.size() * 2 / 3)));
  EXPECT_FALSE(Load("cut.jpg"));
}

// ---- BMP files

TEST_F(PictureFilesTest, BmpReaderWidensEveryDepthToThirtyTwoBits) {
  Put("eight.bmp", MakeBmp({}));
  const auto eight = Load("eight.bmp");
  ASSERT_TRUE(eight);
  EXPECT_EQ(eight->GetBitCount(), 32);
  EXPECT_EQ(eight->size, 3u * 4 * 2);
  EXPECT_EQ(eight->header->bmiHeader.biSizeImage, 24u);
  EXPECT_EQ(eight->header->bmiHeader.biHeight, 2); // the file's sign
  // Memory row 0 is the file's first row: indices 0, 1, 2 -> greys 0, 10, 20.
  EXPECT_EQ(eight->bits[4], 10);
  EXPECT_EQ(eight->bits[8], 20);
  EXPECT_EQ(eight->bits[12], 10); // next row starts right after 3 pixels

  BmpLayout v5;
  v5.headerSize = 124;
  v5.colours = 4;
  Put("v5.bmp", MakeBmp(v5));
  const auto fromV5 = Load("v5.bmp");
  ASSERT_TRUE(fromV5);
  EXPECT_EQ(fromV5->bits[8], 20);
  EXPECT_EQ(fromV5->header->bmiHeader.biSize, 40u);

  BmpLayout rgb;
  rgb.bitCount = 24;
  rgb.height = -2;
  Put("rgb.bmp", MakeBmp(rgb));
  const auto fromRgb = Load("rgb.bmp");
  ASSERT_TRUE(fromRgb);
  EXPECT_EQ(fromRgb->header->bmiHeader.biHeight, -2);
  EXPECT_EQ(fromRgb->bits[4 + 1], 10);
  EXPECT_EQ(fromRgb->bits[7], 0xFF);

  BmpLayout masked;
  masked.bitCount = 32;
  masked.compression = BI_BITFIELDS;
  masked.masks = {0xFF0000, 0xFF00, 0xFF};
  Put("masked.bmp", MakeBmp(masked));
  EXPECT_TRUE(Load("masked.bmp"));

  BmpLayout sixteen;
  sixteen.bitCount = 16;
  Put("sixteen.bmp", MakeBmp(sixteen));
  const auto white = Load("sixteen.bmp");
  ASSERT_TRUE(white);
  EXPECT_EQ(Colour(*white, 1, 1), kWhite);
}

TEST_F(PictureFilesTest, HostileBmpFilesAreRefused) {
  std::vector<std::pair<std::string, PictureBytes>> files;
  PictureBytes good = MakeBmp({});
  files.push_back({"truncated", PictureBytes(good.begin(), good.end() - 3)});
  PictureBytes farData = good;
  farData[10] = 0xF0;
  farData[11] = 0xFF;
  files.push_back({"offset", farData});
  BmpLayout fewColours;
  fewColours.colours = 1; // pixels index up to 3
  files.push_back({"index", MakeBmp(fewColours)});
  BmpLayout rle;
  rle.compression = BI_RLE8;
  files.push_back({"rle", MakeBmp(rle)});
  BmpLayout oddMasks;
  oddMasks.bitCount = 32;
  oddMasks.compression = BI_BITFIELDS;
  oddMasks.masks = {0xFF, 0xFF00, 0xFF0000};
  files.push_back({"masks", MakeBmp(oddMasks)});
  PictureBytes huge = good;
  huge[18 + 3] = 0x40; // width 2^30: refused before anything is allocated
  files.push_back({"huge", huge});
  PictureBytes smallest = good;
  smallest[22] = 0, smallest[23] = 0, smallest[24] = 0, smallest[25] = 0x80; // height INT32_MIN
  files.push_back({"minheight", smallest});
  PictureBytes shortHeader = good;
  shortHeader[14] = 12; // an OS/2 core header
  files.push_back({"core", shortHeader});
  files.push_back({"tiny", PictureBytes{'B', 'M', 0}});
  for (const auto& [name, bytes] : files) {
    Put(name + ".bmp", bytes);
    EXPECT_FALSE(Load(name + ".bmp")) << name;
  }
}

// ---- PNG, GIF and TIFF files made by their own libraries

PictureBytes PngOf(int width, int height, bool alpha, const std::function<void(int, int, uint8_t*)>& fill) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = uint32_t(width);
  image.height = uint32_t(height);
  image.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  const int channels = alpha ? 4 : 3;
  std::vector<uint8_t> pixels(size_t(width) * height * channels);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      fill(x, y, &pixels[(size_t(y) * width + x) * channels]);
    }
  }
  png_alloc_size_t size = 0;
  png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr);
  PictureBytes out(size);
  EXPECT_TRUE(png_image_write_to_memory(&image, out.data(), &size, 0, pixels.data(), 0, nullptr));
  out.resize(size);
  return out;
}

TEST_F(PictureFilesTest, PngAlphaComesOutOverWhite) {
  Put("alpha.png", PngOf(4, 2, true, [](int x, int, uint8_t* p) {
        p[0] = 255, p[1] = 0, p[2] = 0, p[3] = x == 0 ? 0 : x == 1 ? 128 : 255;
      }));
  const auto dib = Load("alpha.png");
  ASSERT_TRUE(dib);
  EXPECT_EQ(Colour(*dib, 0, 0), kWhite);
  EXPECT_TRUE(Near(Colour(*dib, 1, 0), 0xFF7F7F, 2)) << std::hex << Colour(*dib, 1, 0);
  EXPECT_EQ(Colour(*dib, 2, 1), kRed);
}

TEST_F(PictureFilesTest, PngExifOrientationTurnsThePicture) {
  // The eXIf chunk goes in front of the pixel data.
  PictureBytes png = PngOf(64, 32, false, [](int x, int y, uint8_t* p) {
    const uint32_t c = QuarterColour(64, 32, x, y);
    p[0] = uint8_t(c >> 16), p[1] = uint8_t(c >> 8), p[2] = uint8_t(c);
  });
  ExifFields layout;
  layout.orientation = 3;
  const PictureBytes exif = BuildExifStructure(layout);
  PictureBytes chunk = {uint8_t(exif.size() >> 24), uint8_t(exif.size() >> 16), uint8_t(exif.size() >> 8),
                        uint8_t(exif.size()), 'e', 'X', 'I', 'f'};
  chunk.insert(chunk.end(), exif.begin(), exif.end());
  chunk.insert(chunk.end(), {0, 0, 0, 0}); // the CRC is not checked by the walk
  png.insert(png.begin() + 33, chunk.begin(), chunk.end());
  Put("turned.png", png);
  CET_ExifData items;
  const auto dib = Load("turned.png", PICT_MODE_FULL, &items);
  ASSERT_TRUE(dib);
  ExpectCorners(*dib, {kWhite, kBlue, kRed, kGreen}, "png");
  EXPECT_TRUE(items.FindItem(0x010F));
}

void WriteGif(const fs::path& path, bool interlaced) {
  int error = 0;
  GifFileType* gif = EGifOpenFileName(path.c_str(), false, &error);
  ASSERT_TRUE(gif);
  GifColorType colours[4] = {{255, 0, 0}, {0, 0, 255}, {0, 255, 0}, {0, 0, 0}};
  ColorMapObject* map = GifMakeMapObject(4, colours);
  EGifPutScreenDesc(gif, 8, 8, 2, 0, map);
  GraphicsControlBlock control{};
  control.TransparentColor = 3;
  GifByteType extension[4];
  EGifGCBToExtension(&control, extension);
  EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension);
  // A 6 x 4 frame at (1, 2): rows of colour index y % 3, the last column transparent.
  EGifPutImageDesc(gif, 1, 2, 6, 4, interlaced, nullptr);
  const int order[4] = {0, 2, 1, 3}; // the interlaced passes of 4 rows: 0, then 2, then 1 and 3
  for (int i = 0; i < 4; ++i) {
    const int y = interlaced ? order[i] : i;
    GifPixelType line[6];
    for (int x = 0; x < 6; ++x) line[x] = GifPixelType(x == 5 ? 3 : y % 3);
    EGifPutLine(gif, line, 6);
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
}

TEST_F(PictureFilesTest, GifFirstFrameOnItsScreenWithTransparencyWhite) {
  for (const bool interlaced : {false, true}) {
    WriteGif(PathOf("a.gif"), interlaced);
    const auto dib = Load("a.gif");
    ASSERT_TRUE(dib);
    EXPECT_EQ(dib->GetWidth(), 8);
    EXPECT_EQ(Colour(*dib, 0, 0), kWhite);   // outside the frame
    EXPECT_EQ(Colour(*dib, 1, 2), kRed);     // frame row 0
    EXPECT_EQ(Colour(*dib, 2, 3), kBlue);    // frame row 1
    EXPECT_EQ(Colour(*dib, 2, 4), kGreen);   // frame row 2
    EXPECT_EQ(Colour(*dib, 6, 2), kWhite);   // transparent
  }
}

TEST_F(PictureFilesTest, TiffLayoutsThroughTheLibrarysReader) {
  // 16-bit RGB with an alpha sample and the orientation tag: the generic reader.
  TIFF* tif = TIFFOpen(PathOf("deep.tif").c_str(), "w");
  ASSERT_TRUE(tif);
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 64);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 32);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 16);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 4);
  const uint16_t extra[1] = {EXTRASAMPLE_UNASSALPHA};
  TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_ORIENTATION, 6);
  std::vector<uint16_t> row(64 * 4);
  for (int y = 0; y < 32; ++y) {
    for (int x = 0; x < 64; ++x) {
      const uint32_t c = QuarterColour(64, 32, x, y);
      row[4 * x] = uint16_t(((c >> 16) & 0xFF) * 257);
      row[4 * x + 1] = uint16_t(((c >> 8) & 0xFF) * 257);
      row[4 * x + 2] = uint16_t((c & 0xFF) * 257);
      row[4 * x + 3] = x == 0 && y == 0 ? 0 : 65535;
    }
    TIFFWriteScanline(tif, row.data(), uint32_t(y), 0);
  }
  TIFFClose(tif);
  const auto dib = Load("deep.tif");
  ASSERT_TRUE(dib);
  EXPECT_EQ(dib->GetWidth(), 32);
  ExpectCorners(*dib, {kBlue, kRed, kGreen, kWhite}, "16-bit tiff");
  EXPECT_EQ(Colour(*dib, 31, 0), kWhite); // the transparent stored top-left pixel, turned
}

// ---- Saving

struct SavedPicture {
  BITMAPINFO header{};
  std::vector<BYTE> bits;
};

SavedPicture QuarterDib(int width, int height, int bitCount, bool topDown = false) {
  SavedPicture p;
  p.header.bmiHeader.biSize = 40;
  p.header.bmiHeader.biWidth = width;
  p.header.bmiHeader.biHeight = topDown ? -height : height;
  p.header.bmiHeader.biPlanes = 1;
  p.header.bmiHeader.biBitCount = WORD(bitCount);
  const auto stride = DibRowBytes(width, bitCount);
  p.bits.assign(size_t(stride * height), 0);
  for (int y = 0; y < height; ++y) {
    const int row = topDown ? y : height - 1 - y;
    for (int x = 0; x < width; ++x) {
      const uint32_t c = QuarterColour(width, height, x, y);
      BYTE* px = &p.bits[size_t(row * stride + x * bitCount / 8)];
      px[0] = BYTE(c), px[1] = BYTE(c >> 8), px[2] = BYTE(c >> 16);
    }
  }
  p.header.bmiHeader.biSizeImage = DWORD(p.bits.size());
  return p;
}

// Debian's Python, which has Pillow.
std::string Python(const std::string& script) {
  const std::string python = fs::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
  return RunTool(python + " -c \"" + script + "\" 2>&1").output;
}

TEST_F(PictureFilesTest, EveryFormatSavedAndReadBackByItsOwnTools) {
  ExifFields layout;
  layout.orientation = 6;
  layout.markFlag = 1;
  Put("source.jpg", QuarterJpeg(64, 32, &layout));
  const FString profile = PathFromNative(ProfilePath("sRGB.icc"));
  const auto profileSize = fs::file_size(ProfilePath("sRGB.icc"));
  const struct {
    int type;
    const char* name;
    bool metadata;
  } formats[] = {{0, "out.jpg", true}, {1, "out.tif", true}, {2, "out48.tif", true}, {3, "out.png", true},
                 {4, "out.bmp", false}, {5, "out.gif", false}};
  for (const int bitCount : {24, 32}) {
    const SavedPicture picture = QuarterDib(30, 20, bitCount, bitCount == 32);
    for (const auto& f : formats) {
      SCOPED_TRACE(std::string(f.name) + " from " + std::to_string(bitCount) + " bits");
      ASSERT_EQ(SaveDibAsImageFile(Native(f.name), &picture.header, picture.bits.data(), f.type, &m_Codecs, 90,
                                   profile, nullptr, Native("source.jpg")),
                1);
      const std::string path = PathOf(f.name).string();
      // Pillow opens every format: size, orientation and profile as it sees them.
      const std::string seen = Python("from PIL import Image; im = Image.open('" + path + "'); im.load(); "
                                      "print(im.size, im.getexif().get(274), len(im.info.get('icc_profile') or b''), "
                                      "im.getexif().get(271))");
      if (f.metadata) {
        EXPECT_EQ(seen, "(30, 20) 1 " + std::to_string(profileSize) + " TALVO\n");
      } else {
        EXPECT_EQ(seen, "(30, 20) None 0 None\n");
      }
      CET_ExifData items;
      const auto back = Load(f.name, PICT_MODE_FULL, &items);
      ASSERT_TRUE(back);
      ExpectCorners(*back, {kRed, kGreen, kWhite, kBlue}, f.name);
      EXPECT_EQ(items.GetCount() > 0, f.metadata);
      EXPECT_EQ(items.FindItem(37500), nullptr); // the maker note stays behind
      EXPECT_EQ(items.FindItem(0x829A) != nullptr, f.metadata);
    }
  }
  if (ToolAvailable("djpeg")) {
    EXPECT_EQ(RunTool("djpeg -pnm " + PathOf("out.jpg").string() + " >/dev/null").status, 0);
  }
  if (ToolAvailable("tiffinfo")) {
    const ToolResult info = RunTool("tiffinfo " + PathOf("out48.tif").string() + " 2>&1");
    EXPECT_EQ(info.status, 0);
    EXPECT_NE(info.output.find("Samples/Pixel: 3"), std::string::npos) << info.output;
    EXPECT_NE(info.output.find("Compression Scheme: None"), std::string::npos);
    EXPECT_NE(info.output.find("ICC Profile: <present>, " + std::to_string(profileSize) + " bytes"), std::string::npos);
    EXPECT_NE(info.output.find("EXIFIFDOffset"), std::string::npos);
    EXPECT_EQ(info.output.find("Warning"), std::string::npos) << info.output;
  }
  if (ToolAvailable("pngcheck")) {
    const ToolResult check = RunTool("pngcheck -v " + PathOf("out.png").string() + " 2>&1");
    EXPECT_EQ(check.status, 0) << check.output;
    EXPECT_NE(check.output.find("eXIf"), std::string::npos);
    EXPECT_NE(check.output.find("iCCP"), std::string::npos);
  }
}

TEST_F(PictureFilesTest, SavesThatCannotHappenLeaveNothingBehind) {
  const SavedPicture picture = QuarterDib(8, 8, 24);
  EXPECT_EQ(SaveDibAsImageFile(Native("movie.avi"), &picture.header, picture.bits.data(), 7, &m_Codecs, 90, FString(),
                               nullptr, FString()),
            0);
  EXPECT_EQ(SaveDibAsImageFile(Native("x.jpg"), &picture.header, picture.bits.data(), 0, nullptr, 90, FString(),
                               nullptr, FString()),
            0);
  SavedPicture eightBit = picture;
  eightBit.header.bmiHeader.biBitCount = 8;
  EXPECT_EQ(SaveDibAsImageFile(Native("x.jpg"), &eightBit.header, eightBit.bits.data(), 0, &m_Codecs, 90, FString(),
                               nullptr, FString()),
            0);
  SavedPicture shortBlock = picture;
  shortBlock.header.bmiHeader.biSizeImage = 10;
  EXPECT_EQ(SaveDibAsImageFile(Native("x.jpg"), &shortBlock.header, shortBlock.bits.data(), 0, &m_Codecs, 90,
                               FString(), nullptr, FString()),
            0);
  EXPECT_EQ(FilesInFolder(), 0u);

  // A locked file is never replaced, and a failed write leaves the old file.
  WriteBytes("locked.png", PictureBytes{'o', 'l', 'd'});
  chmod(PathOf("locked.png").c_str(), 0444);
  EXPECT_EQ(SaveDibAsImageFile(Native("locked.png"), &picture.header, picture.bits.data(), 3, &m_Codecs, 90,
                               FString(), nullptr, FString()),
            0);
  EXPECT_EQ(FileBytes("locked.png"), (PictureBytes{'o', 'l', 'd'}));
  WriteBytes("full.tif", PictureBytes{'o', 'l', 'd'});
  {
    FileSizeLimit limit(64);
    EXPECT_EQ(SaveDibAsImageFile(Native("full.tif"), &picture.header, picture.bits.data(), 1, &m_Codecs, 90,
                                 FString(), nullptr, FString()),
              0);
  }
  EXPECT_EQ(FileBytes("full.tif"), (PictureBytes{'o', 'l', 'd'}));
  EXPECT_EQ(FilesInFolder(), 2u);
  EXPECT_EQ(SaveDibAsImageFile(Native("no/such/folder.jpg"), &picture.header, picture.bits.data(), 0, &m_Codecs, 90,
                               FString(), nullptr, FString()),
            0);

  // A profile that cannot be read is left out, not the picture.
  ASSERT_EQ(SaveDibAsImageFile(Native("plain.jpg"), &picture.header, picture.bits.data(), 0, &m_Codecs, 90,
                               Native("missing.icc"), nullptr, FString()),
            1);
  const std::vector<JpegMarker> markers = ReadJpegMarkers(FileBytes("plain.jpg"));
  EXPECT_TRUE(std::none_of(markers.begin(), markers.end(), [](const JpegMarker& m) { return m.code == 0xE2; }));
}

TEST_F(PictureFilesTest, ItemsOfTheRecordAreWrittenWhenNoSourceIsGiven) {
  ExifFields layout;
  layout.orientation = 3;
  CET_ExifData items;
  const PictureBytes structure = BuildExifStructure(layout);
  ASSERT_EQ(items.ParseBuffer(structure.data(), structure.size()), 1);
  const SavedPicture picture = QuarterDib(10, 10, 24);
  ASSERT_EQ(SaveDibAsImageFile(Native("r.jpg"), &picture.header, picture.bits.data(), 0, &m_Codecs, 50, FString(),
                               &items, Native("unreadable.jpg")),
            1);
  CET_ExifData back;
  ASSERT_EQ(back.ReadFile(Native("r.jpg")), 1);
  EXPECT_TRUE(back.FindItem(0x9000));
  const auto* orientation = back.FindItem(0x0112);
  ASSERT_TRUE(orientation);
  EXPECT_EQ(*static_cast<const uint16_t*>(orientation->value), 1);
}

// ---- Turning files

TEST_F(PictureFilesTest, RotateImageFileTurnsIntoTheDestinationsFormat) {
  ExifFields layout;
  layout.markFlag = 0;
  const PictureBytes source = QuarterJpeg(64, 32, &layout, 95);
  Put("a.jpg", source);
  ASSERT_EQ(RotateImageFile(Native("a.jpg"), Native("a.jpg"), 1, &m_Codecs, nullptr, 98), 1);
  const auto turned = Load("a.jpg");
  ASSERT_TRUE(turned);
  EXPECT_EQ(turned->GetWidth(), 32);
  ExpectCorners(*turned, {kBlue, kRed, kGreen, kWhite}, "clockwise");
  CET_ExifData items;
  ASSERT_EQ(items.ReadFile(Native("a.jpg")), 1);
  EXPECT_TRUE(items.FindItem(0x829A));

  ASSERT_EQ(RotateImageFile(Native("a.jpg"), Native("b.png"), 3, &m_Codecs, nullptr, 98), 1);
  const auto back = Load("b.png");
  ASSERT_TRUE(back);
  EXPECT_EQ(back->GetWidth(), 64);
  ExpectCorners(*back, {kRed, kGreen, kWhite, kBlue}, "back");

  Put("c.bmp", MakeBmp({}));
  EXPECT_EQ(RotateImageFile(Native("c.bmp"), Native("d.jpg"), 1, &m_Codecs, nullptr, 98), 0);
  EXPECT_EQ(RotateImageFile(Native("a.jpg"), Native("e.xyz"), 1, &m_Codecs, nullptr, 98), 0);
  EXPECT_EQ(RotateImageFile(Native("a.jpg"), Native("f.jpg"), 9, &m_Codecs, nullptr, 98), 0);
  EXPECT_FALSE(Exists("d.jpg"));
  EXPECT_FALSE(Exists("e.xyz"));
  EXPECT_FALSE(Exists("f.jpg"));
}

TEST_F(PictureFilesTest, RotateImageFileAddsMissingItemsOnlyToFilesWithoutExifVersion) {
  ExifBytes b(false);
  b.Append({'I', 'I', 42, 0, 8, 0, 0, 0});
  b.AppendIfd({b.Ascii(0x010F, "OTHER")});
  Put("bare.jpg", InsertSegment(QuarterJpeg(16, 16), 0xE1, ExifApp1Data(b.Bytes())));
  ExifFields layout;
  CET_ExifData extra;
  const PictureBytes structure = BuildExifStructure(layout);
  ASSERT_EQ(extra.ParseBuffer(structure.data(), structure.size()), 1);
  ASSERT_EQ(RotateImageFile(Native("bare.jpg"), Native("merged.jpg"), 2, &m_Codecs, &extra, 98), 1);
  CET_ExifData merged;
  ASSERT_EQ(merged.ReadFile(Native("merged.jpg")), 1);
  EXPECT_EQ(std::string(static_cast<const char*>(merged.FindItem(0x010F)->value)), "OTHER"); // the file's own
  EXPECT_TRUE(merged.FindItem(0x9000));
  EXPECT_TRUE(merged.FindItem(0x011A));
}

} // namespace
