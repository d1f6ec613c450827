#include "analysis/NeighbourSearch.h"

#include <algorithm>
#include <cstdio>

#include "numerics/CellMetric.h"
#include "numerics/Constants.h"
#include "text/TextUtil.h"

namespace quorvel {

void FoldPosition(const CAtomSite& site, double folded[3]) {
  folded[0] = FoldToUnitCell(site.x);
  folded[1] = FoldToUnitCell(site.y);
  folded[2] = FoldToUnitCell(site.z);
}

int CNeighbourSearch::Prepare(const CCrystal& crystal, double rmax, const char* caller) {
  crystal_ = &crystal;
  rmax_ = rmax;
  bCellList_ = false;
  n_[0] = n_[1] = n_[2] = 0;
  nSites_ = 0;
  folded_.clear();

  // The smallest |sin| of the three angles widens the range for oblique
  // cells, where a neighbour within rmax can lie more than rmax / L cells
  // away along an axis.
  double s = std::min(std::fabs(std::sin(crystal.alpha * kDegToRad)),
                      std::min(std::fabs(std::sin(crystal.beta * kDegToRad)),
                               std::fabs(std::sin(crystal.gamma * kDegToRad))));
  const double lengths[3] = {crystal.a, crystal.b, crystal.c};
  double translations = 1.0;
  for (int i = 0; i < 3; ++i) {
    // n = 1 - trunc(-rmax / L / s), rmax taken from Å to the nm of L.
    double t = std::trunc(-kNmPerAngstrom * rmax / lengths[i] / s);
    // A zero length or a flat cell gives no finite range; a range beyond the
    // limit could not be searched in any reasonable time. Both are refused
    // before the range is converted to an integer.
    if (!std::isfinite(t) || std::fabs(t) > kMaxTranslations) {
      std::printf("Error in %s: MaximumDistance [%lg] A gives no searchable lattice range for the cell "
                  "%lg %lg %lg  %lg %lg %lg.\n",
                  caller, rmax, crystal.a, crystal.b, crystal.c, crystal.alpha, crystal.beta, crystal.gamma);
      return 0;
    }
    n_[i] = 1 - static_cast<int>(t);
    // A negative cut-off gives a negative range: nothing is searched.
    translations *= std::max(0, 2 * n_[i] + 1);
  }

  // Three angles that cannot close a cell (such as 20, 0.85 and 0.59 degrees
  // from a corrupted trajectory record) leave the metric without a volume:
  // some squared distances come out negative, and the sines of the angles
  // can ask for a million cell images. Such a cell is refused; the leading
  // minors of the metric tell it.
  if (!IsPositiveDefinite(crystal.MetricTensor)) {
    std::printf("Error in %s: the cell %lg %lg %lg  %lg %lg %lg has no volume; no distances are searched.\n", caller,
                crystal.a, crystal.b, crystal.c, crystal.alpha, crystal.beta, crystal.gamma);
    n_[0] = n_[1] = n_[2] = 0;
    return 0;
  }

  int nCentres = std::max(0, std::min(crystal.nAtomAsymSites, static_cast<int>(crystal.AtomAsymSites.size())));
  nSites_ = std::max(0, std::min(crystal.nAtomSites, static_cast<int>(crystal.AtomSites.size())));
  double evaluations = translations * nCentres * nSites_;
  if (translations > kMaxTranslations || evaluations > kMaxEvaluations) {
    if (translations > kMaxTranslations)
      std::printf("Error in %s: MaximumDistance [%lg] A is too large for this cell: %.0f images of the cell "
                  "to search, at most %.0f.\n",
                  caller, rmax, translations, kMaxTranslations);
    else
      std::printf("Error in %s: MaximumDistance [%lg] A is too large for this cell: %.0f distances to search, "
                  "at most %.0f.\n",
                  caller, rmax, evaluations, kMaxEvaluations);
    n_[0] = n_[1] = n_[2] = 0;
    nSites_ = 0;
    return 0;
  }

  // Every image of a site starts from the site folded into the cell.
  folded_.resize(3 * static_cast<size_t>(nSites_));
  for (int j = 0; j < nSites_; ++j) FoldPosition(crystal.AtomSites[j], &folded_[3 * static_cast<size_t>(j)]);
  rmax_ = rmax;
  BuildCellList();
  return 1;
}

namespace {

// Bins per axis at most, and bins in all at most this many per site (plus a
// few), so that the list stays small for sparse cells.
constexpr int kMaxBinsPerAxis = 1024;
constexpr double kMaxBinsPerSite = 2.0;
// Bins are at least half the reach wide, so a centre's box spans at most
// five bins along each axis.
constexpr double kBinsPerReach = 2.0;
// Extra room, relative and absolute (fractional units), around the box that
// holds every position within the cut-off. The relative part covers the
// rounding of the distances by orders of magnitude for the cells the list
// accepts; the absolute part covers folded positions a hair below 0
// (FoldToUnitCell gives values down to about -1e-10), which are counted in
// the first bin, and the rounding of bin indices at bin boundaries.
constexpr double kReachFactor = 1.01;
constexpr double kReachMargin = 1e-9;

}  // namespace

// The box around a centre that can hold images within the cut-off is
// bounded through the reciprocal lengths of the cell. A cell without them
// (its metric not positive definite, or badly conditioned) is searched
// literally by ForEachNeighbour.
void CNeighbourSearch::BuildCellList() {
  bCellList_ = false;
  binStart_.clear();
  binSites_.clear();
  hits_.clear();
  if (nSites_ <= 0 || !(rmax_ >= 0) || !std::isfinite(rmax_)) return;
  double perLength[3];
  if (!ReciprocalLengths(crystal_->MetricTensor, perLength)) return;
  const double r = kNmPerAngstrom * rmax_;
  double reach[3];
  for (int i = 0; i < 3; ++i) {
    reach[i] = kReachFactor * r * perLength[i] + kReachMargin;
    if (!std::isfinite(reach[i])) return;
  }
  bins_.Cut(reach, kBinsPerReach, kMaxBinsPerAxis);
  bins_.Coarsen(kMaxBinsPerSite * nSites_ + 64);

  // Counting sort of the sites by bin. A site whose position is not finite
  // is at no finite distance from anything and is left out.
  constexpr size_t kNoBin = static_cast<size_t>(-1);
  std::vector<size_t> binOf(static_cast<size_t>(nSites_), kNoBin);
  binStart_.assign(bins_.Count() + 1, 0);
  for (int j = 0; j < nSites_; ++j) {
    const double* p = Folded(j);
    if (!(std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]))) continue;
    binOf[static_cast<size_t>(j)] = bins_.IndexOf(p[0], p[1], p[2]);
    ++binStart_[binOf[static_cast<size_t>(j)] + 1];
  }
  for (size_t k = 1; k < binStart_.size(); ++k) binStart_[k] += binStart_[k - 1];
  binSites_.resize(static_cast<size_t>(binStart_.back()));
  std::vector<int> next(binStart_.begin(), binStart_.end() - 1);
  for (int j = 0; j < nSites_; ++j)
    if (binOf[static_cast<size_t>(j)] != kNoBin) binSites_[static_cast<size_t>(next[binOf[static_cast<size_t>(j)]]++)] = j;
  bCellList_ = true;
}

// The bins of the box around the centre are visited as bins of the extended
// lattice: extended bin e along an axis is bin e mod m of translation
// floor(e / m), and only translations within the lattice range are visited.
// Each candidate gets the literal search's distance; the hits are then put
// into the literal search's order when the caller needs it.
void CNeighbourSearch::CollectNeighbours(const double c[3], bool bOrdered) {
  hits_.clear();
  if (!(std::isfinite(c[0]) && std::isfinite(c[1]) && std::isfinite(c[2]))) return;
  // Per axis, the bins of the box: translation and bin of each.
  for (int i = 0; i < 3; ++i)
    if (!bins_.PeriodicSpan(i, c[i], n_[i], span_[i])) return;
  // A candidate is certainly beyond the cut-off when its squared distance
  // (in nm2) exceeds this; the others get the distance of the literal search.
  const double r = kNmPerAngstrom * rmax_;
  const double limit2 = r * r * (1 + 1e-6);
  const uint64_t nA = 2 * static_cast<uint64_t>(n_[0]) + 1, nB = 2 * static_cast<uint64_t>(n_[1]) + 1;
  for (const CCellBins::Span& sc : span_[2]) {
    const double z0 = sc.l;
    for (const CCellBins::Span& sb : span_[1]) {
      const double y0 = sb.l;
      const uint64_t tCB = (static_cast<uint64_t>(sc.l + n_[2]) * nB + static_cast<uint64_t>(sb.l + n_[1])) * nA;
      for (const CCellBins::Span& sa : span_[0]) {
        const size_t bin = bins_.Index(sa.bin, sb.bin, sc.bin);
        const int kEnd = binStart_[bin + 1];
        if (binStart_[bin] == kEnd) continue;
        const double x0 = sa.l;
        const uint64_t t = tCB + static_cast<uint64_t>(sa.l + n_[0]);
        for (int k = binStart_[bin]; k < kEnd; ++k) {
          const int j = binSites_[static_cast<size_t>(k)];
          const double* p = Folded(j);
          const double x = p[0] + x0, y = p[1] + y0, z = p[2] + z0;
          const double q = crystal_->GetDistance2(c[0], c[1], c[2], x, y, z);
          if (!(q <= limit2)) continue;
          const double d = kAngstromPerNm * std::sqrt(q);
          if (!(d <= rmax_)) continue;
          hits_.push_back(Hit{t * static_cast<uint64_t>(nSites_) + static_cast<uint64_t>(j), {sa.l, sb.l, sc.l}, j, d});
        }
      }
    }
  }
  if (bOrdered) std::sort(hits_.begin(), hits_.end(), [](const Hit& u, const Hit& v) { return u.key < v.key; });
}

const CAtomSite* CNeighbourSearch::Centre(int ia) const {
  if (ia < 0 || ia >= static_cast<int>(crystal_->AtomAsymSites.size())) {
    std::printf("Error: pAtom0 is null for ia=%d.\n", ia);
    return nullptr;
  }
  return &crystal_->AtomAsymSites[ia];
}

}  // namespace quorvel
