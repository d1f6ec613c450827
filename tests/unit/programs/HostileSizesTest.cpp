// Hostile inputs for every reader, as full disks, runaway jobs and foreign files leave them: millions of
// lines, lines of a megabyte, counts of -1, 0 and the largest integer, binary garbage. Each run goes through
// the whole program, ends normally with the reader's own messages, and writes and prints no more than the
// files hold. (The fuzz targets stay below 64 kB; bench/ measures the time.)
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/RunFrame.h"
#include "text/TextUtil.h"
#include "tests/unit/TestFiles.h"

namespace quorvel {
namespace {

const std::string kMB(1 << 20, 'x');

std::string Repeat(const std::string& text, size_t n) {
  std::string all;
  for (size_t i = 0; i < n; ++i) all += text;
  return all;
}

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// Files for a fresh directory ("D/" in args and printed), the arguments after the program name, texts
// standard output must hold (those of once exactly one time), and what must hold of the files afterwards.
struct Hostile {
  std::map<std::string, std::string> files;
  std::vector<std::string> args, printed;
  std::function<void(const TempDir&)> check = [](const TempDir&) {};
  std::vector<std::string> once = {};
};

// A case made only when it runs: all of them at once would fill hundreds of megabytes.
#define HOSTILE(...) [&] { return Hostile{__VA_ARGS__}; }

// One run with the shipped databases, unless the case names its own.
void Survives(const Hostile& h) {
  TempDir dir;
  size_t inputBytes = 0;
  for (const auto& [name, text] : h.files) {
    WriteFile(dir.Path(name), text);
    inputBytes += text.size();
  }
  auto inDir = [&](std::string s) {
    for (size_t at = s.find("D/"); at != std::string::npos; at = s.find("D/", at + dir.Dir().size()))
      s.replace(at, 1, dir.Dir());
    return s;
  };
  std::vector<std::string> args = {"quorvel", std::string("--DBDir=") + QUORVEL_SOURCE_DATA_DIR};
  for (const std::string& a : h.args) args.push_back(inDir(a));
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  SCOPED_TRACE(h.args.front() + " " + h.args.back());
  testing::internal::CaptureStdout();
  // Done or failed, as the input allows: never an invalid command line.
  const int status = RunQuorvel(static_cast<int>(argv.size()), argv.data());
  EXPECT_TRUE(status == 0 || status == 1) << status;
  const std::string out = testing::internal::GetCapturedStdout();
  for (const std::string& text : h.printed)
    EXPECT_NE(out.find(inDir(text)), std::string::npos) << out.substr(0, 3000);
  for (const std::string& text : h.once) EXPECT_EQ(Count(out, inDir(text)), 1u) << text;
  EXPECT_LT(out.size(), inputBytes + kMB.size());
  for (const auto& entry : std::filesystem::directory_iterator(dir.Dir()))
    EXPECT_LT(entry.file_size(), inputBytes + kMB.size()) << entry.path();
  h.check(dir);
}

const std::string kFILE07 =
    " t\n    1    1\n   Si\n    1\n m\n c\n f\n   1.0000   4.9160   4.9160   5.4050\n ATOMIC POSITIONS\n"
    "    1  Si       2.30905     0.00000     0.00000        0.46970  0.00000  0.00000\n";
const std::string kPOSCAR = "t\n1.0\n5 0 0\n0 5 0\n0 0 5\n1\nDirect\n0.1 0.2 0.3\n";
const std::string kPOTCAR = " PAW_PBE Si 05Jan2001\n End of Dataset\n";
const std::string kCASTEPCell = "Unit Cell\nLattice parameters(A)\n a = 5.43 alpha = 90\n b = 5.43 beta = 90\n"
                                "c = 5.43 gamma = 90\n x Fractional coordinates of atoms x\n x u v w x\n x---x\n";
const std::string kCASTEPForces = " " + std::string(35, '*') + " Forces " + std::string(35, '*') +
                                  "\n * Si        1      0.10000             -0.20000              0.30000         *\n " +
                                  std::string(78, '*') + "\n";
const std::string kStruct = "Al\nF   LATTICE,NONEQUIV.ATOMS:  1 225_Fm-3m\nunit=bohr\n7.67 7.67 7.67 90 90 90\n"
                            "ATOM  -1: X=0.0 Y=0.0 Z=0.0\n   MULT= 1\nAl  NPT=  781   Z: 13.0\nLOCAL\n 0 1 0\n 0 0 1\n";
const std::string kSwapXY = " 0 1 0 0.00000000\n 1 0 0 0.00000000\n 0 0 1 0.00000000\n";
const std::string kDOSHead = "# BAND\n#EF=0\n# ENERGY total\n";
// A pw.x output's header of n atoms ("%s": the count it announces) and their tau lines.
std::string PwHeader(const std::string& count, int n) {
  std::string text = "     lattice parameter (alat)  =      10.2000  a.u.\n     number of atoms/cell      =  " + count +
                     "\n     crystal axes: (cart. coord. in units of alat)\n"
                     "               a(1) = (  -0.500000   0.000000   0.500000 )\n"
                     "               a(2) = (   0.000000   0.500000   0.500000 )\n"
                     "               a(3) = (  -0.500000   0.500000   0.000000 )\n"
                     "     site n.     atom                  positions (alat units)\n";
  for (int i = 1; i <= n; ++i) text += Format("  %5d  Si  tau(%5d) = ( 0.0000001 0.2500000 %.7f )\n", i, i, i * 1e-4);
  return text + "     Forces acting on atoms (cartesian axes, Ry/au):\n\n";
}

const std::string kCIFCell = "data_a\n_cell_length_a 20\n_cell_length_b 20\n_cell_length_c 20\n_cell_angle_alpha 90\n"
                             "_cell_angle_beta 90\n_cell_angle_gamma 90\n";

TEST(HostileSizes, MillionsOfLinesAndTablesBeyondTheirCapacities) {
  std::string sites, rows;
  for (int i = 0; i < 100000; ++i)
    sites += Format("Si%d Si 1 a %.4f %.4f %.4f 1.0 0 d\n", i, i % 16 / 16.0, i / 16 % 16 / 16.0, i / 256 / 16.0);
  for (int k = 1; k <= 20000; ++k) rows += Format("    x  Si %12d         0.%06d   0.500000   0.250000   x\n", k, k);
  const std::string refused = "nAtomAsymSites [10000] exceeds maximum [10000]: 10000 sites are left out.\n";
  const char* const elements[60] = {"H",  "He", "Li", "Be", "B",  "C",  "N",  "O",  "F",  "Ne", "Na", "Mg",
                                    "Al", "Si", "P",  "S",  "Cl", "Ar", "K",  "Ca", "Sc", "Ti", "V",  "Cr",
                                    "Mn", "Fe", "Co", "Ni", "Cu", "Zn", "Ga", "Ge", "As", "Se", "Br", "Kr",
                                    "Rb", "Sr", "Y",  "Zr", "Nb", "Mo", "Tc", "Ru", "Rh", "Pd", "Ag", "Cd",
                                    "In", "Sn", "Sb", "Te", "I",  "Xe", "Cs", "Ba", "La", "Ce", "Pr", "Nd"};
  std::string sixtyElements;
  for (int i = 0; i < 3000; ++i)
    sixtyElements += Format("%s %s%d %.4f %.4f %.4f\n", elements[i / 50], elements[i / 50], i, i % 16 / 16.0,
                            i / 16 % 16 / 16.0, i / 256 / 16.0);
  const std::function<Hostile()> cases[] = {
      // The CIF reader keeps what its tables hold; 256 copies of the identity put every site onto itself.
      HOSTILE({{"a.cif", kCIFCell + "loop_\n_symmetry_equiv_pos_as_xyz\n" + Repeat("'x,y,z'\n", 1000000) +
                             "\nloop_\n_atom_type_symbol\n_atom_type_oxidation_number\n" + Repeat("Si 0\n", 100000) +
                             "\nloop_\n_atom_site_label\n_atom_site_calc_flag\n" + sites + "\n"}},
              {"--Action=ShowCIFInf", "D/a.cif"},
              {"[D/a.cif] has more than 256 symmetry operations; only the first 256 are read.\n",
               "[D/a.cif] has more than 50 atom types; only the first 50 are read.\n",
               "[D/a.cif] has more than 4096 atom sites; only the first 4096 are read.\n",
               "Chemical composition:\n  Si: 4096\n"}),
      // A file read by its tags with 60 elements, 50 sites each: the type table keeps the first 50 elements,
      // and the 500 sites of the other ten are left without a type, which is said once for all of them
      // (not once for every site, nor for the sites of types already in the full table).
      HOSTILE({{"b.cif", kCIFCell + "loop_\n_atom_site_type_symbol\n_atom_site_label\n_atom_site_fract_x\n"
                                    "_atom_site_fract_y\n_atom_site_fract_z\n" + sixtyElements}},
              {"--Action=ShowCIFInf", "D/b.cif"},
              {"read by its tags", "Chemical composition:\n   H: 50\n"}, [](const TempDir&) {},
              {"[D/b.cif]: more than 50 atom types; 500 sites are left without a type.\n"}),
      // Databases of millions of entries that never match, and of megabyte lines.
      HOSTILE({{"nonrel", Repeat("Xx\n0 0 2147483647\n", 500000) + kMB + "\nSi\n0 0 1\n14\n" + kMB + "\n"},
               {"asfdc", Repeat("Xx 1.0\n", 1000000) + kMB + "\nSi 28.0855\n"},
               {"a.cif", kCIFCell + "loop_\n_atom_site_calc_flag\nSi1 Si 1 a 0 0 0 1 0 d\n"}},
              {"--DBDir=D/", "--Action=ShowCIFInf", "D/a.cif"}, {"  Si Z=14 q=0 m=28.0855\n"}),
      HOSTILE({{"spgra", Repeat("1 1 0 0 0 P 1\n\n", 500000) + kMB + "\n"}, {"a.gin", "space\nP 1 x\n"}},
              {"--DBDir=D/", "--Action=GULPMakeCIFFromInput", "D/a.gin"}, {"SPG: P1x\n"}),
      // Half a million Plimo steps with one written: one frame at a time is held.
      HOSTILE({{"r.f05", "MD\n"}, {"r.f07", kFILE07}, {"r.f9p", Repeat(" STEP\n4500 900 1800\n", 500000)},
               {"r.f9v", Repeat("short\n", 500000)}},
              {"--Action=ConvF09p", "--nOutputInterval=2147483647", "D/r.f9p"},
              {"nStep: 500000\nxFactor: 0.000111111\n", "nOutput: 1\n", "AvrCount: 499999\n"},
              [](const TempDir& d) { EXPECT_LT(ReadFile(d.Path("r.xsf")).size(), 2000u); }),
      // Six edited lines, then a million copied ones.
      HOSTILE({{"r.f05", "MD\n2\nNSTEP 1000. 2.9 100. 10. 1. 0.5\n4\nTEMP      1200.00 -2.50 10.\n"
                         "PRESSURE 0 0 0\n" + Repeat("   1.0000   :\n", 1000000)}},
              {"--Action=UpdateFILE05", "--sn=2147483647", "D/r.f05"}, {"Update [D/r.f05] to [D/r-2147483647.f05].\n"},
              [](const TempDir& d) { EXPECT_EQ(Count(ReadFile(d.Path("r-2147483647.f05")), "1.0000"), 1000000u); }),
      // Three hundred thousand repeats of one step row give one History row.
      HOSTILE({{"q.f06", " time step of   2.000 fs\n\n Step Time(ps)  Temp(K)\n" +
                             Repeat("     5    0.010 313.7   1.0407(  0.58  1.48 12.16 -0.38 -1.43 -1.16) "
                                    "-98780.93  2349.17 123.30 467.65 -95850.66   2.6484\n", 300000) +
                             Repeat("<\n", 1000000)}},
              {"--Action=AddHistoryCSV", "--nOutputInterval=-2147483648", "D/q.f06"}, {"Interval: -2147483648\n"},
              [](const TempDir& d) { EXPECT_EQ(Count(ReadFile(d.Path("q-History.csv")), "\n5,10,313.7,"), 1u); }),
      // A POTCAR dataset of two million lines; an OUTCAR of a million position tables without a cell.
      HOSTILE({{"POTCAR", " PAW_PBE Si 05Jan2001\n" + Repeat(" 0.1 0.2 0.3\n", 2000000) + " End of Dataset\n"},
               {"POSCAR", kPOSCAR}, {"CONTCAR", kPOSCAR}},
              {"--Action=VASPConvCONTCAR", "D/"}, {"nEachAtoms[0]=1\n  Site: Si1 (0.1,0.2,0.3) => (0.1,0.2,0.3) 1\n"}),
      HOSTILE({{"POTCAR", kPOTCAR}, {"POSCAR", kPOSCAR}, {"OUTCAR", Repeat(" POSITION TOTAL-FORCE\n", 1000000)}},
              {"--Action=VASPMakeXSF", "--nLastStep=2147483647", "D/"},
              {"nStep: 1000000\nnOutputInterval: 1\nnOutput: 1000000\n",
               "Error in ReadNextCrystalStructureFromOUTCAR: an ionic step of OUTCAR has no cell block.\n"},
              [](const TempDir& d) { EXPECT_EQ(ReadFile(d.Path("OUTCAR.xsf")), "ANIMSTEPS 1000000\nCRYSTAL\n\n"); }),
      // Two hundred thousand pw.x steps of one atom; the working crystal keeps one step.
      HOSTILE({{"q.inp", " title='t'\n &SYSTEM\n A = 5.0 ,\n B = 5.0 ,\n C = 5.0 ,\n cosAB = 0.0 ,\n"
                         " cosAC = 0.0 ,\n cosBC = 0.0 ,\n /\nATOMIC_SPECIES\n Si 28.1 Si.UPF\n"
                         "ATOMIC_POSITIONS\n Si 0.1 0.2 0.3\n"},
               {"q.out", Repeat(" Forces acting on atoms (Ry/au):\n\n atom 1 type 1 force = 0.1 0.2 0.3\n"
                                "ATOMIC_POSITIONS (crystal)\nSi 0.5 0.5 0.5\n", 200000)}},
              {"--Action=PWScfConvOutput", "--nOutputInterval=2147483647", "D/q.out"}, {"nStep: 200000\n"},
              [](const TempDir& d) { EXPECT_EQ(Count(ReadFile(d.Path("q-final.cif")), " 0.500000 "), 3u); }),
      // A pw.x header of 20000 atoms, beyond what a structure holds: one line says so, nothing is written.
      HOSTILE({{"big.out", PwHeader("20000", 20000) + Repeat("     atom 1 type 1 force = 0.1 0.2 0.3\n", 20000)}},
              {"--Action=PWScfConvOutput", "D/big.out"}, {"nAtomSites: 0  nAtomType: 0\nnStep: 0\n"},
              [](const TempDir& d) { EXPECT_FALSE(FileExists(d.Path("big.xsf"))); },
              {"Error in PWScfConvOutput: The run has 20000 atoms, more than the 10000 a structure holds.\n"}),
      // A hundred thousand CASTEP force blocks as CASTEP prints them, each a frame of the one atom of the
      // table before them. A starting table of 20000 rows is read in parts of 16384: every row is printed,
      // 10000 are kept (the 10000 left out said once); a million empty force blocks after it are no frames
      // of it (CASTEP lists every atom), so they print nothing for its atoms.
      HOSTILE({{"s.castep", kCASTEPCell + "    x  Si  1   0.0   0.0   0.0   x\n    xxxxxxxx\n" +
                                Repeat(kCASTEPForces, 100000)}},
              {"--Action=CASTEPConvOutput", "--nOutputInterval=2147483647", "D/s.castep"},
              {"nAtomSites: 1  nAtomType: 1\nnStep: 100000\n", "Make CIFFile of final structure"},
              [](const TempDir& d) { EXPECT_EQ(Count(ReadFile(d.Path("s.xsf")), "0.1000000   -0.2000000"), 1u); }),
      HOSTILE({{"big.castep", kCASTEPCell + rows + "    xxxxxxxxxxxxxxxxxxxx\n" + Repeat(" ** Forces **\n **\n", 1000000)}},
              {"--Action=CASTEPConvOutput", "D/big.castep"},
              {"Si (0.016384,0.5,0.25)\nSi (0.016385,0.5,0.25)\n",
               "\nSi (0.02,0.5,0.25)\n" + refused + "nAtomSites: 10000  nAtomType: 1\nnStep: 0\n"},
              [](const TempDir&) {}, {refused}),
      // A TranSIESTA forces table followed by a million lines; an ATK atom list of a million lines.
      HOSTILE({{"s.out", "UnitCell::LatticeConstant 5.43 Ang\n%block\n1 0 0\n0 1 0\n0 0 1\n"
                         "%block Bulk::AtomList\nSi 1 1 1\n%endblock\n#   Forces     in eV/Ang\n#\n#\n#\n" +
                             Repeat(" 2.7 2.7 2.7 0 0 0 0.5 0 0\n", 1000000)},
               {"s.atk", "%block Bulk::AtomList\n" + Repeat("x\n", 1000000) + "%endblock Bulk::AtomList\n" +
                             kMB + "\n"}},
              {"--Action=TranSIESTAConvOutput", "D/s.out"}, {"nAtomSites: 1  nAtomType: 1\nnStep: 1\n", "natoms: 1\n"},
              [](const TempDir& d) {
                EXPECT_EQ(ReadFile(d.Path("s.atk.new")),
                          "%block Bulk::AtomList\n  Si    2.7000000000   2.7000000000   2.7000000000\n"
                          "%endblock Bulk::AtomList\n" + kMB + "\n");
              }),
      // GULP keywords are looked for from the start: a million lines before them are read five times.
      HOSTILE({{"m.gin", Repeat("# comment\n", 1000000) + "cell\n4.2 4.2 4.2 90 90 90\nfrac\nMg core 0 0 0\n"}},
              {"--Action=GULPMakeCIFFromInput", "D/m.gin"}, {"Lattice parameters: 4.2 4.2 4.2 A  90 90 90\n0: Mg "}),
      // A structure file announcing 2147483647 operations and holding 400000: the first 512 are kept, no
      // group of the database has them, and the F lattice's atom is written as its four sites in P 1.
      HOSTILE({{"a.struct", kStruct + "2147483647      NUMBER OF SYMMETRY OPERATIONS\n" + Repeat(kSwapXY, 400000)}},
              {"--Action=WIENMakeCIFFromStruct", "D/a.struct"}, {"nSymmetry: 2147483647\n"},
              [](const TempDir& d) {
                const std::string cif = ReadFile(d.Path("a.cif"));
                EXPECT_EQ(Count(cif, "\n  'x,y,z'"), 1u);
                EXPECT_EQ(Count(cif, " Al   1 i "), 4u);
              }),
      // A .int file announcing 2147483647 orbitals; a million energies; a table too large to be held.
      HOSTILE({{"a.int", "t\nt\n2147483647    N\n" + Repeat("    0    1\n", 1000000) + "    1    1   Si-s\n"}},
              {"--Action=WIENConvDOS", "D/a.int"},
              {"nOrbitals: 2147483647\n  Orb[1000000]: Si-s\n.dos1ev: D/a.dos1ev\n  dose not exist. Skipped.\n"}),
      HOSTILE({{"b.int", "t\n x\n    1    N\n    0    1   total\n"},
               {"b.dos1ev", kDOSHead + Repeat("-1.5 0.25\n", 1000000)}},
              {"--Action=WIENConvDOS", "D/b.int"}, {"  nData     : 1000000\n  nSpectrum1: 1\n"},
              [](const TempDir& d) {
                EXPECT_EQ(ReadFile(d.Path("b.dos.csv")), "Energy(eV),total\n" + Repeat("-1.5,0.25\n", 1000000));
              }),
      HOSTILE({{"c.int", "T\nT\n10000\n" + Repeat(" 1 1 o\n", 10000)},
               {"c.dos1ev", kDOSHead + Repeat("0.1 0.2\n", 7000)}},
              {"--Action=WIENConvDOS", "D/c.int"}, {"A table of 10000 orbitals by 7000 energies is too large."}),
      // A DV-Xa file of a million lines is copied as it is.
      HOSTILE({{"F01", "|title\n" + Repeat("  0.7000  alpha\n", 1000000)}},
              {"--Action=DVXaF01Conv", "D/F01"}, {"Backup file [D/F01.prev] is created.\n"},
              [](const TempDir& d) { EXPECT_EQ(ReadFile(d.Path("F01")), ReadFile(d.Path("F01.prev"))); }),
  };
  for (const auto& make : cases) Survives(make());
}

// Counts of -1, 0 and 2147483647: the atoms and types of FILE07, an atom count of POSCAR, a pw.x header's
// atoms, the operations of a structure file, the orbitals of a .int file, the operation lines of a
// space-group record and the configuration lines of an element. Each is taken for what the file holds; none sizes a table or a loop.
TEST(HostileSizes, CountsOfMinusOneZeroAndTheLargestInteger) {
  for (const std::string n : {"-1", "0", "2147483647"}) {
    const bool bHuge = n == "2147483647";
    for (const std::string& counts : {n + " 1", "1 " + n})
      Survives({{{"r.f07", std::string(kFILE07).replace(kFILE07.find("    1    1"), 10, counts)},
                 {"r.f9p", " STEP\n4500 900 1800\n"}, {"r.f9v", "short\n"}},
                {"--Action=ConvF09p", "D/r.f9p"},
                {"Error in CPlimo::ReadFILE07: ", "nAtomSites: 0  nAtomType: 0\nnStep: 1\n"}});
    Survives({{{"POTCAR", kPOTCAR}, {"POSCAR", std::string(kPOSCAR).replace(kPOSCAR.find("\n1\n") + 1, 1, n)}},
              {"--Action=VASPMakeXSF", "D/"},
              {n == "-1" ? "Error in CVASP::ReadPOSCARFile: [D/POSCAR] gives no valid atom count for [Si].\n"
               : bHuge   ? "[D/POSCAR] lists 2147483647 atoms, but only 1 position lines follow.\n"
                         : "  nEachAtoms[0]=0\n"}});
    Survives({{{"a.struct", kStruct + n + "      NUMBER OF SYMMETRY OPERATIONS\n" + kSwapXY}},
              {"--Action=WIENMakeCIFFromStruct", "D/a.struct"},
              {"nSymmetry: " + n + "\n", bHuge ? "] ends after 1 of 2147483647 symmetry operations." : "D/a.cif\n"}});
    Survives({{{"a.int", "t\nt\n" + n + "\n 0 1 total\n 1 1 Si-s\n"}, {"a.dos1ev", kDOSHead + "-1.5 0.25\n"}},
              {"--Action=WIENConvDOS", "D/a.int"}, {"nOrbitals: " + n + "\n"}, [bHuge](const TempDir& d) {
                const std::string csv = ReadFile(d.Path("a.dos.csv"));
                EXPECT_EQ(csv, bHuge ? "Energy(eV),total,Si-s\n-1.5,0.25,0\n" : "Energy(eV)\n-1.5\n");
              }});
    // A pw.x header announcing n atoms and listing one: no structure to start from.
    Survives({{{"h.out", PwHeader(n, 1) + "     atom 1 type 1 force = 0.1 0.2 0.3\n"}},
              {"--Action=PWScfConvOutput", "D/h.out"},
              {"nAtomSites: 0  nAtomType: 0\nnStep: 0\n", "No structure to start from: [D/h.out] has no complete"}});
    Survives({{{"nonrel", "Mg\n0 0 " + n + "\n12\n" + Repeat("  1s2\n", 100) + "Si\n0 0 1\n14\n  1s2\n"},
               {"asfdc", "Mg 24.305\n"}, {"spgra", "225 1 0 0 " + n + " F m -3 m\nc\n" + Repeat("-x,-y,-z\n", 1000)},
               {"m.gin", "cell\n4.2 4.2 4.2 90 90 90\nfrac\nMg core 0 0 0\nspace\nF m -3 m\n"}},
              {"--DBDir=D/", "--Action=GULPMakeCIFFromInput", "D/m.gin"}, {"SPG: Fm-3m\n"}, [bHuge](const TempDir& d) {
                EXPECT_EQ(Count(ReadFile(d.Path("m.cif")), "\n  '-x,-y,-z'"), bHuge ? 511u : 0u);
              }});
  }
}

// Lines of a megabyte, and a megabyte of binary garbage of every byte value, as every input of every action.
TEST(HostileSizes, MegabyteLinesAndBinaryGarbage) {
  std::string garbage(1 << 20, '\0');
  for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>((i * 7919 + i / 4096) % 256);
  const std::vector<std::vector<std::string>> actions = {
      {"ShowCIFInf", "a.cif"}, {"CalRDF", "a.cif"}, {"CalDistance", "a.cif", "a.txt"},
      {"ConvF09p", "r.f9p", "r.f05", "r.f07", "r.f9v"}, {"UpdateFILE05", "r.f05"},
      {"AddHistoryCSV", "r.f06", "r.csv"},
      {"VASPConvCONTCAR", "POSCAR", "POTCAR", "CONTCAR"}, {"VASPMakeXSF", "OUTCAR", "POSCAR", "POTCAR", "INCAR"},
      {"PWScfConvOutput", "r.out", "r.inp"}, {"CASTEPConvOutput", "r.castep"}, {"DVXaF01Conv", "F01"},
      {"TranSIESTAConvOutput", "r.out", "r.atk"}, {"GULPMakeCIFFromInput", "r.gin"},
      {"WIENMakeCIFFromStruct", "r.struct"}, {"WIENConvDOS", "r.int", "r.dos1ev", "r.dos2ev"}};
  for (const std::string& filler : {Repeat(kMB + "\n", 4), garbage}) {
    for (const std::vector<std::string>& files : actions) {
      Hostile h{{}, {"--Action=" + files[0], "D/" + files[1]}, {}};
      for (size_t i = 1; i < files.size(); ++i) h.files[files[i]] = filler;
      if (files[0] == "CalDistance") h.args.push_back("D/" + files[2]);
      Survives(h);
    }
  }
}

}  // namespace
}  // namespace quorvel
