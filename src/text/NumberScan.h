// The one fast number reader of the program: scanf/strtod results, bit for
// bit, without allocation. The plain decimal numbers that output files are
// made of are converted by hand; anything else goes to the C library.
#pragma once

#include <cstddef>

namespace quorvel {

// The white space that scanf skips in the "C" locale.
inline bool IsScanSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Scanners with the results of the scanf conversions "%s", "%d" and "%lg":
// white space (as isspace in the "C" locale) is skipped first. On success
// text is advanced past what was converted and true is returned; on failure
// text and the output are left alone. A caller that knows where the text
// ends (its terminator's place) passes it as end: the results are the same,
// and the wide blank columns of output files are passed eight at a time.
bool ScanWord(const char*& text, const char*& word, size_t& length, const char* end = nullptr);
bool ScanInt(const char*& text, int& value, const char* end = nullptr);
bool ScanDouble(const char*& text, double& value, const char* end = nullptr);
// Reads up to n numbers ("%lg" each) into values; the values after the first
// one that cannot be read are set to 0. Returns how many were read.
int ScanDoubles(const char*& text, double* values, int n, const char* end = nullptr);

// Reads up to n numbers from text as successive strtod calls would, stopping
// at the first text that is not a number. Returns how many were read; later
// entries of values are untouched.
int ScanNumbers(const char* text, double* values, int n);

}  // namespace quorvel
