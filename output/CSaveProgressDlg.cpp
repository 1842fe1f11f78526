#include "output/CSaveProgressDlg.h"

#include "shell/app/TextTables.h"
#include "shell/dialogs/DialogLayout.h"
#include "shell/facade/CTLM_ThumbnailData.h"

#include "platform/win/WinGdiText.h"

#include <mutex>
#include <set>
#include <tuple>

namespace {

constexpr int kClientWidth = 360;
constexpr int kClientHeight = 190;
constexpr RECT kFrameRect{8, 6, 352, 152};
constexpr RECT kPictureRect{15, 15, 135, 135};
constexpr RECT kActionRect{173, 25, 325, 45};
constexpr RECT kCountRect{173, 50, 325, 70};
constexpr RECT kBarRect{173, 81, 325, 99};
constexpr RECT kCancelRect{132, 160, 227, 183};

constexpr COLORREF kPanelColour = RGB(100, 98, 99);
constexpr int kActionTextId = 5901;
constexpr int kCountTextId = 5902;
constexpr int kFileCountFormatId = 131;
constexpr int kCaptionStyleId = 1005;
constexpr UINT kCentred = DT_CENTER | DT_VCENTER | DT_SINGLELINE;

} // namespace

namespace saveprogress {

void RegisterTemplate(UINT templateId) {
  static std::mutex lock;
  static std::set<UINT> registered;
  const std::lock_guard<std::mutex> guard(lock);
  if (!registered.insert(templateId).second) return;
  using dialogs::PixelItem;
  dialogs::RegisterPixelTemplate(
      templateId, {kClientWidth, kClientHeight},
      {PixelItem(CSaveProgressDlg::kFrameId, u"Static", WS_VISIBLE, kFrameRect),
       PixelItem(CSaveProgressDlg::kActionLabelId, u"Static", WS_VISIBLE, kActionRect),
       PixelItem(CSaveProgressDlg::kCountLabelId, u"Static", WS_VISIBLE, kCountRect),
       PixelItem(CThreadProgressDlg::kProgressBarId, u"Static", WS_VISIBLE, kBarRect),
       PixelItem(IDCANCEL, u"Button", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, kCancelRect)});
}

void Layout(CThreadProgressDlg& dialog, CGroupeBoxBase& frame, CMiniImageWnd& picture, CStaticBase& action,
            CStaticBase& count, CProgressBarBase& bar, CBasicButton& cancel) {
  dialogs::SetClientSize(dialog, kClientWidth, kClientHeight);
  frame.SetColors(RGB(0, 0, 0), kPanelColour);
  frame.SetRoundCorners(1);
  dialogs::Place(frame, kFrameRect);
  picture.SetNavigatorMode(0);
  picture.SetBackColor(kPanelColour);
  picture.SetCaptionStyle(kCaptionStyleId);
  if (!picture.GetSafeHwnd()) {
    picture.CreateEx(0, u"MiniImage", u"", WS_CHILD | WS_VISIBLE, kPictureRect, &dialog, CSaveProgressDlg::kPictureId);
  }
  for (auto [label, textId, rect] : {std::tuple{&action, kActionTextId, kActionRect},
                                     std::tuple{&count, kCountTextId, kCountRect}}) {
    label->SetBkColor(kPanelColour);
    label->SetStringId(textId, kCentred, FALSE);
    dialogs::Place(*label, rect);
  }
  dialogs::Place(bar, kBarRect);
  dialogs::Place(cancel, kCancelRect);
}

std::u16string FileCountText(int number, int count) {
  return FormatTableText(dialogs::TableText(kFileCountFormatId), {number, count}).value_or(std::u16string());
}

} // namespace saveprogress

CSaveProgressDlg::CSaveProgressDlg(CWnd* parent) : CThreadProgressDlg(kTemplate, parent) {
  saveprogress::RegisterTemplate(kTemplate);
}

void CSaveProgressDlg::SetFileCount(int number, int count) {
  m_nFileNumber = number;
  m_nFileCount = count;
}

void CSaveProgressDlg::SetThumbnail(const CTLM_ThumbnailData* thumbnail) { m_Picture.SetThumbnail(thumbnail); }

void CSaveProgressDlg::DoDataExchange(CDataExchange* dx) {
  CThreadProgressDlg::DoDataExchange(dx);
  DDX_Control(dx, kFrameId, m_Frame);
  DDX_Control(dx, kActionLabelId, m_ActionLabel);
  DDX_Control(dx, kCountLabelId, m_CountLabel);
}

BOOL CSaveProgressDlg::OnInitDialog() {
  CThreadProgressDlg::OnInitDialog();
  saveprogress::Layout(*this, m_Frame, m_Picture, m_ActionLabel, m_CountLabel, m_ProgressBar, m_Cancel);
  m_CountLabel.SetText(saveprogress::FileCountText(m_nFileNumber, m_nFileCount), TRUE);
  return TRUE;
}
