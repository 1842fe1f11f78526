#pragma once
// The picture area of the review window: the toolkit's image window fitted
// or at one of 27 zoom steps, with rulers along the top and left edges (a red
// mark at the cursor), its own scroll bars beside it, panning by dragging, a
// loupe that shows the region round the cursor at full resolution with the
// pixel's values, a clipping-warning picture and a grey-point cursor.
//
// With the rulers on, the picture sits 20 pixels right of and below where
// the image window would put it: every conversion adds (20, 20) to the
// client side, and fitting uses the client area less the two ruler bands.

#include "review/pane/ReviewLoupe.h"
#include "review/pane/ReviewRulers.h"

#include "toolkit/CET_ImageWndOrg.h"
#include "toolkit/CScrollBarBase.h"

#include "platform/afx/AfxDC.h"

#include <array>

class IReviewRegionSource;

class CReviewImageWnd : public CET_ImageWndOrg {
public:
  static constexpr int kZoomSteps = 27;
  static constexpr int kActualSizeStep = 11;
  static constexpr int kBarSize = 14;
  static constexpr UINT_PTR kLeaveTimer = 1;
  // The zoom of each step: 1/12 ... 1/2, 1, 2 ... 16.
  static double ZoomOfStep(int step);
  // The step StepZoom goes to: kind 1 fit (-1), 2 actual size, 3 larger,
  // 4 smaller, others 0; from the current step (-1 fit) and zoom.
  static int NextZoomStep(int kind, int step, double zoom);

  CReviewImageWnd();
  ~CReviewImageWnd() override;

  void SetZoomIndex(int step);
  void StepZoom(int kind);
  int GetZoomIndex() const { return m_ZoomStep; }
  BOOL IsPanning() const { return m_bPanning; }
  CRect GetImageRect() const { return m_ImageRect; }
  void SetRuler(BOOL on, BOOL ticksHidden);
  // The magnification is kept within 1..8 (an invalid one gives 1).
  void SetLoupe(BOOL on, int magnification);
  // 0: 160 x 160, 1: 240 x 240, 2: 320 x 320; others 160 x 160.
  void SetLoupeArea(int sizeCode) { m_LoupeSize = sizeCode; }
  void SetGrayPointMode(BOOL on);
  // Fractions 0..1 of the picture: that part starts where the visible part
  // starts (or ends where the picture ends when it reaches the far edge).
  void ScrollToRelativeRect(const FDoubleRect& fractions);
  // The pane's window rectangle (parent's coordinates) with the strips of
  // its shown bars.
  void GetOuterRect(LPRECT rect) const;
  void MoveOuter(const RECT& rect);

  BOOL IsRulerOn() const { return m_bRuler; }
  BOOL IsLoupeOn() const { return m_bLoupe; }
  int GetLoupeMagnification() const { return m_LoupeScale; }
  BOOL IsCursorHidden() const { return m_bHideCursor; }
  BOOL IsMouseInside() const { return m_bMouseInside; }
  BOOL IsCornerBoxShown() const { return m_bCornerBox; }
  const CScrollBarBase& GetBar(int type) const { return m_Bars[static_cast<std::size_t>(type)]; }

  BOOL DestroyWindow() override;
  void SetImage(const CET_Dib* picture, BOOL fit, double pictureScale, int imageWidth, int imageHeight) override;
  FDoublePoint ClientToImage(CPoint point) const override;
  CRect ImageToClient(const CRect& rect) const override;
  FDoubleRect ClientRectToImage(const FDoubleRect& rect, BOOL clip) const override;
  FDoubleRect ImageRectToClient(const FDoubleRect& rect, BOOL clip) const override;
  void DrawImage(CDC* dc) override;
  void UpdateScrollBars() override;
  void ApplyScrollPos() override;
  void ClampScroll(BOOL centre) override;
  // The picture with its clipped pixels painted: above high in highColour,
  // below low in lowColour, on a copy of base (or of source). A base without
  // a picture changes nothing.
  virtual void ShowWarningImage(int mode, int high, int low, COLORREF highColour, COLORREF lowColour,
                                const CET_Dib* source, const CET_Dib* base, double pictureScale, int width,
                                int height);

protected:
  afx_msg int OnCreate(LPCREATESTRUCT cs);
  afx_msg void OnNcCalcSize(BOOL calcValidRects, NCCALCSIZE_PARAMS* params);
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message);
  afx_msg void OnLButtonDown(UINT flags, CPoint point);
  afx_msg void OnLButtonUp(UINT flags, CPoint point);
  afx_msg void OnMouseMove(UINT flags, CPoint point);
  afx_msg void OnTimer(UINT_PTR id);
  afx_msg void OnHScroll(UINT code, UINT pos, CScrollBar* bar);
  afx_msg void OnVScroll(UINT code, UINT pos, CScrollBar* bar);
  DECLARE_MESSAGE_MAP()

private:
  int RulerShift() const { return m_bRuler ? kRulerBand : 0; }
  CRect ClientArea() const;
  // The client area the picture is fitted into and drawn in.
  CRect PictureArea() const;
  void FitToArea();
  void UpdateBarLayout();
  void ClearScrollInfo();
  void RereadBars();
  void PlaceBars();
  bool AnyBarShown() const { return m_bVScroll || m_bHScroll; }
  // The cursor's client position, when it is inside the client area.
  bool CursorInClient(CPoint& point) const;
  // The picture pixel under a client point, when there is one.
  bool PixelUnder(CPoint point, CPoint& pixel) const;
  void DrawRulersOn(CDC* dc);
  void DrawLoupe(CDC* dc, const CRect& pictureDestination);
  void ShowCursorAgain(BOOL hide);
  void ReleaseCursors();

  int m_ZoomStep = -1;
  int m_bLoupe = 0;
  int m_LoupeScale = 1;
  int m_LoupeSize = 0;
  int m_bHideCursor = 1;
  int m_bGrayPointMode = 0;
  HCURSOR m_hGrayPointCursor = nullptr;
  std::array<CScrollBarBase, 3> m_Bars; // vertical, horizontal, corner box
  int m_bCornerBox = 0;
  int m_bPanning = 0;
  HCURSOR m_hGrabCursor = nullptr;
  HCURSOR m_hHandCursor = nullptr;
  int m_bRuler = 0;
  int m_bHideTicks = 0;
  CFont m_RulerFont;
  CFont m_VerticalRulerFont;
  int m_bMouseInside = 0;
  int m_bLeaveTimerFlag = 0;
};
