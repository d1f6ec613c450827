#include "crystal/SpaceGroup.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "numerics/CellMetric.h"
#include "text/LineReader.h"
#include "text/Messages.h"
#include "text/TextUtil.h"

namespace quorvel {

namespace {

// Coefficients and translations are compared within this tolerance.
constexpr double kTolerance = 1e-5;

bool Near(double a, double b) { return std::fabs(a - b) < kTolerance; }

// Sizes the numeric slots of one operation (bases 0) and fills them.
void StoreNumericForm(CMyMatrix& rotation, CMyVector& translation, const double r[3][3], const double t[3]) {
  rotation.SetSize(3, 3);
  rotation.SetBase(0, 0);
  translation.SetRange(0, 2);
  for (int m = 0; m < 3; ++m) {
    for (int n = 0; n < 3; ++n) rotation[m][n] = r[m][n];
    translation[m] = t[m];
  }
}

std::string FormatOperationRows(const double r[3][3], const double t[3]) {
  std::string rows[3];
  for (int m = 0; m < 3; ++m) {
    std::string& row = rows[m];
    row = FormatRotationRow(r[m][0], r[m][1], r[m][2]);
    // The translation follows the coordinate terms, as in "-x+1/2" and
    // "x-y+1/3"; a positive one gets its '+'. A row without any coordinate
    // term (never part of a symmetry operation, the text does not read back
    // as one) shows the translation alone ("1/2"), and a row with neither
    // reads "0", so that the text always shows three components.
    if (!Near(t[m], 0)) {
      std::string fraction = FormatFraction(t[m]);
      if (!row.empty() && fraction[0] != '-') row += '+';
      row += fraction;
    }
    if (row.empty()) row = "0";
  }
  return Format("%s,%s,%s", rows[0].c_str(), rows[1].c_str(), rows[2].c_str());
}

// Operation texts may carry blanks anywhere between their terms.
size_t SkipTextBlanks(const std::string& text, size_t pos) {
  while (pos < text.size() && IsWhite(text[pos])) ++pos;
  return pos;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// An unsigned number at pos: digits with an optional decimal point ("1",
// "0.5", ".25", "2."), optionally followed by '/' and a non-zero integer
// denominator ("1/2", "2 / 3").
bool ParseUnsignedNumber(const std::string& text, size_t& pos, double& value) {
  size_t start = pos;
  size_t nDigits = 0;
  while (pos < text.size() && IsDigit(text[pos])) ++pos, ++nDigits;
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    while (pos < text.size() && IsDigit(text[pos])) ++pos, ++nDigits;
  }
  if (nDigits == 0) return false;
  // An exponent, as "%lg" writes translations that are no simple fraction
  // ("6.24122e-05"), so that every text this program writes reads back.
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    size_t e = pos + 1;
    if (e < text.size() && (text[e] == '+' || text[e] == '-')) ++e;
    if (e >= text.size() || !IsDigit(text[e])) return false;
    while (e < text.size() && IsDigit(text[e])) ++e;
    pos = e;
  }
  value = AtoF(text.substr(start, pos - start));
  size_t next = SkipTextBlanks(text, pos);
  if (next < text.size() && text[next] == '/') {
    pos = SkipTextBlanks(text, next + 1);
    start = pos;
    while (pos < text.size() && IsDigit(text[pos])) ++pos;
    if (pos == start) return false;
    double denominator = AtoF(text.substr(start, pos - start));
    if (denominator == 0) return false;
    value /= denominator;
  }
  return std::isfinite(value);
}

// One component of an operation ("-x+y+1/3"), from pos up to the next comma
// or the end. Every term is a sign (optional on the first term only) followed
// by one of the letters x, y, z (either case) or by a number. Rejected: a
// letter given twice in one component (so no coefficient other than +-1 can
// arise: "x+x", "x-x"), a coefficient written as a number ("2x", "1/2x",
// "2*x"), two translation terms ("x+1/2+1/4"), a component without any
// coordinate letter ("1/2", ""), and any other character.
bool ParseComponent(const std::string& text, size_t& pos, double row[3], double& translation) {
  bool bLetter[3] = {false, false, false};
  bool bTranslation = false;
  int nTerms = 0;
  for (;;) {
    pos = SkipTextBlanks(text, pos);
    if (pos >= text.size() || text[pos] == ',') break;
    double sign = 1;
    bool bSign = false;
    if (text[pos] == '+' || text[pos] == '-') {
      sign = text[pos] == '-' ? -1 : 1;
      bSign = true;
      pos = SkipTextBlanks(text, pos + 1);
    }
    // Terms are joined by their signs: "xy" or "x 1/2" are not operations.
    if (nTerms > 0 && !bSign) return false;
    if (pos >= text.size()) return false;
    char c = text[pos];
    int iLetter = -1;
    if (c == 'x' || c == 'X') iLetter = 0;
    if (c == 'y' || c == 'Y') iLetter = 1;
    if (c == 'z' || c == 'Z') iLetter = 2;
    if (iLetter >= 0) {
      if (bLetter[iLetter]) return false;
      bLetter[iLetter] = true;
      row[iLetter] = sign;
      ++pos;
    } else if (IsDigit(c) || c == '.') {
      double value = 0;
      if (bTranslation || !ParseUnsignedNumber(text, pos, value)) return false;
      bTranslation = true;
      translation = sign * value;
    } else {
      return false;
    }
    ++nTerms;
  }
  return bLetter[0] || bLetter[1] || bLetter[2];
}

// The header line of a record of the space-group database: number, second
// key, two integers not used here, the count of operation lines and the name
// (the rest of the line, "P 1 21/c 1"), separated by single blanks.
struct SPGRecordHeader {
  int Number = 0;
  int SecondKey = 0;
  int nLines = 0;
  std::string Name;
};

// Parses a header line (trimmed in place first); false when it lacks a field,
// which ends the reading of the database.
bool ParseSPGRecordHeader(char* line, SPGRecordHeader& header) {
  Trim(line);
  const char* field[6] = {line, nullptr, nullptr, nullptr, nullptr, nullptr};
  for (int f = 1; f < 6; ++f) {
    const char* blank = std::strchr(field[f - 1], ' ');
    if (!blank) return false;
    field[f] = blank + 1;
  }
  header.Number = AtoI(field[0]);
  header.SecondKey = AtoI(field[1]);
  header.nLines = AtoI(field[4]);
  header.Name = field[5];
  Trim(header.Name);
  return true;
}

// Searches the space-group database at path for the first record whose
// header (with its second line, empty when missing) satisfies matches. A
// record is its header line, a second line naming the Hall symbol and the
// full symbol, and nLines operation lines; a header line that lacks a field,
// or the end of the file inside a record, ends the search. Returns -1 (with
// its message) when the file cannot be opened, 0 when no record matches, 1
// when one does: header then holds it and reader stands before its operation
// lines. The second line is read also when the header matched; bSecondLine
// tells whether it was there.
template <typename Match>
int FindSPGRecord(LineReader& reader, const std::string& path, Match matches, SPGRecordHeader& header,
                  bool& bSecondLine) {
  if (!reader.Open(path)) {
    ReportCanNotRead(path, "Error in CSpaceGroup::ReadSPG: ");
    return -1;
  }
  while (reader.ReadLine()) {
    if (!ParseSPGRecordHeader(reader.Line(), header)) return 0;
    bSecondLine = reader.ReadLine();
    const bool bMatch = matches(header, bSecondLine ? reader.Line() : "");
    if (bMatch) return 1;
    if (!bSecondLine) return 0;
    for (int i = 0; i < header.nLines; ++i)
      if (!reader.ReadLine()) return 0;
  }
  return 0;
}

// Whether two space-group symbols are the same once white space is removed
// from both and letter case is ignored ("P 1 21/c 1" and "p121/C1"), without
// making a copy of either (the database holds some sixteen thousand lines).
bool SameSymbol(const char* a, const char* b) {
  for (;; ++a, ++b) {
    while (IsWhite(*a)) ++a;
    while (IsWhite(*b)) ++b;
    if (!*a || !*b) return !*a && !*b;
    if (ToLowerAscii(*a) != ToLowerAscii(*b)) return false;
  }
}

// The Hall symbol of a record's second line ("Hall symbol: -I 4bd 2  Full
// symbol: ..."): from after its colon to the two blanks before the next field.
std::string HallSymbolOf(const char* secondLine) {
  const char* start = std::strstr(secondLine, "Hall symbol:");
  if (!start) return "";
  start += std::strlen("Hall symbol:");
  start += std::strspn(start, " ");
  const char* end = std::strstr(start, "  ");
  return end ? std::string(start, end) : std::string(start);
}

// Hall symbols are the same when their blank-separated terms are, letter
// case aside ("-P 2ac 2n" and "-p 2ac  2N").
bool SameHallSymbol(const std::string& a, const std::string& b) {
  std::istringstream sa(a), sb(b);
  std::string ta, tb;
  while (true) {
    const bool ga = static_cast<bool>(sa >> ta), gb = static_cast<bool>(sb >> tb);
    if (!ga || !gb) return ga == gb;
    if (!EqualNoCase(ta, tb)) return false;
  }
}

}  // namespace

int CSpaceGroup::Initialize() {
  Name = "P1";
  Number = 1;
  SecondKey = 1;
  nOperations = 1;
  bInversion = 0;
  nCentring = 1;
  Centring[0].SetRange(0, 2);
  for (int m = 0; m < 3; ++m) Centring[0][m] = 0;
  static const double kIdentity[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  static const double kZero[3] = {0, 0, 0};
  OperationText[0] = "x,y,z";
  StoreNumericForm(OperationRotation[0], OperationTranslation[0], kIdentity, kZero);
  // The rest of the tables is emptied, so that no numeric form of an earlier
  // group survives in a slot that is later filled with a text alone.
  for (int i = 1; i < kMaxCentring; ++i) Centring[i].Free();
  for (int i = 1; i < kMaxOperations; ++i) {
    OperationText[i].clear();
    if (OperationRotation[i].Rows() > 0) OperationRotation[i].Free();
    if (OperationTranslation[i].Size() > 0) OperationTranslation[i].Free();
  }
  return 1;
}

int CSpaceGroup::ReadSPG(int number, int secondKey, const std::string& path) {
  Initialize();
  Number = number;
  SecondKey = secondKey;
  if (path.empty()) return 0;
  LineReader reader;
  SPGRecordHeader header;
  bool bSecondLine = false;
  auto sameKeys = [&](const SPGRecordHeader& h, const char*) { return h.Number == number && h.SecondKey == secondKey; };
  const int found = FindSPGRecord(reader, path, sameKeys, header, bSecondLine);
  if (found < 0) return -1;
  // A record cut off after its header line is not loaded.
  if (found == 0 || !bSecondLine) return 1;
  Name = header.Name;
  for (int i = 0; i < header.nLines && reader.ReadLine(); ++i) {
    // Lines beyond the table's 512 operations are read and dropped (the full
    // table refuses them).
    char* text = reader.Line();
    Trim(text);
    AddOperationText(text);
  }
  return 1;
}

int CSpaceGroup::FindByName(const std::string& symbol, const std::string& path, int& number, int& secondKey) {
  LineReader reader;
  SPGRecordHeader header;
  bool bSecondLine = false;
  auto sameSymbol = [&](const SPGRecordHeader& h, const char*) { return SameSymbol(h.Name.c_str(), symbol.c_str()); };
  const int found = FindSPGRecord(reader, path, sameSymbol, header, bSecondLine);
  if (found == 1) {
    number = header.Number;
    secondKey = header.SecondKey;
  }
  return found;
}

int CSpaceGroup::FindByHall(const std::string& hall, const std::string& path, int& number, int& secondKey) {
  LineReader reader;
  SPGRecordHeader header;
  bool bSecondLine = false;
  auto sameHall = [&](const SPGRecordHeader&, const char* secondLine) {
    return SameHallSymbol(HallSymbolOf(secondLine), hall);
  };
  const int found = FindSPGRecord(reader, path, sameHall, header, bSecondLine);
  if (found == 1) {
    number = header.Number;
    secondKey = header.SecondKey;
  }
  return found;
}

std::string CSpaceGroup::SettingName(int number, int secondKey, const std::string& path) {
  if (path.empty()) return "";
  LineReader reader;
  SPGRecordHeader header;
  bool bSecondLine = false;
  // A name with a setting mark ("F d -3 m:2") says most; a monoclinic group
  // in another setting is told apart by its full symbol with the 1s ("B 1 1
  // 2/b", where "B 2/b" could be either unique axis). The names of one record
  // stand apart in the database, so every record is looked at.
  std::string best;
  int bestScore = -1;
  auto score = [&](const SPGRecordHeader& h, const char*) {
    if (h.Number != number || h.SecondKey != secondKey) return false;
    const std::string padded = " " + h.Name + " ";
    const int s = h.Name.find(':') != std::string::npos                           ? 2
                  : number >= 3 && number <= 15 && padded.find(" 1 ") != std::string::npos ? 1
                                                                                             : 0;
    if (s > bestScore) {
      best = h.Name;
      bestScore = s;
    }
    return false;
  };
  FindSPGRecord(reader, path, score, header, bSecondLine);
  return best;
}

int CSpaceGroup::ApplyOperation(int i, int j, int k, double x, double y, double z, double& x2, double& y2,
                                double& z2) const {
  // An operation without its numeric form, or a centring translation that is
  // not there, gives no image: the result is -1 and the position comes back
  // folded but otherwise unchanged (an image that coincides with the site
  // itself, which the expansion merges away), never an image made of garbage.
  if (!HasNumericForm(i) || j < 0 || j >= nCentring || j >= kMaxCentring || Centring[j].Size() != 3) {
    x2 = FoldToUnitCell(x) + 0.0;
    y2 = FoldToUnitCell(y) + 0.0;
    z2 = FoldToUnitCell(z) + 0.0;
    return -1;
  }
  const CMyMatrix& r = OperationRotation[i];
  const CMyVector& t = OperationTranslation[i];
  const CMyVector& s = Centring[j];
  const int rowBase = r.RowBase(), column = r.ColumnBase(), tBase = t.Base(), sBase = s.Base();
  double p[3];
  for (int m = 0; m < 3; ++m) {
    const CMyVector& row = r[rowBase + m];
    p[m] = row[column] * x + row[column + 1] * y + row[column + 2] * z + t[tBase + m] + s[sBase + m];
    // The inversion through the origin comes after the translations.
    if (k > 0) p[m] = -p[m];
  }
  // Adding 0.0 turns a negative zero (the inversion of a coordinate 0) into
  // 0, which would otherwise be written as "-0.000000".
  x2 = FoldToUnitCell(p[0]) + 0.0;
  y2 = FoldToUnitCell(p[1]) + 0.0;
  z2 = FoldToUnitCell(p[2]) + 0.0;
  return 1;
}

int CSpaceGroup::AddOperationText(const std::string& text) {
  // A full table refuses the operation without a message: the readers that
  // fill it (the space-group database, the WIEN2k structure file) drop the
  // surplus as their file layouts define, and a CIF file holds fewer
  // operations than fit here.
  if (nOperations < 0 || nOperations >= kMaxOperations) return -1;
  const int i = nOperations;
  double r[3][3], t[3];
  OperationText[i] = text;
  if (ParseOperationText(text, r, t)) {
    StoreNumericForm(OperationRotation[i], OperationTranslation[i], r, t);
  } else {
    // Kept for writing, but without a numeric form nothing applies it.
    std::printf(
        "Error in CSpaceGroup::AddOperationText: Can not read the symmetry operation [%s]; it is not applied to "
        "the atom sites.\n",
        text.c_str());
    OperationRotation[i].Free();
    OperationTranslation[i].Free();
  }
  return ++nOperations;
}

int CSpaceGroup::AddOperation(const CMyMatrix& rotation, const CMyVector& translation) {
  // Full table: refused silently, as in AddOperationText. A rotation that is
  // not 3 x 3 or a translation that does not hold 3 values is refused too.
  if (nOperations < 0 || nOperations >= kMaxOperations) return -1;
  if (rotation.Rows() != 3 || rotation.Columns() != 3 || translation.Size() != 3) return -1;
  double r[3][3], t[3];
  for (int m = 0; m < 3; ++m) {
    for (int n = 0; n < 3; ++n) r[m][n] = rotation[rotation.RowBase() + m][rotation.ColumnBase() + n];
    t[m] = translation[translation.Base() + m];
  }
  const int i = nOperations;
  StoreNumericForm(OperationRotation[i], OperationTranslation[i], r, t);
  OperationText[i] = FormatOperationRows(r, t);
  return ++nOperations;
}

bool CSpaceGroup::HasNumericForm(int i) const {
  if (i < 0 || i >= nOperations || i >= kMaxOperations) return false;
  return OperationRotation[i].Rows() == 3 && OperationRotation[i].Columns() == 3 &&
         OperationTranslation[i].Size() == 3;
}

std::string FormatOperation(const CMyMatrix& rotation, const CMyVector& translation) {
  double r[3][3], t[3];
  for (int m = 0; m < 3; ++m) {
    for (int n = 0; n < 3; ++n) r[m][n] = rotation[rotation.RowBase() + m][rotation.ColumnBase() + n];
    t[m] = translation[translation.Base() + m];
  }
  return FormatOperationRows(r, t);
}

std::string FormatRotationRow(double r0, double r1, double r2) {
  static const char kLetter[3] = {'x', 'y', 'z'};
  const double coefficient[3] = {r0, r1, r2};
  std::string text;
  for (int n = 0; n < 3; ++n) {
    const double c = coefficient[n];
    if (Near(c, 1)) {
      text += '+';
      text += kLetter[n];
    } else if (Near(c, -1)) {
      text += '-';
      text += kLetter[n];
    } else if (!Near(c, 0)) {
      // Not part of a valid operation; written with its value ("2x",
      // "-0.5y") so that the text shows what the matrix holds.
      text += Format("%+lg%c", c, kLetter[n]);
    }
  }
  if (!text.empty() && text[0] == '+') text.erase(0, 1);
  return text;
}

std::string FormatFraction(double t) {
  static const struct {
    double value;
    const char* text;
  } kFractions[] = {
      {0.5, "1/2"},      {-0.5, "-1/2"},    {0.25, "1/4"},    {-0.25, "-1/4"},  {0.75, "3/4"},    {-0.75, "-3/4"},
      {0.33333, "1/3"},  {-0.33333, "-1/3"}, {0.66667, "2/3"}, {-0.66667, "-2/3"}, {0.125, "1/8"},  {-0.125, "-1/8"},
      {0.375, "3/8"},    {-0.375, "-3/8"},  {0.625, "5/8"},   {-0.625, "-5/8"}, {0.875, "7/8"},   {-0.875, "-7/8"},
  };
  for (const auto& f : kFractions)
    if (Near(t, f.value)) return f.text;
  return Format("%lg", t);
}

std::string OperationTextWithoutSiteId(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && IsWhite(text[i])) ++i;
  size_t digits = i;
  while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
  if (digits == i || digits >= text.size() || !IsWhite(text[digits])) return text;
  std::string rest = text.substr(digits);
  StripQuotes(rest);
  return rest;
}

bool ParseOperationText(const std::string& original, double rotation[3][3], double translation[3]) {
  const std::string text = OperationTextWithoutSiteId(original);
  for (int m = 0; m < 3; ++m) {
    translation[m] = 0;
    for (int n = 0; n < 3; ++n) rotation[m][n] = 0;
  }
  // Exactly three components separated by commas; nothing may follow the third.
  size_t pos = 0;
  for (int m = 0; m < 3; ++m) {
    if (!ParseComponent(text, pos, rotation[m], translation[m])) return false;
    if (m < 2) {
      if (pos >= text.size() || text[pos] != ',') return false;
      ++pos;
    }
  }
  if (pos != text.size()) return false;
  // A symmetry operation maps the cell onto itself: its determinant is +1 or
  // -1. This refuses texts such as "x,x,z" whose components are each fine.
  const double det = Determinant(rotation);
  return Near(det, 1) || Near(det, -1);
}

}  // namespace quorvel
