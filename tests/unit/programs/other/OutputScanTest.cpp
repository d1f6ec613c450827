#include "programs/other/OutputScan.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/unit/TestFiles.h"

namespace quorvel {
namespace {

TEST(OutputScan, LineSearchesCountLinesAndStopAtTheMatch) {
  TempDir dir;
  std::string path = dir.Path("out.txt");
  // A line holding the text twice counts once; a text split over two pieces
  // of a line longer than 4095 characters is not found, as with fgets.
  std::string longLine(4090, ' ');
  longLine += "ATOMIC_POSITIONS\n";
  WriteFile(path, "ATOMIC_POSITIONS ATOMIC_POSITIONS\nnothing\n" + longLine + "x ATOMIC_POSITIONS (crystal)\nlast\n");
  LineReader reader;
  ASSERT_TRUE(reader.Open(path));
  EXPECT_EQ(CountLinesContaining(reader, "ATOMIC_POSITIONS"), 2);
  reader.Rewind();
  ASSERT_TRUE(SkipLines(reader, 1));
  ASSERT_TRUE(ReadUntilContaining(reader, "(crystal)"));
  EXPECT_STREQ(reader.Line(), "x ATOMIC_POSITIONS (crystal)\n");
  EXPECT_FALSE(ReadUntilContaining(reader, "nowhere"));
  EXPECT_FALSE(SkipLines(reader, 1));
}

}  // namespace
}  // namespace quorvel
