#include "review/palettes/CPaletteToolNavi.h"

#include "review/palettes/CAdjustPalette.h"
#include "shell/app/AppMessages.h"
#include "shell/dialogs/DialogLayout.h"

#include <mutex>

namespace {

constexpr int kTitleTextId = 4600;
constexpr RECT kPictureRect{12, 30, 225, 127};
constexpr int kGroupBottom = 133;

} // namespace

BEGIN_MESSAGE_MAP(CPaletteToolNavi, CPaletteToolBase)
  ON_MESSAGE(WM_APP_VISIBLE_RECT, OnVisibleRect)
END_MESSAGE_MAP()

CPaletteToolNavi::CPaletteToolNavi(CWnd* parent) : CPaletteToolBase(kTemplate, parent) {
  static std::once_flag once;
  std::call_once(once, [] {
    RegisterPanelTemplate(kTemplate, {dialogs::PixelItem(kPictureId, u"MiniImageWnd", WS_VISIBLE, kPictureRect)});
  });
}

void CPaletteToolNavi::DoDataExchange(CDataExchange* dx) {
  CPaletteToolBase::DoDataExchange(dx);
  DDX_Control(dx, kPictureId, m_Picture);
}

BOOL CPaletteToolNavi::OnInitDialog() {
  CDialog::OnInitDialog();
  InitCommon(kTitleTextId);
  m_Picture.SetNavigatorMode(1);
  m_Picture.SetShowVisibleRect(1);
  m_Picture.SetBackColor(kFill);
  return TRUE;
}

CSize CPaletteToolNavi::GetPanelSize(int) { return CSize(kWidth, m_bExpanded ? kExpandedHeight : kCollapsedHeight); }

void CPaletteToolNavi::LayoutControls() {
  LayoutCommon(kGroupBottom);
  dialogs::Place(m_Picture, kPictureRect);
  m_Picture.ShowWindow(m_bExpanded ? SW_SHOW : SW_HIDE);
}

void CPaletteToolNavi::UpdateFromImage() {
  if (m_pOwner) m_Picture.SetThumbnail(m_pOwner->GetThumbnail());
}

void CPaletteToolNavi::SetVisibleRect(const FDoubleRect* rect) { m_Picture.SetVisibleRect(rect); }

LRESULT CPaletteToolNavi::OnVisibleRect(WPARAM rect, LPARAM) {
  if (rect && m_pOwner) m_pOwner->SendVisibleRect(*reinterpret_cast<const FDoubleRect*>(rect));
  return 0;
}
