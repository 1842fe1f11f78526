#pragma once
// The toolkit's list view: the system's list in report form with its own
// bars hidden and the toolkit's vertical bar, horizontal bar and corner box
// beside it. Dragging the vertical thumb scrolls whole items; the
// horizontal one pixels.

#include "platform/afx/AfxCtrls.h"
#include "toolkit/CScrollBarBase.h"

class CListCtrlBase : public CListCtrl {
public:
  CListCtrlBase() = default;
  ~CListCtrlBase() override;

  CScrollBarBase& VerticalBar() { return m_vertical; }
  CScrollBarBase& HorizontalBar() { return m_horizontal; }

protected:
  void PreSubclassWindow() override;
  bool CreateBars();
  afx_msg int OnCreate(LPCREATESTRUCT cs);
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg void OnNcCalcSize(BOOL calcValidRects, NCCALCSIZE_PARAMS* params);
  afx_msg BOOL OnMouseWheel(UINT flags, short delta, CPoint point);
  afx_msg void OnVScroll(UINT code, UINT position, CScrollBar* bar);
  afx_msg void OnHScroll(UINT code, UINT position, CScrollBar* bar);
  afx_msg void OnWindowPosChanged(WINDOWPOS* pos);
  DECLARE_MESSAGE_MAP()

  BOOL m_barsCreated = FALSE;
  CScrollBarBase m_vertical;
  CScrollBarBase m_horizontal;
  CScrollBarBase m_corner;
};
