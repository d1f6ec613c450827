#include "numerics/CellMetric.h"

#include <cmath>

namespace quorvel {

namespace {

constexpr double kMaxCondition = 1e8;

double LeadingMinor2(const double G[3][3]) { return G[0][0] * G[1][1] - G[0][1] * G[1][0]; }

}  // namespace

double Determinant(const double m[3][3]) {
  return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
         m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

bool IsPositiveDefinite(const double G[3][3]) {
  const double det = Determinant(G);
  return G[0][0] > 0 && LeadingMinor2(G) > 0 && det > 0 && std::isfinite(det);
}

bool ReciprocalLengths(const double G[3][3], double lengths[3]) {
  if (!IsPositiveDefinite(G)) return false;
  const double det = Determinant(G);
  // The diagonal of the inverse metric: the squared lengths of the
  // reciprocal vectors.
  const double inv[3] = {(G[1][1] * G[2][2] - G[1][2] * G[2][1]) / det,
                         (G[0][0] * G[2][2] - G[0][2] * G[2][0]) / det, LeadingMinor2(G) / det};
  const double trace = G[0][0] + G[1][1] + G[2][2];
  if (!(inv[0] > 0 && inv[1] > 0 && inv[2] > 0) || !(trace * (inv[0] + inv[1] + inv[2]) < kMaxCondition))
    return false;
  for (int i = 0; i < 3; ++i) lengths[i] = std::sqrt(inv[i]);
  return true;
}

double CellVolume(const double vectors[3][3]) { return std::fabs(Determinant(vectors)); }

}  // namespace quorvel
