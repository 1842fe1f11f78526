// Print-page drawing: a page at 600 dpi on the recording DC (font heights in
// tenths of a point), the preview's scaled fonts, texts that flow into one,
// marks, hit tests, failing and releasing loads, turned pictures, and a
// preview page as it looks.

#include "platform/core/RecordingDC.h"
#include "platform/testing/Headless.h"
#include "toolkit/CET_PrintDraw.h"

#include "platform/qt/RasterCanvas.h"

#include <gtest/gtest.h>

namespace pt = platform::testing;

namespace {

// A bottom-up 24-bit picture of a horizontal gradient over a vertical one.
std::unique_ptr<CET_Dib> Picture(int width, int height) {
  auto dib = std::make_unique<CET_Dib>();
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  const auto stride = DibRowBytes(width, 24);
  std::vector<BYTE> bits(static_cast<std::size_t>(stride * height));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      BYTE* p = &bits[static_cast<std::size_t>(stride * y + 3 * x)];
      p[0] = static_cast<BYTE>(255 * x / std::max(1, width - 1));
      p[1] = static_cast<BYTE>(255 * y / std::max(1, height - 1));
      p[2] = 160;
    }
  }
  dib->Set(&info, bits.data(), static_cast<DWORD>(bits.size()));
  return dib;
}

std::unique_ptr<CET_PrintTextData> Text(const std::u16string& text, RECT rect, LONG tenths, int flow = 0,
                                        UINT format = DT_CENTER | DT_SINGLELINE) {
  auto t = std::make_unique<CET_PrintTextData>();
  t->m_text = text;
  t->m_rect = rect;
  t->m_font.lfHeight = tenths;
  t->m_flow = flow;
  t->m_format = format;
  return t;
}

// Loads a fixed picture into every cell; can be told to fail at a cell or
// to ask for the picture's release.
struct Loader {
  int calls = 0;
  int failAt = -1;
  bool release = false;
  SIZE size{40, 30};
  static int Load(CET_PrintPictData* item, int, int, int, int, int* release, void* user) {
    auto* self = static_cast<Loader*>(user);
    if (self->calls++ == self->failAt) return 0;
    item->m_picture = Picture(self->size.cx, self->size.cy);
    *release = self->release ? 1 : 0;
    return 1;
  }
};

// Letter at 600 dpi, as the print back end reports it.
CRecordingDC::Caps Letter600() {
  CRecordingDC::Caps caps;
  caps.width = 4950;
  caps.height = 6450;
  caps.dpiX = caps.dpiY = 600;
  caps.physicalWidth = 5100;
  caps.physicalHeight = 6600;
  caps.offsetX = caps.offsetY = 75;
  caps.printer = true;
  return caps;
}

class PrintPage : public ::testing::Test {
protected:
  void SetUp() override { pt::Init(); }
  // A page of n cells 2000 x 1500 page units in a column.
  void MakeCells(int n) {
    for (int i = 0; i < n; ++i) {
      auto cell = std::make_unique<CET_PrintPictData>();
      cell->m_cell = {100, 100 + 1600 * i, 2100, 1600 + 1600 * i};
      cells.push_back(std::move(cell));
    }
    pointers.clear();
    for (auto& c : cells) pointers.push_back(c.get());
  }
  std::vector<std::unique_ptr<CET_PrintPictData>> cells;
  std::vector<CET_PrintPictData*> pointers;
  Loader loader;
};

} // namespace

TEST_F(PrintPage, APageAt600DpiWithFontHeightsInTenthsOfAPoint) {
  MakeCells(2);
  cells[0]->m_texts.push_back(Text(u"IMG_0001.KVR", {0, 1500, 2000, 1600}, 100));
  auto header = Text(u"Contact sheet", {0, 0, 4950, 90}, 140);
  std::vector<CET_PrintTextData*> texts{header.get()};
  CET_PrintDraw drawer;
  drawer.SetPage(pointers, 0, 0, 1.0, 7, 0, 1.0);
  drawer.SetTextItems(&texts);
  drawer.SetLoadPictCallback(&Loader::Load, &loader);
  CRecordingDC dc(Letter600());
  EXPECT_EQ(drawer.DrawPage(&dc), 1);
  EXPECT_EQ(drawer.GetPageValue(), 7);
  const auto draws = dc.Calls("DrawText");
  ASSERT_EQ(draws.size(), 2u);
  // 14 pt and 10 pt at 600 dpi: character heights -MulDiv(140, 600, 720), -MulDiv(100, 600, 720).
  EXPECT_EQ(draws[0].text, u"Contact sheet");
  EXPECT_EQ(draws[0].font.lfHeight, -117);
  EXPECT_EQ(draws[0].rect, (RECT{0, 0, 4950, 90}));
  EXPECT_EQ(draws[1].text, u"IMG_0001.KVR");
  EXPECT_EQ(draws[1].font.lfHeight, -83);
  EXPECT_EQ(draws[1].font.lfQuality, ANTIALIASED_QUALITY);
  EXPECT_EQ(draws[1].rect, (RECT{100, 1600, 2100, 1700})) << "cell texts sit relative to the cell";
  EXPECT_EQ(draws[1].bkMode, TRANSPARENT);
  // Each cell: its picture in bands, then its light frame.
  EXPECT_EQ(dc.Calls("StretchDIBits").size(), 2u);
  const auto frames = dc.Calls("Rectangle");
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[0].rect, (RECT{100, 100, 2100, 1600}));
  EXPECT_EQ(frames[0].pen.colour, RGB(225, 225, 225));
  EXPECT_TRUE(frames[0].brushHollow);
  // The DC's modes come back.
  EXPECT_EQ(dc.GetBkMode(), OPAQUE);
  EXPECT_EQ(GetStretchBltMode(dc), BLACKONWHITE);
}

TEST_F(PrintPage, AnEmptyPageDrawsNothing) {
  auto header = Text(u"Header", {0, 0, 100, 20}, 100);
  std::vector<CET_PrintTextData*> texts{header.get()};
  CET_PrintDraw drawer;
  drawer.SetPage({}, 0, 0, 1.0, 0, 0, 1.0);
  drawer.SetTextItems(&texts);
  CRecordingDC dc;
  EXPECT_EQ(drawer.DrawPage(&dc), 0);
  EXPECT_TRUE(dc.Calls().empty());
  EXPECT_EQ(drawer.DrawTextItem(&dc, nullptr, 0, 0), 0);
}

TEST_F(PrintPage, FlowingTextsAreDrawnAsOneWordBrokenText) {
  MakeCells(1);
  cells[0]->m_texts.push_back(Text(u"A", {0, 1500, 2000, 1550}, 100, 1));
  cells[0]->m_texts.push_back(Text(u"B", {0, 1550, 2000, 1700}, 100, 1));
  cells[0]->m_texts.push_back(Text(u"C", {0, 1700, 2000, 1750}, 100, 0));
  CET_PrintDraw drawer;
  drawer.SetPage(pointers, 0, 0, 1.0, 0, 0, 1.0);
  drawer.SetLoadPictCallback(&Loader::Load, &loader);
  CRecordingDC dc(Letter600());
  ASSERT_EQ(drawer.DrawPage(&dc), 1);
  const auto draws = dc.Calls("DrawText");
  ASSERT_EQ(draws.size(), 2u);
  EXPECT_EQ(draws[0].text, u"AB");
  EXPECT_EQ(draws[0].format, UINT{DT_CENTER | DT_WORDBREAK});
  EXPECT_EQ(draws[0].rect, (RECT{100, 1600, 2100, 1800})) << "B's bottom";
  EXPECT_EQ(draws[1].text, u"C");
  // The cell keeps its own texts.
  EXPECT_EQ(cells[0]->m_texts[0]->m_text, u"A");
  EXPECT_EQ(cells[0]->m_texts[0]->m_format, UINT{DT_CENTER | DT_SINGLELINE});
}

TEST_F(PrintPage, ThePreviewScalesFontsAndPlacesByItsOrigin) {
  MakeCells(2);
  cells[1]->m_texts.push_back(Text(u"small", {0, 0, 2000, 100}, 100));
  cells[1]->m_texts.push_back(Text(u"large", {0, 100, 2000, 300}, 2400));
  CET_PrintDraw drawer;
  // A tenth of the page's size, fonts scaled by the scale and a factor of a tenth (tenths of a point).
  drawer.SetPage(pointers, 30, 40, 0.1, 0, 1, 0.1);
  drawer.SetLoadPictCallback(&Loader::Load, &loader);
  CRecordingDC dc;
  ASSERT_EQ(drawer.DrawPage(&dc), 1);
  const auto draws = dc.Calls("DrawText");
  ASSERT_EQ(draws.size(), 2u);
  EXPECT_EQ(draws[0].font.lfHeight, 8) << "a 10-point text is drawn at the least height";
  EXPECT_EQ(draws[1].font.lfHeight, 24);
  EXPECT_EQ(draws[0].rect, (RECT{30 + 10, 40 + 170, 30 + 210, 40 + 180}));
  // Hit tests use the same rectangles.
  EXPECT_EQ(drawer.HitTest(40 + 30, 50 + 40), 0);
  EXPECT_EQ(drawer.HitTest(30 + 10, 40 + 170), 1);
  EXPECT_EQ(drawer.HitTest(5, 5), -1);
  EXPECT_EQ(drawer.DeviceRect(RECT{100, 100, 2100, 1600}), (RECT{40, 50, 240, 200}));
}

TEST_F(PrintPage, MarksToggleAndShowAsRedFrames) {
  MakeCells(4);
  CET_PrintDraw drawer;
  drawer.SetPage(pointers, 0, 0, 0.1, 0, 1, 0.1);
  drawer.SetLoadPictCallback(&Loader::Load, &loader);
  drawer.ToggleMark(3);
  drawer.ToggleMark(3);
  EXPECT_FALSE(drawer.IsMarked(3));
  drawer.ToggleMark(1);
  drawer.ToggleMark(63);
  drawer.ToggleMark(64);
  drawer.ToggleMark(-2);
  EXPECT_TRUE(drawer.IsMarked(1));
  EXPECT_TRUE(drawer.IsMarked(63));
  CRecordingDC dc;
  ASSERT_EQ(drawer.DrawPage(&dc), 1);
  std::vector<RECT> red;
  for (const auto& call : dc.Calls("Rectangle")) {
    if (call.pen.colour == RGB(255, 0, 0)) {
      red.push_back(call.rect);
      EXPECT_EQ(call.pen.width, 3);
      EXPECT_TRUE(call.brushHollow);
    }
  }
  EXPECT_EQ(red, (std::vector<RECT>{{10, 170, 210, 320}}));
  drawer.ToggleMark(-1);
  EXPECT_FALSE(drawer.IsMarked(1));
  EXPECT_FALSE(drawer.IsMarked(63));
}

TEST_F(PrintPage, AFailingLoadStopsThePageAndReleasedPicturesGo) {
  MakeCells(3);
  CET_PrintDraw drawer;
  drawer.SetPage(pointers, 0, 0, 0.1, 0, 1, 0.1);
  drawer.SetLoadPictCallback(&Loader::Load, &loader);
  loader.failAt = 1;
  CRecordingDC dc;
  EXPECT_EQ(drawer.DrawPage(&dc), 0);
  EXPECT_EQ(loader.calls, 2) << "the cell after the failure is not drawn";
  EXPECT_EQ(dc.Calls("Rectangle").size(), 1u) << "no frame for the failed cell";
  // A picture asked to be released is gone after drawing; a kept one stays.
  loader = Loader{};
  loader.release = true;
  for (auto& c : cells) c->m_picture.reset();
  CRecordingDC again;
  EXPECT_EQ(drawer.DrawPage(&again), 1);
  for (auto& c : cells) EXPECT_FALSE(c->m_picture);
  loader.release = false;
  drawer.DrawPage(&again);
  for (auto& c : cells) EXPECT_TRUE(c->m_picture);
  const int calls = loader.calls;
  drawer.DrawPage(&again);
  EXPECT_EQ(loader.calls, calls) << "kept pictures are not loaded again";
}

TEST_F(PrintPage, AnUnreadablePictureLeavesItsCellEmptyWithItsFrame) {
  MakeCells(1);
  cells[0]->m_path = u"/nonexistent/folder/picture.jpg";
  CET_PrintDraw drawer;
  drawer.SetPage(pointers, 0, 0, 0.1, 0, 1, 0.1);
  CRecordingDC dc;
  EXPECT_EQ(drawer.DrawPage(&dc), 1);
  EXPECT_TRUE(dc.Calls("StretchDIBits").empty());
  ASSERT_EQ(dc.Calls("Rectangle").size(), 1u);
  EXPECT_EQ(dc.Calls("Rectangle")[0].pen.colour, RGB(225, 225, 225));
}

TEST_F(PrintPage, AutoRotateTurnsPicturesAcrossTheirCell) {
  MakeCells(1); // a landscape cell
  CET_PrintDraw drawer;
  drawer.SetPage(pointers, 0, 0, 0.1, 0, 1, 0.1);
  drawer.SetLoadPictCallback(&Loader::Load, &loader);
  drawer.SetRotateAndFit(1, 1);
  EXPECT_EQ(drawer.IsFitWhole(), 1);
  struct Case {
    SIZE picture;
    RECT source; // what the bands read: the turned picture's size when turned
  } cases[] = {{{30, 40}, {0, 0, 40, 30}}, {{40, 30}, {0, 0, 40, 30}}, {{30, 30}, {0, 0, 30, 30}}};
  for (const Case& c : cases) {
    cells[0]->m_picture.reset();
    loader.size = c.picture;
    CRecordingDC dc;
    ASSERT_EQ(drawer.DrawPage(&dc), 1);
    const auto blits = dc.Calls("StretchDIBits");
    ASSERT_EQ(blits.size(), 1u);
    EXPECT_EQ(blits[0].source, c.source) << c.picture.cx << "x" << c.picture.cy;
  }
  // A square cell turns nothing either.
  cells[0]->m_cell = {0, 0, 1000, 1000};
  cells[0]->m_picture.reset();
  loader.size = {30, 40};
  CRecordingDC square;
  drawer.DrawPage(&square);
  EXPECT_EQ(square.Calls("StretchDIBits")[0].source, (RECT{0, 0, 30, 40}));
}

TEST_F(PrintPage, CellsCopyDeeply) {
  MakeCells(1);
  CET_PrintPictData& cell = *cells[0];
  cell.m_picture = Picture(4, 3);
  cell.m_upsideDown = 1;
  cell.m_texts.push_back(Text(u"caption", {0, 0, 10, 10}, 90));
  cell.m_infoLines = {u"1/125", u"F5.6"};
  cell.m_dialogValues[1] = 42;
  CET_PrintPictData copy;
  copy.CopyFrom(&cell);
  ASSERT_TRUE(copy.m_picture);
  EXPECT_NE(copy.m_picture.get(), cell.m_picture.get());
  EXPECT_EQ(copy.m_picture->GetWidth(), 4);
  ASSERT_EQ(copy.m_texts.size(), 1u);
  EXPECT_NE(copy.m_texts[0].get(), cell.m_texts[0].get());
  EXPECT_EQ(copy.m_texts[0]->m_text, u"caption");
  EXPECT_EQ(copy.m_infoLines, cell.m_infoLines);
  EXPECT_EQ(copy.m_dialogValues[1], 42);
  EXPECT_EQ(copy.m_upsideDown, 1);
  copy.CopyFrom(nullptr);
  EXPECT_FALSE(copy.m_picture);
  EXPECT_TRUE(copy.m_texts.empty());
  EXPECT_TRUE(copy.m_infoLines.empty());
}

TEST_F(PrintPage, APreviewPageAsItLooks) {
  // Letter in page units of 1/100 inch, shown at 0.5.
  for (int i = 0; i < 6; ++i) {
    auto cell = std::make_unique<CET_PrintPictData>();
    const int col = i % 2, row = i / 2;
    cell->m_cell = {50 + 380 * col, 80 + 300 * row, 400 + 380 * col, 330 + 300 * row};
    cell->m_upsideDown = i == 3;
    cell->m_texts.push_back(Text(u"IMG_000" + std::u16string(1, u'1' + i) + u".KVR", {0, 255, 350, 275}, 90, 1));
    cell->m_texts.push_back(Text(u" 1/250 s F8", {0, 255, 350, 295}, 90, 1));
    cells.push_back(std::move(cell));
  }
  for (auto& c : cells) pointers.push_back(c.get());
  auto header = Text(u"Lumitra4 \u2013 contact sheet", {0, 20, 850, 60}, 160);
  std::vector<CET_PrintTextData*> texts{header.get()};
  Canvas canvas(425, 550);
  canvas.FillAll(RGB(255, 255, 255));
  CET_PrintDraw drawer;
  drawer.SetPage(pointers, 0, 0, 0.5, 0, 1, 0.1);
  drawer.SetTextItems(&texts);
  drawer.SetRotateAndFit(1, 0);
  loader.size = {60, 40};
  drawer.SetLoadPictCallback(&Loader::Load, &loader);
  drawer.ToggleMark(2);
  ASSERT_EQ(drawer.DrawPage(&canvas.dc), 1);
  pt::SavePng(Shot(canvas), "print-preview-page.png");
  EXPECT_EQ(canvas.Pixel(25, 40), RGB(225, 225, 225)) << "a cell's frame";
  EXPECT_EQ(canvas.Pixel(25, 190), RGB(255, 0, 0)) << "the marked cell";
}
