#include "programs/other/CASTEP.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "crystal/Crystal.h"
#include "tests/unit/TestFiles.h"

namespace quorvel {
namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

std::string CellBlock(const char* a, const char* b, const char* c) {
  return std::string(
             "                           -------------------------------\n"
             "                                      Unit Cell\n"
             "                           -------------------------------\n"
             "        Real Lattice(A)              Reciprocal Lattice(1/A)\n"
             "   5.4300000   0.0000000   0.0000000        1.1571184   0.0000000   0.0000000\n"
             "   0.0000000   5.4300000   0.0000000        0.0000000   1.1571184   0.0000000\n"
             "   0.0000000   0.0000000   5.4300000        0.0000000   0.0000000   1.1571184\n"
             "\n"
             "                       Lattice parameters(A)       Cell Angles\n") +
         a + b + c +
         "\n"
         "                Current cell volume =   160.103007 A**3\n"
         "\n";
}

std::string AtomTable(const std::string& rows) {
  return "            xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\n"
         "            x  Element    Atom        Fractional coordinates of atoms  x\n"
         "            x            Number           u          v          w      x\n"
         "            x----------------------------------------------------------x\n" +
         rows + "            xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\n\n";
}

std::string ForceBlock(const std::string& rows) {
  return " *********************************** Forces ***********************************\n"
         " *                                                                            *\n"
         " *                        Cartesian components (eV/A)                         *\n"
         " * -------------------------------------------------------------------------- *\n"
         " *                   x                    y                    z              *\n"
         " *                                                                            *\n" +
         rows +
         " *                                                                            *\n"
         " ******************************************************************************\n\n";
}

const char* kCubic[] = {"                    a =    5.430000          alpha =   90.000000\n",
                        "                    b =    5.430000          beta  =   90.000000\n",
                        "                    c =    5.430000          gamma =   90.000000\n"};

void Prepare(CCrystal& crystal) {
  crystal.AllocateAtomTypes(CCrystal::kConverterAtomTypes);
  crystal.AllocateAtomAsymSites(CCrystal::kConverterAtomSites);
  crystal.AllocateAtomSites(CCrystal::kConverterAtomSites);
}

TEST(CASTEPTest, StartingStructureAndStepsFromTheFramedTables) {
  TempDir dir;
  std::string text =
      CellBlock(kCubic[0], kCubic[1], kCubic[2]) +
      AtomTable("            x  O            1         0.250000   0.250000   0.250000   x \n"
                "            x  Si           1         0.000000   0.000000   0.000000   x \n"
                "            x  Si           2         0.500000   0.500000   0.000000   x \n") +
      ForceBlock(" * O         1      0.10000             -0.20000              0.30000         *\n"
                 " * Si        1      0.00000(cons'd)      0.01234(cons'd)     -0.05000         *\n"
                 " Si 2 1.5 2.5 3.5\n") +
      "--------------------------------------------------------------------------------\n"
      " BFGS: starting iteration         1 with trial guess (lambda=  1.000000)\n" +
      CellBlock("                    a =    5.400000          alpha =   89.500000\n",
                "                    b =    5.410000          beta  =   90.000000\n",
                "                    c =    5.420000          gamma =  120.000000\n") +
      AtomTable("            x  O            1         0.251000   0.249000   0.250000   x\n"
                "            x  Si           1        -0.000415  -0.000415  -0.000415   x\n"
                "            x  Si           2         0.500415   0.500415   0.000000   x\n") +
      ForceBlock(" * O         1      0.00100              0.00200              0.00300         *\n");
  WriteFile(dir.Path("run.castep"), text);
  LineReader reader;
  ASSERT_TRUE(reader.Open(dir.Path("run.castep")));
  CCrystal crystal;
  Prepare(crystal);

  CaptureStdout();
  EXPECT_EQ(CASTEP::ReadStartingStructure(reader, crystal), 3);
  std::string printed = GetCapturedStdout();
  EXPECT_NE(printed.find("Lattice parameters: 0.543 0.543 0.543 nm  90 90 90\nO (0.25,0.25,0.25)\n"),
            std::string::npos);
  EXPECT_NE(printed.find("Si (0.5,0.5,0)\n"), std::string::npos);
  EXPECT_DOUBLE_EQ(crystal.a, 0.543);
  EXPECT_EQ(crystal.alpha, 90.0);
  EXPECT_NEAR(crystal.LatticeVector[2][2], 0.543, 1e-12);
  ASSERT_EQ(crystal.nAtomTypes, 2);
  EXPECT_EQ(crystal.AtomTypes[0].Name, "O");
  EXPECT_EQ(crystal.AtomAsymSites[2].Label, "Si2");
  EXPECT_EQ(crystal.AtomSites[2].Force[0], 0.0);

  CaptureStdout();
  EXPECT_EQ(CASTEP::ReadNextCrystalStructureFromOutput(reader, crystal), 1);
  printed = GetCapturedStdout();
  EXPECT_NE(printed.find("Lattice parameters: 0.54 0.541 0.542 nm  89.5 90 120\n"), std::string::npos);
  EXPECT_NE(printed.find("Si (-0.000415,-0.000415,-0.000415)\n"), std::string::npos);
  EXPECT_DOUBLE_EQ(crystal.c, 0.542);
  EXPECT_EQ(crystal.gamma, 120.0);
  ASSERT_EQ(crystal.nAtomAsymSites, 3);
  ASSERT_EQ(crystal.nAtomSites, 3);
  EXPECT_DOUBLE_EQ(crystal.AtomSites[1].x, -0.000415);
  // CASTEP's own force lines: the three numbers after the atom number.
  EXPECT_DOUBLE_EQ(crystal.AtomSites[0].Force[1], -0.2);
  EXPECT_DOUBLE_EQ(crystal.AtomSites[0].Force[2], 0.3);
  // Components of a constrained ion count with their numbers.
  EXPECT_DOUBLE_EQ(crystal.AtomSites[1].Force[1], 0.01234);
  EXPECT_DOUBLE_EQ(crystal.AtomSites[1].Force[2], -0.05);
  // The plain "word number fx fy fz" layout.
  EXPECT_DOUBLE_EQ(crystal.AtomSites[2].Force[0], 1.5);
  EXPECT_DOUBLE_EQ(crystal.AtomSites[2].Force[2], 3.5);

  // The last force block has no cell after it: the step has no atoms, and
  // the next one has none to read.
  CaptureStdout();
  EXPECT_EQ(CASTEP::ReadNextCrystalStructureFromOutput(reader, crystal), 1);
  EXPECT_EQ(crystal.nAtomAsymSites, 0);
  EXPECT_EQ(crystal.nAtomSites, 0);
  EXPECT_EQ(CASTEP::ReadNextCrystalStructureFromOutput(reader, crystal), 1);
  EXPECT_EQ(GetCapturedStdout(), "");
  EXPECT_EQ(crystal.nAtomTypes, 2);
}

TEST(CASTEPTest, LinesThatDoNotParseGiveZeroAndATruncatedTableItsFirstRows) {
  TempDir dir;
  std::string text =
      CellBlock(kCubic[0], kCubic[1], kCubic[2]) +
      AtomTable("            x  Si           1         0.000000   0.000000   0.000000   x \n"
                "            x  Si           2         0.250000   0.250000   0.250000   x \n"
                "            x  Si           3         0.500000   0.500000   0.000000   x \n") +
      ForceBlock(" * Si        1      garbage                                                   *\n"
                 " *\n"
                 " * Si        three   0.1   0.2   0.3 *\n") +
      // A cell block cut after its first line, then a table cut after one
      // row whose coordinates are missing.
      "                                      Unit Cell\n"
      "                       Lattice parameters(A)       Cell Angles\n"
      "                    a =    5.500000\n"
      "\n"
      "                    c = \n"
      "            x  Element    Atom        Fractional coordinates of atoms  x\n"
      "            x            Number           u          v          w      x\n"
      "            x----------------------------------------------------------x\n"
      "            x  Si           1\n";
  WriteFile(dir.Path("cut.castep"), text);
  LineReader reader;
  ASSERT_TRUE(reader.Open(dir.Path("cut.castep")));
  CCrystal crystal;
  Prepare(crystal);
  CaptureStdout();
  ASSERT_EQ(CASTEP::ReadStartingStructure(reader, crystal), 3);
  EXPECT_EQ(CASTEP::ReadNextCrystalStructureFromOutput(reader, crystal), 1);
  std::string printed = GetCapturedStdout();
  EXPECT_NE(printed.find("Lattice parameters: 0.55 0 0 nm  0 0 0\nSi (0,0,0)\n"), std::string::npos);
  ASSERT_EQ(crystal.nAtomAsymSites, 1);
  EXPECT_EQ(crystal.AtomSites[0].x, 0.0);
  for (double f : crystal.AtomSites[0].Force) EXPECT_EQ(f, 0.0);
}

// A starting table longer than the part of it held at a time, and longer
// than the crystal's table: every row is printed as it comes, the crystal
// keeps the first ones, and reading goes on after the table.
TEST(CASTEPTest, AStartingTableOfAnyLengthIsReadToItsEnd) {
  TempDir dir;
  constexpr int kRows = 20000;
  std::string rows;
  for (int k = 1; k <= kRows; ++k) {
    char row[96];
    std::snprintf(row, sizeof row, "            x  Si %12d         0.%06d   0.500000   0.250000   x\n", k, k % 1000000);
    rows += row;
  }
  WriteFile(dir.Path("big.castep"), CellBlock(kCubic[0], kCubic[1], kCubic[2]) + AtomTable(rows) + "after\n");
  LineReader reader;
  ASSERT_TRUE(reader.Open(dir.Path("big.castep")));
  CCrystal crystal;
  Prepare(crystal);
  CaptureStdout();
  EXPECT_EQ(CASTEP::ReadStartingStructure(reader, crystal), CCrystal::kConverterAtomSites);
  const std::string printed = GetCapturedStdout();
  size_t nAtomLines = 0, nRefused = 0;
  for (size_t at = 0; (at = printed.find("Si (", at)) != std::string::npos; ++at) ++nAtomLines;
  for (size_t at = 0; (at = printed.find("exceeds maximum", at)) != std::string::npos; ++at) ++nRefused;
  EXPECT_EQ(nAtomLines, static_cast<size_t>(kRows));
  EXPECT_EQ(nRefused, static_cast<size_t>(kRows - CCrystal::kConverterAtomSites));
  const char* const kRefused = "nAtomAsymSites [10000] exceeds maximum [10000].\n";
  EXPECT_NE(printed.find(std::string("Si (0.016384,0.5,0.25)\n") + kRefused + "Si (0.016385,0.5,0.25)\n"),
            std::string::npos);
  const std::string last = std::string("\nSi (0.02,0.5,0.25)\n") + kRefused;
  EXPECT_EQ(printed.substr(printed.size() - last.size()), last);
  EXPECT_DOUBLE_EQ(crystal.AtomSites[CCrystal::kConverterAtomSites - 1].x, 0.01);
  ASSERT_TRUE(reader.ReadLine());
  EXPECT_STREQ(reader.Line(), "\n");  // the blank line after the closing one
}

}  // namespace
}  // namespace quorvel
