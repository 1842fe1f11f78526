// Window regions: a window shows and draws only its region's pixels. Its
// DCs are clipped to the region, and the surface outside it is made
// transparent, so what lies beneath shows there.

#include "platform/core/Core.h"
#include "platform/core/Gdi.h"

#include <cstdint>

namespace platform::core {
namespace {

// The region in client coordinates.
Region ClientRegion(const WindowRecord& record, const Region& windowRegion) {
  const RECT insets = NonClientInsets(record);
  Region client = windowRegion;
  client.Offset(-insets.left, -insets.top);
  return client;
}

// Clears the surface's pixels outside the region to transparent.
void ClearOutside(WindowRecord& record, const Region& clientRegion) {
  if (!record.host) return;
  std::unique_ptr<IDrawTarget> surface = record.host->OpenSurface();
  if (!surface) return;
  const SIZE size = surface->Size();
  const RECT all{0, 0, size.cx, size.cy};
  const Region outside = Region::Combine(Region(all), clientRegion, Region::Op::Diff);
  if (outside.Empty()) return;
  const std::uint32_t transparent = 0;
  const PixelView pixel{reinterpret_cast<const std::uint8_t*>(&transparent), 1, 1, 4,
                        PixelFormat::Argb32Premultiplied, false};
  surface->DrawPixels(all, pixel, RECT{0, 0, 1, 1}, false, Clip{true, outside.Rects()});
}

} // namespace

std::optional<Region> WindowClipOf(HWND hwnd) {
  // Window records live on the GUI thread; no other thread draws on a window.
  const WindowRecord* record = IsGuiThread() ? Record(hwnd) : nullptr;
  if (!record || !record->windowRegion) return std::nullopt;
  return ClientRegion(*record, *record->windowRegion);
}

} // namespace platform::core

using namespace platform::core;

int SetWindowRgn(HWND hwnd, HRGN region, BOOL redraw) {
  if (!WindowCallAllowed("SetWindowRgn")) return 0;
  WindowRecord* record = Record(hwnd);
  if (!record) return 0;
  std::shared_ptr<Region> taken;
  if (region) {
    std::lock_guard lock(GdiMutex());
    GdiObject* object = Object(region);
    if (!object || object->kind != OBJ_REGION) return 0;
    taken = std::make_shared<Region>(object->region);
  }
  if (region) DeleteObject(region);
  record->windowRegion = taken;
  if (taken) ClearOutside(*record, ClientRegion(*record, *taken));
  if (redraw) InvalidateRect(hwnd, nullptr, TRUE);
  return 1;
}

int GetWindowRgn(HWND hwnd, HRGN region) {
  if (!WindowCallAllowed("GetWindowRgn")) return RGN_ERROR;
  const WindowRecord* record = Record(hwnd);
  if (!record || !record->windowRegion || !region) return RGN_ERROR;
  std::lock_guard lock(GdiMutex());
  GdiObject* object = Object(region);
  if (!object || object->kind != OBJ_REGION) return RGN_ERROR;
  object->region = *record->windowRegion;
  const std::size_t n = object->region.Rects().size();
  return n == 0 ? NULLREGION : n == 1 ? SIMPLEREGION : COMPLEXREGION;
}
