// The CIF-reading actions' road on arbitrary files: read (by position or by
// tags), build and expand the crystal, write it back as CIF and list its
// distances (short cut-off). The shipped space-group database is given, so
// that files naming only their space group are looked up in it.
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "analysis/Distances.h"
#include "analysis/RDF.h"
#include "crystal/Crystal.h"
#include "formats/CIFWriter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quorvel_fuzz::SilenceStdout();
  std::string path = quorvel_fuzz::WriteScratchFile(data, size, "input.cif");
  quorvel::CCrystal crystal;
  quorvel::CDatabasePaths databases;
  databases.SPGDBPath = QUORVEL_DATA_DIR "/spgra";
  if (!quorvel::ReadCIFStructure(path, databases, crystal)) return 0;
  quorvel::CCrystal copy(crystal);
  quorvel::WriteCIF(copy, quorvel_fuzz::ScratchDirectory() + "/output.cif");
  quorvel::ListDistances(crystal, quorvel::CDistanceWindow{0.5, 3}, quorvel_fuzz::ScratchDirectory() + "/distances.txt");
  return 0;
}
