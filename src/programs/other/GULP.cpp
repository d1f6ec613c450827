#include "programs/other/GULP.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "crystal/Crystal.h"
#include "formats/CIFWriter.h"
#include "numerics/Constants.h"
#include "programs/Conversion.h"
#include "text/LineReader.h"
#include "text/Messages.h"
#include "text/TextUtil.h"

namespace quorvel {

namespace {

// GULP ignores everything after a '#' or a '!' on a line, whole-line comments
// and trailing ones alike.
void CutComment(char* line) {
  for (char* p = line; *p; ++p)
    if (*p == '#' || *p == '!') {
      *p = '\0';
      return;
    }
}

// The next line without its comment, trimmed; false at the end of the file.
bool ReadContentLine(LineReader& reader) {
  if (!reader.ReadLine()) return false;
  CutComment(reader.Line());
  Trim(reader.Line());
  return true;
}

// Every keyword is looked for from the start of the file: the first line
// that, trimmed, begins with one of the n keywords (letter case ignored) is
// the keyword line, and the reader's line holds it trimmed. Only the
// keyword's own characters are compared, so "frac" also finds "fractional"
// and "FRACTIONAL". Returns the index of the keyword found, -1 when none is.
int FindKeyword(LineReader& reader, const char* const* keywords, int n) {
  reader.Rewind();
  while (ReadContentLine(reader))
    for (int k = 0; k < n; ++k)
      if (StartsWithNoCase(reader.Line(), keywords[k])) return k;
  return -1;
}

bool FindKeyword(LineReader& reader, const char* keyword) { return FindKeyword(reader, &keyword, 1) == 0; }

// GULP labels number their atoms (Si1, Si2): the trailing digits are cut, but
// never the first character, so a label of digits only keeps its first one.
void CutTrailingDigits(char* label) {
  size_t n = std::strlen(label);
  while (n > 1 && label[n - 1] >= '0' && label[n - 1] <= '9') --n;
  label[n] = '\0';
}

// The text with every blank, tab, CR and LF removed, and the underscores of
// subscripts ("4_2" for 42).
std::string SymbolWithoutBlanks(const char* text) {
  std::string out;
  for (; *text; ++text)
    if (!IsWhite(*text) && *text != '_') out += *text;
  return out;
}

// A number as GULP takes it: a decimal, or a fraction such as "1/2" or
// "2/3", which GULP allows for coordinates. False when the word is neither,
// or is no finite number ("nan", "inf", 1e999).
bool ParseNumber(const char* word, double& value) {
  char* end = nullptr;
  value = std::strtod(word, &end);
  if (end == word) return false;
  if (*end == '/') {
    const char* rest = end + 1;
    const double denominator = std::strtod(rest, &end);
    if (end == rest || denominator == 0) return false;
    value /= denominator;
  }
  return *end == '\0' && std::isfinite(value);
}

// The crystal's name: the title block's first line. A name line is
// consulted only when the title line was followed by an empty line (without
// any title the name stays "None").
void ReadName(LineReader& reader, CCrystal& crystal) {
  if (FindKeyword(reader, "title") && ReadContentLine(reader)) crystal.ChemicalName = reader.Line();
  if (crystal.ChemicalName.empty() && FindKeyword(reader, "name")) {
    char* rest = reader.Line() + 4;
    Trim(rest);
    crystal.ChemicalName = rest;
  }
  std::printf("Crystal: %s\n", crystal.ChemicalName.c_str());
}

// The line after "cell": a, b, c in Angstrom and the three angles, then
// optionally the six flags that tell GULP which of them to optimise (not
// part of the structure).
void ReadCell(LineReader& reader, CCrystal& crystal) {
  if (!FindKeyword(reader, "cell") || !ReadContentLine(reader)) return;
  double a = 0, b = 0, c = 0, alpha = 0, beta = 0, gamma = 0;
  // A cell line with fewer than six numbers counts as absent: the lattice
  // parameters keep their values (0 in a new crystal), and the line is
  // reported rather than taken half.
  if (std::sscanf(reader.Line(), "%lg %lg %lg %lg %lg %lg", &a, &b, &c, &alpha, &beta, &gamma) == 6) {
    std::printf("Lattice parameters: %lg %lg %lg A  %lg %lg %lg\n", a, b, c, alpha, beta, gamma);
    crystal.SetLatticeParameters(a * kNmPerAngstrom, b * kNmPerAngstrom, c * kNmPerAngstrom, alpha, beta, gamma);
  } else {
    std::printf("Error in CGULP::ReadCrystalStructure: Can not read the six cell parameters in [%s].\n",
                reader.Line());
  }
}

// The words of a line, at most n; returns how many there are.
int SplitWords(char* line, char* words[], int n) {
  int count = 0;
  char* p = SkipBlanks(line);
  while (*p && count < n) {
    words[count++] = p;
    while (*p && !IsWhite(*p)) ++p;
    if (*p) *p++ = '\0';
    p = SkipBlanks(p);
  }
  return count;
}

// The atom lines after "fractional" or "cartesian": label, then optionally
// core or shel, then x, y, z, charge, occupancy (and radius and flags, which
// are not part of the structure). Without the core/shel word the numbers
// start one column earlier. Cartesian positions are in Angstrom in GULP's
// frame, a along x and b in the x-y plane, the frame of the crystal's own
// lattice vectors.
void ReadAtoms(LineReader& reader, CCrystal& crystal) {
  static const char* const kSections[] = {"frac", "cart"};
  const int section = FindKeyword(reader, kSections, 2);
  if (section < 0) return;
  const bool bCartesian = section == 1;
  if (bCartesian) {
    crystal.CalculateLatticeVectors();
    double fx = 0, fy = 0, fz = 0;
    if (crystal.a <= 0 || crystal.b <= 0 || crystal.c <= 0 || !crystal.CartesianToFractional(0, 0, 0, fx, fy, fz)) {
      std::printf("Error in CGULP::ReadCrystalStructure: Cartesian positions without a cell are not read.\n");
      return;
    }
  }
  int index = 0;
  while (ReadContentLine(reader)) {
    char* words[7];
    const int nWords = SplitWords(reader.Line(), words, 7);
    // A line without any field (an empty line, as between the atoms and
    // the next keyword) is skipped rather than taken for another atom.
    if (nWords < 1) continue;
    char* label = words[0];
    CutTrailingDigits(label);
    // A second word that is no number is the core/shel word (core, cor, c,
    // shel, s, bcor, bshe): s and bs make the line a shell.
    double value = 0;
    int first = 1;
    bool bShell = false;
    if (nWords > 1 && !ParseNumber(words[1], value)) {
      bShell = StartsWithNoCase(words[1], "s") || StartsWithNoCase(words[1], "bs");
      first = 2;
    }
    // The first word that is no number ends the values. A charge and an
    // occupancy the line does not give take GULP's own defaults, 0 (GULP
    // takes charges from its species block) and 1, not the line before's.
    double v[5] = {0, 0, 0, 0, 1.0};
    int nValues = 0;
    for (int i = first; i < nWords && nValues < 5 && ParseNumber(words[i], value); ++i) v[nValues++] = value;
    double& x = v[0];
    double& y = v[1];
    double& z = v[2];
    const double charge = v[3], occupancy = v[4];
    std::printf("%d: %s (%lg): (%lg,%lg,%lg) [occ=%lg]\n", index, label, charge, x, y, z, occupancy);
    // A word of more than two letters is the next keyword (species, space,
    // library ...): the atom list ends there.
    if (std::strlen(label) > 2) break;
    // A shel line is the shell of an ion whose core has a line of its own:
    // the ion is one site, its core's.
    if (bShell) {
      std::printf("   the shell of %s: not a site\n", label);
      continue;
    }
    // Without its three coordinates a line places no atom.
    if (nValues < 3) {
      std::printf("Error in CGULP::ReadCrystalStructure: No three coordinates for %s: the line is skipped.\n", label);
      continue;
    }
    if (bCartesian)
      crystal.CartesianToFractional(x * kNmPerAngstrom, y * kNmPerAngstrom, z * kNmPerAngstrom, x, y, z);
    std::printf("%d: %s (%lg): (%lg,%lg,%lg) [occ=%lg]\n", index, label, charge, x, y, z, occupancy);
    crystal.AddAtomType(label, charge, true);
    crystal.AddAtomAsymSite("", label, occupancy, x, y, z, 0, 0, 0);
    ++index;
  }
}

// The record of group number whose name carries the setting mark (":2",
// ":R"), 0 when the group has none.
int SettingWithMark(int number, const std::string& mark, const std::string& path) {
  for (int key = 1;; ++key) {
    const std::string name = CSpaceGroup::SettingName(number, key, path);
    if (name.empty()) return 0;
    if (name.size() > mark.size() && name.compare(name.size() - mark.size(), mark.size(), mark) == 0) return key;
  }
}

// a = b = c and alpha = beta = gamma other than 90: a rhombohedral cell.
bool IsRhombohedralCell(const CCrystal& crystal) {
  auto same = [](double p, double q) { return std::fabs(p - q) <= 1e-5 * std::max(std::fabs(p), std::fabs(q)); };
  return crystal.a > 0 && same(crystal.a, crystal.b) && same(crystal.a, crystal.c) &&
         std::fabs(crystal.alpha - crystal.beta) < 1e-3 && std::fabs(crystal.alpha - crystal.gamma) < 1e-3 &&
         std::fabs(crystal.alpha - 90.0) > 1e-3;
}

// The group a "space" line names: a number, or a symbol in any letter case
// and spacing ("P 42/m n m", "P42/MNM", "p 4_2/m n m", and the old cubic
// "F M 3 M", which the database holds), either with or without a setting
// mark (":2", ":R"). True with number and the database record.
bool FindGroup(const std::string& symbol, const std::string& path, int& number, int& secondKey) {
  const std::string head = symbol.substr(0, symbol.find(':'));
  if (head.empty() || head.find_first_not_of("0123456789") != std::string::npos)
    return CSpaceGroup::FindByName(symbol, path, number, secondKey) == 1 && number > 0;
  number = head.size() <= 3 ? std::atoi(head.c_str()) : 0;
  secondKey = head.size() < symbol.size() ? SettingWithMark(number, symbol.substr(head.size()), path) : 1;
  return number >= 1 && number <= 230 && secondKey > 0 && !CSpaceGroup::SettingName(number, secondKey, path).empty();
}

// The line after "space" (or "spacegroup"): the group's number or symbol,
// looked up in the space-group database. GULP takes the first origin unless
// an "origin 2" line asks for the second, and an R group in the hexagonal
// setting unless the cell is rhombohedral; a mark on the symbol itself says
// the setting outright. The CIF names the group by the name that pins its
// setting, so that its readers expand the same cell. A symbol the database
// does not hold stays the group's name.
void ReadSpaceGroup(LineReader& reader, CCrystal& crystal) {
  const std::string& path = crystal.Databases.SPGDBPath;
  int origin = 1;
  if (FindKeyword(reader, "origin")) {
    double value = 0;
    char* words[2];
    if (SplitWords(reader.Line(), words, 2) == 2 && ParseNumber(words[1], value)) origin = static_cast<int>(value);
  }
  if (!FindKeyword(reader, "space") || !ReadContentLine(reader)) return;
  crystal.SpaceGroup.Name = reader.Line();
  const std::string symbol = SymbolWithoutBlanks(reader.Line());
  int number = 0, secondKey = 0;
  if (FindGroup(symbol, path, number, secondKey)) {
    const char* mark = nullptr;
    if (symbol.find(':') == std::string::npos) {
      if (IsRhombohedralCell(crystal) && SettingWithMark(number, ":H", path) > 0)
        mark = ":R";
      else if (origin == 2)
        mark = ":2";
    }
    // The symbol with the mark names the setting of its own axes ("P n c
    // b:2"); a number or a symbol the database holds only without the mark
    // takes the group's first record with it.
    int markedNumber = 0, markedKey = 0;
    if (mark && FindGroup(symbol + mark, path, markedNumber, markedKey)) {
      number = markedNumber;
      secondKey = markedKey;
    } else if (mark && (markedKey = SettingWithMark(number, mark, path)) > 0) {
      secondKey = markedKey;
    }
    crystal.SpaceGroup.ReadSPG(number, secondKey, path);
    crystal.SpaceGroup.Name = CSpaceGroup::SettingName(number, secondKey, path);
  }
  std::printf("SPG: %s\n", symbol.c_str());
  // (A database that cannot be read has said so itself.)
  if (number <= 0 && FileExists(path))
    std::printf("Error in CGULP::ReadCrystalStructure: No space group [%s] in the database: the positions are "
                "written as listed, under the identity alone.\n", symbol.c_str());
}

}  // namespace

namespace CGULP {

int ReadCrystalStructure(const std::string& path, CCrystal& crystal) {
  LineReader reader;
  if (!reader.Open(path)) {
    ReportCanNotRead(path, "Error in CGULP::ReadCrystalStructure: ");
    return -1;
  }
  ReadName(reader, crystal);
  ReadCell(reader, crystal);
  ReadAtoms(reader, crystal);
  ReadSpaceGroup(reader, crystal);
  return 1;
}

}  // namespace CGULP

int GULPMakeCIFFromInput(const std::string& path, const CDatabasePaths& databases) {
  std::unique_ptr<CCrystal> crystal = NewConverterCrystal(path, databases);
  std::printf("glp file: %s\n", path.c_str());
  // A file that cannot be read, or holds no atom, writes nothing.
  if (CGULP::ReadCrystalStructure(path, *crystal) != 1 || !HoldsAtoms(*crystal, path)) return 0;
  std::string cifPath = path;
  ReplaceExtension(cifPath, "cif");
  // An input whose own extension is cif would be replaced by its conversion.
  if (cifPath == path) {
    std::printf("Error in GULPMakeCIFFromInput: The CIF file [%s] would replace the input file.\n", cifPath.c_str());
    return -1;
  }
  std::printf("Create CIF file: %s\n", cifPath.c_str());
  return WriteCIF(*crystal, cifPath) == 1 ? 1 : 0;
}

}  // namespace quorvel
