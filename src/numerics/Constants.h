// Process-wide numeric constants.
#pragma once

namespace quorvel {

// Pi to ten decimals, as everywhere in the program's arithmetic.
constexpr double kPi = 3.1415926535;
constexpr double kDegToRad = kPi * (1.0 / 180.0);
constexpr double kRadToDeg = 180.0 / kPi;

// Lengths: the crystal holds nm, the files mostly Angstrom. Multiply by the
// factor named for the direction of the conversion.
constexpr double kNmPerAngstrom = 0.1;
constexpr double kAngstromPerNm = 10.0;
// The bohr as the converters have always taken it: 0.529 Angstrom (kept for
// WIEN2k structure files, whose converter has not moved to the radius below).
constexpr double kAngstromPerBohr = 5.29e-11 * 1e10;
// The Bohr radius (CODATA 2018) in Angstrom: pw.x's bohr and "a.u." of length.
constexpr double kAngstromPerBohrRadius = 0.529177210903;

}  // namespace quorvel
