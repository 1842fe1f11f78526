#include "review/palettes/CInfoPalette.h"

#include "review/palettes/AdjustPaletteLinks.h"
#include "shell/app/AppClipboard.h"
#include "shell/app/AppMessages.h"
#include "shell/app/CLumitraApp.h"
#include "shell/dialogs/DialogLayout.h"
#include "shell/frame/CMainFrame.h"
#include "toolkit/PictureFileTypes.h"
#include "toolkit/TextTable.h"

#include "platform/win/WinControls.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <tuple>

CInfoPalette* CInfoPalette::s_pInstance = nullptr;

namespace {

constexpr COLORREF kFill = RGB(217, 217, 217);
constexpr int kTitleTextId = 3000;
constexpr int kNoFileTextId = 3003;
constexpr int kFirstStaticTextId = 3004; // to 3011, one per static
constexpr int kListFontTextId = 3012;
constexpr int kSeveralFilesTextId = 3013;
constexpr int kShootingTitleTextId = 3039;
constexpr int kFileNameTextId = 3069;
constexpr int kCopyTextId = 3001;
constexpr int kCloseTextId = 3002;

constexpr UINT kCentredFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
constexpr UINT kLabelFormat = DT_LEFT | DT_VCENTER | DT_SINGLELINE;
// The location is a path: cut with an ellipsis, and its "&" is a character.
constexpr UINT kLocationFormat = DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_MODIFYSTRING | DT_NOPREFIX;

constexpr RECT kGroupRect{5, 5, 455, 120};
constexpr RECT kPictureRect{20, 20, 110, 110};
constexpr std::array<RECT, 8> kStaticRects{{{130, 20, 230, 36},
                                            {240, 20, 450, 36},
                                            {130, 36, 230, 52},
                                            {240, 36, 450, 52},
                                            {130, 52, 230, 68},
                                            {240, 52, 450, 68},
                                            {130, 68, 230, 84},
                                            {135, 84, 450, 100}}};
constexpr RECT kShootingListRect{5, 124, 455, 420};
constexpr RECT kSettingsListRect{5, 424, 455, 566};
constexpr RECT kCopyRect{70, 570, 270, 593};
constexpr RECT kCloseRect{290, 570, 395, 593};

constexpr int kFormatValue = 1;
constexpr int kSizeValue = 3;
constexpr int kFileSizeValue = 5;
constexpr int kLocationValue = 7;

// The shooting list: a label and a value column.
constexpr int kShootingColumnWidth = 240;
constexpr std::array<int, InfoPaletteTexts::kShootingRows> kShootingLabelTextIds{
    3039, 3040, 3041, 3042, 3043, 3070, 3044, 3045, 3046, 3047, 3048, 3049, 3050, 3051, 3052, 3053, 3054};
constexpr int kWhiteBalanceRow = 4;
constexpr int kColorModeRow = 5;
// Its icons, image index 1 to 7: the resolution and metering marks.
struct ListIcon {
  int resource;
  int width;
  int height;
};
constexpr std::array<ListIcon, 7> kShootingIcons{
    {{215, 12, 12}, {216, 12, 12}, {211, 12, 12}, {212, 16, 12}, {213, 16, 12}, {214, 15, 11}, {285, 16, 12}}};

// The settings list: two label and value pairs a row.
constexpr int kSettingsColumnWidth = 120;
struct SettingsLabel {
  int row;
  int column;
  int textId;
};
constexpr std::array<SettingsLabel, 8> kSettingsLabels{
    {{1, 0, 3057}, {1, 2, 3063}, {2, 0, 3058}, {2, 2, 3064}, {3, 0, 3059}, {3, 2, 3065}, {4, 0, 3060}, {4, 2, 3066}}};
constexpr int kNoiseRow = 5;
// Cell masks of the settings list: a bit per column.
constexpr unsigned kAllColumns = 0b1111;
constexpr unsigned kValueColumns = 0b1010;
constexpr unsigned kFirstValueColumn = 0b0010;

void RegisterTemplate() {
  static std::once_flag once;
  std::call_once(once, [] {
    using dialogs::PixelItem;
    const DWORD hidden = 0;
    std::vector<DialogItemTemplate> items{PixelItem(CInfoPalette::kGroupId, u"Static", WS_VISIBLE, kGroupRect),
                                          PixelItem(CInfoPalette::kPictureId, u"MiniImageWnd", hidden, kPictureRect)};
    for (int i = 0; i < 8; ++i) {
      items.push_back(PixelItem(CInfoPalette::kFirstStaticId + i, u"Static", hidden, kStaticRects[i]));
    }
    const DWORD list = WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_NOSCROLL | LVS_ALIGNLEFT;
    items.push_back(PixelItem(CInfoPalette::kShootingListId, WC_LISTVIEW, list, kShootingListRect));
    items.push_back(PixelItem(CInfoPalette::kSettingsListId, WC_LISTVIEW, list, kSettingsListRect));
    const DWORD button = WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW;
    items.push_back(PixelItem(CInfoPalette::kCopyId, u"Button", button | WS_DISABLED, kCopyRect));
    items.push_back(PixelItem(CInfoPalette::kCloseId, u"Button", button, kCloseRect));
    dialogs::RegisterPixelTemplate(CInfoPalette::kTemplate, {CInfoPalette::kClientWidth, CInfoPalette::kClientHeight},
                                   std::move(items));
    DialogTemplate t = *platform::FindDialogTemplate(CInfoPalette::kTemplate);
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE;
    t.exStyle = WS_EX_TOOLWINDOW;
    platform::RegisterDialogTemplate(t);
  });
}

// The program's own services.
class ApplicationServices : public IInfoPaletteServices {
public:
  void GetSelectedThumbnails(CET_ThumbnailDataManager* list) override {
    if (CMainFrame* frame = GetMainFrame()) frame->GetSelectedThumbnails(list);
  }
  BOOL GetExif(const FString& path, CTLM_Exif* record) override {
    CLumitraApp* app = GetLumitraApp();
    return app && app->GetExif(path, record);
  }
  BOOL CopyText(const FString& text) override { return CopyTextToClipboard(text); }
};

CAppSettings* Settings() {
  CLumitraApp* app = GetLumitraApp();
  return app ? app->GetSettings() : nullptr;
}

HICON LoadListIcon(const ListIcon& icon) {
  return static_cast<HICON>(static_cast<void*>(
      LoadImageW(nullptr, MAKEINTRESOURCEW(icon.resource), IMAGE_ICON, icon.width, icon.height, LR_DEFAULTCOLOR)));
}

std::u16string CellText(const CListCtrlInfo& list, int row, int column) { return list.GetItemText(row, column); }

void SetCell(CListCtrlInfo& list, int row, int column, const std::u16string& text, int image = 0) {
  list.SetItem(row, column, LVIF_TEXT | LVIF_IMAGE, text.c_str(), image);
}

} // namespace

IInfoPaletteServices& ApplicationInfoPaletteServices() {
  static ApplicationServices services;
  return services;
}

BEGIN_MESSAGE_MAP(CInfoPalette, CPaletteBase)
  ON_MESSAGE(WM_APP_SHOW_INFO, OnShowInfo)
  ON_MESSAGE(WM_APP_ACTIVE_IMAGE, OnActiveImage)
  ON_MESSAGE(WM_APP_WB_CHANGED, OnWBChanged)
  ON_MESSAGE(WM_APP_SAVE_SETTINGS, OnSettingsSaved)
  ON_MESSAGE(WM_APP_COLORMODE_CHANGED, OnColorModeChanged)
  ON_MESSAGE(WM_APP_NOISE_CHANGED, OnNoiseChanged)
  ON_COMMAND(CInfoPalette::kCopyId, OnCopyToClipboard)
  ON_COMMAND(CInfoPalette::kCloseId, OnCloseButton)
END_MESSAGE_MAP()

CInfoPalette::CInfoPalette(IInfoPaletteServices* services)
    : CPaletteBase(kTemplate, nullptr),
      m_pServices(services ? services : &ApplicationInfoPaletteServices()),
      m_Texts(&dialogs::TableText) {
  RegisterTemplate();
}

CInfoPalette::~CInfoPalette() {
  m_Record.Reset();
  m_bPending = 0;
  if (s_pInstance == this) s_pInstance = nullptr;
}

CInfoPalette* CInfoPalette::Open(IInfoPaletteServices* services) {
  if (!s_pInstance) {
    s_pInstance = new CInfoPalette(services);
    if (!s_pInstance->Create(kTemplate, CWnd::FromHandle(GetDesktopWindow()))) {
      delete s_pInstance;
      s_pInstance = nullptr;
    }
  }
  return s_pInstance;
}

BOOL CInfoPalette::Close() {
  if (!s_pInstance) return FALSE;
  const BOOL destroyed = s_pInstance->DestroyWindow();
  // The window's end deletes the palette and clears the pointer; a window
  // that never got that far leaves the object to delete here.
  delete s_pInstance;
  s_pInstance = nullptr;
  return destroyed;
}

void CInfoPalette::PostNcDestroy() {
  s_pInstance = nullptr;
  delete this;
}

void CInfoPalette::DoDataExchange(CDataExchange* dx) {
  CPaletteBase::DoDataExchange(dx);
  DDX_Control(dx, kGroupId, m_Group);
  DDX_Control(dx, kPictureId, m_Picture);
  for (int i = 0; i < 8; ++i) DDX_Control(dx, kFirstStaticId + i, m_Statics[i]);
  DDX_Control(dx, kShootingListId, m_ShootingList);
  DDX_Control(dx, kSettingsListId, m_SettingsList);
  DDX_Control(dx, kCopyId, m_Copy);
  DDX_Control(dx, kCloseId, m_Close);
}

BOOL CInfoPalette::OnInitDialog() {
  CPaletteBase::OnInitDialog();
  PlaceWindow();
  SetWindowText(dialogs::TableText(kTitleTextId).c_str());
  InitControls();
  return TRUE;
}

void CInfoPalette::PlaceWindow() {
  RECT saved{};
  if (CAppSettings* settings = Settings()) {
    CAppSettingsLock lock(*settings);
    saved = settings->m_rcInfoWindow;
  }
  CRect outer, client;
  GetWindowRect(outer);
  GetClientRect(client);
  const int width = outer.Width() - client.Width() + kClientWidth;
  const int height = outer.Height() - client.Height() + kClientHeight;
  // Kept inside the maximised area, never at a negative coordinate.
  auto inside = [](int start, int size, int area) {
    if (start < 0) return 0;
    return start + size > area ? std::max(0, area - size) : start;
  };
  const int left = inside(saved.left, width, GetSystemMetrics(SM_CXMAXIMIZED));
  const int top = inside(saved.top, height, GetSystemMetrics(SM_CYMAXIMIZED));
  SetWindowPos(nullptr, left, top, width, height, SWP_NOZORDER);
}

void CInfoPalette::InitControls() {
  m_Group.SetColors(RGB(0, 0, 0), kFill);
  m_Group.SetRoundCorners(3);
  m_Group.SetStringId(kNoFileTextId, kCentredFormat, FALSE);
  dialogs::Place(m_Group, kGroupRect);

  m_Picture.SetNavigatorMode(1);
  m_Picture.SetBackColor(kFill);
  dialogs::Place(m_Picture, kPictureRect);
  m_Picture.ShowWindow(SW_HIDE);

  for (int i = 0; i < 8; ++i) {
    CStaticBase& item = m_Statics[i];
    item.SetBkColor(kFill);
    item.SetStringId(kFirstStaticTextId + i, i == kLocationValue ? kLocationFormat : kLabelFormat, FALSE);
    dialogs::Place(item, kStaticRects[i]);
    item.ShowWindow(SW_HIDE);
  }

  InitLists();

  for (const auto& [button, textId, rect] :
       {std::tuple{&m_Copy, kCopyTextId, kCopyRect}, std::tuple{&m_Close, kCloseTextId, kCloseRect}}) {
    button->SetBkColor(kGrey);
    button->SetStringId(textId, kCentredFormat);
    dialogs::Place(*button, rect);
  }
  m_Copy.EnableWindow(FALSE);
}

void CInfoPalette::InitLists() {
  std::u16string unused;
  CFont* font = nullptr;
  COLORREF colour = 0;
  GetTextTableString(kListFontTextId, unused, font, colour);
  for (CListCtrlInfo* list : {&m_ShootingList, &m_SettingsList}) {
    if (font) list->SetFont(*font, FALSE);
  }

  dialogs::Place(m_ShootingList, kShootingListRect);
  for (const ListIcon& icon : kShootingIcons) {
    auto image = std::make_unique<CListImage>();
    image->m_hIcon = LoadListIcon(icon);
    image->m_size = CSize(icon.width, icon.height);
    m_ShootingList.AddImage(image.release());
  }
  for (int column = 0; column < 2; ++column) m_ShootingList.InsertColumn(column, u"", LVCFMT_LEFT, kShootingColumnWidth);
  for (int row = 0; row < InfoPaletteTexts::kShootingRows; ++row) {
    m_ShootingList.InsertItem(row, dialogs::TableText(kShootingLabelTextIds[row]).c_str());
  }

  dialogs::Place(m_SettingsList, kSettingsListRect);
  for (int column = 0; column < InfoPaletteTexts::kSettingsColumns; ++column) {
    m_SettingsList.InsertColumn(column, u"", LVCFMT_LEFT, kSettingsColumnWidth);
  }
  for (int row = 0; row < InfoPaletteTexts::kSettingsRows; ++row) m_SettingsList.InsertItem(row, u"");
  for (const SettingsLabel& label : kSettingsLabels) {
    SetCell(m_SettingsList, label.row, label.column, dialogs::TableText(label.textId));
  }
}

// ---- What is shown

void CInfoPalette::UpdateInfo() {
  // The picture is shown exactly while a file is (its own flag: the palette
  // itself may be hidden).
  const bool fileWasShown = (m_Picture.GetStyle() & WS_VISIBLE) != 0;
  m_Picture.SetThumbnail(&m_Record);
  const std::u16string title = dialogs::TableText(kTitleTextId);
  if (m_Record.m_Path.GetLength() == 0) {
    SetWindowText(title.c_str());
    if (fileWasShown) {
      for (int value : {kFormatValue, kSizeValue, kFileSizeValue, kLocationValue}) m_Statics[value].SetText(u"", FALSE);
      m_Picture.ShowWindow(SW_HIDE);
      for (CStaticBase& item : m_Statics) item.ShowWindow(SW_HIDE);
      m_Copy.EnableWindow(FALSE);
    }
    m_Group.SetStringId(m_nSelectionCount == 0 ? kNoFileTextId : kSeveralFilesTextId, kCentredFormat, TRUE);
    ClearLists();
  } else {
    SetWindowText((title + u" - " + std::u16string(m_Record.m_FileName.View())).c_str());
    m_Statics[kFormatValue].SetText(m_Texts.FileFormat(m_Record.m_FileType), FALSE);
    m_Statics[kSizeValue].SetText(InfoPaletteTexts::ImageSize(m_Record.m_FileType, m_Record.m_Width, m_Record.m_Height),
                                  FALSE);
    m_Statics[kFileSizeValue].SetText(InfoPaletteTexts::FileSize(m_Record.m_FileSize), FALSE);
    m_Statics[kLocationValue].SetText(std::u16string(m_Record.m_Path.View()), FALSE);
    if (!fileWasShown) {
      m_Group.SetText(u"", TRUE);
      m_Picture.ShowWindow(SW_SHOW);
      for (CStaticBase& item : m_Statics) item.ShowWindow(SW_SHOW);
      m_Copy.EnableWindow(TRUE);
    }
    FillLists(ReadInfoShootingData(m_Record.m_Exif));
  }
  constexpr UINT redraw = RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW;
  m_Group.RedrawWindow(nullptr, nullptr, redraw);
  m_Picture.RedrawWindow(nullptr, nullptr, redraw);
  for (CStaticBase& item : m_Statics) item.RedrawWindow(nullptr, nullptr, redraw);
}

void CInfoPalette::ClearLists() {
  SetCell(m_ShootingList, 0, 0, dialogs::TableText(kShootingTitleTextId));
  for (int row = 0; row < InfoPaletteTexts::kShootingRows; ++row) SetCell(m_ShootingList, row, 1, u"");
  for (int column = 0; column < InfoPaletteTexts::kSettingsColumns; ++column) SetCell(m_SettingsList, 0, column, u"");
  for (int row = 1; row <= 6; ++row) {
    SetCell(m_SettingsList, row, 1, u"");
    SetCell(m_SettingsList, row, 3, u"");
  }
  SetCell(m_SettingsList, 7, 1, u"");
}

void CInfoPalette::FillLists(const InfoShootingData& data) {
  // What the information leaves as it is starts empty, never with what
  // another file showed.
  ClearLists();
  for (int row = 0; row < InfoPaletteTexts::kShootingRows; ++row) SetShootingValue(row, m_Texts.ShootingValue(row, data));
  std::array<unsigned, 8> all;
  all.fill(kAllColumns);
  SetSettingsCells(m_Texts.SettingsValues(data, m_Record.m_FileType), all);
}

void CInfoPalette::SetShootingValue(int row, const InfoCell& cell) { SetCell(m_ShootingList, row, 1, cell.text, cell.image); }

void CInfoPalette::SetSettingsCells(const InfoSettingsGrid& grid, const std::array<unsigned, 8>& columns) {
  for (int row = 0; row < InfoPaletteTexts::kSettingsRows; ++row) {
    for (int column = 0; column < InfoPaletteTexts::kSettingsColumns; ++column) {
      const std::optional<std::u16string>& text = grid[row][column];
      if (text && (columns[row] & (1u << column))) SetCell(m_SettingsList, row, column, *text);
    }
  }
}

// ---- Following the browser and the review windows

LRESULT CInfoPalette::OnShowInfo(WPARAM wParam, LPARAM lParam) {
  const FString path = wParam ? *reinterpret_cast<const FString*>(wParam) : FString();
  // The browser's first selected record is shown, not one made from the path.
  CET_ThumbnailDataManager selected;
  m_pServices->GetSelectedThumbnails(&selected);
  const int count = selected.GetCount();
  bool changed = lParam != 0;
  if (count != m_nSelectionCount) {
    m_nSelectionCount = count;
    changed = true;
  } else if (count == 1) {
    changed = changed || path != m_Record.m_Path || m_Record.m_Width == 0 || m_Record.m_Height == 0 ||
              m_Record.m_bFinalPicture == 0;
  }
  if (changed) {
    m_Record.Reset();
    if (count == 1) m_Record.CopyFrom(selected.GetAt(0));
    UpdateInfo();
  }
  return 0;
}

LRESULT CInfoPalette::OnActiveImage(WPARAM wParam, LPARAM lParam) {
  auto* frame = reinterpret_cast<IAdjustPaletteFrame*>(lParam);
  if (!frame) return 0;
  const FString path = wParam ? *reinterpret_cast<const FString*>(wParam) : FString();
  int pending = 0;
  std::unique_ptr<CTLM_ThumbnailData> record(frame->GetThumbnailRecord(&pending));
  if (record && path == m_Record.m_Path && m_Record.m_bFinalPicture == 1 && record->m_Width == m_Record.m_Width &&
      record->m_Height == m_Record.m_Height && m_bPending == 0) {
    return 0;
  }
  m_Record.Reset();
  m_nSelectionCount = 0;
  if (record) {
    m_bPending = pending;
    m_Record.CopyFrom(record.get());
    m_nSelectionCount = 1;
  }
  UpdateInfo();
  return 0;
}

// ---- The main frame wrote into a file

bool CInfoPalette::FreshDataFor(WPARAM pathPointer, InfoShootingData* data) {
  const auto* path = reinterpret_cast<const FString*>(pathPointer);
  if (!path || m_Record.m_Path.GetLength() == 0 || *path != m_Record.m_Path) return false;
  // The cache's fresh copy; the palette's own record stays as it was taken.
  CTLM_Exif fresh;
  m_pServices->GetExif(*path, &fresh);
  *data = ReadInfoShootingData(fresh);
  return true;
}

LRESULT CInfoPalette::OnWBChanged(WPARAM wParam, LPARAM) {
  InfoShootingData data;
  if (FreshDataFor(wParam, &data)) SetShootingValue(kWhiteBalanceRow, m_Texts.ShootingValue(kWhiteBalanceRow, data));
  return 0;
}

LRESULT CInfoPalette::OnColorModeChanged(WPARAM wParam, LPARAM) {
  InfoShootingData data;
  if (FreshDataFor(wParam, &data)) SetShootingValue(kColorModeRow, m_Texts.ShootingValue(kColorModeRow, data));
  return 0;
}

LRESULT CInfoPalette::OnNoiseChanged(WPARAM wParam, LPARAM) {
  InfoShootingData data;
  if (!FreshDataFor(wParam, &data)) return 0;
  std::array<unsigned, 8> columns{};
  columns[kNoiseRow] = kAllColumns;
  SetSettingsCells(m_Texts.SettingsValues(data, m_Record.m_FileType), columns);
  return 0;
}

LRESULT CInfoPalette::OnSettingsSaved(WPARAM wParam, LPARAM) {
  InfoShootingData data;
  if (!FreshDataFor(wParam, &data)) return 0;
  std::array<unsigned, 8> columns{};
  for (int row = 1; row <= 4; ++row) columns[row] = kValueColumns;
  if (GetFileExtension(m_Record.m_Path).CompareNoCase(u"kvr") != 0) {
    // What a saved picture says about its saving; the labels stay.
    columns[0] = kAllColumns;
    columns[6] = kValueColumns;
    columns[7] = kFirstValueColumn;
  }
  SetSettingsCells(m_Texts.SettingsValues(data, m_Record.m_FileType), columns);
  return 0;
}

// ---- Copy

std::u16string CInfoPalette::BuildClipboardText() const {
  std::u16string text;
  const auto line = [&text](const std::u16string& first, const std::u16string& second) {
    text += first;
    text += u'\t';
    text += second;
    text += u"\r\n";
  };
  line(dialogs::TableText(kFileNameTextId), std::u16string(m_Record.m_FileName.View()));
  for (int pair = 0; pair < 4; ++pair) line(m_Statics[2 * pair].GetText(), m_Statics[2 * pair + 1].GetText());
  for (int row = 0; row < InfoPaletteTexts::kShootingRows; ++row) {
    line(CellText(m_ShootingList, row, 0), CellText(m_ShootingList, row, 1));
  }
  line(CellText(m_SettingsList, 0, 0), CellText(m_SettingsList, 0, 1));
  const int lastRow = m_Record.m_FileType == InfoPaletteTexts::kRawFileType ? 5 : 7;
  for (int row = 1; row <= lastRow; ++row) {
    line(CellText(m_SettingsList, row, 0), CellText(m_SettingsList, row, 1));
    if (row != 7) line(CellText(m_SettingsList, row, 2), CellText(m_SettingsList, row, 3));
  }
  return text;
}

void CInfoPalette::OnCopyToClipboard() {
  // A clipboard that cannot take it is not worth a message.
  m_pServices->CopyText(FString(std::u16string_view(BuildClipboardText())));
}

// ---- Closing

BOOL CInfoPalette::DestroyWindow() {
  if (CAppSettings* settings = Settings(); settings && m_hWnd) {
    CRect window;
    GetWindowRect(window);
    CAppSettingsLock lock(*settings);
    settings->m_rcInfoWindow = window;
  }
  return CPaletteBase::DestroyWindow();
}
