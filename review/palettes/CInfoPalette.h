#pragma once
// The information palette: one small floating window for the whole program
// that tells everything known about one file: a picture of it, its format,
// pixel size, file size and place, seventeen lines of shooting data and the
// development settings stored in it, and a button that copies all of it to
// the clipboard as text. It never writes into files.
//
// It follows what the user looks at: the browser tells it that its focused
// file changed (WM_APP_SHOW_INFO), and it shows the browser's single selected
// file; a review window tells it that it became active or changed its image
// (WM_APP_ACTIVE_IMAGE with its IAdjustPaletteFrame), and it shows that
// window's image. When the main frame has written white balance, colour mode,
// noise reduction or settings into the file shown, it refreshes those lines.
//
//   CInfoPalette* palette = CInfoPalette::Open();
//   palette->SendMessage(WM_APP_SHOW_INFO, (WPARAM)&path, 0);
//   palette->ShowWindow(SW_SHOW);
//   ...
//   CInfoPalette::Close();   // also the close button and Escape
//
// Its position is kept in the settings (section Info) when it closes.

#include "review/controls/CListCtrlInfo.h"
#include "review/controls/CMiniImageWnd.h"
#include "review/palettes/CPaletteBase.h"
#include "review/palettes/InfoPaletteLinks.h"
#include "review/palettes/InfoPaletteTexts.h"
#include "shell/facade/CTLM_ThumbnailData.h"
#include "toolkit/CBasicButton.h"
#include "toolkit/CGroupeBoxBase.h"
#include "toolkit/CStaticBase.h"

#include <array>

class CInfoPalette : public CPaletteBase {
public:
  static constexpr UINT kTemplate = 130;
  static constexpr int kGroupId = 1070;
  static constexpr int kPictureId = 1073;
  static constexpr int kFirstStaticId = 1074; // four label and value pairs to 1081
  static constexpr int kShootingListId = 1083;
  static constexpr int kSettingsListId = 1082;
  static constexpr int kCopyId = 1003;
  static constexpr int kCloseId = 1002;
  static constexpr int kClientWidth = 460;
  static constexpr int kClientHeight = 598;

  // The one palette, made (window and all) when none exists; null when its
  // window cannot be made. Services default to the application's.
  static CInfoPalette* Open(IInfoPaletteServices* services = nullptr);
  // Destroys the window (which keeps its position and deletes the palette);
  // FALSE when there was none.
  static BOOL Close();
  static BOOL IsOpen() { return s_pInstance != nullptr; }
  static CInfoPalette* GetInstance() { return s_pInstance; }

  ~CInfoPalette() override;

  // The file shown (an empty path: none).
  const CTLM_ThumbnailData& GetRecord() const { return m_Record; }

  BOOL OnInitDialog() override;
  // Keeps the window's rectangle in the settings, then destroys it.
  BOOL DestroyWindow() override;

protected:
  explicit CInfoPalette(IInfoPaletteServices* services);
  void DoDataExchange(CDataExchange* dx) override;
  void PostNcDestroy() override;

  afx_msg LRESULT OnShowInfo(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnActiveImage(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnWBChanged(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnSettingsSaved(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnColorModeChanged(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnNoiseChanged(WPARAM wParam, LPARAM lParam);
  afx_msg void OnCopyToClipboard();
  afx_msg void OnCloseButton() { OnCancel(); }
  DECLARE_MESSAGE_MAP()

private:
  // The saved place, kept on the screen; the client area 460 x 598.
  void PlaceWindow();
  void InitControls();
  void InitLists();
  // Shows the record: the statics, the picture and both lists.
  void UpdateInfo();
  void ClearLists();
  void FillLists(const InfoShootingData& data);
  void SetShootingValue(int row, const InfoCell& cell);
  // Writes the cells the grid decides, those of the mask only (by row, a bit
  // per column).
  void SetSettingsCells(const InfoSettingsGrid& grid, const std::array<unsigned, 8>& columns);
  // The shooting information of the shown file afresh, when the message's
  // path is the shown file's; false otherwise.
  bool FreshDataFor(WPARAM pathPointer, InfoShootingData* data);
  std::u16string BuildClipboardText() const;

  static CInfoPalette* s_pInstance;

  IInfoPaletteServices* m_pServices;
  InfoPaletteTexts m_Texts;
  CTLM_ThumbnailData m_Record;
  int m_bPending = 0;
  int m_nSelectionCount = 0;
  CGroupeBoxBase m_Group;
  CMiniImageWnd m_Picture;
  std::array<CStaticBase, 8> m_Statics;
  CListCtrlInfo m_ShootingList;
  CListCtrlInfo m_SettingsList;
  CBasicButton m_Copy;
  CBasicButton m_Close;
};
