// Print preparation: which pictures a page needs, the run over them with a
// scripted source, the information lines, a cell's texts at print time, the
// crop carried over to the full-size picture and grabbed movie frames.

#include "output/print/PrintPreparation.h"

#include "output/print/PrintLayout.h"
#include "shell/facade/CKVR_FilterData.h"

#include "toolkit/CET_FilterData.h"
#include "toolkit/PictureFileTypes.h"

#include "support/DibBuilder.h"

#include <gtest/gtest.h>

#include <map>

namespace {

std::unique_ptr<CET_Dib> Picture(int width, int height) {
  return testsupport::MakeBottomUpDib(width, height, [](int, int) { return RGB(128, 128, 128); });
}

// Answers by the file's extension and counts what it was asked.
struct ScriptedSource : PrintPictureSource {
  std::map<std::string, int> calls;
  bool failRaw = false;
  int FileType(const FString& path) override {
    const auto name = path.View();
    if (name.ends_with(u".KVR")) return ETFILETYPE_KVR;
    if (name.ends_with(u".AVI")) return ETFILETYPE_AVI;
    return 1;
  }
  std::unique_ptr<CET_Dib> DevelopRaw(const FString&, const CET_FilterData*) override {
    ++calls["raw"];
    return failRaw ? nullptr : Picture(60, 40);
  }
  std::unique_ptr<CET_Dib> GrabMovieFrame(const FString&) override {
    ++calls["movie"];
    return Picture(32, 24);
  }
  std::unique_ptr<CET_Dib> LoadStill(const FString& path) override {
    ++calls["still"];
    return path.View().ends_with(u".MPG") ? nullptr : Picture(30, 20);
  }
  std::unique_ptr<CET_Dib> Filter(const CET_Dib&, const CET_FilterData&) override {
    ++calls["filter"];
    return Picture(3, 2);
  }
  std::vector<std::u16string> InfoLines(const FString& path) override {
    ++calls["lines"];
    return {std::u16string(path.View()), u"", u""};
  }
};

struct Pictures {
  std::vector<std::unique_ptr<CET_PrintPictData>> owned;
  std::vector<CET_PrintPictData*> pointers;
  explicit Pictures(std::initializer_list<const char*> names) {
    for (const char* name : names) {
      owned.push_back(std::make_unique<CET_PrintPictData>());
      owned.back()->m_path = FString(name);
      pointers.push_back(owned.back().get());
    }
  }
};

} // namespace

TEST(PrintPreparation, APageNeedsEachPictureOnce) {
  Pictures p{"A.KVR", "B.JPG", "C.AVI"};
  // Copies 3 on 4 cells: page 0 shows A A A B, page 1 B B C C, page 2 C.
  EXPECT_EQ(PicturesToPrepare(p.pointers, 0, 4, 3), (std::vector<CET_PrintPictData*>{p.pointers[0], p.pointers[1]}));
  EXPECT_EQ(PicturesToPrepare(p.pointers, 1, 4, 3), (std::vector<CET_PrintPictData*>{p.pointers[1], p.pointers[2]}));
  EXPECT_EQ(PicturesToPrepare(p.pointers, 2, 4, 3), (std::vector<CET_PrintPictData*>{p.pointers[2]}));
  EXPECT_TRUE(PicturesToPrepare(p.pointers, 3, 4, 3).empty());
  EXPECT_TRUE(PicturesToPrepare(p.pointers, 0, 0, 3).empty());
  p.owned[0]->m_picture = Picture(4, 4);
  EXPECT_EQ(PicturesToPrepare(p.pointers, 0, 4, 3), (std::vector<CET_PrintPictData*>{p.pointers[1]}))
      << "a picture with its bitmap is left alone";
}

TEST(PrintPreparation, EachKindOfFileFromItsSource) {
  Pictures p{"A.KVR", "B.JPG", "C.AVI", "D.MPG"};
  ScriptedSource source;
  std::vector<std::pair<int, int>> steps;
  CET_FilterData settings;
  PreparePrintPictures(p.pointers, true, &settings, source, [&](int n, int count) { steps.emplace_back(n, count); });
  EXPECT_EQ(steps, (std::vector<std::pair<int, int>>{{1, 4}, {2, 4}, {3, 4}, {4, 4}})) << "counted in pictures";
  EXPECT_EQ(p.owned[0]->m_picture->GetWidth(), 60);
  EXPECT_EQ(p.owned[1]->m_picture->GetWidth(), 3) << "the adjusted copy replaces the still";
  EXPECT_EQ(p.owned[2]->m_picture->GetWidth(), 32);
  EXPECT_FALSE(p.owned[3]->m_picture) << "a movie the decoder cannot read stays without bitmap";
  EXPECT_EQ(p.owned[3]->m_infoLines.size(), 3u) << "but has its lines";
  EXPECT_EQ(source.calls["filter"], 1) << "only stills are filtered";

  // New settings for raw files: only the raw picture is made again.
  p.owned[0]->m_picture.reset();
  source.calls.clear();
  PreparePrintPictures(PicturesToPrepare(p.pointers, 0, 4, 1), true, &settings, source, {});
  EXPECT_EQ(source.calls["raw"], 1);
  EXPECT_EQ(source.calls["still"], 1) << "the undecodable movie is tried again";
  EXPECT_EQ(source.calls["lines"], 0) << "lines are built once";

  // Without settings nothing is filtered; a failed development leaves no bitmap.
  Pictures q{"E.JPG", "F.KVR"};
  source.failRaw = true;
  PreparePrintPictures(q.pointers, true, nullptr, source, {});
  EXPECT_EQ(q.owned[0]->m_picture->GetWidth(), 30);
  EXPECT_FALSE(q.owned[1]->m_picture);
}

TEST(PrintPreparation, InformationLines) {
  const std::u16string f = u"F";
  std::vector<std::u16string> lines;
  BuildInfoLines(FString("IMG_0001.KVR"), nullptr, f, lines);
  EXPECT_EQ(lines, (std::vector<std::u16string>{u"IMG_0001.KVR", u"", u""}));

  ShootingFields fields;
  fields.date = FString("2026/05/01");
  fields.time = FString("10:20:30");
  fields.camera = FString("DP2");
  fields.shutter = FString("1/125");
  fields.aperture = FString("5.6");
  fields.iso = FString("100");
  fields.focalLength = FString("24mm");
  lines.clear();
  BuildInfoLines(FString("IMG_0001.KVR"), &fields, f, lines);
  EXPECT_EQ(lines, (std::vector<std::u16string>{u"IMG_0001.KVR 2026/05/01 10:20:30 ", u"DP2 ",
                                                u"1/125s F5.6 ISO100  24mm "}))
      << "one blank after every field, empty ones too";
  fields = ShootingFields{};
  lines.clear();
  BuildInfoLines(FString("X.JPG"), &fields, f, lines);
  EXPECT_EQ(lines[2], u"     ") << "no \"s\", label or \"ISO\" without values";
}

TEST(PrintPreparation, CellTextsAtPrintTime) {
  struct Case {
    int basic, capture;
    std::size_t slots;
    std::vector<std::u16string> texts;
  };
  const Case cases[] = {
      {1, 1, 3, {u"name", u"camera", u"exposure"}},
      {0, 1, 1, {u"exposure"}},
      {1, 0, 2, {u"name", u"camera"}},
      {1, 1, 1, {u"name"}}, // as far as the cell has slots
  };
  for (const Case& c : cases) {
    CET_PrintPictData cell;
    cell.m_infoLines = {u"name", u"camera", u"exposure"};
    for (std::size_t s = 0; s < c.slots; ++s) cell.m_texts.push_back(std::make_unique<CET_PrintTextData>());
    InfoPrintSetting info;
    info.m_nBasic = c.basic;
    info.m_nCapture = c.capture;
    FillCellInfoTexts(cell, info);
    std::vector<std::u16string> texts;
    for (const auto& t : cell.m_texts) texts.push_back(t->m_text);
    EXPECT_EQ(texts, c.texts) << c.basic << c.capture;
  }
}

TEST(PrintPreparation, TheCropFollowsThePictureToFullSize) {
  const RECT cell{0, 0, 1000, 1000}; // square cell
  // The preview's 600 x 400 picture was cropped to its right square; at full
  // size (1200 x 800) the same place is the right 800 x 800.
  EXPECT_EQ(CarryCropOver(cell, {200, 0, 600, 400}, 1200, 800, false), (RECT{400, 0, 1200, 800}));
  EXPECT_EQ(CarryCropOver(cell, {100, 0, 500, 400}, 600, 400, false), (RECT{100, 0, 500, 400}))
      << "same size: unchanged";
  EXPECT_EQ(CarryCropOver(cell, {}, 1200, 800, false), (RECT{})) << "empty: the centred crop";
  // Rounding can never push the crop outside the picture.
  EXPECT_EQ(CarryCropOver(cell, {201, 0, 601, 400}, 1199, 799, false), (RECT{400, 0, 1199, 799}));
  // A portrait cell with automatic rotation crops the turned picture.
  EXPECT_EQ(CarryCropOver({0, 0, 1000, 500}, {0, 0, 400, 200}, 400, 600, true), (RECT{0, 0, 600, 300}));
}

TEST(PrintPreparation, AGrabWithoutPixelsIsNoPicture) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = 5;
  info.bmiHeader.biHeight = 2;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  std::vector<BYTE> bits(static_cast<std::size_t>(DibRowBytes(5, 24) * 2), 7);
  EXPECT_TRUE(DibFromMovieFrame(&info, bits.data(), static_cast<DWORD>(bits.size())));
  EXPECT_FALSE(DibFromMovieFrame(&info, nullptr, 0)) << "a grab past the movie's end";
  EXPECT_FALSE(DibFromMovieFrame(&info, bits.data(), 30)) << "rows of 15 bytes are padded to 16";
  info.bmiHeader.biWidth = 0;
  EXPECT_FALSE(DibFromMovieFrame(&info, bits.data(), static_cast<DWORD>(bits.size())));
}

TEST(PrintPreparation, ACellLoadedAtPrintTime) {
  ScriptedSource source;
  InfoPrintSetting info;
  info.m_nBasic = 1;
  // A page never previewed: the cell gets its picture, its lines and its texts.
  CET_PrintPictData cell;
  cell.m_path = FString("A.KVR");
  cell.m_cell = {0, 0, 1000, 1000};
  cell.m_texts.push_back(std::make_unique<CET_PrintTextData>());
  cell.m_sourceArea = {10, 0, 30, 20}; // the right square of the preview's 30 x 20 picture
  LoadCellForPrint(cell, source, nullptr, true, info, false);
  ASSERT_TRUE(cell.m_picture);
  EXPECT_EQ(cell.m_infoLines.size(), 3u);
  EXPECT_EQ(cell.m_texts[0]->m_text, u"A.KVR") << "line 0 into the only slot";
  EXPECT_EQ(cell.m_sourceArea, (RECT{20, 0, 60, 40})) << "the same square of the 60 x 40 development";
  // A still is decoded, not filtered, however the preview showed it.
  CET_PrintPictData still;
  still.m_path = FString("B.JPG");
  CET_FilterData adjusted;
  LoadCellForPrint(still, source, &adjusted, false, info, false);
  EXPECT_EQ(still.m_picture->GetWidth(), 30);
  EXPECT_EQ(source.calls["filter"], 0);
  const CET_Dib* kept = still.m_picture.get();
  LoadCellForPrint(still, source, nullptr, false, info, false);
  EXPECT_EQ(still.m_picture.get(), kept) << "a cell with its picture is left alone";
}

TEST(PrintPreparation, NewRawSettingsFreeOnlyRawBitmapsAndThePageLetsGoFirst) {
  Pictures p{"A.KVR", "B.JPG"};
  for (auto& picture : p.owned) picture->m_picture = Picture(4, 4);
  PrintLayoutInput input;
  input.caps = platform::LetterAt600Dpi();
  input.sizeIndex = 2;
  PrintLayout layout = ComputePrintLayout(input);
  ComposePrintPage(layout, p.pointers, 1, 0, InfoPrintSetting{}, HeadFootPrintSetting{});
  ASSERT_EQ(layout.cells[0]->m_picture.get(), p.owned[0]->m_picture.get());
  ScriptedSource source;
  FreeRawPictureBitmaps(layout, p.pointers, source);
  EXPECT_FALSE(p.owned[0]->m_picture);
  EXPECT_TRUE(p.owned[1]->m_picture) << "the JPEG keeps its bitmap";
  EXPECT_FALSE(layout.cells[0]->m_picture) << "no cell still points at a freed bitmap";
  EXPECT_FALSE(layout.cells[1]->m_picture);
}

TEST(PrintPreparation, TheSettingsRawFilesArePrintedWith) {
  CKVR_FilterData review;
  review.m_nExposure = 30;
  CKVR_FilterData saved;
  saved.m_nContrast = -20;
  auto fromReview = PrintSettingsFor(true, &review, 2, &saved);
  ASSERT_TRUE(fromReview);
  EXPECT_EQ(fromReview->m_nExposure, 30);
  EXPECT_TRUE(dynamic_cast<CKVR_FilterData*>(fromReview.get()));
  EXPECT_FALSE(PrintSettingsFor(true, nullptr, 1, nullptr)) << "the review window gave none";
  EXPECT_FALSE(PrintSettingsFor(false, &review, 0, &saved)) << "as shot: each file's own";
  EXPECT_FALSE(PrintSettingsFor(false, &review, 7, &saved)) << "a mode never offered: as shot";
  auto automatic = PrintSettingsFor(false, nullptr, 1, nullptr);
  ASSERT_TRUE(automatic);
  EXPECT_EQ(automatic->m_nAuto, 1);
  auto custom = PrintSettingsFor(false, nullptr, 2, &saved);
  ASSERT_TRUE(custom);
  EXPECT_EQ(custom->m_nContrast, -20);
  auto none = PrintSettingsFor(false, nullptr, 2, nullptr);
  ASSERT_TRUE(none);
  EXPECT_EQ(none->m_nContrast, 0);
}
