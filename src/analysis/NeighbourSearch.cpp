#include "analysis/NeighbourSearch.h"

#include <algorithm>
#include <cstdio>

#include "app/TextUtil.h"
#include "numerics/Constants.h"

namespace quorvel {

void FoldPosition(const CAtomSite& site, double folded[3]) {
  folded[0] = FoldToUnitCell(site.x);
  folded[1] = FoldToUnitCell(site.y);
  folded[2] = FoldToUnitCell(site.z);
}

int CNeighbourSearch::Prepare(const CCrystal& crystal, double rmax, const char* caller) {
  crystal_ = &crystal;
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
    // n = 1 - trunc(-0.1 * rmax / L / s): rmax in Å, L in nm.
    double t = std::trunc(-0.1 * rmax / lengths[i] / s);
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
  return 1;
}

const CAtomSite* CNeighbourSearch::Centre(int ia) const {
  if (ia < 0 || ia >= static_cast<int>(crystal_->AtomAsymSites.size())) {
    std::printf("Error: pAtom0 is null for ia=%d.\n", ia);
    return nullptr;
  }
  return &crystal_->AtomAsymSites[ia];
}

}  // namespace quorvel
