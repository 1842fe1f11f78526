#pragma once
// A review window: one image shown large, a raw image developed with live
// previews. The frame owns the image's identity (path, file type, the
// browser's record), the four settings slots, the custom settings of each
// image kind and the browser's list for moving to the previous or next
// image; its one child is the form view (CReviewFormView), which holds the
// picture pane and runs the develop worker. The two floating palettes follow
// the active review window.
//
// Several review windows can be open; the main frame makes them (through
// CReviewWindows), keeps them in a list whose front is the most recently
// active one and tells them of file changes. A window never changes a file
// itself.
//
// Switching images: OpenImage keeps the new record pending while the view's
// worker stops (the stop pumps messages); the view takes the image only once
// no worker runs, and a close that arrives meanwhile waits (close pending)
// until the worker has ended.

#include "review/core/CFilterDataSlots.h"
#include "review/frame/ReviewFrameHost.h"
#include "review/palettes/AdjustPaletteLinks.h"
#include "shell/facade/CKVR_FilterData.h"
#include "shell/facade/CTLM_ThumbnailData.h"
#include "shell/frame/ReviewWindows.h"

#include "foundation/FArray.h"
#include "foundation/FValueTypes.h"
#include "platform/afx/AfxFrame.h"

#include <memory>

class CReviewFormView;
class ReviewViewServices;

// The frame's resources: menu, accelerators and icon.
constexpr UINT IDR_REVIEWFRAME = 129;

// The frame's commands (menu 129, accelerators 129 and the pane's pop-up menu 280).
enum ReviewFrameCommand : UINT {
  ID_REVIEW_NEW_WINDOW = 32780,
  ID_REVIEW_SAVE = 57603,
  ID_REVIEW_INFO_PALETTE = 32782,
  ID_REVIEW_IMPORT_PRESETS = 32894,
  ID_REVIEW_EXPORT_PRESETS = 32895,
  ID_REVIEW_PRINT_SETUP = 57606,
  ID_REVIEW_PRINT = 57607,
  ID_REVIEW_CLOSE = 57602,
  ID_REVIEW_EXIT = 57665,
  ID_REVIEW_ROTATE_CW = 32804,
  ID_REVIEW_ROTATE_CCW = 32805,
  ID_REVIEW_MARK = 32806,
  ID_REVIEW_LOCK = 32807,
  ID_REVIEW_DELETE = 32808,
  ID_REVIEW_WRITE_SETTINGS = 32897,
  ID_REVIEW_PREVIOUS = 32902,
  ID_REVIEW_NEXT = 32903,
  ID_REVIEW_LOUPE = 32904,
  ID_REVIEW_LOUPE_SMALL = 32946,
  ID_REVIEW_LOUPE_MEDIUM = 32947,
  ID_REVIEW_LOUPE_LARGE = 32948,
  ID_REVIEW_RULERS = 32906,
  ID_REVIEW_AS_SHOT = 32911,
  ID_REVIEW_AUTOMATIC = 32912,
  ID_REVIEW_CUSTOM = 32913,
  ID_REVIEW_WARNINGS = 32914,
  ID_REVIEW_ADJUST_PALETTE = 32915,
  ID_REVIEW_MANUAL = 57670,
  ID_REVIEW_ABOUT = 57664,
  ID_REVIEW_WEB_PAGE = 32866,
  ID_REVIEW_ACTUAL_SIZE = 32960,
  ID_REVIEW_FIT = 32961,
};
// Posted by the view when a result arrives while the frame switches to
// another image: the frame opens the image it keeps pending, unless a stop
// under way has taken it meanwhile.
constexpr UINT WM_REVIEW_OPEN_PENDING = WM_APP + 0x50;
// The pane's pop-up menu.
constexpr UINT IDR_REVIEWPOPUP = 280;
// Smallest frame size.
constexpr int kReviewMinWidth = 920;
constexpr int kReviewMinHeight = 600;

class CReviewFrame : public CFrameWnd, public IReviewFrame, public IAdjustPaletteFrame {
  DECLARE_DYNAMIC(CReviewFrame)
public:
  // A new review window, created (resource 129, its view made and initially
  // updated) and shown; null when it could not be made. Host and services
  // outlive it.
  static CReviewFrame* Make(IReviewFrameHost& host, ReviewViewServices& services);
  // Registers menus 129 and 280 and accelerator table 129 (once).
  static void RegisterResources();

  // The saved rectangle as the frame takes it: at least 920 x 600, moved
  // into a work area of the given size (never to a negative position).
  static CRect PlaceFromSettings(const CRect& saved, int workWidth, int workHeight);
  // A dragged rectangle widened or heightened to the minimum on the side
  // being dragged (WMSZ_* edge).
  static void EnforceMinimumTrackSize(UINT edge, RECT* rect);

  CReviewFrame(IReviewFrameHost& host, ReviewViewServices& services);
  ~CReviewFrame() override;

  // ---- IReviewFrame (the main frame)
  CWnd* GetFrameWnd() override { return this; }
  BOOL IsClosing() const override { return m_bClosing || m_bClosePending; }
  void OpenImage(const CTLM_ThumbnailData* record) override;
  void SetImageList(CET_ThumbnailDataManager* list) override;
  void ApplyViewSettings() override;
  void ToggleAdjustPalette() override;
  FString GetImagePath() const override { return m_strImagePath; }
  BOOL DestroyReviewFrame() override { return DestroyWindow(); }

  // ---- IAdjustPaletteFrame (the palettes)
  CTLM_ThumbnailData* GetThumbnailRecord(int* pending) override;
  void GetCurrentState(int* slot, CET_FilterData* settings, CET_Dib* picture) override;
  void GetCustomSettings(CET_FilterData* settings) override;
  void GetWarnings(int* flag, int* type, BYTE* shadow, BYTE* highlight) override;
  BOOL IsCurrentSlotModified() override;
  FDoubleRect GetVisibleRect() override { return m_VisibleRect; }
  BOOL IsImageReady() override;

  // ---- The image and its settings
  // Shows the current raw image again after its file header changed.
  void ReloadImage(const CTLM_ThumbnailData* record);
  // Makes the slot current (settings: the custom settings to use for slot 3
  // or 4, or null) and develops again; notify tells the adjustment palette.
  void SelectSlot(int slot, const CET_FilterData* settings, BOOL notify);
  // A new clone of the slot's settings (the caller deletes it), or null.
  CET_FilterData* GetSlotSettings(int slot) { return m_Slots.GetSlot(slot); }
  int GetCurrentSlot() const { return m_nCurrentSlot; }
  int GetFileType() const { return m_nFileType; }
  BOOL IsClosePending() const { return m_bClosePending; }
  BOOL HasPendingImage() const { return m_pPendingRecord != nullptr; }
  // Deletes the current record, keeps a clone of the given one and tells both palettes.
  void ReplaceThumbnailRecord(const CTLM_ThumbnailData* record);
  BOOL IsColorManaged() const { return m_bColorManaged; }
  void SetColorManaged(BOOL on);
  // The visible part in picture pixels: stored as fractions of the image and
  // sent to the adjustment palette (an empty rectangle until the image is ready).
  void SetVisibleRect(const FDoubleRect& pixels);
  void SendPreviewBitmap(const CET_Dib* picture);
  void NotifyPaletteSettings(BOOL redraw);
  // The folder and image list of previous and next (for tests).
  const FArray<FString>& GetImageList() const { return m_aImageList; }
  FString GetFolder() const { return m_strFolder; }
  IReviewFrameHost& Host() { return m_Host; }
  ReviewViewServices& Services() { return m_Services; }
  CReviewFormView* GetView() const;

  // ---- Commands of the view's buttons and the menu
  void ShowPrevImage();
  void ShowNextImage();
  void ToggleInfoPalette();
  // The file commands belong to the window's next step: until they are
  // built they do nothing and OffersCommand answers FALSE for their buttons.
  void SaveImage() {}
  void PrintImage() {}
  void RotateImage(BOOL /*clockwise*/) {}
  void ToggleMark() {}
  void ToggleLock() {}
  void DeleteImage() {}
  void WriteSettingsToFile() {}
  // Whether the action behind a button or command of the view exists.
  BOOL OffersCommand(UINT id) const;

  // ---- Framework overrides
  BOOL PreCreateWindow(CREATESTRUCT& cs) override;
  BOOL DestroyWindow() override;

protected:
  afx_msg int OnCreate(LPCREATESTRUCT cs);
  afx_msg void OnActivate(UINT state, CWnd* other, BOOL minimized);
  afx_msg void OnWindowPosChanging(WINDOWPOS* pos);
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg void OnSizing(UINT edge, LPRECT rect);
  afx_msg void OnSysCommand(UINT id, LPARAM lParam);
  afx_msg LRESULT OnPreviewSettings(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnVisibleRect(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnClipWarnings(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnGrayPointMode(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnFileListChanged(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnFileSettingChanged(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnOpenPending(WPARAM wParam, LPARAM lParam);
  afx_msg void OnCloseCommand();
  afx_msg void OnPrevious();
  afx_msg void OnNext();
  afx_msg void OnLoupeCommand();
  afx_msg void OnLoupeSize(UINT id);
  afx_msg void OnRulers();
  afx_msg void OnSlotCommand(UINT id);
  afx_msg void OnAdjustPaletteCommand();
  afx_msg void OnActualSize();
  afx_msg void OnFit();
  afx_msg void OnUnbuiltCommand(UINT id);
  afx_msg void OnExit();
  afx_msg void OnUpdateAlways(CCmdUI* ui);
  afx_msg void OnUpdateUnbuilt(CCmdUI* ui);
  afx_msg void OnUpdateInfoPalette(CCmdUI* ui);
  afx_msg void OnUpdatePrevious(CCmdUI* ui);
  afx_msg void OnUpdateNext(CCmdUI* ui);
  afx_msg void OnUpdateLoupe(CCmdUI* ui);
  afx_msg void OnUpdateLoupeSize(CCmdUI* ui);
  afx_msg void OnUpdateRulers(CCmdUI* ui);
  afx_msg void OnUpdateSlot(CCmdUI* ui);
  afx_msg void OnUpdateAdjustPalette(CCmdUI* ui);
  afx_msg void OnUpdateActualSize(CCmdUI* ui);
  DECLARE_MESSAGE_MAP()

private:
  void LoadMenuTexts();
  bool IsRaw() const { return m_nFileType == kRawType; }
  // The custom settings and slot mode of the current image's kind.
  CET_FilterData& CustomSettingsOfKind();
  int& SlotModeOfKind();
  // The raw custom settings forget the per-file choices of the last raw file.
  void ForgetFileChoices();
  // WM_APP_ACTIVE_IMAGE (path, this frame) to the information palette, then
  // to the adjustment palette, each when it exists and the path is not empty.
  void TellPalettes();
  void TakePendingRecord();
  void ShowImageState(const CTLM_ThumbnailData& record);
  void StoreSettings();
  void RaiseWithoutActivating(CWnd* window);

  static constexpr int kRawType = 6;

  IReviewFrameHost& m_Host;
  ReviewViewServices& m_Services;
  FString m_strImagePath;
  int m_nFileType = -1;
  std::unique_ptr<CTLM_ThumbnailData> m_pRecord;
  int m_nCurrentSlot = 1;
  CFilterDataSlots m_Slots;
  int m_nRawSlotMode = 1;
  CKVR_FilterData m_RawCustomSettings;
  int m_nPictureSlotMode = 1;
  CET_FilterData m_PictureCustomSettings;
  BOOL m_bColorManaged = FALSE;
  FString m_strFolder;
  FArray<FString> m_aImageList;
  FDoubleRect m_VisibleRect;
  std::unique_ptr<CTLM_ThumbnailData> m_pPendingRecord;
  std::unique_ptr<CET_Dib> m_pQuickPicture;
  BOOL m_bClosePending = FALSE;
  BOOL m_bClosing = FALSE;
};
