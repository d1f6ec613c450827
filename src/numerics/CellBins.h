// A grid of bins over the cell [0,1)^3, for finding the fractional positions
// near a point without testing every position. Each axis is cut into equal
// bins. A position lies in the bin that holds it; one outside the cell, or
// not a number, counts in the nearest bin of the cell along each axis.
//
// The reach is, per axis, the largest fractional offset at which a position
// can still be near a point (a distance bound times the reciprocal length of
// the axis, see ReciprocalLengths): the bins within reach of a point hold
// every position near it.
#pragma once

#include <cmath>
#include <cstddef>
#include <vector>

namespace quorvel {

class CCellBins {
 public:
  // One bin along an axis: bin of the cell translated l times along it.
  struct Span {
    int l;
    int bin;
  };

  // Sets the reach and cuts axis i into floor(binsPerReach / reach[i])
  // bins, at least 1 and at most maxBins.
  void Cut(const double reach[3], double binsPerReach, int maxBins);
  // Fewer, wider bins until there are at most maxTotal in all: the axis with
  // the most bins is halved first.
  void Coarsen(double maxTotal);

  int Bins(int axis) const { return bins_[axis]; }
  size_t Count() const { return static_cast<size_t>(bins_[0]) * bins_[1] * bins_[2]; }

  // The bin along an axis of the coordinate f, clamped to the cell.
  int Bin(int axis, double f) const {
    double v = std::floor(f * bins_[axis]);
    if (!(v > 0)) return 0;
    if (v >= bins_[axis] - 1) return bins_[axis] - 1;
    return static_cast<int>(v);
  }
  // The bin (ia, ib, ic) as one index, ia running fastest.
  size_t Index(int ia, int ib, int ic) const {
    return (static_cast<size_t>(ic) * bins_[1] + static_cast<size_t>(ib)) * bins_[0] + static_cast<size_t>(ia);
  }
  size_t IndexOf(double x, double y, double z) const { return Index(Bin(0, x), Bin(1, y), Bin(2, z)); }

  // The bins first..last along an axis within reach of f, in the cell
  // alone (positions outside it counting in its edge bins).
  void ClampedSpan(int axis, double f, int& first, int& last) const {
    first = Bin(axis, f - reach_[axis]);
    last = Bin(axis, f + reach_[axis]);
  }
  // The bins along an axis within reach of f in the cell and its
  // translations -n..n along that axis, in ascending order of position.
  // False, with span empty, when there is none.
  bool PeriodicSpan(int axis, double f, int n, std::vector<Span>& span) const;

 private:
  int bins_[3] = {1, 1, 1};
  double reach_[3] = {0, 0, 0};
};

}  // namespace quorvel
