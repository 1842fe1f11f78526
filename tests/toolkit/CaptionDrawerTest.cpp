// The caption drawer and the static control: captions from the text table,
// fitting with an ellipsis without touching the stored text or format, and
// the static's caption and icon modes on the toolkit's look.

#include "platform/core/RecordingDC.h"
#include "platform/testing/Headless.h"
#include "toolkit/CStaticBase.h"
#include "toolkit/CStringItemDrawer.h"

#include "ToolkitTestWindows.h"

#include <gtest/gtest.h>

namespace pt = platform::testing;

namespace {

class CaptionDrawer : public ::testing::Test {
protected:
  void SetUp() override {
    pt::Init();
    bold = table.AddFont(MakeLogFont(-12, FW_BOLD));
    table.Add(10, u"Open the picture", bold, RGB(255, 240, 160));
    table.Add(11, u"Without a font", nullptr, RGB(0, 255, 0));
  }
  MapTextTable table;
  CFont* bold = nullptr;
};

} // namespace

TEST_F(CaptionDrawer, TextTableEntriesReplaceWhatTheyHold) {
  CStringItemDrawer caption;
  EXPECT_EQ(caption.GetFormat(), 37u);
  EXPECT_TRUE(caption.SetStringId(10, 36));
  EXPECT_EQ(caption.GetText(), u"Open the picture");
  EXPECT_EQ(caption.GetFont(), bold);
  EXPECT_EQ(caption.GetTextColor(), RGB(255, 240, 160));
  // An entry without a font keeps the font.
  EXPECT_TRUE(caption.SetStringId(11, 37));
  EXPECT_EQ(caption.GetText(), u"Without a font");
  EXPECT_EQ(caption.GetFont(), bold);
  EXPECT_EQ(caption.GetTextColor(), RGB(0, 255, 0));
  // An unknown id changes nothing but the format.
  EXPECT_FALSE(caption.SetStringId(999, 5));
  EXPECT_EQ(caption.GetText(), u"Without a font");
  EXPECT_EQ(caption.GetTextColor(), RGB(0, 255, 0));
  EXPECT_EQ(caption.GetFormat(), 5u);
  // No table installed: nothing found.
  SetTextTable(nullptr);
  EXPECT_FALSE(caption.SetStringId(10, 37));
  EXPECT_EQ(caption.GetText(), u"Without a font");
  SetTextTable(&table);
}

TEST_F(CaptionDrawer, ATooWideCaptionIsCutFromTheLeftAndTheStoredCaptionStays) {
  CStringItemDrawer caption;
  caption.SetStringId(10, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  CRecordingDC dc;
  caption.Draw(&dc, CRect(0, 0, 60, 20));
  caption.Draw(&dc, CRect(0, 0, 400, 20));
  const auto draws = dc.Calls("DrawText");
  ASSERT_EQ(draws.size(), 2u);
  // Narrow: left-aligned, ending in "...", drawn from a copy.
  EXPECT_EQ(draws[0].format & (DT_CENTER | DT_RIGHT), 0u);
  EXPECT_EQ(draws[0].format & (DT_END_ELLIPSIS | DT_MODIFYSTRING), DT_END_ELLIPSIS | DT_MODIFYSTRING);
  EXPECT_EQ(draws[0].lineRects[0].left, 0);
  EXPECT_EQ(draws[0].lines[0].substr(draws[0].lines[0].size() - 3), u"...");
  // Wide again: centred as asked.
  EXPECT_EQ(draws[1].format, UINT{DT_CENTER | DT_VCENTER | DT_SINGLELINE});
  EXPECT_GT(draws[1].lineRects[0].left, 100);
  EXPECT_EQ(draws[1].lines[0], u"Open the picture");
  EXPECT_EQ(caption.GetText(), u"Open the picture");
  EXPECT_EQ(caption.GetFormat(), UINT{DT_CENTER | DT_VCENTER | DT_SINGLELINE});
  // In the caption's font and colour, transparent; the DC's state comes back.
  LOGFONTW lf{};
  bold->GetLogFont(&lf);
  EXPECT_EQ(draws[0].font.lfWeight, FW_BOLD);
  EXPECT_EQ(draws[0].textColour, RGB(255, 240, 160));
  EXPECT_EQ(draws[0].bkMode, TRANSPARENT);
  EXPECT_EQ(dc.GetBkMode(), OPAQUE);
  EXPECT_EQ(dc.GetTextColor(), RGB(0, 0, 0));
  // An explicit DT_MODIFYSTRING never shortens the stored text.
  caption.SetFormat(DT_SINGLELINE | DT_END_ELLIPSIS | DT_MODIFYSTRING);
  caption.Draw(&dc, CRect(0, 0, 40, 20));
  EXPECT_EQ(caption.GetText(), u"Open the picture");
  // Measured in its own font: the bold text is wider than the DC's font says.
  const CSize size = caption.CalcTextSize(&dc);
  EXPECT_GT(size.cx, dc.GetTextExtent(u"Open the picture").cx);
  EXPECT_GT(size.cy, 0);
}

TEST_F(CaptionDrawer, AnEmptyCaptionDrawsNothing) {
  CStringItemDrawer caption;
  caption.SetFormat(DT_SINGLELINE | DT_END_ELLIPSIS);
  CRecordingDC dc;
  caption.Draw(&dc, CRect(0, 0, 5, 20));
  EXPECT_TRUE(dc.Calls().empty());
}

TEST_F(CaptionDrawer, TheStaticShowsItsCaptionOrAnIconOverItsParent) {
  PlainParent parent;
  ASSERT_TRUE(parent.CreateAt(CRect(50, 50, 250, 110), RGB(0, 160, 0)));
  CStaticBase caption, icon;
  ASSERT_TRUE(caption.Create(u"window text", WS_VISIBLE, CRect(10, 10, 190, 30), &parent, 1));
  ASSERT_TRUE(icon.Create(u"", WS_VISIBLE, CRect(10, 35, 25, 50), &parent, 2));
  EXPECT_EQ(caption.GetWindowText(), u"") << "the caption lives in the drawer";
  EXPECT_TRUE(caption.SetStringId(10, DT_CENTER | DT_VCENTER | DT_SINGLELINE, TRUE));
  EXPECT_FALSE(caption.SetStringId(999, DT_CENTER | DT_VCENTER | DT_SINGLELINE, FALSE));
  icon.SetIconSize(15, 15);
  icon.SetIcon(239);
  EXPECT_TRUE(icon.ShowsIcon());
  pt::Pump(); // the parent paints before its children
  const auto shot = pt::GrabClient(parent);
  pt::SavePng(shot, "static-caption-and-icon.png");
  // The caption on the toolkit's grey, in its colour.
  const auto text = pt::GrabClient(caption);
  EXPECT_EQ(pt::PixelAt(text, 2, 2), RGB(89, 89, 89));
  int lit = 0;
  for (int x = 0; x < text.width; ++x) lit += pt::PixelAt(text, x, 10) == RGB(255, 240, 160);
  EXPECT_GT(lit, 0);
  // The icon's transparent corner shows the parent's green.
  const auto mark = pt::GrabClient(icon);
  EXPECT_EQ(pt::PixelAt(mark, 0, 0), RGB(0, 160, 0));
  EXPECT_NE(pt::PixelAt(mark, 7, 7), RGB(0, 160, 0));
}
