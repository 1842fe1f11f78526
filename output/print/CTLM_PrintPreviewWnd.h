#pragma once
// The print dialog's picture of the current page: the paper in white with
// the cells, their lines and the header or footer, drawn by its own page
// drawer from the cells the printer gets. With cropping on, a picture can be
// dragged inside its cell with the left button: every movement goes to the
// parent as WM_APP_PRINT_PAN (sent; wParam the cell's index, lParam the
// address of two doubles, the movement in printer device units).

#include "toolkit/CET_PrintDraw.h"

#include "foundation/FValueTypes.h"
#include "platform/afx/AfxWin.h"

#include <vector>

class CTLM_PrintPreviewWnd : public CWnd {
public:
  static constexpr UINT kControlId = 39320;

  CTLM_PrintPreviewWnd();
  ~CTLM_PrintPreviewWnd() override;

  // scale: preview pixels per printer device unit.
  void SetPage(const std::vector<CET_PrintPictData*>& cells, int offsetX, int offsetY, double scale, int pageValue,
               int previewFlag, double textRatio);
  void SetTextItems(const std::vector<CET_PrintTextData*>* texts);
  void SetRotateAndFit(int autoRotate, int wholePicture);
  const CET_PrintDraw& Drawer() const { return m_Drawer; }

protected:
  afx_msg void OnPaint();
  afx_msg void OnLButtonDown(UINT flags, CPoint point);
  afx_msg void OnMouseMove(UINT flags, CPoint point);
  afx_msg void OnLButtonUp(UINT flags, CPoint point);
  afx_msg void OnCaptureChanged(CWnd* window);
  DECLARE_MESSAGE_MAP()

private:
  static void PaintPage(CDC* dc, RECT area, void* self, void*);

  CET_PrintDraw m_Drawer;
  double m_dScale = 1.0;
  FDoublePoint m_DragOffset{};
  int m_nDragCell = -1; // the cell being dragged, -1 when none
  POINT m_LastCursor{};
};
