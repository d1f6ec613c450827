// The action GULPMakeCIFFromInput on arbitrary input files (run.gin, split at
// "----8<----" lines), with a short RDF cut-off and few steps.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "app/RunFrame.h"
#include "programs/other/GULP.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quorvel_fuzz::SilenceStdout();
  quorvel_fuzz::WriteScratchFiles(data, size, {"run.gin"});
  quorvel_fuzz::SetOptions({});
  // The shipped space-group database, for the lookup by name.
  quorvel::SPGDBPath = QUORVEL_DATA_DIR "/spgra";
  quorvel::GULPMakeCIFFromInput(quorvel_fuzz::ScratchDirectory() + "/run.gin", "");
  return 0;
}
