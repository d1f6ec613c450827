// Vectors given in the Cartesian frame of one orientation of a cell, turned
// into the frame of another orientation of the same cell: the forces a
// program prints along its own axes, written beside positions built from the
// cell's standard orientation (a along x, b in the xy plane).
#pragma once

namespace quorvel {

class CFrameTurn {
 public:
  // from and to: rows a, b, c of the same cell in the two orientations, in
  // one length unit. The turn is inverse(from) * to, so that a position
  // r = f * from becomes f * to. False, leaving the turn as it was (at first
  // none), when from cannot be inverted. Two orientations that agree
  // within 1e-12 of the cell's size are one, and so is a from in the
  // standard orientation: vectors are then left as they are, so that a
  // printed -0 stays -0 and a value keeps its last digit.
  bool Set(const double from[3][3], const double to[3][3]);
  // The row vector v times the turn.
  void Apply(double v[3]) const;

 private:
  bool bSame_ = true;
  double m_[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
};

}  // namespace quorvel
