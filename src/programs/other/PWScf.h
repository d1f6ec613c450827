// PWScf (Quantum ESPRESSO pw.x) runs: the namelist input file (.inp) and the
// steps of the output file.
#pragma once

#include <string>
#include <vector>

#include "text/LineReader.h"
#include "programs/Conversion.h"

namespace quorvel {
class CCrystal;

class CPWScf {
 public:
  // Reads title, cell (A, B, C, cosAB, cosAC, cosBC of &SYSTEM), species and
  // starting positions of an input file into the crystal, then builds the
  // lattice vectors and the unit cell. 1, or -1 (with its message) when the
  // file cannot be read; the crystal is then left as it was.
  static int ReadInpFile(const std::string& path, CCrystal& crystal);

  // Reads the next step of an output file: the forces of the next "Forces
  // acting on atoms" block and the positions of the ATOMIC_POSITIONS block
  // after it, nAtoms lines each. The crystal's sites are replaced by the step's
  // atoms. forces is scratch space, kept by the caller across steps. Returns
  // the number of sites of the step.
  static int ReadNextStep(LineReader& reader, CCrystal& crystal, int nAtoms, std::vector<double>& forces);

  // Copies the input file to updatedPath with the cell and the positions of
  // the crystal. 1, or -1 (with its message) when a file cannot be opened.
  static int UpdateInpFile(const std::string& inputPath, const std::string& updatedPath, const CCrystal& crystal);
};

// The action PWScfConvOutput: argument is the output file of the run.
int PWScfConvOutput(const std::string& argument, const CConversionSettings& settings);

}  // namespace quorvel
