#pragma once
// Edits the header or footer line of every printed page: its text, place,
// font and colour. The caller copies its record in before DoModal and out
// after IDOK.

#include "shell/app/CAppSettings.h"
#include "toolkit/CBasicButton.h"
#include "toolkit/CComboBoxBase.h"
#include "toolkit/CDialogBase.h"
#include "toolkit/CGroupeBoxBase.h"
#include "toolkit/CStaticBase.h"

class CTLM_PrintOptionHeadDlg : public CDialogBase {
public:
  static constexpr UINT kTemplate = 281;
  static constexpr int kFrameId = 1236;
  static constexpr int kTextId = 1083;
  static constexpr int kFontId = 1229;
  static constexpr int kPositionLabelId = 1227;
  static constexpr int kPositionId = 1228;

  explicit CTLM_PrintOptionHeadDlg(CWnd* parent);
  ~CTLM_PrintOptionHeadDlg() override;

  void SetSetting(const HeadFootPrintSetting& setting) { m_Setting = setting; }
  void GetSetting(HeadFootPrintSetting& setting) const { setting = m_Setting; }

  BOOL OnInitDialog() override;
  void OnOK() override;

protected:
  void DoDataExchange(CDataExchange* dx) override;
  afx_msg void OnFont();
  DECLARE_MESSAGE_MAP()

private:
  HeadFootPrintSetting m_Setting;
  CGroupeBoxBase m_Frame;
  CEdit m_Text;
  CBasicButton m_Font;
  CStaticBase m_PositionLabel;
  CComboBoxBase m_Position;
  CBasicButton m_OK;
  CBasicButton m_Cancel;
};
