#include "programs/wien2k/WIENStruct.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "app/TextUtil.h"
#include "crystal/Crystal.h"
#include "tests/unit/TestFiles.h"

namespace quorvel {
namespace {

// One atom block in WIEN2k's columns (multiplicity 1).
std::string AtomBlock(int i, const char* xyz, const char* nameLine) {
  return Format("ATOM%4d: %s\n          MULT= 1          ISPLIT= 8\n%s\n", -i, xyz, nameLine) +
         "LOCAL ROT MATRIX:    1.0000000 0.0000000 0.0000000\n"
         "                     0.0000000 1.0000000 0.0000000\n"
         "                     0.0000000 0.0000000 1.0000000\n";
}

const char kAlName[] = "Al         NPT=  781  R0=0.00010000 RMT=    2.5000   Z: 13.0";

struct ReadResult {
  int result;
  std::string output;
};

ReadResult Read(const std::string& path, CCrystal& crystal) {
  testing::internal::CaptureStdout();
  int result = CWIEN::ReadCrystalStructure(path, crystal);
  return {result, testing::internal::GetCapturedStdout()};
}

TEST(WIENStruct, LatticeLineOffsetsBohrLengthsAndPackedOperations) {
  TempDir dir;
  const std::string path = dir.Path("Al.struct");
  WriteFile(path, std::string("  Al fcc  \n") + "F   LATTICE,NONEQUIV.ATOMS:  1 225_Fm-3m\n" +
                      "MODE OF CALC=RELA unit=bohr\n" +
                      "  7.670000  7.670000  7.670000 90.000000 90.000000 90.000000\n" +
                      AtomBlock(1, "X=0.00000000 Y=0.00000000 Z=0.00000000", kAlName) +
                      "   2      NUMBER OF SYMMETRY OPERATIONS\n"
                      " 1 0 0 0.00000000\n 0 1 0 0.00000000\n 0 0 1 0.00000000\n       1\n"
                      " 0-1 0 0.00000000\n 1-1 0 0.00000000\n 0 0 1 0.50000000\n       2\n");
  CCrystal crystal;
  ReadResult r = Read(path, crystal);
  EXPECT_EQ(r.result, 1);
  EXPECT_EQ(r.output,
            "Crystal: Al fcc\nSPGName: Fm-3m (225)\nnAsymSites: 1\n"
            "Lattice parameters: 4.05743 4.05743 4.05743 A  90 90 90\n"
            "0: Al (13): (0,0,0)\nnSameAtom=0\nCan not read [].\nnSymmetry: 2\n");
  EXPECT_EQ(crystal.Name, path);
  EXPECT_EQ(crystal.ChemicalName, "Al fcc");
  EXPECT_NEAR(crystal.a, 0.405743, 1e-12);
  EXPECT_NEAR(crystal.c, 0.405743, 1e-12);
  EXPECT_EQ(crystal.gamma, 90);
  ASSERT_EQ(crystal.nAtomAsymSites, 1);
  EXPECT_EQ(crystal.AtomAsymSites[0].Label, "Al1");
  EXPECT_EQ(crystal.AtomAsymSites[0].Occupancy, 1.0);

  // The operations replace the space group: no name, number 0, no centring.
  const CSpaceGroup& group = crystal.SpaceGroup;
  EXPECT_EQ(group.Name, "");
  EXPECT_EQ(group.Number, 0);
  EXPECT_EQ(group.SecondKey, 0);
  EXPECT_EQ(group.nCentring, 0);
  ASSERT_EQ(group.nOperations, 2);
  EXPECT_EQ(group.OperationText[0], "x,y,z");
  EXPECT_EQ(group.OperationText[1], "-y,x-y,z+1/2");
  EXPECT_EQ(group.OperationRotation[1][1][0], 1);
  EXPECT_EQ(group.OperationRotation[1][1][1], -1);
  EXPECT_EQ(group.OperationTranslation[1][2], 0.5);
}

TEST(WIENStruct, WithoutOperationsTheDatabaseGroupStays) {
  TempDir dir;
  WriteFile(dir.Path("spgra"), "2 1 0 0 1 P -1\ntriclinic\n-x,-y,-z\n");
  const std::string path = dir.Path("p.struct");
  // No '_' on the lattice line, and lengths in Angstrom.
  WriteFile(path, std::string("t\nP   LATTICE,NONEQUIV.ATOMS:  1   2 P-1\nMODE OF CALC=RELA\n") +
                      "4.05 4.05 4.05 90 90 90\n" + AtomBlock(1, "X=0.25 Y=0.5 Z=0.75", kAlName) +
                      "   0      NUMBER OF SYMMETRY OPERATIONS\n");
  CCrystal crystal;
  crystal.SPGDBPath = dir.Path("spgra");
  ReadResult r = Read(path, crystal);
  EXPECT_NE(r.output.find("SPGName: P 1 (2)\n"), std::string::npos) << r.output;
  EXPECT_NE(r.output.find("Lattice parameters: 4.05 4.05 4.05 A  90 90 90\n"), std::string::npos);
  EXPECT_NEAR(crystal.a, 0.405, 1e-12);
  EXPECT_EQ(crystal.SpaceGroup.Name, "P -1");
  EXPECT_EQ(crystal.SpaceGroup.Number, 2);
  ASSERT_EQ(crystal.SpaceGroup.nOperations, 2);
  EXPECT_EQ(crystal.SpaceGroup.OperationText[1], "-x,-y,-z");
  EXPECT_EQ(crystal.AtomAsymSites[0].z, 0.75);
}

TEST(WIENStruct, RealLayoutMultiplicityRunTogetherAnglesAndIndexLines) {
  TempDir dir;
  const std::string path = dir.Path("MgB2.struct");
  // Hexagonal cell in WIEN2k's columns: beta and gamma run together. The
  // boron atom has multiplicity 2, and each operation block is followed by
  // its index line.
  WriteFile(path,
            "MgB2\n"
            "H   LATTICE,NONEQUIV.ATOMS:  2 191_P6/mmm\n"
            "MODE OF CALC=RELA unit=bohr\n"
            "  5.831700  5.831700  6.659400 90.000000 90.000000120.000000\n"
            "ATOM  -1: X=0.00000000 Y=0.00000000 Z=0.00000000\n"
            "          MULT= 1          ISPLIT= 4\n"
            "Mg         NPT=  781  R0=0.00010000 RMT=    1.8000   Z: 12.0\n"
            "LOCAL ROT MATRIX:    1.0000000 0.0000000 0.0000000\n"
            "                     0.0000000 1.0000000 0.0000000\n"
            "                     0.0000000 0.0000000 1.0000000\n"
            "ATOM  -2: X=0.33333333 Y=0.66666667 Z=0.50000000\n"
            "          MULT= 2          ISPLIT= 4\n"
            "      -2: X=0.66666667 Y=0.33333333 Z=0.50000000\n"
            "B 1        NPT=  781  R0=0.00010000 RMT=    1.5000   Z:  5.0\n"
            "LOCAL ROT MATRIX:    1.0000000 0.0000000 0.0000000\n"
            "                     0.0000000 1.0000000 0.0000000\n"
            "                     0.0000000 0.0000000 1.0000000\n"
            "   2      NUMBER OF SYMMETRY OPERATIONS\n"
            "-1 0 0 0.00000000\n-1 1 0 0.00000000\n 0 0-1 0.00000000\n       1\n"
            "-1 0 0 0.00000000\n-1 1 0 0.00000000\n 0 0 1 0.00000000\n       2\n");
  CCrystal crystal;
  ReadResult r = Read(path, crystal);
  EXPECT_NE(r.output.find("Lattice parameters: 3.08497 3.08497 3.52282 A  90 90 120\n"), std::string::npos)
      << r.output;
  EXPECT_EQ(crystal.beta, 90);
  EXPECT_EQ(crystal.gamma, 120);
  ASSERT_EQ(crystal.nAtomAsymSites, 2);
  EXPECT_EQ(crystal.AtomAsymSites[1].Label, "B1");
  EXPECT_EQ(crystal.AtomAsymSites[1].x, 0.33333333);
  EXPECT_NE(r.output.find("1: B (5): (0.333333,0.666667,0.5)\n"), std::string::npos);
  ASSERT_EQ(crystal.SpaceGroup.nOperations, 2);
  EXPECT_EQ(crystal.SpaceGroup.OperationText[0], "-x,-x+y,-z");
  EXPECT_EQ(crystal.SpaceGroup.OperationText[1], "-x,-x+y,z");
}

TEST(WIENStruct, MalformedBlocksEndTheAtomListAndUnreadableNumbersKeepTheirValue) {
  TempDir dir;
  const std::string path = dir.Path("bad.struct");
  // The second block has no "Z=": the list ends there, and the line after it
  // is the count line. In the second operation the first line cannot be
  // read at all and the third only partly.
  WriteFile(path, std::string("t\nP   LATTICE,NONEQUIV.ATOMS:  3   1_P1\nbohr\n1 1 1 90 90 90\n") +
                      AtomBlock(1, "X=0.1 Y=0.2 Z=0.3", kAlName) + "ATOM  -2: X=0.1 Y=0.2\n" +
                      "   2 symmetry operations\n"
                      " 1 0 0 0.25\n 0 1 0 0.0\n 0 0 1 0.5\n"
                      "xx\n 0 1 0 0.0\n 0 0-1 q\n");
  CCrystal crystal;
  ReadResult r = Read(path, crystal);
  EXPECT_EQ(crystal.nAtomAsymSites, 1);
  EXPECT_NE(r.output.find("nAsymSites: 3\n"), std::string::npos);
  EXPECT_NE(r.output.find("nSymmetry: 2\n"), std::string::npos) << r.output;
  ASSERT_EQ(crystal.SpaceGroup.nOperations, 2);
  EXPECT_EQ(crystal.SpaceGroup.OperationText[0], "x+1/4,y,z+1/2");
  EXPECT_EQ(crystal.SpaceGroup.OperationText[1], "x+1/4,y,-z+1/2");

  // A name line without "Z:" ends the list too.
  WriteFile(path, std::string("t\nP   LATTICE,NONEQUIV.ATOMS:  2   1_P1\nbohr\n1 1 1 90 90 90\n") +
                      AtomBlock(1, "X=0.1 Y=0.2 Z=0.3", kAlName) + AtomBlock(2, "X=0.5 Y=0.5 Z=0.5", "O 1 NPT=") +
                      "   0\n");
  CCrystal second;
  Read(path, second);
  EXPECT_EQ(second.nAtomAsymSites, 1);
}

TEST(WIENStruct, CutShortHugeCountsFullTablesAndGarbageNeverCrash) {
  TempDir dir;
  const std::string head = std::string("t\nP   LATTICE,NONEQUIV.ATOMS:  1   1_P1\nbohr\n1 1 1 90 90 90\n") +
                           AtomBlock(1, "X=0.1 Y=0.2 Z=0.3", kAlName);
  const std::string path = dir.Path("x.struct");

  // A count of 2147483647 in a file that ends after one operation.
  WriteFile(path, head + "2147483647\n 1 0 0 0.0\n 0 1 0 0.0\n 0 0 1 0.0\n 1 0 0 0.0\n");
  CCrystal cut;
  ReadResult r = Read(path, cut);
  EXPECT_EQ(r.result, 1);
  EXPECT_NE(r.output.find("Error in CWIEN::ReadCrystalStructure: [" + path +
                          "] ends after 1 of 2147483647 symmetry operations.\n"),
            std::string::npos)
      << r.output;
  EXPECT_EQ(cut.SpaceGroup.nOperations, 1);

  // More operations than the table holds: the surplus is read and dropped.
  std::string many = head + " 600\n";
  for (int i = 0; i < 600; ++i) many += " 1 0 0 0.0\n 0 1 0 0.0\n 0 0-1 0.0\n" + Format("%8d\n", i + 1);
  WriteFile(path, many);
  CCrystal full;
  r = Read(path, full);
  EXPECT_EQ(full.SpaceGroup.nOperations, CSpaceGroup::kMaxOperations);
  EXPECT_EQ(r.output.find("Error"), std::string::npos);

  // Cut inside the header: no atoms, no operations, and a message.
  WriteFile(path, "t\nP   LATTICE,NONEQUIV.ATOMS:  5   1_P1\n");
  CCrystal header;
  r = Read(path, header);
  EXPECT_EQ(header.nAtomAsymSites, 0);
  EXPECT_NE(r.output.find("ends before the number of symmetry operations.\nnSymmetry: 0\n"), std::string::npos);

  // Binary garbage and a line far longer than the line buffer.
  std::string garbage;
  for (int i = 0; i < 20000; ++i) garbage += static_cast<char>((i * 7919 + 13) % 256);
  WriteFile(path, garbage);
  CCrystal junk;
  EXPECT_EQ(Read(path, junk).result, 1);
  WriteFile(path, "t\n" + std::string(10000, '1') + "_X\nbohr\n" + std::string(9000, '9') + "\n");
  CCrystal longLines;
  EXPECT_EQ(Read(path, longLines).result, 1);

  CCrystal missing;
  r = Read(dir.Path("none.struct"), missing);
  EXPECT_EQ(r.result, -1);
  EXPECT_EQ(r.output, "Error in CWIEN::ReadCrystalStructure: Can not read [" + dir.Path("none.struct") + "].\n");
  EXPECT_EQ(missing.nAtomAsymSites, 0);
  EXPECT_EQ(missing.SpaceGroup.Name, "P1");
}

// The CIF written from real-layout structure files (the end-to-end inputs)
// describes the crystal that ASE reads from the structure file itself.
TEST(WIENStruct, CIFMatchesASEReadingOfTheStructureFile) {
  const std::string here = std::string(__FILE__).substr(0, std::string(__FILE__).rfind('/'));
  const std::string cases = here + "/../../e2e/WIENMakeCIFFromStruct/";
  const std::string check = here + "/wien2k_struct_ase_check.py";
  const char* structures[] = {"rutile_bohr_multiplicity_index_lines/in/TiO2",
                              "hexagonal_angles_run_together/in/ZnO", "fcc_aluminium_48_operations/in/Al"};
  for (const char* name : structures) {
    TempDir dir;
    const std::string structPath = dir.Path("case.struct");
    WriteFile(structPath, ReadFile(cases + name + ".struct"));
    ASSERT_FALSE(ReadFile(structPath).empty()) << name;
    testing::internal::CaptureStdout();
    WIENMakeCIFFromStruct(structPath);
    testing::internal::GetCapturedStdout();
    const std::string log = dir.Path("check.log");
    const std::string command =
        "/usr/bin/python3 '" + check + "' '" + structPath + "' '" + dir.Path("case.cif") + "' > '" + log + "' 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << command;
    if (WEXITSTATUS(status) == 77) GTEST_SKIP() << ReadFile(log);
    EXPECT_EQ(WEXITSTATUS(status), 0) << name << "\n" << ReadFile(log);
  }
}

}  // namespace
}  // namespace quorvel
