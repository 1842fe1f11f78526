// The automatic adjustment of still pictures: the sampler's geometry on 24-
// and 32-bit pictures of both row orders, the rounding helpers, and the
// values a photographer would expect from a grey card, a dark and a bright
// scene and a colour cast.

#include "review/core/AutoAdjust.h"

#include "engine/core/GlobalLUTs.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace {

using ColourAt = std::function<COLORREF(int x, int y)>;

// A picture of the given depth and row order, pixels given top row first.
std::unique_ptr<CET_Dib> MakePicture(int width, int height, int bitCount, bool bottomUp, const ColourAt& colourAt) {
  BITMAPINFO header{};
  header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  header.bmiHeader.biWidth = width;
  header.bmiHeader.biHeight = bottomUp ? height : -height;
  header.bmiHeader.biPlanes = 1;
  header.bmiHeader.biBitCount = static_cast<WORD>(bitCount);
  const std::int64_t rowBytes = DibRowBytes(width, bitCount);
  const int bytes = bitCount / 8;
  std::vector<BYTE> bits(static_cast<std::size_t>(rowBytes * height), 0);
  for (int y = 0; y < height && bytes >= 3; ++y) {  // other depths stay black
    BYTE* row = &bits[static_cast<std::size_t>((bottomUp ? height - 1 - y : y) * rowBytes)];
    for (int x = 0; x < width; ++x) {
      const COLORREF c = colourAt(x, y);
      row[x * bytes] = GetBValue(c);
      row[x * bytes + 1] = GetGValue(c);
      row[x * bytes + 2] = GetRValue(c);
    }
  }
  auto dib = std::make_unique<CET_Dib>();
  dib->Set(&header, bits.data(), static_cast<DWORD>(bits.size()));
  return dib;
}

ColourAt Flat(COLORREF c) {
  return [c](int, int) { return c; };
}

CET_FilterData AutoSettingsOf(const CET_Dib& picture) {
  CET_FilterData settings;
  CalculateDibAutoAdjust(&settings, &picture);
  return settings;
}

TEST(AutoAdjustSampling, SampleSizeFollowsThePictureAndSmallPicturesGiveNone) {
  struct Case {
    int width, height, bitCount;
    bool sampled;
    int columns, rows;
  };
  const Case cases[] = {
      {31, 39, 24, true, 1, 1},  {30, 39, 24, false, 0, 0}, {31, 38, 32, false, 0, 0},
      {35, 43, 32, true, 2, 2},  {34, 42, 24, true, 1, 1},  {101, 80, 24, true, 18, 11},
      {64, 64, 8, false, 0, 0},  {64, 64, 16, false, 0, 0},
  };
  for (const Case& c : cases) {
    auto picture = MakePicture(c.width, c.height, c.bitCount, true, Flat(RGB(10, 20, 30)));
    AutoAdjustSample sample;
    FIntTriple maxima(0);
    EXPECT_EQ(SampleDibForAutoAdjust(sample, maxima, picture.get()), c.sampled ? TRUE : FALSE)
        << c.width << "x" << c.height << " " << c.bitCount;
    EXPECT_EQ(sample.columns, c.columns);
    EXPECT_EQ(sample.rows, c.rows);
  }
  AutoAdjustSample sample;
  FIntTriple maxima(0);
  EXPECT_FALSE(SampleDibForAutoAdjust(sample, maxima, nullptr));
  CET_Dib empty;
  EXPECT_FALSE(SampleDibForAutoAdjust(sample, maxima, &empty));
}

TEST(AutoAdjustSampling, ReadsRowNineteenFromTheTopAtColumnThirteenInEveryLayout) {
  // The first sample averages pixels 13 to 16 of row 19 (from the top).
  const ColourAt marked = [](int x, int y) {
    if (y == 19 && x >= 13 && x <= 16) return x == 13 ? RGB(200, 100, 4) : RGB(100, 100, 0);
    return RGB(1, 2, 3);
  };
  for (int bitCount : {24, 32}) {
    for (bool bottomUp : {true, false}) {
      auto picture = MakePicture(33, 41, bitCount, bottomUp, marked);  // widths not a multiple of 4
      AutoAdjustSample sample;
      FIntTriple maxima(0);
      ASSERT_TRUE(SampleDibForAutoAdjust(sample, maxima, picture.get())) << bitCount << bottomUp;
      const FPixelClass48SRGB& p = sample.At(0, 0);
      EXPECT_EQ(p.r, (200 + 3 * 100) * 6 / 4) << bitCount << " bits, bottom-up " << bottomUp;
      EXPECT_EQ(p.g, 100 * 6);
      EXPECT_EQ(p.b, 4 * 6 / 4);
      EXPECT_EQ(maxima.r, 750);
      EXPECT_EQ(maxima.b, 6);
    }
  }
}

TEST(AutoAdjustSampling, APictureWhoseBlockIsShorterThanItsHeaderGivesNoSample) {
  auto picture = MakePicture(40, 40, 24, true, Flat(RGB(50, 50, 50)));
  picture->size -= 1;
  AutoAdjustSample sample;
  FIntTriple maxima(0);
  EXPECT_FALSE(SampleDibForAutoAdjust(sample, maxima, picture.get()));
  CET_FilterData settings;
  settings.m_nExposure = 7;
  CalculateDibAutoAdjust(&settings, picture.get());
  EXPECT_EQ(settings.m_nExposure, 7) << "record unchanged";
}

TEST(AutoAdjustHelpers, RoundingIsHalfAwayFromZeroAndClamped) {
  EXPECT_DOUBLE_EQ(ClampRoundTenth(0.25, -1.5, 1.5), 0.3);
  EXPECT_DOUBLE_EQ(ClampRoundTenth(-0.25, -1.5, 1.5), -0.2);  // floor(x * 10 + 0.5)
  EXPECT_DOUBLE_EQ(ClampRoundTenth(7.0, -1.5, 1.5), 1.5);
  EXPECT_DOUBLE_EQ(ClampRoundTenth(-7.0, -1.0, 1.0), -1.0);
  EXPECT_DOUBLE_EQ(ClampRoundTenth(std::nan(""), -1.0, 1.0), 0.0);
  EXPECT_DOUBLE_EQ(AutoAdjustLuma(FDoubleTriple(10, 20, 30)), 3 + 10 + 6);

  std::int16_t entries[8] = {0, 10, 20, 30, 40, 50, 60, -70};
  FLUT16 table(entries, 8);
  const std::valarray<double> got = LookupLUT16(table, std::valarray<double>{1.5, 2.4999, -0.5, 9.0});
  EXPECT_EQ(got[0], 20) << "1.5 rounds up";
  EXPECT_EQ(got[1], 20);
  EXPECT_EQ(got[2], -70) << "-0.5 rounds to -1, masked to the last entry";
  EXPECT_EQ(got[3], 10) << "index masked to the table";
}

TEST(AutoAdjustValues, ResetGivesNoAdjustmentAndUnitGains) {
  AutoAdjustValues values;
  values.exposure = 3;
  values.gains = FDoubleTriple(2, 2, 2);
  values.Reset();
  EXPECT_EQ(values.exposure, 0.0);
  EXPECT_EQ(values.gains.g, 1.0);
  EXPECT_EQ(values.mode, 2);
}

TEST(AutoAdjustPictures, DepthAndRowOrderDoNotChangeTheResult) {
  const ColourAt scene = [](int x, int y) { return RGB(x * 2, y * 2, (x + y) & 0xFF); };
  const CET_FilterData reference = AutoSettingsOf(*MakePicture(121, 97, 24, true, scene));
  for (int bitCount : {24, 32}) {
    for (bool bottomUp : {true, false}) {
      const CET_FilterData got = AutoSettingsOf(*MakePicture(121, 97, bitCount, bottomUp, scene));
      EXPECT_TRUE(got.IsEqual(&reference, 0)) << bitCount << " bits, bottom-up " << bottomUp;
    }
  }
}

TEST(AutoAdjustPictures, StaysInRangeAndJudgesLikeAPhotographer) {
  // A grey card, a dark (underexposed) and a bright scene, and a warm cast,
  // each with a little texture so that the histograms are not a single bin.
  const auto textured = [](int r, int g, int b) -> ColourAt {
    return [=](int x, int y) {
      const int d = (x * 7 + y * 13) % 9 - 4;
      return RGB(std::clamp(r + d, 0, 255), std::clamp(g + d, 0, 255), std::clamp(b + d, 0, 255));
    };
  };
  const CET_FilterData grey = AutoSettingsOf(*MakePicture(160, 120, 24, true, textured(118, 118, 118)));
  const CET_FilterData dark = AutoSettingsOf(*MakePicture(160, 120, 24, true, textured(25, 25, 25)));
  const CET_FilterData bright = AutoSettingsOf(*MakePicture(160, 120, 24, true, textured(235, 235, 235)));
  const CET_FilterData warm = AutoSettingsOf(*MakePicture(160, 120, 24, true, textured(200, 150, 100)));

  for (const CET_FilterData* s : {&grey, &dark, &bright, &warm}) {
    for (int value : {s->m_nExposure, s->m_nContrast, s->m_nShadow, s->m_nHighlight}) {
      EXPECT_GE(value, -75);
      EXPECT_LE(value, 75);
    }
    EXPECT_GE(s->m_nSaturation, -50);
    EXPECT_LE(s->m_nSaturation, 50);
    EXPECT_EQ(s->m_nSharpness, 0);
  }
  // Neutral stays neutral: at most the slight warm bias of a few hundredths.
  EXPECT_EQ(grey.m_nCyan, 0);
  EXPECT_LE(grey.m_nMagenta, 2);
  EXPECT_LE(grey.m_nYellow, 3);
  // Darker pictures are brightened more.
  EXPECT_GT(dark.m_nExposure, 0);
  EXPECT_GE(dark.m_nExposure, grey.m_nExposure);
  EXPECT_GE(grey.m_nExposure, bright.m_nExposure);
  EXPECT_GT(dark.m_nExposure, bright.m_nExposure);
  // A warm cast is answered with cyan (against red) before magenta, no yellow.
  EXPECT_GT(warm.m_nCyan, warm.m_nMagenta);
  EXPECT_GT(warm.m_nMagenta, 0);
  EXPECT_EQ(warm.m_nYellow, 0);
}

TEST(AutoAdjustPictures, ASingleSampleStillGivesFiniteValues) {
  CET_FilterData settings;
  CalculateDibAutoAdjust(&settings, MakePicture(31, 39, 32, false, Flat(RGB(0, 0, 0))).get());
  EXPECT_GE(settings.m_nExposure, -75);
  EXPECT_LE(settings.m_nExposure, 75);
  EXPECT_GE(settings.m_nSaturation, -50);
  EXPECT_LE(settings.m_nSaturation, 50);
}

TEST(AutoAdjustColorBalance, ASparseColourWeighsLittleAgainstADominantOne) {
  // 255 counts of neutral bin (15, 15, 15) against one count of a blue bin.
  std::vector<std::uint32_t> histogram(32 * 32 * 32, 0);
  histogram[15 * 1024 + 15 * 32 + 15] = 255;
  histogram[31 * 1024 + 0 * 32 + 0] = 1;
  FDoubleTriple gains(0, 0, 0);
  double saturation = 9;
  CalculateAutoColorBalance(histogram, FIntTriple(1000), gains, saturation);
  EXPECT_GT(gains.r, 0.9);
  EXPECT_GT(gains.b, 0.9) << "one stray blue sample hardly moves the balance";
  EXPECT_GE(saturation, -1.0);
  EXPECT_LE(saturation, 1.0);
}

}  // namespace
