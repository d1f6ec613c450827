// CASTEP runs: the main output file (.castep) of a geometry optimisation or a
// dynamics run, read step by step.
#pragma once

#include <string>

#include "text/LineReader.h"
#include "programs/Conversion.h"

namespace quorvel {
class CCrystal;

namespace CASTEP {

// Reads the starting structure from the reader's position (the start of the
// file): the first "Unit Cell" block and the atom table after it. The sites of
// the crystal are replaced. Returns the number of sites read.
int ReadStartingStructure(LineReader& stream, CCrystal& crystal);

// Reads the next step: the forces of the next "** Forces **" block, then the
// cell and the fractional coordinates printed after it, as many atoms as the
// crystal held before. The step is left without sites when no cell block
// follows. Returns 1.
int ReadNextCrystalStructureFromOutput(LineReader& stream, CCrystal& crystal);

}  // namespace CASTEP

// The action CASTEPConvOutput: argument names the run (any extension).
int CASTEPConvOutput(const std::string& argument, const CConversionSettings& settings);

}  // namespace quorvel
