#pragma once
// The adjustment slider: a horizontal bar drawn from icons, with optional
// step buttons at both ends and the value written on its thumb. It polls the
// mouse instead of capturing it, repeats while a button is held (the first
// repeat after a second, then every 100 ms, by tens from the tenth step) and
// tells its parent every change at once with WM_APP_TRACKBAR_CHANGED.

#include "platform/afx/AfxDC.h"
#include "platform/afx/AfxWin.h"
#include "toolkit/ControlNotifyData.h"
#include "toolkit/ControlParts.h"

#include <string>

class CTrackBarBase : public CWnd {
public:
  CTrackBarBase();

  // Chooses the layout; call before the control is attached to its window.
  void SetStepButtons(BOOL withButtons);
  void SetRange(int minimum, int maximum, BOOL redraw);
  void SetPos(int position);
  int GetPos() const { return m_position; }
  // The value text: format applied to position x factor, as a double when
  // asReal, else truncated to an int. An empty format shows no text.
  void SetValueFormat(const std::u16string& format, BOOL asReal, double factor);
  void SetBkColor(COLORREF colour) { m_background = colour; }

  // 0 left step, 1 right step, 2 thumb, 3 bar left of the thumb, 4 bar right
  // of it, -1 elsewhere.
  int HitTest(CPoint point) const;
  std::u16string FormatValue() const;
  CRect GetThumbRect() const { return m_thumb.rect; }
  CRect GetBarRect() const { return m_bar.rect; }

protected:
  void PreSubclassWindow() override;
  void LoadImages();
  void CalcThumbRect();
  void EndRepeat();
  void Notify();
  void DragThumb(CPoint start);
  void Draw(CDC* dc);

  afx_msg void OnPaint();
  afx_msg void OnLButtonDown(UINT flags, CPoint point);
  afx_msg void OnLButtonDblClk(UINT flags, CPoint point);
  afx_msg void OnLButtonUp(UINT flags, CPoint point);
  afx_msg void OnTimer(UINT_PTR id);
  DECLARE_MESSAGE_MAP()

private:
  int m_position = 0;
  int m_minimum = -20;
  int m_maximum = 20;
  int m_pressedPart = -1;
  int m_repeatCount = 0;
  BOOL m_stepButtons = TRUE;
  COLORREF m_background = RGB(89, 89, 89);
  IconPart m_left, m_right, m_bar, m_thumb;
  CFont* m_valueFont = nullptr;
  std::u16string m_valueFormat = u"%-3.1f";
  BOOL m_formatAsReal = TRUE;
  double m_valueFactor = 0.1;
};
