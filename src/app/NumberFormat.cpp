#include "app/NumberFormat.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace quorvel {

namespace {

constexpr double kPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                             1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
constexpr uint64_t kIntPow10[] = {1ULL,
                                  10ULL,
                                  100ULL,
                                  1000ULL,
                                  10000ULL,
                                  100000ULL,
                                  1000000ULL,
                                  10000000ULL,
                                  100000000ULL,
                                  1000000000ULL,
                                  10000000000ULL,
                                  100000000000ULL,
                                  1000000000000ULL,
                                  10000000000000ULL,
                                  100000000000000ULL,
                                  1000000000000000ULL};

// "00" "01" ... "99": two digits at a time.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes the decimal digits of v backwards, ending just before end; at least
// nMin digits (leading zeros). Returns the first digit written.
char* DigitsBackward(char* end, uint64_t v, int nMin) {
  char* p = end;
  while (v >= 100 || nMin > 2) {
    const unsigned pair = static_cast<unsigned>(v % 100);
    v /= 100;
    p -= 2;
    p[0] = kDigitPairs[2 * pair];
    p[1] = kDigitPairs[2 * pair + 1];
    nMin -= 2;
  }
  if (v >= 10 || nMin == 2) {
    p -= 2;
    p[0] = kDigitPairs[2 * v];
    p[1] = kDigitPairs[2 * v + 1];
  } else {
    *--p = static_cast<char>('0' + v);
  }
  return p;
}

// Copies the text [first, last) to out right-aligned in width (printf's
// padding with blanks); returns the end.
char* PutPadded(char* out, const char* first, const char* last, int width) {
  const size_t len = static_cast<size_t>(last - first);
  if (width > 0 && len < static_cast<size_t>(width)) {
    const size_t pad = static_cast<size_t>(width) - len;
    std::memset(out, ' ', pad);
    out += pad;
  }
  std::memcpy(out, first, len);
  return out + len;
}

}  // namespace

// The decimal digits of x to precision places are round(|x| * 10^p), with
// ties to even, of the exact product Y = |x| * 10^p. The product in doubles,
// y, is the double nearest to Y (10^p is exact). Below 2^52 every
// half-integer h is a double, so no h can lie between Y and y unless y = h:
// it would be nearer to Y than y is. So wherever y is not itself a
// half-integer, Y and y round to the same integer and the digits come from
// y. A product that is a half-integer (a tie, or a value next to one), too
// large for the fast digits, or not finite goes to snprintf.
char* FormatFixed(char* out, double x, int width, int precision) {
  if (precision >= 0 && precision <= 15 && width >= 0 && width <= kMaxFormatWidth && std::isfinite(x)) {
    const double y = std::fabs(x) * kPow10[precision];
    if (y < 1e15) {
      const double whole = std::floor(y);
      const double fraction = y - whole;  // exact: whole <= y < whole + 1 < 2^50
      if (fraction != 0.5) {
        const uint64_t q = static_cast<uint64_t>(whole) + (fraction > 0.5 ? 1 : 0);
        // Built from the last digit backwards: decimals, point, integer part.
        char text[48];
        char* const end = text + sizeof text;
        char* p = end;
        uint64_t integer = q;
        if (precision > 0) {
          const uint64_t scale = kIntPow10[precision];
          integer = q / scale;
          p = DigitsBackward(end, q % scale, precision);
          *--p = '.';
        }
        p = DigitsBackward(p, integer, 1);
        if (std::signbit(x)) *--p = '-';
        return PutPadded(out, p, end, width);
      }
    }
  }
  int n = std::snprintf(out, kFormatRoom, "%*.*f", width, precision, x);
  if (n < 0) return out;
  return out + (static_cast<size_t>(n) < kFormatRoom ? static_cast<size_t>(n) : kFormatRoom - 1);
}

char* FormatInt(char* out, int value, int width) {
  if (width < 0 || width > kMaxFormatWidth) width = 0;
  char text[16];
  char* const end = text + sizeof text;
  const uint64_t magnitude =
      value < 0 ? static_cast<uint64_t>(-static_cast<int64_t>(value)) : static_cast<uint64_t>(value);
  char* p = DigitsBackward(end, magnitude, 1);
  if (value < 0) *--p = '-';
  return PutPadded(out, p, end, width);
}

}  // namespace quorvel
