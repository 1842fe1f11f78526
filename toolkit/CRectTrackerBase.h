#pragma once
// A rectangle tracker that can only be moved: every proposed resize snaps
// back to the last accepted rectangle. It has no handles, shows the four-way
// move cursor, and tells its notify window each new rectangle at once
// (WM_APP_VISIBLE_RECT). A picture navigator reports the visible part of an
// image with it.

#include "platform/afx/AfxTracker.h"

class CRectTrackerBase : public CRectTracker {
public:
  CRectTrackerBase();

  // The rectangle whose size the tracker keeps.
  void SetTrackRect(int left, int top, int right, int bottom) { m_trackRect.SetRect(left, top, right, bottom); }
  const CRect& GetTrackRect() const { return m_trackRect; }
  void SetNotifyWnd(CWnd* wnd) { m_notify = wnd; }
  // For the owner's WM_SETCURSOR: only HTCLIENT; TRUE when a cursor was set.
  BOOL SetCursor(CWnd* wnd, UINT hitTest) const;

  void DrawTrackerRect(LPCRECT rect, CWnd* clipTo, CDC* dc, CWnd* wnd) override;
  void AdjustRect(int handle, LPRECT rect) override;
  void OnChangedRect(const CRect& oldRect) override;
  UINT GetHandleMask() const override { return 0; }

private:
  CWnd* m_notify = nullptr;
  CRect m_trackRect;
  HCURSOR m_cursors[10] = {};
};
