#include "app/NumberFormat.h"

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

std::string Fixed(double x, int width, int precision) {
  char buffer[kFormatRoom];
  char* end = FormatFixed(buffer, x, width, precision);
  return std::string(buffer, end);
}

std::string Printf(double x, int width, int precision) {
  char buffer[1024];
  std::snprintf(buffer, sizeof buffer, "%*.*f", width, precision, x);
  return buffer;
}

// Doubles over the whole range of magnitudes the writers meet and beyond,
// from a fixed generator.
class CDoubles {
 public:
  double Next() {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    uint64_t bits = state_ >> 11;
    double mantissa = 1.0 + static_cast<double>(bits & ((1ULL << 52) - 1)) / 4503599627370496.0;
    int exponent = static_cast<int>((state_ >> 3) % 90) - 60;  // 2^-60 .. 2^29
    double v = std::ldexp(mantissa, exponent);
    return (state_ & 4) ? -v : v;
  }

 private:
  uint64_t state_ = 42;
};

TEST(NumberFormatTest, FixedEqualsPrintfOnRandomValues) {
  CDoubles doubles;
  const int formats[][2] = {{12, 7}, {16, 10}, {6, 4}, {6, 3}, {10, 6}, {0, 0}, {3, 1}, {20, 15}, {9, 2}};
  int compared = 0;
  for (int k = 0; k < 300000; ++k) {
    double x = doubles.Next();
    const int* f = formats[k % (sizeof formats / sizeof formats[0])];
    ASSERT_EQ(Fixed(x, f[0], f[1]), Printf(x, f[0], f[1])) << "x=" << x << " %" << f[0] << "." << f[1] << "f";
    ++compared;
  }
  EXPECT_EQ(compared, 300000);
}

// Values a short decimal away from the digits printed: exact ties, which
// round to even, and the doubles next to them; values that round up into a
// new digit; signed zeros and negatives that round to zero; the ends of the
// fast range; values printf writes with hundreds of digits; inf and nan.
TEST(NumberFormatTest, FixedEqualsPrintfOnHardValues) {
  const double values[] = {0.0,     -0.0,      0.5,       1.5,        2.5,        -2.5,     0.125,
                           0.375,   -0.625,    1.0 / 3,   0.15,       0.25,       2.675,    1.005,
                           9.99995, 9.999995,  99.9999995, 0.00000005, -0.00000005, -1e-12, 1e-300,
                           -1e-300, 4.9e-324,  1e15,      1e15 - 1,   999999.5,   1e16,     123456789.123456789,
                           1e22,    1e300,     -1e300,    DBL_MAX,    -DBL_MAX,   DBL_MIN,  HUGE_VAL,
                           -HUGE_VAL, std::nan(""), 5.4310000000, 2.7155,   -2.7155,    3.0e-8,   0.05,
                           0.0005,  0.00005,   12345.00005, 1e-7,     -1e-7,      0.99999995, 1e-16};
  for (double v : values)
    for (int precision = 0; precision <= 15; ++precision)
      for (int width : {0, 1, 6, 12, 16, 30}) {
        ASSERT_EQ(Fixed(v, width, precision), Printf(v, width, precision))
            << "x=" << v << " %" << width << "." << precision << "f";
        double up = std::nextafter(v, HUGE_VAL), down = std::nextafter(v, -HUGE_VAL);
        ASSERT_EQ(Fixed(up, width, precision), Printf(up, width, precision)) << "x=" << up;
        ASSERT_EQ(Fixed(down, width, precision), Printf(down, width, precision)) << "x=" << down;
      }
  // Every tie k + 1/2 at the scale of the last digit, for small k.
  for (int precision = 0; precision <= 6; ++precision)
    for (int k = -2000; k <= 2000; ++k) {
      double v = (k + 0.5) / std::pow(10.0, precision);
      ASSERT_EQ(Fixed(v, 12, precision), Printf(v, 12, precision)) << "x=" << v << " precision " << precision;
    }
}

std::string General(double x, int width, int precision) {
  char buffer[kFormatRoom];
  char* end = FormatGeneral(buffer, x, width, precision);
  return std::string(buffer, end);
}

std::string PrintfGeneral(double x, int width, int precision) {
  char buffer[1024];
  std::snprintf(buffer, sizeof buffer, "%*.*g", width, precision, x);
  return buffer;
}

TEST(NumberFormatTest, GeneralEqualsPrintf) {
  CDoubles doubles;
  for (int k = 0; k < 300000; ++k) {
    double x = doubles.Next();
    if (k % 3 == 0) x = std::ldexp(x, static_cast<int>(k % 200) - 100);  // far beyond the fast range too
    int precision = k % 16, width = (k / 16) % 3 == 0 ? 0 : 14;
    ASSERT_EQ(General(x, width, precision), PrintfGeneral(x, width, precision))
        << "x=" << x << " %" << width << "." << precision << "g";
  }
  // The switch between the two styles, values that round up to the next
  // power of ten, ties, signed zeros, and what printf spells specially.
  const double values[] = {0.0,     -0.0,    1e-4,     9.99999e-5, 9.999995e-5, 0.0001, 123456.0, 999999.5,
                           999999.4, 1e6,    -1e6,     999999.0,   1e15,        1e22,   1e23,     1e-22,
                           2.5,     0.5,     1.5,      0.125,      1e100,       -1e-300, 4.9e-324, DBL_MAX,
                           HUGE_VAL, -HUGE_VAL, std::nan(""), 5.0,   0.3,         0.1 + 0.2, 100.0, 3.0e-8};
  for (double v : values)
    for (int precision = 0; precision <= 15; ++precision)
      for (int width : {0, 14}) {
        ASSERT_EQ(General(v, width, precision), PrintfGeneral(v, width, precision))
            << "x=" << v << " %" << width << "." << precision << "g";
        double up = std::nextafter(v, HUGE_VAL), down = std::nextafter(v, -HUGE_VAL);
        ASSERT_EQ(General(up, width, precision), PrintfGeneral(up, width, precision)) << "x=" << up;
        ASSERT_EQ(General(down, width, precision), PrintfGeneral(down, width, precision)) << "x=" << down;
      }
  // Every tie at six significant digits for small numbers of them.
  for (int k = 100000; k < 100400; ++k)
    for (int shift = -8; shift <= 8; ++shift) {
      double v = (k + 0.5) * std::pow(10.0, shift);
      ASSERT_EQ(General(v, 0, 6), PrintfGeneral(v, 0, 6)) << "x=" << v;
    }
}

// The formats of the program's long listings and progress lines, and the
// formats FastFormat hands to vsnprintf whole.
TEST(NumberFormatTest, FastFormatEqualsPrintf) {
  CDoubles doubles;
  char expected[4096];
  for (int k = 0; k < 20000; ++k) {
    double a = doubles.Next(), b = doubles.Next(), c = doubles.Next();
    int i = static_cast<int>(k * 7919 % 200001) - 100000;
    const char* label = k % 3 ? "Si12" : "O";
    std::snprintf(expected, sizeof expected,
                  "%4s - %4s   %14.6lg A  F(%6.4f %6.4f %6.4f) R(%6.3f)A %d|%-5d|%5i|%c|%-6s|%.2s|%%|%g %lg %f %lf\n",
                  label, "Ox", a, b, c, a, b, i, i, i, 'Z', label, label, a, b, c, a);
    ASSERT_EQ(FastFormat("%4s - %4s   %14.6lg A  F(%6.4f %6.4f %6.4f) R(%6.3f)A %d|%-5d|%5i|%c|%-6s|%.2s|%%|%g %lg "
                         "%f %lf\n",
                         label, "Ox", a, b, c, a, b, i, i, i, 'Z', label, label, a, b, c, a),
              expected)
        << k;
  }
  // Handed on whole: flags, long integers, other conversions.
  std::snprintf(expected, sizeof expected, "%+d %05.1f %ld %x %e %s", 5, 2.5, 7L, 255, 1.5, "end");
  EXPECT_EQ(FastFormat("%+d %05.1f %ld %x %e %s", 5, 2.5, 7L, 255, 1.5, "end"), expected);
  // A format in a buffer that changes is read anew.
  char format[32];
  std::strcpy(format, "%d|%s");
  EXPECT_EQ(FastFormat(format, 5, "x"), "5|x");
  std::strcpy(format, "%g;");
  EXPECT_EQ(FastFormat(format, 2.5), "2.5;");
  std::strcpy(format, "%e;");
  EXPECT_EQ(FastFormat(format, 2.5), "2.500000e+00;");
  std::snprintf(expected, sizeof expected, "...Frame %d (T=%lg, P=%lg, D=%lg)\n", 12, 300.0, -0.5, 2.6485);
  EXPECT_EQ(FastFormat("...Frame %d (T=%lg, P=%lg, D=%lg)\n", 12, 300.0, -0.5, 2.6485), expected);
}

// Trajectory frames are formatted by a second thread while the reader
// prints its progress: formatting from several threads at once, with
// formats that meet in the parsed-format cache, gives every thread its own
// bytes.
TEST(NumberFormatTest, FastFormatFromSeveralThreadsAtOnce) {
  constexpr int kThreads = 3, kFormats = 24;
  std::vector<std::string> mismatches(kThreads);
  auto work = [&mismatches](int t) {
    std::vector<std::string> formats;
    for (int k = 0; k < kFormats; ++k)
      formats.push_back("t" + std::to_string(t) + " %" + std::to_string(k % 9 + 1) + "." + std::to_string(k % 7) +
                        (k % 2 ? "f" : "g") + " |%" + std::to_string(t + 2) + "d|\n");
    char expected[256];
    for (int n = 0; n < 20000 && mismatches[t].size() < 1000; ++n) {
      const std::string& format = formats[n % kFormats];
      const double x = (n * 0.37 - 1000.0) / (t + 1);
      std::snprintf(expected, sizeof expected, format.c_str(), x, n);
      const std::string mine = FastFormat(format.c_str(), x, n);
      if (mine != expected) mismatches[t] += mine + " instead of " + expected;
    }
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) threads.emplace_back(work, t);
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(mismatches[t], "") << "thread " << t;
}

TEST(NumberFormatTest, IntEqualsPrintf) {
  const int values[] = {0, 1, -1, 9, 10, -10, 99, 100, 999, 1000, 12345, -12345, INT_MAX, INT_MIN, INT_MIN + 1};
  for (int v : values)
    for (int width : {0, 1, 3, 5, 12, 20}) {
      char expected[64], buffer[kFormatRoom];
      std::snprintf(expected, sizeof expected, "%*d", width, v);
      char* end = FormatInt(buffer, v, width);
      EXPECT_EQ(std::string(buffer, end), expected) << v << " width " << width;
    }
}

}  // namespace
}  // namespace quorvel
