// What the information palette shows of a file's shooting information, rule
// by rule, with a text table whose text for id N is "T<N>" so that every
// choice of text shows: the mapped rows and their icons, the white-balance
// rule, the size and file-size lines, the development settings, the noise
// reduction by ISO, and the title row and saved-picture lines of JPEG and TIFF
// files.

#include "review/palettes/InfoPaletteTexts.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::u16string T(int id) {
  std::u16string text = u"T";
  for (char c : std::to_string(id)) text.push_back(static_cast<char16_t>(c));
  return text;
}

const std::u16string kMissing = T(3068);

constexpr int kRaw = 6;
constexpr int kJpeg = 0;
constexpr int kTiff = 1;

// A raw file's information as a camera wrote it; every value present.
InfoShootingData RawShot() {
  InfoShootingData d;
  d.date = u"2024/05/06";
  d.time = u"10:11:12";
  d.programMode = u"A";
  d.exposureComp = u"+0.3";
  d.iso = u"800";
  d.wbDesc = d.wbDescOrig = u"Daylight";
  d.cmDesc = u"Standard";
  d.flash = u"OFF";
  d.shutter = u"1/250";
  d.aperture = u"5.6";
  d.meteringMode = u"8";
  d.afMode = u"AF-S";
  d.focalLength = u"50 mm";
  d.resolution = u"HI";
  d.driveMode = u"SINGLE";
  d.cameraModel = u"TALVO KT9";
  d.serialNumber = u"00130013";
  d.firmware = u"1.0";
  d.uniqueId = u"ABC";
  d.chromaNoise = 0.5;
  d.lumaNoise = 1.25;
  d.hasSettings = true;
  d.adjustments = {50, -120, 0, 30, kKVRUnsetValue, 200, 0};
  d.cyan = 10;
  d.magenta = 5;
  d.yellow = 3;
  d.settingsName = u"Custom";
  return d;
}

class InfoPaletteTextsTest : public ::testing::Test {
protected:
  InfoPaletteTexts texts{&T};
};

TEST_F(InfoPaletteTextsTest, EveryShootingRowOfACompleteRawFile) {
  const InfoShootingData d = RawShot();
  const InfoCell expected[] = {
      {u"2024/05/06 10:11:12"}, {T(3015)}, {u"+0.3"}, {u"800"}, {T(107)}, {T(122)}, {T(3019)},
      {u"1/250" + T(3022)}, {T(3023) + u"5.6"}, {T(3024), 6}, {T(3027)}, {u"50 mm"}, {T(3031), 3},
      {T(3034)}, {u"TALVO KT9 00130013"}, {u"1.0"}, {u"ABC"}};
  for (int row = 0; row < InfoPaletteTexts::kShootingRows; ++row) {
    SCOPED_TRACE(row);
    EXPECT_EQ(texts.ShootingValue(row, d), expected[row]);
  }
}

TEST_F(InfoPaletteTextsTest, MappedRowsMatchIgnoringCaseAndShowTheMissingTextOtherwise) {
  struct Case {
    int row;
    std::u16string InfoShootingData::*field;
    std::u16string value;
    InfoCell shown;
  } cases[] = {
      {1, &InfoShootingData::programMode, u"o", {T(3074)}},
      {1, &InfoShootingData::programMode, u"X", {kMissing}},
      // The camera names the vivid mode with a blank after it.
      {5, &InfoShootingData::cmDesc, u"vivid ", {T(123)}},
      {5, &InfoShootingData::cmDesc, u"Vivid", {kMissing}},
      {5, &InfoShootingData::cmDesc, u"b&w", {T(3078)}},
      {6, &InfoShootingData::flash, u"RedEye", {T(3020)}},
      {9, &InfoShootingData::meteringMode, u"A", {T(3025), 5}},
      {9, &InfoShootingData::meteringMode, u"C", {T(3026), 4}},
      {9, &InfoShootingData::meteringMode, u"s", {T(3075), 7}},
      {9, &InfoShootingData::meteringMode, u"", {kMissing, 0}},
      {12, &InfoShootingData::resolution, u"S-HI", {T(3030), 3}},
      {12, &InfoShootingData::resolution, u"med", {T(3032), 2}},
      {12, &InfoShootingData::resolution, u"LOW", {T(3033), 1}},
      {12, &InfoShootingData::resolution, u"WID", {T(3079), 0}},
      {12, &InfoShootingData::resolution, u"?", {kMissing, 0}},
      {13, &InfoShootingData::driveMode, u"10s", {T(3037)}},
      {10, &InfoShootingData::afMode, u"mf", {T(3029)}},
      // Verbatim rows: empty and one blank are missing, anything else shown.
      {2, &InfoShootingData::exposureComp, u" ", {kMissing}},
      {3, &InfoShootingData::iso, u"", {kMissing}},
      {15, &InfoShootingData::firmware, u"  ", {u"  "}},
      // The shutter: bulb in any case stands alone, else the unit follows.
      {7, &InfoShootingData::shutter, u"bulb", {T(3021)}},
      {7, &InfoShootingData::shutter, u" ", {kMissing + T(3022)}},
      {8, &InfoShootingData::aperture, u" ", {kMissing}},
      // Camera and serial number.
      {14, &InfoShootingData::cameraModel, u" ", {kMissing}},
      {14, &InfoShootingData::serialNumber, u" ", {u"TALVO KT9"}},
      // The date line needs both date and time.
      {0, &InfoShootingData::time, u" ", {kMissing}},
      {0, &InfoShootingData::date, u"", {kMissing}},
  };
  for (const Case& c : cases) {
    InfoShootingData d = RawShot();
    d.*c.field = c.value;
    SCOPED_TRACE(testing::Message() << "row " << c.row << " value '" << std::string(c.value.begin(), c.value.end())
                                    << "'");
    EXPECT_EQ(texts.ShootingValue(c.row, d), c.shown);
  }
}

TEST_F(InfoPaletteTextsTest, WhiteBalanceNamesTheOneTakenWithWhenItSaysMore) {
  struct Case {
    std::u16string current, asShot, shown;
  } cases[] = {
      {u"Daylight", u"Auto", T(107) + u" (ex-" + T(115) + u")"},
      {u"SHADE", u"custom", T(108) + u" (ex-" + T(132) + u")"},
      {u"Sunlight", u"Daylight", T(106)}, // the daylight the camera was set to by hand
      {u"Daylight", u"Sunlight", T(107) + u" (ex-" + T(106) + u")"},
      {u"Flash", u"flash", T(114)},
      {u"Monochrome", u"", T(116)},
      {u"Fluorescent", u"Neon", T(113)},
      {u"", u"Daylight", kMissing},
      {u"Tungsten", u"Daylight", kMissing},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(texts.WhiteBalance(c.current, c.asShot), c.shown)
        << std::string(c.current.begin(), c.current.end()) << " / " << std::string(c.asShot.begin(), c.asShot.end());
  }
}

TEST_F(InfoPaletteTextsTest, FormatSizeAndFileSizeLines) {
  EXPECT_EQ(texts.FileFormat(kRaw), u"KVR");
  EXPECT_EQ(texts.FileFormat(kJpeg), u"JPEG");
  EXPECT_EQ(texts.FileFormat(2), u"TIFF");
  EXPECT_EQ(texts.FileFormat(7), u"AVI");
  EXPECT_EQ(texts.FileFormat(3), kMissing) << "PNG";
  EXPECT_EQ(InfoPaletteTexts::ImageSize(kRaw, 2640, 1760), u"13.9 MP (2640 x 1760 x 3)");
  EXPECT_EQ(InfoPaletteTexts::ImageSize(kJpeg, 2640, 1760), u"4.6 MP (2640 x 1760)");
  // Far beyond 32 bits of pixels: no wrap round.
  EXPECT_EQ(InfoPaletteTexts::ImageSize(kJpeg, 100000, 100000), u"10000.0 MP (100000 x 100000)");
  EXPECT_EQ(InfoPaletteTexts::FileSize(5242880), u"5.00 MB");
  EXPECT_EQ(InfoPaletteTexts::FileSize(0), u"0.00 MB");
}

TEST_F(InfoPaletteTextsTest, ARawFilesSettingsShowItsAdjustmentsAndNoSavedPictureLines) {
  const InfoSettingsGrid grid = texts.SettingsValues(RawShot(), kRaw);
  using Row = std::array<std::optional<std::u16string>, 4>;
  const std::optional<std::u16string> keep;
  EXPECT_EQ(grid[0], (Row{T(3055), u"", u"", u""}));
  EXPECT_EQ(grid[1], (Row{keep, u"+0.5", keep, u"-1.2"}));
  EXPECT_EQ(grid[2], (Row{keep, u"+0.0", keep, u"+0.3"}));
  EXPECT_EQ(grid[3], (Row{keep, kMissing, keep, u"+2.0"})) << "an unset saturation";
  EXPECT_EQ(grid[4], (Row{keep, u"+0.0", keep, u"10C+5M"})) << "at most two colour parts";
  EXPECT_EQ(grid[5], (Row{T(3080), u"0.50", T(3081), u"1.25"})) << "ISO 800";
  EXPECT_EQ(grid[6], (Row{u"", u"", u"", u""}));
  EXPECT_EQ(grid[7], (Row{u"", u"", keep, keep}));
}

TEST_F(InfoPaletteTextsTest, NoiseReductionFromIso400AndItsUnsetValue) {
  struct Case {
    std::u16string iso;
    double chroma;
    std::array<std::u16string, 4> row;
  } cases[] = {
      {u"200", 0.5, {u"", u"", u"", u""}},
      {u"399", 0.5, {u"", u"", u"", u""}},
      {u"", 0.5, {u"", u"", u"", u""}},
      {u"400", 0.5, {T(3080), u"0.50", T(3081), u"1.25"}},
      {u" 1600 (Hi)", -999.9, {T(3080), T(3082), T(3081), u"1.25"}},
      {u"99999999999999999999", -999.0, {T(3080), u"-999.00", T(3081), u"1.25"}},
  };
  for (const Case& c : cases) {
    InfoShootingData d = RawShot();
    d.iso = c.iso;
    d.chromaNoise = c.chroma;
    const InfoSettingsGrid grid = texts.SettingsValues(d, kRaw);
    for (int column = 0; column < 4; ++column) {
      EXPECT_EQ(grid[5][column], c.row[column]) << std::string(c.iso.begin(), c.iso.end()) << " column " << column;
    }
  }
}

TEST_F(InfoPaletteTextsTest, SavedPictureLinesOfJpegAndTiffFiles) {
  InfoShootingData d = RawShot();
  d.exifDate = u"2024/05/07";
  d.exifTime = u"08:09:10";
  d.software = u"Lumitra4";
  d.colorSpace = 3;
  d.quality = u"48";
  d.settingsName = u"Default";
  const InfoSettingsGrid jpeg = texts.SettingsValues(d, kJpeg);
  using Row = std::array<std::optional<std::u16string>, 4>;
  EXPECT_EQ(jpeg[0], (Row{T(3056), u" 2024/05/07", u" 08:09:10", u" Lumitra4"}));
  EXPECT_EQ(jpeg[6], (Row{T(3061), u"AdobeRGB", T(3067), u"48"})) << "a JPEG's quality is shown as it is";
  EXPECT_EQ(jpeg[7][0], T(3062));
  EXPECT_EQ(jpeg[7][1], T(3071));
  EXPECT_EQ(texts.SettingsValues(d, kTiff)[6][3], u"16 Bit");
  d.quality = u"24";
  EXPECT_EQ(texts.SettingsValues(d, 2)[6][3], u"8 Bit");

  struct ColourSpace {
    int code;
    std::u16string name;
  } spaces[] = {{2, u"sRGB"},          {4, u"AppleRGB"}, {8, u"ColorMatch RGB"},
                {11, u"ProPhoto RGB"}, {1, kMissing},    {-1, kMissing}};
  for (const ColourSpace& s : spaces) {
    d.colorSpace = s.code;
    EXPECT_EQ(texts.SettingsValues(d, kJpeg)[6][1], s.name) << s.code;
  }

  struct Name {
    std::u16string stored, shown;
  } names[] = {{u"", kMissing},        {u"  ", kMissing},       {u"Auto", T(3072)},
               {u"Custom", T(3073)},   {u"auto", u"auto"},      {u"Portraits 2", u"Portraits 2"}};
  for (const Name& n : names) {
    d.settingsName = n.stored;
    EXPECT_EQ(texts.SettingsValues(d, kJpeg)[7][1], n.shown) << std::string(n.stored.begin(), n.stored.end());
  }
}

TEST_F(InfoPaletteTextsTest, TheTitleRowsDateLine) {
  struct Case {
    std::u16string date, time, software;
    std::array<std::u16string, 4> title;
  } cases[] = {
      {u"2024/05/07", u"08:09:10", u"Lumitra4", {T(3056), u" 2024/05/07", u" 08:09:10", u" Lumitra4"}},
      {u" ", u"08:09:10", u"Lumitra4", {T(3056), u" " + kMissing, u"", u""}},
      // Without a time the date is not shown either.
      {u"2024/05/07", u"", u"Lumitra4", {T(3056), kMissing, u"", u""}},
      // Software the file does not name.
      {u"2024/05/07", u"08:09:10", u" ", {T(3056), kMissing, u" ", u""}},
  };
  for (const Case& c : cases) {
    InfoShootingData d = RawShot();
    d.exifDate = c.date;
    d.exifTime = c.time;
    d.software = c.software;
    const InfoSettingsGrid grid = texts.SettingsValues(d, kJpeg);
    for (int column = 0; column < 4; ++column) {
      EXPECT_EQ(grid[0][column], c.title[column]) << std::string(c.date.begin(), c.date.end()) << " column " << column;
    }
  }
}

TEST_F(InfoPaletteTextsTest, AFileWithoutStoredSettingsShowsTheMissingTextAndLeavesLabels) {
  InfoShootingData d;
  d.iso = u"800";
  for (int type : {kRaw, kJpeg}) {
    SCOPED_TRACE(type);
    const InfoSettingsGrid grid = texts.SettingsValues(d, type);
    for (int row = 1; row <= 4; ++row) {
      EXPECT_EQ(grid[row][1], kMissing);
      EXPECT_EQ(grid[row][3], kMissing);
      EXPECT_FALSE(grid[row][0] || grid[row][2]) << "labels stay";
    }
    EXPECT_EQ(grid[5][1], kMissing);
    EXPECT_EQ(grid[5][3], kMissing);
    EXPECT_FALSE(grid[5][0] || grid[5][2]);
    EXPECT_EQ(grid[6][1], type == kRaw ? u"" : kMissing);
  }
  EXPECT_FALSE(texts.SettingsValues(d, kJpeg)[7][1]) << "the name is left as it is";
}

TEST(InfoPaletteLeadingNumberTest, TheNumberAtTheStartOfAText) {
  EXPECT_EQ(LeadingNumberOf(u"400"), 400);
  EXPECT_EQ(LeadingNumberOf(u"  800 (boost)"), 800);
  EXPECT_EQ(LeadingNumberOf(u"Hi 1"), 0);
  EXPECT_EQ(LeadingNumberOf(u""), 0);
  EXPECT_EQ(LeadingNumberOf(u"123456789012345"), 1'000'000'000);
}

} // namespace
