#pragma once
// The base of the two floating palettes: a modeless dialog on the toolkit's
// grey. OK does nothing, Cancel (Escape) closes the palette.

#include "platform/afx/AfxDC.h"
#include "platform/afx/AfxDialog.h"
#include "platform/win/WinDialogs.h"

class CPaletteBase : public CDialog {
public:
  CPaletteBase(UINT templateId, CWnd* parent);
  ~CPaletteBase() override;

  void OnOK() override {}
  void OnCancel() override { DestroyWindow(); }

  static constexpr COLORREF kGrey = RGB(89, 89, 89);

protected:
  afx_msg HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor);
  DECLARE_MESSAGE_MAP()

  CBrush m_Brush;
};
