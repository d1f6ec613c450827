// The configuration file, the weight list and the property file readers on
// arbitrary files, for a few type names.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "crystal/AtomType.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quorvel_fuzz::SilenceStdout();
  std::string path = quorvel_fuzz::WriteScratchFile(data, size, "database");
  for (const char* name : {"Si", "O2-", "Fe{b}", "3", ""}) {
    quorvel::CAtomType type;
    type.Name = name;
    type.ReadAtomConfiguration(path);
    type.ReadAtomicWeight(path);
    type.ReadAtomProperties(name, path);
  }
  return 0;
}
