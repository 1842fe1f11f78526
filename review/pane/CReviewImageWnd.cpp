#include "review/pane/CReviewImageWnd.h"

#include "review/pane/ReviewRegionSource.h"

#include "toolkit/CET_Calc.h"
#include "toolkit/OffscreenPaint.h"
#include "toolkit/PictureColor.h"
#include "toolkit/SiblingBar.h"

#include <algorithm>
#include <cmath>
#include <memory>

BEGIN_MESSAGE_MAP(CReviewImageWnd, CET_ImageWndOrg)
  ON_WM_CREATE()
  ON_WM_NCCALCSIZE()
  ON_WM_SIZE()
  ON_WM_SETCURSOR()
  ON_WM_LBUTTONDOWN()
  ON_WM_LBUTTONUP()
  ON_WM_MOUSEMOVE()
  ON_WM_TIMER()
  ON_WM_HSCROLL()
  ON_WM_VSCROLL()
END_MESSAGE_MAP()

namespace {

constexpr double kZoomTolerance = 1e-6;
constexpr int kGrayPointCursor = 276;
constexpr int kGrabCursor = 269;
constexpr int kHandCursor = 270;
constexpr UINT kLeaveTimerMs = 10;

FDoubleRect ToDouble(const RECT& r) { return FDoubleRect(r.left, r.top, r.right, r.bottom); }

CRect Rounded(const FDoubleRect& r) {
  return CRect(CET_Calc::RoundToInt(r.left), CET_Calc::RoundToInt(r.top), CET_Calc::RoundToInt(r.right),
               CET_Calc::RoundToInt(r.bottom));
}

CRect Truncated(const FDoubleRect& r) {
  return CRect(TruncateToInt(r.left), TruncateToInt(r.top), TruncateToInt(r.right), TruncateToInt(r.bottom));
}

// A cursor whose picture could not be loaded leaves the one shown.
bool ShowOwnCursor(HCURSOR cursor) {
  if (!cursor) return false;
  ::SetCursor(cursor);
  return true;
}

HCURSOR LoadResourceCursor(int id) {
  return reinterpret_cast<HCURSOR>(LoadImageW(nullptr, MAKEINTRESOURCEW(id), IMAGE_CURSOR, 0, 0, LR_DEFAULTCOLOR));
}

// The ruler font: the GUI font at 8 points, smoothed; turned when asked.
void MakeRulerFont(CFont& font, bool vertical) {
  LOGFONTW look{};
  ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof look, &look);
  HDC screen = ::GetDC(nullptr);
  const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ::ReleaseDC(nullptr, screen);
  look.lfHeight = -::MulDiv(80, dpi > 0 ? dpi : 96, 720);
  look.lfWidth = 0;
  look.lfQuality = ANTIALIASED_QUALITY;
  look.lfEscapement = vertical ? -900 : 0;
  look.lfOrientation = 0;
  font.CreateFontIndirect(&look);
}

} // namespace

// ---- Zoom steps ----------------------------------------------------------------------------

double CReviewImageWnd::ZoomOfStep(int step) {
  step = std::clamp(step, 0, kZoomSteps - 1);
  if (step < kActualSizeStep) return 1.0 / (kActualSizeStep + 1 - step);
  return step - kActualSizeStep + 1.0;
}

int CReviewImageWnd::NextZoomStep(int kind, int step, double zoom) {
  switch (kind) {
  case 1: return -1;
  case 2: return kActualSizeStep;
  case 3: {
    int next = step + 1;
    if (step < 0) {
      next = kZoomSteps;
      for (int s = 0; s < kZoomSteps; ++s) {
        if (ZoomOfStep(s) - zoom > kZoomTolerance) {
          next = s;
          break;
        }
      }
    }
    return std::min(next, kZoomSteps - 1);
  }
  case 4: {
    int next = step - 1;
    if (step < 0) {
      for (int s = kZoomSteps - 1; s >= 0; --s) {
        if (zoom - ZoomOfStep(s) > kZoomTolerance) {
          next = s;
          break;
        }
      }
    }
    return std::max(next, 0);
  }
  default: return 0;
  }
}

CReviewImageWnd::CReviewImageWnd() {
  SetDragMode(TRUE);
  m_BackgroundColor = RGB(89, 89, 89);
  MakeRulerFont(m_RulerFont, false);
  MakeRulerFont(m_VerticalRulerFont, true);
}

CReviewImageWnd::~CReviewImageWnd() {
  ReleaseCursors();
  for (CScrollBarBase& bar : m_Bars) {
    if (bar.GetSafeHwnd()) bar.DestroyWindow();
  }
}

void CReviewImageWnd::ReleaseCursors() {
  // Cursors share the icons' handles.
  for (HCURSOR* cursor : {&m_hGrayPointCursor, &m_hGrabCursor, &m_hHandCursor}) {
    if (*cursor) ::DestroyIcon(*cursor);
    *cursor = nullptr;
  }
}

BOOL CReviewImageWnd::DestroyWindow() {
  ReleaseCursors();
  return CET_ImageWndOrg::DestroyWindow();
}

void CReviewImageWnd::SetZoomIndex(int step) {
  m_ZoomStep = std::clamp(step, -1, kZoomSteps - 1);
  if (m_ZoomStep >= 0) {
    SetZoom(ZoomOfStep(m_ZoomStep), CPoint(-1, -1));
    return;
  }
  SetZoom(-1.0, CPoint(-1, -1));
  if (m_Dib.IsValid()) FitToArea();
}

void CReviewImageWnd::StepZoom(int kind) { SetZoomIndex(NextZoomStep(kind, m_ZoomStep, m_Zoom)); }

void CReviewImageWnd::SetRuler(BOOL on, BOOL ticksHidden) {
  m_bRuler = on ? 1 : 0;
  m_bHideTicks = ticksHidden ? 1 : 0;
  if (m_ZoomStep >= 0) {
    SetZoom(ZoomOfStep(m_ZoomStep), CPoint(-1, -1));
  } else if (m_Dib.IsValid()) {
    FitToArea();
  }
  if (!GetSafeHwnd()) return;
  RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  UpdateScrollBars();
  ApplyScrollPos();
}

void CReviewImageWnd::SetLoupe(BOOL on, int magnification) {
  m_bLoupe = on ? 1 : 0;
  if (m_bLoupe) {
    // A step of 0 from a damaged settings file would divide the loupe's reach.
    m_LoupeScale = ValidLoupeMagnification(magnification);
    m_bHideCursor = m_bGrayPointMode ? 0 : 1;
  }
  if (GetSafeHwnd()) RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CReviewImageWnd::SetGrayPointMode(BOOL on) {
  m_bGrayPointMode = on ? 1 : 0;
  SetDragMode(!m_bGrayPointMode);
}

void CReviewImageWnd::GetOuterRect(LPRECT rect) const {
  if (!rect) return;
  CRect outer(0, 0, 0, 0);
  if (GetSafeHwnd()) {
    GetWindowRect(outer);
    if (CWnd* parent = GetParent()) parent->ScreenToClient(outer);
  }
  if (m_Bars[0].GetSafeHwnd() && m_Bars[0].IsWindowVisible()) outer.right += kBarSize;
  if (m_Bars[1].GetSafeHwnd() && m_Bars[1].IsWindowVisible()) outer.bottom += kBarSize;
  *rect = outer;
}

void CReviewImageWnd::MoveOuter(const RECT& rect) {
  CRect inner(rect);
  if (m_Bars[0].GetSafeHwnd() && m_Bars[0].IsWindowVisible()) inner.right -= kBarSize;
  if (m_Bars[1].GetSafeHwnd() && m_Bars[1].IsWindowVisible()) inner.bottom -= kBarSize;
  MoveWindow(inner, TRUE);
}

// ---- Geometry ------------------------------------------------------------------------------

CRect CReviewImageWnd::ClientArea() const {
  CRect client(0, 0, 0, 0);
  if (GetSafeHwnd()) GetClientRect(client);
  return client;
}

CRect CReviewImageWnd::PictureArea() const {
  CRect area = ClientArea();
  area.left += RulerShift();
  area.top += RulerShift();
  return area;
}

void CReviewImageWnd::FitToArea() {
  if (m_ImageRect.Width() <= 0 || m_ImageRect.Height() <= 0) return;
  const CRect client = ClientArea();
  const CRect area(0, 0, client.Width() - RulerShift(), client.Height() - RulerShift());
  const CRect fitted = CET_Calc::FitRectInRect(area, m_ImageRect);
  // A pane too small for a pixel keeps its zoom: a zoom of 0 divides every
  // conversion by nothing.
  if (fitted.Width() <= 0 || fitted.Height() <= 0) return;
  m_Zoom = static_cast<double>(fitted.Width()) / m_ImageRect.Width();
  m_Offset = FDoublePoint(fitted.left, fitted.top);
}

FDoublePoint CReviewImageWnd::ClientToImage(CPoint point) const {
  if (!m_bRuler) return CET_ImageWndOrg::ClientToImage(point);
  return FDoublePoint((point.x - m_Offset.x - kRulerBand) / m_Zoom, (point.y - m_Offset.y - kRulerBand) / m_Zoom);
}

CRect CReviewImageWnd::ImageToClient(const CRect& rect) const {
  if (!m_bRuler) return CET_ImageWndOrg::ImageToClient(rect);
  const double x = m_Offset.x + kRulerBand;
  const double y = m_Offset.y + kRulerBand;
  return Truncated(FDoubleRect(rect.left * m_Zoom + x, rect.top * m_Zoom + y, rect.right * m_Zoom + x,
                               rect.bottom * m_Zoom + y));
}

FDoubleRect CReviewImageWnd::ClientRectToImage(const FDoubleRect& rect, BOOL clip) const {
  if (!m_bRuler) return CET_ImageWndOrg::ClientRectToImage(rect, clip);
  const double x = m_Offset.x + kRulerBand;
  const double y = m_Offset.y + kRulerBand;
  FDoubleRect image((rect.left - x) / m_Zoom, (rect.top - y) / m_Zoom, (rect.right - x) / m_Zoom,
                    (rect.bottom - y) / m_Zoom);
  if (clip) image.IntersectWith(ToDouble(m_ImageRect));
  return image;
}

FDoubleRect CReviewImageWnd::ImageRectToClient(const FDoubleRect& rect, BOOL clip) const {
  if (!m_bRuler) return CET_ImageWndOrg::ImageRectToClient(rect, clip);
  const double x = m_Offset.x + kRulerBand;
  const double y = m_Offset.y + kRulerBand;
  FDoubleRect client(rect.left * m_Zoom + x, rect.top * m_Zoom + y, rect.right * m_Zoom + x, rect.bottom * m_Zoom + y);
  if (clip) client.IntersectWith(ToDouble(PictureArea()));
  return client;
}

// ---- Pictures ------------------------------------------------------------------------------

void CReviewImageWnd::SetImage(const CET_Dib* picture, BOOL fit, double pictureScale, int imageWidth,
                               int imageHeight) {
  CET_ImageWndOrg::SetImage(picture, fit, pictureScale, imageWidth, imageHeight);
  if (m_bFitMode) FitToArea();
}

void CReviewImageWnd::ShowWarningImage(int mode, int high, int low, COLORREF highColour, COLORREF lowColour,
                                       const CET_Dib* source, const CET_Dib* base, double pictureScale, int width,
                                       int height) {
  if (base && !base->IsValid()) return;
  const auto threshold = [](int value) { return static_cast<BYTE>(std::clamp(value, 0, 255)); };
  std::unique_ptr<CET_Dib> warning(
      MakeClipWarningDib(source, base, mode, threshold(high), threshold(low), highColour, lowColour));
  // Without a warning picture (no source, a base of another size) the
  // current picture stays rather than an empty one.
  if (!warning) return;
  m_Dib.CopyFrom(warning.get());
  m_PictureScale = pictureScale > 0 && std::isfinite(pictureScale) ? pictureScale : 1.0;
  SetImageRect(width, height);
  UpdateScrollBars();
  if (m_bFitMode) FitToArea();
  if (GetSafeHwnd()) Invalidate(TRUE);
}

// ---- Scroll bars ---------------------------------------------------------------------------

void CReviewImageWnd::ClearScrollInfo() {
  SCROLLINFO none{};
  none.cbSize = sizeof(SCROLLINFO);
  none.fMask = SIF_ALL;
  SetScrollInfo(SB_VERT, &none, TRUE);
  SetScrollInfo(SB_HORZ, &none, TRUE);
}

void CReviewImageWnd::UpdateScrollBars() {
  if (!GetSafeHwnd()) return;
  const FDoubleRect zoomed = ZoomedImageRect();
  CRect window;
  GetWindowRect(window);
  const bool anyNeeded = !m_bFitMode && (zoomed.Height() > window.Height() || zoomed.Width() > window.Width());
  if (!anyNeeded) {
    m_bVScroll = m_bHScroll = FALSE;
    m_bCornerBox = 0;
    ShowScrollBar(SB_BOTH, FALSE);
    ClearScrollInfo();
    UpdateBarLayout();
    return;
  }
  // First against the whole window, then against what the bars leave.
  m_bVScroll = zoomed.Height() > window.Height();
  m_bHScroll = zoomed.Width() > window.Width();
  m_bCornerBox = m_bVScroll && m_bHScroll;
  UpdateBarLayout();
  const CRect client = ClientArea();
  m_bVScroll = zoomed.Height() > client.Height();
  m_bHScroll = zoomed.Width() > client.Width();
  m_bCornerBox = m_bVScroll && m_bHScroll;
  UpdateBarLayout();

  const CRect area = ClientArea();
  auto setAxis = [this](int bar, bool needed, double extent, int page, double offset) {
    SCROLLINFO info{};
    info.cbSize = sizeof(SCROLLINFO);
    info.fMask = SIF_ALL;
    if (needed) {
      info.nMax = TruncateToInt(extent) + RulerShift();
      info.nPage = static_cast<UINT>(std::max(page, 0));
      info.nPos = TruncateToInt(-offset);
      info.nTrackPos = info.nPos;
    }
    SetScrollInfo(bar, &info, TRUE);
  };
  setAxis(SB_VERT, m_bVScroll, zoomed.Height(), area.Height(), m_Offset.y);
  setAxis(SB_HORZ, m_bHScroll, zoomed.Width(), area.Width(), m_Offset.x);
  RereadBars();
}

void CReviewImageWnd::UpdateBarLayout() {
  if (!m_Bars[0].GetSafeHwnd() || !m_Bars[1].GetSafeHwnd() || !m_Bars[2].GetSafeHwnd()) return;
  const bool shownV = m_Bars[0].IsWindowVisible() != FALSE;
  const bool shownH = m_Bars[1].IsWindowVisible() != FALSE;
  const bool shownC = m_Bars[2].IsWindowVisible() != FALSE;
  const bool needV = m_bVScroll != FALSE;
  const bool needH = m_bHScroll != FALSE;
  const bool needC = m_bCornerBox != 0;
  if (shownV == needV && shownH == needH && shownC == needC) return;
  CRect pane;
  GetWindowRect(pane);
  if (CWnd* parent = GetParent()) parent->ScreenToClient(pane);
  if (needV != shownV) pane.right += needV ? -kBarSize : kBarSize;
  if (needH != shownH) pane.bottom += needH ? -kBarSize : kBarSize;
  m_Bars[0].ShowWindow(needV ? SW_SHOW : SW_HIDE);
  m_Bars[1].ShowWindow(needH ? SW_SHOW : SW_HIDE);
  m_Bars[2].ShowWindow(needC ? SW_SHOW : SW_HIDE);
  MoveWindow(pane, TRUE);
  PlaceBars();
}

void CReviewImageWnd::PlaceBars() {
  for (int type = 0; type < 3; ++type) {
    CScrollBarBase& bar = m_Bars[static_cast<std::size_t>(type)];
    if (bar.GetSafeHwnd() && bar.IsWindowVisible()) PlaceSiblingBar(bar, *this, type);
  }
}

void CReviewImageWnd::RereadBars() {
  for (std::size_t i = 0; i < 2; ++i) {
    if (m_Bars[i].GetSafeHwnd() && m_Bars[i].IsWindowVisible()) m_Bars[i].UpdateFromTarget();
  }
}

void CReviewImageWnd::ApplyScrollPos() {
  CET_ImageWndOrg::ApplyScrollPos();
  RereadBars();
}

void CReviewImageWnd::ClampScroll(BOOL centre) {
  // Both ways end in UpdateScrollBars or ApplyScrollPos, which make the
  // shown bars re-read the scroll data.
  if (!m_bRuler) {
    CET_ImageWndOrg::ClampScroll(centre);
    return;
  }
  const CRect zoomed = Rounded(ZoomedImageRect());
  const CRect client = ClientArea();
  const int areaWidth = client.Width() - kRulerBand;
  const int areaHeight = client.Height() - kRulerBand;
  auto clamp = [centre](double& offset, int start, int size, int areaSize) {
    const int excess = size - areaSize;
    if (excess > 0) {
      if (start + offset > 0) offset = -start;
      if (areaSize > start + offset + size) offset = areaSize - size - start;
    } else if (centre) {
      offset = -excess / 2.0;
    }
  };
  clamp(m_Offset.x, zoomed.left, zoomed.Width(), areaWidth);
  clamp(m_Offset.y, zoomed.top, zoomed.Height(), areaHeight);
  if (centre) {
    UpdateScrollBars();
  } else {
    ApplyScrollPos();
  }
}

void CReviewImageWnd::ScrollToRelativeRect(const FDoubleRect& fractions) {
  if (!m_Dib.IsValid() || !GetSafeHwnd()) return;
  for (double f : {fractions.left, fractions.top, fractions.right, fractions.bottom}) {
    if (!std::isfinite(f)) return;
  }
  const FDoubleRect visible = ImageRectToClient(ClientRectToImage(ToDouble(ClientArea()), TRUE), FALSE);
  const double width = m_ImageRect.Width();
  const double height = m_ImageRect.Height();
  const FDoubleRect requested = ImageRectToClient(
      FDoubleRect(fractions.left * width, fractions.top * height, fractions.right * width, fractions.bottom * height),
      FALSE);
  m_Offset.x += visible.left - requested.left;
  m_Offset.y += visible.top - requested.top;
  const CRect client = ClientArea();
  if (fractions.left > kZoomTolerance && fractions.right >= 1.0 - kZoomTolerance) {
    m_Offset.x = client.Width() - width * m_Zoom;
  }
  if (fractions.top > kZoomTolerance && fractions.bottom >= 1.0 - kZoomTolerance) {
    m_Offset.y = client.Height() - height * m_Zoom;
  }
  ClampScroll(FALSE);
  Invalidate(TRUE);
}

// ---- Drawing -------------------------------------------------------------------------------

bool CReviewImageWnd::CursorInClient(CPoint& point) const {
  POINT screen{};
  if (!GetSafeHwnd() || !::GetCursorPos(&screen)) return false;
  point = screen;
  ScreenToClient(&point);
  return ClientArea().PtInRect(point) != FALSE;
}

bool CReviewImageWnd::PixelUnder(CPoint point, CPoint& pixel) const {
  if (!m_Dib.IsValid()) return false;
  const FDoublePoint image = ClientToImage(point);
  const int width = CET_Calc::RoundToInt(m_Dib.GetWidth() * m_PictureScale);
  const int height = CET_Calc::RoundToInt(m_Dib.GetHeight() * m_PictureScale);
  const auto inside = [](double v, int size) { return v >= -kZoomTolerance && v <= size - 1 + kZoomTolerance; };
  if (!inside(image.x, width) || !inside(image.y, height)) return false;
  pixel = CPoint(std::max(0, TruncateToInt(image.x)), std::max(0, TruncateToInt(image.y)));
  return true;
}

void CReviewImageWnd::DrawRulersOn(CDC* dc) {
  RulerLook look;
  look.font = &m_RulerFont;
  look.verticalFont = &m_VerticalRulerFont;
  look.ticksHidden = m_bHideTicks != 0;
  const FDoublePoint origin(m_Offset.x + kRulerBand, m_Offset.y + kRulerBand);
  CPoint cursor;
  const bool inside = CursorInClient(cursor);
  DrawRulers(dc, ClientArea(), origin, m_Zoom, look, inside ? &cursor : nullptr);
}

void CReviewImageWnd::ShowCursorAgain(BOOL hide) {
  m_bHideCursor = hide ? 1 : 0;
  // Putting the cursor where it is makes the window ask for its cursor again.
  POINT screen{};
  if (::GetCursorPos(&screen)) ::SetCursorPos(screen.x, screen.y);
}

void CReviewImageWnd::DrawLoupe(CDC* dc, const CRect& pictureDestination) {
  CPoint cursor;
  CPoint pixel;
  std::unique_ptr<CET_Dib> region;
  COLORREF colour = 0;
  LoupeLayout layout;
  if (CursorInClient(cursor) && PixelUnder(cursor, pixel)) {
    const int width = CET_Calc::RoundToInt(m_Dib.GetWidth() * m_PictureScale);
    const int height = CET_Calc::RoundToInt(m_Dib.GetHeight() * m_PictureScale);
    layout = LayOutLoupe(cursor, pixel, width, height, LoupeSide(m_LoupeSize), m_LoupeScale);
    if (auto* source = dynamic_cast<IReviewRegionSource*>(GetParent())) {
      region.reset(source->RenderRegion(layout.source.left, layout.source.top, layout.source.right,
                                        layout.source.bottom, pixel.x, pixel.y, &colour));
    }
  }
  if (region && region->IsValid()) {
    if (!m_bHideCursor) ShowCursorAgain(TRUE);
    ::DrawLoupe(dc, layout, pictureDestination, *region, colour, &m_RulerFont);
  } else if (m_bHideCursor) {
    ShowCursorAgain(FALSE);
  }
  if (!m_bLeaveTimerFlag) SetTimer(kLeaveTimer, kLeaveTimerMs);
}

void CReviewImageWnd::DrawImage(CDC* dc) {
  if (!dc) return;
  const CRect client = ClientArea();
  PaintOffscreen(dc, client, [this, &client](CDC* memory) {
    CRect grown(client);
    grown.InflateRect(1, 1);
    memory->FillSolidRect(grown, m_BackgroundColor);
    const CRect area = PictureArea();
    const bool hasPicture = m_Dib.IsValid() && m_Dib.header && m_ImageRect.Width() > 0 && m_ImageRect.Height() > 0;
    if (!hasPicture) {
      if (m_bRuler) DrawRulersOn(memory);
      return;
    }
    const int stretchMode = memory->SetStretchBltMode(COLORONCOLOR);
    const int mapMode = memory->SetMapMode(MM_TEXT);
    const int bkMode = memory->SetBkMode(TRANSPARENT);
    const double scale = m_PictureScale;
    CRect source;
    CRect destination;
    if (m_bFitMode) {
      destination = CET_Calc::FitRectInRect(area, m_ImageRect);
      FDoubleRect whole = ToDouble(m_ImageRect);
      whole /= scale;
      source = Rounded(whole);
      if (destination.Width() > 0) {
        m_Zoom = static_cast<double>(destination.Width()) / m_ImageRect.Width();
        m_Offset = FDoublePoint(destination.left - RulerShift(), destination.top - RulerShift());
      }
    } else {
      FDoubleRect visible = ClientRectToImage(ToDouble(area), TRUE);
      visible /= scale;
      source = Rounded(visible);
      destination = Rounded(ImageRectToClient(ToDouble(m_ImageRect), TRUE));
    }
    if (m_bRuler) DrawRulersOn(memory);
    // Source rows count from the first row in memory, the bottom one of a
    // bottom-up picture.
    if (m_Dib.header->bmiHeader.biHeight > 0) {
      const int rows = source.Height();
      source.top = m_Dib.GetHeight() - source.bottom;
      source.bottom = source.top + rows;
    }
    if (source.Width() > 0 && source.Height() > 0 && destination.Width() > 0 && destination.Height() > 0) {
      // Only the picture's pixels go through the window's colour management.
      BeginICM(memory);
      BITMAPINFO header = *m_Dib.header;
      ::StretchDIBits(memory->m_hDC, destination.left, destination.top, destination.Width(), destination.Height(),
                      source.left, source.top, source.Width(), source.Height(), m_Dib.bits, &header, DIB_RGB_COLORS,
                      SRCCOPY);
      EndICM(memory);
    }
    if (m_bLoupe && m_bMouseInside) DrawLoupe(memory, destination);
    memory->SetBkMode(bkMode);
    memory->SetMapMode(mapMode);
    memory->SetStretchBltMode(stretchMode);
  });
}

// ---- Messages ------------------------------------------------------------------------------

int CReviewImageWnd::OnCreate(LPCREATESTRUCT cs) {
  if (CET_ImageWndOrg::OnCreate(cs) == -1 || !GetParent()) return -1;
  for (int type = 0; type < 3; ++type) {
    if (!CreateSiblingBar(m_Bars[static_cast<std::size_t>(type)], *this, type, false)) return -1;
  }
  m_hGrayPointCursor = LoadResourceCursor(kGrayPointCursor);
  m_hGrabCursor = LoadResourceCursor(kGrabCursor);
  m_hHandCursor = LoadResourceCursor(kHandCursor);
  return 0;
}

void CReviewImageWnd::OnNcCalcSize(BOOL calcValidRects, NCCALCSIZE_PARAMS* params) {
  ShowScrollBar(SB_BOTH, FALSE);
  CET_ImageWndOrg::OnNcCalcSize(calcValidRects, params);
}

void CReviewImageWnd::OnSize(UINT type, int cx, int cy) {
  CET_ImageWndOrg::OnSize(type, cx, cy);
  PlaceBars();
  if (m_bFitMode && m_Dib.IsValid()) FitToArea();
}

BOOL CReviewImageWnd::OnSetCursor(CWnd* wnd, UINT hitTest, UINT message) {
  if (m_bGrayPointMode) {
    if (ShowOwnCursor(m_hGrayPointCursor)) return TRUE;
  } else if (!m_bLoupe) {
    if (m_LeftButtonMode == 1 && AnyBarShown() && ShowOwnCursor(m_bPanning ? m_hGrabCursor : m_hHandCursor)) {
      return TRUE;
    }
  } else if (m_bHideCursor) {
    CPoint cursor;
    CPoint pixel;
    if (CursorInClient(cursor) && PixelUnder(cursor, pixel)) {
      ::SetCursor(nullptr);
      return TRUE;
    }
  }
  return CET_ImageWndOrg::OnSetCursor(wnd, hitTest, message);
}

void CReviewImageWnd::OnLButtonDown(UINT flags, CPoint point) {
  if (m_LeftButtonMode == 1 && AnyBarShown()) {
    m_bPanning = 1;
    if (!m_bLoupe) ShowOwnCursor(m_hGrabCursor);
  }
  CET_ImageWndOrg::OnLButtonDown(flags, point);
}

void CReviewImageWnd::OnLButtonUp(UINT flags, CPoint point) {
  if (m_LeftButtonMode == 1 && AnyBarShown()) {
    m_bPanning = 0;
    if (!m_bLoupe) ShowOwnCursor(m_hHandCursor);
  }
  CET_ImageWndOrg::OnLButtonUp(flags, point);
}

void CReviewImageWnd::OnMouseMove(UINT flags, CPoint point) {
  if (m_bLoupe) {
    m_bMouseInside = 1;
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  }
  if (m_bRuler) {
    // The red marks follow the cursor without a full repaint.
    if (CDC* dc = GetDC()) {
      DrawRulersOn(dc);
      ReleaseDC(dc);
    }
  }
  CET_ImageWndOrg::OnMouseMove(flags, point);
}

void CReviewImageWnd::OnTimer(UINT_PTR id) {
  if (id == kLeaveTimer) {
    POINT screen{};
    ::GetCursorPos(&screen);
    if (::WindowFromPoint(screen) != m_hWnd) {
      m_bMouseInside = 0;
      RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
      KillTimer(kLeaveTimer);
    }
  }
  CET_ImageWndOrg::OnTimer(id);
}

void CReviewImageWnd::OnHScroll(UINT code, UINT pos, CScrollBar* bar) {
  CET_ImageWndOrg::OnHScroll(code, pos, bar);
  NotifyOwner(WM_HSCROLL, 0, 0, TRUE);
}

void CReviewImageWnd::OnVScroll(UINT code, UINT pos, CScrollBar* bar) {
  CET_ImageWndOrg::OnVScroll(code, pos, bar);
  NotifyOwner(WM_VSCROLL, 0, 0, TRUE);
}
