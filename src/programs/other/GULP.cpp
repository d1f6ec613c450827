#include "programs/other/GULP.h"

#include <cstdio>
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

// Every keyword is looked for from the start of the file: the first line
// that, trimmed, begins with it (letter case ignored) is the keyword line, and
// the reader's line holds it trimmed. Only the keyword's own characters are
// compared, so "frac" also finds "fractional" and "FRACTIONAL".
bool FindKeyword(LineReader& reader, const char* keyword) {
  reader.Rewind();
  while (reader.ReadLine()) {
    char* line = reader.Line();
    Trim(line);
    if (StartsWithNoCase(line, keyword)) return true;
  }
  return false;
}

// The line after a keyword line, trimmed; false at the end of the file (the
// keyword then counts as absent).
bool ReadNextTrimmedLine(LineReader& reader) {
  if (!reader.ReadLine()) return false;
  Trim(reader.Line());
  return true;
}

// GULP labels number their atoms (Si1, Si2): the trailing digits are cut, but
// never the first character, so a label of digits only keeps its first one.
void CutTrailingDigits(char* label) {
  size_t n = std::strlen(label);
  while (n > 1 && label[n - 1] >= '0' && label[n - 1] <= '9') --n;
  label[n] = '\0';
}

// The text with every blank, tab, CR and LF removed.
std::string WithoutWhiteSpace(const char* text) {
  std::string out;
  for (; *text; ++text)
    if (!IsWhite(*text)) out += *text;
  return out;
}

// The crystal's name: the title block's first line. A name line is
// consulted only when the title line was followed by an empty line (without
// any title the name stays "None").
void ReadName(LineReader& reader, CCrystal& crystal) {
  if (FindKeyword(reader, "title") && ReadNextTrimmedLine(reader)) crystal.ChemicalName = reader.Line();
  if (crystal.ChemicalName.empty() && FindKeyword(reader, "name")) {
    char* rest = reader.Line() + 4;
    Trim(rest);
    crystal.ChemicalName = rest;
  }
  std::printf("Crystal: %s\n", crystal.ChemicalName.c_str());
}

// The line after "cell": a, b, c in Angstrom and the three angles.
void ReadCell(LineReader& reader, CCrystal& crystal) {
  if (!FindKeyword(reader, "cell") || !ReadNextTrimmedLine(reader)) return;
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

// The atom lines after "fractional": label, shell, x, y, z, charge, occupancy.
void ReadAtoms(LineReader& reader, CCrystal& crystal) {
  if (!FindKeyword(reader, "frac")) return;
  char label[LineReader::kLineBufferSize];
  char shell[LineReader::kLineBufferSize];
  int index = 0;
  while (reader.ReadLine()) {
    // Values a line does not give take GULP's own defaults: coordinates 0,
    // charge 0 (GULP takes charges from its species block) and occupancy 1.
    // They are not carried over from the line before.
    double x = 0, y = 0, z = 0, charge = 0, occupancy = 1.0;
    const int nFields = std::sscanf(reader.Line(), "%4095s %4095s %lg %lg %lg %lg %lg", label, shell, &x, &y, &z,
                                    &charge, &occupancy);
    // A line without any field (an empty line, as between the atoms and
    // the next keyword) is skipped rather than taken for another atom.
    if (nFields < 1) continue;
    CutTrailingDigits(label);
    std::printf("%d: %s (%lg): (%lg,%lg,%lg) [occ=%lg]\n", index, label, charge, x, y, z, occupancy);
    // A word of more than two letters is the next keyword (species, space,
    // library ...): the atom list ends there.
    if (std::strlen(label) > 2) break;
    std::printf("%d: %s (%lg): (%lg,%lg,%lg) [occ=%lg]\n", index, label, charge, x, y, z, occupancy);
    crystal.AddAtomType(label, charge, true);
    crystal.AddAtomAsymSite("", label, occupancy, x, y, z, 0, 0, 0);
    ++index;
  }
}

// The line after "space": the group's symbol, looked up in the space-group
// database. A symbol the database does not hold stays the group's name.
void ReadSpaceGroup(LineReader& reader, CCrystal& crystal) {
  if (!FindKeyword(reader, "space") || !ReadNextTrimmedLine(reader)) return;
  crystal.SpaceGroup.Name = reader.Line();
  const std::string symbol = WithoutWhiteSpace(reader.Line());
  int number = 0, secondKey = 0;
  if (CSpaceGroup::FindByName(symbol, crystal.Databases.SPGDBPath, number, secondKey) == 1 && number > 0)
    crystal.SpaceGroup.ReadSPG(number, secondKey, crystal.Databases.SPGDBPath);
  std::printf("SPG: %s\n", symbol.c_str());
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
  // When the file cannot be read, its message stands and the empty crystal
  // is written all the same.
  CGULP::ReadCrystalStructure(path, *crystal);
  std::string cifPath = path;
  ReplaceExtension(cifPath, "cif");
  // An input whose own extension is cif would be replaced by its conversion.
  if (cifPath == path) {
    std::printf("Error in GULPMakeCIFFromInput: The CIF file [%s] would replace the input file.\n", cifPath.c_str());
    return -1;
  }
  std::printf("Create CIF file: %s\n", cifPath.c_str());
  WriteCIF(*crystal, cifPath);
  return 1;
}

}  // namespace quorvel
