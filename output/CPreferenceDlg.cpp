#include "output/CPreferenceDlg.h"

#include "shell/app/CLumitraApp.h"
#include "shell/app/ClipboardData.h"
#include "shell/app/FileTypeCommand.h"
#include "shell/dialogs/CMessageDlg.h"
#include "shell/dialogs/DialogLayout.h"
#include "toolkit/FileOperations.h"

#include "foundation/FPath.h"
#include "platform/afx/AfxCommonDialogs.h"
#include "platform/win/WinGdiText.h"

#include <mutex>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kTitleTextId = 6200;
constexpr int kSystemPlayerTextId = 6205;
constexpr int kBrowseTitleTextId = 6218;
constexpr int kAllFilesTextId = 128;
constexpr int kProgramsTextId = 129;
constexpr int kNotAProgramTextId = 6220;
constexpr int kOKTextId = 6216;
constexpr int kCancelTextId = 6217;

constexpr int kClientWidth = 447;
constexpr int kClientHeight = 460;

// Every check box, radio button and the browse button stand on this, as do
// the group boxes' fills.
constexpr COLORREF kPanelColour = RGB(100, 98, 99);
constexpr COLORREF kBlack = RGB(0, 0, 0);

constexpr UINT kLabelFormat = DT_VCENTER | DT_SINGLELINE;
constexpr UINT kButtonFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE;

struct Control {
  int id;
  RECT rect;
  int textId; // 0: none
};

constexpr std::array<Control, 4> kHeadings{{{1198, {20, 5, 400, 20}, 6201},
                                            {1200, {20, 88, 400, 103}, 6204},
                                            {1203, {20, 199, 400, 214}, 6208},
                                            {1208, {20, 342, 400, 357}, 6213}}};
constexpr std::array<Control, 4> kBoxes{{{1143, {13, 24, 434, 69}, 0},
                                         {1144, {13, 108, 434, 180}, 0},
                                         {1145, {13, 219, 434, 323}, 0},
                                         {1146, {13, 362, 434, 406}, 0}}};
constexpr std::array<Control, 4> kSeparators{{{1212, {13, 78, 434, 79}, 0},
                                              {1213, {13, 189, 434, 190}, 0},
                                              {1214, {13, 332, 434, 333}, 0},
                                              {1215, {13, 415, 434, 416}, 0}}};
constexpr Control kSplash{CPreferenceDlg::kSplashId, {22, 29, 400, 44}, 6202};
constexpr Control kJPEGAlert{CPreferenceDlg::kJPEGAlertId, {22, 49, 400, 64}, 6203};
constexpr Control kSystemPlayer{CPreferenceDlg::kSystemPlayerId, {22, 112, 400, 127}, kSystemPlayerTextId};
constexpr Control kChosenPlayer{CPreferenceDlg::kChosenPlayerId, {22, 132, 400, 147}, 6206};
constexpr Control kBrowse{CPreferenceDlg::kBrowseId, {22, 152, 100, 175}, 6207};
constexpr Control kPlayerPath{CPreferenceDlg::kPlayerPathId, {108, 152, 421, 170}, 0};
// In screen order: as recorded, sRGB, Apple RGB, Adobe RGB, ProPhoto.
constexpr auto& kSpaceIds = CPreferenceDlg::kColorSpaceIds;
constexpr std::array<Control, 5> kColorSpaces{{{kSpaceIds[0], {22, 223, 400, 238}, 6209},
                                               {kSpaceIds[1], {22, 243, 400, 258}, 6210},
                                               {kSpaceIds[2], {22, 263, 400, 278}, 6212},
                                               {kSpaceIds[3], {22, 283, 400, 298}, 6211},
                                               {kSpaceIds[4], {22, 303, 400, 318}, 6219}}};
constexpr auto& kPlaceIds = CPreferenceDlg::kSavePlaceIds;
constexpr std::array<Control, 2> kSavePlaces{
    {{kPlaceIds[0], {22, 366, 400, 381}, 6214}, {kPlaceIds[1], {22, 386, 400, 401}, 6215}}};
constexpr Control kOK{IDOK, {108, 427, 216, 450}, kOKTextId};
constexpr Control kCancel{IDCANCEL, {239, 427, 347, 450}, kCancelTextId};

void RegisterTemplate() {
  static std::once_flag once;
  std::call_once(once, [] {
    using dialogs::PixelItem;
    constexpr DWORD button = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
    std::vector<DialogItemTemplate> items;
    auto add = [&](const Control& control, const char16_t* className, DWORD style) {
      items.push_back(PixelItem(control.id, className, style, control.rect));
    };
    // Each section: its heading, its box, its buttons (over the box), the line under it.
    add(kHeadings[0], u"Static", WS_VISIBLE);
    add(kBoxes[0], u"Static", WS_VISIBLE);
    add(kSplash, u"Button", button);
    add(kJPEGAlert, u"Button", button);
    add(kSeparators[0], u"Static", WS_VISIBLE);
    add(kHeadings[1], u"Static", WS_VISIBLE);
    add(kBoxes[1], u"Static", WS_VISIBLE);
    add(kSystemPlayer, u"Button", button);
    add(kChosenPlayer, u"Button", button);
    add(kBrowse, u"Button", button);
    add(kPlayerPath, WC_EDIT, WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL);
    add(kSeparators[1], u"Static", WS_VISIBLE);
    add(kHeadings[2], u"Static", WS_VISIBLE);
    add(kBoxes[2], u"Static", WS_VISIBLE);
    for (const Control& control : kColorSpaces) add(control, u"Button", button);
    add(kSeparators[2], u"Static", WS_VISIBLE);
    add(kHeadings[3], u"Static", WS_VISIBLE);
    add(kBoxes[3], u"Static", WS_VISIBLE);
    for (const Control& control : kSavePlaces) add(control, u"Button", button);
    add(kSeparators[3], u"Static", WS_VISIBLE);
    add(kOK, u"Button", button);
    add(kCancel, u"Button", button);
    dialogs::RegisterPixelTemplate(CPreferenceDlg::kTemplate, {kClientWidth, kClientHeight}, std::move(items));
  });
}

// The index of the id in the group, -1 when it is not one of them.
template <size_t N>
int IndexOf(const std::array<int, N>& ids, int id) {
  for (size_t i = 0; i < N; ++i) {
    if (ids[i] == id) return static_cast<int>(i);
  }
  return -1;
}

// The default program's file name: the text after the last separator of
// what opens ".avi" files, empty when nothing does.
std::u16string DefaultPlayerName() {
  return std::u16string(GetFileNamePart(GetAssociatedProgram(u".avi")).View());
}

} // namespace

bool IsRunnableProgram(const FString& path) {
  std::string bytes;
  struct stat info {};
  return PathIsAbsolute(path) && PathToNative(path, bytes) && ::stat(bytes.c_str(), &info) == 0 &&
         S_ISREG(info.st_mode) && ::access(bytes.c_str(), X_OK) == 0;
}

BEGIN_MESSAGE_MAP(CPreferenceDlg, CDialogBase)
ON_CONTROL(BN_CLICKED, CPreferenceDlg::kSystemPlayerId, OnSystemPlayer)
ON_CONTROL(BN_CLICKED, CPreferenceDlg::kChosenPlayerId, OnChosenPlayer)
ON_CONTROL(BN_CLICKED, CPreferenceDlg::kBrowseId, OnBrowsePlayer)
END_MESSAGE_MAP()

CPreferenceDlg::CPreferenceDlg(CWnd* parent) : CDialogBase(kTemplate, parent) { RegisterTemplate(); }

CPreferenceDlg::~CPreferenceDlg() = default;

void CPreferenceDlg::DoDataExchange(CDataExchange* dx) {
  CDialogBase::DoDataExchange(dx);
  for (size_t i = 0; i < m_Headings.size(); ++i) {
    DDX_Control(dx, kHeadings[i].id, m_Headings[i]);
    DDX_Control(dx, kBoxes[i].id, m_Boxes[i]);
    DDX_Control(dx, kSeparators[i].id, m_Separators[i]);
  }
  DDX_Control(dx, kSplashId, m_Splash);
  DDX_Control(dx, kJPEGAlertId, m_JPEGAlert);
  DDX_Control(dx, kSystemPlayerId, m_SystemPlayer);
  DDX_Control(dx, kChosenPlayerId, m_ChosenPlayer);
  DDX_Control(dx, kBrowseId, m_Browse);
  DDX_Control(dx, kPlayerPathId, m_PlayerPath);
  for (size_t i = 0; i < m_ColorSpaces.size(); ++i) DDX_Control(dx, kColorSpaces[i].id, m_ColorSpaces[i]);
  for (size_t i = 0; i < m_SavePlaces.size(); ++i) DDX_Control(dx, kSavePlaces[i].id, m_SavePlaces[i]);
  DDX_Control(dx, IDOK, m_OK);
  DDX_Control(dx, IDCANCEL, m_Cancel);
}

BOOL CPreferenceDlg::OnInitDialog() {
  CDialogBase::OnInitDialog();
  SetWindowText(dialogs::TableText(kTitleTextId).c_str());
  SetUpLooks();
  LayoutControls();
  SelectMoviePlayer(0);
  SelectColorSpace(0);
  // The program that opens movies, when the desktop names one.
  const std::u16string player = DefaultPlayerName();
  m_SystemPlayer.SetText(dialogs::TableText(kSystemPlayerTextId) + (player.empty() ? u"" : u" (" + player + u")"));
  ReadSettings();
  if (PlayerPath().View().empty()) {
    m_PlayerPath.EnableWindow(FALSE);
    SelectMoviePlayer(0);
  }
  return TRUE;
}

void CPreferenceDlg::SetUpLooks() {
  for (CCheckBox* box : {&m_Splash, &m_JPEGAlert}) box->SetIconStyle(0);
  for (CCheckBox* radio : {&m_SystemPlayer, &m_ChosenPlayer}) radio->SetIconStyle(1);
  for (CCheckBox& radio : m_ColorSpaces) radio.SetIconStyle(1);
  for (CCheckBox& radio : m_SavePlaces) radio.SetIconStyle(1);
  for (CGroupeBoxBase& box : m_Boxes) box.SetColors(kBlack, kPanelColour);
  for (CGroupeBoxBase& line : m_Separators) line.SetRoundCorners(0);

  for (size_t i = 0; i < m_Headings.size(); ++i) m_Headings[i].SetStringId(kHeadings[i].textId, kLabelFormat, FALSE);
  const std::pair<CCheckBox*, const Control*> boxes[] = {
      {&m_Splash, &kSplash}, {&m_JPEGAlert, &kJPEGAlert}, {&m_SystemPlayer, &kSystemPlayer},
      {&m_ChosenPlayer, &kChosenPlayer}};
  for (const auto& [box, control] : boxes) box->SetStringId(control->textId, kLabelFormat);
  for (size_t i = 0; i < m_ColorSpaces.size(); ++i) m_ColorSpaces[i].SetStringId(kColorSpaces[i].textId, kLabelFormat);
  for (size_t i = 0; i < m_SavePlaces.size(); ++i) m_SavePlaces[i].SetStringId(kSavePlaces[i].textId, kLabelFormat);
  m_Browse.SetStringId(kBrowse.textId, kButtonFormat);
  m_OK.SetStringId(kOK.textId, kButtonFormat);
  m_Cancel.SetStringId(kCancel.textId, kButtonFormat);

  for (CCheckBox* box : {&m_Splash, &m_JPEGAlert, &m_SystemPlayer, &m_ChosenPlayer}) box->SetBkColor(kPanelColour);
  for (CCheckBox& radio : m_ColorSpaces) radio.SetBkColor(kPanelColour);
  for (CCheckBox& radio : m_SavePlaces) radio.SetBkColor(kPanelColour);
  m_Browse.SetBkColor(kPanelColour);
}

void CPreferenceDlg::LayoutControls() {
  dialogs::SetClientSize(*this, kClientWidth, kClientHeight);
  for (size_t i = 0; i < m_Headings.size(); ++i) {
    dialogs::Place(m_Headings[i], kHeadings[i].rect);
    dialogs::Place(m_Boxes[i], kBoxes[i].rect);
    dialogs::Place(m_Separators[i], kSeparators[i].rect);
  }
  dialogs::Place(m_Splash, kSplash.rect);
  dialogs::Place(m_JPEGAlert, kJPEGAlert.rect);
  dialogs::Place(m_SystemPlayer, kSystemPlayer.rect);
  dialogs::Place(m_ChosenPlayer, kChosenPlayer.rect);
  dialogs::Place(m_Browse, kBrowse.rect);
  dialogs::Place(m_PlayerPath, kPlayerPath.rect);
  for (size_t i = 0; i < m_ColorSpaces.size(); ++i) dialogs::Place(m_ColorSpaces[i], kColorSpaces[i].rect);
  for (size_t i = 0; i < m_SavePlaces.size(); ++i) dialogs::Place(m_SavePlaces[i], kSavePlaces[i].rect);
  dialogs::Place(m_OK, kOK.rect);
  dialogs::Place(m_Cancel, kCancel.rect);
}

void CPreferenceDlg::ReadSettings() {
  CAppSettings& settings = *GetLumitraApp()->GetSettings();
  int splash = 0, jpegAlert = 0, player = 0, colorSpace = 0, savePlace = 0;
  FString playerPath;
  settings.Lock();
  splash = settings.m_nSplash;
  jpegAlert = settings.m_nJPEGAlert;
  player = settings.m_nAnimationApp;
  playerPath = settings.m_strSelAppName;
  colorSpace = settings.m_nKVRColorSpace;
  savePlace = settings.m_nSavePlace;
  settings.Unlock();
  m_Splash.SetCheck(splash != 0 ? 1 : 0);
  m_JPEGAlert.SetCheck(jpegAlert != 0 ? 1 : 0);
  SelectMoviePlayer(player);
  m_PlayerPath.SetWindowText(playerPath.GetText());
  SelectColorSpace(colorSpace);
  SelectSavePlace(savePlace);
}

FString CPreferenceDlg::PlayerPath() const { return FString(m_PlayerPath.GetWindowText()); }

void CPreferenceDlg::SelectMoviePlayer(int mode) {
  m_SystemPlayer.SetCheck(mode == 0 ? 1 : 0);
  m_ChosenPlayer.SetCheck(mode == 1 ? 1 : 0);
  if (mode == 0 || mode == 1) {
    m_PlayerPath.EnableWindow(mode == 1 ? TRUE : FALSE);
    m_Browse.EnableWindow(mode == 1 ? TRUE : FALSE);
  }
}

void CPreferenceDlg::SelectColorSpace(int space) {
  for (size_t i = 0; i < m_ColorSpaces.size(); ++i) m_ColorSpaces[i].SetCheck(static_cast<int>(i) == space ? 1 : 0);
}

void CPreferenceDlg::SelectSavePlace(int place) {
  for (size_t i = 0; i < m_SavePlaces.size(); ++i) m_SavePlaces[i].SetCheck(static_cast<int>(i) == place ? 1 : 0);
}

int CPreferenceDlg::GetMoviePlayerMode() const {
  return m_SystemPlayer.GetCheck() == 0 && m_ChosenPlayer.GetCheck() != 0 ? 1 : 0;
}

int CPreferenceDlg::GetColorSpace() const {
  for (size_t i = 0; i < m_ColorSpaces.size(); ++i) {
    if (m_ColorSpaces[i].GetCheck() != 0) return static_cast<int>(i);
  }
  return 0;
}

int CPreferenceDlg::GetSavePlace() const {
  return m_SavePlaces[0].GetCheck() == 0 && m_SavePlaces[1].GetCheck() != 0 ? 1 : 0;
}

BOOL CPreferenceDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  if (HIWORD(wParam) == BN_CLICKED) {
    const int id = LOWORD(wParam);
    if (const int space = IndexOf(kColorSpaceIds, id); space >= 0) {
      SelectColorSpace(space);
      return TRUE;
    }
    if (const int place = IndexOf(kSavePlaceIds, id); place >= 0) {
      SelectSavePlace(place);
      return TRUE;
    }
  }
  return CDialogBase::OnCommand(wParam, lParam);
}

void CPreferenceDlg::OnSystemPlayer() { SelectMoviePlayer(0); }

void CPreferenceDlg::OnChosenPlayer() {
  SelectMoviePlayer(1);
  if (PlayerPath().View().empty()) OnBrowsePlayer();
}

void CPreferenceDlg::OnBrowsePlayer() {
  const std::u16string remembered = m_PlayerPath.GetWindowText();
  FArray<FString> filters;
  for (const FString& text : {FString(dialogs::TableText(kProgramsTextId)), FString(u"*"),
                              FString(dialogs::TableText(kAllFilesTextId)), FString(u"*.*")}) {
    filters.Append(text);
  }
  std::u16string filterList(static_cast<size_t>(BuildMultiString(nullptr, 0, filters)), u'\0');
  BuildMultiString(filterList.data(), static_cast<int>(filterList.size()), filters);
  const std::u16string title = dialogs::TableText(kBrowseTitleTextId);

  CFileDialog dialog(TRUE, nullptr, nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, nullptr, this);
  dialog.m_ofn.lpstrFilter = filterList.c_str();
  dialog.m_ofn.nFilterIndex = 1;
  dialog.m_ofn.lpstrTitle = title.c_str();
  if (dialog.DoModal() == IDOK) {
    m_PlayerPath.SetWindowText(dialog.GetPathName().c_str());
    return;
  }
  m_PlayerPath.SetWindowText(remembered.c_str());
  if (remembered.empty()) SelectMoviePlayer(0);
}

void CPreferenceDlg::OnOK() {
  const FString playerPath = PlayerPath();
  const int player = GetMoviePlayerMode();
  // Movies would fail to open later, with no hint why: say so now.
  if (player == 1 && !IsRunnableProgram(playerPath)) {
    ShowTableMessage(this, kMessageStyleOK, kNotAProgramTextId);
    return;
  }
  CAppSettings& settings = *GetLumitraApp()->GetSettings();
  settings.Lock();
  settings.m_nSplash = m_Splash.GetCheck() != 0 ? 1 : 0;
  settings.m_nJPEGAlert = m_JPEGAlert.GetCheck() != 0 ? 1 : 0;
  settings.m_nAnimationApp = player;
  settings.m_strSelAppName = playerPath;
  settings.m_nKVRColorSpace = GetColorSpace();
  settings.m_nSavePlace = GetSavePlace();
  settings.Unlock();
  CDialogBase::OnOK();
}
