#include "programs/other/PWScf.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "crystal/Crystal.h"
#include "numerics/Constants.h"
#include "numerics/FrameTurn.h"
#include "programs/TrajectoryConversion.h"
#include "programs/other/PWScfInput.h"
#include "text/LineReader.h"
#include "text/Messages.h"
#include "text/NumberScan.h"
#include "text/TextUtil.h"

namespace quorvel {
namespace CPWScf {

namespace {

constexpr double kNmPerBohr = kBohrRadiusInAngstrom * kNmPerAngstrom;

// The structure pw.x prints before its first step: alat ("lattice parameter
// (alat)", or celldm(1), the same length with more digits), the crystal axes
// in units of alat and the atoms' positions ("tau") in units of alat. False
// when the file holds no complete header.
bool ReadHeader(LineReader& in, CGeometry& start, double& alatNm) {
  if (!in.ReadLineContaining("lattice parameter (alat)")) return false;
  const char* mark = std::strchr(in.Line(), '=');
  double alatBohr = mark ? AtoF(mark + 1) : 0;
  if (!in.ReadLineContaining("number of atoms/cell")) return false;
  mark = std::strchr(in.Line(), '=');
  const int nAtoms = mark ? AtoI(mark + 1) : 0;
  static const char* const kAxesMarks[] = {"celldm(1)=", "crystal axes:"};
  for (;;) {
    if (!in.ReadLineContaining(kAxesMarks, 2)) return false;
    const char* celldm = std::strstr(in.Line(), "celldm(1)=");
    if (!celldm) break;
    const double v = AtoF(celldm + 10);
    if (std::isfinite(v) && v > 0) alatBohr = v;
  }
  if (!(std::isfinite(alatBohr) && alatBohr > 0) || nAtoms <= 0) return false;
  alatNm = alatBohr * kNmPerBohr;
  // "a(1) = (   1.000000   0.000000   0.000000 )"
  for (int i = 0; i < 3; ++i) {
    if (!in.ReadLine()) return false;
    const char* p = std::strstr(in.Line(), "= (");
    double v[3];
    if (!p || ScanDoubles(p += 3, v, 3) != 3) return false;
    for (int j = 0; j < 3; ++j) start.Cell[i][j] = v[j] * alatNm;
  }
  if (!IsCell(start.Cell)) return false;
  // "    1           Si  tau(   1) = (   0.0000000   0.0000000   0.0000000  )"
  if (!in.ReadLineContaining("positions (alat units)")) return false;
  std::vector<double> tau;
  start.Species.clear();
  for (int k = 0; k < nAtoms; ++k) {
    if (!in.ReadLine()) return false;
    const char* line = in.Line();
    const char* tauMark = std::strstr(line, "tau(");
    const char* p = line;
    const char* word = nullptr;
    size_t length = 0;
    // The site's number, then its species.
    if (!tauMark || !ScanWord(p, word, length) || !ScanWord(p, word, length) || word >= tauMark) return false;
    start.Species.emplace_back(word, length);
    const char* q = std::strstr(tauMark, "= (");
    double v[3];
    if (!q || ScanDoubles(q += 3, v, 3) != 3) return false;
    tau.insert(tau.end(), v, v + 3);
  }
  start.Fractional.resize(tau.size());
  ToFractional(EUnit::kAlat, alatNm, start.Cell, tau.data(), nAtoms, start.Fractional.data());
  return true;
}

// The blocks of the output that make its frames, read in one pass. A frame
// is a complete "Forces acting on atoms" block (its first nAtoms atom
// lines; the breakdowns pw.x prints after it are not frames), shown with the
// geometry it was computed for: the last ATOMIC_POSITIONS and the last
// CELL_PARAMETERS printed before it, else the starting structure. pw.x
// prints the positions after each step in the unit of the input, and a
// variable cell before them. A block cut off (a job still running, or lines
// that are not the block's) is no frame and no geometry.
class CStepReader {
 public:
  CStepReader(LineReader& output, const CGeometry& start, double alatNm)
      : in_(output), geometry_(start), alatNm_(alatNm), nAtoms_(start.nAtoms()) {}

  // Reads on to the next frame; false at the end of the file.
  bool Next();
  const CGeometry& Geometry() const { return geometry_; }
  const double* Forces() const { return forces_.data(); }
  // A cell was printed (a variable-cell run).
  bool bCellPrinted = false;

 private:
  enum class ETitle { kNone, kForces, kPositions, kCell };
  static ETitle TitleOf(const char* line);
  // The next line of a block: false at the end of the file, at a line cut
  // off there, and at the title of another block (left to be read as one).
  bool ReadBlockLine();
  bool ReadForces();
  void ReadPositions();
  void ReadCell();

  LineReader& in_;
  CGeometry geometry_;
  double alatNm_;
  const int nAtoms_;
  bool bPending_ = false;  // the current line is a title still to be read
  std::vector<double> forces_;
  std::vector<double> numbers_;
  std::vector<std::string> species_;
};

// The geometry blocks' titles start their lines, in capitals (or small
// letters); the force block's title is indented.
CStepReader::ETitle CStepReader::TitleOf(const char* line) {
  if (std::strstr(line, "Forces acting on atoms")) return ETitle::kForces;
  if (StartsWithNoCase(line, "ATOMIC_POSITIONS")) return ETitle::kPositions;
  if (StartsWithNoCase(line, "CELL_PARAMETERS")) return ETitle::kCell;
  return ETitle::kNone;
}

bool CStepReader::Next() {
  static const char* const kTitles[] = {"Forces acting on atoms", "ATOMIC_POSITIONS", "CELL_PARAMETERS",
                                        "atomic_positions", "cell_parameters"};
  for (;;) {
    if (!bPending_ && !in_.ReadLineContaining(kTitles, 5)) return false;
    bPending_ = false;
    switch (TitleOf(in_.Line())) {
      case ETitle::kForces:
        if (ReadForces()) return true;
        break;
      case ETitle::kPositions:
        ReadPositions();
        break;
      case ETitle::kCell:
        ReadCell();
        break;
      case ETitle::kNone:
        break;
    }
  }
}

bool CStepReader::ReadBlockLine() {
  if (!in_.ReadLine()) return false;
  if (TitleOf(in_.Line()) != ETitle::kNone) {
    bPending_ = true;
    return false;
  }
  const size_t n = in_.Length();
  return n > 0 && in_.Line()[n - 1] == '\n';
}

// "     atom    1 type  1   force =    -0.02329815   -0.02329818   -0.02329844"
bool CStepReader::ReadForces() {
  forces_.resize(3 * static_cast<size_t>(nAtoms_));
  for (int k = 0; k < nAtoms_;) {
    if (!ReadBlockLine()) return false;
    const char* line = in_.Line();
    const char* p = std::strstr(line, "force =");
    // Lines without a force: the empty line under the title, and what older
    // versions print there.
    if (!p) continue;
    // Any other line with a force (the "Total force =" line after too few
    // atoms, a line cut short) leaves the block unfinished.
    if (std::strncmp(SkipBlanks(line), "atom", 4) != 0) return false;
    p += 7;
    if (ScanDoubles(p, &forces_[3 * static_cast<size_t>(k)], 3) != 3) return false;
    ++k;
  }
  return true;
}

void CStepReader::ReadPositions() {
  const CCardUnit unit = ReadCardUnit(in_.Line() + std::strlen("ATOMIC_POSITIONS"));
  if (unit.Unit == EUnit::kOther) return;
  const size_t n = static_cast<size_t>(nAtoms_);
  numbers_.resize(3 * n);
  species_.resize(n);
  for (size_t k = 0; k < n; ++k) {
    const char* rest = nullptr;
    if (!ReadBlockLine() || ScanAtomLine(in_.Line(), species_[k], &numbers_[3 * k], rest) != 3) return;
  }
  if (unit.AlatBohr > 0) alatNm_ = unit.AlatBohr * kNmPerBohr;
  geometry_.Species.swap(species_);
  geometry_.Fractional.resize(3 * n);
  ToFractional(unit.Unit, alatNm_, geometry_.Cell, numbers_.data(), nAtoms_, geometry_.Fractional.data());
}

void CStepReader::ReadCell() {
  const CCardUnit unit = ReadCardUnit(in_.Line() + std::strlen("CELL_PARAMETERS"));
  if (unit.Unit == EUnit::kOther || unit.Unit == EUnit::kCrystal) return;
  double rows[3][3];
  for (auto& row : rows) {
    if (!ReadBlockLine()) return;
    const char* p = in_.Line();
    if (ScanDoubles(p, row, 3) != 3) return;
  }
  // "(alat=  7.01033620)" gives alat with more digits than the header.
  const double alatNm = unit.AlatBohr > 0 ? unit.AlatBohr * kNmPerBohr : alatNm_;
  const double scale = NmPerUnit(unit.Unit, alatNm);
  for (auto& row : rows)
    for (double& v : row) v *= scale;
  if (!IsCell(rows)) return;
  alatNm_ = alatNm;
  std::copy(&rows[0][0], &rows[0][0] + 9, &geometry_.Cell[0][0]);
  bCellPrinted = true;
}

// Puts a geometry with its forces (3 per atom, or none) into the crystal.
// Quorvel writes the positions from the crystal's standard orientation (a
// along x, b in the xy plane); pw.x prints the forces along its own axes,
// those of the cell as printed, so they are turned into the standard frame
// (not at all where the two agree, so that printed zeros keep their sign).
void PutGeometry(const CGeometry& geometry, const double* forces, CCrystal& crystal) {
  bool bSame = true;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) bSame = bSame && geometry.Cell[i][j] == crystal.LatticeVector[i][j];
  CFrameTurn turn;  // none while the cell is the crystal's own
  if (!bSame) {
    const double(*c)[3] = geometry.Cell;
    crystal.SetLatticeVectors(c[0][0], c[0][1], c[0][2], c[1][0], c[1][1], c[1][2], c[2][0], c[2][1], c[2][2]);
    crystal.CalculateLatticeParameters();
    crystal.CalculateLatticeVectors();
    turn = crystal.TurnFrom(geometry.Cell);
  }
  crystal.nAtomAsymSites = 0;
  crystal.nAtomSites = 0;
  for (int k = 0; k < geometry.nAtoms(); ++k) {
    const size_t at = 3 * static_cast<size_t>(k);
    double f[3] = {0, 0, 0};
    if (forces) std::copy(forces + at, forces + at + 3, f);
    turn.Apply(f);
    const double* x = &geometry.Fractional[at];
    crystal.AddAtomAsymSite("", geometry.Species[static_cast<size_t>(k)], 1.0, x[0], x[1], x[2], f[0], f[1], f[2]);
  }
  crystal.CopyAsymSitesToSites();
}

// The conversion of a run (PWScfConvOutput).
class COutputConversion final : public CTrajectoryConversion {
 public:
  COutputConversion(const std::string& outputPath, const std::string& base, const std::string& inputPath,
                    const CConversionSettings& settings, CLayout layout)
      : CTrajectoryConversion(settings, std::move(layout)),
        outputPath_(outputPath),
        inpPath_(base + ".inp"),
        inPath_(base + ".in"),
        inputPath_(inputPath) {}

 private:
  void ReadStartingStructure(CCrystal& crystal) override;
  int CountSteps() override;
  bool OpenSteps() override;
  int ReadNextStep(CCrystal& crystal) override;
  void WriteMoreFiles() override;

  const std::string outputPath_, inpPath_, inPath_, inputPath_;
  LineReader output_;
  CInput input_;
  CGeometry start_;
  double alatNm_ = 0;
  bool bFixedRules_ = false;  // the structure comes from the input's fixed rules
  std::string noStart_;       // why there is no structure to start from
  bool bCellPrinted_ = false;
  std::unique_ptr<CStepReader> steps_;
  double lastCell_[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};  // of the frame last read, along pw.x's axes
};

// The input gives the structure when it holds everything the fixed rules
// need (the cell of A, B, C and the cosines is the one pw.x builds); else
// the output's header gives it, and the input is used only for its update.
void COutputConversion::ReadStartingStructure(CCrystal& crystal) {
  if (FileExists(inputPath_)) ReadInput(inputPath_, input_);
  const bool bHeader = !input_.HasFixedRules() && output_.Open(outputPath_) && ReadHeader(output_, start_, alatNm_);
  if (input_.HasFixedRules()) {
    ReadFixedRuleStructure(input_, crystal, start_);
    alatNm_ = crystal.a;  // pw.x's alat is A
    bFixedRules_ = true;
  } else if (!bHeader) {
    start_ = CGeometry();
    const std::string header = "Error in PWScfConvOutput: No structure to start from: [" + outputPath_ +
                               "] has no complete pw.x header (alat, crystal axes, positions) and ";
    noStart_ = header + (input_.bRead ? "[" + inputPath_ + "] no cell of A, B, C and cosines with ibrav 14 or none."
                                      : "there is no input file [" + inpPath_ + "] or [" + inPath_ + "].");
  }
  if (start_.nAtoms() > crystal.nMaxAtomAsymSites) {
    noStart_ = Format("Error in PWScfConvOutput: The run has %d atoms, more than the %d a structure holds.",
                      start_.nAtoms(), crystal.nMaxAtomAsymSites);
    start_ = CGeometry();
  }
  std::copy(&start_.Cell[0][0], &start_.Cell[0][0] + 9, &lastCell_[0][0]);
  if (start_.nAtoms() > 0) PutGeometry(start_, nullptr, crystal);
}

// One pass counts the frames, a second one reads them.
int COutputConversion::CountSteps() {
  if (!output_.IsOpen() && !output_.Open(outputPath_)) return 0;
  if (start_.nAtoms() == 0) return 0;
  output_.Rewind();
  CStepReader steps(output_, start_, alatNm_);
  int n = 0;
  while (steps.Next())
    if (n < INT_MAX) ++n;
  bCellPrinted_ = steps.bCellPrinted;
  return n;
}

bool COutputConversion::OpenSteps() {
  if (!output_.IsOpen()) {
    ReportCanNotRead(outputPath_);
    return false;
  }
  output_.Rewind();
  // An output file whose own extension is xsf would be replaced by the XSF
  // file while it is being read.
  if (layout_.XSF == outputPath_) {
    std::printf("Error in PWScfConvOutput: The XSF file [%s] would replace the output file.\n", layout_.XSF.c_str());
    return false;
  }
  if (start_.nAtoms() == 0) {
    std::printf("%s\n", noStart_.c_str());
    return false;
  }
  steps_ = std::make_unique<CStepReader>(output_, start_, alatNm_);
  return true;
}

int COutputConversion::ReadNextStep(CCrystal& crystal) {
  if (!steps_->Next()) return 0;
  PutGeometry(steps_->Geometry(), steps_->Forces(), crystal);
  std::copy(&steps_->Geometry().Cell[0][0], &steps_->Geometry().Cell[0][0] + 9, &lastCell_[0][0]);
  return 1;
}

// The input updated with the final structure: a variable cell (calculation
// 'vc-relax' or 'vc-md', or cells printed in the output) goes into it too.
void COutputConversion::WriteMoreFiles() {
  if (!input_.bRead) {
    std::printf("No input file [%s] or [%s]: no updated input is written.\n", inpPath_.c_str(), inPath_.c_str());
    return;
  }
  WriteUpdatedInput(input_, inputPath_, inputPath_ + ".new", *crystal_, lastCell_,
                    input_.bVariableCell || bCellPrinted_);
}

}  // namespace
}  // namespace CPWScf

int PWScfConvOutput(const std::string& argument, const CConversionSettings& settings) {
  const std::string base = CutAtLastDot(argument);
  auto layout = CTrajectoryConversion::CLayout::ForOutput(CTrajectoryConversion::EStart::kInputFile, argument, argument);
  // The initial structure is the one the run started from, not the
  // geometry after its first step.
  layout.bStartIsInitial = true;
  // The input is <base>.inp, as always, else <base>.in; without either the
  // name announced is <base>.inp.
  std::string inputPath = base + ".inp";
  if (!FileExists(inputPath) && FileExists(base + ".in")) inputPath = base + ".in";

  std::printf("\n");
  std::printf("Input file  : %s\n", inputPath.c_str());
  std::printf("Output file : %s\n", argument.c_str());
  std::printf("XSF file    : %s\n", layout.XSF.c_str());
  return CPWScf::COutputConversion(argument, base, inputPath, settings, std::move(layout)).Run();
}

}  // namespace quorvel
