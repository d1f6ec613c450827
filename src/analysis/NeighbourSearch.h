// The periodic neighbour search shared by the RDF tables and the distance
// listing: the range of cell translations that a cut-off needs, the folding
// of positions into the cell, and the visit of every image of every
// unit-cell site around one centre.
#pragma once

#include <cmath>
#include <vector>

#include "crystal/Crystal.h"

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

  // Works out the lattice range for the cut-off rmax (Å) and folds every
  // unit-cell site into the cell. Returns 1, or 0 after printing
  // "Error in <caller>: ..." when the range cannot be searched.
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
            const double* p = &folded_[3 * static_cast<size_t>(j)];
            image.j = j;
            image.folded = p;
            image.position[0] = p[0] + la;
            image.position[1] = p[1] + lb;
            image.position[2] = p[2] + lc;
            image.d = 10.0 * std::sqrt(crystal_->GetDistance2(c[0], c[1], c[2], image.position[0],
                                                              image.position[1], image.position[2]));
            visit(image);
          }
  }

 private:
  const CCrystal* crystal_ = nullptr;
  int n_[3] = {0, 0, 0};
  int nSites_ = 0;
  std::vector<double> folded_;
};

// A position folded into the cell coordinate by coordinate.
void FoldPosition(const CAtomSite& site, double folded[3]);

}  // namespace quorvel
