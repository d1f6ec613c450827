#include "programs/wien2k/WIENStruct.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

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

// The lattice line, as WIEN2k writes it: the lattice type in its first four
// columns, the count of inequivalent atoms in the three columns from 27 and
// the space group from column 30 on (number, then "_" or blanks, then the
// name: "  2 136_P42/mnm", "  1225_Fm-3m", "  4 39_I", "  3 221 Pm-3m").
constexpr size_t kLatticeTypeWidth = 4;
constexpr size_t kAtomCountColumn = 27;
constexpr size_t kAtomCountWidth = 3;
constexpr size_t kSpaceGroupColumn = 30;

// WIEN2k writes the cell line in six fixed columns of ten characters.
constexpr size_t kCellColumnWidth = 10;

// An atom's position line "ATOM  -1: X=0.00000000 Y=0.50000000 Z=0.25000000"
// (format 4X,I4,4X,F10.8,3X,F10.8,3X,F10.8): the markers stand at these
// columns and each value fills the ten columns after its marker. With 100 or
// more atoms the index runs into the word ATOM ("ATOM-100:").
constexpr size_t kPositionMarkerColumn[3] = {10, 23, 36};
constexpr size_t kPositionWidth = 10;

// Two positions within this much of each other along every axis (fractional,
// modulo 1) are one site. The files print eight decimals, some of them 1/3 as
// 0.3333333.
constexpr double kSiteTolerance = 1e-4;

// The database holds up to 18 settings of a group (number 15).
constexpr int kMaxSettings = 18;

struct COperation {
  double r[3][3];
  double t[3];
};

// One inequivalent atom: its name and every position the file lists for it
// (the first, then the MULT - 1 others), in the conventional cell.
struct CWienAtom {
  std::string Name;
  std::vector<std::array<double, 3>> Positions;
};

struct CLatticeLine {
  std::string Type;  // P, F, B, CXY, CYZ, CXZ, R or H
  int nAtoms = 0;
  int Number = 0;
  std::string Name;
};

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

// WIEN2k gives the positions and operations of an R lattice in rhombohedral
// coordinates, but its cell line holds the hexagonal a and c. The rhombohedral
// vectors in the hexagonal cell (obverse) are the rows of kRhombohedral:
// a1 = (2/3, 1/3, 1/3), a2 = (-1/3, 1/3, 1/3), a3 = (-1/3, -2/3, 1/3), as ASE
// takes them, so hexagonal coordinates are X = kRhombohedral^T x and
// rhombohedral ones x = kHexagonalToRhombohedral X.
constexpr double kRhombohedral[3][3] = {
    {2.0 / 3, 1.0 / 3, 1.0 / 3}, {-1.0 / 3, 1.0 / 3, 1.0 / 3}, {-1.0 / 3, -2.0 / 3, 1.0 / 3}};
constexpr double kHexagonalToRhombohedral[3][3] = {{1, 0, 1}, {-1, 1, 1}, {0, -1, 1}};

std::array<double, 3> RhombohedralToHexagonal(const double x[3]) {
  std::array<double, 3> h{};
  for (int j = 0; j < 3; ++j)
    for (int i = 0; i < 3; ++i) h[j] += kRhombohedral[i][j] * x[i];
  return h;
}

// The operation x' = W x + t in rhombohedral coordinates as the same motion
// in hexagonal ones: W' = P^T W P^-T, t' = P^T t. W' has integer entries.
COperation RhombohedralToHexagonal(const COperation& op) {
  COperation h{};
  double wp[3][3] = {};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k) wp[i][j] += op.r[i][k] * kHexagonalToRhombohedral[k][j];
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      double v = 0;
      for (int k = 0; k < 3; ++k) v += kRhombohedral[k][i] * wp[k][j];
      h.r[i][j] = std::round(v);
    }
  const std::array<double, 3> t = RhombohedralToHexagonal(op.t);
  for (int i = 0; i < 3; ++i) h.t[i] = t[i];
  return h;
}

// The centring translations of WIEN2k's lattice types in the conventional
// cell. WIEN2k lists only the operations (and positions) of the primitive
// part; the centred copies come from these. CXY, CYZ and CXZ centre the face
// spanned by the two axes they name (C, A and B). P and H have none.
int LatticeCentring(const std::string& type, double centring[CSpaceGroup::kMaxCentring][3]) {
  static const struct {
    const char* type;
    int n;
    double t[CSpaceGroup::kMaxCentring][3];
  } kTable[] = {
      {"P", 1, {{0, 0, 0}}},
      {"H", 1, {{0, 0, 0}}},
      {"F", 4, {{0, 0, 0}, {0, 0.5, 0.5}, {0.5, 0, 0.5}, {0.5, 0.5, 0}}},
      {"B", 2, {{0, 0, 0}, {0.5, 0.5, 0.5}}},
      {"CXY", 2, {{0, 0, 0}, {0.5, 0.5, 0}}},
      {"CYZ", 2, {{0, 0, 0}, {0, 0.5, 0.5}}},
      {"CXZ", 2, {{0, 0, 0}, {0.5, 0, 0.5}}},
      {"R", 3, {{0, 0, 0}, {2.0 / 3, 1.0 / 3, 1.0 / 3}, {1.0 / 3, 2.0 / 3, 2.0 / 3}}},
  };
  for (const auto& row : kTable) {
    if (type != row.type) continue;
    for (int j = 0; j < row.n; ++j)
      for (int m = 0; m < 3; ++m) centring[j][m] = row.t[j][m];
    return row.n;
  }
  if (!type.empty()) std::printf("Unknown lattice type [%s]: taken as P.\n", type.c_str());
  for (int m = 0; m < 3; ++m) centring[0][m] = 0;
  return 1;
}

bool SamePlace(const std::array<double, 3>& p, const std::array<double, 3>& q) {
  return NearModuloOne(p[0], q[0], kSiteTolerance) && NearModuloOne(p[1], q[1], kSiteTolerance) &&
         NearModuloOne(p[2], q[2], kSiteTolerance);
}

void AddPlace(std::vector<std::array<double, 3>>& places, const std::array<double, 3>& p) {
  for (const auto& q : places)
    if (SamePlace(p, q)) return;
  places.push_back(p);
}

bool SamePlaces(const std::vector<std::array<double, 3>>& a, const std::vector<std::array<double, 3>>& b) {
  if (a.size() != b.size()) return false;
  for (const auto& p : a) {
    bool found = false;
    for (const auto& q : b) found = found || SamePlace(p, q);
    if (!found) return false;
  }
  return true;
}

// An extra position line of an atom of multiplicity above 1 ("      -2:
// X=0.66666667 Y=0.33333333 Z=0.50000000"): it has the markers of a position
// and none of a name line.
bool IsPositionLine(const char* line) {
  return std::strstr(line, "X=") && std::strstr(line, "Y=") && std::strstr(line, "Z=") && !std::strstr(line, "Z:");
}

// The position of a position line: by its columns where the markers stand in
// WIEN2k's columns, else the number after each marker (hand-written files).
// False when a marker is missing.
bool ReadPosition(const char* line, double x[3]) {
  static const char* const kMarker[3] = {"X=", "Y=", "Z="};
  const size_t length = std::strlen(line);
  bool bColumns = true;
  for (int m = 0; m < 3; ++m)
    bColumns = bColumns && length > kPositionMarkerColumn[m] + 1 &&
               std::strncmp(line + kPositionMarkerColumn[m], kMarker[m], 2) == 0;
  for (int m = 0; m < 3; ++m) {
    if (bColumns) {
      x[m] = AtoF(Field(line, kPositionMarkerColumn[m] + 2, kPositionWidth));
      continue;
    }
    const char* mark = std::strstr(line, kMarker[m]);
    if (!mark) return false;
    x[m] = AtoF(mark + 2);
  }
  return true;
}

// The line WIEN2k writes after each operation block: its index, alone or
// followed by words ("       1   A   2 so. oper.  type  orig. index" in
// spin-orbit runs), never by a number as a row of the rotation is.
bool IsOperationIndexLine(const char* line) {
  const char* p = SkipBlanks(line);
  if (*p < '0' || *p > '9') return false;
  while (*p >= '0' && *p <= '9') ++p;
  if (*p != '\0' && !IsWhite(*p)) return false;
  p = SkipBlanks(p);
  return *p == '\0' || IsAsciiLetter(*p);
}

// The first word of a line, as "%s" reads it.
std::string FirstWord(const char* line) {
  const char* word = nullptr;
  size_t length = 0;
  return ScanWord(line, word, length) ? std::string(word, length) : std::string();
}

// Line 1, the title, and line 2, the lattice line.
CLatticeLine ReadTitleAndLatticeLine(LineReader& in, CCrystal& crystal) {
  in.ReadLine();
  char* line = in.Line();
  Trim(line);
  crystal.ChemicalName = line;
  std::printf("Crystal: %s\n", line);

  in.ReadLine();
  line = in.Line();
  CLatticeLine lattice;
  lattice.Type = Field(line, 0, kLatticeTypeWidth);
  Trim(lattice.Type);
  lattice.nAtoms = AtoI(Field(line, kAtomCountColumn, kAtomCountWidth));
  if (std::strlen(line) > kSpaceGroupColumn) {
    const char* p = SkipBlanks(line + kSpaceGroupColumn);
    if (*p >= '0' && *p <= '9') {
      lattice.Number = AtoI(p);
      while (*p >= '0' && *p <= '9') ++p;
    }
    if (*p == '_') ++p;
    lattice.Name = p;
    Trim(lattice.Name);
  }
  std::printf("SPGName: %s (%d)\n", lattice.Name.c_str(), lattice.Number);
  std::printf("nAsymSites: %d\n", lattice.nAtoms);
  return lattice;
}

// Line 3, the mode line, and line 4: a, b, c, alpha, beta, gamma. WIEN2k
// lengths are bohr unless the mode line says unit=ang. An H or R lattice is
// hexagonal whatever angles the line gives (WIEN2k takes only a and c).
void ReadCell(LineReader& in, const CLatticeLine& lattice, CCrystal& crystal) {
  in.ReadLine();
  const double lengthFactor = std::strstr(in.Line(), "unit=ang") ? 1.0 : kBohrRadiusInAngstrom;
  in.ReadLine();
  double cell[6];
  ReadCellLine(in.Line(), cell);
  for (int k = 0; k < 3; ++k) cell[k] *= lengthFactor;
  if (lattice.Type == "H" || lattice.Type == "R") {
    cell[3] = cell[4] = 90;
    cell[5] = 120;
  }
  std::printf("Lattice parameters: %lg %lg %lg A  %lg %lg %lg\n", cell[0], cell[1], cell[2], cell[3], cell[4],
              cell[5]);
  crystal.SetLatticeParameters(cell[0] * kNmPerAngstrom, cell[1] * kNmPerAngstrom, cell[2] * kNmPerAngstrom, cell[3],
                               cell[4], cell[5]);
}

// Atom blocks: position line, multiplicity line, (further position lines),
// name line, three lines of the local rotation matrix. A block without its
// position or name markers ends the list; the line that ended it is used up.
// The first position of each atom becomes a site of the asymmetric unit; all
// positions are kept in atoms.
void ReadAtoms(LineReader& in, const CLatticeLine& lattice, CCrystal& crystal, std::vector<CWienAtom>& atoms) {
  const bool bRhombohedral = lattice.Type == "R";
  for (int i = 0; i < lattice.nAtoms; ++i) {
    in.ReadLine();
    double x[3];
    if (!ReadPosition(in.Line(), x)) break;
    CWienAtom atom;
    atom.Positions.push_back(bRhombohedral ? RhombohedralToHexagonal(x) : std::array<double, 3>{x[0], x[1], x[2]});

    in.ReadLine();
    const char* multMark = std::strstr(in.Line(), "MULT=");
    const int multiplicity = multMark ? AtoI(multMark + 5) : 1;
    in.ReadLine();
    for (int k = 1; k < multiplicity && IsPositionLine(in.Line()); ++k) {
      double p[3];
      if (ReadPosition(in.Line(), p))
        atom.Positions.push_back(bRhombohedral ? RhombohedralToHexagonal(p) : std::array<double, 3>{p[0], p[1], p[2]});
      in.ReadLine();
    }
    const char* line = in.Line();
    const char* chargeMark = std::strstr(line, "Z:");
    if (!chargeMark) break;
    atom.Name = FirstWord(line);
    const double charge = AtoF(chargeMark + 2);
    for (int k = 0; k < 3; ++k) in.ReadLine();

    std::printf("%d: %s (%lg): (%lg,%lg,%lg)\n", i, atom.Name.c_str(), charge, x[0], x[1], x[2]);
    const std::array<double, 3>& first = atom.Positions[0];
    crystal.AddAtomAsymSite("", atom.Name, 1.0, first[0], first[1], first[2], 0, 0, 0);
    atoms.push_back(std::move(atom));
  }
}

// One operation: three lines "r0 r1 r2 t" (integers may be packed, as in
// " 0 0-1 0.00000000"). A number that cannot be read keeps the value it had
// (from the operation before, 0 in the first). False when the file ends
// inside the block.
bool ReadOperationBlock(LineReader& in, COperation& op) {
  for (int m = 0; m < 3; ++m) {
    bool bRead = in.ReadLine();
    // WIEN2k follows each block with a line holding the block's index; it is
    // skipped where an operation begins.
    if (bRead && m == 0 && IsOperationIndexLine(in.Line())) bRead = in.ReadLine();
    if (!bRead) return false;
    double row[4] = {op.r[m][0], op.r[m][1], op.r[m][2], op.t[m]};
    ScanNumbers(in.Line(), row, 4);
    for (int n = 0; n < 3; ++n) op.r[m][n] = row[n];
    op.t[m] = row[3];
  }
  return true;
}

// The count of symmetry operations and their blocks, in the conventional
// cell (an R lattice's turned to hexagonal axes). Beyond the capacity of a
// space group's table the blocks are read and dropped.
std::vector<COperation> ReadOperations(LineReader& in, const std::string& path, const CLatticeLine& lattice) {
  std::vector<COperation> ops;
  if (!in.ReadLine())
    std::printf("Error in CWIEN::ReadCrystalStructure: [%s] ends before the number of symmetry operations.\n",
                path.c_str());
  const int nSymmetry = AtoI(in.Line());
  std::printf("nSymmetry: %d\n", nSymmetry);
  COperation op{};
  for (int iOperation = 0; iOperation < nSymmetry; ++iOperation) {
    if (!ReadOperationBlock(in, op)) {
      std::printf("Error in CWIEN::ReadCrystalStructure: [%s] ends after %d of %d symmetry operations.\n",
                  path.c_str(), iOperation, nSymmetry);
      break;
    }
    if (static_cast<int>(ops.size()) < CSpaceGroup::kMaxOperations)
      ops.push_back(lattice.Type == "R" ? RhombohedralToHexagonal(op) : op);
  }
  return ops;
}

bool HasOperation(const CSpaceGroup& group, const COperation& op) {
  for (int i = 0; i < group.nOperations; ++i) {
    if (!group.HasNumericForm(i)) continue;
    const CMyMatrix& r = group.OperationRotation[i];
    const CMyVector& t = group.OperationTranslation[i];
    const int row = r.RowBase(), column = r.ColumnBase(), base = t.Base();
    bool same = true;
    for (int m = 0; m < 3 && same; ++m) {
      same = NearModuloOne(t[base + m], op.t[m], kSiteTolerance);
      for (int n = 0; n < 3 && same; ++n) same = std::fabs(r[row + m][column + n] - op.r[m][n]) < 1e-6;
    }
    if (same) return true;
  }
  return false;
}

// Whether a database group is the file's: with operations, the group holds
// every operation of the file combined with every centring and no others;
// without, it maps the first position of every atom onto exactly the
// positions the file lists for the atom (with their centred copies).
bool IsFileGroup(const CSpaceGroup& group, const std::vector<COperation>& ops, const std::vector<CWienAtom>& atoms,
                 const double centring[][3], int nCentring) {
  if (!ops.empty()) {
    if (group.nOperations != static_cast<int>(ops.size()) * nCentring) return false;
    for (const COperation& op : ops)
      for (int j = 0; j < nCentring; ++j) {
        COperation centred = op;
        for (int m = 0; m < 3; ++m) centred.t[m] += centring[j][m];
        if (!HasOperation(group, centred)) return false;
      }
    return true;
  }
  for (const CWienAtom& atom : atoms) {
    std::vector<std::array<double, 3>> listed, images;
    for (const auto& p : atom.Positions)
      for (int j = 0; j < nCentring; ++j) AddPlace(listed, {p[0] + centring[j][0], p[1] + centring[j][1], p[2] + centring[j][2]});
    const auto& first = atom.Positions[0];
    for (int i = 0; i < group.nOperations; ++i) {
      std::array<double, 3> q;
      if (group.ApplyOperation(i, 0, 0, first[0], first[1], first[2], q[0], q[1], q[2]) > 0) AddPlace(images, q);
    }
    if (!SamePlaces(listed, images)) return false;
  }
  return true;
}

// The space group the CIF file names. The record of the database with the
// file's group number whose operations are the file's (see IsFileGroup) is
// taken, named by its setting so that readers of the CIF file pick the same
// origin and axes. Where no record is the file's (no number, a setting the
// database lacks, no database) the crystal becomes P 1 with every site of
// the cell: the images of each atom under the file's operations and the
// centring, or, when the file lists no operations, every position it lists
// with its centred copies.
void SettleSpaceGroup(const CLatticeLine& lattice, const std::vector<COperation>& ops,
                      const std::vector<CWienAtom>& atoms, CCrystal& crystal) {
  double centring[CSpaceGroup::kMaxCentring][3];
  const int nCentring = LatticeCentring(lattice.Type, centring);
  const std::string& path = crystal.Databases.SPGDBPath;
  CSpaceGroup& group = crystal.SpaceGroup;
  if (lattice.Number >= 1 && lattice.Number <= 230 && !path.empty()) {
    for (int key = 1; key <= kMaxSettings; ++key) {
      const std::string name = CSpaceGroup::SettingName(lattice.Number, key, path);
      if (name.empty()) break;
      group.ReadSPG(lattice.Number, key, path);
      if (!IsFileGroup(group, ops, atoms, centring, nCentring)) continue;
      group.Name = name;
      return;
    }
  }
  std::printf("No space group of the database is the file's: written as P 1 with every site of the cell.\n");
  group.Initialize();
  if (!ops.empty()) {
    group.nOperations = 0;
    CMyMatrix rotation;
    rotation.SetSize(3, 3);
    CMyVector translation;
    translation.SetRange(0, 2);
    for (const COperation& op : ops) {
      for (int m = 0; m < 3; ++m) {
        for (int n = 0; n < 3; ++n) rotation[m][n] = op.r[m][n];
        translation[m] = op.t[m];
      }
      group.AddOperation(rotation, translation);
    }
  } else {
    // The asymmetric unit holds the first position of each atom; the others
    // join it as sites of their own.
    const int nFirst = crystal.nAtomAsymSites;
    for (int s = 0, a = 0; s < nFirst && a < static_cast<int>(atoms.size()); ++s, ++a)
      for (size_t k = 1; k < atoms[a].Positions.size(); ++k) {
        CAtomSite site = crystal.AtomAsymSites[s];
        site.x = atoms[a].Positions[k][0];
        site.y = atoms[a].Positions[k][1];
        site.z = atoms[a].Positions[k][2];
        crystal.AddAtomAsymSiteRecord(site);
      }
  }
  group.nCentring = nCentring;
  for (int j = 0; j < nCentring; ++j) {
    group.Centring[j].SetRange(0, 2);
    for (int m = 0; m < 3; ++m) group.Centring[j][m] = centring[j][m];
  }
  crystal.ExpandAsymSitesWithin(kSiteTolerance);
  // The cell's sites become the asymmetric unit of P 1, labelled anew by type.
  crystal.nAtomAsymSites = 0;
  for (int k = 0; k < crystal.nAtomSites; ++k) crystal.AddAtomAsymSiteRecord(crystal.AtomSites[k]);
  std::vector<int> perType(crystal.nAtomTypes + 1, 0);
  for (int k = 0; k < crystal.nAtomAsymSites; ++k) {
    CAtomSite& site = crystal.AtomAsymSites[k];
    const int type = site.iAtomType >= 0 ? site.iAtomType : crystal.nAtomTypes;
    site.Label = crystal.GetAtomTypeName(site) + std::to_string(++perType[type]);
    site.iAsymSite = k;
  }
  group.Initialize();
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
  const CLatticeLine lattice = ReadTitleAndLatticeLine(in, crystal);
  ReadCell(in, lattice, crystal);
  std::vector<CWienAtom> atoms;
  ReadAtoms(in, lattice, crystal, atoms);
  const std::vector<COperation> ops = ReadOperations(in, path, lattice);
  SettleSpaceGroup(lattice, ops, atoms, crystal);
  return 1;
}

}  // namespace CWIEN

int WIENMakeCIFFromStruct(const std::string& path, const CDatabasePaths& databases) {
  std::unique_ptr<CCrystal> crystal = NewConverterCrystal(path, databases);
  std::printf("Struct file: %s\n", path.c_str());
  // A file that cannot be read, or holds no atom, writes nothing.
  if (CWIEN::ReadCrystalStructure(path, *crystal) != 1 || !HoldsAtoms(*crystal, path)) return 0;
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
  return WriteCIF(*crystal, cifPath) == 1 ? 1 : 0;
}

}  // namespace quorvel
