#pragma once

#include <string>

#include "crystal/DatabasePaths.h"

namespace quorvel {

// The listings a report adds to the cell, types and composition.
struct CReportSwitches {
  bool bShowAsymmetricUnit = false;
  bool bShowAllAtoms = false;
};

// The action ShowCIFInf: a plain-text report of a CIF structure.
int ShowCIFInf(const std::string& path, const CDatabasePaths& databases, const CReportSwitches& switches);

}  // namespace quorvel
