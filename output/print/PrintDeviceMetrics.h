#pragma once
// What the print layout reads from the printer's DC: its page (paper,
// printable area, resolution) and the heights of the information and header
// fonts at its resolution.

#include "platform/afx/AfxPrinters.h"
#include "shell/app/CAppSettings.h"

#include "platform/win/WinGdi.h"

platform::PrinterCaps ReadPrinterCaps(HDC printer);

struct PrintFontMetrics {
  int lineHeight = 0;     // an information line on the printer
  double textRatio = 1.0; // that height over the font's at its size number as a logical height
  int bandHeight = 0;     // the header or footer line on the printer
};

// Font sizes are tenths of a point; a stored size that is not positive
// counts as 10 points.
PrintFontMetrics MeasurePrintFonts(HDC printer, const InfoPrintSetting& info, const HeadFootPrintSetting& header);
