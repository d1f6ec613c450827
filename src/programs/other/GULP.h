// GULP input files (keywords title, name, cell, fractional or cartesian,
// space and origin) to CIF.
#pragma once

#include <string>

#include "crystal/DatabasePaths.h"

namespace quorvel {
class CCrystal;

namespace CGULP {

// Reads the structure of a GULP input file into a converter's crystal
// (NewConverterCrystal): the asymmetric unit with its space group, without
// expanding it. 1 after reading, -1
// when the file cannot be opened.
int ReadCrystalStructure(const std::string& path, CCrystal& crystal);

}  // namespace CGULP

// The action GULPMakeCIFFromInput: the structure of a GULP input file to a CIF
// file of the same name with the extension "cif". Returns 1.
int GULPMakeCIFFromInput(const std::string& path, const CDatabasePaths& databases);

}  // namespace quorvel
