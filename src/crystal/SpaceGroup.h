// The symmetry of a crystal: operations (text and numeric form), centring
// translations and the inversion flag.
#pragma once

#include <string>

#include "numerics/MyVector.h"

namespace quorvel {

class CSpaceGroup {
 public:
  static constexpr int kMaxOperations = 512;
  static constexpr int kMaxCentring = 4;

  CSpaceGroup() = default;  // all tables empty

  // P1 with the single operation "x,y,z" (identity in both forms). Returns 1.
  int Initialize();
  // Loads record (number, secondKey) of the space-group database. 0 when path
  // is empty, -1 when it cannot be opened, else 1 (also when not found).
  int ReadSPG(int number, int secondKey, const std::string& path);
  // Finds a space group by its symbol in the space-group database: the first
  // record whose name equals symbol once white space is removed from both,
  // ignoring letter case. 1 with number and secondKey set when found, 0 when
  // not found, -1 (with its message) when the database cannot be read.
  static int FindByName(const std::string& symbol, const std::string& path, int& number, int& secondKey);
  // The same by Hall symbol ("-I 4bd 2"), compared term by term.
  static int FindByHall(const std::string& hall, const std::string& path, int& number, int& secondKey);
  // The name of record (number, secondKey) that tells its setting apart: a
  // name with a setting mark ("F d -3 m:2", "R -3 m:H"), else a monoclinic
  // full symbol ("B 1 1 2/b"), else its first name; empty when the database
  // has no such record (or cannot be read, with its message). Readers of
  // other programs take a symbol without the mark for the first setting, so
  // a CIF file names a group by this name.
  static std::string SettingName(int number, int secondKey, const std::string& path);
  // Image of a fractional position under operation i, centring j and
  // inversion k (k > 0), folded into the cell. Returns 1.
  int ApplyOperation(int i, int j, int k, double x, double y, double z, double& x2, double& y2, double& z2) const;

  // Appends an operation given as text ("-x+1/2,y,z+1/4"), with the numeric
  // form parsed from it. A text that cannot be parsed is reported once and
  // kept as text only, so it is never applied by the expansion. Returns the
  // new operation count, or -1 when the table is full (the text is dropped).
  int AddOperationText(const std::string& text);
  // Appends an operation given in numeric form; its text is made by
  // FormatOperation. Returns the new count, or -1 when the table is full.
  int AddOperation(const CMyMatrix& rotation, const CMyVector& translation);
  // True when operation i carries its numeric form.
  bool HasNumericForm(int i) const;

  std::string Name = "P1";
  int Number = 1;
  int SecondKey = 1;
  int nOperations = 0;
  int bInversion = 0;
  int nCentring = 0;
  CMyVector Centring[kMaxCentring];
  std::string OperationText[kMaxOperations];
  CMyVector OperationTranslation[kMaxOperations];
  CMyMatrix OperationRotation[kMaxOperations];
};

// "x,y,z"-style text of a numeric operation; each row's non-zero translation
// is appended as a fraction ("-x+1/2,y,z").
std::string FormatOperation(const CMyMatrix& rotation, const CMyVector& translation);
// One row of the rotation: "x", "-y", "x-y", ...
std::string FormatRotationRow(double r0, double r1, double r2);
// "1/2", "-1/4", ... or the "%lg" text of any other value.
std::string FormatFraction(double t);
// Parses an operation text (terms in any order and letter case, blanks
// anywhere, fractions or decimals as translations). False when the text is
// not a valid operation; the outputs are then unspecified.
bool ParseOperationText(const std::string& text, double rotation[3][3], double translation[3]);
// Database exports list operations as "1 'x, y, z'" (site id, blank, quoted
// text): the text after the id, unquoted. A leading whole number followed by
// a blank is taken as that id; a text without one is returned as it is. The
// parser takes the numeric form of a whole line from this text.
std::string OperationTextWithoutSiteId(const std::string& text);

}  // namespace quorvel
