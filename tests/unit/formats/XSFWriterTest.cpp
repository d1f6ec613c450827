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

  CCrystal empty;
  SetCell(empty, 0.5431, 0.5431, 0.5431, 90, 90, 90);
  SetRunOptions({});
  std::string path = dir.Path("a.xsf");
  testing::internal::CaptureStdout();
  {
    CXSFTrajectory frames(2, false);
    ASSERT_TRUE(frames.Create(path));
    frames.WriteStep(0, crystal);
    frames.WriteStep(1, empty);
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "...Frame 0 (T=0, P=0, D=0)\n...Frame 1 (T=0, P=0, D=0)\n");

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

// One frame as the file format lays it out, composed here with printf from
// the crystal's cell and Cartesian positions.
std::string ExpectedFrame(int iFrame, const CCrystal& crystal) {
  char line[512];
  std::string text;
  for (const char* block : {"PRIMVEC", "CONVVEC"}) {
    text += std::string(block) + " " + std::to_string(iFrame) + "\n";
    for (const CMyVector& v : crystal.LatticeVector) {
      std::snprintf(line, sizeof line, " %16.10f %16.10f %16.10f\n", v[0] * 10.0, v[1] * 10.0, v[2] * 10.0);
      text += line;
    }
  }
  text += "PRIMCOORD " + std::to_string(iFrame) + "\n " + std::to_string(crystal.nAtomSites) + "  1\n";
  for (int i = 0; i < crystal.nAtomSites; ++i) {
    const CAtomSite& site = crystal.AtomSites[i];
    double x, y, z;
    crystal.FractionalToCartesian(site.x, site.y, site.z, x, y, z);
    std::snprintf(line, sizeof line, "%3d   %12.7f %12.7f %12.7f   %12.7f %12.7f %12.7f\n",
                  static_cast<int>(crystal.TypeOf(site)->AtomicNumber), x * 10.0, y * 10.0, z * 10.0, site.Force[0],
                  site.Force[1], site.Force[2]);
    text += line;
  }
  return text;
}

// A trajectory is written by a second thread in batches: every frame must
// arrive whole and in order, numbered by frame, and the "...Frame" lines
// must name the steps.
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
    std::string expectedFile = "ANIMSTEPS " + std::to_string((nSteps - 1) / nInterval + 1) + "\nCRYSTAL\n\n";
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
          expectedFile += ExpectedFrame(++iFrame, crystal);
          expectedLines += "...Frame " + std::to_string(step) + " (T=0, P=0, D=0)\n";
        }
      }
      frames.Close();
      frames.Close();  // a second close does nothing
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(), expectedLines);
    const std::string written = ReadFile(dir.Path("run.xsf"));
    EXPECT_EQ(written, expectedFile);
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

// A site count beyond the table: the frame stops at the first missing site,
// with a message.
TEST(XSFWriterTest, FramesStopAtAMissingSite) {
  TempDir dir;
  CCrystal crystal;
  SetCell(crystal, 0.3, 0.3, 0.3, 90, 90, 90);
  crystal.AddAtomSite("A1", -1, 0, 1.0, 0, 0, 0, 0, 0, 0);
  crystal.nAtomSites = static_cast<int>(crystal.AtomSites.size()) + 1;
  const int missing = static_cast<int>(crystal.AtomSites.size());
  SetRunOptions({});
  std::string path = dir.Path("b.xsf");
  testing::internal::CaptureStdout();
  {
    CXSFTrajectory frames(1, false);
    ASSERT_TRUE(frames.Create(path));
    frames.WriteStep(0, crystal);
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Error: pAtom[" + std::to_string(missing) + "] is NULL.\n...Frame 0 (T=0, P=0, D=0)\n");
  // The site without a type shows atomic number 0, and it is the frame's
  // last line.
  const std::string written = ReadFile(path);
  EXPECT_NE(written.find("PRIMCOORD 1\n 2  1\n"), std::string::npos);
  const std::string last = "  0      0.0000000    0.0000000    0.0000000      0.0000000    0.0000000    0.0000000\n";
  ASSERT_GE(written.size(), last.size());
  EXPECT_EQ(written.substr(written.size() - last.size()), last);
}

}  // namespace
}  // namespace quorvel
