#pragma once
// The browser's grid of thumbnails: the toolkit's thumbnail window with
// filters by file format and by mark or lock state, 32 cell sizes and an
// information view that prints the shooting information beside each picture,
// file-type badges, mark and lock icons and a selection frame, sorting by name,
// type, size or capture time, a context menu of the browser's commands,
// keyboard selection, refresh and in-memory rotation of listed items, its own
// owner-drawn scroll bar and its own two-pass loader
// (BrowserThumbnailLoader.cpp). Its items are CTLM_ThumbnailData.
//
// Lock rule: the item lock is never held while the engine lock is taken or
// while a file is read, decoded, developed or a message sent; items that need
// the shooting information are made before the item lock is taken.

#include "shell/facade/CTLM_ThumbnailData.h"
#include "toolkit/CET_ThumbnailWnd.h"
#include "toolkit/CScrollBarBase.h"

#include "foundation/FArray.h"
#include "platform/afx/AfxDC.h"
#include "platform/afx/AfxMt.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

// Format filters.
enum : int {
  kFormatFilterAll = 0,
  kFormatFilterRaw = 1,
  kFormatFilterJpeg = 2,
  kFormatFilterTiff = 3,
  kFormatFilterStills = 4, // raw, JPEG and TIFF; no movies
};

// State filters.
enum : int {
  kStateFilterAll = 0,
  kStateFilterMarked = 1,
  kStateFilterUnmarked = 2,
  kStateFilterLocked = 3,
  kStateFilterUnlocked = 4,
};

// Sort keys.
enum : int {
  kBrowserSortName = 0,
  kBrowserSortType = 1,
  kBrowserSortSize = 2,
  kBrowserSortDate = 3,
};

// ChangeSelection commands.
enum : int {
  kSelectAll = 0,
  kSelectMarked = 1,
  kSelectLocked = 2,
  kSelectNone = 3,
  kSelectInvert = 4,
  kSelectUp = 10,
  kSelectDown = 11,
  kSelectLeft = 12,
  kSelectRight = 13,
};

// The grid's control id in the browser view, and its scroll bar's.
constexpr UINT kThumbnailGridId = 0x9998;
constexpr UINT kThumbnailScrollBarId = 0xFFFF;
// The width of the owner-drawn scroll bar beside the grid.
constexpr int kThumbnailScrollBarWidth = 14;
// The size indexes the browser offers.
constexpr int kThumbSizeCount = 32;
// The long side of the loader's second-pass pictures.
constexpr int kBrowserFinalPictureSide = 360;
// The loader's message to its grid (WM_THUMB_ITEMLOADED, wParam 0) when the
// shooting information of every listed item is in.
constexpr LPARAM kBrowserInfoComplete = 2;

class CET_ExifData;

// A picture the loader made, with the whole image's size; the caller owns it.
struct BrowserPicture {
  std::unique_ptr<CET_Dib> picture;
  int width = 0;
  int height = 0;
  bool final = false; // a movie's frame: no larger picture follows
};

// What the grid asks of the main frame (it implements this and hands itself
// over with SetFrame): the announcement of files moved away by a drag, and
// the folder to show again afterwards.
class IThumbnailGridFrame {
public:
  virtual ~IThumbnailGridFrame() = default;
  virtual void BroadcastToReviewFrames(UINT message, WPARAM wParam, LPARAM lParam) = 0;
  virtual void SelectFolder(const FString& folder, BOOL expand) = 0;
};

// The process-wide key and direction CompareBrowserItems reads (qsort passes
// it no argument); sorting runs on the user-interface thread.
extern int g_BrowserSortKey;
extern int g_bBrowserSortInvert;

// qsort's form: pointers to CTLM_ThumbnailData pointers. Type: raw, JPEG,
// TIFF, AVI; size: the file sizes; date: the capture times (a file without
// one first); ties by natural name order ("x2" before "x10"); negated when
// the sort is inverted.
int CompareBrowserItems(const void* a, const void* b);
// Natural order of two names: digit runs compare as numbers, the rest
// ignoring case; <0, 0, >0.
int CompareNamesLogical(const FString& a, const FString& b);

// The cell geometry of one size index (0 to 31), or of the information view.
struct ThumbGridLayout {
  CSize cell;
  CSize gap;
  CPoint margin;
  CRect picture;
  CRect caption;
};
ThumbGridLayout BrowserThumbLayout(int sizeIndex);
ThumbGridLayout BrowserInfoViewLayout();

// Whether the format filter keeps a file of the type; the state filter an item
// with the flags.
bool FormatFilterKeeps(int filter, int fileType);
bool StateFilterKeeps(int filter, bool marked, bool locked);

// The loader thread's procedure (BrowserThumbnailLoader.cpp).
UINT BrowserThumbnailLoaderThread(LPVOID param);

class CTLM_ThumbnailWnd : public CET_ThumbnailWnd {
public:
  CTLM_ThumbnailWnd();
  ~CTLM_ThumbnailWnd() override;

  virtual void Initialize();

  int AddFiles(const FArray<FString>* paths, BOOL sort) override;
  void SetThumbSize(int index) override;
  void StartLoader() override;
  void DrawItems(CDC* dc) override;
  void DrawItem(CDC* dc, int index, const POINT* origin) override;
  CET_ThumbnailData* CreateItem(const FString& path) override;
  void RecalcLayout() override;
  int ScrollTo(int position) override;
  int DragSelectedFiles(BOOL leftButton, int* effect) override;

  // 1 when the filter changed (the owner lists the folder again), 0 when equal.
  int SetFormatFilter(int filter);
  int SetStateFilter(int filter);
  int GetFormatFilter() const { return m_nFormatFilter; }
  int GetStateFilter() const { return m_nStateFilter; }
  void SetSortKey(int key);
  int GetSortKey() const { return m_nSortKey; }
  void ToggleSortOrder();
  BOOL IsSortInverted() const { return m_bSortInvert; }
  void SortItems();
  void SetInfoView();
  BOOL IsInfoView() const { return m_bInfoView; }
  void SetCaptionStyle(int textId);
  void ChangeSelection(int command);
  // Each returns the number of items it touched; null paths (refresh and
  // rotate) list the folder again.
  int UpdateItems(const FArray<FString>* paths);
  int RefreshItems(const FArray<FString>* paths);
  int RotateItems(const FArray<FString>* paths, BOOL clockwise, BOOL notify);
  // 1 while the loader thread works.
  int GetLoaderState();

  // The most bytes of pictures the grid holds (its items' pictures): beyond
  // it, the pictures farthest from the shown cells are dropped and loaded
  // again when their cells come back. The image cache's limit unless set.
  void SetPictureBudget(std::uint64_t bytes) { m_PictureBudget = bytes; }
  std::uint64_t GetPictureBudget() const { return m_PictureBudget; }
  // The bytes of pictures the items hold now.
  std::uint64_t CountPictureBytes();

  void SetFrame(IThumbnailGridFrame* frame) { m_pFrame = frame; }
  CScrollBarBase& GetScrollBar() { return m_ScrollBar; }
  // The paths of the drag in progress (empty after one that moved them).
  const FArray<FString>& GetDraggedSelection() const { return m_DraggedSelection; }
  // The item at the index, for the owner's read-only use under the item lock.
  CTLM_ThumbnailData* GetItem(int index) const;
  const FString& GetFolderPath() const { return m_FolderPath; }

protected:
  // The loader's lock and message steps, one place each so that they can be
  // watched.
  virtual void LoaderLockItems();
  virtual void LoaderUnlockItems();
  virtual void LoaderSendItemLoaded(CET_ThumbnailData* item, LPARAM state);
  // The loader's reads, on its thread, without the item lock: the shooting
  // information through the application's cache; the quick picture (EXIF
  // items into exif when given); the 360-pixel one; a raw file's development
  // under the engine lock. Failures give no picture; a throw counts as one.
  virtual void LoaderReadInfo(const FString& path, CTLM_Exif* record);
  virtual BrowserPicture LoaderLoadQuick(const FString& path, int type, int rotation, CET_ExifData* exif);
  virtual BrowserPicture LoaderLoadFinal(const FString& path, int type, int width, int height);
  virtual std::unique_ptr<CET_Dib> LoaderDevelop(const FString& path, int mode, CET_ExifData* exif, int size[2]);

  // The item of the file without its shooting information; null as CreateItem.
  CTLM_ThumbnailData* MakeItem(const FString& path);
  // Makes and appends the items the filters keep, with their shooting
  // information only when filtered (the state filter needs it); their number.
  int ListFiles(const FArray<FString>* paths, bool filtered);
  // Reads the shooting information of the items from first to last (list
  // order) that lack it, on the window's thread.
  void ReadInfoOf(int first, int last);
  // How many cells show, from the first visible one.
  int CountShownCells() const;
  // Tells the loader which cells show (the generation moves on every change
  // of view or order); starts it when a shown item lacks what it needs.
  void PublishView(bool orderChanged);
  bool ShownItemsNeedLoading();

  afx_msg int OnCreate(LPCREATESTRUCT cs);
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg void OnVScroll(UINT code, UINT pos, CScrollBar* bar);
  afx_msg void OnNcCalcSize(BOOL calcValidRects, NCCALCSIZE_PARAMS* params);
  afx_msg void OnLButtonDown(UINT flags, CPoint point);
  afx_msg void OnRButtonDown(UINT flags, CPoint point);
  afx_msg void OnRButtonUp(UINT flags, CPoint point);
  afx_msg void OnLButtonDblClk(UINT flags, CPoint point);
  afx_msg LRESULT OnBrowserItemLoaded(WPARAM wParam, LPARAM lParam);

  // The information view's ten lines for an item.
  FString BuildInfoText(const CTLM_ThumbnailData& item) const;
  void DrawBadgeAndIcons(CDC* dc, int fileType, bool locked, bool marked, const CRect& cell, const CRect& frame,
                         const CRect& drawn);
  void DrawFileTypeBadge(CDC* dc, int fileType, int x, int y);
  HBITMAP BadgeFor(int fileType) const;
  // The first selected path and the count, before a click changes them.
  void NoteSelection(int* count, FString* first);
  // After a click: an empty-space click deselects; the view hears of a change.
  void NotifySelectionChange(int countBefore, const FString& firstBefore);
  // The toolkit's handling of a press between the two.
  template <typename Click>
  void ClickWithNotice(Click click);
  void NotifyParent(WPARAM event, const FString& path);
  void SyncScrollBar();
  void WriteLoaderBusy(int busy);
  // A fresh item for each path, made without the item lock.
  void MakeFreshItems(const FArray<FString>* paths, std::vector<CTLM_ThumbnailData*>* fresh);

  CScrollBarBase m_ScrollBar;
  int m_nFormatFilter = 0;
  int m_nStateFilter = 0;
  int m_nSortKey = 0;
  BOOL m_bSortInvert = FALSE;
  BOOL m_bInfoView = FALSE;
  FString m_sAperturePrefix;
  FString m_sShutterSuffix;
  FString m_sBulbText;
  CFont* m_pCaptionFont = nullptr;
  COLORREF m_CaptionColor = 0;
  HBITMAP m_hBadges[4] = {nullptr, nullptr, nullptr, nullptr}; // raw, JPEG, TIFF, AVI
  HICON m_hLockIcon = nullptr;
  HICON m_hMarkIcon = nullptr;
  int m_nLoaderBusy = 0;
  CSemaphore m_LoaderBusySemaphore{1, 1};
  std::atomic<std::uint64_t> m_PictureBudget;
  // What the loader sees of the view.
  std::atomic<int> m_ViewFirst{0};
  std::atomic<int> m_ViewCount{0};
  std::atomic<unsigned> m_ViewGeneration{0};
  std::atomic<bool> m_ViewByDate{false}; // the order needs every item's shooting information
  bool m_bListing = false; // AddFiles runs: it starts the loader itself
  FArray<FString> m_DraggedSelection;
  IThumbnailGridFrame* m_pFrame = nullptr;

  friend UINT BrowserThumbnailLoaderThread(LPVOID param);
  friend class BrowserLoaderRun;

  DECLARE_MESSAGE_MAP()
};
