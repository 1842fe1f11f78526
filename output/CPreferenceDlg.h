#pragma once
// The preferences: the splash window at start, the JPEG overwrite question of
// the save dialog, the program movies open with, the colour space assumed for
// raw files and the folder the save dialog proposes. It reads them from the
// application's settings when it opens and stores all six, under the
// settings lock, on OK; Cancel stores nothing. The settings file itself is
// written when the program ends.
//
// The chosen movie program must be a program file that exists: OK with any
// other path tells so and keeps the dialog open (mode "system default"
// stores the path as typed).

#include "toolkit/CBasicButton.h"
#include "toolkit/CCheckBox.h"
#include "toolkit/CDialogBase.h"
#include "toolkit/CGroupeBoxBase.h"
#include "toolkit/CStaticBase.h"

#include "foundation/FString.h"

#include <array>

class CPreferenceDlg : public CDialogBase {
public:
  static constexpr UINT kTemplate = 278;
  static constexpr int kSplashId = 1051;
  static constexpr int kJPEGAlertId = 1199;
  static constexpr int kSystemPlayerId = 1176;
  static constexpr int kChosenPlayerId = 1201;
  static constexpr int kBrowseId = 1202;
  static constexpr int kPlayerPathId = 1141;
  // The colour-space buttons in screen order, for the values 0 to 4.
  static constexpr std::array<int, 5> kColorSpaceIds{1204, 1205, 1207, 1206, 1230};
  static constexpr std::array<int, 2> kSavePlaceIds{1209, 1210};

  explicit CPreferenceDlg(CWnd* parent = nullptr);
  ~CPreferenceDlg() override;

  BOOL OnInitDialog() override;
  void OnOK() override;

  // The radio groups: each keeps its buttons exclusive (the toolkit's radio
  // buttons do not clear their siblings) and reads them back in order.
  void SelectMoviePlayer(int mode);
  void SelectColorSpace(int space);
  void SelectSavePlace(int place);
  int GetMoviePlayerMode() const;
  int GetColorSpace() const;
  int GetSavePlace() const;

protected:
  void DoDataExchange(CDataExchange* dx) override;
  void LayoutControls();
  afx_msg void OnSystemPlayer();
  afx_msg void OnChosenPlayer();
  afx_msg void OnBrowsePlayer();
  // The colour-space and save-place buttons: their group's selector.
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  DECLARE_MESSAGE_MAP()

private:
  void SetUpLooks();
  void ReadSettings();
  FString PlayerPath() const;

  std::array<CStaticBase, 4> m_Headings;
  std::array<CGroupeBoxBase, 4> m_Boxes;
  std::array<CGroupeBoxBase, 4> m_Separators;
  CCheckBox m_Splash;
  CCheckBox m_JPEGAlert;
  CCheckBox m_SystemPlayer;
  CCheckBox m_ChosenPlayer;
  CBasicButton m_Browse;
  CEdit m_PlayerPath;
  std::array<CCheckBox, 5> m_ColorSpaces;
  std::array<CCheckBox, 2> m_SavePlaces;
  CBasicButton m_OK;
  CBasicButton m_Cancel;
};

// True for a program the movies can be opened with: an absolute path of an
// existing regular file the user may run.
bool IsRunnableProgram(const FString& path);
