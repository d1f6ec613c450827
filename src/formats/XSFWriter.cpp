#include "formats/XSFWriter.h"
#include "numerics/Constants.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <deque>
#include <system_error>
#include <thread>
#include <utility>

#include "system/HandOff.h"
#include "text/Messages.h"
#include "text/NumberFormat.h"
#include "system/Platform.h"
#include "text/OutputFile.h"
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

void WriteHeader(std::FILE* file, int nFrames) {
  std::fprintf(file, "ANIMSTEPS %d\n", nFrames);
  std::fprintf(file, "CRYSTAL\n");
  std::fprintf(file, "\n");
}

// The frame's numbers from the crystal. A site count beyond the table ends
// the frame at the first missing site, with a message.
void TakeFrame(const CCrystal& crystal, int iFrame, CXSFFrame& frame) {
  frame.iFrame = iFrame;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) frame.Vectors[i][j] = crystal.LatticeVector[i][j] * kAngstromPerNm;
  frame.nAtomSites = crystal.nAtomSites;
  const int nAtoms = std::max(0, crystal.nAtomSites);
  const int nHeld = std::min(nAtoms, static_cast<int>(crystal.AtomSites.size()));
  frame.AtomicNumbers.resize(static_cast<size_t>(nHeld));
  frame.Values.resize(6 * static_cast<size_t>(nHeld));
  for (int i = 0; i < nHeld; ++i) {
    const CAtomSite& site = crystal.AtomSites[i];
    // Positions as stored, not wrapped into the cell.
    double x, y, z;
    crystal.FractionalToCartesian(site.x, site.y, site.z, x, y, z);
    double* values = &frame.Values[6 * static_cast<size_t>(i)];
    values[0] = x * kAngstromPerNm;
    values[1] = y * kAngstromPerNm;
    values[2] = z * kAngstromPerNm;
    values[3] = site.Force[0];
    values[4] = site.Force[1];
    values[5] = site.Force[2];
    frame.AtomicNumbers[i] = AtomicNumberColumn(crystal.TypeOf(site));
  }
  if (nHeld < nAtoms) std::printf("Error: pAtom[%d] is NULL.\n", nHeld);
}

void WriteFrame(std::FILE* file, const CXSFFrame& frame) {
  const int step = frame.iFrame;
  // The conventional cell is written equal to the primitive cell.
  for (const char* block : {"PRIMVEC", "CONVVEC"}) {
    std::fprintf(file, "%s %d\n", block, step);
    for (const auto& v : frame.Vectors) FastFprintf(file, " %16.10f %16.10f %16.10f\n", v[0], v[1], v[2]);
  }
  std::fprintf(file, "PRIMCOORD %d\n", step);
  std::fprintf(file, " %d  1\n", frame.nAtomSites);
  // The atom lines, the bulk of every trajectory, are composed in a block
  // that goes to the stream whenever it is nearly full.
  char block[1 << 14];
  char* end = block;
  char* const limit = block + sizeof block - kAtomLineRoom;
  for (size_t i = 0; i < frame.AtomicNumbers.size(); ++i) {
    end = PutAtomLine(end, frame.AtomicNumbers[i], &frame.Values[6 * i]);
    if (end > limit) {
      std::fwrite(block, 1, static_cast<size_t>(end - block), file);
      end = block;
    }
  }
  std::fwrite(block, 1, static_cast<size_t>(end - block), file);
}

// The writing thread is woken for a batch of frames, not for every frame
// (a wake-up costs tens of microseconds on a virtual machine), and the
// reader waits only when twice that many are waiting: enough to keep both
// busy, few enough that memory stays flat.
constexpr size_t kBatchFrames = 8;
constexpr size_t kWaitingFrames = 2 * kBatchFrames;
constexpr size_t kStreamBufferSize = 1 << 16;

// Opens the file for writing with its header for nFrames frames (none for
// -1); binary mode, so that every line ends with a single line feed on every
// platform. Trajectories of many megabytes go out in 64 KB writes, through
// buffer, rather than in the stream's 4 KB ones.
bool OpenWriter(COutputFile& file, const std::string& path, int nFrames, std::unique_ptr<char[]>& buffer) {
  if (!file.Open(path, "wb")) return false;
  buffer.reset(new char[kStreamBufferSize]);
  std::setvbuf(file.get(), buffer.get(), _IOFBF, kStreamBufferSize);
  if (nFrames >= 0) WriteHeader(file.get(), nFrames);
  return true;
}

}  // namespace

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

struct CXSFTrajectory::CWriter {
  CHandOff<CXSFFrame> frames{kBatchFrames, kWaitingFrames};
  std::thread thread;

  // Writes the frames to file as they come, a batch at a time, until they
  // are finished. The file stays the trajectory's, which puts it in place.
  void Run(std::FILE* file) {
    std::deque<CXSFFrame> batch;
    while (frames.Take(batch)) {
      for (CXSFFrame& frame : batch) {
        WriteFrame(file, frame);
        // The written frame's tables go back to the reader, which fills
        // them anew.
        frames.GiveBack(std::move(frame));
      }
      batch.clear();
    }
  }

  void Finish() {
    frames.Finish();
    if (thread.joinable()) thread.join();
  }
};

CXSFTrajectory::CXSFTrajectory(const CTrajectoryPlan& plan, int nStepsInFile, bool bLastStepReplaces)
    : nStep(nStepsInFile) {
  const int nLastStep = plan.nLastStep;
  if (nLastStep > 0 && (bLastStepReplaces || nLastStep < nStep)) nStep = nLastStep;
  nOutputInterval = plan.nOutputInterval;
  if (nOutputInterval <= 0) nOutputInterval = 1;
  nOutput = (nStep - 1) / nOutputInterval + 1;
}

// A trajectory that was not closed (its conversion did not come to an end)
// leaves the earlier file as it was.
CXSFTrajectory::~CXSFTrajectory() {
  if (writer_) writer_->Finish();
  file_.Discard();
}

void CXSFTrajectory::PrintPlan(const CCrystal& crystal) const {
  std::printf("nAtomSites: %d  nAtomType: %d\n", crystal.nAtomSites, crystal.nAtomTypes);
  std::printf("nStep: %d\n", nStep);
  std::printf("nOutputInterval: %d\n", nOutputInterval);
  std::printf("nOutput: %d\n", nOutput);
}

bool CXSFTrajectory::Create(const std::string& path, bool bHeaderAlways) {
  Close();
  path_ = path;
  bWarnedNoAtoms_ = false;
  const bool bHeader = nStep > 0 || bHeaderAlways;
  // The frames go to a new file, which takes the place of the earlier
  // trajectory only when Close finds it whole: a conversion that stops
  // half-way leaves the earlier file as it was.
  if (!OpenWriter(file_, path, bHeader ? nOutput : -1, buffer_)) return false;
  try {
    auto writer = std::make_unique<CWriter>();
    writer->thread = std::thread(&CWriter::Run, writer.get(), file_.get());
    writer_ = std::move(writer);
  } catch (const std::system_error&) {
    // Without a second thread the frames are written as they come.
    writer_.reset();
  }
  return true;
}

void CXSFTrajectory::WriteStep(int step, const CCrystal& crystal) {
  if (step % nOutputInterval != 0 || !file_.get()) return;
  if (crystal.nAtomSites == 0 && !bWarnedNoAtoms_) {
    WarnNoAtoms(path_);
    bWarnedNoAtoms_ = true;
  }
  CXSFFrame frame = writer_ ? writer_->frames.Spare() : CXSFFrame();
  TakeFrame(crystal, ++iFrame_, frame);
  Write(std::move(frame));
  FastPrintf("...Frame %d (T=%lg, P=%lg, D=%lg)\n", step, crystal.Temperature, crystal.Pressure, crystal.Density);
}

void CXSFTrajectory::Write(CXSFFrame&& frame) {
  if (writer_)
    writer_->frames.Push(std::move(frame));
  else
    WriteFrame(file_.get(), frame);
}

void CXSFTrajectory::Close() {
  if (writer_) {
    writer_->Finish();
    writer_.reset();
  }
  if (file_.get()) file_.Commit();
  buffer_.reset();
}

}  // namespace quorvel
