// Shared colour transforms: made once per pair of profiles, converted through
// by several threads at once (this test also runs under ThreadSanitizer).

#include "platform/core/ColorTransforms.h"

#include "support/BuildTree.h"
#include "foundation/FPath.h"

#include <gtest/gtest.h>

#include <thread>
#include <unistd.h>
#include <vector>

using platform::core::CachedColorTransform;
using platform::core::PixelFormat;

namespace {

std::u16string Profile(const char16_t* name) {
  const FString folder = PathJoin(PathParent(testsupport::BuildTreeProgramPath()), u"resources/icc");
  return std::u16string(PathJoin(folder, name).View());
}

// Rows of saturated and grey pixels, 24-bit, padded to 4 bytes.
std::vector<std::uint8_t> Pixels(int width, int rows, std::ptrdiff_t stride) {
  std::vector<std::uint8_t> bits(static_cast<std::size_t>(stride * rows), 0xEE);
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = &bits[static_cast<std::size_t>(y * stride + 3 * x)];
      p[0] = static_cast<std::uint8_t>(x * 7);
      p[1] = static_cast<std::uint8_t>(y * 5);
      p[2] = 255;
    }
  }
  return bits;
}

} // namespace

TEST(ColorTransformThreads, TwoThreadsShareOneCachedTransform) {
  const std::u16string srgb = Profile(u"sRGB.icc"), wide = Profile(u"AdobeRGB1998.icc");
  const auto shared = CachedColorTransform(srgb, wide, PixelFormat::Bgr24);
  ASSERT_TRUE(shared);
  constexpr int kWidth = 37, kRows = 9;
  constexpr std::ptrdiff_t kStride = 112; // 37 x 3 padded to 4
  const std::vector<std::uint8_t> source = Pixels(kWidth, kRows, kStride);
  std::vector<std::uint8_t> expected = source;
  shared->Apply(source.data(), kStride, expected.data(), kStride, kWidth, kRows);
  // Saturated red moves into the wider gamut; the row padding stays untouched.
  EXPECT_LT(expected[2], 250);
  EXPECT_EQ(expected[111], 0xEE);

  auto work = [&](std::vector<std::uint8_t>& out, bool& same) {
    same = true;
    for (int i = 0; i < 200; ++i) {
      const auto transform = CachedColorTransform(srgb, wide, PixelFormat::Bgr24);
      same = same && transform == shared;
      out = source;
      transform->Apply(out.data(), kStride, out.data(), kStride, kWidth, kRows);
    }
  };
  std::vector<std::uint8_t> a, b;
  bool sameA = false, sameB = false;
  std::thread first(work, std::ref(a), std::ref(sameA));
  std::thread second(work, std::ref(b), std::ref(sameB));
  first.join();
  second.join();
  EXPECT_TRUE(sameA && sameB) << "both threads get the one cached transform";
  EXPECT_EQ(a, expected);
  EXPECT_EQ(b, expected);
}

TEST(ColorTransformThreads, SameOrUnreadableProfilesGiveNoTransform) {
  const std::u16string srgb = Profile(u"sRGB.icc");
  EXPECT_FALSE(CachedColorTransform(srgb, srgb, PixelFormat::Bgr24));
  EXPECT_FALSE(CachedColorTransform(srgb, Profile(u"missing.icc"), PixelFormat::Bgr24));
  EXPECT_FALSE(CachedColorTransform(srgb, Profile(u"AdobeRGB1998.icc"), PixelFormat::Argb32Premultiplied));
  // A folder, and a file that is no profile.
  EXPECT_FALSE(CachedColorTransform(srgb, u"/", PixelFormat::Bgr24));
  char name[] = "/tmp/not-a-profile-XXXXXX";
  const int fd = ::mkstemp(name);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, "acspnot really a profile at all", 31), 31);
  ::close(fd);
  EXPECT_FALSE(CachedColorTransform(srgb, std::u16string(name, name + sizeof name - 1), PixelFormat::Bgr24));
  ::unlink(name);
  // 32-bit pixels keep their fourth byte.
  const auto quads = CachedColorTransform(srgb, Profile(u"ProPhotoRGB.icc"), PixelFormat::Bgrx32);
  ASSERT_TRUE(quads);
  std::uint8_t pixel[4] = {0, 0, 255, 0x5A};
  quads->Apply(pixel, 4, pixel, 4, 1, 1);
  EXPECT_EQ(pixel[3], 0x5A);
  EXPECT_LT(pixel[2], 250);
}
