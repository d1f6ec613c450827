// Process-wide numeric constants.
#pragma once

namespace quorvel {

// Pi to ten decimals, as everywhere in the program's arithmetic.
constexpr double kPi = 3.1415926535;
constexpr double kDegToRad = kPi * (1.0 / 180.0);
constexpr double kRadToDeg = 180.0 / kPi;

}  // namespace quorvel
