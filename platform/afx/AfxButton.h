#pragma once
// The window system's button and static controls as the framework's CButton
// and CStatic: native behaviour (press under capture, BN_CLICKED to the
// parent, check states, icons) in the classes' default window procedure, so
// derived classes intercept messages in their maps and reach the native
// handling through Default(). Owner-drawn ones (BS_OWNERDRAW, SS_OWNERDRAW)
// send WM_DRAWITEM to their parent, which the framework reflects to their
// DrawItem. Qt-free.

#include "platform/afx/AfxDC.h"
#include "platform/afx/AfxWin.h"
#include "platform/win/WinControls.h"
#include "platform/win/WinOwnerDraw.h"

// Button styles.
constexpr DWORD BS_PUSHBUTTON = 0x0000;
constexpr DWORD BS_DEFPUSHBUTTON = 0x0001;
constexpr DWORD BS_CHECKBOX = 0x0002;
constexpr DWORD BS_AUTOCHECKBOX = 0x0003;
constexpr DWORD BS_RADIOBUTTON = 0x0004;
constexpr DWORD BS_AUTORADIOBUTTON = 0x0009;
constexpr DWORD BS_OWNERDRAW = 0x000B;
constexpr DWORD BS_TYPEMASK = 0x000F;
constexpr DWORD BS_NOTIFY = 0x4000;

// Button requests and states.
constexpr UINT BM_GETCHECK = 0x00F0;
constexpr UINT BM_SETCHECK = 0x00F1;
constexpr UINT BM_GETSTATE = 0x00F2;
constexpr UINT BM_SETSTATE = 0x00F3;
constexpr UINT BM_SETSTYLE = 0x00F4;
constexpr UINT BM_CLICK = 0x00F5;
constexpr UINT BST_UNCHECKED = 0x0000;
constexpr UINT BST_CHECKED = 0x0001;
constexpr UINT BST_INDETERMINATE = 0x0002;
constexpr UINT BST_PUSHED = 0x0004;
constexpr UINT BST_FOCUS = 0x0008;

// Button notifications (WM_COMMAND's high word).
constexpr UINT BN_DOUBLECLICKED = 5;

// Static styles, requests and notifications.
constexpr DWORD SS_LEFT = 0x0000;
constexpr DWORD SS_CENTER = 0x0001;
constexpr DWORD SS_RIGHT = 0x0002;
constexpr DWORD SS_ICON = 0x0003;
constexpr DWORD SS_OWNERDRAW = 0x000D;
constexpr DWORD SS_TYPEMASK = 0x001F;
constexpr DWORD SS_NOPREFIX = 0x0080;
constexpr DWORD SS_NOTIFY = 0x0100;
constexpr DWORD SS_CENTERIMAGE = 0x0200;
constexpr UINT STM_SETICON = 0x0170;
constexpr UINT STM_GETICON = 0x0171;
constexpr UINT STN_CLICKED = 0;

class CButton : public CWnd {
public:
  BOOL Create(LPCWSTR caption, DWORD style, const RECT& rect, CWnd* parent, UINT id);
  int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
  void SetCheck(int check) { SendMessage(BM_SETCHECK, static_cast<WPARAM>(check)); }
  UINT GetState() const { return static_cast<UINT>(SendMessage(BM_GETSTATE)); }
  void SetState(BOOL highlight) { SendMessage(BM_SETSTATE, static_cast<WPARAM>(highlight)); }
  UINT GetButtonStyle() const { return GetStyle() & 0xFFFF; }
  void SetButtonStyle(UINT style, BOOL redraw = TRUE) { SendMessage(BM_SETSTYLE, style, redraw); }
  // An owner-drawn button draws itself here (the parent's WM_DRAWITEM, reflected).
  virtual void DrawItem(LPDRAWITEMSTRUCT item);

  LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
  void Press(bool pressed);
  void Release(bool click);
  void Clicked();
  void Paint();
  void DrawNative(CDC& dc, const CRect& client);
  UINT m_check = BST_UNCHECKED;
  bool m_pushed = false;
  bool m_tracking = false;
};

class CStatic : public CWnd {
public:
  BOOL Create(LPCWSTR text, DWORD style, const RECT& rect, CWnd* parent, UINT id = 0xFFFF);
  HICON SetIcon(HICON icon) { return reinterpret_cast<HICON>(SendMessage(STM_SETICON, reinterpret_cast<WPARAM>(icon))); }
  HICON GetIcon() const { return reinterpret_cast<HICON>(SendMessage(STM_GETICON)); }
  // An owner-drawn static (SS_OWNERDRAW) draws itself here.
  virtual void DrawItem(LPDRAWITEMSTRUCT item);

  LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
  void Paint();
  HICON m_icon = nullptr; // not owned
};
