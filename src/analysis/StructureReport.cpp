#include "analysis/StructureReport.h"

#include <cstdio>
#include <vector>

#include "crystal/Crystal.h"
#include "formats/CIFCrystal.h"
#include "text/Messages.h"

namespace quorvel {

namespace {

// The name a listed site is shown with: its type's Name. A site without a
// type (the type table was full) is shown with its own label instead.
const char* ShownName(const CCrystal& crystal, const CAtomSite& site) {
  const CAtomType* type = crystal.TypeOf(site);
  return type ? type->Name.c_str() : site.Label.c_str();
}

void PrintSite(const CCrystal& crystal, const CAtomSite& site) {
  std::printf("  %2s (%lg,%lg,%lg) [occ=%lg]\n", ShownName(crystal, site), site.x, site.y, site.z, site.Occupancy);
}

}  // namespace

int ShowCIFInf(const std::string& path, const CDatabasePaths& databases, const CReportSwitches& switches) {
  std::printf("CIF File: %s\n", path.c_str());

  CCrystal crystal;
  const int read = ReadCIFCrystal(path, databases, crystal);
  if (read < 1) {
    if (read < 0) ReportCanNotRead(path, "Error in ShowCIFInf: ");
    return -1;
  }

  std::printf("\n");
  std::printf("Crystal: %s\n", crystal.ChemicalName.c_str());
  std::printf("  Lattice:\n");
  std::printf("    Parameters: %lg %lg %lg nm  %lg %lg %lg\n", crystal.a, crystal.b, crystal.c, crystal.alpha,
              crystal.beta, crystal.gamma);
  const CMyVector* v = crystal.LatticeVector;
  std::printf("    Vectors: %10.6f %10.6f %10.6f\n", v[0][0], v[0][1], v[0][2]);
  std::printf("             %10.6f %10.6f %10.6f\n", v[1][0], v[1][1], v[1][2]);
  std::printf("             %10.6f %10.6f %10.6f\n", v[2][0], v[2][1], v[2][2]);
  std::printf("    Volume : %lg nm3\n", crystal.Volume);
  std::printf("    Density: %lg g/cm3\n", crystal.Density);

  std::printf("Atom types:\n");
  for (int i = 0; i < crystal.nAtomTypes; ++i) {
    const CAtomType& type = crystal.AtomTypes[i];
    std::printf("  %2s Z=%lg q=%lg m=%lg\n", type.Name.c_str(), type.AtomicNumber, type.Charge, type.AtomicWeight);
  }

  if (switches.bShowAsymmetricUnit) {
    std::printf("Atoms in Asymmetric unit:\n");
    for (int i = 0; i < crystal.nAtomAsymSites; ++i) PrintSite(crystal, crystal.AtomAsymSites[i]);
  }

  // Sites per atom type in the unit cell, every site counting 1 whatever its
  // occupancy. A site without a type has no counter: it is listed (with its
  // label) but not counted, since the composition is given per type.
  std::vector<int> counts(static_cast<size_t>(crystal.nAtomTypes), 0);
  const bool bShowAllAtoms = switches.bShowAllAtoms;
  if (bShowAllAtoms) std::printf("Atoms in unit cell:\n");
  for (int i = 0; i < crystal.nAtomSites; ++i) {
    const CAtomSite& site = crystal.AtomSites[i];
    if (crystal.TypeOf(site)) ++counts[static_cast<size_t>(site.iAtomType)];
    if (bShowAllAtoms) PrintSite(crystal, site);
  }

  std::printf("Chemical composition:\n");
  for (int i = 0; i < crystal.nAtomTypes; ++i)
    std::printf("  %2s: %d\n", crystal.AtomTypes[i].Name.c_str(), counts[static_cast<size_t>(i)]);
  return 1;
}

}  // namespace quorvel
