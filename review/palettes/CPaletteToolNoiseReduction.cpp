#include "review/palettes/CPaletteToolNoiseReduction.h"

#include "review/palettes/CAdjustPalette.h"
#include "shell/app/AppMessages.h"
#include "shell/dialogs/DialogLayout.h"
#include "shell/facade/CKVR_FilterData.h"

#include <limits>
#include <mutex>

namespace {

constexpr int kTitleTextId = 4800;
constexpr int kFirstLabelTextId = 4801;
constexpr UINT kLabelFormat = DT_VCENTER | DT_SINGLELINE;
constexpr UINT kRightLabelFormat = DT_RIGHT | DT_VCENTER | DT_SINGLELINE;
constexpr RECT kChromaRect{46, 44, 191, 58};
constexpr RECT kLumaRect{46, 79, 191, 93};
constexpr RECT kLabelRects[4] = {{35, 29, 191, 44}, {35, 64, 191, 79}, {46, 96, 116, 111}, {121, 96, 191, 111}};
constexpr int kGroupBottom = 114;
constexpr int kExpandedHeight = 121;

} // namespace

BEGIN_MESSAGE_MAP(CPaletteToolNoiseReduction, CPaletteToolBase)
  ON_MESSAGE(WM_APP_RADIOBAR_CLICKED, OnRadioBarClicked)
END_MESSAGE_MAP()

CPaletteToolNoiseReduction::CPaletteToolNoiseReduction(CWnd* parent) : CPaletteToolBase(kTemplate, parent) {
  static std::once_flag once;
  std::call_once(once, [] {
    using dialogs::PixelItem;
    std::vector<DialogItemTemplate> items{PixelItem(kChromaId, u"RadioBar", WS_VISIBLE, kChromaRect),
                                          PixelItem(kLumaId, u"RadioBar", WS_VISIBLE, kLumaRect)};
    for (int i = 0; i < 4; ++i) items.push_back(PixelItem(kFirstLabelId + i, u"Static", WS_VISIBLE, kLabelRects[i]));
    RegisterPanelTemplate(kTemplate, std::move(items));
  });
}

int CPaletteToolNoiseReduction::IsoNumber(std::u16string_view text) {
  long long number = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') break;
    number = number * 10 + (c - u'0');
    if (number > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  }
  return static_cast<int>(number);
}

void CPaletteToolNoiseReduction::DoDataExchange(CDataExchange* dx) {
  CPaletteToolBase::DoDataExchange(dx);
  DDX_Control(dx, kChromaId, m_Chroma);
  DDX_Control(dx, kLumaId, m_Luma);
  for (int i = 0; i < 4; ++i) DDX_Control(dx, kFirstLabelId + i, m_Labels[i]);
}

BOOL CPaletteToolNoiseReduction::OnInitDialog() {
  CDialog::OnInitDialog();
  InitCommon(kTitleTextId);
  for (int i = 0; i < 4; ++i) {
    m_Labels[i].SetStringId(kFirstLabelTextId + i, i == 3 ? kRightLabelFormat : kLabelFormat, FALSE);
  }
  return TRUE;
}

CSize CPaletteToolNoiseReduction::GetPanelSize(int fileType) {
  if (fileType != CAdjustPalette::kRawFileType) return CSize(0, 0);
  return CSize(kWidth, m_bExpanded ? kExpandedHeight : kTitleRowHeight);
}

void CPaletteToolNoiseReduction::LayoutControls() {
  LayoutCommon(kGroupBottom);
  const int show = m_bExpanded ? SW_SHOW : SW_HIDE;
  dialogs::Place(m_Chroma, kChromaRect);
  dialogs::Place(m_Luma, kLumaRect);
  m_Chroma.ShowWindow(show);
  m_Luma.ShowWindow(show);
  for (int i = 0; i < 4; ++i) {
    dialogs::Place(m_Labels[i], kLabelRects[i]);
    m_Labels[i].ShowWindow(show);
  }
  if (!m_pOwner || m_pOwner->GetPath().View().empty()) return;
  bool active = false;
  if (m_pOwner->GetFileType() == CAdjustPalette::kRawFileType) {
    active = IsoNumber(m_pOwner->Services().GetIso(m_pOwner->GetPath()).View()) >= kActiveIso;
  }
  SetLook(active);
  const COLORREF fill = active ? kFill : kGreyedFill;
  m_Chroma.SetBkColor(fill);
  m_Luma.SetBkColor(fill);
  m_Chroma.Invalidate();
  m_Luma.Invalidate();
  for (CStaticBase& label : m_Labels) {
    label.SetBkColor(fill);
    label.Invalidate();
  }
}

void CPaletteToolNoiseReduction::UpdateFromImage() {
  const auto* raw = m_pOwner && m_pOwner->GetFileType() == CAdjustPalette::kRawFileType
                        ? dynamic_cast<const CKVR_FilterData*>(m_pOwner->GetSettings())
                        : nullptr;
  const bool enabled = raw && raw->m_nNoiseReduction == 1;
  m_Chroma.EnableWindow(enabled);
  m_Luma.EnableWindow(enabled);
  m_Chroma.SetCurSel(enabled ? raw->m_nChromaNoise : -1);
  m_Luma.SetCurSel(enabled ? raw->m_nLumaNoise : -1);
}

LRESULT CPaletteToolNoiseReduction::OnRadioBarClicked(WPARAM id, LPARAM step) {
  auto* raw = m_pOwner ? dynamic_cast<CKVR_FilterData*>(m_pOwner->GetSettings()) : nullptr;
  if (!raw) return 0;
  if (id == kChromaId) {
    raw->m_nChromaNoise = static_cast<int32_t>(step);
  } else if (id == kLumaId) {
    raw->m_nLumaNoise = static_cast<int32_t>(step);
  } else {
    return 0;
  }
  m_pOwner->SendNoiseReduction();
  return 0;
}
