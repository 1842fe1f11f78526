// The print preview: the paper in white with the page's pictures and a
// raised edge, and a picture dragged in its cell reported to the dialog in
// printer device units, only while cropping is on.

#include "output/print/CTLM_PrintPreviewWnd.h"

#include "shell/app/AppMessages.h"
#include "platform/testing/Headless.h"
#include "support/DibBuilder.h"

#include <gtest/gtest.h>

namespace {

namespace pt = platform::testing;

class PanListener : public CWnd {
public:
  std::vector<std::pair<int, FDoublePoint>> pans;

protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_APP_PRINT_PAN) {
      pans.emplace_back(static_cast<int>(wParam), *reinterpret_cast<const FDoublePoint*>(lParam));
      return 0;
    }
    return CWnd::WindowProc(message, wParam, lParam);
  }
};

class PrintPreview : public ::testing::Test {
protected:
  void SetUp() override {
    pt::Init();
    ASSERT_TRUE(parent.CreateEx(0, u"Dialog", u"", WS_POPUP | WS_VISIBLE, CRect(0, 0, 260, 220), nullptr, 0));
    ASSERT_TRUE(preview.Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, CRect(10, 10, 210, 210), &parent,
                               CTLM_PrintPreviewWnd::kControlId));
    // A page of 2000 x 2000 device units at 1/10: one cell, a red landscape picture.
    cell.m_cell = RECT{200, 400, 1000, 1600};
    cell.m_picture = testsupport::MakeBottomUpDib(300, 200, [](int, int) { return RGB(200, 30, 30); });
    cells = {&cell};
    preview.SetPage(cells, 0, 0, 0.1, 0, 1, 1.0);
  }
  void TearDown() override {
    cell.m_picture.reset();
    parent.DestroyWindow();
  }
  PanListener parent;
  CTLM_PrintPreviewWnd preview;
  CET_PrintPictData cell;
  std::vector<CET_PrintPictData*> cells;
};

TEST_F(PrintPreview, ShowsThePaperWithThePictureInItsCell) {
  preview.SetRotateAndFit(0, 0);
  preview.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  pt::Pump();
  const pt::PixelImage shot = pt::GrabClient(preview.GetSafeHwnd());
  pt::SavePng(shot, "PrintPreview.png");
  EXPECT_EQ(pt::PixelAt(shot, 150, 20), RGB(255, 255, 255)) << "paper";
  EXPECT_EQ(pt::PixelAt(shot, 60, 100), RGB(200, 30, 30)) << "the cell (20, 40)-(100, 160) filled by the picture";
  EXPECT_NE(pt::PixelAt(shot, 0, 100), RGB(255, 255, 255)) << "the raised edge";
}

TEST_F(PrintPreview, ADragInACroppedCellIsSentInDeviceUnitsUntilTheButtonIsUp) {
  preview.SetRotateAndFit(0, 0);
  const HWND window = preview.GetSafeHwnd();
  pt::MouseDown(window, POINT{60, 100});
  pt::MouseMove(window, POINT{63, 98}, true);
  pt::MouseMove(window, POINT{63, 98}, true);
  pt::MouseUp(window, POINT{63, 98});
  pt::MouseMove(window, POINT{80, 98});
  pt::Pump();
  ASSERT_EQ(parent.pans.size(), 2u);
  EXPECT_EQ(parent.pans[0].first, 0);
  EXPECT_DOUBLE_EQ(parent.pans[0].second.x, 30.0);
  EXPECT_DOUBLE_EQ(parent.pans[0].second.y, -20.0);
  EXPECT_DOUBLE_EQ(parent.pans[1].second.x, 0.0) << "a resting pointer sends a zero offset";
}

TEST_F(PrintPreview, NoDragWithTheWholePictureOrOutsideTheCells) {
  const HWND window = preview.GetSafeHwnd();
  preview.SetRotateAndFit(0, 1);
  pt::MouseDown(window, POINT{60, 100});
  pt::MouseMove(window, POINT{70, 100}, true);
  pt::MouseUp(window, POINT{70, 100});
  preview.SetRotateAndFit(0, 0);
  pt::MouseDown(window, POINT{150, 20});
  pt::MouseMove(window, POINT{160, 20}, true);
  pt::MouseUp(window, POINT{160, 20});
  pt::Pump();
  EXPECT_TRUE(parent.pans.empty());
}

} // namespace
