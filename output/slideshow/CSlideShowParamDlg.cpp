#include "output/slideshow/CSlideShowParamDlg.h"

#include "shell/app/CLumitraApp.h"
#include "shell/dialogs/DialogLayout.h"

#include <mutex>
#include <string>

namespace {

constexpr int kClientWidth = 300;
constexpr int kClientHeight = 165;
constexpr int kTitleTextId = 5700;
constexpr int kFirstEffectTextId = 5707;
constexpr int kEffectCount = 5;
constexpr int kMaxSeconds = 10;
constexpr int kListTextStyle = 102;
constexpr UINT kLabelFormat = DT_VCENTER | DT_SINGLELINE;
constexpr UINT kButtonFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE;

using D = CSlideShowParamDlg;
constexpr RECT kEffectLabelRect{20, 20, 80, 38};
constexpr RECT kEffectListRect{90, 20, 240, 38};
constexpr RECT kSecondsLabelRect{20, 60, 80, 78};
constexpr RECT kSecondsListRect{90, 60, 240, 78};
constexpr RECT kUnitLabelRect{250, 60, 300, 78};
constexpr RECT kLoopRect{90, 90, 240, 105};
constexpr RECT kOKRect{40, 130, 140, 153};
constexpr RECT kCancelRect{160, 130, 260, 153};

void RegisterTemplate() {
  static std::once_flag once;
  std::call_once(once, [] {
    using dialogs::PixelItem;
    constexpr DWORD button = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
    constexpr DWORD list = WS_VISIBLE | WS_TABSTOP;
    dialogs::RegisterPixelTemplate(
        D::kTemplate, {kClientWidth, kClientHeight},
        {PixelItem(D::kEffectLabelId, u"Static", WS_VISIBLE, kEffectLabelRect),
         PixelItem(D::kEffectListId, u"ComboBox", list, kEffectListRect),
         PixelItem(D::kSecondsLabelId, u"Static", WS_VISIBLE, kSecondsLabelRect),
         PixelItem(D::kSecondsListId, u"ComboBox", list, kSecondsListRect),
         PixelItem(D::kUnitLabelId, u"Static", WS_VISIBLE, kUnitLabelRect),
         PixelItem(D::kLoopId, u"Button", button, kLoopRect), PixelItem(IDOK, u"Button", button, kOKRect),
         PixelItem(IDCANCEL, u"Button", button, kCancelRect)});
  });
}

// Selects the item whose data is the value, the first one when none is.
void SelectByData(CComboBoxBase& list, int value) {
  for (int i = 0; i < list.GetCount(); ++i) {
    if (static_cast<int>(list.GetItemData(i)) == value) {
      list.SetCurSel(i);
      return;
    }
  }
  list.SetCurSel(0);
}

int SelectedData(const CComboBoxBase& list) {
  const int selected = list.GetCurSel();
  return static_cast<int>(list.GetItemData(selected >= 0 ? selected : 0));
}

void AddItem(CComboBoxBase& list, const std::u16string& text, int data) {
  list.SetItemData(list.AddString(text.c_str()), static_cast<DWORD_PTR>(data));
}

} // namespace

CSlideShowParamDlg::CSlideShowParamDlg(CWnd* parent) : CDialogBase(kTemplate, parent) { RegisterTemplate(); }

void CSlideShowParamDlg::DoDataExchange(CDataExchange* dx) {
  CDialogBase::DoDataExchange(dx);
  DDX_Control(dx, kEffectLabelId, m_EffectLabel);
  DDX_Control(dx, kEffectListId, m_Effect);
  DDX_Control(dx, kSecondsLabelId, m_SecondsLabel);
  DDX_Control(dx, kSecondsListId, m_Seconds);
  DDX_Control(dx, kUnitLabelId, m_UnitLabel);
  DDX_Control(dx, kLoopId, m_Loop);
  DDX_Control(dx, IDOK, m_OK);
  DDX_Control(dx, IDCANCEL, m_Cancel);
}

BOOL CSlideShowParamDlg::OnInitDialog() {
  CDialogBase::OnInitDialog();
  if (CLumitraApp* app = GetLumitraApp()) {
    CAppSettingsLock lock(*app->GetSettings());
    const CAppSettings& settings = *app->GetSettings();
    m_nEffect = settings.m_nSlideShowType;
    m_nSeconds = settings.m_nSlideShowDuration;
    m_bLoop = settings.m_nSlideShowLoop != 0 ? TRUE : FALSE;
  }
  dialogs::SetClientSize(*this, kClientWidth, kClientHeight);
  SetWindowText(dialogs::TableText(kTitleTextId).c_str());
  dialogs::Place(m_EffectLabel, kEffectLabelRect);
  dialogs::Place(m_Effect, kEffectListRect);
  dialogs::Place(m_SecondsLabel, kSecondsLabelRect);
  dialogs::Place(m_Seconds, kSecondsListRect);
  dialogs::Place(m_UnitLabel, kUnitLabelRect);
  dialogs::Place(m_Loop, kLoopRect);
  dialogs::Place(m_OK, kOKRect);
  dialogs::Place(m_Cancel, kCancelRect);
  m_EffectLabel.SetStringId(5701, kLabelFormat, FALSE);
  m_SecondsLabel.SetStringId(5702, kLabelFormat, FALSE);
  m_UnitLabel.SetStringId(5703, kLabelFormat, FALSE);
  m_Loop.SetIconStyle(0);
  m_Loop.SetStringId(5704, kLabelFormat);
  m_OK.SetStringId(5705, kButtonFormat);
  m_Cancel.SetStringId(5706, kButtonFormat);

  m_Effect.SetTextStyleById(kListTextStyle);
  m_Effect.ResetContent();
  for (int effect = 0; effect < kEffectCount; ++effect) {
    AddItem(m_Effect, dialogs::TableText(kFirstEffectTextId + effect), effect);
  }
  m_Seconds.SetTextStyleById(kListTextStyle);
  m_Seconds.ResetContent();
  for (int seconds = 1; seconds <= kMaxSeconds; ++seconds) {
    const std::string digits = std::to_string(seconds);
    AddItem(m_Seconds, std::u16string(digits.begin(), digits.end()), seconds);
  }
  SelectByData(m_Effect, m_nEffect);
  SelectByData(m_Seconds, m_nSeconds);
  m_Loop.SetCheck(m_bLoop ? 1 : 0);
  return TRUE;
}

void CSlideShowParamDlg::OnOK() {
  m_nEffect = SelectedData(m_Effect);
  m_nSeconds = SelectedData(m_Seconds);
  m_bLoop = m_Loop.GetCheck() != 0 ? TRUE : FALSE;
  if (CLumitraApp* app = GetLumitraApp()) {
    CAppSettingsLock lock(*app->GetSettings());
    CAppSettings& settings = *app->GetSettings();
    settings.m_nSlideShowType = m_nEffect;
    settings.m_nSlideShowDuration = m_nSeconds;
    settings.m_nSlideShowLoop = m_bLoop ? 1 : 0;
  }
  CDialogBase::OnOK();
}

void CSlideShowParamDlg::GetParams(int* effect, int* seconds, int* loop) const {
  if (effect) *effect = m_nEffect;
  if (seconds) *seconds = m_nSeconds;
  if (loop) *loop = m_bLoop;
}
