#include "crystal/SpaceGroup.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "tests/unit/TestFiles.h"

namespace quorvel {
namespace {

struct Operation {
  double r[3][3];
  double t[3];
};

CMyMatrix MakeMatrix(const double r[3][3]) {
  CMyMatrix m;
  m.SetSize(3, 3);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) m[i][j] = r[i][j];
  return m;
}

CMyVector MakeVector(double a, double b, double c) {
  CMyVector v;
  v.SetRange(0, 2);
  v[0] = a;
  v[1] = b;
  v[2] = c;
  return v;
}

std::string Text(const Operation& op) { return FormatOperation(MakeMatrix(op.r), MakeVector(op.t[0], op.t[1], op.t[2])); }

// Parses text and checks it gives exactly the rotation and, within tol, the translation.
void ExpectParsesTo(const std::string& text, const Operation& expected, double tol = 1e-12) {
  double r[3][3], t[3];
  ASSERT_TRUE(ParseOperationText(text, r, t)) << "[" << text << "]";
  for (int m = 0; m < 3; ++m) {
    for (int n = 0; n < 3; ++n) EXPECT_EQ(r[m][n], expected.r[m][n]) << "[" << text << "] row " << m << " col " << n;
    EXPECT_NEAR(t[m], expected.t[m], tol) << "[" << text << "] row " << m;
  }
}

struct Image {
  int result;
  double x, y, z;
};

Image Apply(const CSpaceGroup& g, int i, int j, int k, double x, double y, double z) {
  Image image{0, -1, -1, -1};
  image.result = g.ApplyOperation(i, j, k, x, y, z, image.x, image.y, image.z);
  return image;
}

void ExpectImage(const Image& image, double x, double y, double z) {
  EXPECT_EQ(image.result, 1);
  EXPECT_NEAR(image.x, x, 1e-12);
  EXPECT_NEAR(image.y, y, 1e-12);
  EXPECT_NEAR(image.z, z, 1e-12);
}

TEST(SpaceGroup, InitializeGivesP1WhoseIdentityFoldsIntoTheCell) {
  CSpaceGroup g;
  EXPECT_EQ(g.nOperations, 0);
  EXPECT_FALSE(g.HasNumericForm(0));
  EXPECT_EQ(g.Initialize(), 1);
  EXPECT_EQ(g.Name, "P1");
  EXPECT_EQ(g.Number, 1);
  EXPECT_EQ(g.SecondKey, 1);
  EXPECT_EQ(g.nOperations, 1);
  EXPECT_EQ(g.bInversion, 0);
  EXPECT_EQ(g.nCentring, 1);
  EXPECT_EQ(g.OperationText[0], "x,y,z");
  EXPECT_TRUE(g.HasNumericForm(0));
  EXPECT_FALSE(g.HasNumericForm(1));
  EXPECT_FALSE(g.HasNumericForm(-1));

  // 1.0 -> 0, -0.25 -> 0.75, 2.5 -> 0.5; values inside the cell stay exactly.
  Image folded = Apply(g, 0, 0, 0, 1.0, -0.25, 2.5);
  EXPECT_EQ(folded.result, 1);
  EXPECT_EQ(folded.x, 0.0);
  EXPECT_EQ(folded.y, 0.75);
  EXPECT_EQ(folded.z, 0.5);
  Image inside = Apply(g, 0, 0, 0, 0.3, 0.999, 0.0);
  EXPECT_EQ(inside.x, 0.3);
  EXPECT_EQ(inside.y, 0.999);
  EXPECT_EQ(inside.z, 0.0);
}

TEST(SpaceGroup, ApplyOperationRotatesTranslatesCentresThenInverts) {
  CSpaceGroup g;
  g.Initialize();
  g.bInversion = 1;
  ExpectImage(Apply(g, 0, 0, 1, 0.25, 0.5, 0.1), 0.75, 0.5, 0.9);
  ExpectImage(Apply(g, 0, 0, 0, 0.25, 0.5, 0.1), 0.25, 0.5, 0.1);
  // The inversion of a coordinate 0 is 0, not -0 (which prints as "-0.000000").
  Image zero = Apply(g, 0, 0, 1, 0.1, 0.0, 0.0);
  ExpectImage(zero, 0.9, 0.0, 0.0);
  EXPECT_FALSE(std::signbit(zero.y));
  EXPECT_FALSE(std::signbit(zero.z));

  // Inversion after the translation: -(0.1 + 1/4) = -0.35 -> 0.65, not -0.1 + 1/4.
  ASSERT_EQ(g.AddOperationText("x+1/4,y,z"), 2);
  ExpectImage(Apply(g, 1, 0, 1, 0.1, 0.2, 0.3), 0.65, 0.8, 0.7);

  // A hexagonal operation, rows acting on the column (x, y, z), with a
  // C-centring translation (1/2, 1/2, 0):
  // -y = -0.3 -> 0.7, x-y = -0.2 -> 0.8, z+1/3 = 1.2333.. -> 0.2333..
  ASSERT_EQ(g.AddOperationText("-y,x-y,z+1/3"), 3);
  g.nCentring = 2;
  g.Centring[1].SetRange(0, 2);
  g.Centring[1] = MakeVector(0.5, 0.5, 0);
  ExpectImage(Apply(g, 2, 0, 0, 0.1, 0.3, 0.9), 0.7, 0.8, 0.9 + 1.0 / 3 - 1);
  ExpectImage(Apply(g, 2, 1, 0, 0.1, 0.3, 0.9), 0.2, 0.3, 0.9 + 1.0 / 3 - 1);
  ExpectImage(Apply(g, 2, 1, 1, 0.1, 0.3, 0.9), 0.8, 0.7, 2 - 0.9 - 1.0 / 3);

  // Without a numeric form (or with a centring that is not there) there is no
  // image: -1, and the position comes back folded, never moved.
  testing::internal::CaptureStdout();
  ASSERT_EQ(g.AddOperationText("x,y"), 4);
  testing::internal::GetCapturedStdout();
  for (Image none : {Apply(g, 3, 0, 0, 1.25, 0.5, -0.5), Apply(g, 99, 0, 0, 1.25, 0.5, -0.5),
                     Apply(g, 0, 2, 0, 1.25, 0.5, -0.5), Apply(g, -1, 0, 0, 1.25, 0.5, -0.5)}) {
    EXPECT_EQ(none.result, -1);
    EXPECT_EQ(none.x, 0.25);
    EXPECT_EQ(none.y, 0.5);
    EXPECT_EQ(none.z, 0.5);
  }
}

// A database of three records: the first holds among its operation lines one
// that looks like the header of record (14, 1), so a miscounted skip would
// find the wrong record; the second line of each record is not used.
const char kDatabase[] =
    "2 1 0 0 3 P -1\n"
    "14 1 0 0 2 not an operation\n"
    "x,y,z\n"
    "-x,-y,-z\n"
    "14 1 0 0 1 decoy\n"
    "14 1 0 0 4 P 1 21/c 1  \r\n"
    "14 1 0 0 4 the second line\n"
    "x,y,z\n"
    "  -x , 1/2+y , 1/2-z \t\r\n"
    "-X,-Y,-Z\n"
    "x,1/2-y,1/2+z\n"
    "15 1 0 0 1 C 1 2/c 1\n";

TEST(SpaceGroup, ReadSPGFindsItsRecordAndGivesEveryTextItsNumericForm) {
  TempDir dir;
  const std::string path = dir.Path("spgra");
  WriteFile(path, kDatabase);
  CSpaceGroup g;

  testing::internal::CaptureStdout();
  EXPECT_EQ(g.ReadSPG(14, 1, path), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(g.Name, "P 1 21/c 1");
  EXPECT_EQ(g.Number, 14);
  EXPECT_EQ(g.SecondKey, 1);
  ASSERT_EQ(g.nOperations, 5);
  const char* texts[] = {"x,y,z", "x,y,z", "-x , 1/2+y , 1/2-z", "-X,-Y,-Z", "x,1/2-y,1/2+z"};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(g.OperationText[i], texts[i]);
    EXPECT_TRUE(g.HasNumericForm(i)) << i;
  }
  // The 2-fold screw axis: (0.1, 0.2, 0.3) -> (-0.1, 0.7, 0.2).
  ExpectImage(Apply(g, 2, 0, 0, 0.1, 0.2, 0.3), 0.9, 0.7, 0.2);
  ExpectImage(Apply(g, 4, 0, 0, 0.1, 0.2, 0.3), 0.1, 0.3, 0.8);

  // The decoy line is an operation line of this record: kept as text, with its message.
  testing::internal::CaptureStdout();
  EXPECT_EQ(g.ReadSPG(2, 1, path), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Error in CSpaceGroup::AddOperationText: Can not read the symmetry operation [14 1 0 0 1 decoy]; it is "
            "not applied to the atom sites.\n");
  EXPECT_EQ(g.Name, "P -1");
  EXPECT_EQ(g.nOperations, 4);
  EXPECT_EQ(g.OperationText[2], "-x,-y,-z");
  EXPECT_TRUE(g.HasNumericForm(2));
  EXPECT_FALSE(g.HasNumericForm(3));

  // Not in the file: P1 under the requested keys, no message.
  testing::internal::CaptureStdout();
  EXPECT_EQ(g.ReadSPG(14, 2, path), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(g.Name, "P1");
  EXPECT_EQ(g.Number, 14);
  EXPECT_EQ(g.SecondKey, 2);
  EXPECT_EQ(g.nOperations, 1);
  // Nothing of the earlier group is left behind: a reader that fills slot 1
  // with a text alone does not find the old numeric form there.
  g.nOperations = 2;
  g.OperationText[1] = "-x,y+1/2,-z+1/2";
  EXPECT_FALSE(g.HasNumericForm(1));

  // No file, no path.
  const std::string missing = dir.Path("no-such-spgra");
  testing::internal::CaptureStdout();
  EXPECT_EQ(g.ReadSPG(14, 1, missing), -1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error in CSpaceGroup::ReadSPG: Can not read [" + missing + "].\n");
  EXPECT_EQ(g.Name, "P1");
  EXPECT_EQ(g.Number, 14);
  EXPECT_EQ(g.nOperations, 1);
  EXPECT_EQ(g.ReadSPG(15, 3, ""), 0);
  EXPECT_EQ(g.Name, "P1");
  EXPECT_EQ(g.Number, 15);
  EXPECT_EQ(g.SecondKey, 3);
}

TEST(SpaceGroup, ReadSPGStopsAtAShortHeaderAndKeepsTheTableBounded) {
  TempDir dir;
  CSpaceGroup g;

  // A header without its name ends the reading: the record after it is not found.
  const std::string shortHeader = dir.Path("short");
  WriteFile(shortHeader, "5 1 0 0 0\nsecond\n14 1 0 0 1 P 1 21/c 1\nsecond\n-x,-y,-z\n");
  EXPECT_EQ(g.ReadSPG(14, 1, shortHeader), 1);
  EXPECT_EQ(g.Name, "P1");
  EXPECT_EQ(g.nOperations, 1);

  // A count far beyond the file only reads to its end.
  const std::string huge = dir.Path("huge");
  WriteFile(huge, "7 1 0 0 2147483647 P 1 c 1\nsecond\nx,y,z\nx,-y,z+1/2\n14 1 0 0 1 P 1 21/c 1\nsecond\nx,y,z\n");
  EXPECT_EQ(g.ReadSPG(14, 1, huge), 1);
  EXPECT_EQ(g.Name, "P1");
  // Requested, it takes every line up to the end of the file, the next
  // record's header and second line included (these two get their message).
  testing::internal::CaptureStdout();
  EXPECT_EQ(g.ReadSPG(7, 1, huge), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Error in CSpaceGroup::AddOperationText: Can not read the symmetry operation [14 1 0 0 1 P 1 21/c 1]; "
            "it is not applied to the atom sites.\n"
            "Error in CSpaceGroup::AddOperationText: Can not read the symmetry operation [second]; it is not "
            "applied to the atom sites.\n");
  EXPECT_EQ(g.Name, "P 1 c 1");
  EXPECT_EQ(g.nOperations, 6);
  EXPECT_EQ(g.OperationText[5], "x,y,z");
  EXPECT_TRUE(g.HasNumericForm(5));

  // 600 operation lines: 511 fit after "x,y,z", the rest are read and dropped
  // without a message; a text that does not parse gets its one message.
  std::string big = "230 1 0 0 600 Big\nsecond\nx+y\n";
  for (int i = 1; i < 600; ++i) big += "x+1/2,y,z\n";
  const std::string bigPath = dir.Path("big");
  WriteFile(bigPath, big);
  testing::internal::CaptureStdout();
  EXPECT_EQ(g.ReadSPG(230, 1, bigPath), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Error in CSpaceGroup::AddOperationText: Can not read the symmetry operation [x+y]; it is not applied "
            "to the atom sites.\n");
  EXPECT_EQ(g.Name, "Big");
  EXPECT_EQ(g.nOperations, CSpaceGroup::kMaxOperations);
  EXPECT_EQ(g.OperationText[1], "x+y");
  EXPECT_FALSE(g.HasNumericForm(1));
  EXPECT_TRUE(g.HasNumericForm(511));
  EXPECT_EQ(g.OperationText[511], "x+1/2,y,z");
}

TEST(SpaceGroup, FractionsAndRotationRows) {
  EXPECT_EQ(FormatFraction(0.5000001), "1/2");
  EXPECT_EQ(FormatFraction(0.2), "0.2");
  EXPECT_EQ(FormatFraction(1.0 / 6), "0.166667");
  EXPECT_EQ(FormatFraction(1.0 / 3), "1/3");
  EXPECT_EQ(FormatFraction(-2.0 / 3), "-2/3");
  EXPECT_EQ(FormatFraction(0.3333), "0.3333");  // 3.3e-5 away from 1/3: not within 1e-5
  EXPECT_EQ(FormatFraction(-0.125), "-1/8");
  EXPECT_EQ(FormatFraction(0.875), "7/8");
  EXPECT_EQ(FormatFraction(-0.625), "-5/8");
  EXPECT_EQ(FormatFraction(1.0), "1");

  EXPECT_EQ(FormatRotationRow(1, 0, 0), "x");
  EXPECT_EQ(FormatRotationRow(0, 1, 0), "y");
  EXPECT_EQ(FormatRotationRow(0, 0, -1), "-z");
  EXPECT_EQ(FormatRotationRow(1, -1, 0), "x-y");
  EXPECT_EQ(FormatRotationRow(-1, 1, 0), "-x+y");
  EXPECT_EQ(FormatRotationRow(0.999999, 0, 0.000001), "x");
  EXPECT_EQ(FormatRotationRow(0, 0, 0), "");
  EXPECT_EQ(FormatRotationRow(2, -0.5, 0), "2x-0.5y");
}

TEST(SpaceGroup, FormatOperationAppendsTheTranslations) {
  const Operation screw = {{{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}}, {0.5, 0.5, 0.5}};
  EXPECT_EQ(Text(screw), "-x+1/2,y+1/2,-z+1/2");
  const Operation hexagonal = {{{0, -1, 0}, {1, -1, 0}, {0, 0, 1}}, {0, 0, 0}};
  EXPECT_EQ(Text(hexagonal), "-y,x-y,z");
  const Operation negative = {{{1, 0, 0}, {0, -1, 1}, {0, 0, 1}}, {-0.25, 2.0 / 3, 1e-6}};
  EXPECT_EQ(Text(negative), "x-1/4,-y+z+2/3,z");
  // Rows without coordinate terms are not parts of symmetry operations; they
  // still show what they hold.
  const Operation degenerate = {{{0, 0, 0}, {0, 0, 0}, {1, 0, 0}}, {0.5, 0, 0.1}};
  EXPECT_EQ(Text(degenerate), "1/2,0,x+0.1");

  // Matrices with other bases are read by their own subscripts.
  CMyMatrix based = MakeMatrix(screw.r);
  based.SetBase(1, 1);
  CMyVector t = MakeVector(0, 0.25, 0.75);
  t.SetRange(1, 3);
  EXPECT_EQ(FormatOperation(based, t), "-x,y+1/4,-z+3/4");
}

TEST(SpaceGroup, ParseOperationTextReadsTheFormsOfRealFiles) {
  struct Case {
    const char* text;
    Operation op;
  };
  const Case cases[] = {
      {"x,y,z", {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0, 0, 0}}},
      {"X, Y, Z", {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0, 0, 0}}},
      {"+x,+y,+z", {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0, 0, 0}}},
      {"x, -y, +z", {{{1, 0, 0}, {0, -1, 0}, {0, 0, 1}}, {0, 0, 0}}},
      {"x-y,x,z", {{{1, -1, 0}, {1, 0, 0}, {0, 0, 1}}, {0, 0, 0}}},
      {"-x+y,-x,z", {{{-1, 1, 0}, {-1, 0, 0}, {0, 0, 1}}, {0, 0, 0}}},
      {"+y-x,x,z", {{{-1, 1, 0}, {1, 0, 0}, {0, 0, 1}}, {0, 0, 0}}},
      {"1/2+x,x+1/2-y,-z+1/4", {{{1, 0, 0}, {1, -1, 0}, {0, 0, -1}}, {0.5, 0.5, 0.25}}},
      {"0.5+x, +0.25-Y, z+2/3", {{{1, 0, 0}, {0, -1, 0}, {0, 0, 1}}, {0.5, 0.25, 2.0 / 3}}},
      {"-x+y+1/3,-x+2/3,z+1/3", {{{-1, 1, 0}, {-1, 0, 0}, {0, 0, 1}}, {1.0 / 3, 2.0 / 3, 1.0 / 3}}},
      {" - x + 1 / 2 ,\ty ,z- 1/4 ", {{{-1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0.5, 0, -0.25}}},
      {"3/4+z,3/4-x,1/4+y", {{{0, 0, 1}, {-1, 0, 0}, {0, 1, 0}}, {0.75, 0.75, 0.25}}},
      {".5+x,y+1.,z+0.125", {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0.5, 1, 0.125}}},
      {"x,y,z+0.3333", {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0, 0, 0.3333}}},
      // Translations that are no simple fraction are written with "%lg".
      {"x,y,z+6.24122e-05", {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0, 0, 6.24122e-05}}},
      {"x+1e+06,y,z", {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {1e6, 0, 0}}},
      // Whole database-export lines: site id, blank, quoted or bare text.
      {"1 'x, y, z'", {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0, 0, 0}}},
      {"12  \"-y+1/2, x, z\"", {{{0, -1, 0}, {1, 0, 0}, {0, 0, 1}}, {0.5, 0, 0}}},
      {"2 +x,+y,+z", {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0, 0, 0}}},
  };
  for (const Case& c : cases) ExpectParsesTo(c.text, c.op);

  const char* rejected[] = {
      "",           "x,y",          "x,y,z,x",     "x,y,z,",        ",x,y,z",      "x,,z",
      "a,b,c",      "garbage",      "2x,y,z",      "2*x,y,z",       "1/2x,y,z",    "x/2,y,z",
      "x+x,y,z",    "x-x+y,y,z",    "x,x,z",       "1/2,y,z",       "x+1/2+1/4,y,z", "x+1/0,y,z",
      "x1/2,y,z",   "xy,y,z",       "x y z",       "x++y,y,z",      "x+,y,z",      "x,y,z+.",
      "x,y,z+1e", "x,y,z+1/2/2",  "x;y;z",       "1 'x, y",       "'x,y,z'",     "x,y,z\n#",
      "x,y,\xe2\x88\x92z",          "x,y,w",       "x,y,z+1/",
  };
  for (const char* text : rejected) {
    double r[3][3], t[3];
    EXPECT_FALSE(ParseOperationText(text, r, t)) << "[" << text << "]";
  }
  // Binary garbage, an embedded terminator.
  double r[3][3], t[3];
  EXPECT_FALSE(ParseOperationText(std::string("x,y\0,z", 6), r, t));
  EXPECT_FALSE(ParseOperationText(std::string("\x01\xff\x80,\x7f,\x00", 7), r, t));
  EXPECT_FALSE(ParseOperationText(std::string(5000, 'x'), r, t));
}

TEST(SpaceGroup, RoundTripOfP21cAndFm3m) {
  // P 1 21/c 1, written out by hand.
  const Operation p21c[] = {
      {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0, 0, 0}},
      {{{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}}, {0, 0.5, 0.5}},
      {{{-1, 0, 0}, {0, -1, 0}, {0, 0, -1}}, {0, 0, 0}},
      {{{1, 0, 0}, {0, -1, 0}, {0, 0, 1}}, {0, 0.5, 0.5}},
  };
  const char* p21cTexts[] = {"x,y,z", "-x,y+1/2,-z+1/2", "-x,-y,-z", "x,-y+1/2,z+1/2"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(Text(p21c[i]), p21cTexts[i]);
    ExpectParsesTo(p21cTexts[i], p21c[i]);
  }

  // F m -3 m: the 48 signed permutation matrices of the cube, each with the
  // four face-centring translations.
  const int permutations[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
  const double centring[4][3] = {{0, 0, 0}, {0, 0.5, 0.5}, {0.5, 0, 0.5}, {0.5, 0.5, 0}};
  std::set<std::string> texts;
  for (const auto& p : permutations) {
    for (int signs = 0; signs < 8; ++signs) {
      for (const auto& s : centring) {
        Operation op = {{{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}, {s[0], s[1], s[2]}};
        for (int m = 0; m < 3; ++m) op.r[m][p[m]] = (signs >> m) & 1 ? -1 : 1;
        std::string text = Text(op);
        texts.insert(text);
        ExpectParsesTo(text, op);
      }
    }
  }
  EXPECT_EQ(texts.size(), 192u);
  EXPECT_EQ(texts.count("-z+1/2,x,-y+1/2"), 1u);
  EXPECT_EQ(texts.count("y+1/2,-x+1/2,z"), 1u);
  EXPECT_EQ(texts.count("-x,-z+1/2,-y+1/2"), 1u);
}

// Composition (R1, t1)(R2, t2) = (R1 R2, R1 t2 + t1), translations folded into [0, 1).
Operation Compose(const Operation& a, const Operation& b) {
  Operation c;
  for (int m = 0; m < 3; ++m) {
    c.t[m] = a.t[m];
    for (int n = 0; n < 3; ++n) {
      c.r[m][n] = 0;
      for (int k = 0; k < 3; ++k) c.r[m][n] += a.r[m][k] * b.r[k][n];
      c.t[m] += a.r[m][n] * b.t[n];
    }
    c.t[m] -= std::floor(c.t[m]);
    if (c.t[m] > 1 - 1e-9) c.t[m] = 0;
  }
  return c;
}

bool Same(const Operation& a, const Operation& b) {
  for (int m = 0; m < 3; ++m) {
    if (std::fabs(a.t[m] - b.t[m]) > 1e-9) return false;
    for (int n = 0; n < 3; ++n)
      if (a.r[m][n] != b.r[m][n]) return false;
  }
  return true;
}

TEST(SpaceGroup, RoundTripOfP6122GeneratedFromTwoGenerators) {
  Operation generators[2];
  ASSERT_TRUE(ParseOperationText("x-y,x,z+1/6", generators[0].r, generators[0].t));
  ASSERT_TRUE(ParseOperationText("y, x, -z+1/3", generators[1].r, generators[1].t));
  std::vector<Operation> group = {{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0, 0, 0}}};
  for (size_t i = 0; i < group.size() && group.size() < 100; ++i) {
    for (const Operation& g : generators) {
      Operation c = Compose(g, group[i]);
      bool known = false;
      for (const Operation& o : group) known = known || Same(o, c);
      if (!known) group.push_back(c);
    }
  }
  ASSERT_EQ(group.size(), 12u);
  // The operations of P 61 2 2; 1/6 and 5/6 are not among the fraction texts.
  const std::set<std::string> expected = {
      "x,y,z",           "-y,x-y,z+1/3",      "-x+y,-x,z+2/3",    "-x,-y,z+1/2",
      "y,-x+y,z+0.833333", "x-y,x,z+0.166667",  "y,x,-z+1/3",       "x-y,-y,-z",
      "-x,-x+y,-z+2/3",  "-y,-x,-z+0.833333", "-x+y,y,-z+1/2",    "x,x-y,-z+0.166667",
  };
  std::set<std::string> texts;
  for (const Operation& op : group) {
    std::string text = Text(op);
    texts.insert(text);
    ExpectParsesTo(text, op, 1e-6);
  }
  EXPECT_EQ(texts, expected);
}

TEST(SpaceGroup, AddOperationKeepsTextAndNumericFormTogether) {
  CSpaceGroup g;
  g.Initialize();
  const double hexagonal[3][3] = {{0, -1, 0}, {1, -1, 0}, {0, 0, 1}};
  EXPECT_EQ(g.AddOperation(MakeMatrix(hexagonal), MakeVector(0, 0, 1.0 / 3)), 2);
  EXPECT_EQ(g.OperationText[1], "-y,x-y,z+1/3");
  ExpectImage(Apply(g, 1, 0, 0, 0.1, 0.3, 0.9), 0.7, 0.8, 0.9 + 1.0 / 3 - 1);
  // A rotation that is not 3 x 3 is refused.
  CMyMatrix small;
  small.SetSize(2, 2);
  EXPECT_EQ(g.AddOperation(small, MakeVector(0, 0, 0)), -1);
  EXPECT_EQ(g.nOperations, 2);

  // A text that does not parse: one message naming it, kept as text only.
  // Reusing slot 1 must not leave its earlier numeric form behind.
  g.nOperations = 1;
  testing::internal::CaptureStdout();
  EXPECT_EQ(g.AddOperationText("x, y, q"), 2);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Error in CSpaceGroup::AddOperationText: Can not read the symmetry operation [x, y, q]; it is not "
            "applied to the atom sites.\n");
  EXPECT_EQ(g.OperationText[1], "x, y, q");
  EXPECT_FALSE(g.HasNumericForm(1));

  // The full table refuses both kinds of addition silently and keeps its last entry.
  while (g.nOperations < CSpaceGroup::kMaxOperations) ASSERT_GT(g.AddOperationText("-x,-y,-z"), 0);
  testing::internal::CaptureStdout();
  EXPECT_EQ(g.AddOperationText("x,y,z"), -1);
  EXPECT_EQ(g.AddOperation(MakeMatrix(hexagonal), MakeVector(0, 0, 0)), -1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(g.nOperations, CSpaceGroup::kMaxOperations);
  EXPECT_EQ(g.OperationText[CSpaceGroup::kMaxOperations - 1], "-x,-y,-z");
}

}  // namespace
}  // namespace quorvel
