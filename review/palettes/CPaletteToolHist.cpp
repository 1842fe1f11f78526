#include "review/palettes/CPaletteToolHist.h"

#include "review/palettes/CAdjustPalette.h"
#include "shell/app/AppMessages.h"
#include "shell/app/CLumitraApp.h"
#include "shell/dialogs/DialogLayout.h"

#include <mutex>

namespace {

constexpr int kTitleTextId = 4400;
constexpr int kWarningsTextId = 4401;
constexpr int kShadowStyleTextId = 4402;
constexpr int kHighlightStyleTextId = 4403;
constexpr int kFirstViewTextId = 4404;
constexpr int kViewCount = 5;
constexpr int kViewStyleTextId = 102;
constexpr UINT kWarningsFormat = 0x18010; // word break, end ellipsis
constexpr RECT kShadowRect{33, 127, 93, 143};
constexpr RECT kHighlightRect{147, 127, 207, 143};
constexpr RECT kViewRect{20, 146, 220, 164};
constexpr RECT kHistogramRect{34, 33, 208, 93};
constexpr RECT kWarningsRect{70, 96, 208, 123};
constexpr int kGroupBottom = 169;
constexpr int kExpandedHeight = 176;
constexpr int kCollapsedHeight = 28;
// A spin's notification on a button's release.
constexpr int kDecrementReleased = 2;
constexpr int kIncrementReleased = 3;

bool IsRelease(const ControlNotifyData* note) {
  return note && (note->part == kDecrementReleased || note->part == kIncrementReleased);
}

CAppSettings* Settings() {
  CLumitraApp* app = GetLumitraApp();
  return app ? app->GetSettings() : nullptr;
}

} // namespace

BEGIN_MESSAGE_MAP(CPaletteToolHist, CPaletteToolBase)
  ON_MESSAGE(WM_APP_SPIN_CHANGED, OnSpinChanged)
  ON_COMMAND(CPaletteToolHist::kWarningsId, ApplyWarnings)
  ON_CONTROL(CBN_SELCHANGE, CPaletteToolHist::kViewId, OnHistTypeChanged)
END_MESSAGE_MAP()

CPaletteToolHist::CPaletteToolHist(CWnd* parent) : CPaletteToolBase(kTemplate, parent) {
  static std::once_flag once;
  std::call_once(once, [] {
    using dialogs::PixelItem;
    RegisterPanelTemplate(kTemplate, {PixelItem(kHistogramId, u"HistWnd", WS_VISIBLE, kHistogramRect),
                                      PixelItem(kShadowId, u"Spin", WS_VISIBLE, kShadowRect),
                                      PixelItem(kHighlightId, u"Spin", WS_VISIBLE, kHighlightRect),
                                      PixelItem(kWarningsId, u"Button", WS_VISIBLE | BS_OWNERDRAW, kWarningsRect),
                                      PixelItem(kViewId, u"ComboBox", WS_VISIBLE | WS_TABSTOP, kViewRect)});
  });
}

void CPaletteToolHist::DoDataExchange(CDataExchange* dx) {
  CPaletteToolBase::DoDataExchange(dx);
  DDX_Control(dx, kHistogramId, m_Histogram);
  DDX_Control(dx, kShadowId, m_Shadow);
  DDX_Control(dx, kHighlightId, m_Highlight);
  DDX_Control(dx, kWarningsId, m_Warnings);
  DDX_Control(dx, kViewId, m_View);
}

BOOL CPaletteToolHist::OnInitDialog() {
  CDialog::OnInitDialog();
  InitCommon(kTitleTextId);
  m_Shadow.SetBkColor(kFill);
  m_Shadow.SetTextStyleById(kShadowStyleTextId);
  m_Shadow.SetRange(0, 254, FALSE);
  m_Highlight.SetBkColor(kFill);
  m_Highlight.SetTextStyleById(kHighlightStyleTextId);
  m_Highlight.SetRange(1, 255, FALSE);
  m_Warnings.SetBkColor(kFill);
  m_Warnings.SetIconStyle(0);
  m_Warnings.SetStringId(kWarningsTextId, kWarningsFormat);
  m_View.SetTextStyleById(kViewStyleTextId);
  for (int i = 0; i < kViewCount; ++i) m_View.AddString(dialogs::TableText(kFirstViewTextId + i).c_str());
  m_View.SetDropDownCount(kViewCount);
  int view = 0;
  if (CAppSettings* settings = Settings()) {
    CAppSettingsLock lock(*settings);
    view = settings->m_nHistCmbIdx;
  }
  m_View.SetCurSel(view >= 0 && view < kViewCount ? view : 0);
  OnHistTypeChanged();
  return TRUE;
}

CSize CPaletteToolHist::GetPanelSize(int) { return CSize(kWidth, m_bExpanded ? kExpandedHeight : kCollapsedHeight); }

void CPaletteToolHist::LayoutControls() {
  LayoutCommon(kGroupBottom);
  const int show = m_bExpanded ? SW_SHOW : SW_HIDE;
  CWnd* controls[] = {&m_Shadow, &m_Highlight, &m_View, &m_Histogram, &m_Warnings};
  const RECT rects[] = {kShadowRect, kHighlightRect, kViewRect, kHistogramRect, kWarningsRect};
  for (int i = 0; i < 5; ++i) {
    dialogs::Place(*controls[i], rects[i]);
    controls[i]->ShowWindow(show);
  }
}

void CPaletteToolHist::UpdateFromImage() {
  if (!m_pOwner) return;
  m_Histogram.SetPicture(m_pOwner->GetPreviewDib());
  int flag = 0;
  int type = 0;
  BYTE shadow = 0;
  BYTE highlight = 0;
  m_pOwner->GetClipWarnings(&flag, &type, &shadow, &highlight);
  const int checked = flag ? 1 : 0;
  if (m_Warnings.GetCheck() != checked) m_Warnings.SetCheck(checked);
  m_Shadow.SetPos(shadow);
  m_Highlight.SetPos(highlight);
  m_Shadow.SetRange(0, highlight - 1, TRUE);
  m_Highlight.SetRange(shadow + 1, 255, TRUE);
  m_Histogram.SetView(type);
  m_Histogram.SetShadowMarker(shadow);
  m_Histogram.SetHighlightMarker(highlight);
  m_View.SetCurSel(type);
}

LRESULT CPaletteToolHist::OnSpinChanged(WPARAM id, LPARAM data) {
  const auto* note = reinterpret_cast<const ControlNotifyData*>(data);
  if (id == kHighlightId) {
    if (IsRelease(note)) m_Shadow.SetRange(0, m_Highlight.GetPos() - 1, TRUE);
    m_Histogram.SetHighlightMarker(static_cast<BYTE>(m_Highlight.GetPos()));
  } else if (id == kShadowId) {
    if (IsRelease(note)) m_Highlight.SetRange(m_Shadow.GetPos() + 1, 255, TRUE);
    m_Histogram.SetShadowMarker(static_cast<BYTE>(m_Shadow.GetPos()));
  }
  // Changing a threshold turns the warnings on.
  if (m_Warnings.GetCheck() != 1) m_Warnings.SetCheck(1);
  ApplyWarnings();
  return 0;
}

void CPaletteToolHist::OnHistTypeChanged() {
  m_Histogram.SetView(m_View.GetCurSel());
  ApplyWarnings();
}

void CPaletteToolHist::ApplyWarnings() {
  if (!m_pOwner) return;
  m_pOwner->SetClipWarnings(m_Warnings.GetCheck(), m_View.GetCurSel(), static_cast<BYTE>(m_Shadow.GetPos()),
                            static_cast<BYTE>(m_Highlight.GetPos() & 0xFF));
}

BOOL CPaletteToolHist::DestroyWindow() {
  if (CAppSettings* settings = Settings(); settings && m_View.m_hWnd) {
    CAppSettingsLock lock(*settings);
    settings->m_nHistCmbIdx = m_View.GetCurSel();
  }
  return CPaletteToolBase::DestroyWindow();
}
