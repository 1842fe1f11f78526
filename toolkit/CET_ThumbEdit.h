#pragma once
// The thumbnail window's in-place edit for a file name. Enter, a click
// outside it and the loss of the focus each end it: it posts
// WM_USER + 600 to its parent, which reads the text and hides it.

#include "platform/afx/AfxWin.h"

class CET_ThumbEdit : public CEdit {
public:
  BOOL PreTranslateMessage(MSG* msg) override;

protected:
  afx_msg void OnShowWindow(BOOL show, UINT status);
  afx_msg void OnLButtonDown(UINT flags, CPoint point);
  afx_msg void OnLButtonDblClk(UINT flags, CPoint point);
  afx_msg void OnKillFocusReflect();
  void EndEdit();

  DECLARE_MESSAGE_MAP()
};
