// The information palette on files of our own making: a raw file of the
// synthetic camera (ISO 800, so its noise-reduction line shows), and the JPEG
// and 16-bit TIFF the program develops from it. Its rows for each kind, the
// copied text, the no-file states, following the browser and a review window
// (a fake one) with their refresh rules, the partial refreshes after the main
// frame wrote into the file, and its place kept across a close. Each kind is
// rendered to a picture.

#include "platform/testing/Headless.h"
#include "review/palettes/AdjustPaletteLinks.h"
#include "review/palettes/CInfoPalette.h"
#include "shell/app/AppMessages.h"
#include "shell/dialogs/DialogTestSupport.h"

#include "engine/colour/TransformColor.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FPath.h"
#include "shell/facade/CSaveJob.h"
#include "shell/facade/KVR_DevelopAndSave.h"
#include "support/DibBuilder.h"
#include "support/SyntheticCamera.h"
#include "support/TestSupport.h"
#include "toolkit/PictureFileTypes.h"

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace testsupport;

// One file of the suite: its record as the browser would hold it.
struct Fixture {
  FString path;
  std::unique_ptr<CTLM_ThumbnailData> record;
};

// The raw file and what the program saves of it, made once.
struct Files {
  TempDir dir;
  SyntheticTruth truth;
  Fixture raw, jpeg, tiff;
};

std::unique_ptr<CET_Dib> Picture(int width, int height) {
  return MakeBottomUpDib(width, height, [=](int x, int y) { return RGB(30 + 200 * x / width, 140, 60 + 150 * y / height); });
}

Fixture MakeFixture(const fs::path& file) {
  Fixture f;
  f.path = PathFromNative(file.string());
  auto record = std::make_unique<CTLM_ThumbnailData>();
  record->m_Path = f.path;
  record->m_FileName = PathFromNative(file.filename().string());
  record->m_FileType = GetFileType(f.path);
  record->m_FileSize = fs::file_size(file);
  record->m_bFinalPicture = 1;
  std::unique_ptr<CTLM_Exif> exif = CTLM_Exif::Create(f.path);
  EXPECT_TRUE(exif->HasEntry()) << file;
  record->m_Exif.CopyFrom(exif.get());
  record->m_Width = exif->GetImageWidth();
  record->m_Height = exif->GetImageHeight();
  record->SetPicture(Picture(120, 80).release());
  f.record = std::move(record);
  return f;
}

// The program's save of the raw file: 0 JPEG, 2 TIFF of 16 bits a channel.
fs::path Save(const fs::path& raw, int fileType, const char* name) {
  CSaveJob job;
  job.m_nSettingMode = 1;
  job.m_nFileType = fileType;
  job.m_aInputs = {PathFromNative(raw.string())};
  const fs::path output = raw.parent_path() / name;
  job.m_aOutputs = {PathFromNative(output.string())};
  EXPECT_EQ(KVR_DevelopAndSave(&job, nullptr, nullptr, nullptr), kSaveDone) << name;
  return output;
}

Files& TheFiles() {
  static Files* files = [] {
    InitStorageClasses();
    SetColorProfileProgramPath(BuildTreeProgramPath());
    auto* made = new Files;
    SyntheticOptions options;
    options.shot = SyntheticShot::DaylightIso800Auto;
    options.size = SyntheticSize::Tiny;
    const fs::path raw = made->dir.Path() / "shot & more.kvr";
    made->truth = WriteSyntheticRaw(raw, options);
    made->raw = MakeFixture(raw);
    made->jpeg = MakeFixture(Save(raw, 0, "shot.jpg"));
    made->tiff = MakeFixture(Save(raw, 2, "shot.tif"));
    return made;
  }();
  return *files;
}

class FakeServices : public IInfoPaletteServices {
public:
  std::vector<const CTLM_ThumbnailData*> selected;
  const CTLM_Exif* cached = nullptr; // what the application's cache gives; null: nothing
  std::vector<std::u16string> copied;
  void GetSelectedThumbnails(CET_ThumbnailDataManager* list) override {
    for (const CTLM_ThumbnailData* record : selected) list->Add(record->Clone());
  }
  BOOL GetExif(const FString&, CTLM_Exif* record) override {
    if (!cached) return FALSE;
    record->CopyFrom(cached);
    return TRUE;
  }
  BOOL CopyText(const FString& text) override {
    copied.emplace_back(text.View());
    return TRUE;
  }
};

// A review window with a record of its image (a copy handed out each time).
class FakeFrame : public IAdjustPaletteFrame {
public:
  const CTLM_ThumbnailData* record = nullptr;
  int pending = 0;
  CWnd* GetFrameWnd() override { return nullptr; }
  CTLM_ThumbnailData* GetThumbnailRecord(int* isPending) override {
    if (!record) return nullptr;
    *isPending = pending;
    return static_cast<CTLM_ThumbnailData*>(record->Clone());
  }
  void GetCurrentState(int*, CET_FilterData*, CET_Dib*) override {}
  void GetCustomSettings(CET_FilterData*) override {}
  void GetWarnings(int*, int*, BYTE*, BYTE*) override {}
  BOOL IsCurrentSlotModified() override { return FALSE; }
  FDoubleRect GetVisibleRect() override { return {}; }
  BOOL IsImageReady() override { return TRUE; }
};

using CellMap = std::map<std::pair<int, std::pair<int, int>>, std::u16string>; // (list, (row, column)) -> text

class InfoPaletteTest : public DialogTest {
protected:
  InfoPaletteTest() : files(TheFiles()) { m_App.GetSettings()->m_rcInfoWindow = {30, 40, 0, 0}; }
  ~InfoPaletteTest() override { CInfoPalette::Close(); }

  CInfoPalette* Open() {
    palette = CInfoPalette::Open(&services);
    EXPECT_TRUE(palette);
    hwnd = palette ? palette->m_hWnd : nullptr;
    return palette;
  }
  // The browser's selection changed to these records, its focus on path.
  void Browse(std::vector<const CTLM_ThumbnailData*> selection, const FString& path, LPARAM force = 0) {
    services.selected = std::move(selection);
    FString copy = path;
    palette->SendMessage(WM_APP_SHOW_INFO, reinterpret_cast<WPARAM>(&copy), force);
    pt::Pump();
  }
  void Browse(const Fixture& file, LPARAM force = 0) { Browse({file.record.get()}, file.path, force); }
  void Activate(FakeFrame& frame, const FString& path) {
    FString copy = path;
    palette->SendMessage(WM_APP_ACTIVE_IMAGE, reinterpret_cast<WPARAM>(&copy), reinterpret_cast<LPARAM>(&frame));
    pt::Pump();
  }
  void Notify(UINT message, const FString& path) {
    FString copy = path;
    palette->SendMessage(message, reinterpret_cast<WPARAM>(&copy), 0);
  }

  std::u16string Cell(int list, int row, int column) const {
    return dynamic_cast<CListCtrl*>(CWnd::FromHandle(Item(hwnd, list)))->GetItemText(row, column);
  }
  std::u16string Shooting(int row) const { return Cell(CInfoPalette::kShootingListId, row, 1); }
  std::u16string Setting(int row, int column) const { return Cell(CInfoPalette::kSettingsListId, row, column); }
  CellMap Cells() const {
    CellMap cells;
    for (int row = 0; row < 17; ++row) {
      for (int column = 0; column < 2; ++column) {
        cells[{CInfoPalette::kShootingListId, {row, column}}] = Cell(CInfoPalette::kShootingListId, row, column);
      }
    }
    for (int row = 0; row < 8; ++row) {
      for (int column = 0; column < 4; ++column) {
        cells[{CInfoPalette::kSettingsListId, {row, column}}] = Cell(CInfoPalette::kSettingsListId, row, column);
      }
    }
    return cells;
  }
  // The cells that differ between two looks.
  static std::set<std::pair<int, std::pair<int, int>>> Changed(const CellMap& before, const CellMap& after) {
    std::set<std::pair<int, std::pair<int, int>>> changed;
    for (const auto& [cell, text] : before) {
      if (after.at(cell) != text) changed.insert(cell);
    }
    return changed;
  }
  std::u16string StaticText(int index) const { return Caption(hwnd, CInfoPalette::kFirstStaticId + index); }
  bool FileShown() const {
    bool shown = Shown(hwnd, CInfoPalette::kPictureId);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(Shown(hwnd, CInfoPalette::kFirstStaticId + i), shown) << i;
    EXPECT_EQ(IsWindowEnabled(Item(hwnd, CInfoPalette::kCopyId)) != FALSE, shown);
    return shown;
  }
  std::u16string Missing() const { return Text(3068); }

  Files& files;
  FakeServices services;
  CInfoPalette* palette = nullptr;
  HWND hwnd = nullptr;
};

std::u16string Ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

std::string Printed(const char* format, double value, int width, int height) {
  char text[96];
  std::snprintf(text, sizeof text, format, value, width, height);
  return text;
}

std::vector<std::u16string> Lines(const std::u16string& text) {
  std::vector<std::u16string> lines;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t end = text.find(u"\r\n", at);
    if (end == std::u16string::npos) {
      lines.push_back(text.substr(at) + u"<no line break>");
      break;
    }
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

} // namespace

TEST_F(InfoPaletteTest, OpensEmptyAndShowsAFileOnlyWhileExactlyOneIsSelected) {
  Open();
  EXPECT_EQ(WindowText(hwnd), Text(3000));
  EXPECT_EQ(ClientSize(hwnd), CSize(460, 598));
  EXPECT_EQ(Caption(hwnd, CInfoPalette::kGroupId), Text(3003));
  EXPECT_FALSE(FileShown());
  EXPECT_EQ(Cell(CInfoPalette::kShootingListId, 0, 0), Text(3039));
  EXPECT_EQ(Cell(CInfoPalette::kShootingListId, 16, 0), Text(3054));
  EXPECT_EQ(Setting(4, 2), Text(3066));
  EXPECT_EQ(Shooting(3), u"");
  Render(hwnd, "info_palette_empty.png");

  Browse({files.raw.record.get(), files.jpeg.record.get()}, files.raw.path);
  EXPECT_EQ(Caption(hwnd, CInfoPalette::kGroupId), Text(3013)) << "several files";
  EXPECT_FALSE(FileShown());

  // One of them again, even with no path passed.
  Browse({files.jpeg.record.get()}, FString());
  EXPECT_TRUE(FileShown());
  EXPECT_EQ(WindowText(hwnd), Text(3000) + u" - shot.jpg");
  EXPECT_EQ(Caption(hwnd, CInfoPalette::kGroupId), u"");

  Browse({}, FString());
  EXPECT_FALSE(FileShown());
  EXPECT_EQ(WindowText(hwnd), Text(3000));
  EXPECT_EQ(Caption(hwnd, CInfoPalette::kGroupId), Text(3003));
  for (int value : {1, 3, 5, 7}) EXPECT_EQ(StaticText(value), u"") << value;
  EXPECT_EQ(Shooting(3), u"");
  EXPECT_EQ(Setting(0, 0), u"");
  EXPECT_EQ(Setting(1, 1), u"");
  EXPECT_EQ(Setting(1, 0), Text(3057)) << "labels stay";
}

TEST_F(InfoPaletteTest, RowsOfARawFileAJpegAndATiff) {
  Open();
  const std::u16string camera = u"TALVO KT9 00130013";
  // The raw file: its pixel size counts three layers; its stored settings as shot.
  Browse(files.raw);
  const CTLM_ThumbnailData& raw = *files.raw.record;
  EXPECT_EQ(StaticText(0), Text(3004));
  EXPECT_EQ(StaticText(1), u"KVR");
  EXPECT_EQ(StaticText(3), Ascii(Printed("%.1f MP (%d x %d x 3)", raw.m_Width * raw.m_Height * 3 / 1e6, raw.m_Width,
                                         raw.m_Height)));
  EXPECT_EQ(StaticText(5), Ascii(Printed("%.2f MB", raw.m_FileSize / 1048576.0, 0, 0)));
  EXPECT_EQ(StaticText(7), std::u16string(files.raw.path.View())) << "the whole path, its & a character";
  EXPECT_NE(Shooting(0), Missing()) << "the capture date and time";
  EXPECT_EQ(Shooting(3), u"800");
  EXPECT_EQ(Shooting(4), Text(115)) << "taken and kept automatic";
  EXPECT_EQ(Shooting(14), camera);
  EXPECT_EQ(Setting(0, 0), Text(3055));
  for (int row = 1; row <= 4; ++row) {
    EXPECT_EQ(Setting(row, 1), u"+0.0") << row;
  }
  EXPECT_EQ(Setting(4, 3), u"0") << "no colour adjustment";
  EXPECT_EQ(Setting(5, 0), Text(3080)) << "ISO 800 has noise reduction";
  EXPECT_EQ(Setting(5, 2), Text(3081));
  EXPECT_EQ(Setting(6, 0), u"");
  EXPECT_EQ(Setting(7, 0), u"");
  Render(hwnd, "info_palette_raw.png");

  // The JPEG the program saved: its size without layers, the saving's date,
  // software, colour space and quality.
  Browse(files.jpeg);
  const CTLM_ThumbnailData& jpeg = *files.jpeg.record;
  EXPECT_EQ(StaticText(1), u"JPEG");
  EXPECT_EQ(StaticText(3), Ascii(Printed("%.1f MP (%d x %d)", jpeg.m_Width * jpeg.m_Height / 1e6, jpeg.m_Width,
                                         jpeg.m_Height)));
  EXPECT_EQ(Shooting(3), u"800") << "the shooting data travels with the picture";
  EXPECT_EQ(Shooting(14), camera);
  EXPECT_EQ(Setting(0, 0), Text(3056));
  EXPECT_EQ(Setting(0, 1).substr(0, 1), u" ");
  EXPECT_NE(Setting(0, 1), u" " + Missing()) << "the date it was saved";
  EXPECT_NE(Setting(0, 2), u"");
  EXPECT_NE(Setting(0, 3).find(u"Lumitra"), std::u16string::npos) << "the program that saved it";
  EXPECT_EQ(Setting(6, 0), Text(3061));
  EXPECT_EQ(Setting(6, 1), u"sRGB");
  EXPECT_EQ(Setting(6, 2), Text(3067));
  EXPECT_EQ(Setting(7, 0), Text(3062));
  Render(hwnd, "info_palette_jpeg.png");

  // The 16-bit TIFF.
  Browse(files.tiff);
  EXPECT_EQ(StaticText(1), u"TIFF");
  EXPECT_EQ(Setting(6, 3), u"16 Bit");
  EXPECT_EQ(Setting(6, 1), u"sRGB");
  Render(hwnd, "info_palette_tiff.png");
}

TEST_F(InfoPaletteTest, CopiesEveryLineAsTwoFieldsWithLineBreaks) {
  Open();
  struct Case {
    const Fixture* file;
    std::size_t lines;
  } cases[] = {{&files.raw, 1 + 4 + 17 + 1 + 10}, {&files.jpeg, 1 + 4 + 17 + 1 + 13}};
  for (const Case& c : cases) {
    Browse(*c.file);
    services.copied.clear();
    ClickItem(hwnd, CInfoPalette::kCopyId);
    pt::Pump();
    ASSERT_EQ(services.copied.size(), 1u);
    const std::vector<std::u16string> lines = Lines(services.copied[0]);
    ASSERT_EQ(lines.size(), c.lines);
    for (const std::u16string& line : lines) {
      EXPECT_EQ(std::count(line.begin(), line.end(), u'\t'), 1) << std::string(line.begin(), line.end());
    }
    EXPECT_EQ(lines[0], Text(3069) + u"\t" + std::u16string(c.file->record->m_FileName.View()));
    EXPECT_EQ(lines[1], Text(3004) + u"\t" + StaticText(1));
    EXPECT_EQ(lines[4], Text(3010) + u"\t" + std::u16string(c.file->path.View()));
    EXPECT_EQ(lines[5], Text(3039) + u"\t" + Shooting(0));
    EXPECT_EQ(lines[8], Text(3042) + u"\t800");
    EXPECT_EQ(lines[22], Setting(0, 0) + u"\t" + Setting(0, 1));
    EXPECT_EQ(lines[23], Text(3057) + u"\t" + Setting(1, 1));
    EXPECT_EQ(lines[24], Text(3063) + u"\t" + Setting(1, 3));
  }
  // The last lines of a JPEG: the colour space and quality, then the settings name alone.
  const std::vector<std::u16string> lines = Lines(services.copied[0]);
  EXPECT_EQ(lines[33], Text(3061) + u"\tsRGB");
  EXPECT_EQ(lines[35], Text(3062) + u"\t" + Setting(7, 1));
}

TEST_F(InfoPaletteTest, FollowsTheBrowserWhenItsSelectionOrFileChanged) {
  Open();
  Browse(files.raw);
  EXPECT_EQ(StaticText(1), u"KVR");
  // The same file and count again: nothing is read anew, even when the
  // browser's record changed meanwhile.
  CTLM_ThumbnailData changed;
  changed.CopyFrom(files.raw.record.get());
  changed.m_Exif.CopyFrom(&files.jpeg.record->m_Exif);
  changed.m_FileType = 0;
  Browse({&changed}, files.raw.path);
  EXPECT_EQ(StaticText(1), u"KVR");
  // Forced (after a rotation), or another file, it is.
  Browse({&changed}, files.raw.path, 1);
  EXPECT_EQ(StaticText(1), u"JPEG");
  EXPECT_EQ(Setting(0, 0), Text(3056));
  Browse(files.tiff);
  EXPECT_EQ(StaticText(1), u"TIFF");

  // A record whose final picture is not there yet is taken again each time.
  changed.CopyFrom(files.tiff.record.get());
  changed.m_bFinalPicture = 0;
  Browse({&changed}, files.tiff.path, 1);
  changed.m_Width = 3000;
  changed.m_Height = 2000;
  Browse({&changed}, files.tiff.path);
  EXPECT_EQ(StaticText(3), u"6.0 MP (3000 x 2000)");
}

TEST_F(InfoPaletteTest, FollowsTheActiveReviewWindow) {
  Open();
  FakeFrame frame;
  frame.record = files.raw.record.get();
  Activate(frame, files.raw.path);
  EXPECT_TRUE(FileShown());
  EXPECT_EQ(StaticText(1), u"KVR");

  // Activated again with the same file, picture and size: no refresh.
  CTLM_ThumbnailData other;
  other.CopyFrom(files.raw.record.get());
  other.m_FileType = 0;
  frame.record = &other;
  Activate(frame, files.raw.path);
  EXPECT_EQ(StaticText(1), u"KVR");

  // A new picture size is taken; when it is the record of an image the
  // window is still switching to, the next activation takes the record again.
  other.m_Width += 1;
  frame.pending = 1;
  Activate(frame, files.raw.path);
  EXPECT_EQ(StaticText(1), u"JPEG");
  CTLM_ThumbnailData switched;
  switched.CopyFrom(&other);
  switched.m_FileType = 6;
  frame.record = &switched;
  frame.pending = 0;
  Activate(frame, files.raw.path);
  EXPECT_EQ(StaticText(1), u"KVR");
  frame.record = &other;
  Activate(frame, files.raw.path);
  EXPECT_EQ(StaticText(1), u"KVR") << "settled: no refresh";

  // A window without an image: nothing shown, and the browser's single file
  // is taken at its next word.
  frame.record = nullptr;
  Activate(frame, FString());
  EXPECT_FALSE(FileShown());
  EXPECT_EQ(Caption(hwnd, CInfoPalette::kGroupId), Text(3003));
  Browse(files.jpeg);
  EXPECT_EQ(StaticText(1), u"JPEG");
}

TEST_F(InfoPaletteTest, WritesIntoTheShownFileRefreshOnlyTheirLines) {
  Open();
  // The cache's fresh record knows nothing: every line it rewrites shows the
  // missing-value text, every other line stays.
  const CTLM_Exif nothing;
  services.cached = &nothing;
  Browse(files.raw);
  using CellSet = std::set<std::pair<int, std::pair<int, int>>>;
  const int shooting = CInfoPalette::kShootingListId;
  const int settings = CInfoPalette::kSettingsListId;
  struct Case {
    UINT message;
    CellSet rewritten;
  } cases[] = {
      {WM_APP_WB_CHANGED, {{shooting, {4, 1}}}},
      {WM_APP_COLORMODE_CHANGED, {{shooting, {5, 1}}}},
      {WM_APP_NOISE_CHANGED, {{settings, {5, 1}}, {settings, {5, 3}}}},
      {WM_APP_SAVE_SETTINGS,
       {{settings, {1, 1}}, {settings, {1, 3}}, {settings, {2, 1}}, {settings, {2, 3}}, {settings, {3, 1}},
        {settings, {3, 3}}, {settings, {4, 1}}, {settings, {4, 3}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.message);
    Browse(files.raw, 1);
    const CellMap before = Cells();
    Notify(c.message, files.jpeg.path);
    EXPECT_TRUE(Changed(before, Cells()).empty()) << "another file's";
    Notify(c.message, files.raw.path);
    EXPECT_EQ(Changed(before, Cells()), c.rewritten);
    for (const auto& [list, cell] : c.rewritten) EXPECT_EQ(Cell(list, cell.first, cell.second), Missing());
  }

  // A saved picture's settings also rewrite what the title and lines 6 and 7 say of its saving.
  Browse(files.jpeg);
  Notify(WM_APP_SAVE_SETTINGS, files.jpeg.path);
  EXPECT_EQ(Setting(0, 0), Text(3056));
  EXPECT_EQ(Setting(0, 1), u" " + Missing());
  EXPECT_EQ(Setting(0, 3), u"");
  EXPECT_EQ(Setting(6, 1), Missing());
  EXPECT_EQ(Setting(6, 3), Missing());
  EXPECT_EQ(Setting(6, 0), Text(3061)) << "labels stay";
}

TEST_F(InfoPaletteTest, ItsPlaceIsKeptOnTheScreenAndAcrossAClose) {
  const int cx = GetSystemMetrics(SM_CXMAXIMIZED);
  struct Case {
    LONG left, top;
    bool flushRight;
  } cases[] = {{cx - 100, 20, true}, {-40, -5, false}};
  for (const Case& c : cases) {
    m_App.GetSettings()->m_rcInfoWindow = {c.left, c.top, 0, 0};
    Open();
    CRect r;
    palette->GetWindowRect(r);
    if (c.flushRight) {
      EXPECT_EQ(r.right, cx);
      EXPECT_EQ(r.top, c.top);
    } else {
      EXPECT_EQ(r.TopLeft(), CPoint(0, 0));
    }
    EXPECT_TRUE(CInfoPalette::Close());
  }
  EXPECT_FALSE(CInfoPalette::Close()) << "none open";

  Open();
  palette->SetWindowPos(nullptr, 140, 70, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ClickItem(hwnd, CInfoPalette::kCloseId);
  pt::Pump();
  EXPECT_FALSE(CInfoPalette::IsOpen());
  EXPECT_EQ(m_App.GetSettings()->m_rcInfoWindow.left, 140);
  EXPECT_EQ(m_App.GetSettings()->m_rcInfoWindow.top, 70);
  Open();
  CRect r;
  palette->GetWindowRect(r);
  EXPECT_EQ(r.TopLeft(), CPoint(140, 70));
}
