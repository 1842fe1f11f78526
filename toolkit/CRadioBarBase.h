#pragma once
// A strip of mutually exclusive buttons drawn as one background icon with a
// mark icon over the chosen button. A click on another button chooses it and
// tells the parent at once (WM_APP_RADIOBAR_CLICKED); a click on the chosen
// button, or a press released elsewhere, changes nothing and tells nothing.
// Worked with the mouse only. A choice outside the buttons shows no mark.

#include "platform/afx/AfxWin.h"
#include "platform/afx/AfxDC.h"
#include "toolkit/ToolkitLook.h"

#include <vector>

class CRadioBarBase : public CWnd {
public:
  CRadioBarBase();
  ~CRadioBarBase() override;

  // Chooses a button and shows it at once; tells nothing.
  void SetCurSel(int index);
  int GetCurSel() const { return m_selection; }
  void SetBkColor(COLORREF colour) { m_background = colour; }
  // Places the buttons and loads the icons; TRUE when both icons loaded.
  virtual BOOL LoadImages();
  // The button under a client point, or -1.
  virtual int HitTest(int x, int y) const;

protected:
  // The layout: the background's rectangle and icon id, the buttons, the mark's icon id.
  BOOL LoadLayout(const CRect& background, int backgroundIcon, std::vector<CRect> buttons, int markIcon);
  void PreSubclassWindow() override;
  afx_msg void OnPaint();
  afx_msg void OnLButtonDown(UINT flags, CPoint point);
  afx_msg void OnLButtonUp(UINT flags, CPoint point);
  DECLARE_MESSAGE_MAP()

  int m_selection = 0;
  int m_pressed = -1;
  COLORREF m_background = kToolkitBackground;
  CRect m_backgroundRect;
  HICON m_backgroundIcon = nullptr;
  std::vector<CRect> m_buttons;
  HICON m_mark = nullptr;

private:
  static void PaintBar(CDC* dc, RECT area, void* self, void*);
};

// The five-button form.
class CRadioBar5 : public CRadioBarBase {
public:
  BOOL LoadImages() override;
};
