// CASTEP runs: the main output file (.castep) of a geometry optimisation or a
// dynamics run, read step by step.
#pragma once

#include <string>

#include "programs/Conversion.h"

namespace quorvel {

// The action CASTEPConvOutput: argument names the run (any extension).
int CASTEPConvOutput(const std::string& argument, const CConversionSettings& settings);

}  // namespace quorvel
