#pragma once
// The window framework's core classes, Qt-free: command targets with message
// maps, windows (CWnd), threads (CWinThread) and the application (CWinApp).
//
// A window class declares its map in the class and defines it beside its
// handlers; entries are type-checked against the handler's signature:
//
//   class CMyCtrl : public CWnd {
//   protected:
//     afx_msg void OnPaint();
//     afx_msg void OnLButtonDown(UINT flags, CPoint point);
//     afx_msg LRESULT OnPrivate(WPARAM wParam, LPARAM lParam);
//     DECLARE_MESSAGE_MAP()
//   };
//   BEGIN_MESSAGE_MAP(CMyCtrl, CWnd)
//     ON_WM_PAINT()
//     ON_WM_LBUTTONDOWN()
//     ON_MESSAGE(WM_APP + 7, OnPrivate)
//   END_MESSAGE_MAP()
//
// Messages a class's map does not handle go to its base class's map, then to
// the default window procedure.

#include "platform/afx/AfxTypes.h"
#include "platform/win/WinBase.h"
#include "platform/win/WinControls.h"
#include "platform/win/WinGdi.h"

#include <atomic>
#include <memory>
#include <string>

#define afx_msg

class CCmdTarget;
class CWnd;
class CDC;
class CScrollBar;
class CPrintDialog;
struct PRINTDLGW;
class CMenu;
class CCmdUI;

struct AFX_MSGMAP_ENTRY {
  UINT message;         // 0 ends the map
  UINT code;            // WM_COMMAND and WM_NOTIFY entries: the notification code
  UINT idFirst, idLast; // WM_COMMAND and WM_NOTIFY entries: the control ids
  // Calls the handler; false when the message counts as not handled (an _EX
  // reflection handler answering FALSE), so it travels on.
  bool (*call)(CCmdTarget* target, WPARAM wParam, LPARAM lParam, LRESULT* result);
};
struct AFX_MSGMAP {
  const AFX_MSGMAP* (*baseMap)();
  const AFX_MSGMAP_ENTRY* entries;
};

#define DECLARE_MESSAGE_MAP()                                                                                         \
protected:                                                                                                            \
  static const AFX_MSGMAP* GetThisMessageMap();                                                                       \
  const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                                        \
  const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); }                                   \
  const AFX_MSGMAP* theClass::GetThisMessageMap() {                                                                   \
    using ThisClass [[maybe_unused]] = theClass;                                                                      \
    using TheBaseClass = baseClass;                                                                                   \
    static const AFX_MSGMAP_ENTRY entries[] = {

#define END_MESSAGE_MAP()                                                                                             \
  { 0, 0, 0, 0, nullptr }                                                                                             \
  }                                                                                                                   \
  ;                                                                                                                   \
  static const AFX_MSGMAP map = {&TheBaseClass::GetThisMessageMap, &entries[0]};                                     \
  return &map;                                                                                                        \
  }

// One entry: `body` sees `self` (the window as its own class), wParam, lParam
// and `result`, and yields whether the message was handled.
#define AFX_MSG_ENTRY(msg, code, idFirst, idLast, body)                                                               \
  {(msg), (code), (idFirst), (idLast),                                                                                \
   [](CCmdTarget* target_, [[maybe_unused]] WPARAM wParam, [[maybe_unused]] LPARAM lParam,                            \
      [[maybe_unused]] LRESULT* result) -> bool {                                                                     \
     [[maybe_unused]] auto* self = static_cast<ThisClass*>(target_);                                                  \
     body                                                                                                             \
   }},

#define ON_WM_CREATE()                                                                                                \
  AFX_MSG_ENTRY(WM_CREATE, 0, 0, 0, *result = self->OnCreate(reinterpret_cast<LPCREATESTRUCT>(lParam)); return true;)
#define ON_WM_DESTROY() AFX_MSG_ENTRY(WM_DESTROY, 0, 0, 0, self->OnDestroy(); return true;)
#define ON_WM_NCDESTROY() AFX_MSG_ENTRY(WM_NCDESTROY, 0, 0, 0, self->OnNcDestroy(); return true;)
#define ON_WM_CLOSE() AFX_MSG_ENTRY(WM_CLOSE, 0, 0, 0, self->OnClose(); return true;)
#define ON_WM_SIZE()                                                                                                  \
  AFX_MSG_ENTRY(WM_SIZE, 0, 0, 0,                                                                                     \
                self->OnSize(static_cast<UINT>(wParam), LOWORD(static_cast<std::uintptr_t>(lParam)),                 \
                             HIWORD(static_cast<std::uintptr_t>(lParam)));                                            \
                return true;)
#define ON_WM_MOVE()                                                                                                  \
  AFX_MSG_ENTRY(WM_MOVE, 0, 0, 0, self->OnMove(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)); return true;)
#define ON_WM_PAINT() AFX_MSG_ENTRY(WM_PAINT, 0, 0, 0, self->OnPaint(); return true;)
#define ON_WM_ERASEBKGND()                                                                                            \
  AFX_MSG_ENTRY(WM_ERASEBKGND, 0, 0, 0,                                                                               \
                *result = self->OnEraseBkgnd(CDC::FromHandle(reinterpret_cast<HDC>(wParam)));                          \
                return true;)
#define ON_WM_TIMER() AFX_MSG_ENTRY(WM_TIMER, 0, 0, 0, self->OnTimer(static_cast<UINT_PTR>(wParam)); return true;)
#define AFX_MOUSE_ENTRY(msg, fn)                                                                                      \
  AFX_MSG_ENTRY(msg, 0, 0, 0, self->fn(static_cast<UINT>(wParam), CPoint(lParam)); return true;)
#define ON_WM_MOUSEMOVE() AFX_MOUSE_ENTRY(WM_MOUSEMOVE, OnMouseMove)
#define ON_WM_LBUTTONDOWN() AFX_MOUSE_ENTRY(WM_LBUTTONDOWN, OnLButtonDown)
#define ON_WM_LBUTTONUP() AFX_MOUSE_ENTRY(WM_LBUTTONUP, OnLButtonUp)
#define ON_WM_LBUTTONDBLCLK() AFX_MOUSE_ENTRY(WM_LBUTTONDBLCLK, OnLButtonDblClk)
#define ON_WM_RBUTTONDOWN() AFX_MOUSE_ENTRY(WM_RBUTTONDOWN, OnRButtonDown)
#define ON_WM_RBUTTONUP() AFX_MOUSE_ENTRY(WM_RBUTTONUP, OnRButtonUp)
#define ON_WM_RBUTTONDBLCLK() AFX_MOUSE_ENTRY(WM_RBUTTONDBLCLK, OnRButtonDblClk)
#define ON_WM_MOUSEWHEEL()                                                                                            \
  AFX_MSG_ENTRY(WM_MOUSEWHEEL, 0, 0, 0,                                                                               \
                *result = self->OnMouseWheel(LOWORD(wParam), GET_WHEEL_DELTA_WPARAM(wParam), CPoint(lParam));          \
                return true;)
#define ON_WM_KEYDOWN()                                                                                               \
  AFX_MSG_ENTRY(WM_KEYDOWN, 0, 0, 0,                                                                                  \
                self->OnKeyDown(static_cast<UINT>(wParam), LOWORD(static_cast<std::uintptr_t>(lParam)),               \
                                HIWORD(static_cast<std::uintptr_t>(lParam)));                                         \
                return true;)
#define ON_WM_KEYUP()                                                                                                 \
  AFX_MSG_ENTRY(WM_KEYUP, 0, 0, 0,                                                                                    \
                self->OnKeyUp(static_cast<UINT>(wParam), LOWORD(static_cast<std::uintptr_t>(lParam)),                 \
                              HIWORD(static_cast<std::uintptr_t>(lParam)));                                           \
                return true;)
#define AFX_SCROLL_ENTRY(msg, fn)                                                                                     \
  AFX_MSG_ENTRY(msg, 0, 0, 0,                                                                                         \
                self->fn(LOWORD(wParam), HIWORD(wParam),                                                              \
                         dynamic_cast<CScrollBar*>(CWnd::FromHandle(reinterpret_cast<HWND>(lParam))));                \
                return true;)
#define ON_WM_VSCROLL() AFX_SCROLL_ENTRY(WM_VSCROLL, OnVScroll)
#define ON_WM_HSCROLL() AFX_SCROLL_ENTRY(WM_HSCROLL, OnHScroll)
#define ON_WM_SETCURSOR()                                                                                             \
  AFX_MSG_ENTRY(WM_SETCURSOR, 0, 0, 0,                                                                                \
                *result = self->OnSetCursor(CWnd::FromHandle(reinterpret_cast<HWND>(wParam)), LOWORD(static_cast<std::uintptr_t>(lParam)), \
                                            HIWORD(static_cast<std::uintptr_t>(lParam)));                                                          \
                return true;)
#define ON_WM_SETFOCUS()                                                                                              \
  AFX_MSG_ENTRY(WM_SETFOCUS, 0, 0, 0, self->OnSetFocus(CWnd::FromHandle(reinterpret_cast<HWND>(wParam)));             \
                return true;)
#define ON_WM_KILLFOCUS()                                                                                             \
  AFX_MSG_ENTRY(WM_KILLFOCUS, 0, 0, 0, self->OnKillFocus(CWnd::FromHandle(reinterpret_cast<HWND>(wParam)));           \
                return true;)
#define ON_WM_SHOWWINDOW()                                                                                            \
  AFX_MSG_ENTRY(WM_SHOWWINDOW, 0, 0, 0, self->OnShowWindow(static_cast<BOOL>(wParam), static_cast<UINT>(lParam));     \
                return true;)
#define ON_WM_ACTIVATE()                                                                                              \
  AFX_MSG_ENTRY(WM_ACTIVATE, 0, 0, 0,                                                                                 \
                self->OnActivate(LOWORD(wParam), CWnd::FromHandle(reinterpret_cast<HWND>(lParam)),                    \
                                 HIWORD(wParam) != 0);                                                                \
                return true;)
#define ON_WM_CAPTURECHANGED()                                                                                        \
  AFX_MSG_ENTRY(WM_CAPTURECHANGED, 0, 0, 0, self->OnCaptureChanged(CWnd::FromHandle(reinterpret_cast<HWND>(lParam))); \
                return true;)
#define ON_WM_COPYDATA()                                                                                              \
  AFX_MSG_ENTRY(WM_COPYDATA, 0, 0, 0,                                                                                 \
                *result = self->OnCopyData(CWnd::FromHandle(reinterpret_cast<HWND>(wParam)),                         \
                                           reinterpret_cast<COPYDATASTRUCT*>(lParam));                                \
                return true;)
#define ON_MESSAGE(msg, fn) AFX_MSG_ENTRY(msg, 0, 0, 0, *result = self->fn(wParam, lParam); return true;)
// The number comes from RegisterWindowMessageW, read when the map is first used.
#define ON_REGISTERED_MESSAGE(var, fn) ON_MESSAGE(var, fn)
#define ON_COMMAND(id, fn) AFX_MSG_ENTRY(WM_COMMAND, 0, (id), (id), self->fn(); return true;)
#define ON_COMMAND_RANGE(idFirst, idLast, fn)                                                                         \
  AFX_MSG_ENTRY(WM_COMMAND, 0, (idFirst), (idLast), self->fn(LOWORD(wParam)); return true;)
#define ON_CONTROL(code, id, fn) AFX_MSG_ENTRY(WM_COMMAND, (code), (id), (id), self->fn(); return true;)
#define ON_NOTIFY(code, id, fn)                                                                                       \
  AFX_MSG_ENTRY(WM_NOTIFY, static_cast<UINT>(code), (id), (id),                                                      \
                self->fn(reinterpret_cast<NMHDR*>(lParam), result);                                                   \
                return true;)
// Reflection: the child control handles its own notification first; the
// parent sees it only when the child has no entry, or an _EX entry answers FALSE.
#define ON_CONTROL_REFLECT(code, fn)                                                                                  \
  AFX_MSG_ENTRY(WM_REFLECT_BASE + WM_COMMAND, (code), 0, 0, self->fn(); return true;)
#define ON_CONTROL_REFLECT_EX(code, fn)                                                                               \
  AFX_MSG_ENTRY(WM_REFLECT_BASE + WM_COMMAND, (code), 0, 0, return self->fn() != FALSE;)
#define ON_NOTIFY_REFLECT(code, fn)                                                                                   \
  AFX_MSG_ENTRY(WM_REFLECT_BASE + WM_NOTIFY, static_cast<UINT>(code), 0, 0,                                           \
                self->fn(reinterpret_cast<NMHDR*>(lParam), result);                                                   \
                return true;)
#define ON_NOTIFY_REFLECT_EX(code, fn)                                                                                \
  AFX_MSG_ENTRY(WM_REFLECT_BASE + WM_NOTIFY, static_cast<UINT>(code), 0, 0,                                           \
                return self->fn(reinterpret_cast<NMHDR*>(lParam), result) != FALSE;)

// Dialogs, owner drawing, colours, menus and frames.
// A colour request (any WM_CTLCOLOR* message) reaches the map as WM_CTLCOLOR
// with its kind; the parent's handler runs first and the default (the base
// class's OnCtlColor) offers it to the control's reflected handler.
struct AFX_CTLCOLOR {
  HDC dc;
  HWND control;
  UINT kind;
};
#define ON_WM_CTLCOLOR()                                                                                              \
  AFX_MSG_ENTRY(WM_CTLCOLOR, 0, 0, 0, {                                                                               \
    const auto* c_ = reinterpret_cast<const AFX_CTLCOLOR*>(lParam);                                                   \
    *result = reinterpret_cast<LRESULT>(                                                                              \
        self->OnCtlColor(CDC::FromHandle(c_->dc), CWnd::FromHandle(c_->control), c_->kind));                          \
    return true;                                                                                                      \
  })
// The control's own answer to its parent's colour request; a null brush
// leaves the request to the default.
#define ON_WM_CTLCOLOR_REFLECT()                                                                                      \
  AFX_MSG_ENTRY(WM_REFLECT_BASE + WM_CTLCOLOR, 0, 0, 0, {                                                             \
    const auto* c_ = reinterpret_cast<const AFX_CTLCOLOR*>(lParam);                                                   \
    HBRUSH brush_ = self->CtlColor(CDC::FromHandle(c_->dc), c_->kind);                                                \
    *result = reinterpret_cast<LRESULT>(brush_);                                                                      \
    return brush_ != nullptr;                                                                                         \
  })
#define ON_WM_DRAWITEM()                                                                                              \
  AFX_MSG_ENTRY(WM_DRAWITEM, 0, 0, 0, self->OnDrawItem(static_cast<int>(wParam),                                      \
                                                       reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));                   \
                *result = TRUE; return true;)
#define ON_WM_MEASUREITEM()                                                                                           \
  AFX_MSG_ENTRY(WM_MEASUREITEM, 0, 0, 0, self->OnMeasureItem(static_cast<int>(wParam),                                \
                                                             reinterpret_cast<LPMEASUREITEMSTRUCT>(lParam));          \
                *result = TRUE; return true;)
#define ON_WM_DRAWITEM_REFLECT()                                                                                      \
  AFX_MSG_ENTRY(WM_REFLECT_BASE + WM_DRAWITEM, 0, 0, 0,                                                               \
                self->DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam)); *result = TRUE; return true;)
#define ON_WM_MEASUREITEM_REFLECT()                                                                                   \
  AFX_MSG_ENTRY(WM_REFLECT_BASE + WM_MEASUREITEM, 0, 0, 0,                                                            \
                self->MeasureItem(reinterpret_cast<LPMEASUREITEMSTRUCT>(lParam)); *result = TRUE; return true;)
#define ON_WM_INITMENUPOPUP()                                                                                         \
  AFX_MSG_ENTRY(WM_INITMENUPOPUP, 0, 0, 0,                                                                            \
                self->OnInitMenuPopup(CMenu::FromHandle(reinterpret_cast<HMENU>(wParam)),                             \
                                      LOWORD(static_cast<std::uintptr_t>(lParam)),                                    \
                                      HIWORD(static_cast<std::uintptr_t>(lParam)) != 0);                              \
                return true;)
#define ON_WM_SIZING()                                                                                                \
  AFX_MSG_ENTRY(WM_SIZING, 0, 0, 0, self->OnSizing(static_cast<UINT>(wParam), reinterpret_cast<LPRECT>(lParam));     \
                *result = TRUE; return true;)
#define ON_WM_SYSCOMMAND()                                                                                            \
  AFX_MSG_ENTRY(WM_SYSCOMMAND, 0, 0, 0, self->OnSysCommand(static_cast<UINT>(wParam), lParam); return true;)
#define ON_WM_WINDOWPOSCHANGING()                                                                                     \
  AFX_MSG_ENTRY(WM_WINDOWPOSCHANGING, 0, 0, 0, self->OnWindowPosChanging(reinterpret_cast<WINDOWPOS*>(lParam));       \
                return true;)
#define ON_WM_WINDOWPOSCHANGED()                                                                                      \
  AFX_MSG_ENTRY(WM_WINDOWPOSCHANGED, 0, 0, 0, self->OnWindowPosChanged(reinterpret_cast<WINDOWPOS*>(lParam));         \
                return true;)
#define ON_WM_NCCALCSIZE()                                                                                            \
  AFX_MSG_ENTRY(WM_NCCALCSIZE, 0, 0, 0,                                                                               \
                self->OnNcCalcSize(static_cast<BOOL>(wParam), reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam));          \
                return true;)
#define ON_WM_CONTEXTMENU()                                                                                           \
  AFX_MSG_ENTRY(WM_CONTEXTMENU, 0, 0, 0,                                                                              \
                self->OnContextMenu(CWnd::FromHandle(reinterpret_cast<HWND>(wParam)), CPoint(lParam)); return true;)
#define ON_WM_GETDLGCODE() AFX_MSG_ENTRY(WM_GETDLGCODE, 0, 0, 0, *result = self->OnGetDlgCode(); return true;)
#define ON_WM_ENABLE() AFX_MSG_ENTRY(WM_ENABLE, 0, 0, 0, self->OnEnable(static_cast<BOOL>(wParam)); return true;)
// Update handlers of commands: fn(CCmdUI*), run before a menu shows the
// command and before its accelerator sends it.
constexpr UINT CN_COMMAND = 0;
constexpr UINT CN_UPDATE_COMMAND_UI = 0xFFFFFFFF;
// Asks whether a command handler exists (nothing runs).
constexpr UINT CN_COMMAND_QUERY = 0xFFFFFFFE;
#define ON_UPDATE_COMMAND_UI(id, fn)                                                                                  \
  AFX_MSG_ENTRY(WM_COMMAND, CN_UPDATE_COMMAND_UI, (id), (id), self->fn(reinterpret_cast<CCmdUI*>(lParam)); return true;)
#define ON_UPDATE_COMMAND_UI_RANGE(idFirst, idLast, fn)                                                               \
  AFX_MSG_ENTRY(WM_COMMAND, CN_UPDATE_COMMAND_UI, (idFirst), (idLast),                                                \
                self->fn(reinterpret_cast<CCmdUI*>(lParam)); return true;)

// Anything that receives commands and messages through a map.
class CCmdTarget {
public:
  virtual ~CCmdTarget() = default;
  // Runs the first entry of this object's maps (most derived first) that
  // matches; false when none did.
  bool DispatchThroughMap(UINT message, UINT code, UINT id, WPARAM wParam, LPARAM lParam, LRESULT* result);
  // Command routing: a WM_COMMAND or WM_NOTIFY with this code and id;
  // CN_UPDATE_COMMAND_UI (lParam the CCmdUI*) runs an update handler and
  // CN_COMMAND_QUERY only tells whether a command handler exists.
  virtual BOOL OnCmdMsg(UINT id, UINT code, WPARAM wParam, LPARAM lParam, LRESULT* result);
  // Whether one of this object's maps has an entry for the message.
  bool HasMapEntry(UINT message, UINT code, UINT id) const;

protected:
  static const AFX_MSGMAP* GetThisMessageMap();
  virtual const AFX_MSGMAP* GetMessageMap() const;
};

class CWnd : public CCmdTarget {
public:
  CWnd() = default;
  // Destroys the window if it still exists.
  ~CWnd() override;
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  // The window object of a handle; null for a stale or foreign handle.
  static CWnd* FromHandle(HWND hwnd);
  static CWnd* FromHandlePermanent(HWND hwnd) { return FromHandle(hwnd); }
  HWND GetSafeHwnd() const { return m_hWnd; }
  operator HWND() const { return m_hWnd; }

  // Creation. A child window is placed in its parent's client coordinates,
  // a top-level one in screen coordinates. WM_CREATE answering -1 fails.
  virtual BOOL Create(LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id,
                      void* context = nullptr);
  BOOL CreateEx(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, const RECT& rect, CWnd* parent,
                UINT id, LPVOID param = nullptr);
  virtual BOOL DestroyWindow();
  virtual BOOL PreCreateWindow(CREATESTRUCT& cs);
  // Called when the object is attached to its window, before WM_CREATE.
  virtual void PreSubclassWindow();
  // Called last, after WM_NCDESTROY, with the handle already detached; an
  // object that owns itself may delete itself here.
  virtual void PostNcDestroy();

  // Message handling.
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  // The pre-translate chain: the application asks the target window, then
  // each parent up to its top-level window; TRUE eats the message.
  virtual BOOL PreTranslateMessage(MSG* msg);
  static BOOL WalkPreTranslateTree(HWND top, MSG* msg);
  virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
  virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result);
  // A notification of this window reaching its parent: the window's own
  // reflected entries run first. TRUE keeps it from the parent.
  virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  BOOL ReflectChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
  BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

  // Tree and state.
  CWnd* GetParent() const;
  CWnd* GetDlgItem(int id) const;
  int GetDlgCtrlID() const;
  void SetDlgCtrlID(int id);
  DWORD GetStyle() const;
  DWORD GetExStyle() const;
  BOOL ModifyStyle(DWORD remove, DWORD add, UINT flags = 0);
  BOOL IsChild(const CWnd* wnd) const;
  BOOL ShowWindow(int cmdShow);
  BOOL IsWindowVisible() const;
  BOOL EnableWindow(BOOL enable = TRUE);
  BOOL IsWindowEnabled() const;
  void SetWindowText(LPCWSTR text);
  std::u16string GetWindowText() const;
  void SetFont(HFONT font, BOOL redraw = TRUE);
  HFONT GetFont() const;

  // Geometry.
  void MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE);
  void MoveWindow(LPCRECT rect, BOOL repaint = TRUE);
  BOOL SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, UINT flags);
  void GetWindowRect(LPRECT rect) const;
  void GetClientRect(LPRECT rect) const;
  void ScreenToClient(LPPOINT point) const;
  void ScreenToClient(LPRECT rect) const;
  void ClientToScreen(LPPOINT point) const;
  void ClientToScreen(LPRECT rect) const;

  // Painting.
  void Invalidate(BOOL erase = TRUE);
  void InvalidateRect(LPCRECT rect, BOOL erase = TRUE);
  void ValidateRect(LPCRECT rect);
  void UpdateWindow();
  BOOL RedrawWindow(LPCRECT rect = nullptr, void* region = nullptr,
                    UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
  CDC* GetDC();
  int ReleaseDC(CDC* dc);
  CDC* BeginPaint(LPPAINTSTRUCT paint);
  void EndPaint(const PAINTSTRUCT* paint);

  // Input, focus, capture, timers, scrolling.
  UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs, TIMERPROC proc = nullptr);
  BOOL KillTimer(UINT_PTR id);
  CWnd* SetCapture();
  static CWnd* GetCapture();
  CWnd* SetFocus();
  static CWnd* GetFocus();
  static CWnd* GetActiveWindow();
  BOOL GetScrollInfo(int bar, LPSCROLLINFO info, UINT mask = SIF_ALL) const;
  BOOL SetScrollInfo(int bar, LPSCROLLINFO info, BOOL redraw = TRUE);
  int GetScrollPos(int bar) const;
  void ShowScrollBar(UINT bar, BOOL show = TRUE);

  // The message this thread is handling.
  static const MSG* GetCurrentMessage();

  HWND m_hWnd = nullptr;

protected:
  // Default handlers the maps of derived classes name.
  afx_msg int OnCreate(LPCREATESTRUCT cs);
  afx_msg void OnDestroy();
  afx_msg void OnNcDestroy();
  afx_msg void OnClose();
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg void OnMove(int x, int y);
  afx_msg void OnPaint();
  afx_msg BOOL OnEraseBkgnd(CDC* dc);
  afx_msg void OnTimer(UINT_PTR id);
  afx_msg void OnMouseMove(UINT flags, CPoint point);
  afx_msg void OnLButtonDown(UINT flags, CPoint point);
  afx_msg void OnLButtonUp(UINT flags, CPoint point);
  afx_msg void OnLButtonDblClk(UINT flags, CPoint point);
  afx_msg void OnRButtonDown(UINT flags, CPoint point);
  afx_msg void OnRButtonUp(UINT flags, CPoint point);
  afx_msg void OnRButtonDblClk(UINT flags, CPoint point);
  afx_msg BOOL OnMouseWheel(UINT flags, short delta, CPoint point);
  afx_msg void OnKeyDown(UINT key, UINT repeat, UINT flags);
  afx_msg void OnKeyUp(UINT key, UINT repeat, UINT flags);
  afx_msg void OnVScroll(UINT code, UINT pos, CScrollBar* bar);
  afx_msg void OnHScroll(UINT code, UINT pos, CScrollBar* bar);
  afx_msg BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message);
  afx_msg void OnSetFocus(CWnd* old);
  afx_msg void OnKillFocus(CWnd* next);
  afx_msg void OnShowWindow(BOOL show, UINT status);
  afx_msg void OnActivate(UINT state, CWnd* other, BOOL minimized);
  afx_msg void OnCaptureChanged(CWnd* wnd);
  afx_msg BOOL OnCopyData(CWnd* sender, COPYDATASTRUCT* data);
  LRESULT Default();

  static const AFX_MSGMAP* GetThisMessageMap();
  const AFX_MSGMAP* GetMessageMap() const override;

public:
  // Attaching an object to a window the layer made without one (a control
  // of a dialog template): the window's class procedure stays underneath,
  // and PreSubclassWindow runs. Fails for a window that has a program object.
  BOOL SubclassWindow(HWND hwnd);
  BOOL SubclassDlgItem(UINT id, CWnd* parent);
  HWND UnsubclassWindow();
  CWnd* GetTopLevelParent() const;
  CWnd* GetOwner() const;
  void CenterWindow(CWnd* alternateOwner = nullptr);
  void SendMessageToDescendants(UINT message, WPARAM wParam = 0, LPARAM lParam = 0, BOOL deep = TRUE);
  void SetDlgItemText(int id, LPCWSTR text);
  std::u16string GetDlgItemText(int id) const;
  BOOL IsIconic() const;
  BOOL IsZoomed() const;
  BOOL GetWindowPlacement(WINDOWPLACEMENT* placement) const;
  BOOL SetWindowPlacement(const WINDOWPLACEMENT* placement);
  BOOL LockWindowUpdate();
  void UnlockWindowUpdate();
  CMenu* GetMenu() const;
  BOOL SetMenu(CMenu* menu);
  void DrawMenuBar();

protected:
  afx_msg HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor);
  afx_msg void OnDrawItem(int id, LPDRAWITEMSTRUCT dis);
  afx_msg void OnMeasureItem(int id, LPMEASUREITEMSTRUCT mis);
  afx_msg void OnInitMenuPopup(CMenu* popup, UINT index, BOOL sysMenu);
  afx_msg void OnSizing(UINT side, LPRECT rect);
  afx_msg void OnSysCommand(UINT id, LPARAM lParam);
  afx_msg void OnWindowPosChanging(WINDOWPOS* pos);
  afx_msg void OnWindowPosChanged(WINDOWPOS* pos);
  afx_msg void OnNcCalcSize(BOOL calcValidRects, NCCALCSIZE_PARAMS* params);
  afx_msg void OnContextMenu(CWnd* wnd, CPoint point);
  afx_msg UINT OnGetDlgCode();
  afx_msg void OnEnable(BOOL enable);
};

// A scroll-bar control as it appears in WM_HSCROLL and WM_VSCROLL (null for a
// window's own bars).
class CScrollBar : public CWnd {};

// The edit control: the layer's class "Edit", hosted on the toolkit's text
// entry (a line, or many with ES_MULTILINE).
class CEdit : public CWnd {
public:
  using CWnd::Create;
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id);
  void SetSel(int start, int end, BOOL noScroll = FALSE);
  void GetSel(int& start, int& end) const;
  void ReplaceSel(LPCWSTR text, BOOL canUndo = FALSE);
  void LimitText(int characters = 0) { SendMessage(EM_LIMITTEXT, static_cast<WPARAM>(characters)); }
  void SetLimitText(UINT characters) { SendMessage(EM_SETLIMITTEXT, characters); }
  UINT GetLimitText() const { return static_cast<UINT>(SendMessage(EM_GETLIMITTEXT)); }
  BOOL SetReadOnly(BOOL readOnly = TRUE) { return static_cast<BOOL>(SendMessage(EM_SETREADONLY, readOnly)); }
  BOOL GetModify() const { return static_cast<BOOL>(SendMessage(EM_GETMODIFY)); }
  void SetModify(BOOL modified = TRUE) { SendMessage(EM_SETMODIFY, modified); }
  void Copy() { SendMessage(WM_COPY); }
  void Cut() { SendMessage(WM_CUT); }
  void Paste() { SendMessage(WM_PASTE); }
  void Clear() { SendMessage(WM_CLEAR); }
  BOOL Undo() { return static_cast<BOOL>(SendMessage(EM_UNDO)); }

  void GetRect(LPRECT rect) const { SendMessage(EM_GETRECT, 0, reinterpret_cast<LPARAM>(rect)); }
  int GetFirstVisibleLine() const { return static_cast<int>(SendMessage(EM_GETFIRSTVISIBLELINE)); }
  int GetLineCount() const { return static_cast<int>(SendMessage(EM_GETLINECOUNT)); }
  BOOL LineScroll(int lines, int chars = 0) {
    return static_cast<BOOL>(SendMessage(EM_LINESCROLL, static_cast<WPARAM>(chars), lines));
  }
};

using AFX_THREADPROC = UINT (*)(LPVOID);

// A thread: created suspended or running; the object deletes itself when the
// thread ends unless m_bAutoDelete is cleared, and its handle goes stale with
// it. No thread is ever killed: waits that must keep the window alive use
// WaitForThreadWithPump.
class CWinThread : public CCmdTarget {
public:
  CWinThread();
  CWinThread(AFX_THREADPROC proc, LPVOID param);
  ~CWinThread() override;
  BOOL CreateThread(DWORD flags = 0, UINT stackSize = 0);
  DWORD ResumeThread();
  BOOL SetThreadPriority(int priority);
  virtual BOOL InitInstance();
  virtual int ExitInstance();
  virtual int Run();
  virtual BOOL PreTranslateMessage(MSG* msg);
  // Pre-translates and dispatches one message.
  BOOL PumpMessage(MSG* msg);

  CWnd* m_pMainWnd = nullptr;
  BOOL m_bAutoDelete = TRUE;
  HANDLE m_hThread = nullptr;
  DWORD m_nThreadID = 0;

protected:
  int m_exitCode = 0;

private:
  friend struct ThreadStart;
  AFX_THREADPROC m_proc = nullptr;
  LPVOID m_param = nullptr;
  std::shared_ptr<struct ThreadState> m_state;
};

CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID param, int priority = THREAD_PRIORITY_NORMAL,
                           UINT stackSize = 0, DWORD flags = 0, void* security = nullptr);

// The application: one per process, constructed statically; its thread is the
// GUI thread. Every message pumped on the GUI thread passes its
// PreTranslateMessage first.
class CWinApp : public CWinThread {
public:
  explicit CWinApp(LPCWSTR appName = nullptr);
  ~CWinApp() override;
  BOOL InitInstance() override;
  // Runs the GUI thread's loop until PostQuitMessage; returns its exit code.
  int Run() override;
  // The application's printer: the choice of the last DoPrintDialog, else
  // the system's default. FALSE when there is none, or when the chosen
  // printer has gone (it is forgotten: the next call takes the default).
  // pd->hDevMode is the application's own choice, so changes to its
  // settings stay with the application.
  BOOL GetPrinterDeviceDefaults(PRINTDLGW* pd);
  // Runs the dialog on the application's printer, which keeps the choice.
  int DoPrintDialog(CPrintDialog* dialog);
  std::u16string m_pszAppName;

protected:
  HANDLE m_hDevMode = nullptr;
  HANDLE m_hDevNames = nullptr;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();

// Posts a heap record the receiver takes over (and deletes). When the message
// never reaches a window (the handle is stale, or the window dies while it is
// queued) the layer deletes the record itself.
template <class T>
BOOL PostOwnedMessage(HWND hwnd, UINT message, WPARAM wParam, std::unique_ptr<T> record);
BOOL PostMessageWithDeleter(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, void (*deleter)(LPARAM));
template <class T>
BOOL PostOwnedMessage(HWND hwnd, UINT message, WPARAM wParam, std::unique_ptr<T> record) {
  const LPARAM lp = reinterpret_cast<LPARAM>(record.release());
  return PostMessageWithDeleter(hwnd, message, wParam, lp, [](LPARAM p) { delete reinterpret_cast<T*>(p); });
}

// Starts the window system and runs the application object: its
// InitInstance, then its Run until PostQuitMessage; returns the exit code.
int AfxWinMain(int argc, char** argv);

namespace platform {
// The program's data folder, where resource pictures are found by id
// (icons/<id>.png, bitmaps/<id>.png, cursors/<id>.png). By default the folder
// "resources" beside the executable.
void SetResourceFolder(const std::string& folder);
std::string ResourceFolder();
} // namespace platform

// Waits for a thread while serving the messages other threads send to this
// one (and, on the GUI thread, nothing else): a worker blocked in a
// synchronous send to a window completes. WAIT_OBJECT_0 or WAIT_TIMEOUT.
DWORD WaitForThreadWithPump(HANDLE thread, DWORD milliseconds);
