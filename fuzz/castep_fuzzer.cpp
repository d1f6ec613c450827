// The action CASTEPConvOutput on arbitrary input files (run.castep, split at
// "----8<----" lines), with a short RDF cut-off and few steps.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quorvel_fuzz::SilenceStdout();
  quorvel_fuzz::WriteScratchFiles(data, size, {"run.castep"});
  quorvel_fuzz::RunAction({"--Action=CASTEPConvOutput", "--nLastStep=20", "--CalcRDF=1", "--MaximumDistance=2", "--nMesh=5",
                           quorvel_fuzz::ScratchDirectory() + "/run.castep"});
  return 0;
}
