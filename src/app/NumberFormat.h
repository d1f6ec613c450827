// The fast number writer of the program: the bytes of printf's "%*.*f" and
// "%*d", without printf's cost, for the writers that print hundreds of
// thousands of numbers (trajectory frames, distance listings).
#pragma once

#include <cstddef>

namespace quorvel {

// Room that one call may need: a sign, 309 integer digits of the largest
// double, the point, 15 decimals, and width padding up to kMaxFormatWidth.
constexpr int kMaxFormatWidth = 64;
constexpr size_t kFormatRoom = 400;

// Writes x as std::printf("%*.*f", width, precision, x) does in the "C"
// locale (right-aligned in width, correctly rounded, "-0.000" for a negative
// value that rounds to zero, "inf" and "nan" as printf spells them) to out,
// which has room for kFormatRoom characters; returns the end of what was
// written (no terminator). precision 0..15, width 0..kMaxFormatWidth.
char* FormatFixed(char* out, double x, int width, int precision);

// Writes value as std::printf("%*d", width, value) does; width
// 0..kMaxFormatWidth.
char* FormatInt(char* out, int value, int width);

}  // namespace quorvel
