#include "numerics/MyVector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <vector>

namespace quorvel {
namespace {

// The determinant by its definition, the signed sum over all permutations.
double LeibnizDeterminant(const std::vector<double>& a, int l, int n) {
  std::vector<int> p(static_cast<size_t>(n));
  std::iota(p.begin(), p.end(), 0);
  double det = 0;
  do {
    double term = 1;
    for (int i = 0; i < n; ++i) {
      term *= a[static_cast<size_t>(i * l + p[i])];
      for (int j = i + 1; j < n; ++j)
        if (p[j] < p[i]) term = -term;
    }
    det += term;
  } while (std::next_permutation(p.begin(), p.end()));
  return det;
}

// Random matrices of 2 to 6 rows, stored with rows further apart than they
// are wide, some with small or zero leading entries that force row swaps:
// the matrix times its inverse is the identity, the determinant is the
// literal one, and the padding of the rows is left alone.
TEST(Minver, InverseAndDeterminantAgainstTheirDefinitions) {
  std::mt19937 random(5);
  std::uniform_real_distribution<double> uniform(-2, 2);
  for (int trial = 0; trial < 300; ++trial) {
    const int n = 2 + trial % 5, l = n + trial % 3;
    std::vector<double> a(static_cast<size_t>(n * l));
    for (double& v : a) v = uniform(random);
    if (trial % 3 == 0)
      for (int i = 0; i < n - 1; ++i) a[static_cast<size_t>(i * l + i)] = trial % 2 ? 0.0 : 1e-3 * uniform(random);
    std::vector<double> inverse = a;
    double det = 0;
    ASSERT_EQ(minver(inverse.data(), l, n, 1e-12, &det), 0) << trial;
    const double reference = LeibnizDeterminant(a, l, n);
    EXPECT_NEAR(det, reference, 1e-9 * std::max(1.0, std::fabs(reference))) << trial;
    for (int i = 0; i < n; ++i) {
      for (int j = 0; j < n; ++j) {
        double sum = 0;
        for (int k = 0; k < n; ++k) sum += a[static_cast<size_t>(i * l + k)] * inverse[static_cast<size_t>(k * l + j)];
        ASSERT_NEAR(sum, i == j ? 1.0 : 0.0, 1e-8) << trial << " " << i << j;
      }
      for (int j = n; j < l; ++j) ASSERT_EQ(inverse[static_cast<size_t>(i * l + j)], a[static_cast<size_t>(i * l + j)]);
    }
  }
  // Exactly: a row swap negates the determinant; a zero column is singular.
  double swap[4] = {0, 1, 1, 0}, zeroColumn[9] = {1, 0, 2, 3, 0, 4, 5, 0, 6}, det = 0;
  EXPECT_EQ(minver(swap, 2, 2, 1e-6, &det), 0);
  EXPECT_EQ(det, -1.0);
  EXPECT_TRUE(swap[0] == 0 && swap[1] == 1 && swap[2] == 1 && swap[3] == 0);
  EXPECT_EQ(minver(zeroColumn, 3, 3, 1e-6, &det), 1);
}

}  // namespace
}  // namespace quorvel
