#pragma once
// The tone panel: sliders for exposure, contrast, shadow, highlight,
// saturation, sharpness and (raw files only) fill light, and a reset button.
// A slider shows the stored value / 10 and stores its position x 10; every
// change turns the image's settings into custom settings (slot 3).

#include "review/palettes/CPaletteToolBase.h"
#include "toolkit/CButtonBase.h"
#include "toolkit/CTrackBarBase.h"

#include <array>

class CPaletteToolAdjust : public CPaletteToolBase {
public:
  static constexpr UINT kTemplate = 132;
  static constexpr int kFirstLabelId = 1030;
  static constexpr int kFirstSliderId = 1046;
  static constexpr int kFillLightSliderId = 1052;
  static constexpr int kResetId = 1029;
  static constexpr int kResetLabelId = 1037;
  static constexpr int kSliderCount = 7;

  explicit CPaletteToolAdjust(CWnd* parent);

  CSize GetPanelSize(int fileType) override;
  void LayoutControls() override;
  void UpdateFromImage() override;
  BOOL OnInitDialog() override;

  // A stored value (x 100) as a slider position and back.
  static int PositionOfValue(int value) { return value / 10; }
  static int ValueOfPosition(int position) { return position * 10; }

protected:
  void DoDataExchange(CDataExchange* dx) override;
  afx_msg LRESULT OnTrackBarChanged(WPARAM id, LPARAM data);
  afx_msg void OnReset();
  DECLARE_MESSAGE_MAP()

private:
  bool IsRaw() const;

  std::array<CStaticBase, kSliderCount> m_Labels;
  std::array<CTrackBarBase, kSliderCount> m_Sliders;
  CButtonBase m_Reset;
  CStaticBase m_ResetLabel;
};
