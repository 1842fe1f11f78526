#include "toolkit/CET_ThumbEdit.h"

#include "toolkit/CET_ThumbnailWnd.h"

BEGIN_MESSAGE_MAP(CET_ThumbEdit, CEdit)
  ON_WM_SHOWWINDOW()
  ON_WM_LBUTTONDOWN()
  ON_WM_LBUTTONDBLCLK()
  ON_CONTROL_REFLECT(EN_KILLFOCUS, OnKillFocusReflect)
END_MESSAGE_MAP()

void CET_ThumbEdit::EndEdit() {
  // One end per edit: the hidden edit's own focus loss (when the parent
  // hides it) must not end it a second time.
  if (!IsWindowVisible()) return;
  if (GetCapture() == this) ReleaseCapture();
  if (CWnd* parent = GetParent()) parent->PostMessage(WM_THUMB_RENAMEEND, 0, 0);
}

void CET_ThumbEdit::OnShowWindow(BOOL show, UINT status) {
  CEdit::OnShowWindow(show, status);
  if (show) SetCapture();
}

void CET_ThumbEdit::OnLButtonDown(UINT, CPoint point) {
  CRect client;
  GetClientRect(client);
  if (client.PtInRect(point)) {
    Default();
    SetCapture();
    return;
  }
  EndEdit();
}

void CET_ThumbEdit::OnLButtonDblClk(UINT, CPoint) {}

void CET_ThumbEdit::OnKillFocusReflect() { EndEdit(); }

BOOL CET_ThumbEdit::PreTranslateMessage(MSG* msg) {
  if (msg->message == WM_KEYDOWN && msg->hwnd == m_hWnd && msg->wParam == VK_RETURN) {
    EndEdit();
    return TRUE;
  }
  return CEdit::PreTranslateMessage(msg);
}
