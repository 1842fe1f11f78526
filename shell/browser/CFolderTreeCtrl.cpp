#include "shell/browser/CFolderTreeCtrl.h"

#include "shell/app/AppClipboard.h"
#include "shell/app/AppMessages.h"
#include "shell/browser/ItemIdLists.h"
#include "toolkit/FileOperations.h"
#include "toolkit/SiblingBar.h"
#include "toolkit/TextTable.h"

#include "platform/afx/AfxMenu.h"

#include "foundation/FIFolder.h"
#include "foundation/FPath.h"

#include <string>
#include <sys/stat.h>

namespace {

// Text ids of the menus and the delete question.
constexpr int kNewFolderTextId = 1027;
constexpr int kCutTextId = 1028;
constexpr int kCopyTextId = 1029;
constexpr int kPasteTextId = 1030;
constexpr int kDeleteTextId = 1031;
constexpr int kCopyHereTextId = 1043;
constexpr int kMoveHereTextId = 1044;
constexpr int kCancelDropTextId = 1045;
constexpr int kDeleteQuestionTextId = 1052;

// The message box's styles and answers the tree uses.
constexpr int kStyleOKCancel = 1;
constexpr int kStyleOverwrite = 10;
constexpr int kAnswerOK = 11;
constexpr int kAnswerCancel = 12;
constexpr int kAnswerYes = 13;

// Shell events the tree registers for (0x201F8).
constexpr LONG kWatchedEvents = SHCNE_MKDIR | SHCNE_RMDIR | SHCNE_MEDIAINSERTED | SHCNE_MEDIAREMOVED |
                                SHCNE_DRIVEREMOVED | SHCNE_DRIVEADD | SHCNE_RENAMEFOLDER;

CFolderTreeCtrl::QuestionFunc g_ask;

bool Exists(const FString& path) { return ReadFileAttributeWord(path) != -1; }

bool DeviceOf(const FString& path, dev_t& device) {
  std::string native;
  struct stat info;
  if (path.View().empty() || !PathToNative(path, native) || stat(native.c_str(), &info) != 0) return false;
  device = info.st_dev;
  return true;
}

// CompareIDs as the tree reads it: the low 16 bits, signed.
int CompareItemIds(IShellFolder* folder, LPCITEMIDLIST a, LPCITEMIDLIST b) {
  const short order = HRESULT_CODE_SHORT(folder->CompareIDs(0, a, b));
  return order < 0 ? -1 : order > 0 ? 1 : 0;
}

int CompareShellItems(LPARAM a, LPARAM b, LPARAM folder) {
  const auto* first = reinterpret_cast<const FolderTreeItemData*>(a);
  const auto* second = reinterpret_cast<const FolderTreeItemData*>(b);
  if (!first || !second || !folder) return 0;
  return CompareItemIds(reinterpret_cast<IShellFolder*>(folder), first->relative, second->relative);
}

// Parses a path into an absolute list (null when it cannot be).
LPITEMIDLIST ParsePath(const FString& path) {
  if (path.View().empty()) return nullptr;
  PIDLIST_ABSOLUTE list = nullptr;
  if (FAILED(SHParseDisplayName(path.GetText(), nullptr, &list, 0, nullptr))) return nullptr;
  return list;
}

// Owns a list for a scope.
struct ListHolder {
  LPITEMIDLIST list;
  explicit ListHolder(LPITEMIDLIST l) : list(l) {}
  ~ListHolder() { FreeIdList(list); }
  ListHolder(const ListHolder&) = delete;
  ListHolder& operator=(const ListHolder&) = delete;
};

// The last ID of a list (within the list).
LPCITEMIDLIST LastItemId(LPCITEMIDLIST list) {
  LPCITEMIDLIST last = list;
  for (LPCITEMIDLIST next = GetNextItemId(list); next; next = GetNextItemId(next)) last = next;
  return last;
}

// A new list of all IDs but the last; null for an empty list.
LPITEMIDLIST ParentIdList(LPCITEMIDLIST list) {
  const UINT size = GetIdListSize(list);
  if (size <= 2) return nullptr;
  LPITEMIDLIST parent = CloneIdList(list);
  if (!parent) return nullptr;
  auto* last = reinterpret_cast<BYTE*>(const_cast<LPITEMIDLIST>(LastItemId(parent)));
  last[0] = last[1] = 0; // the terminator now
  return parent;
}

} // namespace

FolderTreeItemData::~FolderTreeItemData() {
  if (folder) folder->Release();
  FreeIdList(relative);
  FreeIdList(absolute);
}

FString FreeNewFolderPath(const FString& folder) {
  if (folder.View().empty()) return {};
  const FString first = PathJoin(folder, FString(u"NewFolder"));
  if (!Exists(first)) return first;
  for (int n = 2; n <= 65534; ++n) {
    const std::string name = "NewFolder(" + std::to_string(n) + ")";
    const FString candidate = PathJoin(folder, FString(name.c_str()));
    if (!Exists(candidate)) return candidate;
  }
  return {};
}

DROPEFFECT FolderDropEffect(const FString& folder, const FString& firstFile, DWORD keyState) {
  if (folder.View().empty()) return DROPEFFECT_NONE;
  dev_t target = 0, source = 0;
  const bool sameFileSystem = DeviceOf(folder, target) && DeviceOf(firstFile, source) && target == source;
  if (sameFileSystem) return (keyState & MK_CONTROL) ? DROPEFFECT_COPY : DROPEFFECT_MOVE;
  return (keyState & MK_SHIFT) ? DROPEFFECT_MOVE : DROPEFFECT_COPY;
}

bool IsValidFolderName(const FString& name) {
  return PathIsEntryName(name) && name != u"." && name != u"..";
}

void CFolderTreeCtrl::SetQuestionFunc(QuestionFunc ask) { g_ask = std::move(ask); }

BEGIN_MESSAGE_MAP(CFolderTreeCtrl, CTreeCtrl)
  ON_WM_CREATE()
  ON_NOTIFY_REFLECT_EX(TVN_SELCHANGEDW, OnSelChanged)
  ON_NOTIFY_REFLECT(TVN_DELETEITEMW, OnDeleteItem)
  ON_NOTIFY_REFLECT(TVN_ITEMEXPANDINGW, OnItemExpanding)
  ON_NOTIFY_REFLECT(TVN_ITEMEXPANDEDW, OnItemExpanded)
  ON_NOTIFY_REFLECT(TVN_ENDLABELEDITW, OnEndLabelEdit)
  ON_WM_NCCALCSIZE()
  ON_WM_SIZE()
  ON_WM_MOUSEWHEEL()
  ON_WM_HSCROLL()
  ON_WM_VSCROLL()
  ON_WM_RBUTTONDOWN()
  ON_WM_RBUTTONUP()
  ON_MESSAGE(WM_APP_SHELL_NOTIFY, OnShellNotify)
  ON_MESSAGE(WM_APP_RESELECT_FOLDER, OnReselectFolder)
END_MESSAGE_MAP()

CFolderTreeCtrl::CFolderTreeCtrl() = default;

CFolderTreeCtrl::~CFolderTreeCtrl() {
  if (m_notifyId) SHChangeNotifyDeregister(m_notifyId);
  FreeIdList(m_watchedList);
}

// ---- Set-up ----

void CFolderTreeCtrl::PreSubclassWindow() {
  CTreeCtrl::PreSubclassWindow();
  InitTree();
}

int CFolderTreeCtrl::OnCreate(LPCREATESTRUCT cs) {
  if (CTreeCtrl::OnCreate(cs) == -1) return -1;
  return InitTree() ? 0 : -1;
}

BOOL CFolderTreeCtrl::InitTree() {
  if (m_initialised) return TRUE;
  m_dropTarget.Register(this);
  m_dropTarget.SetCallbacks(FolderTreeDragEnter, FolderTreeDragLeave, FolderTreeDragOver, FolderTreeDrop,
                            FolderTreeDropEx);
  if (!GetParent()) return FALSE;
  for (int type = 0; type < 3; ++type) {
    CScrollBarBase& bar = type == 0 ? m_verticalBar : type == 1 ? m_horizontalBar : m_cornerBox;
    if (!bar.m_hWnd && !CreateSiblingBar(bar, *this, type, false)) return FALSE;
    bar.ShowWindow(SW_SHOW);
  }
  SHFILEINFOW info;
  const auto images = reinterpret_cast<HIMAGELIST>(
      SHGetFileInfoW(u"", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
  SetImageList(images, TVSIL_NORMAL);
  if (!InsertDesktopRoot()) return FALSE;
  m_initialised = TRUE;
  return TRUE;
}

BOOL CFolderTreeCtrl::InsertDesktopRoot() {
  auto* data = new FolderTreeItemData;
  PIDLIST_ABSOLUTE desktop = nullptr;
  if (FAILED(SHGetDesktopFolder(&data->folder)) || FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOP, &desktop))) {
    FreeIdList(desktop);
    delete data;
    return FALSE;
  }
  data->relative = CloneIdList(desktop);
  data->absolute = CloneIdList(desktop);
  FreeIdList(m_watchedList);
  m_watchedList = desktop;
  if (!m_notifyId) {
    SHChangeNotifyEntry entry;
    entry.pidl = m_watchedList;
    entry.fRecursive = TRUE;
    m_notifyId = SHChangeNotifyRegister(m_hWnd, SHCNRF_ShellLevel, kWatchedEvents, WM_APP_SHELL_NOTIFY, 1, &entry);
  }
  IShellFolder* desktopFolder = data->folder;
  return InsertShellItem(data, desktopFolder, TVI_ROOT, TVI_ROOT);
}

BOOL CFolderTreeCtrl::InsertShellItem(FolderTreeItemData* data, IShellFolder* parentFolder, HTREEITEM parent,
                                      HTREEITEM after) {
  SFGAOF attributes = SFGAO_HASSUBFOLDER | SFGAO_FILESYSTEM | SFGAO_FOLDER | SFGAO_SHARE;
  PCUITEMID_CHILD items[] = {data->relative};
  if (!parentFolder || FAILED(parentFolder->GetAttributesOf(1, items, &attributes)) || !(attributes & SFGAO_FOLDER)) {
    delete data;
    return FALSE;
  }
  STRRET name;
  std::u16string text;
  if (SUCCEEDED(parentFolder->GetDisplayNameOf(data->relative, SHGDN_NORMAL, &name))) {
    text = std::u16string(StrRetToString(&name, data->relative).View().substr(0, MAX_PATH));
  }
  SHFILEINFOW info;
  SHGetFileInfoW(reinterpret_cast<LPCWSTR>(data->absolute), 0, &info, sizeof info,
                 SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
  const int image = info.iIcon;
  SHGetFileInfoW(reinterpret_cast<LPCWSTR>(data->absolute), 0, &info, sizeof info,
                 SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_OPENICON);
  TVINSERTSTRUCTW insert;
  insert.hParent = parent;
  insert.hInsertAfter = after == TVI_ROOT ? TVI_LAST : after;
  insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_CHILDREN | TVIF_STATE;
  insert.item.pszText = text.data();
  insert.item.iImage = image;
  insert.item.iSelectedImage = info.iIcon;
  insert.item.lParam = reinterpret_cast<LPARAM>(data);
  insert.item.cChildren = (attributes & SFGAO_HASSUBFOLDER) ? 1 : 0;
  insert.item.stateMask = TVIS_OVERLAYMASK;
  insert.item.state = (attributes & SFGAO_SHARE) ? INDEXTOOVERLAYMASK(1) : 0;
  if (!InsertItem(&insert)) {
    delete data;
    return FALSE;
  }
  return TRUE;
}

// ---- Expanding ----

void CFolderTreeCtrl::OnItemExpanding(NMHDR* header, LRESULT* result) {
  *result = 0;
  const auto* nm = reinterpret_cast<const NMTREEVIEWW*>(header);
  if (nm->action != TVE_EXPAND || (GetItemState(nm->itemNew.hItem, TVIS_EXPANDEDONCE) & TVIS_EXPANDEDONCE)) return;
  EnumChildFolders(nm->itemNew.hItem);
  SortChildrenOf(nm->itemNew.hItem);
}

void CFolderTreeCtrl::EnumChildFolders(HTREEITEM item) {
  FolderTreeItemData* data = DataOf(item);
  IEnumIDList* children = nullptr;
  if (!data || !data->folder || FAILED(data->folder->EnumObjects(m_hWnd, SHCONTF_FOLDERS, &children)) || !children) {
    return;
  }
  PITEMID_CHILD child = nullptr;
  ULONG fetched = 0;
  while (children->Next(1, &child, &fetched) == S_OK && fetched == 1) {
    LPITEMIDLIST absolute = ConcatIdLists(data->absolute, child);
    IShellFolder* folder = nullptr;
    const bool skipped = !absolute || IsSpecialFolderPidl(absolute, CSIDL_CONTROLS) ||
                         IsSpecialFolderPidl(absolute, CSIDL_PRINTERS) || IsSpecialFolderPidl(absolute, CSIDL_BITBUCKET) ||
                         FAILED(data->folder->BindToObject(child, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&folder)));
    if (skipped) {
      FreeIdList(absolute);
      FreeIdList(child);
      continue;
    }
    auto* childData = new FolderTreeItemData;
    childData->folder = folder;
    childData->relative = CloneIdList(child);
    childData->absolute = absolute;
    FreeIdList(child);
    InsertShellItem(childData, data->folder, item, TVI_SORT);
  }
  children->Release();
}

void CFolderTreeCtrl::SortChildrenOf(HTREEITEM item) {
  FolderTreeItemData* data = DataOf(item);
  if (!data) return;
  SCROLLINFO before;
  before.fMask = SIF_POS;
  GetScrollInfo(SB_VERT, &before, SIF_POS);
  LockWindowUpdate();
  TVSORTCB sort;
  sort.hParent = item;
  sort.lpfnCompare = CompareShellItems;
  sort.lParam = reinterpret_cast<LPARAM>(data->folder);
  SortChildrenCB(&sort);
  UnlockWindowUpdate();
  SendMessage(WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, before.nPos));
  Invalidate();
}

void CFolderTreeCtrl::OnItemExpanded(NMHDR*, LRESULT* result) {
  *result = 0;
  UpdateBars();
}

void CFolderTreeCtrl::OnDeleteItem(NMHDR* header, LRESULT* result) {
  *result = 0;
  delete reinterpret_cast<FolderTreeItemData*>(reinterpret_cast<const NMTREEVIEWW*>(header)->itemOld.lParam);
}

BOOL CFolderTreeCtrl::OnSelChanged(NMHDR*, LRESULT* result) {
  *result = 0;
  // FALSE passes the notification on to the parent.
  return m_notifyParent ? FALSE : TRUE;
}

// ---- Finding and selecting ----

FolderTreeItemData* CFolderTreeCtrl::DataOf(HTREEITEM item) const {
  return item ? reinterpret_cast<FolderTreeItemData*>(GetItemData(item)) : nullptr;
}

FString CFolderTreeCtrl::PathOf(HTREEITEM item) const {
  FolderTreeItemData* data = DataOf(item);
  return data ? GetPathFromPidl(data->absolute) : FString();
}

FString CFolderTreeCtrl::GetSelectedPath() const { return PathOf(GetSelectedItem()); }

HTREEITEM CFolderTreeCtrl::FindItemByPidl(LPCITEMIDLIST list, BOOL expand) {
  HTREEITEM root = GetRootItem();
  FolderTreeItemData* desktop = DataOf(root);
  if (!list || !desktop || !desktop->folder) return nullptr;
  if (CompareItemIds(desktop->folder, list, desktop->absolute) == 0) return root;
  return WalkToPidl(list, expand ? Walk::Expanding : Walk::ExpandedOnly);
}

HTREEITEM CFolderTreeCtrl::FindShownItem(LPCITEMIDLIST list) { return WalkToPidl(list, Walk::MadeOnly); }

HTREEITEM CFolderTreeCtrl::WalkToPidl(LPCITEMIDLIST list, Walk walk) {
  HTREEITEM item = GetRootItem();
  FolderTreeItemData* data = DataOf(item);
  if (!list || !data || !data->folder || GetIdListSize(list) <= 2) return nullptr;
  LPCITEMIDLIST remaining = list;
  // Each level: open the item (as the walk allows), then find the child
  // holding the list's next ID by the item's folder's comparison.
  for (;;) {
    if (walk != Walk::MadeOnly) {
      if (walk == Walk::ExpandedOnly && !(GetItemState(item, TVIS_EXPANDED) & TVIS_EXPANDED)) return nullptr;
      Expand(item, TVE_EXPAND);
    }
    IShellFolder* folder = data->folder;
    ListHolder first(CopyFirstItemId(remaining));
    HTREEITEM child = GetChildItem(item);
    FolderTreeItemData* childData = nullptr;
    for (; child; child = GetNextSiblingItem(child)) {
      childData = DataOf(child);
      if (childData && first.list && CompareItemIds(folder, first.list, childData->relative) == 0) break;
    }
    if (!child) return nullptr;
    remaining = GetNextItemId(remaining);
    if (!remaining) return child;
    item = child;
    data = childData;
  }
}

BOOL CFolderTreeCtrl::SelectPidl(LPCITEMIDLIST list) {
  HTREEITEM item = FindItemByPidl(list, TRUE);
  if (!item) return FALSE;
  const BOOL selected = Select(item, TVGN_CARET);
  if (selected) {
    Select(item, TVGN_CARET);
    UpdateBars();
  }
  return selected;
}

BOOL CFolderTreeCtrl::SelectPath(const FString& path) {
  ListHolder list(ParsePath(path));
  return list.list ? SelectPidl(list.list) : FALSE;
}

BOOL CFolderTreeCtrl::InsertFolder(const FString& path) {
  ListHolder list(ParsePath(path));
  return list.list ? AddFolderItem(list.list) : FALSE;
}

BOOL CFolderTreeCtrl::AddFolderItem(LPCITEMIDLIST list) {
  if (!list || FindShownItem(list)) return FALSE;
  // The parent is the list without its last ID: for a folder the same as its
  // path's parent, and for a medium or a share (whose mount point's parent
  // folder is not where it shows) the desktop.
  ListHolder parentList(ParentIdList(list));
  if (!parentList.list) return FALSE;
  HTREEITEM parent = GetIdListSize(parentList.list) <= 2 ? GetRootItem() : FindShownItem(parentList.list);
  if (!parent) return FALSE;
  BOOL inserted = FALSE;
  FolderTreeItemData* parentData = DataOf(parent);
  if (parentData && parentData->folder && (GetItemState(parent, TVIS_EXPANDEDONCE) & TVIS_EXPANDEDONCE)) {
    LPCITEMIDLIST last = LastItemId(list);
    IShellFolder* folder = nullptr;
    ListHolder lastId(CopyFirstItemId(last));
    if (lastId.list &&
        SUCCEEDED(parentData->folder->BindToObject(lastId.list, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&folder)))) {
      auto* data = new FolderTreeItemData;
      data->folder = folder;
      data->relative = CloneIdList(lastId.list);
      data->absolute = CloneIdList(list);
      inserted = InsertShellItem(data, parentData->folder, parent, TVI_SORT);
      if (inserted) SortChildrenOf(parent);
    }
  }
  TVITEMW item;
  item.mask = TVIF_CHILDREN;
  item.hItem = parent;
  item.cChildren = 1;
  SetItem(&item);
  return inserted;
}

BOOL CFolderTreeCtrl::RemoveFolderItem(LPCITEMIDLIST list, BOOL collapseOnly) {
  const FString path = GetPathFromPidl(list);
  const FString selected = GetSelectedPath();
  // Inside by whole components: removing "/a/b" does not touch "/a/bc".
  const bool affected = !path.View().empty() && !selected.View().empty() && PathIsInside(selected, path);
  HTREEITEM item = FindShownItem(list);
  m_notifyParent = FALSE;
  if (item) {
    if (collapseOnly) {
      Expand(item, TVE_COLLAPSE | TVE_COLLAPSERESET);
      SetItemState(item, 0, TVIS_EXPANDED | TVIS_EXPANDEDONCE);
    } else {
      DeleteItem(item);
    }
  }
  // The parent view hears only of the final selection, so the caret is
  // cleared first: selecting the parent is then always a change it is told of.
  if (affected) Select(nullptr, TVGN_CARET);
  m_notifyParent = TRUE;
  if (affected) SelectPath(GetParentPath(path));
  return TRUE;
}

// ---- Shell changes ----

// A change elsewhere in the tree leaves the view where it was: the item at the
// top stays at the top while folders come and go above or below it (the view
// keeps its row number, so an item inserted or removed above would shift it).
// A selection the change moved is brought into view.
class CFolderTreeCtrl::ViewKeeper {
public:
  explicit ViewKeeper(CFolderTreeCtrl& tree)
      : m_tree(tree), m_top(tree.GetFirstVisibleItem()), m_selected(tree.GetSelectedItem()) {}
  ViewKeeper(const ViewKeeper&) = delete;
  ViewKeeper& operator=(const ViewKeeper&) = delete;
  ~ViewKeeper() {
    if (!IsWindow(m_tree.m_hWnd)) return;
    CRect row;
    // Only an item still shown: a collapsed or removed one has no row.
    if (m_top && m_tree.GetFirstVisibleItem() != m_top && m_tree.GetItemRect(m_top, row, FALSE)) {
      m_tree.SelectSetFirstVisible(m_top);
    }
    HTREEITEM selected = m_tree.GetSelectedItem();
    if (selected && selected != m_selected) m_tree.EnsureVisible(selected);
    m_tree.UpdateBars();
  }

private:
  CFolderTreeCtrl& m_tree;
  HTREEITEM m_top;
  HTREEITEM m_selected;
};

LRESULT CFolderTreeCtrl::OnShellNotify(WPARAM wParam, LPARAM lParam) {
  const auto* lists = reinterpret_cast<const PCIDLIST_ABSOLUTE*>(wParam);
  if (!lists) return 0;
  const ViewKeeper keeper(*this);
  const FString first = GetPathFromPidl(lists[0]);
  const bool exists = !first.View().empty() && Exists(first);
  switch (static_cast<LONG>(lParam)) {
  case SHCNE_MKDIR:
    if (exists) {
      InsertFolder(first);
      if (!m_rememberedPath.View().empty() && first == m_rememberedPath) PostMessage(WM_APP_RESELECT_FOLDER);
    }
    break;
  case SHCNE_RMDIR:
  case SHCNE_DRIVEREMOVED:
    if (!exists) RemoveFolderItem(lists[0], FALSE);
    break;
  case SHCNE_MEDIAREMOVED:
    if (!exists) RemoveFolderItem(lists[0], TRUE);
    break;
  case SHCNE_DRIVEADD:
    if (GetDriveTypeW(first.GetText()) != static_cast<UINT>(FIFolder::DRIVE_UNKNOWN)) AddFolderItem(lists[0]);
    break;
  default: break;
  }
  return 0;
}

LRESULT CFolderTreeCtrl::OnReselectFolder(WPARAM, LPARAM) {
  SelectPath(m_rememberedPath);
  return 0;
}

// ---- Context menu ----

void CFolderTreeCtrl::OnRButtonDown(UINT, CPoint) {
  // Nothing: the control's own right-click handling must not run.
}

int CFolderTreeCtrl::Ask(int style, const FString& text) { return g_ask ? g_ask(this, style, text) : kAnswerCancel; }

void CFolderTreeCtrl::OnRButtonUp(UINT flags, CPoint point) {
  HTREEITEM item = HitTest(point);
  if (!item) return;
  SelectDropTarget(item);
  const FString path = PathOf(item);
  FArray<FString> clipboard;
  GetClipboardFileList(m_hWnd, &clipboard);
  const FString newFolder = FreeNewFolderPath(path);

  HTREEITEM parent = GetParentItem(item);
  FolderTreeItemData* data = DataOf(item);
  FolderTreeItemData* parentData = parent ? DataOf(parent) : data;
  SFGAOF attributes = SFGAO_CANCOPY | SFGAO_CANMOVE | SFGAO_CANDELETE | SFGAO_READONLY | SFGAO_FILESYSTEM | SFGAO_FOLDER;
  PCUITEMID_CHILD items[] = {data ? data->relative : nullptr};
  if (!data || !parentData || !parentData->folder || FAILED(parentData->folder->GetAttributesOf(1, items, &attributes))) {
    SelectDropTarget(nullptr);
    return;
  }
  const bool readOnly = attributes & SFGAO_READONLY;
  auto grey = [](bool disabled) { return disabled ? MF_GRAYED : MF_ENABLED; };
  CMenu menu;
  menu.CreatePopupMenu();
  menu.AppendMenu(MF_STRING | grey(readOnly || !(attributes & SFGAO_FILESYSTEM) || newFolder.View().empty() ||
                                   newFolder.GetLength() > kMaxNewFolderPath),
                  kNewFolderCommand, GetTextTableText(kNewFolderTextId).c_str());
  menu.AppendMenu(MF_SEPARATOR);
  menu.AppendMenu(MF_STRING | grey(!(attributes & SFGAO_CANCOPY)), kCopyCommand, GetTextTableText(kCopyTextId).c_str());
  menu.AppendMenu(MF_STRING | grey(!(attributes & SFGAO_CANMOVE)), kCutCommand, GetTextTableText(kCutTextId).c_str());
  menu.AppendMenu(MF_STRING | grey(readOnly || clipboard.GetCount() == 0 || path.View().empty()), kPasteCommand,
                  GetTextTableText(kPasteTextId).c_str());
  menu.AppendMenu(MF_SEPARATOR);
  menu.AppendMenu(MF_STRING | grey(!(attributes & SFGAO_CANDELETE)), kDeleteCommand, GetTextTableText(kDeleteTextId).c_str());
  CPoint screen = point;
  ClientToScreen(&screen);
  const UINT command =
      static_cast<UINT>(menu.TrackPopupMenu(TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x, screen.y, this));
  RunContextCommand(command, item, path, clipboard);
  if (!IsWindow(m_hWnd)) return;
  SelectDropTarget(nullptr);
  CTreeCtrl::OnRButtonUp(flags, point);
}

void CFolderTreeCtrl::RunContextCommand(UINT command, HTREEITEM, const FString& path, const FArray<FString>& clipboard) {
  FArray<FString> one;
  one.Append(path);
  switch (command) {
  case kNewFolderCommand: {
    const FString folder = FreeNewFolderPath(path);
    if (folder.View().empty() || !CreateFolderTree(folder)) return;
    m_rememberedPath = folder;
    SHChangeNotify(SHCNE_MKDIR, SHCNF_PATHW, folder.GetText(), nullptr);
    return;
  }
  case kCopyCommand:
  case kCutCommand: PutFilesOnClipboard(m_hWnd, one, command == kCutCommand); return;
  case kPasteCommand: PasteInto(path, clipboard); return;
  case kDeleteCommand:
    if (Ask(kStyleOKCancel, FString(GetTextTableText(kDeleteQuestionTextId).c_str())) != kAnswerOK) return;
    DeleteFiles(&one, true, false);
    return;
  default: return;
  }
}

bool CFolderTreeCtrl::PasteInto(const FString& folder, const FArray<FString>& files) {
  int effect = DROPEFFECT_COPY;
  GetClipboardDropEffect(m_hWnd, &effect);
  // A file pasted into its own folder stays as it is; every other file that
  // would replace one is asked about first, and any answer but yes pastes nothing.
  FArray<FString> sources;
  for (int i = 0; i < files.GetCount(); ++i) {
    const FString target = PathJoin(folder, PathFileName(files[i]));
    if (PathEquals(target, files[i])) continue;
    if (Exists(target) && Ask(kStyleOverwrite, target) != kAnswerYes) return false;
    sources.Append(files[i]);
  }
  if (sources.GetCount() == 0) return false;
  return CopyFilesToFolder(&sources, folder, effect != DROPEFFECT_MOVE, false, false);
}

// ---- In-place rename ----

void CFolderTreeCtrl::OnEndLabelEdit(NMHDR* header, LRESULT* result) {
  *result = 0;
  const auto* info = reinterpret_cast<const NMTVDISPINFOW*>(header);
  const FString newName = info->item.pszText ? FString(info->item.pszText) : FString();
  // Only a folder this tree just made is renamed, and only to one valid name.
  if (info->item.pszText && !m_rememberedPath.View().empty() && IsValidFolderName(newName)) {
    const FString parent = GetParentPath(m_rememberedPath);
    FArray<FString> oldPaths, newPaths;
    oldPaths.Append(m_rememberedPath);
    newPaths.Append(PathJoin(parent, newName));
    RenameFiles(&newPaths, &oldPaths);
  }
  m_rememberedPath.Empty();
  ModifyStyle(TVS_EDITLABELS, 0);
}

// ---- Drag and drop ----

DROPEFFECT CFolderTreeCtrl::FolderTreeDragEnter(CWnd* wnd, const FArray<FString>*, DWORD keyState, CPoint) {
  if (auto* tree = dynamic_cast<CFolderTreeCtrl*>(wnd)) tree->m_rightDrag = (keyState & MK_RBUTTON) ? TRUE : FALSE;
  return DROPEFFECT_NONE;
}

void CFolderTreeCtrl::FolderTreeDragLeave(CWnd* wnd) {
  if (auto* tree = dynamic_cast<CFolderTreeCtrl*>(wnd)) tree->SelectDropTarget(nullptr);
}

DROPEFFECT CFolderTreeCtrl::FolderTreeDragOver(CWnd* wnd, const FArray<FString>* paths, DWORD keyState, CPoint point) {
  auto* tree = dynamic_cast<CFolderTreeCtrl*>(wnd);
  if (!tree || !paths || paths->GetCount() == 0) return DROPEFFECT_NONE;
  HTREEITEM item = tree->HitTest(point);
  if (!item) return DROPEFFECT_NONE;
  tree->SelectDropTarget(item);
  return FolderDropEffect(tree->PathOf(item), (*paths)[0], keyState);
}

BOOL CFolderTreeCtrl::FolderTreeDrop(CWnd*, const FArray<FString>*, DROPEFFECT, CPoint) { return FALSE; }

DROPEFFECT CFolderTreeCtrl::FolderTreeDropEx(CWnd* wnd, const FArray<FString>* paths, DROPEFFECT dropDefault,
                                             DROPEFFECT, CPoint point) {
  auto* tree = dynamic_cast<CFolderTreeCtrl*>(wnd);
  if (!tree || !paths) return DROPEFFECT_NONE;
  DROPEFFECT effect = dropDefault & (DROPEFFECT_COPY | DROPEFFECT_MOVE);
  if (tree->m_rightDrag) {
    CMenu menu;
    menu.CreatePopupMenu();
    menu.AppendMenu(MF_STRING, kDropCopyCommand, GetTextTableText(kCopyHereTextId).c_str());
    menu.AppendMenu(MF_STRING, kDropMoveCommand, GetTextTableText(kMoveHereTextId).c_str());
    menu.AppendMenu(MF_SEPARATOR);
    menu.AppendMenu(MF_STRING, kDropNothingCommand, GetTextTableText(kCancelDropTextId).c_str());
    if (effect == DROPEFFECT_COPY) menu.SetDefaultItem(kDropCopyCommand);
    if (effect == DROPEFFECT_MOVE) menu.SetDefaultItem(kDropMoveCommand);
    CPoint screen = point;
    tree->ClientToScreen(&screen);
    const UINT command = static_cast<UINT>(menu.TrackPopupMenu(TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x, screen.y, tree));
    effect = command == kDropCopyCommand ? DROPEFFECT_COPY : command == kDropMoveCommand ? DROPEFFECT_MOVE : DROPEFFECT_NONE;
  }
  const DROPEFFECT done = tree->DropFiles(*paths, effect);
  if (IsWindow(tree->m_hWnd)) tree->SelectDropTarget(nullptr);
  return done;
}

DROPEFFECT CFolderTreeCtrl::DropFiles(const FArray<FString>& files, DROPEFFECT effect) {
  if (effect != DROPEFFECT_COPY && effect != DROPEFFECT_MOVE) return DROPEFFECT_NONE;
  const FString folder = PathOf(GetDropHilightItem());
  if (folder.View().empty()) return DROPEFFECT_NONE;
  FArray<FString> sources, destinations;
  for (int i = 0; i < files.GetCount(); ++i) {
    const FString destination = PathJoin(folder, PathFileName(files[i]));
    if (PathEquals(destination, files[i])) continue; // dropped where it already is
    sources.Append(files[i]);
    destinations.Append(destination);
  }
  if (sources.GetCount() > 0) TransferFiles(&sources, &destinations, effect == DROPEFFECT_COPY, false, true);
  return effect;
}

// ---- Scroll bars ----

void CFolderTreeCtrl::PlaceBars() {
  PlaceSiblingBar(m_verticalBar, *this, 0);
  PlaceSiblingBar(m_horizontalBar, *this, 1);
  PlaceSiblingBar(m_cornerBox, *this, 2);
}

void CFolderTreeCtrl::UpdateBars() {
  if (m_verticalBar.m_hWnd) m_verticalBar.UpdateFromTarget();
  if (m_horizontalBar.m_hWnd) m_horizontalBar.UpdateFromTarget();
}

void CFolderTreeCtrl::OnNcCalcSize(BOOL calcValidRects, NCCALCSIZE_PARAMS* params) {
  ShowScrollBar(SB_BOTH, FALSE);
  CTreeCtrl::OnNcCalcSize(calcValidRects, params);
}

void CFolderTreeCtrl::OnSize(UINT type, int cx, int cy) {
  CTreeCtrl::OnSize(type, cx, cy);
  PlaceBars();
  UpdateBars();
}

BOOL CFolderTreeCtrl::OnMouseWheel(UINT flags, short delta, CPoint point) {
  SendMessage(WM_VSCROLL, delta > 0 ? SB_LINEUP : SB_LINEDOWN);
  UpdateBars();
  return CTreeCtrl::OnMouseWheel(flags, delta, point);
}

void CFolderTreeCtrl::OnVScroll(UINT code, UINT position, CScrollBar* bar) {
  if (code == SB_THUMBTRACK) {
    SCROLLINFO info;
    info.fMask = SIF_POS;
    info.nPos = static_cast<int>(position);
    SetScrollInfo(SB_VERT, &info, FALSE);
  }
  CTreeCtrl::OnVScroll(code, position, bar);
  UpdateBars();
}

void CFolderTreeCtrl::OnHScroll(UINT code, UINT position, CScrollBar* bar) {
  CTreeCtrl::OnHScroll(code, position, bar);
  UpdateBars();
}

BOOL CFolderTreeCtrl::DestroyWindow() {
  if (m_notifyId) SHChangeNotifyDeregister(m_notifyId);
  m_notifyId = 0;
  FreeIdList(m_watchedList);
  m_watchedList = nullptr;
  return CTreeCtrl::DestroyWindow();
}
