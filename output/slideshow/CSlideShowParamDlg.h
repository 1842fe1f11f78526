#pragma once
// The slide show's parameters: the transition effect, the seconds each
// picture stays and whether the show starts again after the last picture.
// It opens with the settings' values and stores the three on OK, under the
// settings lock (the file is written when the program ends); Cancel stores
// nothing.

#include "toolkit/CBasicButton.h"
#include "toolkit/CCheckBox.h"
#include "toolkit/CComboBoxBase.h"
#include "toolkit/CDialogBase.h"
#include "toolkit/CStaticBase.h"

class CSlideShowParamDlg : public CDialogBase {
public:
  static constexpr UINT kTemplate = 268;
  static constexpr int kEffectLabelId = 1180;
  static constexpr int kEffectListId = 1181;
  static constexpr int kSecondsLabelId = 1182;
  static constexpr int kSecondsListId = 1183;
  static constexpr int kUnitLabelId = 1184;
  static constexpr int kLoopId = 1051;

  explicit CSlideShowParamDlg(CWnd* parent = nullptr);

  BOOL OnInitDialog() override;
  void OnOK() override;
  void GetParams(int* effect, int* seconds, int* loop) const;

protected:
  void DoDataExchange(CDataExchange* dx) override;

private:
  int m_nEffect = 1;
  int m_nSeconds = 5;
  BOOL m_bLoop = FALSE;
  CStaticBase m_EffectLabel;
  CComboBoxBase m_Effect;
  CStaticBase m_SecondsLabel;
  CComboBoxBase m_Seconds;
  CStaticBase m_UnitLabel;
  CCheckBox m_Loop;
  CBasicButton m_OK;
  CBasicButton m_Cancel;
};
