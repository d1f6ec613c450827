#pragma once

#include <string>

#include "crystal/DatabasePaths.h"

namespace quorvel {
class CCrystal;

// What a run asks of the radial distribution functions.
struct CRDFSettings {
  bool bCalculate = false;      // the RDF tables of each structure written
  double MaximumDistance = 0;   // A: the tables' range
  int nMesh = 0;                // bins of a table (201 when fewer than 3)
  int CoordinationNumber = 0;   // above 0: the coordination-number tables too
};

// mode 1: "...-Final-RDF...", 2: "...-Averaged-RDF...", otherwise "...-RDF...".
int CalculateRDF(const CCrystal& crystal, const CRDFSettings& settings, int mode);
int CalculateCNRDF(const CCrystal& crystal, const CRDFSettings& settings, int mode);

// Prints "CIF File: %s\n", reads the CIF file and builds the crystal from it
// with the given databases. False after "Error in CalRDF: Can not read
// [%s].\n" when the file cannot be read (CalDistance reads its file the same
// way, with the same message).
bool ReadCIFStructure(const std::string& path, const CDatabasePaths& databases, CCrystal& crystal);

// The action CalRDF: RDF and coordination-number tables of a CIF structure.
int CalRDF(const std::string& path, const CDatabasePaths& databases, const CRDFSettings& settings);

}  // namespace quorvel
