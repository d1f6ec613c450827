#include "analysis/RDF.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "analysis/Distances.h"
#include "app/TextUtil.h"
#include "crystal/Crystal.h"
#include "tests/unit/TestFiles.h"
#include "tests/unit/formats/TestCrystals.h"

namespace quorvel {
namespace {

// One CSV table as (r, value, running sum) rows after its header.
struct Table {
  std::string header;
  std::vector<std::string> rows;
};

Table ReadTable(const std::string& path) {
  Table table;
  std::vector<std::string> lines = SplitLines(ReadFile(path));
  if (!lines.empty()) {
    table.header = lines[0];
    table.rows.assign(lines.begin() + 1, lines.end());
  }
  return table;
}

// Every row of the table shows a zero value except the given ones.
void ExpectOnlyRows(const Table& table, const std::vector<std::pair<size_t, std::string>>& nonZero) {
  for (size_t k = 0; k < table.rows.size(); ++k) {
    double r, g, sum;
    ASSERT_EQ(std::sscanf(table.rows[k].c_str(), "%lg,%lg,%lg", &r, &g, &sum), 3) << table.rows[k];
    bool listed = false;
    for (const auto& row : nonZero)
      if (row.first == k) {
        EXPECT_EQ(table.rows[k], row.second) << "bin " << k;
        listed = true;
      }
    if (!listed) {
      EXPECT_EQ(g, 0.0) << "bin " << k << ": " << table.rows[k];
    }
  }
}

// One atom in a cubic cell of 3.013 A: itself in bin 0, six neighbours at
// 3.013 A (bin 120 of 0.025 A) and twelve at 4.261 A (bin 170); the next
// shell (5.219 A) lies beyond 5 A. The range is 1 + floor(5 / 3.013) = 2.
TEST(RDFTest, OneAtomCubicCell) {
  TempDir dir;
  ScopedWorkingDirectory cwd(dir.Dir());
  CCrystal crystal;
  SetCell(crystal, 0.3013, 0.3013, 0.3013, 90, 90, 90);
  int si = AddTestType(crystal, "Si");
  AddBothSites(crystal, "Si1", si, 1.0, 1.0, -1.0, 0.0);

  SetRunOptions({"--MaximumDistance=5.0", "--nMesh=201"});
  testing::internal::CaptureStdout();
  EXPECT_EQ(CalculateRDF(crystal, 0), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Lattice parameters: 0.3013 0.3013 0.3013  90 90 90\n"
            "MaximumDistance: 5 A\n"
            "nMesh: 201\n"
            "  Lattice Range: 2 2 2\n"
            "Writing to [Si-Si-RDF.csv]...\n");
  Table table = ReadTable(dir.Path("Si-Si-RDF.csv"));
  EXPECT_EQ(table.header, "r(A),RDF(Si-Si),RCN(Si-Si)");
  ASSERT_EQ(table.rows.size(), 201u);
  ExpectOnlyRows(table, {{0, "0,1,0"}, {119, "2.975,0,0"}, {120, "3,6,6"}, {170, "4.25,12,18"}, {200, "5,0,18"}});

  // Fewer than 3 bins means 201; neighbours count with their occupancy; the
  // file names of final (1) and averaged (2) structures.
  crystal.AtomSites[0].Occupancy = 0.5;
  SetRunOptions({"--MaximumDistance=5.0", "--nMesh=2"});
  testing::internal::CaptureStdout();
  EXPECT_EQ(CalculateRDF(crystal, 1), 1);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("nMesh: 201\n"), std::string::npos);
  table = ReadTable(dir.Path("Si-Si-Final-RDF.csv"));
  ASSERT_EQ(table.rows.size(), 201u);
  ExpectOnlyRows(table, {{0, "0,0.5,0"}, {120, "3,3,3"}, {170, "4.25,6,9"}});
  testing::internal::CaptureStdout();
  CalculateRDF(crystal, 2);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(ReadTable(dir.Path("Si-Si-Averaged-RDF.csv")).rows.size(), 201u);
}

// A centre A with four B neighbours at 2.01 A (bin 80) and a fifth at
// 3.01 A (bin 120), in a cell of 20 A so that no other image comes near.
// B has no asymmetric site: it is skipped as a centre type but stays a
// neighbour column.
class CNExample : public testing::Test {
 protected:
  void SetUp() override {
    SetCell(crystal, 2.0, 2.0, 2.0, 90, 90, 90);
    int a = AddTestType(crystal, "A");
    int b = AddTestType(crystal, "B");
    AddBothSites(crystal, "A1", a, 1.0, 0.5, 0.5, 0.5);
    AddCellSite(crystal, "B1", b, 1.0, 0.6005, 0.5, 0.5);
    AddCellSite(crystal, "B2", b, 1.0, 0.3995, 0.5, 0.5);
    AddCellSite(crystal, "B3", b, 1.0, 0.5, 0.6005, 0.5);
    AddCellSite(crystal, "B4", b, 1.0, 0.5, 0.3995, 0.5);
    AddCellSite(crystal, "B5", b, 1.0, 0.5, 0.5, 0.6505);
    SetRunOptions({"--MaximumDistance=5.0", "--nMesh=201"});
  }
  TempDir dir;
  CCrystal crystal;
};

TEST_F(CNExample, RDFSkipsTypesWithoutCentres) {
  ScopedWorkingDirectory cwd(dir.Dir());
  testing::internal::CaptureStdout();
  EXPECT_EQ(CalculateRDF(crystal, 0), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Lattice parameters: 2 2 2  90 90 90\n"
            "MaximumDistance: 5 A\n"
            "nMesh: 201\n"
            "  Lattice Range: 1 1 1\n"
            "Writing to [A-A-RDF.csv]...\n"
            "Writing to [A-B-RDF.csv]...\n"
            " nCountedAtom for B is zero. Skipped.\n");
  ExpectOnlyRows(ReadTable(dir.Path("A-A-RDF.csv")), {{0, "0,1,0"}});
  Table ab = ReadTable(dir.Path("A-B-RDF.csv"));
  EXPECT_EQ(ab.header, "r(A),RDF(A-B),RCN(A-B)");
  ExpectOnlyRows(ab, {{80, "2,4,4"}, {120, "3,1,5"}, {200, "5,0,5"}});
  EXPECT_FALSE(FileExists(dir.Path("B-A-RDF.csv")) > 0);
}

TEST_F(CNExample, CoordinationNumberTables) {
  ScopedWorkingDirectory cwd(dir.Dir());
  testing::internal::CaptureStdout();
  EXPECT_EQ(CalculateCNRDF(crystal, 4, 0), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Writing to [A-A-RDF-CN4.csv]...\n"
            "Writing to [A-B-RDF-CN4.csv]...\n"
            "Writing to [B-A-RDF-CN4.csv]...\n"
            "Writing to [B-B-RDF-CN4.csv]...\n");
  // Exactly four B neighbours from 2.01 A up to just below 3.01 A.
  Table ab = ReadTable(dir.Path("A-B-RDF-CN4.csv"));
  EXPECT_EQ(ab.header, "r(A),RDF(A-B),RCN(A-B)");
  ExpectOnlyRows(ab, {{79, "1.975,0,0"}, {80, "2,1,1"}, {119, "2.975,0,1"}, {120, "3,-1,0"}});
  for (const char* name : {"A-A-RDF-CN4.csv", "B-A-RDF-CN4.csv", "B-B-RDF-CN4.csv"}) {
    Table t = ReadTable(dir.Path(name));
    ASSERT_EQ(t.rows.size(), 201u) << name;
    ExpectOnlyRows(t, {});
  }

  // Four neighbours arrive in one bin: the count jumps over 3 and nothing is
  // recorded. Five are reached at 3.01 A and never exceeded.
  testing::internal::CaptureStdout();
  CalculateCNRDF(crystal, 3, 1);
  CalculateCNRDF(crystal, 5, 2);
  testing::internal::GetCapturedStdout();
  ExpectOnlyRows(ReadTable(dir.Path("A-B-Final-RDF-CN3.csv")), {});
  ExpectOnlyRows(ReadTable(dir.Path("A-B-Averaged-RDF-CN5.csv")), {{120, "3,1,1"}, {200, "5,0,1"}});
}

// Requests whose tables or search would have no bound are refused with a
// message, before anything is allocated or written.
TEST_F(CNExample, HugeRequestsAreRefused) {
  ScopedWorkingDirectory cwd(dir.Dir());
  struct Case {
    const char* option;
    const char* message;
  };
  const Case cases[] = {
      {"--nMesh=2147483647",
       "Error in CalculateRDF: nMesh [2147483647] is too large for 2 atom types (at most 4194304 bins).\n"},
      {"--MaximumDistance=1e300", "Error in CalculateRDF: MaximumDistance [1e+300] A gives no searchable lattice "
                                  "range for the cell 2 2 2  90 90 90.\n"},
      {"--MaximumDistance=2000",
       "Error in CalculateRDF: MaximumDistance [2000] A is too large for this cell: 8365427 images of the cell "
       "to search, at most 1000000.\n"},
      {"--MaximumDistance=0", "Error in CalculateRDF: MaximumDistance [0] A must be above 0.\n"},
      {"--MaximumDistance=nan", "Error in CalculateRDF: MaximumDistance [nan] A must be above 0.\n"},
  };
  for (const Case& c : cases) {
    SetRunOptions({c.option});
    testing::internal::CaptureStdout();
    EXPECT_EQ(CalculateRDF(crystal, 0), -1) << c.option;
    EXPECT_EQ(CalculateCNRDF(crystal, 4, 0), -1) << c.option;
    std::string out = testing::internal::GetCapturedStdout();
    std::string cn = c.message;
    cn.replace(cn.find("CalculateRDF"), 12, "CalculateCNRDF");
    if (std::string(c.option) == "--nMesh=2147483647") cn.replace(cn.find("4194304"), 7, "2796202");
    EXPECT_EQ(out, c.message + cn) << c.option;
  }
  EXPECT_EQ(ReadFile(dir.Path("A-A-RDF.csv")), "");
}

// A trajectory record can give angles that cannot close a cell (here 20,
// 0.85 and 0.59 degrees, found by fuzzing the Plimo files): the metric has
// no volume, and the sines of the angles asked for 744000 cell images. The
// RDFs and the distance listing refuse such a cell at once, write nothing,
// and go on with a sound one.
TEST_F(CNExample, CellsWithoutVolumeAreRefused) {
  ScopedWorkingDirectory cwd(dir.Dir());
  SetRunOptions({"--MaximumDistance=2", "--nMesh=5"});
  SetCell(crystal, 195.31, 0.0288323, 0.00216, 20, 0.8534, 0.5865);
  testing::internal::CaptureStdout();
  EXPECT_EQ(CalculateRDF(crystal, 0), -1);
  EXPECT_EQ(CalculateCNRDF(crystal, 4, 0), -1);
  EXPECT_EQ(ListDistances(crystal, dir.Path("d.txt")), 0);
  const std::string cell = "the cell 195.31 0.0288323 0.00216  20 0.8534 0.5865 has no volume; no distances are searched.\n";
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Error in CalculateRDF: " + cell + "Error in CalculateCNRDF: " + cell + "Error in ListDistances: " + cell);
  EXPECT_FALSE(FileExists(dir.Path("A-A-RDF.csv")));
  EXPECT_FALSE(FileExists(dir.Path("A-B-RDF-CN4.csv")));
  EXPECT_FALSE(FileExists(dir.Path("d.txt")));

  // Angles of 100, 100 and 170 degrees cannot close a cell either, though
  // their range is small; a sound cell of the same lengths is searched.
  SetCell(crystal, 0.2, 0.2, 0.2, 100, 100, 170);
  testing::internal::CaptureStdout();
  EXPECT_EQ(CalculateRDF(crystal, 0), -1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Error in CalculateRDF: the cell 0.2 0.2 0.2  100 100 170 has no volume; no distances are searched.\n");
  SetCell(crystal, 0.2, 0.2, 0.2, 60, 60, 60);
  testing::internal::CaptureStdout();
  EXPECT_EQ(CalculateRDF(crystal, 0), 1);
  testing::internal::GetCapturedStdout();
  EXPECT_TRUE(FileExists(dir.Path("A-A-RDF.csv")));
}

}  // namespace
}  // namespace quorvel
