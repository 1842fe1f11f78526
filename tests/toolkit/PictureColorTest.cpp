#include "toolkit/PictureColor.h"

#include "foundation/FIStorageClass.h"
#include "foundation/FPath.h"
#include "support/BuildTree.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <vector>

namespace {

using testsupport::BuildTreeProgramPath;
namespace fs = std::filesystem;

FString Profile(const char* name) {
  return PathFromNative(
      (fs::path(testsupport::Utf8FromWide(BuildTreeProgramPath())).parent_path() / "resources" / "icc" / name).string());
}

class PictureColorTest : public ::testing::Test {
protected:
  // The profiles are read through the storage classes.
  static void SetUpTestSuite() { InitStorageClasses(); }
};

// A one-row picture of the given pixels (blue, green, red), padding 0xEE.
CET_Dib Row(const std::vector<std::array<BYTE, 3>>& pixels, int bitCount = 24) {
  BITMAPINFO header{};
  header.bmiHeader.biSize = 40;
  header.bmiHeader.biWidth = static_cast<LONG>(pixels.size());
  header.bmiHeader.biHeight = 1;
  header.bmiHeader.biBitCount = static_cast<WORD>(bitCount);
  std::vector<BYTE> bits(static_cast<size_t>(DibRowBytes(header.bmiHeader.biWidth, bitCount)), 0xEE);
  for (size_t i = 0; i < pixels.size(); ++i) {
    for (int k = 0; k < 3; ++k) {
      bits[i * bitCount / 8 + k] = pixels[i][k];
    }
  }
  CET_Dib dib;
  dib.Set(&header, bits.data(), static_cast<DWORD>(bits.size()));
  return dib;
}

TEST_F(PictureColorTest, SameProfileKeepsThePixelsAndAWiderSpaceMovesSaturatedRed) {
  const CET_Dib picture = Row({{0, 0, 255}, {128, 128, 128}, {10, 200, 30}, {255, 255, 255}, {0, 0, 0}});
  std::unique_ptr<CET_Dib> same(TransformDibColor(&picture, Profile("sRGB.icc"), Profile("sRGB.icc")));
  ASSERT_TRUE(same);
  for (DWORD i = 0; i < picture.size; ++i) {
    EXPECT_NEAR(same->bits[i], picture.bits[i], 2) << i;
  }
  EXPECT_EQ(same->bits[15], 0xEE); // padding

  std::unique_ptr<CET_Dib> wide(TransformDibColor(&picture, Profile("sRGB.icc"), Profile("ProPhotoRGB.icc")));
  ASSERT_TRUE(wide);
  EXPECT_LT(wide->bits[2], 230); // red falls
  EXPECT_GT(wide->bits[1], 30);  // green rises
  EXPECT_NEAR(wide->bits[5], wide->bits[3], 2); // grey stays grey
}

TEST_F(PictureColorTest, ThirtyTwoBitPixelsKeepTheirFourthByte) {
  CET_Dib picture = Row({{0, 0, 255}, {50, 60, 70}}, 32);
  picture.bits[3] = 0x11;
  picture.bits[7] = 0x22;
  std::unique_ptr<CET_Dib> out(TransformDibColor(&picture, Profile("sRGB.icc"), Profile("AdobeRGB1998.icc")));
  ASSERT_TRUE(out);
  EXPECT_EQ(out->bits[3], 0x11);
  EXPECT_EQ(out->bits[7], 0x22);
}

TEST_F(PictureColorTest, NoConversionWithoutProfilesOrForOtherDepths) {
  const CET_Dib picture = Row({{1, 2, 3}});
  EXPECT_EQ(TransformDibColor(nullptr, Profile("sRGB.icc"), Profile("sRGB.icc")), nullptr);
  EXPECT_EQ(TransformDibColor(&picture, Profile("missing.icc"), Profile("sRGB.icc")), nullptr);
  EXPECT_EQ(TransformDibColor(&picture, Profile("sRGB.icc"), FString()), nullptr);
  CET_Dib grey = Row({{1, 2, 3}});
  grey.header->bmiHeader.biBitCount = 8;
  EXPECT_EQ(TransformDibColor(&grey, Profile("sRGB.icc"), Profile("sRGB.icc")), nullptr);
}

TEST_F(PictureColorTest, ClipWarningByMode) {
  const COLORREF high = RGB(255, 0, 0), low = RGB(0, 0, 255);
  // Pixels as (blue, green, red).
  const CET_Dib picture = Row({{250, 251, 251}, {251, 251, 251}, {0, 100, 100}, {3, 2, 1}, {100, 100, 252}});
  const struct {
    int mode;
    std::vector<int> expected; // per pixel: 0 unchanged, 1 high, 2 low
  } cases[] = {
      {0, {0, 1, 0, 2, 0}}, {1, {1, 1, 2, 2, 1}}, {2, {1, 1, 0, 2, 1}},
      {3, {1, 1, 0, 2, 0}}, {4, {0, 1, 2, 2, 0}}, {5, {0, 0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    std::unique_ptr<CET_Dib> warned(MakeClipWarningDib(&picture, nullptr, c.mode, 250, 5, high, low));
    ASSERT_TRUE(warned);
    for (int x = 0; x < 5; ++x) {
      const int expected = c.expected[static_cast<size_t>(x)];
      const int colour = expected == 1 ? int(high) : expected == 2 ? int(low) : picture.GetPixel(x, 0);
      EXPECT_EQ(warned->GetPixel(x, 0), colour) << "mode " << c.mode << " pixel " << x;
    }
  }
}

TEST_F(PictureColorTest, ClipWarningPaintsOnTheBaseOfTheSameGeometryOnly) {
  const CET_Dib picture = Row({{255, 255, 255}, {9, 9, 9}});
  const CET_Dib base = Row({{1, 1, 1}, {2, 2, 2}});
  std::unique_ptr<CET_Dib> warned(MakeClipWarningDib(&picture, &base, 0, 250, 5, RGB(255, 0, 0), RGB(0, 0, 255)));
  ASSERT_TRUE(warned);
  EXPECT_EQ(warned->GetPixel(0, 0), int(RGB(255, 0, 0)));
  EXPECT_EQ(warned->GetPixel(1, 0), base.GetPixel(1, 0));
  const CET_Dib wider = Row({{1, 1, 1}, {2, 2, 2}, {3, 3, 3}});
  EXPECT_EQ(MakeClipWarningDib(&picture, &wider, 0, 250, 5, 0, 0), nullptr);
  const CET_Dib deeper = Row({{1, 1, 1}, {2, 2, 2}}, 32);
  EXPECT_EQ(MakeClipWarningDib(&picture, &deeper, 0, 250, 5, 0, 0), nullptr);
  EXPECT_EQ(MakeClipWarningDib(nullptr, nullptr, 0, 250, 5, 0, 0), nullptr);
}

} // namespace
