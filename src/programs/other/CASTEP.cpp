#include "programs/other/CASTEP.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "crystal/Crystal.h"
#include "formats/CARWriter.h"
#include "numerics/Constants.h"
#include "programs/TrajectoryConversion.h"
#include "system/Platform.h"
#include "text/Messages.h"
#include "text/NumberFormat.h"
#include "text/OutputScan.h"
#include "text/TextUtil.h"

namespace quorvel {
namespace CASTEP {

namespace {

// One row of an atom table as the file gives it, with the force the step's
// force block gave the atom.
struct CAtomRow {
  std::string element;
  double uvw[3] = {0, 0, 0};
  double force[3] = {0, 0, 0};
};

// A step as read from the file, before it is printed and built into the
// crystal. The rows' storage is kept from one step to the next.
struct CStepText {
  bool bCell = false;  // the step has its cell block
  double length[3] = {0, 0, 0}, angle[3] = {0, 0, 0};
  std::vector<CAtomRow> rows;
  int nRows = 0;  // rows in use
  std::vector<double> forces;

  CAtomRow& NextRow() {
    if (static_cast<size_t>(nRows) >= rows.size()) rows.emplace_back();
    return rows[static_cast<size_t>(nRows++)];
  }
};

// The cell block: "Unit Cell", later "Lattice parameters(A)", then three
// lines "a = 3.811962  alpha = 60.000000" (b and beta, c and gamma below).
// False when the file ends before the block; lines or numbers missing inside
// it give 0.
bool ReadCellBlock(LineReader& stream, CStepText& step) {
  step.bCell = false;
  if (!ReadUntilContaining(stream, "Unit Cell") || !ReadUntilContaining(stream, "Lattice parameters(A)")) return false;
  step.bCell = true;
  for (int i = 0; i < 3; ++i) step.length[i] = step.angle[i] = 0;
  for (int i = 0; i < 3 && stream.ReadLine(); ++i) {
    const char* first = std::strchr(stream.Line(), '=');
    if (!first) continue;
    step.length[i] = AtoF(first + 1);
    const char* second = std::strchr(first + 1, '=');
    if (second) step.angle[i] = AtoF(second + 1);
  }
  return true;
}

// One row of the atom table, "x  Si  1  0.000000  0.250000  0.250000  x",
// with the given force. A row without an element name (such as the closing
// "xxxx" line) gives none; coordinates missing after the name are 0.
void ReadAtomRow(const char* line, const char* end, const double force[3], CStepText& step) {
  const char* p = line;
  const char* word = nullptr;
  size_t length = 0;
  if (!ScanWord(p, word, length, end) || !ScanWord(p, word, length, end)) return;
  CAtomRow& row = step.NextRow();
  row.element.assign(word, length);
  int number = 0;
  if (ScanInt(p, number, end))
    ScanDoubles(p, row.uvw, 3, end);
  else
    row.uvw[0] = row.uvw[1] = row.uvw[2] = 0;
  for (int k = 0; k < 3; ++k) row.force[k] = force[k];
}

// One line of a force block. Both "word number fx fy fz" and CASTEP's own
// "* Si  1  fx fy fz *" give the three numbers after the atom number; a
// component of a constrained ion ("0.00000(cons'd)") counts with its number.
// What cannot be found is 0.
void ScanForceLine(const char* line, const char* end, double force[3]) {
  force[0] = force[1] = force[2] = 0.0;
  const char* p = line;
  const char* word = nullptr;
  size_t length = 0;
  int number = 0;
  if (!ScanWord(p, word, length, end)) return;
  if (!ScanInt(p, number, end) && !(ScanWord(p, word, length, end) && ScanInt(p, number, end))) return;
  for (int i = 0; i < 3; ++i) {
    if (!ScanDouble(p, force[i], end)) return;
    while (*p && !IsScanSpace(*p)) ++p;
  }
}

// Rows of the starting structure's atom table into step, until its closing
// "xxxx" line or the end of the file, at most maxRows of them (so that a
// table of any length is read in parts of bounded size). True when the
// table goes on after them.
bool ReadTableRows(LineReader& stream, int maxRows, CStepText& step) {
  const double noForce[3] = {0, 0, 0};
  while (step.nRows < maxRows) {
    if (!stream.ReadLine() || std::strstr(stream.Line(), "xxxxxx")) return false;
    ReadAtomRow(stream.Line(), stream.Line() + stream.Length(), noForce, step);
  }
  return true;
}

// The starting structure from the reader's position (the start of the
// file): the first cell block and the first rows of the atom table after it
// (see ReadTableRows).
bool ReadStartingText(LineReader& stream, int maxRows, CStepText& step) {
  step.nRows = 0;
  return ReadCellBlock(stream, step) && ReadUntilContaining(stream, "Fractional coordinates of atoms") &&
         SkipLines(stream, 2) && ReadTableRows(stream, maxRows, step);
}

// The next step of n atoms: the forces of the next "** Forces **" block,
// then the cell and the n table lines printed after it. A file that ends
// inside the step leaves it with the rows read so far, none when its cell
// block is missing. False when the file has no force block left (the step
// is then empty, and so is every step after it).
bool ReadStepText(LineReader& stream, int n, CStepText& step) {
  step.nRows = 0;
  step.bCell = false;
  step.forces.assign(3 * static_cast<size_t>(n), 0.0);
  if (!ReadUntilContaining(stream, "** Forces **")) return false;
  if (SkipLines(stream, 5)) {
    for (int k = 0; k < n && stream.ReadLine(); ++k)
      ScanForceLine(stream.Line(), stream.Line() + stream.Length(), &step.forces[3 * static_cast<size_t>(k)]);
  }
  if (ReadCellBlock(stream, step) && ReadUntilContaining(stream, "Fractional coordinates of atoms") &&
      SkipLines(stream, 2)) {
    for (int k = 0; k < n && stream.ReadLine(); ++k)
      ReadAtomRow(stream.Line(), stream.Line() + stream.Length(), &step.forces[3 * static_cast<size_t>(k)], step);
  }
  return true;
}

// The progress line of an atom, printf("%s (%lg,%lg,%lg)\n", element, u, v,
// w), composed without the format parser and written at once: it is printed
// for every atom of every step. The element is a word of the file, without
// NUL bytes; a name too long for the line's buffer goes first on its own.
void PrintAtomLine(const std::string& element, const double uvw[3]) {
  char text[64 + 3 * kFormatRoom + 8];
  char* p = text;
  if (element.size() <= 64) {
    std::memcpy(p, element.data(), element.size());
    p += element.size();
  } else {
    std::fwrite(element.data(), 1, element.size(), stdout);
  }
  *p++ = ' ';
  *p++ = '(';
  for (int k = 0; k < 3; ++k) {
    p = FormatGeneral(p, uvw[k], 0, 6);
    *p++ = k < 2 ? ',' : ')';
  }
  *p++ = '\n';
  std::fwrite(text, 1, static_cast<size_t>(p - text), stdout);
}

// Prints the step's cell and makes it the crystal's, without sites yet.
void BeginStep(const CStepText& step, CCrystal& crystal) {
  crystal.nAtomAsymSites = 0;
  crystal.nAtomSites = 0;
  if (!step.bCell) return;
  crystal.SetLatticeParameters(kNmPerAngstrom * step.length[0], kNmPerAngstrom * step.length[1],
                               kNmPerAngstrom * step.length[2], step.angle[0], step.angle[1], step.angle[2]);
  FastPrintf("Lattice parameters: %lg %lg %lg nm  %lg %lg %lg\n", crystal.a, crystal.b, crystal.c, crystal.alpha,
             crystal.beta, crystal.gamma);
  crystal.CalculateLatticeVectors();
}

// Prints the step's rows and adds a site for each.
void AddRows(const CStepText& step, CCrystal& crystal) {
  for (int i = 0; i < step.nRows; ++i) {
    const CAtomRow& row = step.rows[static_cast<size_t>(i)];
    PrintAtomLine(row.element, row.uvw);
    crystal.AddAtomAsymSite("", row.element, 1.0, row.uvw[0], row.uvw[1], row.uvw[2], row.force[0], row.force[1],
                            row.force[2]);
  }
}

// Prints a step and makes it the crystal's structure. Returns the sites.
int BuildStep(const CStepText& step, CCrystal& crystal) {
  BeginStep(step, crystal);
  AddRows(step, crystal);
  return crystal.CopyAsymSitesToSites();
}

// Rows of a starting table are read this many at a time (more than a
// converter's crystal holds).
constexpr int kTableRowsAtOnce = 1 << 14;

// Prints the starting structure and makes it the crystal's: first holds its
// cell and first rows, and bMore says the table goes on in the reader.
// Returns the sites.
int BuildStartingStructure(LineReader& stream, CStepText& first, bool bMore, CCrystal& crystal) {
  BeginStep(first, crystal);
  AddRows(first, crystal);
  while (bMore) {
    first.nRows = 0;
    bMore = ReadTableRows(stream, kTableRowsAtOnce, first);
    AddRows(first, crystal);
  }
  return crystal.CopyAsymSitesToSites();
}

// The conversion of a run (CASTEPConvOutput). The head of the file gives
// the starting structure; every step pairs a force block with the cell and
// atom table after it, and the last force block has none after it. Besides
// the CIF files the final structure goes to an updated CAR file.
class COutputConversion final : public CTrajectoryConversion {
 public:
  COutputConversion(const std::string& castepPath, const std::string& carPath, const CConversionSettings& settings,
                    CLayout layout)
      : CTrajectoryConversion(settings, std::move(layout)), castepPath_(castepPath), carPath_(carPath) {}

 private:
  // The steps are counted before any is printed: one pass counts the force
  // blocks, a second one reads the structures.
  int CountSteps() override {
    if (!castep_.Open(castepPath_)) return 0;
    const int nForceBlocks = CountLinesContaining(castep_, "** Forces **");
    castep_.Rewind();
    return nForceBlocks - 1;
  }
  bool OpenSteps() override {
    if (castep_.IsOpen()) return true;
    ReportCanNotRead(castepPath_);
    return false;
  }
  void ReadStartingStructure(CCrystal& crystal) override {
    const bool bMore = ReadStartingText(castep_, kTableRowsAtOnce, step_);
    BuildStartingStructure(castep_, step_, bMore, crystal);
  }
  // The step has as many atoms as the one before.
  int ReadNextStep(CCrystal& crystal) override {
    ReadStepText(castep_, crystal.nAtomAsymSites, step_);
    BuildStep(step_, crystal);
    return 1;
  }
  void WriteMoreFiles() override {
    if (crystal_->nAtomAsymSites == 0) return;
    std::printf("Create update CAR file: %s\n", carPath_.c_str());
    WriteCAR(carPath_, *crystal_);
  }

  const std::string castepPath_, carPath_;
  LineReader castep_;
  CStepText step_;  // the step being read
};

}  // namespace
}  // namespace CASTEP

int CASTEPConvOutput(const std::string& argument, const CConversionSettings& settings) {
  const std::string base = CutAtLastDot(argument);
  const std::string castepPath = base + ".castep";
  auto layout = CTrajectoryConversion::CLayout::ForOutput(CTrajectoryConversion::EStart::kHeadOfLog, argument, castepPath);
  // A run may leave no structure at all (a file without a cell block).
  layout.bSkipEmptyStructures = true;

  std::printf("\n");
  std::printf("CASTEP file : %s\n", castepPath.c_str());
  std::printf("XSF file    : %s\n", layout.XSF.c_str());
  return CASTEP::COutputConversion(castepPath, base + ".car.new", settings, std::move(layout)).Run();
}

}  // namespace quorvel
