// pw.x's cards as the input file and the output print them, and the input
// file: its namelists and cards, the structure of the fixed rules, and the
// copy rewritten with the final structure (the updated input).
#include "programs/other/PWScfInput.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "crystal/Crystal.h"
#include "numerics/CellInverse.h"
#include "numerics/Constants.h"
#include "text/LineReader.h"
#include "text/NumberScan.h"
#include "text/OutputScan.h"
#include "text/TextUtil.h"

namespace quorvel {
namespace CPWScf {

namespace {

constexpr double kNmPerBohr = kBohrRadiusInAngstrom * kNmPerAngstrom;

// A Fortran real as a namelist writes it: 5.3033D0 is 5.3033E0.
double FortranReal(std::string text) {
  for (char& c : text)
    if (c == 'd' || c == 'D') c = 'e';
  return AtoF(text);
}

// The value after a pattern such as "A = " in a line, or false when the line
// does not hold the pattern.
bool ValueAfter(const char* line, const char* pattern, double& value) {
  const char* p = std::strstr(line, pattern);
  if (!p) return false;
  value = AtoF(p + std::strlen(pattern));
  return true;
}

// The fixed patterns of the cell, in the order the first one found in a
// line decides: "cosBC = " before "C = ", which it contains. They need one
// blank on each side of the '=' (A=5.43 sets nothing).
struct CFixedPattern {
  const char* Text;
  int Index;  // into CInput::FixedCell: A, B, C, cosAB, cosAC, cosBC
};
constexpr CFixedPattern kFixedPatterns[] = {{"cosBC = ", 5}, {"cosAC = ", 4}, {"cosAB = ", 3},
                                            {"A = ", 0},     {"B = ", 1},     {"C = ", 2}};

void ReadFixedCellLine(const char* line, CInput& input) {
  for (const CFixedPattern& pattern : kFixedPatterns) {
    double v = 0;
    if (ValueAfter(line, pattern.Text, v)) {
      input.FixedCell[pattern.Index] = v;
      input.FixedCellFound |= 1 << pattern.Index;
      return;
    }
  }
}

// The assignments "name = value" of a namelist line from p on, each given to
// take(name, value, begin, end) with the name in small letters and the
// value's place in the line; true when a '/' outside quotes closes the
// namelist. A '!' starts a comment.
template <class Take>
bool ScanAssignments(const char* line, const char* p, Take take) {
  for (;;) {
    while (*p == ',' || IsWhite(*p)) ++p;
    if (*p == '\0' || *p == '!') return false;
    if (*p == '/') return true;
    const char* name = p;
    while (*p && !IsWhite(*p) && *p != '=' && *p != ',' && *p != '!' && *p != '/') ++p;
    const std::string key = ToLowerAscii(std::string(name, p));
    while (*p == ' ' || *p == '\t') ++p;
    if (*p != '=') continue;  // a word that assigns nothing
    ++p;
    while (*p == ' ' || *p == '\t') ++p;
    const char* begin = p;
    const char* end = p;
    if (*p == '\'' || *p == '"') {
      const char quote = *p++;
      begin = p;
      while (*p && *p != quote) ++p;
      end = p;
      if (*p) ++p;
    } else {
      while (*p && !IsWhite(*p) && *p != ',' && *p != '!' && *p != '/') ++p;
      end = p;
    }
    take(key, std::string(begin, end), static_cast<size_t>(begin - line), static_cast<size_t>(end - line));
  }
}

enum class ECard { kNone, kSpecies, kPositions, kCell, kOther };

// The card a line's first word opens (in any letter case), and where its
// title goes on.
ECard CardOf(const char* line, const char*& rest) {
  static const char* const kOtherCards[] = {"K_POINTS",          "ADDITIONAL_K_POINTS", "CONSTRAINTS", "OCCUPATIONS",
                                            "ATOMIC_VELOCITIES", "ATOMIC_FORCES",       "SOLVENTS",    "HUBBARD"};
  const char* p = SkipBlanks(line);
  const char* word = p;
  while (IsAsciiLetter(*p) || *p == '_') ++p;
  rest = p;
  const std::string name(word, p);
  if (EqualNoCase(name, "ATOMIC_SPECIES")) return ECard::kSpecies;
  if (EqualNoCase(name, "ATOMIC_POSITIONS")) return ECard::kPositions;
  if (EqualNoCase(name, "CELL_PARAMETERS")) return ECard::kCell;
  for (const char* card : kOtherCards)
    if (EqualNoCase(name, card)) return ECard::kOther;
  return ECard::kNone;
}

// What follows the numbers of an atom line, without the blanks at its end.
std::string FlagsOf(const char* rest) {
  std::string flags(rest);
  while (!flags.empty() && IsWhite(flags.back())) flags.pop_back();
  return flags;
}

// The rows of the crystal's cell in nm.
void LatticeRows(const CCrystal& crystal, double rows[3][3]) {
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) rows[i][j] = crystal.LatticeVector[i][j];
}

double RowLength(const double row[3]) { return std::sqrt(row[0] * row[0] + row[1] * row[1] + row[2] * row[2]); }

// Today's rewrite of the cell lines of an input with fixed rules: every line
// holding one of the patterns (also outside &SYSTEM) becomes that value of
// the crystal. The 1.0e-15 keeps the cosine of a right angle from printing
// as -0. False when the line holds none.
bool RewriteFixedCellLine(const char* line, const CCrystal& crystal, std::FILE* f) {
  if (std::strstr(line, " A = ")) {
    std::fprintf(f, "    A =  %14.10f,\n", crystal.a * kAngstromPerNm);
  } else if (std::strstr(line, " B = ")) {
    std::fprintf(f, "    B =  %14.10f,\n", crystal.b * kAngstromPerNm);
  } else if (std::strstr(line, " C = ")) {
    std::fprintf(f, "    C =  %14.10f,\n", crystal.c * kAngstromPerNm);
  } else if (std::strstr(line, "cosAB = ")) {
    std::fprintf(f, "    cosAB = %14.10f ,\n", std::cos(crystal.gamma * kDegToRad) + 1.0e-15);
  } else if (std::strstr(line, "cosAC = ")) {
    std::fprintf(f, "    cosAC = %14.10f ,\n", std::cos(crystal.beta * kDegToRad) + 1.0e-15);
  } else if (std::strstr(line, "cosBC = ")) {
    std::fprintf(f, "    cosBC = %14.10f ,\n", std::cos(crystal.alpha * kDegToRad) + 1.0e-15);
  } else {
    return false;
  }
  return true;
}

}  // namespace

CCardUnit ReadCardUnit(const char* text) {
  CCardUnit unit;
  const char* p = text;
  while (IsWhite(*p) || *p == '(' || *p == '{') ++p;
  const char* word = p;
  while (IsAsciiLetter(*p) || *p == '_') ++p;
  const std::string name = ToLowerAscii(std::string(word, p));
  if (name.empty()) return unit;
  if (name == "alat") {
    unit.Unit = EUnit::kAlat;
    while (*p == ' ' || *p == '\t') ++p;
    if (*p == '=') {
      const double alat = AtoF(p + 1);
      if (std::isfinite(alat) && alat > 0) unit.AlatBohr = alat;
    }
  } else if (name == "bohr") {
    unit.Unit = EUnit::kBohr;
  } else if (name == "angstrom") {
    unit.Unit = EUnit::kAngstrom;
  } else if (name == "crystal") {
    unit.Unit = EUnit::kCrystal;
  } else {
    unit.Unit = EUnit::kOther;  // crystal_sg: positions of a space group's sites
  }
  return unit;
}

double NmPerUnit(EUnit unit, double alatNm) {
  switch (unit) {
    case EUnit::kNone:
    case EUnit::kAlat:
      return alatNm;
    case EUnit::kBohr:
      return kNmPerBohr;
    case EUnit::kAngstrom:
      return kNmPerAngstrom;
    default:
      return 0;
  }
}

int ScanAtomLine(const char* line, std::string& species, double xyz[3], const char*& rest) {
  const char* p = line;
  const char* word = nullptr;
  size_t length = 0;
  if (!ScanWord(p, word, length)) return -1;
  species.assign(word, length);
  const int n = ScanDoubles(p, xyz, 3);
  rest = p;
  return n;
}

bool IsCell(const double cell[3][3]) {
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      if (!std::isfinite(cell[i][j])) return false;
  CCellInverse inverse;
  return inverse.Set(cell) == 0;
}

void ToFractional(EUnit unit, double alatNm, const double cell[3][3], const double* positions, int nAtoms,
                  double* fractional) {
  const size_t n = 3 * static_cast<size_t>(std::max(nAtoms, 0));
  if (unit == EUnit::kCrystal) {
    std::copy(positions, positions + n, fractional);
    return;
  }
  const double scale = NmPerUnit(unit, alatNm);
  CCellInverse inverse;
  inverse.Set(cell);
  for (size_t k = 0; k < n; k += 3) {
    const double* r = positions + k;
    inverse.ToFractional(r[0] * scale, r[1] * scale, r[2] * scale, fractional[k], fractional[k + 1],
                         fractional[k + 2]);
  }
}

bool CInput::HasFixedRules() const {
  const double* c = FixedCell;
  for (int i = 0; i < 6; ++i)
    if (!std::isfinite(c[i])) return false;
  const bool bCell = FixedCellFound == 63 && c[0] > 0 && c[1] > 0 && c[2] > 0 && std::fabs(c[3]) < 1 &&
                     std::fabs(c[4]) < 1 && std::fabs(c[5]) < 1;
  return bCell && (!bIbrav || Ibrav == 14) && !bCellCard && bPositions && !Atoms.empty() &&
         PositionUnit.Unit != EUnit::kOther;
}

double CInput::AlatNm() const {
  if (CelldmBohr > 0) return CelldmBohr * kNmPerBohr;
  if (AAngstrom > 0) return AAngstrom * kNmPerAngstrom;
  return 0;
}

bool ReadInput(const std::string& path, CInput& input) {
  input = CInput();
  LineReader reader;
  if (!reader.Open(path)) return false;
  input.bRead = true;
  std::string namelist;  // the namelist being read, in small letters; empty between them
  ECard card = ECard::kNone;
  int nCellRows = 0;
  auto take = [&input, &namelist](int lineNo) {
    return [&input, &namelist, lineNo](const std::string& name, const std::string& value, size_t begin, size_t end) {
      if (namelist == "control" && name == "calculation") {
        const std::string v = ToLowerAscii(value);
        input.bVariableCell = v == "vc-relax" || v == "vc-md";
      } else if (namelist == "system" && name == "ibrav") {
        input.bIbrav = true;
        input.Ibrav = AtoI(value);
        input.IbravLine = lineNo;
        input.IbravBegin = begin;
        input.IbravEnd = end;
      } else if (namelist == "system" && name == "celldm(1)") {
        input.CelldmBohr = FortranReal(value);
      } else if (namelist == "system" && name == "a") {
        input.AAngstrom = FortranReal(value);
      }
    };
  };

  for (int lineNo = 0; reader.ReadLine(); ++lineNo) {
    const char* line = reader.Line();
    // The title is taken from the first line that holds "title=", trimmed
    // and unquoted, as always.
    if (!input.bTitle && std::strstr(line, "title=")) {
      input.Title = std::strstr(line, "title=") + 6;
      StripQuotes(input.Title);
      input.bTitle = true;
    }
    const char* p = SkipBlanks(line);
    if (!namelist.empty()) {
      const bool bClosed = ScanAssignments(line, p, take(lineNo));
      // The fixed patterns are read in the lines of &SYSTEM after its title,
      // up to the line that closes it.
      if (namelist == "system" && !bClosed) ReadFixedCellLine(line, input);
      if (bClosed) namelist.clear();
      continue;
    }
    if (*p == '&') {
      const char* name = ++p;
      while (IsAsciiLetter(*p) || *p == '_') ++p;
      namelist = ToLowerAscii(std::string(name, p));
      card = ECard::kNone;
      if (ScanAssignments(line, p, take(lineNo))) namelist.clear();
      continue;
    }
    const char* rest = nullptr;
    const ECard opened = CardOf(line, rest);
    if (opened != ECard::kNone) {
      card = opened;
      // A second card of a kind (images of a path) is not read.
      if (card == ECard::kPositions && input.bPositions) card = ECard::kOther;
      if (card == ECard::kCell && input.bCellCard) card = ECard::kOther;
      if (card == ECard::kPositions) {
        input.bPositions = true;
        input.PositionsTitleLine = lineNo;
        input.PositionUnit = ReadCardUnit(rest);
      } else if (card == ECard::kCell) {
        input.bCellCard = true;
        input.CellUnit = ReadCardUnit(rest);
      }
      continue;
    }
    // Blank lines and comments add nothing to a card.
    if (*p == '\0' || *p == '#' || *p == '!') continue;
    if (card == ECard::kSpecies) {
      // "name mass pseudopotential": only the name is used.
      const char* word = nullptr;
      size_t length = 0;
      if (ScanWord(p, word, length)) input.Species.emplace_back(word, length);
    } else if (card == ECard::kPositions) {
      // Numbers missing after the name are 0.
      CInputAtom atom;
      if (ScanAtomLine(line, atom.Species, atom.Position, rest) < 0) continue;
      atom.Flags = FlagsOf(rest);
      atom.Line = lineNo;
      input.Atoms.push_back(std::move(atom));
    } else if (card == ECard::kCell && nCellRows < 3) {
      ScanDoubles(p, input.CellRows[nCellRows], 3);
      input.CellLines[nCellRows++] = lineNo;
    }
  }
  return true;
}

void ReadFixedRuleStructure(const CInput& input, CCrystal& crystal, CGeometry& start) {
  if (input.bTitle) crystal.ChemicalName = input.Title;
  const double* c = input.FixedCell;
  crystal.a = c[0] * kNmPerAngstrom;
  crystal.b = c[1] * kNmPerAngstrom;
  crystal.c = c[2] * kNmPerAngstrom;
  crystal.alpha = std::acos(c[5]) * kRadToDeg;
  crystal.beta = std::acos(c[4]) * kRadToDeg;
  crystal.gamma = std::acos(c[3]) * kRadToDeg;
  // A species listed twice is one type.
  for (const std::string& name : input.Species) crystal.AddAtomType(name, 0.0, true);
  crystal.CalculateLatticeVectors();
  LatticeRows(crystal, start.Cell);

  const int n = static_cast<int>(input.Atoms.size());
  std::vector<double> positions(3 * static_cast<size_t>(n));
  start.Species.clear();
  for (int k = 0; k < n; ++k) {
    const CInputAtom& atom = input.Atoms[static_cast<size_t>(k)];
    start.Species.push_back(atom.Species);
    std::copy(atom.Position, atom.Position + 3, &positions[3 * static_cast<size_t>(k)]);
  }
  // pw.x's alat is A.
  start.Fractional.resize(positions.size());
  ToFractional(input.PositionUnit.Unit, crystal.a, start.Cell, positions.data(), n, start.Fractional.data());
}

int WriteUpdatedInput(const CInput& input, const std::string& inputPath, const std::string& updatedPath,
                      const CCrystal& crystal, const double cellNm[3][3], bool bVariableCell) {
  const int nAtoms = std::max(0, std::min(crystal.nAtomSites, static_cast<int>(crystal.AtomSites.size())));
  const char* why = nullptr;
  const bool bFixed = input.HasFixedRules();
  // The cell lines of the fixed rules hold any cell; other inputs get a
  // changed cell as a CELL_PARAMETERS card. An input of ibrav != 0 cannot
  // hold a cell that a variable-cell run has changed freely (its vectors are
  // no longer of the Bravais type): it becomes ibrav = 0 with the cell as a
  // CELL_PARAMETERS card in units of its own alat, which celldm(1) or A
  // keeps giving, the way pw.x itself prints a changing cell.
  const bool bCell = bVariableCell && !bFixed;
  const bool bNewCard = bCell && !input.bCellCard;
  if (!input.bPositions) {
    why = "has no ATOMIC_POSITIONS card";
  } else if (input.PositionUnit.Unit == EUnit::kOther) {
    why = "gives its atoms in a unit other than alat, bohr, angstrom or crystal";
  } else if (static_cast<int>(input.Atoms.size()) != nAtoms) {
    std::printf("The input file [%s] lists %d atoms, the run %d: no updated input is written.\n", inputPath.c_str(),
                static_cast<int>(input.Atoms.size()), nAtoms);
    return 0;
  } else if (bNewCard && (!input.bIbrav || input.AlatNm() <= 0)) {
    why = "gives no ibrav and celldm(1) or A for the cell of this variable-cell run";
  }
  if (why) {
    std::printf("The input file [%s] %s: no updated input is written.\n", inputPath.c_str(), why);
    return 0;
  }

  // The frame and alat that positions and cell rows in a unit of length
  // refer to. The fixed rules' cell is rebuilt by pw.x in the standard
  // orientation from the rewritten A, B, C and cosines, of which A is alat.
  double cell[3][3];
  if (bFixed) {
    LatticeRows(crystal, cell);
  } else {
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) cell[i][j] = cellNm[i][j];
  }
  // Without celldm(1) or A (ibrav = 0 and a card in bohr or angstrom) pw.x
  // takes the length of the first cell vector as alat.
  double alatNm = bFixed ? crystal.a : input.AlatNm();
  if (alatNm <= 0) alatNm = RowLength(cell[0]);

  std::printf("Create update INP file: %s\n", updatedPath.c_str());
  LineReader in;
  COutputFile out;
  if (!OpenForUpdate(in, inputPath, out, updatedPath, "w", "Error in CPWScf::UpdateInpFile: ")) return -1;
  std::FILE* f = out.get();

  const EUnit positionUnit = input.PositionUnit.Unit;
  const double positionScale = NmPerUnit(positionUnit, alatNm);
  auto writeAtoms = [&]() {
    for (int k = 0; k < nAtoms; ++k) {
      const CAtomSite& site = crystal.AtomSites[static_cast<size_t>(k)];
      double v[3] = {site.x, site.y, site.z};
      if (positionUnit != EUnit::kCrystal) {
        for (int j = 0; j < 3; ++j)
          v[j] = (site.x * cell[0][j] + site.y * cell[1][j] + site.z * cell[2][j]) / positionScale;
      }
      std::fprintf(f, " %6s  %14.10f  %14.10f  %14.10f%s\n", crystal.GetAtomTypeName(site).c_str(), v[0], v[1], v[2],
                   input.Atoms[static_cast<size_t>(k)].Flags.c_str());
    }
  };
  // A card without a unit is in bohr when &SYSTEM gives no alat (pw.x's old
  // default), else in alat.
  EUnit cellUnit = bNewCard ? EUnit::kAlat : input.CellUnit.Unit;
  if (cellUnit == EUnit::kNone) cellUnit = input.AlatNm() > 0 ? EUnit::kAlat : EUnit::kBohr;
  const double cellScale = NmPerUnit(cellUnit, alatNm);
  auto writeRow = [&](int i) {
    std::fprintf(f, " %14.10f  %14.10f  %14.10f\n", cell[i][0] / cellScale, cell[i][1] / cellScale,
                 cell[i][2] / cellScale);
  };

  const int titleLine = input.PositionsTitleLine;
  const int lastAtomLine = input.Atoms.empty() ? titleLine : input.Atoms.back().Line;
  for (int lineNo = 0; in.ReadLine(); ++lineNo) {
    const char* line = in.Line();
    if (bFixed && RewriteFixedCellLine(line, crystal, f)) continue;
    // The old atom lines, and the blank lines among them, give way to one
    // line per atom.
    if (lineNo > titleLine && lineNo <= lastAtomLine) continue;
    if (bNewCard && lineNo == input.IbravLine) {
      std::fwrite(line, 1, input.IbravBegin, f);
      std::fputs("0", f);
      std::fwrite(line + input.IbravEnd, 1, in.Length() - input.IbravEnd, f);
      continue;
    }
    int row = -1;
    for (int i = 0; i < 3; ++i)
      if (bCell && lineNo == input.CellLines[i]) row = i;
    if (row >= 0) {
      writeRow(row);
      continue;
    }
    std::fwrite(line, 1, in.Length(), f);
    if (lineNo == titleLine) {
      writeAtoms();
      if (bNewCard) {
        std::fprintf(f, "CELL_PARAMETERS (alat)\n");
        for (int i = 0; i < 3; ++i) writeRow(i);
      }
    }
  }
  return out.Commit("Error in CPWScf::UpdateInpFile: ") ? 1 : -1;
}

}  // namespace CPWScf
}  // namespace quorvel
