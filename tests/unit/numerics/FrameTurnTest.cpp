#include "numerics/FrameTurn.h"

#include <gtest/gtest.h>

#include <cmath>

namespace quorvel {
namespace {

double Dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// The primitive fcc cell as programs print it (a = 5.43 A) and the same cell
// with a along x and b in the xy plane: 3.8396 A edges at 60 degrees. A
// vector turned from the first frame into the second keeps its length and its
// components along every cell vector; a frame that cannot be inverted leaves
// the turn as it was.
TEST(FrameTurn, KeepsLengthsAndComponentsAlongTheCellVectors) {
  const double h = 2.715, e = 2.715 * std::sqrt(2.0);
  const double printed[3][3] = {{0, h, h}, {h, 0, h}, {h, h, 0}};
  const double standard[3][3] = {{e, 0, 0}, {e / 2, e * std::sqrt(3.0) / 2, 0}, {e / 2, e / (2 * std::sqrt(3.0)), e * std::sqrt(2.0 / 3.0)}};
  CFrameTurn turn;
  ASSERT_TRUE(turn.Set(printed, standard));
  const double force[3] = {0.3, -1.2, 0.7};
  double turned[3] = {force[0], force[1], force[2]};
  turn.Apply(turned);
  EXPECT_NEAR(Dot(turned, turned), Dot(force, force), 1e-12);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(Dot(turned, standard[i]), Dot(force, printed[i]), 1e-9) << "vector " << i;

  const double flat[3][3] = {{1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
  EXPECT_FALSE(turn.Set(flat, standard));
  double again[3] = {force[0], force[1], force[2]};
  turn.Apply(again);
  for (int j = 0; j < 3; ++j) EXPECT_DOUBLE_EQ(again[j], turned[j]);

  // A cell printed in the orientation it is written in: a force of -0 keeps
  // its sign (a turn by the identity matrix would add +0 and print 0).
  ASSERT_TRUE(turn.Set(standard, standard));
  double zero[3] = {-0.0, 0.0, 1.0};
  turn.Apply(zero);
  EXPECT_TRUE(std::signbit(zero[0]));
}

}  // namespace
}  // namespace quorvel
