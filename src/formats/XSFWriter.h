#pragma once

#include <cstdio>
#include <string>

namespace quorvel {
class CCrystal;

// Creates an animated XSF file (binary mode, "\n" line ends) and writes its
// header for nFrames frames. Null when the file cannot be created (the caller
// prints its own message).
std::FILE* CreateXSFFile(const std::string& path, int nFrames);
// Writes one frame block labelled step; returns the number of atom lines.
int WriteXSFFrame(std::FILE* file, int step, const CCrystal& crystal);

}  // namespace quorvel
