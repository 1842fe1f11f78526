#pragma once
// Dialogs and the window calls that frames and dialogs add to WinUser.h:
// dialog templates (held by the layer as tables of controls), the dialog
// keys, colour requests, owner drawing, position changes, system commands,
// window placement and system colours. Qt-free.

#include "platform/win/WinGdi.h"
#include "platform/win/WinOwnerDraw.h"

#include <string>
#include <vector>

using ULONG_PTR = std::uintptr_t;
using DWORD_PTR = std::uintptr_t;

// Dialog results and the standard command ids.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;
constexpr int IDCLOSE = 8;
constexpr int IDHELP = 9;
// Labels that nothing addresses share this id.
constexpr int IDC_STATIC = -1;

// Messages.
constexpr UINT WM_GETMINMAXINFO = 0x0024;
constexpr UINT WM_NEXTDLGCTL = 0x0028;
constexpr UINT WM_MEASUREITEM = 0x002C;
constexpr UINT WM_DELETEITEM = 0x002D;
constexpr UINT WM_COMPAREITEM = 0x0039;
constexpr UINT WM_CONTEXTMENU = 0x007B;
constexpr UINT WM_GETDLGCODE = 0x0087;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_CTLCOLORMSGBOX = 0x0132;
constexpr UINT WM_CTLCOLOREDIT = 0x0133;
constexpr UINT WM_CTLCOLORLISTBOX = 0x0134;
constexpr UINT WM_CTLCOLORBTN = 0x0135;
constexpr UINT WM_CTLCOLORDLG = 0x0136;
constexpr UINT WM_CTLCOLORSCROLLBAR = 0x0137;
constexpr UINT WM_CTLCOLORSTATIC = 0x0138;
constexpr UINT WM_SIZING = 0x0214;
constexpr UINT DM_GETDEFID = WM_USER + 0;
constexpr UINT DM_SETDEFID = WM_USER + 1;
constexpr WORD DC_HASDEFID = 0x534B;
// The framework's single colour request (the kinds below): the layer turns
// each WM_CTLCOLOR* message into it for the message maps.
constexpr UINT WM_CTLCOLOR = 0x0019;
constexpr UINT CTLCOLOR_MSGBOX = 0;
constexpr UINT CTLCOLOR_EDIT = 1;
constexpr UINT CTLCOLOR_LISTBOX = 2;
constexpr UINT CTLCOLOR_BTN = 3;
constexpr UINT CTLCOLOR_DLG = 4;
constexpr UINT CTLCOLOR_SCROLLBAR = 5;
constexpr UINT CTLCOLOR_STATIC = 6;

// Dialog styles.
constexpr DWORD DS_SETFONT = 0x0040;
constexpr DWORD DS_MODALFRAME = 0x0080;
constexpr DWORD DS_CONTROL = 0x0400;
constexpr DWORD DS_CENTER = 0x0800;

// WM_GETDLGCODE answers: which keys a control keeps from the dialog.
constexpr LRESULT DLGC_WANTARROWS = 0x0001;
constexpr LRESULT DLGC_WANTTAB = 0x0002;
constexpr LRESULT DLGC_WANTALLKEYS = 0x0004;
constexpr LRESULT DLGC_WANTMESSAGE = 0x0004;
constexpr LRESULT DLGC_HASSETSEL = 0x0008;
constexpr LRESULT DLGC_DEFPUSHBUTTON = 0x0010;
constexpr LRESULT DLGC_UNDEFPUSHBUTTON = 0x0020;
constexpr LRESULT DLGC_RADIOBUTTON = 0x0040;
constexpr LRESULT DLGC_WANTCHARS = 0x0080;
constexpr LRESULT DLGC_STATIC = 0x0100;
constexpr LRESULT DLGC_BUTTON = 0x2000;

// Owner drawing (the rest is in WinOwnerDraw.h).
constexpr UINT ODT_LISTVIEW = 102;
constexpr UINT ODS_DEFAULT = 0x0020;

struct MEASUREITEMSTRUCT {
  UINT CtlType = 0;
  UINT CtlID = 0;
  UINT itemID = 0;
  UINT itemWidth = 0;
  UINT itemHeight = 0;
  ULONG_PTR itemData = 0;
};
using LPMEASUREITEMSTRUCT = MEASUREITEMSTRUCT*;

// Position changes: WM_WINDOWPOSCHANGING may change what SetWindowPos is
// about to do (the insert-after window, the rectangle, the flags);
// WM_WINDOWPOSCHANGED tells what it did, and its default sends WM_MOVE and
// WM_SIZE.
struct WINDOWPOS {
  HWND hwnd = nullptr;
  HWND hwndInsertAfter = nullptr;
  int x = 0;
  int y = 0;
  int cx = 0;
  int cy = 0;
  UINT flags = 0;
};
using LPWINDOWPOS = WINDOWPOS*;
constexpr UINT SWP_NOSENDCHANGING = 0x0400;

struct NCCALCSIZE_PARAMS {
  RECT rgrc[3];
  WINDOWPOS* lppos = nullptr;
};

// WM_SIZING: the edge or corner being dragged (wParam) and the proposed
// window rectangle in screen coordinates (lParam), which the handler may change.
constexpr UINT WMSZ_LEFT = 1;
constexpr UINT WMSZ_RIGHT = 2;
constexpr UINT WMSZ_TOP = 3;
constexpr UINT WMSZ_TOPLEFT = 4;
constexpr UINT WMSZ_TOPRIGHT = 5;
constexpr UINT WMSZ_BOTTOM = 6;
constexpr UINT WMSZ_BOTTOMLEFT = 7;
constexpr UINT WMSZ_BOTTOMRIGHT = 8;

// WM_SYSCOMMAND: the default handling carries the command out.
constexpr UINT SC_SIZE = 0xF000;
constexpr UINT SC_MOVE = 0xF010;
constexpr UINT SC_MINIMIZE = 0xF020;
constexpr UINT SC_MAXIMIZE = 0xF030;
constexpr UINT SC_CLOSE = 0xF060;
constexpr UINT SC_RESTORE = 0xF120;

constexpr int SW_SHOWMINNOACTIVE = 7;

struct WINDOWPLACEMENT {
  UINT length = sizeof(WINDOWPLACEMENT);
  UINT flags = 0;
  UINT showCmd = 0;
  POINT ptMinPosition;
  POINT ptMaxPosition;
  RECT rcNormalPosition;
};

// System colours.
constexpr int COLOR_WINDOW = 5;
constexpr int COLOR_WINDOWTEXT = 8;
constexpr int COLOR_HIGHLIGHT = 13;
constexpr int COLOR_HIGHLIGHTTEXT = 14;
constexpr int COLOR_BTNFACE = 15;
constexpr int COLOR_3DFACE = COLOR_BTNFACE;
constexpr int COLOR_BTNSHADOW = 16;
constexpr int COLOR_GRAYTEXT = 17;
constexpr int COLOR_BTNTEXT = 18;
constexpr int COLOR_BTNHIGHLIGHT = 20;
DWORD GetSysColor(int index);
// A brush of the colour that the layer owns: DeleteObject leaves it alone.
HBRUSH GetSysColorBrush(int index);

// Dialogs. EndDialog ends a modal run after the message being handled
// returns (a modeless dialog is only hidden).
BOOL EndDialog(HWND dialog, INT_PTR result);
BOOL IsDialogMessageW(HWND dialog, LPMSG msg);
#define IsDialogMessage IsDialogMessageW
// The next (or previous) control with WS_TABSTOP, visible and enabled, in
// the order the dialog's template lists them, wrapping around.
HWND GetNextDlgTabItem(HWND dialog, HWND control, BOOL previous);
BOOL MapDialogRect(HWND dialog, LPRECT rect);
LRESULT SendDlgItemMessageW(HWND dialog, int id, UINT message, WPARAM wParam, LPARAM lParam);
BOOL SetDlgItemTextW(HWND dialog, int id, LPCWSTR text);
#define SendDlgItemMessage SendDlgItemMessageW
#define SetDlgItemText SetDlgItemTextW

// Window state and placement.
BOOL IsIconic(HWND hwnd);
BOOL IsZoomed(HWND hwnd);
BOOL GetWindowPlacement(HWND hwnd, WINDOWPLACEMENT* placement);
BOOL SetWindowPlacement(HWND hwnd, const WINDOWPLACEMENT* placement);
HWND GetWindow(HWND hwnd, UINT relation);
constexpr UINT GW_OWNER = 4;
// One window at a time: its painting waits until the lock is lifted, which
// then repaints it whole. Null lifts the lock.
BOOL LockWindowUpdate(HWND hwnd);

// Templates of dialogs and form views, registered by id. Coordinates are
// dialog units of fixed base units (a horizontal unit is 6/4 pixel, a
// vertical one 13/8), so layouts never depend on the font.
struct DialogItemTemplate {
  int id = 0;
  std::u16string className; // "Edit", "ListBox", "SysListView32", or a class of the program
  DWORD style = 0;          // WS_CHILD is implied
  DWORD exStyle = 0;
  RECT rect;                // dialog units, in the dialog's client area
  std::u16string text;
};

struct DialogTemplate {
  UINT id = 0;
  DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
  DWORD exStyle = 0;
  SIZE size;                // the client area, dialog units
  std::u16string caption;
  std::u16string fontFace = u"MS Shell Dlg";
  int fontPoints = 8;
  std::vector<DialogItemTemplate> items; // in tab order
};

namespace platform {
// Refuses (false, with the reason) a template that names a control id twice
// (IDC_STATIC excepted), places a control outside its client area or gives
// one an inverted rectangle. A template of a registered id replaces it.
bool RegisterDialogTemplate(const DialogTemplate& dialog, std::string* error = nullptr);
const DialogTemplate* FindDialogTemplate(UINT id);
// Dialog units to pixels with the fixed base units.
RECT DialogUnitsToPixels(const RECT& units);
SIZE DialogUnitsToPixels(SIZE units);
} // namespace platform
