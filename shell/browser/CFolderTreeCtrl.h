#pragma once
// The browser's folder tree: the shell's folder namespace from the desktop
// down, enumerated lazily as branches open, kept current by the shell's
// change notifications, with a context menu (new folder, copy, cut, paste,
// delete), in-place rename of a folder it just made, a drop target that
// copies or moves dropped files into a folder, and the toolkit's own scroll
// bars beside it (children of the tree's parent).
//
// Paths are compared exactly, and "inside a folder" means inside it by whole
// path components.

#include "platform/afx/AfxTreeCtrl.h"
#include "platform/shell/WinShell.h"
#include "toolkit/CET_DropTarget.h"
#include "toolkit/CScrollBarBase.h"

#include "foundation/FArray.h"
#include "foundation/FString.h"

#include <functional>

// One per tree item, its lParam, owned by the item.
struct FolderTreeItemData {
  FolderTreeItemData() = default;
  FolderTreeItemData(const FolderTreeItemData&) = delete;
  FolderTreeItemData& operator=(const FolderTreeItemData&) = delete;
  ~FolderTreeItemData();

  IShellFolder* folder = nullptr; // the item's own folder (one reference)
  LPITEMIDLIST relative = nullptr; // the item within its parent folder
  LPITEMIDLIST absolute = nullptr; // the item from the desktop
};

// The free name for a new folder in `folder`: folder/NewFolder, else
// folder/NewFolder(2), (3), ... up to 65534; empty when all are taken or
// the folder has no path.
FString FreeNewFolderPath(const FString& folder);
// The effect of dropping files whose first is `firstFile` on `folder`:
// within one file system a move (a copy with MK_CONTROL), across file systems
// a copy (a move with MK_SHIFT); none for a folder without a path.
DROPEFFECT FolderDropEffect(const FString& folder, const FString& firstFile, DWORD keyState);
// True for a name an in-place rename may give a folder: not empty, no
// separator, not "." or "..".
bool IsValidFolderName(const FString& name);

class CFolderTreeCtrl : public CTreeCtrl {
public:
  // Context-menu and drop-menu commands.
  static constexpr UINT kNewFolderCommand = 0xFF00;
  static constexpr UINT kCopyCommand = 0xFF01;
  static constexpr UINT kCutCommand = 0xFF02;
  static constexpr UINT kPasteCommand = 0xFF03;
  static constexpr UINT kDeleteCommand = 0xFF04;
  static constexpr UINT kDropCopyCommand = 0xFF00;
  static constexpr UINT kDropMoveCommand = 0xFF01;
  static constexpr UINT kDropNothingCommand = 0xFF02;
  // A new path may be at most this long for the new-folder command.
  static constexpr int kMaxNewFolderPath = 247;

  // How the tree asks the person (the program's message box): the style and
  // the text, answering the message box's result code. The program installs
  // it; without one every question is answered "cancel", so nothing is
  // overwritten or deleted unasked.
  using QuestionFunc = std::function<int(CWnd* owner, int style, const FString& text)>;
  static void SetQuestionFunc(QuestionFunc ask);

  CFolderTreeCtrl();
  ~CFolderTreeCtrl() override;

  BOOL SelectPath(const FString& path);
  BOOL InsertFolder(const FString& path);
  BOOL SelectPidl(LPCITEMIDLIST list);
  HTREEITEM FindItemByPidl(LPCITEMIDLIST list, BOOL expand);
  BOOL AddFolderItem(LPCITEMIDLIST list);
  BOOL RemoveFolderItem(LPCITEMIDLIST list, BOOL collapseOnly);
  // The path of the selected item; empty when none or virtual.
  FString GetSelectedPath() const;
  // The folder the new-folder command just made (an in-place rename renames it).
  const FString& GetRememberedPath() const { return m_rememberedPath; }
  void SetRememberedPath(const FString& path) { m_rememberedPath = path; }
  BOOL IsInitialised() const { return m_initialised; }

  BOOL DestroyWindow() override;

  // The drop target's callbacks.
  static DROPEFFECT FolderTreeDragEnter(CWnd* wnd, const FArray<FString>* paths, DWORD keyState, CPoint point);
  static void FolderTreeDragLeave(CWnd* wnd);
  static DROPEFFECT FolderTreeDragOver(CWnd* wnd, const FArray<FString>* paths, DWORD keyState, CPoint point);
  static BOOL FolderTreeDrop(CWnd* wnd, const FArray<FString>* paths, DROPEFFECT effect, CPoint point);
  static DROPEFFECT FolderTreeDropEx(CWnd* wnd, const FArray<FString>* paths, DROPEFFECT dropDefault,
                                     DROPEFFECT dropList, CPoint point);

protected:
  void PreSubclassWindow() override;
  BOOL InitTree();
  BOOL InsertDesktopRoot();
  BOOL InsertShellItem(FolderTreeItemData* data, IShellFolder* parentFolder, HTREEITEM parent, HTREEITEM after);
  void EnumChildFolders(HTREEITEM item);
  void SortChildrenOf(HTREEITEM item);
  // Finds an item already in the tree (never expanding).
  HTREEITEM FindShownItem(LPCITEMIDLIST list);
  // How a walk from the desktop treats the items on its way: it opens each,
  // stops at one that is not open, or only looks at the children already made.
  enum class Walk { Expanding, ExpandedOnly, MadeOnly };
  HTREEITEM WalkToPidl(LPCITEMIDLIST list, Walk walk);
  FolderTreeItemData* DataOf(HTREEITEM item) const;
  FString PathOf(HTREEITEM item) const;
  void PlaceBars();
  void UpdateBars();
  int Ask(int style, const FString& text);
  void RunContextCommand(UINT command, HTREEITEM item, const FString& path, const FArray<FString>& clipboard);
  bool PasteInto(const FString& folder, const FArray<FString>& files);
  DROPEFFECT DropFiles(const FArray<FString>& files, DROPEFFECT effect);

  afx_msg int OnCreate(LPCREATESTRUCT cs);
  afx_msg BOOL OnSelChanged(NMHDR* header, LRESULT* result);
  afx_msg void OnDeleteItem(NMHDR* header, LRESULT* result);
  afx_msg void OnItemExpanding(NMHDR* header, LRESULT* result);
  afx_msg void OnItemExpanded(NMHDR* header, LRESULT* result);
  afx_msg void OnEndLabelEdit(NMHDR* header, LRESULT* result);
  afx_msg void OnNcCalcSize(BOOL calcValidRects, NCCALCSIZE_PARAMS* params);
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg BOOL OnMouseWheel(UINT flags, short delta, CPoint point);
  afx_msg void OnHScroll(UINT code, UINT position, CScrollBar* bar);
  afx_msg void OnVScroll(UINT code, UINT position, CScrollBar* bar);
  afx_msg void OnRButtonDown(UINT flags, CPoint point);
  afx_msg void OnRButtonUp(UINT flags, CPoint point);
  afx_msg LRESULT OnShellNotify(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnReselectFolder(WPARAM wParam, LPARAM lParam);
  DECLARE_MESSAGE_MAP()

private:
  class ViewKeeper;

  BOOL m_initialised = FALSE;
  CScrollBarBase m_verticalBar;
  CScrollBarBase m_horizontalBar;
  CScrollBarBase m_cornerBox;
  ULONG m_notifyId = 0;
  LPITEMIDLIST m_watchedList = nullptr;
  CET_DropTarget m_dropTarget;
  BOOL m_rightDrag = FALSE;
  BOOL m_notifyParent = TRUE;
  FString m_rememberedPath;
};
