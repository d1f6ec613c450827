// The two actions on a VASP run directory.
#pragma once

#include <string>

#include "programs/Conversion.h"

namespace quorvel {

// Initial (POSCAR.initial or POSCAR) and final (CONTCAR) structures to CIF
// files and, on request, their radial distribution functions. Returns 1.
int VASPConvCONTCAR(const std::string& argument, const CConversionSettings& settings);

// The ionic steps of OUTCAR to one animated XSF file with forces. 1, or -1
// when OUTCAR cannot be read or the XSF file cannot be created.
int VASPMakeXSF(const std::string& argument, const CConversionSettings& settings);

}  // namespace quorvel
