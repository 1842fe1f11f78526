#pragma once
// The colour panel: the colour wheel for the cyan, magenta and yellow
// compensation of the followed image's settings, its value as text, a reset
// button and the dropper that turns grey-point picking on and off. The
// palette's arrow keys end here and move the wheel's point.

#include "review/controls/CColorWheel.h"
#include "review/palettes/CPaletteToolBase.h"
#include "toolkit/CButtonBase.h"

class CPaletteToolColor : public CPaletteToolBase {
public:
  static constexpr UINT kTemplate = 135;
  static constexpr int kWheelId = 1049;
  static constexpr int kValueId = 1050;
  static constexpr int kDropperId = 1052;
  static constexpr int kResetId = 1029;
  static constexpr int kResetLabelId = 1037;

  explicit CPaletteToolColor(CWnd* parent);

  CSize GetPanelSize(int fileType) override;
  void LayoutControls() override;
  void UpdateFromImage() override;
  BOOL OnInitDialog() override;
  BOOL PreTranslateMessage(MSG* msg) override;

  CColorWheel& Wheel() { return m_Wheel; }

protected:
  void DoDataExchange(CDataExchange* dx) override;
  afx_msg LRESULT OnColorWheelChanged(WPARAM id, LPARAM cmy);
  afx_msg void OnReset();
  afx_msg void OnDropper();
  DECLARE_MESSAGE_MAP()

private:
  void ShowValue(int cyan, int magenta, int yellow);

  CColorWheel m_Wheel;
  CStaticBase m_Value;
  CCheckButton m_Dropper;
  CButtonBase m_Reset;
  CStaticBase m_ResetLabel;
};
