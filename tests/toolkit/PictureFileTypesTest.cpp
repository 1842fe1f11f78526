#include "toolkit/CET_GDIPlus.h"
#include "toolkit/PictureFileTypes.h"

#include <gtest/gtest.h>

namespace {

TEST(PictureFileTypesTest, TypeByTheLastExtensionIgnoringCase) {
  const struct {
    const char16_t* path;
    int type;
  } cases[] = {
      {u"/p/a.JpEg", 0},  {u"/p/a.jpg", 0},     {u"/p/a.JFIF", 0}, {u"/p/a.tif", 1},   {u"/p/a.TIFF", 1},
      {u"/p/a.png", 3},   {u"/p/a.bmp", 4},     {u"/p/a.gif", 5},  {u"/p/a.kvr", 6},   {u"/p/a.avi", 7},
      {u"/p/a.mpeg", 8},  {u"/p/a.MPG", 8},     {u"/p/a.wmv", 9},  {u"/p/a.mp4", 10},  {u"/p/noext", -1},
      {u"/p/a.jp2", -1},  {u"/p/a.tar.gz", -1}, {u"/p/a.jpe", -1}, {u"/p.jpg/x", -1},  {u"", -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GetFileType(FString(c.path)), c.type) << FString(c.path).GetAscii();
  }
  // A dot in a folder name counts when the file name has none.
  EXPECT_EQ(GetFileExtension(FString(u"/a.b/c")), u"b/c");
  EXPECT_EQ(GetFileExtension(FString(u"/a/c")).GetLength(), 0);
}

TEST(PictureFileTypesTest, StillTypes) {
  const bool still[] = {true, true, true, false, true, true, true, false, false, false, false};
  for (int type = 0; type <= 10; ++type) {
    EXPECT_EQ(IsStillFileType(type), still[type]) << type;
  }
  EXPECT_FALSE(IsStillFileType(-1));
}

TEST(PictureFileTypesTest, EncodersAreFoundByTheirExactFormatName) {
  const CET_GDIPlus codecs;
  EXPECT_EQ(codecs.m_nEncoders, 5u);
  for (const char16_t* name : {u"JPEG", u"TIFF", u"PNG", u"BMP", u"GIF"}) {
    const CET_ImageCodecInfo* encoder = codecs.GetEncoderClsid(name);
    ASSERT_TRUE(encoder);
    EXPECT_EQ(FString(encoder->FormatDescription), name);
  }
  EXPECT_EQ(codecs.GetEncoderClsid(u"jpeg"), nullptr);
  EXPECT_EQ(codecs.GetEncoderClsid(u"JPG"), nullptr);
  EXPECT_EQ(codecs.GetEncoderClsid(nullptr), nullptr);
}

} // namespace
