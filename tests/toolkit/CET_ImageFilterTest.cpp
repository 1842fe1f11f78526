#include "toolkit/CET_Dib.h"
#include "toolkit/CET_FilterData.h"
#include "toolkit/CET_ImageFilter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

namespace {

// A picture whose pixels are filled by fill(x, memory row, channel); padding bytes 0xEE.
template <class Fill>
CET_Dib MakePicture(int width, int height, int bitCount, Fill fill) {
  BITMAPINFO header{};
  header.bmiHeader.biSize = 40;
  header.bmiHeader.biWidth = width;
  header.bmiHeader.biHeight = height;
  header.bmiHeader.biPlanes = 1;
  header.bmiHeader.biBitCount = static_cast<WORD>(bitCount);
  const auto stride = DibRowBytes(width, bitCount);
  std::vector<BYTE> bits(static_cast<size_t>(stride * height), 0xEE);
  const int bpp = bitCount / 8;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int k = 0; k < bpp; ++k) {
        bits[static_cast<size_t>(y * stride + x * bpp + k)] = static_cast<BYTE>(fill(x, y, k));
      }
    }
  }
  header.bmiHeader.biSizeImage = static_cast<DWORD>(bits.size());
  CET_Dib dib;
  dib.Set(&header, bits.data(), static_cast<DWORD>(bits.size()));
  return dib;
}

CET_Dib Flat(int width, int height, BYTE b, BYTE g, BYTE r, int bitCount = 24) {
  return MakePicture(width, height, bitCount, [&](int, int, int k) { return k == 0 ? b : k == 1 ? g : k == 2 ? r : 0x42; });
}

std::vector<BYTE> Bytes(const CET_Dib& dib) { return std::vector<BYTE>(dib.bits, dib.bits + dib.size); }

TEST(CET_ImageFilterTest, RgbToHsvFollowsTheTables) {
  struct Case {
    BYTE r, g, b;
    int hue, saturation, value;
  } cases[] = {
      {255, 0, 0, 0, 255, 255},   {0, 0, 255, 240, 255, 255}, {255, 0, 255, 300, 255, 255},
      {255, 0, 254, 302, 255, 255}, {100, 100, 100, 0, 0, 100}, {0, 255, 0, 120, 255, 255},
      // Just past magenta the falling table gives 360, the same hue as 0.
      {255, 0, 1, 0, 255, 255},
  };
  for (const Case& c : cases) {
    int hue, saturation, value;
    CET_ImageFilter::RGBToHSV(c.r, c.g, c.b, hue, saturation, value);
    EXPECT_EQ(hue, c.hue) << int(c.r) << "," << int(c.g) << "," << int(c.b);
    EXPECT_EQ(saturation, c.saturation);
    EXPECT_EQ(value, c.value);
  }
}

TEST(CET_ImageFilterTest, HsvRoundTripStaysCloseForEveryHue) {
  int worst = 0;
  for (int r = 0; r < 256; r += 15) {
    for (int g = 0; g < 256; g += 15) {
      for (int b = 0; b < 256; b += 15) {
        int hue, saturation, value;
        CET_ImageFilter::RGBToHSV(BYTE(r), BYTE(g), BYTE(b), hue, saturation, value);
        ASSERT_GE(hue, 0);
        ASSERT_LT(hue, 360);
        BYTE r2, g2, b2;
        CET_ImageFilter::HSVToRGB(&r2, &g2, &b2, hue, saturation, value);
        worst = std::max({worst, std::abs(r - r2), std::abs(g - g2), std::abs(b - b2)});
      }
    }
  }
  // Whole degrees, and the falling table's 59 instead of 60, cost a few levels
  // on the falling sides of the hue circle; a wrong table costs far more.
  EXPECT_LE(worst, 12);
}

TEST(CET_ImageFilterTest, UnchangedCopiesForNothingToDoAndOtherDepths) {
  const CET_Dib picture = Flat(4, 2, 10, 20, 30);
  CET_FilterData autoOnly;
  autoOnly.m_nAuto = 1;
  std::unique_ptr<CET_Dib> copy(CET_ImageFilter::FilterDib(&picture, &autoOnly, nullptr, nullptr));
  ASSERT_TRUE(copy);
  EXPECT_NE(copy->bits, picture.bits);
  EXPECT_EQ(Bytes(*copy), Bytes(picture));

  CET_FilterData strong;
  strong.m_nExposure = 100;
  for (const int depth : {8, 16}) {
    const CET_Dib other = MakePicture(4, 2, depth, [](int x, int, int) { return x * 9; });
    std::unique_ptr<CET_Dib> same(CET_ImageFilter::FilterDib(&other, &strong, nullptr, nullptr));
    ASSERT_TRUE(same);
    EXPECT_EQ(Bytes(*same), Bytes(other));
  }
  EXPECT_EQ(CET_ImageFilter::FilterDib(nullptr, &strong, nullptr, nullptr), nullptr);
}

TEST(CET_ImageFilterTest, GreyStaysGreyUnderSaturation) {
  const CET_Dib grey = Flat(3, 3, 100, 100, 100);
  CET_FilterData saturate;
  saturate.m_nSaturation = 100;
  std::unique_ptr<CET_Dib> result(CET_ImageFilter::FilterDib(&grey, &saturate, nullptr, nullptr));
  ASSERT_TRUE(result);
  EXPECT_EQ(Bytes(*result), Bytes(grey));
}

TEST(CET_ImageFilterTest, CyanLowersRedClampedAtZeroAndLeavesTheFourthByte) {
  const CET_Dib picture = MakePicture(2, 1, 32, [](int x, int, int k) { return k == 2 ? (x == 0 ? 200 : 10) : 77; });
  CET_FilterData cyan;
  cyan.m_nCyan = 30;
  std::unique_ptr<CET_Dib> result(CET_ImageFilter::FilterDib(&picture, &cyan, nullptr, nullptr));
  ASSERT_TRUE(result);
  EXPECT_EQ(result->bits[2], 170);
  EXPECT_EQ(result->bits[6], 0);
  EXPECT_EQ(result->bits[0], 77);
  EXPECT_EQ(result->bits[3], 77); // the fourth byte
}

TEST(CET_ImageFilterTest, ExposureAndContrastTableValues) {
  const CET_Dib picture = MakePicture(256, 1, 24, [](int x, int, int) { return x; });
  CET_FilterData exposure;
  exposure.m_nExposure = 100; // factor 1.25
  std::unique_ptr<CET_Dib> brighter(CET_ImageFilter::FilterDib(&picture, &exposure, nullptr, nullptr));
  EXPECT_EQ(brighter->bits[3 * 100], 125);
  EXPECT_EQ(brighter->bits[3 * 250], 255);
  CET_FilterData contrast;
  contrast.m_nContrast = -200; // factor 0.5
  std::unique_ptr<CET_Dib> flatter(CET_ImageFilter::FilterDib(&picture, &contrast, nullptr, nullptr));
  EXPECT_EQ(flatter->bits[0], 64);
  EXPECT_EQ(flatter->bits[3 * 255], 191);
}

TEST(CET_ImageFilterTest, PaddedRowsKeepTheirColoursAndFillBytes) {
  // Width 5 has a row of 16 bytes; its first five pixels must come out as those
  // of a width-8 picture with the same columns.
  auto fill = [](int x, int y, int k) { return (x * 37 + y * 11 + k * 71) % 256; };
  const CET_Dib padded = MakePicture(5, 3, 24, fill);
  const CET_Dib wide = MakePicture(8, 3, 24, fill);
  CET_FilterData settings;
  settings.m_nSaturation = 60;
  settings.m_nShadow = 40;
  settings.m_nYellow = 12;
  settings.m_nSharpness = 50;
  std::unique_ptr<CET_Dib> a(CET_ImageFilter::FilterDib(&padded, &settings, nullptr, nullptr));
  std::unique_ptr<CET_Dib> b(CET_ImageFilter::FilterDib(&wide, &settings, nullptr, nullptr));
  for (int y = 0; y < 3; ++y) {
    for (int i = 0; i < 15; ++i) {
      if (i < 12) { // the last column of the narrow picture is its border
        EXPECT_EQ(a->bits[y * 16 + i], b->bits[y * 24 + i]) << y << " " << i;
      }
    }
    EXPECT_EQ(a->bits[y * 16 + 15], 0xEE);
  }
}

TEST(CET_ImageFilterTest, SharpnessOneHundredDoublesTheDifference) {
  const CET_Dib picture = MakePicture(3, 3, 24, [](int x, int y, int) { return x == 1 && y == 1 ? 100 : 80; });
  std::unique_ptr<CET_Dib> sharp(CET_ImageFilter::SharpenDib(&picture, 100, nullptr, nullptr, 0));
  ASSERT_TRUE(sharp);
  EXPECT_EQ(sharp->bits[12 + 3], 120);
  EXPECT_EQ(sharp->bits[0], 80); // the border stays
  std::unique_ptr<CET_Dib> soft(CET_ImageFilter::SharpenDib(&picture, -100, nullptr, nullptr, 0));
  EXPECT_EQ(soft->bits[12 + 3], 80);
}

struct Progress {
  std::vector<int> reports;
  int cancelAt = -1;
  static int Callback(int percentage, void* user) {
    auto* self = static_cast<Progress*>(user);
    self->reports.push_back(percentage);
    return static_cast<int>(self->reports.size()) == self->cancelAt ? 0 : 1;
  }
};

TEST(CET_ImageFilterTest, ProgressRisesToOneHundredAndCancelGivesNull) {
  const CET_Dib picture = MakePicture(300, 200, 24, [](int x, int y, int) { return (x + y) % 256; });
  CET_FilterData settings;
  settings.m_nHighlight = -30;
  settings.m_nSharpness = 20;
  Progress progress;
  std::unique_ptr<CET_Dib> result(CET_ImageFilter::FilterDib(&picture, &settings, Progress::Callback, &progress));
  ASSERT_TRUE(result);
  ASSERT_GT(progress.reports.size(), 50u);
  EXPECT_EQ(progress.reports.back(), 100);
  for (size_t i = 1; i < progress.reports.size(); ++i) {
    EXPECT_GE(progress.reports[i], progress.reports[i - 1]);
  }
  EXPECT_NE(std::find(progress.reports.begin(), progress.reports.end(), 50), progress.reports.end());

  Progress cancel;
  cancel.cancelAt = 1;
  EXPECT_EQ(CET_ImageFilter::FilterDib(&picture, &settings, Progress::Callback, &cancel), nullptr);
  EXPECT_EQ(cancel.reports.size(), 1u);
}

} // namespace
