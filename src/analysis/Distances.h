#pragma once

#include <string>

#include "crystal/DatabasePaths.h"

namespace quorvel {
class CCrystal;

// The distances listed: from MinimumDistance to MaximumDistance, in A, both
// included.
struct CDistanceWindow {
  double MinimumDistance = 0;
  double MaximumDistance = 0;
};

int ListDistances(const CCrystal& crystal, const CDistanceWindow& window, const std::string& outPath);
// The action CalDistance: interatomic distances of a CIF structure.
int CalDistance(const std::string& cifPath, const std::string& outPath, const CDatabasePaths& databases,
                const CDistanceWindow& window);

}  // namespace quorvel
