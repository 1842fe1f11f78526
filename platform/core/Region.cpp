#include "platform/core/Region.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace platform::core {
namespace {

// Coordinates stay within this range, so no offset or width can overflow.
constexpr int kLimit = 1 << 30;

int Clamp(std::int64_t v) { return static_cast<int>(std::clamp<std::int64_t>(v, -kLimit, kLimit)); }

using Intervals = std::vector<std::pair<int, int>>;

struct Band {
  int top;
  int bottom;
  Intervals spans;
};

std::vector<Band> BandsOf(const std::vector<RECT>& rects) {
  std::vector<Band> bands;
  for (const RECT& r : rects) {
    if (bands.empty() || bands.back().top != r.top) bands.push_back({r.top, r.bottom, {}});
    bands.back().spans.emplace_back(r.left, r.right);
  }
  return bands;
}

bool Apply(Region::Op op, bool a, bool b) {
  switch (op) {
  case Region::Op::And: return a && b;
  case Region::Op::Or: return a || b;
  case Region::Op::Xor: return a != b;
  case Region::Op::Diff: return a && !b;
  }
  return false;
}

Intervals CombineIntervals(const Intervals& a, const Intervals& b, Region::Op op) {
  std::vector<int> xs;
  xs.reserve(2 * (a.size() + b.size()));
  for (const auto& [x0, x1] : a) xs.insert(xs.end(), {x0, x1});
  for (const auto& [x0, x1] : b) xs.insert(xs.end(), {x0, x1});
  std::sort(xs.begin(), xs.end());
  xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
  Intervals out;
  std::size_t ia = 0, ib = 0;
  for (std::size_t i = 0; i + 1 < xs.size(); ++i) {
    const int x0 = xs[i], x1 = xs[i + 1];
    while (ia < a.size() && a[ia].second <= x0) ++ia;
    while (ib < b.size() && b[ib].second <= x0) ++ib;
    const bool inA = ia < a.size() && a[ia].first <= x0;
    const bool inB = ib < b.size() && b[ib].first <= x0;
    if (!Apply(op, inA, inB)) continue;
    if (!out.empty() && out.back().second == x0) {
      out.back().second = x1;
    } else {
      out.emplace_back(x0, x1);
    }
  }
  return out;
}

// Appends a band, joining it to the last one when they touch with equal spans.
void AddBand(std::vector<Band>& bands, int top, int bottom, Intervals spans) {
  if (spans.empty() || bottom <= top) return;
  if (!bands.empty() && bands.back().bottom == top && bands.back().spans == spans) {
    bands.back().bottom = bottom;
    return;
  }
  bands.push_back({top, bottom, std::move(spans)});
}

std::vector<RECT> RectsOf(const std::vector<Band>& bands) {
  std::vector<RECT> rects;
  for (const Band& band : bands) {
    for (const auto& [x0, x1] : band.spans) rects.push_back({x0, band.top, x1, band.bottom});
  }
  return rects;
}

} // namespace

Region::Region(const RECT& r) {
  const RECT c{Clamp(r.left), Clamp(r.top), Clamp(r.right), Clamp(r.bottom)};
  if (c.right > c.left && c.bottom > c.top) m_rects.push_back(c);
}

Region Region::Everything() { return Region(RECT{-kLimit, -kLimit, kLimit, kLimit}); }

Region Region::FromSpans(std::vector<Span> spans) {
  spans.erase(std::remove_if(spans.begin(), spans.end(), [](const Span& s) { return s.x1 <= s.x0; }), spans.end());
  std::sort(spans.begin(), spans.end(),
            [](const Span& a, const Span& b) { return a.y != b.y ? a.y < b.y : a.x0 < b.x0; });
  std::vector<Band> bands;
  for (std::size_t i = 0; i < spans.size();) {
    const int y = spans[i].y;
    Intervals row;
    for (; i < spans.size() && spans[i].y == y; ++i) {
      const int x0 = Clamp(spans[i].x0), x1 = Clamp(spans[i].x1);
      if (!row.empty() && x0 <= row.back().second) {
        row.back().second = std::max(row.back().second, x1);
      } else {
        row.emplace_back(x0, x1);
      }
    }
    AddBand(bands, Clamp(y), Clamp(std::int64_t{y} + 1), std::move(row));
  }
  Region region;
  region.m_rects = RectsOf(bands);
  return region;
}

Region Region::RoundRect(RECT r, int ellipseWidth, int ellipseHeight) {
  if (r.left > r.right) std::swap(r.left, r.right);
  if (r.top > r.bottom) std::swap(r.top, r.bottom);
  r = {Clamp(r.left), Clamp(r.top), Clamp(r.right), Clamp(r.bottom)};
  --r.right;
  --r.bottom;
  const int width = r.right - r.left, height = r.bottom - r.top;
  if (width <= 0 || height <= 0) return Region();
  const double rx = std::clamp(std::abs(ellipseWidth), 0, width) / 2.0;
  const double ry = std::clamp(std::abs(ellipseHeight), 0, height) / 2.0;
  if (rx < 1 || ry < 1) return Region(r);
  std::vector<Span> spans;
  spans.reserve(static_cast<std::size_t>(height));
  for (int y = r.top; y < r.bottom; ++y) {
    // Vertical distance of the row's centre from the nearer corner ellipse's centre.
    const double fromTop = r.top + ry - (y + 0.5);
    const double fromBottom = (y + 0.5) - (r.bottom - ry);
    const double dy = std::max(fromTop, fromBottom);
    int inset = 0;
    if (dy > 0) {
      const double t = std::min(1.0, dy / ry);
      inset = static_cast<int>(std::lround(rx - rx * std::sqrt(1.0 - t * t)));
    }
    spans.push_back({y, r.left + inset, r.right - inset});
  }
  return FromSpans(std::move(spans));
}

Region Region::Combine(const Region& a, const Region& b, Op op) {
  const std::vector<Band> bandsA = BandsOf(a.m_rects);
  const std::vector<Band> bandsB = BandsOf(b.m_rects);
  std::vector<int> ys;
  for (const Band& band : bandsA) ys.insert(ys.end(), {band.top, band.bottom});
  for (const Band& band : bandsB) ys.insert(ys.end(), {band.top, band.bottom});
  std::sort(ys.begin(), ys.end());
  ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
  static const Intervals kNone;
  std::vector<Band> out;
  std::size_t ia = 0, ib = 0;
  for (std::size_t i = 0; i + 1 < ys.size(); ++i) {
    const int y0 = ys[i], y1 = ys[i + 1];
    while (ia < bandsA.size() && bandsA[ia].bottom <= y0) ++ia;
    while (ib < bandsB.size() && bandsB[ib].bottom <= y0) ++ib;
    const Intervals& sa = ia < bandsA.size() && bandsA[ia].top <= y0 ? bandsA[ia].spans : kNone;
    const Intervals& sb = ib < bandsB.size() && bandsB[ib].top <= y0 ? bandsB[ib].spans : kNone;
    AddBand(out, y0, y1, CombineIntervals(sa, sb, op));
  }
  Region region;
  region.m_rects = RectsOf(out);
  return region;
}

void Region::Offset(int dx, int dy) {
  for (RECT& r : m_rects) {
    r = {Clamp(std::int64_t{r.left} + dx), Clamp(std::int64_t{r.top} + dy), Clamp(std::int64_t{r.right} + dx),
         Clamp(std::int64_t{r.bottom} + dy)};
  }
  // Clamping can squash rectangles at the limits; rebuild to keep the invariants.
  bool squashed = false;
  for (const RECT& r : m_rects) squashed = squashed || r.right <= r.left || r.bottom <= r.top;
  if (!squashed) return;
  Region rebuilt;
  for (const RECT& r : m_rects) rebuilt = Combine(rebuilt, Region(r), Op::Or);
  *this = std::move(rebuilt);
}

Region Region::Frame(int w, int h) const {
  w = std::clamp(w, 0, kLimit);
  h = std::clamp(h, 0, kLimit);
  Region inner = *this;
  for (const auto& [dx, dy] : {std::pair{w, 0}, std::pair{-w, 0}, std::pair{0, h}, std::pair{0, -h}}) {
    Region moved = *this;
    moved.Offset(dx, dy);
    inner = Combine(inner, moved, Op::And);
  }
  return Combine(*this, inner, Op::Diff);
}

RECT Region::Bounds() const {
  if (m_rects.empty()) return {};
  RECT b = m_rects.front();
  for (const RECT& r : m_rects) {
    b.left = std::min(b.left, r.left);
    b.right = std::max(b.right, r.right);
    b.bottom = std::max(b.bottom, r.bottom);
  }
  return b;
}

bool Region::Contains(POINT p) const {
  for (const RECT& r : m_rects) {
    if (p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom) return true;
  }
  return false;
}

bool Region::Intersects(const RECT& q) const {
  for (const RECT& r : m_rects) {
    if (r.left < q.right && q.left < r.right && r.top < q.bottom && q.top < r.bottom) return true;
  }
  return false;
}

bool Region::operator==(const Region& other) const {
  if (m_rects.size() != other.m_rects.size()) return false;
  for (std::size_t i = 0; i < m_rects.size(); ++i) {
    if (!(m_rects[i] == other.m_rects[i])) return false;
  }
  return true;
}

} // namespace platform::core
