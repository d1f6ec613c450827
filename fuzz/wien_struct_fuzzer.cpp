// The action WIENMakeCIFFromStruct on arbitrary structure files (run.struct),
// with the shipped space-group database for the group of the lattice line.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "app/RunFrame.h"
#include "programs/wien2k/WIENStruct.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quorvel_fuzz::SilenceStdout();
  quorvel_fuzz::WriteScratchFiles(data, size, {"run.struct"});
  quorvel_fuzz::SetOptions({});
  quorvel::SPGDBPath = QUORVEL_DATA_DIR "/spgra";
  quorvel::WIENMakeCIFFromStruct(quorvel_fuzz::ScratchDirectory() + "/run.struct", "");
  return 0;
}
