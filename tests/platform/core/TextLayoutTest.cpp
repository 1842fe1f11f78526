// DrawText's layout over a font of fixed 6-pixel characters and 13-pixel
// lines: which lines, cut where, placed where, with which result.

#include "platform/core/TextLayout.h"

#include <gtest/gtest.h>

#include <climits>

using platform::core::ITextMeasure;
using platform::core::LayOutText;
using platform::core::TextLayout;

namespace {

class FixedMeasure : public ITextMeasure {
public:
  int Width(std::u16string_view text) const override { return 6 * static_cast<int>(text.size()); }
  int Height() const override { return 13; }
  int Ascent() const override { return 10; }
  int ExternalLeading() const override { return 2; }
};

TextLayout Lay(std::u16string_view text, RECT rect, UINT format) { return LayOutText(text, rect, format, FixedMeasure()); }

std::vector<std::u16string> Lines(const TextLayout& layout) {
  std::vector<std::u16string> lines;
  for (const auto& line : layout.lines) lines.push_back(line.text);
  return lines;
}

} // namespace

TEST(TextLayout, SingleLinesAreAlignedAndPlacedVertically) {
  const RECT box{10, 20, 110, 60}; // 100 x 40
  struct Case {
    UINT format;
    RECT cell;
    int result;
  } cases[] = {
      {DT_SINGLELINE, {10, 20, 40, 33}, 13},
      {DT_SINGLELINE | DT_CENTER, {45, 20, 75, 33}, 13},
      {DT_SINGLELINE | DT_RIGHT, {80, 20, 110, 33}, 13},
      // Vertical centring and the bottom: the result is the text's bottom from the box's top.
      {DT_SINGLELINE | DT_CENTER | DT_VCENTER, {45, 33, 75, 46}, 26},
      {DT_SINGLELINE | DT_BOTTOM, {10, 47, 40, 60}, 40},
      // Without DT_SINGLELINE vertical placement does not apply.
      {DT_VCENTER, {10, 20, 40, 33}, 13},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    const TextLayout layout = Lay(u"Hello", box, c.format);
    ASSERT_EQ(layout.lines.size(), 1u);
    EXPECT_EQ(layout.lines[0].cell, c.cell);
    EXPECT_EQ(layout.result, c.result);
  }
}

TEST(TextLayout, EllipsesCutWhatDoesNotFit) {
  const RECT box{0, 0, 60, 13}; // ten characters
  // A centred line that fits keeps its alignment and text.
  TextLayout fits = Lay(u"Fits", box, DT_SINGLELINE | DT_CENTER | DT_END_ELLIPSIS);
  EXPECT_EQ(fits.lines[0].text, u"Fits");
  EXPECT_EQ(fits.lines[0].cell.left, 18);
  EXPECT_FALSE(fits.modified);
  // One that does not is cut at its end: as many characters as fit with "...".
  TextLayout cut = Lay(u"A long caption", box, DT_SINGLELINE | DT_END_ELLIPSIS | DT_MODIFYSTRING);
  EXPECT_EQ(cut.lines[0].text, u"A long ...");
  EXPECT_TRUE(cut.modified);
  EXPECT_EQ(cut.modifiedText, u"A long ...");
  // Without DT_MODIFYSTRING nothing is handed back.
  EXPECT_FALSE(Lay(u"A long caption", box, DT_SINGLELINE | DT_END_ELLIPSIS).modified);
  // A path keeps its last part, the file name, whole.
  TextLayout path =
      Lay(u"/home/user/Pictures/2024/name.jpg", RECT{0, 0, 120, 13}, DT_SINGLELINE | DT_PATH_ELLIPSIS);
  EXPECT_EQ(path.lines[0].text, u"/home/us.../name.jpg");
  EXPECT_LE(path.lines[0].cell.right - path.lines[0].cell.left, 120);
  // A file name wider than the box stays whole after the "...".
  EXPECT_EQ(Lay(u"/a/very_long_name.jpg", RECT{0, 0, 30, 13}, DT_SINGLELINE | DT_PATH_ELLIPSIS).lines[0].text,
            u".../very_long_name.jpg");
  // No separator: the end is cut.
  EXPECT_EQ(Lay(u"abcdefghijklmnop", box, DT_SINGLELINE | DT_PATH_ELLIPSIS).lines[0].text, u"abcdefg...");
  // Nothing fits: only the ellipsis; an empty text stays empty.
  EXPECT_EQ(Lay(u"abc", RECT{0, 0, 5, 13}, DT_SINGLELINE | DT_END_ELLIPSIS).lines[0].text, u"...");
  EXPECT_EQ(Lay(u"", box, DT_SINGLELINE | DT_END_ELLIPSIS).lines[0].text, u"");
  // A surrogate pair is never split.
  EXPECT_EQ(Lay(u"abcdef\U0001F600ghij", RECT{0, 0, 60, 13}, DT_SINGLELINE | DT_END_ELLIPSIS).lines[0].text,
            u"abcdef...");
}

TEST(TextLayout, WordBreaksAndLineFeedsMakeLines) {
  // 8 characters a line.
  const RECT box{0, 0, 48, 100};
  const TextLayout layout = Lay(u"one two three four", box, DT_WORDBREAK);
  EXPECT_EQ(Lines(layout), (std::vector<std::u16string>{u"one two", u"three", u"four"}));
  EXPECT_EQ(layout.result, 39);
  EXPECT_EQ(layout.lines[2].cell, (RECT{0, 26, 24, 39}));
  // Centred lines centre each line.
  EXPECT_EQ(Lay(u"one two three", box, DT_WORDBREAK | DT_CENTER).lines[1].cell.left, 9);
  // A word wider than the box stays whole on a line of its own.
  EXPECT_EQ(Lines(Lay(u"a verylongword b", box, DT_WORDBREAK)),
            (std::vector<std::u16string>{u"a", u"verylongword", u"b"}));
  // Line feeds start lines (CR LF, LF and CR alike); empty lines count.
  EXPECT_EQ(Lines(Lay(u"a\r\nb\n\nc\rd", box, 0)), (std::vector<std::u16string>{u"a", u"b", u"", u"c", u"d"}));
  // A single line ignores them.
  EXPECT_EQ(Lay(u"a\nb", box, DT_SINGLELINE).lines.size(), 1u);
  // DT_EXTERNALLEADING adds the font's leading to each line.
  EXPECT_EQ(Lay(u"a\nb", box, DT_EXTERNALLEADING).result, 30);
}

TEST(TextLayout, CalcRectBoundsTheText) {
  // One line: the rectangle's right and bottom move to bound it.
  EXPECT_EQ(Lay(u"Caption", RECT{5, 7, 5, 7}, DT_CALCRECT | DT_SINGLELINE).calcRect, (RECT{5, 7, 47, 20}));
  // Word breaks: the box's width decides the lines; the height grows with them.
  const TextLayout broken = Lay(u"one two three four", RECT{0, 0, 48, 0}, DT_CALCRECT | DT_WORDBREAK);
  EXPECT_EQ(broken.calcRect, (RECT{0, 0, 42, 39}));
  EXPECT_EQ(broken.result, 39);
  // A word wider than the box widens it.
  EXPECT_EQ(Lay(u"abcdefghijkl", RECT{0, 0, 30, 0}, DT_CALCRECT | DT_WORDBREAK).calcRect.right, 72);
  // An empty text is one empty line.
  EXPECT_EQ(Lay(u"", RECT{3, 4, 50, 50}, DT_CALCRECT).calcRect, (RECT{3, 4, 3, 17}));
}

TEST(TextLayout, PrefixesAreResolvedAndUnderlined) {
  const RECT box{0, 0, 200, 13};
  const TextLayout layout = Lay(u"&Open && save", box, DT_SINGLELINE);
  EXPECT_EQ(layout.lines[0].text, u"Open & save");
  ASSERT_EQ(layout.lines[0].underlines.size(), 1u);
  EXPECT_EQ(layout.lines[0].underlines[0], (std::pair<int, int>{0, 6}));
  EXPECT_EQ(Lay(u"Sa&ve", box, DT_SINGLELINE).lines[0].underlines[0], (std::pair<int, int>{12, 18}));
  // DT_NOPREFIX takes "&" as it stands; a last "&" stays too.
  EXPECT_EQ(Lay(u"A&B", box, DT_SINGLELINE | DT_NOPREFIX).lines[0].text, u"A&B");
  EXPECT_TRUE(Lay(u"A&B", box, DT_SINGLELINE | DT_NOPREFIX).lines[0].underlines.empty());
  EXPECT_EQ(Lay(u"AB&", box, DT_SINGLELINE).lines[0].text, u"AB&");
  // An underlined character cut by an ellipsis loses its underline.
  EXPECT_TRUE(Lay(u"abcdefghij&k", RECT{0, 0, 36, 13}, DT_SINGLELINE | DT_END_ELLIPSIS).lines[0].underlines.empty());
}

TEST(TextLayout, DegenerateRectanglesDoNotOverflow) {
  for (const RECT& r : {RECT{0, 0, 0, 0}, RECT{50, 50, 10, 10}, RECT{INT_MIN, INT_MIN, INT_MAX, INT_MAX},
                        RECT{INT_MAX - 1, INT_MAX - 1, INT_MAX, INT_MAX}}) {
    for (UINT format : {DT_SINGLELINE | DT_CENTER | DT_VCENTER | DT_END_ELLIPSIS, UINT{DT_WORDBREAK | DT_RIGHT},
                        DT_SINGLELINE | DT_BOTTOM | DT_PATH_ELLIPSIS, UINT{DT_CALCRECT}}) {
      const TextLayout layout = Lay(u"some words/and a path", r, format);
      ASSERT_FALSE(layout.lines.empty());
      for (const auto& line : layout.lines) EXPECT_LE(line.cell.top, line.cell.bottom);
    }
  }
}
