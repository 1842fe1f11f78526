#include "toolkit/CRadioBarBase.h"

#include "toolkit/CET_Calc.h"
#include "toolkit/ControlNotifyData.h"
#include "toolkit/ControlParts.h"

BEGIN_MESSAGE_MAP(CRadioBarBase, CWnd)
  ON_WM_PAINT()
  ON_WM_LBUTTONDOWN()
  ON_WM_LBUTTONUP()
END_MESSAGE_MAP()

CRadioBarBase::CRadioBarBase() = default;

CRadioBarBase::~CRadioBarBase() {
  FreeIcon(m_backgroundIcon);
  FreeIcon(m_mark);
}

void CRadioBarBase::PreSubclassWindow() {
  CWnd::PreSubclassWindow();
  LoadImages();
}

BOOL CRadioBarBase::LoadLayout(const CRect& background, int backgroundIcon, std::vector<CRect> buttons,
                               int markIcon) {
  FreeIcon(m_backgroundIcon);
  FreeIcon(m_mark);
  m_backgroundRect = background;
  m_buttons = std::move(buttons);
  m_backgroundIcon = LoadIconResource(backgroundIcon, background.Width(), background.Height());
  m_mark = LoadIconResource(markIcon, 14, 12);
  return m_backgroundIcon && m_mark ? TRUE : FALSE;
}

BOOL CRadioBarBase::LoadImages() {
  return LoadLayout(CRect(0, 0, 145, 14), 142, {CRect(0, 1, 14, 13), CRect(65, 1, 79, 13), CRect(131, 1, 145, 13)},
                    141);
}

BOOL CRadioBar5::LoadImages() {
  return LoadLayout(CRect(0, 0, 145, 14), 286,
                    {CRect(0, 1, 14, 13), CRect(32, 1, 46, 13), CRect(65, 1, 79, 13), CRect(98, 1, 112, 13),
                     CRect(131, 1, 145, 13)},
                    287);
}

int CRadioBarBase::HitTest(int x, int y) const {
  for (std::size_t i = 0; i < m_buttons.size(); ++i) {
    if (m_buttons[i].PtInRect(CPoint(x, y))) return static_cast<int>(i);
  }
  return -1;
}

void CRadioBarBase::SetCurSel(int index) {
  m_selection = index;
  RedrawWindow(nullptr, nullptr, kRedrawNow);
}

void CRadioBarBase::OnLButtonDown(UINT flags, CPoint point) {
  const int hit = HitTest(point.x, point.y);
  m_pressed = hit != m_selection ? hit : -1;
  CWnd::OnLButtonDown(flags, point);
}

void CRadioBarBase::OnLButtonUp(UINT flags, CPoint point) {
  const int pressed = m_pressed;
  m_pressed = -1;
  if (pressed >= 0 && HitTest(point.x, point.y) == pressed) {
    SetCurSel(pressed);
    if (CWnd* parent = GetParent()) {
      parent->SendMessage(WM_APP_RADIOBAR_CLICKED, static_cast<WPARAM>(GetDlgCtrlID()), pressed);
    }
  }
  if (m_hWnd) CWnd::OnLButtonUp(flags, point);
}

void CRadioBarBase::OnPaint() {
  CPaintDC dc(this);
  CRect client;
  GetClientRect(&client);
  CET_Calc::PaintThroughMemoryDC(&dc, client, &CRadioBarBase::PaintBar, this, nullptr, nullptr);
}

void CRadioBarBase::PaintBar(CDC* dc, RECT area, void* self, void*) {
  auto* bar = static_cast<CRadioBarBase*>(self);
  dc->FillSolidRect(&area, bar->m_background);
  const CRect& back = bar->m_backgroundRect;
  if (bar->m_backgroundIcon) dc->DrawIcon(back.left, back.top, bar->m_backgroundIcon, back.Width(), back.Height());
  // A choice outside the buttons (none chosen) shows no mark.
  const int chosen = bar->m_selection;
  if (!bar->m_mark || chosen < 0 || chosen >= static_cast<int>(bar->m_buttons.size())) return;
  const CRect& mark = bar->m_buttons[static_cast<std::size_t>(chosen)];
  dc->DrawIcon(mark.left, mark.top, bar->m_mark, mark.Width(), mark.Height());
}
