#include "formats/XSFWriter.h"

#include <climits>
#include <cmath>

#include "app/NumberFormat.h"
#include "app/Options.h"
#include "app/Platform.h"
#include "crystal/Crystal.h"

namespace quorvel {

namespace {

// The atomic number is stored as a double; the first column shows it cut
// toward zero. A site without a type, and a number that is no finite value
// in the integer range, show 0.
int AtomicNumberColumn(const CAtomType* type) {
  if (!type) return 0;
  double z = std::trunc(type->AtomicNumber);
  if (!(z >= INT_MIN && z <= INT_MAX)) return 0;
  return static_cast<int>(z);
}

void WriteVectorLines(std::FILE* file, const CCrystal& crystal) {
  for (int i = 0; i < 3; ++i)
    FastFprintf(file, " %16.10f %16.10f %16.10f\n", crystal.LatticeVector[i][0] * 10.0,
                crystal.LatticeVector[i][1] * 10.0, crystal.LatticeVector[i][2] * 10.0);
}

void WriteHeader(std::FILE* file, int nFrames) {
  std::fprintf(file, "ANIMSTEPS %d\n", nFrames);
  std::fprintf(file, "CRYSTAL\n");
  std::fprintf(file, "\n");
}

}  // namespace

// Binary mode, so that every line ends with a single line feed on every
// platform.
std::FILE* CreateXSFFile(const std::string& path, int nFrames) {
  std::FILE* file = OpenFile(path, "wb");
  if (!file) return nullptr;
  WriteHeader(file, nFrames);
  return file;
}

CXSFTrajectory::CXSFTrajectory(int nStepsInFile, bool bLastStepReplaces) : nStep(nStepsInFile) {
  const int nLastStep = GetOptionInt("nLastStep");
  if (nLastStep > 0 && (bLastStepReplaces || nLastStep < nStep)) nStep = nLastStep;
  nOutputInterval = GetOptionInt("nOutputInterval");
  if (nOutputInterval <= 0) nOutputInterval = 1;
  nOutput = (nStep - 1) / nOutputInterval + 1;
}

std::FILE* CXSFTrajectory::Create(const std::string& path) const {
  std::FILE* file = OpenFile(path, "wb");
  if (!file) return nullptr;
  // Trajectories of many megabytes go out in 64 KB writes rather than in
  // the stream's default 4 KB ones.
  buffer_.reset(new char[kStreamBufferSize]);
  std::setvbuf(file, buffer_.get(), _IOFBF, kStreamBufferSize);
  if (nStep > 0) WriteHeader(file, nOutput);
  return file;
}

void CXSFTrajectory::WriteStep(std::FILE* file, int step, const CCrystal& crystal) {
  if (step % nOutputInterval != 0) return;
  WriteXSFFrame(file, ++iFrame_, crystal);
  FastPrintf("...Frame %d (T=%lg, P=%lg, D=%lg)\n", step, crystal.Temperature, crystal.Pressure, crystal.Density);
}

int WriteXSFFrame(std::FILE* file, int step, const CCrystal& crystal) {
  std::fprintf(file, "PRIMVEC %d\n", step);
  WriteVectorLines(file, crystal);
  // The conventional cell is written equal to the primitive cell.
  std::fprintf(file, "CONVVEC %d\n", step);
  WriteVectorLines(file, crystal);
  std::fprintf(file, "PRIMCOORD %d\n", step);
  std::fprintf(file, " %d  1\n", crystal.nAtomSites);
  // The atom lines, the bulk of every trajectory, are composed in a block
  // that goes to the stream whenever it is nearly full.
  char block[1 << 14];
  char* end = block;
  char* const limit = block + sizeof block - kAtomLineRoom;
  for (int i = 0; i < crystal.nAtomSites; ++i) {
    if (i >= static_cast<int>(crystal.AtomSites.size())) {
      std::fwrite(block, 1, static_cast<size_t>(end - block), file);
      std::printf("Error: pAtom[%d] is NULL.\n", i);
      return i;
    }
    const CAtomSite& site = crystal.AtomSites[i];
    // Positions as stored, not wrapped into the cell.
    double x, y, z;
    crystal.FractionalToCartesian(site.x, site.y, site.z, x, y, z);
    const double values[6] = {x * 10.0, y * 10.0, z * 10.0, site.Force[0], site.Force[1], site.Force[2]};
    end = PutAtomLine(end, AtomicNumberColumn(crystal.TypeOf(site)), values);
    if (end > limit) {
      std::fwrite(block, 1, static_cast<size_t>(end - block), file);
      end = block;
    }
  }
  std::fwrite(block, 1, static_cast<size_t>(end - block), file);
  return crystal.nAtomSites > 0 ? crystal.nAtomSites : 0;
}

char* PutAtomLine(char* out, int atomicNumber, const double values[6]) {
  out = FormatInt(out, atomicNumber, 3);
  for (int k = 0; k < 6; ++k) {
    if (k % 3 == 0) {
      for (int i = 0; i < 3; ++i) *out++ = ' ';
    } else {
      *out++ = ' ';
    }
    out = FormatFixed(out, values[k], 12, 7);
  }
  *out++ = '\n';
  return out;
}

}  // namespace quorvel
