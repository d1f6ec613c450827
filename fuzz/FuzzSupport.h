// Shared pieces of the fuzz targets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvel_fuzz {

// Writes the input to a private scratch file and returns its path. The file
// is rewritten for every input; readers open it by name as the actions do.
std::string WriteScratchFile(const uint8_t* data, size_t size, const char* name = "input");
// A private scratch directory (created once per process), the working
// directory of the targets so that outputs land there.
const std::string& ScratchDirectory();
// Splits the input at lines "----8<----" into at most n files written to the
// scratch directory under the given names (missing parts give no file, so
// that missing companions are fuzzed too). Seeds are made by joining real
// input sets with that line.
void WriteScratchFiles(const uint8_t* data, size_t size, const std::vector<std::string>& names);
// Runs the program with these arguments, as its command line would: the
// option table, the run frame and the action's handler.
int RunAction(const std::vector<std::string>& arguments);
// Silences standard output (the readers print their messages there).
void SilenceStdout();

}  // namespace quorvel_fuzz
