#pragma once
// The noise-reduction panel: two five-step bars (chroma and luminance) for
// raw files, written into the file at once by the main frame. The bars work
// only when the file's settings offer noise reduction; the panel looks active
// only for pictures shot at ISO 400 or more.

#include "review/palettes/CPaletteToolBase.h"
#include "toolkit/CRadioBarBase.h"

#include <array>

class CPaletteToolNoiseReduction : public CPaletteToolBase {
public:
  static constexpr UINT kTemplate = 285;
  static constexpr int kChromaId = 1239;
  static constexpr int kLumaId = 1240;
  static constexpr int kFirstLabelId = 1241;
  static constexpr int kActiveIso = 400;

  explicit CPaletteToolNoiseReduction(CWnd* parent);

  CSize GetPanelSize(int fileType) override;
  void LayoutControls() override;
  void UpdateFromImage() override;
  BOOL OnInitDialog() override;

  // The leading decimal digits of an ISO text; 0 when there are none.
  static int IsoNumber(std::u16string_view text);

protected:
  void DoDataExchange(CDataExchange* dx) override;
  afx_msg LRESULT OnRadioBarClicked(WPARAM id, LPARAM step);
  DECLARE_MESSAGE_MAP()

private:
  CRadioBar5 m_Chroma;
  CRadioBar5 m_Luma;
  std::array<CStaticBase, 4> m_Labels;
};
