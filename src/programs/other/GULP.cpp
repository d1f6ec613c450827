#include "programs/other/GULP.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "text/LineReader.h"
#include "text/TextUtil.h"
#include "crystal/Crystal.h"
#include "formats/CIFWriter.h"

namespace quorvel {

namespace {

constexpr int kMaxAtomTypes = CCrystal::kConverterAtomTypes;
constexpr int kMaxAtomSites = CCrystal::kConverterAtomSites;

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

// Compares a record name with a search key that has no white space: the
// white space of the name is skipped and letter case ignored, without making
// a copy of the name (the database holds some sixteen thousand lines).
bool NameMatchesKey(const char* name, const std::string& key) {
  size_t k = 0;
  for (; *name; ++name) {
    if (IsWhite(*name)) continue;
    if (k >= key.size()) return false;
    char a = *name, b = key[k++];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
    if (a != b) return false;
  }
  return k == key.size();
}

}  // namespace

int CGULP::FindSpaceGroupByName(const std::string& key, const std::string& databasePath, int& number,
                                int& secondKey) {
  LineReader reader;
  if (!reader.Open(databasePath)) {
    std::printf("Error in CSpaceGroup::ReadSPG: Can not read [%s].\n", databasePath.c_str());
    return -1;
  }
  CSPGRecordHeader header;
  while (reader.ReadLine()) {
    if (!ParseSPGRecordHeader(reader.Line(), header)) return 0;
    const bool bMatch = NameMatchesKey(header.Name.c_str(), key);
    // The record's second line is read in any case, also when the name matched.
    const bool bSecondLine = reader.ReadLine();
    if (bMatch) {
      number = header.Number;
      secondKey = header.SecondKey;
      return 1;
    }
    if (!bSecondLine) return 0;
    for (int i = 0; i < header.nLines; ++i)
      if (!reader.ReadLine()) return 0;
  }
  return 0;
}

int CGULP::ReadCrystalStructure(const std::string& path, CCrystal& crystal) {
  crystal.Name = path;
  crystal.SpaceGroup.Initialize();
  crystal.AllocateAtomTypes(kMaxAtomTypes);
  crystal.AllocateAtomAsymSites(kMaxAtomSites);
  crystal.AllocateAtomSites(kMaxAtomSites);

  LineReader reader;
  if (!reader.Open(path)) {
    std::printf("Error in CGULP::ReadCrystalStructure: Can not read [%s].\n", path.c_str());
    return -1;
  }

  // The title block's first line names the crystal.
  if (FindKeyword(reader, "title") && ReadNextTrimmedLine(reader)) crystal.ChemicalName = reader.Line();
  // A name line is consulted only when the title line was followed by an
  // empty line (without any title the name stays "None").
  if (crystal.ChemicalName.empty() && FindKeyword(reader, "name")) {
    char* rest = reader.Line() + 4;
    Trim(rest);
    crystal.ChemicalName = rest;
  }
  std::printf("Crystal: %s\n", crystal.ChemicalName.c_str());

  if (FindKeyword(reader, "cell") && ReadNextTrimmedLine(reader)) {
    double a = 0, b = 0, c = 0, alpha = 0, beta = 0, gamma = 0;
    // A cell line with fewer than six numbers counts as absent: the lattice
    // parameters keep their values (0 in a new crystal), and the line is
    // reported rather than taken half.
    if (std::sscanf(reader.Line(), "%lg %lg %lg %lg %lg %lg", &a, &b, &c, &alpha, &beta, &gamma) == 6) {
      std::printf("Lattice parameters: %lg %lg %lg A  %lg %lg %lg\n", a, b, c, alpha, beta, gamma);
      crystal.SetLatticeParameters(a * 0.1, b * 0.1, c * 0.1, alpha, beta, gamma);
    } else {
      std::printf("Error in CGULP::ReadCrystalStructure: Can not read the six cell parameters in [%s].\n",
                  reader.Line());
    }
  }

  if (FindKeyword(reader, "frac")) {
    char label[LineReader::kLineBufferSize];
    char shell[LineReader::kLineBufferSize];
    int index = 0;
    while (reader.ReadLine()) {
      // Values a line does not give take GULP's own defaults: coordinates 0,
      // charge 0 (GULP takes charges from its species block) and occupancy 1.
      // They are not carried over from the line before.
      double x = 0, y = 0, z = 0, charge = 0, occupancy = 1.0;
      const int nFields = std::sscanf(reader.Line(), "%4095s %4095s %lg %lg %lg %lg %lg", label, shell, &x, &y,
                                      &z, &charge, &occupancy);
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

  if (FindKeyword(reader, "space") && ReadNextTrimmedLine(reader)) {
    crystal.SpaceGroup.Name = reader.Line();
    const std::string key = WithoutWhiteSpace(reader.Line());
    int number = 0, secondKey = 0;
    if (FindSpaceGroupByName(key, crystal.Databases.SPGDBPath, number, secondKey) == 1 && number > 0)
      crystal.SpaceGroup.ReadSPG(number, secondKey, crystal.Databases.SPGDBPath);
    std::printf("SPG: %s\n", key.c_str());
  }
  return 1;
}

int GULPMakeCIFFromInput(const std::string& path, const CDatabasePaths& databases) {
  auto crystal = std::make_unique<CCrystal>();
  crystal->Databases = databases;
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
