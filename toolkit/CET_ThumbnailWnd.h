#pragma once
// The toolkit's thumbnail window: the files of one folder as a grid of cells
// (or one strip), each a picture and a caption; selection with the mouse,
// scrolling by rows, an in-place edit for a file name, and dragging the
// selected files to other programs. A loader thread decodes the pictures
// while the window stays responsive (CET_ThumbLoader.cpp).

#include "toolkit/CET_DropTarget.h"
#include "toolkit/CET_ThumbEdit.h"
#include "toolkit/CET_ThumbnailData.h"
#include "toolkit/ThumbnailMessages.h"

#include "foundation/FArray.h"
#include "platform/afx/AfxMt.h"
#include "platform/afx/AfxOle.h"
#include "platform/afx/AfxWin.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

constexpr UINT kThumbEditId = 0x9000;

// Loader states.
enum : int {
  kThumbLoaderRun = 0,
  kThumbLoaderStop = 1,
  kThumbLoaderPause = 3, // the thread waits before its next item until the state changes
};

class CET_ThumbnailWnd;

// The loader thread's parameter block: the window's item pointers at start
// (shared, not copies), emptied without deleting by the thread.
struct CET_ThumbLoadParam {
  CET_ThumbnailDataManager items;
  CET_ThumbnailWnd* owner = nullptr;
};

UINT ThumbnailLoaderThread(LPVOID param);

class CET_ThumbnailWnd : public CWnd {
public:
  CET_ThumbnailWnd() = default;
  ~CET_ThumbnailWnd() override;

  virtual int GetItemCount() const;
  virtual int SetFolder(const FString& folder);
  virtual int SetFiles(const FArray<FString>* paths);
  virtual int AddFiles(const FArray<FString>* paths, BOOL sort);
  virtual void SetThumbSize(int index);
  virtual void SetLayout(int cellWidth, int cellHeight, int gapX, int gapY, int marginX, int marginY, int pictLeft,
                         int pictTop, int pictRight, int pictBottom, int captionLeft, int captionTop, int captionRight,
                         int captionBottom);
  virtual void StartLoader();
  virtual void StopLoader();
  virtual void DrawItems(CDC* dc);
  virtual void DrawItem(CDC* dc, int index, const POINT* origin);
  virtual CET_ThumbnailData* CreateItem(const FString& path);
  virtual void RecalcLayout();
  virtual CRect GetItemOrigin(int index) const;
  virtual CRect GetItemPictRect(int index) const;
  virtual CRect GetItemCaptionRect(int index) const;
  virtual int ScrollTo(int position);
  virtual void GetScrollInfo(SCROLLINFO* info) const;
  virtual int DragSelectedFiles(BOOL leftButton, int* effect);

  // The owner calls it once after creating the window.
  void Init();
  // SB_VERT: a grid scrolled by rows; SB_HORZ: one strip scrolled by items.
  void SetScrollDirection(int direction) { m_ScrollDirection = direction; }
  BOOL IsInitialized() const { return m_bInitialized; }
  void LockItems();
  void UnlockItems();

  // The item lock for the length of a scope.
  class ItemsLock {
  public:
    explicit ItemsLock(CET_ThumbnailWnd& window) : m_lock(&window.m_ItemSemaphore, TRUE) {}

  private:
    CSingleLock m_lock;
  };

  // The list queries, each under the item lock. The caller owns what it gets.
  int GetSelectedCount();
  int CountSelectedStills();
  void GetSelectedPaths(FArray<FString>* out);
  void GetStillPaths(FArray<FString>* out);
  void GetAllPaths(FArray<FString>* out);
  void GetSelectedItems(CET_ThumbnailDataManager* out);
  void CollectSelectedStills(CET_ThumbnailDataManager* out);
  void GetAllItems(CET_ThumbnailDataManager* out);

  // Read-only views for owners and tests.
  int GetColumns() const { return m_Columns; }
  int GetRowsPerPage() const { return m_RowsPerPage; }
  int GetFirstVisible() const { return m_FirstVisible; }
  int GetAnchor() const { return m_Anchor; }
  BOOL IsLoaderRunning() const { return m_pLoaderThread != nullptr; }
  // The text the rename edit held when the last rename ended.
  const FString& GetRenamedText() const { return m_RenamedText; }
  // How many renames have ended.
  int GetRenameEndCount() const { return m_RenameEndCount; }
  CET_ThumbEdit& GetRenameEdit() { return m_RenameEdit; }

  BOOL PreTranslateMessage(MSG* msg) override;

protected:
  afx_msg void OnPaint();
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg void OnVScroll(UINT code, UINT pos, CScrollBar* bar);
  afx_msg void OnHScroll(UINT code, UINT pos, CScrollBar* bar);
  afx_msg void OnDestroy();
  afx_msg void OnMouseMove(UINT flags, CPoint point);
  afx_msg void OnLButtonDown(UINT flags, CPoint point);
  afx_msg void OnRButtonDown(UINT flags, CPoint point);
  afx_msg LRESULT OnItemLoaded(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnRenameEnd(WPARAM wParam, LPARAM lParam);

  // The index of the first item whose cell holds the point (-1 none), and
  // whether the point lies on its caption.
  int HitTest(CPoint point, bool* onCaption) const;
  // Whether the button (VK_LBUTTON or VK_RBUTTON) moves far enough while held.
  static bool IsDragStarted(int button);
  // Makes the item the only selected one when it was not selected; whether
  // the selection changed. Under the item lock.
  bool SelectOnlyIfUnselected(int index);
  void SelectOnly(int index);
  void SelectOnlyLocked(int index); // the caller holds the item lock
  void StartRename(int index);
  void ScrollByBar(int bar, UINT code, UINT pos);
  void RedrawAll();

  FString m_FolderPath;
  BOOL m_bInitialized = FALSE;
  CET_ThumbnailDataManager m_Items;
  CSemaphore m_ItemSemaphore{1, 1};
  CSingleLock m_ItemLock{&m_ItemSemaphore};
  CSize m_CellSize{0, 0};
  CSize m_Gap{0, 0};
  CPoint m_Margin{0, 0};
  CRect m_PictRect{0, 0, 0, 0};
  CRect m_CaptionRect{0, 0, 0, 0};
  int m_Columns = 1;
  int m_RowsPerPage = 1;
  int m_FirstVisible = 0;
  int m_ScrollDirection = -1;
  CWinThread* m_pLoaderThread = nullptr;
  HANDLE m_hLoaderThread = nullptr; // goes stale when the thread has ended
  int m_LoaderState = kThumbLoaderRun;
  std::mutex m_LoaderStateMutex; // guards m_LoaderState alone
  std::condition_variable m_LoaderStateChanged;
  std::vector<std::unique_ptr<CET_Dib>> m_RetiredPictures; // under the item lock
  int m_Anchor = -1;
  CET_ThumbEdit m_RenameEdit;
  int m_PendingDrag = -1;
  CET_DropTarget m_DropTarget;
  COleDataSource m_DragSource;
  FString m_RenamedText;
  int m_RenameEndCount = 0;

  friend UINT ThumbnailLoaderThread(LPVOID param);
  // The loader's state word under its lock; a change wakes a paused loader.
  int ReadLoaderState();
  void WriteLoaderState(int state);
  // The state, once it is no longer "pause" (the caller's thread sleeps until then).
  int WaitWhilePaused();

  // Stores the loader's picture in the item (the caller holds the item lock).
  // The item's old picture is not deleted here: the window may be drawing it
  // without the lock, so it waits in a list that only the window's thread
  // empties (FreeRetiredPictures).
  void ReplacePicture(CET_ThumbnailData* item, std::unique_ptr<CET_Dib> picture);
  // Deletes the pictures the loader replaced; the window's thread only.
  void FreeRetiredPictures();

  DECLARE_MESSAGE_MAP()
};
