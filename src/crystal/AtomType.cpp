#include "crystal/AtomType.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "system/Platform.h"
#include "text/LineReader.h"
#include "text/Messages.h"
#include "text/NumberScan.h"
#include "text/ProfileFile.h"
#include "text/TextUtil.h"

namespace quorvel {

namespace {

// The first word of a trimmed database line: the text up to its first blank.
std::string FirstWord(const std::string& line) { return line.substr(0, line.find(' ')); }

// The next line of the file, trimmed; false at the end of the file.
bool ReadTrimmedLine(LineReader& reader, std::string& line) {
  if (!reader.ReadLine()) return false;
  line = reader.Line();
  Trim(line);
  return true;
}

// The property file is read into a buffer of 4096 characters.
std::string LookupProperty(const std::string& section, const char* key, const std::string& defaultText,
                           const std::string& path) {
  std::string value = GetPrivateProfileString(section, key, defaultText, path);
  if (value.size() > LineReader::kLineBufferSize - 1) value.resize(LineReader::kLineBufferSize - 1);
  return value;
}

}  // namespace

std::string ElementOfTypeName(const std::string& name) {
  size_t n = 0;
  while (n < name.size() && IsAsciiLetter(name[n])) ++n;
  return name.substr(0, n);
}

int CAtomType::ReadAtomConfiguration(const std::string& path) {
  LineReader reader;
  if (!reader.Open(path, LineReader::kText)) return -1;
  const std::string element = ElementOfTypeName(Name);
  // A type name that does not begin with a letter names no element.
  if (element.empty()) return 1;
  std::string line;
  bool found = false;
  while (!found && ReadTrimmedLine(reader, line)) found = EqualNoCase(FirstWord(line), element);
  if (!found) return 1;

  // Count line: three integers, the third the number of configuration lines
  // after the atomic-number line. A file that ends early leaves the record's
  // remaining values as they were.
  if (!ReadTrimmedLine(reader, line)) return 1;
  const char* p = line.c_str();
  int first = 0, second = 0, count = nConfigurationLines;
  if (ScanInt(p, first) && ScanInt(p, second)) ScanInt(p, count);
  if (!ReadTrimmedLine(reader, line)) return 1;
  AtomicNumber = AtoI(line);

  // The record holds 30 lines: a negative count stores none, a larger one the
  // first 30, and a file that ends before the count is reached the lines it
  // has. nConfigurationLines is always the number of lines stored.
  if (count < 0) count = 0;
  if (count > kMaxConfigurationLines) count = kMaxConfigurationLines;
  int stored = 0;
  while (stored < count && reader.ReadLine()) ConfigurationLines[stored++] = reader.Line();
  nConfigurationLines = stored;
  return 1;
}

int CAtomType::ReadAtomicWeight(const std::string& path) {
  LineReader reader;
  if (!reader.Open(path, LineReader::kText)) {
    ReportCanNotRead(path);
    return -1;
  }
  const std::string element = ElementOfTypeName(Name);
  // As in the configuration file, a name without a leading letter finds no
  // line (a key such as 12 has no letters either, and must not match it).
  if (element.empty()) return 1;
  std::string line;
  while (ReadTrimmedLine(reader, line)) {
    const size_t blank = line.find(' ');
    const std::string key = FirstWord(line);
    if (key.empty()) continue;
    // Keys carry charges (Fe2+): the letters alone name the element.
    if (!EqualNoCase(ElementOfTypeName(key), element)) continue;
    if (blank != std::string::npos) AtomicWeight = AtoF(line.c_str() + blank + 1);
    AsfdcKey = key;
    return 1;
  }
  return 1;
}

int CAtomType::ReadAtomProperties(const std::string& section, const std::string& path) {
  auto text = [&](const char* key, const std::string& defaultText) {
    return LookupProperty(section, key, defaultText, path);
  };
  auto real = [&](const char* key, const char* defaultText) { return AtoF(text(key, defaultText)); };
  auto integer = [&](const char* key, const char* defaultText) { return AtoI(text(key, defaultText)); };
  // The four guarded values take only numbers of 0 or more from the file: the
  // negative defaults leave them as they are.
  auto guarded = [](double value, double& field) {
    if (value >= 0) field = value;
  };

  Label = text("Label", "");
  guarded(real("AtomicNumber", "-1.0"), AtomicNumber);
  guarded(real("AtomicWeight", "-1.0"), AtomicWeight);
  guarded(AtoF(text("Charge", Format("%lg", Charge))), Charge);
  guarded(real("Radii", "1.0"), Radii);
  ViewRadius = real("ViewRadius", "0.06");
  ViewColorBlue = real("ViewColorBlue", "1.0");
  ViewColorRed = real("ViewColorRed", "1.0");
  ViewColorGreen = real("ViewColorGreen", "1.0");
  bUseMaterialProperty = integer("bUseMaterialProperty", "0") != 0;
  bUseEmissiveColor = integer("bUseEmissiveColor", "0") != 0;
  SpecularPower = real("SpecularPower", "100.0");
  ViewAtomEmissiveColorBlue = real("ViewAtomEmissiveColorBlue", "1.0");
  ViewAtomEmissiveColorGreen = real("ViewAtomEmissiveColorGreen", "1.0");
  ViewAtomEmissiveColorRed = real("ViewAtomEmissiveColorRed", "1.0");
  ViewAtomSpecularColorBlue = real("ViewAtomSpecularColorBlue", "1.0");
  ViewAtomSpecularColorGreen = real("ViewAtomSpecularColorGreen", "1.0");
  ViewAtomSpecularColorRed = real("ViewAtomSpecularColorRed", "1.0");
  nCriteriaMinCoordination = integer("nCriteriaMinCoordination", "0");
  nCriteriaMaxCoordination = integer("nCriteriaMaxCoordination", "100");
  return 1;
}

}  // namespace quorvel
