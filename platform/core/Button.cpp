// The native button and static controls: their default window procedure.
// A button is pressed while the left button is held inside it (under
// capture), tells its parent BN_CLICKED when released inside, keeps a check
// state for the check-box and radio styles (toggled by the "auto" styles),
// and paints natively or, owner-drawn, through WM_DRAWITEM to its parent.

#include "platform/afx/AfxButton.h"
#include "platform/core/Core.h"

using namespace platform::core;

namespace {

constexpr COLORREF kFace = RGB(240, 240, 240);
constexpr COLORREF kEdge = RGB(122, 122, 122);
constexpr COLORREF kPressedFace = RGB(204, 204, 204);
constexpr COLORREF kText = RGB(0, 0, 0);
constexpr COLORREF kDisabledText = RGB(160, 160, 160);

// The font a control draws its caption in: its own (WM_SETFONT) or the GUI font.
HGDIOBJ CaptionFont(HWND hwnd) {
  const LRESULT font = SendMessageW(hwnd, WM_GETFONT, 0, 0);
  return font ? reinterpret_cast<HGDIOBJ>(font) : GetStockObject(DEFAULT_GUI_FONT);
}

void SendDrawItem(CWnd& control, UINT kind, UINT state, HDC dc) {
  DRAWITEMSTRUCT item;
  item.CtlType = kind;
  item.CtlID = static_cast<UINT>(control.GetDlgCtrlID());
  item.itemAction = ODA_DRAWENTIRE;
  item.itemState = state;
  item.hwndItem = control.m_hWnd;
  item.hDC = dc;
  control.GetClientRect(&item.rcItem);
  const HWND parent = ::GetParent(control.m_hWnd);
  if (parent) {
    ::SendMessageW(parent, WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
  } else {
    // A control without a parent draws itself.
    LRESULT result = 0;
    control.OnChildNotify(WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item), &result);
  }
}

void NotifyParent(const CWnd& control, UINT code) {
  const HWND parent = ::GetParent(control.m_hWnd);
  if (!parent) return;
  ::SendMessageW(parent, WM_COMMAND, MAKEWPARAM(control.GetDlgCtrlID(), static_cast<int>(code)),
                 reinterpret_cast<LPARAM>(control.m_hWnd));
}

void Redraw(HWND hwnd) {
  ::InvalidateRect(hwnd, nullptr, TRUE);
  ::UpdateWindow(hwnd);
}

} // namespace

// ---- CButton ------------------------------------------------------------------------

BOOL CButton::Create(LPCWSTR caption, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CWnd::Create(u"Button", caption, style | WS_CHILD, rect, parent, id);
}

void CButton::DrawItem(LPDRAWITEMSTRUCT) {}

BOOL CButton::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (message != WM_DRAWITEM) return CWnd::OnChildNotify(message, wParam, lParam, result);
  DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
  if (result) *result = TRUE;
  return TRUE;
}

void CButton::Press(bool pressed) {
  if (m_pushed == pressed) return;
  m_pushed = pressed;
  Redraw(m_hWnd);
}

void CButton::Clicked() {
  const DWORD type = GetStyle() & BS_TYPEMASK;
  if (type == BS_AUTOCHECKBOX) {
    SetCheck(m_check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
  } else if (type == BS_AUTORADIOBUTTON) {
    SetCheck(BST_CHECKED);
  }
  NotifyParent(*this, BN_CLICKED);
}

void CButton::Release(bool click) {
  m_tracking = false;
  const bool wasPushed = m_pushed;
  Press(false);
  if (click && wasPushed && IsLiveWindow(m_hWnd)) Clicked();
}

LRESULT CButton::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_PAINT: Paint(); return 0;
  case WM_ERASEBKGND: return TRUE; // painting covers the whole button
  case WM_LBUTTONDOWN:
  case WM_LBUTTONDBLCLK:
    if (!IsWindowEnabled()) return 0;
    m_tracking = true;
    ::SetCapture(m_hWnd);
    if (::GetFocus() != m_hWnd) ::SetFocus(m_hWnd);
    Press(true);
    return 0;
  case WM_MOUSEMOVE:
    if (m_tracking) {
      CRect client;
      GetClientRect(&client);
      Press(client.PtInRect(CPoint(lParam)) != FALSE);
    }
    return 0;
  case WM_LBUTTONUP:
    if (m_tracking) {
      CRect client;
      GetClientRect(&client);
      const bool inside = client.PtInRect(CPoint(lParam)) != FALSE;
      const HWND self = m_hWnd;
      m_tracking = false; // the capture's end below is no cancel
      if (::GetCapture() == self) ::ReleaseCapture();
      if (IsLiveWindow(self)) Release(inside);
    }
    return 0;
  case WM_CAPTURECHANGED:
    if (m_tracking) Release(false);
    return 0;
  case WM_KEYDOWN:
    if (wParam == static_cast<WPARAM>(VK_SPACE)) Press(true);
    return 0;
  case WM_KEYUP:
    if (wParam == static_cast<WPARAM>(VK_SPACE) && m_pushed) {
      Press(false);
      Clicked();
    }
    return 0;
  case WM_ENABLE:
  case WM_SETFOCUS:
  case WM_KILLFOCUS:
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
    return 0;
  case WM_SETTEXT: {
    const LRESULT r = CWnd::DefWindowProc(message, wParam, lParam);
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
    return r;
  }
  case BM_GETCHECK: return m_check;
  case BM_SETCHECK:
    m_check = static_cast<UINT>(wParam) & (BST_CHECKED | BST_INDETERMINATE);
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
    return 0;
  case BM_GETSTATE: return m_check | (m_pushed ? BST_PUSHED : 0) | (::GetFocus() == m_hWnd ? BST_FOCUS : 0);
  case BM_SETSTATE: Press(wParam != 0); return 0;
  case BM_SETSTYLE:
    ModifyStyle(0xFFFF, static_cast<DWORD>(wParam) & 0xFFFF);
    if (lParam) ::InvalidateRect(m_hWnd, nullptr, TRUE);
    return 0;
  case BM_CLICK: Clicked(); return 0;
  default: return CWnd::DefWindowProc(message, wParam, lParam);
  }
}

void CButton::Paint() {
  PAINTSTRUCT ps;
  HDC hdc = ::BeginPaint(m_hWnd, &ps);
  if (!hdc) return;
  UINT state = 0;
  if (m_pushed) state |= ODS_SELECTED;
  if (!IsWindowEnabled()) state |= ODS_DISABLED;
  if (::GetFocus() == m_hWnd) state |= ODS_FOCUS;
  if (m_check == BST_CHECKED) state |= ODS_CHECKED;
  const HWND self = m_hWnd;
  if ((GetStyle() & BS_TYPEMASK) == BS_OWNERDRAW) {
    SendDrawItem(*this, ODT_BUTTON, state, hdc);
  } else {
    CRect client;
    GetClientRect(&client);
    DrawNative(*CDC::FromHandle(hdc), client);
  }
  ::EndPaint(self, &ps);
}

void CButton::DrawNative(CDC& dc, const CRect& client) {
  const DWORD type = GetStyle() & BS_TYPEMASK;
  const bool enabled = IsWindowEnabled() != FALSE;
  const int saved = dc.SaveDC();
  ::SelectObject(dc, CaptionFont(m_hWnd));
  dc.SetBkMode(TRANSPARENT);
  dc.SetTextColor(enabled ? kText : kDisabledText);
  dc.FillSolidRect(client, kFace);
  CRect text = client;
  const bool check = type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
                     type == BS_AUTORADIOBUTTON;
  if (check) {
    // A 13-pixel box at the left, marked when checked; the caption beside it.
    const CRect box(client.left, client.top + (client.Height() - 13) / 2, client.left + 13,
                    client.top + (client.Height() - 13) / 2 + 13);
    dc.FillSolidRect(box, m_pushed ? kPressedFace : RGB(255, 255, 255));
    dc.Draw3dRect(box, kEdge, kEdge);
    if (m_check == BST_CHECKED) {
      CRect mark = box;
      mark.DeflateRect(3, 3);
      dc.FillSolidRect(mark, enabled ? kText : kDisabledText);
    }
    text.left = box.right + 4;
    dc.DrawText(GetWindowText(), text, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
  } else {
    dc.FillSolidRect(client, m_pushed ? kPressedFace : kFace);
    dc.Draw3dRect(client, kEdge, kEdge);
    if (m_pushed) text.OffsetRect(1, 1);
    dc.DrawText(GetWindowText(), text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
  dc.RestoreDC(saved);
}

// ---- CStatic ------------------------------------------------------------------------

BOOL CStatic::Create(LPCWSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id) {
  return CWnd::Create(u"Static", text, style | WS_CHILD, rect, parent, id);
}

void CStatic::DrawItem(LPDRAWITEMSTRUCT) {}

BOOL CStatic::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (message != WM_DRAWITEM) return CWnd::OnChildNotify(message, wParam, lParam, result);
  DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
  if (result) *result = TRUE;
  return TRUE;
}

LRESULT CStatic::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_PAINT: Paint(); return 0;
  case WM_ERASEBKGND: return TRUE;
  case WM_LBUTTONUP:
    if (GetStyle() & SS_NOTIFY) NotifyParent(*this, STN_CLICKED);
    return 0;
  case WM_ENABLE: ::InvalidateRect(m_hWnd, nullptr, TRUE); return 0;
  case WM_SETTEXT: {
    const LRESULT r = CWnd::DefWindowProc(message, wParam, lParam);
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
    return r;
  }
  case STM_SETICON: {
    const HICON old = m_icon;
    m_icon = reinterpret_cast<HICON>(wParam);
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
    return reinterpret_cast<LRESULT>(old);
  }
  case STM_GETICON: return reinterpret_cast<LRESULT>(m_icon);
  default: return CWnd::DefWindowProc(message, wParam, lParam);
  }
}

void CStatic::Paint() {
  PAINTSTRUCT ps;
  HDC hdc = ::BeginPaint(m_hWnd, &ps);
  if (!hdc) return;
  const HWND self = m_hWnd;
  const DWORD type = GetStyle() & SS_TYPEMASK;
  if (type == SS_OWNERDRAW) {
    SendDrawItem(*this, ODT_STATIC, IsWindowEnabled() ? 0 : ODS_DISABLED, hdc);
  } else {
    CDC& dc = *CDC::FromHandle(hdc);
    CRect client;
    GetClientRect(&client);
    // The dialog face; a dialog that wants another background gives its own statics.
    dc.FillSolidRect(client, kFace);
    if (type == SS_ICON) {
      if (m_icon) ::DrawIconEx(dc, 0, 0, m_icon, 0, 0, 0, nullptr, DI_NORMAL);
    } else {
      const int saved = dc.SaveDC();
      ::SelectObject(dc, CaptionFont(m_hWnd));
      dc.SetBkMode(TRANSPARENT);
      dc.SetTextColor(IsWindowEnabled() ? kText : kDisabledText);
      UINT format = DT_WORDBREAK | (type == SS_CENTER ? DT_CENTER : type == SS_RIGHT ? DT_RIGHT : DT_LEFT);
      if (GetStyle() & SS_NOPREFIX) format |= DT_NOPREFIX;
      if (GetStyle() & SS_CENTERIMAGE) format = (format & ~DT_WORDBREAK) | DT_SINGLELINE | DT_VCENTER;
      dc.DrawText(GetWindowText(), client, format);
      dc.RestoreDC(saved);
    }
  }
  ::EndPaint(self, &ps);
}
