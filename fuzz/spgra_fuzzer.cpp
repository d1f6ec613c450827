// The space-group database reader on arbitrary files (by number and by
// name), and the expansion of a site with whatever group it loaded.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "crystal/SpaceGroup.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quorvel_fuzz::SilenceStdout();
  std::string path = quorvel_fuzz::WriteScratchFile(data, size, "spgra");
  int number = 0, secondKey = 0;
  quorvel::CSpaceGroup::FindByName("P 1 21/c 1", path, number, secondKey);
  quorvel::CSpaceGroup group;
  for (int number : {1, 14, 225}) {
    group.ReadSPG(number, 1, path);
    for (int i = 0; i < group.nOperations; ++i)
      for (int k = 0; k <= group.bInversion; ++k) {
        double x, y, z;
        group.ApplyOperation(i, 0, k, 0.1, 0.2, 0.3, x, y, z);
      }
  }
  return 0;
}
