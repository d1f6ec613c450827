#include "app/LineReader.h"

#include <gtest/gtest.h>

#include <cstring>
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

// The pieces, and the positions after them, that reading piece by piece and
// testing each with strstr finds; then the same with ReadLineContaining.
// Calls alternate with plain ReadLine so that both start from every kind of
// position.
std::vector<std::string> FindPieces(const std::string& path, LineReader::Mode mode,
                                    const std::vector<const char*>& needles, bool bFast) {
  LineReader reader;
  EXPECT_TRUE(reader.Open(path, mode));
  std::vector<std::string> found;
  for (int round = 0;; ++round) {
    bool ok;
    if (bFast) {
      ok = reader.ReadLineContaining(needles.data(), static_cast<int>(needles.size()));
    } else {
      ok = false;
      while (!ok && reader.ReadLine())
        for (const char* needle : needles)
          if (std::strstr(reader.Line(), needle)) ok = true;
    }
    if (!ok) {
      EXPECT_EQ(reader.Length(), 0u);
      found.push_back("end at " + std::to_string(reader.Position()));
      break;
    }
    found.push_back(std::string(reader.Line(), reader.Length()) + " @" + std::to_string(reader.Position()));
    if (round % 3 == 2 && reader.ReadLine())
      found.push_back("then " + std::string(reader.Line(), reader.Length()));
  }
  return found;
}

TEST(LineReader, ReadLineContainingFindsThePiecesReadLineFinds) {
  // Text with the needles in ordinary lines, at line starts and ends, in
  // CRLF lines, behind NUL bytes (strstr does not see them), across the
  // 4095-character cut of long lines, in lines longer than the buffer, at
  // the end of the file without a line end, and first letters without the
  // rest.
  std::string text;
  unsigned state = 7;
  auto next = [&state]() { return state = state * 1103515245u + 12345u, (state >> 16) & 0x7fff; };
  const std::string words[] = {"POSITION", "TOTAL-FORCE", "POS",         "TOTAL",  "x",
                               "  1.25 -3.5  ", "VOLUME",   "** Forces **", "Forces **", "*** Forces"};
  for (int line = 0; line < 6000; ++line) {
    int kind = static_cast<int>(next() % 40);
    std::string l;
    if (kind == 0) {
      l = std::string(4090 + next() % 10, 'a') + "POSITION TOTAL-FORCE";
    } else if (kind == 1) {
      l = std::string(70000 + next() % 5000, 'b') + "TOTAL-FORCE";
    } else if (kind == 2) {
      l = std::string("ab") + '\0' + "POSITION";
    } else if (kind == 3) {
      l = std::string(4095 - 5, 'c') + "TOTAL-FORCE";  // cut inside the needle
    } else {
      int n = static_cast<int>(next() % 6);
      for (int k = 0; k < n; ++k) l += words[next() % 10] + " ";
    }
    text += l + (next() % 3 == 0 ? "\r\n" : "\n");
  }
  text += "last TOTAL-FORCE";
  TempDir dir;
  WriteFile(dir.Path("f"), text);
  const std::vector<std::vector<const char*>> needleSets = {
      {"TOTAL-FORCE"}, {"POSITION", "VOLUME"}, {"VOLUME", "TOTAL-FORCE", "x"}, {"ab"}, {"1.25 -3.5"}, {"absent"},
      {"** Forces **"}, {"* Forces", "5 -3"}};
  for (const auto& needles : needleSets)
    for (LineReader::Mode mode : {LineReader::kText, LineReader::kBinary}) {
      SCOPED_TRACE(std::string(needles[0]) + (mode == LineReader::kText ? " text" : " binary"));
      std::vector<std::string> slow = FindPieces(dir.Path("f"), mode, needles, false);
      std::vector<std::string> fast = FindPieces(dir.Path("f"), mode, needles, true);
      EXPECT_GT(slow.size(), needles[0] == std::string("absent") ? 0u : 10u);
      ASSERT_EQ(fast.size(), slow.size());
      for (size_t i = 0; i < slow.size(); ++i) ASSERT_EQ(fast[i], slow[i]) << "find " << i;
    }
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
