#pragma once
// Which printers the application prints on. Qt-free. By default the
// system's (CUPS) printers, the default one first, and always the printer
// into a PDF file (kPrintToFilePrinter), which is the default when CUPS has
// none; a PDF printer with given capabilities can take their place (tests,
// printing to a file).

#include "platform/win/WinPrint.h"

#include <string>

namespace platform {

// A printer's page in its own pixels: the paper, the printable area's corner
// on it and its size, and the resolution.
struct PrinterCaps {
  int dpiX = 600;
  int dpiY = 600;
  SIZE paper;
  POINT offset;
  SIZE printable;
  bool operator==(const PrinterCaps&) const = default;
};

// The printer into a PDF file every desktop's print dialog offers: 600 dpi,
// the locale's paper (A4, US Letter where the locale measures in inches)
// without margins; each document asks the user for its file (a save dialog
// on the GUI thread; elsewhere, or cancelled, the document does not start).
inline constexpr char16_t kPrintToFilePrinter[] = u"Print to File (PDF)";

// US Letter at 600 dpi with margins of 1/8 inch: paper 5100 x 6600, offsets
// 75, printable 4950 x 6450.
PrinterCaps LetterAt600Dpi();

// From now on the application's printer is a PDF printer of that name and
// those capabilities: each document goes to `outputFile` (a DOCINFO's
// lpszOutput takes precedence), written under a temporary name beside it and
// renamed into place by EndDoc. The printer counts as gone while the file's
// folder does not exist.
void UsePdfPrinter(const std::u16string& name, const std::string& outputFile, const PrinterCaps& caps);
// Back to the system's printers.
void UseSystemPrinters();

} // namespace platform
