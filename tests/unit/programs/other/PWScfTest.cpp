#include "programs/other/PWScf.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/TextUtil.h"
#include "crystal/Crystal.h"
#include "tests/unit/TestFiles.h"

namespace quorvel {
namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

// A crystal as the action prepares it, without database files.
void Prepare(CCrystal& crystal) {
  crystal.AllocateAtomTypes(CCrystal::kConverterAtomTypes);
  crystal.AllocateAtomAsymSites(CCrystal::kConverterAtomSites);
  crystal.AllocateAtomSites(CCrystal::kConverterAtomSites);
}

const char* kInput =
    " &CONTROL\n"
    "    calculation = 'relax' ,\n"
    "    title=  'Si in a 60 degree cell'  \n"
    "    pseudo_dir = './pseudo/' ,\n"
    " /\n"
    " &SYSTEM\n"
    "    ibrav = 14,\n"
    "    A = 5.43 ,\n"
    "    B=7.0 ,\n"
    "    B = 6.0 ,\n"
    "    C = 7.5 ,\n"
    "    cosAB = 0.5 ,\n"
    "    cosAC = 0.0 ,\n"
    "    cosBC = -0.25 ,\n"
    "    nat = 3, ntyp = 2,\n"
    " /\n"
    " &ELECTRONS\n"
    "    C = 99.0 ,\n"
    " /\n"
    "ATOMIC_SPECIES\n"
    "   Si  28.0855  Si.pbe-n-rrkjus_psl.1.0.0.UPF\n"
    "   Si  28.0855  Si.pbe-n-rrkjus_psl.1.0.0.UPF\n"
    "\n"
    "   O   15.9994  O.pbe-n-rrkjus_psl.1.0.0.UPF\n"
    "ATOMIC_POSITIONS (angstrom)\n"
    "Si   0.00  0.00  0.00\n"
    "\n"
    "Si   0.25  0.25  0.25    0 0 1\n"
    "O    0.50  0.125\n"
    "K_POINTS automatic\n"
    "Ge   0.5  0.5  0.5\n";

TEST(PWScfTest, InputFileGivesTitleCellSpeciesAndPositions) {
  TempDir dir;
  WriteFile(dir.Path("run.inp"), kInput);
  CCrystal crystal;
  Prepare(crystal);
  CaptureStdout();
  EXPECT_EQ(CPWScf::ReadInpFile(dir.Path("run.inp"), crystal), 1);
  GetCapturedStdout();

  // Trimmed and stripped of its quotes.
  EXPECT_EQ(crystal.ChemicalName, "Si in a 60 degree cell");
  // Angstrom to nm; "B=7.0" lacks the blanks around '='; the C of another
  // namelist is not read.
  EXPECT_DOUBLE_EQ(crystal.a, 0.543);
  EXPECT_DOUBLE_EQ(crystal.b, 0.6);
  EXPECT_DOUBLE_EQ(crystal.c, 0.75);
  // Degrees with pi to ten decimals: a cosine of 0.5 is 60.0000000017.
  EXPECT_NEAR(crystal.gamma, 60.0000000017, 1e-10);
  EXPECT_GT(crystal.gamma, 60.000000001);
  EXPECT_NEAR(crystal.beta, 90.0000000026, 1e-10);
  EXPECT_NEAR(crystal.alpha, 104.477512188, 1e-8);

  // Si listed twice is one type; the blank line adds nothing.
  ASSERT_EQ(crystal.nAtomTypes, 2);
  EXPECT_EQ(crystal.AtomTypes[0].Name, "Si");
  EXPECT_EQ(crystal.AtomTypes[1].Name, "O");
  // Positions are fractional whatever the unit; a missing z is 0; the line
  // after K_POINTS is not read.
  ASSERT_EQ(crystal.nAtomAsymSites, 3);
  ASSERT_EQ(crystal.nAtomSites, 3);
  EXPECT_EQ(crystal.AtomAsymSites[1].Label, "Si2");
  EXPECT_DOUBLE_EQ(crystal.AtomAsymSites[1].z, 0.25);
  EXPECT_EQ(crystal.AtomAsymSites[2].Label, "O1");
  EXPECT_DOUBLE_EQ(crystal.AtomAsymSites[2].y, 0.125);
  EXPECT_DOUBLE_EQ(crystal.AtomAsymSites[2].z, 0.0);
  EXPECT_DOUBLE_EQ(crystal.AtomSites[2].Occupancy, 1.0);
  // The lattice vectors are built: the second lies at 60 degrees to the first.
  EXPECT_NEAR(crystal.LatticeVector[1][0], 0.3, 1e-9);
}

TEST(PWScfTest, InputFileWithoutTitleOrMissingGivesNothing) {
  TempDir dir;
  std::string text = kInput;
  text.replace(text.find("title="), 6, "title =");
  WriteFile(dir.Path("notitle.inp"), text);
  CCrystal crystal;
  Prepare(crystal);
  CaptureStdout();
  // The search for "title=" reaches the end of the file: nothing else is read.
  EXPECT_EQ(CPWScf::ReadInpFile(dir.Path("notitle.inp"), crystal), 1);
  EXPECT_EQ(crystal.nAtomTypes, 0);
  EXPECT_EQ(crystal.a, 0.0);
  EXPECT_EQ(crystal.ChemicalName, "None");

  EXPECT_EQ(CPWScf::ReadInpFile(dir.Path("none.inp"), crystal), -1);
  EXPECT_EQ(GetCapturedStdout(), "Error: Can not read [" + dir.Path("none.inp") + "]\n");
}

const char* kOutput =
    "     Forces acting on atoms (cartesian axes, Ry/au):\n"
    "\n"
    "     atom    1 type  1   force =    -0.02329815   -0.02329818   -0.02329844\n"
    "     atom    2 type  1   force =     0.02329815    0.02329818\n"
    "\n"
    "     Total force =     0.040348     Total SCF correction =     0.000011\n"
    "  ATOMIC_POSITIONS not at the start of the line\n"
    "atomic_positions (crystal)\n"
    "Si      -0.123017881  -0.123017881  -0.123017881\n"
    "Si       0.123017881   0.123017881   0.123017881\n"
    "\n"
    "     Forces acting on atoms (Ry/au):\n"
    "\n"
    "     atom    1 type  1   force =    -0.01\n"
    "     the second atom's line has no force\n"
    "ATOMIC_POSITIONS (crystal)\n"
    "Si            0.2500000000        0.2500000000        0.2500000000\n";

TEST(PWScfTest, StepsGiveForcesAndPositionsAndStopAtTheEndOfTheFile) {
  TempDir dir;
  WriteFile(dir.Path("run.out"), kOutput);
  CCrystal crystal;
  Prepare(crystal);
  crystal.SetLatticeParameters(0.5, 0.5, 0.5, 90, 90, 90);
  crystal.CalculateLatticeVectors();
  LineReader reader;
  ASSERT_TRUE(reader.Open(dir.Path("run.out")));
  std::vector<double> forces;
  CaptureStdout();

  // The block title is matched in any letter case at the start of a line.
  EXPECT_EQ(CPWScf::ReadNextStep(reader, crystal, 2, forces), 2);
  ASSERT_EQ(crystal.nAtomAsymSites, 2);
  EXPECT_EQ(crystal.AtomAsymSites[0].Label, "Si1");
  EXPECT_DOUBLE_EQ(crystal.AtomAsymSites[0].x, -0.123017881);
  EXPECT_DOUBLE_EQ(crystal.AtomSites[1].z, 0.123017881);
  EXPECT_DOUBLE_EQ(crystal.AtomSites[0].Force[2], -0.02329844);
  // A force line cut short gives 0 for what it lacks.
  EXPECT_DOUBLE_EQ(crystal.AtomSites[1].Force[1], 0.02329818);
  EXPECT_DOUBLE_EQ(crystal.AtomSites[1].Force[2], 0.0);

  // The file ends inside the second step: one atom, and a line without
  // "force =" leaves 0.
  EXPECT_EQ(CPWScf::ReadNextStep(reader, crystal, 2, forces), 1);
  EXPECT_DOUBLE_EQ(crystal.AtomSites[0].x, 0.25);
  EXPECT_DOUBLE_EQ(crystal.AtomSites[0].Force[0], -0.01);
  EXPECT_DOUBLE_EQ(crystal.AtomSites[0].Force[1], 0.0);

  // Past the end a step has no atoms; the types stay.
  EXPECT_EQ(CPWScf::ReadNextStep(reader, crystal, 2, forces), 0);
  EXPECT_EQ(crystal.nAtomTypes, 1);
  GetCapturedStdout();
}

TEST(PWScfTest, UpdatedInputCarriesTheCellAndPositionsOfTheCrystal) {
  TempDir dir;
  WriteFile(dir.Path("run.inp"), kInput);
  CCrystal crystal;
  Prepare(crystal);
  CaptureStdout();
  ASSERT_EQ(CPWScf::ReadInpFile(dir.Path("run.inp"), crystal), 1);
  crystal.AtomSites[0].x = -0.0125;
  EXPECT_EQ(CPWScf::UpdateInpFile(dir.Path("run.inp"), dir.Path("run.inp.new"), crystal), 1);
  GetCapturedStdout();

  // Each cell line is rewritten where it stands (also the C of another
  // namelist); a cosine of a right angle read from 0.0 stays 0.0000000000.
  std::string expected =
      " &CONTROL\n"
      "    calculation = 'relax' ,\n"
      "    title=  'Si in a 60 degree cell'  \n"
      "    pseudo_dir = './pseudo/' ,\n"
      " /\n"
      " &SYSTEM\n"
      "    ibrav = 14,\n"
      "    A =    5.4300000000,\n"
      "    B=7.0 ,\n"
      "    B =    6.0000000000,\n"
      "    C =    7.5000000000,\n"
      "    cosAB =   0.5000000000 ,\n"
      "    cosAC =   0.0000000000 ,\n"
      "    cosBC =  -0.2500000000 ,\n"
      "    nat = 3, ntyp = 2,\n"
      " /\n"
      " &ELECTRONS\n"
      "    C =    7.5000000000,\n"
      " /\n"
      "ATOMIC_SPECIES\n"
      "   Si  28.0855  Si.pbe-n-rrkjus_psl.1.0.0.UPF\n"
      "   Si  28.0855  Si.pbe-n-rrkjus_psl.1.0.0.UPF\n"
      "\n"
      "   O   15.9994  O.pbe-n-rrkjus_psl.1.0.0.UPF\n"
      "ATOMIC_POSITIONS (angstrom)\n"
      "     Si   -0.0125000000    0.0000000000    0.0000000000\n"
      "     Si    0.2500000000    0.2500000000    0.2500000000\n"
      "      O    0.5000000000    0.1250000000    0.0000000000\n"
      "O    0.50  0.125\n"
      "K_POINTS automatic\n"
      "Ge   0.5  0.5  0.5\n";
  EXPECT_EQ(ReadFile(dir.Path("run.inp.new")), expected);
}

TEST(PWScfTest, UpdateReportsFilesItCannotOpen) {
  TempDir dir;
  WriteFile(dir.Path("run.inp"), kInput);
  CCrystal crystal;
  CaptureStdout();
  EXPECT_EQ(CPWScf::UpdateInpFile(dir.Path("none.inp"), dir.Path("none.inp.new"), crystal), -1);
  EXPECT_EQ(CPWScf::UpdateInpFile(dir.Path("run.inp"), dir.Path("no/such/dir.new"), crystal), -1);
  EXPECT_EQ(GetCapturedStdout(), "Error in CPWScf::UpdateInpFile: Can not read [" + dir.Path("none.inp") +
                                     "].\nError in CPWScf::UpdateInpFile: Can not write to [" +
                                     dir.Path("no/such/dir.new") + "].\n");
  EXPECT_FALSE(FileExists(dir.Path("none.inp.new")));
}

}  // namespace
}  // namespace quorvel
