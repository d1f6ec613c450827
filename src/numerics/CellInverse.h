// Cartesian to fractional coordinates: the inverse of a cell whose rows are
// its vectors a, b, c, computed once where the cell is set.
#pragma once

namespace quorvel {

class CCellInverse {
 public:
  // Inverts the cell (Gauss-Jordan, pivots below 1e-6 count as singular).
  // Returns the inversion's code: 0 on success, else the inverse is zero.
  int Set(const double vectors[3][3]);
  bool IsValid() const { return status_ == 0; }
  int Status() const { return status_; }
  // The row vector (x, y, z) times the inverse.
  void ToFractional(double x, double y, double z, double& fx, double& fy, double& fz) const {
    fx = m_[0] * x + m_[3] * y + m_[6] * z;
    fy = m_[1] * x + m_[4] * y + m_[7] * z;
    fz = m_[2] * x + m_[5] * y + m_[8] * z;
  }

 private:
  double m_[9] = {0, 0, 0, 0, 0, 0, 0, 0, 0};
  int status_ = 999;  // not set yet
};

// "Error in CCrystal::CartesianToFractional: return of minver is <status>":
// a position could not be made fractional because the cell is singular.
void ReportSingularCell(int status);

}  // namespace quorvel
