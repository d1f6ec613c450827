// Hostile sizes for every action: files whose lines are a megabyte long and
// files of a million lines and more, as full disks and runaway jobs leave
// them. Every run ends in seconds with the readers' own messages, and what it
// keeps and writes is bounded by what the files really hold or by the tables'
// capacities. (The fuzz targets never see such files: their inputs stay below
// 64 kB.) The runs go through the whole program, command line included.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "app/RunFrame.h"
#include "app/TextUtil.h"
#include "tests/unit/TestFiles.h"
#include "tests/unit/formats/TestCrystals.h"

namespace quorvel {
namespace {

const std::string kMB(1 << 20, 'x');

std::string Repeat(const std::string& text, size_t n) {
  std::string all;
  all.reserve(text.size() * n);
  for (size_t i = 0; i < n; ++i) all += text;
  return all;
}

struct CProgramRun {
  std::string out;
  double seconds = 0;
};

// The program run in dir on the command line args (after the program name),
// with the shipped databases.
CProgramRun RunIn(const TempDir& dir, const std::vector<std::string>& args) {
  std::vector<std::string> all = {"quorvel", std::string("--DBDir=") + QUORVEL_SOURCE_DATA_DIR};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<const char*> argv;
  for (const std::string& a : all) argv.push_back(a.c_str());
  ScopedWorkingDirectory cwd(dir.Dir());
  CProgramRun run;
  const auto start = std::chrono::steady_clock::now();
  testing::internal::CaptureStdout();
  RunQuorvel(static_cast<int>(argv.size()), argv.data());
  run.out = testing::internal::GetCapturedStdout();
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return run;
}

// Every run below reads at most a few tens of megabytes in a way that is
// linear in the size of its files; one that hangs or grows with the square
// of a count exceeds this by far.
constexpr double kSeconds = 10.0;

#define EXPECT_PRINTS(run, text) EXPECT_NE((run).out.find(text), std::string::npos) << (run).out.substr(0, 3000)

size_t FileSize(const std::string& path) { return ReadFile(path).size(); }

TEST(HostileSizes, CIFFileOfMillionsOfRowsKeepsWhatTheTablesHold) {
  TempDir dir;
  std::string sites;
  for (int i = 0; i < 100000; ++i)
    sites += Format("Si%d Si 1 a %.4f %.4f %.4f 1.0 0 d\n", i, (i % 16) / 16.0, (i / 16 % 16) / 16.0, (i / 256 % 16) / 16.0);
  WriteFile(dir.Path("a.cif"), "data_a\n_cell_length_a 20\n_cell_length_b 20\n_cell_length_c 20\n"
                               "_cell_angle_alpha 90\n_cell_angle_beta 90\n_cell_angle_gamma 90\n"
                               "loop_\n_symmetry_equiv_pos_as_xyz\n" +
                                   Repeat("'x,y,z'\n", 1000000) +
                                   "\nloop_\n_atom_type_symbol\n_atom_type_oxidation_number\n" +
                                   Repeat("Si 0\n", 100000) +
                                   "\nloop_\n_atom_site_label\n_atom_site_calc_flag\n" + sites + "\n");
  CProgramRun run = RunIn(dir, {"--Action=ShowCIFInf", "a.cif"});
  EXPECT_PRINTS(run, "Error in CCIFFile::Read: [a.cif] has more than 256 symmetry operations; only the first 256 "
                     "are read.\n");
  EXPECT_PRINTS(run, "Error in CCIFFile::Read: [a.cif] has more than 50 atom types; only the first 50 are read.\n");
  EXPECT_PRINTS(run, "Error in CCIFFile::Read: [a.cif] has more than 4096 atom sites; only the first 4096 are read.\n");
  // 256 copies of the identity put every site onto itself.
  EXPECT_PRINTS(run, "Chemical composition:\n  Si: 4096\n");
  EXPECT_LT(run.out.size(), 10000u);
  EXPECT_LT(run.seconds, kSeconds);
}

// Lines of a megabyte reach the CIF reader in pieces of 4095 characters: a
// tag's value is the rest of the piece that begins with the tag, and the
// pieces after it begin with no tag.
TEST(HostileSizes, CIFFileOfMegabyteLines) {
  TempDir dir;
  WriteFile(dir.Path("a.cif"), "data_" + kMB + "\n_chemical_name_systematic " + kMB + "\n_cell_length_a 5" + kMB +
                                   "\n_cell_length_b 5\n_cell_length_c 5\n_cell_angle_alpha 90\n_cell_angle_beta 90\n"
                                   "_cell_angle_gamma 90\nloop_\n_symmetry_equiv_pos_as_xyz\n'x,y,z'\n\n" +
                                   kMB + "\nloop_\n_atom_site_calc_flag\nSi1 Si 1 a 0 0 0 1 " + kMB + "\n");
  CProgramRun run = RunIn(dir, {"--Action=ShowCIFInf", "--ShowAllAtoms=1", "a.cif"});
  // "_chemical_name_systematic" and its blank leave 4069 characters.
  EXPECT_PRINTS(run, "\nCrystal: " + std::string(4069, 'x') + "\n");
  // "5" followed by letters reads 5. The site row is complete in its first
  // piece; the next piece, without a blank, ends the site loop.
  EXPECT_PRINTS(run, "    Parameters: 0.5 0.5 0.5 nm  90 90 90\n");
  EXPECT_PRINTS(run, "  Si (0,0,0) [occ=1]\n");
  EXPECT_LT(run.out.size(), 100000u);
  EXPECT_LT(run.seconds, kSeconds);
}

// The databases are read for every new atom type: entries that never match
// and lines of a megabyte are passed over.
TEST(HostileSizes, DatabaseFilesOfMillionsOfLinesAndMegabyteLines) {
  TempDir dir;
  WriteFile(dir.Path("nonrel"), Repeat("Xx\n0 0 2147483647\n", 500000) + kMB + "\nSi\n0 0 1\n14\n" + kMB + "\n");
  WriteFile(dir.Path("asfdc"), Repeat("Xx 1.0\n", 1000000) + kMB + "\nSi 28.0855\n");
  WriteFile(dir.Path("spgra"), Repeat("1 1 0 0 0 P 1\n\n", 500000) + kMB + "\n");
  WriteFile(dir.Path("a.cif"), "data_a\n_cell_length_a 5\n_cell_length_b 5\n_cell_length_c 5\n"
                               "_cell_angle_alpha 90\n_cell_angle_beta 90\n_cell_angle_gamma 90\n"
                               "loop_\n_symmetry_equiv_pos_as_xyz\n'x,y,z'\n\n"
                               "loop_\n_atom_site_calc_flag\nSi1 Si 1 a 0 0 0 1 0 d\n");
  CProgramRun run = RunIn(dir, {"--DBDir=" + dir.Dir(), "--Action=ShowCIFInf", "a.cif"});
  EXPECT_PRINTS(run, "  Si Z=14 q=0 m=28.0855\n");
  WriteFile(dir.Path("a.gin"), "cell\n5 5 5 90 90 90\nfrac\nSi core 0 0 0\nspace\nP 1 x\n");
  run = RunIn(dir, {"--DBDir=" + dir.Dir(), "--Action=GULPMakeCIFFromInput", "a.gin"});
  EXPECT_PRINTS(run, "SPG: P1x\n");
  EXPECT_LT(run.seconds, kSeconds);
}

const char* const kFILE07 =
    " t\n"
    "    1    1\n"
    "   Si\n"
    "    1\n"
    " masses\n"
    " charges\n"
    " flags\n"
    "   1.0000   4.9160   4.9160   5.4050\n"
    " ATOMIC POSITIONS\n"
    "    1  Si       2.30905     0.00000     0.00000        0.46970  0.00000  0.00000\n";

// Half a million frames of one atom, with only one written: the conversion
// holds one frame at a time, however many the file has.
TEST(HostileSizes, PlimoRunOfHalfAMillionStepsAndOfMegabyteLines) {
  TempDir dir;
  WriteFile(dir.Path("run.f05"), "MD\n");
  WriteFile(dir.Path("run.f07"), kFILE07);
  WriteFile(dir.Path("run.f9p"), Repeat(" STEP\n4500 900 1800\n", 500000));
  WriteFile(dir.Path("run.f9v"), Repeat("short\n", 500000));
  CProgramRun run = RunIn(dir, {"--Action=ConvF09p", "--nOutputInterval=2147483647", "run.f9p"});
  EXPECT_PRINTS(run, "nStep: 500000\nxFactor: 0.000111111\nnOutputInterval: 2147483647\nnOutput: 1\n");
  EXPECT_PRINTS(run, "AvrCount: 499999\n");
  EXPECT_LT(FileSize(dir.Path("run.xsf")), 2000u);
  EXPECT_LT(run.seconds, kSeconds);

  // Every line a megabyte: the FILE07 counts are not numbers.
  for (const char* name : {"run.f05", "run.f07", "run.f9p", "run.f9v"})
    WriteFile(dir.Path(name), Repeat(kMB + "\n", 6));
  run = RunIn(dir, {"--Action=ConvF09p", "run.f9p"});
  EXPECT_PRINTS(run, "Error in CPlimo::ReadFILE07: line 2 does not hold the numbers of atoms and atom types in "
                     "[run.f07].\nnAtomSites: 0  nAtomType: 0\n");
  EXPECT_LT(run.out.size(), 10000000u);
  EXPECT_LT(run.seconds, kSeconds);
}

const char* const kFILE05 =
    "MD   t                                                              :\n"
    "    2    1    0    0    0                                          :\n"
    "NSTEP    1000.0    2.9    100.    10.    1.    0.5                :\n"
    "    9    2  300    1                                               :\n"
    "TEMP        1200.00    -2.50      10.                              :\n"
    "PRESSURE   0.0001    0.0001    0.0001                              :\n";

TEST(HostileSizes, UpdateFILE05CopiesMillionsOfLinesAndMegabyteLines) {
  TempDir dir;
  WriteFile(dir.Path("run.f05"), kFILE05 + Repeat("   1.0000   :\n", 1000000));
  CProgramRun run = RunIn(dir, {"--Action=UpdateFILE05", "--sn=2147483647", "run.f05"});
  EXPECT_PRINTS(run, "Update [run.f05] to [run-2147483647.f05].\n");
  // The six edited lines are followed by the two million copied ones.
  const std::string tail = Repeat("   1.0000   :\n", 1000000);
  const std::string updated = ReadFile(dir.Path("run-2147483647.f05"));
  ASSERT_GT(updated.size(), tail.size());
  EXPECT_EQ(updated.compare(updated.size() - tail.size(), tail.size(), tail), 0);
  EXPECT_EQ(updated.compare(0, 6, "MD   t"), 0) << updated.substr(0, 500);
  size_t lines = 0;
  for (char c : updated) lines += c == '\n';
  EXPECT_EQ(lines, 1000006u);
  EXPECT_LT(run.seconds, kSeconds);

  // A line of a megabyte counts as one line: the edited lines are those that
  // follow it, and it is copied whole.
  WriteFile(dir.Path("big.f05"), kMB + "\n" + kMB + "\n" + std::string(kFILE05).substr(std::string(kFILE05).find("NSTEP")));
  run = RunIn(dir, {"--Action=UpdateFILE05", "--nCycle=7", "big.f05"});
  const std::string copy = ReadFile(dir.Path("big.f05.new"));
  EXPECT_EQ(copy.compare(0, kMB.size() + 1, kMB + "\n"), 0);
  EXPECT_NE(copy.find("NSTEP        00007.    00002.      100.      10.        1.            :\n"), std::string::npos);
  EXPECT_LT(run.seconds, kSeconds);
}

const char* const kF06Head =
    " Number of steps :   120   time step of   2.000 fs\n"
    " Ensemble\n"
    " Step Time(ps)  Temp(K) P(GPa)  (  Pxx   Pyy   Pzz   Pxy   Pxz   Pyz)  U:Coulomb    Short 3-body  Kinet.     "
    "Total  Density\n";
const char* const kF06Row =
    "     5    0.010 313.7   1.0407(  0.58  1.48 12.16 -0.38 -1.43 -1.16) -98780.93  2349.17 123.30 467.65 "
    "-95850.66   2.6484\n";

// Three hundred thousand repeated step rows and a million other lines give
// one History row (a step is taken once);
// an existing table with a last line of a megabyte is continued from it.
TEST(HostileSizes, HistoryFromMillionsOfRowsAndMegabyteLines) {
  TempDir dir;
  WriteFile(dir.Path("q.f06"), kF06Head + Repeat(kF06Row, 300000) + Repeat("<\n", 1000000));
  CProgramRun run = RunIn(dir, {"--Action=AddHistoryCSV", "--nOutputInterval=-2147483648", "q.f06"});
  EXPECT_PRINTS(run, "nOutputInterval: -2147483648\n");
  EXPECT_EQ(ReadFile(dir.Path("q-History.csv")),
            "sn,time(fs),Temp(K),P(GPa),Pxx,Pyy,Pzz,Pxy,Pxz,Pyz,U:Coulomb(J/mol),Short,3-body,Kinet.,Total,"
            "Density(cm-3)\n"
            "5,10,313.7,1.0407,0.58,1.48,12.16,-0.38,-1.43,-1.16,-98780.9,2349.17,123.3,467.65,-95850.7,2.6484\n");
  EXPECT_LT(run.seconds, kSeconds);

  WriteFile(dir.Path("r.f06"), kMB + "\n" + kF06Head + kMB + "(" + kMB + ")\n" + kF06Row);
  // The table is read in pieces like every file: the last piece of its last
  // line holds no number, so the new rows continue from 0.
  WriteFile(dir.Path("r-History.csv"), "header\n7" + kMB + "\n");
  run = RunIn(dir, {"--Action=AddHistoryCSV", "r.f06"});
  EXPECT_PRINTS(run, "StepOffset: 0\nTimeOffset: 0 fs\n");
  EXPECT_PRINTS(run, " sn=5  T=313.7 ");
  EXPECT_LT(FileSize(dir.Path("r-History.csv")), kMB.size() + 10000);
  EXPECT_LT(run.seconds, kSeconds);
}

const char* const kPOSCAR = "t\n1.0\n5 0 0\n0 5 0\n0 0 5\n1\nDirect\n0.1 0.2 0.3\n";

// A POTCAR dataset of two million lines, an OUTCAR of a million position
// table headings without a cell, and files of megabyte lines.
TEST(HostileSizes, VASPRunOfMillionsOfLinesAndMegabyteLines) {
  TempDir dir;
  WriteFile(dir.Path("POTCAR"), " PAW_PBE Si 05Jan2001\n" + Repeat(" 0.1 0.2 0.3\n", 2000000) + " End of Dataset\n");
  WriteFile(dir.Path("POSCAR"), kPOSCAR);
  WriteFile(dir.Path("CONTCAR"), kPOSCAR);
  CProgramRun run = RunIn(dir, {"--Action=VASPConvCONTCAR"});
  EXPECT_PRINTS(run, "nAtomTypes: 1\n  nEachAtoms[0]=1\n  Site: Si1 (0.1,0.2,0.3) => (0.1,0.2,0.3) 1\n");
  EXPECT_TRUE(FileExists(dir.Path("t-final.cif")));
  EXPECT_LT(run.seconds, kSeconds);

  WriteFile(dir.Path("OUTCAR"), Repeat(" POSITION   TOTAL-FORCE (eV/Angst)\n", 1000000));
  run = RunIn(dir, {"--Action=VASPMakeXSF", "--nLastStep=2147483647"});
  EXPECT_PRINTS(run, "nStep: 1000000\nnOutputInterval: 1\nnOutput: 1000000\n");
  EXPECT_PRINTS(run, "Error in ReadNextCrystalStructureFromOUTCAR: an ionic step of OUTCAR has no cell block.\n");
  EXPECT_EQ(ReadFile(dir.Path("OUTCAR.xsf")), "ANIMSTEPS 1000000\nCRYSTAL\n\n");
  EXPECT_LT(run.seconds, kSeconds);

  for (const char* name : {"POTCAR", "POSCAR", "CONTCAR", "OUTCAR", "INCAR"})
    WriteFile(dir.Path(name), Repeat(kMB + "\n", 12));
  run = RunIn(dir, {"--Action=VASPConvCONTCAR"});
  run = RunIn(dir, {"--Action=VASPMakeXSF"});
  EXPECT_LT(run.out.size(), 1000000u);
  EXPECT_LT(run.seconds, kSeconds);
}

const char* const kPWScfInput =
    " &CONTROL\n    title='t'\n /\n &SYSTEM\n    A = 5.0 ,\n    B = 5.0 ,\n    C = 5.0 ,\n    cosAB = 0.0 ,\n    cosAC = 0.0 ,\n"
    "    cosBC = 0.0 ,\n /\n"
    "ATOMIC_SPECIES\n   Si   28.0855  Si.UPF\nATOMIC_POSITIONS (crystal)\n   Si    0.1 0.2 0.3\nK_POINTS gamma\n";

// Two hundred thousand steps of one atom (a million lines): the output file
// is read twice, the working crystal keeps one step.
TEST(HostileSizes, PWScfOutputOfMillionsOfLinesAndMegabyteLines) {
  TempDir dir;
  WriteFile(dir.Path("q.inp"), kPWScfInput);
  WriteFile(dir.Path("q.out"), Repeat("     Forces acting on atoms (cartesian axes, Ry/au):\n\n"
                                      "     atom    1 type  1   force =     0.1    0.2   0.3\n"
                                      "ATOMIC_POSITIONS (crystal)\nSi 0.5 0.5 0.5\n",
                                      200000));
  CProgramRun run = RunIn(dir, {"--Action=PWScfConvOutput", "--nOutputInterval=2147483647", "q.out"});
  EXPECT_PRINTS(run, "nAtomSites: 1  nAtomType: 1\nnStep: 200000\nnOutputInterval: 2147483647\nnOutput: 1\n");
  EXPECT_NE(ReadFile(dir.Path("q-final.cif")).find(" 0.500000 "), std::string::npos);
  EXPECT_LT(FileSize(dir.Path("q.xsf")), 2000u);
  EXPECT_LT(run.seconds, kSeconds);

  WriteFile(dir.Path("q.inp"), Repeat(kMB + "\n", 3) + kPWScfInput + kMB);
  WriteFile(dir.Path("q.out"), Repeat(kMB + "\nATOMIC_POSITIONS\n" + kMB + "\n", 4));
  run = RunIn(dir, {"--Action=PWScfConvOutput", "q.out"});
  EXPECT_PRINTS(run, "nStep: 4\n");
  EXPECT_LT(run.seconds, kSeconds);
}

const char* const kCASTEP =
    "                                      Unit Cell\n"
    "                       Lattice parameters(A)       Cell Angles\n"
    "                    a =    5.430000          alpha =   90.000000\n"
    "                    b =    5.430000          beta  =   90.000000\n"
    "                    c =    5.430000          gamma =   90.000000\n"
    "            x  Element    Atom        Fractional coordinates of atoms  x\n"
    "            x            Number           u          v          w      x\n"
    "            x----------------------------------------------------------x\n"
    "            x  Si           1         0.000000   0.000000   0.000000   x\n"
    "            xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\n";

// A million force blocks: the first step reads to the end of the file, the
// other steps find nothing and keep no sites.
TEST(HostileSizes, CASTEPOutputOfAMillionForceBlocksAndMegabyteLines) {
  TempDir dir;
  WriteFile(dir.Path("s.castep"), kCASTEP + Repeat(" ** Forces **\n", 1000000));
  CProgramRun run = RunIn(dir, {"--Action=CASTEPConvOutput", "--nOutputInterval=2147483647", "s.castep"});
  EXPECT_PRINTS(run, "nAtomSites: 1  nAtomType: 1\nnStep: 999999\nnOutputInterval: 2147483647\nnOutput: 1\n");
  EXPECT_PRINTS(run, "  **No data for final structure.\n    Skipped.\n");
  EXPECT_LT(run.seconds, kSeconds);

  WriteFile(dir.Path("s.castep"), Repeat(kMB + "\n", 4) + kCASTEP + kMB + "\n ** Forces **\n" + kMB);
  run = RunIn(dir, {"--Action=CASTEPConvOutput", "s.castep"});
  EXPECT_PRINTS(run, "nAtomSites: 1  nAtomType: 1\nnStep: 0\n");
  EXPECT_LT(run.seconds, kSeconds);
}

const char* const kTranSIESTALog =
    "UnitCell::LatticeConstant   5.430000 Ang\n"
    "%block Bulk::UnitCell\n"
    "     5.430000000    0.000000000    0.000000000\n"
    "     0.000000000    5.430000000    0.000000000\n"
    "     0.000000000    0.000000000    5.430000000\n"
    "%endblock Bulk::UnitCell\n"
    "%block Bulk::AtomList\n"
    "Si         1.000000       1.000000       1.000000\n"
    "%endblock Bulk::AtomList\n";

// One step whose forces table is followed by a million lines, and an ATK
// file of a million lines: both are streamed once.
TEST(HostileSizes, TranSIESTALogOfMillionsOfLinesAndMegabyteLines) {
  TempDir dir;
  WriteFile(dir.Path("s.out"), kTranSIESTALog + std::string("#   Forces     in eV/Ang\n#\n#\n#\n") +
                                   Repeat("    2.7 2.7 2.7 0 0 0 0.5 0 0\n", 1000000));
  WriteFile(dir.Path("s.atk"), "UnitCell::LatticeConstant 1 Ang\n%block Bulk::UnitCell\n1 0 0\n0 1 0\n0 0 1\n"
                               "%endblock Bulk::UnitCell\n%block Bulk::AtomList\n" +
                                   Repeat("x\n", 1000000) + "%endblock Bulk::AtomList\n" + kMB + "\n");
  CProgramRun run = RunIn(dir, {"--Action=TranSIESTAConvOutput", "s.out"});
  EXPECT_PRINTS(run, "nAtomSites: 1  nAtomType: 1\nnStep: 1\n");
  EXPECT_PRINTS(run, "natoms: 1\n");
  // The atom list is rewritten with the one atom; the line of a megabyte
  // after it is copied whole.
  const std::string updated = ReadFile(dir.Path("s.atk.new"));
  EXPECT_EQ(updated.find("\nx\n"), std::string::npos);
  EXPECT_NE(updated.find("%endblock Bulk::AtomList\n" + kMB + "\n"), std::string::npos);
  EXPECT_LT(updated.size(), kMB.size() + 1000);
  EXPECT_LT(run.seconds, kSeconds);

  WriteFile(dir.Path("s.out"), kMB + "\n" + kTranSIESTALog + kMB + "\n#   Forces     in eV/Ang\n" + Repeat(kMB + "\n", 4));
  run = RunIn(dir, {"--Action=TranSIESTAConvOutput", "s.out"});
  EXPECT_PRINTS(run, "nAtomSites: 1  nAtomType: 1\nnStep: 1\n");
  EXPECT_LT(run.seconds, kSeconds);
}

// Every keyword is searched from the start of the file: a million lines in
// front of them are read five times.
TEST(HostileSizes, GULPInputOfAMillionLinesAndMegabyteLines) {
  TempDir dir;
  WriteFile(dir.Path("m.gin"), Repeat("# comment\n", 1000000) + "cell\n4.2 4.2 4.2 90 90 90\nfrac\nMg core 0 0 0\n");
  CProgramRun run = RunIn(dir, {"--Action=GULPMakeCIFFromInput", "m.gin"});
  EXPECT_PRINTS(run, "Lattice parameters: 4.2 4.2 4.2 A  90 90 90\n0: Mg (0): (0,0,0) [occ=1]\n");
  EXPECT_LT(run.seconds, kSeconds);

  WriteFile(dir.Path("m.gin"), "title\n" + kMB + "\ncell\n" + kMB + "\nfrac\n" + kMB + "\nspace\n" + kMB + "\n");
  run = RunIn(dir, {"--Action=GULPMakeCIFFromInput", "m.gin"});
  EXPECT_PRINTS(run, "Crystal: " + std::string(4095, 'x') + "\n");
  EXPECT_LT(run.seconds, kSeconds);
}

const char* const kStruct =
    "Al fcc\n"
    "F   LATTICE,NONEQUIV.ATOMS:  1 225_Fm-3m\n"
    "MODE OF CALC=RELA unit=bohr\n"
    "  7.670000  7.670000  7.670000 90.000000 90.000000 90.000000\n"
    "ATOM  -1: X=0.00000000 Y=0.00000000 Z=0.00000000\n"
    "          MULT= 1          ISPLIT= 8\n"
    "Al         NPT=  781  R0=0.00010000 RMT=    2.5000   Z: 13.0\n"
    "LOCAL ROT MATRIX:    1.0000000 0.0000000 0.0000000\n"
    "                     0.0000000 1.0000000 0.0000000\n"
    "                     0.0000000 0.0000000 1.0000000\n";

// A structure file announcing 2147483647 operations and holding 400000: the
// first 512 are kept.
TEST(HostileSizes, WIEN2kStructureOfMillionsOfLinesAndMegabyteLines) {
  TempDir dir;
  WriteFile(dir.Path("a.struct"), kStruct + std::string("2147483647      NUMBER OF SYMMETRY OPERATIONS\n") +
                                      Repeat(" 0 1 0 0.00000000\n 1 0 0 0.00000000\n 0 0 1 0.00000000\n", 400000));
  CProgramRun run = RunIn(dir, {"--Action=WIENMakeCIFFromStruct", "a.struct"});
  EXPECT_PRINTS(run, "nSymmetry: 2147483647\n");
  const std::string cif = ReadFile(dir.Path("a.cif"));
  size_t operations = 0;
  for (size_t at = cif.find("\n  'y,x,z'"); at != std::string::npos; at = cif.find("\n  'y,x,z'", at + 1)) ++operations;
  EXPECT_EQ(operations, 512u);
  EXPECT_LT(cif.size(), 100000u);
  EXPECT_LT(run.seconds, kSeconds);

  WriteFile(dir.Path("b.struct"), Repeat(kMB + "\n", 3) + kMB + " X=1 Y=2 Z=3 " + kMB + "\n" + Repeat(kMB + "\n", 3));
  run = RunIn(dir, {"--Action=WIENMakeCIFFromStruct", "b.struct"});
  EXPECT_TRUE(FileExists(dir.Path("b.cif")));
  EXPECT_LT(run.seconds, kSeconds);
}

const char* const kDOSHeader = "# BAND\n#EF=0\n# ENERGY total\n";

// The .int file announces 2147483647 orbitals: only the lines it holds become
// columns. A DOS file of a million energies gives a table of as many lines.
TEST(HostileSizes, WIEN2kDOSOfMillionsOfLinesAndMegabyteLines) {
  TempDir dir;
  WriteFile(dir.Path("a.int"), "t\n -0.5 0.002 1.5 0.003\n2147483647    N   0.000\n" + Repeat("    0    1\n", 1000000) +
                                   "    1    1   Si-s\n");
  CProgramRun run = RunIn(dir, {"--Action=WIENConvDOS", "a.int"});
  EXPECT_PRINTS(run, "nOrbitals: 2147483647\n  Orb[1000000]: Si-s\n.dos1ev: a.dos1ev\n  dose not exist. Skipped.\n");
  EXPECT_LT(run.seconds, kSeconds);

  WriteFile(dir.Path("b.int"), "t\n x\n    1    N\n    0    1   total\n");
  WriteFile(dir.Path("b.dos1ev"), kDOSHeader + Repeat("-1.5 0.25\n", 1000000));
  run = RunIn(dir, {"--Action=WIENConvDOS", "b.int"});
  EXPECT_PRINTS(run, "  nData     : 1000000\n  nSpectrum1: 1\n");
  const std::string csv = ReadFile(dir.Path("b.dos.csv"));
  EXPECT_EQ(csv.size(), std::string("Energy(eV),total\n").size() + 1000000 * std::string("-1.5,0.25\n").size());
  EXPECT_LT(run.seconds, kSeconds);

  // A first data line of a megabyte counts its words piece by piece; the
  // columns stay those of the .int file.
  WriteFile(dir.Path("b.dos1ev"), kDOSHeader + Repeat("1 ", 500000) + "\n" + kMB + "\n");
  run = RunIn(dir, {"--Action=WIENConvDOS", "b.int"});
  EXPECT_EQ(ReadFile(dir.Path("b.dos.csv")).substr(0, 17), "Energy(eV),total\n");
  EXPECT_LT(FileSize(dir.Path("b.dos.csv")), 100000u);
  EXPECT_LT(run.seconds, kSeconds);
}

TEST(HostileSizes, DVXaF01OfMillionsOfLinesAndMegabyteLines) {
  TempDir dir;
  const std::string body = Repeat("  0.7000  alpha\n", 1000000);
  WriteFile(dir.Path("F01"), "|title\n" + body);
  CProgramRun run = RunIn(dir, {"--Action=DVXaF01Conv", "F01"});
  EXPECT_EQ(ReadFile(dir.Path("F01")), "|title\n" + body);
  EXPECT_EQ(ReadFile(dir.Path("F01.prev")), "|title\n" + body);
  EXPECT_LT(run.seconds, kSeconds);

  // A line of a megabyte arrives in pieces: the keyword is found in the
  // piece that holds it, and what stands before it in that piece is replaced
  // by the switch; the other pieces are copied unchanged.
  const std::string line = std::string(5000, 'a') + "Spin" + kMB + "\n";
  WriteFile(dir.Path("G01"), "|t\n" + line);
  run = RunIn(dir, {"--Action=DVXaF01Conv", "G01"});
  EXPECT_EQ(ReadFile(dir.Path("G01")), "|t\n" + std::string(4095, 'a') + "    1     " + "Spin" +
                                           kMB + "\n");
  EXPECT_LT(run.seconds, kSeconds);
}

// Counts that files give of -1, 0 and 2147483647: the atoms and types of
// FILE07, the atom count of POSCAR, the operations of a structure file, the
// orbitals of a .int file, the operation lines of a space-group record and the
// configuration lines of an element. Each is taken for what the file holds;
// none sizes a table or a loop of its own.
TEST(HostileSizes, CountsOfMinusOneZeroAndTheLargestInteger) {
  for (const std::string n : {"-1", "0", "2147483647"}) {
    SCOPED_TRACE(n);
    TempDir dir;
    const bool bHuge = n == "2147483647";
    for (const std::string& counts : {n + " 1", "1 " + n}) {
      WriteFile(dir.Path("run.f07"), std::string(kFILE07).replace(std::string(kFILE07).find("    1    1"), 10, counts));
      WriteFile(dir.Path("run.f9p"), " STEP\n4500 900 1800\n");
      WriteFile(dir.Path("run.f9v"), "short\n");
      CProgramRun run = RunIn(dir, {"--Action=ConvF09p", "run.f9p"});
      EXPECT_PRINTS(run, "Error in CPlimo::ReadFILE07: ");
      EXPECT_PRINTS(run, "nAtomSites: 0  nAtomType: 0\nnStep: 1\n");
      EXPECT_LT(run.seconds, kSeconds);
    }

    WriteFile(dir.Path("POTCAR"), " PAW_PBE Si 05Jan2001\n End of Dataset\n");
    WriteFile(dir.Path("POSCAR"), std::string(kPOSCAR).replace(std::string(kPOSCAR).find("\n1\n") + 1, 1, n));
    CProgramRun run = RunIn(dir, {"--Action=VASPMakeXSF"});
    EXPECT_PRINTS(run, n == "-1"  ? "Error in CVASP::ReadPOSCARFile: [POSCAR] gives no valid atom count for [Si].\n"
                       : bHuge ? "Error in CVASP::ReadPOSCARFile: [POSCAR] lists 2147483647 atoms, but only 1 "
                                 "position lines follow.\n"
                               : "  nEachAtoms[0]=0\n");
    EXPECT_LT(run.seconds, kSeconds);

    WriteFile(dir.Path("a.struct"), kStruct + n + "      NUMBER OF SYMMETRY OPERATIONS\n" +
                                        " 0 1 0 0.00000000\n 1 0 0 0.00000000\n 0 0 1 0.00000000\n");
    run = RunIn(dir, {"--Action=WIENMakeCIFFromStruct", "a.struct"});
    EXPECT_PRINTS(run, "nSymmetry: " + n + "\n");
    if (bHuge) {
      EXPECT_PRINTS(run, "] ends after 1 of 2147483647 symmetry operations.\n");
    }
    EXPECT_TRUE(FileExists(dir.Path("a.cif")));

    WriteFile(dir.Path("a.int"), "t\nt\n" + n + "    N\n    0    1   total\n    1    1   Si-s\n");
    WriteFile(dir.Path("a.dos1ev"), std::string(kDOSHeader) + "-1.5 0.25\n");
    run = RunIn(dir, {"--Action=WIENConvDOS", "a.int"});
    EXPECT_PRINTS(run, "nOrbitals: " + n + "\n");
    EXPECT_EQ(ReadFile(dir.Path("a.dos.csv")), bHuge ? "Energy(eV),total,Si-s\n-1.5,0.25,0\n" : "Energy(eV)\n-1.5\n");

    WriteFile(dir.Path("nonrel"), "Mg\n0 0 " + n + "\n12\n" + Repeat("  1s2\n", 100) + "Si\n0 0 1\n14\n  1s2\n");
    WriteFile(dir.Path("asfdc"), "Mg 24.305\n");
    WriteFile(dir.Path("spgra"), "225 1 0 0 " + n + " F m -3 m\ncubic\n" + Repeat("-x,-y,-z\n", 1000));
    WriteFile(dir.Path("m.gin"), "cell\n4.2 4.2 4.2 90 90 90\nfrac\nMg core 0 0 0\nspace\nF m -3 m\n");
    run = RunIn(dir, {"--DBDir=" + dir.Dir(), "--Action=GULPMakeCIFFromInput", "m.gin"});
    EXPECT_PRINTS(run, "SPG: Fm-3m\n");
    const std::string cif = ReadFile(dir.Path("m.cif"));
    size_t operations = 0;
    for (size_t at = cif.find("\n  '-x,-y,-z'"); at != std::string::npos; at = cif.find("\n  '-x,-y,-z'", at + 1))
      ++operations;
    EXPECT_EQ(operations, bHuge ? 511u : 0u);
    EXPECT_LT(run.seconds, kSeconds);
  }
}

}  // namespace
}  // namespace quorvel
