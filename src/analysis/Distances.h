#pragma once

#include <string>

namespace quorvel {
class CCrystal;

int ListDistances(const CCrystal& crystal, const std::string& outPath);
// The action CalDistance: interatomic distances of a CIF structure.
int CalDistance(const std::string& cifPath, const std::string& outPath);

}  // namespace quorvel
