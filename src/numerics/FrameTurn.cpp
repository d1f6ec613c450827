#include "numerics/FrameTurn.h"

#include <algorithm>
#include <cmath>

#include "numerics/CellInverse.h"

namespace quorvel {

bool CFrameTurn::Set(const double from[3][3], const double to[3][3]) {
  CCellInverse inverse;
  if (inverse.Set(from) != 0) return false;
  double size = 0, difference = 0;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      size = std::max(size, std::fabs(to[i][j]));
      difference = std::max(difference, std::fabs(from[i][j] - to[i][j]));
    }
  // A cell printed in the standard orientation (a along x, b in the xy
  // plane) is in the frame already, whatever its last digits: the
  // orientation is the cell's one such, and a turn by a near identity would
  // only move the last digits and print a force of -0.0 as 0.0.
  const double zero = 1e-12 * size;
  const bool bStandard = std::fabs(from[0][1]) <= zero && std::fabs(from[0][2]) <= zero &&
                         std::fabs(from[1][2]) <= zero && from[0][0] > 0 && from[1][1] > 0 && from[2][2] > 0;
  bSame_ = bStandard || difference <= zero;
  // Row i of the turn is the unit vector e_i of the old frame, made
  // fractional in the old cell and rebuilt in the new one.
  for (int i = 0; i < 3; ++i) {
    double f[3];
    inverse.ToFractional(i == 0, i == 1, i == 2, f[0], f[1], f[2]);
    for (int j = 0; j < 3; ++j) m_[i][j] = f[0] * to[0][j] + f[1] * to[1][j] + f[2] * to[2][j];
  }
  return true;
}

void CFrameTurn::Apply(double v[3]) const {
  if (bSame_) return;
  const double x = v[0], y = v[1], z = v[2];
  for (int j = 0; j < 3; ++j) v[j] = x * m_[0][j] + y * m_[1][j] + z * m_[2][j];
}

}  // namespace quorvel
