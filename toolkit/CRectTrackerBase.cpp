#include "toolkit/CRectTrackerBase.h"

#include "toolkit/ControlNotifyData.h"

#include <utility>

CRectTrackerBase::CRectTrackerBase() {
  for (HCURSOR& cursor : m_cursors) cursor = LoadCursorW(nullptr, IDC_SIZEALL);
}

BOOL CRectTrackerBase::SetCursor(CWnd* wnd, UINT hitTest) const {
  if (!wnd || hitTest != HTCLIENT) return FALSE;
  CPoint point;
  GetCursorPos(&point);
  wnd->ScreenToClient(&point);
  int handle = HitTestHandles(point);
  if (handle < 0) return FALSE;
  handle = NormalizeHit(handle);
  CRect inside = m_rect;
  if (inside.left > inside.right) std::swap(inside.left, inside.right);
  if (inside.top > inside.bottom) std::swap(inside.top, inside.bottom);
  if (handle == hitMiddle && !inside.PtInRect(point) && (m_nStyle & hatchedBorder)) handle = 9;
  ::SetCursor(m_cursors[handle]);
  return TRUE;
}

void CRectTrackerBase::DrawTrackerRect(LPCRECT rect, CWnd* clipTo, CDC* dc, CWnd* wnd) {
  CRectTracker::DrawTrackerRect(rect, clipTo, dc, wnd);
}

void CRectTrackerBase::AdjustRect(int handle, LPRECT rect) {
  if (rect) {
    const CRect proposed(*rect);
    if (proposed.Width() == m_trackRect.Width() && proposed.Height() == m_trackRect.Height()) {
      m_trackRect = proposed;
    } else {
      *rect = m_trackRect;
    }
  }
  CRectTracker::AdjustRect(handle, rect);
}

void CRectTrackerBase::OnChangedRect(const CRect& oldRect) {
  CRectTracker::OnChangedRect(oldRect);
  if (m_notify) m_notify->SendMessage(WM_APP_VISIBLE_RECT, reinterpret_cast<WPARAM>(&m_rect), 0);
}
