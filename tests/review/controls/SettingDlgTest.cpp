// The saved-setting dialog: its look in both modes, when OK may be pressed
// (a table of what the person does and whether OK is enabled after each
// step), and the name it hands back.

#include "platform/testing/Headless.h"
#include "review/controls/CKVRSettingDlg.h"
#include "shell/dialogs/DialogTestSupport.h"

#include "platform/win/WinControls.h"

#include <functional>
#include <vector>

namespace {

const std::vector<std::u16string> kNames = {u"Portrait", u"Evening light", u"Studio"};

bool OKEnabled(HWND dialog) { return IsWindowEnabled(Item(dialog, IDOK)) != FALSE; }

// A click on a row of the names list, as the person selects it.
void ClickRow(HWND dialog, int row) {
  HWND list = Item(dialog, CKVRSettingDlg::kListId);
  RECT item{};
  ASSERT_NE(SendMessageW(list, LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&item)), LB_ERR);
  pt::Click(list, {(item.left + item.right) / 2, (item.top + item.bottom) / 2});
  pt::Pump();
}

void SetName(HWND dialog, const std::u16string& text) {
  SetWindowTextW(Item(dialog, CKVRSettingDlg::kNameEditId), text.c_str());
  pt::Pump();
}

void ClickButton(HWND dialog, int id) {
  ClickItem(dialog, id);
  pt::Pump();
}

class SettingDlg : public DialogTest {};

} // namespace

TEST_F(SettingDlg, EachModeShowsItsControlsAtTheirPlaces) {
  struct Case {
    int mode;
    int titleId;
    CRect list;
    bool nameShown;
  };
  for (const Case& c : {Case{CKVRSettingDlg::kNameMode, 4500, {10, 30, 310, 190}, true},
                        Case{CKVRSettingDlg::kPickMode, 4501, {10, 30, 310, 240}, false}}) {
    SCOPED_TRACE(c.mode);
    CKVRSettingDlg dialog(c.mode);
    dialog.SetNameList(kNames);
    pt::OnNextModal([&](HWND hwnd) {
      EXPECT_EQ(ClientSize(hwnd), CSize(320, 283));
      EXPECT_EQ(WindowText(hwnd), Text(c.titleId));
      EXPECT_EQ(PlaceOf(hwnd, CKVRSettingDlg::kListLabelId), CRect(10, 10, 310, 25));
      EXPECT_EQ(PlaceOf(hwnd, CKVRSettingDlg::kListId), c.list);
      EXPECT_EQ(PlaceOf(hwnd, IDOK), CRect(50, 250, 155, 273));
      EXPECT_EQ(PlaceOf(hwnd, IDCANCEL), CRect(170, 250, 275, 273));
      EXPECT_EQ(Shown(hwnd, CKVRSettingDlg::kNameEditId), c.nameShown);
      EXPECT_EQ(Shown(hwnd, CKVRSettingDlg::kNameLabelId), c.nameShown);
      EXPECT_EQ(SendMessageW(Item(hwnd, CKVRSettingDlg::kListId), LB_GETCOUNT, 0, 0), 3);
      EXPECT_FALSE(OKEnabled(hwnd));
      Render(hwnd, c.mode == CKVRSettingDlg::kNameMode ? "SettingDlgNameMode.png" : "SettingDlgPickMode.png");
      ClickButton(hwnd, IDCANCEL);
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_TRUE(dialog.GetSettingName().empty());
  }
}

TEST_F(SettingDlg, OKIsEnabledOnlyForANameThatMayBeAccepted) {
  struct Step {
    std::function<void(HWND)> act;
    bool okEnabled;
  };
  struct Case {
    const char* what;
    int mode;
    std::vector<Step> steps;
  };
  const std::u16string userSetting = Text(CKVRSettingDlg::kUserSettingTextId);
  ASSERT_FALSE(userSetting.empty());
  const std::vector<Case> cases = {
      {"name mode: a typed name", CKVRSettingDlg::kNameMode,
       {{[](HWND d) { SetName(d, u"Night"); }, true}, {[](HWND d) { SetName(d, u""); }, false}}},
      {"name mode: the user setting's name, also after a pick", CKVRSettingDlg::kNameMode,
       {{[&](HWND d) { SetName(d, userSetting); }, false},
        {[](HWND d) { ClickRow(d, 1); }, true},
        {[&](HWND d) { SetName(d, userSetting); }, false}}},
      {"name mode: the name's case counts", CKVRSettingDlg::kNameMode,
       {{[](HWND d) { SetName(d, u"default"); }, true}}},
      {"pick mode: a pick", CKVRSettingDlg::kPickMode, {{[](HWND d) { ClickRow(d, 2); }, true}}},
      {"pick mode: typing never enables", CKVRSettingDlg::kPickMode,
       {{[](HWND d) { SetName(d, u"Night"); }, false}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CKVRSettingDlg dialog(c.mode);
    dialog.SetNameList(kNames);
    pt::OnNextModal([&](HWND hwnd) {
      for (std::size_t i = 0; i < c.steps.size(); ++i) {
        c.steps[i].act(hwnd);
        EXPECT_EQ(OKEnabled(hwnd), c.steps[i].okEnabled) << "after step " << i;
      }
      ClickButton(hwnd, IDCANCEL);
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  }
}

TEST_F(SettingDlg, OKHandsBackThePickedOrTypedName) {
  struct Case {
    const char* what;
    int mode;
    std::function<void(HWND)> act;
    std::u16string name;
  };
  const std::vector<Case> cases = {
      {"a pick fills the edit", CKVRSettingDlg::kNameMode, [](HWND d) { ClickRow(d, 1); }, u"Evening light"},
      {"a pick, then typed over", CKVRSettingDlg::kNameMode,
       [](HWND d) {
         ClickRow(d, 1);
         SetName(d, u"Evening light 2");
       },
       u"Evening light 2"},
      {"an existing name typed", CKVRSettingDlg::kNameMode, [](HWND d) { SetName(d, u"Studio"); }, u"Studio"},
      {"a pick in pick mode", CKVRSettingDlg::kPickMode, [](HWND d) { ClickRow(d, 0); }, u"Portrait"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CKVRSettingDlg dialog(c.mode);
    dialog.SetNameList(kNames);
    pt::OnNextModal([&](HWND hwnd) {
      c.act(hwnd);
      if (c.mode == CKVRSettingDlg::kNameMode) {
        EXPECT_EQ(WindowText(Item(hwnd, CKVRSettingDlg::kNameEditId)), c.name);
      }
      ClickButton(hwnd, IDOK);
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.GetSettingName(), c.name);
  }
}

TEST_F(SettingDlg, AnEmptyListInPickModeLeavesOnlyCancel) {
  CKVRSettingDlg dialog(CKVRSettingDlg::kPickMode);
  pt::OnNextModal([&](HWND hwnd) {
    EXPECT_FALSE(OKEnabled(hwnd));
    pt::SystemKey(VK_RETURN); // Enter on a disabled OK does nothing
    pt::Pump();
    EXPECT_TRUE(IsWindow(hwnd));
    pt::SystemKey(VK_ESCAPE);
  });
  EXPECT_EQ(dialog.DoModal(), IDCANCEL);
  EXPECT_TRUE(dialog.GetSettingName().empty());
}
