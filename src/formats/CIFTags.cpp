#include "formats/CIFTags.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <initializer_list>

#include <gemmi/cif.hpp>
#include <gemmi/numb.hpp>

#include "crystal/SpaceGroup.h"
#include "formats/CIFFile.h"
#include "numerics/Constants.h"
#include "system/FileSafety.h"

namespace quorvel {

namespace {

namespace cif = gemmi::cif;

// Tags are looked up in lower case: gemmi compares them without letter case
// against a lower-case query.

// The first non-null value of the first tag the block has as a single value;
// empty when none has one.
std::string FirstValue(const cif::Block& block, std::initializer_list<const char*> tags) {
  for (const char* tag : tags)
    if (const std::string* value = block.find_value(tag))
      if (!cif::is_null(*value)) return cif::as_string(*value);
  return "";
}

// A number of the block ("5.4307(2)" reads 5.4307); fallback when the tag is
// missing, null or not a number.
double NumberOf(const cif::Block& block, const char* tag, double fallback) {
  const std::string* value = block.find_value(tag);
  if (!value) return fallback;
  const double number = cif::as_number(*value);
  return std::isfinite(number) ? number : fallback;
}

// Rows beyond a table's room are left out, and the user told once how many.
void ReportRowsLeftOut(const std::string& path, size_t nLeftOut, int limit, const char* what) {
  if (nLeftOut == 0) return;
  std::printf("Error in CIF file [%s]: more than %d %s; %zu rows are left out.\n", path.c_str(), limit, what,
              nLeftOut);
}

// The element at the start of a site label: a capital and, if one follows,
// a small letter ("Fe1" Fe, "O12" O, "Si" Si).
std::string ElementOfLabel(const std::string& label) {
  if (label.empty() || !std::isalpha(static_cast<unsigned char>(label[0]))) return label;
  std::string element(1, static_cast<char>(std::toupper(static_cast<unsigned char>(label[0]))));
  if (label.size() > 1 && std::islower(static_cast<unsigned char>(label[1]))) element += label[1];
  return element;
}

// The charge a type symbol carries at its end: "O2-" -2, "Fe3+" 3, "Cl-" -1;
// 0 without a sign.
double ChargeOfSymbol(const std::string& symbol) {
  if (symbol.empty()) return 0;
  const char sign = symbol.back();
  if (sign != '+' && sign != '-') return 0;
  size_t digits = symbol.size() - 1;
  while (digits > 0 && std::isdigit(static_cast<unsigned char>(symbol[digits - 1]))) --digits;
  const std::string number = symbol.substr(digits, symbol.size() - 1 - digits);
  const double magnitude = number.empty() ? 1.0 : std::atof(number.c_str());
  return sign == '-' ? -magnitude : magnitude;
}

bool HasSites(cif::Block& block) { return block.find_values("_atom_site_fract_x").item() != nullptr; }

void ReadCell(const cif::Block& block, CCIFFile& record) {
  record.a = NumberOf(block, "_cell_length_a", 0) * kNmPerAngstrom;
  record.b = NumberOf(block, "_cell_length_b", 0) * kNmPerAngstrom;
  record.c = NumberOf(block, "_cell_length_c", 0) * kNmPerAngstrom;
  record.alpha = NumberOf(block, "_cell_angle_alpha", 90);
  record.beta = NumberOf(block, "_cell_angle_beta", 90);
  record.gamma = NumberOf(block, "_cell_angle_gamma", 90);
  record.Volume = NumberOf(block, "_cell_volume", 0) * 0.001;  // A3 to nm3
}

// The names and numbers of the space group, the newer tags first.
void ReadSpaceGroup(const cif::Block& block, CCIFFile& record) {
  record.SpaceGroupName = FirstValue(block, {"_space_group_name_h-m_alt", "_symmetry_space_group_name_h-m"});
  record.HallSymbol = FirstValue(block, {"_space_group_name_hall", "_symmetry_space_group_name_hall"});
  const std::string number = FirstValue(block, {"_space_group_it_number", "_symmetry_int_tables_number"});
  const double value = cif::as_number(number);
  record.SpaceGroupNumber = std::isfinite(value) && value >= 1 && value <= 230 ? static_cast<int>(value) : 0;
}

// The operation texts as the file gives them; a site id, when the loop has
// one, is a column of its own, and one inside the value ('1 x,y,z') is
// dropped.
void ReadOperations(cif::Block& block, CCIFFile& record) {
  cif::Column column = block.find_values("_space_group_symop_operation_xyz");
  if (!column.item()) column = block.find_values("_symmetry_equiv_pos_as_xyz");
  record.nSymmetryOperations = 0;
  size_t nLeftOut = 0;
  for (const std::string& value : column) {
    if (cif::is_null(value)) continue;
    if (record.nSymmetryOperations < CCIFFile::kMaxSymmetryOperations)
      record.SymmetryOperations[record.nSymmetryOperations++] =
          OperationTextWithoutSiteId(cif::as_string(value));
    else
      ++nLeftOut;
  }
  ReportRowsLeftOut(record.Path, nLeftOut, CCIFFile::kMaxSymmetryOperations, "symmetry operations");
}

void AddType(CCIFFile& record, const std::string& symbol, double charge, size_t& nLeftOut) {
  for (int i = 0; i < record.nAtomTypes; ++i)
    if (record.AtomTypeSymbols[i] == symbol) return;
  if (record.nAtomTypes >= record.nMaxAtomTypes) {
    ++nLeftOut;
    return;
  }
  record.AtomTypeSymbols[record.nAtomTypes] = symbol;
  record.OxidationNumbers[record.nAtomTypes] = charge;
  ++record.nAtomTypes;
}

// The asymmetric sites; a row whose position is not three numbers is not a
// site. Types come from the type loop where the file has one, else from the
// sites' own symbols, with the charge their symbol carries.
void ReadSites(cif::Block& block, CCIFFile& record) {
  cif::Table rows = block.find("_atom_site_", {"fract_x", "fract_y", "fract_z", "?label", "?type_symbol", "?occupancy"});
  record.nAtomSites = 0;
  record.nAtomTypes = 0;
  size_t nSitesLeftOut = 0, nTypesLeftOut = 0;
  cif::Table types = block.find("_atom_type_", {"symbol", "?oxidation_number"});
  for (auto row : types) {
    if (!row.has2(0)) continue;
    const double charge = row.has2(1) ? cif::as_number(row[1]) : 0.0;
    AddType(record, cif::as_string(row[0]), std::isfinite(charge) ? charge : 0.0, nTypesLeftOut);
  }
  const bool bTypesFromSites = record.nAtomTypes == 0;
  for (auto row : rows) {
    const double x = cif::as_number(row[0]), y = cif::as_number(row[1]), z = cif::as_number(row[2]);
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) continue;
    if (record.nAtomSites >= record.nMaxAtomSites) {
      ++nSitesLeftOut;
      continue;
    }
    const std::string label = row.has2(3) ? cif::as_string(row[3]) : "";
    const std::string type = row.has2(4) ? cif::as_string(row[4]) : ElementOfLabel(label);
    const double occupancy = row.has2(5) ? cif::as_number(row[5]) : 1.0;
    const int i = record.nAtomSites++;
    record.SiteLabels[i] = label;
    record.SiteTypeSymbols[i] = type;
    record.SiteX[i] = x;
    record.SiteY[i] = y;
    record.SiteZ[i] = z;
    record.SiteOccupancies[i] = std::isfinite(occupancy) ? occupancy : 1.0;
    if (bTypesFromSites) AddType(record, type, ChargeOfSymbol(type), nTypesLeftOut);
  }
  ReportRowsLeftOut(record.Path, nSitesLeftOut, record.nMaxAtomSites, "atom sites");
  // Types taken from the sites are the crystal's to report: it counts the
  // sites left without a type.
  if (!bTypesFromSites) ReportRowsLeftOut(record.Path, nTypesLeftOut, record.nMaxAtomTypes, "atom types");
}

int Fail(const std::string& path, const std::string& why) {
  std::printf("Error in CIF file [%s]: %s\n", path.c_str(), why.c_str());
  return -1;
}

// The steps of ReadCIFTags once the file is parsed.
int ReadDocument(const std::string& path, cif::Document& document, CCIFFile& record) {
  cif::Block* block = nullptr;
  for (cif::Block& candidate : document.blocks)
    if (HasSites(candidate)) {
      block = &candidate;
      break;
    }
  if (!block) return Fail(path, "no data block has atom sites (_atom_site_fract_x).");

  record.Path = path;
  record.DataName = "data_" + block->name;
  record.SystematicName = FirstValue(*block, {"_chemical_name_systematic", "_chemical_name_common",
                                              "_chemical_formula_sum"});
  ReadCell(*block, record);
  if (!(record.a > 0 && record.b > 0 && record.c > 0))
    return Fail(path, "no cell (_cell_length_a, b, c) in data block [" + block->name + "].");
  ReadSpaceGroup(*block, record);
  ReadOperations(*block, record);
  ReadSites(*block, record);
  if (record.nAtomSites == 0)
    return Fail(path, "no atom site has a position in data block [" + block->name + "].");
  std::printf("CIF file [%s] read by its tags, data block [%s].\n", path.c_str(), block->name.c_str());
  return 1;
}

}  // namespace

int ReadCIFTags(const std::string& path, CCIFFile& record) {
  // Whatever the parser or the lookups throw is a file that cannot be read;
  // the parser's message starts with the file name, the line and the column.
  try {
    NoteInputPath(path);
    cif::Document document = cif::read_file(path);
    return ReadDocument(path, document, record);
  } catch (const std::exception& e) {
    return Fail(path, e.what());
  }
}

}  // namespace quorvel
