#pragma once
// The framework's rectangle tracker: a rectangle with optional resize handles
// that the user moves or resizes with the mouse (Track), its hit test and
// cursors. Qt-free. Tracking runs its own loop under capture: moves and the
// button's release end it, Escape or a right press cancel it, other messages
// are dispatched; when nothing is queued and the left button reads up (the
// input-state source), the drag ends where the cursor is.

#include "platform/afx/AfxDC.h"
#include "platform/afx/AfxWin.h"

class CRectTracker {
public:
  enum StyleFlags {
    solidLine = 1,
    dottedLine = 2,
    hatchedBorder = 4,
    resizeInside = 8,
    resizeOutside = 16,
    hatchInside = 32,
  };
  enum TrackerHit {
    hitNothing = -1,
    hitTopLeft = 0,
    hitTopRight = 1,
    hitBottomRight = 2,
    hitBottomLeft = 3,
    hitTop = 4,
    hitRight = 5,
    hitBottom = 6,
    hitLeft = 7,
    hitMiddle = 8,
  };

  CRectTracker() = default;
  CRectTracker(LPCRECT rect, UINT style) : m_rect(*rect), m_nStyle(style) {}
  virtual ~CRectTracker() = default;

  // The rectangle with its lines and handles drawn.
  void Draw(CDC* dc) const;
  // The rectangle with what is drawn around it (border, outside handles).
  void GetTrueRect(LPRECT rect) const;
  // For WM_SETCURSOR with HTCLIENT: sets the cursor of the handle under the
  // pointer; FALSE (nothing set) when the pointer is not on the tracker.
  BOOL SetCursor(CWnd* wnd, UINT hitTest) const;
  // Moves or resizes the rectangle by the mouse from point (client
  // coordinates of wnd); TRUE when a change was made and kept.
  BOOL Track(CWnd* wnd, CPoint point, BOOL allowInvert = FALSE, CWnd* clipTo = nullptr);
  int HitTest(CPoint point) const;
  // A handle as it acts on a rectangle that was inverted while tracking.
  int NormalizeHit(int handle) const;

  // Draws the rectangle while it is tracked (nothing here: the owner redraws).
  virtual void DrawTrackerRect(LPCRECT rect, CWnd* clipTo, CDC* dc, CWnd* wnd);
  // Called with each proposed rectangle while tracking; keeps m_sizeMin when resizing.
  virtual void AdjustRect(int handle, LPRECT rect);
  // Called after each change of m_rect while tracking.
  virtual void OnChangedRect(const CRect& oldRect);
  // Which of the eight handles exist (bit i: handle i).
  virtual UINT GetHandleMask() const;

  CRect m_rect;
  CSize m_sizeMin;
  int m_nHandleSize = 6;
  UINT m_nStyle = 0;

protected:
  int HitTestHandles(CPoint point) const;
  void GetHandleRect(int handle, CRect* rect) const;
  BOOL m_bAllowInvert = FALSE;
};
