#include "shell/dialogs/CBatchRenameDlg.h"

#include "shell/dialogs/CMessageDlg.h"
#include "shell/dialogs/DialogLayout.h"
#include "shell/dialogs/RenameNames.h"

#include <mutex>

namespace {

constexpr int kTitleTextId = 5600;
constexpr int kBaseLabelTextId = 5601;
constexpr int kDefaultBaseTextId = 5602;
constexpr int kStartLabelTextId = 5603;
constexpr int kOldNameHeadingTextId = 5604;
constexpr int kNewNameHeadingTextId = 5605;
constexpr int kOKTextId = 5606;
constexpr int kCancelTextId = 5607;
constexpr int kForbiddenCharacterTextId = 5610;

constexpr int kClientWidth = 417;
constexpr int kClientHeight = 277;
constexpr int kColumnWidth = 170;
constexpr RECT kBaseLabelRect{22, 12, 105, 27};
constexpr RECT kBaseEditRect{107, 10, 239, 28};
constexpr RECT kStartLabelRect{271, 12, 331, 27};
constexpr RECT kStartEditRect{333, 10, 393, 28};
constexpr RECT kPreviewRect{22, 33, 384, 224};
constexpr RECT kOKRect{115, 245, 193, 268};
constexpr RECT kCancelRect{214, 245, 304, 268};

constexpr UINT kCaptionFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE;

void RegisterTemplate() {
  static std::once_flag once;
  std::call_once(once, [] {
    using dialogs::PixelItem;
    constexpr DWORD edit = WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL;
    constexpr DWORD button = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
    dialogs::RegisterPixelTemplate(
        CBatchRenameDlg::kTemplate, {kClientWidth, kClientHeight},
        {PixelItem(CBatchRenameDlg::kBaseLabelId, u"Static", WS_VISIBLE, kBaseLabelRect),
         PixelItem(CBatchRenameDlg::kBaseEditId, WC_EDIT, edit, kBaseEditRect),
         PixelItem(CBatchRenameDlg::kStartLabelId, u"Static", WS_VISIBLE, kStartLabelRect),
         PixelItem(CBatchRenameDlg::kStartEditId, WC_EDIT, edit, kStartEditRect),
         PixelItem(CBatchRenameDlg::kPreviewId, WC_LISTVIEW, WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_ALIGNLEFT,
                   kPreviewRect),
         PixelItem(IDOK, u"Button", button, kOKRect), PixelItem(IDCANCEL, u"Button", button, kCancelRect)});
  });
}

} // namespace

BEGIN_MESSAGE_MAP(CBatchRenameDlg, CDialogBase)
  ON_CONTROL(EN_CHANGE, CBatchRenameDlg::kBaseEditId, UpdatePreview)
  ON_CONTROL(EN_CHANGE, CBatchRenameDlg::kStartEditId, OnStartNumberChanged)
END_MESSAGE_MAP()

CBatchRenameDlg::CBatchRenameDlg() : CDialogBase(kTemplate, nullptr) { RegisterTemplate(); }

CBatchRenameDlg::~CBatchRenameDlg() = default;

void CBatchRenameDlg::SetFileNames(const std::vector<FString>& names) {
  m_aOldNames = names;
  m_aExtensions.clear();
  for (const FString& name : names) m_aExtensions.push_back(RenameExtensionOf(name));
}

void CBatchRenameDlg::GetFileNames(std::vector<FString>* names) const {
  if (names) *names = m_aNewNames;
}

void CBatchRenameDlg::DoDataExchange(CDataExchange* dx) {
  CDialogBase::DoDataExchange(dx);
  DDX_Control(dx, kBaseLabelId, m_BaseLabel);
  DDX_Control(dx, kStartLabelId, m_StartLabel);
  DDX_Control(dx, kBaseEditId, m_BaseEdit);
  DDX_Control(dx, kStartEditId, m_StartEdit);
  DDX_Control(dx, kPreviewId, m_Preview);
  DDX_Control(dx, IDOK, m_OK);
  DDX_Control(dx, IDCANCEL, m_Cancel);
}

BOOL CBatchRenameDlg::OnInitDialog() {
  CDialogBase::OnInitDialog();
  SetWindowText(dialogs::TableText(kTitleTextId).c_str());
  dialogs::SetClientSize(*this, kClientWidth, kClientHeight);
  m_BaseLabel.SetStringId(kBaseLabelTextId, kCaptionFormat, FALSE);
  m_StartLabel.SetStringId(kStartLabelTextId, kCaptionFormat, FALSE);
  m_OK.SetStringId(kOKTextId, kCaptionFormat);
  m_Cancel.SetStringId(kCancelTextId, kCaptionFormat);

  m_Preview.SetExtendedStyle(LVS_EX_GRIDLINES);
  m_Preview.InsertColumn(0, dialogs::TableText(kOldNameHeadingTextId).c_str(), LVCFMT_LEFT, kColumnWidth);
  m_Preview.InsertColumn(1, dialogs::TableText(kNewNameHeadingTextId).c_str(), LVCFMT_LEFT, kColumnWidth);
  for (size_t row = 0; row < m_aOldNames.size(); ++row) {
    m_Preview.InsertItem(static_cast<int>(row), m_aOldNames[row].GetText());
  }

  m_BaseEdit.LimitText(kBaseLimit);
  m_StartEdit.LimitText(kStartLimit);
  // Each text fires its change handler, so the preview is filled at once.
  m_BaseEdit.SetWindowText(dialogs::TableText(kDefaultBaseTextId).c_str());
  m_StartEdit.SetWindowText(u"0");

  dialogs::Place(m_BaseLabel, kBaseLabelRect);
  dialogs::Place(m_BaseEdit, kBaseEditRect);
  dialogs::Place(m_StartLabel, kStartLabelRect);
  dialogs::Place(m_StartEdit, kStartEditRect);
  dialogs::Place(m_Preview, kPreviewRect);
  dialogs::Place(m_OK, kOKRect);
  dialogs::Place(m_Cancel, kCancelRect);
  return TRUE;
}

void CBatchRenameDlg::UpdatePreview() {
  // Edits announce their first text while the dialog is still being made.
  if (!m_Preview.m_hWnd || !m_BaseEdit.m_hWnd || !m_StartEdit.m_hWnd) return;
  const FString base(m_BaseEdit.GetWindowText());
  const int start = RenameStartNumber(FString(m_StartEdit.GetWindowText()));
  for (size_t row = 0; row < m_aOldNames.size(); ++row) {
    const FString name = RenameBatchName(base, start, static_cast<int>(row), m_aExtensions[row]);
    m_Preview.SetItemText(static_cast<int>(row), 1, name.GetText());
  }
}

void CBatchRenameDlg::OnStartNumberChanged() {
  if (!m_StartEdit.m_hWnd) return;
  const CleanedDigits cleaned = RenameCleanStartNumber(FString(m_StartEdit.GetWindowText()));
  if (cleaned.caret >= 0) {
    m_StartEdit.SetWindowText(cleaned.text.GetText()); // changes again: that run finds only digits
    m_StartEdit.SetSel(cleaned.caret, cleaned.caret);
  }
  UpdatePreview();
}

void CBatchRenameDlg::OnOK() {
  m_aNewNames.clear();
  const FString base(m_BaseEdit.GetWindowText());
  // Only the base is typed: the numbers are digits and the extensions are
  // names the disk already holds.
  if (HasForbiddenNameCharacter(base)) {
    // OK on the report: the user corrects the base. Esc: no rename at all,
    // rather than names a file cannot take.
    if (ShowTableMessage(this, kMessageStyleOK, kForbiddenCharacterTextId) == kMessageOK) return;
    EndDialog(IDCANCEL);
    return;
  }
  const int start = RenameStartNumber(FString(m_StartEdit.GetWindowText()));
  for (size_t row = 0; row < m_aOldNames.size(); ++row) {
    m_aNewNames.push_back(RenameBatchName(base, start, static_cast<int>(row), m_aExtensions[row]));
  }
  EndDialog(IDOK);
}
