// Command targets and windows of the framework: message maps, reflection,
// the pre-translate chain and the CWnd calls over the window functions.

#include "platform/afx/AfxDC.h"
#include "platform/win/WinOwnerDraw.h"
#include "platform/core/Core.h"

using namespace platform::core;

namespace {

// The message each thread is handling, for default handlers.
// (Initial-exec: the library is linked at start-up, never loaded later.)
thread_local MSG t_current __attribute__((tls_model("initial-exec")));

// The control a WM_DRAWITEM or WM_MEASUREITEM is about (none for menus).
CWnd* OwnerDrawnControl(HWND parent, UINT message, LPARAM lParam) {
  if (!lParam) return nullptr;
  if (message == WM_DRAWITEM) {
    const auto* dis = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
    return dis->CtlType == ODT_MENU ? nullptr : CWnd::FromHandle(dis->hwndItem);
  }
  const auto* mis = reinterpret_cast<const MEASUREITEMSTRUCT*>(lParam);
  return mis->CtlType == ODT_MENU ? nullptr : CWnd::FromHandle(::GetDlgItem(parent, static_cast<int>(mis->CtlID)));
}

bool EntryMatches(const AFX_MSGMAP_ENTRY& e, UINT message, UINT code, UINT id) {
  if (e.message != message) return false;
  if (message == WM_COMMAND || message == WM_NOTIFY) return e.code == code && id >= e.idFirst && id <= e.idLast;
  if (message == WM_REFLECT_BASE + WM_COMMAND || message == WM_REFLECT_BASE + WM_NOTIFY) return e.code == code;
  return true;
}

} // namespace

// ---- CCmdTarget -------------------------------------------------------------

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap() {
  static const AFX_MSGMAP_ENTRY entries[] = {{0, 0, 0, 0, nullptr}};
  static const AFX_MSGMAP map = {nullptr, &entries[0]};
  return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const { return GetThisMessageMap(); }

bool CCmdTarget::DispatchThroughMap(UINT message, UINT code, UINT id, WPARAM wParam, LPARAM lParam,
                                    LRESULT* result) {
  for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->baseMap ? map->baseMap() : nullptr) {
    for (const AFX_MSGMAP_ENTRY* e = map->entries; e->call; ++e) {
      if (EntryMatches(*e, message, code, id)) {
        LRESULT r = 0;
        // The handler may destroy this object; nothing of it is touched after.
        const bool handled = e->call(this, wParam, lParam, &r);
        if (result) *result = r;
        return handled;
      }
    }
  }
  return false;
}

bool CCmdTarget::HasMapEntry(UINT message, UINT code, UINT id) const {
  for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->baseMap ? map->baseMap() : nullptr) {
    for (const AFX_MSGMAP_ENTRY* e = map->entries; e->call; ++e) {
      if (EntryMatches(*e, message, code, id)) return true;
    }
  }
  return false;
}

BOOL CCmdTarget::OnCmdMsg(UINT id, UINT code, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (code == CN_UPDATE_COMMAND_UI) {
    return DispatchThroughMap(WM_COMMAND, CN_UPDATE_COMMAND_UI, id, wParam, lParam, result) ? TRUE : FALSE;
  }
  if (code == CN_COMMAND_QUERY) return HasMapEntry(WM_COMMAND, CN_COMMAND, id) ? TRUE : FALSE;
  const UINT message = code == WM_NOTIFY ? WM_NOTIFY : WM_COMMAND;
  const UINT notifyCode = message == WM_NOTIFY ? reinterpret_cast<NMHDR*>(lParam)->code : code;
  return DispatchThroughMap(message, notifyCode, id, wParam, lParam, result) ? TRUE : FALSE;
}

// ---- CWnd: the map of the base class ------------------------------------------

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
  ON_WM_NCDESTROY()
END_MESSAGE_MAP()

CWnd::~CWnd() {
  if (m_hWnd && IsLiveWindow(m_hWnd)) {
    HWND hwnd = m_hWnd;
    ::DestroyWindow(hwnd);
  }
}

CWnd* CWnd::FromHandle(HWND hwnd) {
  WindowRecord* record = IsGuiThread() ? Record(hwnd) : nullptr;
  return record ? record->object : nullptr;
}

BOOL CWnd::Create(LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id,
                  void* context) {
  return CreateEx(0, className, windowName, style | WS_CHILD, rect, parent, id, context);
}

BOOL CWnd::CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect,
                    CWnd* parent, UINT id, LPVOID param) {
  if (m_hWnd) return FALSE;
  CREATESTRUCTW cs;
  cs.dwExStyle = exStyle;
  cs.lpszClass = className;
  cs.lpszName = windowName;
  cs.style = static_cast<LONG>(style);
  cs.x = rect.left;
  cs.y = rect.top;
  cs.cx = rect.right - rect.left;
  cs.cy = rect.bottom - rect.top;
  cs.hwndParent = parent ? parent->m_hWnd : nullptr;
  cs.hMenu = reinterpret_cast<HMENU>(static_cast<std::uintptr_t>(id));
  cs.lpCreateParams = param;
  if (!PreCreateWindow(cs)) return FALSE;
  if ((cs.style & WS_CHILD) && !cs.hwndParent) return FALSE;
  HWND hwnd = CreateWindowRecord(this, cs);
  if (!hwnd) return FALSE;
  m_hWnd = hwnd;
  PreSubclassWindow();
  if (CallWindowProc(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
    ::DestroyWindow(hwnd);
    return FALSE;
  }
  if (!IsLiveWindow(hwnd)) return FALSE;
  RECT client;
  ::GetClientRect(hwnd, &client);
  CallWindowProc(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
  CallWindowProc(hwnd, WM_MOVE, 0, MAKELPARAM(cs.x, cs.y));
  if ((cs.style & WS_VISIBLE) && IsLiveWindow(hwnd)) ::ShowWindow(hwnd, SW_SHOW);
  return IsLiveWindow(hwnd) ? TRUE : FALSE;
}

BOOL CWnd::DestroyWindow() { return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE; }
BOOL CWnd::PreCreateWindow(CREATESTRUCT&) { return TRUE; }
void CWnd::PreSubclassWindow() {}
void CWnd::PostNcDestroy() {}

void CWnd::OnNcDestroy() {
  m_hWnd = nullptr;
  PostNcDestroy();
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  const MSG saved = t_current;
  t_current = MSG{m_hWnd, message, wParam, lParam, 0, {}};
  LRESULT result = 0;
  if (!OnWndMsg(message, wParam, lParam, &result)) result = DefWindowProc(message, wParam, lParam);
  t_current = saved;
  return result;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (message == WM_COMMAND) {
    if (OnCommand(wParam, lParam)) {
      *result = 0;
      return TRUE;
    }
    return FALSE;
  }
  if (message == WM_NOTIFY) return OnNotify(wParam, lParam, result);
  // Owner drawing reaches the control itself first (reflection).
  if (message == WM_DRAWITEM || message == WM_MEASUREITEM) {
    if (CWnd* child = OwnerDrawnControl(m_hWnd, message, lParam); child && child != this) {
      if (child->OnChildNotify(message, wParam, lParam, result)) return TRUE;
      if (!IsLiveWindow(m_hWnd)) return TRUE;
    }
  }
  // Colour requests reach the maps as WM_CTLCOLOR with their kind; without a
  // handler of the window's own the control may answer for itself.
  if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) {
    AFX_CTLCOLOR request{reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), message - WM_CTLCOLORMSGBOX};
    const LPARAM packed = reinterpret_cast<LPARAM>(&request);
    if (DispatchThroughMap(WM_CTLCOLOR, 0, 0, wParam, packed, result)) return TRUE;
    CWnd* child = FromHandle(request.control);
    return child && child != this && child->OnChildNotify(WM_CTLCOLOR, wParam, packed, result) ? TRUE : FALSE;
  }
  // A control's scroll requests reach the control itself first.
  if ((message == WM_HSCROLL || message == WM_VSCROLL) && lParam) {
    CWnd* child = FromHandle(reinterpret_cast<HWND>(lParam));
    if (child && child != this && child->OnChildNotify(message, wParam, lParam, result)) return TRUE;
  }
  return DispatchThroughMap(message, 0, 0, wParam, lParam, result) ? TRUE : FALSE;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

const MSG* CWnd::GetCurrentMessage() { return &t_current; }

LRESULT CWnd::Default() { return DefWindowProc(t_current.message, t_current.wParam, t_current.lParam); }

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

BOOL CWnd::WalkPreTranslateTree(HWND top, MSG* msg) {
  if (!IsGuiThread()) return FALSE;
  for (HWND hwnd = msg->hwnd; hwnd;) {
    WindowRecord* record = Record(hwnd);
    if (!record) break;
    const HWND parent = record->parent; // read first: the handler may destroy the window
    if (record->object && record->object->PreTranslateMessage(msg)) return TRUE;
    if (hwnd == top) break;
    hwnd = parent;
  }
  return FALSE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
  const HWND control = reinterpret_cast<HWND>(lParam);
  if (control) {
    CWnd* child = FromHandle(control);
    LRESULT r = 0;
    if (child && child->OnChildNotify(WM_COMMAND, wParam, lParam, &r)) return TRUE;
    if (!IsLiveWindow(m_hWnd)) return TRUE;
  }
  // Menus and accelerators (no control; an accelerator's high word is 1)
  // reach the command entries alike.
  return OnCmdMsg(LOWORD(wParam), control ? HIWORD(wParam) : CN_COMMAND, wParam, lParam, nullptr);
}

BOOL CWnd::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
  auto* header = reinterpret_cast<NMHDR*>(lParam);
  if (!header) return FALSE;
  if (CWnd* child = FromHandle(header->hwndFrom)) {
    if (child->OnChildNotify(WM_NOTIFY, wParam, lParam, result)) return TRUE;
    if (!IsLiveWindow(m_hWnd)) return TRUE;
  }
  return DispatchThroughMap(WM_NOTIFY, header->code, static_cast<UINT>(header->idFrom), wParam, lParam, result)
             ? TRUE
             : FALSE;
}

BOOL CWnd::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  return ReflectChildNotify(message, wParam, lParam, result);
}

BOOL CWnd::ReflectChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  UINT code = 0;
  if (message == WM_COMMAND) code = HIWORD(wParam);
  if (message == WM_NOTIFY) code = reinterpret_cast<NMHDR*>(lParam)->code;
  return DispatchThroughMap(WM_REFLECT_BASE + message, code, 0, wParam, lParam, result) ? TRUE : FALSE;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
  return ::SendMessageW(m_hWnd, message, wParam, lParam);
}
BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
  return ::PostMessageW(m_hWnd, message, wParam, lParam);
}

CWnd* CWnd::GetParent() const { return FromHandle(::GetParent(m_hWnd)); }
CWnd* CWnd::GetDlgItem(int id) const { return FromHandle(::GetDlgItem(m_hWnd, id)); }
int CWnd::GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
void CWnd::SetDlgCtrlID(int id) {
  if (WindowRecord* r = IsGuiThread() ? Record(m_hWnd) : nullptr) r->id = id;
}
DWORD CWnd::GetStyle() const { return static_cast<DWORD>(::GetWindowStyle(m_hWnd)); }
DWORD CWnd::GetExStyle() const { return static_cast<DWORD>(::GetWindowExStyle(m_hWnd)); }
BOOL CWnd::ModifyStyle(DWORD remove, DWORD add, UINT) {
  WindowRecord* r = IsGuiThread() ? Record(m_hWnd) : nullptr;
  if (!r) return FALSE;
  const DWORD before = r->style;
  r->style = (r->style & ~remove) | add;
  r->style &= ~(WS_VISIBLE | WS_DISABLED); // kept in their own state
  return before != r->style;
}
BOOL CWnd::IsChild(const CWnd* wnd) const { return wnd ? ::IsChild(m_hWnd, wnd->m_hWnd) : FALSE; }
BOOL CWnd::ShowWindow(int cmdShow) { return ::ShowWindow(m_hWnd, cmdShow); }
BOOL CWnd::IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
BOOL CWnd::EnableWindow(BOOL enable) { return ::EnableWindow(m_hWnd, enable); }
BOOL CWnd::IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
void CWnd::SetWindowText(LPCWSTR text) { ::SetWindowTextW(m_hWnd, text); }
std::u16string CWnd::GetWindowText() const {
  std::u16string text(static_cast<std::size_t>(::GetWindowTextLengthW(m_hWnd)) + 1, u'\0');
  text.resize(static_cast<std::size_t>(::GetWindowTextW(m_hWnd, text.data(), static_cast<int>(text.size()))));
  return text;
}
void CWnd::SetFont(HFONT font, BOOL redraw) { SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw); }
HFONT CWnd::GetFont() const { return reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)); }

void CWnd::MoveWindow(int x, int y, int width, int height, BOOL repaint) {
  ::MoveWindow(m_hWnd, x, y, width, height, repaint);
}
void CWnd::MoveWindow(LPCRECT rect, BOOL repaint) {
  MoveWindow(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, repaint);
}
BOOL CWnd::SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags) {
  // The special insert-after handles (HWND_TOPMOST...) arrive as fake objects.
  const HWND after = reinterpret_cast<HWND>(const_cast<CWnd*>(insertAfter));
  const std::intptr_t special = reinterpret_cast<std::intptr_t>(after);
  const bool isSpecial = special >= -2 && special <= 1;
  return ::SetWindowPos(m_hWnd, isSpecial ? after : insertAfter->m_hWnd, x, y, cx, cy, flags);
}
void CWnd::GetWindowRect(LPRECT rect) const { ::GetWindowRect(m_hWnd, rect); }
void CWnd::GetClientRect(LPRECT rect) const { ::GetClientRect(m_hWnd, rect); }
void CWnd::ScreenToClient(LPPOINT point) const { ::ScreenToClient(m_hWnd, point); }
void CWnd::ScreenToClient(LPRECT rect) const {
  POINT o{0, 0};
  ::ScreenToClient(m_hWnd, &o);
  ::OffsetRect(rect, o.x, o.y);
}
void CWnd::ClientToScreen(LPPOINT point) const { ::ClientToScreen(m_hWnd, point); }
void CWnd::ClientToScreen(LPRECT rect) const {
  POINT o{0, 0};
  ::ClientToScreen(m_hWnd, &o);
  ::OffsetRect(rect, o.x, o.y);
}

void CWnd::Invalidate(BOOL erase) { ::InvalidateRect(m_hWnd, nullptr, erase); }
void CWnd::InvalidateRect(LPCRECT rect, BOOL erase) { ::InvalidateRect(m_hWnd, rect, erase); }
void CWnd::ValidateRect(LPCRECT rect) { ::ValidateRect(m_hWnd, rect); }
void CWnd::UpdateWindow() { ::UpdateWindow(m_hWnd); }
BOOL CWnd::RedrawWindow(LPCRECT rect, void* region, UINT flags) { return ::RedrawWindow(m_hWnd, rect, region, flags); }
CDC* CWnd::GetDC() { return CDC::FromHandle(::GetDC(m_hWnd)); }
int CWnd::ReleaseDC(CDC* dc) { return dc ? ::ReleaseDC(m_hWnd, dc->m_hDC) : 0; }
CDC* CWnd::BeginPaint(LPPAINTSTRUCT paint) { return CDC::FromHandle(::BeginPaint(m_hWnd, paint)); }
void CWnd::EndPaint(const PAINTSTRUCT* paint) { ::EndPaint(m_hWnd, paint); }

UINT_PTR CWnd::SetTimer(UINT_PTR id, UINT elapseMs, TIMERPROC proc) { return ::SetTimer(m_hWnd, id, elapseMs, proc); }
BOOL CWnd::KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
CWnd* CWnd::SetCapture() { return FromHandle(::SetCapture(m_hWnd)); }
CWnd* CWnd::GetCapture() { return FromHandle(::GetCapture()); }
CWnd* CWnd::SetFocus() { return FromHandle(::SetFocus(m_hWnd)); }
CWnd* CWnd::GetFocus() { return FromHandle(::GetFocus()); }
CWnd* CWnd::GetActiveWindow() { return FromHandle(::GetActiveWindow()); }
BOOL CWnd::GetScrollInfo(int bar, LPSCROLLINFO info, UINT mask) const {
  if (!info) return FALSE;
  info->fMask = mask;
  return ::GetScrollInfo(m_hWnd, bar, info);
}
BOOL CWnd::SetScrollInfo(int bar, LPSCROLLINFO info, BOOL redraw) {
  if (!info || !IsLiveWindow(m_hWnd)) return FALSE;
  ::SetScrollInfo(m_hWnd, bar, info, redraw);
  return TRUE;
}
int CWnd::GetScrollPos(int bar) const { return ::GetScrollPos(m_hWnd, bar); }
void CWnd::ShowScrollBar(UINT bar, BOOL show) { ::ShowScrollBar(m_hWnd, static_cast<int>(bar), show); }

// The default handlers: the default window procedure with the message being handled.
int CWnd::OnCreate(LPCREATESTRUCT) { return static_cast<int>(Default()); }
void CWnd::OnDestroy() { Default(); }
void CWnd::OnClose() { Default(); }
void CWnd::OnSize(UINT, int, int) { Default(); }
void CWnd::OnMove(int, int) { Default(); }
void CWnd::OnPaint() { Default(); }
BOOL CWnd::OnEraseBkgnd(CDC*) { return static_cast<BOOL>(Default()); }
void CWnd::OnTimer(UINT_PTR) { Default(); }
void CWnd::OnMouseMove(UINT, CPoint) { Default(); }
void CWnd::OnLButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnLButtonUp(UINT, CPoint) { Default(); }
void CWnd::OnLButtonDblClk(UINT, CPoint) { Default(); }
void CWnd::OnRButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnRButtonUp(UINT, CPoint) { Default(); }
void CWnd::OnRButtonDblClk(UINT, CPoint) { Default(); }
BOOL CWnd::OnMouseWheel(UINT, short, CPoint) { return static_cast<BOOL>(Default()); }
void CWnd::OnKeyDown(UINT, UINT, UINT) { Default(); }
void CWnd::OnKeyUp(UINT, UINT, UINT) { Default(); }
void CWnd::OnVScroll(UINT, UINT, CScrollBar*) { Default(); }
void CWnd::OnHScroll(UINT, UINT, CScrollBar*) { Default(); }
BOOL CWnd::OnSetCursor(CWnd*, UINT, UINT) { return static_cast<BOOL>(Default()); }
void CWnd::OnSetFocus(CWnd*) { Default(); }
void CWnd::OnKillFocus(CWnd*) { Default(); }
void CWnd::OnShowWindow(BOOL, UINT) { Default(); }
void CWnd::OnActivate(UINT, CWnd*, BOOL) { Default(); }
void CWnd::OnCaptureChanged(CWnd*) { Default(); }
BOOL CWnd::OnCopyData(CWnd*, COPYDATASTRUCT*) { return static_cast<BOOL>(Default()); }
HBRUSH CWnd::OnCtlColor(CDC*, CWnd* wnd, UINT) {
  const MSG* m = GetCurrentMessage();
  if (wnd && wnd != this) {
    AFX_CTLCOLOR request{reinterpret_cast<HDC>(m->wParam), wnd->m_hWnd, m->message - WM_CTLCOLORMSGBOX};
    LRESULT r = 0;
    if (wnd->OnChildNotify(WM_CTLCOLOR, m->wParam, reinterpret_cast<LPARAM>(&request), &r)) {
      return reinterpret_cast<HBRUSH>(r);
    }
  }
  return reinterpret_cast<HBRUSH>(Default());
}
void CWnd::OnDrawItem(int, LPDRAWITEMSTRUCT) { Default(); }
void CWnd::OnMeasureItem(int, LPMEASUREITEMSTRUCT) { Default(); }
void CWnd::OnInitMenuPopup(CMenu*, UINT, BOOL) { Default(); }
void CWnd::OnSizing(UINT, LPRECT) { Default(); }
void CWnd::OnSysCommand(UINT, LPARAM) { Default(); }
void CWnd::OnWindowPosChanging(WINDOWPOS*) { Default(); }
void CWnd::OnWindowPosChanged(WINDOWPOS*) { Default(); }
void CWnd::OnNcCalcSize(BOOL, NCCALCSIZE_PARAMS*) { Default(); }
void CWnd::OnContextMenu(CWnd*, CPoint) { Default(); }
UINT CWnd::OnGetDlgCode() { return static_cast<UINT>(Default()); }
void CWnd::OnEnable(BOOL) { Default(); }
