// What pw.x writes alike in its input file and in its output: the units of
// the ATOMIC_POSITIONS and CELL_PARAMETERS cards, their atom lines, and a
// structure made fractional through its cell; and the input file itself,
// read for the starting structure and rewritten with the final one.
#pragma once

#include <string>
#include <vector>

namespace quorvel {
class CCrystal;

namespace CPWScf {

// The unit a card's title names. Without one pw.x takes alat (for a
// CELL_PARAMETERS card of an input without celldm(1) or A: bohr).
enum class EUnit { kNone, kAlat, kBohr, kAngstrom, kCrystal, kOther };
struct CCardUnit {
  EUnit Unit = EUnit::kNone;
  // pw.x's output titles give alat itself, "(alat=  7.01033620)", with more
  // digits than its header (bohr; 0 when not given).
  double AlatBohr = 0;
};
// The unit of a card whose title word the text follows: " (alat= 7.01)",
// " {bohr}", " crystal", "".
CCardUnit ReadCardUnit(const char* text);

// nm per unit of a Cartesian position or cell row (alat, itself in nm, for
// kNone); 0 for the units that are no length.
double NmPerUnit(EUnit unit, double alatNm);

// An atom line of a card, "name x y z [if_pos flags]": the name and the
// numbers that follow it (those missing are 0). Returns how many numbers
// were read (0 to 3), or -1 for a line without a name; rest is where the
// line goes on after them.
int ScanAtomLine(const char* line, std::string& species, double xyz[3], const char*& rest);

// A structure as pw.x gives it: the cell's rows in nm along pw.x's own axes,
// and the atoms with their positions made fractional.
struct CGeometry {
  double Cell[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
  std::vector<std::string> Species;
  std::vector<double> Fractional;  // 3 per atom
  int nAtoms() const { return static_cast<int>(Species.size()); }
};

// Rows of finite numbers that span a volume (the cell can be inverted).
bool IsCell(const double cell[3][3]);
// Fractional positions (3 per atom) of positions in unit through the cell
// (rows in nm); alatNm for the unit alat.
void ToFractional(EUnit unit, double alatNm, const double cell[3][3], const double* positions, int nAtoms,
                  double* fractional);

// One atom line of the input's ATOMIC_POSITIONS card.
struct CInputAtom {
  std::string Species;
  double Position[3] = {0, 0, 0};
  std::string Flags;  // what follows the three numbers: if_pos flags
  int Line = 0;       // the line's number in the file, from 0
};

// What Quorvel reads of a pw.x input file.
struct CInput {
  bool bRead = false;
  std::string Title;
  bool bTitle = false;
  // The cell of &SYSTEM by the fixed patterns "A = ", "B = ", "C = " (in
  // Angstrom) and "cosAB = ", "cosAC = ", "cosBC = ", as Quorvel has always
  // read it; the bits of FixedCellFound say which were given (in that order).
  double FixedCell[6] = {0, 0, 0, 0, 0, 0};
  int FixedCellFound = 0;
  // The namelists' values.
  bool bIbrav = false;
  int Ibrav = 0;
  int IbravLine = -1;                     // where the value of ibrav is written
  size_t IbravBegin = 0, IbravEnd = 0;    // in that line
  double CelldmBohr = 0;                  // celldm(1), 0 when not given
  double AAngstrom = 0;                   // A, 0 when not given
  bool bVariableCell = false;             // calculation 'vc-relax' or 'vc-md'
  std::vector<std::string> Species;       // the ATOMIC_SPECIES card's names
  // The ATOMIC_POSITIONS card.
  bool bPositions = false;
  int PositionsTitleLine = -1;
  CCardUnit PositionUnit;
  std::vector<CInputAtom> Atoms;
  // The CELL_PARAMETERS card.
  bool bCellCard = false;
  CCardUnit CellUnit;
  double CellRows[3][3] = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
  int CellLines[3] = {-1, -1, -1};

  // Everything the fixed rules need: all six cell patterns, an ibrav of 14
  // or none (pw.x builds other lattices its own way from them), no
  // CELL_PARAMETERS card, and atoms in a unit of length or crystal.
  bool HasFixedRules() const;
  // pw.x's alat in nm: celldm(1) or A; 0 when neither is given.
  double AlatNm() const;
};

// Reads the input file; false (input.bRead false) when it cannot be opened.
bool ReadInput(const std::string& path, CInput& input);

// The structure an input with fixed rules gives: the title, the cell of its
// patterns in the standard orientation (pw.x's own for ibrav 14) and its
// species as types of the crystal (each new one announced as always); start
// gets that cell and the atoms, made fractional.
void ReadFixedRuleStructure(const CInput& input, CCrystal& crystal, CGeometry& start);

// Writes a copy of the input to updatedPath with the crystal's atoms and,
// for a variable-cell run, its cell: "Create update INP file: <path>" and
// 1, or one line saying why no copy is written and 0 (-1 when a file
// cannot be opened). cellNm: the rows of the crystal's cell along pw.x's
// axes, the frame that positions in a unit of length refer to.
int WriteUpdatedInput(const CInput& input, const std::string& inputPath, const std::string& updatedPath,
                      const CCrystal& crystal, const double cellNm[3][3], bool bVariableCell);

}  // namespace CPWScf
}  // namespace quorvel
