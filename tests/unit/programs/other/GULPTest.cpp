#include "programs/other/GULP.h"

#include <gtest/gtest.h>

#include <string>

#include "crystal/Crystal.h"
#include "tests/unit/TestFiles.h"

namespace quorvel {
namespace {

const std::string kShippedSpgra = std::string(QUORVEL_SOURCE_DATA_DIR) + "/spgra";

struct Found {
  int result, number, secondKey;
};

Found Lookup(const std::string& key, const std::string& path = kShippedSpgra) {
  Found f{0, 0, 0};
  f.result = CGULP::FindSpaceGroupByName(key, path, f.number, f.secondKey);
  return f;
}

void ExpectFound(const std::string& key, int number, int secondKey) {
  Found f = Lookup(key);
  EXPECT_EQ(f.result, 1) << key;
  EXPECT_EQ(f.number, number) << key;
  EXPECT_EQ(f.secondKey, secondKey) << key;
}

// Reads a GULP input written to a scratch file; the crystal gets the shipped
// space-group database unless told otherwise.
struct Read {
  int result;
  std::string output;
};

Read ReadGULP(const std::string& text, CCrystal& crystal, const std::string& spgra = kShippedSpgra) {
  TempDir dir;
  WriteFile(dir.Path("in.gin"), text);
  crystal.SPGDBPath = spgra;
  crystal.NONRELPath = std::string(QUORVEL_SOURCE_DATA_DIR) + "/nonrel";
  crystal.ASFDCPath = std::string(QUORVEL_SOURCE_DATA_DIR) + "/asfdc";
  testing::internal::CaptureStdout();
  int result = CGULP::ReadCrystalStructure(dir.Path("in.gin"), crystal);
  return {result, testing::internal::GetCapturedStdout()};
}

// The symbols a GULP user writes find their groups in the shipped database
// whatever their blanks and letter case; a symbol shared by several settings
// finds the standard one, and full symbols, origin choices and old symbols
// find their own settings.
TEST(GULPSpaceGroupLookup, FindsShippedGroupsByNameWithoutBlanksOrCase) {
  ExpectFound("P21/c", 14, 1);
  ExpectFound("p21/C", 14, 1);
  ExpectFound("P121/c1", 14, 1);
  ExpectFound("P21/n", 14, 2);
  ExpectFound("Fm-3m", 225, 1);
  ExpectFound("Fm3m", 225, 1);
  ExpectFound("Fd-3m", 227, 1);
  ExpectFound("fd-3m:2", 227, 2);
  ExpectFound("R-3C", 167, 1);
  ExpectFound("R-3c:R", 167, 2);
  ExpectFound("Pbnm", 62, 3);
  ExpectFound("P1", 1, 1);
  EXPECT_EQ(Lookup("P21/q").result, 0);
  EXPECT_EQ(Lookup("225").result, 0);  // a number is not a name
  EXPECT_EQ(Lookup("").result, 0);
}

TEST(GULPSpaceGroupLookup, DatabaseThatCannotBeReadOrIsCutShort) {
  testing::internal::CaptureStdout();
  EXPECT_EQ(Lookup("P21/c", "/nonexistent/spgra").result, -1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error in CSpaceGroup::ReadSPG: Can not read [/nonexistent/spgra].\n");

  TempDir dir;
  // A record that claims 2147483647 operation lines ends the scan at the end
  // of the file; a header without its name ends it at once.
  WriteFile(dir.Path("huge"), "1 1 1 0 2147483647 P 1\nsecond\nx,y,z\n");
  EXPECT_EQ(Lookup("P2", dir.Path("huge")).result, 0);
  WriteFile(dir.Path("short"), "2 1 2 0 1\nsecond\n-x,-y,-z\n14 1 81 0 3 P 21/c\nsecond\n");
  EXPECT_EQ(Lookup("P21/c", dir.Path("short")).result, 0);
  // A matching header at the end of the file, without its second line, still
  // counts.
  WriteFile(dir.Path("last"), "2 1 2 0 1 P -1\nsecond\n-x,-y,-z\n14 1 81 0 3 P 21/c");
  Found f = Lookup("P21/c", dir.Path("last"));
  EXPECT_EQ(f.result, 1);
  EXPECT_EQ(f.number, 14);
}

// A monoclinic shell-model input: title, cell, numbered labels with core and
// shell lines, the symbol with blanks, and a species block after the atoms.
TEST(GULPReadCrystalStructure, ReadsCellAtomsAndSpaceGroupWithoutExpanding) {
  CCrystal crystal;
  Read r = ReadGULP(
      "opti conp\n"
      "title\n"
      "  Test monoclinic  \n"
      "end\n"
      "cell\n"
      "  5.1 6.2 7.3 90.0 101.25 90.0 1 1 1 0 1 0\n"
      "fractional 1\n"
      "Zr1 core 0.1 0.2 0.3 4.0 1.0\n"
      "O1  core 0.4 0.5 0.6 0.9 1.0\n"
      "O1  shel 0.4 0.5 0.6 -2.9 1.0\n"
      "O2  core 0.7 0.8 0.9 0.9 0.5\n"
      "species\n"
      "Zr core 4.0\n"
      "space\n"
      "P 21/c\n",
      crystal);
  EXPECT_EQ(r.result, 1);
  EXPECT_EQ(crystal.ChemicalName, "Test monoclinic");
  EXPECT_DOUBLE_EQ(crystal.a, 0.51);
  EXPECT_DOUBLE_EQ(crystal.b, 0.62);
  EXPECT_DOUBLE_EQ(crystal.c, 0.73);
  EXPECT_DOUBLE_EQ(crystal.beta, 101.25);
  ASSERT_EQ(crystal.nAtomTypes, 2);
  EXPECT_EQ(crystal.AtomTypes[0].Name, "Zr");
  EXPECT_DOUBLE_EQ(crystal.AtomTypes[0].Charge, 4.0);
  EXPECT_EQ(crystal.AtomTypes[1].Name, "O");
  EXPECT_DOUBLE_EQ(crystal.AtomTypes[1].Charge, 0.9);  // the first O line's charge; the shell adds no type
  // Shells are sites like cores: two O sites at the same position.
  ASSERT_EQ(crystal.nAtomAsymSites, 4);
  EXPECT_EQ(crystal.AtomAsymSites[1].Label, "O1");
  EXPECT_EQ(crystal.AtomAsymSites[2].Label, "O2");
  EXPECT_DOUBLE_EQ(crystal.AtomAsymSites[2].x, crystal.AtomAsymSites[1].x);
  EXPECT_EQ(crystal.AtomAsymSites[3].Label, "O3");
  EXPECT_DOUBLE_EQ(crystal.AtomAsymSites[3].Occupancy, 0.5);
  EXPECT_DOUBLE_EQ(crystal.AtomAsymSites[3].z, 0.9);
  EXPECT_EQ(crystal.nAtomSites, 0);  // no expansion
  EXPECT_EQ(crystal.SpaceGroup.Name, "P 21/c");
  EXPECT_EQ(crystal.SpaceGroup.Number, 14);
  EXPECT_EQ(crystal.SpaceGroup.SecondKey, 1);
  ASSERT_EQ(crystal.SpaceGroup.nOperations, 4);
  EXPECT_EQ(crystal.SpaceGroup.OperationText[0], "x,y,z");
  EXPECT_EQ(crystal.SpaceGroup.OperationText[2], "-x,y+1/2,-z+1/2");
  EXPECT_NE(r.output.find("Lattice parameters: 5.1 6.2 7.3 A  90 101.25 90\n"), std::string::npos);
  EXPECT_NE(r.output.find("3: O (0.9): (0.7,0.8,0.9) [occ=0.5]\n3: O (0.9): (0.7,0.8,0.9) [occ=0.5]\n"),
            std::string::npos);
  // The species line ends the list: printed once, added never.
  EXPECT_NE(r.output.find("4: species (0): (0,0,0) [occ=1]\nSPG: P21/c\n"), std::string::npos);
}

// Labels lose their trailing digits only; a label of more than two characters
// ends the list, wherever it stands.
TEST(GULPReadCrystalStructure, CutsLabelsAndEndsTheListAtLongLabels) {
  CCrystal crystal;
  ReadGULP("frac\nSi1 core 0 0 0\nSi2 c 0.5 0 0\nSi core 0 0.5 0\nO_2 core 0 0 0.5\n7 core 0.1 0.1 0.1\n"
           "Mg12x core 0.2 0.2 0.2\nNa core 0.3 0.3 0.3\n",
           crystal);
  ASSERT_EQ(crystal.nAtomTypes, 3);
  EXPECT_EQ(crystal.AtomTypes[0].Name, "Si");
  EXPECT_EQ(crystal.AtomTypes[1].Name, "O_");
  EXPECT_EQ(crystal.AtomTypes[2].Name, "7");
  ASSERT_EQ(crystal.nAtomAsymSites, 5);
  EXPECT_EQ(crystal.AtomAsymSites[2].Label, "Si3");
  EXPECT_EQ(crystal.AtomAsymSites[3].Label, "O_1");
  EXPECT_EQ(crystal.AtomAsymSites[4].Label, "71");
}

// Lines that give fewer values do not inherit those of the line before; an
// empty line adds nothing; a title followed by an empty line lets the name
// line name the crystal.
TEST(GULPReadCrystalStructure, MissingValuesTakeDefaultsAndEmptyLinesAreSkipped) {
  CCrystal crystal;
  Read r = ReadGULP("TITLE\n\nend\nname  my  crystal \nFRAC\nAl core 0.1 0.2 0.3 3.0 0.25\n\n"
                    "O core 0.4 0.5\n   \n",
                    crystal);
  EXPECT_EQ(crystal.ChemicalName, "my  crystal");
  ASSERT_EQ(crystal.nAtomAsymSites, 2);
  EXPECT_DOUBLE_EQ(crystal.AtomAsymSites[1].x, 0.4);
  EXPECT_DOUBLE_EQ(crystal.AtomAsymSites[1].z, 0.0);
  EXPECT_DOUBLE_EQ(crystal.AtomAsymSites[1].Occupancy, 1.0);
  EXPECT_DOUBLE_EQ(crystal.AtomTypes[1].Charge, 0.0);
  EXPECT_NE(r.output.find("1: O (0): (0.4,0.5,0) [occ=1]\n"), std::string::npos);

  // Without a title the name line is not consulted.
  CCrystal unnamed;
  ReadGULP("name  other\n", unnamed);
  EXPECT_EQ(unnamed.ChemicalName, "None");
}

TEST(GULPReadCrystalStructure, BadOrMissingInput) {
  // A file that cannot be opened: the message, -1, and the crystal named
  // after the path and reset to P1.
  CCrystal crystal;
  crystal.SpaceGroup.ReadSPG(14, 1, kShippedSpgra);
  testing::internal::CaptureStdout();
  EXPECT_EQ(CGULP::ReadCrystalStructure("/nonexistent/x.gin", crystal), -1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Error in CGULP::ReadCrystalStructure: Can not read [/nonexistent/x.gin].\n");
  EXPECT_EQ(crystal.Name, "/nonexistent/x.gin");
  EXPECT_EQ(crystal.SpaceGroup.Number, 1);
  EXPECT_EQ(crystal.nMaxAtomAsymSites, CCrystal::kConverterAtomSites);

  // A cell line with five numbers counts as absent; a space group unknown to
  // the database keeps the symbol with the P1 operation; a keyword on the
  // last line has no value line.
  CCrystal bad;
  Read r = ReadGULP("cell\n5 5 5 90 90\nspace\nQ 42/z\ntitle", bad);
  EXPECT_EQ(r.result, 1);
  EXPECT_EQ(bad.a, 0);
  EXPECT_EQ(bad.ChemicalName, "None");
  EXPECT_NE(r.output.find("Error in CGULP::ReadCrystalStructure: Can not read the six cell parameters in [5 5 5 "
                          "90 90].\n"),
            std::string::npos);
  EXPECT_EQ(bad.SpaceGroup.Name, "Q 42/z");
  EXPECT_EQ(bad.SpaceGroup.Number, 1);
  EXPECT_EQ(bad.SpaceGroup.nOperations, 1);

  // Without the database: its message, and the symbol stays.
  CCrystal nodb;
  r = ReadGULP("space\nF m -3 m\n", nodb, "/nonexistent/spgra");
  EXPECT_NE(r.output.find("Error in CSpaceGroup::ReadSPG: Can not read [/nonexistent/spgra].\nSPG: Fm-3m\n"),
            std::string::npos);
  EXPECT_EQ(nodb.SpaceGroup.Name, "F m -3 m");
  EXPECT_EQ(nodb.SpaceGroup.nOperations, 1);

  // Binary garbage and a line far beyond 4095 characters in the atom list.
  CCrystal garbage;
  std::string text = "frac\nSi core " + std::string(10000, '1') + "\nO core 0.5 0.5 0.5\n";
  for (int i = 0; i < 256; ++i) text += static_cast<char>(i);
  r = ReadGULP(text, garbage);
  EXPECT_EQ(r.result, 1);
  EXPECT_LE(garbage.nAtomAsymSites, garbage.nMaxAtomAsymSites);
}

// More than 10000 atom lines: the crystal's table refuses the rest with its
// message, nothing is written past it.
TEST(GULPReadCrystalStructure, AtomTableFull) {
  std::string text = "frac\n";
  for (int i = 0; i < CCrystal::kConverterAtomSites + 5; ++i) text += "Si core 0.1 0.2 0.3\n";
  CCrystal crystal;
  Read r = ReadGULP(text, crystal);
  EXPECT_EQ(crystal.nAtomAsymSites, CCrystal::kConverterAtomSites);
  EXPECT_NE(r.output.find("nAtomAsymSites [10000] exceeds maximum [10000].\n"), std::string::npos);
}

}  // namespace
}  // namespace quorvel
