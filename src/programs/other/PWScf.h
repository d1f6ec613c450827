// PWScf (Quantum ESPRESSO pw.x) runs: the frames of the output file, the
// starting structure from the input file (.inp, else .in) or from the
// output's own header, and the input updated with the final structure.
#pragma once

#include <string>

#include "programs/Conversion.h"

namespace quorvel {

// The action PWScfConvOutput: argument is the output file of the run.
int PWScfConvOutput(const std::string& argument, const CConversionSettings& settings);

}  // namespace quorvel
