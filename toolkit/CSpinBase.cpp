#include "toolkit/CSpinBase.h"

#include "toolkit/CET_Calc.h"
#include "toolkit/TextTable.h"
#include "toolkit/ValueText.h"

#include <algorithm>

namespace {

constexpr UINT_PTR kRepeatTimer = 1;

bool LeftButtonDown() { return (GetAsyncKeyState(VK_LBUTTON) & 0x8000) != 0; }

HICON LoadIcon(int id, const CRect& rect) {
  return static_cast<HICON>(static_cast<void*>(
      LoadImageW(nullptr, MAKEINTRESOURCEW(id), IMAGE_ICON, rect.Width(), rect.Height(), LR_DEFAULTCOLOR)));
}

} // namespace

BEGIN_MESSAGE_MAP(CSpinBase, CWnd)
  ON_WM_PAINT()
  ON_WM_LBUTTONDOWN()
  ON_WM_LBUTTONDBLCLK()
  ON_WM_LBUTTONUP()
  ON_WM_TIMER()
END_MESSAGE_MAP()

CSpinBase::CSpinBase() = default;

CSpinBase::~CSpinBase() {
  for (Button* b : {&m_decrement, &m_increment}) {
    if (b->icon) DestroyIcon(b->icon);
    if (b->pressed) DestroyIcon(b->pressed);
  }
}

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
  m_decrement.rect = CRect(0, 0, 14, 17);
  m_textRect = CRect(14, 0, 46, 17);
  m_increment.rect = CRect(46, 0, 60, 17);
  m_decrement.icon = LoadIcon(143, m_decrement.rect);
  m_decrement.pressed = LoadIcon(144, m_decrement.rect);
  m_increment.icon = LoadIcon(145, m_increment.rect);
  m_increment.pressed = LoadIcon(146, m_increment.rect);
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
  CPoint cursor;
  GetCursorPos(&cursor);
  ScreenToClient(&cursor);
  const int hit = HitTest(cursor);
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
  CPoint cursor;
  GetCursorPos(&cursor);
  ScreenToClient(&cursor);
  const bool down = LeftButtonDown();
  const int hit = HitTest(cursor);
  CRect client;
  GetClientRect(client);
  client.InflateRect(1, 1);
  dc->FillSolidRect(client, m_background);
  for (const auto& [button, part] : {std::pair{&m_decrement, 0}, std::pair{&m_increment, 1}}) {
    const HICON icon = down && hit == part && button->pressed ? button->pressed : button->icon;
    if (icon) dc->DrawIcon(button->rect.left, button->rect.top, icon, button->rect.Width(), button->rect.Height());
  }
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
