// The action GULPMakeCIFFromInput on arbitrary input files (run.gin, split at
// "----8<----" lines), with the shipped databases.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quorvel_fuzz::SilenceStdout();
  quorvel_fuzz::WriteScratchFiles(data, size, {"run.gin"});
  // The shipped databases, for the space-group lookups.
  quorvel_fuzz::RunAction({"--Action=GULPMakeCIFFromInput", "--DBDir=" QUORVEL_DATA_DIR, quorvel_fuzz::ScratchDirectory() + "/run.gin"});
  return 0;
}
