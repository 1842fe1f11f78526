// The browser's thumbnail view on a folder of generated files: where its
// controls stand at several sizes, the buttons' commands to the frame, the
// size slider and buttons with the grid's size, the information view, the
// selection and filter captions with the button states, filter changes and
// what they announce, arrow keys, the wheel, navigation among still pictures,
// and the view as it draws.

#include "shell/browser/CThumbFormView.h"
#include "shell/browser/ThumbViewFrame.h"
#include "shell/browser/ThumbViewLayout.h"

#include "engine/colour/TransformColor.h"
#include "foundation/FIStorageClass.h"
#include "foundation/FPath.h"
#include "platform/afx/AfxFrame.h"
#include "platform/testing/Headless.h"
#include "shell/app/AppMessages.h"
#include "shell/app/CLumitraApp.h"
#include "support/BrowserFolder.h"
#include "support/BuildTree.h"
#include "support/MovieWriter.h"
#include "support/RectPrinting.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace pt = platform::testing;
using namespace testsupport;

namespace {

TEST(ThumbViewLayoutTest, NoRectangleIsInvertedHoweverSmallTheView) {
  for (const CSize size : {CSize(0, 0), CSize(20, 30), CSize(300, 100)}) {
    for (const ThumbViewPlace& place : ThumbViewLayout(size.cx, size.cy, 150)) {
      EXPECT_GE(place.rect.Width(), 0) << place.id << " at " << size.cx << "x" << size.cy;
      EXPECT_GE(place.rect.Height(), 0) << place.id << " at " << size.cx << "x" << size.cy;
    }
  }
}

TEST(ThumbViewLayoutTest, TheTemplateHoldsTheNineteenControlsAndIsAccepted) {
  const DialogTemplate t = ThumbViewTemplate();
  EXPECT_EQ(t.items.size(), 19u);
  std::string error;
  EXPECT_TRUE(platform::RegisterDialogTemplate(t, &error)) << error;
}

// The main frame's part: it records the commands and requests the view gives it.
class RecordingFrame : public CFrameWnd, public IThumbViewFrame {
public:
  std::vector<UINT> commands;
  std::vector<std::pair<std::string, BOOL>> opened;
  std::vector<std::string> palette;
  std::vector<int> fileListCounts; // items in each WM_APP_FILE_LIST_CHANGED
  std::vector<UINT> unavailable;   // commands the frame cannot run

  void OpenImage(const FString& path, BOOL newWindow) override { opened.emplace_back(path.GetAscii(), newWindow); }
  void NotifyInfoPalette(const FString& path) override { palette.emplace_back(path.GetAscii()); }
  void BroadcastToReviewFrames(UINT message, WPARAM wParam, LPARAM) override {
    if (message == WM_APP_FILE_LIST_CHANGED) {
      fileListCounts.push_back(reinterpret_cast<CET_ThumbnailDataManager*>(wParam)->GetCount());
    }
  }
  BOOL CanRunCommand(UINT command) override {
    return std::find(unavailable.begin(), unavailable.end(), command) == unavailable.end();
  }
  void Forget() {
    commands.clear();
    opened.clear();
    palette.clear();
    fileListCounts.clear();
  }

protected:
  BOOL OnCommand(WPARAM wParam, LPARAM) override {
    commands.push_back(LOWORD(wParam));
    return TRUE;
  }
  void PostNcDestroy() override {}
};

class ThumbFormViewTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    static const bool registered = (InitStorageClasses(), true);
    (void)registered;
    SetColorProfileProgramPath(BuildTreeProgramPath());
  }
  void SetUp() override {
    pt::Init();
    const std::filesystem::path data =
        std::filesystem::path(BuildTreeProgramPath().GetAscii()).parent_path() / "resources";
    ASSERT_TRUE(app.LoadStringTable(PathFromNative((data / "String.txt").string())));
    ASSERT_TRUE(app.LoadFontTable(PathFromNative((data / "Font.txt").string())));
    ASSERT_TRUE(frame.Create(nullptr, u"Browser", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(0, 0, 900, 700)));
    view = new CThumbFormView; // a view deletes itself with its window
    ASSERT_TRUE(view->Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, CRect(0, 0, 640, 520), &frame,
                             AFX_IDW_PANE_FIRST));
    view->SendMessage(WM_INITIALUPDATE, 0, 0);
    pt::Pump();
  }
  void TearDown() override {
    view->GetGrid().StopLoader();
    frame.DestroyWindow();
    pt::Pump();
  }

  std::filesystem::path Path(const std::string& name) const { return dir.Path() / name; }
  FString Native(const std::string& name) const { return PathFromNative(Path(name).string()); }
  FString Folder() const { return PathFromNative(dir.Str()); }
  // Two JPEGs, a raw file of the synthetic camera and a movie.
  void WriteFolder() {
    WriteBytes(Path("IMG_0002.jpg"), CameraJpeg(160, 120, 48, 36, "2024:09:30 10:01:02"));
    WriteBytes(Path("IMG_0010.jpg"), CameraJpeg(160, 120, 48, 36));
    MakeSyntheticRaw(SyntheticOptions{}).file.WriteTo(Path("R_0001.kvr")); // daylight, small, with previews
    MovieShape shape;
    shape.width = 160;
    shape.height = 120;
    shape.frames = 2;
    WriteMovie(Path("M_0001.avi"), shape);
  }
  void ShowFolder() {
    view->SetFolder(Folder());
    WaitForLoader();
  }
  void WaitForLoader() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (view->GetGrid().IsLoaderRunning() && std::chrono::steady_clock::now() < deadline) {
      pt::Pump();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_FALSE(view->GetGrid().IsLoaderRunning());
  }
  void Select(const std::vector<std::string>& names) {
    CTLM_ThumbnailWnd& grid = view->GetGrid();
    for (int i = 0; i < grid.GetItemCount(); ++i) {
      const std::string name = grid.GetItem(i)->m_FileName.GetAscii();
      grid.GetItem(i)->m_bSelected = std::find(names.begin(), names.end(), name) != names.end();
    }
    view->SendMessage(WM_APP_THUMB_VIEW_EVENT, kThumbViewFocusChanged, reinterpret_cast<LPARAM>(u""));
  }
  CRect Placed(int id) const {
    CWnd* control = id == static_cast<int>(ThumbView::kGridId) ? &view->GetGrid() : view->GetDlgItem(id);
    CRect rect;
    control->GetWindowRect(rect);
    view->ScreenToClient(rect);
    return rect;
  }
  bool Enabled(int id) const { return view->GetDlgItem(id)->IsWindowEnabled(); }
  static std::string Ascii(const FString& text) { return text.GetAscii(); }
  std::string ShootingText() const {
    return FString(view->GetShootingBox().GetText().c_str()).GetAscii();
  }
  std::string SelectionText() const {
    return FString(view->GetSelectionBox().GetText().c_str()).GetAscii();
  }
  std::string FilterText() const {
    return FString(view->GetSelectionBox().GetSecondCaption().GetText().c_str()).GetAscii();
  }
  // The size the grid lays its cells out at, from its first cell.
  CSize CellSize() { return view->GetGrid().GetItemOrigin(0).Size(); }
  void ClickButton(int id) {
    view->SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                      reinterpret_cast<LPARAM>(view->GetDlgItem(id)->m_hWnd));
  }

  CLumitraApp app;
  TempDir dir;
  RecordingFrame frame;
  CThumbFormView* view = nullptr;
};

} // namespace

TEST_F(ThumbFormViewTest, ControlsTakeTheirPlacesAtEverySizeAndNothingIsCut) {
  const int textWidth = Placed(ThumbView::kOpen).Width();
  EXPECT_GE(textWidth, 150);
  EXPECT_LE(textWidth, 250);
  EXPECT_EQ(Placed(ThumbView::kOpenNew).Width(), textWidth) << "both text buttons share one width";
  for (const CSize size : {CSize(500, 400), CSize(640, 520), CSize(1000, 760), CSize(1600, 1100)}) {
    SCOPED_TRACE(std::to_string(size.cx) + "x" + std::to_string(size.cy));
    view->MoveWindow(0, 0, size.cx, size.cy);
    pt::Pump();
    CRect client;
    view->GetClientRect(client);
    std::vector<CRect> placed;
    for (const ThumbViewPlace& place : ThumbViewLayout(client.Width(), client.Height(), textWidth)) {
      const CRect rect = Placed(place.id);
      EXPECT_EQ(rect, place.rect) << "control " << place.id;
      CRect inside;
      inside.IntersectRect(rect, client);
      EXPECT_EQ(inside, rect) << "control " << place.id << " lies inside the view";
      placed.push_back(rect);
    }
    // The rows do not run into each other: the text buttons right of the icon
    // row, the grid between the two boxes, the size controls under the lower box.
    EXPECT_GT(Placed(ThumbView::kOpen).left, Placed(ThumbView::kSeparators[2]).right);
    EXPECT_EQ(Placed(ThumbView::kShootingBox).bottom, Placed(ThumbView::kGridId).top);
    EXPECT_EQ(Placed(ThumbView::kGridId).bottom, Placed(ThumbView::kSelectionBox).top);
    EXPECT_LE(Placed(ThumbView::kSelectionBox).bottom, Placed(ThumbView::kSmaller).top);
    // The grid's scroll bar stands against its right edge, inside the view.
    CRect bar;
    view->GetGrid().GetScrollBar().GetWindowRect(bar);
    view->ScreenToClient(bar);
    EXPECT_EQ(bar.left, Placed(ThumbView::kGridId).right);
    EXPECT_LE(bar.right, client.right);
    pt::SavePng(pt::GrabClient(view->m_hWnd),
                "ThumbView_" + std::to_string(size.cx) + "x" + std::to_string(size.cy) + ".png");
  }
  // Captions fit: the text buttons are wider than their captions.
  CClientDC dc(view);
  for (const int id : {ThumbView::kOpen, ThumbView::kOpenNew}) {
    auto* button = static_cast<CBasicButton*>(view->GetDlgItem(id));
    EXPECT_GE(Placed(id).Width(), button->CalcTextSize(&dc).cx + 20) << id;
  }
}

TEST_F(ThumbFormViewTest, ButtonsGiveTheFramesCommandsAndADoubleClickOpensTheFile) {
  const struct {
    int button;
    UINT command;
  } cases[] = {
      {ThumbView::kOpen, ThumbViewCommands::kOpenImage},
      {ThumbView::kOpenNew, ThumbViewCommands::kOpenImageNew},
      {ThumbView::kInfoPalette, ThumbViewCommands::kInfoPalette},
      {ThumbView::kRotateLeft, ThumbViewCommands::kRotateCounterClockwise},
      {ThumbView::kRotateRight, ThumbViewCommands::kRotateClockwise},
      {ThumbView::kSlideShow, ThumbViewCommands::kSlideShow},
      {ThumbView::kPrint, ThumbViewCommands::kPrint},
      {ThumbView::kMark, ThumbViewCommands::kMark},
      {ThumbView::kLock, ThumbViewCommands::kLock},
      {ThumbView::kDelete, ThumbViewCommands::kDelete},
  };
  for (const auto& c : cases) {
    frame.Forget();
    ClickButton(c.button);
    EXPECT_EQ(frame.commands, std::vector<UINT>{c.command}) << "button " << c.button;
  }
  frame.Forget();
  view->SendMessage(WM_APP_THUMB_VIEW_EVENT, kThumbViewOpenFile, reinterpret_cast<LPARAM>(u"/p/a.jpg"));
  ASSERT_EQ(frame.opened.size(), 1u);
  EXPECT_EQ(frame.opened[0].first, "/p/a.jpg");
  EXPECT_EQ(frame.opened[0].second, FALSE);
  view->SendMessage(WM_APP_THUMB_VIEW_EVENT, 7, reinterpret_cast<LPARAM>(u"/p/a.jpg"));
  EXPECT_EQ(frame.opened.size(), 1u) << "other events do nothing";
  EXPECT_TRUE(frame.palette.empty());
}

TEST_F(ThumbFormViewTest, TheSliderAndTheSizeButtonsSizeTheGridAndTheInformationViewReturnsToTheSize) {
  WriteBytes(Path("IMG_0001.jpg"), CameraJpeg(160, 120, 48, 36));
  ShowFolder();
  const auto slide = [&](int control, int position) {
    ControlNotifyData note;
    note.position = position;
    view->SendMessage(WM_APP_TRACKBAR_CHANGED, control, reinterpret_cast<LPARAM>(&note));
  };
  // A click on the slider's bar right of its thumb: ten sizes larger.
  ASSERT_EQ(view->GetSizeSlider().GetPos(), 0);
  pt::Click(view->GetSizeSlider().m_hWnd, {100, 10});
  EXPECT_EQ(view->GetThumbSizeIndex(), 10);
  EXPECT_EQ(CellSize(), BrowserThumbLayout(10).cell);
  slide(ThumbView::kSizeSlider, 12);
  EXPECT_EQ(view->GetThumbSizeIndex(), 12);
  EXPECT_EQ(CellSize(), BrowserThumbLayout(12).cell);
  slide(4711, 3);
  EXPECT_EQ(view->GetThumbSizeIndex(), 12) << "another control's notification";

  struct Step {
    const char* what;
    int button;
    int size;
    bool infoView;
  };
  const Step steps[] = {
      {"larger", ThumbView::kLarger, 13, false},
      {"smaller", ThumbView::kSmaller, 12, false},
      {"information view on", ThumbView::kInfoViewButton, 12, true},
      {"larger leaves it, keeping the size", ThumbView::kLarger, 12, false},
      {"on again", ThumbView::kInfoViewButton, 12, true},
      {"smaller leaves it too", ThumbView::kSmaller, 12, false},
      {"and the toggle turns it off", ThumbView::kInfoViewButton, 12, true},
      {"", ThumbView::kInfoViewButton, 12, false},
  };
  for (const Step& s : steps) {
    ClickButton(s.button);
    EXPECT_EQ(view->GetThumbSizeIndex(), s.size) << s.what;
    EXPECT_EQ(view->IsInfoView(), s.infoView) << s.what;
    EXPECT_EQ(view->GetGrid().IsInfoView(), s.infoView) << s.what;
    EXPECT_EQ(view->GetInfoViewButton().GetCheck(), s.infoView ? 1 : 0) << s.what;
    EXPECT_EQ(view->GetSizeSlider().GetPos(), s.size) << s.what;
    EXPECT_EQ(CellSize(), s.infoView ? BrowserInfoViewLayout().cell : BrowserThumbLayout(s.size).cell) << s.what;
  }

  view->SetThumbSizeIndex(0);
  ClickButton(ThumbView::kSmaller);
  EXPECT_EQ(view->GetThumbSizeIndex(), 0) << "nothing below the smallest";
  view->SetThumbSizeIndex(ThumbView::kLargestSize);
  ClickButton(ThumbView::kLarger);
  EXPECT_EQ(view->GetThumbSizeIndex(), ThumbView::kLargestSize) << "nothing above the largest";
  EXPECT_EQ(view->GetSizeSlider().GetPos(), ThumbView::kLargestSize);
  view->SetThumbSizeIndex(32);
  view->SetThumbSizeIndex(-1);
  EXPECT_EQ(view->GetThumbSizeIndex(), ThumbView::kLargestSize) << "indexes out of range are ignored";
}

TEST_F(ThumbFormViewTest, TheSelectionDecidesTheCaptionsAndWhichButtonsWork) {
  WriteFolder();
  ShowFolder();
  ASSERT_EQ(view->GetGrid().GetItemCount(), 4);
  const std::uintmax_t jpegBytes = std::filesystem::file_size(Path("IMG_0002.jpg"));
  const std::uintmax_t allBytes = jpegBytes + std::filesystem::file_size(Path("IMG_0010.jpg")) +
                                  std::filesystem::file_size(Path("R_0001.kvr")) +
                                  std::filesystem::file_size(Path("M_0001.avi"));
  const auto megabytes = [](std::uintmax_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, ", %.1f MB", static_cast<double>(bytes) / 1024 / 1024);
    return std::string(text);
  };
  struct Case {
    std::vector<std::string> selected;
    std::string shootingStart; // the shooting box's text starts so; empty: it is empty
    std::string selection;
    bool rotate, lock, mark, erase;
  };
  const Case cases[] = {
      {{}, "", "", false, false, false, false},
      {{"IMG_0002.jpg"}, "IMG_0002.jpg ", "1 file selected" + megabytes(jpegBytes), true, true, true, true},
      {{"R_0001.kvr"}, "R_0001.kvr ", "", true, true, true, true},
      {{"M_0001.avi"}, "M_0001.avi ", "", false, true, false, true},
      {{"IMG_0002.jpg", "IMG_0010.jpg", "R_0001.kvr", "M_0001.avi"}, "", "4 files selected" + megabytes(allBytes),
       true, true, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.selected.size() == 1 ? c.selected[0] : std::to_string(c.selected.size()) + " selected");
    Select(c.selected);
    if (c.shootingStart.empty()) {
      EXPECT_EQ(ShootingText(), "");
    } else {
      EXPECT_EQ(ShootingText().rfind(c.shootingStart, 0), 0u) << ShootingText();
    }
    if (!c.selection.empty()) {
      EXPECT_EQ(SelectionText(), c.selection);
    }
    EXPECT_EQ(SelectionText().empty(), c.selected.empty());
    EXPECT_EQ(Enabled(ThumbView::kRotateLeft), c.rotate);
    EXPECT_EQ(Enabled(ThumbView::kRotateRight), c.rotate);
    EXPECT_EQ(Enabled(ThumbView::kLock), c.lock);
    EXPECT_EQ(Enabled(ThumbView::kMark), c.mark);
    EXPECT_EQ(Enabled(ThumbView::kDelete), c.erase);
  }
  // The dated JPEG's line carries its capture date and time.
  Select({"IMG_0002.jpg"});
  EXPECT_NE(ShootingText().find("10:01:02"), std::string::npos) << ShootingText();
  // A locked file alone cannot be deleted.
  std::filesystem::permissions(Path("IMG_0010.jpg"), std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  FArray<FString> locked;
  locked.Append(Native("IMG_0010.jpg"));
  // As the main frame's lock command does: the cached record goes first.
  app.RemoveExif(Native("IMG_0010.jpg"));
  view->UpdateItemInfo(&locked);
  Select({"IMG_0010.jpg"});
  EXPECT_TRUE(Enabled(ThumbView::kLock));
  EXPECT_FALSE(Enabled(ThumbView::kDelete));
}

TEST_F(ThumbFormViewTest, ButtonsOfCommandsTheFrameCannotRunStayDisabled) {
  view->UpdateButtons();
  EXPECT_FALSE(Enabled(ThumbView::kOpen)) << "nothing listed to open";
  EXPECT_FALSE(Enabled(ThumbView::kOpenNew));
  WriteFolder();
  ShowFolder();
  EXPECT_TRUE(Enabled(ThumbView::kOpen));
  EXPECT_TRUE(Enabled(ThumbView::kOpenNew));
  EXPECT_TRUE(Enabled(ThumbView::kInfoPalette));
  frame.unavailable = {ThumbViewCommands::kOpenImage, ThumbViewCommands::kOpenImageNew,
                       ThumbViewCommands::kInfoPalette, ThumbViewCommands::kPrint, ThumbViewCommands::kSlideShow};
  view->UpdateButtons();
  for (int id : {ThumbView::kOpen, ThumbView::kOpenNew, ThumbView::kInfoPalette, ThumbView::kPrint,
                 ThumbView::kSlideShow}) {
    EXPECT_FALSE(Enabled(id)) << "button " << id;
  }
}

TEST_F(ThumbFormViewTest, ListingTheFolderAgainClearsTheSelectionCaptionAndButtons) {
  WriteFolder();
  ShowFolder();
  Select({"IMG_0002.jpg"});
  ASSERT_FALSE(SelectionText().empty());
  frame.Forget();

  view->RefreshItems(nullptr); // as after a rename
  WaitForLoader();
  EXPECT_EQ(view->GetSelectedCount(), 0);
  EXPECT_EQ(SelectionText(), "") << "the caption no longer counts a selection";
  EXPECT_FALSE(Enabled(ThumbView::kDelete));
  EXPECT_EQ(frame.palette, std::vector<std::string>{""});
}

TEST_F(ThumbFormViewTest, AChangedFilterListsAgainAndAnnouncesItOnceAnUnchangedOneNothing) {
  WriteFolder();
  ShowFolder();
  EXPECT_EQ(FilterText(), "Showing: all files") << "from the start, with the filters never changed";
  Select({"IMG_0002.jpg"});
  frame.Forget();

  view->SetFormatFilter(kFormatFilterStills);
  WaitForLoader();
  EXPECT_EQ(view->GetGrid().GetItemCount(), 3) << "the movie is gone";
  EXPECT_EQ(FilterText(), "Showing: still pictures");
  EXPECT_EQ(frame.fileListCounts, std::vector<int>{3}) << "the review windows get the new list once";
  EXPECT_EQ(frame.palette, (std::vector<std::string>{"", ""})) << "nothing is selected after listing again";
  EXPECT_EQ(view->GetSelectedCount(), 0);

  frame.Forget();
  view->SetFormatFilter(kFormatFilterStills);
  EXPECT_TRUE(frame.fileListCounts.empty()) << "an unchanged filter announces nothing";
  EXPECT_TRUE(frame.palette.empty());

  view->SetStateFilter(kStateFilterMarked);
  WaitForLoader();
  EXPECT_EQ(FilterText(), "Showing: marked still pictures");
  EXPECT_EQ(view->GetGrid().GetItemCount(), 0) << "no file is marked";
  EXPECT_EQ(frame.fileListCounts, std::vector<int>{0});
  view->SetFormatFilter(kFormatFilterAll);
  EXPECT_EQ(FilterText(), "Showing: marked files") << "the state's word, then the format's, also for all files";
}

TEST_F(ThumbFormViewTest, ArrowKeysMoveTheSelectionAndTellThePalette) {
  WriteFolder();
  ShowFolder();
  view->SetThumbSizeIndex(5);
  CTLM_ThumbnailWnd& grid = view->GetGrid();
  Select({});
  // A click makes the first item the anchor, as the user would.
  const CPoint first = grid.GetItemOrigin(0).CenterPoint();
  POINT screen = first;
  grid.ClientToScreen(&screen);
  pt::InputFrame now;
  now.cursor = screen;
  pt::Input().SetCurrent(now);
  grid.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(first.x, first.y));
  grid.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(first.x, first.y));
  pt::Pump();
  frame.Forget();

  MSG key{};
  key.hwnd = grid.m_hWnd;
  key.message = WM_KEYDOWN;
  key.wParam = VK_RIGHT;
  EXPECT_TRUE(view->PreTranslateMessage(&key));
  const std::string second = grid.GetItem(1)->m_FileName.GetAscii();
  EXPECT_TRUE(grid.GetItem(1)->m_bSelected);
  EXPECT_EQ(view->GetSelectedCount(), 1);
  EXPECT_EQ(frame.palette, std::vector<std::string>{Native(second).GetAscii()});
  EXPECT_EQ(ShootingText().rfind(second + " ", 0), 0u) << ShootingText();

  // A key as the window system delivers it reaches the view through the grid.
  grid.SetFocus();
  pt::SystemKey(VK_RIGHT);
  pt::Pump();
  EXPECT_TRUE(grid.GetItem(2)->m_bSelected);
  EXPECT_EQ(view->GetSelectedCount(), 1);
  key.wParam = VK_LEFT;
  EXPECT_TRUE(view->PreTranslateMessage(&key));
  EXPECT_TRUE(view->PreTranslateMessage(&key));
  EXPECT_TRUE(grid.GetItem(0)->m_bSelected);
  key.wParam = VK_LEFT;
  frame.Forget();
  EXPECT_TRUE(view->PreTranslateMessage(&key)) << "consumed at the edge as well";
  EXPECT_TRUE(grid.GetItem(0)->m_bSelected) << "nothing left of the first column";
  EXPECT_EQ(frame.palette.size(), 1u) << "the palette still hears the current file";

  key.wParam = 'A';
  EXPECT_FALSE(view->PreTranslateMessage(&key)) << "other keys go on";
  key.wParam = VK_RIGHT;
  key.hwnd = grid.GetRenameEdit().m_hWnd;
  ASSERT_NE(key.hwnd, nullptr);
  EXPECT_FALSE(view->PreTranslateMessage(&key)) << "the arrows move the caret of a file name being edited";
  EXPECT_TRUE(grid.GetItem(0)->m_bSelected);
}

TEST_F(ThumbFormViewTest, TheWheelScrollsTheGridARowPerNotch) {
  for (int i = 1; i <= 30; ++i) {
    WriteBytes(Path("IMG_" + std::to_string(1000 + i) + ".jpg"), CameraJpeg(64, 48, 32, 24));
  }
  ShowFolder();
  view->SetThumbSizeIndex(10);
  CTLM_ThumbnailWnd& grid = view->GetGrid();
  ASSERT_EQ(grid.GetFirstVisible(), 0);
  view->SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-360)), 0);
  EXPECT_EQ(grid.GetFirstVisible(), grid.GetColumns()) << "one row whatever the delta";
  view->SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
  EXPECT_EQ(grid.GetFirstVisible(), 0);
}

TEST_F(ThumbFormViewTest, NavigationMovesAmongTheStillPicturesOfTheShownFolder) {
  WriteFolder();
  ShowFolder();
  const std::vector<std::string> stills = {"IMG_0002.jpg", "IMG_0010.jpg", "R_0001.kvr"}; // by name, no movie
  for (std::size_t i = 0; i < stills.size(); ++i) {
    int position = -1, count = -1;
    view->GetImagePosition(Native(stills[i]), &position, &count);
    EXPECT_EQ(position, static_cast<int>(i)) << stills[i];
    EXPECT_EQ(count, 3) << stills[i];
  }
  EXPECT_EQ(Ascii(view->GetNextImagePath(Native("IMG_0010.jpg"))), Ascii(Native("R_0001.kvr")));
  EXPECT_EQ(Ascii(view->GetPrevImagePath(Native("IMG_0010.jpg"))), Ascii(Native("IMG_0002.jpg")));
  EXPECT_EQ(Ascii(view->GetNextImagePath(Native("R_0001.kvr"))), "") << "the last has no next";
  EXPECT_EQ(Ascii(view->GetNextImagePath(Native("M_0001.avi"))), "") << "a movie is not among them";
  int position = -1, count = -1;
  view->GetImagePosition(FString("/elsewhere/IMG_0002.jpg"), &position, &count);
  EXPECT_EQ(position, 0);
  EXPECT_EQ(count, 1);
  // Exact paths: an item is found only by its own spelling.
  std::unique_ptr<CTLM_ThumbnailData> found(view->FindItem(Native("R_0001.kvr")));
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(Ascii(found->m_FileName), "R_0001.kvr");
  EXPECT_EQ(view->FindItem(Native("r_0001.KVR")), nullptr);
  EXPECT_EQ(Ascii(view->GetFirstPath(FALSE)), Ascii(Native("IMG_0002.jpg")));
  EXPECT_EQ(Ascii(view->GetFirstPath(TRUE)), "");
  FArray<FString> all;
  EXPECT_EQ(view->GetAllPaths(&all), 4);
  EXPECT_EQ(view->GetAllPaths(nullptr), 0);
}

TEST_F(ThumbFormViewTest, TheViewDraws) {
  WriteFolder();
  ShowFolder();
  view->MoveWindow(0, 0, 760, 560);
  view->SetThumbSizeIndex(8);
  Select({"R_0001.kvr"});
  view->RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  pt::Pump();
  const pt::PixelImage image = pt::GrabClient(view->m_hWnd);
  const std::string path = pt::SavePng(image, "ThumbView.png");
  std::printf("rendered %s\n", path.c_str());
  EXPECT_EQ(pt::PixelAt(image, 5, 5), RGB(89, 89, 89)) << "the view's grey";
  const CRect box = Placed(ThumbView::kShootingBox);
  EXPECT_EQ(pt::PixelAt(image, box.left + 40, box.CenterPoint().y - 6), RGB(107, 115, 165)) << "the shooting box";
  const CRect lower = Placed(ThumbView::kSelectionBox);
  EXPECT_EQ(pt::PixelAt(image, lower.CenterPoint().x, lower.top + 2), RGB(100, 99, 99)) << "the selection box";
  const CRect grid = Placed(ThumbView::kGridId);
  EXPECT_EQ(pt::PixelAt(image, grid.right - 3, grid.bottom - 3), RGB(222, 222, 222)) << "the grid's own grey";

  view->SetInfoView(TRUE);
  pt::Pump();
  const pt::PixelImage info = pt::GrabClient(view->m_hWnd);
  std::printf("rendered %s\n", pt::SavePng(info, "ThumbView_info.png").c_str());
  const CRect button = Placed(ThumbView::kInfoViewButton);
  EXPECT_NE(pt::PixelAt(info, button.CenterPoint().x, button.CenterPoint().y),
            pt::PixelAt(image, button.CenterPoint().x, button.CenterPoint().y))
      << "the toggle shows its checked icon";
}
