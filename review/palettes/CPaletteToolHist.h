#pragma once
// The histogram panel: the histogram of the followed review window's preview
// picture in one of five views, and that window's clipping warnings (on or
// off, a shadow and a highlight threshold that never cross), kept in the
// palette and sent to the window with every change.

#include "review/controls/CHistWnd.h"
#include "review/palettes/CPaletteToolBase.h"
#include "toolkit/CCheckBox.h"
#include "toolkit/CComboBoxBase.h"
#include "toolkit/CSpinBase.h"

class CPaletteToolHist : public CPaletteToolBase {
public:
  static constexpr UINT kTemplate = 136;
  static constexpr int kHighlightId = 1054;
  static constexpr int kShadowId = 1055;
  static constexpr int kHistogramId = 1056;
  static constexpr int kWarningsId = 1057;
  static constexpr int kViewId = 1188;

  explicit CPaletteToolHist(CWnd* parent);

  CSize GetPanelSize(int fileType) override;
  void LayoutControls() override;
  void UpdateFromImage() override;
  BOOL OnInitDialog() override;
  // Keeps the chosen view for the next palette.
  BOOL DestroyWindow() override;

  // Hands the controls' warning state to the palette, which sends it on.
  void ApplyWarnings();

protected:
  void DoDataExchange(CDataExchange* dx) override;
  afx_msg void OnHistTypeChanged();
  afx_msg LRESULT OnSpinChanged(WPARAM id, LPARAM data);
  DECLARE_MESSAGE_MAP()

private:
  CHistWnd m_Histogram;
  CSpinBase m_Shadow;
  CSpinBase m_Highlight;
  CCheckBox m_Warnings;
  CComboBoxBase m_View;
};
