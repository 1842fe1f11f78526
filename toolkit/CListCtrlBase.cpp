#include "toolkit/CListCtrlBase.h"

#include "toolkit/SiblingBar.h"

BEGIN_MESSAGE_MAP(CListCtrlBase, CListCtrl)
  ON_WM_CREATE()
  ON_WM_SIZE()
  ON_WM_NCCALCSIZE()
  ON_WM_MOUSEWHEEL()
  ON_WM_VSCROLL()
  ON_WM_HSCROLL()
  ON_WM_WINDOWPOSCHANGED()
END_MESSAGE_MAP()

CListCtrlBase::~CListCtrlBase() = default;

// Once: when the window is made, or when the object attaches to its dialog item.
bool CListCtrlBase::CreateBars() {
  if (m_barsCreated) return true;
  if (!GetParent()) return false;
  m_barsCreated = CreateSiblingBar(m_vertical, *this, 0, true) && CreateSiblingBar(m_horizontal, *this, 1, true) &&
                  CreateSiblingBar(m_corner, *this, 2, true);
  return m_barsCreated != FALSE;
}

void CListCtrlBase::PreSubclassWindow() {
  CListCtrl::PreSubclassWindow();
  CreateBars();
}

int CListCtrlBase::OnCreate(LPCREATESTRUCT cs) {
  if (CListCtrl::OnCreate(cs) == -1 || !CreateBars()) return -1;
  return 0;
}

void CListCtrlBase::OnSize(UINT type, int cx, int cy) {
  CListCtrl::OnSize(type, cx, cy);
  PlaceSiblingBar(m_vertical, *this, 0);
  PlaceSiblingBar(m_horizontal, *this, 1);
  PlaceSiblingBar(m_corner, *this, 2);
}

void CListCtrlBase::OnNcCalcSize(BOOL calcValidRects, NCCALCSIZE_PARAMS* params) {
  ShowScrollBar(SB_BOTH, FALSE);
  CListCtrl::OnNcCalcSize(calcValidRects, params);
}

BOOL CListCtrlBase::OnMouseWheel(UINT flags, short delta, CPoint point) {
  SendMessage(WM_VSCROLL, delta > 0 ? SB_LINEUP : SB_LINEDOWN);
  return CListCtrl::OnMouseWheel(flags, delta, point);
}

void CListCtrlBase::OnVScroll(UINT code, UINT position, CScrollBar* bar) {
  if (code == SB_THUMBTRACK) {
    SCROLLINFO info;
    GetScrollInfo(SB_VERT, &info, SIF_ALL);
    const int requested = static_cast<int>(position);
    if (requested != info.nPos && requested >= info.nMin && requested <= info.nMax - static_cast<int>(info.nPage) + 1) {
      CRect item;
      GetItemRect(0, item, LVIR_BOUNDS);
      Scroll(CSize(0, item.Height() * (requested - info.nPos)));
      UpdateWindow();
    }
  } else {
    CListCtrl::OnVScroll(code, position, bar);
  }
  m_vertical.UpdateFromTarget();
}

void CListCtrlBase::OnHScroll(UINT code, UINT position, CScrollBar* bar) {
  if (code == SB_THUMBTRACK) {
    SCROLLINFO info;
    GetScrollInfo(SB_HORZ, &info, SIF_ALL);
    const int requested = static_cast<int>(position);
    if (requested != info.nPos && requested >= info.nMin && requested + static_cast<int>(info.nPage) <= info.nMax) {
      Scroll(CSize(requested - info.nPos, 0));
      UpdateWindow();
    }
  } else {
    CListCtrl::OnHScroll(code, position, bar);
  }
  m_horizontal.UpdateFromTarget();
}

void CListCtrlBase::OnWindowPosChanged(WINDOWPOS* pos) {
  CListCtrl::OnWindowPosChanged(pos);
  m_horizontal.UpdateFromTarget();
}
