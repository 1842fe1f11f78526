#include "shell/frame/MainFrameMenu.h"

#include "shell/frame/CMainFrame.h"

#include <array>
#include <mutex>
#include <string>

namespace {

constexpr MenuCommandText kFile[] = {
    {ID_FILE_OPEN_REVIEW, 1105}, {ID_FILE_OPEN_NEW_REVIEW, 1106}, {0, 0},
    {ID_FILE_BATCH_RENAME, 1107}, {0, 0},
    {ID_FILE_SAVE_IMAGES, 1108}, {ID_FILE_EXTRACT_JPEG, 1156}, {0, 0},
    {ID_FILE_INFO_PALETTE, 1109}, {0, 0},
    {ID_FILE_PRINT_SETUP_CMD, 1110}, {ID_FILE_PRINT_IMAGES, 1111}, {0, 0},
    {ID_FILE_SLIDE_SHOW, 1112}, {0, 0},
    {ID_FILE_PREFERENCES, 1150}, {0, 0},
    {ID_FILE_EXIT, 1113},
};
constexpr MenuCommandText kEdit[] = {
    {ID_EDIT_SELECT_ALL_ITEMS, 1114}, {ID_EDIT_SELECT_MARKED, 1115}, {ID_EDIT_SELECT_LOCKED, 1116},
    {ID_EDIT_SELECT_NONE, 1117}, {ID_EDIT_INVERT_SELECTION, 1118}, {0, 0},
    {ID_EDIT_ROTATE_CW, 1119}, {ID_EDIT_ROTATE_CCW, 1120}, {0, 0},
    {ID_EDIT_MARK, 1121}, {ID_EDIT_LOCK, 1122}, {0, 0},
    {ID_EDIT_DELETE_FILES, 1123}, {0, 0},
    {ID_EDIT_COPY_FILES, 1124}, {ID_EDIT_PASTE_FILES, 1125}, {ID_EDIT_CUT_FILES, 1126}, {0, 0},
    {ID_EDIT_BATCH_WB, 1155}, {ID_EDIT_BATCH_COLOR_MODE, 1157},
};
constexpr MenuCommandText kView[] = {
    {ID_VIEW_SIZE_SMALLEST, 1127}, {ID_VIEW_SIZE_SMALL, 1128}, {ID_VIEW_SIZE_LARGE, 1129},
    {ID_VIEW_SIZE_LARGEST, 1130}, {ID_VIEW_CAPTIONS, 1131}, {0, 0},
    {ID_VIEW_FORMAT_RAW, 1132}, {ID_VIEW_FORMAT_JPEG, 1133}, {ID_VIEW_FORMAT_TIFF, 1134},
    {ID_VIEW_FORMAT_STILL, 1153}, {ID_VIEW_FORMAT_ALL, 1154}, {0, 0},
    {ID_VIEW_STATE_ALL, 1135}, {ID_VIEW_STATE_MARKED, 1136}, {ID_VIEW_STATE_UNMARKED, 1137},
    {ID_VIEW_STATE_LOCKED, 1138}, {ID_VIEW_STATE_UNLOCKED, 1139}, {0, 0},
    {ID_VIEW_SORT_NAME, 1140}, {ID_VIEW_SORT_TYPE, 1141}, {ID_VIEW_SORT_SIZE, 1142}, {ID_VIEW_SORT_DATE, 1143},
    {ID_VIEW_SORT_INVERT, 1144}, {0, 0},
    {ID_VIEW_REFRESH, 1145},
};
constexpr MenuCommandText kTools[] = {{ID_TOOLS_CHECK_MONITOR, 1146}};
constexpr MenuCommandText kHelp[] = {{ID_HELP_MANUAL, 1147}, {ID_HELP_ABOUT, 1148}, {0, 0}, {ID_HELP_WEB_PAGE, 1149}};

constexpr std::array<MenuDropDown, 5> kMenu = {{
    {1100, kFile}, {1101, kEdit}, {1102, kView}, {1103, kTools}, {1104, kHelp}}};

constexpr BYTE kCtrl = FVIRTKEY | FCONTROL;
constexpr BYTE kShift = FVIRTKEY | FSHIFT;
constexpr BYTE kCtrlShift = FVIRTKEY | FCONTROL | FSHIFT;
// The editor's undo and the pane switches have keys but no handler of the frame.
constexpr UINT kIdEditUndo = 0xE12B;
constexpr UINT kIdNextPane = 0xE150;
constexpr UINT kIdPrevPane = 0xE151;

std::vector<ACCEL> Accelerators() {
  auto key = [](BYTE virt, int vk, UINT cmd) {
    return ACCEL{virt, static_cast<WORD>(vk), static_cast<WORD>(cmd)};
  };
  return {
      key(kCtrl, 'O', ID_FILE_OPEN_REVIEW),
      key(kCtrl, 'N', ID_FILE_OPEN_NEW_REVIEW),
      key(kCtrl, 'S', ID_FILE_SAVE_IMAGES),
      key(kCtrl, 'I', ID_FILE_INFO_PALETTE),
      key(kCtrl, 'Q', ID_FILE_EXIT),
      key(kCtrl, 'A', ID_EDIT_SELECT_ALL_ITEMS),
      key(kCtrl, 'K', ID_EDIT_SELECT_MARKED),
      key(FVIRTKEY | FCONTROL | FALT, 'L', ID_EDIT_SELECT_LOCKED),
      key(kCtrl, 'D', ID_EDIT_SELECT_NONE),
      key(kCtrlShift, 'I', ID_EDIT_INVERT_SELECTION),
      key(kCtrl, VK_OEM_6, ID_EDIT_ROTATE_CW),
      key(kCtrl, VK_OEM_4, ID_EDIT_ROTATE_CCW),
      key(kCtrl, 'M', ID_EDIT_MARK),
      key(kCtrl, 'L', ID_EDIT_LOCK),
      key(FVIRTKEY, VK_DELETE, ID_EDIT_DELETE_FILES),
      key(kCtrl, 'C', ID_EDIT_COPY_FILES),
      key(kCtrl, VK_INSERT, ID_EDIT_COPY_FILES),
      key(kCtrl, 'V', ID_EDIT_PASTE_FILES),
      key(kShift, VK_INSERT, ID_EDIT_PASTE_FILES),
      key(kCtrl, 'X', ID_EDIT_CUT_FILES),
      key(kShift, VK_DELETE, ID_EDIT_CUT_FILES),
      key(kCtrl, 'B', ID_EDIT_BATCH_WB),
      key(kCtrl, 'F', ID_VIEW_FORMAT_RAW),
      key(kCtrlShift, 'A', ID_VIEW_STATE_ALL),
      key(kCtrlShift, 'N', ID_VIEW_SORT_NAME),
      key(kCtrlShift, 'D', ID_VIEW_SORT_DATE),
      key(kCtrl, 'R', ID_VIEW_SORT_INVERT),
      key(FVIRTKEY, VK_F1 + 4, ID_VIEW_REFRESH), // F5
      key(FVIRTKEY, VK_F1, ID_HELP_MANUAL),
      key(kCtrl, 'Z', kIdEditUndo),
      key(FVIRTKEY | FALT, VK_BACK, kIdEditUndo),
      key(FVIRTKEY, VK_F1 + 5, kIdNextPane), // F6
      key(kShift, VK_F1 + 5, kIdPrevPane),
  };
}

// Until LoadMenuTexts runs, a caption is its text's number.
std::u16string Placeholder(int textId) {
  std::string digits = std::to_string(textId);
  return std::u16string(digits.begin(), digits.end());
}

} // namespace

std::span<const MenuDropDown> MainFrameMenuLayout() { return kMenu; }

int MainFrameMenuTextId(UINT commandId) {
  for (const MenuDropDown& dropDown : kMenu) {
    for (const MenuCommandText& command : dropDown.commands) {
      if (command.id == commandId && command.id != 0) {
        return command.textId;
      }
    }
  }
  return 0;
}

void RegisterMainFrameResources() {
  static std::once_flag once;
  std::call_once(once, [] {
    std::vector<MenuTemplateItem> bar;
    for (const MenuDropDown& dropDown : kMenu) {
      MenuTemplateItem popup{0, Placeholder(dropDown.textId), 0, {}};
      for (const MenuCommandText& command : dropDown.commands) {
        popup.items.push_back(command.id == 0 ? MenuTemplateItem{0, u"", MF_SEPARATOR, {}}
                                              : MenuTemplateItem{command.id, Placeholder(command.textId), 0, {}});
      }
      bar.push_back(std::move(popup));
    }
    platform::RegisterMenuTemplate(IDR_MAINFRAME, std::move(bar));
    platform::RegisterAcceleratorTable(IDR_MAINFRAME, Accelerators());
  });
}
