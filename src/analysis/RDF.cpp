#include "analysis/RDF.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <vector>

#include "analysis/NeighbourSearch.h"
#include "crystal/Crystal.h"
#include "formats/CIFCrystal.h"
#include "text/Messages.h"
#include "text/NumberFormat.h"
#include "text/OutputFile.h"
#include "text/TextUtil.h"

namespace quorvel {

namespace {

// Doubles that the histograms of one analysis may hold in all: 128 MB. With
// 20 atom types this allows about 40,000 bins, with 100 types about 1,600.
constexpr double kMaxTableValues = 16777216.0;

// The tables are sized by the crystal's own number of atom types, so a
// crystal with many types is analysed completely.
int TypeCount(const CCrystal& crystal) {
  return std::max(0, std::min(crystal.nAtomTypes, static_cast<int>(crystal.AtomTypes.size())));
}

// The type index of a site as a row or column of the tables, or -1: a site
// without a type has no row or column and is left out of the analysis.
int TableIndex(const CAtomSite& site, int nTypes) {
  return site.iAtomType >= 0 && site.iAtomType < nTypes ? site.iAtomType : -1;
}

// The bins: rmax in Å from MaximumDistance, nMesh bins (201 when the option
// asks for fewer than 3), each dr wide.
struct CBins {
  double rmax = 0;
  int nMesh = 0;
  double dr = 0;

  // Bin of a distance d <= rmax. The last bin also takes what rounding might
  // push beyond it.
  int Of(double d) const {
    double q = d / dr;
    return q < nMesh - 1 ? static_cast<int>(q) : nMesh - 1;
  }
  double R(int k) const { return k * dr; }
};

// Reads the bins and prepares the search. A cut-off of 0 or less has no bins
// to count in; a table beyond kMaxTableValues (nMesh 2147483647, say) is
// refused rather than allocated. Returns false after printing why.
bool SetUp(const CCrystal& crystal, const CRDFSettings& settings, const char* caller, int tablesPerType, CBins& bins,
           CNeighbourSearch& search) {
  bins.rmax = settings.MaximumDistance;
  bins.nMesh = settings.nMesh;
  if (bins.nMesh < 3) bins.nMesh = 201;
  bins.dr = bins.rmax / (bins.nMesh - 1);
  if (!(bins.rmax > 0)) {
    std::printf("Error in %s: MaximumDistance [%lg] A must be above 0.\n", caller, bins.rmax);
    return false;
  }
  if (!search.Prepare(crystal, bins.rmax, caller)) return false;
  double nTypes = TypeCount(crystal);
  double perBin = nTypes * (nTypes + tablesPerType);
  if (perBin * bins.nMesh > kMaxTableValues) {
    std::printf("Error in %s: nMesh [%d] is too large for %d atom types (at most %.0f bins).\n", caller, bins.nMesh,
                TypeCount(crystal), std::floor(kMaxTableValues / perBin));
    return false;
  }
  return true;
}

// Whether the sums of occupancies in the tables come out the same in any
// order: whole numbers up to 2^18 add without rounding while every sum stays
// below 2^53, and the search's limit of 2e10 distances (below 2^35) keeps
// them there. Then the neighbours need not be visited in the search order.
bool OccupanciesAddExactly(const CCrystal& crystal) {
  const int n = std::max(0, std::min(crystal.nAtomSites, static_cast<int>(crystal.AtomSites.size())));
  for (int k = 0; k < n; ++k) {
    const double occupancy = crystal.AtomSites[k].Occupancy;
    if (!(std::fabs(occupancy) <= 262144.0) || occupancy != std::trunc(occupancy)) return false;
  }
  return true;
}

// A zero-filled table, or false when it cannot be allocated.
bool Allocate(std::vector<double>& table, size_t n) {
  try {
    table.assign(n, 0.0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

std::string FileName(int mode, const std::string& centre, const std::string& neighbour) {
  if (mode == 1) return Format("%s-%s-Final-RDF.csv", centre.c_str(), neighbour.c_str());
  if (mode == 2) return Format("%s-%s-Averaged-RDF.csv", centre.c_str(), neighbour.c_str());
  return Format("%s-%s-RDF.csv", centre.c_str(), neighbour.c_str());
}

std::string CNFileName(int mode, const std::string& centre, const std::string& neighbour, int CN) {
  if (mode == 1) return Format("%s-%s-Final-RDF-CN%d.csv", centre.c_str(), neighbour.c_str(), CN);
  if (mode == 2) return Format("%s-%s-Averaged-RDF-CN%d.csv", centre.c_str(), neighbour.c_str(), CN);
  return Format("%s-%s-RDF-CN%d.csv", centre.c_str(), neighbour.c_str(), CN);
}

// One CSV table: r, the value of each bin divided by divisor, and the running
// sum from bin 1 on (bin 0 holds the centre itself).
void WriteTable(const std::string& fileName, const std::string& centre, const std::string& neighbour,
                const double* values, const CBins& bins, double divisor) {
  std::printf("Writing to [%s]...\n", fileName.c_str());
  COutputFile file;
  if (!file.Open(fileName, "w")) {
    if (!file.Refused()) ReportCanNotWrite(fileName, "Error: ");
    return;
  }
  std::fprintf(file.get(), "r(A),RDF(%s-%s),RCN(%s-%s)\n", centre.c_str(), neighbour.c_str(), centre.c_str(),
               neighbour.c_str());
  double sum = 0;
  for (int k = 0; k < bins.nMesh; ++k) {
    double g = values[k] / divisor;
    if (k > 0) sum += g;
    FastFprintf(file.get(), "%g,%g,%g\n", bins.R(k), g, sum);
  }
  file.Commit("Error: ");
}

// Counts one centre's neighbours of one type (counts per bin) outwards and
// adds 1 to row at the bin where the count reaches cn, and -1 where it
// reaches cn + 1. Bin 0 holds the centre itself and is not counted. A count
// that jumps over cn in one bin leaves the row unchanged. An empty bin after
// the first changes nothing (the count is already whole and was tested at the
// bin before), so it is passed over.
void MarkShell(const double* counts, size_t nMesh, double cn, double* row) {
  double count = 0;
  bool bReached = false;
  for (size_t k = 1; k < nMesh; ++k) {
    if (k > 1 && counts[k] == 0) continue;
    count = std::trunc(count + counts[k]);
    if (!bReached && count == cn) {
      bReached = true;
      row[k] += 1;
    }
    if (count >= cn + 1) {
      if (bReached) row[k] -= 1;
      break;
    }
  }
}

}  // namespace

int CalculateRDF(const CCrystal& crystal, const CRDFSettings& settings, int mode) {
  CBins bins;
  CNeighbourSearch search;
  if (!SetUp(crystal, settings, "CalculateRDF", 0, bins, search)) return -1;
  std::printf("Lattice parameters: %lg %lg %lg  %lg %lg %lg\n", crystal.a, crystal.b, crystal.c, crystal.alpha,
              crystal.beta, crystal.gamma);
  std::printf("MaximumDistance: %lg A\n", bins.rmax);
  std::printf("nMesh: %d\n", bins.nMesh);
  std::printf("  Lattice Range: %d %d %d\n", search.Range(0), search.Range(1), search.Range(2));

  const int nTypes = TypeCount(crystal);
  const size_t nMesh = static_cast<size_t>(bins.nMesh);
  // table[centre type][neighbour type][bin]: occupancy-weighted neighbours.
  std::vector<double> table;
  if (!Allocate(table, static_cast<size_t>(nTypes) * nTypes * nMesh)) {
    std::printf("Error in CalculateRDF: No enough memory.\n");
    return -1;
  }
  std::vector<int> nCounted(static_cast<size_t>(nTypes), 0);
  const bool bAnyOrder = OccupanciesAddExactly(crystal);

  for (int ia = 0; ia < crystal.nAtomAsymSites; ++ia) {
    const CAtomSite* centre = search.Centre(ia);
    if (!centre) continue;
    int i = TableIndex(*centre, nTypes);
    if (i < 0) continue;
    double c[3];
    FoldPosition(*centre, c);
    ++nCounted[static_cast<size_t>(i)];
    double* row = &table[static_cast<size_t>(i) * nTypes * nMesh];
    search.ForEachNeighbour(
        c,
        [&](const CNeighbourSearch::Image& image) {
          const CAtomSite& neighbour = crystal.AtomSites[image.j];
          int j = TableIndex(neighbour, nTypes);
          if (j < 0) return;
          row[static_cast<size_t>(j) * nMesh + bins.Of(image.d)] += neighbour.Occupancy;
        },
        bAnyOrder);
  }

  for (int i = 0; i < nTypes; ++i) {
    const std::string& centreName = crystal.AtomTypes[i].NameOrLabel();
    if (nCounted[static_cast<size_t>(i)] == 0) {
      std::printf(" nCountedAtom for %s is zero. Skipped.\n", centreName.c_str());
      continue;
    }
    for (int j = 0; j < nTypes; ++j) {
      const std::string& neighbourName = crystal.AtomTypes[j].NameOrLabel();
      WriteTable(FileName(mode, centreName, neighbourName), centreName, neighbourName,
                 &table[(static_cast<size_t>(i) * nTypes + j) * nMesh], bins, nCounted[static_cast<size_t>(i)]);
    }
  }
  return 1;
}

int CalculateCNRDF(const CCrystal& crystal, const CRDFSettings& settings, int mode) {
  const int CN = settings.CoordinationNumber;
  CBins bins;
  CNeighbourSearch search;
  if (!SetUp(crystal, settings, "CalculateCNRDF", 1, bins, search)) return -1;

  const int nTypes = TypeCount(crystal);
  const size_t nMesh = static_cast<size_t>(bins.nMesh);
  // table[centre type][neighbour type][bin]: +1 where a centre's CN-th
  // neighbour is reached, -1 where its (CN+1)-th is; neighbours[type][bin]
  // holds the neighbours of one centre.
  std::vector<double> table, neighbours;
  if (!Allocate(table, static_cast<size_t>(nTypes) * nTypes * nMesh) ||
      !Allocate(neighbours, static_cast<size_t>(nTypes) * nMesh)) {
    std::printf("Error in CalculateCNRDF: No enough memory.\n");
    return -1;
  }
  std::vector<size_t> touched;  // cells of neighbours set for one centre
  const bool bAnyOrder = OccupanciesAddExactly(crystal);
  // Counts are compared as doubles holding whole numbers, so that CN + 1
  // cannot overflow and no occupancy sum overflows an integer.
  const double cn = CN;

  for (int ia = 0; ia < crystal.nAtomAsymSites; ++ia) {
    const CAtomSite* centre = search.Centre(ia);
    if (!centre) continue;
    int i = TableIndex(*centre, nTypes);
    if (i < 0) continue;
    double c[3];
    FoldPosition(*centre, c);
    search.ForEachNeighbour(
        c,
        [&](const CNeighbourSearch::Image& image) {
          const CAtomSite& neighbour = crystal.AtomSites[image.j];
          int j = TableIndex(neighbour, nTypes);
          if (j < 0) return;
          const size_t cell = static_cast<size_t>(j) * nMesh + static_cast<size_t>(bins.Of(image.d));
          neighbours[cell] += neighbour.Occupancy;
          touched.push_back(cell);
        },
        bAnyOrder);

    for (int j = 0; j < nTypes; ++j)
      MarkShell(&neighbours[static_cast<size_t>(j) * nMesh], nMesh, cn,
                &table[(static_cast<size_t>(i) * nTypes + j) * nMesh]);
    // The centre's counts are cleared where they were set.
    for (size_t cell : touched) neighbours[cell] = 0;
    touched.clear();
  }

  for (int i = 0; i < nTypes; ++i) {
    const std::string& centreName = crystal.AtomTypes[i].NameOrLabel();
    for (int j = 0; j < nTypes; ++j) {
      const std::string& neighbourName = crystal.AtomTypes[j].NameOrLabel();
      WriteTable(CNFileName(mode, centreName, neighbourName, CN), centreName, neighbourName,
                 &table[(static_cast<size_t>(i) * nTypes + j) * nMesh], bins, 1.0);
    }
  }
  return 1;
}

bool ReadCIFStructure(const std::string& path, const CDatabasePaths& databases, CCrystal& crystal) {
  std::printf("CIF File: %s\n", path.c_str());
  const int read = ReadCIFCrystal(path, databases, crystal);
  // CalDistance reports an unreadable file with this same text.
  if (read < 0) ReportCanNotRead(path, "Error in CalRDF: ");
  return read == 1;
  return true;
}

int CalRDF(const std::string& path, const CDatabasePaths& databases, const CRDFSettings& settings) {
  CCrystal crystal;
  if (!ReadCIFStructure(path, databases, crystal)) return -1;
  if (settings.bCalculate) {
    std::printf("Calculate RDF.\n");
    CalculateRDF(crystal, settings, 0);
  }
  if (settings.CoordinationNumber > 0) {
    std::printf("Coordination Number: %d\n", settings.CoordinationNumber);
    CalculateCNRDF(crystal, settings, 0);
  }
  return 1;
}

}  // namespace quorvel
