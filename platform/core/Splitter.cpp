// The static splitter: panes by run-time class, layout by ideal widths and
// heights, bars dragged with the mouse within limits a derived splitter may
// narrow, the panes following the bar as it moves.

#include "platform/afx/AfxExt.h"
#include "platform/core/Controls.h"

#include <algorithm>

using namespace platform::core;

BEGIN_MESSAGE_MAP(CSplitterWnd, CWnd)
  ON_WM_PAINT()
  ON_WM_SIZE()
  ON_WM_LBUTTONDOWN()
  ON_WM_MOUSEMOVE()
  ON_WM_LBUTTONUP()
  ON_WM_KEYDOWN()
  ON_WM_CAPTURECHANGED()
END_MESSAGE_MAP()

BOOL CSplitterWnd::CreateStatic(CWnd* parent, int rows, int cols, DWORD style, UINT id) {
  if (m_hWnd || !parent || rows < 1 || cols < 1 || rows > 16 || cols > 16) return FALSE;
  m_nRows = rows;
  m_nCols = cols;
  m_rowInfo.assign(static_cast<std::size_t>(rows), Info{});
  m_colInfo.assign(static_cast<std::size_t>(cols), Info{});
  CRect client;
  parent->GetClientRect(client);
  return Create(u"Splitter", u"", style | WS_CHILD, client, parent, id);
}

int CSplitterWnd::IdFromRowCol(int row, int col) const {
  return static_cast<int>(AFX_IDW_PANE_FIRST) + row * 16 + col;
}

CWnd* CSplitterWnd::GetPane(int row, int col) const { return GetDlgItem(IdFromRowCol(row, col)); }

BOOL CSplitterWnd::CreateView(int row, int col, const CRuntimeClass* viewClass, SIZE initialSize,
                              CCreateContext* context) {
  if (row < 0 || row >= m_nRows || col < 0 || col >= m_nCols || !viewClass || GetPane(row, col)) return FALSE;
  m_colInfo[static_cast<std::size_t>(col)].ideal = initialSize.cx;
  m_rowInfo[static_cast<std::size_t>(row)].ideal = initialSize.cy;
  CCmdTarget* object = viewClass->CreateObject();
  auto* view = dynamic_cast<CWnd*>(object);
  if (!view) {
    delete object;
    return FALSE;
  }
  if (!view->Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, CRect(0, 0, initialSize.cx, initialSize.cy), this,
                    static_cast<UINT>(IdFromRowCol(row, col)), context)) {
    if (!view->m_hWnd) delete view;
    return FALSE;
  }
  return TRUE;
}

void CSplitterWnd::SetColumnInfo(int col, int ideal, int minimum) {
  if (col < 0 || col >= m_nCols) return;
  m_colInfo[static_cast<std::size_t>(col)].ideal = std::max(ideal, 0);
  m_colInfo[static_cast<std::size_t>(col)].minimum = std::max(minimum, 0);
}

void CSplitterWnd::GetColumnInfo(int col, int& current, int& minimum) const {
  current = minimum = 0;
  if (col < 0 || col >= m_nCols) return;
  current = m_colInfo[static_cast<std::size_t>(col)].current;
  minimum = m_colInfo[static_cast<std::size_t>(col)].minimum;
}

void CSplitterWnd::SetRowInfo(int row, int ideal, int minimum) {
  if (row < 0 || row >= m_nRows) return;
  m_rowInfo[static_cast<std::size_t>(row)].ideal = std::max(ideal, 0);
  m_rowInfo[static_cast<std::size_t>(row)].minimum = std::max(minimum, 0);
}

void CSplitterWnd::GetRowInfo(int row, int& current, int& minimum) const {
  current = minimum = 0;
  if (row < 0 || row >= m_nRows) return;
  current = m_rowInfo[static_cast<std::size_t>(row)].current;
  minimum = m_rowInfo[static_cast<std::size_t>(row)].minimum;
}

namespace {

// Sizes along one direction: each but the last at its ideal size (never
// beyond what is left), the last the rest; every pane has its border on
// both sides and a bar after it.
void Distribute(std::vector<CSplitterWnd::Info>& infos, int total, int border, int bar) {
  int left = total;
  for (std::size_t i = 0; i < infos.size(); ++i) {
    const bool last = i + 1 == infos.size();
    const int room = std::max(0, left - 2 * border - (last ? 0 : bar));
    infos[i].current = last ? room : std::min(infos[i].ideal, room);
    left -= infos[i].current + 2 * border + (last ? 0 : bar);
  }
}

} // namespace

void CSplitterWnd::RecalcLayout() {
  if (!m_hWnd) return;
  CRect client;
  GetClientRect(client);
  Distribute(m_colInfo, client.Width(), m_cxBorder, m_cxSplitter);
  Distribute(m_rowInfo, client.Height(), m_cyBorder, m_cySplitter);
  int y = 0;
  for (int r = 0; r < m_nRows; ++r) {
    int x = 0;
    const int h = m_rowInfo[static_cast<std::size_t>(r)].current;
    for (int c = 0; c < m_nCols; ++c) {
      const int w = m_colInfo[static_cast<std::size_t>(c)].current;
      if (CWnd* pane = GetPane(r, c)) pane->MoveWindow(x + m_cxBorder, y + m_cyBorder, w, h);
      x += w + 2 * m_cxBorder + m_cxSplitter;
    }
    y += h + 2 * m_cyBorder + m_cySplitter;
  }
  Invalidate();
}

CRect CSplitterWnd::BarRect(int hitTest) const {
  CRect client;
  GetClientRect(client);
  if (hitTest >= hSplitterBar1 && hitTest <= hSplitterBar15 && hitTest - hSplitterBar1 < m_nCols - 1) {
    int x = 0;
    for (int c = 0; c <= hitTest - hSplitterBar1; ++c) x += m_colInfo[static_cast<std::size_t>(c)].current + 2 * m_cxBorder;
    x += (hitTest - hSplitterBar1) * m_cxSplitter;
    return CRect(x, 0, x + m_cxSplitter, client.bottom);
  }
  if (hitTest >= vSplitterBar1 && hitTest <= vSplitterBar15 && hitTest - vSplitterBar1 < m_nRows - 1) {
    int y = 0;
    for (int r = 0; r <= hitTest - vSplitterBar1; ++r) y += m_rowInfo[static_cast<std::size_t>(r)].current + 2 * m_cyBorder;
    y += (hitTest - vSplitterBar1) * m_cySplitter;
    return CRect(0, y, client.right, y + m_cySplitter);
  }
  return CRect();
}

int CSplitterWnd::HitTest(CPoint point) const {
  for (int c = 0; c < m_nCols - 1; ++c) {
    if (BarRect(hSplitterBar1 + c).PtInRect(point)) return hSplitterBar1 + c;
  }
  for (int r = 0; r < m_nRows - 1; ++r) {
    if (BarRect(vSplitterBar1 + r).PtInRect(point)) return vSplitterBar1 + r;
  }
  return noHit;
}

void CSplitterWnd::StartTracking(int hitTest) {
  const CRect bar = BarRect(hitTest);
  if (bar.IsRectEmpty()) return;
  m_htTrack = hitTest;
  m_rectTracker = bar;
  // The bar moves between the outer edges of the two panes beside it.
  GetClientRect(m_rectLimit);
  const bool column = hitTest >= hSplitterBar1;
  const int index = hitTest - (column ? hSplitterBar1 : vSplitterBar1);
  const Info& before = (column ? m_colInfo : m_rowInfo)[static_cast<std::size_t>(index)];
  const Info& after = (column ? m_colInfo : m_rowInfo)[static_cast<std::size_t>(index) + 1];
  const int border = column ? m_cxBorder : m_cyBorder;
  const int start = (column ? bar.left : bar.top) - before.current - 2 * border;
  const int end = (column ? bar.right : bar.bottom) + after.current + 2 * border;
  if (column) {
    m_rectLimit.left = start;
    m_rectLimit.right = end;
  } else {
    m_rectLimit.top = start;
    m_rectLimit.bottom = end;
  }
  m_trackStartIdeal = before.current;
  m_bTracking = TRUE;
  SetCapture();
}

void CSplitterWnd::MoveBar(int position) {
  const bool column = m_htTrack >= hSplitterBar1;
  const int index = m_htTrack - (column ? hSplitterBar1 : vSplitterBar1);
  const int size = column ? m_cxSplitter : m_cySplitter;
  const int low = column ? m_rectLimit.left : m_rectLimit.top;
  const int high = (column ? m_rectLimit.right : m_rectLimit.bottom) - size;
  position = std::clamp(position, low, std::max(low, high));
  const int current = column ? m_rectTracker.left : m_rectTracker.top;
  if (position == current) return;
  if (column) {
    m_rectTracker.OffsetRect(position - current, 0);
  } else {
    m_rectTracker.OffsetRect(0, position - current);
  }
  // The pane before the bar ends where the bar begins.
  Info& before = (column ? m_colInfo : m_rowInfo)[static_cast<std::size_t>(index)];
  const int border = column ? m_cxBorder : m_cyBorder;
  int origin = 0;
  for (int i = 0; i < index; ++i) origin += (column ? m_colInfo : m_rowInfo)[static_cast<std::size_t>(i)].current + 2 * border + size;
  before.ideal = std::max(0, position - origin - 2 * border);
  RecalcLayout();
  UpdateWindow();
}

void CSplitterWnd::StopTracking(BOOL accept) {
  if (!m_bTracking) return;
  m_bTracking = FALSE;
  if (!accept) {
    const bool column = m_htTrack >= hSplitterBar1;
    const int index = m_htTrack - (column ? hSplitterBar1 : vSplitterBar1);
    (column ? m_colInfo : m_rowInfo)[static_cast<std::size_t>(index)].ideal = m_trackStartIdeal;
    RecalcLayout();
  }
  m_htTrack = noHit;
  if (GetCapture() == this) ReleaseCapture();
}

void CSplitterWnd::OnDrawSplitter(CDC* dc, ESplitType type, const CRect& rect) {
  if (!dc) {
    InvalidateRect(rect);
    return;
  }
  if (type == splitBorder) {
    dc->Draw3dRect(rect, GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNHIGHLIGHT));
    CRect inner = rect;
    inner.DeflateRect(1, 1);
    dc->Draw3dRect(inner, GetSysColor(COLOR_WINDOWTEXT), GetSysColor(COLOR_BTNFACE));
  } else {
    dc->FillSolidRect(rect, GetSysColor(COLOR_BTNFACE));
  }
}

void CSplitterWnd::OnPaint() {
  CPaintDC dc(this);
  for (int c = 0; c < m_nCols - 1; ++c) OnDrawSplitter(&dc, splitBar, BarRect(hSplitterBar1 + c));
  for (int r = 0; r < m_nRows - 1; ++r) OnDrawSplitter(&dc, splitBar, BarRect(vSplitterBar1 + r));
  for (int r = 0; r < m_nRows; ++r) {
    for (int c = 0; c < m_nCols; ++c) {
      CWnd* pane = GetPane(r, c);
      if (!pane) continue;
      CRect border;
      pane->GetWindowRect(border);
      ScreenToClient(border);
      border.InflateRect(m_cxBorder, m_cyBorder);
      OnDrawSplitter(&dc, splitBorder, border);
    }
  }
}

void CSplitterWnd::OnSize(UINT type, int cx, int cy) {
  CWnd::OnSize(type, cx, cy);
  RecalcLayout();
}

void CSplitterWnd::OnLButtonDown(UINT flags, CPoint point) {
  const int hit = HitTest(point);
  if (hit == noHit) {
    CWnd::OnLButtonDown(flags, point);
    return;
  }
  StartTracking(hit);
  if (m_bTracking) m_ptTrackOffset = point - m_rectTracker.TopLeft();
}

void CSplitterWnd::OnMouseMove(UINT flags, CPoint point) {
  if (!m_bTracking) {
    CWnd::OnMouseMove(flags, point);
    return;
  }
  const CPoint corner = point - m_ptTrackOffset;
  MoveBar(m_htTrack >= hSplitterBar1 ? corner.x : corner.y);
}

void CSplitterWnd::OnLButtonUp(UINT flags, CPoint point) {
  if (!m_bTracking) {
    CWnd::OnLButtonUp(flags, point);
    return;
  }
  OnMouseMove(flags, point);
  StopTracking(TRUE);
}

void CSplitterWnd::OnKeyDown(UINT key, UINT repeat, UINT flags) {
  if (m_bTracking && key == VK_ESCAPE) {
    StopTracking(FALSE);
    return;
  }
  CWnd::OnKeyDown(key, repeat, flags);
}

void CSplitterWnd::OnCaptureChanged(CWnd* wnd) {
  if (m_bTracking && wnd != this) StopTracking(FALSE);
  CWnd::OnCaptureChanged(wnd);
}
