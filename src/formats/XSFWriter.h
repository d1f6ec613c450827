#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "app/NumberFormat.h"

namespace quorvel {
class CCrystal;

// Creates an animated XSF file (binary mode, "\n" line ends) and writes its
// header for nFrames frames. Null when the file cannot be created (the caller
// prints its own message).
std::FILE* CreateXSFFile(const std::string& path, int nFrames);
// Writes one frame block labelled step; returns the number of atom lines.
int WriteXSFFrame(std::FILE* file, int step, const CCrystal& crystal);

// One atom line of a frame, the bytes of
//   printf("%3d   %12.7f %12.7f %12.7f   %12.7f %12.7f %12.7f\n", ...)
// with the position (A) and the force in values; out has room for
// kAtomLineRoom characters. Returns the end (no terminator).
constexpr size_t kAtomLineRoom = 6 * kFormatRoom + 32;
char* PutAtomLine(char* out, int atomicNumber, const double values[6]);

// The frames of a trajectory conversion: of the steps in the file (limited by
// the option nLastStep) every nOutputInterval-th becomes a frame.
class CXSFTrajectory {
 public:
  // nLastStep above 0 limits the steps to convert; with bLastStepReplaces it
  // replaces their count outright, without looking at the file.
  CXSFTrajectory(int nStepsInFile, bool bLastStepReplaces);

  // Creates the file with its header for nOutput frames; a conversion
  // without any step leaves it empty. Null when it cannot be created. The
  // file writes through a buffer that this object owns: the object must
  // outlive the open file (declare it first).
  std::FILE* Create(const std::string& path) const;
  // Writes step (counted from 0) as the next frame when it is one of every
  // nOutputInterval-th, with its "...Frame" line on standard output.
  void WriteStep(std::FILE* file, int step, const CCrystal& crystal);

  int nStep = 0;
  int nOutputInterval = 1;
  int nOutput = 0;

 private:
  static constexpr size_t kStreamBufferSize = 1 << 16;
  int iFrame_ = 0;
  mutable std::unique_ptr<char[]> buffer_;
};

}  // namespace quorvel
