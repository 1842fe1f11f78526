#pragma once
// The browser's right-hand pane: the thumbnail grid of the listed folder and
// the controls around it. A row of icon buttons above the grid (information
// palette, rotate left and right, slide show, print, mark, lock, delete) and
// two text buttons at the top right (open, open in a new window); a box with
// the shooting information of the selected file above the grid and one with
// the selection's count and size and the active filters below it; at the
// bottom the thumbnail size controls (smaller, a slider 0 to 31, larger, and
// the information view). The view does no file work itself: its buttons give
// the main frame's commands, and the main frame calls the operations below to
// list a folder, filter, sort and size the grid and to get its files.

#include "shell/browser/CTLM_ThumbnailWnd.h"
#include "shell/browser/ThumbViewCaptions.h"
#include "toolkit/CBasicButton.h"
#include "toolkit/CButtonBase.h"
#include "toolkit/CCheckButton.h"
#include "toolkit/CFormViewBase.h"
#include "toolkit/CGroupeBoxBase.h"
#include "toolkit/CTrackBarBase.h"

#include "foundation/FArray.h"
#include "foundation/FString.h"

#include <cstdint>

class IThumbViewFrame;

// The view's form template and the ids of its controls.
namespace ThumbView {
constexpr UINT kTemplate = 7;
constexpr int kOpen = 1000;
constexpr int kOpenNew = 1001;
constexpr int kInfoPalette = 1003;
constexpr int kRotateLeft = 1005;
constexpr int kRotateRight = 1006;
constexpr int kSlideShow = 1007;
constexpr int kPrint = 1054;
constexpr int kMark = 1055;
constexpr int kLock = 1056;
constexpr int kDelete = 1057;
constexpr int kShootingBox = 1060;
constexpr int kSelectionBox = 1061;
constexpr int kSeparators[3] = {1062, 1063, 1064};
constexpr int kSmaller = 1051;
constexpr int kSizeSlider = 1163;
constexpr int kLarger = 1052;
constexpr int kInfoViewButton = 1053;
constexpr UINT kGridId = kThumbnailGridId;
constexpr int kLargestSize = 31;
} // namespace ThumbView

class CThumbFormView : public CFormViewBase {
  DECLARE_DYNCREATE(CThumbFormView)

public:
  CThumbFormView();
  ~CThumbFormView() override;

  // Registers the form template (once; the constructor does it too).
  static void RegisterTemplate();

  // ---- The listed folder and its files
  FString GetFolder() const { return m_Folder; }
  void SetFolder(const FString& path);
  // Append the listed or selected paths; the array's count, 0 for a null array.
  int GetAllPaths(FArray<FString>* paths);
  int GetSelectedPaths(FArray<FString>* paths);
  int GetSelectedCount();
  int CountSelectedStills();
  // Copies into the caller's list; TRUE.
  BOOL GetAllItems(CET_ThumbnailDataManager* items);
  BOOL GetSelectedItems(CET_ThumbnailDataManager* items);
  BOOL CollectSelectedStills(CET_ThumbnailDataManager* items);
  // A new copy (the caller deletes it) of the last listed item of exactly this
  // path; null when none.
  CTLM_ThumbnailData* FindItem(const FString& path);
  // The first selected (or listed) path; empty when there is none.
  FString GetFirstPath(BOOL selected);

  // ---- Navigation among the listed still pictures
  void GetImagePosition(const FString& path, int* position, int* count);
  FString GetNextImagePath(const FString& path);
  FString GetPrevImagePath(const FString& path);

  // ---- Changes of listed files
  int RefreshItems(const FArray<FString>* paths);
  int UpdateItemInfo(const FArray<FString>* paths);
  int RotateItems(const FArray<FString>* paths, BOOL clockwise, BOOL redraw);

  // ---- Filters, sort, size and selection
  int GetStateFilter() const { return m_Grid.GetStateFilter(); }
  void SetStateFilter(int filter);
  int GetFormatFilter() const { return m_Grid.GetFormatFilter(); }
  void SetFormatFilter(int filter);
  int GetSortMode() const;
  void SetSortMode(int mode);
  BOOL IsSortInverted() const;
  void ToggleSortOrder();
  BOOL IsInfoView() const { return m_bInfoView; }
  void SetInfoView(BOOL infoView);
  int GetThumbSizeIndex() const { return m_SizeIndex; }
  void SetThumbSizeIndex(int index);
  void SelectAll() { ChangeSelection(0); }
  void SelectMarked() { ChangeSelection(1); }
  void SelectLocked() { ChangeSelection(2); }
  void SelectNone() { ChangeSelection(3); }
  void InvertSelection() { ChangeSelection(4); }

  // ---- The three refreshes of the controls around the grid
  void UpdateSelectionInfo();
  void UpdateButtons();
  void UpdateFilterCaption();
  int GetLoaderState();

  // For the frame and tests.
  CTLM_ThumbnailWnd& GetGrid() { return m_Grid; }
  const CGroupeBoxBase& GetShootingBox() const { return m_ShootingBox; }
  const CGroupeBox_DoubleStr& GetSelectionBox() const { return m_SelectionBox; }
  const CTrackBarBase& GetSizeSlider() const { return m_SizeSlider; }
  const CCheckButton& GetInfoViewButton() const { return m_InfoViewButton; }

  void DoDataExchange(CDataExchange* dx) override;
  void OnInitialUpdate() override;
  BOOL PreTranslateMessage(MSG* msg) override;
  void LayoutControls() override;

protected:
  afx_msg int OnCreate(LPCREATESTRUCT cs);
  afx_msg BOOL OnEraseBkgnd(CDC* dc);
  afx_msg BOOL OnMouseWheel(UINT flags, short delta, CPoint point);
  afx_msg LRESULT OnTrackBarChanged(WPARAM id, LPARAM data);
  afx_msg LRESULT OnThumbViewEvent(WPARAM event, LPARAM path);
  afx_msg void OnOpen();
  afx_msg void OnOpenNew();
  afx_msg void OnInfoPalette();
  afx_msg void OnRotateLeft();
  afx_msg void OnRotateRight();
  afx_msg void OnSlideShow();
  afx_msg void OnPrint();
  afx_msg void OnMark();
  afx_msg void OnLock();
  afx_msg void OnDelete();
  afx_msg void OnSmallerButton();
  afx_msg void OnLargerButton();
  afx_msg void OnInfoViewButton();
  DECLARE_MESSAGE_MAP()

private:
  // What the buttons and captions show of the selected items.
  struct SelectionFacts {
    int count = 0;
    std::uint64_t totalBytes = 0;
    bool anyStill = false;    // of a still-picture type: can be rotated
    bool anyMarkable = false; // its file can carry the mark
    bool anyUnlocked = false; // can be deleted
    ShootingTexts single;     // the first selected item's
  };
  SelectionFacts ReadSelection();

  void SetUpControls();
  void SizeTextButtons();
  void SendFrameCommand(UINT command);
  IThumbViewFrame* Frame() const;
  void ChangeSelection(int command);
  // Steps after a filter changed: listing again when the grid's filter
  // changed, the caption, the review windows' file lists, the information
  // palette and the view's own focus event.
  void FilterChanged(BOOL gridChanged);
  void RedrawGrid();
  // A child's rectangle in client coordinates; empty for a window that does not exist.
  CRect ChildRect(const CWnd& child) const;

  BOOL m_bInitialized = FALSE;
  ShootingWords m_Words;
  CTLM_ThumbnailWnd m_Grid;
  FString m_Folder;
  int m_SizeIndex = 0;
  BOOL m_bInfoView = FALSE;

  CBasicButton m_OpenButton, m_OpenNewButton;
  CButtonBase m_InfoPaletteButton, m_RotateLeftButton, m_RotateRightButton, m_SlideShowButton, m_PrintButton,
      m_MarkButton, m_LockButton, m_DeleteButton;
  CGroupeBoxBase m_ShootingBox;
  CGroupeBox_DoubleStr m_SelectionBox;
  CGroupeBoxBase m_Separators[3];
  CButtonBase m_SmallerButton, m_LargerButton;
  CTrackBarBase m_SizeSlider;
  CCheckButton m_InfoViewButton;
};
