#include "text/NumberScan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

namespace quorvel {
namespace {

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b)); }

// Every scanner on one text against the C library: ScanDouble is strtod, ScanInt
// strtol held at the 32-bit limits, ScanWord sscanf's "%s", ScanDoubles and
// ScanNumbers successive strtod calls; the same values, bit for bit, and the
// same end, with and without the text's end given (with it, blank runs are
// passed in eight-byte steps).
void ExpectAsTheCLibrary(const std::string& s) {
  SCOPED_TRACE("[" + s + "]");
  const char* text = s.c_str();
  char* doubleEnd = nullptr;
  char* intEnd = nullptr;
  const double d = std::strtod(text, &doubleEnd);
  const long l = std::strtol(text, &intEnd, 10);
  const int i = l > 2147483647L ? 2147483647 : l < -2147483648L ? -2147483647 - 1 : static_cast<int>(l);
  std::string word(s.size() + 1, '\0');
  int consumed = -1;
  const bool bWord = std::sscanf(text, "%s%n", &word[0], &consumed) == 1;
  double reference[8];
  int nReference = 0;
  for (const char* p = text; nReference < 8; ++nReference) {
    char* next = nullptr;
    reference[nReference] = std::strtod(p, &next);
    if (next == p) break;
    p = next;
  }
  for (const char* end : {static_cast<const char*>(nullptr), text + s.size()}) {
    const char* p = text;
    double v = -7;
    ASSERT_EQ(ScanDouble(p, v, end), doubleEnd != text);
    ASSERT_EQ(p, doubleEnd);
    ASSERT_TRUE(SameBits(v, doubleEnd == text ? -7.0 : d)) << v << " instead of " << d;
    p = text;
    int n = -7;
    ASSERT_EQ(ScanInt(p, n, end), intEnd != text);
    ASSERT_EQ(p, intEnd);
    ASSERT_EQ(n, intEnd == text ? -7 : i);
    p = text;
    const char* begin = nullptr;
    size_t length = 0;
    ASSERT_EQ(ScanWord(p, begin, length, end), bWord);
    ASSERT_EQ(bWord ? std::string(begin, length) : "", word.c_str());
    ASSERT_EQ(p - text, bWord ? consumed : 0);
    double three[3] = {9, 9, 9};
    p = text;
    ASSERT_EQ(ScanDoubles(p, three, 3, end), std::min(nReference, 3));
    for (int k = 0; k < 3; ++k) ASSERT_TRUE(SameBits(three[k], k < nReference ? reference[k] : 0.0)) << k;
  }
  double values[8] = {9, 9, 9, 9, 9, 9, 9, 9};
  ASSERT_EQ(ScanNumbers(text, values, 8), nReference);
  for (int k = 0; k < 8; ++k) ASSERT_TRUE(SameBits(values[k], k < nReference ? reference[k] : 9.0)) << k;
}

TEST(NumberScan, EveryScannerGivesWhatTheCLibraryGives) {
  const char* texts[] = {
      // Rows of OUTCAR, CASTEP and PWScf files, numbers that touch, and the
      // words and flags behind numbers.
      "      4.92862      5.45562      8.32325        -0.020968     -0.007330      0.022761",
      "    27.156736374  3.239654000-10.123456789     0.036823276", "   -.353E-13 -.232E-14 -.278E-14   0.432E-14",
      "  0.00000000E+00  0.00000000E+00  -0.00000000E+00", "0.000000 0.500000 0.208333 T T T Fe4+",
      "  Si  0.25 -1.5e-3 x", "        \t        12   ", "\t\v\f\r\n 42abc", "0.00000(cons'd) -0.12345", "1.5e 2",
      "1.5e+ 2", "1.5E-x", "-.5e+2)", "+3", "x----x", "-0", "- 1", "+-1", ".", "e5", "-", "", "   ",
      // Forms the hand scan leaves to the C library, and the limits of the
      // exact range.
      "inf -nan 1", "0x1p3 2", "1e400 1e-400 2", "123456789012345678901234567890 1", "0.1234567890123456789012 1",
      "1.000000000000000000000001", "9007199254740993 9007199254740992", "1e22 1e23 4.5e-22 4.5e-23",
      "999999999999999 9999999999999999", "4.9e-324 1.7976931348623157e308", "123456789012345e-22 0.1e-22",
      "0.2883845731 -0.02329815", "00000000000000000000000000001.5", "0.000000000000000000000000123", "12345678901",
      "-99999999999", "2147483647 -2147483648 2147483648"};
  for (const char* text : texts) ExpectAsTheCLibrary(text);

  // Random texts of digits, points, exponents, signs, blank runs and words.
  const char* pieces[] = {"-", "+", ".", "e", "E-", "e+", "x", "0", "00", " ", "\t", "\n", "inf", "nan", "0x1p", "- ",
                          "Si", "*", "\v\f\r", "(cons'd)", "1", "99", ".5", "e3", "           ", "        \t  ",
                          "                 "};
  constexpr unsigned kPieces = sizeof pieces / sizeof pieces[0];
  std::mt19937 random(20240101);
  for (int n = 0; n < 200000; ++n) {
    std::string text;
    for (int k = static_cast<int>(random() % 3); k > 0; --k) text += pieces[random() % kPieces];
    for (int k = static_cast<int>(random() % 20); k > 0; --k) {
      if (random() % 10 == 0) text += '.';
      text += static_cast<char>('0' + random() % 10);
    }
    if (random() % 3 == 0) text += (random() % 2 ? "e" : "E-") + std::to_string(random() % 40);
    if (random() % 2) text += pieces[random() % kPieces];
    ExpectAsTheCLibrary(text);
    if (HasFatalFailure()) return;
  }

  // Random decimals of the widths the simulation programs print.
  std::mt19937_64 rng(20240611);
  std::uniform_real_distribution<double> magnitude(-6, 6);
  for (int n = 0; n < 20000; ++n) {
    const double x = std::pow(10.0, magnitude(rng)) * (rng() % 2 ? 1 : -1);
    const int d = static_cast<int>(rng() % 18);
    char text[128];
    switch (n % 3) {
      case 0:
        std::snprintf(text, sizeof text, " %.*f -%.*f", d, x, d % 9, x / 3);
        break;
      case 1:
        std::snprintf(text, sizeof text, "%.*E %.*e", d, x, d, x * 7);
        break;
      default:
        std::snprintf(text, sizeof text, "%.*g", d + 1, x);
        break;
    }
    ExpectAsTheCLibrary(text);
    if (HasFatalFailure()) return;
  }
}

}  // namespace
}  // namespace quorvel
