#include "app/NumberScan.h"

#include <climits>
#include <cstdlib>

namespace quorvel {

// The blanks between columns, two at a time (the second is read only after
// a blank, never beyond the terminator), then any other white space.
inline const char* SkipScanSpace(const char* p) {
  while (p[0] == ' ' && p[1] == ' ') p += 2;
  while (IsScanSpace(*p)) ++p;
  return p;
}

bool ScanWord(const char*& text, const char*& word, size_t& length) {
  const char* p = SkipScanSpace(text);
  const char* end = p;
  while (*end && !IsScanSpace(*end)) ++end;
  if (end == p) return false;
  word = p;
  length = static_cast<size_t>(end - p);
  text = end;
  return true;
}

bool ScanInt(const char*& text, int& value) {
  // Plain numbers of up to nine digits, the ones files are made of, without
  // the C library; anything else (more digits, other bases' prefixes are not
  // read by "%d" anyway) goes to strtol.
  {
    const char* p = SkipScanSpace(text);
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
  char* end = nullptr;
  long v = std::strtol(text, &end, 10);
  if (end == text) return false;
  // Out of range numbers are held at the 32-bit limits.
  if (v > INT_MAX) v = INT_MAX;
  if (v < INT_MIN) v = INT_MIN;
  value = static_cast<int>(v);
  text = end;
  return true;
}

namespace {

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The powers of ten that a double holds exactly.
constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Appends the run of digits at p to mantissa (which may wrap for runs too
// long to matter), two digits a step; returns the end of the run.
inline const char* AddDigits(const char* p, unsigned long long& mantissa) {
  unsigned long long m = mantissa;
  for (;;) {
    const unsigned d0 = static_cast<unsigned>(p[0] - '0');
    if (d0 > 9) break;
    const unsigned d1 = static_cast<unsigned>(p[1] - '0');  // p[0] is a digit, so p[1] exists
    if (d1 > 9) {
      m = m * 10 + d0;
      ++p;
      break;
    }
    m = m * 100 + d0 * 10 + d1;
    p += 2;
  }
  mantissa = m;
  return p;
}

// The plain decimal numbers that output files are made of ("-0.02329815",
// "0.2883845731", "1.5E-03"), converted without the C library: with at most
// 15 significant digits and a power of ten up to 22 both are exact doubles,
// so one multiplication or division rounds exactly as strtod does. Anything
// else (more digits, larger powers, hexadecimal, inf, nan) is left to strtod.
bool ScanPlainDecimal(const char* p, double& value, const char*& end) {
  p = SkipScanSpace(p);
  const bool negative = *p == '-';
  if (*p == '+' || *p == '-') ++p;
  // Integer part: leading zeros are not significant; the digits after them
  // are gathered without a per-digit count (a run too long for 15 digits is
  // left to strtod, whatever the sum holds then).
  const char* integerStart = p;
  while (*p == '0') ++p;
  const char* significantStart = p;
  unsigned long long mantissa = 0;
  p = AddDigits(p, mantissa);
  long nSignificant = p - significantStart;
  bool any = p != integerStart;
  if ((*p == 'x' || *p == 'X') && p == integerStart + 1 && *integerStart == '0') return false;
  int exponent = 0;
  if (*p == '.') {
    ++p;
    const char* fractionStart = p;
    if (nSignificant == 0) {
      // Zeros after the point and before the first significant digit only
      // move the point.
      while (*p == '0') ++p;
    }
    const char* fractionDigits = p;
    p = AddDigits(p, mantissa);
    nSignificant += p - fractionDigits;
    exponent = -static_cast<int>(p - fractionStart);
    any = any || p != fractionStart;
    if (p - fractionStart > 10000) return false;
  }
  if (!any || nSignificant > 15) return false;
  if (*p == 'e' || *p == 'E') {
    // An exponent counts only with at least one digit.
    const char* q = p + 1;
    bool negativeExponent = *q == '-';
    if (*q == '+' || *q == '-') ++q;
    if (IsDigit(*q)) {
      int e = 0;
      for (; IsDigit(*q); ++q)
        if (e < 10000) e = e * 10 + (*q - '0');
      exponent += negativeExponent ? -e : e;
      p = q;
    }
  }
  double v = static_cast<double>(mantissa);
  if (mantissa != 0) {
    if (exponent < -22 || exponent > 22) return false;
    v = exponent < 0 ? v / kPow10[-exponent] : v * kPow10[exponent];
  }
  value = negative ? -v : v;
  end = p;
  return true;
}

}  // namespace

bool ScanDouble(const char*& text, double& value) {
  const char* end = nullptr;
  double v = 0;
  if (!ScanPlainDecimal(text, v, end)) {
    char* strtodEnd = nullptr;
    v = std::strtod(text, &strtodEnd);
    end = strtodEnd;
  }
  if (end == text) return false;
  value = v;
  text = end;
  return true;
}

int ScanDoubles(const char*& text, double* values, int n) {
  int read = 0;
  while (read < n && ScanDouble(text, values[read])) ++read;
  for (int i = read; i < n; ++i) values[i] = 0.0;
  return read;
}

int ScanNumbers(const char* text, double* values, int n) {
  int read = 0;
  while (read < n && ScanDouble(text, values[read])) ++read;
  return read;
}

}  // namespace quorvel
