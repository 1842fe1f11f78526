#include "toolkit/CET_ThumbnailWnd.h"
#include "toolkit/FileOperations.h"

#include "platform/testing/Headless.h"
#include "ToolkitTestWindows.h"
#include "support/TestSupport.h"

#include "foundation/FIStorageClass.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pt = platform::testing;

namespace {

// A thumbnail window whose items need no files (paths under /virtual/), that
// starts no loader and records the drags it would run.
class TestThumbs : public CET_ThumbnailWnd {
public:
  std::vector<BOOL> drags;
  bool recordDrags = true;
  CET_ThumbnailData* CreateItem(const FString& path) override {
    if (std::u16string(path.GetText()).rfind(u"/virtual/", 0) != 0) return CET_ThumbnailWnd::CreateItem(path);
    auto* item = new CET_ThumbnailData;
    item->m_Path = path;
    item->m_FileName = GetFileNamePart(path);
    return item;
  }
  void StartLoader() override {}
  int DragSelectedFiles(BOOL left, int* effect) override {
    if (!recordDrags) return CET_ThumbnailWnd::DragSelectedFiles(left, effect);
    drags.push_back(left);
    return 1;
  }
  void Fill(int count) {
    FArray<FString> paths;
    for (int i = 0; i < count; ++i) {
      char16_t name[32];
      std::u16string text = u"/virtual/" + std::u16string(i < 10 ? u"0" : u"") + Number(i) + u".jpg";
      std::copy(text.begin(), text.end(), name);
      name[text.size()] = 0;
      paths.Append(FString(name));
    }
    SetFiles(&paths);
  }
  std::vector<int> Selected() {
    std::vector<int> selected;
    LockItems();
    for (int i = 0; i < GetItemCount(); ++i) selected.push_back(m_Items.GetAt(i)->m_bSelected);
    UnlockItems();
    return selected;
  }
  static std::u16string Number(int i) {
    std::string s = std::to_string(i);
    return std::u16string(s.begin(), s.end());
  }
  BOOL PressKey(UINT key) {
    MSG msg{};
    msg.hwnd = m_hWnd;
    msg.message = WM_KEYDOWN;
    msg.wParam = key;
    return PreTranslateMessage(&msg);
  }
};

// A grid of 4 columns and 2 rows: (450 - 2 + 10) / 110 and (300 - 2 + 10) / 145.
struct GridFixture : ::testing::Test {
  PlainParent parent;
  TestThumbs thumbs;
  void SetUp() override {
    pt::Init();
    static const bool registered = (InitStorageClasses(), true); // folders are listed through them
    (void)registered;
    ASSERT_TRUE(parent.CreateAt(CRect(50, 50, 550, 400), RGB(89, 89, 89)));
    thumbs.SetScrollDirection(SB_VERT);
    ASSERT_TRUE(thumbs.Create(nullptr, u"", WS_CHILD | WS_VISIBLE | WS_VSCROLL, CRect(0, 0, 450, 300), &parent, 7));
    thumbs.Init();
    pt::Pump();
  }
  void TearDown() override {
    thumbs.DestroyWindow();
    parent.DestroyWindow();
    pt::Pump();
  }
  // A press at a cell's point with the modifiers; held lists the cursor
  // offsets seen while the button stays down (none: released at once).
  void Press(UINT message, int index, int dx, int dy, bool control, bool shift, std::vector<POINT> held = {}) {
    const CRect cell = thumbs.GetItemOrigin(index);
    POINT point{cell.left + dx, cell.top + dy};
    POINT screen = point;
    thumbs.ClientToScreen(&screen);
    pt::InputFrame now;
    now.cursor = screen;
    now.control = control;
    now.shift = shift;
    pt::Input().SetCurrent(now);
    std::vector<pt::InputFrame> frames;
    for (POINT offset : held) {
      pt::InputFrame frame = now;
      frame.cursor = {screen.x + offset.x, screen.y + offset.y};
      frame.left = message == WM_LBUTTONDOWN;
      frame.right = message == WM_RBUTTONDOWN;
      frames.push_back(frame);
    }
    if (!frames.empty()) pt::ScriptInput(frames);
    thumbs.SendMessage(message, message == WM_LBUTTONDOWN ? MK_LBUTTON : MK_RBUTTON, MAKELPARAM(point.x, point.y));
    pt::Input().SetCurrent(now);
  }
  void Click(int index, bool control = false, bool shift = false) {
    Press(WM_LBUTTONDOWN, index, 50, 50, control, shift);
  }
};

} // namespace

TEST_F(GridFixture, LayoutCountsOriginsAndScrollRange) {
  struct Case {
    int count;
    int nMax;
    bool barShown;
  };
  for (const Case& c : {Case{1, 0, false}, Case{8, 1, false}, Case{10, 2, true}, Case{20, 4, true}}) {
    thumbs.Fill(c.count);
    EXPECT_EQ(thumbs.GetColumns(), 4);
    EXPECT_EQ(thumbs.GetRowsPerPage(), 2);
    EXPECT_EQ(thumbs.GetFirstVisible(), 0);
    SCROLLINFO info{};
    thumbs.GetScrollInfo(&info);
    EXPECT_EQ(info.cbSize, 28u);
    EXPECT_EQ(info.fMask, SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL);
    EXPECT_EQ(info.nMax, c.nMax) << c.count << " items";
    EXPECT_EQ(info.nPage, 2u);
    SCROLLINFO bar{};
    bar.fMask = SIF_ALL;
    ASSERT_TRUE(thumbs.CWnd::GetScrollInfo(SB_VERT, &bar));
    EXPECT_EQ(bar.nMax, c.barShown ? c.nMax : bar.nMax);
  }
  // Cells step by cell + gap from the margin; rows above the first visible
  // one keep their columns (floor division).
  thumbs.ScrollTo(1);
  EXPECT_EQ(thumbs.GetFirstVisible(), 4);
  EXPECT_EQ(thumbs.GetItemOrigin(4), CRect(2, 2, 102, 137));
  EXPECT_EQ(thumbs.GetItemOrigin(9), CRect(112, 147, 212, 282));
  EXPECT_EQ(thumbs.GetItemOrigin(3), CRect(332, -143, 432, -8));
  EXPECT_EQ(thumbs.GetItemOrigin(0), CRect(2, -143, 102, -8));
  EXPECT_EQ(thumbs.GetItemPictRect(4), CRect(12, 12, 92, 92));
  EXPECT_EQ(thumbs.GetItemCaptionRect(4), CRect(7, 107, 97, 127));
}

TEST_F(GridFixture, ThumbSizesAndTheStrip) {
  thumbs.SetThumbSize(1);
  EXPECT_EQ(thumbs.GetItemCaptionRect(0), CRect(7, 207, 97, 227)); // the caption stays 95 wide at the right
  EXPECT_EQ(thumbs.GetColumns(), 2);
  EXPECT_EQ(thumbs.GetRowsPerPage(), 1);
  thumbs.SetThumbSize(9);
  EXPECT_EQ(thumbs.GetColumns(), 4);

  thumbs.SetScrollDirection(SB_HORZ);
  thumbs.Fill(10);
  EXPECT_EQ(thumbs.GetRowsPerPage(), 1);
  SCROLLINFO info{};
  thumbs.GetScrollInfo(&info);
  EXPECT_EQ(info.nMax, 9);
  EXPECT_EQ(info.nPage, 4u);
  thumbs.ScrollTo(3);
  EXPECT_EQ(thumbs.GetFirstVisible(), 3);
  EXPECT_EQ(thumbs.GetItemOrigin(5), CRect(222, 2, 322, 137));
  EXPECT_EQ(thumbs.GetItemOrigin(1), CRect(-218, 2, -118, 137));
  thumbs.SendMessage(WM_HSCROLL, SB_PAGERIGHT, 0);
  EXPECT_EQ(thumbs.GetFirstVisible(), 6); // clamped to count - columns
  EXPECT_TRUE(thumbs.PressKey(VK_PRIOR));
  EXPECT_EQ(thumbs.GetFirstVisible(), 5);
}

TEST_F(GridFixture, ScrollToAndBarCodesClamp) {
  thumbs.Fill(20); // rows 0..4, two a page
  struct Case {
    UINT code;
    UINT pos;
    int firstVisible;
  };
  thumbs.ScrollTo(-3);
  EXPECT_EQ(thumbs.GetFirstVisible(), 0);
  thumbs.ScrollTo(99);
  EXPECT_EQ(thumbs.GetFirstVisible(), 12); // the last page: rows 3 and 4
  const Case cases[] = {{SB_TOP, 0, 0},         {SB_LINEDOWN, 0, 4}, {SB_PAGEDOWN, 0, 12}, {SB_LINEUP, 0, 8},
                        {SB_BOTTOM, 0, 8},      {SB_ENDSCROLL, 0, 8}, {SB_PAGEUP, 0, 0},  {SB_THUMBTRACK, 2, 8},
                        {SB_THUMBPOSITION, 9, 12}};
  for (const Case& c : cases) {
    thumbs.SendMessage(WM_VSCROLL, MAKEWPARAM(c.code, c.pos), 0);
    EXPECT_EQ(thumbs.GetFirstVisible(), c.firstVisible) << "code " << c.code;
  }
}

TEST_F(GridFixture, PageKeysMoveOneRowAndStopAtTheEnds) {
  thumbs.Fill(20);
  EXPECT_FALSE(thumbs.PressKey(VK_PRIOR)); // at the top: not eaten
  EXPECT_EQ(thumbs.GetFirstVisible(), 0);
  for (int expected : {4, 8, 12}) {
    EXPECT_TRUE(thumbs.PressKey(VK_NEXT));
    EXPECT_EQ(thumbs.GetFirstVisible(), expected);
  }
  EXPECT_FALSE(thumbs.PressKey(VK_NEXT)); // the last page shows
  EXPECT_EQ(thumbs.GetFirstVisible(), 12);
  EXPECT_TRUE(thumbs.PressKey(VK_PRIOR));
  EXPECT_EQ(thumbs.GetFirstVisible(), 8);
  EXPECT_FALSE(thumbs.PressKey(VK_HOME));
}

TEST_F(GridFixture, SelectionByClickCtrlShiftAndEmptySpace) {
  thumbs.Fill(8);
  using V = std::vector<int>;
  Click(2);
  EXPECT_EQ(thumbs.Selected(), (V{0, 0, 1, 0, 0, 0, 0, 0}));
  EXPECT_EQ(thumbs.GetAnchor(), 2);
  Click(5, false, true); // Shift: the range from the anchor
  EXPECT_EQ(thumbs.Selected(), (V{0, 0, 1, 1, 1, 1, 0, 0}));
  EXPECT_EQ(thumbs.GetAnchor(), 2);
  Click(0, false, true);
  EXPECT_EQ(thumbs.Selected(), (V{1, 1, 1, 0, 0, 0, 0, 0}));
  Click(6, true); // Ctrl toggles
  Click(1, true);
  EXPECT_EQ(thumbs.Selected(), (V{1, 0, 1, 0, 0, 0, 1, 0}));
  EXPECT_EQ(thumbs.GetAnchor(), 1);
  // Empty space (the gap between cells) clears the anchor only.
  const CRect cell = thumbs.GetItemOrigin(0);
  Press(WM_LBUTTONDOWN, 0, cell.Width() + 3, 5, false, false);
  EXPECT_EQ(thumbs.GetAnchor(), -1);
  EXPECT_EQ(thumbs.Selected(), (V{1, 0, 1, 0, 0, 0, 1, 0}));
  // Shift without an anchor is a plain click.
  Click(4, false, true);
  EXPECT_EQ(thumbs.Selected(), (V{0, 0, 0, 0, 1, 0, 0, 0}));
  EXPECT_EQ(thumbs.GetSelectedCount(), 1);
  // The right button selects an unselected item alone and keeps a selection
  // it falls in.
  Click(5, false, true);
  Press(WM_RBUTTONDOWN, 4, 50, 50, false, false);
  EXPECT_EQ(thumbs.Selected(), (V{0, 0, 0, 0, 1, 1, 0, 0}));
  Press(WM_RBUTTONDOWN, 7, 50, 50, false, false);
  EXPECT_EQ(thumbs.Selected(), (V{0, 0, 0, 0, 0, 0, 0, 1}));
  EXPECT_EQ(thumbs.GetAnchor(), 7);
}

TEST_F(GridFixture, DragTestThresholds) {
  thumbs.Fill(8);
  struct Case {
    std::vector<POINT> held;
    bool drags;
  };
  const Case cases[] = {
      {{{0, 1}}, true},               // one pixel down
      {{{5, 0}}, false},              // five across
      {{{-6, 0}}, true},              // six across
      {{{0, 0}, {3, 0}, {6, 0}}, true}, // while held
      {{}, false},                    // released at once
  };
  for (const Case& c : cases) {
    thumbs.drags.clear();
    Press(WM_LBUTTONDOWN, 3, 50, 50, false, false, c.held);
    thumbs.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(60, 60));
    EXPECT_EQ(thumbs.drags.size(), c.drags ? 1u : 0u) << c.held.size() << " frames";
    thumbs.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(61, 60)); // one drag per press
    EXPECT_EQ(thumbs.drags.size(), c.drags ? 1u : 0u);
  }
  // A left drag from an unselected item selects it alone; a Ctrl drag adds;
  // a right drag is a right one.
  using V = std::vector<int>;
  Click(0);
  Press(WM_LBUTTONDOWN, 2, 50, 50, true, false, {{0, 1}});
  EXPECT_EQ(thumbs.Selected(), (V{1, 0, 1, 0, 0, 0, 0, 0}));
  Press(WM_RBUTTONDOWN, 6, 50, 50, false, false, {{0, 1}});
  EXPECT_EQ(thumbs.Selected(), (V{0, 0, 0, 0, 0, 0, 1, 0}));
  thumbs.drags.clear();
  thumbs.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(60, 60));
  EXPECT_EQ(thumbs.drags, (std::vector<BOOL>{FALSE}));
}

TEST_F(GridFixture, RenameEndsOnceByEnterClickOutsideOrFocusLoss) {
  thumbs.Fill(4);
  CET_ThumbEdit& edit = thumbs.GetRenameEdit();
  auto startRename = [&] {
    Click(1);
    const CRect caption = thumbs.GetItemCaptionRect(1);
    const CRect cell = thumbs.GetItemOrigin(1);
    Press(WM_LBUTTONDOWN, 1, caption.left - cell.left + 10, caption.top - cell.top + 5, false, false);
    pt::Pump();
    ASSERT_TRUE(edit.IsWindowVisible());
    EXPECT_EQ(edit.GetWindowText(), u"01.jpg");
    EXPECT_EQ(CWnd::GetFocus(), &edit);
  };
  int ends = thumbs.GetRenameEndCount();
  startRename();
  thumbs.drags.clear();
  thumbs.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(60, 60)); // no drag follows the rename's press
  EXPECT_TRUE(thumbs.drags.empty());
  MSG enter{};
  enter.hwnd = edit.m_hWnd;
  enter.message = WM_KEYDOWN;
  enter.wParam = VK_RETURN;
  EXPECT_TRUE(edit.PreTranslateMessage(&enter));
  pt::Pump();
  EXPECT_FALSE(edit.IsWindowVisible());
  EXPECT_EQ(thumbs.GetRenameEndCount(), ++ends);
  EXPECT_EQ(std::u16string(thumbs.GetRenamedText().GetText()), u"01.jpg");

  startRename();
  edit.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(-20, -20)); // outside: captured clicks land here
  pt::Pump();
  EXPECT_FALSE(edit.IsWindowVisible());
  EXPECT_EQ(thumbs.GetRenameEndCount(), ++ends);

  startRename();
  thumbs.SetFocus();
  pt::Pump();
  EXPECT_FALSE(edit.IsWindowVisible());
  EXPECT_EQ(thumbs.GetRenameEndCount(), ++ends);
}

TEST_F(GridFixture, RefusesDropsOfFiles) {
  testsupport::TempDir dir;
  const std::string path = (dir.Path() / "gone.jpg").string();
  FArray<FString> paths;
  paths.Append(testsupport::WideFromUtf8(path));
  const std::vector<BYTE> block = MakeDropFilesBlock(&paths);
  const DWORD effect = pt::RunDrag({{CF_HDROP, std::vector<std::uint8_t>(block.begin(), block.end())}},
                                   DROPEFFECT_COPY | DROPEFFECT_MOVE, {{thumbs.m_hWnd, {20, 20}, 0}});
  EXPECT_EQ(effect, DROPEFFECT_NONE);
  EXPECT_EQ(thumbs.GetItemCount(), 0);
}

TEST_F(GridFixture, DraggedFilesThatVanishedCountAsMovedAndTheFolderIsListedAgain) {
  testsupport::TempDir dir;
  for (const char* name : {"a.jpg", "b.jpg", "c.bmp", "notes.txt"}) testsupport::WriteFileBytes(dir.Path() / name, "x");
  std::filesystem::create_directory(dir.Path() / "sub.jpg");
  thumbs.recordDrags = false;
  EXPECT_EQ(thumbs.SetFolder(testsupport::WideFromUtf8(dir.Str())), 3);
  EXPECT_EQ(thumbs.DragSelectedFiles(TRUE, nullptr), 0); // nothing selected
  Click(0);
  // The drop reaches a window that takes nothing; meanwhile the file went.
  pt::ScriptDrag({{thumbs.m_hWnd, {20, 20}, 0}});
  std::filesystem::remove(dir.Path() / "a.jpg");
  int effect = -1;
  EXPECT_EQ(thumbs.DragSelectedFiles(TRUE, &effect), 1);
  EXPECT_EQ(effect, static_cast<int>(DROPEFFECT_MOVE));
  EXPECT_EQ(thumbs.GetItemCount(), 2);
}

TEST_F(GridFixture, ListQueriesHandOutCopies) {
  thumbs.Fill(4);
  Click(1);
  Click(3, true);
  FArray<FString> selected;
  thumbs.GetSelectedPaths(&selected);
  ASSERT_EQ(selected.GetCount(), 2);
  EXPECT_EQ(std::u16string(selected[1].GetText()), u"/virtual/03.jpg");
  CET_ThumbnailDataManager receiver;
  receiver.Add(new CET_ThumbnailData);
  thumbs.GetSelectedItems(&receiver);
  EXPECT_EQ(receiver.GetCount(), 3);
  thumbs.GetAllItems(&receiver);
  EXPECT_EQ(receiver.GetCount(), 4); // replaced
  thumbs.SetFiles(nullptr);
  thumbs.GetAllItems(&receiver);
  EXPECT_EQ(receiver.GetCount(), 4); // an empty window leaves it
}

TEST_F(GridFixture, GridRendersToPng) {
  thumbs.Fill(10);
  Click(1);
  Click(2, true);
  thumbs.RedrawWindow();
  const auto shot = pt::GrabClient(thumbs.m_hWnd);
  pt::SavePng(shot, "thumbnail-grid.png");
  EXPECT_EQ(pt::PixelAt(shot, 440, 290), RGB(255, 255, 255));       // background
  EXPECT_EQ(pt::PixelAt(shot, 10, 5), RGB(225, 225, 225));           // an unselected cell
  EXPECT_EQ(pt::PixelAt(shot, 130, 50), RGB(192, 192, 255));         // a selected one
  EXPECT_EQ(pt::PixelAt(shot, 222, 2), RGB(0, 0, 0));                // the anchor's dotted frame
}
