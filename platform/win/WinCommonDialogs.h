#pragma once
// The common dialogs the user interface asks for: printer set-up and print,
// font with colour, and opening or saving a file. Qt-free. Each one runs
// through the layer's dialog driver: Qt's dialogs for people, a script in
// tests (platform/testing/CommonDialogs.h). They answer FALSE when the user
// cancels, when there is nothing to choose from (no printer) and when no
// driver is installed.

#include "platform/win/WinPrint.h"

// ---- Printer set-up and print --------------------------------------------------

constexpr DWORD PD_ALLPAGES = 0x00000000;
constexpr DWORD PD_SELECTION = 0x00000001;
constexpr DWORD PD_PAGENUMS = 0x00000002;
constexpr DWORD PD_NOSELECTION = 0x00000004;
constexpr DWORD PD_NOPAGENUMS = 0x00000008;
constexpr DWORD PD_COLLATE = 0x00000010;
constexpr DWORD PD_PRINTTOFILE = 0x00000020;
constexpr DWORD PD_PRINTSETUP = 0x00000040;
constexpr DWORD PD_RETURNDC = 0x00000100;
constexpr DWORD PD_RETURNDEFAULT = 0x00000400;
constexpr DWORD PD_USEDEVMODECOPIES = 0x00040000;
constexpr DWORD PD_USEDEVMODECOPIESANDCOLLATE = 0x00040000;
constexpr DWORD PD_DISABLEPRINTTOFILE = 0x00080000;
constexpr DWORD PD_HIDEPRINTTOFILE = 0x00100000;

// hDevMode and hDevNames name one printer choice of the layer (a printer and
// its DEVMODEW), not global memory: reach its settings with
// GetPrinterDevMode and its printer's name with GetPrinterName, and give it
// back with FreePrinterChoice. PrintDlgW with PD_RETURNDEFAULT makes a new
// choice of the default printer; otherwise it changes the one it is given
// (or makes one).
struct PRINTDLGW {
  DWORD lStructSize = sizeof(PRINTDLGW);
  HWND hwndOwner = nullptr;
  HANDLE hDevMode = nullptr;
  HANDLE hDevNames = nullptr; // the same choice as hDevMode
  HDC hDC = nullptr;          // PD_RETURNDC: a DC of the chosen printer
  DWORD Flags = 0;
  WORD nFromPage = 0;
  WORD nToPage = 0;
  WORD nMinPage = 0;
  WORD nMaxPage = 0;
  WORD nCopies = 1;
};
using PRINTDLG = PRINTDLGW;
using LPPRINTDLGW = PRINTDLGW*;
using LPPRINTDLG = PRINTDLGW*;

BOOL PrintDlgW(LPPRINTDLGW pd);
#define PrintDlg PrintDlgW
// The settings of a printer choice, changed in place; null for a stale handle.
LPDEVMODEW GetPrinterDevMode(HANDLE choice);
// The full name of the choice's printer (DEVMODEW's name is cut to 31
// characters); empty for a stale handle.
LPCWSTR GetPrinterName(HANDLE choice);
BOOL FreePrinterChoice(HANDLE choice);

// ---- Font with colour -------------------------------------------------------------

constexpr DWORD CF_SCREENFONTS = 0x00000001;
constexpr DWORD CF_PRINTERFONTS = 0x00000002;
constexpr DWORD CF_BOTH = CF_SCREENFONTS | CF_PRINTERFONTS;
constexpr DWORD CF_INITTOLOGFONTSTRUCT = 0x00000040;
constexpr DWORD CF_EFFECTS = 0x00000100;
constexpr DWORD CF_LIMITSIZE = 0x00002000;
constexpr DWORD CF_NOVECTORFONTS = 0x00000800;
constexpr DWORD CF_FORCEFONTEXIST = 0x00010000;

// lpLogFont's lfHeight is a pixel height at the LOGPIXELSY of hDC (the
// screen when null); the answer's is -MulDiv(iPointSize, LOGPIXELSY, 720).
// CF_EFFECTS offers underline, strike-out and the colour; CF_LIMITSIZE
// limits the size to nSizeMin..nSizeMax points.
struct CHOOSEFONTW {
  DWORD lStructSize = sizeof(CHOOSEFONTW);
  HWND hwndOwner = nullptr;
  HDC hDC = nullptr;
  LOGFONTW* lpLogFont = nullptr;
  INT iPointSize = 0; // tenths of a point, answered
  DWORD Flags = 0;
  COLORREF rgbColors = 0;
  LPARAM lCustData = 0;
  INT nSizeMin = 0;
  INT nSizeMax = 0;
};
using CHOOSEFONT = CHOOSEFONTW;
using LPCHOOSEFONTW = CHOOSEFONTW*;

BOOL ChooseFontW(LPCHOOSEFONTW cf);
#define ChooseFont ChooseFontW

// ---- Opening and saving files -------------------------------------------------------

constexpr DWORD OFN_READONLY = 0x00000001;
constexpr DWORD OFN_OVERWRITEPROMPT = 0x00000002;
constexpr DWORD OFN_HIDEREADONLY = 0x00000004;
constexpr DWORD OFN_NOCHANGEDIR = 0x00000008;
constexpr DWORD OFN_PATHMUSTEXIST = 0x00000800;
constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000;
constexpr DWORD OFN_EXPLORER = 0x00080000;
constexpr DWORD OFN_ENABLESIZING = 0x00800000;

// lpstrFilter: pairs of a description and a pattern list ("*.jpg;*.jpeg"),
// each text ending with a 0 character, the list with one more. nFilterIndex
// counts from 1 and is answered. lpstrFile holds the initial name and
// receives the chosen path (nMaxFile characters with the final 0); a path
// that does not fit fails. lpstrDefExt (without the dot) is added to a saved
// name that has no extension.
struct OPENFILENAMEW {
  DWORD lStructSize = sizeof(OPENFILENAMEW);
  HWND hwndOwner = nullptr;
  HINSTANCE hInstance = nullptr;
  LPCWSTR lpstrFilter = nullptr;
  LPWSTR lpstrCustomFilter = nullptr;
  DWORD nMaxCustFilter = 0;
  DWORD nFilterIndex = 0;
  LPWSTR lpstrFile = nullptr;
  DWORD nMaxFile = 0;
  LPWSTR lpstrFileTitle = nullptr;
  DWORD nMaxFileTitle = 0;
  LPCWSTR lpstrInitialDir = nullptr;
  LPCWSTR lpstrTitle = nullptr;
  DWORD Flags = 0;
  WORD nFileOffset = 0;    // the name's start within lpstrFile
  WORD nFileExtension = 0; // the extension's start (after the dot), 0 when none
  LPCWSTR lpstrDefExt = nullptr;
};
using OPENFILENAME = OPENFILENAMEW;
using LPOPENFILENAMEW = OPENFILENAMEW*;

BOOL GetOpenFileNameW(LPOPENFILENAMEW ofn);
BOOL GetSaveFileNameW(LPOPENFILENAMEW ofn);
#define GetOpenFileName GetOpenFileNameW
#define GetSaveFileName GetSaveFileNameW
