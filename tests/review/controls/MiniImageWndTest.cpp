// The small picture window: the navigator's rectangle from the visible
// fractions, its drag (kept inside the picture, the parent told at every
// step), its cursor, and thumbnail mode's badge, icons and caption. Each
// look is rendered to a picture.

#include "platform/testing/Headless.h"
#include "review/controls/CMiniImageWnd.h"

#include "foundation/FPath.h"
#include "foundation/FIStorageClass.h"
#include "support/BrowserFolder.h"
#include "support/DibBuilder.h"
#include "support/RectPrinting.h"
#include "support/TestSupport.h"
#include "toolkit/ControlNotifyData.h"
#include "toolkit/TextTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>
#include <vector>

namespace pt = platform::testing;

namespace {

constexpr COLORREF kParentColour = RGB(89, 89, 89);
constexpr COLORREF kBackground = RGB(100, 98, 99);
constexpr COLORREF kPictureColour = RGB(30, 160, 60);

// Keeps every visible area its small picture window reports.
class NaviParent : public CWnd {
public:
  std::vector<FDoubleRect> reports;

protected:
  afx_msg void OnPaint() {
    CPaintDC dc(this);
    CRect client;
    GetClientRect(client);
    dc.FillSolidRect(client, kParentColour);
  }
  afx_msg LRESULT OnVisibleRect(WPARAM rect, LPARAM) {
    if (rect) reports.push_back(*reinterpret_cast<const FDoubleRect*>(rect));
    return 0;
  }
  DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(NaviParent, CWnd)
  ON_WM_PAINT()
  ON_MESSAGE(WM_APP_VISIBLE_RECT, OnVisibleRect)
END_MESSAGE_MAP()

// A one-colour picture.
std::unique_ptr<CET_Dib> Picture(int width, int height, COLORREF colour) {
  return testsupport::MakeBottomUpDib(width, height, [=](int, int) { return colour; });
}

class MiniImageWndTest : public ::testing::Test {
protected:
  MiniImageWndTest() {
    pt::Init();
    InitStorageClasses();
    parent.CreateEx(0, u"Parent", u"", WS_POPUP | WS_VISIBLE, RECT{100, 100, 400, 300}, nullptr, 0);
  }
  ~MiniImageWndTest() override {
    mini.DestroyWindow();
    parent.DestroyWindow();
  }

  void CreateMini(int width, int height) {
    mini.SetBackColor(kBackground);
    ASSERT_TRUE(mini.CreateEx(0, u"Mini", u"", WS_CHILD | WS_VISIBLE, RECT{10, 10, 10 + width, 10 + height}, &parent,
                              1187));
  }
  // Shows a record of a picture of that size (and kind).
  void Show(int width, int height, int fileType = 6) {
    m_picture = Picture(width, height, kPictureColour);
    CTLM_ThumbnailData record;
    record.m_pDib = m_picture.get();
    record.m_FileType = fileType;
    record.m_FileName = u"IMG_0001 & friends.kvr";
    mini.SetThumbnail(&record);
    record.m_pDib = nullptr; // the test's picture
  }
  void Visible(double l, double t, double r, double b) {
    const FDoubleRect visible(l, t, r, b);
    mini.SetVisibleRect(&visible);
  }
  // A drag of the mouse from one client point through others, the button
  // released at the last.
  void Drag(POINT from, const std::vector<POINT>& through) {
    for (POINT p : through) mini.PostMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(p.x, p.y));
    mini.PostMessage(WM_LBUTTONUP, 0, MAKELPARAM(through.back().x, through.back().y));
    mini.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from.x, from.y));
    pt::Pump();
  }
  int CursorOver(POINT client) {
    mini.ClientToScreen(&client);
    SetCursorPos(client.x, client.y);
    SetCursorPos(client.x, client.y); // asks the window under the cursor again
    pt::Pump();
    return pt::ShownStandardCursor(mini.GetSafeHwnd());
  }

  NaviParent parent;
  CMiniImageWnd mini;
  std::unique_ptr<CET_Dib> m_picture;
};

// One entry: a caption style in light yellow.
constexpr int kCaptionTextId = 7;
constexpr COLORREF kCaptionColour = RGB(255, 255, 160);
class CaptionTable : public ITextTable {
public:
  CaptionTable() { SetTextTable(this); }
  ~CaptionTable() override { SetTextTable(nullptr); }
  std::optional<TextTableEntry> Find(int id) const override {
    if (id != kCaptionTextId) return std::nullopt;
    return TextTableEntry{u"(unused)", nullptr, kCaptionColour};
  }
};

bool Near(const FDoubleRect& a, const FDoubleRect& b) {
  return std::abs(a.left - b.left) < 1e-9 && std::abs(a.top - b.top) < 1e-9 && std::abs(a.right - b.right) < 1e-9 &&
         std::abs(a.bottom - b.bottom) < 1e-9;
}

} // namespace

TEST(MiniImageWndBadges, EachFileTypeHasItsBadge) {
  const std::vector<std::pair<int, int>> cases = {{6, 230}, {0, 231}, {1, 232}, {2, 232}, {7, 289},
                                                  {8, 230}, {9, 230}, {10, 230}, {-1, 230}, {3, 230}};
  for (auto [type, badge] : cases) EXPECT_EQ(CMiniImageWnd::BadgeIdOf(type), badge) << "type " << type;
}

TEST_F(MiniImageWndTest, TheRectangleFollowsTheVisibleFractionsOfTheFittedPicture) {
  CreateMini(120, 90);
  Show(200, 100); // fitted: (0, 15, 120, 75)
  ASSERT_EQ(mini.FittedPictureRect(), CRect(0, 15, 120, 75));
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    FDoubleRect visible;
    CRect tracker;
  };
  for (const Case& c : {Case{{0, 0, 1, 1}, {0, 15, 120, 75}},
                        Case{{0.25, 0.5, 0.75, 1.0}, {30, 45, 90, 75}},
                        Case{{0.1, 0.1, 0.3333, 0.3333}, {12, 21, 39, 34}}, // truncated toward zero
                        Case{{nan, 0, 1, 1}, {0, 0, 0, 0}},
                        Case{{-1e300, 0, 1e300, 1}, {-480, 15, 480, 75}}}) { // no int overflow
    mini.SetVisibleRect(&c.visible);
    EXPECT_EQ(mini.GetTrackerRect(), c.tracker) << c.visible.left << " " << c.visible.top;
  }
}

TEST_F(MiniImageWndTest, DraggingKeepsTheRectangleInsideAndTheParentFollows) {
  CreateMini(120, 90);
  Show(200, 100);
  Visible(0.25, 0.25, 0.5, 0.75); // tracker (30, 30, 60, 60)
  ASSERT_EQ(mini.GetTrackerRect(), CRect(30, 30, 60, 60));
  EXPECT_EQ(CursorOver({40, 40}), 32646) << "the four-way arrow over a movable rectangle";

  Drag({40, 40}, {{50, 40}, {200, 10}});
  EXPECT_EQ(mini.GetTrackerRect(), CRect(90, 15, 120, 45)) << "kept inside, size unchanged";
  ASSERT_GE(parent.reports.size(), 3u) << "every step and the end";
  EXPECT_TRUE(Near(parent.reports[0], FDoubleRect(40 / 120.0, 0.25, 70 / 120.0, 0.75)));
  EXPECT_TRUE(Near(parent.reports.back(), FDoubleRect(0.75, 0.0, 1.0, 0.5)));
  for (const FDoubleRect& r : parent.reports) {
    EXPECT_GE(r.left, 0.0);
    EXPECT_LE(r.right, 1.0);
    EXPECT_GE(r.top, 0.0);
    EXPECT_LE(r.bottom, 1.0);
  }
  // A click beside the rectangle moves nothing.
  parent.reports.clear();
  Drag({5, 70}, {{20, 70}});
  EXPECT_EQ(mini.GetTrackerRect(), CRect(90, 15, 120, 45));
  EXPECT_TRUE(parent.reports.empty());
}

TEST_F(MiniImageWndTest, TheWholeImageVisibleOrNoPictureLeavesNothingToDrag) {
  CreateMini(120, 90);
  Drag({60, 45}, {{80, 45}});
  EXPECT_TRUE(parent.reports.empty()) << "no picture: clicks do nothing";
  const auto empty = pt::GrabClient(mini.GetSafeHwnd());
  EXPECT_EQ(pt::PixelAt(empty, 60, 45), kBackground) << "only the background";

  Show(200, 100);
  Visible(0, 0, 1, 1);
  EXPECT_EQ(mini.GetTrackerRect(), mini.FittedPictureRect());
  EXPECT_EQ(CursorOver({60, 45}), 32512) << "the normal arrow";
  Drag({60, 45}, {{80, 45}});
  EXPECT_EQ(mini.GetTrackerRect(), mini.FittedPictureRect()) << "nothing to move";
  ASSERT_FALSE(parent.reports.empty());
  EXPECT_TRUE(Near(parent.reports.back(), FDoubleRect(0, 0, 1, 1)));
}

TEST_F(MiniImageWndTest, TheNavigatorDrawsThePictureAndTheRedRectangle) {
  CreateMini(120, 90);
  mini.SetShowVisibleRect(1);
  Show(200, 100);
  Visible(0.25, 0.25, 0.5, 0.75); // (30, 30, 60, 60)
  pt::Pump();
  const auto shot = pt::GrabClient(mini.GetSafeHwnd());
  std::printf("rendered %s\n", pt::SavePng(shot, "MiniImageWndNavigator.png").c_str());
  EXPECT_EQ(pt::PixelAt(shot, 5, 5), kBackground) << "above the picture";
  EXPECT_EQ(pt::PixelAt(shot, 5, 20), kPictureColour);
  for (POINT p : {POINT{30, 30}, POINT{60, 30}, POINT{60, 60}, POINT{30, 60}, POINT{45, 30}, POINT{30, 45}}) {
    EXPECT_EQ(pt::PixelAt(shot, p.x, p.y), RGB(255, 0, 0)) << p.x << "," << p.y;
  }
  EXPECT_EQ(pt::PixelAt(shot, 45, 45), kPictureColour) << "an outline only";
}

TEST_F(MiniImageWndTest, ThumbnailModeShowsBadgeIconsBesideThePictureAndTheName) {
  // A locked, marked JPEG: its record's shooting information says so.
  testsupport::TempDir dir;
  const std::filesystem::path file = dir.Path() / "marked.jpg";
  testsupport::ExifFields fields;
  fields.orientation = 1;
  fields.markFlag = 1;
  testsupport::WriteBytes(file, testsupport::QuarterJpeg(32, 24, &fields));
  std::filesystem::permissions(file, std::filesystem::perms::owner_write, std::filesystem::perm_options::remove);
  const std::unique_ptr<CTLM_Exif> exif = CTLM_Exif::Create(PathFromNative(file.string()));
  ASSERT_TRUE(exif && exif->IsMarked() && exif->IsLocked());

  CaptionTable table;
  CreateMini(200, 150);
  mini.SetNavigatorMode(0);
  mini.SetCaptionStyle(kCaptionTextId);
  struct Case {
    const char* name;
    SIZE picture;
    POINT lock;
    POINT mark;
  };
  // Landscape: a row in the gap above; portrait: a column in the gap to the right.
  for (const Case& c : {Case{"MiniImageWndLandscape.png", {200, 100}, {6, 5}, {26, 5}},
                        Case{"MiniImageWndPortrait.png", {100, 200}, {156, 15}, {156, 35}}}) {
    SCOPED_TRACE(c.name);
    m_picture = Picture(c.picture.cx, c.picture.cy, kPictureColour);
    CTLM_ThumbnailData record;
    record.m_pDib = m_picture.get();
    record.m_FileType = 0;
    record.m_FileName = u"marked & locked.jpg";
    record.m_Exif.CopyFrom(exif.get());
    mini.SetThumbnail(&record);
    record.m_pDib = nullptr;
    pt::Pump();
    const auto shot = pt::GrabClient(mini.GetSafeHwnd());
    std::printf("rendered %s\n", pt::SavePng(shot, c.name).c_str());
    const COLORREF flag = pt::PixelAt(shot, c.mark.x + 7, c.mark.y + 4);
    EXPECT_GT(GetRValue(flag), 200) << "the mark's flag";
    EXPECT_LT(GetGValue(flag), 90);
    const COLORREF lock = pt::PixelAt(shot, c.lock.x + 8, c.lock.y + 11);
    EXPECT_EQ(lock, RGB(230, 180, 40)) << "the lock's body";
    EXPECT_NE(pt::PixelAt(shot, 200 - 15, 7), kBackground) << "the badge";
    EXPECT_EQ(pt::PixelAt(shot, 100, 75), kPictureColour);
    bool captionShown = false; // the name in the caption's colour, under the picture
    for (int x = 6; x < 194 && !captionShown; ++x) {
      for (int y = 136; y < 148; ++y) captionShown = captionShown || pt::PixelAt(shot, x, y) == kCaptionColour;
    }
    EXPECT_TRUE(captionShown);
  }
}
