#include "programs/other/OutputScan.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace quorvel {

int CountLinesContaining(LineReader& reader, const char* text) {
  int n = 0;
  while (reader.ReadLineContaining(text))
    if (n < INT_MAX) ++n;
  return n;
}

bool ReadUntilContaining(LineReader& reader, const char* text) { return reader.ReadLineContaining(text); }

bool SkipLines(LineReader& reader, int n) {
  for (int i = 0; i < n; ++i)
    if (!reader.ReadLine()) return false;
  return true;
}

}  // namespace quorvel
