#pragma once
// Edits how shooting information is printed with every picture: which lines,
// where, and the font's face, style and colour (its size follows the print
// size). The caller copies its record in before DoModal and out after IDOK.

#include "shell/app/CAppSettings.h"
#include "toolkit/CBasicButton.h"
#include "toolkit/CCheckBox.h"
#include "toolkit/CComboBoxBase.h"
#include "toolkit/CDialogBase.h"
#include "toolkit/CGroupeBoxBase.h"
#include "toolkit/CStaticBase.h"

class CTLM_PrintOptionDlg : public CDialogBase {
public:
  static constexpr UINT kTemplate = 279;
  static constexpr int kFrameId = 1143;
  static constexpr int kBasicId = 1051;
  static constexpr int kBasicNoteId = 1219;
  static constexpr int kCaptureId = 1217;
  static constexpr int kCaptureNoteId = 1220;
  static constexpr int kFontId = 1225;
  static constexpr int kPositionLabelId = 1223;
  static constexpr int kPositionId = 1224;

  explicit CTLM_PrintOptionDlg(CWnd* parent);
  ~CTLM_PrintOptionDlg() override;

  void SetSetting(const InfoPrintSetting& setting) { m_Setting = setting; }
  void GetSetting(InfoPrintSetting& setting) const { setting = m_Setting; }

  BOOL OnInitDialog() override;
  void OnOK() override;

protected:
  void DoDataExchange(CDataExchange* dx) override;
  afx_msg void OnFont();
  DECLARE_MESSAGE_MAP()

private:
  void UpdateControls();

  InfoPrintSetting m_Setting;
  CGroupeBoxBase m_Frame;
  CCheckBox m_Basic;
  CStaticBase m_BasicNote;
  CCheckBox m_Capture;
  CStaticBase m_CaptureNote;
  CBasicButton m_Font;
  CStaticBase m_PositionLabel;
  CComboBoxBase m_Position;
  CBasicButton m_OK;
  CBasicButton m_Cancel;
};
