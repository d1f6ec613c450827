#include "formats/CIFWriter.h"

#include <gtest/gtest.h>

#include <ctime>

#include "app/Platform.h"
#include "crystal/Crystal.h"
#include "formats/CIFFile.h"
#include "tests/unit/TestFiles.h"
#include "tests/unit/formats/TestCrystals.h"

namespace quorvel {
namespace {

const char* const kDateLineShape = "_audit_creation_date               9999/99/99";

std::string DateLine(const std::tm& t) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "_audit_creation_date               %04d/%02d/%02d", t.tm_year + 1900,
                t.tm_mon + 1, t.tm_mday);
  return buffer;
}

// Writes the crystal and returns the file with its date line checked against
// the date of writing and replaced by "DATE".
std::string WriteAndReadBack(CCrystal& crystal, const std::string& path) {
  std::tm before = LocalTimeNow();
  EXPECT_EQ(WriteCIF(crystal, path), 1);
  std::tm after = LocalTimeNow();
  std::vector<std::string> lines = SplitLines(ReadFile(path));
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i == 2) {
      EXPECT_TRUE(HasShape(lines[i], kDateLineShape)) << lines[i];
      EXPECT_TRUE(lines[i] == DateLine(before) || lines[i] == DateLine(after)) << lines[i];
      text += "DATE\n";
    } else {
      text += lines[i] + "\n";
    }
  }
  return text;
}

const char* const kSiteLoopHeader =
    "loop_\n"
    "_atom_site_label\n"
    "_atom_site_type_symbol\n"
    "_atom_site_symmetry_multiplicity\n"
    "_atom_site_Wyckoff_symbol\n"
    "_atom_site_fract_x\n"
    "_atom_site_fract_y\n"
    "_atom_site_fract_z\n"
    "_atom_site_occupancy\n"
    "_atom_site_attached_hydrogens\n"
    "_atom_site_calc_flag\n";

// The whole file of a small crystal: name cut to 25 characters, composed
// formula, wrapped coordinates (1.0, -0.25, -1e-9 and a hair below 1 all
// land in [0, 1)), the type symbol fallbacks of the site rows.
TEST(CIFWriterTest, WritesTheFixedLayout) {
  TempDir dir;
  CCrystal crystal;
  SetCell(crystal, 0.5431, 0.5431, 0.5431, 90, 90, 90);
  crystal.ChemicalName = "ABCDEFGHIJKLMNOPQRSTUVWXYZ1234";
  int si = AddTestType(crystal, "Si", 4.0);
  int o = AddTestType(crystal, "O", -2.0);
  crystal.nAtomsInFormula[si] = 8;
  crystal.nAtomsInFormula[o] = 16;
  AddBothSites(crystal, "Si1", si, 1.0, 1.0, -0.25, 0.5);
  AddBothSites(crystal, "O1", o, 0.5, -0.000000001, 0.125, 0.99999999999);
  AddBothSites(crystal, "X9", -1, 1.0, 2.5, 0.0, -1.0);

  std::string expected = std::string(
                             "data_99999-ICSD\n"
                             "\n"
                             "DATE\n"
                             "_audit_creation_method             'Quorvel.exe 0.1'\n"
                             "\n"
                             "_database_code_ICSD                99999\n"
                             "\n"
                             "_chemical_name_systematic          'ABCDEFGHIJKLMNOPQRSTUVWXY'\n"
                             "_chemical_formula_structural       'Si8 O16 '\n"
                             "_chemical_formula_sum              'Si8 O16 '\n"
                             "\n"
                             "_cell_length_a                     5.431\n"
                             "_cell_length_b                     5.431\n"
                             "_cell_length_c                     5.431\n"
                             "_cell_angle_alpha                  90\n"
                             "_cell_angle_beta                   90\n"
                             "_cell_angle_gamma                  90\n"
                             "\n"
                             "_symmetry_space_group_name_H-M     'P1'\n"
                             "_symmetry_Int_Tables_number        1\n"
                             "\n"
                             "loop_\n"
                             "_symmetry_equiv_pos_as_xyz         \n"
                             "  'x,y,z'\n"
                             "\n"
                             "loop_\n"
                             "_atom_type_symbol  \n"
                             "_atom_type_oxidation_number        \n"
                             "        Si   4.000000\n"
                             "         O   -2.000000\n"
                             "\n") +
                         kSiteLoopHeader +
                         "       Si1        Si   1 i    0.000000    0.750000    0.500000      1.0000  0 a\n"
                         "        O1         O   1 i    0.000000    0.125000    0.000000      0.5000  0 a\n"
                         "        X9        X9   1 i    0.500000    0.000000    0.000000      1.0000  0 a\n"
                         "\n"
                         "\n"
                         "#End of data_99999-ICSD\n";
  EXPECT_EQ(WriteAndReadBack(crystal, dir.Path("a.cif")), expected);
  EXPECT_EQ(crystal.FormulaSum, "Si8 O16 ");

  // The composed formula is kept: changed counts do not show on a second write.
  crystal.nAtomsInFormula[si] = 1;
  EXPECT_EQ(WriteAndReadBack(crystal, dir.Path("b.cif")), expected);
}

// Converters that do not count atoms per type write zero counts; a type
// without a Name is named by its Label in the formula and the site rows, and
// a type with neither adds only its count.
TEST(CIFWriterTest, FormulaAndSymbolFallbacks) {
  TempDir dir;
  CCrystal crystal;
  SetCell(crystal, 0.4, 0.4, 0.4, 90, 90, 90);
  int ti = AddTestType(crystal, "Ti");
  int lb = AddTestType(crystal, "Lb");
  int none = AddTestType(crystal, "None");
  crystal.AtomTypes[lb].Name.clear();
  crystal.AtomTypes[lb].Label = "Lab";
  crystal.AtomTypes[none].Name.clear();
  AddBothSites(crystal, "A1", lb, 1.0, 0.1, 0.2, 0.3);
  AddBothSites(crystal, "B1", none, 1.0, 0.1, 0.2, 0.3);
  (void)ti;
  std::string text = WriteAndReadBack(crystal, dir.Path("f.cif"));
  EXPECT_NE(text.find("_chemical_formula_structural       'Ti0 Lab0 0 '\n"), std::string::npos) << text;
  EXPECT_NE(text.find("_chemical_formula_sum              'Ti0 Lab0 0 '\n"), std::string::npos);
  EXPECT_NE(text.find("        A1       Lab   1 i"), std::string::npos) << text;
  EXPECT_NE(text.find("        B1        B1   1 i"), std::string::npos) << text;
  // The type loop shows the Name itself, empty or not.
  EXPECT_NE(text.find("        Ti   0.000000\n             0.000000\n             0.000000\n"),
            std::string::npos)
      << text;
}

TEST(CIFWriterTest, NoTypesAndNoSites) {
  TempDir dir;
  CCrystal crystal;
  SetCell(crystal, 0.3, 0.3, 0.3, 90, 90, 90);
  std::string text = WriteAndReadBack(crystal, dir.Path("e.cif"));
  EXPECT_NE(text.find("_chemical_formula_structural       ''\n_chemical_formula_sum              ''\n"),
            std::string::npos);
  EXPECT_NE(text.find("_atom_type_oxidation_number        \n\n"), std::string::npos);
  EXPECT_NE(text.find("_atom_site_calc_flag\n\n\n#End of data_99999-ICSD\n"), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 24), "#End of data_99999-ICSD\n");
}

TEST(CIFWriterTest, UnwritablePathLeavesTheCrystalAlone) {
  TempDir dir;
  CCrystal crystal;
  AddTestType(crystal, "Si");
  std::string path = dir.Path("no/such/dir/x.cif");
  testing::internal::CaptureStdout();
  EXPECT_EQ(WriteCIF(crystal, path), -1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Can not write to [" + path + "].\n");
  EXPECT_EQ(crystal.FormulaSum, "");
}

// What the CIF reader makes of a written file: the same cell, operations,
// types with their charges and sites (multiplicity 1, Wyckoff symbol i).
TEST(CIFWriterTest, ReadBackByTheCIFReader) {
  TempDir dir;
  CCrystal crystal;
  SetCell(crystal, 0.512, 0.634, 0.755, 90, 103.25, 90);
  crystal.ChemicalName = "Iron oxide";
  crystal.SpaceGroup.Name = "P 1 21/c 1";
  crystal.SpaceGroup.Number = 14;
  const char* const ops[] = {"x,y,z", "-x,y+1/2,-z+1/2", "-x,-y,-z", "x,-y+1/2,z+1/2"};
  crystal.SpaceGroup.nOperations = 4;
  for (int i = 0; i < 4; ++i) crystal.SpaceGroup.OperationText[i] = ops[i];
  int fe = AddTestType(crystal, "Fe2+", 2.0);
  int o = AddTestType(crystal, "O2-", -2.0);
  AddBothSites(crystal, "Fe1", fe, 0.75, 0.1234567, 0.25, 0.75);
  AddBothSites(crystal, "O1", o, 1.0, 0.3, -0.1, 0.6);
  AddBothSites(crystal, "O2", o, 1.0, 0.0, 0.5, 1.0);
  std::string path = dir.Path("rt.cif");
  ASSERT_EQ(WriteCIF(crystal, path), 1);

  CCIFFile record;
  ASSERT_EQ(record.Read(path), 1);
  EXPECT_NEAR(record.a, 0.512, 1e-12);
  EXPECT_NEAR(record.b, 0.634, 1e-12);
  EXPECT_NEAR(record.c, 0.755, 1e-12);
  EXPECT_DOUBLE_EQ(record.alpha, 90);
  EXPECT_DOUBLE_EQ(record.beta, 103.25);
  EXPECT_DOUBLE_EQ(record.gamma, 90);
  EXPECT_EQ(record.SystematicName, "Iron oxide");
  EXPECT_EQ(record.FormulaSum, "Fe2+0 O2-0 ");
  EXPECT_EQ(record.SpaceGroupName, "P 1 21/c 1");
  EXPECT_EQ(record.SpaceGroupNumber, 14);
  ASSERT_EQ(record.nSymmetryOperations, 4);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(record.SymmetryOperations[i], ops[i]);
  ASSERT_EQ(record.nAtomTypes, 2);
  EXPECT_EQ(record.AtomTypeSymbols[0], "Fe2+");
  EXPECT_DOUBLE_EQ(record.OxidationNumbers[0], 2.0);
  EXPECT_EQ(record.AtomTypeSymbols[1], "O2-");
  EXPECT_DOUBLE_EQ(record.OxidationNumbers[1], -2.0);
  ASSERT_EQ(record.nAtomSites, 3);
  const char* const labels[] = {"Fe1", "O1", "O2"};
  const char* const symbols[] = {"Fe2+", "O2-", "O2-"};
  const double expected[3][4] = {{0.123457, 0.25, 0.75, 0.75}, {0.3, 0.9, 0.6, 1.0}, {0.0, 0.5, 0.0, 1.0}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(record.SiteLabels[i], labels[i]);
    EXPECT_EQ(record.SiteTypeSymbols[i], symbols[i]);
    EXPECT_EQ(record.SiteMultiplicities[i], 1);
    EXPECT_EQ(record.SiteWyckoffSymbols[i], "i");
    EXPECT_NEAR(record.SiteX[i], expected[i][0], 1e-9);
    EXPECT_NEAR(record.SiteY[i], expected[i][1], 1e-9);
    EXPECT_NEAR(record.SiteZ[i], expected[i][2], 1e-9);
    EXPECT_NEAR(record.SiteOccupancies[i], expected[i][3], 1e-9);
  }
}

}  // namespace
}  // namespace quorvel
