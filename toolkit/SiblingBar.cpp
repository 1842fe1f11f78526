#include "toolkit/SiblingBar.h"

CRect SiblingBarRect(const CWnd& control, int type) {
  CRect r;
  control.GetWindowRect(r);
  if (CWnd* parent = control.GetParent()) parent->ScreenToClient(r);
  switch (type) {
  case 0: return CRect(r.right, r.top, r.right + kSiblingBarSize, r.bottom);
  case 1: return CRect(r.left, r.bottom, r.right, r.bottom + kSiblingBarSize);
  default: return CRect(r.right, r.bottom, r.right + kSiblingBarSize, r.bottom + kSiblingBarSize);
  }
}

bool CreateSiblingBar(CScrollBarBase& bar, CWnd& control, int type, bool visible) {
  CWnd* parent = control.GetParent();
  if (!parent) return false;
  bar.SetBarType(type);
  // The corner box scrolls nothing.
  bar.SetTargetWnd(type == 2 ? nullptr : &control);
  return bar.Create(u"", u"", WS_CHILD | (visible ? WS_VISIBLE : 0), SiblingBarRect(control, type), parent, 0xFFFF) !=
         FALSE;
}

void PlaceSiblingBar(CScrollBarBase& bar, const CWnd& control, int type) {
  if (bar.m_hWnd) bar.MoveWindow(SiblingBarRect(control, type), TRUE);
}
