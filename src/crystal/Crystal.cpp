// The crystal's tables and its atom types.
#include "crystal/Crystal.h"

#include <cstdio>
#include <exception>

#include "text/TextUtil.h"

namespace quorvel {

namespace {

// The type part of a name before any "{b}" suffix.
std::string CutAtBrace(const std::string& name) { return name.substr(0, name.find('{')); }

// A negative capacity is taken as 0; a capacity that cannot be allocated
// leaves an empty table (capacity 0) rather than ending the run. Site
// tables are reserved at their capacity and filled as sites arrive (see
// NextSlot in CrystalSites.cpp): a converter's table of ten thousand sites
// costs memory, and time, only for the atoms a file has. Type tables hold
// their records from the start.
template <typename Record>
int AllocateTable(std::vector<Record>& table, int n, int& nMax, int& nUsed, bool bFilled) {
  if (n < 0) n = 0;
  table.clear();
  table.shrink_to_fit();
  nMax = 0;
  nUsed = 0;
  try {
    if (bFilled)
      table.resize(static_cast<size_t>(n));
    else
      table.reserve(static_cast<size_t>(n));
  } catch (const std::exception&) {  // bad_alloc, or length_error beyond max_size
    table.clear();
    return 0;
  }
  nMax = n;
  return n;
}

}  // namespace

CCrystal::CCrystal() { Initialize(); }

// The database paths are left alone: readers initialize a crystal after
// the action has given it the paths.
int CCrystal::Initialize() {
  SameSiteTolerance = 1e-5;
  Name.clear();
  ChemicalName = "None";
  Pressure = 0;
  Temperature = 0;
  Density = 0;
  Volume = 0;
  a = b = c = 0;
  alpha = beta = gamma = 0;
  for (int i = 0; i < 3; ++i) {
    if (LatticeVector[i].Size() != 3) LatticeVector[i].SetRange(0, 2);
    for (int j = 0; j < 3; ++j) MetricTensor[i][j] = 0;
  }
  SetLatticeVectors(1, 0, 0, 0, 1, 0, 0, 0, 1);
  FormulaSum.clear();
  SpaceGroup.Initialize();
  AllocateAtomTypes(kDefaultAtomTypes);
  AllocateAtomAsymSites(kDefaultAtomAsymSites);
  AllocateAtomSites(kDefaultAtomSites);
  return 1;
}

int CCrystal::AllocateAtomTypes(int n) {
  nAtomsInFormula.Free();
  n = AllocateTable(AtomTypes, n, nMaxAtomTypes, nAtomTypes, true);
  if (n > 0) {
    if (nAtomsInFormula.SetRange(0, n - 1) < 1) {
      AtomTypes.clear();
      nMaxAtomTypes = 0;
      return 0;
    }
    for (int i = 0; i < n; ++i) nAtomsInFormula[i] = 0;
  }
  return n;
}

int CCrystal::AllocateAtomAsymSites(int n) {
  tally_.counts = CSiteCounts();
  return AllocateTable(AtomAsymSites, n, nMaxAtomAsymSites, nAtomAsymSites, false);
}

int CCrystal::AllocateAtomSites(int n) { return AllocateTable(AtomSites, n, nMaxAtomSites, nAtomSites, false); }

// Returns the index of the new type; the index of the existing type when a
// unique name is already present; -1 when the table is full.
int CCrystal::AddAtomType(const std::string& name, double charge, bool bUnique) {
  if (nAtomTypes >= nMaxAtomTypes) {
    std::printf("nAtomTypes [%d] exceeds maximum [%d].\n", nAtomTypes, nMaxAtomTypes);
    return -1;
  }
  int nSameAtom = 0;
  if (bUnique) {
    int existing = FindAtomType(name);
    if (existing >= 0) return existing;
  } else {
    for (int i = 0; i < nAtomTypes; ++i)
      if (EqualNoCase(CutAtBrace(AtomTypes[i].Name), name)) ++nSameAtom;
  }
  std::printf("nSameAtom=%d\n", nSameAtom);

  std::string newName = name;
  if (nSameAtom > 0) {
    newName += '{';
    newName += static_cast<char>('a' + nSameAtom);
    newName += '}';
    std::printf("   [%s]\n", newName.c_str());
  }

  CAtomType& type = AtomTypes[nAtomTypes];
  type = CAtomType();
  type.Name = newName;
  type.ReadAtomConfiguration(Databases.NONRELPath);
  type.ReadAtomicWeight(Databases.ASFDCPath);
  // The display properties (radii, colours) are a viewer's: a crystal is
  // never given a properties file, so every type takes their defaults.
  type.ReadAtomProperties(name, std::string());
  type.Charge = charge;
  return nAtomTypes++;
}

int CCrystal::FindAtomType(const std::string& name) const {
  for (int i = 0; i < nAtomTypes; ++i)
    if (EqualNoCase(AtomTypes[i].Name, name)) return i;
  return -1;
}

const CAtomType* CCrystal::TypeOf(const CAtomSite& site) const {
  if (site.iAtomType < 0 || site.iAtomType >= nAtomTypes) return nullptr;
  return &AtomTypes[site.iAtomType];
}

std::string CCrystal::GetAtomTypeName(const CAtomSite& site) const {
  const CAtomType* type = TypeOf(site);
  if (type && !type->NameOrLabel().empty()) return type->NameOrLabel();
  return site.Label;
}

}  // namespace quorvel
