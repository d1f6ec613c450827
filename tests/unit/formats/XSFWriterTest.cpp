#include "formats/XSFWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "app/Options.h"
#include "crystal/Crystal.h"
#include "tests/unit/RunOptions.h"
#include "tests/unit/TestFiles.h"
#include "tests/unit/formats/TestCrystals.h"

namespace quorvel {
namespace {

// The cubic cell of 0.5431 nm as the ten-decimal pi makes it: the right
// angles leave cosines of about 4.5e-11, which show in the tenth decimal of
// the off-diagonal components (0.5431 nm * 4.49e-11 * 10 = 2.4e-10 A).
const char* const kCubicVectors =
    "     5.4310000000     0.0000000000     0.0000000000\n"
    "     0.0000000002     5.4310000000     0.0000000000\n"
    "     0.0000000002     0.0000000002     5.4310000000\n";

TEST(XSFWriterTest, HeaderAndFramesOfACubicCell) {
  TempDir dir;
  CCrystal crystal;
  SetCell(crystal, 0.5431, 0.5431, 0.5431, 90, 90, 90);
  int si = AddTestType(crystal, "Si", 0, 14.0);
  int x = AddTestType(crystal, "X", 0, 8.9);
  crystal.AddAtomSite("Si1", si, 0, 1.0, 0.5, 0.5, 0.5, 0.1, -0.2, 0.3);
  // Not wrapped: x = 1.2 lies outside the cell; the tiny negative y is the
  // cosine residue of -0.5 * c.
  crystal.AddAtomSite("X1", x, 1, 1.0, 1.2, 0.0, -0.5, 0, 0, 0);

  std::string path = dir.Path("a.xsf");
  std::FILE* file = CreateXSFFile(path, 2);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(WriteXSFFrame(file, 1, crystal), 2);
  CCrystal empty;
  SetCell(empty, 0.5431, 0.5431, 0.5431, 90, 90, 90);
  EXPECT_EQ(WriteXSFFrame(file, 2, empty), 0);
  std::fclose(file);

  std::string expected = std::string("ANIMSTEPS 2\nCRYSTAL\n\n") + "PRIMVEC 1\n" + kCubicVectors + "CONVVEC 1\n" +
                         kCubicVectors + "PRIMCOORD 1\n" + " 2  1\n" +
                         " 14      2.7155000    2.7155000    2.7155000      0.1000000   -0.2000000    0.3000000\n"
                         "  8      6.5172000   -0.0000000   -2.7155000      0.0000000    0.0000000    0.0000000\n" +
                         "PRIMVEC 2\n" + kCubicVectors + "CONVVEC 2\n" + kCubicVectors + "PRIMCOORD 2\n" + " 0  1\n";
  EXPECT_EQ(ReadFile(path), expected);
}

// The atom line is composed without printf: it must give printf's bytes for
// every value a run can produce, from rounding ties to values too wide for
// their columns, infinities and NaN.
TEST(XSFWriterTest, AtomLinesAreTheBytesOfTheirPrintfFormat) {
  const double kInf = std::numeric_limits<double>::infinity();
  const double kEdges[] = {0.0,      -0.0,      0.00000005, -0.00000005, 0.25,        1e15,  -1e15, 123456789.1234567,
                           1e300,    -1e-300,   kInf,       -kInf,       std::nan(""), 2.5e-8, 0.99999995, -9.99999995};
  const int kNumbers[] = {0, 1, 14, 118, -3, 1000, 2147483647, -2147483647 - 1};
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> uniform(-1.0, 1.0);
  std::uniform_int_distribution<int> magnitude(-12, 12);
  std::string mismatches;
  for (int n = 0; n < 200000; ++n) {
    double values[6];
    for (double& v : values)
      v = n % 4 == 0 ? kEdges[random() % 16] : uniform(random) * std::pow(10.0, magnitude(random));
    const int z = kNumbers[random() % 8];
    char ours[kAtomLineRoom];
    const std::string line(ours, PutAtomLine(ours, z, values));
    char theirs[4096];
    std::snprintf(theirs, sizeof theirs, "%3d   %12.7f %12.7f %12.7f   %12.7f %12.7f %12.7f\n", z, values[0],
                  values[1], values[2], values[3], values[4], values[5]);
    if (line != theirs && mismatches.size() < 2000) mismatches += line + " instead of " + theirs;
  }
  EXPECT_EQ(mismatches, "");
}

// A trajectory is written by a second thread in batches: every frame must
// arrive whole and in order, numbered by frame, the same bytes as frames
// written one by one, and the "...Frame" lines must name the steps.
TEST(XSFWriterTest, TrajectoryFramesArriveInOrderFromTheWritingThread) {
  TempDir dir;
  CCrystal crystal;
  SetCell(crystal, 0.4, 0.5, 0.6, 80, 95, 110);
  int si = AddTestType(crystal, "Si", 0, 14.0);
  int o = AddTestType(crystal, "O", 0, 8.0);
  for (const char* interval : {"1", "3"}) {
    SCOPED_TRACE(std::string("nOutputInterval ") + interval);
    SetRunOptions({std::string("--nOutputInterval=") + interval});
    const int nSteps = 101;
    const int nInterval = std::atoi(interval);
    std::FILE* reference = CreateXSFFile(dir.Path("ref.xsf"), (nSteps - 1) / nInterval + 1);
    ASSERT_NE(reference, nullptr);
    std::string expectedLines;
    testing::internal::CaptureStdout();
    {
      CXSFTrajectory frames(nSteps, false);
      ASSERT_TRUE(frames.Create(dir.Path("run.xsf")));
      int iFrame = 0;
      for (int step = 0; step < nSteps; ++step) {
        // A cell of a varying number of atoms that move every step.
        crystal.nAtomSites = 0;
        for (int k = 0; k < 1 + step % 7; ++k)
          crystal.AddAtomSite("A", k % 2 ? si : o, k, 1.0, 0.01 * step + 0.1 * k, -0.003 * step, 0.5, step, -k, 0.25);
        frames.WriteStep(step, crystal);
        if (step % nInterval == 0) {
          WriteXSFFrame(reference, ++iFrame, crystal);
          expectedLines += "...Frame " + std::to_string(step) + " (T=0, P=0, D=0)\n";
        }
      }
      frames.Close();
      frames.Close();  // a second close does nothing
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), expectedLines);
    std::fclose(reference);
    const std::string written = ReadFile(dir.Path("run.xsf"));
    EXPECT_EQ(written, ReadFile(dir.Path("ref.xsf")));
    EXPECT_EQ(written.compare(0, 11, nInterval == 1 ? "ANIMSTEPS 1" : "ANIMSTEPS 3"), 0);
  }

  // A run without steps leaves the file empty, or with its header where the
  // caller asks for it; a file that cannot be created is reported and not
  // left behind; a trajectory left without Close() is finished by its end.
  SetRunOptions({});
  {
    CXSFTrajectory none(0, false);
    ASSERT_TRUE(none.Create(dir.Path("none.xsf")));
    CXSFTrajectory header(0, false);
    ASSERT_TRUE(header.Create(dir.Path("header.xsf"), true));
    CXSFTrajectory unwritable(5, false);
    EXPECT_FALSE(unwritable.Create(dir.Path("no/such/dir/a.xsf")));
    testing::internal::CaptureStdout();
    unwritable.WriteStep(0, crystal);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    CXSFTrajectory open(2, false);
    ASSERT_TRUE(open.Create(dir.Path("open.xsf")));
    testing::internal::CaptureStdout();
    open.WriteStep(0, crystal);
    open.WriteStep(1, crystal);
    testing::internal::GetCapturedStdout();
  }
  EXPECT_EQ(ReadFile(dir.Path("none.xsf")), "");
  EXPECT_EQ(ReadFile(dir.Path("header.xsf")), "ANIMSTEPS 0\nCRYSTAL\n\n");
  const std::string open = ReadFile(dir.Path("open.xsf"));
  EXPECT_EQ(open.compare(0, 11, "ANIMSTEPS 2"), 0);
  EXPECT_NE(open.find("PRIMCOORD 2\n 3  1\n"), std::string::npos);  // the last step's three atoms
}

TEST(XSFWriterTest, FailuresAreReported) {
  TempDir dir;
  EXPECT_EQ(CreateXSFFile(dir.Path("no/such/dir/a.xsf"), 1), nullptr);

  // A site count beyond the table: the frame stops at the first missing site.
  CCrystal crystal;
  SetCell(crystal, 0.3, 0.3, 0.3, 90, 90, 90);
  crystal.AddAtomSite("A1", -1, 0, 1.0, 0, 0, 0, 0, 0, 0);
  crystal.nAtomSites = static_cast<int>(crystal.AtomSites.size()) + 1;
  std::string path = dir.Path("b.xsf");
  std::FILE* file = CreateXSFFile(path, 1);
  ASSERT_NE(file, nullptr);
  testing::internal::CaptureStdout();
  int missing = static_cast<int>(crystal.AtomSites.size());
  EXPECT_EQ(WriteXSFFrame(file, 1, crystal), missing);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error: pAtom[" + std::to_string(missing) + "] is NULL.\n");
  std::fclose(file);
  // The site without a type shows atomic number 0.
  EXPECT_NE(ReadFile(path).find("\n  0      0.0000000    0.0000000    0.0000000"), std::string::npos);
}

}  // namespace
}  // namespace quorvel
