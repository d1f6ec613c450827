// The Plimo molecular-dynamics program's files: the run's file set (FILE05,
// FILE07, FILE09P, FILE09V) and its conversion to XSF and CIF files, the
// preparation of the next run's input file and the run history tables.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "programs/Conversion.h"
#include "text/LineReader.h"

namespace quorvel {
class CCrystal;

namespace CPlimo {

// FILE07 declares at most this many atom types (the converters' type table).
constexpr int kMaxFILE07AtomTypes = 100;
// FILE07 declares at most this many atoms: the tables of all three
// structures of a conversion are sized by the declared count, so a count
// beyond what a Plimo cell holds is refused instead of allocated.
constexpr int kMaxFILE07Atoms = 100000;

// The companion files of one run and the conversion's output names.
struct CFileSet {
  std::string FILE05, FILE07, FILE09P, FILE09V;
  std::string XSF;      // the input name with the extension xsf
  std::string CIFStem;  // the input name without its extension
};
// Any member of the set may be given: a base name starting with "FILE"
// (any letter case) names the fixed-name set FILE05.DAT ... in the same
// directory, any other base name the set base.f05, base.f07, base.f9p,
// base.f9v.
CFileSet GetFileSet(const std::string& input);

// Scale from FILE09P integers to fractional coordinates, by the first line
// of FILE05: "MD" 1/9000, "XD" 1/2000, else (also without FILE05) 1.
double GetxFactor(const std::string& file05);

// Reads FILE07 into the crystal (prepared with its capacities): title,
// counts, types, cell and atoms, then P1, lattice vectors and unit-cell
// sites. 1 when read; 0 when the file cannot be opened (silently); -1 when
// it is inconsistent (with a message) or its tables cannot be had. In both
// failure cases the crystal is reset to empty.
int ReadFILE07(const std::string& path, CCrystal& crystal);

// Frames in FILE09P for a structure of nAtomSites atoms; 0 with a message
// when the file cannot be read.
int GetnFrameInFile09(const std::string& path, int nAtomSites);

// The action ConvF09p: XSF trajectory and initial, final and averaged CIF
// files (and on request RDF tables) of one run.
// The averaged structure takes the steps from iAvrFirstStep to iAvrLastStep
// (counted from 1; 0 or less: the first, the last step).
struct CAveragingRange {
  int iAvrFirstStep = 0;
  int iAvrLastStep = 0;
};
int ConvF09p(const std::string& input, const CConversionSettings& settings, const CAveragingRange& range);

// The name of the next run's input file for sequential number sn.
std::string GetUpdatedFILE05Name(const std::string& input, int sn);
// The action UpdateFILE05: writes the next run's input file.
// The values written into the next run's input file.
struct CUpdateValues {
  int nCycle = 0;
  double NextTemperature = 0;
  double TemperatureRate = 0;
  int ControlStep = 0;
  double NextPressure = 0;
};
int UpdateFILE05(const std::string& input, int sn, const CUpdateValues& values);

// The History2 table that goes with a History table name.
std::string GetHistory2Name(const std::string& history);
// The action AddHistoryCSV: appends a run's .f06 history to the History
// (and History2) tables; history is the History name or empty.
int AddHistoryCSV(const std::string& f06, const std::string& history, int nOutputInterval);

// FILE09P read frame by frame. A frame is a header line followed by the
// atoms, each three fields of exactly four characters; line breaks stand
// only between atoms, and the rest of the line after the last atom is
// skipped.
class CFILE09PReader {
 public:
  bool Open(const std::string& path) { return reader_.Open(path, LineReader::kText); }
  // Reads the next frame of nAtoms atoms into xyz (x, y, z of each atom, each
  // field times xFactor). False when the file ends before the frame is
  // complete; xyz is then not to be used.
  bool ReadFrame(int nAtoms, double xFactor, std::vector<double>& xyz);

 private:
  bool NextChar(char& c);
  void SkipRestOfLine();

  LineReader reader_;
  size_t pos_ = 0;  // next character of the current piece
};

// FILE09V read record by record (five lines a step).
class CFILE09VReader {
 public:
  bool Open(const std::string& path) { return reader_.Open(path, LineReader::kText); }
  // Reads the next record into the crystal's temperature, pressure and, when
  // the record reaches its third line, density and cell (then the lattice
  // vectors are recomputed). A record whose first line is shorter than 40
  // characters leaves the crystal as it is and is one line long.
  void ReadRecord(CCrystal& crystal);

 private:
  LineReader reader_;
};

}  // namespace CPlimo
}  // namespace quorvel
