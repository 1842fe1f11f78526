// The list view ("SysListView32") in report form, with its header
// ("SysHeader32", hidden with LVS_NOCOLUMNHEADER): columns, rows of cells
// (text and image index) with item data and a selection, grid lines,
// owner-drawn rows (LVS_OWNERDRAWFIXED, read when painting: a style added
// after creation counts), vertical scrolling in rows and horizontal in
// pixels. An owner-drawn list asks its row height with WM_MEASUREITEM when
// made and again on every WM_WINDOWPOSCHANGED, as the program relies on.

#include "platform/afx/AfxCtrls.h"
#include "platform/core/Controls.h"

#include <algorithm>
#include <numeric>

namespace platform::core {
namespace {

constexpr int kHeaderHeight = 20;
constexpr COLORREF kGridColour = RGB(240, 240, 240);

struct Cell {
  std::u16string text;
  int image = 0;
};

struct Row {
  std::vector<Cell> cells; // one per column, made as needed
  UINT state = 0;
  LPARAM data = 0;
};

struct Column {
  std::u16string text;
  int width = 0;
  int format = LVCFMT_LEFT;
};

std::u16string Copy(LPCWSTR text) { return text ? std::u16string(text) : std::u16string(); }

int CopyOut(const std::u16string& text, LPWSTR out, int max) {
  if (!out || max <= 0) return 0;
  const int n = std::min(static_cast<int>(text.size()), max - 1);
  std::copy_n(text.data(), n, out);
  out[n] = 0;
  return n;
}

class ListView : public NativeControl {
public:
  LRESULT Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override {
    switch (message) {
    case WM_CREATE: Create(hwnd); return 0;
    case LVM_GETITEMCOUNT: return static_cast<LRESULT>(m_rows.size());
    case LVM_INSERTCOLUMNW: return InsertColumn(hwnd, static_cast<int>(wParam), reinterpret_cast<const LVCOLUMNW*>(lParam));
    case LVM_DELETECOLUMN: {
      const int c = static_cast<int>(wParam);
      if (c < 0 || c >= ColumnCount()) return FALSE;
      m_columns.erase(m_columns.begin() + c);
      for (Row& row : m_rows) {
        if (c < static_cast<int>(row.cells.size())) row.cells.erase(row.cells.begin() + c);
      }
      Changed(hwnd);
      return TRUE;
    }
    case LVM_GETCOLUMNW: return GetColumn(static_cast<int>(wParam), reinterpret_cast<LVCOLUMNW*>(lParam));
    case LVM_SETCOLUMNW: return SetColumn(hwnd, static_cast<int>(wParam), reinterpret_cast<const LVCOLUMNW*>(lParam));
    case LVM_GETCOLUMNWIDTH: return ValidColumn(static_cast<int>(wParam)) ? m_columns[wParam].width : 0;
    case LVM_SETCOLUMNWIDTH:
      if (!ValidColumn(static_cast<int>(wParam))) return FALSE;
      m_columns[wParam].width = std::max(0, static_cast<int>(static_cast<short>(LOWORD(static_cast<std::uintptr_t>(lParam)))));
      Changed(hwnd);
      return TRUE;
    case LVM_INSERTITEMW: return InsertItem(hwnd, reinterpret_cast<const LVITEMW*>(lParam));
    case LVM_SETITEMW: return SetItem(hwnd, reinterpret_cast<const LVITEMW*>(lParam));
    case LVM_GETITEMW: return GetItem(reinterpret_cast<LVITEMW*>(lParam));
    case LVM_SETITEMTEXTW: {
      auto* item = reinterpret_cast<LVITEMW*>(lParam);
      if (!item) return FALSE;
      LVITEMW copy = *item;
      copy.mask = LVIF_TEXT;
      copy.iItem = static_cast<int>(wParam);
      return SetItem(hwnd, &copy);
    }
    case LVM_GETITEMTEXTW: {
      auto* item = reinterpret_cast<LVITEMW*>(lParam);
      if (!item || !ValidRow(static_cast<int>(wParam))) return 0;
      return CopyOut(CellOf(static_cast<int>(wParam), item->iSubItem).text, item->pszText, item->cchTextMax);
    }
    case LVM_DELETEITEM:
      if (!ValidRow(static_cast<int>(wParam))) return FALSE;
      m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(wParam));
      Changed(hwnd);
      return TRUE;
    case LVM_DELETEALLITEMS:
      m_rows.clear();
      m_top = 0;
      Changed(hwnd);
      return TRUE;
    case LVM_SETITEMSTATE: {
      const auto* item = reinterpret_cast<const LVITEMW*>(lParam);
      if (!item) return FALSE;
      const int index = static_cast<int>(static_cast<INT_PTR>(wParam));
      for (int i = 0; i < RowCount(); ++i) {
        if (index == -1 || index == i) SetState(hwnd, i, item->state, item->stateMask);
      }
      return TRUE;
    }
    case LVM_GETITEMSTATE:
      return ValidRow(static_cast<int>(wParam)) ? static_cast<LRESULT>(m_rows[wParam].state & static_cast<UINT>(lParam)) : 0;
    case LVM_GETNEXTITEM: return NextItem(static_cast<int>(static_cast<INT_PTR>(wParam)), static_cast<int>(lParam));
    case LVM_GETSELECTEDCOUNT:
      return std::count_if(m_rows.begin(), m_rows.end(), [](const Row& r) { return r.state & LVIS_SELECTED; });
    case LVM_GETITEMRECT: {
      auto* rect = reinterpret_cast<RECT*>(lParam);
      if (!rect || !ValidRow(static_cast<int>(wParam))) return FALSE;
      *rect = RowRect(hwnd, static_cast<int>(wParam));
      return TRUE;
    }
    case LVM_HITTEST:
    case LVM_SUBITEMHITTEST: return HitTest(hwnd, reinterpret_cast<LVHITTESTINFO*>(lParam));
    case LVM_ENSUREVISIBLE: EnsureVisible(hwnd, static_cast<int>(wParam)); return TRUE;
    case LVM_SCROLL:
      // Report rows scroll in whole rows; columns in pixels.
      SetLeft(hwnd, m_left + static_cast<int>(static_cast<INT_PTR>(wParam)));
      if (m_rowHeight > 0) SetTop(hwnd, m_top + static_cast<int>(lParam) / m_rowHeight);
      return TRUE;
    case LVM_GETTOPINDEX: return m_top;
    case LVM_GETCOUNTPERPAGE: return Page(hwnd);
    case LVM_GETHEADER: return reinterpret_cast<LRESULT>(m_header);
    case LVM_SETEXTENDEDLISTVIEWSTYLE: {
      const DWORD before = m_exStyle;
      const auto mask = static_cast<DWORD>(wParam ? wParam : 0xFFFFFFFF);
      m_exStyle = (m_exStyle & ~mask) | (static_cast<DWORD>(lParam) & mask);
      InvalidateRect(hwnd, nullptr, TRUE);
      return before;
    }
    case LVM_GETEXTENDEDLISTVIEWSTYLE: return m_exStyle;
    case LVM_SETBKCOLOR: m_background = static_cast<COLORREF>(lParam); return TRUE;
    case LVM_SETTEXTCOLOR: m_text = static_cast<COLORREF>(lParam); return TRUE;
    case LVM_SETTEXTBKCOLOR: return TRUE;
    case LVM_SETIMAGELIST: return 0;
    case WM_WINDOWPOSCHANGED:
      GenericWindowProc(hwnd, message, wParam, lParam);
      Measure(hwnd);
      Changed(hwnd);
      return 0;
    case WM_SETFONT:
      GenericWindowProc(hwnd, message, wParam, lParam);
      if (!OwnerDrawn(hwnd)) m_rowHeight = LineHeight(hwnd) + 4;
      if (m_header) SendMessageW(m_header, WM_SETFONT, wParam, lParam);
      Changed(hwnd);
      return 0;
    case WM_SIZE: LayoutHeader(hwnd); Changed(hwnd); return 0;
    case WM_ERASEBKGND: {
      RECT client;
      GetClientRect(hwnd, &client);
      const HBRUSH brush = CreateSolidBrush(m_background);
      FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
      DeleteObject(brush);
      return TRUE;
    }
    case WM_PAINT: Paint(hwnd); return 0;
    case WM_VSCROLL: ScrollRows(hwnd, LOWORD(wParam), HIWORD(wParam)); return 0;
    case WM_HSCROLL: ScrollColumns(hwnd, LOWORD(wParam), HIWORD(wParam)); return 0;
    case WM_MOUSEWHEEL: SetTop(hwnd, m_top - 3 * GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA); return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_LBUTTONDBLCLK: Click(hwnd, message, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}); return 0;
    case WM_KEYDOWN: Key(hwnd, static_cast<int>(wParam)); return 0;
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: InvalidateRect(hwnd, nullptr, TRUE); return 0;
    default: return GenericWindowProc(hwnd, message, wParam, lParam);
    }
  }

  // What the header shows.
  int ColumnCount() const { return static_cast<int>(m_columns.size()); }
  const Column* ColumnAt(int i) const { return ValidColumn(i) ? &m_columns[static_cast<std::size_t>(i)] : nullptr; }

private:
  int RowCount() const { return static_cast<int>(m_rows.size()); }
  bool ValidRow(int i) const { return i >= 0 && i < RowCount(); }
  bool ValidColumn(int i) const { return i >= 0 && i < ColumnCount(); }
  static bool OwnerDrawn(HWND hwnd) { return (GetWindowStyle(hwnd) & LVS_OWNERDRAWFIXED) != 0; }
  int HeaderHeight() const { return m_header && IsWindowVisible(m_header) ? kHeaderHeight : 0; }
  int TotalWidth() const {
    return std::accumulate(m_columns.begin(), m_columns.end(), 0, [](int sum, const Column& c) { return sum + c.width; });
  }
  int Page(HWND hwnd) const {
    RECT client;
    GetClientRect(hwnd, &client);
    return m_rowHeight > 0 ? std::max(0, static_cast<int>(client.bottom - HeaderHeight()) / m_rowHeight) : 0;
  }

  Cell& CellOf(int row, int column) {
    static Cell none;
    none = Cell{};
    if (!ValidRow(row) || column < 0 || column >= std::max(ColumnCount(), 1)) return none;
    std::vector<Cell>& cells = m_rows[static_cast<std::size_t>(row)].cells;
    if (static_cast<int>(cells.size()) <= column) cells.resize(static_cast<std::size_t>(column) + 1);
    return cells[static_cast<std::size_t>(column)];
  }

  void Create(HWND hwnd) {
    m_rowHeight = LineHeight(hwnd) + 4;
    auto header = std::make_unique<CHeaderCtrl>();
    const DWORD visible = (GetWindowStyle(hwnd) & LVS_NOCOLUMNHEADER) ? 0 : WS_VISIBLE;
    if (header->CreateEx(0, WC_HEADER, u"", WS_CHILD | visible, RECT{0, 0, 0, kHeaderHeight}, CWnd::FromHandle(hwnd),
                         0)) {
      m_header = header->m_hWnd;
      Record(m_header)->ownedObject = std::move(header);
    }
    LayoutHeader(hwnd);
    Measure(hwnd);
  }

  void LayoutHeader(HWND hwnd) {
    if (!m_header) return;
    RECT client;
    GetClientRect(hwnd, &client);
    MoveWindow(m_header, -m_left, 0, std::max(TotalWidth(), static_cast<int>(client.right)) + m_left, kHeaderHeight,
               TRUE);
  }

  void Measure(HWND hwnd) {
    if (OwnerDrawn(hwnd)) m_rowHeight = MeasureOwnerItems(hwnd, ODT_LISTVIEW, m_rowHeight);
  }

  LRESULT InsertColumn(HWND hwnd, int index, const LVCOLUMNW* column) {
    if (!column || index < 0) return -1;
    index = std::min(index, ColumnCount());
    Column c;
    if (column->mask & LVCF_TEXT) c.text = Copy(column->pszText);
    if (column->mask & LVCF_WIDTH) c.width = std::max(0, column->cx);
    if (column->mask & LVCF_FMT) c.format = column->fmt;
    m_columns.insert(m_columns.begin() + index, c);
    for (Row& row : m_rows) {
      if (index < static_cast<int>(row.cells.size())) row.cells.insert(row.cells.begin() + index, Cell{});
    }
    Changed(hwnd);
    return index;
  }

  LRESULT GetColumn(int index, LVCOLUMNW* column) const {
    if (!column || !ValidColumn(index)) return FALSE;
    const Column& c = m_columns[static_cast<std::size_t>(index)];
    if (column->mask & LVCF_WIDTH) column->cx = c.width;
    if (column->mask & LVCF_FMT) column->fmt = c.format;
    if (column->mask & LVCF_TEXT) CopyOut(c.text, column->pszText, column->cchTextMax);
    return TRUE;
  }

  LRESULT SetColumn(HWND hwnd, int index, const LVCOLUMNW* column) {
    if (!column || !ValidColumn(index)) return FALSE;
    Column& c = m_columns[static_cast<std::size_t>(index)];
    if (column->mask & LVCF_WIDTH) c.width = std::max(0, column->cx);
    if (column->mask & LVCF_FMT) c.format = column->fmt;
    if (column->mask & LVCF_TEXT) c.text = Copy(column->pszText);
    Changed(hwnd);
    return TRUE;
  }

  LRESULT InsertItem(HWND hwnd, const LVITEMW* item) {
    if (!item || item->iSubItem != 0) return -1;
    const int index = std::clamp(item->iItem, 0, RowCount());
    m_rows.insert(m_rows.begin() + index, Row{});
    LVITEMW copy = *item;
    copy.iItem = index;
    ApplyItem(copy);
    Changed(hwnd);
    return index;
  }

  void ApplyItem(const LVITEMW& item) {
    Row& row = m_rows[static_cast<std::size_t>(item.iItem)];
    if (item.mask & (LVIF_TEXT | LVIF_IMAGE)) {
      Cell& cell = CellOf(item.iItem, item.iSubItem);
      if (item.mask & LVIF_TEXT) cell.text = Copy(item.pszText);
      if (item.mask & LVIF_IMAGE) cell.image = item.iImage;
    }
    if (item.iSubItem == 0 && (item.mask & LVIF_PARAM)) row.data = item.lParam;
    if (item.iSubItem == 0 && (item.mask & LVIF_STATE)) row.state = (row.state & ~item.stateMask) | (item.state & item.stateMask);
  }

  LRESULT SetItem(HWND hwnd, const LVITEMW* item) {
    if (!item || !ValidRow(item->iItem) || item->iSubItem < 0 || item->iSubItem >= std::max(ColumnCount(), 1)) {
      return FALSE;
    }
    ApplyItem(*item);
    InvalidateRect(hwnd, nullptr, TRUE);
    return TRUE;
  }

  LRESULT GetItem(LVITEMW* item) {
    if (!item || !ValidRow(item->iItem) || item->iSubItem < 0 || item->iSubItem >= std::max(ColumnCount(), 1)) {
      return FALSE;
    }
    const Row& row = m_rows[static_cast<std::size_t>(item->iItem)];
    const Cell& cell = CellOf(item->iItem, item->iSubItem);
    if (item->mask & LVIF_TEXT) CopyOut(cell.text, item->pszText, item->cchTextMax);
    if (item->mask & LVIF_IMAGE) item->iImage = cell.image;
    if (item->mask & LVIF_PARAM) item->lParam = row.data;
    if (item->mask & LVIF_STATE) item->state = row.state & item->stateMask;
    return TRUE;
  }

  void SetState(HWND hwnd, int index, UINT state, UINT mask) {
    Row& row = m_rows[static_cast<std::size_t>(index)];
    const UINT before = row.state;
    row.state = (row.state & ~mask) | (state & mask);
    if (row.state == before) return;
    InvalidateRect(hwnd, nullptr, TRUE);
    NMLISTVIEW nm;
    nm.iItem = index;
    nm.uNewState = row.state;
    nm.uOldState = before;
    nm.uChanged = LVIF_STATE;
    nm.lParam = row.data;
    NotifyParent(hwnd, nm.hdr, LVN_ITEMCHANGED);
  }

  LRESULT NextItem(int start, int flags) const {
    for (int i = start + 1; i < RowCount(); ++i) {
      const UINT s = m_rows[static_cast<std::size_t>(i)].state;
      if ((flags & LVNI_SELECTED) && !(s & LVIS_SELECTED)) continue;
      if ((flags & LVNI_FOCUSED) && !(s & LVIS_FOCUSED)) continue;
      return i;
    }
    return -1;
  }

  RECT RowRect(HWND hwnd, int index) const {
    RECT client;
    GetClientRect(hwnd, &client);
    const int top = HeaderHeight() + (index - m_top) * m_rowHeight;
    return {-m_left, top, -m_left + TotalWidth(), top + m_rowHeight};
  }

  LRESULT HitTest(HWND hwnd, LVHITTESTINFO* info) const {
    if (!info) return -1;
    info->iItem = -1;
    info->iSubItem = 0;
    info->flags = LVHT_NOWHERE;
    if (m_rowHeight <= 0 || info->pt.y < HeaderHeight()) return -1;
    const int row = m_top + (info->pt.y - HeaderHeight()) / m_rowHeight;
    const RECT rect = ValidRow(row) ? RowRect(hwnd, row) : RECT{};
    if (!ValidRow(row) || info->pt.x < rect.left || info->pt.x >= rect.right) return -1;
    int x = rect.left;
    for (int c = 0; c < ColumnCount(); ++c) {
      x += m_columns[static_cast<std::size_t>(c)].width;
      if (info->pt.x < x) {
        info->iSubItem = c;
        break;
      }
    }
    info->iItem = row;
    info->flags = LVHT_ONITEMLABEL;
    return row;
  }

  void EnsureVisible(HWND hwnd, int index) { SetTop(hwnd, TopShowing(index, m_top, std::max(1, Page(hwnd)))); }

  void SetTop(HWND hwnd, int top) {
    top = std::clamp(top, 0, std::max(0, RowCount() - std::max(1, Page(hwnd))));
    if (top == m_top) return;
    m_top = top;
    UpdateScroll(hwnd);
    InvalidateRect(hwnd, nullptr, TRUE);
  }

  void SetLeft(HWND hwnd, int left) {
    RECT client;
    GetClientRect(hwnd, &client);
    left = std::clamp(left, 0, std::max(0, TotalWidth() - static_cast<int>(client.right)));
    if (left == m_left) return;
    m_left = left;
    LayoutHeader(hwnd);
    UpdateScroll(hwnd);
    InvalidateRect(hwnd, nullptr, TRUE);
  }

  void Changed(HWND hwnd) {
    RECT client;
    GetClientRect(hwnd, &client);
    m_top = std::clamp(m_top, 0, std::max(0, RowCount() - std::max(1, Page(hwnd))));
    m_left = std::clamp(m_left, 0, std::max(0, TotalWidth() - static_cast<int>(client.right)));
    LayoutHeader(hwnd);
    UpdateScroll(hwnd);
    if (m_header) InvalidateRect(m_header, nullptr, TRUE);
    InvalidateRect(hwnd, nullptr, TRUE);
  }

  void UpdateScroll(HWND hwnd) { SetItemScrollData(hwnd, RowCount(), Page(hwnd), m_top, TotalWidth(), m_left); }

  void ScrollRows(HWND hwnd, UINT code, int position) {
    SetTop(hwnd, ScrolledTop(code, position, m_top, std::max(1, Page(hwnd)), RowCount()));
  }

  void ScrollColumns(HWND hwnd, UINT code, int position) {
    RECT client;
    GetClientRect(hwnd, &client);
    SetLeft(hwnd, ScrolledLeft(code, position, m_left, 10, client.right, TotalWidth()));
  }

  void SelectOnly(HWND hwnd, int index) {
    for (int i = 0; i < RowCount(); ++i) {
      if (i != index) SetState(hwnd, i, 0, LVIS_SELECTED | LVIS_FOCUSED);
    }
    if (ValidRow(index)) SetState(hwnd, index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  }

  void Click(HWND hwnd, UINT message, POINT point) {
    SetFocus(hwnd);
    LVHITTESTINFO info;
    info.pt = point;
    const int row = static_cast<int>(HitTest(hwnd, &info));
    if (message != WM_LBUTTONDBLCLK) SelectOnly(hwnd, row);
    NMLISTVIEW nm;
    nm.iItem = row;
    nm.iSubItem = info.iSubItem;
    nm.ptAction = point;
    NotifyParent(hwnd, nm.hdr, message == WM_LBUTTONDOWN ? NM_CLICK : message == WM_RBUTTONDOWN ? NM_RCLICK : NM_DBLCLK);
  }

  void Key(HWND hwnd, int vk) {
    if (m_rows.empty()) return;
    const int current = static_cast<int>(NextItem(-1, LVNI_SELECTED));
    int next = current;
    if (vk == VK_UP) next = current - 1;
    else if (vk == VK_DOWN) next = current + 1;
    else if (vk == VK_HOME) next = 0;
    else if (vk == VK_END) next = RowCount() - 1;
    else return;
    next = std::clamp(next, 0, RowCount() - 1);
    SelectOnly(hwnd, next);
    EnsureVisible(hwnd, next);
  }

  void Paint(HWND hwnd) {
    PAINTSTRUCT ps;
    const HDC dc = BeginPaint(hwnd, &ps);
    if (!dc) return;
    RECT client;
    GetClientRect(hwnd, &client);
    const bool owner = OwnerDrawn(hwnd);
    // Owner-drawn rows get the list's font in their DC, as the window system's list gives them.
    const HGDIOBJ font = owner ? reinterpret_cast<HGDIOBJ>(SendMessageW(hwnd, WM_GETFONT, 0, 0)) : nullptr;
    if (font) SelectObject(dc, font);
    for (int i = m_top; i < RowCount() && m_rowHeight > 0; ++i) {
      const RECT rect = RowRect(hwnd, i);
      if (rect.top >= client.bottom) break;
      const Row& row = m_rows[static_cast<std::size_t>(i)];
      const bool selected = row.state & LVIS_SELECTED;
      if (owner) {
        const UINT state = (selected ? ODS_SELECTED : 0) | ((row.state & LVIS_FOCUSED) ? ODS_FOCUS : 0);
        DrawOwnerItem(hwnd, ODT_LISTVIEW, static_cast<UINT>(i), state, dc, rect, static_cast<ULONG_PTR>(row.data));
        if (!IsLiveWindow(hwnd)) return;
        continue;
      }
      PaintRow(dc, i, rect, selected);
    }
    if ((m_exStyle & LVS_EX_GRIDLINES) && !owner) PaintGrid(dc, client);
    EndPaint(hwnd, &ps);
  }

  void PaintRow(HDC dc, int index, const RECT& rect, bool selected) {
    if (selected) FillRect(dc, &rect, GetSysColorBrush(COLOR_HIGHLIGHT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : m_text);
    int x = rect.left;
    for (int c = 0; c < ColumnCount(); ++c) {
      const Column& column = m_columns[static_cast<std::size_t>(c)];
      RECT cell{x + 4, rect.top, x + column.width - 4, rect.bottom};
      const UINT align = column.format == LVCFMT_RIGHT ? DT_RIGHT : column.format == LVCFMT_CENTER ? DT_CENTER : DT_LEFT;
      DrawControlText(dc, CellOf(index, c).text, cell, align | DT_VCENTER | DT_NOPREFIX);
      x += column.width;
    }
  }

  void PaintGrid(HDC dc, const RECT& client) {
    const HPEN pen = CreatePen(PS_SOLID, 1, kGridColour);
    const HGDIOBJ old = SelectObject(dc, pen);
    const int top = HeaderHeight();
    for (int y = top + m_rowHeight - 1; y < client.bottom; y += m_rowHeight) {
      MoveToEx(dc, 0, y, nullptr);
      LineTo(dc, client.right, y);
    }
    int x = -m_left;
    for (const Column& column : m_columns) {
      x += column.width;
      MoveToEx(dc, x - 1, top, nullptr);
      LineTo(dc, x - 1, client.bottom);
    }
    SelectObject(dc, old);
    DeleteObject(pen);
  }

  std::vector<Column> m_columns;
  std::vector<Row> m_rows;
  HWND m_header = nullptr;
  DWORD m_exStyle = 0;
  int m_rowHeight = 17;
  int m_top = 0;
  int m_left = 0;
  COLORREF m_background = RGB(255, 255, 255);
  COLORREF m_text = RGB(0, 0, 0);
};

// The header shows the list view's column captions.
class Header : public NativeControl {
public:
  LRESULT Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override {
    const ListView* list = ListOf(hwnd);
    switch (message) {
    case HDM_GETITEMCOUNT: return list ? list->ColumnCount() : 0;
    case HDM_GETITEMRECT: {
      auto* rect = reinterpret_cast<RECT*>(lParam);
      const Column* column = list ? list->ColumnAt(static_cast<int>(wParam)) : nullptr;
      if (!rect || !column) return FALSE;
      int x = 0;
      for (int c = 0; c < static_cast<int>(wParam); ++c) x += list->ColumnAt(c)->width;
      *rect = {x, 0, x + column->width, kHeaderHeight};
      return TRUE;
    }
    case WM_PAINT: Paint(hwnd, list); return 0;
    default: return GenericWindowProc(hwnd, message, wParam, lParam);
    }
  }

private:
  static const ListView* ListOf(HWND header) {
    WindowRecord* parent = Record(GetParent(header));
    return parent ? dynamic_cast<const ListView*>(parent->native.get()) : nullptr;
  }

  static void Paint(HWND hwnd, const ListView* list) {
    PAINTSTRUCT ps;
    const HDC dc = BeginPaint(hwnd, &ps);
    if (!dc) return;
    RECT client;
    GetClientRect(hwnd, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    int x = 0;
    for (int c = 0; list && c < list->ColumnCount(); ++c) {
      const Column& column = *list->ColumnAt(c);
      DrawControlText(dc, column.text, RECT{x + 4, 0, x + column.width - 4, client.bottom}, DT_VCENTER | DT_NOPREFIX);
      RECT edge{x + column.width - 1, 2, x + column.width, client.bottom - 2};
      FillRect(dc, &edge, GetSysColorBrush(COLOR_BTNSHADOW));
      x += column.width;
    }
    RECT bottom{0, client.bottom - 1, client.right, client.bottom};
    FillRect(dc, &bottom, GetSysColorBrush(COLOR_BTNSHADOW));
    EndPaint(hwnd, &ps);
  }
};

} // namespace

std::unique_ptr<NativeControl> MakeListView(HWND, const CREATESTRUCTW&) { return std::make_unique<ListView>(); }
std::unique_ptr<NativeControl> MakeHeader(HWND, const CREATESTRUCTW&) { return std::make_unique<Header>(); }

} // namespace platform::core
