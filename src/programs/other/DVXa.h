// DV-Xa F01 input files.
#pragma once

#include <string>

namespace quorvel {

// The action DVXaF01Conv: edits the F01 file in place. The line holding "Spin"
// gets the spin-polarisation switch of the option Spin, the line holding
// "M.P." the Madelung switch of the option Madelung, and the first line moves
// to the end of the file unless it begins with '|'. The former file is kept
// as "<path>.prev". Returns 1, or -1 when the backup cannot be made, -2 when
// it cannot be read back, -3 when the file cannot be written.
// spin: the option's text, of which only the first character counts (n or N
// switches spin polarisation off); madelung: the Madelung switch written.
int DVXaF01Conv(const std::string& path, const std::string& spin, int madelung);

}  // namespace quorvel
