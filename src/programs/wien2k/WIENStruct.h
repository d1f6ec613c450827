// WIEN2k structure files (case.struct).
#pragma once

#include <string>

#include "crystal/DatabasePaths.h"

namespace quorvel {

class CCrystal;

namespace CWIEN {

// Reads the title, the lattice line (space-group number and count of
// inequivalent atoms), the cell (bohr or Angstrom), the atoms and the
// symmetry operations of a structure file into a converter's crystal
// (NewConverterCrystal): the asymmetric unit and the operations as the file
// gives them, without expansion.
// Returns -1 when the file cannot be opened, otherwise 1.
int ReadCrystalStructure(const std::string& path, CCrystal& crystal);

}  // namespace CWIEN

// The action WIENMakeCIFFromStruct: the structure file at path to a CIF file
// beside it (same name, extension cif). Returns 1.
int WIENMakeCIFFromStruct(const std::string& path, const CDatabasePaths& databases);

}  // namespace quorvel
