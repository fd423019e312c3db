// Ambient occlusion by ball: a lone ball is open, a buried one closed, bad input harms nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/chemistry/occlusion.h"

TEST(Occlusion, OpennessFallsAsNeighboursCloseIn)
{
  const vl::fvec3 o(0, 0, 0);
  // A centre ball in a cube of 26 neighbours d apart (radius 0.5 each).
  auto cluster = [&](float d) {
    std::vector<vl::fvec3> c = {o};
    for (int x = -1; x <= 1; ++x)
      for (int y = -1; y <= 1; ++y)
        for (int z = -1; z <= 1; ++z)
          if (x || y || z)
            c.emplace_back(d * static_cast<float>(x), d * static_cast<float>(y), d * static_cast<float>(z));
    return BallOpenness(c, std::vector<float>(c.size(), 0.5f))[0];
  };
  struct Case {
    float distance, atLeast, atMost;
  };
  // Far apart: fully open; a crowd at 1.2 A: mostly closed; further out, in between.
  for (const Case& c : {Case{10.0f, 1.0f, 1.0f}, Case{1.2f, 0.0f, 0.5f}, Case{2.5f, 0.5f, 0.99f}})
    EXPECT_TRUE(cluster(c.distance) >= c.atLeast && cluster(c.distance) <= c.atMost)
        << c.distance << " " << cluster(c.distance);
  EXPECT_GT(cluster(2.5f), cluster(1.2f));
  EXPECT_EQ(BallOpenness({o}, {0.5f}), std::vector<float>{1.0f});
  // Not-a-number centres and radii are skipped, not spread to the others.
  const std::vector<float> bad = BallOpenness({o, {NAN, 0, 0}, {20, 0, 0}}, {0.5f, 0.5f, NAN});
  EXPECT_EQ(bad.size(), 3u);
  EXPECT_FLOAT_EQ(bad[0], 1.0f);
}
