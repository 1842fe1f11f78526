#pragma once
// The save dialog: what to save and how. Mode 0 develops and saves a browser
// selection of raw files, mode 1 the one image of a review window (raw, JPEG
// or TIFF), mode 2 copies out the embedded JPEG pictures of a selection. The
// caller sets the mode with exactly one of SetThumbnailList or SetReviewImage,
// runs DoModal and on IDOK takes the job with GetSaveJob. The dialog keeps the
// user's choices in the application's settings and offers them next time; it
// does not look at existing outputs (its callers ask about them).
//
// OK stays in the dialog while the destination folder is missing or cannot be
// written, or (mode 1) while the file name is empty or names a folder.

#include "output/SaveDlgModel.h"

#include "toolkit/CBasicButton.h"
#include "toolkit/CCheckBox.h"
#include "toolkit/CComboBoxBase.h"
#include "toolkit/CDialogBase.h"
#include "toolkit/CGroupeBoxBase.h"
#include "toolkit/CStaticBase.h"
#include "toolkit/CTrackBarBase.h"

#include <array>
#include <memory>
#include <vector>

class CET_ThumbnailData;
class CET_ThumbnailDataManager;
class CKVR_FilterData;
class CSaveJob;

class CSaveDlg : public CDialogBase {
public:
  static constexpr UINT kTemplate = 219;
  static constexpr std::array<int, 3> kSourceIds{1057, 1058, 1106};
  static constexpr std::array<int, 3> kSettingKindIds{1150, 1151, 1152};
  static constexpr int kPresetId = 1155;
  static constexpr int kWriteSettingsId = 1153;
  static constexpr int kSizeValueId = 1123;
  static constexpr int kFileNameValueId = 1125;
  static constexpr int kSettingsLineId = 1130;
  static constexpr int kOutputSizeId = 1135;
  static constexpr int kColorSpaceId = 1136;
  static constexpr int kFileFormatId = 1137;
  static constexpr int kQualityLabelId = 1138;
  static constexpr int kQualityId = 1139;
  static constexpr int kChooseFolderId = 1051;
  static constexpr int kFolderId = 1141;
  static constexpr int kFileNameId = 1142;

  explicit CSaveDlg(CWnd* parent);
  ~CSaveDlg() override;

  // Flag 1: mode 0 (develop and save), 0: mode 2 (extract); then collects the
  // list's sources. The list is read only here.
  void SetThumbnailList(const CET_ThumbnailDataManager* list, int flag);
  // Mode 1: the image, its setting mode (1-4) and settings (cloned, may be
  // null) and whether writing the settings into the raw file is offered.
  void SetReviewImage(const CET_ThumbnailData* image, int settingMode, const CKVR_FilterData* settings,
                      int writeSettingsEnabled);
  // After IDOK: the choices and paths into the job.
  void GetSaveJob(CSaveJob* job) const;

  int GetMode() const { return m_nMode; }
  void SelectSource(int source);
  void SelectSettingKind(int kind);
  int GetSelectedSource() const;
  int GetSelectedSettingKind() const;

  BOOL OnInitDialog() override;
  void OnOK() override;

protected:
  void DoDataExchange(CDataExchange* dx) override;
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  afx_msg void OnFileFormatChanged();
  afx_msg void OnChooseFolder();
  afx_msg LRESULT OnTrackBarChanged(WPARAM, LPARAM) { return 0; }
  DECLARE_MESSAGE_MAP()

private:
  // 0 mode 0, 1 mode 1 raw, 2 mode 1 other, 3 mode 2.
  int LayoutVariant() const;
  bool IsOtherImage() const { return m_nMode == 1 && !m_bRaw; }
  std::vector<std::pair<int, CWnd*>> Controls();
  void SetUpLooks();
  void FillCombos();
  void FillPresetCombo();
  void LayoutControls();
  void ReadSettings();
  void StoreSettings();
  void UpdateSourceTexts();
  void UpdateSizeText();
  void ShowQualityRow(bool show);
  int GetFileFormat() const;
  FString FolderText() const;
  FString NameText() const;

  int m_nMode = 0;
  SaveSources m_Sources;
  // Mode 1: the image.
  FString m_strImagePath;
  FString m_strImageName;
  int m_nImageWidth = 0;
  int m_nImageHeight = 0;
  bool m_bRaw = false;
  bool m_bJpeg = false;
  int m_nWriteSettingsEnabled = 0;
  int m_nSettingMode = 0;
  std::unique_ptr<CKVR_FilterData> m_pSettings;
  // What OnOK read.
  int m_nWriteSettings = 0;
  int m_nSizeMode = 0;
  int m_nColorSpace = 0;
  int m_nFileType = 0;
  int m_nQualityStep = 8;
  std::vector<FString> m_Inputs;
  std::vector<FString> m_Outputs;
  int m_nSavePlace = 0;
  FString m_strLastFolder;
  // The preset combo's records, in item order.
  std::vector<std::unique_ptr<CKVR_FilterData>> m_Presets;

  std::array<CStaticBase, 4> m_Headings;
  std::array<CGroupeBoxBase, 4> m_Boxes;
  std::array<CGroupeBoxBase, 4> m_Lines;
  std::array<CCheckBox, 3> m_SourceBoxes;
  CStaticBase m_SizeLabel, m_SizeValue, m_NameLabel, m_NameValue;
  std::array<CCheckBox, 3> m_SettingKinds;
  CComboBoxBase m_PresetCombo;
  CCheckBox m_WriteSettings;
  CStaticBase m_SettingsLine;
  CStaticBase m_OutputSizeLabel, m_ColorSpaceLabel, m_FormatLabel, m_QualityLabel;
  CComboBoxBase m_OutputSizeCombo, m_ColorSpaceCombo, m_FormatCombo;
  CTrackBarBase m_Quality;
  CBasicButton m_ChooseFolder;
  CEdit m_Folder;
  CStaticBase m_FileNameLabel;
  CEdit m_FileName;
  CBasicButton m_OK, m_Cancel;
};
