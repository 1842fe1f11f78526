#pragma once
// The small picture window of one thumbnail record. In navigator mode the
// picture fills the window (its proportions kept) and, when asked, a red
// rectangle marks the part of the image the review window shows; the person
// drags it to scroll the review window, and the parent hears each move as
// WM_APP_VISIBLE_RECT with the visible part in fractions of the picture. In
// thumbnail mode the picture sits inside margins with the file-type badge,
// the lock and mark icons and the file name under it.

#include "shell/facade/CTLM_ThumbnailData.h"
#include "toolkit/CRectTrackerBase.h"

#include "foundation/FValueTypes.h"
#include "platform/afx/AfxDC.h"
#include "platform/afx/AfxWin.h"

class CMiniImageWnd : public CWnd {
public:
  CMiniImageWnd();
  ~CMiniImageWnd() override;

  // A copy of the record (NULL: none; the window is then not repainted).
  void SetThumbnail(const CTLM_ThumbnailData* thumbnail);
  void SetNavigatorMode(int navigatorMode) { m_nNavigatorMode = navigatorMode; }
  void SetShowVisibleRect(int show) { m_nShowVisibleRect = show; }
  void SetBackColor(COLORREF colour) { m_BackColor = colour; }
  // The caption's font and colour of that text-table entry (its text is not used).
  void SetCaptionStyle(int textId);
  // The visible part of the image in fractions of the picture.
  void SetVisibleRect(const FDoubleRect* visible);

  // The tracker's rectangle in client pixels.
  CRect GetTrackerRect() const { return m_Tracker.m_rect; }
  const FDoubleRect& GetVisibleArea() const { return m_VisibleArea; }
  // The picture's place in the window: the whole client area in navigator
  // mode, inside the margins in thumbnail mode; empty without a picture.
  CRect FittedPictureRect() const;

  static constexpr int kLockIcon = 0xEB;
  static constexpr int kMarkIcon = 0xE9;
  static constexpr int kIconSize = 16;
  // The badge bitmap of a file type.
  static int BadgeIdOf(int fileType);

protected:
  afx_msg void OnPaint();
  afx_msg BOOL OnEraseBkgnd(CDC* dc);
  afx_msg void OnLButtonDown(UINT flags, CPoint point);
  afx_msg BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message);
  afx_msg LRESULT OnVisibleRect(WPARAM rect, LPARAM);
  DECLARE_MESSAGE_MAP()

private:
  static void PaintContent(CDC* dc, RECT area, void* self, void*);
  void DrawNavigator(CDC* dc);
  void DrawThumbnail(CDC* dc);
  void DrawPicture(CDC* dc, const CRect& target) const;
  bool HasPicture() const;
  CRect FitInto(const CRect& frame) const;
  // Thumbnail mode: the client area less the margins.
  CRect ThumbnailArea() const;
  // Moves the rectangle inside the fitted picture, its size kept.
  static void KeepInside(CRect& rect, const CRect& fit);
  void ReleaseBadge();

  CTLM_ThumbnailData m_Thumbnail;
  int m_nNavigatorMode = 1;
  int m_nShowVisibleRect = 0;
  FDoubleRect m_VisibleArea{0.0, 0.0, 1.0, 1.0};
  HBITMAP m_hBadge = nullptr;
  HICON m_hLockIcon = nullptr;
  HICON m_hMarkIcon = nullptr;
  CFont* m_pCaptionFont = nullptr;
  COLORREF m_CaptionColor = 0;
  COLORREF m_BackColor = RGB(255, 255, 255);
  CRectTrackerBase m_Tracker;
};
