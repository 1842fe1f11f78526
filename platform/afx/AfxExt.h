#pragma once
// The framework's splitter and rectangle tracker, Qt-free.
//
// CSplitterWnd is a static splitter: panes made by run-time class in rows
// and columns, bars between them that the mouse drags. A drag starts with
// StartTracking, which sets the limits (m_rectLimit) the bar may move in; a
// derived splitter narrows them after the base's call. The panes follow the
// bar while it moves.
//
// CRectTracker moves or resizes a rectangle with the mouse: Track captures
// the mouse and follows it (polling the pointer, so a script of input ends
// it) until the button is released or Esc cancels; every change goes through
// AdjustRect and OnChangedRect.

#include "platform/afx/AfxFrame.h"

#include <vector>

class CSplitterWnd : public CWnd {
public:
  enum ESplitType { splitBox, splitBar, splitIntersection, splitBorder };
  enum HitTestValue {
    noHit = 0,
    vSplitterBox = 1,
    hSplitterBox = 2,
    bothSplitterBox = 3,
    vSplitterBar1 = 101, // bars between rows
    vSplitterBar15 = 115,
    hSplitterBar1 = 201, // bars between columns
    hSplitterBar15 = 215,
  };

  CSplitterWnd() = default;
  BOOL CreateStatic(CWnd* parent, int rows, int cols, DWORD style = WS_CHILD | WS_VISIBLE,
                    UINT id = AFX_IDW_PANE_FIRST);
  virtual BOOL CreateView(int row, int col, const CRuntimeClass* viewClass, SIZE initialSize,
                          CCreateContext* context);
  int GetRowCount() const { return m_nRows; }
  int GetColumnCount() const { return m_nCols; }
  void SetColumnInfo(int col, int ideal, int minimum);
  void GetColumnInfo(int col, int& current, int& minimum) const;
  void SetRowInfo(int row, int ideal, int minimum);
  void GetRowInfo(int row, int& current, int& minimum) const;
  CWnd* GetPane(int row, int col) const;
  int IdFromRowCol(int row, int col) const;
  // Places the panes: every column but the last at its ideal width, the last
  // takes the rest (rows likewise).
  virtual void RecalcLayout();

  // The bars, borders and their sizes (pixels).
  int m_cxSplitter = 7;
  int m_cySplitter = 7;
  int m_cxBorder = 2;
  int m_cyBorder = 2;

protected:
  // Draws a bar or a pane's border; with no DC it asks for a repaint.
  virtual void OnDrawSplitter(CDC* dc, ESplitType type, const CRect& rect);
  virtual int HitTest(CPoint point) const;
  virtual void StartTracking(int hitTest);
  virtual void StopTracking(BOOL accept);

  afx_msg void OnPaint();
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg void OnLButtonDown(UINT flags, CPoint point);
  afx_msg void OnMouseMove(UINT flags, CPoint point);
  afx_msg void OnLButtonUp(UINT flags, CPoint point);
  afx_msg void OnKeyDown(UINT key, UINT repeat, UINT flags);
  afx_msg void OnCaptureChanged(CWnd* wnd);
  DECLARE_MESSAGE_MAP()

  // While a bar is dragged: the limits it moves within, its rectangle and
  // the grip's offset in it.
  CRect m_rectLimit;
  CRect m_rectTracker;
  CPoint m_ptTrackOffset;
  BOOL m_bTracking = FALSE;
  int m_htTrack = noHit;

public:
  struct Info {
    int ideal = 0;
    int minimum = 0;
    int current = 0;
  };

private:
  CRect BarRect(int hitTest) const;
  void MoveBar(int position);
  std::vector<Info> m_rowInfo;
  std::vector<Info> m_colInfo;
  int m_nRows = 0;
  int m_nCols = 0;
  int m_trackStartIdeal = 0;
};

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

  void Draw(CDC* dc) const;
  void GetTrueRect(LPRECT rect) const;
  // The hit of a point in the window's client coordinates.
  int HitTest(CPoint point) const;
  // Corners and edges of an inverted rectangle named as the user sees them.
  int NormalizeHit(int hit) const;
  // Follows the mouse from `point` (the press) until the button is released
  // (TRUE, the rectangle changed) or Esc, the right button or a lost capture
  // cancel it (FALSE, the rectangle as it was).
  BOOL Track(CWnd* wnd, CPoint point, BOOL allowInvert = FALSE, CWnd* clipTo = nullptr);
  BOOL TrackRubberBand(CWnd* wnd, CPoint point, BOOL allowInvert = TRUE);

  virtual void DrawTrackerRect(LPCRECT rect, CWnd* clipTo, CDC* dc, CWnd* wnd);
  virtual void AdjustRect(int handle, LPRECT rect);
  virtual void OnChangedRect(const CRect& oldRect);
  virtual UINT GetHandleMask() const;

  CRect m_rect;
  UINT m_nStyle = 0;
  int m_nHandleSize = 7;
  CSize m_sizeMin{4, 4};

protected:
  int HitTestHandles(CPoint point) const;
  void GetHandleRect(int handle, CRect* rect) const;
  BOOL TrackHandle(int handle, CWnd* wnd, CPoint point, CWnd* clipTo);
};
