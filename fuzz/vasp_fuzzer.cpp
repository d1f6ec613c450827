// The VASP readers on arbitrary run directories: the input is split at "@@@"
// lines into POTCAR, POSCAR and OUTCAR, which the action VASPMakeXSF converts
// (at most 1000 ionic steps); the OUTCAR text is also read as an INCAR. An
// empty POSCAR part leaves the folder without POSCAR, so that OUTCAR's own
// types and counts are read.
#include <cstdint>
#include <cstdio>
#include <string>

#include "FuzzSupport.h"
#include "programs/vasp/VASP.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quorvel_fuzz::SilenceStdout();
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::string parts[3];
  size_t start = 0;
  for (int i = 0; i < 3; ++i) {
    size_t cut = i < 2 ? input.find("\n@@@\n", start) : std::string::npos;
    parts[i] = input.substr(start, cut == std::string::npos ? std::string::npos : cut - start);
    if (cut == std::string::npos) break;
    start = cut + 5;
  }
  const char* names[3] = {"POTCAR", "POSCAR", "OUTCAR"};
  std::string paths[3];
  for (int i = 0; i < 3; ++i)
    paths[i] = quorvel_fuzz::WriteScratchFile(reinterpret_cast<const uint8_t*>(parts[i].data()), parts[i].size(),
                                              names[i]);
  if (parts[1].empty()) std::remove(paths[1].c_str());
  quorvel_fuzz::RunAction({"--Action=VASPMakeXSF", "--nLastStep=1000", paths[1]});
  std::string title;
  quorvel::CVASP::ReadINCARTitle(paths[2], title);
  return 0;
}
