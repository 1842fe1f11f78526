// The browser's folder tree on a temporary home folder: lazy expansion and
// selection by path, the new-folder numbering and its length limit, removal
// of the selected folder (or an ancestor) selecting the parent, the drop
// effects and the right-drag menu, the refused renames, and the item-ID list
// helpers.

#include "shell/browser/CFolderTreeCtrl.h"
#include "shell/browser/ItemIdLists.h"

#include "TempHome.h"
#include "platform/testing/Headless.h"
#include "platform/win/WinMenus.h"
#include "shell/app/AppClipboard.h"
#include "toolkit/FileOperations.h"
#include "toolkit/TextTable.h"

#include <cstring>
#include <filesystem>
#include <chrono>
#include <algorithm>
#include <map>
#include <thread>

namespace pt = platform::testing;
namespace fs = std::filesystem;

namespace {

class MenuTexts : public ITextTable {
public:
  std::optional<TextTableEntry> Find(int id) const override {
    static const std::map<int, std::u16string> texts = {
        {1027, u"New Folder"}, {1028, u"Cut"},       {1029, u"Copy"},      {1030, u"Paste"},
        {1031, u"Delete"},     {1043, u"Copy Here"}, {1044, u"Move Here"}, {1045, u"Cancel"},
        {1052, u"Delete?"}};
    auto it = texts.find(id);
    if (it == texts.end()) return std::nullopt;
    TextTableEntry entry;
    entry.text = it->second;
    return entry;
  }
};

// The tree's parent: records the paths of the selection changes it hears of.
class TreeParent : public CWnd {
public:
  std::vector<std::string> selections;

protected:
  BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override {
    // The tree keeps some to itself (its reflected handler answers for them).
    if (CWnd::OnNotify(wParam, lParam, result)) return TRUE;
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->code == TVN_SELCHANGEDW) {
      const auto* nm = reinterpret_cast<const NMTREEVIEWW*>(lParam);
      const auto* data = reinterpret_cast<const FolderTreeItemData*>(nm->itemNew.lParam);
      selections.push_back(data ? testsupport::Utf8FromWide(GetPathFromPidl(data->absolute)) : "<none>");
    }
    return FALSE;
  }
};

class FolderTree : public TempHome {
protected:
  void SetUp() override {
    TempHome::SetUp();
    for (const char* folder : {"home/Pictures/2024/summer", "home/Pictures/2024/summerhouse", "home/Pictures/trips"}) {
      fs::create_directories(Path(folder));
    }
    SetTextTable(&texts);
    ASSERT_TRUE(parent.CreateEx(0, u"Parent", u"", WS_POPUP | WS_VISIBLE, CRect(0, 0, 400, 500), nullptr, 0));
    ASSERT_TRUE(tree.Create(WS_VISIBLE | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                            CRect(5, 5, 380, 480), &parent, 1038));
    pt::Pump();
  }
  void TearDown() override {
    CFolderTreeCtrl::SetQuestionFunc(nullptr);
    if (IsWindow(parent.m_hWnd)) parent.DestroyWindow();
    SetTextTable(nullptr);
    TempHome::TearDown();
  }

  std::string Selected() const { return testsupport::Utf8FromWide(tree.GetSelectedPath()); }

  // Right-clicks the item of a path with the menu choosing `command`.
  void ContextCommand(const std::string& below, UINT command) {
    ASSERT_TRUE(tree.SelectPath(W(below)));
    CRect rect;
    ASSERT_TRUE(tree.GetItemRect(tree.GetSelectedItem(), rect, TRUE));
    pt::ScriptMenuChoice(command);
    tree.SendMessage(WM_RBUTTONUP, 0, MAKELPARAM(rect.left + 4, rect.top + 4));
    pt::Pump();
  }

  const pt::ShownMenuItem* MenuItem(UINT id) {
    menu = pt::LastShownMenu();
    for (const pt::ShownMenuItem& item : menu) {
      if (item.id == id) return &item;
    }
    return nullptr;
  }

  MenuTexts texts;
  TreeParent parent;
  CFolderTreeCtrl tree;
  pt::ShownMenu menu;
};

TEST_F(FolderTree, TheRootIsTheDesktopAndAPathIsFoundByExpandingDownToIt) {
  ASSERT_TRUE(tree.IsInitialised());
  HTREEITEM rootItem = tree.GetRootItem();
  ASSERT_NE(rootItem, nullptr);
  EXPECT_EQ(tree.GetNextSiblingItem(rootItem), nullptr) << "one root";
  EXPECT_EQ(tree.GetChildItem(rootItem), nullptr) << "nothing is enumerated before it is opened";

  ASSERT_TRUE(tree.SelectPath(W("home/Desktop")));
  EXPECT_EQ(tree.GetSelectedItem(), rootItem) << "the desktop's own folder selects the root";

  ASSERT_TRUE(tree.SelectPath(W("home/Pictures/2024/summer")));
  EXPECT_EQ(Selected(), Str("home/Pictures/2024/summer"));
  EXPECT_EQ(tree.GetItemText(tree.GetSelectedItem()), u"summer");
  ASSERT_FALSE(parent.selections.empty());
  EXPECT_EQ(parent.selections.back(), Str("home/Pictures/2024/summer")) << "the parent hears of the selection";
  HTREEITEM year = tree.GetParentItem(tree.GetSelectedItem());
  EXPECT_EQ(tree.GetItemText(tree.GetChildItem(year)), u"summer") << "siblings in the folder source's order";
  EXPECT_EQ(tree.GetItemText(tree.GetNextSiblingItem(tree.GetChildItem(year))), u"summerhouse");

  EXPECT_FALSE(tree.SelectPath(W("home/Pictures/missing"))) << "a path that is not there selects nothing";
  EXPECT_EQ(Selected(), Str("home/Pictures/2024/summer"));
  EXPECT_FALSE(tree.SelectPath(FString()));
}

TEST_F(FolderTree, NewFolderTakesTheFirstFreeNumberAndIsSelectedWhenTheShellReportsIt) {
  fs::create_directories(Path("home/Pictures/trips/NewFolder"));
  fs::create_directories(Path("home/Pictures/trips/NewFolder(2)"));
  EXPECT_EQ(testsupport::Utf8FromWide(FreeNewFolderPath(W("home/Pictures/trips"))),
            Str("home/Pictures/trips/NewFolder(3)"));

  ContextCommand("home/Pictures/trips", CFolderTreeCtrl::kNewFolderCommand);
  const pt::ShownMenuItem* item = MenuItem(CFolderTreeCtrl::kNewFolderCommand);
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->text, u"New Folder");
  EXPECT_EQ(item->state & MF_GRAYED, 0u);
  EXPECT_TRUE(fs::is_directory(Path("home/Pictures/trips/NewFolder(3)")));
  pt::Pump();
  EXPECT_EQ(Selected(), Str("home/Pictures/trips/NewFolder(3)")) << "inserted and selected by the notification";
  EXPECT_EQ(testsupport::Utf8FromWide(tree.GetRememberedPath()), Str("home/Pictures/trips/NewFolder(3)"));
  EXPECT_EQ(tree.GetDropHilightItem(), nullptr) << "the highlight goes with the menu";
}

TEST_F(FolderTree, NewFolderIsGreyedWhenTheNewPathWouldPassTheLengthLimit) {
  // A folder whose new folder's path is 248 characters long.
  const std::string base = Str("home/Pictures");
  const std::size_t room = 248 - base.size() - std::string("/x/NewFolder").size();
  const std::string deep = "home/Pictures/" + std::string(room + 1, 'x');
  fs::create_directories(Path(deep));
  ContextCommand(deep, 0);
  const pt::ShownMenuItem* item = MenuItem(CFolderTreeCtrl::kNewFolderCommand);
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(testsupport::Utf8FromWide(FreeNewFolderPath(W(deep))).size(), 248u);
  EXPECT_NE(item->state & MF_GRAYED, 0u);
  const pt::ShownMenuItem* paste = MenuItem(CFolderTreeCtrl::kPasteCommand);
  ASSERT_NE(paste, nullptr);
}

TEST_F(FolderTree, RemovingTheSelectedFolderOrAnAncestorSelectsTheParentAndTellsOnlyThat) {
  struct Case {
    const char* selected;
    const char* removed;
    const char* expected; // the selection afterwards
  };
  const Case cases[] = {
      {"home/Pictures/2024/summer", "home/Pictures/2024/summer", "home/Pictures/2024"},
      {"home/Pictures/2024/summer", "home/Pictures/2024", "home/Pictures"},
      // Whole components: removing ".../summer" leaves ".../summerhouse" alone.
      {"home/Pictures/2024/summerhouse", "home/Pictures/2024/summer", "home/Pictures/2024/summerhouse"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.removed);
    fs::create_directories(Path("home/Pictures/2024/summer"));
    fs::create_directories(Path("home/Pictures/2024/summerhouse"));
    ASSERT_TRUE(tree.SelectPath(W(c.selected)));
    parent.selections.clear();
    fs::rename(Path(c.removed), Path("gone"));
    SHChangeNotify(SHCNE_RMDIR, SHCNF_PATHW, W(c.removed).GetText(), nullptr);
    pt::Pump();
    EXPECT_EQ(Selected(), Str(c.expected));
    if (std::string(c.expected) != c.selected) {
      EXPECT_EQ(parent.selections, std::vector<std::string>{Str(c.expected)}) << "no intermediate selections";
    } else {
      EXPECT_TRUE(parent.selections.empty());
    }
    fs::rename(Path("gone"), Path(c.removed));
    SHChangeNotify(SHCNE_MKDIR, SHCNF_PATHW, W(c.removed).GetText(), nullptr);
    pt::Pump();
  }
}

TEST_F(FolderTree, AFolderRemovedOnDiskIsNoticedAndItsParentSelected) {
  ASSERT_TRUE(tree.SelectPath(W("home/Pictures/2024/summer")));
  fs::remove(Path("home/Pictures/2024/summer"));
  // The change watcher reports it from its own thread.
  for (int i = 0; i < 300 && Selected() != Str("home/Pictures/2024"); ++i) {
    pt::Pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(Selected(), Str("home/Pictures/2024"));
  EXPECT_EQ(tree.GetItemText(tree.GetChildItem(tree.GetSelectedItem())), u"summerhouse");
}

TEST_F(FolderTree, RemovingAMediumCollapsesItsItemAndForgetsItsChildren) {
  fs::create_directories(Path("media/CARD/DCIM/100"));
  testsupport::WriteFileBytes(Path("mounts"), "/dev/sda1 / ext4 rw 0 0\n/dev/sdb1 " + Str("media/CARD") +
                                                  " iso9660 ro 0 0\n");
  FString card = W("media/CARD");
  ASSERT_TRUE(tree.SelectPath(W("media/CARD/DCIM/100")));
  HTREEITEM cardItem = tree.GetParentItem(tree.GetParentItem(tree.GetSelectedItem()));
  ASSERT_EQ(tree.GetParentItem(cardItem), tree.GetRootItem()) << "a medium is an item of the desktop";
  fs::rename(Path("media/CARD"), Path("media/away"));
  SHChangeNotify(SHCNE_MEDIAREMOVED, SHCNF_PATHW, card.GetText(), nullptr);
  pt::Pump();
  EXPECT_EQ(tree.GetItemText(cardItem), u"CARD") << "the medium's item stays";
  EXPECT_EQ(tree.GetChildItem(cardItem), nullptr) << "its children are forgotten";
  EXPECT_EQ(tree.GetItemState(cardItem, TVIS_EXPANDED | TVIS_EXPANDEDONCE), 0u) << "and enumerated again when opened";
  EXPECT_EQ(Selected(), Str("media")) << "the selection inside it goes to the medium's parent folder";
}

TEST_F(FolderTree, AMediumMountedLaterJoinsTheDesktopAndAFolderMadeLaterItsOpenedParent) {
  ASSERT_TRUE(tree.SelectPath(W("home/Pictures/trips")));
  tree.Expand(tree.GetSelectedItem(), TVE_EXPAND);
  fs::create_directories(Path("media/CARD/DCIM"));
  testsupport::WriteFileBytes(Path("mounts"), "/dev/sda1 / ext4 rw 0 0\n/dev/sr0 " + Str("media/CARD") +
                                                  " iso9660 ro 0 0\n");
  SetMountTableFile(Str("mounts")); // read again
  SHChangeNotify(SHCNE_DRIVEADD, SHCNF_PATHW, W("media/CARD").GetText(), nullptr);
  fs::create_directories(Path("home/Pictures/trips/later"));
  SHChangeNotify(SHCNE_MKDIR, SHCNF_PATHW, W("home/Pictures/trips/later").GetText(), nullptr);
  pt::Pump();
  std::vector<std::u16string> desktopItems;
  for (HTREEITEM item = tree.GetChildItem(tree.GetRootItem()); item; item = tree.GetNextSiblingItem(item)) {
    desktopItems.push_back(tree.GetItemText(item));
  }
  EXPECT_NE(std::find(desktopItems.begin(), desktopItems.end(), u"CARD"), desktopItems.end());
  HTREEITEM later = tree.GetChildItem(tree.GetSelectedItem());
  ASSERT_NE(later, nullptr) << "the open folder gets its new sub-folder";
  EXPECT_EQ(tree.GetItemText(later), u"later");
  EXPECT_EQ(Selected(), Str("home/Pictures/trips")) << "a folder made elsewhere is not selected";
}

TEST_F(FolderTree, ChangesElsewhereKeepTheScrollPositionTheSelectionAndTheOpenBranches) {
  // More folders than the tree shows, the last one selected: the view is scrolled down to it.
  for (int i = 0; i < 40; ++i) fs::create_directories(Path("home/Pictures/many/f" + std::to_string(10 + i)));
  ASSERT_TRUE(tree.SelectPath(W("home/Pictures/2024/summer")));
  ASSERT_TRUE(tree.SelectPath(W("home/Pictures/many/f49")));
  HTREEITEM selected = tree.GetSelectedItem();
  HTREEITEM many = tree.GetParentItem(selected);
  const HTREEITEM top = tree.GetFirstVisibleItem();
  ASSERT_NE(top, tree.GetRootItem()) << "scrolled";

  struct Change {
    LONG event;
    const char* folder;
    bool made; // on disk before the event
  };
  const Change changes[] = {
      {SHCNE_MKDIR, "home/Pictures/many/f30x", true},   // in the selected folder's open parent
      {SHCNE_MKDIR, "home/Pictures/many/f49/sub", true}, // below the selected folder
      {SHCNE_MKDIR, "home/Pictures/2024/autumn", true},  // in another open branch, above the view
      {SHCNE_RMDIR, "home/Pictures/2024/autumn", false},
      {SHCNE_RMDIR, "home/Pictures/many/f30x", false},
  };
  for (const Change& c : changes) {
    SCOPED_TRACE(c.folder);
    if (c.made) fs::create_directories(Path(c.folder));
    else fs::remove(Path(c.folder));
    SHChangeNotify(c.event, SHCNF_PATHW, W(c.folder).GetText(), nullptr);
    pt::Pump();
    EXPECT_EQ(tree.GetSelectedItem(), selected);
    EXPECT_NE(tree.GetItemState(many, TVIS_EXPANDED) & TVIS_EXPANDED, 0u);
    EXPECT_EQ(tree.GetFirstVisibleItem(), top) << "the view stays where it was";
  }
}

TEST_F(FolderTree, DropEffectsFollowTheFileSystemAndTheKeys) {
  testsupport::WriteFileBytes(Path("home/a.jpg"), "a");
  const FString target = W("home/Pictures/trips");
  const FString here = W("home/a.jpg");
  const FString elsewhere(u"/proc/version"); // another file system
  struct Case {
    const FString* file;
    DWORD keys;
    DROPEFFECT effect;
  };
  const Case cases[] = {{&here, 0, DROPEFFECT_MOVE},          {&here, MK_CONTROL, DROPEFFECT_COPY},
                        {&elsewhere, 0, DROPEFFECT_COPY},     {&elsewhere, MK_SHIFT, DROPEFFECT_MOVE},
                        {&here, MK_SHIFT, DROPEFFECT_MOVE},   {&elsewhere, MK_CONTROL, DROPEFFECT_COPY}};
  for (const Case& c : cases) {
    EXPECT_EQ(FolderDropEffect(target, *c.file, c.keys), c.effect) << testsupport::Utf8FromWide(*c.file) << " " << c.keys;
  }
  EXPECT_EQ(FolderDropEffect(FString(), here, 0), DROPEFFECT_NONE) << "a virtual item takes nothing";
}

TEST_F(FolderTree, DroppedFilesAreMovedOrCopiedAndARightDragAsks) {
  testsupport::WriteFileBytes(Path("home/a.jpg"), "a");
  testsupport::WriteFileBytes(Path("home/b.jpg"), "b");
  ASSERT_TRUE(tree.SelectPath(W("home/Pictures/trips")));
  CRect rect;
  ASSERT_TRUE(tree.GetItemRect(tree.GetSelectedItem(), rect, TRUE));
  const POINT over{rect.left + 4, rect.top + 4};
  FArray<FString> files;
  files.Append(W("home/a.jpg"));
  const std::vector<BYTE> block = MakeDropFilesBlock(&files);
  const std::map<UINT, std::vector<std::uint8_t>> dataA{{CF_HDROP, {block.begin(), block.end()}}};

  EXPECT_EQ(pt::RunDrag(dataA, DROPEFFECT_COPY | DROPEFFECT_MOVE, {{tree.m_hWnd, over, MK_LBUTTON}, {tree.m_hWnd, over, MK_LBUTTON}}), DROPEFFECT_MOVE);
  EXPECT_TRUE(fs::exists(Path("home/Pictures/trips/a.jpg")));
  EXPECT_FALSE(fs::exists(Path("home/a.jpg"))) << "same file system: moved";
  EXPECT_EQ(tree.GetDropHilightItem(), nullptr);

  files.RemoveAll();
  files.Append(W("home/b.jpg"));
  const std::vector<BYTE> blockB = MakeDropFilesBlock(&files);
  const std::map<UINT, std::vector<std::uint8_t>> dataB{{CF_HDROP, {blockB.begin(), blockB.end()}}};
  pt::ScriptMenuChoice(CFolderTreeCtrl::kDropCopyCommand);
  EXPECT_EQ(pt::RunDrag(dataB, DROPEFFECT_COPY | DROPEFFECT_MOVE, {{tree.m_hWnd, over, MK_RBUTTON}, {tree.m_hWnd, over, MK_RBUTTON}}), DROPEFFECT_COPY);
  const pt::ShownMenu shown = pt::LastShownMenu();
  ASSERT_EQ(shown.size(), 4u) << "copy, move, a separator and nothing";
  EXPECT_EQ(shown[0].text, u"Copy Here");
  EXPECT_EQ(shown[1].text, u"Move Here");
  EXPECT_NE(shown[1].state & MF_DEFAULT, 0u) << "the offered effect is the default";
  EXPECT_EQ(shown[3].text, u"Cancel");
  EXPECT_TRUE(fs::exists(Path("home/Pictures/trips/b.jpg")));
  EXPECT_TRUE(fs::exists(Path("home/b.jpg"))) << "the menu chose a copy";
}

TEST_F(FolderTree, AnInPlaceRenameTakesOnlyOneValidNameForTheFolderJustMade) {
  struct Case {
    const char16_t* text; // null: cancelled
    const char* expected; // the folder's name afterwards
  };
  const Case cases[] = {{u"", "made"}, {u"a/b", "made"}, {u"..", "made"}, {nullptr, "made"}, {u"Summer", "Summer"}};
  for (const Case& c : cases) {
    fs::create_directories(Path("home/Pictures/made"));
    tree.SetRememberedPath(W("home/Pictures/made"));
    tree.ModifyStyle(0, TVS_EDITLABELS);
    ASSERT_TRUE(tree.SelectPath(W("home/Pictures/trips")));
    CEdit* edit = tree.EditLabel(tree.GetSelectedItem());
    ASSERT_NE(edit, nullptr);
    if (c.text) edit->SetWindowText(c.text);
    tree.EndEditLabelNow(c.text == nullptr);
    pt::Pump();
    EXPECT_TRUE(fs::is_directory(Path(std::string("home/Pictures/") + c.expected))) << c.expected;
    EXPECT_TRUE(tree.GetRememberedPath().View().empty());
    EXPECT_EQ(tree.GetStyle() & TVS_EDITLABELS, 0u);
    EXPECT_EQ(tree.GetItemText(tree.GetSelectedItem()), u"trips") << "the label keeps its text";
    if (fs::exists(Path("home/Pictures/Summer"))) fs::rename(Path("home/Pictures/Summer"), Path("home/Pictures/made"));
  }
  EXPECT_TRUE(IsValidFolderName(FString(u"x")));
  EXPECT_FALSE(IsValidFolderName(FString(u".")));
}

TEST_F(FolderTree, DeleteAndPasteAskFirstAndARefusalChangesNothing) {
  int asked = 0;
  int answer = 12; // cancel
  CFolderTreeCtrl::SetQuestionFunc([&](CWnd*, int, const FString&) {
    ++asked;
    return answer;
  });
  ContextCommand("home/Pictures/trips", CFolderTreeCtrl::kDeleteCommand);
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(fs::is_directory(Path("home/Pictures/trips")));

  testsupport::WriteFileBytes(Path("home/c.jpg"), "new");
  testsupport::WriteFileBytes(Path("home/Pictures/trips/c.jpg"), "old");
  FArray<FString> clip;
  clip.Append(W("home/c.jpg"));
  PutFilesOnClipboard(tree.m_hWnd, clip, FALSE);
  ContextCommand("home/Pictures/trips", CFolderTreeCtrl::kPasteCommand);
  EXPECT_EQ(asked, 2) << "the colliding file is asked about";
  EXPECT_EQ(testsupport::ReadFileBytes(Path("home/Pictures/trips/c.jpg")), "old");
  answer = 13; // yes
  ContextCommand("home/Pictures/trips", CFolderTreeCtrl::kPasteCommand);
  EXPECT_EQ(testsupport::ReadFileBytes(Path("home/Pictures/trips/c.jpg")), "new");

  // A file pasted into its own folder is left as it is, unasked.
  asked = 0;
  clip.RemoveAll();
  clip.Append(W("home/Pictures/trips/c.jpg"));
  PutFilesOnClipboard(tree.m_hWnd, clip, FALSE);
  ContextCommand("home/Pictures/trips", CFolderTreeCtrl::kPasteCommand);
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(testsupport::ReadFileBytes(Path("home/Pictures/trips/c.jpg")), "new");
}

TEST(ItemIdLists, SizesWalksCopiesAndJoins) {
  // Two IDs of 4 and 3 bytes.
  const BYTE bytes[] = {4, 0, 'a', 'b', 3, 0, 'c', 0, 0};
  auto list = reinterpret_cast<LPCITEMIDLIST>(bytes);
  EXPECT_EQ(GetIdListSize(list), 9u);
  EXPECT_EQ(GetIdListSize(nullptr), 0u);
  LPITEMIDLIST next = GetNextItemId(list);
  ASSERT_NE(next, nullptr);
  EXPECT_EQ(reinterpret_cast<const BYTE*>(next), bytes + 4);
  EXPECT_EQ(GetNextItemId(next), nullptr) << "no ID follows the last";
  const BYTE empty[] = {0, 0};
  EXPECT_EQ(GetNextItemId(reinterpret_cast<LPCITEMIDLIST>(empty)), nullptr);

  LPITEMIDLIST first = CopyFirstItemId(list);
  EXPECT_EQ(GetIdListSize(first), 6u);
  auto same = [&](LPCITEMIDLIST a) { return GetIdListSize(a) == 9 && std::memcmp(a, bytes, 9) == 0; };
  LPITEMIDLIST joined = ConcatIdLists(first, next);
  EXPECT_TRUE(same(joined));
  EXPECT_EQ(ConcatIdLists(first, nullptr), nullptr);
  LPITEMIDLIST copy = CloneIdList(list);
  EXPECT_TRUE(same(copy));
  EXPECT_EQ(GetPathFromPidl(nullptr).GetLength(), 0);
  EXPECT_EQ(StrRetToString(nullptr, list).GetLength(), 0);
  FreeIdList(first);
  FreeIdList(joined);
  FreeIdList(copy);
  FreeIdList(nullptr);
}

} // namespace
