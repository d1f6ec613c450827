#include "analysis/Distances.h"

#include <gtest/gtest.h>

#include "crystal/Crystal.h"
#include "tests/unit/TestFiles.h"
#include "tests/unit/formats/TestCrystals.h"

namespace quorvel {
namespace {

// One atom in a cubic cell of 2.5 A, where the nearest neighbours lie at
// exactly 2.5 A (0.25 squared is exact). The window [2.5, 2.5] lists all six,
// in search order: translation c outermost, a innermost. The cosine residue
// of the ten-decimal pi makes some zero components tiny negatives (-0.000).
TEST(DistancesTest, NeighboursAtTheWindowEdges) {
  TempDir dir;
  CCrystal crystal;
  SetCell(crystal, 0.25, 0.25, 0.25, 90, 90, 90);
  int si = AddTestType(crystal, "Si");
  AddBothSites(crystal, "Si1", si, 1.0, 1.0, 0.0, -1.0);
  SetRunOptions({"--MaximumDistance=2.5", "--MinimumDistance=2.5"});
  std::string path = dir.Path("d.txt");
  testing::internal::CaptureStdout();
  EXPECT_EQ(ListDistances(crystal, path), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Lattice parameters: 0.25 0.25 0.25  90 90 90\n"
            "MaximumDistance: 2.5 A\n"
            "  Lattice Range: 2 2 2\n");
  const std::string head = " Si1 -  Si1              2.5 A  F(0.0000 0.0000 0.0000)-(0.0000 0.0000 0.0000) R( 0.000  0.000  0.000)A-(";
  EXPECT_EQ(ReadFile(path), head + "-0.000 -0.000 -2.500)A\n" +  //
                                head + "-0.000 -2.500  0.000)A\n" +  //
                                head + "-2.500  0.000  0.000)A\n" +  //
                                head + " 2.500  0.000  0.000)A\n" +  //
                                head + " 0.000  2.500  0.000)A\n" +  //
                                head + " 0.000  0.000  2.500)A\n");

  // A minimum of 0 lists the centre itself at distance 0.
  SetRunOptions({"--MaximumDistance=1", "--MinimumDistance=0"});
  testing::internal::CaptureStdout();
  EXPECT_EQ(ListDistances(crystal, path), 1);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(ReadFile(path),
            " Si1 -  Si1                0 A  F(0.0000 0.0000 0.0000)-(0.0000 0.0000 0.0000) R( 0.000  0.000  0.000)A-( "
            "0.000  0.000  0.000)A\n");
}

// The F triple names the atom in the cell; the R triple is the image's
// position. Labels longer than four characters widen their columns.
TEST(DistancesTest, ImagesAndLongLabels) {
  TempDir dir;
  CCrystal crystal;
  SetCell(crystal, 1.0, 1.0, 1.0, 90, 90, 90);
  int a = AddTestType(crystal, "A");
  AddBothSites(crystal, "Centre", a, 1.0, 0.05, 0.5, 0.5);
  AddCellSite(crystal, "N", a, 1.0, 1.95, 0.5, 0.5);  // folded to 0.95: 1 A away through the cell face
  SetRunOptions({"--MaximumDistance=1.5", "--MinimumDistance=0.5"});
  std::string path = dir.Path("d.txt");
  testing::internal::CaptureStdout();
  EXPECT_EQ(ListDistances(crystal, path), 1);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(ReadFile(path),
            "Centre -    N                1 A  F(0.0500 0.5000 0.5000)-(0.9500 0.5000 0.5000) R( 0.500  5.000  "
            "5.000)A-(-0.500  5.000  5.000)A\n");
}

TEST(DistancesTest, UnwritableOutput) {
  TempDir dir;
  CCrystal crystal;
  SetCell(crystal, 0.25, 0.25, 0.25, 90, 90, 90);
  SetRunOptions({});
  std::string path = dir.Path("no/such/dir/d.txt");
  testing::internal::CaptureStdout();
  EXPECT_EQ(ListDistances(crystal, path), 0);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Error: Can not write to [" + path + "].\n"), std::string::npos) << out;
}

}  // namespace
}  // namespace quorvel
