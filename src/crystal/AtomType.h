// One atom type of a crystal and its three database readers.
#pragma once

#include <string>

namespace quorvel {

class CAtomType {
 public:
  static constexpr int kMaxConfigurationLines = 30;

  // Atomic configuration file ("nonrel"): atomic number and configuration
  // lines of the element. -1 when the file cannot be opened (silently), else 1.
  int ReadAtomConfiguration(const std::string& path);
  // Atomic weight list ("asfdc"): weight and key word. -1 (with its message)
  // when the file cannot be opened, else 1.
  int ReadAtomicWeight(const std::string& path);
  // Atom property file (INI): display and material settings. Returns 1.
  int ReadAtomProperties(const std::string& section, const std::string& path);

  // The name the type goes by in formulas, tables and site counts: its Name,
  // else its Label (empty when it has neither).
  const std::string& NameOrLabel() const { return Name.empty() ? Label : Name; }

  std::string Name;      // unique within its crystal (Si, or O{b} for a second O type)
  std::string Label;     // display label from the property file
  std::string AsfdcKey;  // first word of the matching weight-list line
  double AtomicNumber = 0;
  double AtomicWeight = 1.0;  // g/mol
  double Charge = 0.0;
  double Radii = 1.0;
  int nConfigurationLines = 0;
  std::string ConfigurationLines[kMaxConfigurationLines];
  double ViewRadius = 0.06;
  double ViewColorRed = 1.0, ViewColorGreen = 0.0, ViewColorBlue = 0.0;
  bool bUseMaterialProperty = false, bUseEmissiveColor = false;
  double SpecularPower = 100.0;
  double ViewAtomEmissiveColorBlue = 1.0, ViewAtomEmissiveColorGreen = 1.0, ViewAtomEmissiveColorRed = 1.0;
  double ViewAtomSpecularColorBlue = 0.0, ViewAtomSpecularColorGreen = 0.0, ViewAtomSpecularColorRed = 1.0;
  int nCriteriaMinCoordination = 0, nCriteriaMaxCoordination = 100;
};

// The element part of a type name: the name cut at its first character that
// is not an ASCII letter (Si4+, Si and Si{b} all give Si).
std::string ElementOfTypeName(const std::string& name);

}  // namespace quorvel
