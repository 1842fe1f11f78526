#pragma once
// The program's text push button: a three-piece icon skin (left end,
// stretched middle, right end) for the normal, pushed and disabled states,
// with a caption from the text table.

#include "platform/afx/AfxButton.h"
#include "toolkit/CStringItemDrawer.h"

class CBasicButton : public CButton, public CStringItemDrawer {
public:
  CBasicButton() = default;
  ~CBasicButton() override;

  void SetBkColor(COLORREF colour) { m_background = colour; }
  // The normal caption and the disabled caption (in the disabled colour) from one id.
  BOOL SetStringId(int id, UINT format) override;
  void DrawItem(LPDRAWITEMSTRUCT item) override;

protected:
  void PreSubclassWindow() override;
  afx_msg BOOL OnEraseBkgnd(CDC* dc);
  DECLARE_MESSAGE_MAP()

private:
  static void PaintState(CDC* dc, RECT area, void* self, void* item);
  // Piece sizes and icons: [state][left, middle, right], states normal, pushed, disabled.
  CSize m_pieceSize[3];
  HICON m_pieces[3][3] = {};
  DRAWITEMSTRUCT m_item;
  COLORREF m_background = kToolkitBackground;
  CStringItemDrawer m_disabledCaption;
  CRect m_captionRect;
};
