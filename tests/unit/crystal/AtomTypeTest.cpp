#include "crystal/AtomType.h"

#include <gtest/gtest.h>

#include <string>

#include "system/Platform.h"
#include "text/ProfileFile.h"
#include "tests/unit/TestFiles.h"

namespace quorvel {
namespace {

// No run gives a crystal a property file, so its reading is reached only
// here: sections and keys in any letter case and blanks, comments, quotes,
// and the values that take only numbers of 0 or more.
TEST(AtomType, PropertyFileSectionsAndKeys) {
  TempDir dir;
  const std::string path = dir.Path("atoms.ini");
  WriteFile(path,
            "top=before any section\r\n; [Hidden]\r\n[O]\r\nCharge = 1.5\r\n[ Si ]\r\n  Label  =  \"Silicon\"  \r\n"
            "AtomicNumber=14\r\nAtomicWeight = -3\r\nCharge = -2\r\nRadii=0.5 nm\r\n;ViewColorGreen = 0.3\r\n"
            "  ; ViewColorRed = 0.3\r\nbUseEmissiveColor = 2\r\nnCriteriaMaxCoordination = 4\r\nquoted='single'\r\n"
            "mixed = \"not a pair'\r\nempty =\r\nnoequals\r\n");
  CAtomType si, o;
  si.AtomicWeight = 28.0855;
  si.Charge = 4;
  EXPECT_EQ(si.ReadAtomProperties("Si", path), 1);
  EXPECT_EQ(o.ReadAtomProperties("o", path), 1);
  EXPECT_EQ(si.Label, "Silicon");
  EXPECT_TRUE(si.AtomicNumber == 14 && si.AtomicWeight == 28.0855 && si.Charge == 4 && si.Radii == 0.5);
  EXPECT_TRUE(si.ViewColorGreen == 1.0 && si.ViewColorRed == 1.0 && si.bUseEmissiveColor && !si.bUseMaterialProperty);
  EXPECT_TRUE(si.nCriteriaMinCoordination == 0 && si.nCriteriaMaxCoordination == 4);
  EXPECT_TRUE(o.Charge == 1.5 && o.Radii == 1.0);
  const struct {
    const char *section, *key, *value;
  } lookups[] = {{"SI", "QUOTED", "single"}, {"si", "mixed", "\"not a pair'"}, {"Si", "empty", ""},
                 {"Si", "noequals", "d"},    {"Hidden", "top", "d"},           {"Third", "Radii", "d"}};
  for (const auto& l : lookups) EXPECT_EQ(GetPrivateProfileString(l.section, l.key, "d", path), l.value) << l.key;
  EXPECT_EQ(GetPrivateProfileString("Si", "Radii", "d", dir.Path("none.ini")), "d");
}

}  // namespace
}  // namespace quorvel
