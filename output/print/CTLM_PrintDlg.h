#pragma once
// The print dialog: which pictures (all, marked or selected of the browser,
// or one file), how raw files are developed, the print size, rotation and
// cropping, several prints of each picture, shooting information and a
// header or footer; a preview of every page in which a cropped picture can
// be moved in its cell; Print sends every page to the application's printer
// and keeps the choices in the settings.
//
//   CTLM_PrintDlg dialog(frame);
//   dialog.SetSource(FString());          // or SetReviewSource(path, settings)
//   dialog.DoModal();

#include "output/print/CTLM_PrintPreviewWnd.h"
#include "output/print/PrintLayout.h"
#include "shell/app/CAppSettings.h"
#include "toolkit/CBasicButton.h"
#include "toolkit/CButtonBase.h"
#include "toolkit/CCheckBox.h"
#include "toolkit/CComboBoxBase.h"
#include "toolkit/CDialogBase.h"
#include "toolkit/CET_ThumbnailData.h"
#include "toolkit/CGroupeBoxBase.h"
#include "toolkit/CSpinBase.h"
#include "toolkit/CStaticBase.h"

#include "foundation/FString.h"

#include <cstdint>
#include <memory>
#include <vector>

class CET_FilterData;

// What the source check boxes say of a group of the browser's pictures.
struct PrintSourceStats {
  int count = 0;
  std::uint64_t bytes = 0;
  int width = 0; // the size all share; 0 x 0 when they differ
  int height = 0;
  bool hasEmptySize = false;
  bool raw = false; // the last one counted is a raw file
};

class CTLM_PrintDlg : public CDialogBase {
public:
  static constexpr UINT kTemplate = 237;
  enum : int {
    kSourceTitleId = 1088, kSourceFrameId = 1087, kAllId = 1057, kMarkedId = 1058, kSelectedId = 1106,
    kSizeLabelId = 1092, kSizeValueId = 1238, kSeparator1Id = 1193, kRawTitleId = 1094, kRawFrameId = 1093,
    kAsShotId = 1107, kAutoId = 1108, kCustomId = 1109, kSettingComboId = 1098, kSeparator2Id = 1194,
    kPrintTitleId = 1100, kPrintFrameId = 1099, kPrintSizeLabelId = 1101, kPrintSizeId = 1102,
    kAutoRotateId = 1110, kAutoCropId = 1111, kCopiesCheckId = 1112, kCopiesId = 1113, kInfoId = 1115,
    kInfoOptionsId = 1052, kHeadFootId = 1116, kHeadFootOptionsId = 1054, kPreviewTitleId = 1103,
    kPageLabelId = 1053, kPrevPageId = 1175, kPageDisplayId = 1177, kNextPageId = 1176, kSpinId = 1114,
    kPaperLabelId = 1195, kPaperMmId = 1196, kPaperInchId = 1104, kPreviewFrameId = 1105, kSetupId = 1051
  };

  explicit CTLM_PrintDlg(CWnd* parent);
  ~CTLM_PrintDlg() override;

  // The browser's pictures (empty path) or one file.
  void SetSource(const FString& path);
  // The review window's file with a copy of its settings (none for null).
  void SetReviewSource(const FString& path, const CET_FilterData* settings);

  // The settings raw files are printed with; null: each file's own.
  std::unique_ptr<CET_FilterData> GetPrintSettings() const;
  // Prints every page; FALSE only without a printer.
  BOOL Print();

  BOOL OnInitDialog() override;
  void OnOK() override;
  BOOL DestroyWindow() override;

  int GetPageCount() const { return m_nPageCount; }
  int GetCurrentPage() const { return m_nCurrentPage; }
  int GetCopiesPerPicture() const;
  const std::vector<CET_PrintPictData*>& PrintPictures() const { return m_Pictures; }
  const PrintLayout& Layout() const { return m_Layout; }
  CTLM_PrintPreviewWnd& Preview() { return m_Preview; }

protected:
  void DoDataExchange(CDataExchange* dx) override;
  // The browser's pictures: copies of all its thumbnail items.
  virtual BOOL GetBrowserThumbnails(CET_ThumbnailDataManager* list);
  // Gets the listed pictures ready under the progress dialog.
  virtual void RunPreparation(const std::vector<CET_PrintPictData*>& list, const CET_FilterData* settings);

  afx_msg void OnSourceAll();
  afx_msg void OnSourceMarked();
  afx_msg void OnSourceSelected();
  afx_msg void OnSettingAsShot();
  afx_msg void OnSettingAuto();
  afx_msg void OnSettingCustom();
  afx_msg void OnSettingSelChange();
  afx_msg void OnPrintSizeSelChange();
  afx_msg void OnCopiesSelChange();
  afx_msg void OnAutoRotate();
  afx_msg void OnAutoCrop();
  afx_msg void OnCopiesCheck();
  afx_msg void OnInfoCheck();
  afx_msg void OnHeadFootCheck();
  afx_msg void OnInfoOptions();
  afx_msg void OnHeadFootOptions();
  afx_msg void OnPrevPage();
  afx_msg void OnNextPage();
  afx_msg void OnPrintSetup();
  afx_msg LRESULT OnStartDialog(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnPrintPan(WPARAM wParam, LPARAM lParam);
  DECLARE_MESSAGE_MAP()

private:
  static int LoadPictCallback(CET_PrintPictData* cell, int left, int top, int right, int bottom, int* freeAfter,
                              void* dialog);

  void SetUpControls();
  void PlaceBottomButtons();
  void FillSettingCombo();
  void FreeSettingCombo();
  void SetSettingsMode(int mode);
  int GetSettingsMode() const;
  void ChangeSettingsMode(int mode);
  void BuildPictureList(int choice);
  void ClearPictures();
  void CountSourcePictures();
  void SetSourceChoice(int choice);
  void FillPrintSizeCombo();
  int GetPrintSizeIndex() const;
  std::u16string GetPrintSizeName() const;
  void SelectPrintSizeByName(const std::u16string& name);
  void ComputeLayout();
  void PreparePage(int page);
  void DropPage();
  void ShowPage(int page);
  void UpdatePreview(bool withPage);
  void Relayout();
  void RelayoutCurrentPage();
  void ResetCropRects();
  void RedrawPreviewNow();

  int m_bFromReview = 0;
  std::unique_ptr<CET_FilterData> m_pReviewSettings;
  FString m_strSinglePath;
  CET_ThumbnailDataManager m_Thumbnails;

  CTLM_PrintPreviewWnd m_Preview;
  PrintSizeList m_SizeList;
  PrintLayout m_Layout;
  platform::PrinterCaps m_Caps{};
  bool m_bHasCaps = false;
  double m_dPreviewScale = 0.0;
  double m_dTextRatio = 1.0;
  int m_nPageCount = 0;
  int m_nCurrentPage = 0;
  std::vector<CET_PrintPictData*> m_Pictures; // owned
  ComposedPage m_Page;
  std::vector<CET_PrintTextData*> m_PageTexts; // the page's texts as the preview's drawer holds them

  int m_bInfo = 0;
  InfoPrintSetting m_InfoSetting;
  int m_bHeadFoot = 0;
  HeadFootPrintSetting m_HeadFootSetting;
  int m_nSettingsMode = 0;
  bool m_bRawPresent = false;
  PrintSourceStats m_AllStats, m_MarkedStats, m_SelectedStats;
  bool m_bHasMarked = false;
  bool m_bHasSelected = false;

  CStaticBase m_SourceTitle, m_SizeLabel, m_SizeText, m_RawTitle, m_PrintTitle, m_PrintSizeLabel, m_PreviewTitle,
      m_PageLabel, m_PaperLabel, m_PaperMm, m_PaperInch;
  CGroupeBoxBase m_SourceFrame, m_Separator1, m_RawFrame, m_Separator2, m_PrintFrame, m_PageDisplay, m_PreviewFrame;
  CCheckBox m_SourceAll, m_SourceMarked, m_SourceSelected, m_AsShot, m_Auto, m_Custom, m_AutoRotate, m_AutoCrop, m_CopiesCheck,
      m_Info, m_HeadFoot;
  CComboBoxBase m_SettingCombo, m_PrintSize, m_Copies;
  CBasicButton m_InfoOptions, m_HeadFootOptions, m_Setup, m_OK, m_Cancel;
  CButtonBase m_PrevPage, m_NextPage;
  CSpinBase m_Spin;
};
