// Window records: the tree, geometry, the layer's own enabled, visible,
// active, focus and capture state, update regions and scroll data. The back
// end's host of each window only mirrors this state and presents the window's
// retained surface. Records live on the GUI thread; other threads only ask
// whether a handle is live (under the table's lock) and call the marshalled
// few (InvalidateRect, RedrawWindow, ShowWindow, EnableWindow, SetWindowTextW).

#include "platform/core/Core.h"
#include "platform/core/Handles.h"

#include <algorithm>
#include <mutex>

namespace platform::core {
namespace {

std::mutex g_tableMutex;
// Heap singletons here and below: they outlive every static destructor, so
// windows can be destroyed from exit handlers.
HandleTable<WindowRecord>* const g_table = new HandleTable<WindowRecord>;
HandleTable<WindowRecord>& Table() { return *g_table; }
std::vector<HWND> g_topLevels; // stacking order, top first
HWND g_capture = nullptr;
HWND g_focus = nullptr;
HWND g_active = nullptr;

std::uintptr_t Key(HWND hwnd) { return reinterpret_cast<std::uintptr_t>(hwnd); }

std::vector<HWND>& Siblings(const WindowRecord& record) {
  if (WindowRecord* parent = Record(record.parent)) return parent->children;
  return g_topLevels;
}

bool Contains(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

RECT Intersect(const RECT& a, const RECT& b) {
  RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (r.right <= r.left || r.bottom <= r.top) r = RECT{};
  return r;
}

bool Empty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

void SendSimple(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  CallWindowProc(hwnd, message, wParam, lParam);
}

void RestackHost(HWND hwnd) {
  WindowRecord* record = Record(hwnd);
  if (!record || !record->host) return;
  auto& siblings = Siblings(*record);
  auto it = std::find(siblings.begin(), siblings.end(), hwnd);
  IWindowHost* above = nullptr;
  if (it != siblings.begin() && it != siblings.end()) {
    if (WindowRecord* a = Record(*(it - 1))) above = a->host.get();
  }
  record->host->Restack(above);
}

bool Topmost(HWND hwnd) {
  WindowRecord* r = Record(hwnd);
  return r && (r->exStyle & WS_EX_TOPMOST);
}

// Places hwnd in its sibling list: after `after`, or at the top / bottom.
// Top-level windows keep the topmost ones above the others.
void Reorder(HWND hwnd, HWND insertAfter) {
  WindowRecord* record = Record(hwnd);
  if (!record) return;
  auto& siblings = Siblings(*record);
  siblings.erase(std::remove(siblings.begin(), siblings.end(), hwnd), siblings.end());
  std::size_t at = 0;
  if (insertAfter == HWND_BOTTOM) {
    at = siblings.size();
  } else if (insertAfter == HWND_TOP || insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST) {
    at = 0;
  } else {
    auto it = std::find(siblings.begin(), siblings.end(), insertAfter);
    at = it == siblings.end() ? 0 : static_cast<std::size_t>(it - siblings.begin()) + 1;
  }
  if (!record->parent && !(record->exStyle & WS_EX_TOPMOST)) {
    while (at < siblings.size() && Topmost(siblings[at])) ++at;
  }
  siblings.insert(siblings.begin() + static_cast<std::ptrdiff_t>(std::min(at, siblings.size())), hwnd);
  RestackHost(hwnd);
}

void AddUpdate(WindowRecord& record, const RECT& r, bool erase) {
  if (Empty(r)) return;
  for (const RECT& u : record.update) {
    if (r.left >= u.left && r.top >= u.top && r.right <= u.right && r.bottom <= u.bottom) {
      record.erasePending = record.erasePending || erase;
      return;
    }
  }
  record.update.push_back(r);
  record.erasePending = record.erasePending || erase;
}

RECT Bounds(const std::vector<RECT>& rects) {
  RECT b{};
  for (const RECT& r : rects) {
    if (Empty(b)) {
      b = r;
    } else {
      UnionRect(&b, &b, &r);
    }
  }
  return b;
}

void DestroyTree(HWND hwnd) {
  WindowRecord* record = Record(hwnd);
  if (!record || record->destroying) return;
  record->destroying = true;
  if (g_capture == hwnd) ReleaseCapture();
  if (g_focus == hwnd) g_focus = nullptr;
  if (g_active == hwnd) g_active = nullptr;
  if (record->host) record->host->SetVisible(false);
  SendSimple(hwnd, WM_DESTROY, 0, 0);
  if ((record = Record(hwnd)) == nullptr) return;
  const std::vector<HWND> children = record->children;
  for (HWND child : children) DestroyTree(child);
  KillWindowTimers(hwnd);
  SendSimple(hwnd, WM_NCDESTROY, 0, 0);
  // The object may be gone (deleted in PostNcDestroy); only the record is
  // touched from here on.
  if ((record = Record(hwnd)) == nullptr) return;
  auto& siblings = Siblings(*record);
  siblings.erase(std::remove(siblings.begin(), siblings.end(), hwnd), siblings.end());
  std::unique_ptr<WindowRecord> gone;
  {
    std::lock_guard lock(g_tableMutex);
    gone = Table().Remove(Key(hwnd));
  }
  gone.reset(); // the host goes with it
}

} // namespace

WindowRecord* Record(HWND hwnd) {
  if (!hwnd) return nullptr;
  // Only the GUI thread changes the table (under the lock): it reads without.
  if (IsGuiThread()) return Table().Get(Key(hwnd));
  std::lock_guard lock(g_tableMutex);
  return Table().Get(Key(hwnd));
}

bool IsLiveWindow(HWND hwnd) { return Record(hwnd) != nullptr; }

bool WindowCallAllowed(const char* function) {
  if (IsGuiThread()) return true;
  Diagnostic("%s refused: windows belong to the GUI thread", function);
  return false;
}

int BorderWidth(const WindowRecord& record) {
  int border = 0;
  if (record.style & WS_BORDER) border += 1;
  if (record.exStyle & WS_EX_CLIENTEDGE) border += 2;
  return border;
}

RECT NonClientInsets(const WindowRecord& record) {
  const int b = BorderWidth(record);
  const RECT& f = record.frame;
  return {f.left + b, f.top + b + record.menuHeight, f.right + b, f.bottom + b};
}

void SyncGeometry(WindowRecord& record) {
  if (record.host) record.host->SetGeometry(record.rect, record.frame, BorderWidth(record));
}

RECT ClientRectOf(const WindowRecord& record) {
  const RECT nc = NonClientInsets(record);
  RECT r{0, 0, record.rect.right - record.rect.left - nc.left - nc.right,
         record.rect.bottom - record.rect.top - nc.top - nc.bottom};
  if (r.right < 0) r.right = 0;
  if (r.bottom < 0) r.bottom = 0;
  return r;
}

POINT ClientOrigin(HWND hwnd) {
  WindowRecord* record = Record(hwnd);
  if (!record) return {};
  const RECT nc = NonClientInsets(*record);
  POINT p{record->rect.left + nc.left, record->rect.top + nc.top};
  if (record->parent) {
    const POINT o = ClientOrigin(record->parent);
    p.x += o.x;
    p.y += o.y;
  }
  return p;
}

HWND CreateWindowRecord(CWnd* object, const CREATESTRUCTW& cs) {
  if (!WindowCallAllowed("CreateWindow")) return nullptr;
  if (cs.hwndParent && !Record(cs.hwndParent)) return nullptr;
  auto record = std::make_unique<WindowRecord>();
  record->object = object;
  record->parent = (cs.style & WS_CHILD) ? cs.hwndParent : nullptr;
  record->style = static_cast<DWORD>(cs.style) & ~WS_VISIBLE;
  record->exStyle = cs.dwExStyle;
  record->id = (cs.style & WS_CHILD) ? static_cast<int>(reinterpret_cast<std::uintptr_t>(cs.hMenu)) : 0;
  record->rect = {cs.x, cs.y, cs.x + std::max(cs.cx, 0), cs.y + std::max(cs.cy, 0)};
  record->normalRect = record->rect;
  record->owner = (cs.style & WS_CHILD) ? nullptr : cs.hwndParent;
  record->disabled = (cs.style & WS_DISABLED) != 0;
  if (cs.lpszName) record->text = cs.lpszName;
  record->cursor = LoadCursorW(nullptr, IDC_ARROW); // the class cursor of every window
  WindowRecord* raw = record.get();
  HWND hwnd;
  {
    std::lock_guard lock(g_tableMutex);
    hwnd = reinterpret_cast<HWND>(Table().Add(std::move(record)));
  }
  Siblings(*raw).insert(Siblings(*raw).begin(), hwnd);
  if (IHost* host = Host()) raw->host = host->CreateWindowHost(hwnd);
  // A window manager frames a top-level window with a caption; the frame is
  // part of the window's rectangle, as the saved place of a window is.
  if (raw->host && !raw->parent && (raw->style & WS_CAPTION) == WS_CAPTION) raw->frame = raw->host->ExpectedFrame();
  raw->native = MakeNativeControl(hwnd, cs);
  // A top-level window's menu comes with its creation, as its menu bar.
  if (!(cs.style & WS_CHILD) && cs.hMenu) AttachMenuBar(hwnd, cs.hMenu, false);
  SyncGeometry(*raw);
  if (raw->host) raw->host->SetEnabled(!raw->disabled);
  RestackHost(hwnd);
  return hwnd;
}

std::vector<HWND> TopLevelWindows() { return g_topLevels; }

void DestroyAllWindows() {
  const std::vector<HWND> tops = g_topLevels;
  for (HWND hwnd : tops) DestroyWindow(hwnd);
}

void PaintIfNeeded(HWND hwnd) {
  WindowRecord* record = Record(hwnd);
  if (!record || record->update.empty() || UpdateLocked(hwnd)) return;
  {
    PaintScope scope;
    CallWindowProc(hwnd, WM_PAINT, 0, 0);
  }
  // A handler that never began a paint would be asked again and again.
  if ((record = Record(hwnd)) != nullptr) {
    record->update.clear();
    record->erasePending = false;
  }
}

} // namespace platform::core

using namespace platform::core;

BOOL IsWindow(HWND hwnd) { return IsLiveWindow(hwnd) ? TRUE : FALSE; }

BOOL DestroyWindow(HWND hwnd) {
  if (!WindowCallAllowed("DestroyWindow") || !Record(hwnd)) return FALSE;
  DestroyTree(hwnd);
  return TRUE;
}

HWND GetParent(HWND hwnd) {
  WindowRecord* r = IsGuiThread() ? Record(hwnd) : nullptr;
  return r ? r->parent : nullptr;
}

BOOL IsChild(HWND parent, HWND hwnd) {
  for (HWND p = GetParent(hwnd); p; p = GetParent(p)) {
    if (p == parent) return TRUE;
  }
  return FALSE;
}

int GetDlgCtrlID(HWND hwnd) {
  WindowRecord* r = IsGuiThread() ? Record(hwnd) : nullptr;
  return r ? r->id : 0;
}

HWND GetDlgItem(HWND parent, int id) {
  WindowRecord* r = IsGuiThread() ? Record(parent) : nullptr;
  if (!r) return nullptr;
  for (HWND child : r->children) {
    if (GetDlgCtrlID(child) == id) return child;
  }
  return nullptr;
}

LONG GetWindowStyle(HWND hwnd) {
  WindowRecord* r = IsGuiThread() ? Record(hwnd) : nullptr;
  if (!r) return 0;
  DWORD style = r->style;
  if (r->visible) style |= WS_VISIBLE;
  if (r->disabled) style |= WS_DISABLED;
  return static_cast<LONG>(style);
}

LONG GetWindowExStyle(HWND hwnd) {
  WindowRecord* r = IsGuiThread() ? Record(hwnd) : nullptr;
  return r ? static_cast<LONG>(r->exStyle) : 0;
}

BOOL ShowWindow(HWND hwnd, int cmdShow) {
  if (!IsGuiThread()) return static_cast<BOOL>(CallOnGuiThread([=] { return ShowWindow(hwnd, cmdShow); }));
  WindowRecord* r = Record(hwnd);
  if (!r) return FALSE;
  const bool was = r->visible;
  const bool show = cmdShow != SW_HIDE;
  if (show && !r->parent) {
    ApplyShowState(hwnd, cmdShow);
    if ((r = Record(hwnd)) == nullptr) return was;
  }
  if (was == show) return was;
  SendSimple(hwnd, WM_SHOWWINDOW, show, 0);
  if ((r = Record(hwnd)) == nullptr) return was;
  r->visible = show;
  if (r->host) r->host->SetVisible(show);
  if (show) {
    InvalidateRect(hwnd, nullptr, TRUE);
    if (!r->parent && cmdShow != SW_SHOWNA && cmdShow != SW_SHOWNOACTIVATE) SetActiveWindow(hwnd);
  } else {
    if (g_capture == hwnd || IsChild(hwnd, g_capture)) ReleaseCapture();
    if (g_focus == hwnd || IsChild(hwnd, g_focus)) g_focus = nullptr;
    // A hidden window stops being the active one; its owner takes over.
    if (g_active == hwnd) {
      const HWND owner = r->owner;
      g_active = nullptr;
      SendSimple(hwnd, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(owner));
      if (IsWindowVisible(owner) && IsWindowEnabled(owner)) SetActiveWindow(owner);
    }
  }
  return was;
}

BOOL IsWindowVisible(HWND hwnd) {
  if (!IsGuiThread()) return FALSE;
  for (WindowRecord* r = Record(hwnd); r; r = Record(r->parent)) {
    if (!r->visible) return FALSE;
    if (!r->parent) return TRUE;
  }
  return FALSE;
}

BOOL EnableWindow(HWND hwnd, BOOL enable) {
  if (!IsGuiThread()) return static_cast<BOOL>(CallOnGuiThread([=] { return EnableWindow(hwnd, enable); }));
  WindowRecord* r = Record(hwnd);
  if (!r) return FALSE;
  const bool wasDisabled = r->disabled;
  if (wasDisabled == !enable) return wasDisabled;
  r->disabled = !enable;
  // The layer's own bit: a child of a disabled window stays enabled here,
  // whatever Qt reports for its widget.
  if (r->host) r->host->SetEnabled(enable != FALSE);
  if (!enable) {
    if (g_capture == hwnd) ReleaseCapture();
    if (g_focus == hwnd) g_focus = nullptr;
  }
  SendSimple(hwnd, WM_ENABLE, enable, 0);
  return wasDisabled;
}

BOOL IsWindowEnabled(HWND hwnd) {
  WindowRecord* r = IsGuiThread() ? Record(hwnd) : nullptr;
  return r && !r->disabled ? TRUE : FALSE;
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  if (!WindowCallAllowed("SetWindowPos")) return FALSE;
  WindowRecord* r = Record(hwnd);
  if (!r) return FALSE;
  // The window may change what is about to happen.
  WINDOWPOS pos{hwnd, insertAfter, x, y, cx, cy, flags};
  if (!(flags & SWP_NOSENDCHANGING)) {
    SendSimple(hwnd, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));
    if ((r = Record(hwnd)) == nullptr) return FALSE;
  }
  flags = pos.flags;
  if (!(flags & SWP_NOZORDER)) {
    if (pos.hwndInsertAfter == HWND_TOPMOST) r->exStyle |= WS_EX_TOPMOST;
    if (pos.hwndInsertAfter == HWND_NOTOPMOST) r->exStyle &= ~WS_EX_TOPMOST;
    Reorder(hwnd, pos.hwndInsertAfter);
  }
  RECT next = r->rect;
  if (!(flags & SWP_NOMOVE)) {
    next.right = pos.x + (next.right - next.left);
    next.bottom = pos.y + (next.bottom - next.top);
    next.left = pos.x;
    next.top = pos.y;
  }
  if (!(flags & SWP_NOSIZE)) {
    next.right = next.left + std::max(pos.cx, 0);
    next.bottom = next.top + std::max(pos.cy, 0);
  }
  const bool moved = next.left != r->rect.left || next.top != r->rect.top;
  const bool sized = (next.right - next.left) != (r->rect.right - r->rect.left) ||
                     (next.bottom - next.top) != (r->rect.bottom - r->rect.top);
  if (moved || sized) {
    const RECT oldClient = ClientRectOf(*r);
    r->rect = next;
    if (r->showState == SW_SHOWNORMAL) r->normalRect = next;
    SyncGeometry(*r);
    const RECT client = ClientRectOf(*r);
    // The surface keeps what it shows; only the new area needs painting.
    if (!(flags & SWP_NOREDRAW)) {
      if (client.right > oldClient.right) {
        RECT grown{oldClient.right, 0, client.right, client.bottom};
        InvalidateRect(hwnd, &grown, TRUE);
      }
      if (client.bottom > oldClient.bottom) {
        RECT grown{0, oldClient.bottom, client.right, client.bottom};
        InvalidateRect(hwnd, &grown, TRUE);
      }
    }
  }
  if (sized || (flags & SWP_FRAMECHANGED)) {
    NCCALCSIZE_PARAMS params;
    params.rgrc[0] = next;
    SendSimple(hwnd, WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&params));
  }
  if (Record(hwnd)) {
    // What happened: its default sends WM_MOVE and WM_SIZE.
    WINDOWPOS done{hwnd, pos.hwndInsertAfter, next.left, next.top, next.right - next.left, next.bottom - next.top,
                   flags | (moved ? 0 : SWP_NOMOVE) | (sized ? 0 : SWP_NOSIZE)};
    SendSimple(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&done));
  }
  if (flags & SWP_SHOWWINDOW) ShowWindow(hwnd, (flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
  if (flags & SWP_HIDEWINDOW) ShowWindow(hwnd, SW_HIDE);
  if (!(flags & (SWP_NOACTIVATE | SWP_NOZORDER)) && Record(hwnd) && !Record(hwnd)->parent &&
      IsWindowVisible(hwnd)) {
    SetActiveWindow(hwnd);
  }
  return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
  return SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL GetWindowRect(HWND hwnd, LPRECT rect) {
  WindowRecord* r = IsGuiThread() ? Record(hwnd) : nullptr;
  if (!r || !rect) return FALSE;
  *rect = r->rect;
  if (r->parent) {
    const POINT o = ClientOrigin(r->parent);
    OffsetRect(rect, o.x, o.y);
  }
  return TRUE;
}

BOOL GetClientRect(HWND hwnd, LPRECT rect) {
  WindowRecord* r = IsGuiThread() ? Record(hwnd) : nullptr;
  if (!r || !rect) return FALSE;
  *rect = ClientRectOf(*r);
  return TRUE;
}

BOOL ScreenToClient(HWND hwnd, LPPOINT point) {
  if (!point || !IsGuiThread() || !Record(hwnd)) return FALSE;
  const POINT o = ClientOrigin(hwnd);
  point->x -= o.x;
  point->y -= o.y;
  return TRUE;
}

BOOL ClientToScreen(HWND hwnd, LPPOINT point) {
  if (!point || !IsGuiThread() || !Record(hwnd)) return FALSE;
  const POINT o = ClientOrigin(hwnd);
  point->x += o.x;
  point->y += o.y;
  return TRUE;
}

namespace {
HWND DeepestAt(HWND hwnd, POINT screen) {
  WindowRecord* r = Record(hwnd);
  if (!r || !r->visible) return nullptr;
  RECT wr;
  GetWindowRect(hwnd, &wr);
  if (!Contains(wr, screen)) return nullptr;
  for (HWND child : r->children) {
    if (HWND hit = DeepestAt(child, screen)) return hit;
  }
  return hwnd;
}
} // namespace

HWND WindowFromPoint(POINT screenPoint) {
  if (!IsGuiThread()) return nullptr;
  for (HWND top : g_topLevels) {
    if (HWND hit = DeepestAt(top, screenPoint)) return hit;
  }
  return nullptr;
}

HWND GetActiveWindow() { return IsGuiThread() ? g_active : nullptr; }

namespace platform::core {

HWND Activate(HWND hwnd, bool tellWindowSystem) {
  while (WindowRecord* r = Record(hwnd)) {
    if (!r->parent) break;
    hwnd = r->parent;
  }
  const HWND old = g_active;
  if (old == hwnd) return old;
  g_active = hwnd;
  if (Record(old)) SendSimple(old, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(hwnd));
  WindowRecord* r = Record(hwnd);
  if (r) SendSimple(hwnd, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(old));
  // The keys follow the activation: a focus left in another window (the
  // owner of a dialog without a control to focus) moves to the active one.
  if (Record(hwnd) && g_active == hwnd && g_focus != hwnd && !IsChild(hwnd, g_focus)) SetFocus(hwnd);
  if (tellWindowSystem && (r = Record(hwnd)) != nullptr && g_active == hwnd && r->visible && r->host) {
    r->host->Activate();
  }
  return old;
}

} // namespace platform::core

HWND SetActiveWindow(HWND hwnd) {
  if (!WindowCallAllowed("SetActiveWindow")) return nullptr;
  return Activate(hwnd, true);
}

HWND SetFocus(HWND hwnd) {
  if (!WindowCallAllowed("SetFocus")) return nullptr;
  const HWND old = g_focus;
  if (hwnd && !Record(hwnd)) return nullptr;
  if (old == hwnd) return old;
  g_focus = hwnd;
  if (Record(old)) SendSimple(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
  if (WindowRecord* r = Record(hwnd)) {
    if (r->host) r->host->SetKeyboardFocus();
    SendSimple(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
  }
  return old;
}

HWND GetFocus() { return IsGuiThread() ? g_focus : nullptr; }

HWND GetDesktopWindow() { return nullptr; }

int GetSystemMetrics(int index) {
  const SIZE screen = Host() ? Host()->ScreenSize() : SIZE{1920, 1080};
  switch (index) {
  case SM_CXSCREEN:
  case SM_CXMAXIMIZED: return screen.cx;
  case SM_CYSCREEN:
  case SM_CYMAXIMIZED: return screen.cy;
  default: return 0;
  }
}

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text) {
  if (!IsGuiThread()) return static_cast<BOOL>(CallOnGuiThread([=] { return SetWindowTextW(hwnd, text); }));
  return static_cast<BOOL>(SendMessageW(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)));
}

int GetWindowTextW(HWND hwnd, LPWSTR buffer, int maxCount) {
  return static_cast<int>(SendMessageW(hwnd, WM_GETTEXT, static_cast<WPARAM>(maxCount), reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLengthW(HWND hwnd) { return static_cast<int>(SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0)); }

BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase) {
  if (!IsGuiThread()) {
    const RECT copy = rect ? *rect : RECT{};
    const bool whole = rect == nullptr;
    return static_cast<BOOL>(CallOnGuiThread([=] { return InvalidateRect(hwnd, whole ? nullptr : &copy, erase); }));
  }
  WindowRecord* r = Record(hwnd);
  if (!r) return FALSE;
  const RECT client = ClientRectOf(*r);
  const RECT area = rect ? Intersect(*rect, client) : client;
  if (Empty(area)) return TRUE;
  AddUpdate(*r, area, erase != FALSE);
  if (r->host) r->host->SchedulePresent(area);
  return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT* rect) {
  WindowRecord* r = IsGuiThread() ? Record(hwnd) : nullptr;
  if (!r) return FALSE;
  if (!rect) {
    r->update.clear();
    r->erasePending = false;
    return TRUE;
  }
  // Rectangles wholly inside the validated one go; the rest stay whole.
  auto& u = r->update;
  u.erase(std::remove_if(u.begin(), u.end(),
                         [&](const RECT& x) {
                           return x.left >= rect->left && x.top >= rect->top && x.right <= rect->right &&
                                  x.bottom <= rect->bottom;
                         }),
          u.end());
  if (u.empty()) r->erasePending = false;
  return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, LPRECT rect, BOOL) {
  WindowRecord* r = IsGuiThread() ? Record(hwnd) : nullptr;
  if (!r) return FALSE;
  const RECT b = Bounds(r->update);
  if (rect) *rect = b;
  return Empty(b) ? FALSE : TRUE;
}

BOOL UpdateWindow(HWND hwnd) {
  if (!WindowCallAllowed("UpdateWindow")) return FALSE;
  WindowRecord* r = Record(hwnd);
  if (!r) return FALSE;
  if (r->update.empty() || !IsWindowVisible(hwnd) || UpdateLocked(hwnd)) return TRUE;
  const RECT area = Bounds(r->update);
  PaintIfNeeded(hwnd);
  if ((r = Record(hwnd)) != nullptr && r->host) r->host->PresentNow(area);
  return TRUE;
}

BOOL RedrawWindow(HWND hwnd, const RECT* rect, void*, UINT flags) {
  if (!IsGuiThread()) {
    const RECT copy = rect ? *rect : RECT{};
    const bool whole = rect == nullptr;
    return static_cast<BOOL>(
        CallOnGuiThread([=] { return RedrawWindow(hwnd, whole ? nullptr : &copy, nullptr, flags); }));
  }
  WindowRecord* r = Record(hwnd);
  if (!r) return FALSE;
  if (flags & RDW_INVALIDATE) InvalidateRect(hwnd, rect, (flags & RDW_ERASE) ? TRUE : FALSE);
  if (flags & RDW_VALIDATE) ValidateRect(hwnd, rect);
  if (flags & RDW_ALLCHILDREN) {
    const std::vector<HWND> children = r->children;
    for (HWND child : children) RedrawWindow(child, nullptr, nullptr, flags & ~RDW_UPDATENOW);
  }
  if (flags & (RDW_UPDATENOW | RDW_ERASENOW)) {
    UpdateWindow(hwnd);
    if ((flags & RDW_ALLCHILDREN) && (r = Record(hwnd)) != nullptr) {
      const std::vector<HWND> children = r->children;
      for (HWND child : children) RedrawWindow(child, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
  }
  return TRUE;
}

HWND SetCapture(HWND hwnd) {
  if (!WindowCallAllowed("SetCapture")) return nullptr;
  const HWND old = g_capture;
  WindowRecord* r = Record(hwnd);
  if (!r || old == hwnd) return old;
  if (WindowRecord* o = Record(old)) {
    if (o->host) o->host->SetMouseGrab(false);
  }
  g_capture = hwnd;
  if (r->host) r->host->SetMouseGrab(true);
  if (Record(old)) SendSimple(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
  return old;
}

BOOL ReleaseCapture() {
  if (!IsGuiThread()) return FALSE;
  const HWND old = g_capture;
  if (!old) return TRUE;
  g_capture = nullptr;
  if (WindowRecord* o = Record(old)) {
    if (o->host) o->host->SetMouseGrab(false);
    SendSimple(old, WM_CAPTURECHANGED, 0, 0);
  }
  return TRUE;
}

HWND GetCapture() { return IsGuiThread() && Record(g_capture) ? g_capture : nullptr; }

int SetScrollInfo(HWND hwnd, int bar, const SCROLLINFO* info, BOOL) {
  WindowRecord* r = IsGuiThread() ? Record(hwnd) : nullptr;
  if (!r || !info || (bar != SB_HORZ && bar != SB_VERT)) return 0;
  SCROLLINFO& s = r->scroll[bar];
  if (info->fMask & SIF_RANGE) {
    s.nMin = info->nMin;
    s.nMax = std::max(info->nMax, info->nMin);
  }
  if (info->fMask & SIF_PAGE) s.nPage = info->nPage;
  const long long range = static_cast<long long>(s.nMax) - s.nMin + 1;
  if (s.nPage > range) s.nPage = static_cast<UINT>(range);
  if (info->fMask & SIF_POS) s.nPos = info->nPos;
  // The position keeps the last page inside the range.
  const long long last = static_cast<long long>(s.nMax) - std::max<long long>(static_cast<long long>(s.nPage) - 1, 0);
  s.nPos = static_cast<int>(std::clamp<long long>(s.nPos, s.nMin, std::max<long long>(last, s.nMin)));
  s.nTrackPos = s.nPos;
  s.fMask = SIF_ALL; // marks the bar as having scroll data
  return s.nPos;
}

BOOL GetScrollInfo(HWND hwnd, int bar, LPSCROLLINFO info) {
  WindowRecord* r = IsGuiThread() ? Record(hwnd) : nullptr;
  if (!r || !info || (bar != SB_HORZ && bar != SB_VERT)) return FALSE;
  const SCROLLINFO& s = r->scroll[bar];
  const DWORD styleBit = bar == SB_VERT ? WS_VSCROLL : WS_HSCROLL;
  if (s.fMask == 0 && !(r->style & styleBit)) return FALSE;
  if (info->fMask & SIF_RANGE) {
    info->nMin = s.nMin;
    info->nMax = s.nMax;
  }
  if (info->fMask & SIF_PAGE) info->nPage = s.nPage;
  if (info->fMask & SIF_POS) info->nPos = s.nPos;
  if (info->fMask & SIF_TRACKPOS) info->nTrackPos = s.nTrackPos;
  return TRUE;
}

int GetScrollPos(HWND hwnd, int bar) {
  SCROLLINFO info;
  info.fMask = SIF_POS;
  return GetScrollInfo(hwnd, bar, &info) ? info.nPos : 0;
}

// The layer draws no system scroll bars: every scrolling window shows the
// toolkit's own. Only the flag is kept.
BOOL ShowScrollBar(HWND hwnd, int bar, BOOL show) {
  WindowRecord* r = IsGuiThread() ? Record(hwnd) : nullptr;
  if (!r) return FALSE;
  if (bar == SB_HORZ || bar == SB_BOTH) r->scrollShown[SB_HORZ] = show != FALSE;
  if (bar == SB_VERT || bar == SB_BOTH) r->scrollShown[SB_VERT] = show != FALSE;
  return TRUE;
}

LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowRecord* r = IsGuiThread() ? Record(hwnd) : nullptr;
  if (!r) return 0;
  if (r->native) return r->native->Proc(hwnd, message, wParam, lParam);
  return GenericWindowProc(hwnd, message, wParam, lParam);
}

LRESULT platform::core::GenericWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  WindowRecord* r = IsGuiThread() ? Record(hwnd) : nullptr;
  if (!r) return 0;
  switch (message) {
  case WM_PAINT: {
    PAINTSTRUCT ps;
    BeginPaint(hwnd, &ps);
    EndPaint(hwnd, &ps);
    return 0;
  }
  case WM_CLOSE: DestroyWindow(hwnd); return 0;
  case WM_SETCURSOR: {
    if (r->parent && SendMessageW(r->parent, WM_SETCURSOR, wParam, lParam)) return TRUE;
    if (LOWORD(static_cast<std::uintptr_t>(lParam)) == HTCLIENT) {
      SetCursor(r->cursor);
      return TRUE;
    }
    return FALSE;
  }
  case WM_MOUSEWHEEL: return r->parent ? SendMessageW(r->parent, message, wParam, lParam) : 0;
  case WM_SETTEXT:
    r->text = lParam ? std::u16string(reinterpret_cast<LPCWSTR>(lParam)) : std::u16string();
    return TRUE;
  case WM_GETTEXTLENGTH: return static_cast<LRESULT>(r->text.size());
  case WM_GETTEXT: {
    const auto max = static_cast<std::size_t>(wParam);
    auto* out = reinterpret_cast<WCHAR*>(lParam);
    if (!out || max == 0) return 0;
    const std::size_t n = std::min(max - 1, r->text.size());
    std::copy_n(r->text.data(), n, out);
    out[n] = 0;
    return static_cast<LRESULT>(n);
  }
  case WM_SETFONT:
    r->font = reinterpret_cast<HFONT>(wParam);
    if (lParam) InvalidateRect(hwnd, nullptr, TRUE);
    return 0;
  case WM_GETFONT: return reinterpret_cast<LRESULT>(r->font);
  default: return DefaultFrameMessage(hwnd, message, wParam, lParam);
  }
}

BOOL SetRect(LPRECT rect, int left, int top, int right, int bottom) {
  if (!rect) return FALSE;
  *rect = {left, top, right, bottom};
  return TRUE;
}
BOOL SetRectEmpty(LPRECT rect) { return SetRect(rect, 0, 0, 0, 0); }
BOOL IsRectEmpty(const RECT* rect) { return !rect || Empty(*rect) ? TRUE : FALSE; }
BOOL PtInRect(const RECT* rect, POINT point) { return rect && Contains(*rect, point) ? TRUE : FALSE; }
BOOL OffsetRect(LPRECT rect, int dx, int dy) {
  if (!rect) return FALSE;
  rect->left += dx;
  rect->right += dx;
  rect->top += dy;
  rect->bottom += dy;
  return TRUE;
}
BOOL InflateRect(LPRECT rect, int dx, int dy) {
  if (!rect) return FALSE;
  rect->left -= dx;
  rect->right += dx;
  rect->top -= dy;
  rect->bottom += dy;
  return TRUE;
}
BOOL IntersectRect(LPRECT out, const RECT* a, const RECT* b) {
  if (!out || !a || !b) return FALSE;
  *out = Intersect(*a, *b);
  return Empty(*out) ? FALSE : TRUE;
}
BOOL UnionRect(LPRECT out, const RECT* a, const RECT* b) {
  if (!out || !a || !b) return FALSE;
  if (Empty(*a)) {
    *out = *b;
  } else if (Empty(*b)) {
    *out = *a;
  } else {
    *out = {std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
            std::max(a->bottom, b->bottom)};
  }
  return Empty(*out) ? FALSE : TRUE;
}
BOOL EqualRect(const RECT* a, const RECT* b) { return a && b && *a == *b ? TRUE : FALSE; }
