#pragma once
// The framework's common dialogs: printer set-up and print, font with
// colour, opening and saving a file. Qt-free. DoModal answers IDOK or
// IDCANCEL; each dialog runs through the layer's dialog driver (Qt's dialogs
// for people, a script in tests), so it never depends on a window of its own.

#include "platform/afx/AfxDC.h"
#include "platform/afx/AfxWin.h"
#include "platform/win/WinCommonDialogs.h"

#include <string>
#include <vector>

// Printer set-up (printSetupOnly) or print. The application's printer is
// reached through CWinApp::GetPrinterDeviceDefaults and DoPrintDialog, which
// put its choice into m_pd.
class CPrintDialog {
public:
  explicit CPrintDialog(BOOL printSetupOnly,
                        DWORD flags = PD_ALLPAGES | PD_USEDEVMODECOPIES | PD_NOPAGENUMS | PD_HIDEPRINTTOFILE |
                                      PD_NOSELECTION,
                        CWnd* parent = nullptr);
  virtual ~CPrintDialog() = default;
  virtual INT_PTR DoModal();
  // The default printer's choice, without asking anyone.
  BOOL GetDefaults();
  // The settings of the choice in m_pd, changed in place (null without one).
  LPDEVMODEW GetDevMode() const;
  std::u16string GetDeviceName() const;
  // A DC of the chosen printer (also in m_pd.hDC), or null when it is gone.
  // The caller deletes it.
  HDC CreatePrinterDC();

  PRINTDLGW m_pd;
};

// Face, style, size and, with CF_EFFECTS, underline, strike-out and colour.
// The initial font's lfHeight is a pixel height on the screen (or on
// m_cf.hDC); GetSize answers tenths of a point.
class CFontDialog {
public:
  explicit CFontDialog(const LOGFONTW* initial = nullptr, DWORD flags = CF_EFFECTS | CF_SCREENFONTS,
                       CDC* printer = nullptr, CWnd* parent = nullptr);
  virtual ~CFontDialog() = default;
  CFontDialog(const CFontDialog&) = delete;
  CFontDialog& operator=(const CFontDialog&) = delete;
  virtual INT_PTR DoModal();
  void GetCurrentFont(LOGFONTW* font) const;
  std::u16string GetFaceName() const;
  int GetSize() const;
  COLORREF GetColor() const;
  int GetWeight() const { return m_lf.lfWeight; }
  BOOL IsItalic() const { return m_lf.lfItalic != 0; }
  BOOL IsUnderline() const { return m_lf.lfUnderline != 0; }
  BOOL IsStrikeOut() const { return m_lf.lfStrikeOut != 0; }

  CHOOSEFONTW m_cf;
  LOGFONTW m_lf;
};

// An open or save dialog. The filter given here separates its texts with
// "|" ("Pictures|*.jpg;*.png|All files|*.*||"); one set in m_ofn.lpstrFilter
// afterwards uses 0 characters, as the window system's.
class CFileDialog {
public:
  explicit CFileDialog(BOOL openFileDialog, LPCWSTR defaultExtension = nullptr, LPCWSTR fileName = nullptr,
                       DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, LPCWSTR filter = nullptr,
                       CWnd* parent = nullptr);
  virtual ~CFileDialog() = default;
  CFileDialog(const CFileDialog&) = delete;
  CFileDialog& operator=(const CFileDialog&) = delete;
  virtual INT_PTR DoModal();
  std::u16string GetPathName() const;
  std::u16string GetFileName() const;  // the name with its extension
  std::u16string GetFileExt() const;   // without the dot
  std::u16string GetFileTitle() const; // the name without its extension

  OPENFILENAMEW m_ofn;

private:
  BOOL m_open;
  std::u16string m_defaultExtension;
  std::u16string m_filter;
  std::vector<WCHAR> m_file;
};
