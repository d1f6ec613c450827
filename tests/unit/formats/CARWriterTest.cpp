#include "formats/CARWriter.h"

#include <gtest/gtest.h>

#include <ctime>

#include "app/Platform.h"
#include "crystal/Crystal.h"
#include "tests/unit/TestFiles.h"
#include "tests/unit/formats/TestCrystals.h"

namespace quorvel {
namespace {

// English names of the C locale, independent of the writer's tables.
std::string CLocaleName(const char* format, const std::tm& t) {
  char buffer[16];
  std::strftime(buffer, sizeof buffer, format, &t);
  return buffer;
}

// The date line holds the time of writing with blank-padded fields and
// English names.
void ExpectDateLine(const std::string& line, const std::tm& before, const std::tm& after) {
  ASSERT_TRUE(HasShape(line, "!DATE ??? ??? #9 #9:#9:#9 9999")) << line;
  // Day, hour, minute and second are padded with blanks, never with zeros.
  for (size_t i : {14, 17, 20, 23}) EXPECT_NE(line[i], '0') << line;
  bool matched = false;
  for (const std::tm* t : {&before, &after}) {
    matched = matched || (line.substr(6, 3) == CLocaleName("%a", *t) && line.substr(10, 3) == CLocaleName("%b", *t) &&
                          std::stoi(line.substr(14, 2)) == t->tm_mday && std::stoi(line.substr(17, 2)) == t->tm_hour &&
                          std::stoi(line.substr(20, 2)) == t->tm_min && std::stoi(line.substr(23, 2)) == t->tm_sec &&
                          std::stoi(line.substr(26, 4)) == t->tm_year + 1900);
  }
  EXPECT_TRUE(matched) << line;
}

// Writes and returns the lines, the date line checked and taken out.
std::vector<std::string> WriteLines(const CCrystal& crystal, const std::string& path) {
  std::tm before = LocalTimeNow();
  EXPECT_EQ(WriteCAR(path, crystal), 1);
  std::tm after = LocalTimeNow();
  std::vector<std::string> lines = SplitLines(ReadFile(path));
  if (lines.size() > 2) {
    ExpectDateLine(lines[2], before, after);
    lines[2] = "DATE";
  }
  return lines;
}

TEST(CARWriterTest, NamesAndPositionsOfTheUnitCell) {
  TempDir dir;
  CCrystal crystal;
  SetCell(crystal, 0.5431, 0.5431, 0.5431, 90, 90, 90);
  crystal.SpaceGroup.Name = "F d -3 m";  // written as P 1 whatever it is
  int o = AddTestType(crystal, "O");
  int si = AddTestType(crystal, "Si");
  crystal.AddAtomSite("a", o, 0, 1.0, 0, 0, 0, 0, 0, 0);
  crystal.AddAtomSite("b", si, 1, 1.0, 0.25, 0.25, 0.25, 0, 0, 0);
  crystal.AddAtomSite("c", o, 0, 1.0, 1.2, 0.5, 0, 0, 0, 0);  // outside the cell, not wrapped

  std::vector<std::string> expected = {
      "!BIOSYM archive 3",
      "PBC=ON",
      "DATE",
      "PBC    5.4310    5.4310    5.4310   90.0000   90.0000   90.0000 (P 1)",
      "O1       0.000000000    0.000000000    0.000000000 XXXX 1      xx      O   0.000",
      "Si1      1.357750000    1.357750000    1.357750000 XXXX 1      xx      Si  0.000",
      "O2       6.517200000    2.715500000    0.000000000 XXXX 1      xx      O   0.000",
      "end",
      "end",
      ""};
  EXPECT_EQ(WriteLines(crystal, dir.Path("a.car")), expected);
  EXPECT_EQ(ReadFile(dir.Path("a.car")).substr(ReadFile(dir.Path("a.car")).size() - 9), "end\nend\n\n");
}

TEST(CARWriterTest, LongNamesNoSitesAndFailure) {
  TempDir dir;
  CCrystal crystal;
  SetCell(crystal, 0.4, 0.5, 0.6, 90, 90, 120);
  std::vector<std::string> lines = WriteLines(crystal, dir.Path("e.car"));
  std::vector<std::string> expected = {"!BIOSYM archive 3",
                                       "PBC=ON",
                                       "DATE",
                                       "PBC    4.0000    5.0000    6.0000   90.0000   90.0000  120.0000 (P 1)",
                                       "end",
                                       "end",
                                       ""};
  EXPECT_EQ(lines, expected);

  // A name of six characters widens the first column.
  int ca = AddTestType(crystal, "Ca{b}");
  crystal.AddAtomSite("x", ca, 0, 1.0, 0, 0, 0, 0, 0, 0);
  lines = WriteLines(crystal, dir.Path("l.car"));
  ASSERT_GE(lines.size(), 5u);
  EXPECT_EQ(lines[4].substr(0, 22), "Ca{b}1    0.000000000 ");

  std::string path = dir.Path("no/such/dir/a.car");
  testing::internal::CaptureStdout();
  EXPECT_EQ(WriteCAR(path, crystal), -1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Can not write to [" + path + "].\n");
}

}  // namespace
}  // namespace quorvel
