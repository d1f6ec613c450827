#include "crystal/AtomType.h"

#include <gtest/gtest.h>

#include <string>

#include "app/Platform.h"
#include "app/TextUtil.h"
#include "tests/unit/TestFiles.h"

namespace quorvel {
namespace {

CAtomType TypeNamed(const std::string& name) {
  CAtomType type;
  type.Name = name;
  return type;
}

TEST(AtomType, ElementIsTheNameUpToItsFirstNonLetter) {
  EXPECT_EQ(ElementOfTypeName("Si4+"), "Si");
  EXPECT_EQ(ElementOfTypeName("Si{b}"), "Si");
  EXPECT_EQ(ElementOfTypeName("O"), "O");
  EXPECT_EQ(ElementOfTypeName("Fe2+"), "Fe");
  EXPECT_EQ(ElementOfTypeName("2Fe"), "");
  EXPECT_EQ(ElementOfTypeName(""), "");
}

// A configuration file in the installed layout: key line, count line,
// atomic-number line, configuration lines.
const char* const kNonrel =
    "Atomic configurations, nonrelativistic\n"
    "N   nitrogen\n"
    "0 0 3\n"
    "7\n"
    "1s 2\n"
    "2s 2\n"
    "2p 3\n"
    "  si   silicon, key in lower case  \n"
    "3 1 4\n"
    "  14\n"
    "[Ne]\n"
    "3s 2\n"
    "  3p 2\n"
    "end\n"
    "Na\n"
    "0 0 2\n"
    "11\n"
    "[Ne]\n"
    "3s 1\n";

TEST(AtomType, ConfigurationEntryOfTheElement) {
  TempDir dir;
  const std::string path = dir.Path("nonrel");
  WriteFile(path, kNonrel);

  CAtomType si = TypeNamed("Si4+");
  EXPECT_EQ(si.ReadAtomConfiguration(path), 1);
  EXPECT_EQ(si.AtomicNumber, 14);
  ASSERT_EQ(si.nConfigurationLines, 4);
  EXPECT_EQ(si.ConfigurationLines[0], "[Ne]\n");
  EXPECT_EQ(si.ConfigurationLines[2], "  3p 2\n");  // stored as read
  EXPECT_EQ(si.ConfigurationLines[3], "end\n");

  // N is not a prefix match for Na, nor Na for N.
  CAtomType na = TypeNamed("Na{b}");
  EXPECT_EQ(na.ReadAtomConfiguration(path), 1);
  EXPECT_EQ(na.AtomicNumber, 11);
  EXPECT_EQ(na.nConfigurationLines, 2);
  EXPECT_EQ(na.ConfigurationLines[1], "3s 1\n");  // the last line of the file
  CAtomType n = TypeNamed("N");
  n.ReadAtomConfiguration(path);
  EXPECT_EQ(n.AtomicNumber, 7);

  // Absent element, missing file, names without letters: nothing changes.
  for (const char* name : {"Xx", "3", ""}) {
    CAtomType other = TypeNamed(name);
    EXPECT_EQ(other.ReadAtomConfiguration(path), 1);
    EXPECT_EQ(other.AtomicNumber, 0);
    EXPECT_EQ(other.nConfigurationLines, 0);
  }
  testing::internal::CaptureStdout();
  EXPECT_EQ(si.ReadAtomConfiguration(dir.Path("none")), -1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");

  // Written on Windows: the same values, the lines without their CR.
  std::string crlf;
  for (char ch : std::string(kNonrel)) crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
  WriteFile(path, crlf);
  CAtomType windows = TypeNamed("Si");
  windows.ReadAtomConfiguration(path);
  EXPECT_EQ(windows.AtomicNumber, 14);
  ASSERT_EQ(windows.nConfigurationLines, 4);
  EXPECT_EQ(windows.ConfigurationLines[0], "[Ne]\n");
}

TEST(AtomType, ConfigurationCountsBeyondTheTableDoNotOverflow) {
  TempDir dir;
  const std::string path = dir.Path("nonrel");
  std::string lines;
  for (int i = 0; i < 35; ++i) lines += "line " + std::to_string(i) + "\n";

  WriteFile(path, "Si\n0 0 2147483647\n14\n" + lines);
  CAtomType huge = TypeNamed("Si");
  EXPECT_EQ(huge.ReadAtomConfiguration(path), 1);
  EXPECT_EQ(huge.AtomicNumber, 14);
  ASSERT_EQ(huge.nConfigurationLines, CAtomType::kMaxConfigurationLines);
  EXPECT_EQ(huge.ConfigurationLines[29], "line 29\n");

  WriteFile(path, "Si\n0 0 99999999999999999999\n14\n" + lines);
  CAtomType beyond = TypeNamed("Si");
  beyond.ReadAtomConfiguration(path);
  EXPECT_EQ(beyond.nConfigurationLines, 30);

  WriteFile(path, "Si\n0 0 -5\n14\n" + lines);
  CAtomType negative = TypeNamed("Si");
  negative.ReadAtomConfiguration(path);
  EXPECT_EQ(negative.AtomicNumber, 14);
  EXPECT_EQ(negative.nConfigurationLines, 0);

  // A file that ends early stores the lines it has.
  WriteFile(path, "Si\n0 0 5\n14\nonly\n");
  CAtomType shortFile = TypeNamed("Si");
  shortFile.ReadAtomConfiguration(path);
  ASSERT_EQ(shortFile.nConfigurationLines, 1);
  EXPECT_EQ(shortFile.ConfigurationLines[0], "only\n");

  // A count line without its third number reads no lines; the file ends
  // before the atomic number: that stays as it was.
  WriteFile(path, "Si\n3 4\n14\nx\n");
  CAtomType twoNumbers = TypeNamed("Si");
  twoNumbers.ReadAtomConfiguration(path);
  EXPECT_EQ(twoNumbers.AtomicNumber, 14);
  EXPECT_EQ(twoNumbers.nConfigurationLines, 0);
  WriteFile(path, "Si\n0 0 1\n");
  CAtomType truncated = TypeNamed("Si");
  truncated.ReadAtomConfiguration(path);
  EXPECT_EQ(truncated.AtomicNumber, 0);
  EXPECT_EQ(truncated.nConfigurationLines, 0);
}

TEST(AtomType, WeightListMatchesTheLettersOfTheKeyFirstLineWins) {
  TempDir dir;
  const std::string path = dir.Path("asfdc");
  WriteFile(path,
            "# atomic weights\n"
            "12 not an element\n"
            "   Fe2+   55.845   2.0 extra columns\n"
            "FE     99.0\n"
            "SI 28.0855\n"
            "Si 30.0\n"
            "N  14.007\n"
            "Na\n"
            "O 15.999(3)\n");
  CAtomType si = TypeNamed("Si4+");
  EXPECT_EQ(si.ReadAtomicWeight(path), 1);
  EXPECT_EQ(si.AtomicWeight, 28.0855);
  EXPECT_EQ(si.AsfdcKey, "SI");

  CAtomType fe = TypeNamed("Fe");
  fe.ReadAtomicWeight(path);
  EXPECT_EQ(fe.AtomicWeight, 55.845);
  EXPECT_EQ(fe.AsfdcKey, "Fe2+");

  // A matching line without a value gives the key only.
  CAtomType na = TypeNamed("Na");
  na.ReadAtomicWeight(path);
  EXPECT_EQ(na.AtomicWeight, 1.0);
  EXPECT_EQ(na.AsfdcKey, "Na");

  CAtomType o = TypeNamed("O{b}");
  o.ReadAtomicWeight(path);
  EXPECT_EQ(o.AtomicWeight, 15.999);

  // Absent elements, and names without letters, find nothing (not the line
  // whose key has no letters either).
  for (const char* name : {"Xe", "3", ""}) {
    CAtomType other = TypeNamed(name);
    EXPECT_EQ(other.ReadAtomicWeight(path), 1);
    EXPECT_EQ(other.AtomicWeight, 1.0);
    EXPECT_EQ(other.AsfdcKey, "");
  }

  testing::internal::CaptureStdout();
  CAtomType missing = TypeNamed("Si");
  EXPECT_EQ(missing.ReadAtomicWeight(dir.Path("nothere")), -1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Can not read [" + dir.Path("nothere") + "].\n");
  EXPECT_EQ(missing.AtomicWeight, 1.0);
}

TEST(AtomType, ShippedDatabasesGiveTheKnownElementData) {
  const std::string dir = QUORVEL_SOURCE_DATA_DIR;
  struct Known {
    const char* name;
    double number, weight;
    int shells;  // occupied subshells 1s ... of the ground state
  };
  for (const Known& k : {Known{"O2-", 8, 15.999, 3}, Known{"Si4+", 14, 28.085, 5}, Known{"Fe", 26, 55.845, 7}}) {
    CAtomType type = TypeNamed(k.name);
    EXPECT_EQ(type.ReadAtomConfiguration(JoinPathString(dir, "nonrel")), 1);
    EXPECT_EQ(type.ReadAtomicWeight(JoinPathString(dir, "asfdc")), 1);
    EXPECT_EQ(type.AtomicNumber, k.number) << k.name;
    EXPECT_NEAR(type.AtomicWeight, k.weight, 0.001) << k.name;
    EXPECT_EQ(type.nConfigurationLines, k.shells) << k.name;
    EXPECT_EQ(type.ConfigurationLines[0], "1s 2\n") << k.name;
  }
}

TEST(AtomType, PropertiesTakeDefaultsWithoutAFile) {
  CAtomType type = TypeNamed("Si");
  type.AtomicNumber = 14;
  type.AtomicWeight = 28.0855;
  type.Charge = 1.5;
  type.Label = "old";
  EXPECT_EQ(type.ReadAtomProperties("Si", ""), 1);
  EXPECT_EQ(type.Label, "");
  EXPECT_EQ(type.AtomicNumber, 14);
  EXPECT_EQ(type.AtomicWeight, 28.0855);
  EXPECT_EQ(type.Charge, 1.5);
  EXPECT_EQ(type.Radii, 1.0);
  EXPECT_EQ(type.ViewRadius, 0.06);
  EXPECT_EQ(type.ViewColorRed, 1.0);
  EXPECT_EQ(type.ViewColorGreen, 1.0);
  EXPECT_EQ(type.ViewColorBlue, 1.0);
  EXPECT_FALSE(type.bUseMaterialProperty);
  EXPECT_FALSE(type.bUseEmissiveColor);
  EXPECT_EQ(type.SpecularPower, 100.0);
  EXPECT_EQ(type.ViewAtomEmissiveColorRed, 1.0);
  EXPECT_EQ(type.ViewAtomSpecularColorBlue, 1.0);
  EXPECT_EQ(type.ViewAtomSpecularColorGreen, 1.0);
  EXPECT_EQ(type.ViewAtomSpecularColorRed, 1.0);
  EXPECT_EQ(type.nCriteriaMinCoordination, 0);
  EXPECT_EQ(type.nCriteriaMaxCoordination, 100);

  // A negative charge is printed as the default and then not taken back: it
  // stays as it was.
  CAtomType anion = TypeNamed("O");
  anion.Charge = -2;
  anion.ReadAtomProperties("O", "");
  EXPECT_EQ(anion.Charge, -2);
}

TEST(AtomType, PropertySectionOverridesAndGuards) {
  TempDir dir;
  const std::string path = dir.Path("atoms.ini");
  WriteFile(path,
            "; display settings of the atoms\r\n"
            "[O]\r\n"
            "Charge = 1.5\r\n"
            "[ Si ]\r\n"
            "Label = \"Silicon\"\r\n"
            "AtomicNumber=14\r\n"
            "AtomicWeight = -3\r\n"
            "Charge = -2\r\n"
            "Radii=0.5 nm\r\n"
            "viewradius = 0.11\r\n"
            "ViewColorRed = 0.2\r\n"
            ";ViewColorGreen = 0.3\r\n"
            "bUseMaterialProperty = 0\r\n"
            "bUseEmissiveColor = 2\r\n"
            "nCriteriaMaxCoordination = 4\r\n");
  CAtomType si = TypeNamed("Si");
  si.AtomicWeight = 28.0855;
  si.Charge = 4;
  EXPECT_EQ(si.ReadAtomProperties("Si", path), 1);
  EXPECT_EQ(si.Label, "Silicon");
  EXPECT_EQ(si.AtomicNumber, 14);
  EXPECT_EQ(si.AtomicWeight, 28.0855);  // -3 ignored
  EXPECT_EQ(si.Charge, 4);              // -2 ignored
  EXPECT_EQ(si.Radii, 0.5);
  EXPECT_EQ(si.ViewRadius, 0.11);
  EXPECT_EQ(si.ViewColorRed, 0.2);
  EXPECT_EQ(si.ViewColorGreen, 1.0);  // commented out
  EXPECT_FALSE(si.bUseMaterialProperty);
  EXPECT_TRUE(si.bUseEmissiveColor);
  EXPECT_EQ(si.nCriteriaMinCoordination, 0);
  EXPECT_EQ(si.nCriteriaMaxCoordination, 4);

  CAtomType o = TypeNamed("O");
  o.ReadAtomProperties("o", path);
  EXPECT_EQ(o.Charge, 1.5);
  EXPECT_EQ(o.Label, "");
}

TEST(AtomType, PrivateProfileLookup) {
  TempDir dir;
  const std::string path = dir.Path("lookup.ini");
  WriteFile(path,
            "top=before any section\n"
            "; [Hidden]\n"
            "[First]\n"
            "  Key One  =  value one  \n"
            "quoted='single'\n"
            "dquoted = \"double\"\n"
            "mixed = \"not a pair'\n"
            "empty =\n"
            "; commented = no\n"
            "  ; indented = comment\n"
            "noequals\n"
            "[second]\n"
            "key one = other section\n");
  EXPECT_EQ(GetPrivateProfileString("first", "KEY ONE", "d", path), "value one");
  EXPECT_EQ(GetPrivateProfileString("FIRST", "quoted", "d", path), "single");
  EXPECT_EQ(GetPrivateProfileString("First", "dquoted", "d", path), "double");
  EXPECT_EQ(GetPrivateProfileString("First", "mixed", "d", path), "\"not a pair'");
  EXPECT_EQ(GetPrivateProfileString("First", "empty", "d", path), "");
  EXPECT_EQ(GetPrivateProfileString("First", "commented", "d", path), "d");
  EXPECT_EQ(GetPrivateProfileString("First", "indented", "d", path), "d");
  EXPECT_EQ(GetPrivateProfileString("First", "noequals", "d", path), "d");
  EXPECT_EQ(GetPrivateProfileString("Second", "Key One", "d", path), "other section");
  EXPECT_EQ(GetPrivateProfileString("Hidden", "top", "d", path), "d");
  EXPECT_EQ(GetPrivateProfileString("Third", "Key One", "d", path), "d");
  EXPECT_EQ(GetPrivateProfileString("First", "Key One", "d", dir.Path("none.ini")), "d");
  EXPECT_EQ(GetPrivateProfileString("First", "Key One", "d", ""), "d");
}

}  // namespace
}  // namespace quorvel
