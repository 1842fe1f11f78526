#pragma once
// Renames a list of files to a common base text, a running number and each
// file's old extension, with a preview (old name, new name) that follows
// every keystroke. It touches no file: the main frame renames.
//
//   CBatchRenameDlg dialog;
//   dialog.SetFileNames(oldNames);
//   std::vector<FString> newNames;
//   if (dialog.DoModal() == IDOK) dialog.GetFileNames(&newNames);  // one per old name
//
// A base text holding \ / * ? : < > " | is reported; OK on the report lets
// the user correct it, Esc ends the dialog with IDCANCEL and no names.

#include "toolkit/CBasicButton.h"
#include "toolkit/CDialogBase.h"
#include "toolkit/CListCtrlBase.h"
#include "toolkit/CStaticBase.h"

#include "foundation/FString.h"

#include <vector>

class CBatchRenameDlg : public CDialogBase {
public:
  static constexpr UINT kTemplate = 218;
  static constexpr int kBaseLabelId = 1069;
  static constexpr int kStartLabelId = 1178;
  static constexpr int kBaseEditId = 1083;
  static constexpr int kStartEditId = 1084;
  static constexpr int kPreviewId = 1179;
  static constexpr int kBaseLimit = 12;
  static constexpr int kStartLimit = 5;

  CBatchRenameDlg();
  ~CBatchRenameDlg() override;

  // Keeps a copy of the names and each one's extension.
  void SetFileNames(const std::vector<FString>& names);
  // Replaces the caller's array with the new names, one per old name, in order.
  void GetFileNames(std::vector<FString>* names) const;

  BOOL OnInitDialog() override;
  void OnOK() override;
  // Column 1 of every row: base, start number + row, the row's extension.
  void UpdatePreview();
  // Removes what is not a digit from the start number, then updates the preview.
  void OnStartNumberChanged();

protected:
  void DoDataExchange(CDataExchange* dx) override;
  DECLARE_MESSAGE_MAP()

private:
  CStaticBase m_BaseLabel;
  CStaticBase m_StartLabel;
  CEdit m_BaseEdit;
  CEdit m_StartEdit;
  CListCtrlBase m_Preview;
  CBasicButton m_OK;
  CBasicButton m_Cancel;
  std::vector<FString> m_aOldNames;
  std::vector<FString> m_aExtensions;
  std::vector<FString> m_aNewNames;
};
