#include "review/palettes/CPaletteToolColMode.h"

#include "review/palettes/CAdjustPalette.h"
#include "shell/facade/CKVR_FilterData.h"

#include <mutex>

BEGIN_MESSAGE_MAP(CPaletteToolColMode, CPaletteToolFileList)
  ON_CONTROL(CBN_SELCHANGE, CPaletteToolColMode::kListId, OnListChanged)
END_MESSAGE_MAP()

CPaletteToolColMode::CPaletteToolColMode(CWnd* parent) : CPaletteToolFileList(kTemplate, kListId, 4700, parent) {
  static std::once_flag once;
  std::call_once(once, [] { RegisterListTemplate(kTemplate, kListId); });
}

BOOL CPaletteToolColMode::GetChoices(std::vector<std::u16string>* names) {
  CKVR_Data_FileList<CKVR_CMData> list;
  if (!m_pOwner || !m_pOwner->Services().GetColorModeList(m_pOwner->GetPath(), &list)) return FALSE;
  for (int i = 0; i < list.GetCount(); ++i) names->emplace_back(list.GetAt(i)->m_strName.View());
  return TRUE;
}

int32_t* CPaletteToolColMode::CurrentIndex() {
  auto* raw = m_pOwner ? dynamic_cast<CKVR_FilterData*>(m_pOwner->GetSettings()) : nullptr;
  return raw ? &raw->m_nColorMode : nullptr;
}

void CPaletteToolColMode::SendChoice() { m_pOwner->SendColorMode(); }
