// The framework's list box and list view, Qt-free: thin objects over the
// layer's controls ("ListBox", "SysListView32"), with the owner-drawing calls
// (DrawItem, MeasureItem) that the parent's WM_DRAWITEM and WM_MEASUREITEM
// reach first. The edit control's CEdit is in AfxWin.h.
#pragma once

#include "platform/afx/AfxDC.h"
#include "platform/afx/AfxWin.h"

#include <string>

class CListBox : public CWnd {
public:
  using CWnd::Create;
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create(WC_LISTBOX, u"", style | WS_CHILD, rect, parent, id);
  }
  int AddString(LPCWSTR text) { return Int(SendMessage(LB_ADDSTRING, 0, Text(text))); }
  int InsertString(int index, LPCWSTR text) { return Int(SendMessage(LB_INSERTSTRING, Index(index), Text(text))); }
  int DeleteString(UINT index) { return Int(SendMessage(LB_DELETESTRING, index)); }
  void ResetContent() { SendMessage(LB_RESETCONTENT); }
  int GetCount() const { return Int(SendMessage(LB_GETCOUNT)); }
  int GetCurSel() const { return Int(SendMessage(LB_GETCURSEL)); }
  int SetCurSel(int index) { return Int(SendMessage(LB_SETCURSEL, Index(index))); }
  int GetTextLen(int index) const { return Int(SendMessage(LB_GETTEXTLEN, Index(index))); }
  int GetText(int index, LPWSTR buffer) const {
    return Int(SendMessage(LB_GETTEXT, Index(index), reinterpret_cast<LPARAM>(buffer)));
  }
  void GetText(int index, std::u16string& text) const {
    const int n = GetTextLen(index);
    text.assign(static_cast<std::size_t>(n < 0 ? 0 : n) + 1, u'\0');
    text.resize(static_cast<std::size_t>(n < 0 ? 0 : GetText(index, text.data())));
  }
  DWORD_PTR GetItemData(int index) const { return static_cast<DWORD_PTR>(SendMessage(LB_GETITEMDATA, Index(index))); }
  int SetItemData(int index, DWORD_PTR data) {
    return Int(SendMessage(LB_SETITEMDATA, Index(index), static_cast<LPARAM>(data)));
  }
  void* GetItemDataPtr(int index) const { return reinterpret_cast<void*>(GetItemData(index)); }
  int SetItemDataPtr(int index, void* data) { return SetItemData(index, reinterpret_cast<DWORD_PTR>(data)); }
  int GetItemRect(int index, LPRECT rect) const {
    return Int(SendMessage(LB_GETITEMRECT, Index(index), reinterpret_cast<LPARAM>(rect)));
  }
  int GetItemHeight(int index) const { return Int(SendMessage(LB_GETITEMHEIGHT, Index(index))); }
  int SetItemHeight(int index, UINT height) { return Int(SendMessage(LB_SETITEMHEIGHT, Index(index), MAKELPARAM(height, 0))); }
  // The item under a client point; `outside` when the point is on no item.
  UINT ItemFromPoint(CPoint point, BOOL& outside) const {
    const auto hit = static_cast<DWORD>(SendMessage(LB_ITEMFROMPOINT, 0, MAKELPARAM(point.x, point.y)));
    outside = HIWORD(hit) != 0;
    return LOWORD(hit);
  }
  // Case-insensitive prefix (exact) search from the item after `start`,
  // round to it; LB_ERR when none.
  int FindString(int start, LPCWSTR text) const { return Int(SendMessage(LB_FINDSTRING, Index(start), Text(text))); }
  int FindStringExact(int start, LPCWSTR text) const {
    return Int(SendMessage(LB_FINDSTRINGEXACT, Index(start), Text(text)));
  }
  int SelectString(int start, LPCWSTR text) { return Int(SendMessage(LB_SELECTSTRING, Index(start), Text(text))); }
  int GetTopIndex() const { return Int(SendMessage(LB_GETTOPINDEX)); }
  int SetTopIndex(int index) { return Int(SendMessage(LB_SETTOPINDEX, Index(index))); }

  // Owner drawing, reached through the parent's WM_DRAWITEM and
  // WM_MEASUREITEM first; a class that does not override them leaves the
  // drawing to the parent.
  virtual void DrawItem(LPDRAWITEMSTRUCT) { m_leftToParent = true; }
  virtual void MeasureItem(LPMEASUREITEMSTRUCT) { m_leftToParent = true; }
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
    m_leftToParent = false;
    if (message == WM_DRAWITEM) {
      DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
    } else if (message == WM_MEASUREITEM) {
      MeasureItem(reinterpret_cast<LPMEASUREITEMSTRUCT>(lParam));
    } else {
      m_leftToParent = true;
    }
    return m_leftToParent ? CWnd::OnChildNotify(message, wParam, lParam, result) : TRUE;
  }

private:
  bool m_leftToParent = false;
  static int Int(LRESULT r) { return static_cast<int>(r); }
  static WPARAM Index(int i) { return static_cast<WPARAM>(static_cast<INT_PTR>(i)); }
  static LPARAM Text(LPCWSTR text) { return reinterpret_cast<LPARAM>(text); }
};

class CHeaderCtrl : public CWnd {
public:
  int GetItemCount() const { return static_cast<int>(SendMessage(HDM_GETITEMCOUNT)); }
  BOOL GetItemRect(int index, LPRECT rect) const {
    return static_cast<BOOL>(SendMessage(HDM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(rect)));
  }
};

class CListCtrl : public CWnd {
public:
  using CWnd::Create;
  BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id) {
    return CWnd::Create(WC_LISTVIEW, u"", style | WS_CHILD, rect, parent, id);
  }
  int InsertColumn(int column, LPCWSTR heading, int format = LVCFMT_LEFT, int width = -1, int subItem = -1) {
    LVCOLUMNW c;
    c.mask = LVCF_TEXT | LVCF_FMT | (width >= 0 ? LVCF_WIDTH : 0) | (subItem >= 0 ? LVCF_SUBITEM : 0);
    c.fmt = format;
    c.cx = width;
    c.pszText = const_cast<LPWSTR>(heading);
    c.iSubItem = subItem;
    return static_cast<int>(SendMessage(LVM_INSERTCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&c)));
  }
  BOOL DeleteColumn(int column) { return static_cast<BOOL>(SendMessage(LVM_DELETECOLUMN, static_cast<WPARAM>(column))); }
  int GetColumnWidth(int column) const {
    return static_cast<int>(SendMessage(LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column)));
  }
  BOOL SetColumnWidth(int column, int width) {
    return static_cast<BOOL>(SendMessage(LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), MAKELPARAM(width, 0)));
  }
  int InsertItem(int row, LPCWSTR text, int image = 0) {
    LVITEMW item;
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = row;
    item.pszText = const_cast<LPWSTR>(text);
    item.iImage = image;
    return InsertItem(&item);
  }
  int InsertItem(const LVITEMW* item) {
    return static_cast<int>(SendMessage(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(item)));
  }
  BOOL SetItem(const LVITEMW* item) { return static_cast<BOOL>(SendMessage(LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(item))); }
  BOOL SetItem(int row, int column, UINT mask, LPCWSTR text, int image, UINT state = 0, UINT stateMask = 0,
               LPARAM data = 0) {
    LVITEMW item;
    item.mask = mask;
    item.iItem = row;
    item.iSubItem = column;
    item.pszText = const_cast<LPWSTR>(text);
    item.iImage = image;
    item.state = state;
    item.stateMask = stateMask;
    item.lParam = data;
    return SetItem(&item);
  }
  BOOL GetItem(LVITEMW* item) const { return static_cast<BOOL>(SendMessage(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(item))); }
  BOOL SetItemText(int row, int column, LPCWSTR text) { return SetItem(row, column, LVIF_TEXT, text, 0); }
  int GetItemText(int row, int column, LPWSTR buffer, int length) const {
    LVITEMW item;
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = length;
    return static_cast<int>(SendMessage(LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)));
  }
  std::u16string GetItemText(int row, int column) const {
    WCHAR buffer[1024] = {};
    GetItemText(row, column, buffer, 1024);
    return buffer;
  }
  DWORD_PTR GetItemData(int row) const {
    LVITEMW item;
    item.mask = LVIF_PARAM;
    item.iItem = row;
    return GetItem(&item) ? static_cast<DWORD_PTR>(item.lParam) : 0;
  }
  BOOL SetItemData(int row, DWORD_PTR data) {
    return SetItem(row, 0, LVIF_PARAM, nullptr, 0, 0, 0, static_cast<LPARAM>(data));
  }
  BOOL SetItemState(int row, UINT state, UINT mask) {
    LVITEMW item;
    item.state = state;
    item.stateMask = mask;
    return static_cast<BOOL>(SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)));
  }
  UINT GetItemState(int row, UINT mask) const {
    return static_cast<UINT>(SendMessage(LVM_GETITEMSTATE, static_cast<WPARAM>(row), static_cast<LPARAM>(mask)));
  }
  int GetNextItem(int start, int flags) const {
    return static_cast<int>(SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(static_cast<INT_PTR>(start)), flags));
  }
  BOOL DeleteItem(int row) { return static_cast<BOOL>(SendMessage(LVM_DELETEITEM, static_cast<WPARAM>(row))); }
  BOOL DeleteAllItems() { return static_cast<BOOL>(SendMessage(LVM_DELETEALLITEMS)); }
  int GetItemCount() const { return static_cast<int>(SendMessage(LVM_GETITEMCOUNT)); }
  BOOL GetItemRect(int row, LPRECT rect, UINT code) const {
    if (!rect) return FALSE;
    rect->left = static_cast<LONG>(code);
    return static_cast<BOOL>(SendMessage(LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(rect)));
  }
  // dy in pixels scrolls whole rows; dx pixels.
  BOOL Scroll(CSize size) { return static_cast<BOOL>(SendMessage(LVM_SCROLL, static_cast<WPARAM>(size.cx), size.cy)); }
  BOOL EnsureVisible(int row, BOOL) { return static_cast<BOOL>(SendMessage(LVM_ENSUREVISIBLE, static_cast<WPARAM>(row))); }
  int GetTopIndex() const { return static_cast<int>(SendMessage(LVM_GETTOPINDEX)); }
  int GetCountPerPage() const { return static_cast<int>(SendMessage(LVM_GETCOUNTPERPAGE)); }
  int HitTest(CPoint point, UINT* flags = nullptr) const {
    LVHITTESTINFO info;
    info.pt = point;
    const int row = static_cast<int>(SendMessage(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&info)));
    if (flags) *flags = info.flags;
    return row;
  }
  DWORD SetExtendedStyle(DWORD style) {
    return static_cast<DWORD>(SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(style)));
  }
  DWORD GetExtendedStyle() const { return static_cast<DWORD>(SendMessage(LVM_GETEXTENDEDLISTVIEWSTYLE)); }
  CHeaderCtrl* GetHeaderCtrl() const {
    return static_cast<CHeaderCtrl*>(CWnd::FromHandle(reinterpret_cast<HWND>(SendMessage(LVM_GETHEADER))));
  }

  // Owner drawing (LVS_OWNERDRAWFIXED), reached through the parent's
  // WM_DRAWITEM first; without an override the parent draws.
  virtual void DrawItem(LPDRAWITEMSTRUCT) { m_leftToParent = true; }
  BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
    m_leftToParent = message != WM_DRAWITEM;
    if (message == WM_DRAWITEM) DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
    return m_leftToParent ? CWnd::OnChildNotify(message, wParam, lParam, result) : TRUE;
  }

private:
  bool m_leftToParent = false;
};
