// The space-group symbols GULP users write, looked up in the shipped
// database whatever their blanks and letter case: a symbol shared by several
// settings finds the standard one; full symbols, origin choices and old
// symbols find their own settings. Each symbol is a line here; as case
// folders each would be a run of its own.
#include "programs/other/GULP.h"

#include <gtest/gtest.h>

#include <string>

namespace quorvel {
namespace {

TEST(GULPSpaceGroupLookup, ShippedGroupsByNameWithoutBlanksOrCase) {
  const struct {
    const char* key;
    int number, secondKey;
  } cases[] = {{"P21/c", 14, 1},   {"p21/C", 14, 1},  {"P121/c1", 14, 1}, {"P21/n", 14, 2},  {"Fm-3m", 225, 1},
               {"Fm3m", 225, 1},   {"Fd-3m", 227, 1}, {"fd-3m:2", 227, 2}, {"R-3C", 167, 1},  {"R-3c:R", 167, 2},
               {"Pbnm", 62, 3},    {"P1", 1, 1},
               // Not found: an unknown symbol, a number, a name cut short or run on, nothing.
               {"P21/q", 0, 0},    {"225", 0, 0},     {"P21/", 0, 0},     {"P21/c1x", 0, 0}, {"", 0, 0}};
  for (const auto& c : cases) {
    int number = 0, secondKey = 0;
    const int found =
        CGULP::FindSpaceGroupByName(c.key, std::string(QUORVEL_SOURCE_DATA_DIR) + "/spgra", number, secondKey);
    EXPECT_EQ(found, c.number > 0 ? 1 : 0) << c.key;
    EXPECT_EQ(number, c.number) << c.key;
    EXPECT_EQ(secondKey, c.secondKey) << c.key;
  }
}

}  // namespace
}  // namespace quorvel
