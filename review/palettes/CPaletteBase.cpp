#include "review/palettes/CPaletteBase.h"

BEGIN_MESSAGE_MAP(CPaletteBase, CDialog)
  ON_WM_CTLCOLOR()
END_MESSAGE_MAP()

CPaletteBase::CPaletteBase(UINT templateId, CWnd* parent) : CDialog(templateId, parent), m_Brush(kGrey) {}

CPaletteBase::~CPaletteBase() = default;

HBRUSH CPaletteBase::OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor) {
  if (ctlColor == CTLCOLOR_DLG) return m_Brush;
  return CDialog::OnCtlColor(dc, wnd, ctlColor);
}
