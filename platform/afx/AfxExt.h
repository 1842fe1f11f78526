#pragma once
// The framework's splitter, Qt-free; the rectangle tracker is in AfxTracker.h.
//
// CSplitterWnd is a static splitter: panes made by run-time class in rows
// and columns, bars between them that the mouse drags. A drag starts with
// StartTracking, which sets the limits (m_rectLimit) the bar may move in; a
// derived splitter narrows them after the base's call. The panes follow the
// bar while it moves.

#include "platform/afx/AfxFrame.h"
#include "platform/afx/AfxTracker.h"

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
