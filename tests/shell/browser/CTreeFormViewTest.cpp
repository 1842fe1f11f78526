// The browser's folder pane: the folder summary and the save button, the
// layout of its bars and tree, the main frame told of selections, and the
// pane drawn to a picture.

#include "shell/browser/CTreeFormView.h"

#include "TempHome.h"
#include "platform/testing/Headless.h"
#include "toolkit/TextTable.h"

#include <filesystem>
#include <map>

namespace pt = platform::testing;
namespace fs = std::filesystem;

namespace {

class PaneTexts : public ITextTable {
public:
  std::map<int, std::u16string> texts = {{1000, u"Save Raw Files..."}, {1001, u"Folders"},
                                         {1021, u"%d file"},           {1022, u"%d files"},
                                         {1023, u", %.1f MB"}};
  std::optional<TextTableEntry> Find(int id) const override {
    auto it = texts.find(id);
    if (it == texts.end()) return std::nullopt;
    TextTableEntry entry;
    entry.text = it->second;
    if (id >= 1021) entry.colour = RGB(255, 255, 255);
    if (id == 1001) entry.colour = RGB(255, 255, 255);
    return entry;
  }
};

class BrowserFrame : public CFrameWnd, public ITreeFormViewFrame {
public:
  std::vector<std::string> listed;
  int saves = 0;
  void SelectFolder(const FString& path, BOOL) override { listed.push_back(testsupport::Utf8FromWide(path)); }
  void SaveImages() override { ++saves; }
};

class TreePane : public TempHome {
protected:
  void SetUp() override {
    TempHome::SetUp();
    for (const char* folder : {"home/Pictures/one-jpeg", "home/Pictures/one-raw/sub", "home/Pictures/others"}) {
      fs::create_directories(Path(folder));
    }
    testsupport::WriteFileBytes(Path("home/Pictures/one-jpeg/a.jpg"), std::string(1572864, 'j'));
    testsupport::WriteFileBytes(Path("home/Pictures/one-raw/a.kvr"), "raw");
    testsupport::WriteFileBytes(Path("home/Pictures/one-raw/sub/b.jpg"), "not counted: a sub-folder's");
    for (const char* name : {"a.png", "b.bmp", "c.gif", "d.mp4", "e.wmv", "f.mpg"}) {
      testsupport::WriteFileBytes(Path(std::string("home/Pictures/others/") + name), "x");
    }
    SetTextTable(&texts);
    frame = new BrowserFrame;
    CCreateContext context;
    context.m_pNewViewClass = RUNTIME_CLASS(CTreeFormView);
    ASSERT_TRUE(frame->Create(nullptr, u"Browser", WS_OVERLAPPEDWINDOW, CRect(0, 0, 300, 560), nullptr, nullptr, 0,
                              &context));
    view = dynamic_cast<CTreeFormView*>(frame->GetDlgItem(AFX_IDW_PANE_FIRST));
    ASSERT_NE(view, nullptr);
    frame->InitialUpdateFrame(nullptr, TRUE);
    pt::Pump();
  }
  void TearDown() override {
    if (frame && IsWindow(frame->m_hWnd)) frame->DestroyWindow();
    SetTextTable(nullptr);
    TempHome::TearDown();
  }

  std::u16string Summary() { return view->GetSummaryBar().GetText(); }

  PaneTexts texts;
  BrowserFrame* frame = nullptr;
  CTreeFormView* view = nullptr;
};

TEST_F(TreePane, TheSummaryCountsRawJpegTiffAndAviFilesAndTheRawFilesEnableSaving) {
  struct Case {
    const char* folder;
    std::u16string summary;
    bool saveEnabled;
  };
  const Case cases[] = {
      {"home/Pictures/one-jpeg", u"1 file, 1.5 MB", false},
      {"home/Pictures/one-raw", u"1 file, 0.0 MB", true},
      {"home/Pictures/others", u"", false},
      {"home/Pictures/missing", u"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder);
    view->SelectPath(W(c.folder));
    pt::Pump();
    EXPECT_EQ(Summary(), c.summary);
    EXPECT_EQ(view->GetSaveButton().IsWindowEnabled() != FALSE, c.saveEnabled);
  }
  const FolderSummary two{2, 0, 3.0};
  EXPECT_EQ(FolderSummaryText(two), u"2 files, 3.0 MB");
  texts.texts[1022] = u"%s files"; // a table text that does not take a number
  EXPECT_EQ(FolderSummaryText(two), u"2, 3.0 MB") << "the number alone, never a bad format";
  EXPECT_EQ(CountFolderPictures(W("home/Pictures/one-raw/")).rawFiles, 1) << "a path ending in its separator reads alike";
}

TEST_F(TreePane, SelectingAFolderInTheTreeHasTheFrameListIt) {
  frame->listed.clear();
  ASSERT_TRUE(view->SelectPath(W("home/Pictures/one-raw")));
  pt::Pump();
  ASSERT_FALSE(frame->listed.empty());
  EXPECT_EQ(frame->listed.back(), Str("home/Pictures/one-raw"));
  EXPECT_TRUE(view->GetSaveButton().IsWindowEnabled());
  view->SendMessage(WM_COMMAND, MAKEWPARAM(CTreeFormView::kSaveButtonId, BN_CLICKED),
                    reinterpret_cast<LPARAM>(view->GetSaveButton().m_hWnd));
  EXPECT_EQ(frame->saves, 1);
}

TEST_F(TreePane, TheBarsAndTheTreeFollowTheSizeAndThePaneIsDrawn) {
  CRect client;
  view->GetClientRect(client);
  const int w = client.Width(), h = client.Height();
  auto placed = [&](CWnd& control) {
    CRect r;
    control.GetWindowRect(r);
    view->ScreenToClient(r);
    return r;
  };
  EXPECT_EQ(placed(view->GetCaptionBar()), CRect(5, 61, w, 81));
  EXPECT_EQ(placed(view->GetTree()), CRect(5, 81, w - 14, h - 70));
  EXPECT_EQ(placed(view->GetSummaryBar()), CRect(5, h - 56, w, h - 36));
  const CRect save = placed(view->GetSaveButton());
  EXPECT_EQ(save.TopLeft(), CPoint(5, 19));
  EXPECT_EQ(save.bottom, 42);
  EXPECT_EQ(save.Width(), 150) << "a short caption gets the narrowest button";
  EXPECT_EQ(SaveButtonWidth(400), 245);
  EXPECT_EQ(SaveButtonWidth(150), 170);

  view->SelectPath(W("home/Pictures/one-jpeg"));
  pt::Pump();
  const auto picture = pt::GrabClient(frame->m_hWnd);
  const std::string file = pt::SavePng(picture, "FolderTreePane.png");
  EXPECT_FALSE(file.empty());
  EXPECT_EQ(pt::PixelAt(picture, 2, 200), RGB(89, 89, 89)) << "the toolkit's grey beside the tree";
  EXPECT_EQ(pt::PixelAt(picture, 20, 71), RGB(107, 115, 165)) << "the caption bar";
}

} // namespace
