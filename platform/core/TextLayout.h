#pragma once
// DrawText's layout, apart from fonts and drawing: which lines, cut where,
// with which ellipses and underlined prefixes, at which cells, with which
// result. It asks a font only for widths and its line metrics, so the same
// decisions come out on every DC that measures with the same font engine
// (the raster DC, the recording DC, printers). Qt-free.

#include "platform/win/WinGdi.h"

#include <string>
#include <string_view>
#include <vector>

namespace platform::core {

// What layout needs of a font.
class ITextMeasure {
public:
  virtual ~ITextMeasure() = default;
  // The advance of a run of text in pixels.
  virtual int Width(std::u16string_view text) const = 0;
  virtual int Height() const = 0;          // ascent + descent
  virtual int Ascent() const = 0;
  virtual int ExternalLeading() const = 0;
};

struct LaidOutLine {
  std::u16string text; // as drawn: prefixes resolved, ellipsis applied
  RECT cell{};         // where it lands: its width by its line height
  // Characters drawn underlined ("&" prefixes): [x0, x1) relative to cell.left.
  std::vector<std::pair<int, int>> underlines;
};

struct TextLayout {
  std::vector<LaidOutLine> lines;
  // DrawText's result: the height of the text, or with DT_VCENTER or
  // DT_BOTTOM the offset from the rectangle's top to the text's bottom.
  int result = 0;
  // What DT_CALCRECT makes of the rectangle.
  RECT calcRect{};
  // DT_MODIFYSTRING with an ellipsis that cut the text: the text as drawn.
  bool modified = false;
  std::u16string modifiedText;
};

TextLayout LayOutText(std::u16string_view text, const RECT& rect, UINT format, const ITextMeasure& measure);

} // namespace platform::core
