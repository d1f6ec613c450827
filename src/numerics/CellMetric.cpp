#include "numerics/CellMetric.h"

#include <cmath>

namespace quorvel {

namespace {

constexpr double kMaxCondition = 1e8;

double LeadingMinor2(const double G[3][3]) { return G[0][0] * G[1][1] - G[0][1] * G[1][0]; }

double Determinant(const double G[3][3]) {
  return G[0][0] * (G[1][1] * G[2][2] - G[1][2] * G[2][1]) - G[0][1] * (G[1][0] * G[2][2] - G[1][2] * G[2][0]) +
         G[0][2] * (G[1][0] * G[2][1] - G[1][1] * G[2][0]);
}

}  // namespace

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

double CellVolume(const double vectors[3][3]) {
  const double* a = vectors[0];
  const double* b = vectors[1];
  const double* c = vectors[2];
  return std::fabs(a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) +
                   a[2] * (b[0] * c[1] - b[1] * c[0]));
}

}  // namespace quorvel
