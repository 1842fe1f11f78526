#include "review/palettes/CPaletteToolBase.h"

#include "review/palettes/CAdjustPalette.h"
#include "shell/dialogs/DialogLayout.h"

namespace {

constexpr UINT kTitleFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
constexpr RECT kTitleRect{30, 5, 210, 20};
constexpr RECT kExpandRect{223, 4, 235, 16};
constexpr int kExpandIcon = 156;
constexpr int kExpandPushedIcon = 157;
constexpr int kCollapsedIcon = 158;
constexpr int kCollapsedPushedIcon = 159;
constexpr int kResetIcon = 151;
constexpr int kResetPushedIcon = 152;
constexpr int kGroupLeft = 6;
constexpr int kGroupTop = 24;
constexpr int kGroupRight = 231;
// The largest panel: the templates are sized to it, the palette sizes each.
constexpr SIZE kTemplateSize{238, 306};

} // namespace

bool IsArrowKeyDown(const MSG* msg) {
  return msg && msg->message == WM_KEYDOWN &&
         (msg->wParam == VK_UP || msg->wParam == VK_DOWN || msg->wParam == VK_LEFT || msg->wParam == VK_RIGHT);
}

BEGIN_MESSAGE_MAP(CPaletteToolBase, CDialog)
  ON_WM_PAINT()
  ON_COMMAND(CPaletteToolBase::kExpandId, OnExpandClicked)
END_MESSAGE_MAP()

CPaletteToolBase::CPaletteToolBase(UINT templateId, CWnd* parent) : CDialog(templateId, parent) {}

CPaletteToolBase::~CPaletteToolBase() = default;

void CPaletteToolBase::RegisterPanelTemplate(UINT id, std::vector<DialogItemTemplate> controls) {
  using dialogs::PixelItem;
  std::vector<DialogItemTemplate> items{PixelItem(kTitleId, u"Static", WS_VISIBLE, kTitleRect),
                                        PixelItem(kExpandId, u"Button", WS_VISIBLE | BS_OWNERDRAW, kExpandRect)};
  for (DialogItemTemplate& control : controls) items.push_back(std::move(control));
  dialogs::RegisterPixelTemplate(id, kTemplateSize, std::move(items));
  // A child of the palette, without frame or caption.
  DialogTemplate panel = *platform::FindDialogTemplate(id);
  panel.style = WS_CHILD;
  platform::RegisterDialogTemplate(panel);
}

void CPaletteToolBase::DoDataExchange(CDataExchange* dx) {
  CDialog::DoDataExchange(dx);
  DDX_Control(dx, kTitleId, m_Title);
  DDX_Control(dx, kExpandId, m_Expand);
}

void CPaletteToolBase::InitCommon(int titleTextId) {
  m_Title.SetStringId(titleTextId, kTitleFormat, FALSE);
  m_Expand.SetIcon(kExpandIcon);
  m_Expand.SetPushedIcon(kExpandPushedIcon);
  m_Expand.SetCheckedIcon(kCollapsedIcon);
  m_Expand.SetCheckedPushedIcon(kCollapsedPushedIcon);
  m_Expand.SetCheck(m_bExpanded ? 0 : 1);
  m_pGroup = std::make_unique<CGroupeBoxBase>();
  m_pGroup->SetColors(RGB(0, 0, 0), kFill);
  m_pGroup->Create(u"", WS_CHILD | WS_VISIBLE, CRect(kGroupLeft, kGroupTop, kGroupRight, kGroupTop + 1), this,
                   kGroupId);
  m_pGroup->SetWindowPos(&m_Title, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void CPaletteToolBase::LayoutCommon(int groupBottom) {
  dialogs::Place(m_Title, kTitleRect);
  dialogs::Place(m_Expand, kExpandRect);
  if (!m_pGroup) return;
  dialogs::Place(*m_pGroup, {kGroupLeft, kGroupTop, kGroupRight, groupBottom});
  m_pGroup->ShowWindow(m_bExpanded ? SW_SHOW : SW_HIDE);
}

void CPaletteToolBase::InitResetButton(CButtonBase& button, CStaticBase& label, int textId) {
  button.SetIconSize(16, 17);
  button.SetIcon(kResetIcon);
  button.SetPushedIcon(kResetPushedIcon);
  button.SetBkColor(kFill);
  label.SetBkColor(kFill);
  label.SetStringId(textId, DT_VCENTER | DT_SINGLELINE, FALSE);
}

void CPaletteToolBase::SetLook(bool active) {
  m_Title.SetTextColor(active ? kTitleColour : kGreyedTitleColour);
  m_Title.Invalidate();
  if (m_pGroup) {
    m_pGroup->SetColors(RGB(0, 0, 0), active ? kFill : kGreyedFill);
    m_pGroup->Invalidate();
  }
}

CSize CPaletteToolBase::GetPanelSize(int) { return CSize(0, 0); }

void CPaletteToolBase::ToggleExpand() {
  m_bExpanded = !m_bExpanded;
  if (m_Expand.m_hWnd) m_Expand.SetCheck(m_bExpanded ? 0 : 1);
  if (m_pOwner) m_pOwner->LayoutPanels();
}

void CPaletteToolBase::SetExpand(int expanded, BOOL relayout) {
  if (m_Expand.m_hWnd) m_Expand.SetCheck(expanded ? 0 : 1);
  m_bExpanded = expanded ? 1 : 0;
  if (relayout && m_pOwner) m_pOwner->LayoutPanels();
}

BOOL CPaletteToolBase::PreTranslateMessage(MSG* msg) {
  if (IsArrowKeyDown(msg) && m_pOwner && m_pOwner->m_hWnd) {
    msg->hwnd = m_pOwner->m_hWnd;
    return FALSE;
  }
  return CDialog::PreTranslateMessage(msg);
}

BOOL CPaletteToolBase::DestroyWindow() {
  if (m_pGroup) {
    m_pGroup->DestroyWindow();
    m_pGroup.reset();
  }
  return CDialog::DestroyWindow();
}

void CPaletteToolBase::OnPaint() {
  CPaintDC dc(this);
  CRect client;
  GetClientRect(client);
  dc.FillSolidRect(client, RGB(89, 89, 89));
  dc.SetBkMode(TRANSPARENT);
  CPen black(PS_SOLID, 1, RGB(0, 0, 0));
  CPen* old = dc.SelectObject(&black);
  dc.MoveTo(client.left, client.bottom - 1);
  dc.LineTo(client.right, client.bottom - 1);
  dc.SelectObject(old);
}
