#include "review/palettes/CPaletteToolSetting.h"

#include "review/controls/CKVRSettingDlg.h"
#include "review/palettes/CAdjustPalette.h"
#include "shell/app/AppMessages.h"
#include "shell/app/CLumitraApp.h"
#include "shell/dialogs/DialogLayout.h"

#include <mutex>

namespace {

constexpr int kTitleTextId = 4000;
constexpr int kAsShotRawTextId = 4001;
constexpr int kAsShotTextId = 4002;
constexpr int kAutomaticTextId = 4003;
constexpr int kCustomTextId = 4004;
constexpr int kSaveTextId = 4006;
constexpr int kDeleteTextId = 4007;
constexpr int kListStyleTextId = 102;
constexpr int kListColourTextId = 103;
constexpr UINT kLeftFormat = DT_VCENTER | DT_SINGLELINE;
constexpr UINT kCentreFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
constexpr UINT kCustomFormat = 0x18012; // right aligned, word break, end ellipsis
constexpr RECT kSlotBarRect{60, 30, 205, 44};
constexpr RECT kActionRect{15, 30, 45, 61};
constexpr RECT kAutomaticRect{113, 47, 157, 57};
constexpr RECT kCustomRect{157, 47, 214, 73};
constexpr RECT kListRect{20, 75, 220, 93};
constexpr RECT kSaveRect{13, 100, 118, 123};
constexpr RECT kDeleteRect{123, 100, 228, 123};
constexpr int kRawHeight = 130;
constexpr int kOtherHeight = 85;
constexpr int kCustomPosition = 2;

// The radio position of a settings slot; -1 for none.
int PositionOfSlot(int slot) {
  switch (slot) {
  case 1: return 0;
  case 2: return 1;
  case 3:
  case 4: return kCustomPosition;
  default: return -1;
  }
}

// The values a preset never changes: they are written into the raw file itself.
void CopyFileLevelValues(const CKVR_FilterData& from, CKVR_FilterData* to) {
  to->m_nWhiteBalance = from.m_nWhiteBalance;
  to->m_nColorMode = from.m_nColorMode;
  to->m_nNoiseReduction = from.m_nNoiseReduction;
  to->m_nChromaNoise = from.m_nChromaNoise;
  to->m_nLumaNoise = from.m_nLumaNoise;
}

void SetIcons(CButtonBase& button, int cx, int cy, int normal, int pushed, int disabled) {
  button.SetIconSize(cx, cy);
  button.SetIcon(normal);
  button.SetPushedIcon(pushed);
  if (disabled) button.SetDisabledIcon(disabled);
  button.SetBkColor(CPaletteToolBase::kFill);
}

} // namespace

BEGIN_MESSAGE_MAP(CPaletteToolSetting, CPaletteToolBase)
  ON_MESSAGE(WM_APP_RADIOBAR_CLICKED, OnRadioBarClicked)
  ON_CONTROL(CBN_SELCHANGE, CPaletteToolSetting::kPresetListId, OnPresetSelected)
  ON_COMMAND(CPaletteToolSetting::kSavePresetId, OnSavePreset)
  ON_COMMAND(CPaletteToolSetting::kDeletePresetId, OnDeletePreset)
  ON_COMMAND(CPaletteToolSetting::kWriteSettingsId, OnWriteSettings)
  ON_COMMAND(CPaletteToolSetting::kSaveImageId, OnSaveImage)
END_MESSAGE_MAP()

CPaletteToolSetting::CPaletteToolSetting(CWnd* parent) : CPaletteToolBase(kTemplate, parent) {
  static std::once_flag once;
  std::call_once(once, [] {
    using dialogs::PixelItem;
    constexpr DWORD button = WS_VISIBLE | BS_OWNERDRAW;
    RegisterPanelTemplate(kTemplate, {PixelItem(kSlotBarId, u"RadioBar", WS_VISIBLE, kSlotBarRect),
                                      PixelItem(kFirstLabelId, u"Static", WS_VISIBLE, {55, 47, 110, 57}),
                                      PixelItem(kFirstLabelId + 1, u"Static", WS_VISIBLE, kAutomaticRect),
                                      PixelItem(kFirstLabelId + 2, u"Static", WS_VISIBLE, kCustomRect),
                                      PixelItem(kPresetListId, u"ComboBox", WS_VISIBLE | WS_TABSTOP, kListRect),
                                      PixelItem(kSavePresetId, u"Button", button, kSaveRect),
                                      PixelItem(kDeletePresetId, u"Button", button, kDeleteRect),
                                      PixelItem(kWriteSettingsId, u"Button", button, kActionRect),
                                      PixelItem(kSaveImageId, u"Button", button, kActionRect)});
  });
}

void CPaletteToolSetting::DoDataExchange(CDataExchange* dx) {
  CPaletteToolBase::DoDataExchange(dx);
  DDX_Control(dx, kSlotBarId, m_SlotBar);
  for (int i = 0; i < 3; ++i) DDX_Control(dx, kFirstLabelId + i, m_Labels[i]);
  DDX_Control(dx, kPresetListId, m_Presets);
  DDX_Control(dx, kSavePresetId, m_SavePreset);
  DDX_Control(dx, kDeletePresetId, m_DeletePreset);
  DDX_Control(dx, kWriteSettingsId, m_WriteSettings);
  DDX_Control(dx, kSaveImageId, m_SaveImage);
}

BOOL CPaletteToolSetting::OnInitDialog() {
  CDialog::OnInitDialog();
  InitCommon(kTitleTextId);
  m_SlotBar.SetBkColor(kFill);
  for (CStaticBase& label : m_Labels) label.SetBkColor(kFill);
  m_Labels[1].SetStringId(kAutomaticTextId, kCentreFormat, FALSE);
  m_Labels[2].SetStringId(kCustomTextId, kCustomFormat, FALSE);
  m_Presets.SetTextStyleById(kListStyleTextId);
  m_Presets.SetTextColorById(kListColourTextId);
  SetIcons(m_SavePreset, 105, 23, 147, 148, 0);
  m_SavePreset.SetStringId(kSaveTextId, kCentreFormat);
  SetIcons(m_DeletePreset, 105, 23, 147, 148, 0);
  m_DeletePreset.SetStringId(kDeleteTextId, kCentreFormat);
  SetIcons(m_WriteSettings, 31, 30, 160, 162, 161);
  SetIcons(m_SaveImage, 31, 30, 153, 155, 154);
  std::vector<std::unique_ptr<CKVR_FilterData>> presets;
  if (CLumitraApp* app = GetLumitraApp()) app->CopyPresets(&presets);
  FillPresetList(std::move(presets));
  return TRUE;
}

void CPaletteToolSetting::FillPresetList(std::vector<std::unique_ptr<CKVR_FilterData>> presets) {
  auto neutral = std::make_unique<CKVR_FilterData>();
  neutral->Reset();
  neutral->m_strName = FString(dialogs::TableText(kUserSettingTextId));
  AppendEntry(std::move(neutral));
  for (auto& preset : presets) {
    if (preset) AppendEntry(std::move(preset));
  }
}

void CPaletteToolSetting::AppendEntry(std::unique_ptr<CKVR_FilterData> record) {
  m_Presets.AddString(std::u16string(record->m_strName.View()).c_str());
  m_Records.push_back(std::move(record));
}

void CPaletteToolSetting::AddPreset(const CKVR_FilterData* record) {
  if (!record) return;
  auto copy = std::make_unique<CKVR_FilterData>();
  copy->CopyFrom(record);
  AppendEntry(std::move(copy));
}

std::vector<std::u16string> CPaletteToolSetting::GetPresetNames() const {
  std::vector<std::u16string> names;
  for (const auto& record : m_Records) names.emplace_back(record->m_strName.View());
  return names;
}

int CPaletteToolSetting::FindEntry(const FString& name) const {
  for (size_t i = 0; i < m_Records.size(); ++i) {
    if (m_Records[i]->m_strName == name) return static_cast<int>(i);
  }
  return -1;
}

bool CPaletteToolSetting::IsRaw() const {
  return m_pOwner && m_pOwner->GetFileType() == CAdjustPalette::kRawFileType;
}

CSize CPaletteToolSetting::GetPanelSize(int fileType) {
  if (!m_bExpanded) return CSize(kWidth, kTitleRowHeight);
  return CSize(kWidth, fileType == CAdjustPalette::kRawFileType ? kRawHeight : kOtherHeight);
}

void CPaletteToolSetting::LayoutControls() {
  const bool raw = IsRaw();
  LayoutCommon(raw ? 125 : 80);
  const int show = m_bExpanded ? SW_SHOW : SW_HIDE;
  dialogs::Place(m_SlotBar, kSlotBarRect);
  m_SlotBar.ShowWindow(show);
  dialogs::Place(m_WriteSettings, kActionRect);
  dialogs::Place(m_SaveImage, kActionRect);
  m_WriteSettings.ShowWindow(raw && m_bExpanded ? SW_SHOW : SW_HIDE);
  m_SaveImage.ShowWindow(!raw && m_bExpanded ? SW_SHOW : SW_HIDE);
  (raw ? m_WriteSettings : m_SaveImage).EnableWindow(FALSE);
  m_Labels[0].SetStringId(raw ? kAsShotRawTextId : kAsShotTextId, kLeftFormat, FALSE);
  dialogs::Place(m_Labels[0], {raw ? 55 : 50, 47, 110, 57});
  dialogs::Place(m_Labels[1], kAutomaticRect);
  dialogs::Place(m_Labels[2], kCustomRect);
  for (CStaticBase& label : m_Labels) label.ShowWindow(show);
  dialogs::Place(m_Presets, kListRect);
  dialogs::Place(m_SavePreset, kSaveRect);
  dialogs::Place(m_DeletePreset, kDeleteRect);
  const int rawOnly = raw && m_bExpanded ? SW_SHOW : SW_HIDE;
  m_Presets.ShowWindow(rawOnly);
  m_SavePreset.ShowWindow(rawOnly);
  m_DeletePreset.ShowWindow(rawOnly);
}

void CPaletteToolSetting::UpdateFromImage() {
  if (!m_pOwner) return;
  const int position = PositionOfSlot(m_pOwner->GetSlot());
  if (position >= 0) m_SlotBar.SetCurSel(position);
  const CET_FilterData* current = m_pOwner->GetSettings();
  const CET_FilterData* custom = m_pOwner->GetCustomSettings();
  if (position == kCustomPosition && current) {
    m_Presets.EnableWindow(TRUE);
    const std::u16string name(current->m_strName.View());
    const int found = m_Presets.FindString(0, name.c_str());
    if (found >= 0) m_Presets.SetCurSel(found);
    m_Presets.SetText(name);
  } else {
    m_Presets.EnableWindow(FALSE);
    m_Presets.SetText(custom ? std::u16string(custom->m_strName.View()) : std::u16string());
  }
  (IsRaw() ? m_WriteSettings : m_SaveImage).EnableWindow(m_pOwner->IsModified() ? TRUE : FALSE);
  m_Presets.RedrawWindow();
}

LRESULT CPaletteToolSetting::OnRadioBarClicked(WPARAM id, LPARAM) {
  if (id != kSlotBarId || !m_pOwner) return 0;
  switch (m_SlotBar.GetCurSel()) {
  case 0: m_pOwner->SendSettings(1, FALSE); break;
  case 1: m_pOwner->SendSettings(2, FALSE); break;
  case kCustomPosition: {
    CET_FilterData* current = m_pOwner->GetSettings();
    const CET_FilterData* custom = m_pOwner->GetCustomSettings();
    if (!current || !custom) break;
    auto* raw = dynamic_cast<CKVR_FilterData*>(current);
    CKVR_FilterData kept;
    if (raw) CopyFileLevelValues(*raw, &kept);
    current->CopyFrom(custom);
    if (raw) CopyFileLevelValues(kept, raw);
    m_pOwner->SendSettings(3, TRUE);
    break;
  }
  default: break;
  }
  return 0;
}

void CPaletteToolSetting::OnPresetSelected() {
  CET_FilterData* current = m_pOwner ? m_pOwner->GetSettings() : nullptr;
  const int entry = m_Presets.GetCurSel();
  if (!current || entry < 0 || entry >= static_cast<int>(m_Records.size())) return;
  CKVR_FilterData* preset = m_Records[entry].get();
  if (const auto* raw = dynamic_cast<const CKVR_FilterData*>(current)) CopyFileLevelValues(*raw, preset);
  current->CopyFrom(preset);
  const bool neutral = preset->m_strName == FString(dialogs::TableText(kUserSettingTextId));
  m_pOwner->SendSettings(neutral ? 4 : 3, TRUE);
}

std::u16string CPaletteToolSetting::AskName(int mode) const {
  std::vector<std::u16string> names = GetPresetNames();
  if (!names.empty()) names.erase(names.begin());
  CKVRSettingDlg dialog(mode);
  dialog.SetNameList(names);
  return dialog.DoModal() == IDOK ? dialog.GetSettingName() : std::u16string();
}

void CPaletteToolSetting::OnSavePreset() {
  CET_FilterData* current = m_pOwner ? m_pOwner->GetSettings() : nullptr;
  if (!current) return;
  const std::u16string chosen = AskName(CKVRSettingDlg::kNameMode);
  if (chosen.empty()) return;
  const FString name(chosen);
  CLumitraApp* app = GetLumitraApp();
  IAdjustPaletteFrame* frame = m_pOwner->GetFrame();
  CWnd* sender = frame ? frame->GetFrameWnd() : nullptr;
  current->m_strName = name;
  if (const int found = FindEntry(name); found >= 0) {
    m_Records[found]->CopyFrom(current);
    if (app) app->SavePreset(m_Records[found].get(), sender);
  } else {
    auto copy = std::make_unique<CKVR_FilterData>();
    copy->CopyFrom(current);
    if (app) app->SavePreset(copy.get(), sender);
    AppendEntry(std::move(copy));
  }
  m_Presets.SetText(chosen);
}

void CPaletteToolSetting::OnDeletePreset() {
  if (!m_pOwner) return;
  const std::u16string chosen = AskName(CKVRSettingDlg::kPickMode);
  if (chosen.empty()) return;
  if (const int found = FindEntry(FString(chosen)); found >= 0) {
    m_Presets.DeleteString(static_cast<UINT>(found));
    std::unique_ptr<CKVR_FilterData> record = std::move(m_Records[found]);
    m_Records.erase(m_Records.begin() + found);
    if (CLumitraApp* app = GetLumitraApp()) app->RemovePreset(record.get());
  }
  m_pOwner->SendSettings(3, TRUE);
}

void CPaletteToolSetting::OnWriteSettings() {
  if (m_pOwner) m_pOwner->SendWriteSettings();
}

void CPaletteToolSetting::OnSaveImage() {
  if (m_pOwner) m_pOwner->SendSaveRequest();
}

BOOL CPaletteToolSetting::DestroyWindow() {
  m_Records.clear();
  return CPaletteToolBase::DestroyWindow();
}
