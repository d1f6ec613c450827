#include "formats/CIFCrystal.h"

#include <algorithm>
#include <cstdio>
#include <memory>

#include "crystal/Crystal.h"
#include "formats/CIFFile.h"
#include "formats/CIFTags.h"

namespace quorvel {

namespace {

// Fractional distance along each axis within which images are one site.
constexpr double kPrintedPrecision = 0.001;

// A file read by its tags that lists no operations names its space group:
// by Hall symbol, by Hermann-Mauguin symbol or by number, in that order of
// trust, looked up in the space-group database (first setting for a number).
void LoadNamedSpaceGroup(const CCIFFile& record, CCrystal& crystal) {
  const std::string& path = crystal.Databases.SPGDBPath;
  int number = 0, secondKey = 1;
  bool found = !record.HallSymbol.empty() && CSpaceGroup::FindByHall(record.HallSymbol, path, number, secondKey) == 1;
  if (!found && !record.SpaceGroupName.empty())
    found = CSpaceGroup::FindByName(record.SpaceGroupName, path, number, secondKey) == 1;
  if (!found && record.SpaceGroupNumber > 0) {
    number = record.SpaceGroupNumber;
    secondKey = 1;
    found = true;
  }
  if (!found || number <= 0) {
    std::printf("CIF file [%s] lists no symmetry operations and names no space group the database knows: "
                "read as P1.\n", record.Path.c_str());
    crystal.SpaceGroup.AddOperationText("x,y,z");
    return;
  }
  crystal.SpaceGroup.ReadSPG(number, secondKey, path);
}

// The sites of a file read by its tags. A type the table has no room for
// (the record kept the first types) leaves its sites without a type, and
// that is said once, with their count, instead of once for every site.
void AddSitesOfKnownTypes(const CCIFFile& record, int nSites, CCrystal& crystal) {
  int nUntyped = 0;
  for (int i = 0; i < nSites; ++i) {
    const std::string& symbol = record.SiteTypeSymbols[i];
    int iType = crystal.FindAtomType(symbol);
    if (iType < 0 && crystal.nAtomTypes < crystal.nMaxAtomTypes) iType = crystal.AddAtomType(symbol, 0.0, true);
    if (iType < 0) ++nUntyped;
    crystal.AddAtomAsymSiteOfType(record.SiteLabels[i], symbol, iType, record.SiteOccupancies[i], record.SiteX[i],
                                  record.SiteY[i], record.SiteZ[i], 0, 0, 0);
  }
  if (nUntyped > 0)
    std::printf("Error in CIF file [%s]: more than %d atom types; %d sites are left without a type.\n",
                record.Path.c_str(), crystal.nMaxAtomTypes, nUntyped);
}

}  // namespace

// The space group takes the file's own operations, in file order, replacing
// the identity that Initialize put first: a file without an operation loop
// has no operations and so no unit-cell sites.
void BuildCrystalFromCIF(const CCIFFile& record, const std::string& path, CCrystal& crystal) {
  crystal.Initialize();
  crystal.Name = path;
  crystal.ChemicalName = record.SystematicName;
  crystal.SetLatticeParameters(record.a, record.b, record.c, record.alpha, record.beta, record.gamma);
  crystal.CalculateLatticeVectors();

  crystal.SpaceGroup.Name = record.SpaceGroupName;
  crystal.SpaceGroup.Number = record.SpaceGroupNumber;
  crystal.SpaceGroup.SecondKey = 1;
  crystal.SpaceGroup.nOperations = 0;
  int nOperations = std::min(std::max(record.nSymmetryOperations, 0), static_cast<int>(CCIFFile::kMaxSymmetryOperations));
  for (int i = 0; i < nOperations; ++i) crystal.SpaceGroup.AddOperationText(record.SymmetryOperations[i]);
  if (record.ReadByTags && nOperations == 0) LoadNamedSpaceGroup(record, crystal);

  crystal.AllocateAtomTypes(record.nMaxAtomTypes);
  int nTypes = std::min({record.nAtomTypes, static_cast<int>(record.AtomTypeSymbols.size()),
                         static_cast<int>(record.OxidationNumbers.size())});
  for (int i = 0; i < nTypes; ++i) crystal.AddAtomType(record.AtomTypeSymbols[i], record.OxidationNumbers[i], true);

  crystal.AllocateAtomAsymSites(record.nMaxAtomSites);
  int nSites = std::min({record.nAtomSites, static_cast<int>(record.SiteLabels.size()),
                         static_cast<int>(record.SiteTypeSymbols.size()), static_cast<int>(record.SiteX.size()),
                         static_cast<int>(record.SiteY.size()), static_cast<int>(record.SiteZ.size()),
                         static_cast<int>(record.SiteOccupancies.size())});
  if (record.ReadByTags) {
    AddSitesOfKnownTypes(record, nSites, crystal);
  } else {
    for (int i = 0; i < nSites; ++i)
      crystal.AddAtomAsymSite(record.SiteLabels[i], record.SiteTypeSymbols[i], record.SiteOccupancies[i],
                              record.SiteX[i], record.SiteY[i], record.SiteZ[i], 0, 0, 0);
  }

  // A file read by its tags prints its positions to a few decimals (2/3 as
  // 0.6667 or 0.667): images closer than that are one site, as ASE takes them.
  if (record.ReadByTags)
    crystal.ExpandAsymSitesWithin(kPrintedPrecision);
  else
    crystal.ExpandAsymSites();
}

int ReadCIFCrystal(const std::string& path, const CDatabasePaths& databases, CCrystal& crystal) {
  // The record is large (its operation texts are a fixed table): it lives on
  // the heap only while the crystal is built.
  auto record = std::make_unique<CCIFFile>();
  if (record->Read(path) < 1) return -1;
  if (record->ReadByTags && ReadCIFTags(path, *record) < 1) return 0;
  crystal.Databases = databases;
  BuildCrystalFromCIF(*record, path, crystal);
  return 1;
}

}  // namespace quorvel
