#include "toolkit/CCheckButton.h"

#include "toolkit/ControlParts.h"

BEGIN_MESSAGE_MAP(CCheckButton, CButtonBase)
  ON_MESSAGE(BM_SETCHECK, OnSetCheck)
  ON_MESSAGE(BM_GETCHECK, OnGetCheck)
  ON_CONTROL_REFLECT_EX(BN_CLICKED, OnClicked)
END_MESSAGE_MAP()

CCheckButton::~CCheckButton() {
  FreeIcon(m_checkedIcon);
  FreeIcon(m_checkedPushedIcon);
}

void CCheckButton::SetCheck(int check) {
  m_check = check;
  Invalidate(TRUE);
}

LRESULT CCheckButton::OnSetCheck(WPARAM check, LPARAM) {
  SetCheck(static_cast<int>(check));
  return 0;
}

LRESULT CCheckButton::OnGetCheck(WPARAM, LPARAM) { return GetCheck(); }

BOOL CCheckButton::OnClicked() {
  SetCheck((GetCheck() & 1) ? 0 : 1);
  return FALSE; // the parent hears the click as well
}

void CCheckButton::DrawState(CDC* dc, const CRect&, bool pushed, bool disabled) {
  const bool checked = (GetCheck() & 1) != 0;
  HICON icon = m_icon;
  if (pushed) {
    if (checked && m_checkedPushedIcon) {
      icon = m_checkedPushedIcon;
    } else if (m_pushedIcon) {
      icon = m_pushedIcon;
    }
  } else if (checked && m_checkedIcon) {
    icon = m_checkedIcon;
  }
  if (disabled && m_disabledIcon) icon = m_disabledIcon;
  if (icon) {
    DrawIconAt(dc, icon);
    return;
  }
  // Without icons the window text shows, in the DC's font and colour (its
  // captions never draw).
  CRect client;
  GetClientRect(&client);
  dc->DrawText(GetWindowText(), client, kDefaultCaptionFormat);
}
