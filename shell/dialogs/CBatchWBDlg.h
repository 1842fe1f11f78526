#pragma once
// Chooses one white balance, or one colour mode, for several raw files at
// once. It offers only the choices every file has (in the first file's
// order), preselects the first file's current setting and, after OK, gives
// for every file the position of the chosen entry in that file's own list.
// It writes nothing: the main frame applies each (path, position) pair.
//
//   CBatchWBDlg dialog(this);
//   dialog.SetMode(CBatchWBDlg::kModeColorMode);   // colour-mode command only
//   dialog.SetFiles(&selectedRawFiles);
//   if (dialog.DoModal() == IDOK) dialog.GetResult(&paths, &positions);
//
// With no files, or no choice common to all of them, the dialog closes at
// once with IDCANCEL and shows nothing.

#include "shell/facade/CKVR_Data_FileList.h"
#include "toolkit/CBasicButton.h"
#include "toolkit/CComboBoxBase.h"
#include "toolkit/CDialogBase.h"
#include "toolkit/CET_ThumbnailData.h"
#include "toolkit/CStaticBase.h"

#include "foundation/FString.h"

#include <array>
#include <memory>
#include <vector>

// Where the dialog reads a file's choices and current settings. The
// application's lists and the raw file itself by default; tests give their own.
class IBatchChoiceSource {
public:
  virtual ~IBatchChoiceSource() = default;
  // The file's white-balance (colour-mode) choices into the caller's list;
  // FALSE when none could be read.
  virtual BOOL GetWBList(const FString& path, CKVR_Data_FileList<CKVR_WBData>* list) = 0;
  virtual BOOL GetColorModeList(const FString& path, CKVR_Data_FileList<CKVR_CMData>* list) = 0;
  // The position of the file's current white balance in its list; -1 when none.
  virtual int GetWhiteBalanceIndex(const FString& path, const CKVR_Data_FileList<CKVR_WBData>* list) = 0;
  // The file's current colour-mode descriptor from its shooting information.
  virtual FString GetColorModeDesc(const FString& path) = 0;
};
// The program's own source: the application's list and shooting-information
// caches, and the raw file's own white balance.
IBatchChoiceSource& ApplicationChoiceSource();

class CBatchWBDlg : public CDialogBase {
public:
  static constexpr UINT kTemplate = 267;
  static constexpr int kModeWhiteBalance = 0;
  static constexpr int kModeColorMode = 1;
  static constexpr int kHeadingId = 1169;
  static constexpr int kFileLineId = 1185;
  static constexpr int kChoicesId = 1186;
  static constexpr int kExplanationId = 1170;

  explicit CBatchWBDlg(CWnd* parent, IBatchChoiceSource* source = nullptr);
  ~CBatchWBDlg() override;

  void SetMode(int mode) { m_nMode = mode; }
  int GetMode() const { return m_nMode; }
  // Appends copies of the caller's items to the files to change.
  void SetFiles(const CET_ThumbnailDataManager* files);
  // After IDOK: the paths and, parallel to them, each file's position of the
  // chosen entry; the caller's arrays are replaced.
  void GetResult(std::vector<FString>* paths, std::vector<UINT>* indexes) const;

  BOOL OnInitDialog() override;
  void OnOK() override;
  // Frees the combo's item data before the window goes.
  BOOL DestroyWindow() override;

protected:
  void DoDataExchange(CDataExchange* dx) override;
  DECLARE_MESSAGE_MAP()

private:
  using Descriptor = std::array<char, kKVRDescriptorSize>;
  struct Candidate {
    FString name;
    Descriptor descriptor;
  };
  template <class T>
  bool FillList(BOOL (IBatchChoiceSource::*getList)(const FString&, CKVR_Data_FileList<T>*));
  BOOL FillWBList();
  BOOL FillColorModeList();
  void AddChoices(const std::vector<Candidate>& candidates);
  void PreselectWhiteBalance();
  void PreselectColorMode();
  // The file's position of the entry named name in its own list; -1 when the
  // list lacks it or cannot be read.
  int PositionInFileList(const FString& path, const FString& name);
  void FreeItemData();

  int m_nMode = kModeWhiteBalance;
  CET_ThumbnailDataManager m_Files;
  std::vector<FString> m_aResultPaths;
  std::vector<UINT> m_aResultIndexes;
  IBatchChoiceSource* m_pSource;
  std::vector<std::unique_ptr<Descriptor>> m_aItemData; // the combo items' descriptor copies
  CStaticBase m_Heading;
  CStaticBase m_FileLine;
  CComboBoxBase m_Choices;
  CStaticBase m_Explanation;
  CBasicButton m_OK;
  CBasicButton m_Cancel;
};
