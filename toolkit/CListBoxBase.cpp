#include "toolkit/CListBoxBase.h"

#include "toolkit/CComboBoxBase.h"
#include "toolkit/ItemText.h"
#include "toolkit/SiblingBar.h"
#include "toolkit/TextTable.h"

BEGIN_MESSAGE_MAP(CListBoxBase, CListBox)
  ON_WM_CREATE()
  ON_WM_SIZE()
  ON_WM_NCCALCSIZE()
  ON_WM_LBUTTONDOWN()
  ON_WM_LBUTTONUP()
  ON_WM_LBUTTONDBLCLK()
  ON_WM_MOUSEMOVE()
END_MESSAGE_MAP()

namespace {

// Changes to the list are shown once, when they are all made.
template <class F>
auto Locked(CWnd& list, F&& change) {
  const BOOL locked = list.LockWindowUpdate();
  auto result = change();
  if (locked) list.UnlockWindowUpdate();
  return result;
}

} // namespace

CListBoxBase::~CListBoxBase() = default;

bool CListBoxBase::CreateBar() {
  if (m_barCreated) return true;
  if (!GetParent()) return false;
  m_barCreated = CreateSiblingBar(m_vertical, *this, 0, false);
  return m_barCreated != FALSE;
}

void CListBoxBase::PreSubclassWindow() {
  CListBox::PreSubclassWindow();
  CreateBar();
}

int CListBoxBase::OnCreate(LPCREATESTRUCT cs) {
  if (CListBox::OnCreate(cs) == -1 || !CreateBar()) return -1;
  return 0;
}

int CListBoxBase::AddString(LPCWSTR text) {
  const int index = Locked(*this, [&] { return CListBox::AddString(text); });
  UpdateScrollBar();
  return index;
}

int CListBoxBase::DeleteString(UINT index) {
  const int left = Locked(*this, [&] { return CListBox::DeleteString(index); });
  UpdateScrollBar();
  return left;
}

void CListBoxBase::ResetContent() {
  Locked(*this, [&] {
    CListBox::ResetContent();
    return 0;
  });
  UpdateScrollBar();
}

void CListBoxBase::SetFontById(int textId) {
  std::u16string text;
  COLORREF colour = 0;
  CFont* font = m_font;
  if (GetTextTableString(textId, text, font, colour)) m_font = font;
}

void CListBoxBase::UpdateScrollBar() {
  SCROLLINFO info;
  if (!GetScrollInfo(SB_VERT, &info, SIF_ALL)) return;
  CRect window; // only its size is used
  GetWindowRect(window);
  const bool allFit = (info.fMask & SIF_PAGE) && (info.fMask & SIF_RANGE) &&
                      info.nMax - info.nMin < static_cast<int>(info.nPage);
  if (allFit) {
    m_vertical.ShowWindow(SW_HIDE);
    // The list takes the bar's place.
    if (m_barShown) SetWindowPos(nullptr, 0, 0, window.Width() + kSiblingBarSize, window.Height(),
                                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    m_barShown = FALSE;
  } else {
    m_vertical.ShowWindow(SW_SHOW);
    // The list gives the bar its place; the next WM_SIZE moves the bar there.
    if (!m_barShown) SetWindowPos(nullptr, 0, 0, window.Width() - kSiblingBarSize, window.Height(),
                                  SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    m_barShown = TRUE;
  }
  m_vertical.UpdateFromTarget();
}

void CListBoxBase::OnSize(UINT type, int cx, int cy) {
  CListBox::OnSize(type, cx, cy);
  PlaceSiblingBar(m_vertical, *this, 0);
}

void CListBoxBase::OnNcCalcSize(BOOL calcValidRects, NCCALCSIZE_PARAMS* params) {
  ShowScrollBar(SB_BOTH, FALSE);
  CListBox::OnNcCalcSize(calcValidRects, params);
}

void CListBoxBase::ForwardToBar(UINT message, UINT flags, CPoint point) {
  ClientToScreen(&point);
  m_vertical.ScreenToClient(&point);
  m_vertical.SendMessage(message, flags, MAKELPARAM(point.x, point.y));
}

void CListBoxBase::OnLButtonDown(UINT flags, CPoint point) {
  CRect client;
  GetClientRect(client);
  if (client.PtInRect(point) && m_owner) {
    // The click chooses the item the hover selected; without one nothing happens.
    if (GetCurSel() == LB_ERR) return;
    m_owner->SendMessage(WM_COMMAND, MAKEWPARAM(0xFFFF, LBN_SELCHANGE), reinterpret_cast<LPARAM>(m_hWnd));
    m_owner->ShowDropDown(FALSE);
    return;
  }
  if (!client.PtInRect(point) && m_barShown) {
    CPoint screen = point;
    ClientToScreen(&screen);
    CRect bar;
    m_vertical.GetWindowRect(bar);
    if (bar.PtInRect(screen)) {
      ForwardToBar(WM_LBUTTONDOWN, flags, point);
      return;
    }
  }
  if (m_owner) {
    m_owner->ShowDropDown(FALSE);
  } else {
    CListBox::OnLButtonDown(flags, point);
  }
}

void CListBoxBase::OnMouseMove(UINT flags, CPoint point) {
  if (m_barShown && m_vertical.IsDraggingThumb()) {
    ForwardToBar(WM_MOUSEMOVE, flags, point);
    return;
  }
  if (m_hoverSelection) {
    BOOL outside = TRUE;
    const int index = static_cast<int>(ItemFromPoint(point, outside));
    CRect item, client, both;
    GetClientRect(client);
    // Only an item wholly inside the list is taken.
    if (!outside && GetItemRect(index, item) != LB_ERR && both.UnionRect(item, client) && both == client) {
      SetCurSel(index);
    }
  }
  m_vertical.UpdateFromTarget();
  CListBox::OnMouseMove(flags, point);
}

void CListBoxBase::OnLButtonUp(UINT flags, CPoint point) {
  if (m_vertical.IsDraggingThumb()) {
    ForwardToBar(WM_LBUTTONUP, flags, point);
    return;
  }
  CListBox::OnLButtonUp(flags, point);
}

void CListBoxBase::OnLButtonDblClk(UINT, CPoint) {}

void CListBoxBase::DrawItem(LPDRAWITEMSTRUCT dis) {
  if (dis->CtlType != ODT_LISTBOX || dis->itemID == static_cast<UINT>(-1)) return;
  CDC* dc = CDC::FromHandle(dis->hDC);
  CFont* oldFont = m_font ? dc->SelectObject(m_font) : nullptr;
  const bool selected = (dis->itemState & ODS_SELECTED) != 0;
  dc->FillSolidRect(&dis->rcItem, selected ? RGB(0, 0, 128) : RGB(255, 255, 255));
  const COLORREF oldText = selected ? dc->SetTextColor(RGB(255, 255, 255)) : CLR_INVALID;
  // The text lies on the fill just made.
  const int oldMode = dc->SetBkMode(TRANSPARENT);
  std::u16string text;
  GetText(static_cast<int>(dis->itemID), text);
  DrawItemText(dc, text, dis->rcItem);
  dc->SetBkMode(oldMode);
  if (oldText != CLR_INVALID) dc->SetTextColor(oldText);
  if (oldFont) dc->SelectObject(oldFont);
}
