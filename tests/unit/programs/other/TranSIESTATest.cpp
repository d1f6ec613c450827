#include "programs/other/TranSIESTA.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/LineReader.h"
#include "app/TextUtil.h"
#include "crystal/Crystal.h"
#include "tests/unit/TestFiles.h"

namespace quorvel {
namespace {

using TranSIESTA::CLogCell;

// A log in a scratch file, opened for reading, with the crystals of a run.
class LogTest : public testing::Test {
 protected:
  LogTest() {
    crystal_.NONRELPath = std::string(QUORVEL_SOURCE_DATA_DIR) + "/nonrel";
    crystal_.ASFDCPath = std::string(QUORVEL_SOURCE_DATA_DIR) + "/asfdc";
  }
  void Open(const std::string& text) {
    WriteFile(dir_.Path("run.out"), text);
    ASSERT_TRUE(log_.Open(dir_.Path("run.out")));
  }
  std::string ReadInitial() {
    testing::internal::CaptureStdout();
    initialResult_ = TranSIESTA::ReadInitialCrystalStructureFromOutput(log_, crystal_, cell_);
    initial_.Copy(crystal_);
    return testing::internal::GetCapturedStdout();
  }
  std::string ReadNext() {
    testing::internal::CaptureStdout();
    EXPECT_EQ(TranSIESTA::ReadNextCrystalStructureFromOutput(log_, crystal_, initial_, cell_), 1);
    return testing::internal::GetCapturedStdout();
  }
  void ExpectSite(int i, const char* type, double x, double y, double z, double fx, double fy, double fz) {
    ASSERT_LT(i, crystal_.nAtomSites);
    const CAtomSite& s = crystal_.AtomSites[i];
    EXPECT_EQ(crystal_.GetAtomTypeName(s), type) << "site " << i;
    EXPECT_NEAR(s.x, x, 1e-12) << "site " << i;
    EXPECT_NEAR(s.y, y, 1e-12) << "site " << i;
    EXPECT_NEAR(s.z, z, 1e-12) << "site " << i;
    EXPECT_DOUBLE_EQ(s.Force[0], fx) << "site " << i;
    EXPECT_DOUBLE_EQ(s.Force[1], fy) << "site " << i;
    EXPECT_DOUBLE_EQ(s.Force[2], fz) << "site " << i;
  }

  TempDir dir_;
  LineReader log_;
  CCrystal crystal_, initial_;
  CLogCell cell_;
  int initialResult_ = 0;
};

TEST_F(LogTest, StartingStructureWithoutCellOrAtomList) {
  Open("%block Bulk::AtomList\nSi 0 0 0\n%endblock Bulk::AtomList\n");
  std::string out = ReadInitial();
  EXPECT_EQ(initialResult_, -1);
  EXPECT_NE(out.find("Error in TranSIESTA::ReadInitialCrystalStructureFromOutput: No UnitCell::LatticeConstant "
                     "line in the log.\n"),
            std::string::npos);

  // A constant without a number leaves the vectors in Angstrom; a missing
  // vector line leaves 0; a log without an atom list gives no atoms.
  CCrystal crystal;
  CLogCell cell;
  WriteFile(dir_.Path("cut.out"), "UnitCell::LatticeConstant\nheader\n5.0 0 0\n0 5.0\n");
  LineReader log;
  ASSERT_TRUE(log.Open(dir_.Path("cut.out")));
  testing::internal::CaptureStdout();
  EXPECT_EQ(TranSIESTA::ReadInitialCrystalStructureFromOutput(log, crystal, cell), 1);
  testing::internal::GetCapturedStdout();
  EXPECT_DOUBLE_EQ(cell.Vector[0][0], 0.5);
  EXPECT_DOUBLE_EQ(cell.Vector[1][1], 0.5);
  EXPECT_EQ(cell.Vector[1][2], 0.0);
  EXPECT_EQ(cell.Vector[2][2], 0.0);
  EXPECT_EQ(crystal.nAtomSites, 0);
}

// Coordinate-update dialect: forces by atom number after ':', then the
// updated coordinates. A force line without ':' leaves that atom's force 0;
// an atom line without ':' adds no atom but still counts, so the atoms after
// it keep their own forces; an atom line without its element is reported.
TEST_F(LogTest, CoordinateUpdateDialectKeepsForcesWithTheirAtoms) {
  std::string log = "UnitCell::LatticeConstant 4.0 Ang\n%block Bulk::UnitCell\n1 0 0\n0 1 0\n0 0 1\n%endblock\n"
                    "%block Bulk::AtomList\nGa 0 0 0\nN 1 1 1\nN 2 2 2\nGa 3 3 3\nN 0 0 1\n"
                    "%endblock Bulk::AtomList\n"
                    "NumOrb: Forces (eV/Ang)\n-----\n"
                    "Force: 1 0.1 0.2 0.3\n"
                    "   2 9.0 9.0 9.0\n"
                    "Force: 3 0.7 0.8 0.9\n"
                    "Force: 4 1.0 1.1 1.2\n"
                    "Force: 5 1.3 1.4 1.5\n"
                    "Max force: 1.5\n"
                    "Updating coords (Ang):\n-----\nAtom Element X Y Z\n"
                    "Atom: 1 Ga 0.4 0.0 0.0\n"
                    "Atom: 2 N 1.0 1.0\n"
                    "skipped line\n"
                    "Atom: 4 Ga 2.0 2.0 2.0\n"
                    "Atom:\n";
  Open(log);
  ReadInitial();
  ASSERT_EQ(crystal_.nAtomSites, 5);
  std::string out = ReadNext();
  ASSERT_EQ(crystal_.nAtomSites, 3);
  ExpectSite(0, "Ga", 0.1, 0, 0, 0.1, 0.2, 0.3);
  ExpectSite(1, "N", 0.25, 0.25, 0, 0, 0, 0);
  ExpectSite(2, "Ga", 0.5, 0.5, 0.5, 1.0, 1.1, 1.2);
  EXPECT_EQ(crystal_.AtomAsymSites[2].Label, "Ga2");
  EXPECT_NE(out.find("Ga (0.4,0,0) => (0.1,0,0)\n"), std::string::npos);
  EXPECT_NE(out.find("Error in TranSIESTA::ReadNextCrystalStructureFromOutput: Can not read the atom line [Atom:].\n"),
            std::string::npos);
  // The next step starts from the three atoms read; at the end of the log it
  // reads none.
  ReadNext();
  EXPECT_EQ(crystal_.nAtomSites, 0);
  EXPECT_EQ(crystal_.nAtomAsymSites, 0);
}

// A singular cell: every conversion prints the minver message and the atom
// is still added, at the origin.
TEST_F(LogTest, SingularCellAddsAtomsAtTheOrigin) {
  Open("UnitCell::LatticeConstant 1.0 Ang\n%block Bulk::UnitCell\n1 0 0\n2 0 0\n0 0 1\n%endblock\n"
       "%block Bulk::AtomList\nSi 0.5 0.5 0.5\n%endblock Bulk::AtomList\n"
       "#   Forces     in eV/Ang\n#\n#\n#\n 1.0 1.0 1.0 0 0 0 0.1 0.2 0.3\n");
  std::string out = ReadInitial();
  EXPECT_NE(out.find("Si (0.5,0.5,0.5) => Error in CCrystal::CartesianToFractional: return of minver is 1\n(0,0,0)\n"),
            std::string::npos);
  out = ReadNext();
  EXPECT_NE(out.find("(1,1,1) => Error in CCrystal::CartesianToFractional: return of minver is 1\n(0,0,0)\n"),
            std::string::npos);
  ExpectSite(0, "Si", 0, 0, 0, 0.1, 0.2, 0.3);
}

// Lines far beyond 4095 characters and binary garbage inside the tables.
TEST_F(LogTest, LongLinesAndGarbageDoNotBreakTheReader) {
  std::string garbage;
  for (int i = 1; i < 256; ++i) garbage += static_cast<char>(i);
  Open("UnitCell::LatticeConstant 1.0 Ang " + std::string(9000, 'x') + "\n%block Bulk::UnitCell\n5 0 0\n0 5 0\n"
       "0 0 5\n%endblock\n%block Bulk::AtomList\nSi 1 1 1 " + std::string(5000, '7') + "\n" + garbage +
       "\n%endblock\n#   Forces     in eV/Ang\n#\n#\n#\n" + std::string(8000, '1') + "\n" + garbage + "\n");
  ReadInitial();
  EXPECT_EQ(initialResult_, 1);
  int n = crystal_.nAtomSites;
  EXPECT_GE(n, 1);
  ReadNext();
  EXPECT_EQ(crystal_.nAtomSites, n);
}

std::string UpdateOf(const std::string& atk, const CCrystal& crystal, int* result = nullptr) {
  TempDir dir;
  WriteFile(dir.Path("run.atk"), atk);
  testing::internal::CaptureStdout();
  int r = TranSIESTA::UpdateAtkFile(dir.Path("run.atk"), crystal);
  std::string out = testing::internal::GetCapturedStdout();
  if (result) *result = r;
  EXPECT_EQ(out, "Create update file: " + dir.Path("run.atk.new") + "\n");
  return ReadFile(dir.Path("run.atk.new"));
}

// Blocks without their closing line: the rest of the file goes, and nothing
// is read past the end.
TEST(TranSIESTAUpdateAtkFile, BlocksCutShort) {
  // The cell as the log reader builds it, from vectors at right angles.
  CCrystal crystal;
  crystal.SetLatticeVectors(0.543, 0, 0, 0, 0.543, 0, 0, 0, 0.543);
  crystal.CalculateLatticeParameters();
  crystal.CalculateLatticeVectors();
  crystal.AddAtomAsymSite("", "Si", 1.0, 0.25, 0.5, -0.1, 0, 0, 0);
  crystal.AddAtomAsymSite("", "O", 1.0, 0.0, 0.0, 0.0, 0, 0, 0);
  crystal.CopyAsymSitesToSites();
  int result = 0;
  EXPECT_EQ(UpdateOf("a\n%block Bulk::AtomList\nSi 1 1 1\n", crystal, &result),
            "a\n%block Bulk::AtomList\n  Si    1.3575000000   2.7150000000  -0.5430000000\n"
            "   O    0.0000000000   0.0000000000   0.0000000000\n");
  EXPECT_EQ(result, 1);
  EXPECT_EQ(UpdateOf("UnitCell::LatticeConstant 1.0 Ang\n1 0 0\n", crystal),
            "UnitCell::LatticeConstant 5.43 Ang\n%block Bulk::UnitCell\n"
            "  1.00000000   0.00000000   0.00000000\n  0.00000000   1.00000000   0.00000000\n"
            "  0.00000000   0.00000000   1.00000000\n%endblock Bulk::UnitCell\n");
}

TEST(TranSIESTAUpdateAtkFile, FilesThatCannotBeOpened) {
  CCrystal crystal;
  testing::internal::CaptureStdout();
  EXPECT_EQ(TranSIESTA::UpdateAtkFile("/nonexistent/run.atk", crystal), -1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Create update file: /nonexistent/run.atk.new\nCan not read [/nonexistent/run.atk].\n");

  // The updated file's name is taken by a directory.
  TempDir dir;
  WriteFile(dir.Path("run.atk"), "x\n");
  std::string cmd = "mkdir '" + dir.Path("run.atk.new") + "'";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  testing::internal::CaptureStdout();
  EXPECT_EQ(TranSIESTA::UpdateAtkFile(dir.Path("run.atk"), crystal), -1);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("Can not write to [" + dir.Path("run.atk.new") + "].\n"),
            std::string::npos);
}

}  // namespace
}  // namespace quorvel
