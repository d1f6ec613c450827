#include "text/OutputScan.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "text/Messages.h"

namespace quorvel {

int CountLinesContaining(LineReader& reader, const char* text) {
  int n = 0;
  while (reader.ReadLineContaining(text))
    if (n < INT_MAX) ++n;
  return n;
}

bool ReadUntilContaining(LineReader& reader, const char* text) { return reader.ReadLineContaining(text); }

bool OpenForUpdate(LineReader& in, const std::string& inPath, COutputFile& out, const std::string& outPath,
                   const char* mode, const char* context) {
  if (!in.Open(inPath)) {
    ReportCanNotRead(inPath, context);
    return false;
  }
  if (!out.Open(outPath, mode)) {
    if (!out.Refused()) ReportCanNotWrite(outPath, context);
    return false;
  }
  return true;
}

bool SkipLines(LineReader& reader, int n) {
  for (int i = 0; i < n; ++i)
    if (!reader.ReadLine()) return false;
  return true;
}

}  // namespace quorvel
