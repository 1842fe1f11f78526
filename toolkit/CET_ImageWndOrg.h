#pragma once
// The toolkit's picture viewer: one picture at a zoom, scrolled with the bars
// or by dragging, zoomed by 1.2 about a point or fitted to the window, with
// conversions between window (client) and image coordinates, off-screen
// painting under colour management, clipping warnings, and mouse reports to
// an owner window carrying the image point and the colour under it.
//
// Coordinates: client = image x zoom + offset; the image rectangle is the
// picture's extent in image units (normally its size times the picture
// scale).

#include "toolkit/CET_Dib.h"

#include "foundation/FString.h"
#include "foundation/FValueTypes.h"
#include "platform/afx/AfxWin.h"
#include "platform/win/WinIcm.h"

#include <array>

constexpr UINT WM_IMAGEWND_NOTIFY = WM_USER + 1000;

// The record a mouse notification carries (lParam).
class CET_ImageWndMsgData {
public:
  CET_ImageWndMsgData() { Reset(); }
  virtual ~CET_ImageWndMsgData() = default;
  CET_ImageWndMsgData(const CET_ImageWndMsgData&) = default;
  CET_ImageWndMsgData& operator=(const CET_ImageWndMsgData&) = default;
  virtual void Reset();
  virtual void ResetExtra();

  CPoint m_Point{0, 0};
  FDoublePoint m_ImagePoint;
  FDoubleRect m_VisibleRect;
  int m_Colour = 0xFFFFFF; // -1 outside the picture
  int m_Extra = 0;
};

class CET_ImageWndOrg : public CWnd {
public:
  // The zoom's bounds: beyond them sizes on screen leave the int range.
  static constexpr double kMinZoom = 1.0 / 1024.0;
  static constexpr double kMaxZoom = 1024.0;

  CET_ImageWndOrg() = default;
  ~CET_ImageWndOrg() override;

  virtual LRESULT OnImageNotify(WPARAM wParam, LPARAM lParam);
  // 0 black, 1 RGB(105, 105, 105), 2 white; other values change nothing.
  virtual void SetBackground(int kind);
  virtual void SetImage(const CET_Dib* picture, BOOL fit, double pictureScale, int imageWidth, int imageHeight);
  virtual void ClearImage();
  // zoom -1: fit mode; about (-1, -1): the client centre.
  virtual void SetZoom(double zoom, CPoint about);
  virtual void ZoomIn();
  virtual void ZoomOut();
  virtual FDoublePoint ClientToImage(CPoint point) const;
  virtual CRect ImageToClient(const CRect& rect) const;
  virtual FDoubleRect ClientRectToImage(const FDoubleRect& rect, BOOL clip) const;
  virtual FDoubleRect ImageRectToClient(const FDoubleRect& rect, BOOL clip) const;
  virtual void SetImageWithWarning(int mode, BYTE high, BYTE low, COLORREF highColour, COLORREF lowColour,
                                   const CET_Dib* picture, double pictureScale, int imageWidth, int imageHeight);
  virtual CDC* GetImageDC();
  virtual void ReleaseImageDC(CDC* dc);
  virtual void DrawImage(CDC* dc);
  virtual void UpdateScrollBars();
  virtual void ApplyScrollPos();
  virtual void ScrollTo(int x, int y);
  virtual void ClampScroll(BOOL centre);
  virtual void NotifyOwner(WPARAM mouseMessage, int x, int y, BOOL post);
  virtual void BeginICM(CDC* dc);
  virtual void EndICM(CDC* dc);

  // Set-up by the owner: left-button panning on or off, the window and
  // message of the notifications, and whether mouse notifications are posted
  // (the default) or sent.
  void SetDragMode(BOOL pan) { m_LeftButtonMode = pan ? 1 : 0; }
  void SetLeftButtonMode(int mode) { m_LeftButtonMode = mode; }
  void SetNotifyWnd(CWnd* owner) { m_pOwner = owner; }
  void SetNotifyMessage(int message) { m_NotifyMessage = message; }
  void SetPostNotify(BOOL post) { m_bPostNotify = post; }
  void SetColorManagement(BOOL on) { m_bColorManagement = on; }
  void SetMonitorProfilePath(const FString& path) { m_MonitorProfilePath = path; }
  // The window takes the colour space and deletes it.
  void SetColorSpace(HCOLORSPACE space);

  const CET_Dib& GetPicture() const { return m_Dib; }
  COLORREF GetBackgroundColor() const { return m_BackgroundColor; }
  BOOL IsFitMode() const { return m_bFitMode; }
  const CRect& GetImageRect() const { return m_ImageRect; }
  double GetPictureScale() const { return m_PictureScale; }
  double GetZoom() const { return m_Zoom; }
  const FDoublePoint& GetOffset() const { return m_Offset; }
  BOOL IsVScrollShown() const { return m_bVScroll; }
  BOOL IsHScrollShown() const { return m_bHScroll; }

protected:
  afx_msg void OnPaint();
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg void OnHScroll(UINT code, UINT pos, CScrollBar* bar);
  afx_msg void OnVScroll(UINT code, UINT pos, CScrollBar* bar);
  afx_msg void OnLButtonDown(UINT flags, CPoint point);
  afx_msg void OnLButtonUp(UINT flags, CPoint point);
  afx_msg void OnLButtonDblClk(UINT flags, CPoint point);
  afx_msg void OnRButtonDown(UINT flags, CPoint point);
  afx_msg void OnRButtonUp(UINT flags, CPoint point);
  afx_msg void OnRButtonDblClk(UINT flags, CPoint point);
  afx_msg void OnMouseMove(UINT flags, CPoint point);
  afx_msg LRESULT OnImageNotifyMessage(WPARAM wParam, LPARAM lParam);

  // The picture (image rectangle x zoom) on screen, before the offset.
  FDoubleRect ZoomedImageRect() const;
  // Sets the image rectangle from the given size or the picture's.
  void SetImageRect(int imageWidth, int imageHeight);
  void ScrollByBar(int bar, UINT code, UINT pos);
  void PanWhileHeld(CPoint start);
  void Notify(UINT message, CPoint point);

  CET_Dib m_Dib;
  CWnd* m_pOwner = nullptr;
  int m_LeftButtonMode = 1;
  COLORREF m_BackgroundColor = RGB(255, 255, 255);
  BOOL m_bFitMode = FALSE;
  CRect m_ImageRect{0, 0, 0, 0};
  double m_PictureScale = 1.0;
  double m_Zoom = 1.0;
  FDoublePoint m_Offset;
  BOOL m_bVScroll = FALSE;
  BOOL m_bHScroll = FALSE;
  int m_NotifyMessage = -1;
  CET_ImageWndMsgData m_SendData;
  CET_ImageWndMsgData m_PostData;
  BOOL m_bColorManagement = FALSE;
  HCOLORSPACE m_hColorSpace = nullptr;
  HCOLORSPACE m_hOldColorSpace = nullptr;
  FString m_SecondProfilePath;
  std::array<char16_t, 260> m_OldProfile{};
  FString m_MonitorProfilePath;
  BOOL m_bPostNotify = TRUE;

  DECLARE_MESSAGE_MAP()
};
