// Region objects and the clip region of DCs, over the region algebra of
// Region.cpp.

#include "platform/core/Gdi.h"

namespace platform::core {
namespace {

int KindOf(const Region& region) {
  const std::size_t n = region.Rects().size();
  return n == 0 ? NULLREGION : n == 1 ? SIMPLEREGION : COMPLEXREGION;
}

GdiObject* RegionObject(HRGN handle) {
  GdiObject* o = Object(handle);
  return o && o->kind == OBJ_REGION ? o : nullptr;
}

HRGN AddRegion(Region region) {
  auto o = std::make_unique<GdiObject>();
  o->kind = OBJ_REGION;
  o->region = std::move(region);
  return static_cast<HRGN>(AddObject(std::move(o)));
}

// Copies a region object's pixels out (under the lock); false for a stale one.
bool RegionOf(HRGN handle, Region& out) {
  std::lock_guard lock(GdiMutex());
  GdiObject* o = RegionObject(handle);
  if (!o) return false;
  out = o->region;
  return true;
}

// Changes a DC's clip region under its lock; the kind of the new clip.
template <class F>
int ChangeClip(HDC hdc, F&& change) {
  std::lock_guard lock(GdiMutex());
  DcRecord* dc = Dc(hdc);
  if (!dc) return RGN_ERROR;
  change(*dc);
  return dc->state.clip ? KindOf(*dc->state.clip) : SIMPLEREGION;
}

} // namespace
} // namespace platform::core

using namespace platform::core;

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  return AddRegion(Region(RECT{left, top, right, bottom}));
}

HRGN CreateRectRgnIndirect(const RECT* rect) {
  return rect ? CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom) : nullptr;
}

HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight) {
  return AddRegion(Region::RoundRect(RECT{left, top, right, bottom}, ellipseWidth, ellipseHeight));
}

int CombineRgn(HRGN destination, HRGN a, HRGN b, int mode) {
  Region ra, rb;
  if (!RegionOf(a, ra)) return RGN_ERROR;
  if (mode != RGN_COPY && !RegionOf(b, rb)) return RGN_ERROR;
  Region result;
  switch (mode) {
  case RGN_AND: result = Region::Combine(ra, rb, Region::Op::And); break;
  case RGN_OR: result = Region::Combine(ra, rb, Region::Op::Or); break;
  case RGN_XOR: result = Region::Combine(ra, rb, Region::Op::Xor); break;
  case RGN_DIFF: result = Region::Combine(ra, rb, Region::Op::Diff); break;
  case RGN_COPY: result = std::move(ra); break;
  default: return RGN_ERROR;
  }
  std::lock_guard lock(GdiMutex());
  GdiObject* d = RegionObject(destination);
  if (!d) return RGN_ERROR;
  d->region = std::move(result);
  return KindOf(d->region);
}

int OffsetRgn(HRGN region, int dx, int dy) {
  std::lock_guard lock(GdiMutex());
  GdiObject* o = RegionObject(region);
  if (!o) return RGN_ERROR;
  o->region.Offset(dx, dy);
  return KindOf(o->region);
}

int GetRgnBox(HRGN region, LPRECT box) {
  Region r;
  if (!box || !RegionOf(region, r)) return RGN_ERROR;
  *box = r.Bounds();
  return KindOf(r);
}

BOOL PtInRegion(HRGN region, int x, int y) {
  std::lock_guard lock(GdiMutex());
  GdiObject* o = RegionObject(region);
  return o && o->region.Contains(POINT{x, y}) ? TRUE : FALSE;
}

BOOL RectInRegion(HRGN region, const RECT* rect) {
  std::lock_guard lock(GdiMutex());
  GdiObject* o = RegionObject(region);
  return o && rect && o->region.Intersects(*rect) ? TRUE : FALSE;
}

BOOL EqualRgn(HRGN a, HRGN b) {
  Region ra, rb;
  if (!RegionOf(a, ra) || !RegionOf(b, rb)) return FALSE;
  return ra == rb ? TRUE : FALSE;
}

BOOL SetRectRgn(HRGN region, int left, int top, int right, int bottom) {
  if (left > right) std::swap(left, right);
  if (top > bottom) std::swap(top, bottom);
  std::lock_guard lock(GdiMutex());
  GdiObject* o = RegionObject(region);
  if (!o) return FALSE;
  o->region = Region(RECT{left, top, right, bottom});
  return TRUE;
}

namespace {

BOOL FillRegion(HDC hdc, const char* name, const Region& region, COLORREF colour, bool hollow) {
  GdiCall call{name};
  call.rect = region.Bounds();
  call.colour = colour;
  return Draw(hdc, &call, [&](DcRecord& dc, IDrawTarget& t, const Clip& clip) {
           if (hollow) return;
           for (const RECT& r : region.Rects()) t.FillRect(ToDevice(dc.state, r), colour, clip);
         })
             ? TRUE
             : FALSE;
}

} // namespace

BOOL FillRgn(HDC hdc, HRGN handle, HBRUSH brush) {
  Region region;
  COLORREF colour = 0;
  bool hollow = false;
  if (!RegionOf(handle, region) || !BrushColour(brush, colour, hollow)) return FALSE;
  return FillRegion(hdc, "FillRgn", region, colour, hollow);
}

BOOL FrameRgn(HDC hdc, HRGN handle, HBRUSH brush, int width, int height) {
  Region region;
  COLORREF colour = 0;
  bool hollow = false;
  if (width <= 0 || height <= 0 || !RegionOf(handle, region) || !BrushColour(brush, colour, hollow)) return FALSE;
  return FillRegion(hdc, "FrameRgn", region.Frame(width, height), colour, hollow);
}

BOOL PaintRgn(HDC hdc, HRGN handle) {
  Region region;
  if (!RegionOf(handle, region)) return FALSE;
  HGDIOBJ brush;
  {
    std::lock_guard lock(GdiMutex());
    DcRecord* dc = Dc(hdc);
    if (!dc) return FALSE;
    brush = dc->state.brush;
  }
  COLORREF colour = 0;
  bool hollow = false;
  if (!BrushColour(static_cast<HBRUSH>(brush), colour, hollow)) return FALSE;
  return FillRegion(hdc, "PaintRgn", region, colour, hollow);
}

int SelectClipRgn(HDC hdc, HRGN region) { return ExtSelectClipRgn(hdc, region, RGN_COPY); }

int ExtSelectClipRgn(HDC hdc, HRGN handle, int mode) {
  Region region;
  const bool given = handle != nullptr;
  if (given && !RegionOf(handle, region)) return RGN_ERROR;
  if (!given && mode != RGN_COPY) return RGN_ERROR;
  if (mode < RGN_AND || mode > RGN_COPY) return RGN_ERROR;
  return ChangeClip(hdc, [&](DcRecord& dc) {
    if (mode == RGN_COPY) {
      dc.state.clip = given ? std::optional<Region>(std::move(region)) : std::nullopt;
      return;
    }
    const Region current = dc.state.clip ? *dc.state.clip : Region::Everything();
    const Region::Op op = mode == RGN_AND ? Region::Op::And
                          : mode == RGN_OR ? Region::Op::Or
                          : mode == RGN_XOR ? Region::Op::Xor
                                            : Region::Op::Diff;
    dc.state.clip = Region::Combine(current, region, op);
  });
}

int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom) {
  return ChangeClip(hdc, [&](DcRecord& dc) {
    const Region rect(ToDevice(dc.state, RECT{left, top, right, bottom}));
    dc.state.clip = dc.state.clip ? Region::Combine(*dc.state.clip, rect, Region::Op::And) : rect;
  });
}

int ExcludeClipRect(HDC hdc, int left, int top, int right, int bottom) {
  return ChangeClip(hdc, [&](DcRecord& dc) {
    const Region rect(ToDevice(dc.state, RECT{left, top, right, bottom}));
    dc.state.clip = Region::Combine(dc.state.clip ? *dc.state.clip : Region::Everything(), rect, Region::Op::Diff);
  });
}

int OffsetClipRgn(HDC hdc, int dx, int dy) {
  return ChangeClip(hdc, [&](DcRecord& dc) {
    if (dc.state.clip) dc.state.clip->Offset(dx, dy);
  });
}

int GetClipRgn(HDC hdc, HRGN handle) {
  std::lock_guard lock(GdiMutex());
  DcRecord* dc = Dc(hdc);
  GdiObject* o = RegionObject(handle);
  if (!dc || !o) return -1;
  if (!dc->state.clip) return 0;
  o->region = *dc->state.clip;
  return 1;
}

BOOL PtVisible(HDC hdc, int x, int y) {
  std::lock_guard lock(GdiMutex());
  DcRecord* dc = Dc(hdc);
  if (!dc) return FALSE;
  const Clip clip = EffectiveClip(*dc);
  if (!clip.active) return TRUE;
  const POINT p = ToDevice(dc->state, x, y);
  for (const RECT& r : clip.rects) {
    if (PtInRect(&r, p)) return TRUE;
  }
  return FALSE;
}

BOOL RectVisible(HDC hdc, const RECT* rect) {
  if (!rect) return FALSE;
  std::lock_guard lock(GdiMutex());
  DcRecord* dc = Dc(hdc);
  if (!dc) return FALSE;
  const Clip clip = EffectiveClip(*dc);
  if (!clip.active) return !IsRectEmpty(rect);
  const RECT device = ToDevice(dc->state, *rect);
  for (const RECT& r : clip.rects) {
    RECT overlap;
    if (IntersectRect(&overlap, &r, &device)) return TRUE;
  }
  return FALSE;
}
