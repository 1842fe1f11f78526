#include "review/controls/CColorWheel.h"

#include "review/controls/TopDownDib.h"

#include "foundation/FColorAdjust.h"
#include "shell/app/AppMessages.h"
#include "toolkit/CET_Calc.h"
#include "toolkit/ControlParts.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// The wheel's own angle constants: a slightly short pi and 4 pi / 3.
constexpr double kWheelPi = 3.141592653589;
constexpr double kThirdTurns = 4.188790204785334;
// The strength stops growing here; no gain falls below the floor.
constexpr double kMostStrength = 1.5;
constexpr double kLeastGain = 0.025;
// The colour field is this many times the control's size from its centre.
constexpr double kFieldReach = 1.42;

// Bytes of a 24-bit row, padded to four.
int RowBytes24(int width) { return (width * 3 + 3) & ~3; }

int FieldExtent(int clientSize) { return 2 * static_cast<int>(clientSize * kFieldReach) + 1; }

} // namespace

double PixelToWheel(int pixel, int size, int offset, double scale) {
  return (pixel + offset - (size - 1) / 2.0) / scale;
}

int WheelToPixel(double wheel, int size, int offset, double scale) {
  return TruncateToInt(wheel * scale - offset + (size - 1) / 2.0 + 0.49);
}

WheelGains GainsFromWheelPoint(WheelPoint point) {
  const double r = std::sqrt(point.x * point.x + point.y * point.y);
  const double theta = std::atan2(point.y, -point.x) + kWheelPi;
  const double s = std::min((r + r * r) / 2, kMostStrength);
  const double t = 1 / (1 + s);
  std::array<double, 3> g = {(s * std::sin(theta - kThirdTurns) + 1) * t, (s * std::sin(theta) + 1) * t,
                             (s * std::sin(theta + kThirdTurns) + 1) * t};
  for (double& v : g) v = std::max(v, kLeastGain);
  const double factor = std::sqrt(1 / std::max({g[0], g[1], g[2]}));
  return {g[0] * factor, g[1] * factor, g[2] * factor};
}

WheelPoint WheelPointFromGains(const WheelGains& gains) {
  const double largest = std::max({gains.red, gains.green, gains.blue});
  const double smallest = std::min({gains.red, gains.green, gains.blue});
  if (!(smallest > 0) || !std::isfinite(largest)) return {};
  // Relative to the largest gain, so that no sum overflows.
  const double red = gains.red / largest, green = gains.green / largest, blue = gains.blue / largest;
  const double e = (red + green + blue) / 3;
  const double u = 1 - green / e;
  const double v = (red - blue) / (std::sqrt(3.0) * e);
  const double r = std::sqrt(2 * std::sqrt(u * u + v * v) + 0.25) - 0.5;
  const double phi = std::atan2(u, v);
  return {r * std::cos(phi), r * std::sin(phi)};
}

std::u16string FormatCMYString(int cyan, int magenta, int yellow) {
  char text[48];
  FormatCMYText(text, sizeof text, cyan, magenta, yellow);
  return std::u16string(text, text + std::char_traits<char>::length(text));
}

BEGIN_MESSAGE_MAP(CColorWheel, CWnd)
  ON_WM_LBUTTONDOWN()
  ON_WM_PAINT()
END_MESSAGE_MAP()

CColorWheel::CColorWheel() = default;

CColorWheel::~CColorWheel() {
  FreeIcon(m_frameIcon);
  FreeIcon(m_markerIcon);
  if (m_frameBuilt) {
    m_frameDC.SelectObject(m_frameOldBitmap);
    DeleteObject(m_frameBitmap);
    m_frameDC.DeleteDC();
  }
  if (m_wheelBuilt) {
    m_wheelDC.SelectObject(m_wheelOldBitmap);
    DeleteObject(m_wheelBitmap);
    m_wheelDC.DeleteDC();
  }
}

void CColorWheel::PreSubclassWindow() {
  LoadIcons();
  CWnd::PreSubclassWindow();
}

void CColorWheel::LoadIcons() {
  FreeIcon(m_frameIcon);
  FreeIcon(m_markerIcon);
  m_frameIcon = LoadIconResource(kFrameIcon, m_frameRect.Width(), m_frameRect.Height());
  m_markerIcon = LoadIconResource(kMarkerIcon, m_markerRect.Width(), m_markerRect.Height());
}

void CColorWheel::SetCMY(const int* cmy) {
  if (!cmy) return;
  WheelGains gains;
  CMYToColorGain(cmy[0], cmy[1], cmy[2], gains.red, gains.green, gains.blue);
  if (SetFromGains(gains)) RedrawNow();
}

BOOL CColorWheel::SetFromWheelPoint(WheelPoint point) {
  WheelGains g = GainsFromWheelPoint(point);
  const double largest = std::max({g.red, g.green, g.blue});
  g = {g.red / largest, g.green / largest, g.blue / largest};
  int cmy[3];
  ColorGainToCMY(g.red, g.green, g.blue, cmy[0], cmy[1], cmy[2]);
  if (std::equal(cmy, cmy + 3, m_cmy)) return FALSE;
  std::copy(cmy, cmy + 3, m_cmy);
  CMYToColorGain(m_cmy[0], m_cmy[1], m_cmy[2], m_gains.red, m_gains.green, m_gains.blue);
  return TRUE;
}

BOOL CColorWheel::SetFromGains(const WheelGains& gains) {
  const WheelPoint point = WheelPointFromGains(gains);
  // Halfway between the control's centre and the marker's unscrolled place.
  m_offset = CPoint(TruncateToInt(point.x * m_scale / 2), TruncateToInt(point.y * m_scale / 2));
  return SetFromWheelPoint(point);
}

WheelPoint CColorWheel::PixelPoint(CPoint pixel) const {
  CRect client;
  GetClientRect(client);
  return {PixelToWheel(pixel.x, client.Width(), m_offset.x, m_scale),
          PixelToWheel(pixel.y, client.Height(), m_offset.y, m_scale)};
}

BOOL CColorWheel::SetFromPixel(CPoint pixel) {
  if (!SetFromWheelPoint(PixelPoint(pixel))) return FALSE;
  FollowMarker(pixel);
  return TRUE;
}

void CColorWheel::FollowMarker(CPoint pixel) {
  const WheelPoint point = PixelPoint(pixel);
  const double dx = 0.7 * point.x - m_offset.x / m_scale;
  const double dy = 0.7 * point.y - m_offset.y / m_scale;
  // A dead zone of 0.05 units.
  const double d = std::sqrt(dx * dx + dy * dy) - 0.05;
  if (!(d > 0)) return;
  double nx = m_offset.x + 2 * d * dx * m_scale;
  double ny = m_offset.y + 2 * d * dy * m_scale;
  const double current = static_cast<double>(m_offset.x) * m_offset.x + static_cast<double>(m_offset.y) * m_offset.y;
  const double candidate = nx * nx + ny * ny;
  if (current > candidate) {
    // Back toward the centre at once.
    m_offset = CPoint(TruncateToInt(nx), TruncateToInt(ny));
    return;
  }
  // Outward in half steps, never beyond half a scale from the centre.
  const double reach = m_scale * m_scale / 4;
  if (candidate > reach) {
    const double shorten = std::sqrt(reach / candidate);
    nx *= shorten;
    ny *= shorten;
  }
  m_offset.x += TruncateToInt((nx - m_offset.x) * 0.5);
  m_offset.y += TruncateToInt((ny - m_offset.y) * 0.5);
}

void CColorWheel::NotifyParent() {
  CWnd* parent = GetParent();
  if (!parent) return;
  int cmy[3] = {m_cmy[0], m_cmy[1], m_cmy[2]};
  parent->SendMessage(WM_APP_COLORWHEEL_CHANGED, static_cast<WPARAM>(GetDlgCtrlID()), reinterpret_cast<LPARAM>(cmy));
}

void CColorWheel::RedrawNow() { RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW); }

BOOL CColorWheel::TrackPixel(CPoint pixel) {
  if (!SetFromPixel(pixel)) return FALSE;
  NotifyParent();
  RedrawNow();
  return TRUE;
}

void CColorWheel::OnLButtonDown(UINT flags, CPoint point) {
  CRect client;
  GetClientRect(client);
  const CPoint c = client.CenterPoint();
  const double dx = c.x - point.x, dy = c.y - point.y;
  if (TruncateToInt(std::sqrt(dx * dx + dy * dy)) > c.x - 3) return;

  m_tracking = TRUE;
  const HWND self = m_hWnd;
  TrackPixel(point);
  CPoint last = point;
  // The drag runs its own loop, not limited to the round field; the thread's
  // messages keep flowing so the parent and other windows stay live.
  while (IsWindow(self) && LeftButtonDown()) {
    const CPoint cursor = CursorIn(*this);
    bool changed = false;
    if (cursor.x != last.x || cursor.y != last.y) {
      last = cursor;
      changed = TrackPixel(cursor);
    }
    if (!changed) Sleep(20);
    MSG msg;
    while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&msg);
  }
  if (!IsWindow(self)) return; // destroyed by what the loop dispatched
  m_tracking = FALSE;
  CWnd::OnLButtonDown(flags, point);
}

int CColorWheel::ArrowSearchLimit() const {
  // The field's extent: the whole field, crossed from one edge to the other.
  if (m_wheelBuilt) return std::max(m_wheelWidth, m_wheelHeight);
  CRect client;
  GetClientRect(client);
  return std::max(FieldExtent(client.Width()), FieldExtent(client.Height()));
}

BOOL CColorWheel::OnArrowKey(UINT key) {
  CPoint step;
  switch (key) {
  case VK_UP: step = CPoint(0, -1); break;
  case VK_DOWN: step = CPoint(0, 1); break;
  case VK_LEFT: step = CPoint(-1, 0); break;
  case VK_RIGHT: step = CPoint(1, 0); break;
  default: return FALSE;
  }
  CRect client;
  GetClientRect(client);
  const WheelPoint point = WheelPointFromGains(m_gains);
  CPoint pixel(WheelToPixel(point.x, client.Width(), m_offset.x, m_scale),
               WheelToPixel(point.y, client.Height(), m_offset.y, m_scale));
  m_tracking = TRUE;
  // Where the strength is capped a step straight outward never changes the
  // densities: the search ends at the field's extent.
  bool changed = false;
  for (int i = ArrowSearchLimit(); i > 0 && !changed; --i) {
    pixel.Offset(step.x, step.y);
    changed = SetFromPixel(pixel);
  }
  if (changed) {
    NotifyParent();
    RedrawNow();
  }
  m_tracking = FALSE;
  return TRUE;
}

void CColorWheel::OnPaint() {
  CPaintDC dc(this);
  CRect client;
  GetClientRect(client);
  if (!m_frameTried) BuildFrameOverlay(&dc, client);
  if (!m_wheelBuilt) BuildWheelBitmap(&dc, client);
  CET_Calc::PaintThroughMemoryDC(
      &dc, client,
      [](CDC* memory, RECT, void* self, void* area) {
        static_cast<CColorWheel*>(self)->DrawContents(memory, *static_cast<CRect*>(area));
      },
      this, &client, nullptr);
}

void CColorWheel::BuildFrameOverlay(CDC* dc, const CRect& client) {
  // Built once: a failure is not retried.
  m_frameTried = true;
  CRect grown(client);
  grown.InflateRect(1, 1);
  if (!m_frameDC.CreateCompatibleDC(dc)) return;
  void* bits = nullptr;
  m_frameBitmap = CreateTopDownDib(dc->m_hDC, grown.Width(), grown.Height(), 24, &bits);
  if (!m_frameBitmap) {
    m_frameDC.DeleteDC();
    return;
  }
  m_frameOldBitmap = m_frameDC.SelectObject(m_frameBitmap);
  m_frameBuilt = true;
  m_frameDC.FillSolidRect(0, 0, grown.Width(), grown.Height(), m_backColour);
  if (m_frameIcon) {
    DrawIconEx(m_frameDC.m_hDC, 0, 0, m_frameIcon, m_frameRect.Width(), m_frameRect.Height(), 0, nullptr, DI_NORMAL);
  }
}

void CColorWheel::BuildWheelBitmap(CDC* dc, const CRect& client) {
  const int width = FieldExtent(client.Width()), height = FieldExtent(client.Height());
  if (width <= 0 || height <= 0) return;
  m_wheelWidth = width;
  m_wheelHeight = height;
  if (!m_wheelDC.CreateCompatibleDC(dc)) return;
  void* memory = nullptr;
  m_wheelBitmap = CreateTopDownDib(dc->m_hDC, width, height, 24, &memory);
  if (!m_wheelBitmap) {
    m_wheelDC.DeleteDC(); // tried again on the next paint
    return;
  }
  auto* bits = static_cast<BYTE*>(memory);
  const int stride = RowBytes24(width);
  const auto level = [](double gain) { return static_cast<BYTE>(255 * std::pow(gain, 2.0 / 3.0)); };
  for (int i = 0; i < height; ++i) {
    BYTE* row = bits + static_cast<std::ptrdiff_t>(i) * stride;
    const double y = PixelToWheel(i, height, 0, m_scale);
    for (int j = 0; j < width; ++j) {
      const WheelGains g = GainsFromWheelPoint({PixelToWheel(j, width, 0, m_scale), y});
      row[3 * j] = level(g.blue);
      row[3 * j + 1] = level(g.green);
      row[3 * j + 2] = level(g.red);
    }
  }
  // Grid marks: the mixed steps of 5 and 10 first, then the pure and paired
  // densities 0 to 10 by 5 and 10 to 60 by 10.
  static constexpr int kMixed[][3] = {{5, 10, 0}, {0, 5, 10}, {10, 0, 5}, {0, 10, 5}, {5, 0, 10}, {10, 5, 0}};
  for (const auto& cmy : kMixed) MarkGridPoint(bits, stride, cmy[0], cmy[1], cmy[2]);
  for (int k : {0, 5, 10, 10, 20, 30, 40, 50, 60}) {
    const int triples[][3] = {{0, 0, k}, {0, k, 0}, {k, 0, 0}, {k, k, 0}, {0, k, k}, {k, 0, k}};
    for (const auto& cmy : triples) MarkGridPoint(bits, stride, cmy[0], cmy[1], cmy[2]);
  }
  m_wheelOldBitmap = m_wheelDC.SelectObject(m_wheelBitmap);
  m_wheelBuilt = true;
}

void CColorWheel::MarkGridPoint(BYTE* bits, int stride, int cyan, int magenta, int yellow) const {
  WheelGains gains;
  CMYToColorGain(cyan, magenta, yellow, gains.red, gains.green, gains.blue);
  const WheelPoint point = WheelPointFromGains(gains);
  const int x = WheelToPixel(point.x, m_wheelWidth, 0, m_scale);
  const int y = WheelToPixel(point.y, m_wheelHeight, 0, m_scale);
  if (x < 0 || y < 0 || x >= m_wheelWidth || y >= m_wheelHeight) return;
  BYTE* pixel = bits + static_cast<std::ptrdiff_t>(y) * stride + 3 * x;
  for (int c = 0; c < 3; ++c) pixel[c] = static_cast<BYTE>(2 * pixel[c] / 3);
}

void CColorWheel::DrawContents(CDC* dc, const CRect& client) {
  const int mode = dc->SetBkMode(TRANSPARENT);
  if (m_wheelBuilt) {
    dc->BitBlt(0, 0, client.Width(), client.Height(), &m_wheelDC, m_wheelWidth / 2 + m_offset.x - client.Width() / 2,
               m_wheelHeight / 2 + m_offset.y - client.Height() / 2, SRCCOPY);
  }
  const WheelPoint point = WheelPointFromGains(m_gains);
  const int mx = WheelToPixel(point.x, client.Width(), m_offset.x, m_scale);
  const int my = WheelToPixel(point.y, client.Height(), m_offset.y, m_scale);
  const double half = client.Width() / 2;
  const double ox = mx - half, oy = my - half;
  if (m_markerIcon && ox * ox + oy * oy < half * half) {
    DrawIconEx(dc->m_hDC, mx - m_markerRect.Width() / 2 + 1, my - m_markerRect.Height() / 2, m_markerIcon,
               m_markerRect.Width(), m_markerRect.Height(), 0, nullptr, DI_NORMAL);
  }
  if (m_frameBuilt) {
    dc->TransparentBlt(0, 0, client.Width(), client.Height(), &m_frameDC, 0, 0, client.Width(), client.Height(),
                       RGB(255, 255, 255));
  }
  dc->SetBkMode(mode);
}
