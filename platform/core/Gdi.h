#pragma once
// Device contexts and drawing objects of the layer's core: the state of each
// DC (selected objects, colours, modes, origin, clip) apart from the target
// its drawing lands on. Internal to the core: Gdi.cpp keeps the tables, the
// other Gdi*.cpp files draw through them.

#include "platform/afx/AfxDC.h"
#include "platform/core/Core.h"
#include "platform/core/Device.h"
#include "platform/core/Region.h"

#include <memory>
#include <mutex>
#include <optional>

namespace platform::core {

struct GdiObject {
  DWORD kind = 0; // OBJ_BRUSH, OBJ_PEN, OBJ_FONT, OBJ_BITMAP, OBJ_REGION, OBJ_COLORSPACE
  bool stock = false;
  int selected = 0;           // how many DCs hold it
  bool deletePending = false; // deleted while selected: freed when released
  COLORREF colour = 0;
  bool hollow = false;        // NULL_BRUSH, PS_NULL
  PenInfo pen;
  LOGFONTW font;
  // Bitmaps: pixel memory the layer owns (a DIB section's bits).
  int width = 0;
  int height = 0;
  int bitCount = 0;
  bool bottomUp = false;
  std::ptrdiff_t stride = 0;
  std::unique_ptr<std::uint8_t[]> bits;
  // Regions.
  Region region;
  // Colour spaces: the profile file (empty: sRGB).
  std::u16string profile;
  // The framework object handed out for this handle by CDC::SelectObject.
  std::unique_ptr<CGdiObject> wrapper;
};

struct DcState {
  HGDIOBJ brush = nullptr;
  HGDIOBJ pen = nullptr;
  HGDIOBJ font = nullptr;
  HGDIOBJ bitmap = nullptr;
  HGDIOBJ colourSpace = nullptr;
  int bkMode = OPAQUE;
  COLORREF bkColour = RGB(255, 255, 255);
  COLORREF textColour = RGB(0, 0, 0);
  int stretchMode = BLACKONWHITE;
  int mapMode = MM_TEXT;
  UINT textAlign = 0; // TA_LEFT | TA_TOP
  POINT origin;
  POINT position;
  // The application's clip region in device coordinates (SelectClipRgn,
  // ExcludeClipRect...); none: not clipped.
  std::optional<Region> clip;
  int icmMode = 1;          // ICM_OFF
  std::u16string icmProfile; // the output profile; empty: the monitor's
};

struct DcRecord {
  enum Kind { Window, Paint, Memory, Screen, Device } kind = Memory;
  HWND hwnd = nullptr;
  // Device DCs: their device. Memory DCs made compatible with a device DC:
  // that device, which then hears their calls and gives their resolution.
  std::shared_ptr<IDevice> device;
  // A paint DC's update region (device coordinates); SaveDC does not keep it.
  std::optional<Region> systemClip;
  DcState state;
  std::vector<DcState> saved;
  std::unique_ptr<CDC> wrapper;
};

// Objects and DCs are guarded by one recursive lock: memory DCs, device DCs
// and drawing objects may be used on any thread.
std::recursive_mutex& GdiMutex();
GdiObject* Object(HGDIOBJ handle);
// The brush's colour, or nothing for a hollow brush; false for a stale brush.
bool BrushColour(HBRUSH brush, COLORREF& colour, bool& hollow);
HGDIOBJ AddObject(std::unique_ptr<GdiObject> object);
DcRecord* Dc(HDC dc);
HDC NewDc(DcRecord::Kind kind, HWND hwnd);
HGDIOBJ Stock(int index);
// The font a DC draws with.
const LOGFONTW& FontOf(const DcState& state);
// Whether the calling thread may draw on this DC (window DCs: the GUI thread).
bool Allowed(const DcRecord& dc);
// The target of a DC's drawing; null when there is none.
std::unique_ptr<IDrawTarget> OpenTarget(const DcRecord& dc);
// The device pixels a DC's drawing is limited to right now.
Clip EffectiveClip(const DcRecord& dc);
// A window's region (SetWindowRgn) in its client coordinates; none without one.
std::optional<Region> WindowClipOf(HWND hwnd);
// The DC's state copied into a call record for its device.
void DescribeState(const DcRecord& dc, GdiCall& call);

POINT ToDevice(const DcState& s, int x, int y);
RECT ToDevice(const DcState& s, const RECT& r);

// Runs f(dcRecord, target, clip) for a DC that may draw, first telling its
// device about the call when it has one. False for a stale DC or one this
// thread may not draw on; true (drawing nothing) when it has no target.
template <class F>
bool Draw(HDC hdc, GdiCall* call, F&& f) {
  std::lock_guard lock(GdiMutex());
  DcRecord* dc = Dc(hdc);
  if (!dc || !Allowed(*dc)) return false;
  if (call && dc->device) {
    DescribeState(*dc, *call);
    dc->device->Note(*call);
  }
  std::unique_ptr<IDrawTarget> target = OpenTarget(*dc);
  if (!target) return true;
  const Clip clip = EffectiveClip(*dc);
  f(*dc, *target, clip);
  return true;
}

// The pixels of a bitmap object as a view (rows in memory order).
PixelView ViewOf(const GdiObject& bitmap);
// A new DIB section object (24 or 32 bits, at most 1 GiB); null when refused.
HBITMAP NewBitmap(int width, int height, int bitCount, bool bottomUp, void** bits);

template <class T>
T* WrapperOf(HGDIOBJ handle) {
  GdiObject* object = Object(handle);
  if (!object) return nullptr;
  if (!object->wrapper) {
    struct Borrowed : T {
      ~Borrowed() override { this->m_hObject = nullptr; }
    };
    auto wrapper = std::make_unique<Borrowed>();
    wrapper->m_hObject = handle;
    object->wrapper = std::move(wrapper);
  }
  return static_cast<T*>(object->wrapper.get());
}

// A cursor's shape for the back end: a standard cursor's id (32512...) or
// its picture and hot spot. False for a stale handle.
bool CursorShapeOf(HCURSOR cursor, int& standardId, PixelImage& image, POINT& hotspot);

// Colour management of DIB pixels drawn on a DC with ICM on (Icm.cpp): the
// source rectangle (top-down picture coordinates) converted from the DC's
// colour space to its output profile, top row first; false (draw the pixels
// as they are) when both are the same profile or a profile cannot be read.
bool ConvertForIcm(const DcRecord& dc, const PixelView& source, const RECT& sourceRect, PixelImage& converted);

// A new icon of the pixels (DestroyIcon frees it).
HICON CreateIconFromPixels(PixelImage pixels);

} // namespace platform::core
