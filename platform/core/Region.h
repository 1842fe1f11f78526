#pragma once
// Regions as the window system keeps them: a set of pixels held as
// non-overlapping rectangles in bands of equal top and bottom, each band's
// rectangles sorted and never touching, bands sorted and coalesced (two
// neighbouring bands with the same spans are one). Right and bottom edges are
// exclusive. Qt-free; regions are values, the handles of WinGdiRegion.h hold them.

#include "platform/win/WinTypes.h"

#include <vector>

namespace platform::core {

class Region {
public:
  enum class Op { And, Or, Xor, Diff };

  Region() = default;
  // An empty or inverted rectangle gives the empty region.
  explicit Region(const RECT& rect);
  // Rows of spans [x0, x1) at y, in any order; empty spans are left out.
  struct Span {
    int y;
    int x0;
    int x1;
  };
  static Region FromSpans(std::vector<Span> spans);
  // The window system's rounded rectangle: corners cut by quarters of an
  // ellipse of the given size (clamped to the rectangle). Like the original
  // system, the region leaves out the rectangle's last column and last row.
  static Region RoundRect(RECT rect, int ellipseWidth, int ellipseHeight);
  // A region as big as any device: "no clip".
  static Region Everything();

  static Region Combine(const Region& a, const Region& b, Op op);
  void Offset(int dx, int dy);
  // The pixels of the region within w pixels horizontally or h vertically of
  // a pixel outside it (what FrameRgn paints).
  Region Frame(int w, int h) const;

  bool Empty() const { return m_rects.empty(); }
  RECT Bounds() const;
  bool Contains(POINT p) const;
  bool Intersects(const RECT& r) const;
  const std::vector<RECT>& Rects() const { return m_rects; }
  bool operator==(const Region& other) const;

private:
  std::vector<RECT> m_rects;
};

} // namespace platform::core
