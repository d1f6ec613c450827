#include "programs/Conversion.h"

#include <cstdio>

#include "crystal/Crystal.h"

namespace quorvel {

void AllocateConverterTables(CCrystal& crystal) {
  crystal.AllocateAtomTypes(CCrystal::kConverterAtomTypes);
  crystal.AllocateAtomAsymSites(CCrystal::kConverterAtomSites);
  crystal.AllocateAtomSites(CCrystal::kConverterAtomSites);
}

std::unique_ptr<CCrystal> NewConverterCrystal(const std::string& name, const CDatabasePaths& databases) {
  auto crystal = std::make_unique<CCrystal>();
  crystal->Name = name;
  crystal->Databases = databases;
  crystal->SpaceGroup.Initialize();
  AllocateConverterTables(*crystal);
  return crystal;
}

bool HoldsAtoms(const CCrystal& crystal, const std::string& path) {
  if (crystal.nAtomAsymSites > 0) return true;
  std::printf("Error: No atoms were read from [%s]: nothing is written.\n", path.c_str());
  return false;
}

}  // namespace quorvel
