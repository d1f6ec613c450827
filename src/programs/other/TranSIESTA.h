// TranSIESTA-C / ATK electronic-transport runs: the structure relaxation in
// the output log to an animated XSF file, CIF files of the first and last
// structures and an updated .atk input file.
#pragma once

#include <string>

#include "programs/Conversion.h"

namespace quorvel {
class CCrystal;

namespace TranSIESTA {

// Writes "<atkPath>.new": the .atk file with the crystal's cell and its bulk
// atom list. 1, or -1 (with its message) when a file cannot be opened.
int UpdateAtkFile(const std::string& atkPath, const CCrystal& crystal);

}  // namespace TranSIESTA

// The action TranSIESTAConvOutput on the output log. 1, or -1 when the log
// cannot be read, holds no cell, is itself named like the XSF file, or the XSF
// file cannot be created.
int TranSIESTAConvOutput(const std::string& argument, const CConversionSettings& settings);

}  // namespace quorvel
