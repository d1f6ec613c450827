#include "programs/wien2k/WIENStruct.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "crystal/Crystal.h"
#include "formats/CIFWriter.h"
#include "numerics/Constants.h"
#include "programs/Conversion.h"
#include "text/LineReader.h"
#include "text/Messages.h"
#include "text/NumberScan.h"
#include "text/TextUtil.h"

namespace quorvel {

namespace {

// Lattice line, after trimming: the space-group number from this offset on,
// then the line is cut here and the count of inequivalent atoms is read from
// offset 28.
constexpr size_t kSpaceGroupNumberOffset = 30;
constexpr size_t kAtomCountOffset = 28;

// WIEN2k writes the cell line in six fixed columns of ten characters.
constexpr size_t kCellColumnWidth = 10;

// The cell line's six values. They are read as blank-separated numbers.
// WIEN2k fills six columns of ten characters, so an angle of 100 degrees or
// more follows the previous value without a blank ("90.000000120.000000");
// read as blank-separated numbers that would give 90.00000012 and 0. When a
// number runs straight into the decimal point of the next one, the line is
// read by its columns instead. Lines whose numbers are separated read as
// blank-separated numbers, also when they are not in columns.
void ReadCellLine(const char* line, double cell[6]) {
  for (int k = 0; k < 6; ++k) cell[k] = 0;
  const char* p = line;
  double value;
  for (int k = 0; k < 6 && ScanDouble(p, value); ++k) {
    if (*p == '.') {
      for (int m = 0; m < 6; ++m) cell[m] = AtoF(Field(line, m * kCellColumnWidth, kCellColumnWidth));
      return;
    }
  }
  ScanNumbers(line, cell, 6);
}

// An extra position line of an atom of multiplicity above 1 ("      -2:
// X=0.66666667 Y=0.33333333 Z=0.50000000"): it has the markers of a position
// and none of a name line.
bool IsPositionLine(const char* line) {
  return std::strstr(line, "X=") && std::strstr(line, "Y=") && std::strstr(line, "Z=") && !std::strstr(line, "Z:");
}

// The line WIEN2k writes after each operation block: its index alone.
bool IsOperationIndexLine(const char* line) {
  const char* p = SkipBlanks(line);
  if (*p < '0' || *p > '9') return false;
  while (*p >= '0' && *p <= '9') ++p;
  return *SkipBlanks(p) == '\0';
}

// The first word of a line, as "%s" reads it.
std::string FirstWord(const char* line) {
  const char* word = nullptr;
  size_t length = 0;
  return ScanWord(line, word, length) ? std::string(word, length) : std::string();
}

// Line 1, the title, and line 2, the lattice line ("P   LATTICE,NONEQUIV.ATOMS:
// 2 191_P6/mmm"): loads the space group the lattice line names. Returns the
// count of inequivalent atoms.
int ReadTitleAndLatticeLine(LineReader& in, CCrystal& crystal) {
  in.ReadLine();
  char* line = in.Line();
  Trim(line);
  crystal.ChemicalName = line;
  std::printf("Crystal: %s\n", line);

  in.ReadLine();
  line = in.Line();
  Trim(line);
  std::string spaceGroupName = "P 1";
  if (char* underscore = std::strrchr(line, '_')) {
    spaceGroupName = underscore + 1;
    *underscore = '\0';
  }
  size_t length = std::strlen(line);
  const int spaceGroupNumber = length > kSpaceGroupNumberOffset ? AtoI(line + kSpaceGroupNumberOffset) : 0;
  if (length > kSpaceGroupNumberOffset) line[kSpaceGroupNumberOffset] = '\0';
  length = std::strlen(line);
  const int nAsymSites = length > kAtomCountOffset ? AtoI(line + kAtomCountOffset) : 0;
  std::printf("SPGName: %s (%d)\n", spaceGroupName.c_str(), spaceGroupNumber);
  std::printf("nAsymSites: %d\n", nAsymSites);

  // Only its message, should the database be missing, outlives the reset in
  // ReadOperations when the file lists operations.
  crystal.SpaceGroup.ReadSPG(spaceGroupNumber, 1, crystal.Databases.SPGDBPath);
  return nAsymSites;
}

// Line 3, the mode line (lengths in bohr when it says so, else in Angstrom),
// and line 4: a, b, c, alpha, beta, gamma.
void ReadCell(LineReader& in, CCrystal& crystal) {
  in.ReadLine();
  const double lengthFactor = std::strstr(in.Line(), "bohr") ? kAngstromPerBohr : 1.0;
  in.ReadLine();
  double cell[6];
  ReadCellLine(in.Line(), cell);
  for (int k = 0; k < 3; ++k) cell[k] *= lengthFactor;
  std::printf("Lattice parameters: %lg %lg %lg A  %lg %lg %lg\n", cell[0], cell[1], cell[2], cell[3], cell[4],
              cell[5]);
  crystal.SetLatticeParameters(cell[0] * kNmPerAngstrom, cell[1] * kNmPerAngstrom, cell[2] * kNmPerAngstrom, cell[3],
                               cell[4], cell[5]);
}

// Atom blocks: position line, multiplicity line, (further position lines),
// name line, three lines of the local rotation matrix. A block without its
// position or name markers ends the list; the line that ended it is used up.
void ReadAtoms(LineReader& in, int nAsymSites, CCrystal& crystal) {
  for (int i = 0; i < nAsymSites; ++i) {
    in.ReadLine();
    const char* line = in.Line();
    const char* xMark = std::strstr(line, "X=");
    const char* yMark = std::strstr(line, "Y=");
    const char* zMark = std::strstr(line, "Z=");
    if (!xMark || !yMark || !zMark) break;
    const double x = AtoF(xMark + 2);
    const double y = AtoF(yMark + 2);
    const double z = AtoF(zMark + 2);

    in.ReadLine();
    const char* multMark = std::strstr(in.Line(), "MULT=");
    const int multiplicity = multMark ? AtoI(multMark + 5) : 1;
    in.ReadLine();
    // An atom of multiplicity m lists its m - 1 further positions before the
    // name line. They are images of the first under the file's operations,
    // so they are skipped: the asymmetric unit holds the first position only.
    for (int k = 1; k < multiplicity && IsPositionLine(in.Line()); ++k) in.ReadLine();
    line = in.Line();
    const char* chargeMark = std::strstr(line, "Z:");
    if (!chargeMark) break;
    const std::string name = FirstWord(line);
    const double charge = AtoF(chargeMark + 2);
    for (int k = 0; k < 3; ++k) in.ReadLine();

    std::printf("%d: %s (%lg): (%lg,%lg,%lg)\n", i, name.c_str(), charge, x, y, z);
    crystal.AddAtomAsymSite("", name, 1.0, x, y, z, 0, 0, 0);
  }
}

// One operation: three lines "r0 r1 r2 t" (integers may be packed, as in
// " 0 0-1 0.00000000"). A number that cannot be read keeps the value it had
// (from the operation before, 0 in the first). False when the file ends
// inside the block.
bool ReadOperationBlock(LineReader& in, double rotation[3][3], double translation[3]) {
  for (int m = 0; m < 3; ++m) {
    bool bRead = in.ReadLine();
    // WIEN2k follows each block with a line holding the block's index; it is
    // skipped where an operation begins.
    if (bRead && m == 0 && IsOperationIndexLine(in.Line())) bRead = in.ReadLine();
    if (!bRead) return false;
    double row[4] = {rotation[m][0], rotation[m][1], rotation[m][2], translation[m]};
    ScanNumbers(in.Line(), row, 4);
    for (int n = 0; n < 3; ++n) rotation[m][n] = row[n];
    translation[m] = row[3];
  }
  return true;
}

// The count of symmetry operations and their blocks. The operations replace
// those of the space group read from the database; without any the crystal
// keeps that group.
void ReadOperations(LineReader& in, const std::string& path, CSpaceGroup& spaceGroup) {
  if (!in.ReadLine())
    std::printf("Error in CWIEN::ReadCrystalStructure: [%s] ends before the number of symmetry operations.\n",
                path.c_str());
  const int nSymmetry = AtoI(in.Line());
  std::printf("nSymmetry: %d\n", nSymmetry);
  if (nSymmetry < 1) return;

  spaceGroup.Name.clear();
  spaceGroup.Number = 0;
  spaceGroup.SecondKey = 0;
  spaceGroup.bInversion = 0;
  spaceGroup.nCentring = 0;
  spaceGroup.nOperations = 0;

  double rotation[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
  double translation[3] = {0, 0, 0};
  CMyMatrix rotationMatrix;
  rotationMatrix.SetSize(3, 3);
  CMyVector translationVector;
  translationVector.SetRange(0, 2);
  for (int iOperation = 0; iOperation < nSymmetry; ++iOperation) {
    if (!ReadOperationBlock(in, rotation, translation)) {
      std::printf("Error in CWIEN::ReadCrystalStructure: [%s] ends after %d of %d symmetry operations.\n",
                  path.c_str(), iOperation, nSymmetry);
      return;
    }
    for (int m = 0; m < 3; ++m) {
      for (int n = 0; n < 3; ++n) rotationMatrix[m][n] = rotation[m][n];
      translationVector[m] = translation[m];
    }
    // Beyond the table's capacity the blocks are read and dropped.
    if (spaceGroup.nOperations < CSpaceGroup::kMaxOperations)
      spaceGroup.AddOperation(rotationMatrix, translationVector);
  }
}

}  // namespace

namespace CWIEN {

int ReadCrystalStructure(const std::string& path, CCrystal& crystal) {
  LineReader in;
  if (!in.Open(path)) {
    ReportCanNotRead(path, "Error in CWIEN::ReadCrystalStructure: ");
    return -1;
  }
  // A file cut short reads as empty lines from there on: the atom list then
  // ends at the first incomplete block and no operations are read.
  const int nAsymSites = ReadTitleAndLatticeLine(in, crystal);
  ReadCell(in, crystal);
  ReadAtoms(in, nAsymSites, crystal);
  ReadOperations(in, path, crystal.SpaceGroup);
  return 1;
}

}  // namespace CWIEN

int WIENMakeCIFFromStruct(const std::string& path, const CDatabasePaths& databases) {
  std::unique_ptr<CCrystal> crystal = NewConverterCrystal(path, databases);
  std::printf("Struct file: %s\n", path.c_str());
  // A file that cannot be read still gives the CIF file of the empty crystal.
  CWIEN::ReadCrystalStructure(path, *crystal);
  std::string cifPath = path;
  ReplaceExtension(cifPath, "cif");
  // A structure file whose own extension is cif would be replaced by its
  // conversion.
  if (cifPath == path) {
    std::printf("Error in WIENMakeCIFFromStruct: The CIF file [%s] would replace the structure file.\n",
                cifPath.c_str());
    return -1;
  }
  std::printf("Create CIF file: %s\n", cifPath.c_str());
  WriteCIF(*crystal, cifPath);
  return 1;
}

}  // namespace quorvel
