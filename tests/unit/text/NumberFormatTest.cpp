#include "text/NumberFormat.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace quorvel {
namespace {

// "" when FormatFixed ('f') or FormatGeneral ('g') writes what printf's
// "%*.*f" or "%*.*g" writes, else both texts.
std::string Mismatch(char conversion, double x, int width, int precision) {
  char ours[kFormatRoom], theirs[1024], format[] = "%*.*f";
  format[4] = conversion;
  std::snprintf(theirs, sizeof theirs, format, width, precision, x);
  const std::string mine(
      ours, conversion == 'f' ? FormatFixed(ours, x, width, precision) : FormatGeneral(ours, x, width, precision));
  return mine == theirs ? ""
                        : mine + " instead of " + theirs + " (" + std::to_string(width) + "." +
                              std::to_string(precision) + conversion + ")";
}

// Doubles over the whole range of magnitudes the writers meet and beyond,
// from a fixed generator.
double NextDouble(uint64_t& state) {
  state = state * 6364136223846793005ULL + 1442695040888963407ULL;
  const double mantissa = 1.0 + static_cast<double>((state >> 11) & ((1ULL << 52) - 1)) / 4503599627370496.0;
  const double v = std::ldexp(mantissa, static_cast<int>((state >> 3) % 90) - 60);  // 2^-60 .. 2^29
  return (state & 4) ? -v : v;
}

TEST(NumberFormatTest, FixedAndGeneralEqualPrintf) {
  uint64_t state = 42;
  const int formats[][2] = {{12, 7}, {16, 10}, {6, 4}, {6, 3}, {10, 6}, {0, 0}, {3, 1}, {20, 15}, {9, 2}};
  for (int k = 0; k < 300000; ++k) {
    const int* f = formats[k % 9];
    ASSERT_EQ(Mismatch('f', NextDouble(state), f[0], f[1]), "") << k;
    double x = NextDouble(state);
    if (k % 3 == 0) x = std::ldexp(x, k % 200 - 100);  // far beyond the fast range too
    ASSERT_EQ(Mismatch('g', x, (k / 16) % 3 == 0 ? 0 : 14, k % 16), "") << x;
  }
  // Values a short decimal away from the digits printed: exact ties, which
  // round to even, and the doubles next to them; values that round up into a
  // new digit or the next power of ten; the switch between the two styles of
  // %g; signed zeros and negatives that round to zero; the ends of the fast
  // range; values printf writes with hundreds of digits; inf and nan.
  const double values[] = {0.0,         -0.0,        0.5,      1.5,        2.5,          -2.5,
                           0.125,       0.375,       -0.625,   1.0 / 3,    0.15,         0.25,
                           2.675,       1.005,       9.99995,  9.999995,   99.9999995,   0.00000005,
                           -0.00000005, -1e-12,      1e-300,   -1e-300,    4.9e-324,     1e15,
                           1e15 - 1,    999999.5,    999999.4, 999999.0,   1e16,         123456789.123456789,
                           1e22,        1e23,        1e-22,    1e300,      -1e300,       DBL_MAX,
                           -DBL_MAX,    DBL_MIN,     HUGE_VAL, -HUGE_VAL,  std::nan(""), 5.431,
                           2.7155,      -2.7155,     3.0e-8,   0.05,       0.0005,       0.00005,
                           12345.00005, 1e-7,        -1e-7,    0.99999995, 1e-16,        1e-4,
                           9.99999e-5,  9.999995e-5, 123456.0, 1e6,        -1e6,         1e100,
                           0.3,         0.1 + 0.2,   100.0,    5.0};
  for (double v : values)
    for (double x : {v, std::nextafter(v, HUGE_VAL), std::nextafter(v, -HUGE_VAL)})
      for (int precision = 0; precision <= 15; ++precision)
        for (int width : {0, 1, 6, 12, 14, 16, 30}) {
          ASSERT_EQ(Mismatch('f', x, width, precision), "") << x;
          ASSERT_EQ(Mismatch('g', x, width, precision), "") << x;
        }
  // Every tie at the scale of the last digit, for small numbers of digits.
  for (int precision = 0; precision <= 6; ++precision)
    for (int k = -2000; k <= 2000; ++k)
      ASSERT_EQ(Mismatch('f', (k + 0.5) / std::pow(10.0, precision), 12, precision), "");
  for (int k = 100000; k < 100400; ++k)
    for (int shift = -8; shift <= 8; ++shift) ASSERT_EQ(Mismatch('g', (k + 0.5) * std::pow(10.0, shift), 0, 6), "");
}

TEST(NumberFormatTest, IntEqualsPrintf) {
  for (int v : {0, 1, -1, 9, 10, -10, 99, 100, 999, 1000, 12345, -12345, INT_MAX, INT_MIN, INT_MIN + 1})
    for (int width : {0, 1, 3, 5, 12, 20}) {
      char expected[64], buffer[kFormatRoom];
      std::snprintf(expected, sizeof expected, "%*d", width, v);
      EXPECT_EQ(std::string(buffer, FormatInt(buffer, v, width)), expected) << v << " width " << width;
    }
}

// What FastFprintf writes, read back from a temporary file.
template <typename... Args>
std::string Written(const char* format, Args... args) {
  std::FILE* file = std::tmpfile();
  if (!file) return "(no temporary file)";
  FastFprintf(file, format, args...);
  std::rewind(file);
  std::string text;
  for (int c; (c = std::fgetc(file)) != EOF;) text += static_cast<char>(c);
  std::fclose(file);
  return text;
}

// The formats of the program's long listings and progress lines, and
// formats that FastFprintf hands to vfprintf whole.
TEST(NumberFormatTest, FastFprintfEqualsPrintf) {
  uint64_t state = 42;
  char expected[4096];
  const char* format =
      "%4s - %4s   %14.6lg A  F(%6.4f %6.4f %6.4f) R(%6.3f)A %d|%-5d|%5i|%c|%-6s|%.2s|%%|%g %lg %f %lf\n";
  for (int k = 0; k < 2000; ++k) {
    double a = NextDouble(state), b = NextDouble(state), c = NextDouble(state);
    int i = k * 7919 % 200001 - 100000;
    const char* label = k % 3 ? "Si12" : "O";
    std::snprintf(expected, sizeof expected, format, label, "Ox", a, b, c, a, b, i, i, i, 'Z', label, label, a, b, c,
                  a);
    ASSERT_EQ(Written(format, label, "Ox", a, b, c, a, b, i, i, i, 'Z', label, label, a, b, c, a), expected) << k;
  }
  std::snprintf(expected, sizeof expected, "%+d %05.1f %ld %x %e %s", 5, 2.5, 7L, 255, 1.5, "end");
  EXPECT_EQ(Written("%+d %05.1f %ld %x %e %s", 5, 2.5, 7L, 255, 1.5, "end"), expected);
  // The format is read at every call: a buffer that changes is read anew.
  char changing[32];
  std::strcpy(changing, "%d|%s");
  EXPECT_EQ(Written(changing, 5, "x"), "5|x");
  std::strcpy(changing, "%g;");
  EXPECT_EQ(Written(changing, 2.5), "2.5;");
  std::strcpy(changing, "%e;");
  EXPECT_EQ(Written(changing, 2.5), "2.500000e+00;");
}

// Trajectory frames are formatted by a second thread while the reader
// prints its progress: writing from several threads at once, each to its
// own file, gives every thread its own bytes.
TEST(NumberFormatTest, FastFprintfFromSeveralThreadsAtOnce) {
  constexpr int kThreads = 3, kFormats = 24;
  std::vector<std::string> mismatches(kThreads);
  auto work = [&mismatches](int t) {
    std::vector<std::string> formats;
    for (int k = 0; k < kFormats; ++k)
      formats.push_back("t" + std::to_string(t) + " %" + std::to_string(k % 9 + 1) + "." + std::to_string(k % 7) +
                        (k % 2 ? "f" : "g") + " |%" + std::to_string(t + 2) + "d|\n");
    std::FILE* file = std::tmpfile();
    if (!file) {
      mismatches[t] = "no temporary file";
      return;
    }
    std::string expected;
    char line[256];
    for (int n = 0; n < 20000; ++n) {
      const std::string& format = formats[n % kFormats];
      const double x = (n * 0.37 - 1000.0) / (t + 1);
      std::snprintf(line, sizeof line, format.c_str(), x, n);
      expected += line;
      FastFprintf(file, format.c_str(), x, n);
    }
    std::rewind(file);
    std::string mine;
    for (int c; (c = std::fgetc(file)) != EOF;) mine += static_cast<char>(c);
    std::fclose(file);
    if (mine != expected) mismatches[t] = "thread " + std::to_string(t) + " wrote other bytes";
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) threads.emplace_back(work, t);
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(mismatches[t], "") << "thread " << t;
}

}  // namespace
}  // namespace quorvel
