#include "review/palettes/CPaletteToolFileList.h"

#include "review/palettes/CAdjustPalette.h"
#include "shell/dialogs/DialogLayout.h"

namespace {

constexpr int kListStyleTextId = 102;
constexpr int kListColourTextId = 103;
constexpr RECT kListRect{20, 30, 220, 48};
constexpr int kGroupBottom = 54;

} // namespace

CPaletteToolFileList::CPaletteToolFileList(UINT templateId, int comboId, int titleTextId, CWnd* parent)
    : CPaletteToolBase(templateId, parent), m_nComboId(comboId), m_nTitleTextId(titleTextId) {}

void CPaletteToolFileList::RegisterListTemplate(UINT templateId, int comboId) {
  RegisterPanelTemplate(templateId, {dialogs::PixelItem(comboId, u"ComboBox", WS_VISIBLE | WS_TABSTOP, kListRect)});
}

void CPaletteToolFileList::DoDataExchange(CDataExchange* dx) {
  CPaletteToolBase::DoDataExchange(dx);
  DDX_Control(dx, m_nComboId, m_List);
}

BOOL CPaletteToolFileList::OnInitDialog() {
  CDialog::OnInitDialog();
  InitCommon(m_nTitleTextId);
  m_List.SetTextStyleById(kListStyleTextId);
  m_List.SetTextColorById(kListColourTextId);
  return TRUE;
}

CSize CPaletteToolFileList::GetPanelSize(int fileType) {
  if (fileType != CAdjustPalette::kRawFileType) return CSize(0, 0);
  return CSize(kWidth, m_bExpanded ? kExpandedHeight : kTitleRowHeight);
}

void CPaletteToolFileList::LayoutControls() {
  LayoutCommon(kGroupBottom);
  dialogs::Place(m_List, kListRect);
  m_List.ShowWindow(m_bExpanded ? SW_SHOW : SW_HIDE);
  if (m_pOwner && !m_pOwner->GetPath().View().empty()) FillList();
}

void CPaletteToolFileList::FillList() {
  if (!m_pOwner || m_pOwner->GetFileType() != CAdjustPalette::kRawFileType) return;
  if (m_List.GetCount() > 0) m_List.ResetContent();
  std::vector<std::u16string> names;
  if (!GetChoices(&names)) names.clear();
  if (GreysWhenEmpty()) SetLook(!names.empty());
  m_List.EnableAndRedraw(!names.empty());
  for (const std::u16string& name : names) m_List.AddString(name.c_str());
  m_List.SetDropDownCount(names.size() <= kDropDownAllUpTo ? static_cast<int>(names.size()) : kDropDownRows);
}

void CPaletteToolFileList::UpdateFromImage() {
  if (!m_pOwner || m_pOwner->GetFileType() != CAdjustPalette::kRawFileType) return;
  const int32_t* index = CurrentIndex();
  if (!index || *index < 0) {
    m_List.SetCurSel(-1);
    m_List.SetText(u"");
    return;
  }
  std::vector<std::u16string> names;
  if (!GetChoices(&names) || *index >= static_cast<int>(names.size())) {
    m_List.SetCurSel(-1);
    m_List.SetText(u"");
    return;
  }
  m_List.SetCurSel(*index);
  m_List.SetText(names[*index]);
}

void CPaletteToolFileList::OnSelChange() {
  int32_t* index = CurrentIndex();
  if (!index) return;
  *index = m_List.GetCurSel();
  SendChoice();
}
