// The CIF reader on arbitrary files, as the CIF-reading actions use it.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "formats/CIFFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quorvel_fuzz::SilenceStdout();
  std::string path = quorvel_fuzz::WriteScratchFile(data, size, "input.cif");
  quorvel::CCIFFile record;
  record.Read(path);
  quorvel::CCIFFile copy(record);
  (void)copy;
  return 0;
}
