// The action DVXaF01Conv on arbitrary F01 files (run.F01, edited in place
// after its backup run.F01.prev), spin polarisation switched off.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quorvel_fuzz::SilenceStdout();
  quorvel_fuzz::WriteScratchFiles(data, size, {"run.F01"});
  quorvel_fuzz::RunAction({"--Action=DVXaF01Conv", "--Spin=N", "--Madelung=2", quorvel_fuzz::ScratchDirectory() + "/run.F01"});
  return 0;
}
