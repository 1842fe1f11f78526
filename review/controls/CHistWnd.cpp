#include "review/controls/CHistWnd.h"

BEGIN_MESSAGE_MAP(CHistWnd, CWnd)
  ON_WM_PAINT()
END_MESSAGE_MAP()

CHistWnd::CHistWnd() {
  m_histogram.Setup(256, 0, TRUE, TRUE, TRUE, RGB(225, 225, 225), RGB(0, 0, 0));
  m_histogram.SetChannelColor(0, RGB(255, 255, 255));
  m_histogram.SetChannelColor(1, RGB(255, 0, 0));
  m_histogram.SetChannelColor(2, RGB(0, 255, 0));
  m_histogram.SetChannelColor(3, RGB(0, 0, 255));
  m_histogram.SetMarkers(64, 225, RGB(0, 0, 255), RGB(255, 0, 0), FALSE);
  m_histogram.SetGain(2.0);
  m_histogram.SetStyle(1);
  m_histogram.SetView(CTLM_Histogram::kAll);
}

void CHistWnd::SetPicture(const CET_Dib* picture) {
  CDC* dc = GetDC();
  if (!dc) return;
  CRect client;
  GetClientRect(client);
  client.DeflateRect(1, 1);
  m_histogram.Build(picture, 8, dc, client.Width(), client.Height());
  ReleaseDC(dc);
  RedrawNow();
}

void CHistWnd::SetView(int view) {
  if (view == m_histogram.GetView()) return;
  m_histogram.SetView(view);
  RedrawNow();
}

void CHistWnd::SetShadowMarker(BYTE position) {
  if (position == m_histogram.GetShadowMarker()) return;
  m_histogram.SetShadowMarker(position);
  RedrawNow();
}

void CHistWnd::SetHighlightMarker(BYTE position) {
  if (position == m_histogram.GetHighlightMarker()) return;
  m_histogram.SetHighlightMarker(position);
  RedrawNow();
}

void CHistWnd::RedrawNow() { RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW); }

void CHistWnd::OnPaint() {
  CPaintDC dc(this);
  CRect client;
  GetClientRect(client);
  dc.Draw3dRect(client, RGB(54, 54, 54), RGB(131, 131, 131));
  client.DeflateRect(1, 1);
  m_histogram.Draw(&dc, client);
}
