#include "toolkit/CET_ExifData.h"
#include "toolkit/ExifInPlaceWriters.h"

#include "foundation/FPath.h"
#include "support/PictureFileBuilder.h"
#include "support/TempFileTest.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

using namespace testsupport;

std::string Text(const PropertyItem* item) {
  return item && item->value ? std::string(static_cast<const char*>(item->value)) : std::string("<none>");
}
uint32_t Long(const PropertyItem* item, int index = 0) {
  uint32_t v = 0;
  std::memcpy(&v, static_cast<const uint8_t*>(item->value) + 4 * index, 4);
  return v;
}
uint16_t Short(const PropertyItem* item) {
  uint16_t v = 0;
  std::memcpy(&v, item->value, 2);
  return v;
}

// The maker note's signature (the Make text is "TALVO" too, without the zeros).
PictureBytes::iterator FindMakerNote(PictureBytes& bytes) {
  static const uint8_t kSignature[8] = {'T', 'A', 'L', 'V', 'O', 0, 0, 0};
  return std::search(bytes.begin(), bytes.end(), std::begin(kSignature), std::end(kSignature));
}

PictureBytes StructureWith(bool bigEndian, std::optional<uint32_t> markFlag = std::nullopt, bool swapped = false) {
  ExifFields fields;
  fields.bigEndian = bigEndian;
  fields.orientation = 6;
  fields.markFlag = markFlag;
  fields.makerNoteSwapped = swapped;
  return BuildExifStructure(fields);
}

TEST(CET_ExifDataTest, ItemsOfBothDirectoriesInMachineOrder) {
  for (const bool bigEndian : {false, true}) {
    const PictureBytes bytes = StructureWith(bigEndian);
    CET_ExifData exif;
    ASSERT_EQ(exif.ParseBuffer(bytes.data(), bytes.size()), 1) << bigEndian;
    EXPECT_EQ(exif.GetCount(), 4u + 3u);
    EXPECT_EQ(Text(exif.FindItem(0x010F)), "TALVO");
    EXPECT_EQ(Short(exif.FindItem(0x0112)), 6);
    const PropertyItem* resolution = exif.FindItem(0x011A);
    ASSERT_TRUE(resolution);
    EXPECT_EQ(resolution->type, 5);
    EXPECT_EQ(resolution->length, 8u);
    EXPECT_EQ(Long(resolution, 0), 72u); // numerator first
    EXPECT_EQ(Long(resolution, 1), 1u);
    EXPECT_EQ(Short(exif.FindItem(0x8827)), 200);
    EXPECT_EQ(std::string(static_cast<const char*>(exif.FindItem(0x9000)->value), 4), "0230");
    EXPECT_EQ(exif.GetItem(exif.GetCount()), nullptr);
    EXPECT_EQ(exif.GetMakerNoteCount(), 0u);
  }
}

TEST(CET_ExifDataTest, JpegSegmentsOtherThanExifAreSkipped) {
  ExifFields fields;
  fields.orientation = 3;
  PictureBytes jpeg = QuarterJpeg(16, 8, &fields);
  jpeg = InsertSegment(jpeg, 0xE1, PictureBytes{'h', 't', 't', 'p', ':', '/', '/', 'x', 'm', 'p', 0, '<', 'x', '>'});
  CET_ExifData exif;
  ASSERT_EQ(exif.ParseBuffer(jpeg.data(), jpeg.size()), 1);
  EXPECT_EQ(Short(exif.FindItem(0x0112)), 3);

  const PictureBytes plain = QuarterJpeg(16, 8);
  EXPECT_EQ(exif.ParseBuffer(plain.data(), plain.size()), 0);
  EXPECT_EQ(exif.GetCount(), 0u);
}

TEST(CET_ExifDataTest, MakerNoteItemsInEitherOrderAndOnlyAmongThemselves) {
  for (const bool swapped : {false, true}) {
    const PictureBytes bytes = StructureWith(true, 1, swapped);
    CET_ExifData exif;
    ASSERT_EQ(exif.ParseBuffer(bytes.data(), bytes.size()), 1);
    EXPECT_TRUE(exif.FindItem(37500));
    EXPECT_EQ(exif.FindItem(0x002F), nullptr);
    ASSERT_EQ(exif.GetMakerNoteCount(), 2u) << swapped;
    const PropertyItem* flag = exif.FindMakerNoteItem(0x002F);
    ASSERT_TRUE(flag);
    // Maker-note values stay in the note's own order.
    const auto* v = static_cast<const uint8_t*>(flag->value);
    EXPECT_EQ(swapped ? v[0] : v[3], 1);
    EXPECT_EQ(Text(exif.FindMakerNoteItem(0x0010)), "KT6M-TEST");
  }
}

TEST(CET_ExifDataTest, MakerNoteThatFailsTheOrderProbeGivesNoItems) {
  PictureBytes bytes = StructureWith(false, 1);
  const auto at = FindMakerNote(bytes);
  ASSERT_NE(at, bytes.end());
  at[8] = 0x01; // 0x0101 reads 257 both ways
  at[9] = 0x01;
  CET_ExifData exif;
  ASSERT_EQ(exif.ParseBuffer(bytes.data(), bytes.size()), 1);
  EXPECT_EQ(exif.GetMakerNoteCount(), 0u);
  EXPECT_TRUE(exif.FindItem(37500));
}

TEST(CET_ExifDataTest, RefusedAndBrokenStructuresGiveZero) {
  ExifBytes big(false);
  big.Append({'I', 'I', 42, 0, 8, 0, 0, 0});
  std::vector<ExifRawEntry> many;
  for (int i = 0; i < 257; ++i) {
    many.push_back(big.Short(static_cast<uint16_t>(0x1000 + i), 1));
  }
  big.AppendIfd(many);
  CET_ExifData exif;
  EXPECT_EQ(exif.ParseBuffer(big.Bytes().data(), big.Size()), 0);

  // Every cut of a valid structure: never a read outside, never a crash.
  const PictureBytes whole = StructureWith(true, 1);
  for (size_t length = 0; length < whole.size(); ++length) {
    const PictureBytes cut(whole.begin(), whole.begin() + static_cast<long>(length));
    exif.ParseBuffer(cut.data(), cut.size());
  }
  // A value offset beyond the end.
  ExifBytes outside(false);
  outside.Append({'I', 'I', 42, 0, 8, 0, 0, 0});
  ExifRawEntry text = outside.Ascii(0x010F, "far away text");
  text.offset = 0x7FFFFFF0;
  outside.AppendIfd({text});
  EXPECT_EQ(exif.ParseBuffer(outside.Bytes().data(), outside.Size()), 0);
  EXPECT_EQ(exif.ParseBuffer(nullptr, 100), 0);
}

TEST(CET_ExifDataTest, CopiesAreDeepAndForeignBlocksAreChecked) {
  const PictureBytes bytes = StructureWith(false, 0);
  CET_ExifData exif;
  ASSERT_EQ(exif.ParseBuffer(bytes.data(), bytes.size()), 1);
  exif.SetImageSize(30, 20);
  CET_ExifData copy(exif);
  exif.Clear();
  EXPECT_EQ(copy.GetCount(), 8u);
  EXPECT_EQ(Text(copy.FindItem(0x010F)), "TALVO");
  EXPECT_EQ(Text(copy.FindMakerNoteItem(0x0010)), "KT6M-TEST");
  EXPECT_EQ(copy.GetImageWidth(), 30);

  CET_ExifData taken;
  taken.SetItems(copy.GetTotalSize(), copy.GetCount(), copy.GetItems());
  EXPECT_EQ(Text(taken.FindItem(0x010F)), "TALVO");
  EXPECT_NE(taken.FindItem(0x010F)->value, copy.FindItem(0x010F)->value);

  PropertyItem stray[2] = {};
  char elsewhere[8] = "abc";
  stray[0] = {0x010F, 4, 2, elsewhere};
  taken.SetItems(sizeof stray, 2, stray);
  EXPECT_EQ(taken.GetCount(), 0u);
}

TEST(CET_ExifDataTest, ValuesAndTypeSizes) {
  const uint8_t be[4] = {0x12, 0x34, 0x56, 0x78};
  uint32_t l = 0;
  uint16_t s = 0;
  CET_ExifData::ReadValue(true, be, 4, &l);
  CET_ExifData::ReadValue(false, be, 3, &s);
  EXPECT_EQ(l, 0x12345678u);
  EXPECT_EQ(s, 0x3412);
  const int sizes[13] = {0, 1, 1, 2, 4, 8, 0, 1, 0, 4, 8, 0, 0};
  for (int type = 0; type < 13; ++type) {
    EXPECT_EQ(CET_ExifData::GetTypeSize(type), sizes[type]) << type;
  }
}

class ExifFileTest : public TempFileTest {
protected:
  FString Write(const std::string& name, const PictureBytes& bytes) {
    WriteFileBytes(PathOf(name), std::string(bytes.begin(), bytes.end()));
    return PathFromNative(PathOf(name).string());
  }
  PictureBytes Read(const std::string& name) {
    const std::string s = ReadFileBytes(PathOf(name));
    return PictureBytes(s.begin(), s.end());
  }
  // Positions where two files differ.
  static std::vector<size_t> Differences(const PictureBytes& a, const PictureBytes& b) {
    std::vector<size_t> at;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
      if (a[i] != b[i]) {
        at.push_back(i);
      }
    }
    return at;
  }
};

TEST_F(ExifFileTest, ReadFileRefusesWhatHoldsNoItems) {
  CET_ExifData exif;
  EXPECT_EQ(exif.ReadFile(PathFromNative(PathOf("missing.jpg").string())), 0);
  EXPECT_EQ(exif.ReadFile(PathFromNative(m_Dir.Str())), 0);
  ExifFields fields;
  fields.orientation = 8;
  const PictureBytes jpeg = QuarterJpeg(16, 16, &fields);
  EXPECT_EQ(exif.ReadFile(Write("a.avi", jpeg)), 0);
  EXPECT_EQ(exif.ReadFile(Write("short.jpg", PictureBytes(jpeg.begin(), jpeg.begin() + 31))), 0);
  EXPECT_EQ(exif.ReadFile(Write("a.jpg", jpeg)), 1);
  EXPECT_EQ(Short(exif.FindItem(0x0112)), 8);
}

TEST_F(ExifFileTest, TiffDirectoriesBeyondTheFirstReadAreFound) {
  // IFD0 placed behind a large block, as TIFF writers put it after the pixels.
  ExifBytes b(true);
  b.Append({'M', 'M', 0, 42});
  b.Append(b.U32s({0}));
  b.PadTo(400 * 1024, 0x55);
  const uint32_t ifd0 = static_cast<uint32_t>(b.Size());
  b.PutU32(4, ifd0);
  b.AppendIfd({b.Short(0x0112, 5), b.Ascii(0x0110, "KT6M")});
  CET_ExifData exif;
  ASSERT_EQ(exif.ReadFile(Write("far.tif", b.Bytes())), 1);
  EXPECT_EQ(Short(exif.FindItem(0x0112)), 5);
}

TEST_F(ExifFileTest, OrientationTurnsInPlaceByTheTable) {
  struct Case {
    uint16_t before;
    bool clockwise;
    int result;
    uint16_t after;
  } cases[] = {{6, true, 1, 3}, {1, false, 1, 8}, {8, true, 1, 1}, {5, false, 1, 4}, {0, true, 0, 0}, {9, false, 0, 9}};
  for (const bool bigEndian : {false, true}) {
    for (const Case& c : cases) {
      ExifFields fields;
      fields.bigEndian = bigEndian;
      fields.orientation = c.before;
      const FString path = Write("turn.jpg", QuarterJpeg(16, 16, &fields));
      const PictureBytes before = Read("turn.jpg");
      EXPECT_EQ(RotateJpegByExif(path, c.clockwise), c.result) << c.before;
      const PictureBytes after = Read("turn.jpg");
      ASSERT_EQ(after.size(), before.size());
      CET_ExifData exif;
      ASSERT_EQ(exif.ParseBuffer(after.data(), after.size()), 1);
      EXPECT_EQ(Short(exif.FindItem(0x0112)), c.after);
      EXPECT_LE(Differences(before, after).size(), 1u); // one byte of the SHORT changes
    }
  }
}

TEST_F(ExifFileTest, InPlaceWritersLeaveLockedAndUnrecognisedFilesAlone) {
  ExifFields fields;
  fields.orientation = 1;
  fields.markFlag = 0;
  const FString path = Write("locked.jpg", QuarterJpeg(16, 16, &fields));
  chmod(PathOf("locked.jpg").c_str(), 0444);
  const PictureBytes before = Read("locked.jpg");
  EXPECT_EQ(RotateJpegByExif(path, true), 0);
  EXPECT_EQ(SetJpegMarkFlag(path, true), 0);
  EXPECT_EQ(Read("locked.jpg"), before);

  ExifFields plain;
  const FString noOrientation = Write("plain.jpg", QuarterJpeg(16, 16, &plain));
  EXPECT_EQ(RotateJpegByExif(noOrientation, true), 0);
  EXPECT_EQ(SetJpegMarkFlag(noOrientation, true), 0); // no maker note
  EXPECT_EQ(RotateJpegByExif(PathFromNative(PathOf("none.jpg").string()), true), 0);

  // A maker note of another maker.
  fields.orientation.reset();
  PictureBytes other = QuarterJpeg(16, 16, &fields);
  const auto at = FindMakerNote(other);
  at[0] = 'X';
  const FString foreign = Write("foreign.jpg", other);
  EXPECT_EQ(SetJpegMarkFlag(foreign, true), 0);
  EXPECT_EQ(Read("foreign.jpg"), other);
}

TEST_F(ExifFileTest, MarkFlagIsWrittenInTheFilesOrder) {
  for (const bool bigEndian : {false, true}) {
    ExifFields fields;
    fields.bigEndian = bigEndian;
    fields.markFlag = 0;
    const FString path = Write("mark.jpg", QuarterJpeg(16, 16, &fields));
    const PictureBytes before = Read("mark.jpg");
    EXPECT_EQ(SetJpegMarkFlag(path, true), 1);
    const PictureBytes marked = Read("mark.jpg");
    EXPECT_EQ(Differences(before, marked).size(), 1u);
    CET_ExifData exif;
    ASSERT_EQ(exif.ReadFile(path), 1);
    const auto* v = static_cast<const uint8_t*>(exif.FindMakerNoteItem(0x002F)->value);
    EXPECT_EQ(bigEndian ? v[3] : v[0], 1);
    EXPECT_EQ(SetJpegMarkFlag(path, false), 1);
    EXPECT_EQ(Read("mark.jpg"), before);
  }
}

} // namespace
