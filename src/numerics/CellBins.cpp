#include "numerics/CellBins.h"

#include <algorithm>

namespace quorvel {

namespace {

long long FloorDiv(long long e, long long m) { return e >= 0 ? e / m : -((-e + m - 1) / m); }

}  // namespace

void CCellBins::Cut(const double reach[3], double binsPerReach, int maxBins) {
  for (int i = 0; i < 3; ++i) {
    reach_[i] = reach[i];
    double n = std::floor(binsPerReach / reach[i]);
    bins_[i] = n >= maxBins ? maxBins : (n >= 1 ? static_cast<int>(n) : 1);
  }
}

void CCellBins::Coarsen(double maxTotal) {
  double nBins = static_cast<double>(bins_[0]) * bins_[1] * bins_[2];
  while (nBins > maxTotal) {
    int k = 0;
    for (int i = 1; i < 3; ++i)
      if (bins_[i] > bins_[k]) k = i;
    bins_[k] = std::max(1, bins_[k] / 2);
    nBins = static_cast<double>(bins_[0]) * bins_[1] * bins_[2];
  }
}

// The bins are those of the extended lattice: extended bin e covers
// [e / m, (e + 1) / m) and is bin e mod m of translation floor(e / m).
bool CCellBins::PeriodicSpan(int axis, double f, int n, std::vector<Span>& span) const {
  span.clear();
  const double m = bins_[axis];
  double first = std::floor((f - reach_[axis]) * m);
  double last = std::floor((f + reach_[axis]) * m);
  first = std::max(first, -static_cast<double>(n) * m);
  last = std::min(last, (static_cast<double>(n) + 1) * m - 1);
  if (!(first <= last)) return false;
  for (long long e = static_cast<long long>(first); e <= static_cast<long long>(last); ++e) {
    const long long l = FloorDiv(e, bins_[axis]);
    span.push_back(Span{static_cast<int>(l), static_cast<int>(e - l * bins_[axis])});
  }
  return true;
}

}  // namespace quorvel
