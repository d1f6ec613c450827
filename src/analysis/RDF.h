#pragma once

#include <string>

namespace quorvel {
class CCrystal;

// mode 1: "...-Final-RDF...", 2: "...-Averaged-RDF...", otherwise "...-RDF...".
int CalculateRDF(const CCrystal& crystal, int mode);
int CalculateCNRDF(const CCrystal& crystal, int CN, int mode);

// Prints "CIF File: %s\n", reads the CIF file and builds the crystal from it
// with the run's database paths. False after "Error in CalRDF: Can not read
// [%s].\n" when the file cannot be read (CalDistance reads its file the same
// way, with the same message).
bool ReadCIFStructure(const std::string& path, CCrystal& crystal);

// The action CalRDF: RDF and coordination-number tables of a CIF structure.
int CalRDF(const std::string& path, const std::string& unused);

}  // namespace quorvel
