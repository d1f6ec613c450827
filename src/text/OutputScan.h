// Line searches and number scans shared by the step readers of the output
// conversions. They work on the line reader's own buffer, so that reading a
// long output file allocates nothing per line.
#pragma once

#include <cstddef>
#include <string>

#include "text/LineReader.h"
#include "text/NumberScan.h"
#include "text/OutputFile.h"
#include "text/TextUtil.h"

namespace quorvel {

// Number of lines from the reader's position to the end of the file that
// contain text (case-sensitive).
int CountLinesContaining(LineReader& reader, const char* text);
// Reads lines until one contains text; true when found (that line is then the
// reader's current line), false at end of file.
bool ReadUntilContaining(LineReader& reader, const char* text);
// Opens a file to be rewritten (inPath, read through in) and its updated copy
// (outPath, opened with mode, "w" or "wb"). When one cannot be opened, says
// so after context ("Can not read [...]." or "Can not write to [...].") and
// returns false; the copy is not created when the file cannot be read. The
// copy is put in place by out.Commit.
bool OpenForUpdate(LineReader& in, const std::string& inPath, COutputFile& out, const std::string& outPath,
                   const char* mode, const char* context);
// Reads and drops n lines; false when the file ends first.
bool SkipLines(LineReader& reader, int n);

}  // namespace quorvel
