// The transitions' geometry: the progress of the painted frames, each
// effect's first and last frame, and the plane normals of the fold.

#include "output/slideshow/SlideTransitions.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace slideshow;

TEST(SlideTransitions, TheFramesRunFromOneTwentiethToOne) {
  EXPECT_EQ(TransitionProgress(0, kTransitionSteps), 0.0) << "a paint before the first tick";
  EXPECT_DOUBLE_EQ(TransitionProgress(1, kTransitionSteps), 0.05);
  EXPECT_EQ(TransitionProgress(kTransitionSteps, kTransitionSteps), 1.0);
  EXPECT_EQ(TransitionProgress(5, 0), 0.0) << "no transition";
}

TEST(SlideTransitions, EachEffectsFirstAndLastFrame) {
  EXPECT_DOUBLE_EQ(ZoomHalfSize(0.05), 0.05);
  EXPECT_EQ(ZoomHalfSize(1.0), 1.0) << "the new picture fills the window";
  EXPECT_EQ(DiamondHalfDiagonal(1.0), 1.5) << "the corners keep the old picture";
  EXPECT_EQ(CrossFadeWeights(1.0).current, 0.0);
  EXPECT_EQ(CrossFadeWeights(1.0).next, 1.0);
  EXPECT_DOUBLE_EQ(CrossFadeWeights(0.5).current, 0.5);
  EXPECT_DOUBLE_EQ(CrossFadeWeights(0.5).next, 0.25);
  EXPECT_EQ(RollCut(0.0), -1.0);
  EXPECT_EQ(RollCut(1.0), 1.0) << "the roll has left the window";
}

TEST(SlideTransitions, TheRollIsACylinderAroundTheCut) {
  const double p = 0.25;
  const RollVertex first = RollStripVertex(p, 0);
  EXPECT_DOUBLE_EQ(first.s, p) << "it starts where the flat part is cut";
  EXPECT_DOUBLE_EQ(first.x, RollCut(p));
  EXPECT_DOUBLE_EQ(first.z, -1.0);
  const RollVertex half = RollStripVertex(p, kStripPairs / 2);
  EXPECT_NEAR(half.x, RollCut(p), 1e-12);
  EXPECT_NEAR(half.z, -0.7, 1e-12) << "the far side is nearer the viewer by the diameter";
  EXPECT_NEAR(half.normal[2], 1.0, 1e-12);
  const RollVertex last = RollStripVertex(p, kStripPairs - 1);
  EXPECT_NEAR(last.x, first.x, 1e-12) << "a closed turn";
  EXPECT_NEAR(p - last.s, 0.075 * 2 * 3.14159265358979, 1e-12) << "0.471 texture widths";
}

TEST(SlideTransitions, TheFlapRunsFromTheFoldLineToItsTip) {
  for (const double p : {0.05, 0.5, 1.0}) {
    const FoldPair first = FoldStripPair(p, 0);
    EXPECT_DOUBLE_EQ(first.p1[0], 2 * p - 1);
    EXPECT_DOUBLE_EQ(first.p1[1], 1.0);
    EXPECT_DOUBLE_EQ(first.p2[0], -1.0);
    EXPECT_DOUBLE_EQ(first.p2[1], 1 - 2 * p);
    const FoldPair tip = FoldStripPair(p, kStripPairs - 1);
    EXPECT_NEAR(tip.p1[0], tip.p2[0], 1e-12);
    EXPECT_NEAR(tip.p1[1], tip.p2[1], 1e-12);
    EXPECT_NEAR(tip.p1[0], 2 * p - 1, 1e-12);
    EXPECT_NEAR(tip.p1[2], -0.8, 1e-12);
    EXPECT_NEAR(FoldStripPair(p, kStripPairs / 2).p1[2], 0.0, 1e-12) << "the bulge is nearest";
  }
}

TEST(SlideTransitions, PlaneNormals) {
  Vec3 n{};
  EXPECT_EQ(UnitCrossProduct({1, 0, 0}, {0, 1, 0}, n), 1);
  EXPECT_EQ(n, (Vec3{0, 0, -1})) << "v x u";
  EXPECT_EQ(UnitCrossProduct({2, 0, 0}, {0, 0, 3}, n), 1);
  EXPECT_EQ(n, (Vec3{0, 1, 0}));
  EXPECT_EQ(UnitCrossProduct({1, 2, 3}, {2, 4, 6}, n), 0) << "parallel";
  EXPECT_EQ(n, (Vec3{0, 0, 0}));
  EXPECT_EQ(PlaneNormal({1, 0, 5}, {0, 1, 5}, {0, 0, 5}, n), 1);
  EXPECT_EQ(n, (Vec3{0, 0, -1}));
  // The tip of the fold: both points coincide with the previous one there only at p = 0.
  const FoldPair start = FoldStripPair(0.0, 0);
  EXPECT_EQ(PlaneNormal(start.p1, start.p2, {-1, 1, -0.8}, n), 0);
}

} // namespace
