#pragma once
// The toolkit's edit: the system's edit with its own bar hidden and the
// toolkit's vertical bar beside it, which scrolls it in lines.

#include "platform/afx/AfxWin.h"
#include "toolkit/CScrollBarBase.h"

class CEditBase : public CEdit {
public:
  CEditBase() = default;
  ~CEditBase() override;
  CScrollBarBase& VerticalBar() { return m_vertical; }

protected:
  void PreSubclassWindow() override;
  bool CreateBar();
  afx_msg int OnCreate(LPCREATESTRUCT cs);
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg void OnNcCalcSize(BOOL calcValidRects, NCCALCSIZE_PARAMS* params);
  afx_msg BOOL OnMouseWheel(UINT flags, short delta, CPoint point);
  afx_msg void OnVScroll(UINT code, UINT position, CScrollBar* bar);
  DECLARE_MESSAGE_MAP()

  BOOL m_barCreated = FALSE;
  CScrollBarBase m_vertical;
};
