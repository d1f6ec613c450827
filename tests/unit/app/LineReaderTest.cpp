#include "app/LineReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/unit/TestFiles.h"

namespace quorvel {
namespace {

std::vector<std::string> Pieces(const std::string& content, LineReader::Mode mode) {
  TempDir dir;
  WriteFile(dir.Path("f"), content);
  LineReader reader;
  EXPECT_TRUE(reader.Open(dir.Path("f"), mode));
  std::vector<std::string> pieces;
  while (reader.ReadLine()) {
    EXPECT_EQ(reader.Length(), std::string(reader.Line()).size());
    pieces.emplace_back(reader.Line(), reader.Length());
  }
  return pieces;
}

TEST(LineReader, TextModeDropsOnlyTheCarriageReturnOfCRLF) {
  EXPECT_EQ(Pieces("a\r\nb\n\r\nc", LineReader::kText), (std::vector<std::string>{"a\n", "b\n", "\n", "c"}));
  // A lone CR and a CR not directly before the LF stay.
  EXPECT_EQ(Pieces("a\rb\r\r\n", LineReader::kText), (std::vector<std::string>{"a\rb\r\n"}));
  EXPECT_EQ(Pieces("a\r\nb\r", LineReader::kBinary), (std::vector<std::string>{"a\r\n", "b\r"}));
  EXPECT_TRUE(Pieces("", LineReader::kText).empty());
}

TEST(LineReader, LongLinesArriveInPiecesOf4095Characters) {
  std::string x4095(4095, 'x');
  // 4094 characters and the line end fit one read.
  EXPECT_EQ(Pieces(std::string(4094, 'x') + "\n", LineReader::kText),
            (std::vector<std::string>{std::string(4094, 'x') + "\n"}));
  // 4095 characters fill the buffer; the line end comes as a piece of its own.
  EXPECT_EQ(Pieces(x4095 + "\nz\n", LineReader::kText), (std::vector<std::string>{x4095, "\n", "z\n"}));
  // With CRLF the CR does not count: 4094 characters, CR, LF is one line.
  EXPECT_EQ(Pieces(std::string(4094, 'x') + "\r\n", LineReader::kText),
            (std::vector<std::string>{std::string(4094, 'x') + "\n"}));
  // A CRLF split by the piece boundary still loses its CR.
  EXPECT_EQ(Pieces(x4095 + "\r\n", LineReader::kText), (std::vector<std::string>{x4095, "\n"}));
  std::string big(3 * 4095 + 10, 'y');
  auto pieces = Pieces(big + "\n", LineReader::kBinary);
  ASSERT_EQ(pieces.size(), 4u);
  EXPECT_EQ(pieces[3], std::string(10, 'y') + "\n");
}

TEST(LineReader, ManyLinesAcrossBufferRefillsAndRewind) {
  std::string content;
  for (int i = 0; i < 50000; ++i) content += std::to_string(i) + (i % 2 ? "\r\n" : "\n");
  TempDir dir;
  WriteFile(dir.Path("f"), content);
  LineReader reader;
  ASSERT_TRUE(reader.Open(dir.Path("f")));
  for (int pass = 0; pass < 2; ++pass) {
    int n = 0;
    while (reader.ReadLine()) {
      ASSERT_EQ(std::string(reader.Line()), std::to_string(n) + "\n");
      ++n;
    }
    EXPECT_EQ(n, 50000);
    reader.Rewind();
  }
  std::string whole;
  EXPECT_TRUE(reader.ReadWholeLine(whole));
  EXPECT_EQ(whole, "0");
}

// Readers trim, cut and upper-case the line in place, up to and including
// its terminator: the lines after it arrive unchanged, across refills, long
// pieces and CRLF line ends.
TEST(LineReader, LinesChangedInPlaceLeaveTheNextLinesAlone) {
  std::string content;
  std::vector<std::string> expected;
  for (int i = 0; i < 30000; ++i) {
    std::string text = "line " + std::to_string(i);
    if (i % 7000 == 3) text += std::string(5000, 'w');
    content += text + (i % 3 ? "\r\n" : "\n");
    if (text.size() > 4095) {
      expected.push_back(text.substr(0, 4095));
      expected.push_back(text.substr(4095) + "\n");
    } else {
      expected.push_back(text + "\n");
    }
  }
  content += "last";
  expected.push_back("last");
  TempDir dir;
  WriteFile(dir.Path("f"), content);
  LineReader reader;
  ASSERT_TRUE(reader.Open(dir.Path("f")));
  size_t k = 0;
  while (reader.ReadLine()) {
    ASSERT_LT(k, expected.size());
    ASSERT_EQ(std::string(reader.Line(), reader.Length()), expected[k]) << "line " << k;
    char* line = reader.Line();
    for (size_t i = 0; i < reader.Length(); ++i) line[i] = 'X';
    line[reader.Length()] = 'Y';
    line[reader.Length() / 2] = '\0';
    ++k;
  }
  EXPECT_EQ(k, expected.size());
  EXPECT_STREQ(reader.Line(), "");
  EXPECT_EQ(reader.Length(), 0u);
}

TEST(LineReader, WholeLinesOfAnyLength) {
  TempDir dir;
  std::string longLine(10000, 'q');
  WriteFile(dir.Path("f"), longLine + "\r\nlast");
  LineReader reader;
  ASSERT_TRUE(reader.Open(dir.Path("f")));
  std::string line;
  ASSERT_TRUE(reader.ReadWholeLine(line));
  EXPECT_EQ(line, longLine);
  ASSERT_TRUE(reader.ReadWholeLine(line));
  EXPECT_EQ(line, "last");
  EXPECT_FALSE(reader.ReadWholeLine(line));
  EXPECT_FALSE(reader.Open(dir.Path("missing")));
}

}  // namespace
}  // namespace quorvel
