// The action WIENConvDOS on arbitrary file sets: the .int file and the three
// DOS files of each of the three sets, split at "----8<----" lines in this
// order: run.int, run.dos1ev, run.dos2ev, run.dos3ev, then the up and the dn
// files (a set whose first file is missing is skipped).
#include <cstdint>
#include <string>

#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quorvel_fuzz::SilenceStdout();
  quorvel_fuzz::WriteScratchFiles(data, size,
                                  {"run.int", "run.dos1ev", "run.dos2ev", "run.dos3ev", "run.dos1evup", "run.dos2evup",
                                   "run.dos3evup", "run.dos1evdn", "run.dos2evdn", "run.dos3evdn"});
  quorvel_fuzz::RunAction({"--Action=WIENConvDOS", quorvel_fuzz::ScratchDirectory() + "/run.int"});
  return 0;
}
