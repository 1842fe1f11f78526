// Colour management of pictures drawn on a DC: with the sRGB monitor
// profile nothing changes; a wide-gamut output profile moves a saturated red;
// colour spaces, profile paths and refused profiles.

#include "platform/testing/Headless.h"
#include "RasterCanvas.h"

#include <gtest/gtest.h>

namespace pt = platform::testing;

namespace {

std::u16string IccPath(const char* name) {
  const std::string path = platform::ResourceFolder() + "/icc/" + name;
  return std::u16string(path.begin(), path.end());
}

// A 2 x 1 picture: saturated red, then a mid grey.
struct RedAndGrey {
  BITMAPINFO info{};
  BYTE bits[8] = {0, 0, 255, 128, 128, 128, 0, 0};
  RedAndGrey() {
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = 2;
    info.bmiHeader.biHeight = 1;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
  }
};

// What the picture becomes on a canvas with the DC's current colour management.
std::pair<COLORREF, COLORREF> Drawn(Canvas& c) {
  const RedAndGrey picture;
  StretchDIBits(c.dc, 0, 0, 2, 1, 0, 0, 2, 1, picture.bits, &picture.info, DIB_RGB_COLORS, SRCCOPY);
  return {c.Pixel(0, 0), c.Pixel(1, 0)};
}

class PlatformIcm : public ::testing::Test {
protected:
  void SetUp() override { pt::Init(); }
};

} // namespace

TEST_F(PlatformIcm, TheSrgbMonitorLeavesPixelsAndAWideGamutMovesRed) {
  Canvas c(2, 1, false, 24);
  EXPECT_EQ(c.dc.SetICMMode(ICM_QUERY), ICM_OFF);
  const auto plain = Drawn(c);
  EXPECT_EQ(plain.first, RGB(255, 0, 0));
  EXPECT_EQ(c.dc.SetICMMode(ICM_ON), ICM_OFF);
  // The monitor's profile is sRGB until the back end knows better.
  WCHAR path[MAX_PATH] = {};
  DWORD size = MAX_PATH;
  ASSERT_TRUE(GetICMProfileW(c.dc, &size, path));
  EXPECT_EQ(std::u16string(path), IccPath("sRGB.icc"));
  EXPECT_EQ(Drawn(c), plain);
  // A wide-gamut output profile changes a saturated red, not a grey much.
  std::u16string adobe = IccPath("AdobeRGB1998.icc");
  ASSERT_TRUE(SetICMProfileW(c.dc, adobe.data()));
  const auto wide = Drawn(c);
  EXPECT_LT(GetRValue(wide.first), 240);
  EXPECT_NEAR(GetRValue(wide.second), GetGValue(wide.second), 2);
  EXPECT_NEAR(GetGValue(wide.second), GetBValue(wide.second), 2);
  // A source space of the same profile has nothing to convert.
  LOGCOLORSPACEW space{};
  space.lcsSignature = LCS_SIGNATURE;
  space.lcsVersion = 0x400;
  space.lcsSize = sizeof space;
  space.lcsCSType = LCS_CALIBRATED_RGB;
  space.lcsIntent = LCS_GM_IMAGES;
  std::copy(adobe.begin(), adobe.end(), space.lcsFilename);
  const HCOLORSPACE adobeSpace = CreateColorSpaceW(&space);
  ASSERT_TRUE(adobeSpace);
  const HCOLORSPACE previous = SetColorSpace(c.dc, adobeSpace);
  ASSERT_TRUE(previous);
  EXPECT_EQ(Drawn(c), plain);
  EXPECT_EQ(SetColorSpace(c.dc, previous), adobeSpace);
  EXPECT_TRUE(DeleteColorSpace(adobeSpace));
  // ICM off: the pixels as they are again.
  c.dc.SetICMMode(ICM_OFF);
  EXPECT_EQ(Drawn(c), plain);
}

TEST_F(PlatformIcm, ProfilesThatCannotBeReadAreRefused) {
  Canvas c(2, 1, false, 32);
  std::u16string missing = IccPath("missing.icc");
  EXPECT_FALSE(SetICMProfileW(c.dc, missing.data()));
  EXPECT_FALSE(SetICMProfileW(c.dc, nullptr));
  DWORD size = 3;
  WCHAR small[3] = {};
  EXPECT_FALSE(GetICMProfileW(c.dc, &size, small));
  EXPECT_EQ(size, IccPath("sRGB.icc").size() + 1);
  EXPECT_EQ(c.dc.SetICMMode(7), 0);
  LOGCOLORSPACEW bad{};
  EXPECT_FALSE(CreateColorSpaceW(&bad));
  // A 32-bit target converts as well; a missing source profile converts nothing.
  c.dc.SetICMMode(ICM_ON);
  std::u16string prophoto = IccPath("ProPhotoRGB.icc");
  ASSERT_TRUE(SetICMProfileW(c.dc, prophoto.data()));
  EXPECT_LT(GetRValue(Drawn(c).first), 240);
  LOGCOLORSPACEW space{};
  space.lcsSignature = LCS_SIGNATURE;
  space.lcsCSType = LCS_CALIBRATED_RGB;
  std::copy(missing.begin(), missing.end(), space.lcsFilename);
  const HCOLORSPACE unreadable = CreateColorSpaceW(&space);
  SetColorSpace(c.dc, unreadable);
  EXPECT_EQ(Drawn(c).first, RGB(255, 0, 0));
  SetColorSpace(c.dc, nullptr);
  DeleteColorSpace(unreadable);
}
