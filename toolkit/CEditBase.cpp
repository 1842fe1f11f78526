#include "toolkit/CEditBase.h"

#include "toolkit/SiblingBar.h"

BEGIN_MESSAGE_MAP(CEditBase, CEdit)
  ON_WM_CREATE()
  ON_WM_SIZE()
  ON_WM_NCCALCSIZE()
  ON_WM_MOUSEWHEEL()
  ON_WM_VSCROLL()
END_MESSAGE_MAP()

CEditBase::~CEditBase() = default;

bool CEditBase::CreateBar() {
  if (m_barCreated) return true;
  if (!GetParent()) return false;
  m_barCreated = CreateSiblingBar(m_vertical, *this, 0, true);
  return m_barCreated != FALSE;
}

void CEditBase::PreSubclassWindow() {
  CEdit::PreSubclassWindow();
  CreateBar();
}

int CEditBase::OnCreate(LPCREATESTRUCT cs) {
  if (CEdit::OnCreate(cs) == -1 || !CreateBar()) return -1;
  return 0;
}

void CEditBase::OnSize(UINT type, int cx, int cy) {
  CEdit::OnSize(type, cx, cy);
  PlaceSiblingBar(m_vertical, *this, 0);
}

void CEditBase::OnNcCalcSize(BOOL calcValidRects, NCCALCSIZE_PARAMS* params) {
  ShowScrollBar(SB_VERT, FALSE);
  CEdit::OnNcCalcSize(calcValidRects, params);
}

BOOL CEditBase::OnMouseWheel(UINT flags, short delta, CPoint point) {
  SendMessage(WM_VSCROLL, delta > 0 ? SB_LINEUP : SB_LINEDOWN);
  return CEdit::OnMouseWheel(flags, delta, point);
}

void CEditBase::OnVScroll(UINT code, UINT position, CScrollBar* bar) {
  CEdit::OnVScroll(code, position, bar);
  m_vertical.UpdateFromTarget();
}
