// Menus (trees of items the layer keeps), menu bars, pop-up menus through
// the menu driver, accelerator tables and their translation, the resource
// tables of menus, accelerators and strings, and the framework's CMenu and
// CCmdUI.

#include "platform/afx/AfxMenu.h"
#include "platform/core/Controls.h"
#include "platform/core/Handles.h"

#include <map>
#include <mutex>

namespace platform::core {
namespace {

// The menu bar's band between the frame's border and its client area.
constexpr int kMenuBarHeight = 20;
constexpr UINT kStateBits = MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_POPUP | MF_SEPARATOR | MF_DEFAULT;
constexpr UINT kNoItem = 0xFFFFFFFF;

struct MenuItem {
  UINT id = 0;
  std::u16string text;
  UINT flags = 0;
  HMENU submenu = nullptr;
};

struct MenuRecord {
  bool popup = false;
  std::vector<MenuItem> items;
  std::unique_ptr<CMenu> wrapper;
};

std::recursive_mutex g_menuMutex;
HandleTable<MenuRecord>& Menus() {
  static auto* table = new HandleTable<MenuRecord>;
  return *table;
}
HandleTable<std::vector<ACCEL>>& Accelerators() {
  static auto* table = new HandleTable<std::vector<ACCEL>>;
  return *table;
}

struct Resources {
  std::mutex mutex;
  std::map<UINT, std::vector<MenuTemplateItem>> menus;
  std::map<UINT, std::vector<ACCEL>> accelerators;
  std::map<UINT, std::u16string> strings;
};
Resources& Tables() {
  static auto* tables = new Resources;
  return *tables;
}

std::uintptr_t Key(const void* handle) { return reinterpret_cast<std::uintptr_t>(handle); }
MenuRecord* MenuOf(HMENU menu) { return Menus().Get(Key(menu)); }

// The item named by position or by command (searched through submenus);
// `owner` receives the menu holding it.
MenuItem* FindItem(HMENU menu, UINT item, UINT flags, MenuRecord** owner = nullptr) {
  MenuRecord* r = MenuOf(menu);
  if (!r) return nullptr;
  if (flags & MF_BYPOSITION) {
    if (item >= r->items.size()) return nullptr;
    if (owner) *owner = r;
    return &r->items[item];
  }
  for (MenuItem& i : r->items) {
    if (!(i.flags & MF_POPUP) && !(i.flags & MF_SEPARATOR) && i.id == item) {
      if (owner) *owner = r;
      return &i;
    }
  }
  for (MenuItem& i : r->items) {
    if (i.flags & MF_POPUP) {
      if (MenuItem* found = FindItem(i.submenu, item, flags, owner)) return found;
    }
  }
  return nullptr;
}

MenuItem MakeItem(UINT flags, UINT_PTR item, LPCWSTR text) {
  MenuItem i;
  i.flags = flags & kStateBits;
  if (flags & MF_POPUP) {
    i.submenu = reinterpret_cast<HMENU>(item);
  } else if (!(flags & MF_SEPARATOR)) {
    i.id = static_cast<UINT>(item);
  }
  if (text && !(flags & MF_SEPARATOR)) i.text = text;
  return i;
}

HMENU NewMenu(bool popup) {
  auto r = std::make_unique<MenuRecord>();
  r->popup = popup;
  std::lock_guard lock(g_menuMutex);
  return reinterpret_cast<HMENU>(Menus().Add(std::move(r)));
}

HMENU BuildMenu(const std::vector<MenuTemplateItem>& items, bool popup) {
  const HMENU menu = NewMenu(popup);
  for (const MenuTemplateItem& t : items) {
    if (!t.items.empty()) {
      AppendMenuW(menu, MF_POPUP | (t.flags & kStateBits), reinterpret_cast<UINT_PTR>(BuildMenu(t.items, true)),
                  t.text.c_str());
    } else if (t.id == 0 && t.text.empty()) {
      AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    } else {
      AppendMenuW(menu, t.flags & kStateBits, t.id, t.text.c_str());
    }
  }
  return menu;
}

UINT ResourceId(LPCWSTR name) {
  const auto value = reinterpret_cast<std::uintptr_t>(name);
  return value < 0x10000 ? static_cast<UINT>(value) : 0;
}

// The pop-up of the window's menu bar that holds the command (and its
// position in the bar), for WM_INITMENUPOPUP before an accelerator.
HMENU BarPopupOf(HMENU bar, UINT command, int& position) {
  MenuRecord* r = MenuOf(bar);
  if (!r) return nullptr;
  for (std::size_t i = 0; i < r->items.size(); ++i) {
    const MenuItem& item = r->items[i];
    if ((item.flags & MF_POPUP) && FindItem(item.submenu, command, MF_BYCOMMAND)) {
      position = static_cast<int>(i);
      return item.submenu;
    }
  }
  return nullptr;
}

bool Pressed(int vk) { return (GetAsyncKeyState(vk) & 0x8000) != 0; }

} // namespace

bool AttachMenuBar(HWND hwnd, HMENU menu, bool notify) {
  WindowRecord* r = Record(hwnd);
  if (!r || r->parent || (menu && !IsMenu(menu))) return false;
  // The back end learns of the bar first, so the client area it places
  // below the bar matches the layer's.
  if (IUiServices* services = UiServices()) services->SetMenuBar(hwnd, menu);
  r->menu = menu;
  const int height = menu ? kMenuBarHeight : 0;
  if (height == r->menuHeight) return true;
  r->menuHeight = height;
  if (!notify) return true;
  SyncGeometry(*r);
  RECT client;
  GetClientRect(hwnd, &client);
  CallWindowProc(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
  InvalidateRect(hwnd, nullptr, TRUE);
  return true;
}

void MenuPopupShowing(HWND hwnd, HMENU popup, int index) {
  if (IsLiveWindow(hwnd) && IsMenu(popup)) {
    SendMessageW(hwnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), MAKELPARAM(index, 0));
  }
}

void MenuCommandChosen(HWND hwnd, UINT id) {
  if (id) PostMessageW(hwnd, WM_COMMAND, id, 0);
}

} // namespace platform::core

using namespace platform::core;

HMENU CreateMenu() { return NewMenu(false); }
HMENU CreatePopupMenu() { return NewMenu(true); }

BOOL IsMenu(HMENU menu) {
  std::lock_guard lock(g_menuMutex);
  return MenuOf(menu) ? TRUE : FALSE;
}

BOOL DestroyMenu(HMENU menu) {
  std::unique_ptr<MenuRecord> gone;
  {
    std::lock_guard lock(g_menuMutex);
    gone = Menus().Remove(Key(menu));
  }
  if (!gone) return FALSE;
  for (const MenuItem& item : gone->items) {
    if (item.flags & MF_POPUP) DestroyMenu(item.submenu);
  }
  return TRUE;
}

BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR item, LPCWSTR text) {
  return InsertMenuW(menu, kNoItem, flags | MF_BYPOSITION, item, text);
}

BOOL InsertMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR item, LPCWSTR text) {
  std::lock_guard lock(g_menuMutex);
  MenuRecord* r = MenuOf(menu);
  if (!r || ((flags & MF_POPUP) && !MenuOf(reinterpret_cast<HMENU>(item)))) return FALSE;
  MenuRecord* into = r;
  std::size_t at = r->items.size();
  if (flags & MF_BYPOSITION) {
    at = std::min<std::size_t>(position, r->items.size());
  } else if (position != kNoItem) {
    MenuItem* before = FindItem(menu, position, MF_BYCOMMAND, &into);
    if (!before) return FALSE;
    at = static_cast<std::size_t>(before - into->items.data());
  }
  into->items.insert(into->items.begin() + static_cast<std::ptrdiff_t>(at), MakeItem(flags, item, text));
  return TRUE;
}

BOOL ModifyMenuW(HMENU menu, UINT position, UINT flags, UINT_PTR item, LPCWSTR text) {
  std::lock_guard lock(g_menuMutex);
  MenuItem* found = FindItem(menu, position, flags);
  if (!found || ((flags & MF_POPUP) && !MenuOf(reinterpret_cast<HMENU>(item)))) return FALSE;
  const HMENU oldSubmenu = (found->flags & MF_POPUP) ? found->submenu : nullptr;
  *found = MakeItem(flags, item, text);
  // A submenu the item no longer shows is gone with it, as DeleteMenu would.
  if (oldSubmenu && oldSubmenu != found->submenu) DestroyMenu(oldSubmenu);
  return TRUE;
}

BOOL RemoveMenu(HMENU menu, UINT position, UINT flags) {
  std::lock_guard lock(g_menuMutex);
  MenuRecord* owner = nullptr;
  MenuItem* found = FindItem(menu, position, flags, &owner);
  if (!found) return FALSE;
  owner->items.erase(owner->items.begin() + (found - owner->items.data()));
  return TRUE;
}

BOOL DeleteMenu(HMENU menu, UINT position, UINT flags) {
  HMENU submenu = nullptr;
  {
    std::lock_guard lock(g_menuMutex);
    MenuItem* found = FindItem(menu, position, flags);
    if (!found) return FALSE;
    if (found->flags & MF_POPUP) submenu = found->submenu;
  }
  if (!RemoveMenu(menu, position, flags)) return FALSE;
  if (submenu) DestroyMenu(submenu);
  return TRUE;
}

DWORD EnableMenuItem(HMENU menu, UINT item, UINT flags) {
  std::lock_guard lock(g_menuMutex);
  MenuItem* found = FindItem(menu, item, flags);
  if (!found) return kNoItem;
  const DWORD before = found->flags & (MF_GRAYED | MF_DISABLED);
  found->flags = (found->flags & ~(MF_GRAYED | MF_DISABLED)) | (flags & (MF_GRAYED | MF_DISABLED));
  return before;
}

DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags) {
  std::lock_guard lock(g_menuMutex);
  MenuItem* found = FindItem(menu, item, flags);
  if (!found) return kNoItem;
  const DWORD before = found->flags & MF_CHECKED;
  found->flags = (found->flags & ~MF_CHECKED) | (flags & MF_CHECKED);
  return before;
}

int GetMenuItemCount(HMENU menu) {
  std::lock_guard lock(g_menuMutex);
  MenuRecord* r = MenuOf(menu);
  return r ? static_cast<int>(r->items.size()) : -1;
}

UINT GetMenuItemID(HMENU menu, int position) {
  std::lock_guard lock(g_menuMutex);
  MenuItem* found = position < 0 ? nullptr : FindItem(menu, static_cast<UINT>(position), MF_BYPOSITION);
  if (!found || (found->flags & MF_POPUP)) return kNoItem;
  return found->id;
}

HMENU GetSubMenu(HMENU menu, int position) {
  std::lock_guard lock(g_menuMutex);
  MenuItem* found = position < 0 ? nullptr : FindItem(menu, static_cast<UINT>(position), MF_BYPOSITION);
  return found && (found->flags & MF_POPUP) ? found->submenu : nullptr;
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
  std::lock_guard lock(g_menuMutex);
  MenuItem* found = FindItem(menu, item, flags);
  return found ? found->flags : kNoItem;
}

int GetMenuStringW(HMENU menu, UINT item, LPWSTR buffer, int maxCount, UINT flags) {
  std::lock_guard lock(g_menuMutex);
  MenuItem* found = FindItem(menu, item, flags);
  if (!found) return 0;
  if (!buffer || maxCount <= 0) return static_cast<int>(found->text.size());
  const int n = std::min(static_cast<int>(found->text.size()), maxCount - 1);
  std::copy_n(found->text.data(), n, buffer);
  buffer[n] = 0;
  return n;
}

BOOL SetMenuDefaultItem(HMENU menu, UINT item, UINT byPosition) {
  std::lock_guard lock(g_menuMutex);
  MenuRecord* r = MenuOf(menu);
  if (!r) return FALSE;
  MenuItem* found = item == kNoItem ? nullptr : FindItem(menu, item, byPosition ? MF_BYPOSITION : MF_BYCOMMAND);
  if (item != kNoItem && !found) return FALSE;
  for (MenuItem& i : r->items) i.flags &= ~MF_DEFAULT;
  if (found) found->flags |= MF_DEFAULT;
  return TRUE;
}

UINT GetMenuDefaultItem(HMENU menu, UINT byPosition, UINT) {
  std::lock_guard lock(g_menuMutex);
  MenuRecord* r = MenuOf(menu);
  if (!r) return kNoItem;
  for (std::size_t i = 0; i < r->items.size(); ++i) {
    if (r->items[i].flags & MF_DEFAULT) return byPosition ? static_cast<UINT>(i) : r->items[i].id;
  }
  return kNoItem;
}

BOOL SetMenu(HWND hwnd, HMENU menu) {
  if (!WindowCallAllowed("SetMenu")) return FALSE;
  return AttachMenuBar(hwnd, menu, true) ? TRUE : FALSE;
}

HMENU GetMenu(HWND hwnd) {
  WindowRecord* r = IsGuiThread() ? Record(hwnd) : nullptr;
  return r && IsMenu(r->menu) ? r->menu : nullptr;
}

BOOL DrawMenuBar(HWND hwnd) {
  WindowRecord* r = IsGuiThread() ? Record(hwnd) : nullptr;
  if (!r) return FALSE;
  if (IUiServices* services = UiServices()) services->SetMenuBar(hwnd, GetMenu(hwnd));
  return TRUE;
}

BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int, HWND owner, const RECT*) {
  if (!WindowCallAllowed("TrackPopupMenu") || !IsMenu(menu) || !IsLiveWindow(owner)) return FALSE;
  if (!(flags & TPM_NONOTIFY)) {
    SendMessageW(owner, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
    if (!IsMenu(menu) || !IsLiveWindow(owner)) return FALSE;
  }
  UINT chosen = 0;
  if (IMenuDriver* driver = MenuDriver()) {
    chosen = driver->Track(menu, flags, {x, y}, owner);
  } else if (IUiServices* services = UiServices()) {
    chosen = services->TrackPopupMenu(menu, flags, {x, y}, owner);
  }
  // Only an enabled command can be chosen.
  if (chosen && (GetMenuState(menu, chosen, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED | MF_POPUP | MF_SEPARATOR))) {
    chosen = 0;
  }
  if (flags & TPM_RETURNCMD) return static_cast<BOOL>(chosen);
  // The command runs after the call returns.
  if (chosen) PostMessageW(owner, WM_COMMAND, chosen, 0);
  return chosen ? TRUE : FALSE;
}

HACCEL CreateAcceleratorTableW(const ACCEL* entries, int count) {
  if (!entries || count <= 0) return nullptr;
  auto table = std::make_unique<std::vector<ACCEL>>(entries, entries + count);
  std::lock_guard lock(g_menuMutex);
  return reinterpret_cast<HACCEL>(Accelerators().Add(std::move(table)));
}

BOOL DestroyAcceleratorTable(HACCEL table) {
  std::lock_guard lock(g_menuMutex);
  return Accelerators().Remove(Key(table)) ? TRUE : FALSE;
}

int TranslateAcceleratorW(HWND hwnd, HACCEL table, LPMSG msg) {
  if (!msg || !IsGuiThread() || !IsLiveWindow(hwnd)) return 0;
  if (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN) return 0;
  if (!IsWindowEnabled(hwnd)) return 0;
  BYTE modifiers = FVIRTKEY;
  if (Pressed(VK_CONTROL)) modifiers |= FCONTROL;
  if (Pressed(VK_SHIFT)) modifiers |= FSHIFT;
  if (msg->message == WM_SYSKEYDOWN || Pressed(VK_MENU)) modifiers |= FALT;
  WORD command = 0;
  {
    std::lock_guard lock(g_menuMutex);
    const std::vector<ACCEL>* entries = Accelerators().Get(Key(table));
    if (!entries) return 0;
    for (const ACCEL& a : *entries) {
      if ((a.fVirt & FVIRTKEY) && a.key == msg->wParam && (a.fVirt & (FVIRTKEY | FCONTROL | FSHIFT | FALT)) == modifiers) {
        command = a.cmd;
        break;
      }
    }
  }
  if (!command) return 0;
  // A command of the menu is updated first and sent only when enabled.
  const HMENU bar = GetMenu(hwnd);
  int position = 0;
  if (const HMENU popup = bar ? BarPopupOf(bar, command, position) : nullptr) {
    SendMessageW(hwnd, WM_INITMENU, reinterpret_cast<WPARAM>(bar), 0);
    MenuPopupShowing(hwnd, popup, position);
    if (GetMenuState(bar, command, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED)) return 1;
  }
  if (IsLiveWindow(hwnd)) SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(command, 1), 0);
  return 1;
}

HMENU LoadMenuW(HINSTANCE, LPCWSTR name) {
  std::vector<MenuTemplateItem> items;
  {
    Resources& t = Tables();
    std::lock_guard lock(t.mutex);
    auto it = t.menus.find(ResourceId(name));
    if (it == t.menus.end()) return nullptr;
    items = it->second;
  }
  return BuildMenu(items, false);
}

HACCEL LoadAcceleratorsW(HINSTANCE, LPCWSTR name) {
  std::vector<ACCEL> entries;
  {
    Resources& t = Tables();
    std::lock_guard lock(t.mutex);
    auto it = t.accelerators.find(ResourceId(name));
    if (it == t.accelerators.end()) return nullptr;
    entries = it->second;
  }
  return CreateAcceleratorTableW(entries.data(), static_cast<int>(entries.size()));
}

int LoadStringW(HINSTANCE, UINT id, LPWSTR buffer, int maxCount) {
  Resources& t = Tables();
  std::lock_guard lock(t.mutex);
  auto it = t.strings.find(id);
  if (it == t.strings.end() || !buffer || maxCount <= 0) return 0;
  const int n = std::min(static_cast<int>(it->second.size()), maxCount - 1);
  std::copy_n(it->second.data(), n, buffer);
  buffer[n] = 0;
  return n;
}

namespace platform {
void RegisterMenuTemplate(UINT id, std::vector<MenuTemplateItem> items) {
  Resources& t = core::Tables();
  std::lock_guard lock(t.mutex);
  t.menus[id] = std::move(items);
}
void RegisterAcceleratorTable(UINT id, std::vector<ACCEL> entries) {
  Resources& t = core::Tables();
  std::lock_guard lock(t.mutex);
  t.accelerators[id] = std::move(entries);
}
void RegisterStringResource(UINT id, std::u16string text) {
  Resources& t = core::Tables();
  std::lock_guard lock(t.mutex);
  t.strings[id] = std::move(text);
}
} // namespace platform

// ---- CMenu and CCmdUI ------------------------------------------------------------

CMenu::~CMenu() {
  if (!m_borrowed) DestroyMenu();
}

CMenu* CMenu::FromHandle(HMENU menu) {
  std::lock_guard lock(g_menuMutex);
  MenuRecord* r = MenuOf(menu);
  if (!r) return nullptr;
  if (!r->wrapper) {
    r->wrapper = std::make_unique<CMenu>();
    r->wrapper->m_hMenu = menu;
    r->wrapper->m_borrowed = true;
  }
  return r->wrapper.get();
}

BOOL CMenu::Attach(HMENU menu) {
  if (m_hMenu || !IsMenu(menu)) return FALSE;
  m_hMenu = menu;
  return TRUE;
}

HMENU CMenu::Detach() { return std::exchange(m_hMenu, nullptr); }
BOOL CMenu::CreateMenu() { return Attach(::CreateMenu()); }
BOOL CMenu::CreatePopupMenu() { return Attach(::CreatePopupMenu()); }
BOOL CMenu::LoadMenu(UINT resourceId) { return Attach(::LoadMenuW(nullptr, MAKEINTRESOURCEW(static_cast<int>(resourceId)))); }
BOOL CMenu::DestroyMenu() {
  if (!m_hMenu || m_borrowed) return FALSE;
  return ::DestroyMenu(std::exchange(m_hMenu, nullptr));
}
BOOL CMenu::AppendMenu(UINT flags, UINT_PTR item, LPCWSTR text) { return ::AppendMenuW(m_hMenu, flags, item, text); }
BOOL CMenu::InsertMenu(UINT position, UINT flags, UINT_PTR item, LPCWSTR text) {
  return ::InsertMenuW(m_hMenu, position, flags, item, text);
}
BOOL CMenu::ModifyMenu(UINT position, UINT flags, UINT_PTR item, LPCWSTR text) {
  return ::ModifyMenuW(m_hMenu, position, flags, item, text);
}
BOOL CMenu::RemoveMenu(UINT position, UINT flags) { return ::RemoveMenu(m_hMenu, position, flags); }
BOOL CMenu::DeleteMenu(UINT position, UINT flags) { return ::DeleteMenu(m_hMenu, position, flags); }
UINT CMenu::EnableMenuItem(UINT item, UINT flags) { return ::EnableMenuItem(m_hMenu, item, flags); }
UINT CMenu::CheckMenuItem(UINT item, UINT flags) { return ::CheckMenuItem(m_hMenu, item, flags); }
UINT CMenu::GetMenuItemCount() const { return static_cast<UINT>(::GetMenuItemCount(m_hMenu)); }
UINT CMenu::GetMenuItemID(int position) const { return ::GetMenuItemID(m_hMenu, position); }
UINT CMenu::GetMenuState(UINT item, UINT flags) const { return ::GetMenuState(m_hMenu, item, flags); }
int CMenu::GetMenuString(UINT item, std::u16string& text, UINT flags) const {
  const int n = ::GetMenuStringW(m_hMenu, item, nullptr, 0, flags);
  text.assign(static_cast<std::size_t>(n) + 1, u'\0');
  text.resize(static_cast<std::size_t>(::GetMenuStringW(m_hMenu, item, text.data(), n + 1, flags)));
  return static_cast<int>(text.size());
}
CMenu* CMenu::GetSubMenu(int position) const { return FromHandle(::GetSubMenu(m_hMenu, position)); }
BOOL CMenu::SetDefaultItem(UINT item, BOOL byPosition) { return ::SetMenuDefaultItem(m_hMenu, item, byPosition); }
UINT CMenu::GetDefaultItem(UINT flags, BOOL byPosition) const { return ::GetMenuDefaultItem(m_hMenu, byPosition, flags); }
BOOL CMenu::TrackPopupMenu(UINT flags, int x, int y, CWnd* wnd, LPCRECT rect) {
  return ::TrackPopupMenu(m_hMenu, flags, x, y, 0, wnd ? wnd->m_hWnd : nullptr, rect);
}

void CCmdUI::Enable(BOOL on) {
  m_bEnabled = on;
  m_bEnableChanged = TRUE;
  if (m_pMenu) m_pMenu->EnableMenuItem(m_nIndex, MF_BYPOSITION | (on ? MF_ENABLED : MF_GRAYED));
  if (m_pOther) m_pOther->EnableWindow(on);
}

void CCmdUI::SetCheck(int check) {
  if (m_pMenu) m_pMenu->CheckMenuItem(m_nIndex, MF_BYPOSITION | (check ? MF_CHECKED : MF_UNCHECKED));
}

void CCmdUI::SetText(LPCWSTR text) {
  if (!m_pMenu) return;
  const UINT state = m_pMenu->GetMenuState(m_nIndex, MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_DEFAULT);
  m_pMenu->ModifyMenu(m_nIndex, MF_BYPOSITION | MF_STRING | state, m_nID, text);
}

void CCmdUI::DoUpdate(CCmdTarget* target, BOOL disableIfNoHandler) {
  if (!target) return;
  m_bEnableChanged = FALSE;
  if (target->OnCmdMsg(m_nID, CN_UPDATE_COMMAND_UI, 0, reinterpret_cast<LPARAM>(this), nullptr)) return;
  if (disableIfNoHandler && !m_bEnableChanged) Enable(target->OnCmdMsg(m_nID, CN_COMMAND_QUERY, 0, 0, nullptr));
}

CMenu* CWnd::GetMenu() const { return CMenu::FromHandle(::GetMenu(m_hWnd)); }
BOOL CWnd::SetMenu(CMenu* menu) { return ::SetMenu(m_hWnd, menu ? menu->m_hMenu : nullptr); }
void CWnd::DrawMenuBar() { ::DrawMenuBar(m_hWnd); }
