#pragma once
// The small number field: a decrement button on the left, the value in the
// middle, an increment button on the right. Like the track bar it polls the
// mouse, repeats while a button is held (after 500 ms, then every 10 ms) and
// tells its parent every change with WM_APP_SPIN_CHANGED, the release of a
// button included.

#include "platform/afx/AfxDC.h"
#include "platform/afx/AfxWin.h"
#include "toolkit/ControlNotifyData.h"
#include "toolkit/ControlParts.h"

class CSpinBase : public CWnd {
public:
  CSpinBase();

  void SetRange(int minimum, int maximum, BOOL redraw);
  void SetPos(int value);
  int GetPos() const { return m_value; }
  void SetBkColor(COLORREF colour) { m_background = colour; }
  // The value's font and colour from a text-table entry (its text is not used).
  void SetTextStyleById(int textId);

  // 0 decrement button, 1 increment button, -1 elsewhere.
  int HitTest(CPoint point) const;

protected:
  void PreSubclassWindow() override;
  void LoadImages();
  void EndRepeat();
  void Notify();
  void Draw(CDC* dc);

  afx_msg void OnPaint();
  afx_msg void OnLButtonDown(UINT flags, CPoint point);
  afx_msg void OnLButtonDblClk(UINT flags, CPoint point);
  afx_msg void OnLButtonUp(UINT flags, CPoint point);
  afx_msg void OnTimer(UINT_PTR id);
  DECLARE_MESSAGE_MAP()

private:
  int m_value = 0;
  int m_minimum = 0;
  int m_maximum = 100;
  int m_pressedPart = -1;
  int m_repeatCount = 0;
  COLORREF m_background = RGB(89, 89, 89);
  IconPart m_decrement, m_increment;
  CRect m_textRect;
  // Before SetTextStyleById the value is drawn in white in the DC's font.
  COLORREF m_textColour = RGB(255, 255, 255);
  CFont* m_textFont = nullptr;
};
