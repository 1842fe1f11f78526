#pragma once
// Printing under the names of the window system's interface: printer DCs,
// their capabilities, the device mode and the document and page calls.
// Qt-free.
//
// A printer DC draws like any other DC (MM_TEXT: one unit is one printer
// pixel) with logical (0, 0) at the printable area's top-left corner. A
// document begins with StartDoc; each page lies between StartPage and
// EndPage; EndDoc hands the finished document to its destination and
// AbortDoc drops it, so an aborted document, or one without a page, leaves
// nothing behind. The calls answer SP_ERROR (or 0) when out of order, on a
// DC that is no printer's, or when the printer failed.

#include "platform/win/WinGdi.h"

// Device modes: the settings a printer prints with. Only the fields below
// exist; printers' private data does not.
constexpr int CCHDEVICENAME = 32;
constexpr DWORD DM_ORIENTATION = 0x00000001;
constexpr DWORD DM_PAPERSIZE = 0x00000002;
constexpr DWORD DM_COPIES = 0x00000100;
constexpr DWORD DM_PRINTQUALITY = 0x00000400;
constexpr DWORD DM_YRESOLUTION = 0x00002000;
constexpr short DMORIENT_PORTRAIT = 1;
constexpr short DMORIENT_LANDSCAPE = 2;
constexpr short DMPAPER_LETTER = 1;
constexpr short DMPAPER_A4 = 9;

struct DEVMODEW {
  WCHAR dmDeviceName[CCHDEVICENAME] = {}; // the printer's name, cut to 31 characters
  WORD dmSpecVersion = 0x0401;
  WORD dmDriverVersion = 0;
  WORD dmSize = sizeof(DEVMODEW);
  WORD dmDriverExtra = 0;
  DWORD dmFields = 0;
  short dmOrientation = DMORIENT_PORTRAIT;
  short dmPaperSize = 0; // DMPAPER_*; 0: the printer's own paper
  short dmCopies = 1;    // copies of each page the printer makes
  short dmPrintQuality = 0; // horizontal dots per inch (read only)
  short dmYResolution = 0;  // vertical dots per inch (read only)
};
using DEVMODE = DEVMODEW;
using LPDEVMODEW = DEVMODEW*;
using LPDEVMODE = DEVMODEW*;

struct DOCINFOW {
  int cbSize = sizeof(DOCINFOW);
  LPCWSTR lpszDocName = nullptr; // the document's title
  LPCWSTR lpszOutput = nullptr;  // a file to print into instead of the printer (PDF)
  LPCWSTR lpszDatatype = nullptr;
  DWORD fwType = 0;
};
using DOCINFO = DOCINFOW;
using LPDOCINFO = DOCINFOW*;

constexpr int SP_ERROR = -1;

// A DC of the printer named `device` with the given settings (null: its
// defaults); the driver and port are not used. Null when there is no such
// printer (any more).
HDC CreateDCW(LPCWSTR driver, LPCWSTR device, LPCWSTR port, const DEVMODEW* devMode);
#define CreateDC CreateDCW

// The document and page calls: StartDoc answers a job number above 0,
// StartPage, EndPage and EndDoc a value above 0, AbortDoc one above 0 when
// there was a document; SP_ERROR on failure.
int StartDocW(HDC dc, const DOCINFOW* info);
#define StartDoc StartDocW
int StartPage(HDC dc);
int EndPage(HDC dc);
int EndDoc(HDC dc);
int AbortDoc(HDC dc);
