// The framework's tree control, Qt-free: a thin object over the layer's tree
// view ("SysTreeView32").
#pragma once

#include "platform/afx/AfxWin.h"
#include "platform/win/WinTreeView.h"

#include <string>

class CTreeCtrl : public CWnd {
public:
  using CWnd::Create;
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create(WC_TREEVIEW, u"", style | WS_CHILD, rect, parent, id);
  }

  HTREEITEM InsertItem(const TVINSERTSTRUCTW* insert) {
    return reinterpret_cast<HTREEITEM>(SendMessage(TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(insert)));
  }
  HTREEITEM InsertItem(LPCWSTR text, HTREEITEM parent = TVI_ROOT, HTREEITEM after = TVI_LAST) {
    TVINSERTSTRUCTW insert;
    insert.hParent = parent;
    insert.hInsertAfter = after;
    insert.item.mask = TVIF_TEXT;
    insert.item.pszText = const_cast<LPWSTR>(text);
    return InsertItem(&insert);
  }
  BOOL DeleteItem(HTREEITEM item) { return Bool(SendMessage(TVM_DELETEITEM, 0, Item(item))); }
  BOOL DeleteAllItems() { return Bool(SendMessage(TVM_DELETEITEM, 0, Item(TVI_ROOT))); }
  BOOL Expand(HTREEITEM item, UINT code) { return Bool(SendMessage(TVM_EXPAND, code, Item(item))); }
  UINT GetCount() const { return static_cast<UINT>(SendMessage(TVM_GETCOUNT)); }
  UINT GetVisibleCount() const { return static_cast<UINT>(SendMessage(TVM_GETVISIBLECOUNT)); }
  int GetItemHeight() const { return static_cast<int>(SendMessage(TVM_GETITEMHEIGHT)); }

  HIMAGELIST SetImageList(HIMAGELIST list, int kind) {
    return reinterpret_cast<HIMAGELIST>(SendMessage(TVM_SETIMAGELIST, static_cast<WPARAM>(kind), reinterpret_cast<LPARAM>(list)));
  }
  HIMAGELIST GetImageList(int kind) const {
    return reinterpret_cast<HIMAGELIST>(SendMessage(TVM_GETIMAGELIST, static_cast<WPARAM>(kind)));
  }

  HTREEITEM GetNextItem(HTREEITEM item, UINT code) const {
    return reinterpret_cast<HTREEITEM>(SendMessage(TVM_GETNEXTITEM, code, Item(item)));
  }
  HTREEITEM GetRootItem() const { return GetNextItem(nullptr, TVGN_ROOT); }
  HTREEITEM GetChildItem(HTREEITEM item) const { return GetNextItem(item, TVGN_CHILD); }
  HTREEITEM GetNextSiblingItem(HTREEITEM item) const { return GetNextItem(item, TVGN_NEXT); }
  HTREEITEM GetPrevSiblingItem(HTREEITEM item) const { return GetNextItem(item, TVGN_PREVIOUS); }
  HTREEITEM GetParentItem(HTREEITEM item) const { return GetNextItem(item, TVGN_PARENT); }
  HTREEITEM GetFirstVisibleItem() const { return GetNextItem(nullptr, TVGN_FIRSTVISIBLE); }
  HTREEITEM GetNextVisibleItem(HTREEITEM item) const { return GetNextItem(item, TVGN_NEXTVISIBLE); }
  HTREEITEM GetSelectedItem() const { return GetNextItem(nullptr, TVGN_CARET); }
  HTREEITEM GetDropHilightItem() const { return GetNextItem(nullptr, TVGN_DROPHILITE); }
  BOOL ItemHasChildren(HTREEITEM item) const { return GetChildItem(item) != nullptr; }

  BOOL Select(HTREEITEM item, UINT code) { return Bool(SendMessage(TVM_SELECTITEM, code, Item(item))); }
  BOOL SelectItem(HTREEITEM item) { return Select(item, TVGN_CARET); }
  BOOL SelectDropTarget(HTREEITEM item) { return Select(item, TVGN_DROPHILITE); }
  BOOL SelectSetFirstVisible(HTREEITEM item) { return Select(item, TVGN_FIRSTVISIBLE); }
  BOOL EnsureVisible(HTREEITEM item) { return Bool(SendMessage(TVM_ENSUREVISIBLE, 0, Item(item))); }

  BOOL GetItem(TVITEMW* item) const { return Bool(SendMessage(TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(item))); }
  BOOL SetItem(const TVITEMW* item) { return Bool(SendMessage(TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(item))); }
  std::u16string GetItemText(HTREEITEM handle) const {
    WCHAR buffer[1024] = {};
    TVITEMW item;
    item.mask = TVIF_TEXT;
    item.hItem = handle;
    item.pszText = buffer;
    item.cchTextMax = 1024;
    return GetItem(&item) ? std::u16string(buffer) : std::u16string();
  }
  BOOL SetItemText(HTREEITEM handle, LPCWSTR text) {
    TVITEMW item;
    item.mask = TVIF_TEXT;
    item.hItem = handle;
    item.pszText = const_cast<LPWSTR>(text);
    return SetItem(&item);
  }
  DWORD_PTR GetItemData(HTREEITEM handle) const {
    TVITEMW item;
    item.mask = TVIF_PARAM;
    item.hItem = handle;
    return GetItem(&item) ? static_cast<DWORD_PTR>(item.lParam) : 0;
  }
  BOOL SetItemData(HTREEITEM handle, DWORD_PTR data) {
    TVITEMW item;
    item.mask = TVIF_PARAM;
    item.hItem = handle;
    item.lParam = static_cast<LPARAM>(data);
    return SetItem(&item);
  }
  UINT GetItemState(HTREEITEM handle, UINT mask) const {
    TVITEMW item;
    item.mask = TVIF_STATE;
    item.hItem = handle;
    item.stateMask = mask;
    return GetItem(&item) ? (item.state & mask) : 0;
  }
  BOOL SetItemState(HTREEITEM handle, UINT state, UINT mask) {
    TVITEMW item;
    item.mask = TVIF_STATE;
    item.hItem = handle;
    item.state = state;
    item.stateMask = mask;
    return SetItem(&item);
  }
  BOOL GetItemRect(HTREEITEM handle, LPRECT rect, BOOL textOnly) const {
    if (!rect) return FALSE;
    *reinterpret_cast<HTREEITEM*>(rect) = handle;
    return Bool(SendMessage(TVM_GETITEMRECT, static_cast<WPARAM>(textOnly), reinterpret_cast<LPARAM>(rect)));
  }
  HTREEITEM HitTest(CPoint point, UINT* flags = nullptr) const {
    TVHITTESTINFO info;
    info.pt = point;
    const auto item = reinterpret_cast<HTREEITEM>(SendMessage(TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&info)));
    if (flags) *flags = info.flags;
    return item;
  }
  BOOL SortChildren(HTREEITEM item) { return Bool(SendMessage(TVM_SORTCHILDREN, 0, Item(item))); }
  BOOL SortChildrenCB(const TVSORTCB* sort) {
    return Bool(SendMessage(TVM_SORTCHILDRENCB, 0, reinterpret_cast<LPARAM>(sort)));
  }
  CEdit* EditLabel(HTREEITEM item) {
    const auto edit = reinterpret_cast<HWND>(SendMessage(TVM_EDITLABELW, 0, Item(item)));
    return edit ? static_cast<CEdit*>(CWnd::FromHandle(edit)) : nullptr;
  }
  CEdit* GetEditControl() const {
    const auto edit = reinterpret_cast<HWND>(SendMessage(TVM_GETEDITCONTROL));
    return edit ? static_cast<CEdit*>(CWnd::FromHandle(edit)) : nullptr;
  }
  BOOL EndEditLabelNow(BOOL cancel) { return Bool(SendMessage(TVM_ENDEDITLABELNOW, static_cast<WPARAM>(cancel))); }

private:
  static BOOL Bool(LRESULT r) { return r != 0 ? TRUE : FALSE; }
  static LPARAM Item(HTREEITEM item) { return reinterpret_cast<LPARAM>(item); }
};
