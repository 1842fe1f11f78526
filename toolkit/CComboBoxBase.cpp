#include "toolkit/CComboBoxBase.h"

#include "toolkit/ItemText.h"
#include "toolkit/SiblingBar.h"
#include "toolkit/TextTable.h"

#include <algorithm>
#include <mutex>

namespace {

constexpr UINT_PTR kWatchTimer = 1;
constexpr int kButtonWidth = 17;
constexpr int kButtonHeight = 18;
constexpr int kIcons[3] = {172, 173, 217};

} // namespace

// ---- The drop-down ------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CComboContentDlg, CDialog)
  ON_WM_SIZE()
END_MESSAGE_MAP()

CComboContentDlg::CComboContentDlg() : CDialog(kTemplate, nullptr) {}

void CComboContentDlg::RegisterTemplate() {
  static std::once_flag once;
  std::call_once(once, [] {
    DialogTemplate t;
    t.id = kTemplate;
    t.style = WS_POPUP; // no caption, no frame
    t.size = {100, 40};
    DialogItemTemplate list;
    list.id = kListId;
    list.className = WC_LISTBOX;
    list.style = WS_VISIBLE | WS_BORDER | WS_VSCROLL | LBS_NOTIFY | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS |
                 LBS_NOINTEGRALHEIGHT;
    list.rect = {0, 0, 100, 40};
    t.items.push_back(list);
    platform::RegisterDialogTemplate(t);
  });
}

void CComboContentDlg::DoDataExchange(CDataExchange* dx) { DDX_Control(dx, kListId, m_list); }

void CComboContentDlg::OnSize(UINT type, int cx, int cy) {
  CDialog::OnSize(type, cx, cy);
  if (!m_list.m_hWnd) return;
  m_list.MoveWindow(0, 0, cx - (m_list.IsScrollBarShown() ? kSiblingBarSize : 0), cy);
  m_list.UpdateScrollBar();
}

// ---- The combo box ------------------------------------------------------------------

BEGIN_MESSAGE_MAP(CComboBoxBase, CWnd)
  ON_WM_PAINT()
  ON_WM_LBUTTONDOWN()
  ON_WM_SIZE()
  ON_WM_TIMER()
  ON_CONTROL(LBN_SELCHANGE, 0xFFFF, OnListSelChange)
END_MESSAGE_MAP()

CComboBoxBase::CComboBoxBase() = default;

CComboBoxBase::~CComboBoxBase() {
  if (m_dropDown.m_hWnd) m_dropDown.DestroyWindow();
  FreeIcons();
}

void CComboBoxBase::FreeIcons() {
  for (HICON& icon : m_icons) {
    if (icon) DestroyIcon(icon);
    icon = nullptr;
  }
}

void CComboBoxBase::PreSubclassWindow() {
  CWnd::PreSubclassWindow();
  LoadImages();
}

void CComboBoxBase::LoadImages() {
  m_iconSize = CSize(kButtonWidth, kButtonHeight);
  for (int i = 0; i < 3; ++i) {
    m_icons[i] = static_cast<HICON>(static_cast<void*>(
        LoadImageW(nullptr, MAKEINTRESOURCEW(kIcons[i]), IMAGE_ICON, m_iconSize.cx, m_iconSize.cy, LR_DEFAULTCOLOR)));
    // Without its pictures the combo box stops here: no drop-down.
    if (!m_icons[i]) return;
  }
  CComboContentDlg::RegisterTemplate();
  if (!m_dropDown.Create(CComboContentDlg::kTemplate, GetParent())) return;
  CRect client;
  GetClientRect(client);
  m_dropDown.MoveWindow(0, 0, client.Width(), 70);
  m_dropDown.m_list.SetOwnerComboBox(this);
  m_dropDown.m_list.SetHoverSelection(TRUE);
  CRect window, listClient;
  m_dropDown.m_list.GetWindowRect(window);
  m_dropDown.m_list.GetClientRect(listClient);
  m_dropDownExtraHeight = window.Height() - listClient.Height();
}

void CComboBoxBase::PostNcDestroy() {
  if (m_dropDown.m_hWnd) m_dropDown.DestroyWindow();
  FreeIcons();
  CWnd::PostNcDestroy();
}

int CComboBoxBase::SetCurSel(int index) {
  CListBoxBase& list = m_dropDown.m_list;
  const int result = list.m_hWnd ? list.SetCurSel(index) : LB_ERR;
  m_text.clear();
  if (index != -1 && result != LB_ERR) list.GetText(index, m_text);
  Invalidate();
  return result;
}

void CComboBoxBase::SetText(const std::u16string& text) {
  m_text = text;
  RedrawWindow();
}

void CComboBoxBase::SetTextStyleById(int textId) {
  std::u16string text;
  COLORREF colour = m_textColour;
  CFont* font = m_font;
  if (GetTextTableString(textId, text, font, colour)) {
    m_font = font;
    m_textColour = colour;
  }
  m_dropDown.m_list.SetFontById(textId);
}

void CComboBoxBase::SetTextColorById(int textId) {
  std::u16string text;
  CFont* font = nullptr;
  COLORREF colour = m_disabledTextColour;
  if (GetTextTableString(textId, text, font, colour)) m_disabledTextColour = colour;
}

void CComboBoxBase::EnableAndRedraw(BOOL enable) {
  EnableWindow(enable);
  RedrawWindow();
}

BOOL CComboBoxBase::IsDroppedDown() const { return m_dropDown.m_hWnd && m_dropDown.IsWindowVisible(); }

void CComboBoxBase::ShowDropDown(BOOL show) {
  if (!m_dropDown.m_hWnd) return;
  CListBoxBase& list = m_dropDown.m_list;
  if (show) {
    CRect box;
    GetWindowRect(box);
    const int height = m_dropDownCount * list.GetItemHeight(0) + m_dropDownExtraHeight;
    // Below the box; where the screen ends first, above it, and never off
    // the screen's sides.
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    int y = box.bottom;
    if (y + height > screenHeight && box.top - height >= 0) y = box.top - height;
    const int x = std::max(0, std::min<int>(box.left, screenWidth - box.Width()));
    m_dropDown.SetWindowPos(reinterpret_cast<const CWnd*>(HWND_TOPMOST), x, y, box.Width(), height, SWP_SHOWWINDOW);
    SetTimer(kWatchTimer, 100);
    list.SetCapture();
    return;
  }
  KillTimer(kWatchTimer);
  if (CWnd::GetCapture() == &list) ReleaseCapture();
  CRect covered;
  m_dropDown.GetWindowRect(covered);
  m_dropDown.ShowWindow(SW_HIDE);
  if (CWnd* parent = GetParent()) {
    parent->ScreenToClient(covered);
    parent->RedrawWindow(covered, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  }
}

// Closes the drop-down once the active window is neither the box, the
// drop-down nor one of their children.
void CComboBoxBase::OnTimer(UINT_PTR id) {
  if (id != kWatchTimer) {
    CWnd::OnTimer(id);
    return;
  }
  CWnd* active = CWnd::GetActiveWindow();
  const bool ours = active && (active == this || active == &m_dropDown || IsChild(active) || m_dropDown.IsChild(active));
  if (!ours) ShowDropDown(FALSE);
}

void CComboBoxBase::OnLButtonDown(UINT flags, CPoint point) {
  ShowDropDown(!IsDroppedDown());
  CWnd::OnLButtonDown(flags, point);
}

void CComboBoxBase::OnSize(UINT type, int cx, int cy) {
  CWnd::OnSize(type, cx, cy);
  if (!m_dropDown.m_hWnd) return;
  CRect dropDown;
  m_dropDown.GetWindowRect(dropDown);
  m_dropDown.SetWindowPos(nullptr, 0, 0, cx, dropDown.Height(), SWP_NOMOVE | SWP_NOZORDER);
}

void CComboBoxBase::OnListSelChange() {
  CListBoxBase& list = m_dropDown.m_list;
  const int index = list.GetCurSel();
  if (index == LB_ERR) return;
  list.GetText(index, m_text);
  RedrawWindow();
  if (CWnd* parent = GetParent()) {
    parent->SendMessage(WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(), CBN_SELCHANGE), reinterpret_cast<LPARAM>(m_hWnd));
  }
}

void CComboBoxBase::OnPaint() {
  CPaintDC dc(this);
  CRect client;
  GetClientRect(client);
  dc.FillSolidRect(client, RGB(255, 255, 255));
  CRect box = client;
  box.right -= kButtonWidth;
  dc.Draw3dRect(box, RGB(51, 51, 51), RGB(153, 153, 153));
  const bool enabled = IsWindowEnabled() != FALSE;
  if (HICON icon = m_icons[enabled ? 0 : 2]) dc.DrawIcon(client.right - kButtonWidth, client.top, icon, kButtonWidth, kButtonHeight);
  CRect textBox = box;
  textBox.DeflateRect(2, 1);
  CFont* oldFont = m_font ? dc.SelectObject(m_font) : nullptr;
  dc.SetTextColor(enabled ? m_textColour : m_disabledTextColour);
  dc.SetBkColor(RGB(255, 255, 255));
  DrawItemText(&dc, m_text, textBox);
  if (oldFont) dc.SelectObject(oldFont);
}
