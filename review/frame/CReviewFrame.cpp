#include "review/frame/CReviewFrame.h"

#include "review/frame/CReviewFormView.h"
#include "review/frame/ReviewPalettes.h"
#include "review/frame/ReviewViewServices.h"
#include "shell/app/AppMessages.h"
#include "shell/app/CLumitraApp.h"
#include "toolkit/CET_ThumbnailData.h"
#include "toolkit/FileOperations.h"
#include "toolkit/PictureFileTypes.h"

#include "platform/win/WinMenus.h"

#include <algorithm>
#include <mutex>
#include <span>
#include <string>

IMPLEMENT_DYNAMIC(CReviewFrame, CFrameWnd)

BEGIN_MESSAGE_MAP(CReviewFrame, CFrameWnd)
  ON_WM_CREATE()
  ON_WM_ACTIVATE()
  ON_WM_WINDOWPOSCHANGING()
  ON_WM_SIZE()
  ON_WM_SIZING()
  ON_WM_SYSCOMMAND()
  ON_MESSAGE(WM_APP_PREVIEW_SETTINGS, OnPreviewSettings)
  ON_MESSAGE(WM_APP_VISIBLE_RECT, OnVisibleRect)
  ON_MESSAGE(WM_APP_CLIP_WARNINGS, OnClipWarnings)
  ON_MESSAGE(WM_APP_GRAY_POINT_MODE, OnGrayPointMode)
  ON_MESSAGE(WM_APP_FILE_LIST_CHANGED, OnFileListChanged)
  ON_MESSAGE(WM_APP_WB_CHANGED, OnFileSettingChanged)
  ON_MESSAGE(WM_APP_COLORMODE_CHANGED, OnFileSettingChanged)
  ON_MESSAGE(WM_APP_NOISE_CHANGED, OnFileSettingChanged)
  ON_MESSAGE(WM_REVIEW_OPEN_PENDING, OnOpenPending)
  ON_COMMAND(ID_REVIEW_CLOSE, OnCloseCommand)
  ON_COMMAND(ID_REVIEW_PREVIOUS, OnPrevious)
  ON_COMMAND(ID_REVIEW_NEXT, OnNext)
  ON_COMMAND(ID_REVIEW_LOUPE, OnLoupeCommand)
  ON_COMMAND_RANGE(ID_REVIEW_LOUPE_SMALL, ID_REVIEW_LOUPE_LARGE, OnLoupeSize)
  ON_COMMAND(ID_REVIEW_RULERS, OnRulers)
  ON_COMMAND_RANGE(ID_REVIEW_AS_SHOT, ID_REVIEW_CUSTOM, OnSlotCommand)
  ON_COMMAND(ID_REVIEW_ADJUST_PALETTE, OnAdjustPaletteCommand)
  ON_COMMAND(ID_REVIEW_INFO_PALETTE, ToggleInfoPalette)
  ON_COMMAND(ID_REVIEW_ACTUAL_SIZE, OnActualSize)
  ON_COMMAND(ID_REVIEW_FIT, OnFit)
  ON_COMMAND_RANGE(ID_REVIEW_NEW_WINDOW, ID_REVIEW_NEW_WINDOW, OnUnbuiltCommand)
  ON_COMMAND_RANGE(ID_REVIEW_SAVE, ID_REVIEW_SAVE, OnUnbuiltCommand)
  ON_COMMAND_RANGE(ID_REVIEW_PRINT, ID_REVIEW_PRINT, OnUnbuiltCommand)
  ON_COMMAND(ID_REVIEW_EXIT, OnExit)
  ON_COMMAND_RANGE(ID_REVIEW_IMPORT_PRESETS, ID_REVIEW_EXPORT_PRESETS, OnUnbuiltCommand)
  ON_COMMAND_RANGE(ID_REVIEW_ROTATE_CW, ID_REVIEW_DELETE, OnUnbuiltCommand)
  ON_COMMAND_RANGE(ID_REVIEW_WRITE_SETTINGS, ID_REVIEW_WRITE_SETTINGS, OnUnbuiltCommand)
  ON_COMMAND_RANGE(ID_REVIEW_WARNINGS, ID_REVIEW_WARNINGS, OnUnbuiltCommand)
  ON_COMMAND_RANGE(ID_REVIEW_MANUAL, ID_REVIEW_MANUAL, OnUnbuiltCommand)
  ON_COMMAND_RANGE(ID_REVIEW_WEB_PAGE, ID_REVIEW_WEB_PAGE, OnUnbuiltCommand)
  ON_UPDATE_COMMAND_UI(ID_REVIEW_CLOSE, OnUpdateAlways)
  ON_UPDATE_COMMAND_UI(ID_REVIEW_EXIT, OnUpdateAlways)
  ON_UPDATE_COMMAND_UI(ID_REVIEW_PREVIOUS, OnUpdatePrevious)
  ON_UPDATE_COMMAND_UI(ID_REVIEW_NEXT, OnUpdateNext)
  ON_UPDATE_COMMAND_UI(ID_REVIEW_LOUPE, OnUpdateLoupe)
  ON_UPDATE_COMMAND_UI_RANGE(ID_REVIEW_LOUPE_SMALL, ID_REVIEW_LOUPE_LARGE, OnUpdateLoupeSize)
  ON_UPDATE_COMMAND_UI(ID_REVIEW_RULERS, OnUpdateRulers)
  ON_UPDATE_COMMAND_UI_RANGE(ID_REVIEW_AS_SHOT, ID_REVIEW_CUSTOM, OnUpdateSlot)
  ON_UPDATE_COMMAND_UI(ID_REVIEW_ADJUST_PALETTE, OnUpdateAdjustPalette)
  ON_UPDATE_COMMAND_UI(ID_REVIEW_ACTUAL_SIZE, OnUpdateActualSize)
  ON_UPDATE_COMMAND_UI(ID_REVIEW_FIT, OnUpdateAlways)
  ON_UPDATE_COMMAND_UI(ID_REVIEW_NEW_WINDOW, OnUpdateUnbuilt)
  ON_UPDATE_COMMAND_UI(ID_REVIEW_SAVE, OnUpdateUnbuilt)
  ON_UPDATE_COMMAND_UI(ID_REVIEW_INFO_PALETTE, OnUpdateInfoPalette)
  ON_UPDATE_COMMAND_UI(ID_REVIEW_PRINT, OnUpdateUnbuilt)
  ON_UPDATE_COMMAND_UI_RANGE(ID_REVIEW_IMPORT_PRESETS, ID_REVIEW_EXPORT_PRESETS, OnUpdateUnbuilt)
  ON_UPDATE_COMMAND_UI_RANGE(ID_REVIEW_ROTATE_CW, ID_REVIEW_DELETE, OnUpdateUnbuilt)
  ON_UPDATE_COMMAND_UI(ID_REVIEW_WRITE_SETTINGS, OnUpdateUnbuilt)
  ON_UPDATE_COMMAND_UI(ID_REVIEW_WARNINGS, OnUpdateUnbuilt)
  ON_UPDATE_COMMAND_UI(ID_REVIEW_MANUAL, OnUpdateUnbuilt)
  ON_UPDATE_COMMAND_UI(ID_REVIEW_WEB_PAGE, OnUpdateUnbuilt)
END_MESSAGE_MAP()

namespace {

constexpr int kTitleTextId = 2000;
constexpr int kUserSettingTextId = 104;
constexpr int kWindowCascade = 32;

struct MenuEntry {
  UINT id; // 0: a separator
  int textId;
};
constexpr MenuEntry kFileMenu[] = {{ID_REVIEW_NEW_WINDOW, 2105},     {ID_REVIEW_SAVE, 2106},
                                   {ID_REVIEW_INFO_PALETTE, 2107},   {0, 0},
                                   {ID_REVIEW_IMPORT_PRESETS, 2108}, {ID_REVIEW_EXPORT_PRESETS, 2109},
                                   {0, 0},                           {ID_REVIEW_PRINT_SETUP, 2110},
                                   {ID_REVIEW_PRINT, 2111},          {0, 0},
                                   {ID_REVIEW_CLOSE, 2112},          {ID_REVIEW_EXIT, 2113}};
constexpr MenuEntry kEditMenu[] = {{ID_REVIEW_ROTATE_CW, 2114}, {ID_REVIEW_ROTATE_CCW, 2115}, {ID_REVIEW_MARK, 2116},
                                   {ID_REVIEW_LOCK, 2117},      {ID_REVIEW_DELETE, 2118},     {0, 0},
                                   {ID_REVIEW_WRITE_SETTINGS, 2119}};
constexpr MenuEntry kViewMenu[] = {{ID_REVIEW_PREVIOUS, 2120},    {ID_REVIEW_NEXT, 2121},         {0, 0},
                                   {ID_REVIEW_LOUPE, 2122},       {ID_REVIEW_LOUPE_SMALL, 2139}, {ID_REVIEW_LOUPE_MEDIUM, 2140},
                                   {ID_REVIEW_LOUPE_LARGE, 2141}, {0, 0},                         {ID_REVIEW_RULERS, 2124}};
constexpr MenuEntry kSettingsMenu[] = {{ID_REVIEW_AS_SHOT, 2126}, {ID_REVIEW_AUTOMATIC, 2127},
                                       {ID_REVIEW_CUSTOM, 2128},  {0, 0},
                                       {ID_REVIEW_WARNINGS, 2129}, {ID_REVIEW_ADJUST_PALETTE, 2131}};
constexpr MenuEntry kHelpMenu[] = {{ID_REVIEW_MANUAL, 2133}, {0, 0}, {ID_REVIEW_ABOUT, 2134}, {0, 0},
                                   {ID_REVIEW_WEB_PAGE, 2135}};
struct MenuPopup {
  int textId;
  std::span<const MenuEntry> entries;
};
constexpr MenuPopup kMenu[] = {
    {2100, kFileMenu}, {2101, kEditMenu}, {2102, kViewMenu}, {2103, kSettingsMenu}, {2104, kHelpMenu}};

int MenuTextId(UINT id) {
  for (const MenuPopup& popup : kMenu) {
    for (const MenuEntry& entry : popup.entries) {
      if (entry.id == id) return entry.textId;
    }
  }
  return 0;
}

std::u16string Placeholder(int textId) {
  const std::string digits = std::to_string(textId);
  return std::u16string(digits.begin(), digits.end());
}

CAppSettings* Settings() {
  CLumitraApp* app = GetLumitraApp();
  return app ? app->GetSettings() : nullptr;
}

// The file's read-only attribute; a missing file counts as not locked.
bool IsReadOnly(const FString& path) {
  const int attributes = ReadFileAttributeWord(path);
  constexpr int kReadOnly = 0x01;
  return attributes != -1 && (attributes & kReadOnly) != 0;
}

FString FileNameOf(const FString& path) {
  const std::u16string text(path.View());
  const std::size_t slash = text.find_last_of(u'/');
  return FString(slash == std::u16string::npos ? text : text.substr(slash + 1));
}

} // namespace

// ---- Resources and creation --------------------------------------------------------------

void CReviewFrame::RegisterResources() {
  static std::once_flag once;
  std::call_once(once, [] {
    std::vector<MenuTemplateItem> bar;
    for (const MenuPopup& popup : kMenu) {
      MenuTemplateItem item{0, Placeholder(popup.textId), 0, {}};
      for (const MenuEntry& entry : popup.entries) {
        item.items.push_back(entry.id == 0 ? MenuTemplateItem{0, u"", MF_SEPARATOR, {}}
                                           : MenuTemplateItem{entry.id, Placeholder(entry.textId), 0, {}});
      }
      bar.push_back(std::move(item));
    }
    platform::RegisterMenuTemplate(IDR_REVIEWFRAME, std::move(bar));

    constexpr BYTE kCtrl = FVIRTKEY | FCONTROL;
    const auto key = [](BYTE virt, int vk, UINT cmd) {
      return ACCEL{virt, static_cast<WORD>(vk), static_cast<WORD>(cmd)};
    };
    platform::RegisterAcceleratorTable(
        IDR_REVIEWFRAME,
        {key(kCtrl, 'N', ID_REVIEW_NEW_WINDOW), key(kCtrl, 'S', ID_REVIEW_SAVE),
         key(kCtrl, 'I', ID_REVIEW_INFO_PALETTE), key(kCtrl, 'W', ID_REVIEW_CLOSE), key(kCtrl, 'Q', ID_REVIEW_EXIT),
         key(kCtrl, VK_OEM_6, ID_REVIEW_ROTATE_CW), key(kCtrl, VK_OEM_4, ID_REVIEW_ROTATE_CCW),
         key(kCtrl, 'M', ID_REVIEW_MARK), key(kCtrl, 'L', ID_REVIEW_LOCK), key(FVIRTKEY, VK_DELETE, ID_REVIEW_DELETE),
         key(FVIRTKEY | FCONTROL | FSHIFT, 'F', ID_REVIEW_WRITE_SETTINGS), key(kCtrl, 'R', ID_REVIEW_RULERS),
         key(kCtrl, '1', ID_REVIEW_AS_SHOT), key(kCtrl, '2', ID_REVIEW_AUTOMATIC), key(kCtrl, '3', ID_REVIEW_CUSTOM),
         key(kCtrl, 'H', ID_REVIEW_WARNINGS), key(kCtrl, 'E', ID_REVIEW_ADJUST_PALETTE),
         key(FVIRTKEY, VK_F1, ID_REVIEW_MANUAL)});

    MenuTemplateItem sizes{0, u"", 0,
                           {{ID_REVIEW_LOUPE_SMALL, u"2205", 0, {}},
                            {ID_REVIEW_LOUPE_MEDIUM, u"2206", 0, {}},
                            {ID_REVIEW_LOUPE_LARGE, u"2207", 0, {}}}};
    MenuTemplateItem popup{0, u"", 0,
                           {{ID_REVIEW_NEW_WINDOW, u"2200", 0, {}},
                            {ID_REVIEW_SAVE, u"2201", 0, {}},
                            {ID_REVIEW_LOUPE, u"2202", 0, {}},
                            sizes,
                            {ID_REVIEW_ACTUAL_SIZE, u"2208", 0, {}},
                            {ID_REVIEW_FIT, u"2209", 0, {}},
                            {ID_REVIEW_PRINT, u"2210", 0, {}}}};
    platform::RegisterMenuTemplate(IDR_REVIEWPOPUP, {popup});
  });
}

CReviewFrame* CReviewFrame::Make(IReviewFrameHost& host, ReviewViewServices& services) {
  RegisterResources();
  auto* frame = new CReviewFrame(host, services);
  CCreateContext context;
  context.m_pNewViewClass = RUNTIME_CLASS(CReviewFormView);
  if (!frame->LoadFrame(IDR_REVIEWFRAME, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, nullptr, &context)) {
    // A window that was made deleted its frame as it went.
    if (!frame->m_hWnd) delete frame;
    return nullptr;
  }
  frame->InitialUpdateFrame(nullptr, TRUE);
  frame->UpdateWindow();
  return frame;
}

CReviewFrame::CReviewFrame(IReviewFrameHost& host, ReviewViewServices& services)
    : m_Host(host), m_Services(services) {
  RegisterResources();
}

CReviewFrame::~CReviewFrame() = default;

CReviewFormView* CReviewFrame::GetView() const { return dynamic_cast<CReviewFormView*>(GetActiveView()); }

CRect CReviewFrame::PlaceFromSettings(const CRect& saved, int workWidth, int workHeight) {
  CRect rect = saved;
  rect.right = rect.left + std::max<LONG>(rect.Width(), kReviewMinWidth);
  rect.bottom = rect.top + std::max<LONG>(rect.Height(), kReviewMinHeight);
  const auto fit = [](LONG& low, LONG& high, int extent) {
    const LONG size = high - low;
    if (low < 0) {
      low = 0;
    } else if (low + size > extent) {
      low = std::max<LONG>(0, extent - size);
    }
    high = low + size;
  };
  fit(rect.left, rect.right, workWidth);
  fit(rect.top, rect.bottom, workHeight);
  return rect;
}

void CReviewFrame::EnforceMinimumTrackSize(UINT edge, RECT* rect) {
  const bool leftEdge = edge == WMSZ_LEFT || edge == WMSZ_TOPLEFT || edge == WMSZ_BOTTOMLEFT;
  const bool topEdge = edge == WMSZ_TOP || edge == WMSZ_TOPLEFT || edge == WMSZ_TOPRIGHT;
  if (rect->right - rect->left < kReviewMinWidth) {
    if (leftEdge) {
      rect->left = rect->right - kReviewMinWidth;
    } else {
      rect->right = rect->left + kReviewMinWidth;
    }
  }
  if (rect->bottom - rect->top < kReviewMinHeight) {
    if (topEdge) {
      rect->top = rect->bottom - kReviewMinHeight;
    } else {
      rect->bottom = rect->top + kReviewMinHeight;
    }
  }
}

BOOL CReviewFrame::PreCreateWindow(CREATESTRUCT& cs) {
  if (!CFrameWnd::PreCreateWindow(cs)) return FALSE;
  CRect saved;
  if (CAppSettings* settings = Settings()) {
    CAppSettingsLock lock(*settings);
    saved = CRect(settings->m_rcReviewWindow);
  }
  const int workWidth = GetSystemMetrics(SM_CXMAXIMIZED);
  const int workHeight = GetSystemMetrics(SM_CYMAXIMIZED);
  const CRect place = PlaceFromSettings(saved, workWidth, workHeight);
  cs.cx = place.Width();
  cs.cy = place.Height();
  const int open = m_Host.GetReviewFrameCount();
  if (open == 0) {
    cs.x = place.left;
    cs.y = place.top;
  } else {
    // Later windows keep the size; each stands a step below and right of the
    // first, inside the screen.
    const CRect cascaded =
        PlaceFromSettings(CRect(place.left + open * kWindowCascade, place.top + open * kWindowCascade,
                              place.right + open * kWindowCascade, place.bottom + open * kWindowCascade),
                          workWidth, workHeight);
    cs.x = cascaded.left;
    cs.y = cascaded.top;
  }
  return TRUE;
}

int CReviewFrame::OnCreate(LPCREATESTRUCT cs) {
  if (CFrameWnd::OnCreate(cs) == -1) return -1;
  LoadMenuTexts();
  if (CAppSettings* settings = Settings()) {
    CAppSettingsLock lock(*settings);
    m_nRawSlotMode = settings->m_nKVRFilterMode;
    m_RawCustomSettings.CopyFrom(&settings->m_KVRFilterData);
    m_nPictureSlotMode = settings->m_nJTFilterMode;
    m_PictureCustomSettings.CopyFrom(&settings->m_JTFilterData);
    m_bColorManaged = settings->m_nInitialReviewMode != 0 ? TRUE : FALSE;
  }
  if (!CFilterDataSlots::IsSlotNumber(m_nRawSlotMode)) m_nRawSlotMode = 1;
  if (!CFilterDataSlots::IsSlotNumber(m_nPictureSlotMode)) m_nPictureSlotMode = 1;
  return 0;
}

void CReviewFrame::LoadMenuTexts() {
  CMenu* menu = GetMenu();
  if (!menu) return;
  const auto text = [this](int id) { return m_Services.Text(id); };
  for (UINT position = 0; position < menu->GetMenuItemCount() && position < std::size(kMenu); ++position) {
    CMenu* popup = menu->GetSubMenu(static_cast<int>(position));
    if (!popup) continue;
    if (const std::u16string title = text(kMenu[position].textId); !title.empty()) {
      menu->ModifyMenu(position, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(popup->GetSafeHmenu()),
                       title.c_str());
    }
    for (UINT index = 0; index < popup->GetMenuItemCount(); ++index) {
      const UINT id = popup->GetMenuItemID(static_cast<int>(index));
      if (const std::u16string caption = text(MenuTextId(id)); id != 0 && !caption.empty()) {
        popup->ModifyMenu(id, MF_BYCOMMAND | MF_STRING, id, caption.c_str());
      }
    }
  }
  DrawMenuBar();
}

void CReviewFrame::ApplyViewSettings() {
  CReviewFormView* view = GetView();
  CAppSettings* settings = Settings();
  if (!view || !settings) return;
  int loupeMode = 0, loupeScale = 1, loupeArea = 0, rulers = 0, greyPoint = 0, warnings = 0, channel = 0;
  BYTE shadow = 0, highlight = 255;
  {
    CAppSettingsLock lock(*settings);
    loupeMode = settings->m_nLoupeMode;
    loupeScale = settings->m_nLoupeScale;
    loupeArea = settings->m_nLoupeArea;
    rulers = settings->m_nRulerMode;
    greyPoint = settings->m_nGrayPointMode;
    warnings = settings->m_nDispWarn;
    channel = settings->m_nHistType;
    shadow = settings->m_byShadow;
    highlight = settings->m_byHighLight;
  }
  view->SetZoomIndex(-1);
  // A step outside 1 to 8 (the default 0 included) would divide the loupe's reach.
  view->SetLoupe(loupeMode != 0, std::clamp(loupeScale, 1, 8));
  view->SetLoupeArea(loupeArea);
  view->ShowRuler(rulers != 0);
  view->SetGrayPointMode(greyPoint != 0);
  view->SetClipWarning(warnings != 0, channel, shadow, highlight);
}

// ---- The image ---------------------------------------------------------------------------

CET_FilterData& CReviewFrame::CustomSettingsOfKind() {
  return IsRaw() ? static_cast<CET_FilterData&>(m_RawCustomSettings) : m_PictureCustomSettings;
}

int& CReviewFrame::SlotModeOfKind() { return IsRaw() ? m_nRawSlotMode : m_nPictureSlotMode; }

void CReviewFrame::ForgetFileChoices() {
  m_RawCustomSettings.m_nWhiteBalance = -1;
  m_RawCustomSettings.m_nColorMode = -1;
  m_RawCustomSettings.m_nNoiseReduction = -1;
  m_RawCustomSettings.m_nChromaNoise = -1;
  m_RawCustomSettings.m_nLumaNoise = -1;
}

void CReviewFrame::TellPalettes() {
  if (m_strImagePath.GetLength() == 0) return;
  FString path = m_strImagePath;
  const auto lParam = reinterpret_cast<LPARAM>(static_cast<IAdjustPaletteFrame*>(this));
  for (CWnd* palette : {ReviewPalettes::InfoPalette(), ReviewPalettes::AdjustPalette()}) {
    if (palette) palette->SendMessage(WM_APP_ACTIVE_IMAGE, reinterpret_cast<WPARAM>(&path), lParam);
  }
}

void CReviewFrame::ShowImageState(const CTLM_ThumbnailData& record) {
  m_strImagePath = record.m_Path;
  m_nFileType = ::GetFileType(m_strImagePath);
  SetWindowText((m_Services.Text(kTitleTextId) + std::u16string(FileNameOf(m_strImagePath).View())).c_str());
  CReviewFormView* view = GetView();
  int index = 0, count = 0;
  m_Host.GetImagePosition(m_strImagePath, &index, &count);
  view->SetImagePosition(index, count);
  view->SetMarked(record.IsMarked() ? TRUE : FALSE);
  view->SetLocked(IsReadOnly(m_strImagePath) ? TRUE : FALSE);
}

void CReviewFrame::OpenImage(const CTLM_ThumbnailData* record) {
  CReviewFormView* view = GetView();
  if (!view || !record) return;
  ForgetFileChoices();
  m_pPendingRecord.reset(static_cast<CTLM_ThumbnailData*>(record->Clone()));
  view->DropParkedRequest();
  view->SetProgress(0);
  LockWindowUpdate();
  ShowImageState(*m_pPendingRecord);
  m_pQuickPicture.reset(view->ShowQuickPicture(m_pPendingRecord.get()));
  TellPalettes();
  view->SetProgress(10);
  UnlockWindowUpdate();
  view->DiscardProgressMessages();
  // The stop pumps messages: anything may happen meanwhile, another image
  // included, which then is the one pending.
  if (!view->StopWorker(FALSE) || !m_pPendingRecord) return;
  TakePendingRecord();
  {
    CSingleLock lock(&m_Slots, TRUE);
    m_Slots.StoreLocked(CFilterDataSlots::kCustom, &CustomSettingsOfKind());
  }
  m_nCurrentSlot = SlotModeOfKind();
  std::unique_ptr<CET_FilterData> cached = m_Services.GetImageSettings(m_strImagePath);
  {
    CSingleLock lock(&m_Slots, TRUE);
    m_Slots.StoreLocked(CFilterDataSlots::kAuto, cached.get());
  }
  view->OpenImage(m_pRecord.get(), m_nCurrentSlot, &m_Slots, m_pQuickPicture.release());
  TellPalettes();
}

// The pending record becomes the current one, with empty slots.
void CReviewFrame::TakePendingRecord() {
  m_Slots.Clear();
  m_pRecord = std::move(m_pPendingRecord);
}

void CReviewFrame::ReloadImage(const CTLM_ThumbnailData* record) {
  CReviewFormView* view = GetView();
  if (!view || !record) return;
  ForgetFileChoices();
  m_pPendingRecord.reset(static_cast<CTLM_ThumbnailData*>(record->Clone()));
  view->DropParkedRequest();
  view->SetProgress(0);
  ShowImageState(*m_pPendingRecord);
  TellPalettes();
  view->SetProgress(10);
  view->DiscardProgressMessages();
  if (!view->StopWorker(FALSE) || !m_pPendingRecord) return;
  TakePendingRecord();
  {
    CSingleLock lock(&m_Slots, TRUE);
    m_Slots.StoreLocked(CFilterDataSlots::kCustom, &m_RawCustomSettings);
  }
  m_nCurrentSlot = m_nRawSlotMode;
  std::unique_ptr<CET_FilterData> cached = m_Services.GetImageSettings(m_strImagePath);
  {
    CSingleLock lock(&m_Slots, TRUE);
    m_Slots.StoreLocked(CFilterDataSlots::kAuto, cached.get());
  }
  view->RedevelopImage(m_pRecord.get(), m_nCurrentSlot, &m_Slots);
  TellPalettes();
}

LRESULT CReviewFrame::OnOpenPending(WPARAM, LPARAM) {
  if (!m_pPendingRecord) return 0;
  const std::unique_ptr<CTLM_ThumbnailData> pending = std::move(m_pPendingRecord);
  OpenImage(pending.get());
  return 0;
}

void CReviewFrame::SetImageList(CET_ThumbnailDataManager* list) {
  m_aImageList.RemoveAll();
  m_strFolder = FString();
  if (!list || list->GetCount() == 0) return;
  m_strFolder = GetParentPath(list->GetAt(0)->m_Path);
  for (int i = 0; i < list->GetCount(); ++i) {
    const CET_ThumbnailData* item = list->GetAt(i);
    if (item && IsStillFileType(item->m_FileType)) m_aImageList.Append(item->m_Path);
  }
}

void CReviewFrame::SelectSlot(int slot, const CET_FilterData* settings, BOOL notify) {
  CReviewFormView* view = GetView();
  if (!view) return;
  m_nCurrentSlot = slot;
  if (slot == CFilterDataSlots::kCustom || slot == CFilterDataSlots::kUser) {
    CSingleLock lock(&m_Slots, TRUE);
    if (settings) {
      m_Slots.StoreLocked(CFilterDataSlots::kCustom, settings);
      CustomSettingsOfKind().CopyFrom(m_Slots.PeekLocked(CFilterDataSlots::kCustom));
    } else {
      m_Slots.StoreLocked(CFilterDataSlots::kCustom, &CustomSettingsOfKind());
    }
  }
  SlotModeOfKind() = slot;
  if (notify) NotifyPaletteSettings(FALSE);
  view->StartDevelop(slot, &m_Slots);
}

CTLM_ThumbnailData* CReviewFrame::GetThumbnailRecord(int* pending) {
  const CTLM_ThumbnailData* record = m_pPendingRecord ? m_pPendingRecord.get() : m_pRecord.get();
  if (pending) *pending = m_pPendingRecord ? 1 : 0;
  return record ? static_cast<CTLM_ThumbnailData*>(record->Clone()) : nullptr;
}

void CReviewFrame::ReplaceThumbnailRecord(const CTLM_ThumbnailData* record) {
  m_pRecord.reset(record ? static_cast<CTLM_ThumbnailData*>(record->Clone()) : nullptr);
  TellPalettes();
}

void CReviewFrame::GetCurrentState(int* slot, CET_FilterData* settings, CET_Dib* picture) {
  if (slot) *slot = m_nCurrentSlot;
  if (settings) {
    if (std::unique_ptr<CET_FilterData> current(m_Slots.GetSlot(m_nCurrentSlot)); current) {
      settings->CopyFrom(current.get());
    }
  }
  if (picture) {
    picture->Free();
    CReviewFormView* view = GetView();
    if (const CET_Dib* shown = view ? view->GetDisplayedPicture() : nullptr) picture->CopyFrom(shown);
  }
}

void CReviewFrame::GetCustomSettings(CET_FilterData* settings) {
  if (settings) settings->CopyFrom(&CustomSettingsOfKind());
}

void CReviewFrame::GetWarnings(int* flag, int* type, BYTE* shadow, BYTE* highlight) {
  CReviewFormView* view = GetView();
  if (!view) return;
  const BOOL on = view->GetClipWarning(type, shadow, highlight);
  if (flag) *flag = on;
}

BOOL CReviewFrame::IsCurrentSlotModified() { return m_Slots.IsModified(m_nCurrentSlot); }

BOOL CReviewFrame::IsImageReady() {
  CReviewFormView* view = GetView();
  return view ? view->IsImageReady() : FALSE;
}

void CReviewFrame::SetColorManaged(BOOL on) {
  if (!on == !m_bColorManaged) return;
  m_bColorManaged = on ? TRUE : FALSE;
  RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CReviewFrame::SetVisibleRect(const FDoubleRect& pixels) {
  if (!m_pRecord) return;
  const double width = m_pRecord->m_Width;
  const double height = m_pRecord->m_Height;
  // The record's size is known once the first result is shown; before, the
  // part has no fraction of anything.
  if (width > 0 && height > 0) {
    m_VisibleRect = FDoubleRect(pixels.left / width, pixels.top / height, pixels.right / width, pixels.bottom / height);
  } else {
    m_VisibleRect = FDoubleRect();
  }
  if (CWnd* palette = ReviewPalettes::AdjustPalette()) {
    FDoubleRect sent = IsImageReady() ? m_VisibleRect : FDoubleRect();
    palette->SendMessage(WM_APP_VISIBLE_RECT, reinterpret_cast<WPARAM>(&sent), 0);
  }
}

void CReviewFrame::SendPreviewBitmap(const CET_Dib* picture) {
  if (CWnd* palette = ReviewPalettes::AdjustPalette()) {
    palette->SendMessage(WM_APP_PREVIEW_BITMAP, reinterpret_cast<WPARAM>(static_cast<IAdjustPaletteFrame*>(this)),
                         reinterpret_cast<LPARAM>(picture));
  }
}

void CReviewFrame::NotifyPaletteSettings(BOOL redraw) {
  CWnd* palette = ReviewPalettes::AdjustPalette();
  if (!palette) return;
  std::unique_ptr<CET_FilterData> settings(m_Slots.GetSlot(m_nCurrentSlot));
  if (!settings) return;
  WPARAM slot = static_cast<WPARAM>(m_nCurrentSlot == CFilterDataSlots::kUser ? CFilterDataSlots::kCustom
                                                                               : m_nCurrentSlot);
  if (m_Slots.IsModified(m_nCurrentSlot)) slot |= kPreviewSettingsFlag;
  PaletteSettingsEcho echo{settings.get(), this};
  palette->SendMessage(WM_APP_PREVIEW_SETTINGS, slot, reinterpret_cast<LPARAM>(&echo));
  if (redraw) palette->RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

// ---- Palettes ------------------------------------------------------------------------------

void CReviewFrame::ToggleAdjustPalette() {
  if (ReviewPalettes::AdjustPalette()) {
    ReviewPalettes::CloseAdjustPalette();
    return;
  }
  CWnd* palette = ReviewPalettes::OpenAdjustPalette();
  if (!palette) return;
  if (CReviewFormView* view = GetView()) ReviewPalettes::SetAdjustPaletteGrayPointMode(view->GetGrayPointMode());
  FString path = m_strImagePath;
  palette->SendMessage(WM_APP_ACTIVE_IMAGE, reinterpret_cast<WPARAM>(&path),
                       reinterpret_cast<LPARAM>(static_cast<IAdjustPaletteFrame*>(this)));
  palette->ShowWindow(SW_SHOW);
}

void CReviewFrame::ToggleInfoPalette() {
  if (ReviewPalettes::InfoPalette()) {
    ReviewPalettes::CloseInfoPalette();
    return;
  }
  CWnd* palette = ReviewPalettes::OpenInfoPalette();
  if (!palette) return;
  FString path = m_strImagePath;
  palette->SendMessage(WM_APP_ACTIVE_IMAGE, reinterpret_cast<WPARAM>(&path),
                       reinterpret_cast<LPARAM>(static_cast<IAdjustPaletteFrame*>(this)));
  palette->ShowWindow(SW_SHOW);
}

void CReviewFrame::RaiseWithoutActivating(CWnd* window) {
  window->SetWindowPos(CWnd::FromHandle(HWND_TOP), 0, 0, 0, 0,
                       SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE | SWP_NOOWNERZORDER);
}

void CReviewFrame::OnActivate(UINT state, CWnd* other, BOOL minimized) {
  CFrameWnd::OnActivate(state, other, minimized);
  if (state != WA_ACTIVE && state != WA_CLICKACTIVE) return;
  m_Host.ReorderReviewFrame(this, 1);
  CWnd* last = nullptr;
  FString path = m_strImagePath;
  const auto lParam = reinterpret_cast<LPARAM>(static_cast<IAdjustPaletteFrame*>(this));
  if (CWnd* info = ReviewPalettes::InfoPalette()) {
    RaiseWithoutActivating(info);
    if (path.GetLength() > 0) info->SendMessage(WM_APP_ACTIVE_IMAGE, reinterpret_cast<WPARAM>(&path), lParam);
    last = info;
  }
  if (CWnd* adjust = ReviewPalettes::AdjustPalette()) {
    if (CReviewFormView* view = GetView()) ReviewPalettes::SetAdjustPaletteGrayPointMode(view->GetGrayPointMode());
    RaiseWithoutActivating(adjust);
    if (path.GetLength() > 0) adjust->SendMessage(WM_APP_ACTIVE_IMAGE, reinterpret_cast<WPARAM>(&path), lParam);
    last = adjust;
  }
  if (last) SetWindowPos(last, 0, 0, 0, 0, SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
}

void CReviewFrame::OnWindowPosChanging(WINDOWPOS* pos) {
  CFrameWnd::OnWindowPosChanging(pos);
  if (CWnd::GetActiveWindow() != this) return;
  CWnd* info = ReviewPalettes::InfoPalette();
  CWnd* above = info ? info : ReviewPalettes::AdjustPalette();
  if (above) pos->hwndInsertAfter = above->GetSafeHwnd();
}

void CReviewFrame::OnSize(UINT type, int cx, int cy) {
  CFrameWnd::OnSize(type, cx, cy);
  const bool minimised = type == SIZE_MINIMIZED;
  if (CWnd* adjust = ReviewPalettes::AdjustPalette()) adjust->ShowWindow(minimised ? SW_HIDE : SW_SHOWNOACTIVATE);
  if (CWnd* info = ReviewPalettes::InfoPalette()) {
    CWnd* main = m_Host.GetMainWnd();
    const bool browserMinimised = main && main->IsIconic();
    info->ShowWindow(minimised && browserMinimised ? SW_HIDE : SW_SHOWNOACTIVATE);
  }
}

void CReviewFrame::OnSizing(UINT edge, LPRECT rect) {
  CFrameWnd::OnSizing(edge, rect);
  EnforceMinimumTrackSize(edge, rect);
}

void CReviewFrame::OnSysCommand(UINT id, LPARAM lParam) {
  if ((id & 0xFFF0) == SC_RESTORE && m_Host.HasProgressDialog()) {
    ShowWindow(SW_RESTORE);
    if (CWnd* main = m_Host.GetMainWnd()) main->ShowWindow(SW_RESTORE);
  }
  CFrameWnd::OnSysCommand(id, lParam);
}

// ---- Messages of the palettes and the main frame ---------------------------------------------

LRESULT CReviewFrame::OnPreviewSettings(WPARAM wParam, LPARAM lParam) {
  SelectSlot(static_cast<int>(wParam), reinterpret_cast<const CET_FilterData*>(lParam), TRUE);
  return 0;
}

LRESULT CReviewFrame::OnVisibleRect(WPARAM wParam, LPARAM) {
  const auto* fractions = reinterpret_cast<const FDoubleRect*>(wParam);
  if (CReviewFormView* view = GetView(); view && fractions) view->ScrollToRect(*fractions);
  return 0;
}

LRESULT CReviewFrame::OnClipWarnings(WPARAM wParam, LPARAM lParam) {
  if (CReviewFormView* view = GetView()) {
    view->SetClipWarning(wParam != 0, static_cast<int>(lParam >> 16), static_cast<BYTE>(lParam & 0xFF),
                         static_cast<BYTE>((lParam >> 8) & 0xFF));
  }
  return 0;
}

LRESULT CReviewFrame::OnGrayPointMode(WPARAM wParam, LPARAM) {
  if (CReviewFormView* view = GetView()) view->SetGrayPointMode(wParam != 0);
  return 0;
}

LRESULT CReviewFrame::OnFileListChanged(WPARAM wParam, LPARAM) {
  auto* list = reinterpret_cast<CET_ThumbnailDataManager*>(wParam);
  SetImageList(list);
  CReviewFormView* view = GetView();
  if (!view) return 0;
  int index = 0, count = 1;
  if (m_strFolder.GetLength() > 0 && GetParentPath(m_strImagePath) == m_strFolder) {
    m_Host.GetImagePosition(m_strImagePath, &index, &count);
  }
  view->SetImagePosition(index, count);
  return 0;
}

LRESULT CReviewFrame::OnFileSettingChanged(WPARAM wParam, LPARAM) {
  const auto* path = reinterpret_cast<const FString*>(wParam);
  if (!path || *path != m_strImagePath || !GetView() || !m_pRecord) return 0;
  m_Services.ReloadExif(m_strImagePath, &m_pRecord->m_Exif);
  const std::unique_ptr<CTLM_ThumbnailData> record(static_cast<CTLM_ThumbnailData*>(m_pRecord->Clone()));
  ReloadImage(record.get());
  return 0;
}

// ---- Commands ------------------------------------------------------------------------------

BOOL CReviewFrame::OffersCommand(UINT id) const {
  using namespace ReviewView;
  switch (static_cast<int>(id)) {
  case kInfoPalette: return ReviewPalettes::HasInfoPalette();
  // Saving, printing, turning, marking, locking, deleting and writing the
  // settings into the file come with the window's next step.
  case kSave: case kSavePicture: case kWriteSettings: case kRotateLeft: case kRotateRight: case kPrint: case kMark:
  case kLock: case kDelete: return FALSE;
  default: return TRUE;
  }
}

void CReviewFrame::ShowPrevImage() {
  const FString path = m_Host.GetPrevImagePath(m_strImagePath);
  if (path.GetLength() == 0) return;
  if (const std::unique_ptr<CTLM_ThumbnailData> record(m_Host.FindThumbnail(path)); record) OpenImage(record.get());
}

void CReviewFrame::ShowNextImage() {
  const FString path = m_Host.GetNextImagePath(m_strImagePath);
  if (path.GetLength() == 0) return;
  if (const std::unique_ptr<CTLM_ThumbnailData> record(m_Host.FindThumbnail(path)); record) OpenImage(record.get());
}

void CReviewFrame::OnCloseCommand() { PostMessage(WM_CLOSE); }
void CReviewFrame::OnPrevious() { ShowPrevImage(); }
void CReviewFrame::OnNext() { ShowNextImage(); }

void CReviewFrame::OnLoupeCommand() {
  if (CReviewFormView* view = GetView()) view->ShowLoupe(!view->GetLoupe(nullptr));
}

void CReviewFrame::OnLoupeSize(UINT id) {
  if (CReviewFormView* view = GetView()) view->SetLoupeArea(static_cast<int>(id - ID_REVIEW_LOUPE_SMALL));
}

void CReviewFrame::OnRulers() {
  if (CReviewFormView* view = GetView()) view->ShowRuler(!view->IsRulerShown());
}

void CReviewFrame::OnSlotCommand(UINT id) {
  if (id != ID_REVIEW_CUSTOM) {
    SelectSlot(static_cast<int>(id - ID_REVIEW_AS_SHOT) + 1, nullptr, TRUE);
    return;
  }
  const CET_FilterData& custom = CustomSettingsOfKind();
  if (std::u16string(custom.m_strName.View()) == m_Services.Text(kUserSettingTextId)) {
    SelectSlot(CFilterDataSlots::kUser, nullptr, TRUE);
  } else {
    std::unique_ptr<CET_FilterData> copy(custom.Clone());
    SelectSlot(CFilterDataSlots::kCustom, copy.get(), TRUE);
  }
}

void CReviewFrame::OnAdjustPaletteCommand() { ToggleAdjustPalette(); }

void CReviewFrame::OnActualSize() {
  if (CReviewFormView* view = GetView(); view && IsImageReady()) view->Zoom(2);
}

void CReviewFrame::OnFit() {
  if (CReviewFormView* view = GetView()) view->Zoom(1);
}

void CReviewFrame::OnUnbuiltCommand(UINT) {
  // The window's next step builds these commands; until then they stay disabled.
}

void CReviewFrame::OnExit() {
  // The program ends as its main frame closes.
  if (CWnd* main = m_Host.GetMainWnd()) main->PostMessage(WM_CLOSE);
}

void CReviewFrame::OnUpdateAlways(CCmdUI* ui) { ui->Enable(TRUE); }
void CReviewFrame::OnUpdateUnbuilt(CCmdUI* ui) { ui->Enable(FALSE); }
void CReviewFrame::OnUpdateInfoPalette(CCmdUI* ui) { ui->Enable(ReviewPalettes::HasInfoPalette()); }
void CReviewFrame::OnUpdatePrevious(CCmdUI* ui) {
  ui->Enable(m_Host.GetPrevImagePath(m_strImagePath).GetLength() > 0);
}
void CReviewFrame::OnUpdateNext(CCmdUI* ui) { ui->Enable(m_Host.GetNextImagePath(m_strImagePath).GetLength() > 0); }

void CReviewFrame::OnUpdateLoupe(CCmdUI* ui) {
  CReviewFormView* view = GetView();
  ui->Enable(view != nullptr);
  if (view) ui->SetText(m_Services.Text(view->GetLoupe(nullptr) ? 2123 : 2122).c_str());
}

void CReviewFrame::OnUpdateLoupeSize(CCmdUI* ui) {
  CReviewFormView* view = GetView();
  ui->Enable(view && view->GetLoupe(nullptr));
  ui->SetCheck(view && view->GetLoupeArea() == static_cast<int>(ui->m_nID - ID_REVIEW_LOUPE_SMALL) ? 1 : 0);
}

void CReviewFrame::OnUpdateRulers(CCmdUI* ui) {
  CReviewFormView* view = GetView();
  ui->Enable(view != nullptr);
  if (view) ui->SetText(m_Services.Text(view->IsRulerShown() ? 2125 : 2124).c_str());
}

void CReviewFrame::OnUpdateSlot(CCmdUI* ui) {
  ui->Enable(TRUE);
  const int slot = static_cast<int>(ui->m_nID - ID_REVIEW_AS_SHOT) + 1;
  const bool checked = slot == CFilterDataSlots::kCustom
                           ? m_nCurrentSlot == CFilterDataSlots::kCustom || m_nCurrentSlot == CFilterDataSlots::kUser
                           : m_nCurrentSlot == slot;
  ui->SetCheck(checked ? 1 : 0);
  if (ui->m_nID == ID_REVIEW_AS_SHOT) ui->SetText(m_Services.Text(IsRaw() ? 2126 : 2138).c_str());
}

void CReviewFrame::OnUpdateAdjustPalette(CCmdUI* ui) {
  ui->Enable(TRUE);
  ui->SetText(m_Services.Text(ReviewPalettes::AdjustPalette() ? 2132 : 2131).c_str());
}

void CReviewFrame::OnUpdateActualSize(CCmdUI* ui) { ui->Enable(IsImageReady()); }

// ---- Closing -------------------------------------------------------------------------------

BOOL CReviewFrame::DestroyWindow() {
  CReviewFormView* view = GetView();
  if (view) {
    m_bClosing = TRUE;
    if (!view->StopWorker(FALSE)) {
      // The view closes the frame again once its worker has ended.
      m_bClosing = FALSE;
      m_bClosePending = TRUE;
      return FALSE;
    }
    m_bClosing = FALSE;
  }
  m_Host.ReorderReviewFrame(this, 2);
  ReviewPalettes::ForgetFrame(this);
  StoreSettings();
  return CFrameWnd::DestroyWindow();
}

void CReviewFrame::StoreSettings() {
  WINDOWPLACEMENT placement{};
  placement.length = sizeof placement;
  GetWindowPlacement(&placement);
  const bool maximised = IsZoomed() != FALSE;
  const bool lastWithPalette =
      m_Host.GetMainWnd() && m_Host.GetReviewFrameCount() == 0 && ReviewPalettes::AdjustPalette() != nullptr;
  if (lastWithPalette) ReviewPalettes::CloseAdjustPalette();
  CReviewFormView* view = GetView();
  CAppSettings* settings = Settings();
  if (!settings) return;
  int loupeStep = 1, channel = 0;
  BYTE shadow = 0, highlight = 255;
  const BOOL loupe = view ? view->GetLoupe(&loupeStep) : FALSE;
  const BOOL warnings = view ? view->GetClipWarning(&channel, &shadow, &highlight) : FALSE;
  ForgetFileChoices();
  CAppSettingsLock lock(*settings);
  if (IsRaw()) {
    settings->m_nKVRFilterMode = m_nRawSlotMode;
    settings->m_KVRFilterData.CopyFrom(&m_RawCustomSettings);
  } else {
    settings->m_nJTFilterMode = m_nPictureSlotMode;
    settings->m_JTFilterData.CopyFrom(&m_PictureCustomSettings);
  }
  settings->m_rcReviewWindow = placement.rcNormalPosition;
  settings->m_nOpenAdjustPalette = lastWithPalette ? 1 : 0;
  if (view) {
    settings->m_nZoomIndex = view->GetZoomIndex();
    settings->m_nLoupeMode = loupe ? 1 : 0;
    settings->m_nLoupeScale = loupeStep;
    settings->m_nLoupeArea = view->GetLoupeArea();
    settings->m_nRulerMode = view->IsRulerShown() ? 1 : 0;
    settings->m_nGrayPointMode = view->GetGrayPointMode() ? 1 : 0;
    settings->m_nDispWarn = warnings ? 1 : 0;
    settings->m_nHistType = channel;
    settings->m_byShadow = shadow;
    settings->m_byHighLight = highlight;
  }
  settings->m_nReviewMaxSize = maximised ? 1 : 0;
}
