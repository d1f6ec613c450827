// Shared pieces of the fuzz targets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quorvel_fuzz {

// Writes the input to a private scratch file and returns its path. The file
// is rewritten for every input; readers open it by name as the actions do.
std::string WriteScratchFile(const uint8_t* data, size_t size, const char* name = "input");
// A private scratch directory (created once per process), the working
// directory of the targets so that outputs land there.
const std::string& ScratchDirectory();
// Silences standard output (the readers print their messages there).
void SilenceStdout();

}  // namespace quorvel_fuzz
