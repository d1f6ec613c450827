// The fast number writer of the program: the bytes of printf's "%*.*f" and
// "%*d", without printf's cost, for the writers that print hundreds of
// thousands of numbers (trajectory frames, distance listings).
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

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

// Writes x as std::printf("%*.*g", width, precision, x) does ("%g" and
// "%lg" are the same conversion); precision 0..15, width
// 0..kMaxFormatWidth. Room as for FormatFixed.
char* FormatGeneral(char* out, double x, int width, int precision);

// std::fprintf(file, format, ...), with the same bytes and result, for the
// lines that are printed hundreds of thousands of times. Conversions %d, %i,
// %c, %s, %f, %g (also %lf, %lg), with width, precision and the '-' flag, are
// composed here; a format with anything else goes to vfprintf whole. The
// format strings at the call sites stay the printf formats they replace.
int FastFprintf(std::FILE* file, const char* format, ...);
int FastPrintf(const char* format, ...);  // to standard output

}  // namespace quorvel
