#pragma once
// Menus, accelerator tables and string resources. A menu is a tree the
// layer keeps (items with an id, a text whose part after a tab is only
// shown, flags and an optional submenu); a frame's menu bar shows it and a
// pop-up shows it through the menu driver. Qt-free.

#include "platform/win/WinUser.h"

#include <string>
#include <vector>

struct HACCEL__;
using HACCEL = HACCEL__*;

constexpr UINT WM_INITMENU = 0x0116;
constexpr UINT WM_INITMENUPOPUP = 0x0117;
constexpr UINT WM_MENUSELECT = 0x011F;
constexpr UINT WM_UNINITMENUPOPUP = 0x0125;

// Item flags, and how an item is named (by command id or by position).
constexpr UINT MF_STRING = 0x0000;
constexpr UINT MF_ENABLED = 0x0000;
constexpr UINT MF_UNCHECKED = 0x0000;
constexpr UINT MF_BYCOMMAND = 0x0000;
constexpr UINT MF_GRAYED = 0x0001;
constexpr UINT MF_DISABLED = 0x0002;
constexpr UINT MF_CHECKED = 0x0008;
constexpr UINT MF_POPUP = 0x0010;
constexpr UINT MF_BYPOSITION = 0x0400;
constexpr UINT MF_SEPARATOR = 0x0800;
constexpr UINT MF_DEFAULT = 0x1000;
constexpr UINT MFS_GRAYED = 0x0003;
constexpr UINT MFS_DEFAULT = MF_DEFAULT;

// TrackPopupMenu.
constexpr UINT TPM_LEFTBUTTON = 0x0000;
constexpr UINT TPM_RIGHTBUTTON = 0x0002;
constexpr UINT TPM_LEFTALIGN = 0x0000;
constexpr UINT TPM_CENTERALIGN = 0x0004;
constexpr UINT TPM_RIGHTALIGN = 0x0008;
constexpr UINT TPM_TOPALIGN = 0x0000;
constexpr UINT TPM_VCENTERALIGN = 0x0010;
constexpr UINT TPM_BOTTOMALIGN = 0x0020;
constexpr UINT TPM_NONOTIFY = 0x0080;
constexpr UINT TPM_RETURNCMD = 0x0100;

HMENU CreateMenu();
HMENU CreatePopupMenu();
BOOL DestroyMenu(HMENU menu); // and its submenus
BOOL IsMenu(HMENU menu);
// `item` is a command id, or the submenu (MF_POPUP) cast to UINT_PTR.
BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR item, LPCWSTR text);
BOOL InsertMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR item, LPCWSTR text);
BOOL ModifyMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR item, LPCWSTR text);
// RemoveMenu keeps a removed submenu alive; DeleteMenu destroys it.
BOOL RemoveMenu(HMENU menu, UINT position, UINT flags);
BOOL DeleteMenu(HMENU menu, UINT position, UINT flags);
// Both answer the previous state, or -1 (0xFFFFFFFF) when there is no such item.
DWORD EnableMenuItem(HMENU menu, UINT item, UINT flags);
DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags);
int GetMenuItemCount(HMENU menu);
// The command id; -1 (0xFFFFFFFF) for a submenu, 0 for a separator.
UINT GetMenuItemID(HMENU menu, int position);
HMENU GetSubMenu(HMENU menu, int position);
UINT GetMenuState(HMENU menu, UINT item, UINT flags);
int GetMenuStringW(HMENU menu, UINT item, LPWSTR buffer, int maxCount, UINT flags);
BOOL SetMenuDefaultItem(HMENU menu, UINT item, UINT byPosition);
UINT GetMenuDefaultItem(HMENU menu, UINT byPosition, UINT flags);
BOOL SetMenu(HWND hwnd, HMENU menu);
HMENU GetMenu(HWND hwnd);
BOOL DrawMenuBar(HWND hwnd);
// Shows the pop-up at a screen point (through the menu driver). With
// TPM_RETURNCMD the chosen id is returned (0: none); otherwise it is posted
// to the owner as WM_COMMAND, so the command runs after the call returns.
BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner, const RECT* rect);
#define AppendMenu AppendMenuW
#define InsertMenu InsertMenuW
#define ModifyMenu ModifyMenuW
#define GetMenuString GetMenuStringW

// Accelerators: virtual keys with modifiers (the only kind built).
constexpr BYTE FVIRTKEY = 0x01;
constexpr BYTE FSHIFT = 0x04;
constexpr BYTE FCONTROL = 0x08;
constexpr BYTE FALT = 0x10;
#pragma pack(push, 2)
struct ACCEL {
  BYTE fVirt = 0;
  WORD key = 0;
  WORD cmd = 0;
};
#pragma pack(pop)
static_assert(sizeof(ACCEL) == 6);
HACCEL CreateAcceleratorTableW(const ACCEL* entries, int count);
BOOL DestroyAcceleratorTable(HACCEL table);
// For a key message of an entry of the table: when the command is an item of
// the window's menu, the window first gets WM_INITMENU and WM_INITMENUPOPUP
// (its update handlers run) and nothing more happens if the item is now
// disabled; otherwise WM_COMMAND (high word 1) is sent. TRUE: the key was an
// accelerator. A disabled window translates nothing.
int TranslateAcceleratorW(HWND hwnd, HACCEL table, LPMSG msg);
#define CreateAcceleratorTable CreateAcceleratorTableW
#define TranslateAccelerator TranslateAcceleratorW

// Resources by id: menus, accelerator tables and strings are registered by
// the program (the layer holds them as tables) and loaded by id.
HMENU LoadMenuW(HINSTANCE instance, LPCWSTR name);
HACCEL LoadAcceleratorsW(HINSTANCE instance, LPCWSTR name);
int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int maxCount);
#define LoadMenu LoadMenuW
#define LoadAccelerators LoadAcceleratorsW
#define LoadString LoadStringW

struct MenuTemplateItem {
  UINT id = 0;            // 0 with an empty text and no items: a separator
  std::u16string text;
  UINT flags = 0;         // MF_GRAYED, MF_CHECKED, MF_DEFAULT, MF_SEPARATOR
  std::vector<MenuTemplateItem> items; // not empty: a submenu
};

namespace platform {
void RegisterMenuTemplate(UINT id, std::vector<MenuTemplateItem> items);
void RegisterAcceleratorTable(UINT id, std::vector<ACCEL> entries);
void RegisterStringResource(UINT id, std::u16string text);
} // namespace platform
