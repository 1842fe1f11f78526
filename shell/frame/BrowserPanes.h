#pragma once
// The two browser panes as the main frame uses them: the folder-tree pane
// (CTreeFormView, splitter column 0) and the thumbnail pane (CThumbFormView,
// column 1). The frame talks to them through these interfaces; the binding to
// the real pane classes lives in BrowserPaneBinding.cpp, so the frame's
// commands also run on test panes.

#include "foundation/FString.h"
#include "platform/afx/AfxExt.h"

#include <memory>
#include <vector>

class CET_ThumbnailDataManager;
class CTLM_ThumbnailData;

// The thumbnail pane's operations the main frame calls.
class IThumbPane {
public:
  virtual ~IThumbPane() = default;
  virtual CWnd* GetPaneWnd() = 0;

  virtual FString GetFolder() const = 0;
  virtual void SetFolder(const FString& folder) = 0;
  virtual int GetAllPaths(std::vector<FString>* paths) const = 0;
  virtual int GetSelectedPaths(std::vector<FString>* paths) const = 0;
  virtual int GetSelectedCount() const = 0;
  virtual BOOL GetAllItems(CET_ThumbnailDataManager* list) const = 0;
  virtual BOOL GetSelectedItems(CET_ThumbnailDataManager* list) const = 0;
  virtual BOOL CollectSelectedStills(CET_ThumbnailDataManager* list) const = 0;
  // A new copy (the caller deletes it) or null.
  virtual CTLM_ThumbnailData* FindItem(const FString& path) const = 0;
  virtual FString GetFirstPath(BOOL selected) const = 0;
  virtual void GetImagePosition(const FString& path, int* position, int* count) const = 0;
  virtual FString GetNextImagePath(const FString& path) const = 0;
  virtual FString GetPrevImagePath(const FString& path) const = 0;

  virtual void RefreshItems(const std::vector<FString>* paths) = 0; // null: list the folder again
  virtual void UpdateItemInfo(const std::vector<FString>& paths) = 0;
  virtual void RotateItems(const std::vector<FString>& paths, BOOL clockwise, BOOL redraw) = 0;
  virtual void StopLoader() = 0;
  virtual BOOL IsLoading() const = 0;

  virtual int GetStateFilter() const = 0;
  virtual void SetStateFilter(int filter) = 0;
  virtual int GetFormatFilter() const = 0;
  virtual void SetFormatFilter(int filter) = 0;
  virtual int GetSortMode() const = 0;
  virtual void SetSortMode(int mode) = 0;
  virtual BOOL IsSortInverted() const = 0;
  virtual void ToggleSortOrder() = 0;
  virtual int GetThumbSizeIndex() const = 0;
  virtual void SetThumbSizeIndex(int index) = 0;
  virtual BOOL IsInfoView() const = 0;
  virtual void SetInfoView(BOOL on) = 0;

  virtual void SelectAll() = 0;
  virtual void SelectMarked() = 0;
  virtual void SelectLocked() = 0;
  virtual void SelectNone() = 0;
  virtual void InvertSelection() = 0;
  virtual void UpdateSelectionInfo() = 0;
  virtual void UpdateButtons() = 0;
  virtual void UpdateFilterCaption() = 0;
};

// The folder-tree pane's operations the main frame calls.
class IFolderPane {
public:
  virtual ~IFolderPane() = default;
  virtual CWnd* GetPaneWnd() = 0;
  // Selects the folder in the tree (which lists it in the thumbnail pane and
  // updates the folder summary).
  virtual void SelectPath(const FString& folder) = 0;
  // The folder's files changed (saved into, deleted from): its summary counts
  // them again.
  virtual void UpdateSummary(const FString& folder) { (void)folder; }
};

// How the frame makes its splitter and finds its panes.
class IBrowserPaneFactory {
public:
  virtual ~IBrowserPaneFactory() = default;
  // A new splitter (CThumbSplitterWnd).
  virtual std::unique_ptr<CSplitterWnd> NewSplitter() = 0;
  virtual const CRuntimeClass* FolderPaneClass() = 0;
  virtual const CRuntimeClass* ThumbPaneClass() = 0;
  // The interfaces over the panes the splitter made (null when the window is
  // not such a pane); the frame keeps them as long as the panes live.
  virtual std::unique_ptr<IFolderPane> BindFolderPane(CWnd* pane) = 0;
  virtual std::unique_ptr<IThumbPane> BindThumbPane(CWnd* pane) = 0;
};

// The factory of the browser's panes.
IBrowserPaneFactory& BrowserPaneFactory();
