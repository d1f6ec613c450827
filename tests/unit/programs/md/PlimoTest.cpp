#include "programs/md/Plimo.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/TextUtil.h"
#include "crystal/Crystal.h"
#include "tests/unit/TestFiles.h"
#include "tests/unit/RunOptions.h"

namespace quorvel {
namespace {

// An atom line of FILE07: columns 1-53 free, then x, y, z in nine columns each.
std::string AtomLine(const char* name, double x, double y, double z) {
  std::string head = Format("    1  %-4s  (cartesian, not read)", name);
  head.resize(53, ' ');
  return head + Format("%9.5f%9.5f%9.5f\n", x, y, z);
}

// Two types over two lines, H-TENSOR block, positions to be folded.
std::string File07(const std::string& counts = "    2    1\n") {
  return std::string("  Test cell   \n") + "    3    2\n" + "  Na\n  Cl   \n" + counts + "mass\ncharge\nflags\n" +
         "  1.0   5.6400   5.7000   5.8000\n" + " H-TENSOR\n t1\n t2\n t3\n" + AtomLine("Na", 1.0, 0.25, -0.25) +
         AtomLine("Na", 0.5, 0.5, 0.5) + AtomLine("Cl", 0.0, 0.0, 0.5);
}

TEST(Plimo, CompanionNamesForBothNamingSchemes) {
  CPlimo::CFileSet f = CPlimo::GetFileSet("runs.v2/FILE09P.DAT");
  EXPECT_EQ(f.FILE05, "runs.v2/FILE05.DAT");
  EXPECT_EQ(f.FILE07, "runs.v2/FILE07.DAT");
  EXPECT_EQ(f.FILE09P, "runs.v2/FILE09P.DAT");
  EXPECT_EQ(f.FILE09V, "runs.v2/FILE09V.DAT");
  EXPECT_EQ(f.XSF, "runs.v2/FILE09P.xsf");
  EXPECT_EQ(f.CIFStem, "runs.v2/FILE09P");

  // Any letter case of "file" selects the fixed names; a backslash and a
  // drive are kept as they are.
  f = CPlimo::GetFileSet("C:\\md\\file07.dat");
  EXPECT_EQ(f.FILE09V, "C:\\md\\FILE09V.DAT");
  EXPECT_EQ(f.CIFStem, "C:\\md\\file07");

  f = CPlimo::GetFileSet("out.d/quartz.melt.f9v");
  EXPECT_EQ(f.FILE05, "out.d/quartz.melt.f05");
  EXPECT_EQ(f.FILE07, "out.d/quartz.melt.f07");
  EXPECT_EQ(f.FILE09P, "out.d/quartz.melt.f9p");
  EXPECT_EQ(f.XSF, "out.d/quartz.melt.xsf");
  EXPECT_EQ(f.CIFStem, "out.d/quartz.melt");

  // Without an extension the whole name is the base.
  f = CPlimo::GetFileSet("out.d/run");
  EXPECT_EQ(f.FILE09P, "out.d/run.f9p");
  EXPECT_EQ(f.CIFStem, "out.d/run");
}

TEST(Plimo, ScaleFromTheFirstLineOfFILE05) {
  TempDir dir;
  WriteFile(dir.Path("a"), "md  run\n");
  WriteFile(dir.Path("b"), "XD\n");
  WriteFile(dir.Path("c"), " MD (indented)\n");
  WriteFile(dir.Path("d"), "");
  EXPECT_EQ(CPlimo::GetxFactor(dir.Path("a")), 1.0 / 9000.0);
  EXPECT_EQ(CPlimo::GetxFactor(dir.Path("b")), 0.0005);
  EXPECT_EQ(CPlimo::GetxFactor(dir.Path("c")), 1.0);
  EXPECT_EQ(CPlimo::GetxFactor(dir.Path("d")), 1.0);
  EXPECT_EQ(CPlimo::GetxFactor(dir.Path("missing")), 1.0);
  // 4500 and 1000 are half a cell edge in the two scales.
  EXPECT_DOUBLE_EQ(4500 * CPlimo::GetxFactor(dir.Path("a")), 0.5);
  EXPECT_DOUBLE_EQ(1000 * CPlimo::GetxFactor(dir.Path("b")), 0.5);
}

TEST(Plimo, ReadFILE07) {
  TempDir dir;
  WriteFile(dir.Path("f07"), File07());
  CCrystal c;
  std::string out = Printed([&] { EXPECT_EQ(CPlimo::ReadFILE07(dir.Path("f07"), c), 1); });
  EXPECT_EQ(out, "");
  EXPECT_EQ(c.ChemicalName, "Test cell");
  ASSERT_EQ(c.nAtomTypes, 2);
  EXPECT_EQ(c.AtomTypes[0].Name, "Na");
  EXPECT_EQ(c.AtomTypes[1].Label, "Cl");
  EXPECT_EQ(c.AtomTypes[1].AtomicNumber, 2);
  EXPECT_EQ(c.nAtomsInFormula[0], 2);
  EXPECT_EQ(c.nAtomsInFormula[1], 1);
  EXPECT_DOUBLE_EQ(c.a, 0.564);
  EXPECT_DOUBLE_EQ(c.c, 0.58);
  EXPECT_EQ(c.gamma, 90.0);
  EXPECT_NEAR(c.LatticeVector[1][1], 0.57, 1e-12);
  ASSERT_EQ(c.nAtomAsymSites, 3);
  ASSERT_EQ(c.nAtomSites, 3);
  EXPECT_EQ(c.AtomAsymSites[1].Label, "Na2");
  EXPECT_EQ(c.AtomAsymSites[2].Label, "Cl1");  // numbering restarts for each type
  EXPECT_EQ(c.AtomAsymSites[2].iAtomType, 1);
  EXPECT_EQ(c.AtomSites[2].iAtomType, 1);
  // Folded into the cell: 1.0 -> 0, -0.25 -> 0.75.
  EXPECT_EQ(c.AtomAsymSites[0].x, 0.0);
  EXPECT_EQ(c.AtomAsymSites[0].y, 0.25);
  EXPECT_EQ(c.AtomAsymSites[0].z, 0.75);
  EXPECT_EQ(c.AtomAsymSites[0].Occupancy, 1.0);
}

TEST(Plimo, ReadFILE07WithoutTensorBlockAndSharedTypeNames) {
  TempDir dir;
  // Two types of the same name keep their own sites.
  WriteFile(dir.Path("f07"), std::string("t\n 2 2\n O O\n 1 1\n\n\n\n 1 3 3 3\n positions\n") +
                                 AtomLine("O", 0.1, 0.1, 0.1) + AtomLine("O", 0.2, 0.2, 0.2));
  CCrystal c;
  ASSERT_EQ(CPlimo::ReadFILE07(dir.Path("f07"), c), 1);
  ASSERT_EQ(c.nAtomAsymSites, 2);
  EXPECT_EQ(c.AtomAsymSites[1].iAtomType, 1);
  EXPECT_EQ(c.AtomAsymSites[1].Label, "O1");
  EXPECT_DOUBLE_EQ(c.AtomAsymSites[1].x, 0.2);
}

TEST(Plimo, InconsistentFILE07IsRefusedWithItsReason) {
  TempDir dir;
  std::string path = dir.Path("f07");
  struct Case {
    std::string text, message;
  } cases[] = {
      {File07("    2    2\n"), "the atoms of the types add up to 4, not to nAtomSites [3]"},
      {File07("    2    x\n"), "the number of atoms of type Cl is not a number: [x]"},
      {File07("    2    1.0\n"), "the number of atoms of type Cl is not a number: [1.0]"},
      {File07("    4   -1\n"), "the number of atoms of type Na [4] is not between 0 and 3"},
      {"t\n 2147483647 2\n", "nAtomSites [2147483647] or nAtomTypes [2] is out of range (0 to 100000 and 0 to 100)"},
      {"t\n 3 -1\n", "out of range"},
      {"t\n three atoms\n", "line 2 does not hold the numbers of atoms and atom types"},
      {"t\n", "the file ends early"},
      {File07().substr(0, File07().rfind("    1  Cl")), "the file ends before its 3 atoms"},
      {std::string("t\n 1 1\n Na\n 1\n\n\n\n  1.0  5.64\n"), "the cell line does not hold four numbers"},
  };
  for (const Case& k : cases) {
    WriteFile(path, k.text);
    CCrystal c;
    c.Name = "kept";
    std::string out = Printed([&] { EXPECT_EQ(CPlimo::ReadFILE07(path, c), -1); });
    EXPECT_NE(out.find("Error in CPlimo::ReadFILE07: "), std::string::npos) << out;
    EXPECT_NE(out.find(k.message), std::string::npos) << out;
    EXPECT_NE(out.find("[" + path + "]"), std::string::npos) << out;
    // Empty again, with the capacities of a converter.
    EXPECT_EQ(c.nAtomTypes, 0);
    EXPECT_EQ(c.nAtomAsymSites, 0);
    EXPECT_EQ(c.nAtomSites, 0);
    EXPECT_EQ(c.nMaxAtomAsymSites, CCrystal::kConverterAtomSites);
    EXPECT_EQ(c.ChemicalName, "None");
  }
  CCrystal c;
  EXPECT_EQ(Printed([&] { EXPECT_EQ(CPlimo::ReadFILE07(dir.Path("none"), c), 0); }), "");
}

TEST(Plimo, FramesAreCountedByLinesPerFrame) {
  TempDir dir;
  std::string path = dir.Path("f9p");
  std::string atoms7 = std::string(72, '1') + "\n" + std::string(12, '2') + "\n";
  // 7 atoms: a header and two atom lines a frame; a last frame cut short counts.
  WriteFile(path, "h1\n" + atoms7 + "h2\n" + atoms7 + "h3\n" + std::string(72, '1') + "\n");
  EXPECT_EQ(CPlimo::GetnFrameInFile09(path, 7), 3);
  EXPECT_EQ(CPlimo::GetnFrameInFile09(path, 6), 4);  // one atom line a frame
  EXPECT_EQ(CPlimo::GetnFrameInFile09(path, 0), 4);  // no atoms: still one line a frame
  EXPECT_EQ(CPlimo::GetnFrameInFile09(path, 13), 2);
  WriteFile(path, "");
  EXPECT_EQ(CPlimo::GetnFrameInFile09(path, 7), 0);
  std::string out = Printed([&] { EXPECT_EQ(CPlimo::GetnFrameInFile09(dir.Path("none"), 7), 0); });
  EXPECT_EQ(out, "Error in CPlimo::GetnFrameInFile09: Can not read [" + dir.Path("none") + "].\n");
}

TEST(Plimo, FILE09PFramesOfFourCharacterFields) {
  TempDir dir;
  std::string path = dir.Path("f9p");
  // Seven atoms: six on the first line, one on the second; Windows line ends;
  // blank and signed fields; text after the last atom is not read.
  std::string line1;
  for (int i = 0; i < 6; ++i) line1 += Format("%4d%4d%4d", 1000 * i, 9, -12);
  WriteFile(path, " STEP 1 header\r\n" + line1 + "\r\n" + "  45  -1    " + "  junk 99\r\n" + " STEP 2\r\n" +
                      line1 + "\r\n" + "4500   0 900\r\n" + " STEP 3\r\n" + line1 + "\r\n" + "45");
  CFILE09PReader reader;
  ASSERT_TRUE(reader.Open(path));
  std::vector<double> xyz;
  ASSERT_TRUE(reader.ReadFrame(7, 0.5, xyz));
  ASSERT_EQ(xyz.size(), 21u);
  EXPECT_EQ(xyz[3], 500.0);
  EXPECT_EQ(xyz[4], 4.5);
  EXPECT_EQ(xyz[5], -6.0);
  EXPECT_EQ(xyz[18], 22.5);
  EXPECT_EQ(xyz[19], -0.5);
  EXPECT_EQ(xyz[20], 0.0);  // a blank field reads as 0
  ASSERT_TRUE(reader.ReadFrame(7, 1.0 / 9000.0, xyz));
  EXPECT_DOUBLE_EQ(xyz[18], 0.5);
  EXPECT_DOUBLE_EQ(xyz[20], 0.1);
  // The third frame ends inside its seventh atom.
  EXPECT_FALSE(reader.ReadFrame(7, 1.0, xyz));
  EXPECT_FALSE(reader.ReadFrame(7, 1.0, xyz));
}

TEST(Plimo, FILE09PFieldsAreCutByPositionNotByBlanks) {
  TempDir dir;
  std::string path = dir.Path("f9p");
  // Adjacent four-digit fields, and a line that runs past the 4095
  // characters of one read without harm.
  WriteFile(path, "h\n899912345678\n" + std::string(5000, '7') + "\nh\n000100020003\n");
  CFILE09PReader reader;
  ASSERT_TRUE(reader.Open(path));
  std::vector<double> xyz;
  ASSERT_TRUE(reader.ReadFrame(1, 1.0, xyz));
  EXPECT_EQ(xyz, (std::vector<double>{8999, 1234, 5678}));
  // The long line is the next frame's header (read in pieces, the second
  // piece then taken for the atom); no crash and no read past the data.
  ASSERT_TRUE(reader.ReadFrame(1, 1.0, xyz));
  EXPECT_EQ(xyz, (std::vector<double>{7777, 7777, 7777}));
}

TEST(Plimo, FILE09VRecords) {
  TempDir dir;
  std::string path = dir.Path("f9v");
  std::string first = "  312.50   1.2500   -12345.678      45.500\n";
  std::string third = Format("%9.4f%9.3f%9.4f%9.4f%9.4f%9.3f%9.3f%9.3f\n", 2.65, 300.0, 5.0, 6.0, 7.0, 0.0, 95.0, 0.0);
  WriteFile(path, first + "second\n" + third + "4\n5\n" + "short record line\n" + "  400.00   2.0000" +
                      std::string(30, ' ') + "\n" + "second\n");
  CFILE09VReader reader;
  ASSERT_TRUE(reader.Open(path));
  CCrystal c;
  c.SetLatticeParameters(1, 1, 1, 90, 90, 90);
  c.CalculateLatticeVectors();
  reader.ReadRecord(c);
  EXPECT_EQ(c.Temperature, 312.5);
  EXPECT_EQ(c.Pressure, 1.25);
  EXPECT_EQ(c.Density, 2.65);
  EXPECT_DOUBLE_EQ(c.a, 0.5);
  EXPECT_DOUBLE_EQ(c.c, 0.7);
  EXPECT_EQ(c.alpha, 90.0);  // 0 stands for 90 degrees
  EXPECT_EQ(c.beta, 95.0);
  EXPECT_EQ(c.gamma, 90.0);
  EXPECT_NEAR(c.LatticeVector[2][0], 0.7 * std::cos(95.0 * 3.1415926535 / 180.0), 1e-12);  // recomputed
  // A short first line: this step has no record; the next record starts on
  // the following line.
  reader.ReadRecord(c);
  EXPECT_EQ(c.Temperature, 312.5);
  // A record cut off before its third line: temperature and pressure only.
  reader.ReadRecord(c);
  EXPECT_EQ(c.Temperature, 400.0);
  EXPECT_EQ(c.Pressure, 2.0);
  EXPECT_EQ(c.Density, 2.65);
  EXPECT_DOUBLE_EQ(c.a, 0.5);
  // At the end of the file nothing changes.
  reader.ReadRecord(c);
  EXPECT_EQ(c.Temperature, 400.0);
}

TEST(Plimo, ConversionEndsWithTheDataWhateverTheStepCount) {
  TempDir dir;
  WriteFile(dir.Path("r.f05"), "MD\n");
  WriteFile(dir.Path("r.f07"), File07());
  std::string frame = "h\n" + std::string(36, '1') + "\n";
  WriteFile(dir.Path("r.f9p"), frame + frame + frame);
  WriteFile(dir.Path("r.f9v"), "");
  // A step count of 2^31 - 1 and an interval of 1: the loop stops at the
  // end of FILE09P, and the XSF file announces what was asked for.
  SetRunOptions({"--nLastStep=2147483647"});
  auto start = std::chrono::steady_clock::now();
  std::string out = Printed([&] { EXPECT_EQ(CPlimo::ConvF09p(dir.Path("r.f9p"), ""), 1); });
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  EXPECT_NE(out.find("nOutput: 2147483647\n"), std::string::npos);
  EXPECT_NE(out.find("...Frame 2 "), std::string::npos);
  EXPECT_EQ(out.find("...Frame 3 "), std::string::npos);
  EXPECT_NE(out.find("AvrCount: 2\n"), std::string::npos);
  std::string xsf = ReadFile(dir.Path("r.xsf"));
  EXPECT_EQ(xsf.rfind("ANIMSTEPS 2147483647\nCRYSTAL\n\n", 0), 0u);
  EXPECT_NE(xsf.find("PRIMCOORD 3\n"), std::string::npos);
  // The inputs are only read.
  EXPECT_EQ(ReadFile(dir.Path("r.f07")), File07());
  EXPECT_EQ(ReadFile(dir.Path("r.f9p")), frame + frame + frame);
  SetRunOptions({});
}

TEST(Plimo, FailedOpensReturnBeforeAnyOutput) {
  TempDir dir;
  SetRunOptions({});
  std::string out = Printed([&] { EXPECT_EQ(CPlimo::ConvF09p(dir.Path("x.f9p"), ""), -1); });
  EXPECT_NE(out.find("Can not read [" + dir.Path("x.f9p") + "].\n"), std::string::npos);
  WriteFile(dir.Path("x.f9p"), "");
  WriteFile(dir.Path("x.f9v"), "");
  // The XSF name is a directory: it cannot be created.
  ASSERT_EQ(std::system(("mkdir '" + dir.Path("x.xsf") + "'").c_str()), 0);
  out = Printed([&] { EXPECT_EQ(CPlimo::ConvF09p(dir.Path("x.f9p"), ""), -1); });
  EXPECT_NE(out.find("Can not write to [" + dir.Path("x.xsf") + "].\n"), std::string::npos);
  EXPECT_FALSE(FileExists(dir.Path("x-final.cif")));
}

}  // namespace
}  // namespace quorvel
