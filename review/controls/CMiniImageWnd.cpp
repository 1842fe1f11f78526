#include "review/controls/CMiniImageWnd.h"

#include "toolkit/CET_Calc.h"
#include "toolkit/ControlNotifyData.h"
#include "toolkit/TextTable.h"

#include "platform/win/WinGdiText.h"

#include <algorithm>
#include <cmath>

namespace {

// Thumbnail mode's margins round the picture.
constexpr int kSideMargin = 6;
constexpr int kTopMargin = 15;
constexpr int kBottomMargin = 16;
constexpr int kIconStep = 20;
constexpr COLORREF kTrackerColour = RGB(255, 0, 0);
// The file name is not ours: "&" is a character.
constexpr UINT kCaptionFormat = DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_END_ELLIPSIS | DT_NOPREFIX;

HICON LoadSmallIcon(int id) {
  return static_cast<HICON>(static_cast<void*>(LoadImageW(nullptr, MAKEINTRESOURCEW(id), IMAGE_ICON,
                                                          CMiniImageWnd::kIconSize, CMiniImageWnd::kIconSize,
                                                          LR_DEFAULTCOLOR)));
}

} // namespace

BEGIN_MESSAGE_MAP(CMiniImageWnd, CWnd)
  ON_WM_PAINT()
  ON_WM_ERASEBKGND()
  ON_WM_LBUTTONDOWN()
  ON_WM_SETCURSOR()
  ON_MESSAGE(WM_APP_VISIBLE_RECT, OnVisibleRect)
END_MESSAGE_MAP()

CMiniImageWnd::CMiniImageWnd() {
  m_hLockIcon = LoadSmallIcon(kLockIcon);
  m_hMarkIcon = LoadSmallIcon(kMarkIcon);
  m_Tracker.m_nStyle = CRectTracker::solidLine;
  m_Tracker.m_rect.SetRectEmpty();
}

CMiniImageWnd::~CMiniImageWnd() {
  ReleaseBadge();
  if (m_hLockIcon) DestroyIcon(m_hLockIcon);
  if (m_hMarkIcon) DestroyIcon(m_hMarkIcon);
}

int CMiniImageWnd::BadgeIdOf(int fileType) {
  switch (fileType) {
  case 0: return 231;          // JPEG
  case 1: case 2: return 232;  // TIFF
  case 7: return 289;          // AVI
  default: return 230;         // raw, and every other type
  }
}

void CMiniImageWnd::ReleaseBadge() {
  if (m_hBadge) DeleteObject(m_hBadge);
  m_hBadge = nullptr;
}

void CMiniImageWnd::SetThumbnail(const CTLM_ThumbnailData* thumbnail) {
  m_Thumbnail.Reset();
  ReleaseBadge();
  if (!thumbnail) return;
  m_Thumbnail.CopyFrom(thumbnail);
  m_hBadge = LoadBitmapW(nullptr, MAKEINTRESOURCEW(BadgeIdOf(m_Thumbnail.m_FileType)));
  if (GetSafeHwnd()) InvalidateRect(nullptr, TRUE);
}

void CMiniImageWnd::SetCaptionStyle(int textId) {
  std::u16string unused;
  CFont* font = nullptr;
  COLORREF colour = 0;
  if (!GetTextTableString(textId, unused, font, colour)) return;
  m_pCaptionFont = font;
  m_CaptionColor = colour;
}

bool CMiniImageWnd::HasPicture() const {
  const CET_Dib* picture = m_Thumbnail.m_pDib;
  return picture && picture->IsValid() && picture->GetWidth() > 0 && picture->GetHeight() > 0;
}

CRect CMiniImageWnd::FitInto(const CRect& frame) const {
  if (!HasPicture()) return CRect();
  const RECT content{0, 0, m_Thumbnail.m_pDib->GetWidth(), m_Thumbnail.m_pDib->GetHeight()};
  return CRect(CET_Calc::FitRectInRect(frame, content));
}

CRect CMiniImageWnd::ThumbnailArea() const {
  CRect client;
  GetClientRect(&client);
  return CRect(client.left + kSideMargin, client.top + kTopMargin, client.right - kSideMargin,
               client.bottom - kBottomMargin);
}

CRect CMiniImageWnd::FittedPictureRect() const {
  if (!m_nNavigatorMode) return FitInto(ThumbnailArea());
  CRect client;
  GetClientRect(&client);
  return FitInto(client);
}

void CMiniImageWnd::SetVisibleRect(const FDoubleRect* visible) {
  if (!visible) return;
  m_VisibleArea = *visible;
  if (!HasPicture()) return;
  const CRect fit = FittedPictureRect();
  const double width = fit.Width();
  const double height = fit.Height();
  const FDoubleRect& r = m_VisibleArea;
  const bool finite = std::isfinite(r.left) && std::isfinite(r.top) && std::isfinite(r.right) && std::isfinite(r.bottom);
  CRect tracker; // empty while the picture has no place or the fractions are no numbers
  if (finite && !fit.IsRectEmpty()) {
    // The fractions are clamped to a little beyond the picture so that no
    // product leaves the int range; the drag keeps the rectangle inside.
    auto at = [](double origin, double extent, double fraction) {
      return static_cast<int>(origin + std::trunc(extent * std::clamp(fraction, -4.0, 4.0)));
    };
    tracker.SetRect(at(fit.left, width, r.left), at(fit.top, height, r.top), at(fit.left, width, r.right),
                    at(fit.top, height, r.bottom));
  }
  m_Tracker.m_rect = tracker;
  m_Tracker.SetNotifyWnd(this);
  m_Tracker.SetTrackRect(tracker.left, tracker.top, tracker.right, tracker.bottom);
  if (GetSafeHwnd()) RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
}

void CMiniImageWnd::KeepInside(CRect& rect, const CRect& fit) {
  const int w = rect.Width();
  const int h = rect.Height();
  if (rect.left < fit.left) {
    rect.left = fit.left;
    rect.right = rect.left + w;
  }
  if (rect.right > fit.right) {
    rect.right = fit.right;
    rect.left = rect.right - w;
  }
  if (rect.top < fit.top) {
    rect.top = fit.top;
    rect.bottom = rect.top + h;
  }
  if (rect.bottom > fit.bottom) {
    rect.bottom = fit.bottom;
    rect.top = rect.bottom - h;
  }
}

LRESULT CMiniImageWnd::OnVisibleRect(WPARAM rectPointer, LPARAM) {
  auto* rect = reinterpret_cast<CRect*>(rectPointer);
  if (!rect || !HasPicture()) return 0;
  const CRect fit = FittedPictureRect();
  if (fit.IsRectEmpty()) return 0; // no fractions of a picture that has no place
  KeepInside(*rect, fit);
  const double width = fit.Width();
  const double height = fit.Height();
  FDoubleRect fractions((rect->left - fit.left) / width, (rect->top - fit.top) / height,
                        (rect->right - fit.left) / width, (rect->bottom - fit.top) / height);
  if (CWnd* parent = GetParent()) parent->SendMessage(WM_APP_VISIBLE_RECT, reinterpret_cast<WPARAM>(&fractions), 0);
  return 0;
}

void CMiniImageWnd::OnLButtonDown(UINT flags, CPoint point) {
  if (HasPicture() && m_Tracker.HitTest(point) != CRectTracker::hitNothing) {
    m_Tracker.Track(this, point, FALSE, nullptr);
    KeepInside(m_Tracker.m_rect, FittedPictureRect());
    InvalidateRect(nullptr, TRUE);
    SendMessage(WM_APP_VISIBLE_RECT, reinterpret_cast<WPARAM>(&m_Tracker.m_rect), 0);
  }
  CWnd::OnLButtonDown(flags, point);
}

BOOL CMiniImageWnd::OnSetCursor(CWnd* wnd, UINT hitTest, UINT message) {
  // Only while part of the image is hidden can the rectangle be dragged.
  if (HasPicture() && wnd == this && m_Tracker.m_rect != FittedPictureRect() && m_Tracker.SetCursor(this, hitTest)) {
    return TRUE;
  }
  return CWnd::OnSetCursor(wnd, hitTest, message);
}

BOOL CMiniImageWnd::OnEraseBkgnd(CDC*) { return TRUE; } // painting covers everything

void CMiniImageWnd::OnPaint() {
  CPaintDC dc(this);
  CRect client;
  GetClientRect(&client);
  CET_Calc::PaintThroughMemoryDC(&dc, client, &CMiniImageWnd::PaintContent, this, nullptr, nullptr);
}

void CMiniImageWnd::PaintContent(CDC* dc, RECT area, void* self, void*) {
  auto* window = static_cast<CMiniImageWnd*>(self);
  dc->SetStretchBltMode(COLORONCOLOR);
  dc->FillSolidRect(&area, window->m_BackColor);
  if (window->m_nNavigatorMode) {
    window->DrawNavigator(dc);
  } else {
    window->DrawThumbnail(dc);
  }
}

void CMiniImageWnd::DrawPicture(CDC* dc, const CRect& target) const {
  const CET_Dib* picture = m_Thumbnail.m_pDib;
  StretchDIBits(dc->GetSafeHdc(), target.left, target.top, target.Width(), target.Height(), 0, 0,
                picture->GetWidth(), picture->GetHeight(), picture->bits, picture->header, DIB_RGB_COLORS, SRCCOPY);
}

void CMiniImageWnd::DrawNavigator(CDC* dc) {
  if (!HasPicture()) return;
  DrawPicture(dc, FittedPictureRect());
  if (!m_nShowVisibleRect) return;
  CPen red(PS_SOLID, 1, kTrackerColour);
  CPen* old = dc->SelectObject(&red);
  const CRect& r = m_Tracker.m_rect;
  dc->MoveTo(r.left, r.top);
  dc->LineTo(r.right, r.top);
  dc->LineTo(r.right, r.bottom);
  dc->LineTo(r.left, r.bottom);
  dc->LineTo(r.left, r.top);
  dc->SelectObject(old);
}

void CMiniImageWnd::DrawThumbnail(CDC* dc) {
  if (!HasPicture()) return;
  CRect client;
  GetClientRect(&client);
  const CRect area = ThumbnailArea();
  const CRect fit = FitInto(area);
  DrawPicture(dc, fit);

  if (m_hBadge) {
    CDC badge;
    badge.CreateCompatibleDC(dc);
    const HGDIOBJ old = SelectObject(badge.GetSafeHdc(), m_hBadge);
    dc->BitBlt(client.right - 25, client.top + 3, 22, 9, &badge, 0, 0, SRCCOPY);
    SelectObject(badge.GetSafeHdc(), old);
  }

  // The icons stand where there is more room: in a column right of a
  // portrait picture, in a row above a landscape one. An absent icon takes no place.
  const bool column = fit.top - client.top < client.right - fit.right;
  CPoint at = column ? CPoint((client.right + fit.right - kIconSize) / 2, area.top)
                     : CPoint(area.left, (client.top + fit.top - kIconSize) / 2);
  for (const auto& [shown, icon] : {std::pair{m_Thumbnail.IsLocked(), m_hLockIcon},
                                    std::pair{m_Thumbnail.IsMarked(), m_hMarkIcon}}) {
    if (!shown || !icon) continue;
    DrawIconEx(dc->GetSafeHdc(), at.x, at.y, icon, kIconSize, kIconSize, 0, nullptr, DI_NORMAL);
    (column ? at.y : at.x) += kIconStep;
  }

  CRect caption(area.left, area.bottom + 2, area.right, client.bottom - 2);
  CFont* oldFont = m_pCaptionFont ? dc->SelectObject(m_pCaptionFont) : nullptr;
  const COLORREF oldColour = dc->SetTextColor(m_CaptionColor);
  const int oldMode = dc->SetBkMode(TRANSPARENT);
  dc->DrawText(std::u16string(m_Thumbnail.m_FileName.View()), &caption, kCaptionFormat);
  dc->SetBkMode(oldMode);
  dc->SetTextColor(oldColour);
  if (oldFont) dc->SelectObject(oldFont);
}
