// Device contexts and drawing objects. Coordinates given to a DC are logical
// (MM_TEXT, so pixels); the viewport origin moves them to device pixels of
// the DC's target: the window's retained surface for window and paint DCs,
// the selected bitmap's memory for memory DCs, a device's own target for
// device DCs (the recording DC, printers). Text is in GdiText.cpp, regions
// and clipping in GdiRegion.cpp, resources in GdiResources.cpp.

#include "platform/core/Gdi.h"
#include "platform/core/Handles.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace platform::core {
namespace {

HandleTable<GdiObject>& Objects() {
  static auto* table = new HandleTable<GdiObject>;
  return *table;
}
HandleTable<DcRecord>& Dcs() {
  static auto* table = new HandleTable<DcRecord>;
  return *table;
}

std::uintptr_t Key(const void* handle) { return reinterpret_cast<std::uintptr_t>(handle); }

constexpr int kDefaultBitmap = DEFAULT_GUI_FONT + 1;

void Retain(HGDIOBJ handle) {
  if (GdiObject* o = Object(handle)) ++o->selected;
}

void Release(HGDIOBJ handle) {
  GdiObject* o = Object(handle);
  if (!o) return;
  if (--o->selected <= 0 && o->deletePending) Objects().Remove(Key(handle));
}

void RetainState(const DcState& s) {
  Retain(s.brush);
  Retain(s.pen);
  Retain(s.font);
  Retain(s.bitmap);
  Retain(s.colourSpace);
}
void ReleaseState(const DcState& s) {
  Release(s.brush);
  Release(s.pen);
  Release(s.font);
  Release(s.bitmap);
  Release(s.colourSpace);
}

bool FreeDc(HDC dc) {
  std::unique_ptr<DcRecord> record = Dcs().Remove(Key(dc));
  if (!record) return false;
  ReleaseState(record->state);
  for (const DcState& s : record->saved) ReleaseState(s);
  return true;
}

// The size of what a DC draws on, in device pixels.
SIZE DeviceSize(const DcRecord& dc) {
  switch (dc.kind) {
  case DcRecord::Memory: {
    GdiObject* b = Object(dc.state.bitmap);
    return b ? SIZE{b->width, b->height} : SIZE{};
  }
  case DcRecord::Device: return SIZE{dc.device->Caps().width, dc.device->Caps().height};
  case DcRecord::Screen: return Host() ? Host()->ScreenSize() : SIZE{1920, 1080};
  default: {
    WindowRecord* w = IsGuiThread() ? Record(dc.hwnd) : nullptr;
    if (!w) return {};
    const RECT client = ClientRectOf(*w);
    return {client.right, client.bottom};
  }
  }
}

DeviceCaps CapsOf(const DcRecord& dc) {
  if (dc.kind == DcRecord::Device) return dc.device->Caps();
  DeviceCaps caps = dc.device ? dc.device->Caps() : DeviceCaps{};
  const SIZE screen = Host() ? Host()->ScreenSize() : SIZE{1920, 1080};
  caps.width = screen.cx;
  caps.height = screen.cy;
  if (dc.kind == DcRecord::Memory) {
    const SIZE size = DeviceSize(dc);
    caps.width = size.cx;
    caps.height = size.cy;
  }
  return caps;
}

} // namespace

std::recursive_mutex& GdiMutex() {
  static auto* mutex = new std::recursive_mutex;
  return *mutex;
}

GdiObject* Object(HGDIOBJ handle) { return Objects().Get(Key(handle)); }

HGDIOBJ AddObject(std::unique_ptr<GdiObject> object) {
  std::lock_guard lock(GdiMutex());
  return reinterpret_cast<HGDIOBJ>(Objects().Add(std::move(object)));
}

DcRecord* Dc(HDC dc) { return Dcs().Get(Key(dc)); }

HGDIOBJ Stock(int index) {
  static HGDIOBJ stock[kDefaultBitmap + 1] = {};
  static std::once_flag once;
  std::call_once(once, [] {
    auto brush = [](COLORREF c, bool hollow) {
      auto o = std::make_unique<GdiObject>();
      o->kind = OBJ_BRUSH;
      o->colour = c;
      o->hollow = hollow;
      o->stock = true;
      return AddObject(std::move(o));
    };
    auto pen = [](COLORREF c, bool hollow) {
      auto o = std::make_unique<GdiObject>();
      o->kind = OBJ_PEN;
      o->pen = {hollow ? PS_NULL : PS_SOLID, 1, c};
      o->hollow = hollow;
      o->stock = true;
      return AddObject(std::move(o));
    };
    stock[WHITE_BRUSH] = brush(RGB(255, 255, 255), false);
    stock[LTGRAY_BRUSH] = brush(RGB(192, 192, 192), false);
    stock[GRAY_BRUSH] = brush(RGB(128, 128, 128), false);
    stock[DKGRAY_BRUSH] = brush(RGB(64, 64, 64), false);
    stock[BLACK_BRUSH] = brush(RGB(0, 0, 0), false);
    stock[NULL_BRUSH] = brush(0, true);
    stock[WHITE_PEN] = pen(RGB(255, 255, 255), false);
    stock[BLACK_PEN] = pen(RGB(0, 0, 0), false);
    stock[NULL_PEN] = pen(0, true);
    // The default DC font of the original system is a bitmap font that does
    // not exist here: DCs start with the GUI font, the pinned sans face.
    auto font = std::make_unique<GdiObject>();
    font->kind = OBJ_FONT;
    font->stock = true;
    font->font.lfHeight = -11;
    font->font.lfWeight = FW_NORMAL;
    const char16_t face[] = u"MS Shell Dlg";
    std::copy(std::begin(face), std::end(face), font->font.lfFaceName);
    stock[DEFAULT_GUI_FONT] = AddObject(std::move(font));
    // A memory DC's first bitmap: one pixel that nothing shows.
    auto bitmap = std::make_unique<GdiObject>();
    bitmap->kind = OBJ_BITMAP;
    bitmap->stock = true;
    bitmap->width = bitmap->height = 1;
    bitmap->bitCount = 32;
    bitmap->stride = 4;
    bitmap->bits = std::make_unique<std::uint8_t[]>(4);
    stock[kDefaultBitmap] = AddObject(std::move(bitmap));
  });
  if (index < 0 || index > kDefaultBitmap) return nullptr;
  return stock[index];
}

HDC NewDc(DcRecord::Kind kind, HWND hwnd) {
  auto record = std::make_unique<DcRecord>();
  record->kind = kind;
  record->hwnd = hwnd;
  record->state.brush = Stock(WHITE_BRUSH);
  record->state.pen = Stock(BLACK_PEN);
  record->state.font = Stock(DEFAULT_GUI_FONT);
  record->state.bitmap = kind == DcRecord::Memory ? Stock(kDefaultBitmap) : nullptr;
  RetainState(record->state);
  return reinterpret_cast<HDC>(Dcs().Add(std::move(record)));
}

bool Allowed(const DcRecord& dc) {
  if (dc.kind == DcRecord::Memory || dc.kind == DcRecord::Screen || dc.kind == DcRecord::Device) return true;
  return WindowCallAllowed("drawing on a window DC");
}

std::unique_ptr<IDrawTarget> OpenTarget(const DcRecord& dc) {
  if (dc.kind == DcRecord::Device) return dc.device->OpenTarget();
  IHost* host = Host();
  if (!host) return nullptr;
  if (dc.kind == DcRecord::Memory) {
    GdiObject* bitmap = Object(dc.state.bitmap);
    if (!bitmap || !bitmap->bits) return nullptr;
    const PixelFormat format = bitmap->bitCount == 24 ? PixelFormat::Bgr24 : PixelFormat::Bgrx32;
    return host->OpenPixels(bitmap->bits.get(), bitmap->width, bitmap->height, bitmap->stride, format,
                            bitmap->bottomUp);
  }
  if (dc.kind == DcRecord::Screen) return nullptr;
  WindowRecord* window = Record(dc.hwnd);
  return window && window->host ? window->host->OpenSurface() : nullptr;
}

Clip EffectiveClip(const DcRecord& dc) {
  const bool onWindow = dc.kind == DcRecord::Window || dc.kind == DcRecord::Paint;
  const std::optional<Region> window = onWindow ? WindowClipOf(dc.hwnd) : std::nullopt;
  if (!dc.systemClip && !dc.state.clip && !window) return {};
  Region region = dc.systemClip ? *dc.systemClip : Region::Everything();
  if (window) region = Region::Combine(region, *window, Region::Op::And);
  if (dc.state.clip) region = Region::Combine(region, *dc.state.clip, Region::Op::And);
  return Clip{true, region.Rects()};
}

void DescribeState(const DcRecord& dc, GdiCall& call) {
  const DcState& s = dc.state;
  call.font = FontOf(s);
  call.textColour = s.textColour;
  call.bkColour = s.bkColour;
  call.bkMode = s.bkMode;
  if (GdiObject* pen = Object(s.pen)) {
    call.pen = pen->pen;
    call.penHollow = pen->hollow;
  }
  if (GdiObject* brush = Object(s.brush)) {
    call.brushColour = brush->colour;
    call.brushHollow = brush->hollow;
  }
  call.stretchMode = s.stretchMode;
  call.origin = s.origin;
  const Clip clip = EffectiveClip(dc);
  call.clipped = clip.active;
  call.clip = clip.rects;
}

POINT ToDevice(const DcState& s, int x, int y) { return {x + s.origin.x, y + s.origin.y}; }
RECT ToDevice(const DcState& s, const RECT& r) {
  return {r.left + s.origin.x, r.top + s.origin.y, r.right + s.origin.x, r.bottom + s.origin.y};
}

const LOGFONTW& FontOf(const DcState& s) {
  GdiObject* font = Object(s.font);
  return font ? font->font : Object(Stock(DEFAULT_GUI_FONT))->font;
}

PixelView ViewOf(const GdiObject& bitmap) {
  PixelView v;
  v.bits = bitmap.bits.get();
  v.width = bitmap.width;
  v.height = bitmap.height;
  v.stride = bitmap.stride;
  v.format = bitmap.bitCount == 24 ? PixelFormat::Bgr24 : PixelFormat::Bgrx32;
  v.bottomUp = bitmap.bottomUp;
  return v;
}

HDC CreateDeviceDC(std::shared_ptr<IDevice> device) {
  if (!device) return nullptr;
  std::lock_guard lock(GdiMutex());
  HDC hdc = NewDc(DcRecord::Device, nullptr);
  Dc(hdc)->device = std::move(device);
  return hdc;
}

std::shared_ptr<IDevice> DeviceOf(HDC hdc) {
  std::lock_guard lock(GdiMutex());
  DcRecord* dc = Dc(hdc);
  return dc ? dc->device : nullptr;
}

std::unique_ptr<IDrawTarget> OpenTargetOf(HDC hdc) {
  std::lock_guard lock(GdiMutex());
  DcRecord* dc = Dc(hdc);
  return dc && Allowed(*dc) ? OpenTarget(*dc) : nullptr;
}

} // namespace platform::core

using namespace platform::core;

HDC GetDC(HWND hwnd) {
  if (!hwnd) {
    std::lock_guard lock(GdiMutex());
    return NewDc(DcRecord::Screen, nullptr);
  }
  if (!WindowCallAllowed("GetDC") || !Record(hwnd)) return nullptr;
  std::lock_guard lock(GdiMutex());
  return NewDc(DcRecord::Window, hwnd);
}

int ReleaseDC(HWND hwnd, HDC hdc) {
  HWND window = nullptr;
  {
    std::lock_guard lock(GdiMutex());
    DcRecord* dc = Dc(hdc);
    if (!dc || (dc->kind != DcRecord::Window && dc->kind != DcRecord::Screen) || dc->hwnd != hwnd) return 0;
    window = dc->hwnd;
    FreeDc(hdc);
  }
  // What was drawn stays on the surface; show it.
  if (WindowRecord* r = IsGuiThread() ? Record(window) : nullptr) {
    if (r->host) r->host->SchedulePresent(ClientRectOf(*r));
  }
  return 1;
}

HDC BeginPaint(HWND hwnd, LPPAINTSTRUCT paint) {
  if (!WindowCallAllowed("BeginPaint")) return nullptr;
  WindowRecord* r = Record(hwnd);
  if (!r || !paint) return nullptr;
  *paint = PAINTSTRUCT{};
  HDC hdc;
  {
    std::lock_guard lock(GdiMutex());
    hdc = NewDc(DcRecord::Paint, hwnd);
    Region update;
    for (const RECT& u : r->update) update = Region::Combine(update, Region(u), Region::Op::Or);
    Dc(hdc)->systemClip = std::move(update);
  }
  RECT bounds{};
  for (const RECT& u : r->update) UnionRect(&bounds, &bounds, &u);
  paint->hdc = hdc;
  paint->rcPaint = bounds;
  const bool erase = r->erasePending;
  r->erasePending = false;
  r->update.clear();
  if (erase) {
    PaintScope scope;
    paint->fErase = CallWindowProc(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0) ? FALSE : TRUE;
  }
  return hdc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint) {
  if (!paint) return FALSE;
  {
    std::lock_guard lock(GdiMutex());
    DcRecord* dc = Dc(paint->hdc);
    if (!dc || dc->kind != DcRecord::Paint || dc->hwnd != hwnd) return FALSE;
    FreeDc(paint->hdc);
  }
  if (WindowRecord* r = IsGuiThread() ? Record(hwnd) : nullptr) {
    if (r->host && !IsRectEmpty(&paint->rcPaint)) r->host->SchedulePresent(paint->rcPaint);
  }
  return TRUE;
}

HDC CreateCompatibleDC(HDC source) {
  std::lock_guard lock(GdiMutex());
  // A memory DC made for a device shares its resolution and its log.
  std::shared_ptr<IDevice> device;
  if (DcRecord* compatible = Dc(source)) device = compatible->device;
  HDC hdc = NewDc(DcRecord::Memory, nullptr);
  Dc(hdc)->device = std::move(device);
  return hdc;
}

BOOL DeleteDC(HDC hdc) {
  std::lock_guard lock(GdiMutex());
  DcRecord* dc = Dc(hdc);
  if (!dc || (dc->kind != DcRecord::Memory && dc->kind != DcRecord::Device)) return FALSE;
  return FreeDc(hdc) ? TRUE : FALSE;
}

HWND WindowFromDC(HDC hdc) {
  std::lock_guard lock(GdiMutex());
  DcRecord* dc = Dc(hdc);
  return dc ? dc->hwnd : nullptr;
}

int SaveDC(HDC hdc) {
  std::lock_guard lock(GdiMutex());
  DcRecord* dc = Dc(hdc);
  if (!dc) return 0;
  dc->saved.push_back(dc->state);
  RetainState(dc->state);
  return static_cast<int>(dc->saved.size());
}

BOOL RestoreDC(HDC hdc, int savedState) {
  std::lock_guard lock(GdiMutex());
  DcRecord* dc = Dc(hdc);
  if (!dc || dc->saved.empty()) return FALSE;
  const int n = static_cast<int>(dc->saved.size());
  const int index = savedState < 0 ? n + savedState : savedState - 1;
  if (index < 0 || index >= n) return FALSE;
  ReleaseState(dc->state);
  dc->state = dc->saved[static_cast<std::size_t>(index)];
  for (int i = index + 1; i < n; ++i) ReleaseState(dc->saved[static_cast<std::size_t>(i)]);
  dc->saved.resize(static_cast<std::size_t>(index));
  return TRUE;
}

int GetDeviceCaps(HDC hdc, int index) {
  std::lock_guard lock(GdiMutex());
  DcRecord* dc = Dc(hdc);
  if (!dc) return 0;
  const DeviceCaps caps = CapsOf(*dc);
  switch (index) {
  case LOGPIXELSX: return caps.dpiX;
  case LOGPIXELSY: return caps.dpiY;
  case BITSPIXEL: return caps.bitsPerPixel;
  case PLANES: return 1;
  case NUMCOLORS: return -1;
  case TECHNOLOGY: return caps.printer ? DT_RASPRINTER : DT_RASDISPLAY;
  case HORZRES: return caps.width;
  case VERTRES: return caps.height;
  case HORZSIZE: return caps.dpiX > 0 ? MulDiv(caps.width, 254, caps.dpiX * 10) : 0;
  case VERTSIZE: return caps.dpiY > 0 ? MulDiv(caps.height, 254, caps.dpiY * 10) : 0;
  case PHYSICALWIDTH: return caps.physicalWidth;
  case PHYSICALHEIGHT: return caps.physicalHeight;
  case PHYSICALOFFSETX: return caps.offsetX;
  case PHYSICALOFFSETY: return caps.offsetY;
  default: return 0;
  }
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ handle) {
  std::lock_guard lock(GdiMutex());
  DcRecord* dc = Dc(hdc);
  GdiObject* object = Object(handle);
  if (!dc || !object || object->deletePending) return nullptr;
  HGDIOBJ* slot = nullptr;
  switch (object->kind) {
  case OBJ_BRUSH: slot = &dc->state.brush; break;
  case OBJ_PEN: slot = &dc->state.pen; break;
  case OBJ_FONT: slot = &dc->state.font; break;
  case OBJ_BITMAP:
    // Only memory DCs take bitmaps, and a bitmap sits in one DC at a time.
    if (dc->kind != DcRecord::Memory) return nullptr;
    if (object->selected > 0 && !object->stock && dc->state.bitmap != handle) return nullptr;
    slot = &dc->state.bitmap;
    break;
  case OBJ_REGION: {
    // Selecting a region sets the clip region to a copy of it (a kind, not an object).
    dc->state.clip = object->region;
    const std::size_t n = object->region.Rects().size();
    return reinterpret_cast<HGDIOBJ>(static_cast<std::uintptr_t>(n == 0 ? NULLREGION : n == 1 ? SIMPLEREGION
                                                                                               : COMPLEXREGION));
  }
  default: return nullptr;
  }
  const HGDIOBJ previous = *slot;
  Retain(handle);
  *slot = handle;
  Release(previous);
  return previous;
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT kind) {
  std::lock_guard lock(GdiMutex());
  DcRecord* dc = Dc(hdc);
  if (!dc) return nullptr;
  switch (kind) {
  case OBJ_BRUSH: return dc->state.brush;
  case OBJ_PEN: return dc->state.pen;
  case OBJ_FONT: return dc->state.font;
  case OBJ_BITMAP: return dc->state.bitmap;
  case OBJ_COLORSPACE: return dc->state.colourSpace;
  default: return nullptr;
  }
}

namespace {
template <class T>
T SwapState(HDC hdc, T DcState::*member, T value, T failure) {
  std::lock_guard lock(GdiMutex());
  DcRecord* dc = Dc(hdc);
  if (!dc) return failure;
  return std::exchange(dc->state.*member, value);
}
template <class T>
T ReadState(HDC hdc, T DcState::*member, T failure) {
  std::lock_guard lock(GdiMutex());
  DcRecord* dc = Dc(hdc);
  return dc ? dc->state.*member : failure;
}
} // namespace

int SetBkMode(HDC dc, int mode) {
  if (mode != TRANSPARENT && mode != OPAQUE) return 0;
  return SwapState(dc, &DcState::bkMode, mode, 0);
}
int GetBkMode(HDC dc) { return ReadState(dc, &DcState::bkMode, 0); }
COLORREF SetBkColor(HDC dc, COLORREF c) { return SwapState(dc, &DcState::bkColour, c & 0xFFFFFF, CLR_INVALID); }
COLORREF GetBkColor(HDC dc) { return ReadState(dc, &DcState::bkColour, CLR_INVALID); }
COLORREF SetTextColor(HDC dc, COLORREF c) { return SwapState(dc, &DcState::textColour, c & 0xFFFFFF, CLR_INVALID); }
COLORREF GetTextColor(HDC dc) { return ReadState(dc, &DcState::textColour, CLR_INVALID); }
int SetStretchBltMode(HDC dc, int mode) {
  if (mode < BLACKONWHITE || mode > HALFTONE) return 0;
  return SwapState(dc, &DcState::stretchMode, mode, 0);
}
int GetStretchBltMode(HDC dc) { return ReadState(dc, &DcState::stretchMode, 0); }
// Only MM_TEXT exists: other modes are refused and leave it.
int SetMapMode(HDC dc, int mode) {
  if (mode != MM_TEXT) return 0;
  return SwapState(dc, &DcState::mapMode, mode, 0);
}
int GetMapMode(HDC dc) { return ReadState(dc, &DcState::mapMode, 0); }
UINT SetTextAlign(HDC dc, UINT align) { return SwapState(dc, &DcState::textAlign, align & 31u, GDI_ERROR); }
UINT GetTextAlign(HDC dc) { return ReadState(dc, &DcState::textAlign, GDI_ERROR); }

BOOL SetViewportOrgEx(HDC hdc, int x, int y, LPPOINT previous) {
  std::lock_guard lock(GdiMutex());
  DcRecord* dc = Dc(hdc);
  if (!dc) return FALSE;
  if (previous) *previous = dc->state.origin;
  dc->state.origin = {x, y};
  return TRUE;
}

BOOL GetViewportOrgEx(HDC hdc, LPPOINT origin) {
  std::lock_guard lock(GdiMutex());
  DcRecord* dc = Dc(hdc);
  if (!dc || !origin) return FALSE;
  *origin = dc->state.origin;
  return TRUE;
}

int GetClipBox(HDC hdc, LPRECT rect) {
  std::lock_guard lock(GdiMutex());
  DcRecord* dc = Dc(hdc);
  if (!dc || !rect) return RGN_ERROR;
  const SIZE size = DeviceSize(*dc);
  Region visible(RECT{0, 0, size.cx, size.cy});
  const Clip clip = EffectiveClip(*dc);
  if (clip.active) {
    Region limit;
    for (const RECT& r : clip.rects) limit = Region::Combine(limit, Region(r), Region::Op::Or);
    visible = Region::Combine(visible, limit, Region::Op::And);
  }
  RECT box = visible.Bounds();
  OffsetRect(&box, -dc->state.origin.x, -dc->state.origin.y);
  *rect = box;
  const std::size_t n = visible.Rects().size();
  return n == 0 ? NULLREGION : n == 1 ? SIMPLEREGION : COMPLEXREGION;
}

HGDIOBJ GetStockObject(int index) { return Stock(index); }

BOOL DeleteObject(HGDIOBJ handle) {
  std::lock_guard lock(GdiMutex());
  GdiObject* o = Object(handle);
  if (!o) return FALSE;
  if (o->stock) return TRUE;
  if (o->selected > 0) {
    o->deletePending = true;
    return TRUE;
  }
  Objects().Remove(Key(handle));
  return TRUE;
}

DWORD GetObjectType(HGDIOBJ handle) {
  std::lock_guard lock(GdiMutex());
  GdiObject* o = Object(handle);
  return o ? o->kind : 0;
}

int GetObjectW(HGDIOBJ handle, int size, LPVOID buffer) {
  std::lock_guard lock(GdiMutex());
  GdiObject* o = Object(handle);
  if (!o) return 0;
  if (o->kind == OBJ_BITMAP) {
    if (!buffer) return sizeof(BITMAP);
    if (size < static_cast<int>(sizeof(BITMAP))) return 0;
    BITMAP bm;
    bm.bmWidth = o->width;
    bm.bmHeight = o->height;
    bm.bmWidthBytes = static_cast<LONG>(o->stride);
    bm.bmPlanes = 1;
    bm.bmBitsPixel = static_cast<WORD>(o->bitCount);
    bm.bmBits = o->bits.get();
    std::memcpy(buffer, &bm, sizeof bm);
    return sizeof bm;
  }
  if (o->kind == OBJ_FONT) {
    if (!buffer) return sizeof(LOGFONTW);
    if (size < static_cast<int>(sizeof(LOGFONTW))) return 0;
    std::memcpy(buffer, &o->font, sizeof(LOGFONTW));
    return sizeof(LOGFONTW);
  }
  return 0;
}

HBRUSH CreateSolidBrush(COLORREF colour) {
  auto o = std::make_unique<GdiObject>();
  o->kind = OBJ_BRUSH;
  o->colour = colour & 0xFFFFFF;
  return static_cast<HBRUSH>(AddObject(std::move(o)));
}

HPEN CreatePen(int style, int width, COLORREF colour) {
  if (style != PS_SOLID && style != PS_DOT && style != PS_NULL) return nullptr;
  auto o = std::make_unique<GdiObject>();
  o->kind = OBJ_PEN;
  // Wider pens than 1000 pixels are taken as 1000: nothing draws that wide.
  o->pen = {style, std::clamp(width, 1, 1000), colour & 0xFFFFFF};
  o->hollow = style == PS_NULL;
  return static_cast<HPEN>(AddObject(std::move(o)));
}

HFONT CreateFontIndirectW(const LOGFONTW* font) {
  if (!font) return nullptr;
  auto o = std::make_unique<GdiObject>();
  o->kind = OBJ_FONT;
  o->font = *font;
  o->font.lfFaceName[LF_FACESIZE - 1] = 0;
  return static_cast<HFONT>(AddObject(std::move(o)));
}

namespace {
// Largest bitmap the layer makes: 1 GiB of pixels.
constexpr std::int64_t kMaxBitmapBytes = std::int64_t{1} << 30;
} // namespace

namespace platform::core {
HBITMAP NewBitmap(int width, int height, int bitCount, bool bottomUp, void** bits) {
  if (bits) *bits = nullptr;
  if (width <= 0 || height <= 0 || (bitCount != 24 && bitCount != 32)) return nullptr;
  const std::int64_t stride = DibRowBytes(width, bitCount);
  if (stride * height > kMaxBitmapBytes) return nullptr;
  auto o = std::make_unique<GdiObject>();
  o->kind = OBJ_BITMAP;
  o->width = width;
  o->height = height;
  o->bitCount = bitCount;
  o->bottomUp = bottomUp;
  o->stride = static_cast<std::ptrdiff_t>(stride);
  o->bits = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(stride * height));
  if (bits) *bits = o->bits.get();
  return static_cast<HBITMAP>(AddObject(std::move(o)));
}

bool BrushColour(HBRUSH brush, COLORREF& colour, bool& hollow) {
  std::lock_guard lock(GdiMutex());
  GdiObject* b = Object(brush);
  if (!b || b->kind != OBJ_BRUSH) return false;
  colour = b->colour;
  hollow = b->hollow;
  return true;
}
} // namespace platform::core

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE, DWORD) {
  if (bits) *bits = nullptr;
  if (!info || usage != DIB_RGB_COLORS) return nullptr;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biCompression != BI_RGB || h.biHeight == 0 ||
      h.biHeight == INT32_MIN) {
    return nullptr;
  }
  return NewBitmap(h.biWidth, h.biHeight < 0 ? -h.biHeight : h.biHeight, h.biBitCount, h.biHeight > 0, bits);
}

HBITMAP CreateCompatibleBitmap(HDC, int width, int height) { return NewBitmap(width, height, 32, false, nullptr); }

BOOL GdiFlush() { return TRUE; }

namespace {

void FillDeviceRect(IDrawTarget& t, const RECT& rect, COLORREF colour, const Clip& clip) {
  if (rect.right > rect.left && rect.bottom > rect.top) t.FillRect(rect, colour, clip);
}

// A pen's line along one edge of a frame: solid pens fill their band, dotted
// ones draw their dots.
void PenEdge(IDrawTarget& t, const DcState& s, POINT from, POINT to, const PenInfo& pen, const Clip& clip) {
  t.Line(ToDevice(s, from.x, from.y), ToDevice(s, to.x, to.y), pen, clip);
}

} // namespace

int FillRect(HDC hdc, const RECT* rect, HBRUSH brush) {
  if (!rect) return 0;
  COLORREF colour = 0;
  bool hollow = false;
  if (!BrushColour(brush, colour, hollow)) return 0;
  GdiCall call{"FillRect"};
  call.rect = *rect;
  call.colour = colour;
  return Draw(hdc, &call, [&](DcRecord& dc, IDrawTarget& t, const Clip& clip) {
    if (!hollow) FillDeviceRect(t, ToDevice(dc.state, *rect), colour, clip);
  }) ? 1 : 0;
}

int FrameRect(HDC hdc, const RECT* rect, HBRUSH brush) {
  if (!rect || rect->right <= rect->left || rect->bottom <= rect->top) return 0;
  COLORREF colour = 0;
  bool hollow = false;
  if (!BrushColour(brush, colour, hollow)) return 0;
  const RECT& r = *rect;
  GdiCall call{"FrameRect"};
  call.rect = r;
  call.colour = colour;
  return Draw(hdc, &call, [&](DcRecord& dc, IDrawTarget& t, const Clip& clip) {
    if (hollow) return;
    const RECT edges[4] = {{r.left, r.top, r.right, r.top + 1},
                           {r.left, r.bottom - 1, r.right, r.bottom},
                           {r.left, r.top, r.left + 1, r.bottom},
                           {r.right - 1, r.top, r.right, r.bottom}};
    for (const RECT& e : edges) FillDeviceRect(t, ToDevice(dc.state, e), colour, clip);
  }) ? 1 : 0;
}

BOOL MoveToEx(HDC hdc, int x, int y, LPPOINT previous) {
  std::lock_guard lock(GdiMutex());
  DcRecord* dc = Dc(hdc);
  if (!dc) return FALSE;
  if (previous) *previous = dc->state.position;
  dc->state.position = {x, y};
  return TRUE;
}

BOOL LineTo(HDC hdc, int x, int y) {
  GdiCall call{"LineTo"};
  {
    std::lock_guard lock(GdiMutex());
    DcRecord* dc = Dc(hdc);
    if (!dc) return FALSE;
    call.points = {dc->state.position, POINT{x, y}};
  }
  const bool drawn = Draw(hdc, &call, [&](DcRecord& dc, IDrawTarget& t, const Clip& clip) {
    GdiObject* pen = Object(dc.state.pen);
    if (pen && !pen->hollow) PenEdge(t, dc.state, call.points[0], {x, y}, pen->pen, clip);
  });
  // The current position moves whether or not the DC has anything to draw on.
  return drawn && MoveToEx(hdc, x, y, nullptr) ? TRUE : FALSE;
}

BOOL Polyline(HDC hdc, const POINT* points, int count) {
  if (!points || count < 2) return FALSE;
  GdiCall call{"Polyline"};
  call.points.assign(points, points + count);
  return Draw(hdc, &call, [&](DcRecord& dc, IDrawTarget& t, const Clip& clip) {
           GdiObject* pen = Object(dc.state.pen);
           if (!pen || pen->hollow) return;
           for (int i = 0; i + 1 < count; ++i) PenEdge(t, dc.state, points[i], points[i + 1], pen->pen, clip);
         })
             ? TRUE
             : FALSE;
}

BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom) {
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  if (right - left < 2 || bottom - top < 2) return FALSE;
  GdiCall call{"Rectangle"};
  call.rect = {left, top, right, bottom};
  return Draw(hdc, &call, [&](DcRecord& dc, IDrawTarget& t, const Clip& clip) {
           GdiObject* brush = Object(dc.state.brush);
           GdiObject* pen = Object(dc.state.pen);
           const bool framed = pen && !pen->hollow;
           // The outline is the one-pixel frame [left, right-1] x [top, bottom-1];
           // the brush fills inside it (without a pen, one pixel less at the
           // right and bottom, as on the original system).
           if (brush && !brush->hollow) {
             const RECT inside = framed ? RECT{left + 1, top + 1, right - 1, bottom - 1}
                                        : RECT{left, top, right - 1, bottom - 1};
             FillDeviceRect(t, ToDevice(dc.state, inside), brush->colour, clip);
           }
           if (!framed) return;
           const PenInfo& p = pen->pen;
           if (p.style == PS_DOT) {
             const POINT corners[5] = {{left, top}, {right - 1, top}, {right - 1, bottom - 1}, {left, bottom - 1},
                                       {left, top}};
             for (int i = 0; i < 4; ++i) PenEdge(t, dc.state, corners[i], corners[i + 1], p, clip);
             return;
           }
           // Wider pens lie centred on that frame: (w-1)/2 pixels outside it.
           const int before = (p.width - 1) / 2;
           const int after = p.width - 1 - before;
           const RECT edges[4] = {{left - before, top - before, right + after, top + after + 1},
                                  {left - before, bottom - 1 - before, right + after, bottom + after},
                                  {left - before, top - before, left + after + 1, bottom + after},
                                  {right - 1 - before, top - before, right + after, bottom + after}};
           for (const RECT& e : edges) FillDeviceRect(t, ToDevice(dc.state, e), p.colour, clip);
         })
             ? TRUE
             : FALSE;
}

BOOL DrawEdge(HDC hdc, LPRECT rect, UINT edge, UINT flags) {
  if (!rect) return FALSE;
  // The classic 3-D greys: light and dark shadow outside, highlight and shadow inside.
  constexpr COLORREF light = RGB(227, 227, 227), darkShadow = RGB(105, 105, 105);
  constexpr COLORREF highlight = RGB(255, 255, 255), shadow = RGB(160, 160, 160);
  RECT r = *rect;
  auto band = [&](COLORREF topLeft, COLORREF bottomRight) {
    if (r.right <= r.left || r.bottom <= r.top) return;
    auto fill = [&](const RECT& e, COLORREF c) {
      HBRUSH brush = CreateSolidBrush(c);
      FillRect(hdc, &e, brush);
      DeleteObject(brush);
    };
    if (flags & BF_TOP) fill({r.left, r.top, r.right, r.top + 1}, topLeft);
    if (flags & BF_LEFT) fill({r.left, r.top, r.left + 1, r.bottom}, topLeft);
    if (flags & BF_BOTTOM) fill({r.left, r.bottom - 1, r.right, r.bottom}, bottomRight);
    if (flags & BF_RIGHT) fill({r.right - 1, r.top, r.right, r.bottom}, bottomRight);
    if (flags & BF_LEFT) ++r.left;
    if (flags & BF_TOP) ++r.top;
    if (flags & BF_RIGHT) --r.right;
    if (flags & BF_BOTTOM) --r.bottom;
  };
  if (edge & BDR_RAISEDOUTER) band(light, darkShadow);
  else if (edge & BDR_SUNKENOUTER) band(shadow, highlight);
  if (edge & BDR_RAISEDINNER) band(highlight, shadow);
  else if (edge & BDR_SUNKENINNER) band(darkShadow, light);
  if (flags & BF_ADJUST) *rect = r;
  return TRUE;
}

namespace {

// A blit's destination; a negative extent mirrors, and then the rectangle
// ends at x (y) inclusive, as in the original system: (x, -w) covers
// x - w + 1 .. x. Mirrored rectangles keep right < left (bottom < top).
RECT DestinationOf(int x, int y, int width, int height) {
  RECT r{x, y, x + width, y + height};
  if (width < 0) r = {x + 1, r.top, x + width + 1, r.bottom};
  if (height < 0) r = {r.left, y + 1, r.right, y + height + 1};
  return r;
}

// The source DC's pixels of a blit as they show there (opaque).
bool ReadSource(HDC source, int sx, int sy, int sw, int sh, PixelImage& pixels) {
  std::lock_guard lock(GdiMutex());
  DcRecord* src = Dc(source);
  if (!src || !Allowed(*src)) return false;
  std::unique_ptr<IDrawTarget> target = OpenTarget(*src);
  if (!target) return false;
  RECT area = ToDevice(src->state, RECT{sx, sy, sx + sw, sy + sh});
  if (sw < 0) std::swap(area.left, area.right);
  if (sh < 0) std::swap(area.top, area.bottom);
  return target->ReadPixels(area, pixels);
}

// Draws pixels read from a source DC onto the destination's rectangle.
BOOL BlitPixels(const char* name, HDC dest, int x, int y, int width, int height, int sx, int sy, int sw, int sh,
                const PixelImage& pixels, bool blend) {
  RECT destRect = DestinationOf(x, y, width, height);
  if (sw < 0) std::swap(destRect.left, destRect.right);
  if (sh < 0) std::swap(destRect.top, destRect.bottom);
  GdiCall call{name};
  call.rect = {x, y, x + width, y + height};
  call.source = {sx, sy, sx + sw, sy + sh};
  return Draw(dest, &call, [&](DcRecord& dc, IDrawTarget& t, const Clip& clip) {
           t.DrawPixels(ToDevice(dc.state, destRect), pixels.View(), RECT{0, 0, pixels.width, pixels.height}, blend,
                        clip);
         })
             ? TRUE
             : FALSE;
}

bool BlitExtentsOk(int width, int height, int sw, int sh) { return width != 0 && height != 0 && sw != 0 && sh != 0; }

} // namespace

BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, int sw, int sh,
                DWORD rop) {
  if (rop != SRCCOPY || !BlitExtentsOk(width, height, sw, sh)) return FALSE;
  // One buffer per thread carries the source: a window-sized blit on every
  // paint would otherwise fault in fresh pages each time. A very large one is
  // not kept.
  constexpr std::size_t kKeptPixels = std::size_t{1} << 24;
  thread_local PixelImage pixels;
  const BOOL done = ReadSource(source, sx, sy, sw, sh, pixels) &&
                    BlitPixels(width == sw && height == sh ? "BitBlt" : "StretchBlt", dest, x, y, width, height, sx,
                               sy, sw, sh, pixels, false);
  if (pixels.argb.capacity() > kKeptPixels) pixels.argb = {};
  return done;
}

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, DWORD rop) {
  if (width <= 0 || height <= 0) return FALSE;
  return StretchBlt(dest, x, y, width, height, source, sx, sy, width, height, rop);
}

BOOL AlphaBlend(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, int sw, int sh,
                BLENDFUNCTION blend) {
  // Only a constant alpha over the destination: the source's pixels are opaque here.
  if (blend.BlendOp != AC_SRC_OVER || (blend.AlphaFormat & AC_SRC_ALPHA) || width <= 0 || height <= 0 || sw <= 0 ||
      sh <= 0) {
    return FALSE;
  }
  PixelImage pixels;
  if (!ReadSource(source, sx, sy, sw, sh, pixels)) return FALSE;
  const std::uint32_t a = blend.SourceConstantAlpha;
  for (std::uint32_t& p : pixels.argb) {
    const std::uint32_t r = ((p >> 16) & 0xFF) * a / 255, g = ((p >> 8) & 0xFF) * a / 255, b = (p & 0xFF) * a / 255;
    p = (a << 24) | (r << 16) | (g << 8) | b;
  }
  return BlitPixels("AlphaBlend", dest, x, y, width, height, sx, sy, sw, sh, pixels, true);
}

BOOL TransparentBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, int sw, int sh,
                    UINT transparent) {
  if (width <= 0 || height <= 0 || sw <= 0 || sh <= 0) return FALSE;
  PixelImage pixels;
  if (!ReadSource(source, sx, sy, sw, sh, pixels)) return FALSE;
  const std::uint32_t key =
      0xFF000000u | (GetRValue(transparent) << 16) | (GetGValue(transparent) << 8) | GetBValue(transparent);
  for (std::uint32_t& p : pixels.argb) {
    if (p == key) p = 0;
  }
  return BlitPixels("TransparentBlt", dest, x, y, width, height, sx, sy, sw, sh, pixels, true);
}

COLORREF GetPixel(HDC hdc, int x, int y) {
  std::lock_guard lock(GdiMutex());
  DcRecord* dc = Dc(hdc);
  if (!dc || !Allowed(*dc)) return CLR_INVALID;
  std::unique_ptr<IDrawTarget> target = OpenTarget(*dc);
  if (!target) return CLR_INVALID;
  const POINT p = ToDevice(dc->state, x, y);
  const SIZE size = target->Size();
  PixelImage pixel;
  if (p.x < 0 || p.y < 0 || p.x >= size.cx || p.y >= size.cy ||
      !target->ReadPixels(RECT{p.x, p.y, p.x + 1, p.y + 1}, pixel) || pixel.argb.empty()) {
    return CLR_INVALID;
  }
  const std::uint32_t v = pixel.argb[0];
  return RGB(static_cast<BYTE>(v >> 16), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v));
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF colour) {
  colour &= 0xFFFFFF;
  GdiCall call{"SetPixel"};
  call.rect = {x, y, x + 1, y + 1};
  call.colour = colour;
  return Draw(hdc, &call, [&](DcRecord& dc, IDrawTarget& t, const Clip& clip) {
           t.FillRect(ToDevice(dc.state, RECT{x, y, x + 1, y + 1}), colour, clip);
         })
             ? colour
             : CLR_INVALID;
}

int StretchDIBits(HDC hdc, int x, int y, int width, int height, int sx, int sy, int sw, int sh, const void* bits,
                  const BITMAPINFO* info, UINT usage, DWORD rop) {
  if (!bits || !info || usage != DIB_RGB_COLORS || rop != SRCCOPY || !BlitExtentsOk(width, height, sw, sh)) return 0;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  if ((h.biBitCount != 24 && h.biBitCount != 32) || h.biCompression != BI_RGB || h.biWidth <= 0 || h.biHeight == 0 ||
      h.biHeight == INT32_MIN) {
    return 0;
  }
  const int rows = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  PixelView view;
  view.bits = static_cast<const std::uint8_t*>(bits);
  view.width = h.biWidth;
  view.height = rows;
  view.stride = static_cast<std::ptrdiff_t>(DibRowBytes(h.biWidth, h.biBitCount));
  view.format = h.biBitCount == 24 ? PixelFormat::Bgr24 : PixelFormat::Bgrx32;
  view.bottomUp = h.biHeight > 0;
  // The source rectangle counts its rows from the picture's first memory row's
  // side: from the bottom of a bottom-up picture, from the top of a top-down one.
  RECT src{sx, sy, sx + sw, sy + sh};
  if (view.bottomUp) src = {sx, rows - (sy + sh), sx + sw, rows - sy};
  if (sw < 0) std::swap(src.left, src.right);
  if (src.top > src.bottom) std::swap(src.top, src.bottom);
  RECT destRect = DestinationOf(x, y, width, height);
  if (sw < 0) std::swap(destRect.left, destRect.right);
  if (sh < 0) std::swap(destRect.top, destRect.bottom);
  GdiCall call{"StretchDIBits"};
  call.rect = {x, y, x + width, y + height};
  call.source = {sx, sy, sx + sw, sy + sh};
  const bool drawn = Draw(hdc, &call, [&](DcRecord& dc, IDrawTarget& t, const Clip& clip) {
    PixelImage managed;
    if (dc.state.icmMode == ICM_ON && ConvertForIcm(dc, view, src, managed)) {
      // The converted pixels are the source rectangle's, top row first.
      t.DrawPixels(ToDevice(dc.state, destRect), managed.View(), RECT{0, 0, managed.width, managed.height}, false,
                   clip);
      return;
    }
    t.DrawPixels(ToDevice(dc.state, destRect), view, src, false, clip);
  });
  return drawn ? (sh < 0 ? -sh : sh) : 0;
}

int GetDIBits(HDC, HBITMAP handle, UINT start, UINT lines, LPVOID out, BITMAPINFO* info, UINT usage) {
  if (!info || usage != DIB_RGB_COLORS) return 0;
  std::lock_guard lock(GdiMutex());
  GdiObject* bitmap = Object(handle);
  if (!bitmap || bitmap->kind != OBJ_BITMAP || !bitmap->bits) return 0;
  BITMAPINFOHEADER& h = info->bmiHeader;
  if (!out) {
    // Only the format is asked for.
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = bitmap->width;
    h.biHeight = bitmap->height;
    h.biPlanes = 1;
    h.biBitCount = static_cast<WORD>(bitmap->bitCount);
    h.biCompression = BI_RGB;
    h.biSizeImage = static_cast<DWORD>(DibRowBytes(bitmap->width, bitmap->bitCount) * bitmap->height);
    return bitmap->height;
  }
  if ((h.biBitCount != 24 && h.biBitCount != 32) || h.biCompression != BI_RGB || h.biWidth != bitmap->width ||
      h.biHeight == 0 || h.biHeight == INT32_MIN) {
    return 0;
  }
  const bool bottomUp = h.biHeight > 0;
  const auto height = static_cast<UINT>(bitmap->height);
  if (start >= height) return 0;
  lines = std::min(lines, height - start);
  const std::int64_t outStride = DibRowBytes(h.biWidth, h.biBitCount);
  const int outBytes = h.biBitCount / 8, inBytes = bitmap->bitCount / 8;
  auto* dst = static_cast<std::uint8_t*>(out);
  for (UINT i = 0; i < lines; ++i) {
    // Row `start + i` of the output counts from its first memory row: the
    // bottom of the picture when the output is bottom-up.
    const int pictureRow = bottomUp ? static_cast<int>(height - 1 - (start + i)) : static_cast<int>(start + i);
    const int memoryRow = bitmap->bottomUp ? bitmap->height - 1 - pictureRow : pictureRow;
    const std::uint8_t* src = bitmap->bits.get() + static_cast<std::ptrdiff_t>(memoryRow) * bitmap->stride;
    std::uint8_t* row = dst + static_cast<std::int64_t>(i) * outStride;
    std::memset(row, 0, static_cast<std::size_t>(outStride));
    for (int x = 0; x < bitmap->width; ++x) std::memcpy(row + x * outBytes, src + x * inBytes, 3);
  }
  return static_cast<int>(lines);
}

// ---- The framework's DC and object classes ----------------------------------------

BOOL CGdiObject::Attach(HGDIOBJ object) {
  if (m_hObject || !object) return FALSE;
  m_hObject = object;
  return TRUE;
}
HGDIOBJ CGdiObject::Detach() { return std::exchange(m_hObject, nullptr); }
BOOL CGdiObject::DeleteObject() {
  if (!m_hObject) return FALSE;
  return ::DeleteObject(std::exchange(m_hObject, nullptr));
}
BOOL CBrush::CreateSolidBrush(COLORREF colour) { return Attach(::CreateSolidBrush(colour)); }
BOOL CPen::CreatePen(int style, int width, COLORREF colour) { return Attach(::CreatePen(style, width, colour)); }
BOOL CFont::CreateFontIndirect(const LOGFONTW* font) { return Attach(::CreateFontIndirectW(font)); }
int CFont::GetLogFont(LOGFONTW* font) const { return ::GetObjectW(m_hObject, sizeof(LOGFONTW), font); }
BOOL CBitmap::LoadBitmap(UINT resourceId) {
  return Attach(::LoadBitmapW(nullptr, MAKEINTRESOURCEW(static_cast<int>(resourceId))));
}
BOOL CBitmap::CreateCompatibleBitmap(CDC* dc, int width, int height) {
  return Attach(::CreateCompatibleBitmap(dc ? dc->m_hDC : nullptr, width, height));
}
int CBitmap::GetBitmap(BITMAP* info) const { return ::GetObjectW(m_hObject, sizeof(BITMAP), info); }

CDC::~CDC() {
  if (!m_temporary && m_hDC) DeleteDC();
}

CDC* CDC::FromHandle(HDC hdc) {
  std::lock_guard lock(GdiMutex());
  DcRecord* dc = Dc(hdc);
  if (!dc) return nullptr;
  if (!dc->wrapper) {
    dc->wrapper = std::make_unique<CDC>();
    dc->wrapper->m_hDC = hdc;
    dc->wrapper->m_temporary = true;
  }
  return dc->wrapper.get();
}

BOOL CDC::Attach(HDC dc) {
  if (m_hDC || !dc) return FALSE;
  m_hDC = dc;
  return TRUE;
}
HDC CDC::Detach() { return std::exchange(m_hDC, nullptr); }
BOOL CDC::CreateCompatibleDC(CDC* dc) { return Attach(::CreateCompatibleDC(dc ? dc->m_hDC : nullptr)); }
BOOL CDC::DeleteDC() {
  if (!m_hDC) return FALSE;
  return ::DeleteDC(std::exchange(m_hDC, nullptr));
}
CGdiObject* CDC::SelectStockObject(int index) {
  return WrapperOf<CGdiObject>(::SelectObject(m_hDC, ::GetStockObject(index)));
}
CBrush* CDC::SelectObject(CBrush* brush) {
  return brush ? WrapperOf<CBrush>(::SelectObject(m_hDC, brush->m_hObject)) : nullptr;
}
CPen* CDC::SelectObject(CPen* pen) { return pen ? WrapperOf<CPen>(::SelectObject(m_hDC, pen->m_hObject)) : nullptr; }
CFont* CDC::SelectObject(CFont* font) {
  return font ? WrapperOf<CFont>(::SelectObject(m_hDC, font->m_hObject)) : nullptr;
}
CBitmap* CDC::SelectObject(CBitmap* bitmap) {
  return bitmap ? WrapperOf<CBitmap>(::SelectObject(m_hDC, bitmap->m_hObject)) : nullptr;
}
CFont* CDC::GetCurrentFont() const {
  std::lock_guard lock(GdiMutex());
  return WrapperOf<CFont>(::GetCurrentObject(m_hDC, OBJ_FONT));
}
CPen* CDC::GetCurrentPen() const {
  std::lock_guard lock(GdiMutex());
  return WrapperOf<CPen>(::GetCurrentObject(m_hDC, OBJ_PEN));
}
CBrush* CDC::GetCurrentBrush() const {
  std::lock_guard lock(GdiMutex());
  return WrapperOf<CBrush>(::GetCurrentObject(m_hDC, OBJ_BRUSH));
}
CPoint CDC::SetViewportOrg(int x, int y) {
  POINT previous{};
  ::SetViewportOrgEx(m_hDC, x, y, &previous);
  return previous;
}
CPoint CDC::GetViewportOrg() const {
  POINT origin{};
  ::GetViewportOrgEx(m_hDC, &origin);
  return origin;
}
void CDC::FillSolidRect(LPCRECT rect, COLORREF colour) {
  if (!rect) return;
  HBRUSH brush = ::CreateSolidBrush(colour);
  ::FillRect(m_hDC, rect, brush);
  ::DeleteObject(brush);
}
void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF colour) {
  const RECT r{x, y, x + cx, y + cy};
  FillSolidRect(&r, colour);
}
void CDC::Draw3dRect(LPCRECT rect, COLORREF topLeft, COLORREF bottomRight) {
  Draw3dRect(rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, topLeft, bottomRight);
}
void CDC::Draw3dRect(int x, int y, int cx, int cy, COLORREF topLeft, COLORREF bottomRight) {
  FillSolidRect(x, y, cx - 1, 1, topLeft);
  FillSolidRect(x, y, 1, cy - 1, topLeft);
  FillSolidRect(x + cx - 1, y, 1, cy, bottomRight);
  FillSolidRect(x, y + cy - 1, cx, 1, bottomRight);
}
CPoint CDC::MoveTo(int x, int y) {
  POINT previous{};
  ::MoveToEx(m_hDC, x, y, &previous);
  return previous;
}
CSize CDC::GetTextExtent(const std::u16string& text) const {
  SIZE size{};
  ::GetTextExtentPoint32W(m_hDC, text.c_str(), static_cast<int>(text.size()), &size);
  return size;
}

CPaintDC::CPaintDC(CWnd* wnd) : m_hWnd(wnd ? wnd->m_hWnd : nullptr) { Attach(::BeginPaint(m_hWnd, &m_ps)); }
CPaintDC::~CPaintDC() {
  ::EndPaint(m_hWnd, &m_ps);
  Detach();
}
CClientDC::CClientDC(CWnd* wnd) : m_hWnd(wnd ? wnd->m_hWnd : nullptr) { Attach(::GetDC(m_hWnd)); }
CClientDC::~CClientDC() {
  ::ReleaseDC(m_hWnd, Detach());
}
