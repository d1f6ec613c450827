#include <gtest/gtest.h>

#include <string>

#include "app/TextUtil.h"
#include "programs/md/Plimo.h"
#include "tests/unit/TestFiles.h"
#include "tests/unit/RunOptions.h"

namespace quorvel {
namespace {

const char* kHeader1 =
    "sn,time(fs),Temp(K),P(GPa),Pxx,Pyy,Pzz,Pxy,Pxz,Pyz,U:Coulomb(J/mol),Short,3-body,Kinet.,Total,Density(cm-3)\n";

std::string LogHead() {
  return " PLIMO\n Total steps     :    50   time step of 0.5 fs\n (skipped line)\n"
         " Step Temp   P(GPa)  ( Pxx ...                 )\n";
}

// A step row in the log's fixed columns: sn, temperature at column 6,
// pressure before '(', six tensor components, then the energies.
std::string Row(int sn, double t) {
  return Format("%5d %5.1f %8.3f(%6.2f%6.2f%6.2f%6.2f%6.2f%6.2f)%10.2f%9.2f%7.2f%7.2f%10.2f%9.4f\n", sn, t, -1.25,
                1.0, 2.0, -3.0, 4.5, -5.5, 16.25, -98765.43, 2345.67, 123.4, 456.7, -95839.66, 2.6485);
}

std::string Add(const std::string& f06, const std::string& history, const std::vector<std::string>& options) {
  SetRunOptions(options);
  std::string out = Printed([&] { CPlimo::AddHistoryCSV(f06, history); });
  SetRunOptions({});
  return out;
}

TEST(HistoryCSV, History2NameGoesWithTheHistoryName) {
  EXPECT_EQ(CPlimo::GetHistory2Name("run-History.csv"), "run-History2.csv");
  EXPECT_EQ(CPlimo::GetHistory2Name("out.csv"), "out-History2.csv");
  EXPECT_EQ(CPlimo::GetHistory2Name("d.x/a-History-old.csv"), "d.x/a-History2.csv");
  EXPECT_EQ(CPlimo::GetHistory2Name("table"), "table-History2.csv");
}

TEST(HistoryCSV, StepRowsByFixedColumnsWithPageBreaksAndRestarts) {
  TempDir dir;
  std::string f06 = dir.Path("r.f06");
  WriteFile(f06, LogHead() + Row(10, 301.5) + "  some note (not a row)\n" + Row(20, 302.5) +
                     " -----------------------------\n (page 2)\n" + Row(99, 1.0) + " STEP TEMP again\n" +
                     Row(30, 303.5) + Row(30, 999.0) + Row(25, 999.0) + Row(0, 999.0) + Row(40, 304.5) +
                     " ---- a page break that never ends\n" + Row(50, 999.0));
  std::string out = Add(f06, "", {"--nOutputInterval=-2"});
  EXPECT_NE(out.find("TimeStep: 0.5 fs\nnStep: 50\n PosTemp=6\n"), std::string::npos) << out;
  EXPECT_NE(out.find(" sn=10  T=301.5  P=-1.250000  K=456.700000  Total=-95839.660000  d= 2.648\n"
                     " sn=20  T=302.5 "),
            std::string::npos)
      << out;
  EXPECT_EQ(out.find(" sn=99 "), std::string::npos);
  EXPECT_EQ(out.find("T=999"), std::string::npos);
  // Accepted rows 10, 20, 30, 40; a negative interval counts like its size.
  EXPECT_EQ(ReadFile(dir.Path("r-History.csv")),
            std::string(kHeader1) +
                "10,5,301.5,-1.25,1,2,-3,4.5,-5.5,16.25,-98765.4,2345.67,123.4,456.7,-95839.7,2.6485\n"
                "30,15,303.5,-1.25,1,2,-3,4.5,-5.5,16.25,-98765.4,2345.67,123.4,456.7,-95839.7,2.6485\n");
  // No blocks: the second table has neither header nor rows.
  EXPECT_EQ(ReadFile(dir.Path("r-History2.csv")), "");
}

TEST(HistoryCSV, TablesContinueFromTheirLastLines) {
  TempDir dir;
  std::string f06 = dir.Path("run2.f06");
  std::string history = dir.Path("series-History.csv");
  WriteFile(f06, LogHead() + Row(10, 300.0) + "<<<<<<\n------\n" + Row(10, 300.0) + "I--------\n\n I A: 4.9 Alpha: 90\n");
  // The History table ends without a line end, which is added; the
  // History2 table exists but is empty, so it gets its header.
  WriteFile(history, std::string(kHeader1) + "5000,250.5,1,2");
  WriteFile(dir.Path("series-History2.csv"), "");
  std::string out = Add(f06, history, {});
  EXPECT_NE(out.find("StepOffset: 5000\nTimeOffset: 250.5 fs\n"), std::string::npos) << out;
  std::string table = ReadFile(history);
  EXPECT_EQ(table.substr(table.find("5000,250.5,1,2\n") + 15, 19), "5010,255.5,300,-1.2");
  std::string table2 = ReadFile(dir.Path("series-History2.csv"));
  EXPECT_EQ(table2,
            "sn,time(fs),Temp(K),a(A),b(A),c(A),alpha,beta,gamma,U,E,K,PV,H\n"
            "10,5,300,4.9,0,0,90,0,0,0,0,0,0,0\n");

  // A last line without a comma: no time offset; a step offset beyond the
  // integer range is held to it.
  WriteFile(history, "2147483647\n");
  Add(f06, history, {});
  EXPECT_NE(ReadFile(history).find("\n2147483647,5,300,"), std::string::npos);
}

TEST(HistoryCSV, BlocksWithDisplacementsAndMissingParts) {
  TempDir dir;
  std::string f06 = dir.Path("b.f06");
  std::string msd = "I M.s.d. ";
  for (int i = 0; i < 11; ++i) msd += Format("  %c%c: %d.5   X%c:%d\nI ", 'A' + i, 'a' + i, i, 'a' + i, i);
  std::string block1 = "1<<<<<<<\n skipped\n------\n" + Row(40, 310.0) + "I--------I\n cell\n" +
                       "I A:  4.9   Alpha:  90.5\nI B:  5.0   Beta :  91.5\nI C:  5.1   Gamma: 120\n energies\n" +
                       "I U = -10    U+K = -8\nI K = 2    E+PV= -7\nI PV= 1\n displacements\n" + msd +
                       "\n I------\n";
  // The second block lacks its labels and ends with the file.
  std::string block2 = "<<<<<<\n------\n" + Row(80, 320.0) + "I---------\n\n no labels\n";
  WriteFile(f06, LogHead() + Row(40, 310.0) + block1 + Row(80, 320.0) + block2);
  std::string out = Add(f06, "", {});
  // The first 20 entries are kept: ten lines of two, the eleventh line's
  // entries are dropped.
  EXPECT_NE(out.find(" T=310\n  Latti: 4.9 5 5.1   90.5 91.5 120\n  U=-10 E=-8 K=2 H=-7 PV=1\n"
                     " Name=Aa(0.5)   Xa(0)\n Name=Bb(1.5)   Xb(1)\n"),
            std::string::npos)
      << out;
  EXPECT_EQ(out.find("Kk("), std::string::npos);
  EXPECT_NE(out.find(" T=320\n  Latti: 0 0 0   0 0 0\n  U=0 E=0 K=0 H=0 PV=0\n"), std::string::npos) << out;
  std::string table2 = ReadFile(dir.Path("b-History2.csv"));
  std::string header = table2.substr(0, table2.find('\n'));
  EXPECT_NE(header.find(",PV,H,m.s.d.(Aa),m.s.d.(Xa),m.s.d.(Bb),"), std::string::npos);
  size_t columns = 0;
  for (size_t p = header.find(",m.s.d.("); p != std::string::npos; p = header.find(",m.s.d.(", p + 1)) ++columns;
  EXPECT_EQ(columns, 20u);
  EXPECT_NE(header.find(",m.s.d.(Jj),m.s.d.(Xj)"), std::string::npos);
  EXPECT_NE(table2.find("\n40,20,310,4.9,5,5.1,90.5,91.5,120,-10,-8,2,1,-7,0.5,0,1.5,1,"), std::string::npos);
  EXPECT_NE(table2.find("\n80,40,320,0,0,0,0,0,0,0,0,0,0,0\n"), std::string::npos) << table2;
}

TEST(HistoryCSV, NamesThatWouldOverwriteTheLogAreRefused) {
  TempDir dir;
  std::string f06 = dir.Path("x-History2.csv");
  WriteFile(f06, LogHead() + Row(10, 300.0));
  // The log given as the History table, and a log whose name is the
  // History2 name of the default History table.
  for (const std::string& history : {f06, std::string()}) {
    std::string out = Add(f06, history, {});
    EXPECT_NE(out.find("Error: Can not add to ["), std::string::npos) << out;
    EXPECT_EQ(ReadFile(f06), LogHead() + Row(10, 300.0));
  }
  EXPECT_FALSE(FileExists(dir.Path("x-History2-History.csv")));
  std::string out = Add(dir.Path("none.f06"), "", {});
  EXPECT_NE(out.find("Error: Can not read [" + dir.Path("none.f06") + "].\n"), std::string::npos);
  EXPECT_FALSE(FileExists(dir.Path("none-History.csv")));
}

}  // namespace
}  // namespace quorvel
