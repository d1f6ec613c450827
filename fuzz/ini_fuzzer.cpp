// The private-profile lookup on arbitrary files.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "system/Platform.h"
#include "text/ProfileFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string path = quorvel_fuzz::WriteScratchFile(data, size, "atoms.ini");
  for (const char* section : {"Si", "O", ""})
    for (const char* key : {"Charge", "Label", "ViewRadius"})
      (void)quorvel::GetPrivateProfileString(section, key, "-1.0", path);
  return 0;
}
