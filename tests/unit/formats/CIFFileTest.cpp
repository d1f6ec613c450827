#include "formats/CIFFile.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/unit/TestFiles.h"

namespace quorvel {
namespace {

// Reads content as a CIF file; the printed output goes to *printed.
int ReadText(CCIFFile& cif, const std::string& content, std::string* printed = nullptr) {
  TempDir dir;
  WriteFile(dir.Path("in.cif"), content);
  testing::internal::CaptureStdout();
  int result = cif.Read(dir.Path("in.cif"));
  std::string out = testing::internal::GetCapturedStdout();
  if (printed) *printed = out;
  return result;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// Every value a reader of the record sees (the path aside).
void ExpectSameRecord(const CCIFFile& x, const CCIFFile& y) {
  EXPECT_EQ(x.DataName, y.DataName);
  EXPECT_EQ(x.AuditCreationDate, y.AuditCreationDate);
  EXPECT_EQ(x.AuditCreationMethod, y.AuditCreationMethod);
  EXPECT_EQ(x.DatabaseCode, y.DatabaseCode);
  EXPECT_EQ(x.SystematicName, y.SystematicName);
  EXPECT_EQ(x.MineralName, y.MineralName);
  EXPECT_EQ(x.CompoundSource, y.CompoundSource);
  EXPECT_EQ(x.FormulaStructural, y.FormulaStructural);
  EXPECT_EQ(x.FormulaSum, y.FormulaSum);
  EXPECT_EQ(x.PublicationTitle, y.PublicationTitle);
  EXPECT_EQ(x.a, y.a);
  EXPECT_EQ(x.b, y.b);
  EXPECT_EQ(x.c, y.c);
  EXPECT_EQ(x.alpha, y.alpha);
  EXPECT_EQ(x.beta, y.beta);
  EXPECT_EQ(x.gamma, y.gamma);
  EXPECT_EQ(x.Volume, y.Volume);
  EXPECT_EQ(x.FormulaUnitsZ, y.FormulaUnitsZ);
  EXPECT_EQ(x.MeasuredDensity, y.MeasuredDensity);
  EXPECT_EQ(x.SpaceGroupName, y.SpaceGroupName);
  EXPECT_EQ(x.SpaceGroupNumber, y.SpaceGroupNumber);
  EXPECT_EQ(x.CellSetting, y.CellSetting);
  ASSERT_EQ(x.nSymmetryOperations, y.nSymmetryOperations);
  for (int i = 0; i < x.nSymmetryOperations; ++i) EXPECT_EQ(x.SymmetryOperations[i], y.SymmetryOperations[i]);
  EXPECT_EQ(x.nMaxAtomTypes, y.nMaxAtomTypes);
  ASSERT_EQ(x.nAtomTypes, y.nAtomTypes);
  for (int i = 0; i < x.nAtomTypes; ++i) {
    EXPECT_EQ(x.AtomTypeSymbols[i], y.AtomTypeSymbols[i]);
    EXPECT_EQ(x.OxidationNumbers[i], y.OxidationNumbers[i]);
  }
  EXPECT_EQ(x.nMaxAtomSites, y.nMaxAtomSites);
  ASSERT_EQ(x.nAtomSites, y.nAtomSites);
  for (int i = 0; i < x.nAtomSites; ++i) {
    EXPECT_EQ(x.SiteLabels[i], y.SiteLabels[i]);
    EXPECT_EQ(x.SiteTypeSymbols[i], y.SiteTypeSymbols[i]);
    EXPECT_EQ(x.SiteMultiplicities[i], y.SiteMultiplicities[i]);
    EXPECT_EQ(x.SiteWyckoffSymbols[i], y.SiteWyckoffSymbols[i]);
    EXPECT_EQ(x.SiteX[i], y.SiteX[i]);
    EXPECT_EQ(x.SiteY[i], y.SiteY[i]);
    EXPECT_EQ(x.SiteZ[i], y.SiteZ[i]);
    EXPECT_EQ(x.SiteOccupancies[i], y.SiteOccupancies[i]);
  }
}

// A database export of rutile in the layout of the inorganic structure
// database: numbered operations with a tab, charged type symbols, and the site
// loop ending with the displacement parameter.
const char* const kRutileExport =
    "data_9161-ICSD\n"
    "#(C) 2009 by Fachinformationszentrum Karlsruhe, and the U.S. Secretary of\n"
    "#Commerce on behalf of the United States.  All rights reserved.\n"
    "_database_code_ICSD                9161\n"
    "_audit_creation_date               1980/01/01\n"
    "_audit_update_record               2006/04/01\n"
    "_chemical_name_systematic          'Titanium Oxide'\n"
    "_chemical_formula_structural       'Ti O2'\n"
    "_chemical_formula_sum              'O2 Ti1'\n"
    "_chemical_name_mineral             Rutile\n"
    "_exptl_crystal_density_diffrn      4.25\n"
    "_publ_section_title\n"
    ";\n"
    "Refinement of the crystal structure of rutile\n"
    ";\n"
    "loop_\n"
    "_citation_id\n"
    "_citation_journal_abbrev\n"
    "_citation_year\n"
    "primary 'Acta Crystallographica B' 1971\n"
    "_publ_author_name                  'Baur, W.H.;Khan, A.A.'\n"
    "_cell_length_a                     4.5937(2)\n"
    "_cell_length_b                     4.5937(2)\n"
    "_cell_length_c                     2.9587(1)\n"
    "_cell_angle_alpha                  90.\n"
    "_cell_angle_beta                   90.\n"
    "_cell_angle_gamma                  90.\n"
    "_cell_volume                       62.43\n"
    "_cell_formula_units_Z              2\n"
    "_symmetry_space_group_name_H-M     'P 42/m n m'\n"
    "_symmetry_Int_Tables_number        136\n"
    "_refine_ls_R_factor_all            0.022\n"
    "loop_\n"
    "_symmetry_equiv_pos_site_id\n"
    "_symmetry_equiv_pos_as_xyz\n"
    "1\t'y, x, -z'\n"
    "2\t'-y+1/2, x+1/2, -z+1/2'\n"
    "3\t'-y, -x, -z'\n"
    "4\t'y+1/2, -x+1/2, -z+1/2'\n"
    "5\t'-x+1/2, y+1/2, z+1/2'\n"
    "6\t'x, y, -z'\n"
    "7\t'x+1/2, -y+1/2, z+1/2'\n"
    "8\t'-x, -y, -z'\n"
    "9\t'-y, -x, z'\n"
    "10\t'y+1/2, -x+1/2, z+1/2'\n"
    "11\t'y, x, z'\n"
    "12\t'-y+1/2, x+1/2, z+1/2'\n"
    "13\t'x+1/2, -y+1/2, -z+1/2'\n"
    "14\t'-x, -y, z'\n"
    "15\t'-x+1/2, y+1/2, -z+1/2'\n"
    "16\t'x, y, z'\n"
    "loop_\n"
    "_atom_type_symbol\n"
    "_atom_type_oxidation_number\n"
    "Ti4+\t4\n"
    "O2-\t-2\n"
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
    "_atom_site_B_iso_or_equiv\n"
    "Ti1 Ti4+ 2 a 0 0 0 1. 0 0.42(1)\n"
    "O1 O2- 4 f 0.30478(6) 0.30478(6) 0 1. 0 0.60(2)\n"
    "#End of data_9161-ICSD\n";

TEST(CIFFile, DatabaseExportIsReadCompletely) {
  CCIFFile cif;
  ASSERT_EQ(ReadText(cif, kRutileExport), 1);
  EXPECT_EQ(cif.DataName, "data_9161-ICSD");
  EXPECT_EQ(cif.AuditCreationDate, "1980/01/01");
  EXPECT_EQ(cif.AuditCreationMethod, "Undefined");
  EXPECT_EQ(cif.DatabaseCode, 9161);
  EXPECT_EQ(cif.SystematicName, "Titanium Oxide");
  EXPECT_EQ(cif.MineralName, "Rutile");
  EXPECT_EQ(cif.CompoundSource, "Undefined");
  EXPECT_EQ(cif.FormulaStructural, "Ti O2");
  EXPECT_EQ(cif.FormulaSum, "O2 Ti1");
  // The title is on the following lines, which are not read: the tag's own
  // line holds nothing.
  EXPECT_EQ(cif.PublicationTitle, "");
  EXPECT_DOUBLE_EQ(cif.a, 0.45937);
  EXPECT_DOUBLE_EQ(cif.b, 0.45937);
  EXPECT_DOUBLE_EQ(cif.c, 0.29587);
  EXPECT_EQ(cif.alpha, 90);
  EXPECT_EQ(cif.beta, 90);
  EXPECT_EQ(cif.gamma, 90);
  EXPECT_DOUBLE_EQ(cif.Volume, 0.06243);
  EXPECT_EQ(cif.FormulaUnitsZ, 2);
  EXPECT_EQ(cif.MeasuredDensity, 0);  // only the calculated density is given
  EXPECT_EQ(cif.SpaceGroupName, "P 42/m n m");
  EXPECT_EQ(cif.SpaceGroupNumber, 136);
  EXPECT_EQ(cif.CellSetting, "Undefined");

  ASSERT_EQ(cif.nSymmetryOperations, 16);
  EXPECT_EQ(cif.SymmetryOperations[0], "y, x, -z");
  EXPECT_EQ(cif.SymmetryOperations[1], "-y+1/2, x+1/2, -z+1/2");
  EXPECT_EQ(cif.SymmetryOperations[15], "x, y, z");

  ASSERT_EQ(cif.nAtomTypes, 2);
  EXPECT_EQ(cif.AtomTypeSymbols[0], "Ti4+");
  EXPECT_EQ(cif.OxidationNumbers[0], 4);
  EXPECT_EQ(cif.AtomTypeSymbols[1], "O2-");
  EXPECT_EQ(cif.OxidationNumbers[1], -2);

  ASSERT_EQ(cif.nAtomSites, 2);
  EXPECT_EQ(cif.SiteLabels[0], "Ti1");
  EXPECT_EQ(cif.SiteTypeSymbols[0], "Ti4+");
  EXPECT_EQ(cif.SiteMultiplicities[0], 2);
  EXPECT_EQ(cif.SiteWyckoffSymbols[0], "a");
  EXPECT_EQ(cif.SiteX[0], 0);
  EXPECT_EQ(cif.SiteOccupancies[0], 1);
  EXPECT_EQ(cif.SiteLabels[1], "O1");
  EXPECT_EQ(cif.SiteTypeSymbols[1], "O2-");
  EXPECT_EQ(cif.SiteMultiplicities[1], 4);
  EXPECT_EQ(cif.SiteWyckoffSymbols[1], "f");
  EXPECT_DOUBLE_EQ(cif.SiteX[1], 0.30478);
  EXPECT_DOUBLE_EQ(cif.SiteY[1], 0.30478);
  EXPECT_EQ(cif.SiteZ[1], 0);
  EXPECT_EQ(cif.SiteOccupancies[1], 1);

  // Written on Windows, the same file reads the same.
  CCIFFile crlf;
  ASSERT_EQ(ReadText(crlf, Replace(kRutileExport, "\n", "\r\n")), 1);
  ExpectSameRecord(crlf, cif);
}

// Alpha-quartz in the layout this program's CIF writer produces.
const char* const kQuartzWritten =
    "data_99999-ICSD\n"
    "\n"
    "_audit_creation_date               2024/05/17\n"
    "_audit_creation_method             'Quorvel.exe 0.1'\n"
    "\n"
    "_database_code_ICSD                99999\n"
    "\n"
    "_chemical_name_systematic          'alpha-quartz'\n"
    "_chemical_formula_structural       'Si3 O6 '\n"
    "_chemical_formula_sum              'Si3 O6 '\n"
    "\n"
    "_cell_length_a                     4.9134\n"
    "_cell_length_b                     4.9134\n"
    "_cell_length_c                     5.4052\n"
    "_cell_angle_alpha                  90\n"
    "_cell_angle_beta                   90\n"
    "_cell_angle_gamma                  120\n"
    "\n"
    "_symmetry_space_group_name_H-M     'P 32 2 1'\n"
    "_symmetry_Int_Tables_number        154\n"
    "\n"
    "loop_\n"
    "_symmetry_equiv_pos_as_xyz         \n"
    "  'x,y,z'\n"
    "  '-y,x-y,z+2/3'\n"
    "  '-x+y,-x,z+1/3'\n"
    "  'y,x,-z'\n"
    "  'x-y,-y,-z+1/3'\n"
    "  '-x,-x+y,-z+2/3'\n"
    "\n"
    "loop_\n"
    "_atom_type_symbol  \n"
    "_atom_type_oxidation_number        \n"
    "        Si   4.000000\n"
    "         O   -2.000000\n"
    "\n"
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
    "_atom_site_calc_flag\n"
    "       Si1        Si   1 i    0.469700    0.000000    0.666667      1.0000  0 a\n"
    "        O1         O   1 i    0.413500    0.266900    0.785700      1.0000  0 a\n"
    "\n"
    "\n"
    "#End of data_99999-ICSD\n";

TEST(CIFFile, OwnWrittenLayoutIsReadCompletely) {
  CCIFFile cif;
  ASSERT_EQ(ReadText(cif, kQuartzWritten), 1);
  EXPECT_EQ(cif.DataName, "data_99999-ICSD");
  EXPECT_EQ(cif.AuditCreationDate, "2024/05/17");
  EXPECT_EQ(cif.AuditCreationMethod, "Quorvel.exe 0.1");
  EXPECT_EQ(cif.DatabaseCode, 99999);
  EXPECT_EQ(cif.SystematicName, "alpha-quartz");
  EXPECT_EQ(cif.MineralName, "Undefined");
  EXPECT_EQ(cif.FormulaSum, "Si3 O6 ");  // the blank inside the quotes stays
  EXPECT_EQ(cif.PublicationTitle, "Undefined");
  EXPECT_DOUBLE_EQ(cif.a, 0.49134);
  EXPECT_DOUBLE_EQ(cif.c, 0.54052);
  EXPECT_EQ(cif.gamma, 120);
  EXPECT_EQ(cif.Volume, 0);
  EXPECT_EQ(cif.SpaceGroupName, "P 32 2 1");
  EXPECT_EQ(cif.SpaceGroupNumber, 154);

  ASSERT_EQ(cif.nSymmetryOperations, 6);
  EXPECT_EQ(cif.SymmetryOperations[0], "x,y,z");
  EXPECT_EQ(cif.SymmetryOperations[1], "-y,x-y,z+2/3");
  EXPECT_EQ(cif.SymmetryOperations[5], "-x,-x+y,-z+2/3");

  ASSERT_EQ(cif.nAtomTypes, 2);
  EXPECT_EQ(cif.AtomTypeSymbols[0], "Si");
  EXPECT_EQ(cif.OxidationNumbers[0], 4);
  EXPECT_EQ(cif.AtomTypeSymbols[1], "O");
  EXPECT_EQ(cif.OxidationNumbers[1], -2);

  ASSERT_EQ(cif.nAtomSites, 2);
  EXPECT_EQ(cif.SiteLabels[0], "Si1");
  EXPECT_EQ(cif.SiteTypeSymbols[0], "Si");
  EXPECT_EQ(cif.SiteMultiplicities[0], 1);
  EXPECT_EQ(cif.SiteWyckoffSymbols[0], "i");
  EXPECT_DOUBLE_EQ(cif.SiteX[0], 0.4697);
  EXPECT_EQ(cif.SiteY[0], 0);
  EXPECT_DOUBLE_EQ(cif.SiteZ[0], 0.666667);
  EXPECT_EQ(cif.SiteOccupancies[0], 1);
  EXPECT_EQ(cif.SiteLabels[1], "O1");
  EXPECT_DOUBLE_EQ(cif.SiteY[1], 0.2669);
  EXPECT_DOUBLE_EQ(cif.SiteZ[1], 0.7857);

  CCIFFile crlf;
  ASSERT_EQ(ReadText(crlf, Replace(kQuartzWritten, "\n", "\r\n")), 1);
  ExpectSameRecord(crlf, cif);
}

TEST(CIFFile, HeaderTagsMatchAtLineStartCaseSensitiveFirstLineWins) {
  CCIFFile cif;
  ASSERT_EQ(ReadText(cif,
                     "  'quoted data name'  \n"
                     "_chemical_name_systematic_extra 'first'\n"
                     "_chemical_name_systematic 'second'\n"
                     "_chemical_name_mineral    \"Diamond\"\n"
                     "_chemical_compound_source 'synthetic\n"
                     "_chemical_formula_sum     Si8'\n"
                     "_CELL_LENGTH_A 9.0\n"
                     "  _cell_length_a 8.0\n"
                     "_cell_length_a 5.4309(2)\n"
                     "_cell_length_a 7.0\n"
                     "_cell_length_bc 6.0\n"
                     "_cell_length_b 5.4309\n"
                     "_cell_angle_gamma\t 120.5 degrees\n"
                     "_cell_volume 160.1\n"
                     "_exptl_crystal_density_meas 2.33(1)\n"
                     "_symmetry_Int_Tables_number 227abc\n"
                     "_database_code_ICSD 99999999999\n"),
            1);
  EXPECT_EQ(cif.DataName, "quoted data name");
  // A longer tag that begins with a searched one is taken for it.
  EXPECT_EQ(cif.SystematicName, "_extra 'first'");
  EXPECT_EQ(cif.MineralName, "Diamond");
  EXPECT_EQ(cif.CompoundSource, "'synthetic");  // a quote at one end stays
  EXPECT_EQ(cif.FormulaSum, "Si8'");
  EXPECT_DOUBLE_EQ(cif.a, 0.54309);
  EXPECT_EQ(cif.b, 0);  // "c 6.0" after the tag is no number
  EXPECT_EQ(cif.c, 0);
  EXPECT_EQ(cif.gamma, 120.5);
  EXPECT_EQ(cif.alpha, 0);
  EXPECT_DOUBLE_EQ(cif.Volume, 0.1601);
  EXPECT_EQ(cif.MeasuredDensity, 2.33);
  EXPECT_EQ(cif.SpaceGroupNumber, 227);
  EXPECT_EQ(cif.DatabaseCode, 2147483647);  // held at the 32-bit limit
  EXPECT_EQ(cif.SpaceGroupName, "Undefined");
  EXPECT_EQ(cif.nSymmetryOperations, 0);
  EXPECT_EQ(cif.nAtomTypes, 0);
  EXPECT_EQ(cif.nAtomSites, 0);
}

TEST(CIFFile, OperationLoopTabRuleOnlyInSiteIdDialect) {
  const std::string loop =
      "loop_\n"
      "_symmetry_equiv_pos_as_xyz\n"
      "1\t'x, y, z'\n"
      "2 '-x, -y, -z'\n"
      "#3\t'-x, y, z'\n"
      "  #4 kept: only a '#' in the first column marks a comment\n"
      "5\t-x+1/2, y, z\t\n"
      "  loop_  \n"
      "6\t'y, x, z'\n";
  CCIFFile numbered;
  ASSERT_EQ(ReadText(numbered, "data_a\nloop_\n_symmetry_equiv_pos_site_id\n" + loop), 1);
  ASSERT_EQ(numbered.nSymmetryOperations, 4);
  EXPECT_EQ(numbered.SymmetryOperations[0], "x, y, z");
  EXPECT_EQ(numbered.SymmetryOperations[1], "2 '-x, -y, -z'");
  EXPECT_EQ(numbered.SymmetryOperations[2], "#4 kept: only a '#' in the first column marks a comment");
  EXPECT_EQ(numbered.SymmetryOperations[3], "-x+1/2, y, z");

  // Without the site-id tag a tab is an ordinary character.
  CCIFFile plain;
  ASSERT_EQ(ReadText(plain, "data_a\n" + loop), 1);
  ASSERT_EQ(plain.nSymmetryOperations, 4);
  EXPECT_EQ(plain.SymmetryOperations[0], "1\t'x, y, z'");
  EXPECT_EQ(plain.SymmetryOperations[3], "5\t-x+1/2, y, z");

  // The list also ends at the next tag and at an empty line.
  CCIFFile ends;
  ASSERT_EQ(ReadText(ends, "loop_\n_symmetry_equiv_pos_as_xyz\nx,y,z\n_atom_type_symbol\n-x,-y,-z\n"), 1);
  EXPECT_EQ(ends.nSymmetryOperations, 1);
  ASSERT_EQ(ReadText(ends, "loop_\n_symmetry_equiv_pos_as_xyz\nx,y,z\n \t\n-x,-y,-z\n"), 1);
  EXPECT_EQ(ends.nSymmetryOperations, 1);
}

TEST(CIFFile, TypeRowsSplitAtFirstTabElseFirstBlank) {
  CCIFFile cif;
  ASSERT_EQ(ReadText(cif,
                     "loop_\n"
                     "_atom_type_symbol\n"
                     "_atom_type_oxidation_number\n"
                     "  O2- -2\n"
                     "  Si\n"
                     "# comment\n"
                     "   # indented comment\n"
                     "Mg 2+\t2.000\n"
                     "'Cl1-'   -1(2)\n"
                     "Fe 2 3\n"
                     "loop_\n"
                     "Zn 2\n"),
            1);
  ASSERT_EQ(cif.nAtomTypes, 5);
  EXPECT_EQ(cif.AtomTypeSymbols[0], "O2-");
  EXPECT_EQ(cif.OxidationNumbers[0], -2);
  EXPECT_EQ(cif.AtomTypeSymbols[1], "Si");
  EXPECT_EQ(cif.OxidationNumbers[1], 0);
  EXPECT_EQ(cif.AtomTypeSymbols[2], "Mg 2+");
  EXPECT_EQ(cif.OxidationNumbers[2], 2);
  EXPECT_EQ(cif.AtomTypeSymbols[3], "Cl1-");
  EXPECT_EQ(cif.OxidationNumbers[3], -1);
  EXPECT_EQ(cif.AtomTypeSymbols[4], "Fe");
  EXPECT_EQ(cif.OxidationNumbers[4], 2);
}

TEST(CIFFile, SiteRowsArePositionalAndNeedAColumnAfterTheOccupancy) {
  CCIFFile cif;
  ASSERT_EQ(ReadText(cif,
                     "loop_\n"
                     "_atom_site_label\n"
                     "_atom_site_calc_flag\n"
                     "  Si1  Si4+   8 a   0.125000    0.125000    0.125000      1.0000  0 a\n"
                     "# a comment row\n"
                     "O1 O2- 16 c 0.5(1) -0.25 1.25 0.5 x\n"
                     "Mg1 \tMg\t 4 b 0.5 0.5 0.5 0.75\t 0 d\n"
                     "Ge1 Ge 8 a 0.1 0.2 0.3 1.0\n"
                     "Zn1 Zn 1 a 0 0 0 1 0 d\n"),
            1);
  // The row with eight columns only is not counted, and ends the loop.
  ASSERT_EQ(cif.nAtomSites, 3);
  EXPECT_EQ(cif.SiteLabels[0], "Si1");
  EXPECT_EQ(cif.SiteTypeSymbols[0], "Si4+");
  EXPECT_EQ(cif.SiteMultiplicities[0], 8);
  EXPECT_EQ(cif.SiteWyckoffSymbols[0], "a");
  EXPECT_EQ(cif.SiteX[0], 0.125);
  EXPECT_EQ(cif.SiteZ[0], 0.125);
  EXPECT_EQ(cif.SiteOccupancies[0], 1);
  EXPECT_EQ(cif.SiteLabels[1], "O1");
  EXPECT_EQ(cif.SiteMultiplicities[1], 16);
  EXPECT_EQ(cif.SiteX[1], 0.5);
  EXPECT_EQ(cif.SiteY[1], -0.25);
  EXPECT_EQ(cif.SiteZ[1], 1.25);  // as the file states it
  EXPECT_EQ(cif.SiteOccupancies[1], 0.5);
  // Tabs before a field are skipped; a field ends at a blank only.
  EXPECT_EQ(cif.SiteLabels[2], "Mg1");
  EXPECT_EQ(cif.SiteTypeSymbols[2], "Mg\t");
  EXPECT_EQ(cif.SiteMultiplicities[2], 4);
  EXPECT_EQ(cif.SiteOccupancies[2], 0.75);

  // Rows separated by tabs only have no blank after their first field.
  ASSERT_EQ(ReadText(cif, "_atom_site_calc_flag\nNa1\tNa\t4\ta\t0\t0\t0\t1\t0\td\n"), 1);
  EXPECT_EQ(cif.nAtomSites, 0);
}

TEST(CIFFile, SiteIdDialectFindsTheSiteRowsAfterBisoElseAfterHydrogens) {
  // A materials library writes its loop headers indented: they do not begin
  // their lines, so neither the dialect nor any loop is recognised.
  const std::string generated =
      "data_NaCl\n"
      "loop_\n"
      "  _symmetry_equiv_pos_site_id\n"
      "  _symmetry_equiv_pos_as_xyz\n"
      "   1  'x, y, z'\n"
      " \n"
      "loop_\n"
      "  _atom_site_type_symbol\n"
      "  _atom_site_attached_hydrogens\n"
      "  _atom_site_B_iso_or_equiv\n"
      "  _atom_site_occupancy\n"
      "   Na  Na1  1  0.000000  0.000000  0.000000  0  .  1\n";
  CCIFFile cif;
  ASSERT_EQ(ReadText(cif, generated), 1);
  EXPECT_EQ(cif.nSymmetryOperations, 0);
  EXPECT_EQ(cif.nAtomSites, 0);
  // The same loops unindented: the operation keeps its number (no tab), and
  // the rows are looked for after the displacement column, which here is
  // followed by another header.
  ASSERT_EQ(ReadText(cif, Replace(generated, "\n  _", "\n_")), 1);
  ASSERT_EQ(cif.nSymmetryOperations, 1);
  EXPECT_EQ(cif.SymmetryOperations[0], "1  'x, y, z'");
  EXPECT_EQ(cif.nAtomSites, 0);

  // Without a displacement column the rows follow the hydrogen count.
  ASSERT_EQ(ReadText(cif,
                     "data_Hg\n"
                     "loop_\n"
                     "_symmetry_equiv_pos_site_id\n"
                     "_symmetry_equiv_pos_as_xyz\n"
                     "1 'x, y, z'\n"
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
                     "Hg Hg 3 a 0 0 0 1 0 \n"),
            1);
  ASSERT_EQ(cif.nAtomSites, 1);
  EXPECT_EQ(cif.SiteLabels[0], "Hg");
  EXPECT_EQ(cif.SiteMultiplicities[0], 3);
  EXPECT_EQ(cif.SiteOccupancies[0], 1);

  // In the site-id dialect the calc flag does not place the rows.
  ASSERT_EQ(ReadText(cif, "_symmetry_equiv_pos_site_id\n_atom_site_calc_flag\nSi1 Si 1 a 0 0 0 1 0 d\n"), 1);
  EXPECT_EQ(cif.nAtomSites, 0);
}

TEST(CIFFile, LinesLongerThan4095CharactersArriveInPieces) {
  // The second piece of a long line begins with a tag and is found as a line.
  const std::string filler(4095, 'y');
  // A site row padded to 5000 characters: its first piece is a complete row,
  // the rest of it a piece without a blank, which ends the loop.
  const std::string longRow = "Si1 Si 8 a 0.1 0.2 0.3 1.0 0 " + std::string(5000, 'x') + "\n";
  CCIFFile cif;
  ASSERT_EQ(ReadText(cif, filler + "_cell_length_a 3.0\n" + "_atom_site_calc_flag\n" + longRow +
                              "O1 O 8 a 0.1 0.2 0.3 1.0 0 d\n"),
            1);
  EXPECT_EQ(cif.DataName, filler);
  EXPECT_DOUBLE_EQ(cif.a, 0.3);
  ASSERT_EQ(cif.nAtomSites, 1);
  EXPECT_EQ(cif.SiteLabels[0], "Si1");
  EXPECT_EQ(cif.SiteOccupancies[0], 1);

  // A value cut by the piece boundary ends there.
  const std::string tag = "_chemical_name_systematic ";
  const std::string name(5000, 'n');
  ASSERT_EQ(ReadText(cif, "data_x\n" + tag + name + "\n"), 1);
  EXPECT_EQ(cif.SystematicName, std::string(4095 - tag.size(), 'n'));
}

TEST(CIFFile, FullTablesKeepTheRowsThatFitAndSaySoOnce) {
  std::string text = "loop_\n_symmetry_equiv_pos_as_xyz\n";
  for (int i = 0; i < 300; ++i) text += "'x,y,z+" + std::to_string(i) + "'\n";
  text += "loop_\n_atom_type_oxidation_number\n";
  for (int i = 0; i < 60; ++i) text += "T" + std::to_string(i) + " " + std::to_string(i) + "\n";
  text += "loop_\n_atom_site_calc_flag\n";
  for (int i = 0; i < 5000; ++i) text += "A" + std::to_string(i) + " A 1 a 0.5 0 0 1 0 d\n";
  CCIFFile cif;
  std::string printed;
  ASSERT_EQ(ReadText(cif, text, &printed), 1);
  EXPECT_EQ(cif.nSymmetryOperations, 256);
  EXPECT_EQ(cif.SymmetryOperations[255], "x,y,z+255");
  EXPECT_EQ(cif.nAtomTypes, 50);
  EXPECT_EQ(cif.AtomTypeSymbols[49], "T49");
  EXPECT_EQ(cif.OxidationNumbers[49], 49);
  EXPECT_EQ(cif.nAtomSites, 4096);
  EXPECT_EQ(cif.SiteLabels[4095], "A4095");
  const std::string path = cif.Path;
  EXPECT_EQ(printed,
            "Error in CCIFFile::Read: [" + path + "] has more than 256 symmetry operations; only the first 256 are read.\n"
            "Error in CCIFFile::Read: [" + path + "] has more than 50 atom types; only the first 50 are read.\n"
            "Error in CCIFFile::Read: [" + path + "] has more than 4096 atom sites; only the first 4096 are read.\n");

  // Exactly full tables, followed by a row that would not count anyway, are
  // no reason for a message.
  std::string exact = "_atom_site_calc_flag\n";
  for (int i = 0; i < 4096; ++i) exact += "A A 1 a 0 0 0 1 0 d\n";
  exact += "B B 1 a 0 0 0 1\n";
  ASSERT_EQ(ReadText(cif, exact, &printed), 1);
  EXPECT_EQ(cif.nAtomSites, 4096);
  EXPECT_EQ(printed, "");

  // A record whose site table could not be had reads no sites, and says so.
  CCIFFile empty;
  EXPECT_EQ(empty.AllocateAtomSites(-5), 0);
  ASSERT_EQ(ReadText(empty, "_atom_site_calc_flag\nA A 1 a 0 0 0 1 0 d\n", &printed), 1);
  EXPECT_EQ(empty.nAtomSites, 0);
  EXPECT_NE(printed.find("has more than 0 atom sites"), std::string::npos);
}

TEST(CIFFile, OpenFindTagAndReadResults) {
  TempDir dir;
  const std::string path = dir.Path("a.cif");
  WriteFile(path, "data_a\n_cell_volume_esd 1\n_cell_volume 2\nnext line\n");
  CCIFFile cif;
  ASSERT_EQ(cif.Open(path), 1);
  EXPECT_EQ(cif.Open(path), -2);
  EXPECT_EQ(cif.Read(path), -2);
  EXPECT_EQ(cif.FindTag("_CELL_VOLUME"), -1);
  // A miss leaves the position at the end of the file.
  std::string value;
  EXPECT_EQ(cif.ReadStringTag(nullptr, value), -1);
  EXPECT_EQ(value, "Undefined");
  EXPECT_EQ(cif.FindTag("_cell_volume 2"), 1);
  EXPECT_EQ(cif.ReadStringTag(nullptr, value), 1);
  EXPECT_EQ(value, "next line");
  double volume = 7;
  EXPECT_EQ(cif.ReadDoubleTag("_cell_volume", volume), 1);
  EXPECT_EQ(volume, 0);  // the longer tag comes first; "_esd 1" reads as no number
  int number = 7;
  EXPECT_EQ(cif.ReadIntTag("_symmetry_Int_Tables_number", number), -1);
  EXPECT_EQ(number, 7);
  cif.Close();

  testing::internal::CaptureStdout();
  EXPECT_EQ(cif.Read(dir.Path("missing.cif")), -1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(cif.Read(path), 1);
  EXPECT_EQ(cif.Path, path);
}

TEST(CIFFile, CopiesAndSecondReads) {
  CCIFFile cif;
  ASSERT_EQ(ReadText(cif, kRutileExport), 1);
  CCIFFile copy(cif);
  ExpectSameRecord(copy, cif);
  EXPECT_EQ(copy.Path, cif.Path);
  // Assignment gives the target the source's capacities.
  CCIFFile assigned;
  assigned.AllocateAtomSites(10);
  assigned.AllocateAtomTypes(3);
  assigned = cif;
  ExpectSameRecord(assigned, cif);
  EXPECT_EQ(assigned.SiteLabels.size(), 4096u);
  EXPECT_EQ(assigned.AtomTypeSymbols.size(), 50u);
  // The copy is independent of its source, and reads files of its own.
  cif.SymmetryOperations[0] = "changed";
  EXPECT_EQ(copy.SymmetryOperations[0], "y, x, -z");
  ASSERT_EQ(ReadText(copy, kQuartzWritten), 1);
  EXPECT_EQ(copy.nSymmetryOperations, 6);

  // A second file read into the same record takes nothing from the first:
  // its missing numbers are 0 and its loops count from 0.
  ASSERT_EQ(ReadText(cif, "data_empty\n_cell_volume 10\nloop_\n_symmetry_equiv_pos_as_xyz\nx,y,z\n"), 1);
  EXPECT_EQ(cif.DataName, "data_empty");
  EXPECT_EQ(cif.a, 0);
  EXPECT_EQ(cif.alpha, 0);
  EXPECT_DOUBLE_EQ(cif.Volume, 0.01);
  EXPECT_EQ(cif.DatabaseCode, 0);
  EXPECT_EQ(cif.SpaceGroupNumber, 0);
  EXPECT_EQ(cif.SystematicName, "Undefined");
  EXPECT_EQ(cif.nSymmetryOperations, 1);
  EXPECT_EQ(cif.nAtomTypes, 0);
  EXPECT_EQ(cif.nAtomSites, 0);

  // An empty file has no first line either.
  ASSERT_EQ(ReadText(cif, ""), 1);
  EXPECT_EQ(cif.DataName, "Undefined");
  EXPECT_EQ(cif.nSymmetryOperations, 0);
}

}  // namespace
}  // namespace quorvel
