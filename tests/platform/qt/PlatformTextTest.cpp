// Text on DCs with the pinned DejaVu faces: fonts from LOGFONTW (faces,
// heights, weight, escapement), DrawText's fitting, breaking, ellipses,
// prefixes and clipping on the raster DC, and the same decisions seen on
// the recording DC.

#include "platform/core/RecordingDC.h"
#include "platform/testing/Headless.h"
#include "RasterCanvas.h"

#include <gtest/gtest.h>

namespace pt = platform::testing;

namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);

LOGFONTW Font(LONG height, const char16_t* face = u"Tahoma", LONG weight = FW_NORMAL) {
  LOGFONTW lf{};
  lf.lfHeight = height;
  lf.lfWeight = weight;
  for (int i = 0; face[i] && i < LF_FACESIZE - 1; ++i) lf.lfFaceName[i] = face[i];
  return lf;
}

// The bounding box of the pixels that are not the background.
RECT Ink(Canvas& c, COLORREF background = kWhite) {
  RECT box{c.width, c.height, 0, 0};
  for (int y = 0; y < c.height; ++y) {
    for (int x = 0; x < c.width; ++x) {
      if (c.Pixel(x, y) == background) continue;
      box.left = std::min<LONG>(box.left, x);
      box.top = std::min<LONG>(box.top, y);
      box.right = std::max<LONG>(box.right, x + 1);
      box.bottom = std::max<LONG>(box.bottom, y + 1);
    }
  }
  return box;
}

// A white canvas with black transparent text in the given font.
struct TextCanvas : Canvas {
  CFont font;
  explicit TextCanvas(int w, int h, const LOGFONTW& lf = Font(-11)) : Canvas(w, h) {
    FillAll(kWhite);
    font.CreateFontIndirect(&lf);
    dc.SelectObject(&font);
    dc.SetBkMode(TRANSPARENT);
    dc.SetTextColor(RGB(0, 0, 0));
  }
  ~TextCanvas() { dc.SelectStockObject(DEFAULT_GUI_FONT); }
};

class PlatformText : public ::testing::Test {
protected:
  void SetUp() override { pt::Init(); }
};

} // namespace

TEST_F(PlatformText, FacesFallBackToThePinnedFaces) {
  CDC screen;
  screen.Attach(GetDC(nullptr));
  EXPECT_EQ(screen.GetDeviceCaps(LOGPIXELSY), 96);
  WCHAR face[LF_FACESIZE] = {};
  ASSERT_GT(GetTextFaceW(screen, LF_FACESIZE, face), 0);
  EXPECT_EQ(std::u16string(face), u"DejaVu Sans") << "the GUI font";
  ReleaseDC(nullptr, screen.Detach());
  const std::pair<const char16_t*, const char16_t*> faces[] = {{u"Tahoma", u"DejaVu Sans"},
                                                               {u"No Such Face At All", u"DejaVu Sans"},
                                                               {u"Courier New", u"DejaVu Sans Mono"},
                                                               {u"Times New Roman", u"DejaVu Serif"},
                                                               {u"DejaVu Serif", u"DejaVu Serif"}};
  for (const auto& [asked, resolved] : faces) {
    TextCanvas c(4, 4, Font(-13, asked));
    ASSERT_GT(GetTextFaceW(c.dc, LF_FACESIZE, face), 0);
    EXPECT_EQ(std::u16string(face), resolved) << std::string(asked, asked + std::char_traits<char16_t>::length(asked));
  }
}

TEST_F(PlatformText, HeightsWeightAndEscapement) {
  for (const LONG h : {8, 11, 13, 16, 24, 83}) {
    SCOPED_TRACE(h);
    TEXTMETRICW character{}, cell{};
    {
      TextCanvas c(4, 4, Font(-h));
      c.dc.GetTextMetrics(&character);
    }
    {
      TextCanvas c(4, 4, Font(h));
      c.dc.GetTextMetrics(&cell);
    }
    // A negative height is the character height, a positive one the cell's.
    EXPECT_NEAR(character.tmHeight - character.tmInternalLeading, h, 1);
    EXPECT_NEAR(cell.tmHeight, h, 1);
  }
  TextCanvas normal(4, 4, Font(-13)), bold(4, 4, Font(-13, u"Tahoma", FW_BOLD));
  EXPECT_GT(bold.dc.GetTextExtent(u"Hello, World").cx, normal.dc.GetTextExtent(u"Hello, World").cx);
  EXPECT_EQ(normal.dc.GetTextExtent(u"Hello, World").cx, 79);

  // Escapement -900 runs the text downwards from its reference point.
  LOGFONTW down = Font(-16);
  down.lfEscapement = -900;
  TextCanvas turned(60, 80, down);
  turned.dc.TextOut(30, 4, u"WWWW");
  const RECT ink = Ink(turned);
  EXPECT_GT(ink.bottom - ink.top, 50);
  EXPECT_LT(ink.right - ink.left, 20);
  EXPECT_GE(ink.top, 4);
  EXPECT_LE(ink.right, 31);
}

TEST_F(PlatformText, WidthsAddUpAndMatchTheDrawnText) {
  TextCanvas c(200, 20, Font(-13));
  const int whole = c.dc.GetTextExtent(u"Hello, World").cx;
  const int parts = c.dc.GetTextExtent(u"Hello").cx + c.dc.GetTextExtent(u", World").cx;
  EXPECT_NEAR(whole, parts, 1);
  c.dc.TextOut(0, 0, u"Hello, World");
  const RECT ink = Ink(c);
  EXPECT_LE(ink.right, whole + 1);
  EXPECT_GE(ink.right, whole - 2);
  int fit = 0;
  SIZE size{};
  ASSERT_TRUE(GetTextExtentExPointW(c.dc, u"Hello, World", 12, c.dc.GetTextExtent(u"Hello").cx, &fit, nullptr, &size));
  EXPECT_EQ(fit, 5);
  EXPECT_EQ(size.cx, whole);
}

TEST_F(PlatformText, DrawTextFitsCutsAndBreaks) {
  TextCanvas c(120, 60);
  const int width = c.dc.GetTextExtent(u"Caption").cx;
  TEXTMETRICW tm{};
  c.dc.GetTextMetrics(&tm);
  // A centred line that fits: its ink is centred.
  CRect box(0, 0, 120, 20);
  EXPECT_EQ(c.dc.DrawText(u"Caption", box, DT_CENTER | DT_VCENTER | DT_SINGLELINE), (20 - tm.tmHeight) / 2 + tm.tmHeight);
  RECT ink = Ink(c);
  EXPECT_NEAR(ink.left, (120 - width) / 2, 2);
  // One that overflows, with an ellipsis and DT_MODIFYSTRING: drawn within
  // its box, the buffer holding what was drawn.
  c.FillAll(kWhite);
  std::u16string buffer = u"A caption much too long for its box";
  buffer.resize(buffer.size() + 4);
  CRect narrow(10, 0, 70, 20);
  c.dc.DrawText(buffer.data(), -1, narrow, DT_SINGLELINE | DT_END_ELLIPSIS | DT_MODIFYSTRING);
  ink = Ink(c);
  EXPECT_GE(ink.left, 10);
  EXPECT_LE(ink.right, 70);
  const std::u16string drawn(buffer.c_str());
  ASSERT_GE(drawn.size(), 4u);
  EXPECT_EQ(drawn.substr(drawn.size() - 3), u"...");
  EXPECT_LE(c.dc.GetTextExtent(drawn).cx, 60);
  // Without an ellipsis the text is clipped to its box, unless DT_NOCLIP.
  c.FillAll(kWhite);
  c.dc.DrawText(u"A caption much too long for its box", narrow, DT_SINGLELINE);
  EXPECT_LE(Ink(c).right, 70);
  c.FillAll(kWhite);
  c.dc.DrawText(u"A caption much too long for its box", narrow, DT_SINGLELINE | DT_NOCLIP);
  EXPECT_GT(Ink(c).right, 70);
  // Word breaks: DT_CALCRECT answers the lines' height.
  CRect measure(0, 0, 60, 0);
  const int height = c.dc.DrawText(u"one two three four five", measure, DT_CALCRECT | DT_WORDBREAK);
  EXPECT_EQ(height % tm.tmHeight, 0);
  EXPECT_GE(height / tm.tmHeight, 3);
  EXPECT_EQ(measure.Height(), height);
  EXPECT_LE(measure.Width(), 60);
}

TEST_F(PlatformText, PrefixesUnderlineAndPathsKeepTheirNames) {
  TextCanvas c(80, 20, Font(-16));
  TEXTMETRICW tm{};
  c.dc.GetTextMetrics(&tm);
  CRect box(0, 0, 80, 20);
  c.dc.DrawText(u"&H", box, DT_SINGLELINE);
  // The underline: a row just below the baseline, under the H only.
  const int underline = tm.tmAscent + 1;
  const int hWidth = c.dc.GetTextExtent(u"H").cx;
  int inked = 0;
  for (int x = 0; x < 80; ++x) inked += c.Pixel(x, underline) != kWhite;
  EXPECT_GE(inked, hWidth - 1);
  EXPECT_LE(inked, hWidth + 1);
  // "&&" is one "&", drawn; DT_NOPREFIX draws the "&" as it stands.
  CRecordingDC recording;
  recording.DrawText(u"Save && quit", box, DT_SINGLELINE);
  recording.DrawText(u"R&D", box, DT_SINGLELINE | DT_NOPREFIX);
  const auto texts = recording.Calls("DrawText");
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0].lines[0], u"Save & quit");
  EXPECT_EQ(texts[1].lines[0], u"R&D");
  // A path ellipsis keeps the file name; the recording DC measures as the raster DC.
  recording.Clear();
  CRect line(0, 0, 150, 16);
  recording.DrawText(u"/home/someone/Pictures/2024/summer/name.jpg", line, DT_SINGLELINE | DT_PATH_ELLIPSIS);
  const auto path = recording.Calls("DrawText");
  ASSERT_EQ(path.size(), 1u);
  const std::u16string shown = path[0].lines[0];
  EXPECT_EQ(shown.substr(shown.size() - 9), u"/name.jpg");
  EXPECT_NE(shown.find(u"..."), std::u16string::npos);
  CDC screen;
  screen.Attach(GetDC(nullptr));
  EXPECT_LE(screen.GetTextExtent(shown).cx, 150);
  EXPECT_EQ(path[0].lineRects[0].right - path[0].lineRects[0].left, screen.GetTextExtent(shown).cx);
  ReleaseDC(nullptr, screen.Detach());
}
