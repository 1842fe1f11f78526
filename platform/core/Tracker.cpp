// The rectangle tracker: hit tests of its handles and its inside, drawing,
// and tracking that follows the mouse. Tracking captures the mouse and polls
// the pointer and the button between the messages it takes (moves and
// releases give the points, Esc and the right button cancel, everything else
// is dispatched), so it ends by itself when the button is found released;
// under a script of input that is when the script runs out.

#include "platform/afx/AfxExt.h"
#include "platform/core/Controls.h"

#include <algorithm>

using namespace platform::core;

namespace {

// Handles 0-7: corners top-left, top-right, bottom-right, bottom-left, then
// the middles of the top, right, bottom and left edges.
CPoint HandleCentre(const CRect& r, int handle) {
  const int cx = (r.left + r.right) / 2;
  const int cy = (r.top + r.bottom) / 2;
  switch (handle) {
  case CRectTracker::hitTopLeft: return {r.left, r.top};
  case CRectTracker::hitTopRight: return {r.right, r.top};
  case CRectTracker::hitBottomRight: return {r.right, r.bottom};
  case CRectTracker::hitBottomLeft: return {r.left, r.bottom};
  case CRectTracker::hitTop: return {cx, r.top};
  case CRectTracker::hitRight: return {r.right, cy};
  case CRectTracker::hitBottom: return {cx, r.bottom};
  default: return {r.left, cy};
  }
}

CRect Normalised(CRect r) {
  if (r.left > r.right) std::swap(r.left, r.right);
  if (r.top > r.bottom) std::swap(r.top, r.bottom);
  return r;
}

} // namespace

void CRectTracker::GetHandleRect(int handle, CRect* rect) const {
  const CPoint c = HandleCentre(Normalised(m_rect), handle);
  const int half = m_nHandleSize / 2;
  const bool outside = (m_nStyle & resizeOutside) != 0;
  const int offset = outside ? half : 0;
  CPoint at = c;
  // Outside handles sit beyond the rectangle's edge.
  if (handle == hitTopLeft || handle == hitBottomLeft || handle == hitLeft) at.x -= offset;
  if (handle == hitTopRight || handle == hitBottomRight || handle == hitRight) at.x += offset;
  if (handle == hitTopLeft || handle == hitTopRight || handle == hitTop) at.y -= offset;
  if (handle == hitBottomLeft || handle == hitBottomRight || handle == hitBottom) at.y += offset;
  rect->SetRect(at.x - half, at.y - half, at.x - half + m_nHandleSize, at.y - half + m_nHandleSize);
}

UINT CRectTracker::GetHandleMask() const {
  UINT mask = 0x0F; // the corners
  const CRect r = Normalised(m_rect);
  // Edge handles only where there is room between the corners.
  if (r.Width() > 3 * m_nHandleSize) mask |= 0x50;
  if (r.Height() > 3 * m_nHandleSize) mask |= 0xA0;
  return mask;
}

namespace {
// Calls f for each handle a tracker of the style shows, while f answers
// false; the handle it stopped at, or -1.
template <class F>
int ForEachHandle(UINT style, UINT mask, F&& f) {
  if (!(style & (CRectTracker::resizeInside | CRectTracker::resizeOutside))) return -1;
  for (int h = 0; h < 8; ++h) {
    if ((mask & (1u << h)) && f(h)) return h;
  }
  return -1;
}
} // namespace

int CRectTracker::HitTestHandles(CPoint point) const {
  const int hit = ForEachHandle(m_nStyle, GetHandleMask(), [&](int h) {
    CRect handle;
    GetHandleRect(h, &handle);
    return handle.PtInRect(point) != FALSE;
  });
  if (hit >= 0) return hit;
  CRect whole;
  GetTrueRect(whole);
  if (!whole.PtInRect(point)) return hitNothing;
  return hitMiddle;
}

int CRectTracker::HitTest(CPoint point) const { return HitTestHandles(point); }

int CRectTracker::NormalizeHit(int hit) const {
  if (hit < 0 || hit == hitMiddle) return hit;
  const bool flipX = m_rect.left > m_rect.right;
  const bool flipY = m_rect.top > m_rect.bottom;
  static const int swapX[8] = {hitTopRight, hitTopLeft, hitBottomLeft, hitBottomRight, hitTop, hitLeft, hitBottom, hitRight};
  static const int swapY[8] = {hitBottomLeft, hitBottomRight, hitTopRight, hitTopLeft, hitBottom, hitRight, hitTop, hitLeft};
  if (flipX) hit = swapX[hit];
  if (flipY) hit = swapY[hit];
  return hit;
}

void CRectTracker::GetTrueRect(LPRECT rect) const {
  CRect r = Normalised(m_rect);
  if (m_nStyle & (resizeOutside | hatchedBorder)) r.InflateRect(m_nHandleSize, m_nHandleSize);
  *rect = r;
}

void CRectTracker::Draw(CDC* dc) const {
  if (!dc) return;
  const CRect r = Normalised(m_rect);
  if (m_nStyle & (solidLine | dottedLine)) {
    CPen pen(m_nStyle & dottedLine ? PS_DOT : PS_SOLID, 1, RGB(0, 0, 0));
    const HGDIOBJ oldPen = dc->SelectObject(pen.m_hObject);
    const HGDIOBJ oldBrush = dc->SelectObject(GetStockObject(NULL_BRUSH));
    dc->Rectangle(r);
    dc->SelectObject(oldPen);
    dc->SelectObject(oldBrush);
  }
  if (m_nStyle & hatchedBorder) {
    // A grey band stands for the hatched border.
    CRect band = r;
    band.InflateRect(m_nHandleSize, m_nHandleSize);
    dc->FillSolidRect(CRect(band.left, band.top, band.right, r.top), RGB(128, 128, 128));
    dc->FillSolidRect(CRect(band.left, r.bottom, band.right, band.bottom), RGB(128, 128, 128));
    dc->FillSolidRect(CRect(band.left, r.top, r.left, r.bottom), RGB(128, 128, 128));
    dc->FillSolidRect(CRect(r.right, r.top, band.right, r.bottom), RGB(128, 128, 128));
  }
  ForEachHandle(m_nStyle, GetHandleMask(), [&](int h) {
    CRect handle;
    GetHandleRect(h, &handle);
    dc->FillSolidRect(handle, RGB(0, 0, 0));
    return false;
  });
}

void CRectTracker::DrawTrackerRect(LPCRECT, CWnd*, CDC*, CWnd*) {}

void CRectTracker::AdjustRect(int handle, LPRECT rect) {
  if (handle == hitMiddle || !rect) return;
  // Resizes keep the least size, growing away from the dragged side.
  const int width = std::abs(rect->right - rect->left);
  const int height = std::abs(rect->bottom - rect->top);
  const bool left = handle == hitTopLeft || handle == hitBottomLeft || handle == hitLeft;
  const bool top = handle == hitTopLeft || handle == hitTopRight || handle == hitTop;
  if (width < m_sizeMin.cx && handle != hitTop && handle != hitBottom) {
    if (left) rect->left = rect->right - m_sizeMin.cx;
    else rect->right = rect->left + m_sizeMin.cx;
  }
  if (height < m_sizeMin.cy && handle != hitLeft && handle != hitRight) {
    if (top) rect->top = rect->bottom - m_sizeMin.cy;
    else rect->bottom = rect->top + m_sizeMin.cy;
  }
}

void CRectTracker::OnChangedRect(const CRect&) {}

BOOL CRectTracker::Track(CWnd* wnd, CPoint point, BOOL, CWnd* clipTo) {
  const int hit = HitTest(point);
  if (hit < 0 || !wnd) return FALSE;
  return TrackHandle(NormalizeHit(hit), wnd, point, clipTo);
}

BOOL CRectTracker::TrackRubberBand(CWnd* wnd, CPoint point, BOOL) {
  if (!wnd) return FALSE;
  m_rect.SetRect(point.x, point.y, point.x, point.y);
  return TrackHandle(hitBottomRight, wnd, point, nullptr);
}

BOOL CRectTracker::TrackHandle(int handle, CWnd* wnd, CPoint point, CWnd*) {
  const CRect original = m_rect;
  const HWND hwnd = wnd->m_hWnd;
  wnd->SetCapture();
  // A point moves the grabbed part by its distance from the press.
  auto follow = [&](CPoint p) {
    const int dx = p.x - point.x;
    const int dy = p.y - point.y;
    CRect next = original;
    if (handle == hitMiddle) {
      next.OffsetRect(dx, dy);
    } else {
      if (handle == hitTopLeft || handle == hitBottomLeft || handle == hitLeft) next.left += dx;
      if (handle == hitTopRight || handle == hitBottomRight || handle == hitRight) next.right += dx;
      if (handle == hitTopLeft || handle == hitTopRight || handle == hitTop) next.top += dy;
      if (handle == hitBottomLeft || handle == hitBottomRight || handle == hitBottom) next.bottom += dy;
    }
    AdjustRect(handle, &next);
    if (next == m_rect) return;
    const CRect old = m_rect;
    m_rect = next;
    DrawTrackerRect(&m_rect, nullptr, nullptr, wnd);
    OnChangedRect(old);
  };
  auto cursor = [&] {
    POINT p;
    GetCursorPos(&p);
    ::ScreenToClient(hwnd, &p);
    return CPoint(p);
  };
  bool cancelled = false;
  for (bool done = false; !done && !cancelled;) {
    MSG msg;
    while (!done && !cancelled && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (::GetCapture() != hwnd) {
        cancelled = true;
      } else if (msg.message == WM_MOUSEMOVE || msg.message == WM_LBUTTONUP) {
        follow(CPoint(msg.lParam));
        done = msg.message == WM_LBUTTONUP;
      } else if ((msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) || msg.message == WM_RBUTTONDOWN) {
        cancelled = true;
      } else {
        DispatchMessageW(&msg);
      }
    }
    if (done || cancelled || !IsWindow(hwnd) || ::GetCapture() != hwnd) {
      cancelled = cancelled || (!done && (!IsWindow(hwnd) || ::GetCapture() != hwnd));
      break;
    }
    const bool down = (GetAsyncKeyState(VK_LBUTTON) & 0x8000) != 0;
    follow(cursor());
    if (!down) break;
    if (IHost* host = Host()) host->WaitForEvents(10);
  }
  if (IsWindow(hwnd) && ::GetCapture() == hwnd) ReleaseCapture();
  if (cancelled) {
    const CRect old = m_rect;
    m_rect = original;
    if (old != original) OnChangedRect(old);
    return FALSE;
  }
  return m_rect != original ? TRUE : FALSE;
}
