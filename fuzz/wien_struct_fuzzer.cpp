// The action WIENMakeCIFFromStruct on arbitrary structure files (run.struct),
// with the shipped space-group database for the group of the lattice line.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quorvel_fuzz::SilenceStdout();
  quorvel_fuzz::WriteScratchFiles(data, size, {"run.struct"});
  // The shipped databases, for the space-group lookups.
  quorvel_fuzz::RunAction({"--Action=WIENMakeCIFFromStruct", "--DBDir=" QUORVEL_DATA_DIR, quorvel_fuzz::ScratchDirectory() + "/run.struct"});
  return 0;
}
