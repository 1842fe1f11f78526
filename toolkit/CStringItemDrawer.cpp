#include "toolkit/CStringItemDrawer.h"

#include "toolkit/TextTable.h"

BOOL CStringItemDrawer::SetStringId(int id, UINT format) {
  const BOOL found = GetTextTableString(id, m_text, m_font, m_textColor);
  m_format = format;
  return found;
}

void CStringItemDrawer::SetText(const std::u16string& text) { m_text = text; }
void CStringItemDrawer::SetTextColor(COLORREF colour) { m_textColor = colour; }
void CStringItemDrawer::SetFormat(UINT format) { m_format = format; }
std::u16string CStringItemDrawer::GetText() const { return m_text; }

CStringItemDrawer::Selection::Selection(CDC* dc, const CStringItemDrawer& caption) : m_dc(dc) {
  m_mode = dc->SetBkMode(TRANSPARENT);
  if (caption.m_font) m_font = dc->SelectObject(caption.m_font);
  m_colour = dc->SetTextColor(caption.m_textColor);
}

CStringItemDrawer::Selection::~Selection() {
  m_dc->SetTextColor(m_colour);
  if (m_font) m_dc->SelectObject(m_font);
  m_dc->SetBkMode(m_mode);
}

void CStringItemDrawer::DrawFitted(CDC* dc, const std::u16string& text, CRect rect, UINT format) {
  if (format & DT_SINGLELINE) {
    CRect measured(0, 0, 0, 0);
    dc->DrawText(text, measured, DT_CALCRECT);
    if (rect.Width() < measured.Width()) {
      format &= ~(DT_CENTER | DT_RIGHT);
      format |= DT_END_ELLIPSIS | DT_MODIFYSTRING;
    }
  }
  if (format & DT_MODIFYSTRING) {
    // A copy with room for the ellipsis, so that the caption's own text is never cut.
    std::u16string copy(text);
    copy.resize(text.size() + 16, u'\0');
    dc->DrawText(copy.data(), -1, rect, format);
  } else {
    dc->DrawText(text, rect, format);
  }
}

void CStringItemDrawer::Draw(CDC* dc, CRect rect) {
  if (!dc || m_text.empty()) return;
  const Selection selection(dc, *this);
  DrawFitted(dc, m_text, rect, m_format);
}

CSize CStringItemDrawer::CalcTextSize(CDC* dc) {
  if (!dc) return {};
  const Selection selection(dc, *this);
  CRect measured(0, 0, 0, 0);
  dc->DrawText(m_text, measured, DT_CALCRECT);
  return measured.Size();
}
