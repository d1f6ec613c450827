#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "text/NumberFormat.h"
#include "text/OutputFile.h"

namespace quorvel {
class CCrystal;

// One atom line of a frame, the bytes of
//   printf("%3d   %12.7f %12.7f %12.7f   %12.7f %12.7f %12.7f\n", ...)
// with the position (A) and the force in values; out has room for
// kAtomLineRoom characters. Returns the end (no terminator).
constexpr size_t kAtomLineRoom = 6 * kFormatRoom + 32;
char* PutAtomLine(char* out, int atomicNumber, const double values[6]);

// The numbers of one frame, taken from the crystal for the writing thread:
// the cell vectors and each atom's atomic number, position (Angstrom) and
// force.
struct CXSFFrame {
  int iFrame = 0;
  double Vectors[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
  int nAtomSites = 0;              // as the crystal counts them
  std::vector<int> AtomicNumbers;  // the atoms the crystal holds
  std::vector<double> Values;      // 6 per atom: x y z, force
};

// Which steps of a trajectory become frames: the first nLastStep (all when 0
// or less), of them every nOutputInterval-th (every one when 0 or less).
struct CTrajectoryPlan {
  int nLastStep = 0;
  int nOutputInterval = 1;
};

// The frames of a trajectory conversion: of the steps in the file (limited by
// the plan's nLastStep) every nOutputInterval-th becomes a frame.
//
// The file is created, and the frames are composed and written, by a second
// thread while the reader goes on with the next steps; at most a few frames
// wait, so memory does not grow with the run. The file is this object's:
// Close() waits for the last frame and closes it; a trajectory destroyed
// without Close() leaves the earlier file as it was.
class CXSFTrajectory {
 public:
  // nLastStep above 0 limits the steps to convert; with bLastStepReplaces it
  // replaces their count outright, without looking at the file.
  CXSFTrajectory(const CTrajectoryPlan& plan, int nStepsInFile, bool bLastStepReplaces);
  ~CXSFTrajectory();
  CXSFTrajectory(const CXSFTrajectory&) = delete;
  CXSFTrajectory& operator=(const CXSFTrajectory&) = delete;

  // Prints the crystal's counts and the plan: steps, interval, frames.
  void PrintPlan(const CCrystal& crystal) const;
  // Creates the file with its header for nOutput frames; a conversion
  // without any step leaves it empty unless bHeaderAlways. False when it
  // cannot be created (Refused() when it is an input of the run, which was
  // said already).
  bool Create(const std::string& path, bool bHeaderAlways = false);
  bool Refused() const { return file_.Refused(); }
  // Writes step (counted from 0) as the next frame when it is one of every
  // nOutputInterval-th, with its "...Frame" line on standard output.
  void WriteStep(int step, const CCrystal& crystal);
  // Writes what is still waiting, closes the file and puts it in place of
  // the earlier one ("Can not write to [path]." when that fails).
  void Close();

  int nStep = 0;
  int nOutputInterval = 1;
  int nOutput = 0;

 private:
  struct CWriter;
  void Write(CXSFFrame&& frame);
  int iFrame_ = 0;
  std::string path_;
  bool bWarnedNoAtoms_ = false;  // a frame of 0 atoms is said once per file
  std::unique_ptr<char[]> buffer_;  // the stream's buffer, outlives the stream
  COutputFile file_;
  std::unique_ptr<CWriter> writer_;
};

}  // namespace quorvel
