// What the layer's own window classes share: the class registry, the
// subclassing of windows made without a program object, notifications and
// colour requests to the parent, fonts and text, the back end's services and
// the drivers, and exceptions kept across the window system's dispatch.

#include "platform/core/Controls.h"
#include "platform/core/Gdi.h"

#include <algorithm>
#include <map>
#include <mutex>

namespace platform::core {

std::unique_ptr<NativeControl> MakeListBox(HWND hwnd, const CREATESTRUCTW& cs);
std::unique_ptr<NativeControl> MakeListView(HWND hwnd, const CREATESTRUCTW& cs);
std::unique_ptr<NativeControl> MakeHeader(HWND hwnd, const CREATESTRUCTW& cs);
std::unique_ptr<NativeControl> MakeTreeView(HWND hwnd, const CREATESTRUCTW& cs);
std::unique_ptr<NativeControl> MakeEdit(HWND hwnd, const CREATESTRUCTW& cs);
std::unique_ptr<NativeControl> MakeDialogClass(HWND hwnd, const CREATESTRUCTW& cs);

namespace {

std::u16string ClassKey(std::u16string_view name) {
  std::u16string key(name);
  for (char16_t& c : key) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  }
  return key;
}

struct ClassRegistry {
  std::mutex mutex;
  std::map<std::u16string, NativeFactory> classes;
};

ClassRegistry& Classes() {
  static auto* registry = [] {
    auto* r = new ClassRegistry;
    r->classes[ClassKey(WC_LISTBOX)] = MakeListBox;
    r->classes[ClassKey(WC_LISTVIEW)] = MakeListView;
    r->classes[ClassKey(WC_HEADER)] = MakeHeader;
    r->classes[ClassKey(WC_TREEVIEW)] = MakeTreeView;
    r->classes[ClassKey(WC_EDIT)] = MakeEdit;
    r->classes[ClassKey(WC_DIALOG)] = MakeDialogClass;
    return r;
  }();
  return *registry;
}

IUiServices* g_services = nullptr;
IModalDriver* g_modalDriver = nullptr;
IMenuDriver* g_menuDriver = nullptr;
IDragDriver* g_dragDriver = nullptr;
std::exception_ptr g_kept; // GUI thread only

} // namespace

void RegisterNativeClass(std::u16string_view name, NativeFactory factory) {
  ClassRegistry& r = Classes();
  std::lock_guard lock(r.mutex);
  r.classes[ClassKey(name)] = std::move(factory);
}

std::unique_ptr<NativeControl> MakeNativeControl(HWND hwnd, const CREATESTRUCTW& cs) {
  // Integer atoms (small values) name no class of the layer.
  if (!cs.lpszClass || reinterpret_cast<std::uintptr_t>(cs.lpszClass) < 0x10000) return nullptr;
  NativeFactory factory;
  {
    ClassRegistry& r = Classes();
    std::lock_guard lock(r.mutex);
    auto it = r.classes.find(ClassKey(cs.lpszClass));
    if (it == r.classes.end()) return nullptr;
    factory = it->second;
  }
  return factory(hwnd, cs);
}

LRESULT NotifyParent(HWND control, WORD code) {
  const HWND parent = GetParent(control);
  if (!parent) return 0;
  return SendMessageW(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), code), reinterpret_cast<LPARAM>(control));
}

LRESULT NotifyParent(HWND control, NMHDR& header, UINT code) {
  const HWND parent = GetParent(control);
  if (!parent) return 0;
  header.hwndFrom = control;
  header.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(control));
  header.code = code;
  return SendMessageW(parent, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}

HBRUSH RequestColours(HWND control, UINT message, HDC dc) {
  const HWND parent = GetParent(control);
  LRESULT brush = parent ? SendMessageW(parent, message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control))
                         : 0;
  if (!brush) brush = DefaultFrameMessage(control, message, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(control));
  return reinterpret_cast<HBRUSH>(brush);
}

COLORREF BrushColour(HBRUSH brush, COLORREF fallback) {
  GdiObject* object = Object(brush);
  return object && object->kind == OBJ_BRUSH && !object->hollow ? object->colour : fallback;
}

LOGFONTW WindowFont(HWND hwnd) {
  LOGFONTW font;
  auto handle = reinterpret_cast<HGDIOBJ>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
  if (!handle || GetObjectW(handle, sizeof font, &font) != sizeof font) {
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
  }
  return font;
}

int LineHeight(HWND hwnd) {
  const int height = Host() ? Host()->GetTextMetrics(WindowFont(hwnd)).tmHeight : 0;
  // Without a back end that measures, the GUI font's line.
  return height > 0 ? height : 13;
}

int ScrolledTop(UINT code, int position, int top, int page, int count) {
  switch (code) {
  case SB_LINEUP: return top - 1;
  case SB_LINEDOWN: return top + 1;
  case SB_PAGEUP: return top - page;
  case SB_PAGEDOWN: return top + page;
  case SB_THUMBTRACK:
  case SB_THUMBPOSITION: return position;
  case SB_TOP: return 0;
  case SB_BOTTOM: return count;
  default: return top;
  }
}

int TopShowing(int index, int top, int page) {
  if (index < top) return index;
  if (index >= top + page) return index - page + 1;
  return top;
}

int ScrolledLeft(UINT code, int position, int left, int line, int page, int width) {
  switch (code) {
  case SB_LINELEFT: return left - line;
  case SB_LINERIGHT: return left + line;
  case SB_PAGELEFT: return left - page;
  case SB_PAGERIGHT: return left + page;
  case SB_THUMBTRACK:
  case SB_THUMBPOSITION: return position;
  case SB_LEFT: return 0;
  case SB_RIGHT: return width;
  default: return left;
  }
}

void SetItemScrollData(HWND hwnd, int count, int page, int top, int width, int left) {
  RECT client;
  GetClientRect(hwnd, &client);
  SCROLLINFO v;
  v.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  v.nMax = std::max(0, count - 1);
  v.nPage = static_cast<UINT>(std::max(0, page));
  v.nPos = top;
  SetScrollInfo(hwnd, SB_VERT, &v, TRUE);
  SCROLLINFO h;
  h.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  h.nMax = std::max(0, width - 1);
  h.nPage = static_cast<UINT>(std::max<LONG>(client.right, 0));
  h.nPos = left;
  SetScrollInfo(hwnd, SB_HORZ, &h, TRUE);
}

int MeasureOwnerItems(HWND control, UINT type, int height) {
  const HWND parent = GetParent(control);
  if (!parent) return height;
  MEASUREITEMSTRUCT mis;
  mis.CtlType = type;
  mis.CtlID = static_cast<UINT>(GetDlgCtrlID(control));
  mis.itemHeight = static_cast<UINT>(height);
  SendMessageW(parent, WM_MEASUREITEM, mis.CtlID, reinterpret_cast<LPARAM>(&mis));
  return mis.itemHeight > 0 ? static_cast<int>(std::min<UINT>(mis.itemHeight, 0x7FFF)) : height;
}

void DrawOwnerItem(HWND control, UINT type, UINT item, UINT state, HDC dc, const RECT& rect, ULONG_PTR data) {
  DRAWITEMSTRUCT dis;
  dis.CtlType = type;
  dis.CtlID = static_cast<UINT>(GetDlgCtrlID(control));
  dis.itemID = item;
  dis.itemAction = ODA_DRAWENTIRE;
  dis.itemState = state;
  dis.hwndItem = control;
  dis.hDC = dc;
  dis.rcItem = rect;
  dis.itemData = data;
  SendMessageW(GetParent(control), WM_DRAWITEM, dis.CtlID, reinterpret_cast<LPARAM>(&dis));
}

void DrawControlText(HDC dc, std::u16string_view text, RECT rect, UINT format) {
  DrawTextW(dc, text.data(), static_cast<int>(text.size()), &rect, format | DT_SINGLELINE);
}

bool PreTranslate(MSG& msg) {
  CWinApp* app = AfxGetApp();
  return (app ? app->PreTranslateMessage(&msg) : CWnd::WalkPreTranslateTree(nullptr, &msg)) != FALSE;
}

void SetUiServices(IUiServices* services) { g_services = services; }
IUiServices* UiServices() { return g_services; }
void SetModalDriver(IModalDriver* driver) { g_modalDriver = driver; }
void SetMenuDriver(IMenuDriver* driver) { g_menuDriver = driver; }
void SetDragDriver(IDragDriver* driver) { g_dragDriver = driver; }
IModalDriver* ModalDriver() { return g_modalDriver; }
IMenuDriver* MenuDriver() { return g_menuDriver; }
IDragDriver* DragDriver() { return g_dragDriver; }

void KeepException(std::exception_ptr error) {
  if (!g_kept) g_kept = std::move(error);
}

void RethrowKeptException() {
  if (g_kept) std::rethrow_exception(std::exchange(g_kept, nullptr));
}

} // namespace platform::core

using namespace platform::core;

BOOL CWnd::SubclassWindow(HWND hwnd) {
  if (m_hWnd || !WindowCallAllowed("SubclassWindow")) return FALSE;
  WindowRecord* r = Record(hwnd);
  // A window that has a program object already cannot take a second one.
  if (!r || (r->object && r->object != r->ownedObject.get())) return FALSE;
  if (r->ownedObject) r->ownedObject->m_hWnd = nullptr;
  r->object = this;
  m_hWnd = hwnd;
  PreSubclassWindow();
  return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
  if (!parent) return FALSE;
  return SubclassWindow(FindDialogControl(parent->m_hWnd, static_cast<int>(id)));
}

HWND CWnd::UnsubclassWindow() {
  WindowRecord* r = IsGuiThread() ? Record(m_hWnd) : nullptr;
  if (!r || r->object != this) return nullptr;
  const HWND hwnd = std::exchange(m_hWnd, nullptr);
  r->object = r->ownedObject.get();
  if (r->ownedObject) r->ownedObject->m_hWnd = hwnd;
  return hwnd;
}

CWnd* CWnd::GetTopLevelParent() const {
  HWND hwnd = m_hWnd;
  while (HWND parent = ::GetParent(hwnd)) hwnd = parent;
  return FromHandle(hwnd);
}

CWnd* CWnd::GetOwner() const { return FromHandle(::GetWindow(m_hWnd, GW_OWNER)); }

void CWnd::CenterWindow(CWnd* alternateOwner) {
  CRect window;
  GetWindowRect(window);
  CRect around(0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  CWnd* centre = alternateOwner ? alternateOwner : (::GetParent(m_hWnd) ? GetParent() : GetOwner());
  if (centre && centre->IsWindowVisible()) centre->GetWindowRect(around);
  int x = around.left + (around.Width() - window.Width()) / 2;
  int y = around.top + (around.Height() - window.Height()) / 2;
  if (const HWND parent = ::GetParent(m_hWnd)) {
    POINT p{x, y};
    ::ScreenToClient(parent, &p);
    x = p.x;
    y = p.y;
  }
  SetWindowPos(nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWnd::SendMessageToDescendants(UINT message, WPARAM wParam, LPARAM lParam, BOOL deep) {
  WindowRecord* r = IsGuiThread() ? Record(m_hWnd) : nullptr;
  if (!r) return;
  const std::vector<HWND> children = r->children;
  for (HWND child : children) {
    ::SendMessageW(child, message, wParam, lParam);
    if (deep) {
      if (CWnd* wnd = FromHandle(child)) wnd->SendMessageToDescendants(message, wParam, lParam, TRUE);
    }
  }
}

void CWnd::SetDlgItemText(int id, LPCWSTR text) { ::SetDlgItemTextW(m_hWnd, id, text); }

std::u16string CWnd::GetDlgItemText(int id) const {
  CWnd* item = GetDlgItem(id);
  return item ? item->GetWindowText() : std::u16string();
}

BOOL CWnd::IsIconic() const { return ::IsIconic(m_hWnd); }
BOOL CWnd::IsZoomed() const { return ::IsZoomed(m_hWnd); }
BOOL CWnd::GetWindowPlacement(WINDOWPLACEMENT* placement) const { return ::GetWindowPlacement(m_hWnd, placement); }
BOOL CWnd::SetWindowPlacement(const WINDOWPLACEMENT* placement) { return ::SetWindowPlacement(m_hWnd, placement); }
BOOL CWnd::LockWindowUpdate() { return ::LockWindowUpdate(m_hWnd); }
void CWnd::UnlockWindowUpdate() { ::LockWindowUpdate(nullptr); }

LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam) {
  return SendMessageW(GetDlgItem(dialog, id), message, wParam, lParam);
}

BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text) {
  const HWND item = GetDlgItem(dialog, id);
  return item ? SetWindowTextW(item, text) : FALSE;
}
