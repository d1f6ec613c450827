#include "programs/vasp/VASP.h"

#include <cinttypes>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "crystal/Crystal.h"
#include "numerics/CellInverse.h"
#include "numerics/CellMetric.h"
#include "numerics/Constants.h"
#include "system/Platform.h"
#include "text/LineReader.h"
#include "text/Messages.h"
#include "text/NumberFormat.h"
#include "text/NumberScan.h"
#include "text/TextUtil.h"

namespace quorvel {
namespace CVASP {

namespace {

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Case-insensitive search of an upper-case ASCII word in a line.
const char* FindUpperWord(const char* line, const char* word) {
  size_t n = std::strlen(word);
  for (const char* p = line; *p; ++p) {
    size_t i = 0;
    while (i < n && p[i] && (p[i] == word[i] || (p[i] >= 'a' && p[i] <= 'z' && p[i] - 'a' + 'A' == word[i]))) ++i;
    if (i == n) return p;
  }
  return nullptr;
}

void ToUpperInPlace(char* text) {
  for (; *text; ++text)
    if (*text >= 'a' && *text <= 'z') *text = static_cast<char>(*text - 'a' + 'A');
}

// Adds the atom type a dataset's title names: its element, the word after
// the first one ("PAW_PBE Fe_pv 06Sep2000" gives Fe). The title is cut in
// place.
void AddTypeOfDataset(char* title, CCrystal& crystal) {
  Trim(title);
  char* name = std::strchr(title, ' ');
  name = SkipBlanks(name ? name + 1 : title);
  if (char* cut = std::strchr(name, ' ')) *cut = '\0';
  if (char* cut = std::strchr(name, '_')) *cut = '\0';
  crystal.AddAtomType(name, 0.0, false);
}

// POTCAR: one atom type per dataset, named by the element of its title line.
// Only the title lines and the "End of Dataset" markers are looked at.
void ReadPOTCARFile(const std::string& path, CCrystal& crystal) {
  LineReader potcar;
  if (!potcar.Open(path)) {
    ReportCanNotRead(path, "Error in CVASP::ReadPOTCARFile: ");
    return;
  }
  while (potcar.ReadLine()) {
    AddTypeOfDataset(potcar.Line(), crystal);
    bool endOfDataset = false;
    while (!endOfDataset && potcar.ReadLine()) {
      ToUpperInPlace(potcar.Line());
      endOfDataset = std::strstr(potcar.Line(), "END OF DATASET") != nullptr;
    }
    if (!endOfDataset) break;
  }
}

// Reads integers from the structure file the way the "%d" scan of the open
// stream does: white space, line ends included, is skipped, so the counts may
// run over several lines.
class CCountScanner {
 public:
  CCountScanner(LineReader& reader, char* start) : reader_(reader), cursor_(start) {}

  // 1 with the count read; 0 when the next text is not a number; -1 at the
  // end of the file.
  int Next(int& value) {
    for (;;) {
      while (IsScanSpace(*cursor_)) ++cursor_;
      if (*cursor_) break;
      if (!reader_.ReadLine()) return -1;
      cursor_ = reader_.Line();
    }
    char* stop = nullptr;
    long long v = std::strtoll(cursor_, &stop, 10);
    if (stop == cursor_) return 0;
    cursor_ = stop;
    value = v > INT_MAX ? INT_MAX : (v < INT_MIN ? INT_MIN : static_cast<int>(v));
    return 1;
  }
  // True when another number follows on the rest of the current line.
  bool NumberFollowsOnLine() const {
    const char* p = cursor_;
    while (IsScanSpace(*p)) ++p;
    if (*p == '+' || *p == '-') ++p;
    return IsDigit(*p);
  }

 private:
  LineReader& reader_;
  char* cursor_;
};

// The lattice parameters from the three vectors as read.
void StoreLatticeFromVectors(CCrystal& crystal, const double v[3][3]) {
  crystal.SetLatticeVectors(v[0][0], v[0][1], v[0][2], v[1][0], v[1][1], v[1][2], v[2][0], v[2][1], v[2][2]);
  crystal.CalculateLatticeParameters();
}

bool IsPositionTableHeading(const char* line) {
  return std::strstr(line, "POSITION") != nullptr && std::strstr(line, "TOTAL-FORCE") != nullptr;
}

// Three lines of a cell's vectors a, b, c, each component times factor;
// what a line lacks is 0.
void ReadVectorLines(LineReader& file, double factor, double vectors[3][3]) {
  for (int i = 0; i < 3; ++i) {
    double* v = vectors[i];
    v[0] = v[1] = v[2] = 0;
    file.ReadLine();
    ScanNumbers(file.Line(), v, 3);
    for (int k = 0; k < 3; ++k) v[k] *= factor;
  }
}

// Title, scale and the three lattice vectors; Angstrom become nm. A
// positive scale is a factor; a negative one is, as VASP takes it, the cell's
// volume in cubic Angstrom, and the factor is the one that gives the vectors
// that volume (a flat cell keeps the vectors as they are). Returns the factor
// from the file's Cartesian positions to nm.
double ReadPOSCARCell(LineReader& file, CCrystal& crystal) {
  file.ReadLine();
  Trim(file.Line());
  crystal.Name = file.Line();
  crystal.ChemicalName = file.Line();
  file.ReadLine();
  double scale = AtoF(file.Line()) * kNmPerAngstrom;
  double vectors[3][3];
  if (scale >= 0) {
    ReadVectorLines(file, scale, vectors);
  } else {
    ReadVectorLines(file, kNmPerAngstrom, vectors);
    const double volume = CellVolume(vectors);
    scale = volume > 0 ? std::cbrt(-scale * kNmPerAngstrom * kNmPerAngstrom / volume) : 1.0;
    for (auto& v : vectors)
      for (double& component : v) component *= scale;
    scale *= kNmPerAngstrom;
  }
  StoreLatticeFromVectors(crystal, vectors);
  std::printf("  Lattice parameters: %lg nm %lg nm %lg nm   %lg %lg %lg\n", crystal.a, crystal.b, crystal.c,
              crystal.alpha, crystal.beta, crystal.gamma);
  return scale;
}

// The counts, one per POTCAR dataset, after the element line of the VASP 5
// form, whose symbols are not used (the names come from POTCAR). The sixth
// line is the counts line when its first word is a number: VASP 4 files may
// carry a comment behind the counts ("2   number of atoms per species"). A
// count that is missing, not a number or negative is reported and taken as
// 0, as are the counts after it.
void ReadPOSCARCounts(LineReader& file, const std::string& path, CCrystal& crystal) {
  file.ReadLine();
  const char* first = SkipBlanks(file.Line());
  const bool bElementLine = *first != '\0' && *first != '\r' && *first != '\n' && !IsDigit(*first);
  if (bElementLine) file.ReadLine();

  CCountScanner counts(file, file.Line());
  bool bCountsGood = true;
  for (int i = 0; i < crystal.nAtomTypes; ++i) {
    int n = 0;
    if (bCountsGood) {
      int result = counts.Next(n);
      if (result <= 0 || n < 0) {
        std::printf("Error in CVASP::ReadPOSCARFile: [%s] gives no valid atom count for [%s].\n", path.c_str(),
                    crystal.AtomTypes[i].NameOrLabel().c_str());
        bCountsGood = false;
        n = 0;
      }
    }
    crystal.nAtomsInFormula[i] = n;
    std::printf("  nEachAtoms[%d]=%d\n", i, n);
  }
  if (bCountsGood && crystal.nAtomTypes > 0 && counts.NumberFollowsOnLine())
    std::printf("Error in CVASP::ReadPOSCARFile: [%s] gives more atom counts than POTCAR has datasets (%d).\n",
                path.c_str(), crystal.nAtomTypes);
}

// The rest of the counts line is dropped; an optional selective-dynamics
// line; then the mode line: "DIRECT" anywhere means fractional coordinates.
bool ReadPOSCARMode(LineReader& file) {
  file.ReadLine();
  if (StartsWithNoCase(file.Line(), "Selective")) file.ReadLine();
  Trim(file.Line());
  ToUpperInPlace(file.Line());
  return std::strstr(file.Line(), "DIRECT") != nullptr;
}

// Atom lines, type by type; Cartesian positions (unless bDirect) are scaled
// to nm by scale. The flags of selective dynamics behind the three numbers
// are ignored. A file that ends, or a line without a position, before the
// counts are used up is reported; the atoms read so far stay.
void ReadPOSCARSites(LineReader& file, const std::string& path, bool bDirect, double scale, CCrystal& crystal) {
  long long nExpectedAtoms = 0;
  for (int t = 0; t < crystal.nAtomTypes; ++t) nExpectedAtoms += crystal.nAtomsInFormula[t];
  int nRead = 0;
  for (int t = 0; t < crystal.nAtomTypes; ++t) {
    const std::string typeName = crystal.AtomTypes[t].NameOrLabel();
    const int nAtoms = crystal.nAtomsInFormula[t];
    for (int k = 0; k < nAtoms; ++k) {
      double p[3] = {0, 0, 0};
      if (!file.ReadLine() || ScanNumbers(file.Line(), p, 3) < 3) {
        std::printf("Error in CVASP::ReadPOSCARFile: [%s] lists %lld atoms, but only %d position lines follow.\n",
                    path.c_str(), nExpectedAtoms, nRead);
        return;
      }
      ++nRead;
      std::string label = typeName + std::to_string(k + 1);
      FastPrintf("  Site: %s (%lg,%lg,%lg) => ", label.c_str(), p[0], p[1], p[2]);
      double f[3] = {p[0], p[1], p[2]};
      if (!bDirect) {
        // A singular lattice leaves the site at the origin (the conversion
        // prints its message).
        f[0] = f[1] = f[2] = 0;
        crystal.CartesianToFractional(p[0] * scale, p[1] * scale, p[2] * scale, f[0], f[1], f[2]);
      }
      int n = crystal.AddAtomAsymSite(label, typeName, 1.0, f[0], f[1], f[2], 0, 0, 0);
      FastPrintf("(%lg,%lg,%lg) %d\n", f[0], f[1], f[2], n);
    }
  }
}

}  // namespace

std::string RunDirectory(const std::string& argument) {
  size_t sep = FindLastSeparator(argument);
  return sep == std::string::npos ? argument : argument.substr(0, sep);
}

int ReadPOSCARFile(const std::string& path, CCrystal& crystal) {
  std::printf("ReadPOSCARFile:\n");
  // POTCAR lies beside the structure file (in the current directory when the
  // path names no directory).
  const size_t sep = FindLastSeparator(path);
  std::string potcarPath;
  JoinPath(potcarPath, sep == std::string::npos ? std::string() : path.substr(0, sep), "POTCAR");
  ReadPOTCARFile(potcarPath, crystal);

  LineReader file;
  if (!file.Open(path)) {
    std::printf("Error: Can not read [%s]\n", path.c_str());
    return -1;
  }
  const double scale = ReadPOSCARCell(file, crystal);
  std::printf("nAtomTypes: %d\n", crystal.nAtomTypes);
  ReadPOSCARCounts(file, path, crystal);
  const bool bDirect = ReadPOSCARMode(file);
  ReadPOSCARSites(file, path, bDirect, scale, crystal);
  file.Close();

  crystal.CalculateLatticeVectors();
  crystal.CopyAsymSitesToSites();
  return 1;
}

void ReadINCARTitle(const std::string& incarPath, std::string& title) {
  LineReader incar;
  if (!incar.Open(incarPath)) {
    ReportCanNotRead(incarPath, "Error in VASPConvCONTCAR: ");
    return;
  }
  while (incar.ReadLine()) {
    const char* line = incar.Line();
    const char* system = FindUpperWord(line, "SYSTEM");
    if (!system || !std::strchr(system + 6, '=')) continue;
    title = std::strchr(line, '=') + 1;
    Trim(title);
    return;
  }
}

namespace {

const char kStepReader[] = "Error in ReadNextCrystalStructureFromOUTCAR: ";

// Reads on to the step's cell block. Meeting a position table first means
// the step has no cell block: reading on would pair each table with the cell
// of the next step, so the conversion stops there. False after a message
// when the block is missing.
bool FindCellBlock(LineReader& outcar) {
  const char* const kMarkers[2] = {"VOLUME and BASIS-vectors", "direct lattice vectors"};
  for (const char* marker : kMarkers) {
    for (;;) {
      // Lines with neither text are neither the marker nor the heading.
      const char* const kLookFor[2] = {marker, "TOTAL-FORCE"};
      if (!outcar.ReadLineContaining(kLookFor, 2)) {
        std::printf("%sOUTCAR ends before the next ionic step.\n", kStepReader);
        return false;
      }
      if (std::strstr(outcar.Line(), marker)) break;
      if (IsPositionTableHeading(outcar.Line())) {
        std::printf("%san ionic step of OUTCAR has no cell block.\n", kStepReader);
        return false;
      }
    }
  }
  return true;
}

// Reads on past the heading of the step's position table and the dashed rule
// under it. False after a message when the file ends first.
bool FindPositionTable(LineReader& outcar) {
  for (;;) {
    if (!outcar.ReadLineContaining("TOTAL-FORCE")) {
      std::printf("%sOUTCAR ends inside an ionic step.\n", kStepReader);
      return false;
    }
    if (IsPositionTableHeading(outcar.Line())) break;
  }
  outcar.ReadLine();
  return true;
}

// The rows of the position table, "x y z fx fy fz" (Angstrom, eV/Angstrom),
// as many as the atom types count, into the crystal; the positions become
// fractional with the inverse of the step's cell, and the forces are turned
// with the cell into the frame of the written positions. False after a
// message when the table ends early.
bool ReadPositionTable(LineReader& outcar, const CCellInverse& inverse, const CFrameTurn& turn, CCrystal& crystal) {
  long long nExpected = 0, nRead = 0;
  for (int t = 0; t < crystal.nAtomTypes; ++t) nExpected += crystal.nAtomsInFormula[t];
  for (int t = 0; t < crystal.nAtomTypes; ++t) {
    const std::string& typeName = crystal.AtomTypes[t].NameOrLabel();
    const int nAtoms = crystal.nAtomsInFormula[t];
    for (int k = 0; k < nAtoms; ++k) {
      double v[6] = {0, 0, 0, 0, 0, 0};
      if (!outcar.ReadLine() || ScanNumbers(outcar.Line(), v, 6) < 3) {
        std::printf("%sthe position table of OUTCAR ends after %lld of %lld atoms.\n", kStepReader, nRead, nExpected);
        return false;
      }
      ++nRead;
      const double x = kNmPerAngstrom * v[0], y = kNmPerAngstrom * v[1], z = kNmPerAngstrom * v[2];
      double fx, fy, fz;
      inverse.ToFractional(x, y, z, fx, fy, fz);
      turn.Apply(v + 3);
      // The label is the one an empty label would be given (type name and
      // running number), made here without searching the sites added so far.
      crystal.AddAtomAsymSite(typeName + std::to_string(k + 1), typeName, 1.0, fx, fy, fz, v[3], v[4], v[5]);
    }
  }
  return true;
}

}  // namespace

namespace {

// The atom types and counts in the head of OUTCAR, for a run folder without
// POSCAR: a type for each "TITEL  = PAW_PBE Li 17Jan2003" line, in the
// order of POTCAR, and the counts of the "ions per type =" line after them.
// Counts missing from that line are 0, and a missing line leaves them all 0;
// either is said in one line.
void ReadOUTCARTypes(const std::string& outcarPath, CCrystal& crystal) {
  LineReader outcar;
  if (!outcar.Open(outcarPath)) return;
  const char* const kLookFor[2] = {"TITEL", "ions per type"};
  bool bCounts = false;
  while (!bCounts && outcar.ReadLineContaining(kLookFor, 2)) {
    char* line = outcar.Line();
    if (char* counts = std::strstr(line, "ions per type")) {
      bCounts = true;
      const char* p = std::strchr(counts, '=');
      if (p) ++p;
      for (int t = 0; t < crystal.nAtomTypes; ++t) {
        int n = 0;
        if (p && !ScanInt(p, n)) p = nullptr;
        if (!p || n < 0) {
          std::printf("Error in CVASP::ReadOUTCARTypes: [%s] gives no valid atom count for [%s].\n",
                      outcarPath.c_str(), crystal.AtomTypes[t].NameOrLabel().c_str());
          p = nullptr;
          n = 0;
        }
        crystal.nAtomsInFormula[t] = n;
      }
    } else if (char* titel = std::strstr(line, "TITEL")) {
      if (char* title = std::strchr(titel, '=')) AddTypeOfDataset(title + 1, crystal);
    }
  }
  if (!bCounts) std::printf("Error in CVASP::ReadOUTCARTypes: [%s] has no line of ions per type.\n", outcarPath.c_str());
  std::printf("nAtomTypes: %d\n", crystal.nAtomTypes);
  for (int t = 0; t < crystal.nAtomTypes; ++t) std::printf("  nEachAtoms[%d]=%d\n", t, crystal.nAtomsInFormula[t]);
}

}  // namespace

COUTCARConversion::COUTCARConversion(const std::string& poscarPath, const std::string& outcarPath,
                                     const CConversionSettings& settings, CLayout layout)
    : CTrajectoryConversion(settings, std::move(layout)), poscarPath_(poscarPath), outcarPath_(outcarPath) {}

// A run folder without POSCAR still names its atom types and counts in the
// head of OUTCAR; the steps then give every position.
void COUTCARConversion::ReadStartingStructure(CCrystal& crystal) {
  if (!FileExists(poscarPath_) && FileExists(outcarPath_)) {
    std::printf("No POSCAR [%s]: the atom types and counts are read from [%s].\n", poscarPath_.c_str(),
                outcarPath_.c_str());
    ReadOUTCARTypes(outcarPath_, crystal);
    return;
  }
  ReadPOSCARFile(poscarPath_, crystal);
}

// OUTCAR is read twice through one reader, streamed: once to count the
// steps (the lines holding both "POSITION" and "TOTAL-FORCE"), once to
// convert them.
int COUTCARConversion::CountSteps() {
  if (!outcar_.Open(outcarPath_)) return 0;
  int nStep = 0;
  while (outcar_.ReadLineContaining("TOTAL-FORCE"))
    if (IsPositionTableHeading(outcar_.Line())) ++nStep;
  outcar_.Rewind();
  return nStep;
}

bool COUTCARConversion::OpenSteps() {
  if (outcar_.IsOpen()) return true;
  ReportCanNotRead(outcarPath_);
  return false;
}

int COUTCARConversion::ReadNextStep(CCrystal& crystal) {
  crystal.nAtomAsymSites = 0;
  crystal.nAtomSites = 0;
  if (!FindCellBlock(outcar_)) return 0;
  double vectors[3][3];
  ReadVectorLines(outcar_, kNmPerAngstrom, vectors);
  StoreLatticeFromVectors(crystal, vectors);
  std::printf("Lattice parameters: %lg %lg %lg nm  %lg %lg %lg\n", crystal.a, crystal.b, crystal.c, crystal.alpha,
              crystal.beta, crystal.gamma);

  // Positions and forces are Cartesian in the frame of the vectors just
  // read, whatever their orientation; positions become fractional with the
  // inverse of that cell. The crystal then takes its standard orientation for
  // the writers, and the forces are turned with it.
  CCellInverse inverse;
  if (inverse.Set(vectors) != 0) ReportSingularCell(inverse.Status());
  crystal.CalculateLatticeVectors();
  const CFrameTurn turn = crystal.TurnFrom(vectors);

  if (!FindPositionTable(outcar_) || !ReadPositionTable(outcar_, inverse, turn, crystal)) return 0;
  crystal.CopyAsymSitesToSites();
  return 1;
}

}  // namespace CVASP
}  // namespace quorvel
