// The crystal's lattice: parameters, vectors, metric, volume and density, and
// the conversion between fractional and Cartesian positions.
#include <algorithm>
#include <cmath>

#include "crystal/Crystal.h"
#include "numerics/Constants.h"

namespace quorvel {

namespace {

// Avogadro's number as the density has always been computed with.
constexpr double kAvogadro = 6.02204e23;
// nm3 to cm3.
constexpr double kNm3ToCm3 = 1e-21;

}  // namespace

void CCrystal::SetLatticeParameters(double a_, double b_, double c_, double alpha_, double beta_, double gamma_) {
  a = a_;
  b = b_;
  c = c_;
  alpha = alpha_;
  beta = beta_;
  gamma = gamma_;
}

// Standard orientation: a along x, b in the x-y plane, c with a non-negative
// z component.
int CCrystal::CalculateLatticeVectors() {
  double ca = std::cos(alpha * kDegToRad);
  double cb = std::cos(beta * kDegToRad);
  double cg = std::cos(gamma * kDegToRad);
  double sg = std::sin(gamma * kDegToRad);
  double t = (ca - cb * cg) / sg;
  // u = sin(beta) * sqrt(1 - (t/sin(beta))^2), written without the division
  // so that beta of 0 or 180 degrees does not divide by zero; angles that
  // cannot close a cell make the radicand negative, and the third vector then
  // lies flat (u = 0).
  double u2 = 1.0 - cb * cb - t * t;
  double u = u2 > 0 ? std::sqrt(u2) : 0.0;
  SetLatticeVectors(a, 0, 0, b * cg, b * sg, 0, c * cb, c * t, c * u);

  const double p[3] = {a, b, c};
  for (int i = 0; i < 3; ++i) MetricTensor[i][i] = p[i] * p[i];
  MetricTensor[0][1] = MetricTensor[1][0] = a * b * cg;
  MetricTensor[0][2] = MetricTensor[2][0] = a * c * cb;
  MetricTensor[1][2] = MetricTensor[2][1] = b * c * ca;

  Volume = a * b * c * std::sqrt(1.0 - ca * ca - cb * cb - cg * cg + 2.0 * ca * cb * cg);
  return 1;
}

void CCrystal::SetLatticeVectors(double ax, double ay, double az, double bx, double by, double bz, double cx,
                                 double cy, double cz) {
  const double v[3][3] = {{ax, ay, az}, {bx, by, bz}, {cx, cy, cz}};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) LatticeVector[i][j] = v[i][j];
  cellInverse_.Set(v);
}

int CCrystal::CalculateLatticeParameters() {
  double len[3];
  for (int i = 0; i < 3; ++i) {
    const CMyVector& v = LatticeVector[i];
    len[i] = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
  }
  auto angle = [this, &len](int i, int j) {
    const CMyVector& u = LatticeVector[i];
    const CMyVector& v = LatticeVector[j];
    double cosine = (u[0] * v[0] + u[1] * v[1] + u[2] * v[2]) / (len[i] * len[j]);
    // Rounding can push the cosine of parallel vectors just past 1.
    cosine = std::max(-1.0, std::min(1.0, cosine));
    return std::acos(cosine) * kRadToDeg;
  };
  a = len[0];
  b = len[1];
  c = len[2];
  alpha = angle(1, 2);
  beta = angle(0, 2);
  gamma = angle(0, 1);
  return 1;
}

// Every site counts with its own occupancy; a site without a type adds nothing.
double CCrystal::CalculateDensity() {
  double mass = 0;
  for (int k = 0; k < nAtomSites; ++k) {
    const CAtomType* type = TypeOf(AtomSites[k]);
    if (type) mass += type->AtomicWeight * AtomSites[k].Occupancy;
  }
  Density = mass / kAvogadro / (Volume * kNm3ToCm3);
  return Density;
}

int CCrystal::CartesianToFractional(double x, double y, double z, double& fx, double& fy, double& fz) const {
  if (!cellInverse_.IsValid()) {
    ReportSingularCell(cellInverse_.Status());
    return 0;
  }
  cellInverse_.ToFractional(x, y, z, fx, fy, fz);
  return 1;
}

void CCrystal::FractionalToCartesian(double x, double y, double z, double& cx, double& cy, double& cz) const {
  const CMyVector* v = LatticeVector;
  cx = x * v[0][0] + y * v[1][0] + z * v[2][0];
  cy = x * v[0][1] + y * v[1][1] + z * v[2][1];
  cz = x * v[0][2] + y * v[1][2] + z * v[2][2];
}

CFrameTurn CCrystal::TurnFrom(const double printed[3][3]) const {
  double vectors[3][3];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) vectors[i][j] = LatticeVector[i][j];
  CFrameTurn turn;
  turn.Set(printed, vectors);
  return turn;
}

}  // namespace quorvel
