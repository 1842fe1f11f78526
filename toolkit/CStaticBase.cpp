#include "toolkit/CStaticBase.h"

#include "toolkit/CET_Calc.h"
#include "toolkit/ControlParts.h"

BEGIN_MESSAGE_MAP(CStaticBase, CStatic)
  ON_WM_PAINT()
END_MESSAGE_MAP()

CStaticBase::~CStaticBase() { FreeIcon(m_icon); }

BOOL CStaticBase::SetStringId(int id, UINT format, BOOL redraw) {
  const BOOL found = CStringItemDrawer::SetStringId(id, format);
  if (redraw) RedrawWindow(nullptr, nullptr, kRedrawNow);
  return found;
}

void CStaticBase::SetText(const std::u16string& text, BOOL redraw) {
  CStringItemDrawer::SetText(text);
  if (redraw) RedrawWindow(nullptr, nullptr, kRedrawNow);
}

void CStaticBase::SetIcon(int resourceId) {
  FreeIcon(m_icon);
  m_icon = LoadIconResource(resourceId, m_iconSize.cx, m_iconSize.cy);
  m_mode = 0;
}

void CStaticBase::PreSubclassWindow() {
  CStatic::PreSubclassWindow();
  // The caption lives in the drawer only.
  SetWindowText(u"");
}

void CStaticBase::OnPaint() {
  CPaintDC dc(this);
  CRect client;
  GetClientRect(&client);
  CET_Calc::PaintThroughMemoryDC(&dc, client, &CStaticBase::PaintContent, this, nullptr, nullptr);
}

void CStaticBase::PaintContent(CDC* dc, RECT area, void* user, void*) {
  auto* self = static_cast<CStaticBase*>(user);
  CRect client;
  self->GetClientRect(&client);
  if (self->m_mode == 0) {
    // The icon over what the area showed: its transparent pixels let it through.
    const int mode = dc->SetBkMode(TRANSPARENT);
    if (self->m_icon) dc->DrawIcon(0, 0, self->m_icon, self->m_iconSize.cx, self->m_iconSize.cy);
    dc->SetBkMode(mode);
    return;
  }
  dc->FillSolidRect(&area, self->m_background);
  self->Draw(dc, client);
}
