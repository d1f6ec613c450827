#include "programs/other/OutputScan.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace quorvel {

int CountLinesContaining(LineReader& reader, const char* text) {
  int n = 0;
  while (reader.ReadLine())
    if (std::strstr(reader.Line(), text) && n < INT_MAX) ++n;
  return n;
}

bool ReadUntilContaining(LineReader& reader, const char* text) {
  while (reader.ReadLine())
    if (std::strstr(reader.Line(), text)) return true;
  return false;
}

bool SkipLines(LineReader& reader, int n) {
  for (int i = 0; i < n; ++i)
    if (!reader.ReadLine()) return false;
  return true;
}

bool ScanWord(const char*& text, const char*& word, size_t& length) {
  const char* p = text;
  while (IsScanSpace(*p)) ++p;
  const char* end = p;
  while (*end && !IsScanSpace(*end)) ++end;
  if (end == p) return false;
  word = p;
  length = static_cast<size_t>(end - p);
  text = end;
  return true;
}

bool ScanInt(const char*& text, int& value) {
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(text, &end, 10);
  if (end == text) return false;
  // Out of range numbers are held at the 32-bit limits.
  if (v > INT_MAX) v = INT_MAX;
  if (v < INT_MIN) v = INT_MIN;
  value = static_cast<int>(v);
  text = end;
  return true;
}

bool ScanDouble(const char*& text, double& value) {
  char* end = nullptr;
  double v = std::strtod(text, &end);
  if (end == text) return false;
  value = v;
  text = end;
  return true;
}

int ScanDoubles(const char*& text, double* values, int n) {
  int read = 0;
  while (read < n && ScanDouble(text, values[read])) ++read;
  for (int i = read; i < n; ++i) values[i] = 0.0;
  return read;
}

}  // namespace quorvel
