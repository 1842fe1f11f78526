#pragma once
// Renames one file: the user edits the name without its extension, and the
// new name keeps the old extension. It touches no file: the main frame
// compares, renames and restores.
//
//   CBatchRenameThumb dialog;
//   dialog.SetFileName({oldName});
//   std::vector<FString> names;
//   if (dialog.DoModal() == IDOK) dialog.GetFileName(&names);  // names.back(): the new name
//
// A typed name holding \ / * ? : < > " |, an empty one, "." or ".." is
// reported; OK on the report lets the user correct it, Esc ends the dialog
// with the name unchanged (no rename).

#include "toolkit/CBasicButton.h"
#include "toolkit/CDialogBase.h"
#include "toolkit/CStaticBase.h"

#include "foundation/FString.h"

#include <vector>

class CBatchRenameThumb : public CDialogBase {
public:
  static constexpr UINT kTemplate = 277;
  static constexpr int kOldNameId = 1124;
  static constexpr int kNewNameLabelId = 1140;
  static constexpr int kNameEditId = 1083;

  CBatchRenameThumb();
  ~CBatchRenameThumb() override;

  // The old name is the array's first entry (nothing for an empty array).
  void SetFileName(const std::vector<FString>& names);
  // Appends the name: after IDOK the new one (or the old one when unchanged).
  void GetFileName(std::vector<FString>* names) const;

  BOOL OnInitDialog() override;
  void OnOK() override;

protected:
  void DoDataExchange(CDataExchange* dx) override;
  DECLARE_MESSAGE_MAP()

private:
  FString m_strName;
  FString m_strExtension;
  CBasicButton m_OK;
  CBasicButton m_Cancel;
  CStaticBase m_OldName;
  CStaticBase m_NewNameLabel;
  CEdit m_NameEdit;
};
