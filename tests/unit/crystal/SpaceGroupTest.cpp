#include "crystal/SpaceGroup.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace quorvel {
namespace {

struct Operation {
  double r[3][3];
  double t[3];
};

// The text FormatOperation writes for op.
std::string Text(const Operation& op) {
  CMyMatrix m;
  m.SetSize(3, 3);
  CMyVector v;
  v.SetRange(0, 2);
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) m[i][j] = op.r[i][j];
    v[i] = op.t[i];
  }
  return FormatOperation(m, v);
}

// Parses text and checks it gives exactly the rotation and, within tol, the translation.
void ExpectParsesTo(const std::string& text, const Operation& expected, double tol = 1e-12) {
  double r[3][3], t[3];
  ASSERT_TRUE(ParseOperationText(text, r, t)) << "[" << text << "]";
  for (int m = 0; m < 3; ++m) {
    for (int n = 0; n < 3; ++n) EXPECT_EQ(r[m][n], expected.r[m][n]) << "[" << text << "] row " << m << " col " << n;
    EXPECT_NEAR(t[m], expected.t[m], tol) << "[" << text << "] row " << m;
  }
}

TEST(SpaceGroup, ParseOperationTextReadsTheFormsOfRealFiles) {
  const Operation identity = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0, 0, 0}};
  const struct {
    const char* text;
    Operation op;
  } cases[] = {
      {"x,y,z", identity},
      {"X, Y, Z", identity},
      {"+x,+y,+z", identity},
      {"x, -y, +z", {{{1, 0, 0}, {0, -1, 0}, {0, 0, 1}}, {0, 0, 0}}},
      {"x-y,x,z", {{{1, -1, 0}, {1, 0, 0}, {0, 0, 1}}, {0, 0, 0}}},
      {"+y-x,x,z", {{{-1, 1, 0}, {1, 0, 0}, {0, 0, 1}}, {0, 0, 0}}},
      {"1/2+x,x+1/2-y,-z+1/4", {{{1, 0, 0}, {1, -1, 0}, {0, 0, -1}}, {0.5, 0.5, 0.25}}},
      {"0.5+x, +0.25-Y, z+2/3", {{{1, 0, 0}, {0, -1, 0}, {0, 0, 1}}, {0.5, 0.25, 2.0 / 3}}},
      {"-x+y+1/3,-x+2/3,z+1/3", {{{-1, 1, 0}, {-1, 0, 0}, {0, 0, 1}}, {1.0 / 3, 2.0 / 3, 1.0 / 3}}},
      {" - x + 1 / 2 ,\ty ,z- 1/4 ", {{{-1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0.5, 0, -0.25}}},
      {"3/4+z,3/4-x,1/4+y", {{{0, 0, 1}, {-1, 0, 0}, {0, 1, 0}}, {0.75, 0.75, 0.25}}},
      {".5+x,y+1.,z+0.125", {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0.5, 1, 0.125}}},
      // Translations that are no simple fraction, as "%lg" writes them.
      {"x,y,z+0.3333", {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0, 0, 0.3333}}},
      {"x,y,z+6.24122e-05", {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0, 0, 6.24122e-05}}},
      {"x+1e+06,y,z", {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {1e6, 0, 0}}},
      // Whole database-export lines: site id, blank, quoted or bare text.
      {"1 'x, y, z'", identity},
      {"12  \"-y+1/2, x, z\"", {{{0, -1, 0}, {1, 0, 0}, {0, 0, 1}}, {0.5, 0, 0}}},
      {"2 +x,+y,+z", identity},
  };
  for (const auto& c : cases) ExpectParsesTo(c.text, c.op);

  const std::string rejected[] = {"", "x,y", "x,y,z,x", "x,y,z,", ",x,y,z", "x,,z", "a,b,c", "garbage", "2x,y,z",
                                  "2*x,y,z", "1/2x,y,z", "x/2,y,z", "x+x,y,z", "x-x+y,y,z", "x,x,z", "1/2,y,z",
                                  "x+1/2+1/4,y,z", "x+1/0,y,z", "x1/2,y,z", "xy,y,z", "x y z", "x++y,y,z", "x+,y,z",
                                  "x,y,z+.", "x,y,z+1e", "x,y,z+1/2/2", "x;y;z", "1 'x, y", "'x,y,z'", "x,y,z\n#",
                                  "x,y,\xe2\x88\x92z", "x,y,w", "x,y,z+1/", std::string("x,y\0,z", 6),
                                  std::string("\x01\xff\x80,\x7f,\x00", 7), std::string(5000, 'x')};
  for (const std::string& text : rejected) {
    double r[3][3], t[3];
    EXPECT_FALSE(ParseOperationText(text, r, t)) << "[" << text << "]";
  }
}

// Texts written by FormatOperation, against hand-written ones (the four
// operations of P 1 21/c 1 first, then rows of other kinds and translations
// near and not so near simple fractions), read back to the operations they
// were made from; and the 192 operations of F m -3 m (the 48 signed
// permutation matrices of the cube, each with the four face-centring
// translations).
TEST(SpaceGroup, FormattedOperationsReadBack) {
  const struct {
    Operation op;
    const char* text;
    bool bOperation = true;
  } cases[] = {
      {{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0, 0, 0}}, "x,y,z"},
      {{{{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}}, {0, 0.5, 0.5}}, "-x,y+1/2,-z+1/2"},
      {{{{-1, 0, 0}, {0, -1, 0}, {0, 0, -1}}, {0, 0, 0}}, "-x,-y,-z"},
      {{{{1, 0, 0}, {0, -1, 0}, {0, 0, 1}}, {0, 0.5, 0.5}}, "x,-y+1/2,z+1/2"},
      {{{{1, 0, 0}, {0, -1, 1}, {0, 0, 1}}, {-0.25, 2.0 / 3, 1e-6}}, "x-1/4,-y+z+2/3,z"},
      {{{{0, -1, 0}, {1, -1, 0}, {0, 0, 1}}, {0, 0, 1.0 / 3}}, "-y,x-y,z+1/3"},
      {{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {0.3333, 0.250005, 0.5000001}}, "x+0.3333,y+1/4,z+1/2"},  // within 1e-5
      {{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {1, -1, 0}}, "x+1,y-1,z"},
      // Rows that make no operation (and do not read back) still show what they hold.
      {{{{0, 0, 0}, {0, 0, 0}, {1, 0, 0}}, {0.5, 0, 0.1}}, "1/2,0,x+0.1", false},
      {{{{2, -0.5, 0}, {0.999999, 0, 0.000001}, {-1, 1, 0}}, {1.0 / 6, -0.625, 0.875}},
       "2x-0.5y+0.166667,x-5/8,-x+y+7/8", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Text(c.op), c.text);
    if (c.bOperation) ExpectParsesTo(c.text, c.op, 1e-5);
  }

  const int permutations[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
  const double centring[4][3] = {{0, 0, 0}, {0, 0.5, 0.5}, {0.5, 0, 0.5}, {0.5, 0.5, 0}};
  std::set<std::string> fm3m;
  for (const auto& p : permutations)
    for (int signs = 0; signs < 8; ++signs)
      for (const auto& s : centring) {
        Operation op = {{{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}, {s[0], s[1], s[2]}};
        for (int m = 0; m < 3; ++m) op.r[m][p[m]] = (signs >> m) & 1 ? -1 : 1;
        fm3m.insert(Text(op));
        ExpectParsesTo(Text(op), op);
      }
  EXPECT_EQ(fm3m.size(), 192u);
  for (const char* text : {"-z+1/2,x,-y+1/2", "y+1/2,-x+1/2,z", "-x,-z+1/2,-y+1/2"}) EXPECT_EQ(fm3m.count(text), 1u);
}

// The space-group symbols users write (GULP input files), looked up in the
// shipped database whatever their blanks and letter case: a symbol shared by
// several settings finds the standard one; full symbols, origin choices and
// old symbols find their own settings.
TEST(SpaceGroup, FindByNameInTheShippedDatabase) {
  const struct {
    const char* symbol;
    int number, secondKey;
  } cases[] = {{"P21/c", 14, 1},   {"p21/C", 14, 1},  {"P121/c1", 14, 1}, {"P21/n", 14, 2},  {"Fm-3m", 225, 1},
               {"Fm3m", 225, 1},   {"Fd-3m", 227, 1}, {"fd-3m:2", 227, 2}, {"R-3C", 167, 1},  {"R-3c:R", 167, 2},
               {"Pbnm", 62, 3},    {"P1", 1, 1},
               // Not found: an unknown symbol, a number, a name cut short or run on, nothing.
               {"P21/q", 0, 0},    {"225", 0, 0},     {"P21/", 0, 0},     {"P21/c1x", 0, 0}, {"", 0, 0}};
  for (const auto& c : cases) {
    int number = 0, secondKey = 0;
    const int found = CSpaceGroup::FindByName(c.symbol, std::string(QUORVEL_SOURCE_DATA_DIR) + "/spgra", number,
                                              secondKey);
    EXPECT_EQ(found, c.number > 0 ? 1 : 0) << c.symbol;
    EXPECT_EQ(number, c.number) << c.symbol;
    EXPECT_EQ(secondKey, c.secondKey) << c.symbol;
  }
}

}  // namespace
}  // namespace quorvel
