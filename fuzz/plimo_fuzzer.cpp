// The Plimo actions on arbitrary file sets: FILE05, FILE07, FILE09P, FILE09V
// (ConvF09p), the .f05 input (UpdateFILE05) and the .f06 log with an existing
// history table (AddHistoryCSV).
#include <cstdint>
#include <string>

#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quorvel_fuzz::SilenceStdout();
  quorvel_fuzz::WriteScratchFiles(data, size, {"run.f05", "run.f07", "run.f9p", "run.f9v", "run.f06", "hist.csv"});
  const std::string dir = quorvel_fuzz::ScratchDirectory() + "/";
  quorvel_fuzz::RunAction({"--Action=ConvF09p", "--nLastStep=50", "--CalcRDF=1", "--MaximumDistance=2", "--nMesh=5",
                           dir + "run.f07"});
  quorvel_fuzz::RunAction({"--Action=UpdateFILE05", "--sn=3", "--NextTemperature=300", "--NextPressure=0.1",
                           dir + "run.f05"});
  quorvel_fuzz::RunAction({"--Action=AddHistoryCSV", dir + "run.f06", dir + "hist.csv"});
  return 0;
}
