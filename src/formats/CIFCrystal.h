// The bridge from a CIF file to the crystal model: the crystal knows nothing
// of CIF, and the CIF record nothing of crystals.
#pragma once

#include <string>

#include "crystal/DatabasePaths.h"

namespace quorvel {
class CCIFFile;
class CCrystal;

// Builds the crystal from a CIF record read from path: cell, the file's own
// operations, atom types and asymmetric sites, then the unit cell.
void BuildCrystalFromCIF(const CCIFFile& record, const std::string& path, CCrystal& crystal);

// Reads the CIF file at path and builds the crystal from it with the given
// databases: 1; -1, with the crystal untouched and nothing said, when the file
// cannot be opened; 0, with the crystal untouched, when a file read by its
// tags was refused (the reader has said why in one line).
int ReadCIFCrystal(const std::string& path, const CDatabasePaths& databases, CCrystal& crystal);

}  // namespace quorvel
