#include "output/CSelectFolderDlg.h"

#include "shell/app/AppMessages.h"
#include "shell/browser/ItemIdLists.h"
#include "shell/dialogs/CMessageDlg.h"
#include "shell/dialogs/CNewFolderDlg.h"
#include "shell/dialogs/DialogLayout.h"
#include "toolkit/FileOperations.h"

#include "foundation/FPath.h"
#include "platform/win/WinGdiText.h"

#include <mutex>
#include <string>

#include <sys/stat.h>

namespace {

constexpr int kNewFolderTextId = 5200;
constexpr int kCaptionTextId = 5201;
constexpr int kPathLookTextId = 5202;
constexpr int kOKTextId = 5203;
constexpr int kCancelTextId = 5204;
constexpr int kTitleTextId = 5205;
constexpr int kNotMadeTextId = 5206;

constexpr int kClientWidth = 290;
constexpr int kClientHeight = 390;
constexpr RECT kNewFolderRect{20, 9, 132, 32};
constexpr RECT kTreeRect{11, 63, 269, 269};
constexpr RECT kCaptionRect{20, 308, 270, 320};
constexpr RECT kPathLabelRect{20, 323, 270, 335};
constexpr RECT kOKRect{55, 358, 133, 381};
constexpr RECT kCancelRect{144, 358, 234, 381};

constexpr UINT kLeftFormat = DT_VCENTER | DT_SINGLELINE;
constexpr UINT kCentredFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
// A folder's path is not ours ("&" is a character); a long one keeps its last name.
constexpr UINT kPathFormat = DT_VCENTER | DT_SINGLELINE | DT_PATH_ELLIPSIS | DT_NOPREFIX;

void RegisterTemplate() {
  static std::once_flag once;
  std::call_once(once, [] {
    using dialogs::PixelItem;
    constexpr DWORD button = WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
    dialogs::RegisterPixelTemplate(
        CSelectFolderDlg::kTemplate, {kClientWidth, kClientHeight},
        {PixelItem(CSelectFolderDlg::kNewFolderId, u"Button", button, kNewFolderRect),
         // Hidden until the dialog is on screen and the tree has opened down to the start folder.
         PixelItem(CSelectFolderDlg::kTreeId, WC_TREEVIEW,
                   WS_TABSTOP | WS_BORDER | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS,
                   kTreeRect),
         PixelItem(CSelectFolderDlg::kCaptionId, u"Static", WS_VISIBLE, kCaptionRect),
         PixelItem(CSelectFolderDlg::kPathLabelId, u"Static", WS_VISIBLE, kPathLabelRect),
         PixelItem(IDOK, u"Button", button, kOKRect), PixelItem(IDCANCEL, u"Button", button, kCancelRect)});
  });
}

// Makes one folder, as the parent's new child: fails when it exists already,
// when its parent does not, or when the name cannot stand for a folder.
bool MakeFolder(const FString& path) {
  std::string bytes;
  return PathToNative(path, bytes) && ::mkdir(bytes.c_str(), 0777) == 0;
}

} // namespace

IMPLEMENT_DYNAMIC(CSelectFolderDlg, CDialogBase)

BEGIN_MESSAGE_MAP(CSelectFolderDlg, CDialogBase)
ON_CONTROL(BN_CLICKED, CSelectFolderDlg::kNewFolderId, OnNewFolder)
ON_NOTIFY(TVN_SELCHANGEDW, CSelectFolderDlg::kTreeId, OnTreeSelChanged)
ON_MESSAGE(WM_APP_START_THREAD, OnShowTree)
END_MESSAGE_MAP()

CSelectFolderDlg::CSelectFolderDlg(CWnd* parent) : CDialogBase(kTemplate, parent) { RegisterTemplate(); }

CSelectFolderDlg::~CSelectFolderDlg() = default;

void CSelectFolderDlg::DoDataExchange(CDataExchange* dx) {
  CDialogBase::DoDataExchange(dx);
  DDX_Control(dx, kTreeId, m_Tree);
  DDX_Control(dx, kNewFolderId, m_NewFolder);
  DDX_Control(dx, kCaptionId, m_Caption);
  DDX_Control(dx, kPathLabelId, m_PathLabel);
  DDX_Control(dx, IDOK, m_OK);
  DDX_Control(dx, IDCANCEL, m_Cancel);
}

BOOL CSelectFolderDlg::OnInitDialog() {
  CDialogBase::OnInitDialog();
  dialogs::SetClientSize(*this, kClientWidth, kClientHeight);
  SetWindowText(dialogs::TableText(kTitleTextId).c_str());
  m_NewFolder.SetStringId(kNewFolderTextId, kCentredFormat);
  m_Caption.SetStringId(kCaptionTextId, kLeftFormat, FALSE);
  m_PathLabel.SetStringId(kPathLookTextId, kPathFormat, FALSE);
  m_OK.SetStringId(kOKTextId, kCentredFormat);
  m_Cancel.SetStringId(kCancelTextId, kCentredFormat);
  m_Tree.ShowWindow(SW_HIDE);
  ShowPath();
  LayoutControls();
  // Filling and opening the tree waits until the dialog is on screen.
  PostMessage(WM_APP_START_THREAD);
  return TRUE;
}

void CSelectFolderDlg::LayoutControls() {
  dialogs::Place(m_NewFolder, kNewFolderRect);
  dialogs::Place(m_Tree, kTreeRect);
  dialogs::Place(m_Caption, kCaptionRect);
  dialogs::Place(m_PathLabel, kPathLabelRect);
  dialogs::Place(m_OK, kOKRect);
  dialogs::Place(m_Cancel, kCancelRect);
}

LRESULT CSelectFolderDlg::OnShowTree(WPARAM, LPARAM) {
  // A start folder that is gone selects nothing and stays the chosen path.
  m_Tree.SelectPath(m_strPath);
  m_Tree.ShowWindow(SW_SHOW);
  return 0;
}

void CSelectFolderDlg::OnTreeSelChanged(NMHDR* header, LRESULT* result) {
  *result = 0;
  const auto* nm = reinterpret_cast<const NMTREEVIEWW*>(header);
  const auto* data = reinterpret_cast<const FolderTreeItemData*>(nm->itemNew.lParam);
  m_strPath = data ? GetPathFromPidl(data->absolute) : FString();
  ShowPath();
  m_PathLabel.RedrawWindow();
}

// The path under its caption; a new folder needs a real folder to go in.
void CSelectFolderDlg::ShowPath() {
  m_PathLabel.SetText(std::u16string(m_strPath.View()), FALSE);
  m_NewFolder.EnableWindow(m_strPath.View().empty() ? FALSE : TRUE);
}

void CSelectFolderDlg::OnNewFolder() {
  // A virtual item (no path) has nowhere to put a folder: the button is off
  // then, and a name is only ever one entry of the chosen folder.
  if (m_strPath.View().empty()) return;
  CNewFolderDlg dialog(this);
  dialog.SetParentPath(m_strPath);
  if (dialog.DoModal() != IDOK) return;
  const FString name = dialog.GetFolderName();
  if (!IsValidFolderName(name)) {
    Refuse();
    return;
  }
  FString path = m_strPath;
  if (!EndsWithBackslash(path)) path += u'/';
  path += name;
  if (!MakeFolder(path)) {
    Refuse();
    return;
  }
  SHChangeNotify(SHCNE_MKDIR, SHCNF_PATHW, path.GetText(), nullptr);
  m_Tree.InsertFolder(path);
  // The selection change makes it the chosen path.
  m_Tree.SelectPath(path);
}

void CSelectFolderDlg::Refuse() { ShowTableMessage(this, kMessageStyleOK, kNotMadeTextId); }
