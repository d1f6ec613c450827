#include "programs/other/CASTEP.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "crystal/Crystal.h"
#include "formats/CARWriter.h"
#include "numerics/Constants.h"
#include "numerics/FrameTurn.h"
#include "programs/TrajectoryConversion.h"
#include "system/Platform.h"
#include "text/Messages.h"
#include "text/NumberFormat.h"
#include "text/OutputScan.h"
#include "text/TextUtil.h"

namespace quorvel {
namespace CASTEP {

namespace {

// One row of an atom table as the file gives it.
struct CAtomRow {
  std::string element;
  double uvw[3] = {0, 0, 0};
};

// A cell block as the file gives it: the rows after "Real Lattice(A)", the
// axes along which CASTEP prints its forces, and the "Lattice parameters(A)"
// and "Cell Angles" columns, from which the written cell is built.
struct CCellText {
  bool bCell = false;  // the block was read to its end
  bool bAxes = false;  // it gave its Real Lattice rows
  double axes[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
  double length[3] = {0, 0, 0}, angle[3] = {0, 0, 0};
};

// An atom table, "Fractional coordinates of atoms". The rows' storage is
// kept from one table to the next.
struct CTableText {
  std::vector<CAtomRow> rows;
  int nRows = 0;         // rows in use
  bool bClosed = false;  // its closing "xxxx" line was read

  void Clear() {
    nRows = 0;
    bClosed = false;
  }
  CAtomRow& NextRow() {
    if (static_cast<size_t>(nRows) >= rows.size()) rows.emplace_back();
    return rows[static_cast<size_t>(nRows++)];
  }
};

// The rest of a cell block after its "Unit Cell" line: the three rows after
// "Real Lattice(A)" (the first three numbers of each), then the three lines
// after "Lattice parameters(A)", "a = 3.811962  alpha = 60.000000" (b and
// beta, c and gamma below). False when the file ends before the block does;
// lines or numbers missing inside it give 0.
bool ReadCellBlock(LineReader& stream, CCellText& cell) {
  cell = CCellText();
  for (;;) {
    if (!stream.ReadLine()) return false;
    if (std::strstr(stream.Line(), "Lattice parameters(A)")) break;
    if (!std::strstr(stream.Line(), "Real Lattice(A)")) continue;
    for (int i = 0; i < 3; ++i) {
      if (!stream.ReadLine()) return false;
      const char* p = stream.Line();
      ScanDoubles(p, cell.axes[i], 3, stream.Line() + stream.Length());
    }
    cell.bAxes = true;
  }
  for (int i = 0; i < 3; ++i) {
    if (!stream.ReadLine()) return false;
    const char* first = std::strchr(stream.Line(), '=');
    if (!first) continue;
    cell.length[i] = AtoF(first + 1);
    const char* second = std::strchr(first + 1, '=');
    if (second) cell.angle[i] = AtoF(second + 1);
  }
  cell.bCell = true;
  return true;
}

// One row of the atom table, "x  Si  1  0.000000  0.250000  0.250000  x". A
// row without an element name (such as a line "x") gives none; coordinates
// missing after the name are 0.
void ReadAtomRow(const char* line, const char* end, CTableText& table) {
  const char* p = line;
  const char* word = nullptr;
  size_t length = 0;
  if (!ScanWord(p, word, length, end) || !ScanWord(p, word, length, end)) return;
  CAtomRow& row = table.NextRow();
  row.element.assign(word, length);
  int number = 0;
  if (ScanInt(p, number, end))
    ScanDoubles(p, row.uvw, 3, end);
  else
    row.uvw[0] = row.uvw[1] = row.uvw[2] = 0;
}

// Rows of an atom table into table, from the reader's position until the
// table's closing "xxxx" line (the table is then closed) or the end of the
// file, at most maxRows of them. True when the table goes on after them.
bool ReadTableRows(LineReader& stream, int maxRows, CTableText& table) {
  while (table.nRows < maxRows) {
    if (!stream.ReadLine()) return false;
    if (std::strstr(stream.Line(), "xxxxxx")) {
      table.bClosed = true;
      return false;
    }
    ReadAtomRow(stream.Line(), stream.Line() + stream.Length(), table);
  }
  return true;
}

// The rest of an atom table after its "Fractional coordinates of atoms" line
// (two more heading lines, the rows, the closing line). Rows beyond maxRows
// are passed over.
void ReadTable(LineReader& stream, int maxRows, CTableText& table) {
  table.Clear();
  if (SkipLines(stream, 2) && ReadTableRows(stream, maxRows, table))
    table.bClosed = ReadUntilContaining(stream, "xxxxxx");
}

// The text between the stars of a line " ****** Title ******" (blanks on both
// sides of the title), or false.
bool TitleBetweenStars(const char* line, const char* end, const char*& title, size_t& length) {
  const char* p = line;
  const char* q = end;
  while (p < q && IsScanSpace(*p)) ++p;
  while (q > p && IsScanSpace(q[-1])) --q;
  if (p == q || *p != '*' || q[-1] != '*') return false;
  while (p < q && *p == '*') ++p;
  while (q > p && q[-1] == '*') --q;
  if (p == q || !IsScanSpace(*p) || !IsScanSpace(q[-1])) return false;
  while (IsScanSpace(*p)) ++p;
  while (IsScanSpace(q[-1])) --q;
  title = p;
  length = static_cast<size_t>(q - p);
  return true;
}

// Every block in which CASTEP prints a step's forces, by its title; the
// constrained ones come with version 17. "Unconstrained Forces" repeats the
// forces of a step already printed and is no block of its own.
bool IsForceTitle(const char* line, const char* end) {
  static const char* const kTitles[] = {"Forces", "Symmetrised Forces", "Constrained Forces",
                                        "Constrained Symmetrised Forces"};
  const char* title = nullptr;
  size_t length = 0;
  if (!TitleBetweenStars(line, end, title, length)) return false;
  for (const char* known : kTitles)
    if (std::strlen(known) == length && std::memcmp(known, title, length) == 0) return true;
  return false;
}

// The line of stars alone that closes a block.
bool IsRuleOfStars(const char* line, const char* end) {
  const char* p = line;
  while (p < end && IsScanSpace(*p)) ++p;
  const char* stars = p;
  while (p < end && *p == '*') ++p;
  const char* rule = p;
  while (p < end && IsScanSpace(*p)) ++p;
  return p == end && rule - stars >= 2;
}

// One row of a force block. Both "word number fx fy fz" and CASTEP's own
// "* Si  1  fx fy fz *" give the three numbers after the atom number; a
// component of a constrained ion ("0.00000(cons'd)") counts with its number.
// False for a line without an atom number (the block's heading and blank
// lines); numbers that cannot be found are 0.
bool ScanForceLine(const char* line, const char* end, double force[3]) {
  force[0] = force[1] = force[2] = 0.0;
  const char* p = line;
  const char* word = nullptr;
  size_t length = 0;
  int number = 0;
  if (!ScanWord(p, word, length, end)) return false;
  if (!ScanInt(p, number, end) && !(ScanWord(p, word, length, end) && ScanInt(p, number, end))) return false;
  for (int i = 0; i < 3; ++i) {
    if (!ScanDouble(p, force[i], end)) break;
    while (*p && !IsScanSpace(*p)) ++p;
  }
  return true;
}

// The rest of a force block after its title line, to its closing line of
// stars: the forces of its first nAtoms rows into forces, three a row. True
// when the block is closed and has a row for each of the nAtoms atoms: CASTEP
// lists every ion, and a block that lists fewer belongs to no geometry read.
// Only the rows read are written, so that a short block costs no more than
// its lines.
bool ReadForceBlock(LineReader& stream, int nAtoms, std::vector<double>& forces) {
  if (forces.size() < 3 * static_cast<size_t>(nAtoms)) forces.resize(3 * static_cast<size_t>(nAtoms));
  int nRows = 0;
  while (stream.ReadLine()) {
    const char* line = stream.Line();
    const char* end = line + stream.Length();
    if (IsRuleOfStars(line, end)) return nRows == nAtoms;
    if (nRows < nAtoms && ScanForceLine(line, end, &forces[3 * static_cast<size_t>(nRows)])) ++nRows;
  }
  return false;
}

// A table of a step keeps one row more than a converter's crystal holds, so
// that the crystal says once for each step that it is full; the starting
// structure's table is read in parts of kTableRowsAtOnce rows, all of them
// printed.
constexpr int kTableRowsKept = CCrystal::kConverterAtomSites + 1;
constexpr int kTableRowsAtOnce = 1 << 14;

// A run read block by block in the order printed. A frame is a force block
// with the geometry in force when it was printed, for which the forces were
// computed: the last complete cell block printed before it (a fixed-cell run
// prints its cell once) and the last complete atom table (a run that moves
// only its cell prints its atoms once). A block cut off by the end of the
// file, as a running job leaves it, is no frame and changes nothing.
struct CRunText {
  CCellText cell;
  CTableText table;
  std::vector<double> forces;  // the frame's, three for each row of the table (at least)

  // Reads on to the next frame: true with the frame's cell, table and forces;
  // false at the end of the file, the cell and table then the last complete
  // ones read.
  bool ReadFrame(LineReader& stream) {
    static const char* const kMarks[] = {"Unit Cell", "Fractional coordinates of atoms", "Forces "};
    while (stream.ReadLineContaining(kMarks, 3)) {
      const char* line = stream.Line();
      if (std::strstr(line, "Unit Cell")) {
        if (ReadCellBlock(stream, nextCell_)) cell = nextCell_;
      } else if (std::strstr(line, "Fractional coordinates of atoms")) {
        ReadTable(stream, kTableRowsKept, nextTable_);
        if (nextTable_.bClosed) std::swap(table, nextTable_);
      } else if (IsForceTitle(line, line + stream.Length())) {
        if (ReadForceBlock(stream, table.nRows, forces) && cell.bCell && table.nRows > 0) return true;
      }
    }
    return false;
  }

 private:
  CCellText nextCell_;  // the block being read
  CTableText nextTable_;
};

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

// Makes the cell the crystal's, without sites yet, and prints it with bShow.
void BeginStructure(const CCellText& cell, CCrystal& crystal, bool bShow) {
  crystal.nAtomAsymSites = 0;
  crystal.nAtomSites = 0;
  if (!cell.bCell) return;
  crystal.SetLatticeParameters(kNmPerAngstrom * cell.length[0], kNmPerAngstrom * cell.length[1],
                               kNmPerAngstrom * cell.length[2], cell.angle[0], cell.angle[1], cell.angle[2]);
  if (bShow)
    FastPrintf("Lattice parameters: %lg %lg %lg nm  %lg %lg %lg\n", crystal.a, crystal.b, crystal.c, crystal.alpha,
               crystal.beta, crystal.gamma);
  crystal.CalculateLatticeVectors();
}

// The turn of forces printed along the cell's Real Lattice rows into the
// frame of the positions written, the crystal's standard orientation (none
// for rows printed in that orientation already); false for a cell without
// Real Lattice rows.
bool ForceTurn(const CCellText& cell, const CCrystal& crystal, CFrameTurn& turn) {
  const double(*v)[3] = cell.axes;
  if (!cell.bAxes) return false;
  double printed[3][3];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) printed[i][j] = kNmPerAngstrom * v[i][j];
  turn = crystal.TurnFrom(printed);
  return true;
}

// Adds a site for each row of the table, with its force (three a row, turned
// when turn is given) when forces is given, and prints the row with bShow.
void AddRows(const CTableText& table, const double* forces, const CFrameTurn* turn, CCrystal& crystal, bool bShow) {
  for (int i = 0; i < table.nRows; ++i) {
    const CAtomRow& row = table.rows[static_cast<size_t>(i)];
    double f[3] = {0, 0, 0};
    if (forces) {
      for (int k = 0; k < 3; ++k) f[k] = forces[3 * static_cast<size_t>(i) + k];
      if (turn) turn->Apply(f);
    }
    if (bShow) PrintAtomLine(row.element, row.uvw);
    crystal.AddAtomAsymSite("", row.element, 1.0, row.uvw[0], row.uvw[1], row.uvw[2], f[0], f[1], f[2]);
  }
}

// Makes the run's geometry in force the crystal's structure, with the frame's
// forces when bForces, and prints it with bShow. Returns the sites.
int BuildStructure(const CRunText& run, bool bForces, CCrystal& crystal, bool bShow) {
  BeginStructure(run.cell, crystal, bShow);
  CFrameTurn turn;
  const bool bTurn = bForces && ForceTurn(run.cell, crystal, turn);
  AddRows(run.table, bForces ? run.forces.data() : nullptr, bTurn ? &turn : nullptr, crystal, bShow);
  return crystal.CopyAsymSitesToSites();
}

// The starting structure from the reader's position (the start of the
// file): the first cell block and the first rows of the atom table after it.
// True when the table goes on after them.
bool ReadStartingText(LineReader& stream, CCellText& cell, CTableText& table) {
  table.Clear();
  return ReadUntilContaining(stream, "Unit Cell") && ReadCellBlock(stream, cell) &&
         ReadUntilContaining(stream, "Fractional coordinates of atoms") && SkipLines(stream, 2) &&
         ReadTableRows(stream, kTableRowsAtOnce, table);
}

// Prints the starting structure and makes it the crystal's: its cell and the
// first rows of its table, and while bMore says the table goes on in the
// reader, the rows after them. Returns the sites.
int BuildStartingStructure(LineReader& stream, const CCellText& cell, CTableText& table, bool bMore,
                           CCrystal& crystal) {
  BeginStructure(cell, crystal, true);
  AddRows(table, nullptr, nullptr, crystal, true);
  while (bMore) {
    table.Clear();
    bMore = ReadTableRows(stream, kTableRowsAtOnce, table);
    AddRows(table, nullptr, nullptr, crystal, true);
  }
  return crystal.CopyAsymSitesToSites();
}

// The conversion of a run (CASTEPConvOutput). The head of the file gives
// the starting structure; every frame is a force block with the geometry in
// force when it was printed (see CRunText). Besides the CIF files the final
// structure goes to an updated CAR file.
class COutputConversion final : public CTrajectoryConversion {
 public:
  COutputConversion(const std::string& castepPath, const std::string& carPath, const CConversionSettings& settings,
                    CLayout layout)
      : CTrajectoryConversion(settings, std::move(layout)), castepPath_(castepPath), carPath_(carPath) {}

 private:
  // The frames are counted before any is printed: one pass counts them, a
  // second one reads them.
  int CountSteps() override {
    if (!castep_.Open(castepPath_)) return 0;
    CRunText run;
    int nFrames = 0;
    while (nFrames < INT_MAX && run.ReadFrame(castep_)) ++nFrames;
    castep_.Rewind();
    return nFrames;
  }
  bool OpenSteps() override {
    if (castep_.IsOpen()) return true;
    ReportCanNotRead(castepPath_);
    return false;
  }
  // The frames are then read from the top again: the first table of a run
  // may be its first frame's.
  void ReadStartingStructure(CCrystal& crystal) override {
    CCellText cell;
    CTableText table;
    const bool bMore = ReadStartingText(castep_, cell, table);
    BuildStartingStructure(castep_, cell, table, bMore, crystal);
    castep_.Rewind();
  }
  int ReadNextStep(CCrystal& crystal) override {
    if (!run_.ReadFrame(castep_)) return 0;
    BuildStructure(run_, true, crystal, true);
    ++nFramesRead_;
    return 1;
  }
  // A run without a frame ends with the structure in force at the end of the
  // file, when it has one (the last complete cell and table; a job stopped
  // before its first forces may have printed more than the starting one).
  // It is no frame and is not printed as one.
  void WriteResults() override {
    if (nFramesRead_ == 0) {
      while (run_.ReadFrame(castep_)) {
      }
      if (run_.cell.bCell && run_.table.nRows > 0) BuildStructure(run_, false, *crystal_, false);
    }
    CTrajectoryConversion::WriteResults();
  }
  void WriteMoreFiles() override {
    if (crystal_->nAtomAsymSites == 0) return;
    std::printf("Create update CAR file: %s\n", carPath_.c_str());
    WriteCAR(carPath_, *crystal_);
  }

  const std::string castepPath_, carPath_;
  LineReader castep_;
  CRunText run_;  // the frames as they are read
  int nFramesRead_ = 0;
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
