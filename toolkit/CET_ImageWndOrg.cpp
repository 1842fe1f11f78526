#include "toolkit/CET_ImageWndOrg.h"

#include "toolkit/CET_Calc.h"
#include "toolkit/FileOperations.h"
#include "toolkit/OffscreenPaint.h"
#include "toolkit/PictureColor.h"

#include "platform/afx/AfxDC.h"

#include <algorithm>
#include <cmath>
#include <memory>

BEGIN_MESSAGE_MAP(CET_ImageWndOrg, CWnd)
  ON_WM_PAINT()
  ON_WM_SIZE()
  ON_WM_HSCROLL()
  ON_WM_VSCROLL()
  ON_WM_LBUTTONDOWN()
  ON_WM_LBUTTONUP()
  ON_WM_LBUTTONDBLCLK()
  ON_WM_RBUTTONDOWN()
  ON_WM_RBUTTONUP()
  ON_WM_RBUTTONDBLCLK()
  ON_WM_MOUSEMOVE()
  ON_MESSAGE(WM_IMAGEWND_NOTIFY, OnImageNotifyMessage)
END_MESSAGE_MAP()

void CET_ImageWndMsgData::Reset() {
  m_Point = CPoint(0, 0);
  m_ImagePoint = FDoublePoint();
  m_VisibleRect = FDoubleRect();
  m_Colour = 0xFFFFFF;
  ResetExtra();
}

void CET_ImageWndMsgData::ResetExtra() { m_Extra = 0; }

namespace {

CRect ClientRectOf(const CWnd& wnd) {
  CRect client(0, 0, 0, 0);
  if (wnd.GetSafeHwnd()) wnd.GetClientRect(client);
  return client;
}

FDoubleRect ToDouble(const RECT& r) { return FDoubleRect(r.left, r.top, r.right, r.bottom); }

CRect Truncated(const FDoubleRect& r) {
  return CRect(TruncateToInt(r.left), TruncateToInt(r.top), TruncateToInt(r.right), TruncateToInt(r.bottom));
}

void SetBarInfo(CWnd& wnd, int bar, int max, int page, int pos) {
  SCROLLINFO info{};
  info.cbSize = sizeof(SCROLLINFO);
  info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
  info.nMin = 0;
  info.nMax = max;
  info.nPage = static_cast<UINT>(std::max(page, 0));
  info.nPos = pos;
  wnd.SetScrollInfo(bar, &info, TRUE);
}

} // namespace

CET_ImageWndOrg::~CET_ImageWndOrg() {
  if (m_hColorSpace) DeleteColorSpace(m_hColorSpace);
}

void CET_ImageWndOrg::SetColorSpace(HCOLORSPACE space) {
  if (m_hColorSpace && m_hColorSpace != space) DeleteColorSpace(m_hColorSpace);
  m_hColorSpace = space;
}

LRESULT CET_ImageWndOrg::OnImageNotify(WPARAM, LPARAM) { return 0; }

LRESULT CET_ImageWndOrg::OnImageNotifyMessage(WPARAM wParam, LPARAM lParam) { return OnImageNotify(wParam, lParam); }

void CET_ImageWndOrg::SetBackground(int kind) {
  switch (kind) {
  case 0: m_BackgroundColor = RGB(0, 0, 0); break;
  case 1: m_BackgroundColor = RGB(105, 105, 105); break;
  case 2: m_BackgroundColor = RGB(255, 255, 255); break;
  default: break;
  }
  if (GetSafeHwnd()) Invalidate(TRUE);
}

void CET_ImageWndOrg::SetImageRect(int imageWidth, int imageHeight) {
  if (imageWidth != 0 && imageHeight != 0) {
    m_ImageRect = CRect(0, 0, imageWidth, imageHeight);
  } else {
    m_ImageRect = CRect(0, 0, CET_Calc::RoundToInt(std::abs(m_Dib.GetWidth() * m_PictureScale)),
                        CET_Calc::RoundToInt(std::abs(m_Dib.GetHeight() * m_PictureScale)));
  }
}

void CET_ImageWndOrg::SetImage(const CET_Dib* picture, BOOL fit, double pictureScale, int imageWidth,
                               int imageHeight) {
  if (picture) m_Dib.CopyFrom(picture);
  m_PictureScale = pictureScale > 0 && std::isfinite(pictureScale) ? pictureScale : 1.0;
  SetImageRect(imageWidth, imageHeight);
  if (fit) m_bFitMode = TRUE;
  UpdateScrollBars();
  if (m_bFitMode && m_ImageRect.Width() > 0) {
    const CRect fitted = CET_Calc::FitRectInRect(ClientRectOf(*this), m_ImageRect);
    m_Zoom = static_cast<double>(fitted.Width()) / m_ImageRect.Width();
  }
  if (GetSafeHwnd()) Invalidate(TRUE);
}

void CET_ImageWndOrg::ClearImage() {
  m_Dib.Free();
  m_ImageRect = CRect(0, 0, 0, 0);
  if (GetSafeHwnd()) Invalidate(TRUE);
}

void CET_ImageWndOrg::SetZoom(double zoom, CPoint about) {
  if (zoom == -1.0) {
    m_bFitMode = TRUE;
  } else {
    // A zoom of 0, a negative or a non-finite one would make every
    // conversion divide by nothing: the zoom stays within its bounds.
    if (!std::isfinite(zoom) || zoom <= 0) return;
    zoom = std::clamp(zoom, kMinZoom, kMaxZoom);
    if (about.x == -1 && about.y == -1) {
      const CRect client = ClientRectOf(*this);
      about = CPoint(client.Width() / 2, client.Height() / 2);
    }
    const FDoublePoint image = ClientToImage(about);
    m_Zoom = zoom;
    m_Offset = FDoublePoint(about.x - image.x * zoom, about.y - image.y * zoom);
    m_bFitMode = FALSE;
  }
  ClampScroll(TRUE);
  if (GetSafeHwnd()) Invalidate(TRUE);
}

void CET_ImageWndOrg::ZoomIn() { SetZoom(m_Zoom * 1.2, CPoint(-1, -1)); }

void CET_ImageWndOrg::ZoomOut() { SetZoom(m_Zoom / 1.2, CPoint(-1, -1)); }

FDoublePoint CET_ImageWndOrg::ClientToImage(CPoint point) const {
  return FDoublePoint((point.x - m_Offset.x) / m_Zoom, (point.y - m_Offset.y) / m_Zoom);
}

CRect CET_ImageWndOrg::ImageToClient(const CRect& rect) const {
  return Truncated(FDoubleRect(rect.left * m_Zoom + m_Offset.x, rect.top * m_Zoom + m_Offset.y,
                               rect.right * m_Zoom + m_Offset.x, rect.bottom * m_Zoom + m_Offset.y));
}

FDoubleRect CET_ImageWndOrg::ClientRectToImage(const FDoubleRect& rect, BOOL clip) const {
  FDoubleRect image((rect.left - m_Offset.x) / m_Zoom, (rect.top - m_Offset.y) / m_Zoom,
                    (rect.right - m_Offset.x) / m_Zoom, (rect.bottom - m_Offset.y) / m_Zoom);
  if (clip) image.IntersectWith(ToDouble(m_ImageRect));
  return image;
}

FDoubleRect CET_ImageWndOrg::ImageRectToClient(const FDoubleRect& rect, BOOL clip) const {
  FDoubleRect client(rect.left * m_Zoom + m_Offset.x, rect.top * m_Zoom + m_Offset.y,
                     rect.right * m_Zoom + m_Offset.x, rect.bottom * m_Zoom + m_Offset.y);
  if (clip) client.IntersectWith(ToDouble(ClientRectOf(*this)));
  return client;
}

void CET_ImageWndOrg::SetImageWithWarning(int mode, BYTE high, BYTE low, COLORREF highColour, COLORREF lowColour,
                                          const CET_Dib* picture, double pictureScale, int imageWidth,
                                          int imageHeight) {
  std::unique_ptr<CET_Dib> warning(MakeClipWarningDib(picture, nullptr, mode, high, low, highColour, lowColour));
  if (warning) m_Dib.CopyFrom(warning.get());
  m_PictureScale = pictureScale > 0 && std::isfinite(pictureScale) ? pictureScale : 1.0;
  SetImageRect(imageWidth, imageHeight);
}

CDC* CET_ImageWndOrg::GetImageDC() {
  CDC* dc = GetDC();
  if (dc) BeginICM(dc);
  return dc;
}

void CET_ImageWndOrg::ReleaseImageDC(CDC* dc) {
  if (!dc) return;
  EndICM(dc);
  ReleaseDC(dc);
}

FDoubleRect CET_ImageWndOrg::ZoomedImageRect() const {
  FDoubleRect zoomed = ToDouble(m_ImageRect);
  zoomed *= m_Zoom;
  return zoomed;
}

void CET_ImageWndOrg::DrawImage(CDC* dc) {
  if (!dc) return;
  const CRect client = ClientRectOf(*this);
  PaintOffscreen(dc, client, [this, &client](CDC* memory) {
    CRect grown(client);
    grown.InflateRect(1, 1);
    memory->FillSolidRect(grown, m_BackgroundColor);
    const CET_Dib& picture = m_Dib;
    const CRect& imageRect = m_ImageRect;
    if (!picture.IsValid() || !picture.header || imageRect.Width() <= 0 || imageRect.Height() <= 0) return;
    const double scale = m_PictureScale;
    CRect source;
    CRect destination;
    if (m_bFitMode) {
      destination = CET_Calc::FitRectInRect(client, imageRect);
      source = CRect(CET_Calc::RoundToInt(imageRect.left / scale), CET_Calc::RoundToInt(imageRect.top / scale),
                     CET_Calc::RoundToInt(imageRect.right / scale),
                     CET_Calc::RoundToInt(imageRect.bottom / scale));
      m_Zoom = static_cast<double>(destination.Width()) / imageRect.Width();
      m_Offset = FDoublePoint(destination.left, destination.top);
    } else {
      FDoubleRect visible = ClientRectToImage(ToDouble(client), TRUE);
      visible /= scale;
      source = Truncated(visible);
      destination = Truncated(ImageRectToClient(ToDouble(imageRect), TRUE));
    }
    if (source.Width() <= 0 || source.Height() <= 0 || destination.Width() <= 0 || destination.Height() <= 0) {
      return;
    }
    // The source origin counts from the first row in memory, the bottom
    // one of a bottom-up picture.
    if (picture.GetHeight() > 0) {
      const int height = source.Height();
      source.top = picture.GetHeight() - source.bottom;
      source.bottom = source.top + height;
    }
    const int stretchMode = memory->SetStretchBltMode(COLORONCOLOR);
    const int mapMode = memory->SetMapMode(MM_TEXT);
    const int bkMode = memory->SetBkMode(TRANSPARENT);
    // The memory DC carries the window's colour management: only the
    // picture's pixels are converted, not the copy to the window.
    BeginICM(memory);
    BITMAPINFO header = *picture.header;
    ::StretchDIBits(memory->m_hDC, destination.left, destination.top, destination.Width(), destination.Height(),
                    source.left, source.top, source.Width(), source.Height(), picture.bits, &header,
                    DIB_RGB_COLORS, SRCCOPY);
    EndICM(memory);
    memory->SetBkMode(bkMode);
    memory->SetMapMode(mapMode);
    memory->SetStretchBltMode(stretchMode);
  });
}

// ---- Scrolling --------------------------------------------------------------------------

void CET_ImageWndOrg::UpdateScrollBars() {
  if (!GetSafeHwnd()) return;
  if (m_bFitMode) {
    m_bVScroll = m_bHScroll = FALSE;
    ShowScrollBar(SB_BOTH, FALSE);
    return;
  }
  const FDoubleRect zoomed = ZoomedImageRect();
  CRect window;
  GetWindowRect(window);
  // First against the window's whole size, then against the client area the
  // shown bars leave.
  bool vertical = zoomed.Height() > window.Height();
  bool horizontal = zoomed.Width() > window.Width();
  if (!vertical && !horizontal) {
    m_bVScroll = m_bHScroll = FALSE;
    ShowScrollBar(SB_BOTH, FALSE);
    return;
  }
  ShowScrollBar(SB_VERT, vertical);
  ShowScrollBar(SB_HORZ, horizontal);
  CRect client = ClientRectOf(*this);
  const bool verticalNow = zoomed.Height() > client.Height();
  const bool horizontalNow = zoomed.Width() > client.Width();
  if (verticalNow != vertical) ShowScrollBar(SB_VERT, verticalNow);
  if (horizontalNow != horizontal) ShowScrollBar(SB_HORZ, horizontalNow);
  m_bVScroll = verticalNow;
  m_bHScroll = horizontalNow;
  client = ClientRectOf(*this);
  if (m_bVScroll) {
    SetBarInfo(*this, SB_VERT, TruncateToInt(zoomed.Height()), client.Height(), TruncateToInt(-m_Offset.y));
  }
  if (m_bHScroll) {
    SetBarInfo(*this, SB_HORZ, TruncateToInt(zoomed.Width()), client.Width(), TruncateToInt(-m_Offset.x));
  }
}

void CET_ImageWndOrg::ApplyScrollPos() {
  if (!GetSafeHwnd()) return;
  SCROLLINFO info{};
  info.cbSize = sizeof(SCROLLINFO);
  info.fMask = SIF_POS;
  if (m_bVScroll) {
    info.nPos = TruncateToInt(-m_Offset.y);
    SetScrollInfo(SB_VERT, &info, TRUE);
  }
  if (m_bHScroll) {
    info.nPos = TruncateToInt(-m_Offset.x);
    SetScrollInfo(SB_HORZ, &info, TRUE);
  }
}

void CET_ImageWndOrg::ScrollTo(int x, int y) {
  if (x >= 0) m_Offset.x = -x;
  if (y >= 0) m_Offset.y = -y;
  ApplyScrollPos();
  if (GetSafeHwnd()) Invalidate(TRUE);
}

void CET_ImageWndOrg::ClampScroll(BOOL centre) {
  const FDoubleRect zoomed = ZoomedImageRect();
  const CRect client = ClientRectOf(*this);
  // One axis: the picture's start and size on screen against the client's.
  auto clamp = [centre](double& offset, double start, double size, double clientSize) {
    const double excess = size - clientSize;
    if (excess > 0) {
      if (start + offset > 0) offset = -start;
      if (clientSize > start + offset + size) offset = clientSize - size - start;
    } else if (centre) {
      offset = -excess / 2;
    }
  };
  clamp(m_Offset.x, zoomed.left, zoomed.Width(), client.Width());
  clamp(m_Offset.y, zoomed.top, zoomed.Height(), client.Height());
  if (centre) {
    UpdateScrollBars();
  } else {
    ApplyScrollPos();
  }
}

void CET_ImageWndOrg::ScrollByBar(int bar, UINT code, UINT pos) {
  SCROLLINFO info{};
  info.cbSize = sizeof(SCROLLINFO);
  info.fMask = SIF_ALL;
  if (!GetScrollInfo(bar, &info)) return;
  const CRect client = ClientRectOf(*this);
  const int page = bar == SB_VERT ? client.Height() : client.Width();
  int position = info.nPos;
  switch (code) {
  case SB_LINEUP: position -= 1; break;
  case SB_LINEDOWN: position += 1; break;
  case SB_PAGEUP: position -= page; break;
  case SB_PAGEDOWN: position += page; break;
  case SB_THUMBPOSITION:
  case SB_THUMBTRACK: position = static_cast<int>(pos); break;
  default: return;
  }
  position = std::max(info.nMin, std::min(position, info.nMax - static_cast<int>(info.nPage)));
  if (position != info.nPos) {
    if (bar == SB_VERT) {
      ScrollTo(-1, position);
    } else {
      ScrollTo(position, -1);
    }
  }
}

// Codes beyond the thumb's (SB_TOP, SB_BOTTOM, SB_ENDSCROLL) return without
// the default processing.
void CET_ImageWndOrg::OnVScroll(UINT code, UINT pos, CScrollBar* bar) {
  if (!m_bVScroll || code > SB_THUMBTRACK) return;
  ScrollByBar(SB_VERT, code, pos);
  CWnd::OnVScroll(code, pos, bar);
}

void CET_ImageWndOrg::OnHScroll(UINT code, UINT pos, CScrollBar* bar) {
  if (!m_bHScroll || code > SB_THUMBTRACK) return;
  ScrollByBar(SB_HORZ, code, pos);
  CWnd::OnHScroll(code, pos, bar);
}

void CET_ImageWndOrg::OnSize(UINT type, int cx, int cy) {
  CWnd::OnSize(type, cx, cy);
  if (m_Dib.IsValid()) ClampScroll(TRUE);
}

// ---- Painting and colour management -------------------------------------------------------

void CET_ImageWndOrg::OnPaint() {
  CPaintDC dc(this);
  BeginICM(&dc);
  DrawImage(&dc);
  EndICM(&dc);
}

void CET_ImageWndOrg::BeginICM(CDC* dc) {
  m_hOldColorSpace = nullptr;
  if (!dc) return;
  if (!m_bColorManagement) {
    ::SetICMMode(dc->m_hDC, ICM_OFF);
    return;
  }
  ::SetICMMode(dc->m_hDC, ICM_ON);
  if (m_hColorSpace) m_hOldColorSpace = ::SetColorSpace(dc->m_hDC, m_hColorSpace);
  m_OldProfile.fill(u'\0');
  if (ReadFileAttributeWord(m_MonitorProfilePath) == -1) return;
  DWORD size = static_cast<DWORD>(m_OldProfile.size());
  ::GetICMProfileW(dc->m_hDC, &size, m_OldProfile.data());
  std::u16string profile(m_MonitorProfilePath.GetText());
  ::SetICMProfileW(dc->m_hDC, profile.data());
}

void CET_ImageWndOrg::EndICM(CDC* dc) {
  if (!dc || !m_bColorManagement) return;
  if (m_hColorSpace && m_hOldColorSpace) ::SetColorSpace(dc->m_hDC, m_hOldColorSpace);
  if (ReadFileAttributeWord(m_MonitorProfilePath) != -1 && m_OldProfile[0] != u'\0') {
    ::SetICMProfileW(dc->m_hDC, m_OldProfile.data());
  }
  ::SetICMMode(dc->m_hDC, ICM_OFF);
}

// ---- Mouse ------------------------------------------------------------------------------------

void CET_ImageWndOrg::NotifyOwner(WPARAM mouseMessage, int x, int y, BOOL post) {
  if (!m_pOwner || m_NotifyMessage < 0 || !m_pOwner->GetSafeHwnd()) return;
  CET_ImageWndMsgData& data = post ? m_PostData : m_SendData;
  data.Reset();
  data.m_Point = CPoint(x, y);
  if (m_Dib.IsValid()) {
    data.m_ImagePoint = ClientToImage(CPoint(x, y));
    data.m_VisibleRect = ClientRectToImage(ToDouble(ClientRectOf(*this)), TRUE);
    // The picture pixel under the point: image units over the picture scale,
    // rounded down so points left of or above the picture stay outside it.
    data.m_Colour = m_Dib.GetPixel(static_cast<int>(std::floor(data.m_ImagePoint.x / m_PictureScale)),
                                   static_cast<int>(std::floor(data.m_ImagePoint.y / m_PictureScale)));
  }
  const auto message = static_cast<UINT>(m_NotifyMessage);
  const auto record = reinterpret_cast<LPARAM>(&data);
  if (post) {
    m_pOwner->PostMessage(message, mouseMessage, record);
  } else {
    m_pOwner->SendMessage(message, mouseMessage, record);
  }
}

void CET_ImageWndOrg::PanWhileHeld(CPoint start) {
  CDC* dc = GetImageDC();
  POINT last{};
  ::GetCursorPos(&last);
  while (::GetAsyncKeyState(VK_LBUTTON) & 0x8000) {
    POINT now{};
    ::GetCursorPos(&now);
    const FDoubleRect zoomed = ZoomedImageRect();
    const CRect client = ClientRectOf(*this);
    // An axis on which the whole picture shows does not move.
    if (zoomed.Width() >= client.Width()) m_Offset.x += now.x - last.x;
    if (zoomed.Height() >= client.Height()) m_Offset.y += now.y - last.y;
    last = now;
    ClampScroll(TRUE);
    if (dc) DrawImage(dc);
    NotifyOwner(WM_MOUSEMOVE, start.x, start.y, FALSE);
  }
  ReleaseImageDC(dc);
}

void CET_ImageWndOrg::Notify(UINT message, CPoint point) { NotifyOwner(message, point.x, point.y, m_bPostNotify); }

void CET_ImageWndOrg::OnLButtonDown(UINT flags, CPoint point) {
  switch (m_LeftButtonMode) {
  case 1: PanWhileHeld(point); break;
  case 2: ZoomIn(); break;
  case 4: ZoomOut(); break;
  default: break;
  }
  Notify(WM_LBUTTONDOWN, point);
  CWnd::OnLButtonDown(flags, point);
}

void CET_ImageWndOrg::OnLButtonUp(UINT flags, CPoint point) {
  Notify(WM_LBUTTONUP, point);
  CWnd::OnLButtonUp(flags, point);
}

void CET_ImageWndOrg::OnLButtonDblClk(UINT flags, CPoint point) {
  Notify(WM_LBUTTONDBLCLK, point);
  CWnd::OnLButtonDblClk(flags, point);
}

void CET_ImageWndOrg::OnRButtonDown(UINT flags, CPoint point) {
  Notify(WM_RBUTTONDOWN, point);
  CWnd::OnRButtonDown(flags, point);
}

void CET_ImageWndOrg::OnRButtonUp(UINT flags, CPoint point) {
  Notify(WM_RBUTTONUP, point);
  CWnd::OnRButtonUp(flags, point);
}

void CET_ImageWndOrg::OnRButtonDblClk(UINT flags, CPoint point) {
  Notify(WM_RBUTTONDBLCLK, point);
  CWnd::OnRButtonDblClk(flags, point);
}

void CET_ImageWndOrg::OnMouseMove(UINT flags, CPoint point) {
  Notify(WM_MOUSEMOVE, point);
  CWnd::OnMouseMove(flags, point);
}
