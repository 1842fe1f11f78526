#pragma once
// The small modal dialog that names a saved adjustment setting (name mode:
// the list of names and an edit) or picks one of them (pick mode: the list
// only). It only hands back a name; the preset panel saves or deletes.
//
//   CKVRSettingDlg dialog(CKVRSettingDlg::kNameMode);
//   dialog.SetNameList(names);
//   if (dialog.DoModal() == IDOK) Save(dialog.GetSettingName());

#include "toolkit/CButtonBase.h"
#include "toolkit/CDialogBase.h"
#include "toolkit/CListBoxBase.h"
#include "toolkit/CStaticBase.h"

#include <string>
#include <vector>

class CKVRSettingDlg : public CDialogBase {
public:
  static constexpr UINT kTemplate = 209;
  static constexpr int kPickMode = 0;
  static constexpr int kNameMode = 1;
  static constexpr int kListLabelId = 1067;
  static constexpr int kListId = 1068;
  static constexpr int kNameLabelId = 1069;
  static constexpr int kNameEditId = 1066;
  // The name of the palette's user-setting slot, which no saved setting may take.
  static constexpr int kUserSettingTextId = 104;

  explicit CKVRSettingDlg(int mode);
  ~CKVRSettingDlg() override;

  // The names to list; before DoModal.
  void SetNameList(const std::vector<std::u16string>& names) { m_names = names; }
  // The chosen or typed name; empty until OK.
  std::u16string GetSettingName() const { return m_result; }

  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;

protected:
  void DoDataExchange(CDataExchange* dx) override;
  void LayoutControls();
  afx_msg void OnSelChangeList();
  afx_msg void OnChangeName();
  DECLARE_MESSAGE_MAP()

private:
  bool IsNameMode() const { return m_mode == kNameMode; }

  int m_mode;
  std::vector<std::u16string> m_names;
  std::u16string m_result;
  CStaticBase m_ListLabel;
  CListBoxBase m_List;
  CStaticBase m_NameLabel;
  CEdit m_NameEdit;
  CButtonBase m_OK;
  CButtonBase m_Cancel;
};
