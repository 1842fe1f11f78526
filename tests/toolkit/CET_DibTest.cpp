#include "toolkit/CET_Calc.h"
#include "toolkit/CET_Dib.h"
#include "toolkit/CET_PictCalc.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

// A 24- or 32-bit picture whose pixel at memory row r, column c is
// (blue, green, red) = (c, r, 7), so every moved pixel tells where it came from.
struct Picture {
  BITMAPINFO header{};
  std::vector<BYTE> bits;

  Picture(int width, int height, int bitCount = 24) {
    header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    header.bmiHeader.biWidth = width;
    header.bmiHeader.biHeight = height;
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = static_cast<WORD>(bitCount);
    const int absHeight = height < 0 ? -height : height;
    const auto row = DibRowBytes(width, bitCount);
    bits.assign(static_cast<size_t>(row * absHeight), 0xEE); // padding stays visible
    header.bmiHeader.biSizeImage = static_cast<DWORD>(bits.size());
    for (int r = 0; r < absHeight; ++r) {
      for (int c = 0; c < width; ++c) {
        BYTE* p = &bits[static_cast<size_t>(r * row + c * (bitCount / 8))];
        p[0] = static_cast<BYTE>(c);
        p[1] = static_cast<BYTE>(r);
        p[2] = 7;
      }
    }
  }
  CET_Dib Record() const {
    CET_Dib dib;
    dib.Set(&header, bits.data(), static_cast<DWORD>(bits.size()));
    return dib;
  }
};

// (column, memory row) stored in a pixel of a Picture.
std::pair<int, int> Origin(const BYTE* bits, int row, int column, int width, int bitCount = 24) {
  const BYTE* p = bits + DibRowBytes(width, bitCount) * row + column * (bitCount / 8);
  return {p[0], p[1]};
}

TEST(CET_DibTest, RecordOwnsCopiesAndReadsPixelsFromTheTop) {
  Picture bottomUp(3, 2);
  CET_Dib dib;
  EXPECT_FALSE(dib.IsValid());
  EXPECT_EQ(dib.GetPixel(0, 0), -1);
  EXPECT_EQ(dib.GetWidth(), 0);

  dib.Set(&bottomUp.header, bottomUp.bits.data(), static_cast<DWORD>(bottomUp.bits.size()));
  bottomUp.bits.assign(bottomUp.bits.size(), 0); // the record holds its own copy
  EXPECT_EQ(dib.GetWidth(), 3);
  EXPECT_EQ(dib.GetHeight(), 2);
  EXPECT_EQ(dib.GetBitCount(), 24);
  // Row size 12; pixel (0, 0) of a bottom-up picture is memory row 1.
  EXPECT_EQ(dib.GetPixel(0, 0), static_cast<int>(RGB(7, 1, 0)));
  EXPECT_EQ(dib.GetPixel(2, 1), static_cast<int>(RGB(7, 0, 2)));
  EXPECT_EQ(dib.GetPixel(3, 0), -1);
  EXPECT_EQ(dib.GetPixel(0, 2), -1);
  EXPECT_EQ(dib.GetPixel(-1, 0), -1);

  Picture topDown(3, -2);
  CET_Dib top = topDown.Record();
  EXPECT_EQ(top.GetHeight(), 2);
  EXPECT_EQ(top.GetPixel(0, 0), static_cast<int>(RGB(7, 0, 0)));

  // A header that claims more rows than the block holds reads nothing past it.
  CET_Dib lying = topDown.Record();
  lying.size = 12;
  EXPECT_EQ(lying.GetPixel(0, 1), -1);
}

TEST(CET_DibTest, SetAndCopyFromKeepTheirOwnBlocks) {
  Picture p(3, 2);
  CET_Dib dib = p.Record();
  const BYTE* oldBits = dib.bits;

  dib.CopyFrom(nullptr);
  EXPECT_EQ(dib.bits, oldBits);
  EXPECT_EQ(dib.GetWidth(), 3);

  CET_Dib copy;
  copy.CopyFrom(&dib);
  EXPECT_NE(copy.bits, dib.bits);
  EXPECT_NE(copy.header, dib.header);
  EXPECT_EQ(copy.size, dib.size);
  EXPECT_EQ(copy.GetPixel(1, 1), dib.GetPixel(1, 1));

  // A record set from its own blocks keeps a valid copy of them.
  dib.CopyFrom(&dib);
  EXPECT_EQ(dib.GetPixel(1, 1), copy.GetPixel(1, 1));

  CET_Dib headerless;
  headerless.Set(nullptr, p.bits.data(), 24);
  EXPECT_TRUE(headerless.IsValid());
  EXPECT_EQ(headerless.header, nullptr);
  EXPECT_EQ(headerless.size, 24u);
  EXPECT_EQ(headerless.GetWidth(), 0);

  headerless.Free();
  EXPECT_FALSE(headerless.IsValid());
  EXPECT_EQ(headerless.size, 0u);
}

TEST(CET_DibTest, QuarterAndHalfTurnsMoveEveryPixelOnce) {
  const int w = 5;
  const int h = 3;
  Picture p(w, h);
  std::unique_ptr<BYTE[]> quarter(CET_PictCalc::RotateDibBits90(p.bits.data(), w, h, 24));
  ASSERT_TRUE(quarter);
  // The result is 3 wide and 5 high; row r, column c comes from source row h-1-c, column r.
  for (int r = 0; r < w; ++r) {
    for (int c = 0; c < h; ++c) {
      EXPECT_EQ(Origin(quarter.get(), r, c, h), std::make_pair(r, h - 1 - c));
    }
  }
  std::unique_ptr<BYTE[]> half(CET_PictCalc::RotateDibBits180(p.bits.data(), w, h, 24));
  ASSERT_TRUE(half);
  for (int r = 0; r < h; ++r) {
    for (int c = 0; c < w; ++c) {
      EXPECT_EQ(Origin(half.get(), r, c, w), std::make_pair(w - 1 - c, h - 1 - r));
    }
  }
  EXPECT_EQ(CET_PictCalc::RotateDibBits90(nullptr, w, h, 24), nullptr);
  EXPECT_EQ(CET_PictCalc::RotateDibBits90(p.bits.data(), 0, h, 24), nullptr);
  EXPECT_EQ(CET_PictCalc::RotateDibBits180(p.bits.data(), w, -1, 24), nullptr);
}

TEST(CET_DibTest, TurnsByRightAnglesMapExactly) {
  const int w = 5;
  const int h = 3;
  for (int bitCount : {24, 32}) {
    Picture p(w, h, bitCount);
    struct Case {
      double degrees;
      int newWidth, newHeight;
      std::pair<int, int> (*source)(int x, int y);
    };
    const Case cases[] = {
        {90, h, w, [](int x, int y) { return std::make_pair(5 - 1 - y, x); }},
        {270, h, w, [](int x, int y) { return std::make_pair(y, 3 - 1 - x); }},
        {-90, h, w, [](int x, int y) { return std::make_pair(y, 3 - 1 - x); }},
        {180, w, h, [](int x, int y) { return std::make_pair(5 - 1 - x, 3 - 1 - y); }},
        {360, w, h, [](int x, int y) { return std::make_pair(x, y); }},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << c.degrees << " degrees, " << bitCount << " bits");
      BITMAPINFO turned{};
      std::unique_ptr<BYTE[]> out(
          CET_PictCalc::RotateDibBitsByAngle(c.degrees, nullptr, &p.header, p.bits.data(), &turned));
      ASSERT_TRUE(out);
      EXPECT_EQ(turned.bmiHeader.biWidth, c.newWidth);
      EXPECT_EQ(turned.bmiHeader.biHeight, c.newHeight);
      EXPECT_EQ(turned.bmiHeader.biSizeImage, DibRowBytes(c.newWidth, bitCount) * c.newHeight);
      for (int y = 0; y < c.newHeight; ++y) {
        for (int x = 0; x < c.newWidth; ++x) {
          EXPECT_EQ(Origin(out.get(), y, x, c.newWidth, bitCount), c.source(x, y));
        }
      }
    }
  }
  // A 5 x 3 24-bit picture turned a quarter has rows of 12 bytes.
  Picture p(w, h);
  BITMAPINFO turned{};
  std::unique_ptr<BYTE[]> out(CET_PictCalc::RotateDibBitsByAngle(90, nullptr, &p.header, p.bits.data(), &turned));
  EXPECT_EQ(turned.bmiHeader.biSizeImage, 12u * 5);
}

TEST(CET_DibTest, FreeTurnsFillOutsideWithTheBackgroundAndKeepTheRowOrder) {
  Picture p(40, -20);
  const BYTE background[3] = {1, 2, 3};
  BITMAPINFO turned{};
  std::unique_ptr<BYTE[]> out(
      CET_PictCalc::RotateDibBitsByAngle(30, background, &p.header, p.bits.data(), &turned));
  ASSERT_TRUE(out);
  EXPECT_LT(turned.bmiHeader.biHeight, 0);
  const int nw = turned.bmiHeader.biWidth;
  const int nh = -turned.bmiHeader.biHeight;
  EXPECT_EQ(nw, 44); // |40 cos 30| + |20 sin 30| = 44.6
  EXPECT_EQ(nh, 37); // |40 sin 30| + |20 cos 30| = 37.3
  const BYTE* corner = out.get();
  EXPECT_EQ(corner[0], 1);
  EXPECT_EQ(corner[2], 3);
  // The centre of the turned picture is taken from near the centre of the source.
  const auto centre = Origin(out.get(), nh / 2, nw / 2, nw);
  EXPECT_NEAR(centre.first, 20, 2);
  EXPECT_NEAR(centre.second, 10, 2);

  EXPECT_EQ(CET_PictCalc::RotateDibBitsByAngle(std::nan(""), nullptr, &p.header, p.bits.data(), &turned),
            nullptr);
}

TEST(CET_DibTest, CropWidensRowsToWholeWordsWhereThePictureAllows) {
  Picture p(101, 10);
  CET_Dib dib = p.Record();
  struct Case {
    RECT area;
    int width, height, firstColumn;
  };
  const Case cases[] = {
      {{10, 0, 15, 10}, 8, 10, 10},     // widened to 18
      {{96, 0, 101, 10}, 5, 10, 96},    // 104 is not below 101
      {{-5, -5, 4, 3}, 4, 3, 0},        // clamped to the picture
      {{90, 2, 500, 500}, 11, 8, 90},   // 101 is not below 101
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.area.left << "," << c.area.top << "," << c.area.right << ","
                                    << c.area.bottom);
    std::unique_ptr<CET_Dib> crop(CET_PictCalc::CropDib(&dib, c.area));
    ASSERT_TRUE(crop);
    EXPECT_EQ(crop->GetWidth(), c.width);
    EXPECT_EQ(crop->header->bmiHeader.biHeight, -c.height);
    EXPECT_EQ(crop->size, DibRowBytes(c.width, 24) * c.height);
    EXPECT_EQ(crop->header->bmiHeader.biSizeImage, crop->size);
    // Row 0 of the top-down crop is the picture's row at the area's top,
    // which is memory row height-1-top of the bottom-up source.
    const int top = c.area.top < 0 ? 0 : c.area.top;
    EXPECT_EQ(crop->GetPixel(0, 0), static_cast<int>(RGB(7, 10 - 1 - top, c.firstColumn)));
    EXPECT_EQ(crop->GetPixel(c.width - 1, c.height - 1),
              static_cast<int>(RGB(7, 10 - top - c.height, c.firstColumn + c.width - 1)));
  }
  EXPECT_EQ(CET_PictCalc::CropDib(&dib, RECT{200, 0, 300, 10}), nullptr);
  EXPECT_EQ(CET_PictCalc::CropDib(&dib, RECT{5, 5, 5, 9}), nullptr);
  EXPECT_EQ(CET_PictCalc::CropDib(nullptr, RECT{0, 0, 1, 1}), nullptr);
  CET_Dib empty;
  EXPECT_EQ(CET_PictCalc::CropDib(&empty, RECT{0, 0, 1, 1}), nullptr);
  CET_Dib shortBlock = p.Record();
  shortBlock.size = 100;
  EXPECT_EQ(CET_PictCalc::CropDib(&shortBlock, RECT{0, 0, 4, 4}), nullptr);

  // 32-bit rows need no widening.
  Picture p32(101, 10, 32);
  CET_Dib dib32 = p32.Record();
  std::unique_ptr<CET_Dib> crop32(CET_PictCalc::CropDib(&dib32, RECT{10, 0, 15, 10}));
  EXPECT_EQ(crop32->GetWidth(), 5);
}

TEST(CET_DibTest, RectangleHelpers) {
  EXPECT_EQ(CET_Calc::FitRectInRect(RECT{0, 0, 100, 100}, RECT{0, 0, 200, 100}), (RECT{0, 25, 100, 75}));
  EXPECT_EQ(CET_Calc::FitRectInRect(RECT{10, 10, 110, 60}, RECT{0, 0, 100, 100}), (RECT{35, 10, 85, 60}));
  EXPECT_EQ(CET_Calc::FitRectInRect(RECT{0, 0, 0, 0}, RECT{0, 0, 30, 20}), (RECT{0, -10, 0, 10}));
  // A content without area has no proportions and becomes an empty line.
  EXPECT_EQ(CET_Calc::FitRectInRect(RECT{0, 0, 100, 50}, RECT{0, 0, 0, 0}), (RECT{0, 25, 100, 25}));

  int cut = -1;
  EXPECT_EQ(CET_Calc::GetAspectCropRect(RECT{0, 0, 100, 100}, RECT{0, 0, 300, 200}, &cut), (RECT{50, 0, 250, 200}));
  EXPECT_EQ(cut, 2);
  EXPECT_EQ(CET_Calc::GetAspectCropRect(RECT{0, 0, 200, 100}, RECT{5, 5, 105, 105}, &cut), (RECT{0, 25, 100, 75}));
  EXPECT_EQ(cut, 1);
  EXPECT_EQ(CET_Calc::GetAspectCropRect(RECT{0, 0, 30, 20}, RECT{0, 0, 300, 200}, nullptr), (RECT{0, 0, 300, 200}));
  EXPECT_EQ(CET_Calc::GetAspectCropRect(RECT{0, 0, 0, 20}, RECT{0, 0, 300, 200}, &cut), (RECT{0, 0, 300, 200}));
  EXPECT_EQ(cut, 0);

  EXPECT_TRUE(CET_Calc::IsSameOrientation(RECT{0, 0, 20, 10}, RECT{0, 0, 30, 5}));
  EXPECT_TRUE(CET_Calc::IsSameOrientation(RECT{0, 0, 20, 20}, RECT{0, 0, 5, 30}));
  EXPECT_FALSE(CET_Calc::IsSameOrientation(RECT{0, 0, 20, 10}, RECT{0, 0, 5, 30}));

  // Exact halves round down, anything above rounds up.
  EXPECT_EQ(CET_Calc::ScaleRect(1, 3, 5, 7, 0.5), (RECT{0, 1, 2, 3}));
  EXPECT_EQ(CET_Calc::ScaleRect(3, 0, 0, 0, 0.51), (RECT{2, 0, 0, 0}));
  EXPECT_EQ(CET_Calc::RoundToInt(-2.5), -3);
  EXPECT_EQ(CET_Calc::RoundToInt(2.5), 3);
  EXPECT_EQ(CET_Calc::RoundToInt(2.49), 2);
  EXPECT_EQ(CET_Calc::RoundToInt(1e300), INT32_MAX);
}

} // namespace
