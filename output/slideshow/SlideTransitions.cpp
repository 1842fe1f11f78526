#include "output/slideshow/SlideTransitions.h"

#include <cmath>
#include <numbers>

namespace slideshow {

namespace {
constexpr double kRollRadius = 0.15;
constexpr double kRollTexturePerRadian = 0.075;
constexpr double kFoldDepth = 0.8;
} // namespace

double TransitionProgress(int step, int count) {
  return count > 0 ? static_cast<double>(step) / count : 0.0;
}

RollVertex RollStripVertex(double p, int i) {
  const double a = 2.0 * std::numbers::pi * i / (kStripPairs - 1);
  RollVertex v{};
  v.s = p - kRollTexturePerRadian * a;
  v.x = RollCut(p) - kRollRadius * std::sin(a);
  v.z = kRollRadius * (1.0 - std::cos(a)) - 1.0;
  v.normal = {-std::sin(a), 0.0, -std::cos(a)};
  return v;
}

FoldPair FoldStripPair(double p, int i) {
  const double a = std::numbers::pi * i / (kStripPairs - 1);
  const double s = 2.0 * p * i / (kStripPairs - 1);
  const double bulge = 0.2 * p * std::sin(a);
  const double z = kFoldDepth * (std::sin(a) - 1.0);
  return {{2.0 * p - 1.0 + bulge, 1.0 - s, z}, {s - 1.0, 1.0 - 2.0 * p + bulge, z}};
}

int UnitCrossProduct(const Vec3& u, const Vec3& v, Vec3& n) {
  for (int i = 0; i < 3; ++i) n[i] = v[(i + 1) % 3] * u[(i + 2) % 3] - v[(i + 2) % 3] * u[(i + 1) % 3];
  const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  if (length == 0.0) return 0;
  for (double& value : n) value /= length;
  return 1;
}

int PlaneNormal(const Vec3& a, const Vec3& b, const Vec3& c, Vec3& n) {
  return UnitCrossProduct({a[0] - c[0], a[1] - c[1], a[2] - c[2]}, {b[0] - c[0], b[1] - c[1], b[2] - c[2]}, n);
}

} // namespace slideshow
