// Line searches and number scans shared by the step readers of the output
// conversions. They work on the line reader's own buffer, so that reading a
// long output file allocates nothing per line.
#pragma once

#include <cstddef>

#include "app/LineReader.h"

namespace quorvel {

// Number of lines from the reader's position to the end of the file that
// contain text (case-sensitive).
int CountLinesContaining(LineReader& reader, const char* text);
// Reads lines until one contains text; true when found (that line is then the
// reader's current line), false at end of file.
bool ReadUntilContaining(LineReader& reader, const char* text);
// Reads and drops n lines; false when the file ends first.
bool SkipLines(LineReader& reader, int n);

// The white space that scanf skips in the "C" locale.
inline bool IsScanSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Scanners with the results of the scanf conversions "%s", "%d" and "%lg":
// white space (as isspace in the "C" locale) is skipped first. On success
// text is advanced past what was converted and true is returned; on failure
// text and the output are left alone.
bool ScanWord(const char*& text, const char*& word, size_t& length);
bool ScanInt(const char*& text, int& value);
bool ScanDouble(const char*& text, double& value);
// Reads up to n numbers ("%lg" each) into values; the values after the first
// one that cannot be read are set to 0. Returns how many were read.
int ScanDoubles(const char*& text, double* values, int n);

}  // namespace quorvel
