#pragma once

#include <string>

namespace quorvel {
class CCrystal;

// Writes the crystal as a CIF file. 1 when written, -1 when the file cannot be
// created. Composes the crystal's FormulaSum when it is still empty.
int WriteCIF(CCrystal& crystal, const std::string& path);

}  // namespace quorvel
