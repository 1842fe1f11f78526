#include "toolkit/CProgressBarBase.h"

#include "toolkit/CET_Calc.h"

#include <algorithm>

namespace {

constexpr int kFillingBitmap = 264; // 182 x 14
constexpr int kFrameBitmap = 263;   // 6 x 6: 2 x 2 corners and edges

} // namespace

BEGIN_MESSAGE_MAP(CProgressBarBase, CWnd)
  ON_WM_SIZE()
  ON_WM_PAINT()
  ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

CProgressBarBase::~CProgressBarBase() { FreeBackground(); }

int CProgressBarBase::SetPos(int position) {
  const int previous = m_position;
  m_position = std::clamp(position, m_minimum, m_maximum);
  Invalidate(TRUE);
  return previous;
}

void CProgressBarBase::SetRange32(int a, int b) {
  m_minimum = std::min(a, b);
  m_maximum = std::max(a, b);
  m_position = std::clamp(m_position, m_minimum, m_maximum);
  Invalidate(TRUE);
}

int CProgressBarBase::FilledWidth(int clientWidth) const {
  // An empty range shows no progress.
  if (m_maximum == m_minimum) return 0;
  const double f = (static_cast<double>(m_position) - m_minimum) / (static_cast<double>(m_maximum) - m_minimum);
  return static_cast<int>((clientWidth - 4) * f + 0.5);
}

void CProgressBarBase::FreeBackground() {
  if (m_memory.GetSafeHdc()) {
    m_memory.SelectObject(m_previousBitmap);
    m_memory.DeleteDC();
  }
  if (m_backgroundBitmap) DeleteObject(m_backgroundBitmap);
  m_backgroundBitmap = nullptr;
  m_previousBitmap = nullptr;
  m_backgroundSize = CSize();
}

void CProgressBarBase::BuildBackground(int cx, int cy) {
  FreeBackground();
  if (cx <= 0 || cy <= 0) return;
  CClientDC window(this);
  if (!m_memory.CreateCompatibleDC(&window)) return;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = cx;
  info.bmiHeader.biHeight = -cy;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  m_backgroundBitmap = CreateDIBSection(m_memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!m_backgroundBitmap) {
    m_memory.DeleteDC();
    return;
  }
  m_previousBitmap = m_memory.SelectObject(m_backgroundBitmap);
  m_backgroundSize = CSize(cx, cy);

  CBitmap filling, frame;
  filling.LoadBitmap(kFillingBitmap);
  frame.LoadBitmap(kFrameBitmap);
  CDC source;
  source.CreateCompatibleDC(&m_memory);
  // The filling, tiled along the interior.
  CBitmap* old = source.SelectObject(&filling);
  for (int x = 2; x < cx - 2; x += 182) m_memory.BitBlt(x, 2, 182, 14, &source, 0, 0, SRCCOPY);
  // The frame: 2 x 2 corners as they are, the edges stretched.
  source.SelectObject(&frame);
  const int w = cx - 4, h = cy - 4;
  m_memory.BitBlt(0, 0, 2, 2, &source, 0, 0, SRCCOPY);
  m_memory.BitBlt(w + 2, 0, 2, 2, &source, 4, 0, SRCCOPY);
  m_memory.BitBlt(0, h + 2, 2, 2, &source, 0, 4, SRCCOPY);
  m_memory.BitBlt(w + 2, h + 2, 2, 2, &source, 4, 4, SRCCOPY);
  if (w > 0) {
    m_memory.StretchBlt(2, 0, w, 2, &source, 2, 0, 2, 2, SRCCOPY);
    m_memory.StretchBlt(2, h + 2, w, 2, &source, 2, 4, 2, 2, SRCCOPY);
  }
  if (h > 0) {
    m_memory.StretchBlt(0, 2, 2, h, &source, 0, 2, 2, 2, SRCCOPY);
    m_memory.StretchBlt(w + 2, 2, 2, h, &source, 4, 2, 2, 2, SRCCOPY);
  }
  if (old) source.SelectObject(old);
}

void CProgressBarBase::OnSize(UINT type, int cx, int cy) {
  CWnd::OnSize(type, cx, cy);
  BuildBackground(cx, cy);
}

BOOL CProgressBarBase::OnEraseBkgnd(CDC*) { return TRUE; }

void CProgressBarBase::OnPaint() {
  CPaintDC dc(this);
  CRect client;
  GetClientRect(&client);
  // A bar attached to its dialog item has had no resize yet.
  if (m_backgroundSize != client.Size()) BuildBackground(client.Width(), client.Height());
  CET_Calc::PaintThroughMemoryDC(&dc, client, &CProgressBarBase::PaintBar, this, nullptr, nullptr);
}

void CProgressBarBase::PaintBar(CDC* dc, RECT, void* self, void*) {
  auto* bar = static_cast<CProgressBarBase*>(self);
  CRect client;
  bar->GetClientRect(&client);
  if (bar->m_memory.GetSafeHdc()) {
    dc->BitBlt(0, 0, client.Width(), client.Height(), &bar->m_memory, 0, 0, SRCCOPY);
  }
  const int filled = bar->FilledWidth(client.Width());
  dc->FillSolidRect(CRect(filled + 2, 2, client.Width() - 2, client.Height() - 2), RGB(255, 255, 255));
}
