#include "toolkit/CCheckBox.h"

#include "toolkit/ControlParts.h"

BEGIN_MESSAGE_MAP(CCheckBox, CButton)
  ON_MESSAGE(BM_SETCHECK, OnSetCheck)
  ON_MESSAGE(BM_GETCHECK, OnGetCheck)
  ON_CONTROL_REFLECT_EX(BN_CLICKED, OnClicked)
END_MESSAGE_MAP()

CCheckBox::~CCheckBox() { FreeMarks(); }

void CCheckBox::FreeMarks() {
  FreeIcon(m_unchecked);
  FreeIcon(m_checked);
  FreeIcon(m_uncheckedDisabled);
  FreeIcon(m_checkedDisabled);
}

void CCheckBox::SetIconStyle(int style) {
  struct Marks {
    int size, unchecked, checked, uncheckedDisabled, checkedDisabled;
  };
  static constexpr Marks kStyles[2] = {{15, 238, 239, 240, 265}, {13, 241, 242, 243, 0}};
  if (style != 0 && style != 1) return;
  FreeMarks();
  const Marks& m = kStyles[style];
  m_markSize = CSize(m.size, m.size);
  m_unchecked = LoadIconResource(m.unchecked, m.size, m.size);
  m_checked = LoadIconResource(m.checked, m.size, m.size);
  m_uncheckedDisabled = LoadIconResource(m.uncheckedDisabled, m.size, m.size);
  m_checkedDisabled = LoadIconResource(m.checkedDisabled, m.size, m.size);
}

void CCheckBox::PreSubclassWindow() {
  CButton::PreSubclassWindow();
  ModifyStyle(0, BS_OWNERDRAW);
  SetWindowText(u"");
}

void CCheckBox::SetCheck(int check) {
  m_check = check;
  Invalidate(TRUE);
}

LRESULT CCheckBox::OnSetCheck(WPARAM check, LPARAM) {
  SetCheck(static_cast<int>(check));
  return 0;
}

LRESULT CCheckBox::OnGetCheck(WPARAM, LPARAM) { return GetCheck(); }

BOOL CCheckBox::OnClicked() {
  SetCheck((GetCheck() & 1) ? 0 : 1);
  return FALSE; // the parent hears the click as well
}

BOOL CCheckBox::SetStringId(int id, UINT format) {
  const BOOL found = CStringItemDrawer::SetStringId(id, format);
  SetDisabledCaption(m_disabledCaption, id, format);
  return found;
}

void CCheckBox::Draw(CDC* dc, CRect rect) { DrawCaption(dc, rect, false); }

void CCheckBox::DrawCaption(CDC* dc, CRect rect, bool disabled) {
  if (!dc || m_text.empty()) return;
  const CStringItemDrawer& caption = disabled ? m_disabledCaption : static_cast<const CStringItemDrawer&>(*this);
  const Selection selection(dc, caption);
  const std::u16string text = caption.GetText();
  UINT format = caption.GetFormat();
  CRect measured = rect;
  dc->DrawText(text, measured, DT_CALCRECT | (format & DT_WORDBREAK));
  // Centred by hand, for several lines too; DT_VCENTER would move it again.
  if (measured.Height() < rect.Height()) rect.top += (rect.Height() - measured.Height()) / 2;
  format &= ~DT_VCENTER;
  DrawFitted(dc, text, rect, format);
}

void CCheckBox::DrawItem(LPDRAWITEMSTRUCT item) { PaintDrawItem(item, m_item, &CCheckBox::PaintState, this); }

void CCheckBox::PaintState(CDC* dc, RECT area, void* self, void* item) {
  const auto* request = static_cast<const DRAWITEMSTRUCT*>(item);
  auto* box = static_cast<CCheckBox*>(self);
  const bool pushed = (request->itemState & ODS_SELECTED) != 0;
  const bool disabled = (request->itemState & ODS_DISABLED) != 0;
  const int mode = dc->SetBkMode(TRANSPARENT);
  dc->FillSolidRect(&area, box->m_background);
  const bool checked = (box->GetCheck() & 1) != 0;
  HICON mark = nullptr;
  if (checked || pushed) mark = disabled ? box->m_checkedDisabled : box->m_checked;
  if (!mark) mark = disabled ? box->m_uncheckedDisabled : box->m_unchecked;
  const CRect received(area);
  if (mark) {
    dc->DrawIcon(1, received.CenterPoint().y - box->m_markSize.cy / 2, mark, box->m_markSize.cx, box->m_markSize.cy);
  }
  CRect caption = received;
  caption.left = box->m_markSize.cx + 3;
  box->DrawCaption(dc, caption, disabled);
  dc->SetBkMode(mode);
}
