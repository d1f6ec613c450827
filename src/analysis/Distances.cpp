#include "analysis/Distances.h"

#include <cstdio>

#include "analysis/NeighbourSearch.h"
#include "analysis/RDF.h"
#include "crystal/Crystal.h"
#include "numerics/Constants.h"
#include "text/Messages.h"
#include "text/NumberFormat.h"
#include "text/OutputFile.h"
#include "text/TextUtil.h"

namespace quorvel {

int ListDistances(const CCrystal& crystal, const CDistanceWindow& window, const std::string& outPath) {
  const double rmax = window.MaximumDistance;
  const double rmin = window.MinimumDistance;
  CNeighbourSearch search;
  if (!search.Prepare(crystal, rmax, "ListDistances")) return 0;
  std::printf("Lattice parameters: %lg %lg %lg  %lg %lg %lg\n", crystal.a, crystal.b, crystal.c, crystal.alpha,
              crystal.beta, crystal.gamma);
  std::printf("MaximumDistance: %lg A\n", rmax);
  std::printf("  Lattice Range: %d %d %d\n", search.Range(0), search.Range(1), search.Range(2));

  COutputFile file;
  if (!file.Open(outPath, "w")) {
    if (!file.Refused()) ReportCanNotWrite(outPath, "Error: ");
    return 0;
  }
  // Lines in search order (centre, translation, unit-cell site), not sorted;
  // a pair of two asymmetric-unit atoms is listed from both sides.
  for (int ia = 0; ia < crystal.nAtomAsymSites; ++ia) {
    const CAtomSite* centre = search.Centre(ia);
    if (!centre) continue;
    double c[3], cc[3];
    FoldPosition(*centre, c);
    crystal.FractionalToCartesian(c[0], c[1], c[2], cc[0], cc[1], cc[2]);
    search.ForEachNeighbour(c, [&](const CNeighbourSearch::Image& image) {
      if (!(rmin <= image.d)) return;
      double r[3];
      crystal.FractionalToCartesian(image.position[0], image.position[1], image.position[2], r[0], r[1], r[2]);
      // The F triple of the neighbour names the atom in the cell; its R
      // triple is the position of the image.
      FastFprintf(file.get(),
                   "%4s - %4s   %14.6lg A  F(%6.4f %6.4f %6.4f)-(%6.4f %6.4f %6.4f) R(%6.3f %6.3f %6.3f)A-(%6.3f "
                   "%6.3f %6.3f)A\n",
                   centre->Label.c_str(), crystal.AtomSites[image.j].Label.c_str(), image.d, c[0], c[1], c[2],
                   image.folded[0], image.folded[1], image.folded[2], cc[0] * kAngstromPerNm,
                   cc[1] * kAngstromPerNm, cc[2] * kAngstromPerNm, r[0] * kAngstromPerNm, r[1] * kAngstromPerNm,
                   r[2] * kAngstromPerNm);
    });
  }
  return file.Commit("Error: ") ? 1 : 0;
}

int CalDistance(const std::string& cifPath, const std::string& outPath, const CDatabasePaths& databases,
                const CDistanceWindow& window) {
  CCrystal crystal;
  if (!ReadCIFStructure(cifPath, databases, crystal)) return -1;
  // The listing is never written over the CIF file it was made from, nor
  // over any other file named .cif: "CalDistance *.cif" in a folder of CIF
  // files makes the second one the listing's name.
  if (outPath == cifPath) {
    std::printf("Error in CalDistance: The distance listing [%s] would replace the CIF file.\n", outPath.c_str());
    return -1;
  }
  if (outPath.size() >= 4 && EqualNoCase(outPath.substr(outPath.size() - 4), ".cif")) {
    std::printf("Error in CalDistance: The distance listing [%s] would be a CIF file: name it otherwise.\n",
                outPath.c_str());
    return -1;
  }
  return ListDistances(crystal, window, outPath) == 1 ? 1 : 0;
}

}  // namespace quorvel
