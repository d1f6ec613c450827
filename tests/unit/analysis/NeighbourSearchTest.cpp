#include "analysis/NeighbourSearch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/Distances.h"
#include "analysis/RDF.h"
#include "app/TextUtil.h"
#include "tests/unit/TestFiles.h"
#include "tests/unit/formats/TestCrystals.h"

namespace quorvel {
namespace {

// One image as a search reports it, with its doubles kept as bit patterns so
// that equal means equal to the last bit.
struct Visited {
  int j;
  uint64_t bits[4];  // position x, y, z and distance
  bool operator==(const Visited& o) const {
    return j == o.j && std::memcmp(bits, o.bits, sizeof bits) == 0;
  }
};

Visited Record(const CNeighbourSearch::Image& image) {
  Visited v;
  v.j = image.j;
  std::memcpy(&v.bits[0], image.position, 3 * sizeof(double));
  std::memcpy(&v.bits[3], &image.d, sizeof(double));
  return v;
}

// A small deterministic generator (the same numbers on every platform).
class CSequence {
 public:
  explicit CSequence(uint64_t seed) : state_(seed) {}
  double Next() {  // in [0, 1)
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(state_ >> 11) / 9007199254740992.0;
  }

 private:
  uint64_t state_;
};

// Compares, for every centre, the images that the cell list reports with
// those of the literal search within the cut-off: the same images, in the
// same order, with the same bits. Returns the number of images compared.
size_t CompareSearches(const CCrystal& crystal, double rmax, const std::vector<std::vector<double>>& centres,
                       bool bExpectCellList = true) {
  CNeighbourSearch search;
  EXPECT_EQ(search.Prepare(crystal, rmax, "test"), 1);
  EXPECT_EQ(search.UsesCellList(), bExpectCellList);
  size_t compared = 0;
  for (size_t i = 0; i < centres.size(); ++i) {
    double c[3] = {FoldToUnitCell(centres[i][0]), FoldToUnitCell(centres[i][1]), FoldToUnitCell(centres[i][2])};
    std::vector<Visited> literal, fast;
    search.ForEachImage(c, [&](const CNeighbourSearch::Image& image) {
      if (image.d <= rmax) literal.push_back(Record(image));
    });
    search.ForEachNeighbour(c, [&](const CNeighbourSearch::Image& image) { fast.push_back(Record(image)); });
    EXPECT_EQ(fast.size(), literal.size()) << "centre " << i;
    EXPECT_TRUE(fast == literal) << "centre " << i << " (" << c[0] << ", " << c[1] << ", " << c[2] << ")";
    compared += literal.size();
  }
  return compared;
}

// Sites at random positions (some outside the cell), plus centres at the
// sites and at random places.
void AddRandomSites(CCrystal& crystal, CSequence& random, int n, std::vector<std::vector<double>>& centres) {
  for (int k = 0; k < n; ++k) {
    double x = 1.4 * random.Next() - 0.2, y = 1.4 * random.Next() - 0.2, z = 1.4 * random.Next() - 0.2;
    AddCellSite(crystal, "X" + std::to_string(k), 0, 1.0, x, y, z);
    if (k % 3 == 0) centres.push_back({x, y, z});
  }
  for (int k = 0; k < 10; ++k) centres.push_back({random.Next(), random.Next(), random.Next()});
}

TEST(NeighbourSearchTest, CellListFindsWhatTheLiteralSearchFinds) {
  struct Cell {
    double a, b, c, alpha, beta, gamma;
    int nSites;
    double rmax;
  };
  const Cell cells[] = {
      {0.5, 0.5, 0.5, 90, 90, 90, 40, 5.0},            // cubic, range 2
      {0.61, 0.73, 0.55, 71, 103, 117, 60, 6.0},       // triclinic
      {1.5, 1.5, 1.5, 90, 90, 90, 500, 5.0},           // many sites, several bins per axis
      {3.0, 2.5, 2.8, 88, 95, 91, 1500, 3.0},          // bins narrower than the cell by far
      {0.21, 0.25, 0.19, 80, 95, 100, 3, 7.0},         // rmax more than three cells
      {0.3, 0.3, 0.5, 90, 90, 120, 12, 4.0},           // hexagonal
      {0.4, 0.45, 0.5, 30, 35, 40, 20, 5.0},           // very oblique
      {0.12, 0.15, 2.4, 90, 90, 90, 25, 6.0},          // needle: many translations along a and b, none along c
      {0.5, 0.45, 0.55, 40, 40, 79, 30, 5.0},          // the lattice range misses images within rmax
  };
  CSequence random(12345);
  for (const Cell& cell : cells) {
    CCrystal crystal;
    SetCell(crystal, cell.a, cell.b, cell.c, cell.alpha, cell.beta, cell.gamma);
    AddTestType(crystal, "X");
    std::vector<std::vector<double>> centres;
    AddRandomSites(crystal, random, cell.nSites, centres);
    SCOPED_TRACE(testing::Message() << "cell " << cell.a << " " << cell.b << " " << cell.c << " " << cell.alpha
                                    << " " << cell.beta << " " << cell.gamma);
    EXPECT_GT(CompareSearches(crystal, cell.rmax, centres), static_cast<size_t>(cell.nSites));
  }
}

// Positions on the cell faces and edges, exactly at bin boundaries, just
// inside and just outside the cell, and those that FoldToUnitCell turns into
// tiny negatives or values a hair below 1.
TEST(NeighbourSearchTest, PositionsOnFacesAndBinBoundaries) {
  const double special[] = {0.0,  1.0,   -1.0, 0.5,          0.25,         0.75,          1.0 / 3,
                            2.0 / 3, 0.125, 2.0,  -1e-12, 1 - 1e-17, 0.99999999995, -5e-11,
                            1e-300, -0.25, 1.75, 0.9999999999};
  const size_t n = sizeof special / sizeof special[0];
  for (int shape = 0; shape < 2; ++shape) {
    CCrystal crystal;
    if (shape == 0)
      SetCell(crystal, 0.4, 0.4, 0.4, 90, 90, 90);
    else
      SetCell(crystal, 0.35, 0.42, 0.39, 75, 98, 111);
    AddTestType(crystal, "X");
    std::vector<std::vector<double>> centres;
    for (size_t k = 0; k < 3 * n; ++k) {
      double x = special[k % n], y = special[(k / 3 + 1) % n], z = special[(7 * k + 2) % n];
      AddCellSite(crystal, "F" + std::to_string(k), 0, 1.0, x, y, z);
      centres.push_back({x, y, z});
    }
    // Two sites at one place, and one whose position is not a number.
    AddCellSite(crystal, "D1", 0, 1.0, 0.5, 0.5, 0.5);
    AddCellSite(crystal, "D2", 0, 1.0, 0.5, 0.5, 0.5);
    AddCellSite(crystal, "N", 0, 1.0, std::nan(""), 0.5, 0.5);
    centres.push_back({std::nan(""), 0.1, 0.1});
    // A cut-off that ends exactly at the spacing of the cubic cell (4 A) and
    // several others, down to 0, which keeps only coinciding positions.
    for (double rmax : {4.0, 5.0, 2.0, 0.5, 0.0}) {
      SCOPED_TRACE(testing::Message() << "shape " << shape << " rmax " << rmax);
      size_t compared = CompareSearches(crystal, rmax, centres);
      if (rmax > 0) {
        EXPECT_GT(compared, centres.size());
      }
    }
  }
}

// A cell too badly shaped for the bound on rounding (lengths 10^4 apart) is
// searched literally.
TEST(NeighbourSearchTest, BadlyShapedCellFallsBack) {
  CCrystal crystal;
  SetCell(crystal, 0.5, 0.5, 0.00005, 90, 90, 90);
  AddTestType(crystal, "X");
  std::vector<std::vector<double>> centres;
  CSequence random(7);
  AddRandomSites(crystal, random, 6, centres);
  CompareSearches(crystal, 1.0, centres, false);
}

// The analyses run on the cell list: their tables and listing equal what the
// literal search gives, with partial occupancies and sites outside the cell.
// The expected RDF table is accumulated here from the literal search in its
// order; the listing line by line from it.
// Partial occupancies make the sums depend on the order of the neighbours;
// whole ones (which the analyses may add in any order) do not.
class AnalysesMatchTheLiteralSearch : public testing::TestWithParam<bool> {};

TEST_P(AnalysesMatchTheLiteralSearch, TablesAndListing) {
  TempDir dir;
  ScopedWorkingDirectory cwd(dir.Dir());
  CCrystal crystal;
  crystal.AllocateAtomAsymSites(100);
  SetCell(crystal, 0.83, 0.91, 0.77, 84, 101, 93);
  int a = AddTestType(crystal, "A");
  int b = AddTestType(crystal, "B");
  CSequence random(99);
  const bool bWhole = GetParam();
  const double occupancies[] = {1.0, bWhole ? 2.0 : 0.1, bWhole ? 3.0 : 1.0 / 3, bWhole ? -1.0 : 0.7,
                                bWhole ? 1.0 : 0.25};
  for (int k = 0; k < 120; ++k) {
    double x = 1.2 * random.Next() - 0.1, y = random.Next(), z = random.Next();
    int type = k % 3 == 0 ? b : a;
    std::string label = (type == a ? "A" : "B") + std::to_string(k);
    if (k % 4 == 0)
      AddBothSites(crystal, label, type, occupancies[k % 5], x, y, z);
    else
      AddCellSite(crystal, label, type, occupancies[k % 5], x, y, z);
  }
  const double rmax = 6.0;
  const int nMesh = 61;
  const double dr = rmax / (nMesh - 1);

  // The literal search, with the bins and sums of the RDF tables and the
  // coordination-number tables (CN 2) worked out bin by bin.
  const int CN = 2;
  CNeighbourSearch literal;
  ASSERT_EQ(literal.Prepare(crystal, rmax, "test"), 1);
  std::vector<double> table(2 * 2 * nMesh, 0.0), cnTable(2 * 2 * nMesh, 0.0);
  int nCentres[2] = {0, 0};
  std::string listing;
  for (int ia = 0; ia < crystal.nAtomAsymSites; ++ia) {
    const CAtomSite& centre = crystal.AtomAsymSites[ia];
    double c[3], cc[3];
    FoldPosition(centre, c);
    crystal.FractionalToCartesian(c[0], c[1], c[2], cc[0], cc[1], cc[2]);
    ++nCentres[centre.iAtomType];
    std::vector<double> own(2 * nMesh, 0.0);
    literal.ForEachImage(c, [&](const CNeighbourSearch::Image& image) {
      if (!(image.d <= rmax)) return;
      const CAtomSite& neighbour = crystal.AtomSites[image.j];
      int k = image.d / dr < nMesh - 1 ? static_cast<int>(image.d / dr) : nMesh - 1;
      table[(centre.iAtomType * 2 + neighbour.iAtomType) * nMesh + k] += neighbour.Occupancy;
      own[neighbour.iAtomType * nMesh + k] += neighbour.Occupancy;
      if (image.d < 1.5) return;
      double r[3];
      crystal.FractionalToCartesian(image.position[0], image.position[1], image.position[2], r[0], r[1], r[2]);
      listing += Format(
          "%4s - %4s   %14.6lg A  F(%6.4f %6.4f %6.4f)-(%6.4f %6.4f %6.4f) R(%6.3f %6.3f %6.3f)A-(%6.3f %6.3f "
          "%6.3f)A\n",
          centre.Label.c_str(), neighbour.Label.c_str(), image.d, c[0], c[1], c[2], image.folded[0],
          image.folded[1], image.folded[2], cc[0] * 10, cc[1] * 10, cc[2] * 10, r[0] * 10, r[1] * 10, r[2] * 10);
    });
    for (int j = 0; j < 2; ++j) {
      double count = 0;
      bool bReached = false;
      for (int k = 1; k < nMesh; ++k) {
        count = std::trunc(count + own[j * nMesh + k]);
        if (!bReached && count == CN) {
          bReached = true;
          cnTable[(centre.iAtomType * 2 + j) * nMesh + k] += 1;
        }
        if (count >= CN + 1) {
          if (bReached) cnTable[(centre.iAtomType * 2 + j) * nMesh + k] -= 1;
          break;
        }
      }
    }
  }
  ASSERT_TRUE(literal.UsesCellList());
  ASSERT_EQ(crystal.nAtomAsymSites, 30);

  SetRunOptions({"--MaximumDistance=6", "--MinimumDistance=1.5", "--nMesh=61"});
  testing::internal::CaptureStdout();
  EXPECT_EQ(CalculateRDF(crystal, 0), 1);
  EXPECT_EQ(CalculateCNRDF(crystal, CN, 0), 1);
  EXPECT_EQ(ListDistances(crystal, dir.Path("d.txt")), 1);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(ReadFile(dir.Path("d.txt")), listing);
  const char* names[] = {"A", "B"};
  for (int i = 0; i < 2; ++i)
    for (int j = 0; j < 2; ++j) {
      std::string expected = Format("r(A),RDF(%s-%s),RCN(%s-%s)\n", names[i], names[j], names[i], names[j]);
      double sum = 0;
      for (int k = 0; k < nMesh; ++k) {
        double g = table[(i * 2 + j) * nMesh + k] / nCentres[i];
        if (k > 0) sum += g;
        expected += Format("%g,%g,%g\n", k * dr, g, sum);
      }
      EXPECT_EQ(ReadFile(dir.Path(Format("%s-%s-RDF.csv", names[i], names[j]))), expected) << names[i] << names[j];
      std::string expectedCN = Format("r(A),RDF(%s-%s),RCN(%s-%s)\n", names[i], names[j], names[i], names[j]);
      sum = 0;
      int nNonZero = 0;
      for (int k = 0; k < nMesh; ++k) {
        double g = cnTable[(i * 2 + j) * nMesh + k];
        if (k > 0) sum += g;
        if (g != 0) ++nNonZero;
        expectedCN += Format("%g,%g,%g\n", k * dr, g, sum);
      }
      EXPECT_GT(nNonZero, 0) << names[i] << names[j];
      EXPECT_EQ(ReadFile(dir.Path(Format("%s-%s-RDF-CN%d.csv", names[i], names[j], CN))), expectedCN)
          << names[i] << names[j];
    }
}

INSTANTIATE_TEST_SUITE_P(Occupancies, AnalysesMatchTheLiteralSearch, testing::Values(false, true));

}  // namespace
}  // namespace quorvel
