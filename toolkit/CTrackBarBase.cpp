#include "toolkit/CTrackBarBase.h"

#include "toolkit/CET_Calc.h"
#include "toolkit/TextTable.h"
#include "toolkit/ValueText.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr UINT_PTR kRepeatTimer = 1;
constexpr int kValueFontTextId = 101;
constexpr int kSnapBackDistance = 33; // |dy| from the press at which the thumb returns

} // namespace

BEGIN_MESSAGE_MAP(CTrackBarBase, CWnd)
  ON_WM_PAINT()
  ON_WM_LBUTTONDOWN()
  ON_WM_LBUTTONDBLCLK()
  ON_WM_LBUTTONUP()
  ON_WM_TIMER()
END_MESSAGE_MAP()

CTrackBarBase::CTrackBarBase() = default;

void CTrackBarBase::SetStepButtons(BOOL withButtons) { m_stepButtons = withButtons; }

void CTrackBarBase::SetRange(int minimum, int maximum, BOOL redraw) {
  m_minimum = minimum;
  m_maximum = maximum;
  if (m_position < m_minimum) {
    m_position = m_minimum;
  } else if (m_position > m_maximum) {
    m_position = m_maximum;
  }
  CalcThumbRect();
  if (redraw) RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CTrackBarBase::SetPos(int position) {
  m_position = std::clamp(position, std::min(m_minimum, m_maximum), std::max(m_minimum, m_maximum));
  CalcThumbRect();
  RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CTrackBarBase::SetValueFormat(const std::u16string& format, BOOL asReal, double factor) {
  m_valueFormat = format;
  m_formatAsReal = asReal;
  m_valueFactor = factor;
}

void CTrackBarBase::PreSubclassWindow() {
  CWnd::PreSubclassWindow();
  LoadImages();
  CalcThumbRect();
}

void CTrackBarBase::LoadImages() {
  std::u16string unused;
  COLORREF colour = 0;
  GetTextTableString(kValueFontTextId, unused, m_valueFont, colour);
  if (m_stepButtons) {
    m_left.Load(CRect(0, 0, 16, 20), 133, 134);
    m_bar.Load(CRect(16, 0, 155, 20), 138, 0);
    m_right.Load(CRect(155, 0, 171, 20), 135, 136);
  } else {
    m_bar.Load(CRect(0, 0, 139, 20), 138, 0);
  }
  m_thumb.Load(CRect(0, 0, 27, 20), 137, 0);
}

void CTrackBarBase::CalcThumbRect() {
  const int width = m_thumb.rect.Width();
  const int travel = m_bar.rect.Width() - width;
  // A range of one value (or none) keeps the thumb at the bar's start.
  double offset = 0;
  if (m_maximum > m_minimum) {
    offset = static_cast<double>(m_position - m_minimum) / (static_cast<double>(m_maximum) - m_minimum) * travel;
  }
  m_thumb.rect.left = m_bar.rect.left + static_cast<int>(offset);
  m_thumb.rect.right = m_thumb.rect.left + width;
}

int CTrackBarBase::HitTest(CPoint point) const {
  if (m_left.rect.PtInRect(point)) return 0;
  if (m_right.rect.PtInRect(point)) return 1;
  if (m_thumb.rect.PtInRect(point)) return 2;
  CRect bar = m_bar.rect;
  bar.top += 5;
  bar.bottom -= 7;
  if (bar.PtInRect(point)) return point.x < m_thumb.rect.left ? 3 : 4;
  return -1;
}

std::u16string CTrackBarBase::FormatValue() const {
  if (m_valueFormat.empty()) return {};
  const double value = m_position * m_valueFactor;
  if (m_formatAsReal) return FormatRealValue(m_valueFormat, value);
  // Truncated toward zero, kept inside an int.
  const double limited = std::clamp(std::trunc(std::isfinite(value) ? value : 0.0),
                                    static_cast<double>(std::numeric_limits<int>::min()),
                                    static_cast<double>(std::numeric_limits<int>::max()));
  return FormatIntegerValue(m_valueFormat, static_cast<int>(limited));
}

void CTrackBarBase::Notify() {
  CWnd* parent = GetParent();
  if (!parent) return;
  ControlNotifyData data{m_position, m_pressedPart, m_repeatCount};
  parent->SendMessage(WM_APP_TRACKBAR_CHANGED, static_cast<WPARAM>(GetDlgCtrlID()), reinterpret_cast<LPARAM>(&data));
}

void CTrackBarBase::OnLButtonDown(UINT, CPoint point) {
  const int part = HitTest(point);
  if (part == 2) {
    DragThumb(point);
    return;
  }
  bool armed = false;
  int next = m_position;
  m_repeatCount = 0;
  switch (part) {
  case 0:
    armed = true; // even at the end of the range: the repeat runs with no part
    if (m_position > m_minimum) {
      next = m_position - 1;
      m_pressedPart = 0;
    }
    break;
  case 1:
    armed = true;
    if (m_position < m_maximum) {
      next = m_position + 1;
      m_pressedPart = 1;
    }
    break;
  case 3:
    if (m_position > m_minimum) {
      next = std::max(m_position - 10, m_minimum);
      m_pressedPart = 3;
      armed = true;
    }
    break;
  case 4:
    if (m_position < m_maximum) {
      next = std::min(m_position + 10, m_maximum);
      m_pressedPart = 4;
      armed = true;
    }
    break;
  default: break;
  }
  if (!armed) return;
  const int before = m_position;
  SetPos(next);
  SetTimer(kRepeatTimer, 1000);
  if (m_position != before) Notify();
}

void CTrackBarBase::OnLButtonDblClk(UINT flags, CPoint point) { OnLButtonDown(flags, point); }

void CTrackBarBase::OnLButtonUp(UINT, CPoint) { EndRepeat(); }

void CTrackBarBase::EndRepeat() {
  KillTimer(kRepeatTimer);
  m_pressedPart = -1;
  m_repeatCount = 0;
  RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CTrackBarBase::OnTimer(UINT_PTR id) {
  if (id != kRepeatTimer) return;
  KillTimer(kRepeatTimer);
  if (!LeftButtonDown()) {
    EndRepeat();
    return;
  }
  const int hit = HitTest(CursorIn(*this));
  int next = m_position;
  if (m_pressedPart >= 0 && m_pressedPart != 2) {
    if (hit == m_pressedPart) {
      ++m_repeatCount;
      const int step = (m_pressedPart == 0 || m_pressedPart == 1) && m_repeatCount < 10 ? 1 : 10;
      next += (m_pressedPart == 0 || m_pressedPart == 3) ? -step : step;
    } else {
      m_repeatCount = 0;
    }
  }
  const HWND self = m_hWnd;
  SetPos(next);
  Notify(); // at every tick, also when nothing changed
  if (IsWindow(self)) ::SetTimer(self, kRepeatTimer, 100, nullptr);
}

void CTrackBarBase::DragThumb(CPoint start) {
  const int startPosition = m_position;
  int last = m_position;
  const int travel = m_bar.rect.Width() - m_thumb.rect.Width();
  const HWND self = m_hWnd;
  while (LeftButtonDown()) {
    const CPoint cursor = CursorIn(*this);
    int candidate = startPosition;
    // The thumb snaps back while the cursor is 33 or more pixels above or
    // below the press; a bar no wider than the thumb has nowhere to go.
    if (std::abs(cursor.y - start.y) < kSnapBackDistance && travel > 0) {
      const double moved = static_cast<double>(cursor.x - start.x) / travel * (static_cast<double>(m_maximum) - m_minimum);
      candidate = static_cast<int>(std::clamp(std::trunc(startPosition + moved), -2.0e9, 2.0e9));
    }
    candidate = std::clamp(candidate, std::min(m_minimum, m_maximum), std::max(m_minimum, m_maximum));
    if (candidate != last) {
      SetPos(candidate);
      Notify();
      if (!IsWindow(self)) return;
      last = candidate;
    }
    // Keep the window (and every other) alive while the button is held.
    MSG msg;
    while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&msg);
    if (!IsWindow(self)) return; // destroyed by what the pump ran
  }
}

void CTrackBarBase::OnPaint() {
  CPaintDC dc(this);
  CRect client;
  GetClientRect(client);
  CET_Calc::PaintThroughMemoryDC(
      &dc, client, [](CDC* memory, RECT, void* self, void*) { static_cast<CTrackBarBase*>(self)->Draw(memory); },
      this, nullptr, nullptr);
}

void CTrackBarBase::Draw(CDC* dc) {
  const CPoint cursor = CursorIn(*this);
  const bool down = LeftButtonDown();
  CRect client;
  GetClientRect(client);
  client.InflateRect(1, 1);
  dc->FillSolidRect(client, m_background);
  m_bar.Draw(dc, false);
  const int hit = HitTest(cursor);
  m_left.Draw(dc, down && hit == 0);
  m_right.Draw(dc, down && hit == 1);
  m_thumb.Draw(dc, false);
  const std::u16string text = FormatValue();
  if (text.empty()) return;
  CRect area = m_thumb.rect;
  area.bottom -= 2;
  CFont* old = m_valueFont ? dc->SelectObject(m_valueFont) : nullptr;
  dc->SetTextColor(RGB(255, 255, 255));
  // White on the thumb, over the thumb: no box behind the text.
  const int mode = dc->SetBkMode(TRANSPARENT);
  dc->DrawText(text, area, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  dc->SetBkMode(mode);
  if (old) dc->SelectObject(old);
}
