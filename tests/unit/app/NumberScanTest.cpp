#include "app/NumberScan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

namespace quorvel {
namespace {

// The hand scanners replace sscanf in the step readers; they must give what
// "%s", "%d" and "%lg" give, including where the conversion stops.
TEST(NumberScan, ScannersAgreeWithScanf) {
  const char* texts[] = {"  Si  0.25 -1.5e-3 x", "                  -0.20051             -0.01420  ",
                         "        \t        12   ", "\t\v\f\r\n 42abc", "", "   ", "-.5e+2)", "+3", "1.5(cons'd)",
                         "x----x", "-0", "0.00000(cons'd) -0.12345", "  7   ", "e5", ".", "-", "12345678901"};
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    char word[64] = {0};
    int consumed = -1;
    int nWord = std::sscanf(text, "%63s%n", word, &consumed);
    for (const char* end : {static_cast<const char*>(nullptr), text + std::strlen(text)}) {
      const char* p = text;
      const char* begin = nullptr;
      size_t length = 0;
      bool ok = ScanWord(p, begin, length, end);
      EXPECT_EQ(ok, nWord == 1);
      if (ok) {
        EXPECT_EQ(std::string(begin, length), word);
        EXPECT_EQ(p - text, consumed);
      }
    }

    double v = -7, mine = -7;
    consumed = -1;
    int nDouble = std::sscanf(text, "%lg%n", &v, &consumed);
    const char* p = text;
    bool ok = ScanDouble(p, mine);
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
TEST(NumberScan, NumbersAreTheDoublesStrtodGives) {
  std::mt19937 random(20240101);
  const char* pieces[] = {"-", "+", ".", "e", "E-", "e+", "x", "0", "00", " ", "(cons'd)", "inf", "nan", "0x1p",
                          "           ", "        \t  ", "                 "};
  constexpr unsigned kPieces = sizeof pieces / sizeof pieces[0];
  int nChecked = 0;
  for (int n = 0; n < 200000; ++n) {
    std::string text;
    if (random() % 4 == 0) text += pieces[random() % kPieces];
    int nDigits = static_cast<int>(random() % 20);
    for (int i = 0; i < nDigits; ++i) {
      if (random() % 10 == 0) text += '.';
      text += static_cast<char>('0' + random() % 10);
    }
    if (random() % 3 == 0) {
      text += random() % 2 ? "e" : "E-";
      text += std::to_string(random() % 40);
    }
    if (random() % 4 == 0) text += pieces[random() % kPieces];
    char* end = nullptr;
    double expected = std::strtod(text.c_str(), &end);
    // With and without the text's end: the blank runs are then passed in
    // eight-byte steps, which must change nothing.
    for (const char* textEnd : {static_cast<const char*>(nullptr), text.c_str() + text.size()}) {
      const char* p = text.c_str();
      double v = 0;
      bool ok = ScanDouble(p, v, textEnd);
      ASSERT_EQ(ok, end != text.c_str()) << text;
      if (!ok) continue;
      ASSERT_EQ(p, end) << text;
      ASSERT_EQ(std::memcmp(&v, &expected, sizeof v), 0) << text << " gives " << v << ", strtod " << expected;
      ++nChecked;
    }
  }
  EXPECT_GT(nChecked, 200000);
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

// Integers are read without strtol where they are short; the results and
// the ends must be strtol's (held at the 32-bit limits).
TEST(NumberScan, IntegersAreWhatStrtolGives) {
  std::mt19937 random(7);
  const char* pieces[] = {" ", "\t", "-", "+", "0", "00", "x", ".5", "e3", "1", "99", "\n", "Si", "*", "\v\f\r", "- ",
                          "             ", "         \t "};
  constexpr unsigned kPieces = sizeof pieces / sizeof pieces[0];
  for (int n = 0; n < 100000; ++n) {
    std::string text;
    for (int k = static_cast<int>(random() % 3); k > 0; --k) text += pieces[random() % kPieces];
    for (int k = static_cast<int>(random() % 13); k > 0; --k) text += static_cast<char>('0' + random() % 10);
    if (random() % 2) text += pieces[random() % kPieces];
    char* end = nullptr;
    long expected = std::strtol(text.c_str(), &end, 10);
    if (expected > 2147483647L) expected = 2147483647L;
    if (expected < -2147483648L) expected = -2147483648L;
    for (const char* textEnd : {static_cast<const char*>(nullptr), text.c_str() + text.size()}) {
      const char* p = text.c_str();
      int v = -7;
      bool ok = ScanInt(p, v, textEnd);
      ASSERT_EQ(ok, end != text.c_str()) << text;
      if (!ok) continue;
      ASSERT_EQ(v, expected) << text;
      ASSERT_EQ(p, end) << text;
    }
  }
}

TEST(NumberScan, ScanDoublesSetsWhatIsMissingToZero) {
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

// What successive strtod calls read from a text, the reference for the scan.
std::vector<double> StrtodReference(const char* text, int n) {
  std::vector<double> values;
  const char* p = text;
  while (static_cast<int>(values.size()) < n) {
    char* end = nullptr;
    double v = std::strtod(p, &end);
    if (end == p) break;
    values.push_back(v);
    p = end;
  }
  return values;
}

void ExpectSameAsStrtod(const std::string& text) {
  double values[8];
  int n = ScanNumbers(text.c_str(), values, 8);
  std::vector<double> expected = StrtodReference(text.c_str(), 8);
  ASSERT_EQ(n, static_cast<int>(expected.size())) << "[" << text << "]";
  for (int i = 0; i < n; ++i) {
    // Bit for bit: the sign of zero and the last bit count.
    if (std::isnan(expected[i])) {
      EXPECT_TRUE(std::isnan(values[i])) << text;
    } else {
      EXPECT_EQ(std::memcmp(&values[i], &expected[i], sizeof(double)), 0)
          << "[" << text << "] number " << i << ": " << values[i] << " != " << expected[i];
    }
  }
}

TEST(NumberScan, ReadsWhatStrtodReadsBitForBit) {
  const char* cases[] = {
      // OUTCAR rows and cell lines, including numbers that touch.
      "      4.92862      5.45562      8.32325        -0.020968     -0.007330      0.022761",
      "     0.000000000  3.239654000  3.239654000    -0.154337469  0.154337469  0.154337469",
      "    27.156736374  3.239654000-10.123456789     0.036823276",
      "   -.353E-13 -.232E-14 -.278E-14   0.432E-14 0.119E-14",
      "  0.00000000E+00  0.00000000E+00  -0.00000000E+00",
      // Selective-dynamics flags, comments and element names behind numbers.
      "0.000000 0.500000 0.208333 T T T Fe4+", " 0.0 0.0 0.0     positions", "1.5e 2", "1.5e+ 2", "1.5E-x",
      "3.2595490716977040    0.0000000000000000    3.2595490716977040",
      // Forms the hand scan leaves to strtod.
      "inf -nan 1", "0x1p3 2", "1e400 1e-400 2", "123456789012345678901234567890 1",
      "0.1234567890123456789012 1", "1.000000000000000000000001", "9007199254740993 9007199254740992",
      "1e22 1e23 4.5e-22 4.5e-23", ".5 -.5 +.5 -0 +0 -0.0", "- 1", "+-1", ".", "e5", "",
      "\t\n\v\f\r 7", "12abc", "00000000000000000000000000001.5", "0.000000000000000000000000123"};
  for (const char* text : cases) ExpectSameAsStrtod(text);

  // Random decimals of the widths VASP and the structure writers print.
  std::mt19937_64 rng(20240611);
  std::uniform_real_distribution<double> magnitude(-6, 6);
  std::uniform_int_distribution<int> decimals(0, 17), form(0, 2);
  for (int i = 0; i < 20000; ++i) {
    double x = std::pow(10.0, magnitude(rng)) * (rng() % 2 ? 1 : -1);
    char text[128];
    int d = decimals(rng);
    switch (form(rng)) {
      case 0: std::snprintf(text, sizeof text, " %.*f -%.*f", d, x, d % 9, x / 3); break;
      case 1: std::snprintf(text, sizeof text, "%.*E %.*e", d, x, d, x * 7); break;
      default: std::snprintf(text, sizeof text, "%.*g", d + 1, x); break;
    }
    ExpectSameAsStrtod(text);
  }
}

TEST(NumberScan, StopsAtTheFirstTextThatIsNotANumber) {
  double v[6] = {9, 9, 9, 9, 9, 9};
  EXPECT_EQ(ScanNumbers(" 1.5 2 total drift: 3", v, 6), 2);
  EXPECT_EQ(v[1], 2.0);
  EXPECT_EQ(v[2], 9.0);  // untouched
  EXPECT_EQ(ScanNumbers(" -----------------", v, 6), 0);
  EXPECT_EQ(ScanNumbers("1 2 3 4", v, 3), 3);
}


}  // namespace
}  // namespace quorvel
