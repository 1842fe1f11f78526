#include "review/palettes/CPaletteToolAdjust.h"

#include "review/palettes/CAdjustPalette.h"
#include "shell/app/AppMessages.h"
#include "shell/dialogs/DialogLayout.h"
#include "shell/facade/CKVR_FilterData.h"

#include <mutex>

namespace {

constexpr int kTitleTextId = 4100;
constexpr int kFirstLabelTextId = 4101;
constexpr int kResetTextId = 4108;
constexpr UINT kLabelFormat = DT_VCENTER | DT_SINGLELINE;
constexpr int kRawHeight = 306;
constexpr int kOtherHeight = 271;
// The fields the sliders show, in slider order.
int32_t* Field(CET_FilterData& record, int slider) {
  switch (slider) {
  case 0: return &record.m_nExposure;
  case 1: return &record.m_nContrast;
  case 2: return &record.m_nShadow;
  case 3: return &record.m_nHighlight;
  case 4: return &record.m_nSaturation;
  case 5: return &record.m_nSharpness;
  case 6: {
    auto* raw = dynamic_cast<CKVR_FilterData*>(&record);
    return raw ? &raw->m_nFillLight : nullptr;
  }
  default: return nullptr;
  }
}

void RegisterTemplate() {
  static std::once_flag once;
  std::call_once(once, [] {
    using dialogs::PixelItem;
    std::vector<DialogItemTemplate> items;
    for (int i = 0; i < CPaletteToolAdjust::kSliderCount; ++i) {
      items.push_back(PixelItem(CPaletteToolAdjust::kFirstLabelId + i, u"Static", WS_VISIBLE, {48, 29, 198, 44}));
      items.push_back(PixelItem(CPaletteToolAdjust::kFirstSliderId + i, u"TrackBar", WS_VISIBLE, {34, 44, 205, 64}));
    }
    items.push_back(PixelItem(CPaletteToolAdjust::kResetId, u"Button", WS_VISIBLE | BS_OWNERDRAW, {15, 280, 31, 297}));
    items.push_back(PixelItem(CPaletteToolAdjust::kResetLabelId, u"Static", WS_VISIBLE, {35, 280, 220, 295}));
    CPaletteToolAdjust::RegisterPanelTemplate(CPaletteToolAdjust::kTemplate, std::move(items));
  });
}

} // namespace

BEGIN_MESSAGE_MAP(CPaletteToolAdjust, CPaletteToolBase)
  ON_MESSAGE(WM_APP_TRACKBAR_CHANGED, OnTrackBarChanged)
  ON_COMMAND(CPaletteToolAdjust::kResetId, OnReset)
END_MESSAGE_MAP()

CPaletteToolAdjust::CPaletteToolAdjust(CWnd* parent) : CPaletteToolBase(kTemplate, parent) { RegisterTemplate(); }

void CPaletteToolAdjust::DoDataExchange(CDataExchange* dx) {
  CPaletteToolBase::DoDataExchange(dx);
  for (int i = 0; i < kSliderCount; ++i) {
    DDX_Control(dx, kFirstLabelId + i, m_Labels[i]);
    DDX_Control(dx, kFirstSliderId + i, m_Sliders[i]);
  }
  DDX_Control(dx, kResetId, m_Reset);
  DDX_Control(dx, kResetLabelId, m_ResetLabel);
}

BOOL CPaletteToolAdjust::OnInitDialog() {
  CDialog::OnInitDialog();
  InitCommon(kTitleTextId);
  for (int i = 0; i < kSliderCount; ++i) {
    m_Labels[i].SetBkColor(kFill);
    m_Labels[i].SetStringId(kFirstLabelTextId + i, kLabelFormat, FALSE);
    m_Sliders[i].SetBkColor(kFill);
  }
  InitResetButton(m_Reset, m_ResetLabel, kResetTextId);
  return TRUE;
}

bool CPaletteToolAdjust::IsRaw() const {
  return m_pOwner && m_pOwner->GetFileType() == CAdjustPalette::kRawFileType;
}

CSize CPaletteToolAdjust::GetPanelSize(int fileType) {
  if (!m_bExpanded) return CSize(kWidth, kTitleRowHeight);
  return CSize(kWidth, fileType == CAdjustPalette::kRawFileType ? kRawHeight : kOtherHeight);
}

void CPaletteToolAdjust::LayoutControls() {
  const bool raw = IsRaw();
  LayoutCommon(raw ? 299 : 264);
  const int show = m_bExpanded ? SW_SHOW : SW_HIDE;
  dialogs::Place(m_Labels[0], {48, 29, 198, 44});
  for (int i = 0; i < 5; ++i) {
    dialogs::Place(m_Sliders[i], {34, 44 + 35 * i, 205, 64 + 35 * i});
    dialogs::Place(m_Labels[i + 1], {48, 64 + 35 * i, 198, 79 + 35 * i});
  }
  dialogs::Place(m_Sliders[5], {34, 219, 205, 239});
  dialogs::Place(m_Labels[6], {48, 239, 198, 254});
  dialogs::Place(m_Sliders[6], {34, 254, 205, 274});
  for (int i = 0; i < 6; ++i) {
    m_Labels[i].ShowWindow(show);
    m_Sliders[i].ShowWindow(show);
  }
  m_Labels[6].ShowWindow(raw && m_bExpanded ? SW_SHOW : SW_HIDE);
  m_Sliders[6].ShowWindow(raw && m_bExpanded ? SW_SHOW : SW_HIDE);
  const int y = raw ? 280 : 245;
  dialogs::Place(m_Reset, {15, y, 31, y + 17});
  dialogs::Place(m_ResetLabel, {35, y, 220, y + 15});
  m_Reset.ShowWindow(show);
  m_ResetLabel.ShowWindow(show);
}

void CPaletteToolAdjust::UpdateFromImage() {
  CET_FilterData* record = m_pOwner ? m_pOwner->GetSettings() : nullptr;
  if (!record) return;
  const int shown = IsRaw() ? kSliderCount : kSliderCount - 1;
  for (int i = 0; i < shown; ++i) {
    if (const int32_t* field = Field(*record, i)) m_Sliders[i].SetPos(PositionOfValue(*field));
  }
}

LRESULT CPaletteToolAdjust::OnTrackBarChanged(WPARAM id, LPARAM data) {
  CET_FilterData* record = m_pOwner ? m_pOwner->GetSettings() : nullptr;
  const auto* note = reinterpret_cast<const ControlNotifyData*>(data);
  if (!record) return 0;
  const int slider = static_cast<int>(id) - kFirstSliderId;
  if (note && slider >= 0 && slider < kSliderCount) {
    if (int32_t* field = Field(*record, slider)) *field = ValueOfPosition(note->position);
  }
  m_pOwner->SendCustomSettings();
  return 0;
}

void CPaletteToolAdjust::OnReset() {
  CET_FilterData* record = m_pOwner ? m_pOwner->GetSettings() : nullptr;
  if (!record) return;
  const int fields = IsRaw() ? kSliderCount : kSliderCount - 1;
  for (int i = 0; i < fields; ++i) {
    if (int32_t* field = Field(*record, i)) *field = 0;
  }
  m_pOwner->SendSettings(3, TRUE);
}
