#pragma once
// Picks the destination folder of a save or an extraction in the folder tree,
// with a button that makes a new folder under the chosen one.
//
//   CSelectFolderDlg dialog(this);
//   dialog.SetPath(proposed);
//   if (dialog.DoModal() == IDOK) folder = dialog.GetPath(); // empty: a virtual item
//
// The tree is filled and opened down to the start folder only once the
// dialog is on screen. A start folder that no longer exists stays the chosen
// path (and is shown) until the user selects another.

#include "platform/afx/AfxFrame.h"
#include "shell/browser/CFolderTreeCtrl.h"
#include "toolkit/CBasicButton.h"
#include "toolkit/CDialogBase.h"
#include "toolkit/CStaticBase.h"

#include "foundation/FString.h"

class CSelectFolderDlg : public CDialogBase {
  DECLARE_DYNAMIC(CSelectFolderDlg)

public:
  static constexpr UINT kTemplate = 246;
  static constexpr int kTreeId = 1038;
  static constexpr int kNewFolderId = 1051;
  static constexpr int kCaptionId = 1157;
  static constexpr int kPathLabelId = 1158;

  explicit CSelectFolderDlg(CWnd* parent);
  ~CSelectFolderDlg() override;

  // The folder to start with; before DoModal.
  void SetPath(const FString& path) { m_strPath = path; }
  // The chosen folder; empty when the selected item has no file-system path.
  FString GetPath() const { return m_strPath; }

  BOOL OnInitDialog() override;

protected:
  void DoDataExchange(CDataExchange* dx) override;
  void LayoutControls();
  afx_msg void OnNewFolder();
  afx_msg void OnTreeSelChanged(NMHDR* header, LRESULT* result);
  afx_msg LRESULT OnShowTree(WPARAM wParam, LPARAM lParam);
  DECLARE_MESSAGE_MAP()

private:
  void ShowPath();
  void Refuse();

  FString m_strPath;
  CFolderTreeCtrl m_Tree;
  CBasicButton m_NewFolder;
  CStaticBase m_Caption;
  CStaticBase m_PathLabel;
  CBasicButton m_OK;
  CBasicButton m_Cancel;
};
