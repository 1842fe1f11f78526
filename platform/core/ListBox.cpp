// The list box ("ListBox"): strings with item data, one selection, a top
// item, scroll data in items (range 0..count-1, the page the items that fit
// whole), owner-drawn items (WM_MEASUREITEM once, WM_DRAWITEM per item) or
// its own text lines, and the notifications LBN_SELCHANGE and LBN_DBLCLK
// when it has LBS_NOTIFY.

#include "platform/core/Controls.h"

#include <algorithm>

namespace platform::core {
namespace {

struct Item {
  std::u16string text;
  LPARAM data = 0;
};

char16_t Folded(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }

// Case-insensitive comparison of the first `n` units (n = b's length when prefix).
bool SameText(std::u16string_view a, std::u16string_view b, bool prefix) {
  if (prefix ? a.size() < b.size() : a.size() != b.size()) return false;
  for (std::size_t i = 0; i < b.size(); ++i) {
    if (Folded(a[i]) != Folded(b[i])) return false;
  }
  return true;
}

bool Before(std::u16string_view a, std::u16string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    if (Folded(a[i]) != Folded(b[i])) return Folded(a[i]) < Folded(b[i]);
  }
  return a.size() < b.size();
}

class ListBox : public NativeControl {
public:
  LRESULT Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override {
    switch (message) {
    case WM_CREATE: Measure(hwnd); return 0;
    case LB_ADDSTRING: return Insert(hwnd, -1, Text(lParam), true);
    case LB_INSERTSTRING: return Insert(hwnd, static_cast<int>(wParam), Text(lParam), false);
    case LB_DELETESTRING: return Delete(hwnd, static_cast<int>(wParam));
    case LB_RESETCONTENT:
      m_items.clear();
      m_selection = -1;
      m_top = 0;
      Changed(hwnd);
      return 0;
    case LB_GETCOUNT: return Count();
    case LB_GETCURSEL: return m_selection;
    case LB_SETCURSEL: return Select(hwnd, static_cast<int>(wParam), false);
    case LB_GETTEXT: return CopyText(static_cast<int>(wParam), reinterpret_cast<WCHAR*>(lParam));
    case LB_GETTEXTLEN: return Valid(static_cast<int>(wParam)) ? static_cast<LRESULT>(At(wParam).text.size()) : LB_ERR;
    case LB_GETITEMDATA: return Valid(static_cast<int>(wParam)) ? At(wParam).data : LB_ERR;
    case LB_SETITEMDATA:
      if (!Valid(static_cast<int>(wParam))) return LB_ERR;
      At(wParam).data = lParam;
      return LB_OKAY;
    case LB_GETITEMHEIGHT: return m_itemHeight;
    case LB_SETITEMHEIGHT:
      if (LOWORD(static_cast<std::uintptr_t>(lParam)) == 0) return LB_ERR;
      m_itemHeight = LOWORD(static_cast<std::uintptr_t>(lParam));
      Changed(hwnd);
      return LB_OKAY;
    case LB_GETITEMRECT: {
      auto* rect = reinterpret_cast<RECT*>(lParam);
      if (!rect || !Valid(static_cast<int>(wParam))) return LB_ERR;
      *rect = ItemRect(hwnd, static_cast<int>(wParam));
      return LB_OKAY;
    }
    case LB_ITEMFROMPOINT: return ItemFromPoint(hwnd, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
    case LB_FINDSTRING: return Find(static_cast<int>(wParam), Text(lParam), true);
    case LB_FINDSTRINGEXACT: return Find(static_cast<int>(wParam), Text(lParam), false);
    case LB_SELECTSTRING: {
      const LRESULT found = Find(static_cast<int>(wParam), Text(lParam), true);
      if (found != LB_ERR) Select(hwnd, static_cast<int>(found), false);
      return found;
    }
    case LB_GETTOPINDEX: return m_top;
    case LB_SETTOPINDEX:
      if (!Valid(static_cast<int>(wParam)) && !(wParam == 0 && m_items.empty())) return LB_ERR;
      SetTop(hwnd, static_cast<int>(wParam));
      return LB_OKAY;
    case WM_SETFONT:
      GenericWindowProc(hwnd, message, wParam, lParam);
      if (!(GetWindowStyle(hwnd) & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE))) m_itemHeight = LineHeight(hwnd);
      Changed(hwnd);
      return 0;
    case WM_SIZE: Changed(hwnd); return 0;
    case WM_ERASEBKGND: {
      auto dc = reinterpret_cast<HDC>(wParam);
      RECT client;
      GetClientRect(hwnd, &client);
      FillRect(dc, &client, RequestColours(hwnd, WM_CTLCOLORLISTBOX, dc));
      return TRUE;
    }
    case WM_PAINT: Paint(hwnd); return 0;
    case WM_LBUTTONDOWN: {
      SetFocus(hwnd);
      const LRESULT hit = ItemFromPoint(hwnd, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      if (HIWORD(static_cast<DWORD>(hit)) == 0) Select(hwnd, LOWORD(static_cast<DWORD>(hit)), true);
      return 0;
    }
    case WM_LBUTTONDBLCLK:
      if (GetWindowStyle(hwnd) & LBS_NOTIFY) NotifyParent(hwnd, LBN_DBLCLK);
      return 0;
    case WM_MOUSEWHEEL:
      SetTop(hwnd, m_top - 3 * GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA);
      return 0;
    case WM_VSCROLL: Scroll(hwnd, LOWORD(wParam), HIWORD(wParam)); return 0;
    case WM_KEYDOWN: Key(hwnd, static_cast<int>(wParam)); return 0;
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      InvalidateRect(hwnd, nullptr, TRUE);
      if (GetWindowStyle(hwnd) & LBS_NOTIFY) NotifyParent(hwnd, message == WM_SETFOCUS ? LBN_SETFOCUS : LBN_KILLFOCUS);
      return 0;
    case WM_ENABLE: InvalidateRect(hwnd, nullptr, TRUE); return 0;
    default: return GenericWindowProc(hwnd, message, wParam, lParam);
    }
  }

private:
  static std::u16string_view Text(LPARAM lParam) {
    return lParam ? std::u16string_view(reinterpret_cast<LPCWSTR>(lParam)) : std::u16string_view();
  }
  int Count() const { return static_cast<int>(m_items.size()); }
  bool Valid(int index) const { return index >= 0 && index < Count(); }
  Item& At(WPARAM index) { return m_items[static_cast<std::size_t>(index)]; }
  int Page(HWND hwnd) const {
    RECT client;
    GetClientRect(hwnd, &client);
    return m_itemHeight > 0 ? std::max(0, static_cast<int>(client.bottom) / m_itemHeight) : 0;
  }
  bool OwnerDrawn(HWND hwnd) const {
    return (GetWindowStyle(hwnd) & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) != 0;
  }

  // Owner-drawn items ask their height once, when the list box is made.
  void Measure(HWND hwnd) {
    m_itemHeight = LineHeight(hwnd);
    if (OwnerDrawn(hwnd)) m_itemHeight = MeasureOwnerItems(hwnd, ODT_LISTBOX, m_itemHeight);
  }

  LRESULT Insert(HWND hwnd, int index, std::u16string_view text, bool sorted) {
    if (index < -1 || index > Count()) return LB_ERR;
    std::size_t at = index < 0 ? m_items.size() : static_cast<std::size_t>(index);
    if (sorted && (GetWindowStyle(hwnd) & LBS_SORT)) {
      at = static_cast<std::size_t>(
          std::upper_bound(m_items.begin(), m_items.end(), text,
                           [](std::u16string_view t, const Item& item) { return Before(t, item.text); }) -
          m_items.begin());
    }
    m_items.insert(m_items.begin() + static_cast<std::ptrdiff_t>(at), Item{std::u16string(text), 0});
    if (m_selection >= static_cast<int>(at)) ++m_selection;
    Changed(hwnd);
    return static_cast<LRESULT>(at);
  }

  LRESULT Delete(HWND hwnd, int index) {
    if (!Valid(index)) return LB_ERR;
    m_items.erase(m_items.begin() + index);
    if (m_selection == index) m_selection = -1;
    else if (m_selection > index) --m_selection;
    Changed(hwnd);
    return Count();
  }

  LRESULT CopyText(int index, WCHAR* out) {
    if (!Valid(index) || !out) return LB_ERR;
    const std::u16string& text = m_items[static_cast<std::size_t>(index)].text;
    std::copy(text.begin(), text.end(), out);
    out[text.size()] = 0;
    return static_cast<LRESULT>(text.size());
  }

  // Case-insensitive, from the item after `start` round to it (-1: from the first).
  LRESULT Find(int start, std::u16string_view text, bool prefix) const {
    const int n = Count();
    if (n == 0) return LB_ERR;
    const int first = start < 0 || start >= n ? 0 : start + 1;
    for (int k = 0; k < n; ++k) {
      const int i = (first + k) % n;
      if (SameText(m_items[static_cast<std::size_t>(i)].text, text, prefix)) return i;
    }
    return LB_ERR;
  }

  LRESULT Select(HWND hwnd, int index, bool byUser) {
    if (index != -1 && !Valid(index)) return LB_ERR;
    const int before = m_selection;
    m_selection = index;
    if (index >= 0) EnsureVisible(hwnd, index);
    if (before != index) InvalidateRect(hwnd, nullptr, TRUE);
    if (byUser && before != index && (GetWindowStyle(hwnd) & LBS_NOTIFY)) NotifyParent(hwnd, LBN_SELCHANGE);
    return index < 0 ? LB_ERR : index;
  }

  void EnsureVisible(HWND hwnd, int index) { SetTop(hwnd, TopShowing(index, m_top, std::max(1, Page(hwnd)))); }

  void SetTop(HWND hwnd, int top) {
    const int last = std::max(0, Count() - std::max(1, Page(hwnd)));
    top = std::clamp(top, 0, last);
    if (top == m_top) return;
    m_top = top;
    UpdateScroll(hwnd);
    InvalidateRect(hwnd, nullptr, TRUE);
  }

  void Changed(HWND hwnd) {
    const int last = std::max(0, Count() - std::max(1, Page(hwnd)));
    m_top = std::clamp(m_top, 0, last);
    UpdateScroll(hwnd);
    InvalidateRect(hwnd, nullptr, TRUE);
  }

  void UpdateScroll(HWND hwnd) {
    SCROLLINFO info;
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMin = 0;
    info.nMax = std::max(0, Count() - 1);
    info.nPage = static_cast<UINT>(Page(hwnd));
    info.nPos = m_top;
    SetScrollInfo(hwnd, SB_VERT, &info, TRUE);
  }

  RECT ItemRect(HWND hwnd, int index) const {
    RECT client;
    GetClientRect(hwnd, &client);
    const int top = (index - m_top) * m_itemHeight;
    return {0, top, client.right, top + m_itemHeight};
  }

  // The item under a client point; the high word is 1 when the point lies on
  // no item (the nearest item is answered then).
  LRESULT ItemFromPoint(HWND hwnd, POINT p) const {
    RECT client;
    GetClientRect(hwnd, &client);
    if (m_items.empty() || m_itemHeight <= 0) return MAKELONG(0, 1);
    const int row = p.y < 0 ? -1 : p.y / m_itemHeight;
    const int index = m_top + row;
    const bool inside = PtInRect(&client, p) && row >= 0 && index < Count();
    const int nearest = std::clamp(index, 0, Count() - 1);
    return static_cast<LRESULT>(MAKELONG(static_cast<WORD>(nearest), inside ? 0 : 1));
  }

  void Scroll(HWND hwnd, UINT code, int position) {
    SetTop(hwnd, ScrolledTop(code, position, m_top, std::max(1, Page(hwnd)), Count()));
  }

  void Key(HWND hwnd, int vk) {
    const int page = std::max(1, Page(hwnd));
    int next = m_selection;
    switch (vk) {
    case VK_UP: next = m_selection - 1; break;
    case VK_DOWN: next = m_selection + 1; break;
    case VK_PRIOR: next = m_selection - page; break;
    case VK_NEXT: next = m_selection + page; break;
    case VK_HOME: next = 0; break;
    case VK_END: next = Count() - 1; break;
    default: return;
    }
    if (m_items.empty()) return;
    Select(hwnd, std::clamp(next, 0, Count() - 1), true);
  }

  void Paint(HWND hwnd) {
    PAINTSTRUCT ps;
    const HDC dc = BeginPaint(hwnd, &ps);
    if (!dc) return;
    const bool owner = OwnerDrawn(hwnd);
    const HBRUSH background = RequestColours(hwnd, WM_CTLCOLORLISTBOX, dc);
    const COLORREF text = GetTextColor(dc);
    RECT client;
    GetClientRect(hwnd, &client);
    const bool focused = GetFocus() == hwnd;
    for (int i = m_top; i < Count() && m_itemHeight > 0; ++i) {
      const RECT rect = ItemRect(hwnd, i);
      if (rect.top >= client.bottom) break;
      const UINT state = (i == m_selection ? ODS_SELECTED : 0) | (i == m_selection && focused ? ODS_FOCUS : 0) |
                         (IsWindowEnabled(hwnd) ? 0 : ODS_DISABLED);
      if (owner) {
        DrawOwnerItem(hwnd, ODT_LISTBOX, static_cast<UINT>(i), state, dc, rect,
                      static_cast<ULONG_PTR>(m_items[static_cast<std::size_t>(i)].data));
        if (!IsLiveWindow(hwnd)) return;
        continue;
      }
      const bool selected = state & ODS_SELECTED;
      FillRect(dc, &rect, selected ? GetSysColorBrush(COLOR_HIGHLIGHT) : background);
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, selected ? GetSysColor(COLOR_HIGHLIGHTTEXT) : text);
      RECT textRect = rect;
      textRect.left += 2;
      DrawControlText(dc, m_items[static_cast<std::size_t>(i)].text, textRect, DT_VCENTER | DT_NOPREFIX);
    }
    EndPaint(hwnd, &ps);
  }

  std::vector<Item> m_items;
  int m_selection = -1;
  int m_top = 0;
  int m_itemHeight = 13;
};

} // namespace

std::unique_ptr<NativeControl> MakeListBox(HWND, const CREATESTRUCTW&) { return std::make_unique<ListBox>(); }

} // namespace platform::core
