#include "output/print/CTLM_PrintPreviewWnd.h"

#include "shell/app/AppMessages.h"
#include "toolkit/CET_Calc.h"

#include "platform/win/WinGdiDraw.h"
#include "platform/win/WinIcm.h"

BEGIN_MESSAGE_MAP(CTLM_PrintPreviewWnd, CWnd)
ON_WM_PAINT()
ON_WM_LBUTTONDOWN()
ON_WM_MOUSEMOVE()
ON_WM_LBUTTONUP()
ON_WM_CAPTURECHANGED()
END_MESSAGE_MAP()

CTLM_PrintPreviewWnd::CTLM_PrintPreviewWnd() = default;

CTLM_PrintPreviewWnd::~CTLM_PrintPreviewWnd() = default;

void CTLM_PrintPreviewWnd::SetPage(const std::vector<CET_PrintPictData*>& cells, int offsetX, int offsetY,
                                   double scale, int pageValue, int previewFlag, double textRatio) {
  m_dScale = scale;
  m_Drawer.SetPage(cells, offsetX, offsetY, scale, pageValue, previewFlag, textRatio);
}

void CTLM_PrintPreviewWnd::SetTextItems(const std::vector<CET_PrintTextData*>* texts) {
  m_Drawer.SetTextItems(texts);
}

void CTLM_PrintPreviewWnd::SetRotateAndFit(int autoRotate, int wholePicture) {
  m_Drawer.SetRotateAndFit(autoRotate, wholePicture);
}

void CTLM_PrintPreviewWnd::OnPaint() {
  CPaintDC dc(this);
  CRect client;
  GetClientRect(&client);
  const int oldMode = SetICMMode(dc.m_hDC, ICM_ON);
  CET_Calc::PaintThroughMemoryDC(&dc, client, &CTLM_PrintPreviewWnd::PaintPage, this, nullptr, nullptr);
  if (oldMode != 0) SetICMMode(dc.m_hDC, oldMode);
  RECT edge = client;
  DrawEdge(dc.m_hDC, &edge, EDGE_RAISED, BF_RECT);
}

void CTLM_PrintPreviewWnd::PaintPage(CDC* dc, RECT area, void* self, void*) {
  dc->FillSolidRect(&area, RGB(255, 255, 255));
  static_cast<CTLM_PrintPreviewWnd*>(self)->m_Drawer.DrawPage(dc);
}

// The drag follows the pointer through mouse moves while the window holds
// the capture, so the window keeps serving its messages meanwhile.
void CTLM_PrintPreviewWnd::OnLButtonDown(UINT flags, CPoint point) {
  if (!m_Drawer.IsFitWhole()) {
    const int cell = m_Drawer.HitTest(point.x, point.y);
    if (cell >= 0) {
      m_nDragCell = cell;
      m_LastCursor = point;
      SetCapture();
    }
  }
  CWnd::OnLButtonDown(flags, point);
}

void CTLM_PrintPreviewWnd::OnMouseMove(UINT flags, CPoint point) {
  if (m_nDragCell >= 0 && m_dScale > 0.0) {
    m_DragOffset = FDoublePoint(static_cast<double>(point.x - m_LastCursor.x) / m_dScale,
                                static_cast<double>(point.y - m_LastCursor.y) / m_dScale);
    m_LastCursor = point;
    if (CWnd* parent = GetParent())
      parent->SendMessage(WM_APP_PRINT_PAN, static_cast<WPARAM>(m_nDragCell), reinterpret_cast<LPARAM>(&m_DragOffset));
  }
  CWnd::OnMouseMove(flags, point);
}

void CTLM_PrintPreviewWnd::OnLButtonUp(UINT flags, CPoint point) {
  if (m_nDragCell >= 0) {
    m_nDragCell = -1;
    ReleaseCapture();
  }
  CWnd::OnLButtonUp(flags, point);
}

void CTLM_PrintPreviewWnd::OnCaptureChanged(CWnd* window) {
  if (window != this) m_nDragCell = -1;
  CWnd::OnCaptureChanged(window);
}
