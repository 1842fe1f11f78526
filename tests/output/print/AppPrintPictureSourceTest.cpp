// The program's print pictures: a still decoded at full size, a movie's frame
// at one second, no picture from a movie too short for it, from a damaged raw
// file or from a movie type the decoder cannot read, and the information
// lines of a file without shooting information.

#include "output/print/AppPrintPictureSource.h"

#include "foundation/FIStorageClass.h"
#include "foundation/FPath.h"
#include "support/PictureFileBuilder.h"
#include "toolkit/PictureFileTypes.h"
#include "support/MovieWriter.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;

namespace {

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

FString PathOf(const fs::path& path) { return PathFromNative(path.string()); }

} // namespace

TEST(AppPrintPictureSource, PicturesByKind) {
  InitStorageClasses(); // as the program does at start
  testsupport::TempDir dir;
  AppPrintPictureSource source(nullptr, nullptr, nullptr);

  const fs::path jpeg = dir.Path() / "still.jpg";
  WriteBytes(jpeg, testsupport::QuarterJpeg(64, 48));
  auto still = source.LoadStill(PathOf(jpeg));
  ASSERT_TRUE(still);
  EXPECT_EQ(still->GetWidth(), 64);
  EXPECT_EQ(std::abs(still->GetHeight()), 48);

  testsupport::MovieShape shape;
  shape.frames = 20; // two seconds at 10 frames a second
  const fs::path movie = dir.Path() / "clip.avi";
  testsupport::WriteMovie(movie, shape);
  ASSERT_EQ(source.FileType(PathOf(movie)), ETFILETYPE_AVI);
  auto frame = source.GrabMovieFrame(PathOf(movie));
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->GetWidth(), 320);
  EXPECT_EQ(std::abs(frame->GetHeight()), 240);

  shape.frames = 5; // half a second: there is no frame at one second
  const fs::path shortMovie = dir.Path() / "short.avi";
  testsupport::WriteMovie(shortMovie, shape);
  EXPECT_FALSE(source.GrabMovieFrame(PathOf(shortMovie)));

  const fs::path raw = dir.Path() / "broken.kvr";
  testsupport::WriteFileBytes(raw, "PDXb and nothing else");
  EXPECT_FALSE(source.DevelopRaw(PathOf(raw), nullptr));

  shape.format = "mp4";
  shape.encoder = "mpeg4";
  shape.frames = 20;
  const fs::path mp4 = dir.Path() / "clip.mp4";
  testsupport::WriteMovie(mp4, shape);
  EXPECT_NE(source.FileType(PathOf(mp4)), ETFILETYPE_AVI);
  EXPECT_FALSE(source.LoadStill(PathOf(mp4))) << "printed as an empty cell with its texts";

  EXPECT_EQ(source.InfoLines(PathOf(jpeg)), (std::vector<std::u16string>{u"still.jpg", u"", u""}));
}
