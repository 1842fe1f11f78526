#include "review/controls/CKVRSettingDlg.h"

#include "shell/app/AppDialogLayout.h"

#include "platform/win/WinControls.h"
#include "platform/win/WinGdiText.h"

namespace {

constexpr int kClientWidth = 320;
constexpr int kClientHeight = 283;

constexpr RECT kListLabelRect{10, 10, 310, 25};
constexpr RECT kListRectNameMode{10, 30, 310, 190};
constexpr RECT kListRectPickMode{10, 30, 310, 240};
constexpr RECT kNameLabelRect{10, 200, 310, 215};
constexpr RECT kNameEditRect{10, 220, 310, 240};
constexpr RECT kOKRect{50, 250, 155, 273};
constexpr RECT kCancelRect{170, 250, 275, 273};

constexpr int kTitleTextNameMode = 4500;
constexpr int kTitleTextPickMode = 4501;
constexpr int kListLabelText = 4502;
constexpr int kNameLabelText = 4503;
constexpr int kOKTextNameMode = 4504;
constexpr int kOKDisabledTextNameMode = 4505;
constexpr int kOKTextPickMode = 4506;
constexpr int kOKDisabledTextPickMode = 4507;
constexpr int kCancelText = 4508;
constexpr int kCancelDisabledText = 4509;

constexpr UINT kLabelFormat = DT_VCENTER | DT_SINGLELINE;
constexpr UINT kButtonFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE;

constexpr int kButtonIconWidth = 105;
constexpr int kButtonIconHeight = 23;
constexpr int kButtonIcon = 147;
constexpr int kButtonPushedIcon = 148;
constexpr int kButtonDisabledIcon = 210;

// The template only names the controls: they are placed in pixels when the
// dialog opens (client 320 x 283 pixels is 214 x 175 dialog units).
void RegisterTemplate() {
  const DWORD button = WS_VISIBLE | WS_TABSTOP | BS_OWNERDRAW;
  const RECT unit{0, 0, 10, 10};
  RegisterAppDialogTemplate(
      CKVRSettingDlg::kTemplate, {214, 175},
      {{CKVRSettingDlg::kListLabelId, u"Static", WS_VISIBLE, 0, unit, u""},
       {CKVRSettingDlg::kListId, WC_LISTBOX, WS_VISIBLE | WS_TABSTOP | LBS_NOTIFY, 0, unit, u""},
       {CKVRSettingDlg::kNameLabelId, u"Static", WS_VISIBLE, 0, unit, u""},
       {CKVRSettingDlg::kNameEditId, WC_EDIT, WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 0, unit, u""},
       {IDOK, u"Button", button, 0, unit, u""},
       {IDCANCEL, u"Button", button, 0, unit, u""}});
}

void SetButtonLook(CButtonBase& button, int textId, int disabledTextId) {
  button.SetIconSize(kButtonIconWidth, kButtonIconHeight);
  button.SetIcon(kButtonIcon);
  button.SetPushedIcon(kButtonPushedIcon);
  button.SetDisabledIcon(kButtonDisabledIcon);
  button.SetStringId(textId, kButtonFormat);
  button.SetDisabledStringId(disabledTextId, kButtonFormat);
}

} // namespace

BEGIN_MESSAGE_MAP(CKVRSettingDlg, CDialogBase)
  ON_CONTROL(LBN_SELCHANGE, CKVRSettingDlg::kListId, OnSelChangeList)
  ON_CONTROL(EN_CHANGE, CKVRSettingDlg::kNameEditId, OnChangeName)
END_MESSAGE_MAP()

CKVRSettingDlg::CKVRSettingDlg(int mode) : CDialogBase(kTemplate, CWnd::FromHandle(GetDesktopWindow())), m_mode(mode) {
  RegisterTemplate();
}

CKVRSettingDlg::~CKVRSettingDlg() = default;

void CKVRSettingDlg::DoDataExchange(CDataExchange* dx) {
  CDialogBase::DoDataExchange(dx);
  DDX_Control(dx, kListLabelId, m_ListLabel);
  DDX_Control(dx, kListId, m_List);
  DDX_Control(dx, kNameLabelId, m_NameLabel);
  DDX_Control(dx, kNameEditId, m_NameEdit);
  DDX_Control(dx, IDOK, m_OK);
  DDX_Control(dx, IDCANCEL, m_Cancel);
}

BOOL CKVRSettingDlg::OnInitDialog() {
  CDialogBase::OnInitDialog();
  LayoutControls();
  for (const std::u16string& name : m_names) m_List.AddString(name.c_str());
  return TRUE;
}

void CKVRSettingDlg::LayoutControls() {
  SetWindowText(AppText(IsNameMode() ? kTitleTextNameMode : kTitleTextPickMode).c_str());
  m_ListLabel.SetStringId(kListLabelText, kLabelFormat, FALSE);
  m_NameLabel.SetStringId(kNameLabelText, kLabelFormat, FALSE);
  MoveDlgControl(this, kListLabelId, kListLabelRect);
  MoveDlgControl(this, kListId, IsNameMode() ? kListRectNameMode : kListRectPickMode);
  MoveDlgControl(this, kNameLabelId, kNameLabelRect);
  MoveDlgControl(this, kNameEditId, kNameEditRect);
  MoveDlgControl(this, IDOK, kOKRect);
  MoveDlgControl(this, IDCANCEL, kCancelRect);
  if (IsNameMode()) {
    SetButtonLook(m_OK, kOKTextNameMode, kOKDisabledTextNameMode);
  } else {
    SetButtonLook(m_OK, kOKTextPickMode, kOKDisabledTextPickMode);
    m_NameLabel.ShowWindow(SW_HIDE);
    m_NameEdit.ShowWindow(SW_HIDE);
  }
  SetButtonLook(m_Cancel, kCancelText, kCancelDisabledText);
  m_OK.EnableWindow(FALSE);
  SetClientAreaSize(this, kClientWidth, kClientHeight);
  CenterWindow();
}

void CKVRSettingDlg::OnSelChangeList() {
  const int selected = m_List.GetCurSel();
  if (!IsNameMode()) {
    m_OK.EnableWindow(selected >= 0);
    return;
  }
  if (selected < 0) return;
  std::u16string name;
  m_List.GetText(selected, name);
  m_NameEdit.SetWindowText(name.c_str());
  m_OK.EnableWindow(TRUE);
}

void CKVRSettingDlg::OnChangeName() {
  if (!IsNameMode()) return;
  const std::u16string name = m_NameEdit.GetWindowText();
  m_OK.EnableWindow(!name.empty() && name != AppText(kUserSettingTextId));
}

void CKVRSettingDlg::OnOK() {
  std::u16string name;
  if (IsNameMode()) {
    name = m_NameEdit.GetWindowText();
  } else {
    const int selected = m_List.GetCurSel();
    if (selected >= 0) m_List.GetText(selected, name);
  }
  if (name.empty()) return;
  m_result = name;
  EndDialog(IDOK);
}

void CKVRSettingDlg::OnCancel() { EndDialog(IDCANCEL); }
