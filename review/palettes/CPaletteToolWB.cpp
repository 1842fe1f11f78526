#include "review/palettes/CPaletteToolWB.h"

#include "review/palettes/CAdjustPalette.h"
#include "shell/facade/CKVR_FilterData.h"

#include <mutex>

BEGIN_MESSAGE_MAP(CPaletteToolWB, CPaletteToolFileList)
  ON_CONTROL(CBN_SELCHANGE, CPaletteToolWB::kListId, OnListChanged)
END_MESSAGE_MAP()

CPaletteToolWB::CPaletteToolWB(CWnd* parent) : CPaletteToolFileList(kTemplate, kListId, 4200, parent) {
  static std::once_flag once;
  std::call_once(once, [] { RegisterListTemplate(kTemplate, kListId); });
}

BOOL CPaletteToolWB::GetChoices(std::vector<std::u16string>* names) {
  CKVR_Data_FileList<CKVR_WBData> list;
  if (!m_pOwner || !m_pOwner->Services().GetWBList(m_pOwner->GetPath(), &list)) return FALSE;
  for (int i = 0; i < list.GetCount(); ++i) names->emplace_back(list.GetAt(i)->m_strName.View());
  return TRUE;
}

int32_t* CPaletteToolWB::CurrentIndex() {
  auto* raw = m_pOwner ? dynamic_cast<CKVR_FilterData*>(m_pOwner->GetSettings()) : nullptr;
  return raw ? &raw->m_nWhiteBalance : nullptr;
}

void CPaletteToolWB::SendChoice() { m_pOwner->SendWhiteBalance(); }
