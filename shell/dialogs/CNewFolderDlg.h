#pragma once
// The small dialog that asks for the name of a new folder under a parent
// folder. It checks nothing: the caller makes the folder and reports a
// failure.
//
//   CNewFolderDlg dialog(this);
//   dialog.SetParentPath(folder);
//   if (dialog.DoModal() == IDOK) MakeFolder(folder, dialog.GetFolderName());

#include "toolkit/CBasicButton.h"
#include "toolkit/CDialogBase.h"
#include "toolkit/CStaticBase.h"

#include "foundation/FString.h"

class CNewFolderDlg : public CDialogBase {
public:
  static constexpr UINT kTemplate = 247;
  static constexpr int kNameEditId = 1162;

  explicit CNewFolderDlg(CWnd* parent);
  ~CNewFolderDlg() override;

  // The folder shown as the parent; before the modal run.
  void SetParentPath(const FString& path) { m_strParentPath = path; }
  // The name typed; valid after OK.
  FString GetFolderName() const { return m_strFolderName; }

  BOOL OnInitDialog() override;
  // Takes the edit's text as the folder name and ends with IDOK.
  void OnOK() override;

protected:
  void DoDataExchange(CDataExchange* dx) override;
  DECLARE_MESSAGE_MAP()

private:
  FString m_strParentPath;
  FString m_strFolderName;
  CStaticBase m_Heading;    // 1159
  CStaticBase m_ParentLine; // 1160
  CStaticBase m_NameLabel;  // 1161
  CEdit m_NameEdit;         // 1162
  CBasicButton m_OK;
  CBasicButton m_Cancel;
};
