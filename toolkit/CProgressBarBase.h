#pragma once
// The toolkit's progress bar: a background prepared at each resize (the
// bar's filling tiled inside a nine-slice frame) shows left of the progress,
// white to its right.

#include "platform/afx/AfxDC.h"
#include "platform/afx/AfxWin.h"

class CProgressBarBase : public CWnd {
public:
  CProgressBarBase() = default;
  ~CProgressBarBase() override;

  // Clamps to the range, shows it; the previous position.
  int SetPos(int position);
  int GetPos() const { return m_position; }
  // The range from the smaller to the larger value (SetRange: 16-bit values).
  void SetRange32(int a, int b);
  void SetRange(short a, short b) { SetRange32(a, b); }
  void GetRange(int& minimum, int& maximum) const {
    minimum = m_minimum;
    maximum = m_maximum;
  }
  // The filled width for a client width (of the interior, 4 pixels less).
  int FilledWidth(int clientWidth) const;

protected:
  afx_msg void OnSize(UINT type, int cx, int cy);
  afx_msg void OnPaint();
  afx_msg BOOL OnEraseBkgnd(CDC* dc);
  DECLARE_MESSAGE_MAP()

private:
  void BuildBackground(int cx, int cy);
  void FreeBackground();
  static void PaintBar(CDC* dc, RECT area, void* self, void*);
  int m_position = 0;
  int m_minimum = 0;
  int m_maximum = 100;
  CDC m_memory;
  HBITMAP m_backgroundBitmap = nullptr;
  HGDIOBJ m_previousBitmap = nullptr;
  CSize m_backgroundSize;
};
