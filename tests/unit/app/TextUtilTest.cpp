#include "app/TextUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/unit/TestFiles.h"

namespace quorvel {
namespace {

TEST(TextUtil, TrimRemovesBlanksTabsAndLineEnds) {
  char blanks[] = " \t  \t";
  Trim(blanks);
  EXPECT_STREQ(blanks, "");
  char line[] = "  a b \r\n";
  EXPECT_EQ(Trim(line), 0);
  EXPECT_STREQ(line, "a b");
  char clean[] = "ab";
  EXPECT_EQ(Trim(clean), -2);  // nothing leading removed
  char empty[] = "";
  EXPECT_EQ(Trim(empty), -2);
  std::string s = "\t x y\n";
  Trim(s);
  EXPECT_EQ(s, "x y");
}

TEST(TextUtil, StripQuotesNeedsMatchingPair) {
  char dq[] = "  \"Si O2\" ";
  EXPECT_EQ(StripQuotes(dq), 0);
  EXPECT_STREQ(dq, "Si O2");
  char sq[] = "'x, y, z'";
  EXPECT_EQ(StripQuotes(sq), 0);
  EXPECT_STREQ(sq, "x, y, z");
  char mixed[] = " \"abc' ";
  EXPECT_EQ(StripQuotes(mixed), -1);
  EXPECT_STREQ(mixed, "\"abc'");
  char one[] = "'";
  EXPECT_EQ(StripQuotes(one), 0);
  EXPECT_STREQ(one, "");
  char half[] = "'abc";
  EXPECT_EQ(StripQuotes(half), -1);
  EXPECT_STREQ(half, "'abc");
}

TEST(TextUtil, SkipBlanksStopsAtFirstNonWhite) {
  EXPECT_STREQ(SkipBlanks(" \t\r\nab c"), "ab c");
  EXPECT_STREQ(SkipBlanks("   "), "");
  EXPECT_STREQ(SkipBlanks("\va"), "\va");  // vertical tab is not white space here
}

TEST(TextUtil, FoldToUnitCellByWholeSteps) {
  EXPECT_EQ(FoldToUnitCell(1.0), 0.0);
  EXPECT_EQ(FoldToUnitCell(-1.0), 0.0);
  EXPECT_EQ(FoldToUnitCell(2.0), 0.0);
  EXPECT_EQ(FoldToUnitCell(0.5), 0.5);
  EXPECT_EQ(FoldToUnitCell(-0.25), 0.75);
  EXPECT_EQ(FoldToUnitCell(3.25), 0.25);
  EXPECT_EQ(FoldToUnitCell(2.5), 0.5);
  // Inside [0,1) nothing changes, even above the 0.9999999999 threshold.
  EXPECT_EQ(FoldToUnitCell(0.99999999995), 0.99999999995);
  // Outside, the threshold applies: 1.99999999995 - 1 is at or above it.
  EXPECT_NEAR(FoldToUnitCell(1.99999999995), -5e-11, 1e-15);
  // Huge and non-finite values end (no endless loop, no overflow).
  EXPECT_EQ(FoldToUnitCell(1e300), 0.0);
  EXPECT_TRUE(std::isnan(FoldToUnitCell(std::nan(""))));
}

TEST(TextUtil, JoinPathInsertsOneSeparator) {
  std::string out;
  JoinPath(out, "", "spgra");
  EXPECT_EQ(out, "spgra");
  JoinPath(out, "/opt/db/", "spgra");
  EXPECT_EQ(out, "/opt/db/spgra");
  JoinPath(out, "C:\\db\\", "spgra");
  EXPECT_EQ(out, "C:\\db\\spgra");
  JoinPath(out, "/opt/db", "spgra");
  EXPECT_EQ(out, std::string("/opt/db") + kPathSeparatorForTests + "spgra");
  EXPECT_EQ(JoinPathString("", "nonrel"), "nonrel");
  EXPECT_EQ(JoinPathString("db\\", "nonrel"), "db\\nonrel");
  EXPECT_EQ(JoinPathString("db", "nonrel"), std::string("db") + kPathSeparatorForTests + "nonrel");
  // The output may be the directory itself.
  std::string dir = "/opt";
  JoinPath(dir, dir, "x");
  EXPECT_EQ(dir, std::string("/opt") + kPathSeparatorForTests + "x");
}

TEST(TextUtil, ReplaceExtensionKeepsDirectoryAndReplacesLastExtension) {
  std::string p = "/home/u/run.d/case.int";
  EXPECT_EQ(ReplaceExtension(p, "dos1ev"), "/home/u/run.d/case.dos1ev");
  p = "/home/u/run.d/case.int";
  EXPECT_EQ(ReplaceExtension(p, ".dos.csv"), "/home/u/run.d/case.dos.csv");
  p = "case.int";
  EXPECT_EQ(ReplaceExtension(p, "csv"), "case.csv");
  p = "run.d/case";  // dot only in the directory
  EXPECT_EQ(ReplaceExtension(p, "csv"), "run.d/case.csv");
  p = "C:\\w\\a.b.c";
  EXPECT_EQ(ReplaceExtension(p, "cif"), "C:\\w\\a.b.cif");
}

TEST(TextUtil, NumberConversionsFollowTheCLibrary) {
  EXPECT_EQ(AtoF("  5.4309(2)"), 5.4309);
  EXPECT_EQ(AtoF("abc"), 0.0);
  EXPECT_EQ(AtoF("-1e50"), -1e50);
  // Bit for bit what strtod gives, also where it is hard: more than fifteen
  // digits, huge and tiny exponents, signed zero, inf, nan, hexadecimal, a
  // field of four digits.
  for (const char* text : {"0.12345678901234567", "4500", " 1e400", "-1e-400", "-0", "inf", "-nan", "0x1.8p3",
                           "2.2250738585072011e-308", "123456789012345678901", "", "-", "."}) {
    double mine = AtoF(text), expected = std::strtod(text, nullptr);
    EXPECT_TRUE(std::memcmp(&mine, &expected, sizeof mine) == 0 || (std::isnan(mine) && std::isnan(expected)))
        << text;
  }
  EXPECT_EQ(AtoI("5=6"), 5);
  EXPECT_EQ(AtoI(" -12x"), -12);
  EXPECT_EQ(AtoI(""), 0);
  EXPECT_EQ(AtoI("99999999999"), 2147483647);
  EXPECT_EQ(AtoI("-99999999999"), -2147483647 - 1);
}

TEST(TextUtil, FieldCutsByCharacterPosition) {
  EXPECT_EQ(Field("ABCDEFGH", 2, 3), "CDE");
  EXPECT_EQ(Field("ABC", 2, 3), "C");
  EXPECT_EQ(Field("ABC", 5, 3), "");
}

TEST(TextUtil, FilesExistAndCopy) {
  TempDir dir;
  std::string a = dir.Path("a.txt"), b = dir.Path("b.txt");
  EXPECT_EQ(FileExists(a), 0);
  WriteFile(a, std::string("x\r\ny\0z", 6));
  EXPECT_EQ(FileExists(a), 1);
  EXPECT_TRUE(CopyFileContents(a, b));
  EXPECT_EQ(ReadFile(b), std::string("x\r\ny\0z", 6));
  // A source that cannot be read leaves an earlier copy as it was.
  EXPECT_FALSE(CopyFileContents(dir.Path("missing"), b));
  EXPECT_EQ(ReadFile(b), std::string("x\r\ny\0z", 6));
  // A copy that does not reach the disk whole is a failure, also when the
  // disk fills only as the last buffer is flushed.
  if (FileExists("/dev/full")) {
    EXPECT_FALSE(CopyFileContents(a, "/dev/full"));
  }
  // Same name in another letter case: nothing is touched.
  EXPECT_TRUE(CopyFileContents(a, dir.Path("A.TXT")));
  EXPECT_EQ(FileExists(dir.Path("A.TXT")), 0);
}

}  // namespace
}  // namespace quorvel
