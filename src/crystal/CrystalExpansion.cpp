// The unit cell from the asymmetric unit: every image of every asymmetric
// site under the space group, each position taken once.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "crystal/Crystal.h"
#include "numerics/CellBins.h"
#include "numerics/CellMetric.h"
#include "text/TextUtil.h"

namespace quorvel {

namespace {

bool AllFinite(double x, double y, double z) { return std::isfinite(x) && std::isfinite(y) && std::isfinite(z); }

// Bins per axis of a grid over the unit cell: about as many bins as the cell
// can hold sites (more would only cost memory to set up), at most 40 a side.
int BinsPerAxisFor(int nMaxSites) {
  int bins = 1;
  while ((bins + 1) * (bins + 1) * (bins + 1) <= std::max(nMaxSites, 8) && bins < 40) ++bins;
  return bins;
}

// The one test of "the same site": unit-cell site k has the given type index
// and lies strictly closer than the tolerance (metric distance, no images).
bool IsSameSite(const CCrystal& crystal, int k, int iAtomType, double x, double y, double z) {
  const CAtomSite& s = crystal.AtomSites[k];
  if (s.iAtomType != iAtomType) return false;
  return std::sqrt(crystal.GetDistance2(s.x, s.y, s.z, x, y, z)) < crystal.SameSiteTolerance;
}

// Finds, for the expansion, the same site as the literal scan of
// FindAtomSite, without visiting every site made so far. The sites are
// binned over the cell; every site that can match lies in the bins within
// reach of the query, the reach being twice the largest fractional offset a
// distance below the tolerance allows along each axis. The candidates are
// tested with the same distance test as the scan and the lowest matching
// index is returned, which is the site the scan would find. When the metric
// gives no bound on the offsets, every query falls back to the literal scan.
class CSiteGrid {
 public:
  explicit CSiteGrid(const CCrystal& crystal) : crystal_(crystal) {
    const double tol = crystal.SameSiteTolerance;
    double perLength[3];
    if (!(tol > 0) || !std::isfinite(tol) || !ReciprocalLengths(crystal.MetricTensor, perLength)) return;
    // A query looks at the bins within twice the bound of its position,
    // usually one, two where it lies near a bin's edge; bins four times the
    // bound wide (half the reach) keep that range within the neighbouring
    // bins. Both leave ample room for rounding.
    double reach[3];
    for (int i = 0; i < 3; ++i) reach[i] = 2.0 * tol * perLength[i];
    bins_.Cut(reach, 0.5, BinsPerAxisFor(crystal.nMaxAtomSites));
    cells_.resize(bins_.Count());
    usable_ = true;
  }

  int Find(int iAtomType, double x, double y, double z) const {
    if (!usable_) return crystal_.FindAtomSite(iAtomType, x, y, z);
    // A position that is not finite is at no finite distance from anything.
    if (!AllFinite(x, y, z)) return -1;
    int first[3], last[3];
    const double p[3] = {x, y, z};
    for (int i = 0; i < 3; ++i) bins_.ClampedSpan(i, p[i], first[i], last[i]);
    int best = -1;
    for (int ic = first[2]; ic <= last[2]; ++ic)
      for (int ib = first[1]; ib <= last[1]; ++ib)
        for (int ia = first[0]; ia <= last[0]; ++ia)
          for (int k : cells_[bins_.Index(ia, ib, ic)]) {
            if (best >= 0 && k >= best) break;  // each bin lists its sites in ascending order
            if (IsSameSite(crystal_, k, iAtomType, x, y, z)) best = k;
          }
    return best;
  }

  void Add(int k) {
    if (!usable_) return;
    const CAtomSite& s = crystal_.AtomSites[k];
    if (!AllFinite(s.x, s.y, s.z)) return;  // can never match
    cells_[bins_.IndexOf(s.x, s.y, s.z)].push_back(k);
  }

 private:
  const CCrystal& crystal_;
  bool usable_ = false;
  CCellBins bins_;
  std::vector<std::vector<int>> cells_;
};

// Operations, centring translations and inversion, outermost first, with the
// asymmetric sites innermost, calling visit(s, site, x, y, z) for every image
// in that order. Operations that carry only their text (it could not be read
// as an operation) are skipped: they were reported when they were stored.
template <typename Visit>
void ForEachImage(const CCrystal& crystal, Visit visit) {
  const CSpaceGroup& group = crystal.SpaceGroup;
  int nOperations = std::min(std::max(group.nOperations, 0), static_cast<int>(CSpaceGroup::kMaxOperations));
  int nCentring = std::min(std::max(group.nCentring, 0), static_cast<int>(CSpaceGroup::kMaxCentring));
  int nInversion = group.bInversion > 0 ? 1 : 0;
  for (int i = 0; i < nOperations; ++i) {
    if (!group.HasNumericForm(i)) continue;
    for (int j = 0; j < nCentring; ++j) {
      if (group.Centring[j].Size() != 3) continue;
      for (int k = 0; k <= nInversion; ++k) {
        for (int s = 0; s < crystal.nAtomAsymSites; ++s) {
          const CAtomSite& site = crystal.AtomAsymSites[s];
          double x, y, z;
          group.ApplyOperation(i, j, k, site.x, site.y, site.z, x, y, z);
          visit(s, site, x, y, z);
        }
      }
    }
  }
}

// The unit-cell sites binned over the cell, so that the sites within the
// fractional tolerance of a position are found in the bins within that
// reach of it, across the cell's edges too (the images are folded into the
// cell).
class CFractionalGrid {
 public:
  CFractionalGrid(const CCrystal& crystal, double tolerance) : crystal_(crystal), tolerance_(tolerance) {
    const double reach[3] = {tolerance, tolerance, tolerance};
    bins_.Cut(reach, 1.0, BinsPerAxisFor(crystal.nMaxAtomSites));
    cells_.resize(bins_.Count());
  }

  bool Contains(int iAtomType, double x, double y, double z) {
    const double p[3] = {x, y, z};
    for (int i = 0; i < 3; ++i)
      if (!bins_.PeriodicSpan(i, p[i], 1, span_[i])) return false;  // not a number
    for (const CCellBins::Span& c : span_[2])
      for (const CCellBins::Span& b : span_[1])
        for (const CCellBins::Span& a : span_[0])
          for (int k : cells_[bins_.Index(a.bin, b.bin, c.bin)]) {
            const CAtomSite& s = crystal_.AtomSites[k];
            if (s.iAtomType == iAtomType && NearModuloOne(s.x, x, tolerance_) && NearModuloOne(s.y, y, tolerance_) &&
                NearModuloOne(s.z, z, tolerance_))
              return true;
          }
    return false;
  }

  void Add(int k) {
    const CAtomSite& s = crystal_.AtomSites[k];
    cells_[bins_.IndexOf(s.x, s.y, s.z)].push_back(k);
  }

 private:
  const CCrystal& crystal_;
  const double tolerance_;
  CCellBins bins_;
  std::vector<std::vector<int>> cells_;
  std::vector<CCellBins::Span> span_[3];  // the bins within reach along each axis
};

}  // namespace

// The first image of a position wins.
int CCrystal::ExpandAsymSites() {
  nAtomSites = 0;
  CSiteGrid grid(*this);
  ForEachImage(*this, [&](int s, const CAtomSite& site, double x, double y, double z) {
    if (grid.Find(site.iAtomType, x, y, z) >= 0) return;
    int before = nAtomSites;
    AddAtomSite(site.Label, site.iAtomType, s, site.Occupancy, x, y, z, 0, 0, 0);
    if (nAtomSites > before) grid.Add(before);
  });
  ReportRefusedSites();
  CalculateDensity();
  return nAtomSites;
}

int CCrystal::ExpandAsymSitesWithin(double tolerance) {
  nAtomSites = 0;
  CFractionalGrid grid(*this, tolerance);
  long long nLeftOut = 0;
  ForEachImage(*this, [&](int s, const CAtomSite& site, double x, double y, double z) {
    if (grid.Contains(site.iAtomType, x, y, z)) return;
    if (nAtomSites >= nMaxAtomSites) {
      ++nLeftOut;
      return;
    }
    AddAtomSite(site.Label, site.iAtomType, s, site.Occupancy, x, y, z, 0, 0, 0);
    grid.Add(nAtomSites - 1);
  });
  ReportRefusedSites();
  if (nLeftOut > 0)
    std::printf("The unit cell holds at most %d sites: %lld further images are left out.\n", nMaxAtomSites,
                nLeftOut);
  CalculateDensity();
  return nAtomSites;
}

int CCrystal::FindAtomSite(int iAtomType, double x, double y, double z) const {
  for (int k = 0; k < nAtomSites; ++k)
    if (IsSameSite(*this, k, iAtomType, x, y, z)) return k;
  return -1;
}

}  // namespace quorvel
