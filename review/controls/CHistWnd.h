#pragma once
// The histogram panel's child window: it holds one CTLM_Histogram, counts the
// panel's current picture and paints the selected view inside a 3-D frame.

#include "review/controls/CTLM_Histogram.h"

class CHistWnd : public CWnd {
public:
  CHistWnd();

  // Counts the picture (every 8th pixel), renders the views at the client
  // size less a pixel on each side and redraws.
  void SetPicture(const CET_Dib* picture);
  // Each stores the value and redraws, only when it changed.
  void SetView(int view);
  void SetShadowMarker(BYTE position);
  void SetHighlightMarker(BYTE position);

  const CTLM_Histogram& Histogram() const { return m_histogram; }

protected:
  afx_msg void OnPaint();
  DECLARE_MESSAGE_MAP()

private:
  void RedrawNow();

  CTLM_Histogram m_histogram;
};
