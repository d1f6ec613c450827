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

// A cell whose a lies along y and b along -x, in units of a lattice
// constant of 2 Ang: positions are converted with the cell as the log gives
// it (the atom at a itself is at (1, 0, 0)), while the crystal keeps its
// vectors in the standard orientation.
TEST_F(LogTest, StartingStructureUsesTheLatticeConstantAndTheCellAsRead) {
  Open("UnitCell::LatticeConstant    2.0 Ang\n%block Bulk::UnitCell\n 0.0 1.5 0.0\n -1.5 0.0 0.0\n 0.0 0.0 2.0\n"
       "%endblock Bulk::UnitCell\n%block Bulk::AtomList\nSi 0.0 3.0 0.0\n  O -1.5 1.5 2.0\n"
       "%endblock Bulk::AtomList\n");
  std::string out = ReadInitial();
  EXPECT_EQ(initialResult_, 1);
  EXPECT_DOUBLE_EQ(cell_.Vector[0][1], 0.3);
  EXPECT_DOUBLE_EQ(cell_.Vector[1][0], -0.3);
  EXPECT_NEAR(crystal_.a, 0.3, 1e-15);
  EXPECT_NEAR(crystal_.c, 0.4, 1e-15);
  EXPECT_NEAR(crystal_.gamma, 90.0, 1e-8);
  EXPECT_NEAR(crystal_.LatticeVector[0][0], 0.3, 1e-15);
  EXPECT_NEAR(crystal_.LatticeVector[1][1], 0.3, 1e-15);
  ExpectSite(0, "Si", 1.0, 0.0, 0.0, 0, 0, 0);
  ExpectSite(1, "O", 0.5, 0.5, 0.5, 0, 0, 0);
  EXPECT_EQ(crystal_.AtomAsymSites[1].Label, "O1");
  EXPECT_DOUBLE_EQ(crystal_.AtomAsymSites[1].Occupancy, 1.0);
  EXPECT_EQ(out,
            "TranSIESTA::ReadInitialCrystalStructureFromOutput in\n"
            "Lattice parameters: 0.3 0.3 0.4 nm  90 90 90\n"
            "Si (0,3,0) => (1,0,0)\nnSameAtom=0\n"
            "O (-1.5,1.5,2) => (0.5,0.5,0.5)\nnSameAtom=0\n"
            "TranSIESTA::ReadInitialCrystalStructureFromOutput out\n");
}

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

// The full list of a two-probe run has 20 atoms; the forces table lists the
// 12 of the central region, so atoms 0-3 and 16-19 keep their starting
// positions without force. The next table is closed after 10 rows by a '#'
// line: then 5 atoms at each end keep theirs.
TEST_F(LogTest, TwoProbeElectrodesKeepTheirStartingPositions) {
  std::string log = "UnitCell::LatticeConstant 1.0 Ang\n%block Bulk::UnitCell\n10 0 0\n0 10 0\n0 0 40\n%endblock\n"
                    "%block TwoProbe::FullAtomList\n# ----\n# Index Element X Y Z\n# ----\n";
  for (int i = 0; i < 20; ++i)
    log += Format("%d %s 5.0 5.0 %d.0\n", i + 1, i < 4 || i >= 16 ? "Au" : (i % 2 ? "C" : "H"), 2 * i);
  log += "# ----\n%endblock TwoProbe::FullAtomList\n";
  for (int m : {12, 10}) {
    log += "#   Forces     in eV/Ang\n# ----\n#  X Y Z dX dY dZ Fx Fy Fz\n# ----\n";
    for (int r = 0; r < m; ++r) log += Format("6.0 4.0 %d.0 9 9 9 0.5 -0.25 %d\n", 30 + r, r);
    log += "# ----\n";
  }
  Open(log);
  ReadInitial();
  ASSERT_EQ(crystal_.nAtomSites, 20);

  std::string out = ReadNext();
  EXPECT_NE(out.find("natoms: 12\nAu\nAu\nAu\nAu\nH\nC\n"), std::string::npos);
  ASSERT_EQ(crystal_.nAtomSites, 20);
  ExpectSite(3, "Au", 0.5, 0.5, 6.0 / 40, 0, 0, 0);
  ExpectSite(4, "H", 0.6, 0.4, 30.0 / 40, 0.5, -0.25, 0);
  ExpectSite(15, "C", 0.6, 0.4, 41.0 / 40, 0.5, -0.25, 11);
  ExpectSite(16, "Au", 0.5, 0.5, 32.0 / 40, 0, 0, 0);
  EXPECT_EQ(crystal_.AtomAsymSites[19].Label, "Au8");

  out = ReadNext();
  EXPECT_NE(out.find("natoms: 10\n"), std::string::npos);
  ASSERT_EQ(crystal_.nAtomSites, 20);
  ExpectSite(4, "H", 0.5, 0.5, 8.0 / 40, 0, 0, 0);
  ExpectSite(5, "C", 0.6, 0.4, 30.0 / 40, 0.5, -0.25, 0);
  ExpectSite(14, "H", 0.6, 0.4, 39.0 / 40, 0.5, -0.25, 9);
  ExpectSite(15, "C", 0.5, 0.5, 30.0 / 40, 0, 0, 0);
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

// A cubic cell of 0.543 nm is written as a lattice constant of 5.43 Ang with
// unit vectors; the bulk atom list is rewritten in Angstrom, a two-probe
// full list and every other line stay as they were.
TEST(TranSIESTAUpdateAtkFile, RewritesCellAndBulkAtomListOnly) {
  // The cell as the log reader builds it: from vectors, whose right angles
  // come back as right angles (90 degrees with pi to ten decimals would tilt
  // the vectors by 4.5e-11).
  CCrystal crystal;
  crystal.SetLatticeVectors(0.543, 0, 0, 0, 0.543, 0, 0, 0, 0.543);
  crystal.CalculateLatticeParameters();
  crystal.CalculateLatticeVectors();
  crystal.AddAtomAsymSite("", "Si", 1.0, 0.25, 0.5, -0.1, 0, 0, 0);
  crystal.AddAtomAsymSite("", "O", 1.0, 0.0, 0.0, 0.0, 0, 0, 0);
  crystal.CopyAsymSitesToSites();
  int result = 0;
  std::string out = UpdateOf("# comment\nUnitCell::LatticeConstant 1.0 Ang\n%block Bulk::UnitCell\n5.43 0 0\n"
                             "0 5.43 0\n0 0 5.43\n%endblock Bulk::UnitCell\n"
                             "%block TwoProbe::FullAtomList\n  Au 0 0 0\n%endblock TwoProbe::FullAtomList\n"
                             "%block Bulk::AtomList\nSi 1 1 1\nGe 2 2 2\n%endblock Bulk::AtomList\nlast line",
                             crystal, &result);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(out,
            "# comment\n"
            "UnitCell::LatticeConstant 5.43 Ang\n"
            "%block Bulk::UnitCell\n"
            "  1.00000000   0.00000000   0.00000000\n"
            "  0.00000000   1.00000000   0.00000000\n"
            "  0.00000000   0.00000000   1.00000000\n"
            "%endblock Bulk::UnitCell\n"
            "%block TwoProbe::FullAtomList\n  Au 0 0 0\n%endblock TwoProbe::FullAtomList\n"
            "%block Bulk::AtomList\n"
            "  Si    1.3575000000   2.7150000000  -0.5430000000\n"
            "   O    0.0000000000   0.0000000000   0.0000000000\n"
            "%endblock Bulk::AtomList\nlast line");

  // Blocks without their closing line: the rest of the file goes.
  EXPECT_EQ(UpdateOf("a\n%block Bulk::AtomList\nSi 1 1 1\n", crystal),
            "a\n%block Bulk::AtomList\n  Si    1.3575000000   2.7150000000  -0.5430000000\n"
            "   O    0.0000000000   0.0000000000   0.0000000000\n");
  EXPECT_EQ(UpdateOf("UnitCell::LatticeConstant 1.0 Ang\n1 0 0\n", crystal).substr(0, 35),
            "UnitCell::LatticeConstant 5.43 Ang\n");
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
