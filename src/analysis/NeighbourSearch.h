// The periodic neighbour search shared by the RDF tables and the distance
// listing: the range of cell translations that a cut-off needs, the folding
// of positions into the cell, and the visit of the images of the unit-cell
// sites around one centre.
//
// Two searches give the same images in the same order with the same
// distances. ForEachImage is the literal one: every translation of the
// lattice range and every site, with no cut-off before the distance is known.
// ForEachNeighbour answers the same question through a cell list, so that
// its cost grows with the number of atoms near the centre rather than with
// the size of the cell.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "crystal/Crystal.h"
#include "numerics/CellBins.h"
#include "numerics/Constants.h"

namespace quorvel {

class CNeighbourSearch {
 public:
  // Translations per axis beyond which a search is refused: (2n+1)^3 images
  // of the cell are visited for every centre and every site.
  static constexpr double kMaxTranslations = 1.0e6;
  // Distance evaluations (centres x sites x images) beyond which a search is
  // refused, so that a huge MaximumDistance cannot keep the program busy for
  // hours.
  static constexpr double kMaxEvaluations = 2.0e10;

  // Works out the lattice range for the cut-off rmax (Å), folds every
  // unit-cell site into the cell and sorts the sites into the cell list.
  // Returns 1, or 0 after printing "Error in <caller>: ..." when the range
  // cannot be searched.
  int Prepare(const CCrystal& crystal, double rmax, const char* caller);

  // Translations -Range(i)..Range(i) along a, b, c.
  int Range(int axis) const { return n_[axis]; }

  // The asymmetric-unit site ia, or null after printing the missing-site
  // message when the crystal's table does not hold it.
  const CAtomSite* Centre(int ia) const;

  // One image of a unit-cell site around a centre.
  struct Image {
    int j;                // unit-cell site
    const double* folded;  // its position folded into the cell
    double position[3];   // folded position plus the translation
    double d;             // distance to the centre in Å
  };

  // Visits, for the centre at the folded position c, every translation (c
  // outermost, a innermost) and every unit-cell site in table order, with no
  // cut-off before the distance is known.
  template <typename Visit>
  void ForEachImage(const double c[3], Visit&& visit) const {
    Image image;
    for (int lc = -n_[2]; lc <= n_[2]; ++lc)
      for (int lb = -n_[1]; lb <= n_[1]; ++lb)
        for (int la = -n_[0]; la <= n_[0]; ++la)
          for (int j = 0; j < nSites_; ++j) {
            const double* p = Folded(j);
            image.j = j;
            image.folded = p;
            image.position[0] = p[0] + la;
            image.position[1] = p[1] + lb;
            image.position[2] = p[2] + lc;
            image.d = kAngstromPerNm * std::sqrt(crystal_->GetDistance2(c[0], c[1], c[2], image.position[0],
                                                                        image.position[1], image.position[2]));
            visit(image);
          }
  }

  // Visits exactly the images of ForEachImage whose distance is at most the
  // cut-off given to Prepare (d <= rmax), with the same distances, and in the
  // same order unless bAnyOrder is set (for callers whose result does not
  // depend on the order).
  template <typename Visit>
  void ForEachNeighbour(const double c[3], Visit&& visit, bool bAnyOrder = false) {
    if (!bCellList_) {
      ForEachImage(c, [&](const Image& image) {
        if (image.d <= rmax_) visit(image);
      });
      return;
    }
    CollectNeighbours(c, !bAnyOrder);
    Image image;
    for (const Hit& hit : hits_) {
      const double* p = Folded(hit.j);
      image.j = hit.j;
      image.folded = p;
      image.position[0] = p[0] + hit.l[0];
      image.position[1] = p[1] + hit.l[1];
      image.position[2] = p[2] + hit.l[2];
      image.d = hit.d;
      visit(image);
    }
  }

  // Whether ForEachNeighbour uses the cell list (it falls back to the
  // literal search for a cell whose metric gives no usable bound).
  bool UsesCellList() const { return bCellList_; }

 private:
  // An image within the cut-off; key orders the hits as the literal search
  // meets them: translation (c, b, a) first, then the unit-cell site.
  struct Hit {
    uint64_t key;
    int l[3];
    int j;
    double d;
  };

  const double* Folded(int j) const { return &folded_[3 * static_cast<size_t>(j)]; }
  void BuildCellList();
  void CollectNeighbours(const double c[3], bool bOrdered);

  const CCrystal* crystal_ = nullptr;
  double rmax_ = 0;
  int n_[3] = {0, 0, 0};
  int nSites_ = 0;
  std::vector<double> folded_;

  // The cell list: the sites of bin k of bins_ are
  // binSites_[binStart_[k] .. binStart_[k+1]). The reach of the bins holds
  // every position within the cut-off of a centre (with room for rounding).
  bool bCellList_ = false;
  CCellBins bins_;
  std::vector<int> binStart_;
  std::vector<int> binSites_;
  std::vector<Hit> hits_;
  // The bins of one centre's box along each axis, as translation and bin.
  std::vector<CCellBins::Span> span_[3];
};

// A position folded into the cell coordinate by coordinate.
void FoldPosition(const CAtomSite& site, double folded[3]);

}  // namespace quorvel
