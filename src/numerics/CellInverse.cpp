#include "numerics/CellInverse.h"

#include <cstdio>

#include "numerics/MyVector.h"

namespace quorvel {

int CCellInverse::Set(const double vectors[3][3]) {
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) m_[3 * i + j] = vectors[i][j];
  double determinant = 0;
  status_ = minver(m_, 3, 3, 1.0e-6, &determinant);
  if (status_ != 0)
    for (double& e : m_) e = 0;
  return status_;
}

void ReportSingularCell(int status) {
  std::printf("Error in CCrystal::CartesianToFractional: return of minver is %d\n", status);
}

}  // namespace quorvel
