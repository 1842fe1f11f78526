#include "review/palettes/CAdjustPalette.h"

#include "review/palettes/CPaletteToolAdjust.h"
#include "review/palettes/CPaletteToolColMode.h"
#include "review/palettes/CPaletteToolColor.h"
#include "review/palettes/CPaletteToolHist.h"
#include "review/palettes/CPaletteToolNavi.h"
#include "review/palettes/CPaletteToolNoiseReduction.h"
#include "review/palettes/CPaletteToolSetting.h"
#include "review/palettes/CPaletteToolWB.h"
#include "shell/app/AppMessages.h"
#include "shell/app/CLumitraApp.h"
#include "shell/dialogs/CBatchWBDlg.h"
#include "shell/dialogs/DialogLayout.h"
#include "shell/facade/CKVR_FilterData.h"
#include "shell/facade/CTLM_Exif.h"
#include "toolkit/PictureFileTypes.h"

#include <algorithm>
#include <mutex>

CAdjustPalette* CAdjustPalette::s_pInstance = nullptr;

namespace {

void RegisterTemplate() {
  static std::once_flag once;
  std::call_once(once, [] {
    DialogTemplate t;
    t.id = CAdjustPalette::kTemplate;
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    t.exStyle = WS_EX_TOOLWINDOW;
    t.size = {161, 160};
    platform::RegisterDialogTemplate(t);
  });
}

// The program's own services.
class ApplicationServices : public IAdjustPaletteServices {
public:
  CWnd* GetMainFrame() override { return AfxGetMainWnd(); }
  // The application's list caches, as the batch white-balance dialog reads them.
  BOOL GetWBList(const FString& path, CKVR_Data_FileList<CKVR_WBData>* list) override {
    return ApplicationChoiceSource().GetWBList(path, list);
  }
  BOOL GetColorModeList(const FString& path, CKVR_Data_FileList<CKVR_CMData>* list) override {
    return ApplicationChoiceSource().GetColorModeList(path, list);
  }
  FString GetIso(const FString& path) override {
    CLumitraApp* app = GetLumitraApp();
    CTLM_Exif record;
    return app && app->GetExif(path, &record) ? record.GetIso() : FString();
  }
};

CAppSettings* Settings() {
  CLumitraApp* app = GetLumitraApp();
  return app ? app->GetSettings() : nullptr;
}

} // namespace

IAdjustPaletteServices& ApplicationPaletteServices() {
  static ApplicationServices services;
  return services;
}

BEGIN_MESSAGE_MAP(CAdjustPalette, CPaletteBase)
  ON_MESSAGE(WM_APP_PREVIEW_SETTINGS, OnPreviewSettings)
  ON_MESSAGE(WM_APP_SAVE_SETTINGS, OnSettingsSaved)
  ON_MESSAGE(WM_APP_CLIP_WARNINGS, OnClipWarnings)
  ON_MESSAGE(WM_APP_ACTIVE_IMAGE, OnActiveImage)
  ON_MESSAGE(WM_APP_PREVIEW_BITMAP, OnPreviewBitmap)
  ON_MESSAGE(WM_APP_VISIBLE_RECT, OnVisibleRect)
  ON_MESSAGE(WM_APP_PRESET_ADDED, OnPresetAdded)
END_MESSAGE_MAP()

CAdjustPalette::CAdjustPalette(IAdjustPaletteServices* services)
    : CPaletteBase(kTemplate, nullptr), m_pServices(services ? services : &ApplicationPaletteServices()) {
  RegisterTemplate();
}

CAdjustPalette::~CAdjustPalette() {
  if (s_pInstance == this) s_pInstance = nullptr;
}

CAdjustPalette* CAdjustPalette::Open(IAdjustPaletteServices* services) {
  if (!s_pInstance) {
    s_pInstance = new CAdjustPalette(services);
    if (!s_pInstance->Create(kTemplate, CWnd::FromHandle(GetDesktopWindow()))) {
      delete s_pInstance;
      s_pInstance = nullptr;
    }
  }
  return s_pInstance;
}

void CAdjustPalette::Close() {
  if (!s_pInstance) return;
  s_pInstance->DestroyWindow();
  // The window's end deletes the object and clears the pointer.
  delete s_pInstance;
  s_pInstance = nullptr;
}

void CAdjustPalette::ForgetFrame(IAdjustPaletteFrame* frame) {
  if (s_pInstance && frame && s_pInstance->m_pFrame == frame) s_pInstance->m_pFrame = nullptr;
}

void CAdjustPalette::PostNcDestroy() {
  s_pInstance = nullptr;
  delete this;
}

CPaletteToolBase* CAdjustPalette::GetPanel(int index) const {
  return index >= 0 && index < kPanelCount ? m_Panels[index].get() : nullptr;
}

void CAdjustPalette::GetClipWarnings(int* flag, int* type, BYTE* shadow, BYTE* highlight) const {
  if (flag) *flag = m_bWarnings;
  if (type) *type = m_nHistType;
  if (shadow) *shadow = m_nShadow;
  if (highlight) *highlight = m_nHighlight;
}

BOOL CAdjustPalette::OnInitDialog() {
  CPaletteBase::OnInitDialog();
  if (CAppSettings* settings = Settings()) {
    CAppSettingsLock lock(*settings);
    m_dwStoredState = settings->m_dwPaletteState;
  }
  SetWindowText(u"");
  std::array<std::unique_ptr<CPaletteToolBase>, kPanelCount> made;
  made[kPresetPanel] = std::make_unique<CPaletteToolSetting>(this);
  made[kTonePanel] = std::make_unique<CPaletteToolAdjust>(this);
  made[kWhiteBalancePanel] = std::make_unique<CPaletteToolWB>(this);
  made[kColorModePanel] = std::make_unique<CPaletteToolColMode>(this);
  made[kColorPanel] = std::make_unique<CPaletteToolColor>(this);
  made[kNoisePanel] = std::make_unique<CPaletteToolNoiseReduction>(this);
  made[kHistogramPanel] = std::make_unique<CPaletteToolHist>(this);
  made[kNavigatorPanel] = std::make_unique<CPaletteToolNavi>(this);
  for (int i = 0; i < kPanelCount; ++i) {
    std::unique_ptr<CPaletteToolBase>& panel = made[i];
    if (!panel) continue;
    panel->m_pOwner = this;
    if (!panel->Create(panel->m_nIDTemplate, this)) continue;
    panel->ShowWindow(SW_SHOW);
    panel->SetExpand((m_dwStoredState & (1u << i)) != 0, FALSE);
    m_Panels[i] = std::move(panel);
  }
  LayoutPanels();
  const CRect initial = GetInitialRect();
  SetWindowPos(nullptr, initial.left, initial.top, initial.Width(), initial.Height(), SWP_NOZORDER);
  return TRUE;
}

void CAdjustPalette::LayoutPanels() {
  int y = 0;
  int width = 0;
  for (const auto& panel : m_Panels) {
    if (!panel || !panel->m_hWnd) continue;
    const CSize size = panel->GetPanelSize(m_nFileType);
    panel->MoveWindow(CRect(0, y, size.cx, y + size.cy));
    panel->LayoutControls();
    width = size.cx;
    y += size.cy;
  }
  SetWindowPos(nullptr, 0, 0, width + 4, y + 20, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

CRect CAdjustPalette::GetInitialRect() {
  CRect window;
  GetWindowRect(window);
  int left = 0;
  int top = 0;
  if (CAppSettings* settings = Settings()) {
    CAppSettingsLock lock(*settings);
    left = settings->m_rcAdjustWindow.left;
    top = settings->m_rcAdjustWindow.top;
  }
  // Pulled back inside the maximised area, never to a negative coordinate.
  auto inside = [](int start, int size, int area) {
    if (start < 0) return 0;
    return start + size > area ? std::max(0, area - size) : start;
  };
  left = inside(left, window.Width(), GetSystemMetrics(SM_CXMAXIMIZED));
  top = inside(top, window.Height(), GetSystemMetrics(SM_CYMAXIMIZED));
  return CRect(left, top, left + window.Width(), top + window.Height());
}

void CAdjustPalette::UpdatePanels() {
  for (int i = 0; i < kPanelCount; ++i) UpdatePanel(i);
}

void CAdjustPalette::UpdatePanel(int index) {
  if (CPaletteToolBase* panel = GetPanel(index); panel && panel->m_hWnd) panel->UpdateFromImage();
}

BOOL CAdjustPalette::DestroyWindow() {
  DWORD state = 0;
  for (int i = 0; i < kPanelCount; ++i) {
    std::unique_ptr<CPaletteToolBase>& panel = m_Panels[i];
    if (!panel) {
      state |= m_dwStoredState & (1u << i);
      continue;
    }
    if (panel->IsExpanded()) state |= 1u << i;
    panel->DestroyWindow();
    panel.reset();
  }
  if (CAppSettings* settings = Settings(); settings && m_hWnd) {
    CRect window;
    GetWindowRect(window);
    CAppSettingsLock lock(*settings);
    settings->m_rcAdjustWindow = window;
    settings->m_dwPaletteState = state;
  }
  return CPaletteBase::DestroyWindow();
}

BOOL CAdjustPalette::PreTranslateMessage(MSG* msg) {
  if (IsArrowKeyDown(msg)) {
    // Arrow keys nudge the colour adjustment; they never move the focus.
    if (CPaletteToolBase* color = GetPanel(kColorPanel); color && color->m_hWnd) {
      color->PostMessage(WM_KEYDOWN, msg->wParam, msg->lParam);
    }
    return TRUE;
  }
  return CPaletteBase::PreTranslateMessage(msg);
}

CAdjustPalette::Record CAdjustPalette::NewRecord() const {
  return Record(m_nFileType == kRawFileType ? new CKVR_FilterData : new CET_FilterData);
}

// ---- Requests

LRESULT CAdjustPalette::SendToFrame(UINT message, WPARAM wParam, LPARAM lParam) {
  CWnd* window = m_pFrame ? m_pFrame->GetFrameWnd() : nullptr;
  return window && window->m_hWnd ? window->SendMessage(message, wParam, lParam) : 0;
}

LRESULT CAdjustPalette::SendToMainFrame(UINT message, LPARAM lParam) {
  CWnd* main = m_pServices->GetMainFrame();
  return main && main->m_hWnd ? main->SendMessage(message, reinterpret_cast<WPARAM>(&m_strPath), lParam) : 0;
}

void CAdjustPalette::SendSettings(int slot, BOOL withRecord) {
  SendToFrame(WM_APP_PREVIEW_SETTINGS, static_cast<WPARAM>(slot),
              withRecord ? reinterpret_cast<LPARAM>(m_pSettings.get()) : 0);
}

void CAdjustPalette::SendCustomSettings() {
  if (!m_pSettings) return;
  m_pSettings->m_strName = FString(dialogs::TableText(kCustomSettingNameTextId));
  SendSettings(3, TRUE);
}

void CAdjustPalette::SendGrayPointMode(int on) { SendToFrame(WM_APP_GRAY_POINT_MODE, on ? 1 : 0, 0); }

void CAdjustPalette::SendSaveRequest() { SendToFrame(WM_APP_SAVE_REQUEST, 0, 0); }

void CAdjustPalette::SetClipWarnings(int flag, int type, BYTE shadow, BYTE highlight) {
  m_bWarnings = flag;
  m_nHistType = type;
  m_nShadow = shadow;
  m_nHighlight = highlight;
  SendToFrame(WM_APP_CLIP_WARNINGS, static_cast<WPARAM>(flag),
              static_cast<LPARAM>(type) << 16 | static_cast<LPARAM>(highlight) << 8 | shadow);
}

void CAdjustPalette::SendVisibleRect(const FDoubleRect& rect) {
  FDoubleRect copy = rect;
  SendToFrame(WM_APP_VISIBLE_RECT, reinterpret_cast<WPARAM>(&copy), 0);
}

void CAdjustPalette::SendWriteSettings() {
  SendToMainFrame(WM_APP_SAVE_SETTINGS, reinterpret_cast<LPARAM>(m_pSettings.get()));
}

void CAdjustPalette::SendWhiteBalance() {
  if (auto* raw = dynamic_cast<CKVR_FilterData*>(m_pSettings.get()); raw && m_nFileType == kRawFileType) {
    SendToMainFrame(WM_APP_WB_CHANGED, raw->m_nWhiteBalance);
  }
}

void CAdjustPalette::SendColorMode() {
  if (auto* raw = dynamic_cast<CKVR_FilterData*>(m_pSettings.get()); raw && m_nFileType == kRawFileType) {
    SendToMainFrame(WM_APP_COLORMODE_CHANGED, raw->m_nColorMode);
  }
}

void CAdjustPalette::SendNoiseReduction() {
  if (auto* raw = dynamic_cast<CKVR_FilterData*>(m_pSettings.get()); raw && m_nFileType == kRawFileType) {
    SendToMainFrame(WM_APP_NOISE_CHANGED,
                    static_cast<LPARAM>(raw->m_nChromaNoise & 0xFFFF) | static_cast<LPARAM>(raw->m_nLumaNoise & 0xFFFF)
                                                                            << 16);
  }
}

// ---- Messages

LRESULT CAdjustPalette::OnActiveImage(WPARAM wParam, LPARAM lParam) {
  auto* frame = reinterpret_cast<IAdjustPaletteFrame*>(lParam);
  const auto* path = reinterpret_cast<const FString*>(wParam);
  if (!frame || !path) return 0;
  int pending = 0;
  std::unique_ptr<CTLM_ThumbnailData> record(frame->GetThumbnailRecord(&pending));
  if (!record) return 0;
  if (*path == m_strPath && frame == m_pFrame && m_Thumbnail.m_bFinalPicture == 1 &&
      record->m_Width == m_Thumbnail.m_Width && record->m_Height == m_Thumbnail.m_Height && m_bPending == 0) {
    return 0;
  }
  m_Thumbnail.Reset();
  m_PreviewDib.Free();
  m_pFrame = frame;
  m_strPath = *path;
  m_nFileType = ::GetFileType(m_strPath);
  m_pSettings = NewRecord();
  m_pCustomSettings = NewRecord();
  if (!pending) {
    frame->GetCurrentState(&m_nSlot, m_pSettings.get(), &m_PreviewDib);
    frame->GetCustomSettings(m_pCustomSettings.get());
  }
  frame->GetWarnings(&m_bWarnings, &m_nHistType, &m_nShadow, &m_nHighlight);
  m_bModified = frame->IsCurrentSlotModified() ? 1 : 0;
  m_Thumbnail.CopyFrom(record.get());
  m_bPending = pending;
  LayoutPanels();
  UpdatePanels();
  FDoubleRect visible;
  if (frame->IsImageReady()) visible = frame->GetVisibleRect();
  SendMessage(WM_APP_VISIBLE_RECT, reinterpret_cast<WPARAM>(&visible), 0);
  RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  ShowWindow(SW_SHOW);
  return 0;
}

LRESULT CAdjustPalette::OnPreviewSettings(WPARAM wParam, LPARAM lParam) {
  const auto* echo = reinterpret_cast<const PaletteSettingsEcho*>(lParam);
  if (!echo || !echo->settings || !m_pFrame || echo->frame != m_pFrame || !m_pSettings) return 0;
  m_nSlot = static_cast<int>(wParam & ~kPreviewSettingsFlag);
  m_pSettings->CopyFrom(echo->settings);
  m_bModified = (wParam & kPreviewSettingsFlag) ? 1 : 0;
  if (m_nSlot == 3 || m_nSlot == 4) m_pCustomSettings->CopyFrom(echo->settings);
  if (auto* custom = dynamic_cast<CKVR_FilterData*>(m_pCustomSettings.get())) {
    if (const auto* raw = dynamic_cast<const CKVR_FilterData*>(echo->settings)) {
      custom->m_nWhiteBalance = raw->m_nWhiteBalance;
      custom->m_nColorMode = raw->m_nColorMode;
      custom->m_nNoiseReduction = raw->m_nNoiseReduction;
      custom->m_nChromaNoise = raw->m_nChromaNoise;
      custom->m_nLumaNoise = raw->m_nLumaNoise;
    } else {
      custom->m_nWhiteBalance = custom->m_nColorMode = custom->m_nNoiseReduction = -1;
      custom->m_nChromaNoise = custom->m_nLumaNoise = -1;
    }
  }
  UpdatePanels();
  return 0;
}

LRESULT CAdjustPalette::OnSettingsSaved(WPARAM, LPARAM) {
  m_bModified = 0;
  UpdatePanel(kPresetPanel);
  return 0;
}

LRESULT CAdjustPalette::OnClipWarnings(WPARAM wParam, LPARAM lParam) {
  m_bWarnings = static_cast<int>(wParam);
  if (wParam) {
    m_nHistType = static_cast<int>(lParam >> 16);
    m_nShadow = static_cast<BYTE>(lParam & 0xFF);
    m_nHighlight = static_cast<BYTE>((lParam >> 8) & 0xFF);
  }
  UpdatePanel(kHistogramPanel);
  return 0;
}

LRESULT CAdjustPalette::OnPreviewBitmap(WPARAM wParam, LPARAM lParam) {
  if (!m_pFrame || reinterpret_cast<IAdjustPaletteFrame*>(wParam) != m_pFrame) return 0;
  m_PreviewDib.Free();
  if (const auto* picture = reinterpret_cast<const CET_Dib*>(lParam)) m_PreviewDib.CopyFrom(picture);
  UpdatePanel(kHistogramPanel);
  return 0;
}

LRESULT CAdjustPalette::OnVisibleRect(WPARAM wParam, LPARAM) {
  if (auto* navigator = dynamic_cast<CPaletteToolNavi*>(GetPanel(kNavigatorPanel)); navigator && navigator->m_hWnd) {
    navigator->SetVisibleRect(reinterpret_cast<const FDoubleRect*>(wParam));
  }
  return 0;
}

LRESULT CAdjustPalette::OnPresetAdded(WPARAM wParam, LPARAM) {
  if (auto* presets = dynamic_cast<CPaletteToolSetting*>(GetPanel(kPresetPanel)); presets && presets->m_hWnd) {
    presets->AddPreset(reinterpret_cast<const CKVR_FilterData*>(wParam));
  }
  return 0;
}
