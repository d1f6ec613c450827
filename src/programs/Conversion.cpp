#include "programs/Conversion.h"

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

}  // namespace quorvel
