// The browser's thumbnail grid: the cell geometry of its sizes and of the
// information view, the filters, the sort order, keyboard moves at the edges,
// clicks and what the parent hears of them, update, refresh and rotation of
// listed items, a drag that moved the files away, and the grid as it draws.

#include "shell/browser/CTLM_ThumbnailWnd.h"
#include "shell/browser/CThumbSplitterWnd.h"

#include "BrowserGridFixture.h"
#include "platform/afx/AfxFrame.h"
#include "platform/testing/Headless.h"
#include "shell/app/AppMessages.h"
#include "shell/app/CLumitraApp.h"
#include "support/BuildTree.h"
#include "support/BrowserFolder.h"
#include "support/MovieWriter.h"
#include "support/RectPrinting.h"
#include "support/TestSupport.h"
#include "toolkit/PictureFileTypes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace pt = platform::testing;
using namespace testsupport;

namespace {

// ---- Pure parts -------------------------------------------------------------------------------

TEST(BrowserGridLayoutTest, EachSizeAndTheInformationViewHaveTheirCells) {
  struct Case {
    int index;
    CSize cell;
    CRect picture;
    CRect caption;
  };
  const Case cases[] = {
      {0, {56, 56}, {2, 2, 52, 52}, {0, 0, 0, 0}},
      {4, {96, 96}, {2, 2, 92, 92}, {0, 0, 0, 0}},
      {5, {114, 133}, {6, 15, 106, 115}, {6, 117, 106, 131}},
      {12, {184, 203}, {6, 15, 176, 185}, {6, 187, 176, 201}},
      {31, {374, 393}, {6, 15, 366, 375}, {6, 377, 366, 391}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    const ThumbGridLayout layout = BrowserThumbLayout(c.index);
    EXPECT_EQ(layout.cell, c.cell);
    EXPECT_EQ(layout.picture, c.picture);
    EXPECT_EQ(layout.caption, c.caption);
    EXPECT_EQ(layout.gap, CSize(10, 10));
    EXPECT_EQ(layout.margin, CPoint(6, 8));
  }
  const ThumbGridLayout info = BrowserInfoViewLayout();
  EXPECT_EQ(info.cell, CSize(240, 143));
  EXPECT_EQ(info.picture, CRect(6, 15, 116, 125));
  EXPECT_EQ(info.caption, CRect(6, 127, 116, 141));
}

TEST(BrowserGridFilterTest, FormatAndStateFiltersKeepTheirFiles) {
  const int types[] = {ETFILETYPE_KVR, ETFILETYPE_JPEG, ETFILETYPE_TIFF, ETFILETYPE_AVI};
  // Rows: filters 0 to 4; columns: raw, JPEG, TIFF, AVI.
  const bool keeps[5][4] = {{true, true, true, true},
                            {true, false, false, false},
                            {false, true, false, false},
                            {false, false, true, false},
                            {true, true, true, false}};
  for (int filter = 0; filter < 5; ++filter) {
    for (int t = 0; t < 4; ++t) {
      EXPECT_EQ(FormatFilterKeeps(filter, types[t]), keeps[filter][t]) << "filter " << filter << " type " << types[t];
    }
  }
  // Rows: filters 0 to 4; columns: (marked, locked) = (0,0), (1,0), (0,1), (1,1).
  const bool states[5][4] = {{true, true, true, true},
                             {false, true, false, true},
                             {true, false, true, false},
                             {false, false, true, true},
                             {true, true, false, false}};
  for (int filter = 0; filter < 5; ++filter) {
    for (int s = 0; s < 4; ++s) {
      EXPECT_EQ(StateFilterKeeps(filter, s & 1, s & 2), states[filter][s]) << "filter " << filter << " state " << s;
    }
  }
}

TEST(BrowserSortTest, NamesCompareInNaturalOrder) {
  struct Case {
    const char* a;
    const char* b;
    int order;
  };
  const Case cases[] = {
      {"x2.jpg", "x10.jpg", -1}, {"X2.JPG", "x2.jpg", 0},   {"x02", "x2", 0},     {"file9b", "file10a", -1},
      {"a", "a1", -1},           {"IMG_0100", "IMG_99", 1}, {"b.jpg", "a.jpg", 1}, {"x10y2", "x10y10", -1},
  };
  for (const Case& c : cases) {
    const int order = CompareNamesLogical(FString(c.a), FString(c.b));
    EXPECT_EQ((order > 0) - (order < 0), c.order) << c.a << " vs " << c.b;
    const int reverse = CompareNamesLogical(FString(c.b), FString(c.a));
    EXPECT_EQ((reverse > 0) - (reverse < 0), -c.order) << c.b << " vs " << c.a;
  }
}

// Items in memory, sorted as the grid sorts them.
class SortedItems {
public:
  void Add(const char* name, int type, std::uint64_t size) {
    auto* item = new CTLM_ThumbnailData;
    item->m_FileName = FString(name);
    item->m_Path = FString(name);
    item->m_FileType = type;
    item->m_FileSize = size;
    m_List.Add(item);
  }
  std::vector<std::string> Sorted(int key, bool invert) {
    g_BrowserSortKey = key;
    g_bBrowserSortInvert = invert;
    m_List.Sort(key, !invert, CompareBrowserItems);
    std::vector<std::string> names;
    for (int i = 0; i < m_List.GetCount(); ++i) names.emplace_back(m_List.GetAt(i)->m_FileName.GetAscii());
    return names;
  }

private:
  CET_ThumbnailDataManager m_List;
};

TEST(BrowserSortTest, TypeAndSizeKeysFallBackToTheNaturalNameOrder) {
  SortedItems items;
  items.Add("x10.jpg", ETFILETYPE_JPEG, 500);
  items.Add("m.avi", ETFILETYPE_AVI, 100);
  items.Add("x2.jpg", ETFILETYPE_JPEG, 500);
  items.Add("t.tif", ETFILETYPE_TIFF, 900);
  items.Add("r.kvr", ETFILETYPE_KVR, 700);
  using Names = std::vector<std::string>;
  EXPECT_EQ(items.Sorted(kBrowserSortName, false), (Names{"m.avi", "r.kvr", "t.tif", "x2.jpg", "x10.jpg"}));
  EXPECT_EQ(items.Sorted(kBrowserSortType, false), (Names{"r.kvr", "x2.jpg", "x10.jpg", "t.tif", "m.avi"}));
  EXPECT_EQ(items.Sorted(kBrowserSortSize, false), (Names{"m.avi", "x2.jpg", "x10.jpg", "r.kvr", "t.tif"}));
  EXPECT_EQ(items.Sorted(kBrowserSortSize, true), (Names{"t.tif", "r.kvr", "x10.jpg", "x2.jpg", "m.avi"}));
  EXPECT_EQ(items.Sorted(kBrowserSortType, true), (Names{"m.avi", "t.tif", "x10.jpg", "x2.jpg", "r.kvr"}));
}

// ---- The window ---------------------------------------------------------------------------------

// The browser view's part: it keeps what the grid tells it.
class ViewParent : public CWnd {
public:
  struct Event {
    WPARAM kind;
    std::string path;
  };
  std::vector<Event> events;

protected:
  afx_msg void OnPaint() {
    CPaintDC dc(this);
    CRect client;
    GetClientRect(client);
    dc.FillSolidRect(client, RGB(89, 89, 89));
  }
  afx_msg LRESULT OnThumbEvent(WPARAM kind, LPARAM path) {
    events.push_back({kind, FString(reinterpret_cast<const char16_t*>(path)).GetAscii()});
    return 0;
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ViewParent, CWnd)
  ON_WM_PAINT()
  ON_MESSAGE(WM_APP_THUMB_VIEW_EVENT, OnThumbEvent)
END_MESSAGE_MAP()

class RecordingFrame : public IThumbnailGridFrame {
public:
  std::vector<std::pair<std::string, LPARAM>> broadcasts;
  std::vector<std::string> folders;
  void BroadcastToReviewFrames(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_APP_FILE_OPERATION) {
      broadcasts.emplace_back(FString(reinterpret_cast<const char16_t*>(wParam)).GetAscii(), lParam);
    }
  }
  void SelectFolder(const FString& folder, BOOL) override { folders.emplace_back(folder.GetAscii()); }
};

class TestGrid : public CTLM_ThumbnailWnd {
public:
  using CTLM_ThumbnailWnd::m_Anchor;
  std::vector<std::string> SelectedNames() {
    std::vector<std::string> names;
    for (int i = 0; i < GetItemCount(); ++i) {
      if (GetItem(i)->m_bSelected) names.emplace_back(GetItem(i)->m_FileName.GetAscii());
    }
    return names;
  }
};

class ThumbnailGridTest : public BrowserGridFixture<ViewParent, TestGrid> {
protected:
  void SetUp() override {
    CreateWindows(540, 440);
    grid.SetFrame(&frame);
  }

  void WriteJpegs(int count, int width = 96, int height = 72) {
    for (int i = 1; i <= count; ++i) {
      WriteBytes(Path("IMG_" + std::to_string(i) + ".jpg"), CameraJpeg(width, height, 48, 36));
    }
  }
  CPoint CellCentre(int index) const { return grid.GetItemOrigin(index).CenterPoint(); }
  // A left click at a client point, released at once (no drag starts).
  void Click(CPoint point) {
    POINT screen = point;
    grid.ClientToScreen(&screen);
    pt::InputFrame now;
    now.cursor = screen;
    pt::Input().SetCurrent(now);
    grid.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(point.x, point.y));
    grid.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(point.x, point.y));
    pt::Pump();
  }

  RecordingFrame frame;
};

TEST_F(ThumbnailGridTest, TheSizesLayTheCellsOutAndTheInformationViewIsItsOwnLayout) {
  WriteJpegs(3);
  ASSERT_EQ(grid.SetFolder(Folder()), 3);
  // 540 pixels hold four cells of 114 with their gaps and margin.
  EXPECT_EQ(grid.GetColumns(), 4);
  EXPECT_EQ(grid.GetItemOrigin(1), CRect(130, 8, 244, 141));
  grid.SetInfoView();
  EXPECT_TRUE(grid.IsInfoView());
  EXPECT_EQ(grid.GetColumns(), 2);
  EXPECT_EQ(grid.GetItemOrigin(1), CRect(256, 8, 496, 151));
  grid.SetThumbSize(0);
  EXPECT_FALSE(grid.IsInfoView()) << "a size ends the information view";
  EXPECT_EQ(grid.GetItemOrigin(0), CRect(6, 8, 62, 64));
}

TEST_F(ThumbnailGridTest, FiltersDecideWhatIsListedAndNoOtherFileTypeEverIs) {
  WriteJpegs(2);
  WriteBytes(Path("c.tif.png"), QuarterJpeg(8, 8));
  WriteFileBytes(Path("d.bmp"), "BM");
  WriteFileBytes(Path("e.gif"), "GIF89a");
  MovieShape shape;
  shape.width = 64;
  shape.height = 48;
  shape.frames = 2;
  WriteMovie(Path("m.avi"), shape);
  EXPECT_EQ(grid.SetFolder(Folder()), 3) << "two JPEGs and the movie";
  WaitForLoader();
  EXPECT_EQ(grid.SetFormatFilter(kFormatFilterStills), 1);
  EXPECT_EQ(grid.SetFormatFilter(kFormatFilterStills), 0) << "unchanged";
  EXPECT_EQ(grid.SetFolder(Folder()), 2) << "stills hide the movie";
  WaitForLoader();
  EXPECT_EQ(grid.SetFormatFilter(kFormatFilterAll), 1);
  EXPECT_EQ(grid.SetStateFilter(kStateFilterMarked), 1);
  EXPECT_EQ(grid.SetFolder(Folder()), 0) << "nothing is marked";
  EXPECT_FALSE(grid.IsLoaderRunning()) << "and no loader starts";
  EXPECT_EQ(grid.SetStateFilter(kStateFilterUnmarked), 1);
  EXPECT_EQ(grid.SetFolder(Folder()), 3);
}

TEST_F(ThumbnailGridTest, TheDateSortComparesCaptureTimesNotTheirTexts) {
  // As texts in a month-first locale "10/1/2024" would come before "9/30/2024".
  WriteBytes(Path("a_october.jpg"), CameraJpeg(32, 24, 16, 12, std::string("2024:10:01 08:00:00")));
  WriteBytes(Path("b_september.jpg"), CameraJpeg(32, 24, 16, 12, std::string("2024:09:30 18:00:00")));
  WriteBytes(Path("c_undated.jpg"), CameraJpeg(32, 24, 16, 12));
  ASSERT_EQ(grid.SetFolder(Folder()), 3);
  grid.SetSortKey(kBrowserSortDate);
  const auto names = [&] {
    std::vector<std::string> list;
    for (int i = 0; i < grid.GetItemCount(); ++i) list.emplace_back(grid.GetItem(i)->m_FileName.GetAscii());
    return list;
  };
  using Names = std::vector<std::string>;
  EXPECT_EQ(names(), (Names{"c_undated.jpg", "b_september.jpg", "a_october.jpg"}));
  grid.ToggleSortOrder();
  EXPECT_EQ(names(), (Names{"a_october.jpg", "b_september.jpg", "c_undated.jpg"}));
  grid.SetSortKey(kBrowserSortName);
  EXPECT_EQ(names(), (Names{"c_undated.jpg", "b_september.jpg", "a_october.jpg"})) << "still inverted";
}

TEST_F(ThumbnailGridTest, ArrowKeysStopAtTheEdges) {
  WriteJpegs(10); // four columns: rows 0-3, 4-7, 8-9
  ASSERT_EQ(grid.SetFolder(Folder()), 10);
  WaitForLoader();
  struct Case {
    int anchor;
    int command;
    int expected; // the new anchor; the same: nothing changes
  };
  const Case cases[] = {
      {9, kSelectRight, 9}, {4, kSelectLeft, 4}, {1, kSelectUp, 1},   {3, kSelectRight, 3}, {8, kSelectDown, 8},
      {5, kSelectDown, 9},  {5, kSelectLeft, 4}, {5, kSelectUp, 1},  {5, kSelectRight, 6}, {6, kSelectDown, 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "anchor " << c.anchor << " command " << c.command);
    grid.ChangeSelection(kSelectNone);
    grid.GetItem(c.anchor)->m_bSelected = 1;
    grid.m_Anchor = c.anchor;
    grid.ChangeSelection(c.command);
    EXPECT_EQ(grid.m_Anchor, c.expected);
    const std::string name = "IMG_" + std::to_string(c.expected + 1) + ".jpg";
    // Item i is IMG_<i+1> only in natural order.
    EXPECT_EQ(grid.SelectedNames(), std::vector<std::string>{name});
  }
  grid.m_Anchor = -1;
  grid.ChangeSelection(kSelectDown);
  EXPECT_EQ(grid.m_Anchor, -1) << "nothing without an anchor";
}

TEST_F(ThumbnailGridTest, ADownMoveOutOfThePageScrollsItsRowToTheBottom) {
  WriteJpegs(40); // ten rows of four; three rows a page
  ASSERT_EQ(grid.SetFolder(Folder()), 40);
  WaitForLoader();
  ASSERT_EQ(grid.GetRowsPerPage(), 3);
  // The owner-drawn bar stands against the grid's right edge and follows it.
  CScrollBarBase& bar = grid.GetScrollBar();
  ASSERT_TRUE(bar.GetSafeHwnd());
  CRect place;
  bar.GetWindowRect(place);
  parent.ScreenToClient(place);
  EXPECT_EQ(place, CRect(540, 0, 554, 440));
  const CRect thumbAtTop = bar.GetThumbRect();
  grid.m_Anchor = 9;
  grid.ChangeSelection(kSelectDown); // row 3
  EXPECT_EQ(grid.GetFirstVisible(), 4) << "row 3 is the last row shown";
  EXPECT_GT(bar.GetThumbRect().top, thumbAtTop.top);
  pt::Pump();
  pt::SavePng(pt::GrabClient(parent.m_hWnd), "BrowserGrid_scrolled.png");
  grid.m_Anchor = 5;
  grid.ChangeSelection(kSelectUp); // row 0
  EXPECT_EQ(grid.GetFirstVisible(), 0);
  grid.ChangeSelection(kSelectAll);
  EXPECT_EQ(grid.GetSelectedCount(), 40);
  grid.ChangeSelection(kSelectInvert);
  EXPECT_EQ(grid.GetSelectedCount(), 0);
}

TEST_F(ThumbnailGridTest, ClicksTellTheViewAndAClickOnEmptySpaceDeselects) {
  WriteJpegs(3);
  ASSERT_EQ(grid.SetFolder(Folder()), 3);
  WaitForLoader();
  parent.events.clear();
  Click(CellCentre(1));
  ASSERT_EQ(parent.events.size(), 1u);
  EXPECT_EQ(parent.events[0].kind, kThumbViewFocusChanged);
  EXPECT_EQ(parent.events[0].path, Path("IMG_2.jpg").string());
  Click(CellCentre(1));
  EXPECT_EQ(parent.events.size(), 1u) << "the same selection tells nothing";
  grid.SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(CellCentre(1).x, CellCentre(1).y));
  ASSERT_EQ(parent.events.size(), 2u);
  EXPECT_EQ(parent.events[1].kind, kThumbViewOpenFile);
  EXPECT_EQ(parent.events[1].path, Path("IMG_2.jpg").string());
  Click(CPoint(500, 400));
  EXPECT_TRUE(grid.SelectedNames().empty());
  ASSERT_EQ(parent.events.size(), 3u);
  EXPECT_EQ(parent.events[2].kind, kThumbViewFocusChanged);
  EXPECT_EQ(parent.events[2].path, "");
}

TEST_F(ThumbnailGridTest, UpdateKeepsThePictureRefreshLoadsItAgainRotationTurnsIt) {
  ExifFields tagged;
  tagged.orientation = 1;
  tagged.markFlag = 0;
  tagged.thumbnail = QuarterJpeg(40, 30);
  WriteBytes(Path("turn.jpg"), QuarterJpeg(200, 150, &tagged));
  WriteJpegs(1);
  ASSERT_EQ(grid.SetFolder(Folder()), 2);
  WaitForLoader();
  CTLM_ThumbnailData* item = ItemNamed(grid, "turn.jpg");
  ASSERT_TRUE(item && item->m_pDib && item->m_bFinalPicture);
  ASSERT_EQ(item->m_Width, 200);
  const CET_Dib* before = item->m_pDib;
  const int pictureWidth = before->GetWidth();
  const int pictureHeight = std::abs(before->GetHeight());

  FArray<FString> paths;
  paths.Append(Native("turn.jpg"));
  paths.Append(Native("not-listed.jpg"));
  EXPECT_EQ(grid.UpdateItems(&paths), 1);
  EXPECT_EQ(item->m_pDib, before) << "the picture stays";
  EXPECT_FALSE(grid.IsLoaderRunning()) << "an update starts no loader";

  ASSERT_TRUE(item->m_Exif.HasOrientationTag());
  EXPECT_EQ(grid.RotateItems(&paths, TRUE, TRUE), 1);
  EXPECT_EQ(item->m_Width, 150);
  EXPECT_EQ(item->m_Height, 200);
  ASSERT_TRUE(item->m_pDib);
  EXPECT_EQ(item->m_pDib->GetWidth(), pictureHeight) << "turned in memory";
  EXPECT_EQ(std::abs(item->m_pDib->GetHeight()), pictureWidth);
  WaitForLoader();

  EXPECT_EQ(grid.RefreshItems(&paths), 1);
  EXPECT_TRUE(grid.IsLoaderRunning() || item->m_pDib) << "a refresh loads the picture again";
  WaitForLoader();
  EXPECT_EQ(item->m_Width, 200) << "the file itself never turned";
  EXPECT_TRUE(item->m_pDib && item->m_bFinalPicture);
}

TEST_F(ThumbnailGridTest, ADragThatMovedTheFilesAnnouncesThemAndShowsTheFolderAgain) {
  WriteJpegs(2);
  ASSERT_EQ(grid.SetFolder(Folder()), 2);
  WaitForLoader();
  grid.GetItem(0)->m_bSelected = 1;
  // A file manager moved the file away and answered nothing.
  std::filesystem::remove(Path("IMG_1.jpg"));
  pt::ScriptDrag({{parent.m_hWnd, {600, 10}, 0}}, false);
  int effect = -1;
  EXPECT_EQ(grid.DragSelectedFiles(TRUE, &effect), 1);
  EXPECT_EQ(effect, DROPEFFECT_MOVE);
  ASSERT_EQ(frame.broadcasts.size(), 1u);
  EXPECT_EQ(frame.broadcasts[0].first, Path("IMG_1.jpg").string());
  EXPECT_EQ(frame.broadcasts[0].second, kFileOperationDelete);
  EXPECT_EQ(frame.folders, std::vector<std::string>{dir.Str()});
  EXPECT_EQ(grid.GetDraggedSelection().GetCount(), 0);
  EXPECT_EQ(grid.GetItemCount(), 1);
}

TEST_F(ThumbnailGridTest, TheGridDrawsBadgesFramesAndTheInformationView) {
  WriteJpegs(5, 160, 120);
  const SyntheticRaw raw = MakeSyntheticRaw();
  raw.file.WriteTo(Path("R_0001.kvr"));
  WriteFileBytes(Path("R_0002.kvr"), EmptyRawBytes());
  MovieShape shape;
  shape.width = 160;
  shape.height = 120;
  shape.frames = 2;
  WriteMovie(Path("M_0001.avi"), shape);
  ASSERT_EQ(grid.SetFolder(Folder()), 8);
  WaitForLoader();
  grid.SetSortKey(kBrowserSortType);
  grid.GetItem(1)->m_bSelected = 1;
  grid.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  pt::Pump();
  const pt::PixelImage image = pt::GrabClient(grid.m_hWnd);
  pt::SavePng(image, "BrowserGrid_size5.png");
  EXPECT_EQ(pt::PixelAt(image, 2, 2), RGB(222, 222, 222)) << "the margin shows the grid's grey";
  const CRect selected = grid.GetItemOrigin(1);
  EXPECT_EQ(pt::PixelAt(image, selected.left, selected.CenterPoint().y), RGB(255, 204, 0)) << "selection frame";
  const CRect first = grid.GetItemOrigin(0);
  EXPECT_EQ(pt::PixelAt(image, first.left, first.CenterPoint().y), RGB(255, 255, 255)) << "no frame unselected";
  // The raw file's badge (its picture is there) stands at the cell's top right;
  // the raw file without a picture shows its badge in its picture's place.
  constexpr COLORREF kRawBadge = RGB(196, 60, 40);
  EXPECT_EQ(pt::PixelAt(image, first.right - 24, first.top + 4), kRawBadge);
  const CPoint empty = grid.GetItemPictRect(1).CenterPoint();
  EXPECT_EQ(pt::PixelAt(image, empty.x - 10, empty.y - 3), kRawBadge);

  grid.SetThumbSize(4);
  grid.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  pt::Pump();
  const pt::PixelImage small = pt::GrabClient(grid.m_hWnd);
  pt::SavePng(small, "BrowserGrid_size4.png");
  const CRect cell = grid.GetItemOrigin(0);
  // At size 4 the picture fills the cell from 2 pixels in: no room for badges.
  EXPECT_EQ(pt::PixelAt(small, cell.right - 1, cell.top + 1), RGB(255, 255, 255));

  grid.SetInfoView();
  grid.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  pt::Pump();
  const pt::PixelImage info = pt::GrabClient(grid.m_hWnd);
  pt::SavePng(info, "BrowserGrid_info.png");
  const CRect infoCell = grid.GetItemOrigin(0);
  EXPECT_EQ(pt::PixelAt(info, infoCell.right - 2, infoCell.bottom - 2), RGB(178, 178, 207));
}

TEST_F(ThumbnailGridTest, TheContextMenuGoesToTheMainFrameWithTheTextTablesCaptions) {
  CLumitraApp app;
  const FString resources = PathJoin(PathParent(testsupport::BuildTreeProgramPath()), FString("resources"));
  ASSERT_TRUE(app.LoadStringTable(PathJoin(resources, FString("String.txt"))));
  app.m_pMainWnd = &parent;
  pt::ScriptMenuChoice(0);
  grid.SendMessage(WM_RBUTTONUP, 0, MAKELPARAM(500, 400));
  app.m_pMainWnd = nullptr;
  const pt::ShownMenu menu = pt::LastShownMenu();
  ASSERT_EQ(menu.size(), 20u);
  struct Entry {
    std::size_t position;
    UINT command;
    const char16_t* caption;
  };
  for (const Entry& e : {Entry{0, 32780, u"Open in New Window"}, Entry{3, 109, u"Rename..."},
                         Entry{5, 32949, u"Extract JPEG..."}, Entry{15, 57634, u"Copy"},
                         Entry{19, 32782, u"Image Information"}}) {
    EXPECT_EQ(menu[e.position].id, e.command) << e.position;
    EXPECT_EQ(menu[e.position].text, e.caption) << e.position;
  }
  EXPECT_EQ(std::count_if(menu.begin(), menu.end(), [](const pt::ShownMenuItem& item) {
              return (item.state & MF_SEPARATOR) != 0;
            }),
            6);
}

// ---- The splitter ---------------------------------------------------------------------------------

class Pane : public CView {
  DECLARE_DYNCREATE(Pane)
protected:
  void OnDraw(CDC*) override {}
};
IMPLEMENT_DYNCREATE(Pane, CView)

// The limits a drag of the bar starts with.
template <typename Splitter>
class Tracked : public Splitter {
public:
  CRect Limits() {
    Splitter::StartTracking(CSplitterWnd::hSplitterBar1);
    const CRect limits = Splitter::m_rectLimit;
    Splitter::StopTracking(FALSE);
    return limits;
  }
};

template <typename Splitter>
CRect TrackingLimits(CWnd* host) {
  Tracked<Splitter> splitter;
  EXPECT_TRUE(splitter.CreateStatic(host, 1, 2));
  EXPECT_TRUE(splitter.CreateView(0, 0, RUNTIME_CLASS(Pane), CSize(300, 100), nullptr));
  EXPECT_TRUE(splitter.CreateView(0, 1, RUNTIME_CLASS(Pane), CSize(600, 100), nullptr));
  splitter.RecalcLayout();
  pt::Pump();
  const CRect limits = splitter.Limits();
  splitter.DestroyWindow();
  return limits;
}

TEST(ThumbSplitterTest, ADragKeepsRoomForTheTreeAndTheThumbnails) {
  pt::Init();
  CWnd host;
  ASSERT_TRUE(host.CreateEx(0, u"Host", u"", WS_POPUP | WS_VISIBLE, CRect(0, 0, 1000, 300), nullptr, 0));
  const CRect base = TrackingLimits<CSplitterWndBase>(&host);
  const CRect browser = TrackingLimits<CThumbSplitterWnd>(&host);
  EXPECT_EQ(browser.left, base.left + 250);
  EXPECT_EQ(browser.right, base.right - 500);
  EXPECT_EQ(browser.top, base.top);
  host.DestroyWindow();
  pt::Pump();
}

} // namespace
