// The print dialog over a folder of the browser's pictures on the PDF
// printer: its controls for the stored settings and the pictures, the page
// counter and buttons, relayouts on size and copies, the preview drawn,
// printing every page with the pictures centred and their shape kept, and
// dragging a cropped picture in its cell.

#include "output/print/CTLM_PrintDlg.h"

#include "output/COutputDialogs.h"
#include "output/print/CPrintProgressDlg.h"
#include "output/print/PrintLoadWorker.h"
#include "platform/afx/AfxPrinters.h"
#include "platform/testing/Headless.h"
#include "shell/app/AppMessages.h"
#include "shell/app/CLumitraApp.h"
#include "shell/facade/CTLM_ThumbnailData.h"
#include "support/BuildTree.h"
#include "support/PdfRender.h"
#include "support/PictureFileBuilder.h"
#include "support/TestSupport.h"

#include "foundation/FIStorageClass.h"
#include "foundation/FPath.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

namespace {

namespace fs = std::filesystem;
namespace pt = platform::testing;

// The print preparation's progress dialog, served until its worker finished.
class ServedProgress : public CPrintProgressDlg {
public:
  using CPrintProgressDlg::CPrintProgressDlg;
  std::atomic<bool> ended{false};
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    const LRESULT result = CPrintProgressDlg::WindowProc(message, wParam, lParam);
    if (message == WM_APP_THREAD_PROGRESS && lParam != 0) ended = true;
    return result;
  }
};

struct Item {
  fs::path path;
  int width, height;
  bool selected = false, marked = false;
};

class TestPrintDlg : public CTLM_PrintDlg {
public:
  TestPrintDlg(std::vector<Item> items) : CTLM_PrintDlg(nullptr), m_items(std::move(items)) {}
  int preparations = 0;

  template <class T>
  T& Control(int id) {
    return *dynamic_cast<T*>(GetDlgItem(id));
  }
  std::u16string TextOf(int id) { return dynamic_cast<CStringItemDrawer&>(*GetDlgItem(id)).GetText(); }
  bool Enabled(int id) { return GetDlgItem(id)->IsWindowEnabled() != FALSE; }
  void Click(int id) { SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(id)->m_hWnd)); }
  // A click toggles a check box before the dialog hears it.
  void Check(int id, int check) {
    if (Control<CCheckBox>(id).GetCheck() != check) Click(id);
  }
  void Choose(int comboId, int entry) {
    Control<CComboBoxBase>(comboId).SetCurSel(entry);
    SendMessage(WM_COMMAND, MAKEWPARAM(comboId, CBN_SELCHANGE), reinterpret_cast<LPARAM>(GetDlgItem(comboId)->m_hWnd));
  }

protected:
  BOOL GetBrowserThumbnails(CET_ThumbnailDataManager* list) override {
    for (const Item& item : m_items) {
      auto* data = new CTLM_ThumbnailData;
      data->m_Path = PathFromNative(item.path.string());
      data->m_FileName = PathFromNative(item.path.filename().string());
      data->m_Width = item.width;
      data->m_Height = item.height;
      data->m_bSelected = item.selected ? 1 : 0;
      data->m_FileSize = fs::file_size(item.path);
      data->m_Exif.Load(data->m_Path);
      data->m_Exif.SetMarkedFlag(item.marked);
      list->Add(data);
    }
    return TRUE;
  }
  void RunPreparation(const std::vector<CET_PrintPictData*>& list, const CET_FilterData* settings) override {
    ++preparations;
    ServedProgress progress(this);
    pt::OnNextModal([&progress](HWND) {
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
      while (!progress.ended && std::chrono::steady_clock::now() < deadline) {
        pt::Pump();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
    RunPrintPreparation(progress, this, list, FALSE, settings);
  }

private:
  std::vector<Item> m_items;
};

class PrintDlg : public ::testing::Test {
protected:
  void SetUp() override {
    pt::Init();
    InitStorageClasses();
    const fs::path data = fs::path(testsupport::BuildTreeProgramPath().GetAscii()).parent_path() / "resources";
    ASSERT_TRUE(app.LoadStringTable(PathFromNative((data / "String.txt").string())));
    ASSERT_TRUE(app.LoadFontTable(PathFromNative((data / "Font.txt").string())));
    platform::UsePdfPrinter(u"PDF", Pdf().string(), platform::LetterAt600Dpi());
  }
  void TearDown() override { platform::UseSystemPrinters(); }

  fs::path Pdf() const { return dir.Path() / "out.pdf"; }
  fs::path Jpeg(const char* name, int width, int height) {
    const fs::path path = dir.Path() / name;
    const auto bytes = testsupport::QuarterJpeg(width, height);
    testsupport::WriteFileBytes(path, std::string(bytes.begin(), bytes.end()));
    return path;
  }
  // Runs the dialog; the script sees it after its first page was prepared.
  INT_PTR Run(TestPrintDlg& dialog, const std::function<void()>& script) {
    pt::OnNextModal([&](HWND) {
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
      while (dialog.preparations == 0 && std::chrono::steady_clock::now() < deadline) pt::Pump();
      pt::Pump();
      script();
    });
    return dialog.DoModal();
  }
  // The stored print choices.
  CAppSettings& Settings() { return *app.GetSettings(); }

  testsupport::TempDir dir;
  CLumitraApp app;
};

TEST_F(PrintDlg, ControlsForTheStoredChoicesAndTheBrowsersPictures) {
  Settings().m_nPrintAutoCrop = 1;
  Settings().m_nPrintPictCopy = 1;
  Settings().m_nPrintPictCopyNumber = 2;
  Settings().m_nPrintInfo = 1;
  Settings().m_strPrintSize = FString(u"5x7");
  const fs::path raw = dir.Path() / "IMG_0003.KVR";
  testsupport::WriteFileBytes(raw, std::string(1000, 'x'));
  TestPrintDlg dialog({{Jpeg("a.jpg", 60, 40), 60, 40, false, true},
                       {Jpeg("b.jpg", 60, 40), 60, 40},
                       {raw, 0, 0}});
  Run(dialog, [&] {
    using D = CTLM_PrintDlg;
    // No selection and one marked picture: the marked ones.
    EXPECT_FALSE(dialog.Control<CCheckBox>(D::kAllId).GetCheck());
    EXPECT_TRUE(dialog.Control<CCheckBox>(D::kMarkedId).GetCheck());
    EXPECT_FALSE(dialog.Enabled(D::kSelectedId));
    EXPECT_EQ(dialog.TextOf(D::kMarkedId).substr(0, 18), u"Marked (1 picture,");
    EXPECT_EQ(dialog.TextOf(D::kAllId).substr(0, 16), u"All (3 pictures,");
    EXPECT_EQ(dialog.TextOf(D::kSelectedId), u"Selected (0 picture, 0.0 MB)");
    EXPECT_EQ(dialog.TextOf(D::kSizeValueId), u"0.0 MB (60 x 40 x 3)");
    // A marked JPEG alone: no raw settings.
    EXPECT_FALSE(dialog.Enabled(D::kAsShotId));
    EXPECT_EQ(dialog.PrintPictures().size(), 1u);
    // The stored choices.
    EXPECT_TRUE(dialog.Control<CCheckBox>(D::kAutoCropId).GetCheck());
    EXPECT_FALSE(dialog.Control<CCheckBox>(D::kAutoRotateId).GetCheck());
    EXPECT_EQ(dialog.Control<CComboBoxBase>(D::kCopiesId).GetCurSel(), 2);
    EXPECT_TRUE(dialog.Enabled(D::kCopiesId));
    EXPECT_TRUE(dialog.Enabled(D::kInfoOptionsId));
    EXPECT_FALSE(dialog.Enabled(D::kHeadFootOptionsId));
    EXPECT_EQ(dialog.Control<CComboBoxBase>(D::kPrintSizeId).GetText().substr(0, 3), u"5x7");
    EXPECT_FALSE(dialog.GetDlgItem(D::kSpinId)->IsWindowVisible());
    EXPECT_EQ(dialog.TextOf(D::kPaperMmId), u"216mm x 279mm");
    // All pictures: the raw file brings the raw settings.
    dialog.Click(D::kAllId);
    EXPECT_EQ(dialog.PrintPictures().size(), 3u);
    EXPECT_TRUE(dialog.Enabled(D::kAsShotId));
    EXPECT_EQ(dialog.TextOf(D::kSizeValueId), u"");
    // The full page turns shooting information off.
    const int entries = dialog.Control<CComboBoxBase>(D::kPrintSizeId).GetCount();
    dialog.Choose(D::kPrintSizeId, entries - 1);
    EXPECT_FALSE(dialog.Control<CCheckBox>(D::kInfoId).GetCheck());
    EXPECT_FALSE(dialog.Enabled(D::kInfoId));
    EXPECT_FALSE(dialog.Enabled(D::kInfoOptionsId));
    dialog.Choose(D::kPrintSizeId, 0);
    EXPECT_TRUE(dialog.Enabled(D::kInfoId));
    EXPECT_FALSE(dialog.Enabled(D::kInfoOptionsId));
    dialog.EndDialog(IDCANCEL);
  });
  EXPECT_EQ(Settings().m_nPrintInfo, 1) << "Cancel stores nothing";
  EXPECT_TRUE(COutputDialogs().Has(OutputDialog::Print)) << "the main frame's print command";
}

TEST_F(PrintDlg, FromTheReviewWindowOneFileWithItsSettings) {
  const fs::path raw = dir.Path() / "IMG_0007.KVR";
  testsupport::WriteFileBytes(raw, std::string(1000, 'x'));
  TestPrintDlg dialog({{Jpeg("a.jpg", 60, 40), 60, 40, true}});
  dialog.SetReviewSource(PathFromNative(raw.string()), nullptr);
  Run(dialog, [&] {
    using D = CTLM_PrintDlg;
    ASSERT_EQ(dialog.PrintPictures().size(), 1u);
    EXPECT_EQ(dialog.PrintPictures()[0]->m_path, PathFromNative(raw.string()));
    for (int id : {D::kAllId, D::kMarkedId, D::kSelectedId, D::kAsShotId, D::kAutoId, D::kCustomId,
                   D::kSettingComboId})
      EXPECT_FALSE(dialog.Enabled(id)) << id;
    EXPECT_FALSE(dialog.GetPrintSettings()) << "no settings given: the file's own";
    dialog.EndDialog(IDCANCEL);
  });
}

TEST_F(PrintDlg, PagesFollowSizeAndCopiesAndThePreviewShowsThem) {
  Settings().m_strPrintSize = FString(u"5x7"); // two cells a page
  TestPrintDlg dialog({{Jpeg("a.jpg", 60, 40), 60, 40}, {Jpeg("b.jpg", 60, 40), 60, 40},
                       {Jpeg("c.jpg", 40, 60), 40, 60}});
  Run(dialog, [&] {
    using D = CTLM_PrintDlg;
    ASSERT_EQ(dialog.Layout().cells.size(), 2u);
    EXPECT_EQ(dialog.GetPageCount(), 2);
    EXPECT_EQ(dialog.TextOf(D::kPageDisplayId), u"1/2");
    EXPECT_FALSE(dialog.Enabled(D::kPrevPageId));
    EXPECT_TRUE(dialog.Enabled(D::kNextPageId));
    ASSERT_TRUE(dialog.PrintPictures()[0]->m_picture) << "the first page is prepared";
    EXPECT_FALSE(dialog.PrintPictures()[2]->m_picture) << "the second one not yet";

    pt::Pump();
    const pt::PixelImage shot = pt::GrabClient(dialog.GetSafeHwnd());
    pt::SavePng(shot, "PrintDlg.png");
    CRect preview;
    dialog.Preview().GetWindowRect(&preview);
    dialog.ScreenToClient(&preview);
    EXPECT_NEAR(static_cast<double>(preview.Width()) / preview.Height(), 8.5 / 11.0, 0.02) << "the paper's shape";

    dialog.Click(D::kNextPageId);
    EXPECT_EQ(dialog.TextOf(D::kPageDisplayId), u"2/2");
    EXPECT_TRUE(dialog.Enabled(D::kPrevPageId));
    EXPECT_FALSE(dialog.Enabled(D::kNextPageId));
    EXPECT_TRUE(dialog.PrintPictures()[2]->m_picture);

    // Two prints of each: three pages, back on the first.
    dialog.Check(D::kCopiesCheckId, 1);
    dialog.Choose(D::kCopiesId, 1);
    EXPECT_EQ(dialog.GetPageCount(), 3);
    EXPECT_EQ(dialog.TextOf(D::kPageDisplayId), u"1/3");
    // One picture a page.
    const int entries = dialog.Control<CComboBoxBase>(D::kPrintSizeId).GetCount();
    dialog.Choose(D::kPrintSizeId, entries - 1);
    EXPECT_EQ(dialog.Layout().cells.size(), 1u);
    EXPECT_EQ(dialog.GetPageCount(), 6);
    dialog.EndDialog(IDCANCEL);
  });
}

// The box of a rendered page's coloured pixels inside a rectangle (points):
// the pictures' red, green and blue quarters, not the paper nor a grey frame.
RECT InkBox(const testsupport::PdfPageRender& r, RECT area) {
  RECT box{area.right, area.bottom, area.left, area.top};
  for (int y = std::max<int>(area.top, 0); y < std::min<int>(area.bottom, r.height); ++y)
    for (int x = std::max<int>(area.left, 0); x < std::min<int>(area.right, r.width); ++x) {
      const COLORREF p = r.At(x, y);
      const int high = std::max({GetRValue(p), GetGValue(p), GetBValue(p)});
      const int low = std::min({GetRValue(p), GetGValue(p), GetBValue(p)});
      if (high - low < 100) continue;
      box.left = std::min<LONG>(box.left, x);
      box.top = std::min<LONG>(box.top, y);
      box.right = std::max<LONG>(box.right, x + 1);
      box.bottom = std::max<LONG>(box.bottom, y + 1);
    }
  return box;
}

TEST_F(PrintDlg, PrintsEveryPageWithThePicturesCentredAndStoresTheChoices) {
  Settings().m_strPrintSize = FString(u"5x7");
  TestPrintDlg dialog({{Jpeg("a.jpg", 60, 40), 60, 40}, {Jpeg("b.jpg", 90, 60), 90, 60},
                       {Jpeg("c.jpg", 60, 40), 60, 40}});
  std::vector<RECT> cells;
  const INT_PTR result = Run(dialog, [&] {
    for (const PrintCell& cell : dialog.Layout().cells) cells.push_back(cell->m_cell);
    dialog.Click(IDOK);
  });
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(std::u16string(Settings().m_strPrintSize.View()), u"5x7");
  ASSERT_EQ(cells.size(), 2u);
  ASSERT_TRUE(fs::exists(Pdf()));
  EXPECT_TRUE(testsupport::RenderPdfPage(Pdf(), 2, dir.Path()).width > 0);
  EXPECT_EQ(testsupport::RenderPdfPage(Pdf(), 3, dir.Path()).width, 0) << "two pages";
  for (int page = 1; page <= 2; ++page) {
    const testsupport::PdfPageRender r = testsupport::RenderPdfPage(Pdf(), page, dir.Path());
    ASSERT_EQ(r.width, 612);
    const int picturesOnPage = page == 1 ? 2 : 1;
    for (int k = 0; k < picturesOnPage; ++k) {
      // In points: 600 dots are 72 points, from the printable corner at 9 points.
      const RECT c = cells[static_cast<std::size_t>(k)];
      const auto point = [](LONG dots) { return static_cast<LONG>(9 + dots * 72 / 600); };
      const RECT cell{point(c.left), point(c.top), point(c.right), point(c.bottom)};
      const RECT ink = InkBox(r, cell);
      ASSERT_LT(ink.left, ink.right) << page << "/" << k << " a picture";
      EXPECT_NEAR((ink.left + ink.right) / 2.0, (cell.left + cell.right) / 2.0, 2.0) << page << "/" << k;
      EXPECT_NEAR((ink.top + ink.bottom) / 2.0, (cell.top + cell.bottom) / 2.0, 2.0) << page << "/" << k;
      EXPECT_NEAR(static_cast<double>(ink.right - ink.left) / (ink.bottom - ink.top), 1.5, 0.03)
          << page << "/" << k << " the picture's shape kept";
    }
  }
}

TEST_F(PrintDlg, WithoutAPrinterNothingIsPrintedButTheChoicesAreKept) {
  TestPrintDlg dialog({{Jpeg("a.jpg", 60, 40), 60, 40}});
  const INT_PTR result = Run(dialog, [&] {
    dialog.Check(CTLM_PrintDlg::kAutoRotateId, 1);
    // The printer's folder goes away: the printer with it.
    platform::UsePdfPrinter(u"PDF", (dir.Path() / "gone" / "out.pdf").string(), platform::LetterAt600Dpi());
    EXPECT_FALSE(dialog.Print());
    dialog.Click(IDOK);
  });
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(Settings().m_nPrintAutoRotate, 1);
  EXPECT_FALSE(fs::exists(dir.Path() / "gone"));
}

TEST_F(PrintDlg, DraggingACroppedPictureMovesItsCropWithinThePicture) {
  Settings().m_strPrintSize = FString(u"5x7");
  Settings().m_nPrintAutoCrop = 1;
  TestPrintDlg dialog({{Jpeg("a.jpg", 90, 30), 90, 30}}); // wider than its 7 x 5 cell
  Run(dialog, [&] {
    CET_PrintPictData& picture = *dialog.PrintPictures()[0];
    const HWND preview = dialog.Preview().GetSafeHwnd();
    const RECT cell = dialog.Preview().Drawer().DeviceRect(dialog.Layout().cells[0]->m_cell);
    const POINT middle{(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2};
    pt::MouseDown(preview, middle);
    pt::MouseMove(preview, POINT{middle.x - 30, middle.y + 30}, true);
    pt::MouseUp(preview, POINT{middle.x - 30, middle.y + 30});
    pt::Pump();
    // The centred crop is 42 x 30 at 24; dragged left it shows more of the right, only sideways.
    EXPECT_GT(picture.m_sourceArea.left, 24);
    EXPECT_EQ(picture.m_sourceArea.right - picture.m_sourceArea.left, 42);
    EXPECT_EQ(picture.m_sourceArea.top, 0);
    EXPECT_LE(picture.m_sourceArea.right, 90);
    // Rotation recentres.
    dialog.Check(CTLM_PrintDlg::kAutoRotateId, 1);
    EXPECT_EQ(picture.m_sourceArea.right, 0);
    dialog.EndDialog(IDCANCEL);
  });
}

} // namespace
