#include "shell/dialogs/CBatchRenameThumb.h"

#include "shell/dialogs/CMessageDlg.h"
#include "shell/dialogs/DialogLayout.h"
#include "shell/dialogs/RenameNames.h"


#include <mutex>

namespace {

constexpr int kOldNameLookTextId = 6216;
constexpr int kNewNameLabelTextId = 5612;
constexpr int kOKTextId = 6216;
constexpr int kCancelTextId = 6217;
constexpr int kTitleTextId = 5611;
constexpr int kForbiddenCharacterTextId = 5610;
constexpr int kEmptyNameTextId = 5614;

constexpr int kClientWidth = 312;
constexpr int kClientHeight = 144;
constexpr RECT kOldNameRect{20, 20, 250, 35};
constexpr RECT kNewNameLabelRect{20, 65, 105, 80};
constexpr RECT kNameEditRect{115, 62, 292, 80};
constexpr RECT kOKRect{36, 111, 144, 134};
constexpr RECT kCancelRect{167, 111, 275, 134};

constexpr UINT kLabelFormat = DT_VCENTER | DT_SINGLELINE;
constexpr UINT kCaptionFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE;

void RegisterTemplate() {
  static std::once_flag once;
  std::call_once(once, [] {
    using dialogs::PixelItem;
    // The edit first: it has the focus when the dialog opens.
    dialogs::RegisterPixelTemplate(
        CBatchRenameThumb::kTemplate, {kClientWidth, kClientHeight},
        {PixelItem(CBatchRenameThumb::kNameEditId, WC_EDIT, WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL,
                   kNameEditRect),
         PixelItem(IDOK, u"Button", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, kOKRect),
         PixelItem(IDCANCEL, u"Button", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, kCancelRect),
         PixelItem(CBatchRenameThumb::kOldNameId, u"Static", WS_VISIBLE, kOldNameRect),
         PixelItem(CBatchRenameThumb::kNewNameLabelId, u"Static", WS_VISIBLE, kNewNameLabelRect)});
  });
}

} // namespace

BEGIN_MESSAGE_MAP(CBatchRenameThumb, CDialogBase)
END_MESSAGE_MAP()

CBatchRenameThumb::CBatchRenameThumb() : CDialogBase(kTemplate, nullptr) { RegisterTemplate(); }

CBatchRenameThumb::~CBatchRenameThumb() = default;

void CBatchRenameThumb::SetFileName(const std::vector<FString>& names) {
  if (names.empty()) return;
  m_strName = names.front();
  m_strExtension = RenameExtensionOf(m_strName);
}

void CBatchRenameThumb::GetFileName(std::vector<FString>* names) const {
  if (names) names->push_back(m_strName);
}

void CBatchRenameThumb::DoDataExchange(CDataExchange* dx) {
  CDialogBase::DoDataExchange(dx);
  DDX_Control(dx, IDOK, m_OK);
  DDX_Control(dx, IDCANCEL, m_Cancel);
  DDX_Control(dx, kOldNameId, m_OldName);
  DDX_Control(dx, kNewNameLabelId, m_NewNameLabel);
  DDX_Control(dx, kNameEditId, m_NameEdit);
}

BOOL CBatchRenameThumb::OnInitDialog() {
  CDialogBase::OnInitDialog();
  dialogs::SetClientSize(*this, kClientWidth, kClientHeight);
  dialogs::Place(m_OldName, kOldNameRect);
  dialogs::Place(m_NewNameLabel, kNewNameLabelRect);
  dialogs::Place(m_NameEdit, kNameEditRect);
  dialogs::Place(m_OK, kOKRect);
  dialogs::Place(m_Cancel, kCancelRect);
  SetWindowText(dialogs::TableText(kTitleTextId).c_str());
  m_NewNameLabel.SetStringId(kNewNameLabelTextId, kLabelFormat, FALSE);
  // The old name is the file's, not ours: "&" is a character.
  m_OldName.SetStringId(kOldNameLookTextId, kLabelFormat | DT_NOPREFIX, FALSE);
  m_OldName.SetText(std::u16string(m_strName.View()), FALSE);
  m_OK.SetStringId(kOKTextId, kCaptionFormat);
  m_Cancel.SetStringId(kCancelTextId, kCaptionFormat);
  m_NameEdit.SetWindowText(RenameStemOf(m_strName).GetText());
  return TRUE;
}

void CBatchRenameThumb::OnOK() {
  const FString typed(m_NameEdit.GetWindowText());
  const TypedNameFault fault = CheckTypedName(typed, m_strExtension);
  if (fault == TypedNameFault::None) {
    m_strName = typed;
    m_strName += m_strExtension;
    EndDialog(IDOK);
    return;
  }
  const int textId = fault == TypedNameFault::ForbiddenCharacter ? kForbiddenCharacterTextId : kEmptyNameTextId;
  // OK on the report: the user corrects the name. Esc: the name stays as it
  // was, which the rename command takes as no change.
  if (ShowTableMessage(this, kMessageStyleOK, textId) == kMessageOK) return;
  EndDialog(IDOK);
}
