#include "toolkit/CGroupeBoxBase.h"

BEGIN_MESSAGE_MAP(CGroupeBoxBase, CStatic)
  ON_WM_PAINT()
  ON_WM_SIZE()
  ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

BOOL CGroupeBoxBase::SetStringId(int id, UINT format, BOOL redraw) {
  const BOOL found = SetStringId(id, format);
  if (redraw) RedrawWindow(nullptr, nullptr, kRedrawNow);
  return found;
}

void CGroupeBoxBase::SetText(const std::u16string& text, BOOL redraw) {
  SetText(text);
  if (redraw) RedrawWindow(nullptr, nullptr, kRedrawNow);
}

void CGroupeBoxBase::SetRoundCorners(int bits) {
  m_roundCorners = bits;
  BuildRegion();
}

void CGroupeBoxBase::BuildRegion() {
  m_region.DeleteObject();
  CRect client;
  if (m_hWnd) GetClientRect(&client);
  const CRect& c = client;
  if (!(m_roundCorners & 3)) {
    m_region.CreateRectRgn(c.left, c.top, c.right, c.bottom);
    return;
  }
  // The rounded region leaves out its last column: one more to the right.
  m_region.CreateRoundRectRgn(c.left, c.top, c.right + 1, c.bottom, 4, 4);
  CRgn square;
  if (!(m_roundCorners & 1)) {
    square.CreateRectRgn(c.left, c.top, c.right, c.top + 4);
    m_region.CombineRgn(&m_region, &square, RGN_OR);
    square.DeleteObject();
  }
  if (!(m_roundCorners & 2)) {
    square.CreateRectRgn(c.left, c.bottom - 4, c.right, c.bottom);
    m_region.CombineRgn(&m_region, &square, RGN_OR);
  }
}

void CGroupeBoxBase::PreSubclassWindow() {
  CStatic::PreSubclassWindow();
  SetWindowText(u"");
  BuildRegion();
}

BOOL CGroupeBoxBase::DestroyWindow() {
  m_region.DeleteObject();
  return CStatic::DestroyWindow();
}

void CGroupeBoxBase::OnSize(UINT type, int cx, int cy) {
  CStatic::OnSize(type, cx, cy);
  BuildRegion();
}

BOOL CGroupeBoxBase::OnEraseBkgnd(CDC*) { return TRUE; }

void CGroupeBoxBase::OnPaint() {
  CPaintDC dc(this);
  CRect client;
  GetClientRect(&client);
  const int mode = dc.SetBkMode(TRANSPARENT);
  dc.FillSolidRect(client, kToolkitBackground);
  if (m_region.GetSafeHandle()) {
    CBrush fill(m_fillColour), frame(m_frameColour);
    dc.FillRgn(&m_region, &fill);
    dc.FrameRgn(&m_region, &frame, 1, 1);
  }
  CRect captions = client;
  captions.DeflateRect(5, 0);
  DrawCaptions(&dc, captions);
  dc.SetBkMode(mode);
}

void CGroupeBoxBase::DrawCaptions(CDC* dc, const CRect& rect) { Draw(dc, rect); }

BOOL CGroupeBox_DoubleStr::SetStringId(int id, UINT format, BOOL redraw) {
  return CGroupeBoxBase::SetStringId(id, format & ~(DT_CENTER | DT_RIGHT), redraw);
}

void CGroupeBox_DoubleStr::SetFormat(UINT format) { CGroupeBoxBase::SetFormat(format & ~(DT_CENTER | DT_RIGHT)); }

BOOL CGroupeBox_DoubleStr::SetSecondStringId(int id, UINT format, BOOL redraw) {
  if ((format & 3u) != DT_RIGHT) format = (format & ~3u) | DT_RIGHT;
  const BOOL found = m_second.SetStringId(id, format);
  if (redraw) RedrawWindow(nullptr, nullptr, kRedrawNow);
  return found;
}

void CGroupeBox_DoubleStr::SetSecondText(const std::u16string& text, BOOL redraw) {
  m_second.SetText(text);
  if (redraw) RedrawWindow(nullptr, nullptr, kRedrawNow);
}

void CGroupeBox_DoubleStr::DrawCaptions(CDC* dc, const CRect& rect) {
  CRect client;
  GetClientRect(&client);
  const int middle = client.CenterPoint().x;
  Draw(dc, CRect(rect.left, rect.top, middle, rect.bottom));
  m_second.Draw(dc, CRect(middle, rect.top, rect.right, rect.bottom));
}
