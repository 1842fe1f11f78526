#pragma once
// What the main frame asks of the review windows and of the two palettes. The
// review window and the palettes are separate windows of their own; the main
// frame reaches them only through these two interfaces, so it can be built,
// run and tested before they exist. Until a real implementation is installed
// (CMainFrame::SetReviewWindows) the frame has none: it cannot open a review
// window or a palette, and the commands that would are disabled.

#include "foundation/FString.h"
#include "platform/afx/AfxWin.h"

class CET_ThumbnailDataManager;
class CTLM_ThumbnailData;

// One review window as the main frame sees it (CReviewFrame).
class IReviewFrame {
public:
  virtual ~IReviewFrame() = default;
  // The frame window itself: the main frame sends it messages, activates,
  // shows, redraws and minimises it.
  virtual CWnd* GetFrameWnd() = 0;
  // TRUE while it closes or a close is pending behind its worker; such a
  // window is never reused.
  virtual BOOL IsClosing() const = 0;
  // Shows the file of the item; the window takes its own copy.
  virtual void OpenImage(const CTLM_ThumbnailData* item) = 0;
  // The browser's items, for its previous and next commands (the caller keeps
  // the list).
  virtual void SetImageList(CET_ThumbnailDataManager* list) = 0;
  // Applies the Review section of the settings to its view.
  virtual void ApplyViewSettings() = 0;
  virtual void ToggleAdjustPalette() = 0;
  // The path of the image shown (empty when none).
  virtual FString GetImagePath() const = 0;
  // FALSE (a close is then pending) while its worker runs; otherwise leaves
  // the main frame's list (CMainFrame::ReorderReviewFrame, action 2) and
  // destroys the window.
  virtual BOOL DestroyReviewFrame() = 0;
};

// The review windows and palettes the program can make.
class IReviewWindows {
public:
  virtual ~IReviewWindows() = default;
  // A new review window (resource 129, visible, initially updated), or null
  // when none can be made.
  virtual IReviewFrame* CreateReviewFrame() = 0;
  virtual BOOL CanCreateReviewFrame() const = 0;

  // The information palette: whether the program has one at all; the open
  // one or null; opened (made first when needed) or null; closed.
  virtual BOOL HasInfoPalette() const = 0;
  virtual CWnd* GetInfoPalette() = 0;
  virtual CWnd* OpenInfoPalette() = 0;
  virtual void CloseInfoPalette() = 0;

  // The adjustment palette: the open one or null; closed.
  virtual CWnd* GetAdjustPalette() = 0;
  virtual void CloseAdjustPalette() = 0;
};

// The frame's default until the review window exists: nothing can be opened
// and no palette is ever open. Test doubles override what they offer.
class CNoReviewWindows : public IReviewWindows {
public:
  IReviewFrame* CreateReviewFrame() override { return nullptr; }
  BOOL CanCreateReviewFrame() const override { return FALSE; }
  BOOL HasInfoPalette() const override { return FALSE; }
  CWnd* GetInfoPalette() override { return nullptr; }
  CWnd* OpenInfoPalette() override { return nullptr; }
  void CloseInfoPalette() override {}
  CWnd* GetAdjustPalette() override { return nullptr; }
  void CloseAdjustPalette() override {}
};
