#include "toolkit/DecodedPicture.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// Pixel (x, y from the top) holds blue = x, green = y.
DecodedPicture Numbered(int width, int height) {
  DecodedPicture picture = AllocatePicture(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      BYTE* p = picture.Row(y) + 4 * x;
      p[0] = BYTE(x);
      p[1] = BYTE(y);
      p[2] = 9;
      p[3] = 0xFF;
    }
  }
  return picture;
}

std::pair<int, int> At(const DecodedPicture& p, int x, int y) { return {p.Row(y)[4 * x], p.Row(y)[4 * x + 1]}; }

TEST(DecodedPictureTest, RotateFlipStepsAsSeenOnTheScreen) {
  const DecodedPicture source = Numbered(3, 2); // w = 3, h = 2
  // The source pixel shown at the target's top-left and top-right corners.
  const struct {
    int type;
    int width;
    std::pair<int, int> topLeft, topRight;
  } cases[] = {
      {0, 3, {0, 0}, {2, 0}}, {1, 2, {0, 1}, {0, 0}}, {2, 3, {2, 1}, {0, 1}}, {3, 2, {2, 0}, {2, 1}},
      {4, 3, {2, 0}, {0, 0}}, {5, 2, {0, 0}, {0, 1}}, {6, 3, {0, 1}, {2, 1}}, {7, 2, {2, 1}, {2, 0}},
  };
  for (const auto& c : cases) {
    const DecodedPicture turned = RotateFlipPicture(source, c.type);
    ASSERT_TRUE(turned) << c.type;
    EXPECT_EQ(turned.width, c.width) << c.type;
    EXPECT_EQ(turned.width * turned.height, 6);
    EXPECT_EQ(At(turned, 0, 0), c.topLeft) << c.type;
    EXPECT_EQ(At(turned, turned.width - 1, 0), c.topRight) << c.type;
    EXPECT_EQ(RotateFlipExchangesSize(c.type), c.width == 2);
  }
  EXPECT_FALSE(RotateFlipPicture(source, 8));
}

TEST(DecodedPictureTest, OrientationToTheStepThatMakesItUpright) {
  const int expected[10] = {0, 0, 4, 2, 6, 5, 1, 7, 3, 0};
  for (int orientation = 0; orientation <= 9; ++orientation) {
    EXPECT_EQ(RotateFlipTypeOfOrientation(orientation), expected[orientation]) << orientation;
  }
}

TEST(DecodedPictureTest, ResamplingAveragesWhenShrinkingAndKeepsFlatAreasFlat) {
  DecodedPicture checker = AllocatePicture(8, 8);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      std::memset(checker.Row(y) + 4 * x, (x + y) % 2 ? 200 : 100, 4);
    }
  }
  const DecodedPicture half = ResamplePicture(checker, 4, 4);
  ASSERT_TRUE(half);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      EXPECT_NEAR(half.Row(y)[4 * x], 150, 12) << x << "," << y;
    }
  }
  DecodedPicture flat = AllocatePicture(5, 3);
  for (std::uint64_t i = 0; i < flat.ByteSize(); ++i) {
    flat.bits[i] = i % 4 == 3 ? 0xFF : 77;
  }
  for (const auto& [w, h] : {std::pair{17, 9}, std::pair{2, 1}, std::pair{5, 3}, std::pair{1, 40}}) {
    const DecodedPicture scaled = ResamplePicture(flat, w, h);
    ASSERT_TRUE(scaled);
    ASSERT_EQ(scaled.width, w);
    for (std::uint64_t i = 0; i < scaled.ByteSize(); ++i) {
      ASSERT_EQ(scaled.bits[i], i % 4 == 3 ? 0xFF : 77) << w << "x" << h;
    }
  }
}

TEST(DecodedPictureTest, BilinearResamplingInterpolatesBetweenNeighbours) {
  // Blue rises by 10 a column: halfway between two columns lies halfway between their values.
  DecodedPicture ramp = AllocatePicture(4, 2);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 4; ++x) {
      BYTE* p = ramp.Row(y) + 4 * x;
      p[0] = BYTE(10 * x);
      p[1] = 77;
      p[2] = BYTE(100 * y);
      p[3] = 0;
    }
  }
  const DecodedPicture shown = ResamplePictureBilinear(ramp, 2, 1);
  ASSERT_TRUE(shown);
  EXPECT_EQ(shown.Row(0)[0], 5);  // between columns 0 and 1
  EXPECT_EQ(shown.Row(0)[4], 25); // between columns 2 and 3
  EXPECT_EQ(shown.Row(0)[1], 77);
  EXPECT_EQ(shown.Row(0)[2], 50); // between the two rows
  EXPECT_EQ(shown.Row(0)[3], 0xFF);
  const DecodedPicture wide = ResamplePictureBilinear(ramp, 400, 3);
  ASSERT_TRUE(wide);
  EXPECT_EQ(wide.Row(1)[0], 0) << "the edges are held, not extrapolated";
  EXPECT_EQ(wide.Row(1)[4 * 399], 30);
  for (int x = 0; x < 400; ++x) {
    ASSERT_EQ(wide.Row(2)[4 * x + 1], 77) << x;
  }
  EXPECT_FALSE(ResamplePictureBilinear(DecodedPicture{}, 2, 2));
}

TEST(DecodedPictureTest, SizesBeyondTheLimitAreRefusedBeforeAllocating) {
  EXPECT_FALSE(AllocatePicture(0, 10));
  EXPECT_FALSE(AllocatePicture(10, -1));
  EXPECT_FALSE(AllocatePicture(1 << 20, 1 << 20));
  const std::uint64_t old = GetMaxPictureBytes();
  SetMaxPictureBytes(400);
  EXPECT_TRUE(AllocatePicture(10, 10));
  EXPECT_FALSE(AllocatePicture(10, 11));
  SetMaxPictureBytes(old);
}

} // namespace
