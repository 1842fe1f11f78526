#include "platform/afx/AfxTracker.h"

#include "platform/core/Core.h"

#include <algorithm>

using namespace platform::core;

namespace {

// The cursor of each hit code: the four corners, the four sides, the middle,
// and the middle outside a hatched border.
HCURSOR CursorOfHit(int hit) {
  static const LPCWSTR ids[10] = {IDC_SIZENWSE, IDC_SIZENESW, IDC_SIZENWSE, IDC_SIZENESW, IDC_SIZENS,
                                  IDC_SIZEWE,   IDC_SIZENS,   IDC_SIZEWE,   IDC_SIZEALL,  IDC_SIZEALL};
  return hit >= 0 && hit < 10 ? LoadCursorW(nullptr, ids[hit]) : nullptr;
}

CRect Normalized(CRect r) {
  if (r.left > r.right) std::swap(r.left, r.right);
  if (r.top > r.bottom) std::swap(r.top, r.bottom);
  return r;
}

} // namespace

void CRectTracker::GetTrueRect(LPRECT rect) const {
  CRect r = Normalized(m_rect);
  int inflate = 0;
  if (m_nStyle & (resizeOutside | hatchedBorder)) inflate += m_nHandleSize - 1;
  if (m_nStyle & (solidLine | dottedLine)) ++inflate;
  r.InflateRect(inflate, inflate);
  *rect = r;
}

void CRectTracker::GetHandleRect(int handle, CRect* rect) const {
  const CRect r = Normalized(m_rect);
  const int size = m_nHandleSize;
  // Inside handles lie within the rectangle, outside ones just beyond it.
  const int offset = (m_nStyle & resizeOutside) ? -size : 0;
  const int left = handle == hitTopLeft || handle == hitBottomLeft || handle == hitLeft ? r.left + offset
                   : handle == hitTop || handle == hitBottom                           ? r.left + (r.Width() - size) / 2
                                                                                       : r.right - size - offset;
  const int top = handle == hitTopLeft || handle == hitTopRight || handle == hitTop ? r.top + offset
                  : handle == hitLeft || handle == hitRight                         ? r.top + (r.Height() - size) / 2
                                                                                    : r.bottom - size - offset;
  rect->SetRect(left, top, left + size, top + size);
}

UINT CRectTracker::GetHandleMask() const {
  // Side handles only when the rectangle leaves room for them between the corners.
  UINT mask = 0x0F;
  const CRect r = Normalized(m_rect);
  if (r.Width() > 3 * m_nHandleSize) mask |= 0x50;
  if (r.Height() > 3 * m_nHandleSize) mask |= 0xA0;
  return mask;
}

int CRectTracker::HitTestHandles(CPoint point) const {
  CRect r;
  GetTrueRect(&r);
  if (!r.PtInRect(point)) return hitNothing;
  const UINT mask = GetHandleMask();
  for (int i = 0; i < 8; ++i) {
    if (!(mask & (1u << i))) continue;
    GetHandleRect(i, &r);
    if (r.PtInRect(point)) return i;
  }
  if (!(m_nStyle & hatchedBorder)) {
    r = Normalized(m_rect);
    if (m_nStyle & (solidLine | dottedLine)) r.InflateRect(1, 1);
    if (!r.PtInRect(point)) return hitNothing;
  }
  return hitMiddle;
}

int CRectTracker::HitTest(CPoint point) const { return HitTestHandles(point); }

int CRectTracker::NormalizeHit(int handle) const {
  if (handle == hitMiddle || handle == hitNothing) return handle;
  static const int swapX[8] = {hitTopRight, hitTopLeft, hitBottomLeft, hitBottomRight,
                               hitTop,      hitLeft,    hitBottom,     hitRight};
  static const int swapY[8] = {hitBottomLeft, hitBottomRight, hitTopRight, hitTopLeft,
                               hitBottom,     hitRight,       hitTop,      hitLeft};
  if (m_rect.Width() < 0) handle = swapX[handle];
  if (m_rect.Height() < 0) handle = swapY[handle];
  return handle;
}

BOOL CRectTracker::SetCursor(CWnd* wnd, UINT hitTest) const {
  if (!wnd || hitTest != HTCLIENT) return FALSE;
  CPoint point;
  GetCursorPos(&point);
  wnd->ScreenToClient(&point);
  int handle = HitTestHandles(point);
  if (handle < 0) return FALSE;
  handle = NormalizeHit(handle);
  if (handle == hitMiddle && !Normalized(m_rect).PtInRect(point) && (m_nStyle & hatchedBorder)) handle = 9;
  ::SetCursor(CursorOfHit(handle));
  return TRUE;
}

void CRectTracker::Draw(CDC* dc) const {
  if (!dc) return;
  const int saved = dc->SaveDC();
  const CRect r = Normalized(m_rect);
  dc->SelectStockObject(NULL_BRUSH);
  if (m_nStyle & (solidLine | dottedLine)) {
    CPen pen((m_nStyle & dottedLine) ? PS_DOT : PS_SOLID, 1, RGB(0, 0, 0));
    CPen* old = dc->SelectObject(&pen);
    dc->Rectangle(r.left, r.top, r.right, r.bottom);
    dc->SelectObject(old);
  }
  if (m_nStyle & hatchedBorder) {
    // A band of alternate dark pixels the width of the handles around the rectangle.
    CRect band = r;
    band.InflateRect(m_nHandleSize - 1, m_nHandleSize - 1);
    CRgn outer, inner;
    outer.CreateRectRgnIndirect(band);
    inner.CreateRectRgnIndirect(r);
    outer.CombineRgn(&outer, &inner, RGN_DIFF);
    CRgn clip;
    clip.CreateRectRgn(0, 0, 0, 0);
    const BOOL hadClip = ::GetClipRgn(*dc, clip) == 1;
    const CPoint origin = dc->GetViewportOrg();
    outer.OffsetRgn(origin.x, origin.y);
    dc->SelectClipRgn(&outer, RGN_AND);
    CPen dots(PS_DOT, 1, RGB(0, 0, 0));
    CPen* old = dc->SelectObject(&dots);
    for (int i = band.left - band.Height(); i < band.right; i += 2) {
      dc->MoveTo(i, band.bottom);
      dc->LineTo(i + band.Height(), band.top);
    }
    dc->SelectObject(old);
    dc->SelectClipRgn(hadClip ? &clip : nullptr);
  }
  const UINT mask = (m_nStyle & (resizeInside | resizeOutside)) ? GetHandleMask() : 0;
  for (int i = 0; i < 8; ++i) {
    if (!(mask & (1u << i))) continue;
    CRect handle;
    GetHandleRect(i, &handle);
    dc->FillSolidRect(handle, RGB(0, 0, 0));
  }
  dc->RestoreDC(saved);
}

void CRectTracker::DrawTrackerRect(LPCRECT, CWnd*, CDC*, CWnd*) {}

void CRectTracker::AdjustRect(int handle, LPRECT rect) {
  if (handle == hitMiddle || !rect) return;
  // Resizing keeps the smallest size, growing from the side held still.
  CRect r(*rect);
  if (std::abs(r.Width()) < m_sizeMin.cx) {
    const bool movesLeft = handle == hitTopLeft || handle == hitBottomLeft || handle == hitLeft;
    const int sign = r.Width() < 0 ? -1 : 1;
    if (movesLeft) r.left = r.right - sign * m_sizeMin.cx; else r.right = r.left + sign * m_sizeMin.cx;
  }
  if (std::abs(r.Height()) < m_sizeMin.cy) {
    const bool movesTop = handle == hitTopLeft || handle == hitTopRight || handle == hitTop;
    const int sign = r.Height() < 0 ? -1 : 1;
    if (movesTop) r.top = r.bottom - sign * m_sizeMin.cy; else r.bottom = r.top + sign * m_sizeMin.cy;
  }
  *rect = r;
}

void CRectTracker::OnChangedRect(const CRect&) {}

BOOL CRectTracker::Track(CWnd* wnd, CPoint point, BOOL allowInvert, CWnd* clipTo) {
  const int handle = HitTestHandles(point);
  if (!wnd || handle < 0 || ::GetCapture()) return FALSE;
  m_bAllowInvert = allowInvert;
  const CRect saved = m_rect;
  const HWND hwnd = wnd->m_hWnd;
  wnd->SetCapture();
  bool done = false, cancel = false;
  // The new rectangle for the pointer at p: the handle's edges follow it.
  auto follow = [&](CPoint p) {
    CRect r = saved;
    const int dx = p.x - point.x, dy = p.y - point.y;
    const bool left = handle == hitTopLeft || handle == hitBottomLeft || handle == hitLeft || handle == hitMiddle;
    const bool right = handle == hitTopRight || handle == hitBottomRight || handle == hitRight || handle == hitMiddle;
    const bool top = handle == hitTopLeft || handle == hitTopRight || handle == hitTop || handle == hitMiddle;
    const bool bottom = handle == hitBottomLeft || handle == hitBottomRight || handle == hitBottom || handle == hitMiddle;
    if (left) r.left += dx;
    if (right) r.right += dx;
    if (top) r.top += dy;
    if (bottom) r.bottom += dy;
    if (!m_bAllowInvert) r = Normalized(r);
    AdjustRect(handle, r);
    if (r == m_rect) return;
    const CRect old = m_rect;
    m_rect = r;
    DrawTrackerRect(m_rect, clipTo, nullptr, wnd);
    OnChangedRect(old);
  };
  while (!done && IsLiveWindow(hwnd) && ::GetCapture() == hwnd) {
    MSG msg;
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (!(GetAsyncKeyState(VK_LBUTTON) & 0x8000)) {
        // The button is up and its release never came as a message: end here.
        CPoint p;
        GetCursorPos(&p);
        wnd->ScreenToClient(&p);
        follow(p);
        done = true;
      } else if (IHost* host = Host()) {
        host->WaitForEvents(20);
      }
      continue;
    }
    switch (msg.message) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
      if (msg.hwnd == hwnd) follow(CPoint(msg.lParam));
      done = msg.message == WM_LBUTTONUP;
      break;
    case WM_KEYDOWN:
      if (msg.wParam == static_cast<WPARAM>(VK_ESCAPE)) done = cancel = true;
      break;
    case WM_RBUTTONDOWN: done = cancel = true; break;
    default: TranslateMessage(&msg); DispatchMessageW(&msg);
    }
  }
  if (::GetCapture() == hwnd) ::ReleaseCapture();
  if (cancel) m_rect = saved;
  return !cancel && m_rect != saved;
}
