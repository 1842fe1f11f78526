#include "toolkit/CSpinBase.h"

#include "toolkit/CET_Calc.h"
#include "toolkit/TextTable.h"
#include "toolkit/ValueText.h"

#include <algorithm>

namespace {
constexpr UINT_PTR kRepeatTimer = 1;
} // namespace

BEGIN_MESSAGE_MAP(CSpinBase, CWnd)
  ON_WM_PAINT()
  ON_WM_LBUTTONDOWN()
  ON_WM_LBUTTONDBLCLK()
  ON_WM_LBUTTONUP()
  ON_WM_TIMER()
END_MESSAGE_MAP()

CSpinBase::CSpinBase() = default;

void CSpinBase::SetRange(int minimum, int maximum, BOOL redraw) {
  m_minimum = minimum;
  m_maximum = maximum;
  if (m_value < m_minimum) {
    m_value = m_minimum;
  } else if (m_value > m_maximum) {
    m_value = m_maximum;
  }
  if (redraw) RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CSpinBase::SetPos(int value) {
  m_value = std::clamp(value, std::min(m_minimum, m_maximum), std::max(m_minimum, m_maximum));
  RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CSpinBase::SetTextStyleById(int textId) {
  std::u16string unused;
  GetTextTableString(textId, unused, m_textFont, m_textColour);
}

void CSpinBase::PreSubclassWindow() {
  CWnd::PreSubclassWindow();
  LoadImages();
}

void CSpinBase::LoadImages() {
  m_decrement.Load(CRect(0, 0, 14, 17), 143, 144);
  m_textRect = CRect(14, 0, 46, 17);
  m_increment.Load(CRect(46, 0, 60, 17), 145, 146);
}

int CSpinBase::HitTest(CPoint point) const {
  if (m_decrement.rect.PtInRect(point)) return 0;
  if (m_increment.rect.PtInRect(point)) return 1;
  return -1;
}

void CSpinBase::Notify() {
  CWnd* parent = GetParent();
  if (!parent) return;
  ControlNotifyData data{m_value, m_pressedPart, m_repeatCount};
  parent->SendMessage(WM_APP_SPIN_CHANGED, static_cast<WPARAM>(GetDlgCtrlID()), reinterpret_cast<LPARAM>(&data));
}

void CSpinBase::OnLButtonDown(UINT, CPoint point) {
  const int part = HitTest(point);
  if (part < 0) return;
  m_repeatCount = 0;
  int next = m_value;
  if (part == 0 && m_value > m_minimum) {
    next = m_value - 1;
    m_pressedPart = 0;
  } else if (part == 1 && m_value < m_maximum) {
    next = m_value + 1;
    m_pressedPart = 1;
  }
  // Moved or not: the press repeats and the parent hears of it.
  SetPos(next);
  SetTimer(kRepeatTimer, 500);
  Notify();
}

void CSpinBase::OnLButtonDblClk(UINT flags, CPoint point) { OnLButtonDown(flags, point); }

void CSpinBase::OnLButtonUp(UINT, CPoint) { EndRepeat(); }

void CSpinBase::EndRepeat() {
  KillTimer(kRepeatTimer);
  if (m_pressedPart == 0) m_pressedPart = 2;
  if (m_pressedPart == 1) m_pressedPart = 3;
  m_repeatCount = 0;
  const HWND self = m_hWnd;
  Notify(); // the parent learns that the press ended, and on which button
  if (!IsWindow(self)) return;
  m_pressedPart = -1;
  RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CSpinBase::OnTimer(UINT_PTR id) {
  if (id != kRepeatTimer) return;
  KillTimer(kRepeatTimer);
  if (!LeftButtonDown()) {
    EndRepeat();
    return;
  }
  const int hit = HitTest(CursorIn(*this));
  int next = m_value;
  if (m_pressedPart == 0 && hit == 0) {
    ++m_repeatCount;
    --next;
  } else if (m_pressedPart == 1 && hit == 1) {
    ++m_repeatCount;
    ++next;
  }
  const HWND self = m_hWnd;
  SetPos(next);
  Notify();
  if (IsWindow(self)) ::SetTimer(self, kRepeatTimer, 10, nullptr);
}

void CSpinBase::OnPaint() {
  CPaintDC dc(this);
  CRect client;
  GetClientRect(client);
  CET_Calc::PaintThroughMemoryDC(
      &dc, client, [](CDC* memory, RECT, void* self, void*) { static_cast<CSpinBase*>(self)->Draw(memory); }, this,
      nullptr, nullptr);
}

void CSpinBase::Draw(CDC* dc) {
  const bool down = LeftButtonDown();
  const int hit = HitTest(CursorIn(*this));
  CRect client;
  GetClientRect(client);
  client.InflateRect(1, 1);
  dc->FillSolidRect(client, m_background);
  m_decrement.Draw(dc, down && hit == 0);
  m_increment.Draw(dc, down && hit == 1);
  CRect text = m_textRect;
  text.bottom -= 2;
  dc->FillSolidRect(text, RGB(74, 74, 74));
  CPen edge(PS_SOLID, 1, RGB(23, 23, 23));
  CPen* oldPen = dc->SelectObject(&edge);
  dc->MoveTo(text.left, text.top);
  dc->LineTo(text.right, text.top);
  dc->MoveTo(text.left, text.bottom - 1);
  dc->LineTo(text.right, text.bottom - 1);
  dc->SelectObject(oldPen);
  CFont* oldFont = m_textFont ? dc->SelectObject(m_textFont) : nullptr;
  dc->SetTextColor(m_textColour);
  const int mode = dc->SetBkMode(TRANSPARENT); // the field's grey stays behind the digits
  dc->DrawText(FormatIntegerValue(u"%d", m_value), text, DT_CENTER | DT_BOTTOM | DT_SINGLELINE);
  dc->SetBkMode(mode);
  if (oldFont) dc->SelectObject(oldFont);
}
