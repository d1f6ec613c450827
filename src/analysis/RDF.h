#pragma once

#include <string>

namespace quorvel {
class CCrystal;

// mode 1: "...-Final-RDF...", 2: "...-Averaged-RDF...", otherwise "...-RDF...".
int CalculateRDF(const CCrystal& crystal, int mode);
int CalculateCNRDF(const CCrystal& crystal, int CN, int mode);

// The action CalRDF: RDF and coordination-number tables of a CIF structure.
int CalRDF(const std::string& path, const std::string& unused);

}  // namespace quorvel
