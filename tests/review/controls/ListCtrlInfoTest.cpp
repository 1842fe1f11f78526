// The information list: rows drawn as bands under a joined bold title, icons
// after cell texts, the item height that follows the font, and the window's
// rounded corners with their black frame. The look is rendered to a picture.

#include "platform/testing/Headless.h"
#include "review/controls/CListCtrlInfo.h"

#include "platform/afx/AfxDC.h"
#include "platform/win/WinControls.h"
#include "platform/win/WinGdiRegion.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

namespace pt = platform::testing;

namespace {

constexpr COLORREF kParentGrey = RGB(89, 89, 89);
constexpr int kListId = 1200;
constexpr int kWidth = 300;
constexpr int kHeight = 160;
constexpr int kMarkIcon = 233; // a red flag
constexpr int kLockIcon = 235;

class GreyParent : public CWnd {
protected:
  afx_msg void OnPaint() {
    CPaintDC dc(this);
    CRect client;
    GetClientRect(client);
    dc.FillSolidRect(client, kParentGrey);
  }
  DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(GreyParent, CWnd)
  ON_WM_PAINT()
END_MESSAGE_MAP()

CListImage* LoadListImage(int id) {
  auto* image = new CListImage;
  image->m_hIcon = static_cast<HICON>(static_cast<void*>(LoadImageW(nullptr, MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR)));
  image->m_size = CSize(16, 16);
  return image;
}

class ListCtrlInfoTest : public ::testing::Test {
protected:
  ListCtrlInfoTest() {
    pt::Init();
    m_parent.CreateEx(0, u"Parent", u"", WS_POPUP | WS_VISIBLE, RECT{100, 100, 100 + kWidth + 20, 100 + kHeight + 20},
                      nullptr, 0);
    m_list.Create(WS_VISIBLE | LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_NOSCROLL | LVS_ALIGNLEFT,
                  RECT{10, 10, 10 + kWidth, 10 + kHeight}, &m_parent, kListId);
    SetFontHeight(-12);
    m_list.InsertColumn(0, u"", LVCFMT_LEFT, 90);
    m_list.InsertColumn(1, u"", LVCFMT_LEFT, 120);
    m_list.InsertColumn(2, u"", LVCFMT_LEFT, 90);
  }
  ~ListCtrlInfoTest() override {
    m_list.DestroyWindow();
    m_parent.DestroyWindow();
  }

  void SetFontHeight(int height) {
    LOGFONTW lf{};
    lf.lfHeight = height;
    const char16_t face[] = u"Tahoma";
    std::copy(std::begin(face), std::end(face), lf.lfFaceName);
    m_font = std::make_unique<CFont>();
    m_font->CreateFontIndirect(&lf);
    m_list.SetFont(*m_font);
  }

  int RowHeight() {
    RECT rect{};
    m_list.GetItemRect(0, &rect, LVIR_BOUNDS);
    return rect.bottom - rect.top;
  }

  // The list's client area as shown.
  pt::PixelImage Shot() {
    pt::Pump();
    return pt::GrabClient(m_list.GetSafeHwnd());
  }

  GreyParent m_parent;
  CListCtrlInfo m_list;
  std::unique_ptr<CFont> m_font;
};

// The width of a text in the list's font.
int TextWidth(CListCtrlInfo& list, const std::u16string& text) {
  CClientDC dc(&list);
  const HGDIOBJ old = SelectObject(dc.GetSafeHdc(), list.GetFont());
  SIZE size{};
  GetTextExtentPoint32W(dc.GetSafeHdc(), text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc.GetSafeHdc(), old);
  return size.cx;
}

bool IsRed(COLORREF c) { return GetRValue(c) > 200 && GetGValue(c) < 90 && GetBValue(c) < 90; }

} // namespace

TEST_F(ListCtrlInfoTest, TheItemHeightFollowsTheFont) {
  m_list.InsertItem(0, u"row");
  EXPECT_EQ(RowHeight(), 17) << "height 12 + 5";
  SetFontHeight(-20);
  EXPECT_EQ(RowHeight(), 25) << "a new font, the same list";
  EXPECT_TRUE(m_list.GetStyle() & LVS_OWNERDRAWFIXED);
  EXPECT_TRUE(m_list.GetExtendedStyle() & LVS_EX_SUBITEMIMAGES);
}

TEST_F(ListCtrlInfoTest, RowsAreBandsUnderAJoinedTitleWithIconsAfterTheirTexts) {
  m_list.AddImage(LoadListImage(kLockIcon));
  m_list.AddImage(LoadListImage(kLockIcon));
  m_list.AddImage(LoadListImage(kMarkIcon));
  const char16_t* rows[][3] = {
      {u"Shooting", u"", u" data"},
      {u"Date", u"2026-12-11", u""},
      {u"Exposure", u"1/250", u"F8"},
      {u"White balance", u"Daylight", u""},
      {u"A label far too long for its own cell", u"ISO 100", u""},
  };
  for (int r = 0; r < 5; ++r) {
    m_list.InsertItem(r, rows[r][0]);
    for (int c = 1; c < 3; ++c) m_list.SetItem(r, c, LVIF_TEXT, rows[r][c], 0);
  }
  m_list.SetItem(1, 1, LVIF_TEXT | LVIF_IMAGE, u"2026-12-11", 3); // the third icon
  m_list.SetItem(2, 1, LVIF_TEXT | LVIF_IMAGE, u"1/250", 0);      // none
  m_list.SetItem(3, 1, LVIF_TEXT | LVIF_IMAGE, u"Daylight", 9);   // beyond the icons: none
  const pt::PixelImage shot = Shot();
  std::printf("rendered %s\n", pt::SavePng(shot, "ListCtrlInfo.png").c_str());
  const int h = RowHeight();
  ASSERT_EQ(h, 17);

  // Bands: the title, then odd and even rows; the last row's colour fills the rest.
  const int x = 200;
  EXPECT_EQ(pt::PixelAt(shot, x, h / 2), CListCtrlInfo::kTitleColour);
  EXPECT_EQ(pt::PixelAt(shot, x, h + h / 2), CListCtrlInfo::kOddRowColour);
  EXPECT_EQ(pt::PixelAt(shot, x, 2 * h + h / 2), CListCtrlInfo::kEvenRowColour);
  EXPECT_EQ(pt::PixelAt(shot, x, 3 * h + h / 2), CListCtrlInfo::kOddRowColour);
  EXPECT_EQ(pt::PixelAt(shot, x, 4 * h + h / 2), CListCtrlInfo::kEvenRowColour);
  EXPECT_EQ(pt::PixelAt(shot, x, kHeight - 10), CListCtrlInfo::kEvenRowColour) << "below the last row";

  // The title is drawn in white from 10 pixels in; the empty middle cell
  // leaves no gap (white pixels only up to the joined text's end).
  int whiteLeft = -1;
  int whiteRight = -1;
  for (int px = 0; px < kWidth; ++px) {
    for (int py = 2; py < h - 2; ++py) {
      if (pt::PixelAt(shot, px, py) == RGB(255, 255, 255)) {
        if (whiteLeft < 0) whiteLeft = px;
        whiteRight = px;
      }
    }
  }
  EXPECT_GE(whiteLeft, 10);
  EXPECT_LE(whiteLeft, 12);
  const int regular = TextWidth(m_list, u"Shooting data");
  EXPECT_LT(whiteRight, 10 + regular * 6 / 5) << "bold is a little wider";
  EXPECT_GT(whiteRight, 10 + regular - 2);

  // The third icon stands 10 pixels after the text of its cell, centred in the row.
  int firstRed = -1;
  for (int px = 90; px < 210 && firstRed < 0; ++px) {
    for (int py = h; py < 2 * h; ++py) {
      if (IsRed(pt::PixelAt(shot, px, py))) {
        firstRed = px;
        break;
      }
    }
  }
  const int iconLeft = 90 + TextWidth(m_list, u"2026-12-11") + 10;
  EXPECT_GE(firstRed, iconLeft + 3) << "the flag starts a few pixels into its icon";
  EXPECT_LE(firstRed, iconLeft + 6);
  // No icon for index 0 or an index beyond the icons.
  for (int row : {2, 3}) {
    for (int px = 90; px < 210; ++px) {
      for (int py = row * h; py < (row + 1) * h; ++py) {
        const COLORREF c = pt::PixelAt(shot, px, py);
        ASSERT_FALSE(IsRed(c) || c == RGB(230, 180, 40)) << "row " << row << " at " << px << "," << py;
      }
    }
  }
}

TEST_F(ListCtrlInfoTest, TheWindowHasRoundedCornersAndABlackFrame) {
  m_list.InsertItem(0, u"Title");
  m_list.InsertItem(1, u"Row");
  const pt::PixelImage shot = Shot();
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(GetWindowRgn(m_list.GetSafeHwnd(), region), RGN_ERROR);
  RECT box{};
  GetRgnBox(region, &box);
  EXPECT_EQ(box.right, kWidth) << "the region reaches the last column";
  EXPECT_EQ(box.bottom, kHeight - 1) << "and leaves out the last row";
  EXPECT_FALSE(PtInRegion(region, 0, 0));
  DeleteObject(region);
  // The corners show the parent; the frame is black along the edges.
  EXPECT_EQ(pt::PixelAt(shot, 0, 0), kParentGrey);
  EXPECT_EQ(pt::PixelAt(shot, kWidth - 1, 0), kParentGrey);
  EXPECT_EQ(pt::PixelAt(shot, 0, kHeight - 2), kParentGrey);
  EXPECT_EQ(pt::PixelAt(shot, 100, kHeight - 1), kParentGrey) << "the row outside the region";
  for (POINT p : {POINT{0, 60}, POINT{kWidth - 1, 60}, POINT{100, 0}, POINT{100, kHeight - 2}}) {
    EXPECT_EQ(pt::PixelAt(shot, p.x, p.y), RGB(0, 0, 0)) << p.x << "," << p.y;
  }
  EXPECT_EQ(pt::PixelAt(shot, 1, 60), CListCtrlInfo::kOddRowColour) << "a one-pixel frame";
}

TEST(ListImage, ReleaseDestroysTheIconAndEmptiesTheRecord) {
  pt::Init();
  CListImage image;
  EXPECT_EQ(image.m_hIcon, nullptr);
  image.m_hIcon = static_cast<HICON>(static_cast<void*>(LoadImageW(nullptr, MAKEINTRESOURCEW(kLockIcon), IMAGE_ICON, 16, 16, 0)));
  image.m_size = CSize(16, 16);
  const HICON icon = image.m_hIcon;
  ASSERT_NE(icon, nullptr);
  image.Release();
  EXPECT_EQ(image.m_hIcon, nullptr);
  EXPECT_EQ(image.m_size, CSize(0, 0));
  EXPECT_FALSE(DestroyIcon(icon)) << "already destroyed";
}
