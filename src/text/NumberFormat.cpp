#include "text/NumberFormat.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace quorvel {

namespace {

// The powers of ten that doubles hold exactly.
constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

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

// Writes n blanks (none for n <= 0) to out, which has room for 16 more
// than n; returns the end. Column padding is short: one block store.
char* PutBlanks(char* out, long n) {
  if (n <= 0) return out;
  if (n <= 16) {
    std::memcpy(out, "                ", 16);
    return out + n;
  }
  std::memset(out, ' ', static_cast<size_t>(n));
  return out + n;
}

// Copies the text [first, last) to out right-aligned in width (printf's
// padding with blanks); returns the end.
char* PutPadded(char* out, const char* first, const char* last, int width) {
  out = PutBlanks(out, static_cast<long>(width) - (last - first));
  std::memcpy(out, first, static_cast<size_t>(last - first));
  return out + (last - first);
}

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
  out = PutBlanks(out, width - length);
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

// Precision 0..18: up to 15 for %f, up to 18 for %g of small numbers.
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
    case 15: return PutFixed<15>(out, negative, v, width);
    case 16: return PutFixed<16>(out, negative, v, width);
    case 17: return PutFixed<17>(out, negative, v, width);
    default: return PutFixed<18>(out, negative, v, width);
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

namespace {

// The significant digits of a > 0 (finite) to precision P, as printf's %e
// and %g round them: q with 10^(P-1) <= q < 10^P and the decimal exponent
// of the rounded value. The scaled value a * 10^k is one correctly rounded
// multiplication or division by an exact power of ten, so the argument of
// FormatFixed applies. False where it does not (large scales, ties).
bool SignificantDigits(double a, int P, uint64_t& q, int& exponent) {
  // The binary exponent from the bits (frexp's: a = m * 2^binary, m in
  // [0.5, 1)), and from it a first guess of the decimal one,
  // floor((binary - 1) * log10(2)); the loop below corrects the guess.
  uint64_t bits = 0;
  std::memcpy(&bits, &a, sizeof bits);
  const int biased = static_cast<int>((bits >> 52) & 0x7ff);
  if (biased == 0) return false;  // subnormal
  const int scaled = (biased - 1023) * 78913;  // 78913 / 2^18 = log10(2)
  int e = scaled >= 0 ? scaled >> 18 : -((-scaled + (1 << 18) - 1) >> 18);
  for (int attempt = 0; attempt < 4; ++attempt) {
    const int k = P - 1 - e;
    if (k > 22 || k < -22) return false;
    const double y = k >= 0 ? a * kPow10[k] : a / kPow10[-k];
    if (!(y < 4503599627370496.0)) return false;  // 2^52
    const uint64_t whole = static_cast<uint64_t>(y);
    const double fraction = y - static_cast<double>(whole);
    if (fraction == 0.5) return false;
    const uint64_t rounded = whole + (fraction > 0.5 ? 1 : 0);
    if (rounded < kIntPow10[P - 1]) {
      --e;
    } else if (rounded >= kIntPow10[P]) {
      ++e;  // rounded up to the next power of ten: one digit fewer below the point
    } else {
      q = rounded;
      exponent = e;
      return true;
    }
  }
  return false;
}

}  // namespace

// std::to_chars (general, with a precision) gives these bytes too, but takes
// a quarter to a half longer on the history tables (bench/run.py,
// AddHistoryCSV), which are all %g.
//
// %g: the P significant digits with trailing zeros removed, in the style of
// %f when the exponent X of the rounded value satisfies -4 <= X < P, else of
// %e (at least two exponent digits). In the %f style the text is that of
// %.{d}f of the digits with d = P - 1 - X decimals less the trailing zeros,
// which the fixed writer composes.
char* FormatGeneral(char* out, double x, int width, int precision) {
  const int P = precision == 0 ? 1 : precision;
  if (P >= 1 && P <= 15 && width >= 0 && width <= kMaxFormatWidth && std::isfinite(x)) {
    const bool negative = std::signbit(x);
    if (x == 0) return PutFixed(out, negative, 0, 0, width);
    uint64_t q = 0;
    int X = 0;
    if (SignificantDigits(std::fabs(x), P, q, X)) {
      if (X >= -4 && X < P) {
        int decimals = P - 1 - X;
        while (decimals > 0 && q % 10 == 0) {
          q /= 10;
          --decimals;
        }
        return PutFixed(out, negative, q, decimals, width);
      }
      char digits[16];
      int i = P;
      for (; i >= 2; i -= 2) {
        std::memcpy(&digits[i - 2], &kDigitPairs[2 * (q % 100)], 2);
        q /= 100;
      }
      if (i == 1) digits[0] = static_cast<char>('0' + q);
      int nDigits = P;
      while (nDigits > 1 && digits[nDigits - 1] == '0') --nDigits;  // trailing zeros go
      char text[64];
      char* p = text;
      if (negative) *p++ = '-';
      *p++ = digits[0];
      if (nDigits > 1) {
        *p++ = '.';
        for (int k = 1; k < nDigits; ++k) *p++ = digits[k];
      }
      *p++ = 'e';
      *p++ = X < 0 ? '-' : '+';
      const int magnitude = X < 0 ? -X : X;
      if (magnitude >= 100) *p++ = static_cast<char>('0' + magnitude / 100);
      *p++ = static_cast<char>('0' + magnitude / 10 % 10);
      *p++ = static_cast<char>('0' + magnitude % 10);
      return PutPadded(out, text, p, width);
    }
  }
  int n = std::snprintf(out, kFormatRoom, "%*.*g", width, precision, x);
  if (n < 0) return out;
  return out + (static_cast<size_t>(n) < kFormatRoom ? static_cast<size_t>(n) : kFormatRoom - 1);
}

namespace {

// One conversion of a format: the '-' flag, width, precision and letter.
struct CConversion {
  bool bLeft = false;
  int width = 0;
  int precision = -1;
  char letter = 0;  // d, i, c, s, f, g or %
};

// Reads the conversion after a '%' at *p (p then points past it); false for
// anything FastFprintf leaves to vfprintf.
bool ParseConversion(const char*& p, CConversion& conversion) {
  while (*p == '-') {
    conversion.bLeft = true;
    ++p;
  }
  if (*p == '0' || *p == '+' || *p == ' ' || *p == '#') return false;
  for (; *p >= '0' && *p <= '9'; ++p) {
    conversion.width = conversion.width * 10 + (*p - '0');
    if (conversion.width > kMaxFormatWidth) return false;
  }
  if (*p == '.') {
    ++p;
    conversion.precision = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
      conversion.precision = conversion.precision * 10 + (*p - '0');
      if (conversion.precision > 15) return false;
    }
  }
  bool bLong = false;
  if (*p == 'l') {
    bLong = true;
    ++p;
  }
  conversion.letter = *p;
  switch (*p) {
    case 'f':
    case 'g':
      break;
    case 'd':
    case 'i':
    case 'c':
    case 's':
    case '%':
      if (bLong) return false;
      break;
    default:
      return false;
  }
  if (conversion.letter == '%' && (conversion.bLeft || conversion.width || conversion.precision >= 0)) return false;
  ++p;
  return true;
}

// Where composed text goes: a file, through a buffer.
class CSink {
 public:
  explicit CSink(std::FILE* file) : file_(file) {}
  ~CSink() { Flush(); }
  // Room for n more characters; returns where to write them.
  char* Reserve(size_t n) {
    if (used_ + n > sizeof buffer_) Flush();
    return buffer_ + used_;
  }
  void Commit(char* end) { used_ = static_cast<size_t>(end - buffer_); }
  void Append(const char* text, size_t n) {
    if (n <= 16 && used_ + n <= sizeof buffer_) {  // the short texts between conversions
      for (size_t i = 0; i < n; ++i) buffer_[used_ + i] = text[i];
      used_ += n;
      return;
    }
    while (n > 0) {
      size_t chunk = n < sizeof buffer_ ? n : sizeof buffer_;
      char* p = Reserve(chunk);
      std::memcpy(p, text, chunk);
      Commit(p + chunk);
      text += chunk;
      n -= chunk;
    }
  }
  void Pad(size_t n) {
    while (n > 0) {
      size_t chunk = n < sizeof buffer_ ? n : sizeof buffer_;
      char* p = Reserve(chunk);
      std::memset(p, ' ', chunk);
      Commit(p + chunk);
      n -= chunk;
    }
  }
  void Flush() {
    if (used_ == 0) return;
    std::fwrite(buffer_, 1, used_, file_);
    total_ += used_;
    used_ = 0;
  }
  size_t Total() const { return total_ + used_; }

 private:
  std::FILE* file_;
  char buffer_[2048];
  size_t used_ = 0, total_ = 0;
};

// A format taken apart: literal text and conversions, in order.
struct CParsedFormat {
  struct Piece {
    size_t literalStart = 0, literalLength = 0;  // the text before the conversion
    bool bConversion = false;
    CConversion conversion;
  };
  std::string text;
  std::vector<Piece> pieces;
  bool bSupported = false;
};

void Parse(const char* format, CParsedFormat& parsed) {
  parsed.text = format;
  parsed.pieces.clear();
  parsed.bSupported = true;
  const char* base = parsed.text.c_str();
  for (const char* p = base; *p;) {
    CParsedFormat::Piece piece;
    piece.literalStart = static_cast<size_t>(p - base);
    while (*p && *p != '%') ++p;
    piece.literalLength = static_cast<size_t>(p - base) - piece.literalStart;
    if (*p == '%') {
      ++p;
      piece.bConversion = true;
      if (!ParseConversion(p, piece.conversion)) {
        parsed.bSupported = false;
        return;
      }
    }
    parsed.pieces.push_back(piece);
  }
}

// The formats are the program's string literals: a few parsed formats are
// kept, found by address and checked by content (a format in a buffer that
// changes is parsed anew). Each thread keeps its own: trajectory frames are
// formatted by a second thread while the reader prints. Parsing the format
// at every call instead costs a third more on a 159,000-line distance
// listing (bench/run.py, CalDistance P1-4096).
const CParsedFormat& ParsedFormat(const char* format) {
  thread_local CParsedFormat cache[16];
  thread_local const char* keys[16] = {nullptr};
  const size_t slot = (reinterpret_cast<uintptr_t>(format) >> 3) % 16;
  CParsedFormat& entry = cache[slot];
  if (keys[slot] != format || std::strcmp(entry.text.c_str(), format) != 0) {
    Parse(format, entry);
    keys[slot] = format;
  }
  return entry;
}

// Composes a format into the sink; false, before anything is handed to the
// sink, when the format holds a conversion that is left to the C library.
bool Compose(CSink& sink, const char* format, va_list args) {
  const CParsedFormat& parsed = ParsedFormat(format);
  if (!parsed.bSupported) return false;
  const char* text = parsed.text.c_str();
  for (const CParsedFormat::Piece& piece : parsed.pieces) {
    if (piece.literalLength) sink.Append(text + piece.literalStart, piece.literalLength);
    if (!piece.bConversion) continue;
    const CConversion& conversion = piece.conversion;
    if (conversion.letter == '%') {
      sink.Append("%", 1);
      continue;
    }
    if (conversion.letter == 's') {
      const char* s = va_arg(args, const char*);
      if (!s) s = "(null)";
      size_t length = std::strlen(s);
      if (conversion.precision >= 0 && length > static_cast<size_t>(conversion.precision))
        length = static_cast<size_t>(conversion.precision);
      const size_t width = static_cast<size_t>(conversion.width);
      const size_t pad = width > length ? width - length : 0;
      if (!conversion.bLeft) sink.Pad(pad);
      sink.Append(s, length);
      if (conversion.bLeft) sink.Pad(pad);
      continue;
    }
    // Numbers and characters: composed right-aligned in place, or moved to
    // the left with the padding behind for the '-' flag.
    char* out = sink.Reserve(kFormatRoom + kMaxFormatWidth);
    const int width = conversion.bLeft ? 0 : conversion.width;
    const int precision = conversion.precision < 0 ? 6 : conversion.precision;
    char* end = out;
    switch (conversion.letter) {
      case 'd':
      case 'i':
        end = FormatInt(out, va_arg(args, int), width);
        break;
      case 'c':
        end = PutPadded(out, out, out, width - 1);
        *end++ = static_cast<char>(va_arg(args, int));
        break;
      case 'f':
        end = FormatFixed(out, va_arg(args, double), width, precision);
        break;
      case 'g':
        end = FormatGeneral(out, va_arg(args, double), width, precision);
        break;
    }
    if (conversion.bLeft) end = PutBlanks(end, static_cast<long>(conversion.width) - (end - out));
    sink.Commit(end);
  }
  return true;
}

int VFastFprintf(std::FILE* file, const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  int n;
  {
    CSink sink(file);
    if (Compose(sink, format, copy)) {
      sink.Flush();
      n = static_cast<int>(sink.Total());
    } else {
      n = std::vfprintf(file, format, args);
    }
  }
  va_end(copy);
  return n;
}

}  // namespace

int FastFprintf(std::FILE* file, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int n = VFastFprintf(file, format, args);
  va_end(args);
  return n;
}

int FastPrintf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int n = VFastFprintf(stdout, format, args);
  va_end(args);
  return n;
}

char* FormatInt(char* out, int value, int width) {
  if (width < 0 || width > kMaxFormatWidth) width = 0;
  const uint64_t magnitude =
      value < 0 ? static_cast<uint64_t>(-static_cast<int64_t>(value)) : static_cast<uint64_t>(value);
  return PutFixed<0>(out, value < 0, magnitude, width);
}

}  // namespace quorvel
