#include "review/frame/CReviewFormView.h"

#include "review/frame/CReviewFrame.h"
#include "review/frame/ReviewInfoLine.h"
#include "review/frame/ReviewViewServices.h"
#include "shell/app/AppMessages.h"
#include "shell/app/CLumitraApp.h"
#include "toolkit/PictureFileTypes.h"

#include "platform/afx/AfxDC.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

using namespace ReviewView;

IMPLEMENT_DYNCREATE(CReviewFormView, CFormViewBase)

BEGIN_MESSAGE_MAP(CReviewFormView, CFormViewBase)
  ON_WM_CREATE()
  ON_WM_ERASEBKGND()
  ON_WM_SIZE()
  ON_WM_TIMER()
  ON_WM_MOUSEWHEEL()
  ON_MESSAGE(WM_APP_RADIOBAR_CLICKED, OnRadioBarClicked)
  ON_MESSAGE(WM_APP_DEVELOP_PROGRESS, OnDevelopProgress)
  ON_MESSAGE(WM_APP_DEVELOP_DONE, OnDevelopDone)
  ON_MESSAGE(WM_APP_DEVELOP_PARTIAL, OnDevelopPartial)
  ON_MESSAGE(WM_APP_IMAGE_MOUSE, OnImageMouse)
  ON_CONTROL(CBN_SELCHANGE, ReviewView::kPresetList, OnSettingComboChanged)
  ON_COMMAND_RANGE(1003, 1057, OnButton)
END_MESSAGE_MAP()

namespace {

constexpr int kUserSettingTextId = 104;
constexpr int kCustomSettingTextId = 105;
constexpr int kPositionTextId = 131;
constexpr int kMaxLoupeStep = 8;
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kLabelFrame = RGB(23, 23, 23);
constexpr COLORREF kLabelFill = RGB(74, 74, 74);
constexpr UINT kButtonFormat = 37; // centred on one line
constexpr UINT kLabelFormat = 36;  // on one line
constexpr UINT kPositionFormat = 0x18025;
constexpr UINT kThirdLabelFormat = 0x18012;
constexpr UINT kInfoLineFormat = 0x18024;
constexpr int kPopupTexts[7] = {2200, 2201, 2202, 2204, 2208, 2209, 2210};
constexpr int kPopupLoupeTexts[3] = {2205, 2206, 2207};

std::u16string Ascii(const char* text) { return std::u16string(text, text + std::char_traits<char>::length(text)); }

// A table text with "%d" placeholders filled in turn; any other conversion is
// shown as it stands (the table is a file the user can edit).
std::u16string FormatNumbers(const std::u16string& format, std::initializer_list<int> numbers) {
  std::u16string out;
  auto next = numbers.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] == u'%' && i + 1 < format.size() && format[i + 1] == u'd' && next != numbers.end()) {
      out += Ascii(std::to_string(*next++).c_str());
      ++i;
    } else if (format[i] == u'%' && i + 1 < format.size() && format[i + 1] == u'%') {
      out += u'%';
      ++i;
    } else {
      out += format[i];
    }
  }
  return out;
}

struct IconLook {
  int id;
  SIZE size;
  int normal, pushed, disabled;
};
constexpr IconLook kIconButtons[] = {
    {kZoomOut, {16, 23}, 201, 202, 203},      {kZoomIn, {16, 23}, 204, 205, 206},
    {kPrevious, {16, 23}, 201, 202, 203},     {kNext, {16, 23}, 204, 205, 206},
    {kInfoPalette, {23, 23}, 174, 179, 175},  {kRotateLeft, {25, 23}, 176, 177, 178},
    {kRotateRight, {25, 23}, 180, 181, 182},  {kPrint, {23, 23}, 185, 186, 0},
    {kMark, {23, 23}, 187, 188, 189},         {kLock, {23, 23}, 190, 191, 192},
    {kDelete, {23, 23}, 193, 194, 195},       {kLoupeSmaller, {16, 23}, 201, 202, 203},
    {kLoupeLarger, {16, 23}, 204, 205, 206},  {kWriteSettings, {31, 30}, 160, 162, 161},
    {kSavePicture, {31, 30}, 153, 155, 154},
};

} // namespace

CReviewFormView::CReviewFormView() : CFormViewBase(kTemplate) { RegisterTemplate(); }

CReviewFormView::~CReviewFormView() {
  ClearPresetCombo();
  // The job's pictures and handle go with the control.
}

void CReviewFormView::RegisterTemplate() {
  static std::once_flag once;
  std::call_once(once, [] { platform::RegisterDialogTemplate(ReviewViewTemplate()); });
}

CReviewFrame* CReviewFormView::Frame() const { return dynamic_cast<CReviewFrame*>(GetParentFrame()); }

ReviewViewServices& CReviewFormView::Services() const {
  CReviewFrame* frame = Frame();
  return frame ? frame->Services() : ApplicationReviewServices();
}

bool CReviewFormView::IsRaw() const {
  CReviewFrame* frame = Frame();
  return frame && frame->GetFileType() == kRawFileType;
}

FString CReviewFormView::GetImagePath() const {
  CReviewFrame* frame = Frame();
  return frame ? frame->GetImagePath() : FString();
}

// ---- Creation and set-up ---------------------------------------------------------------

int CReviewFormView::OnCreate(LPCREATESTRUCT cs) {
  if (CFormViewBase::OnCreate(cs) == -1) return -1;
  m_Develop = std::make_unique<ReviewDevelopControl>(this, this, &Services());
  m_Pane.SetNotifyWnd(this);
  if (!m_Pane.Create(nullptr, u"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 0, 0), this, kPaneId)) return -1;
  m_Pane.SetNotifyMessage(WM_APP_IMAGE_MOUSE);
  m_Pane.SetPostNotify(FALSE);
  m_Pane.ShowWindow(SW_SHOW);
  return 0;
}

void CReviewFormView::DoDataExchange(CDataExchange* dx) {
  CFormViewBase::DoDataExchange(dx);
  DDX_Control(dx, kSave, m_SaveButton);
  DDX_Control(dx, kFit, m_FitButton);
  DDX_Control(dx, kAdjustPalette, m_AdjustPaletteButton);
  DDX_Control(dx, kZoomOut, m_ZoomOutButton);
  DDX_Control(dx, kZoomIn, m_ZoomInButton);
  DDX_Control(dx, kPrevious, m_PrevButton);
  DDX_Control(dx, kNext, m_NextButton);
  DDX_Control(dx, kInfoPalette, m_InfoPaletteButton);
  DDX_Control(dx, kRotateLeft, m_RotateLeftButton);
  DDX_Control(dx, kRotateRight, m_RotateRightButton);
  DDX_Control(dx, kPrint, m_PrintButton);
  DDX_Control(dx, kMark, m_MarkButton);
  DDX_Control(dx, kLock, m_LockButton);
  DDX_Control(dx, kDelete, m_DeleteButton);
  DDX_Control(dx, kLoupeSmaller, m_LoupeSmallerButton);
  DDX_Control(dx, kLoupeLarger, m_LoupeLargerButton);
  DDX_Control(dx, kWriteSettings, m_WriteSettingsButton);
  DDX_Control(dx, kSavePicture, m_SavePictureButton);
  DDX_Control(dx, kLoupe, m_LoupeButton);
  DDX_Control(dx, kZoomLabel, m_ZoomLabel);
  DDX_Control(dx, kPositionLabel, m_PositionLabel);
  DDX_Control(dx, kLoupeLabel, m_LoupeLabel);
  for (std::size_t i = 0; i < m_Separators.size(); ++i) DDX_Control(dx, kSeparators[i], m_Separators[i]);
  for (std::size_t i = 0; i < m_SlotLabels.size(); ++i) DDX_Control(dx, kSlotLabels[i], m_SlotLabels[i]);
  DDX_Control(dx, kInfoLine, m_InfoLine);
  DDX_Control(dx, kMarkIndicator, m_MarkIndicator);
  DDX_Control(dx, kLockIndicator, m_LockIndicator);
  DDX_Control(dx, kProgress, m_Progress);
  DDX_Control(dx, kSlotBar, m_SlotBar);
  DDX_Control(dx, kPresetList, m_PresetCombo);
}

void CReviewFormView::OnInitialUpdate() {
  CFormViewBase::OnInitialUpdate();
  if (m_bInitialized) return;
  SetUpControls();
  std::vector<std::unique_ptr<CKVR_FilterData>> presets;
  if (CLumitraApp* app = GetLumitraApp()) app->CopyPresets(&presets);
  FillPresetCombo(std::move(presets));
  if (CReviewFrame* frame = Frame()) {
    CET_FilterData custom;
    frame->GetCustomSettings(&custom);
    m_PresetCombo.SetText(std::u16string(custom.m_strName.View()));
    m_PresetCombo.SetCurSel(FindPreset(custom.m_strName));
  }
  m_Progress.SetRange32(0, 100);
  {
    CClientDC dc(this);
    m_ButtonWidths = ReviewTextButtonWidthsFor(m_SaveButton.CalcTextSize(&dc).cx, m_FitButton.CalcTextSize(&dc).cx,
                                               m_AdjustPaletteButton.CalcTextSize(&dc).cx);
  }
  m_bInitialized = TRUE;
  LayoutControls();
}

void CReviewFormView::SetUpControls() {
  m_SaveButton.SetStringId(2001, kButtonFormat);
  m_FitButton.SetStringId(2003, kButtonFormat);
  m_AdjustPaletteButton.SetStringId(2010, kButtonFormat);
  for (const IconLook& look : kIconButtons) {
    auto* button = dynamic_cast<CButtonBase*>(GetDlgItem(look.id));
    if (!button) continue;
    button->SetIconSize(look.size.cx, look.size.cy);
    button->SetIcon(look.normal);
    button->SetPushedIcon(look.pushed);
    if (look.disabled) button->SetDisabledIcon(look.disabled);
  }
  m_LoupeButton.SetIconSize(23, 23);
  m_LoupeButton.SetIcon(207);
  m_LoupeButton.SetPushedIcon(207);
  m_LoupeButton.SetCheckedIcon(208);
  m_LoupeButton.SetCheckedPushedIcon(208);
  for (CGroupeBoxBase* label : {&m_ZoomLabel, &m_PositionLabel, &m_LoupeLabel}) {
    label->SetRoundCorners(0);
    label->SetColors(kLabelFrame, kLabelFill);
  }
  m_ZoomLabel.SetStringId(2004, kButtonFormat, FALSE);
  m_PositionLabel.SetStringId(2002, kPositionFormat, FALSE);
  m_LoupeLabel.SetStringId(2005, kButtonFormat, FALSE);
  for (CGroupeBoxBase& line : m_Separators) {
    line.SetRoundCorners(0);
    line.SetColors(kBlack, kBlack);
  }
  m_SlotLabels[0].SetStringId(2006, kLabelFormat, FALSE);
  m_SlotLabels[1].SetStringId(2008, kButtonFormat, FALSE);
  m_SlotLabels[2].SetStringId(2009, kThirdLabelFormat, FALSE);
  m_InfoLine.SetStringId(2011, kInfoLineFormat, FALSE);
  m_InfoLine.SetText(u"", FALSE);
  m_MarkIndicator.SetIconSize(16, 16);
  m_MarkIndicator.SetIcon(233);
  m_LockIndicator.SetIconSize(16, 16);
  m_LockIndicator.SetIcon(235);
  m_MarkIndicator.ShowWindow(SW_HIDE);
  m_LockIndicator.ShowWindow(SW_HIDE);
  m_PresetCombo.SetTextStyleById(102);
  m_PresetCombo.SetTextColorById(103);
  if (CWnd* unused = GetDlgItem(kUnused)) unused->ShowWindow(SW_HIDE);
  // Disabled until the first result.
  EnableButton(kZoomOut, FALSE);
  EnableButton(kZoomIn, FALSE);
  m_ZoomLabel.SetText(u"", FALSE);
  UpdateLoupeLabel();
  SetLoupe(m_bLoupeOn, m_nLoupeStep);
  // Buttons whose action the frame does not offer stay disabled.
  for (int id : {kSave, kInfoPalette, kRotateLeft, kRotateRight, kPrint, kMark, kLock, kDelete}) EnableButton(id, TRUE);
  EnableFileButtons(FALSE);
}

void CReviewFormView::EnableButton(int id, BOOL on) {
  CWnd* button = GetDlgItem(id);
  if (!button) return;
  CReviewFrame* frame = Frame();
  const bool offered = !frame || frame->OffersCommand(static_cast<UINT>(id));
  button->EnableWindow(on && offered ? TRUE : FALSE);
}

// ---- Layout and painting ---------------------------------------------------------------

void CReviewFormView::LayoutControls() {
  if (!m_bInitialized) return;
  const bool raw = IsRaw();
  CRect client;
  GetClientRect(client);
  m_WriteSettingsButton.ShowWindow(raw ? SW_SHOW : SW_HIDE);
  m_SavePictureButton.ShowWindow(raw ? SW_HIDE : SW_SHOW);
  m_SlotLabels[0].SetStringId(raw ? 2006 : 2007, kLabelFormat, FALSE);
  m_PresetCombo.ShowWindow(raw ? SW_SHOW : SW_HIDE);

  for (const ReviewViewPlace& place : ReviewViewLayout(client.Width(), client.Height(), raw, m_ButtonWidths)) {
    if (place.id == static_cast<int>(kPaneId)) {
      if (m_Pane.m_hWnd) m_Pane.MoveOuter(place.rect);
      continue;
    }
    if (CWnd* control = GetDlgItem(place.id)) {
      control->MoveWindow(place.rect, FALSE);
      control->Invalidate();
    }
  }
  const CRect labels = m_SlotLabels[2].m_hWnd ? [this] {
    CRect r;
    m_SlotLabels[2].GetWindowRect(r);
    ScreenToClient(r);
    return r;
  }()
                                               : CRect();
  InvalidateRect(CRect(502, 5, std::max<int>(502, labels.right), 60));
  if (IsImageReady()) UpdateZoomLabel();
  ReportVisibleArea();
}

BOOL CReviewFormView::OnEraseBkgnd(CDC* dc) {
  if (m_Pane.m_hWnd) {
    CRect pane;
    m_Pane.GetWindowRect(pane);
    ScreenToClient(pane);
    dc->ExcludeClipRect(pane);
  }
  return CFormViewBase::OnEraseBkgnd(dc);
}

void CReviewFormView::OnSize(UINT type, int cx, int cy) {
  const double zoom = m_Pane.GetZoom();
  CFormViewBase::OnSize(type, cx, cy);
  if (IsRaw() && std::abs(m_Pane.GetZoom() - zoom) > 1e-6) {
    KillTimer(kResizeTimer);
    SetTimer(kResizeTimer, kResizeQuietMs);
  }
}

void CReviewFormView::OnTimer(UINT_PTR id) {
  if (id == kResizeTimer) {
    KillTimer(kResizeTimer);
    if (!m_Develop->HasParkedRequest()) StartDevelop(m_Develop->Job().slot, m_Develop->Job().slots);
  }
  CFormViewBase::OnTimer(id);
}

BOOL CReviewFormView::DestroyWindow() {
  KillTimer(kResizeTimer);
  // A worker still running would write into the job this view owns.
  if (m_Develop && m_Develop->IsWorkerRunning()) m_Develop->StopWorker(TRUE);
  return CFormViewBase::DestroyWindow();
}

FIntSize CReviewFormView::GetPaneClientSize() {
  CRect client;
  if (m_Pane.m_hWnd) m_Pane.GetClientRect(client);
  return FIntSize(client.Width(), client.Height());
}

void CReviewFormView::ReportVisibleArea() {
  CReviewFrame* frame = Frame();
  if (!frame || !m_Pane.m_hWnd) return;
  CRect client;
  m_Pane.GetClientRect(client);
  frame->SetVisibleRect(m_Pane.ClientRectToImage(FDoubleRect(client.left, client.top, client.right, client.bottom),
                                                 TRUE));
}

// ---- View settings ---------------------------------------------------------------------

BOOL CReviewFormView::GetLoupe(int* step) const {
  if (step) *step = m_nLoupeStep;
  return m_bLoupeOn;
}

void CReviewFormView::GetImagePosition(int* index, int* count) const {
  if (index) *index = m_nImageIndex;
  if (count) *count = m_nImageCount;
}

BOOL CReviewFormView::GetClipWarning(int* channel, BYTE* shadow, BYTE* highlight) const {
  if (channel) *channel = m_nWarnChannel;
  if (shadow) *shadow = m_nWarnShadow;
  if (highlight) *highlight = m_nWarnHighlight;
  return m_bWarnOn;
}

void CReviewFormView::SetLoupe(BOOL on, int step) {
  m_bLoupeOn = on ? TRUE : FALSE;
  if (m_bLoupeOn) m_nLoupeStep = std::clamp(step, 1, kMaxLoupeStep);
  m_Pane.SetLoupe(m_bLoupeOn, m_nLoupeStep);
  if (m_LoupeButton.m_hWnd) m_LoupeButton.SetCheck(m_bLoupeOn ? 1 : 0);
  UpdateLoupeLabel();
  EnableButton(kLoupeSmaller, m_bLoupeOn);
  EnableButton(kLoupeLarger, m_bLoupeOn);
}

void CReviewFormView::ShowLoupe(BOOL on) { SetLoupe(on, m_nLoupeStep); }

void CReviewFormView::SetLoupeArea(int code) {
  m_nLoupeArea = code;
  m_Pane.SetLoupeArea(code);
}

void CReviewFormView::ShowRuler(BOOL on) {
  if (!on == !m_bRulerOn) return;
  m_bRulerOn = on ? TRUE : FALSE;
  m_Pane.SetRuler(m_bRulerOn, IsImageReady() ? FALSE : TRUE);
  if (IsImageReady()) UpdateZoomLabel();
  ReportVisibleArea();
}

void CReviewFormView::SetZoomIndex(int index) {
  m_Pane.SetZoomIndex(index);
  if (IsImageReady()) UpdateZoomLabel();
  ReportVisibleArea();
}

void CReviewFormView::SetGrayPointMode(BOOL on) {
  m_bGrayPointMode = on ? TRUE : FALSE;
  m_Pane.SetGrayPointMode(m_bGrayPointMode);
}

void CReviewFormView::SetClipWarning(BOOL on, int channel, BYTE shadow, BYTE highlight) {
  m_bWarnOn = on ? TRUE : FALSE;
  m_nWarnChannel = channel;
  m_nWarnShadow = shadow;
  m_nWarnHighlight = highlight;
  if (m_Pane.GetPicture().IsValid() && !m_Develop->IsWorkerRunning()) ShowResult();
}

void CReviewFormView::SetLocked(BOOL on) {
  m_LockIndicator.ShowWindow(on ? SW_SHOW : SW_HIDE);
  EnableButton(kDelete, on ? FALSE : TRUE);
}

void CReviewFormView::SetMarked(BOOL on) { m_MarkIndicator.ShowWindow(on ? SW_SHOW : SW_HIDE); }

void CReviewFormView::SetImagePosition(int index, int count) {
  m_nImageIndex = index;
  m_nImageCount = count;
  UpdateImagePosition();
}

void CReviewFormView::EnableFileButtons(BOOL enable) {
  m_bFileButtonsOn = enable ? TRUE : FALSE;
  EnableButton(kWriteSettings, m_bFileButtonsOn);
  EnableButton(kSavePicture, m_bFileButtonsOn);
}

void CReviewFormView::SetProgress(int percent) {
  if (m_Progress.m_hWnd) m_Progress.SetPos(percent >= 0 && percent <= 99 ? percent : 0);
}

void CReviewFormView::DiscardProgressMessages() {
  MSG msg;
  while (::PeekMessage(&msg, m_hWnd, WM_APP_DEVELOP_PROGRESS, WM_APP_DEVELOP_PROGRESS, PM_REMOVE)) {
  }
}

void CReviewFormView::ScrollToRect(const FDoubleRect& fractions) { m_Pane.ScrollToRelativeRect(fractions); }

// ---- Zoom, loupe and position labels -----------------------------------------------------

void CReviewFormView::Zoom(int step) {
  const double before = m_Pane.GetZoom();
  m_Pane.StepZoom(step);
  if (IsImageReady()) UpdateZoomLabel();
  ReportVisibleArea();
  const double after = m_Pane.GetZoom();
  // A full-size development serves every zoom of 100 % and above.
  if (before >= 0.999999 && after >= 0.999999) return;
  if (IsRaw() && !m_Develop->HasParkedRequest()) StartDevelop(m_Develop->Job().slot, m_Develop->Job().slots);
}

void CReviewFormView::UpdateZoomLabel() {
  const double percent = m_Pane.GetZoom() * 100.0;
  char text[32];
  std::snprintf(text, sizeof text, m_Pane.GetZoom() >= 1.0 ? "%.0f %%" : "%.1f %%", percent);
  m_ZoomLabel.SetText(Ascii(text), TRUE);
  EnableButton(kZoomOut, TRUE);
  EnableButton(kZoomIn, TRUE);
}

void CReviewFormView::UpdateLoupeLabel() {
  if (!m_LoupeLabel.m_hWnd) return;
  m_LoupeLabel.SetText(Ascii((std::to_string(m_nLoupeStep * 100) + " %").c_str()), TRUE);
}

void CReviewFormView::UpdateImagePosition() {
  m_PositionLabel.SetText(FormatNumbers(Services().Text(kPositionTextId), {m_nImageIndex + 1, m_nImageCount}), TRUE);
  const bool single = m_nImageCount <= 1;
  EnableButton(kPrevious, !single && m_nImageIndex > 0);
  EnableButton(kNext, !single && m_nImageIndex + 1 < m_nImageCount);
}

void CReviewFormView::UpdateInfoText(const CTLM_ThumbnailData* record) {
  if (!m_InfoLine.m_hWnd) return;
  if (!record) {
    m_InfoLine.SetText(u"", TRUE);
    return;
  }
  ReviewViewServices& services = Services();
  m_InfoLine.SetText(ReviewInfoLine(std::u16string(record->m_FileName.View()), record->m_Exif, record->m_FileSize,
                                    [&services](int id) { return services.Text(id); }),
                     TRUE);
}

// ---- The settings choice ---------------------------------------------------------------

void CReviewFormView::ShowSettingSelection(int slot, const FString& name) {
  static constexpr int kPositions[] = {-1, 0, 1, 2, 2};
  const int position = CFilterDataSlots::IsSlotNumber(slot) ? kPositions[slot] : -1;
  if (position >= 0 && m_SlotBar.m_hWnd) m_SlotBar.SetCurSel(position);
  FString shown = name;
  if (slot == CFilterDataSlots::kAsShot || slot == CFilterDataSlots::kAuto) {
    if (CReviewFrame* frame = Frame()) {
      CET_FilterData custom;
      frame->GetCustomSettings(&custom);
      shown = custom.m_strName;
    }
  }
  if (!m_PresetCombo.m_hWnd) return;
  m_PresetCombo.EnableAndRedraw(m_SlotBar.GetCurSel() == 2 ? TRUE : FALSE);
  m_PresetCombo.SetCurSel(FindPreset(shown));
  m_PresetCombo.SetText(std::u16string(shown.View()));
  m_PresetCombo.Invalidate();
}

LRESULT CReviewFormView::OnRadioBarClicked(WPARAM id, LPARAM data) {
  CReviewFrame* frame = Frame();
  if (static_cast<int>(id) != kSlotBar || !frame) return 0;
  const int button = static_cast<int>(data);
  if (button == 0 || button == 1) {
    frame->SelectSlot(button + 1, nullptr, TRUE);
    return 0;
  }
  if (button != 2) return 0;
  const int selected = m_PresetCombo.GetCurSel();
  if (selected >= 0 && selected < static_cast<int>(m_Presets.size())) {
    const CKVR_FilterData* preset = m_Presets[static_cast<std::size_t>(selected)].get();
    if (std::u16string(preset->m_strName.View()) == Services().Text(kUserSettingTextId)) {
      frame->SelectSlot(CFilterDataSlots::kUser, nullptr, TRUE);
    } else {
      frame->SelectSlot(CFilterDataSlots::kCustom, preset, TRUE);
    }
    return 0;
  }
  std::unique_ptr<CET_FilterData> custom(frame->GetSlotSettings(CFilterDataSlots::kCustom));
  frame->SelectSlot(CFilterDataSlots::kCustom, custom.get(), TRUE);
  return 0;
}

void CReviewFormView::OnSettingComboChanged() {
  CReviewFrame* frame = Frame();
  const int selected = m_PresetCombo.GetCurSel();
  if (!frame || selected < 0 || selected >= static_cast<int>(m_Presets.size())) return;
  const CKVR_FilterData* preset = m_Presets[static_cast<std::size_t>(selected)].get();
  // The user setting keeps the custom settings as they are.
  if (std::u16string(preset->m_strName.View()) == Services().Text(kUserSettingTextId)) {
    frame->SelectSlot(CFilterDataSlots::kUser, nullptr, TRUE);
  } else {
    frame->SelectSlot(CFilterDataSlots::kCustom, preset, TRUE);
  }
}

void CReviewFormView::ClearPresetCombo() {
  if (m_PresetCombo.m_hWnd) m_PresetCombo.ResetContent();
  m_Presets.clear();
}

void CReviewFormView::FillPresetCombo(std::vector<std::unique_ptr<CKVR_FilterData>> presets) {
  ClearPresetCombo();
  auto user = std::make_unique<CKVR_FilterData>();
  user->Reset();
  user->m_strName = FString(Services().Text(kUserSettingTextId));
  presets.insert(presets.begin(), std::move(user));
  for (auto& preset : presets) {
    if (!preset) continue;
    m_PresetCombo.AddString(std::u16string(preset->m_strName.View()).c_str());
    m_Presets.push_back(std::move(preset));
  }
}

int CReviewFormView::FindPreset(const FString& name) const {
  for (std::size_t i = 0; i < m_Presets.size(); ++i) {
    if (m_Presets[i]->m_strName == name) return static_cast<int>(i);
  }
  return -1;
}

void CReviewFormView::OnPresetAdded(const CKVR_FilterData* preset, BOOL reselect) {
  if (!preset) return;
  auto copy = std::make_unique<CKVR_FilterData>();
  copy->CopyFrom(preset);
  m_PresetCombo.AddString(std::u16string(copy->m_strName.View()).c_str());
  m_Presets.push_back(std::move(copy));
  if (reselect) {
    if (CReviewFrame* frame = Frame()) ShowSettingSelection(frame->GetCurrentSlot(), preset->m_strName);
  }
}

void CReviewFormView::OnPresetRemoved(const CKVR_FilterData* preset, BOOL reselect) {
  if (!preset) return;
  const int index = FindPreset(preset->m_strName);
  if (index >= 0) {
    m_PresetCombo.DeleteString(static_cast<UINT>(index));
    m_Presets.erase(m_Presets.begin() + index);
  }
  CReviewFrame* frame = Frame();
  if (reselect && frame) {
    std::unique_ptr<CET_FilterData> current(frame->GetSlotSettings(CFilterDataSlots::kCustom));
    ShowSettingSelection(frame->GetCurrentSlot(), current ? current->m_strName : FString());
  }
}

void CReviewFormView::OnPresetReplaced(const CKVR_FilterData* preset, BOOL reselect) {
  if (!preset) return;
  const int index = FindPreset(preset->m_strName);
  if (index < 0) return;
  const bool wasShown = m_PresetCombo.GetText() == std::u16string(preset->m_strName.View());
  m_Presets[static_cast<std::size_t>(index)]->CopyFrom(preset);
  if (reselect) {
    if (CReviewFrame* frame = Frame()) ShowSettingSelection(frame->GetCurrentSlot(), preset->m_strName);
  } else if (wasShown) {
    m_PresetCombo.SetText(Services().Text(kCustomSettingTextId));
  }
}

// ---- Mouse -------------------------------------------------------------------------------

BOOL CReviewFormView::OnMouseWheel(UINT flags, short delta, CPoint point) {
  if (!IsImageReady()) return FALSE;
  const UINT keys = flags & (MK_CONTROL | MK_SHIFT | MK_LBUTTON | MK_RBUTTON | MK_MBUTTON);
  if (keys == 0) {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    if (m_Pane.GetScrollInfo(SB_VERT, &info, SIF_ALL)) {
      const int step = std::max<int>(1, static_cast<int>(info.nPage) / 16);
      const int position = info.nPos + (delta < 0 ? step : -step);
      m_Pane.SendMessage(WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, static_cast<WORD>(std::max(0, position))), 0);
    }
  } else if (keys == MK_CONTROL) {
    Zoom(delta < 0 ? 4 : 3);
  }
  return CFormViewBase::OnMouseWheel(flags, delta, point);
}

LRESULT CReviewFormView::OnImageMouse(WPARAM message, LPARAM data) {
  const auto* record = reinterpret_cast<const CET_ImageWndMsgData*>(data);
  CReviewFrame* frame = Frame();
  if (!record || !frame) return 0;
  switch (message) {
  case WM_MOUSEMOVE:
    if (m_Pane.IsPanning()) frame->SetVisibleRect(record->m_VisibleRect);
    break;
  case WM_LBUTTONDOWN:
    if (!IsCancelled() && m_bGrayPointMode && record->m_VisibleRect.Contains(record->m_ImagePoint)) {
      PickGreyPoint(*record);
    }
    break;
  case WM_RBUTTONUP:
    ShowContextMenu(record->m_Point);
    break;
  case WM_HSCROLL:
  case WM_VSCROLL:
    ReportVisibleArea();
    break;
  default:
    break;
  }
  return 0;
}

void CReviewFormView::ShowContextMenu(CPoint client) {
  CReviewFrame* frame = Frame();
  CMenu menu;
  if (!frame || !menu.LoadMenu(IDR_REVIEWPOPUP)) return;
  CMenu* popup = menu.GetSubMenu(0);
  if (!popup) return;
  ReviewViewServices& services = Services();
  for (UINT position = 0; position < popup->GetMenuItemCount() && position < std::size(kPopupTexts); ++position) {
    const std::u16string text = services.Text(kPopupTexts[position]);
    if (CMenu* sizes = popup->GetSubMenu(static_cast<int>(position))) {
      for (UINT i = 0; i < sizes->GetMenuItemCount() && i < std::size(kPopupLoupeTexts); ++i) {
        const UINT id = sizes->GetMenuItemID(static_cast<int>(i));
        sizes->ModifyMenu(i, MF_BYPOSITION | MF_STRING, id, services.Text(kPopupLoupeTexts[i]).c_str());
      }
      popup->ModifyMenu(position, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(sizes->GetSafeHmenu()),
                        text.c_str());
    } else {
      popup->ModifyMenu(position, MF_BYPOSITION | MF_STRING, popup->GetMenuItemID(static_cast<int>(position)),
                        text.c_str());
    }
  }
  CPoint screen = client;
  m_Pane.ClientToScreen(&screen);
  popup->TrackPopupMenu(TPM_RIGHTBUTTON, screen.x, screen.y, frame);
}

// ---- Buttons -----------------------------------------------------------------------------

void CReviewFormView::OnButton(UINT id) {
  CReviewFrame* frame = Frame();
  if (!frame) return;
  switch (static_cast<int>(id)) {
  case kSave:
  case kSavePicture: frame->SaveImage(); break;
  case kInfoPalette: frame->ToggleInfoPalette(); break;
  case kAdjustPalette: frame->ToggleAdjustPalette(); break;
  case kRotateLeft: frame->RotateImage(FALSE); break;
  case kRotateRight: frame->RotateImage(TRUE); break;
  case kWriteSettings: frame->WriteSettingsToFile(); break;
  case kPrint: frame->PrintImage(); break;
  case kMark: frame->ToggleMark(); break;
  case kLock: frame->ToggleLock(); break;
  case kDelete: frame->DeleteImage(); break;
  case kPrevious:
  case kNext:
    m_Develop->SetReady(FALSE);
    m_ZoomLabel.SetText(u"", TRUE);
    EnableButton(kZoomOut, FALSE);
    EnableButton(kZoomIn, FALSE);
    if (static_cast<int>(id) == kPrevious) {
      frame->ShowPrevImage();
    } else {
      frame->ShowNextImage();
    }
    break;
  case kFit: Zoom(1); break;
  case kZoomOut: Zoom(4); break;
  case kZoomIn: Zoom(3); break;
  case kLoupe: ShowLoupe(!m_bLoupeOn); break;
  case kLoupeSmaller:
    if (m_bLoupeOn && m_nLoupeStep > 1) SetLoupe(TRUE, m_nLoupeStep - 1);
    break;
  case kLoupeLarger:
    if (m_bLoupeOn && m_nLoupeStep < kMaxLoupeStep) SetLoupe(TRUE, m_nLoupeStep + 1);
    break;
  default: break;
  }
}

// ---- Developing ----------------------------------------------------------------------------

void CReviewFormView::StartDevelop(int slot, CFilterDataSlots* slots) { m_Develop->StartDevelop(slot, slots); }

BOOL CReviewFormView::StopWorker(BOOL force) { return m_Develop->StopWorker(force); }

BOOL CReviewFormView::IsClosePending() {
  CReviewFrame* frame = Frame();
  return frame && frame->IsClosePending();
}

void CReviewFormView::PostCloseToFrame() {
  if (CReviewFrame* frame = Frame()) frame->PostMessage(WM_CLOSE);
}
