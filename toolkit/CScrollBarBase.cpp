#include "toolkit/CScrollBarBase.h"

#include "toolkit/ControlParts.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr UINT_PTR kRepeatTimer = 1;

int Truncate(double v) { return static_cast<int>(std::clamp(std::trunc(v), -2.0e9, 2.0e9)); }

} // namespace

BEGIN_MESSAGE_MAP(CScrollBarBase, CWnd)
  ON_WM_CREATE()
  ON_WM_SIZE()
  ON_WM_PAINT()
  ON_WM_LBUTTONDOWN()
  ON_WM_MOUSEMOVE()
  ON_WM_LBUTTONUP()
  ON_WM_TIMER()
END_MESSAGE_MAP()

CScrollBarBase::~CScrollBarBase() {
  for (HBITMAP b : {m_firstBitmaps[0], m_firstBitmaps[1], m_secondBitmaps[0], m_secondBitmaps[1]}) {
    if (b) DeleteObject(b);
  }
}

void CScrollBarBase::SetBarType(int type) {
  if (!m_hWnd && type >= 0 && type <= 2) m_type = type;
}

int CScrollBarBase::OnCreate(LPCREATESTRUCT cs) {
  if (CWnd::OnCreate(cs) == -1) return -1;
  if (IsBar()) {
    const int first = m_type == 0 ? 163 : 167;
    for (int pressed = 0; pressed < 2; ++pressed) {
      m_firstBitmaps[pressed] = LoadBitmapW(nullptr, MAKEINTRESOURCEW(first + pressed));
      m_secondBitmaps[pressed] = LoadBitmapW(nullptr, MAKEINTRESOURCEW(first + 2 + pressed));
    }
  }
  return 0;
}

void CScrollBarBase::OnSize(UINT type, int cx, int cy) {
  CWnd::OnSize(type, cx, cy);
  if (m_type == 0) {
    m_first = CRect(1, 1, 13, 13);
    m_second = CRect(1, cy - 13, 13, cy - 1);
  } else if (m_type == 1) {
    m_first = CRect(1, 1, 13, 13);
    m_second = CRect(cx - 13, 1, cx - 1, 13);
  }
  UpdateFromTarget();
}

BOOL CScrollBarBase::GetTargetScrollInfo(SCROLLINFO* info) const {
  if (!m_target || !IsBar() || !IsWindow(m_target->m_hWnd)) return FALSE;
  if (!m_target->GetScrollInfo(m_type == 0 ? SB_VERT : SB_HORZ, info, SIF_ALL)) return FALSE;
  if (auto* edit = dynamic_cast<CEdit*>(m_target)) {
    // An edit scrolls in lines: the page is the lines its formatting rectangle shows.
    CRect format;
    edit->GetRect(format);
    TEXTMETRICW metrics{};
    {
      CClientDC dc(edit);
      const HGDIOBJ old = ::SelectObject(dc, edit->GetFont() ? edit->GetFont() : GetStockObject(DEFAULT_GUI_FONT));
      dc.GetTextMetrics(&metrics);
      ::SelectObject(dc, old);
    }
    info->nPage = metrics.tmHeight > 0 ? static_cast<UINT>(std::max(0, format.Height() / metrics.tmHeight)) : 0;
    info->nPos = info->nTrackPos = edit->GetFirstVisibleLine();
    info->nMax = edit->GetLineCount();
  }
  return TRUE;
}

int CScrollBarBase::TrackLength() const {
  return m_type == 0 ? m_second.top - m_first.bottom : m_second.left - m_first.right;
}

void CScrollBarBase::CalcThumbRect(const SCROLLINFO* info) {
  const int track = TrackLength();
  int offset = 0, length = track;
  if (info && !((info->fMask & SIF_PAGE) && info->nPage == 0)) {
    const double range = static_cast<double>(info->nMax) - info->nMin + 1;
    if (range != 0) {
      const double scale = track / range;
      offset = Truncate((static_cast<double>(info->nPos) - info->nMin) * scale + 0.5);
      length = Truncate(scale * info->nPage + 0.5);
    }
  }
  if (m_type == 0) {
    m_thumb = CRect(m_first.left, m_first.bottom + offset, m_first.right, m_first.bottom + offset + length);
  } else {
    m_thumb = CRect(m_first.right + offset, m_first.top, m_first.right + offset + length, m_first.bottom);
  }
}

void CScrollBarBase::UpdateFromTarget() {
  if (m_type == -1 || !m_hWnd) return;
  if (m_type == 2) {
    Invalidate(TRUE);
    return;
  }
  SCROLLINFO info;
  info.fMask = SIF_ALL;
  const BOOL read = GetTargetScrollInfo(&info);
  const CRect before = m_thumb;
  CalcThumbRect(read ? &info : nullptr);
  if (m_thumb != before) RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

int CScrollBarBase::HitTest(CPoint point) const {
  if (!IsBar()) return -1;
  if (m_first.PtInRect(point)) return 0;
  if (m_second.PtInRect(point)) return 1;
  if (m_thumb.PtInRect(point)) return 2;
  if (m_type == 0) {
    if (point.y <= m_thumb.top) return 3;
    if (point.y >= m_thumb.bottom) return 4;
  } else {
    if (point.x <= m_thumb.left) return 3;
    if (point.x >= m_thumb.right) return 4;
  }
  return -1;
}

void CScrollBarBase::SendRequest(UINT code, int position) {
  if (!IsBar() || !m_target) return;
  const HWND self = m_hWnd;
  // As from the target's own bar: lParam 0.
  m_target->SendMessage(m_type == 0 ? WM_VSCROLL : WM_HSCROLL, MAKEWPARAM(code, position), 0);
  if (IsWindow(self)) UpdateFromTarget();
}

void CScrollBarBase::Press(int part) {
  static constexpr UINT kCodes[] = {SB_LINEUP, SB_LINEDOWN, 0, SB_PAGEUP, SB_PAGEDOWN};
  if (part < 0 || part > 4 || part == 2) return;
  const HWND self = m_hWnd;
  SendRequest(kCodes[part]);
  if (IsWindow(self)) ::SetTimer(self, kRepeatTimer, m_repeatCount == 0 ? 500 : 100, nullptr);
}

void CScrollBarBase::OnLButtonDown(UINT, CPoint point) {
  if (!IsBar()) return;
  m_pressedPart = HitTest(point);
  if (m_pressedPart == 2) {
    m_dragStart = point;
    m_dragInfo = SCROLLINFO{};
    m_dragInfo.fMask = SIF_ALL;
    if (!GetTargetScrollInfo(&m_dragInfo)) m_dragInfo = SCROLLINFO{}; // a page of 0: the drag does nothing
    SetCapture();
    return;
  }
  Press(m_pressedPart);
}

void CScrollBarBase::OnTimer(UINT_PTR id) {
  if (id != kRepeatTimer) return;
  if (!LeftButtonDown()) {
    EndTracking();
    return;
  }
  const CPoint cursor = CursorIn(*this);
  // Off the pressed part the timer runs on without a request, so the repeat
  // resumes when the cursor comes back.
  if (HitTest(cursor) == m_pressedPart && m_pressedPart != 2) {
    ++m_repeatCount;
    Press(m_pressedPart);
  }
}

void CScrollBarBase::OnMouseMove(UINT flags, CPoint point) {
  if (m_pressedPart == 2 && m_dragInfo.nPage != 0) {
    const int track = TrackLength();
    const double perPixel = track == 0 ? 0 : (static_cast<double>(m_dragInfo.nMax) - m_dragInfo.nMin + 1) / track;
    const int moved = m_type == 0 ? point.y - m_dragStart.y : point.x - m_dragStart.x;
    int position = m_dragInfo.nPos + Truncate(moved * perPixel + 0.5);
    if (position < m_dragInfo.nMin) position = m_dragInfo.nMin;
    if (position > m_dragInfo.nMax) position = m_dragInfo.nMax;
    SendRequest(SB_THUMBTRACK, position & 0xFFFF); // the position travels in 16 bits
    if (!m_hWnd) return;
  }
  CWnd::OnMouseMove(flags, point);
}

void CScrollBarBase::OnLButtonUp(UINT, CPoint) { EndTracking(); }

void CScrollBarBase::EndTracking() {
  if (!IsBar()) return;
  if (GetCapture() == this) ReleaseCapture();
  KillTimer(kRepeatTimer);
  m_pressedPart = -1;
  m_repeatCount = 0;
  Invalidate(TRUE);
}

void CScrollBarBase::OnPaint() {
  CPaintDC dc(this);
  CRect client;
  GetClientRect(client);
  dc.FillSolidRect(client, RGB(204, 204, 204));
  CBrush black(RGB(0, 0, 0));
  dc.FrameRect(client, &black);
  if (!IsBar()) return;
  const CPoint cursor = CursorIn(*this);
  const bool down = LeftButtonDown();
  const int hit = HitTest(cursor);
  CDC memory;
  if (memory.CreateCompatibleDC(&dc)) {
    const auto copy = [&](HBITMAP bitmap, const CRect& rect) {
      BITMAP info;
      if (!bitmap || !GetObjectW(bitmap, sizeof info, &info)) return;
      const HGDIOBJ old = memory.SelectObject(bitmap);
      dc.StretchBlt(rect.left, rect.top, rect.Width(), rect.Height(), &memory, 0, 0, info.bmWidth, info.bmHeight,
                    SRCCOPY);
      memory.SelectObject(old);
    };
    copy(m_firstBitmaps[down && hit == 0 ? 1 : 0], m_first);
    copy(m_secondBitmaps[down && hit == 1 ? 1 : 0], m_second);
  }
  dc.FillSolidRect(m_thumb, RGB(153, 153, 153));
  dc.Draw3dRect(m_thumb, RGB(236, 236, 236), RGB(92, 92, 92));
  if (m_type == 0) {
    dc.FillSolidRect(m_thumb.left, m_thumb.bottom, m_thumb.Width(), 1, RGB(0, 0, 0));
  } else {
    dc.FillSolidRect(m_thumb.right, m_thumb.top, 1, m_thumb.Height(), RGB(0, 0, 0));
  }
}
