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
