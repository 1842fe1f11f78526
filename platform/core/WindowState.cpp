// Frames' window state: minimised, maximised and normal top-level windows
// and their placement, the default handling of position changes, system
// commands and colour requests, resizes and state changes the window system
// reports, the update lock and the system colours.

#include "platform/core/Controls.h"
#include "platform/core/Gdi.h"

#include <algorithm>
#include <array>
#include <map>
#include <mutex>

namespace platform::core {
namespace {

HWND g_lockedWindow = nullptr;

bool Minimising(int cmd) { return cmd == SW_MINIMIZE || cmd == SW_SHOWMINIMIZED || cmd == SW_SHOWMINNOACTIVE; }

void SendSize(HWND hwnd, UINT kind) {
  RECT client;
  if (GetClientRect(hwnd, &client)) CallWindowProc(hwnd, WM_SIZE, kind, MAKELPARAM(client.right, client.bottom));
}

UINT SizeKind(const WindowRecord& r) {
  if (r.showState == SW_SHOWMINIMIZED) return SIZE_MINIMIZED;
  if (r.showState == SW_SHOWMAXIMIZED) return SIZE_MAXIMIZED;
  return SIZE_RESTORED;
}

void TellBackEnd(HWND hwnd, int state) {
  if (IUiServices* services = UiServices()) services->SetShowState(hwnd, state);
}

// The edge a resize moved, as WM_SIZING names it.
UINT DraggedEdge(const RECT& before, const RECT& after) {
  const bool left = after.left != before.left;
  const bool top = after.top != before.top;
  const bool right = after.right != before.right;
  const bool bottom = after.bottom != before.bottom;
  if (top && left) return WMSZ_TOPLEFT;
  if (top && right) return WMSZ_TOPRIGHT;
  if (bottom && left) return WMSZ_BOTTOMLEFT;
  if (left) return WMSZ_LEFT;
  if (top) return WMSZ_TOP;
  if (bottom && right) return WMSZ_BOTTOMRIGHT;
  if (right) return WMSZ_RIGHT;
  return WMSZ_BOTTOM;
}

struct SysColour {
  int index;
  COLORREF colour;
};
constexpr std::array<SysColour, 10> kSysColours{{{COLOR_WINDOW, RGB(255, 255, 255)},
                                                 {COLOR_WINDOWTEXT, RGB(0, 0, 0)},
                                                 {COLOR_HIGHLIGHT, RGB(0, 120, 215)},
                                                 {COLOR_HIGHLIGHTTEXT, RGB(255, 255, 255)},
                                                 {COLOR_BTNFACE, RGB(240, 240, 240)},
                                                 {COLOR_BTNSHADOW, RGB(160, 160, 160)},
                                                 {COLOR_GRAYTEXT, RGB(109, 109, 109)},
                                                 {COLOR_BTNTEXT, RGB(0, 0, 0)},
                                                 {COLOR_BTNHIGHLIGHT, RGB(255, 255, 255)},
                                                 {0, RGB(200, 200, 200)}}};

// The system's colours of a control's colour request.
HBRUSH DefaultControlColours(UINT message, HDC dc) {
  const bool window = message == WM_CTLCOLOREDIT || message == WM_CTLCOLORLISTBOX;
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  SetBkColor(dc, GetSysColor(window ? COLOR_WINDOW : COLOR_BTNFACE));
  return GetSysColorBrush(window ? COLOR_WINDOW : COLOR_BTNFACE);
}

} // namespace

bool UpdateLocked(HWND hwnd) {
  if (!g_lockedWindow) return false;
  if (!IsLiveWindow(g_lockedWindow)) {
    g_lockedWindow = nullptr;
    return false;
  }
  return hwnd == g_lockedWindow || IsChild(g_lockedWindow, hwnd);
}

void ApplyShowState(HWND hwnd, int cmd) {
  WindowRecord* r = Record(hwnd);
  if (!r || r->parent) return;
  int next = r->showState;
  if (Minimising(cmd)) next = SW_SHOWMINIMIZED;
  else if (cmd == SW_MAXIMIZE) next = SW_SHOWMAXIMIZED;
  else if (cmd == SW_RESTORE || cmd == SW_SHOWNORMAL) next = SW_SHOWNORMAL;
  if (next == r->showState) return;
  const int before = r->showState;
  r->showState = next;
  TellBackEnd(hwnd, next);
  if (next == SW_SHOWMAXIMIZED) {
    if (before == SW_SHOWNORMAL) r->normalRect = r->rect;
    SetWindowPos(hwnd, nullptr, 0, 0, GetSystemMetrics(SM_CXMAXIMIZED), GetSystemMetrics(SM_CYMAXIMIZED),
                 SWP_NOZORDER | SWP_NOACTIVATE);
  } else if (next == SW_SHOWNORMAL && before == SW_SHOWMAXIMIZED) {
    const RECT n = r->normalRect;
    SetWindowPos(hwnd, nullptr, n.left, n.top, n.right - n.left, n.bottom - n.top, SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    SendSize(hwnd, SizeKind(*r));
  }
}

LRESULT DefaultFrameMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowRecord* r = Record(hwnd);
  if (!r) return 0;
  switch (message) {
  case WM_WINDOWPOSCHANGED: {
    const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
    if (!pos) return 0;
    if (!(pos->flags & SWP_NOMOVE)) CallWindowProc(hwnd, WM_MOVE, 0, MAKELPARAM(pos->x, pos->y));
    if (!(pos->flags & SWP_NOSIZE) && (r = Record(hwnd)) != nullptr) SendSize(hwnd, SizeKind(*r));
    return 0;
  }
  case WM_SYSCOMMAND:
    switch (wParam & 0xFFF0) {
    case SC_MINIMIZE: ShowWindow(hwnd, SW_MINIMIZE); break;
    case SC_MAXIMIZE: ShowWindow(hwnd, SW_MAXIMIZE); break;
    case SC_RESTORE: ShowWindow(hwnd, SW_RESTORE); break;
    case SC_CLOSE: CallWindowProc(hwnd, WM_CLOSE, 0, 0); break;
    default: break;
    }
    return 0;
  case WM_CTLCOLORMSGBOX:
  case WM_CTLCOLOREDIT:
  case WM_CTLCOLORLISTBOX:
  case WM_CTLCOLORBTN:
  case WM_CTLCOLORDLG:
  case WM_CTLCOLORSCROLLBAR:
  case WM_CTLCOLORSTATIC:
    return reinterpret_cast<LRESULT>(DefaultControlColours(message, reinterpret_cast<HDC>(wParam)));
  default: return 0;
  }
}

void UserResized(HWND hwnd, RECT proposed) {
  WindowRecord* r = Record(hwnd);
  if (!r || r->parent) return;
  const RECT before = r->rect;
  if (proposed == before) return;
  const bool sized = proposed.right - proposed.left != before.right - before.left ||
                     proposed.bottom - proposed.top != before.bottom - before.top;
  if (sized) CallWindowProc(hwnd, WM_SIZING, DraggedEdge(before, proposed), reinterpret_cast<LPARAM>(&proposed));
  SetWindowPos(hwnd, nullptr, proposed.left, proposed.top, proposed.right - proposed.left,
               proposed.bottom - proposed.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

bool UserFrameChanged(HWND hwnd, RECT frame) {
  WindowRecord* r = Record(hwnd);
  if (!r || r->parent || r->frame == frame) return false;
  const RECT before = ClientRectOf(*r);
  r->frame = frame;
  SyncGeometry(*r);
  const RECT after = ClientRectOf(*r);
  if (after.right != before.right || after.bottom != before.bottom) {
    InvalidateRect(hwnd, nullptr, TRUE);
    const RECT& w = r->rect;
    WINDOWPOS done{hwnd, nullptr, w.left, w.top, w.right - w.left, w.bottom - w.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE};
    CallWindowProc(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&done));
  }
  return true;
}

void UserActivated(HWND hwnd) {
  if (IsWindowEnabled(hwnd)) Activate(hwnd, false);
}

void UserShowState(HWND hwnd, int state) {
  WindowRecord* r = Record(hwnd);
  if (!r || r->showState == state) return;
  const UINT command = state == SW_SHOWMINIMIZED ? SC_MINIMIZE : state == SW_SHOWMAXIMIZED ? SC_MAXIMIZE : SC_RESTORE;
  CallWindowProc(hwnd, WM_SYSCOMMAND, command, 0);
  // A handler that kept the default from running keeps the window as it was.
  if ((r = Record(hwnd)) != nullptr && r->showState != state) TellBackEnd(hwnd, r->showState);
}

} // namespace platform::core

using namespace platform::core;

BOOL IsIconic(HWND hwnd) {
  WindowRecord* r = IsGuiThread() ? Record(hwnd) : nullptr;
  return r && r->showState == SW_SHOWMINIMIZED ? TRUE : FALSE;
}

BOOL IsZoomed(HWND hwnd) {
  WindowRecord* r = IsGuiThread() ? Record(hwnd) : nullptr;
  return r && r->showState == SW_SHOWMAXIMIZED ? TRUE : FALSE;
}

BOOL GetWindowPlacement(HWND hwnd, WINDOWPLACEMENT* placement) {
  WindowRecord* r = IsGuiThread() ? Record(hwnd) : nullptr;
  if (!r || !placement) return FALSE;
  placement->flags = 0;
  placement->showCmd = static_cast<UINT>(r->showState);
  placement->ptMinPosition = {-1, -1};
  placement->ptMaxPosition = {-1, -1};
  placement->rcNormalPosition = r->showState == SW_SHOWNORMAL ? r->rect : r->normalRect;
  return TRUE;
}

BOOL SetWindowPlacement(HWND hwnd, const WINDOWPLACEMENT* placement) {
  WindowRecord* r = IsGuiThread() ? Record(hwnd) : nullptr;
  if (!r || !placement) return FALSE;
  const RECT n = placement->rcNormalPosition;
  if (r->showState == SW_SHOWNORMAL) {
    SetWindowPos(hwnd, nullptr, n.left, n.top, n.right - n.left, n.bottom - n.top, SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    r->normalRect = n;
  }
  ShowWindow(hwnd, static_cast<int>(placement->showCmd));
  return TRUE;
}

HWND GetWindow(HWND hwnd, UINT relation) {
  WindowRecord* r = IsGuiThread() ? Record(hwnd) : nullptr;
  if (!r) return nullptr;
  return relation == GW_OWNER ? r->owner : nullptr;
}

BOOL LockWindowUpdate(HWND hwnd) {
  if (!WindowCallAllowed("LockWindowUpdate")) return FALSE;
  if (!hwnd) {
    const HWND locked = std::exchange(g_lockedWindow, nullptr);
    if (IsLiveWindow(locked)) RedrawWindow(locked, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    return TRUE;
  }
  if (!Record(hwnd) || (g_lockedWindow && IsLiveWindow(g_lockedWindow))) return FALSE;
  g_lockedWindow = hwnd;
  return TRUE;
}

DWORD GetSysColor(int index) {
  for (const SysColour& c : kSysColours) {
    if (c.index == index) return c.colour;
  }
  return kSysColours.back().colour;
}

HBRUSH GetSysColorBrush(int index) {
  // One brush per colour for the process's life; DeleteObject leaves stock objects alone.
  static std::mutex mutex;
  static std::map<int, HBRUSH> brushes;
  std::lock_guard lock(mutex);
  HBRUSH& brush = brushes[index];
  if (!brush) {
    brush = CreateSolidBrush(GetSysColor(index));
    if (GdiObject* object = Object(brush)) object->stock = true;
  }
  return brush;
}
