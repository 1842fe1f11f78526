// The texts around the thumbnail grid: the shooting line of one file, the
// selection's count and size (also with formats that would not take their
// number), the filter description, and the position of a file among the
// listed still pictures.

#include "shell/browser/ThumbViewCaptions.h"
#include "toolkit/TextTable.h"

#include <gtest/gtest.h>

#include <map>

namespace {

// A text table of the words the view asks for, with ids the test can leave out.
class WordTable : public ITextTable {
public:
  WordTable() {
    texts = {{1007, u"Showing: "},   {1008, u"all"},      {1009, u"raw"},          {1010, u"JPEG"},
             {1011, u"TIFF"},        {1053, u"stills"},   {1012, u"marked "},      {1013, u"unmarked "},
             {1014, u"locked "},     {1015, u"unlocked "}, {1016, u"files"},       {1017, u"raw files"},
             {1018, u"JPEG files"},  {1019, u"TIFF files"}, {1054, u"still files"}, {1024, u"%d file"},
             {1025, u"%d files"},    {1026, u", %.1f MB"}, {118, u"Program"},      {119, u"Av"},
             {120, u"Tv"},           {121, u"Manual"},     {106, u"Sun"},          {115, u"AWB"},
             {132, u"Own"},          {3023, u"f/"},        {3022, u"s"},           {3021, u"Bulb"}};
    SetTextTable(this);
  }
  ~WordTable() override { SetTextTable(nullptr); }
  std::optional<TextTableEntry> Find(int id) const override {
    const auto found = texts.find(id);
    if (found == texts.end()) return std::nullopt;
    return TextTableEntry{found->second, nullptr, std::nullopt};
  }
  std::map<int, std::u16string> texts;
};

ShootingTexts Shot() {
  ShootingTexts t;
  t.fileName = u"IMG_1.KVR";
  t.date = u"2024-09-30";
  t.time = u"10:01:02";
  t.aperture = u"5.6";
  t.shutter = u"1/250";
  t.iso = u"200";
  t.programMode = u"A";
  t.whiteBalance = u"Auto";
  t.focalLength = u"50mm";
  return t;
}

std::string Narrow(const std::u16string& text) { return std::string(text.begin(), text.end()); }

} // namespace

TEST(ThumbViewCaptions, TheShootingLineOfOneFile) {
  WordTable table;
  const ShootingWords words = LoadShootingWords();
  EXPECT_EQ(words.aperturePrefix, u"f/");
  struct Case {
    const char* what;
    void (*change)(ShootingTexts&);
    const char16_t* expected;
  };
  const Case cases[] = {
      {"every value", [](ShootingTexts&) {}, u"IMG_1.KVR 2024-09-30 10:01:02 f/5.6 1/250s ISO200 Av AWB 50mm"},
      {"bulb in capitals", [](ShootingTexts& t) { t.shutter = u"BULB"; },
       u"IMG_1.KVR 2024-09-30 10:01:02 f/5.6 Bulb ISO200 Av AWB 50mm"},
      {"bulb in small letters", [](ShootingTexts& t) { t.shutter = u"bulb"; },
       u"IMG_1.KVR 2024-09-30 10:01:02 f/5.6 Bulb ISO200 Av AWB 50mm"},
      {"missing aperture and ISO: no prefix, no ISO",
       [](ShootingTexts& t) {
         t.aperture = u" ";
         t.iso = u" ";
       },
       u"IMG_1.KVR 2024-09-30 10:01:02   1/250s   Av AWB 50mm"},
      {"empty shutter keeps no suffix", [](ShootingTexts& t) { t.shutter = u""; },
       u"IMG_1.KVR 2024-09-30 10:01:02 f/5.6  ISO200 Av AWB 50mm"},
      {"program and white balance ignore case", [](ShootingTexts& t) {
         t.programMode = u"m";
         t.whiteBalance = u"SUNLIGHT";
       },
       u"IMG_1.KVR 2024-09-30 10:01:02 f/5.6 1/250s ISO200 Manual Sun 50mm"},
      {"unknown program and white balance are blanks", [](ShootingTexts& t) {
         t.programMode = u"X";
         t.whiteBalance = u"Tungsten";
       },
       u"IMG_1.KVR 2024-09-30 10:01:02 f/5.6 1/250s ISO200     50mm"},
      {"a word the table lacks shows the value", [](ShootingTexts& t) {
         t.programMode = u"O";
         t.whiteBalance = u"Shade";
       },
       u"IMG_1.KVR 2024-09-30 10:01:02 f/5.6 1/250s ISO200 O Shade 50mm"},
  };
  for (const Case& c : cases) {
    ShootingTexts t = Shot();
    c.change(t);
    EXPECT_EQ(Narrow(ShootingLine(t, words)), Narrow(c.expected)) << c.what;
  }
}

TEST(ThumbViewCaptions, TheSelectionsCountAndSize) {
  WordTable table;
  EXPECT_EQ(SelectionSizeText(0, 123), u"") << "nothing selected";
  EXPECT_EQ(SelectionSizeText(1, 1572864), u"1 file, 1.5 MB");
  EXPECT_EQ(SelectionSizeText(3, 3u * 1048576u), u"3 files, 3.0 MB");
  EXPECT_EQ(SelectionSizeText(2, 0x500000000ull), u"2 files, 20480.0 MB") << "sizes beyond 32 bits";
  // Texts of an edited table that would not take their numbers show the numbers alone.
  table.texts[1025] = u"%s files";
  table.texts[1026] = u" %d %d";
  EXPECT_EQ(SelectionSizeText(2, 1048576), u"2 1.0");
  table.texts.erase(1024);
  EXPECT_EQ(SelectionSizeText(1, 0), u"1 0.0") << "missing texts too";
}

TEST(ThumbViewCaptions, TheFilterDescription) {
  WordTable table;
  const struct {
    int state, format;
    const char16_t* expected;
  } cases[] = {
      {0, 0, u"Showing: all"},          {0, 1, u"Showing: raw"},           {0, 4, u"Showing: stills"},
      {1, 0, u"Showing: marked files"}, {2, 2, u"Showing: unmarked JPEG files"},
      {3, 3, u"Showing: locked TIFF files"}, {4, 4, u"Showing: unlocked still files"},
      {0, 5, u"Showing: "},             {5, 0, u"Showing: "},              {2, -1, u"Showing: unmarked "},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Narrow(FilterCaption(c.state, c.format)), Narrow(c.expected)) << c.state << "," << c.format;
  }
}

TEST(ThumbViewCaptions, ThePositionAmongTheListedStillPictures) {
  FArray<FString> stills;
  for (const char* p : {"/p/a.kvr", "/p/b.jpg", "/p/c.tif"}) stills.Append(FString(p));
  const struct {
    const char* folder;
    const char* path;
    int position, count;
    const char* previous;
    const char* next;
  } cases[] = {
      {"/p", "/p/a.kvr", 0, 3, "", "/p/b.jpg"},
      {"/p", "/p/b.jpg", 1, 3, "/p/a.kvr", "/p/c.tif"},
      {"/p", "/p/c.tif", 2, 3, "/p/b.jpg", ""},
      {"/p", "/p/movie.avi", 0, 1, "", ""},  // movies are not among them
      {"/p", "/p/B.JPG", 0, 1, "", ""},      // paths compare exactly
      {"/P", "/p/b.jpg", 0, 1, "", ""},      // so does the folder
      {"/q", "/p/b.jpg", 0, 1, "", ""},      // a file of another folder
  };
  for (const auto& c : cases) {
    const StillPosition at = FindStillPosition(stills, FString(c.folder), FString(c.path));
    EXPECT_EQ(at.position, c.position) << c.path;
    EXPECT_EQ(at.count, c.count) << c.path;
    EXPECT_TRUE(at.previous == c.previous) << c.path;
    EXPECT_TRUE(at.next == c.next) << c.path;
  }
  EXPECT_EQ(FindStillPosition(FArray<FString>(), FString("/p"), FString("/p/a.kvr")).count, 1) << "an empty list";
}
