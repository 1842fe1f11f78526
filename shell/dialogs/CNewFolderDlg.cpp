#include "shell/dialogs/CNewFolderDlg.h"

#include "shell/dialogs/DialogLayout.h"

#include "platform/win/WinGdiText.h"

#include <mutex>

namespace {

constexpr int kHeadingId = 1159;
constexpr int kParentLineId = 1160;
constexpr int kNameLabelId = 1161;

constexpr int kHeadingTextId = 5300;
constexpr int kParentLookTextId = 5301;
constexpr int kNameLabelTextId = 5302;
constexpr int kOKTextId = 5303;
constexpr int kCancelTextId = 5304;
constexpr int kTitleTextId = 5305;

constexpr int kClientWidth = 290;
constexpr int kClientHeight = 115;
constexpr RECT kHeadingRect{20, 12, 270, 24};
constexpr RECT kParentLineRect{20, 27, 270, 39};
constexpr RECT kNameLabelRect{20, 57, 85, 69};
constexpr RECT kNameEditRect{92, 52, 272, 72};
constexpr RECT kOKRect{55, 83, 133, 106};
constexpr RECT kCancelRect{144, 83, 234, 106};

constexpr UINT kLeftFormat = DT_VCENTER | DT_SINGLELINE;
constexpr UINT kCentredFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
// The folder's path is not ours ("&" is a character); a long one keeps its last name.
constexpr UINT kPathFormat = DT_VCENTER | DT_SINGLELINE | DT_PATH_ELLIPSIS | DT_NOPREFIX;

void RegisterTemplate() {
  static std::once_flag once;
  std::call_once(once, [] {
    using dialogs::PixelItem;
    dialogs::RegisterPixelTemplate(
        CNewFolderDlg::kTemplate, {kClientWidth, kClientHeight},
        {PixelItem(kHeadingId, u"Static", WS_VISIBLE, kHeadingRect),
         PixelItem(kParentLineId, u"Static", WS_VISIBLE, kParentLineRect),
         PixelItem(kNameLabelId, u"Static", WS_VISIBLE, kNameLabelRect),
         PixelItem(CNewFolderDlg::kNameEditId, WC_EDIT, WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL,
                   kNameEditRect),
         PixelItem(IDOK, u"Button", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, kOKRect),
         PixelItem(IDCANCEL, u"Button", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, kCancelRect)});
  });
}

} // namespace

BEGIN_MESSAGE_MAP(CNewFolderDlg, CDialogBase)
END_MESSAGE_MAP()

CNewFolderDlg::CNewFolderDlg(CWnd* parent) : CDialogBase(kTemplate, parent) { RegisterTemplate(); }

CNewFolderDlg::~CNewFolderDlg() = default;

void CNewFolderDlg::DoDataExchange(CDataExchange* dx) {
  CDialogBase::DoDataExchange(dx);
  DDX_Control(dx, kHeadingId, m_Heading);
  DDX_Control(dx, kParentLineId, m_ParentLine);
  DDX_Control(dx, kNameLabelId, m_NameLabel);
  DDX_Control(dx, kNameEditId, m_NameEdit);
  DDX_Control(dx, IDOK, m_OK);
  DDX_Control(dx, IDCANCEL, m_Cancel);
}

BOOL CNewFolderDlg::OnInitDialog() {
  CDialogBase::OnInitDialog();
  dialogs::SetClientSize(*this, kClientWidth, kClientHeight);
  SetWindowText(dialogs::TableText(kTitleTextId).c_str());
  m_Heading.SetStringId(kHeadingTextId, kLeftFormat, FALSE);
  m_ParentLine.SetStringId(kParentLookTextId, kPathFormat, FALSE);
  m_ParentLine.SetText(std::u16string(m_strParentPath.View()), FALSE);
  m_NameLabel.SetStringId(kNameLabelTextId, kCentredFormat, FALSE);
  m_OK.SetStringId(kOKTextId, kCentredFormat);
  m_Cancel.SetStringId(kCancelTextId, kCentredFormat);
  dialogs::Place(m_Heading, kHeadingRect);
  dialogs::Place(m_ParentLine, kParentLineRect);
  dialogs::Place(m_NameLabel, kNameLabelRect);
  dialogs::Place(m_NameEdit, kNameEditRect);
  dialogs::Place(m_OK, kOKRect);
  dialogs::Place(m_Cancel, kCancelRect);
  return TRUE;
}

void CNewFolderDlg::OnOK() {
  m_strFolderName = FString(m_NameEdit.GetWindowText());
  EndDialog(IDOK);
}
