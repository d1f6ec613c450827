// Text, number, path and file helpers shared by every reader and writer.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

namespace quorvel {

// White space is blank, tab, carriage return and line feed, nothing else.
inline bool IsWhite(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
inline bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// ASCII case-insensitive comparisons: prefix and whole text.
// An ASCII capital as its small letter; every other byte as it is.
char ToLowerAscii(char c);
// The text with its ASCII capitals as small letters.
std::string ToLowerAscii(std::string text);
bool StartsWithNoCase(const char* text, const char* prefix);
bool EqualNoCase(const std::string& a, const std::string& b);

// Trim: removes trailing, then leading white space in place. Returns 0 when
// leading white space was removed, -2 otherwise.
int Trim(char* text);
void Trim(std::string& text);
// StripQuotes: Trim, then remove one pair of matching outer quotes (" or ').
// Returns 0 when a pair was removed, -1 otherwise.
int StripQuotes(char* text);
int StripQuotes(std::string& text);
// First character that is not white space (the terminator if there is none).
const char* SkipBlanks(const char* text);
char* SkipBlanks(char* text);

// Maps a fractional coordinate into [0, 0.9999999999) by whole steps; values
// already in [0, 1) are returned unchanged.
double FoldToUnitCell(double x);
// Whether two fractional coordinates are within tolerance, across the cell's
// edge too (0.9996 and 0.0003).
bool NearModuloOne(double a, double b, double tolerance);

// Joins a directory and a file name with one separator, unless the directory
// is empty or already ends with a separator (that is not the second byte of a
// double-byte character).
void JoinPath(std::string& out, const std::string& directory, const std::string& fileName);
// The same rule without the double-byte test.
std::string JoinPathString(const std::string& directory, const std::string& fileName);
// Replaces the last extension of the file name (keeping drive and directory);
// "csv" and ".csv" give the same result.
std::string& ReplaceExtension(std::string& path, const std::string& newExtension);
// The text up to its last '.', wherever that dot is (also in a directory
// name), or the whole text without any dot: the output conversions derive
// their companion names this way.
std::string CutAtLastDot(const std::string& text);
// The path without the extension of its file name ("dir/run.out" -> "dir/run").
std::string StripExtension(const std::string& path);

int FileExists(const std::string& path);
bool CopyFileContents(const std::string& source, const std::string& destination);

// Number conversions with the C library's semantics in the "C" locale: leading
// white space skipped, conversion stops at the first character that does not
// fit, 0 when there is no number. AtoI saturates at the 32-bit limits instead
// of overflowing.
double AtoF(const char* text);
int AtoI(const char* text);
inline double AtoF(const std::string& text) { return AtoF(text.c_str()); }
inline int AtoI(const std::string& text) { return AtoI(text.c_str()); }

// A fixed-column field: the characters from position start (0-based) on, at
// most width of them, cut short by the end of the text.
std::string Field(const char* line, size_t start, size_t width);

// printf into a std::string.
std::string Format(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// Owner of a std::FILE*: closes it on every return path.
struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f) std::fclose(f);
  }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;
FilePtr OpenFilePtr(const std::string& path, const char* mode);

}  // namespace quorvel
