#pragma once
// Owner drawing: a control whose content its owner draws sends its parent
// WM_DRAWITEM with a DRAWITEMSTRUCT when it paints; the framework reflects it
// to the control's own DrawItem. Qt-free.

#include "platform/win/WinGdi.h"

constexpr UINT WM_DRAWITEM = 0x002B;

// Control kinds.
constexpr UINT ODT_MENU = 1;
constexpr UINT ODT_LISTBOX = 2;
constexpr UINT ODT_COMBOBOX = 3;
constexpr UINT ODT_BUTTON = 4;
constexpr UINT ODT_STATIC = 5;

// What to draw.
constexpr UINT ODA_DRAWENTIRE = 0x0001;
constexpr UINT ODA_SELECT = 0x0002;
constexpr UINT ODA_FOCUS = 0x0004;

// The item's state.
constexpr UINT ODS_SELECTED = 0x0001; // a button: pressed
constexpr UINT ODS_GRAYED = 0x0002;
constexpr UINT ODS_DISABLED = 0x0004;
constexpr UINT ODS_CHECKED = 0x0008;
constexpr UINT ODS_FOCUS = 0x0010;

// Valid during the WM_DRAWITEM call; hDC is the control's paint DC.
struct DRAWITEMSTRUCT {
  UINT CtlType = 0;
  UINT CtlID = 0;
  UINT itemID = 0;
  UINT itemAction = 0;
  UINT itemState = 0;
  HWND hwndItem = nullptr;
  HDC hDC = nullptr;
  RECT rcItem;
  UINT_PTR itemData = 0;
};
using LPDRAWITEMSTRUCT = DRAWITEMSTRUCT*;
