// The tree view ("SysTreeView32"): items with text, images, a child count
// and item data under a hidden root; lazy expansion (TVN_ITEMEXPANDING comes
// before the children exist, and an item's button shows from its child count
// or, with I_CHILDRENCALLBACK, from the parent's answer to TVN_GETDISPINFO);
// the caret and drop-highlight items; sorted insertion and sorting by text
// or by a comparison function; label editing in an edit control over the
// item; hit tests; item images through the image-list painter; vertical
// scrolling in rows and horizontal in pixels. Item handles are numbers that
// are never reused, so a deleted item's handle is refused, never mistaken.

#include "platform/afx/AfxWin.h"
#include "platform/core/Controls.h"
#include "platform/win/WinTreeView.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>

namespace platform::core {
namespace {

constexpr int kIndent = 19;
constexpr int kImageSize = 16;
constexpr int kImageGap = 3;
constexpr COLORREF kLineColour = RGB(160, 160, 160);
constexpr UINT kDrawTransparent = 0x0001; // the image lists' ILD_TRANSPARENT

// Set by whichever thread first hands out an image list; read when painting.
std::atomic<ImageListPainter> g_imagePainter{nullptr};

struct Item {
  std::uintptr_t id = 0;
  Item* parent = nullptr;
  std::vector<std::unique_ptr<Item>> children;
  std::u16string text;
  int image = 0;
  int selectedImage = 0;
  int childCount = 0; // cChildren: 0, 1 or I_CHILDRENCALLBACK
  UINT state = 0;
  LPARAM data = 0;
  mutable int textWidth = -1; // measured when first needed
};

HTREEITEM Handle(std::uintptr_t id) { return reinterpret_cast<HTREEITEM>(id); }
HTREEITEM Handle(const Item* item) { return item ? Handle(item->id) : nullptr; }

int CompareTexts(const std::u16string& a, const std::u16string& b) {
  auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; };
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t x = lower(a[i]), y = lower(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

// The edit of a label: Enter ends it, Esc cancels it, and so does losing the
// focus (ended). The tree is told by a posted request, so the edit is never
// destroyed inside its own handler.
class LabelEdit : public CEdit {
public:
  explicit LabelEdit(HWND tree) : m_tree(tree) {}

protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_KEYDOWN && (wParam == VK_RETURN || wParam == VK_ESCAPE)) {
      ::PostMessageW(m_tree, TVM_ENDEDITLABELNOW, wParam == VK_ESCAPE, 0);
      return 0;
    }
    if (message == WM_GETDLGCODE) return DLGC_WANTALLKEYS | CEdit::WindowProc(message, wParam, lParam);
    const LRESULT result = CEdit::WindowProc(message, wParam, lParam);
    if (message == WM_KILLFOCUS) ::PostMessageW(m_tree, TVM_ENDEDITLABELNOW, FALSE, 0);
    return result;
  }

private:
  HWND m_tree;
};

class TreeView : public NativeControl {
public:
  TreeView() { m_root.id = m_nextId++; }

  LRESULT Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override {
    switch (message) {
    case WM_CREATE: m_itemHeight = std::max(kImageSize + 2, LineHeight(hwnd) + 4); return 0;
    case TVM_INSERTITEMW: return reinterpret_cast<LRESULT>(Insert(hwnd, reinterpret_cast<const TVINSERTSTRUCTW*>(lParam)));
    case TVM_DELETEITEM: return Delete(hwnd, reinterpret_cast<HTREEITEM>(lParam));
    case TVM_EXPAND: return Expand(hwnd, Find(reinterpret_cast<HTREEITEM>(lParam)), static_cast<UINT>(wParam));
    case TVM_GETITEMRECT: return GetItemRect(hwnd, wParam != 0, reinterpret_cast<RECT*>(lParam));
    case TVM_GETCOUNT: return static_cast<LRESULT>(m_items.size());
    case TVM_GETINDENT: return kIndent;
    case TVM_GETITEMHEIGHT: return m_itemHeight;
    case TVM_SETIMAGELIST: {
      HIMAGELIST& list = wParam == TVSIL_STATE ? m_stateImages : m_images;
      const HIMAGELIST before = list;
      list = reinterpret_cast<HIMAGELIST>(lParam);
      InvalidateRect(hwnd, nullptr, TRUE);
      return reinterpret_cast<LRESULT>(before);
    }
    case TVM_GETIMAGELIST: return reinterpret_cast<LRESULT>(wParam == TVSIL_STATE ? m_stateImages : m_images);
    case TVM_GETNEXTITEM: return reinterpret_cast<LRESULT>(Handle(Next(hwnd, static_cast<UINT>(wParam), reinterpret_cast<HTREEITEM>(lParam))));
    case TVM_SELECTITEM: return Select(hwnd, static_cast<UINT>(wParam), reinterpret_cast<HTREEITEM>(lParam));
    case TVM_GETITEMW: return GetItem(hwnd, reinterpret_cast<TVITEMW*>(lParam));
    case TVM_SETITEMW: return SetItem(hwnd, reinterpret_cast<const TVITEMW*>(lParam));
    case TVM_GETVISIBLECOUNT: return Page(hwnd);
    case TVM_HITTEST: return reinterpret_cast<LRESULT>(HitTest(hwnd, reinterpret_cast<TVHITTESTINFO*>(lParam)));
    case TVM_SORTCHILDREN: return SortChildren(hwnd, reinterpret_cast<HTREEITEM>(lParam), nullptr, 0);
    case TVM_SORTCHILDRENCB: {
      const auto* sort = reinterpret_cast<const TVSORTCB*>(lParam);
      return sort && sort->lpfnCompare ? SortChildren(hwnd, sort->hParent, sort->lpfnCompare, sort->lParam) : FALSE;
    }
    case TVM_ENSUREVISIBLE: return EnsureVisible(hwnd, Find(reinterpret_cast<HTREEITEM>(lParam)));
    case TVM_EDITLABELW: return reinterpret_cast<LRESULT>(BeginEdit(hwnd, Find(reinterpret_cast<HTREEITEM>(lParam))));
    case TVM_GETEDITCONTROL: return reinterpret_cast<LRESULT>(m_edit);
    case TVM_ENDEDITLABELNOW: return EndEdit(hwnd, wParam != 0);
    case TVM_SETBKCOLOR: {
      const COLORREF before = m_background;
      m_background = static_cast<COLORREF>(lParam);
      InvalidateRect(hwnd, nullptr, TRUE);
      return static_cast<LRESULT>(before);
    }
    case TVM_SETTEXTCOLOR: {
      const COLORREF before = m_text;
      m_text = static_cast<COLORREF>(lParam);
      InvalidateRect(hwnd, nullptr, TRUE);
      return static_cast<LRESULT>(before);
    }
    case WM_SETFONT:
      GenericWindowProc(hwnd, message, wParam, lParam);
      m_itemHeight = std::max(kImageSize + 2, LineHeight(hwnd) + 4);
      ForgetWidths(m_root);
      Changed(hwnd);
      return 0;
    case WM_SIZE: Changed(hwnd); return 0;
    case WM_ERASEBKGND: {
      RECT client;
      GetClientRect(hwnd, &client);
      const HBRUSH brush = CreateSolidBrush(m_background);
      FillRect(reinterpret_cast<HDC>(wParam), &client, brush);
      DeleteObject(brush);
      return TRUE;
    }
    case WM_PAINT: Paint(hwnd); return 0;
    case WM_VSCROLL:
      SetTop(hwnd, ScrolledTop(LOWORD(wParam), HIWORD(wParam), m_top, std::max(1, Page(hwnd)), VisibleCount()));
      return 0;
    case WM_HSCROLL: ScrollColumns(hwnd, LOWORD(wParam), HIWORD(wParam)); return 0;
    case WM_MOUSEWHEEL: SetTop(hwnd, m_top - 3 * GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA); return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: Click(hwnd, message, {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}); return 0;
    case WM_RBUTTONDOWN: SetFocus(hwnd); return 0;
    case WM_RBUTTONUP: {
      NMHDR header;
      NotifyParent(hwnd, header, NM_RCLICK);
      return 0;
    }
    case WM_KEYDOWN: Key(hwnd, static_cast<int>(wParam)); return 0;
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: InvalidateRect(hwnd, nullptr, TRUE); return 0;
    case WM_DESTROY:
      EndEdit(hwnd, true);
      DeleteChildren(hwnd, &m_root);
      return GenericWindowProc(hwnd, message, wParam, lParam);
    default: return GenericWindowProc(hwnd, message, wParam, lParam);
    }
  }

private:
  // ---- Items ----

  Item* Find(HTREEITEM handle) {
    if (handle == TVI_ROOT) return &m_root;
    auto it = m_items.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == m_items.end() ? nullptr : it->second;
  }
  // An item of the tree (never the hidden root); null for others.
  Item* FindItem(HTREEITEM handle) {
    Item* item = Find(handle);
    return item == &m_root ? nullptr : item;
  }

  static int IndexIn(const Item* item) {
    const auto& siblings = item->parent->children;
    for (std::size_t i = 0; i < siblings.size(); ++i) {
      if (siblings[i].get() == item) return static_cast<int>(i);
    }
    return -1;
  }

  HTREEITEM Insert(HWND hwnd, const TVINSERTSTRUCTW* insert) {
    if (!insert) return nullptr;
    Item* parent = insert->hParent ? Find(insert->hParent) : &m_root;
    if (!parent) return nullptr;
    auto item = std::make_unique<Item>();
    item->id = m_nextId++;
    item->parent = parent;
    Apply(*item, insert->item);
    auto& siblings = parent->children;
    std::size_t at = siblings.size();
    if (insert->hInsertAfter == TVI_FIRST) {
      at = 0;
    } else if (insert->hInsertAfter == TVI_SORT) {
      at = static_cast<std::size_t>(std::upper_bound(siblings.begin(), siblings.end(), item,
                                                     [](const auto& a, const auto& b) {
                                                       return CompareTexts(a->text, b->text) < 0;
                                                     }) -
                                    siblings.begin());
    } else if (insert->hInsertAfter && insert->hInsertAfter != TVI_LAST) {
      Item* after = FindItem(insert->hInsertAfter);
      if (after && after->parent == parent) at = static_cast<std::size_t>(IndexIn(after)) + 1;
    }
    Item* raw = item.get();
    m_items[raw->id] = raw;
    siblings.insert(siblings.begin() + static_cast<std::ptrdiff_t>(at), std::move(item));
    Changed(hwnd);
    return Handle(raw);
  }

  static void Apply(Item& item, const TVITEMW& from) {
    if (from.mask & TVIF_TEXT) {
      item.text = from.pszText ? std::u16string(from.pszText) : std::u16string();
      item.textWidth = -1;
    }
    if (from.mask & TVIF_IMAGE) item.image = from.iImage;
    if (from.mask & TVIF_SELECTEDIMAGE) item.selectedImage = from.iSelectedImage;
    if (from.mask & TVIF_CHILDREN) item.childCount = from.cChildren;
    if (from.mask & TVIF_PARAM) item.data = from.lParam;
    // Selection and drop highlight belong to the tree's own requests.
    const UINT own = TVIS_SELECTED | TVIS_DROPHILITED;
    if (from.mask & TVIF_STATE) item.state = (item.state & ~(from.stateMask & ~own)) | (from.state & from.stateMask & ~own);
  }

  UINT StateOf(const Item& item) const {
    return item.state | (item.id == m_caret ? TVIS_SELECTED : 0) | (item.id == m_drop ? TVIS_DROPHILITED : 0);
  }

  void Describe(const Item& item, TVITEMW& out) const {
    out.mask = TVIF_HANDLE | TVIF_PARAM | TVIF_STATE;
    out.hItem = Handle(&item);
    out.state = StateOf(item);
    out.stateMask = 0xFFFF;
    out.lParam = item.data;
  }

  LRESULT GetItem(HWND, TVITEMW* out) {
    Item* item = out ? FindItem(out->hItem) : nullptr;
    if (!item) return FALSE;
    if (out->mask & TVIF_TEXT && out->pszText && out->cchTextMax > 0) {
      const std::size_t n = std::min(item->text.size(), static_cast<std::size_t>(out->cchTextMax - 1));
      std::copy_n(item->text.data(), n, out->pszText);
      out->pszText[n] = 0;
    }
    if (out->mask & TVIF_IMAGE) out->iImage = item->image;
    if (out->mask & TVIF_SELECTEDIMAGE) out->iSelectedImage = item->selectedImage;
    if (out->mask & TVIF_CHILDREN) out->cChildren = item->childCount;
    if (out->mask & TVIF_PARAM) out->lParam = item->data;
    if (out->mask & TVIF_STATE) out->state = StateOf(*item) & out->stateMask;
    return TRUE;
  }

  LRESULT SetItem(HWND hwnd, const TVITEMW* from) {
    Item* item = from ? FindItem(from->hItem) : nullptr;
    if (!item) return FALSE;
    Apply(*item, *from);
    Changed(hwnd);
    return TRUE;
  }

  // Whether the item shows an expand button: it has children, or says it
  // has (asking the parent for a callback count).
  bool HasChildren(HWND hwnd, Item& item) {
    if (!item.children.empty()) return true;
    if (item.childCount != I_CHILDRENCALLBACK) return item.childCount > 0;
    NMTVDISPINFOW info;
    info.item.mask = TVIF_CHILDREN;
    info.item.hItem = Handle(&item);
    info.item.state = StateOf(item);
    info.item.lParam = item.data;
    NotifyParent(hwnd, info.hdr, TVN_GETDISPINFOW);
    return info.item.cChildren > 0;
  }

  // ---- Deleting ----

  LRESULT Delete(HWND hwnd, HTREEITEM handle) {
    if (!handle || handle == TVI_ROOT) {
      DeleteChildren(hwnd, &m_root);
      Changed(hwnd);
      return TRUE;
    }
    Item* item = FindItem(handle);
    if (!item) return FALSE;
    const std::uintptr_t id = item->id;
    if (m_caret && Contains(item, m_caret)) MoveCaretAway(hwnd, item);
    item = m_items.count(id) ? m_items[id] : nullptr; // the notifications may have deleted it already
    if (!item) return TRUE;
    if (m_drop && Contains(item, m_drop)) m_drop = 0;
    if (m_editItem && Contains(item, m_editItem)) EndEdit(hwnd, true);
    item = m_items.count(id) ? m_items[id] : nullptr;
    if (!item) return TRUE;
    std::unique_ptr<Item> owned = Detach(item);
    Forget(hwnd, *owned);
    Changed(hwnd);
    return TRUE;
  }

  void DeleteChildren(HWND hwnd, Item* parent) {
    if (m_caret && parent != &m_root && Contains(parent, m_caret) && parent->id != m_caret) SetCaret(hwnd, parent, TVC_UNKNOWN);
    if (parent == &m_root) m_caret = 0;
    while (!parent->children.empty()) {
      std::unique_ptr<Item> child = std::move(parent->children.back());
      parent->children.pop_back();
      if (m_drop && Contains(child.get(), m_drop)) m_drop = 0;
      if (m_caret && Contains(child.get(), m_caret)) m_caret = 0;
      Forget(hwnd, *child);
    }
  }

  static bool Contains(const Item* top, std::uintptr_t id) {
    if (top->id == id) return true;
    for (const auto& child : top->children) {
      if (Contains(child.get(), id)) return true;
    }
    return false;
  }

  std::unique_ptr<Item> Detach(Item* item) {
    auto& siblings = item->parent->children;
    const auto at = siblings.begin() + IndexIn(item);
    std::unique_ptr<Item> owned = std::move(*at);
    siblings.erase(at);
    return owned;
  }

  // Takes a detached subtree's items out of the tree, telling the parent of
  // each (children first), then frees them.
  void Forget(HWND hwnd, Item& item) {
    for (auto& child : item.children) Forget(hwnd, *child);
    m_items.erase(item.id);
    NMTREEVIEWW nm;
    nm.itemOld.mask = TVIF_HANDLE | TVIF_PARAM;
    nm.itemOld.hItem = Handle(&item);
    nm.itemOld.lParam = item.data;
    NotifyParent(hwnd, nm.hdr, TVN_DELETEITEMW);
  }

  // The caret leaves a subtree about to go: to the next sibling, else the
  // previous one, else the parent.
  void MoveCaretAway(HWND hwnd, Item* item) {
    const auto& siblings = item->parent->children;
    const int index = IndexIn(item);
    Item* next = index + 1 < static_cast<int>(siblings.size()) ? siblings[index + 1].get()
                 : index > 0                                    ? siblings[index - 1].get()
                 : item->parent != &m_root                      ? item->parent
                                                                : nullptr;
    SetCaret(hwnd, next, TVC_UNKNOWN);
  }

  // ---- Expanding ----

  LRESULT Expand(HWND hwnd, Item* item, UINT code) {
    if (!item || item == &m_root) return FALSE;
    const bool expanded = item->state & TVIS_EXPANDED;
    UINT action = code & 0x3;
    if (action == TVE_TOGGLE) action = expanded ? TVE_COLLAPSE : TVE_EXPAND;
    if (action == TVE_EXPAND) {
      if (expanded) return TRUE;
      const std::uintptr_t id = item->id;
      if (Notify(hwnd, TVN_ITEMEXPANDINGW, *item, TVE_EXPAND)) return FALSE;
      if (!(item = FindItem(Handle(id)))) return FALSE;
      item->state |= TVIS_EXPANDED | TVIS_EXPANDEDONCE;
      Changed(hwnd);
      Notify(hwnd, TVN_ITEMEXPANDEDW, *item, TVE_EXPAND);
      return TRUE;
    }
    if (action != TVE_COLLAPSE) return FALSE;
    const std::uintptr_t id = item->id;
    if (expanded && Notify(hwnd, TVN_ITEMEXPANDINGW, *item, TVE_COLLAPSE)) return FALSE;
    if (!(item = FindItem(Handle(id)))) return FALSE;
    if (m_caret && m_caret != id && Contains(item, m_caret)) SetCaret(hwnd, item, TVC_UNKNOWN);
    if (!(item = FindItem(Handle(id)))) return FALSE;
    item->state &= ~TVIS_EXPANDED;
    if (code & TVE_COLLAPSERESET) {
      item->state &= ~TVIS_EXPANDEDONCE;
      DeleteChildren(hwnd, item);
    }
    Changed(hwnd);
    if (expanded) Notify(hwnd, TVN_ITEMEXPANDEDW, *item, TVE_COLLAPSE);
    return TRUE;
  }

  LRESULT Notify(HWND hwnd, UINT code, const Item& item, UINT action) {
    NMTREEVIEWW nm;
    nm.action = action;
    Describe(item, nm.itemNew);
    return NotifyParent(hwnd, nm.hdr, code);
  }

  // ---- Navigation and selection ----

  static bool Shown(const Item* item) {
    for (const Item* p = item->parent; p && p->parent; p = p->parent) {
      if (!(p->state & TVIS_EXPANDED)) return false;
    }
    return true;
  }

  void CollectVisible(Item& parent, std::vector<Item*>& out) const {
    for (auto& child : parent.children) {
      out.push_back(child.get());
      if (child->state & TVIS_EXPANDED) CollectVisible(*child, out);
    }
  }
  std::vector<Item*> Visible() {
    std::vector<Item*> out;
    CollectVisible(m_root, out);
    return out;
  }
  int VisibleCount() { return static_cast<int>(Visible().size()); }
  int RowOf(const Item* item) {
    const std::vector<Item*> rows = Visible();
    const auto it = std::find(rows.begin(), rows.end(), item);
    return it == rows.end() ? -1 : static_cast<int>(it - rows.begin());
  }

  Item* Next(HWND hwnd, UINT code, HTREEITEM from) {
    switch (code) {
    case TVGN_ROOT: return m_root.children.empty() ? nullptr : m_root.children.front().get();
    case TVGN_CARET: return FindItem(Handle(m_caret));
    case TVGN_DROPHILITE: return FindItem(Handle(m_drop));
    case TVGN_FIRSTVISIBLE: {
      const std::vector<Item*> rows = Visible();
      return m_top < static_cast<int>(rows.size()) ? rows[static_cast<std::size_t>(m_top)] : nullptr;
    }
    case TVGN_CHILD: {
      Item* item = from ? Find(from) : &m_root;
      return item && !item->children.empty() ? item->children.front().get() : nullptr;
    }
    default: break;
    }
    Item* item = FindItem(from);
    if (!item) return nullptr;
    switch (code) {
    case TVGN_NEXT:
    case TVGN_PREVIOUS: {
      const auto& siblings = item->parent->children;
      const int index = IndexIn(item) + (code == TVGN_NEXT ? 1 : -1);
      return index >= 0 && index < static_cast<int>(siblings.size()) ? siblings[static_cast<std::size_t>(index)].get()
                                                                     : nullptr;
    }
    case TVGN_PARENT: return item->parent == &m_root ? nullptr : item->parent;
    case TVGN_NEXTVISIBLE:
    case TVGN_PREVIOUSVISIBLE: {
      const std::vector<Item*> rows = Visible();
      const int row = RowOf(item) + (code == TVGN_NEXTVISIBLE ? 1 : -1);
      (void)hwnd;
      return Shown(item) && row >= 0 && row < static_cast<int>(rows.size()) ? rows[static_cast<std::size_t>(row)]
                                                                            : nullptr;
    }
    default: return nullptr;
    }
  }

  LRESULT Select(HWND hwnd, UINT code, HTREEITEM handle) {
    Item* item = handle ? FindItem(handle) : nullptr;
    if (handle && !item) return FALSE;
    switch (code) {
    case TVGN_CARET: return SetCaret(hwnd, item, TVC_UNKNOWN) ? TRUE : FALSE;
    case TVGN_DROPHILITE:
      if (m_drop != (item ? item->id : 0)) {
        m_drop = item ? item->id : 0;
        InvalidateRect(hwnd, nullptr, TRUE);
      }
      return TRUE;
    case TVGN_FIRSTVISIBLE:
      if (!item) return FALSE;
      ShowAncestors(hwnd, item);
      SetTop(hwnd, RowOf(item));
      return TRUE;
    default: return FALSE;
    }
  }

  // Expands the item's ancestors (with their notifications).
  void ShowAncestors(HWND hwnd, Item* item) {
    std::vector<std::uintptr_t> chain;
    for (Item* p = item->parent; p && p != &m_root; p = p->parent) chain.push_back(p->id);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) Expand(hwnd, FindItem(Handle(*it)), TVE_EXPAND);
  }

  // Moves the caret with TVN_SELCHANGING (which may refuse) and TVN_SELCHANGED.
  bool SetCaret(HWND hwnd, Item* item, UINT cause) {
    const std::uintptr_t to = item ? item->id : 0;
    if (to == m_caret) {
      if (item) EnsureVisible(hwnd, item);
      return true;
    }
    NMTREEVIEWW nm;
    nm.action = cause;
    if (Item* old = FindItem(Handle(m_caret))) Describe(*old, nm.itemOld);
    if (item) Describe(*item, nm.itemNew);
    if (NotifyParent(hwnd, nm.hdr, TVN_SELCHANGINGW)) return false;
    if (to && !m_items.count(to)) return false;
    m_caret = to;
    if (Item* now = FindItem(Handle(to))) {
      ShowAncestors(hwnd, now);
      if ((now = FindItem(Handle(to)))) EnsureVisible(hwnd, now);
    }
    nm.itemNew.state = nm.itemNew.state | TVIS_SELECTED;
    nm.itemOld.state &= ~TVIS_SELECTED;
    InvalidateRect(hwnd, nullptr, TRUE);
    NotifyParent(hwnd, nm.hdr, TVN_SELCHANGEDW);
    return true;
  }

  LRESULT EnsureVisible(HWND hwnd, Item* item) {
    if (!item || item == &m_root) return FALSE;
    if (!Shown(item)) ShowAncestors(hwnd, item);
    const int row = RowOf(item);
    if (row < 0) return FALSE;
    SetTop(hwnd, TopShowing(row, m_top, std::max(1, Page(hwnd))));
    return TRUE;
  }

  LRESULT SortChildren(HWND hwnd, HTREEITEM handle, PFNTVCOMPARE compare, LPARAM sortParam) {
    Item* parent = handle ? Find(handle) : &m_root;
    if (!parent) return FALSE;
    std::stable_sort(parent->children.begin(), parent->children.end(), [&](const auto& a, const auto& b) {
      return compare ? compare(a->data, b->data, sortParam) < 0 : CompareTexts(a->text, b->text) < 0;
    });
    Changed(hwnd);
    return TRUE;
  }

  // ---- Geometry ----

  int Page(HWND hwnd) const {
    RECT client;
    GetClientRect(hwnd, &client);
    return m_itemHeight > 0 ? std::max(0, static_cast<int>(client.bottom) / m_itemHeight) : 0;
  }
  static int Depth(const Item* item) {
    int depth = 0;
    for (const Item* p = item->parent; p && p->parent; p = p->parent) ++depth;
    return depth;
  }
  // Left edge of the item's image (its button is in the indent before it).
  int ItemLeft(HWND hwnd, const Item* item) const {
    const bool rootButtons = GetWindowStyle(hwnd) & TVS_LINESATROOT;
    return (Depth(item) + (rootButtons ? 1 : 0)) * kIndent + 2 - m_left;
  }
  int TextLeft(HWND hwnd, const Item* item) const {
    return ItemLeft(hwnd, item) + (m_images ? kImageSize + kImageGap : 0);
  }
  int TextWidth(HWND hwnd, const Item* item) const {
    if (item->textWidth < 0) item->textWidth = (Host() ? Host()->GetTextWidth(WindowFont(hwnd), item->text) : 0) + 4;
    return item->textWidth;
  }
  void ForgetWidths(Item& item) {
    item.textWidth = -1;
    for (auto& child : item.children) ForgetWidths(*child);
  }

  LRESULT GetItemRect(HWND hwnd, bool textOnly, RECT* rect) {
    if (!rect) return FALSE;
    Item* item = FindItem(*reinterpret_cast<HTREEITEM*>(rect));
    const int row = item ? RowOf(item) : -1;
    if (row < 0) return FALSE;
    RECT client;
    GetClientRect(hwnd, &client);
    const int top = (row - m_top) * m_itemHeight;
    if (textOnly) {
      const int left = TextLeft(hwnd, item);
      *rect = {left, top, left + TextWidth(hwnd, item), top + m_itemHeight};
    } else {
      *rect = {0, top, client.right, top + m_itemHeight};
    }
    return TRUE;
  }

  HTREEITEM HitTest(HWND hwnd, TVHITTESTINFO* info) {
    if (!info) return nullptr;
    info->hItem = nullptr;
    RECT client;
    GetClientRect(hwnd, &client);
    if (info->pt.y < 0) {
      info->flags = TVHT_ABOVE;
      return nullptr;
    }
    if (info->pt.y >= client.bottom) {
      info->flags = TVHT_BELOW;
      return nullptr;
    }
    const std::vector<Item*> rows = Visible();
    const int row = m_itemHeight > 0 ? m_top + info->pt.y / m_itemHeight : -1;
    if (row < 0 || row >= static_cast<int>(rows.size())) {
      info->flags = TVHT_NOWHERE;
      return nullptr;
    }
    Item* item = rows[static_cast<std::size_t>(row)];
    const int x = info->pt.x;
    const int image = ItemLeft(hwnd, item), text = TextLeft(hwnd, item);
    if (x < image - kIndent) info->flags = TVHT_ONITEMINDENT;
    else if (x < image) info->flags = HasChildren(hwnd, *item) && ShowsButtons(hwnd, item) ? TVHT_ONITEMBUTTON : TVHT_ONITEMINDENT;
    else if (x < text) info->flags = TVHT_ONITEMICON;
    else if (x < text + TextWidth(hwnd, item)) info->flags = TVHT_ONITEMLABEL;
    else info->flags = TVHT_ONITEMRIGHT;
    info->hItem = Handle(item);
    return info->hItem;
  }

  static bool ShowsButtons(HWND hwnd, const Item* item) {
    const DWORD style = GetWindowStyle(hwnd);
    return (style & TVS_HASBUTTONS) && (item->parent->parent || (style & TVS_LINESATROOT));
  }

  int ContentWidth(HWND hwnd) {
    int width = 0;
    for (Item* item : Visible()) width = std::max(width, TextLeft(hwnd, item) + m_left + TextWidth(hwnd, item));
    return width;
  }

  // ---- Scrolling ----

  void SetTop(HWND hwnd, int top) {
    top = std::clamp(top, 0, std::max(0, VisibleCount() - std::max(1, Page(hwnd))));
    if (top == m_top) return;
    m_top = top;
    UpdateScroll(hwnd);
    InvalidateRect(hwnd, nullptr, TRUE);
  }

  void SetLeft(HWND hwnd, int left) {
    RECT client;
    GetClientRect(hwnd, &client);
    left = std::clamp(left, 0, std::max(0, ContentWidth(hwnd) - static_cast<int>(client.right)));
    if (left == m_left) return;
    m_left = left;
    UpdateScroll(hwnd);
    InvalidateRect(hwnd, nullptr, TRUE);
  }

  void ScrollColumns(HWND hwnd, UINT code, int position) {
    RECT client;
    GetClientRect(hwnd, &client);
    SetLeft(hwnd, ScrolledLeft(code, position, m_left, kIndent, client.right, ContentWidth(hwnd)));
  }

  void Changed(HWND hwnd) {
    RECT client;
    GetClientRect(hwnd, &client);
    m_top = std::clamp(m_top, 0, std::max(0, VisibleCount() - std::max(1, Page(hwnd))));
    m_left = std::clamp(m_left, 0, std::max(0, ContentWidth(hwnd) - static_cast<int>(client.right)));
    UpdateScroll(hwnd);
    InvalidateRect(hwnd, nullptr, TRUE);
  }

  void UpdateScroll(HWND hwnd) {
    SetItemScrollData(hwnd, VisibleCount(), Page(hwnd), m_top, ContentWidth(hwnd), m_left);
  }

  // ---- Input ----

  void Click(HWND hwnd, UINT message, POINT point) {
    SetFocus(hwnd);
    TVHITTESTINFO info;
    info.pt = point;
    Item* item = FindItem(HitTest(hwnd, &info));
    if (!item) return;
    if (info.flags & TVHT_ONITEMBUTTON || (message == WM_LBUTTONDBLCLK && (info.flags & TVHT_ONITEM))) {
      Expand(hwnd, item, TVE_TOGGLE);
      return;
    }
    if (info.flags & (TVHT_ONITEM | TVHT_ONITEMRIGHT)) SetCaret(hwnd, item, TVC_BYMOUSE);
  }

  void Key(HWND hwnd, int vk) {
    Item* caret = FindItem(Handle(m_caret));
    const std::vector<Item*> rows = Visible();
    if (rows.empty()) return;
    const int row = caret ? RowOf(caret) : -1;
    auto at = [&](int r) { return rows[static_cast<std::size_t>(std::clamp(r, 0, static_cast<int>(rows.size()) - 1))]; };
    switch (vk) {
    case VK_UP: SetCaret(hwnd, at(row - 1), TVC_BYKEYBOARD); break;
    case VK_DOWN: SetCaret(hwnd, at(row + 1), TVC_BYKEYBOARD); break;
    case VK_HOME: SetCaret(hwnd, at(0), TVC_BYKEYBOARD); break;
    case VK_END: SetCaret(hwnd, at(static_cast<int>(rows.size()) - 1), TVC_BYKEYBOARD); break;
    case VK_PRIOR: SetCaret(hwnd, at(row - std::max(1, Page(hwnd))), TVC_BYKEYBOARD); break;
    case VK_NEXT: SetCaret(hwnd, at(row + std::max(1, Page(hwnd))), TVC_BYKEYBOARD); break;
    case VK_RIGHT:
      if (!caret) break;
      if (!(caret->state & TVIS_EXPANDED)) Expand(hwnd, caret, TVE_EXPAND);
      else if (!caret->children.empty()) SetCaret(hwnd, caret->children.front().get(), TVC_BYKEYBOARD);
      break;
    case VK_LEFT:
      if (!caret) break;
      if (caret->state & TVIS_EXPANDED) Expand(hwnd, caret, TVE_COLLAPSE);
      else if (caret->parent != &m_root) SetCaret(hwnd, caret->parent, TVC_BYKEYBOARD);
      break;
    case VK_F1 + 1: // F2
      if (caret && (GetWindowStyle(hwnd) & TVS_EDITLABELS)) BeginEdit(hwnd, caret);
      break;
    default: break;
    }
  }

  // ---- Label editing ----

  HWND BeginEdit(HWND hwnd, Item* item) {
    if (!item || item == &m_root) return nullptr;
    EndEdit(hwnd, true);
    const std::uintptr_t id = item->id;
    NMTVDISPINFOW info;
    Describe(*item, info.item);
    info.item.mask |= TVIF_TEXT;
    info.item.pszText = item->text.data();
    if (NotifyParent(hwnd, info.hdr, TVN_BEGINLABELEDITW) || !(item = FindItem(Handle(id)))) return nullptr;
    EnsureVisible(hwnd, item);
    RECT rect;
    *reinterpret_cast<HTREEITEM*>(&rect) = Handle(item);
    if (!GetItemRect(hwnd, true, &rect)) return nullptr;
    RECT client;
    GetClientRect(hwnd, &client);
    rect.right = std::max(rect.right + 40, std::min<LONG>(rect.left + 120, client.right));
    auto edit = std::make_unique<LabelEdit>(hwnd);
    if (!edit->CreateEx(0, WC_EDIT, item->text.c_str(), WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, rect,
                        CWnd::FromHandle(hwnd), 0)) {
      return nullptr;
    }
    m_edit = edit->m_hWnd;
    m_editItem = id;
    Record(m_edit)->ownedObject = std::move(edit);
    SendMessageW(m_edit, WM_SETFONT, SendMessageW(hwnd, WM_GETFONT, 0, 0), FALSE);
    SetFocus(m_edit);
    SendMessageW(m_edit, EM_SETSEL, 0, -1);
    return m_edit;
  }

  LRESULT EndEdit(HWND hwnd, bool cancel) {
    if (!m_edit) return FALSE;
    const HWND edit = m_edit;
    const std::uintptr_t id = m_editItem;
    m_edit = nullptr;
    m_editItem = 0;
    std::u16string text;
    if (IsWindow(edit)) {
      text.resize(static_cast<std::size_t>(GetWindowTextLengthW(edit)) + 1);
      text.resize(static_cast<std::size_t>(GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
      DestroyWindow(edit);
    }
    Item* item = FindItem(Handle(id));
    if (!item) return TRUE;
    NMTVDISPINFOW info;
    Describe(*item, info.item);
    info.item.mask |= TVIF_TEXT;
    info.item.pszText = cancel ? nullptr : text.data();
    info.item.cchTextMax = static_cast<int>(text.size());
    const LRESULT keep = NotifyParent(hwnd, info.hdr, TVN_ENDLABELEDITW);
    if (!cancel && keep && (item = FindItem(Handle(id)))) {
      item->text = text;
      item->textWidth = -1;
      Changed(hwnd);
    }
    return TRUE;
  }

  // ---- Painting ----

  void Paint(HWND hwnd) {
    PAINTSTRUCT ps;
    const HDC dc = BeginPaint(hwnd, &ps);
    if (!dc) return;
    RECT client;
    GetClientRect(hwnd, &client);
    const LOGFONTW logFont = WindowFont(hwnd);
    const HFONT font = CreateFontIndirectW(&logFont);
    const HGDIOBJ oldFont = SelectObject(dc, font);
    const HPEN pen = CreatePen(PS_SOLID, 1, kLineColour);
    const HGDIOBJ oldPen = SelectObject(dc, pen);
    const bool focused = GetFocus() == hwnd;
    const bool showSelection = focused || (GetWindowStyle(hwnd) & TVS_SHOWSELALWAYS);
    const std::vector<Item*> rows = Visible();
    SetBkMode(dc, TRANSPARENT);
    for (int row = m_top; row < static_cast<int>(rows.size()); ++row) {
      const int top = (row - m_top) * m_itemHeight;
      if (top >= client.bottom) break;
      Item* item = rows[static_cast<std::size_t>(row)];
      PaintItem(hwnd, dc, *item, top, showSelection);
      if (!IsLiveWindow(hwnd)) return;
    }
    SelectObject(dc, oldPen);
    DeleteObject(pen);
    SelectObject(dc, oldFont);
    DeleteObject(font);
    EndPaint(hwnd, &ps);
  }

  // The lines joining an item to its parent and siblings (TVS_HASLINES),
  // in the indent columns before its image.
  void PaintLines(HWND hwnd, HDC dc, const Item& item, int top) {
    const bool rootLines = GetWindowStyle(hwnd) & TVS_LINESATROOT;
    if (!item.parent->parent && !rootLines) return;
    const int middle = top + m_itemHeight / 2, bottom = top + m_itemHeight;
    const int cx = ItemLeft(hwnd, &item) - kIndent / 2 - 1;
    auto hasNext = [](const Item* i) { return i->parent && i->parent->children.back().get() != i; };
    const bool first = !item.parent->parent && item.parent->children.front().get() == &item;
    MoveToEx(dc, cx, first ? middle : top, nullptr);
    LineTo(dc, cx, hasNext(&item) ? bottom : middle + 1);
    MoveToEx(dc, cx, middle, nullptr);
    LineTo(dc, cx + kIndent / 2, middle);
    int x = cx;
    for (const Item* p = item.parent; p && p->parent; p = p->parent) {
      x -= kIndent;
      if (!p->parent->parent && !rootLines) break;
      if (hasNext(p)) {
        MoveToEx(dc, x, top, nullptr);
        LineTo(dc, x, bottom);
      }
    }
  }

  void PaintItem(HWND hwnd, HDC dc, Item& item, int top, bool showSelection) {
    const int left = ItemLeft(hwnd, &item);
    const int middle = top + m_itemHeight / 2;
    if (GetWindowStyle(hwnd) & TVS_HASLINES) PaintLines(hwnd, dc, item, top);
    if (ShowsButtons(hwnd, &item) && HasChildren(hwnd, item)) {
      const int cx = left - kIndent / 2 - 1;
      RECT box{cx - 4, middle - 4, cx + 5, middle + 5};
      FillRect(dc, &box, GetSysColorBrush(COLOR_WINDOW));
      FrameRect(dc, &box, GetSysColorBrush(COLOR_BTNSHADOW));
      MoveToEx(dc, cx - 2, middle, nullptr);
      LineTo(dc, cx + 3, middle);
      if (!(item.state & TVIS_EXPANDED)) {
        MoveToEx(dc, cx, middle - 2, nullptr);
        LineTo(dc, cx, middle + 3);
      }
    }
    const bool selected = item.id == m_caret;
    if (const ImageListPainter painter = g_imagePainter.load(); m_images && painter) {
      const int image = selected ? item.selectedImage : item.image;
      painter(m_images, image, dc, left, middle - kImageSize / 2, kDrawTransparent | (item.state & TVIS_OVERLAYMASK));
    }
    const int textLeft = TextLeft(hwnd, &item);
    RECT label{textLeft, top, textLeft + TextWidth(hwnd, &item), top + m_itemHeight};
    const bool highlighted = item.id == m_drop || (selected && showSelection && !m_drop);
    if (highlighted) FillRect(dc, &label, GetSysColorBrush(COLOR_HIGHLIGHT));
    SetTextColor(dc, highlighted ? GetSysColor(COLOR_HIGHLIGHTTEXT) : m_text);
    RECT textRect{label.left + 2, label.top, label.right, label.bottom};
    DrawControlText(dc, item.text, textRect, DT_VCENTER | DT_NOPREFIX);
  }

  Item m_root;
  std::map<std::uintptr_t, Item*> m_items;
  std::uintptr_t m_nextId = 1;
  std::uintptr_t m_caret = 0;
  std::uintptr_t m_drop = 0;
  HWND m_edit = nullptr;
  std::uintptr_t m_editItem = 0;
  HIMAGELIST m_images = nullptr;
  HIMAGELIST m_stateImages = nullptr;
  int m_itemHeight = 18;
  int m_top = 0;
  int m_left = 0;
  COLORREF m_background = RGB(255, 255, 255);
  COLORREF m_text = RGB(0, 0, 0);
};

} // namespace

void SetImageListPainter(ImageListPainter painter) { g_imagePainter.store(painter); }

std::unique_ptr<NativeControl> MakeTreeView(HWND, const CREATESTRUCTW&) { return std::make_unique<TreeView>(); }

} // namespace platform::core
