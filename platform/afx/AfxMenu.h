#pragma once
// Menus and command update of the framework, Qt-free: CMenu over the
// layer's menus (WinMenus.h) and CCmdUI, which update handlers
// (ON_UPDATE_COMMAND_UI) use to enable, check and caption a command's menu
// item. Frames run the update handlers of a pop-up before it shows and of a
// command before its accelerator sends it.

#include "platform/afx/AfxWin.h"
#include "platform/win/WinMenus.h"

#include <string>

class CMenu {
public:
  CMenu() = default;
  // Destroys an attached menu (not one taken from FromHandle).
  virtual ~CMenu();
  CMenu(const CMenu&) = delete;
  CMenu& operator=(const CMenu&) = delete;

  // A wrapper the layer keeps for the menu's life (null for a stale handle).
  static CMenu* FromHandle(HMENU menu);
  HMENU GetSafeHmenu() const { return m_hMenu; }
  operator HMENU() const { return m_hMenu; }
  BOOL Attach(HMENU menu);
  HMENU Detach();

  BOOL CreateMenu();
  BOOL CreatePopupMenu();
  BOOL LoadMenu(UINT resourceId);
  BOOL DestroyMenu();

  BOOL AppendMenu(UINT flags, UINT_PTR item = 0, LPCWSTR text = nullptr);
  BOOL InsertMenu(UINT position, UINT flags, UINT_PTR item = 0, LPCWSTR text = nullptr);
  BOOL ModifyMenu(UINT position, UINT flags, UINT_PTR item = 0, LPCWSTR text = nullptr);
  BOOL RemoveMenu(UINT position, UINT flags);
  BOOL DeleteMenu(UINT position, UINT flags);
  UINT EnableMenuItem(UINT item, UINT flags);
  UINT CheckMenuItem(UINT item, UINT flags);
  UINT GetMenuItemCount() const;
  UINT GetMenuItemID(int position) const;
  UINT GetMenuState(UINT item, UINT flags) const;
  int GetMenuString(UINT item, std::u16string& text, UINT flags) const;
  CMenu* GetSubMenu(int position) const;
  BOOL SetDefaultItem(UINT item, BOOL byPosition = FALSE);
  UINT GetDefaultItem(UINT flags, BOOL byPosition = FALSE) const;
  // The chosen command with TPM_RETURNCMD, else TRUE (the command is posted
  // to the window).
  BOOL TrackPopupMenu(UINT flags, int x, int y, CWnd* wnd, LPCRECT rect = nullptr);

  HMENU m_hMenu = nullptr;

private:
  bool m_borrowed = false;
  friend struct MenuWrappers;
};

// The state of one command as an update handler sets it.
class CCmdUI {
public:
  virtual ~CCmdUI() = default;
  virtual void Enable(BOOL on = TRUE);
  virtual void SetCheck(int check = 1);
  virtual void SetRadio(BOOL on = TRUE) { SetCheck(on ? 1 : 0); }
  virtual void SetText(LPCWSTR text);
  // Runs the target's update handler; without one, and when asked, the item
  // is enabled only if the target has a command handler.
  void DoUpdate(CCmdTarget* target, BOOL disableIfNoHandler);

  UINT m_nID = 0;
  UINT m_nIndex = 0;
  UINT m_nIndexMax = 0;
  CMenu* m_pMenu = nullptr;    // the pop-up holding the item, or null
  CMenu* m_pSubMenu = nullptr;
  CWnd* m_pOther = nullptr;
  BOOL m_bEnableChanged = FALSE;
  BOOL m_bContinueRouting = FALSE;
  // What the handler decided (also without a menu: accelerators read it).
  BOOL m_bEnabled = TRUE;
};
