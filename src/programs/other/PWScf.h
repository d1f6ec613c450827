// PWScf (Quantum ESPRESSO pw.x) runs: the namelist input file (.inp) and the
// steps of the output file.
#pragma once

#include <string>

#include "programs/Conversion.h"

namespace quorvel {
class CCrystal;

namespace CPWScf {

// Reads title, cell (A, B, C, cosAB, cosAC, cosBC of &SYSTEM), species and
// starting positions of an input file into the crystal, then builds the
// lattice vectors and the unit cell. 1, or -1 (with its message) when the
// file cannot be read; the crystal is then left as it was.
int ReadInpFile(const std::string& path, CCrystal& crystal);

// Copies the input file to updatedPath with the cell and the positions of
// the crystal. 1, or -1 (with its message) when a file cannot be opened.
int UpdateInpFile(const std::string& inputPath, const std::string& updatedPath, const CCrystal& crystal);

}  // namespace CPWScf

// The action PWScfConvOutput: argument is the output file of the run.
int PWScfConvOutput(const std::string& argument, const CConversionSettings& settings);

}  // namespace quorvel
