#include "toolkit/CButtonBase.h"

#include "toolkit/ControlParts.h"

BEGIN_MESSAGE_MAP(CButtonBase, CButton)
  ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

CButtonBase::~CButtonBase() {
  FreeIcon(m_icon);
  FreeIcon(m_pushedIcon);
  FreeIcon(m_disabledIcon);
}

void CButtonBase::PreSubclassWindow() {
  CButton::PreSubclassWindow();
  ModifyStyle(0, BS_OWNERDRAW);
  SetWindowText(u"");
}

BOOL CButtonBase::OnEraseBkgnd(CDC*) { return TRUE; }

void CButtonBase::Replace(HICON& icon, int resourceId) {
  FreeIcon(icon);
  icon = LoadIconResource(resourceId, m_iconSize.cx, m_iconSize.cy);
}

void CButtonBase::DrawIconAt(CDC* dc, HICON icon) const {
  if (icon) dc->DrawIcon(0, 0, icon, m_iconSize.cx, m_iconSize.cy);
}

void CButtonBase::DrawItem(LPDRAWITEMSTRUCT item) { PaintDrawItem(item, m_item, &CButtonBase::PaintState, this); }

void CButtonBase::PaintState(CDC* dc, RECT area, void* self, void* item) {
  const auto* request = static_cast<const DRAWITEMSTRUCT*>(item);
  auto* button = static_cast<CButtonBase*>(self);
  const int mode = dc->SetBkMode(TRANSPARENT);
  dc->FillSolidRect(&area, button->m_background);
  button->DrawState(dc, area, (request->itemState & ODS_SELECTED) != 0, (request->itemState & ODS_DISABLED) != 0);
  dc->SetBkMode(mode);
}

void CButtonBase::DrawState(CDC* dc, const CRect&, bool pushed, bool disabled) {
  HICON icon = m_icon;
  if (pushed && m_pushedIcon) icon = m_pushedIcon;
  if (disabled && m_disabledIcon) icon = m_disabledIcon;
  DrawIconAt(dc, icon);
  m_captionRect = ButtonCaptionRect(*this, pushed);
  if (disabled) {
    m_disabledCaption.Draw(dc, m_captionRect);
  } else {
    Draw(dc, m_captionRect);
  }
}
