#include "programs/vasp/VASP.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "app/LineReader.h"
#include "app/NumberScan.h"
#include "app/TextUtil.h"
#include "crystal/Crystal.h"
#include "tests/unit/TestFiles.h"

namespace quorvel {
namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

// ---------------------------------------------------------------------------
// A run directory with its own small element database.

class RunDirectory {
 public:
  RunDirectory() {
    WriteFile(dir_.Path("nonrel"), "test\nTi x\n0 0 0\n22\nO x\n0 0 0\n8\nFe x\n0 0 0\n26\n");
    WriteFile(dir_.Path("asfdc"), "Ti 47.867\nO 15.999\nFe 55.845\nSi 28.085\n");
  }
  std::string Write(const std::string& name, const std::string& content) {
    WriteFile(dir_.Path(name), content);
    return dir_.Path(name);
  }
  std::string Path(const std::string& name) const { return dir_.Path(name); }
  // A crystal with this directory's database, as an action makes it.
  void Prepare(CCrystal& crystal) const {
    crystal.NONRELPath = dir_.Path("nonrel");
    crystal.ASFDCPath = dir_.Path("asfdc");
  }
  int Read(const std::string& name, CCrystal& crystal, std::string* output = nullptr) const {
    Prepare(crystal);
    CaptureStdout();
    int result = CVASP::ReadPOSCARFile(dir_.Path(name), crystal);
    std::string out = GetCapturedStdout();
    if (output) *output = out;
    return result;
  }

 private:
  TempDir dir_;
};

const char kTiOPOTCAR[] =
    " PAW_PBE Ti_sv 26Sep2005\n"
    "   VRHFIN =Ti: 3s3p3d4s\n"
    "   TITEL  = PAW_PBE Ti_sv 26Sep2005\n"
    " End of Dataset\n"
    " PAW_PBE O 08Apr2002\n"
    "   TITEL  = PAW_PBE O 08Apr2002\n"
    " end of dataset\n";

void ExpectSite(const CCrystal& crystal, int i, const char* label, const char* type, double x, double y, double z,
                double tolerance = 1e-12) {
  ASSERT_LT(i, crystal.nAtomAsymSites);
  const CAtomSite& site = crystal.AtomAsymSites[i];
  EXPECT_EQ(site.Label, label);
  EXPECT_EQ(crystal.GetAtomTypeName(site), type);
  EXPECT_NEAR(site.x, x, tolerance) << label;
  EXPECT_NEAR(site.y, y, tolerance) << label;
  EXPECT_NEAR(site.z, z, tolerance) << label;
  EXPECT_EQ(site.Occupancy, 1.0);
}

TEST(VASPReadPOSCARFile, Vasp5AndVasp4FormsGiveTheSameCrystalWithPOTCARNames) {
  RunDirectory run;
  run.Write("POTCAR", kTiOPOTCAR);
  // Element symbols in the file (here deliberately wrong) are not used.
  run.Write("POSCAR", "TiO2 rutile\n1.0\n4.594 0 0\n0 4.594 0\n0 0 2.959\nXx Yy\n2 1\nDirect\n"
                      "0 0 0\n0.5 0.5 0.5\n0.3053 0.3053 0\n");
  run.Write("POSCAR4", "TiO2 rutile\n1.0\n4.594 0 0\n0 4.594 0\n0 0 2.959\n2 1\nDirect\n"
                       "0 0 0\n0.5 0.5 0.5\n0.3053 0.3053 0\n");
  for (const char* name : {"POSCAR", "POSCAR4"}) {
    CCrystal crystal;
    std::string out;
    ASSERT_EQ(run.Read(name, crystal, &out), 1) << name;
    EXPECT_EQ(out,
              "ReadPOSCARFile:\n"
              "nSameAtom=0\n"
              "nSameAtom=0\n"
              "  Lattice parameters: 0.4594 nm 0.4594 nm 0.2959 nm   90 90 90\n"
              "nAtomTypes: 2\n"
              "  nEachAtoms[0]=2\n"
              "  nEachAtoms[1]=1\n"
              "  Site: Ti1 (0,0,0) => (0,0,0) 1\n"
              "  Site: Ti2 (0.5,0.5,0.5) => (0.5,0.5,0.5) 2\n"
              "  Site: O1 (0.3053,0.3053,0) => (0.3053,0.3053,0) 3\n")
        << name;
    EXPECT_EQ(crystal.Name, "TiO2 rutile");
    EXPECT_EQ(crystal.ChemicalName, "TiO2 rutile");
    ASSERT_EQ(crystal.nAtomTypes, 2);
    EXPECT_EQ(crystal.AtomTypes[0].Name, "Ti");
    EXPECT_EQ(crystal.AtomTypes[1].Name, "O");
    EXPECT_EQ(crystal.AtomTypes[0].AtomicNumber, 22);
    EXPECT_EQ(crystal.nAtomsInFormula[0], 2);
    EXPECT_EQ(crystal.nAtomsInFormula[1], 1);
    EXPECT_EQ(crystal.nMaxAtomTypes, 100);
    EXPECT_EQ(crystal.nMaxAtomAsymSites, 10000);
    EXPECT_EQ(crystal.nMaxAtomSites, 10000);
    EXPECT_EQ(crystal.SpaceGroup.Name, "P1");
    EXPECT_NEAR(crystal.a, 0.4594, 1e-12);
    EXPECT_NEAR(crystal.c, 0.2959, 1e-12);
    ExpectSite(crystal, 0, "Ti1", "Ti", 0, 0, 0);
    ExpectSite(crystal, 1, "Ti2", "Ti", 0.5, 0.5, 0.5);
    ExpectSite(crystal, 2, "O1", "O", 0.3053, 0.3053, 0);
    // The unit cell is the asymmetric unit, with the standard orientation.
    EXPECT_EQ(crystal.nAtomSites, 3);
    EXPECT_EQ(crystal.AtomSites[2].Label, "O1");
    EXPECT_NEAR(crystal.LatticeVector[1][1], 0.4594, 1e-9);
  }
}

TEST(VASPReadPOSCARFile, ScaleCartesianSelectiveDynamicsAndModeLines) {
  RunDirectory run;
  run.Write("POTCAR", kTiOPOTCAR);
  // The scale 2 with half-length vectors: an fcc cell of a = 4 A whose
  // vectors (0,2,2), (2,0,2), (2,2,0) lie along no axis. Cartesian positions
  // (scaled by 2 as well) solved by hand: (1,1,0) is the fractional
  // (0,0,0.5), (2,2,2) is (0.5,0.5,0.5) and (0.5,1.5,1) is (0.5,0,0.25).
  run.Write("CART", "fcc\n2.0\n0 1 1\n1 0 1\n1 1 0\n2 1\nselective dynamics\nCartesian\n"
                    "0.5 0.5 0 T T T\n1 1 1 F F F\n0.25 0.75 0.5 T F T\n");
  run.Write("DIRECT", "fcc\n2.0\n0 1 1\n1 0 1\n1 1 0\nTi O\n2 1\nSelective dynamics\n  direct  \n"
                      "0 0 0.5 T T T\n0.5 0.5 0.5 F F F\n0.5 0 0.25 T F T\n");
  CCrystal cart, direct;
  std::string out;
  ASSERT_EQ(run.Read("CART", cart, &out), 1);
  EXPECT_NE(out.find("  Lattice parameters: 0.282843 nm 0.282843 nm 0.282843 nm   60 60 60\n"), std::string::npos);
  EXPECT_NE(out.find("  Site: O1 (0.25,0.75,0.5) => ("), std::string::npos) << out;
  ASSERT_EQ(run.Read("DIRECT", direct), 1);
  ASSERT_EQ(cart.nAtomAsymSites, 3);
  ASSERT_EQ(direct.nAtomAsymSites, 3);
  const double expected[3][3] = {{0, 0, 0.5}, {0.5, 0.5, 0.5}, {0.5, 0, 0.25}};
  for (int i = 0; i < 3; ++i) {
    ExpectSite(cart, i, i < 2 ? (i ? "Ti2" : "Ti1") : "O1", i < 2 ? "Ti" : "O", expected[i][0], expected[i][1],
               expected[i][2], 1e-12);
    ExpectSite(direct, i, i < 2 ? (i ? "Ti2" : "Ti1") : "O1", i < 2 ? "Ti" : "O", expected[i][0], expected[i][1],
               expected[i][2], 0);
  }
  EXPECT_NEAR(cart.a, 0.2828427124746190, 1e-12);
  EXPECT_NEAR(cart.alpha, 60, 1e-8);

  // A mode line of the letter D alone means Cartesian: (0.5, 0.5, 0) is not
  // taken as fractional.
  run.Write("D", "fcc\n2.0\n0 1 1\n1 0 1\n1 1 0\n1 0\nD\n0.5 0.5 0\n");
  CCrystal d;
  run.Read("D", d);
  ExpectSite(d, 0, "Ti1", "Ti", 0, 0, 0.5);
}

TEST(VASPReadPOSCARFile, CountsOverSeveralLinesAndTabsInTheCountsLine) {
  RunDirectory run;
  run.Write("POTCAR", kTiOPOTCAR);
  // Counts are read like a stream of numbers, across line ends.
  run.Write("POSCAR", "t\n1\n3 0 0\n0 3 0\n0 0 3\n 1\n 2 \nDirect\n0.1 0.1 0.1\n0.2 0.2 0.2\n0.3 0.3 0.3\n");
  CCrystal crystal;
  std::string out;
  run.Read("POSCAR", crystal, &out);
  EXPECT_EQ(crystal.nAtomsInFormula[0], 1);
  EXPECT_EQ(crystal.nAtomsInFormula[1], 2);
  ASSERT_EQ(crystal.nAtomAsymSites, 3);
  ExpectSite(crystal, 2, "O2", "O", 0.3, 0.3, 0.3);

  // A tab makes the counts line an element line, so the mode line is taken
  // for the counts: that is reported and no atoms are read.
  run.Write("TAB", "t\n1\n3 0 0\n0 3 0\n0 0 3\n1\t2\nDirect\n0.1 0.1 0.1\n0.2 0.2 0.2\n0.3 0.3 0.3\n");
  CCrystal tab;
  run.Read("TAB", tab, &out);
  EXPECT_NE(out.find("Error in CVASP::ReadPOSCARFile: [" + run.Path("TAB") + "] gives no valid atom count for [Ti].\n"),
            std::string::npos)
      << out;
  EXPECT_EQ(tab.nAtomsInFormula[0], 0);
  EXPECT_EQ(tab.nAtomsInFormula[1], 0);
  EXPECT_EQ(tab.nAtomAsymSites, 0);
}

TEST(VASPReadPOSCARFile, RepeatedPOTCARElementsGetSuffixes) {
  RunDirectory run;
  run.Write("POTCAR", " PAW_PBE O 08Apr2002\n End of Dataset\n PAW_PBE O_h 06Feb2004\n End of Dataset\n");
  run.Write("POSCAR", "t\n1\n3 0 0\n0 3 0\n0 0 3\n1 1\nDirect\n0.1 0.1 0.1\n0.2 0.2 0.2\n");
  CCrystal crystal;
  std::string out;
  run.Read("POSCAR", crystal, &out);
  const std::string start = "ReadPOSCARFile:\nnSameAtom=0\nnSameAtom=1\n   [O{b}]\n  Lattice";
  EXPECT_EQ(out.substr(0, start.size()), start);
  ExpectSite(crystal, 0, "O1", "O", 0.1, 0.1, 0.1);
  ExpectSite(crystal, 1, "O{b}1", "O{b}", 0.2, 0.2, 0.2);
}

TEST(VASPReadPOSCARFile, MissingFiles) {
  RunDirectory run;
  // No POTCAR: the lattice is read, no types, no counts, no sites; still 1.
  run.Write("POSCAR", "Si\n1\n5.43 0 0\n0 5.43 0\n0 0 5.43\n8\nDirect\n0 0 0\n");
  CCrystal crystal;
  std::string out;
  EXPECT_EQ(run.Read("POSCAR", crystal, &out), 1);
  EXPECT_EQ(out, "ReadPOSCARFile:\nError in CVASP::ReadPOTCARFile: Can not read [" + run.Path("POTCAR") +
                     "].\n  Lattice parameters: 0.543 nm 0.543 nm 0.543 nm   90 90 90\nnAtomTypes: 0\n");
  EXPECT_EQ(crystal.nAtomTypes, 0);
  EXPECT_EQ(crystal.nAtomAsymSites, 0);
  EXPECT_NEAR(crystal.a, 0.543, 1e-12);

  // No structure file: -1, and the crystal stays initialized.
  run.Write("POTCAR", kTiOPOTCAR);
  CCrystal missing;
  EXPECT_EQ(run.Read("CONTCAR", missing, &out), -1);
  EXPECT_EQ(out, "ReadPOSCARFile:\nnSameAtom=0\nnSameAtom=0\nError: Can not read [" + run.Path("CONTCAR") + "]\n");
  EXPECT_EQ(missing.ChemicalName, "None");
  EXPECT_EQ(missing.nAtomAsymSites, 0);
}

TEST(VASPReadPOSCARFile, CountsThatDisagreeWithTheAtomLines) {
  RunDirectory run;
  run.Write("POTCAR", kTiOPOTCAR);
  // A huge count with two atom lines, then the velocity block of a CONTCAR:
  // reading stops at the blank line, nothing hangs or grows.
  run.Write("POSCAR", "t\n1\n3 0 0\n0 3 0\n0 0 3\n999999999 2147483647\nDirect\n0.1 0.1 0.1\n0.2 0.2 0.2\n \n"
                      "  0.00000000E+00  0.00000000E+00  0.00000000E+00\n");
  CCrystal crystal;
  std::string out;
  EXPECT_EQ(run.Read("POSCAR", crystal, &out), 1);
  EXPECT_NE(out.find("Error in CVASP::ReadPOSCARFile: [" + run.Path("POSCAR") +
                     "] lists 3147483646 atoms, but only 2 position lines follow.\n"),
            std::string::npos)
      << out;
  EXPECT_EQ(crystal.nAtomAsymSites, 2);
  EXPECT_EQ(crystal.nAtomsInFormula[0], 999999999);

  // The file ends inside the atom lines.
  run.Write("SHORT", "t\n1\n3 0 0\n0 3 0\n0 0 3\n2 2\nDirect\n0.1 0.1 0.1\n0.2 0.2 0.2\n0.3 0.3 0.3");
  CCrystal shortFile;
  run.Read("SHORT", shortFile, &out);
  EXPECT_NE(out.find("] lists 4 atoms, but only 3 position lines follow.\n"), std::string::npos) << out;
  ExpectSite(shortFile, 2, "O1", "O", 0.3, 0.3, 0.3);

  // More counts than POTCAR datasets; a negative count.
  run.Write("MORE", "t\n1\n3 0 0\n0 3 0\n0 0 3\n1 1 1\nDirect\n0.1 0.1 0.1\n0.2 0.2 0.2\n0.3 0.3 0.3\n");
  CCrystal more;
  run.Read("MORE", more, &out);
  EXPECT_NE(out.find("Error in CVASP::ReadPOSCARFile: [" + run.Path("MORE") +
                     "] gives more atom counts than POTCAR has datasets (2).\n"),
            std::string::npos);
  EXPECT_EQ(more.nAtomAsymSites, 2);
  run.Write("NEG", "t\n1\n3 0 0\n0 3 0\n0 0 3\n-1 1\nDirect\n0.1 0.1 0.1\n");
  CCrystal negative;
  run.Read("NEG", negative, &out);
  EXPECT_NE(out.find("gives no valid atom count for [Ti]"), std::string::npos);
  EXPECT_EQ(negative.nAtomAsymSites, 0);
}

TEST(VASPReadPOSCARFile, LongLinesAndGarbageDoNotBreakTheReader) {
  RunDirectory run;
  run.Write("POTCAR", std::string(10000, 'P') + "\n" + std::string(5000, 'x') + " End of Dataset\n");
  std::string garbage;
  for (int i = 0; i < 3000; ++i) garbage += static_cast<char>((i * 37 + 11) % 256);
  run.Write("POSCAR", std::string(6000, 'T') + "\n" + garbage + "\n" + garbage + "\n" + garbage + "\n" + garbage +
                          "\n" + garbage + "\n" + garbage + "\n");
  CCrystal crystal;
  EXPECT_EQ(run.Read("POSCAR", crystal), 1);
  EXPECT_LE(crystal.nAtomAsymSites, 10000);
  // The title is the first 4095 characters: the piece a 4096-byte read gives.
  EXPECT_EQ(crystal.Name, std::string(4095, 'T'));
}

TEST(VASPReadINCARTitle, FirstSystemLineWithAnEqualsSign) {
  TempDir dir;
  std::string title = "kept";
  CaptureStdout();
  CVASP::ReadINCARTitle(dir.Path("INCAR"), title);
  EXPECT_EQ(GetCapturedStdout(), "Error in VASPConvCONTCAR: Can not read [" + dir.Path("INCAR") + "].\n");
  EXPECT_EQ(title, "kept");

  WriteFile(dir.Path("INCAR"), "ISTART = 0\nSYSTEM without value\n  system =  Fe bulk  \r\nSYSTEM = other\n");
  CVASP::ReadINCARTitle(dir.Path("INCAR"), title);
  EXPECT_EQ(title, "Fe bulk");
  // The text after the line's first '=', even when it comes before SYSTEM.
  WriteFile(dir.Path("INCAR"), "NSW=3 ! SYSTEM = x\n");
  CVASP::ReadINCARTitle(dir.Path("INCAR"), title);
  EXPECT_EQ(title, "3 ! SYSTEM = x");
  WriteFile(dir.Path("INCAR"), "ENCUT = 400\n");
  title = "kept";
  CVASP::ReadINCARTitle(dir.Path("INCAR"), title);
  EXPECT_EQ(title, "kept");
}

TEST(VASPRunDirectory, ArgumentUpToItsLastSeparator) {
  EXPECT_EQ(CVASP::RunDirectory(""), "");
  EXPECT_EQ(CVASP::RunDirectory("run"), "run");
  EXPECT_EQ(CVASP::RunDirectory("run/"), "run");
  EXPECT_EQ(CVASP::RunDirectory("a/run/OUTCAR"), "a/run");
  EXPECT_EQ(CVASP::RunDirectory("c:\\vasp\\run\\POSCAR"), "c:\\vasp\\run");
  EXPECT_EQ(CVASP::RunDirectory("a\\b/c"), "a\\b");
}

// ---------------------------------------------------------------------------
// OUTCAR steps

// One ionic step as VASP 5 and 6 print it.
std::string OutcarStep(const double cell[3][3], const std::vector<std::vector<double>>& rows) {
  std::string s = " VOLUME and BASIS-vectors are now :\n"
                  " -----------------------------------------------------------------------------\n"
                  "  energy-cutoff  :      520.00\n"
                  "  volume of cell :      100.00\n"
                  "      direct lattice vectors                 reciprocal lattice vectors\n";
  for (int i = 0; i < 3; ++i)
    s += Format("   %13.9f%13.9f%13.9f   %13.9f%13.9f%13.9f\n", cell[i][0], cell[i][1], cell[i][2], 0.1, 0.2, 0.3);
  s += "\n  length of vectors\n     1.0 1.0 1.0    1.0 1.0 1.0\n\n\n FORCES acting on ions\n"
       "   -.353E-13 -.232E-14 -.278E-14   0.432E-14 0.119E-14 -.110E-14\n\n"
       " POSITION                                       TOTAL-FORCE (eV/Angst)\n"
       " -----------------------------------------------------------------------------------\n";
  for (const auto& r : rows)
    s += Format("%13.5f%13.5f%13.5f   %14.6f%14.6f%14.6f\n", r[0], r[1], r[2], r[3], r[4], r[5]);
  s += " -----------------------------------------------------------------------------------\n"
       "    total drift:                                0.000000      0.000000      0.000000\n\n\n"
       "  FREE ENERGIE OF THE ION-ELECTRON SYSTEM (eV)\n";
  return s;
}

// Cartesian position of a fractional one in a cell given by rows.
std::vector<double> Row(const double cell[3][3], double f0, double f1, double f2, double fx, double fy, double fz) {
  std::vector<double> r(6);
  for (int k = 0; k < 3; ++k) r[k] = f0 * cell[0][k] + f1 * cell[1][k] + f2 * cell[2][k];
  r[3] = fx;
  r[4] = fy;
  r[5] = fz;
  return r;
}

class OutcarTest : public testing::Test {
 protected:
  void SetUp() override {
    run_.Write("POTCAR", kTiOPOTCAR);
    run_.Write("POSCAR", "t\n1\n3 0 0\n0 3 0\n0 0 3\n1 2\nDirect\n0.1 0.1 0.1\n0.2 0.2 0.2\n0.3 0.3 0.3\n");
    run_.Read("POSCAR", crystal_);
  }
  int ReadStep(LineReader& reader, std::string* output = nullptr) {
    CaptureStdout();
    int result = CVASP::ReadNextCrystalStructureFromOUTCAR(reader, crystal_);
    std::string out = GetCapturedStdout();
    if (output) *output = out;
    return result;
  }
  RunDirectory run_;
  CCrystal crystal_;
};

// A triclinic cell turned so that no vector lies along an axis, and the same
// cell in the standard orientation (computed with numpy: rows are the cell
// vectors; a = |a1|, ...).
const double kTurnedCell[3][3] = {{2.485584208, 3.181402708, 2.425829333},
                                  {-4.276686316, 1.284158848, 1.086365597},
                                  {0.770402689, -1.671378825, 2.586962025}};

TEST_F(OutcarTest, FractionalPositionsForAnyOrientationAndForcesAsRead) {
  const double cubic[3][3] = {{5, 0, 0}, {0, 5, 0}, {0, 0, 5}};
  std::string text = "header\n      direct lattice vectors   (initial, before any step)\n 9 9 9\n 9 9 9\n 9 9 9\n";
  text += OutcarStep(kTurnedCell, {Row(kTurnedCell, 0.1, 0.2, 0.3, 1.5, -2.25, 0.125),
                                   Row(kTurnedCell, 0.5, 0.25, 0.75, -0.000001, 0, 3),
                                   Row(kTurnedCell, 0.9, 0.8, 0.05, 0, 0, 0)});
  text += OutcarStep(cubic, {{1, 2, 3, 0.1, 0.2, 0.3}, {-1, 6, 2.5, 0, 0, 0}, {0, 0, 0, 0, 0, 0}});
  LineReader reader;
  ASSERT_TRUE(reader.Open(run_.Write("OUTCAR", text)));
  // Counting reads the file to its end and rewinds it for the conversion.
  EXPECT_EQ(CVASP::CountIonicSteps(reader), 2);

  std::string out;
  ASSERT_EQ(ReadStep(reader, &out), 1);
  // Lengths and angles of the cell rows, and its standard orientation, from
  // numpy and ASE (cellpar_to_cell).
  EXPECT_EQ(out, "Lattice parameters: 0.471 0.459557 0.317481 nm  100.388 78.9224 100.405\n");
  ASSERT_EQ(crystal_.nAtomAsymSites, 3);
  // Positions are printed with five decimals, so the recovered fractional
  // coordinates agree to about 1e-6.
  ExpectSite(crystal_, 0, "Ti1", "Ti", 0.1, 0.2, 0.3, 1e-5);
  ExpectSite(crystal_, 1, "O1", "O", 0.5, 0.25, 0.75, 1e-5);
  ExpectSite(crystal_, 2, "O2", "O", 0.9, 0.8, 0.05, 1e-5);
  EXPECT_EQ(crystal_.AtomAsymSites[0].Force[0], 1.5);
  EXPECT_EQ(crystal_.AtomAsymSites[0].Force[1], -2.25);
  EXPECT_EQ(crystal_.AtomAsymSites[0].Force[2], 0.125);
  EXPECT_EQ(crystal_.AtomAsymSites[1].Force[0], -0.000001);
  // The crystal now holds the standard orientation of that cell.
  EXPECT_NEAR(crystal_.LatticeVector[0][0], 0.4710, 1e-9);
  EXPECT_NEAR(crystal_.LatticeVector[0][1], 0, 1e-12);
  EXPECT_NEAR(crystal_.LatticeVector[1][0], -0.0830, 1e-9);
  EXPECT_NEAR(crystal_.LatticeVector[1][1], 0.4520, 1e-9);
  EXPECT_NEAR(crystal_.LatticeVector[2][2], 0.3080, 1e-9);
  EXPECT_EQ(crystal_.nAtomSites, 3);
  EXPECT_EQ(crystal_.AtomSites[2].Force[2], 0.0);

  // The next step starts afresh.
  ASSERT_EQ(ReadStep(reader, &out), 1);
  EXPECT_EQ(out, "Lattice parameters: 0.5 0.5 0.5 nm  90 90 90\n");
  ASSERT_EQ(crystal_.nAtomAsymSites, 3);
  ExpectSite(crystal_, 0, "Ti1", "Ti", 0.2, 0.4, 0.6);
  ExpectSite(crystal_, 1, "O1", "O", -0.2, 1.2, 0.5);  // not folded
  EXPECT_EQ(crystal_.AtomAsymSites[0].Force[2], 0.3);

  // The end of the file.
  EXPECT_EQ(ReadStep(reader, &out), 0);
  EXPECT_EQ(out, "Error in ReadNextCrystalStructureFromOUTCAR: OUTCAR ends before the next ionic step.\n");
}

TEST_F(OutcarTest, TouchingNumbersInCellLinesAreSeparated) {
  // Fixed-width columns run together for components of -10 and below.
  std::string text =
      " VOLUME and BASIS-vectors are now :\n"
      "      direct lattice vectors                 reciprocal lattice vectors\n"
      "    12.000000000  0.000000000-10.000000000     0.1 0.1 0.1\n"
      "     0.000000000 11.000000000  0.000000000     0.1 0.1 0.1\n"
      "     0.000000000  0.000000000 13.000000000     0.1 0.1 0.1\n"
      " POSITION                                       TOTAL-FORCE (eV/Angst)\n"
      " ----------------\n"
      "      6.00000      5.50000     -5.00000-10.000000     0.000000      0.000000\n"
      "      0.00000     11.00000      6.50000         1.000000      2.000000      3.000000\n"
      "      0.00000      0.00000      0.00000         0.000000      0.000000      0.000000\n";
  LineReader reader;
  ASSERT_TRUE(reader.Open(run_.Write("OUTCAR", text)));
  ASSERT_EQ(ReadStep(reader), 1);
  EXPECT_NEAR(crystal_.a, std::sqrt(244.0) * 0.1, 1e-12);
  ExpectSite(crystal_, 0, "Ti1", "Ti", 0.5, 0.5, 0);
  EXPECT_EQ(crystal_.AtomAsymSites[0].Force[0], -10.0);
  ExpectSite(crystal_, 1, "O1", "O", 0, 1, 0.5);
}

TEST_F(OutcarTest, TruncatedFilesShortTablesAndMissingCellBlocks) {
  const double cubic[3][3] = {{5, 0, 0}, {0, 5, 0}, {0, 0, 5}};
  const std::string step = OutcarStep(cubic, {{1, 1, 1, 0, 0, 0}, {2, 2, 2, 0, 0, 0}, {3, 3, 3, 0, 0, 0}});
  std::string out;
  {
    // Cut inside the position table.
    LineReader reader;
    ASSERT_TRUE(reader.Open(run_.Write("OUTCAR", step + step.substr(0, step.find("2.00000")))));
    EXPECT_EQ(ReadStep(reader), 1);
    EXPECT_EQ(ReadStep(reader, &out), 0);
    EXPECT_EQ(out,
              "Lattice parameters: 0.5 0.5 0.5 nm  90 90 90\n"
              "Error in ReadNextCrystalStructureFromOUTCAR: the position table of OUTCAR ends after 1 of 3 atoms.\n");
  }
  {
    // Cut between the cell block and the table.
    LineReader reader;
    ASSERT_TRUE(reader.Open(run_.Write("OUTCAR", step.substr(0, step.find(" FORCES")))));
    EXPECT_EQ(ReadStep(reader, &out), 0);
    EXPECT_NE(out.find("Error in ReadNextCrystalStructureFromOUTCAR: OUTCAR ends inside an ionic step.\n"),
              std::string::npos);
  }
  {
    // POSCAR counts three atoms, the table lists two.
    LineReader reader;
    ASSERT_TRUE(reader.Open(run_.Write("OUTCAR", OutcarStep(cubic, {{1, 1, 1, 0, 0, 0}, {2, 2, 2, 0, 0, 0}}))));
    EXPECT_EQ(ReadStep(reader, &out), 0);
    EXPECT_NE(out.find("the position table of OUTCAR ends after 2 of 3 atoms.\n"), std::string::npos);
  }
  {
    // A position table before any cell block.
    LineReader reader;
    ASSERT_TRUE(reader.Open(run_.Write("OUTCAR", step.substr(step.find(" POSITION")) + step)));
    EXPECT_EQ(ReadStep(reader, &out), 0);
    EXPECT_EQ(out, "Error in ReadNextCrystalStructureFromOUTCAR: an ionic step of OUTCAR has no cell block.\n");
  }
}

TEST_F(OutcarTest, HugeCountsEndAtTheTable) {
  run_.Write("POSCAR", "t\n1\n3 0 0\n0 3 0\n0 0 3\n999999999 1\nDirect\n0.1 0.1 0.1\n");
  CCrystal crystal;
  run_.Read("POSCAR", crystal);
  const double cubic[3][3] = {{5, 0, 0}, {0, 5, 0}, {0, 0, 5}};
  LineReader reader;
  ASSERT_TRUE(reader.Open(run_.Write("OUTCAR", OutcarStep(cubic, {{1, 1, 1, 0, 0, 0}}))));
  CaptureStdout();
  EXPECT_EQ(CVASP::ReadNextCrystalStructureFromOUTCAR(reader, crystal), 0);
  EXPECT_NE(GetCapturedStdout().find("ends after 1 of 1000000000 atoms."), std::string::npos);
}

TEST_F(OutcarTest, SingularCellIsReportedAndPutsAtomsAtTheOrigin) {
  const double flat[3][3] = {{5, 0, 0}, {0, 5, 0}, {5, 5, 0}};
  LineReader reader;
  ASSERT_TRUE(reader.Open(run_.Write("OUTCAR", OutcarStep(flat, {{1, 1, 1, 0, 0, 0}, {2, 2, 2, 0, 0, 0},
                                                                   {3, 3, 3, 0, 0, 0}}))));
  std::string out;
  EXPECT_EQ(ReadStep(reader, &out), 1);
  EXPECT_NE(out.find("Error in CCrystal::CartesianToFractional: return of minver is 1\n"), std::string::npos) << out;
  ExpectSite(crystal_, 2, "O2", "O", 0, 0, 0);
}

}  // namespace
}  // namespace quorvel
