#include "toolkit/CFormViewBase.h"

BEGIN_MESSAGE_MAP(CFormViewBase, CFormView)
  ON_WM_PAINT()
  ON_WM_ERASEBKGND()
  ON_WM_SIZE()
  ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

CFormViewBase::CFormViewBase(UINT templateId) : CFormView(templateId) {
  m_backgroundBrush.CreateSolidBrush(RGB(89, 89, 89));
}

CFormViewBase::~CFormViewBase() = default;

void CFormViewBase::LayoutControls() {}
void CFormViewBase::DrawContent(CDC*) {}

void CFormViewBase::OnPaint() {
  CPaintDC dc(this);
  DrawContent(&dc);
}

// The framework's erasing: the form's class fills it with its colour request's brush.
BOOL CFormViewBase::OnEraseBkgnd(CDC* dc) { return CFormView::OnEraseBkgnd(dc); }

void CFormViewBase::OnSize(UINT type, int cx, int cy) {
  CFormView::OnSize(type, cx, cy);
  LayoutControls();
}

HBRUSH CFormViewBase::OnCtlColor(CDC* dc, CWnd* wnd, UINT kind) {
  if (kind == CTLCOLOR_DLG) return m_backgroundBrush;
  return CFormView::OnCtlColor(dc, wnd, kind);
}
