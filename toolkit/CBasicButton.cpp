#include "toolkit/CBasicButton.h"

#include "toolkit/ControlParts.h"

BEGIN_MESSAGE_MAP(CBasicButton, CButton)
  ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

CBasicButton::~CBasicButton() {
  for (auto& state : m_pieces) {
    for (HICON& piece : state) FreeIcon(piece);
  }
}

void CBasicButton::PreSubclassWindow() {
  CButton::PreSubclassWindow();
  ModifyStyle(0, BS_OWNERDRAW);
  SetWindowText(u"");
  m_pieceSize[0] = CSize(10, 23);
  m_pieceSize[1] = CSize(9, 23);
  m_pieceSize[2] = CSize(10, 23);
  for (int state = 0; state < 3; ++state) {
    for (int piece = 0; piece < 3; ++piece) {
      FreeIcon(m_pieces[state][piece]);
      m_pieces[state][piece] = LoadIconResource(248 + 3 * state + piece, m_pieceSize[piece].cx, m_pieceSize[piece].cy);
    }
  }
}

BOOL CBasicButton::OnEraseBkgnd(CDC*) { return TRUE; }

BOOL CBasicButton::SetStringId(int id, UINT format) {
  const BOOL found = CStringItemDrawer::SetStringId(id, format);
  SetDisabledCaption(m_disabledCaption, id, format);
  return found;
}

void CBasicButton::DrawItem(LPDRAWITEMSTRUCT item) { PaintDrawItem(item, m_item, &CBasicButton::PaintState, this); }

void CBasicButton::PaintState(CDC* dc, RECT area, void* self, void* item) {
  const auto* request = static_cast<const DRAWITEMSTRUCT*>(item);
  auto* button = static_cast<CBasicButton*>(self);
  const bool pushed = (request->itemState & ODS_SELECTED) != 0;
  const bool disabled = (request->itemState & ODS_DISABLED) != 0;
  const int mode = dc->SetBkMode(TRANSPARENT);
  dc->FillSolidRect(&area, button->m_background);
  int state = 0;
  if (pushed && button->m_pieces[1][0]) state = 1;
  if (disabled && button->m_pieces[2][0]) state = 2;
  CRect client;
  button->GetClientRect(&client);
  const CSize* size = button->m_pieceSize;
  HICON* pieces = button->m_pieces[state];
  const int middle = client.Width() - size[0].cx - size[2].cx;
  if (pieces[0]) dc->DrawIcon(0, 0, pieces[0], size[0].cx, size[0].cy);
  if (pieces[1] && middle > 0) dc->DrawIcon(size[0].cx, 0, pieces[1], middle, size[1].cy);
  if (pieces[2]) dc->DrawIcon(client.Width() - size[2].cx, 0, pieces[2], size[2].cx, size[2].cy);
  button->m_captionRect = ButtonCaptionRect(*button, pushed);
  if (disabled) {
    button->m_disabledCaption.Draw(dc, button->m_captionRect);
  } else {
    button->Draw(dc, button->m_captionRect);
  }
  dc->SetBkMode(mode);
}
