#include "text/NumberScan.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace quorvel {

namespace {

// The number of bytes before the first one that differs, in memory order,
// between two eight-byte words that differ.
inline int FirstDifferingByte(uint64_t a, uint64_t b) {
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  return __builtin_ctzll(a ^ b) / 8;
#else
  unsigned char x[8], y[8];
  std::memcpy(x, &a, 8);
  std::memcpy(y, &b, 8);
  int i = 0;
  while (x[i] == y[i]) ++i;
  return i;
#endif
}

// The blanks between columns: eight bytes at a time while the text's known
// end leaves room for eight (the first non-blank among them ends the run),
// else two at a time (the second is read only after a blank, never beyond
// the terminator); then any other white space.
inline const char* SkipScanSpace(const char* p, const char* end) {
  if (end) {
    constexpr uint64_t kEightBlanks = 0x2020202020202020ULL;
    while (end - p >= 8) {
      uint64_t eight = 0;
      std::memcpy(&eight, p, 8);
      if (eight != kEightBlanks) {
        p += FirstDifferingByte(eight, kEightBlanks);
        break;
      }
      p += 8;
    }
  }
  while (p[0] == ' ' && p[1] == ' ') p += 2;
  while (IsScanSpace(*p)) ++p;
  return p;
}

}  // namespace

bool ScanWord(const char*& text, const char*& word, size_t& length, const char* end) {
  const char* p = SkipScanSpace(text, end);
  const char* last = p;
  while (*last && !IsScanSpace(*last)) ++last;
  if (last == p) return false;
  word = p;
  length = static_cast<size_t>(last - p);
  text = last;
  return true;
}

bool ScanInt(const char*& text, int& value, const char* end) {
  // Plain numbers of up to nine digits, the ones files are made of, without
  // the C library; anything else (more digits, other bases' prefixes are not
  // read by "%d" anyway) goes to strtol.
  {
    const char* p = SkipScanSpace(text, end);
    const bool negative = *p == '-';
    if (*p == '+' || *p == '-') ++p;
    const char* digits = p;
    int v = 0;
    while (*p >= '0' && *p <= '9' && p - digits < 9) v = v * 10 + (*p++ - '0');
    if (p == digits) return false;  // no digit after the blanks and sign: strtol reads nothing either
    if (!(*p >= '0' && *p <= '9')) {
      value = negative ? -v : v;
      text = p;
      return true;
    }
  }
  char* last = nullptr;
  long v = std::strtol(text, &last, 10);
  if (last == text) return false;
  // Out of range numbers are held at the 32-bit limits.
  if (v > INT_MAX) v = INT_MAX;
  if (v < INT_MIN) v = INT_MIN;
  value = static_cast<int>(v);
  text = last;
  return true;
}

namespace {

inline unsigned DigitValue(char c) { return static_cast<unsigned>(c - '0'); }  // above 9: no digit

// The powers of ten that a double holds exactly.
constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The plain decimal numbers that output files are made of ("-0.02329815",
// "0.2883845731", "1.5E-03"), converted without the C library. The digits,
// point left out, make an integer m and the point and exponent a power of
// ten e: the number is m * 10^e exactly. With m at most 2^53 and |e| at most
// 22 both are exact doubles, so one multiplication or division rounds
// exactly as strtod does. Anything else (over 19 digits, where m may have
// wrapped; larger m or powers; hexadecimal, inf, nan, no digit) is left to
// strtod.
bool ScanPlainDecimal(const char* p, const char* textEnd, double& value, const char*& end) {
  p = SkipScanSpace(p, textEnd);
  const bool negative = *p == '-';
  if (*p == '+' || *p == '-') ++p;
  const char* const first = p;
  uint64_t m = 0;
  unsigned d = 0;
  while ((d = DigitValue(*p)) <= 9) {
    m = m * 10 + d;
    ++p;
  }
  if (p - first > 19) return false;
  int nDigits = static_cast<int>(p - first);
  if (*p == 'x' || *p == 'X') return false;
  int exponent = 0;
  if (*p == '.') {
    const char* const fraction = ++p;
    while ((d = DigitValue(*p)) <= 9) {
      m = m * 10 + d;
      ++p;
    }
    if (p - fraction > 19) return false;
    exponent = -static_cast<int>(p - fraction);
    nDigits += static_cast<int>(p - fraction);
  }
  if (nDigits == 0 || nDigits > 19) return false;
  if (*p == 'e' || *p == 'E') {
    // An exponent counts only with at least one digit.
    const char* q = p + 1;
    const bool negativeExponent = *q == '-';
    if (*q == '+' || *q == '-') ++q;
    if (DigitValue(*q) <= 9) {
      int e = 0;
      for (; (d = DigitValue(*q)) <= 9; ++q)
        if (e < 10000) e = e * 10 + static_cast<int>(d);
      exponent += negativeExponent ? -e : e;
      p = q;
    }
  }
  double v = 0;
  if (m != 0) {
    if (m > (1ULL << 53) || exponent < -22 || exponent > 22) return false;
    v = static_cast<double>(m);
    v = exponent < 0 ? v / kPow10[-exponent] : v * kPow10[exponent];
  }
  value = negative ? -v : v;
  end = p;
  return true;
}

}  // namespace

bool ScanDouble(const char*& text, double& value, const char* textEnd) {
  const char* end = nullptr;
  double v = 0;
  if (!ScanPlainDecimal(text, textEnd, v, end)) {
    char* strtodEnd = nullptr;
    v = std::strtod(text, &strtodEnd);
    end = strtodEnd;
  }
  if (end == text) return false;
  value = v;
  text = end;
  return true;
}

int ScanDoubles(const char*& text, double* values, int n, const char* end) {
  int read = 0;
  while (read < n && ScanDouble(text, values[read], end)) ++read;
  for (int i = read; i < n; ++i) values[i] = 0.0;
  return read;
}

int ScanNumbers(const char* text, double* values, int n) {
  int read = 0;
  while (read < n && ScanDouble(text, values[read])) ++read;
  return read;
}

}  // namespace quorvel
