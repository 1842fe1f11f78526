// The raster DC: GDI's pixel rules, DIB sections, blits and StretchDIBits
// with both row orders, bands, viewport origins and refused input.

#include "platform/afx/AfxDC.h"
#include "platform/testing/Headless.h"
#include "RasterCanvas.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace pt = platform::testing;

namespace {

// A picture whose pixel at (x, y from the top) is (B, G, R) = (x, y, 200).
struct Picture {
  BITMAPINFO info{};
  std::vector<BYTE> bits;
  Picture(int width, int height, bool bottomUp, int bitCount = 24) {
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = bottomUp ? height : -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = static_cast<WORD>(bitCount);
    const auto row = DibRowBytes(width, bitCount);
    bits.assign(static_cast<std::size_t>(row * height), 0xEE);
    info.bmiHeader.biSizeImage = static_cast<DWORD>(bits.size());
    for (int y = 0; y < height && bitCount >= 24; ++y) {
      const int memoryRow = bottomUp ? height - 1 - y : y;
      for (int x = 0; x < width; ++x) {
        BYTE* p = &bits[static_cast<std::size_t>(memoryRow * row + x * (bitCount / 8))];
        p[0] = static_cast<BYTE>(x);
        p[1] = static_cast<BYTE>(y);
        p[2] = 200;
      }
    }
  }
};

class PlatformRaster : public ::testing::Test {
protected:
  void SetUp() override { pt::Init(); }
};

// A guard: every pixel and metric below assumes this setting.
TEST_F(PlatformRaster, TheHeadlessScreenAndFontsArePinned) {
  const pt::ScreenSetting screen = pt::Screen();
  EXPECT_EQ(screen.width, 1920);
  EXPECT_EQ(screen.height, 1080);
  EXPECT_EQ(screen.logicalDpi, 96.0);
  EXPECT_EQ(screen.devicePixelRatio, 1.0);
  for (const char16_t* face : {u"Tahoma", u"MS Shell Dlg", u"Segoe UI", u""}) {
    LOGFONTW lf{};
    lf.lfHeight = -13;
    std::copy(face, face + std::char_traits<char16_t>::length(face), lf.lfFaceName);
    EXPECT_EQ(pt::ResolvedFamily(lf), "DejaVu Sans");
  }
  // DejaVu Sans 2.37 unhinted at 13 pixels: ascent 12, descent 3.
  Canvas c(4, 4);
  LOGFONTW lf{};
  lf.lfHeight = -13;
  CFont font;
  font.CreateFontIndirect(&lf);
  c.dc.SelectObject(&font);
  TEXTMETRICW tm{};
  ASSERT_TRUE(c.dc.GetTextMetrics(&tm));
  EXPECT_EQ(tm.tmAscent, 12);
  EXPECT_EQ(tm.tmDescent, 3);
  EXPECT_EQ(tm.tmHeight, 15);
  c.dc.SelectStockObject(DEFAULT_GUI_FONT);
}

TEST_F(PlatformRaster, FillsFramesAndLinesKeepGdiEdges) {
  Canvas c(12, 8);
  CBrush red(RGB(255, 0, 0));
  const RECT r{2, 1, 6, 4};
  FillRect(c.dc, &r, red);
  EXPECT_EQ(c.Pixel(2, 1), RGB(255, 0, 0));
  EXPECT_EQ(c.Pixel(5, 3), RGB(255, 0, 0));
  EXPECT_EQ(c.Pixel(6, 3), RGB(1, 2, 3)) << "right edge exclusive";
  EXPECT_EQ(c.Pixel(5, 4), RGB(1, 2, 3)) << "bottom edge exclusive";

  c.FillAll(RGB(1, 2, 3));
  CBrush blue(RGB(0, 0, 255));
  const RECT f{1, 1, 5, 5};
  FrameRect(c.dc, &f, blue);
  EXPECT_EQ(c.Pixel(1, 1), RGB(0, 0, 255));
  EXPECT_EQ(c.Pixel(4, 4), RGB(0, 0, 255));
  EXPECT_EQ(c.Pixel(2, 2), RGB(1, 2, 3));
  EXPECT_EQ(c.Pixel(5, 4), RGB(1, 2, 3));

  c.FillAll(RGB(1, 2, 3));
  CPen pen(PS_SOLID, 1, RGB(23, 23, 23));
  CPen* oldPen = c.dc.SelectObject(&pen);
  c.dc.MoveTo(0, 6);
  c.dc.LineTo(10, 6);
  c.dc.SelectObject(oldPen);
  EXPECT_EQ(c.Pixel(0, 6), RGB(23, 23, 23));
  EXPECT_EQ(c.Pixel(9, 6), RGB(23, 23, 23));
  EXPECT_EQ(c.Pixel(10, 6), RGB(1, 2, 3)) << "LineTo leaves its end point out";
}

TEST_F(PlatformRaster, BottomUpAndTopDownPicturesLandUprightAtOneToOne) {
  for (const bool bottomUp : {true, false}) {
    SCOPED_TRACE(bottomUp ? "bottom-up" : "top-down");
    const Picture picture(101, 3, bottomUp);
    EXPECT_EQ(DibRowBytes(101, 24), 304);
    for (const bool targetBottomUp : {false, true}) {
      Canvas c(101, 3, targetBottomUp, 24);
      ASSERT_EQ(StretchDIBits(c.dc, 0, 0, 101, 3, 0, 0, 101, 3, picture.bits.data(), &picture.info, DIB_RGB_COLORS,
                              SRCCOPY),
                3);
      for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 101; ++x) ASSERT_EQ(c.Pixel(x, y), RGB(200, y, x)) << x << "," << y;
      }
    }
  }
}

TEST_F(PlatformRaster, TheSourceOriginCountsFromTheFirstMemoryRowsSide) {
  // Rows 1..2 of a 4-row picture, asked for as (0, 1, w, 2): for a bottom-up
  // picture counted from its bottom, so the picture's rows 1 and 2 from the top.
  const Picture bottomUp(5, 4, true), topDown(5, 4, false);
  Canvas a(5, 2), b(5, 2);
  StretchDIBits(a.dc, 0, 0, 5, 2, 0, 1, 5, 2, bottomUp.bits.data(), &bottomUp.info, DIB_RGB_COLORS, SRCCOPY);
  StretchDIBits(b.dc, 0, 0, 5, 2, 0, 1, 5, 2, topDown.bits.data(), &topDown.info, DIB_RGB_COLORS, SRCCOPY);
  EXPECT_EQ(a.Pixel(0, 0), RGB(200, 1, 0));
  EXPECT_EQ(a.Pixel(0, 1), RGB(200, 2, 0));
  EXPECT_EQ(b.Pixel(0, 0), RGB(200, 1, 0));
  EXPECT_EQ(b.Pixel(0, 1), RGB(200, 2, 0));
}

TEST_F(PlatformRaster, BandsOfRowsEqualOneBlitAtOneToOneAndDoubled) {
  const int width = 7, height = 500;
  Picture picture(width, height, true);
  for (const int scale : {1, 2}) {
    SCOPED_TRACE(scale);
    Canvas whole(width * scale, height * scale), banded(width * scale, height * scale);
    StretchDIBits(whole.dc, 0, 0, width * scale, height * scale, 0, 0, width, height, picture.bits.data(),
                  &picture.info, DIB_RGB_COLORS, SRCCOPY);
    // The printer path: bands of 240 rows from the bottom, each with its own height.
    BITMAPINFO band = picture.info;
    const auto row = DibRowBytes(width, 24);
    int bottom = height * scale;
    for (int first = 0; first < height; first += 240) {
      const int rows = std::min(240, height - first);
      band.bmiHeader.biHeight = rows;
      band.bmiHeader.biSizeImage = static_cast<DWORD>(rows * row);
      StretchDIBits(banded.dc, 0, bottom - rows * scale, width * scale, rows * scale, 0, 0, width, rows,
                    picture.bits.data() + first * row, &band, DIB_RGB_COLORS, SRCCOPY);
      bottom -= rows * scale;
    }
    EXPECT_EQ(std::memcmp(whole.bits, banded.bits, static_cast<std::size_t>(DibRowBytes(width * scale, 32)) *
                                                       static_cast<std::size_t>(height * scale)),
              0);
    EXPECT_EQ(whole.Pixel(2 * scale + scale - 1, 499 * scale), RGB(200, 499 % 256, 2)) << "nearest, no smoothing";
  }
}

TEST_F(PlatformRaster, SectionBitsAndDrawingSeeEachOther) {
  Canvas source(4, 4), target(8, 8);
  BYTE* p = source.At(1, 2);
  p[0] = 9; // blue
  p[1] = 8;
  p[2] = 7;
  target.FillAll(RGB(0, 0, 0));
  BitBlt(target.dc, 0, 0, 4, 4, source.dc, 0, 0, SRCCOPY);
  EXPECT_EQ(target.Pixel(1, 2), RGB(7, 8, 9));
  StretchBlt(target.dc, 0, 0, 8, 8, source.dc, 0, 0, 4, 4, SRCCOPY);
  EXPECT_EQ(target.Pixel(2, 4), RGB(7, 8, 9));
  EXPECT_EQ(target.Pixel(3, 5), RGB(7, 8, 9)) << "an integer ratio doubles each pixel";
  EXPECT_EQ(target.Pixel(4, 5), RGB(1, 2, 3));
  // A negative width mirrors.
  StretchBlt(target.dc, 3, 0, -4, 4, source.dc, 0, 0, 4, 4, SRCCOPY);
  EXPECT_EQ(target.Pixel(2, 2), RGB(7, 8, 9));
}

// A stretch takes, for each destination pixel, the source pixel under its
// centre: the same on 24- and 32-bit targets of either row order, mirrored or
// not, shrunk or grown.
TEST_F(PlatformRaster, StretchesTakeTheSourcePixelUnderEachCentre) {
  const Picture picture(7, 5, true);
  for (const int bitCount : {24, 32}) {
    for (const bool bottomUp : {false, true}) {
      for (const SIZE size : {SIZE{3, 2}, SIZE{14, 10}, SIZE{5, 7}}) {
        for (const bool mirror : {false, true}) {
          SCOPED_TRACE(testing::Message() << bitCount << " bit, bottom-up " << bottomUp << ", " << size.cx << "x"
                                          << size.cy << ", mirrored " << mirror);
          Canvas c(16, 12, bottomUp, bitCount);
          StretchDIBits(c.dc, mirror ? size.cx - 1 : 0, 0, mirror ? -size.cx : size.cx, size.cy, 0, 0, 7, 5,
                        picture.bits.data(), &picture.info, DIB_RGB_COLORS, SRCCOPY);
          for (int y = 0; y < size.cy; ++y) {
            for (int x = 0; x < size.cx; ++x) {
              const int under = (2 * x + 1) * 7 / (2 * size.cx);
              const int sx = mirror ? 6 - under : under;
              const int sy = (2 * y + 1) * 5 / (2 * size.cy);
              ASSERT_EQ(c.Pixel(x, y), RGB(200, sy, sx)) << "at " << x << "," << y;
            }
          }
          EXPECT_EQ(c.Pixel(size.cx, 0), RGB(1, 2, 3)) << "nothing beyond the destination";
        }
      }
    }
  }
}

// Clipped to two rectangles, a stretch writes exactly the unclipped pixels
// inside them and nothing outside.
TEST_F(PlatformRaster, AClippedStretchWritesOnlyInsideTheClip) {
  const Picture picture(7, 5, false);
  for (const int bitCount : {24, 32}) {
    SCOPED_TRACE(bitCount);
    Canvas whole(16, 12, true, bitCount), clipped(16, 12, true, bitCount);
    HRGN region = CreateRectRgn(1, 1, 4, 3);
    HRGN second = CreateRectRgn(6, 5, 9, 11);
    CombineRgn(region, region, second, RGN_OR);
    SelectClipRgn(clipped.dc, region);
    for (Canvas* c : {&whole, &clipped}) {
      StretchDIBits(c->dc, 0, 0, 16, 12, 0, 0, 7, 5, picture.bits.data(), &picture.info, DIB_RGB_COLORS, SRCCOPY);
    }
    for (int y = 0; y < 12; ++y) {
      for (int x = 0; x < 16; ++x) {
        const bool inside = (x >= 1 && x < 4 && y >= 1 && y < 3) || (x >= 6 && x < 9 && y >= 5 && y < 11);
        ASSERT_EQ(clipped.Pixel(x, y), inside ? whole.Pixel(x, y) : RGB(1, 2, 3)) << "at " << x << "," << y;
      }
    }
    SelectClipRgn(clipped.dc, nullptr);
    DeleteObject(second);
    DeleteObject(region);
  }
}

TEST_F(PlatformRaster, TheViewportOriginMovesLogicalCoordinates) {
  Canvas c(10, 10);
  CPoint previous = c.dc.SetViewportOrg(-3, -4); // logical (3, 4) lands on device (0, 0)
  EXPECT_EQ(previous, CPoint(0, 0));
  c.dc.FillSolidRect(3, 4, 2, 2, RGB(9, 9, 9));
  EXPECT_EQ(c.Pixel(0, 0), RGB(9, 9, 9));
  EXPECT_EQ(c.Pixel(2, 2), RGB(1, 2, 3));
  RECT box;
  c.dc.GetClipBox(&box);
  EXPECT_EQ(box, (RECT{3, 4, 13, 14}));
}

TEST_F(PlatformRaster, RefusedInputDrawsNothingAndLeaksNothing) {
  Canvas c(4, 4);
  Picture eight(4, 4, true, 8);
  EXPECT_EQ(StretchDIBits(c.dc, 0, 0, 4, 4, 0, 0, 4, 4, eight.bits.data(), &eight.info, DIB_RGB_COLORS, SRCCOPY), 0);
  EXPECT_EQ(StretchDIBits(c.dc, 0, 0, 4, 4, 0, 0, 4, 4, nullptr, &eight.info, DIB_RGB_COLORS, SRCCOPY), 0);
  EXPECT_EQ(c.Pixel(0, 0), RGB(1, 2, 3));
  BITMAPINFO huge{};
  huge.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  huge.bmiHeader.biWidth = 100000;
  huge.bmiHeader.biHeight = 100000;
  huge.bmiHeader.biBitCount = 32;
  void* bits = reinterpret_cast<void*>(1);
  EXPECT_EQ(CreateDIBSection(nullptr, &huge, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  EXPECT_EQ(bits, nullptr);
  EXPECT_FALSE(BitBlt(c.dc, 0, 0, 4, 4, reinterpret_cast<HDC>(0x12345678), 0, 0, SRCCOPY));
  // A selected bitmap outlives its deletion until it is deselected.
  EXPECT_TRUE(DeleteObject(c.bitmap));
  EXPECT_EQ(GetObjectType(c.bitmap), static_cast<DWORD>(OBJ_BITMAP));
  c.dc.SelectObject(c.old);
  EXPECT_EQ(GetObjectType(c.bitmap), 0u);
  c.old = c.dc.SelectObject(GetStockObject(WHITE_BRUSH)); // keeps the destructor harmless
  c.bitmap = nullptr;
}

} // namespace
