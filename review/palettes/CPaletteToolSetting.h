#pragma once
// The preset panel: which settings slot the followed review window develops
// with (as shot, automatic, custom), the user presets (apply, save under a
// name, delete) and one action button: for raw files it writes the settings
// into the file, for other files it saves the image. The panel keeps its own
// copies of the presets; entry 0 is always the neutral user setting.

#include "review/palettes/CPaletteToolBase.h"
#include "shell/facade/CKVR_FilterData.h"
#include "toolkit/CButtonBase.h"
#include "toolkit/CComboBoxBase.h"
#include "toolkit/CRadioBarBase.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

class CPaletteToolSetting : public CPaletteToolBase {
public:
  static constexpr UINT kTemplate = 131;
  static constexpr int kSlotBarId = 1047;
  static constexpr int kFirstLabelId = 1013;
  static constexpr int kPresetListId = 1016;
  static constexpr int kSavePresetId = 1017;
  static constexpr int kDeletePresetId = 1018;
  static constexpr int kWriteSettingsId = 1008;
  static constexpr int kSaveImageId = 1009;
  // The name of the neutral entry 0 (the user-setting slot).
  static constexpr int kUserSettingTextId = 104;

  explicit CPaletteToolSetting(CWnd* parent);

  CSize GetPanelSize(int fileType) override;
  void LayoutControls() override;
  void UpdateFromImage() override;
  BOOL OnInitDialog() override;
  BOOL DestroyWindow() override;

  // Appends a copy of a preset added elsewhere (an import).
  void AddPreset(const CKVR_FilterData* record);
  // The names of the entries, 0 included.
  std::vector<std::u16string> GetPresetNames() const;

protected:
  void DoDataExchange(CDataExchange* dx) override;
  afx_msg LRESULT OnRadioBarClicked(WPARAM id, LPARAM position);
  afx_msg void OnPresetSelected();
  afx_msg void OnSavePreset();
  afx_msg void OnDeletePreset();
  afx_msg void OnWriteSettings();
  afx_msg void OnSaveImage();
  DECLARE_MESSAGE_MAP()

private:
  void FillPresetList(std::vector<std::unique_ptr<CKVR_FilterData>> presets);
  void AppendEntry(std::unique_ptr<CKVR_FilterData> record);
  // The entry whose record is named name; -1 when none.
  int FindEntry(const FString& name) const;
  // The names of entries 1 onward, for the saved-setting dialog; the name
  // chosen there, empty when it was cancelled.
  std::u16string AskName(int mode) const;
  bool IsRaw() const;

  CRadioBarBase m_SlotBar;
  std::array<CStaticBase, 3> m_Labels;
  CComboBoxBase m_Presets;
  CButtonBase m_SavePreset;
  CButtonBase m_DeletePreset;
  CButtonBase m_WriteSettings;
  CButtonBase m_SaveImage;
  // The combo entries' records, in entry order.
  std::vector<std::unique_ptr<CKVR_FilterData>> m_Records;
};
