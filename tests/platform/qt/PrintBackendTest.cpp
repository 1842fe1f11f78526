// Printing on the PDF printer: its capabilities, a two-page document read
// back with poppler (page size, header texts, a cell's colour and an upright
// picture at their places), documents that must leave no file, a printer
// that vanishes, the application's printer and its settings, and the
// printer set-up, font and file dialogs through the scripted driver.

#include "platform/afx/AfxCommonDialogs.h"
#include "platform/afx/AfxPrinters.h"
#include "platform/testing/CommonDialogs.h"
#include "platform/testing/Headless.h"
#include "support/PdfRender.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
namespace pt = platform::testing;
using platform::core::FileRequest;
using platform::core::FontRequest;
using platform::core::PrintSetupRequest;
using testsupport::TempDir;

namespace {

std::string Shell(const std::string& command) {
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    ::pclose(pipe);
  }
  return out;
}

// The value of "Name:   value" in pdfinfo's report.
std::string Field(const std::string& report, const std::string& name) {
  const std::string lines = "\n" + report;
  const std::size_t at = lines.find("\n" + name + ":");
  if (at == std::string::npos) return "<missing>";
  const std::size_t value = lines.find_first_not_of(' ', at + name.size() + 2);
  return lines.substr(value, lines.find('\n', value) - value);
}

bool Near(COLORREF a, COLORREF b) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= 4 && std::abs(GetGValue(a) - GetGValue(b)) <= 4 &&
         std::abs(GetBValue(a) - GetBValue(b)) <= 4;
}

std::vector<std::string> FilesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  return names;
}

// A 24-bit bottom-up picture: its top half blue, its bottom half green.
struct TwoBandPicture {
  BITMAPINFO info{};
  std::vector<BYTE> bits;
  TwoBandPicture(int width, int height) {
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    const auto row = DibRowBytes(width, 24);
    bits.assign(static_cast<std::size_t>(row * height), 0);
    for (int memoryRow = 0; memoryRow < height; ++memoryRow) {
      const bool top = memoryRow >= height / 2; // bottom-up: the last memory rows are the top
      for (int x = 0; x < width; ++x) {
        BYTE* p = &bits[static_cast<std::size_t>(memoryRow * row + x * 3)];
        p[0] = top ? 255 : 0;
        p[1] = top ? 0 : 255;
        p[2] = 0;
      }
    }
  }
};

class PrintBackend : public ::testing::Test {
protected:
  void SetUp() override {
    pt::Init();
    pt::CancelDialogs();
    platform::UsePdfPrinter(u"PDF", Output().string(), platform::LetterAt600Dpi());
  }
  void TearDown() override {
    platform::UseSystemPrinters();
    pt::CancelDialogs();
  }
  fs::path Output() const { return dir.Path() / "out.pdf"; }

  // A DC of the application's printer, as the print dialog makes it.
  HDC PrinterDc() {
    CPrintDialog dialog(FALSE);
    if (!app.GetPrinterDeviceDefaults(&dialog.m_pd)) return nullptr;
    return dialog.CreatePrinterDC();
  }

  TempDir dir;
  CWinApp app{u"Lumitra4"};
};

TEST_F(PrintBackend, ThePdfPrinterReportsItsCapabilitiesExactly) {
  CDC dc;
  ASSERT_TRUE(dc.Attach(PrinterDc()));
  const std::vector<std::pair<int, int>> caps = {
      {PHYSICALWIDTH, 5100}, {PHYSICALHEIGHT, 6600}, {PHYSICALOFFSETX, 75}, {PHYSICALOFFSETY, 75},
      {HORZRES, 4950},       {VERTRES, 6450},        {LOGPIXELSX, 600},     {LOGPIXELSY, 600},
      {HORZSIZE, 210},       {VERTSIZE, 273}};
  for (const auto& [index, value] : caps) EXPECT_EQ(dc.GetDeviceCaps(index), value) << "cap " << index;
  RECT clip;
  dc.GetClipBox(&clip);
  EXPECT_EQ(clip, (RECT{0, 0, 4950, 6450}));
}

TEST_F(PrintBackend, TwoPagesCarryTheirHeaderTextsCellsAndUprightPictures) {
  CDC dc;
  ASSERT_TRUE(dc.Attach(PrinterDc()));
  dc.m_bPrinting = TRUE;
  DOCINFOW info;
  info.lpszDocName = u"Lumitra4";
  ASSERT_GT(dc.StartDoc(&info), 0);
  LOGFONTW lf{};
  lf.lfHeight = -((100 * dc.GetDeviceCaps(LOGPIXELSY) + 360) / 720); // 10 points
  const char16_t face[] = u"Tahoma";
  std::copy(std::begin(face), std::end(face), lf.lfFaceName);
  CFont font;
  font.CreateFontIndirect(&lf);
  const TwoBandPicture picture(40, 20);
  for (int page = 1; page <= 2; ++page) {
    ASSERT_GT(dc.StartPage(), 0);
    dc.SetMapMode(MM_TEXT);
    CFont* old = dc.SelectObject(&font);
    RECT header{0, 0, 4950, 200};
    dc.DrawText(u"Header page " + std::u16string(1, char16_t(u'0' + page)) + u" of 2", &header,
                DT_SINGLELINE | DT_LEFT | DT_TOP);
    dc.SelectObject(old);
    dc.FillSolidRect(600, 600, 1200, 600, RGB(255, 0, 0));
    dc.SetStretchBltMode(COLORONCOLOR);
    ASSERT_EQ(StretchDIBits(dc, 2400, 600, 1200, 600, 0, 0, 40, 20, picture.bits.data(), &picture.info,
                            DIB_RGB_COLORS, SRCCOPY),
              20);
    ASSERT_GT(dc.EndPage(), 0);
  }
  ASSERT_GT(dc.EndDoc(), 0);
  dc.DeleteDC();
  ASSERT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"out.pdf"}) << "no temporary file is left";

  const std::string pdfInfo = Shell("pdfinfo '" + Output().string() + "'");
  EXPECT_EQ(Field(pdfInfo, "Pages"), "2");
  EXPECT_EQ(Field(pdfInfo, "Page size"), "612 x 792 pts (letter)") << "PHYSICALWIDTH / dpi x 72 points";
  EXPECT_EQ(Field(pdfInfo, "Title"), "Lumitra4");
  EXPECT_EQ(Shell("pdftotext '" + Output().string() + "' - | tr -s '\\n'"),
            "Header page 1 of 2\n\fHeader page 2 of 2\n\f");

  // At 72 dpi a printer pixel is 0.12 points and the printable corner lies at (9, 9):
  // the red cell covers (81, 81)-(225, 153), the picture (297, 81)-(441, 153).
  for (int page = 1; page <= 2; ++page) {
    const testsupport::PdfPageRender r = testsupport::RenderPdfPage(Output(), page, dir.Path());
    ASSERT_EQ(r.width, 612);
    ASSERT_EQ(r.height, 792);
    EXPECT_EQ(r.At(153, 117), RGB(255, 0, 0));
    EXPECT_EQ(r.At(81, 81), RGB(255, 0, 0));
    EXPECT_EQ(r.At(224, 152), RGB(255, 0, 0));
    EXPECT_EQ(r.At(80, 81), RGB(255, 255, 255));
    EXPECT_EQ(r.At(225, 152), RGB(255, 255, 255));
    EXPECT_EQ(r.At(224, 153), RGB(255, 255, 255));
    // Pictures may be stored as JPEG: their colours within a few levels.
    EXPECT_TRUE(Near(r.At(369, 95), RGB(0, 0, 255))) << "the picture's top half, upright";
    EXPECT_TRUE(Near(r.At(369, 140), RGB(0, 255, 0))) << "the picture's bottom half";
  }
}

// Without a CUPS printer the application's printer is the printer into a PDF
// file, as every desktop's print dialog offers it: each document asks for
// its file, and a cancelled choice prints nothing.
TEST_F(PrintBackend, WithoutACupsPrinterTwoPagesGoIntoAPdfFileTheUserChooses) {
  testsupport::ScopedEnv noCups("CUPS_SERVER", (dir.Path() / "no-cups.sock").string());
  platform::UseSystemPrinters();
  CPrintDialog setup(FALSE);
  ASSERT_TRUE(app.GetPrinterDeviceDefaults(&setup.m_pd)) << "a printer is always there";
  if (setup.GetDeviceName() != platform::kPrintToFilePrinter) GTEST_SKIP() << "this machine has a CUPS printer";

  for (const bool chosen : {false, true}) {
    SCOPED_TRACE(chosen);
    pt::AnswerFileDialogs([&](platform::core::FileRequest& r) {
      EXPECT_TRUE(r.save);
      EXPECT_EQ(r.path, u"Lumitra4.pdf") << "the document's name";
      r.path = testsupport::WideFromUtf8((dir.Path() / "two pages").string()).GetText();
      return chosen;
    });
    CDC dc;
    ASSERT_TRUE(dc.Attach(setup.CreatePrinterDC()));
    EXPECT_EQ(dc.GetDeviceCaps(LOGPIXELSX), 600);
    DOCINFOW info;
    info.lpszDocName = u"Lumitra4";
    if (!chosen) {
      EXPECT_LE(dc.StartDoc(&info), 0) << "no file, no document";
      dc.DeleteDC();
      EXPECT_TRUE(FilesIn(dir.Path()).empty());
      continue;
    }
    ASSERT_GT(dc.StartDoc(&info), 0);
    for (int page = 1; page <= 2; ++page) {
      ASSERT_GT(dc.StartPage(), 0);
      RECT line{300, 300, 3000, 500};
      dc.DrawText(u"Page " + std::u16string(1, char16_t(u'0' + page)), &line, DT_SINGLELINE | DT_LEFT | DT_TOP);
      ASSERT_GT(dc.EndPage(), 0);
    }
    ASSERT_GT(dc.EndDoc(), 0);
    dc.DeleteDC();
    ASSERT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"two pages.pdf"});
    EXPECT_EQ(Field(Shell("pdfinfo '" + (dir.Path() / "two pages.pdf").string() + "'"), "Pages"), "2");
  }
}

TEST_F(PrintBackend, AbortedEmptyAndDroppedDocumentsLeaveNoFile) {
  struct Case {
    const char* name;
    void (*run)(CDC&);
  };
  const Case cases[] = {
      {"aborted after a page", [](CDC& dc) {
         dc.StartPage();
         dc.FillSolidRect(0, 0, 100, 100, RGB(0, 0, 0));
         dc.EndPage();
         dc.StartPage();
         EXPECT_GT(dc.AbortDoc(), 0);
         EXPECT_EQ(dc.EndDoc(), SP_ERROR) << "nothing left to end";
       }},
      {"ended without a page", [](CDC& dc) { EXPECT_GT(dc.EndDoc(), 0); }},
      {"DC deleted in the middle", [](CDC& dc) {
         dc.StartPage();
         dc.FillSolidRect(0, 0, 100, 100, RGB(0, 0, 0));
         dc.DeleteDC();
       }},
  };
  for (const Case& c : cases) {
    CDC dc;
    ASSERT_TRUE(dc.Attach(PrinterDc())) << c.name;
    ASSERT_GT(dc.StartDoc(u"doc"), 0) << c.name;
    c.run(dc);
    EXPECT_TRUE(FilesIn(dir.Path()).empty()) << c.name;
  }

  // A finished document replaces the file; an aborted one leaves the old one.
  testsupport::WriteFileBytes(Output(), "old");
  CDC dc;
  ASSERT_TRUE(dc.Attach(PrinterDc()));
  ASSERT_GT(dc.StartDoc(u"doc"), 0);
  dc.StartPage();
  dc.AbortDoc();
  EXPECT_EQ(testsupport::ReadFileBytes(Output()), "old");
  EXPECT_EQ(FilesIn(dir.Path()).size(), 1u);
}

TEST_F(PrintBackend, CallsOutOfOrderOrOnOtherDcsFail) {
  CDC dc;
  ASSERT_TRUE(dc.Attach(PrinterDc()));
  EXPECT_EQ(dc.StartPage(), SP_ERROR);
  EXPECT_EQ(dc.EndPage(), SP_ERROR);
  EXPECT_EQ(dc.AbortDoc(), SP_ERROR);
  ASSERT_GT(dc.StartDoc(u"doc"), 0);
  EXPECT_EQ(dc.StartDoc(u"again"), SP_ERROR);
  EXPECT_EQ(dc.EndPage(), SP_ERROR);
  dc.FillSolidRect(0, 0, 10, 10, RGB(0, 0, 0)); // outside a page: goes nowhere
  EXPECT_GT(dc.AbortDoc(), 0);

  CDC memory;
  memory.CreateCompatibleDC(nullptr);
  EXPECT_EQ(memory.StartDoc(u"doc"), SP_ERROR);
  EXPECT_EQ(StartDocW(nullptr, nullptr), SP_ERROR);
  EXPECT_EQ(EndDoc(nullptr), SP_ERROR);
}

TEST_F(PrintBackend, APrinterThatVanishesGivesErrorsNotCrashes) {
  const fs::path folder = dir.Path() / "gone";
  fs::create_directory(folder);
  platform::UsePdfPrinter(u"PDF", (folder / "out.pdf").string(), platform::LetterAt600Dpi());
  PRINTDLGW pd;
  ASSERT_TRUE(app.GetPrinterDeviceDefaults(&pd));

  // Gone in the middle of a document: the document cannot be finished.
  CDC dc;
  ASSERT_TRUE(dc.Attach(CreateDCW(nullptr, GetPrinterName(pd.hDevNames), nullptr, GetPrinterDevMode(pd.hDevMode))));
  ASSERT_GT(dc.StartDoc(u"doc"), 0);
  ASSERT_GT(dc.StartPage(), 0);
  dc.FillSolidRect(0, 0, 10, 10, RGB(0, 0, 0));
  fs::remove_all(folder);
  EXPECT_GT(dc.EndPage(), 0);
  EXPECT_EQ(dc.EndDoc(), SP_ERROR);
  dc.DeleteDC();

  // Gone between set-up and printing: no DC, every call fails.
  CPrintDialog dialog(FALSE);
  dialog.m_pd.hDevMode = dialog.m_pd.hDevNames = pd.hDevMode;
  EXPECT_EQ(dialog.CreatePrinterDC(), nullptr);
  EXPECT_EQ(StartDocW(dialog.m_pd.hDC, nullptr), SP_ERROR);
  EXPECT_EQ(StartPage(dialog.m_pd.hDC), SP_ERROR);
  EXPECT_EQ(EndPage(dialog.m_pd.hDC), SP_ERROR);
  // The application reports no printer and forgets the one it chose.
  EXPECT_FALSE(app.GetPrinterDeviceDefaults(&pd));
  platform::UsePdfPrinter(u"PDF", Output().string(), platform::LetterAt600Dpi());
  EXPECT_TRUE(app.GetPrinterDeviceDefaults(&pd));
}

TEST_F(PrintBackend, TheApplicationKeepsItsPrintersSettingsAndSetUpChoice) {
  PRINTDLGW pd;
  ASSERT_TRUE(app.GetPrinterDeviceDefaults(&pd));
  EXPECT_EQ(std::u16string(GetPrinterName(pd.hDevNames)), u"PDF");
  GetPrinterDevMode(pd.hDevMode)->dmCopies = 3;
  PRINTDLGW again;
  ASSERT_TRUE(app.GetPrinterDeviceDefaults(&again));
  EXPECT_EQ(GetPrinterDevMode(again.hDevMode)->dmCopies, 3);

  // The set-up dialog sees the application's choice and changes it: landscape turns the page.
  std::vector<PrintSetupRequest> seen;
  pt::AnswerPrintSetups([&](PrintSetupRequest& request) {
    seen.push_back(request);
    request.mode.dmOrientation = DMORIENT_LANDSCAPE;
    return true;
  });
  CPrintDialog setup(TRUE, PD_NOSELECTION | PD_NOPAGENUMS | PD_USEDEVMODECOPIES | PD_HIDEPRINTTOFILE);
  ASSERT_EQ(app.DoPrintDialog(&setup), IDOK);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].printer, u"PDF");
  EXPECT_EQ(seen[0].mode.dmCopies, 3);
  EXPECT_TRUE(seen[0].flags & PD_PRINTSETUP);
  CDC dc;
  ASSERT_TRUE(dc.Attach(PrinterDc()));
  EXPECT_EQ(dc.GetDeviceCaps(PHYSICALWIDTH), 6600);
  EXPECT_EQ(dc.GetDeviceCaps(HORZRES), 6450);

  // A cancelled set-up changes nothing; a printer that does not exist is refused.
  pt::AnswerPrintSetups([](PrintSetupRequest& request) {
    request.mode.dmOrientation = DMORIENT_PORTRAIT;
    return false;
  });
  CPrintDialog cancelled(TRUE);
  EXPECT_EQ(app.DoPrintDialog(&cancelled), IDCANCEL);
  pt::AnswerPrintSetups([](PrintSetupRequest& request) {
    request.printer = u"No such printer";
    return true;
  });
  CPrintDialog unknown(TRUE);
  EXPECT_EQ(app.DoPrintDialog(&unknown), IDCANCEL);
  EXPECT_EQ(GetPrinterDevMode(pd.hDevMode)->dmOrientation, DMORIENT_LANDSCAPE);
}

TEST_F(PrintBackend, APrintDirectedIntoAFileWritesThere) {
  CDC dc;
  ASSERT_TRUE(dc.Attach(PrinterDc()));
  const std::u16string other = testsupport::WideFromUtf8((dir.Path() / "other.pdf").string()).GetText();
  DOCINFOW info;
  info.lpszDocName = u"doc";
  info.lpszOutput = other.c_str();
  ASSERT_GT(dc.StartDoc(&info), 0);
  dc.StartPage();
  dc.EndPage();
  ASSERT_GT(dc.EndDoc(), 0);
  EXPECT_EQ(FilesIn(dir.Path()), std::vector<std::string>{"other.pdf"});
}

TEST_F(PrintBackend, TheFontDialogWorksInPointsWithColourAndLimits) {
  LOGFONTW initial{};
  initial.lfHeight = (96 * 100 + 360) / 720; // the information font's 10 points as the dialog expects them
  initial.lfWeight = FW_NORMAL;
  const char16_t face[] = u"Tahoma";
  std::copy(std::begin(face), std::end(face), initial.lfFaceName);
  std::vector<FontRequest> seen;
  pt::AnswerFontDialogs([&](FontRequest& request) {
    seen.push_back(request);
    const char16_t serif[] = u"DejaVu Serif";
    std::copy(std::begin(serif), std::end(serif), request.font.lfFaceName);
    request.font.lfWeight = FW_BOLD;
    request.pointTenths = 240; // beyond the limit
    request.colour = RGB(200, 0, 0);
    return true;
  });
  CFontDialog dialog(&initial, CF_SCREENFONTS | CF_PRINTERFONTS | CF_INITTOLOGFONTSTRUCT | CF_EFFECTS | CF_LIMITSIZE);
  dialog.m_cf.rgbColors = RGB(0, 0, 255);
  dialog.m_cf.nSizeMin = dialog.m_cf.nSizeMax = 10;
  ASSERT_EQ(dialog.DoModal(), IDOK);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].pointTenths, 100);
  EXPECT_EQ(seen[0].minPoints, 10);
  EXPECT_EQ(seen[0].maxPoints, 10);
  EXPECT_EQ(seen[0].colour, RGB(0, 0, 255));
  EXPECT_EQ(dialog.GetSize(), 100) << "held to the limit";
  EXPECT_EQ(dialog.GetColor(), RGB(200, 0, 0));
  EXPECT_EQ(dialog.GetFaceName(), u"DejaVu Serif");
  EXPECT_EQ(dialog.GetWeight(), FW_BOLD);
  LOGFONTW chosen;
  dialog.GetCurrentFont(&chosen);
  EXPECT_EQ(chosen.lfHeight, -13);

  // Without effects the colour stays; a cancel changes nothing.
  CFontDialog plain(&initial, CF_SCREENFONTS);
  plain.m_cf.rgbColors = RGB(1, 2, 3);
  ASSERT_EQ(plain.DoModal(), IDOK);
  EXPECT_EQ(plain.GetColor(), RGB(1, 2, 3));
  EXPECT_EQ(plain.GetSize(), 240);
  pt::CancelDialogs();
  CFontDialog cancelled(&initial);
  EXPECT_EQ(cancelled.DoModal(), IDCANCEL);
  EXPECT_EQ(cancelled.m_lf.lfHeight, initial.lfHeight);
}

TEST_F(PrintBackend, TheFileDialogTakesFilterListsAndAddsTheDefaultExtension) {
  std::vector<FileRequest> seen;
  pt::AnswerFileDialogs([&](FileRequest& request) {
    seen.push_back(request);
    request.path = u"/data/presets/mine";
    request.filterIndex = 2;
    return true;
  });
  const char16_t filters[] = u"All files\0*.*\0Presets\0*.xml\0";
  CFileDialog save(FALSE, u"xml");
  save.m_ofn.lpstrFilter = filters;
  save.m_ofn.nFilterIndex = 2;
  save.m_ofn.lpstrTitle = u"Export";
  ASSERT_EQ(save.DoModal(), IDOK);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_TRUE(seen[0].save);
  EXPECT_EQ(seen[0].title, u"Export");
  EXPECT_EQ(seen[0].filterIndex, 2);
  ASSERT_EQ(seen[0].filters.size(), 2u);
  EXPECT_EQ(seen[0].filters[1], (std::pair<std::u16string, std::u16string>{u"Presets", u"*.xml"}));
  EXPECT_EQ(save.GetPathName(), u"/data/presets/mine.xml");
  EXPECT_EQ(save.GetFileName(), u"mine.xml");
  EXPECT_EQ(save.GetFileExt(), u"xml");
  EXPECT_EQ(save.GetFileTitle(), u"mine");
  EXPECT_EQ(save.m_ofn.nFilterIndex, 2u);

  // The framework's "|" filters; an open dialog adds no extension; a path
  // beyond the caller's room is refused.
  CFileDialog open(TRUE, u"xml", nullptr, OFN_HIDEREADONLY, u"Presets|*.xml|All|*.*||");
  ASSERT_EQ(open.DoModal(), IDOK);
  EXPECT_EQ(seen.back().filters.size(), 2u);
  EXPECT_FALSE(seen.back().save);
  EXPECT_EQ(open.GetPathName(), u"/data/presets/mine");
  char16_t small[8] = {};
  OPENFILENAMEW ofn;
  ofn.lpstrFile = small;
  ofn.nMaxFile = 8;
  EXPECT_FALSE(GetOpenFileNameW(&ofn));
  EXPECT_EQ(small[0], u'\0');
}

} // namespace
