// Cell arithmetic against independent formulas: the volume is the determinant
// of the lattice vectors, and folding moves a coordinate by whole cells only.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>

#include "text/TextUtil.h"
#include "crystal/Crystal.h"

namespace quorvel {
namespace {

TEST(CellGeometry, VolumeIsTheDeterminantOfTheLatticeVectors) {
  auto crystal = std::make_unique<CCrystal>();
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> length(0.2, 3.0), angle(55.0, 125.0);
  for (int k = 0; k < 300; ++k) {
    crystal->SetLatticeParameters(length(rng), length(rng), length(rng), angle(rng), angle(rng), angle(rng));
    crystal->CalculateLatticeVectors();
    const CMyVector* v = crystal->LatticeVector;
    double det = v[0][0] * (v[1][1] * v[2][2] - v[1][2] * v[2][1]) - v[0][1] * (v[1][0] * v[2][2] - v[1][2] * v[2][0]) +
                 v[0][2] * (v[1][0] * v[2][1] - v[1][1] * v[2][0]);
    if (det <= 0) continue;  // angles that cannot close a cell
    EXPECT_NEAR(crystal->Volume, det, 1e-9 * det) << "cell " << k;
  }
}

TEST(CellGeometry, FoldingMovesByWholeCellsIntoTheCell) {
  const double values[] = {0.0, 0.25, 1.0, -1.0, 2.75, -0.25, -5e-11, 1.99999999995, -1.00000001005, 3e9, -7.5};
  for (double x : values) {
    double f = FoldToUnitCell(x);
    EXPECT_GE(f, -1e-10) << x;
    EXPECT_LT(f, 1.0) << x;
    EXPECT_NEAR(std::remainder(x - f, 1.0), 0.0, 1e-6) << x;
  }
}

}  // namespace
}  // namespace quorvel
