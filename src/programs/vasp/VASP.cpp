#include "programs/vasp/VASP.h"

#include <cinttypes>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "text/NumberFormat.h"
#include "text/LineReader.h"
#include "text/NumberScan.h"
#include "system/Platform.h"
#include "text/TextUtil.h"
#include "crystal/Crystal.h"
#include "numerics/MyVector.h"

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

// POTCAR: one atom type per dataset, named by the element of its title line
// ("PAW_PBE Fe_pv 06Sep2000" gives Fe). Only the title lines and the "End of
// Dataset" markers are looked at.
void ReadPOTCARFile(const std::string& path, CCrystal& crystal) {
  LineReader potcar;
  if (!potcar.Open(path)) {
    std::printf("Error in CVASP::ReadPOTCARFile: Can not read [%s].\n", path.c_str());
    return;
  }
  while (potcar.ReadLine()) {
    char* title = potcar.Line();
    Trim(title);
    char* name = std::strchr(title, ' ');
    name = SkipBlanks(name ? name + 1 : title);
    if (char* cut = std::strchr(name, ' ')) *cut = '\0';
    if (char* cut = std::strchr(name, '_')) *cut = '\0';
    crystal.AddAtomType(name, 0.0, false);
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

}  // namespace

std::string RunDirectory(const std::string& argument) {
  size_t sep = FindLastSeparator(argument);
  return sep == std::string::npos ? argument : argument.substr(0, sep);
}

int ReadPOSCARFile(const std::string& path, CCrystal& crystal) {
  std::printf("ReadPOSCARFile:\n");
  crystal.Initialize();
  crystal.SpaceGroup.Initialize();
  crystal.AllocateAtomTypes(CCrystal::kConverterAtomTypes);
  crystal.AllocateAtomAsymSites(CCrystal::kConverterAtomSites);
  crystal.AllocateAtomSites(CCrystal::kConverterAtomSites);

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

  // Title, scale and the three lattice vectors. The scale is a plain factor
  // whatever its sign; Angstrom become nm.
  file.ReadLine();
  Trim(file.Line());
  crystal.Name = file.Line();
  crystal.ChemicalName = file.Line();
  file.ReadLine();
  const double scale = AtoF(file.Line()) * 0.1;
  double vectors[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
  for (auto& v : vectors) {
    file.ReadLine();
    ScanNumbers(file.Line(), v, 3);
    for (double& component : v) component *= scale;
  }
  StoreLatticeFromVectors(crystal, vectors);
  std::printf("  Lattice parameters: %lg nm %lg nm %lg nm   %lg %lg %lg\n", crystal.a, crystal.b, crystal.c,
              crystal.alpha, crystal.beta, crystal.gamma);
  std::printf("nAtomTypes: %d\n", crystal.nAtomTypes);

  // A sixth line of anything but blanks and digits is the element line of the
  // VASP 5 form; its symbols are not used, the names come from POTCAR.
  file.ReadLine();
  bool bElementLine = false;
  for (const char* p = file.Line(); *p; ++p)
    if (!(*p == ' ' || IsDigit(*p) || *p == '\r' || *p == '\n')) bElementLine = true;
  if (bElementLine) file.ReadLine();

  // Counts, one per POTCAR dataset. A count that is missing, not a number or
  // negative is reported and taken as 0, as are the counts after it.
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

  // The rest of the counts line is dropped; an optional selective-dynamics
  // line; then the mode line: "DIRECT" anywhere means fractional coordinates.
  file.ReadLine();
  if (StartsWithNoCase(file.Line(), "Selective")) file.ReadLine();
  Trim(file.Line());
  ToUpperInPlace(file.Line());
  const bool bDirect = std::strstr(file.Line(), "DIRECT") != nullptr;

  // Atom lines, type by type. The flags of selective dynamics behind the three
  // numbers are ignored. A file that ends, or a line without a position,
  // before the counts are used up is reported; the atoms read so far stay.
  long long nExpectedAtoms = 0;
  for (int t = 0; t < crystal.nAtomTypes; ++t) nExpectedAtoms += crystal.nAtomsInFormula[t];
  int nRead = 0;
  bool bShort = false;
  for (int t = 0; t < crystal.nAtomTypes && !bShort; ++t) {
    const std::string typeName = crystal.AtomTypes[t].NameOrLabel();
    const int nAtoms = crystal.nAtomsInFormula[t];
    for (int k = 0; k < nAtoms; ++k) {
      double p[3] = {0, 0, 0};
      if (!file.ReadLine() || ScanNumbers(file.Line(), p, 3) < 3) {
        bShort = true;
        break;
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
  if (bShort)
    std::printf("Error in CVASP::ReadPOSCARFile: [%s] lists %lld atoms, but only %d position lines follow.\n",
                path.c_str(), nExpectedAtoms, nRead);
  file.Close();

  crystal.CalculateLatticeVectors();
  crystal.CopyAsymSitesToSites();
  return 1;
}

void ReadINCARTitle(const std::string& incarPath, std::string& title) {
  LineReader incar;
  if (!incar.Open(incarPath)) {
    std::printf("Error in VASPConvCONTCAR: Can not read [%s].\n", incarPath.c_str());
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

int CountIonicSteps(LineReader& outcar) {
  int nStep = 0;
  while (outcar.ReadLineContaining("TOTAL-FORCE"))
    if (IsPositionTableHeading(outcar.Line())) ++nStep;
  outcar.Rewind();
  return nStep;
}

int ReadNextCrystalStructureFromOUTCAR(LineReader& outcar, CCrystal& crystal) {
  crystal.nAtomAsymSites = 0;
  crystal.nAtomSites = 0;

  // The cell block of the step. Meeting a position table first means the
  // step has no cell block: reading on would pair each table with the cell of
  // the next step, so the conversion stops there.
  const char* const kMarkers[2] = {"VOLUME and BASIS-vectors", "direct lattice vectors"};
  for (const char* marker : kMarkers) {
    for (;;) {
      // Lines with neither text are neither the marker nor the heading.
      const char* const kLookFor[2] = {marker, "TOTAL-FORCE"};
      if (!outcar.ReadLineContaining(kLookFor, 2)) {
        std::printf("Error in ReadNextCrystalStructureFromOUTCAR: OUTCAR ends before the next ionic step.\n");
        return 0;
      }
      if (std::strstr(outcar.Line(), marker)) break;
      if (IsPositionTableHeading(outcar.Line())) {
        std::printf("Error in ReadNextCrystalStructureFromOUTCAR: an ionic step of OUTCAR has no cell block.\n");
        return 0;
      }
    }
  }
  double vectors[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
  for (auto& v : vectors) {
    outcar.ReadLine();
    ScanNumbers(outcar.Line(), v, 3);
    for (double& component : v) component *= 0.1;
  }
  StoreLatticeFromVectors(crystal, vectors);
  std::printf("Lattice parameters: %lg %lg %lg nm  %lg %lg %lg\n", crystal.a, crystal.b, crystal.c, crystal.alpha,
              crystal.beta, crystal.gamma);

  // Positions are Cartesian in the frame of the vectors just read, whatever
  // their orientation; they become fractional with the inverse of that cell.
  // The crystal then takes its standard orientation for the writers.
  double inverse[9];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) inverse[3 * i + j] = vectors[i][j];
  double determinant = 0;
  const int inverted = minver(inverse, 3, 3, 1.0e-6, &determinant);
  if (inverted != 0) {
    std::printf("Error in CCrystal::CartesianToFractional: return of minver is %d\n", inverted);
    for (double& e : inverse) e = 0;
  }
  crystal.CalculateLatticeVectors();

  for (;;) {
    if (!outcar.ReadLineContaining("TOTAL-FORCE")) {
      std::printf("Error in ReadNextCrystalStructureFromOUTCAR: OUTCAR ends inside an ionic step.\n");
      return 0;
    }
    if (IsPositionTableHeading(outcar.Line())) break;
  }
  outcar.ReadLine();  // the dashed rule under the heading

  long long nExpected = 0, nRead = 0;
  for (int t = 0; t < crystal.nAtomTypes; ++t) nExpected += crystal.nAtomsInFormula[t];
  for (int t = 0; t < crystal.nAtomTypes; ++t) {
    const std::string& typeName = crystal.AtomTypes[t].NameOrLabel();
    const int nAtoms = crystal.nAtomsInFormula[t];
    for (int k = 0; k < nAtoms; ++k) {
      double v[6] = {0, 0, 0, 0, 0, 0};
      if (!outcar.ReadLine() || ScanNumbers(outcar.Line(), v, 6) < 3) {
        std::printf("Error in ReadNextCrystalStructureFromOUTCAR: the position table of OUTCAR ends after %lld "
                    "of %lld atoms.\n",
                    nRead, nExpected);
        return 0;
      }
      ++nRead;
      const double x = 0.1 * v[0], y = 0.1 * v[1], z = 0.1 * v[2];
      const double fx = inverse[0] * x + inverse[3] * y + inverse[6] * z;
      const double fy = inverse[1] * x + inverse[4] * y + inverse[7] * z;
      const double fz = inverse[2] * x + inverse[5] * y + inverse[8] * z;
      // The label is the one an empty label would be given (type name and
      // running number), made here without searching the sites added so far.
      crystal.AddAtomAsymSite(typeName + std::to_string(k + 1), typeName, 1.0, fx, fy, fz, v[3], v[4], v[5]);
    }
  }
  crystal.CopyAsymSitesToSites();
  return 1;
}

}  // namespace CVASP
}  // namespace quorvel
