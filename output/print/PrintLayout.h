#pragma once
// The geometry of printing: from the capabilities of the application's
// printer, the print sizes that fit, the grid of picture cells on a page,
// the header or footer band and the place of every cell's information
// lines; and, for one page, the cells filled with their pictures, lines and
// the page's header or footer. The preview and the printer draw the same
// cells (printer device units, relative to the printable area's corner), so
// what the preview shows is what comes out. Nothing here draws or asks a
// device: the fonts' heights are measured on the printer's DC by the caller
// (MeasurePrintFonts).

#include "platform/afx/AfxPrinters.h"
#include "shell/app/CAppSettings.h"
#include "toolkit/CET_PrintDraw.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

// One print size: inches along the printer's vertical and horizontal axes
// (never turned to fit) and the information font's size in points.
struct PrintSizeEntry {
  double height;
  double width;
  int infoFontPoints;
};

inline constexpr std::array<PrintSizeEntry, 6> PrintSizeTable{{
    {8.0, 10.0, 10}, {5.0, 7.0, 10}, {4.0, 6.0, 10}, {3.0, 5.0, 8}, {2.0, 3.0, 6}, {1.5, 1.5, 4}}};

// The print sizes that fit one printer, as the print-size list shows them:
// the available sizes in table order ("%dx%d (%d)": inches and cells per
// page), then the full-page entry.
struct PrintSizeList {
  std::array<bool, PrintSizeTable.size()> available{};
  std::vector<std::u16string> texts;

  // The table index of list entry `selection`; -1 for the full-page entry or
  // no selection.
  int TableIndexOf(int selection) const;
  // The list entry of a table index; -1 when that size is not listed.
  int SelectionOf(int tableIndex) const;
};

PrintSizeList ListPrintSizes(const platform::PrinterCaps& caps, const std::u16string& fullPageText);

// The name stored for a print-size entry: its text up to "(" without the
// blanks before it; the whole text when it has none.
std::u16string PrintSizeName(const std::u16string& entryText);
// The first entry whose text contains name; -1 when none does.
int FindPrintSize(const std::vector<std::u16string>& texts, const std::u16string& name);

// What the layout depends on besides the printer.
struct PrintLayoutInput {
  platform::PrinterCaps caps;
  int sizeIndex = -1;   // table index, -1 the full page
  int lineHeight = 0;   // one information line
  int bandHeight = 0;   // the header or footer
  bool info = false;    // information printing
  int infoBasic = 0;
  int infoCapture = 0;
  int infoPos = 0;
  bool header = false;  // header or footer printing
  int headerPos = 6;
};

// Cells borrow the print pictures' bitmaps: a cell lets go of its picture
// before it is deleted, so the bitmap stays its owner's.
struct BorrowingCellDeleter {
  void operator()(CET_PrintPictData* cell) const;
};
using PrintCell = std::unique_ptr<CET_PrintPictData, BorrowingCellDeleter>;

struct PrintLayout {
  RECT paper{};
  RECT printable{};  // on the paper
  int columns = 0;
  int rows = 0;
  // The cells of a page in reading order, each with its text slots.
  std::vector<PrintCell> cells;
  // The header or footer's place and alignment; null without one.
  std::unique_ptr<CET_PrintTextData> headerTemplate;

  // Lets every cell go of the picture it shows (before the pictures are freed).
  void DetachPictures();
};

PrintLayout ComputePrintLayout(const PrintLayoutInput& input);

// Pages needed for that many pictures, each printed `copies` times; 0 without cells.
int PrintPageCount(int pictures, int copies, int cellsPerPage);

// The page counter and the page buttons.
struct PageDisplay {
  std::u16string text;
  bool previousEnabled = false;
  bool nextEnabled = false;
};
PageDisplay DescribePage(int pictures, int copies, int cellsPerPage, int currentPage);

// One page made ready to draw: its cells (the layout's, filled) and its texts.
struct ComposedPage {
  std::vector<CET_PrintPictData*> cells;
  std::vector<std::unique_ptr<CET_PrintTextData>> texts;
  std::vector<CET_PrintTextData*> TextPointers() const;
};

// Fills the cells of `page` with print pictures: each picture fills `copies`
// cells in a row, with its path, crop, information lines and bitmap; the text
// slots get their lines by the information setting, its colour and font; the
// header or footer gets its text, colour and font. `info` and `header` say
// whether those are printed at all (the layout already holds only the slots
// and template they need).
ComposedPage ComposePrintPage(PrintLayout& layout, const std::vector<CET_PrintPictData*>& pictures, int copies,
                              int page, const InfoPrintSetting& info, const HeadFootPrintSetting& header);

// The paper's size as the print dialog labels it, in inches and millimetres
// (rounded to whole millimetres first); empty without a resolution.
struct PaperLabels {
  std::u16string inches;
  std::u16string millimetres;
};
PaperLabels DescribePaper(const platform::PrinterCaps& caps);

// Where the preview of the paper goes in its frame (the frame already shrunk)
// and its scale in preview pixels per device unit.
struct PreviewPlacement {
  RECT rect{};
  double scale = 0.0;
};
PreviewPlacement PlacePreview(RECT frame, const platform::PrinterCaps& caps);

// A print font as it is used: a size (lfHeight, tenths of a point) that is
// not positive counts as 10 points.
LOGFONTW UsablePrintFont(LOGFONTW font);

// The sample whose extent gives an information line's height.
inline constexpr char16_t kPrintFontSample[] =
    u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789!\"\\@~ ";
