#include "programs/other/DVXa.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Options.h"
#include "tests/unit/RunOptions.h"
#include "tests/unit/TestFiles.h"

namespace quorvel {
namespace {

struct ConvertRun {
  int result;
  std::string output;
};

ConvertRun Convert(const std::string& path) {
  testing::internal::CaptureStdout();
  int result = DVXaF01Conv(path);
  return {result, testing::internal::GetCapturedStdout()};
}

const char kF01[] =
    "  Cu4O cluster\n"
    "   4    1\n"
    "  0     Spin polarization\n"
    "xx  0     M.P. potential\n"
    "last line without line end";

TEST(DVXa, DefaultsSwitchBothLinesAndMoveTheTitleToTheEnd) {
  SetRunOptions({});
  TempDir dir;
  const std::string f01 = dir.Path("F01");
  WriteFile(f01, kF01);
  ConvertRun run = Convert(f01);
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(ReadFile(f01),
            "   4    1\n"
            "    1     Spin polarization\n"
            "    1     M.P. potential\n"
            "last line without line end\n\n  Cu4O cluster\n");
  EXPECT_EQ(ReadFile(f01 + ".prev"), kF01);
  EXPECT_EQ(run.output, "Input file to be converted: [" + f01 + "]\nBackup file [" + f01 +
                            ".prev] is created.\nSpin: s\nMadelung: 1\nF:   Cu4O cluster\n"
                            "b:   0     Spin polarization\nb: xx  0     M.P. potential\n");

  // A second run backs up the result of the first.
  const std::string first = ReadFile(f01);
  EXPECT_EQ(Convert(f01).result, 1);
  EXPECT_EQ(ReadFile(f01 + ".prev"), first);
}

TEST(DVXa, OptionsChooseTheSwitchesAndABarTitleStaysFirst) {
  TempDir dir;
  const std::string f01 = dir.Path("F01");
  const std::string text = "|title\n 1 Spin and M.P. on one line\n 1 M.P.\n";
  struct Case {
    std::vector<std::string> args;
    std::string expected;
  } cases[] = {
      {{"--Spin=N", "--Madelung=0"}, "|title\n    0     Spin and M.P. on one line\n    0     M.P.\n"},
      {{"--Spin=non", "--Madelung=12345678"}, "|title\n    0     Spin and M.P. on one line\n12345678     M.P.\n"},
      {{"--Spin=", "--Madelung=-3"}, "|title\n    1     Spin and M.P. on one line\n   -3     M.P.\n"},
      {{"--Spin=spin"}, "|title\n    1     Spin and M.P. on one line\n    1     M.P.\n"},
  };
  for (const Case& c : cases) {
    SetRunOptions(c.args);
    WriteFile(f01, text);
    EXPECT_EQ(Convert(f01).result, 1);
    EXPECT_EQ(ReadFile(f01), c.expected) << c.args[0];
  }
  // "spin" in lower case is not the keyword.
  SetRunOptions({});
  WriteFile(f01, "|t\n 0 spin\n");
  Convert(f01);
  EXPECT_EQ(ReadFile(f01), "|t\n 0 spin\n");
}

TEST(DVXa, FailuresReturnTheirCodesAndAnEmptyFileStaysEmpty) {
  SetRunOptions({});
  TempDir dir;
  ConvertRun run = Convert(dir.Path("missing"));
  EXPECT_EQ(run.result, -1);
  EXPECT_EQ(run.output, "Input file to be converted: [" + dir.Path("missing") + "]\nCreation of backup file [" +
                            dir.Path("missing") + ".prev] was failed.\n");

  // A directory cannot be read as a file: no backup is made (an earlier one
  // stays as it was) and nothing is written.
  WriteFile(dir.Dir() + ".prev", "earlier backup\n");
  run = Convert(dir.Dir());
  EXPECT_EQ(run.result, -1);
  EXPECT_EQ(run.output, "Input file to be converted: [" + dir.Dir() + "]\nCreation of backup file [" + dir.Dir() +
                            ".prev] was failed.\n");
  EXPECT_EQ(ReadFile(dir.Dir() + ".prev"), "earlier backup\n");
  std::remove((dir.Dir() + ".prev").c_str());

  WriteFile(dir.Path("empty"), "");
  run = Convert(dir.Path("empty"));
  EXPECT_EQ(run.result, 1);
  EXPECT_EQ(ReadFile(dir.Path("empty")), "");
  EXPECT_EQ(run.output.find("F: "), std::string::npos);
}

}  // namespace
}  // namespace quorvel
