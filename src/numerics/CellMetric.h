// Tests on the metric tensor G of a cell (G[i][j] = a_i . a_j in nm2): whether
// it has a volume, and how far a short vector can reach in fractional units.
#pragma once

namespace quorvel {

// Whether G is positive definite: its three leading minors are positive and
// its determinant is finite. Three angles that cannot close a cell (such as
// 20, 0.85 and 0.59 degrees) give a metric that is not.
bool IsPositiveDefinite(const double G[3][3]);

// The lengths of the reciprocal vectors, sqrt((G^-1)[i][i]): a vector of
// length r has a fractional component along axis i of at most r * lengths[i].
// False when G is not positive definite, or so badly conditioned (trace G
// times trace G^-1 of 1e8 or more) that distances computed with it may round
// by more than a small fraction of themselves, which leaves no such bound.
bool ReciprocalLengths(const double G[3][3], double lengths[3]);

// The determinant of a 3 x 3 matrix, by its first row.
double Determinant(const double m[3][3]);

// The volume of the cell whose rows are the vectors a, b, c: |a . (b x c)|.
double CellVolume(const double vectors[3][3]);

}  // namespace quorvel
