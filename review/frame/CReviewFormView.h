#pragma once
// The client of every review window: a form view (template 102) with the
// picture pane, two tool rows of buttons, the settings choice (a radio bar
// and the preset list), a line of shooting information, a progress bar and
// the lock and mark indicators. It owns the develop worker's job and the
// image's life in the window: the quick picture, the worker's results shown
// in the pane, the loupe's regions. The view settings (loupe, rulers,
// clipping warnings, grey-point picking) are the frame's to store.
//
// Its source files: CReviewFormView.cpp (controls, layout, commands, zoom,
// loupe and settings choice, mouse) and CReviewFormViewImages.cpp (opening
// images, the worker's results, turning, the loupe's region, grey point).

#include "review/core/ReviewDevelopControl.h"
#include "review/frame/ReviewViewLayout.h"
#include "review/pane/CReviewImageWnd.h"
#include "review/pane/ReviewRegionSource.h"
#include "shell/facade/CKVR_FilterData.h"
#include "shell/facade/CTLM_ThumbnailData.h"
#include "toolkit/CBasicButton.h"
#include "toolkit/CButtonBase.h"
#include "toolkit/CCheckButton.h"
#include "toolkit/CComboBoxBase.h"
#include "toolkit/CFormViewBase.h"
#include "toolkit/CGroupeBoxBase.h"
#include "toolkit/CProgressBarBase.h"
#include "toolkit/CRadioBarBase.h"
#include "toolkit/CStaticBase.h"

#include <array>
#include <memory>
#include <vector>

class CReviewFrame;
class ReviewViewServices;

class CReviewFormView : public CFormViewBase, public ReviewDevelopOwner, public IReviewRegionSource {
  DECLARE_DYNCREATE(CReviewFormView)
public:
  static constexpr UINT_PTR kResizeTimer = 1;
  static constexpr UINT kResizeQuietMs = 500;

  CReviewFormView();
  ~CReviewFormView() override;
  static void RegisterTemplate();

  // ---- State the frame reads
  BOOL IsImageReady() const { return m_Develop ? m_Develop->IsReady() : FALSE; }
  BOOL IsClipWarningOn() const { return m_bWarnOn; }
  BOOL GetGrayPointMode() const { return m_bGrayPointMode; }
  BOOL IsRulerShown() const { return m_bRulerOn; }
  int GetLoupeArea() const { return m_nLoupeArea; }
  BOOL GetLoupe(int* step) const;
  int GetZoomIndex() const { return m_Pane.GetZoomIndex(); }
  void GetImagePosition(int* index, int* count) const;
  BOOL GetClipWarning(int* channel, BYTE* shadow, BYTE* highlight) const;
  FString GetImagePath() const;
  BOOL AreFileButtonsEnabled() const { return m_bFileButtonsOn; }
  // Null while a worker runs; the decoded picture of a file that is not raw
  // in slot 1, else the developed one.
  const CET_Dib* GetDisplayedPicture() const;
  CReviewImageWnd& GetPane() { return m_Pane; }
  ReviewDevelopControl& Develop() { return *m_Develop; }
  int GetProgress() const { return m_Progress.GetPos(); }

  // ---- View settings
  void SetLoupe(BOOL on, int step);
  void ShowLoupe(BOOL on);
  void SetLoupeArea(int code);
  void ShowRuler(BOOL on);
  void SetZoomIndex(int index);
  void SetGrayPointMode(BOOL on);
  void SetClipWarning(BOOL on, int channel, BYTE shadow, BYTE highlight);
  void SetLocked(BOOL on);
  void SetMarked(BOOL on);
  void SetImagePosition(int index, int count);
  void SetProgress(int percent);
  void DiscardProgressMessages();
  // Scrolls to a part of the picture given in fractions 0..1 (the navigator).
  void ScrollToRect(const FDoubleRect& fractions);
  // Steps of the pane: 1 fit, 2 actual size, 3 larger, 4 smaller.
  void Zoom(int step);
  void UpdateZoomLabel();
  void UpdateInfoText(const CTLM_ThumbnailData* record);
  void OnPresetAdded(const CKVR_FilterData* preset, BOOL reselect);
  void OnPresetRemoved(const CKVR_FilterData* preset, BOOL reselect);
  void OnPresetReplaced(const CKVR_FilterData* preset, BOOL reselect);

  // ---- Developing (the worker's control)
  void StartDevelop(int slot, CFilterDataSlots* slots);
  BOOL StopWorker(BOOL force);
  BOOL IsCancelled() { return m_Develop->IsCancelled(); }
  void DropParkedRequest() { m_Develop->DropParkedRequest(); }

  // ---- Images
  // The first picture to show while the image opens (a new record the caller
  // owns), or null; shown in the pane at once.
  CET_Dib* ShowQuickPicture(const CTLM_ThumbnailData* record);
  // Takes the image from the frame; the quick picture is the view's from now on.
  void OpenImage(const CTLM_ThumbnailData* record, int slot, CFilterDataSlots* slots, CET_Dib* quickPicture);
  // The same raw file developed again after its header changed.
  void RedevelopImage(const CTLM_ThumbnailData* record, int slot, CFilterDataSlots* slots);
  void RotatePictures(BOOL clockwise);

  // ---- ReviewDevelopOwner
  void ShowSettingSelection(int slot, const FString& name) override;
  void EnableFileButtons(BOOL enable) override;
  BOOL IsPaneFitMode() override { return m_Pane.GetZoomIndex() == -1; }
  double GetPaneZoom() override { return m_Pane.GetZoom(); }
  FIntSize GetPaneClientSize() override;
  BOOL IsClosePending() override;
  void PostCloseToFrame() override;

  // ---- IReviewRegionSource (the loupe)
  CET_Dib* RenderRegion(int left, int top, int right, int bottom, int x, int y, COLORREF* colour) override;

  // ---- Framework
  void DoDataExchange(CDataExchange* dx) override;
  void OnInitialUpdate() override;
  void LayoutControls() override;
  BOOL DestroyWindow() override;

protected:
  afx_msg int OnCreate(LPCREATESTRUCT cs);
  afx_msg BOOL OnEraseBkgnd(CDC* dc);
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg void OnTimer(UINT_PTR id);
  afx_msg BOOL OnMouseWheel(UINT flags, short delta, CPoint point);
  afx_msg LRESULT OnRadioBarClicked(WPARAM id, LPARAM data);
  afx_msg LRESULT OnDevelopProgress(WPARAM percent, LPARAM);
  afx_msg LRESULT OnDevelopDone(WPARAM ok, LPARAM);
  afx_msg LRESULT OnDevelopPartial(WPARAM picture, LPARAM);
  afx_msg LRESULT OnImageMouse(WPARAM message, LPARAM data);
  afx_msg void OnSettingComboChanged();
  afx_msg void OnButton(UINT id);
  DECLARE_MESSAGE_MAP()

private:
  CReviewFrame* Frame() const;
  ReviewViewServices& Services() const;
  bool IsRaw() const;
  void SetUpControls();
  void FillPresetCombo(std::vector<std::unique_ptr<CKVR_FilterData>> presets);
  void ClearPresetCombo();
  int FindPreset(const FString& name) const;
  void UpdateLoupeLabel();
  void UpdateImagePosition();
  void ReportVisibleArea();
  void EnableButton(int id, BOOL on);
  void ShowPicture(const CET_Dib* picture, const CET_Dib* managed);
  void ShowResult();
  void FirstResultShown();
  void RestartParkedRequest(bool wasReady, bool ok);
  void ChooseProfiles(const CTLM_ThumbnailData& record);
  void StartImage(const CTLM_ThumbnailData& record, int slot, CFilterDataSlots* slots, bool redevelop);
  void PickGreyPoint(const CET_ImageWndMsgData& data);
  void ShowContextMenu(CPoint client);
  CET_Dib* RenderRawRegion(const RECT& region, int x, int y, COLORREF* colour);
  CET_Dib* CutRegion(const RECT& region, int x, int y, COLORREF* colour);
  CET_Dib* FinishRegion(std::unique_ptr<CET_Dib> region, std::unique_ptr<CET_Dib> managed);

  CRadioBarBase m_SlotBar;
  CComboBoxBase m_PresetCombo;
  std::vector<std::unique_ptr<CKVR_FilterData>> m_Presets; // the combo's entries, in its order
  BOOL m_bInitialized = FALSE;
  CReviewImageWnd m_Pane;
  CET_Dib m_ThumbPicture;
  std::unique_ptr<ReviewDevelopControl> m_Develop;
  int m_nImageWidth = 0;
  int m_nImageHeight = 0;
  BOOL m_bLoupeOn = FALSE;
  int m_nLoupeStep = 1;
  int m_nLoupeArea = 0;
  BOOL m_bRulerOn = FALSE;
  BOOL m_bGrayPointMode = FALSE;
  BOOL m_bWarnOn = FALSE;
  BYTE m_nWarnShadow = 0;
  BYTE m_nWarnHighlight = 255;
  int m_nWarnChannel = 0;
  int m_nImageCount = 0;
  int m_nImageIndex = 0;
  BOOL m_bFileButtonsOn = FALSE;
  ReviewTextButtonWidths m_ButtonWidths; // measured from their captions once

  CBasicButton m_SaveButton, m_FitButton, m_AdjustPaletteButton;
  CButtonBase m_ZoomOutButton, m_ZoomInButton, m_PrevButton, m_NextButton, m_InfoPaletteButton, m_RotateLeftButton,
      m_RotateRightButton, m_PrintButton, m_MarkButton, m_LockButton, m_DeleteButton, m_LoupeSmallerButton,
      m_LoupeLargerButton, m_WriteSettingsButton, m_SavePictureButton;
  CCheckButton m_LoupeButton;
  CGroupeBoxBase m_ZoomLabel, m_PositionLabel, m_LoupeLabel;
  std::array<CGroupeBoxBase, 9> m_Separators;
  std::array<CStaticBase, 3> m_SlotLabels;
  CStaticBase m_InfoLine, m_MarkIndicator, m_LockIndicator;
  CProgressBarBase m_Progress;
};
