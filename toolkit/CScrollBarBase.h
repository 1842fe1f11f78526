#pragma once
// The program's scroll bar: a small child window beside a scrolling window
// (its target) drawn from 12 x 12 arrow bitmaps and a flat grey thumb. It
// keeps no scroll state of its own: it shows the target's scroll data
// (re-read on UpdateFromTarget) and drives the target with the WM_VSCROLL or
// WM_HSCROLL requests the target's own bar would send. An edit target is
// scrolled in whole lines.

#include "platform/afx/AfxDC.h"
#include "platform/afx/AfxWin.h"

class CScrollBarBase : public CWnd {
public:
  CScrollBarBase() = default;
  ~CScrollBarBase() override;

  // 0 vertical, 1 horizontal, 2 the corner box; only before creation.
  void SetBarType(int type);
  int GetBarType() const { return m_type; }
  void SetTargetWnd(CWnd* target) { m_target = target; }
  void UpdateFromTarget();
  BOOL IsDraggingThumb() const { return m_pressedPart == 2; }

  // 0 first arrow, 1 second arrow, 2 thumb, 3 track before the thumb, 4 track
  // after it, -1 elsewhere (and always for the corner box).
  int HitTest(CPoint point) const;
  CRect GetThumbRect() const { return m_thumb; }

protected:
  BOOL GetTargetScrollInfo(SCROLLINFO* info) const;
  void CalcThumbRect(const SCROLLINFO* info);
  void Press(int part);
  void SendRequest(UINT code, int position = 0);
  void EndTracking();
  int TrackLength() const;
  bool IsBar() const { return m_type == 0 || m_type == 1; }

  afx_msg int OnCreate(LPCREATESTRUCT cs);
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg void OnPaint();
  afx_msg void OnLButtonDown(UINT flags, CPoint point);
  afx_msg void OnMouseMove(UINT flags, CPoint point);
  afx_msg void OnLButtonUp(UINT flags, CPoint point);
  afx_msg void OnTimer(UINT_PTR id);
  DECLARE_MESSAGE_MAP()

private:
  int m_type = -1;
  CWnd* m_target = nullptr;
  int m_pressedPart = -1;
  int m_repeatCount = 0;
  CPoint m_dragStart;
  SCROLLINFO m_dragInfo;
  CRect m_first, m_second, m_thumb;
  HBITMAP m_firstBitmaps[2] = {nullptr, nullptr}; // normal, pressed
  HBITMAP m_secondBitmaps[2] = {nullptr, nullptr};
};
