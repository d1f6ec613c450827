#include "programs/other/OutputScan.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "tests/unit/TestFiles.h"

namespace quorvel {
namespace {

// The hand scanners replace sscanf in the step readers; they must give what
// "%s", "%d" and "%lg" give, including where the conversion stops.
TEST(OutputScanTest, ScannersAgreeWithScanf) {
  const char* texts[] = {"  Si  0.25 -1.5e-3 x", "\t\v\f\r\n 42abc", "", "   ", "-.5e+2)", "+3", "1.5(cons'd)",
                         "x----x", "-0", "0.00000(cons'd) -0.12345", "  7   ", "e5", ".", "-", "12345678901"};
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    char word[64] = {0};
    int consumed = -1;
    int nWord = std::sscanf(text, "%63s%n", word, &consumed);
    const char* p = text;
    const char* begin = nullptr;
    size_t length = 0;
    bool ok = ScanWord(p, begin, length);
    EXPECT_EQ(ok, nWord == 1);
    if (ok) {
      EXPECT_EQ(std::string(begin, length), word);
      EXPECT_EQ(p - text, consumed);
    }

    double v = -7, mine = -7;
    consumed = -1;
    int nDouble = std::sscanf(text, "%lg%n", &v, &consumed);
    p = text;
    ok = ScanDouble(p, mine);
    EXPECT_EQ(ok, nDouble == 1);
    if (ok) {
      EXPECT_EQ(mine, v);
      EXPECT_EQ(p - text, consumed);
    }

    if (std::strcmp(text, "12345678901") == 0) continue;  // out of range for "%d"
    int i = -7, myInt = -7;
    int nInt = std::sscanf(text, "%d", &i);
    p = text;
    ok = ScanInt(p, myInt);
    EXPECT_EQ(ok, nInt == 1);
    if (ok) {
      EXPECT_EQ(myInt, i);
    }
  }
}

TEST(OutputScanTest, ScanDoublesSetsWhatIsMissingToZero) {
  double v[3] = {9, 9, 9};
  const char* p = " 1.5  -2 abc 4";
  EXPECT_EQ(ScanDoubles(p, v, 3), 2);
  EXPECT_EQ(v[0], 1.5);
  EXPECT_EQ(v[1], -2.0);
  EXPECT_EQ(v[2], 0.0);
  int n = 0;
  p = "12345678901";
  ASSERT_TRUE(ScanInt(p, n));
  EXPECT_EQ(n, 2147483647);
}

TEST(OutputScanTest, LineSearchesCountLinesAndStopAtTheMatch) {
  TempDir dir;
  std::string path = dir.Path("out.txt");
  // A line holding the text twice counts once; a text split over two pieces
  // of a line longer than 4095 characters is not found, as with fgets.
  std::string longLine(4090, ' ');
  longLine += "ATOMIC_POSITIONS\n";
  WriteFile(path, "ATOMIC_POSITIONS ATOMIC_POSITIONS\nnothing\n" + longLine + "x ATOMIC_POSITIONS (crystal)\nlast\n");
  LineReader reader;
  ASSERT_TRUE(reader.Open(path));
  EXPECT_EQ(CountLinesContaining(reader, "ATOMIC_POSITIONS"), 2);
  reader.Rewind();
  ASSERT_TRUE(SkipLines(reader, 1));
  ASSERT_TRUE(ReadUntilContaining(reader, "(crystal)"));
  EXPECT_STREQ(reader.Line(), "x ATOMIC_POSITIONS (crystal)\n");
  EXPECT_FALSE(ReadUntilContaining(reader, "nowhere"));
  EXPECT_FALSE(SkipLines(reader, 1));
}

}  // namespace
}  // namespace quorvel
