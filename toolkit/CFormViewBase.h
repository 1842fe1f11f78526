#pragma once
// The toolkit's form view: the grey look, its controls placed again after
// every resize (LayoutControls) and its own content painted on the paint DC
// (DrawContent); it never scrolls.

#include "platform/afx/AfxFrame.h"

class CFormViewBase : public CFormView {
public:
  // Template 0 is the one dynamic creation uses before a derived view names its own.
  explicit CFormViewBase(UINT templateId = 0);
  ~CFormViewBase() override;

  virtual void LayoutControls();
  virtual void DrawContent(CDC* dc);

protected:
  afx_msg void OnPaint();
  afx_msg BOOL OnEraseBkgnd(CDC* dc);
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT kind);
  DECLARE_MESSAGE_MAP()

  CBrush m_backgroundBrush;
};
