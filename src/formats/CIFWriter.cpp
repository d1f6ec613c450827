#include "formats/CIFWriter.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

#include "crystal/Crystal.h"
#include "numerics/Constants.h"
#include "system/Platform.h"
#include "text/Messages.h"
#include "text/OutputFile.h"
#include "text/NumberFormat.h"
#include "text/TextUtil.h"

namespace quorvel {

namespace {

// "Si8 O16 ": each type adds its name, its count in the formula and a blank.
// Only the readers that know the number of atoms of each type fill the
// counts; other structures show zero counts ("Ti0 O0 "). Counts that add up
// to more atoms than the crystal holds (a table full before the file's last
// atom) give way to the counts of the sites held: the formula is that of the
// structure written.
std::string ComposeFormula(const CCrystal& crystal) {
  const int nTypes = std::min(crystal.nAtomTypes, static_cast<int>(crystal.AtomTypes.size()));
  std::vector<long long> counts(static_cast<size_t>(std::max(nTypes, 0)), 0);
  long long total = 0;
  for (int i = 0; i < nTypes; ++i) total += counts[static_cast<size_t>(i)] = crystal.nAtomsInFormula[i];
  if (total > crystal.nAtomAsymSites) {
    std::fill(counts.begin(), counts.end(), 0);
    for (int k = 0; k < crystal.nAtomAsymSites; ++k) {
      const int type = crystal.AtomAsymSites[static_cast<size_t>(k)].iAtomType;
      if (type >= 0 && type < nTypes) ++counts[static_cast<size_t>(type)];
    }
  }
  std::string formula;
  for (int i = 0; i < nTypes; ++i)
    formula = Format("%s%s%lld ", formula.c_str(), crystal.AtomTypes[i].NameOrLabel().c_str(),
                     counts[static_cast<size_t>(i)]);
  return formula;
}

// Written coordinates lie in the cell: a value a hair below 0 (for example
// -1e-9 from rounding) moves up by 1e-8 and is written as 0, not 1.
double CoordinateForCIF(double x) { return FoldToUnitCell(x + 1e-8); }

}  // namespace

int WriteCIF(CCrystal& crystal, const std::string& path) {
  COutputFile file;
  if (!file.Open(path, "w")) {
    if (!file.Refused()) ReportCanNotWrite(path);
    return -1;
  }
  // The file lists the asymmetric unit.
  if (crystal.nAtomAsymSites == 0) WarnNoAtoms(path);
  std::FILE* f = file.get();

  std::tm now = LocalTimeNow();
  std::fprintf(f, "data_99999-ICSD\n");
  std::fprintf(f, "\n");
  std::fprintf(f, "_audit_creation_date               %4d/%02d/%02d\n", now.tm_year + 1900, now.tm_mon + 1,
               now.tm_mday);
  std::fprintf(f, "_audit_creation_method             'Quorvel.exe 0.1'\n");
  std::fprintf(f, "\n");
  std::fprintf(f, "_database_code_ICSD                99999\n");
  std::fprintf(f, "\n");
  std::fprintf(f, "_chemical_name_systematic          '%s'\n", crystal.ChemicalName.substr(0, 25).c_str());

  // Composed once and kept: a second write of the same crystal shows the same
  // formula even if the counts changed in between.
  if (crystal.FormulaSum.empty()) crystal.FormulaSum = ComposeFormula(crystal);
  std::fprintf(f, "_chemical_formula_structural       '%s'\n", crystal.FormulaSum.c_str());
  std::fprintf(f, "_chemical_formula_sum              '%s'\n", crystal.FormulaSum.c_str());
  std::fprintf(f, "\n");

  std::fprintf(f, "_cell_length_a                     %lg\n", crystal.a * kAngstromPerNm);
  std::fprintf(f, "_cell_length_b                     %lg\n", crystal.b * kAngstromPerNm);
  std::fprintf(f, "_cell_length_c                     %lg\n", crystal.c * kAngstromPerNm);
  std::fprintf(f, "_cell_angle_alpha                  %lg\n", crystal.alpha);
  std::fprintf(f, "_cell_angle_beta                   %lg\n", crystal.beta);
  std::fprintf(f, "_cell_angle_gamma                  %lg\n", crystal.gamma);
  std::fprintf(f, "\n");

  const CSpaceGroup& group = crystal.SpaceGroup;
  std::fprintf(f, "_symmetry_space_group_name_H-M     '%s'\n", group.Name.c_str());
  std::fprintf(f, "_symmetry_Int_Tables_number        %d\n", group.Number);
  std::fprintf(f, "\n");
  std::fprintf(f, "loop_\n");
  std::fprintf(f, "_symmetry_equiv_pos_as_xyz         \n");
  for (int i = 0; i < group.nOperations && i < CSpaceGroup::kMaxOperations; ++i)
    std::fprintf(f, "  '%s'\n", group.OperationText[i].c_str());
  std::fprintf(f, "\n");

  std::fprintf(f, "loop_\n");
  std::fprintf(f, "_atom_type_symbol  \n");
  std::fprintf(f, "_atom_type_oxidation_number        \n");
  for (int i = 0; i < crystal.nAtomTypes && i < static_cast<int>(crystal.AtomTypes.size()); ++i)
    std::fprintf(f, "  %8s   %f\n", crystal.AtomTypes[i].Name.c_str(), crystal.AtomTypes[i].Charge);
  std::fprintf(f, "\n");

  std::fprintf(f, "loop_\n");
  std::fprintf(f, "_atom_site_label\n");
  std::fprintf(f, "_atom_site_type_symbol\n");
  std::fprintf(f, "_atom_site_symmetry_multiplicity\n");
  std::fprintf(f, "_atom_site_Wyckoff_symbol\n");
  std::fprintf(f, "_atom_site_fract_x\n");
  std::fprintf(f, "_atom_site_fract_y\n");
  std::fprintf(f, "_atom_site_fract_z\n");
  std::fprintf(f, "_atom_site_occupancy\n");
  std::fprintf(f, "_atom_site_attached_hydrogens\n");
  std::fprintf(f, "_atom_site_calc_flag\n");
  // Every row claims multiplicity 1, Wyckoff letter i, no hydrogens and a
  // calculated position; the columns after the occupancy also let the CIF
  // reader take the row as complete.
  for (int i = 0; i < crystal.nAtomAsymSites && i < static_cast<int>(crystal.AtomAsymSites.size()); ++i) {
    const CAtomSite& site = crystal.AtomAsymSites[i];
    FastFprintf(f, "  %8s  %8s  %2d %c  %10.6f  %10.6f  %10.6f  %10.4f %2d %c\n", site.Label.c_str(),
                 crystal.GetAtomTypeName(site).c_str(), 1, 'i', CoordinateForCIF(site.x), CoordinateForCIF(site.y),
                 CoordinateForCIF(site.z), site.Occupancy, 0, 'a');
  }
  std::fprintf(f, "\n");
  std::fprintf(f, "\n");
  std::fprintf(f, "#End of data_99999-ICSD\n");
  return file.Commit() ? 1 : -1;
}

}  // namespace quorvel
