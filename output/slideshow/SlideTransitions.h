#pragma once
// The geometry of the slide show's transitions, window- and OpenGL-free:
// every coordinate is in the window's normalised space (x and y from -1 to
// 1, y up; z orders depth, larger is nearer). A transition runs 20 steps;
// its painted frames have the progress p = step / 20 from 0.05 to 1.

#include <array>

namespace slideshow {

using Vec3 = std::array<double, 3>;

constexpr int kTransitionSteps = 20;
// The vertex pairs of the page roll's and the page fold's strips.
constexpr int kStripPairs = 17;

// step / count, 0 without a running transition (count 0).
double TransitionProgress(int step, int count);

// Zoom: the new picture's centred square has corners (±h, ±h).
inline double ZoomHalfSize(double p) { return p; }
// Diamond: the half-diagonal of the opening the new picture shows through.
inline double DiamondHalfDiagonal(double p) { return 1.5 * p; }
// Cross-fade over black: what the old and the new picture contribute.
struct FadeWeights {
  double current;
  double next;
};
inline FadeWeights CrossFadeWeights(double p) { return {1.0 - p, p * p}; }

// Page roll: the cut's x, and one vertex pair of the cylinder (the bottom
// vertex; the top one has y = 1 and texture t = 1).
inline double RollCut(double p) { return 2.0 * p - 1.0; }
struct RollVertex {
  double s;      // texture s (t is 0 below, 1 above)
  double x, z;   // y is -1 below, 1 above
  Vec3 normal;
};
RollVertex RollStripVertex(double p, int i);

// Page fold: the pair i of the flap (P1 on the top edge side, P2 on the
// left edge side).
struct FoldPair {
  Vec3 p1, p2;
};
FoldPair FoldStripPair(double p, int i);

// n = v x u divided by its length: 1, or 0 with n left unnormalised when
// the length is 0.
int UnitCrossProduct(const Vec3& u, const Vec3& v, Vec3& n);
// The normal of the plane through a, b and c: UnitCrossProduct(a - c, b - c).
int PlaneNormal(const Vec3& a, const Vec3& b, const Vec3& c, Vec3& n);

} // namespace slideshow
