// The main frame on a recording thumbnail pane and recording review windows:
// the window rules, the menu's texts and update rules for several
// selections, the view commands reaching the pane, the review-frame list and
// the closing protocol with review windows that refuse and then accept, the
// settings written when it goes, paste and rename questions on a temporary
// folder, and the real frame with its real panes drawn to a picture.

#include "shell/frame/CMainFrame.h"

#include "engine/colour/TransformColor.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FPath.h"
#include "platform/testing/Headless.h"
#include "shell/app/AppClipboard.h"
#include "shell/app/AppMessages.h"
#include "shell/app/CLumitraApp.h"
#include "shell/facade/CSaveJob.h"
#include "shell/facade/CTLM_ThumbnailData.h"
#include "shell/frame/MainFrameMenu.h"
#include "support/BrowserFolder.h"
#include "support/BuildTree.h"
#include "support/SyntheticCamera.h"
#include "support/TestSupport.h"
#include "foundation/FArray.h"
#include "platform/win/WinDialogs.h"
#include "toolkit/CET_ThumbnailData.h"
#include "toolkit/PictureFileTypes.h"
#include "output/RecordingProgressDlg.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace pt = platform::testing;
namespace fs = std::filesystem;
using namespace testsupport;

namespace {

std::string Ascii(const FString& text) { return text.GetAscii(); }

std::string Ascii(const std::u16string& text) { return std::string(text.begin(), text.end()); }

// ---- The window rules ---------------------------------------------------------------

TEST(MainFrameRulesTest, ASavedRectangleIsMadeLargeEnoughAndMovedOntoTheWorkArea) {
  struct Case {
    const char* what;
    CRect saved;
    CRect expected;
  };
  const Case cases[] = {
      {"first start", CRect(0, 0, 0, 0), CRect(0, 0, 920, 600)},
      {"fits", CRect(100, 50, 1100, 750), CRect(100, 50, 1100, 750)},
      {"right of the screen", CRect(1500, 0, 2500, 700), CRect(920, 0, 1920, 700)},
      {"below the screen", CRect(0, 900, 1000, 1600), CRect(0, 380, 1000, 1080)},
      {"wider than the screen", CRect(100, 0, 2100, 700), CRect(0, 0, 2000, 700)},
      {"negative", CRect(-50, -20, 950, 680), CRect(0, 0, 1000, 700)},
      {"too small", CRect(10, 10, 110, 110), CRect(10, 10, 930, 610)},
  };
  for (const Case& c : cases) {
    const CRect fitted = CMainFrame::FitSavedFrameRect(c.saved, 1920, 1080);
    EXPECT_EQ(fitted, c.expected) << c.what;
  }
}

TEST(MainFrameRulesTest, ADraggedEdgeStopsAtTheSmallestSizeOnItsOwnSide) {
  struct Case {
    UINT edge;
    CRect dragged;
    CRect expected;
  };
  const Case cases[] = {
      {WMSZ_LEFT, CRect(300, 0, 1000, 700), CRect(80, 0, 1000, 700)},
      {WMSZ_RIGHT, CRect(300, 0, 1000, 700), CRect(300, 0, 1220, 700)},
      {WMSZ_TOPLEFT, CRect(300, 300, 1000, 700), CRect(80, 100, 1000, 700)},
      {WMSZ_BOTTOM, CRect(0, 100, 1000, 500), CRect(0, 100, 1000, 700)},
      {WMSZ_TOP, CRect(0, 100, 1000, 500), CRect(0, -100, 1000, 500)},
      {WMSZ_BOTTOMRIGHT, CRect(0, 0, 2000, 2000), CRect(0, 0, 2000, 2000)},
  };
  for (const Case& c : cases) {
    CRect rect = c.dragged;
    CMainFrame::EnforceMinimumTrackSize(c.edge, &rect);
    EXPECT_EQ(rect, c.expected) << "edge " << c.edge;
  }
}

// ---- Recording panes, review windows and dialogs -----------------------------------

// The thumbnail pane: items made from real files, a selection, the display
// options, and a log of what the frame asked it to do.
class RecordingThumbPane : public IThumbPane {
public:
  std::vector<std::unique_ptr<CTLM_ThumbnailData>> items;
  FString folder;
  int sizeIndex = 5;
  BOOL infoView = FALSE;
  int formatFilter = 0;
  int stateFilter = 0;
  int sortMode = 0;
  BOOL sortInverted = FALSE;
  std::vector<std::string> calls;
  CWnd* wnd = nullptr;

  CTLM_ThumbnailData& Add(const FString& path, bool selected) {
    auto item = std::make_unique<CTLM_ThumbnailData>();
    item->m_Path = path;
    item->m_FileName = PathFileName(path);
    item->m_FileType = GetFileType(path);
    item->m_bSelected = selected;
    if (std::unique_ptr<CTLM_Exif> exif = CTLM_Exif::Create(path)) {
      item->m_Exif.CopyFrom(exif.get());
    }
    items.push_back(std::move(item));
    return *items.back();
  }
  void Select(std::initializer_list<int> indexes) {
    for (auto& item : items) {
      item->m_bSelected = 0;
    }
    for (int index : indexes) {
      items[static_cast<size_t>(index)]->m_bSelected = 1;
    }
  }

  CWnd* GetPaneWnd() override { return wnd; }
  FString GetFolder() const override { return folder; }
  void SetFolder(const FString& path) override {
    folder = path;
    calls.push_back("SetFolder " + Ascii(path));
  }
  int GetAllPaths(std::vector<FString>* paths) const override {
    for (const auto& item : items) {
      paths->push_back(item->m_Path);
    }
    return static_cast<int>(items.size());
  }
  int GetSelectedPaths(std::vector<FString>* paths) const override {
    int count = 0;
    for (const auto& item : items) {
      if (item->m_bSelected) {
        paths->push_back(item->m_Path);
        ++count;
      }
    }
    return count;
  }
  int GetSelectedCount() const override {
    std::vector<FString> paths;
    return GetSelectedPaths(&paths);
  }
  BOOL GetAllItems(CET_ThumbnailDataManager* list) const override {
    for (const auto& item : items) {
      list->Add(item->Clone());
    }
    return TRUE;
  }
  BOOL GetSelectedItems(CET_ThumbnailDataManager* list) const override {
    for (const auto& item : items) {
      if (item->m_bSelected) {
        list->Add(item->Clone());
      }
    }
    return TRUE;
  }
  BOOL CollectSelectedStills(CET_ThumbnailDataManager* list) const override {
    for (const auto& item : items) {
      if (item->m_bSelected && IsStillFileType(item->m_FileType)) {
        list->Add(item->Clone());
      }
    }
    return TRUE;
  }
  CTLM_ThumbnailData* FindItem(const FString& path) const override {
    for (const auto& item : items) {
      if (item->m_Path == path) {
        return static_cast<CTLM_ThumbnailData*>(item->Clone());
      }
    }
    return nullptr;
  }
  FString GetFirstPath(BOOL selected) const override {
    for (const auto& item : items) {
      if (!selected || item->m_bSelected) {
        return item->m_Path;
      }
    }
    return FString();
  }
  void GetImagePosition(const FString&, int* position, int* count) const override {
    *position = 0;
    *count = 1;
  }
  FString GetNextImagePath(const FString&) const override { return FString(); }
  FString GetPrevImagePath(const FString&) const override { return FString(); }
  void RefreshItems(const std::vector<FString>* paths) override {
    calls.push_back(paths == nullptr ? "ListAgain" : "RefreshItems");
  }
  void UpdateItemInfo(const std::vector<FString>&) override { calls.push_back("UpdateItemInfo"); }
  void RotateItems(const std::vector<FString>&, BOOL, BOOL) override { calls.push_back("RotateItems"); }
  void StopLoader() override { calls.push_back("StopLoader"); }
  BOOL IsLoading() const override { return FALSE; }
  int GetStateFilter() const override { return stateFilter; }
  void SetStateFilter(int filter) override { Record("SetStateFilter", stateFilter = filter); }
  int GetFormatFilter() const override { return formatFilter; }
  void SetFormatFilter(int filter) override { Record("SetFormatFilter", formatFilter = filter); }
  int GetSortMode() const override { return sortMode; }
  void SetSortMode(int mode) override { Record("SetSortMode", sortMode = mode); }
  BOOL IsSortInverted() const override { return sortInverted; }
  void ToggleSortOrder() override {
    sortInverted = !sortInverted;
    calls.push_back("ToggleSortOrder");
  }
  int GetThumbSizeIndex() const override { return sizeIndex; }
  void SetThumbSizeIndex(int index) override { Record("SetThumbSizeIndex", sizeIndex = index); }
  BOOL IsInfoView() const override { return infoView; }
  void SetInfoView(BOOL on) override { Record("SetInfoView", infoView = on); }
  void SelectAll() override { calls.push_back("SelectAll"); }
  void SelectMarked() override { calls.push_back("SelectMarked"); }
  void SelectLocked() override { calls.push_back("SelectLocked"); }
  void SelectNone() override { calls.push_back("SelectNone"); }
  void InvertSelection() override { calls.push_back("InvertSelection"); }
  void UpdateSelectionInfo() override {}
  void UpdateButtons() override {}
  void UpdateFilterCaption() override {}

private:
  void Record(const char* what, int value) { calls.push_back(std::string(what) + " " + std::to_string(value)); }
};

class RecordingFolderPane : public IFolderPane {
public:
  CWnd* wnd = nullptr;
  std::vector<std::string> selected;
  std::vector<std::string> summarised;
  CWnd* GetPaneWnd() override { return wnd; }
  void SelectPath(const FString& folder) override { selected.push_back(Ascii(folder)); }
  void UpdateSummary(const FString& folder) override { summarised.push_back(Ascii(folder)); }
};

// What happened to the review windows, which delete themselves with their windows.
struct ReviewLog {
  std::vector<std::string> events;
};

// A review window that refuses to close a given number of times (its worker
// still runs) and then closes.
class FakeReviewFrame : public CFrameWnd, public IReviewFrame {
public:
  FakeReviewFrame(ReviewLog& log, std::string name, int refusals)
      : m_Log(log), m_Name(std::move(name)), m_Refusals(refusals) {}
  ~FakeReviewFrame() override { m_Log.events.push_back(m_Name + " gone"); }

  CWnd* GetFrameWnd() override { return this; }
  BOOL IsClosing() const override { return m_bClosing; }
  void OpenImage(const CTLM_ThumbnailData* item) override { m_Path = item->m_Path; }
  void SetImageList(CET_ThumbnailDataManager*) override {}
  void ApplyViewSettings() override {}
  void ToggleAdjustPalette() override {}
  FString GetImagePath() const override { return m_Path; }
  BOOL DestroyReviewFrame() override {
    GetMainFrame()->ReorderReviewFrame(this, 2);
    return DestroyWindow();
  }
  const std::string& Name() const { return m_Name; }

protected:
  afx_msg void OnClose() {
    m_Log.events.push_back(m_Name + " asked");
    if (m_Refusals > 0) {
      --m_Refusals;
      m_bClosing = TRUE;
      return;
    }
    DestroyReviewFrame();
  }
  DECLARE_MESSAGE_MAP()

private:
  ReviewLog& m_Log;
  std::string m_Name;
  int m_Refusals;
  BOOL m_bClosing = FALSE;
  FString m_Path;
};

BEGIN_MESSAGE_MAP(FakeReviewFrame, CFrameWnd)
  ON_WM_CLOSE()
END_MESSAGE_MAP()

// An information palette that keeps the paths it is told.
class RecordingInfoPalette : public CWnd {
public:
  std::vector<std::string> shown;
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_APP_SHOW_INFO) shown.push_back(Ascii(*reinterpret_cast<const FString*>(wParam)));
    return CWnd::WindowProc(message, wParam, lParam);
  }
};

class FakeReviewWindows : public CNoReviewWindows {
public:
  explicit FakeReviewWindows(ReviewLog& log) : m_Log(log) {}
  std::unique_ptr<RecordingInfoPalette> info;
  BOOL HasInfoPalette() const override { return TRUE; }
  CWnd* GetInfoPalette() override { return info.get(); }
  CWnd* OpenInfoPalette() override {
    info = std::make_unique<RecordingInfoPalette>();
    info->CreateEx(0, u"Info", u"", WS_POPUP, CRect(0, 0, 100, 100), nullptr, 0);
    return info.get();
  }
  void CloseInfoPalette() override {
    if (info) info->DestroyWindow();
    info.reset();
  }
  std::vector<int> refusals; // of the next windows made, in order
  IReviewFrame* CreateReviewFrame() override {
    const int refuse = refusals.empty() ? 0 : refusals.front();
    if (!refusals.empty()) {
      refusals.erase(refusals.begin());
    }
    auto* frame = new FakeReviewFrame(m_Log, "review" + std::to_string(++m_Made), refuse);
    frame->Create(nullptr, u"Review", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(0, 0, 300, 200));
    return frame;
  }
  BOOL CanCreateReviewFrame() const override { return TRUE; }

private:
  ReviewLog& m_Log;
  int m_Made = 0;
};

// Output dialogs that are all there, recording what is run.
class RecordingOutputDialogs : public IOutputDialogs {
public:
  std::vector<std::string> runs;
  // The pairs the save dialog gives after OK (none: it is cancelled).
  std::vector<std::pair<FString, FString>> job;
  std::vector<std::string> extracted; // output names of the extraction run
  BOOL Has(OutputDialog) const override { return TRUE; }
  INT_PTR RunSaveDialog(CWnd*, CET_ThumbnailDataManager*, int flag, CSaveJob* saveJob) override {
    runs.push_back("save " + std::to_string(flag));
    for (const auto& [input, output] : job) {
      saveJob->m_aInputs.push_back(input);
      saveJob->m_aOutputs.push_back(output);
    }
    return job.empty() ? IDCANCEL : IDOK;
  }
  INT_PTR RunSaveDialogForImage(CWnd*, const CTLM_ThumbnailData*, CSaveJob*) override { return IDCANCEL; }
  std::vector<FString> saved;      // the inputs the batch save reports as done
  bool frameKnewProgress = false; // the frame had the progress dialog while it ran
  void RunSaveProgress(CWnd* owner, CET_ThumbnailDataManager*, CSaveJob*, CWnd** running,
                       SaveRunResult* result) override {
    *running = owner;
    frameKnewProgress = GetMainFrame()->HasProgressDialog() != FALSE;
    *running = nullptr;
    result->doneFiles = saved;
  }
  BOOL RunExtractJpegJob(const std::vector<FString>&, const std::vector<FString>& outputs) override {
    for (const FString& output : outputs) {
      extracted.push_back(Ascii(PathFileName(output)));
    }
    return FALSE;
  }
  INT_PTR RunThreadProgress(CWnd*, const std::function<UINT(IThreadProgress&)>&) override { return IDCANCEL; }
  void RunPrintDialog(const FString&) override { runs.push_back("print"); }
  BOOL RunSlideShowParams(int*, int*, BOOL*) override {
    runs.push_back("slide show parameters");
    return FALSE;
  }
  void RunSlideShow(const std::vector<FString>&, int, int, BOOL, std::vector<FString>*, std::vector<BYTE>*) override {}
  void RunPreferences() override { runs.push_back("preferences"); }
};

// The frame with the recording panes in place of the browser's, and
// scripted answers to its message box.
class TestFrame : public CMainFrame {
public:
  RecordingThumbPane* thumbPane = nullptr;
  RecordingFolderPane* folderPane = nullptr;
  std::vector<int> answers; // message box results, in order; cancel when none is left
  std::vector<std::string> questions;
  FString renameTo; // the single rename's answer (empty: cancelled)
  static inline bool destroyed = false;
  ~TestFrame() override { destroyed = true; }

  IThumbPane* GetThumbPane() override { return thumbPane; }
  IFolderPane* GetFolderPane() override { return folderPane; }

protected:
  BOOL OnCreateClient(LPCREATESTRUCT, CCreateContext*) override { return TRUE; }
  INT_PTR RunMessageDlg(int style, const FString& message) override {
    questions.push_back(std::to_string(style) + " " + Ascii(PathFileName(message)));
    if (answers.empty()) {
      return 12;
    }
    const int answer = answers.front();
    answers.erase(answers.begin());
    return answer;
  }
  BOOL RunRenameOneDlg(const FString&, FString* newName) override {
    *newName = renameTo;
    return renameTo.GetLength() > 0;
  }
  BOOL RunBatchRenameDlg(const std::vector<FString>& names, std::vector<FString>* newNames) override {
    for (size_t i = 0; i < names.size(); ++i) {
      newNames->push_back(FString(("Trip " + std::to_string(i + 1) + ".jpg").c_str()));
    }
    return TRUE;
  }
};

// A command's state as its update rule leaves it.
struct CommandState : CCmdUI {
  BOOL enabled = FALSE;
  int check = -1; // -1: not set
  std::string text;
  void Enable(BOOL on) override { enabled = on; }
  void SetCheck(int value) override { check = value; }
  void SetText(LPCWSTR value) override { text = Ascii(std::u16string(value)); }
};

class MainFrameTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    static const bool registered = (InitStorageClasses(), true);
    (void)registered;
    SetColorProfileProgramPath(BuildTreeProgramPath());
  }
  void SetUp() override {
    pt::Init();
    const fs::path data = fs::path(BuildTreeProgramPath().GetAscii()).parent_path() / "resources";
    ASSERT_TRUE(app.LoadStringTable(PathFromNative((data / "String.txt").string())));
    ASSERT_TRUE(app.LoadFontTable(PathFromNative((data / "Font.txt").string())));
    // The browser starts in the test's folder (not in the user's pictures).
    app.GetSettings()->m_strThumbDir = PathFromNative(dir.Str());
    TestFrame::destroyed = false;
    frame = new TestFrame; // deletes itself with its window
    frame->thumbPane = &pane;
    frame->folderPane = &tree;
    frame->SetReviewWindows(&reviewWindows);
    ASSERT_TRUE(frame->LoadFrame(IDR_MAINFRAME));
    pane.wnd = frame;
    tree.wnd = frame;
    frame->ShowWindow(SW_SHOW);
    pt::Pump();
    pane.calls.clear();
  }
  void TearDown() override {
    if (!TestFrame::destroyed) {
      frame->DestroyWindow();
    }
    pt::Pump();
  }

  FString Native(const std::string& name) const { return PathFromNative((dir.Path() / name).string()); }
  // A raw file of the synthetic camera, two JPEGs (one read-only) and a PNG.
  void WriteFolder() {
    MakeSyntheticRaw(SyntheticOptions{}).file.WriteTo(dir.Path() / "R_0001.kvr");
    MakeSyntheticRaw(SyntheticOptions{}).file.WriteTo(dir.Path() / "R_0002.kvr");
    WriteBytes(dir.Path() / "IMG_0001.jpg", CameraJpeg(160, 120, 48, 36));
    WriteBytes(dir.Path() / "IMG_0002.jpg", CameraJpeg(160, 120, 48, 36));
    fs::permissions(dir.Path() / "R_0002.kvr", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    pane.folder = PathFromNative(dir.Str());
    for (const char* name : {"R_0001.kvr", "R_0002.kvr", "IMG_0001.jpg", "IMG_0002.jpg"}) {
      pane.Add(Native(name), false);
    }
  }
  CommandState Update(UINT id) {
    CommandState state;
    state.m_nID = id;
    state.DoUpdate(frame, FALSE);
    return state;
  }
  void Command(UINT id) {
    frame->SendMessage(WM_COMMAND, id, 0);
    pt::Pump();
  }

  CLumitraApp app;
  TempDir dir;
  RecordingThumbPane pane;
  RecordingFolderPane tree;
  ReviewLog reviewLog;
  FakeReviewWindows reviewWindows{reviewLog};
  TestFrame* frame = nullptr;
};

// ---- Menu texts and update rules -------------------------------------------------

TEST_F(MainFrameTest, TheMenuShowsTheTextTableAndTheRulesOfItsCommands) {
  WriteFolder();
  const pt::ShownMenu file = pt::OpenMenuBarPopup(frame->GetSafeHwnd(), 0);
  ASSERT_FALSE(file.empty());
  std::map<UINT, const pt::ShownMenuItem*> byId;
  for (const pt::ShownMenuItem& item : file) {
    byId[item.id] = &item;
  }
  EXPECT_EQ(Ascii(byId.at(ID_FILE_OPEN_REVIEW)->text), "&Open\tCtrl+O");
  EXPECT_EQ(Ascii(byId.at(ID_FILE_SAVE_IMAGES)->text), "&Save Raw Files...\tCtrl+S");
  // The review window and the information palette can be made; the output dialogs are not there yet.
  EXPECT_FALSE(byId.at(ID_FILE_OPEN_REVIEW)->state & MF_GRAYED);
  EXPECT_FALSE(byId.at(ID_FILE_INFO_PALETTE)->state & MF_GRAYED);
  for (UINT id : {ID_FILE_SAVE_IMAGES, ID_FILE_EXTRACT_JPEG, ID_FILE_PRINT_IMAGES, ID_FILE_SLIDE_SHOW,
                  ID_FILE_PREFERENCES}) {
    EXPECT_TRUE(byId.at(id)->state & MF_GRAYED) << id;
  }
  // The program folder of the build tree holds no manual, so nothing can open it.
  EXPECT_FALSE(Update(ID_HELP_MANUAL).enabled);
  EXPECT_TRUE(Update(ID_HELP_WEB_PAGE).enabled);
  const pt::ShownMenu bar = pt::Snapshot(frame->GetMenu()->GetSafeHmenu());
  ASSERT_EQ(bar.size(), 5u);
  EXPECT_EQ(Ascii(bar[0].text), "&File");
  EXPECT_EQ(Ascii(bar[4].text), "&Help");
}

TEST_F(MainFrameTest, EditRulesFollowTheSelection) {
  WriteFolder(); // 0 raw, 1 raw read-only (locked), 2 and 3 JPEGs
  ASSERT_TRUE(pane.items[1]->IsLocked());
  ASSERT_FALSE(pane.items[0]->IsLocked());
  ASSERT_TRUE(pane.items[0]->m_Exif.CanMark());
  pane.items[2]->m_Exif.SetMarkCapable(false); // as a JPEG without the maker note's mark entry
  pane.items[0]->m_Exif.SetMarkedFlag(true);

  struct Case {
    const char* what;
    std::vector<int> selection;
    bool someSelected, mark, lock, remove;
    const char* markText;
    const char* lockText;
  };
  const Case cases[] = {
      {"nothing", {}, false, false, false, false, "M&ark\tCtrl+M", "Loc&k\tCtrl+L"},
      {"a JPEG without a mark entry", {2}, true, false, true, true, "M&ark\tCtrl+M", "Loc&k\tCtrl+L"},
      {"the marked raw file", {0}, true, true, true, true, "Unm&ark\tCtrl+M", "Loc&k\tCtrl+L"},
      {"both raw files", {0, 1}, true, true, true, true, "M&ark\tCtrl+M", "Loc&k\tCtrl+L"},
      {"the locked raw file", {1}, true, true, true, false, "M&ark\tCtrl+M", "Unloc&k\tCtrl+L"},
  };
  for (const Case& c : cases) {
    pane.Select({});
    for (int index : c.selection) {
      pane.items[static_cast<size_t>(index)]->m_bSelected = 1;
    }
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Update(ID_EDIT_SELECT_NONE).enabled, c.someSelected);
    EXPECT_EQ(Update(ID_EDIT_COPY_FILES).enabled, c.someSelected);
    EXPECT_EQ(Update(ID_EDIT_CUT_FILES).enabled, c.someSelected);
    EXPECT_EQ(Update(ID_THUMB_RENAME).enabled, c.someSelected);
    EXPECT_TRUE(Update(ID_EDIT_SELECT_ALL_ITEMS).enabled);
    const CommandState mark = Update(ID_EDIT_MARK);
    EXPECT_EQ(mark.enabled, c.mark);
    EXPECT_EQ(mark.text, c.markText);
    const CommandState lock = Update(ID_EDIT_LOCK);
    EXPECT_EQ(lock.enabled, c.lock);
    EXPECT_EQ(lock.text, c.lockText);
    EXPECT_EQ(Update(ID_EDIT_DELETE_FILES).enabled, c.remove);
  }
}

TEST_F(MainFrameTest, RawCommandsNeedARawFileListedAndOneSelectedWhenThereIsASelection) {
  RecordingOutputDialogs dialogs;
  frame->SetOutputDialogs(&dialogs);
  EXPECT_FALSE(Update(ID_FILE_SAVE_IMAGES).enabled) << "no pane items";
  WriteFolder();
  struct Case {
    std::vector<int> selection;
    bool batch;
  };
  for (const Case& c : {Case{{}, true}, Case{{2}, false}, Case{{2, 0}, true}}) {
    pane.Select({});
    for (int index : c.selection) {
      pane.items[static_cast<size_t>(index)]->m_bSelected = 1;
    }
    EXPECT_EQ(Update(ID_EDIT_BATCH_WB).enabled, c.batch);
    EXPECT_EQ(Update(ID_EDIT_BATCH_COLOR_MODE).enabled, c.batch);
    EXPECT_TRUE(Update(ID_FILE_SAVE_IMAGES).enabled) << "a raw file is listed";
    EXPECT_TRUE(Update(ID_FILE_EXTRACT_JPEG).enabled);
  }
  pane.items.erase(pane.items.begin(), pane.items.begin() + 2); // JPEGs only
  pane.Select({});
  EXPECT_FALSE(Update(ID_FILE_SAVE_IMAGES).enabled);
  EXPECT_FALSE(Update(ID_FILE_EXTRACT_JPEG).enabled);
  EXPECT_FALSE(Update(ID_EDIT_BATCH_WB).enabled);
  frame->SetOutputDialogs(nullptr);
}

TEST_F(MainFrameTest, WithoutAThumbnailPaneNothingActsOnTheBrowser) {
  frame->thumbPane = nullptr;
  for (UINT id : {ID_EDIT_SELECT_NONE, ID_EDIT_MARK, ID_EDIT_LOCK, ID_EDIT_DELETE_FILES, ID_EDIT_COPY_FILES,
                  ID_EDIT_BATCH_WB, ID_EDIT_ROTATE_CW, ID_FILE_SAVE_IMAGES}) {
    EXPECT_FALSE(Update(id).enabled) << id;
  }
  for (UINT id : {ID_VIEW_SIZE_LARGE, ID_VIEW_FORMAT_RAW, ID_VIEW_SORT_DATE, ID_EDIT_SELECT_ALL_ITEMS}) {
    Command(id); // nothing to act on, and no crash
  }
  int index = 0;
  int count = 0;
  frame->GetImagePosition(u"/a.jpg", &index, &count);
  EXPECT_EQ(index, -1);
  EXPECT_EQ(count, -1);
  EXPECT_EQ(frame->FindThumbnail(u"/a.jpg"), nullptr);
  EXPECT_EQ(frame->GetNextImagePath(u"/a.jpg").GetLength(), 0);
}

TEST_F(MainFrameTest, RotatingThreeRawFilesRunsUnderTheProgressDialogWith33And66And100) {
  EXPECT_FALSE(Update(ID_EDIT_ROTATE_CW).enabled) << "no progress dialog yet";
  testsupport::ProgressOutputDialogs dialogs;
  frame->SetOutputDialogs(&dialogs);
  pane.folder = PathFromNative(dir.Str());
  std::vector<std::string> before;
  for (const char* name : {"R_0001.kvr", "R_0002.kvr", "R_0003.kvr"}) {
    MakeSyntheticRaw(SyntheticOptions{}).file.WriteTo(dir.Path() / name);
    before.push_back(ReadFileBytes(dir.Path() / name));
    pane.Add(Native(name), true);
  }
  EXPECT_TRUE(Update(ID_EDIT_ROTATE_CW).enabled);
  EXPECT_TRUE(Update(ID_FILE_SAVE_IMAGES).enabled) << "the program's save dialog is there too";
  EXPECT_TRUE(Update(ID_FILE_SLIDE_SHOW).enabled) << "and its slide show";
  Command(ID_EDIT_ROTATE_CW);
  EXPECT_EQ(dialogs.result, IDOK);
  EXPECT_EQ(dialogs.posted, (std::vector<int>{33, 66, 100}));
  EXPECT_EQ(dialogs.shown, (std::vector<int>{33, 66, 100}));
  for (size_t i = 0; i < before.size(); ++i) {
    const std::string name = "R_000" + std::to_string(i + 1) + ".kvr";
    EXPECT_NE(ReadFileBytes(dir.Path() / name), before[i]) << name << " was not turned";
  }
  frame->SetOutputDialogs(nullptr);
}

TEST_F(MainFrameTest, LockLocksEverySelectedFileWhenOneIsWritableElseUnlocksThemAll) {
  WriteFolder(); // R_0002.kvr is write-protected
  auto writable = [&](const char* name) {
    return (fs::status(dir.Path() / name).permissions() & fs::perms::owner_write) != fs::perms::none;
  };
  pane.Select({0, 1});
  Command(ID_EDIT_LOCK);
  EXPECT_FALSE(writable("R_0001.kvr"));
  EXPECT_FALSE(writable("R_0002.kvr"));
  Command(ID_EDIT_LOCK);
  EXPECT_TRUE(writable("R_0001.kvr"));
  EXPECT_TRUE(writable("R_0002.kvr"));
}

// ---- View and selection commands reach the pane ----------------------------------

TEST_F(MainFrameTest, ViewCommandsSetThePanesOptionsAndTheirChecksFollowIt) {
  struct Case {
    UINT id;
    std::vector<std::string> calls;
  };
  const Case cases[] = {
      {ID_VIEW_FORMAT_RAW, {"SetFormatFilter 1"}},
      {ID_VIEW_FORMAT_JPEG, {"SetFormatFilter 2"}},
      {ID_VIEW_FORMAT_TIFF, {"SetFormatFilter 3"}},
      {ID_VIEW_FORMAT_STILL, {"SetFormatFilter 4"}},
      {ID_VIEW_FORMAT_ALL, {"SetFormatFilter 0"}},
      {ID_VIEW_STATE_MARKED, {"SetStateFilter 1"}},
      {ID_VIEW_STATE_UNLOCKED, {"SetStateFilter 4"}},
      {ID_VIEW_STATE_ALL, {"SetStateFilter 0"}},
      {ID_VIEW_SORT_TYPE, {"SetSortMode 1"}},
      {ID_VIEW_SORT_SIZE, {"SetSortMode 2"}},
      {ID_VIEW_SORT_DATE, {"SetSortMode 3"}},
      {ID_VIEW_SORT_NAME, {"SetSortMode 0"}},
      {ID_VIEW_SORT_INVERT, {"ToggleSortOrder"}},
      {ID_VIEW_SIZE_LARGEST, {"SetInfoView 0", "SetThumbSizeIndex 31"}},
      {ID_VIEW_SIZE_SMALLEST, {"SetInfoView 0", "SetThumbSizeIndex 0"}},
      {ID_VIEW_CAPTIONS, {"SetInfoView 1"}},
      {ID_VIEW_SIZE_SMALLEST, {}}, // the size already set: captions stay on
      {ID_VIEW_SIZE_SMALL, {"SetInfoView 0", "SetThumbSizeIndex 10"}},
      {ID_VIEW_SIZE_LARGE, {"SetInfoView 0", "SetThumbSizeIndex 18"}},
      {ID_EDIT_SELECT_ALL_ITEMS, {"SelectAll"}},
      {ID_EDIT_SELECT_MARKED, {"SelectMarked"}},
      {ID_EDIT_SELECT_LOCKED, {"SelectLocked"}},
      {ID_EDIT_SELECT_NONE, {"SelectNone"}},
      {ID_EDIT_INVERT_SELECTION, {"InvertSelection"}},
  };
  for (const Case& c : cases) {
    pane.calls.clear();
    Command(c.id);
    EXPECT_EQ(pane.calls, c.calls) << c.id;
  }
  EXPECT_TRUE(pane.infoView == FALSE);
  pane.folder = u"/pictures";
  pane.calls.clear();
  Command(ID_VIEW_REFRESH);
  EXPECT_EQ(pane.calls, std::vector<std::string>{"SetFolder /pictures"});

  pane.formatFilter = 3;
  pane.stateFilter = 2;
  pane.sortMode = 1;
  pane.sortInverted = TRUE;
  const std::map<UINT, int> checks = {
      {ID_VIEW_FORMAT_TIFF, 1}, {ID_VIEW_FORMAT_RAW, 0},     {ID_VIEW_FORMAT_ALL, 0},  {ID_VIEW_STATE_UNMARKED, 1},
      {ID_VIEW_STATE_ALL, 0},   {ID_VIEW_SORT_TYPE, 1},      {ID_VIEW_SORT_DATE, 0},   {ID_VIEW_SORT_INVERT, 1},
      {ID_VIEW_CAPTIONS, -1},   {ID_VIEW_SIZE_LARGEST, -1},
  };
  for (const auto& [id, check] : checks) {
    EXPECT_EQ(Update(id).check, check) << id;
  }
}

// ---- Review-frame list and closing --------------------------------------------------

TEST_F(MainFrameTest, ActivationMovesAReviewWindowToTheFrontAndStrangersAreIgnored) {
  WriteFolder();
  for (int i = 0; i < 3; ++i) {
    frame->OpenImage(pane.items[static_cast<size_t>(i)]->m_Path, TRUE);
  }
  ASSERT_EQ(frame->GetReviewFrameCount(), 3);
  auto names = [&] {
    std::string list;
    for (int i = 0; i < frame->GetReviewFrameCount(); ++i) {
      list += static_cast<FakeReviewFrame*>(frame->GetReviewFrame(i))->Name() + " ";
    }
    return list;
  };
  EXPECT_EQ(names(), "review1 review2 review3 ");
  frame->ReorderReviewFrame(frame->GetReviewFrame(1), 1);
  EXPECT_EQ(names(), "review2 review1 review3 ");
  FakeReviewFrame stranger(reviewLog, "stranger", 0);
  frame->ReorderReviewFrame(&stranger, 1);
  frame->ReorderReviewFrame(&stranger, 2);
  frame->ReorderReviewFrame(nullptr, 2);
  frame->ReorderReviewFrame(frame->GetReviewFrame(0), 7);
  EXPECT_EQ(names(), "review2 review1 review3 ");
  // Without the new-window flag the front window that is not closing is reused.
  frame->OpenImage(pane.items[3]->m_Path, FALSE);
  EXPECT_EQ(frame->GetReviewFrameCount(), 3);
  EXPECT_EQ(Ascii(frame->GetReviewFrame(0)->GetImagePath()), Ascii(pane.items[3]->m_Path));

  std::vector<CWnd*> top;
  frame->CollectTopWindows(&top);
  ASSERT_EQ(top.size(), 4u);
  EXPECT_EQ(top[0], frame);
  EXPECT_EQ(top[1], frame->GetReviewFrame(0)->GetFrameWnd());
}

TEST_F(MainFrameTest, ClosingWithoutReviewWindowsEndsAtOnce) {
  EXPECT_TRUE(Update(ID_FILE_EXIT).enabled);
  Command(ID_FILE_EXIT);
  EXPECT_TRUE(TestFrame::destroyed);
}

TEST_F(MainFrameTest, ClosingAsksEveryReviewWindowAgainEvery500MsUntilNoneIsLeft) {
  WriteFolder();
  reviewWindows.refusals = {0, 2}; // the second one's worker runs through two requests
  frame->OpenImage(pane.items[0]->m_Path, TRUE);
  frame->OpenImage(pane.items[2]->m_Path, TRUE);
  ASSERT_EQ(frame->GetReviewFrameCount(), 2);

  frame->PostMessage(WM_CLOSE);
  pt::Pump();
  EXPECT_EQ(reviewLog.events, (std::vector<std::string>{"review1 asked", "review1 gone", "review2 asked"}));
  EXPECT_FALSE(TestFrame::destroyed);
  EXPECT_EQ(frame->GetReviewFrameCount(), 1);

  pt::AdvanceTime(499);
  EXPECT_EQ(reviewLog.events.size(), 3u) << "nobody is asked before the 500 ms are over";
  pt::AdvanceTime(1);
  EXPECT_EQ(reviewLog.events.size(), 4u);
  EXPECT_EQ(reviewLog.events.back(), "review2 asked");
  EXPECT_FALSE(TestFrame::destroyed);
  pt::AdvanceTime(500);
  EXPECT_EQ(reviewLog.events.back(), "review2 gone");
  EXPECT_FALSE(TestFrame::destroyed) << "the frame closes on the next retry with an empty list";
  pt::AdvanceTime(500);
  EXPECT_TRUE(TestFrame::destroyed);
}

TEST_F(MainFrameTest, GoingAwayWritesTheBrowsersSettingsAndClosesTheReviewWindows) {
  WriteFolder();
  frame->OpenImage(pane.items[0]->m_Path, TRUE);
  pane.formatFilter = 2;
  pane.stateFilter = 3;
  pane.sortMode = 3;
  pane.sortInverted = TRUE;
  pane.sizeIndex = 17;
  pane.infoView = TRUE;
  frame->SetWindowPos(nullptr, 40, 30, 1000, 700, SWP_NOZORDER);
  frame->DestroyWindow();
  pt::Pump();
  ASSERT_TRUE(TestFrame::destroyed);
  EXPECT_EQ(reviewLog.events.back(), "review1 gone");
  const CAppSettings& settings = *app.GetSettings();
  EXPECT_EQ(CRect(settings.m_rcThumbWindow), CRect(40, 30, 1040, 730));
  EXPECT_EQ(Ascii(settings.m_strThumbDir), dir.Str());
  EXPECT_EQ(settings.m_nFormatFilter, 2);
  EXPECT_EQ(settings.m_nStateFilter, 3);
  EXPECT_EQ(settings.m_nSortMode, 3);
  EXPECT_EQ(settings.m_nSortInvert, 1);
  EXPECT_EQ(settings.m_nThumbSize, 17);
  EXPECT_EQ(settings.m_nThumbWithInfo, 1);
  EXPECT_EQ(settings.m_nThumbMaxSize, 0);
}

TEST_F(MainFrameTest, TheInformationCommandTogglesThePaletteWhichHearsOfTheSelectedFile) {
  WriteFolder();
  pane.items[1]->m_bSelected = 1;
  frame->SendMessage(WM_COMMAND, ID_FILE_INFO_PALETTE);
  ASSERT_TRUE(reviewWindows.info);
  EXPECT_EQ(reviewWindows.info->shown, std::vector<std::string>{Ascii(pane.items[1]->m_Path)});
  EXPECT_TRUE(reviewWindows.info->IsWindowVisible());
  // The browser's focus moves: the palette hears of it.
  frame->NotifyInfoPalette(pane.items[2]->m_Path);
  EXPECT_EQ(reviewWindows.info->shown.back(), Ascii(pane.items[2]->m_Path));
  // Open when the program ends: it opens again at the next start.
  frame->DestroyWindow();
  pt::Pump();
  EXPECT_EQ(app.GetSettings()->m_nOpenInfoPalette, 1);
  EXPECT_FALSE(reviewWindows.info) << "closed with the frame";
}

TEST_F(MainFrameTest, TheInformationCommandClosesAnOpenPalette) {
  frame->SendMessage(WM_COMMAND, ID_FILE_INFO_PALETTE);
  ASSERT_TRUE(reviewWindows.info);
  frame->SendMessage(WM_COMMAND, ID_FILE_INFO_PALETTE);
  EXPECT_FALSE(reviewWindows.info);
  frame->DestroyWindow();
  pt::Pump();
  EXPECT_EQ(app.GetSettings()->m_nOpenInfoPalette, 0);
}

// ---- Paste and rename on a temporary folder ----------------------------------------

TEST_F(MainFrameTest, PasteAsksWithTheStyleForOneOrSeveralFilesAndAMoveEmptiesTheClipboard) {
  fs::create_directories(dir.Path() / "from");
  fs::create_directories(dir.Path() / "to");
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) {
    WriteFileBytes(dir.Path() / "from" / name, "new");
  }
  WriteFileBytes(dir.Path() / "to" / "a.jpg", "old");
  WriteFileBytes(dir.Path() / "to" / "b.jpg", "old");
  pane.folder = Native("to");

  FArray<FString> one;
  one.Append(Native("from/a.jpg"));
  PutFilesOnClipboard(frame->GetSafeHwnd(), one, FALSE);
  EXPECT_TRUE(Update(ID_EDIT_PASTE_FILES).enabled);
  frame->answers = {14}; // no
  Command(ID_EDIT_PASTE_FILES);
  EXPECT_EQ(frame->questions, std::vector<std::string>{"10 a.jpg"});
  EXPECT_EQ(ReadFileBytes(dir.Path() / "to" / "a.jpg"), "old");
  EXPECT_EQ(tree.selected.back(), Ascii(Native("to"))) << "the tree selects the target in every case";

  FArray<FString> three;
  for (const char* name : {"from/a.jpg", "from/b.jpg", "from/c.jpg"}) {
    three.Append(Native(name));
  }
  PutFilesOnClipboard(frame->GetSafeHwnd(), three, TRUE);
  frame->questions.clear();
  frame->answers = {21}; // yes to all at the first question
  pane.calls.clear();
  Command(ID_EDIT_PASTE_FILES);
  EXPECT_EQ(frame->questions, std::vector<std::string>{"11 a.jpg"});
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) {
    EXPECT_EQ(ReadFileBytes(dir.Path() / "to" / name), "new") << name;
    EXPECT_FALSE(fs::exists(dir.Path() / "from" / name)) << name << " was moved";
  }
  EXPECT_EQ(pane.calls, std::vector<std::string>{"ListAgain"});
  EXPECT_FALSE(Update(ID_EDIT_PASTE_FILES).enabled) << "a move empties the clipboard";
}

TEST_F(MainFrameTest, PasteIntoTheFilesOwnFolderLeavesThemWhole) {
  WriteFileBytes(dir.Path() / "a.jpg", "picture");
  pane.folder = PathFromNative(dir.Str());
  FArray<FString> own;
  own.Append(Native("a.jpg"));
  PutFilesOnClipboard(frame->GetSafeHwnd(), own, FALSE);
  frame->answers = {13};
  Command(ID_EDIT_PASTE_FILES);
  EXPECT_EQ(ReadFileBytes(dir.Path() / "a.jpg"), "picture");
}

TEST_F(MainFrameTest, RenamesRefuseAFileOpenInAReviewWindowAndANameAnotherFileHas) {
  WriteFolder();
  // A file the browser does not list (filtered out) holds the first new name.
  WriteFileBytes(dir.Path() / "Trip 1.jpg", "unlisted");
  pane.Select({2, 3});
  Command(ID_FILE_BATCH_RENAME);
  EXPECT_EQ(frame->questions, std::vector<std::string>{"0 A file of that name already exists."});
  EXPECT_TRUE(fs::exists(dir.Path() / "IMG_0001.jpg"));
  EXPECT_EQ(ReadFileBytes(dir.Path() / "Trip 1.jpg"), "unlisted");

  frame->OpenImage(pane.items[3]->m_Path, TRUE);
  frame->questions.clear();
  Command(ID_FILE_BATCH_RENAME);
  ASSERT_EQ(frame->questions.size(), 1u);
  EXPECT_EQ(frame->questions[0].substr(0, 2), "0 ");
  EXPECT_NE(frame->questions[0], "0 A file of that name already exists.");
  EXPECT_TRUE(fs::exists(dir.Path() / "IMG_0002.jpg"));

  fs::remove(dir.Path() / "Trip 1.jpg");
  pane.Select({2});
  frame->questions.clear();
  Command(ID_FILE_BATCH_RENAME);
  EXPECT_TRUE(frame->questions.empty());
  EXPECT_TRUE(fs::exists(dir.Path() / "Trip 1.jpg"));
  EXPECT_FALSE(fs::exists(dir.Path() / "IMG_0001.jpg"));
}

TEST_F(MainFrameTest, TheSingleRenameKeepsAnUnchangedNameAndNeverTakesAnotherFilesName) {
  WriteFolder();
  pane.Select({2});
  frame->renameTo = u"IMG_0001.jpg"; // unchanged
  Command(ID_THUMB_RENAME);
  EXPECT_TRUE(frame->questions.empty());
  EXPECT_EQ(pane.calls, std::vector<std::string>{}) << "nothing stopped, nothing listed again";

  frame->renameTo = u"IMG_0002.jpg"; // a listed file's name
  Command(ID_THUMB_RENAME);
  EXPECT_EQ(frame->questions, std::vector<std::string>{"0 A file of that name already exists."});
  EXPECT_TRUE(fs::exists(dir.Path() / "IMG_0001.jpg"));

  frame->questions.clear();
  frame->renameTo = u"Trip.jpg";
  Command(ID_THUMB_RENAME);
  EXPECT_TRUE(frame->questions.empty());
  EXPECT_TRUE(fs::exists(dir.Path() / "Trip.jpg"));
  EXPECT_FALSE(fs::exists(dir.Path() / "IMG_0001.jpg"));
  EXPECT_EQ(pane.calls, (std::vector<std::string>{"StopLoader", "ListAgain"}));
}

TEST_F(MainFrameTest, ExtractionAsksAboutEveryExistingOutputUntilYesToAll) {
  RecordingOutputDialogs dialogs;
  frame->SetOutputDialogs(&dialogs);
  for (const char* name : {"a.kvr", "b.kvr", "c.kvr", "d.kvr"}) {
    WriteFileBytes(dir.Path() / name, "raw");
  }
  for (const char* name : {"a.jpg", "b.jpg", "d.jpg"}) {
    WriteFileBytes(dir.Path() / name, "old");
  }
  pane.folder = PathFromNative(dir.Str());
  auto pairs = [&](std::initializer_list<const char*> stems) {
    dialogs.job.clear();
    for (const char* stem : stems) {
      dialogs.job.emplace_back(Native(std::string(stem) + ".kvr"), Native(std::string(stem) + ".jpg"));
    }
  };
  struct Case {
    const char* what;
    std::vector<int> answers;
    std::vector<std::string> questions;
    std::vector<std::string> extracted;
  };
  const Case cases[] = {
      {"no, then yes to all", {14, 21}, {"11 a.jpg", "11 b.jpg"}, {"b.jpg", "c.jpg", "d.jpg"}},
      {"yes, no, yes", {13, 14, 13}, {"11 a.jpg", "11 b.jpg", "11 d.jpg"}, {"a.jpg", "c.jpg", "d.jpg"}},
      {"cancel", {14, 12}, {"11 a.jpg", "11 b.jpg"}, {}},
  };
  for (const Case& c : cases) {
    pairs({"a", "b", "c", "d"});
    frame->questions.clear();
    frame->answers = c.answers;
    dialogs.extracted.clear();
    Command(ID_FILE_EXTRACT_JPEG);
    EXPECT_EQ(frame->questions, c.questions) << c.what;
    EXPECT_EQ(dialogs.extracted, c.extracted) << c.what;
  }
  pairs({"a"});
  frame->questions.clear();
  frame->answers = {13};
  Command(ID_FILE_EXTRACT_JPEG);
  EXPECT_EQ(frame->questions, std::vector<std::string>{"10 a.jpg"}) << "one pair: the single-file question";
  frame->SetOutputDialogs(nullptr);
}

TEST_F(MainFrameTest, TheBatchSaveListsTheFolderAgainOnlyWhenItSavedIntoIt) {
  RecordingOutputDialogs dialogs;
  frame->SetOutputDialogs(&dialogs);
  WriteFolder();
  fs::create_directories(dir.Path() / "out");
  struct Case {
    const char* what;
    std::string output;
    bool done;
    std::vector<std::string> calls;
  };
  const Case cases[] = {
      {"into the browser's folder", "R_0001.jpg", true, {"ListAgain"}},
      {"into another folder", "out/R_0001.jpg", true, {}},
      {"nothing saved", "R_0001.jpg", false, {}},
  };
  for (const Case& c : cases) {
    dialogs.job = {{Native("R_0001.kvr"), Native(c.output)}};
    dialogs.saved = c.done ? std::vector<FString>{Native("R_0001.kvr")} : std::vector<FString>{};
    pane.calls.clear();
    tree.summarised.clear();
    Command(ID_FILE_SAVE_IMAGES);
    EXPECT_EQ(pane.calls, c.calls) << c.what;
    // The folder's summary counts the saved files too.
    EXPECT_EQ(tree.summarised.size(), c.calls.size()) << c.what;
    EXPECT_TRUE(dialogs.frameKnewProgress) << c.what;
    EXPECT_FALSE(frame->HasProgressDialog()) << c.what;
  }
  frame->SetOutputDialogs(nullptr);
}

TEST_F(MainFrameTest, TheSlideShowOfAFolderWithoutJpegTiffOrRawFilesShowsNothing) {
  RecordingOutputDialogs dialogs;
  frame->SetOutputDialogs(&dialogs);
  WriteFileBytes(dir.Path() / "a.png", "png");
  WriteFileBytes(dir.Path() / "b.png", "png");
  pane.folder = PathFromNative(dir.Str());
  Command(ID_FILE_SLIDE_SHOW);
  EXPECT_TRUE(dialogs.runs.empty());
  WriteBytes(dir.Path() / "c.jpg", CameraJpeg(160, 120, 48, 36));
  Command(ID_FILE_SLIDE_SHOW);
  EXPECT_EQ(dialogs.runs, std::vector<std::string>{"slide show parameters"});
  frame->SetOutputDialogs(nullptr);
}

// ---- The real frame on the browser's panes ---------------------------------------

class MainFrameWindowTest : public MainFrameTest {};

TEST_F(MainFrameWindowTest, TheFrameHoldsTheFolderTreeLeftAndTheThumbnailsRight) {
  frame->DestroyWindow(); // the recording frame of the fixture
  pt::Pump();
  WriteBytes(dir.Path() / "IMG_0001.jpg", CameraJpeg(640, 480, 160, 120));
  WriteBytes(dir.Path() / "IMG_0002.jpg", CameraJpeg(480, 640, 120, 160));
  MakeSyntheticRaw(SyntheticOptions{}).file.WriteTo(dir.Path() / "R_0001.kvr");
  app.GetSettings()->m_rcThumbWindow = CRect(0, 0, 1100, 700);
  app.GetSettings()->m_nFolderWidth = 0; // the smallest widths: 250 and 500
  app.GetSettings()->m_nThumbWidth = 0;
  app.GetSettings()->m_strThumbDir = PathFromNative(dir.Str());

  auto* real = new CMainFrame; // deletes itself with its window
  ASSERT_TRUE(real->LoadFrame(IDR_MAINFRAME));
  real->ShowWindow(SW_SHOW);
  pt::Pump();
  IThumbPane* thumbs = real->GetThumbPane();
  ASSERT_NE(thumbs, nullptr);
  ASSERT_NE(real->GetFolderPane(), nullptr);
  EXPECT_EQ(Ascii(thumbs->GetFolder()), dir.Str()) << "the saved folder is shown at start";
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  while (real->IsThumbnailLoading() && std::chrono::steady_clock::now() < deadline) {
    pt::Pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  pt::Pump();
  std::vector<FString> listed;
  EXPECT_EQ(thumbs->GetAllPaths(&listed), 3);

  // The panes sit side by side, the tree at least 250 pixels wide.
  CRect tree;
  CRect grid;
  real->GetFolderPane()->GetPaneWnd()->GetWindowRect(&tree);
  thumbs->GetPaneWnd()->GetWindowRect(&grid);
  EXPECT_GE(tree.Width(), 250);
  EXPECT_GE(grid.Width(), 500);
  EXPECT_LE(tree.right, grid.left);

  // A view command from the menu reaches the real pane.
  real->SendMessage(WM_COMMAND, ID_VIEW_FORMAT_RAW, 0);
  pt::Pump();
  EXPECT_EQ(thumbs->GetFormatFilter(), 1);
  listed.clear();
  EXPECT_EQ(thumbs->GetAllPaths(&listed), 1);
  real->SendMessage(WM_COMMAND, ID_VIEW_FORMAT_ALL, 0);
  while (real->IsThumbnailLoading() && std::chrono::steady_clock::now() < deadline) {
    pt::Pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  pt::Pump();

  const pt::PixelImage shot = pt::GrabClient(real->GetSafeHwnd());
  const std::string png = pt::SavePng(shot, "main_frame.png");
  EXPECT_FALSE(png.empty());
  real->DestroyWindow();
  pt::Pump();
  EXPECT_EQ(app.GetSettings()->m_nFormatFilter, 0);
}

} // namespace
