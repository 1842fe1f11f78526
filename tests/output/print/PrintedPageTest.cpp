// A page as the printer gets it: the layout from the printer DC's page and
// font heights, composed and drawn on the PDF printer, rasterised with
// pdftoppm and looked at.

#include "output/print/PrintDeviceMetrics.h"
#include "output/print/PrintLayout.h"

#include "platform/afx/AfxCommonDialogs.h"
#include "platform/afx/AfxPrinters.h"
#include "platform/testing/Headless.h"
#include "support/TestSupport.h"

#include "support/DibBuilder.h"
#include "support/PdfRender.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
namespace pt = platform::testing;

namespace {

std::unique_ptr<CET_Dib> Picture(int width, int height, COLORREF colour) {
  return testsupport::MakeBottomUpDib(width, height, [colour](int, int) { return colour; });
}

bool Near(COLORREF a, COLORREF b) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= 8 && std::abs(GetGValue(a) - GetGValue(b)) <= 8 &&
         std::abs(GetBValue(a) - GetBValue(b)) <= 8;
}

class PrintedPage : public ::testing::Test {
protected:
  void SetUp() override {
    pt::Init();
    platform::UsePdfPrinter(u"PDF", (dir.Path() / "out.pdf").string(), platform::LetterAt600Dpi());
  }
  void TearDown() override { platform::UseSystemPrinters(); }
  HDC PrinterDc() {
    CPrintDialog dialog(FALSE);
    if (!app.GetPrinterDeviceDefaults(&dialog.m_pd)) return nullptr;
    return dialog.CreatePrinterDC();
  }
  testsupport::TempDir dir;
  CWinApp app{u"Lumitra4"};
};

LOGFONTW Font(LONG tenths) {
  LOGFONTW font{};
  std::u16string(u"DejaVu Sans").copy(font.lfFaceName, LF_FACESIZE - 1);
  font.lfHeight = tenths;
  font.lfWeight = FW_NORMAL;
  return font;
}

} // namespace

TEST_F(PrintedPage, FontHeightsAtThePrintersResolution) {
  CDC dc;
  ASSERT_TRUE(dc.Attach(PrinterDc()));
  EXPECT_EQ(ReadPrinterCaps(dc), platform::LetterAt600Dpi());
  InfoPrintSetting info;
  info.m_Font = Font(100);
  HeadFootPrintSetting header;
  header.m_Font = Font(200);
  header.m_strHeadFoot = FString("Holiday");
  const PrintFontMetrics ten = MeasurePrintFonts(dc, info, header);
  // 10 points at 600 dpi is 83 dots of character height; a line is a little more.
  EXPECT_GE(ten.lineHeight, 83);
  EXPECT_LE(ten.lineHeight, 120);
  EXPECT_GT(ten.textRatio, 0.6) << "the line over the font's with a cell height of 100 dots";
  EXPECT_LT(ten.textRatio, 1.2);
  EXPECT_NEAR(ten.bandHeight, 2 * ten.lineHeight, 6) << "20 points";
  // Sizes that are not positive count as 10 points rather than as no size at all.
  info.m_Font.lfHeight = 0;
  header.m_Font.lfHeight = -5;
  const PrintFontMetrics refused = MeasurePrintFonts(dc, info, header);
  EXPECT_EQ(refused.lineHeight, ten.lineHeight);
  EXPECT_EQ(refused.bandHeight, ten.lineHeight);
}

TEST_F(PrintedPage, APrintedContactSheet) {
  CDC dc;
  ASSERT_TRUE(dc.Attach(PrinterDc()));
  InfoPrintSetting info;
  info.m_nBasic = info.m_nCapture = 1;
  info.m_Font = Font(60);
  HeadFootPrintSetting header;
  header.m_Font = Font(140);
  header.m_nPos = 5;
  header.m_strHeadFoot = FString("Lumitra4 contact sheet");
  const PrintFontMetrics metrics = MeasurePrintFonts(dc, info, header);

  PrintLayoutInput input;
  input.caps = ReadPrinterCaps(dc);
  input.sizeIndex = 3; // 3 x 5 inches: one column of three
  input.lineHeight = metrics.lineHeight;
  input.bandHeight = metrics.bandHeight;
  input.info = true;
  input.infoBasic = input.infoCapture = 1;
  input.infoPos = 8;
  input.header = true;
  input.headerPos = header.m_nPos;
  PrintLayout layout = ComputePrintLayout(input);
  ASSERT_EQ(layout.cells.size(), 3u);

  std::vector<std::unique_ptr<CET_PrintPictData>> pictures;
  std::vector<CET_PrintPictData*> pointers;
  const COLORREF colours[] = {RGB(200, 40, 40), RGB(40, 160, 40), RGB(40, 40, 200)};
  for (int i = 0; i < 3; ++i) {
    pictures.push_back(std::make_unique<CET_PrintPictData>());
    pictures.back()->m_picture = i == 1 ? Picture(200, 300, colours[i]) : Picture(300, 200, colours[i]);
    pictures.back()->m_infoLines = {u"IMG_000" + std::u16string(1, u'1' + i) + u".KVR 2026/05/01 10:20 ",
                                    u"Camera ", u"1/250s F8 ISO100 "};
    pointers.push_back(pictures.back().get());
  }
  ComposedPage page = ComposePrintPage(layout, pointers, 1, 0, info, header);
  CET_PrintDraw drawer;
  drawer.SetPage(page.cells, 0, 0, 1.0, 0, 0, 1.0);
  const auto texts = page.TextPointers();
  drawer.SetTextItems(&texts);
  drawer.SetRotateAndFit(0, 1);
  ASSERT_GT(dc.StartDoc(u"Lumitra4"), 0);
  ASSERT_GT(dc.StartPage(), 0);
  ASSERT_EQ(drawer.DrawPage(&dc), 1);
  ASSERT_GT(dc.EndPage(), 0);
  ASSERT_GT(dc.EndDoc(), 0);
  dc.DeleteDC();

  const testsupport::PdfPageRender r = testsupport::RenderPdfPage(dir.Path() / "out.pdf", 1, dir.Path());
  ASSERT_EQ(r.width, 612);
  ASSERT_EQ(r.height, 792);
  pt::PixelImage shot;
  shot.width = r.width;
  shot.height = r.height;
  for (int y = 0; y < r.height; ++y)
    for (int x = 0; x < r.width; ++x) {
      const COLORREF p = r.At(x, y);
      shot.argb.push_back(0xFF000000u | (GetRValue(p) << 16) | (GetGValue(p) << 8) | GetBValue(p));
    }
  pt::SavePng(shot, "printed-contact-sheet.png");
  // Each picture's cell, in points (600 dots are 72 points), from the printable corner at 9 points.
  for (int i = 0; i < 3; ++i) {
    const RECT cell = layout.cells[static_cast<std::size_t>(i)]->m_cell;
    const auto point = [](int dots) { return 9 + dots * 72 / 600; };
    const int midX = point((cell.left + cell.right) / 2), midY = point((cell.top + cell.bottom) / 2);
    EXPECT_TRUE(Near(r.At(midX, midY), colours[i])) << i << " the picture in its cell's middle";
    EXPECT_TRUE(Near(r.At(point(cell.left) + 3, midY), RGB(255, 255, 255))) << i << " paper at its sides";
  }
  EXPECT_TRUE(Near(r.At(3, 3), RGB(255, 255, 255))) << "the margin";
}
