#include "app/NumberFormat.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace quorvel {

namespace {

constexpr double kPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                             1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

// "00" "01" ... "99": two digits at a time.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

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
                                  1000000000000000ULL,
                                  10000000000000000ULL,
                                  100000000000000000ULL,
                                  1000000000000000000ULL,
                                  10000000000000000000ULL};

// Writes v / 10^P with its sign, then for P > 0 the point and the last P
// digits of v, right-aligned in width; the text is composed in place from
// its last digit backwards, two digits at a time. P is a constant, so the
// divisions cost a multiply.
template <int P>
char* PutFixed(char* out, bool negative, uint64_t v, int width) {
  constexpr uint64_t kScale = kIntPow10[P];
  uint64_t integer = v / kScale;
  uint64_t decimals = v % kScale;
  int nInteger = 1;
  while (nInteger < 20 && integer >= kIntPow10[nInteger]) ++nInteger;
  const int length = (negative ? 1 : 0) + nInteger + (P > 0 ? P + 1 : 0);
  for (int pad = width - length; pad > 0; --pad) *out++ = ' ';
  char* p = out + length;
  for (int i = 0; i < P / 2; ++i) {
    p -= 2;
    std::memcpy(p, &kDigitPairs[2 * (decimals % 100)], 2);
    decimals /= 100;
  }
  if (P % 2 == 1) *--p = static_cast<char>('0' + decimals);
  if (P > 0) *--p = '.';
  while (integer >= 100) {
    p -= 2;
    std::memcpy(p, &kDigitPairs[2 * (integer % 100)], 2);
    integer /= 100;
  }
  if (integer >= 10) {
    p -= 2;
    std::memcpy(p, &kDigitPairs[2 * integer], 2);
  } else {
    *--p = static_cast<char>('0' + integer);
  }
  if (negative) *--p = '-';
  return out + length;
}

char* PutFixed(char* out, bool negative, uint64_t v, int precision, int width) {
  switch (precision) {
    case 0: return PutFixed<0>(out, negative, v, width);
    case 1: return PutFixed<1>(out, negative, v, width);
    case 2: return PutFixed<2>(out, negative, v, width);
    case 3: return PutFixed<3>(out, negative, v, width);
    case 4: return PutFixed<4>(out, negative, v, width);
    case 5: return PutFixed<5>(out, negative, v, width);
    case 6: return PutFixed<6>(out, negative, v, width);
    case 7: return PutFixed<7>(out, negative, v, width);
    case 8: return PutFixed<8>(out, negative, v, width);
    case 9: return PutFixed<9>(out, negative, v, width);
    case 10: return PutFixed<10>(out, negative, v, width);
    case 11: return PutFixed<11>(out, negative, v, width);
    case 12: return PutFixed<12>(out, negative, v, width);
    case 13: return PutFixed<13>(out, negative, v, width);
    case 14: return PutFixed<14>(out, negative, v, width);
    default: return PutFixed<15>(out, negative, v, width);
  }
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
      const uint64_t whole = static_cast<uint64_t>(y);  // y >= 0: the cut is the floor
      const double fraction = y - static_cast<double>(whole);  // exact below 2^52
      if (fraction != 0.5) {
        const uint64_t q = whole + (fraction > 0.5 ? 1 : 0);
        return PutFixed(out, std::signbit(x), q, precision, width);
      }
    }
  }
  int n = std::snprintf(out, kFormatRoom, "%*.*f", width, precision, x);
  if (n < 0) return out;
  return out + (static_cast<size_t>(n) < kFormatRoom ? static_cast<size_t>(n) : kFormatRoom - 1);
}

char* FormatInt(char* out, int value, int width) {
  if (width < 0 || width > kMaxFormatWidth) width = 0;
  const uint64_t magnitude =
      value < 0 ? static_cast<uint64_t>(-static_cast<int64_t>(value)) : static_cast<uint64_t>(value);
  return PutFixed<0>(out, value < 0, magnitude, width);
}

}  // namespace quorvel
