// Region algebra: combinations in bands, rounded rectangles, frames, and
// coordinates at the limits.

#include "platform/core/Region.h"

#include <gtest/gtest.h>

#include <climits>

using platform::core::Region;
using Op = Region::Op;

namespace {

// The region's rows as text: '#' inside, '.' outside, over [0, w) x [0, h).
std::vector<std::string> Picture(const Region& r, int w, int h) {
  std::vector<std::string> rows;
  for (int y = 0; y < h; ++y) {
    std::string row;
    for (int x = 0; x < w; ++x) row += r.Contains(POINT{x, y}) ? '#' : '.';
    rows.push_back(row);
  }
  return rows;
}

} // namespace

TEST(Region, CombinationsKeepBandsAndCoalesce) {
  const Region a(RECT{0, 0, 4, 4}), b(RECT{2, 2, 6, 6});
  struct Case {
    Op op;
    std::vector<std::string> picture;
  } cases[] = {
      {Op::And, {"......", "......", "..##..", "..##..", "......", "......"}},
      {Op::Or, {"####..", "####..", "######", "######", "..####", "..####"}},
      {Op::Xor, {"####..", "####..", "##..##", "##..##", "..####", "..####"}},
      {Op::Diff, {"####..", "####..", "##....", "##....", "......", "......"}},
  };
  for (const Case& c : cases) {
    const Region r = Region::Combine(a, b, c.op);
    EXPECT_EQ(Picture(r, 6, 6), c.picture);
    // Bands never overlap and are sorted.
    for (std::size_t i = 1; i < r.Rects().size(); ++i) {
      const RECT& p = r.Rects()[i - 1];
      const RECT& q = r.Rects()[i];
      EXPECT_TRUE(q.top > p.top || (q.top == p.top && q.left >= p.right));
    }
  }
  EXPECT_EQ(Region::Combine(a, b, Op::Or).Rects().size(), 3u);
  EXPECT_EQ(Region::Combine(a, b, Op::And).Bounds(), (RECT{2, 2, 4, 4}));
  // Touching rectangles with the same spans are one.
  const Region stacked = Region::Combine(Region(RECT{0, 0, 5, 2}), Region(RECT{0, 2, 5, 7}), Op::Or);
  ASSERT_EQ(stacked.Rects().size(), 1u);
  EXPECT_EQ(stacked.Rects()[0], (RECT{0, 0, 5, 7}));
  EXPECT_EQ(stacked, Region(RECT{0, 0, 5, 7}));
  // Empty and inverted rectangles are empty regions.
  EXPECT_TRUE(Region(RECT{5, 5, 5, 9}).Empty());
  EXPECT_TRUE(Region(RECT{9, 9, 1, 1}).Empty());
  EXPECT_TRUE(Region::Combine(a, a, Op::Xor).Empty());
}

TEST(Region, RoundedRectanglesCutTheirCornersAndLeaveOutTheLastColumnAndRow) {
  const Region round = Region::RoundRect(RECT{0, 0, 9, 7}, 4, 4);
  EXPECT_EQ(Picture(round, 9, 7), (std::vector<std::string>{".######..", "########.", "########.", "########.",
                                                            "########.", ".######..", "........."}));
  // Larger ellipses cut more; sizes beyond the rectangle are clamped.
  EXPECT_EQ(Picture(Region::RoundRect(RECT{0, 0, 11, 11}, 10, 10), 10, 10)[0], "...####...");
  EXPECT_FALSE(Region::RoundRect(RECT{0, 0, 4, 4}, 100, 100).Empty());
  EXPECT_TRUE(Region::RoundRect(RECT{0, 0, 1, 1}, 4, 4).Empty());
}

TEST(Region, FramesAreTheEdgePixels) {
  EXPECT_EQ(Picture(Region(RECT{1, 1, 6, 5}).Frame(1, 1), 7, 6),
            (std::vector<std::string>{".......", ".#####.", ".#...#.", ".#...#.", ".#####.", "......."}));
  EXPECT_EQ(Picture(Region::RoundRect(RECT{0, 0, 9, 7}, 4, 4).Frame(1, 1), 8, 6),
            (std::vector<std::string>{".######.", "#......#", "#......#", "#......#", "#......#", ".######."}));
  // Wider frames: two pixels across, one down.
  EXPECT_EQ(Picture(Region(RECT{0, 0, 6, 4}).Frame(2, 1), 6, 4),
            (std::vector<std::string>{"######", "##..##", "##..##", "######"}));
  EXPECT_TRUE(Region().Frame(1, 1).Empty());
}

TEST(Region, CoordinatesAtTheLimitsStayInRange) {
  Region r(RECT{INT_MIN, INT_MIN, INT_MAX, INT_MAX});
  EXPECT_TRUE(r.Contains(POINT{0, 0}));
  r.Offset(INT_MAX, INT_MAX);
  EXPECT_LE(r.Bounds().left, r.Bounds().right);
  Region e = Region::Everything();
  e.Offset(INT_MIN, 5); // squashed against the limit: nothing is left
  EXPECT_TRUE(e.Empty());
  EXPECT_TRUE(Region::Combine(Region::Everything(), Region(RECT{-10, -10, 10, 10}), Op::Diff).Contains(POINT{10, 0}));
  EXPECT_TRUE(Region(RECT{0, 0, 10, 10}).Intersects(RECT{9, 9, 20, 20}));
  EXPECT_FALSE(Region(RECT{0, 0, 10, 10}).Intersects(RECT{10, 0, 20, 10}));
}
