#pragma once
// The adjustment palette: one floating window for the whole program that
// stacks the tool panels and works on one review window at a time, the
// followed frame. A review window hands itself and its image over with
// WM_APP_ACTIVE_IMAGE; the palette keeps its own copy of what it shows and
// sends every edit back as a message, to the followed frame or, for what is
// written straight into a raw file, to the main frame.
//
//   CAdjustPalette* palette = CAdjustPalette::Open();
//   palette->SendMessage(WM_APP_ACTIVE_IMAGE, (WPARAM)&path, (LPARAM)frame);
//   ...
//   CAdjustPalette::ForgetFrame(frame);   // the review window goes
//   CAdjustPalette::Close();
//
// Panels by index (their bit in PaletteState is 1 << index): 0 presets, 1 tone,
// 2 white balance, 3 colour mode, 4 colour, 5 noise reduction, 6 histogram,
// 7 navigator.

#include "review/palettes/AdjustPaletteLinks.h"
#include "review/palettes/CPaletteBase.h"
#include "review/palettes/CPaletteToolBase.h"
#include "shell/facade/CTLM_ThumbnailData.h"
#include "toolkit/CET_Dib.h"
#include "toolkit/CET_FilterData.h"

#include <array>
#include <memory>

class CAdjustPalette : public CPaletteBase {
public:
  static constexpr UINT kTemplate = 133;
  static constexpr int kPanelCount = 8;
  static constexpr int kPresetPanel = 0;
  static constexpr int kTonePanel = 1;
  static constexpr int kWhiteBalancePanel = 2;
  static constexpr int kColorModePanel = 3;
  static constexpr int kColorPanel = 4;
  static constexpr int kNoisePanel = 5;
  static constexpr int kHistogramPanel = 6;
  static constexpr int kNavigatorPanel = 7;
  static constexpr int kRawFileType = 6;
  // The text of a custom setting's name.
  static constexpr int kCustomSettingNameTextId = 105;

  // The one palette, made when none exists; services default to the
  // application's.
  static CAdjustPalette* Open(IAdjustPaletteServices* services = nullptr);
  static void Close();
  static BOOL IsOpen() { return s_pInstance != nullptr; }
  static CAdjustPalette* GetInstance() { return s_pInstance; }
  // A review window that goes: the palette stops following it (keeping what
  // it shows) so nothing is ever sent to it again.
  static void ForgetFrame(IAdjustPaletteFrame* frame);

  ~CAdjustPalette() override;

  // What the panels read.
  CET_FilterData* GetSettings() { return m_pSettings.get(); }
  CET_FilterData* GetCustomSettings() { return m_pCustomSettings.get(); }
  int GetSlot() const { return m_nSlot; }
  int IsModified() const { return m_bModified; }
  int GetFileType() const { return m_nFileType; }
  FString GetPath() const { return m_strPath; }
  const CTLM_ThumbnailData* GetThumbnail() const { return &m_Thumbnail; }
  const CET_Dib* GetPreviewDib() const { return &m_PreviewDib; }
  IAdjustPaletteFrame* GetFrame() const { return m_pFrame; }
  int GetGrayPointMode() const { return m_bGrayPointMode; }
  void SetGrayPointMode(int on) { m_bGrayPointMode = on; }
  void GetClipWarnings(int* flag, int* type, BYTE* shadow, BYTE* highlight) const;
  IAdjustPaletteServices& Services() { return *m_pServices; }
  // The panel at an index; null for an empty place.
  CPaletteToolBase* GetPanel(int index) const;

  // What the panels ask for.
  void SendSettings(int slot, BOOL withRecord);
  // An edit in a panel: the current settings become custom settings (named
  // with the custom-setting text) and go to the frame as slot 3.
  void SendCustomSettings();
  void SendGrayPointMode(int on);
  void SendSaveRequest();
  void SetClipWarnings(int flag, int type, BYTE shadow, BYTE highlight);
  void SendVisibleRect(const FDoubleRect& rect);
  void SendWriteSettings();
  void SendWhiteBalance();
  void SendColorMode();
  void SendNoiseReduction();

  // Stacks the panels at their sizes for the image and fits the window to them.
  void LayoutPanels();
  void UpdatePanels();

  BOOL OnInitDialog() override;
  BOOL DestroyWindow() override;
  BOOL PreTranslateMessage(MSG* msg) override;

protected:
  explicit CAdjustPalette(IAdjustPaletteServices* services);
  void PostNcDestroy() override;

  afx_msg LRESULT OnPreviewSettings(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnSettingsSaved(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnClipWarnings(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnActiveImage(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnPreviewBitmap(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnVisibleRect(WPARAM wParam, LPARAM lParam);
  afx_msg LRESULT OnPresetAdded(WPARAM wParam, LPARAM lParam);
  DECLARE_MESSAGE_MAP()

private:
  struct RecordDeleter {
    void operator()(CET_FilterData* record) const { record->Delete(); }
  };
  using Record = std::unique_ptr<CET_FilterData, RecordDeleter>;

  CRect GetInitialRect();
  // A new settings record of the kind for the file type.
  Record NewRecord() const;
  void UpdatePanel(int index);
  LRESULT SendToFrame(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT SendToMainFrame(UINT message, LPARAM lParam);

  static CAdjustPalette* s_pInstance;

  IAdjustPaletteServices* m_pServices;
  std::array<std::unique_ptr<CPaletteToolBase>, kPanelCount> m_Panels;
  // PaletteState as read: the places without a panel keep their bits.
  DWORD m_dwStoredState = 0;
  IAdjustPaletteFrame* m_pFrame = nullptr;
  FString m_strPath;
  int m_nFileType = 0;
  CTLM_ThumbnailData m_Thumbnail;
  int m_bPending = 0;
  CET_Dib m_PreviewDib;
  Record m_pSettings;
  Record m_pCustomSettings;
  int m_nSlot = 0;
  int m_bModified = 0;
  int m_bWarnings = 0;
  BYTE m_nShadow = 0;
  BYTE m_nHighlight = 0;
  int m_nHistType = 0;
  int m_bGrayPointMode = 0;
};
