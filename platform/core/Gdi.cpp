// Device contexts and drawing objects. Coordinates given to a DC are logical
// (MM_TEXT, so pixels); the viewport origin moves them to device pixels of
// the DC's target: the window's retained surface for window and paint DCs,
// the selected bitmap's memory for memory DCs.

#include "platform/core/Gdi.h"
#include "platform/core/Handles.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>

namespace platform::core {
namespace {

struct DcState {
  HGDIOBJ brush = nullptr;
  HGDIOBJ pen = nullptr;
  HGDIOBJ font = nullptr;
  HGDIOBJ bitmap = nullptr;
  int bkMode = OPAQUE;
  COLORREF bkColour = RGB(255, 255, 255);
  COLORREF textColour = RGB(0, 0, 0);
  int stretchMode = BLACKONWHITE;
  int mapMode = MM_TEXT;
  POINT origin;
  POINT position;
  Clip clip; // device coordinates
};

struct DcRecord {
  enum Kind { Window, Paint, Memory, Screen, Device } kind = Memory;
  HWND hwnd = nullptr;
  std::shared_ptr<IDevice> device;
  DcState state;
  std::vector<DcState> saved;
  std::unique_ptr<CDC> wrapper;
};

std::recursive_mutex g_mutex; // objects and DCs: memory DCs may live on any thread
HandleTable<GdiObject>& Objects() {
  static auto* table = new HandleTable<GdiObject>;
  return *table;
}
HandleTable<DcRecord>& Dcs() {
  static auto* table = new HandleTable<DcRecord>;
  return *table;
}
HandleTable<PixelImage>& Icons() {
  static auto* table = new HandleTable<PixelImage>;
  return *table;
}

std::uintptr_t Key(const void* handle) { return reinterpret_cast<std::uintptr_t>(handle); }

DcRecord* Dc(HDC dc) { return Dcs().Get(Key(dc)); }

HGDIOBJ AddObject(std::unique_ptr<GdiObject> object) {
  std::lock_guard lock(g_mutex);
  return reinterpret_cast<HGDIOBJ>(Objects().Add(std::move(object)));
}

HGDIOBJ Stock(int index) {
  static HGDIOBJ stock[DEFAULT_GUI_FONT + 2] = {};
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
    stock[DEFAULT_GUI_FONT + 1] = AddObject(std::move(bitmap));
  });
  if (index < 0 || index > DEFAULT_GUI_FONT + 1) return nullptr;
  return stock[index];
}
HGDIOBJ DefaultBitmap() { return Stock(DEFAULT_GUI_FONT + 1); }

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
}
void ReleaseState(const DcState& s) {
  Release(s.brush);
  Release(s.pen);
  Release(s.font);
  Release(s.bitmap);
}

HDC NewDc(DcRecord::Kind kind, HWND hwnd) {
  auto record = std::make_unique<DcRecord>();
  record->kind = kind;
  record->hwnd = hwnd;
  record->state.brush = Stock(WHITE_BRUSH);
  record->state.pen = Stock(BLACK_PEN);
  record->state.font = Stock(DEFAULT_GUI_FONT);
  record->state.bitmap = kind == DcRecord::Memory ? DefaultBitmap() : nullptr;
  RetainState(record->state);
  return reinterpret_cast<HDC>(Dcs().Add(std::move(record)));
}

bool FreeDc(HDC dc) {
  std::unique_ptr<DcRecord> record = Dcs().Remove(Key(dc));
  if (!record) return false;
  ReleaseState(record->state);
  return true;
}

bool Allowed(const DcRecord& dc) {
  if (dc.kind == DcRecord::Memory || dc.kind == DcRecord::Screen || dc.kind == DcRecord::Device) return true;
  return WindowCallAllowed("drawing on a window DC");
}

// The target of a DC's drawing; null when there is none (no back end, no
// surface, a stale window).
std::unique_ptr<IDrawTarget> OpenTarget(const DcRecord& dc) {
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
  if (dc.kind == DcRecord::Device) return dc.device->OpenTarget();
  WindowRecord* window = Record(dc.hwnd);
  return window && window->host ? window->host->OpenSurface() : nullptr;
}

POINT ToDevice(const DcState& s, int x, int y) { return {x + s.origin.x, y + s.origin.y}; }
RECT ToDevice(const DcState& s, const RECT& r) {
  return {r.left + s.origin.x, r.top + s.origin.y, r.right + s.origin.x, r.bottom + s.origin.y};
}

// Runs f(dcRecord, target) for a DC that may draw.
template <class F>
bool Draw(HDC hdc, F&& f) {
  std::lock_guard lock(g_mutex);
  DcRecord* dc = Dc(hdc);
  if (!dc || !Allowed(*dc)) return false;
  std::unique_ptr<IDrawTarget> target = OpenTarget(*dc);
  if (!target) return true; // nothing to draw on: drawing does nothing
  f(*dc, *target);
  return true;
}

const LOGFONTW& FontOf(const DcState& s) {
  GdiObject* font = Object(s.font);
  return font ? font->font : Object(Stock(DEFAULT_GUI_FONT))->font;
}

} // namespace

GdiObject* Object(HGDIOBJ handle) { return Objects().Get(Key(handle)); }

HICON CreateIconFromPixels(PixelImage pixels) {
  if (pixels.width <= 0 || pixels.height <= 0 ||
      pixels.argb.size() != static_cast<std::size_t>(pixels.width) * static_cast<std::size_t>(pixels.height)) {
    return nullptr;
  }
  std::lock_guard lock(g_mutex);
  return reinterpret_cast<HICON>(Icons().Add(std::make_unique<PixelImage>(std::move(pixels))));
}

HDC CreateDeviceDc(std::shared_ptr<IDevice> device) {
  if (!device) return nullptr;
  std::lock_guard lock(g_mutex);
  HDC hdc = NewDc(DcRecord::Device, nullptr);
  Dc(hdc)->device = std::move(device);
  return hdc;
}

std::shared_ptr<IDevice> DeviceOf(HDC hdc) {
  std::lock_guard lock(g_mutex);
  DcRecord* dc = Dc(hdc);
  return dc ? dc->device : nullptr;
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

} // namespace platform::core

using namespace platform::core;

HDC GetDC(HWND hwnd) {
  if (!hwnd) {
    std::lock_guard lock(g_mutex);
    return NewDc(DcRecord::Screen, nullptr);
  }
  if (!WindowCallAllowed("GetDC") || !Record(hwnd)) return nullptr;
  std::lock_guard lock(g_mutex);
  return NewDc(DcRecord::Window, hwnd);
}

int ReleaseDC(HWND hwnd, HDC hdc) {
  HWND window = nullptr;
  {
    std::lock_guard lock(g_mutex);
    DcRecord* dc = Dc(hdc);
    if (!dc || dc->kind == DcRecord::Memory || dc->kind == DcRecord::Paint || dc->kind == DcRecord::Device ||
        dc->hwnd != hwnd) {
      return 0;
    }
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
    std::lock_guard lock(g_mutex);
    hdc = NewDc(DcRecord::Paint, hwnd);
    DcRecord* dc = Dc(hdc);
    dc->state.clip.active = true;
    dc->state.clip.rects = r->update;
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
    std::lock_guard lock(g_mutex);
    DcRecord* dc = Dc(paint->hdc);
    if (!dc || dc->kind != DcRecord::Paint || dc->hwnd != hwnd) return FALSE;
    FreeDc(paint->hdc);
  }
  if (WindowRecord* r = IsGuiThread() ? Record(hwnd) : nullptr) {
    if (r->host && !IsRectEmpty(&paint->rcPaint)) r->host->SchedulePresent(paint->rcPaint);
  }
  return TRUE;
}

HDC CreateCompatibleDC(HDC) {
  std::lock_guard lock(g_mutex);
  return NewDc(DcRecord::Memory, nullptr);
}

BOOL DeleteDC(HDC hdc) {
  std::lock_guard lock(g_mutex);
  DcRecord* dc = Dc(hdc);
  if (!dc || (dc->kind != DcRecord::Memory && dc->kind != DcRecord::Device)) return FALSE;
  return FreeDc(hdc) ? TRUE : FALSE;
}

HWND WindowFromDC(HDC hdc) {
  std::lock_guard lock(g_mutex);
  DcRecord* dc = Dc(hdc);
  return dc ? dc->hwnd : nullptr;
}

int SaveDC(HDC hdc) {
  std::lock_guard lock(g_mutex);
  DcRecord* dc = Dc(hdc);
  if (!dc) return 0;
  dc->saved.push_back(dc->state);
  RetainState(dc->state);
  return static_cast<int>(dc->saved.size());
}

BOOL RestoreDC(HDC hdc, int savedState) {
  std::lock_guard lock(g_mutex);
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
  std::lock_guard lock(g_mutex);
  DcRecord* dc = Dc(hdc);
  if (!dc) return 0;
  if (dc->kind == DcRecord::Device) return dc->device->Caps(index);
  switch (index) {
  case LOGPIXELSX:
  case LOGPIXELSY: return 96;
  case BITSPIXEL: return 32;
  case HORZRES:
  case VERTRES: {
    SIZE size = Host() ? Host()->ScreenSize() : SIZE{1920, 1080};
    if (dc->kind == DcRecord::Memory) {
      GdiObject* b = Object(dc->state.bitmap);
      size = b ? SIZE{b->width, b->height} : SIZE{};
    }
    return index == HORZRES ? size.cx : size.cy;
  }
  default: return 0;
  }
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ handle) {
  std::lock_guard lock(g_mutex);
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
  default: return nullptr;
  }
  const HGDIOBJ previous = *slot;
  Retain(handle);
  *slot = handle;
  Release(previous);
  return previous;
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT kind) {
  std::lock_guard lock(g_mutex);
  DcRecord* dc = Dc(hdc);
  if (!dc) return nullptr;
  switch (kind) {
  case OBJ_BRUSH: return dc->state.brush;
  case OBJ_PEN: return dc->state.pen;
  case OBJ_FONT: return dc->state.font;
  case OBJ_BITMAP: return dc->state.bitmap;
  default: return nullptr;
  }
}

namespace {
template <class T>
T SwapState(HDC hdc, T DcState::*member, T value, T failure) {
  std::lock_guard lock(g_mutex);
  DcRecord* dc = Dc(hdc);
  if (!dc) return failure;
  return std::exchange(dc->state.*member, value);
}
template <class T>
T ReadState(HDC hdc, T DcState::*member, T failure) {
  std::lock_guard lock(g_mutex);
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

BOOL SetViewportOrgEx(HDC hdc, int x, int y, LPPOINT previous) {
  std::lock_guard lock(g_mutex);
  DcRecord* dc = Dc(hdc);
  if (!dc) return FALSE;
  if (previous) *previous = dc->state.origin;
  dc->state.origin = {x, y};
  return TRUE;
}

BOOL GetViewportOrgEx(HDC hdc, LPPOINT origin) {
  std::lock_guard lock(g_mutex);
  DcRecord* dc = Dc(hdc);
  if (!dc || !origin) return FALSE;
  *origin = dc->state.origin;
  return TRUE;
}

int GetClipBox(HDC hdc, LPRECT rect) {
  std::lock_guard lock(g_mutex);
  DcRecord* dc = Dc(hdc);
  if (!dc || !rect) return 0;
  RECT box{};
  if (dc->state.clip.active) {
    for (const RECT& r : dc->state.clip.rects) UnionRect(&box, &box, &r);
  } else if (dc->kind == DcRecord::Memory) {
    if (GdiObject* b = Object(dc->state.bitmap)) box = {0, 0, b->width, b->height};
  } else if (dc->kind == DcRecord::Device) {
    box = {0, 0, dc->device->Caps(HORZRES), dc->device->Caps(VERTRES)};
  } else if (WindowRecord* w = IsGuiThread() ? Record(dc->hwnd) : nullptr) {
    box = ClientRectOf(*w);
  }
  OffsetRect(&box, -dc->state.origin.x, -dc->state.origin.y);
  *rect = box;
  return IsRectEmpty(&box) ? 1 /* NULLREGION */ : 2 /* SIMPLEREGION */;
}

HGDIOBJ GetStockObject(int index) { return Stock(index); }

BOOL DeleteObject(HGDIOBJ handle) {
  std::lock_guard lock(g_mutex);
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
  std::lock_guard lock(g_mutex);
  GdiObject* o = Object(handle);
  return o ? o->kind : 0;
}

int GetObjectW(HGDIOBJ handle, int size, LPVOID buffer) {
  std::lock_guard lock(g_mutex);
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
  o->pen = {style, std::max(width, 1), colour & 0xFFFFFF};
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
} // namespace

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

int FillRect(HDC hdc, const RECT* rect, HBRUSH brush) {
  if (!rect) return 0;
  GdiObject* b;
  {
    std::lock_guard lock(g_mutex);
    b = Object(brush);
    if (!b || b->kind != OBJ_BRUSH) return 0;
  }
  const COLORREF colour = b->colour;
  const bool hollow = b->hollow;
  return Draw(hdc, [&](DcRecord& dc, IDrawTarget& t) {
    if (!hollow) t.FillRect(ToDevice(dc.state, *rect), colour, dc.state.clip);
  }) ? 1 : 0;
}

int FrameRect(HDC hdc, const RECT* rect, HBRUSH brush) {
  if (!rect || rect->right <= rect->left || rect->bottom <= rect->top) return 0;
  const RECT& r = *rect;
  const RECT edges[4] = {{r.left, r.top, r.right, r.top + 1},
                         {r.left, r.bottom - 1, r.right, r.bottom},
                         {r.left, r.top, r.left + 1, r.bottom},
                         {r.right - 1, r.top, r.right, r.bottom}};
  int ok = 1;
  for (const RECT& e : edges) ok &= FillRect(hdc, &e, brush);
  return ok;
}

BOOL MoveToEx(HDC hdc, int x, int y, LPPOINT previous) {
  std::lock_guard lock(g_mutex);
  DcRecord* dc = Dc(hdc);
  if (!dc) return FALSE;
  if (previous) *previous = dc->state.position;
  dc->state.position = {x, y};
  return TRUE;
}

BOOL LineTo(HDC hdc, int x, int y) {
  return Draw(hdc, [&](DcRecord& dc, IDrawTarget& t) {
           GdiObject* pen = Object(dc.state.pen);
           if (pen && !pen->hollow) {
             t.Line(ToDevice(dc.state, dc.state.position.x, dc.state.position.y), ToDevice(dc.state, x, y),
                    pen->pen, dc.state.clip);
           }
           dc.state.position = {x, y};
         })
             ? TRUE
             : FALSE;
}

BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom) {
  if (right <= left || bottom <= top) return FALSE;
  return Draw(hdc, [&](DcRecord& dc, IDrawTarget& t) {
           // A one-pixel pen lies inside [left, right-1] x [top, bottom-1]; the
           // brush fills inside it.
           GdiObject* brush = Object(dc.state.brush);
           GdiObject* pen = Object(dc.state.pen);
           const int w = pen && !pen->hollow ? pen->pen.width : 0;
           if (brush && !brush->hollow) {
             t.FillRect(ToDevice(dc.state, RECT{left + w, top + w, right - w, bottom - w}), brush->colour,
                        dc.state.clip);
           }
           if (w > 0) {
             const RECT edges[4] = {{left, top, right, top + w},
                                    {left, bottom - w, right, bottom},
                                    {left, top, left + w, bottom},
                                    {right - w, top, right, bottom}};
             for (const RECT& e : edges) t.FillRect(ToDevice(dc.state, e), pen->pen.colour, dc.state.clip);
           }
         })
             ? TRUE
             : FALSE;
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
} // namespace

BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, int sw, int sh,
                DWORD rop) {
  if (rop != SRCCOPY || sw == 0 || sh == 0 || width == 0 || height == 0) return FALSE;
  PixelImage pixels;
  {
    std::lock_guard lock(g_mutex);
    DcRecord* src = Dc(source);
    if (!src || !Allowed(*src)) return FALSE;
    std::unique_ptr<IDrawTarget> target = OpenTarget(*src);
    if (!target) return FALSE;
    RECT area = ToDevice(src->state, RECT{sx, sy, sx + sw, sy + sh});
    if (sw < 0) std::swap(area.left, area.right);
    if (sh < 0) std::swap(area.top, area.bottom);
    if (!target->ReadPixels(area, pixels)) return FALSE;
  }
  // A negative source extent mirrors like a negative destination one.
  RECT destRect = DestinationOf(x, y, width, height);
  if (sw < 0) std::swap(destRect.left, destRect.right);
  if (sh < 0) std::swap(destRect.top, destRect.bottom);
  return Draw(dest, [&](DcRecord& dc, IDrawTarget& t) {
           RECT d = ToDevice(dc.state, destRect);
           t.DrawPixels(d, pixels.View(), RECT{0, 0, pixels.width, pixels.height}, false, dc.state.clip);
         })
             ? TRUE
             : FALSE;
}

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sx, int sy, DWORD rop) {
  if (width <= 0 || height <= 0) return FALSE;
  return StretchBlt(dest, x, y, width, height, source, sx, sy, width, height, rop);
}

int StretchDIBits(HDC hdc, int x, int y, int width, int height, int sx, int sy, int sw, int sh, const void* bits,
                  const BITMAPINFO* info, UINT usage, DWORD rop) {
  if (!bits || !info || usage != DIB_RGB_COLORS || rop != SRCCOPY || width == 0 || height == 0 || sw == 0 ||
      sh == 0) {
    return 0;
  }
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
  const bool drawn = Draw(hdc, [&](DcRecord& dc, IDrawTarget& t) {
    t.DrawPixels(ToDevice(dc.state, destRect), view, src, false, dc.state.clip);
  });
  return drawn ? (sh < 0 ? -sh : sh) : 0;
}

namespace {

std::u16string_view TextOf(LPCWSTR text, int count) {
  if (!text) return {};
  if (count < 0) return std::u16string_view(text);
  return std::u16string_view(text, static_cast<std::size_t>(count));
}

std::vector<std::u16string_view> Lines(std::u16string_view text, UINT format) {
  std::vector<std::u16string_view> lines;
  if (format & DT_SINGLELINE) {
    lines.push_back(text);
    return lines;
  }
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == u'\n') {
      std::u16string_view line = text.substr(start, i - start);
      if (!line.empty() && line.back() == u'\r') line.remove_suffix(1);
      lines.push_back(line);
      start = i + 1;
    }
  }
  return lines;
}

} // namespace

int DrawTextW(HDC hdc, LPCWSTR text, int count, LPRECT rect, UINT format) {
  if (!rect) return 0;
  IHost* host = Host();
  LOGFONTW font;
  DcState state;
  {
    std::lock_guard lock(g_mutex);
    DcRecord* dc = Dc(hdc);
    if (!dc) return 0;
    font = FontOf(dc->state);
    state = dc->state;
  }
  const std::u16string_view all = TextOf(text, count);
  if (!host || all.empty()) {
    if (format & DT_CALCRECT) {
      rect->right = rect->left;
      rect->bottom = rect->top;
    }
    return 0;
  }
  const TEXTMETRICW metrics = host->GetTextMetrics(font);
  const std::vector<std::u16string_view> lines = Lines(all, format);
  std::vector<int> widths;
  int widest = 0;
  for (std::u16string_view line : lines) {
    widths.push_back(host->GetTextWidth(font, line));
    widest = std::max(widest, widths.back());
  }
  const int lineHeight = metrics.tmHeight;
  const int total = lineHeight * static_cast<int>(lines.size());
  if (format & DT_CALCRECT) {
    rect->right = rect->left + widest;
    rect->bottom = rect->top + total;
    return total;
  }
  int top = rect->top;
  if (format & DT_SINGLELINE) {
    if (format & DT_VCENTER) top = rect->top + (rect->bottom - rect->top - lineHeight) / 2;
    else if (format & DT_BOTTOM) top = rect->bottom - lineHeight;
  }
  Draw(hdc, [&](DcRecord& dc, IDrawTarget& t) {
    Clip clip = dc.state.clip;
    if (!(format & DT_NOCLIP)) {
      const RECT limit = ToDevice(dc.state, *rect);
      if (!clip.active) {
        clip.active = true;
        clip.rects = {limit};
      } else {
        for (RECT& c : clip.rects) IntersectRect(&c, &c, &limit);
      }
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
      int left = rect->left;
      if (format & DT_CENTER) left = rect->left + (rect->right - rect->left - widths[i]) / 2;
      else if (format & DT_RIGHT) left = rect->right - widths[i];
      const int lineTop = top + lineHeight * static_cast<int>(i);
      if (state.bkMode == OPAQUE) {
        t.FillRect(ToDevice(dc.state, RECT{left, lineTop, left + widths[i], lineTop + lineHeight}), state.bkColour,
                   clip);
      }
      t.DrawText(ToDevice(dc.state, left, lineTop + metrics.tmAscent), lines[i], font, state.textColour, clip);
    }
  });
  return total;
}

BOOL GetTextMetricsW(HDC hdc, TEXTMETRICW* metrics) {
  if (!metrics || !Host()) return FALSE;
  LOGFONTW font;
  {
    std::lock_guard lock(g_mutex);
    DcRecord* dc = Dc(hdc);
    if (!dc) return FALSE;
    font = FontOf(dc->state);
  }
  *metrics = Host()->GetTextMetrics(font);
  return TRUE;
}

BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR text, int count, SIZE* size) {
  if (!size || !Host()) return FALSE;
  LOGFONTW font;
  {
    std::lock_guard lock(g_mutex);
    DcRecord* dc = Dc(hdc);
    if (!dc) return FALSE;
    font = FontOf(dc->state);
  }
  size->cx = Host()->GetTextWidth(font, TextOf(text, count));
  size->cy = Host()->GetTextMetrics(font).tmHeight;
  return TRUE;
}

HANDLE LoadImageW(HINSTANCE, LPCWSTR name, UINT type, int cx, int cy, UINT) {
  const auto id = reinterpret_cast<std::uintptr_t>(name);
  if (!Host() || id == 0 || id > 0xFFFF) return nullptr;
  PixelImage pixels;
  if (!Host()->LoadResourceImage(type, static_cast<int>(id), cx, cy, pixels)) return nullptr;
  std::lock_guard lock(g_mutex);
  if (type == IMAGE_ICON || type == IMAGE_CURSOR) {
    return reinterpret_cast<HANDLE>(Icons().Add(std::make_unique<PixelImage>(std::move(pixels))));
  }
  if (type != IMAGE_BITMAP) return nullptr;
  void* bits = nullptr;
  HBITMAP bitmap = NewBitmap(pixels.width, pixels.height, 32, false, &bits);
  if (!bitmap) return nullptr;
  std::memcpy(bits, pixels.argb.data(), pixels.argb.size() * 4);
  return reinterpret_cast<HANDLE>(static_cast<HGDIOBJ>(bitmap));
}

HBITMAP LoadBitmapW(HINSTANCE instance, LPCWSTR name) {
  return reinterpret_cast<HBITMAP>(LoadImageW(instance, name, IMAGE_BITMAP, 0, 0, 0));
}

BOOL DrawIconEx(HDC hdc, int x, int y, HICON icon, int cx, int cy, UINT, HBRUSH, UINT) {
  std::lock_guard lock(g_mutex);
  PixelImage* pixels = Icons().Get(Key(icon));
  if (!pixels) return FALSE;
  if (cx <= 0) cx = pixels->width;
  if (cy <= 0) cy = pixels->height;
  return Draw(hdc, [&](DcRecord& dc, IDrawTarget& t) {
           t.DrawPixels(ToDevice(dc.state, RECT{x, y, x + cx, y + cy}), pixels->View(),
                        RECT{0, 0, pixels->width, pixels->height}, true, dc.state.clip);
         })
             ? TRUE
             : FALSE;
}

BOOL DestroyIcon(HICON icon) {
  std::lock_guard lock(g_mutex);
  return Icons().Remove(Key(icon)) ? TRUE : FALSE;
}

namespace {
HCURSOR g_cursor = nullptr;
}

HCURSOR SetCursor(HCURSOR cursor) {
  const HCURSOR old = g_cursor;
  g_cursor = cursor;
  if (!IsGuiThread()) return old;
  // The shape shows where the pointer is (or over the capture window).
  HWND hwnd = GetCapture();
  if (!hwnd) {
    POINT p;
    GetCursorPos(&p);
    hwnd = WindowFromPoint(p);
  }
  if (WindowRecord* r = Record(hwnd)) {
    if (r->host) r->host->SetCursorShape(cursor);
  }
  return old;
}

HCURSOR GetCursor() { return g_cursor; }

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
  std::lock_guard lock(g_mutex);
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
