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
// The bohr radius in Angstrom (CODATA 2018).
constexpr double kBohrRadiusInAngstrom = 0.529177210903;

}  // namespace quorvel
