// The select-folder dialog on a temporary home folder: the tree appears once
// the dialog is up with the start folder selected, a selection becomes the
// chosen path and its label, a new folder is made under the chosen one and
// chosen (and stays after Cancel), names that are no single folder and
// folders that cannot be made are refused with the dialog's message, a start
// folder that is gone stays the chosen path, and a virtual item chooses no
// path and makes no folder.

#include "output/CSelectFolderDlg.h"
#include "platform/testing/Headless.h"
#include "shell/browser/TempHome.h"
#include "shell/dialogs/CMessageDlg.h"
#include "shell/dialogs/CNewFolderDlg.h"
#include "shell/dialogs/DialogTestSupport.h"

#include "shell/browser/ItemIdLists.h"

#include <filesystem>

namespace {

namespace fs = std::filesystem;

class SelectFolderDlgTest : public TempHome {
protected:
  void SetUp() override {
    TempHome::SetUp();
    fs::create_directories(Path("home/Pictures/2024/summer"));
    fs::create_directories(Path("home/Pictures/trips"));
    SetAppProgramPath(testsupport::BuildTreeProgramPath());
    ASSERT_TRUE(app.LoadStringTable(AppFilePath(kAppFolderTexts, u"String.txt")));
    ASSERT_TRUE(app.LoadFontTable(AppFilePath(kAppFolderFonts, u"Font.txt")));
  }
  void TearDown() override {
    SetAppProgramPath(FString());
    EXPECT_EQ(pt::PendingModalScripts(), 0u);
    TempHome::TearDown();
  }

  std::u16string Text(int id) const {
    std::u16string text;
    app.GetString(id, text);
    return text;
  }
  static CFolderTreeCtrl& Tree(HWND dialog) {
    return *dynamic_cast<CFolderTreeCtrl*>(CWnd::FromHandle(Item(dialog, CSelectFolderDlg::kTreeId)));
  }
  static std::u16string PathLabel(HWND dialog) { return Caption(dialog, CSelectFolderDlg::kPathLabelId); }
  std::u16string U(const std::string& below) const { return std::u16string(W(below).View()); }

  // Clicks the new-folder button and types the name; the message a refusal shows.
  std::u16string NewFolder(HWND dialog, const std::u16string& name, bool refused) {
    std::u16string message;
    pt::OnNextModal([&](HWND ask) {
      pt::SystemType(name);
      ClickItem(ask, IDOK);
    });
    if (refused) {
      pt::OnNextModal([&](HWND box) {
        message = Caption(box, CMessageDlg::kFirstLineId);
        ClickItem(box, IDOK);
      });
    }
    ClickItem(dialog, CSelectFolderDlg::kNewFolderId);
    return message;
  }

  CLumitraApp app;
};

TEST_F(SelectFolderDlgTest, TheTreeComesUpAtTheStartFolderAndASelectionIsTheChoice) {
  CSelectFolderDlg dialog(nullptr);
  dialog.SetPath(W("home/Pictures/2024"));
  EXPECT_EQ(dialog.GetRuntimeClass(), RUNTIME_CLASS(CSelectFolderDlg));
  pt::OnNextModal([&](HWND hwnd) {
    EXPECT_FALSE(Shown(hwnd, CSelectFolderDlg::kTreeId)) << "the tree waits until the dialog is up";
    EXPECT_EQ(PathLabel(hwnd), U("home/Pictures/2024"));
    pt::Pump();
    EXPECT_TRUE(Shown(hwnd, CSelectFolderDlg::kTreeId));
    EXPECT_EQ(Tree(hwnd).GetSelectedPath(), W("home/Pictures/2024"));
    EXPECT_EQ(ClientSize(hwnd), CSize(290, 390));
    EXPECT_EQ(WindowText(hwnd), Text(5205));
    const struct {
      int id;
      CRect rect;
      int text;
    } controls[] = {{1051, {20, 9, 132, 32}, 5200}, {1038, {11, 63, 269, 269}, 0}, {1157, {20, 308, 270, 320}, 5201},
                    {1158, {20, 323, 270, 335}, 0}, {IDOK, {55, 358, 133, 381}, 5203},
                    {IDCANCEL, {144, 358, 234, 381}, 5204}};
    for (const auto& control : controls) {
      EXPECT_EQ(PlaceOf(hwnd, control.id), control.rect) << control.id;
      if (control.text) {
        EXPECT_EQ(Caption(hwnd, control.id), Text(control.text)) << control.id;
      }
    }
    Render(hwnd, "SelectFolderDlg.png");

    ASSERT_TRUE(Tree(hwnd).SelectPath(W("home/Pictures/trips")));
    EXPECT_EQ(PathLabel(hwnd), U("home/Pictures/trips"));
    EXPECT_EQ(dialog.GetPath(), W("home/Pictures/trips"));
    ClickItem(hwnd, IDOK);
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(dialog.GetPath(), W("home/Pictures/trips"));
}

TEST_F(SelectFolderDlgTest, ANewFolderIsMadeUnderTheChoiceChosenAndKeptAfterCancel) {
  CSelectFolderDlg dialog(nullptr);
  dialog.SetPath(W("home/Pictures/"));
  pt::OnNextModal([&](HWND hwnd) {
    pt::Pump();
    NewFolder(hwnd, u"Holiday & Friends", false);
    EXPECT_TRUE(fs::is_directory(Path("home/Pictures/Holiday & Friends")));
    EXPECT_EQ(dialog.GetPath(), W("home/Pictures/Holiday & Friends")) << "one separator before the name";
    EXPECT_EQ(Tree(hwnd).GetSelectedPath(), dialog.GetPath());
    EXPECT_EQ(PathLabel(hwnd), U("home/Pictures/Holiday & Friends"));
    ClickItem(hwnd, IDCANCEL);
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_TRUE(fs::is_directory(Path("home/Pictures/Holiday & Friends"))) << "Cancel keeps the folder";
}

TEST_F(SelectFolderDlgTest, NamesThatAreNoNewFolderAreRefusedAndTheChoiceStays) {
  CSelectFolderDlg dialog(nullptr);
  dialog.SetPath(W("home/Pictures"));
  pt::OnNextModal([&](HWND hwnd) {
    pt::Pump();
    for (const char16_t* name : {u"trips", u"", u".", u"..", u"a/b", u"../escape"}) {
      SCOPED_TRACE(testsupport::Utf8FromWide(FString(name)));
      EXPECT_EQ(NewFolder(hwnd, name, true), Text(5206));
      EXPECT_EQ(dialog.GetPath(), W("home/Pictures"));
      EXPECT_EQ(PathLabel(hwnd), U("home/Pictures"));
    }
    EXPECT_FALSE(fs::exists(Path("home/escape")));
    EXPECT_FALSE(fs::exists(Path("home/Pictures/a")));
    ClickItem(hwnd, IDOK);
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(dialog.GetPath(), W("home/Pictures"));
}

TEST_F(SelectFolderDlgTest, AFolderThatIsGoneStaysTheChoiceAndTakesNoNewFolder) {
  CSelectFolderDlg dialog(nullptr);
  dialog.SetPath(W("home/Pictures/gone"));
  pt::OnNextModal([&](HWND hwnd) {
    pt::Pump();
    EXPECT_EQ(PathLabel(hwnd), U("home/Pictures/gone"));
    EXPECT_EQ(dialog.GetPath(), W("home/Pictures/gone"));
    EXPECT_EQ(NewFolder(hwnd, u"inside", true), Text(5206));
    EXPECT_FALSE(fs::exists(Path("home/Pictures/gone")));
    ClickItem(hwnd, IDOK);
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(dialog.GetPath(), W("home/Pictures/gone"));
}

TEST_F(SelectFolderDlgTest, AVirtualItemChoosesNoPathAndMakesNoFolder) {
  testsupport::WriteFileBytes(Path("mounts"), "/dev/sda1 / ext4 rw 0 0\nserver:/export " + Str("share") +
                                                  " nfs rw 0 0\n");
  fs::create_directories(Path("share"));
  CSelectFolderDlg dialog(nullptr);
  dialog.SetPath(W("home/Pictures"));
  pt::OnNextModal([&](HWND hwnd) {
    pt::Pump();
    CFolderTreeCtrl& tree = Tree(hwnd);
    HTREEITEM root = tree.GetRootItem();
    tree.Expand(root, TVE_EXPAND);
    HTREEITEM network = nullptr;
    for (HTREEITEM item = tree.GetChildItem(root); item; item = tree.GetNextSiblingItem(item)) {
      const auto* data = reinterpret_cast<const FolderTreeItemData*>(tree.GetItemData(item));
      if (data && GetPathFromPidl(data->absolute).View().empty()) network = item;
    }
    ASSERT_NE(network, nullptr);
    tree.SelectItem(network);
    EXPECT_EQ(dialog.GetPath(), FString());
    EXPECT_EQ(PathLabel(hwnd), u"");
    EXPECT_FALSE(IsWindowEnabled(Item(hwnd, CSelectFolderDlg::kNewFolderId))) << "nowhere to make a folder";
    ClickItem(hwnd, IDOK);
  });
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(dialog.GetPath(), FString());
}

} // namespace
