#include "formats/CIFFile.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <exception>

#include "numerics/Constants.h"
#include "text/LineReader.h"
#include "text/TextUtil.h"

namespace quorvel {

namespace {

// The line at offset next of the text read by Open, advancing next past it;
// null at the end of the file.
const char* NextLineIn(const std::string& lines, size_t& next) {
  if (next >= lines.size()) return nullptr;
  const char* line = lines.data() + next;
  next += std::strlen(line) + 1;
  return line;
}

// Rewinds and returns the first line that begins with tag (bytes compared over
// the tag's length), leaving next just after it; null at the end of the file,
// with next left at the end, so a loop read after a missing tag has no rows.
const char* FindLineIn(const std::string& lines, size_t& next, const char* tag) {
  next = 0;
  const size_t n = std::strlen(tag);
  while (const char* line = NextLineIn(lines, next))
    if (std::strncmp(line, tag, n) == 0) return line;
  return nullptr;
}

// A loop ends at an empty line, at the next tag and at the next loop_.
bool EndsLoop(const std::string& text) { return text.empty() || text[0] == '_' || text == "loop_"; }

// Files with more rows than a table holds keep the rows that fit; the rest of
// the loop is not read, and the user is told once which file and which limit.
void PrintTableFull(const std::string& path, int limit, const char* what) {
  std::printf("Error in CCIFFile::Read: [%s] has more than %d %s; only the first %d are read.\n", path.c_str(), limit,
              what, limit);
}

// Whether text holds word in any letter case (the lines of lines_ are
// separated by '\0', which a word never holds).
bool ContainsNoCase(const std::string& text, const char* word) {
  const size_t n = std::strlen(word);
  auto it = std::search(text.begin(), text.end(), word, word + n, [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
  });
  return it != text.end();
}

template <typename T>
void Release(std::vector<T>& v) {
  std::vector<T>().swap(v);
}

// Cuts a site row at single spaces into its first eight fields (label, type
// symbol, multiplicity, Wyckoff symbol, x, y, z, occupancy). Blanks before
// every field but the first are skipped. A field counts only when a space
// follows it; the result is the number of fields that do (8 for a full row).
int CutSiteFields(std::string& row, const char* fields[8]) {
  char* p = &row[0];
  for (int k = 0; k < 8; ++k) {
    if (k > 0) p = SkipBlanks(p);
    char* space = std::strchr(p, ' ');
    if (!space) return k;
    *space = '\0';
    fields[k] = p;
    p = space + 1;
  }
  return 8;
}

}  // namespace

CCIFFile::CCIFFile() {
  AllocateAtomTypes(kDefaultAtomTypes);
  AllocateAtomSites(kDefaultAtomSites);
}

int CCIFFile::AllocateAtomTypes(int count) {
  Release(AtomTypeSymbols);
  Release(OxidationNumbers);
  nAtomTypes = 0;
  nMaxAtomTypes = 0;
  if (count < 0) count = 0;
  try {
    AtomTypeSymbols.resize(static_cast<size_t>(count));
    OxidationNumbers.resize(static_cast<size_t>(count), 0.0);
  } catch (const std::exception&) {
    // Both arrays or neither.
    Release(AtomTypeSymbols);
    Release(OxidationNumbers);
    return 0;
  }
  nMaxAtomTypes = count;
  return count;
}

int CCIFFile::AllocateAtomSites(int count) {
  Release(SiteLabels);
  Release(SiteTypeSymbols);
  Release(SiteMultiplicities);
  Release(SiteWyckoffSymbols);
  Release(SiteX);
  Release(SiteY);
  Release(SiteZ);
  Release(SiteOccupancies);
  nAtomSites = 0;
  nMaxAtomSites = 0;
  if (count < 0) count = 0;
  const size_t n = static_cast<size_t>(count);
  try {
    SiteLabels.resize(n);
    SiteTypeSymbols.resize(n);
    SiteMultiplicities.resize(n, 0);
    SiteWyckoffSymbols.resize(n);
    SiteX.resize(n, 0.0);
    SiteY.resize(n, 0.0);
    SiteZ.resize(n, 0.0);
    SiteOccupancies.resize(n, 0.0);
  } catch (const std::exception&) {
    // All site arrays or none.
    return AllocateAtomSites(0);
  }
  nMaxAtomSites = count;
  return count;
}

int CCIFFile::Open(const std::string& path) {
  LineReader reader;
  if (!reader.Open(path, LineReader::kText)) return -1;
  // The file is read once, line by line as the line reader delivers it (a line
  // of more than 4095 characters arrives as several lines). A line is the C
  // string in the reader's buffer: nothing after a zero byte in it is seen.
  lines_.clear();
  next_ = 0;
  while (reader.ReadLine()) {
    lines_.append(reader.Line());
    lines_.push_back('\0');
  }
  return 1;
}

void CCIFFile::Close() {
  std::string().swap(lines_);
  next_ = 0;
}

int CCIFFile::FindTag(const char* tag) {
  if (!tag) return -1;
  return FindLineIn(lines_, next_, tag) ? 1 : -1;
}

int CCIFFile::ReadStringTag(const char* tag, std::string& value) {
  value = "Undefined";
  const char* text = nullptr;
  if (tag) {
    if (const char* line = FindLineIn(lines_, next_, tag)) text = line + std::strlen(tag);
  } else {
    text = NextLineIn(lines_, next_);
  }
  // Past the last line (an empty file has no first line) the value stays
  // "Undefined", as for a tag the file lacks.
  if (!text) return -1;
  value = text;
  StripQuotes(value);
  return 1;
}

int CCIFFile::ReadIntTag(const char* tag, int& value) {
  std::string text;
  int result = ReadStringTag(tag, text);
  if (result == 1) value = AtoI(text);
  return result;
}

int CCIFFile::ReadDoubleTag(const char* tag, double& value) {
  std::string text;
  int result = ReadStringTag(tag, text);
  if (result == 1) value = AtoF(text);
  return result;
}

int CCIFFile::Read(const std::string& path) {
  int opened = Open(path);
  if (opened < 1) return opened;

  const bool siteIdDialect = FindTag("_symmetry_equiv_pos_site_id") == 1;
  next_ = 0;
  Path = path;
  ReadHeader();
  ReadSymmetryOperations(siteIdDialect);
  ReadAtomTypes();
  ReadAtomSites(siteIdDialect);
  ReadByTags = NeedsReadingByTags(siteIdDialect);
  Close();
  return 1;
}

// The fixed layout is what this record reads by position: site rows whose
// first eight fields are label, type symbol, multiplicity, Wyckoff letter, x,
// y, z and occupancy, after the tag that ends their loop, and the operations
// in _symmetry_equiv_pos_as_xyz. A file is read by its tags instead when it
// names fractional positions (_atom_site_fract_x, in any letter case) and
//  - no site row was read by position, or
//  - the loop header ending at that tag puts one of those eight columns
//    elsewhere (a COD file ending its loop with _atom_site_calc_flag), or
//  - no operation was read while the file lists them under
//    _space_group_symop_operation_xyz.
// Every other file, those with sites in the fixed layout and those without
// any fractional position (empty, cut short or without sites), is read by
// position as before, with the same messages and the same crystal.
bool CCIFFile::NeedsReadingByTags(bool siteIdDialect) {
  if (!ContainsNoCase(lines_, "_atom_site_fract_x")) return false;
  if (nAtomSites == 0) return true;
  if (nSymmetryOperations == 0 && ContainsNoCase(lines_, "_space_group_symop_operation_xyz")) return true;
  static const char* const kColumns[8] = {"_atom_site_label", "_atom_site_type_symbol",
                                          "_atom_site_symmetry_multiplicity", "_atom_site_Wyckoff_symbol",
                                          "_atom_site_fract_x", "_atom_site_fract_y", "_atom_site_fract_z",
                                          "_atom_site_occupancy"};
  const char* rowsAfter = FindSiteRows(siteIdDialect);
  // The header: the run of _atom_site_ lines that ends at that line.
  std::vector<std::string> header;
  size_t next = 0;
  while (const char* line = NextLineIn(lines_, next)) {
    if (std::strncmp(line, "_atom_site_", 11) == 0)
      header.emplace_back(line, std::strcspn(line, " \t"));
    else
      header.clear();
    if (line == rowsAfter) break;
  }
  for (size_t k = 0; k < header.size(); ++k)
    for (size_t column = 0; column < 8; ++column)
      if (k != column && EqualNoCase(header[k], kColumns[column])) return true;
  return false;
}

// The data name is the first line of the file. A tag the file lacks leaves
// its number as it was. Every file starts from zero, so that a second file
// read into the same record never shows (or scales once more) the numbers of
// the first.
void CCIFFile::ReadHeader() {
  DatabaseCode = 0;
  a = b = c = 0;
  alpha = beta = gamma = 0;
  Volume = FormulaUnitsZ = MeasuredDensity = 0;
  SpaceGroupNumber = 0;

  ReadStringTag(nullptr, DataName);
  ReadStringTag("_audit_creation_date", AuditCreationDate);
  ReadStringTag("_audit_creation_method", AuditCreationMethod);
  ReadIntTag("_database_code_ICSD", DatabaseCode);
  ReadStringTag("_chemical_name_systematic", SystematicName);
  ReadStringTag("_chemical_name_mineral", MineralName);
  ReadStringTag("_chemical_compound_source", CompoundSource);
  ReadStringTag("_chemical_formula_structural", FormulaStructural);
  ReadStringTag("_chemical_formula_sum", FormulaSum);
  ReadStringTag("_publ_section_title", PublicationTitle);
  ReadDoubleTag("_cell_length_a", a);
  ReadDoubleTag("_cell_length_b", b);
  ReadDoubleTag("_cell_length_c", c);
  a *= kNmPerAngstrom;
  b *= kNmPerAngstrom;
  c *= kNmPerAngstrom;
  ReadDoubleTag("_cell_angle_alpha", alpha);
  ReadDoubleTag("_cell_angle_beta", beta);
  ReadDoubleTag("_cell_angle_gamma", gamma);
  ReadDoubleTag("_cell_volume", Volume);
  Volume *= 0.001;  // A3 to nm3
  ReadDoubleTag("_cell_formula_units_Z", FormulaUnitsZ);
  ReadDoubleTag("_exptl_crystal_density_meas", MeasuredDensity);
  ReadStringTag("_symmetry_space_group_name_H-M", SpaceGroupName);
  ReadIntTag("_symmetry_Int_Tables_number", SpaceGroupNumber);
  ReadStringTag("_symmetry_cell_setting", CellSetting);
}

// Database exports number the operations: "1<tab>'x, y, z'" keeps only what
// follows the tab.
void CCIFFile::ReadSymmetryOperations(bool siteIdDialect) {
  FindTag("_symmetry_equiv_pos_as_xyz");
  nSymmetryOperations = 0;
  while (const char* line = NextLineIn(lines_, next_)) {
    if (line[0] == '#') continue;
    if (siteIdDialect) {
      if (const char* tab = std::strchr(line, '\t')) line = tab + 1;
    }
    std::string text = line;
    StripQuotes(text);
    if (EndsLoop(text)) break;
    if (nSymmetryOperations >= kMaxSymmetryOperations) {
      PrintTableFull(Path, kMaxSymmetryOperations, "symmetry operations");
      break;
    }
    SymmetryOperations[nSymmetryOperations++] = text;
  }
}

// Symbol, then the oxidation number after a tab or a blank.
void CCIFFile::ReadAtomTypes() {
  FindTag("_atom_type_oxidation_number");
  nAtomTypes = 0;
  while (const char* line = NextLineIn(lines_, next_)) {
    std::string text = line;
    StripQuotes(text);
    if (EndsLoop(text)) break;
    if (text[0] == '#') continue;
    if (nAtomTypes >= nMaxAtomTypes) {
      PrintTableFull(Path, nMaxAtomTypes, "atom types");
      break;
    }
    size_t split = text.find('\t');
    if (split == std::string::npos) split = text.find(' ');
    std::string symbol = text;
    double oxidation = 0;
    if (split != std::string::npos) {
      symbol = text.substr(0, split);
      StripQuotes(symbol);
      oxidation = AtoF(text.c_str() + split + 1);
    }
    AtomTypeSymbols[nAtomTypes] = symbol;
    OxidationNumbers[nAtomTypes] = oxidation;
    ++nAtomTypes;
  }
}

// The asymmetric sites, read by position after the last header of the loop.
void CCIFFile::ReadAtomSites(bool siteIdDialect) {
  FindSiteRows(siteIdDialect);
  nAtomSites = 0;
  while (const char* line = NextLineIn(lines_, next_)) {
    std::string text = line;
    StripQuotes(text);
    if (EndsLoop(text)) break;
    if (text[0] == '#') continue;
    const char* fields[8] = {};
    const int nFields = CutSiteFields(text, fields);
    if (nAtomSites < nMaxAtomSites) {
      StoreSiteFields(nAtomSites, fields, nFields);
    } else if (nFields == 8) {
      PrintTableFull(Path, nMaxAtomSites, "atom sites");
      break;
    }
    // A row needs a column after the occupancy; one without ends the loop.
    if (nFields < 8) break;
    ++nAtomSites;
  }
}

// Without the tag, next_ is left at the end: the loop has no rows.
const char* CCIFFile::FindSiteRows(bool siteIdDialect) {
  if (!siteIdDialect) return FindLineIn(lines_, next_, "_atom_site_calc_flag");
  if (const char* line = FindLineIn(lines_, next_, "_atom_site_B_iso_or_equiv")) return line;
  return FindLineIn(lines_, next_, "_atom_site_attached_hydrogens");
}

// A row cut short still leaves its leading fields in its slot; they count for
// nothing.
void CCIFFile::StoreSiteFields(int i, const char* const fields[8], int nFields) {
  for (int k = 0; k < nFields; ++k) {
    switch (k) {
      case 0: SiteLabels[i] = fields[0]; break;
      case 1: SiteTypeSymbols[i] = fields[1]; break;
      case 2: SiteMultiplicities[i] = AtoI(fields[2]); break;
      case 3: SiteWyckoffSymbols[i] = fields[3]; break;
      case 4: SiteX[i] = AtoF(fields[4]); break;
      case 5: SiteY[i] = AtoF(fields[5]); break;
      case 6: SiteZ[i] = AtoF(fields[6]); break;
      case 7: SiteOccupancies[i] = AtoF(fields[7]); break;
    }
  }
}

}  // namespace quorvel
