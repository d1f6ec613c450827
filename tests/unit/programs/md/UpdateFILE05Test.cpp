#include <gtest/gtest.h>

#include <string>

#include "app/TextUtil.h"
#include "programs/md/Plimo.h"
#include "tests/unit/TestFiles.h"
#include "tests/unit/RunOptions.h"

namespace quorvel {
namespace {

TEST(UpdateFILE05, NamesOfANumberedSeries) {
  EXPECT_EQ(CPlimo::GetUpdatedFILE05Name("run-004.f05", 5), "run-005.f05");
  EXPECT_EQ(CPlimo::GetUpdatedFILE05Name("run-004.f05", 0), "run.f05.new");
  EXPECT_EQ(CPlimo::GetUpdatedFILE05Name("run-004.f05", -1), "run.f05.new");
  EXPECT_EQ(CPlimo::GetUpdatedFILE05Name("run-x04.f05", 5), "run-x04-005.f05");
  EXPECT_EQ(CPlimo::GetUpdatedFILE05Name("case.f05", 12), "case-012.f05");
  EXPECT_EQ(CPlimo::GetUpdatedFILE05Name("case.f05", 1234), "case-1234.f05");
  // Exactly three characters after the minus sign, the first a digit.
  EXPECT_EQ(CPlimo::GetUpdatedFILE05Name("run-0045.f05", 2), "run-0045-002.f05");
  EXPECT_EQ(CPlimo::GetUpdatedFILE05Name("run-04.f05", 2), "run-04-002.f05");
  EXPECT_EQ(CPlimo::GetUpdatedFILE05Name("run-4ab.f05", 2), "run-002.f05");
  EXPECT_EQ(CPlimo::GetUpdatedFILE05Name("a-b-007", 8), "a-b-008");
  // Only the file name takes part: dots and minus signs of directories stay.
  EXPECT_EQ(CPlimo::GetUpdatedFILE05Name("md-2.0/run", 3), "md-2.0/run-003");
  EXPECT_EQ(CPlimo::GetUpdatedFILE05Name("v1.2\\set-123\\FILE05", 0), "v1.2\\set-123\\FILE05.new");
  EXPECT_EQ(CPlimo::GetUpdatedFILE05Name("x-100/run-007.f05", 8), "x-100/run-008.f05");
}

std::string Update(const std::string& input, const std::vector<std::string>& options) {
  SetRunOptions(options);
  std::string out = Printed([&] { CPlimo::UpdateFILE05(input, ""); });
  SetRunOptions({});
  return out;
}

TEST(UpdateFILE05, LinesAreCountedWholeAndOtherBytesCopiedExactly) {
  TempDir dir;
  std::string input = dir.Path("big.f05");
  std::string longLine(5000, 'L');
  // Line 1 longer than one read, a line 5 longer than one read (rewritten,
  // its tail goes with it), and bytes of every value after line 6.
  std::string garbage;
  for (int i = 1; i < 256; ++i)
    if (i != '\n' && i != '\r') garbage += static_cast<char>(i);
  garbage += std::string("\0nul", 4);
  std::string text = longLine + "\n2\nSTEPS   100 200 300 400 500 600\n4\nTEMP      300. 1. 2." + std::string(5000, ' ') +
                     "tail\nPRESSURE 1 1 1\n" + garbage + "\nlast line without end";
  WriteFile(input, text);
  Update(input, {"--sn=3", "--NextTemperature=1000"});
  std::string expected = longLine + "\n2\n" +
                         "STEPS        00100.    00200.      300.     400.      500.            :\n" + "4\n" +
                         "TEMP        1000.00     1.00        1.                                :\n" +
                         "PRESSURE 1 1 1\n" + garbage + "\nlast line without end";
  EXPECT_EQ(ReadFile(dir.Path("big-003.f05")), expected);
  EXPECT_EQ(ReadFile(input), text);
}

TEST(UpdateFILE05, ValueConditionsAndLabels) {
  TempDir dir;
  std::string input = dir.Path("r.f05");
  WriteFile(input, "1\n2\nNSTEP 1000.9 -2.9 3 4 5 6\n4\nTEMPERATUR  350.0 -1.5 20.7\nPRES.    0 0 0\n");
  // -999 is a temperature (above -1000); a rate of -1e19 is a rate; the
  // control step -1 keeps the old one, truncated.
  Update(input, {"--sn=-1", "--NextTemperature=-999", "--TemperatureRate=-1e19", "--ControlStep=-1",
              "--NextPressure=-1e19", "--nCycle=0"});
  EXPECT_EQ(ReadFile(input + ".new"),
            "1\n2\nNSTEP        01000.    -0002.        3.       4.        5.            :\n4\n"
            "TEMPERATUR  -999.00-10000000000000000000.00       20.                                :\n"
            "PRES.    -10000000000000000000.0000-10000000000000000000.0000-10000000000000000000.0000"
            "                               :\n");
  // Huge and non-numeric values of the file are held to the integer range.
  WriteFile(input, "1\n2\nW 1e30 -1e30 nan 4 5 6\n");
  std::string out = Update(input, {"--sn=1"});
  EXPECT_EQ(ReadFile(dir.Path("r-001.f05")),
            "1\n2\nW            2147483647.    -2147483648.        0.       4.        5.            :\n");
  EXPECT_EQ(out.substr(0, out.find('\n')), "Update [" + input + "] to [" + dir.Path("r-001.f05") + "].");
}

TEST(UpdateFILE05, TheInputIsNeverReplaced) {
  TempDir dir;
  std::string input = dir.Path("run-005.f05");
  WriteFile(input, "keep\n");
  std::string out = Update(input, {"--sn=5"});
  EXPECT_NE(out.find("Can not write to " + input + ": it is the input file.\n"), std::string::npos);
  EXPECT_EQ(ReadFile(input), "keep\n");
  // An output that cannot be created.
  ASSERT_EQ(std::system(("mkdir '" + dir.Path("run-006.f05") + "'").c_str()), 0);
  out = Update(input, {"--sn=6"});
  EXPECT_NE(out.find("Can not write to " + dir.Path("run-006.f05") + ".\n"), std::string::npos);
}

}  // namespace
}  // namespace quorvel
