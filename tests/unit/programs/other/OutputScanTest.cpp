#include "programs/other/OutputScan.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
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

// Numbers are converted without strtod where that is exact; the results must
// be the same doubles, bit for bit, and end at the same character.
TEST(OutputScanTest, NumbersAreTheDoublesStrtodGives) {
  std::mt19937 random(20240101);
  const char* pieces[] = {"-", "+", ".", "e", "E-", "e+", "x", "0", "00", " ", "(cons'd)", "inf", "nan", "0x1p"};
  int nChecked = 0;
  for (int n = 0; n < 200000; ++n) {
    std::string text;
    if (random() % 4 == 0) text += pieces[random() % 14];
    int nDigits = static_cast<int>(random() % 20);
    for (int i = 0; i < nDigits; ++i) {
      if (random() % 10 == 0) text += '.';
      text += static_cast<char>('0' + random() % 10);
    }
    if (random() % 3 == 0) {
      text += random() % 2 ? "e" : "E-";
      text += std::to_string(random() % 40);
    }
    if (random() % 4 == 0) text += pieces[random() % 14];
    char* end = nullptr;
    double expected = std::strtod(text.c_str(), &end);
    const char* p = text.c_str();
    double v = 0;
    bool ok = ScanDouble(p, v);
    ASSERT_EQ(ok, end != text.c_str()) << text;
    if (!ok) continue;
    ASSERT_EQ(p, end) << text;
    ASSERT_EQ(std::memcmp(&v, &expected, sizeof v), 0) << text << " gives " << v << ", strtod " << expected;
    ++nChecked;
  }
  EXPECT_GT(nChecked, 100000);
  // Values that print with ten decimals and those near the limits of the
  // exact range.
  for (const char* text : {"0.2883845731", "-0.02329815", "999999999999999", "9999999999999999", "1e22", "1e23",
                           "4.9e-324", "1.7976931348623157e308", "-0.0", "123456789012345e-22", "0.1e-22"}) {
    const char* p = text;
    double v = 0;
    ASSERT_TRUE(ScanDouble(p, v));
    double expected = std::strtod(text, nullptr);
    EXPECT_EQ(std::memcmp(&v, &expected, sizeof v), 0) << text;
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
