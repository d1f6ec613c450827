#include "analysis/NeighbourSearch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "text/TextUtil.h"
#include "crystal/Crystal.h"

namespace quorvel {
namespace {

// One image as a search reports it: the site, then its position and
// distance as bit patterns, so that equal means equal to the last bit.
using Visited = std::array<uint64_t, 5>;

// A crystal of one type and no asymmetric unit in a cell of the given
// parameters (nm, degrees); the sites are added as unit-cell sites.
void MakeCrystal(CCrystal& crystal, double a, double b, double c, double alpha, double beta, double gamma) {
  crystal.SetLatticeParameters(a, b, c, alpha, beta, gamma);
  crystal.CalculateLatticeVectors();
  CAtomType type;
  type.Name = "X";
  crystal.AtomTypes[crystal.nAtomTypes++] = type;
}

void AddSite(CCrystal& crystal, const std::string& label, double x, double y, double z) {
  crystal.AddAtomSite(label, 0, -1, 1.0, x, y, z, 0, 0, 0);
}

// A small deterministic generator (the same numbers on every platform), in [0, 1).
double Next(uint64_t& state) {
  state = state * 6364136223846793005ULL + 1442695040888963407ULL;
  return static_cast<double>(state >> 11) / 9007199254740992.0;
}

// For every centre, the images the cell list reports, in its order and in
// any order, against those of the literal search within the cut-off: the
// same images with the same bits. Returns the number of images compared.
size_t CompareSearches(const CCrystal& crystal, double rmax, const std::vector<std::vector<double>>& centres,
                       bool bExpectCellList = true) {
  CNeighbourSearch search;
  EXPECT_EQ(search.Prepare(crystal, rmax, "test"), 1);
  EXPECT_EQ(search.UsesCellList(), bExpectCellList);
  size_t compared = 0;
  for (size_t i = 0; i < centres.size(); ++i) {
    double c[3] = {FoldToUnitCell(centres[i][0]), FoldToUnitCell(centres[i][1]), FoldToUnitCell(centres[i][2])};
    std::vector<Visited> literal, fast, anyOrder;
    auto recorder = [](std::vector<Visited>& to, double cutoff) {
      return [&to, cutoff](const CNeighbourSearch::Image& image) {
        Visited v{static_cast<uint64_t>(image.j)};
        std::memcpy(&v[1], image.position, 3 * sizeof(double));
        std::memcpy(&v[4], &image.d, sizeof(double));
        if (image.d <= cutoff) to.push_back(v);
      };
    };
    search.ForEachImage(c, recorder(literal, rmax));
    search.ForEachNeighbour(c, recorder(fast, HUGE_VAL));
    search.ForEachNeighbour(c, recorder(anyOrder, HUGE_VAL), true);
    EXPECT_TRUE(fast == literal) << "centre " << i << " (" << c[0] << ", " << c[1] << ", " << c[2] << ")";
    std::sort(literal.begin(), literal.end());
    std::sort(anyOrder.begin(), anyOrder.end());
    EXPECT_TRUE(anyOrder == literal) << "centre " << i;
    compared += literal.size();
  }
  return compared;
}

TEST(NeighbourSearchTest, CellListFindsWhatTheLiteralSearchFinds) {
  const struct {
    double a, b, c, alpha, beta, gamma;
    int nSites;
    double rmax;
  } cells[] = {
      {0.5, 0.5, 0.5, 90, 90, 90, 40, 5.0},       // cubic, range 2
      {0.61, 0.73, 0.55, 71, 103, 117, 60, 6.0},  // triclinic
      {1.5, 1.5, 1.5, 90, 90, 90, 500, 5.0},      // many sites, several bins per axis
      {3.0, 2.5, 2.8, 88, 95, 91, 1500, 3.0},     // bins narrower than the cell by far
      {0.21, 0.25, 0.19, 80, 95, 100, 3, 7.0},    // rmax more than three cells
      {0.3, 0.3, 0.5, 90, 90, 120, 12, 4.0},      // hexagonal
      {0.4, 0.45, 0.5, 30, 35, 40, 20, 5.0},      // very oblique
      {0.12, 0.15, 2.4, 90, 90, 90, 25, 6.0},     // needle: many translations along a and b, none along c
      {0.5, 0.45, 0.55, 40, 40, 79, 30, 5.0},     // the lattice range misses images within rmax
      {0.5, 0.5, 0.00005, 90, 90, 90, 6, 1.0},    // too badly shaped for the rounding bound: searched literally
  };
  uint64_t state = 12345;
  for (const auto& cell : cells) {
    CCrystal crystal;
    MakeCrystal(crystal, cell.a, cell.b, cell.c, cell.alpha, cell.beta, cell.gamma);
    // Sites at random places, some outside the cell; centres at some of
    // them and at random places.
    std::vector<std::vector<double>> centres;
    for (int k = 0; k < cell.nSites; ++k) {
      double x = 1.4 * Next(state) - 0.2, y = 1.4 * Next(state) - 0.2, z = 1.4 * Next(state) - 0.2;
      AddSite(crystal, "X" + std::to_string(k), x, y, z);
      if (k % 3 == 0) centres.push_back({x, y, z});
    }
    for (int k = 0; k < 10; ++k) centres.push_back({Next(state), Next(state), Next(state)});
    SCOPED_TRACE(testing::Message() << "cell " << cell.a << " " << cell.b << " " << cell.c << " " << cell.alpha);
    const bool bCellList = cell.c > 0.001;
    EXPECT_GT(CompareSearches(crystal, cell.rmax, centres, bCellList), bCellList ? size_t(cell.nSites) : 0u);
  }
}

// Positions on the cell faces and edges, exactly at bin boundaries, just
// inside and just outside the cell, those that FoldToUnitCell turns into
// tiny negatives or values a hair below 1, two sites at one place and one
// whose position is not a number; cut-offs that end exactly at the spacing
// of the cubic cell (4 A) and down to 0, which keeps only coinciding sites.
TEST(NeighbourSearchTest, PositionsOnFacesAndBinBoundaries) {
  const double special[] = {0.0, 1.0,    -1.0,      0.5,           0.25,   0.75,   1.0 / 3, 2.0 / 3, 0.125,
                            2.0, -1e-12, 1 - 1e-17, 0.99999999995, -5e-11, 1e-300, -0.25,   1.75,    0.9999999999};
  const size_t n = sizeof special / sizeof special[0];
  for (int shape = 0; shape < 2; ++shape) {
    CCrystal crystal;
    if (shape == 0)
      MakeCrystal(crystal, 0.4, 0.4, 0.4, 90, 90, 90);
    else
      MakeCrystal(crystal, 0.35, 0.42, 0.39, 75, 98, 111);
    std::vector<std::vector<double>> centres;
    for (size_t k = 0; k < 3 * n; ++k) {
      double x = special[k % n], y = special[(k / 3 + 1) % n], z = special[(7 * k + 2) % n];
      AddSite(crystal, "F" + std::to_string(k), x, y, z);
      centres.push_back({x, y, z});
    }
    AddSite(crystal, "D1", 0.5, 0.5, 0.5);
    AddSite(crystal, "D2", 0.5, 0.5, 0.5);
    AddSite(crystal, "N", std::nan(""), 0.5, 0.5);
    centres.push_back({std::nan(""), 0.1, 0.1});
    for (double rmax : {4.0, 5.0, 2.0, 0.5, 0.0}) {
      SCOPED_TRACE(testing::Message() << "shape " << shape << " rmax " << rmax);
      EXPECT_GT(CompareSearches(crystal, rmax, centres), rmax > 0 ? centres.size() : 0u);
    }
  }
}

}  // namespace
}  // namespace quorvel
