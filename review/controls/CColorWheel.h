#pragma once
// The colour-compensation wheel of the colour panel: a round section of a
// colour field in which the centre is neutral, the direction from the centre
// chooses the favoured hue and the distance how strongly. The user clicks or
// drags a marker over the field, or moves it with the arrow keys; the wheel
// turns the marker's point into cyan, magenta and yellow densities in
// hundredths and tells its parent (WM_APP_COLORWHEEL_CHANGED, lParam pointing
// to the three ints). The field is larger than the control: the visible part
// scrolls so that the marker stays near the middle.

#include "platform/afx/AfxDC.h"
#include "platform/afx/AfxWin.h"

#include <string>

// A point of the wheel in wheel units from the field's centre, x to the
// right and y downwards.
struct WheelPoint {
  double x = 0;
  double y = 0;
};
struct WheelGains {
  double red = 1;
  double green = 1;
  double blue = 1;
};

// Pixel p of an area size pixels wide (or high), its centre moved by offset
// pixels from the field's centre, in wheel units of scale pixels.
double PixelToWheel(int pixel, int size, int offset, double scale);
// The inverse, truncated toward zero (held within the int range).
int WheelToPixel(double wheel, int size, int offset, double scale);
// The colour balance of a wheel point; the largest gain is the square root
// of the largest raw value, no gain falls below 0.025 before that scaling.
WheelGains GainsFromWheelPoint(WheelPoint point);
// The point of a colour balance (a common factor of the gains does not
// matter); gains that are not all positive finite numbers give the centre.
WheelPoint WheelPointFromGains(const WheelGains& gains);

// "10C+5M": at most two non-zero densities, C before M before Y; "0" when
// all are 0.
std::u16string FormatCMYString(int cyan, int magenta, int yellow);

class CColorWheel : public CWnd {
public:
  CColorWheel();
  ~CColorWheel() override;

  void PreSubclassWindow() override;
  // Before the first paint: the colour around the round field.
  void SetBackColor(COLORREF colour) { m_backColour = colour; }
  // Moves the marker to the densities' point and redraws when the wheel's
  // own densities changed; the parent is not told.
  void SetCMY(const int* cmy);
  // VK_LEFT, VK_UP, VK_RIGHT, VK_DOWN move the marker to the nearest pixel in
  // that direction whose densities differ; FALSE for any other key.
  virtual BOOL OnArrowKey(UINT key);
  // TRUE while the wheel moves its own point (a drag, an arrow-key step).
  BOOL IsTracking() const { return m_tracking; }

  // The state shown: densities C, M, Y, the gains they stand for and the
  // view offset (pixels from the field's centre to the visible part's).
  const int* GetCMY() const { return m_cmy; }
  WheelGains GetGains() const { return m_gains; }
  CPoint GetViewOffset() const { return m_offset; }

  static constexpr double kScale = 110.0;
  static constexpr int kFrameIcon = 139;
  static constexpr int kMarkerIcon = 140;

protected:
  afx_msg void OnLButtonDown(UINT flags, CPoint point);
  afx_msg void OnPaint();
  DECLARE_MESSAGE_MAP()

private:
  void LoadIcons();
  // Each returns TRUE when C, M, Y changed.
  BOOL SetFromWheelPoint(WheelPoint point);
  BOOL SetFromGains(const WheelGains& gains);
  BOOL SetFromPixel(CPoint pixel);
  WheelPoint PixelPoint(CPoint pixel) const;
  // Scrolls the view toward 0.7 times the marker's point.
  void FollowMarker(CPoint pixel);
  // The drag's step: take the pixel and, when the colour changed, follow,
  // notify and redraw. TRUE when it changed.
  BOOL TrackPixel(CPoint pixel);
  void NotifyParent();
  void RedrawNow();
  // The most pixels an arrow key looks for a change before giving up.
  int ArrowSearchLimit() const;

  void BuildFrameOverlay(CDC* dc, const CRect& client);
  void BuildWheelBitmap(CDC* dc, const CRect& client);
  void MarkGridPoint(BYTE* bits, int stride, int cyan, int magenta, int yellow) const;
  void DrawContents(CDC* dc, const CRect& client);

  WheelGains m_gains;
  int m_cmy[3] = {0, 0, 0};
  CPoint m_offset{0, 0};
  double m_scale = kScale;
  BOOL m_tracking = FALSE;
  COLORREF m_backColour = RGB(89, 89, 89);

  CDC m_frameDC;
  bool m_frameBuilt = false;
  bool m_frameTried = false;
  HBITMAP m_frameBitmap = nullptr;
  HGDIOBJ m_frameOldBitmap = nullptr;
  CRect m_markerRect{0, 0, 5, 5};
  HICON m_markerIcon = nullptr;
  CRect m_frameRect{0, 0, 98, 97};
  HICON m_frameIcon = nullptr;

  CDC m_wheelDC;
  bool m_wheelBuilt = false;
  HBITMAP m_wheelBitmap = nullptr;
  HGDIOBJ m_wheelOldBitmap = nullptr;
  int m_wheelWidth = 0;
  int m_wheelHeight = 0;
};
