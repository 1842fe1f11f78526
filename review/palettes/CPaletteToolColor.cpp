#include "review/palettes/CPaletteToolColor.h"

#include "review/palettes/CAdjustPalette.h"
#include "shell/app/AppMessages.h"
#include "shell/dialogs/DialogLayout.h"

#include <mutex>

namespace {

constexpr int kTitleTextId = 4300;
constexpr int kResetTextId = 4301;
constexpr int kValueTextId = 4302;
constexpr UINT kValueFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
constexpr RECT kWheelRect{72, 30, 170, 127};
constexpr RECT kValueRect{175, 133, 225, 148};
constexpr RECT kDropperRect{25, 75, 56, 105};
constexpr RECT kResetRect{15, 135, 31, 152};
constexpr RECT kResetLabelRect{35, 135, 170, 150};
constexpr int kGroupBottom = 155;
constexpr int kExpandedHeight = 161;
constexpr int kDropperIcon = 149;
constexpr int kDropperPushedIcon = 150;

} // namespace

BEGIN_MESSAGE_MAP(CPaletteToolColor, CPaletteToolBase)
  ON_MESSAGE(WM_APP_COLORWHEEL_CHANGED, OnColorWheelChanged)
  ON_COMMAND(CPaletteToolColor::kResetId, OnReset)
  ON_COMMAND(CPaletteToolColor::kDropperId, OnDropper)
END_MESSAGE_MAP()

CPaletteToolColor::CPaletteToolColor(CWnd* parent) : CPaletteToolBase(kTemplate, parent) {
  static std::once_flag once;
  std::call_once(once, [] {
    using dialogs::PixelItem;
    RegisterPanelTemplate(kTemplate, {PixelItem(kWheelId, u"ColorWheel", WS_VISIBLE, kWheelRect),
                                      PixelItem(kValueId, u"Static", WS_VISIBLE, kValueRect),
                                      PixelItem(kDropperId, u"Button", WS_VISIBLE | BS_OWNERDRAW, kDropperRect),
                                      PixelItem(kResetId, u"Button", WS_VISIBLE | BS_OWNERDRAW, kResetRect),
                                      PixelItem(kResetLabelId, u"Static", WS_VISIBLE, kResetLabelRect)});
  });
}

void CPaletteToolColor::DoDataExchange(CDataExchange* dx) {
  CPaletteToolBase::DoDataExchange(dx);
  DDX_Control(dx, kWheelId, m_Wheel);
  DDX_Control(dx, kValueId, m_Value);
  DDX_Control(dx, kDropperId, m_Dropper);
  DDX_Control(dx, kResetId, m_Reset);
  DDX_Control(dx, kResetLabelId, m_ResetLabel);
}

BOOL CPaletteToolColor::OnInitDialog() {
  m_Wheel.SetBackColor(kFill);
  CDialog::OnInitDialog();
  InitCommon(kTitleTextId);
  m_Value.SetBkColor(kFill);
  m_Value.SetStringId(kValueTextId, kValueFormat, FALSE);
  m_Dropper.SetIconSize(31, 30);
  m_Dropper.SetIcon(kDropperIcon);
  m_Dropper.SetPushedIcon(kDropperPushedIcon);
  m_Dropper.SetCheckedIcon(kDropperPushedIcon);
  m_Dropper.SetCheckedPushedIcon(kDropperIcon);
  m_Dropper.SetBkColor(kFill);
  InitResetButton(m_Reset, m_ResetLabel, kResetTextId);
  return TRUE;
}

CSize CPaletteToolColor::GetPanelSize(int) { return CSize(kWidth, m_bExpanded ? kExpandedHeight : kTitleRowHeight); }

void CPaletteToolColor::LayoutControls() {
  LayoutCommon(kGroupBottom);
  const int show = m_bExpanded ? SW_SHOW : SW_HIDE;
  CWnd* controls[] = {&m_Wheel, &m_Value, &m_Dropper, &m_Reset, &m_ResetLabel};
  const RECT rects[] = {kWheelRect, kValueRect, kDropperRect, kResetRect, kResetLabelRect};
  for (int i = 0; i < 5; ++i) {
    dialogs::Place(*controls[i], rects[i]);
    controls[i]->ShowWindow(show);
  }
}

void CPaletteToolColor::ShowValue(int cyan, int magenta, int yellow) {
  m_Value.SetText(FormatCMYString(cyan, magenta, yellow), TRUE);
}

void CPaletteToolColor::UpdateFromImage() {
  if (!m_pOwner) return;
  if (const CET_FilterData* record = m_pOwner->GetSettings()) {
    const int cmy[3] = {record->m_nCyan, record->m_nMagenta, record->m_nYellow};
    ShowValue(cmy[0], cmy[1], cmy[2]);
    // A drag's own echoes must not pull the point back.
    if (!m_Wheel.IsTracking()) m_Wheel.SetCMY(cmy);
  }
  m_Dropper.SetCheck(m_pOwner->GetGrayPointMode() ? 1 : 0);
}

LRESULT CPaletteToolColor::OnColorWheelChanged(WPARAM id, LPARAM data) {
  CET_FilterData* record = m_pOwner ? m_pOwner->GetSettings() : nullptr;
  if (!record) return 0;
  const auto* cmy = reinterpret_cast<const int*>(data);
  if (id == kWheelId && cmy) {
    ShowValue(cmy[0], cmy[1], cmy[2]);
    record->m_nCyan = cmy[0];
    record->m_nMagenta = cmy[1];
    record->m_nYellow = cmy[2];
  }
  m_pOwner->SendCustomSettings();
  return 0;
}

void CPaletteToolColor::OnReset() {
  CET_FilterData* record = m_pOwner ? m_pOwner->GetSettings() : nullptr;
  if (!record) return;
  record->m_nCyan = record->m_nMagenta = record->m_nYellow = 0;
  m_pOwner->SendSettings(3, TRUE);
}

void CPaletteToolColor::OnDropper() {
  if (!m_pOwner) return;
  const int on = m_Dropper.GetCheck() == 1 ? 1 : 0;
  m_pOwner->SendGrayPointMode(on);
  m_pOwner->SetGrayPointMode(on);
}

BOOL CPaletteToolColor::PreTranslateMessage(MSG* msg) {
  if (IsArrowKeyDown(msg)) {
    if (m_bExpanded) m_Wheel.OnArrowKey(static_cast<UINT>(msg->wParam));
    return TRUE;
  }
  return CPaletteToolBase::PreTranslateMessage(msg);
}
