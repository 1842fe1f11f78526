#include "output/print/PrintLayout.h"

#include "toolkit/CET_Calc.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

std::u16string Widen(const char* text) { return std::u16string(text, text + std::char_traits<char>::length(text)); }

// The most prints of `length` with gaps of 5 % whose span, cut to whole
// dots, fits into `room`: span k = k x length + (k - 1) x 0.05 x length, and
// a span cut to whole dots fits when it is less than room + 1.
int PrintsThatFit(double length, int room) {
  if (!(length > 0.0) || room <= 0) return 0;
  const auto fits = [length, room](double k) { return k * length + (k - 1) * 0.05 * length < room + 1.0; };
  double k = std::floor((room + 1.0 + 0.05 * length) / (1.05 * length));
  while (k > 0 && !fits(k)) --k;
  while (fits(k + 1)) ++k;
  return static_cast<int>(k);
}

// Device lengths of a print size; heights along the vertical axis use the
// vertical resolution, so a printer of 600 x 1200 dpi prints the size asked for.
double PrintWidth(const PrintSizeEntry& entry, const platform::PrinterCaps& caps) { return caps.dpiX * entry.width; }
double PrintHeight(const PrintSizeEntry& entry, const platform::PrinterCaps& caps) { return caps.dpiY * entry.height; }

// More prints than this on one page only come from a printer that reports
// nonsense (4096 is 1.5-inch prints on a roll of 100 x 100 inches).
constexpr long long kMaxCellsPerPage = 4096;

long long CellsPerPage(const PrintSizeEntry& entry, const platform::PrinterCaps& caps, int usableHeight) {
  return static_cast<long long>(PrintsThatFit(PrintWidth(entry, caps), caps.printable.cx)) *
         PrintsThatFit(PrintHeight(entry, caps), usableHeight);
}

bool Fits(const PrintSizeEntry& entry, const platform::PrinterCaps& caps) {
  // A length cut to whole dots is under the room exactly when the length is.
  return PrintWidth(entry, caps) > 0.0 && PrintHeight(entry, caps) > 0.0 &&
         PrintWidth(entry, caps) < caps.printable.cx && PrintHeight(entry, caps) < caps.printable.cy &&
         CellsPerPage(entry, caps, caps.printable.cy) <= kMaxCellsPerPage;
}

// Information lines: below the picture (the cell shortened) or over its bottom.
struct InfoPlacement {
  bool below;
  UINT align;
};
InfoPlacement PlaceInfo(int pos) {
  switch (pos) {
  case 7: return {true, DT_LEFT};
  case 8: return {true, DT_CENTER};
  case 4: return {false, DT_LEFT};
  case 5: return {false, DT_CENTER};
  case 6: return {false, DT_RIGHT};
  default: return {true, DT_RIGHT}; // 0, 9 and codes never offered
  }
}

UINT HeaderAlign(int pos) {
  switch (pos) {
  case 2: case 5: return DT_CENTER;
  case 3: case 6: return DT_RIGHT;
  default: return DT_LEFT;
  }
}

int InfoLineCount(const PrintLayoutInput& input) {
  if (!input.info) return 0;
  return (input.infoBasic ? 2 : 0) + (input.infoCapture ? 1 : 0);
}

PrintCell NewCell(RECT rect) {
  PrintCell cell(new CET_PrintPictData);
  cell->m_cell = rect;
  return cell;
}

void AddGrid(PrintLayout& layout, const PrintLayoutInput& input, const PrintSizeEntry& size, int top, int usable) {
  const double w = PrintWidth(size, input.caps), h = PrintHeight(size, input.caps);
  const double gx = 0.05 * w, gy = 0.05 * h;
  layout.columns = PrintsThatFit(w, input.caps.printable.cx);
  layout.rows = PrintsThatFit(h, usable);
  const int total = static_cast<int>(layout.columns * w + (layout.columns - 1) * gx);
  const int x0 = (input.caps.printable.cx - total) / 2;
  const int n = InfoLineCount(input);
  // Lines taller than the print leave it no height, never a negative one.
  const int block = std::min(n * input.lineHeight, static_cast<int>(h));
  const InfoPlacement place = PlaceInfo(input.infoPos);
  for (int r = 0; r < layout.rows; ++r) {
    for (int c = 0; c < layout.columns; ++c) {
      RECT rect;
      rect.left = static_cast<int>((w + gx) * c) + x0;
      rect.top = static_cast<int>((h + gy) * r) + top;
      rect.right = rect.left + static_cast<int>(w);
      rect.bottom = rect.top + static_cast<int>(h);
      int start;
      if (place.below) {
        rect.bottom -= block;
        start = rect.bottom;
      } else {
        start = rect.bottom - block;
      }
      PrintCell cell = NewCell(rect);
      for (int k = 0; k < n; ++k) {
        auto slot = std::make_unique<CET_PrintTextData>();
        slot->m_rect = {0, start + k * input.lineHeight - rect.top, static_cast<int>(w),
                        start + (k + 1) * input.lineHeight - rect.top};
        slot->m_format = place.align | DT_SINGLELINE | DT_VCENTER;
        cell->m_texts.push_back(std::move(slot));
      }
      layout.cells.push_back(std::move(cell));
    }
  }
}

} // namespace

int PrintSizeList::TableIndexOf(int selection) const {
  if (selection < 0) return -1;
  int seen = 0;
  for (std::size_t i = 0; i < available.size(); ++i)
    if (available[i] && seen++ == selection) return static_cast<int>(i);
  return -1;
}

int PrintSizeList::SelectionOf(int tableIndex) const {
  if (tableIndex < 0 || tableIndex >= static_cast<int>(available.size()) || !available[tableIndex]) return -1;
  return static_cast<int>(std::count(available.begin(), available.begin() + tableIndex, true));
}

PrintSizeList ListPrintSizes(const platform::PrinterCaps& caps, const std::u16string& fullPageText) {
  PrintSizeList list;
  for (std::size_t i = 0; i < PrintSizeTable.size(); ++i) {
    const PrintSizeEntry& entry = PrintSizeTable[i];
    if (!Fits(entry, caps)) continue;
    list.available[i] = true;
    const int cells = static_cast<int>(CellsPerPage(entry, caps, caps.printable.cy));
    char text[64];
    std::snprintf(text, sizeof text, "%dx%d (%d)", static_cast<int>(entry.height), static_cast<int>(entry.width),
                  cells);
    list.texts.push_back(Widen(text));
  }
  list.texts.push_back(fullPageText);
  return list;
}

std::u16string PrintSizeName(const std::u16string& entryText) {
  const auto paren = entryText.find(u'(');
  if (paren == std::u16string::npos) return entryText;
  std::u16string name = entryText.substr(0, paren);
  while (!name.empty() && name.back() == u' ') name.pop_back();
  return name;
}

int FindPrintSize(const std::vector<std::u16string>& texts, const std::u16string& name) {
  for (std::size_t i = 0; i < texts.size(); ++i)
    if (texts[i].find(name) != std::u16string::npos) return static_cast<int>(i);
  return -1;
}

void BorrowingCellDeleter::operator()(CET_PrintPictData* cell) const {
  if (!cell) return;
  (void)cell->m_picture.release(); // the print picture's, not the cell's
  delete cell;
}

void PrintLayout::DetachPictures() {
  for (auto& cell : cells) (void)cell->m_picture.release();
}

PrintLayout ComputePrintLayout(const PrintLayoutInput& input) {
  PrintLayout layout;
  const platform::PrinterCaps& caps = input.caps;
  layout.paper = {0, 0, caps.paper.cx, caps.paper.cy};
  layout.printable = {caps.offset.x, caps.offset.y, caps.offset.x + caps.printable.cx,
                      caps.offset.y + caps.printable.cy};
  // Both bands are kept free, wherever the text goes.
  int top = 0, bottom = caps.printable.cy;
  if (input.header) {
    top = input.bandHeight;
    bottom = caps.printable.cy - input.bandHeight;
    const int y = input.headerPos >= 4 && input.headerPos <= 6 ? bottom : 0;
    layout.headerTemplate = std::make_unique<CET_PrintTextData>();
    layout.headerTemplate->m_rect = {0, y, caps.printable.cx, y + input.bandHeight};
    layout.headerTemplate->m_format = HeaderAlign(input.headerPos) | DT_SINGLELINE | DT_VCENTER;
  }
  if (input.sizeIndex >= 0 && input.sizeIndex < static_cast<int>(PrintSizeTable.size())) {
    const long long cells = CellsPerPage(PrintSizeTable[input.sizeIndex], caps, bottom - top);
    if (cells >= 1 && cells <= kMaxCellsPerPage)
      AddGrid(layout, input, PrintSizeTable[input.sizeIndex], top, bottom - top);
  }
  if (layout.cells.empty()) {
    // The full page, also when the bands leave no room for a row of the size asked for.
    layout.columns = layout.rows = 1;
    layout.cells.push_back(NewCell({0, top, caps.printable.cx, std::max(top, bottom)}));
  }
  return layout;
}

int PrintPageCount(int pictures, int copies, int cellsPerPage) {
  if (cellsPerPage <= 0 || pictures <= 0 || copies <= 0) return 0;
  const long long total = static_cast<long long>(pictures) * copies;
  return static_cast<int>((total + cellsPerPage - 1) / cellsPerPage);
}

PageDisplay DescribePage(int pictures, int copies, int cellsPerPage, int currentPage) {
  PageDisplay display;
  const int pages = PrintPageCount(pictures, copies, cellsPerPage);
  if (pages <= 1) {
    display.text = u"1/1";
    return display;
  }
  currentPage = std::clamp(currentPage, 0, pages - 1);
  char text[32];
  std::snprintf(text, sizeof text, "%d/%d", currentPage + 1, pages);
  display.text = Widen(text);
  display.previousEnabled = currentPage > 0;
  display.nextEnabled = currentPage < pages - 1;
  return display;
}

std::vector<CET_PrintTextData*> ComposedPage::TextPointers() const {
  std::vector<CET_PrintTextData*> pointers;
  for (const auto& text : texts) pointers.push_back(text.get());
  return pointers;
}

ComposedPage ComposePrintPage(PrintLayout& layout, const std::vector<CET_PrintPictData*>& pictures, int copies,
                              int page, const InfoPrintSetting& info, const HeadFootPrintSetting& header) {
  ComposedPage composed;
  if (layout.headerTemplate) {
    auto text = std::make_unique<CET_PrintTextData>();
    text->CopyFrom(layout.headerTemplate.get());
    text->m_colour = header.m_Coler;
    text->m_font = UsablePrintFont(header.m_Font);
    text->m_text = std::u16string(header.m_strHeadFoot.View());
    composed.texts.push_back(std::move(text));
  }
  // Which information line each of the (at most three) slots shows.
  int lineOfSlot[3] = {-1, -1, -1};
  int next = 0;
  if (info.m_nBasic) {
    lineOfSlot[next++] = 0;
    lineOfSlot[next++] = 1;
  }
  if (info.m_nCapture) lineOfSlot[next] = 2;

  layout.DetachPictures(); // cells left empty on a last page keep no stale pointer
  copies = std::max(1, copies);
  const long long cellCount = static_cast<long long>(layout.cells.size());
  const long long total = static_cast<long long>(pictures.size()) * copies;
  for (long long k = 0; k < cellCount; ++k) {
    const long long i = page * cellCount + k;
    if (page < 0 || i >= total) break;
    const CET_PrintPictData* picture = pictures[static_cast<std::size_t>(i / copies)];
    CET_PrintPictData& cell = *layout.cells[static_cast<std::size_t>(k)];
    cell.m_path = picture->m_path;
    cell.m_upsideDown = picture->m_upsideDown;
    cell.m_sourceArea = picture->m_sourceArea;
    std::copy(std::begin(picture->m_dialogValues), std::end(picture->m_dialogValues), cell.m_dialogValues);
    cell.m_secondArea = picture->m_secondArea;
    cell.m_infoLines = picture->m_infoLines;
    cell.m_picture.reset(picture->m_picture.get());
    for (std::size_t s = 0; s < cell.m_texts.size(); ++s) {
      auto slot = std::make_unique<CET_PrintTextData>();
      slot->CopyFrom(cell.m_texts[s].get());
      const int line = s < 3 ? lineOfSlot[s] : -1;
      slot->m_text = line >= 0 && line < static_cast<int>(cell.m_infoLines.size()) ? cell.m_infoLines[line]
                                                                                    : std::u16string();
      slot->m_colour = info.m_Coler;
      slot->m_font = UsablePrintFont(info.m_Font);
      cell.m_texts[s] = std::move(slot);
    }
    composed.cells.push_back(&cell);
  }
  // A page without cells draws nothing, not even its header.
  if (composed.cells.empty()) composed.texts.clear();
  return composed;
}

LOGFONTW UsablePrintFont(LOGFONTW font) {
  if (font.lfHeight <= 0) font.lfHeight = 100;
  return font;
}

PaperLabels DescribePaper(const platform::PrinterCaps& caps) {
  PaperLabels labels;
  if (caps.dpiX <= 0 || caps.dpiY <= 0) return labels;
  const int mmWidth = static_cast<int>(static_cast<double>(caps.paper.cx) / caps.dpiX * 25.4 + 0.5);
  const int mmHeight = static_cast<int>(static_cast<double>(caps.paper.cy) / caps.dpiY * 25.4 + 0.5);
  char text[64];
  std::snprintf(text, sizeof text, "%.1f\" x %.1f\"", mmWidth / 25.4, mmHeight / 25.4);
  labels.inches = Widen(text);
  std::snprintf(text, sizeof text, "%dmm x %dmm", mmWidth, mmHeight);
  labels.millimetres = Widen(text);
  return labels;
}

PreviewPlacement PlacePreview(RECT frame, const platform::PrinterCaps& caps) {
  PreviewPlacement placement;
  if (caps.paper.cx <= 0 || caps.paper.cy <= 0) return placement;
  placement.rect = CET_Calc::FitRectInRect(frame, {0, 0, caps.paper.cx, caps.paper.cy});
  placement.scale = static_cast<double>(placement.rect.right - placement.rect.left) / caps.paper.cx;
  return placement;
}
