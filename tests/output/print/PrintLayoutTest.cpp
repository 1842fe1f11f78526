// Print layout: the print sizes a printer offers, the grid with its bands and
// information slots, the pages of pictures and copies, and a composed page
// drawn as the preview shows it.

#include "output/print/PrintLayout.h"

#include "platform/qt/RasterCanvas.h"
#include "platform/testing/Headless.h"

#include "support/DibBuilder.h"

#include <gtest/gtest.h>

namespace pt = platform::testing;

namespace {

platform::PrinterCaps Caps(int dpiX, int dpiY, int width, int height) {
  platform::PrinterCaps caps;
  caps.dpiX = dpiX;
  caps.dpiY = dpiY;
  caps.offset = {75, 75};
  caps.printable = {width, height};
  caps.paper = {width + 150, height + 150};
  return caps;
}

std::unique_ptr<CET_Dib> Picture(int width, int height, COLORREF colour) {
  return testsupport::MakeBottomUpDib(width, height, [colour](int, int) { return colour; });
}

std::unique_ptr<CET_PrintPictData> PrintPicture(const char* name, std::vector<std::u16string> lines = {}) {
  auto picture = std::make_unique<CET_PrintPictData>();
  picture->m_path = FString(name);
  picture->m_infoLines = std::move(lines);
  return picture;
}

std::vector<CET_PrintPictData*> Pointers(const std::vector<std::unique_ptr<CET_PrintPictData>>& pictures) {
  std::vector<CET_PrintPictData*> pointers;
  for (const auto& p : pictures) pointers.push_back(p.get());
  return pointers;
}

} // namespace

TEST(PrintSizes, WhatAPrinterOffers) {
  struct Case {
    const char* printer;
    platform::PrinterCaps caps;
    std::vector<std::u16string> texts;
  };
  const Case cases[] = {
      // Letter at 600 dpi: 10 inches do not fit across 4950 dots.
      {"letter", platform::LetterAt600Dpi(),
       {u"5x7 (2)", u"4x6 (2)", u"3x5 (3)", u"2x3 (10)", u"1x1 (30)", u"Full page"}},
      {"wide", Caps(300, 300, 3200, 4000),
       {u"8x10 (1)", u"5x7 (2)", u"4x6 (3)", u"3x5 (8)", u"2x3 (18)", u"1x1 (48)"}},
      // A printer of twice the vertical resolution gets as many prints down the page.
      {"600x1200", Caps(600, 1200, 4950, 12900),
       {u"5x7 (2)", u"4x6 (2)", u"3x5 (3)", u"2x3 (10)", u"1x1 (30)", u"Full page"}},
      {"tiny", Caps(300, 300, 400, 400), {u"Full page"}},
  };
  for (const Case& c : cases) {
    const PrintSizeList list = ListPrintSizes(c.caps, u"Full page");
    auto expected = c.texts;
    if (expected.back() != u"Full page") expected.push_back(u"Full page");
    EXPECT_EQ(list.texts, expected) << c.printer;
  }
  const PrintSizeList letter = ListPrintSizes(platform::LetterAt600Dpi(), u"Full page");
  EXPECT_EQ(letter.TableIndexOf(0), 1) << "the missing 8x10 is skipped";
  EXPECT_EQ(letter.TableIndexOf(4), 5);
  EXPECT_EQ(letter.TableIndexOf(5), -1) << "the full page";
  EXPECT_EQ(letter.TableIndexOf(-1), -1);
  EXPECT_EQ(letter.SelectionOf(5), 4);
  EXPECT_EQ(letter.SelectionOf(0), -1);
}

TEST(PrintSizes, PrintersThatReportNonsenseGiveNoSizesAndNoOverflow) {
  const platform::PrinterCaps cases[] = {
      Caps(0, 0, 4950, 6450), Caps(600, 600, -5, 0), Caps(1, 1, 2'000'000'000, 2'000'000'000),
      Caps(2'000'000'000, 2'000'000'000, 2'000'000'000, 2'000'000'000)};
  for (const auto& caps : cases) {
    const PrintSizeList list = ListPrintSizes(caps, u"Full page");
    EXPECT_EQ(list.texts.back(), u"Full page");
    PrintLayoutInput input;
    input.caps = caps;
    input.sizeIndex = list.TableIndexOf(0);
    const PrintLayout layout = ComputePrintLayout(input);
    EXPECT_GE(layout.cells.size(), 1u);
    EXPECT_LE(layout.cells.size(), 4096u);
    // Asked for a size the list did not offer, the layout still stays within bounds.
    for (int size = 0; size < 6; ++size) {
      input.sizeIndex = size;
      EXPECT_LE(ComputePrintLayout(input).cells.size(), 4096u);
    }
  }
  EXPECT_EQ(ListPrintSizes(Caps(1, 1, 2'000'000'000, 2'000'000'000), u"").texts.size(), 1u)
      << "millions of prints a page: only the full page";
  const auto roll = ListPrintSizes(Caps(2400, 2400, 105600, 240000), u"").texts;
  EXPECT_EQ(roll[roll.size() - 2], u"1x1 (1701)") << "1.5-inch prints on 44 x 100 inches: 27 x 63";
}

TEST(PrintSizes, PaperLabels) {
  const PaperLabels letter = DescribePaper(platform::LetterAt600Dpi());
  EXPECT_EQ(letter.inches, u"8.5\" x 11.0\"");
  EXPECT_EQ(letter.millimetres, u"216mm x 279mm");
  EXPECT_TRUE(DescribePaper(Caps(0, 0, 10, 10)).inches.empty());
}

TEST(PrintSizes, NamesStoredAndFound) {
  EXPECT_EQ(PrintSizeName(u"4x6 (2)"), u"4x6");
  EXPECT_EQ(PrintSizeName(u"Full page"), u"Full page");
  const std::vector<std::u16string> texts{u"5x7 (2)", u"4x6 (2)", u"Full page"};
  EXPECT_EQ(FindPrintSize(texts, u"4x6"), 1);
  EXPECT_EQ(FindPrintSize(texts, u"8x10"), -1);
}

TEST(PrintGrid, CellsBandsAndInformationSlots) {
  PrintLayoutInput input;
  input.caps = platform::LetterAt600Dpi();
  input.sizeIndex = 2; // 4 x 6 inches: one column, two rows
  PrintLayout plain = ComputePrintLayout(input);
  ASSERT_EQ(plain.cells.size(), 2u);
  EXPECT_EQ(plain.columns, 1);
  EXPECT_EQ(plain.rows, 2);
  EXPECT_EQ(plain.cells[0]->m_cell, (RECT{675, 0, 4275, 2400})) << "centred across the printable width";
  EXPECT_EQ(plain.cells[1]->m_cell, (RECT{675, 2520, 4275, 4920})) << "a gap of 5 % below";
  EXPECT_EQ(plain.paper, (RECT{0, 0, 5100, 6600}));
  EXPECT_EQ(plain.printable, (RECT{75, 75, 5025, 6525}));
  EXPECT_FALSE(plain.headerTemplate);

  // A footer keeps the top band free too.
  input.header = true;
  input.bandHeight = 100;
  input.headerPos = 5;
  PrintLayout footer = ComputePrintLayout(input);
  EXPECT_EQ(footer.cells[0]->m_cell.top, 100);
  ASSERT_TRUE(footer.headerTemplate);
  EXPECT_EQ(footer.headerTemplate->m_rect, (RECT{0, 6350, 4950, 6450}));
  EXPECT_EQ(footer.headerTemplate->m_format, UINT(DT_CENTER | DT_SINGLELINE | DT_VCENTER));
  input.headerPos = 3;
  EXPECT_EQ(ComputePrintLayout(input).headerTemplate->m_rect, (RECT{0, 0, 4950, 100}));
  input.header = false;

  // Information below the picture (0 and 9 alike) shortens the cell; over it (4) does not.
  input.info = true;
  input.infoBasic = input.infoCapture = 1;
  input.lineHeight = 50;
  for (int pos : {0, 9, 4}) {
    input.infoPos = pos;
    PrintLayout layout = ComputePrintLayout(input);
    const CET_PrintPictData& cell = *layout.cells[1];
    EXPECT_EQ(cell.m_cell.bottom, pos == 4 ? 4920 : 4770) << pos;
    ASSERT_EQ(cell.m_texts.size(), 3u) << pos;
    EXPECT_EQ(cell.m_texts[0]->m_rect, (RECT{0, 2250, 3600, 2300})) << pos;
    EXPECT_EQ(cell.m_texts[2]->m_rect, (RECT{0, 2350, 3600, 2400})) << pos;
    EXPECT_EQ(cell.m_texts[0]->m_format, (pos == 4 ? UINT(DT_LEFT) : UINT(DT_RIGHT)) | DT_SINGLELINE | DT_VCENTER);
  }
  input.infoBasic = 0;
  EXPECT_EQ(ComputePrintLayout(input).cells[0]->m_texts.size(), 1u) << "capture alone: one slot";
  input.infoPos = 0;
  input.lineHeight = 5000;
  const RECT tall = ComputePrintLayout(input).cells[0]->m_cell;
  EXPECT_EQ(tall.bottom, tall.top) << "lines taller than the print leave it no height, not a negative one";
  input.info = false;
  EXPECT_TRUE(ComputePrintLayout(input).cells[0]->m_texts.empty()) << "information off";
}

TEST(PrintGrid, FullPageAndNoRoomForARow) {
  PrintLayoutInput input;
  input.caps = platform::LetterAt600Dpi();
  input.info = true;
  input.infoBasic = 1;
  input.lineHeight = 50;
  input.header = true;
  input.bandHeight = 100;
  input.headerPos = 1;
  PrintLayout full = ComputePrintLayout(input);
  ASSERT_EQ(full.cells.size(), 1u);
  EXPECT_EQ(full.cells[0]->m_cell, (RECT{0, 100, 4950, 6350}));
  EXPECT_TRUE(full.cells[0]->m_texts.empty()) << "no information on a full page";
  EXPECT_TRUE(full.headerTemplate) << "the header still prints";

  // 8 x 10 fits 2500 dots of height, but not once the bands take 200.
  input.caps = Caps(300, 300, 3200, 2500);
  input.sizeIndex = 0;
  ASSERT_EQ(ListPrintSizes(input.caps, u"").TableIndexOf(0), 0);
  PrintLayout squeezed = ComputePrintLayout(input);
  ASSERT_EQ(squeezed.cells.size(), 1u) << "the full page instead of a page without cells";
  EXPECT_EQ(squeezed.cells[0]->m_cell, (RECT{0, 100, 3200, 2400}));
  EXPECT_EQ(PrintPageCount(3, 1, 1), 3);
  EXPECT_EQ(PrintPageCount(3, 1, 0), 0);
  EXPECT_EQ(DescribePage(3, 1, 0, 0).text, u"1/1");
}

TEST(PrintPages, CopiesFillConsecutiveCells) {
  PrintLayoutInput input;
  input.caps = Caps(600, 600, 7600, 5000); // 4 x 6 inches two by two
  input.sizeIndex = 2;
  input.info = true;
  input.infoCapture = 1;
  input.lineHeight = 40;
  input.header = true;
  input.bandHeight = 0;
  PrintLayout layout = ComputePrintLayout(input);
  ASSERT_EQ(layout.cells.size(), 4u);

  std::vector<std::unique_ptr<CET_PrintPictData>> pictures;
  pictures.push_back(PrintPicture("A.KVR", {u"A.KVR 2026:01:02 ", u"camera", u"1/125s F5.6 ISO100 "}));
  pictures.push_back(PrintPicture("B.JPG", {u"B.JPG", u"", u""}));
  pictures[0]->m_picture = Picture(30, 20, RGB(200, 0, 0));
  pictures[0]->m_sourceArea = {1, 2, 3, 4};
  InfoPrintSetting info;
  info.m_nCapture = 1;
  info.m_Coler = RGB(1, 2, 3);
  info.m_Font.lfHeight = 80;
  HeadFootPrintSetting header;
  header.m_strHeadFoot = FString("Holiday");

  ComposedPage first = ComposePrintPage(layout, Pointers(pictures), 3, 0, info, header);
  ASSERT_EQ(first.cells.size(), 4u);
  std::u16string order;
  for (auto* cell : first.cells) order += cell->m_path.View().front();
  EXPECT_EQ(order, u"AAAB");
  EXPECT_EQ(first.cells[0]->m_picture.get(), pictures[0]->m_picture.get()) << "borrowed, not copied";
  EXPECT_EQ(first.cells[0]->m_sourceArea, (RECT{1, 2, 3, 4}));
  ASSERT_EQ(first.cells[0]->m_texts.size(), 1u);
  EXPECT_EQ(first.cells[0]->m_texts[0]->m_text, u"1/125s F5.6 ISO100 ") << "capture alone: the exposure line";
  EXPECT_EQ(first.cells[0]->m_texts[0]->m_colour, RGB(1, 2, 3));
  EXPECT_EQ(first.cells[0]->m_texts[0]->m_font.lfHeight, 80);
  EXPECT_EQ(first.texts[0]->m_font.lfHeight, 100) << "a stored size of 0 prints at 10 points";
  ASSERT_EQ(first.texts.size(), 1u);
  EXPECT_EQ(first.texts[0]->m_text, u"Holiday");
  EXPECT_EQ(DescribePage(2, 3, 4, 0).text, u"1/2");
  EXPECT_FALSE(DescribePage(2, 3, 4, 0).previousEnabled);
  EXPECT_TRUE(DescribePage(2, 3, 4, 0).nextEnabled);

  ComposedPage second = ComposePrintPage(layout, Pointers(pictures), 3, 1, info, header);
  order.clear();
  for (auto* cell : second.cells) order += cell->m_path.View().front();
  EXPECT_EQ(order, u"BB");
  EXPECT_FALSE(layout.cells[2]->m_picture) << "a cell left over lets go of the last page's picture";

  EXPECT_TRUE(ComposePrintPage(layout, {}, 1, 0, info, header).texts.empty()) << "an empty page has no header";
  EXPECT_EQ(DescribePage(0, 1, 4, 0).text, u"1/1");

  // Deleting the layout and the pictures in either order frees each bitmap once (ASan).
  layout.cells.clear();
}

TEST(PrintPages, PreviewKeepsThePapersShape) {
  const PreviewPlacement placement = PlacePreview({0, 0, 400, 400}, platform::LetterAt600Dpi());
  EXPECT_EQ(placement.rect.bottom - placement.rect.top, 400);
  EXPECT_NEAR(placement.scale, 400.0 / 6600, 0.0005);
  EXPECT_EQ(PlacePreview({0, 0, 400, 400}, platform::PrinterCaps{}).scale, 0.0);
}

TEST(PrintPages, AComposedPageAsThePreviewShowsIt) {
  pt::Init();
  PrintLayoutInput input;
  input.caps = platform::LetterAt600Dpi();
  input.sizeIndex = 4; // 2 x 3 inches, two columns
  input.info = true;
  input.infoBasic = input.infoCapture = 1;
  input.lineHeight = 60;
  input.header = true;
  input.bandHeight = 120;
  input.headerPos = 2;
  PrintLayout layout = ComputePrintLayout(input);
  ASSERT_EQ(layout.cells.size(), 8u);
  std::vector<std::unique_ptr<CET_PrintPictData>> pictures;
  for (int i = 0; i < 3; ++i) {
    pictures.push_back(PrintPicture("IMG.KVR", {u"IMG_000" + std::u16string(1, u'1' + i) + u".KVR 2026:05:01",
                                                u"Camera", u"1/250s F8 ISO100"}));
    // Landscape pictures of 3:2 and one portrait, in three colours.
    pictures.back()->m_picture = i == 1 ? Picture(40, 60, RGB(0, 120, 0)) : Picture(60, 40, RGB(30, 60, 200));
  }
  InfoPrintSetting info;
  info.m_nBasic = info.m_nCapture = 1;
  info.m_Font.lfHeight = 80;
  HeadFootPrintSetting header;
  header.m_strHeadFoot = FString("Lumitra4 contact sheet");
  header.m_Font.lfHeight = 120;
  ComposedPage page = ComposePrintPage(layout, Pointers(pictures), 2, 0, info, header);
  ASSERT_EQ(page.cells.size(), 6u);

  const PreviewPlacement placement = PlacePreview({0, 0, 510, 660}, input.caps);
  Canvas canvas(510, 660);
  canvas.FillAll(RGB(255, 255, 255));
  CET_PrintDraw drawer;
  drawer.SetPage(page.cells, static_cast<int>(layout.printable.left * placement.scale),
                 static_cast<int>(layout.printable.top * placement.scale), placement.scale, 0, 1, 0.1);
  const auto texts = page.TextPointers();
  drawer.SetTextItems(&texts);
  drawer.SetRotateAndFit(0, 1);
  ASSERT_EQ(drawer.DrawPage(&canvas.dc), 1);
  pt::SavePng(Shot(canvas), "print-layout-page.png");

  const RECT cell = drawer.DeviceRect(layout.cells[0]->m_cell);
  const int midX = (cell.left + cell.right) / 2, midY = (cell.top + cell.bottom) / 2;
  EXPECT_EQ(canvas.Pixel(midX, midY), RGB(30, 60, 200)) << "the picture fills the cell's middle";
  // 3:2 in a cell of 1800 x 1020 dots: the full height, paper left and right alike.
  EXPECT_EQ(canvas.Pixel(midX, cell.top + 1), RGB(30, 60, 200)) << "the picture spans the cell's height";
  EXPECT_EQ(canvas.Pixel(cell.left + 2, midY), RGB(255, 255, 255)) << "paper beside it";
  EXPECT_EQ(canvas.Pixel(cell.right - 3, midY), RGB(255, 255, 255)) << "on both sides";
  EXPECT_EQ(canvas.Pixel(cell.left + 2, cell.top + 2), RGB(255, 255, 255));
  EXPECT_EQ(canvas.Pixel(5, 5), RGB(255, 255, 255)) << "the printer's margin stays paper";
  const RECT third = drawer.DeviceRect(layout.cells[2]->m_cell);
  EXPECT_EQ(canvas.Pixel((third.left + third.right) / 2, (third.top + third.bottom) / 2), RGB(0, 120, 0));
}
